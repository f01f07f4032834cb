// A new editor: its defaults, its grid, its colours and its cursor stack.
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhgeometry.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhwaitcursor.h"
#include "support/fakes.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <gtest/gtest.h>

TEST(LayoutConstruct, NewControlHas51ColumnsAnd3RowsAndTheDocumentedDefaults)
{
    TCustomWQHexEditor ed;
    EXPECT_EQ(ed.ColCount(), 51);
    EXPECT_EQ(ed.RowCount(), 3);
    EXPECT_EQ(ed.FixedCols(), 2);
    EXPECT_EQ(ed.FixedRows(), 2);
    EXPECT_EQ(ed.BytesPerRow(), 16);
    EXPECT_EQ(ed.BytesPerColumn(), 2);
    EXPECT_EQ(ed.BytesPerUnit(), 1);
    EXPECT_EQ(ed.RulerBytesPerUnit(), -1);
    EXPECT_EQ(ed.UsedRulerBytesPerUnit(), 1);
    EXPECT_EQ(ed.RulerNumberBase(), 16);
    EXPECT_EQ(ed.BytesPerBlock(), -1);
    EXPECT_TRUE(ed.SeparateBlocksInCharField());
    EXPECT_FALSE(ed.AutoBytesPerRow());
    EXPECT_EQ(ed.CaretKind(), ckAuto);
    EXPECT_TRUE(ed.FocusFrame());
    EXPECT_FALSE(ed.SwapNibbles());
    EXPECT_FALSE(ed.DrawGridLines());
    EXPECT_TRUE(ed.WantTabs());
    EXPECT_FALSE(ed.ReadOnlyView());
    EXPECT_FALSE(ed.HideSelection());
    EXPECT_FALSE(ed.GraySelectionIfNotFocused());
    EXPECT_EQ(ed.GutterWidth(), -1);
    EXPECT_TRUE(ed.DrawGutter3D());
    EXPECT_FALSE(ed.ShowRuler());
    EXPECT_FALSE(ed.ShowPositionIfNotFocused());
    EXPECT_EQ(ed.MaskChar(), QChar(u'.'));
    EXPECT_EQ(ed.OffsetFormat(), QStringLiteral("-!10:0x|"));
    EXPECT_EQ(ed.Translation(), tkAsIs);
    EXPECT_EQ(ed.MaxUndo(), 1048576);
    EXPECT_FALSE(ed.InsertMode());
    EXPECT_TRUE(ed.AllowInsertMode());
    EXPECT_FALSE(ed.NoSizeChange());
    EXPECT_TRUE(ed.ReadOnlyFile());
    EXPECT_FALSE(ed.HexLowerCase());
    EXPECT_EQ(ed.Filename(), QStringLiteral("---"));
    EXPECT_EQ(ed.Cursor(), crIBeam);
    EXPECT_EQ(ed.SelCount(), 0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(ed.MaskedChars().test(static_cast<std::size_t>(i)), i < 32) << i;
    for (std::uint8_t i = 0; i < 10; ++i)
        EXPECT_LT(ed.GetBookmark(i).mPosition, 0);
    // Nothing is measured before the first layout.
    EXPECT_EQ(ed.CharWidth(), -1);
    EXPECT_EQ(ed.DefaultRowHeight(), 0);
    EXPECT_EQ(ed.RowHeights(0), 0);
    EXPECT_EQ(ed.RowHeights(1), 0);
    // The ruler is built at once.
    EXPECT_EQ(ed.RulerString(), QStringLiteral("000102030405060708090A0B0C0D0E0F"));
    EXPECT_EQ(ed.RulerCharString(), QStringLiteral("0123456789ABCDEF"));
    EXPECT_EQ(ed.Version(), QStringLiteral("WQHexEditor 1.0 for Qt"));
}

TEST(LayoutConstruct, FontIsFixedPitchElevenPoints)
{
    TCustomWQHexEditor ed;
    EXPECT_TRUE(WQHIsFixedPitch(ed.font())) << ed.font().family().toStdString() << " / " << QFontInfo(ed.font()).family().toStdString();
    const QFontMetrics fm(ed.font());
    EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("iiii")), fm.horizontalAdvance(QStringLiteral("WWWW")));
    EXPECT_EQ(ed.font().pointSize(), 11);
}
