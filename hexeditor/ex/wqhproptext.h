#pragma once
// Properties as text: lines of qualified name, "=" and value, each ended by
// CR LF. Every property has a declared kind, and a value is read back by that
// kind only, so a string property keeps "0012" as it is.
//
// Values: integers, characters, enumerations and sets as their decimal
// ordinal (a colour as its decimal TColor), Booleans as True / False, strings
// as their text. A string that holds a control character (CR and LF among
// them) is written as a literal instead: printable runs in single quotes (a
// quote doubled), control characters as #<decimal code>, e.g.
// 'Page 1'#13#10'of 2'. So no value can spill into a second line. Only a
// value that is one whole literal with at least one code reads as a literal;
// #page and 'bak' are plain text. A plain string that would read as a
// literal is written as one too, its first character as a code.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

enum class TWQHPropKind : std::uint8_t {
    Integer,      // signed, within [Min, Max]
    Boolean,      // True / False (0 / 1 also read)
    Enumeration,  // ordinal of Names (a name also read, without regard to case)
    Set,          // bit i stands for Names[i] ("[a,b]" also read)
    String,
};

struct TWQHPropDef {
    QString Name;  // qualified: "Colors.Background"
    TWQHPropKind Kind = TWQHPropKind::Integer;
    QStringList Names;
    std::int64_t Min = INT32_MIN;
    std::int64_t Max = INT32_MAX;
    // Ordinal kinds use GetOrd / SetOrd, strings GetStr / SetStr.
    std::function<std::int64_t()> GetOrd;
    std::function<void(std::int64_t)> SetOrd;
    std::function<QString()> GetStr;
    std::function<void(const QString&)> SetStr;
    // A switch that gates the values of these properties: read from a text,
    // it goes off where it stands but on only after the lines of those that
    // follow it, so that the text reads into a control of any widths.
    QStringList OnAfter;
};

using TWQHPropTable = std::vector<TWQHPropDef>;
using TWQHIsPublicFn = std::function<bool(const QString& Name)>;

// The value text of one property.
QString WQHFormatPropValue(const TWQHPropDef& Def);
// Converts Text by the property's kind and sets it. A text that does not
// fit raises platform::EConvertError "Invalid value '<text>' for property
// <name>" before anything is set; errors of the setter itself pass on.
void WQHSetPropValue(const TWQHPropDef& Def, const QString& Text);

// The text of Text when it is one well-formed literal holding at least one
// #<code>; nothing otherwise.
std::optional<QString> WQHReadPropLiteral(const QString& Text);
QString WQHQuotePropString(const QString& Value);
// The inverse of WQHQuotePropString: a literal's text, else Text as it is.
QString WQHUnquotePropString(const QString& Text);

// One line per property of Table (in table order) for which IsPublic answers true.
QString WQHPropertiesToText(const TWQHPropTable& Table, const TWQHIsPublicFn& IsPublic);
// Splits Text at CR LF, CR or LF and sets each line "name=value" whose name
// (before the first "=") IsPublic accepts, in text order (a switch going on
// waits for the lines of its OnAfter). Lines without "=", with a name that is
// not public or not in Table, are skipped. The first value that fails ends
// the run with its exception; the lines set before it stay set.
void WQHApplyPropertiesText(const QString& Text, const TWQHPropTable& Table, const TWQHIsPublicFn& IsPublic);

// The names that may take part in the text (68, without regard to case).
const QStringList& WQHListedPropertyNames();
bool WQHIsListedProperty(const QString& Name);

// A font's properties in the text: Charset, Color, Name, Size (points),
// Style (fsBold, fsItalic, fsUnderline, fsStrikeOut). As the class library's
// font takes them: size 0 is the default size, a negative size a cell
// height, an empty name the default family. A size beyond the range of
// WQHMaxFontSize points either way is refused.
class TWQHFont;
void WQHAddFontProps(TWQHPropTable& Table, const QString& Prefix, std::function<TWQHFont()> Get,
                     std::function<void(const TWQHFont&)> Set);
