// Number text: CheckRadixToInt/64 accept a text or raise one of the expected
// errors, radix text reads back its own value, and hex text never writes past
// the bytes it promises.
#include "hexeditor/wqhnumbers.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        (void)CheckRadixToInt(text);
    } catch (const EWQHexEditor&) {
    } catch (const platform::EConvertError&) {
    }
    try {
        const std::int64_t v = CheckRadixToInt64(text);
        // Any accepted value reads back from its own hex and binary text.
        const auto u = static_cast<std::uint64_t>(v);
        if (CheckRadixToInt64("$" + IntToRadix64(u, 16)) != v || CheckRadixToInt64(IntToRadix64(u, 2) + "%") != v)
            std::abort();
    } catch (const EWQHexEditor&) {
    } catch (const platform::EConvertError&) {
    }

    // Exactly Count / 2 bytes of room: more would be an overflow under ASan.
    const int count = static_cast<int>(text.size());
    std::vector<std::uint8_t> target(static_cast<std::size_t>(count / 2));
    int translated = -1;
    ConvertHexToBin(text.constData(), target.data(), count, size % 2 == 1, translated);
    if (translated < 0 || translated > count / 2)
        std::abort();
    // The bytes give back the same digits, upper-cased.
    QString digits;
    for (QChar c : text)
        if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
            digits += c.toUpper();
    digits.truncate(qsizetype(translated) * 2);
    if (BinToHexString(target.data(), translated, size % 2 == 1) != digits)
        std::abort();
    return 0;
}
