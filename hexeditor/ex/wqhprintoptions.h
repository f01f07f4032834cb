#pragma once
// The print settings of the extended hex editor: margins in millimetres,
// page header and footer templates, and the print flags.
#include <QString>
#include <array>
#include <cstdint>

enum TWQHPrintFlag : std::uint8_t {
    pfSelectionOnly,
    pfSelectionBold,
    pfMonochrome,
    pfUseBackgroundColor,
    pfCurrentViewOnly,
    pfIncludeRuler,
};
// A set of TWQHPrintFlag in one byte: flag f is bit 1 << f.
using TWQHPrintFlags = std::uint8_t;

constexpr TWQHPrintFlags WQHPrintFlagBit(TWQHPrintFlag Flag)
{
    return static_cast<TWQHPrintFlags>(1u << Flag);
}
constexpr bool WQHHasPrintFlag(TWQHPrintFlags Flags, TWQHPrintFlag Flag)
{
    return (Flags & WQHPrintFlagBit(Flag)) != 0;
}

// Left, Top, Right, Bottom.
using TWQHPrintMargins = std::array<int, 4>;
// [0] page header, [1] page footer.
using TWQHPrintHeaders = std::array<QString, 2>;

constexpr TWQHPrintMargins WQH_DEF_PRINT_MARGINS = {20, 15, 25, 25};

class TWQHPrintOptions {
public:
    TWQHPrintOptions();

    // Copies margins, header texts and flags; a null source raises
    // platform::EConvertError and changes nothing.
    void Assign(const TWQHPrintOptions* Source);

    // Index 1 Left, 2 Top, 3 Right, any other Bottom.
    int GetMargin(int Index) const;
    void SetMargin(int Index, int Value);
    // Index 0 page header, 1 page footer.
    QString GetHeader(int Index) const;
    void SetHeader(int Index, const QString& Value);

    int MarginLeft() const { return GetMargin(1); }
    void SetMarginLeft(int Value) { SetMargin(1, Value); }
    int MarginTop() const { return GetMargin(2); }
    void SetMarginTop(int Value) { SetMargin(2, Value); }
    int MarginRight() const { return GetMargin(3); }
    void SetMarginRight(int Value) { SetMargin(3, Value); }
    int MarginBottom() const { return GetMargin(4); }
    void SetMarginBottom(int Value) { SetMargin(4, Value); }
    QString PageHeader() const { return GetHeader(0); }
    void SetPageHeader(const QString& Value) { SetHeader(0, Value); }
    QString PageFooter() const { return GetHeader(1); }
    void SetPageFooter(const QString& Value) { SetHeader(1, Value); }
    TWQHPrintFlags Flags() const { return FFlags; }
    void SetFlags(TWQHPrintFlags Value) { FFlags = Value; }

private:
    TWQHPrintMargins FMargins;
    TWQHPrintHeaders FHeaders;
    TWQHPrintFlags FFlags;
};
