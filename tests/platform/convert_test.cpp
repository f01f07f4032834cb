#include "platform/convert.h"
#include "platform/exceptions.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct Good {
    const char* text;
    int value;
};

TEST(StrToInt, AcceptsDecimalHexAndSigns)
{
    const Good cases[] = {
        {"0", 0},
        {"12", 12},
        {"  12", 12},
        {"+5", 5},
        {"-7", -7},
        {"007", 7},
        {"$ff", 255},
        {"$FF", 255},
        {"0XFF", 255},
        {"0xff", 255},
        {"xff", 255},
        {"Xff", 255},
        {"-$10", -16},
        {"+$10", 16},
        {"-0x10", -16},
        {" -x10", -16},
        {"0xFFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
        {"-$FFFFFFFF", 1},
        {"$00000000FF", 255},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"0x20", 32},
        {"$20", 32},
    };
    for (const Good& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(platform::StrToInt(QString::fromLatin1(c.text)), c.value);
        EXPECT_EQ(platform::TryStrToInt(QString::fromLatin1(c.text)), c.value);
    }
}

TEST(StrToInt, RejectsEverythingElse)
{
    const char* const bad[] = {
        "", " ", "+", "-", "$", "x", "0x", "-$", "12 ", " 12 ", "1 2", "\t12", "12\t",
        "abc", "0x1g", "$-1", "--1", "+-1", "1e3", "1.0", "4294967296", "2147483648",
        "-2147483649", "0x100000000", "$1FFFFFFFF", "00x10", "0$10", "12;", "１２",
        "99999999999999999999999",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(platform::TryStrToInt(QString::fromUtf8(text)).has_value());
        EXPECT_THROW(platform::StrToInt(QString::fromUtf8(text)), platform::EConvertError);
    }
    // An embedded NUL is not the end of the text.
    EXPECT_FALSE(platform::TryStrToInt(QString::fromUtf8("12\0", 3)).has_value());
}

TEST(StrToInt, ErrorMessageQuotesTheWholeField)
{
    const auto messageFor = [](const QString& text) {
        try {
            platform::StrToInt(text);
        } catch (const platform::EConvertError& e) {
            return e.Message();
        }
        return QStringLiteral("<no error>");
    };
    EXPECT_EQ(messageFor(QStringLiteral("12 ")), QStringLiteral("'12 ' is not a valid integer value"));
    EXPECT_EQ(messageFor(QString()), QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(messageFor(QStringLiteral("%1 芯片")), QStringLiteral("'%1 芯片' is not a valid integer value"));
}

} // namespace

TEST(StrToInt64, WholeSixtyFourBitRange)
{
    EXPECT_EQ(platform::StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(platform::StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(platform::StrToInt64("  +42"), 42);
    // Hexadecimal may use every bit; the sign applies to the pattern.
    EXPECT_EQ(platform::StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(platform::StrToInt64("-0x1"), -1);
    EXPECT_EQ(platform::StrToInt64("x100000000"), std::int64_t(1) << 32);
    // What 32 bits refuse, 64 bits take.
    EXPECT_THROW(platform::StrToInt("4294967296"), platform::EConvertError);
    EXPECT_EQ(platform::StrToInt64("4294967296"), std::int64_t(1) << 32);
}

TEST(StrToInt64, RefusesOverflowAndJunk)
{
    for (const char* bad : {"9223372036854775808", "-9223372036854775809", "$10000000000000000", "", "-", "0x",
                            "12a", " 1 "}) {
        EXPECT_THROW(platform::StrToInt64(QString::fromLatin1(bad)), platform::EConvertError) << bad;
    }
    try {
        platform::StrToInt64("1e3");
        FAIL() << "no error";
    } catch (const platform::EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'1e3' is not a valid integer value"));
    }
}
