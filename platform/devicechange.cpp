#include "platform/devicechange.h"

#include "platform/exceptions.h"

#include <QPointer>
#include <QSocketNotifier>
#include <libudev.h>
#include <memory>

namespace platform {
namespace {

class UdevDeviceChangeSource final : public DeviceChangeSource {
public:
    explicit UdevDeviceChangeSource(QObject* parent)
    {
        udev_ = udev_new();
        if (!udev_)
            return;
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (!monitor_)
            return;
        if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", nullptr) < 0
            || udev_monitor_enable_receiving(monitor_) < 0) {
            udev_monitor_unref(monitor_);
            monitor_ = nullptr;
            return;
        }
        const int fd = udev_monitor_get_fd(monitor_);
        if (fd < 0)
            return;
        notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, parent);
        QObject::connect(notifier_.data(), &QSocketNotifier::activated, notifier_.data(),
                         [this, alive = std::weak_ptr<int>(alive_)] {
                             if (!alive.expired())
                                 drain(alive);
                         });
    }

    ~UdevDeviceChangeSource() override
    {
        alive_.reset();
        // The parent may already have deleted the notifier. Disable it before
        // the monitor closes its descriptor; when a handler deletes this
        // source from inside the notifier's signal, delete it later.
        if (notifier_) {
            notifier_->setEnabled(false);
            if (draining_)
                notifier_->deleteLater();
            else
                delete notifier_.data();
        }
        if (monitor_)
            udev_monitor_unref(monitor_);
        if (udev_)
            udev_unref(udev_);
    }

    void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }

private:
    void drain(const std::weak_ptr<int>& alive)
    {
        // Take every queued event; each one is a device change of its own.
        draining_ = true;
        while (!alive.expired() && monitor_) {
            udev_device* device = udev_monitor_receive_device(monitor_);
            if (!device)
                break;
            udev_device_unref(device);
            if (handler_) {
                // A copy: the handler may replace itself or delete this source.
                const auto handler = handler_;
                Guarded(handler);
            }
        }
        if (!alive.expired())
            draining_ = false;
    }

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QPointer<QSocketNotifier> notifier_;
    std::function<void()> handler_;
    bool draining_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// Used when a factory hands back nothing: a source that never fires.
class SilentDeviceChangeSource final : public DeviceChangeSource {
public:
    void setHandler(std::function<void()>) override {}
};

DeviceChangeFactory& factory()
{
    static DeviceChangeFactory f;
    return f;
}

} // namespace

std::unique_ptr<DeviceChangeSource> CreateUdevDeviceChangeSource(QObject* parent)
{
    return std::make_unique<UdevDeviceChangeSource>(parent);
}

void SetDeviceChangeFactory(DeviceChangeFactory f) { factory() = std::move(f); }

std::unique_ptr<DeviceChangeSource> CreateDeviceChangeSource()
{
    std::unique_ptr<DeviceChangeSource> source = factory() ? factory()() : CreateUdevDeviceChangeSource();
    if (!source)
        source = std::make_unique<SilentDeviceChangeSource>();
    return source;
}

} // namespace platform
