#include "app/chiplist.h"

#include <QFile>
#include <gtest/gtest.h>
#include <set>

using chiplist::Parse;
using chiplist::ParseFile;

namespace {
QString NotValid(const QString& field) { return QStringLiteral("'%1' is not a valid integer value").arg(field); }
} // namespace

TEST(ChipListFieldTest, CutFieldTakesTextBeforeTheFirstSemicolon)
{
    QString rest = QStringLiteral("a;b;;c");
    EXPECT_EQ(chiplist::CutField(rest), QStringLiteral("a"));
    EXPECT_EQ(rest, QStringLiteral("b;;c"));
    EXPECT_EQ(chiplist::CutField(rest), QStringLiteral("b"));
    EXPECT_EQ(chiplist::CutField(rest), QString());
    EXPECT_EQ(rest, QStringLiteral("c"));
    // No ';' left: empty field, rest unchanged.
    EXPECT_EQ(chiplist::CutField(rest), QString());
    EXPECT_EQ(rest, QStringLiteral("c"));
}

TEST(ChipListParseTest, OneLineAllFields)
{
    const auto r = Parse({QStringLiteral(" W25Q64 ;0xEF4017;8388608;256;0;3;1000")});
    ASSERT_FALSE(r.error);
    ASSERT_EQ(r.chips.size(), 1u);
    const ChipInfo& c = r.chips[0];
    EXPECT_EQ(c.Name, QByteArray(" W25Q64 ")) << "name keeps its blanks";
    EXPECT_EQ(c.Id, 0xEF4017);
    EXPECT_EQ(c.Size, 8388608);
    EXPECT_EQ(c.PageSize, 256);
    EXPECT_EQ(c.Type, 0);
    EXPECT_EQ(c.SubType, 3);
    EXPECT_EQ(c.Delay, 1000);
}

TEST(ChipListParseTest, NumberForms)
{
    const auto r = Parse({QStringLiteral("A;  12;$ff;0XFF;xff;-$10;0xFFFFFFFF")});
    ASSERT_FALSE(r.error) << r.error->toStdString();
    const ChipInfo& c = r.chips[0];
    EXPECT_EQ(c.Id, 12);
    EXPECT_EQ(c.Size, 255);
    EXPECT_EQ(c.PageSize, 255);
    EXPECT_EQ(c.Type, 255);
    EXPECT_EQ(c.SubType, static_cast<std::uint8_t>(-16));
    EXPECT_EQ(c.Delay, -1);    // A sign in front of a hexadecimal value applies to it, in the signed fields too.
    const auto signedHex = Parse({QStringLiteral("B;-$10;+0x20;-X1;0;0;-0x7FFFFFFF")});
    ASSERT_FALSE(signedHex.error) << signedHex.error->toStdString();
    EXPECT_EQ(signedHex.chips[0].Id, -16);
    EXPECT_EQ(signedHex.chips[0].Size, 32);
    EXPECT_EQ(signedHex.chips[0].PageSize, -1);
    EXPECT_EQ(signedHex.chips[0].Delay, -0x7FFFFFFF);
}

TEST(ChipListParseTest, NarrowingKeepsLowBits)
{
    const auto r = Parse({QStringLiteral("N;0;1;65792;256;511;0")});
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.chips[0].PageSize, 256);
    EXPECT_EQ(r.chips[0].Type, 0);
    EXPECT_EQ(r.chips[0].SubType, 255);
    const auto neg = Parse({QStringLiteral("N;0;1;0xFFFF;0;0;0")});
    EXPECT_EQ(neg.chips[0].PageSize, -1);
}

