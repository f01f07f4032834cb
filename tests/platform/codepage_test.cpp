#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

using platform::AnsiToString;
using platform::DecodeTextLines;
using platform::StringToAnsi;

// GBK bytes of 芯片 as iconv gives them.
const QByteArray kChipGbk("\xD0\xBE\xC6\xAC");

TEST(CodePage, ChineseRoundTripsThroughGbk)
{
    EXPECT_EQ(StringToAnsi(QStringLiteral("芯片")), kChipGbk);
    EXPECT_EQ(AnsiToString(kChipGbk), QStringLiteral("芯片"));
    const QString caption = QStringLiteral("QV750高速编程器 W25Q64 (8M)");
    EXPECT_EQ(AnsiToString(StringToAnsi(caption)), caption);
    EXPECT_EQ(StringToAnsi(QStringLiteral("€é")), QByteArray("\x80\xA8\xA6"));
    EXPECT_TRUE(StringToAnsi(QString()).isEmpty());
    EXPECT_TRUE(AnsiToString(QByteArray()).isEmpty());
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks)
{
    // Hangul and emoji have no GBK code; one '?' per character, even for a surrogate pair.
    EXPECT_EQ(StringToAnsi(QStringLiteral("a한b😀c")), QByteArray("a?b?c"));
    // A lone surrogate is not a character either.
    QString lone = QStringLiteral("x");
    lone += QChar(0xD800);
    lone += u'y';
    EXPECT_EQ(StringToAnsi(lone), QByteArray("x?y"));
}

TEST(CodePage, UndecodableBytesBecomeReplacementCharacters)
{
    const QChar bad(QChar::ReplacementCharacter);
    EXPECT_EQ(AnsiToString(QByteArray("A\xFF" "B")), QString(u'A') + bad + u'B');
    // A lead byte cut off by the end of the text.
    EXPECT_EQ(AnsiToString(QByteArray("A\xD0")), QString(u'A') + bad);
    // A lead byte followed by a byte that cannot be a trail byte.
    EXPECT_EQ(AnsiToString(QByteArray("\xD0 B")), QString(bad) + QStringLiteral(" B"));
    EXPECT_EQ(AnsiToString(QByteArray("a\0b", 3)), QString::fromUtf16(u"a\0b", 3));
}

TEST(DecodeTextLines, SplitsLikeTheStringList)
{
    EXPECT_EQ(DecodeTextLines(""), QStringList());
    EXPECT_EQ(DecodeTextLines("a"), QStringList({"a"}));
    EXPECT_EQ(DecodeTextLines("a\n"), QStringList({"a"}));
    EXPECT_EQ(DecodeTextLines("a\r\n"), QStringList({"a"}));
    EXPECT_EQ(DecodeTextLines("a\r"), QStringList({"a"}));
    EXPECT_EQ(DecodeTextLines("\n"), QStringList({""}));
    EXPECT_EQ(DecodeTextLines("a\r\nb\nc\rd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(DecodeTextLines("a\n\nb\n"), QStringList({"a", "", "b"}));
    EXPECT_EQ(DecodeTextLines("a\r\r\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(DecodeTextLines("a\n\rb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(DecodeTextLines(" x ; y \r\n"), QStringList({" x ; y "}));
}

TEST(DecodeTextLines, WithoutMarkReadsGbk)
{
    const QByteArray file = kChipGbk + ";0xEF4017\r\n" + "W25Q64;1\r\n";
    EXPECT_EQ(DecodeTextLines(file), QStringList({"芯片;0xEF4017", "W25Q64;1"}));
}

TEST(DecodeTextLines, ByteOrderMarkSelectsEncoding)
{
    const QString text = QStringLiteral("芯片;1\r\nW25Q;2\n");
    const QStringList expected({QStringLiteral("芯片;1"), QStringLiteral("W25Q;2")});

    EXPECT_EQ(DecodeTextLines("\xEF\xBB\xBF" + text.toUtf8()), expected);

    QByteArray le("\xFF\xFE");
    QByteArray be("\xFE\xFF");
    for (QChar c : text) {
        const char16_t u = c.unicode();
        le += char(u & 0xFF);
        le += char(u >> 8);
        be += char(u >> 8);
        be += char(u & 0xFF);
    }
    EXPECT_EQ(DecodeTextLines(le), expected);
    EXPECT_EQ(DecodeTextLines(be), expected);

    // A mark alone is an empty file; the mark never shows up as a character.
    EXPECT_EQ(DecodeTextLines("\xEF\xBB\xBF"), QStringList());
    EXPECT_EQ(DecodeTextLines("\xFF\xFE"), QStringList());
    // An odd trailing byte in UTF-16 must not crash or lose the lines before it.
    const QStringList odd = DecodeTextLines(le + 'x');
    ASSERT_GE(odd.size(), 2);
    EXPECT_EQ(odd[0], expected[0]);
}

} // namespace
