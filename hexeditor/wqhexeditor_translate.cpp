// Character translation, 16-bit mode, search and replace of the editor control.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhtranslate.h"

QChar TCustomWQHexEditor::TranslateToAnsiChar(std::uint8_t aByte) const { return QChar(aByte); }
QChar TCustomWQHexEditor::TranslateFromAnsiChar(std::uint8_t aByte) const { return QChar(aByte); }
void TCustomWQHexEditor::SetTranslation(TWQHTranslationKind Value) { FTranslation = Value; }
void TCustomWQHexEditor::SetUnicodeCharacters(bool Value) { FUnicodeCharacters = Value; }
void TCustomWQHexEditor::SetUnicodeBigEndian(bool Value) { FUnicodeBigEndian = Value; }
QString TCustomWQHexEditor::PrepareFindReplaceData(QString StrData, bool IgnoreCase, bool IsText)
{
    (void)IgnoreCase;
    (void)IsText;
    return StrData;
}
int TCustomWQHexEditor::Find(const QChar* aBuffer, int aCount, int aStart, int aEnd, bool IgnoreCase)
{
    (void)aBuffer; (void)aCount; (void)aStart; (void)aEnd; (void)IgnoreCase;
    return -1;
}
int TCustomWQHexEditor::FindWithWildcard(const QChar* aBuffer, int aCount, int aStart, int aEnd, bool IgnoreCase,
                                         QChar Wildcard)
{
    (void)aBuffer; (void)aCount; (void)aStart; (void)aEnd; (void)IgnoreCase; (void)Wildcard;
    return -1;
}
int TCustomWQHexEditor::Replace(const void* aBuffer, int aPosition, int aOldCount, int aNewCount,
                                const QString& UndoDesc, bool MoveCursor)
{
    (void)aBuffer; (void)aPosition; (void)aOldCount; (void)UndoDesc; (void)MoveCursor;
    return aNewCount;
}
void TCustomWQHexEditor::SetMaskChar(QChar Value) { FReplaceUnprintableCharsBy = Value; }
void TCustomWQHexEditor::SetMaskedChars(const TWQHCharSet& Value) { FMaskedChars = Value; }
int TCustomWQHexEditor::TranslateTypedChar(char16_t aChar) const { return aChar > 255 ? -1 : aChar; }
TWQHFindTable TCustomWQHexEditor::InitialFindTable(bool)
{
    TWQHFindTable t{};
    for (int i = 0; i < 256; ++i)
        t[i] = char16_t(i);
    return t;
}
