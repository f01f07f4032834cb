// Painting of the hex editor control. The grid's own cell drawing is not
// used: the control walks the visible cells itself and draws each through
// the canvas, so that the same code paints the screen, images and the
// recording canvas of the tests.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"

#include <QFont>
#include <algorithm>
#include <array>
#include <cstdint>

struct WQHPaint {
    // What PaintCellRange draws.
    enum TKind { kCorner = 0, kRuler = 1, kGutter = 2, kData = 3 };

    // The values one paint reads once.
    struct TState {
        bool Focused = false;
        int DataSize = 0;
        int LastCharCol = 0;
        int CharWidth = 0;
        bool ShowSelection = true;  // false: HideSelection without focus
        bool GraySelection = false;
        int SelLast = -1;           // the selection's last byte
        std::array<QChar, 256> Chars{};  // the character each byte shows as
    };

    static TState ReadState(const TCustomWQHexEditor& e)
    {
        TState s;
        s.Focused = e.Focused();
        s.DataSize = e.GetDataSize();
        s.LastCharCol = e.GetLastCharCol();
        s.CharWidth = std::max(0, e.FCharWidth);
        s.ShowSelection = !(e.FHideSelection && !s.Focused);
        s.GraySelection = e.FGraySelOnLostFocus && !s.Focused;
        s.SelLast = std::max(e.FSelStart, e.FSelEnd);
        return s;
    }

    static void FillCharTable(const TCustomWQHexEditor& e, TState& s)
    {
        for (int b = 0; b < 256; ++b)
            s.Chars[std::size_t(b)] = e.TranslateToAnsiChar(std::uint8_t(b));
    }

    static TColor FadeToGray(TColor aColor)
    {
        const std::uint32_t rgb = std::uint32_t(ColorToRGB(aColor));
        const std::uint32_t r = rgb & 0xFF;
        const std::uint32_t g = (rgb >> 8) & 0xFF;
        const std::uint32_t b = (rgb >> 16) & 0xFF;
        const std::uint32_t level = (r * 74 + g * 146 + b * 36) >> 8;
        return TColor(level | (level << 8) | (level << 16));
    }

    static TRect TextBox(const TRect& Cell, int cw) { return TRect{Cell.Left, Cell.Top, Cell.Left + cw, Cell.Bottom}; }

    // Asks the host; false when it drew the cell itself.
    static bool AskHost(TCustomWQHexEditor& e, TWQHCanvas& Canvas, int c, int r, QString& Text, const TRect& R)
    {
        if (!e.FOnDrawCell)
            return true;
        bool defaultDraw = true;
        e.FOnDrawCell(&e, Canvas, c, r, Text, R, defaultDraw);
        return defaultDraw;
    }

    static void Line(TWQHCanvas& Canvas, TColor Color, int x1, int y1, int x2, int y2)
    {
        Canvas.PenColor = Color;
        Canvas.MoveTo(x1, y1);
        Canvas.LineTo(x2, y2);
    }

    // Corner, ruler and gutter cells.
    static void TextCell(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TState& s, int c, int r, const TRect& Cell,
                         const QString& Text, TColor Brush, TColor Font, TColor Back)
    {
        Canvas.BrushColor = Brush;
        Canvas.FontColor = ColorToRGB(Font);
        Canvas.TextBackground = ColorToRGB(Back);
        const TRect box = c == 0 ? Cell : TextBox(Cell, s.CharWidth);
        if (e.FOnDrawCell) {
            QString text = Text;
            if (!AskHost(e, Canvas, c, r, text, box))
                return;
            DrawText(Canvas, c, Cell, box, text);
        } else {
            DrawText(Canvas, c, Cell, box, Text);
        }
    }

    static void DrawText(TWQHCanvas& Canvas, int c, const TRect& Cell, const TRect& Box, const QString& Text)
    {
        Canvas.FillRect(Cell);
        if (c == 0)
            Canvas.TextRect(Cell, Cell.Right - Canvas.TextWidth(Text) - 4, Cell.Top, Text);
        else
            Canvas.TextRect(Box, Cell.Left, Cell.Top, Text);
    }

