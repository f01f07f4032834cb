// Character translations of the character field.
#include "hexeditor/wqhtranslate.h"

const TWQHCharConv WQH_CCONV_MAC{};
const TWQHCharConv WQH_CCONV_BCD38{};
TWQHCharConv WQHCustomCharConv{};

void TranslateBufferToAnsi(TWQHTranslationKind, const std::uint8_t* Source, QChar* Target, int Count)
{
    for (int i = 0; i < Count; ++i)
        Target[i] = QChar(Source[i]);
}
void TranslateBufferFromAnsi(TWQHTranslationKind, const QChar* Source, std::uint8_t* Target, int Count, bool* Failed)
{
    for (int i = 0; i < Count; ++i)
        Target[i] = static_cast<std::uint8_t>(Source[i].unicode());
    if (Failed)
        *Failed = false;
}
void TranslateBytesToAnsi(TWQHTranslationKind, std::uint8_t*, int) {}
void TranslateBytesFromAnsi(TWQHTranslationKind, std::uint8_t*, int) {}
QChar TranslateToAnsiChar(TWQHTranslationKind, std::uint8_t aByte, QChar, const TWQHCharSet&) { return QChar(aByte); }
int TranslateFromAnsiChar(TWQHTranslationKind, char16_t aChar, const TWQHCharSet&) { return aChar; }
