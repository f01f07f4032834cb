#pragma once
// Character translations of the character field: which character a data byte
// shows as, and which byte a typed character stores.
#include "hexeditor/wqhtypes.h"

#include <QChar>
#include <array>

enum TWQHCharConvType { cctFromAnsi, cctToAnsi };
using TWQHCharConvTable = std::array<char16_t, 256>;
using TWQHCharConv = std::array<TWQHCharConvTable, 2>;  // indexed by TWQHCharConvType

// Mac OS Roman and EBCDIC 038, both directions.
extern const TWQHCharConv WQH_CCONV_MAC;
extern const TWQHCharConv WQH_CCONV_BCD38;
// Filled by a host; identity from the start.
extern TWQHCharConv WQHCustomCharConv;

// A code that a code page does not assign: shown as the mask character,
// refused on typing.
constexpr char16_t WQH_NO_CHAR = 0xFFFF;

// Count data bytes -> count characters (UTF-16 code units).
void TranslateBufferToAnsi(TWQHTranslationKind Kind, const std::uint8_t* Source, QChar* Target, int Count);
// Count characters (codes 0-255 meaningful) -> count bytes; an unencodable
// character gives 0 and sets Failed (when given).
void TranslateBufferFromAnsi(TWQHTranslationKind Kind, const QChar* Source, std::uint8_t* Target, int Count,
                             bool* Failed = nullptr);
// In place over bytes: each byte -> the character it shows as (low 8 bits of
// its code page code: the memory stream's TranslateToAnsi) and back.
void TranslateBytesToAnsi(TWQHTranslationKind Kind, std::uint8_t* Data, int Count);
void TranslateBytesFromAnsi(TWQHTranslationKind Kind, std::uint8_t* Data, int Count);

// One byte shown (mask applied), one typed character stored (0 when refused).
QChar TranslateToAnsiChar(TWQHTranslationKind Kind, std::uint8_t aByte, QChar MaskChar, const TWQHCharSet& Masked);
// Returns -1 when the character cannot be stored under Kind.
int TranslateFromAnsiChar(TWQHTranslationKind Kind, char16_t aChar, const TWQHCharSet& Masked);
