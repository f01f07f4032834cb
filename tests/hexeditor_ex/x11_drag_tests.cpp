// Drags through Qt's own drag loop on a real X server (under xvfb-run with the
// xcb platform): xdotool moves the pointer and holds the button and the keys,
// as a hand would. Between two controls of this process, within one control,
// and across to a control in a second process.
#include "x11_peer_editor.h"

#include "ex_support.h"
#include "x11_peer_client.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

using namespace x11peer;


// One drag by the pointer from one screen point to another, with the keys
// held from the press to the release. Our event loop keeps running meanwhile,
// so Qt's drag loop sees the pointer as it would see a user's.
bool Drag(QPoint from, QPoint to, const QStringList& keys = {}, bool escape = false)
{
    const int d = QApplication::startDragDistance();
    QStringList a{"mousemove", Num(from.x()), Num(from.y()), "sleep", "0.2"};
    for (const QString& k : keys)
        a << "keydown" << k;
    a << "mousedown" << "1" << "sleep" << "0.2";
    // Past the threshold, then over to the target in steps.
    a << "mousemove" << Num(from.x() + d + 2) << Num(from.y()) << "sleep" << "0.2";
    for (int i = 1; i <= 4; ++i) {
        const QPoint p = from + (to - from) * i / 4;
        a << "mousemove" << Num(p.x()) << Num(p.y()) << "sleep" << "0.15";
    }
    a << "mousemove" << Num(to.x() + 1) << Num(to.y()) << "sleep" << "0.2";
    a << "mousemove" << Num(to.x()) << Num(to.y()) << "sleep" << "0.2";
    if (escape)
        a << "key" << "Escape" << "sleep" << "0.2";
    a << "mouseup" << "1" << "sleep" << "0.2";
    for (const QString& k : keys)
        a << "keyup" << k;

    QProcess p;
    p.start(QStringLiteral("xdotool"), a);
    if (!p.waitForStarted(5000))
        return false;
    PumpUntil([&] { return p.state() == QProcess::NotRunning; }, 20000);
    Pump(200); // the drop and what the source does after it
    return p.state() == QProcess::NotRunning && p.exitCode() == 0;
}

Bytes Moved(Bytes data, int from, int count, int to)
{
    const Bytes block(data.begin() + from, data.begin() + from + count);
    data.erase(data.begin() + from, data.begin() + from + count);
    data.insert(data.begin() + to, block.begin(), block.end());
    return data;
}

// Every byte value that text would lose: only the own format brings them over.
Bytes Mixed(int n)
{
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        b[std::size_t(i)] = std::uint8_t(i % 3 == 0 ? 0x00 : i % 3 == 1 ? 0xFF : 0x40 + i);
    return b;
}

class X11Drag : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform (run under xvfb-run)";
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "xdotool is not installed";
        a.move(0, 0);
        b.move(0, 320);
        Load(a, Mixed(64));
        Load(b, Iota(32));
        a.show();
        b.show();
        ASSERT_TRUE(WaitExposed(a) && WaitExposed(b));
        Pump(100);
    }
    void TearDown() override { EXPECT_EQ(refused.Count, 0) << "the own format was lost on the way"; }

    TPeerTestEditor a;
    TPeerTestEditor b;
    TRefusedFormatDialogs refused;
};


} // namespace

TEST_F(X11Drag, PlainDragOntoTheOtherControlCopies)
{
    a.Select(6, 13);
    const Bytes before = DataOf(a);
    ASSERT_TRUE(Drag(a.ScreenAt(8), b.ScreenAt(20)));
    EXPECT_EQ(DataOf(b), Inserted(Iota(32), 20, Bytes(before.begin() + 6, before.begin() + 14)));
    EXPECT_EQ(DataOf(a), before) << "a copy leaves the source alone";
    EXPECT_EQ(b.UndoDescription(), QStringLiteral("Data dropped"));
}

TEST_F(X11Drag, DropOnTheLastPixelOfACellLandsOnThatCell)
{
    a.Select(6, 7);
    const Bytes before = DataOf(a);
    ASSERT_TRUE(Drag(a.ScreenAt(6), b.ScreenAtEdge(5)));
    EXPECT_EQ(DataOf(b), Inserted(Iota(32), 5, Bytes{before[6], before[7]}));
}

