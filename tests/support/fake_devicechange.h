#pragma once
// A device-change source that a test fires by hand, and a scope that makes
// platform::CreateDeviceChangeSource hand out such sources.
#include "platform/devicechange.h"

#include <functional>
#include <vector>

namespace testsupport {

class FakeDeviceChangeSource final : public platform::DeviceChangeSource {
public:
    FakeDeviceChangeSource();
    ~FakeDeviceChangeSource() override;
    void setHandler(std::function<void()> handler) override;

    // One device event: runs the handler once (nothing when none is set).
    void fire();
    bool hasHandler() const { return static_cast<bool>(handler_); }

private:
    std::function<void()> handler_;
};

// Installs a factory that creates FakeDeviceChangeSource objects for the
// lifetime of the scope; the udev factory comes back afterwards.
class ScopedFakeDeviceChanges {
public:
    ScopedFakeDeviceChanges();
    ~ScopedFakeDeviceChanges();
    ScopedFakeDeviceChanges(const ScopedFakeDeviceChanges&) = delete;
    ScopedFakeDeviceChanges& operator=(const ScopedFakeDeviceChanges&) = delete;

    // Sources made by the factory that still exist, oldest first.
    const std::vector<FakeDeviceChangeSource*>& sources() const;
    // The newest living source, or nullptr.
    FakeDeviceChangeSource* latest() const;
    // Fires every living source once.
    void fireAll();
    int created() const { return created_; }

private:
    int created_ = 0;
};

} // namespace testsupport
