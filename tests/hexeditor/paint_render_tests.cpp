// A small editor rendered into an image and sampled at known pixels.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {

class RenderEd : public TWQHexEditor {
public:
    using TCustomWQHexEditor::FLastPosInCharField;
    using TCustomWQHexEditor::FSelEnd;
    using TCustomWQHexEditor::FSelPosition;
    using TCustomWQHexEditor::FSelStart;
};

class EditorRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ed.resize(420, 160);
        ed.show();
        QApplication::processEvents();
        platform::TMemoryStream s;
        QByteArray bytes(24, 0);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(0x30 + i);
        s.WriteBuffer(bytes.constData(), bytes.size());
        s.Seek(0, platform::SeekOrigin::Begin);
        ed.LoadFromStream(s);
        ed.SetBytesPerRow(8);
        ed.Colors().SetBackground(clWhite);
        ed.Colors().SetActiveFieldBackground(clWhite);
    }

    QImage Render()
    {
        QImage img(ed.ClientWidth(), ed.ClientHeight(), QImage::Format_RGB32);
        img.fill(Qt::magenta);  // anything left unpainted shows
        {
            auto canvas = CreateQtCanvas(&img, ed.font());
            ed.PaintTo(*canvas);
        }
        return img;
    }

    TRect Cell(int c, int r) const
    {
        const TRect v = ed.CellRect(c, r);
        return TRect{v.Left, v.Top, v.Left + ed.ColWidths(c), v.Top + ed.RowHeights(r)};
    }

    static QRgb Rgb(TColor c) { return TColorToQColor(c).rgb() & 0xFFFFFFu; }
    static QRgb Px(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFFu; }

    static int CountColour(const QImage& img, const TRect& r, QRgb colour)
    {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (Px(img, x, y) == colour)
                    ++n;
        return n;
    }

    // Glyph pixels: text is anti-aliased, so count the pixels that lie
    // nearer to the text colour than the background does.
    static int Ink(const QImage& img, const TRect& r, QRgb back, QRgb text)
    {
        auto dist = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        };
        const int limit = dist(back, text) / 2;
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (dist(Px(img, x, y), text) < limit)
                    ++n;
        return n;
    }

    int HexCol(int pos, bool second = false) const { return 2 + 2 * (pos % 8) + (second ? 1 : 0); }
    int CharCol(int pos) const { return 2 * 8 + 3 + pos % 8; }

    testsupport::ScopedPlatformFakes fakes;
    RenderEd ed;
};

TEST_F(EditorRender, NothingIsLeftUnpainted)
{
    const QImage img = Render();
    EXPECT_EQ(CountColour(img, TRect{0, 0, img.width(), img.height()}, 0xFF00FF), 0);
}

TEST_F(EditorRender, TheScreenShowsWhatPaintToDraws)
{
    ed.SetChanged(2, true);
    ed.clearFocus();
    QApplication::processEvents();
    ASSERT_FALSE(ed.CaretExists());
    const QImage screen = ed.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage drawn = Render();
    ASSERT_EQ(screen.size(), drawn.size());
    EXPECT_EQ(screen, drawn);
    EXPECT_EQ(Px(screen, Cell(HexCol(2), 2).Left, Cell(HexCol(2), 2).Bottom - 1), Rgb(ed.Colors().ChangedBackground()));
}

TEST_F(EditorRender, RightToLeftRunsTheColumnsFromTheRightEdge)
{
    ed.SetChanged(2, true);
    ed.clearFocus();
    QApplication::processEvents();
    ed.setLayoutDirection(Qt::RightToLeft);
    QApplication::processEvents();
    const QImage screen = ed.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage drawn = Render();
    EXPECT_EQ(CountColour(drawn, TRect{0, 0, drawn.width(), drawn.height()}, 0xFF00FF), 0);
    ASSERT_EQ(screen.size(), drawn.size());
    EXPECT_EQ(screen, drawn) << "the screen paints mirrored too";

    const int w = drawn.width();
    const TRect changed = Cell(HexCol(2), 2);
    EXPECT_EQ(Px(drawn, w - 1 - changed.Left, changed.Bottom - 1), Rgb(ed.Colors().ChangedBackground()));
    EXPECT_EQ(Px(drawn, w - changed.Right, changed.Bottom - 1), Rgb(ed.Colors().ChangedBackground()));
    const TRect gutter = Cell(0, 3);
    EXPECT_EQ(Px(drawn, w - 1 - gutter.Left - 1, gutter.Top + 1), Rgb(ed.Colors().OffsetBackground()));
    EXPECT_EQ(Px(drawn, 1, gutter.Top + 1), Rgb(ed.Colors().Background()));
    // The glyphs stay readable: the digit '3' of byte 0x33 inks its mirrored box.
    const TRect digit = Cell(HexCol(3, true), 2);
    const TRect box{w - digit.Left - ed.CharWidth(), digit.Top, w - digit.Left, digit.Bottom};
    EXPECT_GT(Ink(drawn, box, Rgb(clWhite), Rgb(ed.Colors().EvenColumn())), 0);
}