TEST_F(X11Drag, ShiftDragOntoTheOtherControlMoves)
{
    a.Select(6, 13);
    const Bytes before = DataOf(a);
    ASSERT_TRUE(Drag(a.ScreenAt(8), b.ScreenAt(20), {"shift"}));
    EXPECT_EQ(DataOf(b), Inserted(Iota(32), 20, Bytes(before.begin() + 6, before.begin() + 14)));
    Bytes rest = before;
    rest.erase(rest.begin() + 6, rest.begin() + 14);
    EXPECT_EQ(DataOf(a), rest) << "a move takes the bytes from the source";
}

TEST_F(X11Drag, DragWithinTheControlMovesAsOneUndoStep)
{
    b.Select(4, 7);
    ASSERT_TRUE(Drag(b.ScreenAt(5), b.ScreenAt(24)));
    // Dropped before byte 24; the four bytes left from before it.
    EXPECT_EQ(DataOf(b), Moved(Iota(32), 4, 4, 20));
    EXPECT_EQ(b.UndoDescription(), QStringLiteral("Data moved"));
    ASSERT_TRUE(b.Undo());
    EXPECT_EQ(DataOf(b), Iota(32));
}

TEST_F(X11Drag, CtrlDragWithinTheControlCopies)
{
    b.Select(4, 7);
    ASSERT_TRUE(Drag(b.ScreenAt(5), b.ScreenAt(24), {"ctrl"}));
    EXPECT_EQ(DataOf(b), Inserted(Iota(32), 24, Bytes{4, 5, 6, 7}));
}

TEST_F(X11Drag, EscapeDuringTheDragChangesNothing)
{
    a.Select(6, 13);
    const Bytes before = DataOf(a);
    ASSERT_TRUE(Drag(a.ScreenAt(8), b.ScreenAt(20), {"shift"}, true));
    EXPECT_EQ(DataOf(a), before);
    EXPECT_EQ(DataOf(b), Iota(32));
    EXPECT_FALSE(b.CanUndo());
    EXPECT_EQ(b.DropPosition(), -1) << "the drag mark is gone";
}

TEST_F(X11Drag, DragIntoAnotherProgramCarriesEveryByte)
{
    Peer peer;
    ASSERT_TRUE(peer.Start(560, 0));
    ASSERT_EQ(peer.Ask("load " + QByteArray("0123456789")), "ok");
    a.Select(0, 11); // zeros and 0xFF bytes that text would lose
    const Bytes before = DataOf(a);
    ASSERT_TRUE(Drag(a.ScreenAt(2), peer.Pos(3)));
    const Bytes peerBefore{0x01, 0x23, 0x45, 0x67, 0x89};
    EXPECT_EQ(peer.Data(), Inserted(peerBefore, 3, Bytes(before.begin(), before.begin() + 12)));
    EXPECT_EQ(DataOf(a), before);
}

TEST_F(X11Drag, ShiftDragIntoAnotherProgramMovesTheBytesOutOfOurs)
{
    Peer peer;
    ASSERT_TRUE(peer.Start(560, 0));
    ASSERT_EQ(peer.Ask("load 0123456789"), "ok");
    a.Select(3, 5);
    const Bytes before = DataOf(a);
    ASSERT_TRUE(Drag(a.ScreenAt(4), peer.Pos(1), {"shift"}));
    EXPECT_EQ(peer.Data(), (Bytes{0x01, before[3], before[4], before[5], 0x23, 0x45, 0x67, 0x89}));
    Bytes rest = before;
    rest.erase(rest.begin() + 3, rest.begin() + 6);
    EXPECT_EQ(DataOf(a), rest);
}

TEST_F(X11Drag, DragFromAnotherProgramArrivesHere)
{
    Peer peer;
    ASSERT_TRUE(peer.Start(560, 0));
    ASSERT_EQ(peer.Ask("load 00ff00ff11"), "ok");
    ASSERT_EQ(peer.Ask("select 1 3"), "ok");
    ASSERT_TRUE(Drag(peer.Pos(2), b.ScreenAt(10)));
    EXPECT_EQ(DataOf(b), Inserted(Iota(32), 10, Bytes{0xFF, 0x00, 0xFF}));
    EXPECT_EQ(peer.Data(), (Bytes{0x00, 0xFF, 0x00, 0xFF, 0x11})) << "a copy leaves the source alone";
}
