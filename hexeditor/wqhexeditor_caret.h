#pragma once
// What the caret, selection and mouse files of the control share: clamping
// and the cell tests.
#include "hexeditor/wqhexeditor.h"

#include <algorithm>
#include <cstdint>

namespace wqhcaret {

inline int ClampInt(std::int64_t v, int lo, int hi)
{
    if (hi < lo)
        hi = lo;
    return static_cast<int>(std::clamp<std::int64_t>(v, lo, hi));
}

} // namespace wqhcaret

struct WQHCaret {
    static int FirstCharCol(const TCustomWQHexEditor& e) { return e.FBytesPerRowDup + 3; }
    // The column between the hex and the character field.
    static int GapCol(const TCustomWQHexEditor& e) { return FirstCharCol(e) - 1; }
    static bool IsDataCell(const TCustomWQHexEditor& e, int ACol, int ARow)
    {
        return ACol >= 2 && ARow >= 2 && ACol < e.ColCount() && ARow < e.RowCount();
    }

    // A data position at a cell of the data rows: a byte, or in insert mode
    // the append position (its first digit or its character).
    static bool HoldsData(const TCustomWQHexEditor& e, int ACol, int aPos)
    {
        const int size = e.GetDataSize();
        return aPos < size || (e.FInsertModeOn && aPos == size && (e.GetIsCharFieldCol(ACol) || ACol % 2 == 0));
    }
    // The cell can be the caret's: a data position, and not the gap column.
    static bool TakesCaret(const TCustomWQHexEditor& e, int ACol, int ARow)
    {
        return IsDataCell(e, ACol, ARow) && ACol != GapCol(e) &&
               HoldsData(e, ACol, e.GetPositionAtCursor(ACol, ARow));
    }

    // The caret file's own helpers that reach into the control; defined there.
    struct Own;
};
