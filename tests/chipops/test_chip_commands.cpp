// The five chip commands against the simulated programmer.
#include "app/form1_image_view.h"
#include "tests/chipops/chipops_fixture.h"

#include <QLineEdit>
#include <string>

using namespace chipops_test;
using platform::MsgResult;

namespace {
const QString Ready = QStringLiteral("就绪");
const QString ReadDone = QStringLiteral("读出操作完成！");
const QString WriteDone = QStringLiteral("写入操作完成！");
const QString EraseDone = QStringLiteral("擦除操作完成！");
const QString VerifyDone = QStringLiteral("校验操作完成！");
const QString AutoDone = QStringLiteral("自动编程校验通过！");
const QString Stamp = QStringLiteral(" (") + platform::DateTimeToStr(QDateTime(QDate(2026, 12, 8), QTime(10, 20, 14))) + u')';
} // namespace

// --- which chip check results let each command run ------------------------

struct MatrixCase {
    bool checkId;
    int type;  // selected model's Type
    sim::ChipType simType;
    bool read, write, erase, verify, autoProgram; // worker runs
};

class ResultMatrix : public ChipOpsTest, public ::testing::WithParamInterface<MatrixCase> {};

TEST_P(ResultMatrix, EachCommandRunsOnlyForItsOwnCodes)
{
    const MatrixCase c = GetParam();
    sim::ChipOptions chip;
    chip.type = c.simType;
    chip.erasePolls = 0;
    chip.size = 4096;
    // With the ID check the model is found by its ID (6), or missing (3).
    Setup(Chip(4096, 256, static_cast<std::uint8_t>(c.type), 5, c.simType == sim::ChipType::Nor ? 0xEF4017 : 0x123456),
          chip);
    form->CheckBox4->setChecked(c.checkId);

    struct Command {
        void (TForm1::*handler)();
        bool expected;
        QString line;
    };
    const Command commands[] = {
        {&TForm1::BitBtn2Click, c.read, ReadDone},   {&TForm1::BitBtn3Click, c.write, WriteDone},
        {&TForm1::BitBtn8Click, c.erase, EraseDone}, {&TForm1::BitBtn9Click, c.verify, VerifyDone},
        {&TForm1::BitBtn7Click, c.autoProgram, AutoDone},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.line.toStdString());
        FillImage(256); // write and verify need an image; read may trim it away
        sim::clearLog();
        fakes.ui.boxes.clear();
        const int beeps = fakes.system.beeps;
        const auto completions = [&] { return form->LogLines().count(command.line + Stamp); };
        const qsizetype before = completions();
        (form.get()->*command.handler)();
        const auto codes = CommandCodes();
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.back(), 8) << "connection always ends";
        EXPECT_EQ(form->StatusPanel(1), Ready);
        EXPECT_EQ(fakes.system.beeps - beeps, command.expected ? 1 : 0);
        // A verify that ran ends in its line or in a mismatch box (the chip
        // was erased just before); every other command that ran in its line.
        qsizetype outcomes = completions() - before;
        if (command.line == VerifyDone)
            for (const QString& box : Boxes())
                outcomes += box.startsWith(QStringLiteral("Flash 校验错误地址")) ? 1 : 0;
        EXPECT_EQ(outcomes, command.expected ? 1 : 0);
        if (command.expected && command.line != VerifyDone && command.line != AutoDone) {
            EXPECT_EQ(form->LogLines().front(), command.line + Stamp);
        }
        if (!command.expected) {
            EXPECT_LE(codes.size(), 2u) << "only the chip check and the end";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ChipCheck, ResultMatrix,
    ::testing::Values(
        // Without the ID check: Type 0 gives 6, Type 1 gives 4, Type 2 gives 1.
        MatrixCase{false, 0, sim::ChipType::Nor, true, true, true, true, true},
        MatrixCase{false, 1, sim::ChipType::Nor, true, true, true, true, true},
        MatrixCase{false, 2, sim::ChipType::Nor, true, false, false, false, false},
        // With it: the listed ID gives 6; an unknown ID gives 3 (no read or verify);
        // status 3 gives 1 (read only); a 24-series part gives 5 (nothing).
        MatrixCase{true, 0, sim::ChipType::Nor, true, true, true, true, true},
        MatrixCase{true, 0, sim::ChipType::PageErase, false, true, true, false, true},
        MatrixCase{true, 2, sim::ChipType::Status3, true, false, false, false, false},
        MatrixCase{true, 0, sim::ChipType::Eeprom24, false, false, false, false, false}),
    [](const ::testing::TestParamInfo<MatrixCase>& info) {
        const MatrixCase& c = info.param;
        const char* chip = "Other";
        switch (c.simType) {
        case sim::ChipType::Nor: chip = "Nor"; break;
        case sim::ChipType::PageErase: chip = "PageErase"; break;
        case sim::ChipType::Status3: chip = "Status3"; break;
        case sim::ChipType::Eeprom24: chip = "Eeprom24"; break;
        case sim::ChipType::None: chip = "NoChip"; break;
        }
        return std::string(c.checkId ? "IdCheck" : "NoIdCheck") + "_Type" + std::to_string(c.type) + "_" + chip;
    });

