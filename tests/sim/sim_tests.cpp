#include "sim/sim.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <usb.h>

namespace {

using Block = std::array<unsigned char, 64>;

Block command(int code)
{
    Block b{};
    b[0] = (code == 2 || code == 8) ? 1 : 0;
    b[1] = std::uint8_t(code);
    return b;
}

Block eraseAt(unsigned address)
{
    Block b = command(2);
    b[17] = std::uint8_t(address);
    b[18] = std::uint8_t(address >> 8);
    return b;
}

Block startAt(std::uint32_t address)
{
    Block b = command(5);
    for (int i = 0; i < 4; ++i)
        b[std::size_t(8 + i)] = std::uint8_t(address >> (8 * i));
    return b;
}

int sendTo(usb_dev_handle* h, const Block& b)
{
    return usb_bulk_write(h, 0x04, reinterpret_cast<const char*>(b.data()), 64, 5000);
}

// Sends a command block and collects its 64-byte reply.
Block askOf(usb_dev_handle* h, const Block& b)
{
    EXPECT_EQ(sendTo(h, b), 64);
    Block reply{};
    EXPECT_EQ(usb_bulk_read(h, 0x85, reinterpret_cast<char*>(reply.data()), 64, 5000), 64);
    return reply;
}

std::vector<std::uint8_t> readFrom(usb_dev_handle* h, int n)
{
    std::vector<std::uint8_t> out(std::size_t(n), 0);
    EXPECT_EQ(usb_bulk_read(h, 0x85, reinterpret_cast<char*>(out.data()), n, 5000), n);
    return out;
}

// Talks to the first device on the bus directly through the libusb API.
class Programmer : public ::testing::Test {
protected:
    void SetUp() override { sim::reset(); }
    void TearDown() override
    {
        if (handle != nullptr)
            usb_close(handle);
        sim::reset();
    }

    void open(const sim::DeviceOptions& options = {})
    {
        dev = sim::addDevice(options);
        usb_find_busses();
        usb_find_devices();
        ASSERT_NE(usb_get_busses(), nullptr);
        handle = usb_open(usb_get_busses()->devices);
        ASSERT_NE(handle, nullptr);
    }

    static sim::DeviceOptions chip(sim::ChipType type, std::uint32_t size = 4096, std::uint32_t id = 0xEF4017)
    {
        sim::DeviceOptions o;
        o.chip.type = type;
        o.chip.size = size;
        o.chip.id = id;
        return o;
    }

    int send(const Block& b) { return sendTo(handle, b); }
    Block ask(const Block& b) { return askOf(handle, b); }
    std::vector<std::uint8_t> readData(int n) { return readFrom(handle, n); }
    int writeData(const std::vector<std::uint8_t>& data)
    {
        return usb_bulk_write(handle, 0x05, reinterpret_cast<const char*>(data.data()), int(data.size()), 5000);
    }

