#pragma once
// The X server tests' side of the second program: waiting with our own event
// loop running, and the peer started, steered and read.
#include "ex_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPoint>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <QWindow>

namespace x11peer {

// Keeps our event loop running: the X server, or the peer, may be asking us
// for data meanwhile.
inline void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// Pumps until the condition holds or the time is up; answers the condition.
template <class F>
bool PumpUntil(F done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return done();
}

inline bool WaitExposed(QWidget& w)
{
    return PumpUntil([&] { return w.windowHandle() && w.windowHandle()->isExposed(); });
}

inline QString Num(int v) { return QString::number(v); }

inline Bytes Inserted(Bytes data, int at, const Bytes& block)
{
    data.insert(data.begin() + at, block.begin(), block.end());
    return data;
}

// The second program: started, steered and read through its stdin and stdout.
class Peer {
public:
    bool Start(int x, int y)
    {
        p.start(QStringLiteral(QV750_X11_PEER), {Num(x), Num(y)});
        return p.waitForStarted(5000) && Read() == "ready";
    }
    QByteArray Ask(const QByteArray& line)
    {
        p.write(line + '\n');
        return Read();
    }
    QPoint Pos(int n)
    {
        const QList<QByteArray> w = Ask("pos " + QByteArray::number(n)).split(' ');
        return w.size() == 3 ? QPoint(w[1].toInt(), w[2].toInt()) : QPoint(-1, -1);
    }
    Bytes Data()
    {
        const QByteArray hex = Ask("dump").mid(5);
        const QByteArray b = QByteArray::fromHex(hex);
        return Bytes(b.begin(), b.end());
    }
    // Asks the peer to end and waits, serving the X server meanwhile.
    bool Quit()
    {
        p.write("quit\n");
        return PumpUntil([&] { return p.state() == QProcess::NotRunning; });
    }
    ~Peer()
    {
        if (p.state() != QProcess::NotRunning) {
            p.write("quit\n");
            if (!p.waitForFinished(3000))
                p.kill();
            p.waitForFinished(1000);
        }
    }

private:
    // Our own loop keeps running, as the peer may be asking us for drag data.
    QByteArray Read()
    {
        QElapsedTimer t;
        t.start();
        while (!p.canReadLine() && t.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            p.waitForReadyRead(5);
        }
        return p.canReadLine() ? p.readLine().trimmed() : QByteArray("<no answer>");
    }
    QProcess p;
};

} // namespace x11peer
