// Drops onto the control through its drop target: placing rules, effects,
// files, malformed blocks and failures during the drop.
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhdroptarget.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhformatseldialog.h"
#include "hexeditor/ex/wqhmimetable.h"
#include "hexeditor/ex/wqholeimport.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include "fake_source.h"
#include "file_url_cases.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <map>

namespace {

class Editor : public TWQHexEditorEx {
public:
    using TWQHexEditorEx::FDropTarget;
    using TWQHexEditorEx::FIsLoading;
};

QByteArray Data(const Editor& ed)
{
    QByteArray out(ed.DataSize(), 0);
    if (ed.DataSize() > 0)
        ed.ReadBuffer(out.data(), 0, ed.DataSize());
    return out;
}

QByteArray Counting(int n)
{
    QByteArray b(n, 0);
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>(i);
    return b;
}

class ImportDrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ed.resize(900, 700);
        Load(Counting(100));
        ed.SetOleDragDrop(true);
    }
    void Load(const QByteArray& bytes)
    {
        platform::TMemoryStream s;
        s.Write(bytes.constData(), bytes.size());
        s.Seek(0, platform::SeekOrigin::Begin);
        ed.LoadFromStream(s);
    }
    // A point over the hex digits of a data position.
    TPoint At(int pos) const
    {
        const int bpr = ed.BytesPerRow();
        const TRect r = ed.CellRect(2 + 2 * (pos % bpr), 2 + pos / bpr);
        return TPoint{r.Left + 1, (r.Top + r.Bottom) / 2};
    }
    HRESULT DropAt(IDataObject* obj, int pos, DWORD keys, DWORD& effect)
    {
        DWORD enterEffect = effect;
        ed.FDropTarget->DragEnter(obj, keys, At(pos), enterEffect);
        return ed.FDropTarget->Drop(obj, keys, At(pos), effect);
    }

    testsupport::ScopedPlatformFakes fakes;
    Editor ed;
    const TWQHClipFormats& ids = WQHClipFormats();
};

} // namespace