TEST_F(EditorRender, SelectionIsInvertedUpToTheLastSelectedBytesTrailingSpace)
{
    ed.SetBytesPerColumn(1);  // every second digit carries a trailing space
    ed.FLastPosInCharField = false;
    ed.FSelPosition = 0;
    ed.FSelStart = 0;
    ed.FSelEnd = 1;
    const QImage img = Render();
    const int cw = ed.CharWidth();
    const TRect b0 = Cell(HexCol(0, true), 2);
    const TRect b1 = Cell(HexCol(1, true), 2);
    const TRect b2 = Cell(HexCol(2, true), 2);
    ASSERT_EQ(b0.Width(), 2 * cw);
    const int mid = b0.Top + b0.Height() / 2;
    EXPECT_EQ(Px(img, b0.Left + cw + cw / 2, mid), 0x000000u);  // inside the selection
    EXPECT_EQ(Px(img, b1.Left + cw + cw / 2, mid), 0xFFFFFFu);  // after the last selected byte
    EXPECT_EQ(Px(img, b1.Left, b1.Bottom - 1), 0x000000u);      // its digit box is inverted
    EXPECT_EQ(Px(img, b2.Left, b2.Bottom - 1), 0xFFFFFFu);      // not selected
    // Inverted blue digits are yellow (0x00FFFF blue-green-red).
    EXPECT_GT(Ink(img, TRect{b1.Left, b1.Top, b1.Left + cw, b1.Bottom}, 0x000000u, 0xFFFF00u), 0);
}

TEST_F(EditorRender, AChangedByteShowsChangedTextOnChangedBackground)
{
    ed.SetChanged(1, true);
    const QImage img = Render();
    const int cw = ed.CharWidth();
    const QRgb back = Rgb(ed.Colors().ChangedBackground());
    const QRgb text = Rgb(ed.Colors().ChangedText());
    ASSERT_EQ(back, 0xFFFFA8u);
    for (int c : {HexCol(1), HexCol(1, true), CharCol(1)}) {
        const TRect r = Cell(c, 2);
        const TRect box{r.Left, r.Top, r.Left + cw, r.Bottom};
        EXPECT_EQ(Px(img, box.Left, box.Bottom - 1), back) << c;
        EXPECT_GT(Ink(img, box, back, text), 0) << c;
    }
    // The group's trailing space keeps the cell's own brush; the neighbours are plain.
    const TRect lo = Cell(HexCol(1, true), 2);
    EXPECT_EQ(Px(img, lo.Left + cw + cw / 2, lo.Top + 2), 0xFFFFFFu);
    EXPECT_EQ(CountColour(img, Cell(HexCol(2), 2), back), 0);
}

TEST_F(EditorRender, TheCaretCellIsFramedWhenTheControlHasNoFocus)
{
    ed.SetFocusFrame(false);
    ed.SetShowPositionIfNotFocused(true);
    ed.clearFocus();
    QApplication::processEvents();
    ASSERT_FALSE(ed.Focused());
    ed.MoveColRow(HexCol(3), 3, true, false);
    const QImage img = Render();
    const QRgb aqua = Rgb(clAqua);
    const TRect c = Cell(HexCol(3), 3);
    const int cw = ed.CharWidth();
    EXPECT_EQ(Px(img, c.Left, c.Top), aqua);
    EXPECT_EQ(Px(img, c.Left + cw - 1, c.Top), aqua);
    EXPECT_EQ(Px(img, c.Left, c.Bottom - 2), aqua);
    EXPECT_EQ(Px(img, c.Left + cw - 1, c.Bottom - 2), aqua);
    EXPECT_NE(Px(img, c.Left, c.Bottom - 1), aqua);  // the frame ends a pixel above the cell's bottom
    EXPECT_NE(Px(img, c.Left + cw, c.Top), aqua);
    // Exactly one frame's worth of aqua in the picture.
    EXPECT_EQ(CountColour(img, TRect{0, 0, img.width(), img.height()}, aqua), 2 * cw + 2 * (c.Height() - 3));
}

TEST_F(EditorRender, GutterAndRulerHaveA3DEdge)
{
    ed.SetShowRuler(true);
    const QImage img = Render();
    const int g = ed.ColWidths(0);
    const int T = ed.RowHeights(0) + ed.RowHeights(1);
    const QRgb shadow = Rgb(clBtnShadow);
    const QRgb light = Rgb(clBtnHighlight);
    ASSERT_NE(shadow, light);
    for (int y : {T, T + 5, img.height() - 1}) {
        EXPECT_EQ(Px(img, g, y), shadow) << y;
        EXPECT_EQ(Px(img, g - 1, y), light) << y;
    }
    for (int x : {g, g + 40, img.width() - 1}) {
        EXPECT_EQ(Px(img, x, T - 1), shadow) << x;
        EXPECT_EQ(Px(img, x, T - 2), light) << x;
    }
    // The ruler band runs on to the right edge in the offset background.
    EXPECT_EQ(Px(img, img.width() - 1, 2), Rgb(ed.Colors().OffsetBackground()));

    ed.SetDrawGutter3D(false);
    const QImage flat = Render();
    EXPECT_NE(Px(flat, g, T + 5), shadow);
    EXPECT_NE(Px(flat, g + 40, T - 1), shadow);
}

} // namespace
