#pragma once
// The class library's text-to-integer conversion.
#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

// Leading spaces, one optional sign, then decimal digits or a hexadecimal
// prefix ("$", "x", "X", "0x", "0X") with at least one hex digit; nothing
// may follow. Decimal must fit a signed 32-bit integer; hexadecimal may use
// all 32 bits. Raises EConvertError "'<text>' is not a valid integer value".
int StrToInt(const QString& text);
std::optional<int> TryStrToInt(const QString& text);
// The same for 64 bits.
std::int64_t StrToInt64(const QString& text);

} // namespace platform
