// The grid's sizes, its current cell, focus and cursor, the defaults of the
// overridable operations and the Qt events other than mouse, wheel and paint.
#include "hexeditor/wqhgrid.h"
#include "hexeditor/wqhactions.h"

#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhkeys.h"
#include "platform/exceptions.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlatformSurfaceEvent>
#include <QResizeEvent>
#include <QShowEvent>
#include <algorithm>

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

// ---- sizes ----------------------------------------------------------------

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

// ---- current cell ---------------------------------------------------------

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

// ---- cursor, focus, repaint -----------------------------------------------

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

// ---- the operations a control overrides -----------------------------------

bool TWQHGrid::SelectCell(int, int)
{
    return true;
}

void TWQHGrid::TopLeftChanged() {}

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

void TWQHGrid::DoContextPopup(TPoint MousePos, bool& Handled)
{
    if (FOnContextPopup)
        FOnContextPopup(this, MousePos, Handled);
}

void TWQHGrid::WMDestroy() {}

void TWQHGrid::KeyDown(std::uint16_t&, TShiftState) {}

void TWQHGrid::KeyUp(std::uint16_t&, TShiftState) {}

void TWQHGrid::WMChar(char16_t) {}

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

// ---- Qt events ------------------------------------------------------------

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
