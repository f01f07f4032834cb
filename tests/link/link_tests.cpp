#include "link/usb_library.h"
#include "link/usbasp.h"
#include "sim/sim.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <dlfcn.h>
#include <iterator>
#include <string>
#include <usb.h>

namespace {

using sim::Call;
using sim::CallRecord;

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::reset();
        fakes.system.onSleep = [](int ms) { sim::notePause(ms); };
    }
    void TearDown() override
    {
        link.usbasp_bulk_close();
        sim::reset();
    }

    // The log from the first Open on, as (call, device) pairs for order checks.
    static std::vector<std::pair<Call, int>> openCloseSequence()
    {
        std::vector<std::pair<Call, int>> out;
        for (const CallRecord& r : sim::log())
            if (r.call == Call::Open || r.call == Call::Close || r.call == Call::Claim || r.call == Call::Release)
                out.emplace_back(r.call, r.device);
        return out;
    }

    // The first calls of the log: a search starts with the library set up and the bus rescanned.
    static std::vector<Call> firstCalls(std::size_t n)
    {
        std::vector<Call> out;
        for (const CallRecord& r : sim::log())
            if (out.size() < n)
                out.push_back(r.call);
        return out;
    }
    static inline const std::vector<Call> rescan = {Call::Init, Call::FindBusses, Call::FindDevices, Call::GetBusses};

    static std::vector<CallRecord> transfersAndPauses()
    {
        std::vector<CallRecord> out;
        for (const CallRecord& r : sim::log())
            if (r.call == Call::BulkWrite || r.call == Call::BulkRead || r.call == Call::Pause ||
                r.call == Call::Control)
                out.push_back(r);
        return out;
    }

    testsupport::ScopedPlatformFakes fakes;
    TUsbBulk link;
};

sim::DeviceOptions withManufacturer(std::u16string text)
{
    sim::DeviceOptions o;
    o.manufacturer = std::move(text);
    return o;
}

sim::DeviceOptions withProduct(std::u16string text)
{
    sim::DeviceOptions o;
    o.product = std::move(text);
    return o;
}

// ---- opening -------------------------------------------------------------

TEST_F(LinkTest, OpensTheProgrammerAndClaimsItsInterface)
{
    sim::DeviceOptions o;
    o.interfaceNumber = 2;
    const auto dev = sim::addDevice(o);

    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(TUsbBulk::ClaimedInterface, 2);
    EXPECT_EQ(sim::claimedInterface(dev), 2);
    EXPECT_EQ(sim::openHandles(dev), 1);

    // Both strings in US English, 1 s each, into a 256-byte buffer.
    const auto control = sim::calls(Call::Control);
    ASSERT_EQ(control.size(), 2u);
    EXPECT_EQ(control[0].value, 0x0301);
    EXPECT_EQ(control[1].value, 0x0302);
    for (const CallRecord& r : control) {
        EXPECT_EQ(r.requestType, 0x80);
        EXPECT_EQ(r.request, 6);
        EXPECT_EQ(r.index, 0x0409);
        EXPECT_EQ(r.timeout, 1000);
        EXPECT_EQ(r.length, 256);
    }
    // The library is initialised and the bus rescanned before the search.
    EXPECT_EQ(firstCalls(4), rescan);
}

TEST_F(LinkTest, NoProgrammerMeansZeroAndAProgrammerPluggedInLaterIsFound)
{
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
    EXPECT_FALSE(link.isOpen());

    const auto dev = sim::addDevice();
    sim::clearLog();
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    EXPECT_EQ(sim::openHandles(dev), 1);
    // Every open initialises the library and rescans again.
    EXPECT_EQ(firstCalls(4), rescan);
}

TEST_F(LinkTest, FirstDeviceThatPassesEveryCheckWinsAndTheSearchStops)
{
    sim::DeviceOptions first;
    first.interfaceNumber = 3;
    const auto a = sim::addDevice(first);
    const auto b = sim::addDevice();

    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    EXPECT_EQ(sim::openHandles(a), 1);
    EXPECT_EQ(sim::claimedInterface(a), 3);
    EXPECT_EQ(sim::openHandles(b), 0);
    EXPECT_EQ(sim::calls(Call::Open).size(), 1u);
    EXPECT_EQ(sim::calls(Call::Claim).size(), 1u);
}

