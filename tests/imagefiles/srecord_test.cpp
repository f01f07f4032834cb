#include "imagefiles/srecord.h"
#include "imagefile_test_util.h"
#include "platform/exceptions.h"
#include "platform/streams.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <unistd.h>

using imagetest::Hex2;
using imagetest::Texts;

namespace {

// A record with a correct checksum; addressBytes 2, 3 or 4 pick S1, S2, S3.
std::string Rec(int addressBytes, std::uint32_t address, const std::vector<unsigned>& bytes)
{
    const unsigned count = static_cast<unsigned>(addressBytes + bytes.size() + 1);
    std::string s = "S" + std::to_string(addressBytes - 1) + Hex2(count);
    unsigned sum = count;
    for (int i = addressBytes - 1; i >= 0; --i) {
        s += Hex2(address >> (8 * i));
        sum += (address >> (8 * i)) & 0xFF;
    }
    for (unsigned b : bytes) {
        s += Hex2(b);
        sum += b;
    }
    return s + Hex2(0xFF - (sum & 0xFF)) + "\r\n";
}

const std::string kHeader = "S00600004844521B\r\n";
const std::string kEnd9 = "S9030000FC\r\n";
const std::string kEnd8 = "S804000000FB\r\n";
const std::string kEnd7 = "S70500000000FA\r\n";

class SRecordTest : public imagetest::CodecTest {
protected:
    int Read(const std::string& text, std::size_t maxSize = 4096)
    {
        unsigned char* buffer = Buffer(maxSize);
        const QString path = WriteText(text, "image.s");
        platform::TFileStream* slot = nullptr;
        const int result = ReadSRecordFile(&slot, path, buffer, static_cast<int>(maxSize));
        EXPECT_EQ(slot, nullptr);
        EXPECT_TRUE(GuardsIntact());
        ExpectOnlyErrorBoxes();
        return result;
    }
    std::string Write(const unsigned char* data, std::int64_t length)
    {
        platform::TFileStream* slot = nullptr;
        const QString path = Path("out.src");
        EXPECT_TRUE(WriteSRecordFile(&slot, path, data, length));
        EXPECT_EQ(slot, nullptr);
        return ReadText(path);
    }
};

// ---- writer layout --------------------------------------------------------

TEST_F(SRecordTest, TwentyBytesGiveHeaderTwoS1RecordsAndS9)
{
    std::vector<unsigned char> data(20);
    for (int i = 0; i < 20; ++i)
        data[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(Write(data.data(), 20), kHeader
                                          + "S1130000000102030405060708090A0B0C0D0E0F74\r\n"
                                            "S107001010111213A2\r\n"
                                          + kEnd9);
}

TEST_F(SRecordTest, RecordTypeFollowsTheTotalLength)
{
    EXPECT_EQ(Write(nullptr, 0), kHeader + kEnd9);
    std::vector<unsigned char> data(0x1000000, 0xFF);
    data[0] = 0x5A;
    EXPECT_EQ(Write(data.data(), 16), kHeader + Rec(2, 0, {0x5A, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                           255, 255, 255, 255, 255}) + kEnd9);
    data[0] = 0xFF;
    EXPECT_EQ(Write(data.data(), 16), kHeader + kEnd9);

    data[0xFFF0] = 1;
    std::string text = Write(data.data(), 0xFFFF);
    EXPECT_EQ(text, kHeader + Rec(2, 0xFFF0, {1, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255})
                        + kEnd9);
    text = Write(data.data(), 0x10000);
    EXPECT_EQ(text, kHeader + Rec(3, 0xFFF0, std::vector<unsigned>{1, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                                    255, 255, 255, 255, 255, 255})
                        + kEnd8);
    data[0xFFF0] = 0xFF;
    data[0xFFFFFE] = 2;
    text = Write(data.data(), 0xFFFFFF);
    std::vector<unsigned> tail(14, 0xFF);
    tail.push_back(2);
    EXPECT_EQ(text, kHeader + Rec(3, 0xFFFFF0, tail) + kEnd8);
    tail.push_back(0xFF);
    text = Write(data.data(), 0x1000000);
    EXPECT_EQ(text, kHeader + Rec(4, 0xFFFFF0, tail) + kEnd7);
}

TEST_F(SRecordTest, WriterRefusesBadLengthsAndLeavesTheFileAlone)
{
    const QString path = WriteText("keep me", "out.src");
    const unsigned char byte = 0;
    platform::TFileStream* slot = nullptr;
    EXPECT_FALSE(WriteSRecordFile(&slot, path, &byte, -16));
    EXPECT_FALSE(WriteSRecordFile(&slot, path, &byte, (std::int64_t(1) << 32) + 1));
    EXPECT_FALSE(WriteSRecordFile(&slot, path, nullptr, 1));
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(ReadText(path), "keep me");
}

TEST_F(SRecordTest, WriterReportsAFailedWrite)
{
    const int probe = ::open("/dev/full", O_WRONLY);
    if (probe < 0)
        GTEST_SKIP() << "/dev/full not writable here";
    ::close(probe);
    std::vector<unsigned char> data(3000, 0x34);
    platform::TFileStream* slot = nullptr;
    EXPECT_FALSE(WriteSRecordFile(&slot, QStringLiteral("/dev/full"), data.data(), 3000));
    EXPECT_EQ(slot, nullptr);
    std::vector<unsigned char> big(8 << 20, 0x34);
    EXPECT_FALSE(WriteSRecordFile(&slot, QStringLiteral("/dev/full"), big.data(), static_cast<std::int64_t>(big.size())));
    EXPECT_EQ(slot, nullptr);
}

TEST_F(SRecordTest, OpenAndCreateFailuresReachTheCaller)
{
    platform::TFileStream* slot = nullptr;
    unsigned char* buffer = Buffer(16);
    EXPECT_THROW(ReadSRecordFile(&slot, Path("missing.s"), buffer, 16), platform::EFOpenError);
    EXPECT_EQ(slot, nullptr);
    EXPECT_THROW(WriteSRecordFile(&slot, Path("no/dir/x.src"), buffer, 16), platform::EFCreateError);
    EXPECT_EQ(slot, nullptr);
}

// ---- reader ---------------------------------------------------------------

TEST_F(SRecordTest, RoundTripsManySizesAndAllThreeRecordTypes)
{
    const std::size_t sizes[] = {0, 1, 15, 16, 17, 1000, 65535, 65536, 65537, 300001, 0x200005};
    unsigned seed = 100;
    for (std::size_t n : sizes) {
        const auto data = imagetest::ImageData(n, seed++);
        const std::string text = Write(data.data(), static_cast<std::int64_t>(n));
        EXPECT_EQ(Read(text, 0x200005), static_cast<int>(imagetest::ExpectedEnd(data, 16))) << n;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), Data())) << n;
        EXPECT_TRUE(fakes.ui.boxes.empty()) << n;
    }
    // S3 needs more than 16 MiB; keep the data sparse.
    std::vector<unsigned char> big(0x1000010, 0xFF);
    big[5] = 1;
    big[0x1000008] = 2;
    EXPECT_EQ(Read(Write(big.data(), static_cast<std::int64_t>(big.size())), big.size()), 0x1000010);
    EXPECT_TRUE(std::equal(big.begin(), big.end(), Data()));
}