    sim::DeviceId dev = 0;
    usb_dev_handle* handle = nullptr;
};

// ---- identification ------------------------------------------------------

TEST_F(Programmer, IdentifyReportsEachKindOfChip)
{
    struct Case {
        sim::ChipType type;
        std::uint32_t size;
        std::uint32_t id;
        std::array<std::uint8_t, 5> expected; // reply bytes 0-4
    };
    const Case cases[] = {
        {sim::ChipType::Nor, 4096, 0xEF4017, {0xEF, 0x40, 0x17, 0, 1}},
        {sim::ChipType::PageErase, 4096, 0x1F2301, {0x1F, 0x23, 0x01, 0, 1}},
        {sim::ChipType::Nor, 4096, 0xABCDEF, {0xAB, 0xCD, 0xEF, 0, 1}}, // an ID nobody lists
        {sim::ChipType::Eeprom24, 32768, 0, {0x00, 0x80, 0x00, 0, 2}},
        {sim::ChipType::Eeprom24, 0x123456, 0, {0x56, 0x34, 0x12, 0, 2}},
        {sim::ChipType::Status3, 4096, 0xEF4017, {0, 0, 0, 0, 3}},
        {sim::ChipType::None, 4096, 0xEF4017, {0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        if (handle != nullptr)
            usb_close(handle);
        sim::reset();
        open(chip(c.type, c.size, c.id));
        const Block reply = ask(command(9));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(reply[std::size_t(i)], c.expected[std::size_t(i)]) << int(c.type) << " byte " << i;
    }
}

TEST_F(Programmer, EmptySocketStatusIsConfigurable)
{
    sim::DeviceOptions o = chip(sim::ChipType::None);
    o.chip.noChipStatus = 4;
    open(o);
    EXPECT_EQ(ask(command(9))[4], 4);
    EXPECT_EQ(readData(8), std::vector<std::uint8_t>(8, 0xFF));
}

TEST_F(Programmer, ChipParametersAreKeptAsSent)
{
    open();
    Block b = command(7);
    b[2] = 1;
    b[17] = 'W';
    ask(b);
    EXPECT_EQ(sim::firmware(dev).lastChipBlock, std::vector<std::uint8_t>(b.begin(), b.end()));
}

// ---- data streams -------------------------------------------------------

TEST_F(Programmer, ReadStreamsFromTheStartAddressAfterTheReply)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 300);
    for (int i = 0; i < 300; ++i)
        o.chip.image.push_back(std::uint8_t(i));
    open(o);

    const Block reply = ask(startAt(100));
    EXPECT_EQ(reply[1], 5); // the reply is taken before any data
    const auto first = readData(64);
    const auto second = readData(64);
    EXPECT_EQ(first[0], 100);
    EXPECT_EQ(first[63], 163);
    EXPECT_EQ(second[0], 164);
    // Past the end of the chip the bus reads 0xFF.
    const auto tail = readData(200);
    EXPECT_EQ(tail[300 - 228 - 1], 299 & 0xFF);
    EXPECT_EQ(tail[300 - 228], 0xFF);
    EXPECT_EQ(tail[199], 0xFF);
}

TEST_F(Programmer, ReplyNotCollectedIsDroppedByTheNextCommand)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 256);
    o.chip.image.assign(256, 0x42);
    open(o);
    ASSERT_EQ(send(startAt(0)), 64);
    ASSERT_EQ(send(startAt(0)), 64);
    EXPECT_EQ(ask(startAt(8))[1], 5);
    EXPECT_EQ(readData(4), std::vector<std::uint8_t>(4, 0x42));
    EXPECT_EQ(sim::firmware(dev).address, 12u);
}

TEST_F(Programmer, FlashProgrammingOnlyClearsBits)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 256);
    o.chip.image.assign(256, 0xF0);
    open(o);
    send(startAt(2));
    EXPECT_EQ(writeData({0x3C, 0xFF, 0x0F}), 3);
    EXPECT_EQ(writeData({0x00}), 1); // continues where the last block ended
    const auto& m = sim::memory(dev);
    EXPECT_EQ(m[1], 0xF0);
    EXPECT_EQ(m[2], 0x30);
    EXPECT_EQ(m[3], 0xF0);
    EXPECT_EQ(m[4], 0x00);
    EXPECT_EQ(m[5], 0x00);
    EXPECT_EQ(m[6], 0xF0);
}

TEST_F(Programmer, EepromWritesOverwriteAndWritesPastTheEndAreDropped)
{
    sim::DeviceOptions o = chip(sim::ChipType::Eeprom24, 8);
    o.chip.image.assign(8, 0x0F);
    open(o);
    send(startAt(6));
    EXPECT_EQ(writeData({0xF0, 0xA5, 0x11, 0x22}), 4);
    const auto& m = sim::memory(dev);
    ASSERT_EQ(m.size(), 8u);
    EXPECT_EQ(m[5], 0x0F);
    EXPECT_EQ(m[6], 0xF0);
    EXPECT_EQ(m[7], 0xA5);
}

// ---- erase ---------------------------------------------------------------

TEST_F(Programmer, WholeChipEraseStaysBusyForTheSetNumberOfPolls)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 1024);
    o.chip.image.assign(1024, 0x00);
    o.chip.erasePolls = 3;
    open(o);
    EXPECT_EQ(ask(command(10))[0], 0);

    ASSERT_EQ(send(eraseAt(0x8000)), 64);
    std::vector<int> busy;
    for (int i = 0; i < 5; ++i)
        busy.push_back(ask(command(10))[0] & 1);
    EXPECT_EQ(busy, (std::vector<int>{1, 1, 1, 0, 0}));
    EXPECT_EQ(sim::memory(dev), std::vector<std::uint8_t>(1024, 0xFF));
    EXPECT_EQ(sim::firmware(dev).chipErases, 1);
    EXPECT_EQ(sim::firmware(dev).statusPolls, 6);
}

