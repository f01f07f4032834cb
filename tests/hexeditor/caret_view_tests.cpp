// The drawn caret and focus, scrolling by wheel and centring, the visible
// range and view synchronisation between two editors.
#include "caret_editor.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using carettest::CaretPos;
using carettest::LoadBytes;
using carettest::Pump;
using carettest::TTestEditor;

namespace {

void ShowWith(TTestEditor& ed, int dataSize, int width = 760, int height = 300)
{
    ed.resize(width, height);
    ed.show();
    Pump();
    LoadBytes(ed, dataSize);
    Pump();
}

bool GiveFocus(TTestEditor& ed)
{
    ed.activateWindow();
    ed.setFocus(Qt::OtherFocusReason);
    Pump();
    return ed.hasFocus();
}

std::vector<TRect> Inverted(TTestEditor& ed)
{
    TWQHRecordingCanvas canvas(ed.font());
    ed.DrawCaret(canvas);
    std::vector<TRect> out;
    for (const auto& call : canvas.Calls)
        if (call.Op == TWQHRecordingCanvas::opInvertRect)
            out.push_back(call.Rect);
    return out;
}

// ---- caret glyph ----

TEST(CaretGlyph, ShapesFollowTheKindAndTheMode)
{
    TTestEditor ed;
    const int cw = 9, ch = 18;
    struct Case {
        TWQHCaretKind kind;
        bool insert;
        bool readOnly;
        TRect shape;
    };
    const Case cases[] = {
        {ckFull, true, true, TRect{0, 0, cw, ch - 2}},
        {ckLeft, false, false, TRect{0, 0, 2, ch - 2}},
        {ckBottom, false, false, TRect{0, ch - 4, cw, ch - 2}},
        {ckAuto, false, false, TRect{0, 0, cw, ch - 2}},
        {ckAuto, true, false, TRect{0, 0, 2, ch - 2}},
        {ckAuto, true, true, TRect{0, ch - 4, cw, ch - 2}},
        {ckAuto, false, true, TRect{0, ch - 4, cw, ch - 2}},
    };
    for (const Case& c : cases) {
        ed.SetCaretInputs(c.kind, c.insert, c.readOnly, cw, ch);
        ed.CreateCaretGlyph();
        EXPECT_TRUE(ed.CaretExists());
        EXPECT_EQ(ed.CaretShape(), c.shape) << "kind " << int(c.kind) << " insert " << c.insert << " ro "
                                            << c.readOnly;
    }
    ed.DestroyCaret();
    EXPECT_FALSE(ed.CaretExists());
    EXPECT_EQ(ed.CaretX(), -50);
    EXPECT_EQ(ed.CaretY(), -50);
}

// ---- focus and caret placement ----

class CaretFocus : public ::testing::Test {
protected:
    void SetUp() override
    {
        ShowWith(ed, 1600);
        if (!GiveFocus(ed))
            GTEST_SKIP() << "the platform gives no keyboard focus";
    }
    testsupport::ScopedPlatformFakes fakes;
    TTestEditor ed;
};

TEST_F(CaretFocus, CaretExistsOnlyWithTheFocusAndSitsOnTheCaretCell)
{
    EXPECT_TRUE(ed.CaretExists());
    ed.MoveColRow(2 + 2 * 3, 3, true, true);
    const TRect cell = ed.CellRect(ed.Col(), ed.Row());
    EXPECT_EQ(ed.CaretX(), cell.Left);
    EXPECT_EQ(ed.CaretY(), cell.Top);
    const std::vector<TRect> inv = Inverted(ed);
    ASSERT_EQ(inv.size(), 1u);
    const TRect shape = ed.CaretShape();
    EXPECT_EQ(inv[0], (TRect{cell.Left + shape.Left, cell.Top + shape.Top, cell.Left + shape.Right,
                             cell.Top + shape.Bottom}));

    ed.clearFocus();
    Pump();
    EXPECT_FALSE(ed.CaretExists());
    EXPECT_EQ(ed.CaretX(), -50);
    EXPECT_TRUE(Inverted(ed).empty());
}

TEST_F(CaretFocus, ANewShapeStaysOnTheCaretCell)
{
    ed.MoveColRow(2 + 2 * 3, 3, true, true);
    const TRect cell = ed.CellRect(ed.Col(), ed.Row());
    ASSERT_EQ(ed.CaretShape().Right, ed.CharWidth()) << "overwrite mode: the whole cell";
    ed.SetInsertMode(true);
    EXPECT_EQ(ed.CaretShape().Right, 2) << "insert mode: a bar";
    EXPECT_EQ(ed.CaretX(), cell.Left);
    EXPECT_EQ(ed.CaretY(), cell.Top);
    EXPECT_EQ(Inverted(ed).size(), 1u);
}

TEST_F(CaretFocus, FocusLossEndsASelectionInProgress)
{
    ed.SetSelecting(true);
    ed.clearFocus();
    Pump();
    EXPECT_FALSE(ed.IsSelecting());
}

TEST_F(CaretFocus, CaretScrolledOutOfViewIsParked)
{
    ed.MoveColRow(2, 2, true, true);
    ASSERT_NE(ed.CaretX(), -50);
    ed.SetTopRow(50);
    EXPECT_EQ(ed.CaretX(), -50);
    EXPECT_EQ(ed.CaretY(), -50);
    EXPECT_TRUE(Inverted(ed).empty()) << "a parked caret is not drawn";
    ed.SetTopRow(2);
    EXPECT_EQ(ed.CaretX(), ed.CellRect(2, 2).Left);
    EXPECT_EQ(Inverted(ed).size(), 1u);
}

TEST_F(CaretFocus, CaretFieldFollowsTheCaretCell)
{
    ed.MoveColRow(35 + 4, 2, true, true);
    EXPECT_TRUE(ed.LastPosInCharField());
    ed.MoveColRow(2 + 2 * 4, 2, true, true);
    EXPECT_FALSE(ed.LastPosInCharField());
}

TEST_F(CaretFocus, WithoutTheFocusTheActiveFieldStaysWhereTheCaretWasLastPlaced)
{
    ed.MoveColRow(35 + 4, 2, true, true);
    ASSERT_TRUE(ed.LastPosInCharField());
    ed.clearFocus();
    Pump();
    ASSERT_FALSE(ed.hasFocus());
    ed.MoveColRow(2 + 2 * 4, 2, true, true);
    EXPECT_TRUE(ed.LastPosInCharField()) << "no caret is placed without the focus";
    EXPECT_EQ(ed.CaretX(), -50);
    EXPECT_TRUE(GiveFocus(ed));
    EXPECT_FALSE(ed.LastPosInCharField()) << "the focus places the caret in its field";
}

TEST(CaretUnfocused, ANeverFocusedControlKeepsTheCharacterFieldActive)
{
    testsupport::ScopedPlatformFakes fakes;
    TTestEditor ed;  // never shown, so never focused
    ed.CreateEmptyFile(QString());
    LoadBytes(ed, 100);
    ASSERT_FALSE(ed.hasFocus());
    ed.MoveColRow(2 + 2 * 5, 3, true, true);
    ASSERT_FALSE(ed.InCharField());
    EXPECT_TRUE(ed.LastPosInCharField()) << "the field starts as the character field";
    EXPECT_FALSE(ed.CaretExists());
}

TEST_F(CaretFocus, PostedCaretUpdateReplacesAStalePosition)
{
    ed.MoveColRow(2 + 2 * 3, 3, true, true);
    const TRect cell = ed.CellRect(ed.Col(), ed.Row());
    ed.SetStaleCaret(400, 5);
    ed.PostControlMessage(WQH_MSG_INTUPDATECARET, 3);
    Pump();
    EXPECT_EQ(ed.CaretX(), 400) << "only code 7 updates the caret";
    ed.PostControlMessage(WQH_MSG_INTUPDATECARET, 7);
    Pump();
    EXPECT_EQ(ed.CaretX(), cell.Left);
    EXPECT_EQ(ed.CaretY(), cell.Top);
}

// ---- wheel and centring ----

class CaretScroll : public ::testing::Test {
protected:
    void SetUp() override { ShowWith(ed, 1600); }
    testsupport::ScopedPlatformFakes fakes;
    TTestEditor ed;
};

TEST_F(CaretScroll, WheelScrollsPagesBetweenTheDataLimits)
{
    const int visible = ed.VisibleRowCount();
    ASSERT_GT(visible, 2);
    ed.MoveColRow(2 + 2 * 5, 3, true, true);
    EXPECT_TRUE(ed.DoMouseWheelUp(0, 10, 10));
    EXPECT_EQ(ed.TopRow(), 2) << "never above the first data row";

    EXPECT_TRUE(ed.DoMouseWheelDown(0, 10, 10));
    EXPECT_EQ(ed.TopRow(), 2 + visible - 1);
    for (int i = 0; i < 200; ++i)
        ed.DoMouseWheelDown(0, 10, 10);
    EXPECT_EQ(ed.TopRow(), ed.RowCount() - visible);
    EXPECT_EQ(CaretPos(ed), 21) << "the caret does not move";

    ed.DoMouseWheelUp(0, 10, 10);
    EXPECT_EQ(ed.TopRow(), ed.RowCount() - visible - (visible - 1));
    for (int i = 0; i < 200; ++i)
        ed.DoMouseWheelUp(0, 10, 10);
    EXPECT_EQ(ed.TopRow(), 2);
}

// With a modifier the grid's own wheel moves the caret one row.
TEST_F(CaretScroll, WheelWithAModifierIsNotPaging)
{
    const int visible = ed.VisibleRowCount();
    ed.MoveColRow(2 + 2 * 5, 3, true, true);
    EXPECT_TRUE(ed.DoMouseWheelDown(ssCtrl, 10, 10));
    EXPECT_EQ(ed.TopRow(), 2);
    EXPECT_EQ(CaretPos(ed), 37);
    EXPECT_TRUE(ed.DoMouseWheelUp(ssShift, 10, 10));
    EXPECT_EQ(CaretPos(ed), 21);
    EXPECT_TRUE(ed.DoMouseWheelUp(ssAlt, 10, 10));
    EXPECT_TRUE(ed.DoMouseWheelUp(ssAlt, 10, 10));
    EXPECT_EQ(CaretPos(ed), 5) << "not above the first data row";
    EXPECT_EQ(ed.TopRow(), 2);

    // On the last shown row the view follows the caret by one row, not a page.
    ed.MoveColRow(2 + 2 * 5, 2 + visible - 1, true, true);
    ASSERT_EQ(ed.TopRow(), 2);
    EXPECT_TRUE(ed.DoMouseWheelDown(ssCtrl, 10, 10));
    EXPECT_EQ(ed.TopRow(), 3);
    EXPECT_EQ(CaretPos(ed), visible * 16 + 5);
}

TEST_F(CaretScroll, TinyWindowsStillScrollByARow)
{
    for (int height : {ed.height() - ed.ClientHeight() + ed.RowHeight() + 2,
                       ed.height() - ed.ClientHeight() + ed.RowHeight() / 2}) {
        ed.resize(ed.width(), height);
        Pump();
        ASSERT_LE(ed.VisibleRowCount(), 1) << height;
        ed.SetTopRow(2);
        ed.DoMouseWheelDown(0, 5, 5);
        EXPECT_EQ(ed.TopRow(), 3) << height;
        ed.DoMouseWheelDown(0, 5, 5);
        EXPECT_EQ(ed.TopRow(), 4) << height;
        ed.DoMouseWheelUp(0, 5, 5);
        EXPECT_EQ(ed.TopRow(), 3) << height;
    }
}

TEST_F(CaretScroll, CenteringPutsTheCaretRowInTheMiddle)
{
    const int visible = ed.VisibleRowCount();
    ed.SetSelStart(800);  // row 52
    ed.CenterCursorPosition();
    EXPECT_EQ(ed.TopRow(), 52 - visible / 2);
    EXPECT_EQ(CaretPos(ed), 800);

    ed.SetSelStart(3);
    ed.CenterCursorPosition();
    EXPECT_EQ(ed.TopRow(), 2);

    ed.SetSelStart(1599);
    ed.CenterCursorPosition();
    EXPECT_EQ(ed.TopRow(), ed.RowCount() - visible);
}

TEST_F(CaretScroll, TopLeftChangesAreReported)
{
    int calls = 0;
    ed.SetOnTopLeftChanged([&](QObject*) { ++calls; });
    ed.SetTopRow(10);
    EXPECT_EQ(calls, 1);
    ed.SetTopRow(10);
    EXPECT_EQ(calls, 1);
}

// ---- visible range ----

TEST(CaretDisplay, WithoutDataThereIsNoRange)
{
    TTestEditor ed;
    ed.CreateEmptyFile(QString());
    EXPECT_EQ(ed.DisplayStart(), -1);
    EXPECT_EQ(ed.DisplayEnd(), -1);
}

TEST(CaretDisplay, RangeIsTheFullyVisibleRows)
{
    TTestEditor ed;
    ShowWith(ed, 1600);
    ed.SetTopRow(10);
    EXPECT_EQ(ed.DisplayStart(), 8 * 16);
    EXPECT_EQ(ed.DisplayEnd(), 8 * 16 + ed.VisibleRowCount() * 16 - 1);
}

// The start is the first byte of TopRow, also past the data; the end is
// start + rows * 16 - 1, at most the last byte, and nothing more is limited.
TEST(CaretDisplay, RangeIsTakenAsItIsWithoutLimits)
{
    TTestEditor ed;
    ShowWith(ed, 96);
    ed.SetInsertMode(true);  // row 8 holds only the append position
    ed.resize(ed.width(), ed.height() - ed.ClientHeight() + ed.RowHeight() + 2);
    Pump();
    ASSERT_EQ(ed.VisibleRowCount(), 1);
    ed.SetTopRow(ed.RowCount() - 1);
    ASSERT_EQ(ed.TopRow(), 8);
    EXPECT_EQ(ed.DisplayStart(), 96);
    EXPECT_EQ(ed.DisplayEnd(), 95);

    ed.SetTopRow(3);
    EXPECT_EQ(ed.DisplayStart(), 16);
    EXPECT_EQ(ed.DisplayEnd(), 31);

    // No whole row is shown: the end is one before the start.
    ed.resize(ed.width(), ed.height() - ed.ClientHeight() + ed.RowHeight() / 2);
    Pump();
    ASSERT_EQ(ed.VisibleRowCount(), 0);
    ed.SetTopRow(4);
    EXPECT_EQ(ed.DisplayStart(), 32);
    EXPECT_EQ(ed.DisplayEnd(), 31);
}

// ---- view synchronisation ----

class CaretSync : public ::testing::Test {
protected:
    void SetUp() override
    {
        ShowWith(a, 1600);
        ShowWith(b, 160);
    }
    testsupport::ScopedPlatformFakes fakes;
    TTestEditor a;
    TTestEditor b;
};

TEST_F(CaretSync, SameLayoutCopiesTheViewAndTheCaret)
{
    a.SetSelStart(100);
    b.SyncView(&a, 0);
    EXPECT_EQ(CaretPos(b), 100);
    EXPECT_EQ(b.Col(), a.Col());
    EXPECT_EQ(b.Row(), a.Row());
}

TEST_F(CaretSync, ScrollPositionBeyondTheOtherDataIsLimited)
{
    a.SetSelStart(100);
    a.SetTopRow(80);  // the caret's row is scrolled away
    b.SyncView(&a, 0);
    EXPECT_GE(b.TopRow(), 2);
    EXPECT_LT(b.TopRow(), b.RowCount());
    EXPECT_EQ(CaretPos(b), 100);
}

TEST_F(CaretSync, CaretBeyondTheOtherDataGoesToItsEnd)
{
    a.SetSelStart(1290);
    b.SyncView(&a, 0);
    EXPECT_EQ(CaretPos(b), 159);
    EXPECT_GE(b.TopRow(), 2);
    EXPECT_LT(b.TopRow(), b.RowCount());
}

TEST_F(CaretSync, OffsetsAreAddedWithoutOverflow)
{
    a.SetSelStart(100);
    b.SyncView(&a, 10);
    EXPECT_EQ(CaretPos(b), 110);
    b.SyncView(&a, INT_MAX);
    EXPECT_EQ(CaretPos(b), 159);
    b.SyncView(&a, INT_MIN);
    EXPECT_EQ(CaretPos(b), 0);
}

TEST_F(CaretSync, SelectionIsCopiedShiftedAndLimited)
{
    a.SetSelStart(10);
    a.NewSelection(10, 20);
    b.SyncView(&a, 5);
    EXPECT_EQ(b.RawSelStart(), 15);
    EXPECT_EQ(b.RawSelEnd(), 25);

    b.SyncView(&a, INT_MAX - 5);
    EXPECT_EQ(b.RawSelStart(), 159);
    EXPECT_EQ(b.RawSelEnd(), 159);

    a.ResetSelection(true);
    b.SyncView(&a, 0);
    EXPECT_EQ(b.SelCount(), 0);
}

TEST_F(CaretSync, HiddenCaretSyncsTheTopLeftPosition)
{
    TTestEditor big;
    ShowWith(big, 1600);
    a.SetSelStart(0);
    a.SetTopRow(40);  // caret cell out of view; row 40 starts at 608
    big.SyncView(&a, 32);
    EXPECT_EQ(big.TopRow(), big.GetRow(640));
}

TEST_F(CaretSync, HiddenCaretSyncsFromTheTopLeftCellOfAScrolledSource)
{
    TTestEditor big;
    ShowWith(big, 1600);
    TTestEditor narrow;
    ShowWith(narrow, 1600, 300, 300);
    narrow.SetSelStart(0);
    narrow.SetTopRow(40);
    narrow.SetLeftCol(10);  // byte 4 of each row is the first column shown
    ASSERT_EQ(narrow.LeftCol(), 10);
    ASSERT_EQ(narrow.TopRow(), 40);
    ASSERT_EQ(big.Col(), 2);
    big.SyncView(&narrow, 32);
    // Row 40 starts at 608: the top-left cell is byte 612, plus 32 is 644.
    EXPECT_EQ(big.Col(), big.GetCursorAtPos(644, false).X);
    EXPECT_EQ(big.Col(), 10);
}

// An editor without data follows too: every position is limited to 0.
TEST_F(CaretSync, AnEditorWithoutDataTakesTheColumnAndTheFirstCell)
{
    TTestEditor empty;
    ShowWith(empty, 0, 300, 300);
    TTestEditor narrow;
    ShowWith(narrow, 1600, 300, 300);
    ASSERT_GT(empty.MaxLeftCol(), 10);

    // The source's caret is shown, in the character field: the first
    // character cell, scrolled into view.
    narrow.SetSelStart(20);
    narrow.SetInCharField(true);
    ASSERT_TRUE(narrow.InCharField());
    empty.SyncView(&narrow, 0);
    EXPECT_EQ(GridCoord(empty.Col(), empty.Row()), GridCoord(35, 2));
    const TRect first = empty.CellRect(35, 2);
    EXPECT_EQ(first.Right - first.Left, empty.ColWidths(35)) << "the cell is shown";

    // Its caret is scrolled away: the left column is the source's, the caret
    // goes to the first digit of row 2.
    empty.MoveColRow(2, 2, true, true);
    narrow.SetInCharField(false);
    narrow.SetTopRow(40);
    narrow.SetLeftCol(10);
    ASSERT_EQ(narrow.LeftCol(), 10);
    empty.SyncView(&narrow, 3);
    EXPECT_EQ(empty.LeftCol(), 10);
    EXPECT_EQ(empty.TopRow(), 2);
    EXPECT_EQ(GridCoord(empty.Col(), empty.Row()), GridCoord(2, 2));
}

// Steps that leave the caret where it is notify nothing; neither does the
// clearing of the selection.
TEST_F(CaretSync, ClearingTheSelectionNotifiesNothing)
{
    TTestEditor big;
    ShowWith(big, 1600);
    int events = 0;
    big.SetOnSelectionChanged([&](QObject*) { ++events; });
    a.SetSelStart(0);
    a.SetTopRow(40);  // the caret is scrolled away; row 40 starts at 608
    big.MoveColRow(4, 2, true, true);  // the column of byte 609
    big.NewSelection(3, 5);
    Pump();
    events = 0;
    big.SyncView(&a, 1);
    ASSERT_EQ(big.TopRow(), big.GetRow(609));
    ASSERT_EQ(big.Col(), 4);
    EXPECT_EQ(big.SelPosition(), -1);
    EXPECT_EQ(big.PendingSelectionChanges(), 0);
    Pump();
    EXPECT_EQ(events, 0);
}

TEST_F(CaretSync, SyncingBackFromAHandlerStops)
{
    TTestEditor c;
    ShowWith(c, 1600);
    int nested = 0;
    c.SetOnTopLeftChanged([&](QObject*) {
        ++nested;
        a.SyncView(&c, 0);
    });
    a.SetSelStart(530);
    a.SetTopRow(30);
    c.SyncView(&a, 0);
    EXPECT_EQ(nested, 1) << "the target scrolled and its handler ran";
    EXPECT_EQ(c.TopRow(), 30);
    EXPECT_EQ(CaretPos(c), 530);
    EXPECT_EQ(a.TopRow(), 30) << "the source is not synced back while it is the source";
    EXPECT_EQ(CaretPos(a), 530);
}

} // namespace
