// The undo store against a stand-in control: the record bytes, the limit,
// undo and redo of every kind, brackets, combined steps, snapshots, and the
// refusals that keep data and store consistent.
#include "undo_fake_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>

using undotest::FakeUndoEditor;
using undotest::I32At;

namespace {

// Whether the entries appear in the log in this order (others may lie between).
bool InOrder(const std::vector<std::string>& log, std::initializer_list<const char*> want)
{
    auto at = log.begin();
    for (const char* w : want) {
        at = std::find(at, log.end(), std::string(w));
        if (at == log.end())
            return false;
        ++at;
    }
    return true;
}

class UndoStore : public ::testing::Test {
protected:
    FakeUndoEditor ed;
    TWQHUndoStorage st{ed};

    void SetUp() override { ed.data = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}; }

    // Overwrites one byte as typing does: step first, then the byte and its mark.
    void Type(int pos, std::uint8_t v, const QString& desc = QString())
    {
        st.CreateUndo(ufKindBytesChanged, pos, 1, 0, desc);
        ed.modified = true;
        ed.Overwrite(pos, v);
    }
    void Remove(int pos, int n)
    {
        st.CreateUndo(ufKindByteRemoved, pos, n, 0, QString());
        ed.modified = true;
        ed.CutChangedMarks(pos);
        ed.data.erase(ed.data.begin() + pos, ed.data.begin() + pos + n);
    }
    void Insert(int pos, std::vector<std::uint8_t> bytes)
    {
        st.CreateUndo(ufKindInsertBuffer, pos, int(bytes.size()), 0, QString());
        ed.modified = true;
        ed.CutChangedMarks(pos);
        ed.data.insert(ed.data.begin() + pos, bytes.begin(), bytes.end());
    }
    void ReplaceRange(int pos, int oldCount, std::vector<std::uint8_t> bytes)
    {
        st.CreateUndo(ufKindReplace, pos, int(bytes.size()), oldCount, QString());
        ed.modified = true;
        ed.CutChangedMarks(pos);
        ed.data.erase(ed.data.begin() + pos, ed.data.begin() + pos + oldCount);
        ed.data.insert(ed.data.begin() + pos, bytes.begin(), bytes.end());
    }
    void Append(std::vector<std::uint8_t> bytes)
    {
        st.CreateUndo(ufKindAppendBuffer, ed.DataSize(), int(bytes.size()), 0, QString());
        ed.modified = true;
        ed.data.insert(ed.data.end(), bytes.begin(), bytes.end());
    }
};

// ---- record format ----------------------------------------------------------

TEST_F(UndoStore, OneChangedByteIsA34ByteRecordWithItsHeadFields)
{
    ed.caret = 3;
    ed.translation = tkMac;
    ed.bpu = 4;
    ed.modified = true;
    ed.insertMode = true;
    ed.laterDigit = true;
    st.CreateUndo(ufKindBytesChanged, 3, 1, 0, QString());

    const auto b = st.Bytes();
    ASSERT_EQ(b.size(), 34u);
    EXPECT_EQ(st.Size(), 34);
    EXPECT_EQ(I32At(b, 0), 34);
    EXPECT_EQ(std::uint32_t(I32At(b, 4)),
              UndoBit(ufKindBytesChanged) | UndoBit(ufFlagModified) | UndoBit(ufFlagInsertMode) |
                  UndoBit(ufFlag2ndByteCol));
    EXPECT_EQ(I32At(b, 8), 3);   // caret
    EXPECT_EQ(I32At(b, 12), 3);  // position
    EXPECT_EQ(I32At(b, 16), 1);  // count
    EXPECT_EQ(I32At(b, 20), 0);  // replaced count
    EXPECT_EQ(b[24], tkMac);
    EXPECT_EQ(I32At(b, 25), 4);
    EXPECT_EQ(b[29], 0x33);      // the byte as it was
    EXPECT_EQ(I32At(b, 30), 34); // trailing length
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Description(), "Change byte(s)");
    EXPECT_EQ(st.UndoKind(), ufKindBytesChanged);
}

TEST_F(UndoStore, DescriptionAndSelectionBlockExtendTheRecord)
{
    const QString desc = QStringLiteral("Twenty characters!!\u00e9");
    ASSERT_EQ(desc.size(), 20);
    Type(2, 0xAB, desc);
    auto b = st.Bytes();
    ASSERT_EQ(b.size(), 78u);
    EXPECT_EQ(I32At(b, 0), 78);
    EXPECT_TRUE(std::uint32_t(I32At(b, 4)) & UndoBit(ufFlagHasDescription));
    EXPECT_EQ(b[30], 'T');
    EXPECT_EQ(b[31], 0);
    EXPECT_EQ(b[30 + 2 * 19], 0xE9);  // UTF-16LE
    EXPECT_EQ(b[30 + 2 * 19 + 1], 0x00);
    EXPECT_EQ(I32At(b, 70), 20);  // length in characters
    EXPECT_EQ(I32At(b, 74), 78);
    EXPECT_EQ(st.Description(), desc);

    st.Reset(true);
    ed.selStart = 4;
    ed.selEnd = 6;
    ed.selPosition = 6;
    Type(5, 0x01, desc);
    b = st.Bytes();
    ASSERT_EQ(b.size(), 90u);
    EXPECT_EQ(I32At(b, 0), 90);
    EXPECT_TRUE(std::uint32_t(I32At(b, 4)) & UndoBit(ufFlagHasSelection));
    EXPECT_EQ(I32At(b, 70), 20);
    EXPECT_EQ(I32At(b, 74), 4);
    EXPECT_EQ(I32At(b, 78), 6);
    EXPECT_EQ(I32At(b, 82), 6);
    EXPECT_EQ(I32At(b, 86), 90);
}

TEST_F(UndoStore, DataAreaPerKind)
{
    ed.marks = {false, false, true, true};
    st.CreateUndo(ufKindBytesChanged, 2, 2, 0, QString());
    auto b = st.Bytes();
    ASSERT_EQ(b.size(), 35u);
    EXPECT_EQ(b[29], 0x22);
    EXPECT_EQ(b[30], 0x33);
    EXPECT_TRUE(std::uint32_t(I32At(b, 4)) & UndoBit(ufFlagByte1Changed));
    EXPECT_TRUE(std::uint32_t(I32At(b, 4)) & UndoBit(ufFlagByte2Changed));

    st.Reset(true);
    st.CreateUndo(ufKindReplace, 1, 5, 3, QString());  // three old bytes saved
    b = st.Bytes();
    ASSERT_EQ(b.size(), 36u);
    EXPECT_EQ(I32At(b, 16), 5);
    EXPECT_EQ(I32At(b, 20), 3);
    EXPECT_EQ(b[29], 0x11);
    EXPECT_EQ(b[31], 0x33);

    st.Reset(true);
    st.CreateUndo(ufKindReplace, 1, 5, 0, QString());  // no old bytes: no data area
    EXPECT_EQ(st.Size(), 33);

    st.Reset(true);
    st.CreateUndo(ufKindInsertBuffer, 4, 100, 0, QString());
    EXPECT_EQ(st.Size(), 34);

    st.Reset(true);
    st.CreateUndo(ufKindAllData, 0, 0, 0, QString());
    b = st.Bytes();
    ASSERT_EQ(b.size(), 43u);
    EXPECT_EQ(I32At(b, 16), 10);  // count := data size
    EXPECT_EQ(b[29 + 9], 0x99);

    st.Reset(true);
    st.CreateUndo(ufKindNibbleInsert, 7, 0, 0, QString());
    b = st.Bytes();
    ASSERT_EQ(b.size(), 34u);
    EXPECT_EQ(b[29], 0x77);
}

