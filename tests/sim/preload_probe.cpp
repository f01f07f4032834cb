// Runs with libqv750sim.so preloaded into a program that, like qv750, links
// no libusb: the link must find the simulated programmer that the
// environment describes, and the faults it names.
#include "link/usb_library.h"
#include "link/usbasp.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

std::array<unsigned char, 64> block(int code, int flag = 0)
{
    std::array<unsigned char, 64> b{};
    b[0] = static_cast<unsigned char>(flag);
    b[1] = static_cast<unsigned char>(code);
    return b;
}

std::string objectOf(void* function)
{
    Dl_info info{};
    return dladdr(function, &info) != 0 && info.dli_fname != nullptr ? info.dli_fname : "";
}

TEST(Preload, LinkTakesThePreloadedSimulatorForTheLibrary)
{
    TUsbBulk link;
    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1)
        << "libqv750sim.so is not preloaded or rejected its configuration";
    const usblib::Functions* usb = usblib::functions();
    ASSERT_NE(usb, nullptr);
    EXPECT_NE(objectOf(reinterpret_cast<void*>(usb->usb_bulk_read)).find("libqv750sim.so"), std::string::npos);

    auto identify = block(9);
    EXPECT_EQ(link.usbasp_bulk_cmd(identify.data(), 64, 1), 64);
    EXPECT_EQ(identify[0], 0xC2);
    EXPECT_EQ(identify[1], 0x20);
    EXPECT_EQ(identify[2], 0x17);
    EXPECT_EQ(identify[4], 1);

    auto start = block(5);
    link.usbasp_bulk_cmd(start.data(), 64, 1);
    std::vector<unsigned char> data(256, 0);
    EXPECT_EQ(link.usbasp_bulk_read(data.data(), 256), 256);
    EXPECT_EQ(data, std::vector<unsigned char>(256, 0xFF));

    auto end = block(8, 1);
    EXPECT_EQ(link.usbasp_bulk_cmd(end.data(), 64, 0), 64);
    link.usbasp_bulk_close();
    EXPECT_FALSE(link.isOpen());
}

// Run with QV750_SIM_FAULTS="corrupt,at=1,ep=0x85,mask=0x80,offset=2; short,at=2,ep=0x85,by=4;
// timeout,at=3,ep=0x85; unplug,at=8": the opening takes two string reads,
// so the eighth transfer is the fourth read.
TEST(PreloadFaults, FaultsFromTheEnvironmentFireAtTheirTransfers)
{
    ASSERT_NE(std::getenv("QV750_SIM_FAULTS"), nullptr) << "run with the faults named above";
    TUsbBulk link;
    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);

    auto identify = block(9);
    EXPECT_EQ(link.usbasp_bulk_cmd(identify.data(), 64, 1), 64);
    EXPECT_EQ(identify[0], 0xC2);
    EXPECT_EQ(identify[2], 0x17 ^ 0x80);

    auto start = block(5);
    EXPECT_EQ(link.usbasp_bulk_cmd(start.data(), 64, 1), 60);

    std::vector<unsigned char> data(256, 0x5A);
    EXPECT_EQ(link.usbasp_bulk_read(data.data(), 256), -ETIMEDOUT);
    EXPECT_EQ(data, std::vector<unsigned char>(256, 0x5A));
    EXPECT_EQ(link.usbasp_bulk_read(data.data(), 256), -ENODEV);
    EXPECT_EQ(link.usbasp_bulk_write(data.data(), 256), -ENODEV);
    link.usbasp_bulk_close();
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 0);
}

} // namespace
