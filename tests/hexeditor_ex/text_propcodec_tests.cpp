// The property line codec without a control: values by declared kind,
// quoting, line splitting and the list of names that may take part.
#include "hexeditor/ex/wqhproptext.h"
#include "platform/exceptions.h"

#include <gtest/gtest.h>
#include <vector>

#include "ex_support.h"
#include "hexeditor/ex/wqhfont.h"

namespace {

// Plain variables standing in for a control's properties.
struct Props {
    std::int64_t count = 16;
    std::int64_t small = 16;  // a byte property
    std::int64_t flag = 0;
    std::int64_t kind = 3;
    std::int64_t style = 0;
    std::int64_t colour = static_cast<std::int32_t>(0xFF000005u);
    QString text = QStringLiteral("-!10:0x|");
    QString other;

    TWQHPropTable Table()
    {
        TWQHPropTable t;
        auto ord = [&](QString name, TWQHPropKind kind, std::int64_t& v) {
            TWQHPropDef d;
            d.Name = std::move(name);
            d.Kind = kind;
            d.GetOrd = [&v] { return v; };
            d.SetOrd = [&v](std::int64_t x) { v = x; };
            t.push_back(d);
            return &t.back();
        };
        auto str = [&](QString name, QString& v) {
            TWQHPropDef d;
            d.Name = std::move(name);
            d.Kind = TWQHPropKind::String;
            d.GetStr = [&v] { return v; };
            d.SetStr = [&v](const QString& x) { v = x; };
            t.push_back(d);
        };
        ord(QStringLiteral("Count"), TWQHPropKind::Integer, count);
        TWQHPropDef* s = ord(QStringLiteral("Small"), TWQHPropKind::Integer, small);
        s->Min = 0;
        s->Max = 255;
        ord(QStringLiteral("Flag"), TWQHPropKind::Boolean, flag);
        ord(QStringLiteral("Kind"), TWQHPropKind::Enumeration, kind)->Names =
            QStringList{QStringLiteral("ckFull"), QStringLiteral("ckLeft"), QStringLiteral("ckBottom"),
                        QStringLiteral("ckAuto")};
        ord(QStringLiteral("Font.Style"), TWQHPropKind::Set, style)->Names =
            QStringList{QStringLiteral("fsBold"), QStringLiteral("fsItalic"), QStringLiteral("fsUnderline"),
                        QStringLiteral("fsStrikeOut")};
        ord(QStringLiteral("Colors.Background"), TWQHPropKind::Integer, colour);
        str(QStringLiteral("Text"), text);
        str(QStringLiteral("Other"), other);
        return t;
    }
};

const TWQHPropDef& Def(const TWQHPropTable& t, const char* name)
{
    for (const TWQHPropDef& d : t)
        if (d.Name == QLatin1String(name))
            return d;
    throw std::logic_error(name);
}

bool All(const QString&) { return true; }

void ExpectRejected(const TWQHPropDef& d, const QString& value)
{
    try {
        WQHSetPropValue(d, value);
        ADD_FAILURE() << d.Name.toStdString() << " took " << value.toStdString();
    } catch (const platform::EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid value '%1' for property %2").arg(value, d.Name));
    }
}

} // namespace

TEST(PropValueFormat, EachKind)
{
    Props p;
    p.count = -5;
    p.flag = 1;
    p.style = 5;
    const TWQHPropTable t = p.Table();
    EXPECT_EQ(WQHFormatPropValue(Def(t, "Count")), QStringLiteral("-5"));
    EXPECT_EQ(WQHFormatPropValue(Def(t, "Flag")), QStringLiteral("True"));
    EXPECT_EQ(WQHFormatPropValue(Def(t, "Kind")), QStringLiteral("3"));
    EXPECT_EQ(WQHFormatPropValue(Def(t, "Font.Style")), QStringLiteral("5"));
    EXPECT_EQ(WQHFormatPropValue(Def(t, "Colors.Background")), QStringLiteral("-16777211"));
    EXPECT_EQ(WQHFormatPropValue(Def(t, "Text")), QStringLiteral("-!10:0x|"));
    p.flag = 0;
    EXPECT_EQ(WQHFormatPropValue(Def(t, "Flag")), QStringLiteral("False"));
}