TEST_F(UndoStore, CombinedStepCarriesItsTextInTheDataArea)
{
    Type(0, 1);
    Type(1, 2);
    st.CreateUndo(ufKindCombined, 0, 2, 0, QStringLiteral("Data moved"));
    const auto b = st.Bytes();
    const size_t rec = b.size() - size_t(I32At(b, b.size() - 4));
    EXPECT_EQ(I32At(b, rec + 16), 2);
    EXPECT_EQ(b[rec + 29], 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[rec + 30]), 10), "Data moved");
    EXPECT_EQ(I32At(b, rec), 29 + 11 + 20 + 4 + 4);
    EXPECT_EQ(st.Description(), "Data moved");

    // A long text is cut to 255 bytes.
    st.CreateUndo(ufKindCombined, 0, 1, 0, QString(300, QLatin1Char('x')));
    const auto c = st.Bytes();
    const size_t rec2 = c.size() - size_t(I32At(c, c.size() - 4));
    EXPECT_EQ(c[rec2 + 29], 255);
}

TEST_F(UndoStore, DefaultDescriptionsByKind)
{
    const char* expected[] = {"Change byte(s)", "Remove data",     "Insert buffer",         "Replace",
                              "Append buffer",  "Insert nibble",   "Delete nibble",         "Convert",
                              "Cursor movement", "Multiple modification", "All data saved"};
    for (int k = 0; k <= ufKindAllData; ++k) {
        st.CreateUndo(TWQHUndoFlag(k), 1, k == ufKindCombined ? 0 : 1, 0, QString());
        EXPECT_EQ(st.Description(), QString::fromLatin1(expected[k])) << k;
        EXPECT_EQ(st.UndoKind(), TWQHUndoFlag(k));
    }
}

TEST_F(UndoStore, EmptyStoreHasNoKind)
{
    EXPECT_EQ(st.UndoKind(), ufKindNone);
    EXPECT_FALSE(st.CanUndo());
    EXPECT_FALSE(st.CanRedo());
    EXPECT_TRUE(st.Bytes().empty());
}

TEST_F(UndoStore, BadStepsAreRefusedAndChangeNothing)
{
    Type(0, 0xAA);
    ASSERT_TRUE(st.Undo());
    ASSERT_TRUE(st.CanRedo());
    const auto before = st.Bytes();
    EXPECT_THROW(st.CreateUndo(ufKindBytesChanged, 9, 2, 0, QString()), EWQHexEditor);
    EXPECT_THROW(st.CreateUndo(ufKindByteRemoved, -1, 1, 0, QString()), EWQHexEditor);
    EXPECT_THROW(st.CreateUndo(ufKindInsertBuffer, 11, 1, 0, QString()), EWQHexEditor);
    EXPECT_THROW(st.CreateUndo(ufKindReplace, 8, 1, 3, QString()), EWQHexEditor);
    EXPECT_THROW(st.CreateUndo(ufKindNibbleDelete, 10, 0, 0, QString()), EWQHexEditor);
    // Values without a kind are not steps.
    EXPECT_THROW(st.CreateUndo(ufKindNone, 0, 1, 0, QString()), EWQHexEditor);
    EXPECT_THROW(st.CreateUndo(ufFlagHasDescription, 0, 1, 0, QString()), EWQHexEditor);
    EXPECT_EQ(st.Bytes(), before);
    EXPECT_TRUE(st.CanRedo());  // the redo survived the refusals
}

// ---- the byte limit -------------------------------------------------------------

TEST_F(UndoStore, LimitDropsOldestStepsBeforeAppending)
{
    ed.maxUndo = 100;
    Type(1, 1);
    Type(2, 2);
    Type(3, 3);
    EXPECT_EQ(st.Size(), 102);
    EXPECT_EQ(st.Count(), 3);
    Type(4, 4);
    EXPECT_EQ(st.Size(), 102);
    EXPECT_EQ(st.Count(), 3);
    const auto b = st.Bytes();
    EXPECT_EQ(I32At(b, 12), 2);  // steps 2, 3 and 4 remain
    EXPECT_EQ(I32At(b, 34 + 12), 3);
    EXPECT_EQ(I32At(b, 68 + 12), 4);
    // Undo walks back through them and stops there.
    EXPECT_TRUE(st.Undo());
    EXPECT_TRUE(st.Undo());
    EXPECT_TRUE(st.Undo());
    EXPECT_FALSE(st.Undo());
    EXPECT_EQ(ed.data[1], 1);  // the dropped step stays done
    EXPECT_EQ(ed.data[2], 0x22);
}

TEST_F(UndoStore, NoLimitAtZeroAndABigStepSurvivesAlone)
{
    ed.maxUndo = 0;
    for (int i = 0; i < 50; ++i)
        Type(i % 10, std::uint8_t(i));
    EXPECT_EQ(st.Count(), 50);
    EXPECT_EQ(st.Size(), 50 * 34);

    st.Reset(true);
    ed.maxUndo = 40;
    Type(0, 1);
    st.CreateUndo(ufKindAllData, 0, 0, 0, QString());  // 43 bytes, more than the limit
    EXPECT_EQ(st.Count(), 2);                           // the limit applies before appending
    Type(1, 2);
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Size(), 34);
    EXPECT_EQ(I32At(st.Bytes(), 12), 1);
}

TEST_F(UndoStore, LongRunUnderTheLimitKeepsTheNewestStepsInOrder)
{
    ed.maxUndo = 340;
    for (int i = 0; i < 5000; ++i)
        Type(i % 10, std::uint8_t(i));
    EXPECT_EQ(st.Count(), 11);
    const auto b = st.Bytes();
    ASSERT_EQ(b.size(), 11u * 34);
    for (int r = 0; r < 11; ++r) {
        EXPECT_EQ(I32At(b, size_t(r) * 34), 34);
        EXPECT_EQ(I32At(b, size_t(r) * 34 + 12), (4989 + r) % 10);
    }
    for (int r = 0; r < 11; ++r)
        ASSERT_TRUE(st.Undo());
    EXPECT_FALSE(st.CanUndo());
}

// ---- undo and redo per kind ---------------------------------------------------

