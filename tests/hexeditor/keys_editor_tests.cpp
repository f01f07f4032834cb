// Key handling, typing and bookmarks of the editor control, driven through
// KeyDown/WMChar directly and through Qt key events.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhkeys.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"
#include "support/fakes.h"
#include "window_input.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace {

// Default layout: 16 bytes per row, data rows from row 2, hex digits of
// position p in columns 2 + 2p and 3 + 2p, characters from column 35.
constexpr int kFirstCharCol = 35;
int HexCol(int pos) { return 2 + 2 * (pos % 16); }
int CharCol(int pos) { return kFirstCharCol + pos % 16; }
int RowOf(int pos) { return pos / 16 + 2; }

class TTestEditor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::AdjustBookmarks;
    using TCustomWQHexEditor::IntChangeByte;
    using TCustomWQHexEditor::IntChangeWideChar;
    using TCustomWQHexEditor::SetBookmarkVals;
    bool Selecting() const { return FIsSelecting; }
    int GlyphCount() const { return FBookmarkImageList ? FBookmarkImageList->Count() : -1; }
    QImage Glyph(int i) const { return FBookmarkImageList->Glyph(i); }
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray Counting(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>(i);
    return b;
}

class KeysEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetKeyStateSource([this](int vk) { return down.count(vk) != 0; });
        ed = std::make_unique<TTestEditor>();
        ed->resize(700, 400);
        ed->show();
        ed->SetOnBookmarkChanged([this](QObject*) { ++bookmarkEvents; });
        ed->SetOnInvalidKey([this](QObject*) { ++invalidKeys; });
    }
    void TearDown() override
    {
        ed.reset();
        SetKeyStateSource({});
    }

    void Load(const QByteArray& data)
    {
        platform::TMemoryStream s;
        s.Write(data.constData(), data.size());
        ed->LoadFromStream(s);
    }
    QByteArray Data() const
    {
        QByteArray b(ed->DataSize(), '\0');
        if (!b.isEmpty())
            ed->ReadBuffer(b.data(), 0, static_cast<int>(b.size()));
        return b;
    }
    void Key(std::uint16_t k, TShiftState s = 0) { ed->KeyDown(k, s); }
    void Type(const QString& text)
    {
        for (QChar c : text)
            ed->WMChar(c.unicode());
    }
    void Caret(int col, int row) { ed->MoveColRow(col, row, true, true); }
    void ExpectCaret(int col, int row) const
    {
        EXPECT_EQ(ed->Col(), col);
        EXPECT_EQ(ed->Row(), row);
    }
    void Send(TWQHGrid* target, int qtKey, Qt::KeyboardModifiers mods, const QString& text = QString(),
              quint32 scan = 0, quint32 keysym = 0)
    {
        QKeyEvent ev(QEvent::KeyPress, qtKey, mods, scan, keysym, 0, text);
        QApplication::sendEvent(target, &ev);
    }
    void Send(int qtKey, Qt::KeyboardModifiers mods, const QString& text = QString(), quint32 scan = 0,
              quint32 keysym = 0)
    {
        Send(ed.get(), qtKey, mods, text, scan, keysym);
    }

    testsupport::ScopedPlatformFakes fakes;
    std::set<int> down;
    std::unique_ptr<TTestEditor> ed;
    int bookmarkEvents = 0;
    int invalidKeys = 0;
};

// ---- caret movement ---------------------------------------------------------------

TEST_F(KeysEditor, CtrlLeftAndCtrlRightReachTheRowEndsFromEitherField)
{
    Load(Counting(40));
    Caret(CharCol(21), RowOf(21));
    Key(VK_LEFT, ssCtrl);
    ExpectCaret(2, 3);
    Caret(HexCol(18) + 1, RowOf(18));
    Key(VK_RIGHT, ssCtrl);
    ExpectCaret(ed->ColCount() - 1, 3);
    EXPECT_TRUE(ed->InCharField());
}

TEST_F(KeysEditor, LeftAndRightStepDigitByDigitInTheHexField)
{
    Load(Bytes({1, 2, 3, 4}));
    Caret(2, 2);
    Key(VK_LEFT);
    ExpectCaret(2, 2);  // first digit of position 0: nowhere to go
    Key(VK_RIGHT);
    ExpectCaret(3, 2);
    Key(VK_RIGHT);
    ExpectCaret(4, 2);
    Key(VK_LEFT);
    ExpectCaret(3, 2);
    // Second digit of the last byte: overwrite mode has no further place.
    Caret(HexCol(3) + 1, 2);
    Key(VK_RIGHT);
    ExpectCaret(HexCol(3) + 1, 2);
    // Insert mode adds the append position.
    ed->SetInsertMode(true);
    ASSERT_TRUE(ed->InsertMode());
    Key(VK_RIGHT);
    ExpectCaret(HexCol(4), 2);
    Key(VK_RIGHT);
    ExpectCaret(HexCol(4), 2);
}

TEST_F(KeysEditor, LeftAndRightInTheCharacterFieldStepByCharacter)
{
    Load(Counting(8));
    Caret(CharCol(0), 2);
    Key(VK_LEFT);
    ExpectCaret(CharCol(0), 2);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    ExpectCaret(CharCol(2), 2);
    Caret(CharCol(7), 2);
    Key(VK_RIGHT);
    ExpectCaret(CharCol(7), 2);

    // 16-bit characters: one column holds two bytes.
    ed->SetBytesPerUnit(2);
    ed->SetUnicodeCharacters(true);
    Caret(kFirstCharCol, 2);
    Key(VK_RIGHT);
    ExpectCaret(kFirstCharCol + 1, 2);
    EXPECT_EQ(ed->GetPositionAtCursor(ed->Col(), ed->Row()), 2);
    Key(VK_LEFT);
    ExpectCaret(kFirstCharCol, 2);
}

