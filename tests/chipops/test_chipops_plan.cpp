// Length rules, command blocks and the progress throttle of the chip commands.
#include "app/chipops_plan.h"
#include "app/imagefile_kind.h"

#include <gtest/gtest.h>
#include <vector>

using namespace chipops;

TEST(BlockRules, BlockSizeIsPageSizeWithA64ByteFloor)
{
    EXPECT_EQ(BlockSize(16), 64);
    EXPECT_EQ(BlockSize(0), 64);
    EXPECT_EQ(BlockSize(-256), 64); // 0xFF00 as a signed page size
    EXPECT_EQ(BlockSize(64), 64);
    EXPECT_EQ(BlockSize(256), 256);
    EXPECT_EQ(BlockSize(32767), 32767);
}

TEST(BlockRules, ChipSizeMustFitTheImageBuffer)
{
    const int max = 0x4000000;
    EXPECT_TRUE(ChipSizeValid(0, max)); // an empty chip moves no bytes
    EXPECT_FALSE(ChipSizeValid(-1, max));
    EXPECT_TRUE(ChipSizeValid(1, max));
    EXPECT_TRUE(ChipSizeValid(max, max));
    EXPECT_FALSE(ChipSizeValid(max + 1, max));
}

TEST(BlockRules, TrimDropsTrailingFFAndRoundsToEven)
{
    std::vector<unsigned char> data(128, 0xFF);
    EXPECT_EQ(TrimmedImageLength(data.data(), 100), 0); // blank chip
    data[100] = 0x12;
    EXPECT_EQ(TrimmedImageLength(data.data(), 128), 102); // 101 rounded up
    data[101] = 0x00;
    EXPECT_EQ(TrimmedImageLength(data.data(), 128), 102);
    // Only bytes below size count.
    EXPECT_EQ(TrimmedImageLength(data.data(), 100), 0);
    data[0] = 0;
    EXPECT_EQ(TrimmedImageLength(data.data(), 100), 2);
    EXPECT_EQ(TrimmedImageLength(data.data(), 0), 0);
    EXPECT_EQ(TrimmedImageLength(data.data(), -5), 0);
}

TEST(BlockRules, TrimOfAnOddSizedFullChipRoundsOnePastIt)
{
    std::vector<unsigned char> data(10, 0x00);
    EXPECT_EQ(TrimmedImageLength(data.data(), 9), 10);
    // A non-FF byte inside the word-wise scan and in the unaligned head.
    std::vector<unsigned char> big(1003, 0xFF);
    big[3] = 1;
    EXPECT_EQ(TrimmedImageLength(big.data(), 1003), 4);
    big[995] = 1;
    EXPECT_EQ(TrimmedImageLength(big.data(), 1003), 996);
}

TEST(BlockRules, WriteLengthGrowsToWholePages)
{
    const int max = 0x4000000;
    EXPECT_EQ(RoundUpToPages(1000, 256, max), 1024);
    EXPECT_EQ(RoundUpToPages(1024, 256, max), 1024);
    EXPECT_EQ(RoundUpToPages(5000, 256, max), 5120);
    EXPECT_EQ(RoundUpToPages(1000, 0, max), 1000);
    EXPECT_EQ(RoundUpToPages(1000, -16, max), 1000);
    EXPECT_EQ(RoundUpToPages(1, 1, max), 1);
    // Pages that do not divide the buffer never push the length past it.
    EXPECT_EQ(RoundUpToPages(max - 1, 1000, max), max);
}

TEST(BlockRules, ErasePageStepNeverStalls)
{
    EXPECT_EQ(ErasePageStep(16), 16);
    EXPECT_EQ(ErasePageStep(1), 1);
    EXPECT_EQ(ErasePageStep(0), 64);
    EXPECT_EQ(ErasePageStep(-1), 64);
}

TEST(BlockRules, FirstDifferenceLooksOnlyBelowTheCount)
{
    const unsigned char a[] = {1, 2, 3, 4};
    const unsigned char b[] = {1, 2, 9, 4};
    EXPECT_EQ(FirstDifference(a, b, 4), 2);
    EXPECT_EQ(FirstDifference(a, b, 2), -1);
    EXPECT_EQ(FirstDifference(a, b, 0), -1);
    EXPECT_EQ(FirstDifference(a, a, 4), -1);
}

