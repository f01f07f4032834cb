#pragma once
// Pure pieces of the chip commands: block sizes, length rules and the
// throttle that keeps progress updates and message pumps cheap.
#include <cstdint>

namespace chipops {

constexpr int MinBlockSize = 64;

// Every data transfer moves one block: the page size when it is 64 or more.
int BlockSize(std::int16_t pageSize);

// A size the image buffer can hold: 0 .. maxImage (0 moves no bytes).
bool ChipSizeValid(std::int32_t size, std::int32_t maxImage);

// Length of a read image: trailing 0xFF bytes of data[0 .. size) dropped, then
// rounded up to an even count. size <= 0 gives 0.
std::int32_t TrimmedImageLength(const unsigned char* data, std::int32_t size);

// length grown to whole pages of pageSize (no change for pageSize <= 0),
// never beyond limit.
std::int32_t RoundUpToPages(std::int32_t length, std::int16_t pageSize, std::int32_t limit);

// Step of a page-by-page erase. A page size of 0 or less would never advance,
// so it falls back to the 64-byte minimum block.
int ErasePageStep(std::int16_t pageSize);

// Index of the first byte in [0, n) where a and b differ, or -1.
int FirstDifference(const unsigned char* a, const unsigned char* b, int n);

// Workers report after every block, but a repaint of the progress bar or a
// trip through the event loop per 256-byte block would cost more than the
// transfer itself. The bar only changes when the position moved by at least
// 1/1024 of the range (finer than any bar is wide), and messages are pumped
// at most once per interval of monotonic time, the first block included.
class ProgressThrottle {
public:
    static constexpr int Resolution = 1024;
    static constexpr int DefaultPumpIntervalMs = 15;

    explicit ProgressThrottle(std::int64_t maximum, int pumpIntervalMs = DefaultPumpIntervalMs);

    // True when the bar should be set to position now.
    bool PositionDue(std::int64_t position);
    // True when messages should be pumped at monotonic time nowMs.
    bool PumpDue(std::int64_t nowMs);

private:
    std::int64_t step_;
    std::int64_t shown_ = -1;
    int interval_;
    bool pumped_ = false;
    std::int64_t lastPump_ = 0;
};

} // namespace chipops
