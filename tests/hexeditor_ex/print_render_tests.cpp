// The page renderer's plain pieces: margin rounding, header split and
// expansion, and the texts and attributes of data and ruler rows.
#include "hexeditor/ex/wqhprintrender.h"
#include "hexeditor_ex/print_fake_source.h"
#include "hexeditor_ex/print_test_util.h"
#include "support/fakes.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

TWQHPrintFlags Mono() { return WQHPrintFlagSet({pfSelectionBold, pfMonochrome}); }
TWQHPrintFlags Colour() { return WQHPrintFlagSet({pfSelectionBold, pfUseBackgroundColor}); }

struct Rig {
    FakePrintSource src;
    std::unique_ptr<TWQHRecordingCanvas> canvas = FixedCanvas();
    std::unique_ptr<TWQHCanvasPrinter> printer;
    void Make(TWQHPrintFlags flags, TRect margins = TRect{0, 0, 1000, 1200}, TWQHPrintHeaders h = {})
    {
        printer = std::make_unique<TWQHCanvasPrinter>(src, *canvas, flags, margins, h);
    }
    TTextWithAttr Row(std::int64_t pos, std::int64_t last)
    {
        TTextWithAttr r;
        printer->BuildDataRow(pos, last, 8, r);
        EXPECT_EQ(r.Text.size(), qsizetype(r.Attributes.size()));
        return r;
    }
};

} // namespace

TEST(PrintMargins, RoundToNearestHalvesToEven)
{
    EXPECT_EQ(WQHRoundHalfEven(2.5), 2);
    EXPECT_EQ(WQHRoundHalfEven(3.5), 4);
    EXPECT_EQ(WQHRoundHalfEven(-2.5), -2);
    EXPECT_EQ(WQHRoundHalfEven(590.55), 591);
    EXPECT_EQ(WQHRoundHalfEven(472.44), 472);
    const TWQHPrintMargins def = WQH_DEF_PRINT_MARGINS;
    EXPECT_EQ(WQHMarginsToPixels(def, 600, 600, 4800, 6600), (TRect{472, 354, 4800 - 591, 6600 - 591}));
    EXPECT_EQ(WQHMarginsToPixels(def, 300, 300, 2400, 3300), (TRect{236, 177, 2400 - 295, 3300 - 295}));
    // 12.7 mm is exactly half an inch: at 5 dpi 2.5 pixels, at 7 dpi 3.5.
    EXPECT_EQ(WQHMarginsToPixels(TWQHPrintMargins{{0, 0, 0, 0}}, 5, 7, 10, 10), (TRect{0, 0, 10, 10}));
    EXPECT_EQ(WQHRoundHalfEven(127 / 25.4 * 1), 5);
}

TEST(PrintHeaderSplit, ThreePartsAndTheirEdgeCases)
{
    auto s = WQHSplitHeaderText(QStringLiteral("a|b|c"));
    EXPECT_EQ(s.Left, "a");
    EXPECT_EQ(s.Centre, "b");
    EXPECT_EQ(s.Right, "c");
    s = WQHSplitHeaderText(QStringLiteral("a|b|c|d"));
    EXPECT_EQ(s.Right, "c|d");
    s = WQHSplitHeaderText(QStringLiteral("|mid"));
    EXPECT_TRUE(s.Left.isEmpty());
    EXPECT_EQ(s.Centre, "mid");
    EXPECT_TRUE(s.Right.isEmpty());
    s = WQHSplitHeaderText(QStringLiteral("plain"));
    EXPECT_EQ(s.Left, "plain");
    EXPECT_TRUE(s.Centre.isEmpty());
}

TEST(PrintHeaderExpand, EveryPlaceholder)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Fill(100);
    r.Make(Mono());
    auto& p = *r.printer;
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%F"), 3), "/tmp/dir/image.bin");
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%f"), 3), "image.bin");
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%p of %P"), 3), "3 of 1");
    const QLocale loc = QLocale::system();
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%d"), 1), loc.toString(fakes.clock.current.date(), QLocale::ShortFormat));
    const QString t = p.ExpandHeaderText(QStringLiteral("%t"), 1);
    EXPECT_TRUE(t.contains(QStringLiteral("20"))) << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("14"))) << t.toStdString();
    EXPECT_FALSE(t.contains(loc.toString(fakes.clock.current.date(), QLocale::ShortFormat)));
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%<|%>"), 1), "WIN|Windows");
    r.src.Trans = tkMac;
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%<|%>"), 1), "MAC|Macintosh");
    r.src.Unicode = true;
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%<|%>"), 1), "UCLE|Unicode little endian");
    r.src.BigEndian = true;
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%<|%>"), 1), "UCBE|Unicode big endian");
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("100%"), 1), "100%");
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("%%p %x"), 1), "%%p %x");
    r.src.File = QStringLiteral("noslash");
    EXPECT_EQ(p.ExpandHeaderText(QStringLiteral("[%f]"), 1), "[noslash]");
}

