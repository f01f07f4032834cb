// Drags started in the control: the threshold, moves and copies onto the same
// or another control through a drag driver that drops at once, the effect a
// target stores in the data object, cancels and a failing drag loop.
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhdragdriver.h"
#include "hexeditor/ex/wqhdroptarget.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/wqhundo.h"
#include "support/fakes.h"

#include "ex_support.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <functional>

namespace {

class Editor : public TWQHexEditorEx {
public:
    using TWQHexEditorEx::FDropTarget;
    using TWQHexEditorEx::FOleDragging;
    using TWQHexEditorEx::FOleStartDrag;
    using TWQHexEditorEx::FOleWasTarget;

    Editor()
    {
        resize(900, 700);
        Load(*this, Iota(100));
        SetOleDragDrop(true);
    }
    // A point over the first hex digit of a data position.
    TPoint At(int pos) const
    {
        const int bpr = BytesPerRow();
        const TRect r = CellRect(2 + 2 * (pos % bpr), 2 + pos / bpr);
        return TPoint{r.Left + 1, (r.Top + r.Bottom) / 2};
    }
    void Select(int from, int to)
    {
        SetSelStart(from);
        SetSelEnd(to);
    }
};

// Runs the drag loop at once: the pointer enters the target at one point, the
// button is released there (or Escape is pressed), as the platform's loop
// would see it.
class DropAtOnce : public TWQHDragDriver {
public:
    TWQHDropTarget* target = nullptr; // nullptr: released over no target
    TPoint point{};
    DWORD keys = 0;                   // MK_SHIFT, MK_CONTROL held at the drop
    bool escape = false;
    HRESULT failure = S_OK;           // the loop itself fails with this
    // A foreign target's answer instead of a target: the effect it returns
    // and, when set, the effect it stores in the data object.
    DWORD foreignEffect = DROPEFFECT_NONE;
    std::optional<DWORD> storedEffect;

    int runs = 0;
    DWORD offered = DROPEFFECT_NONE;
    HRESULT feedback = S_OK;
    std::function<void()> duringDrag;

    HRESULT DoDragDrop(QWidget*, const IDataObjectPtr& data, TWQHDropSource& source, DWORD ok,
                       DWORD& effect) override
    {
        ++runs;
        offered = ok;
        effect = DROPEFFECT_NONE;
        if (duringDrag)
            duringDrag();
        if (failure != S_OK)
            return failure;
        DWORD over = ok;
        const bool entered = target && target->DragEnter(data.get(), keys | MK_LBUTTON, point, over) == S_OK;
        if (entered) {
            over = ok;
            target->DragOver(keys | MK_LBUTTON, point, over);
            feedback = source.GiveFeedback(over);
        }
        const HRESULT next = source.QueryContinueDrag(escape, keys); // the button is up now
        if (next == DRAGDROP_S_CANCEL) {
            if (entered)
                target->DragLeave();
            return next;
        }
        if (entered) {
            effect = ok;
            target->Drop(data.get(), keys, point, effect);
        } else if (!target) {
            effect = foreignEffect;
            if (storedEffect) {
                STGMEDIUM m;
                m.tymed = TYMED_HGLOBAL;
                m.hGlobal = std::make_shared<TWQHGlobalBlock>(
                    QByteArray(reinterpret_cast<const char*>(&*storedEffect), sizeof(DWORD)));
                data->SetData(MakeFormatEtc(CF_PERFORMEDDROPEFFECT()), m, true);
            }
        }
        return DRAGDROP_S_DROP;
    }
};

class ImportDrag : public ::testing::Test {
protected:
    ImportDrag() { SetWQHDragDriver(&driver); }
    ~ImportDrag() override { SetWQHDragDriver(nullptr); }

