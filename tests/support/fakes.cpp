#include "tests/support/fakes.h"

namespace testsupport {

platform::MsgResult FakeUi::messageBox(const QString& text, const QString& caption,
                                       platform::MsgIcon icon, platform::MsgButtons buttons)
{
    boxes.push_back({text, caption, icon, buttons});
    if (onBox)
        onBox(boxes.back());
    if (!answers.empty()) {
        const platform::MsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    switch (buttons) {
    case platform::MsgButtons::YesNo:
    case platform::MsgButtons::YesNoCancel: return platform::MsgResult::Yes;
    default: return platform::MsgResult::Ok;
    }
}

namespace {
// The next scripted file name; none left means the dialog was cancelled.
std::optional<QString> TakeFront(std::deque<std::optional<QString>>& names)
{
    std::optional<QString> name;
    if (!names.empty()) {
        name.swap(names.front());
        names.pop_front();
    }
    return name;
}
} // namespace

std::optional<QString> FakeUi::openFileName(const platform::FileDialogOptions& options)
{
    openDialogs.push_back(options);
    return TakeFront(openNames);
}

std::optional<QString> FakeUi::saveFileName(const platform::FileDialogOptions& options)
{
    saveDialogs.push_back(options);
    return TakeFront(saveNames);
}

void FakeUi::showException(const QString& message) { exceptions.push_back(message); }

std::vector<QString> FakeUi::boxTexts() const
{
    std::vector<QString> texts;
    for (const auto& box : boxes)
        texts.push_back(box.text);
    return texts;
}

QDateTime FakeClock::now() { return current; }

std::int64_t FakeClock::monotonicMs()
{
    const std::int64_t value = monotonic;
    monotonic += stepMs;
    return value;
}

void FakeSystem::sleepMs(int ms)
{
    sleeps.push_back(ms);
    if (clock) {
        clock->monotonic += ms;
        clock->current = clock->current.addMSecs(ms);
    }
    if (onSleep)
        onSleep(ms);
}

void FakeSystem::beep()
{
    ++beeps;
    if (onBeep)
        onBeep();
}

void FakeSystem::processMessages()
{
    ++pumps;
    if (onPump)
        onPump();
}

ScopedPlatformFakes::ScopedPlatformFakes()
{
    platform::setUserInterface(&ui);
    platform::setClock(&clock);
    platform::setSystem(&system);
}

ScopedPlatformFakes::~ScopedPlatformFakes()
{
    platform::setUserInterface(nullptr);
    platform::setClock(nullptr);
    platform::setSystem(nullptr);
}

} // namespace testsupport
