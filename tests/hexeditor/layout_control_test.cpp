// The editor's layout on a real control: rows and columns for its data,
// column widths, the display properties and their errors, the caret across a
// bytes-per-row change, the width fit, the ruler, colours and the cursor stack.
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhformprops.h"
#include "hexeditor/wqhgeometry.h"
#include "hexeditor/wqhwaitcursor.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class Editor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::CalcSizes;
    using TCustomWQHexEditor::OldCursor;
    using TCustomWQHexEditor::WaitCursor;
};

void Load(TCustomWQHexEditor& ed, int size)
{
    platform::TMemoryStream s;
    for (int i = 0; i < size; ++i) {
        const auto b = static_cast<std::uint8_t>(i * 7 + 1);
        s.WriteBuffer(&b, 1);
    }
    ed.LoadFromStream(s);
}

QString ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EWQHexEditor& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

TWQHGeometry GeometryOf(const TCustomWQHexEditor& ed)
{
    TWQHGeometry g;
    g.BytesPerRow = ed.BytesPerRow();
    g.BytesPerColDigits = 2 * ed.BytesPerColumn();
    g.BlockSize = ed.BytesPerBlock();
    g.SepCharBlocks = ed.SeparateBlocksInCharField();
    g.Unicode = ed.UnicodeChars();
    g.UsedRulerBytesPerUnit = ed.UsedRulerBytesPerUnit();
    g.CharWidth = ed.CharWidth();
    return g;
}

void ExpectWidthsMatch(const TCustomWQHexEditor& ed)
{
    const TWQHGeometry g = GeometryOf(ed);
    ASSERT_EQ(ed.ColCount(), WQHColCount(g));
    EXPECT_EQ(ed.ColWidths(1), 6);
    for (int c = 2; c < ed.ColCount(); ++c)
        EXPECT_EQ(ed.ColWidths(c), WQHColWidth(g, c)) << "column " << c;
}

} // namespace

TEST(LayoutControl, RowCountFollowsTheDataAndInsertMode)
{
    Editor ed;
    ed.CreateEmptyFile(QString());
    EXPECT_EQ(ed.RowCount(), 3);
    Load(ed, 100);
    EXPECT_EQ(ed.RowCount(), 9);
    Load(ed, 96);
    EXPECT_EQ(ed.RowCount(), 8);
    ed.SetInsertMode(true);
    ASSERT_TRUE(ed.InsertMode());
    EXPECT_EQ(ed.RowCount(), 9);
    ed.SetInsertMode(false);
    EXPECT_EQ(ed.RowCount(), 8);
    ed.SetBytesPerRow(32);
    EXPECT_EQ(ed.RowCount(), 5);
    EXPECT_EQ(ed.ColCount(), 99);
}

TEST(LayoutControl, MetricsComeFromTheFontAtTheFirstLayout)
{
    Editor ed;
    Load(ed, 40);
    const QFontMetrics fm(ed.font());
    EXPECT_EQ(ed.CharWidth(), fm.horizontalAdvance(QLatin1Char('w')));
    EXPECT_EQ(ed.CharHeight(), fm.height() + 2);
    EXPECT_EQ(ed.DefaultRowHeight(), ed.CharHeight());
    EXPECT_EQ(ed.RowHeight(), ed.CharHeight());
    EXPECT_EQ(ed.RowHeights(4), ed.CharHeight());
    EXPECT_EQ(ed.RowHeights(5), 0);  // past the last row
    EXPECT_EQ(ed.RowHeights(0), 0);
    EXPECT_EQ(ed.RowHeights(1), 0);
    EXPECT_GT(ed.ColWidths(0), 0);  // the gutter holds the offset text
    ExpectWidthsMatch(ed);
    ed.SetShowRuler(true);
    EXPECT_EQ(ed.RowHeights(0), ed.DefaultRowHeight() + 3);
    EXPECT_EQ(ed.RowHeights(1), 0);
    ed.SetShowRuler(false);
    EXPECT_EQ(ed.RowHeights(0), 0);
}