TEST(PrintDataRow, PlainLayoutTextAndAttributes)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Fill(100);
    for (int i = 0; i < 100; ++i)
        r.src.Data[std::size_t(i)] = std::uint8_t('A' + i % 26);
    r.src.SStart = 17;
    r.src.SEnd = 18;
    r.src.Changed = {20};
    r.src.CRow = 3;  // the caret is on the second data row
    r.Make(Mono());
    const int pumps = fakes.system.pumps;
    const auto row = r.Row(16, 99);
    EXPECT_EQ(fakes.system.pumps, pumps + 1);  // one pump per row
    EXPECT_EQ(row.Text, QStringLiteral("00000010: 51525354 55565758 595A4142 43444546  QRSTUVWXYZABCDEF"));
    const auto& a = row.Attributes;
    const TWQHPrintColors c = r.src.Cols;
    // Offset: the caret's row is bold, in font colour on the background.
    EXPECT_EQ(a[0], (TCellAttribute{c.Background, c.FontColor, true}));
    EXPECT_EQ(a[9], (TCellAttribute{c.Background, c.FontColor, true}));
    // Hex: odd column group, then even after the first separator.
    EXPECT_EQ(a[10], (TCellAttribute{c.ActiveFieldBackground, c.OddColumn, false}));
    EXPECT_EQ(a[12].Bold, true);   // byte 17 selected
    EXPECT_EQ(a[15].Bold, true);   // byte 18 selected
    EXPECT_EQ(a[18], a[17]);       // the separator copies the cell before it
    EXPECT_EQ(a[19], (TCellAttribute{c.ChangedBackground, c.ChangedText, false}));  // byte 20 changed
    EXPECT_EQ(a[23].Fore, c.EvenColumn);
    EXPECT_EQ(a[28].Fore, c.OddColumn);
    // Two default separators, then the characters.
    EXPECT_EQ(a[45], (TCellAttribute{c.Background, c.FontColor, false}));
    EXPECT_EQ(a[46], (TCellAttribute{c.Background, c.FontColor, false}));
    EXPECT_EQ(a[48].Bold, true);
    EXPECT_EQ(a[51], (TCellAttribute{c.ChangedBackground, c.ChangedText, false}));
    EXPECT_EQ(a[52], (TCellAttribute{c.Background, c.FontColor, false}));
}

TEST(PrintDataRow, LastRowBlanksAndCharFieldColours)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Fill(1000);
    r.src.CharField = true;
    r.src.Lower = true;
    r.Make(Mono());
    const auto row = r.Row(992, 999);
    EXPECT_EQ(row.Text.left(10), QStringLiteral("000003E0: "));
    EXPECT_EQ(row.Text.mid(10, 35), QStringLiteral("e0e1e2e3 e4e5e6e7") + QString(18, QLatin1Char(' ')));
    EXPECT_EQ(row.Text.mid(47), QString(QChar(0xE0)) + QChar(0xE1) + QChar(0xE2) + QChar(0xE3) + QChar(0xE4) + QChar(0xE5) +
                                    QChar(0xE6) + QChar(0xE7) + QString(8, QLatin1Char(' ')));
    // With the caret in the character field the hex field has the plain background.
    EXPECT_EQ(row.Attributes[10].Back, r.src.Cols.Background);
    EXPECT_EQ(row.Attributes[47].Back, r.src.Cols.ActiveFieldBackground);
}

TEST(PrintDataRow, ColourLayoutOffsetAndSwappedNibbles)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Fill(64);
    r.src.Swap = true;
    r.src.CRow = 2;
    r.src.Cols.OffsetBackground = 0x111111;
    r.Make(Colour());
    auto row = r.Row(0, 63);
    EXPECT_EQ(row.Text.left(9), QStringLiteral("00000000 "));  // no colon in colour layout
    EXPECT_EQ(row.Text.mid(9, 8), QStringLiteral("00102030"));
    const TWQHPrintColors c = r.src.Cols;
    EXPECT_EQ(row.Attributes[0], (TCellAttribute{c.CurrentOffsetBackground, c.CurrentOffset, false}));
    EXPECT_EQ(row.Attributes[8], (TCellAttribute{c.Background, c.FontColor, false}));
    row = r.Row(16, 63);
    EXPECT_EQ(row.Attributes[0], (TCellAttribute{0x111111, c.Offset, false}));
}

