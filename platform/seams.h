#pragma once
// Every effect a test must control goes through one of these seams. The
// program uses the Qt implementations; tests install fakes (tests/support).
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

enum class MsgIcon { None, Error, Information, Question, Warning };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

struct FileDialogOptions {
    QString filter;      // class-library style: "Binary (*.bin)|*.bin|All files (*.*)|*.*"
    int filterIndex = 1; // 1-based entry of the filter selected at start
    QString defaultExt;  // appended (with a dot) to a name typed without extension; may be "*.bin" or "hex"
    QString title;
};

// Message boxes, file dialogs and the application's standard exception box.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    virtual MsgResult messageBox(const QString& text, const QString& caption, MsgIcon icon,
                                 MsgButtons buttons) = 0;
    virtual std::optional<QString> openFileName(const FileDialogOptions& options) = 0;
    virtual std::optional<QString> saveFileName(const FileDialogOptions& options) = 0;
    virtual void showException(const QString& message) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() = 0;            // local date and time
    virtual std::int64_t monotonicMs() = 0; // for elapsed times; never jumps
};

// Sleep, the default beep and the message pump.
class System {
public:
    virtual ~System() = default;
    virtual void sleepMs(int ms) = 0;
    virtual void beep() = 0;
    virtual void processMessages() = 0;
};

UserInterface& ui();
Clock& clock();
System& system();

// Install a replacement; nullptr restores the Qt implementation.
void setUserInterface(UserInterface* replacement);
void setClock(Clock* replacement);
void setSystem(System* replacement);

// Class-library style helpers over the seams.
QString DateTimeToStr(const QDateTime& dateTime); // locale short date + long time
QString DateTimeToStr(const QDateTime& dateTime, const QLocale& locale); // with a given locale
QString NowText();                                 // DateTimeToStr(clock().now())
void Sleep(int ms);
void Beep();
void ProcessMessages();
MsgResult MessageBox(const QString& text, const QString& caption, MsgIcon icon,
                     MsgButtons buttons = MsgButtons::Ok);

} // namespace platform
