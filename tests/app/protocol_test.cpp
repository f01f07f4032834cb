#include "app/protocol.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace protocol;

namespace {

ChipInfo Chip(const QByteArray& name, std::uint8_t type, std::int16_t pageSize, std::int32_t delay,
              std::int32_t size, std::int32_t id, std::uint8_t subType = 0)
{
    ChipInfo c;
    c.Name = name;
    c.Type = type;
    c.SubType = subType;
    c.PageSize = pageSize;
    c.Delay = delay;
    c.Size = size;
    c.Id = id;
    return c;
}

std::vector<int> Bytes(const CommandBlock& b, int from, int to)
{
    return std::vector<int>(b.begin() + from, b.begin() + to);
}

CommandBlock Reply(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char status)
{
    CommandBlock r{};
    r[0] = b0;
    r[1] = b1;
    r[2] = b2;
    r[3] = 0x77; // not examined
    r[4] = status;
    return r;
}

} // namespace

TEST(CommandBlockTest, SetChipBlockLaysOutParametersLittleEndian)
{
    const auto b = ChipParameters(CmdSetChip, Chip("W25X80", 0, 256, 200, 1048576, 0xEF3015), 5);
    EXPECT_EQ(Bytes(b, 0, 17), (std::vector<int>{0x00, 0x07, 0x00, 0x00, 0x00, 0x01, 0xC8, 0x00, 0x00, 0x00,
                                                 0x10, 0x00, 0x15, 0x30, 0xEF, 0x00, 0x05}));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(b.data() + 17), 6), QByteArray("W25X80"));
    for (int i = 23; i < 64; ++i)
        EXPECT_EQ(b[i], 0) << "byte " << i;
}

TEST(CommandBlockTest, IdentifyBlockCarriesTypeSubTypeAndNarrowedFields)
{
    // Delay keeps its low 16 bits; a negative page size goes as its 16-bit pattern.
    const auto b = ChipParameters(CmdIdentify, Chip("X", 1, -2, 0x12345, -1, 0x00C22017, 9), -1);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], 9);
    EXPECT_EQ(b[2], 1);
    EXPECT_EQ(b[3], 9);
    EXPECT_EQ(Bytes(b, 4, 8), (std::vector<int>{0xFE, 0xFF, 0x45, 0x23}));
    EXPECT_EQ(Bytes(b, 8, 16), (std::vector<int>{0xFF, 0xFF, 0xFF, 0xFF, 0x17, 0x20, 0xC2, 0x00}));
    EXPECT_EQ(b[16], 0xFF) << "no clock chosen goes as 0xFF";
    EXPECT_EQ(b[17], 'X');
    EXPECT_EQ(b[18], 0);
}

TEST(CommandBlockTest, OtherCommands)
{
    // Every byte a command does not name is 0.
    auto expectOnly = [](const CommandBlock& b, std::vector<std::pair<int, int>> named, const char* what) {
        for (int i = 0; i < 64; ++i) {
            int want = 0;
            for (const auto& [at, value] : named)
                if (at == i)
                    want = value;
            EXPECT_EQ(b[i], want) << what << " byte " << i;
        }
    };
    expectOnly(EraseCommand(WholeChipEraseAddress), {{0, 1}, {1, 2}, {17, 0x00}, {18, 0x80}}, "whole-chip erase");
    // Bits above 15 are not sent.
    expectOnly(EraseCommand(0x123456), {{0, 1}, {1, 2}, {17, 0x56}, {18, 0x34}}, "page erase");
    expectOnly(StartAddressCommand(0x01020304), {{1, 5}, {8, 4}, {9, 3}, {10, 2}, {11, 1}}, "start address");
    expectOnly(EndCommand(), {{0, 1}, {1, 8}}, "end");
    expectOnly(StatusCommand(), {{1, 10}}, "status");

    EXPECT_TRUE(StatusBusy(Reply(0x03, 0, 0, 0)));
    EXPECT_TRUE(StatusBusy(Reply(0x01, 0, 0, 0)));
    EXPECT_FALSE(StatusBusy(Reply(0x02, 0, 0, 0)));
    EXPECT_FALSE(StatusBusy(Reply(0x00, 0xFF, 0xFF, 0xFF))) << "only byte 0 bit 0 counts";
}

TEST(CommandBlockTest, LongNamesAreCutSoTheBlockEndsInZero)
{
    const QByteArray longName(60, 'A');
    const auto b = ChipParameters(CmdSetChip, Chip(longName, 0, 256, 0, 0, 0), 0);
    for (int i = 17; i < 17 + 46; ++i)
        EXPECT_EQ(b[i], 'A');
    EXPECT_EQ(b[63], 0);
    EXPECT_EQ(NameForBlock(QByteArray(46, 'B')).size(), 46);
    EXPECT_EQ(NameForBlock(QByteArray(47, 'B')).size(), 46);

    // 45 ASCII bytes then a GBK character: the character would end past 46 bytes.
    QByteArray gbk(45, 'C');
    gbk += "\xD0\xBE\xC6\xAC"; // 芯片
    EXPECT_EQ(NameForBlock(gbk), QByteArray(45, 'C'));
    // An embedded 0 ends the name as the programmer reads it.
    EXPECT_EQ(NameForBlock(QByteArray("AB\0CD", 5)), QByteArray("AB"));
}

