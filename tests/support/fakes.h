#pragma once
// Fakes for the platform seams. Install them with ScopedPlatformFakes; every
// box, dialog, sleep, beep and pump is recorded for assertions.
#include "platform/seams.h"

#include <QDateTime>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace testsupport {

struct RecordedBox {
    QString text;
    QString caption;
    platform::MsgIcon icon;
    platform::MsgButtons buttons;
};

class FakeUi final : public platform::UserInterface {
public:
    platform::MsgResult messageBox(const QString& text, const QString& caption, platform::MsgIcon icon,
                                   platform::MsgButtons buttons) override;
    std::optional<QString> openFileName(const platform::FileDialogOptions& options) override;
    std::optional<QString> saveFileName(const platform::FileDialogOptions& options) override;
    void showException(const QString& message) override;

    // Scripted answers, used in order; when the script runs out a box answers
    // Ok (Ok boxes) or Yes (questions) and a file dialog is cancelled.
    std::deque<platform::MsgResult> answers;
    std::deque<std::optional<QString>> openNames;
    std::deque<std::optional<QString>> saveNames;
    // Called while a box is "open", so a test can act as if events arrived then.
    std::function<void(const RecordedBox&)> onBox;

    std::vector<RecordedBox> boxes;
    std::vector<platform::FileDialogOptions> openDialogs;
    std::vector<platform::FileDialogOptions> saveDialogs;
    std::vector<QString> exceptions;

    std::vector<QString> boxTexts() const;
};

class FakeClock final : public platform::Clock {
public:
    QDateTime now() override;
    std::int64_t monotonicMs() override;

    QDateTime current = QDateTime(QDate(2026, 12, 8), QTime(10, 20, 14));
    std::int64_t monotonic = 1000;
    // Added to the monotonic time at every read, so that elapsed times move.
    std::int64_t stepMs = 0;
};

class FakeSystem final : public platform::System {
public:
    void sleepMs(int ms) override;
    void beep() override;
    void processMessages() override;

    std::vector<int> sleeps;
    int beeps = 0;
    int pumps = 0;
    // Run at every sleep or pump; lets a test inject events mid-command.
    std::function<void(int ms)> onSleep;
    std::function<void()> onPump;
    // Run at every beep, so a test can see what was already shown by then.
    std::function<void()> onBeep;
    // When set, sleeps advance this clock's monotonic time and wall time.
    FakeClock* clock = nullptr;
};

// Installs fresh fakes for the lifetime of the object and restores the Qt
// implementations afterwards.
class ScopedPlatformFakes {
public:
    ScopedPlatformFakes();
    ~ScopedPlatformFakes();
    ScopedPlatformFakes(const ScopedPlatformFakes&) = delete;
    ScopedPlatformFakes& operator=(const ScopedPlatformFakes&) = delete;

    FakeUi ui;
    FakeClock clock;
    FakeSystem system;
};

} // namespace testsupport
