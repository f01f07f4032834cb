#include "imagefiles/intelhex.h"

#include "imagefiles/codec_internal.h"
#include "platform/streams.h"

#include <algorithm>

using namespace imagefiles_detail;

namespace {

// Whether the line holds the start of another record from `from` on.
bool GluedRecord(std::string_view line, std::size_t from)
{
    return line.find(':', from) != std::string_view::npos;
}

class IntelHexReader {
public:
    IntelHexReader(unsigned char* buffer, std::uint64_t maxSize) : buffer_(buffer), maxSize_(maxSize) {}

    Outcome Line(std::string_view line, bool overlong);
    std::uint64_t Result() const { return result_; }

private:
    Outcome Record(std::string_view line, std::uint32_t count, std::uint32_t address, std::uint32_t type,
                   std::uint32_t sum);
    Outcome DataRecord(std::string_view line, std::uint32_t count, std::uint32_t address, std::uint32_t sum);
    Outcome BaseRecord(std::string_view line, std::uint32_t count, std::uint32_t sum, int type);

    unsigned char* buffer_;
    std::uint64_t maxSize_;
    std::uint64_t segmentBase_ = 0;
    std::uint64_t linearBase_ = 0;
    std::uint64_t result_ = 0;
};

Outcome IntelHexReader::Line(std::string_view line, bool overlong)
{
    // A line that does not fit the line buffer cannot be a record we wrote or
    // could take whole; refuse it rather than guess where it continues.
    if (overlong || line.empty() || line[0] != ':')
        return Fail("Illegal Line found");
    std::uint32_t count = 0, address = 0, type = 0;
    const std::uint16_t* pairs = PairValues();
    std::uint8_t c, hi, lo, t;
    if (line.size() >= 9 && ParseByte(pairs, line.data() + 1, c) && ParseByte(pairs, line.data() + 3, hi)
        && ParseByte(pairs, line.data() + 5, lo) && ParseByte(pairs, line.data() + 7, t)) {
        count = c;
        address = (std::uint32_t(hi) << 8) | lo;
        type = t;
    } else if (!ParseHexField(FieldAt(line, 1), 2, count) || !ParseHexField(FieldAt(line, 3), 4, address)
               || !ParseHexField(FieldAt(line, 7), 2, type)) {
        return Outcome::Failed; // the slow path names the first bad field's fault
    }
    const std::uint32_t sum = count + (address >> 8) + (address & 0xFF) + type;
    if (type > 5)
        return Fail("Invalid Record type");
    const Outcome outcome = Record(line, count, address, type, sum);
    // Text after the checksum is ignored, but a ':' there is a record glued
    // behind this one (a bare CR between them, or two on one line): taking
    // the line as read would drop that record without a word.
    if (outcome != Outcome::Failed && GluedRecord(line, 11 + 2 * std::size_t(count)))
        return Fail("Illegal Line found");
    return outcome;
}

Outcome IntelHexReader::Record(std::string_view line, std::uint32_t count, std::uint32_t address, std::uint32_t type,
                               std::uint32_t sum)
{
    switch (type) {
    case 0: return DataRecord(line, count, address, sum);
    case 1: {
        std::uint32_t checksum = 0;
        if (!ParseHexField(FieldAt(line, 9), 2, checksum))
            return Outcome::Failed;
        if (count != 0 || address != 0 || checksum != 0xFF)
            return Fail("Invalid EOF Record");
        return Outcome::Done;
    }
    case 2:
    case 4: return BaseRecord(line, count, sum, static_cast<int>(type));
    default: return Outcome::Continue; // start addresses mean nothing for an image
    }
}

Outcome IntelHexReader::DataRecord(std::string_view line, std::uint32_t count, std::uint32_t address,
                                   std::uint32_t sum)
{
    const std::uint64_t start = linearBase_ + segmentBase_ + address;
    result_ = std::max(result_, start + count);
    if (result_ > maxSize_)
        return Fail("File exceeds Maximum Size");
    if (!ReadRecordBody(line, 9, buffer_ + start, count, sum))
        return Outcome::Failed;
    if ((sum & 0xFF) != 0)
        return Fail("Checksum Error type 0");
    return Outcome::Continue;
}

Outcome IntelHexReader::BaseRecord(std::string_view line, std::uint32_t count, std::uint32_t sum, int type)
{
    if (count != 2)
        return Fail(type == 2 ? "Invalid Record Length for type 2" : "Invalid Record Length for type 4");
    std::uint32_t value = 0, checksum = 0;
    if (!ParseHexField(FieldAt(line, 9), 4, value) || !ParseHexField(FieldAt(line, 13), 2, checksum))
        return Outcome::Failed;
    sum += (value >> 8) + (value & 0xFF) + checksum;
    if ((sum & 0xFF) != 0)
        return Fail(type == 2 ? "Checksum Error type 2" : "Checksum Error type 4");
    if (type == 2)
        segmentBase_ = std::uint64_t(value) << 4;
    else
        linearBase_ = std::uint64_t(value) << 16;
    return Outcome::Continue;
}

// The lines for data[start .. end); start is a multiple of 64 KiB, so the
// linear address record that the whole-image loop would write at start comes
// first (none for the first block).
char* FormatRecords(const unsigned char* data, std::uint64_t start, std::uint64_t end, char* p)
{
    std::uint64_t base = start >= 0x10000 ? start - 0x10000 : 0;
    for (std::uint64_t a = start; a < end; a += 32) {
        if (a - base > 0xFFFF) {
            base = a & ~std::uint64_t(0xFFFF);
            const std::uint32_t value = static_cast<std::uint32_t>(base >> 16);
            std::memcpy(p, ":02000004", 9);
            p = PutByte(p + 9, static_cast<std::uint8_t>(value >> 8));
            p = PutByte(p, static_cast<std::uint8_t>(value));
            const std::uint32_t sum = 2 + 4 + (value >> 8) + (value & 0xFF);
            p = EndRecord(p, static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
        }
        const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - a, 32));
        const unsigned char* bytes = data + a;
        if (AllFF(bytes, n))
            continue;
        const std::uint32_t offset = static_cast<std::uint32_t>(a - base);
        *p++ = ':';
        p = PutByte(p, static_cast<std::uint8_t>(n));
        p = PutByte(p, static_cast<std::uint8_t>(offset >> 8));
        p = PutByte(p, static_cast<std::uint8_t>(offset));
        *p++ = '0';
        *p++ = '0';
        std::uint32_t sum = n + (offset >> 8) + (offset & 0xFF);
        p = PutData(p, bytes, n, sum);
        p = EndRecord(p, static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    }
    return p;
}

} // namespace

int ReadIntelHexFile(platform::TFileStream** slot, const QString& fileName, unsigned char* buffer, int maxSize)
{
    const std::uint64_t limit = (buffer && maxSize > 0) ? std::uint64_t(maxSize) : 0;
    IntelHexReader reader(buffer, limit);
    return ReadRecordFile(
        slot, fileName, HexLineLimit, {"File Read Operation Failed", "Error reading File"},
        [&](std::string_view line, bool overlong) { return reader.Line(line, overlong); },
        [&] { return reader.Result(); });
}

bool WriteIntelHexFile(platform::TFileStream** slot, const QString& fileName, const unsigned char* data,
                       std::int64_t length)
{
    return WriteRecordFile(
        slot, fileName, data, length, "", 3,
        [data](std::uint64_t start, std::uint64_t end, char* p) { return FormatRecords(data, start, end, p); },
        ":00000001FF\r\n");
}
