// Painting of the editor control, read back from the recording canvas: which
// cell gets which glyph and colours, the caret frames, selection, changed
// bytes, bookmarks, the host's draw event, grid lines and edges.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <gtest/gtest.h>

namespace {

using Rec = TWQHRecordingCanvas;
using Call = Rec::TCall;

// Opens the fields a painting test sets up directly.
class PaintEd : public TWQHexEditor {
public:
    using TCustomWQHexEditor::FBookmarks;
    using TCustomWQHexEditor::FDropCol;
    using TCustomWQHexEditor::FDropRow;
    using TCustomWQHexEditor::FLastPosInCharField;
    using TCustomWQHexEditor::FPosInCharField;
    using TCustomWQHexEditor::FSelEnd;
    using TCustomWQHexEditor::FSelPosition;
    using TCustomWQHexEditor::FSelStart;
    using TCustomWQHexEditor::FShowDrag;
    using TCustomWQHexEditor::GetLastCharCol;
};

class EditorPaint : public ::testing::Test {
protected:
    void SetUp() override
    {
        ed.resize(900, 420);
        ed.show();
        QApplication::processEvents();
    }

    void Load(const QByteArray& bytes)
    {
        platform::TMemoryStream s;
        if (!bytes.isEmpty())
            s.WriteBuffer(bytes.constData(), bytes.size());
        s.Seek(0, platform::SeekOrigin::Begin);
        ed.LoadFromStream(s);
        ASSERT_EQ(ed.DataSize(), bytes.size());
    }

    static QByteArray Counting(int n)
    {
        QByteArray b(n, 0);
        for (int i = 0; i < n; ++i)
            b[i] = char(i);
        return b;
    }

    std::vector<Call> Paint()
    {
        Rec rec(ed.font());
        ed.PaintTo(rec);
        penWidthAfter = rec.PenWidth;
        return rec.Calls;
    }

    bool Focus()
    {
        ed.activateWindow();
        ed.setFocus();
        QApplication::processEvents();
        return ed.Focused();
    }

    bool Unfocus()
    {
        ed.clearFocus();
        QApplication::processEvents();
        return !ed.Focused();
    }

    void Caret(int c, int r)
    {
        ed.MoveColRow(c, r, true, false);
        ASSERT_EQ(ed.Col(), c);
        ASSERT_EQ(ed.Row(), r);
    }

    void Select(int from, int to)
    {
        ed.FSelPosition = from;
        ed.FSelStart = std::min(from, to);
        ed.FSelEnd = std::max(from, to);
    }

    int B() const { return ed.BytesPerRow(); }
    int HexCol(int pos, bool second = false) const { return 2 + 2 * (pos % B()) + (second ? 1 : 0); }
    int CharCol(int pos) const { return 2 * B() + 3 + pos % B(); }
    int RowOf(int pos) const { return pos / B() + 2; }

    // The whole cell (CellRect cuts at the client edge).
    TRect Cell(int c, int r) const
    {
        const TRect v = ed.CellRect(c, r);
        return TRect{v.Left, v.Top, v.Left + ed.ColWidths(c), v.Top + ed.RowHeights(r)};
    }

    const Call* TextAt(const std::vector<Call>& calls, int c, int r) const
    {
        const TRect cell = Cell(c, r);
        for (const Call& k : calls)
            if (k.Op == Rec::opTextRect && k.Rect.Left == cell.Left && k.Rect.Top == cell.Top)
                return &k;
        return nullptr;
    }

    const Call* FillAt(const std::vector<Call>& calls, int c, int r) const
    {
        const TRect cell = Cell(c, r);
        for (const Call& k : calls)
            if (k.Op == Rec::opFillRect && k.Rect == cell)
                return &k;
        return nullptr;
    }

    static int Count(const std::vector<Call>& calls, Rec::TOp op)
    {
        return int(std::count_if(calls.begin(), calls.end(), [op](const Call& k) { return k.Op == op; }));
    }

    static std::vector<Call> Only(const std::vector<Call>& calls, Rec::TOp op)
    {
        std::vector<Call> out;
        for (const Call& k : calls)
            if (k.Op == op)
                out.push_back(k);
        return out;
    }

    static bool HasLine(const std::vector<Call>& calls, TRect line, TColor colour)
    {
        for (const Call& k : calls)
            if (k.Op == Rec::opLine && k.Rect == line && ColorToRGB(k.Font) == ColorToRGB(colour))
                return true;
        return false;
    }

