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
    static bool IsDataCell(const TCustomWQHexEditor& e, int ACol, int ARow)
    {
        return ACol >= 2 && ARow >= 2 && ACol < e.ColCount() && ARow < e.RowCount();
    }

    // The caret file's own helpers that reach into the control; defined there.
    struct Own;
};
