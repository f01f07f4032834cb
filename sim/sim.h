#pragma once
// The simulated programmer: a USB bus with any number of emulated QV750
// devices behind the libusb-0.1 API (sim/usb_api.cpp), each with a firmware
// model and a chip. Tests and benchmarks link the static library `sim`
// instead of libusb and steer it through the functions below; the shared
// library `qv750sim` is preloaded into the real program and configured from
// the environment (sim/README.md).
//
// Everything here takes one lock, so the program may run on another thread
// than the test; references returned stay valid until the next reset().
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using DeviceId = int;

enum class ChipType : int {
    Nor = 0,        // SPI NOR: whole-chip erase with busy polls, programming only clears bits
    PageErase = 1,  // erased page by page (command 2 with the page address)
    Status3 = 3,    // identifies with status 3
    Eeprom24 = 24,  // 24-series part: status 2 with its capacity; writes overwrite
    None = -1,      // empty socket
};

struct ChipOptions {
    ChipType type = ChipType::Nor;
    std::uint32_t id = 0xEF4017;   // JEDEC ID, manufacturer byte first (bits 16-23)
    std::uint32_t size = 8u << 20; // bytes
    std::uint32_t pageSize = 256;  // erase unit of a page-erase part
    int erasePolls = 3;            // status polls that report busy after a whole-chip erase; -1 forever
    int noChipStatus = 0;          // status byte reported by an empty socket
    std::vector<std::uint8_t> image; // initial contents from address 0; the rest is 0xFF
};

// Which level of the descriptor tree the device lacks.
enum class Tree { Full, NoConfiguration, NoInterface, NoAltSetting };

struct DeviceOptions {
    int bus = 0; // buses are scanned in ascending order, devices in the order added
    std::uint16_t vendorId = 0x1FC8;
    std::uint16_t productId = 0x300B;
    std::optional<std::u16string> manufacturer; // unset: the configured QV750_USB_MANUFACTURER
    std::u16string product = u"WinUSBComm Device";
    std::uint8_t manufacturerIndex = 1;
    std::uint8_t productIndex = 2;
    // String descriptors answered byte for byte instead of being built from text.
    std::map<int, std::vector<std::uint8_t>> rawStrings;
    Tree tree = Tree::Full;
    int interfaceNumber = 0;
    bool refuseOpen = false; // usb_open returns null
    int claimResult = 0;     // non-zero: usb_claim_interface fails with it
    // Vendor control requests are answered instead of stalled: an IN request
    // gets its own 8-byte setup packet back, an OUT request takes all its data.
    bool vendorRequests = false;
    ChipOptions chip;
};

enum class FaultKind {
    Unplug,  // the transfer and every later call fail with -ENODEV; gone from the next scan
    Timeout, // -ETIMEDOUT, nothing moves
    Short,   // shortBy bytes fewer move (at least 0)
    Corrupt, // xorMask flips bits of one byte of the data that moves (either direction)
};

struct Fault {
    FaultKind kind = FaultKind::Timeout;
    // 1-based count over the transfers this fault watches; 0 = every one of them.
    long long at = 0;
    // Watch only this endpoint as the caller passed it (0 = control transfers); -1 all.
    int endpoint = -1;
    int shortBy = 1;
    std::uint8_t xorMask = 0x01;
    int corruptOffset = 0; // clamped to the data that moves
};

enum class Call {
    Init, FindBusses, FindDevices, GetBusses, Open, Close, Claim, Release,
    Control, BulkWrite, BulkRead, Other, Pause,
};

struct CallRecord {
    Call call = Call::Other;
    DeviceId device = -1;
    int endpoint = 0;  // as passed; 0 for control transfers
    int length = 0;    // requested size (for Pause: the milliseconds)
    int timeout = 0;
    int result = 0;    // return value (Open: 1 for a handle, 0 for null)
    int requestType = 0, request = 0, value = 0, index = 0; // control transfers
    int headLength = 0;
    std::array<std::uint8_t, 8> head{}; // first bytes that moved
    // Full copy of command blocks (endpoint 0x04), replies read after them and
    // control data; empty for data blocks.
    std::vector<std::uint8_t> data;
};

enum class Recording {
    Off,   // nothing is kept (benchmarks)
    Calls, // one record per call, no data bytes
    Full,  // records with the first bytes and copies of command blocks (default)
};

struct FirmwareState {
    std::vector<std::uint8_t> lastChipBlock; // last command 7 or 9 as received
    std::uint32_t address = 0;               // next byte of the read/write stream
    int rejectedBlocks = 0;                  // garbage, short or unknown command blocks
    int commands = 0;                        // accepted command blocks
    int statusPolls = 0;
    int chipErases = 0;
    std::vector<std::uint32_t> pageErases; // addresses of command 2 on a page-erase part
    bool busy = false;
    bool replyPending = false;
};

struct Stats {
    long long transfers = 0;
    long long bytesIn = 0;  // device to host
    long long bytesOut = 0; // host to device
};

// Empties the bus (handles held by the caller become dead), clears the log,
// faults and latency, and sets recording back to Full.
void reset();
DeviceId addDevice(const DeviceOptions& options = {});
// Pulls the device out now: calls on its handles fail with -ENODEV.
void unplug(DeviceId device);
bool present(DeviceId device);

void addFault(DeviceId device, const Fault& fault);
void clearFaults(DeviceId device);
void setLatencyUs(int microseconds);

// Chip contents (size bytes); tests may read and change them.
std::vector<std::uint8_t>& memory(DeviceId device);
const FirmwareState& firmware(DeviceId device);
int openHandles(DeviceId device);
int claimedInterface(DeviceId device); // -1 when none is claimed
Stats stats(DeviceId device);

void setRecording(Recording level);
const std::vector<CallRecord>& log();
std::vector<CallRecord> calls(Call kind); // the log filtered to one kind
void clearLog();
// Wire to the fake system's sleep hook so pauses appear in the log in order.
void notePause(int ms);

// Replaces the bus with what the QV750_SIM_* variables describe (sim/README.md);
// returns one message per variable that was rejected (its default is used).
std::vector<std::string> configureFromEnvironment();

} // namespace sim
