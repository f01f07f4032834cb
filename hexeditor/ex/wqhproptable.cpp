// The core control's published properties for the property text.
#include "hexeditor/ex/wqhproptable.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"

namespace {

using Editor = TCustomWQHexEditor;

struct Builder {
    TWQHPropTable& Table;
    Editor& E;

    TWQHPropDef& Add(const char* Name, TWQHPropKind Kind)
    {
        TWQHPropDef d;
        d.Name = QString::fromLatin1(Name);
        d.Kind = Kind;
        Table.push_back(std::move(d));
        return Table.back();
    }

    void Bool(const char* Name, bool (Editor::*Get)() const, void (Editor::*Set)(bool))
    {
        TWQHPropDef& d = Add(Name, TWQHPropKind::Boolean);
        d.GetOrd = [e = &E, Get] { return std::int64_t((e->*Get)() ? 1 : 0); };
        d.SetOrd = [e = &E, Set](std::int64_t v) { (e->*Set)(v != 0); };
    }

    template <class T>
    void Int(const char* Name, T (Editor::*Get)() const, void (Editor::*Set)(int),
             std::int64_t Min = INT32_MIN, std::int64_t Max = INT32_MAX)
    {
        TWQHPropDef& d = Add(Name, TWQHPropKind::Integer);
        d.Min = Min;
        d.Max = Max;
        d.GetOrd = [e = &E, Get] { return std::int64_t((e->*Get)()); };
        d.SetOrd = [e = &E, Set](std::int64_t v) { (e->*Set)(static_cast<int>(v)); };
    }

    void Colour(const char* Name, TColor (TWQHColors::*Get)() const, void (TWQHColors::*Set)(TColor))
    {
        TWQHPropDef& d = Add(Name, TWQHPropKind::Integer);
        d.GetOrd = [e = &E, Get] { return std::int64_t((e->Colors().*Get)()); };
        d.SetOrd = [e = &E, Set](std::int64_t v) { (e->Colors().*Set)(static_cast<TColor>(v)); };
    }
};

} // namespace

