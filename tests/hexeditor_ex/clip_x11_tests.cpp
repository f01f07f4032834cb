// Against a real X server (run under xvfb-run with the xcb platform): what we
// put on the clipboard is read by xclip, and what xclip offers comes back to
// us as bytes.
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs xclip while our event loop keeps serving the selection it asks for.
QByteArray RunXclip(const QStringList& args, const QByteArray& input = {}, bool waitForExit = true)
{
    QProcess p;
    p.start(QStringLiteral("xclip"), args);
    if (!p.waitForStarted(5000))
        return "<no xclip>";
    if (!input.isNull()) {
        p.write(input);
        p.closeWriteChannel();
    }
    if (!waitForExit) {
        // xclip -i forks a child that owns the selection and the parent exits.
        p.waitForFinished(5000);
        return {};
    }
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        p.waitForFinished(10);
    }
    return p.readAllStandardOutput();
}

class X11Clipboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform (run under xvfb-run)";
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            GTEST_SKIP() << "xclip is not installed";
    }
};

} // namespace

TEST_F(X11Clipboard, OurCopyIsReadByXclip)
{
    const QByteArray bytes("A\xe9\x00" "B", 4);
    WQHSetHexClipboardData(bytes.constData(), 4, QStringLiteral("image.bin"), false, false);
    QCoreApplication::processEvents();

    const QByteArray targets = RunXclip({"-o", "-selection", "clipboard", "-t", "TARGETS"});
    EXPECT_TRUE(targets.contains("text/plain")) << targets.constData();
    EXPECT_TRUE(targets.contains("application/octet-stream")) << targets.constData();
    // The text stops at the first zero byte; é arrives as UTF-8.
    EXPECT_EQ(RunXclip({"-o", "-selection", "clipboard"}), QByteArray("A\xc3\xa9"));
    EXPECT_EQ(RunXclip({"-o", "-selection", "clipboard", "-t", "application/octet-stream"}), bytes);
}

TEST_F(X11Clipboard, XclipTextComesBackAsBytes)
{
    RunXclip({"-i", "-selection", "clipboard"}, QByteArray("h\xc3\xa9llo"), false);
    // Wait until the clipboard shows xclip's text.
    QElapsedTimer t;
    t.start();
    IDataObjectPtr obj;
    while (t.elapsed() < 5000) {
        QCoreApplication::processEvents();
        if (QGuiApplication::clipboard()->text() == QString::fromUtf8("h\xc3\xa9llo"))
            break;
        QThread::msleep(20);
    }
    ASSERT_EQ(OleGetClipboard(obj), S_OK);
    ASSERT_TRUE(obj);
    EXPECT_EQ(OleIsCurrentClipboard(obj), S_FALSE);
    STGMEDIUM medium;
    ASSERT_EQ(obj->GetData(MakeFormatEtc(CF_TEXT), medium), S_OK);
    EXPECT_EQ(medium.hGlobal->Bytes(), QByteArray("h\xe9llo", 6));
}
