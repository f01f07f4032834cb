// Undo and redo on the real control: which steps it accepts, brackets, typing,
// failed edits, new data sets, and random edit sequences undone and redone.
#include "editor_bytes.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

class Editor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::CanCreateUndo;
    using TCustomWQHexEditor::CreateUndo;
    using TCustomWQHexEditor::InternalErase;
    bool failWrites = false;
    void WriteBuffer(const void* Buffer, int Index, int Count) override
    {
        if (failWrites)
            throw EWQHexEditor(QStringLiteral("write refused"));
        TCustomWQHexEditor::WriteBuffer(Buffer, Index, Count);
    }
};

using editortest::Bytes;
using editortest::DataOf;
using editortest::Load;

std::vector<bool> MarksOf(const TCustomWQHexEditor& ed)
{
    std::vector<bool> m;
    for (int i = 0; i < ed.DataSize(); ++i)
        m.push_back(ed.HasChanged(i));
    return m;
}

QString CannotUpdate()
{
    return QString::fromLatin1(wqhstr::CannotUpdateUndo);
}

TEST(UndoControl, TypedDigitIsUndoneAndRedone)
{
    Editor ed;
    Load(ed, Bytes(8, 0));
    ASSERT_EQ(ed.Col(), 2);
    ed.WMChar(u'1');
    ASSERT_EQ(ed.GetDataAt(0), 0x10);
    ASSERT_TRUE(ed.HasChanged(0));
    ASSERT_TRUE(ed.CanUndo());
    const QString desc = ed.UndoDescription();
    EXPECT_EQ(desc, "Change byte(s)");

    EXPECT_TRUE(ed.Undo());
    EXPECT_EQ(ed.GetDataAt(0), 0x00);
    EXPECT_FALSE(ed.HasChanged(0));
    EXPECT_EQ(ed.Col(), 2);
    EXPECT_EQ(ed.Row(), 2);
    EXPECT_TRUE(ed.CanRedo());
    EXPECT_FALSE(ed.CanUndo());
    EXPECT_EQ(ed.UndoDescription(), "No undo");

    EXPECT_TRUE(ed.Redo());
    EXPECT_EQ(ed.GetDataAt(0), 0x10);
    EXPECT_TRUE(ed.HasChanged(0));
    EXPECT_TRUE(ed.CanUndo());
    EXPECT_EQ(ed.UndoDescription(), desc);
    EXPECT_FALSE(ed.CanRedo());
}

TEST(UndoControl, WithoutDataOnlyStepsThatBringDataAreAccepted)
{
    Editor ed;
    ed.CreateEmptyFile(QString());
    ASSERT_EQ(ed.DataSize(), 0);
    for (int k = ufKindBytesChanged; k <= ufKindAllData; ++k) {
        const auto kind = TWQHUndoFlag(k);
        const bool accepted = kind == ufKindInsertBuffer || kind == ufKindAppendBuffer || kind == ufKindAllData ||
                              kind == ufKindCombined;  // joins 0 steps, and the store holds 0
        EXPECT_EQ(ed.CanCreateUndo(kind, 0, 0), accepted) << k;
    }
    EXPECT_FALSE(ed.CanCreateUndo(ufKindCombined, 1, 0));
    try {
        ed.CreateUndo(ufKindByteRemoved, 0, 1, 0, QString());
        FAIL() << "no exception";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), CannotUpdate());
    }
    EXPECT_FALSE(ed.Modified());
    EXPECT_EQ(ed.UndoStorage().Count(), 0);

    const std::uint8_t b[2] = {1, 2};
    ed.AppendBuffer(b, 2, QString(), true);
    EXPECT_EQ(ed.UndoStorage().Count(), 1);
    ed.CreateEmptyFile(QString());
    ed.UndoStorage().BeginUpdate();
    ed.UndoStorage().EndUpdate();
    ed.AppendBuffer(b, 2, QString(), true);
    ed.SetDataSize(0);  // a removal step recorded while there was data
    EXPECT_EQ(ed.UndoStorage().Count(), 2);
    EXPECT_TRUE(ed.CanCreateUndo(ufKindCombined, 2, 0));
    EXPECT_FALSE(ed.CanCreateUndo(ufKindCombined, 3, 0));
}