    testsupport::ScopedPlatformFakes fakes;
    PaintEd ed;
    int penWidthAfter = 0;
};

#define EXPECT_COLOR(a, b) EXPECT_EQ(ColorToRGB(a), ColorToRGB(b))

// ---- glyphs ----------------------------------------------------------------

TEST_F(EditorPaint, EveryByteShowsItsTwoDigitsAndItsCharacter)
{
    ed.resize(900, 600);
    Load(Counting(256));
    const auto calls = Paint();
    const QString digits = QStringLiteral("0123456789ABCDEF");
    for (int p = 0; p < 256; ++p) {
        const int r = RowOf(p);
        if (Cell(2, r).Bottom > ed.ClientHeight())
            break;
        const Call* hi = TextAt(calls, HexCol(p), r);
        const Call* lo = TextAt(calls, HexCol(p, true), r);
        const Call* ch = TextAt(calls, CharCol(p), r);
        ASSERT_TRUE(hi && lo && ch) << p;
        EXPECT_EQ(hi->Text, QString(digits[p >> 4])) << p;
        EXPECT_EQ(lo->Text, QString(digits[p & 15])) << p;
        EXPECT_EQ(ch->Text, QString(ed.TranslateToAnsiChar(std::uint8_t(p)))) << p;
        // Text box: the cell's left edge, one character wide, full height.
        EXPECT_EQ(hi->Rect.Width(), ed.CharWidth());
        EXPECT_EQ(hi->Rect.Height(), ed.RowHeights(r));
        EXPECT_EQ(hi->X, hi->Rect.Left);
        EXPECT_EQ(hi->Y, hi->Rect.Top);
    }
    // Control characters show the mask character.
    EXPECT_EQ(TextAt(calls, CharCol(0x1F), RowOf(0x1F))->Text, QStringLiteral("."));
    EXPECT_EQ(TextAt(calls, CharCol(0x41), RowOf(0x41))->Text, QStringLiteral("A"));
}

TEST_F(EditorPaint, SwappedNibblesAndLowerCaseDigits)
{
    Load(QByteArray("\xAB\x3C", 2));
    ed.SetSwapNibbles(true);
    ed.SetHexLowerCase(true);
    const auto calls = Paint();
    EXPECT_EQ(TextAt(calls, HexCol(0), 2)->Text, QStringLiteral("b"));
    EXPECT_EQ(TextAt(calls, HexCol(0, true), 2)->Text, QStringLiteral("a"));
    EXPECT_EQ(TextAt(calls, HexCol(1), 2)->Text, QStringLiteral("c"));
    EXPECT_EQ(TextAt(calls, HexCol(1, true), 2)->Text, QStringLiteral("3"));
}

TEST_F(EditorPaint, CellsPastTheDataAreFilledButShowNoGlyph)
{
    Load(Counting(20));
    const auto calls = Paint();
    // Row 3 holds bytes 16..19; byte 20 on is past the data.
    ASSERT_NE(TextAt(calls, HexCol(19, true), 3), nullptr);
    EXPECT_EQ(TextAt(calls, HexCol(20), 3), nullptr);
    EXPECT_EQ(TextAt(calls, CharCol(20), 3), nullptr);
    EXPECT_EQ(FillAt(calls, CharCol(20), 3), nullptr);
    EXPECT_EQ(ed.RowCount(), 4);  // no row past the data's last
}

// ---- colours per cell kind ---------------------------------------------------

TEST_F(EditorPaint, CornerRulerAndGutterColoursFollowTheCaret)
{
    Load(Counting(40));
    ed.SetShowRuler(true);
    Caret(HexCol(0x13), RowOf(0x13));
    const TWQHColors& k = ed.Colors();
    const auto calls = Paint();

    for (int c = 0; c < 2; ++c) {
        const Call* t = TextAt(calls, c, 0);
        ASSERT_NE(t, nullptr) << c;
        EXPECT_TRUE(t->Text.isEmpty());
        EXPECT_COLOR(t->Background, k.OffsetBackground());
        EXPECT_COLOR(t->Font, k.Offset());
        EXPECT_COLOR(FillAt(calls, c, 0)->Brush, k.OffsetBackground());
    }

    const Call* caretRuler = TextAt(calls, HexCol(0x13), 0);
    const Call* otherRuler = TextAt(calls, HexCol(0x13, true), 0);
    ASSERT_TRUE(caretRuler && otherRuler);
    EXPECT_EQ(caretRuler->Text, QString(ed.RulerString()[HexCol(0x13) - 2]));
    EXPECT_EQ(otherRuler->Text, QStringLiteral("3"));
    EXPECT_COLOR(caretRuler->Font, k.CurrentOffset());
    EXPECT_COLOR(caretRuler->Background, k.CurrentOffsetBackground());
    EXPECT_COLOR(caretRuler->Brush, k.OffsetBackground());
    EXPECT_COLOR(otherRuler->Font, k.Offset());
    EXPECT_COLOR(otherRuler->Background, k.OffsetBackground());
    EXPECT_EQ(TextAt(calls, 2 * B() + 2, 0)->Text, QStringLiteral("  "));
    EXPECT_EQ(TextAt(calls, CharCol(5), 0)->Text, QString(ed.RulerCharString()[5]));

    const Call* caretRow = TextAt(calls, 0, 3);
    const Call* otherRow = TextAt(calls, 0, 2);
    ASSERT_TRUE(caretRow && otherRow);
    EXPECT_EQ(caretRow->Text, ed.GetOffsetString(16));
    EXPECT_EQ(otherRow->Text, ed.GetOffsetString(0));
    EXPECT_COLOR(caretRow->Font, k.CurrentOffset());
    EXPECT_COLOR(caretRow->Background, k.CurrentOffsetBackground());
    EXPECT_COLOR(FillAt(calls, 0, 3)->Brush, k.CurrentOffsetBackground());
    EXPECT_COLOR(otherRow->Font, k.Offset());
    EXPECT_COLOR(FillAt(calls, 0, 2)->Brush, k.OffsetBackground());
    // Right-aligned with a 4-pixel margin, clipped to the whole cell.
    const TRect g = Cell(0, 3);
    EXPECT_EQ(caretRow->Rect, g);
    EXPECT_EQ(caretRow->X, g.Right - QFontMetrics(ed.font()).horizontalAdvance(caretRow->Text) - 4);
    // The separator column draws nothing without grid lines.
    EXPECT_EQ(TextAt(calls, 1, 2), nullptr);
    EXPECT_EQ(FillAt(calls, 1, 2), nullptr);
}

TEST_F(EditorPaint, DigitColumnGroupsAlternateBlueAndNavyAndCharactersUseTheFontColour)
{
    Load(Counting(16));
    ASSERT_EQ(ed.BytesPerColumn(), 2);
    ASSERT_EQ(ed.FontColor(), clWindowText);
    ed.SetFontColor(clPurple);
    ed.Colors().SetActiveFieldBackground(clYellow);
    ed.FLastPosInCharField = false;
    const auto calls = Paint();
    const TColor expected[] = {clBlue, clBlue, clNavy, clNavy, clBlue, clBlue, clNavy, clNavy};
    for (int p = 0; p < 8; ++p) {
        for (bool second : {false, true}) {
            const Call* t = TextAt(calls, HexCol(p, second), 2);
            ASSERT_NE(t, nullptr);
            EXPECT_COLOR(t->Font, expected[p]) << p;
            EXPECT_COLOR(t->Background, clYellow) << p;  // the active field
        }
        const Call* ch = TextAt(calls, CharCol(p), 2);
        EXPECT_COLOR(ch->Font, clPurple);
        EXPECT_COLOR(ch->Background, ed.Colors().Background());
    }
    // The active field's brush, except in the last digit column whose
    // trailing space keeps the plain background.
    EXPECT_COLOR(FillAt(calls, HexCol(3, true), 2)->Brush, clYellow);
    EXPECT_COLOR(FillAt(calls, HexCol(15, true), 2)->Brush, ed.Colors().Background());
    EXPECT_COLOR(FillAt(calls, CharCol(3), 2)->Brush, ed.Colors().Background());

    ed.SetBytesPerColumn(1);
    const auto single = Paint();
    EXPECT_COLOR(TextAt(single, HexCol(0), 2)->Font, clBlue);
    EXPECT_COLOR(TextAt(single, HexCol(1), 2)->Font, clNavy);
    EXPECT_COLOR(TextAt(single, HexCol(2, true), 2)->Font, clBlue);
}

TEST_F(EditorPaint, ChangedBytesShowChangedColoursInBothFields)
{
    Load(Counting(32));
    ed.SetChanged(3, true);
    const auto calls = Paint();
    const TWQHColors& k = ed.Colors();
    for (int c : {HexCol(3), HexCol(3, true), CharCol(3)}) {
        const Call* t = TextAt(calls, c, 2);
        EXPECT_COLOR(t->Font, k.ChangedText()) << c;
        EXPECT_COLOR(t->Background, k.ChangedBackground()) << c;
    }
    EXPECT_COLOR(TextAt(calls, HexCol(4), 2)->Background, k.Background());
    EXPECT_COLOR(TextAt(calls, CharCol(2), 2)->Font, clWindowText);
}

TEST_F(EditorPaint, AnOverwriteEditShowsChangedColoursAndAnInsertedByteDoesNot)
{
    Load(Counting(32));
    const TWQHColors& k = ed.Colors();
    Caret(HexCol(3), 2);
    ed.WMChar(u'A');
    ASSERT_EQ(ed.GetDataAt(3), 0xA3);
    auto calls = Paint();
    for (int c : {HexCol(3), HexCol(3, true), CharCol(3)}) {
        const Call* t = TextAt(calls, c, 2);
        ASSERT_NE(t, nullptr) << c;
        EXPECT_COLOR(t->Font, k.ChangedText()) << c;
        EXPECT_COLOR(t->Background, k.ChangedBackground()) << c;
    }
    EXPECT_EQ(TextAt(calls, HexCol(3), 2)->Text, QStringLiteral("A"));
    EXPECT_COLOR(TextAt(calls, HexCol(4), 2)->Font, clBlue);  // the third column group

    ed.SetInsertMode(true);
    ASSERT_TRUE(ed.InsertMode());
    Caret(HexCol(5), 2);
    ed.WMChar(u'B');
    ASSERT_EQ(ed.DataSize(), 33);
    ASSERT_EQ(ed.GetDataAt(5), 0xB0);
    calls = Paint();
    for (int c : {HexCol(5), HexCol(5, true), CharCol(5)}) {
        const Call* t = TextAt(calls, c, 2);
        ASSERT_NE(t, nullptr) << c;
        EXPECT_NE(ColorToRGB(t->Font), ColorToRGB(k.ChangedText())) << c;
        EXPECT_NE(ColorToRGB(t->Background), ColorToRGB(k.ChangedBackground())) << c;
    }
    EXPECT_EQ(TextAt(calls, HexCol(5), 2)->Text, QStringLiteral("B"));
}

// ---- selection ---------------------------------------------------------------

TEST_F(EditorPaint, SelectedBytesAreInvertedButTheLastBytesTrailingSpaceIsNot)
{
    Load(Counting(48));
    ASSERT_TRUE(Focus());
    ed.FLastPosInCharField = false;
    Select(2, 5);
    const auto calls = Paint();
    const TWQHColors& k = ed.Colors();
    const TColor hexBrush = k.ActiveFieldBackground();
    for (int p = 2; p <= 5; ++p) {
        const Call* t = TextAt(calls, HexCol(p), 2);
        EXPECT_EQ(ColorToRGB(t->Font), TCustomWQHexEditor::InvertColor(p < 4 ? clNavy : clBlue)) << p;
        EXPECT_EQ(ColorToRGB(t->Background), TCustomWQHexEditor::InvertColor(hexBrush)) << p;
        const TColor brush = FillAt(calls, HexCol(p, true), 2)->Brush;
        if (p < 5)
            EXPECT_EQ(ColorToRGB(brush), TCustomWQHexEditor::InvertColor(hexBrush)) << p;
        else
            EXPECT_COLOR(brush, hexBrush);
        const TColor charBrush = FillAt(calls, CharCol(p), 2)->Brush;
        if (p < 5)
            EXPECT_EQ(ColorToRGB(charBrush), TCustomWQHexEditor::InvertColor(k.Background())) << p;
        else
            EXPECT_COLOR(charBrush, k.Background());
    }
    EXPECT_COLOR(TextAt(calls, HexCol(6), 2)->Font, clNavy);
    EXPECT_COLOR(TextAt(calls, HexCol(1), 2)->Background, hexBrush);
    // The last cell drawn (byte 47, not selected) leaves its values behind.
    EXPECT_EQ(ed.DrawDataPosition(), 47);
    EXPECT_FALSE(ed.IsDrawDataSelected());
}

TEST_F(EditorPaint, TheLastColumnsOfASelectedRowKeepTheirTrailingSpace)
{
    Load(Counting(48));
    ASSERT_TRUE(Focus());
    ed.FLastPosInCharField = false;
    Select(10, 20);
    const auto calls = Paint();
    const TColor inverted = TCustomWQHexEditor::InvertColor(ed.Colors().ActiveFieldBackground());
    EXPECT_EQ(ColorToRGB(FillAt(calls, HexCol(15), 2)->Brush), inverted);
    EXPECT_COLOR(FillAt(calls, HexCol(15, true), 2)->Brush, ed.Colors().Background());
    EXPECT_COLOR(FillAt(calls, ed.GetLastCharCol(), 2)->Brush, ed.Colors().Background());
    // Its text box is still inverted.
    EXPECT_EQ(ColorToRGB(TextAt(calls, ed.GetLastCharCol(), 2)->Background),
              TCustomWQHexEditor::InvertColor(ed.Colors().Background()));
}

TEST_F(EditorPaint, HideSelectionHidesItWithoutFocusAndGrayTurnsItGrey)
{
    Load(Counting(48));
    ed.Colors().SetActiveFieldBackground(clWhite);
    ed.Colors().SetBackground(clWhite);
    ed.FLastPosInCharField = false;
    ASSERT_TRUE(Unfocus());
    Select(2, 5);

    ed.SetHideSelection(true);
    std::vector<bool> seen;
    ed.SetOnDrawCell([&](QObject*, TWQHCanvas&, int c, int r, QString&, const TRect&, bool&) {
        if (r == 2 && c == HexCol(3))
            seen.push_back(ed.IsDrawDataSelected());
    });
    auto calls = Paint();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0]);  // still selected, only not shown
    EXPECT_COLOR(TextAt(calls, HexCol(3), 2)->Font, clNavy);
    EXPECT_COLOR(TextAt(calls, HexCol(3), 2)->Background, clWhite);
    EXPECT_COLOR(FillAt(calls, HexCol(3, true), 2)->Brush, clWhite);

    ed.SetHideSelection(false);
    ed.SetGraySelectionIfNotFocused(true);
    calls = Paint();
    // Navy 0x800000 inverted is 0x7FFFFF (blue-green-red): grey level
    // (255*74 + 255*146 + 127*36) >> 8 = 237. White inverted is black.
    EXPECT_EQ(ColorToRGB(TextAt(calls, HexCol(3), 2)->Font), 0xEDEDED);
    EXPECT_EQ(ColorToRGB(TextAt(calls, HexCol(3), 2)->Background), 0x000000);
    // Blue 0xFF0000 inverted 0x00FFFF: (255*74 + 255*146) >> 8 = 219.
    EXPECT_EQ(ColorToRGB(TextAt(calls, HexCol(4), 2)->Font), 0xDBDBDB);
    EXPECT_EQ(ColorToRGB(TextAt(calls, HexCol(1, true), 2)->Font), ColorToRGB(clBlue));  // not selected
    EXPECT_EQ(ColorToRGB(TextAt(calls, HexCol(2), 2)->Font), 0xEDEDED);

    // With the focus the selection is inverted, not grey.
    ASSERT_TRUE(Focus());
    Select(2, 5);
    calls = Paint();
    EXPECT_EQ(ColorToRGB(TextAt(calls, HexCol(3), 2)->Font), 0x7FFFFF);
}

