#pragma once
// What the caret, selection and mouse files of the control share: the parking
// place of a hidden caret, clamping, and the cell tests of both.
#include "hexeditor/wqhexeditor.h"

#include <algorithm>
#include <cstdint>

namespace wqhcaret {

inline constexpr int ParkedCaret = -50;

inline int ClampInt(std::int64_t v, int lo, int hi)
{
    if (hi < lo)
        hi = lo;
    return static_cast<int>(std::clamp<std::int64_t>(v, lo, hi));
}

// A cell rectangle counts as not visible when its Left + Bottom is 0.
inline bool RectVisible(const TRect& R)
{
    return R.Left + R.Bottom != 0;
}

} // namespace wqhcaret

struct WQHCaret {
    static int FirstCharCol(const TCustomWQHexEditor& e) { return e.FBytesPerRowDup + 3; }
    static int GapCol(const TCustomWQHexEditor& e) { return e.FBytesPerRowDup + 2; }
    static bool IsDataCell(const TCustomWQHexEditor& e, int ACol, int ARow)
    {
        return ACol >= 2 && ARow >= 2 && ACol < e.ColCount() && ARow < e.RowCount();
    }

    // Only a focused control places its caret, and with it the field that the
    // painter shades as active; an unfocused one keeps the last placed field
    // until the focus comes back.
    static void PlaceCaret(TCustomWQHexEditor& e, int ACol, int ARow)
    {
        const TRect r = e.CellRect(ACol, ARow);
        if (wqhcaret::RectVisible(r))
            e.IntSetCaretPos(r.Left, r.Top, ACol);
        else
            e.IntSetCaretPos(wqhcaret::ParkedCaret, wqhcaret::ParkedCaret, -1);
    }

    // Clears the selection in insert mode when the drag is back at its start;
    // the drag itself goes on from the new begin position.
    static void RestartInsertDrag(TCustomWQHexEditor& e, int p)
    {
        const bool had = e.FSelPosition != -1;
        e.ResetSelection(had);
        e.FSelBeginPosition = p;
        e.FIsSelecting = true;
    }

    static void SetTopRowClamped(TCustomWQHexEditor& e, std::int64_t Value)
    {
        const int v = wqhcaret::ClampInt(Value, e.FixedRows(), e.RowCount() - 1);
        if (v != e.TopRow())
            e.SetTopRow(v);
    }

    static void SetLeftColClamped(TCustomWQHexEditor& e, std::int64_t Value)
    {
        const int v = wqhcaret::ClampInt(Value, e.FixedCols(), e.ColCount() - 1);
        if (v != e.LeftCol())
            e.SetLeftCol(v);
    }
};
