#include "imagefiles/hexfield.h"

#include "imagefiles/codec_internal.h"
#include "platform/seams.h"
#include "platform/streams.h"

#include <algorithm>
#include <cstring>

using namespace imagefiles_detail;

void ShowFileError(const QString& text)
{
    platform::MessageBox(text, QStringLiteral("Error"), platform::MsgIcon::Error, platform::MsgButtons::Ok);
}

namespace {

// Where the line at p ends: the length taken (LF included) and whether it is
// too long. `atEnd` says that no byte follows the `available` ones.
int SplitLine(const char* p, std::size_t available, bool atEnd, int limit, bool& overlong)
{
    const std::size_t window = std::min<std::size_t>(available, static_cast<std::size_t>(limit));
    if (const void* lf = std::memchr(p, '\n', window)) {
        overlong = false;
        return static_cast<int>(static_cast<const char*>(lf) - p) + 1;
    }
    // No LF within the limit: a last line if the file ends here, else too long.
    overlong = !(atEnd && available <= static_cast<std::size_t>(limit));
    return static_cast<int>(window);
}

bool ReadLimitedLine(platform::TStream& stream, TextLine& line, int limit)
{
    const std::int64_t start = stream.Position();
    // One byte beyond the limit tells a last line from a line that is too long.
    const std::int64_t got = stream.Read(line.text, limit + 1);
    if (got < 1) {
        line.length = 0;
        line.overlong = false;
        line.text[0] = 0;
        ShowFileError(QStringLiteral("File Read Operation Failed"));
        return false;
    }
    line.length = SplitLine(line.text, static_cast<std::size_t>(got), got <= limit, limit, line.overlong);
    line.text[line.length] = 0;
    stream.Seek(start + line.length, platform::SeekOrigin::Begin);
    return true;
}

} // namespace

bool ReadHexFileLine(platform::TStream& stream, TextLine& line)
{
    return ReadLimitedLine(stream, line, HexLineLimit);
}

bool ReadSRecordFileLine(platform::TStream& stream, TextLine& line)
{
    return ReadLimitedLine(stream, line, SRecordLineLimit);
}

bool ParseHexField(std::string_view text, int digits, std::uint32_t& value)
{
    if (digits < 1 || digits > 8 || text.size() < static_cast<std::size_t>(digits)) {
        ShowFileError(QStringLiteral("Illegal Char in File"));
        return false;
    }
    std::uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const std::uint8_t d = kDigitValue[static_cast<unsigned char>(text[i])];
        if (d > 15) {
            ShowFileError(QStringLiteral("Illegal Char in File"));
            return false;
        }
        v = (v << 4) | d;
    }
    value = v;
    return true;
}

void FormatHexField(std::uint32_t value, char* text, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) {
        text[i] = kDigits[value & 15];
        value >>= 4;
    }
}

namespace imagefiles_detail {

namespace {
constexpr std::size_t kReadChunk = std::size_t(4) << 20;
constexpr std::size_t kWriteChunk = std::size_t(1) << 20;
} // namespace

LineSource::LineSource(platform::TStream& stream, int limit)
    : stream_(stream), limit_(limit), buffer_(new char[kReadChunk]), capacity_(kReadChunk)
{
}

bool LineSource::Fill()
{
    const std::size_t tail = end_ - begin_;
    if (tail && begin_)
        std::memmove(buffer_.get(), buffer_.get() + begin_, tail);
    begin_ = 0;
    end_ = tail;
    while (!eof_ && end_ < capacity_) {
        const std::int64_t got = stream_.Read(buffer_.get() + end_, static_cast<std::int64_t>(capacity_ - end_));
        if (got <= 0)
            eof_ = true;
        else
            end_ += static_cast<std::size_t>(got);
    }
    return end_ > 0;
}

bool LineSource::Next(std::string_view& line, bool& overlong)
{
    if (end_ - begin_ <= static_cast<std::size_t>(limit_) && !eof_)
        Fill();
    const std::size_t available = end_ - begin_;
    if (available == 0)
        return false;
    const char* p = buffer_.get() + begin_;
    const int length = SplitLine(p, available, eof_, limit_, overlong);
    line = std::string_view(p, static_cast<std::size_t>(length));
    begin_ += static_cast<std::size_t>(length);
    return true;
}

Output::Output(platform::TStream& stream) : stream_(stream), buffer_(new char[kWriteChunk]), capacity_(kWriteChunk) {}

bool Output::Flush()
{
    if (used_ && ok_) {
        const std::int64_t wrote = stream_.Write(buffer_.get(), static_cast<std::int64_t>(used_));
        ok_ = wrote == static_cast<std::int64_t>(used_);
    }
    used_ = 0;
    return ok_;
}

SlotGuard::~SlotGuard()
{
    delete *slot_;
    *slot_ = nullptr;
}

bool SlotGuard::Close()
{
    bool ok = true;
    if (*slot_) {
        ok = (*slot_)->Close();
        delete *slot_;
        *slot_ = nullptr;
    }
    return ok;
}

} // namespace imagefiles_detail