// --- read --------------------------------------------------------------------

TEST_F(ChipOpsTest, ReadMovesSixtyFourByteBlocksAndTrims)
{
    sim::ChipOptions chip;
    chip.size = 100;
    chip.image.assign(101, 0xFF);
    chip.image[0] = 0x11;
    chip.image[99] = 0x22;
    Setup(Chip(100, 16, 0), chip);
    form->BitBtn2Click();
    EXPECT_EQ(DataLengths(sim::Call::BulkRead, 0x85), (std::vector<int>{64, 64}));
    EXPECT_EQ(form->ImageLength, 100);
    EXPECT_EQ(form->ImageBuffer[99], 0x22);
    EXPECT_EQ(form->ImageBuffer[100], 0xFF); // past the chip the line floats high
    EXPECT_EQ(form->FlashEditor->DataSize(), 100);
    EXPECT_EQ(form->LogLines().front(), ReadDone + Stamp);
    EXPECT_EQ(fakes.system.beeps, 1);
    EXPECT_FALSE(ProgressShown());
    // Address 0 went out once, and its reply was read back before the data.
    const auto start = Commands(5);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(start[0].data.begin() + 8, start[0].data.begin() + 12),
              std::vector<std::uint8_t>(4, 0));
    const auto& log = sim::log();
    const auto sent = std::find_if(log.begin(), log.end(), [](const sim::CallRecord& r) {
        return r.call == sim::Call::BulkWrite && r.endpoint == 0x04 && r.head[1] == 5;
    });
    ASSERT_NE(sent, log.end());
    const auto next = std::find_if(sent + 1, log.end(),
                                   [](const sim::CallRecord& r) { return r.call == sim::Call::BulkRead; });
    ASSERT_NE(next, log.end());
    EXPECT_FALSE(next->data.empty()) << "the first read after command 5 is its reply, not data";
    EXPECT_EQ(form->StatusPanel(1), Ready);
}

TEST_F(ChipOpsTest, ReadRoundsAnOddLengthUpAndABlankChipToZero)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.image.assign(101, 0xFF);
    chip.image[100] = 0x5A;
    Setup(Chip(4096, 256, 0), chip);
    form->BitBtn2Click();
    EXPECT_EQ(form->ImageLength, 102);
    EXPECT_EQ(form->FlashEditor->DataSize(), 102);

    sim::memory(device).assign(4096, 0xFF);
    form->BitBtn2Click();
    EXPECT_EQ(form->ImageLength, 0);
    EXPECT_EQ(form->FlashEditor->DataSize(), 0);
    EXPECT_EQ(form->LogLines().front(), ReadDone + Stamp);
    EXPECT_EQ(LogCount(), 2);
}