TEST(UndoControl, FixedSizeAcceptsOnlySizeKeepingSteps)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    ed.SetNoSizeChange(true);
    EXPECT_TRUE(ed.CanCreateUndo(ufKindReplace, 2, 2));
    EXPECT_FALSE(ed.CanCreateUndo(ufKindReplace, 3, 2));
    EXPECT_TRUE(ed.CanCreateUndo(ufKindBytesChanged, 1, 0));
    EXPECT_TRUE(ed.CanCreateUndo(ufKindConvert, 4, 0));
    EXPECT_TRUE(ed.CanCreateUndo(ufKindAllData, 0, 0));
    for (auto kind : {ufKindByteRemoved, ufKindInsertBuffer, ufKindAppendBuffer, ufKindNibbleInsert,
                      ufKindNibbleDelete})
        EXPECT_FALSE(ed.CanCreateUndo(kind, 1, 0)) << int(kind);

    ed.SetSelStart(2);
    ed.SetSelEnd(3);
    EXPECT_THROW(ed.DeleteSelection(QString()), EWQHexEditor);
    EXPECT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(ed.UndoStorage().Count(), 0);
    EXPECT_FALSE(ed.Modified());
}

// An undo asked for inside a bracket empties the store and closes the brackets.
TEST(UndoControl, BracketHidesUndoButEditsStillModify)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    const std::uint8_t b[1] = {9};
    ed.InsertBuffer(b, 1, 0, QString(), false);
    ASSERT_EQ(ed.UndoStorage().Count(), 1);
    ed.SetModified(false);  // also empties the store
    EXPECT_EQ(ed.UndoStorage().Count(), 0);
    ed.InsertBuffer(b, 1, 0, QStringLiteral("before"), false);

    EXPECT_EQ(ed.UndoBeginUpdate(), 1);
    ed.InsertBuffer(b, 1, 2, QString(), false);
    EXPECT_TRUE(ed.Modified());
    EXPECT_FALSE(ed.CanUndo());
    EXPECT_EQ(ed.UndoDescription(), "No undo");
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(ed.UndoDescription(), "before");
    EXPECT_EQ(ed.UndoStorage().Count(), 1);

    ed.UndoBeginUpdate();
    EXPECT_FALSE(ed.Undo());
    EXPECT_EQ(ed.UndoStorage().UpdateCount(), 0);
    EXPECT_EQ(ed.UndoStorage().Count(), 0);
    EXPECT_EQ(ed.DataSize(), 7);
    EXPECT_TRUE(ed.Modified());
    EXPECT_EQ(ed.UndoDescription(), "No undo");
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
}

TEST(UndoControl, ReadOnlyViewHidesUndoAndRedo)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    ed.SetSelStart(1);
    ed.DeleteSelection(QString());
    ASSERT_TRUE(ed.CanUndo());
    ed.SetReadOnlyView(true);
    EXPECT_FALSE(ed.CanUndo());
    ed.SetReadOnlyView(false);
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4}));
    ed.SetReadOnlyView(true);
    EXPECT_FALSE(ed.CanRedo());
}

TEST(UndoControl, AFailedEditLeavesNoStepBehind)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    const std::uint8_t b[2] = {7, 8};
    ed.InsertBuffer(b, 2, 4, QStringLiteral("kept"), false);
    ed.SetModified(false);
    ed.InsertBuffer(b, 2, 0, QStringLiteral("kept"), false);
    ed.SetBookmark(1, TWQHBookmark{5, false});
    const auto bytes = ed.UndoStorage().Bytes();

    ed.failWrites = true;
    EXPECT_THROW(ed.InsertBuffer(b, 2, 1, QStringLiteral("lost"), false), EWQHexEditor);
    ed.failWrites = false;
    EXPECT_EQ(ed.UndoStorage().Bytes(), bytes);
    EXPECT_EQ(ed.UndoStorage().Count(), 1);
    EXPECT_EQ(ed.UndoDescription(), "kept");
    EXPECT_EQ(ed.GetBookmark(1).mPosition, 5);
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4, 7, 8}));
}