TEST_F(UndoStore, ChangedByteUndoRedoUndo)
{
    ed.caret = 4;
    ed.laterDigit = false;
    Type(4, 0x10);
    ed.caret = 4;
    ed.laterDigit = true;  // typing moved on to the second digit
    EXPECT_TRUE(ed.Marked(4));

    EXPECT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[4], 0x44);
    EXPECT_FALSE(ed.Marked(4));
    EXPECT_EQ(ed.caret, 4);
    EXPECT_FALSE(ed.laterDigit);
    EXPECT_FALSE(ed.modified);
    EXPECT_TRUE(st.CanRedo());
    EXPECT_FALSE(st.CanUndo());

    EXPECT_TRUE(st.Redo());
    EXPECT_EQ(ed.data[4], 0x10);
    EXPECT_TRUE(ed.Marked(4));
    EXPECT_TRUE(ed.laterDigit);
    EXPECT_TRUE(ed.modified);
    EXPECT_TRUE(st.CanUndo());
    EXPECT_FALSE(st.CanRedo());
    EXPECT_EQ(st.Description(), "Change byte(s)");
    EXPECT_EQ(st.Size(), 34);

    EXPECT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[4], 0x44);
    EXPECT_TRUE(st.CanRedo());
}

TEST_F(UndoStore, TwoByteChangeRestoresBothMarks)
{
    ed.marks = {false, true, false};
    st.CreateUndo(ufKindBytesChanged, 1, 2, 0, QString());
    ed.data[1] = 0xEE;
    ed.data[2] = 0xFF;
    ed.SetChanged(1, true);
    ed.SetChanged(2, true);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[1], 0x11);
    EXPECT_EQ(ed.data[2], 0x22);
    EXPECT_TRUE(ed.Marked(1));
    EXPECT_FALSE(ed.Marked(2));
    ASSERT_TRUE(st.Redo());
    EXPECT_TRUE(ed.Marked(1));
    EXPECT_TRUE(ed.Marked(2));
    EXPECT_EQ(ed.data[2], 0xFF);
}

TEST_F(UndoStore, RemovalInsertReplaceAndAppendRoundTrip)
{
    const auto original = ed.data;
    Remove(2, 3);
    const auto afterRemove = ed.data;
    Insert(1, {0xA1, 0xA2});
    const auto afterInsert = ed.data;
    ReplaceRange(0, 4, {0xB1});
    const auto afterReplace = ed.data;
    Append({0xC1, 0xC2, 0xC3});

    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, afterReplace);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, afterInsert);
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.data, afterReplace);
    ASSERT_TRUE(st.Undo());
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, afterRemove);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, original);
    EXPECT_FALSE(st.CanUndo());
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.data, afterRemove);
    EXPECT_EQ(st.Count(), 1);
}

TEST_F(UndoStore, AppendUndoPutsTheColumnAtTwoBeforeTheCaret)
{
    ed.caret = 12;
    Append({1, 2, 3});
    ed.log.clear();
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.DataSize(), 10);
    const auto col = std::find(ed.log.begin(), ed.log.end(), "SetCol 2");
    const auto caret = std::find(ed.log.begin(), ed.log.end(), "PlaceCaret 12");
    ASSERT_NE(col, ed.log.end());
    ASSERT_NE(caret, ed.log.end());
    EXPECT_LT(col, caret);
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.DataSize(), 13);
    EXPECT_EQ(ed.data[12], 3);
}

// The byte comes back through SetDataAt; the marks are cut at it afterwards,
// the mark before it stays.
TEST_F(UndoStore, NibbleStepsComeBackThroughTheByteAndCutTheMarksAtIt)
{
    ed.data = {0x12, 0x34, 0x56};
    ed.marks = {true, true};
    st.CreateUndo(ufKindNibbleInsert, 1, 0, 0, QString());
    ed.InternalInsertNibble(1, true);
    ed.CutChangedMarks(1);
    ASSERT_EQ(ed.data, (std::vector<std::uint8_t>{0x12, 0x03, 0x45, 0x60}));
    ed.log.clear();
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, (std::vector<std::uint8_t>{0x12, 0x34, 0x56}));
    EXPECT_TRUE(ed.Marked(0));
    EXPECT_FALSE(ed.Marked(1));
    EXPECT_TRUE(InOrder(ed.log, {"InternalDeleteNibble", "SetDataAt 1", "SetChanged 1", "Size 3", "PlaceCaret 0",
                                 "BytesPerUnit 1", "Changed", "Cut 1"}));
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.data, (std::vector<std::uint8_t>{0x12, 0x03, 0x45, 0x60}));

    st.Reset(true);
    ed.data = {0x12, 0x34};
    st.CreateUndo(ufKindNibbleDelete, 0, 0, 0, QString());
    ed.InternalDeleteNibble(0, true);
    ASSERT_EQ(ed.data, (std::vector<std::uint8_t>{0x23, 0x40}));
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, (std::vector<std::uint8_t>{0x12, 0x34}));
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.data, (std::vector<std::uint8_t>{0x23, 0x40}));

    st.Reset(true);
    ed.data = {0x12, 0x34};
    st.CreateUndo(ufKindNibbleDelete, 1, 0, 0, QString());
    ed.InternalDeleteNibble(1, false);
    ASSERT_EQ(ed.data, (std::vector<std::uint8_t>{0x12, 0x30}));
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, (std::vector<std::uint8_t>{0x12, 0x34}));
}

// While the extra byte of the nibble shift is there the size is odd: the
// size goes back before the state, so unicode mode can come back on.
TEST_F(UndoStore, NibbleUndoBringsUnicodeModeBackOn)
{
    for (auto kind : {ufKindNibbleInsert, ufKindNibbleDelete}) {
        SCOPED_TRACE(int(kind));
        st.Reset(true);
        ed.data = {0x12, 0x34, 0x56, 0x78};
        ed.SetUnicodeCharacters(true);
        st.CreateUndo(kind, 1, 0, 0, QString());
        if (kind == ufKindNibbleInsert)
            ed.InternalInsertNibble(1, true);
        else
            ed.InternalDeleteNibble(1, true);
        ed.SetUnicodeCharacters(false);
        ed.log.clear();
        ASSERT_NO_THROW(EXPECT_TRUE(st.Undo()));
        EXPECT_EQ(ed.data, (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78}));
        EXPECT_TRUE(ed.unicode);
        EXPECT_EQ(ed.bpu, 2);
    }
}

TEST_F(UndoStore, ConvertAndCombinedCannotBeRedone)
{
    st.CreateUndo(ufKindConvert, 2, 3, 0, QString());
    ed.data[2] = ed.data[3] = ed.data[4] = 0;
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[3], 0x33);
    EXPECT_FALSE(st.CanRedo());
    EXPECT_FALSE(st.Redo());
}

TEST_F(UndoStore, AllDataStepRestoresTheWholeData)
{
    const auto original = ed.data;
    st.CreateUndo(ufKindAllData, 0, 0, 0, QString());
    ed.data = {9, 9, 9};
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, original);
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.data, (std::vector<std::uint8_t>{9, 9, 9}));

    st.Reset(true);
    ed.data.clear();
    st.CreateUndo(ufKindAllData, 0, 0, 0, QString());  // of empty data
    ed.data = {1, 2};
    ASSERT_TRUE(st.Undo());
    EXPECT_TRUE(ed.data.empty());
}

TEST_F(UndoStore, CombinedStepUndoesItsStepsAtOnce)
{
    Type(0, 0xA0, QStringLiteral("first"));
    Type(1, 0xA1);
    Type(2, 0xA2);
    Type(3, 0xA3);
    st.CreateUndo(ufKindCombined, 0, 3, 0, QStringLiteral("Data moved"));
    EXPECT_EQ(st.Description(), "Data moved");
    EXPECT_EQ(st.Count(), 5);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[1], 0x11);
    EXPECT_EQ(ed.data[2], 0x22);
    EXPECT_EQ(ed.data[3], 0x33);
    EXPECT_EQ(ed.data[0], 0xA0);
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Description(), "first");
    EXPECT_FALSE(st.CanRedo());
}

