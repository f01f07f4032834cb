#include "platform/convert.h"

#include "platform/exceptions.h"

#include <cstdint>

namespace platform {
namespace {

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

std::optional<int> parse(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt; // empty, a bare sign or a bare prefix

    std::uint64_t value = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int d = hexDigit(text[i].unicode());
            if (d < 0)
                return std::nullopt;
            value = value * 16 + static_cast<unsigned>(d);
            if (value > 0xFFFFFFFFull)
                return std::nullopt;
        }
        // All 32 bits are usable; the sign applies to the bit pattern.
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        if (negative)
            bits = 0u - bits;
        return static_cast<int>(static_cast<std::int32_t>(bits));
    }

    const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - u'0');
        if (value > limit)
            return std::nullopt;
    }
    const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(value)
                                              : static_cast<std::int64_t>(value);
    return static_cast<int>(signedValue);
}

} // namespace

std::optional<int> TryStrToInt(const QString& text) { return parse(text); }

int StrToInt(const QString& text)
{
    if (const auto value = parse(text))
        return *value;
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

} // namespace platform
