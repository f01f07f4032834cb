// Printed pages: page count, page ranges, header and footer, colours and
// highlight, the font fit, the page errors and the recorded page.
#include "ex_support.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhprinter.h"
#include "hexeditor/ex/wqhprintrender.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor_ex/print_fake_source.h"
#include "hexeditor_ex/print_test_util.h"
#include "support/fakes.h"

#include <QImage>
#include <QPainter>
#include <climits>
#include <gtest/gtest.h>

namespace {

using Call = TWQHRecordingCanvas::TCall;
const TRect Area{0, 0, 1000, 1200};  // 60 rows of 20 at the test metrics

TWQHPrintOptions Options(TWQHPrintFlags f, QString header = {}, QString footer = {})
{
    TWQHPrintOptions o;
    o.SetFlags(f);
    o.SetPageHeader(header);
    o.SetPageFooter(footer);
    return o;
}

std::vector<QString> Offsets(const TWQHRecordingCanvas& c)
{
    std::vector<QString> out;
    for (const QString& row : PrintedRows(c))
        out.push_back(row.left(row.indexOf(QLatin1Char(':'))));
    return out;
}

std::vector<Call> Of(const TWQHRecordingCanvas& c, TWQHRecordingCanvas::TOp op)
{
    std::vector<Call> out;
    for (const auto& call : c.Calls)
        if (call.Op == op)
            out.push_back(call);
    return out;
}

QString Message(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EWQHexEditor& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

struct Page {
    testsupport::ScopedPlatformFakes fakes;
    FakePrintSource src;
    std::unique_ptr<TWQHRecordingCanvas> canvas = FixedCanvas();
    int Print(int page, const TWQHPrintOptions& o, TRect area = Area)
    {
        canvas->Calls.clear();
        return WQHPrintToCanvas(src, *canvas, page, area, o);
    }
};

const TWQHPrintFlags Mono = WQHPrintFlagSet({pfSelectionBold, pfMonochrome});

} // namespace

TEST(PrintPages, ThousandBytesOnTwoPagesLastRowHalfBlank)
{
    Page p;
    p.src.Fill(1000);
    EXPECT_EQ(p.Print(0, Options(Mono)), 2);
    EXPECT_TRUE(PrintedRows(*p.canvas).empty());  // page 0 only counts
    EXPECT_EQ(p.Print(1, Options(Mono)), 2);
    const auto first = Offsets(*p.canvas);
    ASSERT_EQ(first.size(), 60u);
    EXPECT_EQ(first.back(), "000003B0");
    p.Print(2, Options(Mono));
    EXPECT_EQ(Offsets(*p.canvas), (std::vector<QString>{"000003C0", "000003D0", "000003E0"}));
    const auto rows = CellsByRow(*p.canvas);
    EXPECT_EQ(rows.begin()->first, 0);
    EXPECT_EQ(rows.rbegin()->first, 40);
    EXPECT_EQ(RowText(rows.rbegin()->second).mid(10, 35), QStringLiteral("E0E1E2E3 E4E5E6E7") + QString(18, QLatin1Char(' ')));
    // Every cell is one "w" wide, side by side from the left margin.
    const auto& cells = rows.begin()->second;
    for (std::size_t i = 0; i < cells.size(); ++i)
        ASSERT_EQ(cells[i].Rect, (TRect{int(i) * 10, 0, int(i) * 10 + 10, 20})) << i;
    EXPECT_EQ(Message([&] { p.Print(3, Options(Mono)); }), "Invalid page index");
    EXPECT_EQ(p.src.Waits, p.src.Olds);
}

TEST(PrintPages, SelectionOnlyRanges)
{
    Page p;
    p.src.Fill(1000);
    const auto sel = Options(WQHPrintFlagSet({pfSelectionOnly, pfMonochrome}));
    p.src.SStart = 40;
    p.src.SEnd = 5;
    EXPECT_EQ(p.Print(1, sel), 1);
    EXPECT_EQ(Offsets(*p.canvas), (std::vector<QString>{"00000005", "00000015", "00000025"}));
    EXPECT_EQ(PrintedRows(*p.canvas).back().mid(10, 35), QStringLiteral("25262728") + QString(27, QLatin1Char(' ')));
    p.src.SStart = p.src.SEnd = 77;
    EXPECT_EQ(p.Print(1, sel), 1);
    EXPECT_EQ(Offsets(*p.canvas), (std::vector<QString>{"0000004D"}));
    // Nothing selected: the whole data.
    p.src.SStart = p.src.SEnd = -1;
    EXPECT_EQ(p.Print(2, sel), 2);
    EXPECT_EQ(Offsets(*p.canvas).front(), "000003C0");
}

TEST(PrintPages, CurrentViewOnlyAndNoData)
{
    Page p;
    p.src.Fill(1000);
    p.src.DStart = 32;
    p.src.DEnd = 95;
    EXPECT_EQ(p.Print(1, Options(WQHPrintFlagSet({pfCurrentViewOnly}))), 1);
    EXPECT_EQ(Offsets(*p.canvas), (std::vector<QString>{"00000020", "00000030", "00000040", "00000050"}));

    p.src.Data.clear();
    EXPECT_EQ(p.Print(0, Options(Mono)), 0);
    EXPECT_EQ(p.Print(0, Options(WQHPrintFlagSet({pfCurrentViewOnly}))), 0);
    EXPECT_EQ(Message([&] { p.Print(1, Options(Mono)); }), "Invalid page index");
    EXPECT_EQ(Message([&] { p.Print(-1, Options(Mono)); }), "Invalid page index");
}

TEST(PrintPages, HeaderAndFooterLines)
{
    Page p;
    p.src.Fill(5000);
    p.Print(2, Options(Mono, QStringLiteral("%f|%p/%P|right"), QStringLiteral("foot")));
    const auto outs = Of(*p.canvas, TWQHRecordingCanvas::opTextOut);
    ASSERT_EQ(outs.size(), 4u);
    // Right, centre, left, then the footer; all transparent, clipped to one line.
    EXPECT_EQ(outs[0].Text, "right");
    EXPECT_EQ(outs[0].Align, taRightAlign);
    EXPECT_EQ(outs[0].X, 1000);
    EXPECT_EQ(outs[1].Text, "2/6");
    EXPECT_EQ(outs[1].Align, taCenterAlign);
    EXPECT_EQ(outs[1].X, 500);
    EXPECT_EQ(outs[2].Text, "image.bin");
    EXPECT_EQ(outs[2].Align, taLeftAlign);
    EXPECT_EQ(outs[3].Text, "foot");
    EXPECT_EQ(outs[3].Y, 1180);
    EXPECT_EQ(outs[3].Rect, (TRect{0, 1180, 1000, 1200}));
    for (const auto& o : outs)
        EXPECT_TRUE(o.Transparent);
    EXPECT_EQ(p.canvas->TextAlign, taLeftAlign);  // put back
    EXPECT_FALSE(p.canvas->TransparentText);
    const auto lines = Of(*p.canvas, TWQHRecordingCanvas::opLine);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Rect, (TRect{0, 20, 1000, 20}));
    EXPECT_EQ(lines[1].Rect, (TRect{0, 1180, 1000, 1180}));
    // Two header lines and the footer line leave 57 rows: 5000 bytes make 313 rows, 6 pages.
    const auto rows = CellsByRow(*p.canvas);
    EXPECT_EQ(rows.size(), 57u);
    EXPECT_EQ(rows.begin()->first, 40);
    EXPECT_EQ(Offsets(*p.canvas).front(), "00000390");  // 57 * 16
    // A template that expands to nothing takes no space.
    p.src.File.clear();
    p.Print(1, Options(Mono, QStringLiteral("%f")));
    EXPECT_EQ(CellsByRow(*p.canvas).begin()->first, 0);
    EXPECT_TRUE(Of(*p.canvas, TWQHRecordingCanvas::opTextOut).empty());
}

