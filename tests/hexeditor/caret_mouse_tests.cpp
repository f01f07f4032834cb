// Mouse press, drag, release, the insert-mode point correction, refused cells
// and the drag-and-drop mark, on a shown control.
#include "caret_editor.h"
#include "support/fakes.h"
#include "window_input.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using carettest::CaretPos;
using carettest::CellPoint;
using carettest::LoadBytes;
using carettest::Pump;
using carettest::ScopedKeys;
using carettest::TTestEditor;

namespace {

// Records every cell the grid asks about.
class TRecordingEditor : public TTestEditor {
public:
    std::vector<TGridCoord> asked;
    bool SelectCell(int ACol, int ARow) override
    {
        asked.push_back(GridCoord(ACol, ARow));
        return TTestEditor::SelectCell(ACol, ARow);
    }
};

class CaretMouse : public ::testing::Test {
protected:
    // The control sits in a larger window, so that a point beside or below
    // it is still a point of its window.
    void Show(int dataSize, int width = 760, int height = 400)
    {
        ed.setParent(&host);
        ed.setGeometry(0, 0, width, height);
        host.resize(width + 400, height + 400);
        host.show();
        Pump();
        LoadBytes(ed, dataSize);
        Pump();
    }

    // The main window's settings of the view.
    void ProgramLook(int fontPixels = 15)
    {
        QFont font(QStringLiteral("Courier New"));
        font.setPixelSize(fontPixels);
        ed.SetEditorFont(font);
        ed.SetShowRuler(true);
        ed.SetOffsetFormat(QStringLiteral("-!10:0x|"));
    }

    // The corrected cell of a point, as a press would use it.
    TGridCoord Corrected(QPoint p)
    {
        int x = p.x(), y = p.y();
        return ed.CheckMouseCoord(x, y);
    }

    void Press(QPoint p, TShiftState shift = ssLeft) { ed.MouseDown(mbLeft, shift, p.x(), p.y()); }
    void Drag(QPoint p) { ed.MouseMove(ssLeft, p.x(), p.y()); }
    void Release(QPoint p) { ed.MouseUp(mbLeft, 0, p.x(), p.y()); }

    // The left button is down from the press to the release.
    void LeftDown() { keys.held.insert(VK_LBUTTON); }
    void LeftUp() { keys.held.erase(VK_LBUTTON); }

    QPoint Hex(int pos, double fraction = 0.25)
    {
        const TGridCoord c = ed.GetCursorAtPos(pos, false);
        return CellPoint(ed, c.X, c.Y, fraction);
    }

    // Real input on the viewport's points, through the window system.
    void QtPress(QPoint p) { windowinput::Press(ed.viewport(), p); }
    void QtDrag(QPoint p) { windowinput::Move(ed.viewport(), p); }
    void QtRelease(QPoint p) { windowinput::Release(ed.viewport(), p); }

    // Lets the grid's own timer tick until the condition holds; the generous
    // deadline only bounds a failing run on a loaded machine.
    bool TicksUntil(const std::function<bool()>& done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 10000) {
            QThread::msleep(5);
            QCoreApplication::processEvents();
        }
        return done();
    }

    testsupport::ScopedPlatformFakes fakes;
    ScopedKeys keys;
    QWidget host;
    TRecordingEditor ed;
};

// ---- point correction ----

TEST_F(CaretMouse, OverwriteModeTakesTheCellUnderThePointer)
{
    Show(100);
    EXPECT_EQ(Corrected(CellPoint(ed, 3, 2, 0.9)), GridCoord(3, 2));
    EXPECT_EQ(Corrected(CellPoint(ed, 50, 2, 0.9)), GridCoord(50, 2));
    EXPECT_EQ(Corrected(CellPoint(ed, 33, 4, 0.9)), GridCoord(33, 4));
}

TEST_F(CaretMouse, InsertModeRightHalfMeansAfterTheByte)
{
    Show(100);
    ed.SetInsertMode(true);
    // Second digit of byte 0 -> first digit of byte 1.
    EXPECT_EQ(Corrected(CellPoint(ed, 3, 2, 0.9)), GridCoord(4, 2));
    // Left half stays.
    EXPECT_EQ(Corrected(CellPoint(ed, 3, 2, 0.1)), GridCoord(3, 2));
    // A character's right half is the next character.
    EXPECT_EQ(Corrected(CellPoint(ed, 36, 2, 0.9)), GridCoord(37, 2));
}

TEST_F(CaretMouse, InsertModeRightHalfAtTheRowEndWrapsToTheNextRow)
{
    Show(100);
    ed.SetInsertMode(true);
    QPoint p = CellPoint(ed, 33, 2, 0.95);
    int x = p.x(), y = p.y();
    EXPECT_EQ(ed.CheckMouseCoord(x, y), GridCoord(2, 3));
    EXPECT_EQ(ed.MouseCoord(x, y), GridCoord(2, 3)) << "the corrected point lies in that cell";

    p = CellPoint(ed, 50, 2, 0.95);
    x = p.x(), y = p.y();
    EXPECT_EQ(ed.CheckMouseCoord(x, y), GridCoord(35, 3));
    EXPECT_EQ(ed.MouseCoord(x, y), GridCoord(35, 3));
}