TEST(LayoutControl, ColumnWidthsFollowGroupsBlocksAndUnits)
{
    Editor ed;
    Load(ed, 64);
    const int cw = ed.CharWidth();
    ASSERT_GT(cw, 0);
    EXPECT_EQ(ed.ColWidths(5), 2 * cw);
    EXPECT_EQ(ed.ColWidths(7), cw);
    EXPECT_EQ(ed.ColWidths(33), 2 * cw);
    EXPECT_EQ(ed.ColWidths(50), 2 * cw + 1);
    ed.SetBytesPerColumn(1);
    EXPECT_EQ(ed.ColWidths(7), 2 * cw);
    ExpectWidthsMatch(ed);
    ed.SetBytesPerColumn(2);
    ed.SetBytesPerBlock(8);
    EXPECT_EQ(ed.ColWidths(17), 3 * cw);
    EXPECT_EQ(ed.ColWidths(35 + 7), 2 * cw + 1);
    ExpectWidthsMatch(ed);
    // Switching the character-field spacing off takes effect at once.
    ed.SetSeparateBlocksInCharField(false);
    EXPECT_EQ(ed.ColWidths(35 + 7), cw + 1);
    EXPECT_EQ(ed.ColWidths(17), 3 * cw);
    ed.SetSeparateBlocksInCharField(true);
    EXPECT_EQ(ed.ColWidths(35 + 7), 2 * cw + 1);
    ed.SetBytesPerBlock(0x7FFFFFFF);  // longer than any row: no block ends in it
    EXPECT_EQ(ed.ColWidths(7), cw);
    EXPECT_EQ(ed.ColWidths(17), 2 * cw);
    EXPECT_EQ(ed.ColWidths(35 + 7), cw + 1);
    ed.SetBytesPerBlock(-1);
    EXPECT_EQ(ed.ColWidths(17), 2 * cw);
    ed.SetBytesPerUnit(4);
    EXPECT_EQ(ed.UsedRulerBytesPerUnit(), 4);
    EXPECT_EQ(ed.ColWidths(35 + 3), (3 * cw) / 2 + 1);
    ExpectWidthsMatch(ed);
    ed.SetRulerBytesPerUnit(1);
    EXPECT_EQ(ed.UsedRulerBytesPerUnit(), 1);
    EXPECT_EQ(ed.ColWidths(35 + 3), cw + 1);
    ed.SetRulerBytesPerUnit(-1);
    EXPECT_EQ(ed.UsedRulerBytesPerUnit(), 4);
}

TEST(LayoutControl, UnicodeModeHasOneColumnPerCharacter)
{
    Editor ed;
    Load(ed, 64);
    ed.SetBytesPerRow(8);
    ed.SetUnicodeCharacters(true);
    ASSERT_TRUE(ed.UnicodeChars());
    EXPECT_EQ(ed.ColCount(), 23);
    EXPECT_EQ(ed.RowCount(), 10);
    ExpectWidthsMatch(ed);
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerRow(15); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(ed.BytesPerRow(), 8);
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerUnit(4); }),
              QStringLiteral("BytesPerUnit must be set to 2 in unicode mode"));
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerUnit(3); }),
              QStringLiteral("BytesPerUnit must be set to 2 in unicode mode"));
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerColumn(3); }), QStringLiteral("Invalid bytes per column argument"));
    ed.SetBytesPerRow(16);
    EXPECT_EQ(ed.ColCount(), 43);
}

