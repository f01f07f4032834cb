// Bookmarks and properties as text on the extended control.
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/wqhcolors.h"
#include "platform/exceptions.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QStringList>

namespace {

// A control with 64 bytes of data and a counter of bookmark notifications.
struct Ex : TWQHexEditorEx {
    int changes = 0;
    Ex()
    {
        SetDataSize(64);
        SetOnBookmarkChanged([this](QObject*) { ++changes; });
    }
    void Mark(int i, int pos, bool inChar) { SetBookmarkVals(static_cast<std::uint8_t>(i), pos, inChar); }
};

TWQHBookmark B(int pos, bool inChar)
{
    TWQHBookmark b;
    b.mPosition = pos;
    b.mInCharField = inChar;
    return b;
}

QString Checksummed(const QString& records)
{
    std::uint32_t sum = 0;
    for (QChar c : records)
        sum += c.unicode();
    return QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')) + records;
}

void ExpectBadFormat(Ex& e, const QString& text)
{
    try {
        e.SetBookMarksAsString(text);
        ADD_FAILURE() << "no error";
    } catch (const EWQHexEditor& x) {
        EXPECT_EQ(x.Message(), QStringLiteral("Invalid bookmark format"));
    }
}

QStringList Lines(const QString& text)
{
    EXPECT_TRUE(text.endsWith(QLatin1String("\r\n")));
    return text.left(text.size() - 2).split(QLatin1String("\r\n"));
}

} // namespace

// ---- bookmarks ------------------------------------------------------------------

TEST(ExBookmarkText, EmptyWithoutBookmarks)
{
    Ex e;
    EXPECT_TRUE(e.BookMarksAsString().isEmpty());
}

