#pragma once
// The grid the hex editor is built on: columns with their own widths, rows
// that all share one height except the two fixed rows, a current cell, fixed
// columns and rows, scrolling by whole rows and columns, mouse selection with
// an auto-scroll timer. Nothing is stored per row, so every query is O(1)
// whatever the row count.
//
// Qt events arrive here and are passed on to the class-library style virtual
// operations below, each inside platform::Guarded so no exception reaches the
// event loop.
#include "hexeditor/wqhtypes.h"

class TWQHBasicAction;

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <cstdint>
#include <functional>
#include <vector>

struct TGridAxisDrawInfo {
    int FixedBoundary = 0;        // pixel end of the fixed cells
    int GridBoundary = 0;         // pixel end of the last visible (maybe partial) cell
    int GridExtent = 0;           // client extent on this axis
    int LastFullVisibleCell = 0;  // index of the last fully visible cell
    int FullVisBoundary = 0;      // pixel end of that cell
    int FixedCellCount = 0;
    int FirstGridCell = 0;        // LeftCol or TopRow
    int GridCellCount = 0;        // ColCount or RowCount
};

struct TGridDrawInfo {
    TGridAxisDrawInfo Horz;
    TGridAxisDrawInfo Vert;
};

enum TGridState { gsNormal, gsSelecting };

enum TGridDrawStateFlag : std::uint8_t { gdSelected = 1u << 0, gdFocused = 1u << 1, gdFixed = 1u << 2 };
using TGridDrawState = std::uint8_t;

class TWQHCanvas;

// OnContextPopup: MousePos in client coordinates, (-1, -1) for a keyboard request.
using TContextPopupEvent = std::function<void(QObject* Sender, TPoint MousePos, bool& Handled)>;

class TWQHGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TWQHGrid(QWidget* parent = nullptr);
    ~TWQHGrid() override;

    int ColCount() const { return FColCount; }
    void SetColCount(int Value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int Value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int Value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int Value);

    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value);
    int ColWidths(int Index) const;
    void SetColWidths(int Index, int Value);
    // Rows 0 and 1 keep their own height; every other row is DefaultRowHeight
    // (a set on such a row is ignored).
    int RowHeights(int Index) const;
    void SetRowHeights(int Index, int Value);

    // The current cell.
    int Col() const { return FCol; }
    void SetCol(int Value);
    int Row() const { return FRow; }
    void SetRow(int Value);
    // Makes a cell current (asking SelectCell first) and, with Show, scrolls it into view.
    void MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show);

    int LeftCol() const { return FLeftCol; }
    void SetLeftCol(int Value);
    int TopRow() const { return FTopRow; }
    void SetTopRow(int Value);
    // Fully visible scrolling columns and rows; never below 0.
    int VisibleColCount() const;
    int VisibleRowCount() const;
    // A page for scrolling: VisibleRowCount, but at least one row.
    int PageRowCount() const;

    // Client rectangle of a cell, cut at the client edge when the cell is
    // partly visible; all zero when it is not visible.
    TRect CellRect(int ACol, int ARow) const;
    // The cell under a client point, each coordinate on its own: before the
    // cells (negative included) the first cell of the axis, 0; past the client
    // area the scrolling cell that lies there, counting on with the cells' own
    // sizes; -1 only past the last column or row of the grid.
    TGridCoord MouseCoord(int X, int Y) const;
    // A cell's rectangle as MouseCoord counts: not cut at the client edge and
    // also past it; all zero for a scrolling cell before LeftCol or TopRow.
    TRect CellBounds(int ACol, int ARow) const;
    void CalcDrawInfo(TGridDrawInfo& DrawInfo) const;
    // The control's layout direction is right to left: columns run from the
    // right edge, and mouse points are mirrored before anything reads them.
    bool UseRightToLeftAlignment() const;
    // Switches a paint's canvas to mirrored coordinates and back.
    void ChangeGridOrientation(TWQHCanvas& Canvas, bool RightToLeft) const;
    // A client x as the cells lie: mirrored when right to left.
    int GridX(int X) const { return UseRightToLeftAlignment() ? ClientWidth() - 1 - X : X; }

    TGridState GridState() const { return FGridState; }
    // The pointer's last known client position (from mouse events), which
    // the auto-scroll timer steers by.
    int LastMouseX() const { return FLastMouseX; }
    int LastMouseY() const { return FLastMouseY; }
    void SetLastMousePos(int X, int Y) { FLastMouseX = X; FLastMouseY = Y; }
    // Largest TopRow / LeftCol that still fills the client area.
    int MaxTopRow() const;
    int MaxLeftCol() const;
    int ClientWidth() const;
    int ClientHeight() const;

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    // The control's background colour (the viewport's).
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    // The window exists: the widget has been shown once (CreateWnd has run).
    bool HandleAllocated() const { return FWndCreated; }
    bool Focused() const;
    // Schedules a repaint.
    void Invalidate();
    // Repaints now.
    void Repaint();

    // Ends a mouse selection in progress (the class library's cancel mode).
    void SendCancelMode();
    // The standard actions: the default asks the action whether it handles
    // this control and lets it update or run itself.
    virtual bool UpdateAction(TWQHBasicAction& Action);
    virtual bool ExecuteAction(TWQHBasicAction& Action);
    void SetOnDblClick(std::function<void(QObject*)> Value) { FOnDblClick = std::move(Value); }
    void SetOnContextPopup(TContextPopupEvent Value) { FOnContextPopup = std::move(Value); }
    // Qt's context menu request, as the class library's WM_CONTEXTMENU.
    void ContextMenuRequest(TPoint MousePos);