// ---- bookmarks ---------------------------------------------------------------

TEST_F(EditorPaint, TwoBookmarksInOneRowDrawTheirGlyphsAtTheSamePlaceInSlotOrder)
{
    Load(Counting(64));
    ed.FBookmarks[3] = TWQHBookmark{17, false};
    ed.FBookmarks[4] = TWQHBookmark{20, true};
    ed.FBookmarks[7] = TWQHBookmark{-1, true};  // not set
    const auto calls = Paint();
    const auto glyphs = Only(calls, Rec::opGlyph);
    ASSERT_EQ(glyphs.size(), 2u);
    EXPECT_EQ(glyphs[0].Index, 3);
    EXPECT_EQ(glyphs[1].Index, 14);
    const TRect g = Cell(0, 3);
    for (const Call& k : glyphs) {
        EXPECT_EQ(k.X, g.Left + 3);
        EXPECT_EQ(k.Y, g.Top + (g.Height() - 10) / 2);
    }
    // Drawn after the gutter cell's text, so they show over it.
    const auto text = std::find_if(calls.begin(), calls.end(), [&](const Call& k) {
        return k.Op == Rec::opTextRect && k.Rect == g;
    });
    const auto first = std::find_if(calls.begin(), calls.end(), [](const Call& k) { return k.Op == Rec::opGlyph; });
    EXPECT_LT(text - calls.begin(), first - calls.begin());
}

