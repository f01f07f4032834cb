// The default paint: every visible cell handed to DrawCell.
#include "hexeditor/wqhgrid.h"

#include "hexeditor/wqhcanvas.h"
#include "platform/exceptions.h"

#include <QPaintEvent>

void TWQHGrid::Paint()
{
    const bool focused = Focused();
    // Visible cells only: a cell that starts past the client edge, or was
    // scrolled away, has no left or top edge.
    const auto walk = [&](int ARow0, int ARow1, int ACol0, int ACol1) {
        for (int r = ARow0; r < ARow1 && RowTop(r) >= 0; ++r)
            for (int c = ACol0; c < ACol1 && ColLeft(c) >= 0; ++c) {
                if (ColWidths(c) == 0)
                    continue;
                TGridDrawState state = 0;
                if (c < FFixedCols || r < FFixedRows)
                    state = gdFixed;
                else if (c == FCol && r == FRow)
                    state = focused ? gdSelected | gdFocused : gdSelected;
                DrawCell(c, r, CellRect(c, r), state);
            }
    };
    walk(0, FFixedRows, 0, FFixedCols);
    walk(0, FFixedRows, FLeftCol, FColCount);
    walk(FTopRow, FRowCount, 0, FFixedCols);
    walk(FTopRow, FRowCount, FLeftCol, FColCount);
}

void TWQHGrid::DrawCell(int, int, const TRect&, TGridDrawState) {}

void TWQHGrid::ChangeGridOrientation(TWQHCanvas& Canvas, bool RightToLeft) const
{
    Canvas.SetMirrorWidth(RightToLeft ? ClientWidth() : 0);
}

void TWQHGrid::paintEvent(QPaintEvent*)
{
    platform::Guarded([&] { Paint(); });
}
