// Runs against the real libusb-0.1 with libqv750sim.so preloaded: the link
// must find the simulated programmer that the environment describes.
#include "link/usbasp.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

TEST(Preload, LinkReachesTheSimulatedProgrammerThroughTheRealLibrary)
{
    TUsbBulk link;
    ASSERT_EQ(link.prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId), 1)
        << "libqv750sim.so is not preloaded or rejected its configuration";

    std::array<unsigned char, 64> block{};
    block[1] = 9;
    EXPECT_EQ(link.usbasp_bulk_cmd(block.data(), 64, 1), 64);
    EXPECT_EQ(block[0], 0xC2);
    EXPECT_EQ(block[1], 0x20);
    EXPECT_EQ(block[2], 0x17);
    EXPECT_EQ(block[4], 1);

    std::array<unsigned char, 64> start{};
    start[1] = 5;
    link.usbasp_bulk_cmd(start.data(), 64, 1);
    std::vector<unsigned char> data(256, 0);
    EXPECT_EQ(link.usbasp_bulk_read(data.data(), 256), 256);
    EXPECT_EQ(data, std::vector<unsigned char>(256, 0xFF));

    std::array<unsigned char, 64> end{};
    end[0] = 1;
    end[1] = 8;
    EXPECT_EQ(link.usbasp_bulk_cmd(end.data(), 64, 0), 64);
    link.usbasp_bulk_close();
    EXPECT_FALSE(link.isOpen());
}

} // namespace
