// ReadSRecordFile / WriteSRecordFile through the shared reader harness.
#include "codec_fuzz_harness.h"
#include "imagefiles/srecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const codecfuzz::Codec codec{
        "srecord", ".s", &ReadSRecordFile, &WriteSRecordFile,
        {"File Read Operation Failed", "Illegal Line found", "Illegal Char in File", "File exceeds Maximum Size",
         "Checksum Error"},
        1};
    return codecfuzz::run(codec, data, size);
}
