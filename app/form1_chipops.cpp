// The chip commands: read, write, erase, verify and auto-program.
#include "app/chipops_plan.h"
#include "app/form1_image_view.h"
#include "app/protocol.h"
#include "app/unit1.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "link/usbasp.h"
#include "platform/exceptions.h"
#include "platform/seams.h"
#include "platform/streams.h"

#include <QCheckBox>
#include <QProgressBar>
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {

const QString CommFailureText = QStringLiteral("编程器通信失败！");
const QString NoChipText = QStringLiteral("请选择芯片型号！");
const QString BadSizeText = QStringLiteral("芯片容量无效！");
const QString EraseTimeoutText = QStringLiteral("擦除超时！");

bool Accepted(int result, std::initializer_list<int> codes)
{
    return std::find(codes.begin(), codes.end(), result) != codes.end();
}

// Shows the progress bar for one worker and hides it again however the worker
// ends. Positions and pumps go through the throttle (see ProgressThrottle).
class WorkerProgress {
public:
    WorkerProgress(QProgressBar* bar, std::int64_t maximum)
        : bar_(bar), throttle_(std::max<std::int64_t>(maximum, 0))
    {
        bar_->setRange(0, static_cast<int>(std::clamp<std::int64_t>(maximum, 0, INT32_MAX)));
        bar_->setValue(0);
        bar_->show();
    }
    ~WorkerProgress() { Hide(); }
    WorkerProgress(const WorkerProgress&) = delete;
    WorkerProgress& operator=(const WorkerProgress&) = delete;

    // Progress after a block: position, then a pump when one is due.
    void Step(std::int64_t position)
    {
        if (throttle_.PositionDue(position))
            bar_->setValue(static_cast<int>(position));
        if (throttle_.PumpDue(platform::clock().monotonicMs()))
            platform::ProcessMessages();
    }
    // Erase status polls are 100 ms apart anyway: every one shows and pumps.
    void StepAlways(std::int64_t position)
    {
        bar_->setValue(static_cast<int>(std::clamp<std::int64_t>(position, INT32_MIN, INT32_MAX)));
        platform::ProcessMessages();
    }
    void Hide()
    {
        if (hidden_)
            return;
        hidden_ = true;
        bar_->setValue(0);
        bar_->hide();
    }

private:
    QProgressBar* bar_;
    chipops::ProgressThrottle throttle_;
    bool hidden_ = false;
};

} // namespace

// Read, write and verify move the chip's bytes through the image buffer, so a
// size it cannot hold is refused; erase moves nothing through it and takes any
// chip.
static bool SizeFitsImage(TForm1& form)
{
    const ChipInfo* chip = form.SelectedChip();
    if (chip != nullptr && !chipops::ChipSizeValid(chip->Size, TForm1::MaxImageSize)) {
        form.ShowError(BadSizeText);
        return false;
    }
    return true;
}

// Runs the chip check and tells whether the command may go on with its worker.
static bool CheckAccepted(TForm1& form, std::initializer_list<int> codes)
{
    const int result = form.ChipCheck();
    if (!Accepted(result, codes))
        return false;
    if (form.SelectedChip() == nullptr) {
        form.ShowError(NoChipText);
        return false;
    }
    return true;
}
// A worker that fails hides its bar before the box and is marked failed, so
// its command ends without time, beep or log line.
static void ReportWorkerFailure(TForm1& form, WorkerProgress& progress, const QString& text = CommFailureText)
{
    progress.Hide();
    form.WorkerFailed = true;
    form.ShowError(text);
}

// The selected chip for a worker; reported and marked failed when unusable.
static const ChipInfo* WorkerChip(TForm1& form, bool throughImage)
{
    const ChipInfo* chip = form.SelectedChip();
    if (chip == nullptr) {
        form.ShowError(NoChipText);
        form.WorkerFailed = true;
        return nullptr;
    }
    if (throughImage && !SizeFitsImage(form)) {
        form.WorkerFailed = true;
        return nullptr;
    }
    return chip;
}

