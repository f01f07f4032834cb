#include "hexeditor/ex/wqhprinteditor.h"

#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhwaitcursor.h"

TWQHEditorPrintSource::TWQHEditorPrintSource(TCustomWQHexEditor& Editor) : FEditor(Editor) {}
TWQHEditorPrintSource::~TWQHEditorPrintSource() = default;

int TWQHEditorPrintSource::DataSize() const { return FEditor.DataSize(); }
std::uint8_t TWQHEditorPrintSource::GetDataAt(int Index) const { return FEditor.GetDataAt(Index); }
bool TWQHEditorPrintSource::HasChanged(int Pos) const { return FEditor.HasChanged(Pos); }
QString TWQHEditorPrintSource::GetOffsetString(std::uint32_t Position) { return FEditor.GetOffsetString(Position); }
QChar TWQHEditorPrintSource::TranslateToAnsiChar(std::uint8_t Byte) const { return FEditor.TranslateToAnsiChar(Byte); }
TWQHTranslationKind TWQHEditorPrintSource::Translation() const { return FEditor.Translation(); }
int TWQHEditorPrintSource::BytesPerRow() const { return FEditor.BytesPerRow(); }
int TWQHEditorPrintSource::BytesPerColumn() const { return FEditor.BytesPerColumn(); }
int TWQHEditorPrintSource::BytesPerBlock() const { return FEditor.BytesPerBlock(); }
bool TWQHEditorPrintSource::SeparateBlocksInCharField() const { return FEditor.SeparateBlocksInCharField(); }
int TWQHEditorPrintSource::UsedRulerBytesPerUnit() const { return FEditor.UsedRulerBytesPerUnit(); }
QString TWQHEditorPrintSource::RulerString() const { return FEditor.RulerString(); }
QString TWQHEditorPrintSource::RulerCharString() const { return FEditor.RulerCharString(); }
bool TWQHEditorPrintSource::ShowRuler() const { return FEditor.ShowRuler(); }
bool TWQHEditorPrintSource::HexLowerCase() const { return FEditor.HexLowerCase(); }
bool TWQHEditorPrintSource::SwapNibbles() const { return FEditor.SwapNibbles(); }
bool TWQHEditorPrintSource::IsMasked(std::uint8_t Byte) const { return FEditor.MaskedChars().test(Byte); }
QChar TWQHEditorPrintSource::MaskChar() const { return FEditor.MaskChar(); }
bool TWQHEditorPrintSource::UnicodeChars() const { return FEditor.UnicodeChars(); }
bool TWQHEditorPrintSource::UnicodeBigEndian() const { return FEditor.UnicodeBigEndian(); }

TWQHPrintColors TWQHEditorPrintSource::Colors() const
{
    const TWQHColors& c = FEditor.Colors();
    TWQHPrintColors p;
    p.Offset = c.Offset();
    p.OddColumn = c.OddColumn();
    p.EvenColumn = c.EvenColumn();
    p.Background = c.Background();
    p.ChangedText = c.ChangedText();
    p.ChangedBackground = c.ChangedBackground();
    p.CurrentOffsetBackground = c.CurrentOffsetBackground();
    p.OffsetBackground = c.OffsetBackground();
    p.ActiveFieldBackground = c.ActiveFieldBackground();
    p.CurrentOffset = c.CurrentOffset();
    p.FontColor = FEditor.FontColor();
    return p;
}

QString TWQHEditorPrintSource::FileName() const { return FEditor.Filename(); }
int TWQHEditorPrintSource::SelStart() const { return FEditor.SelStart(); }
int TWQHEditorPrintSource::SelEnd() const { return FEditor.SelEnd(); }
int TWQHEditorPrintSource::SelCount() const { return FEditor.SelCount(); }
bool TWQHEditorPrintSource::IsSelected(int Pos) const { return FEditor.IsSelected(Pos); }
bool TWQHEditorPrintSource::InCharField() const { return FEditor.InCharField(); }
int TWQHEditorPrintSource::DisplayStart() const { return FEditor.DisplayStart(); }
int TWQHEditorPrintSource::DisplayEnd() const { return FEditor.DisplayEnd(); }
int TWQHEditorPrintSource::CaretCol() const { return FEditor.Col(); }
int TWQHEditorPrintSource::CaretRow() const { return FEditor.Row(); }

void TWQHEditorPrintSource::WaitCursor()
{
    if (!FWait)
        FWait = std::make_unique<TWQHWaitCursor>(FEditor);
}

void TWQHEditorPrintSource::OldCursor() { FWait.reset(); }
