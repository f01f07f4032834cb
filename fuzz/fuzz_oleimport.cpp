// Any block in any accepted format converts to bytes that come from inside
// the block (or to nothing), and dropped-file lists never read past their end.
#include "hexeditor/ex/wqholeimport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const TWQHClipFormats ids{0xC000, 0xC001, 0xC002, 0xC003, 0xC004, 0xC005, 0xC006, 0xC007};
    static const wqhimport::TClipFormats formats = wqhimport::GetMyOLEFormats(ids, true);
    const TClipFormat cf = formats[data[0] % formats.size()];
    const bool swap = data[1] & 1;
    // Copy into a block of exactly the given size so ASan sees every overread.
    const std::size_t n = size - 2;
    auto* block = static_cast<std::uint8_t*>(std::malloc(n ? n : 1));
    std::copy(data + 2, data + size, block);
    if (const auto out = wqhimport::ConvertOLEData(ids, cf, block, static_cast<std::int64_t>(n), swap))
        if (out->size() > n + 14)
            std::abort();
    (void)wqhimport::ReadDropFiles(block, static_cast<std::int64_t>(n));
    (void)wqhimport::DecodeHexText(std::vector<std::uint8_t>(block, block + n), swap);
    std::free(block);
    return 0;
}
