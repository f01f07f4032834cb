#pragma once
// Print settings of the extended hex editor: margins in millimetres, the page
// header and footer templates and the print flags.
#include "platform/exceptions.h"

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

// A set of TWQHPrintFlag in one byte: bit (1 << flag).
struct TWQHPrintFlags {
    std::uint8_t Bits = 0;
    constexpr TWQHPrintFlags() = default;
    constexpr explicit TWQHPrintFlags(std::uint8_t b) : Bits(b) {}
    constexpr TWQHPrintFlags(std::initializer_list<TWQHPrintFlag> flags)
    {
        for (TWQHPrintFlag f : flags)
            Bits = std::uint8_t(Bits | (1u << f));
    }
    constexpr bool Has(TWQHPrintFlag f) const { return (Bits >> f) & 1u; }
    constexpr void Include(TWQHPrintFlag f) { Bits = std::uint8_t(Bits | (1u << f)); }
    constexpr void Exclude(TWQHPrintFlag f) { Bits = std::uint8_t(Bits & ~(1u << f)); }
    bool operator==(const TWQHPrintFlags&) const = default;
};

struct TWQHPrintMargins {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    bool operator==(const TWQHPrintMargins&) const = default;
};

// [0] page header, [1] page footer.
using TWQHPrintHeaders = std::array<QString, 2>;

inline constexpr TWQHPrintMargins WQH_DEF_PRINT_MARGINS{20, 15, 25, 25};

// The class library's assignment error (Assign from a source it cannot copy).
class EConvertError : public platform::Exception {
    using platform::Exception::Exception;
};

class TWQHPrintOptions {
public:
    TWQHPrintOptions() = default;
    virtual ~TWQHPrintOptions() = default;
    // Copies margins, texts and flags of another print options object; any
    // other source (nullptr included) raises the assignment error.
    void Assign(const TWQHPrintOptions* Source);

    // Index 1 Left, 2 Top, 3 Right, anything else Bottom.
    std::int32_t GetMargin(int Index) const;
    void SetMargin(int Index, std::int32_t Value);
    QString GetHeader(int Index) const { return FHeaders.at(std::size_t(Index)); }
    void SetHeader(int Index, const QString& Value) { FHeaders.at(std::size_t(Index)) = Value; }

    std::int32_t MarginLeft() const { return GetMargin(1); }
    void SetMarginLeft(std::int32_t v) { SetMargin(1, v); }
    std::int32_t MarginTop() const { return GetMargin(2); }
    void SetMarginTop(std::int32_t v) { SetMargin(2, v); }
    std::int32_t MarginRight() const { return GetMargin(3); }
    void SetMarginRight(std::int32_t v) { SetMargin(3, v); }
    std::int32_t MarginBottom() const { return GetMargin(4); }
    void SetMarginBottom(std::int32_t v) { SetMargin(4, v); }
    QString PageHeader() const { return FHeaders[0]; }
    void SetPageHeader(const QString& v) { FHeaders[0] = v; }
    QString PageFooter() const { return FHeaders[1]; }
    void SetPageFooter(const QString& v) { FHeaders[1] = v; }
    TWQHPrintFlags Flags() const { return FFlags; }
    void SetFlags(TWQHPrintFlags v) { FFlags = v; }

    const TWQHPrintMargins& Margins() const { return FMargins; }
    const TWQHPrintHeaders& Headers() const { return FHeaders; }

private:
    TWQHPrintMargins FMargins = WQH_DEF_PRINT_MARGINS;
    TWQHPrintHeaders FHeaders;
    TWQHPrintFlags FFlags{pfSelectionBold, pfMonochrome};
};