TEST_F(Programmer, EraseThatNeverEndsAndOneThatIsAtOnceDone)
{
    sim::DeviceOptions forever = chip(sim::ChipType::Nor, 64);
    forever.chip.erasePolls = -1;
    open(forever);
    send(eraseAt(0x8000));
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(ask(command(10))[0], 1);
    usb_close(handle);
    sim::reset();

    sim::DeviceOptions instant = chip(sim::ChipType::Nor, 64);
    instant.chip.erasePolls = 0;
    open(instant);
    send(eraseAt(0x8000));
    EXPECT_EQ(ask(command(10))[0], 0);
}

TEST_F(Programmer, NorPartIgnoresAnEraseAddressOtherThanTheWholeChipMarker)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 256);
    o.chip.image.assign(256, 0x00);
    open(o);
    send(eraseAt(0x0000));
    send(eraseAt(0x0080));
    EXPECT_EQ(sim::memory(dev), std::vector<std::uint8_t>(256, 0x00));
    EXPECT_EQ(sim::firmware(dev).chipErases, 0);
}

TEST_F(Programmer, PageErasePartErasesThePageAtTheSixteenBitAddress)
{
    sim::DeviceOptions o = chip(sim::ChipType::PageErase, 0x20000);
    o.chip.pageSize = 16;
    o.chip.image.assign(0x20000, 0x00);
    open(o);
    send(eraseAt(0x0010));
    send(eraseAt(0x8005)); // inside the page at 0x8000, the whole-chip marker on a NOR part
    send(eraseAt(0xFFF0));
    const auto& m = sim::memory(dev);
    EXPECT_EQ(m[0x0F], 0x00);
    EXPECT_EQ(m[0x10], 0xFF);
    EXPECT_EQ(m[0x1F], 0xFF);
    EXPECT_EQ(m[0x20], 0x00);
    EXPECT_EQ(m[0x7FFF], 0x00);
    EXPECT_EQ(m[0x8000], 0xFF);
    EXPECT_EQ(m[0x800F], 0xFF);
    EXPECT_EQ(m[0x8010], 0x00);
    EXPECT_EQ(m[0xFFFF], 0xFF);
    EXPECT_EQ(m[0x1FFF0], 0x00); // the address has no bits above 15
    EXPECT_EQ(sim::firmware(dev).pageErases, (std::vector<std::uint32_t>{0x10, 0x8005, 0xFFF0}));
    EXPECT_EQ(ask(command(10))[0], 0);
}

// ---- robustness ----------------------------------------------------------

TEST_F(Programmer, MalformedBlocksAreRejectedAndChangeNothing)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 64);
    o.chip.image.assign(64, 0x00);
    open(o);

    Block wrongFlag = eraseAt(0x8000);
    wrongFlag[0] = 0;
    EXPECT_EQ(send(wrongFlag), 64);
    Block unknown = command(0x77);
    EXPECT_EQ(send(unknown), 64);
    const unsigned char tiny[1] = {0};
    EXPECT_EQ(usb_bulk_write(handle, 0x04, reinterpret_cast<const char*>(tiny), 1, 5000), 1);
    const Block address = startAt(0x10);
    EXPECT_EQ(usb_bulk_write(handle, 0x04, reinterpret_cast<const char*>(address.data()), 11, 5000), 11);
    EXPECT_EQ(usb_bulk_write(handle, 0x04, nullptr, 0, 5000), 0);

    EXPECT_EQ(sim::firmware(dev).rejectedBlocks, 5);
    EXPECT_EQ(sim::firmware(dev).commands, 0);
    EXPECT_EQ(sim::firmware(dev).address, 0u);
    EXPECT_FALSE(sim::firmware(dev).replyPending);
    EXPECT_EQ(sim::memory(dev), std::vector<std::uint8_t>(64, 0x00));
}

TEST_F(Programmer, RandomGarbageNeverBreaksTheFirmware)
{
    sim::DeviceOptions o = chip(sim::ChipType::PageErase, 4096);
    o.chip.pageSize = 0; // a page size that cannot advance must not hang or divide by zero
    open(o);
    sim::setRecording(sim::Recording::Off);
    std::mt19937 random(1234);
    std::vector<unsigned char> buf(200);
    for (int round = 0; round < 20000; ++round) {
        const int length = int(random() % 200);
        for (auto& byte : buf)
            byte = std::uint8_t(random());
        buf[1] = std::uint8_t(random() % 12); // mostly real command codes
        buf[0] = std::uint8_t(random() % 2);
        const int ep = (random() % 2) ? 0x04 : 0x05;
        ASSERT_EQ(usb_bulk_write(handle, ep, reinterpret_cast<const char*>(buf.data()), length, 5000), length);
        if (random() % 3 == 0) {
            ASSERT_GE(usb_bulk_read(handle, 0x85, reinterpret_cast<char*>(buf.data()), length, 5000), 0);
        }
    }
    EXPECT_EQ(sim::memory(dev).size(), 4096u);
    EXPECT_GT(sim::firmware(dev).commands, 0);
    EXPECT_GT(sim::firmware(dev).rejectedBlocks, 0);
}