TEST(LayoutControl, BadValuesRaiseAndChangeNothing)
{
    Editor ed;
    Load(ed, 64);
    const int cols = ed.ColCount();
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerRow(0); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerRow(257); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerRow(-16); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(ed.BytesPerRow(), 16);
    EXPECT_EQ(ed.ColCount(), cols);
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerUnit(3); }),
              QStringLiteral("Invalid bytes per unit value 3, allowed: 1,2,4,8"));
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerUnit(16); }),
              QStringLiteral("Invalid bytes per unit value 16, allowed: 1,2,4,8"));
    EXPECT_EQ(ed.BytesPerUnit(), 1);
    EXPECT_EQ(ErrorOf([&] { ed.SetRulerBytesPerUnit(0); }),
              QStringLiteral("Invalid ruler bytes per unit value 0, allowed: -1,1,2,4,8"));
    EXPECT_EQ(ed.RulerBytesPerUnit(), -1);
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerColumn(0); }), QStringLiteral("Invalid bytes per column argument"));
    EXPECT_EQ(ErrorOf([&] { ed.SetBytesPerColumn(257); }), QStringLiteral("Invalid bytes per column argument"));
    EXPECT_EQ(ed.BytesPerColumn(), 2);
    // Accepted edges.
    ed.SetBytesPerRow(1);
    EXPECT_EQ(ed.ColCount(), 6);
    ed.SetBytesPerRow(256);
    EXPECT_EQ(ed.ColCount(), 771);
    ExpectWidthsMatch(ed);
}

TEST(LayoutControl, CaretKeepsItsDigitAndTheSelectionAcrossABytesPerRowChange)
{
    Editor ed;
    Load(ed, 100);
    const TGridCoord first = ed.GetCursorAtPos(20, false);
    ed.MoveColRow(first.X + 1, first.Y, true, true);
    ASSERT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 20);
    ed.NewSelection(3, 10);
    ed.SetBytesPerRow(8);
    EXPECT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 20);
    EXPECT_EQ(ed.Col(), ed.GetCursorAtPos(20, false).X + 1);
    EXPECT_EQ(ed.Row(), 20 / 8 + 2);
    EXPECT_EQ(ed.SelCount(), 8);
    EXPECT_EQ(ed.SelStart(), 3);
    EXPECT_EQ(ed.SelEnd(), 10);
    // In the character field it keeps its field.
    ed.ResetSelection(false);
    const TGridCoord ch = ed.GetCursorAtPos(37, true);
    ed.MoveColRow(ch.X, ch.Y, true, true);
    ed.SetBytesPerRow(24);
    EXPECT_EQ(ed.Col(), ed.GetCursorAtPos(37, true).X);
    EXPECT_EQ(ed.Row(), 37 / 24 + 2);
}

TEST(LayoutControl, CaretOnTheAppendPositionMovesToTheLastByte)
{
    Editor ed;
    Load(ed, 100);
    ed.SetInsertMode(true);
    const TGridCoord end = ed.GetCursorAtPos(100, false);
    ed.MoveColRow(end.X, end.Y, true, true);
    ASSERT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 100);
    ed.SetBytesPerRow(10);
    EXPECT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 99);
}

TEST(LayoutControl, BytesPerRowIsIgnoredWhileItFollowsTheWidth)
{
    Editor ed;
    ed.resize(300, 200);
    ed.show();
    QApplication::processEvents();
    ed.SetAutoBytesPerRow(true);
    const int fitted = ed.BytesPerRow();
    ed.SetBytesPerRow(fitted == 4 ? 6 : 4);
    EXPECT_EQ(ed.BytesPerRow(), fitted);
    ed.SetBytesPerRow(0);  // not even checked
    EXPECT_EQ(ed.BytesPerRow(), fitted);
    ed.SetAutoBytesPerRow(false);
    EXPECT_EQ(ed.BytesPerRow(), fitted);
    ed.SetBytesPerRow(16);
    EXPECT_EQ(ed.BytesPerRow(), 16);
}

TEST(LayoutControl, AutoBytesPerRowFitsTheWindowFromTwoTo256)
{
    Editor ed;
    Load(ed, 1000);
    ed.resize(120, 200);
    ed.show();
    QApplication::processEvents();
    ed.SetAutoBytesPerRow(true);
    EXPECT_EQ(ed.BytesPerRow(), 2);
    ed.resize(30000, 200);
    QApplication::processEvents();
    EXPECT_EQ(ed.BytesPerRow(), 256);
    // A middle width gets the largest even row that fits.
    ed.resize(700, 200);
    QApplication::processEvents();
    const int n = ed.BytesPerRow();
    EXPECT_EQ(n % 2, 0);
    const TWQHGeometry g = GeometryOf(ed);
    const int avail = ed.ClientWidth() - ed.ColWidths(0) - ed.ColWidths(1) - 8;
    EXPECT_LE(WQHRowWidthEstimate(g, n), avail);
    EXPECT_GT(WQHRowWidthEstimate(g, n + 2), avail);
    EXPECT_GT(n, 2);
    EXPECT_LT(n, 256);
}

