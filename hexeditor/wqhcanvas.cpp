// Drawing surfaces of the hex editor: the QPainter one for the screen (and
// images), and the recording one the tests read back.
#include "hexeditor/wqhcanvas.h"

#include "hexeditor/wqhcolors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPoint>
#include <QVector>
#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

// A font set in pixels has no point size; the size then counts in pixels, so
// that shrinking a glyph works for either kind of font.
int FontSizeOf(const QFont& Font)
{
    return Font.pointSize() > 0 ? Font.pointSize() : Font.pixelSize();
}

void SetFontSizeOf(QFont& Font, int Size)
{
    if (Size < 1)
        Size = 1;
    if (Font.pointSize() > 0)
        Font.setPointSize(Size);
    else
        Font.setPixelSize(Size);
}

// The pixels of a dotted frame: every other pixel along the border, each one
// once, so that drawing the frame twice with XOR leaves no trace.
QVector<QPoint> FocusDots(const TRect& R)
{
    QVector<QPoint> dots;
    if (R.Right <= R.Left || R.Bottom <= R.Top)
        return dots;
    auto add = [&](int x, int y) {
        if (((x - R.Left) + (y - R.Top)) % 2 == 0)
            dots.append(QPoint(x, y));
    };
    const int last_x = R.Right - 1;
    const int last_y = R.Bottom - 1;
    for (int x = R.Left; x <= last_x; ++x) {
        add(x, R.Top);
        if (last_y != R.Top)
            add(x, last_y);
    }
    for (int y = R.Top + 1; y < last_y; ++y) {
        add(R.Left, y);
        if (last_x != R.Left)
            add(last_x, y);
    }
    return dots;
}

class TWQHQtCanvas final : public TWQHCanvas {
public:
    TWQHQtCanvas(QPaintDevice* Device, const QFont& Font) : FOwnPainter(std::in_place, Device), FFont(Font)
    {
        FPainter = &*FOwnPainter;
        FPainter->setRenderHint(QPainter::Antialiasing, false);
        FPainter->setFont(FFont);
    }
    // Someone else's painter: measure on its device (a printer's resolution
    // differs from the screen's).
    TWQHQtCanvas(QPainter& Painter, const QFont& Font) : FPainter(&Painter), FFont(Font), FDeviceMetrics(true)
    {
        FPainter->save();
        FPainter->setRenderHint(QPainter::Antialiasing, false);
        FPainter->setFont(FFont);
    }
    ~TWQHQtCanvas() override
    {
        if (!FOwnPainter)
            FPainter->restore();
    }

    QFont Font() const override { return FFont; }
    void SetFont(const QFont& Font) override
    {
        FFont = Font;
        FPainter->setFont(FFont);
    }
    int FontSize() const override { return FontSizeOf(FFont); }
    void SetFontSize(int Size) override
    {
        SetFontSizeOf(FFont, Size);
        FPainter->setFont(FFont);
    }

    void FillRect(const TRect& Rect) override
    {
        const TRect R = MirrorRect(Rect);
        if (R.Right > R.Left && R.Bottom > R.Top)
            FPainter->fillRect(QRect(R.Left, R.Top, R.Width(), R.Height()), TColorToQColor(BrushColor));
    }

    void TextRect(const TRect& Box, int X, int Y, const QString& Text) override
    {
        const TRect Clip = MirrorRect(Box);
        if (Clip.Right <= Clip.Left || Clip.Bottom <= Clip.Top)
            return;
        const QRect clip(Clip.Left, Clip.Top, Clip.Width(), Clip.Height());
        FPainter->fillRect(clip, TColorToQColor(TextBackground));
        if (Text.isEmpty())
            return;
        FPainter->save();
        FPainter->setClipRect(clip, Qt::IntersectClip);
        FPainter->setPen(TColorToQColor(FontColor));
        const QFontMetrics m = Metrics();
        if (MirrorWidth())
            X = MirrorLeft(X, m.horizontalAdvance(Text));
        FPainter->drawText(QPoint(X, Y + m.ascent()), Text);
        FPainter->restore();
    }

