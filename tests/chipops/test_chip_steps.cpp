// What each chip command shows while it runs and in which order it reports:
// status texts, progress ranges, read-backs, erase polling, the end of a
// command (time, beep, log line) and the auto-program step combinations.
#include "tests/chipops/chipops_fixture.h"

#include <string>
#include <utility>

using namespace chipops_test;

namespace {

const QString Stamp = QStringLiteral(" (") + platform::DateTimeToStr(QDateTime(QDate(2026, 12, 8), QTime(10, 20, 14))) + u')';
const QString AutoDone = QStringLiteral("自动编程校验通过！");

// Replies read back after command blocks (data blocks carry no copy).
int Replies()
{
    int n = 0;
    for (const auto& r : sim::calls(sim::Call::BulkRead))
        if (r.endpoint == 0x85 && !r.data.empty())
            ++n;
    return n;
}

} // namespace

class StepTest : public ChipOpsTest {
protected:
    // Status panel 1, the bar's range and its position at every pump.
    struct Seen {
        QStringList panels;
        std::vector<int> maxima;
        std::vector<int> positions;
    };
    Seen Watch(void (TForm1::*handler)())
    {
        Seen seen;
        fakes.system.onPump = [&] {
            seen.panels << form->StatusPanel(1);
            seen.maxima.push_back(form->Progress->maximum());
            seen.positions.push_back(form->Progress->value());
        };
        sim::clearLog();
        (form.get()->*handler)();
        fakes.system.onPump = nullptr;
        return seen;
    }
    static bool All(const QStringList& panels, const QString& text)
    {
        return !panels.isEmpty() && panels.count(text) == panels.size();
    }
};

TEST_F(StepTest, EachWorkerShowsItsActivityAndItsProgressRange)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.erasePolls = 2;
    Setup(Chip(4096, 256, 0, /*delay*/ 50), chip);

    FillImage(1000);
    Seen write = Watch(&TForm1::BitBtn3Click);
    EXPECT_TRUE(All(write.panels, QStringLiteral("编程 Flash ..."))) << write.panels.join(u',').toStdString();
    EXPECT_EQ(write.maxima.front(), 1024); // the length after rounding to pages
    EXPECT_EQ(Replies(), 1) << "only command 7 reads back: the start address goes without";

    Seen verify = Watch(&TForm1::BitBtn9Click);
    EXPECT_TRUE(All(verify.panels, QStringLiteral("校验 Flash ...")));
    EXPECT_EQ(verify.maxima.front(), 1024);
    EXPECT_EQ(Replies(), 2) << "command 7 and the start address";

    Seen read = Watch(&TForm1::BitBtn2Click);
    EXPECT_TRUE(All(read.panels, QStringLiteral("读出 Flash ...")));
    EXPECT_EQ(read.maxima.front(), 4096);
    EXPECT_EQ(read.positions.front(), 0);
    EXPECT_EQ(Replies(), 2);

    // Whole-chip erase: the range is the poll limit, one step per poll.
    Seen erase = Watch(&TForm1::BitBtn8Click);
    EXPECT_TRUE(All(erase.panels, QStringLiteral("擦除 Flash ...")));
    EXPECT_EQ(erase.maxima.front(), 50);
    EXPECT_EQ(erase.positions, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Replies(), 1 + 3);

    EXPECT_FALSE(ProgressShown());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("就绪"));
}

TEST_F(StepTest, OversizeWriteRunsTheBarUpToTheChipSize)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(5000);
    fakes.ui.answers = {platform::MsgResult::Yes};
    Seen write = Watch(&TForm1::BitBtn3Click);
    ASSERT_FALSE(write.maxima.empty());
    EXPECT_EQ(write.maxima.front(), 4096);
    EXPECT_EQ(write.positions.front(), 0);
}

TEST_F(StepTest, PageEraseRunsTheBarOverTheChipSize)
{
    sim::ChipOptions chip;
    chip.type = sim::ChipType::PageErase;
    chip.size = 1024;
    chip.pageSize = 256;
    Setup(Chip(1024, 256, 1), chip);
    Seen erase = Watch(&TForm1::BitBtn8Click);
    ASSERT_FALSE(erase.maxima.empty());
    EXPECT_EQ(erase.maxima.front(), 1024);
    EXPECT_EQ(erase.positions.front(), 0);
    EXPECT_TRUE(All(erase.panels, QStringLiteral("擦除 Flash ...")));
}

