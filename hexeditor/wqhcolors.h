#pragma once
// The editor's colour set and the conversion of class-library colours
// (including system colours) to RGB.
#include "hexeditor/wqhtypes.h"

#include <QColor>
#include <functional>

// A colour with system colours resolved through the application palette;
// the result is blue-green-red like every TColor.
TColor ColorToRGB(TColor Color);
QColor TColorToQColor(TColor Color);
TColor QColorToTColor(const QColor& Color);

class TWQHColors {
public:
    // Parent is repainted on every change; Background also sets its colour.
    explicit TWQHColors(class TCustomWQHexEditor* Parent);
    void Assign(const TWQHColors& Source);
    void SetParent(class TCustomWQHexEditor* Value) { FParent = Value; }
    class TCustomWQHexEditor* Parent() const { return FParent; }

    TColor Offset() const { return FOffset; }
    void SetOffset(TColor Value);
    TColor OddColumn() const { return FOddColumn; }
    void SetOddColumn(TColor Value);
    TColor EvenColumn() const { return FEvenColumn; }
    void SetEvenColumn(TColor Value);
    TColor CursorFrame() const { return FCursorFrame; }
    void SetCursorFrame(TColor Value);
    TColor NonFocusCursorFrame() const { return FNonFocusCursorFrame; }
    void SetNonFocusCursorFrame(TColor Value);
    TColor Background() const { return FBackground; }
    void SetBackground(TColor Value);
    TColor ChangedText() const { return FChangedText; }
    void SetChangedText(TColor Value);
    TColor ChangedBackground() const { return FChangedBackground; }
    void SetChangedBackground(TColor Value);
    TColor CurrentOffsetBackground() const { return FCurrentOffsetBackground; }
    void SetCurrentOffsetBackground(TColor Value);
    TColor OffsetBackground() const { return FOffsetBackground; }
    void SetOffsetBackground(TColor Value);
    TColor ActiveFieldBackground() const { return FActiveFieldBackground; }
    void SetActiveFieldBackground(TColor Value);
    TColor CurrentOffset() const { return FCurrentOffset; }
    void SetCurrentOffset(TColor Value);
    TColor Grid() const { return FGrid; }
    void SetGrid(TColor Value);

private:
    void Set(TColor& Field, TColor Value);

    class TCustomWQHexEditor* FParent;
    TColor FOffset = clBlack;
    TColor FOddColumn = clBlue;
    TColor FEvenColumn = clNavy;
    TColor FCursorFrame = clNavy;
    TColor FNonFocusCursorFrame = clAqua;
    TColor FBackground = clWindow;
    TColor FChangedText = clMaroon;
    TColor FChangedBackground = 0xA8FFFF;
    TColor FCurrentOffsetBackground = clBtnShadow;
    TColor FOffsetBackground = clBtnFace;
    TColor FActiveFieldBackground = clWindow;
    TColor FCurrentOffset = clBtnHighlight;
    TColor FGrid = clBtnFace;
};
