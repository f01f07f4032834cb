// Page layout, page count, row texts and header lines of printed pages.
#include "hexeditor/ex/wqhprintrender.h"

#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhtranslate.h"
#include "platform/seams.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

constexpr TColor White = 0xFFFFFF;

QString Blanks(std::int64_t n)
{
    return n > 0 ? QString(qsizetype(n), QLatin1Char(' ')) : QString();
}

// Puts a canvas's font back however the page ends.
struct FontKeeper {
    TWQHCanvas& c;
    QFont saved;
    explicit FontKeeper(TWQHCanvas& Canvas) : c(Canvas), saved(Canvas.Font()) {}
    ~FontKeeper() { c.SetFont(saved); }
};

void Add(TTextWithAttr& Row, QChar Ch, const TCellAttribute& A)
{
    Row.Text += Ch;
    Row.Attributes.push_back(A);
}

} // namespace

std::int64_t WQHRoundHalfEven(double x)
{
    const double f = std::floor(x);
    const double d = x - f;
    if (d > 0.5)
        return std::int64_t(f) + 1;
    if (d < 0.5)
        return std::int64_t(f);
    const auto i = std::int64_t(f);
    return (i % 2 == 0) ? i : i + 1;
}

TRect WQHMarginsToPixels(const TWQHPrintMargins& M, int DpiX, int DpiY, int W, int H)
{
    auto px = [](int mm, int dpi) { return int(WQHRoundHalfEven(mm / 25.4 * dpi)); };
    return TRect{px(M[0], DpiX), px(M[1], DpiY), W - px(M[2], DpiX), H - px(M[3], DpiY)};
}

TWQHHeaderParts WQHSplitHeaderText(const QString& Text)
{
    TWQHHeaderParts parts;
    const qsizetype first = Text.indexOf(QLatin1Char('|'));
    if (first < 0) {
        parts.Left = Text;
        return parts;
    }
    parts.Left = Text.left(first);
    const qsizetype second = Text.indexOf(QLatin1Char('|'), first + 1);
    if (second < 0) {
        parts.Centre = Text.mid(first + 1);
        return parts;
    }
    parts.Centre = Text.mid(first + 1, second - first - 1);
    parts.Right = Text.mid(second + 1);
    return parts;
}

TWQHCanvasPrinter::TWQHCanvasPrinter(TWQHPrintSource& AEditor, TWQHCanvas& ACanvas, TWQHPrintFlags AFlags,
                                     const TRect& AMargins, const TWQHPrintHeaders& AHeaders)
    : FMargins(AMargins), FHeaders(AHeaders), FFlags(AFlags), FEditor(AEditor), FCanvas(ACanvas)
{
    CalcPageCount();
}

bool TWQHCanvasPrinter::ColourMode() const
{
    return WQHHasPrintFlag(FFlags, pfUseBackgroundColor) && !WQHHasPrintFlag(FFlags, pfMonochrome);
}

std::int64_t TWQHCanvasPrinter::CalcPageCount()
{
    const TWQHPrintFlags saved = FFlags;
    FFlags = WQHWithoutPrintFlag(FFlags, pfSelectionOnly);
    std::int64_t lines;
    try {
        lines = RenderPage(true, 1);
    } catch (...) {
        FFlags = saved;
        throw;
    }
    FFlags = saved;
    FLinesPerPage = lines;

    std::int64_t count;
    if (WQHHasPrintFlag(FFlags, pfSelectionOnly))
        count = FEditor.SelCount();
    else if (WQHHasPrintFlag(FFlags, pfCurrentViewOnly))
        count = FEditor.DataSize() > 0 ? std::int64_t(FEditor.DisplayEnd()) - FEditor.DisplayStart() + 1 : 0;
    else
        count = FEditor.DataSize();
    const std::int64_t b = std::max(1, FEditor.BytesPerRow());
    const std::int64_t rows = count > 0 ? (count + b - 1) / b : 0;
    if (rows <= 0) {
        FPages = 0;
    } else {
        // The layout leaves no room for a single row: there is no page to count.
        if (lines < 1)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::NoRoomForARow));
        FPages = (rows + lines - 1) / lines;
    }
    return lines;
}