// Step 1 of the correction holds for any column but the two last ones: the
// gutter's right half means the separator, the separator's right part the
// first digit.
TEST_F(CaretMouse, InsertModeCorrectsTheFixedColumnsToo)
{
    Show(100);
    const int h = ed.CharWidth() / 2;
    const TRect gutter = ed.CellRect(0, 3);
    const TRect sep = ed.CellRect(1, 3);
    ASSERT_GT(sep.Right - sep.Left, h + 1) << "the separator has a right part";
    const QPoint gutterRight(gutter.Right - 2, gutter.Top + 2);
    const QPoint sepLeft(sep.Left + h - 1, sep.Top + 2);
    const QPoint sepRight(sep.Left + h + 1, sep.Top + 2);
    EXPECT_EQ(Corrected(gutterRight), GridCoord(0, 3)) << "overwrite mode corrects nothing";
    EXPECT_EQ(Corrected(sepRight), GridCoord(1, 3));

    ed.SetInsertMode(true);
    EXPECT_EQ(Corrected(gutterRight), GridCoord(1, 3));
    EXPECT_EQ(Corrected(sepLeft), GridCoord(1, 3));
    int x = sepRight.x(), y = sepRight.y();
    EXPECT_EQ(ed.CheckMouseCoord(x, y), GridCoord(2, 3));
    EXPECT_EQ(x, sep.Right + 1);
    EXPECT_EQ(ed.MouseCoord(x, y), GridCoord(2, 3)) << "the corrected point lies in that cell";
}

TEST_F(CaretMouse, InsertModePressesPutTheCaretAfterTheByte)
{
    Show(100);
    ed.SetInsertMode(true);
    LeftDown();
    Press(CellPoint(ed, 3, 2, 0.9));
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(4, 2));
    Press(CellPoint(ed, 33, 2, 0.95));
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(2, 3));
    Press(CellPoint(ed, 50, 3, 0.95));
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(35, 4));
}

TEST_F(CaretMouse, PointsOutsideTheCellsAreNotCorrected)
{
    Show(20);
    ed.SetInsertMode(true);
    // Below the last row, and right of the client area: only the coordinate
    // outside the cells is -1.
    const QPoint below(CellPoint(ed, 10, 2, 0.9).x(), ed.ClientHeight() - 3);
    const QPoint right(ed.ClientWidth() + 40, CellPoint(ed, 10, 2).y());
    for (const auto& [p, cell] : {std::pair{below, GridCoord(10, -1)}, std::pair{right, GridCoord(-1, 2)}}) {
        int x = p.x(), y = p.y();
        EXPECT_EQ(ed.CheckMouseCoord(x, y), cell);
        EXPECT_EQ(x, p.x()) << "not moved onto the next cell";
        EXPECT_EQ(y, p.y());
    }
}

// In insert mode the right half of a row's last cell means the next row; on
// the last row that is no cell, and a press there is one on no cell: the
// caret stays and nothing is dragged. Its left half selects as any cell.
TEST_F(CaretMouse, InsertModePressWrappingPastTheLastRowMovesNothingAndDragsNothing)
{
    const auto pressOnNoCell = [&](int col, int row) {
        const QPoint p = CellPoint(ed, col, row, 0.95);
        ASSERT_EQ(Corrected(p), GridCoord(-1, -1)) << col << ", " << row;
        ed.SetSelStart(5);
        QtPress(p);
        EXPECT_EQ(CaretPos(ed), 5) << col << ", " << row;
        EXPECT_EQ(ed.GridState(), gsNormal);
        EXPECT_FALSE(ed.IsSelecting());
        QtDrag(Hex(20));
        EXPECT_EQ(CaretPos(ed), 5);
        EXPECT_EQ(ed.SelPosition(), -1);
        QtRelease(Hex(20));
        EXPECT_EQ(CaretPos(ed), 5);
    };

    Show(40);  // rows 2..4: bytes 32..39 and the append position on row 4
    ed.SetInsertMode(true);
    ASSERT_EQ(ed.RowCount(), 5);
    pressOnNoCell(33, 4);
    pressOnNoCell(50, 4);
    // The left half of the last digit lies past the data: the caret goes to
    // the append position and the drag selects from there.
    QtPress(CellPoint(ed, 33, 4, 0.1));
    EXPECT_EQ(CaretPos(ed), 40);
    EXPECT_TRUE(ed.IsSelecting());
    QtDrag(Hex(36, 0.1));
    QtRelease(Hex(36, 0.1));
    EXPECT_EQ(ed.RawSelStart(), 36);
    EXPECT_EQ(ed.RawSelEnd(), 39);

    LoadBytes(ed, 32);  // row 4 holds only the append position
    Pump();
    ASSERT_EQ(ed.RowCount(), 5);
    pressOnNoCell(50, 4);
    pressOnNoCell(33, 4);
    // On row 3 the wrap lands on the append row's character.
    QtPress(CellPoint(ed, 50, 3, 0.95));
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(35, 4));
    QtDrag(CellPoint(ed, 35 + 12, 3, 0.1));
    QtRelease(CellPoint(ed, 35 + 12, 3, 0.1));
    EXPECT_EQ(ed.RawSelStart(), 28);
    EXPECT_EQ(ed.RawSelEnd(), 31);
}

// ---- refused cells ----

