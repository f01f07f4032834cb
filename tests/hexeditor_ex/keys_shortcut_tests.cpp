// Ctrl shortcuts with exact shift states, wheel zoom at its limits, and the
// double click that selects a byte its release must not clear.
#include "ex_support.h"
#include "fake_clipboard.h"
#include "hexeditor/ex/wqhclipformats.h"
#include "support/fakes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

class Ed : public TWQHexEditorEx {
public:
    using TWQHexEditorEx::CellRect;
};

class ExKeys : public ::testing::Test {
protected:
    // Declared before the control, which asks the clipboard when it goes.
    FakeClipboard clip;
    ScopedFakeClipboard useClip{clip};
    Ed ed;
    void SetUp() override
    {
        SetKeyStateSource([](int) { return false; });
        Load(ed, Iota(64));
    }
    void TearDown() override { SetKeyStateSource({}); }
    std::uint16_t Press(std::uint16_t key, TShiftState shift)
    {
        ed.KeyDown(key, shift);
        return key;
    }
};

TEST_F(ExKeys, CtrlASelectsAll)
{
    EXPECT_EQ(Press('A', ssCtrl), 'A') << "the key code stays";
    EXPECT_EQ(ed.SelStart(), 0);
    EXPECT_EQ(ed.SelEnd(), 63);
}

TEST_F(ExKeys, ShiftStateMustMatchExactly)
{
    Press('A', ssCtrl | ssAlt);
    Press('A', ssCtrl | ssLeft);
    EXPECT_EQ(ed.SelCount(), 0);
    Put(ed, 0, 0xEE);
    EXPECT_EQ(Press('Z', ssCtrl | ssAlt), 'Z');
    EXPECT_EQ(ed.GetDataAt(0), 0xEE) << "Ctrl+Alt+Z does nothing";
    Press('Z', ssCtrl | ssShift | ssAlt);
    EXPECT_EQ(ed.GetDataAt(0), 0xEE);
}

TEST_F(ExKeys, CtrlZUndoesAndCtrlShiftZRedoes)
{
    Press('Z', ssCtrl);  // nothing to undo: nothing happens
    EXPECT_EQ(DataOf(ed), Iota(64));
    Put(ed, 3, 0xEE);
    EXPECT_EQ(Press('Z', ssCtrl), 'Z');
    EXPECT_EQ(ed.GetDataAt(3), 3);
    EXPECT_EQ(Press('Z', ssCtrl | ssShift), 'Z');
    EXPECT_EQ(ed.GetDataAt(3), 0xEE);
    Press('Z', ssCtrl | ssShift);  // nothing to redo
    EXPECT_EQ(ed.GetDataAt(3), 0xEE);
}

TEST_F(ExKeys, ClipboardKeysDoNothingWhileTheClipboardRefuses)
{
    clip.getResult = CLIPBRD_E_CANT_OPEN;
    ASSERT_FALSE(ed.CanCopy());
    ASSERT_FALSE(ed.CanCut());
    ASSERT_FALSE(ed.CanPaste());
    EXPECT_EQ(Press('C', ssCtrl), 'C') << "the key code stays";
    EXPECT_EQ(Press('X', ssCtrl), 'X');
    EXPECT_EQ(Press('V', ssCtrl), 'V');
    EXPECT_EQ(clip.sets, 0) << "nothing was put on the clipboard";
    EXPECT_GT(clip.gets, 0) << "Ctrl+V asked the clipboard";
    EXPECT_EQ(DataOf(ed), Iota(64));

    // With a selection the paste still finds nothing to take.
    Press('A', ssCtrl);
    ASSERT_FALSE(ed.CanPaste());
    Press('V', ssCtrl);
    EXPECT_EQ(DataOf(ed), Iota(64));
}

