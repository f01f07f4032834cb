#pragma once
// The data of a control as a byte vector: loaded through LoadFromStream and
// read back whole, for the tests of edits and their undo.
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"

#include <cstdint>
#include <vector>

namespace editortest {

using Bytes = std::vector<std::uint8_t>;

inline void Load(TCustomWQHexEditor& ed, const Bytes& b)
{
    platform::TMemoryStream m;
    if (!b.empty())
        m.Write(b.data(), std::int64_t(b.size()));
    ed.LoadFromStream(m);
}

inline Bytes DataOf(const TCustomWQHexEditor& ed)
{
    Bytes b(ed.DataSize() > 0 ? size_t(ed.DataSize()) : 0);
    if (!b.empty())
        ed.ReadBuffer(b.data(), 0, int(b.size()));
    return b;
}

} // namespace editortest
