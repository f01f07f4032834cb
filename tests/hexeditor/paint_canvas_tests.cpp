// The drawing surfaces: the QPainter canvas checked pixel by pixel on an
// image, the glyph list, and the recording canvas the painting tests read.
#include "hexeditor/wqhcanvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <gtest/gtest.h>

namespace {

QFont MonoFont(int points = 11)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(points);
    return f;
}

QImage WhiteImage(int w = 60, int h = 40)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

QRgb Px(const QImage& img, int x, int y)
{
    return img.pixel(x, y) & 0xFFFFFFu;
}

constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kRed = 0xFF0000;    // clRed is blue-green-red 0x0000FF
constexpr QRgb kBlue = 0x0000FF;   // clBlue 0xFF0000
constexpr QRgb kBlack = 0x000000;

int CountNot(const QImage& img, QRgb colour, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (Px(img, x, y) != colour)
                ++n;
    return n;
}

TEST(QtCanvas, FillRectCoversTheRectangleWithoutItsRightAndBottomEdges)
{
    QImage img = WhiteImage();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->BrushColor = clRed;
        c->FillRect(TRect{5, 6, 15, 10});
        c->BrushColor = clBlue;
        c->FillRect(TRect{30, 30, 30, 35});  // empty: nothing
    }
    EXPECT_EQ(Px(img, 5, 6), kRed);
    EXPECT_EQ(Px(img, 14, 9), kRed);
    EXPECT_EQ(Px(img, 15, 9), kWhite);
    EXPECT_EQ(Px(img, 14, 10), kWhite);
    EXPECT_EQ(Px(img, 4, 6), kWhite);
    EXPECT_EQ(CountNot(img, kWhite, 0, 0, 60, 40), 10 * 4);
}

TEST(QtCanvas, TextRectIsOpaqueAndClipped)
{
    QImage img = WhiteImage(120, 40);
    const QFont font = MonoFont(14);
    const int cw = QFontMetrics(font).horizontalAdvance(QLatin1Char('W'));
    {
        auto c = CreateQtCanvas(&img, font);
        c->TextBackground = clBlue;
        c->FontColor = clRed;
        // Empty text still paints its background.
        c->TextRect(TRect{0, 0, 10, 5}, 0, 0, QString());
        // A long text cut at one character's width.
        c->TextRect(TRect{20, 10, 20 + cw, 30}, 20, 10, QStringLiteral("WWWWWW"));
    }
    EXPECT_EQ(CountNot(img, kBlue, 0, 0, 10, 5), 0);
    EXPECT_EQ(Px(img, 10, 0), kWhite);
    // Inside the clip: background plus some red glyph pixels (anti-aliased
    // edges mix the two, so only pure red is counted).
    int red = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 20; x < 20 + cw; ++x)
            if (Px(img, x, y) == kRed)
                ++red;
    EXPECT_GT(red, 3);
    // Nothing of the text past the clip.
    EXPECT_EQ(CountNot(img, kWhite, 20 + cw, 0, 120, 40), 0);
    EXPECT_EQ(CountNot(img, kWhite, 0, 30, 120, 40), 0);
}

TEST(QtCanvas, LineToLeavesOutItsEndPointInEveryDirection)
{
    QImage img = WhiteImage();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->PenColor = clBlack;
        c->MoveTo(2, 2);
        c->LineTo(7, 2);  // right: 2..6
        c->MoveTo(20, 5);
        c->LineTo(15, 5);  // left: 20..16
        c->MoveTo(30, 1);
        c->LineTo(30, 4);  // down: 1..3
        c->MoveTo(40, 9);
        c->LineTo(40, 6);  // up: 9..7
    }
    for (int x = 2; x <= 6; ++x)
        EXPECT_EQ(Px(img, x, 2), kBlack) << x;
    EXPECT_EQ(Px(img, 7, 2), kWhite);
    EXPECT_EQ(Px(img, 1, 2), kWhite);
    for (int x = 16; x <= 20; ++x)
        EXPECT_EQ(Px(img, x, 5), kBlack) << x;
    EXPECT_EQ(Px(img, 15, 5), kWhite);
    for (int y = 1; y <= 3; ++y)
        EXPECT_EQ(Px(img, 30, y), kBlack) << y;
    EXPECT_EQ(Px(img, 30, 4), kWhite);
    for (int y = 7; y <= 9; ++y)
        EXPECT_EQ(Px(img, 40, y), kBlack) << y;
    EXPECT_EQ(Px(img, 40, 6), kWhite);
    EXPECT_EQ(CountNot(img, kWhite, 0, 0, 60, 40), 5 + 5 + 3 + 3);
}

TEST(QtCanvas, WidePenLineIsTwoPixelsWide)
{
    QImage img = WhiteImage();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->PenColor = clRed;
        c->PenWidth = 2;
        c->MoveTo(10, 3);
        c->LineTo(10, 13);
    }
    EXPECT_EQ(CountNot(img, kWhite, 0, 0, 60, 40), 2 * 10);
    EXPECT_EQ(Px(img, 10, 3), kRed);
    EXPECT_EQ(Px(img, 10, 12), kRed);
    EXPECT_EQ(Px(img, 10, 13), kWhite);
}

