#pragma once
// The drawing surface the editor paints through. The screen uses a QPainter
// implementation; tests use a recording one and look at the calls.
#include "hexeditor/wqhtypes.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;

// Where TextOut places its text relative to X.
enum TWQHTextAlign : std::uint8_t { taLeftAlign, taCenterAlign, taRightAlign };

// Glyphs cut from a strip, drawn transparently.
class TWQHImageList {
public:
    TWQHImageList(int Width = 10, int Height = 10) : FWidth(Width), FHeight(Height) {}
    void Clear() { FGlyphs.clear(); }
    // Cuts the strip into Width x Height glyphs; pixels of MaskColor become transparent.
    void AddMasked(const QImage& Strip, QRgb MaskColor);
    int Count() const { return static_cast<int>(FGlyphs.size()); }
    const QImage& Glyph(int Index) const { return FGlyphs.at(static_cast<std::size_t>(Index)); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

private:
    int FWidth;
    int FHeight;
    std::vector<QImage> FGlyphs;
};

class TWQHCanvas {
public:
    virtual ~TWQHCanvas() = default;

    // Settings the drawing calls use; colours are TColor and go through ColorToRGB.
    TColor BrushColor = clWindow;
    TColor FontColor = clWindowText;
    TColor TextBackground = clWindow;
    TColor PenColor = clBlack;
    int PenWidth = 1;
    // Alignment and background mode of TextOut (printed headers).
    TWQHTextAlign TextAlign = taLeftAlign;
    bool TransparentText = false;

    virtual QFont Font() const = 0;
    virtual void SetFont(const QFont& Font) = 0;
    // Point size of the current font (unicode glyphs shrink through it).
    virtual int FontSize() const = 0;
    virtual void SetFontSize(int Size) = 0;
    bool FontBold() const { return Font().bold(); }
    void SetFontBold(bool Bold);

    // Fills with BrushColor.
    virtual void FillRect(const TRect& R) = 0;
    // Opaque text at (X, Y) top-left, background TextBackground, clipped to Clip.
    virtual void TextRect(const TRect& Clip, int X, int Y, const QString& Text) = 0;
    virtual int TextWidth(const QString& Text) const = 0;
    virtual int TextHeight(const QString& Text) const = 0;
    // One character's extent; false when the font cannot measure it.
    virtual bool CharExtent(QChar Ch, int& Width, int& Height) const = 0;
    // Text with its top at Y, placed at X by TextAlign and clipped to Clip;
    // unless TransparentText, the text's box is filled with TextBackground.
    virtual void TextOut(const TRect& Clip, int X, int Y, const QString& Text) = 0;
    // A line with PenColor/PenWidth; LineTo leaves out its end point.
    virtual void MoveTo(int X, int Y) = 0;
    virtual void LineTo(int X, int Y) = 0;
    // Outline in the colour, no fill.
    virtual void FrameRect(const TRect& R, TColor Color) = 0;
    // The dotted XOR focus frame.
    virtual void DrawFocusRect(const TRect& R) = 0;
    virtual void DrawGlyph(const TWQHImageList& List, int Index, int X, int Y) = 0;
    // XOR-inverts a rectangle (the caret).
    virtual void InvertRect(const TRect& R) = 0;

