// Chip check, Detect, end of connection, the probe, device changes,
// activation and the re-entry guard, against the simulated programmer.
#include "app_fixture.h"

#include "app/protocol.h"
#include "link/usbasp.h"

#include <QApplication>
#include <QPushButton>
#include <functional>
#include <stdexcept>
#include <utility>

using apptest::AppTest;

namespace {
const QString ProbeLine = QStringLiteral("检测到编程器，工作状态正常。");

sim::ChipOptions ChipWithId(std::uint32_t id, std::uint32_t size = 8u << 20)
{
    sim::ChipOptions c;
    c.id = id;
    c.size = size;
    return c;
}
} // namespace

class ProgrammerTest : public AppTest {
protected:
    // Loaded list, CHECKID unticked, nothing shown yet.
    void Ready()
    {
        CreateLoaded();
        form->CheckBox4->setChecked(false);
        fakes.ui.boxes.clear();
        sim::clearLog();
    }
    int ProbeLines() const
    {
        int n = 0;
        for (const QString& line : Log())
            n += line.startsWith(ProbeLine) ? 1 : 0;
        return n;
    }
};

TEST_F(ProgrammerTest, SelectChipSendsCommand7AndMapsTheType)
{
    Ready();
    const auto dev = Plug();
    struct Case {
        int index;
        int result;
    };
    // W25X80 (Type 0), PAGECHIP (Type 1), READONLY (Type 5), 24C256 (Type 1)
    for (const Case c : {Case{0, 6}, Case{2, 4}, Case{3, 1}, Case{4, 4}}) {
        form->ComboBox1->setCurrentIndex(c.index);
        EXPECT_EQ(form->SelectChip(), c.result) << c.index;
        EXPECT_TRUE(form->usb->isOpen()) << "left open for the worker";
        form->EndConnection();
        EXPECT_FALSE(form->usb->isOpen());
    }
    // The W25X80 block as the programmer received it.
    form->ComboBox1->setCurrentIndex(0);
    form->ComboBox2->setCurrentIndex(5);
    form->SelectChip();
    const auto& block = sim::firmware(dev).lastChipBlock;
    ASSERT_EQ(block.size(), 64u);
    const std::vector<std::uint8_t> head = {0x00, 0x07, 0x00, 0x00, 0x00, 0x01, 0xC8, 0x00, 0x00,
                                            0x00, 0x10, 0x00, 0x15, 0x30, 0xEF, 0x00, 0x05};
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 17), head);
    EXPECT_EQ(std::string(block.begin() + 17, block.begin() + 23), "W25X80");
    EXPECT_EQ(block[23], 0);
    form->EndConnection();
    EXPECT_EQ(CommandCodes().back(), 8);
    EXPECT_EQ(sim::openHandles(dev), 0);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProgrammerTest, NoProgrammer)
{
    Ready();
    EXPECT_EQ(form->SelectChip(), 0);
    EXPECT_EQ(form->DetectChip(), 0);
    EXPECT_EQ(Boxes(), (std::vector<QString>{"没有找到编程器", "没有找到编程器"}));
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(fakes.ui.boxes[0].icon, platform::MsgIcon::Error);
    form->SetStatusPanel(1, QStringLiteral("x"));
    form->EndConnection();
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("就绪"));
    EXPECT_TRUE(CommandCodes().empty());
}

TEST_F(ProgrammerTest, ChipCheckWithNothingSelectedRefusesBeforeOpening)
{
    Ready();
    Plug();
    form->ComboBox1->setCurrentIndex(-1);
    EXPECT_EQ(form->SelectChip(), 0);
    EXPECT_EQ(form->ChipCheck(), 0);
    EXPECT_EQ(Boxes(), (std::vector<QString>{"请选择芯片型号！", "请选择芯片型号！"}));
    EXPECT_EQ(Opens(), 0);
    EXPECT_TRUE(CommandCodes().empty());
}

TEST_F(ProgrammerTest, ChipCheckPicksDetectWhenCheckIdIsTicked)
{
    Ready();
    Plug(ChipWithId(0xEF4017));
    form->ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(form->ChipCheck(), 6);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{7}));
    form->EndConnection();
    sim::clearLog();
    form->CheckBox4->setChecked(true);
    EXPECT_EQ(form->ChipCheck(), 6);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{9}));
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1) << "the detected chip is selected";
    form->EndConnection();
}

