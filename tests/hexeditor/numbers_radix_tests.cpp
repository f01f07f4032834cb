// Radix text, the prefix/suffix notations, unsigned 64-bit arithmetic, hex
// text and the small helpers.
#include "hexeditor/wqhnumbers.h"
#include "hexeditor/wqhstrings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

template <class E, class F>
QString MessageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

TEST(IntToRadix, DigitsPaddingAndUnsignedView)
{
    EXPECT_EQ(IntToRadix(0, 16), "0");
    EXPECT_EQ(IntToRadix(255, 16), "FF");
    EXPECT_EQ(IntToRadix(5, 2), "101");
    EXPECT_EQ(IntToRadix(-1, 16), "FFFFFFFF");
    EXPECT_EQ(IntToRadix(std::numeric_limits<int>::min(), 2), "1" + QString(31, QLatin1Char('0')));
    EXPECT_EQ(IntToRadixLen(0x1F0, 16, 8), "000001F0");
    EXPECT_EQ(IntToRadixLen(0x12345, 16, 2), "12345");  // never cut
    EXPECT_EQ(IntToRadixLen(0, 10, 0), "0");
    EXPECT_EQ(IntToOctal(8), "10");
    EXPECT_EQ(IntToRadix64(std::numeric_limits<std::uint64_t>::max(), 16), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToRadixLen64(35, 36 - 20, 4), "0023");
    EXPECT_EQ(IntToRadix64(std::numeric_limits<std::uint64_t>::max(), 2).size(), 64);
}

TEST(IntToRadix, RadixOutsideTwoToSixteenRaises)
{
    for (std::uint8_t r : {0, 1, 17, 255}) {
        EXPECT_EQ(MessageOf<EWQHexEditor>([&] { IntToRadix(10, r); }),
                  QString::asprintf(wqhstr::InvalidRadix, int(r)));
        EXPECT_THROW(IntToRadixLen64(10, r, 2), EWQHexEditor);
        EXPECT_THROW(RadixToInt("1", r), EWQHexEditor);
        EXPECT_THROW(RadixToInt64("1", r), EWQHexEditor);
    }
    // Empty text still checks the radix.
    EXPECT_THROW(RadixToInt("", 0), EWQHexEditor);
}

TEST(RadixToInt, DigitsCaseAndWrap)
{
    EXPECT_EQ(RadixToInt("", 16), 0);
    EXPECT_EQ(RadixToInt("ff", 16), 255);
    EXPECT_EQ(RadixToInt("FFFFFFFF", 16), -1);
    EXPECT_EQ(RadixToInt("100000000", 16), 0);
    EXPECT_EQ(RadixToInt("7FFFFFFF", 16), 0x7FFFFFFF);
    EXPECT_EQ(RadixToInt("80000000", 16), std::numeric_limits<int>::min());
    EXPECT_EQ(RadixToInt("777", 8), 511);
    EXPECT_EQ(OctalToInt("17"), 15);
    EXPECT_EQ(RadixToInt64("FFFFFFFFFFFFFFFF", 16), -1);
    EXPECT_EQ(RadixToInt64("10000000000000000", 16), 0);
    EXPECT_EQ(RadixToInt64("100000000", 16), 0x100000000LL);
    // Far longer than any value: wraps, never overflows a signed type.
    EXPECT_EQ(RadixToInt(QString(200, QLatin1Char('9')), 10),
              static_cast<int>(static_cast<std::uint32_t>(RadixToInt64(QString(200, QLatin1Char('9')), 10))));
}

TEST(RadixToInt, BadCharacterNamesCharacterAndRadix)
{
    EXPECT_EQ(MessageOf<EWQHexEditor>([] { RadixToInt("12G", 16); }),
              "Invalid character G, cannot convert using radix 10h");
    EXPECT_EQ(MessageOf<EWQHexEditor>([] { RadixToInt("19", 8); }),
              "Invalid character 9, cannot convert using radix 8h");
    EXPECT_EQ(MessageOf<EWQHexEditor>([] { RadixToInt("12", 2); }),
              "Invalid character 2, cannot convert using radix 2h");
    EXPECT_THROW(RadixToInt(" 1", 10), EWQHexEditor);  // no space
    EXPECT_THROW(RadixToInt("-1", 10), EWQHexEditor);  // no sign
}

