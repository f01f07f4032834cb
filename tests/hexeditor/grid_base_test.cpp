// The grid base: geometry, scrolling and clamping, the current cell, mouse
// selection with its timer, and how Qt events reach the overridable operations.
#include "hexeditor/wqhgrid.h"
#include "support/fakes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {

// Rows like the editor's: two fixed rows of their own heights, uniform data rows.
class TestGrid : public TWQHGrid {
public:
    explicit TestGrid(int rows = 100, int cols = 10)
    {
        SetDefaultColWidth(20);
        SetDefaultRowHeight(10);
        SetColCount(cols);
        SetRowCount(rows);
        SetFixedCols(2);
        SetFixedRows(2);
        SetColWidths(0, 50);
        SetColWidths(1, 6);
        SetRowHeights(0, 13);
        SetRowHeights(1, 0);
    }

    std::function<bool(int, int)> refuse;
    std::function<void()> onSelect;
    std::vector<TGridCoord> asked;
    int topLeftChanges = 0;
    int vscrolls = 0;
    int hscrolls = 0;
    int created = 0;
    int fontChanges = 0;
    int resizes = 0;
    std::vector<std::pair<std::uint16_t, TShiftState>> keys;
    std::u16string chars;
    struct Drawn {
        int Col, Row;
        TRect Rect;
        TGridDrawState State;
    };
    std::vector<Drawn> drawn;

    using TWQHGrid::WMTimer;
    using TWQHGrid::keyPressEvent;

protected:
    bool SelectCell(int ACol, int ARow) override
    {
        asked.push_back({ACol, ARow});
        if (onSelect)
            onSelect();
        return !(refuse && refuse(ACol, ARow));
    }
    void TopLeftChanged() override { ++topLeftChanges; }
    void WMVScroll() override { ++vscrolls; }
    void WMHScroll() override { ++hscrolls; }
    void CreateWnd() override { ++created; }
    void CMFontChanged() override { ++fontChanges; }
    void Resize() override { ++resizes; }
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override { keys.push_back({Key, Shift}); }
    void WMChar(char16_t Ch) override { chars.push_back(Ch); }
    void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override
    {
        drawn.push_back({ACol, ARow, ARect, AState});
    }
};

// Client area: 400 wide; fixed part 56 px wide and 13 px high.
void Show(TestGrid& g, int clientW = 400, int clientH = 213)
{
    g.setFrameShape(QFrame::NoFrame);
    g.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g.resize(clientW, clientH);
    g.show();
    QApplication::processEvents();
}

void SendMouse(TestGrid& g, QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(x, y), g.viewport()->mapToGlobal(QPointF(x, y)), button, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(g.viewport(), &e);
}

} // namespace

TEST(GridGeometry, CellRectsOfFixedScrolledAndHiddenCells)
{
    TestGrid g;
    Show(g);
    EXPECT_EQ(g.ClientWidth(), 400);
    EXPECT_EQ(g.ClientHeight(), 213);
    EXPECT_EQ(g.LeftCol(), 2);
    EXPECT_EQ(g.TopRow(), 2);
    EXPECT_EQ(g.CellRect(0, 0), (TRect{0, 0, 50, 13}));
    EXPECT_EQ(g.CellRect(1, 1), (TRect{50, 13, 56, 13}));
    EXPECT_EQ(g.CellRect(2, 2), (TRect{56, 13, 76, 23}));
    EXPECT_EQ(g.CellRect(3, 5), (TRect{76, 43, 96, 53}));
    // The last visible row is cut at the client edge (13 + 20 * 10 = 213: row 21 ends exactly).
    EXPECT_EQ(g.CellRect(2, 21), (TRect{56, 203, 76, 213}));
    EXPECT_EQ(g.CellRect(2, 22), TRect{});
    EXPECT_EQ(g.VisibleRowCount(), 20);
    // Scrolled away: empty.
    g.SetTopRow(10);
    EXPECT_EQ(g.TopRow(), 10);
    EXPECT_EQ(g.CellRect(2, 9), TRect{});
    EXPECT_EQ(g.CellRect(2, 10), (TRect{56, 13, 76, 23}));
    EXPECT_EQ(g.CellRect(0, 10), (TRect{0, 13, 50, 23}));
    // Fixed rows stay put.
    EXPECT_EQ(g.CellRect(3, 0), (TRect{76, 0, 96, 13}));
    // Out of range.
    EXPECT_EQ(g.CellRect(-1, 3), TRect{});
    EXPECT_EQ(g.CellRect(2, 100), TRect{});
    EXPECT_EQ(g.CellRect(10, 3), TRect{});
}