TEST_F(ChipOpsTest, ReadShowsItsActivityWhileItRuns)
{
    sim::ChipOptions chip;
    chip.size = 64 * 1024;
    Setup(Chip(64 * 1024, 256, 0), chip);
    QStringList panels;
    bool shown = false;
    int maximum = 0;
    fakes.system.onPump = [&] {
        panels << form->StatusPanel(1);
        shown = shown || ProgressShown();
        maximum = form->Progress->maximum();
        fakes.clock.monotonic += 1000; // a second per pump
    };
    form->BitBtn2Click();
    ASSERT_FALSE(panels.isEmpty());
    EXPECT_EQ(panels.front(), QStringLiteral("读出 Flash ..."));
    EXPECT_TRUE(shown);
    EXPECT_EQ(maximum, 64 * 1024);
    EXPECT_FALSE(ProgressShown());
    EXPECT_EQ(form->Progress->value(), 0);
    // Elapsed time from the monotonic clock, one second per pump.
    const int seconds = static_cast<int>(panels.size());
    EXPECT_EQ(form->StatusPanel(3), QString::asprintf("00:%02d:%02d", seconds / 60, seconds % 60));
}

TEST_F(ChipOpsTest, ElapsedTimeIgnoresTheWallClock)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    fakes.system.onPump = [&] { fakes.clock.current = fakes.clock.current.addSecs(-3600); };
    form->BitBtn2Click();
    EXPECT_EQ(form->StatusPanel(3), QStringLiteral("00:00:00"));
}

// --- write -------------------------------------------------------------------

TEST_F(ChipOpsTest, WriteRoundsToWholePagesAndSendsPageBlocks)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(1000);
    form->BitBtn3Click();
    EXPECT_EQ(form->ImageLength, 1024);
    EXPECT_EQ(DataLengths(sim::Call::BulkWrite, 0x05), (std::vector<int>(4, 256)));
    EXPECT_TRUE(std::equal(form->ImageBuffer, form->ImageBuffer + 1000, sim::memory(device).begin()));
    EXPECT_EQ(form->LogLines().front(), WriteDone + Stamp);
    EXPECT_EQ(fakes.system.beeps, 1);
    // Command 5 went without read-back before the data.
    EXPECT_EQ(CommandCodes(), (std::vector<int>{7, 5, 8}));
}

TEST_F(ChipOpsTest, WriteWithoutPageSizeSends64ByteBlocksUnrounded)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 0, 0), chip);
    FillImage(1000);
    form->BitBtn3Click();
    EXPECT_EQ(form->ImageLength, 1000);
    const auto lengths = DataLengths(sim::Call::BulkWrite, 0x05);
    EXPECT_EQ(lengths.size(), 16u);
    EXPECT_EQ(lengths.front(), 64);
}

TEST_F(ChipOpsTest, WriteOfATypeOneChipPausesAfterwards)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.type = sim::ChipType::PageErase;
    Setup(Chip(4096, 64, 1), chip);
    FillImage(128);
    form->BitBtn3Click();
    ASSERT_FALSE(fakes.system.sleeps.empty());
    EXPECT_EQ(fakes.system.sleeps.back(), 100);
}

TEST_F(ChipOpsTest, OversizeQuestionNoSendsNothingMore)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(5000);
    fakes.ui.answers = {MsgResult::No};
    form->BitBtn3Click();
    EXPECT_EQ(form->ImageLength, 5120);
    ASSERT_EQ(fakes.ui.boxes.size(), 1u);
    EXPECT_EQ(fakes.ui.boxes[0].text, QStringLiteral("文件长度大于芯片容量,是否继续烧录?"));
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Info"));
    EXPECT_EQ(fakes.ui.boxes[0].icon, platform::MsgIcon::Question);
    EXPECT_EQ(fakes.ui.boxes[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{7, 8}));
    EXPECT_TRUE(DataLengths(sim::Call::BulkWrite, 0x05).empty());
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(fakes.system.beeps, 0);
    EXPECT_EQ(form->StatusPanel(3), QStringLiteral("00:00:00"));
}

