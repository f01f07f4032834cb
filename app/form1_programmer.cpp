// Chip check, Detect, the end of a connection and the programmer probe.
#include "app/chiplist.h"
#include "app/logview.h"
#include "app/protocol.h"
#include "app/unit1.h"
#include "link/usbasp.h"
#include "platform/seams.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <span>

namespace {
const QString NoProgrammerText = QStringLiteral("没有找到编程器");
const QString NoChipSelectedText = QStringLiteral("请选择芯片型号！");
const QString CommFailureText = QStringLiteral("编程器通信失败！");
} // namespace

// Anything less than the whole block leaves it holding no reply worth reading.
bool TForm1::SendBlock(protocol::CommandBlock& block, int readback)
{
    return usb->usbasp_bulk_cmd(block.data(), static_cast<int>(block.size()), readback)
           == static_cast<int>(block.size());
}

const ChipInfo* TForm1::SelectedChip() const
{
    const int index = ComboBox1->currentIndex();
    if (index < 0 || index >= ChipCount() || index >= static_cast<int>(ChipTable.size()))
        return nullptr;
    return &ChipTable[static_cast<size_t>(index)];
}

int TForm1::ClockIndex() const { return ComboBox2->currentIndex(); }

int TForm1::SelectChip()
{
    const ChipInfo* chip = SelectedChip();
    if (!chip) {
        // Nothing to send the programmer: refuse before opening anything.
        ShowError(NoChipSelectedText);
        return protocol::NoProgrammer;
    }
    if (!usb->prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId)) {
        ShowError(NoProgrammerText);
        return protocol::NoProgrammer;
    }
    protocol::CommandBlock block = protocol::ChipParameters(protocol::CmdSetChip, *chip, ClockIndex());
    if (!SendBlock(block, 1)) {
        ShowError(CommFailureText);
        return protocol::NoProgrammer;
    }
    return protocol::SelectResult(chip->Type);
}

int TForm1::DetectChip()
{
    if (!usb->prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId)) {
        ShowError(NoProgrammerText);
        return protocol::NoProgrammer;
    }
    // Identification works without a chosen model: send an empty record then.
    const ChipInfo* chip = SelectedChip();
    const ChipInfo none;
    protocol::CommandBlock block = protocol::ChipParameters(protocol::CmdIdentify, chip ? *chip : none, ClockIndex());
    if (!SendBlock(block, 1)) {
        // Whatever the block holds now is not an identification reply.
        ShowError(CommFailureText);
        return protocol::NoProgrammer;
    }

    const int count = std::min(ChipCount(), static_cast<int>(ChipTable.size()));
    const auto outcome = protocol::DecideDetect(protocol::ParseIdentifyReply(block),
                                                std::span<const ChipInfo>(ChipTable.data(), static_cast<size_t>(count)));
    if (outcome.selectIndex >= 0) {
        ComboBox1->setCurrentIndex(outcome.selectIndex);
        ComboBox1Change();
    }
    if (!outcome.errorText.isEmpty())
        ShowError(outcome.errorText);
    if (!outcome.logLine.isEmpty())
        AddLogLine(outcome.logLine);
    return outcome.result;
}

int TForm1::ChipCheck()
{
    const int result = CheckBox4->isChecked() ? DetectChip() : SelectChip();
    // A worker needs a chosen model; detection may leave none (status 3, or
    // an ID not in the list while nothing was chosen).
    if (result != protocol::NoProgrammer && result != protocol::NoChip && result != protocol::Series24
        && !SelectedChip()) {
        ShowError(NoChipSelectedText);
        return protocol::NoProgrammer;
    }
    return result;
}

bool TForm1::SetAddress(int address, int readback)
{
    protocol::CommandBlock block = protocol::StartAddressCommand(static_cast<std::uint32_t>(address));
    return SendBlock(block, readback);
}

void TForm1::EndConnection()
{
    if (usb->isOpen()) {
        protocol::CommandBlock block = protocol::EndCommand();
        SendBlock(block, 0);
        usb->usbasp_bulk_close();
    }
    SetStatusPanel(1, QStringLiteral("就绪"));
}

void TForm1::BitBtn6Click()
{
    CommandScope scope(*this);
    if (!scope.entered())
        return;
    const ConnectionEnd end(*this);
    const int r = DetectChip();
    if (r == protocol::NoChip) {
        ShowError(QStringLiteral("没有检测到芯片，请放置芯片再试！"));
    } else if (r != protocol::NoProgrammer && r != protocol::UnknownId) {
        const ChipInfo* chip = SelectedChip();
        const QString name = chip ? chiplist::DisplayName(*chip) : QString();
        platform::MessageBox(QStringLiteral("检测到芯片：") + name + QStringLiteral("\n\n芯片") + Label1->text(),
                             QStringLiteral("信息提示"), platform::MsgIcon::Information);
    }
}

void TForm1::CheckProgrammer()
{
    CommandScope scope(*this);
    if (!scope.entered()) {
        // A command is running: probe once it has ended.
        probePending_ = true;
        return;
    }
    if (!usb->prog_open(TUsbBulk::VendorId, TUsbBulk::ProductId)) {
        SetStatusPanel(1, QStringLiteral("编程器未接入"));
        return;
    }
    {
        // From the first open on: however the probe leaves, the device is
        // not left open.
        const ConnectionEnd end(*this);
        const QString line =
            QStringLiteral("检测到编程器，工作状态正常。") + QStringLiteral(" (") + platform::NowText() + u')';
        if (!RichEdit1->NewestLineIs(line))
            AddLogLine(line);
        usb->usbasp_bulk_close();
        DetectChip();
    }
    SetStatusPanel(1, QStringLiteral("就绪"));
}
