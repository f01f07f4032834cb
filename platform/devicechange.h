#pragma once
// Device changes (the Windows WM_DEVICECHANGE message): a udev monitor on
// the "usb" subsystem calls the handler for every event it reports.
#include <QObject>
#include <functional>
#include <memory>

namespace platform {

class DeviceChangeSource {
public:
    virtual ~DeviceChangeSource() = default;
    // The handler runs on the GUI thread, once per device event.
    virtual void setHandler(std::function<void()> handler) = 0;
};

// The real source: libudev monitor (source "udev", subsystem "usb") on a
// QSocketNotifier. Without udev it simply never fires.
std::unique_ptr<DeviceChangeSource> CreateUdevDeviceChangeSource(QObject* parent = nullptr);

// Which source new main windows use; tests install a fake factory.
using DeviceChangeFactory = std::function<std::unique_ptr<DeviceChangeSource>()>;
void SetDeviceChangeFactory(DeviceChangeFactory factory); // empty restores udev
std::unique_ptr<DeviceChangeSource> CreateDeviceChangeSource();

} // namespace platform