TEST_F(ImportDrop, ForeignTextIsInsertedAtTheMarkAsACopy)
{
    FakeSource src;
    src.blocks = {{CF_TEXT, QByteArray("AB\0", 3)}};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(DropAt(&src, 5, 0, effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(ed.DataSize(), 102);
    EXPECT_EQ(Data(ed).mid(4, 4), QByteArray("\x04" "AB" "\x05", 4));
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Data dropped"));
}

TEST_F(ImportDrop, HexTextIsNeverDecodedOnDrop)
{
    ed.SetClipboardAsHexText(true);
    FakeSource src;
    src.blocks = {{CF_TEXT, QByteArray("41\0", 3)}};
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(DropAt(&src, 0, 0, effect), S_OK);
    EXPECT_EQ(Data(ed).left(2), QByteArray("41"));
}

TEST_F(ImportDrop, FixedSizeOverwritesInPlaceAndDropsNothingAtTheEnd)
{
    ed.SetNoSizeChange(true);
    FakeSource src;
    src.blocks = {{ids.Own, QByteArray("WQTH\x01\x00\x01\x00\x04\x00\x00\x00" "wxyz\0", 17)}};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(DropAt(&src, 98, MK_SHIFT, effect), S_OK);
    // A move into a fixed-size control is a copy for the source.
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(ed.DataSize(), 100);
    EXPECT_EQ(Data(ed).right(3), QByteArray("\x61wx", 3));

    // At the end there is nothing to overwrite: the drop is answered but
    // takes nothing, so a move leaves the source alone.
    const QByteArray before = Data(ed);
    const int steps = ed.UndoStorage().Count();
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(DropAt(&src, 100, 0, effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(Data(ed), before);
    EXPECT_EQ(ed.UndoStorage().Count(), steps);
}

TEST_F(ImportDrop, MalformedOwnBlockFailsAndChangesNothing)
{
    FakeSource src;
    src.blocks = {{ids.Own, QByteArray("WQTH\x01\x00\x01\x00\x40\x00\x00\x00" "ab", 14)}};
    const QByteArray before = Data(ed);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(DropAt(&src, 5, 0, effect), E_FAIL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(Data(ed), before);
}

TEST_F(ImportDrop, MediumThatIsNoMemoryBlockFails)
{
    FakeSource src;
    src.blocks = {{ids.Own, QByteArray("WQTH\x01\x00\x01\x00\x01\x00\x00\x00" "a", 13)}};
    src.tymed = TYMED_ISTREAM;
    const QByteArray before = Data(ed);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(DropAt(&src, 5, 0, effect), E_FAIL);
    EXPECT_EQ(Data(ed), before);
}

TEST_F(ImportDrop, ReadOnlyViewRefusesEveryDrop)
{
    ed.SetReadOnlyView(true);
    FakeSource src;
    src.blocks = {{CF_TEXT, QByteArray("AB\0", 3)}};
    const QByteArray before = Data(ed);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_NE(DropAt(&src, 5, 0, effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(Data(ed), before);
}

TEST_F(ImportDrop, FilesGiveTheFirstContentOrWithShiftTheNames)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.bin"));
    QFile f(a);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("XYZ");
    f.close();
    const auto list = wqhimport::MakeDropFiles({a, QStringLiteral("/b")});
    FakeSource src;
    src.blocks = {{CF_HDROP, QByteArray(reinterpret_cast<const char*>(list.data()), list.size())}};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(DropAt(&src, 0, 0, effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(Data(ed).left(3), QByteArray("XYZ"));

    Load(Counting(100));
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    ASSERT_EQ(DropAt(&src, 0, MK_SHIFT, effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_LINK);
    const auto names = wqhimport::FileNamesAsData({a, QStringLiteral("/b")}, 1 << 20);
    EXPECT_EQ(Data(ed).left(static_cast<int>(names.size())),
              QByteArray(reinterpret_cast<const char*>(names.data()), names.size()));
}

TEST_F(ImportDrop, MissingDroppedFileIsShownAndAnsweredFail)
{
    const auto list = wqhimport::MakeDropFiles({QStringLiteral("/no/such/file.bin")});
    FakeSource src;
    src.blocks = {{CF_HDROP, QByteArray(reinterpret_cast<const char*>(list.data()), list.size())}};
    const QByteArray before = Data(ed);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(DropAt(&src, 0, 0, effect), E_FAIL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_TRUE(fakes.ui.exceptions[0].contains(QStringLiteral("/no/such/file.bin")));
    EXPECT_EQ(Data(ed), before);
    EXPECT_EQ(ed.DropPosition(), -1);
}

TEST_F(ImportDrop, ExceptionFromTheSourceIsShownAndHidesTheMark)
{
    FakeSource src;
    src.blocks = {{CF_TEXT, QByteArray("AB\0", 3)}};
    src.throwOnGet = true;
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(DropAt(&src, 3, 0, effect), E_FAIL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_EQ(ed.DropPosition(), -1);
}

TEST_F(ImportDrop, DragEnterRefusesUnsupportedDataAndSwitchingOffRevokes)
{
    FakeSource src;
    src.blocks = {{0x7777, QByteArray("x", 1)}};
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(ed.FDropTarget->DragEnter(&src, 0, At(0), effect), S_FALSE);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_TRUE(ed.acceptDrops());
    ed.SetOleDragDrop(false);
    EXPECT_FALSE(ed.FDropTarget->Active());
    EXPECT_FALSE(ed.acceptDrops());
}

TEST_F(ImportDrop, QtDragEventsInsideACellsEdgeMarkAndDropOnThatCell)
{
    ed.show();
    // Qt hands the drag to the scroll area, whose origin is outside the frame.
    ASSERT_NE(ed.viewport()->pos(), QPoint(0, 0));
    auto own = std::make_shared<TWQHDataObject>("ab", 2, QString(), false, false);
    TWQHMimeData mime(own, WQHNewMimeToken());
    // The last pixel of the second digit of position 5, in the scroll area's coordinates.
    const TRect r = ed.CellRect(2 + 2 * 5 + 1, 2);
    const QPoint edge = ed.viewport()->mapTo(&ed, QPoint(r.Right - 1, r.Bottom - 1));
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent enter(edge, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&ed, &enter);
    ASSERT_TRUE(enter.isAccepted());
    EXPECT_EQ(ed.DropPosition(), 5);
    QDragMoveEvent move(edge, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&ed, &move);
    EXPECT_EQ(ed.DropPosition(), 5) << "the mark stays on the cell under the pointer";
    QDropEvent drop(edge, actions, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&ed, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(Data(ed).mid(4, 4), QByteArray("\x04" "ab" "\x05", 4)) << "dropped before position 5";
}

TEST_F(ImportDrop, QtDropOfAWebLinkOrAFileOnAnotherHostGivesItsTextAndOfAFileHereItsContent)
{
    ed.show();
    int dialogs = 0;
    SetFormatSelDialogRunner([&](QDialog& d) {
        ++dialogs;
        static_cast<TFormatSelDialog&>(d).SelectFormat(CF_TEXT);
        return int(QDialog::Accepted);
    });
    const auto dropOn = [&](int pos, const QMimeData& md) {
        const TPoint at = At(pos);
        const QPoint p = ed.viewport()->mapTo(&ed, QPoint(at.X, at.Y));
        QDragEnterEvent enter(p, Qt::CopyAction, &md, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&ed, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(p, Qt::CopyAction, &md, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&ed, &drop);
        return drop.isAccepted();
    };
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("f.bin"));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("XYZ");
    f.close();
    ASSERT_FALSE(QSysInfo::machineHostName().isEmpty());
    for (const FileUrlCase& c : FileUrlCases(name)) {
        SCOPED_TRACE(c.url.toStdString());
        Load(Counting(100));
        dialogs = 0;
        QMimeData md;
        c.Fill(md);
        EXPECT_TRUE(dropOn(5, md));
        if (c.isFile) {
            EXPECT_EQ(dialogs, 0) << "a file list needs no choice";
            EXPECT_EQ(Data(ed), Counting(5) + QByteArray("XYZ") + Counting(100).mid(5));
        } else {
            EXPECT_EQ(dialogs, 1);
            EXPECT_EQ(Data(ed), Counting(5) + c.url.toLatin1() + Counting(100).mid(5));
        }
    }
    SetFormatSelDialogRunner({});
}

TEST_F(ImportDrop, SwitchingOnWhileLoadingWaitsForTheWindow)
{
    Editor loading;
    loading.FIsLoading = true;
    loading.SetOleDragDrop(true);
    EXPECT_TRUE(loading.OleDragDrop());
    EXPECT_FALSE(loading.FDropTarget->Active());
    EXPECT_FALSE(loading.acceptDrops());
    loading.FIsLoading = false;
    loading.show(); // the window's creation switches it on
    EXPECT_TRUE(loading.FDropTarget->Active());
    EXPECT_TRUE(loading.acceptDrops());
}