// ---- the host's draw event ---------------------------------------------------

TEST_F(EditorPaint, DrawCellEventSeesTheCellAndCanChangeOrSuppressIt)
{
    Load(Counting(20));
    ed.SetFocusFrame(false);
    ed.SetShowPositionIfNotFocused(true);
    ASSERT_TRUE(Unfocus());
    Caret(HexCol(2), 2);
    struct Seen {
        int c, r, pos;
        QString text;
        TRect rect;
        TColor font;
    };
    std::vector<Seen> seen;
    ed.SetOnDrawCell([&](QObject* sender, TWQHCanvas& canvas, int c, int r, QString& text, const TRect& rect,
                         bool& draw) {
        EXPECT_EQ(sender, &ed);
        EXPECT_TRUE(draw);
        seen.push_back(Seen{c, r, ed.DrawDataPosition(), text, rect, canvas.FontColor});
        if (r == 2 && c == HexCol(1))
            text.clear();
        if (r == 2 && c == HexCol(1, true))
            text = QStringLiteral("Zq");
        if (r == 2 && c == HexCol(2))
            draw = false;
        if (r == 2 && c == CharCol(0))
            canvas.BrushColor = clRed;
    });
    const auto calls = Paint();

    // Raised for gutter cells and data cells inside the data only.
    int data = 0;
    for (const Seen& s : seen) {
        if (s.c == 0) {
            EXPECT_EQ(s.pos, -1);
            EXPECT_EQ(s.rect, Cell(0, s.r));
            EXPECT_EQ(s.text, ed.GetOffsetString(std::uint32_t((s.r - 2) * B())));
        } else {
            ASSERT_GE(s.c, 2);
            ++data;
            EXPECT_LT(s.pos, 20);
            const TRect cell = Cell(s.c, s.r);
            EXPECT_EQ(s.rect, (TRect{cell.Left, cell.Top, cell.Left + ed.CharWidth(), cell.Bottom}));
        }
    }
    EXPECT_EQ(data, 20 * 3);
    const auto hit = std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.c == HexCol(1, true); });
    ASSERT_NE(hit, seen.end());
    EXPECT_EQ(hit->pos, 1);
    EXPECT_EQ(hit->text, QStringLiteral("1"));
    EXPECT_COLOR(hit->font, clBlue);

    // Empty text: background, no glyph. A new text: its first character.
    ASSERT_NE(FillAt(calls, HexCol(1), 2), nullptr);
    EXPECT_TRUE(TextAt(calls, HexCol(1), 2)->Text.isEmpty());
    EXPECT_EQ(TextAt(calls, HexCol(1, true), 2)->Text, QStringLiteral("Z"));
    EXPECT_COLOR(FillAt(calls, CharCol(0), 2)->Brush, clRed);
    // Not drawn at all, yet the caret frame is there.
    EXPECT_EQ(FillAt(calls, HexCol(2), 2), nullptr);
    EXPECT_EQ(TextAt(calls, HexCol(2), 2), nullptr);
    const auto frames = Only(calls, Rec::opFrameRect);
    ASSERT_EQ(frames.size(), 1u);
    const TRect cell = Cell(HexCol(2), 2);
    EXPECT_EQ(frames[0].Rect, (TRect{cell.Left, cell.Top, cell.Left + ed.CharWidth(), cell.Bottom - 1}));
    EXPECT_COLOR(frames[0].Font, ed.Colors().NonFocusCursorFrame());
}

