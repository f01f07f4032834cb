#include "platform/devicechange.h"
#include "platform/exceptions.h"
#include "tests/support/fake_devicechange.h"
#include "tests/support/fakes.h"

#include <QCoreApplication>
#include <QObject>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(DeviceChange, FakeFactoryHandsOutSourcesThatFireOncePerEvent)
{
    testsupport::ScopedFakeDeviceChanges fakes;
    auto source = platform::CreateDeviceChangeSource();
    ASSERT_NE(fakes.latest(), nullptr);
    EXPECT_EQ(fakes.latest(), source.get());
    EXPECT_EQ(fakes.created(), 1);

    int calls = 0;
    fakes.latest()->fire(); // no handler yet: nothing happens
    source->setHandler([&] { ++calls; });
    EXPECT_TRUE(fakes.latest()->hasHandler());
    fakes.latest()->fire();
    fakes.latest()->fire();
    fakes.fireAll();
    EXPECT_EQ(calls, 3);

    source.reset();
    EXPECT_EQ(fakes.latest(), nullptr);
    fakes.fireAll(); // a destroyed source is gone from the list
    EXPECT_EQ(calls, 3);
}

TEST(DeviceChange, HandlerMayDestroyItsOwnSource)
{
    testsupport::ScopedFakeDeviceChanges fakes;
    auto source = platform::CreateDeviceChangeSource();
    int calls = 0;
    source->setHandler([&] {
        ++calls;
        source.reset();
    });
    fakes.fireAll();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(fakes.sources().empty());
}

TEST(DeviceChange, EmptyFactoryRestoresUdevAndNullFactoryNeverGivesNull)
{
    {
        testsupport::ScopedFakeDeviceChanges fakes;
    }
    auto real = platform::CreateDeviceChangeSource();
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(dynamic_cast<testsupport::FakeDeviceChangeSource*>(real.get()), nullptr);

    platform::SetDeviceChangeFactory([] { return std::unique_ptr<platform::DeviceChangeSource>(); });
    auto silent = platform::CreateDeviceChangeSource();
    platform::SetDeviceChangeFactory({});
    ASSERT_NE(silent, nullptr);
    silent->setHandler([] {});
}

TEST(DeviceChange, UdevSourceLivesWithoutCrashingWithOrWithoutParent)
{
    // Whether the monitor can be created here (permissions, containers) is
    // not ours to decide; either way creating, using and dropping it is safe.
    testsupport::ScopedPlatformFakes platformFakes;
    {
        auto source = platform::CreateUdevDeviceChangeSource();
        ASSERT_NE(source, nullptr);
        source->setHandler([] {});
        QCoreApplication::processEvents();
    }
    {
        auto* parent = new QObject;
        auto source = platform::CreateUdevDeviceChangeSource(parent);
        ASSERT_NE(source, nullptr);
        source->setHandler([] { throw platform::Exception("handler failed"); });
        QCoreApplication::processEvents();
        delete parent; // the parent goes first and takes the notifier with it
        source.reset();
    }
    {
        auto* parent = new QObject;
        auto source = platform::CreateUdevDeviceChangeSource(parent);
        source.reset(); // the source goes first
        EXPECT_TRUE(parent->children().isEmpty());
        delete parent;
    }
}

TEST(DeviceChange, UdevSourceWithoutPrivilegesIsHarmless)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "already unprivileged: covered by the test above";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        auto source = platform::CreateUdevDeviceChangeSource();
        source->setHandler([] {});
        source.reset();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
