// Offset gutter texts and the hex digit case of the editor control.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhnumbers.h"

#include <algorithm>
#include <climits>

struct WQHOffset {
    // Marks the host's offset handler as running; cleared however it ends.
    // IsMaxOffset keeps telling which offset was asked last.
    struct HandlerScope {
        HandlerScope(TCustomWQHexEditor& e, bool IsMax) : ed(e)
        {
            ed.FOffsetHandler = true;
            ed.FIsMaxOffset = IsMax;
        }
        ~HandlerScope() { ed.FOffsetHandler = false; }
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;
        TCustomWQHexEditor& ed;
    };

    static QString CallHandler(TCustomWQHexEditor& e, std::uint32_t Number, bool IsMax)
    {
        HandlerScope scope(e, IsMax);
        QString text;
        e.FOnGetOffsetText(&e, static_cast<std::int64_t>(Number), text);
        return text;
    }

    // The position of the row after the last data row; never below 0.
    static std::uint32_t MaxOffset(const TCustomWQHexEditor& e)
    {
        const std::int64_t m = std::int64_t(e.RowCount() - 3) * e.FBytesPerRow;
        return m <= 0 ? 0u : static_cast<std::uint32_t>(std::min<std::int64_t>(m, UINT32_MAX));
    }
};

void TCustomWQHexEditor::GenerateOffsetFormat(const QString& Value)
{
    // Parsed into a temporary: a bad text leaves the format in force alone.
    FOffsetFormat = ParseOffsetFormat(Value, BytesPerRow(), BytesPerColumn(), FUsedRulerBytesPerUnit);
}

void TCustomWQHexEditor::SetOffsetFormat(const QString& Value)
{
    if (Value == FOffsetFormat.Format)
        return;
    const TWQHOffsetFormat previous = FOffsetFormat;
    GenerateOffsetFormat(Value);
    try {
        SetOffsetDisplayWidth();
        Invalidate();
    } catch (...) {
        // Parsed again, the host's handler is not asked twice; a text that
        // no longer parses (its row width changed) keeps the old fields.
        try {
            GenerateOffsetFormat(previous.Format);
        } catch (...) {
            FOffsetFormat = previous;
        }
        throw;
    }
}

QString TCustomWQHexEditor::GetOffsetString(std::uint32_t Position)
{
    if (FOnGetOffsetText && !FOffsetHandler)
        return WQHOffset::CallHandler(*this, Position, false);
    return FormatOffset(FOffsetFormat, Position, FHexLowerCase);
}

QString TCustomWQHexEditor::GetAnyOffsetString(int Position)
{
    if (FOffsetFormat.Format.isEmpty())
        return IntToRadix(Position, 16);
    return GetOffsetString(static_cast<std::uint32_t>(Position));
}

void TCustomWQHexEditor::SetOffsetDisplayWidth()
{
    const std::uint32_t m = WQHOffset::MaxOffset(*this);
    qsizetype chars;
    if (FOnGetOffsetText && !FOffsetHandler) {
        chars = WQHOffset::CallHandler(*this, m, true).size() + 1;
    } else {
        if ((FOffsetFormat.Flags & offCalcWidth) && !FOffsetFormat.Format.isEmpty()) {
            const std::uint32_t unit = FOffsetFormat._BytesPerUnit ? FOffsetFormat._BytesPerUnit : 256u;
            FOffsetFormat.MinWidth = IntToRadix(static_cast<int>(m / unit), FOffsetFormat.Radix).size();
        }
        chars = GetOffsetString(m).size() + 1;
    }
    FOffSetDisplayWidth = static_cast<int>(std::min<qsizetype>(chars, INT_MAX));

    std::int64_t pixels = FGutterWidth == -1 ? std::int64_t(FOffSetDisplayWidth) * std::max(FCharWidth, 0) + 21
                                             : std::int64_t(FGutterWidth);
    pixels = std::clamp<std::int64_t>(pixels, 0, INT_MAX / 2);
    DoSetCellWidth(0, static_cast<int>(pixels));
}

void TCustomWQHexEditor::UpdateGetOffsetText()
{
    SetOffsetDisplayWidth();
    Invalidate();
    CheckSetCaret();
}

void TCustomWQHexEditor::SetHexLowerCase(bool Value)
{
    if (Value == FHexLowerCase)
        return;
    FHexLowerCase = Value;
    FHexChars = Value ? QStringLiteral("0123456789abcdef") : QStringLiteral("0123456789ABCDEF");
    SetRulerString();
    Invalidate();
}