TEST_F(ChipOpsTest, OversizeQuestionYesWritesTheChipSize)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(5000);
    fakes.ui.answers = {MsgResult::Yes};
    form->BitBtn3Click();
    EXPECT_EQ(DataLengths(sim::Call::BulkWrite, 0x05), (std::vector<int>(16, 256)));
    EXPECT_EQ(form->LogLines().front(), WriteDone + Stamp);
}

TEST_F(ChipOpsTest, EmptyImageMakesWriteVerifyAndAutoDoNothing)
{
    Setup(Chip(4096, 256, 0));
    form->ImageLength = 0;
    form->SetStatusPanel(1, QStringLiteral("x"));
    form->BitBtn3Click();
    form->BitBtn9Click();
    form->BitBtn7Click();
    EXPECT_TRUE(sim::log().empty());
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("x"));
    EXPECT_EQ(fakes.system.beeps, 0);
}

TEST_F(ChipOpsTest, LastBlockAtTheEndOfTheBufferStaysInside)
{
    // A full-size chip with a page size that does not divide it: the last
    // block reaches past the image buffer (AddressSanitizer watches).
    const int max = TForm1::MaxImageSize;
    sim::ChipOptions chip;
    chip.size = max;
    chip.image.assign(max, 0x00);
    Setup(Chip(max, 1000, 0), chip);
    sim::setRecording(sim::Recording::Calls);
    std::fill(form->ImageBuffer, form->ImageBuffer + max, 0x00);
    form->ImageLength = max;
    form->BitBtn3Click(); // rounding stops at the buffer's end
    EXPECT_EQ(form->ImageLength, max);
    EXPECT_EQ(form->LogLines().front(), WriteDone + Stamp);
    form->BitBtn9Click();
    EXPECT_EQ(form->LogLines().front(), VerifyDone + Stamp);
    form->BitBtn2Click();
    EXPECT_EQ(form->ImageLength, max);
    EXPECT_EQ(form->LogLines().front(), ReadDone + Stamp);
}

// --- erase ----------------------------------------------------------------

TEST_F(ChipOpsTest, EraseOfAChipStillBusyAtTheLastPollTimesOut)
{
    sim::ChipOptions chip;
    chip.erasePolls = -1; // busy for ever
    Setup(Chip(4096, 256, 0, /*delay*/ 0), chip);
    form->BitBtn8Click();
    EXPECT_EQ(sim::firmware(device).statusPolls, 2);
    EXPECT_EQ(sim::firmware(device).chipErases, 1);
    const auto erase = Commands(2);
    ASSERT_EQ(erase.size(), 1u);
    EXPECT_EQ(erase[0].data[17], 0x00);
    EXPECT_EQ(erase[0].data[18], 0x80);
    // Each poll waits 50 ms first (the read-backs add their own 50 ms).
    EXPECT_EQ(std::count(fakes.system.sleeps.begin(), fakes.system.sleeps.end(), 50), 1 + 2 * 2);
    ASSERT_EQ(fakes.ui.boxes.size(), 1u);
    EXPECT_EQ(fakes.ui.boxes[0].text, QStringLiteral("擦除超时！"));
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(fakes.system.beeps, 0);
    EXPECT_FALSE(ProgressShown());
    EXPECT_EQ(CommandCodes().back(), 8);

    // Auto-program does not go on to write a chip that is still busy.
    FillImage(512);
    sim::clearLog();
    fakes.ui.boxes.clear();
    form->BitBtn7Click();
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("擦除超时！")});
    EXPECT_TRUE(DataLengths(sim::Call::BulkWrite, 0x05).empty());
    EXPECT_TRUE(DataLengths(sim::Call::BulkRead, 0x85).empty());
    EXPECT_EQ(CommandCodes().back(), 8);
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(fakes.system.beeps, 0);
}

TEST_F(ChipOpsTest, EraseStopsPollingWhenTheChipIsReady)
{
    sim::ChipOptions chip;
    chip.erasePolls = 3;
    Setup(Chip(4096, 256, 0, 100), chip);
    form->BitBtn8Click();
    EXPECT_EQ(sim::firmware(device).statusPolls, 4); // three busy, one ready
    EXPECT_EQ(form->LogLines().front(), EraseDone + Stamp);
}

