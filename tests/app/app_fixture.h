#pragma once
// A main window with every platform effect faked, a temporary program folder
// for qv750.ini / qv750.txt, and the simulated programmer.
#include "app/logview.h"
#include "app/statusbar.h"
#include "app/unit1.h"
#include "app/unit2.h"
#include "platform/paths.h"
#include "sim/sim.h"
#include "tests/support/fake_devicechange.h"
#include "tests/support/fakes.h"
#include "tests/support/sim_commands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace apptest {

// A small chip list: SPI flash of each type, two 24-series parts.
inline const char* const SampleList =
    "W25X80;0xEF3015;1048576;256;0;0;200\r\n"
    "W25Q64;0xEF4017;8388608;256;0;0;1000\r\n"
    "PAGECHIP;0x123456;65536;256;1;0;0\r\n"
    "READONLY;0x654321;65536;256;5;0;0\r\n"
    "24C256;0;32768;64;1;0;0\r\n"
    "24C512;0;65536;128;1;0;0\r\n";

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        platform::SetProgramPathForTesting(ProgramPath());
        // Settings moved to the user's folder land here, never in the real home.
        oldConfigHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toLocal8Bit());
        sim::reset();
        fakes.system.clock = &fakes.clock;
    }
    void TearDown() override
    {
        Destroy();
        sim::reset();
        platform::SetProgramPathForTesting(QString());
        qputenv("XDG_CONFIG_HOME", oldConfigHome_);
    }

    QString ProgramPath() const { return dir.path() + QStringLiteral("/qv750"); }
    QString IniPath() const { return dir.path() + QStringLiteral("/qv750.ini"); }
    QString ListPath() const { return dir.path() + QStringLiteral("/qv750.txt"); }

    void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray ReadFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The windows gone, the main one last, as the program ends.
    void Destroy()
    {
        Form2 = nullptr;
        form2.reset();
        form.reset();
    }
    // A fresh pair of windows; any earlier pair is gone first, so that it has
    // saved its settings before the new one reads them.
    void Create()
    {
        Destroy();
        form = std::make_unique<TForm1>();
        form2 = std::make_unique<TForm2>(form.get());
        Form2 = form2.get();
    }
    // Created and its chip list loaded, without showing (no activation probe).
    void CreateLoaded(const QByteArray& list = SampleList)
    {
        WriteFile(ListPath(), list);
        Create();
        form->FormShow();
    }
    // A programmer holding the given chip.
    sim::DeviceId Plug(sim::ChipOptions chip = {})
    {
        sim::DeviceOptions options;
        options.chip = std::move(chip);
        return sim::addDevice(options);
    }
    // Command codes sent to the command endpoint, in order.
    static std::vector<int> CommandCodes() { return testsupport::SentCommandCodes(); }
    static int Opens() { return static_cast<int>(sim::calls(sim::Call::Claim).size()); }
    QStringList Log() const { return form->LogLines(); }
    std::vector<QString> Boxes() const { return fakes.ui.boxTexts(); }

    QTemporaryDir dir;
    QByteArray oldConfigHome_;
    testsupport::ScopedPlatformFakes fakes;
    testsupport::ScopedFakeDeviceChanges deviceChanges;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> form2;
};

} // namespace apptest