TEST(IdentifyReplyTest, FieldsAndFormattedId)
{
    const auto r = ParseIdentifyReply(Reply(0xEF, 0x30, 0x15, 1));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.Id(), 0xEF3015);
    EXPECT_EQ(r.FormattedId(), QStringLiteral("EF 30 15"));
    EXPECT_EQ(ParseIdentifyReply(Reply(0x0A, 0x00, 0xB0, 1)).FormattedId(), QStringLiteral("0A 00 B0"));
    EXPECT_EQ(ParseIdentifyReply(Reply(0x00, 0x80, 0x00, 2)).Capacity(), 32768);
    EXPECT_EQ(ParseIdentifyReply(Reply(0x00, 0x00, 0x02, 2)).Capacity(), 131072);
}

TEST(ChipCheckResultTest, SelectResultByType)
{
    EXPECT_EQ(SelectResult(0), 6);
    EXPECT_EQ(SelectResult(1), 4);
    EXPECT_EQ(SelectResult(2), 1);
    EXPECT_EQ(SelectResult(5), 1);
    EXPECT_EQ(SelectResult(255), 1);
}

class DecideDetectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 14; ++i)
            chips.push_back(Chip("C" + QByteArray::number(i), 0, 256, 0, 1024 * (i + 1), 0x100000 + i));
        chips[12].Id = 0xEF3015;
        chips[13].Id = 0xEF3015; // a later duplicate never wins
        chips[3] = Chip("24C256", 1, 64, 0, 32768, 0);
        chips[5] = Chip("24C256B", 1, 64, 0, 32768, 0);
        chips[7] = Chip("NOT24", 0, 256, 0, 32768, 0x123456);
    }
    std::vector<ChipInfo> chips;
};

TEST_F(DecideDetectTest, KnownIdSelectsTheFirstMatch)
{
    const auto out = DecideDetect(ParseIdentifyReply(Reply(0xEF, 0x30, 0x15, 1)), chips);
    EXPECT_EQ(out.result, 6);
    EXPECT_EQ(out.selectIndex, 12);
    EXPECT_TRUE(out.errorText.isEmpty());
    EXPECT_TRUE(out.logLine.isEmpty());
}

TEST_F(DecideDetectTest, UnknownIdAsksForAManualChoice)
{
    const auto out = DecideDetect(ParseIdentifyReply(Reply(0xEF, 0x30, 0x16, 1)), chips);
    EXPECT_EQ(out.result, 3);
    EXPECT_EQ(out.selectIndex, -1);
    EXPECT_EQ(out.errorText, QStringLiteral("未知型号芯片ID =EF 30 16请手动选择兼容型号。"));
}

TEST_F(DecideDetectTest, SearchCoversOnlyTheGivenRecords)
{
    const auto out = DecideDetect(ParseIdentifyReply(Reply(0xEF, 0x30, 0x15, 1)),
                                  std::span<const ChipInfo>(chips.data(), 12));
    EXPECT_EQ(out.result, 3);
}

TEST_F(DecideDetectTest, Series24ByCapacity)
{
    const auto found = DecideDetect(ParseIdentifyReply(Reply(0x00, 0x80, 0x00, 2)), chips);
    EXPECT_EQ(found.result, 5);
    EXPECT_EQ(found.selectIndex, 3) << "first record with Id 0 and the capacity";
    EXPECT_EQ(found.logLine, QStringLiteral("已检测检测到24系列芯片，请手动选择型号"));
    EXPECT_TRUE(found.errorText.isEmpty());

    const auto missing = DecideDetect(ParseIdentifyReply(Reply(0x00, 0x00, 0x01, 2)), chips);
    EXPECT_EQ(missing.result, 5);
    EXPECT_EQ(missing.selectIndex, -1);
    EXPECT_EQ(missing.logLine, found.logLine);
}

TEST_F(DecideDetectTest, OtherStatuses)
{
    EXPECT_EQ(DecideDetect(ParseIdentifyReply(Reply(0xEF, 0x30, 0x15, 3)), chips).result, 1);
    for (unsigned char status : {0, 4, 0xFF}) {
        const auto out = DecideDetect(ParseIdentifyReply(Reply(0xEF, 0x30, 0x15, status)), chips);
        EXPECT_EQ(out.result, 2) << int(status);
        EXPECT_EQ(out.selectIndex, -1);
    }
}

TEST_F(DecideDetectTest, EmptyListNeverSelects)
{
    const auto out = DecideDetect(ParseIdentifyReply(Reply(0, 0x80, 0, 2)), std::span<const ChipInfo>());
    EXPECT_EQ(out.result, 5);
    EXPECT_EQ(out.selectIndex, -1);
}