TEST_F(ChipOpsTest, EraseOfATypeOneChipErasesEveryPage)
{
    sim::ChipOptions chip;
    chip.type = sim::ChipType::PageErase;
    chip.size = 256;
    chip.pageSize = 16;
    Setup(Chip(256, 16, 1), chip);
    form->BitBtn8Click();
    std::vector<std::uint32_t> expected;
    for (std::uint32_t a = 0; a < 256; a += 16)
        expected.push_back(a);
    EXPECT_EQ(sim::firmware(device).pageErases, expected);
    EXPECT_EQ(sim::firmware(device).statusPolls, 0);
    EXPECT_EQ(form->LogLines().front(), EraseDone + Stamp);
}

TEST_F(ChipOpsTest, EraseOfATypeOneChipWithoutPageSizeStepsBy64)
{
    sim::ChipOptions chip;
    chip.type = sim::ChipType::PageErase;
    chip.size = 256;
    Setup(Chip(256, 0, 1), chip);
    form->BitBtn8Click();
    EXPECT_EQ(sim::firmware(device).pageErases, (std::vector<std::uint32_t>{0, 64, 128, 192}));
}

TEST_F(ChipOpsTest, EraseOfOtherTypesSendsNothing)
{
    sim::ChipOptions chip;
    Setup(Chip(4096, 256, 5), chip);
    form->CheckBox4->setChecked(true); // type 5 goes on only after an ID check
    form->ChipTable[0].Id = 0xEF4017;
    form->BitBtn8Click();
    EXPECT_EQ(CommandCodes(), (std::vector<int>{9, 8}));
    EXPECT_EQ(form->LogLines().front(), EraseDone + Stamp);
}

// --- verify -------------------------------------------------------------------

TEST_F(ChipOpsTest, VerifyReportsTheFirstDifferentAddress)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(1024);
    std::copy(form->ImageBuffer, form->ImageBuffer + 1024, sim::memory(device).begin());
    sim::memory(device)[256 + 5] ^= 0xFF;
    bool shownAtBox = true;
    fakes.ui.onBox = [&](const testsupport::RecordedBox&) { shownAtBox = ProgressShown(); };
    fakes.clock.stepMs = 0;
    form->BitBtn9Click();
    ASSERT_EQ(fakes.ui.boxes.size(), 1u);
    EXPECT_EQ(fakes.ui.boxes[0].text, QStringLiteral("Flash 校验错误地址: 105h"));
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Error"));
    EXPECT_FALSE(shownAtBox);
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(fakes.system.beeps, 1);
    EXPECT_EQ(form->StatusPanel(1), Ready);
}

TEST_F(ChipOpsTest, VerifyComparesTheWholeLastBlock)
{
    // The last block reaches past the image: write programs those bytes too,
    // so a chip byte there that differs from the buffer is a mismatch.
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.image.assign(4096, 0x00);
    Setup(Chip(4096, 256, 0), chip);
    std::fill(form->ImageBuffer, form->ImageBuffer + 4096, 0x00);
    form->ImageBuffer[300] = 0xEE; // beyond the image, inside its last block
    form->ImageLength = 300;
    int maximum = -1;
    fakes.system.onPump = [&] { maximum = form->Progress->maximum(); };
    form->BitBtn9Click();
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("Flash 校验错误地址: 12Ch")});
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(maximum, 300); // progress runs up to the image length
    EXPECT_EQ(DataLengths(sim::Call::BulkRead, 0x85), (std::vector<int>{256, 256}));

    // The same bytes on the chip: the compare passes.
    sim::memory(device)[300] = 0xEE;
    sim::memory(device)[512] = 0x01; // the block after the last one is not read
    fakes.ui.boxes.clear();
    form->BitBtn9Click();
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_EQ(form->LogLines().front(), VerifyDone + Stamp);
}

