// Property texts from outside: reading any text either succeeds or raises one
// of the class library's or the editor's errors, and painting is resumed
// either way. Whatever state the text left, the control's own text reads
// into a new control without error and gives the same text again (but for
// the row width under automatic rows). The input as one string value is
// written on one line and reads back exactly.
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhproptext.h"
#include "platform/exceptions.h"

#include <QApplication>
#include <cstdint>
#include <cstdlib>

namespace {

// With automatic rows the row width follows the window and the font at the
// time of the fit, not the stored value: it is left out of the comparison.
QString Comparable(QString text)
{
    if (text.contains(QLatin1String("\r\nAutoBytesPerRow=True\r\n"))) {
        const qsizetype at = text.indexOf(QLatin1String("\r\nBytesPerRow="));
        if (at >= 0)
            text.remove(at, text.indexOf(QLatin1String("\r\n"), at + 2) - at);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_proptext";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString value = WQHQuotePropString(text);
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')) || WQHUnquotePropString(value) != text)
        std::abort();

    TWQHexEditorEx first;
    try {
        first.SetPropertiesAsString(text);
    } catch (const platform::Exception&) {
    }
    if (first.PaintUpdateCounter() != 0)
        std::abort();

    const QString written = first.GetPropertiesAsString();
    TWQHexEditorEx second;
    try {
        second.SetPropertiesAsString(written);
    } catch (const platform::Exception&) {
        std::abort();
    }
    if (Comparable(second.GetPropertiesAsString()) != Comparable(written))
        std::abort();
    return 0;
}
