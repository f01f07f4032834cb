// Settings file: window placement, chip and clock choice, check boxes.
#include "app/unit1.h"
#include "platform/inifile.h"
#include "platform/paths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdint>

namespace {
const QString Environment = QStringLiteral("Environment");
const QString Programmer = QStringLiteral("Programmer");

// A window larger than the desktop can have no backing store (and sizes near
// the int limits overflow the coordinates), so a damaged file cannot ask for
// one; the system does the same when a window is sized by hand.
QRect Desktop()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->virtualGeometry() : QRect();
    return desktop.isEmpty() ? QRect(0, 0, 16384, 16384) : desktop;
}

// Whether any part of the window's rectangle lies on some screen; in 64 bits,
// as stored positions may sit at the ends of the int range.
bool OnSomeScreen(const QPoint& pos, const QSize& size)
{
    const std::int64_t left = pos.x(), top = pos.y();
    const std::int64_t right = left + std::max(size.width(), 1), bottom = top + std::max(size.height(), 1);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        if (left < std::int64_t(g.x()) + g.width() && g.x() < right && top < std::int64_t(g.y()) + g.height()
            && g.y() < bottom)
            return true;
    }
    return QGuiApplication::screens().isEmpty(); // nothing to place it on
}
} // namespace

QString UserSettingsFileName()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString besideProgram = platform::ProgramFileWithExt(QStringLiteral(".ini"));
    return config + QStringLiteral("/qv750/") + QFileInfo(besideProgram).fileName();
}

// A file that can be written: a file the user may write, or none yet in a
// folder the user may write.
static bool CanBeWritten(const QString& fileName)
{
    const QFileInfo file(fileName);
    if (file.exists() || file.isSymLink())
        return file.isFile() && file.isWritable();
    const QFileInfo folder(file.absolutePath());
    return folder.isDir() && folder.isWritable();
}

QString SettingsFileName()
{
    // Beside the program whenever that file can be written there, so every
    // copy of the program keeps its own; the user's folder only for a copy
    // whose own file cannot be, and only once a close has moved it there.
    const QString besideProgram = platform::ProgramFileWithExt(QStringLiteral(".ini"));
    if (CanBeWritten(besideProgram))
        return besideProgram;
    const QString user = UserSettingsFileName();
    if (QFileInfo::exists(user))
        return user;
    return besideProgram;
}

bool WriteSettingsFile(platform::TIniFile& ini)
{
    if (ini.UpdateFile())
        return true;
    const QString user = UserSettingsFileName();
    if (ini.FileName() == user)
        return false;
    QDir().mkpath(QFileInfo(user).absolutePath());
    ini.MoveTo(user);
    return ini.UpdateFile();
}

void TForm1::FormCreate()
{
    delete Ini;
    Ini = nullptr;
    Ini = new platform::TIniFile(SettingsFileName());
    LoadSettings(*Ini);
}

void TForm1::LoadSettings(platform::TIniFile& ini)
{
    if (ini.ReadBool(Environment, QStringLiteral("FormMax"), false)) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        // Each value is applied as soon as it is read, as stored: a window
        // may hang over a screen's edge (a left of -8 is a common one).
        // Only a damaged file holds a place past the largest a window may
        // have; such a place would overflow the window's geometry.
        const QRect desktop = Desktop();
        const auto place = [](int v) { return std::clamp(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); };
        move(x(), place(ini.ReadInteger(Environment, QStringLiteral("FormTop"), 10)));
        move(place(ini.ReadInteger(Environment, QStringLiteral("FormLeft"), 10)), y());
        resize(width(), std::min(ini.ReadInteger(Environment, QStringLiteral("FormHeight"), 500), desktop.height()));
        resize(std::min(ini.ReadInteger(Environment, QStringLiteral("FormWidth"), 700), desktop.width()), height());
        // Only a window that no screen would show at all (a screen since
        // removed, a damaged file) comes back, to the default place.
        if (!OnSomeScreen(pos(), size())) {
            const QScreen* screen = QGuiApplication::primaryScreen();
            move((screen ? screen->geometry().topLeft() : QPoint()) + QPoint(10, 10));
        }
    }
    CpuType = ini.ReadInteger(Programmer, QStringLiteral("CpuType"), 0);
    SPEED = ini.ReadInteger(Programmer, QStringLiteral("SPEED"), 0);
    CheckBox4->setChecked(ini.ReadBool(Programmer, QStringLiteral("CHECKID"), true));
    CheckBox1->setChecked(ini.ReadBool(Programmer, QStringLiteral("ERASE"), true));
    CheckBox2->setChecked(ini.ReadBool(Programmer, QStringLiteral("WRITE"), true));
    CheckBox3->setChecked(ini.ReadBool(Programmer, QStringLiteral("VERITY"), true));
}

void TForm1::SaveSettings(platform::TIniFile& ini)
{
    // pos() and size() are what move() and resize() set, so they round-trip.
    ini.WriteInteger(Environment, QStringLiteral("FormHeight"), height());
    ini.WriteInteger(Environment, QStringLiteral("FormWidth"), width());
    ini.WriteInteger(Environment, QStringLiteral("FormTop"), y());
    ini.WriteInteger(Environment, QStringLiteral("FormLeft"), x());
    ini.WriteBool(Environment, QStringLiteral("FormMax"), isMaximized());
    ini.WriteInteger(Programmer, QStringLiteral("CpuType"), ComboBox1->currentIndex());
    ini.WriteInteger(Programmer, QStringLiteral("SPEED"), ComboBox2->currentIndex());
    ini.WriteBool(Programmer, QStringLiteral("CHECKID"), CheckBox4->isChecked());
    ini.WriteBool(Programmer, QStringLiteral("ERASE"), CheckBox1->isChecked());
    ini.WriteBool(Programmer, QStringLiteral("WRITE"), CheckBox2->isChecked());
    ini.WriteBool(Programmer, QStringLiteral("VERITY"), CheckBox3->isChecked());
}