TEST_F(ExKeys, ClipboardKeysCopyCutAndPasteWithTheExactShiftState)
{
    ed.SetSelStart(2);
    ed.SetSelEnd(4);
    EXPECT_EQ(Press('C', ssCtrl | ssAlt), 'C');
    Press('C', ssCtrl | ssShift);
    Press('X', ssCtrl | ssAlt);
    EXPECT_EQ(clip.sets, 0) << "only Ctrl alone copies or cuts";
    EXPECT_EQ(DataOf(ed), Iota(64));

    EXPECT_EQ(Press('C', ssCtrl), 'C');
    EXPECT_EQ(clip.sets, 1);
    EXPECT_EQ(clip.Held(CF_FILECONTENTS()), QByteArray("\x02\x03\x04"));
    EXPECT_EQ(DataOf(ed), Iota(64)) << "a copy leaves the data alone";

    ed.SetSelStart(10);
    ed.SetSelEnd(11);
    EXPECT_EQ(Press('X', ssCtrl), 'X');
    EXPECT_EQ(clip.Held(CF_FILECONTENTS()), QByteArray("\x0a\x0b"));
    ASSERT_EQ(ed.DataSize(), 62);
    EXPECT_EQ(ed.GetDataAt(10), 12);

    // Paste at the caret with nothing selected: the cut bytes come back at 0.
    const TGridCoord first = ed.GetCursorAtPos(0, false);
    ed.MoveColRow(first.X, first.Y, true, true);
    ed.ResetSelection(true);
    ASSERT_EQ(ed.SelCount(), 0);
    ASSERT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 0);
    Press('V', ssCtrl | ssAlt);
    Press('V', ssCtrl | ssShift);
    EXPECT_EQ(ed.DataSize(), 62) << "only Ctrl alone pastes";
    EXPECT_EQ(Press('V', ssCtrl), 'V');
    ASSERT_EQ(ed.DataSize(), 64);
    EXPECT_EQ(ed.GetDataAt(0), 10);
    EXPECT_EQ(ed.GetDataAt(1), 11);
    EXPECT_EQ(ed.GetDataAt(2), 0);

    // Undo takes the paste back, then the cut.
    Press('Z', ssCtrl);
    EXPECT_EQ(ed.DataSize(), 62);
    Press('Z', ssCtrl);
    EXPECT_EQ(DataOf(ed), Iota(64));
}

TEST_F(ExKeys, ReadOnlyViewCopiesButNeverCutsOrPastes)
{
    ed.SetSelStart(0);
    ed.SetSelEnd(0);
    Press('C', ssCtrl);  // something to paste
    ASSERT_TRUE(ed.CanPaste());
    ed.SetReadOnlyView(true);
    ed.SetSelStart(5);
    ed.SetSelEnd(6);
    Press('X', ssCtrl);
    Press('V', ssCtrl);
    EXPECT_EQ(DataOf(ed), Iota(64));
    EXPECT_EQ(clip.sets, 1);
    Press('C', ssCtrl);
    EXPECT_EQ(clip.sets, 2);
    EXPECT_EQ(clip.Held(CF_FILECONTENTS()), QByteArray("\x05\x06"));
}

TEST_F(ExKeys, ARefusedCopyThroughTheKeyboardIsReportedAndChangesNothing)
{
    testsupport::ScopedPlatformFakes fakes;
    clip.setResult = CLIPBRD_E_CANT_OPEN;
    ed.SetSelStart(1);
    ed.SetSelEnd(3);
    QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::ControlModifier, QStringLiteral("\x18"));
    QApplication::sendEvent(&ed, &x);
    EXPECT_EQ(clip.sets, 1);
    EXPECT_EQ(fakes.ui.exceptions.size(), 1u) << "the failure went to the exception box";
    EXPECT_EQ(DataOf(ed), Iota(64)) << "the cut stopped before the data changed";
    EXPECT_FALSE(ed.OwnsClipBoard());
}