TEST_F(UndoStore, CombinedStepJoiningMoreThanThereAreUndoesWhatIsLeft)
{
    Type(0, 0xA0);
    st.CreateUndo(ufKindCombined, 0, 4, 0, QString());
    EXPECT_EQ(st.Description(), "Multiple modification");
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[0], 0x00);
    EXPECT_EQ(st.Count(), 0);
}

// The joined steps cannot be redone, so restoring them reads none of the
// data for a redo block (a whole-data one would copy all of it). Yet while
// each is restored CanRedo answers as its own undo would, up to the last
// OnChange; only the end of the combined undo drops the redo.
TEST_F(UndoStore, CombinedStepReadsNoDataForARedo)
{
    const auto original = ed.data;
    st.CreateUndo(ufKindAllData, 0, 0, 0, QString());
    ed.data = {7, 7, 7, 7};
    Type(1, 0xB1);
    st.CreateUndo(ufKindCombined, 0, 2, 0, QStringLiteral("joined"));
    std::vector<bool> canRedo;
    ed.onChanged = [&] { canRedo.push_back(st.CanRedo()); };
    ed.failReads = true;
    ASSERT_TRUE(st.Undo());
    ed.failReads = false;
    ed.onChanged = nullptr;
    EXPECT_EQ(ed.data, original);
    ASSERT_GE(canRedo.size(), 2u);
    EXPECT_EQ(canRedo, std::vector<bool>(canRedo.size(), true));
    EXPECT_EQ(st.Count(), 0);
    EXPECT_FALSE(st.CanRedo());
    EXPECT_FALSE(st.Redo());
}

TEST_F(UndoStore, DescriptionFollowsTheNewestStep)
{
    Type(0, 1, QStringLiteral("one"));
    Append({5});
    st.CreateUndo(ufKindCombined, 0, 1, 0, QStringLiteral("joined"));
    Type(1, 2);
    EXPECT_EQ(st.Description(), "Change byte(s)");
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(st.Description(), "joined");
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(st.Description(), "Change byte(s)");
    ASSERT_TRUE(st.Undo());
    ASSERT_TRUE(st.Undo());  // the combined one, with its append
    EXPECT_EQ(st.Description(), "one");
    EXPECT_EQ(ed.DataSize(), 10);
}

// ---- order of the steps -----------------------------------------------------------

// The record stays the newest in the stream until data and state are back, so
// an undo or redo whose data change fails leaves every step where it was.
TEST_F(UndoStore, RecordLeavesTheStreamOnlyOnceTheUndoIsDone)
{
    Type(0, 0xA0, QStringLiteral("first"));
    Type(4, 0xA4, QStringLiteral("second"));
    int countAtCaret = -1;
    ed.onPlaceCaret = [&] { countAtCaret = st.Count(); };
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(countAtCaret, 2);
    EXPECT_EQ(st.Count(), 1);

    const auto stream = st.Bytes();
    const auto data = ed.data;
    ed.failWrites = true;
    EXPECT_THROW(st.Redo(), EWQHexEditor);
    EXPECT_EQ(st.Bytes(), stream);
    EXPECT_TRUE(st.CanRedo());
    EXPECT_THROW(st.Undo(), EWQHexEditor);
    EXPECT_EQ(ed.data, data);
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Description(), "first");
    ed.failWrites = false;
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[0], 0x00);
    EXPECT_EQ(st.Count(), 0);
}

// Data first, then caret, modified flag, insert mode, selection, unicode,
// translation and unit; the marks before or after the state as the kind says.
TEST_F(UndoStore, UndoRestoresInItsOrder)
{
    ed.selStart = 2;
    ed.selEnd = 3;
    ed.selPosition = 2;
    Type(5, 0xEE);
    ed.log.clear();
    ASSERT_TRUE(st.Undo());
    EXPECT_TRUE(InOrder(ed.log, {"WriteBuffer", "SetChanged 5", "PlaceCaret 0", "Modified", "InsertMode", "Selection",
                                 "Unicode off", "Translation 0", "BytesPerUnit 1", "Changed"}));

    Remove(2, 3);
    ed.log.clear();
    ASSERT_TRUE(st.Undo());
    EXPECT_TRUE(InOrder(ed.log, {"InternalInsertBuffer", "PlaceCaret 0", "BytesPerUnit 1", "Changed", "Cut 2"}));

    Append({1, 2});
    ed.log.clear();
    ASSERT_TRUE(st.Undo());
    EXPECT_TRUE(InOrder(ed.log, {"SetCol 2", "Size 10", "Cut 10", "PlaceCaret 0", "Changed"}));
}

TEST_F(UndoStore, NewestRecordIsReadAndItsRedoMadeOnRequest)
{
    TWQHUndoRec rec{};
    QString desc = QStringLiteral("stale");
    EXPECT_EQ(st.ReadUndoRecord(rec, desc), ufKindNone);
    EXPECT_TRUE(desc.isEmpty());

    ed.caret = 7;
    Type(3, 0xAB, QStringLiteral("typed"));
    Remove(1, 2);
    EXPECT_EQ(st.ReadUndoRecord(rec, desc), ufKindByteRemoved);
    EXPECT_EQ(rec.DataLen, 35);
    EXPECT_EQ(rec.Pos, 1u);
    EXPECT_EQ(rec.Count, 2u);
    EXPECT_EQ(rec.CurPos, 7);
    EXPECT_EQ(rec.Buffer[0], 0x11);  // the first removed byte
    EXPECT_TRUE(desc.isEmpty());
    st.RemoveLastUndo();
    EXPECT_EQ(st.ReadUndoRecord(rec, desc), ufKindBytesChanged);
    EXPECT_EQ(desc, "typed");

    // A redo block of the data as it is now; none for a conversion, and a
    // range outside the data leaves the block there was.
    rec.Flags = UndoBit(ufKindConvert);
    st.CreateRedo(rec);
    EXPECT_FALSE(st.CanRedo());
    rec.Flags = UndoBit(ufKindInsertBuffer);
    rec.Pos = 2;
    rec.Count = 3;
    st.CreateRedo(rec);
    ASSERT_TRUE(st.CanRedo());
    rec.Pos = 7;
    EXPECT_THROW(st.CreateRedo(rec), EWQHexEditor);
    ASSERT_TRUE(st.CanRedo());
    ed.data.erase(ed.data.begin() + 2, ed.data.begin() + 5);
    const std::vector<std::uint8_t> removed = {0x44, 0x55, 0x66};  // bytes 2..4 when the block was made
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(std::vector<std::uint8_t>(ed.data.begin() + 2, ed.data.begin() + 5), removed);
}

// ---- state restore -------------------------------------------------------------

