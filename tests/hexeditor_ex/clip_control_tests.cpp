// The control's copy, cut and paste entry points over a fake clipboard.
#include "fake_clipboard.h"
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "platform/streams.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Counts what a paste check asks of the clipboard's object.
class CountingObject : public TWQHDataObject {
public:
    CountingObject() : TWQHDataObject("AB", 2, QString(), false, false) {}
    int getData = 0;
    HRESULT GetData(const FORMATETC& f, STGMEDIUM& m) override
    {
        ++getData;
        return TWQHDataObject::GetData(f, m);
    }
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

class ClipControl : public ::testing::Test {
protected:
    FakeClipboard clip;
    std::unique_ptr<TWQHexEditorEx> ed;

    void SetUp() override
    {
        SetWQHClipboardTransport(&clip);
        ed = std::make_unique<TWQHexEditorEx>();
        ed->resize(600, 400);
    }
    void TearDown() override
    {
        ed.reset();
        SetWQHClipboardTransport(nullptr);
    }
    void Load(const QByteArray& b)
    {
        platform::TMemoryStream s;
        s.Write(b.constData(), b.size());
        s.SetPosition(0);
        ed->LoadFromStream(s);
    }
    QByteArray Data()
    {
        QByteArray b(ed->DataSize(), '\0');
        if (!b.isEmpty())
            ed->ReadBuffer(b.data(), 0, ed->DataSize());
        return b;
    }
    QByteArray Held(TClipFormat cf) { return clip.Held(cf); }
    void Caret(int pos)
    {
        const TGridCoord c = ed->GetCursorAtPos(pos, false);
        ed->MoveColRow(c.X, c.Y, true, true);
    }
};

QByteArray Pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>(i);
    return b;
}

} // namespace

TEST_F(ClipControl, CopyAndCutNeedDataAndASelection)
{
    EXPECT_FALSE(ed->CanCopy());
    Load(Pattern(10));
    EXPECT_FALSE(ed->CanCopy()) << "nothing selected";
    EXPECT_FALSE(ed->CBCopy());
    EXPECT_FALSE(ed->CBCut());
    EXPECT_EQ(clip.sets, 0);
    ed->SetSelStart(2);
    ed->SetSelEnd(4);
    EXPECT_TRUE(ed->CanCopy());
    EXPECT_TRUE(ed->CanCut());
    ed->SetReadOnlyView(true);
    EXPECT_TRUE(ed->CanCopy());
    EXPECT_FALSE(ed->CanCut());
    ed->SetReadOnlyView(false);
    ed->SetNoSizeChange(true);
    EXPECT_FALSE(ed->CanCut());
}

TEST_F(ClipControl, CopyPutsTheSelectionInEveryFormat)
{
    Load(Bytes({0x10, 0x41, 0x00, 0x42, 0x20}));
    ed->SetSelStart(3);
    ed->SetSelEnd(1);  // backwards: the copy starts at the smaller end
    ASSERT_TRUE(ed->CBCopy());
    EXPECT_EQ(clip.sets, 1);
    EXPECT_TRUE(ed->OwnsClipBoard());
    EXPECT_EQ(Held(CF_WQHEXEDITOR()), QByteArray("WQTH") + Bytes({1, 0, 1, 0, 3, 0, 0, 0, 0x41, 0, 0x42, 0}));
    EXPECT_EQ(Held(CF_TEXT), Bytes({0x41, 0}));
    EXPECT_EQ(Held(CF_REGEDIT_HEXDATA()), Bytes({3, 0, 0, 0, 0x41, 0, 0x42, 0}));

    ed->SetClipboardAsHexText(true);
    ASSERT_TRUE(ed->CBCopy());
    EXPECT_EQ(Held(CF_TEXT), QByteArray("410042", 7));
    ed->SetSwapNibbles(true);
    ASSERT_TRUE(ed->CBCopy());
    EXPECT_EQ(Held(CF_TEXT), QByteArray("140024", 7));

    // The copy does not follow later edits.
    ed->SetDataAt(1, 0x7A);
    EXPECT_EQ(Held(CF_FILECONTENTS()), Bytes({0x41, 0, 0x42}));
    EXPECT_EQ(Data(), Bytes({0x10, 0x7A, 0x00, 0x42, 0x20}));
}

TEST_F(ClipControl, CopyNamesTheScrapFileAfterTheControlsFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("abcdef");
    f.close();
    ed->LoadFromFile(path);
    ed->SetSelStart(0);
    ed->SetSelEnd(1);
    ASSERT_TRUE(ed->CBCopy());
    auto* obj = dynamic_cast<TWQHDataObject*>(clip.held.get());
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->FileName(), QStringLiteral("Dump of image.bin"));
}

TEST_F(ClipControl, CutRemovesTheSelectionAsOneUndoStep)
{
    Load(Pattern(10));
    ed->SetSelStart(2);
    ed->SetSelEnd(4);
    ASSERT_TRUE(ed->CBCut());
    EXPECT_EQ(Held(CF_FILECONTENTS()), Bytes({2, 3, 4}));
    EXPECT_EQ(Data(), Bytes({0, 1, 5, 6, 7, 8, 9}));
    EXPECT_EQ(ed->UndoDescription(), QStringLiteral("Cut to clipboard"));
    ed->Undo();
    EXPECT_EQ(Data(), Pattern(10));
}

TEST_F(ClipControl, CutInReadOnlyViewOrFixedSizeTouchesNothing)
{
    Load(Pattern(10));
    ed->SetSelStart(2);
    ed->SetSelEnd(4);
    ed->SetReadOnlyView(true);
    EXPECT_FALSE(ed->CBCut());
    ed->SetReadOnlyView(false);
    ed->SetNoSizeChange(true);
    EXPECT_FALSE(ed->CBCut());
    EXPECT_EQ(clip.sets, 0);
    EXPECT_EQ(Data(), Pattern(10));
}