TEST(PrintPages, MonochromeBlackOnWhiteWithBoldHighlight)
{
    Page p;
    p.src.Fill(64);
    p.src.SStart = 17;
    p.src.SEnd = 17;
    p.src.CRow = 3;
    p.Print(1, Options(Mono));
    const auto fills = Of(*p.canvas, TWQHRecordingCanvas::opFillRect);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].Rect, Area);
    EXPECT_EQ(fills[0].Brush, 0xFFFFFF);
    const auto rows = CellsByRow(*p.canvas);
    for (const auto& [y, cells] : rows)
        for (const auto& c : cells) {
            ASSERT_EQ(c.Font, 0);
            ASSERT_EQ(c.Background, 0xFFFFFF);
        }
    const auto& second = std::next(rows.begin())->second;
    EXPECT_TRUE(second[0].Bold);    // the caret row's offset
    EXPECT_TRUE(second[12].Bold);   // byte 17
    EXPECT_FALSE(second[14].Bold);
    EXPECT_TRUE(second[48].Bold);
    EXPECT_FALSE(rows.begin()->second[0].Bold);
    EXPECT_FALSE(p.canvas->FontBold());  // the font is put back
    // With the selection printed alone nothing is highlighted.
    p.Print(1, Options(WQHPrintFlagSet({pfSelectionBold, pfMonochrome, pfSelectionOnly})));
    const auto printed = CellsByRow(*p.canvas);
    for (const auto& c : printed.begin()->second)
        ASSERT_FALSE(c.Bold);
}