void ShowImageInView(TForm1& form)
{
    // Emptied without giving its memory back: the next image needs it again.
    form.ViewStream->SetSize(0);
    form.ViewStream->SetPosition(0);
    form.ViewStream->WriteBuffer(form.ImageBuffer, std::max(form.ImageLength, 0));
    form.ViewStream->SetPosition(0);
    form.FlashEditor->LoadFromStream(*form.ViewStream);
}

static void FinishCommand(TForm1& form, const QString& logText)
{
    form.EndTime = platform::clock().monotonicMs();
    form.ShowElapsedTime();
    platform::Beep();
    if (!logText.isEmpty())
        form.AddLogCompleted(logText);
}

void TForm1::ReadChip()
{
    WorkerFailed = false;
    const ChipInfo* chip = WorkerChip(*this, true);
    if (chip == nullptr)
        return;
    const std::int32_t size = chip->Size;
    const int block = chipops::BlockSize(chip->PageSize);
    SetStatusPanel(1, QStringLiteral("读出 Flash ..."));
    WorkerProgress progress(Progress, size);

    if (!SetAddress(0, 1)) {
        ReportWorkerFailure(*this, progress);
        return;
    }
    // Whole blocks go into a scratch image, so a failed read leaves the
    // image, its length and the view as they were. The view stream serves as
    // that scratch: it only carries bytes to the view and keeps its memory
    // between commands, which spares a fresh 64 MiB allocation per read.
    const std::int64_t span = (static_cast<std::int64_t>(size) + block - 1) / block * block;
    platform::TMemoryStream& scratch = *ViewStream;
    scratch.SetSize(span);
    auto* data = reinterpret_cast<unsigned char*>(scratch.Memory());
    for (std::int64_t offset = 0; offset < size; offset += block) {
        if (usb->usbasp_bulk_read(data + offset, block) != block) {
            ReportWorkerFailure(*this, progress);
            return;
        }
        progress.Step(offset);
    }
    // The last block may reach past the chip; what fits in the buffer is kept.
    // A chip of size 0 leaves the scratch without memory and nothing to copy.
    if (span > 0)
        std::memcpy(ImageBuffer, data, static_cast<std::size_t>(std::min<std::int64_t>(span, MaxImageSize)));
    ImageLength = chipops::TrimmedImageLength(ImageBuffer, size);
    // The stream already starts with the image: cut it to the length and show it.
    // Rounding to even can take the length one byte past the blocks read; that
    // byte is the image's too.
    scratch.SetSize(ImageLength);
    if (ImageLength > span)
        std::memcpy(scratch.Memory() + span, ImageBuffer + span, static_cast<std::size_t>(ImageLength - span));
    scratch.SetPosition(0);
    FlashEditor->LoadFromStream(scratch);
}

// The image length grown to whole pages and the number of bytes a write
// sends; declined when the image is longer than the chip and the user said No.
struct WritePlan {
    std::int32_t length = 0;
    std::int32_t count = 0;
    bool declined = false;
};

static WritePlan PlanWrite(TForm1& form, const ChipInfo& chip)
{
    WritePlan plan;
    plan.length = chipops::RoundUpToPages(form.ImageLength, chip.PageSize, TForm1::MaxImageSize);
    plan.count = std::max(plan.length, 0);
    if (chip.Size < plan.length) {
        const auto answer = platform::MessageBox(QStringLiteral("文件长度大于芯片容量,是否继续烧录?"),
                                                 QStringLiteral("Info"), platform::MsgIcon::Question,
                                                 platform::MsgButtons::YesNo);
        plan.declined = answer == platform::MsgResult::No;
        plan.count = chip.Size;
    }
    return plan;
}

