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

// Bits is 32 or 64: decimal must fit the signed type of that width,
// hexadecimal may use all of its bits (the sign applies to the bit pattern).
std::optional<std::int64_t> parse(const QString& text, int bits)
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

    const std::uint64_t mask = bits == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits) - 1;
    std::uint64_t value = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int d = hexDigit(text[i].unicode());
            if (d < 0 || value > (mask >> 4))
                return std::nullopt;
            value = value * 16 + static_cast<unsigned>(d);
        }
        std::uint64_t pattern = negative ? (0 - value) & mask : value;
        if (bits == 32)
            return static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(pattern)));
        return static_cast<std::int64_t>(pattern);
    }

    const std::uint64_t limit = negative ? (std::uint64_t(1) << (bits - 1)) : (std::uint64_t(1) << (bits - 1)) - 1;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const unsigned d = static_cast<unsigned>(c - u'0');
        if (value > (limit - d) / 10)
            return std::nullopt;
        value = value * 10 + d;
    }
    return static_cast<std::int64_t>(negative ? 0 - value : value);
}

[[noreturn]] void raiseNotInteger(const QString& text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

} // namespace

std::optional<int> TryStrToInt(const QString& text)
{
    if (const auto value = parse(text, 32))
        return static_cast<int>(*value);
    return std::nullopt;
}

int StrToInt(const QString& text)
{
    if (const auto value = parse(text, 32))
        return static_cast<int>(*value);
    raiseNotInteger(text);
}

std::int64_t StrToInt64(const QString& text)
{
    if (const auto value = parse(text, 64))
        return *value;
    raiseNotInteger(text);
}

} // namespace platform