TEST(GridGeometry, PartlyVisibleCellIsCutAtTheEdge)
{
    TestGrid g(100, 30);
    Show(g, 400, 218);
    // 56 + 17 * 20 = 396: column 19 starts at 396 and is cut at 400.
    EXPECT_EQ(g.CellRect(19, 2), (TRect{396, 13, 400, 23}));
    EXPECT_EQ(g.VisibleColCount(), 17);
    EXPECT_EQ(g.CellRect(20, 2), TRect{});
    // Row 22 starts at 213 and is cut at 218.
    EXPECT_EQ(g.CellRect(2, 22), (TRect{56, 213, 76, 218}));
    EXPECT_EQ(g.VisibleRowCount(), 20);
}

TEST(GridGeometry, MouseCoordCountsOnPastTheClientAreaAndIsMinusOneOnlyPastTheGrid)
{
    TestGrid g(30, 10);
    Show(g);
    EXPECT_EQ(g.MouseCoord(0, 0), (TGridCoord{0, 0}));
    EXPECT_EQ(g.MouseCoord(49, 12), (TGridCoord{0, 0}));
    EXPECT_EQ(g.MouseCoord(50, 13), (TGridCoord{1, 2}));  // row 1 has no height
    EXPECT_EQ(g.MouseCoord(56, 13), (TGridCoord{2, 2}));
    EXPECT_EQ(g.MouseCoord(75, 22), (TGridCoord{2, 2}));
    EXPECT_EQ(g.MouseCoord(76, 23), (TGridCoord{3, 3}));
    // Before the cells: the first cell of the axis.
    EXPECT_EQ(g.MouseCoord(-1, 20), (TGridCoord{0, 2}));
    EXPECT_EQ(g.MouseCoord(60, -1), (TGridCoord{2, 0}));
    EXPECT_EQ(g.MouseCoord(-500, -500), (TGridCoord{0, 0}));
    // Past the last column (56 + 8 * 20 = 216), inside and outside the client area.
    EXPECT_EQ(g.MouseCoord(215, 20), (TGridCoord{9, 2}));
    EXPECT_EQ(g.MouseCoord(216, 20), (TGridCoord{-1, 2}));
    EXPECT_EQ(g.MouseCoord(400, 20), (TGridCoord{-1, 2}));
    // Below the client area (213 high): the rows count on, 10 px each, up to row 29.
    EXPECT_EQ(g.MouseCoord(100, 213), (TGridCoord{4, 22}));
    EXPECT_EQ(g.MouseCoord(100, 292), (TGridCoord{4, 29}));
    EXPECT_EQ(g.MouseCoord(100, 293), (TGridCoord{4, -1}));
    EXPECT_EQ(g.MouseCoord(400, 293), (TGridCoord{-1, -1}));
    // Scrolled: the point maps to the scrolled rows.
    g.SetTopRow(9);
    EXPECT_EQ(g.TopRow(), 9);
    EXPECT_EQ(g.MouseCoord(60, 13), (TGridCoord{2, 9}));
    EXPECT_EQ(g.MouseCoord(60, 5), (TGridCoord{2, 0}));
    EXPECT_EQ(g.MouseCoord(60, 212), (TGridCoord{2, 28}));
    EXPECT_EQ(g.MouseCoord(60, 222), (TGridCoord{2, 29}));
    EXPECT_EQ(g.MouseCoord(60, 223), (TGridCoord{2, -1}));
}

