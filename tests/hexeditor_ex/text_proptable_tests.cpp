// The core control's properties in the property text, on a real control.
#include "hexeditor/ex/wqhproptable.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"
#include "platform/exceptions.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

TWQHPropTable CoreTable(TCustomWQHexEditor& e)
{
    TWQHPropTable t;
    WQHAddCoreProps(t, e);
    return t;
}

QString CoreText(TCustomWQHexEditor& e)
{
    return WQHPropertiesToText(CoreTable(e), WQHIsListedProperty);
}

void Apply(TCustomWQHexEditor& e, const QString& text)
{
    WQHApplyPropertiesText(text, CoreTable(e), WQHIsListedProperty);
}

} // namespace

TEST(CorePropText, ExactLinesOfANewControl)
{
    TWQHexEditor e;
    const QStringList expected = {
        "UnicodeChars=False", "UnicodeBigEndian=False", "AutoBytesPerRow=False", "BytesPerRow=16",
        "BytesPerColumn=2", "Translation=0", "OffsetFormat=-!10:0x|", "CaretKind=3",
        "Colors.Background=-16777211", "Colors.ChangedBackground=11075583", "Colors.ChangedText=128",
        "Colors.CursorFrame=8388608", "Colors.Offset=0", "Colors.OddColumn=16711680",
        "Colors.EvenColumn=8388608", "Colors.CurrentOffsetBackground=-16777200",
        "Colors.OffsetBackground=-16777201", "Colors.CurrentOffset=-16777196", "Colors.Grid=-16777201",
        "Colors.NonFocusCursorFrame=16776960", "Colors.ActiveFieldBackground=-16777211", "FocusFrame=True",
        "SwapNibbles=False", "MaskChar=46", "NoSizeChange=False", "AllowInsertMode=True", "DrawGridLines=False",
        "ReadOnlyView=False", "HideSelection=False", "GraySelectionIfNotFocused=False", "GutterWidth=-1",
        "MaxUndo=1048576", "InsertMode=False", "HexLowerCase=False", "DrawGutter3D=True", "ShowRuler=False",
        "BytesPerUnit=1", "RulerBytesPerUnit=-1", "ShowPositionIfNotFocused=False", "BytesPerBlock=-1",
        "SeparateBlocksInCharField=True", "FindProgress=False", "RulerNumberBase=16"};
    const QString text = CoreText(e);
    ASSERT_TRUE(text.endsWith(QLatin1String("\r\n")));
    const QStringList lines = text.left(text.size() - 2).split(QLatin1String("\r\n"));
    ASSERT_EQ(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i;
}

TEST(CorePropText, PublishedButUnlistedPropertiesNeverTakePart)
{
    TWQHexEditor e;
    const QString all = WQHPropertiesToText(CoreTable(e), [](const QString&) { return true; });
    EXPECT_TRUE(all.contains(QLatin1String("\r\nWantTabs=True\r\n")));
    EXPECT_FALSE(CoreText(e).contains(QLatin1String("WantTabs")));
    Apply(e, QStringLiteral("WantTabs=False\r\nVersion=x\r\n"));
    EXPECT_TRUE(e.WantTabs());
}

TEST(CorePropText, RoundTripIntoANewControl)
{
    TWQHexEditor a;
    a.SetBytesPerColumn(4);
    a.SetBytesPerRow(24);
    a.SetTranslation(tkMac);
    a.SetOffsetFormat(QStringLiteral("-!10:0X|"));
    a.SetCaretKind(ckLeft);
    a.Colors().SetBackground(0x123456);
    a.Colors().SetGrid(clRed);
    a.SetFocusFrame(false);
    a.SetSwapNibbles(true);
    a.SetMaskChar(QLatin1Char('*'));
    a.SetNoSizeChange(true);
    a.SetAllowInsertMode(false);
    a.SetDrawGridLines(true);
    a.SetReadOnlyView(true);
    a.SetHideSelection(true);
    a.SetGraySelectionIfNotFocused(true);
    a.SetGutterWidth(80);
    a.SetMaxUndo(4096);
    a.SetHexLowerCase(true);
    a.SetDrawGutter3D(false);
    a.SetShowRuler(true);
    a.SetBytesPerUnit(4);
    a.SetRulerBytesPerUnit(2);
    a.SetShowPositionIfNotFocused(true);
    a.SetBytesPerBlock(8);
    a.SetSeparateBlocksInCharField(false);
    a.SetFindProgress(true);
    a.SetRulerNumberBase(10);
    const QString text = CoreText(a);

    TWQHexEditor b;
    Apply(b, text);
    EXPECT_EQ(CoreText(b), text);
    EXPECT_EQ(b.BytesPerRow(), 24);
    EXPECT_EQ(b.OffsetFormat(), QStringLiteral("-!10:0X|"));
    EXPECT_EQ(b.Colors().Background(), 0x123456);
    EXPECT_EQ(b.MaskChar(), QLatin1Char('*'));
    EXPECT_EQ(b.RulerNumberBase(), 10);
}

TEST(CorePropText, UnicodeModeOffBeforeAnOddRowAndATranslation)
{
    TWQHexEditor a;
    a.SetBytesPerRow(15);
    a.SetTranslation(tkDos8);
    const QString text = CoreText(a);

    TWQHexEditor b;
    b.SetUnicodeCharacters(true);
    b.SetBytesPerRow(8);
    Apply(b, text);
    EXPECT_FALSE(b.UnicodeChars());
    EXPECT_EQ(b.BytesPerRow(), 15);
    EXPECT_EQ(b.Translation(), tkDos8);
    EXPECT_EQ(CoreText(b), text);
}

TEST(CorePropText, UnicodeModeRoundTrip)
{
    TWQHexEditor a;
    a.SetUnicodeCharacters(true);
    a.SetUnicodeBigEndian(true);
    a.SetBytesPerRow(8);
    const QString text = CoreText(a);
    EXPECT_TRUE(text.contains(QLatin1String("\r\nBytesPerUnit=2\r\n")));

    TWQHexEditor b;
    Apply(b, text);
    EXPECT_TRUE(b.UnicodeChars());
    EXPECT_EQ(b.BytesPerUnit(), 2);
    EXPECT_EQ(CoreText(b), text);
}

TEST(CorePropText, AutomaticRowsOffBeforeBytesPerRow)
{
    TWQHexEditor b;
    b.resize(400, 200);
    b.SetAutoBytesPerRow(true);
    Apply(b, QStringLiteral("AutoBytesPerRow=False\r\nBytesPerRow=7\r\n"));
    EXPECT_FALSE(b.AutoBytesPerRow());
    EXPECT_EQ(b.BytesPerRow(), 7);  // with the switch after it, the row width would be ignored
}

TEST(CorePropText, ValueTheControlRefusesPassesOnAndKeepsEarlierLines)
{
    TWQHexEditor e;
    try {
        Apply(e, QStringLiteral("ShowRuler=True\r\nBytesPerRow=0\r\nHexLowerCase=True\r\n"));
        FAIL() << "no error";
    } catch (const EWQHexEditor& x) {
        EXPECT_EQ(x.Message(), QStringLiteral("Invalid bytes per line argument"));
    }
    EXPECT_TRUE(e.ShowRuler());
    EXPECT_EQ(e.BytesPerRow(), 16);
    EXPECT_FALSE(e.HexLowerCase());
}

TEST(CorePropText, EnumerationsAndCharactersOutOfRangeAreRefusedBeforeTheControl)
{
    TWQHexEditor e;
    EXPECT_THROW(Apply(e, QStringLiteral("CaretKind=4")), platform::EConvertError);
    EXPECT_THROW(Apply(e, QStringLiteral("Translation=6")), platform::EConvertError);
    EXPECT_THROW(Apply(e, QStringLiteral("MaskChar=65536")), platform::EConvertError);
    EXPECT_THROW(Apply(e, QStringLiteral("RulerNumberBase=256")), platform::EConvertError);
    EXPECT_EQ(e.CaretKind(), ckAuto);
    EXPECT_EQ(e.Translation(), tkAsIs);
    EXPECT_EQ(e.MaskChar(), QLatin1Char('.'));
    Apply(e, QStringLiteral("caretkind=ckBottom\r\nTranslation=tkascii\r\nRulerNumberBase=1\r\n"));
    EXPECT_EQ(e.CaretKind(), ckBottom);
    EXPECT_EQ(e.Translation(), tkASCII);
    EXPECT_EQ(e.RulerNumberBase(), 16);
}
