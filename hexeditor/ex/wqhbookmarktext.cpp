// Bookmarks as text: the "$" slot form and the checksummed record form.
#include "hexeditor/ex/wqhbookmarktext.h"
#include "hexeditor/wqhstrings.h"

#include <cstdint>

namespace {

constexpr int SlotChars = 8;
constexpr int ChecksumDigits = 8;
constexpr int RecordDigits = 2 + 16 + 2;

[[noreturn]] void BadFormat()
{
    throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBookmarkFormat));
}

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// Digits are checked one by one: no sign, prefix or spaces slip through.
std::uint64_t ReadHex(const QString& Text, int From, int Count)
{
    std::uint64_t v = 0;
    for (int i = From; i < From + Count; ++i) {
        const int d = HexValue(Text[i]);
        if (d < 0)
            BadFormat();
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    return v;
}

TWQHBookmark MakeBookmark(std::uint32_t Position, bool InCharField)
{
    TWQHBookmark b;
    const auto p = static_cast<std::int32_t>(Position);
    b.mPosition = p < 0 ? -1 : p;
    b.mInCharField = InCharField;
    return b;
}

void ReadSlots(const QString& Text, const std::function<void(int, const TWQHBookmark&)>& Apply)
{
    for (int i = 0; i < 10; ++i) {
        const int at = 1 + i * SlotChars;
        if (Text.size() < at + SlotChars)
            BadFormat();
        const std::uint32_t pos = std::uint32_t(Text[at].unicode()) | (std::uint32_t(Text[at + 1].unicode()) << 16);
        const bool inChar = (Text[at + 2].unicode() & 0xFF) != 0;
        Apply(i, MakeBookmark(pos, inChar));
    }
    // Whatever follows the tenth slot (a line end, say) is not read.
}

void ReadRecords(const QString& Text, const std::function<void(int, const TWQHBookmark&)>& Apply)
{
    if (Text.size() < ChecksumDigits)
        BadFormat();
    const auto expected = static_cast<std::uint32_t>(ReadHex(Text, 0, ChecksumDigits));
    std::uint32_t sum = 0;
    for (int i = ChecksumDigits; i < Text.size(); ++i)
        sum += Text[i].unicode();
    if (sum != expected)
        BadFormat();
    for (int at = ChecksumDigits; at < Text.size(); at += RecordDigits) {
        if (Text.size() - at < RecordDigits)
            BadFormat();
        const std::uint64_t index = ReadHex(Text, at, 2);
        const std::uint64_t pos = ReadHex(Text, at + 2, 16);
        const std::uint64_t field = ReadHex(Text, at + 18, 2);
        if (index > 9)
            BadFormat();
        Apply(static_cast<int>(index), MakeBookmark(static_cast<std::uint32_t>(pos & 0xFFFFFFFFu), field != 0));
    }
}

} // namespace

QString WQHBookmarksToText(const TWQHBookmarks& Bookmarks)
{
    bool any = false;
    for (const TWQHBookmark& b : Bookmarks)
        any = any || b.mPosition >= 0;
    if (!any)
        return QString();
    QString text(1 + 10 * SlotChars, QChar(0));
    text[0] = QLatin1Char('$');
    for (int i = 0; i < 10; ++i) {
        const TWQHBookmark& b = Bookmarks[static_cast<std::size_t>(i)];
        const auto pos = static_cast<std::uint32_t>(b.mPosition < 0 ? -1 : b.mPosition);
        const int at = 1 + i * SlotChars;
        text[at] = QChar(static_cast<char16_t>(pos & 0xFFFF));
        text[at + 1] = QChar(static_cast<char16_t>(pos >> 16));
        text[at + 2] = QChar(static_cast<char16_t>(b.mInCharField ? 1 : 0));
    }
    return text;
}

void WQHReadBookmarksText(const QString& Text, const std::function<void(int Index, const TWQHBookmark&)>& Apply)
{
    if (Text.isEmpty())
        return;
    if (Text[0] == QLatin1Char('$'))
        ReadSlots(Text, Apply);
    else
        ReadRecords(Text, Apply);
}