TEST(LayoutControl, RulerNumberBaseAndTexts)
{
    Editor ed;
    ed.SetRulerNumberBase(1);
    EXPECT_EQ(ed.RulerNumberBase(), 16);
    ed.SetRulerNumberBase(17);
    EXPECT_EQ(ed.RulerNumberBase(), 16);
    ed.SetRulerNumberBase(10);
    EXPECT_EQ(ed.RulerNumberBase(), 10);
    EXPECT_EQ(ed.RulerCharString(), QStringLiteral("0123456789012345"));
    EXPECT_EQ(ed.RulerString(), QStringLiteral("00010203040506070809101112131415"));
    ed.SetRulerNumberBase(16);
    ed.SetHexLowerCase(true);
    EXPECT_EQ(ed.RulerCharString(), QStringLiteral("0123456789abcdef"));
    ed.SetHexLowerCase(false);
    ed.SetBytesPerUnit(2);
    EXPECT_EQ(ed.RulerString(), QStringLiteral("00000001000200030004000500060007"));
    EXPECT_EQ(ed.RulerCharString(), QStringLiteral(" 0 1 2 3 4 5 6 7"));
    ed.SetBytesPerRow(4);
    EXPECT_EQ(ed.RulerCharString(), QStringLiteral(" 0 1"));
}

TEST(LayoutControl, ColoursBackgroundSetsTheControlColour)
{
    Editor ed;
    EXPECT_EQ(ed.Color(), clWindow);
    ed.Colors().SetBackground(clYellow);
    EXPECT_EQ(ed.Color(), clYellow);
    EXPECT_EQ(ed.viewport()->palette().color(QPalette::Base), QColor(255, 255, 0));
    TWQHColors other(nullptr);
    other.SetBackground(clAqua);
    other.SetOddColumn(clRed);
    other.SetGrid(clGreen);
    ed.SetColors(other);
    EXPECT_EQ(ed.Color(), clAqua);
    EXPECT_EQ(ed.Colors().OddColumn(), clRed);
    EXPECT_EQ(ed.Colors().Grid(), clGreen);
    EXPECT_EQ(ed.Colors().EvenColumn(), clNavy);
    EXPECT_EQ(&ed.Colors(), &ed.Colors());
    EXPECT_EQ(ed.Colors().Parent(), &ed);
    // The other set stays unattached.
    EXPECT_EQ(other.Parent(), nullptr);
}

TEST(LayoutControl, WaitCursorTwiceThenOldCursorTwiceRestoresTheFirst)
{
    Editor ed;
    ASSERT_EQ(ed.Cursor(), crIBeam);
    ed.WaitCursor();
    EXPECT_EQ(ed.Cursor(), crHourGlass);
    ed.WaitCursor();
    ed.OldCursor();
    EXPECT_EQ(ed.Cursor(), crHourGlass);
    ed.OldCursor();
    EXPECT_EQ(ed.Cursor(), crIBeam);
    // An empty stack: nothing.
    ed.OldCursor();
    EXPECT_EQ(ed.Cursor(), crIBeam);
}

TEST(LayoutControl, WaitCursorBracketRestoresWhenAnExceptionPasses)
{
    Editor ed;
    ed.SetCursor(crArrow);
    try {
        TWQHWaitCursor outer(ed);
        EXPECT_EQ(ed.Cursor(), crHourGlass);
        TWQHWaitCursor inner(ed);
        throw std::runtime_error("interrupted");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ed.Cursor(), crArrow);
    ed.OldCursor();  // nothing left on the stack
    EXPECT_EQ(ed.Cursor(), crArrow);
}