protected:
    // ---- class-library style operations the editor overrides ----
    virtual bool SelectCell(int ACol, int ARow);
    virtual void TopLeftChanged();
    // The default paint hands every visible cell to DrawCell.
    virtual void Paint();
    virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyUp(std::uint16_t& Key, TShiftState Shift);
    // A typed character (WM_CHAR).
    virtual void WMChar(char16_t Ch);
    virtual bool DoMouseWheelDown(TShiftState Shift, int X, int Y);
    virtual bool DoMouseWheelUp(TShiftState Shift, int X, int Y);
    // One tick of the auto-scroll timer while selecting: TimedScroll(true).
    virtual void WMTimer();
    // One step of the drag towards the pointer held outside the whole cells:
    // the current cell moves a row and, with Horz, a column, and the view
    // follows on the axes that stepped; to the right it moves on by one
    // column per step at most.
    void TimedScroll(bool Horz);
    // After the grid scrolled through a scroll bar.
    virtual void WMVScroll();
    virtual void WMHScroll();
    virtual void WMSetFocus();
    virtual void WMKillFocus();
    virtual void Resize();
    virtual void CMFontChanged();
    // Once, when the widget is first shown (the window exists from then on).
    virtual void CreateWnd();
    virtual bool CanFocus();
    // A double click of the left button, before its MouseDown with ssDouble;
    // fires OnDblClick.
    virtual void DblClick();
    // A context menu request; fires OnContextPopup.
    virtual void DoContextPopup(TPoint MousePos, bool& Handled);
    // The window goes (its native surface is destroyed, or the control's own
    // teardown says so).
    virtual void WMDestroy();

    // ---- Qt side ----
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    void UpdateScrollBars();
    void ScrollIntoView(int ACol, int ARow);
    // Client offset of a column's left (a row's top) edge, also past the view;
    // -1 for no such column (row) or one scrolled away.
    std::int64_t ColOffset(int ACol) const;
    std::int64_t RowOffset(int ARow) const;
    int ColLeft(int ACol) const;  // client x of a visible column's left edge, or -1
    int RowTop(int ARow) const;   // client y of a visible row's top edge, or -1
    int RowExtent(int ARow) const;
    std::int64_t RowsExtent(int AFrom, int ATo) const;  // rows AFrom .. ATo - 1
    std::int64_t ColsExtent(int AFrom, int ATo) const;
    int FixedHeight() const { return static_cast<int>(RowsExtent(0, FFixedRows)); }
    int FixedWidth() const { return static_cast<int>(ColsExtent(0, FFixedCols)); }
    // Rows (columns) from AStart on that fit whole into Avail pixels.
    int RowsFitFrom(int AStart, std::int64_t Avail) const;
    int ColsFitFrom(int AStart, std::int64_t Avail) const;
    // Rows (columns) ending just before AEnd, going back no further than the
    // fixed ones, that fit whole into Avail pixels.
    int RowsFitBefore(int AEnd, std::int64_t Avail) const;
    int ColsFitBefore(int AEnd, std::int64_t Avail) const;
    int RowAtOffset(int AStart, int ALimit, std::int64_t AOffset) const;
    int ColAtOffset(int AStart, int ALimit, std::int64_t AOffset) const;
    void ClampTopLeft();
    void SelectingMoveTo(int X, int Y);
    void StopSelecting();
    // A mouse event's point in client coordinates, as the cells lie.
    QPoint ClientPoint(const QPointF& Pos) const;
    static TShiftState ShiftFromQt(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons);

    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    std::vector<int> FColWidths;  // one per column (at most a few hundred)
    int FRowHeight0 = -1;         // -1 = default
    int FRowHeight1 = -1;
    int FCol = 1;
    int FRow = 1;
    int FAnchorCol = 1;
    int FAnchorRow = 1;
    int FLeftCol = 1;
    int FTopRow = 1;
    TGridState FGridState = gsNormal;
    QBasicTimer FScrollTimer;
    TCursor FCursor = crDefault;
    TColor FColor = clWindow;
    bool FWndCreated = false;
    bool FUpdatingScrollBars = false;
    int FLastMouseX = -1;
    int FLastMouseY = -1;
    int FWheelAccum = 0;
    std::function<void(QObject*)> FOnDblClick;
    TContextPopupEvent FOnContextPopup;
};