TEST_F(LinkTest, DevicesWithOtherIdsAreNotEvenOpened)
{
    sim::DeviceOptions otherVendor;
    otherVendor.vendorId = 0x1FC9;
    sim::DeviceOptions otherProduct;
    otherProduct.productId = 0x300C;
    sim::addDevice(otherVendor);
    sim::addDevice(otherProduct);

    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
    EXPECT_TRUE(sim::calls(Call::Open).empty());
}

TEST_F(LinkTest, FirstDeviceWithAnotherManufacturerIsClosedAndTheSecondOpened)
{
    const auto first = sim::addDevice(withManufacturer(u"Someone Else"));
    const auto second = sim::addDevice();

    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    EXPECT_EQ(sim::openHandles(first), 0);
    EXPECT_EQ(sim::openHandles(second), 1);
    const std::vector<std::pair<Call, int>> expected = {
        {Call::Open, first}, {Call::Close, first}, {Call::Open, second}, {Call::Claim, second}};
    EXPECT_EQ(openCloseSequence(), expected);
    // A wrong manufacturer ends the checks: the first device's product string is never asked for.
    const auto control = sim::calls(Call::Control);
    ASSERT_EQ(control.size(), 3u);
    EXPECT_EQ(control[0].device, first);
    EXPECT_EQ(control[0].value, 0x0301);
    EXPECT_EQ(control[1].device, second);
    EXPECT_EQ(control[2].device, second);
}

TEST_F(LinkTest, DevicesOnEveryBusAreSearchedInBusOrder)
{
    sim::DeviceOptions late;
    late.bus = 3;
    const auto onBus3 = sim::addDevice(late);
    sim::DeviceOptions early = withProduct(u"Another Device");
    early.bus = 1;
    const auto onBus1 = sim::addDevice(early);

    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    const auto opens = sim::calls(Call::Open);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].device, onBus1);
    EXPECT_EQ(opens[1].device, onBus3);
}

TEST_F(LinkTest, StringsMustMatchByteForByte)
{
    // Case, a trailing blank and a prefix all differ from the expected texts.
    const std::u16string products[] = {u"WinUSBComm device", u"WINUSBCOMM DEVICE", u"WinUSBComm Device ",
                                       u"WinUSBComm", u""};
    for (const auto& product : products) {
        sim::reset();
        const auto dev = sim::addDevice(withProduct(product));
        EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
        EXPECT_FALSE(link.isOpen());
        EXPECT_EQ(sim::openHandles(dev), 0);
    }

    // The same for the manufacturer, whatever name the build was configured with.
    const std::string expected = ExpectedManufacturer();
    ASSERT_FALSE(expected.empty());
    std::string otherCase = expected;
    for (char& c : otherCase)
        c = std::islower(static_cast<unsigned char>(c)) ? char(std::toupper(static_cast<unsigned char>(c)))
                                                        : char(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> manufacturers = {expected + " ", expected.substr(0, expected.size() - 1)};
    if (otherCase != expected)
        manufacturers.push_back(otherCase);
    for (const std::string& manufacturer : manufacturers) {
        sim::reset();
        const auto dev = sim::addDevice(withManufacturer(std::u16string(manufacturer.begin(), manufacturer.end())));
        EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0) << manufacturer;
        EXPECT_EQ(sim::openHandles(dev), 0) << manufacturer;
    }
}

TEST_F(LinkTest, CharacterAboveLatin1IsNotTakenForItsLowByte)
{
    // U+0120 has the low byte of a blank; it must read as '?', so no match.
    const auto dev = sim::addDevice(withProduct(u"WinUSBComm\u0120Device"));
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
    EXPECT_EQ(sim::openHandles(dev), 0);
}

TEST_F(LinkTest, RefusedOpenOrClaimMovesOnToTheNextDevice)
{
    sim::DeviceOptions refusesOpen;
    refusesOpen.refuseOpen = true;
    sim::DeviceOptions refusesClaim;
    refusesClaim.claimResult = -EBUSY;
    const auto a = sim::addDevice(refusesOpen);
    const auto b = sim::addDevice(refusesClaim);
    const auto c = sim::addDevice();

    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    EXPECT_EQ(sim::openHandles(a), 0);
    EXPECT_EQ(sim::openHandles(b), 0);
    EXPECT_EQ(sim::claimedInterface(b), -1);
    EXPECT_EQ(sim::openHandles(c), 1);
}