TEST(UndoControl, NewDataSetDropsStepsAndRedoUnlessABracketIsOpen)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    ed.SetSelStart(0);
    ed.DeleteSelection(QString());
    ASSERT_TRUE(ed.Undo());
    ASSERT_TRUE(ed.CanRedo());
    Load(ed, Bytes{5, 6, 7, 8});
    EXPECT_FALSE(ed.CanRedo());
    EXPECT_FALSE(ed.Redo());
    EXPECT_EQ(DataOf(ed), (Bytes{5, 6, 7, 8}));

    ed.SetSelStart(0);
    ed.DeleteSelection(QString());
    ASSERT_TRUE(ed.Undo());
    ed.CreateEmptyFile(QString());
    EXPECT_FALSE(ed.CanRedo());

    // While a bracket is open the store stays for the bracket's owner, redo
    // included; a redo over bytes other than its own is still refused.
    Load(ed, Bytes{1, 2, 3, 4});
    ed.InsertBuffer(Bytes{9}.data(), 1, 0, QString(), false);
    ed.SetSelStart(2);
    ed.DeleteSelection(QString());
    ASSERT_TRUE(ed.Undo());
    ed.UndoBeginUpdate();
    Load(ed, Bytes{5, 6, 7, 8, 9});
    EXPECT_EQ(ed.UndoStorage().Count(), 1);
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_TRUE(ed.CanUndo());
    EXPECT_TRUE(ed.CanRedo());
    EXPECT_FALSE(ed.Redo());
    EXPECT_EQ(DataOf(ed), (Bytes{5, 6, 7, 8, 9}));
}

// A step whose data change fails is still the newest step afterwards.
TEST(UndoControl, AFailedUndoLeavesItsStepToBeUndoneAgain)
{
    Editor ed;
    Load(ed, Bytes(8, 0));
    ed.WMChar(u'7');
    ASSERT_EQ(ed.GetDataAt(0), 0x70);
    ed.failWrites = true;
    EXPECT_THROW(ed.Undo(), EWQHexEditor);
    ed.failWrites = false;
    EXPECT_EQ(ed.GetDataAt(0), 0x70);
    ASSERT_TRUE(ed.CanUndo());
    EXPECT_EQ(ed.UndoDescription(), "Change byte(s)");
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(ed.GetDataAt(0), 0x00);
    EXPECT_FALSE(ed.CanUndo());
}

// A host that edits from OnChange while an undo restores its state records
// a step on top of the one being undone: the undone step must still go, and
// never be undone a second time.
TEST(UndoControl, AStepAHandlerRecordsDuringAnUndoLeavesTheUndoneStepGone)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    const std::uint8_t inserted[] = {0xA0, 0xA1};
    ed.InsertBuffer(inserted, 2, 0, QStringLiteral("Insert"), false);
    ASSERT_EQ(DataOf(ed), (Bytes{0xA0, 0xA1, 1, 2, 3, 4}));
    bool once = true;
    ed.SetOnChange([&](QObject*) {
        if (!once)
            return;
        once = false;
        const std::uint8_t tail = 0xEE;
        ed.InsertBuffer(&tail, 1, ed.DataSize(), QStringLiteral("Handler"), false);
    });
    EXPECT_TRUE(ed.Undo());
    ed.SetOnChange({});
    ASSERT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4, 0xEE}));
    EXPECT_FALSE(ed.CanRedo()) << "the handler's step ended the redo";
    // What is left to undo is the handler's step alone.
    EXPECT_EQ(ed.UndoDescription(), "Handler");
    EXPECT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4})) << "the insert was undone once, not twice";
    EXPECT_FALSE(ed.CanUndo());
}

TEST(UndoControl, RedoOfAStepThatNoLongerFitsChangesNothingButItself)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    ed.SetSelStart(0);
    ed.DeleteSelection(QStringLiteral("first"));
    ed.SetSelStart(2);
    ed.DeleteSelection(QString());
    ASSERT_EQ(DataOf(ed), (Bytes{2, 3}));
    ASSERT_TRUE(ed.Undo());
    ed.UndoBeginUpdate();
    const std::uint8_t b[1] = {9};
    ed.AppendBuffer(b, 1, QString(), false);  // not recorded; the size changed under the redo
    ed.UndoEndUpdate();
    ASSERT_TRUE(ed.CanRedo());
    EXPECT_FALSE(ed.Redo());
    EXPECT_EQ(DataOf(ed), (Bytes{2, 3, 4, 9}));
    EXPECT_FALSE(ed.CanRedo());
    // The first step is still there and still undoes.
    EXPECT_TRUE(ed.CanUndo());
    EXPECT_EQ(ed.UndoDescription(), "first");
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4, 9}));
}

TEST(UndoControl, AppendUndoLeavesTheCaretOnTheRecordedPlace)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    ed.Seek(1, 0);
    const std::uint8_t b[3] = {7, 8, 9};
    ed.AppendBuffer(b, 3, QString(), true);
    ASSERT_EQ(ed.DataSize(), 7);
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(ed.GetCursorPos(), 1);
    ASSERT_TRUE(ed.Redo());
    EXPECT_EQ(DataOf(ed), (Bytes{1, 2, 3, 4, 7, 8, 9}));
}

