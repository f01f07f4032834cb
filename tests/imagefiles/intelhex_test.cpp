#include "imagefiles/intelhex.h"
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

// One record line with a correct checksum.
std::string Rec(unsigned type, unsigned address, const std::vector<unsigned>& bytes)
{
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string s = ":" + Hex2(static_cast<unsigned>(bytes.size())) + Hex2(address >> 8) + Hex2(address) + Hex2(type);
    for (unsigned b : bytes) {
        s += Hex2(b);
        sum += b;
    }
    return s + Hex2(0x100 - (sum & 0xFF)) + "\r\n";
}

const std::string kEnd = ":00000001FF\r\n";

class IntelHexTest : public imagetest::CodecTest {
protected:
    int Read(const std::string& text, std::size_t maxSize = 4096)
    {
        unsigned char* buffer = Buffer(maxSize);
        const QString path = WriteText(text, "image.hex");
        platform::TFileStream* slot = nullptr;
        const int result = ReadIntelHexFile(&slot, path, buffer, static_cast<int>(maxSize));
        EXPECT_EQ(slot, nullptr);
        EXPECT_TRUE(GuardsIntact());
        ExpectOnlyErrorBoxes();
        return result;
    }
    std::string Write(const unsigned char* data, std::int64_t length, bool expected = true)
    {
        platform::TFileStream* slot = nullptr;
        const QString path = Path("out.hex");
        EXPECT_EQ(WriteIntelHexFile(&slot, path, data, length), expected);
        EXPECT_EQ(slot, nullptr);
        return expected ? ReadText(path) : std::string();
    }
};

// ---- writer layout --------------------------------------------------------