TEST(PrintDataRow, BlocksAndUnitsInsertSeparators)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Fill(64);
    r.src.BPR = 8;
    r.src.BPC = 8;
    r.src.Block = 2;
    r.src.Unit = 4;
    r.Make(Mono());
    const auto row = r.Row(0, 63);
    EXPECT_EQ(row.Text.mid(10), QStringLiteral("0001 0203 0405 0607  .. ..  .. .."));
}

TEST(PrintDataRow, UnicodeCharactersMaskAndEndianness)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Data = {0x41, 0x00, 0x05, 0x00, 0x3A, 0x4E, 0x42, 0x00};
    r.src.BPR = 8;
    r.src.BPC = 8;
    r.src.Unit = 2;
    r.src.Unicode = true;
    r.src.Changed = {3};
    r.Make(Mono());
    auto row = r.Row(0, 7);
    EXPECT_EQ(row.Text.mid(28), QString(QStringLiteral("A.")) + QChar(0x4E3A) + QStringLiteral("B"));
    EXPECT_EQ(row.Attributes[29].Fore, r.src.Cols.ChangedText);  // its second byte changed
    r.src.BigEndian = true;
    row = r.Row(0, 7);
    EXPECT_EQ(row.Text.mid(28, 1), QString(QChar(0x4100)));
}

TEST(PrintFaults, UnicodeOddSizeLastByteGetsAZeroPartner)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Data = {0x41, 0x00, 0x42};
    r.src.BPR = 4;
    r.src.BPC = 4;
    r.src.Unit = 2;
    r.src.Unicode = true;
    r.Make(Mono());
    const auto row = r.Row(0, 2);
    EXPECT_EQ(row.Text.right(2), QStringLiteral("AB"));
}

TEST(PrintFaults, DataShrunkDuringThePumpPrintsBlanks)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Fill(32);
    r.Make(Mono());
    fakes.system.onPump = [&] { r.src.Data.resize(20); };
    const auto row = r.Row(16, 31);  // GetDataAt past the end would throw
    EXPECT_EQ(row.Text.mid(10, 35), QStringLiteral("10111213") + QString(27, QLatin1Char(' ')));
    EXPECT_EQ(row.Text.mid(47), QStringLiteral("....            "));
}

TEST(PrintRulerRow, PrefixMarksAndGaps)
{
    testsupport::ScopedPlatformFakes fakes;
    Rig r;
    r.src.Fill(64);
    r.src.BPR = 4;
    r.src.BPC = 2;
    r.src.RulerHex = QStringLiteral("00112233");
    r.src.RulerChars = QStringLiteral("0123");
    r.src.CCol = 3;  // second hex digit column
    r.src.Cols.OffsetBackground = 0x121212;
    r.Make(Mono());
    TTextWithAttr row;
    r.printer->BuildRulerRow(8, row);
    ASSERT_EQ(row.Text.size(), qsizetype(row.Attributes.size()));
    EXPECT_EQ(row.Text, QStringLiteral("          0011 2233  0123"));
    const TWQHPrintColors c = r.src.Cols;
    EXPECT_EQ(row.Attributes[0], (TCellAttribute{0x121212, c.Offset, false}));
    EXPECT_EQ(row.Attributes[10], (TCellAttribute{c.Background, c.FontColor, false}));
    EXPECT_TRUE(row.Attributes[11].Bold);
    EXPECT_EQ(row.Attributes[14], (TCellAttribute{0x121212, c.Offset, false}));
    // The caret on the third character column.
    r.src.CCol = 2 * 4 + 2 + 3;
    r.Make(Colour());
    r.printer->BuildRulerRow(8, row);
    EXPECT_EQ(row.Text, QStringLiteral("         0011 2233  0123"));  // one prefix blank less in colour
    EXPECT_EQ(row.Attributes[22], (TCellAttribute{c.CurrentOffsetBackground, c.CurrentOffset, false}));
    EXPECT_EQ(row.Attributes[21], (TCellAttribute{0x121212, c.Offset, false}));
    r.printer->BuildRulerRow(0, row);
    EXPECT_EQ(row.Text, QStringLiteral("0011 2233  0123"));
}
