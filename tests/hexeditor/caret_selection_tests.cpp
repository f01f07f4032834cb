// Selection operations, the selection-changed notification and view positions.
#include "caret_editor.h"
#include "support/fakes.h"

#include "hexeditor/wqhstrings.h"

#include <gtest/gtest.h>

using carettest::CaretPos;
using carettest::LoadBytes;
using carettest::Pump;
using carettest::TTestEditor;

namespace {

class CaretSelection : public ::testing::Test {
protected:
    void SetUp() override
    {
        ed.CreateEmptyFile(QString());
        LoadBytes(ed, 40);
        Pump();
        ed.SetOnSelectionChanged([this](QObject*) { ++events; });
    }

    void ExpectSelection(int start, int end)
    {
        EXPECT_EQ(ed.RawSelStart(), start);
        EXPECT_EQ(ed.RawSelEnd(), end);
        EXPECT_EQ(ed.SelCount(), end - start + 1);
    }

    void ExpectNoSelection()
    {
        EXPECT_EQ(ed.SelPosition(), -1);
        EXPECT_EQ(ed.RawSelStart(), -1);
        EXPECT_EQ(ed.RawSelEnd(), -1);
        EXPECT_EQ(ed.SelCount(), 0);
    }

    testsupport::ScopedPlatformFakes fakes;
    TTestEditor ed;
    int events = 0;
};

TEST_F(CaretSelection, StoredValuesAreLimitedToTheData)
{
    ed.SetSelection(90, 30, 90);
    EXPECT_EQ(ed.SelPosition(), 39);
    ExpectSelection(30, 39);

    ed.SetSelection(-7, -7, -7);
    ExpectNoSelection();

    // Each value is limited on its own.
    ed.SetSelection(5, -3, 90);
    EXPECT_EQ(ed.SelPosition(), 5);
    EXPECT_EQ(ed.RawSelStart(), -1);
    EXPECT_EQ(ed.RawSelEnd(), 39);
    ed.SetSelection(-1, 2, 4);
    EXPECT_EQ(ed.SelCount(), 0) << "the anchor alone tells whether there is a selection";
    EXPECT_EQ(ed.RawSelStart(), 2);
}

TEST_F(CaretSelection, BackwardSelectionKeepsItsAnchorAsSelStart)
{
    ed.NewSelection(9, 5);
    ExpectSelection(5, 9);
    EXPECT_EQ(ed.SelStart(), 9);
    EXPECT_EQ(ed.SelEnd(), 5);
    EXPECT_FALSE(ed.IsSelected(4));
    EXPECT_TRUE(ed.IsSelected(5));
    EXPECT_TRUE(ed.IsSelected(9));
    EXPECT_FALSE(ed.IsSelected(10));

    ed.NewSelection(5, 9);
    EXPECT_EQ(ed.SelStart(), 5);
    EXPECT_EQ(ed.SelEnd(), 9);
}

TEST_F(CaretSelection, WithoutSelectionStartAndEndAreTheCaret)
{
    ed.MoveColRow(2 + 2 * 7, 2, true, true);
    ExpectNoSelection();
    EXPECT_EQ(ed.SelStart(), 7);
    EXPECT_EQ(ed.SelEnd(), 7);
    EXPECT_FALSE(ed.IsSelected(7));
}

TEST_F(CaretSelection, ResetSelectionEndsSelectingAndForgetsTheBegin)
{
    ed.NewSelection(3, 8);
    ed.SetSelecting(true);
    ed.ResetSelection(true);
    ExpectNoSelection();
    EXPECT_FALSE(ed.IsSelecting());
    EXPECT_EQ(ed.SelBeginPosition(), -1);
}

TEST_F(CaretSelection, InvalidSelStartRaisesAndChangesNothing)
{
    ed.NewSelection(2, 4);
    for (int bad : {-1, 40, 1000}) {
        try {
            ed.SetSelStart(bad);
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const EWQHexEditor& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(wqhstr::InvalidSelectionStart));
        }
        ExpectSelection(2, 4);
    }
}