    // Press on a byte and move the pointer by (dx, dy) with the button held.
    void PressAndMove(Editor& ed, int pos, int dx, int dy)
    {
        const TPoint p = ed.At(pos);
        ed.MouseDown(mbLeft, ssLeft, p.X, p.Y);
        ed.MouseMove(ssLeft, p.X + dx, p.Y + dy);
    }
    // A drag of the selection that drops on a byte of the target.
    void DragTo(Editor& from, Editor& onto, int pos, DWORD keys)
    {
        driver.target = onto.FDropTarget;
        driver.point = onto.At(pos);
        driver.keys = keys;
        PressAndMove(from, std::min(from.SelStart(), from.SelEnd()) + 1, QApplication::startDragDistance(), 0);
    }
    static void ExpectIdle(Editor& ed)
    {
        EXPECT_FALSE(ed.FOleDragging);
        EXPECT_FALSE(ed.FOleWasTarget);
        EXPECT_EQ(ed.DropPosition(), -1);
    }

    testsupport::ScopedPlatformFakes fakes;
    DropAtOnce driver;
    Editor a;
    Editor b;
};

Bytes Moved(Bytes data, int from, int count, int to)
{
    const Bytes block(data.begin() + from, data.begin() + from + count);
    data.erase(data.begin() + from, data.begin() + from + count);
    data.insert(data.begin() + to, block.begin(), block.end());
    return data;
}

} // namespace

TEST_F(ImportDrag, StartsOnlyOnceThePointerPassesTheThresholdFromAPressOnTheSelection)
{
    const int t = QApplication::startDragDistance();
    ASSERT_GT(t, 1);
    a.Select(10, 40); // over more than one row, so that a move down stays on it
    PressAndMove(a, 11, t - 1, t - 1);
    EXPECT_EQ(driver.runs, 0);
    EXPECT_TRUE(a.FOleStartDrag);
    const TPoint p = a.At(11);
    a.MouseMove(ssLeft, p.X, p.Y + t); // far enough in y alone
    EXPECT_EQ(driver.runs, 1);
    EXPECT_FALSE(a.FOleStartDrag);
    ExpectIdle(a);

    // Without the left button held nothing starts.
    a.Select(10, 19);
    a.MouseDown(mbLeft, ssLeft, p.X, p.Y);
    a.MouseMove(0, p.X + t, p.Y);
    EXPECT_EQ(driver.runs, 1);

    // A right press does not arm, and a press beside the selection selects instead.
    a.FOleStartDrag = false;
    a.MouseDown(mbRight, ssRight, p.X, p.Y);
    EXPECT_FALSE(a.FOleStartDrag);
    PressAndMove(a, 40, t, 0);
    EXPECT_FALSE(a.FOleStartDrag);
    EXPECT_EQ(driver.runs, 1);

    // With drag and drop off the control never drags.
    Editor off;
    off.SetOleDragDrop(false);
    off.Select(10, 19);
    PressAndMove(off, 11, t, t);
    EXPECT_EQ(driver.runs, 1);
    EXPECT_FALSE(off.FOleStartDrag);
}