    int TextWidth(const QString& Text) const override { return Metrics().horizontalAdvance(Text); }
    int TextHeight(const QString& Text) const override
    {
        (void)Text;
        return Metrics().height();
    }

    bool CharExtent(QChar Ch, int& Width, int& Height) const override
    {
        const QFontMetrics m = Metrics();
        if (!m.inFont(Ch))
            return false;
        Width = m.horizontalAdvance(Ch);
        Height = m.height();
        return true;
    }

    void TextOut(const TRect& Box, int X, int Y, const QString& Text) override
    {
        const TRect Clip = MirrorRect(Box);
        if (Clip.Right <= Clip.Left || Clip.Bottom <= Clip.Top || Text.isEmpty())
            return;
        const QFontMetrics m = Metrics();
        const int w = m.horizontalAdvance(Text);
        const int left = MirrorLeft(AlignedLeft(X, w), w);
        const QRect clip(Clip.Left, Clip.Top, Clip.Width(), Clip.Height());
        FPainter->save();
        FPainter->setClipRect(clip, Qt::IntersectClip);
        if (!TransparentText)
            FPainter->fillRect(QRect(left, Y, w, m.height()), TColorToQColor(TextBackground));
        FPainter->setPen(TColorToQColor(FontColor));
        FPainter->drawText(QPoint(left, Y + m.ascent()), Text);
        FPainter->restore();
    }

    void MoveTo(int X, int Y) override
    {
        FPenX = X;
        FPenY = Y;
    }

    void LineTo(int ToX, int Y) override
    {
        const int X = MirrorX(ToX);
        const int FromX = MirrorX(FPenX);
        const int w = PenWidth < 1 ? 1 : PenWidth;
        const int off = w / 2;  // a wide pen is centred on the line
        const QColor colour = TColorToQColor(PenColor);
        if (Y == FPenY) {
            const int x0 = std::min(FromX, X + (X < FromX ? 1 : 0));
            const int len = std::abs(X - FromX);
            if (len > 0)
                FPainter->fillRect(QRect(x0, Y - off, len, w), colour);
        } else if (X == FromX) {
            const int y0 = std::min(FPenY, Y + (Y < FPenY ? 1 : 0));
            const int len = std::abs(Y - FPenY);
            if (len > 0)
                FPainter->fillRect(QRect(X - (MirrorWidth() ? w - 1 - off : off), y0, w, len), colour);
        } else {
            // Leave out the end point: stop one step short along the major axis.
            const int dx = X - FromX;
            const int dy = Y - FPenY;
            const int steps = std::max(std::abs(dx), std::abs(dy));
            const double ex = FromX + dx * double(steps - 1) / steps;
            const double ey = FPenY + dy * double(steps - 1) / steps;
            QPen pen(colour);
            pen.setWidth(w);
            FPainter->setPen(pen);
            FPainter->drawLine(QPointF(FromX, FPenY), QPointF(ex, ey));
        }
        FPenX = ToX;
        FPenY = Y;
    }

    void FrameRect(const TRect& Rect, TColor Color) override
    {
        const TRect R = MirrorRect(Rect);
        if (R.Right <= R.Left || R.Bottom <= R.Top)
            return;
        const QColor colour = TColorToQColor(Color);
        const int w = R.Width();
        const int h = R.Height();
        FPainter->fillRect(QRect(R.Left, R.Top, w, 1), colour);
        FPainter->fillRect(QRect(R.Left, R.Bottom - 1, w, 1), colour);
        FPainter->fillRect(QRect(R.Left, R.Top, 1, h), colour);
        FPainter->fillRect(QRect(R.Right - 1, R.Top, 1, h), colour);
    }

    void DrawFocusRect(const TRect& R) override
    {
        const QVector<QPoint> dots = FocusDots(MirrorRect(R));
        if (dots.isEmpty())
            return;
        FPainter->save();
        FPainter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        FPainter->setPen(QPen(Qt::white, 1));
        FPainter->drawPoints(dots.constData(), int(dots.size()));
        FPainter->restore();
    }

