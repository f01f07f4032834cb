// Runs with libqv750sim.so preloaded into a program that, like qv750, links
// no libusb: the link must find the simulated programmer that the
// environment describes.
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

TEST(Preload, SimulatorStandsInWhereTheLibraryCannotBeLoaded)
{
    ASSERT_NE(usblib::load("libqv750-no-such-library.so.0"), nullptr);
    TUsbBulk link;
    EXPECT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1);
    link.usbasp_bulk_close();
    usblib::load();
}

} // namespace
