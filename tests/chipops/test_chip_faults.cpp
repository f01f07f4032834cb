// Failed, short and timed-out transfers and an unplugged programmer in the
// middle of every chip command.
#include "app/form1_image_view.h"
#include "tests/chipops/chipops_fixture.h"

#include <string>

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

namespace {

// A chip of four 256-byte blocks; a whole-chip erase is busy for two polls
// and ready at the third.
constexpr int ChipSize = 1024;
constexpr int Block = 256;
// Short of the chip's last page, so that a write's rounding to whole pages
// shows in the length; still four blocks to read, verify and write.
constexpr int ImageSize = 900;

struct Where {
    const char* name;
    int endpoint;
    long long at; // n-th transfer on the endpoint
};

struct CommandFaults {
    const char* name;
    void (TForm1::*handler)();
    bool pageErase;
    // Places from this one on leave the length rounded to whole pages (the
    // write step has begun); -1: none do.
    int roundedFrom;
    std::vector<Where> places;
};

// Transfers on each endpoint, in order:
//   read, verify  0x04: 7, 5       0x85: reply 7, reply 5, blocks 3-6
//   write         0x04: 7, 5       0x85: reply 7           0x05: blocks 1-4
//   erase         0x04: 7, 2, 10 x3                        0x85: reply 7, status replies 2-4
//   page erase    0x04: 7, pages 2-5
//   auto-program  0x04: 7, 2, 10 x3, 5, 5   0x05: blocks 1-4
//                 0x85: reply 7, status replies 2-4, reply 5, blocks 6-9
const CommandFaults Table[] = {
    {"read", &TForm1::BitBtn2Click, false, -1,
     {{"chip check", 0x04, 1}, {"start address", 0x85, 2}, {"first block", 0x85, 3}, {"middle block", 0x85, 4},
      {"last block", 0x85, 6}}},
    {"write", &TForm1::BitBtn3Click, false, 1,
     {{"chip check", 0x04, 1}, {"start address", 0x04, 2}, {"first block", 0x05, 1}, {"middle block", 0x05, 2},
      {"last block", 0x05, 4}}},
    {"verify", &TForm1::BitBtn9Click, false, -1,
     {{"chip check", 0x04, 1}, {"start address", 0x85, 2}, {"first block", 0x85, 3}, {"middle block", 0x85, 4},
      {"last block", 0x85, 6}}},
    {"erase", &TForm1::BitBtn8Click, false, -1,
     {{"chip check", 0x04, 1}, {"erase command", 0x04, 2}, {"last status poll", 0x85, 4}}},
    {"page erase", &TForm1::BitBtn8Click, true, -1,
     {{"chip check", 0x04, 1}, {"first page", 0x04, 2}, {"last page", 0x04, 5}}},
    {"auto-program", &TForm1::BitBtn7Click, false, 3,
     {{"chip check", 0x04, 1}, {"erase command", 0x04, 2}, {"last status poll", 0x85, 4},
      {"first block written", 0x05, 1}, {"last block written", 0x05, 4}, {"first block verified", 0x85, 6},
      {"last block verified", 0x85, 9}}},
};

// The transfer the fault hit, and what followed it.
struct AfterFault {
    bool found = false;
    bool failed = false;
    int dataBlocks = 0; // data moved or asked for after the fault
    int commands = 0;   // command blocks sent after it
};

AfterFault Inspect(int endpoint, long long at)
{
    AfterFault a;
    long long seen = 0;
    for (const sim::CallRecord& r : sim::log()) {
        if (r.call != sim::Call::BulkWrite && r.call != sim::Call::BulkRead)
            continue;
        if (!a.found) {
            if (r.endpoint == endpoint && ++seen == at) {
                a.found = true;
                a.failed = r.result != r.length;
            }
            continue;
        }
        if (r.endpoint == 0x05 || (r.endpoint == 0x85 && r.length == Block))
            ++a.dataBlocks;
        if (r.endpoint == 0x04)
            ++a.commands;
    }
    return a;
}

} // namespace

// Every command, with a timeout, a short transfer or an unplug at its chip
// check, its first, a middle and its last data block (erase: its command and
// its last status poll): one error box, no completion line, nothing sent
// after the failed transfer but the end, and the image and the view as they
// were. The length is as it was too, but for a write step that has begun:
// that has already grown it to whole pages, the bytes unchanged.
TEST_F(FaultTest, EveryCommandStopsCleanlyAtAFailedTransfer)
{
    for (const CommandFaults& command : Table) {
        for (int place = 0; place < static_cast<int>(command.places.size()); ++place) {
            const Where& where = command.places[static_cast<std::size_t>(place)];
            const bool rounded = command.roundedFrom >= 0 && place >= command.roundedFrom;
            for (const FaultCase& c : Kinds) {
                const std::string what = std::string(command.name) + ", " + where.name + ", " + c.name;
                SCOPED_TRACE(what);
                sim::reset();
                form->ComboBox1->clear();
                FillImage(ImageSize, 9);
                sim::ChipOptions chip;
                chip.size = ChipSize;
                chip.erasePolls = 2;
                if (command.pageErase) {
                    chip.type = sim::ChipType::PageErase;
                    chip.pageSize = Block;
                }
                // Verify would pass, read would change the image.
                if (command.handler == &TForm1::BitBtn9Click)
                    chip.image.assign(form->ImageBuffer, form->ImageBuffer + ChipSize);
                else
                    chip.image.assign(ChipSize, 0x33);
                Setup(Chip(ChipSize, Block, command.pageErase ? 1 : 0, /*delay*/ 50), chip);
                ShowImageInView(*form);
                const std::vector<unsigned char> image(form->ImageBuffer, form->ImageBuffer + 4 * ChipSize);
                const QByteArray view = form->FlashEditor->AsText().toLatin1();
                Reset();
                sim::addFault(device, At(c.kind, where.endpoint, where.at));
                const int lines = LogCount();

                (form.get()->*command.handler)();

                ExpectFailedCleanly(what.c_str(), lines);
                const AfterFault after = Inspect(where.endpoint, where.at);
                ASSERT_TRUE(after.found);
                EXPECT_TRUE(after.failed);
                EXPECT_EQ(after.dataBlocks, 0);
                EXPECT_LE(after.commands, 1) << "only the end of the connection";
                EXPECT_EQ(form->ImageLength, rounded ? 1024 : ImageSize);
                EXPECT_TRUE(std::equal(image.begin(), image.end(), form->ImageBuffer));
                EXPECT_EQ(form->FlashEditor->AsText().toLatin1(), view);
            }
        }
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
