// What the program takes from the programmer: the identification reply of
// command 9 (through DecideDetect), the status reply of command 10, and the
// string descriptors read while opening, served by the simulator.
//
// Input layout (missing bytes are 0):
//   0..63    reply to command 9
//   64..127  reply to command 10
//   128..135 Id and Size (little-endian) of one more chip list record
//   136      buffer length for the string read
//   137..    the manufacturer string descriptor, byte for byte
#include "app/protocol.h"
#include "link/usbasp.h"
#include "sim/sim.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <usb.h>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::int32_t Int32At(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24));
}

ChipInfo Record(std::int32_t id, std::int32_t size)
{
    ChipInfo c;
    c.Id = id;
    c.Size = size;
    return c;
}

void Detect(const protocol::CommandBlock& block, const std::vector<ChipInfo>& chips)
{
    const protocol::IdentifyReply reply = protocol::ParseIdentifyReply(block);
    check(reply.b0 == block[0] && reply.b1 == block[1] && reply.b2 == block[2] && reply.status == block[4]);
    const protocol::DetectOutcome out = protocol::DecideDetect(reply, chips);
    check(out.selectIndex >= -1 && out.selectIndex < static_cast<int>(chips.size()));

    // The first record that matches, or none.
    auto first = [&](auto matches) {
        for (std::size_t i = 0; i < chips.size(); ++i)
            if (matches(chips[i]))
                return static_cast<int>(i);
        return -1;
    };
    switch (block[4]) {
    case 1: {
        const std::int32_t id = block[0] << 16 | block[1] << 8 | block[2];
        const int at = first([&](const ChipInfo& c) { return c.Id == id; });
        check(out.selectIndex == at && out.logLine.isEmpty());
        if (at >= 0) {
            check(out.result == protocol::KnownChip && out.errorText.isEmpty());
        } else {
            check(out.result == protocol::UnknownId);
            const QString hex = QString::asprintf("%02X %02X %02X", block[0], block[1], block[2]);
            check(out.errorText == QStringLiteral("未知型号芯片ID =") + hex + QStringLiteral("请手动选择兼容型号。"));
        }
        break;
    }
    case 2: {
        const std::int32_t capacity = block[2] << 16 | block[1] << 8 | block[0];
        check(out.result == protocol::Series24 && out.errorText.isEmpty());
        check(out.selectIndex == first([&](const ChipInfo& c) { return c.Id == 0 && c.Size == capacity; }));
        check(out.logLine == QStringLiteral("已检测检测到24系列芯片，请手动选择型号"));
        break;
    }
    case 3:
        check(out.result == protocol::ReadOnlyChip);
        check(out.selectIndex == -1 && out.errorText.isEmpty() && out.logLine.isEmpty());
        break;
    default:
        check(out.result == protocol::NoChip);
        check(out.selectIndex == -1 && out.errorText.isEmpty() && out.logLine.isEmpty());
    }
}

// Only bit 0 of byte 0 tells busy; the other 511 bits of the reply do not.
void Status(protocol::CommandBlock block)
{
    const bool busy = protocol::StatusBusy(block);
    check(busy == ((block[0] & 1) != 0));
    for (std::size_t i = 1; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(~block[i]);
    block[0] ^= 0xFE;
    check(protocol::StatusBusy(block) == busy);
}

void Strings(const std::vector<std::uint8_t>& raw, int buflen)
{
    sim::reset();
    sim::setRecording(sim::Recording::Off);
    sim::DeviceOptions options;
    options.chip.size = 256; // no chip data is moved here
    options.rawStrings[options.manufacturerIndex] = raw;
    const sim::DeviceId device = sim::addDevice(options);
    usb_find_busses();
    usb_find_devices();
    usb_dev_handle* handle = usb_open(usb_get_busses()->devices);
    check(handle != nullptr);

    TUsbBulk link;
    // A buffer of exactly buflen bytes: AddressSanitizer sees any byte past it.
    std::vector<char> text(static_cast<std::size_t>(buflen));
    const int n = link.usbGetStringAscii(handle, options.manufacturerIndex, 0x0409,
                                         buflen > 0 ? text.data() : nullptr, buflen);
    usb_close(handle);
    check(n >= 0);
    const int served = std::min<int>(static_cast<int>(raw.size()), 255);
    if (buflen > 0) {
        check(n < buflen && text[static_cast<std::size_t>(n)] == '\0');
        // Each character stands for one UTF-16 unit of the descriptor; units
        // beyond the low byte become '?'.
        for (int i = 0; i < n; ++i) {
            const std::size_t at = 2 + 2 * static_cast<std::size_t>(i);
            check(static_cast<int>(at) + 1 < served);
            const char expected = raw[at + 1] != 0 ? '?' : static_cast<char>(raw[at]);
            check(text[static_cast<std::size_t>(i)] == expected && expected != '\0');
        }
    } else {
        check(n == 0);
    }
    // Not a string descriptor: no text. A string: no more units than its
    // own length byte and the bytes served give.
    if (served < 2 || raw[1] != USB_DT_STRING)
        check(n == 0);
    else
        check(n <= std::max(0, std::min<int>(raw[0], served) / 2 - 1));

    // The same descriptor while opening: whatever it says, the link either
    // holds the device or nothing.
    const int opened = link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId);
    check(opened == 0 || opened == 1);
    check(link.isOpen() == (opened == 1));
    check(sim::openHandles(device) == opened);
    if (opened)
        link.usbasp_bulk_close();
    check(sim::openHandles(device) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> in(data, data + size);
    if (in.size() < 137)
        in.resize(137, 0);

    protocol::CommandBlock identify{};
    std::memcpy(identify.data(), in.data(), identify.size());
    protocol::CommandBlock status{};
    std::memcpy(status.data(), in.data() + 64, status.size());
    // A list with a JEDEC part, two 24-series parts, duplicates, and one
    // record the input chooses.
    const std::vector<ChipInfo> chips = {
        Record(0xEF4017, 8 << 20), Record(0, 32768), Record(0, 256),     Record(0xEF4017, 4 << 20),
        Record(0, 32768),         Record(Int32At(in.data() + 128), Int32At(in.data() + 132)),
    };
    Detect(identify, chips);
    Detect(identify, {});
    Status(status);

    const int buflen = in[136];
    Strings(std::vector<std::uint8_t>(in.begin() + 137, in.end()), buflen);
    return 0;
}