TEST_F(EditorPaint, RulerAndCornerCellsGoThroughTheDrawEventToo)
{
    Load(Counting(4));
    ed.SetShowRuler(true);
    int corner = 0;
    int ruler = 0;
    std::vector<int> heights;  // of the row 0 cells seen
    ed.SetOnDrawCell([&](QObject*, TWQHCanvas&, int c, int r, QString& text, const TRect& rect, bool& draw) {
        if (r != 0)
            return;
        heights.push_back(rect.Height());
        EXPECT_EQ(ed.DrawDataPosition(), -1);
        if (c < 2) {
            ++corner;
            EXPECT_TRUE(text.isEmpty());
        } else {
            ++ruler;
            draw = false;
        }
    });
    const auto calls = Paint();
    EXPECT_EQ(corner, 2);
    EXPECT_EQ(ruler, ed.ColCount() - 2);
    EXPECT_EQ(TextAt(calls, 2, 0), nullptr);
    EXPECT_NE(TextAt(calls, 0, 0), nullptr);

    // A row of no height above the ruler band is still walked: the host
    // hears of each of its cells.
    ed.SetRowHeights(1, ed.RowHeights(0));
    ed.SetRowHeights(0, 0);
    heights.clear();
    corner = ruler = 0;
    Paint();
    EXPECT_EQ(corner, 2);
    EXPECT_EQ(ruler, ed.ColCount() - 2);
    EXPECT_EQ(heights, std::vector<int>(std::size_t(ed.ColCount()), 0));
}

// ---- unicode -----------------------------------------------------------------

TEST_F(EditorPaint, UnicodeCharactersAreMadeOfTwoBytesAndWideOnesShrink)
{
    // U+5B57 is a double-width ideograph (from a fallback font); 'i' fits.
    QByteArray d("\x57\x5B" "i\0" "\x01\0" "\x41\x01", 8);
    Load(d);
    ed.SetUnicodeCharacters(true);
    ASSERT_TRUE(ed.UnicodeChars());
    const int base = ed.font().pointSize();
    ASSERT_GT(base, 2);
    const int cw = ed.CharWidth();
    const QString wide(QChar(0x5B57));
    ASSERT_GT(QFontMetrics(ed.font()).horizontalAdvance(wide), cw);
    const auto calls = Paint();
    const int first = 2 * B() + 3;
    const Call* w = TextAt(calls, first, 2);
    const Call* i = TextAt(calls, first + 1, 2);
    ASSERT_TRUE(w && i);
    EXPECT_EQ(w->Text, wide);
    ASSERT_LT(w->FontSize, base);
    QFont at = ed.font();
    at.setPointSize(w->FontSize);
    EXPECT_TRUE(w->FontSize == 1 || QFontMetrics(at).horizontalAdvance(wide) <= cw);
    at.setPointSize(w->FontSize + 1);
    EXPECT_GT(QFontMetrics(at).horizontalAdvance(wide), cw);  // shrunk no further than needed
    EXPECT_EQ(i->Text, QStringLiteral("i"));
    EXPECT_EQ(i->FontSize, base);  // the size was restored
    EXPECT_EQ(TextAt(calls, first + 2, 2)->Text, QStringLiteral("."));     // masked below 256
    EXPECT_EQ(TextAt(calls, first + 3, 2)->Text, QString(QChar(0x0141)));  // not masked

    ed.SetUnicodeBigEndian(true);
    const auto swapped = Paint();
    EXPECT_EQ(TextAt(swapped, first, 2)->Text, QString(QChar(0x575B)));
    EXPECT_EQ(TextAt(swapped, first + 1, 2)->Text, QString(QChar(0x6900)));
}

