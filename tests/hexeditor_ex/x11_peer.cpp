// A second program with one control, steered line by line on stdin, so a drag
// or the clipboard can cross from one process to another the way they do
// between two copies of the program:
//   load <hex>      the control's data
//   select <a> <b>  the selection
//   caret <n>       the caret before byte n
//   key <C|X|V>     Ctrl+C, Ctrl+X or Ctrl+V
//   weblink <url>   a web link on the clipboard, with its text, as a browser copies one
//   pos <n>         answers "pos <x> <y>", the screen point of byte n
//   dump            answers "data <hex>"
//   quit
// It answers "ready" once its window is on the screen.
#include "x11_peer_editor.h"

#include "ex_support.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

void Answer(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Run(TPeerTestEditor& ed, const QByteArray& line)
{
    const QList<QByteArray> w = line.trimmed().split(' ');
    if (w.isEmpty())
        return;
    if (w[0] == "load" && w.size() == 2) {
        const QByteArray b = QByteArray::fromHex(w[1]);
        Load(ed, Bytes(b.begin(), b.end()));
        Answer("ok");
    } else if (w[0] == "select" && w.size() == 3) {
        ed.Select(w[1].toInt(), w[2].toInt());
        Answer("ok");
    } else if (w[0] == "caret" && w.size() == 2) {
        ed.Caret(w[1].toInt());
        Answer("ok");
    } else if (w[0] == "key" && w.size() == 2 && w[1].size() == 1) {
        ed.CtrlKey(w[1][0]);
        Answer("ok");
    } else if (w[0] == "weblink" && w.size() == 2) {
        const QString url = QString::fromUtf8(w[1]);
        auto* md = new QMimeData;
        md->setUrls({QUrl(url)});
        md->setText(url);
        QGuiApplication::clipboard()->setMimeData(md);
        Answer("ok");
    } else if (w[0] == "pos" && w.size() == 2) {
        const QPoint p = ed.ScreenAt(w[1].toInt());
        Answer("pos " + QByteArray::number(p.x()) + ' ' + QByteArray::number(p.y()));
    } else if (w[0] == "dump") {
        const Bytes b = DataOf(ed);
        Answer("data " + QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex());
    } else if (w[0] == "quit") {
        QCoreApplication::quit();
    } else {
        Answer("error " + line.trimmed());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TPeerTestEditor ed;
    TRefusedFormatDialogs refused;
    if (argc >= 3)
        ed.move(std::atoi(argv[1]), std::atoi(argv[2]));
    ed.show();

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buf, qsizetype(n));
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0;) {
            const QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            Run(ed, line);
        }
    });
    QTimer ready;
    QObject::connect(&ready, &QTimer::timeout, [&] {
        if (ed.windowHandle() && ed.windowHandle()->isExposed()) {
            ready.stop();
            Answer("ready");
        }
    });
    ready.start(20);
    return QApplication::exec();
}