TEST(QtCanvas, FrameRectDrawsOnlyTheOutline)
{
    QImage img = WhiteImage();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->BrushColor = clBlue;  // the frame ignores the brush
        c->FrameRect(TRect{10, 10, 20, 16}, clRed);
    }
    EXPECT_EQ(Px(img, 10, 10), kRed);
    EXPECT_EQ(Px(img, 19, 15), kRed);
    EXPECT_EQ(Px(img, 19, 10), kRed);
    EXPECT_EQ(Px(img, 10, 15), kRed);
    EXPECT_EQ(Px(img, 20, 10), kWhite);
    EXPECT_EQ(Px(img, 10, 16), kWhite);
    EXPECT_EQ(CountNot(img, kWhite, 11, 11, 19, 15), 0);
    EXPECT_EQ(CountNot(img, kWhite, 0, 0, 60, 40), 2 * 10 + 2 * 4);
}

TEST(QtCanvas, FocusRectIsADottedXorFrameThatASecondCallErases)
{
    QImage img = WhiteImage();
    img.fill(QColor(0x12, 0x34, 0x56));
    const QImage before = img.copy();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->DrawFocusRect(TRect{4, 4, 14, 12});
    }
    // Dots alternate along the border; the inside is untouched.
    EXPECT_EQ(Px(img, 4, 4), 0xFFFFFFu ^ 0x123456u);
    EXPECT_EQ(Px(img, 5, 4), 0x123456u);
    EXPECT_EQ(Px(img, 6, 4), 0xFFFFFFu ^ 0x123456u);
    EXPECT_EQ(CountNot(img, 0x123456u, 5, 5, 13, 11), 0);
    EXPECT_EQ(CountNot(img, 0x123456u, 14, 0, 60, 40), 0);
    const int changed = CountNot(img, 0x123456u, 0, 0, 60, 40);
    EXPECT_EQ(changed, (2 * 10 + 2 * 6) / 2);
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->DrawFocusRect(TRect{4, 4, 14, 12});
    }
    EXPECT_EQ(img, before);
}

TEST(QtCanvas, InvertRectTwiceRestores)
{
    QImage img = WhiteImage();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->BrushColor = clRed;
        c->FillRect(TRect{0, 0, 10, 10});
    }
    const QImage before = img.copy();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->InvertRect(TRect{5, 0, 15, 10});
    }
    EXPECT_EQ(Px(img, 5, 5), 0x00FFFFu);  // red inverted: cyan
    EXPECT_EQ(Px(img, 12, 5), kBlack);    // white inverted
    EXPECT_EQ(Px(img, 4, 5), kRed);
    EXPECT_EQ(Px(img, 15, 5), kWhite);
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->InvertRect(TRect{5, 0, 15, 10});
    }
    EXPECT_EQ(img, before);
}

QImage Strip(int glyphs, QRgb background)
{
    QImage s(glyphs * 10, 10, QImage::Format_RGB32);
    s.fill(background);
    for (int i = 0; i < glyphs; ++i) {
        // Glyph i: a filled square whose grey level tells which glyph it is.
        const QRgb mark = qRgb(i * 10, 0, 255 - i * 10);
        for (int y = 2; y < 8; ++y)
            for (int x = 2; x < 8; ++x)
                s.setPixel(i * 10 + x, y, mark);
    }
    return s;
}

TEST(ImageList, AddMaskedCutsTheStripAndMakesTheMaskTransparent)
{
    TWQHImageList list(10, 10);
    const QImage strip = Strip(20, qRgb(0, 255, 0));
    list.AddMasked(strip, strip.pixel(0, 0));
    ASSERT_EQ(list.Count(), 20);
    for (int i = 0; i < 20; ++i) {
        const QImage& g = list.Glyph(i);
        ASSERT_EQ(g.size(), QSize(10, 10));
        EXPECT_EQ(qAlpha(g.pixel(0, 0)), 0) << i;
        EXPECT_EQ(qAlpha(g.pixel(9, 9)), 0) << i;
        EXPECT_EQ(g.pixel(5, 5), qRgb(i * 10, 0, 255 - i * 10)) << i;
    }
    // A second strip is appended; Clear empties the list.
    list.AddMasked(Strip(2, qRgb(0, 255, 0)), qRgb(0, 255, 0));
    EXPECT_EQ(list.Count(), 22);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, AStripSmallerThanOneGlyphAddsNothing)
{
    TWQHImageList list(10, 10);
    list.AddMasked(QImage(9, 10, QImage::Format_RGB32), 0);
    list.AddMasked(QImage(100, 9, QImage::Format_RGB32), 0);
    list.AddMasked(QImage(), 0);
    EXPECT_EQ(list.Count(), 0);
}

