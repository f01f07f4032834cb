// Against a real X server (run under xvfb-run with the xcb platform): what we
// put on the clipboard is read by xclip, and what xclip offers comes back to
// us as bytes.
#include "clip_owner_check.h"
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhformatseldialog.h"
#include "platform/streams.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
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

TEST_F(X11Clipboard, ControlsCtrlCIsReadByXclip)
{
    TWQHexEditorEx ed;
    ed.resize(600, 400);
    platform::TMemoryStream s;
    s.Write("xyzHELLOxyz", 11);
    s.SetPosition(0);
    ed.LoadFromStream(s);
    ed.SetSelStart(3);
    ed.SetSelEnd(7);
    std::uint16_t key = 'C';
    ed.KeyDown(key, ssCtrl);
    ASSERT_TRUE(ed.OwnsClipBoard());
    const QByteArray targets = RunXclip({"-o", "-selection", "clipboard", "-t", "TARGETS"});
    EXPECT_TRUE(targets.contains("application/x-qt-windows-mime;value=\"TWQHexeditorEx Clipboard Format\""))
        << targets.constData();
    EXPECT_EQ(RunXclip({"-o", "-selection", "clipboard"}), QByteArray("HELLO"));

    // Another program takes the clipboard: the control no longer owns it.
    RunXclip({"-i", "-selection", "clipboard"}, QByteArray("other"), false);
    QElapsedTimer t;
    t.start();
    while (ed.OwnsClipBoard() && t.elapsed() < 5000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    EXPECT_FALSE(ed.OwnsClipBoard());
}

TEST_F(X11Clipboard, ControlOwnsItsCopyAlreadyDuringTheChangeNotification)
{
    // A copy made with a key press carries that press's time, later than the
    // last owner's; here the server's news of the last owner stands in for it.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 200) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    ExpectOwnedDuringTheChangeNotification(
        [] { return QString::fromUtf8(RunXclip({"-o", "-selection", "clipboard"})); });
}

TEST_F(X11Clipboard, XclipTextPastesAtTheCaretThroughCtrlV)
{
    TWQHexEditorEx ed;
    ed.resize(600, 400);
    ed.show();
    platform::TMemoryStream s;
    s.Write("0123456789", 10);
    s.SetPosition(0);
    ed.LoadFromStream(s);
    const TGridCoord at = ed.GetCursorAtPos(4, false);
    ed.MoveColRow(at.X, at.Y, true, true);
    ASSERT_EQ(ed.SelCount(), 0);

    RunXclip({"-i", "-selection", "clipboard"}, QByteArray("h\xc3\xa9llo"), false);
    QElapsedTimer t;
    t.start();
    while (QGuiApplication::clipboard()->text() != QString::fromUtf8("h\xc3\xa9llo") && t.elapsed() < 5000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    ASSERT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("h\xc3\xa9llo")) << "xclip never offered it";

    // Several text formats are offered: the format dialog asks; pick "Text".
    QStringList listed;
    SetFormatSelDialogRunner([&](QDialog& d) {
        auto& f = static_cast<TFormatSelDialog&>(d);
        for (int i = 0; i < f.LlbxFormats->count(); ++i)
            listed << f.LlbxFormats->item(i)->text();
        f.SelectFormat(CF_TEXT);
        return int(QDialog::Accepted);
    });
    struct RunnerReset {
        ~RunnerReset() { SetFormatSelDialogRunner({}); }
    } runnerReset;

    // The key press goes the way a real one does: Qt's key event, its
    // translation and the control's shortcut table.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
    QApplication::sendEvent(&ed, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
    QApplication::sendEvent(&ed, &release);

    QByteArray data(ed.DataSize(), '\0');
    ed.ReadBuffer(data.data(), 0, ed.DataSize());
    EXPECT_TRUE(listed.contains(QStringLiteral("Text"))) << listed.join(u',').toStdString();
    // The text arrives in the 8-bit code page: é is one byte.
    EXPECT_EQ(data, QByteArray("0123h\xe9llo456789"));
    EXPECT_FALSE(ed.OwnsClipBoard()) << "a paste does not take the clipboard";
    EXPECT_TRUE(ed.CanUndo());
}
