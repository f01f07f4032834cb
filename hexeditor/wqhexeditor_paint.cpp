// Painting of the hex editor control.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhexeditor.h"

void TCustomWQHexEditor::Paint() {}

void TCustomWQHexEditor::PaintTo(TWQHCanvas& Canvas)
{
    (void)Canvas;
}

void TCustomWQHexEditor::PaintCellRange(TWQHCanvas& Canvas, int ACol0, int ARow0, int XLimit, int YLimit, int Kind)
{
    (void)Canvas;
    (void)ACol0;
    (void)ARow0;
    (void)XLimit;
    (void)YLimit;
    (void)Kind;
}
