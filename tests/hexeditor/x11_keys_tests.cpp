// Keys on a real X server (under xvfb-run with the xcb platform), typed by
// xdotool on the server's keyboard under a Russian and under Latin layouts:
// what the xcb platform reports reaches the key handler as the virtual key of
// the physical key.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhkeys.h"
#include "platform/streams.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Runs a tool while our event loop keeps going.
bool RunTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(5000))
        return false;
    QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
    return p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct SeenKey {
    std::uint16_t Key;
    TShiftState Shift;
    bool operator==(const SeenKey&) const = default;
};

class X11Keys : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform (run under xvfb-run)";
        for (const char* tool : {"xdotool", "setxkbmap"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed";
        QByteArray bytes(8, '\x41');
        platform::TMemoryStream s;
        s.Write(bytes.constData(), bytes.size());
        s.SetPosition(0);
        ed.LoadFromStream(s);
        ed.SetOnKeyDown([this](QObject*, std::uint16_t& Key, TShiftState Shift) {
            if (Key != VK_CONTROL && Key != VK_SHIFT)
                seen.push_back({Key, Shift});
        });
        ed.resize(600, 300);
        ed.show();
        ed.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return ed.isActiveWindow() && ed.hasFocus(); })) << "no focus";
    }
    void TearDown() override { RunTool(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }

    void Layout(const QString& name)
    {
        ASSERT_TRUE(RunTool(QStringLiteral("setxkbmap"), {name})) << name.toStdString();
        QTest::qWait(300);  // Qt takes the new keymap
    }
    // One key with its modifiers, pressed and released on the keyboard.
    SeenKey Type(const QString& combo)
    {
        seen.clear();
        EXPECT_TRUE(RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), combo})) << combo.toStdString();
        QTest::qWaitFor([&] { return !seen.empty(); }, 2000);
        return seen.empty() ? SeenKey{0, 0} : seen.front();
    }

    TCustomWQHexEditor ed;
    std::vector<SeenKey> seen;
};

TEST_F(X11Keys, ShortcutLettersAreThePhysicalKeysUnderARussianLayout)
{
    Layout(QStringLiteral("ru"));
    EXPECT_EQ(Type(QStringLiteral("ctrl+Cyrillic_ya")), (SeenKey{'Z', ssCtrl}));
    EXPECT_EQ(Type(QStringLiteral("ctrl+Cyrillic_ef")), (SeenKey{'A', ssCtrl}));
    EXPECT_EQ(Type(QStringLiteral("ctrl+shift+Cyrillic_YA")), (SeenKey{'Z', ssCtrl | ssShift}));
    // Ctrl+Е is Ctrl+T, the control's own field switch.
    ed.MoveColRow(4, 2, true, true);
    EXPECT_EQ(Type(QStringLiteral("ctrl+Cyrillic_ie")), (SeenKey{'T', ssCtrl}));
    EXPECT_TRUE(ed.GetIsCharFieldCol(ed.Col()));
}

TEST_F(X11Keys, LatinLayoutsKeepTheirLetters)
{
    Layout(QStringLiteral("us"));
    EXPECT_EQ(Type(QStringLiteral("ctrl+z")), (SeenKey{'Z', ssCtrl}));
    EXPECT_EQ(Type(QStringLiteral("ctrl+t")), (SeenKey{'T', ssCtrl}));
    // German: Z lies where a US keyboard has Y.
    Layout(QStringLiteral("de"));
    EXPECT_EQ(Type(QStringLiteral("ctrl+z")), (SeenKey{'Z', ssCtrl}));
    EXPECT_EQ(Type(QStringLiteral("ctrl+y")), (SeenKey{'Y', ssCtrl}));
}

} // namespace