TEST(QtCanvas, GlyphIsDrawnTransparentlyAndABadIndexDrawsNothing)
{
    TWQHImageList list(10, 10);
    list.AddMasked(Strip(3, qRgb(0, 255, 0)), qRgb(0, 255, 0));
    QImage img = WhiteImage();
    {
        auto c = CreateQtCanvas(&img, MonoFont());
        c->DrawGlyph(list, 2, 20, 10);
        c->DrawGlyph(list, 3, 0, 0);
        c->DrawGlyph(list, -1, 0, 0);
    }
    EXPECT_EQ(Px(img, 25, 15), qRgb(20, 0, 235) & 0xFFFFFFu);
    EXPECT_EQ(Px(img, 20, 10), kWhite);  // masked corner
    EXPECT_EQ(CountNot(img, kWhite, 0, 0, 60, 40), 36);
}

TEST(Canvas, FontSizeWorksInPointsAndInPixelsAndStopsAtOne)
{
    QImage img = WhiteImage();
    auto c = CreateQtCanvas(&img, MonoFont(11));
    EXPECT_EQ(c->FontSize(), 11);
    c->SetFontSize(7);
    EXPECT_EQ(c->FontSize(), 7);
    EXPECT_EQ(c->Font().pointSize(), 7);
    c->SetFontSize(0);
    EXPECT_EQ(c->FontSize(), 1);

    QFont pixels = MonoFont();
    pixels.setPixelSize(15);
    TWQHRecordingCanvas rec(pixels);
    EXPECT_EQ(rec.FontSize(), 15);
    rec.SetFontSize(14);
    EXPECT_EQ(rec.Font().pixelSize(), 14);
    EXPECT_EQ(rec.FontSize(), 14);
}

TEST(RecordingCanvas, RecordsEachCallWithTheSettingsInForceThen)
{
    const QFont font = MonoFont(12);
    TWQHRecordingCanvas rec(font);
    rec.BrushColor = clRed;
    rec.FillRect(TRect{1, 2, 3, 4});
    rec.BrushColor = clBlue;
    rec.FontColor = clNavy;
    rec.TextBackground = clYellow;
    rec.TextRect(TRect{0, 0, 8, 16}, 1, 2, QStringLiteral("A"));
    rec.PenColor = clGreen;
    rec.PenWidth = 2;
    rec.MoveTo(5, 6);
    rec.LineTo(5, 9);
    rec.LineTo(8, 9);  // continues from the last end
    rec.FrameRect(TRect{0, 0, 4, 4}, clAqua);
    rec.DrawFocusRect(TRect{1, 1, 2, 2});
    TWQHImageList list;
    rec.DrawGlyph(list, 13, 7, 8);
    rec.InvertRect(TRect{3, 3, 4, 4});

    ASSERT_EQ(rec.Calls.size(), 8u);
    EXPECT_EQ(rec.Calls[0].Op, TWQHRecordingCanvas::opFillRect);
    EXPECT_EQ(rec.Calls[0].Brush, clRed);
    EXPECT_EQ(rec.Calls[0].Rect, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(rec.Calls[1].Op, TWQHRecordingCanvas::opTextRect);
    EXPECT_EQ(rec.Calls[1].Text, QStringLiteral("A"));
    EXPECT_EQ(rec.Calls[1].Font, clNavy);
    EXPECT_EQ(rec.Calls[1].Background, clYellow);
    EXPECT_EQ(rec.Calls[1].Brush, clBlue);
    EXPECT_EQ(rec.Calls[1].FontSize, 12);
    EXPECT_EQ(rec.Calls[1].X, 1);
    EXPECT_EQ(rec.Calls[1].Y, 2);
    EXPECT_EQ(rec.Calls[2].Rect, (TRect{5, 6, 5, 9}));
    EXPECT_EQ(rec.Calls[2].Font, clGreen);
    EXPECT_EQ(rec.Calls[2].PenWidth, 2);
    EXPECT_EQ(rec.Calls[3].Rect, (TRect{5, 9, 8, 9}));
    EXPECT_EQ(rec.Calls[4].Op, TWQHRecordingCanvas::opFrameRect);
    EXPECT_EQ(rec.Calls[4].Font, clAqua);
    EXPECT_EQ(rec.Calls[5].Op, TWQHRecordingCanvas::opFocusRect);
    EXPECT_EQ(rec.Calls[6].Op, TWQHRecordingCanvas::opGlyph);
    EXPECT_EQ(rec.Calls[6].Index, 13);
    EXPECT_EQ(rec.Calls[6].X, 7);
    EXPECT_EQ(rec.Calls[6].Y, 8);
    EXPECT_EQ(rec.Calls[7].Op, TWQHRecordingCanvas::opInvertRect);
    EXPECT_EQ(rec.TextWidth(QStringLiteral("www")), QFontMetrics(font).horizontalAdvance(QStringLiteral("www")));
    EXPECT_EQ(rec.TextHeight(QStringLiteral("yY")), QFontMetrics(font).height());
}

} // namespace