TEST_F(LinkTest, OnlyDeviceRefusingTheClaimLeavesTheLinkClosed)
{
    sim::DeviceOptions o;
    o.claimResult = -EBUSY;
    const auto dev = sim::addDevice(o);
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(sim::openHandles(dev), 0);
}

TEST_F(LinkTest, UnreadableStringRejectsTheDevice)
{
    const auto broken = sim::addDevice();
    sim::addFault(broken, {sim::FaultKind::Timeout, 2, 0}); // the product string read
    const auto good = sim::addDevice();

    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    EXPECT_EQ(sim::openHandles(broken), 0);
    EXPECT_EQ(sim::openHandles(good), 1);
}

TEST_F(LinkTest, DeviceWithoutADescriptorLevelIsSkippedNotDereferenced)
{
    for (sim::Tree tree : {sim::Tree::NoConfiguration, sim::Tree::NoInterface, sim::Tree::NoAltSetting}) {
        sim::reset();
        sim::DeviceOptions empty;
        empty.tree = tree;
        const auto bare = sim::addDevice(empty);
        sim::DeviceOptions good;
        good.interfaceNumber = 1;
        const auto full = sim::addDevice(good);

        ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1) << int(tree);
        EXPECT_EQ(sim::openHandles(bare), 0) << int(tree);
        EXPECT_EQ(sim::openHandles(full), 1) << int(tree);
        EXPECT_EQ(TUsbBulk::ClaimedInterface, 1);
        link.usbasp_bulk_close();
    }
}

TEST_F(LinkTest, OpeningAgainReleasesAndClosesTheHandleStillHeld)
{
    const auto dev = sim::addDevice();
    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    sim::clearLog();

    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    EXPECT_EQ(sim::openHandles(dev), 1);
    const std::vector<std::pair<Call, int>> expected = {
        {Call::Release, dev}, {Call::Close, dev}, {Call::Open, dev}, {Call::Claim, dev}};
    EXPECT_EQ(openCloseSequence(), expected);
}

TEST_F(LinkTest, UnpluggedProgrammerIsNotFoundAgain)
{
    const auto dev = sim::addDevice();
    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    link.usbasp_bulk_close();
    sim::unplug(dev);
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
    EXPECT_EQ(sim::calls(Call::Open).size(), 1u);
}

// ---- the USB library -----------------------------------------------------

// Puts the functions back as the program finds them, whatever a test loaded.
struct LibraryRestore {
    ~LibraryRestore() { usblib::load(); }
};

TEST_F(LinkTest, WithoutTheUsbLibraryOpeningFailsAndNothingElseHappens)
{
    const sim::DeviceId dev = sim::addDevice();
    LibraryRestore restore;
    ASSERT_EQ(usblib::load("libqv750-no-such-library.so.0", false), nullptr);
    EXPECT_EQ(usblib::functions(), nullptr); // the failure is kept, not retried behind our back

    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
    EXPECT_FALSE(link.isOpen());
    EXPECT_TRUE(sim::log().empty()); // not even usb_init
    EXPECT_EQ(sim::openHandles(dev), 0);

    std::array<unsigned char, 64> b{};
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 0), -ENODEV);
    link.usbasp_bulk_close();
    EXPECT_TRUE(sim::log().empty());
    EXPECT_TRUE(fakes.system.sleeps.empty());
}

TEST(UsbLibrary, FunctionsComeFromTheGlobalScopeFirstThenFromTheSharedObject)
{
    LibraryRestore restore;
    // This test links the simulator, as a preloaded one sits in the program.
    const usblib::Functions* linked = usblib::load();
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->usb_init, &::usb_init);
    EXPECT_EQ(linked->usb_bulk_read, &::usb_bulk_read);
    EXPECT_EQ(linked->usb_strerror, &::usb_strerror);

    const usblib::Functions* installed = usblib::load(usblib::DefaultLibrary, false);
    ASSERT_NE(installed, nullptr) << usblib::DefaultLibrary << " is not installed";
    for (void* f : {reinterpret_cast<void*>(installed->usb_init), reinterpret_cast<void*>(installed->usb_bulk_write),
                    reinterpret_cast<void*>(installed->usb_strerror)}) {
        Dl_info info{};
        ASSERT_NE(dladdr(f, &info), 0);
        EXPECT_NE(std::string(info.dli_fname).find("libusb-0.1.so"), std::string::npos) << info.dli_fname;
    }

    // A library that loads but lacks the functions is no USB library.
    EXPECT_EQ(usblib::load("libc.so.6", false), nullptr);
    EXPECT_EQ(usblib::functions(), nullptr);
}

