// Chip list parser: any bytes give records and at most one error, never a
// crash; the invariants below hold for every input.
#include "app/chiplist.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const chiplist::ParseResult result = chiplist::ParseFile(bytes);
    // Without an error every record converted all its fields, so a line
    // without six ';' can never have loaded.
    if (result.error) {
        if (result.chips.empty())
            std::abort();
        if (!result.error->endsWith(QStringLiteral("' is not a valid integer value")))
            std::abort();
    }
    for (const ChipInfo& chip : result.chips) {
        // The capacity text exists for every size, negative ones included.
        if (chiplist::CapacityText(chip.Size).isEmpty())
            std::abort();
        (void)chiplist::DisplayName(chip);
    }
    return 0;
}