TEST_F(ImportDrag, SelfMoveIsOneUndoStepDataMovedWhoseUndoRestoresTheData)
{
    a.Select(10, 19);
    const Bytes before = DataOf(a);
    ASSERT_FALSE(a.CanUndo());
    bool draggingSeen = false;
    driver.duringDrag = [&] { draggingSeen = a.FOleDragging && !a.FOleWasTarget; };
    DragTo(a, a, 30, 0);
    ASSERT_EQ(driver.runs, 1);
    EXPECT_TRUE(draggingSeen);
    EXPECT_EQ(driver.offered, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    EXPECT_EQ(driver.feedback, DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(DataOf(a), Moved(before, 10, 10, 20));
    EXPECT_EQ(a.DataSize(), 100);
    EXPECT_EQ(a.UndoDescription(), QStringLiteral("Data moved"));
    ExpectIdle(a);
    ASSERT_TRUE(a.Undo());
    EXPECT_EQ(DataOf(a), before);
    EXPECT_FALSE(a.CanUndo()); // the deletion and the insertion went in one step
}

TEST_F(ImportDrag, SelfMoveInAFixedSizeControlKeepsTheSize)
{
    a.SetNoSizeChange(true);
    a.Select(10, 19);
    const Bytes before = DataOf(a);
    DragTo(a, a, 30, 0);
    EXPECT_EQ(DataOf(a), Moved(before, 10, 10, 20));
    EXPECT_EQ(a.UndoDescription(), QStringLiteral("Data moved"));
    ASSERT_TRUE(a.Undo());
    EXPECT_EQ(DataOf(a), before);
}

TEST_F(ImportDrag, CtrlOnTheSameControlCopiesAndKeepsTheSource)
{
    a.Select(10, 19);
    const Bytes before = DataOf(a);
    DragTo(a, a, 30, MK_CONTROL);
    Bytes expected = before;
    expected.insert(expected.begin() + 30, before.begin() + 10, before.begin() + 20);
    EXPECT_EQ(DataOf(a), expected);
    EXPECT_EQ(a.UndoDescription(), QStringLiteral("Data dropped"));
    ExpectIdle(a);
}

TEST_F(ImportDrag, ToASecondControlCopiesUnlessShiftMoves)
{
    a.Select(10, 19);
    const Bytes source = DataOf(a);
    const Bytes block(source.begin() + 10, source.begin() + 20);
    DragTo(a, b, 50, 0);
    Bytes expected = Iota(100);
    expected.insert(expected.begin() + 50, block.begin(), block.end());
    EXPECT_EQ(DataOf(b), expected);
    EXPECT_EQ(DataOf(a), source);

    Load(b, Iota(100));
    a.Select(10, 19);
    DragTo(a, b, 50, MK_SHIFT);
    EXPECT_EQ(DataOf(b), expected);
    Bytes shrunk = source;
    shrunk.erase(shrunk.begin() + 10, shrunk.begin() + 20);
    EXPECT_EQ(DataOf(a), shrunk);
    EXPECT_EQ(a.SelCount(), 0);
    ExpectIdle(a);
    ExpectIdle(b);
    ASSERT_TRUE(a.Undo());
    EXPECT_EQ(DataOf(a), source);
}

TEST_F(ImportDrag, FromAReadOnlyViewEveryMoveIsACopy)
{
    a.SetReadOnlyView(true);
    a.Select(10, 19);
    const Bytes source = DataOf(a);
    DragTo(a, b, 50, MK_SHIFT);
    EXPECT_EQ(driver.offered, DROPEFFECT_COPY);
    EXPECT_EQ(b.DataSize(), 110);
    EXPECT_EQ(DataOf(a), source);

    // A foreign target that claims a move anyway takes nothing away either.
    a.Select(10, 19);
    driver.target = nullptr;
    driver.foreignEffect = DROPEFFECT_MOVE;
    PressAndMove(a, 11, QApplication::startDragDistance(), 0);
    EXPECT_EQ(driver.runs, 2);
    EXPECT_EQ(DataOf(a), source);
}

TEST_F(ImportDrag, MoveIntoAFixedSizeControlActsAsACopy)
{
    b.SetNoSizeChange(true);
    a.Select(10, 19);
    const Bytes source = DataOf(a);
    DragTo(a, b, 95, MK_SHIFT);
    Bytes expected = Iota(100);
    std::copy(source.begin() + 10, source.begin() + 15, expected.begin() + 95); // clipped at the end
    EXPECT_EQ(DataOf(b), expected);
    EXPECT_EQ(DataOf(a), source);
}

TEST_F(ImportDrag, TheEffectStoredInTheDataObjectDecides)
{
    a.Select(10, 19);
    const Bytes source = DataOf(a);
    driver.target = nullptr;
    driver.foreignEffect = DROPEFFECT_MOVE;
    driver.storedEffect = DROPEFFECT_COPY;
    PressAndMove(a, 11, QApplication::startDragDistance(), 0);
    ASSERT_EQ(driver.runs, 1);
    EXPECT_EQ(DataOf(a), source);

    a.Select(10, 19);
    driver.foreignEffect = DROPEFFECT_COPY;
    driver.storedEffect = DROPEFFECT_MOVE;
    PressAndMove(a, 11, QApplication::startDragDistance(), 0);
    ASSERT_EQ(driver.runs, 2);
    EXPECT_EQ(a.DataSize(), 90);
    ASSERT_TRUE(a.Undo());
    EXPECT_EQ(DataOf(a), source);
}

TEST_F(ImportDrag, CancelOrAReleaseOverNothingChangesNothing)
{
    a.Select(10, 19);
    const Bytes source = DataOf(a);
    const int steps = a.UndoStorage().Count();
    driver.escape = true;
    DragTo(a, a, 30, MK_SHIFT);
    ASSERT_EQ(driver.runs, 1);
    EXPECT_EQ(DataOf(a), source);
    EXPECT_EQ(a.UndoStorage().Count(), steps);
    ExpectIdle(a);

    DragTo(a, b, 30, MK_SHIFT);
    EXPECT_EQ(b.DataSize(), 100);
    EXPECT_EQ(b.DropPosition(), -1);
    EXPECT_EQ(DataOf(a), source);

    driver.escape = false;
    driver.target = nullptr;
    a.Select(10, 19);
    PressAndMove(a, 11, QApplication::startDragDistance(), 0);
    EXPECT_EQ(driver.runs, 3);
    EXPECT_EQ(DataOf(a), source);
    ExpectIdle(a);
}

TEST_F(ImportDrag, AFailingDragLoopIsShownAndLeavesTheControlIdle)
{
    a.Select(10, 19);
    const Bytes source = DataOf(a);
    driver.failure = E_OUTOFMEMORY;
    const TPoint p = a.At(11);
    const QPointF start(p.X, p.Y);
    const QPointF moved(p.X + QApplication::startDragDistance(), p.Y);
    QMouseEvent press(QEvent::MouseButtonPress, start, start, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, moved, moved, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(a.viewport(), &press);
    QApplication::sendEvent(a.viewport(), &move);
    ASSERT_EQ(driver.runs, 1);
    EXPECT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_EQ(DataOf(a), source);
    ExpectIdle(a);
}

TEST(DragDriver, QtActionsAndDropSourceAnswers)
{
    EXPECT_EQ(WQHDropActionsFromEffects(DROPEFFECT_COPY), Qt::DropActions(Qt::CopyAction));
    EXPECT_EQ(WQHDropActionsFromEffects(DROPEFFECT_COPY | DROPEFFECT_MOVE), Qt::CopyAction | Qt::MoveAction);
    EXPECT_EQ(WQHDropActionsFromEffects(DROPEFFECT_LINK | DROPEFFECT_SCROLL), Qt::DropActions(Qt::LinkAction));

    DWORD e = 99;
    EXPECT_EQ(WQHDragResultFromAction(Qt::MoveAction, e), DRAGDROP_S_DROP);
    EXPECT_EQ(e, DROPEFFECT_MOVE);
    EXPECT_EQ(WQHDragResultFromAction(Qt::CopyAction, e), DRAGDROP_S_DROP);
    EXPECT_EQ(e, DROPEFFECT_COPY);
    EXPECT_EQ(WQHDragResultFromAction(Qt::LinkAction, e), DRAGDROP_S_DROP);
    EXPECT_EQ(e, DROPEFFECT_LINK);
    // The target took the data over: the source must not delete it.
    EXPECT_EQ(WQHDragResultFromAction(Qt::TargetMoveAction, e), DRAGDROP_S_DROP);
    EXPECT_EQ(e, DROPEFFECT_NONE);
    e = 99;
    EXPECT_EQ(WQHDragResultFromAction(Qt::IgnoreAction, e), DRAGDROP_S_CANCEL);
    EXPECT_EQ(e, DROPEFFECT_NONE);

    const TWQHDropSource s;
    EXPECT_EQ(s.QueryContinueDrag(true, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(s.QueryContinueDrag(false, MK_LBUTTON | MK_SHIFT), S_OK);
    EXPECT_EQ(s.QueryContinueDrag(false, MK_SHIFT), DRAGDROP_S_DROP);
    EXPECT_EQ(s.GiveFeedback(DROPEFFECT_NONE), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(s.GiveFeedback(DROPEFFECT_MOVE | DROPEFFECT_SCROLL), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(s.GiveFeedback(DROPEFFECT_COPY | DROPEFFECT_MOVE), E_INVALIDARG);
    EXPECT_EQ(s.GiveFeedback(DROPEFFECT_LINK), E_INVALIDARG);
}
