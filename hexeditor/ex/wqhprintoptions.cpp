#include "hexeditor/ex/wqhprintoptions.h"

void TWQHPrintOptions::Assign(const TWQHPrintOptions* Source)
{
    if (!Source)
        throw EConvertError(QStringLiteral("Cannot assign a nil to a TWQHPrintOptions"));
    FMargins = Source->FMargins;
    FHeaders = Source->FHeaders;
    FFlags = Source->FFlags;
}

std::int32_t TWQHPrintOptions::GetMargin(int Index) const
{
    switch (Index) {
    case 1: return FMargins.Left;
    case 2: return FMargins.Top;
    case 3: return FMargins.Right;
    default: return FMargins.Bottom;
    }
}

void TWQHPrintOptions::SetMargin(int Index, std::int32_t Value)
{
    switch (Index) {
    case 1: FMargins.Left = Value; break;
    case 2: FMargins.Top = Value; break;
    case 3: FMargins.Right = Value; break;
    default: FMargins.Bottom = Value; break;
    }
}