TEST(UndoControl, CombinedStepUndoesAllItsSteps)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4, 5, 6});
    const std::uint8_t b[1] = {9};
    ed.InsertBuffer(b, 1, 0, QStringLiteral("older"), false);
    const Bytes older = DataOf(ed);
    ed.InsertBuffer(b, 1, 3, QString(), false);
    ed.SetSelStart(1);
    ed.DeleteSelection(QString());
    ed.AppendBuffer(b, 1, QString(), false);
    ed.CombineUndo(3, QStringLiteral("Data moved"));
    EXPECT_EQ(ed.UndoDescription(), "Data moved");
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), older);
    EXPECT_EQ(ed.UndoDescription(), "older");
    EXPECT_FALSE(ed.CanRedo());
}

TEST(UndoControl, UndoWhileALoadReportsProgressIsRefused)
{
    Editor ed;
    Load(ed, Bytes{1, 2, 3, 4});
    ed.SetSelStart(0);
    ed.DeleteSelection(QString());
    int calls = 0;
    bool undone = true;
    ed.SetOnProgress([&](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool&) {
        ++calls;
        undone = ed.Undo() || ed.Redo();
    });
    Load(ed, Bytes(100, 0xAA));
    EXPECT_GT(calls, 0);
    EXPECT_FALSE(undone);
    EXPECT_EQ(DataOf(ed), Bytes(100, 0xAA));
}

TEST(UndoControl, SixteenBitModeComesBackWhateverTheModesAreNow)
{
    Editor ed;
    Load(ed, Bytes{0x41, 0x00, 0x42, 0x00});
    ed.SetUnicodeCharacters(true);
    ed.Seek(2, 0);
    ed.SetInCharField(true);
    ed.WMChar(u'Z');
    ASSERT_EQ(ed.GetDataAt(2), 'Z');
    ASSERT_EQ(ed.UndoStorage().Count(), 1);

    // Undone after leaving the mode and picking a translation it refuses.
    ed.SetUnicodeCharacters(false);
    ed.SetTranslation(tkMac);
    ed.SetBytesPerUnit(4);
    ASSERT_NO_THROW(EXPECT_TRUE(ed.Undo()));
    EXPECT_EQ(DataOf(ed), (Bytes{0x41, 0x00, 0x42, 0x00}));
    EXPECT_TRUE(ed.UnicodeChars());
    EXPECT_EQ(ed.Translation(), tkAsIs);
    EXPECT_EQ(ed.BytesPerUnit(), 2);
    ASSERT_NO_THROW(EXPECT_TRUE(ed.Redo()));
    EXPECT_EQ(ed.GetDataAt(2), 'Z');
    EXPECT_FALSE(ed.UnicodeChars());
    EXPECT_EQ(ed.Translation(), tkMac);
    EXPECT_EQ(ed.BytesPerUnit(), 4);

    // Undone when the row no longer allows the mode: the data still comes back.
    ed.SetBytesPerRow(15);
    ASSERT_NO_THROW(EXPECT_TRUE(ed.Undo()));
    EXPECT_EQ(DataOf(ed), (Bytes{0x41, 0x00, 0x42, 0x00}));
    EXPECT_FALSE(ed.UnicodeChars());
}

TEST(UndoControl, StepRecordedInTheCharacterFieldPutsTheCaretBackThere)
{
    Editor ed;
    Load(ed, Bytes(40, 0x20));
    ed.Seek(21, 0);
    ed.SetInCharField(true);
    ed.WMChar(u'Q');
    ASSERT_EQ(ed.GetDataAt(21), 'Q');
    ed.Seek(0, 0);
    ed.SetInCharField(false);
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(ed.GetDataAt(21), 0x20);
    EXPECT_TRUE(ed.InCharField());
    EXPECT_EQ(ed.GetCursorPos(), 21);
}

// ---- random edit sequences ----------------------------------------------------------

struct State {
    Bytes data;
    std::vector<bool> marks;
    bool operator==(const State&) const = default;
};

State StateOf(const TCustomWQHexEditor& ed)
{
    return State{DataOf(ed), MarksOf(ed)};
}