TEST(GridGeometry, MouseCoordCountsOnRightOfTheClientArea)
{
    TestGrid g(30, 40);
    Show(g);
    // 56 + 17 * 20 = 396: column 19 is cut at 400 and goes on to 416.
    EXPECT_EQ(g.MouseCoord(399, 20), (TGridCoord{19, 2}));
    EXPECT_EQ(g.MouseCoord(415, 20), (TGridCoord{19, 2}));
    EXPECT_EQ(g.MouseCoord(416, 20), (TGridCoord{20, 2}));
    EXPECT_EQ(g.MouseCoord(56 + 38 * 20 - 1, 20), (TGridCoord{39, 2}));
    EXPECT_EQ(g.MouseCoord(56 + 38 * 20, 20), (TGridCoord{-1, 2}));
    g.SetLeftCol(10);
    ASSERT_EQ(g.LeftCol(), 10);
    EXPECT_EQ(g.MouseCoord(56, 20), (TGridCoord{10, 2}));
    EXPECT_EQ(g.MouseCoord(55, 20), (TGridCoord{1, 2}));
    EXPECT_EQ(g.MouseCoord(416, 20), (TGridCoord{28, 2}));
}

TEST(GridGeometry, CellBoundsAreNotCutAndGoOnPastTheClientArea)
{
    TestGrid g(100, 30);
    Show(g, 400, 218);
    EXPECT_EQ(g.CellBounds(0, 0), (TRect{0, 0, 50, 13}));
    EXPECT_EQ(g.CellBounds(2, 2), (TRect{56, 13, 76, 23}));
    // Cut by CellRect, whole here.
    EXPECT_EQ(g.CellBounds(19, 22), (TRect{396, 213, 416, 223}));
    EXPECT_EQ(g.CellBounds(25, 40), (TRect{516, 393, 536, 403}));
    g.SetTopRow(10);
    g.SetLeftCol(5);
    EXPECT_EQ(g.CellBounds(2, 9), TRect{}) << "scrolled away";
    EXPECT_EQ(g.CellBounds(4, 12), TRect{});
    EXPECT_EQ(g.CellBounds(5, 10), (TRect{56, 13, 76, 23}));
    EXPECT_EQ(g.CellBounds(0, 12), (TRect{0, 33, 50, 43}));
    EXPECT_EQ(g.CellBounds(30, 3), TRect{}) << "past the grid";
    EXPECT_EQ(g.CellBounds(2, 100), TRect{});
}

TEST(GridScrolling, TopRowAndLeftColAreClampedAndReported)
{
    TestGrid g(100, 40);
    Show(g);
    g.topLeftChanges = 0;
    EXPECT_EQ(g.MaxTopRow(), 80);  // the last 20 rows fill the view
    g.SetTopRow(1000);
    EXPECT_EQ(g.TopRow(), 80);
    EXPECT_EQ(g.topLeftChanges, 1);
    g.SetTopRow(80);
    EXPECT_EQ(g.topLeftChanges, 1);
    g.SetTopRow(-5);
    EXPECT_EQ(g.TopRow(), 2);
    EXPECT_EQ(g.topLeftChanges, 2);
    // 344 px of scrolling columns hold 17 of 20 px.
    EXPECT_EQ(g.MaxLeftCol(), 40 - 17);
    g.SetLeftCol(100);
    EXPECT_EQ(g.LeftCol(), 23);
    g.SetLeftCol(0);
    EXPECT_EQ(g.LeftCol(), 2);
    // Fewer rows than the view holds: no scrolling at all.
    g.SetRowCount(10);
    g.SetTopRow(5);
    EXPECT_EQ(g.TopRow(), 2);
}

TEST(GridScrolling, ShrinkingTheRowCountPullsTopRowAndCurrentRowBack)
{
    TestGrid g(100, 10);
    Show(g);
    g.MoveColRow(3, 99, true, true);
    EXPECT_EQ(g.Row(), 99);
    EXPECT_EQ(g.TopRow(), 80);
    g.SetRowCount(30);
    EXPECT_EQ(g.Row(), 29);
    EXPECT_EQ(g.TopRow(), 10);
    EXPECT_EQ(g.verticalScrollBar()->maximum(), 8);
    EXPECT_EQ(g.verticalScrollBar()->value(), 8);
}

