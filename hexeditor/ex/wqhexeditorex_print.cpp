// Printing: the control's pages through the page renderer onto the printer
// the host installed (WQHPrinter) and whose job it runs.
#include "hexeditor/ex/wqhexeditorex.h"

#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/ex/wqhprinteditor.h"
#include "hexeditor/ex/wqhprinter.h"

struct WQHExPrint {
    static QFont PageFont(const TWQHexEditorEx& e)
    {
        return e.FUseEditorFontForPrinting ? e.font() : e.FPrintFont->ToQFont();
    }
};

std::unique_ptr<TWQHMetafile> TWQHexEditorEx::PrintPreview(int Page)
{
    TWQHEditorPrintSource source(*this);
    int pages = 0;
    auto page = WQHPrintPreview(source, WQHPrinter(), WQHExPrint::PageFont(*this), *FPrintOptions, Page, pages);
    FPrintPages = pages;
    return page;
}

void TWQHexEditorEx::Print(int Page)
{
    // The page is checked before the printer is asked for.
    if (Page < 1)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidPageIndex));
    TWQHEditorPrintSource source(*this);
    int pages = FPrintPages;
    WQHPrint(source, WQHPrinter(), WQHExPrint::PageFont(*this), *FPrintOptions, Page, pages);
    FPrintPages = pages;
}

int TWQHexEditorEx::PrintNumPages()
{
    PrintPreview(0);
    return FPrintPages;
}

void TWQHexEditorEx::SetPrintOptions(const TWQHPrintOptions& Value)
{
    FPrintOptions->Assign(&Value);
}

void TWQHexEditorEx::SetPrintFont(const TWQHFont& Value)
{
    *FPrintFont = WQHFontInSizeRange(Value);
    FUseEditorFontForPrinting = false;
}

int TWQHexEditorEx::PrintToCanvas(TWQHCanvas& ACanvas, int Page, const TRect& AMargins)
{
    TWQHEditorPrintSource source(*this);
    return WQHPrintToCanvas(source, ACanvas, Page, AMargins, *FPrintOptions);
}

TRect TWQHexEditorEx::PrinterMarginRect()
{
    return WQHPrinterMarginRect(WQHPrinter(), *FPrintOptions);
}