// The limit is checked before the step and the busy bit after it: a poll
// that hits the limit neither moves the bar nor pumps. A chip still busy at
// that poll has timed out; one that is ready there has finished.
TEST_F(StepTest, ErasePollingChecksTheLimitBeforeTheBusyBit)
{
    struct Case {
        int delay;
        int busyPolls; // -1: busy for ever
        int polls;
        std::vector<int> positions;
        bool timedOut;
    };
    const Case cases[] = {
        {0, -1, 2, {1}, true},
        {2, -1, 4, {1, 2, 2}, true}, // the third step passes the range: the bar stays full
        {0, 1, 2, {1}, false},       // ready at the second poll, but the limit comes first
        {0, 2, 2, {1}, true},        // busy at the limit, ready only after it
        {5, 0, 1, {1}, false},       // ready at once: one step, then stop
        {5, 2, 3, {1, 2, 3}, false}, // two busy, one ready
        {-1, -1, 1, {}, true},       // a negative limit stops at the first poll
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "delay " << c.delay << " busy " << c.busyPolls);
        sim::reset();
        form->ComboBox1->clear();
        fakes.ui.boxes.clear();
        sim::ChipOptions chip;
        chip.erasePolls = c.busyPolls;
        Setup(Chip(4096, 256, 0, c.delay), chip);
        const int lines = LogCount();
        const int beeps = fakes.system.beeps;
        Seen erase = Watch(&TForm1::BitBtn8Click);
        EXPECT_EQ(sim::firmware(device).statusPolls, c.polls);
        EXPECT_EQ(erase.positions, c.positions);
        EXPECT_EQ(LogCount(), lines + (c.timedOut ? 0 : 1));
        EXPECT_EQ(fakes.system.beeps, beeps + (c.timedOut ? 0 : 1));
        EXPECT_EQ(Boxes(), c.timedOut ? std::vector<QString>{QStringLiteral("擦除超时！")} : std::vector<QString>{});
    }
}

// End of a command: time, beep, then the line; verify and auto-program put
// their line first.
TEST_F(StepTest, TheLineFollowsTheBeepExceptAfterAVerify)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.erasePolls = 0;
    Setup(Chip(4096, 256, 0), chip);
    fakes.system.onPump = [&] { fakes.clock.monotonic += 1000; };
    struct AtBeep {
        int lines = -1;
        QString elapsed;
    } atBeep;
    fakes.system.onBeep = [&] {
        atBeep.lines = LogCount();
        atBeep.elapsed = form->StatusPanel(3);
    };
    struct Case {
        void (TForm1::*handler)();
        bool lineBeforeBeep;
        const char* name;
    };
    const Case cases[] = {
        {&TForm1::BitBtn8Click, false, "erase"}, {&TForm1::BitBtn3Click, false, "write"},
        {&TForm1::BitBtn9Click, true, "verify"}, {&TForm1::BitBtn7Click, true, "auto"},
        {&TForm1::BitBtn2Click, false, "read"},
    };
    FillImage(512);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->SetStatusPanel(3, QStringLiteral("00:00:00"));
        const int before = LogCount();
        const int beeps = fakes.system.beeps;
        atBeep = {};
        (form.get()->*c.handler)();
        ASSERT_EQ(fakes.system.beeps, beeps + 1);
        EXPECT_EQ(LogCount(), before + 1);
        EXPECT_EQ(atBeep.lines, c.lineBeforeBeep ? before + 1 : before);
        EXPECT_NE(atBeep.elapsed, QStringLiteral("00:00:00")) << "the time is shown before the beep";
    }
}

// Every combination of the three steps: which ran, in which order, and what
// was reported. The chip starts all 0x00, so only erase + write passes.
class AutoSteps : public StepTest, public ::testing::WithParamInterface<int> {};

TEST_P(AutoSteps, RunsTheTickedStepsInOrder)
{
    const bool erase = GetParam() & 1, write = GetParam() & 2, verify = GetParam() & 4;
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.erasePolls = 0;
    chip.image.assign(4096, 0x00);
    Setup(Chip(4096, 256, 0), chip);
    FillImage(1000); // byte 0 is 0x01
    form->CheckBox1->setChecked(erase);
    form->CheckBox2->setChecked(write);
    form->CheckBox3->setChecked(verify);
    form->BitBtn7Click();

    const bool pass = erase && write;
    EXPECT_EQ(sim::firmware(device).chipErases, erase ? 1 : 0);
    EXPECT_EQ(DataLengths(sim::Call::BulkWrite, 0x05).size(), write ? 4u : 0u);
    EXPECT_EQ(DataLengths(sim::Call::BulkRead, 0x85).size(), verify ? (pass ? 4u : 1u) : 0u);
    std::vector<int> codes;
    for (const int code : CommandCodes())
        if (code != 10)
            codes.push_back(code);
    std::vector<int> expected{7};
    if (erase)
        expected.push_back(2);
    if (write)
        expected.push_back(5);
    if (verify)
        expected.push_back(5);
    expected.push_back(8);
    EXPECT_EQ(codes, expected);

    EXPECT_EQ(fakes.system.beeps, 1);
    if (verify && pass) {
        EXPECT_EQ(form->LogLines(), QStringList{AutoDone + Stamp});
        EXPECT_TRUE(fakes.ui.boxes.empty());
    } else if (verify) {
        EXPECT_EQ(LogCount(), 0);
        EXPECT_EQ(Boxes(), (std::vector<QString>{QStringLiteral("Flash 校验错误地址: 0h"),
                                                 QStringLiteral("自动编程校验失败！")}));
    } else {
        EXPECT_EQ(LogCount(), 0);
        EXPECT_TRUE(fakes.ui.boxes.empty());
    }
    EXPECT_EQ(form->ImageLength, write ? 1024 : 1000);
}