TEST_F(CaretSelection, InvalidSelEndRaisesAndChangesNothing)
{
    ed.NewSelection(2, 4);
    for (int bad : {-2, 40}) {
        try {
            ed.SetSelEnd(bad);
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const EWQHexEditor& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(wqhstr::InvalidSelectionEnd));
        }
        ExpectSelection(2, 4);
    }
}

TEST_F(CaretSelection, SelStartMovesTheCaretInItsFieldAndClears)
{
    ed.NewSelection(2, 4);
    ed.SetSelStart(21);
    ExpectNoSelection();
    EXPECT_EQ(CaretPos(ed), 21);
    EXPECT_EQ(ed.Col(), 2 + 2 * 5);
    EXPECT_EQ(ed.Row(), 3);

    ed.SetInCharField(true);
    ed.SetSelStart(3);
    EXPECT_EQ(ed.Col(), 35 + 3);
    EXPECT_TRUE(ed.InCharField());
}

TEST_F(CaretSelection, SelEndSelectsFromTheCaret)
{
    ed.SetSelStart(3);
    ed.SetSelEnd(8);
    ExpectSelection(3, 8);
    EXPECT_EQ(ed.SelStart(), 3);
    EXPECT_EQ(ed.SelEnd(), 8);

    ed.SetSelEnd(-1);
    ExpectNoSelection();
}

TEST_F(CaretSelection, SelCountSetsSelEndFromSelStart)
{
    ed.SetSelStart(3);
    ed.SetSelCount(4);
    ExpectSelection(3, 6);

    // A count of 0 ends one before SelStart: the caret's byte and that one.
    ed.SetSelCount(0);
    ExpectSelection(2, 3);
    EXPECT_EQ(ed.SelStart(), 3);

    // An end below -1 is refused and changes nothing; -1 clears.
    try {
        ed.SetSelCount(-5);
        ADD_FAILURE() << "no exception";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), QString::fromUtf8(wqhstr::InvalidSelectionEnd));
    }
    ExpectSelection(2, 3);
    ed.SetSelCount(-3);
    ExpectNoSelection();
}

TEST_F(CaretSelection, SelCountSelectsFromTheCaretAndStopsAtTheData)
{
    // Backward selection: the anchor 20 is SelStart, the caret sits at 5.
    ed.SetSelStart(5);
    ed.NewSelection(20, 10);
    ed.SetSelCount(3);
    ExpectSelection(5, 22);
    EXPECT_EQ(ed.SelStart(), 5);

    ed.SetSelCount(1000);
    ExpectSelection(5, 39);
    ed.SetSelCount(INT_MAX);
    ExpectSelection(5, 39);
}

TEST_F(CaretSelection, SelectAllPutsTheCaretOnTheLastPlace)
{
    ed.SelectAll();
    ExpectSelection(0, 39);
    EXPECT_EQ(CaretPos(ed), 39);

    ed.SetInsertMode(true);
    ed.SelectAll();
    ExpectSelection(0, 39);
    EXPECT_EQ(CaretPos(ed), 40) << "the append position";
}

TEST_F(CaretSelection, SelectAllWithoutDataDoesNothing)
{
    TTestEditor empty;
    empty.CreateEmptyFile(QString());
    empty.SelectAll();
    EXPECT_EQ(empty.SelCount(), 0);
    EXPECT_EQ(empty.SelPosition(), -1);
}

TEST_F(CaretSelection, InCharFieldSwitchesFieldAtTheSamePosition)
{
    ed.SetSelStart(18);
    EXPECT_FALSE(ed.InCharField());
    ed.SetInCharField(true);
    EXPECT_TRUE(ed.InCharField());
    EXPECT_EQ(ed.Col(), 35 + 2);
    EXPECT_EQ(CaretPos(ed), 18);
    ed.SetInCharField(false);
    EXPECT_EQ(ed.Col(), 2 + 2 * 2);
    EXPECT_EQ(CaretPos(ed), 18);

    TTestEditor empty;
    empty.CreateEmptyFile(QString());
    empty.SetInCharField(true);
    EXPECT_FALSE(empty.InCharField()) << "no data, no character field";
}

