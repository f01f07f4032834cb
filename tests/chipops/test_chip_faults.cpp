// Failed, short and timed-out transfers and an unplugged programmer in the
// middle of every chip command.
#include "tests/chipops/chipops_fixture.h"

using namespace chipops_test;

namespace {

const QString CommFailure = QStringLiteral("编程器通信失败！");

struct FaultCase {
    const char* name;
    sim::FaultKind kind;
};

const FaultCase Kinds[] = {
    {"unplug", sim::FaultKind::Unplug},
    {"timeout", sim::FaultKind::Timeout},
    {"short", sim::FaultKind::Short},
};

sim::Fault At(sim::FaultKind kind, int endpoint, long long at)
{
    sim::Fault f;
    f.kind = kind;
    f.endpoint = endpoint;
    f.at = at;
    f.shortBy = 1;
    return f;
}

} // namespace

class FaultTest : public ChipOpsTest {
protected:
    // What every failed command must show: one error box, no completion
    // line, no beep, the bar hidden and the device closed again.
    void ExpectFailedCleanly(const char* what, int logLinesBefore)
    {
        SCOPED_TRACE(what);
        ASSERT_EQ(fakes.ui.boxes.size(), 1u);
        EXPECT_EQ(fakes.ui.boxes[0].text, CommFailure);
        EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(fakes.ui.boxes[0].icon, platform::MsgIcon::Error);
        EXPECT_EQ(LogCount(), logLinesBefore);
        EXPECT_EQ(fakes.system.beeps, 0);
        EXPECT_FALSE(ProgressShown());
        EXPECT_EQ(form->StatusPanel(1), QStringLiteral("就绪"));
        EXPECT_EQ(sim::openHandles(device), 0);
        EXPECT_FALSE(form->Busy());
    }
    void Reset()
    {
        fakes.ui.boxes.clear();
        fakes.system.beeps = 0;
    }
};

TEST_F(FaultTest, FailedReadKeepsTheImageTheViewAndTheLength)
{
    for (const FaultCase& c : Kinds) {
        // at 2: the start address read-back; at 5: the third data block.
        for (const long long at : {2LL, 5LL}) {
            sim::reset();
            form->ComboBox1->clear();
            sim::ChipOptions chip;
            chip.size = 4096;
            chip.image.assign(4096, 0x33);
            Setup(Chip(4096, 256, 0), chip);
            FillImage(300, 9);
            std::vector<unsigned char> before(form->ImageBuffer, form->ImageBuffer + 8192);
            // Put the image into the view as Open would.
            form->ViewStream->Clear();
            form->ViewStream->WriteBuffer(form->ImageBuffer, 300);
            form->FlashEditor->LoadFromStream(*form->ViewStream);
            const QByteArray view = form->FlashEditor->AsText().toLatin1();
            Reset();
            sim::addFault(device, At(c.kind, 0x85, at));
            const int lines = LogCount();
            form->BitBtn2Click();
            ExpectFailedCleanly(c.name, lines);
            EXPECT_EQ(form->ImageLength, 300) << c.name << at;
            EXPECT_TRUE(std::equal(before.begin(), before.end(), form->ImageBuffer)) << c.name << at;
            EXPECT_EQ(form->FlashEditor->AsText().toLatin1(), view) << c.name << at;
        }
    }
}

TEST_F(FaultTest, FailedWriteStopsAtTheBlock)
{
    for (const FaultCase& c : Kinds) {
        sim::reset();
        form->ComboBox1->clear();
        sim::ChipOptions chip;
        chip.size = 4096;
        Setup(Chip(4096, 256, 0), chip);
        FillImage(2048);
        Reset();
        const int lines = LogCount();
        sim::addFault(device, At(c.kind, 0x05, 3));
        form->BitBtn3Click();
        ExpectFailedCleanly(c.name, lines);
        // Nothing after the failed block.
        EXPECT_EQ(DataLengths(sim::Call::BulkWrite, 0x05).size(), 3u) << c.name;
    }
}

