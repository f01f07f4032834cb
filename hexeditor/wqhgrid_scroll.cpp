// Scrolling: the first shown row and column, what fits, the scroll bars and
// the wheel.
#include "hexeditor/wqhgrid.h"

#include "platform/exceptions.h"

#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

void TWQHGrid::ScrollIntoView(int ACol, int ARow)
{
    int newLeft = FLeftCol;
    int newTop = FTopRow;
    if (ARow >= FFixedRows) {
        if (ARow < FTopRow) {
            newTop = ARow;
        } else {
            const std::int64_t avail = ClientHeight() - std::int64_t(FixedHeight());
            const int visible = RowsFitFrom(FTopRow, avail);
            if (ARow > FTopRow + std::max(visible, 1) - 1) {
                const int fit = std::max(1, RowsFitBefore(ARow + 1, avail));
                newTop = ARow + 1 - fit;
            }
        }
    }
    if (ACol >= FFixedCols) {
        if (ACol < FLeftCol) {
            newLeft = ACol;
        } else {
            const std::int64_t avail = ClientWidth() - std::int64_t(FixedWidth());
            const int visible = ColsFitFrom(FLeftCol, avail);
            if (ACol > FLeftCol + std::max(visible, 1) - 1) {
                const int fit = std::max(1, ColsFitBefore(ACol + 1, avail));
                newLeft = ACol + 1 - fit;
            }
        }
    }
    if (newLeft != FLeftCol || newTop != FTopRow) {
        const int oldLeft = FLeftCol;
        const int oldTop = FTopRow;
        FLeftCol = std::clamp(newLeft, FFixedCols, std::max(FFixedCols, MaxLeftCol()));
        FTopRow = std::clamp(newTop, FFixedRows, std::max(FFixedRows, MaxTopRow()));
        if (FLeftCol != oldLeft || FTopRow != oldTop) {
            UpdateScrollBars();
            Invalidate();
            TopLeftChanged();
        }
    }
}

int TWQHGrid::MaxTopRow() const
{
    const std::int64_t avail = ClientHeight() - std::int64_t(FixedHeight());
    const int fit = std::max(1, RowsFitBefore(FRowCount, avail));
    return std::max(FFixedRows, FRowCount - fit);
}

int TWQHGrid::MaxLeftCol() const
{
    const std::int64_t avail = ClientWidth() - std::int64_t(FixedWidth());
    const int fit = std::max(1, ColsFitBefore(FColCount, avail));
    return std::max(FFixedCols, FColCount - fit);
}

void TWQHGrid::SetLeftCol(int Value)
{
    Value = std::clamp(Value, FFixedCols, std::max(FFixedCols, MaxLeftCol()));
    if (Value == FLeftCol)
        return;
    FLeftCol = Value;
    UpdateScrollBars();
    Invalidate();
    TopLeftChanged();
}

void TWQHGrid::SetTopRow(int Value)
{
    Value = std::clamp(Value, FFixedRows, std::max(FFixedRows, MaxTopRow()));
    if (Value == FTopRow)
        return;
    FTopRow = Value;
    UpdateScrollBars();
    Invalidate();
    TopLeftChanged();
}

void TWQHGrid::ClampTopLeft()
{
    const int left = std::clamp(FLeftCol, FFixedCols, std::max(FFixedCols, MaxLeftCol()));
    const int top = std::clamp(FTopRow, FFixedRows, std::max(FFixedRows, MaxTopRow()));
    if (left == FLeftCol && top == FTopRow)
        return;
    FLeftCol = left;
    FTopRow = top;
    UpdateScrollBars();
    Invalidate();
    TopLeftChanged();
}

int TWQHGrid::VisibleColCount() const
{
    return ColsFitFrom(FLeftCol, ClientWidth() - std::int64_t(FixedWidth()));
}

int TWQHGrid::VisibleRowCount() const
{
    return RowsFitFrom(FTopRow, ClientHeight() - std::int64_t(FixedHeight()));
}

int TWQHGrid::PageRowCount() const
{
    return std::max(1, VisibleRowCount());
}

void TWQHGrid::UpdateScrollBars()
{
    const bool old = FUpdatingScrollBars;
    FUpdatingScrollBars = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, MaxTopRow() - FFixedRows));
    v->setSingleStep(1);
    v->setPageStep(PageRowCount());
    v->setValue(FTopRow - FFixedRows);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, MaxLeftCol() - FFixedCols));
    h->setSingleStep(1);
    h->setPageStep(std::max(1, VisibleColCount()));
    h->setValue(FLeftCol - FFixedCols);
    FUpdatingScrollBars = old;
}

bool TWQHGrid::DoMouseWheelDown(TShiftState, int, int)
{
    if (FRow < FRowCount - 1)
        SetRow(FRow + 1);
    return true;
}

bool TWQHGrid::DoMouseWheelUp(TShiftState, int, int)
{
    if (FRow > FFixedRows)
        SetRow(FRow - 1);
    return true;
}

void TWQHGrid::WMVScroll() {}

void TWQHGrid::WMHScroll() {}

void TWQHGrid::wheelEvent(QWheelEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        FWheelAccum += event->angleDelta().y();
        const QPoint p = ClientPoint(event->position());
        const TShiftState shift = ShiftFromQt(event->modifiers(), event->buttons());
        // One step per notch (120); high-resolution wheels add up to notches.
        while (FWheelAccum <= -120) {
            FWheelAccum += 120;
            DoMouseWheelDown(shift, p.x(), p.y());
        }
        while (FWheelAccum >= 120) {
            FWheelAccum -= 120;
            DoMouseWheelUp(shift, p.x(), p.y());
        }
    });
}

void TWQHGrid::scrollContentsBy(int dx, int dy)
{
    if (FUpdatingScrollBars)
        return;
    platform::Guarded([&] {
        if (dy != 0) {
            SetTopRow(verticalScrollBar()->value() + FFixedRows);
            WMVScroll();
        }
        if (dx != 0) {
            SetLeftCol(horizontalScrollBar()->value() + FFixedCols);
            WMHScroll();
        }
    });
}

bool TWQHGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        platform::Guarded([&] {
            ClampTopLeft();
            UpdateScrollBars();
            Resize();
        });
    }
    return QAbstractScrollArea::viewportEvent(event);
}
