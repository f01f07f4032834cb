#pragma once
// Character translations of the character field: which character a data byte
// shows as, and which byte a typed character stores.
//
// Characters are UTF-16; the "character codes 0-255" that the tables' from
// direction is indexed by are Latin-1. tkDos8 and tkASCII use code page 437,
// tkMac Mac OS Roman, tkBCD EBCDIC code page 038.
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhtypes.h"

#include <QChar>
#include <QString>
#include <array>

enum TWQHCharConvType { cctFromAnsi, cctToAnsi };
using TWQHCharConvTable = std::array<char16_t, 256>;
using TWQHCharConv = std::array<TWQHCharConvTable, 2>;  // indexed by TWQHCharConvType

// A code that a code page does not assign: shown as the mask character,
// refused on typing. In a cctFromAnsi table any entry above 255 means the
// character cannot be stored.
constexpr char16_t WQH_NO_CHAR = 0xFFFF;

// Code page 437 (tkDos8, tkASCII), Mac OS Roman and EBCDIC 038, both directions.
extern const TWQHCharConv WQH_CCONV_OEM437;
extern const TWQHCharConv WQH_CCONV_MAC;
extern const TWQHCharConv WQH_CCONV_BCD38;
// Filled by a host; identity from the start.
extern TWQHCharConv WQHCustomCharConv;

// The character a data byte stands for under Kind (tkASCII as code page 437,
// no masking), or WQH_NO_CHAR.
char16_t WQHByteToChar(TWQHTranslationKind Kind, std::uint8_t aByte);
// The byte a character is stored as under Kind, or -1 (above 255 or not
// encodable).
int WQHCharToByte(TWQHTranslationKind Kind, char16_t aChar);

// Count data bytes -> count characters (UTF-16 code units); an unassigned code
// gives WQH_NO_CHAR.
void TranslateBufferToAnsi(TWQHTranslationKind Kind, const std::uint8_t* Source, QChar* Target, int Count);
// Count characters (codes 0-255 meaningful) -> count bytes; an unencodable
// character gives 0 and sets Failed (when given).
void TranslateBufferFromAnsi(TWQHTranslationKind Kind, const QChar* Source, std::uint8_t* Target, int Count,
                             bool* Failed = nullptr);
// In place over bytes, for the memory stream's TranslateToAnsi/FromAnsi: each
// byte -> the Latin-1 code of the character it shows as, and back. A character
// that has no such code (outside Latin-1, unassigned, not encodable) becomes
// '?' in that code page, as the platform's conversions do.
void TranslateBytesToAnsi(TWQHTranslationKind Kind, std::uint8_t* Data, int Count);
void TranslateBytesFromAnsi(TWQHTranslationKind Kind, std::uint8_t* Data, int Count);

// One byte as shown: tkASCII shows codes from $80 and unassigned codes as
// MaskChar; a character up to 255 in Masked is shown as MaskChar unless
// MaskChar is #0.
QChar TranslateToAnsiChar(TWQHTranslationKind Kind, std::uint8_t aByte, QChar MaskChar, const TWQHCharSet& Masked);
// The byte a typed character stores under Kind, or -1 when it is refused:
// above 255, not encodable, a control character (below $20) under tkDos8 and
// tkASCII, or $80 and above under tkASCII. Masking is the caller's.
int TranslateFromAnsiChar(TWQHTranslationKind Kind, char16_t aChar);

// Long and short names of the translations, by TWQHTranslationKind (the page
// header's "%>" and "%<"), from the string table.
#define WQH_TRANSLATION_NAMES(T) \
    { QString::fromLatin1(T[0]), QString::fromLatin1(T[1]), QString::fromLatin1(T[2]), \
      QString::fromLatin1(T[3]), QString::fromLatin1(T[4]), QString::fromLatin1(T[5]) }
inline const QString WQHTranslationDesc[6] = WQH_TRANSLATION_NAMES(wqhstr::TranslationDesc);
inline const QString WQHTranslationDescShort[6] = WQH_TRANSLATION_NAMES(wqhstr::TranslationDescShort);
#undef WQH_TRANSLATION_NAMES