TEST_F(ProgrammerTest, DetectKnownAndUnknownIds)
{
    Ready();
    const auto dev = Plug(ChipWithId(0xEF4017));
    form->ComboBox1->setCurrentIndex(3);
    EXPECT_EQ(form->DetectChip(), 6);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1);
    EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 8 MB"));
    EXPECT_EQ(sim::firmware(dev).lastChipBlock[1], 9);
    form->EndConnection();

    sim::reset();
    Plug(ChipWithId(0xEF3016));
    form->ComboBox1->setCurrentIndex(2);
    EXPECT_EQ(form->DetectChip(), 3);
    EXPECT_EQ(Boxes(), (std::vector<QString>{"未知型号芯片ID =EF 30 16请手动选择兼容型号。"}));
    EXPECT_EQ(form->ComboBox1->currentIndex(), 2) << "selection stays";
    form->EndConnection();
}

TEST_F(ProgrammerTest, DetectSeries24AndOtherStatuses)
{
    Ready();
    sim::ChipOptions eeprom;
    eeprom.type = sim::ChipType::Eeprom24;
    eeprom.id = 0;
    eeprom.size = 32768;
    Plug(eeprom);
    form->ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(form->DetectChip(), 5);
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("24C256"));
    EXPECT_EQ(Log(), QStringList{QStringLiteral("已检测检测到24系列芯片，请手动选择型号")});
    form->EndConnection();

    sim::reset();
    eeprom.size = 1024; // not in the list
    Plug(eeprom);
    form->ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(form->DetectChip(), 5);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(Log().size(), 2);
    form->EndConnection();

    sim::reset();
    sim::ChipOptions status3;
    status3.type = sim::ChipType::Status3;
    Plug(status3);
    EXPECT_EQ(form->DetectChip(), 1);
    form->EndConnection();

    for (int status : {0, 4}) {
        sim::reset();
        sim::ChipOptions empty;
        empty.type = sim::ChipType::None;
        empty.noChipStatus = status;
        Plug(empty);
        EXPECT_EQ(form->DetectChip(), 2) << status;
        form->EndConnection();
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProgrammerTest, DetectCommandBoxes)
{
    Ready();
    Plug(ChipWithId(0xEF4017));
    form->CheckBox4->setChecked(false); // Detect always checks the ID
    form->BitBtn6->click();
    ASSERT_EQ(fakes.ui.boxes.size(), 1u);
    EXPECT_EQ(fakes.ui.boxes[0].text, QStringLiteral("检测到芯片：W25Q64\n\n芯片容量 8 MB"));
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("信息提示"));
    EXPECT_EQ(fakes.ui.boxes[0].icon, platform::MsgIcon::Information);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{9, 8}));
    EXPECT_FALSE(form->usb->isOpen());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("就绪"));

    sim::reset();
    sim::ChipOptions empty;
    empty.type = sim::ChipType::None;
    Plug(empty);
    fakes.ui.boxes.clear();
    form->N5->trigger();
    EXPECT_EQ(Boxes(), (std::vector<QString>{"没有检测到芯片，请放置芯片再试！"}));

    sim::reset();
    fakes.ui.boxes.clear();
    form->BitBtn6->click();
    EXPECT_EQ(Boxes(), (std::vector<QString>{"没有找到编程器"})) << "no second box";
}

TEST_F(ProgrammerTest, DetectBoxWithNothingSelectedShowsAnEmptyName)
{
    Ready();
    sim::ChipOptions status3;
    status3.type = sim::ChipType::Status3;
    const auto dev = Plug(status3);
    form->ComboBox1->setCurrentIndex(-1);
    form->ComboBox1Change();
    form->BitBtn6Click();
    EXPECT_EQ(Boxes(), (std::vector<QString>{"检测到芯片：\n\n芯片容量 -"}));
    // The identify block went out with an empty record.
    const auto& block = sim::firmware(dev).lastChipBlock;
    ASSERT_EQ(block.size(), 64u);
    for (int i = 2; i < 16; ++i)
        EXPECT_EQ(block[i], 0) << i;
    EXPECT_EQ(block[17], 0);
}

