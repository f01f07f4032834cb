#include "app/chipops_plan.h"

#include <algorithm>
#include <cstring>

namespace chipops {

int BlockSize(std::int16_t pageSize)
{
    return pageSize >= MinBlockSize ? pageSize : MinBlockSize;
}

bool ChipSizeValid(std::int32_t size, std::int32_t maxImage)
{
    return size >= 0 && size <= maxImage;
}

std::int32_t TrimmedImageLength(const unsigned char* data, std::int32_t size)
{
    if (size <= 0)
        return 0;
    std::int32_t n = size;
    // Whole words first: a blank 64 MiB chip is scanned in a few milliseconds.
    while (n >= 8) {
        std::uint64_t word;
        std::memcpy(&word, data + n - 8, 8);
        if (word != ~std::uint64_t{0})
            break;
        n -= 8;
    }
    while (n > 0 && data[n - 1] == 0xFF)
        --n;
    if (n % 2 != 0)
        ++n;
    return n;
}

std::int32_t RoundUpToPages(std::int32_t length, std::int16_t pageSize, std::int32_t limit)
{
    if (pageSize > 0 && length % pageSize != 0) {
        const std::int64_t rounded = (static_cast<std::int64_t>(length) / pageSize + 1) * pageSize;
        return static_cast<std::int32_t>(std::min<std::int64_t>(rounded, limit));
    }
    return length;
}

int ErasePageStep(std::int16_t pageSize)
{
    return pageSize > 0 ? pageSize : MinBlockSize;
}

int FirstDifference(const unsigned char* a, const unsigned char* b, int n)
{
    if (n <= 0 || std::memcmp(a, b, static_cast<std::size_t>(n)) == 0)
        return -1;
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i])
            return i;
    return -1;
}

ProgressThrottle::ProgressThrottle(std::int64_t maximum, int pumpIntervalMs)
    : step_(std::max<std::int64_t>(1, maximum / Resolution)), interval_(pumpIntervalMs)
{
}

bool ProgressThrottle::PositionDue(std::int64_t position)
{
    if (shown_ >= 0 && position >= shown_ && position - shown_ < step_)
        return false;
    shown_ = position;
    return true;
}

bool ProgressThrottle::PumpDue(std::int64_t nowMs)
{
    if (pumped_ && nowMs - lastPump_ < interval_)
        return false;
    pumped_ = true;
    lastPump_ = nowMs;
    return true;
}

} // namespace chipops
