// The Ctrl shortcuts under a keyboard layout of another script: the keys come
// to the control's window as the X11 platform reports them, with the Cyrillic
// letter and the native codes of the physical key.
#include "ex_support.h"
#include "fake_clipboard.h"
#include "hexeditor/window_input.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

using windowinput::LetterKey;

class ExKeysLayout : public ::testing::Test {
protected:
    // Declared before the control, which asks the clipboard when it goes.
    FakeClipboard clip;
    ScopedFakeClipboard useClip{clip};
    TWQHexEditorEx ed;
    void SetUp() override
    {
        SetKeyStateSource([](int) { return false; });
        ed.resize(700, 300);
        ed.show();
        ed.activateWindow();
        ed.setFocus();
        QCoreApplication::processEvents();
        Load(ed, Iota(64));
    }
    void TearDown() override { SetKeyStateSource({}); }
    // Russian layout: Я lies on keycode 52 (the Z key), Ф on 38 (the A key).
    void CtrlYa(Qt::KeyboardModifiers more = Qt::NoModifier)
    {
        const bool shift = more.testFlag(Qt::ShiftModifier);
        windowinput::KeyPress(&ed, LetterKey(u'я'), Qt::ControlModifier | more, QString(), 52,
                              shift ? 0x6f1 : 0x6d1);
    }
    void CtrlEf() { windowinput::KeyPress(&ed, LetterKey(u'ф'), Qt::ControlModifier, QString(), 38, 0x6c6); }
};

TEST_F(ExKeysLayout, CtrlZUndoesAndCtrlASelectsAllUnderARussianLayout)
{
    ASSERT_TRUE(ed.hasFocus());
    Put(ed, 3, 0xEE);
    CtrlYa();
    EXPECT_EQ(ed.GetDataAt(3), 3) << "Ctrl+Я undoes";
    CtrlYa(Qt::ShiftModifier);
    EXPECT_EQ(ed.GetDataAt(3), 0xEE) << "Ctrl+Shift+Я redoes";
    CtrlEf();
    EXPECT_EQ(ed.SelStart(), 0);
    EXPECT_EQ(ed.SelEnd(), 63);
}

TEST_F(ExKeysLayout, LatinLayoutShortcutsAreUnchanged)
{
    ASSERT_TRUE(ed.hasFocus());
    QWindow* window = windowinput::WindowOf(&ed);
    Put(ed, 3, 0xEE);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ed.GetDataAt(3), 3);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ed.GetDataAt(3), 0xEE);
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(ed.SelCount(), 64);
}

} // namespace
