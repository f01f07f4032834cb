// The control's copy, cut and paste entry points over a fake clipboard.
#include "fake_clipboard.h"
#include "fake_source.h"
#include "file_url_cases.h"
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhformatseldialog.h"
#include "hexeditor/ex/wqhmimeadapter.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"

#include <QCheckBox>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QUrl>
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

namespace {

// The own clipboard block around some bytes.
QByteArray OwnBlock(const QByteArray& bytes)
{
    QByteArray b("WQTH\x01\x00\x01\x00", 8);
    const auto n = static_cast<std::uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>(n >> (8 * i)));
    return b + bytes;
}

// Pastes through CBPaste from a foreign object on the clipboard; the format
// dialog is answered by the test and every showing is recorded.
class ClipPaste : public ClipControl {
protected:
    std::shared_ptr<FakeSource> src = std::make_shared<FakeSource>();
    int dialogs = 0;
    QStringList entries;
    bool hexEnabledOnText = false;
    bool hexEnabledOnUnicode = true;
    int answer = QDialog::Rejected;
    TClipFormat pick = 0;
    bool hexBox = false;

    void SetUp() override
    {
        ClipControl::SetUp();
        SetLastSelectedFormat(-1);
        clip.held = src;
        SetFormatSelDialogRunner([this](QDialog& d) {
            auto& f = static_cast<TFormatSelDialog&>(d);
            ++dialogs;
            entries.clear();
            for (int i = 0; i < f.LlbxFormats->count(); ++i)
                entries << f.LlbxFormats->item(i)->text();
            f.SelectFormat(CF_TEXT);
            hexEnabledOnText = f.LcbxTextAsHex->isEnabled();
            f.SelectFormat(CF_UNICODETEXT);
            hexEnabledOnUnicode = f.LcbxTextAsHex->isEnabled();
            f.SelectFormat(pick);
            f.LcbxTextAsHex->setChecked(hexBox);
            return answer;
        });
        Load(Pattern(6));
        Caret(2);
    }
    void TearDown() override
    {
        SetFormatSelDialogRunner({});
        SetLastSelectedFormat(-1);
        ClipControl::TearDown();
    }
    void Offer(std::vector<std::pair<TClipFormat, QByteArray>> blocks) { src->blocks = std::move(blocks); }
};

} // namespace

TEST_F(ClipPaste, OwnFormatNeedsNoDialogWhateverOtherFormatsSay)
{
    Offer({{CF_TEXT, QByteArray("xy\0", 3)}, {WQHClipFormats().Own, OwnBlock(Bytes({0x00, 0xFF}))}});
    ed->SetSupportsOtherClipFormats(false);
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(clip.gets, 1) << "the paste decides from the one object it fetched";
    EXPECT_EQ(Data(), Bytes({0, 1, 0x00, 0xFF, 2, 3, 4, 5}));
    EXPECT_EQ(ed->UndoDescription(), QStringLiteral("Paste from clipboard"));
    ed->SetSupportsOtherClipFormats(true);
    Caret(2); // the pasted bytes are selected: a paste would replace them
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(Data(), Bytes({0, 1, 0x00, 0xFF, 0x00, 0xFF, 2, 3, 4, 5}));
    EXPECT_EQ(dialogs, 0);
    // Without the own format and with other formats off, text is not taken.
    Offer({{CF_TEXT, QByteArray("xy\0", 3)}, {CF_UNICODETEXT, QByteArray("x\0\0\0", 4)}});
    ed->SetSupportsOtherClipFormats(false);
    EXPECT_FALSE(ed->CanPaste());
    EXPECT_FALSE(ed->CBPaste());
    EXPECT_EQ(dialogs, 0);
}

TEST_F(ClipPaste, TextAndUnicodeTextAreChosenInTheDialog)
{
    Offer({{CF_UNICODETEXT, QByteArray("A\0B\0\0\0", 6)}, {CF_TEXT, QByteArray("AB\0", 3)}});
    answer = QDialog::Rejected;
    EXPECT_FALSE(ed->CBPaste());
    EXPECT_EQ(entries, (QStringList{QStringLiteral("Text"), QStringLiteral("Unicode Text")}));
    EXPECT_TRUE(hexEnabledOnText);
    EXPECT_FALSE(hexEnabledOnUnicode);
    EXPECT_EQ(Data(), Pattern(6)) << "cancel pastes nothing";
    EXPECT_FALSE(ed->CanUndo());

    answer = QDialog::Accepted;
    pick = CF_TEXT;
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(Data(), Bytes({0, 1, 'A', 'B', 2, 3, 4, 5}));
    ASSERT_TRUE(ed->Undo());

    pick = CF_UNICODETEXT;
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(Data(), Bytes({0, 1, 'A', 0, 'B', 0, 2, 3, 4, 5}));
    ASSERT_TRUE(ed->Undo());
    ed->SetUnicodeBigEndian(true);
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(Data(), Bytes({0, 1, 0, 'A', 0, 'B', 2, 3, 4, 5}));
    EXPECT_EQ(dialogs, 4);
}

