#pragma once
// The drawing surface the editor paints through. The screen uses a QPainter
// implementation; tests use a recording one and look at the calls.
#include "hexeditor/wqhtypes.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;

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

    virtual QFont Font() const = 0;
    virtual void SetFont(const QFont& Font) = 0;
    // Point size of the current font (unicode glyphs shrink through it).
    virtual int FontSize() const = 0;
    virtual void SetFontSize(int Size) = 0;

    // Fills with BrushColor.
    virtual void FillRect(const TRect& R) = 0;
    // Opaque text at (X, Y) top-left, background TextBackground, clipped to Clip.
    virtual void TextRect(const TRect& Clip, int X, int Y, const QString& Text) = 0;
    virtual int TextWidth(const QString& Text) const = 0;
    virtual int TextHeight(const QString& Text) const = 0;
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
};

// Paints on a QPaintDevice (the viewport) through one QPainter.
std::unique_ptr<TWQHCanvas> CreateQtCanvas(QPaintDevice* Device, const QFont& Font);

// Records every call with its colours, for tests; measures with the font's metrics.
class TWQHRecordingCanvas : public TWQHCanvas {
public:
    enum TOp { opFillRect, opTextRect, opLine, opFrameRect, opFocusRect, opGlyph, opInvertRect };
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
    };
    explicit TWQHRecordingCanvas(const QFont& Font);
    QFont Font() const override { return FFont; }
    void SetFont(const QFont& Font) override { FFont = Font; }
    int FontSize() const override;
    void SetFontSize(int Size) override;
    void FillRect(const TRect& R) override;
    void TextRect(const TRect& Clip, int X, int Y, const QString& Text) override;
    int TextWidth(const QString& Text) const override;
    int TextHeight(const QString& Text) const override;
    void MoveTo(int X, int Y) override;
    void LineTo(int X, int Y) override;
    void FrameRect(const TRect& R, TColor Color) override;
    void DrawFocusRect(const TRect& R) override;
    void DrawGlyph(const TWQHImageList& List, int Index, int X, int Y) override;
    void InvertRect(const TRect& R) override;

    std::vector<TCall> Calls;

private:
    QFont FFont;
    int FPenX = 0;
    int FPenY = 0;
};
