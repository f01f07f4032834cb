// The grid's geometry: extents of rows and columns, which cells fit, where a
// cell lies and which cell lies under a point.
#include "hexeditor/wqhgrid.h"

#include <algorithm>
#include <limits>

namespace {

int ClampInt(std::int64_t Value)
{
    return static_cast<int>(std::clamp<std::int64_t>(Value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

int TWQHGrid::RowExtent(int ARow) const
{
    if (ARow == 0 && FRowHeight0 >= 0)
        return FRowHeight0;
    if (ARow == 1 && FRowHeight1 >= 0)
        return FRowHeight1;
    return FDefaultRowHeight;
}

std::int64_t TWQHGrid::RowsExtent(int AFrom, int ATo) const
{
    AFrom = std::max(0, AFrom);
    ATo = std::min(ATo, FRowCount);
    if (ATo <= AFrom)
        return 0;
    std::int64_t total = std::int64_t(ATo - AFrom) * FDefaultRowHeight;
    for (int i = 0; i < 2; ++i)
        if (AFrom <= i && i < ATo)
            total += RowExtent(i) - FDefaultRowHeight;
    return total;
}

std::int64_t TWQHGrid::ColsExtent(int AFrom, int ATo) const
{
    AFrom = std::max(0, AFrom);
    ATo = std::min(ATo, FColCount);
    std::int64_t total = 0;
    for (int i = AFrom; i < ATo; ++i)
        total += FColWidths[static_cast<std::size_t>(i)];
    return total;
}

int TWQHGrid::RowsFitFrom(int AStart, std::int64_t Avail) const
{
    int n = 0;
    int i = AStart;
    // Rows 0 and 1 have their own heights; every later row is uniform.
    for (; i < 2 && i < FRowCount; ++i) {
        const int h = RowExtent(i);
        if (h > Avail)
            return n;
        Avail -= h;
        ++n;
    }
    if (i >= FRowCount)
        return n;
    const std::int64_t rest = FRowCount - i;
    if (FDefaultRowHeight <= 0)
        return ClampInt(n + rest);
    return ClampInt(n + std::min<std::int64_t>(rest, std::max<std::int64_t>(0, Avail) / FDefaultRowHeight));
}

int TWQHGrid::ColsFitFrom(int AStart, std::int64_t Avail) const
{
    int n = 0;
    for (int i = AStart; i < FColCount; ++i) {
        const int w = FColWidths[static_cast<std::size_t>(i)];
        if (w > Avail)
            break;
        Avail -= w;
        ++n;
    }
    return n;
}

int TWQHGrid::RowsFitBefore(int AEnd, std::int64_t Avail) const
{
    int n = 0;
    int i = AEnd - 1;
    const int low = FFixedRows;
    // The uniform rows first (those at 2 and above).
    const int uniformLow = std::max(low, 2);
    if (i >= uniformLow) {
        const std::int64_t count = std::int64_t(i) - uniformLow + 1;
        std::int64_t fit = count;
        if (FDefaultRowHeight > 0)
            fit = std::min<std::int64_t>(count, std::max<std::int64_t>(0, Avail) / FDefaultRowHeight);
        n = ClampInt(fit);
        Avail -= fit * FDefaultRowHeight;
        if (fit < count)
            return n;
        i = uniformLow - 1;
    }
    for (; i >= low; --i) {
        const int h = RowExtent(i);
        if (h > Avail)
            break;
        Avail -= h;
        ++n;
    }
    return n;
}

int TWQHGrid::ColsFitBefore(int AEnd, std::int64_t Avail) const
{
    int n = 0;
    for (int i = AEnd - 1; i >= FFixedCols; --i) {
        const int w = FColWidths[static_cast<std::size_t>(i)];
        if (w > Avail)
            break;
        Avail -= w;
        ++n;
    }
    return n;
}

int TWQHGrid::RowAtOffset(int AStart, int ALimit, std::int64_t AOffset) const
{
    if (AOffset < 0)
        return -1;
    int i = AStart;
    for (; i < 2 && i < ALimit; ++i) {
        const int h = RowExtent(i);
        if (AOffset < h)
            return i;
        AOffset -= h;
    }
    if (i >= ALimit || FDefaultRowHeight <= 0)
        return -1;
    const std::int64_t row = i + AOffset / FDefaultRowHeight;
    return row < ALimit ? static_cast<int>(row) : -1;
}

int TWQHGrid::ColAtOffset(int AStart, int ALimit, std::int64_t AOffset) const
{
    if (AOffset < 0)
        return -1;
    for (int i = AStart; i < ALimit; ++i) {
        const int w = FColWidths[static_cast<std::size_t>(i)];
        if (AOffset < w)
            return i;
        AOffset -= w;
    }
    return -1;
}

int TWQHGrid::ClientWidth() const
{
    return viewport()->width();
}

int TWQHGrid::ClientHeight() const
{
    return viewport()->height();
}

std::int64_t TWQHGrid::ColOffset(int ACol) const
{
    if (ACol < 0 || ACol >= FColCount)
        return -1;
    if (ACol < FFixedCols)
        return ColsExtent(0, ACol);
    if (ACol < FLeftCol)
        return -1;
    return FixedWidth() + ColsExtent(FLeftCol, ACol);
}

std::int64_t TWQHGrid::RowOffset(int ARow) const
{
    if (ARow < 0 || ARow >= FRowCount)
        return -1;
    if (ARow < FFixedRows)
        return RowsExtent(0, ARow);
    if (ARow < FTopRow)
        return -1;
    return FixedHeight() + RowsExtent(FTopRow, ARow);
}

int TWQHGrid::ColLeft(int ACol) const
{
    const std::int64_t x = ColOffset(ACol);
    return x >= 0 && x < ClientWidth() ? static_cast<int>(x) : -1;
}

int TWQHGrid::RowTop(int ARow) const
{
    const std::int64_t y = RowOffset(ARow);
    return y >= 0 && y < ClientHeight() ? static_cast<int>(y) : -1;
}

TRect TWQHGrid::CellRect(int ACol, int ARow) const
{
    const int left = ColLeft(ACol);
    const int top = RowTop(ARow);
    if (left < 0 || top < 0)
        return {};
    TRect r;
    r.Left = left;
    r.Top = top;
    r.Right = std::min(left + ColWidths(ACol), ClientWidth());
    r.Bottom = std::min(top + RowExtent(ARow), ClientHeight());
    return r;
}

TGridCoord TWQHGrid::MouseCoord(int X, int Y) const
{
    TGridCoord c{0, 0};
    const int fixedW = FixedWidth();
    const int fixedH = FixedHeight();
    if (X >= 0)
        c.X = X < fixedW ? ColAtOffset(0, FFixedCols, X) : ColAtOffset(FLeftCol, FColCount, X - std::int64_t(fixedW));
    if (Y >= 0)
        c.Y = Y < fixedH ? RowAtOffset(0, FFixedRows, Y) : RowAtOffset(FTopRow, FRowCount, Y - std::int64_t(fixedH));
    return c;
}

TRect TWQHGrid::CellBounds(int ACol, int ARow) const
{
    const std::int64_t left = ColOffset(ACol);
    const std::int64_t top = RowOffset(ARow);
    if (left < 0 || top < 0)
        return {};
    TRect r;
    r.Left = ClampInt(left);
    r.Top = ClampInt(top);
    r.Right = ClampInt(left + ColWidths(ACol));
    r.Bottom = ClampInt(top + RowExtent(ARow));
    return r;
}

void TWQHGrid::CalcDrawInfo(TGridDrawInfo& DrawInfo) const
{
    auto& h = DrawInfo.Horz;
    h.FixedBoundary = FixedWidth();
    h.GridExtent = ClientWidth();
    h.FixedCellCount = FFixedCols;
    h.FirstGridCell = FLeftCol;
    h.GridCellCount = FColCount;
    const int visCols = VisibleColCount();
    h.LastFullVisibleCell = FLeftCol + visCols - 1;
    h.FullVisBoundary = ClampInt(h.FixedBoundary + ColsExtent(FLeftCol, FLeftCol + visCols));
    const int partCol = FLeftCol + visCols < FColCount && h.FullVisBoundary < h.GridExtent ? 1 : 0;
    h.GridBoundary = std::min<std::int64_t>(h.GridExtent,
                                            h.FixedBoundary + ColsExtent(FLeftCol, FLeftCol + visCols + partCol));

    auto& v = DrawInfo.Vert;
    v.FixedBoundary = FixedHeight();
    v.GridExtent = ClientHeight();
    v.FixedCellCount = FFixedRows;
    v.FirstGridCell = FTopRow;
    v.GridCellCount = FRowCount;
    const int visRows = VisibleRowCount();
    v.LastFullVisibleCell = FTopRow + visRows - 1;
    v.FullVisBoundary = ClampInt(v.FixedBoundary + RowsExtent(FTopRow, FTopRow + visRows));
    const int partRow = FTopRow + visRows < FRowCount && v.FullVisBoundary < v.GridExtent ? 1 : 0;
    v.GridBoundary = ClampInt(std::min<std::int64_t>(
        v.GridExtent, v.FixedBoundary + RowsExtent(FTopRow, FTopRow + visRows + partRow)));
}

bool TWQHGrid::UseRightToLeftAlignment() const
{
    return layoutDirection() == Qt::RightToLeft;
}

QPoint TWQHGrid::ClientPoint(const QPointF& Pos) const
{
    const QPoint p = Pos.toPoint();
    return QPoint(GridX(p.x()), p.y());
}
