// ReadIntelHexFile / WriteIntelHexFile through the shared reader harness.
#include "codec_fuzz_harness.h"
#include "imagefiles/intelhex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const codecfuzz::Codec codec{
        "intelhex", ".hex", &ReadIntelHexFile, &WriteIntelHexFile,
        {"File Read Operation Failed", "Error reading File", "Illegal Line found", "Illegal Char in File",
         "Invalid Record type", "File exceeds Maximum Size", "Checksum Error type 0", "Invalid EOF Record",
         "Invalid Record Length for type 2", "Checksum Error type 2", "Invalid Record Length for type 4",
         "Checksum Error type 4"},
        // A file that ends early shows two boxes.
        2};
    return codecfuzz::run(codec, data, size);
}