TEST(ExBookmarkText, BookmarkThreeAtSixteenReadsBackExactly)
{
    Ex a;
    a.Mark(3, 16, false);
    const QString text = a.BookMarksAsString();
    ASSERT_EQ(text.size(), 81);
    EXPECT_EQ(text[0], QLatin1Char('$'));
    EXPECT_EQ(text.mid(1 + 3 * 8, 8), QString(QChar(16)) + QString(7, QChar(0)));

    Ex b;
    b.Mark(5, 40, true);
    b.changes = 0;
    b.SetBookMarksAsString(text);
    EXPECT_EQ(b.changes, 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(b.GetBookmark(static_cast<std::uint8_t>(i)).mPosition, i == 3 ? 16 : -1) << i;
    EXPECT_FALSE(b.GetBookmark(3).mInCharField);
    EXPECT_EQ(b.BookMarksAsString(), text);
    // A line end kept after the text, as a host reading it from a file may leave it.
    Ex c;
    c.SetBookMarksAsString(text + QLatin1String("\r\n"));
    EXPECT_EQ(c.BookMarksAsString(), text);
}

TEST(ExBookmarkText, EmptyTextClearsToTheCaretsField)
{
    Ex e;
    e.Mark(1, 2, false);
    e.SetInCharField(true);
    ASSERT_TRUE(e.InCharField());
    e.changes = 0;
    e.SetBookMarksAsString(QString());
    EXPECT_EQ(e.changes, 1);
    for (const TWQHBookmark& b : e.Bookmarks())
        EXPECT_EQ(b, B(-1, true));
}

TEST(ExBookmarkText, RepeatedRecordDoesNotToggleTheBookmarkOff)
{
    Ex e;
    e.SetBookMarksAsString(Checksummed(QStringLiteral("02000000000000000400"
                                                      "02000000000000000400")));
    EXPECT_EQ(e.GetBookmark(2), B(4, false));
}

TEST(ExBookmarkText, FailureKeepsWhatWasReadClearsTheRestAndNotifiesOnce)
{
    Ex e;
    e.Mark(5, 50, false);
    e.changes = 0;
    ExpectBadFormat(e, Checksummed(QStringLiteral("01000000000000000A01"
                                                  "0A000000000000000B00")));
    EXPECT_EQ(e.changes, 1);
    EXPECT_EQ(e.GetBookmark(1), B(10, true));
    EXPECT_EQ(e.GetBookmark(5).mPosition, -1);
    // Painting and the notifications are back on.
    EXPECT_EQ(e.PaintUpdateCounter(), 0);
    e.Mark(7, 1, false);
    EXPECT_EQ(e.changes, 2);
}

TEST(ExBookmarkText, ChecksumMismatchLeavesAllCleared)
{
    Ex e;
    e.Mark(0, 0, false);
    e.changes = 0;
    ExpectBadFormat(e, QStringLiteral("00000000") + QStringLiteral("03000000000000001000"));
    EXPECT_EQ(e.changes, 1);
    for (const TWQHBookmark& b : e.Bookmarks())
        EXPECT_EQ(b.mPosition, -1);
}

TEST(ExBookmarkText, ShortDollarTextFailsAfterTheWholeSlots)
{
    Ex a;
    a.Mark(0, 1, false);
    a.Mark(9, 9, true);
    const QString text = a.BookMarksAsString();
    Ex b;
    b.changes = 0;
    ExpectBadFormat(b, text.left(80));
    EXPECT_EQ(b.changes, 1);
    EXPECT_EQ(b.GetBookmark(0), B(1, false));
    EXPECT_EQ(b.GetBookmark(9).mPosition, -1);
    EXPECT_EQ(b.PaintUpdateCounter(), 0);
}

// ---- properties -----------------------------------------------------------------

TEST(ExPropertyText, ExactLinesOfANewControl)
{
    Ex e;
    const QStringList lines = Lines(e.PropertiesAsString());
    const QString fontName = e.font().family();
    const QStringList head = {
        "CreateBackup=True", "BackupExtension=.bak", "OleDragDrop=False", "ClipboardAsHexText=False",
        "FlushClipboardAtShutDown=False", "SupportsOtherClipFormats=True", "PrintFont.Charset=1",
        "PrintFont.Color=-16777208", "PrintFont.Name=" + fontName, "PrintFont.Size=11", "PrintFont.Style=0",
        "UseEditorFontForPrinting=True", "ZoomOnWheel=True", "PrintOptions.MarginLeft=20",
        "PrintOptions.MarginTop=15", "PrintOptions.MarginRight=25", "PrintOptions.MarginBottom=25",
        "PrintOptions.PageHeader=", "PrintOptions.PageFooter=", "PrintOptions.Flags=6", "UnicodeChars=False",
        "UnicodeBigEndian=False", "AutoBytesPerRow=False", "BytesPerRow=16"};
    const QStringList tail = {"RulerNumberBase=16", "Font.Charset=1", "Font.Color=-16777208",
                              "Font.Name=" + fontName, "Font.Size=11", "Font.Style=0"};
    // Every listed name has exactly one line; the core's lines between are checked on their own.
    ASSERT_EQ(lines.size(), 68);
    for (int i = 0; i < head.size(); ++i)
        EXPECT_EQ(lines[i], head[i]) << "line " << i;
    for (int i = 0; i < tail.size(); ++i)
        EXPECT_EQ(lines[lines.size() - tail.size() + i], tail[i]);
    EXPECT_TRUE(lines.contains(QStringLiteral("Colors.Background=-16777211")));
}

TEST(ExPropertyText, HostDroppingBytesPerRowDropsItBothWays)
{
    Ex e;
    QStringList asked;
    e.SetOnQueryPublicProperty([&](QObject* sender, const QString& name, bool& isPublic) {
        EXPECT_EQ(sender, &e);
        asked << name;
        if (name.compare(QLatin1String("BytesPerRow"), Qt::CaseInsensitive) == 0)
            isPublic = false;
    });
    const QString text = e.PropertiesAsString();
    EXPECT_FALSE(text.contains(QLatin1String("\r\nBytesPerRow=")));
    EXPECT_TRUE(text.contains(QLatin1String("\r\nAutoBytesPerRow=False\r\n")));
    EXPECT_EQ(Lines(text).size(), 67);
    e.SetPropertiesAsString(QStringLiteral("bytesperrow=8\r\nShowRuler=True\r\n"));
    EXPECT_EQ(e.BytesPerRow(), 16);
    EXPECT_TRUE(e.ShowRuler());
    // Names outside the list are never public, and the host is not asked about them.
    asked.clear();
    EXPECT_FALSE(e.IsPropPublic(QStringLiteral("WantTabs")));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(e.IsPropPublic(QStringLiteral("COLORS.GRID")));
    EXPECT_EQ(asked, QStringList{QStringLiteral("COLORS.GRID")});
}

TEST(ExPropertyText, RoundTripRestoresEveryListedProperty)
{
    Ex a;
    a.SetCreateBackup(false);
    a.SetBackupExtension(QStringLiteral("0012"));
    a.SetClipboardAsHexText(true);
    a.SetSupportsOtherClipFormats(false);
    TWQHFont pf = a.PrintFont();
    pf.Name = QStringLiteral("Serif");
    pf.SetSize(20);
    pf.Color = clRed;
    pf.Charset = 134;
    pf.Style = fsBold | fsUnderline;
    a.SetPrintFont(pf);  // also turns UseEditorFontForPrinting off
    a.SetZoomOnWheel(false);
    a.PrintOptions().SetMarginLeft(5);
    a.PrintOptions().SetMarginBottom(-3);
    a.PrintOptions().SetPageHeader(QStringLiteral("Page &p\r\nPrintOptions.Flags=0"));
    a.PrintOptions().SetPageFooter(QStringLiteral("'quoted'"));
    a.PrintOptions().SetFlags(WQHPrintFlagBit(pfIncludeRuler) | WQHPrintFlagBit(pfSelectionOnly));
    a.SetBytesPerRow(12);
    a.Colors().SetOddColumn(0x00AB12);
    a.SetHexLowerCase(true);
    a.SetMaskChar(QChar(0x2022));
    const QString text = a.PropertiesAsString();
    // The header's line break is written inside the value's quoted form.
    EXPECT_TRUE(text.contains(QLatin1String("\r\nPrintOptions.PageHeader='Page &p'#13#10'PrintOptions.Flags=0'\r\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\r\nPrintOptions.Flags=33\r\n")));

    Ex b;
    b.SetPropertiesAsString(text);
    EXPECT_EQ(b.PropertiesAsString(), text);
    EXPECT_EQ(b.BackupExtension(), QStringLiteral("0012"));
    EXPECT_FALSE(b.UseEditorFontForPrinting());
    EXPECT_EQ(b.PrintFont().Name, QStringLiteral("Serif"));
    EXPECT_EQ(b.PrintFont().Height, pf.Height);
    EXPECT_EQ(b.PrintOptions().PageHeader(), a.PrintOptions().PageHeader());
    EXPECT_EQ(b.PrintOptions().PageFooter(), QStringLiteral("'quoted'"));
    EXPECT_EQ(b.PrintOptions().Flags(), 33);
    EXPECT_EQ(b.MaskChar(), QChar(0x2022));
    EXPECT_EQ(b.PaintUpdateCounter(), 0);
}

TEST(ExPropertyText, UnicodeTextReadsCompletelyIntoAControlWithAnOddRow)
{
    Ex a;
    a.SetUnicodeCharacters(true);
    a.SetBytesPerColumn(4);
    a.Colors().SetGrid(0x0000AA);
    a.SetPropertiesAsString(QStringLiteral("Font.Size=14\r\nPrintFont.Size=9\r\n"));
    ASSERT_EQ(a.BytesPerRow(), 16);
    const QString text = a.PropertiesAsString();

    Ex b;
    b.SetBytesPerRow(15);
    b.SetBytesPerColumn(3);
    b.SetTranslation(tkDos8);
    b.SetZoomOnWheel(false);
    b.SetPropertiesAsString(text);
    EXPECT_EQ(b.PropertiesAsString(), text);
    EXPECT_TRUE(b.UnicodeChars());
    EXPECT_EQ(b.BytesPerRow(), 16);
    EXPECT_EQ(b.BytesPerColumn(), 4);
    EXPECT_EQ(b.Translation(), tkAsIs);
    EXPECT_TRUE(b.ZoomOnWheel());
    EXPECT_EQ(b.Colors().Grid(), 0x0000AA);
    EXPECT_EQ(b.font(), a.font());

    // Written the other way round, the unicode line still meets an odd row.
    Ex c;
    EXPECT_THROW(c.SetPropertiesAsString(QStringLiteral("BytesPerRow=15\r\nUnicodeChars=True\r\n")),
                 EWQHexEditor);
    EXPECT_EQ(c.BytesPerRow(), 15);
    EXPECT_FALSE(c.UnicodeChars());
}

TEST(ExPropertyText, EditorFontRoundTrip)
{
    Ex a;
    a.SetPropertiesAsString(QStringLiteral("Font.Size=14\r\nFont.Style=[fsItalic]\r\nFont.Color=255\r\n"
                                           "Font.Charset=0\r\n"));
    EXPECT_EQ(a.font().pixelSize(), 19);
    EXPECT_TRUE(a.font().italic());
    const QString text = a.PropertiesAsString();
    EXPECT_TRUE(text.endsWith(QLatin1String("Font.Charset=0\r\nFont.Color=255\r\nFont.Name=") + a.font().family() +
                              QLatin1String("\r\nFont.Size=14\r\nFont.Style=2\r\n")));
    Ex b;
    b.SetPropertiesAsString(text);
    EXPECT_EQ(b.PropertiesAsString(), text);
}

TEST(ExPropertyText, FontValuesTheClassLibraryTakes)
{
    Ex a;
    a.SetPropertiesAsString(QStringLiteral("Font.Size=-12\r\nPrintFont.Size=0\r\nPrintFont.Name=\r\n"));
    // -12 points at 96 dpi is a cell 16 pixels high.
    EXPECT_GT(a.font().pixelSize(), 0);
    EXPECT_LE(QFontMetrics(a.font()).height(), 16);
    EXPECT_GT(QFontMetrics(a.font()).height(), 12);
    EXPECT_EQ(a.PrintFont().Height, 0);
    EXPECT_EQ(a.PrintFont().Name, QString());
    const QFont printed = a.PrintFont().ToQFont();
    EXPECT_FALSE(printed.family().isEmpty()) << "an empty name is the default family";
    EXPECT_EQ(printed.pixelSize(), -1) << "size 0 is the default size";
    QString text = a.PropertiesAsString();
    EXPECT_TRUE(text.contains(QLatin1String("\r\nPrintFont.Name=\r\nPrintFont.Size=0\r\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\r\nFont.Size=-12\r\n")));
    Ex b;
    b.SetPropertiesAsString(text);
    EXPECT_EQ(b.PropertiesAsString(), text);
    EXPECT_EQ(b.font(), a.font());

    a.SetPropertiesAsString(QStringLiteral("Font.Name=\r\nFont.Size=0\r\n"));
    EXPECT_FALSE(a.font().family().isEmpty());
    EXPECT_EQ(a.font().pixelSize(), -1);
    EXPECT_GT(a.font().pointSize(), 0);
    text = a.PropertiesAsString();
    EXPECT_TRUE(text.contains(QLatin1String("\r\nFont.Name=\r\nFont.Size=0\r\n")));
    // A font set another way reads as what it is.
    QFont other = a.font();
    other.setPixelSize(15);
    a.SetEditorFont(other);
    EXPECT_TRUE(a.PropertiesAsString().contains(QLatin1String("\r\nFont.Size=11\r\n")));

    // One size range, 1000 points either way, however a size gets in; a
    // control reads its own text back.
    EXPECT_THROW(a.SetPropertiesAsString(QStringLiteral("Font.Size=1001")), platform::EConvertError);
    EXPECT_THROW(a.SetPropertiesAsString(QStringLiteral("PrintFont.Size=-1001")), platform::EConvertError);
    other.setPointSize(1200);
    a.SetEditorFont(other);
    EXPECT_EQ(a.font().pointSize(), 1000);
    TWQHFont print = a.PrintFont();
    print.SetSize(1200);
    a.SetPrintFont(print);
    EXPECT_EQ(a.PrintFont().Size(), 1000);
    print.SetSize(-1200);
    a.SetPrintFont(print);
    EXPECT_EQ(a.PrintFont().Size(), -1000);
    text = a.PropertiesAsString();
    EXPECT_TRUE(text.contains(QLatin1String("\r\nPrintFont.Size=-1000\r\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\r\nFont.Size=1000\r\n")));
    Ex c;
    c.SetPropertiesAsString(text);
    EXPECT_EQ(c.PropertiesAsString(), text);
    QFont pixels = c.font();
    pixels.setPixelSize(1600);  // 1200 points
    c.setFont(pixels);
    EXPECT_EQ(c.font().pixelSize(), 1333);
}

TEST(ExPropertyText, ErrorPassesOnKeepsEarlierLinesAndResumesPainting)
{
    Ex e;
    EXPECT_THROW(e.SetPropertiesAsString(QStringLiteral("ZoomOnWheel=False\r\nPrintOptions.Flags=64\r\n"
                                                        "CreateBackup=False\r\n")),
                 platform::EConvertError);
    EXPECT_FALSE(e.ZoomOnWheel());
    EXPECT_EQ(e.PrintOptions().Flags(), 6);
    EXPECT_TRUE(e.CreateBackup());
    EXPECT_EQ(e.PaintUpdateCounter(), 0);
    EXPECT_THROW(e.SetPropertiesAsString(QStringLiteral("BytesPerColumn=0")), EWQHexEditor);
    EXPECT_EQ(e.PaintUpdateCounter(), 0);
}

TEST(ExPropertyText, ValuesStartingWithHashOrQuoteAreTheirText)
{
    Ex e;
    e.SetPropertiesAsString(QStringLiteral("PrintOptions.PageHeader=#page\r\nBackupExtension='bak'\r\n"
                                           "PrintOptions.PageFooter=#13\r\nZoomOnWheel=False\r\n"));
    EXPECT_EQ(e.PrintOptions().PageHeader(), QStringLiteral("#page"));
    EXPECT_EQ(e.BackupExtension(), QStringLiteral("'bak'"));
    EXPECT_EQ(e.PrintOptions().PageFooter(), QStringLiteral("\r"));
    EXPECT_FALSE(e.ZoomOnWheel());
    // Written back as they were read, and a footer that looks like a literal stays text.
    e.PrintOptions().SetPageFooter(QStringLiteral("#13"));
    const QString text = e.PropertiesAsString();
    EXPECT_TRUE(text.contains(QLatin1String("\r\nPrintOptions.PageHeader=#page\r\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\r\nBackupExtension='bak'\r\n")));
    Ex f;
    f.SetPropertiesAsString(text);
    EXPECT_EQ(f.PrintOptions().PageFooter(), QStringLiteral("#13"));
    EXPECT_EQ(f.PropertiesAsString(), text);
}