TEST_F(ChipOpsTest, VerifyOfAnImageLongerThanTheChipStopsAtTheChip)
{
    sim::ChipOptions chip;
    chip.size = 512;
    Setup(Chip(512, 256, 0), chip);
    std::fill(form->ImageBuffer, form->ImageBuffer + 2048, 0xFF);
    form->ImageLength = 2048;
    form->BitBtn9Click();
    EXPECT_EQ(DataLengths(sim::Call::BulkRead, 0x85).size(), 2u);
    EXPECT_EQ(form->LogLines().front(), VerifyDone + Stamp);
}

// --- auto-program ---------------------------------------------------------

TEST_F(ChipOpsTest, AutoProgramRunsAllThreeStepsAndLogsThePass)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.image.assign(4096, 0x00); // must be erased first
    Setup(Chip(4096, 256, 0), chip);
    FillImage(1000);
    form->BitBtn7Click();
    EXPECT_EQ(sim::firmware(device).chipErases, 1);
    EXPECT_TRUE(std::equal(form->ImageBuffer, form->ImageBuffer + 1024, sim::memory(device).begin()));
    EXPECT_EQ(form->LogLines(), QStringList{AutoDone + Stamp});
    EXPECT_EQ(fakes.system.beeps, 1);
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(ChipOpsTest, AutoProgramWithNoStepsOnlyTimesAndBeeps)
{
    Setup(Chip(4096, 256, 0));
    FillImage(100);
    form->CheckBox1->setChecked(false);
    form->CheckBox2->setChecked(false);
    form->CheckBox3->setChecked(false);
    form->BitBtn7Click();
    EXPECT_EQ(fakes.system.beeps, 1);
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{7, 8}));
}

// The write's question comes before the erase: No leaves the chip as it was,
// Yes erases and writes the chip's size without asking again.
TEST_F(ChipOpsTest, AutoProgramAsksAboutAnOversizeImageBeforeErasing)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.erasePolls = 2;
    chip.image.assign(4096, 0x5A);
    Setup(Chip(4096, 256, 0), chip);
    FillImage(5000);
    int erasesAtQuestion = -1;
    fakes.ui.onBox = [&](const testsupport::RecordedBox&) { erasesAtQuestion = static_cast<int>(Commands(2).size()); };

    fakes.ui.answers = {MsgResult::No};
    form->BitBtn7Click();
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("文件长度大于芯片容量,是否继续烧录?")});
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Info"));
    EXPECT_EQ(fakes.ui.boxes[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(erasesAtQuestion, 0);
    EXPECT_EQ(CommandCodes(), (std::vector<int>{7, 8}));
    EXPECT_TRUE(DataLengths(sim::Call::BulkWrite, 0x05).empty());
    EXPECT_EQ(sim::memory(device), std::vector<std::uint8_t>(4096, 0x5A));
    EXPECT_EQ(form->ImageLength, 5120); // rounded to pages, as a declined write leaves it
    EXPECT_EQ(fakes.system.beeps, 0);
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(form->StatusPanel(3), QStringLiteral("00:00:00"));
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("就绪"));

    sim::clearLog();
    fakes.ui.boxes.clear();
    fakes.ui.answers = {MsgResult::Yes};
    form->BitBtn7Click();
    EXPECT_EQ(Boxes().size(), 1u) << "asked once";
    EXPECT_EQ(erasesAtQuestion, 0);
    EXPECT_EQ(sim::firmware(device).chipErases, 1);
    EXPECT_EQ(DataLengths(sim::Call::BulkWrite, 0x05), (std::vector<int>(16, 256)));
    EXPECT_TRUE(std::equal(sim::memory(device).begin(), sim::memory(device).end(), form->ImageBuffer));
    EXPECT_EQ(form->LogLines(), QStringList{AutoDone + Stamp});
    EXPECT_EQ(fakes.system.beeps, 1);
}