TEST_F(CaretMouse, GapColumnPressGoesToTheRowsLastDigit)
{
    Show(40);
    LeftDown();
    Press(CellPoint(ed, 34, 2, 0.5));
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(33, 2));
    EXPECT_EQ(CaretPos(ed), 15);
}

TEST_F(CaretMouse, GapColumnWithoutTheButtonIsRefused)
{
    Show(40);
    ed.MoveColRow(8, 3, true, true);
    ed.MoveColRow(34, 2, true, true);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(8, 3));
}

TEST_F(CaretMouse, PressBeyondTheDataGoesToTheLastByte)
{
    Show(40);  // row 4 holds bytes 32..39
    LeftDown();
    Press(CellPoint(ed, 2 + 2 * 14, 4));
    EXPECT_EQ(CaretPos(ed), 39);
    EXPECT_EQ(ed.Col(), 2 + 2 * 7);
    EXPECT_FALSE(ed.InCharField());

    Press(CellPoint(ed, 35 + 12, 4));
    EXPECT_EQ(CaretPos(ed), 39);
    EXPECT_EQ(ed.Col(), 35 + 7) << "in the field that was clicked";
}

TEST_F(CaretMouse, PressBeyondTheDataInInsertModeGoesToTheAppendPosition)
{
    Show(40);
    ed.SetInsertMode(true);
    LeftDown();
    Press(CellPoint(ed, 2 + 2 * 14, 4));
    EXPECT_EQ(CaretPos(ed), 40);
    EXPECT_EQ(ed.Col(), 2 + 2 * 8);
    // The second digit of the append position is no caret place either.
    ed.MoveColRow(2 + 2 * 8 + 1, 4, true, true);
    EXPECT_EQ(ed.Col(), 2 + 2 * 8);
}

TEST_F(CaretMouse, WithoutDataOnlyTheFirstCellsOfRowTwoTakeTheCaret)
{
    Show(0);
    ASSERT_EQ(ed.DataSize(), 0);
    ed.MoveColRow(4, 2, true, true);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(2, 2));
    ed.MoveColRow(35, 2, true, true);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(35, 2));
    ed.MoveColRow(36, 2, true, true);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(35, 2));
    ed.MoveColRow(3, 2, true, true);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(35, 2));
    ed.MoveColRow(2, 2, true, true);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(2, 2));
    EXPECT_FALSE(ed.SelectCell(3, 2));
    EXPECT_TRUE(ed.SelectCell(35, 2));
}

// ---- drag selection ----

TEST_F(CaretMouse, DragSelectsForwardAndBackward)
{
    Show(100);
    LeftDown();
    Press(Hex(9));
    EXPECT_TRUE(ed.IsSelecting());
    Drag(Hex(3));
    EXPECT_EQ(ed.RawSelStart(), 3);
    EXPECT_EQ(ed.RawSelEnd(), 9);
    EXPECT_EQ(ed.SelStart(), 9) << "after a backward drag SelStart is the larger position";
    EXPECT_EQ(ed.SelEnd(), 3);
    EXPECT_EQ(ed.SelCount(), 7);

    Drag(Hex(20));
    EXPECT_EQ(ed.RawSelStart(), 9);
    EXPECT_EQ(ed.RawSelEnd(), 20);
    LeftUp();
    Release(Hex(20));
    EXPECT_EQ(ed.SelCount(), 12) << "the release keeps the selection";
}

TEST_F(CaretMouse, DragInUnitsOfFourSelectsWholeUnits)
{
    Show(20);
    ed.SetBytesPerUnit(4);
    LeftDown();
    Press(Hex(5));
    Drag(Hex(9));
    EXPECT_EQ(ed.RawSelStart(), 4);
    EXPECT_EQ(ed.RawSelEnd(), 11);
}

TEST_F(CaretMouse, DragInUnitsStopsAtTheLastByte)
{
    Show(10);
    ed.SetBytesPerUnit(4);
    LeftDown();
    Press(Hex(5));
    Drag(Hex(9));
    EXPECT_EQ(ed.RawSelStart(), 4);
    EXPECT_EQ(ed.RawSelEnd(), 9);
}

TEST_F(CaretMouse, InsertModeDragBackAndForthOverOneUnit)
{
    Show(100);
    ed.SetInsertMode(true);
    LeftDown();
    Press(Hex(5, 0.1));
    ASSERT_EQ(CaretPos(ed), 5);
    Drag(Hex(4, 0.1));
    EXPECT_EQ(ed.RawSelStart(), 4);
    EXPECT_EQ(ed.RawSelEnd(), 4) << "the byte at the caret (5) is not taken";
    Drag(Hex(5, 0.1));
    EXPECT_EQ(ed.SelCount(), 0);
    EXPECT_EQ(ed.SelPosition(), -1);
    EXPECT_TRUE(ed.IsSelecting()) << "the drag goes on";
    Drag(Hex(8, 0.1));
    EXPECT_EQ(ed.RawSelStart(), 5);
    EXPECT_EQ(ed.RawSelEnd(), 7);
}

TEST_F(CaretMouse, DoubleClickPressDoesNotStartADrag)
{
    Show(100);
    LeftDown();
    Press(Hex(5));
    LeftUp();
    Release(Hex(5));
    // The second press of a double click comes with ssDouble.
    LeftDown();
    Press(Hex(5), ssLeft | ssDouble);
    EXPECT_FALSE(ed.IsSelecting());
    EXPECT_EQ(CaretPos(ed), 5);
}

