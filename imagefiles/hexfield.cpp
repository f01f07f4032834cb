#include "imagefiles/hexfield.h"

#include "imagefiles/codec_internal.h"
#include "platform/exceptions.h"
#include "platform/seams.h"
#include "platform/streams.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

using namespace imagefiles_detail;

namespace {
std::atomic<unsigned> g_fileErrorsShown{0};
}

unsigned FileErrorsShown() { return g_fileErrorsShown.load(); }

void ShowFileError(const QString& text)
{
    g_fileErrorsShown.fetch_add(1);
    platform::MessageBox(text, QStringLiteral("Error"), platform::MsgIcon::Error, platform::MsgButtons::Ok);
}

namespace {

// A read the system failed gives -1 instead of the stream's exception: the
// reader then reports its own read failure rather than the stream's.
std::int64_t ReadOrNothing(platform::TStream& stream, void* buffer, std::int64_t count)
{
    try {
        return stream.Read(buffer, count);
    } catch (const platform::EReadError&) {
        return -1;
    }
}

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
    const std::int64_t got = ReadOrNothing(stream, line.text, limit + 1);
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
} // namespace

LineSource::LineSource(platform::TStream& stream, int limit) : stream_(stream), limit_(limit)
{
    // A small file needs no big buffer; the line logic only needs room for one
    // line plus the byte that tells a last line from an overlong one.
    const std::int64_t left = std::max<std::int64_t>(stream.Size() - stream.Position(), 0);
    capacity_ = static_cast<std::size_t>(
        std::clamp<std::int64_t>(left + 1, 2 * (std::int64_t(limit) + 1), std::int64_t(kReadChunk)));
    buffer_.reset(new char[capacity_]);
}

bool LineSource::Fill()
{
    const std::size_t tail = end_ - begin_;
    if (tail && begin_)
        std::memmove(buffer_.get(), buffer_.get() + begin_, tail);
    begin_ = 0;
    end_ = tail;
    while (!eof_ && end_ < capacity_) {
        const std::int64_t got =
            ReadOrNothing(stream_, buffer_.get() + end_, static_cast<std::int64_t>(capacity_ - end_));
        if (got < 0)
            failed_ = true;
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
    // Lines read whole before a read error still count; the one the error
    // cut off fails as if no byte of it had come.
    if (failed_ && available <= static_cast<std::size_t>(limit_) && !std::memchr(p, '\n', available))
        return false;
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

void Output::Append(std::string_view text)
{
    if (text.size() > capacity_ - used_) {
        Flush();
        // Large pieces go straight to the stream rather than through the buffer.
        if (text.size() >= capacity_ / 2) {
            if (ok_)
                ok_ = stream_.Write(text.data(), static_cast<std::int64_t>(text.size()))
                      == static_cast<std::int64_t>(text.size());
            return;
        }
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
}

const std::uint16_t* PairValues()
{
    static const std::unique_ptr<std::uint16_t[]> table = [] {
        std::unique_ptr<std::uint16_t[]> t(new std::uint16_t[65536]);
        for (unsigned word = 0; word < 65536; ++word) {
            unsigned char chars[2];
            const std::uint16_t w = static_cast<std::uint16_t>(word);
            std::memcpy(chars, &w, 2); // the order the characters have in memory
            const std::uint8_t hi = kDigitValue[chars[0]];
            const std::uint8_t lo = kDigitValue[chars[1]];
            t[word] = ((hi | lo) & 0xF0) ? 0x100 : static_cast<std::uint16_t>((hi << 4) | lo);
        }
        return t;
    }();
    return table.get();
}

void FormatBlocks(Output& out, std::uint64_t length, std::size_t textPerByte, const BlockFormatter& format)
{
    const std::uint64_t blocks = (length + kFormatBlock - 1) / kFormatBlock;
    if (blocks == 0)
        return;
    const std::uint64_t workers =
        std::min<std::uint64_t>(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, 8), blocks);
    const std::uint64_t batches = (blocks + workers - 1) / workers;
    const std::size_t capacity = textPerByte * kFormatBlock + 64;

    // Two sets of block texts: the workers fill one while this thread writes
    // the other, so formatting hides behind the writes.
    struct Text {
        std::unique_ptr<char[]> bytes;
        std::size_t used = 0;
        std::uint64_t batch = ~std::uint64_t(0); // batch whose text it holds
    };
    std::vector<Text> texts(2 * workers);
    for (auto& t : texts)
        t.bytes.reset(new char[capacity]);
    auto formatInto = [&](Text& text, std::uint64_t block) {
        const std::uint64_t start = block * kFormatBlock;
        const std::uint64_t end = std::min(length, start + kFormatBlock);
        text.used = static_cast<std::size_t>(format(start, end, text.bytes.get()) - text.bytes.get());
    };
    auto batchSize = [&](std::uint64_t batch) { return std::min(workers, blocks - batch * workers); };

    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t written = 0; // batches handed to out
    bool stop = false;

    auto worker = [&](std::uint64_t w) {
        for (std::uint64_t batch = 0; batch < batches; ++batch) {
            if (w >= batchSize(batch))
                break;
            Text& text = texts[(batch % 2) * workers + w];
            {
                std::unique_lock lock(mutex);
                // The set is free once the batch that used it before is written.
                changed.wait(lock, [&] { return stop || batch < 2 || written >= batch - 1; });
                if (stop)
                    return;
            }
            formatInto(text, batch * workers + w);
            {
                std::lock_guard lock(mutex);
                text.batch = batch;
            }
            changed.notify_all();
        }
    };

    std::vector<std::thread> threads;
    auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (auto& t : threads)
            if (t.joinable())
                t.join();
    };
    // Whatever way this function is left, no worker outlives it.
    struct Finally {
        decltype(finish)& f;
        ~Finally() { f(); }
    } joinAll{finish};
    try {
        for (std::uint64_t w = 0; w < workers; ++w)
            threads.emplace_back(worker, w);
    } catch (const std::system_error&) {
        finish();
        // No threads to be had: format and write block by block here.
        for (std::uint64_t block = 0; block < blocks && out.Ok(); ++block) {
            formatInto(texts[0], block);
            out.Append(std::string_view(texts[0].bytes.get(), texts[0].used));
        }
        return;
    }

    for (std::uint64_t batch = 0; batch < batches; ++batch) {
        const std::uint64_t count = batchSize(batch);
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] {
                for (std::uint64_t w = 0; w < count; ++w)
                    if (texts[(batch % 2) * workers + w].batch != batch)
                        return false;
                return true;
            });
        }
        for (std::uint64_t w = 0; w < count; ++w) {
            const Text& text = texts[(batch % 2) * workers + w];
            out.Append(std::string_view(text.bytes.get(), text.used));
        }
        {
            std::lock_guard lock(mutex);
            written = batch + 1;
            stop = !out.Ok(); // a failed write ends the work
        }
        changed.notify_all();
        if (!out.Ok())
            break;
    }
}

bool WriteRecordFile(platform::TFileStream** slot, const QString& fileName, const unsigned char* data,
                     std::int64_t length, std::string_view head, std::size_t textPerByte,
                     const BlockFormatter& format, std::string_view tail)
{
    if (length < 0 || length > (std::int64_t(1) << 32) || (length > 0 && !data))
        return false;
    SlotGuard guard(slot);
    guard.get() = new platform::TFileStream(fileName, platform::FileMode::Create);
    Output out(*guard.get());
    out.Append(head);
    FormatBlocks(out, static_cast<std::uint64_t>(length), textPerByte, format);
    out.Append(tail);
    const bool written = out.Flush();
    const bool closed = guard.Close();
    return written && closed;
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