QString TWQHCanvasPrinter::ExpandHeaderText(const QString& Template, std::int64_t Page) const
{
    QString out;
    const qsizetype n = Template.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Template[i];
        if (c != QLatin1Char('%') || i == n - 1) {
            out += c;
            continue;
        }
        const QChar k = Template[++i];
        switch (k.unicode()) {
        case u'F': out += FEditor.FileName(); break;
        case u'f': {
            const QString name = FEditor.FileName();
            const qsizetype cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
            out += name.mid(cut + 1);
            break;
        }
        case u'p': out += QString::number(Page); break;
        case u'P': out += QString::number(FPages); break;
        case u'd':
            out += QLocale::system().toString(platform::clock().now().date(), QLocale::ShortFormat);
            break;
        case u't': {
            // The platform's date-and-time text is the short date, a blank and
            // the long time: the time is what follows the date.
            const QDateTime now = platform::clock().now();
            const QString date = QLocale::system().toString(now.date(), QLocale::ShortFormat);
            out += platform::DateTimeToStr(now).mid(date.size() + 1);
            break;
        }
        case u'<':
            if (FEditor.UnicodeChars())
                out += QString::fromLatin1(FEditor.UnicodeBigEndian() ? wqhstr::UnicodeBEShort : wqhstr::UnicodeLEShort);
            else
                out += WQHTranslationDescShort[std::min<int>(FEditor.Translation(), 5)];
            break;
        case u'>':
            if (FEditor.UnicodeChars())
                out += QString::fromLatin1(FEditor.UnicodeBigEndian() ? wqhstr::UnicodeBE : wqhstr::UnicodeLE);
            else
                out += WQHTranslationDesc[std::min<int>(FEditor.Translation(), 5)];
            break;
        default:
            out += c;
            out += k;
            break;
        }
    }
    return out;
}

void TWQHCanvasPrinter::DrawHeaderLine(int Left, int Top, int Right, const QString& Text)
{
    const TWQHHeaderParts parts = WQHSplitHeaderText(Text);
    const TWQHTextAlign align = FCanvas.TextAlign;
    const bool transparent = FCanvas.TransparentText;
    struct Restore {
        TWQHCanvas& c;
        TWQHTextAlign a;
        bool t;
        ~Restore()
        {
            c.TextAlign = a;
            c.TransparentText = t;
        }
    } restore{FCanvas, align, transparent};
    FCanvas.TransparentText = true;
    const TRect clip{Left, Top, Right, Top + FCanvas.TextHeight(QStringLiteral("Yy"))};
    if (!parts.Right.isEmpty()) {
        FCanvas.TextAlign = taRightAlign;
        FCanvas.TextOut(clip, Right, Top, parts.Right);
    }
    if (!parts.Centre.isEmpty()) {
        FCanvas.TextAlign = taCenterAlign;
        FCanvas.TextOut(clip, Left + (Right - Left) / 2, Top, parts.Centre);
    }
    if (!parts.Left.isEmpty()) {
        FCanvas.TextAlign = taLeftAlign;
        FCanvas.TextOut(clip, Left, Top, parts.Left);
    }
}