TEST_F(IntelHexTest, FortyBytesGiveTwoRecordsAndTheEndRecord)
{
    std::vector<unsigned char> data(40);
    for (int i = 0; i < 40; ++i)
        data[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(Write(data.data(), 40),
              ":20000000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FF0\r\n"
              ":080020002021222324252627BC\r\n"
              ":00000001FF\r\n");
}

TEST_F(IntelHexTest, BlankImagesGiveOnlyTheEndRecordAndTheirLinearAddressRecords)
{
    EXPECT_EQ(Write(nullptr, 0), kEnd);
    std::vector<unsigned char> ff(0x10020, 0xFF);
    EXPECT_EQ(Write(ff.data(), 0x10000), kEnd); // the first block needs no address record
    EXPECT_EQ(Write(ff.data(), 0x10020), ":020000040001F9\r\n" + kEnd);
    // Every step gets its record, also where the writer starts a new work block.
    std::vector<unsigned char> blank(0x50001, 0xFF);
    EXPECT_EQ(Write(blank.data(), 0x50001), ":020000040001F9\r\n:020000040002F8\r\n:020000040003F7\r\n"
                                             ":020000040004F6\r\n:020000040005F5\r\n" + kEnd);
}

TEST_F(IntelHexTest, LinearAddressRecordAtEvery64KiBStepWithOffsetsRestarting)
{
    std::vector<unsigned char> data(0x20001, 0xFF);
    data[0xFFE0] = 0x11;   // last record of block 0
    data[0x10000] = 0x22;  // first record of block 1
    data[0x20000] = 0x33;  // a one-byte tail in block 2
    const std::string text = Write(data.data(), static_cast<std::int64_t>(data.size()));
    std::vector<unsigned> first(32, 0xFF);
    first[0] = 0x11;
    std::vector<unsigned> second(32, 0xFF);
    second[0] = 0x22;
    EXPECT_EQ(text, Rec(0, 0xFFE0, first) + ":020000040001F9\r\n" + Rec(0, 0, second) + ":020000040002F8\r\n"
                        + Rec(0, 0, {0x33}) + kEnd);
}

TEST_F(IntelHexTest, WritesOnlyRecordsWithSomeByteOtherThanFF)
{
    std::vector<unsigned char> data(96, 0xFF);
    data[0] = 0;
    data[95] = 0xFE;
    const std::string text = Write(data.data(), 96);
    std::vector<unsigned> a(32, 0xFF), c(32, 0xFF);
    a[0] = 0;
    c[31] = 0xFE;
    EXPECT_EQ(text, Rec(0, 0, a) + Rec(0, 0x40, c) + kEnd);
}

TEST_F(IntelHexTest, WriterRefusesBadLengthsAndLeavesTheFileAlone)
{
    const QString path = WriteText("keep me", "out.hex");
    const unsigned char byte = 0;
    platform::TFileStream* slot = nullptr;
    EXPECT_FALSE(WriteIntelHexFile(&slot, path, &byte, -1));
    EXPECT_FALSE(WriteIntelHexFile(&slot, path, &byte, std::numeric_limits<std::int64_t>::min()));
    EXPECT_FALSE(WriteIntelHexFile(&slot, path, &byte, (std::int64_t(1) << 32) + 1));
    EXPECT_FALSE(WriteIntelHexFile(&slot, path, nullptr, 5));
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(ReadText(path), "keep me");
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(IntelHexTest, WriterReportsAFailedWrite)
{
    const int probe = ::open("/dev/full", O_WRONLY);
    if (probe < 0)
        GTEST_SKIP() << "/dev/full not writable here";
    ::close(probe);
    std::vector<unsigned char> data(5000, 0x12);
    platform::TFileStream* slot = nullptr;
    EXPECT_FALSE(WriteIntelHexFile(&slot, QStringLiteral("/dev/full"), data.data(), 5000));
    EXPECT_EQ(slot, nullptr);
    EXPECT_FALSE(WriteIntelHexFile(&slot, QStringLiteral("/dev/full"), nullptr, 0)); // even the end record fails
    // Many blocks: the formatting that runs ahead of the writes must stop too.
    std::vector<unsigned char> big(8 << 20, 0x12);
    EXPECT_FALSE(WriteIntelHexFile(&slot, QStringLiteral("/dev/full"), big.data(), static_cast<std::int64_t>(big.size())));
    EXPECT_EQ(slot, nullptr);
}

TEST_F(IntelHexTest, OpenAndCreateFailuresReachTheCallerWithTheSlotEmpty)
{
    platform::TFileStream* slot = nullptr;
    unsigned char* buffer = Buffer(16);
    EXPECT_THROW(ReadIntelHexFile(&slot, Path("missing.hex"), buffer, 16), platform::EFOpenError);
    EXPECT_EQ(slot, nullptr);
    EXPECT_THROW(WriteIntelHexFile(&slot, Path("no/such/dir/x.hex"), buffer, 16), platform::EFCreateError);
    EXPECT_EQ(slot, nullptr);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

// ---- reader ---------------------------------------------------------------

TEST_F(IntelHexTest, RoundTripsManySizes)
{
    // 2 MiB span several of the writer's work blocks and more than one batch
    // of them; lines across read chunk ends are covered by hexfield_test.
    const std::size_t sizes[] = {0, 1, 31, 32, 33, 64, 100, 4095, 65535, 65536, 65537, 0x10020, 200003, 0x200007};
    unsigned seed = 1;
    for (std::size_t n : sizes) {
        const auto data = imagetest::ImageData(n, seed++);
        const std::string text = Write(data.data(), static_cast<std::int64_t>(n));
        EXPECT_EQ(Read(text, 0x200007), static_cast<int>(imagetest::ExpectedEnd(data, 32))) << n;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), Data())) << n;
        EXPECT_TRUE(fakes.ui.boxes.empty()) << n;
    }
}