TEST_F(ProgrammerTest, DetectedChipWithNoModelChosenRefusesTheWorker)
{
    Ready();
    Plug(ChipWithId(0xABCDEF));
    form->CheckBox4->setChecked(true);
    form->ComboBox1->setCurrentIndex(-1);
    EXPECT_EQ(form->ChipCheck(), 0) << "ID unknown and no model: nothing to work with";
    EXPECT_EQ(Boxes().back(), QStringLiteral("请选择芯片型号！"));
    form->EndConnection();
    EXPECT_FALSE(form->usb->isOpen());
}

// However the Detect command and the probe leave once the device is open,
// the connection ends: command 8 goes out and the device is released and
// closed, before anything else could open it again.
TEST_F(ProgrammerTest, DetectAndProbeEndTheConnectionWhenAnExceptionLeavesThem)
{
    Ready();
    const auto dev = Plug(ChipWithId(0xABCDEF)); // unknown ID: detection shows a box
    fakes.ui.onBox = [](const testsupport::RecordedBox&) { throw std::runtime_error("box failed"); };
    const std::pair<const char*, std::function<void()>> runs[] = {
        {"detect", [&] { form->BitBtn6->click(); }},
        {"probe", [&] { deviceChanges.latest()->fire(); }},
    };
    for (const auto& [what, run] : runs) {
        sim::clearLog();
        fakes.ui.exceptions.clear();
        form->SetStatusPanel(1, QStringLiteral("-"));
        run();
        EXPECT_EQ(fakes.ui.exceptions, std::vector<QString>{QString()}) << what << ": shown in the exception box";
        EXPECT_EQ(CommandCodes(), (std::vector<int>{9, 8})) << what;
        EXPECT_EQ(sim::calls(sim::Call::Release).size(), sim::calls(sim::Call::Claim).size()) << what;
        EXPECT_EQ(sim::calls(sim::Call::Close).size(), sim::calls(sim::Call::Open).size()) << what;
        EXPECT_EQ(sim::openHandles(dev), 0) << what;
        EXPECT_FALSE(form->usb->isOpen()) << what;
        EXPECT_EQ(form->StatusPanel(1), QStringLiteral("就绪")) << what;
        EXPECT_FALSE(form->Busy()) << what;
    }
}

TEST_F(ProgrammerTest, ProbeLogsOncePerSecondAndDetects)
{
    Ready();
    const auto dev = Plug(ChipWithId(0xEF4017));
    form->ComboBox1->setCurrentIndex(0);
    form->CheckProgrammer();
    const QString stamp = platform::NowText();
    EXPECT_EQ(Log(), QStringList{ProbeLine + QStringLiteral(" (") + stamp + u')'});
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("W25Q64"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 8 MB"));
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("就绪"));
    EXPECT_EQ(sim::openHandles(dev), 0);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{9, 8}));

    form->CheckProgrammer(); // same second
    EXPECT_EQ(ProbeLines(), 1);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{9, 8, 9, 8})) << "the chip is detected again";

    fakes.clock.current = fakes.clock.current.addSecs(1);
    form->CheckProgrammer();
    EXPECT_EQ(ProbeLines(), 2);
    EXPECT_NE(Log()[0], Log()[1]);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProgrammerTest, ProbeWithoutProgrammerOnlySetsThePanel)
{
    Ready();
    form->CheckProgrammer();
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("编程器未接入"));
    EXPECT_TRUE(Log().isEmpty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProgrammerTest, EachDeviceChangeProbes)
{
    Ready();
    Plug(ChipWithId(0xEF4017));
    ASSERT_NE(deviceChanges.latest(), nullptr);
    for (int i = 0; i < 3; ++i) {
        deviceChanges.latest()->fire();
        fakes.clock.current = fakes.clock.current.addSecs(1);
    }
    EXPECT_EQ(ProbeLines(), 3);
    EXPECT_EQ(Opens(), 6) << "two opens per probe";
}

TEST_F(ProgrammerTest, ProbeWhileBusyIsDeferredAndRunsOnce)
{
    Ready();
    Plug(ChipWithId(0xEF4017));
    {
        CommandScope scope(*form);
        ASSERT_TRUE(scope.entered());
        EXPECT_TRUE(form->Busy());
        deviceChanges.latest()->fire();
        deviceChanges.latest()->fire();
        form->CheckProgrammer();
        EXPECT_EQ(Opens(), 0);
        EXPECT_TRUE(form->ProbePending());
        // Another command is refused while this one runs.
        CommandScope second(*form);
        EXPECT_FALSE(second.entered());
        form->BitBtn6Click();
        EXPECT_EQ(Opens(), 0);
        EXPECT_TRUE(Boxes().empty());
    }
    EXPECT_FALSE(form->Busy());
    EXPECT_FALSE(form->ProbePending());
    EXPECT_EQ(ProbeLines(), 1);
    EXPECT_EQ(Opens(), 2);
}