TEST(CheckRadixToInt, EveryNotation)
{
    for (const char* t : {"0x1F", "0X1f", "$1F", "1Fh", "1fH"})
        EXPECT_EQ(CheckRadixToInt(t), 31) << t;
    for (const char* t : {"17o", "17O", "o17", "O17"})
        EXPECT_EQ(CheckRadixToInt(t), 15) << t;
    EXPECT_EQ(CheckRadixToInt("101%"), 5);
    EXPECT_EQ(CheckRadixToInt("%101"), 5);
    EXPECT_EQ(CheckRadixToInt("31"), 31);
    EXPECT_EQ(CheckRadixToInt("-31"), -31);
    EXPECT_EQ(CheckRadixToInt("  +7"), 7);
    EXPECT_EQ(CheckRadixToInt("h"), 0);
    EXPECT_EQ(CheckRadixToInt("0x"), 0);
    EXPECT_EQ(CheckRadixToInt("%"), 0);
    EXPECT_EQ(CheckRadixToInt("0xFFFFFFFF"), -1);
    EXPECT_THROW(CheckRadixToInt("0x1Fh"), EWQHexEditor);  // an H among the hex digits
    EXPECT_THROW(CheckRadixToInt("18o"), EWQHexEditor);
    EXPECT_THROW(CheckRadixToInt("102%"), EWQHexEditor);
}

