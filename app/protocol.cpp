#include "app/protocol.h"

namespace protocol {

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
    CommandBlock b = detail::BlockOf(code);
    b[2] = chip.Type;
    b[3] = chip.SubType;
    detail::Put16(b, 4, static_cast<std::uint16_t>(chip.PageSize));
    detail::Put16(b, 6, static_cast<std::uint32_t>(chip.Delay) & 0xFFFF);
    detail::Put32(b, 8, static_cast<std::uint32_t>(chip.Size));
    detail::Put32(b, 12, static_cast<std::uint32_t>(chip.Id));
    b[16] = static_cast<unsigned char>(clockIndex & 0xFF);
    const QByteArray name = NameForBlock(chip.Name);
    for (qsizetype i = 0; i < name.size(); ++i)
        b[static_cast<size_t>(NameOffset + i)] = static_cast<unsigned char>(name[i]);
    return b;
}

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