TEST_F(ClipPaste, TheDialogsHexBoxDecodesTextPairByPair)
{
    Offer({{CF_TEXT, QByteArray("41 42\0", 6)}, {CF_UNICODETEXT, QByteArray("?\0\0\0", 4)}});
    answer = QDialog::Accepted;
    pick = CF_TEXT;
    hexBox = true;
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_TRUE(ed->ClipboardAsHexText()) << "the box's state is kept";
    EXPECT_EQ(Data(), Bytes({0, 1, 0x41, 0x42, 2, 3, 4, 5}));
    ASSERT_TRUE(ed->Undo());
    Offer({{CF_TEXT, QByteArray("414\0", 4)}, {CF_UNICODETEXT, QByteArray("?\0\0\0", 4)}});
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(Data(), Bytes({0, 1, 0x41, 2, 3, 4, 5})) << "a lone last digit is dropped";
    ASSERT_TRUE(ed->Undo());
    hexBox = false;
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_FALSE(ed->ClipboardAsHexText());
    EXPECT_EQ(Data(), Bytes({0, 1, '4', '1', '4', 2, 3, 4, 5}));
}

TEST_F(ClipPaste, WholeUnitsOnlyAndNothingBelowOneUnit)
{
    ed->SetBytesPerUnit(2);
    Offer({{WQHClipFormats().Own, OwnBlock(Bytes({0xA1, 0xA2, 0xA3}))}});
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(Data(), Bytes({0, 1, 0xA1, 0xA2, 2, 3, 4, 5}));
    const QByteArray before = Data();
    const int steps = ed->UndoStorage().Count();
    Offer({{WQHClipFormats().Own, OwnBlock(Bytes({0xB1}))}});
    EXPECT_TRUE(ed->CanPaste());
    EXPECT_FALSE(ed->CBPaste());
    EXPECT_EQ(Data(), before);
    EXPECT_EQ(ed->UndoStorage().Count(), steps) << "no step for the failed paste";
}

TEST_F(ClipPaste, FixedSizeOverwritesAtTheCaretAndNeedsData)
{
    ed->SetNoSizeChange(true);
    Caret(3);
    Offer({{WQHClipFormats().Own, OwnBlock(Bytes({0xC1, 0xC2, 0xC3, 0xC4, 0xC5}))}});
    ASSERT_TRUE(ed->CBPaste());
    EXPECT_EQ(Data(), Bytes({0, 1, 2, 0xC1, 0xC2, 0xC3})) << "clipped at the data end";
    ASSERT_TRUE(ed->Undo());
    EXPECT_EQ(Data(), Pattern(6));
    Load(QByteArray());
    EXPECT_FALSE(ed->CanPaste()) << "an empty fixed-size control takes nothing";
    EXPECT_FALSE(ed->CBPaste());
    EXPECT_EQ(ed->DataSize(), 0);
}

TEST_F(ClipPaste, WebLinkAndAFileOnAnotherHostPasteAsTheirTextAFileHereAsItsContent)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("f.bin"));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Bytes({0xF0, 0x00, 0xF1}));
    f.close();
    ASSERT_FALSE(QSysInfo::machineHostName().isEmpty());
    answer = QDialog::Accepted;
    pick = CF_TEXT;
    for (const FileUrlCase& c : FileUrlCases(name)) {
        SCOPED_TRACE(c.url.toStdString());
        QMimeData md;
        c.Fill(md);
        clip.held = WQHDataObjectFromMime(&md);
        dialogs = 0;
        Caret(2);
        ASSERT_TRUE(ed->CanPaste());
        ASSERT_TRUE(ed->CBPaste());
        if (c.isFile) {
            EXPECT_EQ(dialogs, 0) << "a file list is taken before any text";
            EXPECT_EQ(Data(), Pattern(2) + Bytes({0xF0, 0x00, 0xF1}) + Pattern(6).mid(2));
        } else {
            EXPECT_EQ(entries, (QStringList{QStringLiteral("Text"), QStringLiteral("Unicode Text"),
                                            QStringLiteral("OEM Text")}));
            EXPECT_EQ(Data(), Pattern(2) + c.url.toLatin1() + Pattern(6).mid(2));
        }
        ASSERT_TRUE(ed->Undo());
        EXPECT_EQ(Data(), Pattern(6));
    }
}