TEST(LayoutControl, TopLeftPositionRoundTrip)
{
    Editor ed;
    ed.resize(600, 300);
    ed.show();
    QApplication::processEvents();
    Load(ed, 4096);
    ed.SetTopLeftPosition(16 * 50 + 3, false);
    EXPECT_EQ(ed.TopRow(), 52);
    bool inChars = true;
    const int pos = ed.GetTopLeftPosition(inChars);
    EXPECT_FALSE(inChars);
    EXPECT_EQ(pos, 16 * 50 + (ed.LeftCol() - 2) / 2);
    ed.SetTopLeftPosition(16 * 10, true);
    EXPECT_EQ(ed.TopRow(), 12);
    ed.GetTopLeftPosition(inChars);
    EXPECT_EQ(inChars, ed.LeftCol() > 2 * 16 + 2);
}

TEST(LayoutControl, TinyEditorStillReachesEveryRow)
{
    Editor ed;
    Load(ed, 1000);
    ed.resize(400, ed.RowHeights(0) + ed.RowHeight() / 2 + 4);
    ed.show();
    QApplication::processEvents();
    EXPECT_LE(ed.VisibleRowCount(), 1);
    EXPECT_EQ(ed.PageRowCount(), 1);
    const TGridCoord last = ed.GetCursorAtPos(999, false);
    ed.MoveColRow(last.X, last.Y, true, true);
    EXPECT_EQ(ed.Row(), last.Y);
    EXPECT_EQ(ed.TopRow(), last.Y);
    ed.SetTopRow(1 << 30);
    EXPECT_EQ(ed.TopRow(), ed.RowCount() - 1);
}

TEST(LayoutControl, DataSetAppearsOnFirstShowOrAfterLoaded)
{
    {
        Editor ed;
        EXPECT_EQ(ed.Filename(), QStringLiteral("---"));
        ed.show();
        QApplication::processEvents();
        EXPECT_EQ(ed.Filename(), QStringLiteral("Untitled"));
        EXPECT_EQ(ed.DataSize(), 0);
        EXPECT_GT(ed.CharWidth(), 0);
    }
    {
        Editor ed;
        Load(ed, 10);
        ed.show();
        QApplication::processEvents();
        // Data loaded before the first show is not thrown away by it.
        EXPECT_EQ(ed.DataSize(), 10);
        EXPECT_EQ(ed.GetDataAt(9), 9 * 7 + 1);
    }
    {
        Editor ed;
        Load(ed, 10);
        ed.Loaded();
        EXPECT_EQ(ed.Filename(), QStringLiteral("Untitled"));
        EXPECT_EQ(ed.DataSize(), 0);
    }
}

