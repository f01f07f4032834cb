#pragma once
// Number text of the hex editor: radix conversion, the prefix/suffix notations,
// unsigned 64-bit arithmetic with overflow checks, hex text <-> bytes, and the
// offset format grammar.
#include "hexeditor/wqhtypes.h"

#include <QString>
#include <cstdint>

// Radix must be 2..16 (EWQHexEditor otherwise). Value is taken as unsigned.
QString IntToRadixLen(int Value, std::uint8_t Radix, std::uint8_t Len);
QString IntToRadix(int Value, std::uint8_t Radix);
QString IntToRadixLen64(std::uint64_t Value, std::uint8_t Radix, std::uint8_t Len);
QString IntToRadix64(std::uint64_t Value, std::uint8_t Radix);
QString IntToOctal(int Value);
// Wraps in 32 (64) bits; a character that is not a digit of Radix raises.
int RadixToInt(const QString& Text, std::uint8_t Radix);
std::int64_t RadixToInt64(const QString& Text, std::uint8_t Radix);
int OctalToInt(const QString& Text);
// "0x1F", "$1F", "1Fh", "17o", "o17", "101%", "%101" or decimal.
int CheckRadixToInt(const QString& Text);
std::int64_t CheckRadixToInt64(const QString& Text);

std::uint64_t AddU64(std::uint64_t A, std::uint64_t B);
std::uint64_t SubtractU64(std::uint64_t A, std::uint64_t B);
std::uint64_t MultiplyU64(std::uint64_t A, std::uint64_t B);
std::uint64_t DivideU64(std::uint64_t A, std::uint64_t B);
std::uint64_t ModuloU64(std::uint64_t A, std::uint64_t B);
bool TryAddU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R);
bool TrySubtractU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R);
bool TryMultiplyU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R);
bool TryDivideU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R);
bool TryModuloU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R);

// Skips non-hex characters; two digits make a byte (nibbles swapped with Swap).
// Target needs Count / 2 bytes. Returns Target.
std::uint8_t* ConvertHexToBin(const QChar* Source, std::uint8_t* Target, int Count, bool Swap, int& Translated);
// Writes 2 * Count digits and a terminating zero: Target needs 2 * Count + 1.
QChar* ConvertBinToHex(const std::uint8_t* Source, QChar* Target, int Count, bool Swap);
QString BinToHexString(const std::uint8_t* Source, int Count, bool Swap);

inline int Min(int A, int B) { return A < B ? A : B; }
inline int Max(int A, int B) { return A > B ? A : B; }
void SwapWideChar(char16_t& C);
TColor FadeToGray(TColor Color);

// Parses an offset format text; raises EWQHexEditor and leaves nothing
// changed on error. Units follow the given current values.
TWQHOffsetFormat ParseOffsetFormat(const QString& Text, int BytesPerRow, int BytesPerColumn, int RulerBytesPerUnit);
// Prefix + digits + suffix of a position under a parsed format (empty format: empty).
QString FormatOffset(const TWQHOffsetFormat& Format, std::uint32_t Position, bool LowerCase);