TEST_F(UndoStore, UndoRestoresCaretFieldModesAndSelection)
{
    ed.caret = 6;
    ed.inChar = true;
    ed.selStart = 5;
    ed.selEnd = 7;
    ed.selPosition = 7;
    ed.translation = tkDos8;
    ed.bpu = 2;
    Type(6, 0xEE);
    ed.caret = 0;
    ed.inChar = false;
    ed.selStart = ed.selEnd = ed.selPosition = -1;
    ed.translation = tkASCII;
    ed.bpu = 8;
    ed.insertMode = true;
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.caret, 6);
    EXPECT_TRUE(ed.inChar);
    EXPECT_EQ(ed.selStart, 5);
    EXPECT_EQ(ed.selEnd, 7);
    EXPECT_EQ(ed.selPosition, 7);
    EXPECT_EQ(ed.translation, tkDos8);
    EXPECT_EQ(ed.bpu, 2);
    EXPECT_FALSE(ed.insertMode);
    EXPECT_GT(ed.changedCalls, 0);
}

TEST_F(UndoStore, UnicodeModeComesBackBeforeTheTranslation)
{
    // Recorded in unicode mode; undone with a translation and unit the mode refuses.
    ed.unicode = true;
    ed.bigEndian = true;
    ed.bpu = 2;
    Type(0, 0x41);
    ed.unicode = false;
    ed.bigEndian = false;
    ed.translation = tkMac;
    ed.bpu = 4;
    ASSERT_NO_THROW(EXPECT_TRUE(st.Undo()));
    EXPECT_TRUE(ed.unicode);
    EXPECT_TRUE(ed.bigEndian);
    EXPECT_EQ(ed.translation, tkAsIs);
    EXPECT_EQ(ed.bpu, 2);
    ASSERT_NO_THROW(EXPECT_TRUE(st.Redo()));
    EXPECT_FALSE(ed.unicode);
    EXPECT_EQ(ed.translation, tkMac);
    EXPECT_EQ(ed.bpu, 4);

    // Recorded with a translation and unit 4; undone while unicode mode is on.
    st.Reset(true);
    ed.unicode = false;
    ed.translation = tkBCD;
    ed.bpu = 4;
    Type(1, 0x42);
    ed.SetUnicodeCharacters(true);
    ed.log.clear();
    ASSERT_NO_THROW(EXPECT_TRUE(st.Undo()));
    EXPECT_FALSE(ed.unicode);
    EXPECT_EQ(ed.translation, tkBCD);
    EXPECT_EQ(ed.bpu, 4);
    ASSERT_GE(ed.log.size(), 3u);
    const auto off = std::find(ed.log.begin(), ed.log.end(), "Unicode off");
    const auto tr = std::find(ed.log.begin(), ed.log.end(), "Translation 4");
    ASSERT_NE(off, ed.log.end());
    ASSERT_NE(tr, ed.log.end());
    EXPECT_LT(off, tr);
}

TEST_F(UndoStore, UnicodeModeThatTheLayoutNoLongerAllowsStaysOffWithoutThrowing)
{
    ed.unicode = true;
    ed.bpu = 2;
    Type(0, 0x41);
    ed.unicode = false;
    ed.bpu = 1;
    ed.evenLayout = false;  // bytes per row made odd since
    ASSERT_NO_THROW(EXPECT_TRUE(st.Undo()));
    EXPECT_EQ(ed.data[0], 0x00);
    EXPECT_FALSE(ed.unicode);
    EXPECT_EQ(ed.bpu, 2);
    EXPECT_EQ(st.Count(), 0);
}

TEST_F(UndoStore, SelectionStepRestoresCaretAndSelection)
{
    ed.caret = 9;
    st.CreateUndo(ufKindSelection, 2, 3, 0, QString());
    auto b = st.Bytes();
    ASSERT_EQ(b.size(), 46u);
    EXPECT_EQ(I32At(b, 8), 2);
    EXPECT_EQ(I32At(b, 30), 2);
    EXPECT_EQ(I32At(b, 34), 4);
    EXPECT_EQ(I32At(b, 38), 2);
    EXPECT_EQ(I32At(b, 42), 46);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.selStart, 2);
    EXPECT_EQ(ed.selEnd, 4);
    EXPECT_EQ(ed.selPosition, 2);
    EXPECT_EQ(ed.data[2], 0x22);

    st.CreateUndo(ufKindSelection, 7, 0, 0, QString());
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.caret, 7);
    EXPECT_EQ(ed.selEnd, -1);
    EXPECT_NE(std::find(ed.log.begin(), ed.log.end(), "SeekTo 7"), ed.log.end());
}

TEST_F(UndoStore, AddSelectionGrowsTheNewestRecordOnce)
{
    Type(3, 0x99);
    st.AddSelection(1, 4);
    auto b = st.Bytes();
    ASSERT_EQ(b.size(), 46u);
    EXPECT_EQ(I32At(b, 0), 46);
    EXPECT_EQ(I32At(b, 42), 46);
    EXPECT_TRUE(std::uint32_t(I32At(b, 4)) & UndoBit(ufFlagHasSelection));
    st.AddSelection(2, 0);  // replaces the block
    b = st.Bytes();
    ASSERT_EQ(b.size(), 46u);
    EXPECT_EQ(I32At(b, 8), 2);
    EXPECT_EQ(I32At(b, 30), 2);
    EXPECT_EQ(I32At(b, 34), -1);
    EXPECT_EQ(I32At(b, 38), 2);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.caret, 2);
    EXPECT_EQ(ed.data[3], 0x33);

    // Nothing to attach to: nothing happens.
    st.Reset(true);
    st.AddSelection(1, 1);
    EXPECT_EQ(st.Size(), 0);
}

// ---- bookmarks ------------------------------------------------------------------

TEST_F(UndoStore, BookmarksFollowRemovalAndItsUndo)
{
    ed.bookmarks[0] = {1, false};  // before the range
    ed.bookmarks[1] = {3, false};  // inside the removed range 2..4
    ed.bookmarks[2] = {6, true};   // after it
    ed.bookmarks[3] = {10, false}; // the append position
    Remove(2, 3);
    EXPECT_EQ(ed.bookmarks[0].mPosition, 1);
    EXPECT_EQ(ed.bookmarks[1].mPosition, 3);
    EXPECT_EQ(ed.bookmarks[2].mPosition, 3);
    EXPECT_TRUE(ed.bookmarks[2].mInCharField);
    EXPECT_EQ(ed.bookmarks[3].mPosition, 7);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.bookmarks[0].mPosition, 1);
    EXPECT_EQ(ed.bookmarks[1].mPosition, 6);  // stays where the removal left it, shifted on
    EXPECT_EQ(ed.bookmarks[2].mPosition, 6);
    EXPECT_EQ(ed.bookmarks[3].mPosition, 10);
}

TEST_F(UndoStore, BookmarksFollowInsertAndReplace)
{
    ed.bookmarks[0] = {4, false};
    ed.bookmarks[1] = {9, false};
    Insert(4, {1, 2});
    EXPECT_EQ(ed.bookmarks[0].mPosition, 6);
    EXPECT_EQ(ed.bookmarks[1].mPosition, 11);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.bookmarks[0].mPosition, 4);
    EXPECT_EQ(ed.bookmarks[1].mPosition, 9);

    ReplaceRange(2, 4, {7});  // 4 bytes at 2 become 1
    EXPECT_EQ(ed.bookmarks[0].mPosition, 4);  // inside the replaced range
    EXPECT_EQ(ed.bookmarks[1].mPosition, 6);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.bookmarks[1].mPosition, 9);

    // A redo puts the bookmarks as they were before the undo.
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.bookmarks[1].mPosition, 6);
}