TEST(LayoutControl, FontChangeLaysOutAgainOnceTheWindowExists)
{
    Editor ed;
    ed.show();
    QApplication::processEvents();
    Load(ed, 64);
    const int cw = ed.CharWidth();
    QFont f(QStringLiteral("Courier New"));
    f.setPixelSize(40);
    ed.SetEditorFont(f);
    EXPECT_GT(ed.CharWidth(), cw);
    EXPECT_EQ(ed.font().pixelSize(), 40);
    EXPECT_TRUE(WQHIsFixedPitch(ed.font()));
    ExpectWidthsMatch(ed);
    EXPECT_EQ(ed.DefaultRowHeight(), QFontMetrics(ed.font()).height() + 2);
    // An installed family is shown as given, proportional or not.
    QFont sans(QStringLiteral("DejaVu Sans"));
    sans.setPixelSize(20);
    sans.setBold(true);
    ed.SetEditorFont(sans);
    EXPECT_EQ(QFontInfo(ed.font()).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_FALSE(WQHIsFixedPitch(ed.font()));
    EXPECT_EQ(ed.CharWidth(), QFontMetrics(sans).horizontalAdvance(QLatin1Char('w')));
    ExpectWidthsMatch(ed);
    // A family that is not installed, even one the system substitutes, falls
    // back to a fixed-pitch face of the same size and style.
    for (const char* family : {"No Such Family", "Tahoma"}) {
        SCOPED_TRACE(family);
        QFont missing(QString::fromLatin1(family));
        missing.setPixelSize(18);
        missing.setItalic(true);
        ed.SetEditorFont(missing);
        EXPECT_TRUE(WQHIsFixedPitch(ed.font()));
        EXPECT_EQ(ed.font().pixelSize(), 18);
        EXPECT_TRUE(ed.font().italic());
        EXPECT_EQ(ed.CharWidth(), QFontMetrics(ed.font()).horizontalAdvance(QLatin1Char('w')));
    }
}

// A font set after the data but before the first show is measured by the show.
TEST(LayoutControl, FirstShowMeasuresAFontSetBeforeIt)
{
    for (const bool withData : {true, false}) {
        SCOPED_TRACE(withData);
        Editor ed;
        if (withData)
            Load(ed, 300);
        const int before = ed.CharWidth();
        QFont big(QStringLiteral("Courier New"));
        big.setPointSize(24);
        ed.SetEditorFont(big);
        ed.resize(900, 400);
        ed.show();
        QApplication::processEvents();
        const QFontMetrics fm(ed.font());
        EXPECT_EQ(ed.CharWidth(), fm.horizontalAdvance(QLatin1Char('w')));
        if (withData) {
            EXPECT_GT(ed.CharWidth(), before);
        }
        EXPECT_EQ(ed.DefaultRowHeight(), fm.height() + 2);
        EXPECT_EQ(ed.RowHeights(2), fm.height() + 2);
        ExpectWidthsMatch(ed);
        // The gutter holds the offset text in the big font.
        ASSERT_GT(ed.OffsetDisplayWidth(), 0);
        EXPECT_EQ(ed.ColWidths(0), ed.OffsetDisplayWidth() * ed.CharWidth() + 21);
        EXPECT_EQ(ed.DataSize(), withData ? 300 : 0);
    }
}

// Counts the paints that reach the control.
class PaintCountingEditor : public Editor {
public:
    int paints = 0;

protected:
    void Paint() override
    {
        ++paints;
        Editor::Paint();
    }
};

void PumpPaints()
{
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
}

class LayoutSetters : public ::testing::Test {
protected:
    void SetUp() override
    {
        ed.resize(700, 300);
        ed.show();
        PumpPaints();
        Load(ed, 64);
        PumpPaints();
        ed.paints = 0;
    }
    // The paints a change makes: none before the event loop runs (a deferred
    // repaint), and after it.
    std::pair<int, int> PaintsOf(const std::function<void()>& change)
    {
        PumpPaints();
        ed.paints = 0;
        change();
        const int now = ed.paints;
        PumpPaints();
        return {now, ed.paints};
    }
    bool GiveFocus()
    {
        ed.activateWindow();
        ed.setFocus(Qt::OtherFocusReason);
        PumpPaints();
        return ed.hasFocus();
    }
    testsupport::ScopedPlatformFakes fakes;
    PaintCountingEditor ed;
};

TEST_F(LayoutSetters, DisplaySwitchesRepaintLaterAndOnlyOnAChange)
{
    using Change = std::function<void(bool)>;
    const std::pair<const char*, Change> switches[] = {
        {"FocusFrame", [&](bool v) { ed.SetFocusFrame(v); }},
        {"SwapNibbles", [&](bool v) { ed.SetSwapNibbles(v); }},
        {"DrawGridLines", [&](bool v) { ed.SetDrawGridLines(v); }},
        {"ShowPositionIfNotFocused", [&](bool v) { ed.SetShowPositionIfNotFocused(v); }},
    };
    const bool defaults[] = {true, false, false, false};
    for (std::size_t i = 0; i < std::size(switches); ++i) {
        SCOPED_TRACE(switches[i].first);
        const Change& set = switches[i].second;
        EXPECT_EQ(PaintsOf([&] { set(defaults[i]); }), std::make_pair(0, 0)) << "unchanged";
        const auto changed = PaintsOf([&] { set(!defaults[i]); });
        EXPECT_EQ(changed.first, 0) << "not at once";
        EXPECT_GE(changed.second, 1);
    }
    EXPECT_EQ(PaintsOf([&] { ed.SetMaskChar(QLatin1Char('*')); }).first, 0);
    EXPECT_GE(ed.paints, 1);

    // DrawGutter3D paints at once.
    EXPECT_EQ(PaintsOf([&] { ed.SetDrawGutter3D(true); }), std::make_pair(0, 0));
    EXPECT_EQ(PaintsOf([&] { ed.SetDrawGutter3D(false); }).first, 1);
    // WantTabs only stores.
    EXPECT_EQ(PaintsOf([&] { ed.SetWantTabs(false); }), std::make_pair(0, 0));
    EXPECT_FALSE(ed.WantTabs());
}

TEST_F(LayoutSetters, SelectionDisplayRepaintsOnlyAnUnfocusedSelection)
{
    ed.clearFocus();
    PumpPaints();
    ASSERT_FALSE(ed.hasFocus());
    EXPECT_EQ(PaintsOf([&] { ed.SetHideSelection(true); }), std::make_pair(0, 0)) << "nothing selected";
    EXPECT_EQ(PaintsOf([&] { ed.SetHideSelection(false); }), std::make_pair(0, 0));
    ed.NewSelection(3, 9);
    EXPECT_GE(PaintsOf([&] { ed.SetHideSelection(true); }).second, 1);
    EXPECT_EQ(PaintsOf([&] { ed.SetGraySelectionIfNotFocused(true); }), std::make_pair(0, 0))
        << "a hidden selection is not drawn grey";
    EXPECT_EQ(PaintsOf([&] { ed.SetHideSelection(false); }).first, 0);
    EXPECT_GE(PaintsOf([&] { ed.SetGraySelectionIfNotFocused(false); }).second, 1);

    if (!GiveFocus())
        GTEST_SKIP() << "the platform gives no keyboard focus";
    EXPECT_EQ(PaintsOf([&] { ed.SetHideSelection(true); }), std::make_pair(0, 0)) << "focused";
    EXPECT_EQ(PaintsOf([&] { ed.SetGraySelectionIfNotFocused(true); }), std::make_pair(0, 0));
}

TEST_F(LayoutSetters, CaretKindAndReadOnlyViewRebuildTheCaretOnlyWithTheFocus)
{
    ed.clearFocus();
    PumpPaints();
    EXPECT_EQ(PaintsOf([&] { ed.SetCaretKind(ckBottom); }), std::make_pair(0, 0));
    EXPECT_EQ(ed.CaretKind(), ckBottom);
    EXPECT_FALSE(ed.CaretExists());
    ed.SetCaretKind(ckAuto);

    if (!GiveFocus())
        GTEST_SKIP() << "the platform gives no keyboard focus";
    ed.MoveColRow(2 + 2 * 3, 3, true, true);
    ASSERT_TRUE(ed.CaretExists());
    ASSERT_NE(ed.CaretX(), -50);
    const int cw = ed.CharWidth();
    const int ch = ed.RowHeight();
    EXPECT_EQ(ed.CaretShape(), (TRect{0, 0, cw, ch - 2})) << "overwrite mode: the whole cell";

    const auto kind = PaintsOf([&] { ed.SetCaretKind(ckLeft); });
    EXPECT_GE(kind.second, 1);
    EXPECT_EQ(ed.CaretShape(), (TRect{0, 0, 2, ch - 2}));
    EXPECT_EQ(ed.CaretX(), -50) << "parked until it is placed again";
    EXPECT_EQ(ed.CaretY(), -50);

    // ReadOnlyView rebuilds an automatic caret only.
    ed.SetReadOnlyView(true);
    EXPECT_EQ(ed.CaretShape(), (TRect{0, 0, 2, ch - 2}));
    ed.SetCaretKind(ckAuto);
    ed.SetReadOnlyView(true);
    EXPECT_EQ(ed.CaretShape(), (TRect{0, ch - 4, cw, ch - 2})) << "read-only: a bar at the bottom";
    ed.SetReadOnlyView(false);
    EXPECT_EQ(ed.CaretShape(), (TRect{0, 0, cw, ch - 2}));
}

TEST_F(LayoutSetters, GutterWidthSetsTheGutterColumnAndRepaints)
{
    const int gutter = ed.ColWidths(0);
    const auto wide = PaintsOf([&] { ed.SetGutterWidth(gutter + 40); });
    EXPECT_EQ(ed.GutterWidth(), gutter + 40);
    EXPECT_EQ(ed.ColWidths(0), gutter + 40);
    EXPECT_EQ(wide.first, 0);
    EXPECT_GE(wide.second, 1);
    EXPECT_EQ(PaintsOf([&] { ed.SetGutterWidth(gutter + 40); }), std::make_pair(0, 0));
    ed.SetGutterWidth(-1);
    EXPECT_EQ(ed.ColWidths(0), gutter) << "-1: the offset text's width again";
}

TEST(LayoutControl, MaskCharInAComponentStream)
{
    Editor ed;
    TWQHStreamProperties props;
    WQHWriteExtraProperties(ed, props);
    EXPECT_TRUE(props.empty()) << "the default mask is not written";

    ed.SetMaskChar(QLatin1Char('*'));
    WQHWriteExtraProperties(ed, props);
    ASSERT_EQ(props.size(), 1u);
    EXPECT_EQ(props[0].first, QStringLiteral("MaskChar_AsInteger"));
    EXPECT_EQ(props[0].second.typeId(), QMetaType::Int);
    EXPECT_EQ(props[0].second.toInt(), 42);

    // Read back into a fresh control.
    Editor other;
    ASSERT_EQ(other.MaskChar(), QChar(u'.'));
    EXPECT_TRUE(WQHReadExtraProperty(other, props[0].first, props[0].second));
    EXPECT_EQ(other.MaskChar(), QChar(u'*'));
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar_AsInteger"), QVariant(0)));
    EXPECT_EQ(other.MaskChar(), QChar(u'\0'));

    // Older streams hold a one-character string; anything else gives ".".
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar"), QVariant(QStringLiteral("#"))));
    EXPECT_EQ(other.MaskChar(), QChar(u'#'));
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar"), QVariant(QStringLiteral("ab"))));
    EXPECT_EQ(other.MaskChar(), QChar(u'.'));
    other.SetMaskChar(QLatin1Char('#'));
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar"), QVariant(QString())));
    EXPECT_EQ(other.MaskChar(), QChar(u'.'));
    other.SetMaskChar(QLatin1Char('#'));
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar"), QVariant(7)));
    EXPECT_EQ(other.MaskChar(), QChar(u'.'));
    // A value of the wrong kind or out of range fails the read: ".".
    other.SetMaskChar(QLatin1Char('#'));
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar_AsInteger"), QVariant(QStringLiteral("42"))));
    EXPECT_EQ(other.MaskChar(), QChar(u'.'));
    other.SetMaskChar(QLatin1Char('#'));
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar_AsInteger"), QVariant(0x10000)));
    EXPECT_EQ(other.MaskChar(), QChar(u'.'));
    other.SetMaskChar(QLatin1Char('#'));
    EXPECT_TRUE(WQHReadExtraProperty(other, QStringLiteral("MaskChar_AsInteger"), QVariant(-1)));
    EXPECT_EQ(other.MaskChar(), QChar(u'.'));
    // Other names are not the control's own and change nothing.
    other.SetMaskChar(QLatin1Char('#'));
    EXPECT_FALSE(WQHReadExtraProperty(other, QStringLiteral("BytesPerRow"), QVariant(8)));
    EXPECT_EQ(other.MaskChar(), QChar(u'#'));
}
