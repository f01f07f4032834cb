#pragma once
// Fast paths shared by the codecs; not part of the public interface.
#include "imagefiles/hexfield.h"

#include <array>
#include <cstdint>
#include <cstring>
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

// Byte from two digits at p; false when either is not a digit. The caller has
// made sure both characters lie inside the line.
inline bool ParseByte(const char* p, std::uint8_t& out)
{
    const std::uint8_t hi = kDigitValue[static_cast<unsigned char>(p[0])];
    const std::uint8_t lo = kDigitValue[static_cast<unsigned char>(p[1])];
    if ((hi | lo) & 0xF0)
        return false;
    out = static_cast<std::uint8_t>((hi << 4) | lo);
    return true;
}

inline char* PutByte(char* p, std::uint8_t value)
{
    std::memcpy(p, &kHexPair[2 * value], 2);
    return p + 2;
}

// The field at pos of a line, or a short view when the line ends before it:
// ParseHexField then reports the field as running into the line end.
inline std::string_view FieldAt(std::string_view line, std::size_t pos)
{
    return pos < line.size() ? line.substr(pos) : std::string_view{};
}

// Splits lines off a stream through a large buffer, with the same line rules
// as ReadHexFileLine / ReadSRecordFileLine, so a big image needs no per-line
// read or seek. The returned view stays valid until the next call.
class LineSource {
public:
    LineSource(platform::TStream& stream, int limit);
    // False when no byte is left (no box; the caller reports).
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
};

// Collects output and writes it to the stream in large blocks; remembers the
// first failed or short write.
class Output {
public:
    explicit Output(platform::TStream& stream);
    // Room for at least `bytes` more bytes; returns where to write them.
    char* Reserve(std::size_t bytes)
    {
        if (capacity_ - used_ < bytes)
            Flush();
        return buffer_.get() + used_;
    }
    void Commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    void Append(std::string_view text)
    {
        char* p = Reserve(text.size());
        std::memcpy(p, text.data(), text.size());
        Commit(p + text.size());
    }
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
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0xFF)
            return false;
    return true;
}

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

} // namespace imagefiles_detail