TEST_F(Programmer, BadBuffersAndEndpointsAreRefused)
{
    open();
    char buf[8] = {};
    EXPECT_EQ(usb_bulk_write(handle, 0x04, nullptr, 8, 5000), -EINVAL);
    EXPECT_EQ(usb_bulk_read(handle, 0x85, buf, -1, 5000), -EINVAL);
    EXPECT_EQ(usb_bulk_write(handle, 0x02, buf, 8, 5000), -EPIPE);
    EXPECT_EQ(usb_bulk_read(handle, 0x86, buf, 8, 5000), -EPIPE);
    EXPECT_EQ(usb_control_msg(handle, 0x80, 6, 0x0301, 0x0409, nullptr, 8, 1000), -EINVAL);
    EXPECT_EQ(sim::stats(dev).transfers, 0);
}

// ---- descriptors and bus ---------------------------------------------------

TEST_F(Programmer, StringDescriptorsAreUtf16LittleEndian)
{
    sim::DeviceOptions o;
    o.manufacturer = u"A\u4E2D";
    open(o);
    char buf[256];
    ASSERT_EQ(usb_control_msg(handle, 0x80, 6, 0x0301, 0x0409, buf, 256, 1000), 6);
    EXPECT_EQ(std::vector<char>(buf, buf + 6), (std::vector<char>{6, 3, 'A', 0, 0x2D, 0x4E}));
    ASSERT_EQ(usb_control_msg(handle, 0x80, 6, 0x0300, 0, buf, 256, 1000), 4);
    EXPECT_EQ(std::vector<char>(buf, buf + 4), (std::vector<char>{4, 3, 0x09, 0x04}));
    // Another language, an unknown index and a request the device does not know stall.
    EXPECT_EQ(usb_control_msg(handle, 0x80, 6, 0x0302, 0x0407, buf, 256, 1000), -EPIPE);
    EXPECT_EQ(usb_control_msg(handle, 0x80, 6, 0x0309, 0x0409, buf, 256, 1000), -EPIPE);
    EXPECT_EQ(usb_control_msg(handle, 0xC0, 1, 0, 0, buf, 8, 1000), -EPIPE);
    // A buffer shorter than the descriptor gets its first bytes.
    ASSERT_EQ(usb_control_msg(handle, 0x80, 6, 0x0302, 0x0409, buf, 3, 1000), 3);
    EXPECT_EQ(buf[0], 2 + 2 * 17);
    char text[64];
    EXPECT_EQ(usb_get_string_simple(handle, 2, text, sizeof text), 17);
    EXPECT_STREQ(text, "WinUSBComm Device");
}

TEST_F(Programmer, DescriptorTreeCanLackEachLevel)
{
    open();
    const struct usb_device* full = usb_get_busses()->devices;
    ASSERT_NE(full->config, nullptr);
    EXPECT_EQ(full->descriptor.idVendor, 0x1FC8);
    EXPECT_EQ(full->descriptor.idProduct, 0x300B);
    EXPECT_EQ(full->config[0].interface[0].altsetting[0].bNumEndpoints, 3);
    EXPECT_EQ(full->config[0].interface[0].altsetting[0].endpoint[2].bEndpointAddress, 0x85);

    sim::DeviceOptions o;
    o.bus = 1;
    o.tree = sim::Tree::NoConfiguration;
    sim::addDevice(o);
    o.tree = sim::Tree::NoInterface;
    sim::addDevice(o);
    o.tree = sim::Tree::NoAltSetting;
    sim::addDevice(o);
    usb_find_busses();
    usb_find_devices();
    const struct usb_bus* second = usb_get_busses()->next;
    ASSERT_NE(second, nullptr);
    const struct usb_device* d = second->devices;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->config, nullptr);
    EXPECT_EQ(d->descriptor.bNumConfigurations, 0);
    d = d->next;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->config[0].bNumInterfaces, 0);
    EXPECT_EQ(d->config[0].interface, nullptr);
    d = d->next;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->config[0].interface[0].num_altsetting, 0);
    EXPECT_EQ(d->config[0].interface[0].altsetting, nullptr);
    EXPECT_EQ(d->next, nullptr);
}

