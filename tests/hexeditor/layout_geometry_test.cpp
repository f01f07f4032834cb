// Grid geometry without a window: column counts and widths, row counts, the
// row width estimate and its fit, and the ruler texts.
#include "hexeditor/wqhgeometry.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

TWQHGeometry Geo(int bytesPerRow, int cw = 8)
{
    TWQHGeometry g;
    g.BytesPerRow = bytesPerRow;
    g.CharWidth = cw;
    return g;
}

std::vector<int> Widths(const TWQHGeometry& g)
{
    std::vector<int> w;
    for (int c = 2; c < WQHColCount(g); ++c)
        w.push_back(WQHColWidth(g, c));
    return w;
}

} // namespace

TEST(LayoutGeometry, ColumnCounts)
{
    EXPECT_EQ(WQHColCount(Geo(16)), 51);
    EXPECT_EQ(WQHColCount(Geo(1)), 6);
    EXPECT_EQ(WQHColCount(Geo(256)), 771);
    TWQHGeometry u = Geo(8);
    u.Unicode = true;
    EXPECT_EQ(WQHColCount(u), 2 * 8 + 4 + 3);
    EXPECT_EQ(WQHCharColCount(u), 4);
    u.BytesPerRow = 16;
    EXPECT_EQ(WQHColCount(u), 43);
}

TEST(LayoutGeometry, RowCounts)
{
    EXPECT_EQ(WQHRowCount(0, 16, false), 3);
    EXPECT_EQ(WQHRowCount(0, 16, true), 3);
    EXPECT_EQ(WQHRowCount(100, 16, false), 9);
    EXPECT_EQ(WQHRowCount(100, 16, true), 9);
    EXPECT_EQ(WQHRowCount(96, 16, false), 8);
    EXPECT_EQ(WQHRowCount(96, 16, true), 9);  // the append position gets its own row
    EXPECT_EQ(WQHRowCount(1, 16, false), 3);
    EXPECT_EQ(WQHRowCount(16, 16, false), 3);
    EXPECT_EQ(WQHRowCount(17, 16, false), 4);
    EXPECT_EQ(WQHRowCount(64LL << 20, 1, false), (64 << 20) + 2);
    // The largest data at one byte per row does not overflow.
    EXPECT_EQ(WQHRowCount(0x7FFFFFFFLL, 1, true), 0x7FFFFFFF);
}

TEST(LayoutGeometry, ColumnGroupsWidenTheLastDigitOfEachGroup)
{
    const int cw = 8;
    TWQHGeometry g = Geo(16, cw);
    g.BytesPerColDigits = 4;  // two bytes per column
    const std::vector<int> w = Widths(g);
    // Digit columns 2..33: byte k has columns 2+2k and 3+2k.
    for (int byte = 0; byte < 16; ++byte) {
        const int first = 2 + 2 * byte;
        EXPECT_EQ(w[first - 2], cw) << byte;
        const int expectSecond = byte == 15 ? 2 * cw : (byte % 2 == 1 ? 2 * cw : cw);
        EXPECT_EQ(w[first + 1 - 2], expectSecond) << byte;
    }
    EXPECT_EQ(WQHColWidth(g, 34), cw);  // spacer
    g.BytesPerColDigits = 2;  // one byte per column: every second digit is wide
    for (int byte = 0; byte < 16; ++byte)
        EXPECT_EQ(WQHColWidth(g, 3 + 2 * byte), 2 * cw) << byte;
    g.BytesPerColDigits = 16;  // eight bytes per column
    EXPECT_EQ(WQHColWidth(g, 17), 2 * cw);
    EXPECT_EQ(WQHColWidth(g, 5), cw);
    EXPECT_EQ(WQHColWidth(g, 33), 2 * cw);  // always, whatever the grouping
}

TEST(LayoutGeometry, CharacterColumnsFollowTheRulerUnitAndEndWide)
{
    const int cw = 8;
    TWQHGeometry g = Geo(16, cw);
    for (int k = 0; k < 15; ++k)
        EXPECT_EQ(WQHColWidth(g, 35 + k), cw + 1) << k;
    EXPECT_EQ(WQHColWidth(g, 50), 2 * cw + 1);
    g.UsedRulerBytesPerUnit = 4;
    EXPECT_EQ(WQHColWidth(g, 35 + 3), (3 * cw) / 2 + 1);
    EXPECT_EQ(WQHColWidth(g, 35 + 4), cw + 1);
    EXPECT_EQ(WQHColWidth(g, 35 + 7), (3 * cw) / 2 + 1);
    EXPECT_EQ(WQHColWidth(g, 50), 2 * cw + 1);
    // Unit spacing is not used for 16-bit characters.
    g.Unicode = true;
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(WQHColWidth(g, 35 + k), cw + 1) << k;
    EXPECT_EQ(WQHColWidth(g, 42), 2 * cw + 1);
    EXPECT_EQ(WQHColWidth(g, 43), 0);  // past the last column
}