TEST_F(IntelHexTest, SegmentAndLinearBasesMoveTheData)
{
    EXPECT_EQ(Read(":020000040001F9\r\n" + Rec(0, 0x0010, {0xAB}) + kEnd, 0x20000), 0x10011);
    EXPECT_EQ(Data()[0x10010], 0xAB);
    EXPECT_EQ(Read(":020000021000EC\r\n" + Rec(0, 0x0020, {0xCD}) + kEnd, 0x20000), 0x10021);
    EXPECT_EQ(Data()[0x10020], 0xCD);
    // Both bases add up, and a later record of one type replaces only its own base.
    EXPECT_EQ(Read(":020000040001F9\r\n" + Rec(2, 0, {0x00, 0x10}) + Rec(0, 1, {1}) + Rec(4, 0, {0, 0})
                       + Rec(0, 2, {2}) + kEnd,
                   0x30000),
              0x10102); // 0x10000 + 0x10 * 16 + 1, then 0x100 + 2
    EXPECT_EQ(Data()[0x10101], 1);
    EXPECT_EQ(Data()[0x102], 2);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(IntelHexTest, DataEndingAtMaxSizeLoadsOneByteMoreDoesNot)
{
    EXPECT_EQ(Read(Rec(0, 0x0FFC, {1, 2, 3, 4}) + kEnd, 0x1000), 0x1000);
    EXPECT_EQ(Data()[0xFFF], 4);
    EXPECT_EQ(Read(Rec(0, 0x0FFD, {1, 2, 3, 4}) + kEnd, 0x1000), 0);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size"}));
    EXPECT_EQ(Data()[0xFFF], 0xFF); // nothing stored from the refused record
}

TEST_F(IntelHexTest, AddressesBeyond32BitsNeverWrap)
{
    // 0xFFFF0000 + 0xFFF0 + 16 passes 4 GiB; summed narrow it would wrap to 0.
    EXPECT_EQ(Read(":02000004FFFFFC\r\n" + Rec(0, 0xFFF0, std::vector<unsigned>(16, 0)) + kEnd, 4096), 0);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size"}));
    fakes.ui.boxes.clear();
    EXPECT_EQ(Read(":02000004FFFFFC\r\n:02000002FFFFFE\r\n" + Rec(0, 0xFFFF, {0}) + kEnd, 4096), 0);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size"}));
    // 0xFFFF0000 + 0x10000 + 0x10 would land at 0x10 if the sum wrapped.
    fakes.ui.boxes.clear();
    EXPECT_EQ(Read(":02000004FFFFFC\r\n:020000021000EC\r\n" + Rec(0, 0x0010, {0}) + kEnd, 4096), 0);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size"}));
    EXPECT_TRUE(std::all_of(Data(), Data() + 4096, [](unsigned char b) { return b == 0xFF; }));
}

TEST_F(IntelHexTest, NegativeMaxSizeOrNullBufferTakeNoData)
{
    const QString path = WriteText(Rec(0, 0, {1}) + kEnd, "a.hex");
    platform::TFileStream* slot = nullptr;
    EXPECT_EQ(ReadIntelHexFile(&slot, path, nullptr, 4096), 0);
    unsigned char b = 0xFF;
    EXPECT_EQ(ReadIntelHexFile(&slot, path, &b, -5), 0);
    EXPECT_EQ(b, 0xFF);
    EXPECT_EQ(Boxes(), Texts({"File exceeds Maximum Size", "File exceeds Maximum Size"}));
    EXPECT_EQ(ReadIntelHexFile(nullptr, path, &b, 1), 1); // a null slot works too
    EXPECT_EQ(b, 1);
}

TEST_F(IntelHexTest, CountZeroRecordRaisesTheResultAndLowerCaseLoads)
{
    EXPECT_EQ(Read(":00012300DC\r\n" + kEnd), 0x123);
    EXPECT_EQ(Read(":04001000deadbeefb4\r\n:00000001ff\r\n"), 0x14);
    EXPECT_EQ(Data()[0x10], 0xDE);
    EXPECT_EQ(Data()[0x13], 0xEF);
    EXPECT_TRUE(std::all_of(Data(), Data() + 0x10, [](unsigned char b) { return b == 0xFF; }));
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_EQ(Read(kEnd), 0); // no data, no box
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(IntelHexTest, IllegalCharInEveryFieldIsTheOnlyBox)
{
    const std::string bad[] = {
        ":G1000000FF\r\n",           // count
        ":0100G000FF\r\n",           // address
        ":010000G0FF\r\n",           // type
        ":0200000012G4EA\r\n",       // data
        ":0100000012G\r\n",          // checksum
        ":0000000GFF\r\n",           // type of an end record
        ":00000001GF\r\n",           // end record checksum
        ":020000021G00EC\r\n",       // segment value
        ":0200000210000G\r\n",       // segment checksum
        ":0200000400G1F9\r\n",       // linear value
        ":02000004000GF9\r\n",       // linear checksum
    };
    for (const auto& line : bad) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(Rec(0, 0, {7}) + line + kEnd), 0) << line;
        EXPECT_EQ(Boxes(), Texts({"Illegal Char in File"})) << line;
    }
    EXPECT_EQ(Data()[0], 7); // bytes before the error stay
}

TEST_F(IntelHexTest, AGInAnyCharacterOfAnyRecordIsAnIllegalChar)
{
    // Every field character of a data, segment, linear and end record.
    const std::string records[] = {Rec(0, 0x0ABC, {0xAB, 0xCD, 0x01, 0x23, 0x45, 0x67}), Rec(2, 0, {0x00, 0x10}),
                                   Rec(4, 0, {0x00, 0x00}), kEnd};
    for (const auto& record : records) {
        for (std::size_t at = 1; at + 2 < record.size(); ++at) {
            std::string bad = record;
            bad[at] = 'G';
            fakes.ui.boxes.clear();
            EXPECT_EQ(Read(Rec(0, 0, {7}) + bad + kEnd), 0) << bad;
            EXPECT_EQ(Boxes(), Texts({"Illegal Char in File"})) << bad;
        }
    }
}