    // Right to left: every x is mirrored in a surface this wide, so that
    // x = 0 is its right edge; texts and glyphs stay readable, their boxes
    // are mirrored. 0 draws left to right.
    int MirrorWidth() const { return FMirrorWidth; }
    void SetMirrorWidth(int Width) { FMirrorWidth = Width > 0 ? Width : 0; }

protected:
    // The pixel column a surface shows for x.
    int MirrorX(int X) const { return FMirrorWidth ? FMirrorWidth - 1 - X : X; }
    TRect MirrorRect(const TRect& R) const
    {
        return FMirrorWidth ? TRect{FMirrorWidth - R.Right, R.Top, FMirrorWidth - R.Left, R.Bottom} : R;
    }
    // The left edge of something Width wide that starts at X.
    int MirrorLeft(int X, int Width) const { return FMirrorWidth ? FMirrorWidth - X - Width : X; }
    // The left edge of a text Width wide whose anchor is X under TextAlign.
    int AlignedLeft(int X, int Width) const
    {
        return TextAlign == taRightAlign ? X - Width : TextAlign == taCenterAlign ? X - Width / 2 : X;
    }

private:
    int FMirrorWidth = 0;
};

// Paints on a QPaintDevice (the viewport) through one QPainter.
std::unique_ptr<TWQHCanvas> CreateQtCanvas(QPaintDevice* Device, const QFont& Font);
// Paints through a painter someone else holds (a print job); the painter's
// transform stays in force, text is measured on its device.
std::unique_ptr<TWQHCanvas> CreateQtCanvas(QPainter& Painter, const QFont& Font);

// Records every call with its colours, for tests; measures with the font's metrics.
class TWQHRecordingCanvas : public TWQHCanvas {
public:
    enum TOp { opFillRect, opTextRect, opLine, opFrameRect, opFocusRect, opGlyph, opInvertRect, opTextOut };
    struct TCall {
        TOp Op;
        TRect Rect;        // fill/frame/focus/invert/text clip; line: (x1,y1,x2,y2)
        int X = 0;         // text or glyph position
        int Y = 0;
        QString Text;      // text
        int Index = -1;    // glyph index
        TColor Brush = 0;  // BrushColor at the call
        TColor Font = 0;   // FontColor (text), pen colour (line), frame colour (frame)
        TColor Background = 0;  // TextBackground (text)
        int PenWidth = 1;
        int FontSize = 0;
        bool Bold = false;            // text: the font's weight
        TWQHTextAlign Align = taLeftAlign;  // text out
        bool Transparent = false;     // text out
        QFont TextFont;               // text: the whole font, for replaying
    };
    // Fixed metrics for exact tests: when set, a character's width comes from
    // CharWidthOf(ch, font size, bold) and every text's height from
    // LineHeightOf(font size); characters for which CannotMeasure answers true
    // make CharExtent fail.
    std::function<int(QChar Ch, int Size, bool Bold)> CharWidthOf;
    std::function<int(int Size)> LineHeightOf;
    std::function<bool(QChar Ch)> CannotMeasure;

    explicit TWQHRecordingCanvas(const QFont& Font);
    QFont Font() const override { return FFont; }
    void SetFont(const QFont& Font) override { FFont = Font; }
    int FontSize() const override;
    void SetFontSize(int Size) override;
    void FillRect(const TRect& R) override;
    void TextRect(const TRect& Clip, int X, int Y, const QString& Text) override;
    int TextWidth(const QString& Text) const override;
    int TextHeight(const QString& Text) const override;
    bool CharExtent(QChar Ch, int& Width, int& Height) const override;
    void TextOut(const TRect& Clip, int X, int Y, const QString& Text) override;
    void MoveTo(int X, int Y) override;
    void LineTo(int X, int Y) override;
    void FrameRect(const TRect& R, TColor Color) override;
    void DrawFocusRect(const TRect& R) override;
    void DrawGlyph(const TWQHImageList& List, int Index, int X, int Y) override;
    void InvertRect(const TRect& R) override;

    // Draws every recorded fill, text and line again onto Target (glyph,
    // frame, focus and invert calls are not replayed).
    // MapFont, when given, adapts each recorded font to the target's device.
    void Replay(TWQHCanvas& Target, const std::function<QFont(const QFont&)>& MapFont = {}) const;

    std::vector<TCall> Calls;

private:
    // The call of a text operation with the text and every text attribute of now.
    TCall TextCall(TOp Op, const TRect& Clip, int X, int Y, const QString& Text) const;
    QFont FFont;
    int FPenX = 0;
    int FPenY = 0;
};
