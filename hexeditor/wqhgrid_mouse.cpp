// Mouse selection with its auto-scroll timer, and how Qt's mouse events reach
// the overridable operations.
#include "hexeditor/wqhgrid.h"

#include "platform/exceptions.h"

#include <QMouseEvent>
#include <QTimerEvent>
#include <algorithm>

namespace {

// Interval of the auto-scroll timer while a drag selection is outside the cells.
constexpr int kScrollTimerMs = 60;

bool ToButton(Qt::MouseButton b, TMouseButton& out)
{
    switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
    }
}

} // namespace

void TWQHGrid::SendCancelMode()
{
    if (FGridState != gsNormal)
        StopSelecting();
}

void TWQHGrid::DblClick()
{
    if (FOnDblClick)
        FOnDblClick(this);
}

void TWQHGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (!hasFocus() && focusPolicy() != Qt::NoFocus && CanFocus())
        setFocus(Qt::MouseFocusReason);
    if (Button != mbLeft || (Shift & ssDouble))
        return;
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
        FGridState = gsSelecting;
        FScrollTimer.start(kScrollTimerMs, this);
        MoveColRow(cell.X, cell.Y, true, true);
    }
}

void TWQHGrid::SelectingMoveTo(int X, int Y)
{
    // A point far past the view goes no further than the cell just past the
    // last whole one; the timer scrolls on from there.
    const TGridCoord cell = MouseCoord(X, Y);
    TGridDrawInfo di;
    CalcDrawInfo(di);
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows && cell.X <= di.Horz.LastFullVisibleCell + 1 &&
        cell.Y <= di.Vert.LastFullVisibleCell + 1 && (cell.X != FCol || cell.Y != FRow))
        MoveColRow(cell.X, cell.Y, true, true);
}

void TWQHGrid::MouseMove(TShiftState, int X, int Y)
{
    if (FGridState == gsSelecting)
        SelectingMoveTo(X, Y);
}

void TWQHGrid::StopSelecting()
{
    FScrollTimer.stop();
    FGridState = gsNormal;
}

void TWQHGrid::MouseUp(TMouseButton, TShiftState, int X, int Y)
{
    if (FGridState != gsSelecting)
        return;
    // Whatever the last move did, the state ends here.
    struct Ender {
        TWQHGrid* g;
        ~Ender() { g->StopSelecting(); }
    } ender{this};
    SelectingMoveTo(X, Y);
}

void TWQHGrid::WMTimer()
{
    if (FGridState == gsSelecting)
        TimedScroll(true);
}

void TWQHGrid::TimedScroll(bool Horz)
{
    TGridDrawInfo di;
    CalcDrawInfo(di);
    const int x = FLastMouseX;
    const int y = FLastMouseY;
    int col = FCol;
    int row = FRow;
    if (Horz && x < di.Horz.FixedBoundary) {
        if (col > FFixedCols)
            --col;
    } else if (Horz && x > di.Horz.FullVisBoundary && col < FColCount - 1) {
        // The view moves on by one column per tick, whatever the widths: the
        // current cell goes no further than the last whole column, and only
        // from there does the view scroll, by one column.
        if (col + 1 > di.Horz.LastFullVisibleCell && FLeftCol < MaxLeftCol()) {
            SetLeftCol(FLeftCol + 1);
            CalcDrawInfo(di);
        }
        col = std::max(col, std::min(col + 1, std::max(FLeftCol, di.Horz.LastFullVisibleCell)));
    }
    if (y < di.Vert.FixedBoundary) {
        if (row > FFixedRows)
            --row;
    } else if (y > di.Vert.FullVisBoundary) {
        if (row < FRowCount - 1)
            ++row;
    }
    if (col == FCol && row == FRow)
        return;
    const bool colStep = col != FCol;
    const bool rowStep = row != FRow;
    MoveColRow(col, row, true, false);
    // Only an axis that stepped scrolls: a current cell left outside the view
    // on the other axis is not brought back.
    if (FCol == col && FRow == row)
        ScrollIntoView(colStep ? col : -1, rowStep ? row : -1);
}

TShiftState TWQHGrid::ShiftFromQt(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons)
{
    TShiftState s = 0;
    if (Modifiers & Qt::ShiftModifier)
        s |= ssShift;
    if (Modifiers & Qt::AltModifier)
        s |= ssAlt;
    if (Modifiers & Qt::ControlModifier)
        s |= ssCtrl;
    if (Buttons & Qt::LeftButton)
        s |= ssLeft;
    if (Buttons & Qt::RightButton)
        s |= ssRight;
    if (Buttons & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}

void TWQHGrid::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        TMouseButton b;
        if (!ToButton(event->button(), b))
            return;
        const QPoint p = ClientPoint(event->position());
        SetLastMousePos(p.x(), p.y());
        // The pressed button is part of the state even on platforms that report it late.
        MouseDown(b, ShiftFromQt(event->modifiers(), event->buttons() | event->button()), p.x(), p.y());
    });
}

void TWQHGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        TMouseButton b;
        if (!ToButton(event->button(), b))
            return;
        const QPoint p = ClientPoint(event->position());
        SetLastMousePos(p.x(), p.y());
        // As the class library: the double click first, then its press.
        if (b == mbLeft)
            DblClick();
        MouseDown(b, ShiftFromQt(event->modifiers(), event->buttons() | event->button()) | ssDouble, p.x(),
                  p.y());
    });
}

void TWQHGrid::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        const QPoint p = ClientPoint(event->position());
        SetLastMousePos(p.x(), p.y());
        MouseMove(ShiftFromQt(event->modifiers(), event->buttons()), p.x(), p.y());
    });
}

void TWQHGrid::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        TMouseButton b;
        const QPoint p = ClientPoint(event->position());
        SetLastMousePos(p.x(), p.y());
        if (!ToButton(event->button(), b)) {
            StopSelecting();
            return;
        }
        MouseUp(b, ShiftFromQt(event->modifiers(), event->buttons()), p.x(), p.y());
    });
}

void TWQHGrid::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == FScrollTimer.timerId()) {
        platform::Guarded([&] { WMTimer(); });
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}
