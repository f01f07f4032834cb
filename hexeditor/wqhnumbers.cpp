// Number text of the hex editor.
#include "hexeditor/wqhnumbers.h"

TGridCoord GridCoord(int X, int Y) { return TGridCoord{X, Y}; }
QString IntToRadixLen(int, std::uint8_t, std::uint8_t) { return {}; }
QString IntToRadix(int, std::uint8_t) { return {}; }
QString IntToRadixLen64(std::uint64_t, std::uint8_t, std::uint8_t) { return {}; }
QString IntToRadix64(std::uint64_t, std::uint8_t) { return {}; }
QString IntToOctal(int) { return {}; }
int RadixToInt(const QString&, std::uint8_t) { return 0; }
std::int64_t RadixToInt64(const QString&, std::uint8_t) { return 0; }
int OctalToInt(const QString&) { return 0; }
int CheckRadixToInt(const QString&) { return 0; }
std::int64_t CheckRadixToInt64(const QString&) { return 0; }
std::uint64_t AddU64(std::uint64_t A, std::uint64_t B) { return A + B; }
std::uint64_t SubtractU64(std::uint64_t A, std::uint64_t B) { return A - B; }
std::uint64_t MultiplyU64(std::uint64_t A, std::uint64_t B) { return A * B; }
std::uint64_t DivideU64(std::uint64_t A, std::uint64_t B) { return B ? A / B : 0; }
std::uint64_t ModuloU64(std::uint64_t A, std::uint64_t B) { return B ? A % B : 0; }
bool TryAddU64(std::uint64_t, std::uint64_t, std::uint64_t&) { return false; }
bool TrySubtractU64(std::uint64_t, std::uint64_t, std::uint64_t&) { return false; }
bool TryMultiplyU64(std::uint64_t, std::uint64_t, std::uint64_t&) { return false; }
bool TryDivideU64(std::uint64_t, std::uint64_t, std::uint64_t&) { return false; }
bool TryModuloU64(std::uint64_t, std::uint64_t, std::uint64_t&) { return false; }
std::uint8_t* ConvertHexToBin(const QChar*, std::uint8_t* Target, int, bool, int& Translated)
{
    Translated = 0;
    return Target;
}
QChar* ConvertBinToHex(const std::uint8_t*, QChar* Target, int, bool) { return Target; }
QString BinToHexString(const std::uint8_t*, int, bool) { return {}; }
void SwapWideChar(char16_t& C) { C = char16_t((C >> 8) | (C << 8)); }
TColor FadeToGray(TColor Color) { return Color; }
TWQHOffsetFormat ParseOffsetFormat(const QString&, int, int, int) { return {}; }
QString FormatOffset(const TWQHOffsetFormat&, std::uint32_t, bool) { return {}; }