TEST_F(EditorPaint, AChangedSecondByteMarksItsUnicodeCharacter)
{
    Load(Counting(8));
    ed.SetUnicodeCharacters(true);
    ed.SetChanged(3, true);
    const auto calls = Paint();
    const int first = 2 * B() + 3;
    EXPECT_COLOR(TextAt(calls, first + 1, 2)->Background, ed.Colors().ChangedBackground());
    EXPECT_COLOR(TextAt(calls, first, 2)->Background, ed.Colors().Background());
    EXPECT_COLOR(TextAt(calls, HexCol(2), 2)->Background, ed.Colors().Background());
    EXPECT_COLOR(TextAt(calls, HexCol(3), 2)->Background, ed.Colors().ChangedBackground());

    // With an odd size the last character's second byte is missing; a mark
    // set on its place still counts.
    ed.SetChanged(3, false);
    ed.SetDataSize(7);
    ed.SetChanged(7, true);
    ASSERT_TRUE(ed.UnicodeChars());
    ASSERT_TRUE(ed.HasChanged(7));
    const auto odd = Paint();
    EXPECT_COLOR(TextAt(odd, first + 3, 2)->Background, ed.Colors().ChangedBackground());
    EXPECT_COLOR(TextAt(odd, first + 1, 2)->Background, ed.Colors().Background());
    EXPECT_COLOR(TextAt(odd, HexCol(6), 2)->Background, ed.Colors().Background());
}

// ---- caret frames ------------------------------------------------------------

TEST_F(EditorPaint, WithFocusTheCaretsPlaceIsFramedInTheOtherField)
{
    Load(Counting(40));
    ASSERT_TRUE(Focus());
    ed.SetFocusFrame(false);
    Caret(HexCol(21, true), RowOf(21));
    auto frames = Only(Paint(), Rec::opFrameRect);
    ASSERT_EQ(frames.size(), 1u);
    TRect cell = Cell(CharCol(21), RowOf(21));
    EXPECT_EQ(frames[0].Rect, (TRect{cell.Left, cell.Top, cell.Left + ed.CharWidth(), cell.Bottom - 1}));
    EXPECT_COLOR(frames[0].Font, ed.Colors().CursorFrame());

    // From the character field: both digits of the byte.
    Caret(CharCol(21), RowOf(21));
    frames = Only(Paint(), Rec::opFrameRect);
    ASSERT_EQ(frames.size(), 1u);
    const TRect hi = Cell(HexCol(21), RowOf(21));
    const TRect lo = Cell(HexCol(21, true), RowOf(21));
    EXPECT_EQ(frames[0].Rect, (TRect{hi.Left, hi.Top, lo.Left + ed.CharWidth(), hi.Bottom - 1}));

    // The dotted focus frame instead of the outline.
    ed.SetFocusFrame(true);
    const auto calls = Paint();
    EXPECT_EQ(Count(calls, Rec::opFrameRect), 0);
    const auto dotted = Only(calls, Rec::opFocusRect);
    ASSERT_EQ(dotted.size(), 1u);
    EXPECT_EQ(dotted[0].Rect, frames[0].Rect);
}

TEST_F(EditorPaint, InUnicodeModeTheFrameCoversAllFourDigits)
{
    Load(Counting(40));
    ed.SetUnicodeCharacters(true);
    ASSERT_TRUE(Focus());
    ed.SetFocusFrame(false);
    const int charCol = 2 * B() + 3 + 2;  // the character of bytes 4 and 5
    Caret(charCol, 2);
    const auto frames = Only(Paint(), Rec::opFrameRect);
    ASSERT_EQ(frames.size(), 1u);
    const TRect first = Cell(HexCol(4), 2);
    const TRect last = Cell(HexCol(5, true), 2);
    EXPECT_EQ(frames[0].Rect, (TRect{first.Left, first.Top, last.Left + ed.CharWidth(), first.Bottom - 1}));
}

TEST_F(EditorPaint, WithoutFocusOnlyShowPositionIfNotFocusedFramesTheCaretCell)
{
    Load(Counting(40));
    ed.SetFocusFrame(false);
    ASSERT_TRUE(Unfocus());
    Caret(HexCol(5), 2);
    EXPECT_EQ(Count(Paint(), Rec::opFrameRect), 0);
    ed.SetShowPositionIfNotFocused(true);
    const auto frames = Only(Paint(), Rec::opFrameRect);
    ASSERT_EQ(frames.size(), 1u);
    const TRect cell = Cell(HexCol(5), 2);
    EXPECT_EQ(frames[0].Rect, (TRect{cell.Left, cell.Top, cell.Left + ed.CharWidth(), cell.Bottom - 1}));
    EXPECT_COLOR(frames[0].Font, ed.Colors().NonFocusCursorFrame());
}

TEST_F(EditorPaint, WithNoDataOnlyTheBackgroundAndTheFirstCellsFrameAreDrawn)
{
    ed.CreateEmptyFile(QString());
    ASSERT_EQ(ed.DataSize(), 0);
    ed.SetFocusFrame(false);
    ed.SetShowPositionIfNotFocused(true);
    ASSERT_TRUE(Unfocus());
    const auto calls = Paint();
    for (const Call& k : calls) {
        if (k.Op == Rec::opTextRect) {
            EXPECT_EQ(k.Rect.Left, Cell(0, 2).Left) << "only the gutter has text";
        }
    }
    const auto frames = Only(calls, Rec::opFrameRect);
    ASSERT_EQ(frames.size(), 1u);
    const TRect cell = Cell(2, 2);
    EXPECT_EQ(frames[0].Rect, (TRect{cell.Left, cell.Top, cell.Left + ed.CharWidth(), cell.Bottom - 1}));
    EXPECT_EQ(FillAt(calls, 2, 2), nullptr);
}

// ---- ruler -------------------------------------------------------------------

