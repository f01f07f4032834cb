// The tests' font set: a widget test sees the project's fonts and no others,
// whatever the machine has installed.
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <gtest/gtest.h>

#include <set>

namespace {

const std::set<QString> kOurFamilies{"DejaVu Sans", "DejaVu Sans Mono", "DejaVu Serif",
                                     "WenQuanYi Micro Hei", "WenQuanYi Micro Hei Mono"};
// Generic names the font database lists beside the real families.
const std::set<QString> kGenericNames{"Monospace", "Sans Serif", "Serif"};

TEST(TestFonts, OnlyTheProjectsFamiliesAreListed)
{
    std::set<QString> listed;
    for (const QString& family : QFontDatabase::families())
        if (!kGenericNames.count(family))
            listed.insert(family);
    EXPECT_EQ(listed, kOurFamilies) << "listed: " << QStringList(listed.begin(), listed.end()).join(", ").toStdString();
}

TEST(TestFonts, NamesOfOtherSystemsFallBackToOurFonts)
{
    // The hex view's default and the Windows names resolve to our files.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    EXPECT_EQ(QFontInfo(fixed).family(), "DejaVu Sans Mono");
    QFont courier("Courier New", 10);
    courier.setStyleHint(QFont::TypeWriter);
    EXPECT_TRUE(kOurFamilies.count(QFontInfo(courier).family())) << QFontInfo(courier).family().toStdString();
    EXPECT_TRUE(kOurFamilies.count(QFontInfo(QFont("Tahoma", 9)).family()));
}

TEST(TestFonts, ChineseTextHasGlyphs)
{
    // The main window's texts are Chinese: the fallback must draw them.
    const QFont font("WenQuanYi Micro Hei", 9);
    ASSERT_EQ(QFontInfo(font).family(), "WenQuanYi Micro Hei");
    const QFontMetrics m(font);
    for (const QChar c : QStringLiteral("编程器未接入"))
        EXPECT_TRUE(m.inFont(c)) << int(c.unicode());
}

} // namespace