TEST(LayoutGeometry, BlocksAddASpaceAfterEachBlockInBothFields)
{
    const int cw = 7;
    TWQHGeometry g = Geo(16, cw);
    g.BlockSize = 8;
    // After the second digit of byte 7 (column 17): group width plus the block space.
    EXPECT_EQ(WQHColWidth(g, 17), 2 * cw + cw);
    EXPECT_EQ(WQHColWidth(g, 13), 2 * cw);  // byte 5: a group end, no block end
    EXPECT_EQ(WQHColWidth(g, 15), cw);
    EXPECT_EQ(WQHColWidth(g, 33), 2 * cw);  // byte 15 keeps the fixed last width
    // After the character of byte 7.
    EXPECT_EQ(WQHColWidth(g, 35 + 7), cw + 1 + cw);
    EXPECT_EQ(WQHColWidth(g, 35 + 6), cw + 1);
    EXPECT_EQ(WQHColWidth(g, 50), 2 * cw + 1);
    g.SepCharBlocks = false;
    EXPECT_EQ(WQHColWidth(g, 35 + 7), cw + 1);
    EXPECT_EQ(WQHColWidth(g, 17), 3 * cw);  // the hex field keeps its space
    // In 16-bit mode a block of 8 bytes is 4 characters.
    g.SepCharBlocks = true;
    g.Unicode = true;
    EXPECT_EQ(WQHColWidth(g, 35 + 3), cw + 1 + cw);
    EXPECT_EQ(WQHColWidth(g, 35 + 2), cw + 1);
    // Block sizes below 2 mean no blocks.
    g.Unicode = false;
    g.BlockSize = 1;
    EXPECT_EQ(WQHColWidth(g, 35 + 7), cw + 1);
    EXPECT_EQ(WQHColWidth(g, 17), 2 * cw);
    // Two-byte blocks in 16-bit mode are one character: every character is spaced.
    g.BlockSize = 2;
    g.Unicode = true;
    EXPECT_EQ(WQHColWidth(g, 35), cw + 1 + cw);
}

TEST(LayoutGeometry, BlocksLongerThanAnyRowAddNoSpace)
{
    // Any block size is accepted; one that no row reaches never ends inside it.
    const TWQHGeometry plain = Geo(256, 8);
    // The estimate counts digit index 1 as a block end whatever the block size.
    TWQHGeometry longBlock = plain;
    longBlock.BlockSize = 512;
    ASSERT_EQ(WQHRowWidthEstimate(longBlock, 256), WQHRowWidthEstimate(plain, 256) + 8);
    for (const int block : {257, 0x40000000, 0x7FFFFFFF}) {
        TWQHGeometry g = plain;
        g.BlockSize = block;
        for (int c = 2; c < WQHColCount(g); ++c)
            EXPECT_EQ(WQHColWidth(g, c), WQHColWidth(plain, c)) << block << " column " << c;
        EXPECT_EQ(WQHRowWidthEstimate(g, 256), WQHRowWidthEstimate(longBlock, 256)) << block;
    }
}

TEST(LayoutGeometry, RowWidthEstimateCountsDigitsFromZero)
{
    const int cw = 10;
    TWQHGeometry g = Geo(16, cw);  // two bytes per column
    // m = 2: digit indices 0..4; index 1 is a group end (1 mod 4), index 3 the last digit.
    // digits: 10 + 20 + 10 + 20 + 10 = 70; characters: 11 + 11.
    EXPECT_EQ(WQHRowWidthEstimate(g, 2), 70 + 22);
    // m = 4: indices 0..8: 1, 5 group ends (20 each), 7 the last (20), the rest 10 (6 of them).
    EXPECT_EQ(WQHRowWidthEstimate(g, 4), 60 + 60 + 4 * 11);
    g.Unicode = true;
    EXPECT_EQ(WQHRowWidthEstimate(g, 4), 60 + 60 + 2 * 11);
}