TEST_F(EditorPaint, WithoutTheRulerNothingOfItIsDrawn)
{
    Load(Counting(40));
    ASSERT_FALSE(ed.ShowRuler());
    auto calls = Paint();
    EXPECT_EQ(ed.RowHeights(0), 0);
    const int texts = Count(calls, Rec::opTextRect);
    EXPECT_EQ(texts, 3 /* gutter */ + 40 * 3);
    for (const Call& k : Only(calls, Rec::opLine))
        EXPECT_NE(k.Rect.Top, k.Rect.Bottom) << "a horizontal ruler edge";

    ed.SetShowRuler(true);
    calls = Paint();
    const int T = ed.RowHeights(0) + ed.RowHeights(1);
    EXPECT_GT(T, 0);
    EXPECT_EQ(Count(calls, Rec::opTextRect), texts + 2 + (ed.ColCount() - 2));
    const int g = ed.ColWidths(0);
    EXPECT_TRUE(HasLine(calls, TRect{g - 1, T - 1, ed.ClientWidth(), T - 1}, clBtnShadow));
    EXPECT_TRUE(HasLine(calls, TRect{g - 1, T - 2, ed.ClientWidth(), T - 2}, clBtnHighlight));
}

TEST_F(EditorPaint, RulerCellsPastTheRulerTextAreBlank)
{
    Load(Counting(60));
    ed.SetShowRuler(true);
    ed.SetBytesPerUnit(2);
    ed.SetBytesPerRow(15);
    ASSERT_EQ(ed.RulerString().size(), 28);  // 7 whole units of 2 bytes
    const auto calls = Paint();
    EXPECT_EQ(TextAt(calls, 2 + 27, 0)->Text, QString(ed.RulerString()[27]));
    for (int c : {2 + 28, 2 + 29}) {
        const Call* t = TextAt(calls, c, 0);
        ASSERT_NE(t, nullptr) << c;
        EXPECT_TRUE(t->Text.isEmpty()) << c;
        EXPECT_COLOR(FillAt(calls, c, 0)->Brush, ed.Colors().OffsetBackground());
    }
    const int firstChar = 2 * 15 + 3;
    const int len = ed.RulerCharString().size();
    ASSERT_LT(len, 15);
    EXPECT_EQ(TextAt(calls, firstChar + len - 1, 0)->Text, QString(ed.RulerCharString()[len - 1]));
    EXPECT_TRUE(TextAt(calls, firstChar + len, 0)->Text.isEmpty());
}

// ---- painting leaves the caret alone -------------------------------------------

TEST_F(EditorPaint, PaintingDoesNotMoveTheCaretOrChangeItsField)
{
    Load(Counting(40));
    Caret(HexCol(3), 2);
    ASSERT_FALSE(ed.FPosInCharField);
    Select(1, 4);
    Paint();
    EXPECT_FALSE(ed.FPosInCharField);
    EXPECT_FALSE(ed.InCharField());
    EXPECT_EQ(ed.Col(), HexCol(3));
    EXPECT_EQ(ed.Row(), 2);
    EXPECT_EQ(ed.SelStart(), 1);
    EXPECT_EQ(ed.SelEnd(), 4);

    Caret(CharCol(3), 2);
    ASSERT_TRUE(ed.FPosInCharField);
    ed.SetShowRuler(true);
    Paint();  // gutter and hex cells are drawn after the caret was placed
    EXPECT_TRUE(ed.FPosInCharField);
    EXPECT_TRUE(ed.InCharField());
}

// ---- drag mark, grid lines, strips, edges ----------------------------------------

TEST_F(EditorPaint, TheDragMarkIsATwoPixelLineInTheCellsTextColour)
{
    Load(Counting(40));
    ed.FShowDrag = true;
    ed.FDropCol = HexCol(3);
    ed.FDropRow = 2;
    const auto calls = Paint();
    const TRect cell = Cell(HexCol(3), 2);
    const auto lines = Only(calls, Rec::opLine);
    const auto mark = std::find_if(lines.begin(), lines.end(), [](const Call& k) { return k.PenWidth == 2; });
    ASSERT_NE(mark, lines.end());
    EXPECT_EQ(mark->Rect, (TRect{cell.Left + 1, cell.Top + 1, cell.Left + 1, cell.Bottom - 1}));
    EXPECT_COLOR(mark->Font, clNavy);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const Call& k) { return k.PenWidth == 2; }), 1);
    EXPECT_EQ(penWidthAfter, 1);
}

TEST_F(EditorPaint, GridLinesRunUnderEveryDataCellAndAlongTheFieldEdges)
{
    Load(Counting(32));
    ed.SetDrawGutter3D(false);
    ed.SetDrawGridLines(true);
    const TColor grid = ed.Colors().Grid();
    const auto calls = Paint();
    for (int c : {1, HexCol(0), HexCol(7, true), 2 * B() + 2, CharCol(4), ed.GetLastCharCol()}) {
        const TRect cell = Cell(c, 3);
        EXPECT_TRUE(HasLine(calls, TRect{cell.Left, cell.Bottom - 1, cell.Right, cell.Bottom - 1}, grid)) << c;
    }
    const TRect spacer = Cell(2 * B() + 2, 2);
    EXPECT_TRUE(HasLine(calls, TRect{spacer.Left, spacer.Top, spacer.Left, spacer.Bottom - 1}, grid));
    const TRect last = Cell(ed.GetLastCharCol(), 2);
    EXPECT_TRUE(HasLine(calls, TRect{last.Right - 1, last.Top, last.Right - 1, last.Bottom - 1}, grid));
    const int g = ed.ColWidths(0);
    EXPECT_TRUE(HasLine(calls, TRect{g - 1, 0, g - 1, ed.ClientHeight()}, grid));
    EXPECT_FALSE(HasLine(calls, TRect{g, 0, g, ed.ClientHeight()}, clBtnShadow));

    ed.SetDrawGridLines(false);
    EXPECT_EQ(Count(Paint(), Rec::opLine), 0);
}