// ---- string descriptors --------------------------------------------------

class StringTest : public LinkTest {
protected:
    // A bus with only this device, opened directly through the library.
    void openOnly(const sim::DeviceOptions& options)
    {
        if (handle != nullptr)
            usb_close(handle);
        handle = nullptr;
        sim::reset();
        device = sim::addDevice(options);
        usb_find_busses();
        usb_find_devices();
        handle = usb_open(usb_get_busses()->devices);
        ASSERT_NE(handle, nullptr);
    }
    // Answers string index 5 with `raw` and reads it with a buffer of `buflen`.
    int read(std::vector<std::uint8_t> raw, int buflen = 256)
    {
        sim::DeviceOptions o;
        o.rawStrings[5] = std::move(raw);
        openOnly(o);
        text.assign(300, 'X');
        return link.usbGetStringAscii(handle, 5, 0x0409, text.data(), buflen);
    }
    void TearDown() override
    {
        if (handle != nullptr)
            usb_close(handle);
        LinkTest::TearDown();
    }

    sim::DeviceId device = 0;
    usb_dev_handle* handle = nullptr;
    std::string text;
};

TEST_F(StringTest, ConvertsUtf16ToLatin1WithQuestionMarks)
{
    EXPECT_EQ(read({10, 3, 'A', 0, 0x2D, 0x4E, 0xE9, 0x00, 'B', 0}), 4);
    EXPECT_STREQ(text.c_str(), "A?\xE9"
                               "B");
}

TEST_F(StringTest, RepliesThatAreNoStringDescriptorGiveZeroAndAnEmptyText)
{
    EXPECT_EQ(read({}), 0);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(read({4}), 0); // one byte: no type byte at all
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(read({6, 2, 'A', 0, 'B', 0}), 0); // a configuration descriptor
    EXPECT_EQ(text[0], '\0');
}

TEST_F(StringTest, NeverReadsPastTheBytesReceivedOrTheDescriptorLength)
{
    // The descriptor claims 16 bytes but only 6 arrive.
    EXPECT_EQ(read({16, 3, 'A', 0, 'B', 0}), 2);
    EXPECT_STREQ(text.c_str(), "AB");
    // The descriptor is shorter than what arrived: the rest is not text.
    EXPECT_EQ(read({4, 3, 'A', 0, 'B', 0, 'C', 0}), 1);
    EXPECT_STREQ(text.c_str(), "A");
    // An odd length drops the half code unit.
    EXPECT_EQ(read({5, 3, 'A', 0, 'B'}), 1);
    EXPECT_STREQ(text.c_str(), "A");
    // A header that claims less than itself.
    EXPECT_EQ(read({1, 3, 'A', 0}), 0);
    EXPECT_EQ(text[0], '\0');
}

TEST_F(StringTest, ShortTransferCutsTheText)
{
    sim::DeviceOptions o;
    o.rawStrings[5] = {6, 3, 'A', 0, 'B', 0};
    openOnly(o);
    sim::addFault(device, {sim::FaultKind::Short, 0, 0, 2});
    char buf[16];
    EXPECT_EQ(link.usbGetStringAscii(handle, 5, 0x0409, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "A");
}

TEST_F(StringTest, TextStopsAtTheBufferAndAtAZeroCodeUnit)
{
    EXPECT_EQ(read({10, 3, 'A', 0, 'B', 0, 'C', 0, 'D', 0}, 3), 2);
    EXPECT_EQ(text.substr(0, 3), std::string("AB\0", 3));
    EXPECT_EQ(text[3], 'X'); // nothing written past buflen

    EXPECT_EQ(read({10, 3, 'A', 0, 'B', 0, 'C', 0, 'D', 0}, 1), 0);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], 'X');

    EXPECT_EQ(read({8, 3, 'A', 0, 0, 0, 'C', 0}), 1);
    EXPECT_STREQ(text.c_str(), "A");
}