TEST_F(CaretMouse, ManyDragStepsInOneTurnNotifyOnce)
{
    Show(100);
    int events = 0;
    ed.SetOnSelectionChanged([&](QObject*) { ++events; });
    Pump();
    events = 0;
    LeftDown();
    Press(Hex(2));
    for (int p = 3; p < 30; ++p)
        Drag(Hex(p));
    Pump();
    EXPECT_EQ(events, 1);
}

TEST_F(CaretMouse, ShiftHeldExtendsAKeyboardSelection)
{
    Show(100);
    ed.SetSelStart(2);
    keys.held.insert(VK_SHIFT);
    ed.SetSelecting(true);
    ed.MoveColRow(2 + 2 * 6, 2, true, true);
    EXPECT_EQ(ed.RawSelStart(), 2);
    EXPECT_EQ(ed.RawSelEnd(), 6);
    keys.held.erase(VK_SHIFT);
    ed.MoveColRow(2 + 2 * 8, 2, true, true);
    EXPECT_EQ(ed.SelCount(), 0) << "a move without Shift or button ends it";
    EXPECT_FALSE(ed.IsSelecting());
}

// ---- press on the selection ----

TEST_F(CaretMouse, ClickOnTheSelectionClearsItAndPlacesTheCaret)
{
    Show(100);
    ed.NewSelection(2, 8);
    LeftDown();
    Press(Hex(5));
    EXPECT_TRUE(ed.ClickClearArmed());
    EXPECT_EQ(ed.SelCount(), 7) << "the press alone keeps the selection";
    LeftUp();
    Release(Hex(5));
    EXPECT_FALSE(ed.ClickClearArmed());
    EXPECT_EQ(ed.SelCount(), 0);
    EXPECT_EQ(CaretPos(ed), 5);
}

TEST_F(CaretMouse, MovingOffThePressedCellDisarmsTheClick)
{
    Show(100);
    ed.NewSelection(2, 8);
    LeftDown();
    Press(Hex(5));
    Drag(Hex(7));
    EXPECT_FALSE(ed.ClickClearArmed());
    LeftUp();
    Release(Hex(7));
    EXPECT_EQ(ed.SelCount(), 7);
}

// Qt moves the pointer to the release point before it releases; a move onto
// no cell keeps the click armed.
TEST_F(CaretMouse, ArmedReleaseOnNoCellClearsTheSelectionAndLeavesTheCaret)
{
    Show(40);  // rows 2..4: below row 4 there is no cell
    ed.SetSelStart(10);
    ed.NewSelection(33, 37);
    LeftDown();
    QtPress(Hex(35));
    ASSERT_TRUE(ed.ClickClearArmed());
    ASSERT_EQ(CaretPos(ed), 10) << "a press on the selection leaves the caret";
    const QPoint below(Hex(35).x(), ed.ClientHeight() - 3);
    ASSERT_EQ(ed.MouseCoord(below.x(), below.y()).Y, -1);
    QtDrag(below);
    EXPECT_TRUE(ed.ClickClearArmed());
    LeftUp();
    QtRelease(below + QPoint(9, 1));
    EXPECT_FALSE(ed.ClickClearArmed());
    EXPECT_EQ(ed.SelPosition(), -1);
    EXPECT_EQ(ed.SelCount(), 0);
    EXPECT_EQ(CaretPos(ed), 10);
}

TEST_F(CaretMouse, ArmedReleaseOnTheGutterClearsTheSelectionAndTakesTheRow)
{
    Show(40);
    ed.NewSelection(2, 8);
    LeftDown();
    Press(Hex(5));
    ASSERT_TRUE(ed.ClickClearArmed());
    const TRect gutter = ed.CellRect(0, 3);
    LeftUp();
    Release(QPoint(gutter.Left + 2, gutter.Top + 2));
    EXPECT_EQ(ed.SelPosition(), -1);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(2, 3)) << "the first cell of the released row";
}

TEST_F(CaretMouse, PressOnTheGutterDoesNotMoveTheCaret)
{
    Show(100);
    ed.SetSelStart(20);
    LeftDown();
    const TRect gutter = ed.CellRect(0, 3);
    Press(QPoint(gutter.Left + 2, gutter.Top + 2));
    EXPECT_EQ(CaretPos(ed), 20);
    EXPECT_FALSE(ed.IsSelecting());
}

TEST_F(CaretMouse, OnMouseDownFiresOncePerPressWhereverItLands)
{
    Show(100);
    std::vector<TGridCoord> presses;
    ed.SetOnMouseDown([&](QObject*, TMouseButton, TShiftState, int X, int Y) { presses.push_back(GridCoord(X, Y)); });
    LeftDown();
    Press(Hex(20));
    ASSERT_EQ(presses.size(), 1u) << "a press the grid handles";
    EXPECT_EQ(presses[0], GridCoord(Hex(20).x(), Hex(20).y()));
    LeftUp();
    Release(Hex(20));

    ed.NewSelection(2, 8);
    LeftDown();
    Press(Hex(5));
    EXPECT_EQ(presses.size(), 2u) << "a press on the selection";
    const TRect gutter = ed.CellRect(0, 3);
    Press(QPoint(gutter.Left + 2, gutter.Top + 2));
    EXPECT_EQ(presses.size(), 3u) << "a press on the gutter";
}