    void DrawGlyph(const TWQHImageList& List, int Index, int X, int Y) override
    {
        if (Index < 0 || Index >= List.Count())
            return;
        FPainter->drawImage(QPoint(MirrorLeft(X, List.Width()), Y), List.Glyph(Index));
    }

    void InvertRect(const TRect& Rect) override
    {
        const TRect R = MirrorRect(Rect);
        if (R.Right <= R.Left || R.Bottom <= R.Top)
            return;
        FPainter->save();
        FPainter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        FPainter->fillRect(QRect(R.Left, R.Top, R.Width(), R.Height()), Qt::white);
        FPainter->restore();
    }

private:
    QFontMetrics Metrics() const
    {
        return FDeviceMetrics ? QFontMetrics(FFont, FPainter->device()) : QFontMetrics(FFont);
    }

    std::optional<QPainter> FOwnPainter;
    QPainter* FPainter = nullptr;
    QFont FFont;
    bool FDeviceMetrics = false;
    int FPenX = 0;
    int FPenY = 0;
};

} // namespace

void TWQHImageList::AddMasked(const QImage& Strip, QRgb MaskColor)
{
    if (FWidth < 1 || FHeight < 1 || Strip.width() < FWidth || Strip.height() < FHeight)
        return;
    const QRgb mask = MaskColor & 0xFFFFFFu;
    const int count = Strip.width() / FWidth;
    for (int i = 0; i < count; ++i) {
        QImage glyph = Strip.copy(i * FWidth, 0, FWidth, FHeight).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < FHeight; ++y) {
            auto* line = reinterpret_cast<QRgb*>(glyph.scanLine(y));
            for (int x = 0; x < FWidth; ++x) {
                if ((line[x] & 0xFFFFFFu) == mask)
                    line[x] = 0;
            }
        }
        FGlyphs.push_back(std::move(glyph));
    }
}

std::unique_ptr<TWQHCanvas> CreateQtCanvas(QPaintDevice* Device, const QFont& Font)
{
    return std::make_unique<TWQHQtCanvas>(Device, Font);
}

std::unique_ptr<TWQHCanvas> CreateQtCanvas(QPainter& Painter, const QFont& Font)
{
    return std::make_unique<TWQHQtCanvas>(Painter, Font);
}

void TWQHCanvas::SetFontBold(bool Bold)
{
    QFont f = Font();
    if (f.bold() == Bold)
        return;
    f.setBold(Bold);
    SetFont(f);
}

// ---- recording canvas ----------------------------------------------------

namespace {
TWQHRecordingCanvas::TCall MakeCall(TWQHRecordingCanvas::TOp Op, const TRect& R)
{
    TWQHRecordingCanvas::TCall c;
    c.Op = Op;
    c.Rect = R;
    return c;
}
} // namespace

TWQHRecordingCanvas::TWQHRecordingCanvas(const QFont& Font) : FFont(Font) {}

int TWQHRecordingCanvas::FontSize() const
{
    return FontSizeOf(FFont);
}

void TWQHRecordingCanvas::SetFontSize(int Size)
{
    SetFontSizeOf(FFont, Size);
}

void TWQHRecordingCanvas::FillRect(const TRect& R)
{
    TCall c = MakeCall(opFillRect, MirrorRect(R));
    c.Brush = BrushColor;
    Calls.push_back(c);
}

TWQHRecordingCanvas::TCall TWQHRecordingCanvas::TextCall(TOp Op, const TRect& Clip, int X, int Y,
                                                         const QString& Text) const
{
    TCall c = MakeCall(Op, MirrorRect(Clip));
    c.X = MirrorWidth() ? MirrorLeft(X, TextWidth(Text)) : X;
    c.Y = Y;
    // A real copy: the painter passes views of its own short-lived buffers.
    c.Text = QString(Text.constData(), Text.size());
    c.Brush = BrushColor;
    c.Font = FontColor;
    c.Background = TextBackground;
    c.FontSize = FontSize();
    c.Bold = FFont.bold();
    c.TextFont = FFont;
    return c;
}

