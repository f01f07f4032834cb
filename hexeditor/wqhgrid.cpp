#include "hexeditor/wqhgrid.h"
#include "hexeditor/wqhactions.h"

#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhkeys.h"
#include "platform/exceptions.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPlatformSurfaceEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>
#include <limits>

namespace {

// Interval of the auto-scroll timer while a drag selection is outside the cells.
constexpr int kScrollTimerMs = 60;

int ClampInt(std::int64_t Value)
{
    return static_cast<int>(std::clamp<std::int64_t>(Value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

TWQHGrid::TWQHGrid(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    FColWidths.assign(static_cast<std::size_t>(FColCount), FDefaultColWidth);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_InputMethodEnabled, true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    UpdateScrollBars();
}

TWQHGrid::~TWQHGrid()
{
    FScrollTimer.stop();
}

// ---- sizes ------------------------------------------------------------------

void TWQHGrid::SetColCount(int Value)
{
    Value = std::max(1, Value);
    if (Value == FColCount)
        return;
    FColCount = Value;
    FColWidths.resize(static_cast<std::size_t>(Value), FDefaultColWidth);
    if (FFixedCols >= FColCount)
        FFixedCols = FColCount - 1;
    FCol = std::clamp(FCol, std::min(FFixedCols, FColCount - 1), FColCount - 1);
    FAnchorCol = std::clamp(FAnchorCol, 0, FColCount - 1);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TWQHGrid::SetRowCount(int Value)
{
    Value = std::max(1, Value);
    if (Value == FRowCount)
        return;
    FRowCount = Value;
    if (FFixedRows >= FRowCount)
        FFixedRows = FRowCount - 1;
    FRow = std::clamp(FRow, std::min(FFixedRows, FRowCount - 1), FRowCount - 1);
    FAnchorRow = std::clamp(FAnchorRow, 0, FRowCount - 1);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TWQHGrid::SetFixedCols(int Value)
{
    Value = std::clamp(Value, 0, FColCount - 1);
    if (Value == FFixedCols)
        return;
    FFixedCols = Value;
    FCol = std::max(FCol, FFixedCols);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TWQHGrid::SetFixedRows(int Value)
{
    Value = std::clamp(Value, 0, FRowCount - 1);
    if (Value == FFixedRows)
        return;
    FFixedRows = Value;
    FRow = std::max(FRow, FFixedRows);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TWQHGrid::SetDefaultColWidth(int Value)
{
    Value = std::max(0, Value);
    // As in the class library: every column takes the new default.
    FDefaultColWidth = Value;
    std::fill(FColWidths.begin(), FColWidths.end(), Value);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TWQHGrid::SetDefaultRowHeight(int Value)
{
    Value = std::max(0, Value);
    FDefaultRowHeight = Value;
    FRowHeight0 = -1;
    FRowHeight1 = -1;
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

int TWQHGrid::ColWidths(int Index) const
{
    if (Index < 0 || Index >= FColCount)
        return 0;
    return FColWidths[static_cast<std::size_t>(Index)];
}

void TWQHGrid::SetColWidths(int Index, int Value)
{
    if (Index < 0 || Index >= FColCount)
        return;
    Value = std::max(0, Value);
    int& w = FColWidths[static_cast<std::size_t>(Index)];
    if (w == Value)
        return;
    w = Value;
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

int TWQHGrid::RowHeights(int Index) const
{
    if (Index < 0 || Index >= FRowCount)
        return 0;
    return RowExtent(Index);
}

void TWQHGrid::SetRowHeights(int Index, int Value)
{
    if (Index != 0 && Index != 1)
        return;
    Value = std::max(0, Value);
    int& h = Index == 0 ? FRowHeight0 : FRowHeight1;
    if (h == Value)
        return;
    h = Value;
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

int TWQHGrid::RowExtent(int ARow) const
{
    if (ARow == 0 && FRowHeight0 >= 0)
        return FRowHeight0;
    if (ARow == 1 && FRowHeight1 >= 0)
        return FRowHeight1;
    return FDefaultRowHeight;
}

std::int64_t TWQHGrid::RowsExtent(int AFrom, int ATo) const
{
    AFrom = std::max(0, AFrom);
    ATo = std::min(ATo, FRowCount);
    if (ATo <= AFrom)
        return 0;
    std::int64_t total = std::int64_t(ATo - AFrom) * FDefaultRowHeight;
    for (int i = 0; i < 2; ++i)
        if (AFrom <= i && i < ATo)
            total += RowExtent(i) - FDefaultRowHeight;
    return total;
}

std::int64_t TWQHGrid::ColsExtent(int AFrom, int ATo) const
{
    AFrom = std::max(0, AFrom);
    ATo = std::min(ATo, FColCount);
    std::int64_t total = 0;
    for (int i = AFrom; i < ATo; ++i)
        total += FColWidths[static_cast<std::size_t>(i)];
    return total;
}

int TWQHGrid::RowsFitFrom(int AStart, std::int64_t Avail) const
{
    int n = 0;
    int i = AStart;
    // Rows 0 and 1 have their own heights; every later row is uniform.
    for (; i < 2 && i < FRowCount; ++i) {
        const int h = RowExtent(i);
        if (h > Avail)
            return n;
        Avail -= h;
        ++n;
    }
    if (i >= FRowCount)
        return n;
    const std::int64_t rest = FRowCount - i;
    if (FDefaultRowHeight <= 0)
        return ClampInt(n + rest);
    return ClampInt(n + std::min<std::int64_t>(rest, std::max<std::int64_t>(0, Avail) / FDefaultRowHeight));
}

int TWQHGrid::ColsFitFrom(int AStart, std::int64_t Avail) const
{
    int n = 0;
    for (int i = AStart; i < FColCount; ++i) {
        const int w = FColWidths[static_cast<std::size_t>(i)];
        if (w > Avail)
            break;
        Avail -= w;
        ++n;
    }
    return n;
}

int TWQHGrid::RowsFitBefore(int AEnd, std::int64_t Avail) const
{
    int n = 0;
    int i = AEnd - 1;
    const int low = FFixedRows;
    // The uniform rows first (those at 2 and above).
    const int uniformLow = std::max(low, 2);
    if (i >= uniformLow) {
        const std::int64_t count = std::int64_t(i) - uniformLow + 1;
        std::int64_t fit = count;
        if (FDefaultRowHeight > 0)
            fit = std::min<std::int64_t>(count, std::max<std::int64_t>(0, Avail) / FDefaultRowHeight);
        n = ClampInt(fit);
        Avail -= fit * FDefaultRowHeight;
        if (fit < count)
            return n;
        i = uniformLow - 1;
    }
    for (; i >= low; --i) {
        const int h = RowExtent(i);
        if (h > Avail)
            break;
        Avail -= h;
        ++n;
    }
    return n;
}

int TWQHGrid::ColsFitBefore(int AEnd, std::int64_t Avail) const
{
    int n = 0;
    for (int i = AEnd - 1; i >= FFixedCols; --i) {
        const int w = FColWidths[static_cast<std::size_t>(i)];
        if (w > Avail)
            break;
        Avail -= w;
        ++n;
    }
    return n;
}

int TWQHGrid::RowAtOffset(int AStart, int ALimit, std::int64_t AOffset) const
{
    if (AOffset < 0)
        return -1;
    int i = AStart;
    for (; i < 2 && i < ALimit; ++i) {
        const int h = RowExtent(i);
        if (AOffset < h)
            return i;
        AOffset -= h;
    }
    if (i >= ALimit || FDefaultRowHeight <= 0)
        return -1;
    const std::int64_t row = i + AOffset / FDefaultRowHeight;
    return row < ALimit ? static_cast<int>(row) : -1;
}

int TWQHGrid::ColAtOffset(int AStart, int ALimit, std::int64_t AOffset) const
{
    if (AOffset < 0)
        return -1;
    for (int i = AStart; i < ALimit; ++i) {
        const int w = FColWidths[static_cast<std::size_t>(i)];
        if (AOffset < w)
            return i;
        AOffset -= w;
    }
    return -1;
}

// ---- current cell -----------------------------------------------------------

void TWQHGrid::SetCol(int Value)
{
    if (Value != FCol)
        MoveColRow(Value, FRow, true, true);
}

void TWQHGrid::SetRow(int Value)
{
    if (Value != FRow)
        MoveColRow(FCol, Value, true, true);
}

void TWQHGrid::MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show)
{
    // Out-of-range cells are pulled onto the nearest scrolling cell.
    ACol = std::clamp(ACol, std::min(FFixedCols, FColCount - 1), FColCount - 1);
    ARow = std::clamp(ARow, std::min(FFixedRows, FRowCount - 1), FRowCount - 1);
    if (!SelectCell(ACol, ARow))
        return;
    // SelectCell may have moved the cell itself or changed the sizes.
    ACol = std::clamp(ACol, 0, FColCount - 1);
    ARow = std::clamp(ARow, 0, FRowCount - 1);
    const bool moved = ACol != FCol || ARow != FRow;
    FCol = ACol;
    FRow = ARow;
    if (MoveAnchor) {
        FAnchorCol = ACol;
        FAnchorRow = ARow;
    }
    if (Show)
        ScrollIntoView(ACol, ARow);
    if (moved)
        Invalidate();
}

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

// ---- scrolling --------------------------------------------------------------

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

// ---- geometry ---------------------------------------------------------------

int TWQHGrid::ClientWidth() const
{
    return viewport()->width();
}

int TWQHGrid::ClientHeight() const
{
    return viewport()->height();
}

int TWQHGrid::ColLeft(int ACol) const
{
    if (ACol < 0 || ACol >= FColCount)
        return -1;
    std::int64_t x;
    if (ACol < FFixedCols)
        x = ColsExtent(0, ACol);
    else if (ACol < FLeftCol)
        return -1;
    else
        x = FixedWidth() + ColsExtent(FLeftCol, ACol);
    return x < ClientWidth() ? static_cast<int>(x) : -1;
}

int TWQHGrid::RowTop(int ARow) const
{
    if (ARow < 0 || ARow >= FRowCount)
        return -1;
    std::int64_t y;
    if (ARow < FFixedRows)
        y = RowsExtent(0, ARow);
    else if (ARow < FTopRow)
        return -1;
    else
        y = FixedHeight() + RowsExtent(FTopRow, ARow);
    return y < ClientHeight() ? static_cast<int>(y) : -1;
}

TRect TWQHGrid::CellRect(int ACol, int ARow) const
{
    const int left = ColLeft(ACol);
    const int top = RowTop(ARow);
    if (left < 0 || top < 0)
        return {};
    TRect r;
    r.Left = left;
    r.Top = top;
    r.Right = std::min(left + ColWidths(ACol), ClientWidth());
    r.Bottom = std::min(top + RowExtent(ARow), ClientHeight());
    return r;
}

TGridCoord TWQHGrid::MouseCoord(int X, int Y) const
{
    TGridCoord c{0, 0};
    const int fixedW = FixedWidth();
    const int fixedH = FixedHeight();
    if (X >= 0)
        c.X = X < fixedW ? ColAtOffset(0, FFixedCols, X) : ColAtOffset(FLeftCol, FColCount, X - std::int64_t(fixedW));
    if (Y >= 0)
        c.Y = Y < fixedH ? RowAtOffset(0, FFixedRows, Y) : RowAtOffset(FTopRow, FRowCount, Y - std::int64_t(fixedH));
    return c;
}

TRect TWQHGrid::CellBounds(int ACol, int ARow) const
{
    if (ACol < 0 || ACol >= FColCount || ARow < 0 || ARow >= FRowCount)
        return {};
    if ((ACol >= FFixedCols && ACol < FLeftCol) || (ARow >= FFixedRows && ARow < FTopRow))
        return {};
    const std::int64_t left = ACol < FFixedCols ? ColsExtent(0, ACol) : FixedWidth() + ColsExtent(FLeftCol, ACol);
    const std::int64_t top = ARow < FFixedRows ? RowsExtent(0, ARow) : FixedHeight() + RowsExtent(FTopRow, ARow);
    TRect r;
    r.Left = ClampInt(left);
    r.Top = ClampInt(top);
    r.Right = ClampInt(left + ColWidths(ACol));
    r.Bottom = ClampInt(top + RowExtent(ARow));
    return r;
}

void TWQHGrid::CalcDrawInfo(TGridDrawInfo& DrawInfo) const
{
    auto& h = DrawInfo.Horz;
    h.FixedBoundary = FixedWidth();
    h.GridExtent = ClientWidth();
    h.FixedCellCount = FFixedCols;
    h.FirstGridCell = FLeftCol;
    h.GridCellCount = FColCount;
    const int visCols = VisibleColCount();
    h.LastFullVisibleCell = FLeftCol + visCols - 1;
    h.FullVisBoundary = ClampInt(h.FixedBoundary + ColsExtent(FLeftCol, FLeftCol + visCols));
    const int partCol = FLeftCol + visCols < FColCount && h.FullVisBoundary < h.GridExtent ? 1 : 0;
    h.GridBoundary = std::min<std::int64_t>(h.GridExtent,
                                            h.FixedBoundary + ColsExtent(FLeftCol, FLeftCol + visCols + partCol));

    auto& v = DrawInfo.Vert;
    v.FixedBoundary = FixedHeight();
    v.GridExtent = ClientHeight();
    v.FixedCellCount = FFixedRows;
    v.FirstGridCell = FTopRow;
    v.GridCellCount = FRowCount;
    const int visRows = VisibleRowCount();
    v.LastFullVisibleCell = FTopRow + visRows - 1;
    v.FullVisBoundary = ClampInt(v.FixedBoundary + RowsExtent(FTopRow, FTopRow + visRows));
    const int partRow = FTopRow + visRows < FRowCount && v.FullVisBoundary < v.GridExtent ? 1 : 0;
    v.GridBoundary = ClampInt(std::min<std::int64_t>(
        v.GridExtent, v.FixedBoundary + RowsExtent(FTopRow, FTopRow + visRows + partRow)));
}

// ---- cursor, focus, painting ------------------------------------------------

void TWQHGrid::SetCursor(TCursor Value)
{
    FCursor = Value;
    switch (Value) {
    case crIBeam: viewport()->setCursor(Qt::IBeamCursor); break;
    case crArrow: viewport()->setCursor(Qt::ArrowCursor); break;
    case crHourGlass: viewport()->setCursor(Qt::WaitCursor); break;
    case crDrag: viewport()->setCursor(Qt::DragCopyCursor); break;
    case crNoDrop: viewport()->setCursor(Qt::ForbiddenCursor); break;
    default: viewport()->unsetCursor(); break;
    }
}

bool TWQHGrid::Focused() const
{
    return hasFocus();
}

void TWQHGrid::Invalidate()
{
    viewport()->update();
}

void TWQHGrid::Repaint()
{
    viewport()->repaint();
}

// ---- the operations a control overrides -------------------------------------

bool TWQHGrid::SelectCell(int, int)
{
    return true;
}

void TWQHGrid::TopLeftChanged() {}

void TWQHGrid::SendCancelMode()
{
    if (FGridState != gsNormal)
        StopSelecting();
}

bool TWQHGrid::UpdateAction(TWQHBasicAction& Action)
{
    if (!Action.HandlesTarget(this))
        return false;
    Action.UpdateTarget(this);
    return true;
}

bool TWQHGrid::ExecuteAction(TWQHBasicAction& Action)
{
    if (!Action.HandlesTarget(this))
        return false;
    Action.ExecuteTarget(this);
    return true;
}

void TWQHGrid::ContextMenuRequest(TPoint MousePos)
{
    bool handled = false;
    DoContextPopup(MousePos, handled);
}

void TWQHGrid::DblClick()
{
    if (FOnDblClick)
        FOnDblClick(this);
}

void TWQHGrid::DoContextPopup(TPoint MousePos, bool& Handled)
{
    if (FOnContextPopup)
        FOnContextPopup(this, MousePos, Handled);
}

void TWQHGrid::WMDestroy() {}

void TWQHGrid::Paint()
{
    const bool focused = Focused();
    // Visible cells only: a cell that starts past the client edge, or was
    // scrolled away, has no left or top edge.
    const auto walk = [&](int ARow0, int ARow1, int ACol0, int ACol1) {
        for (int r = ARow0; r < ARow1 && RowTop(r) >= 0; ++r)
            for (int c = ACol0; c < ACol1 && ColLeft(c) >= 0; ++c) {
                if (ColWidths(c) == 0)
                    continue;
                TGridDrawState state = 0;
                if (c < FFixedCols || r < FFixedRows)
                    state = gdFixed;
                else if (c == FCol && r == FRow)
                    state = focused ? gdSelected | gdFocused : gdSelected;
                DrawCell(c, r, CellRect(c, r), state);
            }
    };
    walk(0, FFixedRows, 0, FFixedCols);
    walk(0, FFixedRows, FLeftCol, FColCount);
    walk(FTopRow, FRowCount, 0, FFixedCols);
    walk(FTopRow, FRowCount, FLeftCol, FColCount);
}

void TWQHGrid::DrawCell(int, int, const TRect&, TGridDrawState) {}

bool TWQHGrid::UseRightToLeftAlignment() const
{
    return layoutDirection() == Qt::RightToLeft;
}

void TWQHGrid::ChangeGridOrientation(TWQHCanvas& Canvas, bool RightToLeft) const
{
    Canvas.SetMirrorWidth(RightToLeft ? ClientWidth() : 0);
}

QPoint TWQHGrid::ClientPoint(const QPointF& Pos) const
{
    const QPoint p = Pos.toPoint();
    return QPoint(GridX(p.x()), p.y());
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

void TWQHGrid::KeyDown(std::uint16_t&, TShiftState) {}

void TWQHGrid::KeyUp(std::uint16_t&, TShiftState) {}

void TWQHGrid::WMChar(char16_t) {}

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

void TWQHGrid::WMTimer()
{
    if (FGridState != gsSelecting)
        return;
    TGridDrawInfo di;
    CalcDrawInfo(di);
    const int x = FLastMouseX;
    const int y = FLastMouseY;
    int col = FCol;
    int row = FRow;
    if (x < di.Horz.FixedBoundary) {
        if (col > FFixedCols)
            --col;
    } else if (x > di.Horz.FullVisBoundary) {
        if (col < FColCount - 1)
            ++col;
    }
    if (y < di.Vert.FixedBoundary) {
        if (row > FFixedRows)
            --row;
    } else if (y > di.Vert.FullVisBoundary) {
        if (row < FRowCount - 1)
            ++row;
    }
    if (col != FCol || row != FRow)
        MoveColRow(col, row, true, true);
}

void TWQHGrid::WMVScroll() {}

void TWQHGrid::WMHScroll() {}

void TWQHGrid::WMSetFocus()
{
    Invalidate();
}

void TWQHGrid::WMKillFocus()
{
    StopSelecting();
    Invalidate();
}

void TWQHGrid::Resize() {}

void TWQHGrid::CMFontChanged() {}

void TWQHGrid::CreateWnd() {}

bool TWQHGrid::CanFocus()
{
    return isVisible() && isEnabled();
}

// ---- Qt events --------------------------------------------------------------

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

namespace {

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

void TWQHGrid::paintEvent(QPaintEvent*)
{
    platform::Guarded([&] { Paint(); });
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

void TWQHGrid::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        const TWQHKeyInput in = TranslateKeyEvent(*event);
        if (in.Key != 0) {
            std::uint16_t key = in.Key;
            KeyDown(key, in.Shift);
        }
        for (const QChar ch : in.Text)
            WMChar(ch.unicode());
    });
}

void TWQHGrid::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        const TWQHKeyInput in = TranslateKeyEvent(*event);
        if (in.Key != 0) {
            std::uint16_t key = in.Key;
            KeyUp(key, in.Shift);
        }
    });
}

void TWQHGrid::inputMethodEvent(QInputMethodEvent* event)
{
    event->accept();
    platform::Guarded([&] {
        for (const QChar ch : event->commitString())
            WMChar(ch.unicode());
    });
}

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

void TWQHGrid::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    const TPoint p = event->reason() == QContextMenuEvent::Keyboard ? TPoint{-1, -1}
                                                                   : TPoint{event->pos().x(), event->pos().y()};
    platform::Guarded([&] { ContextMenuRequest(p); });
}

bool TWQHGrid::event(QEvent* event)
{
    if (event->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed &&
        FWndCreated) {
        FWndCreated = false;
        platform::Guarded([&] { WMDestroy(); });
    }
    return QAbstractScrollArea::event(event);
}

void TWQHGrid::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    platform::Guarded([&] { WMSetFocus(); });
}

void TWQHGrid::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    platform::Guarded([&] { WMKillFocus(); });
}

void TWQHGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
}

void TWQHGrid::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    if (FWndCreated || event->spontaneous())
        return;
    FWndCreated = true;
    platform::Guarded([&] { CreateWnd(); });
}

void TWQHGrid::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        platform::Guarded([&] { CMFontChanged(); });
    else if (event->type() == QEvent::LayoutDirectionChange)
        Invalidate();
}

void TWQHGrid::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == FScrollTimer.timerId()) {
        platform::Guarded([&] { WMTimer(); });
        return;
    }
    QAbstractScrollArea::timerEvent(event);
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

void TWQHGrid::SetColor(TColor Value)
{
    FColor = Value;
    QPalette pal = viewport()->palette();
    const QColor c = TColorToQColor(Value);
    pal.setColor(QPalette::Base, c);
    pal.setColor(QPalette::Window, c);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    Invalidate();
}