TEST_F(UndoStore, BookmarkShiftsUseTheSizeTheEditLeaves)
{
    using Call = std::array<int, 3>;
    Remove(2, 3);               // 10 -> 7
    Insert(1, {1, 2});          // 7 -> 9
    ReplaceRange(0, 4, {7});    // 9 -> 6
    st.CreateUndo(ufKindBytesChanged, 0, 1, 0, QString());
    st.CreateUndo(ufKindAppendBuffer, 6, 4, 0, QString());
    EXPECT_EQ(ed.adjustCalls, (std::vector<Call>{{5, -3, 7}, {1, 2, 9}, {4, -3, 6}}));
    st.Reset(true);
    ed.adjustCalls.clear();
    ReplaceRange(2, 1, {4, 5, 6});  // 6 -> 8
    ASSERT_TRUE(st.Undo());         // three bytes at 2 go back to one
    EXPECT_EQ(ed.adjustCalls, (std::vector<Call>{{3, 2, 8}, {5, -2, 6}}));
}

// ---- brackets ---------------------------------------------------------------------

TEST_F(UndoStore, InsideABracketNothingIsRecorded)
{
    Type(0, 0xA0);
    EXPECT_EQ(st.BeginUpdate(), 1);
    EXPECT_EQ(st.BeginUpdate(), 2);
    EXPECT_FALSE(st.CanUndo());
    Type(1, 0xA1);
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Size(), 34);

    EXPECT_EQ(st.EndUpdate(), 1);
    EXPECT_EQ(st.EndUpdate(), 0);
    EXPECT_EQ(st.EndUpdate(), 0);
    EXPECT_TRUE(st.CanUndo());
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[0], 0x00);
    EXPECT_EQ(ed.data[1], 0xA1);  // the bracketed edit is not a step
}

// An undo that cannot run empties the store (brackets included) and keeps
// the redo; the data stays as it is.
TEST_F(UndoStore, RefusedUndoEmptiesTheStoreAndKeepsTheRedo)
{
    for (const bool inBracket : {false, true}) {
        SCOPED_TRACE(inBracket);
        st.Reset(true);
        Type(0, 0xA0);
        Type(1, 0xA1);
        ASSERT_TRUE(st.Undo());
        if (inBracket) {
            st.BeginUpdate();
            st.BeginUpdate();
        } else {
            ASSERT_TRUE(st.Undo());
        }
        const auto data = ed.data;
        EXPECT_FALSE(st.Undo());
        EXPECT_EQ(ed.data, data);
        EXPECT_EQ(st.UpdateCount(), 0);
        EXPECT_EQ(st.Count(), 0);
        EXPECT_EQ(st.Size(), 0);
        EXPECT_TRUE(st.Description().isEmpty());
        ASSERT_TRUE(st.CanRedo());
        EXPECT_TRUE(st.Redo());
        EXPECT_EQ(ed.data[inBracket ? 1 : 0], inBracket ? 0xA1 : 0xA0);
    }
}

// ---- redo rules --------------------------------------------------------------------

TEST_F(UndoStore, NewStepEndsTheRedo)
{
    Type(0, 0xA0);
    Type(1, 0xA1);
    ASSERT_TRUE(st.Undo());
    ASSERT_TRUE(st.CanRedo());
    Type(2, 0xA2);
    EXPECT_FALSE(st.CanRedo());
    EXPECT_FALSE(st.Redo());
    EXPECT_EQ(ed.data[1], 0x11);
    EXPECT_EQ(st.Count(), 2);
}

TEST_F(UndoStore, OnlyTheLastUndoneStepCanBeRedone)
{
    Type(0, 0xA0);
    Type(1, 0xA1);
    ASSERT_TRUE(st.Undo());
    ASSERT_TRUE(st.Undo());
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.data[0], 0xA0);
    EXPECT_EQ(ed.data[1], 0x11);
    EXPECT_FALSE(st.Redo());
    EXPECT_EQ(st.Count(), 1);
}

TEST_F(UndoStore, ResetWithoutRedoKeepsTheRedo)
{
    Type(0, 0xA0);
    ASSERT_TRUE(st.Undo());
    st.BeginUpdate();
    st.Reset(false);
    EXPECT_EQ(st.UpdateCount(), 0);
    EXPECT_TRUE(st.CanRedo());
    st.Reset(true);
    EXPECT_FALSE(st.CanRedo());
}

// ---- records that no longer fit the data ---------------------------------------------

TEST_F(UndoStore, UndoOfARecordBeyondTheDataResetsTheStoreAndLeavesTheData)
{
    Type(8, 0xA8);
    ed.data.resize(5);  // the data shrank outside the store
    const auto data = ed.data;
    EXPECT_FALSE(st.Undo());
    EXPECT_EQ(ed.data, data);
    EXPECT_EQ(st.Count(), 0);
    EXPECT_EQ(st.Size(), 0);

    Insert(4, {1, 2, 3});
    ed.data.resize(5);
    EXPECT_FALSE(st.Undo());
    EXPECT_EQ(ed.DataSize(), 5);
    EXPECT_EQ(st.Count(), 0);
}

// A redo that no longer fits is refused and takes only itself along: the
// older steps stay and undo as before. CanRedo only tells that a block exists.
TEST_F(UndoStore, RedoAfterTheDataChangedSizeIsRefusedAndKeepsTheOlderSteps)
{
    Type(0, 0xA0, "older");
    Insert(2, {1, 2, 3});
    ASSERT_TRUE(st.Undo());
    ed.data.push_back(0xFF);  // e.g. a new data set while a bracket was open
    const auto data = ed.data;
    EXPECT_TRUE(st.CanRedo());
    EXPECT_FALSE(st.Redo());
    EXPECT_EQ(ed.data, data);
    EXPECT_FALSE(st.CanRedo());
    EXPECT_FALSE(st.Redo());
    EXPECT_EQ(st.Count(), 1);
    EXPECT_TRUE(st.CanUndo());
    EXPECT_EQ(st.Description(), "older");
    ASSERT_EQ(ed.data[0], 0xA0);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[0], 0x00);
    EXPECT_EQ(st.Count(), 0);
}

TEST_F(UndoStore, RedoOverDataChangedInPlaceIsRefused)
{
    Type(0, 0xA0);
    Remove(2, 3);
    ASSERT_TRUE(st.Undo());
    ed.data[3] = 0xFE;  // same size, other bytes where the removal would act
    const auto data = ed.data;
    EXPECT_TRUE(st.CanRedo());
    EXPECT_FALSE(st.Redo());
    EXPECT_EQ(ed.data, data);
    EXPECT_FALSE(st.CanRedo());
    EXPECT_EQ(st.Count(), 1);

    st.Reset(true);
    st.CreateUndo(ufKindAllData, 0, 0, 0, QString());
    ed.data = {1, 2, 3};
    ASSERT_TRUE(st.Undo());
    ed.data[9] = 0x00;  // outside any range: only the whole-data check sees it
    const auto data2 = ed.data;
    EXPECT_TRUE(st.CanRedo());
    EXPECT_FALSE(st.Redo());
    EXPECT_EQ(ed.data, data2);
    EXPECT_FALSE(st.CanRedo());

    // Unchanged data still redoes.
    Type(0, 0xAB);
    ASSERT_TRUE(st.Undo());
    EXPECT_TRUE(st.CanRedo());
    EXPECT_TRUE(st.Redo());
}