TEST_F(IntelHexTest, LowerCaseDigitsLoadInEveryField)
{
    // Letters in the count, address, data, base values and checksums.
    std::vector<unsigned> bytes(0x1A);
    for (unsigned i = 0; i < bytes.size(); ++i)
        bytes[i] = 0xA0 + i;
    std::string text = Rec(2, 0, {0x0F, 0xED}) + Rec(0, 0x0ABC, bytes) + kEnd;
    ASSERT_NE(text.find_first_of("ABCDEF"), std::string::npos);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(Read(text, 0x20000), 0xFED0 + 0x0ABC + 0x1A);
    EXPECT_EQ(Data()[0xFED0 + 0x0ABC], 0xA0);
    EXPECT_EQ(Data()[0xFED0 + 0x0ABC + 0x19], 0xB9);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(IntelHexTest, FirstApplicableMessageWins)
{
    struct Case {
        std::string line;
        const char* box;
    } cases[] = {
        {":01000006GG\r\n", "Invalid Record type"},               // type before data and checksum
        {":FFFFFF06\r\n", "Invalid Record type"},                 // type before any length
        {":10FFF000GGGG\r\n", "File exceeds Maximum Size"},       // size before the data
        {":01000001GG\r\n", "Illegal Char in File"},              // end record: checksum read first
        {":03000002GGGG\r\n", "Invalid Record Length for type 2"}, // length before value
        {":01000004GG\r\n", "Invalid Record Length for type 4"},
        {":020000041000\r\n", "Illegal Char in File"},            // checksum read before the sum test
    };
    for (const auto& c : cases) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(c.line + kEnd), 0) << c.line;
        EXPECT_EQ(Boxes(), Texts({c.box})) << c.line;
    }
}

TEST_F(IntelHexTest, DataBeforeABadPairOfTheSameRecordStay)
{
    EXPECT_EQ(Read(":06000000112G33445566\r\n" + kEnd), 0);
    EXPECT_EQ(Data()[0], 0x11);
    EXPECT_EQ(Data()[1], 0xFF);
    EXPECT_EQ(Read(":0600000011223344G5667788\r\n" + kEnd), 0);
    EXPECT_TRUE(std::equal(Data(), Data() + 4, std::vector<unsigned char>{0x11, 0x22, 0x33, 0x44}.begin()));
    EXPECT_EQ(Data()[4], 0xFF);
    EXPECT_EQ(Boxes(), Texts({"Illegal Char in File", "Illegal Char in File"}));
}

TEST_F(IntelHexTest, EndRecordVariants)
{
    EXPECT_EQ(Read(Rec(0, 0, {1}) + ":00000001ff"), 1); // lower case, no line end
    EXPECT_TRUE(fakes.ui.boxes.empty());
    for (const char* bad : {":00000101FE\r\n", ":01000001FE\r\n", ":00000001FE\r\n"}) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(Rec(0, 0, {1}) + bad), 0) << bad;
        EXPECT_EQ(Boxes(), Texts({"Invalid EOF Record"})) << bad;
    }
}

TEST_F(IntelHexTest, LinesAfterTheEndRecordAreNeverRead)
{
    EXPECT_EQ(Read(Rec(0, 0, {1, 2}) + kEnd + "garbage\r\n:G\r\n" + std::string(2000, 'x')), 2);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(IntelHexTest, LineMessagesInOrder)
{
    struct Case {
        std::string text;
        std::vector<QString> boxes;
    } cases[] = {
        {Rec(0, 0, {1}) + "\r\n" + kEnd, Texts({"Illegal Line found"})},
        {Rec(0, 0, {1}) + "\n" + kEnd, Texts({"Illegal Line found"})},
        {" " + kEnd, Texts({"Illegal Line found"})},
        {Rec(0, 0, {1}), Texts({"File Read Operation Failed", "Error reading File"})},
        {"", Texts({"File Read Operation Failed", "Error reading File"})},
        {":00000006FA\r\n" + kEnd, Texts({"Invalid Record type"})},
        {":000000FF01\r\n" + kEnd, Texts({"Invalid Record type"})},
        {":0100000012EE\r\n" + kEnd, Texts({"Checksum Error type 0"})},
        {":03000002100000EB\r\n" + kEnd, Texts({"Invalid Record Length for type 2"})},
        {":020000021000ED\r\n" + kEnd, Texts({"Checksum Error type 2"})},
        {":0100000400FB\r\n" + kEnd, Texts({"Invalid Record Length for type 4"})},
        {":020000040001F8\r\n" + kEnd, Texts({"Checksum Error type 4"})},
    };
    for (const auto& c : cases) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(c.text), 0) << c.text;
        EXPECT_EQ(Boxes(), c.boxes) << c.text;
    }
}

