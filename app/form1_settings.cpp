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

namespace {
const QString Environment = QStringLiteral("Environment");
const QString Programmer = QStringLiteral("Programmer");

// A damaged file must not place the window where no screen shows it, nor
// make it larger than the desktop (no backing store could hold it, and
// coordinates near the int limits overflow).
QRect Desktop()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->virtualGeometry() : QRect();
    return desktop.isEmpty() ? QRect(0, 0, 16384, 16384) : desktop;
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

QString SettingsFileName()
{
    // Beside the program, where it has always lived, unless a close could
    // not write there once and moved the settings to the user's folder.
    const QString user = UserSettingsFileName();
    if (QFileInfo::exists(user))
        return user;
    return platform::ProgramFileWithExt(QStringLiteral(".ini"));
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
        // Each value is applied as soon as it is read.
        const QRect desktop = Desktop();
        move(x(), std::clamp(ini.ReadInteger(Environment, QStringLiteral("FormTop"), 10), desktop.top(), desktop.bottom()));
        move(std::clamp(ini.ReadInteger(Environment, QStringLiteral("FormLeft"), 10), desktop.left(), desktop.right()), y());
        resize(width(), std::min(ini.ReadInteger(Environment, QStringLiteral("FormHeight"), 500), desktop.height()));
        resize(std::min(ini.ReadInteger(Environment, QStringLiteral("FormWidth"), 700), desktop.width()), height());
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
