// Chip list text: byte-order marks, GBK decoding, line splitting and the
// integer conversion of every ';' field.
#include "platform/codepage.h"
#include "platform/convert.h"
#include "platform/exceptions.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = platform::DecodeTextLines(bytes);
    for (const QString& line : lines) {
        if (line.contains(u'\r') || line.contains(u'\n'))
            std::abort();
        for (const QString& field : line.split(u';')) {
            const auto value = platform::TryStrToInt(field);
            if (value) {
                // Whatever form was accepted, its decimal text reads back the same.
                if (platform::TryStrToInt(QString::number(*value)) != value)
                    std::abort();
                continue;
            }
            try {
                platform::StrToInt(field); // the error text quotes any field
                std::abort();
            } catch (const platform::EConvertError&) {
            }
        }
        // The ANSI round trip must not crash whatever the text holds.
        (void)platform::AnsiToString(platform::StringToAnsi(line));
    }
    return 0;
}
