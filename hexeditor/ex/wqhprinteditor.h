#pragma once
// The hex editor control as a print source: the renderer reads the control's
// data, layout, colours, selection and caret through it, at the moment of each
// row.
#include "hexeditor/ex/wqhprintsource.h"

#include <memory>

class TCustomWQHexEditor;
class TWQHWaitCursor;

class TWQHEditorPrintSource final : public TWQHPrintSource {
public:
    explicit TWQHEditorPrintSource(TCustomWQHexEditor& Editor);
    ~TWQHEditorPrintSource() override;
    int DataSize() const override;
    std::uint8_t GetDataAt(int Index) const override;
    bool HasChanged(int Pos) const override;
    QString GetOffsetString(std::uint32_t Position) override;
    QChar TranslateToAnsiChar(std::uint8_t Byte) const override;
    TWQHTranslationKind Translation() const override;
    int BytesPerRow() const override;
    int BytesPerColumn() const override;
    int BytesPerBlock() const override;
    bool SeparateBlocksInCharField() const override;
    int UsedRulerBytesPerUnit() const override;
    QString RulerString() const override;
    QString RulerCharString() const override;
    bool ShowRuler() const override;
    bool HexLowerCase() const override;
    bool SwapNibbles() const override;
    bool IsMasked(std::uint8_t Byte) const override;
    QChar MaskChar() const override;
    bool UnicodeChars() const override;
    bool UnicodeBigEndian() const override;
    TWQHPrintColors Colors() const override;
    QString FileName() const override;
    int SelStart() const override;
    int SelEnd() const override;
    int SelCount() const override;
    bool IsSelected(int Pos) const override;
    bool InCharField() const override;
    int DisplayStart() const override;
    int DisplayEnd() const override;
    int CaretCol() const override;
    int CaretRow() const override;
    void WaitCursor() override;
    void OldCursor() override;

private:
    TCustomWQHexEditor& FEditor;
    std::unique_ptr<TWQHWaitCursor> FWait;
};