// The write worker. Auto-program settles the question before its erase step
// and passes the plan in, so that it is not asked twice.
static int RunWrite(TForm1& form, const WritePlan* settled)
{
    form.WorkerFailed = false;
    const ChipInfo* chip = WorkerChip(form, true);
    if (chip == nullptr)
        return -1;
    form.SetStatusPanel(1, QStringLiteral("编程 Flash ..."));
    const WritePlan plan = settled != nullptr ? *settled : PlanWrite(form, *chip);
    form.ImageLength = plan.length;
    if (plan.declined)
        return 0;
    const std::int32_t count = plan.count;
    const int block = chipops::BlockSize(chip->PageSize);
    WorkerProgress progress(form.Progress, count);

    if (!form.SetAddress(0, 0)) {
        ReportWorkerFailure(form, progress);
        return -1;
    }
    std::vector<unsigned char> bounce;
    for (std::int64_t offset = 0; offset < count; offset += block) {
        unsigned char* source = form.ImageBuffer + offset;
        if (offset + block > TForm1::MaxImageSize) {
            // The last block passes the buffer's end: send what is there, then 0xFF.
            bounce.assign(static_cast<std::size_t>(block), 0xFF);
            std::memcpy(bounce.data(), source, static_cast<std::size_t>(TForm1::MaxImageSize - offset));
            source = bounce.data();
        }
        if (form.usb->usbasp_bulk_write(source, block) != block) {
            ReportWorkerFailure(form, progress);
            return -1;
        }
        progress.Step(offset);
    }
    if (chip->Type == 1)
        platform::Sleep(100);
    return 1;
}

int TForm1::WriteChip() { return RunWrite(*this, nullptr); }

void TForm1::EraseChip()
{
    WorkerFailed = false;
    const ChipInfo* chip = WorkerChip(*this, false);
    if (chip == nullptr)
        return;
    SetStatusPanel(1, QStringLiteral("擦除 Flash ..."));
    if (chip->Type == 0) {
        WorkerProgress progress(Progress, chip->Delay);
        protocol::CommandBlock erase = protocol::EraseCommand(protocol::WholeChipEraseAddress);
        if (!SendBlock(erase, 0)) {
            ReportWorkerFailure(*this, progress);
            return;
        }
        // At most Delay + 2 polls. A chip still busy at the last one has not
        // finished: writing to it now would be lost.
        for (std::int64_t n = 0;;) {
            platform::Sleep(50);
            protocol::CommandBlock status = protocol::StatusCommand();
            if (!SendBlock(status, 1)) {
                ReportWorkerFailure(*this, progress);
                return;
            }
            if (chip->Delay < n) {
                if (protocol::StatusBusy(status))
                    ReportWorkerFailure(*this, progress, EraseTimeoutText);
                break;
            }
            ++n;
            progress.StepAlways(n);
            if (!protocol::StatusBusy(status))
                break;
        }
    } else if (chip->Type == 1) {
        WorkerProgress progress(Progress, chip->Size);
        const int step = chipops::ErasePageStep(chip->PageSize);
        for (std::int64_t address = 0; address < chip->Size; address += step) {
            protocol::CommandBlock erase = protocol::EraseCommand(static_cast<std::uint32_t>(address));
            if (!SendBlock(erase, 0)) {
                ReportWorkerFailure(*this, progress);
                return;
            }
            progress.Step(address);
        }
    } else {
        // Other parts have nothing to erase: the bar only shows and hides.
        WorkerProgress progress(Progress, 0);
    }
}

int TForm1::VerifyChip()
{
    WorkerFailed = false;
    const ChipInfo* chip = WorkerChip(*this, true);
    if (chip == nullptr)
        return -1;
    SetStatusPanel(1, QStringLiteral("校验 Flash ..."));
    const std::int32_t count = std::max(std::min(chip->Size, ImageLength), 0);
    const int block = chipops::BlockSize(chip->PageSize);
    WorkerProgress progress(Progress, ImageLength);

    if (!SetAddress(0, 1)) {
        ReportWorkerFailure(*this, progress);
        return -1;
    }
    std::vector<unsigned char> compare(static_cast<std::size_t>(block));
    for (std::int64_t offset = 0; offset < count; offset += block) {
        if (usb->usbasp_bulk_read(compare.data(), block) != block) {
            ReportWorkerFailure(*this, progress);
            return -1;
        }
        // The whole block, also past count: write sent and programmed those
        // bytes too. Only the end of the buffer limits the last one.
        const int n = static_cast<int>(std::min<std::int64_t>(block, MaxImageSize - offset));
        const int at = chipops::FirstDifference(compare.data(), ImageBuffer + offset, n);
        if (at >= 0) {
            progress.Hide();
            ShowError(QStringLiteral("Flash 校验错误地址: %1h")
                          .arg(QString::number(offset + at, 16).toUpper()));
            return 0;
        }
        progress.Step(offset);
    }
    return 1;
}