std::int64_t TWQHCanvasPrinter::RenderPage(bool Measuring, std::int64_t Page)
{
    for (int i = 0; i < 2; ++i)
        FPrintHeaders[std::size_t(i)] = ExpandHeaderText(FHeaders[std::size_t(i)], Page);
    if (FEditor.DataSize() < 1)
        return -1;
    const int offsetWidth = int(FEditor.GetOffsetString(std::uint32_t(FEditor.DataSize())).size());
    if (!Measuring && FLinesPerPage < 1)
        return -1;
    const std::int64_t b = std::max(1, FEditor.BytesPerRow());

    std::int64_t first;
    std::int64_t last;
    if (WQHHasPrintFlag(FFlags, pfSelectionOnly) && FEditor.SelCount() > 0) {
        first = std::min(FEditor.SelStart(), FEditor.SelEnd());
        last = std::max(FEditor.SelStart(), FEditor.SelEnd());
    } else if (WQHHasPrintFlag(FFlags, pfCurrentViewOnly)) {
        first = FEditor.DisplayStart();
        last = FEditor.DisplayEnd();
    } else {
        first = 0;
        last = FEditor.DataSize() - 1;
    }
    if (!Measuring) {
        // A page far past the end starts past the range (and must not wrap).
        if (Page < 1 || Page - 1 > (last - first) / (FLinesPerPage * b))
            return -1;
        first += FLinesPerPage * b * (Page - 1);
    }
    if (first > last)
        return -1;

    std::int64_t result = 0;
    TTextWithAttr row;
    BuildDataRow(first, last, offsetWidth, row);

    FontKeeper keeper(FCanvas);
    const TWQHPrintColors colours = FEditor.Colors();
    FCanvas.BrushColor = ColourMode() ? colours.Background : White;
    FCanvas.FontColor = WQHHasPrintFlag(FFlags, pfMonochrome) ? clBlack : colours.FontColor;
    if (!Measuring)
        FCanvas.FillRect(FMargins);

    const int width = FMargins.Right - FMargins.Left;
    if (Measuring) {
        // The row takes one "w" per cell, whatever its characters.
        const qsizetype cells = row.Text.size();
        while (cells * FCanvas.TextWidth(QStringLiteral("w")) > width && FCanvas.FontSize() > 1)
            FCanvas.SetFontSize(FCanvas.FontSize() - 1);
        FFitSize = FCanvas.FontSize();
    } else {
        // Every page keeps the size the count was made with, so pages hold
        // the same number of rows.
        FCanvas.SetFontSize(FFitSize);
    }
    FCellWidth = FCanvas.TextWidth(QStringLiteral("w"));
    const int lineHeight = FCanvas.TextHeight(row.Text);
    FLineHeight = lineHeight;
    std::int64_t y = FMargins.Top;
    std::int64_t floor = FMargins.Bottom;
    std::int64_t pos = first;

    if (!FPrintHeaders[0].isEmpty()) {
        if (!Measuring) {
            DrawHeaderLine(FMargins.Left, int(y), FMargins.Right, FPrintHeaders[0]);
            FCanvas.MoveTo(FMargins.Left, int(y + lineHeight));
            FCanvas.LineTo(FMargins.Right, int(y + lineHeight));
        }
        y += 2 * std::int64_t(lineHeight);
    }
    if (!FPrintHeaders[1].isEmpty())
        floor -= lineHeight;
    if (WQHHasPrintFlag(FFlags, pfIncludeRuler) && FEditor.ShowRuler()) {
        if (!Measuring) {
            TTextWithAttr ruler;
            BuildRulerRow(offsetWidth, ruler);
            DrawRow(ruler, int(y), true);
            BuildDataRow(first, last, offsetWidth, row);
        }
        y += ColourMode() ? lineHeight : (3 * std::int64_t(lineHeight)) / 2;
    }
    const std::int64_t limit = Measuring ? INT64_MAX : FLinesPerPage;
    while (y + lineHeight <= floor && result < limit) {
        if (!Measuring)
            DrawRow(row, int(y), false);
        ++result;
        pos += b;
        if (pos > last)
            break;
        if (!Measuring)
            BuildDataRow(pos, last, offsetWidth, row);
        y += lineHeight;
    }
    if (!Measuring && !FPrintHeaders[1].isEmpty()) {
        const int top = FMargins.Bottom - lineHeight;
        DrawHeaderLine(FMargins.Left, top, FMargins.Right, FPrintHeaders[1]);
        FCanvas.MoveTo(FMargins.Left, top);
        FCanvas.LineTo(FMargins.Right, top);
    }
    return result;
}