    static void CornerCell(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TState& s, int c, int r, const TRect& Cell)
    {
        e.FDrawDataPosition = -1;
        const TWQHColors& k = *e.FColors;
        TextCell(e, Canvas, s, c, r, Cell, QString(), k.OffsetBackground(), k.Offset(), k.OffsetBackground());
    }

    static void RulerCell(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TState& s, int c, int r, const TRect& Cell)
    {
        e.FDrawDataPosition = -1;
        static const QString kSpacer = QStringLiteral("  ");
        const int spacer = e.FBytesPerRowDup + 2;
        // One character of the built ruler texts, without a copy; a column past
        // the end of its text (a row that is not a whole number of ruler
        // units) stays blank.
        QString text;
        if (c < spacer) {
            const int i = c - 2;
            if (i >= 0 && i < e.FRulerString.size())
                text = QString::fromRawData(e.FRulerString.constData() + i, 1);
        } else if (c == spacer) {
            text = kSpacer;
        } else {
            const int k = c - (spacer + 1);
            if (k >= 0 && k < e.FRulerCharString.size())
                text = QString::fromRawData(e.FRulerCharString.constData() + k, 1);
        }
        const TWQHColors& k = *e.FColors;
        const bool current = c == e.Col();
        TextCell(e, Canvas, s, c, r, Cell, text, k.OffsetBackground(), current ? k.CurrentOffset() : k.Offset(),
                 current ? k.CurrentOffsetBackground() : k.OffsetBackground());
    }

    static void GutterCell(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TState& s, int c, int r, const TRect& Cell)
    {
        e.FDrawDataPosition = -1;
        const int B = e.FBytesPerRow;
        const QString text = e.GetOffsetString(std::uint32_t(std::int64_t(r - 2) * B));
        const TWQHColors& k = *e.FColors;
        const bool current = r == e.Row();
        const TColor back = current ? k.CurrentOffsetBackground() : k.OffsetBackground();
        TextCell(e, Canvas, s, c, r, Cell, text, back, current ? k.CurrentOffset() : k.Offset(), back);
        if (!e.FBookmarkImageList)
            return;
        // Bookmarks of this row, drawn over each other in slot order.
        for (int i = 0; i < 10; ++i) {
            const TWQHBookmark& bm = e.FBookmarks[std::size_t(i)];
            if (bm.mPosition >= 0 && B > 0 && bm.mPosition / B + 2 == r)
                Canvas.DrawGlyph(*e.FBookmarkImageList, (bm.mInCharField ? 10 : 0) + i, Cell.Left + 3,
                                 Cell.Top + (Cell.Height() - 10) / 2);
        }
    }

    static void SeparatorCell(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TRect& Cell)
    {
        e.FDrawDataPosition = -1;
        if (e.FDrawGridLines)
            Line(Canvas, e.FColors->Grid(), Cell.Left, Cell.Bottom - 1, Cell.Right, Cell.Bottom - 1);
    }

    // The bytes of one data row, read once per row.
    struct TRowBytes {
        int Row = -1;
        int Start = 0;
        int Count = 0;
        std::array<std::uint8_t, 258> Bytes{};
    };

    static void LoadRow(const TCustomWQHexEditor& e, const TState& s, int r, TRowBytes& rb)
    {
        if (rb.Row == r)
            return;
        rb.Row = r;
        rb.Start = (r - 2) * e.FBytesPerRow;
        rb.Count = 0;
        if (rb.Start < 0 || rb.Start >= s.DataSize)
            return;
        rb.Count = std::min<int>(int(rb.Bytes.size()), std::min(e.FBytesPerRow + 1, s.DataSize - rb.Start));
        e.ReadBuffer(rb.Bytes.data(), rb.Start, rb.Count);
    }

    static std::uint8_t ByteAt(const TCustomWQHexEditor& e, const TRowBytes& rb, int p)
    {
        const int i = p - rb.Start;
        if (i >= 0 && i < rb.Count)
            return rb.Bytes[std::size_t(i)];
        return e.GetDataAt(p);
    }

