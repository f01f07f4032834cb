// Mouse press, drag and release of the hex editor control, the insert-mode
// point correction, auto-scroll while selecting, the pointer over the
// selection and the drag-and-drop insertion mark.
#include "hexeditor/wqhexeditor_caret.h"

#include <QCursor>
#include <algorithm>

using wqhcaret::ClampInt;

// ---------------------------------------------------------------- mouse

TGridCoord TCustomWQHexEditor::CheckMouseCoord(int& X, int& Y)
{
    TGridCoord c = MouseCoord(X, Y);
    // A point on no cell stays as it is: it is nobody's byte.
    if (!FInsertModeOn || c.X == -1 || c.Y == -1)
        return c;
    const int h = FCharWidth / 2;
    const int lastChar = ColCount() - 1;
    // The cells as they lie past the client edge too, so that a point held
    // beside the view is corrected as one inside it.
    TRect r = CellBounds(c.X, c.Y);
    if (X >= r.Left + h && c.X != FIntLastHexCol && c.X != lastChar) {
        X = r.Right + 1;
        ++c.X;
        r = CellBounds(c.X, c.Y);
    }
    if ((c.X == lastChar || c.X == FIntLastHexCol) && X - r.Left > h) {
        const int firstCol = c.X == lastChar ? WQHCaret::FirstCharCol(*this) : 2;
        // There is no row after the last one: the point is on no cell.
        if (c.Y + 1 >= RowCount())
            return GridCoord(-1, -1);
        // A first column scrolled away to the left has no point of its own.
        X = firstCol < LeftCol() ? -1 : CellBounds(firstCol, c.Y).Left;
        Y += RowHeights(c.Y + 1);
        ++c.Y;
        c.X = firstCol;
    }
    return c;
}

void TCustomWQHexEditor::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    FIsSelecting = false;
    FMouseUpCanResetSel = false;
    const int rawX = X;
    const int rawY = Y;
    TGridCoord cell = GridCoord(-1, -1);
    if (Button == mbLeft)
        cell = CheckMouseCoord(X, Y);

    const bool overSel = CursorOverSelection(rawX, rawY);
    // A point that corrects to no cell (past the last row) is pressed like
    // any other point on no cell: the caret stays and nothing is dragged.
    const bool noCell = Button == mbLeft && (cell.X == -1 || cell.Y == -1);
    const bool gridSees = !overSel && !noCell && !MouseOverFixed(rawX, rawY);
    if (!gridSees) {
        if (CanFocus() || parentWidget() == nullptr)
            setFocus(Qt::MouseFocusReason);
    } else if (Button == mbLeft && WQHCaret::IsDataCell(*this, cell.X, cell.Y) && MouseCoord(X, Y) != cell) {
        // No point names the corrected cell (its column is scrolled away to
        // the left): the grid starts its drag at the pressed point, then the
        // caret goes to the corrected cell.
        TWQHGrid::MouseDown(Button, Shift, rawX, rawY);
        MoveColRow(cell.X, cell.Y, true, true);
    } else {
        TWQHGrid::MouseDown(Button, Shift, X, Y);
    }
    if (gridSees && FOnMouseDown)
        FOnMouseDown(this, Button, Shift, X, Y);

    if (Button == mbLeft && !overSel && WQHCaret::IsDataCell(*this, cell.X, cell.Y)) {
        ResetSelection(true);
        if (!(Shift & ssDouble))
            FIsSelecting = true;
    }
    if (Button == mbLeft && overSel) {
        FMouseDownCol = cell.X;
        FMouseDownRow = cell.Y;
        FMouseUpCanResetSel = true;
    }
    if (!gridSees && Focused() && FOnMouseDown)
        FOnMouseDown(this, Button, Shift, X, Y);
}

void TCustomWQHexEditor::MouseMove(TShiftState Shift, int X, int Y)
{
    const int rawX = X;
    const int rawY = Y;
    if (Shift == ssLeft)
        CheckMouseCoord(X, Y);
    TWQHGrid::MouseMove(Shift, X, Y);
    if (FMouseUpCanResetSel) {
        // Only another cell disarms: Qt moves the pointer to a release point
        // itself, and a release on no cell still clears.
        const TGridCoord c = MouseCoord(X, Y);
        if (c.X != -1 && c.Y != -1 && (c.X != FMouseDownCol || c.Y != FMouseDownRow))
            FMouseUpCanResetSel = false;
    }
    if (Shift == 0 && (CursorOverSelection(rawX, rawY) || MouseOverFixed(rawX, rawY)))
        SetCursor(crArrow);
    else
        SetCursor(crIBeam);
}

