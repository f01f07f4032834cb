// The built-in bookmark glyphs: ten numbered badges for bookmarks set in the
// hex field (blue) and ten for the character field (red), 10 x 10 pixels
// each, side by side. Magenta is the transparent colour (pixel 0, 0).
#include "hexeditor/wqhkeys.h"

namespace {

const char* const BookmarkIconsXpm[] = {
    "200 10 5 1",
    ". c #FF00FF",
    "b c #2058C0",
    "r c #C03020",
    "w c #FFFFFF",
    "s c #404040",
    "..bbbbb.....bbbbb.....bbbbb.....bbbbb.....bbbbb.....bbbbb.....bbbbb.....bbbbb.....bbbbb.....bbbbb.....rrrrr.....rrrrr.....rrrrr.....rrrrr.....rrrrr.....rrrrr.....rrrrr.....rrrrr.....rrrrr.....rrrrr...",
    ".bbwwwbbs..bbbwbbbs..bbwwwbbs..bwwwwbbs..bbbbwbbs..bwwwwwbs..bbbwwbbs..bwwwwwbs..bbwwwbbs..bbwwwbbs..rrwwwrrs..rrrwrrrs..rrwwwrrs..rwwwwrrs..rrrrwrrs..rwwwwwrs..rrrwwrrs..rwwwwwrs..rrwwwrrs..rrwwwrrs.",
    ".bwbbbwbs..bbwwbbbs..bwbbbwbs..bbbbbwbs..bbbwwbbs..bwbbbbbs..bbwbbbbs..bbbbbwbs..bwbbbwbs..bwbbbwbs..rwrrrwrs..rrwwrrrs..rwrrrwrs..rrrrrwrs..rrrwwrrs..rwrrrrrs..rrwrrrrs..rrrrrwrs..rwrrrwrs..rwrrrwrs.",
    ".bwbbwwbs..bbbwbbbs..bbbbbwbs..bbbbbwbs..bbwbwbbs..bwwwwbbs..bwbbbbbs..bbbbwbbs..bwbbbwbs..bwbbbwbs..rwrrwwrs..rrrwrrrs..rrrrrwrs..rrrrrwrs..rrwrwrrs..rwwwwrrs..rwrrrrrs..rrrrwrrs..rwrrrwrs..rwrrrwrs.",
    ".bwbwbwbs..bbbwbbbs..bbbbwbbs..bbwwwbbs..bwbbwbbs..bbbbbwbs..bwwwwbbs..bbbwbbbs..bbwwwbbs..bbwwwwbs..rwrwrwrs..rrrwrrrs..rrrrwrrs..rrwwwrrs..rwrrwrrs..rrrrrwrs..rwwwwrrs..rrrwrrrs..rrwwwrrs..rrwwwwrs.",
    ".bwwbbwbs..bbbwbbbs..bbbwbbbs..bbbbbwbs..bwwwwwbs..bbbbbwbs..bwbbbwbs..bbwbbbbs..bwbbbwbs..bbbbbwbs..rwwrrwrs..rrrwrrrs..rrrwrrrs..rrrrrwrs..rwwwwwrs..rrrrrwrs..rwrrrwrs..rrwrrrrs..rwrrrwrs..rrrrrwrs.",
    ".bwbbbwbs..bbbwbbbs..bbwbbbbs..bbbbbwbs..bbbbwbbs..bwbbbwbs..bwbbbwbs..bbwbbbbs..bwbbbwbs..bbbbwbbs..rwrrrwrs..rrrwrrrs..rrwrrrrs..rrrrrwrs..rrrrwrrs..rwrrrwrs..rwrrrwrs..rrwrrrrs..rwrrrwrs..rrrrwrrs.",
    ".bbwwwbbs..bbwwwbbs..bwwwwwbs..bwwwwbbs..bbbbwbbs..bbwwwbbs..bbwwwbbs..bbwbbbbs..bbwwwbbs..bbwwbbbs..rrwwwrrs..rrwwwrrs..rwwwwwrs..rwwwwrrs..rrrrwrrs..rrwwwrrs..rrwwwrrs..rrwrrrrs..rrwwwrrs..rrwwrrrs.",
    "..bbbbb.s...bbbbb.s...bbbbb.s...bbbbb.s...bbbbb.s...bbbbb.s...bbbbb.s...bbbbb.s...bbbbb.s...bbbbb.s...rrrrr.s...rrrrr.s...rrrrr.s...rrrrr.s...rrrrr.s...rrrrr.s...rrrrr.s...rrrrr.s...rrrrr.s...rrrrr.s.",
    "..ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss....ssssss.."
};

} // namespace

QImage WQHDefaultBookmarkStrip()
{
    // Decoded once; callers get implicitly shared copies.
    static const QImage strip = QImage(BookmarkIconsXpm).convertToFormat(QImage::Format_RGB32);
    return strip;
}
