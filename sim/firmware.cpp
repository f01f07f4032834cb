#include "sim/sim_internal.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

std::uint32_t le32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

// Shortest block each command needs, and its byte 0 flag.
struct CommandShape {
    int minLength;
    std::uint8_t flag;
};

bool shapeOf(std::uint8_t code, CommandShape& shape)
{
    switch (code) {
    case 2: shape = {19, 1}; return true;
    case 5: shape = {12, 0}; return true;
    case 7:
    case 9: shape = {17, 0}; return true;
    case 8: shape = {2, 1}; return true;
    case 10: shape = {2, 0}; return true;
    default: return false;
    }
}

bool isFlash(ChipType type) { return type == ChipType::Nor || type == ChipType::PageErase; }

} // namespace

Firmware::Firmware(const ChipOptions& options) : chip(options)
{
    const std::uint32_t size = chip.type == ChipType::None ? 0 : chip.size;
    memory.assign(size, 0xFF);
    std::copy_n(chip.image.begin(), std::min<std::size_t>(chip.image.size(), size), memory.begin());
}

bool Firmware::command(const std::uint8_t* block, int length)
{
    CommandShape shape{};
    if (block == nullptr || length < 2 || !shapeOf(block[1], shape) || length < shape.minLength ||
        block[0] != shape.flag) {
        ++state.rejectedBlocks;
        return false;
    }
    ++state.commands;
    // A new command drops a reply nobody collected.
    state.replyPending = false;
    reply_.fill(0);
    switch (block[1]) {
    case 2: erase(block); break;
    case 5:
        state.address = le32(block + 8);
        std::memcpy(reply_.data(), block, std::min(length, 64));
        state.replyPending = true;
        break;
    case 7:
        state.lastChipBlock.assign(block, block + std::min(length, 64));
        std::memcpy(reply_.data(), block, std::min(length, 64));
        state.replyPending = true;
        break;
    case 9:
        state.lastChipBlock.assign(block, block + std::min(length, 64));
        identify(reply_.data());
        state.replyPending = true;
        break;
    case 8: state.address = 0; break;
    case 10: {
        ++state.statusPolls;
        const bool busyNow = state.busy;
        if (state.busy && busyPollsLeft_ > 0 && --busyPollsLeft_ == 0)
            state.busy = false;
        reply_[0] = busyNow ? 1 : 0;
        state.replyPending = true;
        break;
    }
    }
    return true;
}

void Firmware::erase(const std::uint8_t* block)
{
    const std::uint32_t address = block[17] | (block[18] << 8);
    if (chip.type == ChipType::Nor) {
        if (address != 0x8000)
            return; // the part only knows the whole-chip erase
        std::fill(memory.begin(), memory.end(), 0xFF);
        ++state.chipErases;
        state.busy = chip.erasePolls != 0;
        busyPollsLeft_ = chip.erasePolls;
        return;
    }
    if (chip.type == ChipType::PageErase) {
        state.pageErases.push_back(address);
        if (chip.pageSize == 0)
            return;
        const std::uint64_t start = address / chip.pageSize * std::uint64_t(chip.pageSize);
        if (start >= memory.size())
            return;
        const std::uint64_t end = std::min<std::uint64_t>(start + chip.pageSize, memory.size());
        std::fill(memory.begin() + start, memory.begin() + end, 0xFF);
    }
}

void Firmware::identify(std::uint8_t* out) const
{
    switch (chip.type) {
    case ChipType::Nor:
    case ChipType::PageErase:
        out[0] = std::uint8_t(chip.id >> 16);
        out[1] = std::uint8_t(chip.id >> 8);
        out[2] = std::uint8_t(chip.id);
        out[4] = 1;
        break;
    case ChipType::Eeprom24:
        out[0] = std::uint8_t(chip.size);
        out[1] = std::uint8_t(chip.size >> 8);
        out[2] = std::uint8_t(chip.size >> 16);
        out[4] = 2;
        break;
    case ChipType::Status3: out[4] = 3; break;
    case ChipType::None: out[4] = std::uint8_t(chip.noChipStatus); break;
    }
}

void Firmware::program(const std::uint8_t* data, int length)
{
    const std::uint64_t address = state.address;
    state.address += std::uint32_t(length);
    if (address >= memory.size() || length <= 0)
        return;
    const std::size_t n = std::min<std::uint64_t>(std::uint64_t(length), memory.size() - address);
    std::uint8_t* target = memory.data() + address;
    if (isFlash(chip.type)) {
        for (std::size_t i = 0; i < n; ++i)
            target[i] &= data[i];
    } else {
        std::memcpy(target, data, n);
    }
}

int Firmware::read(std::uint8_t* data, int length, bool* wasReply)
{
    *wasReply = false;
    if (length <= 0)
        return 0;
    if (state.replyPending) {
        // A reply is one 64-byte packet; a longer request ends short, as on the wire.
        state.replyPending = false;
        *wasReply = true;
        const int n = std::min(length, 64);
        std::memcpy(data, reply_.data(), std::size_t(n));
        return n;
    }
    const std::uint64_t address = state.address;
    state.address += std::uint32_t(length);
    std::size_t fromChip = 0;
    if (address < memory.size())
        fromChip = std::min<std::uint64_t>(std::uint64_t(length), memory.size() - address);
    if (fromChip > 0)
        std::memcpy(data, memory.data() + address, fromChip);
    // Past the end of the chip (or with no chip) the data line floats high.
    std::memset(data + fromChip, 0xFF, std::size_t(length) - fromChip);
    return length;
}

} // namespace sim