TEST_F(CaretMouse, PointerShapeFollowsWhatIsUnderIt)
{
    Show(100);
    ed.NewSelection(2, 8);
    const TRect gutter = ed.CellRect(0, 3);
    ed.MouseMove(0, gutter.Left + 2, gutter.Top + 2);
    EXPECT_EQ(ed.Cursor(), crArrow);
    ed.MouseMove(0, Hex(5).x(), Hex(5).y());
    EXPECT_EQ(ed.Cursor(), crArrow);
    ed.MouseMove(0, Hex(20).x(), Hex(20).y());
    EXPECT_EQ(ed.Cursor(), crIBeam);
    ed.MouseMove(ssShift, Hex(5).x(), Hex(5).y());
    EXPECT_EQ(ed.Cursor(), crIBeam) << "a held key makes it the text cursor";
}

// The pointer's own position counts, also after it left the control without
// a button held, when no move arrives.
TEST_F(CaretMouse, SelectionUnderThePointerFollowsThePointer)
{
    Show(100);
    ed.NewSelection(2, 8);
    const auto global = [&](QPoint p) { return ed.viewport()->mapToGlobal(p); };
    QCursor::setPos(global(Hex(5)));
    Pump();
    EXPECT_TRUE(ed.MouseOverSelection());
    QCursor::setPos(global(Hex(30)));
    Pump();
    EXPECT_FALSE(ed.MouseOverSelection());
    QCursor::setPos(global(Hex(8)));
    Pump();
    ASSERT_TRUE(ed.MouseOverSelection());
    // Out of the control, far from its window.
    QCursor::setPos(global(QPoint(-3000, Hex(8).y())));
    Pump();
    EXPECT_FALSE(ed.MouseOverSelection());

    EXPECT_TRUE(ed.CursorOverSelection(Hex(8).x(), Hex(8).y()));
    EXPECT_FALSE(ed.CursorOverSelection(Hex(9).x(), Hex(9).y()));
    const TRect gutter = ed.CellRect(0, 2);
    EXPECT_FALSE(ed.CursorOverSelection(gutter.Left + 1, gutter.Top + 1));
    EXPECT_TRUE(ed.MouseOverFixed(gutter.Left + 1, gutter.Top + 1));
    EXPECT_FALSE(ed.MouseOverFixed(Hex(9).x(), Hex(9).y()));
}

// ---- synthetic Qt events ----