TEST_F(EditorPaint, TheGutterGetsA3DEdgeAndTheAreasPastTheCellsAreFilled)
{
    Load(Counting(40));
    const TWQHColors& k = ed.Colors();
    const auto calls = Paint();
    const int g = ed.ColWidths(0);
    const int h = ed.ClientHeight();
    const int w = ed.ClientWidth();
    EXPECT_TRUE(HasLine(calls, TRect{g, 0, g, h}, clBtnShadow));
    EXPECT_TRUE(HasLine(calls, TRect{g - 1, 0, g - 1, h}, clBtnHighlight));
    TGridDrawInfo di;
    ed.CalcDrawInfo(di);
    ASSERT_LT(di.Horz.GridBoundary, w);
    ASSERT_LT(di.Vert.GridBoundary, h);
    auto filled = [&](TRect r, TColor c) {
        for (const Call& x : calls)
            if (x.Op == Rec::opFillRect && x.Rect == r && ColorToRGB(x.Brush) == ColorToRGB(c))
                return true;
        return false;
    };
    EXPECT_TRUE(filled(TRect{di.Horz.GridBoundary, 0, w, di.Vert.GridBoundary}, k.Background()));
    EXPECT_TRUE(filled(TRect{g + 1, di.Vert.GridBoundary, w, h}, k.Background()));
    EXPECT_TRUE(filled(TRect{0, di.Vert.GridBoundary, g, h}, k.OffsetBackground()));
    // Only the visible rows are drawn: three data rows, three gutter texts.
    EXPECT_EQ(Count(calls, Rec::opTextRect), 3 + 40 * 3);
}

TEST_F(EditorPaint, RightToLeftDrawsEveryCellMirroredAndTheCanvasTurnsBack)
{
    Load(Counting(40));
    ed.SetShowRuler(true);
    ed.SetDrawGridLines(true);
    ed.FBookmarks[2].mPosition = 17;
    ed.FShowDrag = true;
    ed.FDropCol = HexCol(5);
    ed.FDropRow = 2;
    Focus();
    const auto ltr = Paint();
    ed.setLayoutDirection(Qt::RightToLeft);
    Rec rec(ed.font());
    ed.PaintTo(rec);
    EXPECT_EQ(rec.MirrorWidth(), 0) << "the orientation is switched back after the paint";
    const auto& rtl = rec.Calls;

    // The same calls in the same order, each at its mirrored place; texts
    // and glyphs keep their reading direction inside their mirrored box.
    const int w = ed.ClientWidth();
    const QFontMetrics m(ed.font());
    ASSERT_EQ(rtl.size(), ltr.size());
    ASSERT_GT(Count(ltr, Rec::opGlyph), 0);
    ASSERT_GT(Count(ltr, Rec::opLine), 0);
    for (std::size_t i = 0; i < ltr.size(); ++i) {
        const Call& a = ltr[i];
        const Call& b = rtl[i];
        ASSERT_EQ(b.Op, a.Op) << i;
        EXPECT_EQ(b.Text, a.Text) << i;
        EXPECT_EQ(b.Font, a.Font) << i;
        EXPECT_EQ(b.Brush, a.Brush) << i;
        switch (a.Op) {
        case Rec::opLine:
            EXPECT_EQ(b.Rect, (TRect{w - 1 - a.Rect.Left, a.Rect.Top, w - 1 - a.Rect.Right, a.Rect.Bottom})) << i;
            break;
        case Rec::opGlyph:
            EXPECT_EQ(b.X, w - a.X - 10) << i;
            EXPECT_EQ(b.Y, a.Y) << i;
            break;
        default:
            EXPECT_EQ(b.Rect, (TRect{w - a.Rect.Right, a.Rect.Top, w - a.Rect.Left, a.Rect.Bottom})) << i;
            if (a.Op == Rec::opTextRect)
                EXPECT_EQ(b.X, w - a.X - m.horizontalAdvance(a.Text)) << i;
            break;
        }
    }
    // So the gutter sits at the right edge, and byte 0 just left of it.
    const int g = ed.ColWidths(0);
    const TRect gutter = Cell(0, 2);
    const auto at = [&](const std::vector<Call>& calls, const QString& text, int top) -> const Call* {
        for (const Call& k : calls)
            if (k.Op == Rec::opTextRect && k.Text == text && k.Rect.Top == top)
                return &k;
        return nullptr;
    };
    const Call* offset = at(rtl, ed.GetOffsetString(0), gutter.Top);
    ASSERT_NE(offset, nullptr);
    EXPECT_EQ(offset->Rect, (TRect{w - g, gutter.Top, w, gutter.Bottom}));
    const TRect digit = Cell(HexCol(0), 2);
    const Call* first = at(rtl, QStringLiteral("0"), digit.Top);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Rect.Right, w - digit.Left);
    EXPECT_LT(first->Rect.Right, w - g);
}

TEST_F(EditorPaint, OnlyTheVisibleRowsOfALongImageArePainted)
{
    Load(Counting(64 * 1024));
    ed.SetTopRow(1000);
    const int rows = ed.VisibleRowCount();
    ASSERT_GT(rows, 3);
    const auto calls = Paint();
    const int texts = Count(calls, Rec::opTextRect);
    // Every fully visible row, at most one partly visible one.
    EXPECT_GE(texts, rows * (1 + 16 * 3));
    EXPECT_LE(texts, (rows + 1) * (1 + 16 * 3));
    EXPECT_EQ(TextAt(calls, 0, 1000)->Text, ed.GetOffsetString(998 * 16));
    // Byte 998 * 16 = 15968 holds 15968 mod 256 = 0x60.
    EXPECT_EQ(TextAt(calls, HexCol(0), 1000)->Text, QStringLiteral("6"));
    EXPECT_EQ(TextAt(calls, HexCol(0, true), 1000)->Text, QStringLiteral("0"));
    EXPECT_EQ(TextAt(calls, CharCol(1), 1000)->Text, QString(ed.TranslateToAnsiChar(0x61)));
}

} // namespace
