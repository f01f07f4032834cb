// Cell/position mapping, unit rounding and colour inversion.
#include "caret_editor.h"

#include "hexeditor/wqhcolors.h"

#include <gtest/gtest.h>

#include <string>

using carettest::TTestEditor;

namespace {

struct Layout {
    int bytesPerRow;
    bool unicode;
};

class CaretMapping : public ::testing::TestWithParam<Layout> {};

TEST_P(CaretMapping, PositionsRoundTripThroughBothFields)
{
    const Layout l = GetParam();
    TTestEditor ed;
    ed.SetMappingGeometry(l.bytesPerRow, l.unicode);
    const int b = l.bytesPerRow;
    const int firstChar = 2 * b + 3;
    for (int p = 0; p < 4 * b; ++p) {
        SCOPED_TRACE(p);
        const TGridCoord hex = ed.GetCursorAtPos(p, false);
        EXPECT_EQ(hex.X, 2 * (p % b) + 2);
        EXPECT_EQ(hex.Y, p / b + 2);
        EXPECT_EQ(ed.GetRow(p), hex.Y);
        EXPECT_FALSE(ed.GetIsCharFieldCol(hex.X));
        EXPECT_EQ(ed.GetPositionAtCursor(hex.X, hex.Y), p);
        EXPECT_EQ(ed.GetPositionAtCursor(hex.X + 1, hex.Y), p) << "second digit";

        const TGridCoord chr = ed.GetCursorAtPos(p, true);
        EXPECT_EQ(chr.Y, hex.Y);
        EXPECT_TRUE(ed.GetIsCharFieldCol(chr.X));
        // A 16-bit character holds two bytes; its cell maps to the first.
        const int charPos = l.unicode ? p & ~1 : p;
        EXPECT_EQ(chr.X, firstChar + (l.unicode ? (p % b) / 2 : p % b));
        EXPECT_EQ(ed.GetPositionAtCursor(chr.X, chr.Y), charPos);

        EXPECT_EQ(ed.GetOtherFieldColCheck(hex.X), chr.X);
        EXPECT_EQ(ed.GetOtherFieldColCheck(chr.X), ed.GetCursorAtPos(charPos, false).X);
    }
    // The last character column is the grid's last column.
    const int colCount = l.unicode ? 2 * b + b / 2 + 3 : 3 * b + 3;
    EXPECT_EQ(ed.GetCursorAtPos(b - 1, true).X, colCount - 1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, CaretMapping,
                         ::testing::Values(Layout{1, false}, Layout{3, false}, Layout{16, false},
                                           Layout{31, false}, Layout{256, false}, Layout{2, true},
                                           Layout{8, true}, Layout{16, true}, Layout{64, true}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::to_string(info.param.bytesPerRow) + "Bytes" +
                                    (info.param.unicode ? "_Unicode" : "_Ansi");
                         });

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
