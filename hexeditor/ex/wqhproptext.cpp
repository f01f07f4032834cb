// Properties as text: value conversion by declared kind, the literal form of
// strings that could break a line, and the line format.
#include "hexeditor/ex/wqhproptext.h"
#include "platform/convert.h"
#include "platform/exceptions.h"

#include "hexeditor/ex/wqhfont.h"

#include <optional>
#include <vector>

namespace {

[[noreturn]] void BadValue(const TWQHPropDef& Def, const QString& Text)
{
    throw platform::EConvertError(QStringLiteral("Invalid value '%1' for property %2").arg(Text, Def.Name));
}

std::optional<std::int64_t> ParseInteger(const QString& Text)
{
    // 32 bits first, so that $FF000005 reads as the colour it was written as.
    if (const std::optional<int> v = platform::TryStrToInt(Text))
        return *v;
    try {
        return platform::StrToInt64(Text);
    } catch (const platform::EConvertError&) {
        return std::nullopt;
    }
}

int IndexOfName(const QStringList& Names, const QString& Name)
{
    for (int i = 0; i < Names.size(); ++i)
        if (Names[i].compare(Name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

std::optional<std::int64_t> ParseSetNames(const TWQHPropDef& Def, const QString& Text)
{
    const QString t = Text.trimmed();
    if (!t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']')))
        return std::nullopt;
    const QString inner = t.mid(1, t.size() - 2).trimmed();
    std::int64_t bits = 0;
    if (inner.isEmpty())
        return bits;
    for (const QString& part : inner.split(QLatin1Char(','))) {
        const int i = IndexOfName(Def.Names, part.trimmed());
        if (i < 0)
            return std::nullopt;
        bits |= std::int64_t(1) << i;
    }
    return bits;
}

std::int64_t ToOrdinal(const TWQHPropDef& Def, const QString& Text)
{
    switch (Def.Kind) {
    case TWQHPropKind::Integer: {
        const std::optional<std::int64_t> v = ParseInteger(Text);
        if (!v || *v < Def.Min || *v > Def.Max)
            BadValue(Def, Text);
        return *v;
    }
    case TWQHPropKind::Boolean:
        if (Text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || Text == QLatin1String("1"))
            return 1;
        if (Text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || Text == QLatin1String("0"))
            return 0;
        BadValue(Def, Text);
    case TWQHPropKind::Enumeration: {
        const int byName = IndexOfName(Def.Names, Text);
        if (byName >= 0)
            return byName;
        const std::optional<std::int64_t> v = ParseInteger(Text);
        if (!v || *v < 0 || *v >= Def.Names.size())
            BadValue(Def, Text);
        return *v;
    }
    case TWQHPropKind::Set: {
        std::optional<std::int64_t> v = ParseSetNames(Def, Text);
        if (!v)
            v = ParseInteger(Text);
        if (!v || *v < 0 || *v >= (std::int64_t(1) << Def.Names.size()))
            BadValue(Def, Text);
        return *v;
    }
    case TWQHPropKind::String:
        break;
    }
    BadValue(Def, Text);
}

bool IsControl(char16_t u)
{
    return u < 0x20 || u == 0x7F;
}

} // namespace

std::optional<QString> WQHReadPropLiteral(const QString& Text)
{
    // Quoted runs ('' for a quote) and #<decimal> codes, nothing else, with
    // at least one code: 'bak' alone is plain text.
    QString out;
    bool hasCode = false;
    qsizetype i = 0;
    const qsizetype n = Text.size();
    while (i < n) {
        if (Text[i] == QLatin1Char('\'')) {
            for (++i;; ++i) {
                if (i >= n)
                    return std::nullopt;  // unterminated
                if (Text[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && Text[i + 1] == QLatin1Char('\'')) {
                        out += QLatin1Char('\'');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += Text[i];
            }
        } else if (Text[i] == QLatin1Char('#')) {
            const qsizetype start = ++i;
            std::uint32_t code = 0;
            while (i < n && Text[i] >= QLatin1Char('0') && Text[i] <= QLatin1Char('9')) {
                code = code * 10 + (Text[i].unicode() - '0');
                if (code > 0xFFFF)
                    return std::nullopt;
                ++i;
            }
            if (i == start)
                return std::nullopt;
            out += QChar(static_cast<char16_t>(code));
            hasCode = true;
        } else {
            return std::nullopt;
        }
    }
    if (!hasCode)
        return std::nullopt;
    return out;
}

QString WQHQuotePropString(const QString& Value)
{
    bool hasControl = false;
    for (QChar c : Value)
        hasControl = hasControl || IsControl(c.unicode());
    if (!hasControl && !WQHReadPropLiteral(Value))
        return Value;
    // Without a control character the first character goes as its code, so
    // that the literal holds one.
    QString out;
    bool inQuotes = false;
    for (qsizetype i = 0; i < Value.size(); ++i) {
        const char16_t u = Value[i].unicode();
        if (IsControl(u) || (!hasControl && i == 0)) {
            if (inQuotes) {
                out += QLatin1Char('\'');
                inQuotes = false;
            }
            out += QLatin1Char('#') + QString::number(u);
        } else {
            if (!inQuotes) {
                out += QLatin1Char('\'');
                inQuotes = true;
            }
            out += Value[i];
            if (u == '\'')
                out += Value[i];
        }
    }
    if (inQuotes)
        out += QLatin1Char('\'');
    return out;
}

QString WQHUnquotePropString(const QString& Text)
{
    return WQHReadPropLiteral(Text).value_or(Text);
}

QString WQHFormatPropValue(const TWQHPropDef& Def)
{
    switch (Def.Kind) {
    case TWQHPropKind::String:
        return WQHQuotePropString(Def.GetStr());
    case TWQHPropKind::Boolean:
        return Def.GetOrd() != 0 ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return QString::number(Def.GetOrd());
    }
}

void WQHSetPropValue(const TWQHPropDef& Def, const QString& Text)
{
    if (Def.Kind == TWQHPropKind::String)
        Def.SetStr(WQHUnquotePropString(Text));
    else
        Def.SetOrd(ToOrdinal(Def, Text));
}

QString WQHPropertiesToText(const TWQHPropTable& Table, const TWQHIsPublicFn& IsPublic)
{
    QString text;
    for (const TWQHPropDef& def : Table)
        if (IsPublic(def.Name))
            text += def.Name + QLatin1Char('=') + WQHFormatPropValue(def) + QLatin1String("\r\n");
    return text;
}

void WQHApplyPropertiesText(const QString& Text, const TWQHPropTable& Table, const TWQHIsPublicFn& IsPublic)
{
    struct Line {
        QString name;
        QString value;
        const TWQHPropDef* def;
    };
    std::vector<Line> run;
    QString lines = Text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& line : lines.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = line.left(eq);
        const TWQHPropDef* def = nullptr;
        for (const TWQHPropDef& d : Table)
            if (d.Name.compare(name, Qt::CaseInsensitive) == 0) {
                def = &d;
                break;
            }
        run.push_back({name, line.mid(eq + 1), def});
    }
    // A switch going on waits behind the last line it gates; a value that
    // does not read stays where it is and fails there.
    std::vector<const Line*> order;
    std::vector<std::pair<std::size_t, const Line*>> waiting;
    for (std::size_t i = 0; i < run.size(); ++i) {
        const TWQHPropDef* def = run[i].def;
        std::size_t last = i;
        if (def && !def->OnAfter.isEmpty() && def->Kind != TWQHPropKind::String) {
            bool on = false;
            try {
                on = ToOrdinal(*def, run[i].value) != 0;
            } catch (const platform::EConvertError&) {
            }
            for (std::size_t j = i + 1; on && j < run.size(); ++j)
                if (run[j].def && IndexOfName(def->OnAfter, run[j].def->Name) >= 0)
                    last = j;
        }
        if (last > i)
            waiting.emplace_back(last, &run[i]);
        else
            order.push_back(&run[i]);
        for (const auto& [after, line] : waiting)
            if (after == i)
                order.push_back(line);
    }
    for (const Line* line : order)
        if (IsPublic(line->name) && line->def)
            WQHSetPropValue(*line->def, line->value);
}

const QStringList& WQHListedPropertyNames()
{
    static const QStringList names = {
        QStringLiteral("ShowRuler"), QStringLiteral("DrawGutter3D"), QStringLiteral("CreateBackup"),
        QStringLiteral("BackupExtension"), QStringLiteral("OleDragDrop"), QStringLiteral("ClipboardAsHexText"),
        QStringLiteral("FlushClipboardAtShutDown"), QStringLiteral("SupportsOtherClipFormats"),
        QStringLiteral("UseEditorFontForPrinting"), QStringLiteral("ZoomOnWheel"), QStringLiteral("BytesPerRow"),
        QStringLiteral("BytesPerColumn"), QStringLiteral("Translation"), QStringLiteral("OffsetFormat"),
        QStringLiteral("CaretKind"), QStringLiteral("FocusFrame"), QStringLiteral("SwapNibbles"),
        QStringLiteral("MaskChar"), QStringLiteral("NoSizeChange"), QStringLiteral("AllowInsertMode"),
        QStringLiteral("DrawGridLines"), QStringLiteral("ReadOnlyView"), QStringLiteral("HideSelection"),
        QStringLiteral("GraySelectionIfNotFocused"), QStringLiteral("GutterWidth"), QStringLiteral("MaxUndo"),
        QStringLiteral("InsertMode"), QStringLiteral("HexLowerCase"), QStringLiteral("Colors.Background"),
        QStringLiteral("Colors.ChangedBackground"), QStringLiteral("Colors.ChangedText"),
        QStringLiteral("Colors.CursorFrame"), QStringLiteral("Colors.NonFocusCursorFrame"),
        QStringLiteral("Colors.Offset"), QStringLiteral("Colors.OddColumn"), QStringLiteral("Colors.EvenColumn"),
        QStringLiteral("Colors.CurrentOffsetBackground"), QStringLiteral("Colors.OffsetBackGround"),
        QStringLiteral("Colors.CurrentOffset"), QStringLiteral("Colors.ActiveFieldBackground"),
        QStringLiteral("Colors.Grid"), QStringLiteral("PrintFont.Charset"), QStringLiteral("PrintFont.Color"),
        QStringLiteral("PrintFont.Name"), QStringLiteral("PrintFont.Size"), QStringLiteral("PrintFont.Style"),
        QStringLiteral("PrintOptions.MarginLeft"), QStringLiteral("PrintOptions.MarginTop"),
        QStringLiteral("PrintOptions.MarginRight"), QStringLiteral("PrintOptions.MarginBottom"),
        QStringLiteral("PrintOptions.PageHeader"), QStringLiteral("PrintOptions.PageFooter"),
        QStringLiteral("PrintOptions.Flags"), QStringLiteral("Font.Charset"), QStringLiteral("Font.Color"),
        QStringLiteral("Font.Name"), QStringLiteral("Font.Size"), QStringLiteral("Font.Style"),
        QStringLiteral("BytesPerUnit"), QStringLiteral("RulerBytesPerUnit"),
        QStringLiteral("ShowPositionIfNotFocused"), QStringLiteral("UnicodeChars"),
        QStringLiteral("UnicodeBigEndian"), QStringLiteral("BytesPerBlock"),
        QStringLiteral("SeparateBlocksInCharField"), QStringLiteral("FindProgress"),
        QStringLiteral("RulerNumberBase"), QStringLiteral("AutoBytesPerRow"),
    };
    return names;
}

bool WQHIsListedProperty(const QString& Name)
{
    return IndexOfName(WQHListedPropertyNames(), Name) >= 0;
}

void WQHAddFontProps(TWQHPropTable& Table, const QString& Prefix, std::function<TWQHFont()> Get,
                     std::function<void(const TWQHFont&)> Set)
{
    // Each entry reads the whole font and writes it back with one value changed.
    auto add = [&](const char* name, TWQHPropKind kind, auto get, auto set) -> TWQHPropDef& {
        TWQHPropDef d;
        d.Name = Prefix + QLatin1String(name);
        d.Kind = kind;
        d.GetOrd = [Get, get] { return std::int64_t(get(Get())); };
        d.SetOrd = [Get, Set, set](std::int64_t v) {
            TWQHFont f = Get();
            set(f, v);
            Set(f);
        };
        Table.push_back(std::move(d));
        return Table.back();
    };
    TWQHPropDef& charset = add(
        "Charset", TWQHPropKind::Integer, [](const TWQHFont& f) { return f.Charset; },
        [](TWQHFont& f, std::int64_t v) { f.Charset = static_cast<TFontCharset>(v); });
    charset.Min = 0;
    charset.Max = 255;
    add(
        "Color", TWQHPropKind::Integer, [](const TWQHFont& f) { return f.Color; },
        [](TWQHFont& f, std::int64_t v) { f.Color = static_cast<TColor>(v); });

    TWQHPropDef name;
    name.Name = Prefix + QLatin1String("Name");
    name.Kind = TWQHPropKind::String;
    name.GetStr = [Get] { return Get().Name; };
    name.SetStr = [Get, Set](const QString& v) {
        TWQHFont f = Get();
        f.Name = v;
        Set(f);
    };
    Table.push_back(std::move(name));

    TWQHPropDef& size = add(
        "Size", TWQHPropKind::Integer, [](const TWQHFont& f) { return f.Size(); },
        [](TWQHFont& f, std::int64_t v) { f.SetSize(static_cast<int>(v)); });
    size.Min = -WQHMaxFontSize;
    size.Max = WQHMaxFontSize;

    TWQHPropDef& style = add(
        "Style", TWQHPropKind::Set, [](const TWQHFont& f) { return f.Style; },
        [](TWQHFont& f, std::int64_t v) { f.Style = static_cast<TFontStyles>(v); });
    style.Names = {QStringLiteral("fsBold"), QStringLiteral("fsItalic"), QStringLiteral("fsUnderline"),
                   QStringLiteral("fsStrikeOut")};
}
