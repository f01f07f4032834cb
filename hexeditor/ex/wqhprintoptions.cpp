#include "hexeditor/ex/wqhprintoptions.h"

#include "hexeditor/ex/wqhexstrings.h"
#include "platform/exceptions.h"

TWQHPrintOptions::TWQHPrintOptions()
    : FMargins(WQH_DEF_PRINT_MARGINS),
      FFlags(WQHPrintFlagBit(pfSelectionBold) | WQHPrintFlagBit(pfMonochrome))
{
}

void TWQHPrintOptions::Assign(const TWQHPrintOptions* Source)
{
    if (Source == nullptr)
        throw platform::EConvertError(QString::fromLatin1(wqhstr::CannotAssignNilPrintOptions));
    FMargins = Source->FMargins;
    FHeaders = Source->FHeaders;
    FFlags = Source->FFlags;
}

namespace {

std::size_t MarginSlot(int Index)
{
    switch (Index) {
    case 1: return 0;
    case 2: return 1;
    case 3: return 2;
    default: return 3;
    }
}

} // namespace

int TWQHPrintOptions::GetMargin(int Index) const
{
    return FMargins[MarginSlot(Index)];
}

void TWQHPrintOptions::SetMargin(int Index, int Value)
{
    FMargins[MarginSlot(Index)] = Value;
}

QString TWQHPrintOptions::GetHeader(int Index) const
{
    return FHeaders.at(static_cast<std::size_t>(Index));
}

void TWQHPrintOptions::SetHeader(int Index, const QString& Value)
{
    FHeaders.at(static_cast<std::size_t>(Index)) = Value;
}
