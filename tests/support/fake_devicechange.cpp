#include "tests/support/fake_devicechange.h"

#include <algorithm>

namespace testsupport {
namespace {

std::vector<FakeDeviceChangeSource*>& living()
{
    static std::vector<FakeDeviceChangeSource*> sources;
    return sources;
}

} // namespace

FakeDeviceChangeSource::FakeDeviceChangeSource() { living().push_back(this); }

FakeDeviceChangeSource::~FakeDeviceChangeSource()
{
    auto& v = living();
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void FakeDeviceChangeSource::setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

void FakeDeviceChangeSource::fire()
{
    if (handler_) {
        // A copy: the handler may replace itself or delete this source.
        const auto handler = handler_;
        handler();
    }
}

ScopedFakeDeviceChanges::ScopedFakeDeviceChanges()
{
    platform::SetDeviceChangeFactory([this]() -> std::unique_ptr<platform::DeviceChangeSource> {
        ++created_;
        return std::make_unique<FakeDeviceChangeSource>();
    });
}

ScopedFakeDeviceChanges::~ScopedFakeDeviceChanges() { platform::SetDeviceChangeFactory({}); }

const std::vector<FakeDeviceChangeSource*>& ScopedFakeDeviceChanges::sources() const { return living(); }

FakeDeviceChangeSource* ScopedFakeDeviceChanges::latest() const
{
    return living().empty() ? nullptr : living().back();
}

void ScopedFakeDeviceChanges::fireAll()
{
    // Copy: a handler may create or destroy sources.
    const auto snapshot = living();
    for (FakeDeviceChangeSource* source : snapshot)
        if (std::find(living().begin(), living().end(), source) != living().end())
            source->fire();
}

} // namespace testsupport