TEST(PropValueParse, StringKeepsWhatLooksLikeANumber)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHSetPropValue(Def(t, "Text"), QStringLiteral("0012"));
    EXPECT_EQ(p.text, QStringLiteral("0012"));
    WQHSetPropValue(Def(t, "Text"), QStringLiteral("99999999999999999999"));
    EXPECT_EQ(p.text, QStringLiteral("99999999999999999999"));
    WQHSetPropValue(Def(t, "Text"), QString());
    EXPECT_EQ(p.text, QString());
    WQHSetPropValue(Def(t, "Count"), QStringLiteral("0012"));
    EXPECT_EQ(p.count, 12);
}

TEST(PropValueParse, Integers)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHSetPropValue(Def(t, "Count"), QStringLiteral("$10"));
    EXPECT_EQ(p.count, 16);
    WQHSetPropValue(Def(t, "Count"), QStringLiteral("-2147483648"));
    EXPECT_EQ(p.count, INT32_MIN);
    ExpectRejected(Def(t, "Count"), QStringLiteral("2147483648"));
    ExpectRejected(Def(t, "Count"), QStringLiteral("abc"));
    ExpectRejected(Def(t, "Count"), QStringLiteral("12 "));
    ExpectRejected(Def(t, "Count"), QString());
    EXPECT_EQ(p.count, INT32_MIN);  // the rejected values changed nothing
    WQHSetPropValue(Def(t, "Small"), QStringLiteral("255"));
    ExpectRejected(Def(t, "Small"), QStringLiteral("256"));
    ExpectRejected(Def(t, "Small"), QStringLiteral("-1"));
    EXPECT_EQ(p.small, 255);
}

TEST(PropValueParse, ColourAsWrittenAndAsHex)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHSetPropValue(Def(t, "Colors.Background"), QStringLiteral("255"));
    EXPECT_EQ(p.colour, 255);
    WQHSetPropValue(Def(t, "Colors.Background"), QStringLiteral("$FF000005"));
    EXPECT_EQ(p.colour, static_cast<std::int32_t>(0xFF000005u));
    ExpectRejected(Def(t, "Colors.Background"), QStringLiteral("clRed"));
}

TEST(PropValueParse, Booleans)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHSetPropValue(Def(t, "Flag"), QStringLiteral("true"));
    EXPECT_EQ(p.flag, 1);
    WQHSetPropValue(Def(t, "Flag"), QStringLiteral("FALSE"));
    EXPECT_EQ(p.flag, 0);
    WQHSetPropValue(Def(t, "Flag"), QStringLiteral("1"));
    EXPECT_EQ(p.flag, 1);
    ExpectRejected(Def(t, "Flag"), QStringLiteral("yes"));
    ExpectRejected(Def(t, "Flag"), QStringLiteral("2"));
    EXPECT_EQ(p.flag, 1);
}

TEST(PropValueParse, EnumerationsByOrdinalOrName)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHSetPropValue(Def(t, "Kind"), QStringLiteral("CKLEFT"));
    EXPECT_EQ(p.kind, 1);
    WQHSetPropValue(Def(t, "Kind"), QStringLiteral("0"));
    EXPECT_EQ(p.kind, 0);
    ExpectRejected(Def(t, "Kind"), QStringLiteral("4"));
    ExpectRejected(Def(t, "Kind"), QStringLiteral("-1"));
    ExpectRejected(Def(t, "Kind"), QStringLiteral("ckMiddle"));
    EXPECT_EQ(p.kind, 0);
}

TEST(PropValueParse, SetsByBitsOrNames)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHSetPropValue(Def(t, "Font.Style"), QStringLiteral("[fsBold, fsunderline]"));
    EXPECT_EQ(p.style, 5);
    WQHSetPropValue(Def(t, "Font.Style"), QStringLiteral("[]"));
    EXPECT_EQ(p.style, 0);
    WQHSetPropValue(Def(t, "Font.Style"), QStringLiteral("15"));
    EXPECT_EQ(p.style, 15);
    ExpectRejected(Def(t, "Font.Style"), QStringLiteral("16"));
    ExpectRejected(Def(t, "Font.Style"), QStringLiteral("[fsBold,fsWide]"));
    EXPECT_EQ(p.style, 15);
}