TEST_F(Programmer, UnpluggedDeviceFailsItsCallsAndLeavesTheNextScan)
{
    open();
    const auto other = sim::addDevice();
    usb_find_busses();
    EXPECT_EQ(usb_find_devices(), 0); // listed devices stay as they were
    sim::unplug(dev);
    char buf[64];
    EXPECT_EQ(usb_bulk_read(handle, 0x85, buf, 64, 5000), -ENODEV);
    EXPECT_EQ(usb_claim_interface(handle, 0), -ENODEV);
    EXPECT_EQ(usb_find_devices(), 1);
    const struct usb_device* listed = usb_get_busses()->devices;
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->next, nullptr);
    EXPECT_EQ(usb_close(handle), 0);
    handle = nullptr;
    EXPECT_EQ(sim::openHandles(dev), 0);
    EXPECT_TRUE(sim::present(other));
}

TEST_F(Programmer, NoBusListBeforeTheFirstScanAndHandlesDieWithAReset)
{
    EXPECT_EQ(usb_get_busses(), nullptr);
    open();
    sim::reset();
    char buf[4];
    EXPECT_EQ(usb_bulk_read(handle, 0x85, buf, 4, 5000), -ENODEV);
    EXPECT_EQ(usb_close(handle), 0);
    handle = nullptr;
    EXPECT_EQ(usb_get_busses(), nullptr);
}

TEST_F(Programmer, OpenAndClaimCanBeRefused)
{
    sim::DeviceOptions o;
    o.refuseOpen = true;
    dev = sim::addDevice(o);
    usb_find_busses();
    usb_find_devices();
    EXPECT_EQ(usb_open(usb_get_busses()->devices), nullptr);
    sim::reset();

    sim::DeviceOptions c;
    c.claimResult = -EBUSY;
    open(c);
    EXPECT_EQ(usb_claim_interface(handle, 0), -EBUSY);
    EXPECT_EQ(sim::claimedInterface(dev), -1);
    EXPECT_NE(std::string(usb_strerror()).find("claim"), std::string::npos);
}

// ---- faults --------------------------------------------------------------

TEST_F(Programmer, FaultsFireAtTheirTransferOnTheirEndpoint)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 256);
    for (int i = 0; i < 256; ++i)
        o.chip.image.push_back(std::uint8_t(i));
    open(o);
    sim::addFault(dev, {sim::FaultKind::Timeout, 2, 0x85});
    ask(startAt(0)); // first 0x85 transfer
    char buf[16];
    EXPECT_EQ(usb_bulk_read(handle, 0x85, buf, 16, 5000), -ETIMEDOUT);
    EXPECT_EQ(usb_bulk_read(handle, 0x85, buf, 16, 5000), 16);
    EXPECT_EQ(buf[0], 0); // the timed-out read moved nothing
    sim::clearFaults(dev);

    sim::Fault corruptWrites{sim::FaultKind::Corrupt, 0, 0x05};
    corruptWrites.xorMask = 0x0F;
    corruptWrites.corruptOffset = 1000; // clamped to the last byte
    sim::addFault(dev, corruptWrites);
    send(startAt(16));
    EXPECT_EQ(writeData({0xFF, 0xFF}), 2);
    EXPECT_EQ(sim::memory(dev)[16], 16);
    EXPECT_EQ(sim::memory(dev)[17], 17 & 0xF0);
    sim::clearFaults(dev);

    sim::addFault(dev, {sim::FaultKind::Short, 0, 0x04, 60}); // every command arrives cut short
    send(startAt(0));
    EXPECT_EQ(sim::firmware(dev).rejectedBlocks, 1);
}

TEST_F(Programmer, UnplugFaultCountsEveryTransfer)
{
    open();
    sim::addFault(dev, {sim::FaultKind::Unplug, 3});
    char buf[256];
    EXPECT_EQ(usb_control_msg(handle, 0x80, 6, 0x0301, 0x0409, buf, 256, 1000), 2 + 2 * 6);
    EXPECT_EQ(send(command(10)), 64);
    EXPECT_EQ(usb_bulk_read(handle, 0x85, buf, 64, 5000), -ENODEV);
    EXPECT_FALSE(sim::present(dev));
    EXPECT_EQ(send(command(10)), -ENODEV);
    usb_find_busses();
    usb_find_devices();
    EXPECT_EQ(usb_get_busses()->devices, nullptr);
}

