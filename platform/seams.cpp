#include "platform/seams.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QStringList>
#include <QThread>

namespace platform {
namespace {

QMessageBox::Icon toQt(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

// "Text (*.a)|*.a|All (*.*)|*.*" -> Qt's "Text (*.a) (*.a);;All (*.*) (*)".
// Each entry shows its description (with its patterns, when it names none)
// and filters by the last parenthesis, which the dialog keeps out of sight.
// There "*.*" becomes "*": the platform's dialog lists every file under it,
// also names without a dot, which Qt's "*.*" would hide.
QStringList toQtFilters(const QString& filter)
{
    QStringList parts = filter.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        if (!description.contains(u'('))
            description += QStringLiteral(" (") + patterns.join(u' ') + u')';
        for (QString& pattern : patterns)
            if (pattern == QStringLiteral("*.*"))
                pattern = QStringLiteral("*");
        out << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return out;
}

QString suffixOf(const QString& defaultExt)
{
    QString s = defaultExt;
    if (s.startsWith(QStringLiteral("*.")))
        s = s.mid(2);
    else if (s.startsWith(u'.'))
        s = s.mid(1);
    return s;
}

std::optional<QString> runFileDialog(const FileDialogOptions& options, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(QApplication::activeWindow(), options.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    // The program asks its own overwrite question after the dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList filters = toQtFilters(options.filter);
    dialog.setNameFilters(filters);
    if (options.filterIndex >= 1 && options.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[options.filterIndex - 1]);
    dialog.setDefaultSuffix(suffixOf(options.defaultExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

class QtUserInterface final : public UserInterface {
public:
    MsgResult messageBox(const QString& text, const QString& caption, MsgIcon icon,
                         MsgButtons buttons) override
    {
        QMessageBox box(toQt(icon), caption, text, toQt(buttons), QApplication::activeWindow());
        switch (box.exec()) {
        case QMessageBox::Ok: return MsgResult::Ok;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Cancel: return MsgResult::Cancel;
        default: return buttons == MsgButtons::Ok ? MsgResult::Ok
               : buttons == MsgButtons::OkCancel   ? MsgResult::Cancel
                                                   : MsgResult::No;
        }
    }
    std::optional<QString> openFileName(const FileDialogOptions& options) override
    {
        return runFileDialog(options, QFileDialog::AcceptOpen);
    }
    std::optional<QString> saveFileName(const FileDialogOptions& options) override
    {
        return runFileDialog(options, QFileDialog::AcceptSave);
    }
    void showException(const QString& message) override
    {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message,
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }
};

class QtClock final : public Clock {
public:
    QtClock() { timer_.start(); }
    QDateTime now() override { return QDateTime::currentDateTime(); }
    std::int64_t monotonicMs() override { return timer_.elapsed(); }

private:
    QElapsedTimer timer_;
};

class QtSystem final : public System {
public:
    void sleepMs(int ms) override
    {
        if (ms > 0)
            QThread::msleep(static_cast<unsigned long>(ms));
    }
    void beep() override { QApplication::beep(); }
    void processMessages() override { QCoreApplication::processEvents(); }
};

UserInterface* g_ui = nullptr;
Clock* g_clock = nullptr;
System* g_system = nullptr;

template <class Real, class Base>
Base& defaultOf()
{
    static Real real;
    return real;
}

// The locale's long time format without its time-zone part ("t", "tt", ...).
// Quoted literal text stays as it is, 't' included.
QString longTimeFormat(const QLocale& locale)
{
    const QString f = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
        } else if (c == u't' && !quoted) {
            // Drop the zone and the blank that separated it.
            while (out.endsWith(u' '))
                out.chop(1);
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

} // namespace

UserInterface& ui() { return g_ui ? *g_ui : defaultOf<QtUserInterface, UserInterface>(); }
Clock& clock() { return g_clock ? *g_clock : defaultOf<QtClock, Clock>(); }
System& system() { return g_system ? *g_system : defaultOf<QtSystem, System>(); }

void setUserInterface(UserInterface* replacement) { g_ui = replacement; }
void setClock(Clock* replacement) { g_clock = replacement; }
void setSystem(System* replacement) { g_system = replacement; }

QString DateTimeToStr(const QDateTime& dateTime) { return DateTimeToStr(dateTime, QLocale::system()); }

QString DateTimeToStr(const QDateTime& dateTime, const QLocale& locale)
{
    return locale.toString(dateTime.date(), QLocale::ShortFormat) + u' '
           + locale.toString(dateTime.time(), longTimeFormat(locale));
}

QString NowText() { return DateTimeToStr(clock().now()); }
void Sleep(int ms) { system().sleepMs(ms); }
void Beep() { system().beep(); }
void ProcessMessages() { system().processMessages(); }

MsgResult MessageBox(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons)
{
    return ui().messageBox(text, caption, icon, buttons);
}

} // namespace platform