TEST_F(ExKeys, CtrlWheelChangesBytesPerRowWithinOneTo256)
{
    ed.SetBytesPerRow(2);
    EXPECT_TRUE(ed.DoMouseWheelDown(ssCtrl, 0, 0));
    EXPECT_EQ(ed.BytesPerRow(), 1);
    const int row = ed.Row();
    EXPECT_TRUE(ed.DoMouseWheelDown(ssCtrl, 0, 0));
    EXPECT_EQ(ed.BytesPerRow(), 1) << "not below 1";
    EXPECT_EQ(ed.Row(), row + 1) << "the wheel went on to the grid";

    Load(ed, Iota(1024));
    ed.SetBytesPerRow(255);
    EXPECT_TRUE(ed.DoMouseWheelUp(ssCtrl, 0, 0));
    EXPECT_EQ(ed.BytesPerRow(), 256);
    ed.SetRow(3);
    EXPECT_TRUE(ed.DoMouseWheelUp(ssCtrl, 0, 0));
    EXPECT_EQ(ed.BytesPerRow(), 256) << "not above 256";
    EXPECT_EQ(ed.Row(), 2) << "the wheel went on to the grid";
}

TEST_F(ExKeys, WheelZoomNeedsTheExactShiftStateAndTheSwitch)
{
    EXPECT_EQ(ed.BytesPerRow(), 16);
    ed.DoMouseWheelDown(ssCtrl | ssAlt, 0, 0);
    ed.DoMouseWheelDown(ssCtrl | ssLeft, 0, 0);
    ed.DoMouseWheelUp(0, 0, 0);
    EXPECT_EQ(ed.BytesPerRow(), 16);
    ed.SetZoomOnWheel(false);
    ed.DoMouseWheelDown(ssCtrl, 0, 0);
    EXPECT_EQ(ed.BytesPerRow(), 16);
}