void TWQHCanvasPrinter::DrawRow(const TTextWithAttr& Row, int Y, bool Ruler)
{
    const TColor fontColour = FCanvas.FontColor;
    const TColor brushColour = FCanvas.BrushColor;
    const bool bold = FCanvas.FontBold();
    struct Restore {
        TWQHCanvas& c;
        TColor f, b;
        bool bold;
        ~Restore()
        {
            c.FontColor = f;
            c.BrushColor = b;
            c.SetFontBold(bold);
        }
    } restore{FCanvas, fontColour, brushColour, bold};

    const bool mono = WQHHasPrintFlag(FFlags, pfMonochrome);
    const bool useBack = WQHHasPrintFlag(FFlags, pfUseBackgroundColor);
    const bool highlight = WQHHasPrintFlag(FFlags, pfSelectionBold) && !WQHHasPrintFlag(FFlags, pfSelectionOnly);
    const bool colour = ColourMode();
    const bool unicode = !Ruler && FEditor.UnicodeChars();
    const int lineHeight = FLineHeight;
    int x = FMargins.Left;
    for (qsizetype k = 0; k < Row.Text.size(); ++k) {
        const TCellAttribute& a = Row.Attributes[std::size_t(k)];
        if (!mono) {
            FCanvas.FontColor = a.Fore;
            if (useBack)
                FCanvas.BrushColor = a.Back;
            else if (a.Fore == White)
                FCanvas.FontColor = clBlack;
        }
        if (highlight) {
            if (colour) {
                FCanvas.SetFontBold(false);
                if (a.Bold) {
                    FCanvas.FontColor = ColorToRGB(FCanvas.FontColor) ^ White;
                    FCanvas.BrushColor = ColorToRGB(FCanvas.BrushColor) ^ White;
                }
            } else {
                FCanvas.SetFontBold(a.Bold);
            }
        }
        const TRect cell{x, Y, x + FCellWidth, Y + (Ruler && !colour ? (3 * lineHeight) / 2 : lineHeight)};
        const int size = FCanvas.FontSize();
        if (unicode) {
            int w = 0;
            int h = 0;
            while (FCanvas.FontSize() > 1 && FCanvas.CharExtent(Row.Text[k], w, h) && w > cell.Width())
                FCanvas.SetFontSize(FCanvas.FontSize() - 1);
        }
        FCanvas.TextBackground = FCanvas.BrushColor;
        FCanvas.TextRect(cell, x, Y, QString(Row.Text[k]));
        if (unicode && FCanvas.FontSize() != size)
            FCanvas.SetFontSize(size);
        if (Ruler && !colour) {
            FCanvas.MoveTo(cell.Left, Y + lineHeight + 1);
            FCanvas.LineTo(cell.Right + 1, Y + lineHeight + 1);
        }
        x = cell.Right;
    }
}

