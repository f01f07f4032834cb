// End to end: a 1000-byte image in the real control, printed with a header
// through a QPrinter writing a PDF; poppler's tools read the file back.
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhfont.h"
#include "hexeditor/ex/wqhprinter.h"
#include "hexeditor/wqhcanvas.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>

namespace {

QString RunTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("(%1 failed: %2)").arg(program, QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Cells are drawn one by one; the text tools may put blanks between them.
QString Squeezed(QString s)
{
    s.remove(QLatin1Char(' '));
    return s;
}

// The internal print operations, open to the tests.
struct PrintingEditor : TWQHexEditorEx {
    using TWQHexEditorEx::PrinterMarginRect;
    using TWQHexEditorEx::PrintToCanvas;
};

// A PDF printer that is never printed on, at 96 screen pixels per inch;
// installed by Install and gone with the object.
struct UnusedPdfPrinter {
    QPrinter qprinter{QPrinter::HighResolution};
    std::unique_ptr<TWQHQtPrinter> printer;
    UnusedPdfPrinter()
    {
        SetWQHScreenPixelsPerInch(96);
        qprinter.setOutputFormat(QPrinter::PdfFormat);
        qprinter.setOutputFileName(QStringLiteral(QV750_PRINT_PDF_DIR "/print_unused.pdf"));
        printer = std::make_unique<TWQHQtPrinter>(qprinter);
    }
    void Install() { SetWQHPrinter(printer.get()); }
    ~UnusedPdfPrinter()
    {
        SetWQHPrinter(nullptr);
        SetWQHScreenPixelsPerInch(0);
    }
};

} // namespace

TEST(PrintPdf, ThousandBytesWithAHeaderOnTwoPages)
{
    testsupport::ScopedPlatformFakes fakes;
    SetWQHScreenPixelsPerInch(96);
    TWQHexEditorEx ed;
    ed.resize(600, 400);
    platform::TMemoryStream data;
    data.SetSize(1000);
    for (int i = 0; i < 1000; ++i)
        data.Memory()[i] = char(i);
    data.Seek(0, platform::SeekOrigin::Begin);
    ed.LoadFromStream(data);
    ASSERT_EQ(ed.DataSize(), 1000);

    const QString path = QStringLiteral(QV750_PRINT_PDF_DIR "/print_sample.pdf");
    QFile::remove(path);
    QPrinter qprinter(QPrinter::HighResolution);
    qprinter.setOutputFormat(QPrinter::PdfFormat);
    qprinter.setOutputFileName(path);
    qprinter.setPageSize(QPageSize(QPageSize::A4));
    TWQHQtPrinter printer(qprinter);

    ed.PrintOptions().SetPageHeader(QStringLiteral("QV750 image|page %p of %P|%<"));
    TWQHFont font;
    font.Name = QStringLiteral("DejaVu Sans Mono");
    font.SetSize(14);  // 63 rows do not fit one A4 page at 14 points
    ed.SetPrintFont(font);

    SetWQHPrinter(&printer);
    {
        QPainter painter;
        ASSERT_TRUE(painter.begin(&qprinter));
        printer.SetPainter(&painter);
        ASSERT_EQ(ed.PrintNumPages(), 2);
        ed.Print(1);
        qprinter.newPage();
        ed.Print(2);
        painter.end();
    }
    SetWQHPrinter(nullptr);
    SetWQHScreenPixelsPerInch(0);

    EXPECT_TRUE(RunTool(QStringLiteral("pdfinfo"), {path}).contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))));
    const QString p1 = Squeezed(RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("1"),
                                                                    QStringLiteral("-l"), QStringLiteral("1"), path,
                                                                    QStringLiteral("-")}));
    const QString p2 = Squeezed(RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("2"),
                                                                    QStringLiteral("-l"), QStringLiteral("2"), path,
                                                                    QStringLiteral("-")}));
    EXPECT_TRUE(p1.contains(QStringLiteral("QV750image"))) << p1.left(400).toStdString();
    EXPECT_TRUE(p1.contains(QStringLiteral("page1of2"))) << p1.left(400).toStdString();
    EXPECT_TRUE(p1.contains(QStringLiteral("WIN")));
    // The rows carry the control's own offset texts.
    const QString first = Squeezed(ed.GetOffsetString(0)) + QStringLiteral(":00010203");
    const QString last = Squeezed(ed.GetOffsetString(992)) + QStringLiteral(":E0E1E2E3E4E5E6E7");
    EXPECT_TRUE(p1.contains(first)) << first.toStdString();
    EXPECT_FALSE(p1.contains(last));
    EXPECT_TRUE(p2.contains(QStringLiteral("page2of2"))) << p2.left(400).toStdString();
    EXPECT_TRUE(p2.contains(last)) << p2.toStdString();
    EXPECT_FALSE(p2.contains(first));
}

