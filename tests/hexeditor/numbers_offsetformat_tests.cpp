// The offset format grammar and the offset text of a position.
#include "hexeditor/wqhnumbers.h"
#include "hexeditor/wqhstrings.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <random>

namespace {

// Parse with 16 bytes per row, 4 per column and a ruler unit of 1.
TWQHOffsetFormat Parse(const QString& t, int bpr = 16, int bpc = 4, int ruler = 1)
{
    return ParseOffsetFormat(t, bpr, bpc, ruler);
}

QString ErrorOf(const QString& t, int bpr = 16)
{
    try {
        Parse(t, bpr);
    } catch (const EWQHexEditor& e) {
        return e.Message();
    }
    return QStringLiteral("<accepted>");
}

QString Text(const QString& format, std::uint32_t pos, bool lower = false, int bpr = 16)
{
    return FormatOffset(Parse(format, bpr), pos, lower);
}

TEST(OffsetFormatGrammar, DefaultFormat)
{
    const TWQHOffsetFormat f = Parse("-!10:0x|");
    EXPECT_EQ(f.Format, "-!10:0x|");
    EXPECT_EQ(f.Prefix, "0x");
    EXPECT_EQ(f.Suffix, "");
    EXPECT_EQ(f.Radix, 16);
    EXPECT_EQ(f.MinWidth, 1);
    EXPECT_EQ(f.Flags, offCalcWidth | offBytesPerUnit);
    EXPECT_EQ(f._BytesPerUnit, 1);
    // The ruler unit is taken when no unit is written.
    EXPECT_EQ(Parse("-!10:0x|", 16, 4, 4)._BytesPerUnit, 4);
}

TEST(OffsetFormatGrammar, UnitForms)
{
    TWQHOffsetFormat f = Parse("r%-!10:|", 8);
    EXPECT_EQ(f._BytesPerUnit, 8);
    EXPECT_EQ(f.Flags, offCalcRow | offCalcWidth);
    f = Parse("R%10:|", 2);
    EXPECT_EQ(f._BytesPerUnit, 2);
    EXPECT_TRUE(f.Flags & offCalcRow);
    f = Parse("c%10:|");  // BytesPerColumn 4
    EXPECT_EQ(f._BytesPerUnit, 4);
    EXPECT_EQ(f.Flags, offCalcColumn);
    f = Parse("C%10:|", 16, 2);
    EXPECT_EQ(f._BytesPerUnit, 2);
    f = Parse("2%4!10:|");
    EXPECT_EQ(f._BytesPerUnit, 2);
    EXPECT_EQ(f.Flags, 0);
    EXPECT_EQ(f.MinWidth, 4);
    f = Parse("%10:|", 16, 4, 8);
    EXPECT_EQ(f._BytesPerUnit, 8);
    EXPECT_EQ(f.Flags, offBytesPerUnit);
    // Kept in 8 bits: 0x101 leaves 1.
    EXPECT_EQ(Parse("101%10:|")._BytesPerUnit, 1);
}

TEST(OffsetFormatGrammar, WidthForms)
{
    EXPECT_EQ(Parse("8!10:|h").MinWidth, 8);
    EXPECT_EQ(Parse("!10:|").MinWidth, 1);
    EXPECT_EQ(Parse("0!10:|").MinWidth, 0);
    EXPECT_EQ(Parse("1F!10:|").MinWidth, 0x1F);
    EXPECT_EQ(Parse("10:|").MinWidth, 1);
    EXPECT_EQ(Parse("10:|").Flags & offCalcWidth, 0);
}

TEST(OffsetFormatGrammar, PrefixAndSuffixSplitAtTheFirstBar)
{
    TWQHOffsetFormat f = Parse("-!10:<|>|");
    EXPECT_EQ(f.Prefix, "<");
    EXPECT_EQ(f.Suffix, ">|");
    f = Parse("10:|");
    EXPECT_EQ(f.Prefix, "");
    EXPECT_EQ(f.Suffix, "");
    f = Parse("A:pos |: dec");
    EXPECT_EQ(f.Radix, 10);
    EXPECT_EQ(f.Prefix, "pos ");
    EXPECT_EQ(f.Suffix, ": dec");
}

TEST(OffsetFormatGrammar, EveryError)
{
    EXPECT_EQ(ErrorOf("r%-!10:|", 16), "Invalid bytes per unit value 16, allowed: 1,2,4,8");
    EXPECT_EQ(ErrorOf("r%-!10:|", 256), "Invalid bytes per unit value 256, allowed: 1,2,4,8");
    EXPECT_EQ(ErrorOf("3%10:|"), "Invalid bytes per unit value 3, allowed: 1,2,4,8");
    EXPECT_EQ(ErrorOf("0%10:|"), "Invalid bytes per unit value 0, allowed: 1,2,4,8");
    EXPECT_EQ(ErrorOf("-!11:|"), "Invalid radix in offset format (11h), allowed: 02h..10h");
    EXPECT_EQ(ErrorOf("-!1:|"), "Invalid radix in offset format (1h), allowed: 02h..10h");
    EXPECT_EQ(ErrorOf("-!0:|"), "Invalid radix in offset format (0h), allowed: 02h..10h");
    EXPECT_EQ(ErrorOf("-!:|"), "Missing char in offset format: number radix");
    EXPECT_EQ(ErrorOf("-!10|"), "Missing char in offset format: :");
    EXPECT_EQ(ErrorOf("-!10:0x"), "Missing char in offset format: |");
    EXPECT_EQ(ErrorOf("-!10"), "Missing char in offset format: |");
    EXPECT_EQ(ErrorOf("|"), "Missing char in offset format: number radix");
    EXPECT_EQ(ErrorOf("zz"), "Missing char in offset format: number radix");
}

TEST(OffsetFormatGrammar, EmptyTextMeansNoOffsets)
{
    const TWQHOffsetFormat f = Parse("");
    EXPECT_TRUE(f.Format.isEmpty());
    EXPECT_EQ(f.Flags, 0);
    EXPECT_EQ(FormatOffset(f, 0x1234, false), "");
}

TEST(OffsetText, ExamplesOfEachForm)
{
    EXPECT_EQ(Text("8!10:|h", 0x1F0), "000001F0h");
    EXPECT_EQ(Text("2%4!10:|", 0x20), "0010");
    EXPECT_EQ(Text("10:0x|", 0x1F0), "0x1F0");
    EXPECT_EQ(Text("10:0x|", 0x1F0, true), "0x1f0");
    EXPECT_EQ(Text("0!10:|", 0), "");
    EXPECT_EQ(Text("0!10:|", 16), "10");
    EXPECT_EQ(Text("0!10:|", 1), "1");
    EXPECT_EQ(Text("4!A:|", 1234), "1234");
    EXPECT_EQ(Text("6!A:|", 1234), "001234");
    EXPECT_EQ(Text("r%10:row |", 0x40, false, 8), "row 8");
    EXPECT_EQ(Text("8:|o", 64), "100o");
    EXPECT_EQ(Text("2:%|", 5), "%101");
    EXPECT_EQ(Text("10:|", 0xFFFFFFFFu), "FFFFFFFF");
}

TEST(OffsetText, OnlyTheLowByteOfTheWidthPadsAndOnlyWidthZeroDropsTheZero)
{
    TWQHOffsetFormat f = Parse("10:|");
    f.MinWidth = 0x104;  // low byte 4
    EXPECT_EQ(FormatOffset(f, 0xA, false), "000A");
    // Only a width of exactly 0 leaves position 0 without digits; 0x100
    // pads to nothing but still writes the one digit.
    f.MinWidth = 0x100;
    EXPECT_EQ(FormatOffset(f, 0, false), "0");
    EXPECT_EQ(FormatOffset(f, 0x1F, false), "1F");
    f.MinWidth = 0;
    EXPECT_EQ(FormatOffset(f, 0, false), "");
}

TEST(OffsetText, UnitZeroNeverDividesByZero)
{
    // A 256-byte row under "r%" leaves 0 in the 8-bit unit: counted as 256.
    TWQHOffsetFormat f = Parse("r%10:|", 8);
    f._BytesPerUnit = 0;
    EXPECT_EQ(FormatOffset(f, 0x300, false), "3");
    EXPECT_EQ(FormatOffset(f, 0xFFFFFFFFu, false), "FFFFFF");
}

TEST(OffsetText, RandomFormatsNeverCrashAndFailuresReportOurTexts)
{
    // Built from the grammar's own pieces, so most are near-valid.
    const QStringList pieces = {"r%", "c%", "%", "2%", "8%", "-!", "!", "4!", "0!", "10", "A", "2", "11",
                                ":", "|", "0x", "h", "FF", "1", ""};
    std::mt19937 rng(7);
    int accepted = 0;
    for (int n = 0; n < 3000; ++n) {
        QString t;
        const int k = int(rng() % 6);
        for (int i = 0; i < k; ++i)
            t += pieces[rng() % pieces.size()];
        try {
            const TWQHOffsetFormat f = Parse(t, int(rng() % 300), int(rng() % 9), 1 << (rng() % 4));
            ++accepted;
            EXPECT_EQ(f.Format, t);
            EXPECT_GE(f.Radix, 2);
            EXPECT_LE(f.Radix, 16);
            const QString s = FormatOffset(f, rng(), rng() % 2);
            EXPECT_TRUE(s.startsWith(f.Prefix) && s.endsWith(f.Suffix)) << t.toStdString();
        } catch (const EWQHexEditor& e) {
            EXPECT_TRUE(e.Message().startsWith("Invalid") || e.Message().startsWith("Missing")) << e.Message().toStdString();
        }
    }
    EXPECT_GT(accepted, 100);
}

} // namespace