    static void DataCell(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TState& s, TRowBytes& rb, int c, int r,
                         const TRect& Cell)
    {
        const int spacer = e.FBytesPerRowDup + 2;
        const TWQHColors& k = *e.FColors;
        if (c == spacer) {
            if (e.FDrawGridLines) {
                Line(Canvas, k.Grid(), Cell.Left, Cell.Top, Cell.Left, Cell.Bottom - 1);
                Line(Canvas, k.Grid(), Cell.Left, Cell.Bottom - 1, Cell.Right, Cell.Bottom - 1);
            }
            return;
        }
        const bool hex = c < spacer;
        const bool active = hex ? !e.FLastPosInCharField : e.FLastPosInCharField;
        const bool lastCol = c == e.FIntLastHexCol || c == s.LastCharCol;
        const int cw = s.CharWidth;
        const TRect box = TextBox(Cell, cw);

        const int p = e.GetPositionAtCursor(c, r);
        e.FDrawDataPosition = p;
        e.FDrawDataPositionIsHex = hex;
        TColor brush = active && !lastCol ? k.ActiveFieldBackground() : k.Background();

        if (p < s.DataSize) {
            LoadRow(e, s, r, rb);
            QChar glyph;
            bool changed = e.HasChanged(p);
            if (hex) {
                const std::uint8_t b = ByteAt(e, rb, p);
                const bool high = (c - 2) % 2 == e.FSwapNibbles;
                glyph = e.FHexChars.at(high ? b >> 4 : b & 15);
            } else if (e.FUnicodeCharacters) {
                const std::uint8_t b0 = ByteAt(e, rb, p);
                const bool second = p + 1 < s.DataSize;
                const std::uint8_t b1 = second ? ByteAt(e, rb, p + 1) : 0;
                const char16_t w = e.FUnicodeBigEndian ? char16_t((b0 << 8) | b1) : char16_t((b1 << 8) | b0);
                glyph = w < 256 && e.FMaskedChars.test(w) ? e.FReplaceUnprintableCharsBy : QChar(w);
                // A missing second byte counts by the mark on its place.
                if (e.HasChanged(p + 1))
                    changed = true;
            } else {
                glyph = s.Chars[ByteAt(e, rb, p)];
            }

            TColor font;
            TColor back;
            if (changed) {
                font = k.ChangedText();
                back = k.ChangedBackground();
            } else {
                back = active ? k.ActiveFieldBackground() : k.Background();
                if (!hex)
                    font = e.FFontColor;
                else
                    font = ((c - 2) / std::max(1, e.FBytesPerCol)) % 2 == 0 ? k.OddColumn() : k.EvenColumn();
            }

            if (e.FSelPosition != -1 && e.IsSelected(p)) {
                e.FIsDrawDataSelected = true;
                if (s.ShowSelection) {
                    if (!lastCol && p != s.SelLast)
                        brush = TCustomWQHexEditor::InvertColor(brush);
                    font = TCustomWQHexEditor::InvertColor(font);
                    back = TCustomWQHexEditor::InvertColor(back);
                    if (s.GraySelection) {
                        font = FadeToGray(font);
                        back = FadeToGray(back);
                    }
                }
            } else {
                e.FIsDrawDataSelected = false;
            }

            Canvas.BrushColor = brush;
            Canvas.FontColor = font;
            Canvas.TextBackground = back;
            bool draw = true;
            if (e.FOnDrawCell) {
                QString text(glyph);
                draw = AskHost(e, Canvas, c, r, text, box);
                glyph = text.isEmpty() ? QChar(0) : text.at(0);
            }
            if (draw) {
                Canvas.FillRect(Cell);
                // A one-character view of the glyph: no string is built per cell.
                const QString one = QString::fromRawData(&glyph, glyph.isNull() ? 0 : 1);
                if (e.FUnicodeCharacters) {
                    const int size = Canvas.FontSize();
                    while (Canvas.FontSize() >= 2 && Canvas.TextWidth(one) > cw)
                        Canvas.SetFontSize(Canvas.FontSize() - 1);
                    Canvas.TextRect(box, Cell.Left, Cell.Top, one);
                    Canvas.SetFontSize(size);
                } else {
                    Canvas.TextRect(box, Cell.Left, Cell.Top, one);
                }
            }
            if (e.FShowDrag && c == e.FDropCol && r == e.FDropRow) {
                const int width = Canvas.PenWidth;
                Canvas.PenWidth = 2;
                Line(Canvas, font, Cell.Left + 1, Cell.Top + 1, Cell.Left + 1, Cell.Bottom - 1);
                Canvas.PenWidth = width;
            }
        }

        CaretFrame(e, Canvas, s, c, r, Cell, hex);

        if (e.FDrawGridLines) {
            if (c == s.LastCharCol)
                Line(Canvas, k.Grid(), Cell.Right - 1, Cell.Top, Cell.Right - 1, Cell.Bottom - 1);
            Line(Canvas, k.Grid(), Cell.Left, Cell.Bottom - 1, Cell.Right, Cell.Bottom - 1);
        }
    }

