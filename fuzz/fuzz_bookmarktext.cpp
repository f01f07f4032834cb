// Bookmark texts from outside: reading any text either succeeds or raises the
// bookmark format error; either way exactly one bookmark change is reported,
// painting is resumed, and every slot is a valid bookmark. A text that was
// read writes back to a text that reads to the same bookmarks.
#include "hexeditor/ex/wqhexeditorex.h"

#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

int g_changes = 0;

TWQHexEditorEx& Editor()
{
    static int argc = 1;
    static char name[] = "fuzz_bookmarktext";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    static TWQHexEditorEx editor;
    static const bool wired = [] {
        editor.SetDataSize(256);
        editor.SetOnBookmarkChanged([](QObject*) { ++g_changes; });
        return true;
    }();
    (void)wired;
    return editor;
}

void ReadOnce(TWQHexEditorEx& e, const QString& text, bool& ok)
{
    const int before = g_changes;
    ok = true;
    try {
        e.SetBookMarksAsString(text);
    } catch (const EWQHexEditor&) {
        ok = false;
    }
    if (g_changes != before + 1)
        std::abort();
    // Painting resumed: a new bracket starts at depth 1.
    if (e.PaintUpdateCounter() != 0)
        std::abort();
    for (const TWQHBookmark& b : e.Bookmarks())
        if (b.mPosition < -1)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TWQHexEditorEx& e = Editor();
    // Byte 0 picks the decoding: UTF-16 reaches the "$" slots, Latin-1 the hex records.
    if (size < 1)
        return 0;
    const auto* rest = reinterpret_cast<const char*>(data + 1);
    const auto n = static_cast<qsizetype>(size - 1);
    QString text;
    if (data[0] & 1) {
        text.resize(n / 2);
        std::memcpy(text.data(), rest, static_cast<std::size_t>(n / 2) * 2);
    } else {
        text = QString::fromLatin1(rest, n);
    }
    bool ok = false;
    ReadOnce(e, text, ok);
    if (!ok)
        return 0;
    const TWQHBookmarks read = e.Bookmarks();
    const QString written = e.GetBookmarksAsString();
    ReadOnce(e, written, ok);
    if (!ok)
        std::abort();
    // Slots left unset may differ in their field flag only.
    for (std::size_t i = 0; i < read.size(); ++i) {
        const TWQHBookmark& a = read[i];
        const TWQHBookmark& b = e.Bookmarks()[i];
        if (a.mPosition != b.mPosition || (a.mPosition >= 0 && a.mInCharField != b.mInCharField))
            std::abort();
    }
    return 0;
}