TEST(PrintPages, ColourModeInvertsSelectedCells)
{
    Page p;
    p.src.Fill(64);
    p.src.SStart = 1;
    p.src.SEnd = 1;
    p.src.CRow = 2;
    p.src.Cols.OddColumn = 0x123456;
    p.src.Cols.Background = 0x00F0F0;
    p.src.Cols.ActiveFieldBackground = 0x0F0F00;
    p.Print(1, Options(WQHPrintFlagSet({pfSelectionBold, pfUseBackgroundColor})));
    EXPECT_EQ(Of(*p.canvas, TWQHRecordingCanvas::opFillRect)[0].Brush, 0x00F0F0);
    const auto rows = CellsByRow(*p.canvas);
    const auto& cells = rows.begin()->second;
    // Offset of the caret's row: its own colours, not inverted, not bold.
    EXPECT_EQ(cells[0].Font, p.src.Cols.CurrentOffset);
    EXPECT_EQ(cells[0].Background, p.src.Cols.CurrentOffsetBackground);
    EXPECT_FALSE(cells[0].Bold);
    EXPECT_EQ(cells[9].Font, 0x123456);
    EXPECT_EQ(cells[9].Background, 0x0F0F00);
    EXPECT_EQ(cells[11].Font, 0x123456 ^ 0xFFFFFF);  // byte 1
    EXPECT_EQ(cells[11].Background, 0x0F0F00 ^ 0xFFFFFF);
    EXPECT_FALSE(cells[11].Bold);
    EXPECT_EQ(cells[47].Font, ColorToRGB(clWindowText) ^ 0xFFFFFF);  // its character, a system colour resolved
    EXPECT_EQ(cells[46].Font, clWindowText);
    EXPECT_EQ(CellsByRow(*p.canvas).size(), 4u);
}

TEST(PrintPages, WhiteTextPrintsBlackUnlessASystemColour)
{
    Page p;
    p.src.Fill(16);
    p.src.Cols.OddColumn = 0xFFFFFF;
    p.src.Cols.FontColor = clBtnHighlight;
    p.Print(1, Options(WQHPrintFlagSet({})));
    const auto rows = CellsByRow(*p.canvas);
    const auto& cells = rows.begin()->second;
    EXPECT_EQ(cells[10].Font, 0);
    EXPECT_EQ(cells[10].Background, 0xFFFFFF);  // plain layout: white paper
    EXPECT_EQ(cells[50].Font, clBtnHighlight);
}