TEST_F(FaultTest, FailedStartAddressStopsTheWrite)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(512);
    // Transfers on the command endpoint: 7, then 5.
    sim::addFault(device, At(sim::FaultKind::Timeout, 0x04, 2));
    form->BitBtn3Click();
    ExpectFailedCleanly("start address", 0);
    EXPECT_TRUE(DataLengths(sim::Call::BulkWrite, 0x05).empty());
}

TEST_F(FaultTest, FailedEraseCommandOrStatusPoll)
{
    for (const FaultCase& c : Kinds) {
        // Whole-chip erase: the erase block (2nd command), then a status read-back.
        for (const auto& [endpoint, at] : {std::pair{0x04, 2LL}, std::pair{0x85, 2LL}}) {
            sim::reset();
            form->ComboBox1->clear();
            sim::ChipOptions chip;
            chip.erasePolls = 5;
            Setup(Chip(4096, 256, 0, 100), chip);
            Reset();
            sim::addFault(device, At(c.kind, endpoint, at));
            form->BitBtn8Click();
            ExpectFailedCleanly(c.name, 0);
            if (endpoint == 0x85) {
                EXPECT_EQ(sim::firmware(device).statusPolls, 1) << c.name;
            }
        }
        // Page erase: the third page command fails; no more pages follow.
        sim::reset();
        form->ComboBox1->clear();
        sim::ChipOptions pages;
        pages.type = sim::ChipType::PageErase;
        pages.size = 1024;
        pages.pageSize = 64;
        Setup(Chip(1024, 64, 1), pages);
        Reset();
        sim::addFault(device, At(c.kind, 0x04, 1 + 3));
        form->BitBtn8Click();
        ExpectFailedCleanly(c.name, 0);
        // The two pages before it went; the failed one may have reached the chip.
        const auto erased = sim::firmware(device).pageErases.size();
        EXPECT_TRUE(erased == 2u || erased == 3u) << c.name << " " << erased;
    }
}

TEST_F(FaultTest, FailedVerifyReadIsNotAMismatch)
{
    for (const FaultCase& c : Kinds) {
        sim::reset();
        form->ComboBox1->clear();
        sim::ChipOptions chip;
        chip.size = 4096;
        Setup(Chip(4096, 256, 0), chip);
        std::fill(form->ImageBuffer, form->ImageBuffer + 2048, 0xFF);
        form->ImageLength = 2048;
        Reset();
        sim::addFault(device, At(c.kind, 0x85, 4));
        form->BitBtn9Click();
        ExpectFailedCleanly(c.name, 0);
    }
}

TEST_F(FaultTest, AutoProgramStopsAtTheFailedStep)
{
    for (const FaultCase& c : Kinds) {
        sim::reset();
        form->ComboBox1->clear();
        sim::ChipOptions chip;
        chip.size = 4096;
        chip.erasePolls = 0;
        Setup(Chip(4096, 256, 0), chip);
        FillImage(1024);
        Reset();
        sim::addFault(device, At(c.kind, 0x05, 2)); // second data block of the write
        form->BitBtn7Click();
        ExpectFailedCleanly(c.name, 0);
        EXPECT_EQ(sim::firmware(device).chipErases, 1) << c.name;
        // The verify step never started: only read-backs of commands 7 and 10.
        for (const auto& r : sim::calls(sim::Call::BulkRead))
            EXPECT_FALSE(r.data.empty()) << c.name;
    }
}

TEST_F(FaultTest, UnplugBetweenCommandsIsCaughtByTheNextOne)
{
    sim::ChipOptions chip;
    chip.size = 4096;
    Setup(Chip(4096, 256, 0), chip);
    FillImage(512);
    form->BitBtn3Click();
    EXPECT_EQ(LogCount(), 1);
    Reset();
    // Gone in the middle of the next read, at its first data block.
    sim::addFault(device, At(sim::FaultKind::Unplug, 0x85, 3));
    form->BitBtn2Click();
    ExpectFailedCleanly("unplug", 1);
    EXPECT_EQ(form->ImageLength, 512);
}
