// Raw bookmark records: any bytes either raise the bookmark format error or
// give ten slots that write back to bytes which read to the same slots.
#include "hexeditor/wqhkeys.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TWQHBookmarks marks;
    try {
        marks = BookmarksFromRaw(data, static_cast<int>(size));
    } catch (const EWQHexEditor&) {
        return 0;
    }
    for (const TWQHBookmark& b : marks)
        if (b.mPosition < -1)
            std::abort();
    const QByteArray raw = BookmarksToRaw(marks);
    if (raw.size() != WQH_BOOKMARKS_RAW_SIZE || BookmarksFromRaw(raw.constData(), int(raw.size())) != marks)
        std::abort();
    return 0;
}