void WQHAddCoreProps(TWQHPropTable& Table, TCustomWQHexEditor& E)
{
    Builder b{Table, E};
    Editor* e = &E;

    b.Bool("UnicodeChars", &Editor::UnicodeChars, &Editor::SetUnicodeCharacters);
    Table.back().OnAfter = {QStringLiteral("BytesPerRow"), QStringLiteral("BytesPerColumn")};
    b.Bool("UnicodeBigEndian", &Editor::UnicodeBigEndian, &Editor::SetUnicodeBigEndian);
    b.Bool("AutoBytesPerRow", &Editor::AutoBytesPerRow, &Editor::SetAutoBytesPerRow);
    b.Int("BytesPerRow", &Editor::BytesPerRow, &Editor::SetBytesPerRow);
    b.Int("BytesPerColumn", &Editor::BytesPerColumn, &Editor::SetBytesPerColumn);
    {
        TWQHPropDef& d = b.Add("Translation", TWQHPropKind::Enumeration);
        d.Names = {QStringLiteral("tkAsIs"), QStringLiteral("tkDos8"), QStringLiteral("tkASCII"),
                   QStringLiteral("tkMac"),  QStringLiteral("tkBCD"),  QStringLiteral("tkCustom")};
        d.GetOrd = [e] { return std::int64_t(e->Translation()); };
        d.SetOrd = [e](std::int64_t v) { e->SetTranslation(static_cast<TWQHTranslationKind>(v)); };
    }
    {
        TWQHPropDef& d = b.Add("OffsetFormat", TWQHPropKind::String);
        d.GetStr = [e] { return e->OffsetFormat(); };
        d.SetStr = [e](const QString& v) { e->SetOffsetFormat(v); };
    }
    {
        TWQHPropDef& d = b.Add("CaretKind", TWQHPropKind::Enumeration);
        d.Names = {QStringLiteral("ckFull"), QStringLiteral("ckLeft"), QStringLiteral("ckBottom"),
                   QStringLiteral("ckAuto")};
        d.GetOrd = [e] { return std::int64_t(e->CaretKind()); };
        d.SetOrd = [e](std::int64_t v) { e->SetCaretKind(static_cast<TWQHCaretKind>(v)); };
    }
    b.Colour("Colors.Background", &TWQHColors::Background, &TWQHColors::SetBackground);
    b.Colour("Colors.ChangedBackground", &TWQHColors::ChangedBackground, &TWQHColors::SetChangedBackground);
    b.Colour("Colors.ChangedText", &TWQHColors::ChangedText, &TWQHColors::SetChangedText);
    b.Colour("Colors.CursorFrame", &TWQHColors::CursorFrame, &TWQHColors::SetCursorFrame);
    b.Colour("Colors.Offset", &TWQHColors::Offset, &TWQHColors::SetOffset);
    b.Colour("Colors.OddColumn", &TWQHColors::OddColumn, &TWQHColors::SetOddColumn);
    b.Colour("Colors.EvenColumn", &TWQHColors::EvenColumn, &TWQHColors::SetEvenColumn);
    b.Colour("Colors.CurrentOffsetBackground", &TWQHColors::CurrentOffsetBackground,
             &TWQHColors::SetCurrentOffsetBackground);
    b.Colour("Colors.OffsetBackground", &TWQHColors::OffsetBackground, &TWQHColors::SetOffsetBackground);
    b.Colour("Colors.CurrentOffset", &TWQHColors::CurrentOffset, &TWQHColors::SetCurrentOffset);
    b.Colour("Colors.Grid", &TWQHColors::Grid, &TWQHColors::SetGrid);
    b.Colour("Colors.NonFocusCursorFrame", &TWQHColors::NonFocusCursorFrame, &TWQHColors::SetNonFocusCursorFrame);
    b.Colour("Colors.ActiveFieldBackground", &TWQHColors::ActiveFieldBackground,
             &TWQHColors::SetActiveFieldBackground);
    b.Bool("FocusFrame", &Editor::FocusFrame, &Editor::SetFocusFrame);
    b.Bool("SwapNibbles", &Editor::SwapNibbles, &Editor::SetSwapNibbles);
    {
        TWQHPropDef& d = b.Add("MaskChar", TWQHPropKind::Integer);
        d.Min = 0;
        d.Max = 0xFFFF;
        d.GetOrd = [e] { return std::int64_t(e->MaskChar().unicode()); };
        d.SetOrd = [e](std::int64_t v) { e->SetMaskChar(QChar(static_cast<char16_t>(v))); };
    }
    b.Bool("NoSizeChange", &Editor::NoSizeChange, &Editor::SetNoSizeChange);
    b.Bool("AllowInsertMode", &Editor::AllowInsertMode, &Editor::SetAllowInsertMode);
    b.Bool("DrawGridLines", &Editor::DrawGridLines, &Editor::SetDrawGridLines);
    b.Bool("WantTabs", &Editor::WantTabs, &Editor::SetWantTabs);
    b.Bool("ReadOnlyView", &Editor::ReadOnlyView, &Editor::SetReadOnlyView);
    b.Bool("HideSelection", &Editor::HideSelection, &Editor::SetHideSelection);
    b.Bool("GraySelectionIfNotFocused", &Editor::GraySelectionIfNotFocused, &Editor::SetGraySelectionIfNotFocused);
    b.Int("GutterWidth", &Editor::GutterWidth, &Editor::SetGutterWidth);
    {
        TWQHPropDef& d = b.Add("Version", TWQHPropKind::String);
        d.GetStr = [e] { return e->Version(); };
        d.SetStr = [](const QString&) {};  // read-only: the setter ignores its value
    }
    b.Int("MaxUndo", &Editor::MaxUndo, &Editor::SetMaxUndo);
    b.Bool("InsertMode", &Editor::InsertMode, &Editor::SetInsertMode);
    b.Bool("HexLowerCase", &Editor::HexLowerCase, &Editor::SetHexLowerCase);
    b.Bool("DrawGutter3D", &Editor::DrawGutter3D, &Editor::SetDrawGutter3D);
    b.Bool("ShowRuler", &Editor::ShowRuler, &Editor::SetShowRuler);
    b.Int("BytesPerUnit", &Editor::BytesPerUnit, &Editor::SetBytesPerUnit);
    b.Int("RulerBytesPerUnit", &Editor::RulerBytesPerUnit, &Editor::SetRulerBytesPerUnit);
    b.Bool("ShowPositionIfNotFocused", &Editor::ShowPositionIfNotFocused, &Editor::SetShowPositionIfNotFocused);
    b.Int("BytesPerBlock", &Editor::BytesPerBlock, &Editor::SetBytesPerBlock);
    b.Bool("SeparateBlocksInCharField", &Editor::SeparateBlocksInCharField, &Editor::SetSeparateBlocksInCharField);
    b.Bool("FindProgress", &Editor::FindProgress, &Editor::SetFindProgress);
    // A byte property: 0..255 fits, and the setter itself turns a radix outside 2..16 into 16.
    b.Int("RulerNumberBase", &Editor::RulerNumberBase, &Editor::SetRulerNumberBase, 0, 255);
}
