#include "imagefiles/hexfield.h"
#include "imagefile_test_util.h"
#include "imagefiles/codec_internal.h"
#include "platform/exceptions.h"
#include "platform/streams.h"

#include <cstring>
#include <random>

using imagetest::Texts;

namespace {

class HexFieldTest : public ::testing::Test {
protected:
    testsupport::ScopedPlatformFakes fakes;
};

TEST_F(HexFieldTest, ParsesDigitsOfEitherCaseMostSignificantFirst)
{
    std::uint32_t v = 0;
    EXPECT_TRUE(ParseHexField("0123456789", 8, v));
    EXPECT_EQ(v, 0x01234567u);
    EXPECT_TRUE(ParseHexField("abcdef", 6, v));
    EXPECT_EQ(v, 0xABCDEFu);
    EXPECT_TRUE(ParseHexField("AbCdEf", 6, v));
    EXPECT_EQ(v, 0xABCDEFu);
    EXPECT_TRUE(ParseHexField("FFFFFFFF", 8, v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseHexField("9Z", 1, v)); // only the field's own characters count
    EXPECT_EQ(v, 9u);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(HexFieldTest, RejectsNonDigitsAndShortFieldsWithOneBox)
{
    for (const char* bad : {"G0", "0G", "g1", " 1", "1:", "-1", "0x"}) {
        std::uint32_t v = 77;
        EXPECT_FALSE(ParseHexField(bad, 2, v)) << bad;
        EXPECT_EQ(v, 77u) << bad;
    }
    std::uint32_t v = 77;
    EXPECT_FALSE(ParseHexField(std::string_view("A"), 2, v)); // runs into the end of the line
    EXPECT_FALSE(ParseHexField(std::string_view("12\0", 3), 4, v));
    EXPECT_FALSE(ParseHexField(std::string_view(), 2, v));
    EXPECT_EQ(v, 77u);
    ASSERT_EQ(fakes.ui.boxes.size(), 10u);
    for (const auto& box : fakes.ui.boxes) {
        EXPECT_EQ(box.text, QStringLiteral("Illegal Char in File"));
        EXPECT_EQ(box.caption, QStringLiteral("Error"));
        EXPECT_EQ(box.icon, platform::MsgIcon::Error);
    }
}

TEST_F(HexFieldTest, FormatsUpperCaseWithLeadingZerosAndKeepsLowDigits)
{
    char text[9] = "########";
    FormatHexField(0xABC, text, 4);
    EXPECT_STREQ(text, "0ABC####");
    FormatHexField(0x12345678, text, 8);
    EXPECT_STREQ(text, "12345678");
    std::memcpy(text, "########", 8);
    FormatHexField(0x1FF, text, 2); // only the low digits fit
    EXPECT_STREQ(text, "FF######");
    FormatHexField(0, text, 1);
    EXPECT_STREQ(text, "0F######");
}

// Line readers over a memory stream.
platform::TMemoryStream StreamOf(const std::string& text)
{
    platform::TMemoryStream s;
    s.Write(text.data(), static_cast<std::int64_t>(text.size()));
    s.SetPosition(0);
    return s;
}

// Reads like a disk with a bad spot at `bad`: the bytes before it come, a read
// that starts at it raises the stream's read error.
class BadSpotStream : public platform::TMemoryStream {
public:
    BadSpotStream(const std::string& text, std::int64_t bad) : bad_(bad)
    {
        TMemoryStream::Write(text.data(), static_cast<std::int64_t>(text.size()));
        SetPosition(0);
    }
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        if (Position() >= bad_)
            throw platform::EReadError(QStringLiteral("Stream read error. Input/output error"));
        return TMemoryStream::Read(buffer, std::min(count, bad_ - Position()));
    }

private:
    std::int64_t bad_;
};

TEST_F(HexFieldTest, ReadErrorIsAFailedLineReadAfterTheWholeLinesBeforeIt)
{
    const std::string text = ":AB\r\n:CDEF\r\n:0123";
    for (int limit : {HexLineLimit, SRecordLineLimit}) {
        auto read = limit == HexLineLimit ? ReadHexFileLine : ReadSRecordFileLine;
        fakes.ui.boxes.clear();
        BadSpotStream direct(text, 0);
        TextLine line;
        EXPECT_FALSE(read(direct, line));
        EXPECT_EQ(fakes.ui.boxTexts(), Texts({"File Read Operation Failed"}));

        // Through the buffer: the lines before the bad spot come, the one it
        // cuts off does not, and nothing is shown here.
        fakes.ui.boxes.clear();
        BadSpotStream buffered(text, 15);
        imagefiles_detail::LineSource lines(buffered, limit);
        std::string_view got;
        bool overlong = true;
        ASSERT_TRUE(lines.Next(got, overlong));
        EXPECT_EQ(got, ":AB\r\n");
        EXPECT_FALSE(overlong);
        ASSERT_TRUE(lines.Next(got, overlong));
        EXPECT_EQ(got, ":CDEF\r\n");
        EXPECT_FALSE(lines.Next(got, overlong));
        EXPECT_FALSE(lines.Next(got, overlong));
        EXPECT_TRUE(fakes.ui.boxes.empty());
    }
}

TEST_F(HexFieldTest, LineReaderSplitsAtLfAndKeepsTheStreamAtTheNextLine)
{
    auto s = StreamOf(":AB\r\n\nlast");
    TextLine line;
    ASSERT_TRUE(ReadHexFileLine(s, line));
    EXPECT_EQ(line.view(), ":AB\r\n");
    EXPECT_EQ(line.text[line.length], 0);
    EXPECT_FALSE(line.overlong);
    EXPECT_EQ(s.Position(), 5);
    ASSERT_TRUE(ReadHexFileLine(s, line));
    EXPECT_EQ(line.view(), "\n");
    ASSERT_TRUE(ReadHexFileLine(s, line)); // a last line needs no LF
    EXPECT_EQ(line.view(), "last");
    EXPECT_FALSE(line.overlong);
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_FALSE(ReadHexFileLine(s, line));
    EXPECT_EQ(fakes.ui.boxTexts(), Texts({"File Read Operation Failed"}));
}

TEST_F(HexFieldTest, LineOfExactlyTheLimitFitsOneMoreIsOverlong)
{
    for (int limit : {HexLineLimit, SRecordLineLimit}) {
        auto read = limit == HexLineLimit ? ReadHexFileLine : ReadSRecordFileLine;
        const std::string fits = std::string(limit - 1, 'x') + "\n";
        const std::string tooLong = std::string(limit, 'y') + "\nz";
        auto s = StreamOf(fits + tooLong);
        TextLine line;
        std::memset(line.text, 0x5A, sizeof line.text);
        ASSERT_TRUE(read(s, line));
        EXPECT_EQ(line.length, limit);
        EXPECT_FALSE(line.overlong);
        EXPECT_EQ(line.view(), fits);
        ASSERT_TRUE(read(s, line));
        EXPECT_TRUE(line.overlong) << limit;
        EXPECT_EQ(line.length, limit);
        EXPECT_EQ(line.text[limit], 0);
        EXPECT_EQ(s.Position(), 2 * limit);

        // A last line of exactly the limit without LF is a whole line.
        auto last = StreamOf(std::string(limit, 'w'));
        ASSERT_TRUE(read(last, line));
        EXPECT_FALSE(line.overlong);
        EXPECT_EQ(line.length, limit);
    }
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(HexFieldTest, SRecordLineReaderTakesAtMostOneHundredBytes)
{
    auto s = StreamOf(std::string(150, 'S'));
    TextLine line;
    ASSERT_TRUE(ReadSRecordFileLine(s, line));
    EXPECT_TRUE(line.overlong);
    EXPECT_EQ(line.length, SRecordLineLimit);
    EXPECT_EQ(s.Position(), SRecordLineLimit);
}

// The codecs read through a large buffer instead of the line readers; they
// must take the same lines, also where a line crosses the end of a read chunk.
// The text spans two chunk ends (chunks are 4 MiB) with lines of every length
// up to past both limits.
TEST_F(HexFieldTest, BufferedLinesMatchTheLineReadersAcrossReadChunks)
{
    std::mt19937 rng(7);
    std::string text;
    while (text.size() < (std::size_t(9) << 20)) {
        const std::size_t length = rng() % 700;
        for (std::size_t i = 0; i < length; ++i)
            text += static_cast<char>('!' + (text.size() % 90)); // where a line starts shows in its bytes
        text += '\n';
    }
    text += "last line";
    for (int limit : {HexLineLimit, SRecordLineLimit}) {
        auto read = limit == HexLineLimit ? ReadHexFileLine : ReadSRecordFileLine;
        auto byReader = StreamOf(text);
        auto buffered = StreamOf(text);
        imagefiles_detail::LineSource lines(buffered, limit);
        TextLine expected;
        std::string_view line;
        bool overlong = false;
        std::size_t count = 0, overlongCount = 0, taken = 0;
        while (read(byReader, expected)) {
            ASSERT_TRUE(lines.Next(line, overlong)) << limit << " line " << count;
            ASSERT_EQ(line, expected.view()) << limit << " line " << count;
            ASSERT_EQ(overlong, expected.overlong) << limit << " line " << count;
            ++count;
            overlongCount += overlong;
            taken += line.size();
        }
        EXPECT_FALSE(lines.Next(line, overlong)) << limit;
        EXPECT_EQ(taken, text.size()) << limit;
        EXPECT_GT(overlongCount, 0u) << limit;
    }
    EXPECT_EQ(fakes.ui.boxTexts(), Texts({"File Read Operation Failed", "File Read Operation Failed"}));
}

} // namespace