// Every redo ends by setting the mark of its position to the block's first
// byte flag, which only a changed-bytes block carries; no other mark moves.
TEST_F(UndoStore, RedoSetsTheMarkAtItsPositionOnly)
{
    const auto removal = [&] { Remove(3, 2); };
    const auto insertion = [&] { Insert(1, {5, 6}); };
    const auto replacement = [&] { ReplaceRange(4, 2, {5, 6, 7}); };
    const auto appending = [&] { Append({1, 2}); };
    struct Case {
        const char* name;
        std::function<void()> edit;
        int pos;
    };
    for (const Case& c : {Case{"remove", removal, 3}, Case{"insert", insertion, 1}, Case{"replace", replacement, 4},
                          Case{"append", appending, 10}}) {
        SCOPED_TRACE(c.name);
        st.Reset(true);
        ed.data = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};
        c.edit();
        ASSERT_TRUE(st.Undo());
        ed.marks.assign(ed.data.size() + 2, true);
        ed.log.clear();
        ASSERT_TRUE(st.Redo());
        EXPECT_EQ(ed.log.back(), "Changed");
        EXPECT_TRUE(InOrder(ed.log, {"InCharField", ("SetChanged " + std::to_string(c.pos)).c_str()}));
        EXPECT_TRUE(ed.Marked(c.pos - 1));
        EXPECT_FALSE(ed.Marked(c.pos));
        EXPECT_TRUE(ed.Marked(c.pos + 1));
    }

    // A changed-bytes redo puts the marks the bytes had before the undo.
    st.Reset(true);
    ed.marks.clear();
    Type(2, 0xAB);
    ASSERT_TRUE(st.Undo());
    ASSERT_FALSE(ed.Marked(2));
    ASSERT_TRUE(st.Redo());
    EXPECT_TRUE(ed.Marked(2));
}

// The undo of a replacement cuts the marks one byte before the range.
TEST_F(UndoStore, ReplaceUndoCutsTheMarksFromTheByteBeforeTheRange)
{
    ed.marks = {true, true, true, true};
    ReplaceRange(4, 2, {1});
    ed.SetChanged(3, true);
    ASSERT_TRUE(st.Undo());
    EXPECT_TRUE(ed.Marked(2));
    EXPECT_FALSE(ed.Marked(3));
    EXPECT_FALSE(ed.Marked(4));

    st.Reset(true);
    ed.marks = {true, true};
    ReplaceRange(0, 1, {7, 8});
    ed.SetChanged(1, true);
    ASSERT_TRUE(st.Undo());
    EXPECT_FALSE(ed.Marked(0));
    EXPECT_FALSE(ed.Marked(1));
}

// ---- snapshots -------------------------------------------------------------------------

TEST_F(UndoStore, RestoringASnapshotLeavesNoStepBehind)
{
    Type(0, 0xA0, QStringLiteral("typed"));
    const auto bytes = st.Bytes();
    ed.bookmarks[0] = {8, false};
    const auto snap = st.Snapshot();
    Remove(2, 3);  // recorded, then the edit "fails"
    EXPECT_EQ(ed.bookmarks[0].mPosition, 5);
    st.RestoreSnapshot(snap);
    EXPECT_EQ(st.Bytes(), bytes);
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Description(), "typed");
    EXPECT_EQ(ed.bookmarks[0].mPosition, 8);
    EXPECT_TRUE(ed.modified);

    ed.modified = false;
    const auto snap2 = st.Snapshot();
    Type(1, 0xA1);
    st.RestoreSnapshot(snap2);
    EXPECT_FALSE(ed.modified);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[0], 0x00);
}

TEST_F(UndoStore, SnapshotBringsBackTheStepsTheLimitDropped)
{
    ed.maxUndo = 100;
    for (int i = 0; i < 3; ++i)
        Type(i, std::uint8_t(0xA0 + i));
    const auto bytes = st.Bytes();
    const auto snap = st.Snapshot();
    Type(5, 0xA5);  // drops the first
    EXPECT_EQ(I32At(st.Bytes(), 12), 1);
    st.RestoreSnapshot(snap);
    EXPECT_EQ(st.Bytes(), bytes);
    EXPECT_EQ(st.Count(), 3);

    // Many steps on, with the buffer compacted in between, the snapshot still
    // drops only what came after it.
    for (int i = 0; i < 200; ++i)
        Type(i % 10, std::uint8_t(i));
    const auto bytes2 = st.Bytes();
    const auto snap2 = st.Snapshot();
    Type(7, 0x01);
    st.RestoreSnapshot(snap2);
    EXPECT_EQ(st.Bytes(), bytes2);
    EXPECT_EQ(st.Count(), 3);
}

TEST_F(UndoStore, SnapshotNeverBringsBackAResetStore)
{
    Type(0, 0xA0);
    const auto snap = st.Snapshot();
    st.Reset(true);
    st.RestoreSnapshot(snap);
    EXPECT_EQ(st.Count(), 0);
    EXPECT_EQ(st.Size(), 0);
    EXPECT_FALSE(st.CanUndo());
}

// ---- count --------------------------------------------------------------------------------

TEST_F(UndoStore, CountTakesAPositiveValueAsGivenAndResetsAtZeroOrBelow)
{
    Type(0, 1);
    Type(1, 2);
    Type(2, 3);
    ASSERT_TRUE(st.Undo());
    st.SetCount(10);
    EXPECT_EQ(st.Count(), 10);
    EXPECT_EQ(st.Size(), 2 * 34);
    // Beyond the records the stream holds, an undo finds none and empties the store.
    ASSERT_TRUE(st.Undo());
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[0], 0x00);
    EXPECT_EQ(ed.data[1], 0x11);
    EXPECT_FALSE(st.Undo());
    EXPECT_EQ(st.Count(), 0);
    EXPECT_EQ(ed.data[0], 0x00);

    Type(0, 1);
    Type(1, 2);
    st.SetCount(1);
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Size(), 2 * 34);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data[1], 0x11);
    EXPECT_EQ(st.Count(), 0);
    EXPECT_FALSE(st.CanUndo());
    EXPECT_EQ(ed.data[0], 1);
    // The newest record is read whatever the count says.
    EXPECT_EQ(st.UndoKind(), ufKindBytesChanged);
    TWQHUndoRec rec{};
    QString desc;
    EXPECT_EQ(st.ReadUndoRecord(rec, desc), ufKindBytesChanged);
    EXPECT_EQ(rec.Pos, 0u);

    Type(2, 3);
    Type(3, 4);
    ASSERT_TRUE(st.Undo());
    st.SetCount(-4);
    EXPECT_EQ(st.Count(), 0);
    EXPECT_EQ(st.Size(), 0);
    EXPECT_FALSE(st.CanUndo());
    EXPECT_TRUE(st.CanRedo()) << "a reset through the count keeps the redo";
}

