#pragma once
// What the page renderer reads from the control it prints. The control
// answers through an adapter; tests use a plain fake, without a window.
#include "hexeditor/wqhtypes.h"

#include <QString>
#include <cstdint>

struct TWQHPrintColors {
    TColor Offset = clBlack;
    TColor OddColumn = clBlue;
    TColor EvenColumn = clNavy;
    TColor Background = clWindow;
    TColor ChangedText = clMaroon;
    TColor ChangedBackground = 0xA8FFFF;
    TColor CurrentOffsetBackground = clBtnShadow;
    TColor OffsetBackground = clBtnFace;
    TColor ActiveFieldBackground = clWindow;
    TColor CurrentOffset = clBtnHighlight;
    TColor FontColor = clWindowText;  // the colour of the control's font
};

class TWQHPrintSource {
public:
    virtual ~TWQHPrintSource() = default;
    virtual int DataSize() const = 0;
    virtual std::uint8_t GetDataAt(int Index) const = 0;
    virtual bool HasChanged(int Pos) const = 0;
    virtual QString GetOffsetString(std::uint32_t Position) = 0;
    virtual QChar TranslateToAnsiChar(std::uint8_t Byte) const = 0;
    virtual TWQHTranslationKind Translation() const = 0;
    virtual int BytesPerRow() const = 0;
    virtual int BytesPerColumn() const = 0;
    virtual int BytesPerBlock() const = 0;
    virtual bool SeparateBlocksInCharField() const = 0;
    virtual int UsedRulerBytesPerUnit() const = 0;
    virtual QString RulerString() const = 0;
    virtual QString RulerCharString() const = 0;
    virtual bool ShowRuler() const = 0;
    virtual bool HexLowerCase() const = 0;
    virtual bool SwapNibbles() const = 0;
    virtual bool IsMasked(std::uint8_t Byte) const = 0;
    virtual QChar MaskChar() const = 0;
    virtual bool UnicodeChars() const = 0;
    virtual bool UnicodeBigEndian() const = 0;
    virtual TWQHPrintColors Colors() const = 0;
    virtual QString FileName() const = 0;
    virtual int SelStart() const = 0;
    virtual int SelEnd() const = 0;
    virtual int SelCount() const = 0;
    virtual bool IsSelected(int Pos) const = 0;
    virtual bool InCharField() const = 0;
    virtual int DisplayStart() const = 0;
    virtual int DisplayEnd() const = 0;
    // The caret's grid cell (data rows start at grid row 2).
    virtual int CaretCol() const = 0;
    virtual int CaretRow() const = 0;
    // The hourglass for the length of a print.
    virtual void WaitCursor() {}
    virtual void OldCursor() {}
};