TEST(LayoutGeometry, FitTakesTheLargestEvenRowThatFits)
{
    const int cw = 10;
    const TWQHGeometry g = Geo(16, cw);
    EXPECT_EQ(WQHFitBytesPerRow(g, 0), 2);
    EXPECT_EQ(WQHFitBytesPerRow(g, -100), 2);
    EXPECT_EQ(WQHFitBytesPerRow(g, WQHRowWidthEstimate(g, 4) - 1), 2);
    EXPECT_EQ(WQHFitBytesPerRow(g, WQHRowWidthEstimate(g, 4)), 4);
    EXPECT_EQ(WQHFitBytesPerRow(g, WQHRowWidthEstimate(g, 16)), 16);
    EXPECT_EQ(WQHFitBytesPerRow(g, WQHRowWidthEstimate(g, 18) - 1), 16);
    EXPECT_EQ(WQHFitBytesPerRow(g, 1000000), 256);
    for (int avail = 0; avail < 3000; avail += 37) {
        const int n = WQHFitBytesPerRow(g, avail);
        EXPECT_EQ(n % 2, 0);
        if (n > 2) {
            EXPECT_LE(WQHRowWidthEstimate(g, n), avail);
        }
        if (n < 256) {
            EXPECT_GT(WQHRowWidthEstimate(g, n + 2), avail);
        }
    }
}

TEST(LayoutGeometry, RulerTexts)
{
    QString hex, chars;
    TWQHGeometry g = Geo(16);
    WQHRulerTexts(g, 16, false, hex, chars);
    EXPECT_EQ(hex, QStringLiteral("000102030405060708090A0B0C0D0E0F"));
    EXPECT_EQ(chars, QStringLiteral("0123456789ABCDEF"));
    WQHRulerTexts(g, 16, true, hex, chars);
    EXPECT_EQ(hex, QStringLiteral("000102030405060708090a0b0c0d0e0f"));
    EXPECT_EQ(chars, QStringLiteral("0123456789abcdef"));
    g.UsedRulerBytesPerUnit = 2;
    WQHRulerTexts(g, 16, false, hex, chars);
    EXPECT_EQ(hex, QStringLiteral("00000001000200030004000500060007"));
    EXPECT_EQ(chars, QStringLiteral(" 0 1 2 3 4 5 6 7"));
    g.UsedRulerBytesPerUnit = 1;
    WQHRulerTexts(g, 10, false, hex, chars);
    EXPECT_EQ(chars, QStringLiteral("0123456789012345"));
    EXPECT_EQ(hex, QStringLiteral("00010203040506070809101112131415"));
    // Numbers longer than their room keep their last digits.
    g.BytesPerRow = 32;
    WQHRulerTexts(g, 2, false, hex, chars);
    EXPECT_EQ(hex.mid(2 * 5, 2), QStringLiteral("01"));  // 5 = 101b
    EXPECT_EQ(chars.mid(5, 1), QStringLiteral("1"));
    EXPECT_EQ(hex.size(), 64);
    EXPECT_EQ(chars.size(), 32);
    // A bad radix falls back to 16.
    g.BytesPerRow = 16;
    WQHRulerTexts(g, 17, false, hex, chars);
    EXPECT_EQ(chars, QStringLiteral("0123456789ABCDEF"));
    // 16-bit characters with a two-byte unit: one digit per character.
    g.Unicode = true;
    g.UsedRulerBytesPerUnit = 2;
    WQHRulerTexts(g, 16, false, hex, chars);
    EXPECT_EQ(chars, QStringLiteral("01234567"));
    // A one-byte unit in 16-bit mode leaves the character ruler empty.
    g.UsedRulerBytesPerUnit = 1;
    WQHRulerTexts(g, 16, false, hex, chars);
    EXPECT_TRUE(chars.isEmpty());
    EXPECT_EQ(hex.size(), 32);
    // A row that is not a multiple of the unit: whole units only.
    g.Unicode = false;
    g.BytesPerRow = 6;
    g.UsedRulerBytesPerUnit = 4;
    WQHRulerTexts(g, 16, false, hex, chars);
    EXPECT_EQ(hex, QStringLiteral("00000000"));
    EXPECT_EQ(chars, QStringLiteral("   0"));
}
