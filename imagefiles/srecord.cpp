#include "imagefiles/srecord.h"

#include "imagefiles/codec_internal.h"
#include "platform/streams.h"

#include <algorithm>

using namespace imagefiles_detail;

namespace {

// Whether the line holds the start of another record ('S' and a type digit)
// after the checksum of a record whose count is `count`.
bool GluedRecord(std::string_view line, std::uint32_t count)
{
    for (std::size_t i = 4 + 2 * std::size_t(count); i + 1 < line.size(); ++i)
        if (line[i] == 'S' && line[i + 1] >= '0' && line[i + 1] <= '9')
            return true;
    return false;
}

// The count of a record the reader skips, when it is there to be had; no box.
bool SkippedCount(std::string_view line, std::uint32_t& count)
{
    std::uint8_t byte = 0;
    if (line.size() < 4 || !ParseByte(PairValues(), line.data() + 2, byte))
        return false;
    count = byte;
    return true;
}

Outcome ReadRecord(std::string_view line, bool overlong, unsigned char* buffer, std::uint64_t maxSize,
                   std::uint64_t& result)
{
    if (overlong || line.empty() || line[0] != 'S')
        return Fail("Illegal Line found");
    const char kind = line.size() > 1 ? line[1] : '\0';
    if (kind == '7' || kind == '8' || kind == '9')
        return Outcome::Done;
    // Text after a checksum is ignored, but a record glued behind this one (a
    // bare CR between them, or two on one line) must not vanish with it.
    if (kind != '1' && kind != '2' && kind != '3') {
        std::uint32_t count = 0;
        if (kind >= '0' && kind <= '9' && SkippedCount(line, count) && GluedRecord(line, count))
            return Fail("Illegal Line found");
        return Outcome::Continue;
    }
    const int addressBytes = kind - '0' + 1;
    std::uint32_t count = 0, address = 0;
    if (!ParseHexField(FieldAt(line, 2), 2, count) || !ParseHexField(FieldAt(line, 4), 2 * addressBytes, address))
        return Outcome::Failed;
    std::uint32_t sum = count;
    for (int i = 0; i < addressBytes; ++i)
        sum += (address >> (8 * i)) & 0xFF;
    // The count covers address, data and checksum; less than that is no record.
    if (count < std::uint32_t(addressBytes) + 1)
        return Fail("Illegal Line found");
    const std::uint32_t n = count - std::uint32_t(addressBytes) - 1;
    result = std::max(result, std::uint64_t(address) + n);
    if (result > maxSize)
        return Fail("File exceeds Maximum Size");
    if (!ReadRecordBody(line, 4 + 2 * std::size_t(addressBytes), buffer + address, n, sum))
        return Outcome::Failed;
    if ((sum & 0xFF) != 0xFF)
        return Fail("Checksum Error");
    if (GluedRecord(line, count))
        return Fail("Illegal Line found");
    return Outcome::Continue;
}

char* FormatRecords(const unsigned char* data, std::uint64_t start, std::uint64_t end, int addressBytes, char* p)
{
    const char kind = static_cast<char>('0' + addressBytes - 1);
    for (std::uint64_t a = start; a < end; a += 16) {
        const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - a, 16));
        const unsigned char* bytes = data + a;
        if (AllFF(bytes, n))
            continue;
        const std::uint32_t address = static_cast<std::uint32_t>(a);
        const std::uint32_t count = std::uint32_t(addressBytes) + n + 1;
        *p++ = 'S';
        *p++ = kind;
        p = PutByte(p, static_cast<std::uint8_t>(count));
        std::uint32_t sum = count;
        for (int i = addressBytes - 1; i >= 0; --i) {
            const std::uint8_t b = static_cast<std::uint8_t>(address >> (8 * i));
            p = PutByte(p, b);
            sum += b;
        }
        p = PutData(p, bytes, n, sum);
        p = EndRecord(p, static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
    }
    return p;
}

} // namespace

int ReadSRecordFile(platform::TFileStream** slot, const QString& fileName, unsigned char* buffer, int maxSize)
{
    const std::uint64_t limit = (buffer && maxSize > 0) ? std::uint64_t(maxSize) : 0;
    std::uint64_t result = 0;
    return ReadRecordFile(
        slot, fileName, SRecordLineLimit, {"File Read Operation Failed"},
        [&](std::string_view line, bool overlong) { return ReadRecord(line, overlong, buffer, limit, result); },
        [&] { return result; });
}

bool WriteSRecordFile(platform::TFileStream** slot, const QString& fileName, const unsigned char* data,
                      std::int64_t length)
{
    const int addressBytes = length <= 0xFFFF ? 2 : length <= 0xFFFFFF ? 3 : 4;
    return WriteRecordFile(
        slot, fileName, data, length, "S00600004844521B\r\n", 4,
        [=](std::uint64_t start, std::uint64_t end, char* p) {
            return FormatRecords(data, start, end, addressBytes, p);
        },
        addressBytes == 2 ? "S9030000FC\r\n" : addressBytes == 3 ? "S804000000FB\r\n" : "S70500000000FA\r\n");
}