TEST(CheckRadixToInt, DecimalErrorsAreConversionErrors)
{
    EXPECT_EQ(MessageOf<platform::EConvertError>([] { CheckRadixToInt(""); }), "'' is not a valid integer value");
    EXPECT_EQ(MessageOf<platform::EConvertError>([] { CheckRadixToInt("12x"); }),
              "'12x' is not a valid integer value");
    EXPECT_THROW(CheckRadixToInt("2147483648"), platform::EConvertError);
    EXPECT_EQ(CheckRadixToInt("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(MessageOf<platform::EConvertError>([] { CheckRadixToInt64(""); }), "'' is not a valid integer value");
}

TEST(CheckRadixToInt64, SixtyFourBitNotations)
{
    EXPECT_EQ(CheckRadixToInt64("0x100000000"), 0x100000000LL);
    EXPECT_EQ(CheckRadixToInt64("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(CheckRadixToInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(CheckRadixToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_THROW(CheckRadixToInt64("9223372036854775808"), platform::EConvertError);
    EXPECT_THROW(CheckRadixToInt64("99999999999999999999999"), platform::EConvertError);
    EXPECT_EQ(CheckRadixToInt64(" -x10"), -16);
    EXPECT_THROW(CheckRadixToInt64("x"), platform::EConvertError);
    EXPECT_THROW(CheckRadixToInt64("0x1G"), EWQHexEditor);  // rule 1 goes through the radix digits
    EXPECT_EQ(CheckRadixToInt64("1111111111111111111111111111111111111111%"), 0xFFFFFFFFFFLL);
}

TEST(UnsignedArithmetic, TryFormsReportOverflowAndWrap)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t r = 7;
    EXPECT_FALSE(TryAddU64(kMax, 1, r));
    EXPECT_EQ(r, 0u);
    EXPECT_TRUE(TryAddU64(kMax - 1, 1, r));
    EXPECT_EQ(r, kMax);
    EXPECT_FALSE(TrySubtractU64(0, 1, r));
    EXPECT_EQ(r, kMax);
    EXPECT_TRUE(TrySubtractU64(5, 5, r));
    EXPECT_EQ(r, 0u);
    EXPECT_FALSE(TryMultiplyU64(1ull << 32, 1ull << 32, r));
    EXPECT_EQ(r, 0u);
    EXPECT_TRUE(TryMultiplyU64(1ull << 31, 1ull << 32, r));
    EXPECT_EQ(r, 1ull << 63);
    EXPECT_FALSE(TryMultiplyU64(kMax, 3, r));
    EXPECT_EQ(r, kMax - 2);  // low 64 bits of the product

    r = 42;
    EXPECT_FALSE(TryDivideU64(10, 0, r));
    EXPECT_EQ(r, 42u);
    EXPECT_FALSE(TryModuloU64(10, 0, r));
    EXPECT_EQ(r, 42u);
    EXPECT_TRUE(TryDivideU64(kMax, 2, r));
    EXPECT_EQ(r, kMax / 2);
    EXPECT_TRUE(TryModuloU64(kMax, 10, r));
    EXPECT_EQ(r, 5u);
}

TEST(UnsignedArithmetic, RaisingFormsUseTheLibraryTexts)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(MessageOf<EIntOverflow>([&] { AddU64(kMax, 1); }), "Integer overflow");
    EXPECT_EQ(MessageOf<EIntOverflow>([&] { SubtractU64(1, 2); }), "Integer overflow");
    EXPECT_EQ(MessageOf<EIntOverflow>([&] { MultiplyU64(kMax, 2); }), "Integer overflow");
    EXPECT_EQ(MessageOf<EDivByZero>([&] { DivideU64(1, 0); }), "Division by zero");
    EXPECT_EQ(MessageOf<EDivByZero>([&] { ModuloU64(1, 0); }), "Division by zero");
    EXPECT_EQ(AddU64(kMax - 5, 5), kMax);
    EXPECT_EQ(SubtractU64(10, 3), 7u);
    EXPECT_EQ(MultiplyU64(1ull << 32, 1ull << 31), 1ull << 63);
    EXPECT_EQ(DivideU64(kMax, kMax), 1u);
    EXPECT_EQ(ModuloU64(100, 7), 2u);
}

TEST(UnsignedArithmetic, CarriesBorrowsAndProductsAtTheWordEdges)
{
    struct Case {
        std::uint64_t a, b;
        std::uint64_t sum;
        bool sumFits;
        std::uint64_t product;
        bool productFits;
        std::uint64_t difference;
        bool noBorrow;
    };
    constexpr std::uint64_t kMax = 0xFFFFFFFFFFFFFFFFull;
    const Case cases[] = {
        {0xFFFFFFFFull, 0xFFFFFFFFull, 0x1FFFFFFFEull, true, 0xFFFFFFFE00000001ull, true, 0, true},
        {0x100000000ull, 0xFFFFFFFFull, 0x1FFFFFFFFull, true, 0xFFFFFFFF00000000ull, true, 1, true},
        {0x100000001ull, 0xFFFFFFFFull, 0x200000000ull, true, kMax, true, 2, true},
        {0x100000001ull, 0x100000000ull, 0x200000001ull, true, 0x100000000ull, false, 1, true},
        {kMax, kMax, 0xFFFFFFFFFFFFFFFEull, false, 1, false, 0, true},
        {3, 0x5555555555555555ull, 0x5555555555555558ull, true, kMax, true, 0xAAAAAAAAAAAAAAAEull, false},
        {3, 0x5555555555555556ull, 0x5555555555555559ull, true, 2, false, 0xAAAAAAAAAAAAAAADull, false},
        {0, kMax, kMax, true, 0, true, 1, false},
        {0xDEADBEEFull, 0xCAFEBABEull, 0x1A9AC79ADull, true, 0xB092AB7B88CF5B62ull, true, 0x13AF0431ull, true},
        {0x0123456789ABCDEFull, 0x10, 0x0123456789ABCDFFull, true, 0x123456789ABCDEF0ull, true,
         0x0123456789ABCDDFull, true},
        {0x0123456789ABCDEFull, 0x100, 0x0123456789ABCEEFull, true, 0x23456789ABCDEF00ull, false,
         0x0123456789ABCCEFull, true},
        {0x8000000000000000ull, 0x8000000000000000ull, 0, false, 0, false, 0, true},
        {0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, kMax, true, 0x8000000000000000ull, false, kMax, false},
        {0x8000000000000000ull, 1, 0x8000000000000001ull, true, 0x8000000000000000ull, true,
         0x7FFFFFFFFFFFFFFFull, true},
        {0x0123456789ABCDEFull, 0xFEDCBA9876543210ull, kMax, true, 0x2236D88FE5618CF0ull, false,
         0x02468ACF13579BDFull, false},
    };
    for (const Case& c : cases) {
        std::uint64_t r = 0x5A5A;
        EXPECT_EQ(TryAddU64(c.a, c.b, r), c.sumFits) << std::hex << c.a << " + " << c.b;
        EXPECT_EQ(r, c.sum) << std::hex << c.a << " + " << c.b;
        r = 0x5A5A;
        EXPECT_EQ(TryMultiplyU64(c.a, c.b, r), c.productFits) << std::hex << c.a << " * " << c.b;
        EXPECT_EQ(r, c.product) << std::hex << c.a << " * " << c.b;
        r = 0x5A5A;
        EXPECT_EQ(TrySubtractU64(c.a, c.b, r), c.noBorrow) << std::hex << c.a << " - " << c.b;
        EXPECT_EQ(r, c.difference) << std::hex << c.a << " - " << c.b;
    }
}

TEST(HexText, ConvertHexToBinSkipsNonDigitsAndDropsALoneDigit)
{
    std::uint8_t out[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    int n = -1;
    const QString t1 = QStringLiteral("0a B-c");
    EXPECT_EQ(ConvertHexToBin(t1.constData(), out, t1.size(), false, n), out);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0xBC);
    EXPECT_EQ(out[2], 0xEE);  // nothing beyond the translated bytes

    const QString t2 = QStringLiteral("ABC");
    ConvertHexToBin(t2.constData(), out, t2.size(), false, n);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(out[0], 0xAB);

    const QString t3 = QStringLiteral("12");
    ConvertHexToBin(t3.constData(), out, t3.size(), true, n);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(out[0], 0x21);

    const QString t4 = QStringLiteral("xyz g\u0661\uFF11");  // no ASCII hex digit at all
    ConvertHexToBin(t4.constData(), out, t4.size(), false, n);
    EXPECT_EQ(n, 0);
    ConvertHexToBin(t4.constData(), out, 0, false, n);
    EXPECT_EQ(n, 0);
}

TEST(HexText, ConvertBinToHexWritesDigitsAndTerminator)
{
    const std::uint8_t src[] = {0x01, 0xAF};
    QChar buf[5] = {QChar(u'#'), QChar(u'#'), QChar(u'#'), QChar(u'#'), QChar(u'#')};
    EXPECT_EQ(ConvertBinToHex(src, buf, 2, false), buf);
    EXPECT_EQ(QString(buf, 4), "01AF");
    EXPECT_EQ(buf[4], QChar(0));
    ConvertBinToHex(src, buf, 2, true);
    EXPECT_EQ(QString(buf, 4), "10FA");
    EXPECT_EQ(BinToHexString(src, 2, false), "01AF");
    EXPECT_EQ(BinToHexString(src, 0, false), "");
}

TEST(HexText, RoundTripOnRandomBytes)
{
    std::mt19937 rng(99);
    std::vector<std::uint8_t> bytes(257);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    for (bool swap : {false, true}) {
        const QString hex = BinToHexString(bytes.data(), int(bytes.size()), swap);
        ASSERT_EQ(hex.size(), 514);
        std::vector<std::uint8_t> back(bytes.size());
        int n = 0;
        ConvertHexToBin(hex.constData(), back.data(), int(hex.size()), swap, n);
        EXPECT_EQ(n, int(bytes.size()));
        EXPECT_EQ(back, bytes);
    }
}

TEST(SmallHelpers, MinMaxGridCoordSwap)
{
    EXPECT_EQ(Min(-3, 2), -3);
    EXPECT_EQ(Max(-3, 2), 2);
    EXPECT_EQ(GridCoord(4, -1), (TGridCoord{4, -1}));
    char16_t c = 0x1234;
    SwapWideChar(c);
    EXPECT_EQ(c, 0x3412);
    SwapWideChar(c);
    EXPECT_EQ(c, 0x1234);
}

TEST(SmallHelpers, FadeToGrayWeights)
{
    EXPECT_EQ(FadeToGray(clRed), 0x494949);    // 73
    EXPECT_EQ(FadeToGray(clLime), 0x919191);   // 145
    EXPECT_EQ(FadeToGray(clBlue), 0x232323);   // 35
    EXPECT_EQ(FadeToGray(clWhite), 0xFFFFFF);
    EXPECT_EQ(FadeToGray(clBlack), 0);
    EXPECT_EQ(FadeToGray(0x404040), 0x404040);  // grey stays grey
}

} // namespace
