// Test entry point: a QApplication on the offscreen platform, then gtest.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Row heights and glyph widths follow the fonts: only the project's own,
    // also when the program is started outside ctest.
#ifdef QV750_TEST_FONTCONFIG
    qputenv("FONTCONFIG_FILE", QV750_TEST_FONTCONFIG);
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