TEST(PrintControl, CountsPreviewsAndRefusesBadPages)
{
    testsupport::ScopedPlatformFakes fakes;
    UnusedPdfPrinter pdf;
    TWQHQtPrinter& printer = *pdf.printer;
    PrintingEditor ed;
    const auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const EWQHexEditor& e) {
            return e.Message();
        }
        return QStringLiteral("(no error)");
    };
    // The page is checked before the printer is asked for.
    EXPECT_EQ(message([&] { ed.Print(0); }), QStringLiteral("Invalid page index"));
    EXPECT_EQ(message([&] { ed.Print(-1); }), QStringLiteral("Invalid page index"));
    EXPECT_EQ(message([&] { ed.Print(1); }), QStringLiteral("No printer is installed"));
    EXPECT_EQ(message([&] { ed.PrintNumPages(); }), QStringLiteral("No printer is installed"));
    pdf.Install();
    EXPECT_EQ(ed.PrintNumPages(), 0);  // no data
    EXPECT_THROW(ed.Print(1), EWQHexEditor);
    EXPECT_THROW(ed.Print(0), EWQHexEditor);
    auto page = ed.PrintPreview(0);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Width(), printer.PageWidth());
    // A 1200 dpi A4 page, 20 and 25 mm off the sides of its printable area.
    const TRect r = ed.PrinterMarginRect();
    EXPECT_EQ(r.Left, 945);
    EXPECT_EQ(r.Right, printer.PageWidth() - 1181);

    platform::TMemoryStream data;
    data.SetSize(4000);
    data.Seek(0, platform::SeekOrigin::Begin);
    ed.LoadFromStream(data);
    const int pages = ed.PrintNumPages();
    EXPECT_GE(pages, 1);
    page = ed.PrintPreview(pages);
    EXPECT_FALSE(page->Canvas().Calls.empty());
    try {
        ed.PrintPreview(pages + 1);
        ADD_FAILURE() << "a page past the count printed";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), "Invalid page index");
    }
    EXPECT_EQ(ed.cursor().shape(), Qt::ArrowCursor);  // the hourglass went again
}

TEST(PrintControl, CharactersPaintAndPrintInTheFontColourOfThePropertyText)
{
    testsupport::ScopedPlatformFakes fakes;
    UnusedPdfPrinter pdf;
    pdf.Install();
    PrintingEditor ed;
    ed.resize(600, 300);
    ed.show();
    platform::TMemoryStream data;
    data.WriteBuffer("AAAAAAAAAAAAAAAA", 16);
    data.Seek(0, platform::SeekOrigin::Begin);
    ed.LoadFromStream(data);
    ed.PrintOptions().SetFlags(0);
    ed.SetPropertiesAsString(QStringLiteral("Font.Color=255\r\n"));
    EXPECT_EQ(ed.FontColor(), 255);
    EXPECT_TRUE(ed.PropertiesAsString().contains(QLatin1String("\r\nFont.Color=255\r\n")));

    // Counts the character cells ('A') and digit cells ('4') drawn in red.
    const auto count = [](const TWQHRecordingCanvas& c, const QString& text, int& all, int& red) {
        all = red = 0;
        for (const auto& k : c.Calls)
            if ((k.Op == TWQHRecordingCanvas::opTextRect || k.Op == TWQHRecordingCanvas::opTextOut) && k.Text == text) {
                ++all;
                red += k.Font == 255;
            }
    };
    int all = 0, red = 0;
    TWQHRecordingCanvas screen(ed.font());
    ed.PaintTo(screen);
    count(screen, QStringLiteral("A"), all, red);
    EXPECT_EQ(all, 16);
    EXPECT_EQ(red, 16);
    count(screen, QStringLiteral("4"), all, red);
    EXPECT_GT(all, 0);
    EXPECT_EQ(red, 0) << "the digits keep their column colours";

    const auto page = ed.PrintPreview(1);
    ASSERT_TRUE(page);
    count(page->Canvas(), QStringLiteral("A"), all, red);
    EXPECT_EQ(all, 16);
    EXPECT_EQ(red, 16);
    // Printing with its own font still takes the control's font colour.
    TWQHFont own = ed.PrintFont();
    own.Color = clGreen;
    ed.SetPrintFont(own);
    count(ed.PrintPreview(1)->Canvas(), QStringLiteral("A"), all, red);
    EXPECT_EQ(red, 16);
}
