#pragma once
// A main window wired to the simulated programmer, with every platform
// effect faked: boxes, sleeps, beeps, pumps, clock and device changes.
#include "app/unit1.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "platform/paths.h"
#include "platform/streams.h"
#include "sim/sim.h"
#include "tests/support/fake_devicechange.h"
#include "tests/support/fakes.h"
#include "tests/support/sim_commands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace chipops_test {

inline ChipInfo Chip(std::int32_t size, std::int16_t pageSize, std::uint8_t type, std::int32_t delay = 100,
                     std::int32_t id = 0xEF4017)
{
    ChipInfo c;
    c.Name = "TESTCHIP";
    c.Id = id;
    c.Size = size;
    c.PageSize = pageSize;
    c.Type = type;
    c.Delay = delay;
    return c;
}

class ChipOpsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        platform::SetProgramPathForTesting(dir.path() + QStringLiteral("/qv750"));
        sim::reset();
        fakes.system.clock = &fakes.clock;
        form = std::make_unique<TForm1>();
        // Without a settings file the ID check starts ticked; most tests want plain selection.
        form->CheckBox4->setChecked(false);
        // The program must not have touched anything yet.
        fakes.ui.boxes.clear();
    }
    void TearDown() override
    {
        form.reset();
        sim::reset();
        platform::SetProgramPathForTesting(QString());
    }

    // One chip model in the list, selected; a programmer holding `chip`.
    sim::DeviceId Setup(const ChipInfo& model, sim::ChipOptions chip = {})
    {
        AddModel(model);
        form->ComboBox1->setCurrentIndex(form->ComboBox1->count() - 1);
        sim::DeviceOptions options;
        options.chip = chip;
        device = sim::addDevice(options);
        return device;
    }
    void AddModel(const ChipInfo& model)
    {
        const int index = form->ComboBox1->count();
        form->ChipTable[static_cast<size_t>(index)] = model;
        form->ComboBox1->addItem(QString::fromLatin1(model.Name));
    }

    // Command blocks sent, in order, as their command codes.
    static std::vector<int> CommandCodes() { return testsupport::SentCommandCodes(); }
    static std::vector<sim::CallRecord> Commands(int code) { return testsupport::SentCommands(code); }
    // Lengths of the data transfers on one endpoint (0x05 out, 0x85 in, not replies).
    static std::vector<int> DataLengths(sim::Call call, int endpoint)
    {
        std::vector<int> lengths;
        for (const auto& r : sim::calls(call))
            if (r.endpoint == endpoint && r.data.empty())
                lengths.push_back(r.length);
        return lengths;
    }
    void FillImage(int length, unsigned char seed = 1)
    {
        for (int i = 0; i < length; ++i)
            form->ImageBuffer[i] = static_cast<unsigned char>(seed + i * 7);
        form->ImageLength = length;
    }
    bool ProgressShown() const { return !form->Progress->isHidden(); }
    int LogCount() const { return static_cast<int>(form->LogLines().size()); }
    std::vector<QString> Boxes() const { return fakes.ui.boxTexts(); }

    QTemporaryDir dir;
    testsupport::ScopedPlatformFakes fakes;
    testsupport::ScopedFakeDeviceChanges deviceChanges;
    std::unique_ptr<TForm1> form;
    sim::DeviceId device = -1;
};

} // namespace chipops_test