TEST(Throttle, PositionMovesOnlyInVisibleSteps)
{
    ProgressThrottle t(64 << 20);
    const std::int64_t step = (64 << 20) / ProgressThrottle::Resolution;
    EXPECT_TRUE(t.PositionDue(0));
    EXPECT_FALSE(t.PositionDue(256));
    EXPECT_FALSE(t.PositionDue(step - 1));
    EXPECT_TRUE(t.PositionDue(step));
    EXPECT_FALSE(t.PositionDue(step + 256));
    EXPECT_TRUE(t.PositionDue(3 * step)); // a jump shows at once
    EXPECT_TRUE(t.PositionDue(0));        // going back always shows
}

TEST(Throttle, SmallRangesShowEveryPosition)
{
    ProgressThrottle t(100);
    for (int p = 0; p < 100; p += 64)
        EXPECT_TRUE(t.PositionDue(p));
}

TEST(Throttle, PumpsAtFirstAndThenPerInterval)
{
    ProgressThrottle t(1000, 15);
    EXPECT_TRUE(t.PumpDue(500));
    EXPECT_FALSE(t.PumpDue(500));
    EXPECT_FALSE(t.PumpDue(514));
    EXPECT_TRUE(t.PumpDue(515));
    EXPECT_FALSE(t.PumpDue(520));
    EXPECT_TRUE(t.PumpDue(10000));
}

TEST(ImageFileKind, ExtensionIsFromTheLastDotOfTheLastComponent)
{
    EXPECT_EQ(ImageFileExtension("/a/b/IMAGE.HEX"), ".HEX");
    EXPECT_EQ(ImageFileExtension("/a/b.d/image"), "");
    EXPECT_EQ(ImageFileExtension("image.tar.src"), ".src");
    EXPECT_EQ(ImageFileExtension("image."), ".");
    EXPECT_EQ(ImageFileExtension(""), "");
}

TEST(ImageFileKind, LoadChoosesByExtensionAndSniffsEep)
{
    EXPECT_EQ(LoadKindFor("IMAGE.HEX"), ImageKind::IntelHex);
    EXPECT_EQ(LoadKindFor("image.hex"), ImageKind::IntelHex);
    EXPECT_EQ(LoadKindFor("image.rom"), ImageKind::Raw);
    EXPECT_EQ(LoadKindFor("image"), ImageKind::Raw);
    EXPECT_EQ(LoadKindFor("/x.hex/image"), ImageKind::Raw);
    EXPECT_TRUE(NeedsSniffing("image.Eep"));
    EXPECT_FALSE(NeedsSniffing("image.eeprom"));
    EXPECT_EQ(LoadKindFor("image.Eep", ':'), ImageKind::IntelHex);
    EXPECT_EQ(LoadKindFor("image.EEP", 'S'), ImageKind::SRecord);
    EXPECT_EQ(LoadKindFor("image.eep", 's'), ImageKind::Raw);
    EXPECT_EQ(LoadKindFor("image.eep", -1), ImageKind::Raw);
    // ".src" is sniffed the same way.
    EXPECT_TRUE(NeedsSniffing("image.SRC"));
    EXPECT_EQ(LoadKindFor("image.src", 'S'), ImageKind::SRecord);
    EXPECT_EQ(LoadKindFor("image.src", ':'), ImageKind::IntelHex);
    EXPECT_EQ(LoadKindFor("image.src", 's'), ImageKind::Raw);
    EXPECT_EQ(LoadKindFor("image.src", -1), ImageKind::Raw);
}

TEST(ImageFileKind, SaveChoosesByExtension)
{
    EXPECT_EQ(SaveKindFor("image.SRC"), ImageKind::SRecord);
    EXPECT_EQ(SaveKindFor("image.Hex"), ImageKind::IntelHex);
    EXPECT_EQ(SaveKindFor("image.eep"), ImageKind::Raw);
    EXPECT_EQ(SaveKindFor("image.bin"), ImageKind::Raw);
    EXPECT_EQ(SaveKindFor("image"), ImageKind::Raw);
}
