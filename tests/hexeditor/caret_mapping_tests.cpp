// Cell/position mapping, unit rounding and colour inversion.
#include "caret_editor.h"

#include "hexeditor/wqhcolors.h"

#include <gtest/gtest.h>

#include <string>

using carettest::TTestEditor;

namespace {

// One position in one layout and the cells it lies in.
struct Mapped {
    int bytesPerRow;
    bool unicode;
    int pos;
    TGridCoord hex;   // its first digit
    TGridCoord chr;   // its character
    int charPos;      // the position the character cell maps back to
};

// B = 1: hex 2..3, gap 4, characters from 5; B = 3: hex 2..7, gap 8,
// characters 9..11; B = 16: hex 2..33, gap 34, characters 35..50 (unicode
// 35..42, one per two bytes); B = 256: characters from 515.
const Mapped kMapped[] = {
    {1, false, 0, {2, 2}, {5, 2}, 0},
    {1, false, 7, {2, 9}, {5, 9}, 7},
    {3, false, 2, {6, 2}, {11, 2}, 2},
    {3, false, 4, {4, 3}, {10, 3}, 4},
    {16, false, 0, {2, 2}, {35, 2}, 0},
    {16, false, 15, {32, 2}, {50, 2}, 15},
    {16, false, 16, {2, 3}, {35, 3}, 16},
    {16, false, 37, {12, 4}, {40, 4}, 37},
    {256, false, 255, {512, 2}, {770, 2}, 255},
    {256, false, 300, {90, 3}, {559, 3}, 300},
    {2, true, 1, {4, 2}, {7, 2}, 0},
    {2, true, 3, {4, 3}, {7, 3}, 2},
    {16, true, 5, {12, 2}, {37, 2}, 4},
    {16, true, 15, {32, 2}, {42, 2}, 14},
    {16, true, 21, {12, 3}, {37, 3}, 20},
};

TEST(CaretMapping, PositionsAndCellsOfBothFields)
{
    TTestEditor ed;
    for (const Mapped& m : kMapped) {
        SCOPED_TRACE(std::to_string(m.bytesPerRow) + (m.unicode ? " unicode, " : " ansi, ") + std::to_string(m.pos));
        ed.SetMappingGeometry(m.bytesPerRow, m.unicode);
        EXPECT_EQ(ed.GetCursorAtPos(m.pos, false), m.hex);
        EXPECT_EQ(ed.GetCursorAtPos(m.pos, true), m.chr);
        EXPECT_EQ(ed.GetRow(m.pos), m.hex.Y);
        EXPECT_EQ(ed.GetPositionAtCursor(m.hex.X, m.hex.Y), m.pos);
        EXPECT_EQ(ed.GetPositionAtCursor(m.hex.X + 1, m.hex.Y), m.pos) << "second digit";
        EXPECT_EQ(ed.GetPositionAtCursor(m.chr.X, m.chr.Y), m.charPos);
        EXPECT_FALSE(ed.GetIsCharFieldCol(m.hex.X + 1));
        EXPECT_TRUE(ed.GetIsCharFieldCol(m.chr.X));
        EXPECT_EQ(ed.GetOtherFieldColCheck(m.hex.X), m.chr.X);
        EXPECT_EQ(ed.GetOtherFieldColCheck(m.chr.X), ed.GetCursorAtPos(m.charPos, false).X);
    }
}

TEST(CaretMappingEdges, NegativePositionIsTheFirstCell)
{
    TTestEditor ed;
    ed.SetMappingGeometry(16, false);
    EXPECT_EQ(ed.GetCursorAtPos(-1, false), GridCoord(2, 2));
    EXPECT_EQ(ed.GetCursorAtPos(-1000, true), GridCoord(2, 2));
}

TEST(CaretMappingEdges, GapColumnIsHexSideAndMeansTheNextRowsFirstByte)
{
    TTestEditor ed;
    ed.SetMappingGeometry(16, false);
    EXPECT_FALSE(ed.GetIsCharFieldCol(34));
    EXPECT_TRUE(ed.GetIsCharFieldCol(35));
    EXPECT_EQ(ed.GetPositionAtCursor(34, 2), 16);
    EXPECT_EQ(ed.GetPositionAtCursor(34, 5), 64);
}

TEST(CaretMappingEdges, CellsLeftOfTheDataGiveZero)
{
    TTestEditor ed;
    ed.SetMappingGeometry(16, false);
    EXPECT_EQ(ed.GetPositionAtCursor(0, 2), 0);
    EXPECT_EQ(ed.GetPositionAtCursor(1, 2), 0);
    EXPECT_EQ(ed.GetPositionAtCursor(2, 0), 0);
    EXPECT_EQ(ed.GetPositionAtCursor(0, 3), 15) << "the gutter of row 3 is one before its first byte";
}

TEST(CaretMappingEdges, HugeRowsDoNotWrapToNegativePositions)
{
    TTestEditor ed;
    ed.SetMappingGeometry(256, false);
    EXPECT_GE(ed.GetPositionAtCursor(2, 1 << 30), 0);
    EXPECT_EQ(ed.GetPositionAtCursor(2, 1 << 30), INT_MAX);
}

TEST(CaretMappingEdges, OnlyTheCaretConversionsSetTheFieldFlag)
{
    TTestEditor ed;
    ed.SetMappingGeometry(16, false);

    // The painter's conversions leave the flag alone.
    ed.SetPosInCharField(false);
    EXPECT_EQ(ed.GetPositionAtCursor(40, 2), 5);
    EXPECT_FALSE(ed.PosInCharField());
    EXPECT_EQ(ed.GetOtherFieldColCheck(40), 12);
    EXPECT_FALSE(ed.PosInCharField());
    ed.SetPosInCharField(true);
    EXPECT_EQ(ed.GetPositionAtCursor(12, 2), 5);
    EXPECT_TRUE(ed.PosInCharField());
    EXPECT_EQ(ed.GetOtherFieldColCheck(12), 40);
    EXPECT_TRUE(ed.PosInCharField());

    // The caret's conversions record the field of the column they are given.
    EXPECT_EQ(ed.GetPosAtCursor(12, 2), 5);
    EXPECT_FALSE(ed.PosInCharField());
    EXPECT_EQ(ed.GetPosAtCursor(40, 2), 5);
    EXPECT_TRUE(ed.PosInCharField());
    EXPECT_EQ(ed.GetOtherFieldCol(12), 40);
    EXPECT_FALSE(ed.PosInCharField());
    EXPECT_EQ(ed.GetOtherFieldCol(40), 12);
    EXPECT_TRUE(ed.PosInCharField());
}

TEST(CaretMappingEdges, InvertColorFlipsTheRgbOfPlainAndSystemColours)
{
    EXPECT_EQ(TCustomWQHexEditor::InvertColor(clWhite), clBlack);
    EXPECT_EQ(TCustomWQHexEditor::InvertColor(clBlack), clWhite);
    EXPECT_EQ(TCustomWQHexEditor::InvertColor(0x123456), 0xEDCBA9);
    const TColor window = TCustomWQHexEditor::InvertColor(clWindow);
    EXPECT_EQ(window & static_cast<TColor>(0xFF000000u), 0) << "a system colour inverts to a plain RGB";
    EXPECT_EQ(TCustomWQHexEditor::InvertColor(window), ColorToRGB(clWindow));
}

// ---- with data ----

class CaretUnits : public ::testing::Test {
protected:
    void SetUp() override { ed.CreateEmptyFile(QString()); }
    TTestEditor ed;
};

TEST_F(CaretUnits, TruncMaxPositionStopsAtTheLastCaretPlace)
{
    carettest::LoadBytes(ed, 10);
    int p = 10;
    ed.TruncMaxPosition(p);
    EXPECT_EQ(p, 9);
    p = 500;
    ed.TruncMaxPosition(p);
    EXPECT_EQ(p, 9);
    p = 4;
    ed.TruncMaxPosition(p);
    EXPECT_EQ(p, 4);

    ed.SetInsertMode(true);
    p = 10;
    ed.TruncMaxPosition(p);
    EXPECT_EQ(p, 10) << "the append position";
    p = 11;
    ed.TruncMaxPosition(p);
    EXPECT_EQ(p, 10);
}

TEST_F(CaretUnits, SelectUnitWidensToWholeUnitsAndKeepsRoles)
{
    carettest::LoadBytes(ed, 20);
    ed.SetBytesPerUnit(4);
    int v = 7;
    ed.CheckUnit(v);
    EXPECT_EQ(v, 4);
    v = 8;
    ed.CheckUnit(v);
    EXPECT_EQ(v, 8);

    int a = 5, b = 9;
    ed.CheckSelectUnit(a, b);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 11);

