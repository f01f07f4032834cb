// Code page tables and the translation of single bytes and characters,
// without a control.
#include "hexeditor/wqhtranslate.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <optional>

namespace {

const TWQHCharSet kDefaultMasked{0xFFFFFFFFull};  // #0..#31

// One byte through glibc iconv; nullopt when the code page assigns nothing.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    std::optional<std::string> run(const std::string& in)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string src = in;
        char out[16];
        char* ip = src.data();
        char* op = out;
        std::size_t il = src.size(), ol = sizeof out;
        if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0)
            return std::nullopt;
        return std::string(out, op);
    }

private:
    iconv_t cd_;
};

struct CodePage {
    const char* name;
    const TWQHCharConv* conv;
};

class TablesAgainstIconv : public ::testing::TestWithParam<CodePage> {};

TEST_P(TablesAgainstIconv, BothDirectionsMatchEveryCode)
{
    const CodePage cp = GetParam();
    Iconv decode("UTF-16LE", cp.name), encode(cp.name, "UTF-16LE");
    if (!decode.ok() || !encode.ok())
        GTEST_SKIP() << cp.name << " is not available in iconv here";
    int assigned = 0;
    for (int b = 0; b < 256; ++b) {
        const auto u = decode.run(std::string(1, char(b)));
        char16_t expected = WQH_NO_CHAR;
        if (u && u->size() == 2)
            expected = char16_t(std::uint8_t((*u)[0]) | (std::uint8_t((*u)[1]) << 8));
        EXPECT_EQ((*cp.conv)[cctToAnsi][b], expected) << cp.name << " byte " << b;
        assigned += expected != WQH_NO_CHAR;
    }
    EXPECT_GT(assigned, 150);
    for (int c = 0; c < 256; ++c) {
        const std::string in{char(c), '\0'};
        const auto o = encode.run(in);
        const char16_t expected = (o && o->size() == 1) ? char16_t(std::uint8_t((*o)[0])) : WQH_NO_CHAR;
        EXPECT_EQ((*cp.conv)[cctFromAnsi][c], expected) << cp.name << " code " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, TablesAgainstIconv,
                         ::testing::Values(CodePage{"CP437", &WQH_CCONV_OEM437}, CodePage{"MACINTOSH", &WQH_CCONV_MAC},
                                           CodePage{"IBM038", &WQH_CCONV_BCD38}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CodePageTables, EveryEncodableCodeComesBack)
{
    for (const TWQHCharConv* conv : {&WQH_CCONV_OEM437, &WQH_CCONV_MAC, &WQH_CCONV_BCD38}) {
        for (int c = 0; c < 256; ++c) {
            const char16_t b = (*conv)[cctFromAnsi][c];
            if (b != WQH_NO_CHAR) {
                ASSERT_LE(b, 255);
                EXPECT_EQ((*conv)[cctToAnsi][b], c);
            }
        }
    }
}

TEST(ShownCharacter, AsIsMasksControlCodesUnlessMaskingIsOff)
{
    for (int b = 0; b < 32; ++b) {
        EXPECT_EQ(TranslateToAnsiChar(tkAsIs, std::uint8_t(b), QChar(u'.'), kDefaultMasked), QChar(u'.'));
        EXPECT_EQ(TranslateToAnsiChar(tkAsIs, std::uint8_t(b), QChar(0), kDefaultMasked), QChar(b));
    }
    for (int b = 32; b < 256; ++b)
        EXPECT_EQ(TranslateToAnsiChar(tkAsIs, std::uint8_t(b), QChar(u'.'), kDefaultMasked), QChar(b));
    TWQHCharSet masked;
    masked.set(0xE9);
    EXPECT_EQ(TranslateToAnsiChar(tkAsIs, 0xE9, QChar(u'*'), masked), QChar(u'*'));
    EXPECT_EQ(TranslateToAnsiChar(tkAsIs, 0x01, QChar(u'*'), masked), QChar(1));
}

TEST(ShownCharacter, CodePageKinds)
{
    EXPECT_EQ(TranslateToAnsiChar(tkBCD, 0xC1, QChar(u'.'), kDefaultMasked), QChar(u'A'));
    EXPECT_EQ(TranslateToAnsiChar(tkBCD, 0xF0, QChar(u'.'), kDefaultMasked), QChar(u'0'));
    EXPECT_EQ(TranslateToAnsiChar(tkBCD, 0x40, QChar(u'.'), kDefaultMasked), QChar(u' '));
    EXPECT_EQ(TranslateToAnsiChar(tkMac, 0x80, QChar(u'.'), kDefaultMasked), QChar(0xC4));  // Ä
    EXPECT_EQ(TranslateToAnsiChar(tkMac, 0xA5, QChar(u'.'), kDefaultMasked), QChar(0x2022));  // above 255: never masked
    EXPECT_EQ(TranslateToAnsiChar(tkDos8, 0x80, QChar(u'.'), kDefaultMasked), QChar(0xC7));  // Ç
    EXPECT_EQ(TranslateToAnsiChar(tkDos8, 0xB3, QChar(u'.'), kDefaultMasked), QChar(0x2502));
    EXPECT_EQ(TranslateToAnsiChar(tkDos8, 0x41, QChar(u'.'), kDefaultMasked), QChar(u'A'));
}

TEST(ShownCharacter, AsciiMasksTheUpperHalfAndUnassignedCodesShowTheMask)
{
    for (int b = 0x80; b < 256; ++b)
        EXPECT_EQ(TranslateToAnsiChar(tkASCII, std::uint8_t(b), QChar(u'.'), TWQHCharSet{}), QChar(u'.'));
    EXPECT_EQ(TranslateToAnsiChar(tkASCII, 0x7A, QChar(u'.'), kDefaultMasked), QChar(u'z'));
    // EBCDIC 038 leaves 0x41 unassigned.
    ASSERT_EQ(WQH_CCONV_BCD38[cctToAnsi][0x41], WQH_NO_CHAR);
    EXPECT_EQ(TranslateToAnsiChar(tkBCD, 0x41, QChar(u'~'), TWQHCharSet{}), QChar(u'~'));
}

TEST(ShownCharacter, CustomStartsAsIdentity)
{
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(WQHCustomCharConv[cctToAnsi][b], b);
        EXPECT_EQ(WQHCustomCharConv[cctFromAnsi][b], b);
        EXPECT_EQ(TranslateToAnsiChar(tkCustom, std::uint8_t(b), QChar(u'.'), kDefaultMasked),
                  TranslateToAnsiChar(tkAsIs, std::uint8_t(b), QChar(u'.'), kDefaultMasked));
        EXPECT_EQ(TranslateFromAnsiChar(tkCustom, char16_t(b)), TranslateFromAnsiChar(tkAsIs, char16_t(b)));
    }
}

TEST(TypedCharacter, StoredBytesAndRefusals)
{
    EXPECT_EQ(TranslateFromAnsiChar(tkBCD, u'A'), 0xC1);
    EXPECT_EQ(TranslateFromAnsiChar(tkBCD, u'0'), 0xF0);
    EXPECT_EQ(TranslateFromAnsiChar(tkMac, 0xC4), 0x80);
    EXPECT_EQ(TranslateFromAnsiChar(tkDos8, 0xC7), 0x80);
    EXPECT_EQ(TranslateFromAnsiChar(tkAsIs, 0xFF), 0xFF);
    EXPECT_EQ(TranslateFromAnsiChar(tkAsIs, 0x00), 0x00);  // storable; masking is the caller's
    // Above 255 is refused, not cut to its low byte.
    EXPECT_EQ(TranslateFromAnsiChar(tkAsIs, 0x0141), -1);
    EXPECT_EQ(TranslateFromAnsiChar(tkMac, 0x2022), -1);
    // Not in the code page.
    EXPECT_EQ(TranslateFromAnsiChar(tkMac, 0xA4), -1);  // ¤
    EXPECT_EQ(TranslateFromAnsiChar(tkBCD, 0xE9), -1);  // é
    EXPECT_EQ(TranslateFromAnsiChar(tkDos8, 0xC0), -1);  // À
    for (char16_t c = 0; c < 0x20; ++c) {
        EXPECT_EQ(TranslateFromAnsiChar(tkDos8, c), -1);
        EXPECT_EQ(TranslateFromAnsiChar(tkASCII, c), -1);
        EXPECT_EQ(TranslateFromAnsiChar(tkAsIs, c), c);
    }
    for (char16_t c = 0x80; c < 0x100; ++c)
        EXPECT_EQ(TranslateFromAnsiChar(tkASCII, c), -1);
    EXPECT_EQ(TranslateFromAnsiChar(tkASCII, u'~'), 0x7E);
}

TEST(BufferConversions, BothDirectionsAndFailures)
{
    const std::uint8_t bytes[] = {0xC1, 0x81, 0xF9, 0x41};
    QChar chars[4];
    TranslateBufferToAnsi(tkBCD, bytes, chars, 4);
    EXPECT_EQ(QString(chars, 4), QString::fromUtf16(u"Aa9\uFFFF"));

    const QString text = QStringLiteral("Ab9");
    std::uint8_t out[3];
    bool failed = true;
    TranslateBufferFromAnsi(tkBCD, text.constData(), out, 3, &failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(out[0], 0xC1);
    EXPECT_EQ(out[1], 0x82);
    EXPECT_EQ(out[2], 0xF9);

    const QString bad = QString::fromUtf16(u"A\u00E9\u0100");
    TranslateBufferFromAnsi(tkBCD, bad.constData(), out, 3, &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(out[0], 0xC1);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    TranslateBufferFromAnsi(tkAsIs, bad.constData(), out, 3, &failed);
    EXPECT_TRUE(failed);  // U+0100 has no byte even as is
    EXPECT_EQ(out[1], 0xE9);

    // tkASCII converts through the code page in buffers (no $80 rule).
    const std::uint8_t high[] = {0x80};
    TranslateBufferToAnsi(tkASCII, high, chars, 1);
    EXPECT_EQ(chars[0], QChar(0xC7));
}

TEST(BufferConversions, InPlaceReencodingBetweenKinds)
{
    // Mac 0x80 (Ä) -> Latin-1 0xC4 -> EBCDIC 038 has no Ä: '?' there (0x6F).
    std::uint8_t data[] = {0x80, 0x41, 0xA5};
    TranslateBytesToAnsi(tkMac, data, 3);
    EXPECT_EQ(data[0], 0xC4);
    EXPECT_EQ(data[1], 0x41);
    EXPECT_EQ(data[2], '?');  // • is outside Latin-1
    TranslateBytesFromAnsi(tkBCD, data, 3);
    EXPECT_EQ(data[0], 0x6F);
    EXPECT_EQ(data[1], 0xC1);
    EXPECT_EQ(data[2], 0x6F);

    // tkAsIs leaves bytes alone in both directions; a round trip keeps every
    // byte whose character is Latin-1.
    std::uint8_t all[256];
    for (int i = 0; i < 256; ++i)
        all[i] = std::uint8_t(i);
    TranslateBytesToAnsi(tkAsIs, all, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(all[i], i);
    TranslateBytesToAnsi(tkDos8, all, 256);
    TranslateBytesFromAnsi(tkDos8, all, 256);
    for (int i = 0; i < 256; ++i) {
        const char16_t c = WQH_CCONV_OEM437[cctToAnsi][i];
        if (c <= 255)
            EXPECT_EQ(all[i], i) << i;
        else
            EXPECT_EQ(all[i], '?') << i;
    }
}

} // namespace
