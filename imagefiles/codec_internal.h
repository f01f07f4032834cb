#pragma once
// Fast paths shared by the codecs; not part of the public interface.
#include "imagefiles/hexfield.h"
#include "platform/streams.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>

namespace platform {
class TStream;
}

namespace imagefiles_detail {

// 0..15 for a hexadecimal digit of either case, 0xFF for anything else.
constexpr std::array<std::uint8_t, 256> kDigitValue = [] {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t)
        v = 0xFF;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        t[c] = static_cast<std::uint8_t>(c - 'a' + 10);
    return t;
}();

// Two upper-case digits per byte value.
constexpr std::array<char, 512> kHexPair = [] {
    std::array<char, 512> t{};
    const char* digits = "0123456789ABCDEF";
    for (int i = 0; i < 256; ++i) {
        t[2 * i] = digits[i >> 4];
        t[2 * i + 1] = digits[i & 15];
    }
    return t;
}();

// Value of a two-character digit pair read as one 16-bit word, 0x100 and up
// when either character is not a digit: one lookup per data byte.
const std::uint16_t* PairValues();

// Byte from two digits at p; false when either is not a digit. The caller has
// made sure both characters lie inside the line.
inline bool ParseByte(const std::uint16_t* pairs, const char* p, std::uint8_t& out)
{
    std::uint16_t word;
    std::memcpy(&word, p, 2);
    const std::uint16_t v = pairs[word];
    out = static_cast<std::uint8_t>(v);
    return v < 0x100;
}

// Converts n digit pairs at p into out, adding each byte to sum, and stops at
// the first bad pair. Returns the number of bytes stored.
inline std::size_t ParseData(const std::uint16_t* pairs, const char* p, unsigned char* out, std::size_t n,
                             std::uint32_t& sum)
{
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4, p += 8) {
        std::uint16_t w[4];
        std::memcpy(w, p, 8);
        const std::uint16_t v0 = pairs[w[0]], v1 = pairs[w[1]], v2 = pairs[w[2]], v3 = pairs[w[3]];
        if ((v0 | v1 | v2 | v3) >= 0x100)
            break; // the byte-wise loop below finds the bad pair
        out[i] = static_cast<unsigned char>(v0);
        out[i + 1] = static_cast<unsigned char>(v1);
        out[i + 2] = static_cast<unsigned char>(v2);
        out[i + 3] = static_cast<unsigned char>(v3);
        sum += v0 + v1 + v2 + v3;
    }
    for (; i < n; ++i, p += 2) {
        std::uint8_t byte;
        if (!ParseByte(pairs, p, byte))
            break;
        out[i] = byte;
        sum += byte;
    }
    return i;
}

inline char* PutByte(char* p, std::uint8_t value)
{
    std::memcpy(p, &kHexPair[2 * value], 2);
    return p + 2;
}

// A record's checksum and the CR LF that ends its line.
inline char* EndRecord(char* p, std::uint8_t checksum)
{
    p = PutByte(p, checksum);
    std::memcpy(p, "\r\n", 2);
    return p + 2;
}

// The word tricks below take the lowest address as the low byte.
static_assert(std::endian::native == std::endian::little, "the codec fast paths assume a little-endian CPU");