void TWQHCanvasPrinter::BuildDataRow(std::int64_t Pos, std::int64_t Last, int OffsetWidth, TTextWithAttr& Row)
{
    platform::ProcessMessages();
    Row.Text.clear();
    Row.Attributes.clear();
    // The data may have shrunk during the pump: what lies past its end is blank.
    const std::int64_t size = FEditor.DataSize();
    const std::int64_t last = std::min(Last, size - 1);
    const int b = std::max(1, FEditor.BytesPerRow());
    const TWQHPrintColors c = FEditor.Colors();
    const bool useBack = WQHHasPrintFlag(FFlags, pfUseBackgroundColor);
    const bool mono = WQHHasPrintFlag(FFlags, pfMonochrome);
    const bool plain = !ColourMode();
    const bool inChar = FEditor.InCharField();
    const TCellAttribute defaultSep{c.Background, c.FontColor, false};
    auto separator = [&](bool isDefault) {
        if (isDefault || Row.Attributes.empty())
            Add(Row, QLatin1Char(' '), defaultSep);
        else
            Add(Row, QLatin1Char(' '), Row.Attributes.back());
    };
    auto changed = [&](std::int64_t p) { return p >= 0 && p < size && FEditor.HasChanged(int(p)); };
    auto selected = [&](std::int64_t p) { return p >= 0 && p <= INT32_MAX && FEditor.IsSelected(int(p)); };

    // Offset.
    QString s = FEditor.GetOffsetString(std::uint32_t(Pos));
    if (!s.isEmpty()) {
        s = Blanks(OffsetWidth - s.size()) + s;
        if (plain)
            s += QLatin1Char(':');
        s += QLatin1Char(' ');
        const bool caretRow = Pos / b == std::int64_t(FEditor.CaretRow()) - 2;
        for (qsizetype k = 0; k < s.size(); ++k) {
            TCellAttribute a{0, 0, caretRow};
            const bool lastCell = k == s.size() - 1;
            if (lastCell || !useBack) {
                a.Fore = c.FontColor;
                a.Back = c.Background;
                if (lastCell && useBack)
                    a.Bold = false;
            } else if (caretRow) {
                a.Fore = c.CurrentOffset;
                a.Back = c.CurrentOffsetBackground;
                if (!mono)
                    a.Bold = false;
            } else {
                a.Fore = c.Offset;
                a.Back = c.OffsetBackground;
            }
            Add(Row, s[k], a);
        }
    }

    // Hex field.
    const int block = FEditor.BytesPerBlock();
    const int perColumn = FEditor.BytesPerColumn();
    const QString digits = FEditor.HexLowerCase() ? QStringLiteral("0123456789abcdef") : QStringLiteral("0123456789ABCDEF");
    bool odd = true;
    for (int i = 1; i <= b; ++i) {
        const std::int64_t p = Pos + i - 1;
        QChar d1 = QLatin1Char(' ');
        QChar d2 = QLatin1Char(' ');
        if (p <= last) {
            const std::uint8_t v = FEditor.GetDataAt(int(p));
            d1 = digits[v >> 4];
            d2 = digits[v & 15];
            if (FEditor.SwapNibbles())
                std::swap(d1, d2);
        }
        TCellAttribute a{inChar ? c.Background : c.ActiveFieldBackground, odd ? c.OddColumn : c.EvenColumn,
                         selected(p)};
        if (changed(p)) {
            a.Fore = c.ChangedText;
            a.Back = c.ChangedBackground;
        }
        Add(Row, d1, a);
        Add(Row, d2, a);
        if (i < b) {
            if (block > 1 && i % block == 0)
                separator(false);
            if (perColumn > 0 && i % perColumn == 0) {
                separator(false);
                odd = !odd;
            }
        }
    }
    separator(true);
    separator(true);

    // Character field.
    const int unit = FEditor.UsedRulerBytesPerUnit();
    const bool sepBlocks = FEditor.SeparateBlocksInCharField();
    const TColor charBack = inChar ? c.ActiveFieldBackground : c.Background;
    if (!FEditor.UnicodeChars()) {
        for (int i = 1; i <= b; ++i) {
            const std::int64_t p = Pos + i - 1;
            const QChar ch = p <= last ? FEditor.TranslateToAnsiChar(FEditor.GetDataAt(int(p))) : QLatin1Char(' ');
            TCellAttribute a{charBack, c.FontColor, selected(p)};
            if (changed(p)) {
                a.Fore = c.ChangedText;
                a.Back = c.ChangedBackground;
            }
            Add(Row, ch, a);
            if (i < b) {
                if (block > 1 && sepBlocks && i % block == 0)
                    separator(false);
                if (unit > 0 && unit != 1 && i % unit == 0)
                    separator(false);
            }
        }
    } else {
        const int chars = (b - 1) / 2 + 1;
        for (int k = 1; k <= chars; ++k) {
            const std::int64_t p = Pos + 2 * std::int64_t(k - 1);
            QChar ch = QLatin1Char(' ');
            if (p <= last) {
                // A lone last byte pairs with a zero.
                std::uint8_t lo = FEditor.GetDataAt(int(p));
                std::uint8_t hi = p + 1 < size ? FEditor.GetDataAt(int(p + 1)) : 0;
                if (FEditor.UnicodeBigEndian())
                    std::swap(lo, hi);
                const char16_t v = char16_t(lo | (hi << 8));
                ch = (v < 256 && FEditor.IsMasked(std::uint8_t(v))) ? FEditor.MaskChar() : QChar(v);
            }
            TCellAttribute a{charBack, c.FontColor, selected(p)};
            if (changed(p) || changed(p + 1)) {
                a.Fore = c.ChangedText;
                a.Back = c.ChangedBackground;
            }
            Add(Row, ch, a);
            if (k < chars) {
                if (block > 1 && sepBlocks && k % (block / 2) == 0)
                    separator(false);
                if (unit > 0 && unit != 2 && (2 * (k - 1)) % unit == 0)
                    separator(false);
            }
        }
    }
}