    static void Frame(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TRect& R, TColor Color)
    {
        if (e.FFocusFrame)
            Canvas.DrawFocusRect(R);
        else
            Canvas.FrameRect(R, Color);
    }

    // Marks the caret's place in the other field, or without focus the caret cell.
    static void CaretFrame(TCustomWQHexEditor& e, TWQHCanvas& Canvas, const TState& s, int c, int r, const TRect& Cell,
                           bool hex)
    {
        const int right = Cell.Left + s.CharWidth;
        if (s.Focused) {
            if (r != e.Row())
                return;
            const int other = e.GetOtherFieldColCheck(e.Col());
            if (!hex) {
                if (c == other)
                    Frame(e, Canvas, TRect{Cell.Left, Cell.Top, right, Cell.Bottom - 1}, e.FColors->CursorFrame());
                return;
            }
            const int back = e.FUnicodeCharacters ? 3 : 1;
            if (c != other + back)
                return;
            // The frame spans every digit of the byte (character), starting
            // at the first one; never into the gutter when that is scrolled away.
            int left = Cell.Left;
            for (int i = 1; i <= back; ++i) {
                if (c - i < e.LeftCol())
                    break;
                left -= e.ColWidths(c - i);
            }
            Frame(e, Canvas, TRect{left, Cell.Top, right, Cell.Bottom - 1}, e.FColors->CursorFrame());
        } else if (e.FShowPositionIfNotFocused && c == e.Col() && r == e.Row()) {
            Frame(e, Canvas, TRect{Cell.Left, Cell.Top, right, Cell.Bottom - 1}, e.FColors->NonFocusCursorFrame());
        }
    }

    // Pixel start of a range's first column or row: the fixed cells start at
    // 0, the scrolling ones right after the fixed area.
    static int ColStart(const TCustomWQHexEditor& e, int ACol0)
    {
        const int end = ACol0 < e.FixedCols() ? ACol0 : e.FixedCols();
        int x = 0;
        for (int i = 0; i < end; ++i)
            x += e.ColWidths(i);
        return x;
    }

    // Right to left for the length of a paint.
    struct TOrientation {
        TCustomWQHexEditor& e;
        TWQHCanvas& Canvas;
        const bool RightToLeft;
        TOrientation(TCustomWQHexEditor& Editor, TWQHCanvas& C)
            : e(Editor), Canvas(C), RightToLeft(Editor.UseRightToLeftAlignment())
        {
            if (RightToLeft)
                e.ChangeGridOrientation(Canvas, true);
        }
        ~TOrientation()
        {
            if (RightToLeft)
                e.ChangeGridOrientation(Canvas, false);
        }
        TOrientation(const TOrientation&) = delete;
        TOrientation& operator=(const TOrientation&) = delete;
    };

    static int RowStart(const TCustomWQHexEditor& e, int ARow0)
    {
        const int end = ARow0 < e.FixedRows() ? ARow0 : e.FixedRows();
        int y = 0;
        for (int i = 0; i < end; ++i)
            y += e.RowHeights(i);
        return y;
    }
};

void TCustomWQHexEditor::Paint()
{
    auto canvas = CreateQtCanvas(viewport(), font());
    PaintTo(*canvas);
    // The caret sits on its cell as painted, mirrored or not.
    WQHPaint::TOrientation orientation(*this, *canvas);
    DrawCaret(*canvas);
}