TEST_F(SRecordTest, S2DataAtTheSecond64KiBLandThere)
{
    EXPECT_EQ(Read(kHeader + Rec(3, 0x010000, {0xAA, 0xBB}) + kEnd8, 0x20000), 0x10002);
    EXPECT_EQ(Data()[65536], 0xAA);
    EXPECT_EQ(Data()[65537], 0xBB);
}

TEST_F(SRecordTest, DataEndingAtMaxSizeLoadsOneByteMoreDoesNot)
{
    EXPECT_EQ(Read(Rec(2, 0x0FFE, {1, 2}) + kEnd9, 0x1000), 0x1000);
    EXPECT_EQ(Read(Rec(2, 0x0FFF, {1, 2}) + kEnd9, 0x1000), 0);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size"}));
    EXPECT_EQ(Data()[0xFFF], 0xFF);
}

TEST_F(SRecordTest, HighS3AddressesNeverWrap)
{
    EXPECT_EQ(Read(Rec(4, 0xFFFFFFF0, std::vector<unsigned>(16, 0)) + kEnd7), 0);
    EXPECT_EQ(Read(Rec(4, 0xFFFFFFFF, {0}) + kEnd7), 0);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size", "File exceeds Maximum Size"}));
    EXPECT_TRUE(std::all_of(Data(), Data() + 4096, [](unsigned char b) { return b == 0xFF; }));
}