TEST(PropStringQuoting, PlainTextStaysPlain)
{
    // Nothing here is one whole literal with a #code, so each is written and
    // read as it is.
    for (const QString& s :
         {QStringLiteral("-!10:0x|"), QStringLiteral("a'b#c"), QStringLiteral(" x "), QString(),
          QStringLiteral("\u4E2D\u6587"), QStringLiteral("#page"), QStringLiteral("'bak'"), QStringLiteral("'"),
          QStringLiteral("#"), QStringLiteral("#x"), QStringLiteral("#70000"), QStringLiteral("'a'b"),
          QStringLiteral("#13 "), QStringLiteral("'abc"), QStringLiteral("''"), QStringLiteral("#65536")}) {
        EXPECT_EQ(WQHQuotePropString(s), s) << s.toStdString();
        EXPECT_EQ(WQHUnquotePropString(s), s) << s.toStdString();
    }
}

TEST(PropStringQuoting, ControlCharactersAndLiteralLookingValues)
{
    EXPECT_EQ(WQHQuotePropString(QStringLiteral("Page 1\r\nof 2")), QStringLiteral("'Page 1'#13#10'of 2'"));
    EXPECT_EQ(WQHQuotePropString(QStringLiteral("\n")), QStringLiteral("#10"));
    EXPECT_EQ(WQHQuotePropString(QStringLiteral("a\tb'c")), QStringLiteral("'a'#9'b''c'"));
    // A plain value that would read as a literal: its first character as a code.
    EXPECT_EQ(WQHQuotePropString(QStringLiteral("#1")), QStringLiteral("#35'1'"));
    EXPECT_EQ(WQHQuotePropString(QStringLiteral("'x'#13")), QStringLiteral("#39'x''#13'"));
    EXPECT_EQ(WQHQuotePropString(QStringLiteral("#65535")), QStringLiteral("#35'65535'"));
    EXPECT_EQ(WQHUnquotePropString(QStringLiteral("'It''s'#33")), QStringLiteral("It's!"));
    EXPECT_EQ(WQHUnquotePropString(QStringLiteral("#0013#0")), QString(QChar(13)) + QChar(0));
}

TEST(PropStringQuoting, EveryWrittenValueReadsBackOnOneLine)
{
    const auto check = [](const QString& s) {
        const QString q = WQHQuotePropString(s);
        EXPECT_FALSE(q.contains(QLatin1Char('\r')) || q.contains(QLatin1Char('\n'))) << q.toStdString();
        EXPECT_EQ(WQHUnquotePropString(q), s) << q.toStdString();
    };
    for (const QString& s :
         {QStringLiteral("Page 1\r\nof 2"), QStringLiteral("#13"), QStringLiteral("#1#2"), QStringLiteral("''#0"),
          QStringLiteral("#35'1'"), QStringLiteral("x\ny=1"), QString(QChar(0)) + QStringLiteral("z"),
          QStringLiteral("'\x7f'"), QString(QChar(0xD800)) + QStringLiteral("#9")})
        check(s);
    // Every text of up to four characters over the characters that matter.
    const QString alphabet = QStringLiteral("'#1\r a");
    std::vector<QString> texts{QString()};
    for (int len = 1; len <= 4; ++len) {
        std::vector<QString> longer;
        for (const QString& t : texts)
            if (t.size() == len - 1)
                for (QChar c : alphabet)
                    longer.push_back(t + c);
        texts.insert(texts.end(), longer.begin(), longer.end());
    }
    for (const QString& s : texts)
        check(s);
}

TEST(PropText, LinesInTableOrderForPublicNamesOnly)
{
    Props p;
    const TWQHPropTable t = p.Table();
    const QString text = WQHPropertiesToText(t, [](const QString& n) { return n != QLatin1String("Flag"); });
    EXPECT_EQ(text, QStringLiteral("Count=16\r\nSmall=16\r\nKind=3\r\nFont.Style=0\r\n"
                                   "Colors.Background=-16777211\r\nText=-!10:0x|\r\nOther=\r\n"));
    EXPECT_TRUE(WQHPropertiesToText(t, [](const QString&) { return false; }).isEmpty());
}