TEST_F(ChipOpsTest, AutoProgramVerifyFailureShowsBothBoxes)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(512);
    form->CheckBox1->setChecked(false);
    form->CheckBox2->setChecked(false);
    form->BitBtn7Click();
    ASSERT_EQ(fakes.ui.boxes.size(), 2u);
    EXPECT_EQ(fakes.ui.boxes[0].text, QStringLiteral("Flash 校验错误地址: 0h"));
    EXPECT_EQ(fakes.ui.boxes[1].text, QStringLiteral("自动编程校验失败！"));
    EXPECT_EQ(fakes.ui.boxes[1].caption, QStringLiteral("信息提示"));
    EXPECT_EQ(fakes.ui.boxes[1].icon, platform::MsgIcon::None);
    EXPECT_EQ(fakes.ui.boxes[1].buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(LogCount(), 0);
    EXPECT_EQ(fakes.system.beeps, 1);
}

// --- chips the buffer cannot hold, no chip -------------------------------

TEST_F(ChipOpsTest, ChipSizesOutsideTheBufferStopOnlyTheCommandsThatMoveData)
{
    const QString bad = QStringLiteral("芯片容量无效！");
    for (const int size : {-1, TForm1::MaxImageSize + 1}) {
        SCOPED_TRACE(size);
        form->ComboBox1->clear();
        sim::ChipOptions chip;
        chip.erasePolls = 0;
        Setup(Chip(size, 256, 0), chip);
        FillImage(100);
        sim::clearLog();
        fakes.ui.boxes.clear();
        const int logs = LogCount();
        form->BitBtn2Click();
        form->BitBtn3Click();
        form->BitBtn9Click();
        form->BitBtn7Click(); // write and verify steps ticked
        EXPECT_TRUE(sim::log().empty()) << "refused before anything is sent";
        EXPECT_EQ(Boxes(), std::vector<QString>(4, bad));
        EXPECT_EQ(form->ImageLength, 100);
        EXPECT_EQ(LogCount(), logs);

        // Erase moves nothing through the image: it runs for any chip.
        form->BitBtn8Click();
        EXPECT_EQ(CommandCodes(), (std::vector<int>{7, 2, 10, 8}));
        EXPECT_EQ(form->LogLines().front(), EraseDone + Stamp);
        // So does an auto-program that only erases.
        sim::clearLog();
        form->CheckBox2->setChecked(false);
        form->CheckBox3->setChecked(false);
        form->BitBtn7Click();
        EXPECT_EQ(CommandCodes(), (std::vector<int>{7, 2, 10, 8}));
        EXPECT_EQ(Boxes().size(), 4u);
        EXPECT_EQ(fakes.system.beeps, 2);
        form->CheckBox2->setChecked(true);
        form->CheckBox3->setChecked(true);
        fakes.system.beeps = 0;
        sim::reset();
    }
}

TEST_F(ChipOpsTest, AutoProgramThatCannotWriteDoesNotEraseFirst)
{
    Setup(Chip(TForm1::MaxImageSize + 1, 256, 0));
    FillImage(100);
    form->CheckBox3->setChecked(false); // erase and write
    form->BitBtn7Click();
    EXPECT_TRUE(CommandCodes().empty());
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("芯片容量无效！")});
    EXPECT_EQ(fakes.system.beeps, 0);
}

TEST_F(ChipOpsTest, ChipOfSizeZeroReadsAnEmptyImageAndMovesNoData)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.image.assign(16, 0x5A);
    Setup(Chip(0, 256, 0), chip);
    FillImage(100);
    ShowImageInView(*form);
    ASSERT_EQ(form->FlashEditor->DataSize(), 100);
    form->BitBtn2Click();
    EXPECT_EQ(form->ImageLength, 0);
    EXPECT_EQ(form->FlashEditor->DataSize(), 0);
    EXPECT_TRUE(DataLengths(sim::Call::BulkRead, 0x85).empty());
    EXPECT_EQ(form->LogLines().front(), ReadDone + Stamp);
    EXPECT_TRUE(fakes.ui.boxes.empty());

    // Verify compares nothing and passes.
    FillImage(100);
    form->BitBtn9Click();
    EXPECT_TRUE(DataLengths(sim::Call::BulkRead, 0x85).empty());
    EXPECT_EQ(form->LogLines().front(), VerifyDone + Stamp);

    // Write still asks about the longer image, then sends no block.
    fakes.ui.answers.push_back(MsgResult::Yes);
    form->BitBtn3Click();
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("文件长度大于芯片容量,是否继续烧录?")});
    EXPECT_TRUE(DataLengths(sim::Call::BulkWrite, 0x05).empty());
    EXPECT_EQ(form->LogLines().front(), WriteDone + Stamp);
    EXPECT_EQ(fakes.system.beeps, 3);
}