TEST(PrintPages, RulerOnlyWhenTheControlShowsIt)
{
    Page p;
    p.src.Fill(64);
    p.src.RulerHex = QString(32, QLatin1Char('0'));
    p.src.RulerChars = QString(16, QLatin1Char('1'));
    const auto o = Options(WQHPrintFlagSet({pfIncludeRuler, pfMonochrome}));
    p.Print(1, o);
    EXPECT_EQ(CellsByRow(*p.canvas).size(), 4u);
    EXPECT_TRUE(Of(*p.canvas, TWQHRecordingCanvas::opLine).empty());
    p.src.Ruler = true;
    p.Print(1, o);
    const auto rows = CellsByRow(*p.canvas);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.begin()->first, 0);
    EXPECT_EQ(std::next(rows.begin())->first, 30);  // a line and a half in plain layout
    EXPECT_EQ(rows.begin()->second[0].Rect.Bottom, 30);
    const auto lines = Of(*p.canvas, TWQHRecordingCanvas::opLine);
    ASSERT_EQ(lines.size(), rows.begin()->second.size());  // every ruler cell underlined
    EXPECT_EQ(lines[0].Rect, (TRect{0, 21, 11, 21}));
    p.Print(1, Options(WQHPrintFlagSet({pfIncludeRuler, pfUseBackgroundColor})));
    EXPECT_EQ(std::next(CellsByRow(*p.canvas).begin())->first, 20);
    EXPECT_TRUE(Of(*p.canvas, TWQHRecordingCanvas::opLine).empty());
}

TEST(PrintPages, FontShrinksByWholePointsNotBelowOne)
{
    Page p;
    p.src.Fill(64);
    p.Print(1, Options(Mono), TRect{0, 0, 600, 1200});  // 63 cells: 9 points fit
    const auto printed = CellsByRow(*p.canvas);
    for (const auto& c : printed.begin()->second)
        ASSERT_EQ(c.FontSize, 9);
    EXPECT_EQ(p.canvas->FontSize(), 10);  // put back
    p.Print(1, Options(Mono), TRect{0, 0, 20, 1200});
    const auto rows = CellsByRow(*p.canvas);
    EXPECT_EQ(rows.begin()->second[0].FontSize, 1);
    EXPECT_EQ(rows.size(), 4u);
}

TEST(PrintFaults, NoRowFitsRaisesInsteadOfDividing)
{
    Page p;
    p.src.Fill(64);
    const QString m = Message([&] { p.Print(0, Options(Mono), TRect{0, 0, 1000, 19}); });
    EXPECT_EQ(m, "The print margins leave no room for a row");
    EXPECT_EQ(p.src.Waits, p.src.Olds);
    // Without data there is nothing to fit: no pages, no error.
    p.src.Data.clear();
    EXPECT_EQ(p.Print(0, Options(Mono), TRect{0, 0, 1000, 19}), 0);
}

TEST(PrintFaults, ProportionalFontNeverRunsPastTheRightMargin)
{
    Page p;
    p.src.Fill(64);
    // "w" is twice as wide as anything else: the row's own characters would fit.
    p.canvas->CharWidthOf = [](QChar ch, int size, bool) { return ch == QLatin1Char('w') ? size : size / 2; };
    p.Print(1, Options(Mono), TRect{0, 0, 600, 1200});
    for (const auto& [y, cells] : CellsByRow(*p.canvas))
        ASSERT_LE(cells.back().Rect.Right, 600);
}

TEST(PrintFaults, HugePageIndexIsInvalid)
{
    Page p;
    p.src.Fill(1000);
    EXPECT_EQ(Message([&] { p.Print(INT_MAX, Options(Mono)); }), "Invalid page index");
    TWQHCanvasPrinter printer(p.src, *p.canvas, Mono, Area, {});
    EXPECT_EQ(printer.RenderPage(false, INT64_MAX / 2), -1);
    EXPECT_EQ(printer.RenderPage(false, 3), -1);
    EXPECT_EQ(printer.RenderPage(false, 2), 3);
}

