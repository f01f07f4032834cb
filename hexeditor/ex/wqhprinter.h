#pragma once
// The printer seam and the recorded page ("metafile") of the hex editor's
// print operations. The host owns the printer and its job; the control only
// reads its size and resolution and draws onto the painter the host holds.
#include "hexeditor/ex/wqhprintoptions.h"
#include "hexeditor/ex/wqhprintsource.h"
#include "hexeditor/wqhcanvas.h"

#include <QFont>
#include <memory>

class QPainter;
class QPrinter;

class TWQHPrinter {
public:
    virtual ~TWQHPrinter() = default;
    // The printable area in device pixels (HORZRES, VERTRES).
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    // Pixels per inch (LOGPIXELSX, LOGPIXELSY).
    virtual int DpiX() const = 0;
    virtual int DpiY() const = 0;
    // The painter of the job the host runs; nullptr when no job is open.
    virtual QPainter* Canvas() = 0;
};

// A QPrinter the host owns, with the painter of its running job.
class TWQHQtPrinter final : public TWQHPrinter {
public:
    explicit TWQHQtPrinter(QPrinter& Printer, QPainter* Painter = nullptr) : FPrinter(Printer), FPainter(Painter) {}
    void SetPainter(QPainter* Painter) { FPainter = Painter; }
    int PageWidth() const override;
    int PageHeight() const override;
    int DpiX() const override;
    int DpiY() const override;
    QPainter* Canvas() override { return FPainter; }

private:
    QPrinter& FPrinter;
    QPainter* FPainter;
};

// The printer print operations use; raises when none is installed.
TWQHPrinter& WQHPrinter();
// nullptr uninstalls.
void SetWQHPrinter(TWQHPrinter* Printer);
// A font sized in pixels as a font sized in whole points at the screen's
// resolution (15 pixels at 96 dpi: 11 points); a font in points as it is. The
// page's font is scaled and fitted in whole points from there.
QFont WQHFontInWholePoints(const QFont& Font, int ScreenDpi);

// One page recorded in page units (printer pixels), replayed scaled onto any
// painter. The page is the recording canvas's list of calls: it keeps every
// cell exactly as laid out, and tests read it back call by call.
class TWQHMetafile {
public:
    TWQHMetafile(int Width, int Height, int ReferenceDpi, const QFont& Font);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int ReferenceDpi() const { return FReferenceDpi; }
    TWQHRecordingCanvas& Canvas() { return FCanvas; }
    const TWQHRecordingCanvas& Canvas() const { return FCanvas; }
    // Draws the page stretched over Dest (device units of Painter).
    void Play(QPainter& Painter, const TRect& Dest) const;

private:
    int FWidth;
    int FHeight;
    int FReferenceDpi;
    TWQHRecordingCanvas FCanvas;
};

// Draws page Page (nothing for 0) into AMargins on ACanvas; returns the page
// count. Raises "Invalid page index" for a page below 0 or above the count,
// "Printing failed" when a page lays out no row.
int WQHPrintToCanvas(TWQHPrintSource& Source, TWQHCanvas& ACanvas, int Page, const TRect& AMargins,
                     const TWQHPrintOptions& Options);
// The printed area on the printer from the margins in millimetres.
TRect WQHPrinterMarginRect(TWQHPrinter& Printer, const TWQHPrintOptions& Options);
// Page Page drawn into a new page the size of the printer's printable area,
// with Font scaled so that it has its nominal size on paper. Pages is set to
// the page count (also for page 0, which draws no rows).
std::unique_ptr<TWQHMetafile> WQHPrintPreview(TWQHPrintSource& Source, TWQHPrinter& Printer, const QFont& Font,
                                              const TWQHPrintOptions& Options, int Page, int& Pages);
// Page Page stretched over the printer's printable area, on its job's painter.
void WQHPrint(TWQHPrintSource& Source, TWQHPrinter& Printer, const QFont& Font, const TWQHPrintOptions& Options,
              int Page, int& Pages);
