// The extended control's starting state, its print settings object and the
// font description it keeps for printing.
#include "ex_support.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhfont.h"
#include "hexeditor/ex/wqhprintoptions.h"
#include "platform/exceptions.h"

#include <gtest/gtest.h>

namespace {

class Probe : public TWQHexEditorEx {
public:
    using TWQHexEditorEx::FBookmarksNoChange;
    using TWQHexEditorEx::FCreateUndoOnUndoUpdate;
    using TWQHexEditorEx::FDropTarget;
    using TWQHexEditorEx::FHasDoubleClicked;
    using TWQHexEditorEx::FModifiedNoUndo;
    using TWQHexEditorEx::FOleDragX;
    using TWQHexEditorEx::FOleDragY;
    using TWQHexEditorEx::FOleDragging;
    using TWQHexEditorEx::FOleFormat;
    using TWQHexEditorEx::FOleStartDrag;
    using TWQHexEditorEx::FOleWasTarget;
    using TWQHexEditorEx::FPrintPages;
};

TEST(ExConstruct, FieldsStartAtTheirDefaults)
{
    Probe ed;
    EXPECT_TRUE(ed.CreateBackup());
    EXPECT_EQ(ed.BackupExtension(), QStringLiteral(".bak"));
    EXPECT_FALSE(ed.OleDragDrop());
    EXPECT_EQ(ed.FOleFormat[oleDrop], 0);
    EXPECT_EQ(ed.FOleFormat[oleClipboard], 0);
    EXPECT_FALSE(ed.FOleDragging);
    EXPECT_FALSE(ed.FOleStartDrag);
    EXPECT_EQ(ed.FOleDragX, 0);
    EXPECT_EQ(ed.FOleDragY, 0);
    EXPECT_FALSE(ed.FOleWasTarget);
    EXPECT_EQ(ed.FPrintPages, 0);
    EXPECT_TRUE(ed.UseEditorFontForPrinting());
    EXPECT_FALSE(ed.ClipboardAsHexText());
    EXPECT_FALSE(ed.FlushClipboardAtShutDown());
    EXPECT_TRUE(ed.SupportsOtherClipFormats());
    EXPECT_EQ(ed.OffsetPopupMenu(), nullptr);
    EXPECT_TRUE(ed.ZoomOnWheel());
    EXPECT_EQ(ed.PaintUpdateCounter(), 0);
    EXPECT_FALSE(ed.OnQueryPublicProperty());
    EXPECT_FALSE(ed.FHasDoubleClicked);
    EXPECT_FALSE(ed.FBookmarksNoChange);
    EXPECT_FALSE(ed.FCreateUndoOnUndoUpdate);
    EXPECT_FALSE(ed.FModifiedNoUndo);
}

TEST(ExConstruct, PrintFontIsACopyOfTheEditorFont)
{
    TWQHexEditorEx ed;
    EXPECT_EQ(ed.PrintFont().Name, ed.font().family());
    EXPECT_EQ(ed.PrintOptions().Flags(), 6);
}

TEST(ExPrintOptions, DefaultsAndFlagBits)
{
    const TWQHPrintOptions o;
    EXPECT_EQ(o.MarginLeft(), 20);
    EXPECT_EQ(o.MarginTop(), 15);
    EXPECT_EQ(o.MarginRight(), 25);
    EXPECT_EQ(o.MarginBottom(), 25);
    EXPECT_TRUE(o.PageHeader().isEmpty());
    EXPECT_TRUE(o.PageFooter().isEmpty());
    EXPECT_EQ(o.Flags(), 6);
    EXPECT_EQ(WQHPrintFlagBit(pfSelectionOnly), 1);
    EXPECT_EQ(WQHPrintFlagBit(pfSelectionBold), 2);
    EXPECT_EQ(WQHPrintFlagBit(pfMonochrome), 4);
    EXPECT_EQ(WQHPrintFlagBit(pfUseBackgroundColor), 8);
    EXPECT_EQ(WQHPrintFlagBit(pfCurrentViewOnly), 16);
    EXPECT_EQ(WQHPrintFlagBit(pfIncludeRuler), 32);
    EXPECT_TRUE(WQHHasPrintFlag(o.Flags(), pfMonochrome));
    EXPECT_FALSE(WQHHasPrintFlag(o.Flags(), pfSelectionOnly));
}

TEST(ExPrintOptions, MarginIndexesOutsideOneToThreeMeanBottom)
{
    TWQHPrintOptions o;
    o.SetMargin(0, 7);
    EXPECT_EQ(o.MarginBottom(), 7);
    o.SetMargin(99, 8);
    EXPECT_EQ(o.GetMargin(4), 8);
    EXPECT_EQ(o.GetMargin(-1), 8);
    EXPECT_EQ(o.MarginLeft(), 20) << "the others stay";
    o.SetMargin(2, 3);
    EXPECT_EQ(o.MarginTop(), 3);
}

TEST(ExPrintOptions, AssignCopiesEverythingAndRefusesNull)
{
    TWQHPrintOptions src;
    src.SetMarginLeft(1);
    src.SetMarginTop(2);
    src.SetMarginRight(3);
    src.SetMarginBottom(4);
    src.SetPageHeader(QStringLiteral("%f|%p|%d"));
    src.SetPageFooter(QStringLiteral("foot"));
    src.SetFlags(WQHPrintFlagBit(pfIncludeRuler));
    TWQHPrintOptions dst;
    dst.Assign(&src);
    EXPECT_EQ(dst.MarginLeft(), 1);
    EXPECT_EQ(dst.MarginTop(), 2);
    EXPECT_EQ(dst.MarginRight(), 3);
    EXPECT_EQ(dst.MarginBottom(), 4);
    EXPECT_EQ(dst.PageHeader(), QStringLiteral("%f|%p|%d"));
    EXPECT_EQ(dst.PageFooter(), QStringLiteral("foot"));
    EXPECT_EQ(dst.Flags(), 32);

    EXPECT_THROW(dst.Assign(nullptr), platform::EConvertError);
    EXPECT_EQ(dst.MarginLeft(), 1) << "a refused assignment changes nothing";
    EXPECT_EQ(dst.Flags(), 32);
}

TEST(ExFont, HeightAndSizeConvertAtTheScreensResolution)
{
    TWQHFont f;
    {
        ScopedScreenDpi dpi(96);
        f.Height = -15;
        EXPECT_EQ(f.Size(), 11);  // 11.25 rounds down
        f.Height = -16;
        EXPECT_EQ(f.Size(), 12);
        f.SetSize(10);
        EXPECT_EQ(f.Height, -13);  // 13.33
        f.SetSize(2);
        EXPECT_EQ(f.Height, -3);  // 2.67 rounds up
    }
    {
        ScopedScreenDpi dpi(120);
        f.SetSize(11);
        EXPECT_EQ(f.Height, -18);  // 18.33
        EXPECT_EQ(f.Size(), 11);   // 10.8
        f.Height = -15;
        EXPECT_EQ(f.Size(), 9);
        f.SetSize(-12);
        EXPECT_EQ(f.Height, 20);  // a cell height
    }
}

TEST(ExFont, QFontRoundTripKeepsNameHeightAndStyle)
{
    QFont q(QStringLiteral("Courier New"));
    q.setPixelSize(15);
    q.setBold(true);
    const TWQHFont f = TWQHFont::FromQFont(q, clRed);
    EXPECT_EQ(f.Name, QStringLiteral("Courier New"));
    EXPECT_EQ(f.Height, -15);
    EXPECT_EQ(f.Color, clRed);
    EXPECT_EQ(f.Style, fsBold);
    const QFont back = f.ToQFont();
    EXPECT_EQ(back.pixelSize(), 15);
    EXPECT_TRUE(back.bold());
    EXPECT_FALSE(back.italic());
}

} // namespace