TEST_F(KeysEditor, UpDownHomeEndAndPages)
{
    Load(Counting(16 * 40));  // rows 2..41
    const int rows = ed->RowCount();
    ASSERT_EQ(rows, 42);
    const int page = ed->VisibleRowCount();
    ASSERT_GT(page, 2) << "the shown control has room for a few rows";

    Caret(6, 10);
    Key(VK_UP);
    ExpectCaret(6, 9);
    Key(VK_DOWN);
    ExpectCaret(6, 10);
    Key(VK_UP, ssCtrl);
    ExpectCaret(6, 10);
    Key(VK_DOWN, ssCtrl);
    ExpectCaret(6, 10);

    Key(VK_HOME);
    ExpectCaret(2, 10);
    Key(VK_END);
    ExpectCaret(HexCol(15) + 1, 10);  // second digit of the row's last byte
    Key(VK_HOME, ssCtrl);
    ExpectCaret(2, 2);
    Key(VK_UP);
    ExpectCaret(2, 2);
    Key(VK_END, ssCtrl);
    ExpectCaret(HexCol(15), 41);
    Key(VK_DOWN);
    ExpectCaret(HexCol(15), 41);

    int top = ed->TopRow();
    Key(VK_PRIOR);
    EXPECT_EQ(ed->Row(), std::max(2, 41 - page + 1));
    EXPECT_EQ(ed->TopRow(), std::max(2, top - page + 1));
    Key(VK_PRIOR, ssCtrl);
    EXPECT_EQ(ed->Row(), ed->TopRow());
    Key(VK_HOME, ssCtrl);
    top = ed->TopRow();
    ASSERT_EQ(top, 2);
    Key(VK_NEXT);
    EXPECT_EQ(ed->Row(), std::min(rows - 1, 2 + page - 1));
    EXPECT_EQ(ed->TopRow(), std::min(std::max(2, rows - page), top + page - 1));
    Key(VK_NEXT, ssCtrl);
    EXPECT_EQ(ed->Row(), std::min(rows - 1, ed->TopRow() + page - 1));

    // The character field keeps its field.
    Caret(CharCol(5), 7);
    Key(VK_HOME);
    ExpectCaret(kFirstCharCol, 7);
    Key(VK_END);
    ExpectCaret(CharCol(15), 7);
    Key(VK_HOME, ssCtrl);
    ExpectCaret(kFirstCharCol, 2);
}

TEST_F(KeysEditor, EndOnAShortLastRowStopsAtTheLastByte)
{
    Load(Counting(20));  // row 3 holds 16..19
    Caret(2, 3);
    Key(VK_END);
    ExpectCaret(HexCol(19) + 1, 3);
    ed->SetInsertMode(true);
    Caret(CharCol(16), 3);
    Key(VK_END);
    ExpectCaret(CharCol(20), 3);  // the append position
}

TEST_F(KeysEditor, ShiftStartsASelectionThatTheArrowsExtend)
{
    Load(Counting(8));
    Caret(2, 2);
    down = {VK_SHIFT};
    Key(VK_SHIFT, ssShift);
    EXPECT_TRUE(ed->Selecting());
    Key(VK_RIGHT, ssShift);
    Key(VK_RIGHT, ssShift);
    ExpectCaret(HexCol(2), 2);
    EXPECT_EQ(ed->SelCount(), 3);
    // A plain arrow ends it.
    down.clear();
    Key(VK_RIGHT);
    EXPECT_EQ(ed->SelCount(), 0);
    EXPECT_FALSE(ed->Selecting());
    // Ctrl+Shift starts one too; other combinations do not.
    Key(VK_SHIFT, ssShift | ssCtrl);
    EXPECT_TRUE(ed->Selecting());
    Key(VK_ESCAPE);
    Key(VK_SHIFT, ssShift | ssAlt);
    EXPECT_FALSE(ed->Selecting());
}

TEST_F(KeysEditor, ShiftSelectionStepsByWholeUnits)
{
    Load(Counting(16));
    ed->SetBytesPerUnit(2);
    Caret(HexCol(2) + 1, 2);  // second digit of the unit at 2
    down = {VK_SHIFT};
    Key(VK_SHIFT, ssShift);
    Key(VK_RIGHT, ssShift);
    ExpectCaret(HexCol(4), 2);
    EXPECT_EQ(ed->SelCount(), 4);
    Key(VK_RIGHT, ssShift);
    ExpectCaret(HexCol(6), 2);
    Key(VK_LEFT, ssShift);
    Key(VK_LEFT, ssShift);
    Key(VK_LEFT, ssShift);
    ExpectCaret(HexCol(0), 2);
    Key(VK_LEFT, ssShift);
    ExpectCaret(HexCol(0), 2);
    EXPECT_EQ(ed->SelCount(), 4) << "units 0 and 2";
    down.clear();
}

TEST_F(KeysEditor, TabAndCtrlTSwitchTheField)
{
    Load(Counting(8));
    Caret(HexCol(3), 2);
    Key(VK_TAB);
    ExpectCaret(CharCol(3), 2);
    Key(VK_TAB, ssShift);
    ExpectCaret(HexCol(3), 2);
    Key(VK_TAB, ssCtrl);
    ExpectCaret(HexCol(3), 2);
    ed->SetWantTabs(false);
    Key('T', ssCtrl);
    ExpectCaret(CharCol(3), 2);
    Key('T');
    ExpectCaret(CharCol(3), 2);
}

