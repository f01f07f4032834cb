// Print options: defaults, flag bits, margins by index and Assign.
#include "hexeditor/ex/wqhprintoptions.h"

#include <gtest/gtest.h>

TEST(PrintOptions, DefaultsAndFlagBits)
{
    TWQHPrintOptions o;
    EXPECT_EQ(o.MarginLeft(), 20);
    EXPECT_EQ(o.MarginTop(), 15);
    EXPECT_EQ(o.MarginRight(), 25);
    EXPECT_EQ(o.MarginBottom(), 25);
    EXPECT_TRUE(o.PageHeader().isEmpty());
    EXPECT_TRUE(o.PageFooter().isEmpty());
    EXPECT_EQ(o.Flags().Bits, 6);
    EXPECT_EQ((TWQHPrintFlags{pfSelectionOnly}.Bits), 1);
    EXPECT_EQ((TWQHPrintFlags{pfUseBackgroundColor}.Bits), 8);
    EXPECT_EQ((TWQHPrintFlags{pfCurrentViewOnly}.Bits), 16);
    EXPECT_EQ((TWQHPrintFlags{pfIncludeRuler}.Bits), 32);
    TWQHPrintFlags f{pfIncludeRuler, pfMonochrome};
    f.Exclude(pfMonochrome);
    EXPECT_EQ(f.Bits, 32);
    EXPECT_FALSE(f.Has(pfMonochrome));
}

TEST(PrintOptions, MarginIndexesAnyOtherIsBottom)
{
    TWQHPrintOptions o;
    o.SetMargin(1, 1);
    o.SetMargin(2, 2);
    o.SetMargin(3, 3);
    o.SetMargin(7, 9);
    EXPECT_EQ(o.Margins(), (TWQHPrintMargins{1, 2, 3, 9}));
    EXPECT_EQ(o.GetMargin(0), 9);
    EXPECT_EQ(o.GetMargin(-5), 9);
}

TEST(PrintOptions, AssignCopiesEverythingAndRefusesNil)
{
    TWQHPrintOptions a, b;
    a.SetMarginLeft(-4);
    a.SetMarginBottom(100);
    a.SetPageHeader(QStringLiteral("%f|%p|%d"));
    a.SetPageFooter(QStringLiteral("foot"));
    a.SetFlags(TWQHPrintFlags{pfIncludeRuler});
    b.Assign(&a);
    EXPECT_EQ(b.Margins(), a.Margins());
    EXPECT_EQ(b.Headers(), a.Headers());
    EXPECT_EQ(b.Flags(), a.Flags());
    EXPECT_THROW(b.Assign(nullptr), EConvertError);
    EXPECT_EQ(b.PageFooter(), QStringLiteral("foot"));  // unchanged by the failed one
}