TEST_F(SRecordTest, LowerCaseDigitsLoadButNotALowerCaseS)
{
    EXPECT_EQ(Read("S1060010abcdef82\r\n" + kEnd9), 0x13);
    EXPECT_EQ(Data()[0x10], 0xAB);
    EXPECT_EQ(Data()[0x12], 0xEF);
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_EQ(Read("s1060010abcdef5a\r\n" + kEnd9), 0);
    EXPECT_EQ(Boxes(), Texts({"Illegal Line found"}));
}

TEST_F(SRecordTest, OtherRecordsAreSkippedAndEndRecordsAreNotChecked)
{
    EXPECT_EQ(Read("S0 anything at all\r\nS5030001FB\r\nS4zz\r\nS6\r\nSX\r\nS\r\n" + Rec(2, 3, {9})
                   + "S9 broken checksum\r\n" + "junk after the end\r\n"),
              4);
    EXPECT_EQ(Data()[3], 9);
    EXPECT_EQ(Read(Rec(2, 0, {1}) + "S7"), 1);
    EXPECT_EQ(Read(Rec(2, 0, {1}) + "S8FFFF\n"), 1);
    EXPECT_EQ(Read(kHeader + kEnd9), 0); // no data, no box
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(SRecordTest, MessagesForBadLines)
{
    struct Case {
        std::string text;
        std::vector<QString> boxes;
    } cases[] = {
        {Rec(2, 0, {1}), Texts({"File Read Operation Failed"})}, // no end record: one box only
        {"", Texts({"File Read Operation Failed"})},
        {"\r\n" + kEnd9, Texts({"Illegal Line found"})},
        {Rec(2, 0, {1}) + "\n" + kEnd9, Texts({"Illegal Line found"})},
        {":00000001FF\r\n", Texts({"Illegal Line found"})},
        {"S1040000FFFD\r\n" + kEnd9, Texts({"Checksum Error"})},
        {"S2050000000FFA\r\n" + kEnd9, Texts({"Checksum Error"})},
        {"S306000000000FF9\r\n" + kEnd9, Texts({"Checksum Error"})},
        {"S1G40000FFFC\r\n" + kEnd9, Texts({"Illegal Char in File"})},
        {"S1040G00FFFC\r\n" + kEnd9, Texts({"Illegal Char in File"})},
        {"S10400000GFC\r\n" + kEnd9, Texts({"Illegal Char in File"})},
        {"S1040000FFGC\r\n" + kEnd9, Texts({"Illegal Char in File"})},
        {"S3060000000G0FF9\r\n" + kEnd7, Texts({"Illegal Char in File"})},
    };
    for (const auto& c : cases) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(c.text), 0) << c.text;
        EXPECT_EQ(Boxes(), c.boxes) << c.text;
    }
}

TEST_F(SRecordTest, AGInAnyFieldCharacterIsAnIllegalChar)
{
    const std::vector<unsigned> bytes = {0xAB, 0xCD, 0x01, 0x23, 0x45, 0x67};
    for (int addressBytes = 2; addressBytes <= 4; ++addressBytes) {
        const std::string record = Rec(addressBytes, 0x0ABC, bytes);
        // From the count to the checksum; character 1 is the type.
        for (std::size_t at = 2; at + 2 < record.size(); ++at) {
            std::string bad = record;
            bad[at] = 'G';
            fakes.ui.boxes.clear();
            EXPECT_EQ(Read(Rec(2, 0, {7}) + bad + kEnd9), 0) << bad;
            EXPECT_EQ(Boxes(), Texts({"Illegal Char in File"})) << bad;
        }
    }
}

TEST_F(SRecordTest, LowerCaseDigitsLoadInEveryField)
{
    // Count 0x0A (S1 with 7 data bytes), letters in address, data and checksum.
    for (int addressBytes = 2; addressBytes <= 4; ++addressBytes) {
        std::vector<unsigned> bytes(static_cast<std::size_t>(10 - addressBytes - 1));
        for (unsigned i = 0; i < bytes.size(); ++i)
            bytes[i] = 0xC0 + i;
        std::string line = Rec(addressBytes, 0x0ABC, bytes);
        ASSERT_EQ(line.substr(2, 2), "0A");
        std::transform(line.begin() + 2, line.end(), line.begin() + 2, [](unsigned char c) { return std::tolower(c); });
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(line + kEnd9), static_cast<int>(0x0ABC + bytes.size())) << line;
        EXPECT_EQ(Data()[0x0ABC], 0xC0) << line;
        EXPECT_EQ(Data()[0x0ABC + bytes.size() - 1], 0xC0 + bytes.size() - 1) << line;
        EXPECT_TRUE(fakes.ui.boxes.empty()) << line;
    }
}