TEST_F(CaretMouse, QtMouseEventsDragASelection)
{
    Show(100);
    LeftDown();
    QWidget* vp = ed.viewport();
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent ev(type, QPointF(p), QPointF(vp->mapToGlobal(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(vp, &ev);
    };
    send(QEvent::MouseButtonPress, Hex(5), Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, Hex(12), Qt::NoButton, Qt::LeftButton);
    LeftUp();
    send(QEvent::MouseButtonRelease, Hex(12), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(ed.RawSelStart(), 5);
    EXPECT_EQ(ed.RawSelEnd(), 12);
    EXPECT_EQ(CaretPos(ed), 12);
    EXPECT_EQ(ed.GridState(), gsNormal);
}

TEST_F(CaretMouse, RightToLeftPointsAreMirroredLikeThePaint)
{
    Show(100);
    ed.setLayoutDirection(Qt::RightToLeft);
    Pump();
    LeftDown();
    QWidget* vp = ed.viewport();
    // A cell drawn mirrored: the screen point of a logical point.
    auto screen = [&](QPoint p) { return QPoint(ed.ClientWidth() - 1 - p.x(), p.y()); };
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent ev(type, QPointF(p), QPointF(vp->mapToGlobal(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(vp, &ev);
    };
    send(QEvent::MouseButtonPress, screen(Hex(5)), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(ed.LastMouseX(), Hex(5).x());
    send(QEvent::MouseMove, screen(Hex(12)), Qt::NoButton, Qt::LeftButton);
    LeftUp();
    send(QEvent::MouseButtonRelease, screen(Hex(12)), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(ed.RawSelStart(), 5);
    EXPECT_EQ(ed.RawSelEnd(), 12);
    EXPECT_EQ(CaretPos(ed), 12);
    // The drop target hands over screen points too.
    ed.ResetSelection(false);
    EXPECT_EQ(ed.ShowDragCell(screen(Hex(20)).x(), screen(Hex(20)).y()), 20);
}

// ---- auto-scroll ----

// The caret's column of byte 2 in the hex field is 6.
TEST_F(CaretMouse, DragBelowTheViewScrollsDownAndTheSelectionFollows)
{
    Show(4096, 760, 200);
    QtPress(Hex(2));
    ASSERT_EQ(ed.GridState(), gsSelecting);
    QtDrag(QPoint(Hex(2).x(), ed.ClientHeight() + 30));
    ASSERT_TRUE(TicksUntil([&] { return ed.TopRow() >= 8; })) << "top row " << ed.TopRow();
    EXPECT_EQ(ed.Col(), 6);
    EXPECT_EQ(ed.Row(), ed.TopRow() + ed.VisibleRowCount() - 1) << "the caret is on the last whole row";
    EXPECT_EQ(ed.RawSelStart(), 2);
    EXPECT_EQ(ed.RawSelEnd(), (ed.Row() - 2) * 16 + 2);

    // Back inside the view the release ends the selection there.
    const int row = ed.TopRow() + 1;
    QtRelease(CellPoint(ed, 6, row));
    EXPECT_EQ(ed.GridState(), gsNormal);
    EXPECT_EQ(ed.RawSelStart(), 2);
    EXPECT_EQ(ed.RawSelEnd(), (row - 2) * 16 + 2);
}

TEST_F(CaretMouse, DragAboveTheViewScrollsUpAndTheSelectionFollows)
{
    Show(4096, 760, 200);
    ed.SetTopRow(100);
    QtPress(CellPoint(ed, 6, 102));  // byte 1602
    ASSERT_EQ(CaretPos(ed), 1602);
    QtDrag(QPoint(Hex(1602).x(), -20));
    ASSERT_TRUE(TicksUntil([&] { return ed.TopRow() <= 95; })) << "top row " << ed.TopRow();
    EXPECT_EQ(ed.Row(), ed.TopRow()) << "the caret is on the first shown row";
    EXPECT_EQ(ed.Col(), 6);
    EXPECT_EQ(ed.RawSelStart(), (ed.Row() - 2) * 16 + 2);
    EXPECT_EQ(ed.RawSelEnd(), 1602);
    QtRelease(QPoint(Hex(1602).x(), -20));
    EXPECT_EQ(ed.GridState(), gsNormal);
}

TEST_F(CaretMouse, DragRightOfTheViewScrollsRightAndTheSelectionFollows)
{
    Show(4096, 300, 200);
    ASSERT_LT(ed.VisibleColCount(), 20) << "the hex field is wider than the view";
    ASSERT_EQ(ed.LeftCol(), 2);
    QtPress(CellPoint(ed, 2, 3));  // byte 16
    QtDrag(QPoint(ed.ClientWidth() + 20, CellPoint(ed, 2, 3).y()));
    ASSERT_TRUE(TicksUntil([&] { return ed.LeftCol() >= 6; })) << "left column " << ed.LeftCol();
    EXPECT_EQ(ed.Row(), 3);
    const TRect caret = ed.CellRect(ed.Col(), 3);
    EXPECT_EQ(caret.Right - caret.Left, ed.ColWidths(ed.Col())) << "the caret's column is shown whole";
    EXPECT_GE(ed.Col(), ed.LeftCol() + ed.VisibleColCount() - 2) << "at the right of the view";
    EXPECT_EQ(ed.RawSelStart(), 16);
    EXPECT_EQ(ed.RawSelEnd(), 16 + (ed.Col() - 2) / 2);
    QtRelease(QPoint(ed.ClientWidth() + 20, CellPoint(ed, 2, 3).y()));
    EXPECT_EQ(ed.GridState(), gsNormal);
}

// Held below the view further out than the rows reach, the pointer stands
// for the last row: the drag goes on until the last row is shown and taken.
TEST_F(CaretMouse, DragHeldBelowTheViewGoesOnToTheLastRow)
{
    ProgramLook();
    Show(4096, 760, 200);
    const int lastRow = ed.RowCount() - 1;
    for (const int beyond : {5, 50, 200}) {
        ed.ResetSelection(true);
        ed.SetTopRow(ed.MaxTopRow() - 6);
        const int row = ed.TopRow() + 1;
        const QPoint held(CellPoint(ed, 6, row).x(), ed.ClientHeight() + beyond);
        QtPress(CellPoint(ed, 6, row));  // byte 2 of the row
        QtDrag(held);
        ASSERT_TRUE(TicksUntil([&] { return ed.Row() == lastRow; }))
            << beyond << " px below: row " << ed.Row() << " of " << lastRow;
        QtRelease(held);
        EXPECT_EQ(ed.GridState(), gsNormal);
        EXPECT_EQ(ed.TopRow(), ed.MaxTopRow()) << beyond << " px below";
        const TRect last = ed.CellRect(6, lastRow);
        EXPECT_EQ(last.Bottom - last.Top, ed.RowHeights(lastRow)) << "the last row is shown whole";
        EXPECT_EQ(ed.RawSelStart(), (row - 2) * 16 + 2);
        EXPECT_EQ(ed.RawSelEnd(), 4096 - 16 + 2) << beyond << " px below";
    }
}

// Held right of the view, the drag walks row 3 to its last digit (column
// 33). The gap after it is no caret cell: the caret stays there while the
// view goes on by itself. The view moves one column per tick, never back,
// until the last column is shown, whatever the widths.
struct HeldRight {
    const char* Name;
    int Width;
    int FontPixels;
    int Beyond;  // pixels right of the view
};

class CaretMouseHeldRight : public CaretMouse, public ::testing::WithParamInterface<HeldRight> {};

TEST_P(CaretMouseHeldRight, ViewScrollsOnColumnByColumnToTheLastColumn)
{
    const HeldRight g = GetParam();
    ProgramLook(g.FontPixels);
    Show(4096, g.Width, 200);
    ASSERT_EQ(ed.LeftCol(), 2);
    ASSERT_GT(ed.MaxLeftCol(), 20) << "the hex field is wider than the view";
    const QPoint held(ed.ClientWidth() + g.Beyond, CellPoint(ed, 2, 3).y());
    QtPress(CellPoint(ed, 2, 3));  // byte 16
    // The move may take a cut column under the pointer; the hold starts here.
    QtDrag(held);
    std::vector<int> lefts{ed.LeftCol()};
    ed.SetOnTopLeftChanged([&](QObject*) {
        if (ed.LeftCol() != lefts.back())
            lefts.push_back(ed.LeftCol());
    });
    ASSERT_TRUE(TicksUntil([&] { return ed.LeftCol() == ed.MaxLeftCol(); }))
        << "left column " << ed.LeftCol() << " of " << ed.MaxLeftCol();
    QTest::qWait(300);  // some more ticks: the view stays
    QtRelease(held);

    for (std::size_t i = 1; i < lefts.size(); ++i)
        ASSERT_EQ(lefts[i], lefts[i - 1] + 1) << "change " << i << " of the left column";
    EXPECT_EQ(lefts.back(), ed.MaxLeftCol());
    const TRect last = ed.CellRect(ed.ColCount() - 1, 3);
    EXPECT_EQ(last.Right - last.Left, ed.ColWidths(ed.ColCount() - 1)) << "the last character is shown whole";
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(33, 3));
    EXPECT_EQ(ed.GridState(), gsNormal);
    EXPECT_EQ(ed.RawSelStart(), 16);
    EXPECT_EQ(ed.RawSelEnd(), 31) << "the bytes the caret went over";
}

INSTANTIATE_TEST_SUITE_P(Geometries, CaretMouseHeldRight,
                         ::testing::Values(HeldRight{"Width120", 120, 15, 20}, HeldRight{"Width160", 160, 15, 20},
                                           HeldRight{"Width220", 220, 15, 20}, HeldRight{"Width260", 260, 15, 20},
                                           HeldRight{"Width300", 300, 15, 20}, HeldRight{"Width300Far", 300, 15, 100},
                                           HeldRight{"Font32Width500", 500, 32, 20}),
                         [](const ::testing::TestParamInfo<HeldRight>& info) { return std::string(info.param.Name); });

TEST_F(CaretMouse, DragLeftOfTheViewScrollsLeftAndTheSelectionFollows)
{
    Show(4096, 300, 200);
    ed.SetLeftCol(20);
    ASSERT_EQ(ed.LeftCol(), 20);
    QtPress(CellPoint(ed, 22, 3));  // byte 16 + 10
    ASSERT_EQ(CaretPos(ed), 26);
    QtDrag(QPoint(-20, CellPoint(ed, 22, 3).y()));
    ASSERT_TRUE(TicksUntil([&] { return ed.LeftCol() <= 14; })) << "left column " << ed.LeftCol();
    EXPECT_EQ(ed.Row(), 3);
    EXPECT_EQ(ed.Col(), ed.LeftCol()) << "the caret is on the first shown column";
    EXPECT_EQ(ed.RawSelStart(), 16 + (ed.Col() - 2) / 2);
    EXPECT_EQ(ed.RawSelEnd(), 26);
    QtRelease(QPoint(-20, CellPoint(ed, 22, 3).y()));
    EXPECT_EQ(ed.GridState(), gsNormal);
}

// Below the one row of 16 bytes, and left of the cells, there is no cell.
TEST_F(CaretMouse, TimerDropsTicksWhileThePointerIsPastTheLastCell)
{
    Show(16, 760, 200);
    const QPoint below(-20, ed.ClientHeight() - 3);
    EXPECT_EQ(ed.MouseCoord(below.x(), below.y()), GridCoord(0, -1));
    EXPECT_EQ(ed.MouseCoord(Hex(5).x(), below.y()), GridCoord(12, -1));
    EXPECT_EQ(Corrected(below), GridCoord(0, -1));

    LeftDown();
    Press(Hex(5));
    ASSERT_EQ(ed.GridState(), gsSelecting);
    ed.SetLastMousePos(below.x(), below.y());
    for (int i = 0; i < 4; ++i)
        ed.WMTimer();
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(12, 2)) << "a tick would go one column left";
    EXPECT_EQ(ed.SelPosition(), -1);

    // Left of the cells on the row itself the ticks go through.
    ed.SetLastMousePos(-20, Hex(5).y());
    ed.WMTimer();
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), GridCoord(11, 2));
}

// In insert mode the right half of a row's last digit means the next row;
// on the row cut at the bottom that row lies below the view, and the grid is
// handed that corrected point, not the pressed one.
TEST_F(CaretMouse, InsertModePressWrappingBelowTheViewGivesTheGridTheCorrectedPoint)
{
    Show(4096, 760, 300);
    ed.SetInsertMode(true);
    // Eight whole data rows (2..9) and half of row 10.
    const int rowH = ed.RowHeights(2);
    ed.resize(760, ed.CellRect(2, 2).Top + 8 * rowH + rowH / 2 + ed.height() - ed.ClientHeight());
    Pump();
    ASSERT_EQ(ed.VisibleRowCount(), 8);
    const TRect cut = ed.CellRect(33, 10);
    ASSERT_LT(cut.Bottom - cut.Top, rowH);
    const QPoint p(cut.Right - 1, cut.Top + 1);
    int x = p.x(), y = p.y();
    EXPECT_EQ(ed.CheckMouseCoord(x, y), GridCoord(2, 11));
    ASSERT_GT(y, ed.ClientHeight());
    EXPECT_EQ(ed.MouseCoord(x, y), GridCoord(2, 11)) << "the corrected point names the cell below the view";

    ed.asked.clear();
    QtPress(p);
    // The pointer stays on the cut row, where the drag's timer goes on down
    // once it ticks (a slow build lets it tick before these checks).
    ASSERT_FALSE(ed.asked.empty());
    EXPECT_EQ(ed.asked.front(), GridCoord(2, 11)) << "the grid starts at the corrected cell";
    EXPECT_EQ(std::count(ed.asked.begin(), ed.asked.end(), GridCoord(33, 10)), 0) << "the pressed cell is never asked for";
    EXPECT_EQ(ed.Col(), 2);
    EXPECT_GE(ed.Row(), 11);
    EXPECT_GE(ed.TopRow(), 4);
    EXPECT_EQ(ed.GridState(), gsSelecting);
    QtDrag(CellPoint(ed, 10, 11, 0.1));  // before byte 148
    EXPECT_EQ(ed.RawSelStart(), 144);
    EXPECT_EQ(ed.RawSelEnd(), 147);
    QtRelease(CellPoint(ed, 10, 11, 0.1));
}

// A point held beside the view is corrected as one inside it.
TEST_F(CaretMouse, InsertModeCorrectsPointsBesideTheView)
{
    Show(4096, 300, 200);
    ed.SetInsertMode(true);
    // The right half of byte 1's second digit (column 5), rows below the view.
    const int row = ed.TopRow() + ed.VisibleRowCount() + 3;
    const TRect below = ed.CellBounds(5, row);
    ASSERT_GT(below.Top, ed.ClientHeight());
    int x = below.Right - 2, y = below.Top + 1;
    EXPECT_EQ(ed.CheckMouseCoord(x, y), GridCoord(6, row));
    EXPECT_EQ(ed.MouseCoord(x, y), GridCoord(6, row)) << "the corrected point lies in that cell";

    // Right of the view, on an odd column: the right half means the next byte.
    const int col = (ed.LeftCol() + ed.VisibleColCount() + 3) | 1;
    ASSERT_LT(col, 33);
    const TRect right = ed.CellBounds(col, 3);
    ASSERT_GT(right.Left, ed.ClientWidth());
    x = right.Right - 2, y = right.Top + 1;
    EXPECT_EQ(ed.CheckMouseCoord(x, y), GridCoord(col + 1, 3));
    EXPECT_EQ(ed.MouseCoord(x, y), GridCoord(col + 1, 3));
    // Its left half stays on it.
    x = right.Left + 1, y = right.Top + 1;
    EXPECT_EQ(ed.CheckMouseCoord(x, y), GridCoord(col, 3));
}

// ---- drag-and-drop mark ----

TEST_F(CaretMouse, DropOntoTheSelectionMarksItsFirstByte)
{
    Show(100);
    ed.NewSelection(9, 5);
    EXPECT_EQ(ed.ShowDragCell(Hex(7).x(), Hex(7).y()), 5);
    EXPECT_TRUE(ed.DragShown());
    EXPECT_EQ(ed.DropPosition(), 5);
    EXPECT_EQ(ed.DropCell(), ed.GetCursorAtPos(5, false));

    EXPECT_EQ(ed.ShowDragCell(Hex(20).x(), Hex(20).y()), 20);
    EXPECT_EQ(ed.DropPosition(), 20);
    ed.HideDragCell();
    EXPECT_EQ(ed.DropPosition(), -1);
}

TEST_F(CaretMouse, DropMarkRoundsToUnitsAndUsesTheFieldUnderThePointer)
{
    Show(100);
    ed.SetBytesPerUnit(4);
    const QPoint chr = CellPoint(ed, 35 + 6, 3);
    EXPECT_EQ(ed.ShowDragCell(chr.x(), chr.y()), 20);
    EXPECT_EQ(ed.DropCell(), ed.GetCursorAtPos(20, true));
}

TEST_F(CaretMouse, DropMarkBelowTheLastRowIsOnTheLastRow)
{
    Show(40);  // rows 2..4
    const QPoint p(Hex(2).x(), ed.ClientHeight() - 3);
    ASSERT_EQ(ed.MouseCoord(p.x(), p.y()).Y, -1);
    EXPECT_EQ(ed.ShowDragCell(p.x(), p.y()), 34);
    EXPECT_EQ(ed.DropCell(), GridCoord(6, 4));
}

TEST_F(CaretMouse, DropMarkPastTheDataIsTheEnd)
{
    Show(40);
    EXPECT_EQ(ed.ShowDragCell(Hex(46).x(), Hex(46).y()), 40);
}

TEST_F(CaretMouse, DropMarkRightOfTheLastColumnIsTheRowEnd)
{
    Show(100, 1400, 400);
    const TRect last = ed.CellRect(ed.ColCount() - 1, 3);
    ASSERT_LT(last.Right + 10, ed.ClientWidth());
    EXPECT_EQ(ed.ShowDragCell(last.Right + 10, (last.Top + last.Bottom) / 2), 31);
}

TEST_F(CaretMouse, ReleaseHidesTheDropMark)
{
    Show(100);
    ed.ShowDragCell(Hex(7).x(), Hex(7).y());
    Release(Hex(7));
    EXPECT_FALSE(ed.DragShown());
    EXPECT_EQ(ed.DropPosition(), -1);
}

} // namespace