TEST(ChipListParseTest, FailuresStopAtTheFailingField)
{
    struct Case {
        QString line;
        QString field;       // in the error text
        int convertedBefore; // fields after the name that were stored
    };
    const Case cases[] = {
        {QStringLiteral("A;1;2;3;4;5;12 "), QStringLiteral("12 "), 5},     // trailing blank
        {QStringLiteral("A;1;2;3;4;5;6;7"), QStringLiteral("6;7"), 5},     // too many fields
        {QStringLiteral("A;1;2;3"), QString(), 2},                          // too few: PageSize is empty
        {QString(), QString(), 0},                                           // blank line
        {QStringLiteral("A;4294967296;2;3;4;5;6"), QStringLiteral("4294967296"), 0},
        {QStringLiteral("A;1;$;3;4;5;6"), QStringLiteral("$"), 1},
        {QStringLiteral("A;1;2;0x;4;5;6"), QStringLiteral("0x"), 2},
        {QStringLiteral("A;1;2;3;four;5;6"), QStringLiteral("four"), 3},
    };
    for (const Case& c : cases) {
        const auto r = Parse({QStringLiteral("OK;1;2;3;4;5;6"), c.line, QStringLiteral("LATER;1;2;3;4;5;6")});
        SCOPED_TRACE(c.line.toStdString());
        ASSERT_TRUE(r.error);
        EXPECT_EQ(*r.error, NotValid(c.field));
        ASSERT_EQ(r.chips.size(), 2u) << "earlier line and the failing one; nothing after";
        EXPECT_EQ(r.chips[0].Delay, 6);
        const ChipInfo& bad = r.chips[1];
        const std::int64_t stored[] = {bad.Id, bad.Size, bad.PageSize, bad.Type, bad.SubType, bad.Delay};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(stored[i], i < c.convertedBefore ? i + 1 : 0) << "field " << i;
    }
}

TEST(ChipListParseTest, NamesGoToGbk)
{
    const auto r = Parse({QStringLiteral("芯片;0;1;2;3;4;5")});
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.chips[0].Name, QByteArray("\xD0\xBE\xC6\xAC"));
    EXPECT_EQ(chiplist::DisplayName(r.chips[0]), QStringLiteral("芯片"));
}

TEST(ChipListFileTest, LineEndsAndByteOrderMarks)
{
    const QByteArray body = "A;1;2;3;4;5;6\r\nB;1;2;3;4;5;7\nC;1;2;3;4;5;8\rD;1;2;3;4;5;9";
    for (const QByteArray& bytes : {body, body + "\r\n", QByteArray("\xEF\xBB\xBF") + body}) {
        const auto r = ParseFile(bytes);
        ASSERT_FALSE(r.error) << r.error->toStdString();
        ASSERT_EQ(r.chips.size(), 4u);
        EXPECT_EQ(r.chips[0].Name, QByteArray("A"));
        EXPECT_EQ(r.chips[3].Delay, 9);
    }
    // UTF-16 LE with a Chinese name; GBK without a mark.
    const QString text = QStringLiteral("芯片A;1;2;3;4;5;6\r\n");
    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const auto fromUtf16 = ParseFile(utf16);
    ASSERT_EQ(fromUtf16.chips.size(), 1u);
    EXPECT_EQ(fromUtf16.chips[0].Name, QByteArray("\xD0\xBE\xC6\xAC" "A"));
    const auto fromGbk = ParseFile(QByteArray("\xD0\xBE\xC6\xAC" "A;1;2;3;4;5;6\n"));
    ASSERT_EQ(fromGbk.chips.size(), 1u);
    EXPECT_EQ(fromGbk.chips[0].Name, QByteArray("\xD0\xBE\xC6\xAC" "A"));
    EXPECT_TRUE(ParseFile(QByteArray()).chips.empty());
}

TEST(CapacityTextTest, Boundaries)
{
    EXPECT_EQ(chiplist::CapacityText(0), QStringLiteral("0 B"));
    EXPECT_EQ(chiplist::CapacityText(512), QStringLiteral("512 B"));
    EXPECT_EQ(chiplist::CapacityText(1023), QStringLiteral("1023 B"));
    EXPECT_EQ(chiplist::CapacityText(1024), QStringLiteral("1 KB"));
    EXPECT_EQ(chiplist::CapacityText(1048575), QStringLiteral("1023 KB"));
    EXPECT_EQ(chiplist::CapacityText(1048576), QStringLiteral("1 MB"));
    EXPECT_EQ(chiplist::CapacityText(4194304), QStringLiteral("4 MB"));
    EXPECT_EQ(chiplist::CapacityText(-1), QStringLiteral("-1 B"));
    EXPECT_EQ(chiplist::CapacityText(0x7FFFFFFF), QStringLiteral("2047 MB"));
    EXPECT_EQ(chiplist::CapacityCaption(8388608), QStringLiteral("容量 8 MB"));
}

