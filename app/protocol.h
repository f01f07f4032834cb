#pragma once
// The programmer's 64-byte command blocks and the identification reply.
// Pure functions: no window, no USB.
#include "app/chipinfo.h"

#include <QString>
#include <array>
#include <cstdint>
#include <span>

namespace protocol {

using CommandBlock = std::array<unsigned char, 64>;

enum Command : unsigned char {
    CmdErase = 2,
    CmdStartAddress = 5,
    CmdSetChip = 7,
    CmdEnd = 8,
    CmdIdentify = 9,
    CmdStatus = 10,
};

// Room for the name in a chip-parameter block: bytes 17..62, then a 0 byte.
constexpr int NameOffset = 17;
constexpr int MaxNameBytes = 46;

namespace detail {
// Little-endian fields.
constexpr void Put16(CommandBlock& b, int at, std::uint32_t v)
{
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}
constexpr void Put32(CommandBlock& b, int at, std::uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
// Byte 0 is 1 for commands 2 and 8, else 0; every other byte starts at 0.
constexpr CommandBlock BlockOf(Command code)
{
    CommandBlock b{};
    b[0] = (code == CmdErase || code == CmdEnd) ? 1 : 0;
    b[1] = code;
    return b;
}
} // namespace detail

// Commands 7 and 9. clockIndex is ComboBox2's ItemIndex; its low 8 bits are
// sent (-1, no clock chosen, goes as 0xFF). A name longer than 46 bytes is
// cut at a character boundary so the block always ends in 0.
CommandBlock ChipParameters(Command code, const ChipInfo& chip, int clockIndex);
// Command 2: address bits 0-7 and 8-15 in bytes 17, 18 (0x8000: whole chip).
constexpr CommandBlock EraseCommand(std::uint32_t address)
{
    CommandBlock b = detail::BlockOf(CmdErase);
    detail::Put16(b, 17, address & 0xFFFF);
    return b;
}
constexpr std::uint32_t WholeChipEraseAddress = 0x8000;
// Command 5: start address in bytes 8-11.
constexpr CommandBlock StartAddressCommand(std::uint32_t address)
{
    CommandBlock b = detail::BlockOf(CmdStartAddress);
    detail::Put32(b, 8, address);
    return b;
}
constexpr CommandBlock EndCommand() { return detail::BlockOf(CmdEnd); }       // command 8
constexpr CommandBlock StatusCommand() { return detail::BlockOf(CmdStatus); } // command 10
// Reply to command 10: byte 0 bit 0 set while the chip is busy.
constexpr bool StatusBusy(const CommandBlock& reply) { return (reply[0] & 1) != 0; }

// The name bytes that go into a parameter block (at most 46, not split
// inside a double-byte GBK character).
QByteArray NameForBlock(const QByteArray& name);

// Identification reply to command 9.
struct IdentifyReply {
    unsigned char b0 = 0, b1 = 0, b2 = 0;
    unsigned char status = 0; // byte 4
    std::int32_t Id() const { return b0 * 65536 + b1 * 256 + b2; }       // status 1
    std::int32_t Capacity() const { return b2 * 65536 + b1 * 256 + b0; } // status 2
    QString FormattedId() const; // "%2.2X %2.2X %2.2X" of bytes 0, 1, 2
};
IdentifyReply ParseIdentifyReply(const CommandBlock& reply);

// Chip check results.
enum CheckResult {
    NoProgrammer = 0,
    ReadOnlyChip = 1, // SelectChip: Type 2 or above; DetectChip: status 3
    NoChip = 2,
    UnknownId = 3,
    PageEraseChip = 4,
    Series24 = 5,
    KnownChip = 6,
};

// SelectChip's result for a selected chip of this Type.
int SelectResult(std::uint8_t type);

// What DetectChip does with a reply, given the records of the chip list.
struct DetectOutcome {
    int result = NoChip;
    int selectIndex = -1;   // record to select in ComboBox1 (-1: leave the selection)
    QString errorText;      // for the error box; empty: none
    QString logLine;        // inserted in the log as it is; empty: none
};
DetectOutcome DecideDetect(const IdentifyReply& reply, std::span<const ChipInfo> chips);

} // namespace protocol