// ---- call log ------------------------------------------------------------

TEST_F(Programmer, RecordingLevelsDecideWhatIsKept)
{
    sim::DeviceOptions o = chip(sim::ChipType::Nor, 8192);
    open(o);
    sim::clearLog();
    ask(startAt(0));
    readData(4096);
    const auto& full = sim::log();
    ASSERT_EQ(full.size(), 3u);
    EXPECT_EQ(full[0].data.size(), 64u);  // the command block
    EXPECT_EQ(full[1].data.size(), 64u);  // its reply
    EXPECT_TRUE(full[2].data.empty());    // data is not copied
    EXPECT_EQ(full[2].headLength, 8);
    EXPECT_EQ(full[2].head[0], 0xFF);
    EXPECT_EQ(full[2].result, 4096);

    sim::clearLog();
    sim::setRecording(sim::Recording::Calls);
    ask(startAt(0));
    ASSERT_EQ(sim::log().size(), 2u);
    EXPECT_TRUE(sim::log()[0].data.empty());
    EXPECT_EQ(sim::log()[0].headLength, 0);
    EXPECT_EQ(sim::log()[0].length, 64);

    sim::clearLog();
    sim::setRecording(sim::Recording::Off);
    ask(startAt(0));
    readData(4096);
    sim::notePause(50);
    EXPECT_TRUE(sim::log().empty());
    const sim::Stats stats = sim::stats(dev);
    EXPECT_EQ(stats.transfers, 8);
    EXPECT_EQ(stats.bytesIn, 64 + 4096 + 64 + 64 + 4096);
    EXPECT_EQ(stats.bytesOut, 3 * 64);
}

TEST(SimApi, UnknownDeviceIsAnError)
{
    sim::reset();
    EXPECT_THROW(sim::memory(42), std::out_of_range);
    EXPECT_THROW(sim::addFault(42, {}), std::out_of_range);
}

// ---- configuration from the environment -----------------------------------

class Environment : public ::testing::Test {
protected:
    const char* names[11] = {"QV750_SIM_CHIP_ID",     "QV750_SIM_CHIP_SIZE",  "QV750_SIM_PAGE_SIZE",
                             "QV750_SIM_CHIP_TYPE",   "QV750_SIM_IMAGE",      "QV750_SIM_ABSENT",
                             "QV750_SIM_ERASE_POLLS", "QV750_SIM_LATENCY_US", "QV750_SIM_UNPLUG_AT",
                             "QV750_SIM_FAULTS",      nullptr};
    void SetUp() override { clear(); }
    void TearDown() override
    {
        clear();
        sim::reset();
    }
    void clear()
    {
        for (const char** n = names; *n; ++n)
            unsetenv(*n);
    }
    static const struct usb_device* onlyDevice()
    {
        usb_find_busses();
        usb_find_devices();
        const struct usb_bus* bus = usb_get_busses();
        return bus == nullptr ? nullptr : bus->devices;
    }
    static usb_dev_handle* openOnlyDevice() { return usb_open(const_cast<struct usb_device*>(onlyDevice())); }
};

// A temporary file holding the given bytes, removed at the end of the test.
struct TempImage {
    explicit TempImage(const std::vector<std::uint8_t>& bytes)
    {
        const int fd = mkstemp(path);
        FILE* f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
        if (f == nullptr || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
            ADD_FAILURE() << "cannot write " << path;
        if (f != nullptr)
            fclose(f);
    }
    ~TempImage() { std::remove(path); }
    char path[32] = "/tmp/qv750simXXXXXX";
};

TEST_F(Environment, DefaultsDescribeAnEightMegabyteNorFlash)
{
    EXPECT_TRUE(sim::configureFromEnvironment().empty());
    const struct usb_device* d = onlyDevice();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->next, nullptr);
    usb_dev_handle* h = usb_open(const_cast<struct usb_device*>(d));
    ASSERT_NE(h, nullptr);
    const Block b = askOf(h, command(9));
    EXPECT_EQ(b[0], 0xEF);
    EXPECT_EQ(b[1], 0x40);
    EXPECT_EQ(b[2], 0x17);
    EXPECT_EQ(b[4], 1);
    usb_close(h);
    EXPECT_TRUE(sim::log().empty()); // a long program run must not grow a log
}