TEST_F(StringTest, TransferErrorIsPassedOn)
{
    openOnly({});
    sim::addFault(device, {sim::FaultKind::Timeout});
    char buf[8] = "zzz";
    EXPECT_EQ(link.usbGetStringAscii(handle, 1, 0x0409, buf, sizeof buf), -ETIMEDOUT);
    EXPECT_EQ(buf[0], '\0');
}

// ---- transfers -----------------------------------------------------------

class TransferTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        sim::DeviceOptions o;
        o.chip.size = 4096;
        for (int i = 0; i < 4096; ++i)
            o.chip.image.push_back(std::uint8_t(i * 7));
        dev = sim::addDevice(o);
        ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
        sim::clearLog();
    }

    static std::array<unsigned char, 64> block(int code, int flag = 0)
    {
        std::array<unsigned char, 64> b{};
        b[0] = std::uint8_t(flag);
        b[1] = std::uint8_t(code);
        return b;
    }

    sim::DeviceId dev = 0;
};

TEST_F(TransferTest, CommandWithoutReadBackIsOneTransferAndNoPause)
{
    auto b = block(8, 1);
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 0), 64);
    const auto seen = transfersAndPauses();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].call, Call::BulkWrite);
    EXPECT_EQ(seen[0].endpoint, 0x04);
    EXPECT_EQ(seen[0].length, 64);
    EXPECT_EQ(seen[0].timeout, 5000);
    EXPECT_TRUE(fakes.system.sleeps.empty());
    EXPECT_EQ(seen[0].data, std::vector<std::uint8_t>(b.begin(), b.end()));
}

TEST_F(TransferTest, CommandWithReadBackWaitsThenReplyReplacesTheWholeBlock)
{
    auto b = block(9);
    b[2] = 0x33;
    std::fill(b.begin() + 17, b.end(), 0xAA);
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 1), 64);

    const auto seen = transfersAndPauses();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].call, Call::BulkWrite);
    EXPECT_EQ(seen[1].call, Call::Pause);
    EXPECT_EQ(seen[1].length, 50);
    EXPECT_EQ(seen[2].call, Call::BulkRead);
    EXPECT_EQ(seen[2].endpoint, 0x85);
    EXPECT_EQ(seen[2].length, 64);
    EXPECT_EQ(seen[2].timeout, 5000);
    EXPECT_EQ(fakes.system.sleeps, std::vector<int>{50});

    std::array<unsigned char, 64> reply{};
    reply[0] = 0xEF;
    reply[1] = 0x40;
    reply[2] = 0x17;
    reply[4] = 1;
    EXPECT_EQ(b, reply);
}

TEST_F(TransferTest, ReadBackHappensEvenWhenTheWriteFailed)
{
    sim::addFault(dev, {sim::FaultKind::Timeout, 1, 0x04});
    auto b = block(10);
    b[5] = 0x55;
    // The failed write is what the caller hears about, though the read was made.
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 1), -ETIMEDOUT);
    const auto reads = sim::calls(Call::BulkRead);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(sim::calls(Call::BulkWrite)[0].result, -ETIMEDOUT);
}

TEST_F(TransferTest, ShortCommandWriteIsReportedAfterTheReadBack)
{
    sim::Fault fault{sim::FaultKind::Short, 1, 0x04};
    fault.shortBy = 4;
    sim::addFault(dev, fault);
    auto b = block(10);
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 1), 60);
    EXPECT_EQ(sim::calls(Call::BulkRead).size(), 1u);
}

TEST_F(TransferTest, ShortCommandWriteIsReportedEvenWhenTheReadBackAlsoFails)
{
    sim::Fault cut{sim::FaultKind::Short, 1, 0x04};
    cut.shortBy = 4;
    sim::addFault(dev, cut);
    sim::addFault(dev, {sim::FaultKind::Timeout, 1, 0x85});
    auto b = block(10);
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 1), 60);
    const auto reads = sim::calls(Call::BulkRead);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].result, -ETIMEDOUT);
}