TEST_F(CaretSelection, CurSelWithoutSelectionIsTheCaretByte)
{
    ed.SetSelStart(4);
    int start = -9, end = -9, col = -9, row = -9;
    ed.InternalGetCurSel(start, end, col, row);
    EXPECT_EQ(start, 4);
    EXPECT_EQ(end, 5);
    EXPECT_EQ(col, ed.Col());
    EXPECT_EQ(row, ed.Row());
}

TEST_F(CaretSelection, CurSelWithSelectionIsExclusiveAndCutsChangeMarks)
{
    ed.SetSelStart(30);
    ed.SetInCharField(true);
    ed.NewSelection(18, 22);
    ed.SetChanged(1, true);
    ed.SetChanged(25, true);
    int start = -9, end = -9, col = -9, row = -9;
    ed.InternalGetCurSel(start, end, col, row);
    EXPECT_EQ(start, 18);
    EXPECT_EQ(end, 23);
    EXPECT_EQ(GridCoord(col, row), ed.GetCursorAtPos(18, true)) << "the first byte in the caret's field";
    EXPECT_TRUE(ed.HasChanged(1));
    EXPECT_FALSE(ed.HasChanged(25));
}

// ---- notification ----

TEST_F(CaretSelection, TenChangesInOneTurnGiveOneEvent)
{
    Pump();
    events = 0;
    for (int i = 0; i < 10; ++i)
        ed.NewSelection(i, i + 3);
    EXPECT_EQ(events, 0) << "the event waits for the event loop";
    Pump();
    EXPECT_EQ(events, 1);
    EXPECT_EQ(ed.PendingSelectionChanges(), 0);

    ed.NewSelection(1, 2);
    Pump();
    EXPECT_EQ(events, 2) << "the next turn notifies again";
}

TEST_F(CaretSelection, CaretMovesNotifyToo)
{
    Pump();
    events = 0;
    ed.MoveColRow(4, 2, true, true);
    ed.MoveColRow(6, 2, true, true);
    Pump();
    EXPECT_EQ(events, 1);
}

TEST_F(CaretSelection, SelEndSelectingNotifiesButClearingDoesNot)
{
    ed.SetSelStart(3);
    Pump();
    events = 0;
    ed.SetSelEnd(8);
    Pump();
    EXPECT_EQ(events, 1);

    ed.SetSelEnd(-1);
    Pump();
    ExpectNoSelection();
    EXPECT_EQ(events, 1) << "clearing through SelEnd is silent";

    ed.SetSelCount(4);
    Pump();
    EXPECT_EQ(events, 2);
    ed.SetSelCount(-3);  // SelEnd := -1
    Pump();
    ExpectNoSelection();
    EXPECT_EQ(events, 2) << "clearing through SelCount is silent";
}

TEST_F(CaretSelection, FailingHandlerIsReportedAndTheNextChangeNotifiesAgain)
{
    Pump();
    int calls = 0;
    ed.SetOnSelectionChanged([&](QObject*) {
        ++calls;
        throw EWQHexEditor(QStringLiteral("handler failed"));
    });
    ed.NewSelection(1, 2);
    Pump();
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_EQ(fakes.ui.exceptions[0], QStringLiteral("handler failed"));
    EXPECT_EQ(ed.PendingSelectionChanges(), 0);

    ed.NewSelection(3, 4);
    Pump();
    EXPECT_EQ(calls, 2);
}

TEST_F(CaretSelection, WithoutHandlerTheCountStillResets)
{
    ed.SetOnSelectionChanged({});
    ed.NewSelection(1, 2);
    EXPECT_GT(ed.PendingSelectionChanges(), 0);
    Pump();
    EXPECT_EQ(ed.PendingSelectionChanges(), 0);
}

TEST_F(CaretSelection, NoNotificationWhileLoading)
{
    Pump();
    events = 0;
    ed.SetLoading(true);
    ed.NewSelection(1, 2);
    EXPECT_EQ(ed.PendingSelectionChanges(), 0);
    Pump();
    EXPECT_EQ(events, 0);
    ed.SetLoading(false);
}

} // namespace