TEST(ShippedChipListTest, LoadsWholeWithSaneRecords)
{
    QFile file(QStringLiteral(QV750_SOURCE_DIR "/app/qv750.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto r = ParseFile(file.readAll());
    ASSERT_FALSE(r.error) << r.error->toStdString();
    ASSERT_GE(r.chips.size(), 80u);
    ASSERT_LE(r.chips.size(), 1000u);
    std::set<std::int32_t> ids;
    std::set<QByteArray> names;
    for (const ChipInfo& c : r.chips) {
        SCOPED_TRACE(c.Name.toStdString());
        EXPECT_TRUE(names.insert(c.Name).second) << "duplicate name";
        EXPECT_LE(c.Name.size(), 46);
        EXPECT_GT(c.Size, 0);
        EXPECT_LE(c.Size, 0x4000000) << "fits the image buffer";
        EXPECT_EQ(c.Size & (c.Size - 1), 0) << "power of two";
        if (c.Id == 0) {
            EXPECT_EQ(c.Type, 1) << "24-series parts are written without an ID check";
            EXPECT_GE(c.PageSize, 8);
        } else {
            EXPECT_EQ(c.Type, 0);
            EXPECT_EQ(c.PageSize, 256);
            EXPECT_GT(c.Delay, 0);
            EXPECT_LE(c.Delay, 0xFFFF) << "only the low 16 bits reach the programmer";
            EXPECT_TRUE(ids.insert(c.Id).second) << "a second record with this ID could never be detected";
        }
    }
    EXPECT_TRUE(ids.count(0xEF4017));
    EXPECT_TRUE(ids.count(0xC22017));
    EXPECT_TRUE(ids.count(0xC84017));
}

// Sizes and IDs of the shipped list against the parts' data sheets.
TEST(ShippedChipListTest, WellKnownPartsAndCapacityBytes)
{
    QFile file(QStringLiteral(QV750_SOURCE_DIR "/app/qv750.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto r = ParseFile(file.readAll());
    ASSERT_FALSE(r.error);
    auto find = [&r](const char* name) -> const ChipInfo* {
        for (const ChipInfo& c : r.chips)
            if (c.Name == QByteArray(name))
                return &c;
        return nullptr;
    };
    struct Known {
        const char* name;
        std::int32_t id, size, pageSize;
    };
    const Known known[] = {
        {"W25Q32", 0xEF4016, 4 << 20, 256},   {"W25Q64", 0xEF4017, 8 << 20, 256},
        {"W25Q128", 0xEF4018, 16 << 20, 256}, {"MX25L12805", 0xC22018, 16 << 20, 256},
        {"GD25Q128", 0xC84018, 16 << 20, 256}, {"S25FL016A", 0x010214, 2 << 20, 256},
        {"SST25VF016B", 0xBF2541, 2 << 20, 256}, {"AT25DF041A", 0x1F4401, 512 << 10, 256},
        {"24C02", 0, 256, 8},                 {"24C256", 0, 32 << 10, 64},
        {"24C512", 0, 64 << 10, 128},
    };
    for (const Known& k : known) {
        SCOPED_TRACE(k.name);
        const ChipInfo* c = find(k.name);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->Id, k.id);
        EXPECT_EQ(c->Size, k.size);
        EXPECT_EQ(c->PageSize, k.pageSize);
    }
    // Most makers give the capacity as log2 of the byte count in the third ID
    // byte (0x20 standing for 64 MiB); SST, Atmel and Spansion's 0x02 family
    // number theirs differently and are left out here.
    for (const ChipInfo& c : r.chips) {
        const int maker = (c.Id >> 16) & 0xFF, type = (c.Id >> 8) & 0xFF, code = c.Id & 0xFF;
        if (c.Id == 0 || maker == 0xBF || maker == 0x1F || (maker == 0x01 && type == 0x02))
            continue;
        SCOPED_TRACE(c.Name.toStdString());
        const std::int64_t expected = code == 0x20 ? (64 << 20) : (std::int64_t{1} << code);
        EXPECT_EQ(c.Size, expected);
    }
}
