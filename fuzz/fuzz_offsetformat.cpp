// Offset format texts: parsing either accepts a format whose every field is in
// range or raises one of the editor's errors; an accepted format turns any
// position into prefix + digits + suffix.
#include "hexeditor/wqhnumbers.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 6)
        return 0;
    // Layout values first (any, also odd ones), then the text.
    const int bytesPerRow = data[0] | (data[1] << 8);
    const int bytesPerColumn = data[2];
    const int ruler = data[3] % 9;
    std::uint32_t position;
    std::memcpy(&position, data + 4, 2);
    position *= 0x10001u;
    const bool lower = data[5] & 1;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 6), static_cast<qsizetype>(size - 6));
    TWQHOffsetFormat f;
    try {
        f = ParseOffsetFormat(text, bytesPerRow, bytesPerColumn, ruler);
    } catch (const EWQHexEditor&) {
        return 0;
    }
    if (f.Format != text)
        std::abort();
    if (text.isEmpty()) {
        if (!FormatOffset(f, position, lower).isEmpty())
            std::abort();
        return 0;
    }
    if (f.Radix < 2 || f.Radix > 16)
        std::abort();
    if (f._BytesPerUnit != 1 && f._BytesPerUnit != 2 && f._BytesPerUnit != 4 && f._BytesPerUnit != 8)
        std::abort();
    // The unit may later be 0 (a 256-byte row): still no division by zero.
    for (std::uint8_t unit : {f._BytesPerUnit, std::uint8_t(0)}) {
        TWQHOffsetFormat g = f;
        g._BytesPerUnit = unit;
        const QString s = FormatOffset(g, position, lower);
        if (!s.startsWith(f.Prefix) || !s.endsWith(f.Suffix))
            std::abort();
        const QString digits = s.mid(f.Prefix.size(), s.size() - f.Prefix.size() - f.Suffix.size());
        if (!digits.isEmpty() && RadixToInt64(digits, f.Radix) != position / (unit ? unit : 256u))
            std::abort();
    }
    return 0;
}
