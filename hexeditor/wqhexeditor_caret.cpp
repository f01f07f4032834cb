// Caret, selection, mouse, scrolling and focus of the hex editor control.
#include "hexeditor/wqhexeditor.h"

#include <QEvent>

int TCustomWQHexEditor::GetPosAtCursor(int, int) { return 0; }
int TCustomWQHexEditor::GetPositionAtCursor(int, int) const { return 0; }
TGridCoord TCustomWQHexEditor::GetCursorAtPos(int, bool) const { return GridCoord(2, 2); }
int TCustomWQHexEditor::GetRow(int) const { return 2; }
int TCustomWQHexEditor::GetOtherFieldCol(int aCol) { return aCol; }
int TCustomWQHexEditor::GetOtherFieldColCheck(int aCol) const { return aCol; }
bool TCustomWQHexEditor::GetIsCharFieldCol(int) const { return false; }
int TCustomWQHexEditor::GetCursorPos() const { return 0; }
int TCustomWQHexEditor::CurrentValue() const { return -1; }
void TCustomWQHexEditor::TruncMaxPosition(int&) const {}
void TCustomWQHexEditor::CheckUnit(int&) const {}
void TCustomWQHexEditor::CheckSelectUnit(int&, int&) const {}
void TCustomWQHexEditor::SetSelection(int, int, int) {}
void TCustomWQHexEditor::NewSelection(int, int) {}
void TCustomWQHexEditor::Select(int, int, int, int) {}
void TCustomWQHexEditor::ResetSelection(bool) {}
bool TCustomWQHexEditor::IsSelected(int) const { return false; }
int TCustomWQHexEditor::SelCount() const { return 0; }
void TCustomWQHexEditor::SetSelCount(int) {}
int TCustomWQHexEditor::SelStart() const { return 0; }
void TCustomWQHexEditor::SetSelStart(int) {}
int TCustomWQHexEditor::SelEnd() const { return 0; }
void TCustomWQHexEditor::SetSelEnd(int) {}
bool TCustomWQHexEditor::InCharField() const { return false; }
void TCustomWQHexEditor::SetInCharField(bool) {}
void TCustomWQHexEditor::SelectAll() {}
void TCustomWQHexEditor::InternalGetCurSel(int&, int&, int&, int&) {}
void TCustomWQHexEditor::SelectionChanged() {}
void TCustomWQHexEditor::CenterCursorPosition() {}
int TCustomWQHexEditor::DisplayStart() const { return -1; }
int TCustomWQHexEditor::DisplayEnd() const { return -1; }
void TCustomWQHexEditor::SyncView(TCustomWQHexEditor*, int) {}
int TCustomWQHexEditor::ShowDragCell(int, int) { return 0; }
void TCustomWQHexEditor::HideDragCell() {}
int TCustomWQHexEditor::DropPosition() const { return -1; }
bool TCustomWQHexEditor::CursorOverSelection(int, int) const { return false; }
bool TCustomWQHexEditor::MouseOverSelection() const { return false; }
bool TCustomWQHexEditor::MouseOverFixed(int, int) const { return false; }
TColor TCustomWQHexEditor::InvertColor(TColor aColor) { return aColor; }

bool TCustomWQHexEditor::SelectCell(int ACol, int ARow) { return TWQHGrid::SelectCell(ACol, ARow); }
bool TCustomWQHexEditor::CheckSelectCell(int ACol, int ARow) { return TWQHGrid::SelectCell(ACol, ARow); }
void TCustomWQHexEditor::CMSelectionChanged() {}
void TCustomWQHexEditor::CreateCaretGlyph() {}
void TCustomWQHexEditor::DestroyCaret() {}
void TCustomWQHexEditor::CheckSetCaret() {}
void TCustomWQHexEditor::IntSetCaretPos(int, int, int) {}
void TCustomWQHexEditor::CMINTUPDATECARET(int) {}
void TCustomWQHexEditor::DrawCaret(TWQHCanvas&) {}
void TCustomWQHexEditor::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TWQHGrid::MouseDown(Button, Shift, X, Y);
}
void TCustomWQHexEditor::MouseMove(TShiftState Shift, int X, int Y) { TWQHGrid::MouseMove(Shift, X, Y); }
void TCustomWQHexEditor::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TWQHGrid::MouseUp(Button, Shift, X, Y);
}
TGridCoord TCustomWQHexEditor::CheckMouseCoord(int& X, int& Y) { return MouseCoord(X, Y); }
void TCustomWQHexEditor::WMTimer() { TWQHGrid::WMTimer(); }
void TCustomWQHexEditor::WMVScroll() { TWQHGrid::WMVScroll(); }
void TCustomWQHexEditor::WMHScroll() { TWQHGrid::WMHScroll(); }
void TCustomWQHexEditor::TopLeftChanged() { TWQHGrid::TopLeftChanged(); }
bool TCustomWQHexEditor::DoMouseWheelDown(TShiftState Shift, int X, int Y)
{
    return TWQHGrid::DoMouseWheelDown(Shift, X, Y);
}
bool TCustomWQHexEditor::DoMouseWheelUp(TShiftState Shift, int X, int Y)
{
    return TWQHGrid::DoMouseWheelUp(Shift, X, Y);
}
void TCustomWQHexEditor::WMSetFocus() { TWQHGrid::WMSetFocus(); }
void TCustomWQHexEditor::WMKillFocus() { TWQHGrid::WMKillFocus(); }
bool TCustomWQHexEditor::CanFocus() { return TWQHGrid::CanFocus(); }
void TCustomWQHexEditor::customEvent(QEvent* event) { TWQHGrid::customEvent(event); }
void TCustomWQHexEditor::PostControlMessage(int, int) {}