// The frame every chip command runs in: one command at a time, an image for
// the commands that send one, the chip check with the results this command
// accepts, the start time, and the connection ended however the command
// leaves. A command that moves data through the image buffer has its chip's
// size checked: before anything is sent without the ID check, and after the
// check with it, since detection may select another chip.
template <class Work>
static void RunChipCommand(TForm1& form, bool needsImage, bool throughImage, std::initializer_list<int> accepted,
                           Work work)
{
    platform::Guarded([&] {
        CommandScope scope(form);
        if (!scope.entered() || (needsImage && form.ImageLength <= 0))
            return;
        const bool sizeFirst = !form.CheckBox4->isChecked();
        if (throughImage && sizeFirst && !SizeFitsImage(form))
            return;
        ConnectionEnd end(form);
        if (!CheckAccepted(form, accepted))
            return;
        if (throughImage && !sizeFirst && !SizeFitsImage(form))
            return;
        form.StartTime = platform::clock().monotonicMs();
        work();
    });
}

void TForm1::BitBtn2Click()
{
    RunChipCommand(*this, false, true, {1, 4, 6}, [this] {
        ReadChip();
        if (!WorkerFailed)
            FinishCommand(*this, QStringLiteral("读出操作完成！"));
    });
}

void TForm1::BitBtn3Click()
{
    RunChipCommand(*this, true, true, {3, 4, 6}, [this] {
        if (WriteChip() == 1)
            FinishCommand(*this, QStringLiteral("写入操作完成！"));
    });
}

void TForm1::BitBtn8Click()
{
    RunChipCommand(*this, false, false, {3, 4, 6}, [this] {
        EraseChip();
        if (!WorkerFailed)
            FinishCommand(*this, QStringLiteral("擦除操作完成！"));
    });
}

void TForm1::BitBtn9Click()
{
    RunChipCommand(*this, true, true, {4, 6}, [this] {
        const int verified = VerifyChip();
        if (verified < 0)
            return;
        // The log line comes before the time, and only for a passed compare.
        if (verified == 1)
            AddLogCompleted(QStringLiteral("校验操作完成！"));
        FinishCommand(*this, QString());
    });
}

void TForm1::BitBtn7Click()
{
    // Its write and verify steps go through the image; an erase alone does
    // not. The size is checked before the erase, so a chip that cannot be
    // written is not left erased.
    const bool throughImage = CheckBox2->isChecked() || CheckBox3->isChecked();
    RunChipCommand(*this, true, throughImage, {3, 4, 6}, [this] {
        // The write's question comes before the erase: a No must leave the
        // chip as it was.
        WritePlan write;
        if (CheckBox2->isChecked()) {
            write = PlanWrite(*this, *SelectedChip());
            if (write.declined) {
                ImageLength = write.length;
                return; // no time, no beep, no line
            }
        }
        if (CheckBox1->isChecked()) {
            EraseChip();
            if (WorkerFailed)
                return;
        }
        if (CheckBox2->isChecked() && RunWrite(*this, &write) != 1)
            return; // failed: no time, no beep, no line
        if (CheckBox3->isChecked()) {
            const int verified = VerifyChip();
            if (verified < 0)
                return;
            if (verified == 1)
                AddLogCompleted(QStringLiteral("自动编程校验通过！"));
            else
                platform::MessageBox(QStringLiteral("自动编程校验失败！"), QStringLiteral("信息提示"),
                                     platform::MsgIcon::None, platform::MsgButtons::Ok);
        }
        FinishCommand(*this, QString());
    });
}