TEST_F(TransferTest, CommandResultIsTheLastTransfer)
{
    sim::addFault(dev, {sim::FaultKind::Timeout, 1, 0x85});
    auto b = block(10);
    const auto before = b;
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 1), -ETIMEDOUT);
    EXPECT_EQ(b, before); // a failed read-back leaves the block as it was
}

TEST_F(TransferTest, DataMovesInOneTransferOnItsEndpoint)
{
    auto address = block(5);
    ASSERT_EQ(link.usbasp_bulk_cmd(address.data(), 64, 1), 64);
    std::vector<unsigned char> in(4096);
    EXPECT_EQ(link.usbasp_bulk_read(in.data(), 4096), 4096);
    EXPECT_TRUE(std::equal(in.begin(), in.end(), sim::memory(dev).begin()));

    std::vector<unsigned char> out(300, 0x0F);
    ASSERT_EQ(link.usbasp_bulk_cmd(address.data(), 64, 0), 64);
    EXPECT_EQ(link.usbasp_bulk_write(out.data(), 300), 300);

    const auto reads = sim::calls(Call::BulkRead);
    const auto writes = sim::calls(Call::BulkWrite);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].endpoint, 0x85);
    EXPECT_EQ(reads[1].length, 4096);
    EXPECT_EQ(reads[1].timeout, 5000);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[2].endpoint, 0x05);
    EXPECT_EQ(writes[2].length, 300);
    EXPECT_EQ(writes[2].timeout, 5000);
    EXPECT_EQ(fakes.system.sleeps, std::vector<int>{50}); // only the first command's read-back
    EXPECT_EQ(sim::memory(dev)[1], std::uint8_t(7 & 0x0F));
}

TEST_F(TransferTest, CloseReleasesThenClosesAndASecondCloseDoesNothing)
{
    link.usbasp_bulk_close();
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(sim::openHandles(dev), 0);
    EXPECT_EQ(sim::claimedInterface(dev), -1);
    const std::vector<std::pair<Call, int>> expected = {{Call::Release, dev}, {Call::Close, dev}};
    EXPECT_EQ(openCloseSequence(), expected);

    sim::clearLog();
    link.usbasp_bulk_close();
    EXPECT_TRUE(sim::log().empty());
}

TEST_F(TransferTest, TimeoutShortAndCorruptTransfersComeBackAsTheyHappened)
{
    auto address = block(5);
    link.usbasp_bulk_cmd(address.data(), 64, 1);
    sim::addFault(dev, {sim::FaultKind::Timeout, 1, 0x85});
    sim::addFault(dev, {sim::FaultKind::Short, 2, 0x85, 10});
    sim::Fault corrupt{sim::FaultKind::Corrupt, 3, 0x85};
    corrupt.xorMask = 0x80;
    corrupt.corruptOffset = 5;
    sim::addFault(dev, corrupt);

    std::vector<unsigned char> buf(64, 0x11);
    EXPECT_EQ(link.usbasp_bulk_read(buf.data(), 64), -ETIMEDOUT);
    EXPECT_EQ(buf, std::vector<unsigned char>(64, 0x11));

    EXPECT_EQ(link.usbasp_bulk_read(buf.data(), 64), 54);
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 54, sim::memory(dev).begin()));
    EXPECT_EQ(buf[60], 0x11);

    EXPECT_EQ(link.usbasp_bulk_read(buf.data(), 64), 64);
    EXPECT_EQ(buf[5], sim::memory(dev)[54 + 5] ^ 0x80);
    EXPECT_EQ(buf[6], sim::memory(dev)[54 + 6]);
}

TEST_F(TransferTest, UnplugMidStreamFailsThatAndEveryLaterCall)
{
    sim::addFault(dev, {sim::FaultKind::Unplug, 2, 0x85});
    auto address = block(5);
    EXPECT_EQ(link.usbasp_bulk_cmd(address.data(), 64, 1), 64);
    std::vector<unsigned char> buf(64, 0x22);
    EXPECT_EQ(link.usbasp_bulk_read(buf.data(), 64), -ENODEV);
    EXPECT_EQ(buf, std::vector<unsigned char>(64, 0x22));
    EXPECT_EQ(link.usbasp_bulk_write(buf.data(), 64), -ENODEV);
    auto end = block(8, 1);
    EXPECT_EQ(link.usbasp_bulk_cmd(end.data(), 64, 0), -ENODEV);

    link.usbasp_bulk_close();
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(sim::openHandles(dev), 0);
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
}