TEST(GridScrolling, ScrollBarsCountRowsAndColumns)
{
    TestGrid g(1000, 40);
    Show(g);
    g.topLeftChanges = 0;
    QScrollBar* v = g.verticalScrollBar();
    EXPECT_EQ(v->minimum(), 0);
    EXPECT_EQ(v->maximum(), 1000 - 20 - 2);
    EXPECT_EQ(v->pageStep(), 20);
    EXPECT_EQ(v->singleStep(), 1);
    v->setValue(100);
    EXPECT_EQ(g.TopRow(), 102);
    EXPECT_EQ(g.vscrolls, 1);
    EXPECT_EQ(g.topLeftChanges, 1);
    g.SetTopRow(50);
    EXPECT_EQ(v->value(), 48);
    EXPECT_EQ(g.vscrolls, 1);  // moving by code is no scroll bar action
    QScrollBar* h = g.horizontalScrollBar();
    EXPECT_EQ(h->maximum(), 40 - 17 - 2);
    h->setValue(5);
    EXPECT_EQ(g.LeftCol(), 7);
    EXPECT_EQ(g.hscrolls, 1);
}

TEST(GridScrolling, TinyViewStillPagesByOneRow)
{
    TestGrid g(50, 10);
    Show(g, 400, 18);  // 5 px for data: no whole row fits
    EXPECT_EQ(g.VisibleRowCount(), 0);
    EXPECT_EQ(g.PageRowCount(), 1);
    EXPECT_EQ(g.verticalScrollBar()->pageStep(), 1);
    EXPECT_EQ(g.MaxTopRow(), 49);
    g.SetTopRow(49);
    EXPECT_EQ(g.TopRow(), 49);
    // Moving to a row shows it at the top.
    g.MoveColRow(2, 10, true, true);
    EXPECT_EQ(g.TopRow(), 10);
    g.MoveColRow(2, 30, true, true);
    EXPECT_EQ(g.TopRow(), 30);
    // One row exactly.
    g.resize(400, 23);
    QApplication::processEvents();
    EXPECT_EQ(g.VisibleRowCount(), 1);
    EXPECT_EQ(g.PageRowCount(), 1);
    g.MoveColRow(2, 31, true, true);
    EXPECT_EQ(g.TopRow(), 31);
}

TEST(GridScrolling, SixtyFourMebibytesAtOneBytePerRow)
{
    const int rows = (64 << 20) + 2;
    TestGrid g(rows, 6);
    Show(g);
    EXPECT_EQ(g.MaxTopRow(), rows - 20);
    EXPECT_EQ(g.verticalScrollBar()->maximum(), rows - 22);
    g.MoveColRow(2, rows - 1, true, true);
    EXPECT_EQ(g.TopRow(), rows - 20);
    EXPECT_EQ(g.CellRect(2, rows - 1), (TRect{56, 203, 76, 213}));
    EXPECT_EQ(g.MouseCoord(60, 205), (TGridCoord{2, rows - 1}));
    EXPECT_EQ(g.VisibleRowCount(), 20);
    g.SetTopRow(rows / 2);
    EXPECT_EQ(g.verticalScrollBar()->value(), rows / 2 - 2);
    EXPECT_EQ(g.CellRect(3, rows / 2 + 3), (TRect{76, 43, 96, 53}));
}

TEST(GridCurrentCell, MoveColRowAsksSelectCellAndScrollsIntoView)
{
    TestGrid g(100, 40);
    Show(g);
    g.MoveColRow(5, 50, true, true);
    ASSERT_FALSE(g.asked.empty());
    EXPECT_EQ(g.asked.back(), (TGridCoord{5, 50}));
    EXPECT_EQ(g.Col(), 5);
    EXPECT_EQ(g.Row(), 50);
    EXPECT_EQ(g.TopRow(), 31);  // the row is the last fully visible one
    g.MoveColRow(39, 5, true, true);
    EXPECT_EQ(g.TopRow(), 5);
    EXPECT_EQ(g.LeftCol(), 23);
    const TRect r = g.CellRect(39, 5);
    EXPECT_GT(r.Right, r.Left);
    // Without Show nothing scrolls.
    g.MoveColRow(2, 90, true, false);
    EXPECT_EQ(g.Row(), 90);
    EXPECT_EQ(g.TopRow(), 5);
    // Refused: nothing moves.
    g.refuse = [](int c, int) { return c == 7; };
    g.MoveColRow(7, 20, true, true);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(g.Row(), 90);
    EXPECT_EQ(g.TopRow(), 5);
    // Col and Row setters go the same way.
    g.SetCol(7);
    EXPECT_EQ(g.Col(), 2);
    g.SetCol(8);
    EXPECT_EQ(g.Col(), 8);
    g.SetRow(40);
    EXPECT_EQ(g.Row(), 40);
}

