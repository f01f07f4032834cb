// The standard edit actions with and without focus, and the offset menu
// that opens over the gutter and the header rows only.
#include "ex_support.h"
#include "fake_clipboard.h"
#include "hexeditor/ex/wqhclipformats.h"
#include "hexeditor/ex/wqhpopupmenu.h"
#include "hexeditor/wqhactions.h"
#include "hexeditor/wqhundo.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <gtest/gtest.h>

namespace {


// A host action that handles every target (the library's default path).
class HostAction : public TWQHBasicAction {
public:
    int updates = 0, runs = 0;
    bool handles = true;
    bool HandlesTarget(QObject*) override { return handles; }
    void UpdateTarget(QObject*) override { ++updates; }
    void ExecuteTarget(QObject*) override { ++runs; }
};

class Menu : public TWQHPopupMenu {
public:
    std::vector<QPoint> opened;
    void Popup(int X, int Y) override { opened.emplace_back(X, Y); }
};

class ExActions : public ::testing::Test {
protected:
    // Declared before the control, which asks the clipboard when it goes.
    FakeClipboard clip;
    ScopedFakeClipboard useClip{clip};
    TWQHexEditorEx ed;
    void SetUp() override
    {
        Load(ed, Iota(32));
        ed.resize(600, 300);
        ed.show();
        QApplication::setActiveWindow(&ed);
        ed.setFocus();
        QApplication::processEvents();
    }
    bool Update(TWQHBasicAction& a) { return ed.UpdateAction(a); }
};

TEST_F(ExActions, UpdateEnablesEditActionsByWhatTheControlCanDo)
{
    if (!ed.Focused())
        GTEST_SKIP() << "this platform gives no focus";
    TWQHBasicAction undo(akEditUndo), all(akEditSelectAll), cut(akEditCut), del(akEditDelete), copy(akEditCopy),
        paste(akEditPaste), other(akEditOther);
    EXPECT_TRUE(Update(undo));
    EXPECT_FALSE(undo.Enabled());
    Put(ed, 0, 0xAA);
    EXPECT_TRUE(Update(undo));
    EXPECT_TRUE(undo.Enabled());
    EXPECT_TRUE(Update(all));
    EXPECT_TRUE(all.Enabled());
    // Nothing can be cut, copied or pasted while the clipboard refuses.
    clip.getResult = CLIPBRD_E_CANT_OPEN;
    EXPECT_TRUE(Update(cut));
    EXPECT_FALSE(cut.Enabled());
    EXPECT_TRUE(Update(del));
    EXPECT_FALSE(del.Enabled());
    EXPECT_TRUE(Update(copy));
    EXPECT_FALSE(copy.Enabled());
    EXPECT_TRUE(Update(paste));
    EXPECT_FALSE(paste.Enabled());
    // A selection and bytes on a clipboard that answers enable all four.
    clip.getResult = S_OK;
    ed.SetSelStart(1);
    ed.SetSelEnd(2);
    ASSERT_TRUE(ed.CBCopy());
    for (TWQHBasicAction* a : {&cut, &del, &copy, &paste}) {
        EXPECT_TRUE(Update(*a));
        EXPECT_TRUE(a->Enabled());
    }
    ed.SetReadOnlyView(true);
    for (TWQHBasicAction* a : {&cut, &del, &paste}) {
        EXPECT_TRUE(Update(*a));
        EXPECT_FALSE(a->Enabled()) << "read-only view";
    }
    EXPECT_TRUE(Update(copy));
    EXPECT_TRUE(copy.Enabled());
    ed.SetReadOnlyView(false);
    other.SetEnabled(true);
    EXPECT_FALSE(Update(other));
    EXPECT_TRUE(other.Enabled()) << "other edit actions are left alone";
    Load(ed, {});
    EXPECT_TRUE(Update(all));
    EXPECT_FALSE(all.Enabled());
    HostAction host;
    EXPECT_TRUE(Update(host));
    EXPECT_EQ(host.updates, 1);
    host.handles = false;
    EXPECT_FALSE(Update(host));
    EXPECT_EQ(host.updates, 1);
}

TEST_F(ExActions, UpdateAnswersFalseWithoutFocus)
{
    ed.clearFocus();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    other.setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(ed.Focused());
    TWQHBasicAction undo(akEditUndo);
    undo.SetEnabled(true);
    Put(ed, 0, 0xAA);
    EXPECT_FALSE(Update(undo));
    EXPECT_TRUE(undo.Enabled()) << "nothing set";
    HostAction host;
    EXPECT_FALSE(Update(host));
    EXPECT_EQ(host.updates, 0);
}

TEST_F(ExActions, ExecuteRunsTheEditActionsWhileTheClipboardRefuses)
{
    clip.getResult = CLIPBRD_E_CANT_OPEN;
    TWQHBasicAction all(akEditSelectAll), del(akEditDelete), undo(akEditUndo), cut(akEditCut), copy(akEditCopy),
        paste(akEditPaste);
    EXPECT_FALSE(ed.ExecuteAction(cut)) << "nothing selected";
    EXPECT_FALSE(ed.ExecuteAction(copy));
    EXPECT_FALSE(ed.ExecuteAction(paste));
    EXPECT_EQ(clip.sets, 0);
    EXPECT_TRUE(ed.ExecuteAction(all));
    EXPECT_EQ(ed.SelCount(), 32);
    EXPECT_FALSE(ed.ExecuteAction(paste)) << "the clipboard gives nothing";
    EXPECT_EQ(DataOf(ed), Iota(32));
    ed.SetSelStart(4);
    ed.SetSelEnd(7);
    EXPECT_TRUE(ed.ExecuteAction(del));
    EXPECT_EQ(ed.DataSize(), 28);
    EXPECT_EQ(ed.GetDataAt(4), 8);
    EXPECT_EQ(ed.UndoStorage().UndoKind(), ufKindByteRemoved);
    EXPECT_TRUE(ed.ExecuteAction(undo));
    EXPECT_EQ(DataOf(ed), Iota(32));
    EXPECT_FALSE(ed.ExecuteAction(undo)) << "nothing left to undo";
    EXPECT_EQ(clip.sets, 0) << "delete does not touch the clipboard";
    HostAction host;
    EXPECT_TRUE(ed.ExecuteAction(host));
    EXPECT_EQ(host.runs, 1);
}

TEST_F(ExActions, ExecuteCopiesCutsAndPastesThroughTheClipboard)
{
    TWQHBasicAction undo(akEditUndo), cut(akEditCut), copy(akEditCopy), paste(akEditPaste);
    ed.SetSelStart(4);
    ed.SetSelEnd(6);
    EXPECT_TRUE(ed.ExecuteAction(copy));
    EXPECT_EQ(clip.Held(CF_FILECONTENTS()), QByteArray("\x04\x05\x06"));
    EXPECT_EQ(DataOf(ed), Iota(32));

    ed.SetSelStart(0);
    ed.SetSelEnd(1);
    EXPECT_TRUE(ed.ExecuteAction(cut));
    EXPECT_EQ(clip.Held(CF_FILECONTENTS()), QByteArray("\x00\x01", 2));
    ASSERT_EQ(ed.DataSize(), 30);
    EXPECT_EQ(ed.GetDataAt(0), 2);

    // The paste replaces the selection: bytes 2 and 3 give way to 0 and 1.
    ed.SetSelStart(0);
    ed.SetSelEnd(1);
    EXPECT_TRUE(ed.ExecuteAction(paste));
    Bytes want = Iota(32);
    want.erase(want.begin() + 2, want.begin() + 4);
    EXPECT_EQ(DataOf(ed), want);

    EXPECT_TRUE(ed.ExecuteAction(undo));
    EXPECT_EQ(ed.DataSize(), 30);
    EXPECT_EQ(ed.GetDataAt(0), 2);
    EXPECT_TRUE(ed.ExecuteAction(undo));
    EXPECT_EQ(DataOf(ed), Iota(32));
    EXPECT_FALSE(ed.ExecuteAction(undo)) << "nothing left to undo";
    EXPECT_EQ(clip.sets, 2) << "one object per copy or cut";
}

class ExPopup : public ExActions {
protected:
    Menu menu;
    bool eventHandles = false;
    int events = 0;
    void SetUp() override
    {
        ExActions::SetUp();
        ed.SetShowRuler(true);
        ed.SetOffsetPopupMenu(&menu);
        ed.SetOnContextPopup([this](QObject*, TPoint, bool& Handled) {
            ++events;
            Handled = eventHandles;
        });
    }
    bool Popup(int X, int Y)
    {
        bool handled = false;
        ed.DoContextPopup(TPoint{X, Y}, handled);
        return handled;
    }
    int GutterEnd() const { return ed.ColWidths(0) + ed.ColWidths(1); }
    int HeaderEnd() const { return ed.RowHeights(0) + ed.RowHeights(1); }
};

TEST_F(ExPopup, OpensOverTheGutterAndTheHeaderOnly)
{
    ASSERT_GT(GutterEnd(), 2);
    EXPECT_TRUE(Popup(GutterEnd() - 1, HeaderEnd() + 20));
    ASSERT_EQ(menu.opened.size(), 1u);
    const QPoint screen = ed.viewport()->mapToGlobal(QPoint(GutterEnd() - 1, HeaderEnd() + 20));
    EXPECT_EQ(menu.opened[0], screen);
    EXPECT_EQ(menu.PopupComponent(), &ed);
    EXPECT_TRUE(Popup(GutterEnd() + 30, HeaderEnd() - 1));
    EXPECT_TRUE(Popup(0, 0));
    EXPECT_EQ(menu.opened.size(), 3u);
    EXPECT_FALSE(Popup(GutterEnd(), HeaderEnd())) << "over the data";
    EXPECT_FALSE(Popup(-1, -1)) << "a keyboard request";
    EXPECT_FALSE(Popup(-5, HeaderEnd() + 5)) << "left of the control";
    EXPECT_EQ(menu.opened.size(), 3u);
    EXPECT_EQ(events, 6) << "the event is asked first every time";
}

TEST_F(ExPopup, RightToLeftOpensOverTheGutterAtTheRightEdge)
{
    ed.setLayoutDirection(Qt::RightToLeft);
    const int right = ed.ClientWidth() - 1;
    ASSERT_GT(right, GutterEnd() + 30);
    EXPECT_TRUE(Popup(right, HeaderEnd() + 20)) << "the gutter's outer edge";
    EXPECT_TRUE(Popup(right - (GutterEnd() - 1), HeaderEnd() + 20)) << "the gutter's inner edge";
    EXPECT_FALSE(Popup(right - GutterEnd(), HeaderEnd() + 20)) << "the first data column";
    EXPECT_FALSE(Popup(1, HeaderEnd() + 20)) << "the left edge holds characters";
    ASSERT_EQ(menu.opened.size(), 2u);
    EXPECT_EQ(menu.opened[0], ed.viewport()->mapToGlobal(QPoint(right, HeaderEnd() + 20)))
        << "the menu opens where the pointer is";
}

TEST_F(ExPopup, HandledEventOrAutoPopupOffOrNoMenuOpensNothing)
{
    eventHandles = true;
    EXPECT_TRUE(Popup(1, HeaderEnd() + 5));
    EXPECT_TRUE(menu.opened.empty());
    eventHandles = false;
    menu.SetAutoPopup(false);
    EXPECT_FALSE(Popup(1, HeaderEnd() + 5));
    EXPECT_TRUE(menu.opened.empty());
    menu.SetAutoPopup(true);
    ed.SetOffsetPopupMenu(nullptr);
    EXPECT_FALSE(Popup(1, HeaderEnd() + 5));
    EXPECT_TRUE(menu.opened.empty());
}

TEST_F(ExPopup, KeyboardRequestThroughQtNamesNoPoint)
{
    TPoint seen{0, 0};
    ed.SetOnContextPopup([&](QObject*, TPoint p, bool&) { seen = p; });
    QContextMenuEvent kb(QContextMenuEvent::Keyboard, QPoint(3, 3));
    QApplication::sendEvent(ed.viewport(), &kb);
    EXPECT_EQ(seen, (TPoint{-1, -1}));
    EXPECT_TRUE(menu.opened.empty());
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(1, HeaderEnd() + 5));
    QApplication::sendEvent(ed.viewport(), &mouse);
    EXPECT_EQ(seen, (TPoint{1, HeaderEnd() + 5}));
    EXPECT_EQ(menu.opened.size(), 1u);
}

TEST_F(ExPopup, OpeningEndsAMouseSelection)
{
    SetKeyStateSource([](int) { return false; });
    const TRect r = ed.CellRect(4, 3);
    ed.show();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(r.Left + 1, r.Top + 1),
                      ed.viewport()->mapToGlobal(QPointF(r.Left + 1, r.Top + 1)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(ed.viewport(), &press);
    ASSERT_EQ(ed.GridState(), gsSelecting);
    EXPECT_TRUE(Popup(1, HeaderEnd() + 5));
    EXPECT_EQ(ed.GridState(), gsNormal);
    SetKeyStateSource({});
}

TEST_F(ExPopup, RemovedMenuClearsTheProperty)
{
    auto* other = new Menu;
    ed.SetOffsetPopupMenu(other);
    delete other;
    EXPECT_EQ(ed.OffsetPopupMenu(), nullptr);
    EXPECT_FALSE(Popup(1, HeaderEnd() + 5));
}

} // namespace
