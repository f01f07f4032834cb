#pragma once
// The page renderer: lays out and draws one printed page of hex rows onto a
// canvas and counts the pages. Plain logic over a print source and a canvas.
#include "hexeditor/ex/wqhprintoptions.h"
#include "hexeditor/ex/wqhprintsource.h"
#include "hexeditor/wqhtypes.h"

#include <QString>
#include <cstdint>
#include <vector>

class TWQHCanvas;

struct TCellAttribute {
    TColor Back = 0;
    TColor Fore = 0;
    bool Bold = false;
    bool operator==(const TCellAttribute&) const = default;
};
using TCellAttributes = std::vector<TCellAttribute>;

// One printed row: one character per cell and one attribute per character.
struct TTextWithAttr {
    QString Text;
    TCellAttributes Attributes;
};

// x to the nearest integer, halves to the even neighbour.
std::int64_t WQHRoundHalfEven(double x);
// The printed area in device pixels: margins in millimetres from the edges
// of a printable area W x H at the given resolution.
TRect WQHMarginsToPixels(const TWQHPrintMargins& Margins, int DpiX, int DpiY, int W, int H);

struct TWQHHeaderParts {
    QString Left;
    QString Centre;
    QString Right;
};
// Split at the first two "|": left | centre | right (further "|" stay right).
TWQHHeaderParts WQHSplitHeaderText(const QString& Text);

class TWQHCanvasPrinter {
public:
    // Measures the page and counts the pages; raises when not one row fits.
    TWQHCanvasPrinter(TWQHPrintSource& AEditor, TWQHCanvas& ACanvas, TWQHPrintFlags AFlags, const TRect& AMargins,
                      const TWQHPrintHeaders& AHeaders);

    void Draw(std::int64_t Page) { RenderPage(false, Page); }
    // Rows laid out, or -1 when there is nothing to lay out.
    std::int64_t RenderPage(bool Measuring, std::int64_t Page);
    std::int64_t CalcPageCount();
    QString ExpandHeaderText(const QString& Template, std::int64_t Page) const;
    void DrawHeaderLine(int Left, int Top, int Right, const QString& Text);
    void BuildDataRow(std::int64_t Pos, std::int64_t Last, int OffsetWidth, TTextWithAttr& Row);
    void BuildRulerRow(int OffsetWidth, TTextWithAttr& Row);

    std::int64_t Pages() const { return FPages; }
    std::int64_t LinesPerPage() const { return FLinesPerPage; }
    const TWQHPrintHeaders& PrintHeaders() const { return FPrintHeaders; }
    // Font size and line height the page count was measured with.
    int FitFontSize() const { return FFitSize; }

private:
    bool ColourMode() const;
    void DrawRow(const TTextWithAttr& Row, int Y, bool Ruler);

    TRect FMargins;
    TWQHPrintHeaders FHeaders;
    TWQHPrintHeaders FPrintHeaders;
    std::int64_t FLinesPerPage = 0;
    TWQHPrintFlags FFlags;
    std::int64_t FPages = 0;
    TWQHPrintSource& FEditor;
    TWQHCanvas& FCanvas;
    int FFitSize = 0;
    int FCellWidth = 0;
    int FLineHeight = 0;
};
