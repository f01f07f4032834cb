// End to end: a 1000-byte image in the real control, printed with a header
// through a QPrinter writing a PDF; poppler's tools read the file back.
#include "hexeditor/ex/wqhprinteditor.h"
#include "hexeditor/ex/wqhprinter.h"
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

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

} // namespace

TEST(PrintPdf, ThousandBytesWithAHeaderOnTwoPages)
{
    testsupport::ScopedPlatformFakes fakes;
    SetWQHScreenPixelsPerInch(96);
    TWQHexEditor ed;
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

    TWQHPrintOptions options;
    options.SetPageHeader(QStringLiteral("QV750 image|page %p of %P|%<"));
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(14);  // 66 rows do not fit one A4 page at 14 points
    TWQHEditorPrintSource source(ed);

    int pages = 0;
    {
        QPainter painter;
        ASSERT_TRUE(painter.begin(&qprinter));
        printer.SetPainter(&painter);
        WQHPrint(source, printer, font, options, 1, pages);
        ASSERT_EQ(pages, 2);
        qprinter.newPage();
        WQHPrint(source, printer, font, options, 2, pages);
        painter.end();
    }
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
