// The standard edit actions and the offset gutter's context menu.
#include "hexeditor/ex/wqhexeditorex.h"

#include "hexeditor/ex/wqhpopupmenu.h"
#include "hexeditor/wqhactions.h"
#include "hexeditor/wqhstrings.h"

bool TWQHexEditorEx::UpdateAction(TWQHBasicAction& Action)
{
    if (!Focused())
        return false;
    if (!Action.IsEditAction())
        return TCustomWQHexEditor::UpdateAction(Action);
    switch (Action.Kind()) {
    case akEditCut:
    case akEditDelete:
        Action.SetEnabled(CanCut());
        return true;
    case akEditCopy:
        Action.SetEnabled(CanCopy());
        return true;
    case akEditPaste:
        Action.SetEnabled(CanPaste());
        return true;
    case akEditUndo:
        Action.SetEnabled(CanUndo());
        return true;
    case akEditSelectAll:
        Action.SetEnabled(DataSize() > 0);
        return true;
    default:
        return false;
    }
}

bool TWQHexEditorEx::ExecuteAction(TWQHBasicAction& Action)
{
    switch (Action.Kind()) {
    case akEditCut:
        return CBCut();
    case akEditCopy:
        return CBCopy();
    case akEditPaste:
        return CBPaste();
    case akEditDelete:
        // As the Delete key: the default description of a removal.
        DeleteSelection(QString());
        return true;
    case akEditUndo:
        return Undo();
    case akEditSelectAll:
        SelectAll();
        return true;
    default:
        return TCustomWQHexEditor::ExecuteAction(Action);
    }
}

void TWQHexEditorEx::DoContextPopup(TPoint MousePos, bool& Handled)
{
    TCustomWQHexEditor::DoContextPopup(MousePos, Handled);
    if (Handled || FOffsetPopupMenu == nullptr)
        return;
    // A keyboard request (-1, -1) names no point and never uses the menu.
    if (MousePos.X == -1 && MousePos.Y == -1)
        return;
    // The gutter lies at the right edge when the columns run right to left.
    const int cellX = GridX(MousePos.X);
    const bool inGutter = cellX >= 0 && cellX < ColWidths(0) + ColWidths(1);
    const bool inHeader = MousePos.Y >= 0 && MousePos.Y < RowHeights(0) + RowHeights(1);
    if (!inGutter && !inHeader)
        return;
    if (!FOffsetPopupMenu->AutoPopup())
        return;
    Handled = true;
    SendCancelMode();
    FOffsetPopupMenu->SetPopupComponent(this);
    const QPoint screen = viewport()->mapToGlobal(QPoint(MousePos.X, MousePos.Y));
    FOffsetPopupMenu->Popup(screen.x(), screen.y());
}
