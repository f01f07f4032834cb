// The format registry and global memory blocks.
#include "hexeditor/ex/wqhclipformats.h"

#include <gtest/gtest.h>

TEST(ClipFormatRegistry, OwnFormatsAreConsecutiveInRegistrationOrder)
{
    const TWQHClipFormats& f = WQHClipFormats();
    EXPECT_GE(f.Own, 0xC000);
    const TClipFormat ids[] = {f.Own, f.RegEditHexData, f.RichText, f.Html, f.FileContents,
                               f.FileGroupDescriptorW, f.PerformedDropEffect, f.LogicalPerformedDropEffect};
    for (int i = 1; i < 8; ++i)
        EXPECT_EQ(ids[i], ids[0] + i) << i;
    EXPECT_EQ(GetClipboardFormatNameW(f.Own), QStringLiteral("TWQHexeditorEx Clipboard Format"));
    EXPECT_EQ(GetClipboardFormatNameW(f.RegEditHexData), QStringLiteral("RegEdit_HexData"));
    EXPECT_EQ(GetClipboardFormatNameW(f.LogicalPerformedDropEffect), QStringLiteral("Logical Performed DropEffect"));
}

TEST(ClipFormatRegistry, NamesCompareWithoutCaseAndKeepTheirFirstSpelling)
{
    const TClipFormat a = RegisterClipboardFormatW(QStringLiteral("Some Test Format"));
    EXPECT_EQ(RegisterClipboardFormatW(QStringLiteral("SOME test format")), a);
    EXPECT_EQ(GetClipboardFormatNameW(a), QStringLiteral("Some Test Format"));
    EXPECT_EQ(RegisterClipboardFormatW(QStringLiteral("rich text format")), WQHClipFormats().RichText);
    const TClipFormat b = RegisterClipboardFormatW(QStringLiteral("Another Test Format"));
    EXPECT_EQ(b, a + 1);
}

TEST(ClipFormatRegistry, EmptyNamesAndUnknownIdsGiveNothing)
{
    EXPECT_EQ(RegisterClipboardFormatW(QString()), 0);
    EXPECT_TRUE(GetClipboardFormatNameW(CF_TEXT).isEmpty());
    EXPECT_TRUE(GetClipboardFormatNameW(0xFFFE).isEmpty());
}

TEST(GlobalBlock, ZeroInitAndLimits)
{
    HGLOBAL block = GlobalAlloc(GHND_SHARED, 17);
    ASSERT_TRUE(block);
    EXPECT_EQ(GlobalSize(block), 17);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(block->Data()[i], 0) << i;
    EXPECT_EQ(GlobalSize(GlobalAlloc(GHND_SHARED, 0)), 0);
    EXPECT_FALSE(GlobalAlloc(GHND_SHARED, -1));
    EXPECT_FALSE(GlobalAlloc(GHND_SHARED, WQH_MAX_BLOCK_SIZE + 1));
    EXPECT_EQ(GlobalSize(nullptr), 0);
}

TEST(GlobalBlock, ReleaseDropsTheMedium)
{
    STGMEDIUM medium{TYMED_HGLOBAL, GlobalAlloc(GHND_SHARED, 4), nullptr};
    std::weak_ptr<TWQHGlobalBlock> watch = medium.hGlobal;
    ReleaseStgMedium(medium);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    EXPECT_TRUE(watch.expired());
}