void TWQHRecordingCanvas::TextRect(const TRect& Clip, int X, int Y, const QString& Text)
{
    Calls.push_back(TextCall(opTextRect, Clip, X, Y, Text));
}

int TWQHRecordingCanvas::TextWidth(const QString& Text) const
{
    if (!CharWidthOf)
        return QFontMetrics(FFont).horizontalAdvance(Text);
    int w = 0;
    for (const QChar ch : Text)
        w += CharWidthOf(ch, FontSize(), FFont.bold());
    return w;
}

int TWQHRecordingCanvas::TextHeight(const QString& Text) const
{
    (void)Text;
    return LineHeightOf ? LineHeightOf(FontSize()) : QFontMetrics(FFont).height();
}

bool TWQHRecordingCanvas::CharExtent(QChar Ch, int& Width, int& Height) const
{
    if (CannotMeasure && CannotMeasure(Ch))
        return false;
    Width = TextWidth(QString(Ch));
    Height = TextHeight(QString(Ch));
    return true;
}

void TWQHRecordingCanvas::TextOut(const TRect& Clip, int X, int Y, const QString& Text)
{
    TCall c = TextCall(opTextOut, Clip, X, Y, Text);
    if (MirrorWidth()) {
        // The text's box is mirrored; X stays its anchor for the alignment.
        const int w = TextWidth(Text);
        const int left = AlignedLeft(X, w);
        c.X = MirrorLeft(left, w) + (X - left);
    }
    c.Align = TextAlign;
    c.Transparent = TransparentText;
    Calls.push_back(c);
}

void TWQHRecordingCanvas::Replay(TWQHCanvas& Target, const std::function<QFont(const QFont&)>& MapFont) const
{
    for (const TCall& c : Calls) {
        switch (c.Op) {
        case opFillRect:
            Target.BrushColor = c.Brush;
            Target.FillRect(c.Rect);
            break;
        case opTextRect:
        case opTextOut:
            Target.SetFont(MapFont ? MapFont(c.TextFont) : c.TextFont);
            Target.BrushColor = c.Brush;
            Target.FontColor = c.Font;
            Target.TextBackground = c.Background;
            if (c.Op == opTextRect) {
                Target.TextRect(c.Rect, c.X, c.Y, c.Text);
            } else {
                Target.TextAlign = c.Align;
                Target.TransparentText = c.Transparent;
                Target.TextOut(c.Rect, c.X, c.Y, c.Text);
            }
            break;
        case opLine:
            Target.PenColor = c.Font;
            Target.PenWidth = c.PenWidth;
            Target.MoveTo(c.Rect.Left, c.Rect.Top);
            Target.LineTo(c.Rect.Right, c.Rect.Bottom);
            break;
        default:
            break;
        }
    }
}

void TWQHRecordingCanvas::MoveTo(int X, int Y)
{
    FPenX = X;
    FPenY = Y;
}

void TWQHRecordingCanvas::LineTo(int X, int Y)
{
    TCall c = MakeCall(opLine, TRect{MirrorX(FPenX), FPenY, MirrorX(X), Y});
    c.Font = PenColor;
    c.PenWidth = PenWidth;
    Calls.push_back(c);
    FPenX = X;
    FPenY = Y;
}

void TWQHRecordingCanvas::FrameRect(const TRect& R, TColor Color)
{
    TCall c = MakeCall(opFrameRect, MirrorRect(R));
    c.Font = Color;
    Calls.push_back(c);
}

void TWQHRecordingCanvas::DrawFocusRect(const TRect& R)
{
    Calls.push_back(MakeCall(opFocusRect, MirrorRect(R)));
}

void TWQHRecordingCanvas::DrawGlyph(const TWQHImageList& List, int Index, int X, int Y)
{
    TCall c = MakeCall(opGlyph, TRect{});
    c.X = MirrorLeft(X, List.Width());
    c.Y = Y;
    c.Index = Index;
    Calls.push_back(c);
}

void TWQHRecordingCanvas::InvertRect(const TRect& R)
{
    Calls.push_back(MakeCall(opInvertRect, MirrorRect(R)));
}
