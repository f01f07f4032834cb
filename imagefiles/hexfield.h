#pragma once
// Pieces shared by the Intel HEX and S-record codecs: the error box, the
// line readers and the hexadecimal field conversions.
#include <QString>
#include <cstdint>
#include <string_view>

namespace platform {
class TStream;
class TFileStream;
} // namespace platform

// Longest line, line end included, that each reader takes.
constexpr int HexLineLimit = 512;
constexpr int SRecordLineLimit = 100;

// One line as the line readers hand it over.
struct TextLine {
    char text[HexLineLimit + 1] = {}; // the line's bytes, then a terminating 0
    int length = 0;                   // bytes in text, the LF included when there is one
    bool overlong = false;            // no LF within the limit and the file goes on

    std::string_view view() const { return {text, static_cast<std::size_t>(length)}; }
};

// Modal box with the text, caption "Error" and the error icon.
void ShowFileError(const QString& text);
// How many boxes ShowFileError has shown so far: a reader that returns 0 has
// failed when this moved during the call (a file without data also gives 0).
unsigned FileErrorsShown();

// Reads the line that starts at the stream's position: at most HexLineLimit
// bytes, up to and including the first LF (a last line may end without one).
// Leaves the stream at the byte after the LF. No byte left: shows
// "File Read Operation Failed" and returns false. A line with no LF within the
// limit while the file goes on comes back with overlong set; the stream is
// then left right after the bytes taken.
bool ReadHexFileLine(platform::TStream& stream, TextLine& line);
// The same with SRecordLineLimit.
bool ReadSRecordFileLine(platform::TStream& stream, TextLine& line);

// Converts the first `digits` (1..8) characters of text, most significant
// first, either case. A character that is not a hexadecimal digit, or a field
// that runs past the end of text, shows "Illegal Char in File" and returns
// false; value is then left alone.
bool ParseHexField(std::string_view text, int digits, std::uint32_t& value);

// Writes `digits` (1..8) upper-case hexadecimal digits of value to text,
// most significant first; no terminator.
void FormatHexField(std::uint32_t value, char* text, int digits);