TEST(PrintFaults, EveryRowOnceWhateverTheFirstRowOfAPage)
{
    Page p;
    p.src.Fill(3000);
    // Rows of the second page have a much longer offset text than the rest.
    p.src.OffsetText = [](std::uint32_t pos) {
        const QString hex = QStringLiteral("%1").arg(pos, 8, 16, QLatin1Char('0')).toUpper();
        return pos >= 960 && pos < 1920 ? QString(52, QLatin1Char('x')) + hex : hex;
    };
    const auto o = Options(Mono);
    const int pages = p.Print(0, o);
    EXPECT_EQ(pages, 4);
    std::vector<int> starts;
    for (int page = 1; page <= pages; ++page) {
        p.Print(page, o);
        for (const QString& off : Offsets(*p.canvas))
            starts.push_back(off.right(8).toInt(nullptr, 16));
    }
    ASSERT_EQ(starts.size(), 188u);
    for (std::size_t i = 0; i < starts.size(); ++i)
        ASSERT_EQ(starts[i], int(i) * 16);
}

TEST(PrintFaults, EditsDuringThePrintAreReadAsTheyStand)
{
    Page p;
    p.src.Fill(1000);
    int pumps = 0;
    p.fakes.system.onPump = [&] {
        if (++pumps == 3)
            p.src.Data.resize(40);  // the user deleted most of the data
    };
    p.Print(1, Options(Mono));
    const auto rows = PrintedRows(*p.canvas);
    ASSERT_EQ(rows.size(), 60u);
    EXPECT_EQ(rows[2].mid(10, 35), QStringLiteral("20212223 24252627") + QString(18, QLatin1Char(' ')));
    EXPECT_EQ(rows[3].mid(10, 35), QString(35, QLatin1Char(' ')));
    EXPECT_GE(pumps, 60);  // one pump per row
}

// ---- recorded page and printer -------------------------------------------------

namespace {
class FakePrinter : public TWQHPrinter {
public:
    int W = 2400, H = 3300, Dpi = 300;
    QImage Image{2400, 3300, QImage::Format_RGB32};
    QPainter* Painter = nullptr;
    int PageWidth() const override { return W; }
    int PageHeight() const override { return H; }
    int DpiX() const override { return Dpi; }
    int DpiY() const override { return Dpi; }
    QPainter* Canvas() override { return Painter; }
};
} // namespace

TEST(PrintPreview, WhitePageScaledFontAndPrinterMargins)
{
    testsupport::ScopedPlatformFakes fakes;
    ScopedScreenDpi dpi(96);
    FakePrintSource src;
    FakePrinter printer;
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(10);
    int pages = -1;
    auto page = WQHPrintPreview(src, printer, font, Options(Mono), 0, pages);
    EXPECT_EQ(pages, 0);
    ASSERT_EQ(page->Canvas().Calls.size(), 1u);
    EXPECT_EQ(page->Canvas().Calls[0].Rect, (TRect{0, 0, 2400, 3300}));
    EXPECT_EQ(page->Canvas().Calls[0].Brush, 0xFFFFFF);
    EXPECT_EQ(page->Canvas().FontSize(), 31);  // 10 * 300 / 96, nearest
    EXPECT_EQ(WQHPrinterMarginRect(printer, Options(Mono)), (TRect{236, 177, 2400 - 295, 3300 - 295}));

    src.Fill(1000);
    page = WQHPrintPreview(src, printer, font, Options(Mono), 1, pages);
    EXPECT_GE(pages, 1);
    const auto rows = CellsByRow(page->Canvas());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.begin()->first, 177);
    EXPECT_EQ(rows.begin()->second[0].Rect.Left, 236);
    EXPECT_EQ(Message([&] { WQHPrint(src, printer, font, Options(Mono), 0, pages); }), "Invalid page index");
}