// One random edit through the control's public paths. Returns a name for messages.
std::string RandomEdit(Editor& ed, std::mt19937& rng)
{
    auto rnd = [&](int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); };
    const int size = ed.DataSize();
    Bytes buf(size_t(1 + rnd(5)));
    for (auto& x : buf)
        x = std::uint8_t(rng());
    switch (rnd(9)) {
    case 0:
    case 1: {  // a typed hex digit
        if (size > 0)
            ed.Seek(rnd(size), 0);
        ed.SetInCharField(false);
        if (rnd(2) && ed.Col() < ed.GetOtherFieldColCheck(ed.Col()))
            ed.SetCol(ed.Col() + 1);
        ed.WMChar(char16_t(u"0123456789ABCDEF"[rnd(16)]));
        return "hex digit";
    }
    case 2: {  // a typed character
        if (size > 0)
            ed.Seek(rnd(size), 0);
        ed.SetInCharField(true);
        ed.WMChar(char16_t('A' + rnd(26)));
        return "character";
    }
    case 3:
        ed.InsertBuffer(buf.data(), int(buf.size()), rnd(size + 1), QString(), rnd(2) != 0);
        return "insert";
    case 4:
        if (size == 0)
            return "none";
        ed.NewSelection(rnd(size), rnd(size));
        ed.DeleteSelection(QString());
        return "delete selection";
    case 5:
        if (size > 0)
            ed.NewSelection(rnd(size), rnd(size));
        ed.ReplaceSelection(buf.data(), int(buf.size()), QString(), rnd(2) != 0);
        return "replace selection";
    case 6:
        ed.AppendBuffer(buf.data(), int(buf.size()), QString(), rnd(2) != 0);
        return "append";
    case 7:
        if (rnd(2))
            ed.InsertNibble(rnd(size), rnd(2) != 0, QString());
        else
            ed.DeleteNibble(rnd(size), rnd(2) != 0, QString());
        return "nibble";
    default:
        if (size > 0)
            ed.Seek(rnd(size), 0);
        ed.ResetSelection(false);
        ed.InternalErase(rnd(2) != 0, QString());
        return "erase";
    }
}

void RunRandomSequences(bool insertMode)
{
    int recorded = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 rng(seed);
        Editor ed;
        Bytes start(size_t(rng() % 24));
        for (auto& x : start)
            x = std::uint8_t(rng());
        Load(ed, start);
        ed.SetInsertMode(insertMode);
        const State original = StateOf(ed);

        std::vector<State> history{original};
        std::vector<std::string> names;
        for (int step = 0; step < 25; ++step) {
            const int before = ed.UndoStorage().Count();
            const State s0 = StateOf(ed);
            const std::string name = RandomEdit(ed, rng);
            const int after = ed.UndoStorage().Count();
            if (after == before) {
                ASSERT_EQ(StateOf(ed).data, s0.data) << "seed " << seed << ": " << name << " changed data without a step";
                continue;
            }
            ASSERT_EQ(after, before + 1) << "seed " << seed << ": " << name;
            history.push_back(StateOf(ed));
            names.push_back(name);
            ++recorded;
        }

        // Back to the start, one step at a time; each undo can be redone and undone again.
        while (history.size() > 1) {
            const State top = StateOf(ed);
            ASSERT_EQ(top.data, history.back().data) << "seed " << seed;
            const std::string& name = names[history.size() - 2];
            ASSERT_TRUE(ed.Undo()) << "seed " << seed << ": " << name;
            ASSERT_EQ(DataOf(ed), history[history.size() - 2].data) << "seed " << seed << ": undo of " << name;
            ASSERT_TRUE(ed.Redo()) << "seed " << seed << ": " << name;
            ASSERT_EQ(DataOf(ed), top.data) << "seed " << seed << ": redo of " << name;
            // Undo and redo only clear marks (or put back a typed byte's own):
            // none may appear that the edit did not leave.
            const std::vector<bool> marks = MarksOf(ed);
            for (size_t i = 0; i < marks.size(); ++i)
                ASSERT_TRUE(!marks[i] || top.marks[i]) << "seed " << seed << ": redo of " << name << " marks " << i;
            ASSERT_TRUE(ed.Undo()) << "seed " << seed << ": " << name;
            history.pop_back();
        }
        EXPECT_FALSE(ed.CanUndo()) << "seed " << seed;
        EXPECT_EQ(DataOf(ed), original.data) << "seed " << seed;
        EXPECT_EQ(MarksOf(ed), original.marks) << "seed " << seed;
        EXPECT_FALSE(ed.Modified()) << "seed " << seed;
    }
    // Most edits must have been real steps, or the sequences prove little.
    EXPECT_GT(recorded, 60 * 15);
}

TEST(UndoControlRandom, OverwriteModeEditsUndoAndRedoExactly)
{
    RunRandomSequences(false);
}

TEST(UndoControlRandom, InsertModeEditsUndoAndRedoExactly)
{
    RunRandomSequences(true);
}

} // namespace
