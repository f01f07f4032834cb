// The bookmark text codec without a control: both forms, character by character.
#include "hexeditor/ex/wqhbookmarktext.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Applied = std::vector<std::pair<int, TWQHBookmark>>;

Applied Read(const QString& text)
{
    Applied out;
    WQHReadBookmarksText(text, [&](int i, const TWQHBookmark& b) { out.emplace_back(i, b); });
    return out;
}

// Reads and expects the format error; returns what was applied before it.
Applied ReadFailing(const QString& text)
{
    Applied out;
    try {
        WQHReadBookmarksText(text, [&](int i, const TWQHBookmark& b) { out.emplace_back(i, b); });
        ADD_FAILURE() << "no error for " << text.toStdString();
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid bookmark format"));
    }
    return out;
}

TWQHBookmark Mark(int pos, bool inChar)
{
    TWQHBookmark b;
    b.mPosition = pos;
    b.mInCharField = inChar;
    return b;
}

QString Slot(char16_t lo, char16_t hi, char16_t field)
{
    QString s(8, QChar(0));
    s[0] = QChar(lo);
    s[1] = QChar(hi);
    s[2] = QChar(field);
    return s;
}

QString UnsetSlot() { return Slot(0xFFFF, 0xFFFF, 0); }

// The checksummed form: eight hex digits of the code-unit sum, then the records.
QString Checksummed(const QString& records)
{
    std::uint32_t sum = 0;
    for (QChar c : records)
        sum += c.unicode();
    return QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper() + records;
}

} // namespace

TEST(BookmarkTextWrite, NoBookmarkGivesEmptyText)
{
    TWQHBookmarks marks;
    EXPECT_TRUE(WQHBookmarksToText(marks).isEmpty());
    // A cleared slot keeps its field flag but still counts as unset.
    marks[4] = Mark(-1, true);
    EXPECT_TRUE(WQHBookmarksToText(marks).isEmpty());
}

TEST(BookmarkTextWrite, ExactCharactersOfEverySlot)
{
    TWQHBookmarks marks;
    marks[3] = Mark(16, false);
    marks[9] = Mark(0x12345678, true);
    QString expected = QStringLiteral("$");
    for (int i = 0; i < 10; ++i) {
        if (i == 3)
            expected += Slot(0x0010, 0x0000, 0);
        else if (i == 9)
            expected += Slot(0x5678, 0x1234, 1);
        else
            expected += UnsetSlot();
    }
    const QString text = WQHBookmarksToText(marks);
    ASSERT_EQ(text.size(), 81);
    EXPECT_EQ(text, expected);
}

TEST(BookmarkTextWrite, UnsetSlotKeepsItsFieldByte)
{
    TWQHBookmarks marks;
    marks[0] = Mark(0, false);
    marks[1] = Mark(-1, true);
    const QString text = WQHBookmarksToText(marks);
    EXPECT_EQ(text.mid(1, 8), Slot(0, 0, 0));
    EXPECT_EQ(text.mid(9, 8), Slot(0xFFFF, 0xFFFF, 1));
}

TEST(BookmarkTextRead, DollarFormRoundTripsAllTenSlots)
{
    TWQHBookmarks marks;
    marks[0] = Mark(0, true);
    marks[3] = Mark(16, false);
    marks[7] = Mark(0x7FFFFFFF, true);
    const Applied got = Read(WQHBookmarksToText(marks));
    ASSERT_EQ(got.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(got[i].first, i);
        EXPECT_EQ(got[i].second, marks[static_cast<std::size_t>(i)]) << "slot " << i;
    }
}

TEST(BookmarkTextRead, DollarFormIgnoresFillerAndTreatsNegativeAsUnset)
{
    QString text = QStringLiteral("$");
    for (int i = 0; i < 10; ++i) {
        QString s = Slot(0x0020, 0x8000, i == 2 ? 0x5501 : 0x5500);  // high byte of the field char is filler
        s[3] = QChar(u'x');
        s[7] = QChar(u'y');
        text += s;
    }
    text[1 + 8 * 4] = QChar(0x0021);
    text[1 + 8 * 4 + 1] = QChar(0x0000);
    const Applied got = Read(text);
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0].second, Mark(-1, false));
    EXPECT_EQ(got[2].second, Mark(-1, true));
    EXPECT_EQ(got[4].second, Mark(0x21, false));
}