TEST_F(UndoStore, RemoveLastUndoKeepsTheRecordForRedoWithoutTouchingData)
{
    Type(0, 1, QStringLiteral("a"));
    Type(1, 2, QStringLiteral("b"));
    st.RemoveLastUndo();
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Description(), "a");
    EXPECT_EQ(ed.data[1], 2);
}

// ---- whole-data snapshots ------------------------------------------------------

TEST_F(UndoStore, SnapshotRecordIsWrittenInFullWithDescriptionAndSelection)
{
    ed.caret = 7;
    ed.selStart = 2;
    ed.selEnd = 5;
    ed.selPosition = 5;
    ed.bpu = 2;
    st.CreateUndo(ufKindAllData, 0, 0, 0, QStringLiteral("ab"));

    std::vector<std::uint8_t> want;
    auto i32 = [&](std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            want.push_back(std::uint8_t(v >> (8 * k)));
    };
    const std::uint32_t len = 29 + 10 + 4 + 4 + 12 + 4;
    i32(len);
    i32(UndoBit(ufKindAllData) | UndoBit(ufFlagHasSelection) | UndoBit(ufFlagHasDescription));
    i32(7);   // caret
    i32(0);   // position
    i32(10);  // count: the data size
    i32(0);
    want.push_back(tkAsIs);
    i32(2);
    want.insert(want.end(), ed.data.begin(), ed.data.end());
    want.insert(want.end(), {'a', 0, 'b', 0});
    i32(2);
    i32(2);
    i32(5);
    i32(5);
    i32(len);
    EXPECT_EQ(st.Bytes(), want);
}

// Undo takes the record off either by keeping the stream's block (when the
// record is most of it) or by copying it out; redo must put back the same bytes.
TEST_F(UndoStore, UndoneSnapshotGoesBackIntoTheStreamUnchangedOnRedo)
{
    for (int before : {1, 4}) {
        SCOPED_TRACE(before);
        st.Reset(true);
        ed.data.assign(20, 0x5A);
        for (int i = 0; i < before; ++i)
            Type(i, std::uint8_t(0xC0 + i));
        const auto original = ed.data;
        st.CreateUndo(ufKindAllData, 0, 0, 0, QStringLiteral("all"));
        ed.data.assign(20, 0x01);
        const auto stream = st.Bytes();

        ASSERT_TRUE(st.Undo());
        EXPECT_EQ(ed.data, original);
        EXPECT_EQ(st.Count(), before);
        EXPECT_EQ(st.Bytes(), std::vector<std::uint8_t>(stream.begin(), stream.begin() + 34 * before));

        ASSERT_TRUE(st.Redo());
        EXPECT_EQ(ed.data, std::vector<std::uint8_t>(20, 0x01));
        EXPECT_EQ(st.Bytes(), stream);
        EXPECT_EQ(st.Description(), "all");

        // The steps recorded after it sit behind it in the same stream.
        Type(3, 0x77);
        ASSERT_TRUE(st.Undo());
        ASSERT_TRUE(st.Undo());
        EXPECT_EQ(ed.data, original);
        for (int i = 0; i < before; ++i)
            ASSERT_TRUE(st.Undo());
        EXPECT_EQ(ed.data, std::vector<std::uint8_t>(20, 0x5A));
        EXPECT_FALSE(st.CanUndo());
    }
}

TEST_F(UndoStore, ManySmallStepsAfterABigSnapshotKeepEveryRecordIntact)
{
    ed.data.assign(100000, 0x33);
    st.CreateUndo(ufKindAllData, 0, 0, 0, QString());
    for (int i = 0; i < 300; ++i)
        Type(i, std::uint8_t(i));
    const auto b = st.Bytes();
    ASSERT_EQ(b.size(), 29u + 100000 + 4 + 300 * 34);
    for (int i = 0; i < 300; ++i) {
        const size_t at = 29 + 100000 + 4 + size_t(i) * 34;
        ASSERT_EQ(I32At(b, at), 34);
        ASSERT_EQ(I32At(b, at + 12), i);
    }
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(st.Undo());
    ed.data.assign(5, 0);
    ASSERT_TRUE(st.Undo());
    EXPECT_EQ(ed.data, std::vector<std::uint8_t>(100000, 0x33));
}

TEST_F(UndoStore, FailedReadWhileRecordingLeavesStoreAndRedoAsTheyWere)
{
    Type(0, 0xA0, QStringLiteral("one"));
    Type(1, 0xA1, QStringLiteral("two"));
    ASSERT_TRUE(st.Undo());
    const auto stream = st.Bytes();

    ed.failReads = true;
    EXPECT_THROW(st.CreateUndo(ufKindAllData, 0, 0, 0, QStringLiteral("all")), EWQHexEditor);
    EXPECT_THROW(st.CreateUndo(ufKindBytesChanged, 3, 1, 0, QString()), EWQHexEditor);
    ed.failReads = false;

    EXPECT_EQ(st.Bytes(), stream);
    EXPECT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Description(), "one");
    ASSERT_TRUE(st.CanRedo());
    ASSERT_TRUE(st.Redo());
    EXPECT_EQ(ed.data[1], 0xA1);
    EXPECT_EQ(st.Count(), 2);
}

TEST_F(UndoStore, PlaceholderByteIsZeroWhereAnOlderRecordLay)
{
    for (int i = 0; i < 4; ++i)
        Type(i, 0xF0);
    Type(5, 0xF1);  // its data area holds 0x55
    st.RemoveLastUndo();
    st.CreateUndo(ufKindInsertBuffer, 5, 3, 0, QString());
    st.CreateUndo(ufKindSelection, 2, 1, 0, QString());
    const auto b = st.Bytes();
    ASSERT_EQ(b.size(), 4u * 34 + 34 + 46);  // a selection step carries its block
    EXPECT_EQ(b[4 * 34 + 29], 0);
    EXPECT_EQ(b[5 * 34 + 29], 0);
}

// The redo of a whole-data step checks all of the data the undo left, not
// just its first part.
TEST_F(UndoStore, WholeDataRedoSeesAnyChangeToTheDataTheUndoLeft)
{
    const int n = 200000;
    std::vector<std::uint8_t> original(n);
    for (int i = 0; i < n; ++i)
        original[size_t(i)] = std::uint8_t(i * 7);
    const std::vector<std::uint8_t> edited(n, 0xEE);

    for (int at : {-1, 0, 65535, 65536, n - 1}) {
        SCOPED_TRACE(at);
        st.Reset(true);
        ed.data = original;
        st.CreateUndo(ufKindAllData, 0, 0, 0, QString());
        ed.data = edited;
        ASSERT_TRUE(st.Undo());
        ASSERT_EQ(ed.data, original);
        if (at < 0) {
            EXPECT_TRUE(st.Redo());
            EXPECT_EQ(ed.data, edited);
            continue;
        }
        ed.data[size_t(at)] ^= 0x01;
        const auto changed = ed.data;
        EXPECT_FALSE(st.Redo());
        EXPECT_EQ(ed.data, changed);
        EXPECT_FALSE(st.CanRedo());
    }
}

} // namespace