// With the ID check the size belongs to the chip that detection selects, not
// to the one selected before.
TEST_F(ChipOpsTest, IdCheckTestsTheSizeOfTheDetectedChip)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    chip.image.assign(16, 0x5A);
    AddModel(Chip(TForm1::MaxImageSize + 1, 256, 0, 100, 0x123456)); // selected, too big
    Setup(Chip(4096, 256, 0), chip);                                  // the detected ID
    form->ComboBox1->setCurrentIndex(0);
    form->CheckBox4->setChecked(true);
    form->BitBtn2Click();
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1);
    EXPECT_EQ(form->ImageLength, 16);
    EXPECT_EQ(form->LogLines().front(), ReadDone + Stamp);

    // The other way round: detection picks a chip that is too big.
    form->ChipTable[0] = Chip(4096, 256, 0, 100, 0x123456);
    form->ChipTable[1].Size = TForm1::MaxImageSize + 1;
    form->ComboBox1->setCurrentIndex(0);
    sim::clearLog();
    form->BitBtn2Click();
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("芯片容量无效！")});
    EXPECT_EQ(CommandCodes(), (std::vector<int>{9, 8}));
    EXPECT_EQ(fakes.system.beeps, 1);
    EXPECT_EQ(form->StatusPanel(1), Ready);
}

TEST_F(ChipOpsTest, NoSelectedChipGivesOneBox)
{
    sim::addDevice();
    form->ComboBox1->setCurrentIndex(-1);
    FillImage(100);
    form->BitBtn2Click();
    EXPECT_EQ(fakes.ui.boxes.size(), 1u);
    EXPECT_TRUE(DataLengths(sim::Call::BulkRead, 0x85).empty());
    EXPECT_EQ(form->StatusPanel(1), Ready);
}

TEST_F(ChipOpsTest, NoProgrammerEndsWithoutWorker)
{
    AddModel(Chip(4096, 256, 0));
    form->ComboBox1->setCurrentIndex(0);
    form->BitBtn2Click();
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("没有找到编程器")});
    EXPECT_EQ(fakes.system.beeps, 0);
    EXPECT_EQ(form->StatusPanel(1), Ready);
}

// --- re-entry -------------------------------------------------------------

TEST_F(ChipOpsTest, CommandsAndProbesWaitWhileAWorkerPumps)
{
    sim::ChipOptions chip;
    chip.size = 64 * 1024;
    Setup(Chip(64 * 1024, 256, 0), chip);
    FillImage(100);
    int pumps = 0;
    fakes.system.onPump = [&] {
        if (pumps++ > 0)
            return;
        sim::clearLog();
        form->BitBtn2Click();
        form->BitBtn3Click();
        form->BitBtn8Click();
        form->BitBtn9Click();
        form->BitBtn7Click();
        form->BitBtn1Click();
        form->BitBtn4Click();
        deviceChanges.fireAll();
        // Nothing was sent or opened under the running read.
        EXPECT_TRUE(sim::calls(sim::Call::Open).empty());
        EXPECT_EQ(CommandCodes().size(), 0u);
        EXPECT_TRUE(form->ProbePending() || deviceChanges.sources().empty());
    };
    form->BitBtn2Click();
    ASSERT_GT(pumps, 0);
    EXPECT_TRUE(fakes.ui.openDialogs.empty());
    EXPECT_TRUE(fakes.ui.saveDialogs.empty());
    EXPECT_EQ(fakes.system.beeps, 1);
    EXPECT_FALSE(form->Busy());
}