TEST(PrintPreview, PixelFontIsPrintedInWholePoints)
{
    QFont pixels(QStringLiteral("Courier New"));
    pixels.setPixelSize(15);
    EXPECT_EQ(WQHFontInWholePoints(pixels, 96).pointSize(), 11);  // 11.25
    EXPECT_EQ(WQHFontInWholePoints(pixels, 96).pixelSize(), -1);
    pixels.setPixelSize(14);
    EXPECT_EQ(WQHFontInWholePoints(pixels, 96).pointSize(), 11);  // 10.5, half away from zero
    pixels.setPixelSize(1);
    EXPECT_EQ(WQHFontInWholePoints(pixels, 96).pointSize(), 1);   // 0.75
    pixels.setPixelSize(20);
    EXPECT_EQ(WQHFontInWholePoints(pixels, 120).pointSize(), 12);
    QFont points(QStringLiteral("Courier New"));
    points.setPointSize(10);
    EXPECT_EQ(WQHFontInWholePoints(points, 96), points);

    testsupport::ScopedPlatformFakes fakes;
    ScopedScreenDpi dpi(96);
    FakePrintSource src;
    src.Fill(64);
    FakePrinter printer;
    pixels.setPixelSize(15);
    int pages = 0;
    auto page = WQHPrintPreview(src, printer, pixels, Options(Mono), 0, pages);
    EXPECT_EQ(page->Canvas().Font().pixelSize(), -1);
    EXPECT_EQ(page->Canvas().FontSize(), 34);  // 11 points * 300 / 96, not 15 pixels * 300 / 96
    // A row too wide for the area shrinks the font point by point.
    TWQHPrintOptions wide = Options(Mono);
    wide.SetMarginRight(130);
    page = WQHPrintPreview(src, printer, pixels, wide, 1, pages);
    const auto rows = CellsByRow(page->Canvas());
    ASSERT_FALSE(rows.empty());
    const QFont fitted = rows.begin()->second[0].TextFont;
    EXPECT_EQ(fitted.pixelSize(), -1);
    EXPECT_GT(fitted.pointSize(), 1);
    EXPECT_LT(fitted.pointSize(), 34);
    for (const auto& row : rows)
        for (const auto& cell : row.second)
            ASSERT_EQ(cell.TextFont.pointSize(), fitted.pointSize());
}

TEST(PrintPreview, PrintFontInPointsFollowsTheScreensResolution)
{
    testsupport::ScopedPlatformFakes fakes;
    FakePrinter printer;  // 300 dpi
    SetWQHPrinter(&printer);
    // Points become pixels and pixels points again at the screen's resolution,
    // so an 11-point font prints at 11 points on any screen.
    const struct {
        int screen, height, pageFont;
    } cases[] = {{96, -15, 34}, {120, -18, 28}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        ScopedScreenDpi dpi(c.screen);
        TWQHexEditorEx ed;
        ed.SetPropertiesAsString(QStringLiteral("PrintFont.Size=11\r\nUseEditorFontForPrinting=False\r\n"));
        EXPECT_EQ(ed.PrintFont().Height, c.height);
        EXPECT_EQ(ed.PrintFont().ToQFont().pixelSize(), -c.height);
        EXPECT_EQ(ed.PrintPreview(0)->Canvas().FontSize(), c.pageFont);  // 11 * 300 / screen
        EXPECT_TRUE(ed.PropertiesAsString().contains(QLatin1String("\r\nPrintFont.Size=11\r\n")));
    }
    SetWQHPrinter(nullptr);
}

TEST(PrintPreview, PrintStretchesThePageOntoTheJobsPainter)
{
    testsupport::ScopedPlatformFakes fakes;
    ScopedScreenDpi dpi(96);
    FakePrintSource src;
    src.Fill(1000);
    FakePrinter printer;
    printer.Image.fill(Qt::gray);
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(10);
    int pages = 0;
    EXPECT_EQ(Message([&] { WQHPrint(src, printer, font, Options(Mono), 1, pages); }),
              "No print job is open on the printer");
    QPainter painter(&printer.Image);
    printer.Painter = &painter;
    WQHPrint(src, printer, font, Options(Mono), 1, pages);
    painter.end();
    // White paper over the whole page, dark text inside the margins only.
    EXPECT_EQ(printer.Image.pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(printer.Image.pixel(2395, 3295), qRgb(255, 255, 255));
    int dark = 0, outside = 0;
    for (int y = 0; y < 3300; y += 3)
        for (int x = 0; x < 2400; x += 3)
            if (qGray(printer.Image.pixel(x, y)) < 128) {
                ++dark;
                if (x < 236 || y < 177 || x >= 2400 - 295 || y >= 3300 - 295)
                    ++outside;
            }
    EXPECT_GT(dark, 1000);
    EXPECT_EQ(outside, 0);
}