TEST(GridCurrentCell, OutOfRangeCellsAreClampedToTheScrollingCells)
{
    TestGrid g(20, 10);
    Show(g);
    g.MoveColRow(100, 500, true, true);
    EXPECT_EQ(g.Col(), 9);
    EXPECT_EQ(g.Row(), 19);
    g.MoveColRow(-3, 0, true, true);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(g.Row(), 2);
    EXPECT_EQ(g.asked.back(), (TGridCoord{2, 2}));
}

TEST(GridMouse, PressAndDragMoveTheCurrentCellWhileSelecting)
{
    testsupport::ScopedPlatformFakes fakes;
    TestGrid g(100, 10);
    Show(g);
    SendMouse(g, QEvent::MouseButtonPress, 80, 45, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(g.GridState(), gsSelecting);
    EXPECT_EQ(g.Col(), 3);
    EXPECT_EQ(g.Row(), 5);
    SendMouse(g, QEvent::MouseMove, 120, 75, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g.Col(), 5);
    EXPECT_EQ(g.Row(), 8);
    // Over a fixed cell nothing moves.
    SendMouse(g, QEvent::MouseMove, 10, 75, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g.Col(), 5);
    SendMouse(g, QEvent::MouseButtonRelease, 140, 85, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g.GridState(), gsNormal);
    EXPECT_EQ(g.Col(), 6);
    EXPECT_EQ(g.Row(), 9);
    // Moves without a press do not select.
    SendMouse(g, QEvent::MouseMove, 60, 15, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(g.Col(), 6);
    EXPECT_EQ(g.LastMouseX(), 60);
    EXPECT_EQ(g.LastMouseY(), 15);
    // A press on the fixed gutter does not start a selection; nor does the right button.
    SendMouse(g, QEvent::MouseButtonPress, 10, 45, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(g.GridState(), gsNormal);
    SendMouse(g, QEvent::MouseButtonRelease, 10, 45, Qt::LeftButton, Qt::NoButton);
    SendMouse(g, QEvent::MouseButtonPress, 80, 45, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(g.GridState(), gsNormal);
    EXPECT_EQ(g.Col(), 6);
    EXPECT_TRUE(fakes.ui.exceptions.empty());
}

TEST(GridMouse, DragFarPastTheViewGoesNoFurtherThanTheCellAfterTheLastWholeOne)
{
    TestGrid g(100, 40);
    Show(g, 400, 218);  // rows 2..21 whole, 22 cut; columns 2..18 whole, 19 cut
    SendMouse(g, QEvent::MouseButtonPress, 80, 45, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(g.Row(), 5);
    SendMouse(g, QEvent::MouseMove, 80, 500, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g.Row(), 5) << "row 30 lies there: too far";
    SendMouse(g, QEvent::MouseMove, 80, 215, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g.Row(), 22);
    EXPECT_EQ(g.TopRow(), 3);
    SendMouse(g, QEvent::MouseMove, 600, 100, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g.Col(), 3);
    SendMouse(g, QEvent::MouseMove, 405, 100, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g.Col(), 19);
    EXPECT_EQ(g.LeftCol(), 3);
    SendMouse(g, QEvent::MouseButtonRelease, 405, 100, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g.GridState(), gsNormal);
}

TEST(GridMouse, TimerScrollsOneRowTowardsThePointerOutsideTheCells)
{
    TestGrid g(100, 10);
    Show(g);
    SendMouse(g, QEvent::MouseButtonPress, 80, 200, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(g.Row(), 20);
    // Below the view: each tick one row further and scrolled into view.
    g.SetLastMousePos(80, 300);
    g.WMTimer();
    EXPECT_EQ(g.Row(), 21);
    g.WMTimer();
    EXPECT_EQ(g.Row(), 22);
    EXPECT_EQ(g.TopRow(), 3);
    // Inside the cells the timer does nothing.
    g.SetLastMousePos(80, 100);
    g.WMTimer();
    EXPECT_EQ(g.Row(), 22);
    // Above the data rows (over the ruler): back up.
    g.SetLastMousePos(80, 5);
    g.WMTimer();
    EXPECT_EQ(g.Row(), 21);
    // Right of the last whole column and left of the first: sideways.
    g.SetLastMousePos(395, 100);
    g.WMTimer();
    EXPECT_EQ(g.Col(), 4);
    g.SetLastMousePos(20, 100);
    g.WMTimer();
    EXPECT_EQ(g.Col(), 3);
    // After the release the timer is idle.
    SendMouse(g, QEvent::MouseButtonRelease, 80, 100, Qt::LeftButton, Qt::NoButton);
    const int row = g.Row();
    g.SetLastMousePos(80, 300);
    g.WMTimer();
    EXPECT_EQ(g.Row(), row);
}

TEST(GridMouse, TimerStopsAtTheLastRow)
{
    TestGrid g(23, 10);
    Show(g);
    SendMouse(g, QEvent::MouseButtonPress, 80, 205, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(g.Row(), 21);
    g.SetLastMousePos(80, 500);
    g.WMTimer();
    g.WMTimer();
    g.WMTimer();
    EXPECT_EQ(g.Row(), 22);
    EXPECT_EQ(g.TopRow(), 3);
}

TEST(GridMouse, AnExceptionInAHandlerIsReportedAndStaysInside)
{
    testsupport::ScopedPlatformFakes fakes;
    TestGrid g(100, 10);
    Show(g);
    g.onSelect = [] { throw EWQHexEditor(QStringLiteral("no cell for you")); };
    SendMouse(g, QEvent::MouseButtonPress, 80, 45, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_EQ(fakes.ui.exceptions[0], QStringLiteral("no cell for you"));
    EXPECT_EQ(g.Row(), 2);
    SendMouse(g, QEvent::MouseButtonRelease, 80, 45, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g.GridState(), gsNormal);
}

TEST(GridEvents, KeysReachKeyDownAndTypedTextReachesWMChar)
{
    TestGrid g(100, 10);
    Show(g);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
    QApplication::sendEvent(&g, &down);
    ASSERT_EQ(g.keys.size(), 1u);
    EXPECT_EQ(g.keys[0].first, VK_DOWN);
    EXPECT_TRUE(g.keys[0].second & ssShift);
    EXPECT_TRUE(g.chars.empty());
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&g, &a);
    EXPECT_EQ(g.chars, u"a");
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    g.keyPressEvent(&tab);
    EXPECT_EQ(g.keys.back().first, VK_TAB);
}

TEST(GridEvents, WheelMovesTheCurrentRowOneNotchAtATime)
{
    TestGrid g(100, 10);
    Show(g);
    auto wheel = [&](int delta) {
        QWheelEvent e(QPointF(80, 50), g.viewport()->mapToGlobal(QPointF(80, 50)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.viewport(), &e);
    };
    wheel(-120);
    EXPECT_EQ(g.Row(), 3);
    wheel(-240);
    EXPECT_EQ(g.Row(), 5);
    // Half notches add up.
    wheel(60);
    EXPECT_EQ(g.Row(), 5);
    wheel(60);
    EXPECT_EQ(g.Row(), 4);
    wheel(1200);
    EXPECT_EQ(g.Row(), 2);
}

TEST(GridEvents, CreateWndRunsOnceOnFirstShowAndFontChangesAreReported)
{
    TestGrid g(10, 10);
    EXPECT_FALSE(g.HandleAllocated());
    EXPECT_EQ(g.created, 0);
    Show(g);
    EXPECT_TRUE(g.HandleAllocated());
    EXPECT_EQ(g.created, 1);
    g.hide();
    g.show();
    QApplication::processEvents();
    EXPECT_EQ(g.created, 1);
    const int before = g.fontChanges;
    QFont f = g.font();
    f.setPointSize(f.pointSize() + 3);
    g.setFont(f);
    EXPECT_EQ(g.fontChanges, before + 1);
    const int resizes = g.resizes;
    g.resize(300, 150);
    QApplication::processEvents();
    EXPECT_GT(g.resizes, resizes);
}

TEST(GridEvents, CursorValuesMapToQtCursors)
{
    TestGrid g;
    g.SetCursor(crHourGlass);
    EXPECT_EQ(g.Cursor(), crHourGlass);
    EXPECT_EQ(g.viewport()->cursor().shape(), Qt::WaitCursor);
    g.SetCursor(crIBeam);
    EXPECT_EQ(g.viewport()->cursor().shape(), Qt::IBeamCursor);
    g.SetCursor(crArrow);
    EXPECT_EQ(g.viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST(GridDrawInfo, BoundariesOfTheVisibleCells)
{
    TestGrid g(100, 30);
    Show(g, 400, 218);
    TGridDrawInfo di;
    g.CalcDrawInfo(di);
    EXPECT_EQ(di.Horz.FixedBoundary, 56);
    EXPECT_EQ(di.Horz.GridExtent, 400);
    EXPECT_EQ(di.Horz.LastFullVisibleCell, 18);
    EXPECT_EQ(di.Horz.FullVisBoundary, 396);
    EXPECT_EQ(di.Horz.GridBoundary, 400);
    EXPECT_EQ(di.Horz.FirstGridCell, 2);
    EXPECT_EQ(di.Horz.GridCellCount, 30);
    EXPECT_EQ(di.Vert.FixedBoundary, 13);
    EXPECT_EQ(di.Vert.LastFullVisibleCell, 21);
    EXPECT_EQ(di.Vert.FullVisBoundary, 213);
    EXPECT_EQ(di.Vert.GridBoundary, 218);
    EXPECT_EQ(di.Vert.FixedCellCount, 2);
}

TEST(GridPaint, TheDefaultPaintHandsEachVisibleCellToDrawCell)
{
    TestGrid g(100, 30);
    Show(g, 400, 218);
    g.SetColWidths(4, 0);
    g.SetLeftCol(3);
    g.MoveColRow(5, 6, true, false);
    g.drawn.clear();
    g.Repaint();
    // Columns 0, 1, then 3 and 5 .. 21 (column 4 has no width; column 21 is
    // cut at the edge); rows 0, 1 (no height, still walked), then 2 .. 22.
    const int cols = 2 + 18;
    const int rows = 2 + 21;
    ASSERT_EQ(int(g.drawn.size()), cols * rows);
    int fixed = 0;
    for (const auto& d : g.drawn) {
        EXPECT_NE(d.Col, 4);
        EXPECT_NE(d.Col, 2) << "scrolled away";
        EXPECT_EQ(d.Rect, g.CellRect(d.Col, d.Row));
        const bool isFixed = d.Col < 2 || d.Row < 2;
        fixed += isFixed;
        EXPECT_EQ((d.State & gdFixed) != 0, isFixed);
        EXPECT_EQ((d.State & gdSelected) != 0, d.Col == 5 && d.Row == 6);
    }
    EXPECT_EQ(fixed, cols * rows - 18 * 21);
    EXPECT_EQ(g.drawn.back().Rect.Right, 400);
}

TEST(GridMouse, RightToLeftMirrorsThePointerBeforeTheGridReadsIt)
{
    testsupport::ScopedPlatformFakes fakes;
    TestGrid g(100, 10);
    Show(g);
    g.setLayoutDirection(Qt::RightToLeft);
    QApplication::processEvents();
    ASSERT_EQ(g.ClientWidth(), 400);
    EXPECT_EQ(g.GridX(0), 399);
    EXPECT_EQ(g.GridX(399), 0);
    // The cell at logical (80, 45) lies at 399 - 80 on screen.
    SendMouse(g, QEvent::MouseButtonPress, 319, 45, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(g.GridState(), gsSelecting);
    EXPECT_EQ(g.Col(), 3);
    EXPECT_EQ(g.Row(), 5);
    EXPECT_EQ(g.LastMouseX(), 80);
    SendMouse(g, QEvent::MouseButtonRelease, 279, 75, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g.Col(), 5);
    EXPECT_EQ(g.Row(), 8);
    // The gutter is at the right edge now: a press there starts nothing.
    SendMouse(g, QEvent::MouseButtonPress, 390, 45, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(g.GridState(), gsNormal);
    SendMouse(g, QEvent::MouseButtonRelease, 390, 45, Qt::LeftButton, Qt::NoButton);
    g.setLayoutDirection(Qt::LeftToRight);
    EXPECT_EQ(g.GridX(80), 80);
}
