#include "app/chiplist.h"

#include "platform/codepage.h"
#include "platform/convert.h"
#include "platform/exceptions.h"

namespace chiplist {

QString CutField(QString& rest)
{
    const qsizetype at = rest.indexOf(u';');
    if (at < 0)
        return {};
    QString field = rest.left(at);
    rest = rest.mid(at + 1);
    return field;
}

ParseResult Parse(const QStringList& lines)
{
    ParseResult out;
    out.chips.reserve(static_cast<size_t>(lines.size()));
    for (const QString& line : lines) {
        QString rest = line;
        ChipInfo& chip = out.chips.emplace_back();
        chip.Name = platform::StringToAnsi(CutField(rest));
        try {
            chip.Id = platform::StrToInt(CutField(rest));
            chip.Size = platform::StrToInt(CutField(rest));
            chip.PageSize = static_cast<std::int16_t>(static_cast<std::uint16_t>(platform::StrToInt(CutField(rest))));
            chip.Type = static_cast<std::uint8_t>(platform::StrToInt(CutField(rest)));
            chip.SubType = static_cast<std::uint8_t>(platform::StrToInt(CutField(rest)));
            // The rest of the line, ';' and all, is the delay.
            chip.Delay = platform::StrToInt(rest);
        } catch (const platform::Exception& e) {
            out.error = e.Message();
            return out;
        }
    }
    return out;
}

ParseResult ParseFile(const QByteArray& fileBytes)
{
    return Parse(platform::DecodeTextLines(fileBytes));
}

QString DisplayName(const ChipInfo& chip) { return platform::AnsiToString(chip.Name); }

QString CapacityText(std::int32_t size)
{
    if (size < 1024)
        return QStringLiteral("%1 B").arg(size);
    if (size < 0x100000)
        return QStringLiteral("%1 KB").arg(size / 1024);
    return QStringLiteral("%1 MB").arg(size / 0x100000);
}

QString CapacityCaption(std::int32_t size) { return QStringLiteral("容量 ") + CapacityText(size); }

} // namespace chiplist