    a = 9, b = 5;
    ed.CheckSelectUnit(a, b);
    EXPECT_EQ(a, 11) << "the larger one stays in its variable";
    EXPECT_EQ(b, 4);

    a = 6, b = 6;
    ed.CheckSelectUnit(a, b);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 7);

    a = 17, b = 18;
    ed.CheckSelectUnit(a, b);
    EXPECT_EQ(a, 16);
    EXPECT_EQ(b, 19) << "cut at the last byte";
}

TEST_F(CaretUnits, SelectUnitNeverReachesPastTheData)
{
    carettest::LoadBytes(ed, 10);
    ed.SetBytesPerUnit(4);
    int a = 5, b = 9;
    ed.CheckSelectUnit(a, b);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 9);
}

TEST_F(CaretUnits, CursorPosAndCurrentValueAtTheAppendPosition)
{
    carettest::LoadBytes(ed, 20);
    ed.SetInsertMode(true);
    ed.MoveColRow(2 + 2 * 3, 2, true, true);
    EXPECT_EQ(ed.GetCursorPos(), 3);
    EXPECT_EQ(ed.CurrentValue(), 3);

    const TGridCoord append = ed.GetCursorAtPos(20, false);
    ed.MoveColRow(append.X, append.Y, true, true);
    EXPECT_EQ(carettest::CaretPos(ed), 20);
    EXPECT_EQ(ed.GetCursorPos(), 19) << "the append position reads as the last byte";
    EXPECT_EQ(ed.CurrentValue(), -1);
}

} // namespace