INSTANTIATE_TEST_SUITE_P(EveryCombination, AutoSteps, ::testing::Range(0, 8),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name;
                             for (const auto& [bit, step] : {std::pair{1, "Erase"}, {2, "Write"}, {4, "Verify"}})
                                 if (info.param & bit)
                                     name += name.empty() ? step : std::string("_") + step;
                             return name.empty() ? std::string("NoStep") : name;
                         });

TEST_F(StepTest, DeclinedAutoProgramWriteLeavesTheElapsedTime)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.erasePolls = 2;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(5000);
    form->SetStatusPanel(3, QStringLiteral("12:34:56"));
    fakes.system.onPump = [&] { fakes.clock.monotonic += 1000; };
    fakes.ui.answers = {platform::MsgResult::No};
    form->BitBtn7Click();
    EXPECT_EQ(form->StatusPanel(3), QStringLiteral("12:34:56"));
    EXPECT_EQ(fakes.system.beeps, 0);
    EXPECT_EQ(LogCount(), 0);
}

// A block size that is odd can leave the rounded length one byte past the
// last block read; the view still shows exactly the image's first bytes.
TEST_F(StepTest, ReadViewShowsTheImageWhenTheLengthPassesTheLastBlock)
{
    sim::ChipOptions chip;
    chip.size = 195;
    chip.image.assign(195, 0x11);
    Setup(Chip(195, 65, 0), chip); // three blocks of 65 bytes
    form->ImageBuffer[195] = 0xAB;
    form->BitBtn2Click();
    ASSERT_EQ(form->ImageLength, 196);
    EXPECT_EQ(DataLengths(sim::Call::BulkRead, 0x85), (std::vector<int>{65, 65, 65}));
    EXPECT_EQ(form->FlashEditor->AsText().toLatin1(),
              QByteArray(reinterpret_cast<const char*>(form->ImageBuffer), form->ImageLength));
}

// Page addresses go out as their low 16 bits only: a chip above 64 KiB wraps.
TEST_F(StepTest, PageEraseSendsOnlyTheLowSixteenAddressBits)
{
    sim::ChipOptions chip;
    chip.type = sim::ChipType::PageErase;
    chip.size = 0x20000;
    chip.pageSize = 0x4000;
    Setup(Chip(0x20000, 0x4000, 1), chip);
    form->BitBtn8Click();
    EXPECT_EQ(sim::firmware(device).pageErases,
              (std::vector<std::uint32_t>{0, 0x4000, 0x8000, 0xC000, 0, 0x4000, 0x8000, 0xC000}));
    EXPECT_EQ(fakes.system.beeps, 1);
}

// A pump per block would cost more than the 256-byte transfer itself: the
// data workers pump at most once per 15 ms of monotonic time.
TEST_F(StepTest, DataWorkersPumpPerIntervalNotPerBlock)
{
    sim::ChipOptions chip;
    chip.size = 64 * 1024;
    Setup(Chip(64 * 1024, 256, 0), chip);
    FillImage(64 * 1024);
    sim::memory(device).assign(form->ImageBuffer, form->ImageBuffer + 64 * 1024);
    for (void (TForm1::*handler)() : {&TForm1::BitBtn3Click, &TForm1::BitBtn9Click, &TForm1::BitBtn2Click}) {
        fakes.system.pumps = 0;
        (form.get()->*handler)();
        EXPECT_EQ(fakes.system.pumps, 1) << "a still clock: only the first block pumps";
    }
    // 5 ms per block: every third of the 256 blocks.
    fakes.system.pumps = 0;
    fakes.clock.stepMs = 5;
    form->BitBtn2Click();
    EXPECT_NEAR(fakes.system.pumps, 256 / 3, 2);
    EXPECT_EQ(fakes.system.beeps, 4);
}
