// Faults seen while using the control as the main window's hex view: each
// case replays what the user did there.
#include "caret_editor.h"
#include "support/fakes.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

using carettest::CaretPos;
using carettest::CellPoint;
using carettest::LoadBytes;
using carettest::Pump;
using carettest::ScopedKeys;
using carettest::TTestEditor;

namespace {

class WindowUse : public ::testing::Test {
protected:
    void Show(int dataSize, int width, int height)
    {
        ed.resize(width, height);
        ed.show();
        Pump();
        LoadBytes(ed, dataSize);
        Pump();
    }

    QPoint Hex(int pos, double fraction = 0.25)
    {
        const TGridCoord c = ed.GetCursorAtPos(pos, false);
        return CellPoint(ed, c.X, c.Y, fraction);
    }

    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(&ed, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(&ed, &release);
    }

    testsupport::ScopedPlatformFakes fakes;
    ScopedKeys keys;
    TTestEditor ed;
};

// A drag below the window scrolls the rows in; the button comes up over the
// row that is only partly shown at the bottom. The release must not throw
// the selection away just because the button is already up.
TEST_F(WindowUse, ReleaseOnThePartlyShownRowKeepsTheDragSelection)
{
    // A height that shows eight full data rows and half of the next one,
    // whatever the font makes a row.
    Show(4096, 760, 300);
    const int rowH = ed.RowHeights(2);
    ASSERT_GE(rowH, 2);
    const int frame = ed.height() - ed.ClientHeight();
    ed.resize(760, ed.CellRect(2, 2).Top + 8 * rowH + rowH / 2 + frame);
    Pump();
    const int lastFull = ed.TopRow() + ed.VisibleRowCount() - 1;
    const TRect partial = ed.CellRect(2, lastFull + 1);
    ASSERT_GT(ed.ClientHeight(), partial.Top) << "a row is partly shown";
    ASSERT_LT(ed.ClientHeight(), partial.Top + rowH);

    keys.held.insert(VK_LBUTTON);
    ed.MouseDown(mbLeft, ssLeft, Hex(3).x(), Hex(3).y());
    ASSERT_EQ(ed.GridState(), gsSelecting);
    const int x = Hex(3).x();
    // Inside the shown part of the partial row.
    const int y = partial.Top + (ed.ClientHeight() - partial.Top - 1) / 2;
    ed.SetLastMousePos(x, y);
    ed.MouseMove(ssLeft, x, y);
    for (int i = 0; i < 5; ++i)
        ed.WMTimer();
    ASSERT_GT(ed.TopRow(), 2) << "the ticks scrolled";
    const int end = CaretPos(ed);
    ASSERT_GT(end, 3);
    ASSERT_EQ(ed.RawSelStart(), 3);

    keys.held.erase(VK_LBUTTON);
    ed.MouseUp(mbLeft, 0, x, y);
    EXPECT_EQ(ed.GridState(), gsNormal);
    ASSERT_NE(ed.SelPosition(), -1) << "the selection survived the release";
    EXPECT_EQ(ed.RawSelStart(), 3);
    EXPECT_EQ(ed.RawSelEnd(), CaretPos(ed));
    EXPECT_GE(CaretPos(ed), end) << "the release cell ends the selection";
}

// A chip image fills whole rows, so the append position has a row of its
// own; leaving insert mode takes that row away and must still put the caret
// on the last byte, not on the first byte of the last row.
TEST_F(WindowUse, LeavingInsertModeAtTheEndOfWholeRowsGoesToTheLastByte)
{
    Show(64, 760, 300);
    Key(Qt::Key_Insert);
    ASSERT_TRUE(ed.InsertMode());
    Key(Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(CaretPos(ed), 64);
    ASSERT_EQ(ed.Row(), 6) << "the append position's own row";

    Key(Qt::Key_Insert);
    ASSERT_FALSE(ed.InsertMode());
    EXPECT_EQ(ed.RowCount(), 6);
    EXPECT_EQ(CaretPos(ed), 63);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), ed.GetCursorAtPos(63, false));

    // The same from the character field.
    Key(Qt::Key_Insert);
    Key(Qt::Key_Tab);
    Key(Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(CaretPos(ed), 64);
    ASSERT_TRUE(ed.InCharField());
    Key(Qt::Key_Insert);
    EXPECT_EQ(GridCoord(ed.Col(), ed.Row()), ed.GetCursorAtPos(63, true));
}

} // namespace