TEST_F(TransferTest, VendorControlTransferComposesItsSetup)
{
    const unsigned char setup[4] = {0x34, 0x12, 0x78, 0x56};
    unsigned char buf[8] = {};
    // The programmer has no vendor requests: the stall comes back as -1.
    EXPECT_EQ(link.usbasp_transmit(1, 0x21, setup, buf, sizeof buf), -1);
    EXPECT_EQ(link.usbasp_transmit(0, 0x22, setup, buf, 0), -1);
    const auto control = sim::calls(Call::Control);
    ASSERT_EQ(control.size(), 2u);
    EXPECT_EQ(control[0].requestType, 0xC0);
    EXPECT_EQ(control[0].request, 0x21);
    EXPECT_EQ(control[0].value, 0x1234);
    EXPECT_EQ(control[0].index, 0x5678);
    EXPECT_EQ(control[0].length, 8);
    EXPECT_EQ(control[0].timeout, 7000);
    EXPECT_EQ(control[1].requestType, 0x40);
}

TEST_F(LinkTest, VendorControlTransferReturnsTheByteCount)
{
    sim::DeviceOptions o;
    o.vendorRequests = true; // the device echoes an IN request's setup packet
    sim::addDevice(o);
    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);

    const unsigned char setup[4] = {0x01, 0x02, 0x03, 0x04};
    unsigned char in[16];
    std::fill(std::begin(in), std::end(in), 0xEE);
    ASSERT_EQ(link.usbasp_transmit(0x80, 0x5A, setup, in, sizeof in), 8);
    const unsigned char echoed[8] = {0xC0, 0x5A, 0x01, 0x02, 0x03, 0x04, 16, 0};
    EXPECT_TRUE(std::equal(std::begin(echoed), std::end(echoed), in));
    EXPECT_EQ(in[8], 0xEE);

    unsigned char out[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(link.usbasp_transmit(0, 0x33, setup, out, sizeof out), 5);
    const auto control = sim::calls(Call::Control);
    ASSERT_FALSE(control.empty());
    EXPECT_EQ(control.back().requestType, 0x40);
    EXPECT_EQ(control.back().value, 0x0201);
    EXPECT_EQ(control.back().index, 0x0403);
    EXPECT_EQ(control.back().timeout, 7000);
    EXPECT_EQ(control.back().data, std::vector<std::uint8_t>(std::begin(out), std::end(out)));
}

class ClosedLinkTest : public LinkTest {};

TEST_F(ClosedLinkTest, TransfersFailAndLeaveTheBufferButTheReadBackPauseStays)
{
    std::array<unsigned char, 64> b;
    b.fill(0x5A);
    const auto before = b;

    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 0), -ENODEV);
    EXPECT_TRUE(fakes.system.sleeps.empty());
    EXPECT_EQ(link.usbasp_bulk_cmd(b.data(), 64, 1), -ENODEV);
    EXPECT_EQ(fakes.system.sleeps, std::vector<int>{50});
    EXPECT_EQ(link.usbasp_bulk_read(b.data(), 64), -ENODEV);
    EXPECT_EQ(link.usbasp_bulk_write(b.data(), 64), -ENODEV);
    const unsigned char setup[4] = {};
    EXPECT_EQ(link.usbasp_transmit(1, 1, setup, b.data(), 64), -1);
    EXPECT_EQ(b, before);
    EXPECT_EQ(transfersAndPauses().size(), 1u); // only the noted pause
    link.usbasp_bulk_close();
    EXPECT_FALSE(link.isOpen());
}

TEST_F(LinkTest, BadArgumentsAreRefusedBeforeAnyTransfer)
{
    sim::addDevice();
    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    sim::clearLog();
    unsigned char b[4] = {};
    EXPECT_EQ(link.usbasp_bulk_cmd(nullptr, 64, 1), -EINVAL);
    EXPECT_EQ(link.usbasp_bulk_cmd(b, -1, 0), -EINVAL);
    EXPECT_EQ(link.usbasp_bulk_read(nullptr, 4), -EINVAL);
    EXPECT_EQ(link.usbasp_bulk_write(b, -4), -EINVAL);
    EXPECT_TRUE(sim::log().empty());
}

} // namespace
