#pragma once
// A font as the class library describes one: name (empty: the default
// family), height (negative: the character height in pixels; positive: the
// cell height; 0: the default size), colour, character set and style. The
// editor draws with QFont; this keeps the values that a QFont does not carry
// (colour, character set) and the stored height as given.
#include "hexeditor/wqhtypes.h"

#include <QFont>
#include <QString>
#include <cstdint>

enum TFontStyle : std::uint8_t { fsBold = 1u << 0, fsItalic = 1u << 1, fsUnderline = 1u << 2, fsStrikeOut = 1u << 3 };
using TFontStyles = std::uint8_t;
using TFontCharset = std::uint8_t;
constexpr TFontCharset DEFAULT_CHARSET = 1;

// The class library's MulDiv: a * b / c (c > 0), rounded half away from zero.
int WQHMulDiv(int a, int b, int c);

// The screen's pixels per inch (the primary screen's), which sizes in points
// are converted with; a value > 0 fixes it (tests), 0 asks the screen again.
int WQHScreenPixelsPerInch();
void SetWQHScreenPixelsPerInch(int Value);

// The one range of font sizes, in points either way, for every way a size
// gets in: Ctrl+Shift+wheel, the editor's font, the print font and the
// property text. Beyond it the font metrics overflow on screen or on the
// printer's page (an ascent past 16383 pixels, a glyph past 65535).
constexpr int WQHMaxFontSize = 1000;

// A widget font's size in points, pixels counted as TWQHFont counts them.
int WQHFontSize(const QFont& Font);
// The font at Size points, in points or in pixels as it was given.
QFont WQHWithFontSize(QFont Font, int Size);
// The font with its size brought into the range.
QFont WQHFontInSizeRange(const QFont& Font);

class TWQHFont {
public:
    QString Name = QStringLiteral("Tahoma");
    int Height = -11;
    TColor Color = clWindowText;
    TFontCharset Charset = DEFAULT_CHARSET;
    TFontStyles Style = 0;

    // Size in points: -Height * 72 / the screen's pixels per inch, rounded. A
    // negative size gives a positive height, the cell height; 0 the default size.
    int Size() const;
    void SetSize(int Value);

    // A copy of a widget font; the colour and character set are not part of it.
    static TWQHFont FromQFont(const QFont& Font, TColor Color = clWindowText);
    QFont ToQFont() const;

    bool operator==(const TWQHFont&) const = default;
};

// The font with its size brought into the range (a cell height too).
TWQHFont WQHFontInSizeRange(TWQHFont Font);