TEST_F(IntelHexTest, StartAddressRecordsAreSkippedUnchecked)
{
    EXPECT_EQ(Read(":0400000300001234XX\r\n:04000005ZZ\r\n" + Rec(0, 0, {5}) + kEnd), 1);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

// ---- lines that are shorter or longer than their records ------------------

TEST_F(IntelHexTest, RecordCutShortByItsLineEndIsAnIllegalChar)
{
    const std::string cut[] = {
        ":10000000010203\r\n",  // count 16, three bytes there
        ":1000000001020304",    // cut by the end of the file
        ":01000000\n",          // no data and no checksum
        ":0100000001\r\n",      // no checksum
        ":00000001",            // end record without checksum
        ":0",                   // count cut
        ":",                    // nothing at all
    };
    for (const auto& line : cut) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(line), 0) << line;
        EXPECT_EQ(Boxes(), Texts({"Illegal Char in File"})) << line;
    }
}

TEST_F(IntelHexTest, LongestRecordFitsTheLineOneMoreByteIsRefused)
{
    // 249 data bytes with CR LF are 511 bytes; 250 need 513.
    std::vector<unsigned> bytes(249);
    for (unsigned i = 0; i < 249; ++i)
        bytes[i] = i;
    const std::string longest = Rec(0, 0, bytes);
    ASSERT_EQ(longest.size(), 511u);
    EXPECT_EQ(Read(longest + kEnd), 249);
    EXPECT_EQ(Data()[248], 248);
    EXPECT_TRUE(fakes.ui.boxes.empty());

    bytes.push_back(0);
    const std::string tooLong = Rec(0, 0, bytes);
    ASSERT_EQ(tooLong.size(), 513u);
    EXPECT_EQ(Read(tooLong + kEnd), 0);
    EXPECT_EQ(Boxes(), Texts({"Illegal Line found"}));

    // A valid record followed by trailing text past the limit is refused too.
    fakes.ui.boxes.clear();
    EXPECT_EQ(Read(Rec(0, 0, {1}).substr(0, 13) + std::string(600, ' ') + "\r\n" + kEnd), 0);
    EXPECT_EQ(Boxes(), Texts({"Illegal Line found"}));
}

TEST_F(IntelHexTest, TextAfterTheChecksumIsIgnoredUnlessItStartsAnotherRecord)
{
    EXPECT_EQ(Read(":0100000001FE trailing words\r\n" + kEnd), 1);
    EXPECT_EQ(Read(":0100000001FE\r\r\n" + kEnd + ":G"), 1);
    EXPECT_TRUE(fakes.ui.boxes.empty());

    // A record glued behind another would be dropped: a bare CR between them,
    // two on one line, or one hidden in the trailing text; behind every kind
    // of record that has a checksum, and behind the skipped start addresses.
    const std::string second = ":10001000000102030405060708090A0B0C0D0E0F68\r\n";
    const std::string glued[] = {
        ":0100000001FE\r" + second + kEnd,
        ":0100000001FE" + second + kEnd,
        ":0100000001FE words :\r\n" + kEnd,
        ":020000040000FA\r" + second + kEnd,
        ":020000021000EC " + second + kEnd,
        ":0400000300001234B3\r" + second + kEnd,
        Rec(0, 0, {1}) + ":00000001FF\r" + second,
    };
    for (const auto& text : glued) {
        fakes.ui.boxes.clear();
        EXPECT_EQ(Read(text), 0) << text;
        EXPECT_EQ(Boxes(), Texts({"Illegal Line found"})) << text;
    }
}

// ---- read errors ------------------------------------------------------------

TEST_F(IntelHexTest, ReadErrorIsTheReadersReadFailure)
{
    EXPECT_EQ(ReadUnreadable(&ReadIntelHexFile), 0);
    EXPECT_EQ(Boxes(), Texts({"File Read Operation Failed", "Error reading File"}));
}

} // namespace
