#include "hexeditor/ex/wqhfont.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdlib>

int WQHMulDiv(int a, int b, int c)
{
    const long long n = static_cast<long long>(a) * b;
    const long long q = (std::llabs(n) * 2 + c) / (2LL * c);
    return static_cast<int>(n < 0 ? -q : q);
}

namespace {
int gScreenDpi = 0;
}

int WQHScreenPixelsPerInch()
{
    if (gScreenDpi > 0)
        return gScreenDpi;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* s = QGuiApplication::primaryScreen())
            return int(s->logicalDotsPerInchY() + 0.5);
    return 96;
}

void SetWQHScreenPixelsPerInch(int Value) { gScreenDpi = Value > 0 ? Value : 0; }

int TWQHFont::Size() const
{
    return -WQHMulDiv(Height, 72, WQHScreenPixelsPerInch());
}

void TWQHFont::SetSize(int Value)
{
    Height = -WQHMulDiv(Value, WQHScreenPixelsPerInch(), 72);
}

TWQHFont TWQHFont::FromQFont(const QFont& Font, TColor Color)
{
    TWQHFont f;
    f.Name = Font.family();
    if (Font.pixelSize() > 0)
        f.Height = -Font.pixelSize();
    else if (Font.pointSize() > 0)
        f.SetSize(Font.pointSize());
    f.Color = Color;
    f.Style = static_cast<TFontStyles>((Font.bold() ? fsBold : 0) | (Font.italic() ? fsItalic : 0) |
                                       (Font.underline() ? fsUnderline : 0) | (Font.strikeOut() ? fsStrikeOut : 0));
    return f;
}

QFont TWQHFont::ToQFont() const
{
    QFont f = Name.isEmpty() ? QFont() : QFont(Name);
    f.setBold(Style & fsBold);
    f.setItalic(Style & fsItalic);
    f.setUnderline(Style & fsUnderline);
    f.setStrikeOut(Style & fsStrikeOut);
    if (Height < 0) {
        f.setPixelSize(-Height);
    } else if (Height > 0) {
        // A positive height is the cell height (ascent and descent): the
        // largest character height whose cell fits. The character takes about
        // 7/8 of the cell; without a GUI there are no metrics to ask.
        int px = std::max(1, Height * 7 / 8);
        f.setPixelSize(px);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            auto cell = [&f](int size) {
                f.setPixelSize(size);
                return QFontMetrics(f).height();
            };
            while (px < Height && cell(px + 1) <= Height)
                ++px;
            while (px > 1 && cell(px) > Height)
                --px;
            f.setPixelSize(px);
        }
    }
    return f;
}

int WQHFontSize(const QFont& Font)
{
    if (Font.pointSize() > 0)
        return Font.pointSize();
    TWQHFont t;
    t.Height = -Font.pixelSize();
    return t.Size();
}

QFont WQHWithFontSize(QFont Font, int Size)
{
    if (Font.pointSize() > 0) {
        Font.setPointSize(Size);
    } else {
        TWQHFont t;
        t.SetSize(Size);
        Font.setPixelSize(-t.Height);
    }
    return Font;
}

QFont WQHFontInSizeRange(const QFont& Font)
{
    return WQHFontSize(Font) > WQHMaxFontSize ? WQHWithFontSize(Font, WQHMaxFontSize) : Font;
}

TWQHFont WQHFontInSizeRange(TWQHFont Font)
{
    const int size = Font.Size();
    if (size > WQHMaxFontSize || size < -WQHMaxFontSize)
        Font.SetSize(size > 0 ? WQHMaxFontSize : -WQHMaxFontSize);
    return Font;
}
