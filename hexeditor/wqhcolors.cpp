#include "hexeditor/wqhcolors.h"

#include "hexeditor/wqhexeditor.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

// The classic system colours, used when no application palette is there.
TColor DefaultSystemColor(int Index)
{
    switch (Index) {
    case 5: return 0xFFFFFF;   // window
    case 8: return 0x000000;   // window text
    case 13: return 0x6A240A;  // highlight
    case 14: return 0xFFFFFF;  // highlight text
    case 15: return 0xC8D0D4;  // button face
    case 16: return 0x99A8AC;  // button shadow
    case 17: return 0x99A8AC;  // gray text
    case 18: return 0x000000;  // button text
    case 20: return 0xFFFFFF;  // button highlight
    default: return 0x000000;
    }
}

bool PaletteRole(int Index, QPalette::ColorGroup& Group, QPalette::ColorRole& Role)
{
    Group = QPalette::Active;
    switch (Index) {
    case 5: Role = QPalette::Base; return true;
    case 8: Role = QPalette::Text; return true;
    case 13: Role = QPalette::Highlight; return true;
    case 14: Role = QPalette::HighlightedText; return true;
    case 15: Role = QPalette::Button; return true;
    case 16: Role = QPalette::Dark; return true;
    case 17: Group = QPalette::Disabled; Role = QPalette::Text; return true;
    case 18: Role = QPalette::ButtonText; return true;
    case 20: Role = QPalette::Light; return true;
    default: return false;
    }
}

} // namespace

TColor ColorToRGB(TColor Color)
{
    if ((static_cast<std::uint32_t>(Color) & 0xFF000000u) != static_cast<std::uint32_t>(clSystemColor))
        return Color & 0xFFFFFF;
    const int index = Color & 0xFF;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    if (qGuiApp && PaletteRole(index, group, role))
        return QColorToTColor(QGuiApplication::palette().color(group, role));
    return DefaultSystemColor(index);
}

QColor TColorToQColor(TColor Color)
{
    const TColor rgb = ColorToRGB(Color);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor QColorToTColor(const QColor& Color)
{
    return static_cast<TColor>(Color.red() | (Color.green() << 8) | (Color.blue() << 16));
}

TWQHColors::TWQHColors(TCustomWQHexEditor* Parent)
    : FParent(Parent)
{
}

void TWQHColors::Set(TColor& Field, TColor Value)
{
    if (Field == Value)
        return;
    Field = Value;
    if (FParent)
        FParent->Invalidate();
}

void TWQHColors::Assign(const TWQHColors& Source)
{
    if (&Source == this)
        return;
    SetBackground(Source.FBackground);
    SetChangedText(Source.FChangedText);
    SetCursorFrame(Source.FCursorFrame);
    SetNonFocusCursorFrame(Source.FNonFocusCursorFrame);
    SetOffset(Source.FOffset);
    SetOddColumn(Source.FOddColumn);
    SetEvenColumn(Source.FEvenColumn);
    SetChangedBackground(Source.FChangedBackground);
    SetCurrentOffsetBackground(Source.FCurrentOffsetBackground);
    SetCurrentOffset(Source.FCurrentOffset);
    SetOffsetBackground(Source.FOffsetBackground);
    SetActiveFieldBackground(Source.FActiveFieldBackground);
    SetGrid(Source.FGrid);
}

void TWQHColors::SetOffset(TColor Value) { Set(FOffset, Value); }
void TWQHColors::SetOddColumn(TColor Value) { Set(FOddColumn, Value); }
void TWQHColors::SetEvenColumn(TColor Value) { Set(FEvenColumn, Value); }
void TWQHColors::SetCursorFrame(TColor Value) { Set(FCursorFrame, Value); }
void TWQHColors::SetNonFocusCursorFrame(TColor Value) { Set(FNonFocusCursorFrame, Value); }
void TWQHColors::SetChangedText(TColor Value) { Set(FChangedText, Value); }
void TWQHColors::SetChangedBackground(TColor Value) { Set(FChangedBackground, Value); }
void TWQHColors::SetCurrentOffsetBackground(TColor Value) { Set(FCurrentOffsetBackground, Value); }
void TWQHColors::SetOffsetBackground(TColor Value) { Set(FOffsetBackground, Value); }
void TWQHColors::SetActiveFieldBackground(TColor Value) { Set(FActiveFieldBackground, Value); }
void TWQHColors::SetCurrentOffset(TColor Value) { Set(FCurrentOffset, Value); }
void TWQHColors::SetGrid(TColor Value) { Set(FGrid, Value); }

void TWQHColors::SetBackground(TColor Value)
{
    if (FBackground == Value)
        return;
    FBackground = Value;
    if (FParent) {
        FParent->SetColor(Value);
        FParent->Invalidate();
    }
}
