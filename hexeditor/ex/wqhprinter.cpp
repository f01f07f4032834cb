// Printer seam, recorded pages and the print operations over a print source.
#include "hexeditor/ex/wqhprinter.h"

#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/ex/wqhfont.h"
#include "hexeditor/ex/wqhprintrender.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace {
TWQHPrinter* gPrinter = nullptr;

const QString InvalidPageIndex = QString::fromLatin1(wqhstr::InvalidPageIndex);

// Leaves a wait cursor however the print ends.
struct WaitScope {
    TWQHPrintSource& s;
    explicit WaitScope(TWQHPrintSource& Source) : s(Source) { s.WaitCursor(); }
    ~WaitScope() { s.OldCursor(); }
};

QRect PaintRect(const QPrinter& p)
{
    return p.pageLayout().paintRectPixels(p.resolution());
}
} // namespace

int TWQHQtPrinter::PageWidth() const { return PaintRect(FPrinter).width(); }
int TWQHQtPrinter::PageHeight() const { return PaintRect(FPrinter).height(); }
int TWQHQtPrinter::DpiX() const { return FPrinter.resolution(); }
int TWQHQtPrinter::DpiY() const { return FPrinter.resolution(); }

TWQHPrinter& WQHPrinter()
{
    if (!gPrinter)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::NoPrinterInstalled));
    return *gPrinter;
}

void SetWQHPrinter(TWQHPrinter* Printer) { gPrinter = Printer; }

QFont WQHFontInWholePoints(const QFont& Font, int ScreenDpi)
{
    if (Font.pixelSize() <= 0 || ScreenDpi <= 0)
        return Font;
    // As the class library's font gives its size: pixels * 72 / dpi, to the
    // nearest point, halves away from zero.
    QFont f = Font;
    f.setPointSize(std::max(1, WQHMulDiv(Font.pixelSize(), 72, ScreenDpi)));
    return f;
}

TWQHMetafile::TWQHMetafile(int Width, int Height, int ReferenceDpi, const QFont& Font)
    : FWidth(Width), FHeight(Height), FReferenceDpi(ReferenceDpi), FCanvas(Font)
{
}

void TWQHMetafile::Play(QPainter& Painter, const TRect& Dest) const
{
    if (FWidth < 1 || FHeight < 1)
        return;
    Painter.save();
    Painter.translate(Dest.Left, Dest.Top);
    Painter.scale(double(Dest.Width()) / FWidth, double(Dest.Height()) / FHeight);
    {
        auto target = CreateQtCanvas(Painter, FCanvas.Font());
        // The page measured its fonts on the screen: a point there must come
        // out as the same number of page units on the target device.
        const int deviceDpi = Painter.device() ? Painter.device()->logicalDpiY() : FReferenceDpi;
        const double ratio = double(FReferenceDpi) / (deviceDpi > 0 ? deviceDpi : FReferenceDpi);
        FCanvas.Replay(*target, [ratio](const QFont& f) {
            QFont mapped = f;
            if (f.pointSizeF() > 0)
                mapped.setPointSizeF(f.pointSizeF() * ratio);
            return mapped;
        });
    }
    Painter.restore();
}

int WQHPrintToCanvas(TWQHPrintSource& Source, TWQHCanvas& ACanvas, int Page, const TRect& AMargins,
                     const TWQHPrintOptions& Options)
{
    if (Page < 0)
        throw EWQHexEditor(InvalidPageIndex);
    WaitScope wait(Source);
    TWQHPrintFlags flags = Options.Flags();
    if (Source.SelCount() == 0)
        flags = WQHWithoutPrintFlag(flags, pfSelectionOnly);
    TWQHCanvasPrinter printer(Source, ACanvas, flags, AMargins, Options.Headers());
    const std::int64_t pages = printer.Pages();
    if (Page > pages)
        throw EWQHexEditor(InvalidPageIndex);
    if (Page >= 1 && printer.RenderPage(false, Page) < 1)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::PrintingFailed));
    return int(std::min<std::int64_t>(pages, INT32_MAX));
}

TRect WQHPrinterMarginRect(TWQHPrinter& Printer, const TWQHPrintOptions& Options)
{
    return WQHMarginsToPixels(Options.Margins(), Printer.DpiX(), Printer.DpiY(), Printer.PageWidth(),
                              Printer.PageHeight());
}

std::unique_ptr<TWQHMetafile> WQHPrintPreview(TWQHPrintSource& Source, TWQHPrinter& Printer, const QFont& Font,
                                              const TWQHPrintOptions& Options, int Page, int& Pages)
{
    const int w = Printer.PageWidth();
    const int h = Printer.PageHeight();
    const int screenDpi = WQHScreenPixelsPerInch();
    auto page = std::make_unique<TWQHMetafile>(w, h, screenDpi, WQHFontInWholePoints(Font, screenDpi));
    TWQHRecordingCanvas& canvas = page->Canvas();
    // Nominal size on paper: the page's units are printer pixels.
    canvas.SetFontSize(int(WQHRoundHalfEven(double(canvas.FontSize()) * Printer.DpiY() / screenDpi)));
    canvas.BrushColor = 0xFFFFFF;
    canvas.FillRect(TRect{0, 0, w, h});
    Pages = WQHPrintToCanvas(Source, canvas, Page, WQHPrinterMarginRect(Printer, Options), Options);
    return page;
}

void WQHPrint(TWQHPrintSource& Source, TWQHPrinter& Printer, const QFont& Font, const TWQHPrintOptions& Options,
              int Page, int& Pages)
{
    if (Page < 1)
        throw EWQHexEditor(InvalidPageIndex);
    const auto page = WQHPrintPreview(Source, Printer, Font, Options, Page, Pages);
    QPainter* painter = Printer.Canvas();
    if (!painter)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::NoPrintJobOpen));
    page->Play(*painter, TRect{0, 0, Printer.PageWidth(), Printer.PageHeight()});
}