// Under a Russian layout the T key gives Е, and Ctrl+Е is Ctrl+T; the keys
// come to the control's window with the native codes of the X11 platform.
TEST_F(KeysEditor, CtrlTSwitchesTheFieldUnderAnotherScriptsLayout)
{
    Load(Counting(8));
    ed->activateWindow();
    ed->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(ed->hasFocus());
    Caret(HexCol(3), 2);
    windowinput::KeyPress(ed.get(), windowinput::LetterKey(u'е'), Qt::ControlModifier, QString(), 28, 0x6c5);
    ExpectCaret(CharCol(3), 2);
    // A Latin layout through the window system: Ctrl+T as ever.
    QTest::keyClick(windowinput::WindowOf(ed.get()), Qt::Key_T, Qt::ControlModifier);
    ExpectCaret(HexCol(3), 2);
    // Another key of that layout is still no command.
    windowinput::KeyPress(ed.get(), windowinput::LetterKey(u'х'), Qt::ControlModifier, QString(), 34, 0x6c8);
    ExpectCaret(HexCol(3), 2);
}

TEST(KeysFocus, TabMovesTheFocusOnlyWhenTabsAreNotWanted)
{
    testsupport::ScopedPlatformFakes fakes;
    SetKeyStateSource([](int) { return false; });
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* ed = new TCustomWQHexEditor(&window);
    auto* line = new QLineEdit(&window);
    layout->addWidget(ed);
    layout->addWidget(line);
    window.resize(700, 400);
    window.show();
    platform::TMemoryStream s;
    const QByteArray data = Counting(8);
    s.Write(data.constData(), data.size());
    ed->LoadFromStream(s);
    ed->setFocus();
    ASSERT_EQ(window.focusWidget(), ed);

    auto send = [&](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent ev(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(ed, &ev);
    };
    send(Qt::Key_Tab, Qt::NoModifier);
    EXPECT_TRUE(ed->GetIsCharFieldCol(ed->Col()));
    EXPECT_EQ(window.focusWidget(), ed);
    send(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(ed->GetIsCharFieldCol(ed->Col()));
    EXPECT_EQ(window.focusWidget(), ed);

    ed->SetWantTabs(false);
    const int col = ed->Col();
    send(Qt::Key_Tab, Qt::NoModifier);
    EXPECT_EQ(ed->Col(), col);
    EXPECT_EQ(window.focusWidget(), line);
    // Ctrl+T still switches.
    send(Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(ed->GetIsCharFieldCol(ed->Col()));
    SetKeyStateSource({});
}

// ---- erase keys ----------------------------------------------------------------------

TEST_F(KeysEditor, EraseKeysInOverwriteMode)
{
    Load(Counting(8));
    Caret(HexCol(1) + 1, 2);
    Key(VK_BACK);
    ExpectCaret(HexCol(1), 2);
    Key(VK_BACK, ssCtrl);
    ExpectCaret(HexCol(1), 2);
    EXPECT_EQ(ed->DataSize(), 8);
    Key(VK_DELETE);
    EXPECT_EQ(ed->DataSize(), 8);
    Key(VK_DELETE, ssCtrl | ssShift);
    EXPECT_EQ(ed->DataSize(), 8);
    EXPECT_FALSE(ed->CanUndo());
    Key(VK_DELETE, ssCtrl);
    EXPECT_EQ(Data(), Bytes({0, 2, 3, 4, 5, 6, 7}));
    // Read-only view: nothing is removed.
    ed->SetReadOnlyView(true);
    Key(VK_DELETE, ssCtrl);
    EXPECT_EQ(ed->DataSize(), 7);
}

TEST_F(KeysEditor, EraseKeysInInsertMode)
{
    Load(Counting(8));
    ed->SetInsertMode(true);
    Caret(HexCol(2), 2);
    Key(VK_BACK);
    EXPECT_EQ(Data(), Bytes({0, 2, 3, 4, 5, 6, 7}));
    Key(VK_DELETE);
    EXPECT_EQ(Data().size(), 6);
    EXPECT_EQ(Data().left(1), Bytes({0}));
    // With a selection both keys remove the selection.
    ed->NewSelection(2, 3);
    Key(VK_DELETE);
    EXPECT_EQ(ed->DataSize(), 4);
    EXPECT_EQ(ed->SelCount(), 0);
}

// ---- typing hex digits ---------------------------------------------------------------

TEST_F(KeysEditor, HexDigitsReplaceTheNibbleUnderTheCaret)
{
    Load(Bytes({0x12, 0x34}));
    Caret(2, 2);
    Type("a");
    EXPECT_EQ(Data(), Bytes({0xA2, 0x34}));
    ExpectCaret(3, 2);
    Type("5");
    EXPECT_EQ(Data(), Bytes({0xA5, 0x34}));
    ExpectCaret(4, 2);
    EXPECT_TRUE(ed->HasChanged(0));
    EXPECT_FALSE(ed->HasChanged(1));
    Type("F");
    EXPECT_EQ(Data(), Bytes({0xA5, 0xF4}));
    EXPECT_EQ(ed->UndoStorage().UndoKind(), ufKindBytesChanged);
    EXPECT_EQ(invalidKeys, 0);
}

TEST_F(KeysEditor, SwappedNibblesEditTheLowNibbleFirst)
{
    Load(Bytes({0x12}));
    ed->SetSwapNibbles(true);
    Caret(2, 2);
    Type("a");
    EXPECT_EQ(Data(), Bytes({0x1A}));
    Type("5");
    EXPECT_EQ(Data(), Bytes({0x5A}));
}

TEST_F(KeysEditor, NonHexCharacterIsAnInvalidKey)
{
    Load(Bytes({0x12}));
    Caret(2, 2);
    Type("g");
    Type(QString(QChar(0x263A)));
    EXPECT_EQ(invalidKeys, 2);
    EXPECT_EQ(Data(), Bytes({0x12}));
    ExpectCaret(2, 2);
    EXPECT_FALSE(ed->CanUndo());
}

TEST_F(KeysEditor, TypingTheValueAlreadyThereOnlyAdvances)
{
    Load(Bytes({0x12, 0x41}));
    Caret(2, 2);
    Type("1");
    ExpectCaret(3, 2);
    Caret(CharCol(1), 2);
    Type("A");
    EXPECT_EQ(Data(), Bytes({0x12, 0x41}));
    EXPECT_FALSE(ed->CanUndo());
    EXPECT_FALSE(ed->HasChanged(0));
    EXPECT_FALSE(ed->HasChanged(1));
    EXPECT_FALSE(ed->Modified());
}

TEST_F(KeysEditor, ReadOnlyViewAndMaskedCharactersAreIgnoredSilently)
{
    Load(Bytes({0x12}));
    Caret(CharCol(0), 2);
    Type("\t\r\x1b");
    EXPECT_EQ(Data(), Bytes({0x12}));
    ed->SetReadOnlyView(true);
    Type("A");
    Caret(2, 2);
    Type("7");
    EXPECT_EQ(Data(), Bytes({0x12}));
    EXPECT_EQ(invalidKeys, 0);
}

TEST_F(KeysEditor, OverwriteModeOnTheAppendCellIgnoresTyping)
{
    ed->CreateEmptyFile("");
    Type("a");
    EXPECT_EQ(ed->DataSize(), 0);
    Caret(kFirstCharCol, 2);
    Type("a");
    EXPECT_EQ(ed->DataSize(), 0);
    EXPECT_EQ(invalidKeys, 0);
    // Insert mode creates the data.
    ed->SetInsertMode(true);
    Caret(2, 2);
    Type("4");
    EXPECT_EQ(Data(), Bytes({0x40}));
}

TEST_F(KeysEditor, InsertModeFirstDigitInsertsAUnit)
{
    Load(Bytes({0x11, 0x22, 0x33, 0x44}));
    ed->SetBytesPerUnit(2);
    ed->SetInsertMode(true);
    Caret(HexCol(2), 2);
    Type("7");
    EXPECT_EQ(Data(), Bytes({0x11, 0x22, 0x70, 0x00, 0x33, 0x44}));
    ExpectCaret(HexCol(2) + 1, 2);
    EXPECT_EQ(ed->UndoStorage().UndoKind(), ufKindInsertBuffer);
    EXPECT_FALSE(ed->HasChanged(2));
}

TEST_F(KeysEditor, InsertModeUnitWithSwappedNibbles)
{
    Load(Bytes({0x11, 0x22, 0x33, 0x44}));
    ed->SetBytesPerUnit(2);
    ed->SetSwapNibbles(true);
    ed->SetInsertMode(true);
    Caret(HexCol(2), 2);
    Type("7");
    EXPECT_EQ(Data(), Bytes({0x11, 0x22, 0x07, 0x00, 0x33, 0x44}));
}

TEST_F(KeysEditor, InsertModeDigitReplacesTheSelectionByOneUnit)
{
    Load(Counting(8));
    ed->SetInsertMode(true);
    Caret(HexCol(1) + 1, 2);  // not a unit start: the selection decides
    ed->NewSelection(2, 5);
    Type("9");
    EXPECT_EQ(Data(), Bytes({0, 1, 0x90, 6, 7}));
    EXPECT_FALSE(ed->Selecting());
}

TEST_F(KeysEditor, InsertModeSecondDigitChangesTheByteInPlace)
{
    Load(Bytes({0x12, 0x34}));
    ed->SetInsertMode(true);
    Caret(3, 2);
    Type("f");
    EXPECT_EQ(Data(), Bytes({0x1F, 0x34}));
    EXPECT_EQ(ed->UndoStorage().UndoKind(), ufKindBytesChanged);
    EXPECT_FALSE(ed->HasChanged(0)) << "insert mode keeps no marks";
    ExpectCaret(4, 2);
}

// ---- typing characters ---------------------------------------------------------------

TEST_F(KeysEditor, CharactersAreStoredThroughTheTranslation)
{
    Load(Bytes({0, 0, 0}));
    Caret(CharCol(0), 2);
    Type("Az");
    EXPECT_EQ(Data(), Bytes({'A', 'z', 0}));
    ExpectCaret(CharCol(2), 2);

    ed->SetTranslation(tkBCD);
    const int mapped = ed->TranslateTypedChar(u'A');
    ASSERT_GE(mapped, 0);
    ASSERT_NE(mapped, 'A') << "EBCDIC stores A elsewhere";
    Type("A");
    EXPECT_EQ(static_cast<std::uint8_t>(Data()[2]), mapped);
}

TEST_F(KeysEditor, MaskedValueAfterTranslationIsAnInvalidKey)
{
    Load(Bytes({0, 0}));
    ed->SetTranslation(tkBCD);
    const int mapped = ed->TranslateTypedChar(u'A');
    ASSERT_GE(mapped, 0);
    TWQHCharSet masked = ed->MaskedChars();
    masked.set(static_cast<std::size_t>(mapped));
    ed->SetMaskedChars(masked);
    Caret(CharCol(0), 2);
    Type("A");
    EXPECT_EQ(invalidKeys, 1);
    EXPECT_EQ(Data(), Bytes({0, 0}));
    ExpectCaret(CharCol(0), 2);
}

TEST_F(KeysEditor, InsertModeCharactersInsertAppendAndFillUnits)
{
    Load(Bytes({1, 2}));
    ed->SetInsertMode(true);
    Caret(CharCol(1), 2);
    Type("Z");
    EXPECT_EQ(Data(), Bytes({1, 'Z', 2}));
    Caret(CharCol(3), 2);
    Type("Y");
    EXPECT_EQ(Data(), Bytes({1, 'Z', 2, 'Y'}));
    EXPECT_EQ(ed->UndoStorage().UndoKind(), ufKindAppendBuffer);
}

TEST_F(KeysEditor, UnicodeOverwriteWritesTheCharacterAndMarksChangedBytes)
{
    Load(Bytes({0x41, 0x00, 0x42, 0x00}));
    ed->SetBytesPerUnit(2);
    ed->SetUnicodeCharacters(true);
    Caret(kFirstCharCol, 2);
    Type("A");
    EXPECT_EQ(Data(), Bytes({0x41, 0x00, 0x42, 0x00}));
    EXPECT_FALSE(ed->CanUndo());
    ExpectCaret(kFirstCharCol + 1, 2);
    Type("A");
    EXPECT_EQ(Data(), Bytes({0x41, 0x00, 0x41, 0x00}));
    EXPECT_TRUE(ed->HasChanged(2));
    EXPECT_FALSE(ed->HasChanged(3));
    EXPECT_FALSE(ed->HasChanged(0));
    // A character above 255 is fine in this mode.
    Caret(kFirstCharCol, 2);
    Type(QString(QChar(0x263A)));
    EXPECT_EQ(Data(), Bytes({0x3A, 0x26, 0x41, 0x00}));
    EXPECT_EQ(invalidKeys, 0);
}

TEST_F(KeysEditor, UnicodeBigEndianStoresTheHighByteFirst)
{
    Load(Bytes({0x00, 0x42}));
    ed->SetBytesPerUnit(2);
    ed->SetUnicodeCharacters(true);
    ed->SetUnicodeBigEndian(true);
    Caret(kFirstCharCol, 2);
    Type("A");
    EXPECT_EQ(Data(), Bytes({0x00, 0x41}));
    EXPECT_FALSE(ed->HasChanged(0));
    EXPECT_TRUE(ed->HasChanged(1));
}

// A 16-bit change leaves the mark of a byte it does not change.
TEST_F(KeysEditor, WideCharChangeKeepsEarlierMarks)
{
    Load(Bytes({0x41, 0x00, 0x42, 0x00}));
    ed->SetBytesPerUnit(2);
    ed->SetUnicodeCharacters(true);
    Caret(HexCol(1), 2);
    Type("7");
    ASSERT_EQ(Data(), Bytes({0x41, 0x70, 0x42, 0x00}));
    ASSERT_TRUE(ed->HasChanged(1));
    // U+7042 stores 42 70: only byte 0 changes now.
    Caret(kFirstCharCol, 2);
    Type(QString(QChar(0x7042)));
    EXPECT_EQ(Data(), Bytes({0x42, 0x70, 0x42, 0x00}));
    EXPECT_TRUE(ed->HasChanged(0));
    EXPECT_TRUE(ed->HasChanged(1)) << "the earlier mark of byte 1 was cleared";

    // The same through the operation itself.
    ed->SetChanged(3, true);
    ed->IntChangeWideChar(char16_t(0x0042), char16_t(0x0043), 2, QString());
    EXPECT_EQ(Data(), Bytes({0x42, 0x70, 0x43, 0x00}));
    EXPECT_TRUE(ed->HasChanged(2));
    EXPECT_TRUE(ed->HasChanged(3));
}

// 16-bit typing on the last byte of odd-sized data changes only that byte.
TEST_F(KeysEditor, WideCharOnTheOddLastByteChangesOnlyThatByte)
{
    Load(Bytes({0x41, 0x00, 0x42, 0x00}));
    ed->SetBytesPerUnit(2);
    ed->SetUnicodeCharacters(true);
    ed->SetDataSize(3);
    ASSERT_EQ(ed->DataSize(), 3);
    ed->ResetUndo();
    Caret(kFirstCharCol + 1, 2);
    ASSERT_EQ(ed->GetPositionAtCursor(ed->Col(), ed->Row()), 2);
    Type("Z");
    EXPECT_EQ(Data(), Bytes({0x41, 0x00, 'Z'}));
    EXPECT_TRUE(ed->HasChanged(2));
    EXPECT_TRUE(ed->CanUndo());
    EXPECT_TRUE(fakes.ui.exceptions.empty());
    ASSERT_TRUE(ed->Undo());
    EXPECT_EQ(Data(), Bytes({0x41, 0x00, 0x42}));

    // Called directly at the last byte: same rule, no out-of-bounds write.
    ed->IntChangeWideChar(char16_t(0x0042), char16_t(0x0058), 2, QString());
    EXPECT_EQ(Data(), Bytes({0x41, 0x00, 'X'}));
    EXPECT_EQ(ed->DataSize(), 3);
}

// Outside the 16-bit mode a character the data cannot hold is refused,
// never cut to its low 8 bits.
TEST_F(KeysEditor, UnstorableCharacterIsRefusedWhateverIsMasked)
{
    Load(Bytes({0x00, 0x00}));
    Caret(CharCol(0), 2);
    Type(QString(QChar(0x0141)));  // low byte 0x41 would be 'A'
    EXPECT_EQ(invalidKeys, 1);
    EXPECT_EQ(Data(), Bytes({0, 0}));
    ed->SetMaskedChars(TWQHCharSet());
    Type(QString(QChar(0x0141)));
    EXPECT_EQ(invalidKeys, 2);
    EXPECT_EQ(Data(), Bytes({0, 0}));
    ExpectCaret(CharCol(0), 2);

    // A character the translation has no byte for.
    int refused = -1;
    for (int c = 32; c < 256 && refused < 0; ++c) {
        ed->SetTranslation(tkBCD);
        if (ed->TranslateTypedChar(static_cast<char16_t>(c)) < 0)
            refused = c;
    }
    ASSERT_GE(refused, 0) << "EBCDIC 038 lacks some Latin-1 characters";
    Type(QString(QChar(refused)));
    EXPECT_EQ(invalidKeys, 3);
    EXPECT_EQ(Data(), Bytes({0, 0}));
    EXPECT_FALSE(ed->CanUndo());
}

// ---- OnKeyDown ------------------------------------------------------------------------

TEST_F(KeysEditor, KeyDownHandlerSeesEveryKeyAndCanSwallowIt)
{
    Load(Bytes({0x12, 0x34}));
    std::vector<std::uint16_t> seen;
    bool swallow = false;
    ed->SetOnKeyDown([&](QObject*, std::uint16_t& key, TShiftState) {
        seen.push_back(key);
        if (swallow)
            key = 0;
    });
    Caret(2, 2);
    Type("9");
    EXPECT_EQ(seen, std::vector<std::uint16_t>{VK_RIGHT}) << "the synthetic Right goes through KeyDown";
    ExpectCaret(3, 2);

    swallow = true;
    ed->NewSelection(0, 1);
    Key(VK_RIGHT);
    ExpectCaret(3, 2);
    EXPECT_EQ(ed->SelCount(), 0) << "without modifiers the selection still ends";
    Key(VK_INSERT);
    EXPECT_FALSE(ed->InsertMode());
    Key('T', ssCtrl);
    ExpectCaret(3, 2);
    Type("4");
    EXPECT_EQ(Data(), Bytes({0x94, 0x34}));
    ExpectCaret(3, 2);  // the swallowed Right does not advance
}

// ---- bookmarks through keys ------------------------------------------------------------

TEST_F(KeysEditor, CtrlShift3TogglesMovesAndKnowsTheField)
{
    Load(Counting(32));
    const auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    auto press3 = [&] { Send(Qt::Key_NumberSign, ctrlShift, QStringLiteral("#"), 12, 0x23); };

    Caret(HexCol(5), 2);
    press3();
    EXPECT_EQ(ed->GetBookmark(3), (TWQHBookmark{5, false}));
    EXPECT_EQ(bookmarkEvents, 1);
    press3();
    EXPECT_LT(ed->GetBookmark(3).mPosition, 0);
    EXPECT_EQ(bookmarkEvents, 2);
    press3();
    Caret(HexCol(7), 2);
    press3();
    EXPECT_EQ(ed->GetBookmark(3), (TWQHBookmark{7, false}));
    Caret(CharCol(7), 2);
    press3();
    EXPECT_EQ(ed->GetBookmark(3), (TWQHBookmark{7, true}));
    EXPECT_EQ(bookmarkEvents, 5);
    EXPECT_EQ(Data(), Counting(32)) << "the '#' was not typed";
    EXPECT_TRUE(fakes.ui.exceptions.empty());
}

TEST_F(KeysEditor, CtrlDigitGoesToTheBookmark)
{
    Load(Counting(32));
    ed->SetBookmark(5, {20, true});
    Caret(2, 2);
    Send(Qt::Key_5, Qt::ControlModifier);
    ExpectCaret(CharCol(20), RowOf(20));
    EXPECT_TRUE(ed->InCharField());
}

TEST_F(KeysEditor, CtrlDigitOnAnUnsetBookmarkKeepsTheSelection)
{
    Load(Counting(32));
    Caret(2, 2);
    ed->NewSelection(2, 4);
    Key('5', ssCtrl);
    EXPECT_EQ(ed->SelCount(), 3);
    EXPECT_EQ(bookmarkEvents, 0);
    ExpectCaret(2, 2);
}

TEST_F(KeysEditor, CtrlDigitOnAStaleBookmarkClearsItAndTheSelection)
{
    Load(Counting(32));
    ed->SetBookmark(5, {40, false});
    ASSERT_EQ(bookmarkEvents, 1);
    Caret(2, 2);
    ed->NewSelection(2, 4);
    Key('5', ssCtrl);
    EXPECT_EQ(ed->SelCount(), 0);
    EXPECT_LT(ed->GetBookmark(5).mPosition, 0);
    EXPECT_EQ(bookmarkEvents, 2);
    ExpectCaret(2, 2);
}

TEST_F(KeysEditor, BookmarkAtDataSizeIsReachedInInsertModeOnly)
{
    Load(Counting(16));
    ed->SetBookmark(2, {16, false});
    ed->SetInsertMode(true);
    EXPECT_TRUE(ed->GotoBookmark(2));
    ExpectCaret(2, 3);
    ed->SetInsertMode(false);
    EXPECT_FALSE(ed->GotoBookmark(2));
    EXPECT_LT(ed->GetBookmark(2).mPosition, 0);
}

// ReadOnlyView hides insert mode without switching it off, and the rows keep
// the append position; the keys and the bookmarks read the mode as switched.
TEST_F(KeysEditor, UnderReadOnlyViewTheKeysFollowTheSwitchedInsertMode)
{
    Load(Counting(40));
    ed->SetInsertMode(true);
    ed->SetReadOnlyView(true);
    ASSERT_FALSE(ed->InsertMode());
    Key(VK_END, ssCtrl);
    ExpectCaret(HexCol(40), RowOf(40));
    Caret(HexCol(39) + 1, RowOf(39));
    Key(VK_RIGHT);
    ExpectCaret(HexCol(40), RowOf(40));
    // A key without modifiers leaves the selection.
    ed->NewSelection(3, 6);
    Key(VK_F1 + 4);
    EXPECT_EQ(ed->SelCount(), 4);
    // A bookmark on the append position is reached, not cleared.
    ed->SetBookmark(4, {40, true});
    Caret(2, 2);
    EXPECT_TRUE(ed->GotoBookmark(4));
    ExpectCaret(CharCol(40), RowOf(40));
    EXPECT_EQ(ed->GetBookmark(4).mPosition, 40);
}

TEST_F(KeysEditor, KeypadDigitsWithCtrlAreNoBookmarkKeys)
{
    Load(Counting(16));
    ed->SetBookmark(1, {3, false});
    Caret(2, 2);
    Send(Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier, QStringLiteral("1"));
    ExpectCaret(2, 2);
    Send(Qt::Key_2, Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_LT(ed->GetBookmark(2).mPosition, 0);
    EXPECT_EQ(bookmarkEvents, 1);
    EXPECT_EQ(Data(), Counting(16));
    // The main keyboard digit does go there.
    Send(Qt::Key_1, Qt::ControlModifier);
    ExpectCaret(HexCol(3), 2);
}

// ---- bookmark store ----------------------------------------------------------------------

TEST_F(KeysEditor, BookmarkIndexOutsideZeroToNineIsRefused)
{
    Load(Counting(16));
    ed->SetBookmark(9, {4, false});
    const TWQHBookmarks before = ed->Bookmarks();
    bookmarkEvents = 0;
    auto expectRefused = [&](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "accepted";
        } catch (const EWQHexEditor& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid bookmark index"));
        }
    };
    expectRefused([&] { ed->GetBookmark(10); });
    expectRefused([&] { ed->GetBookmark(255); });
    expectRefused([&] { ed->SetBookmark(10, {1, false}); });
    expectRefused([&] { ed->SetBookmarkVals(10, 1, true); });
    expectRefused([&] { ed->GotoBookmark(10); });
    expectRefused([&] { ed->GotoBookmark(-1); });
    EXPECT_EQ(ed->Bookmarks(), before);
    EXPECT_EQ(bookmarkEvents, 0);
    EXPECT_TRUE(ed->GotoBookmark(9));
}

TEST_F(KeysEditor, AssigningTheSameBookmarkAgainClearsIt)
{
    ed->SetBookmark(4, {6, true});
    EXPECT_EQ(ed->GetBookmark(4), (TWQHBookmark{6, true}));
    ed->SetBookmark(4, {6, true});
    EXPECT_EQ(ed->GetBookmark(4), (TWQHBookmark{-1, true}));
    ed->SetBookmark(4, {6, false});
    ed->SetBookmark(4, {6, true});
    EXPECT_EQ(ed->GetBookmark(4), (TWQHBookmark{6, true}));
    EXPECT_EQ(bookmarkEvents, 4);

    // A negative position is unset but kept as given; the same value again toggles it to -1.
    ed->SetBookmarkVals(3, -7, true);
    EXPECT_EQ(ed->GetBookmark(3), (TWQHBookmark{-7, true}));
    EXPECT_FALSE(ed->GotoBookmark(3));
    EXPECT_EQ(ed->GetBookmark(3), (TWQHBookmark{-7, true}));
    ed->SetBookmarkVals(3, -7, true);
    EXPECT_EQ(ed->GetBookmark(3), (TWQHBookmark{-1, true}));
    ed->SetBookmark(3, {-2, false});
    EXPECT_EQ(ed->GetBookmark(3), (TWQHBookmark{-2, false}));
    EXPECT_EQ(bookmarkEvents, 7);

    TWQHBookmarks all;
    all[0] = {1, false};
    all[7] = {-9, true};
    ed->SetBookmarks(all);
    EXPECT_EQ(bookmarkEvents, 8);
    EXPECT_EQ(ed->GetBookmark(0), (TWQHBookmark{1, false}));
    EXPECT_EQ(ed->GetBookmark(7).mPosition, -1);
    EXPECT_EQ(ed->GetBookmark(4).mPosition, -1);
}

TEST_F(KeysEditor, AdjustBookmarksMovesClearsAndNotifiesOnce)
{
    const int n = 40;
    TWQHBookmarks all;
    all[0] = {9, false};
    all[1] = {10, true};
    all[2] = {n - 2, false};
    ed->SetBookmarks(all);
    bookmarkEvents = 0;

    ed->AdjustBookmarks(10, 5, n);
    EXPECT_EQ(ed->GetBookmark(0), (TWQHBookmark{9, false}));
    EXPECT_EQ(ed->GetBookmark(1), (TWQHBookmark{15, true}));
    EXPECT_EQ(ed->GetBookmark(2).mPosition, -1);
    EXPECT_EQ(bookmarkEvents, 1);

    ed->AdjustBookmarks(100, 3, n);  // nothing at or after 100
    ed->AdjustBookmarks(-1, 3, n);
    EXPECT_EQ(bookmarkEvents, 1);
    ed->AdjustBookmarks(15, 0, n);  // a slot at 15, no shift: still one event
    EXPECT_EQ(bookmarkEvents, 2);
    EXPECT_EQ(ed->GetBookmark(1).mPosition, 15);

    // The append position (equal to the new size) stays; a removal moves back.
    ed->AdjustBookmarks(12, n - 15, n);
    EXPECT_EQ(ed->GetBookmark(1).mPosition, n);
    ed->AdjustBookmarks(12, -2, n - 2);
    EXPECT_EQ(ed->GetBookmark(1).mPosition, n - 2);
    EXPECT_EQ(ed->GetBookmark(0).mPosition, 9);
}

TEST_F(KeysEditor, TypingBeforeABookmarkMovesItAndUndoMovesItBack)
{
    Load(Counting(8));
    ed->SetBookmark(0, {5, false});
    ed->SetInsertMode(true);
    Caret(HexCol(2), 2);
    Type("1");
    EXPECT_EQ(ed->GetBookmark(0).mPosition, 6);
    ASSERT_TRUE(ed->Undo());
    EXPECT_EQ(ed->GetBookmark(0).mPosition, 5);
}

// ---- glyph strip on the control ------------------------------------------------------

TEST_F(KeysEditor, BuiltInAndCustomGlyphStrips)
{
    EXPECT_EQ(ed->BookmarkBitmap().size(), QSize(200, 10));
    EXPECT_FALSE(ed->HasCustomBookmarkBitmap());
    EXPECT_EQ(ed->BookmarkBitmap().convertToFormat(QImage::Format_RGB32), WQHDefaultBookmarkStrip());
    EXPECT_EQ(ed->GlyphCount(), 20);

    const QImage wrong(10, 200, QImage::Format_RGB32);
    try {
        ed->SetBookmarkBitmap(&wrong);
        ADD_FAILURE() << "a 10 x 200 strip was taken";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid bookmark bitmap (must be 10 x 200 px)"));
    }
    const QImage empty;
    EXPECT_THROW(ed->SetBookmarkBitmap(&empty), EWQHexEditor);
    EXPECT_FALSE(ed->HasCustomBookmarkBitmap());
    EXPECT_EQ(ed->GlyphCount(), 20);

    QImage custom(200, 10, QImage::Format_RGB32);
    custom.fill(Qt::red);
    for (int g = 0; g < 20; ++g)
        custom.setPixel(g * 10, 0, qRgb(0, 255, 0));  // each glyph's corner is the key colour
    ed->SetBookmarkBitmap(&custom);
    EXPECT_TRUE(ed->HasCustomBookmarkBitmap());
    EXPECT_EQ(ed->BookmarkBitmap(), custom);
    ASSERT_EQ(ed->GlyphCount(), 20);
    EXPECT_EQ(qAlpha(ed->Glyph(7).pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(ed->Glyph(7).pixel(1, 0)), 255);

    ed->SetBookmarkBitmap(nullptr);
    EXPECT_FALSE(ed->HasCustomBookmarkBitmap());
    EXPECT_EQ(ed->BookmarkBitmap().convertToFormat(QImage::Format_RGB32), WQHDefaultBookmarkStrip());
}

} // namespace

namespace {

// A control too small for one full row: the page keys then move by one row,
// never the wrong way.
TEST(KeysHidden, PageKeysOnAControlWithoutVisibleRows)
{
    testsupport::ScopedPlatformFakes fakes;
    SetKeyStateSource([](int) { return false; });
    TCustomWQHexEditor ed;
    ed.resize(600, 4);
    ed.show();
    platform::TMemoryStream s;
    const QByteArray data = Counting(16 * 10);
    s.Write(data.constData(), data.size());
    ed.LoadFromStream(s);
    ASSERT_EQ(ed.VisibleRowCount(), 0);
    ed.MoveColRow(4, 6, true, true);
    ASSERT_EQ(ed.Row(), 6);
    ed.SetTopRow(6);
    std::uint16_t key = VK_PRIOR;
    ed.KeyDown(key, 0);
    EXPECT_EQ(ed.Row(), 5);
    EXPECT_EQ(ed.TopRow(), 5);
    key = VK_NEXT;
    ed.KeyDown(key, 0);
    EXPECT_EQ(ed.Row(), 6);
    EXPECT_EQ(ed.TopRow(), 6);
    key = VK_NEXT;
    ed.KeyDown(key, 0);
    EXPECT_EQ(ed.Row(), 7);
    // Ctrl+PgDn: no row is fully shown, the top row is the last one in view.
    key = VK_NEXT;
    ed.KeyDown(key, ssCtrl);
    EXPECT_EQ(ed.Row(), ed.TopRow());
    EXPECT_EQ(ed.Col(), 4);

    // One full row: a page is still that row.
    auto resizeTo = [&](int height) {
        ed.resize(600, height);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    };
    resizeTo(300);
    resizeTo(ed.height() - ed.ClientHeight() + ed.RowHeight() + 2);
    ASSERT_EQ(ed.VisibleRowCount(), 1);
    const int row = ed.Row();
    key = VK_NEXT;
    ed.KeyDown(key, 0);
    EXPECT_EQ(ed.Row(), row + 1);
    key = VK_PRIOR;
    ed.KeyDown(key, 0);
    EXPECT_EQ(ed.Row(), row);
    SetKeyStateSource({});
}

} // namespace
