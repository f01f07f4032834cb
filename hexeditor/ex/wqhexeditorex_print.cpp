// Printing.
#include "hexeditor/ex/wqhexeditorex.h"

// Temporary: no printing yet; no pages.
QPicture TWQHexEditorEx::PrintPreview(int)
{
    FPrintPages = 0;
    return QPicture();
}

void TWQHexEditorEx::Print(int) {}

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
    *FPrintFont = Value;
    FUseEditorFontForPrinting = false;
}

int TWQHexEditorEx::PrintToCanvas(TWQHCanvas&, int, const TRect&)
{
    return 0;
}

TRect TWQHexEditorEx::PrinterMarginRect()
{
    return TRect{};
}