TEST_F(ExKeys, CtrlShiftWheelChangesTheFontSizeFromTwoToAThousandPoints)
{
    ed.resize(600, 300);
    ed.show();
    // Through the control's window, which hands it on as the window system's wheel.
    auto wheel = [this](int notches) {
        const QPointF at = ed.viewport()->mapTo(&ed, QPoint(10, 10));
        QWheelEvent w(at, ed.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::ControlModifier | Qt::ShiftModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(ed.windowHandle(), &w);
    };
    const TGridCoord at = ed.GetCursorAtPos(40, false);
    ed.MoveColRow(at.X, at.Y, true, true);
    QFont f = ed.font();
    f.setPixelSize(5);  // 4 points
    ed.setFont(f);
    wheel(-1);
    EXPECT_EQ(ed.font().pixelSize(), 4);  // 3 points
    wheel(-1);
    EXPECT_EQ(ed.font().pixelSize(), 3);  // 2 points
    const int row = ed.Row();
    wheel(-1);
    EXPECT_EQ(ed.font().pixelSize(), 3) << "not below 2 points";
    EXPECT_EQ(ed.Row(), row + 1) << "the wheel went on to the grid";
    wheel(20);
    EXPECT_EQ(ed.font().pixelSize(), 29);  // 22 points

    f = ed.font();
    f.setPointSize(999);
    ed.setFont(f);
    wheel(1);
    EXPECT_EQ(ed.font().pointSize(), 1000);
    wheel(1);
    EXPECT_EQ(ed.font().pointSize(), 1000) << "not above 1000 points";
    EXPECT_EQ(ed.Row(), row) << "the wheel went on to the grid";
}

TEST_F(ExKeys, FontZoomRebuildsTheMetrics)
{
    ed.show();
    QFont f = ed.font();
    f.setPixelSize(12);
    ed.setFont(f);
    const int w = ed.ColWidths(2);
    for (int i = 0; i < 6; ++i)
        ed.DoMouseWheelUp(ssCtrl | ssShift, 0, 0);
    EXPECT_GT(ed.ColWidths(2), w);
}

TEST_F(ExKeys, AutoBytesPerRowIgnoresAndUnicodeRefusesOddCounts)
{
    ed.SetAutoBytesPerRow(true);
    const int bpr = ed.BytesPerRow();
    const int row = ed.Row();
    EXPECT_TRUE(ed.DoMouseWheelDown(ssCtrl, 0, 0));
    EXPECT_EQ(ed.BytesPerRow(), bpr);
    EXPECT_EQ(ed.Row(), row) << "handled as a zoom, not scrolled";
    ed.SetAutoBytesPerRow(false);
    ed.SetBytesPerRow(16);
    ed.SetUnicodeCharacters(true);
    EXPECT_THROW(ed.DoMouseWheelDown(ssCtrl, 0, 0), EWQHexEditor);
    EXPECT_EQ(ed.BytesPerRow(), 16);
}

TEST_F(ExKeys, SmallWheelDeltasAddUpToOneStepPerNotch)
{
    ed.resize(600, 300);
    ed.show();
    auto wheel = [this](int delta) {
        QWheelEvent w(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(ed.viewport(), &w);
    };
    for (int i = 0; i < 3; ++i)
        wheel(30);
    EXPECT_EQ(ed.BytesPerRow(), 16) << "three quarters of a notch";
    wheel(30);
    EXPECT_EQ(ed.BytesPerRow(), 17);
    wheel(240);
    EXPECT_EQ(ed.BytesPerRow(), 19) << "two notches at once";
    wheel(-120);
    EXPECT_EQ(ed.BytesPerRow(), 18);
}

TEST_F(ExKeys, DoubleClickSelectsTheByteAndTheReleaseKeepsIt)
{
    ed.resize(700, 300);
    ed.show();
    const TGridCoord cell = ed.GetCursorAtPos(20, false);
    const TRect r = ed.CellRect(cell.X, cell.Y);
    ASSERT_GT(r.Width(), 0);
    const QPointF p(r.Left + 1, r.Top + 1);
    int dbl = 0;
    ed.SetOnDblClick([&](QObject*) { ++dbl; });
    auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent ev(type, p, ed.viewport()->mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(ed.viewport(), &ev);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(ed.SelStart(), 20);
    EXPECT_EQ(ed.SelEnd(), 20);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(ed.SelCount(), 1) << "the release did not clear the selection";
    EXPECT_EQ(ed.SelStart(), 20);
    // A later plain click on the selection clears it again.
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(ed.SelCount(), 0);
}

TEST_F(ExKeys, DoubleClickSelectsThePositionOfAnyPointUpToTheDataEnd)
{
    Load(ed, Iota(40)); // 16 bytes per row: rows 2, 3 and 4, the last one partly
    ed.SetShowRuler(true);
    ed.resize(1000, 300);
    ed.show();
    const auto at = [&](int col, int row) {
        const TRect r = ed.CellRect(col, row);
        EXPECT_GT(r.Width(), 1) << "cell " << col << ", " << row << " is on screen";
        return QPoint(r.Left + 1, r.Top + 1);
    };
    const auto dbl = [&](QPoint p) {
        ed.ResetSelection(false);
        ed.SetLastMousePos(p.x(), p.y());
        ed.DblClick();
        return ed.SelCount() == 1 ? ed.SelStart() : -1;
    };
    ASSERT_EQ(ed.BytesPerRow(), 16);
    ASSERT_GT(ed.CellRect(0, 0).Height(), 0) << "the ruler is shown";
    // The gutter's column 0 stands one byte before its row, column 1 on its first byte.
    EXPECT_EQ(dbl(at(0, 3)), 15);
    EXPECT_EQ(dbl(at(1, 3)), 16);
    EXPECT_EQ(dbl(at(0, 2)), 0) << "before the data: clamped to 0";
    // The ruler lies before the data in every column.
    EXPECT_EQ(dbl(at(0, 0)), 0);
    EXPECT_EQ(dbl(at(2 * 16 + 1, 0)), 0);
    EXPECT_EQ(dbl(at(2 * 16 + 3 + 15, 0)), 0);
    // A point on no cell converts from (-1, -1): clamped to 0 as well.
    EXPECT_EQ(dbl(QPoint(ed.viewport()->width() - 1, ed.viewport()->height() - 1)), 0);
    // Past the data nothing is selected, wherever the point lies.
    EXPECT_EQ(dbl(at(2 + 2 * 8, 4)), -1);
    EXPECT_EQ(dbl(at(0, 4)), 31);
    EXPECT_EQ(dbl(at(2 + 2 * 7, 4)), 39);
}

} // namespace