void TCustomWQHexEditor::PaintTo(TWQHCanvas& Canvas)
{
    WQHPaint::TOrientation orientation(*this, Canvas);
    TGridDrawInfo di;
    CalcDrawInfo(di);
    const int clientW = ClientWidth();
    const int clientH = ClientHeight();
    const TWQHColors& k = *FColors;

    // What the double buffer shows where nothing else is drawn.
    Canvas.BrushColor = k.Background();
    Canvas.FillRect(TRect{0, 0, clientW, clientH});

    if (FShowRuler) {
        PaintCellRange(Canvas, 0, 0, di.Horz.FixedBoundary, di.Vert.FixedBoundary, WQHPaint::kCorner);
        PaintCellRange(Canvas, LeftCol(), 0, di.Horz.GridBoundary, di.Vert.FixedBoundary, WQHPaint::kRuler);
    }
    PaintCellRange(Canvas, 0, TopRow(), di.Horz.FixedBoundary, di.Vert.GridBoundary, WQHPaint::kGutter);
    PaintCellRange(Canvas, LeftCol(), TopRow(), di.Horz.GridBoundary, di.Vert.GridBoundary, WQHPaint::kData);

    const int gutter = ColWidths(0);
    const int top = RowHeights(0) + RowHeights(1);
    if (di.Horz.GridBoundary < clientW) {
        Canvas.BrushColor = k.Background();
        Canvas.FillRect(TRect{di.Horz.GridBoundary, 0, clientW, di.Vert.GridBoundary});
        Canvas.BrushColor = k.OffsetBackground();
        Canvas.FillRect(TRect{di.Horz.GridBoundary, 0, clientW, top});
    }
    if (di.Vert.GridBoundary < clientH) {
        Canvas.BrushColor = k.Background();
        Canvas.FillRect(TRect{gutter + 1, di.Vert.GridBoundary, clientW, clientH});
        Canvas.BrushColor = k.OffsetBackground();
        Canvas.FillRect(TRect{0, di.Vert.GridBoundary, gutter, clientH});
    }

    if (gutter != 0) {
        if (FDrawGutter3D) {
            WQHPaint::Line(Canvas, clBtnShadow, gutter, top, gutter, clientH);
            WQHPaint::Line(Canvas, clBtnHighlight, gutter - 1, top, gutter - 1, clientH);
        } else if (FDrawGridLines) {
            WQHPaint::Line(Canvas, k.Grid(), gutter - 1, top, gutter - 1, clientH);
        }
    }
    if (FShowRuler) {
        if (FDrawGutter3D) {
            WQHPaint::Line(Canvas, clBtnShadow, gutter - 1, top - 1, clientW, top - 1);
            WQHPaint::Line(Canvas, clBtnHighlight, gutter - 1, top - 2, clientW, top - 2);
        } else if (FDrawGridLines) {
            WQHPaint::Line(Canvas, k.Grid(), gutter - 1, top - 1, clientW, top - 1);
        }
    }
}

void TCustomWQHexEditor::PaintCellRange(TWQHCanvas& Canvas, int ACol0, int ARow0, int XLimit, int YLimit, int Kind)
{
    WQHPaint::TState s = WQHPaint::ReadState(*this);
    if (Kind == WQHPaint::kData && !FUnicodeCharacters)
        WQHPaint::FillCharTable(*this, s);
    WQHPaint::TRowBytes rb;
    const int x0 = WQHPaint::ColStart(*this, ACol0);
    const int lastCol = std::min(ColCount() - 1, s.LastCharCol);
    int y = WQHPaint::RowStart(*this, ARow0);
    for (int r = ARow0; y < YLimit && r < RowCount(); ++r) {
        // A row of height 0 is still walked, so the host hears of its cells.
        const int h = RowHeights(r);
        int x = x0;
        for (int c = ACol0; x < XLimit && c <= lastCol; ++c) {
            const int w = ColWidths(c);
            if (w <= 0)
                continue;
            const TRect cell{x, y, x + w, y + h};
            switch (Kind) {
            case WQHPaint::kCorner:
                WQHPaint::CornerCell(*this, Canvas, s, c, r, cell);
                break;
            case WQHPaint::kRuler:
                WQHPaint::RulerCell(*this, Canvas, s, c, r, cell);
                break;
            case WQHPaint::kGutter:
                if (c == 0)
                    WQHPaint::GutterCell(*this, Canvas, s, c, r, cell);
                else
                    WQHPaint::SeparatorCell(*this, Canvas, cell);
                break;
            default:
                WQHPaint::DataCell(*this, Canvas, s, rb, c, r, cell);
                break;
            }
            x += w;
        }
        y += h;
    }
}
