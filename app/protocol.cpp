#include "app/protocol.h"

namespace protocol {
namespace {

void put16(CommandBlock& b, int at, std::uint32_t v)
{
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void put32(CommandBlock& b, int at, std::uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

CommandBlock blockOf(Command code)
{
    CommandBlock b{};
    b[0] = (code == CmdErase || code == CmdEnd) ? 1 : 0;
    b[1] = code;
    return b;
}

} // namespace

QByteArray NameForBlock(const QByteArray& name)
{
    // Stop at an embedded 0 too: the programmer reads up to the first 0.
    qsizetype length = name.indexOf('\0');
    if (length < 0)
        length = name.size();
    if (length <= MaxNameBytes)
        return name.left(length);
    // Walk whole GBK characters so a lead byte is never sent without its trail byte.
    qsizetype cut = 0;
    while (cut < MaxNameBytes) {
        const auto c = static_cast<unsigned char>(name[cut]);
        const int width = (c >= 0x81 && c <= 0xFE && cut + 1 < length) ? 2 : 1;
        if (cut + width > MaxNameBytes)
            break;
        cut += width;
    }
    return name.left(cut);
}

CommandBlock ChipParameters(Command code, const ChipInfo& chip, int clockIndex)
{
    CommandBlock b = blockOf(code);
    b[2] = chip.Type;
    b[3] = chip.SubType;
    put16(b, 4, static_cast<std::uint16_t>(chip.PageSize));
    put16(b, 6, static_cast<std::uint32_t>(chip.Delay) & 0xFFFF);
    put32(b, 8, static_cast<std::uint32_t>(chip.Size));
    put32(b, 12, static_cast<std::uint32_t>(chip.Id));
    b[16] = static_cast<unsigned char>(clockIndex & 0xFF);
    const QByteArray name = NameForBlock(chip.Name);
    for (qsizetype i = 0; i < name.size(); ++i)
        b[static_cast<size_t>(NameOffset + i)] = static_cast<unsigned char>(name[i]);
    return b;
}

CommandBlock EraseCommand(std::uint32_t address)
{
    CommandBlock b = blockOf(CmdErase);
    b[17] = static_cast<unsigned char>(address & 0xFF);
    b[18] = static_cast<unsigned char>((address >> 8) & 0xFF);
    return b;
}

CommandBlock StartAddressCommand(std::uint32_t address)
{
    CommandBlock b = blockOf(CmdStartAddress);
    put32(b, 8, address);
    return b;
}

CommandBlock EndCommand() { return blockOf(CmdEnd); }
CommandBlock StatusCommand() { return blockOf(CmdStatus); }
bool StatusBusy(const CommandBlock& reply) { return (reply[0] & 1) != 0; }

QString IdentifyReply::FormattedId() const
{
    return QString::asprintf("%2.2X %2.2X %2.2X", b0, b1, b2);
}

IdentifyReply ParseIdentifyReply(const CommandBlock& reply)
{
    IdentifyReply r;
    r.b0 = reply[0];
    r.b1 = reply[1];
    r.b2 = reply[2];
    r.status = reply[4];
    return r;
}

int SelectResult(std::uint8_t type)
{
    if (type == 0)
        return KnownChip;
    if (type == 1)
        return PageEraseChip;
    return ReadOnlyChip;
}

DetectOutcome DecideDetect(const IdentifyReply& reply, std::span<const ChipInfo> chips)
{
    DetectOutcome out;
    switch (reply.status) {
    case 1: {
        const std::int32_t id = reply.Id();
        for (size_t i = 0; i < chips.size(); ++i) {
            if (chips[i].Id == id) {
                out.selectIndex = static_cast<int>(i);
                out.result = KnownChip;
                return out;
            }
        }
        out.errorText = QStringLiteral("未知型号芯片ID =") + reply.FormattedId()
                        + QStringLiteral("请手动选择兼容型号。");
        out.result = UnknownId;
        return out;
    }
    case 2: {
        const std::int32_t capacity = reply.Capacity();
        for (size_t i = 0; i < chips.size(); ++i) {
            if (chips[i].Id == 0 && chips[i].Size == capacity) {
                out.selectIndex = static_cast<int>(i);
                break;
            }
        }
        out.logLine = QStringLiteral("已检测检测到24系列芯片，请手动选择型号");
        out.result = Series24;
        return out;
    }
    case 3:
        out.result = ReadOnlyChip;
        return out;
    default:
        out.result = NoChip;
        return out;
    }
}

} // namespace protocol