TEST(PropText, ApplySkipsWhatDoesNotTakePart)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHApplyPropertiesText(QStringLiteral("count=7\rNoEquals\nFlag=True\r\n\r\nUnknown=5\nSmall=9"), t,
                           [](const QString& n) { return n.compare(QLatin1String("Flag"), Qt::CaseInsensitive) != 0; });
    EXPECT_EQ(p.count, 7);   // name without regard to case, CR alone ends a line
    EXPECT_EQ(p.flag, 0);    // not public
    EXPECT_EQ(p.small, 9);   // last line without an end
}

TEST(PropText, ValueAfterTheFirstEqualsSign)
{
    Props p;
    const TWQHPropTable t = p.Table();
    WQHApplyPropertiesText(QStringLiteral("Text=a=b\r\n"), t, All);
    EXPECT_EQ(p.text, QStringLiteral("a=b"));
}

TEST(PropText, FirstBadValueEndsTheRunKeepingEarlierLines)
{
    Props p;
    const TWQHPropTable t = p.Table();
    EXPECT_THROW(WQHApplyPropertiesText(QStringLiteral("Count=1\r\nKind=9\r\nSmall=2\r\n"), t, All),
                 platform::EConvertError);
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.kind, 3);
    EXPECT_EQ(p.small, 16);
}

TEST(PropText, LineBreakInAValueCannotSetAnotherProperty)
{
    Props p;
    p.other = QStringLiteral("x\r\nCount=99\nSmall=1");
    const QString text = WQHPropertiesToText(p.Table(), All);
    EXPECT_EQ(text.count(QLatin1String("\r\n")), 8);

    Props q;
    WQHApplyPropertiesText(text, q.Table(), All);
    EXPECT_EQ(q.other, p.other);
    EXPECT_EQ(q.count, 16);
    EXPECT_EQ(q.small, 16);
}

TEST(PropText, ValuesStartingWithQuoteOrHashReadAsTheirText)
{
    // A value that is no literal sets its text and the lines after it still apply.
    Props p;
    WQHApplyPropertiesText(QStringLiteral("Text=#page\r\nOther='bak'\r\nCount=3\r\n"), p.Table(), All);
    EXPECT_EQ(p.text, QStringLiteral("#page"));
    EXPECT_EQ(p.other, QStringLiteral("'bak'"));
    EXPECT_EQ(p.count, 3);
}

TEST(PropText, RoundTripRestoresEveryValue)
{
    Props p;
    p.count = -123456;
    p.small = 0;
    p.flag = 1;
    p.kind = 2;
    p.style = 10;
    p.colour = 0xA8FFFF;
    p.text = QStringLiteral("#not a literal");
    p.other = QStringLiteral("0012");
    const QString text = WQHPropertiesToText(p.Table(), All);
    Props q;
    WQHApplyPropertiesText(text, q.Table(), All);
    EXPECT_EQ(WQHPropertiesToText(q.Table(), All), text);
    EXPECT_EQ(q.text, p.text);
    EXPECT_EQ(q.other, QStringLiteral("0012"));
}

TEST(PropListedNames, SixtyEightInOrderWithoutRegardToCase)
{
    const QStringList& names = WQHListedPropertyNames();
    ASSERT_EQ(names.size(), 68);
    EXPECT_EQ(names.front(), QStringLiteral("ShowRuler"));
    EXPECT_EQ(names[28], QStringLiteral("Colors.Background"));
    EXPECT_EQ(names[41], QStringLiteral("PrintFont.Charset"));
    EXPECT_EQ(names[53], QStringLiteral("Font.Charset"));
    EXPECT_EQ(names.back(), QStringLiteral("AutoBytesPerRow"));
    QStringList copy = names;
    EXPECT_EQ(copy.removeDuplicates(), 0);
    EXPECT_TRUE(WQHIsListedProperty(QStringLiteral("colors.offsetbackground")));
    EXPECT_TRUE(WQHIsListedProperty(QStringLiteral("BYTESPERROW")));
    EXPECT_FALSE(WQHIsListedProperty(QStringLiteral("WantTabs")));
    EXPECT_FALSE(WQHIsListedProperty(QStringLiteral("Font.Height")));
    EXPECT_FALSE(WQHIsListedProperty(QStringLiteral("BytesPerRow ")));
    EXPECT_FALSE(WQHIsListedProperty(QString()));
}