TEST_F(Environment, VariablesShapeTheChip)
{
    const TempImage image({1, 2, 3, 4, 5});
    setenv("QV750_SIM_CHIP_ID", "0xc22017", 1);
    setenv("QV750_SIM_CHIP_SIZE", "64", 1);
    setenv("QV750_SIM_PAGE_SIZE", "16", 1);
    setenv("QV750_SIM_CHIP_TYPE", "1", 1);
    setenv("QV750_SIM_IMAGE", image.path, 1);
    setenv("QV750_SIM_UNPLUG_AT", "7", 1);
    EXPECT_TRUE(sim::configureFromEnvironment().empty());

    usb_dev_handle* h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    const Block b = askOf(h, command(9));
    EXPECT_EQ(b[0], 0xC2);
    EXPECT_EQ(b[1], 0x20);
    EXPECT_EQ(b[2], 0x17);
    EXPECT_EQ(b[4], 1);

    // With 16-byte pages, erasing the second page keeps the image in the first.
    ASSERT_EQ(sendTo(h, eraseAt(0x10)), 64);
    askOf(h, startAt(0));
    EXPECT_EQ(readFrom(h, 8), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF}));

    // The seventh transfer pulls the programmer out.
    EXPECT_EQ(sendTo(h, command(10)), -ENODEV);
    usb_close(h);
    EXPECT_EQ(onlyDevice(), nullptr);
}

TEST_F(Environment, ImageIsCutToTheChipAndTypesAreRead)
{
    const TempImage image({1, 2, 3, 4, 5});
    setenv("QV750_SIM_CHIP_SIZE", "4", 1);
    setenv("QV750_SIM_CHIP_TYPE", "24", 1);
    setenv("QV750_SIM_IMAGE", image.path, 1);
    EXPECT_TRUE(sim::configureFromEnvironment().empty());

    usb_dev_handle* h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    askOf(h, startAt(0));
    EXPECT_EQ(readFrom(h, 6), (std::vector<std::uint8_t>{1, 2, 3, 4, 0xFF, 0xFF}));
    const Block eeprom = askOf(h, command(9));
    EXPECT_EQ(eeprom[0], 4);
    EXPECT_EQ(eeprom[4], 2);
    usb_close(h);

    setenv("QV750_SIM_CHIP_TYPE", "none", 1);
    unsetenv("QV750_SIM_IMAGE");
    EXPECT_TRUE(sim::configureFromEnvironment().empty());
    h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(askOf(h, command(9))[4], 0);
    usb_close(h);
}

TEST_F(Environment, EndlessImageFileIsReadOnlyUpToTheChipSize)
{
    setenv("QV750_SIM_CHIP_SIZE", "64", 1);
    setenv("QV750_SIM_IMAGE", "/dev/zero", 1);
    EXPECT_TRUE(sim::configureFromEnvironment().empty());
    usb_dev_handle* h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    askOf(h, startAt(0));
    std::vector<std::uint8_t> expected(64, 0x00);
    expected.resize(66, 0xFF);
    EXPECT_EQ(readFrom(h, 66), expected);
    usb_close(h);
}

TEST_F(Environment, ErasePollsAndLatencyAreApplied)
{
    setenv("QV750_SIM_CHIP_SIZE", "1024", 1);
    setenv("QV750_SIM_ERASE_POLLS", "1", 1);
    setenv("QV750_SIM_LATENCY_US", "3000", 1);
    EXPECT_TRUE(sim::configureFromEnvironment().empty());
    usb_dev_handle* h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(sendTo(h, eraseAt(0x8000)), 64);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::microseconds(3000));
    EXPECT_EQ(askOf(h, command(10))[0], 1);
    EXPECT_EQ(askOf(h, command(10))[0], 0);
    usb_close(h);
}

TEST_F(Environment, AbsentProgrammerLeavesTheBusEmpty)
{
    setenv("QV750_SIM_ABSENT", "1", 1);
    EXPECT_TRUE(sim::configureFromEnvironment().empty());
    EXPECT_EQ(onlyDevice(), nullptr);
}