TEST_F(SRecordTest, SizeIsCheckedBeforeTheDataAndBytesBeforeABadPairStay)
{
    EXPECT_EQ(Read("S1070FFFGGGGGGGGGG\r\n" + kEnd9), 0);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size"}));
    fakes.ui.boxes.clear();
    EXPECT_EQ(Read("S1090000112G33445566\r\n" + kEnd9), 0);
    EXPECT_EQ(Data()[0], 0x11);
    EXPECT_EQ(Data()[1], 0xFF);
    EXPECT_EQ(Read("S10B000011223344G5667788\r\n" + kEnd9), 0);
    EXPECT_TRUE(std::equal(Data(), Data() + 4, std::vector<unsigned char>{0x11, 0x22, 0x33, 0x44}.begin()));
    EXPECT_EQ(Data()[4], 0xFF);
    EXPECT_EQ(Boxes(), Texts({"Illegal Char in File", "Illegal Char in File"}));
}

TEST_F(SRecordTest, CountTooSmallForTheAddressIsRefused)
{
    // Count 2, 3, 4 leaves no room for the checksum after an S1, S2, S3 address.
    for (const char* line : {"S1020000FD\r\n", "S1000000FF\r\n", "S203000000FC\r\n", "S30400000000FB\r\n"}) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(std::string(line) + kEnd9), 0) << line;
        EXPECT_EQ(Boxes(), Texts({"Illegal Line found"})) << line;
    }
    // Exactly address + checksum is an empty record that raises the result.
    fakes.ui.boxes.clear();
    EXPECT_EQ(Read(Rec(2, 0x200, {}) + kEnd9), 0x200);
    EXPECT_EQ(Read(Rec(4, 0x300, {}) + kEnd7), 0x300);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(SRecordTest, RecordCutShortByItsLineEndIsAnIllegalChar)
{
    for (const char* line : {"S1130000000102\r\n", "S11300000001", "S107", "S1", "S30500000000\n"}) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(std::string(line)), 0) << line;
        EXPECT_EQ(Boxes(), Texts({"Illegal Char in File"})) << line;
    }
}

TEST_F(SRecordTest, RecordGluedBehindAnotherIsRefusedOtherTrailingTextIgnored)
{
    EXPECT_EQ(Read(Rec(2, 0, {1}).substr(0, 12) + " Some text, S or SX\r\n" + kEnd9), 1);
    // The S1 lies inside the header's count of 0x10 bytes, not after it.
    EXPECT_EQ(Read("S010S1" + std::string(30, 'x') + "\r\n" + Rec(2, 0, {1}) + kEnd9), 1);
    EXPECT_TRUE(fakes.ui.boxes.empty());

    const std::string record = Rec(2, 0x10, {1, 2, 3});
    const std::string line = record.substr(0, record.size() - 2);
    const std::string glued[] = {
        line + "\r" + Rec(2, 0x20, {4}) + kEnd9,
        line + Rec(3, 0x20, {4}) + kEnd9,
        line + " S9030000FC\r\n",
        "S00600004844521B\r" + record + kEnd9,
        "S5030001FB" + record + kEnd9,
    };
    for (const auto& text : glued) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(text), 0) << text;
        EXPECT_EQ(Boxes(), Texts({"Illegal Line found"})) << text;
    }
}

TEST_F(SRecordTest, ReadErrorIsTheReadersReadFailure)
{
    EXPECT_EQ(ReadUnreadable(&ReadSRecordFile), 0);
    EXPECT_EQ(Boxes(), Texts({"File Read Operation Failed"}));
}

TEST_F(SRecordTest, LongestLineFitsOneMoreByteIsRefused)
{
    // S1 with 44 data bytes: 98 characters + CR LF = 100.
    const std::string longest = Rec(2, 0, std::vector<unsigned>(44, 0x11));
    ASSERT_EQ(longest.size(), 100u);
    EXPECT_EQ(Read(longest + kEnd9), 44);
    EXPECT_TRUE(fakes.ui.boxes.empty());
    const std::string tooLong = Rec(2, 0, std::vector<unsigned>(45, 0x11));
    EXPECT_EQ(Read(tooLong + kEnd9), 0);
    EXPECT_EQ(Boxes(), Texts({"Illegal Line found"}));
}

} // namespace