TEST(PropFont, PropertiesOfAFont)
{
    ScopedScreenDpi dpi(96);
    TWQHFont font;
    font.Name = QStringLiteral("Courier New");
    font.Height = -15;
    TWQHPropTable t;
    WQHAddFontProps(t, QStringLiteral("PrintFont."), [&] { return font; }, [&](const TWQHFont& f) { font = f; });
    // A height of -15 pixels is 11 points at 96 dots per inch.
    EXPECT_EQ(WQHPropertiesToText(t, All), QStringLiteral("PrintFont.Charset=1\r\nPrintFont.Color=-16777208\r\n"
                                                          "PrintFont.Name=Courier New\r\nPrintFont.Size=11\r\n"
                                                          "PrintFont.Style=0\r\n"));
    // Reading the size back keeps the height it came from.
    WQHApplyPropertiesText(QStringLiteral("PrintFont.Size=11"), t, All);
    EXPECT_EQ(font.Height, -15);
    WQHApplyPropertiesText(QStringLiteral("PrintFont.Charset=134\nPrintFont.Color=255\nPrintFont.Name=Mono\n"
                                          "PrintFont.Size=9\nPrintFont.Style=10\n"),
                           t, All);
    EXPECT_EQ(font.Charset, 134);
    EXPECT_EQ(font.Color, 255);
    EXPECT_EQ(font.Name, QStringLiteral("Mono"));
    EXPECT_EQ(font.Height, -12);
    EXPECT_EQ(font.Style, fsItalic | fsStrikeOut);
    for (const char* bad : {"PrintFont.Size=1001", "PrintFont.Size=-1001", "PrintFont.Charset=256",
                            "PrintFont.Style=16", "PrintFont.Size=x"})
        EXPECT_THROW(WQHApplyPropertiesText(QString::fromLatin1(bad), t, All), platform::EConvertError) << bad;
    EXPECT_EQ(font.Height, -12);
    EXPECT_EQ(font.Name, QStringLiteral("Mono"));
    EXPECT_EQ(font.Charset, 134);
    EXPECT_EQ(font.Style, fsItalic | fsStrikeOut);

    // What the class library's font takes: size 0 is the default size, a
    // negative size a cell height, an empty name the default family.
    WQHApplyPropertiesText(QStringLiteral("PrintFont.Size=0"), t, All);
    EXPECT_EQ(font.Height, 0);
    WQHApplyPropertiesText(QStringLiteral("PrintFont.Size=-12\nPrintFont.Name="), t, All);
    EXPECT_EQ(font.Height, 16);
    EXPECT_EQ(font.Name, QString());
    EXPECT_EQ(WQHPropertiesToText(t, All), QStringLiteral("PrintFont.Charset=134\r\nPrintFont.Color=255\r\n"
                                                          "PrintFont.Name=\r\nPrintFont.Size=-12\r\n"
                                                          "PrintFont.Style=10\r\n"));
    WQHApplyPropertiesText(QStringLiteral("PrintFont.Name=  "), t, All);
    EXPECT_EQ(font.Name, QStringLiteral("  "));

    // The size range, 1000 points either way, reads back as written.
    WQHApplyPropertiesText(QStringLiteral("PrintFont.Size=1000"), t, All);
    EXPECT_EQ(font.Height, -1333);
    EXPECT_TRUE(WQHPropertiesToText(t, All).contains(QLatin1String("\r\nPrintFont.Size=1000\r\n")));
    WQHApplyPropertiesText(QStringLiteral("PrintFont.Size=-1000"), t, All);
    EXPECT_EQ(font.Height, 1333);
    EXPECT_TRUE(WQHPropertiesToText(t, All).contains(QLatin1String("\r\nPrintFont.Size=-1000\r\n")));
}