TEST_F(ProgrammerTest, DeviceChangeDuringAProbeBoxRunsAfterIt)
{
    Ready();
    Plug(ChipWithId(0x111111)); // unknown: the probe's detect shows a box
    int fired = 0;
    fakes.ui.onBox = [&](const testsupport::RecordedBox&) {
        if (fired++ == 0)
            deviceChanges.latest()->fire();
    };
    form->CheckProgrammer();
    EXPECT_EQ(Boxes().size(), 2u) << "the deferred probe ran once after the first";
    EXPECT_FALSE(form->Busy());
}

TEST_F(ProgrammerTest, CloseWaitsForTheRunningCommand)
{
    Ready();
    form->show();
    QApplication::processEvents();
    {
        CommandScope scope(*form);
        form->close();
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(form->ClosePending());
        EXPECT_FALSE(QFile::exists(IniPath()));
    }
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->ClosePending());
    EXPECT_TRUE(QFile::exists(IniPath()));
}

TEST_F(ProgrammerTest, ActivationProbesOnlyWhenFirstShownOrBackFromOwnForm)
{
    Ready();
    Plug(ChipWithId(0xEF4017));
    form->WindowActivated(nullptr);
    EXPECT_EQ(Opens(), 0) << "not shown yet";
    form->show();
    QApplication::processEvents();
    const int afterShow = Opens();
    if (afterShow == 0) {
        // The platform did not activate the window itself.
        form->WindowActivated(nullptr);
    }
    EXPECT_EQ(Opens(), 2) << "first activation probes";
    form->WindowActivated(nullptr); // back from another application or a box
    EXPECT_EQ(Opens(), 2);
    QWidget box; // a plain window of ours that is not a form
    form->WindowActivated(&box);
    EXPECT_EQ(Opens(), 2);
    form->WindowActivated(form2.get());
    EXPECT_EQ(Opens(), 4) << "back from the chip table dialog";
    form->hide();
    form->show();
    form->WindowActivated(nullptr);
    EXPECT_GE(Opens(), 6) << "shown again";
}

TEST_F(ProgrammerTest, FailedChipCheckExchangeIsReportedAndStopsTheCommand)
{
    Ready();
    struct Case {
        bool checkId;
        sim::FaultKind kind;
        int endpoint;
    };
    for (const Case c : {Case{false, sim::FaultKind::Timeout, 0x85}, Case{true, sim::FaultKind::Timeout, 0x85},
                         Case{false, sim::FaultKind::Short, 0x85}, Case{true, sim::FaultKind::Short, 0x85},
                         Case{true, sim::FaultKind::Timeout, 0x04}}) {
        sim::reset();
        fakes.ui.boxes.clear();
        const auto dev = Plug(ChipWithId(0xEF4017));
        form->ComboBox1->setCurrentIndex(1);
        form->CheckBox4->setChecked(c.checkId);
        sim::Fault fault;
        fault.kind = c.kind;
        fault.at = 1;
        fault.endpoint = c.endpoint;
        sim::addFault(dev, fault);

        EXPECT_EQ(form->ChipCheck(), 0) << c.checkId;
        EXPECT_EQ(Boxes(), (std::vector<QString>{"编程器通信失败！"})) << c.checkId;
        form->EndConnection();
        EXPECT_EQ(sim::openHandles(dev), 0);

        // The read command stops after the failed check: no start address, no data.
        fakes.ui.boxes.clear();
        sim::clearFaults(dev);
        sim::addFault(dev, fault);
        sim::clearLog();
        const int lines = static_cast<int>(Log().size());
        form->BitBtn2Click();
        const auto codes = CommandCodes();
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 5), 0) << c.checkId;
        EXPECT_EQ(static_cast<int>(Log().size()), lines) << "no completion line";
        EXPECT_EQ(Boxes(), (std::vector<QString>{"编程器通信失败！"}));
    }
}