TEST(BookmarkTextRead, DollarTextCutShortKeepsTheWholeSlotsBeforeTheCut)
{
    TWQHBookmarks marks;
    for (int i = 0; i < 10; ++i)
        marks[static_cast<std::size_t>(i)] = Mark(100 + i, false);
    const QString full = WQHBookmarksToText(marks);
    const Applied got = ReadFailing(full.left(80));
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got[8].second, Mark(108, false));
    EXPECT_TRUE(ReadFailing(QStringLiteral("$")).empty());
    EXPECT_EQ(ReadFailing(full.left(20)).size(), 2u);
}

TEST(BookmarkTextRead, DollarTextStopsAfterTheTenthSlot)
{
    TWQHBookmarks marks;
    marks[5] = Mark(5, false);
    for (const char* tail : {"z", "\r\n", "$0000000000"}) {
        const Applied got = Read(WQHBookmarksToText(marks) + QLatin1String(tail));
        ASSERT_EQ(got.size(), 10u) << tail;
        EXPECT_EQ(got[5].second, Mark(5, false));
        EXPECT_EQ(got[9].second.mPosition, -1);
    }
}

TEST(BookmarkTextRead, ChecksummedRecords)
{
    const QString text = Checksummed(QStringLiteral("03000000000000001000"
                                                    "09ffffffff0000002001"
                                                    "0000000000000000FF7F"));
    const Applied got = Read(text);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], std::make_pair(3, Mark(16, false)));
    // Only the low 32 bits of the position count; any non-zero flag is the character field.
    EXPECT_EQ(got[1], std::make_pair(9, Mark(32, true)));
    EXPECT_EQ(got[2], std::make_pair(0, Mark(255, true)));
}

TEST(BookmarkTextRead, ChecksummedNegativeAndDuplicateRecords)
{
    const Applied got = Read(Checksummed(QStringLiteral("01FFFFFFFFFFFFFFFF00"
                                                        "010000000080000000FF"
                                                        "01000000000000000101")));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].second, Mark(-1, false));
    EXPECT_EQ(got[1].second, Mark(-1, true));
    EXPECT_EQ(got[2].second, Mark(1, true));
}

TEST(BookmarkTextRead, ChecksumOnlyTextAppliesNothing)
{
    EXPECT_TRUE(Read(QStringLiteral("00000000")).empty());
    EXPECT_TRUE(Read(QString()).empty());
}

TEST(BookmarkTextRead, ChecksumMismatchAppliesNothing)
{
    QString text = Checksummed(QStringLiteral("03000000000000001000"));
    text[7] = text[7] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
    EXPECT_TRUE(ReadFailing(text).empty());
    // A changed record with the old checksum.
    QString other = Checksummed(QStringLiteral("03000000000000001000"));
    other[other.size() - 3] = QLatin1Char('2');
    EXPECT_TRUE(ReadFailing(other).empty());
}

TEST(BookmarkTextRead, ChecksummedFailuresKeepTheRecordsBeforeThem)
{
    const QString good = QStringLiteral("02000000000000000400");
    // Index above 9.
    EXPECT_EQ(ReadFailing(Checksummed(good + QStringLiteral("0A000000000000000500"))).size(), 1u);
    // Last record cut short.
    EXPECT_EQ(ReadFailing(Checksummed(good + QStringLiteral("0300000000000000050"))).size(), 1u);
    // A character that is not a hex digit, also a sign or a space.
    EXPECT_EQ(ReadFailing(Checksummed(good + QStringLiteral("030000000000000G0500"))).size(), 1u);
    EXPECT_EQ(ReadFailing(Checksummed(good + QStringLiteral("-3000000000000000500"))).size(), 1u);
    EXPECT_EQ(ReadFailing(Checksummed(good + QStringLiteral(" 3000000000000000500"))).size(), 1u);
}

TEST(BookmarkTextRead, BadChecksumField)
{
    EXPECT_TRUE(ReadFailing(QStringLiteral("0000000")).empty());   // shorter than the checksum
    EXPECT_TRUE(ReadFailing(QStringLiteral("0000000x")).empty());
    EXPECT_TRUE(ReadFailing(QStringLiteral(" 0000000")).empty());
}