// Eight data bytes (as loaded, lowest address in the low byte) to sixteen
// upper-case digits, eight digits per 64-bit word.
inline char* PutWord8(char* p, std::uint64_t word)
{
    for (int half = 0; half < 2; ++half) {
        std::uint64_t x = (word >> (32 * half)) & 0xFFFFFFFFull;
        // Spread the four bytes into 16-bit lanes.
        x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
        x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
        // High nibble into the lane's first character, low nibble into its second.
        const std::uint64_t n = ((x >> 4) & 0x000F000F000F000Full) | ((x & 0x000F000F000F000Full) << 8);
        const std::uint64_t letters = ((n + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull;
        const std::uint64_t text = n + 0x3030303030303030ull + letters * 7;
        std::memcpy(p, &text, 8);
        p += 8;
    }
    return p;
}

// Formats n (at most 255) bytes and adds them to sum.
inline char* PutData(char* p, const unsigned char* bytes, std::uint32_t n, std::uint32_t& sum)
{
    std::uint32_t i = 0;
    std::uint64_t lanes = 0; // four 16-bit partial sums; 255 bytes cannot overflow them
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        lanes += (word & 0x00FF00FF00FF00FFull) + ((word >> 8) & 0x00FF00FF00FF00FFull);
        p = PutWord8(p, word);
    }
    sum += static_cast<std::uint32_t>((lanes * 0x0001000100010001ull) >> 48);
    for (; i < n; ++i) {
        p = PutByte(p, bytes[i]);
        sum += bytes[i];
    }
    return p;
}

// The field at pos of a line, or an empty view when the line ends before it:
// ParseHexField then reports the field as running into the line end.
inline std::string_view FieldAt(std::string_view line, std::size_t pos)
{
    return pos < line.size() ? line.substr(pos) : std::string_view{};
}

// Stores the n data bytes of a record whose digits start at `first` and adds
// them and the checksum after them to sum. Only digit pairs inside the line
// are read: a bad pair, or a record cut short by its line end, shows "Illegal
// Char in File" and returns false with the bytes before it stored.
// Forced inline: it runs once a record, and as a call it slows S-record loading
// by a tenth.
[[gnu::always_inline]] inline bool ReadRecordBody(std::string_view line, std::size_t first, unsigned char* out,
                                                  std::uint32_t n, std::uint32_t& sum)
{
    const std::size_t room = line.size() > first ? (line.size() - first) / 2 : 0;
    const std::size_t whole = std::min<std::size_t>(n, room);
    if (ParseData(PairValues(), line.data() + first, out, whole, sum) < whole || whole < n) {
        ShowFileError(QStringLiteral("Illegal Char in File"));
        return false;
    }
    std::uint32_t checksum = 0;
    if (!ParseHexField(FieldAt(line, first + 2 * std::size_t(n)), 2, checksum))
        return false;
    sum += checksum;
    return true;
}

// Splits lines off a stream through a large buffer, with the same line rules
// as ReadHexFileLine / ReadSRecordFileLine, so a big image needs no per-line
// read or seek. The returned view stays valid until the next call.
class LineSource {
public:
    LineSource(platform::TStream& stream, int limit);
    // False when no byte is left, or when a read error cut the line off (no
    // box; the caller reports).
    bool Next(std::string_view& line, bool& overlong);

private:
    bool Fill(); // moves the unread tail to the front and reads more

    platform::TStream& stream_;
    int limit_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false; // the stream reported a read error
};

// Collects output and writes it to the stream in large blocks; remembers the
// first failed or short write.
constexpr std::size_t kWriteChunk = std::size_t(1) << 20;

class Output {
public:
    explicit Output(platform::TStream& stream);
    void Append(std::string_view text);
    // Writes what is pending; false when any write so far came up short.
    bool Flush();
    bool Ok() const { return ok_; }

private:
    platform::TStream& stream_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

inline bool AllFF(const unsigned char* p, std::size_t n)
{
    std::uint64_t all = ~std::uint64_t(0);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        all &= word;
    }
    for (; i < n; ++i)
        all &= 0xFFFFFFFFFFFFFF00ull | p[i];
    return all == ~std::uint64_t(0);
}

// Formats [0, length) block by block, several blocks at a time on worker
// threads, and hands each block's text to out in address order. `format`
// (start, end, text) writes the lines of one block at text and returns the end;
// it may need at most `textPerByte` * (end - start) + 64 bytes. Blocks start at
// multiples of kFormatBlock, a multiple of 64 KiB.
constexpr std::uint64_t kFormatBlock = 256 * 1024;
using BlockFormatter = std::function<char*(std::uint64_t start, std::uint64_t end, char* text)>;
void FormatBlocks(Output& out, std::uint64_t length, std::size_t textPerByte, const BlockFormatter& format);

// The writers' common frame. Without touching any file, refuses a negative
// length, one above 4 GiB (beyond 32-bit addresses) or null data with a
// positive length. Else creates fileName in the slot, writes head, the lines
// `format` makes for [0, length) and tail, and closes the file; false when a
// write or the close failed.
bool WriteRecordFile(platform::TFileStream** slot, const QString& fileName, const unsigned char* data,
                     std::int64_t length, std::string_view head, std::size_t textPerByte,
                     const BlockFormatter& format, std::string_view tail);

// Opens or creates the stream in the caller's slot and always frees it again.
class SlotGuard {
public:
    explicit SlotGuard(platform::TFileStream** slot) : slot_(slot ? slot : &local_) {}
    ~SlotGuard();
    SlotGuard(const SlotGuard&) = delete;
    SlotGuard& operator=(const SlotGuard&) = delete;
    platform::TFileStream*& get() { return *slot_; }
    // Closes and frees; false when the close reported an error.
    bool Close();

private:
    platform::TFileStream* local_ = nullptr;
    platform::TFileStream** slot_;
};

// What one record line did to the reading.
enum class Outcome { Continue, Done, Failed };

// Shows the reader's error box and ends the reading.
inline Outcome Fail(const char* text)
{
    ShowFileError(QString::fromLatin1(text));
    return Outcome::Failed;
}

// The readers' common frame: opens fileName into the slot, hands each line to
// onLine until it reports Done (the result is then result()) or Failed (0);
// a file that ends first shows endOfFile's boxes and gives 0.
template <class OnLine, class Result>
int ReadRecordFile(platform::TFileStream** slot, const QString& fileName, int lineLimit,
                   std::initializer_list<const char*> endOfFile, OnLine&& onLine, Result&& result)
{
    SlotGuard guard(slot);
    guard.get() = new platform::TFileStream(fileName, platform::FileMode::OpenRead);
    LineSource lines(*guard.get(), lineLimit);
    for (;;) {
        std::string_view line;
        bool overlong = false;
        if (!lines.Next(line, overlong)) {
            for (const char* text : endOfFile)
                ShowFileError(QString::fromLatin1(text));
            return 0;
        }
        const Outcome outcome = onLine(line, overlong);
        if (outcome == Outcome::Failed)
            return 0;
        if (outcome == Outcome::Done)
            return static_cast<int>(result()); // never above maxSize, so it fits
    }
}

} // namespace imagefiles_detail