TEST_F(ClipControl, AFailingClipboardIsRaisedAndTheObjectKept)
{
    Load(Pattern(4));
    ed->SetSelStart(0);
    ed->SetSelEnd(1);
    clip.setResult = CLIPBRD_E_CANT_OPEN;
    try {
        ed->CBCopy();
        FAIL() << "no exception";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, CLIPBRD_E_CANT_OPEN);
    }
    EXPECT_FALSE(clip.held);
    EXPECT_FALSE(ed->OwnsClipBoard());
    // The cut stops at the failed copy, before the data changes.
    EXPECT_THROW(ed->CBCut(), EOleSysError);
    EXPECT_EQ(Data(), Pattern(4));
}

TEST_F(ClipControl, OwnershipAndRelease)
{
    Load(Pattern(4));
    ed->SetSelStart(0);
    ed->SetSelEnd(1);
    EXPECT_FALSE(ed->OwnsClipBoard());
    ed->ReleaseClipboard(true);
    EXPECT_EQ(clip.flushes + clip.sets, 0) << "not ours: nothing happens";

    ASSERT_TRUE(ed->CBCopy());
    clip.held = TWQHDataObject::Create("x", 1, QString(), false, false);  // another program took it
    EXPECT_FALSE(ed->OwnsClipBoard());
    ed->ReleaseClipboard(true);
    EXPECT_EQ(clip.flushes, 0);

    ASSERT_TRUE(ed->CBCopy());
    const int sets = clip.sets;
    ed->ReleaseClipboard(false);
    EXPECT_EQ(clip.sets, sets + 1);
    EXPECT_FALSE(clip.held) << "emptied";

    ASSERT_TRUE(ed->CBCopy());
    clip.flushResult = E_OUTOFMEMORY;
    EXPECT_THROW(ed->ReleaseClipboard(true), EOleSysError);
    EXPECT_EQ(clip.flushes, 1);
}

TEST_F(ClipControl, DestructorReleasesAndNeverThrows)
{
    Load(Pattern(4));
    ed->SetSelStart(0);
    ed->SetSelEnd(1);
    ASSERT_TRUE(ed->CBCopy());
    ed.reset();
    EXPECT_FALSE(clip.held) << "released without flush by default";

    ed = std::make_unique<TWQHexEditorEx>();
    Load(Pattern(4));
    ed->SetSelStart(0);
    ed->SetSelEnd(1);
    ed->SetFlushClipboardAtShutDown(true);
    ASSERT_TRUE(ed->CBCopy());
    clip.flushResult = E_FAIL;
    EXPECT_NO_THROW(ed.reset());
    EXPECT_EQ(clip.flushes, 1);
}

TEST_F(ClipControl, PasteCheckAsksOnlyForTheListOfFormats)
{
    Load(Pattern(4));
    auto obj = std::make_shared<CountingObject>();
    clip.held = obj;
    ed->SetReadOnlyView(true);
    EXPECT_FALSE(ed->CanPaste());
    EXPECT_FALSE(ed->CBPaste());
    EXPECT_EQ(clip.gets, 0) << "read-only: the clipboard is not asked";
    ed->SetReadOnlyView(false);
    ed->CanPaste();
    EXPECT_EQ(clip.gets, 1);
    EXPECT_EQ(obj->getData, 0);
    clip.held.reset();
    EXPECT_FALSE(ed->CanPaste()) << "no clipboard object";
    EXPECT_FALSE(ed->CBPaste());
    EXPECT_EQ(Data(), Pattern(4));
}

TEST_F(ClipControl, PasteDataInsertsAtTheCaretOrReplacesTheSelection)
{
    Load(Pattern(6));
    Caret(2);
    ed->PasteData("\xAA\xBB", 2, QStringLiteral("Paste from clipboard"));
    EXPECT_EQ(Data(), Bytes({0, 1, 0xAA, 0xBB, 2, 3, 4, 5}));
    EXPECT_EQ(ed->UndoDescription(), QStringLiteral("Paste from clipboard"));
    ed->SetSelStart(0);
    ed->SetSelEnd(3);
    ed->PasteData("\xCC", 1, QStringLiteral("p"));
    EXPECT_EQ(Data(), Bytes({0xCC, 2, 3, 4, 5}));
    ed->Undo();
    EXPECT_EQ(Data(), Bytes({0, 1, 0xAA, 0xBB, 2, 3, 4, 5}));
}

TEST_F(ClipControl, PasteDataWithFixedSizeOverwritesInPlace)
{
    Load(Pattern(10));
    ed->SetNoSizeChange(true);
    Caret(5);
    ed->PasteData("\x81\x82\x83\x84\x85\x86\x87\x88", 8, QStringLiteral("p"));
    EXPECT_EQ(Data(), Bytes({0, 1, 2, 3, 4, 0x81, 0x82, 0x83, 0x84, 0x85}));
    Caret(1);
    ed->PasteData("\x91", 1, QStringLiteral("p"));
    EXPECT_EQ(Data(), Bytes({0, 0x91, 2, 3, 4, 0x81, 0x82, 0x83, 0x84, 0x85}));
}

TEST_F(ClipControl, PasteDataMovesAnOddCaretDownToTheUnit)
{
    Load(Pattern(6));
    ed->SetBytesPerUnit(2);
    Caret(3);
    ed->PasteData("\xAA\xBB", 2, QStringLiteral("p"));
    EXPECT_EQ(Data(), Bytes({0, 1, 0xAA, 0xBB, 2, 3, 4, 5}));
}