void TWQHCanvasPrinter::BuildRulerRow(int OffsetWidth, TTextWithAttr& Row)
{
    platform::ProcessMessages();
    Row.Text.clear();
    Row.Attributes.clear();
    const TWQHPrintColors c = FEditor.Colors();
    const bool useBack = WQHHasPrintFlag(FFlags, pfUseBackgroundColor);
    const bool mono = WQHHasPrintFlag(FFlags, pfMonochrome);
    const bool plain = !ColourMode();
    const TCellAttribute gap{c.OffsetBackground, c.Offset, false};
    const int caretCol = FEditor.CaretCol();
    const int b = std::max(1, FEditor.BytesPerRow());
    const int block = FEditor.BytesPerBlock();
    const int perColumn = FEditor.BytesPerColumn();
    const int unit = FEditor.UsedRulerBytesPerUnit();
    const bool sepBlocks = FEditor.SeparateBlocksInCharField();

    if (OffsetWidth > 0) {
        const int n = OffsetWidth + (plain ? 1 : 0) + 1;
        for (int k = 0; k < n; ++k)
            Add(Row, QLatin1Char(' '), gap);
    }
    auto mark = [&](QChar ch, int col) {
        TCellAttribute a{c.Background, c.FontColor, caretCol == col};
        if (useBack) {
            if (caretCol == col) {
                a.Fore = c.CurrentOffset;
                a.Back = c.CurrentOffsetBackground;
                if (!mono)
                    a.Bold = false;
            } else {
                a.Fore = c.Offset;
                a.Back = c.OffsetBackground;
            }
        }
        Add(Row, ch, a);
    };
    const QString hex = FEditor.RulerString();
    for (qsizetype i = 1; i <= hex.size(); ++i) {
        mark(hex[i - 1], int(i) + 1);
        if (i < hex.size()) {
            if (block > 1 && i % (2 * block) == 0)
                Add(Row, QLatin1Char(' '), gap);
            if (perColumn > 0 && i % (2 * perColumn) == 0)
                Add(Row, QLatin1Char(' '), gap);
        }
    }
    Add(Row, QLatin1Char(' '), gap);
    Add(Row, QLatin1Char(' '), gap);
    const QString chars = FEditor.RulerCharString();
    const bool unicode = FEditor.UnicodeChars();
    for (qsizetype i = 1; i <= chars.size(); ++i) {
        mark(chars[i - 1], 2 * b + 2 + int(i));
        if (i == chars.size())
            break;
        if (unicode) {
            if (block > 1 && sepBlocks && i % (block / 2) == 0)
                Add(Row, QLatin1Char(' '), gap);
            if (unit > 0 && unit != 2 && (2 * (i - 1)) % unit == 0)
                Add(Row, QLatin1Char(' '), gap);
        } else {
            if (block > 1 && sepBlocks && i % block == 0)
                Add(Row, QLatin1Char(' '), gap);
            if (unit > 0 && unit != 1 && i % unit == 0)
                Add(Row, QLatin1Char(' '), gap);
        }
    }
}