void TCustomWQHexEditor::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    CheckMouseCoord(X, Y);
    TWQHGrid::MouseUp(Button, Shift, X, Y);
    if (FMouseUpCanResetSel) {
        FMouseUpCanResetSel = false;
        const bool had = FSelPosition != -1;
        ResetSelection(true);
        // Past the last row or column there is no cell to go to.
        const TGridCoord c = MouseCoord(X, Y);
        if (c.X != -1 && c.Y != -1)
            MoveColRow(c.X, c.Y, true, true);
        if (had)
            SelectionChanged();
    }
    if (FShowDrag)
        HideDragCell();
}

void TCustomWQHexEditor::WMTimer()
{
    if (GridState() != gsSelecting)
        return;
    const int mouseX = LastMouseX();
    const int mouseY = LastMouseY();
    int x = mouseX;
    int y = mouseY;
    TGridCoord c = CheckMouseCoord(x, y);
    // Held beyond the view further out than the cells reach, the pointer
    // stands for the last column or row, so the drag goes on to the end.
    if (c.X == -1 && mouseX >= ClientWidth())
        c.X = ColCount() - 1;
    if (c.Y == -1 && mouseY >= ClientHeight())
        c.Y = RowCount() - 1;
    if (c.X == -1 || c.Y == -1)
        return;
    TGridDrawInfo di;
    CalcDrawInfo(di);
    if (mouseX > di.Horz.FullVisBoundary && !WQHCaret::TakesCaret(*this, Col() + 1, Row())) {
        // Right of the caret its row has no caret place (the gap, or the end
        // of the data): the caret stays and the view moves on by itself, one
        // column per tick, never back to the caret.
        TimedScroll(false);
        SetLeftCol(LeftCol() + 1);
        return;
    }
    TWQHGrid::WMTimer();
}

bool TCustomWQHexEditor::CursorOverSelection(int X, int Y) const
{
    const int size = GetDataSize();
    if (FSelPosition == -1 || size < 1)
        return false;
    const TGridCoord c = MouseCoord(X, Y);
    if (c.X <= 1 || c.Y <= 1)
        return false;
    const int p = GetPositionAtCursor(c.X, c.Y);
    return p >= 0 && p < size && IsSelected(p);
}

bool TCustomWQHexEditor::MouseOverSelection() const
{
    // Where the pointer is now: no event arrives when it leaves the control.
    const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
    return CursorOverSelection(GridX(p.x()), p.y());
}

bool TCustomWQHexEditor::MouseOverFixed(int X, int Y) const
{
    const TGridCoord c = MouseCoord(X, Y);
    return c.X < 2 || c.Y < 2;
}

// ---------------------------------------------------------------- drag mark

int TCustomWQHexEditor::ShowDragCell(int X, int Y)
{
    // The drop target passes the pointer's client point as it is on screen.
    X = GridX(X);
    // A point past the last column or row means that column or row: the
    // point is pulled onto the cells before it is looked up.
    TGridDrawInfo di;
    CalcDrawInfo(di);
    const TGridCoord c = MouseCoord(std::clamp(X, 0, std::max(0, di.Horz.GridBoundary - 1)),
                                    std::clamp(Y, 0, std::max(0, di.Vert.GridBoundary - 1)));
    const int col = ClampInt(c.X, 2, ColCount() - 1);
    const int row = ClampInt(c.Y, 2, RowCount() - 1);

    int result = ClampInt(GetPositionAtCursor(col, row), 0, GetDataSize());
    if (IsSelected(result))
        result = FSelStart;
    CheckUnit(result);

    const bool wasShown = FShowDrag;
    FShowDrag = true;

    if (c.Y <= TopRow() && c.Y > 2)
        SetTopRow(TopRow() - 1);
    else if (c.Y >= TopRow() + VisibleRowCount() - 1 && c.Y < RowCount() - 1)
        SetTopRow(TopRow() + 1);
    if (c.X <= LeftCol() && c.X > 2)
        SetLeftCol(LeftCol() - 1);
    else if (c.X >= LeftCol() + VisibleColCount() - 1 && c.X < ColCount() - 1)
        SetLeftCol(LeftCol() + 1);

    const TGridCoord mark = GetCursorAtPos(result, GetIsCharFieldCol(col));
    if (mark.X != FDropCol || mark.Y != FDropRow || !wasShown) {
        FDropCol = mark.X;
        FDropRow = mark.Y;
        Invalidate();
    }
    return result;
}

void TCustomWQHexEditor::HideDragCell()
{
    FShowDrag = false;
    Invalidate();
}

int TCustomWQHexEditor::DropPosition() const
{
    if (!FShowDrag)
        return -1;
    int p = GetPositionAtCursor(FDropCol, FDropRow);
    CheckUnit(p);
    return p;
}