TEST_F(Environment, FaultsFireAtTheirTransferOnTheirEndpoint)
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(std::uint8_t(i));
    const TempImage image(bytes);
    setenv("QV750_SIM_CHIP_SIZE", "256", 1);
    setenv("QV750_SIM_IMAGE", image.path, 1);
    setenv("QV750_SIM_FAULTS",
           " corrupt , at=1 , ep=133 , mask=0xF0 , offset=3 ;; short,ep=0x85,at=2,by=10; timeout,at=2,ep=0x04 ;", 1);
    setenv("QV750_SIM_UNPLUG_AT", "7", 1); // every endpoint, beside the list
    EXPECT_TRUE(sim::configureFromEnvironment().empty());

    usb_dev_handle* h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    const Block reply = askOf(h, startAt(0)); // transfers 1 and 2
    EXPECT_EQ(reply[1], 5);
    EXPECT_EQ(reply[3], 0xF0);
    EXPECT_EQ(reply[4], 0);
    char buf[16];
    EXPECT_EQ(usb_bulk_read(h, 0x85, buf, 16, 5000), 6);
    EXPECT_EQ(buf[5], 5);
    EXPECT_EQ(sendTo(h, command(10)), -ETIMEDOUT);
    EXPECT_EQ(readFrom(h, 2), (std::vector<std::uint8_t>{6, 7}));
    EXPECT_EQ(usb_control_msg(h, 0x80, 6, 0x0302, 0x0409, buf, 16, 1000), 16);
    EXPECT_EQ(usb_control_msg(h, 0x80, 6, 0x0302, 0x0409, buf, 16, 1000), -ENODEV);
    usb_close(h);
    EXPECT_EQ(onlyDevice(), nullptr);

    // Without at and ep a fault takes every transfer, control ones too.
    unsetenv("QV750_SIM_UNPLUG_AT");
    setenv("QV750_SIM_FAULTS", "timeout", 1);
    EXPECT_TRUE(sim::configureFromEnvironment().empty());
    h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb_control_msg(h, 0x80, 6, 0x0301, 0x0409, buf, 16, 1000), -ETIMEDOUT);
    EXPECT_EQ(sendTo(h, command(10)), -ETIMEDOUT);
    EXPECT_EQ(sendTo(h, command(10)), -ETIMEDOUT);
    EXPECT_EQ(usb_bulk_read(h, 0x85, buf, 16, 5000), -ETIMEDOUT);
    usb_close(h);
}

TEST_F(Environment, MalformedFaultEntriesAreReportedAndTheOthersApplied)
{
    const std::vector<std::string> bad = {"timeout,by=3", "sputter",      "short,by=0",  "corrupt,mask=0x100",
                                          "short,at=-1",  "unplug,ep=0x185", "corrupt,offset", "timeout,3",
                                          "corrupt,mask=0"};
    std::string list = "timeout,at=2,ep=0x85";
    for (const std::string& entry : bad)
        list += ";" + entry;
    setenv("QV750_SIM_FAULTS", list.c_str(), 1);
    const auto errors = sim::configureFromEnvironment();
    ASSERT_EQ(errors.size(), bad.size());
    for (std::size_t i = 0; i < bad.size(); ++i)
        EXPECT_EQ(errors[i].rfind("QV750_SIM_FAULTS=" + bad[i] + ": ", 0), 0u) << errors[i];

    usb_dev_handle* h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    askOf(h, startAt(0));
    char buf[16];
    EXPECT_EQ(usb_bulk_read(h, 0x85, buf, 16, 5000), -ETIMEDOUT);
    EXPECT_EQ(usb_bulk_read(h, 0x85, buf, 16, 5000), 16);
    usb_close(h);
}

TEST_F(Environment, BadValuesAreReportedAndTheirDefaultsUsed)
{
    setenv("QV750_SIM_CHIP_ID", "EF40G7", 1);
    setenv("QV750_SIM_CHIP_SIZE", "-5", 1);
    setenv("QV750_SIM_PAGE_SIZE", "70000", 1);
    setenv("QV750_SIM_CHIP_TYPE", "nor", 1);
    setenv("QV750_SIM_IMAGE", "/nonexistent/qv750/image.bin", 1);
    setenv("QV750_SIM_LATENCY_US", "fast", 1);
    const auto errors = sim::configureFromEnvironment();
    ASSERT_EQ(errors.size(), 6u);
    for (const char* name : {"QV750_SIM_CHIP_ID", "QV750_SIM_CHIP_SIZE", "QV750_SIM_PAGE_SIZE",
                             "QV750_SIM_CHIP_TYPE", "QV750_SIM_IMAGE", "QV750_SIM_LATENCY_US"}) {
        bool named = false;
        for (const auto& e : errors)
            named = named || e.rfind(name, 0) == 0;
        EXPECT_TRUE(named) << name;
    }
    usb_dev_handle* h = openOnlyDevice();
    ASSERT_NE(h, nullptr);
    const Block b = askOf(h, command(9));
    EXPECT_EQ(b[0], 0xEF);
    EXPECT_EQ(b[2], 0x17);
    usb_close(h);
}

} // namespace
