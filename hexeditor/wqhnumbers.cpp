// Number text of the hex editor.
#include "hexeditor/wqhnumbers.h"

#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhstrings.h"
#include "platform/convert.h"

#include <limits>

namespace {

const char16_t kDigits[] = u"0123456789ABCDEF";


void CheckRadix(std::uint8_t Radix)
{
    if (Radix < 2 || Radix > 16)
        throw EWQHexEditor(QString::asprintf(wqhstr::InvalidRadix, int(Radix)));
}

QString ToRadix(std::uint64_t Value, std::uint8_t Radix, std::uint8_t Len)
{
    CheckRadix(Radix);
    char16_t buf[64];
    int n = 0;
    do {
        buf[n++] = kDigits[Value % Radix];
        Value /= Radix;
    } while (Value != 0);
    QString result;
    result.reserve(Len > n ? Len : n);
    for (int i = n; i < Len; ++i)
        result += QLatin1Char('0');
    while (n > 0)
        result += QChar(buf[--n]);
    return result;
}

// Digit value of an (upper-cased) character, or -1.
int DigitOf(QChar C)
{
    const char16_t u = C.toUpper().unicode();
    for (int i = 0; i < 16; ++i)
        if (kDigits[i] == u)
            return i;
    return -1;
}

std::uint64_t FromRadix(const QString& Text, std::uint8_t Radix)
{
    CheckRadix(Radix);
    std::uint64_t value = 0;  // callers keep 32 or 64 bits of it: both wrap
    for (const QChar c : Text) {
        const int d = DigitOf(c);
        if (d < 0 || d >= Radix)
            throw EWQHexEditor(QString::asprintf(wqhstr::InvalidRadixChar,
                                                 QString(c.toUpper()).toUtf8().constData(), unsigned(Radix)));
        value = value * Radix + unsigned(d);
    }
    return value;
}

// Hex digit value of a character in either case, or -1 (ASCII only).
int HexNibble(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// Which notation a text uses: the radix and the digits without the marks;
// radix 0 = plain decimal.
struct Notation {
    std::uint8_t Radix = 0;
    QString Digits;
};

Notation NotationOf(const QString& Text)
{
    const auto n = Text.size();
    auto first = [&](char16_t a) { return n >= 1 && Text[0] == a; };
    auto last = [&](char16_t a) { return n >= 1 && Text[n - 1] == a; };
    if (n >= 2 && Text[0] == u'0' && (Text[1] == u'x' || Text[1] == u'X'))
        return {16, Text.mid(2)};
    if (first(u'$'))
        return {16, Text.mid(1)};
    if (last(u'h') || last(u'H'))
        return {16, Text.left(n - 1)};
    if (last(u'o') || last(u'O'))
        return {8, Text.left(n - 1)};
    if (first(u'o') || first(u'O'))
        return {8, Text.mid(1)};
    if (last(u'%'))
        return {2, Text.left(n - 1)};
    if (first(u'%'))
        return {2, Text.mid(1)};
    return {};
}

// The longest run of hex digits at From; returns its end.
qsizetype HexRunEnd(const QString& T, qsizetype From)
{
    while (From < T.size() && HexNibble(T[From].unicode()) >= 0)
        ++From;
    return From;
}

// A hex run's value, wrapped in 32 bits like the rest of the number text.
std::uint32_t HexRunValue(const QString& T, qsizetype From, qsizetype To)
{
    std::uint32_t v = 0;
    for (qsizetype i = From; i < To; ++i)
        v = v * 16u + unsigned(HexNibble(T[i].unicode()));
    return v;
}

[[noreturn]] void RaiseMissing(const char* What)
{
    throw EWQHexEditor(QString::asprintf(wqhstr::MissingOffsetChar, What));
}

} // namespace

TGridCoord GridCoord(int X, int Y) { return TGridCoord{X, Y}; }

QString IntToRadixLen(int Value, std::uint8_t Radix, std::uint8_t Len)
{
    return ToRadix(static_cast<std::uint32_t>(Value), Radix, Len);
}

QString IntToRadix(int Value, std::uint8_t Radix) { return IntToRadixLen(Value, Radix, 0); }

QString IntToRadixLen64(std::uint64_t Value, std::uint8_t Radix, std::uint8_t Len)
{
    return ToRadix(Value, Radix, Len);
}

QString IntToRadix64(std::uint64_t Value, std::uint8_t Radix) { return IntToRadixLen64(Value, Radix, 0); }

QString IntToOctal(int Value) { return IntToRadix(Value, 8); }

int RadixToInt(const QString& Text, std::uint8_t Radix)
{
    return static_cast<int>(static_cast<std::uint32_t>(FromRadix(Text, Radix)));
}

std::int64_t RadixToInt64(const QString& Text, std::uint8_t Radix)
{
    return static_cast<std::int64_t>(FromRadix(Text, Radix));
}

int OctalToInt(const QString& Text) { return RadixToInt(Text, 8); }

int CheckRadixToInt(const QString& Text)
{
    const Notation n = NotationOf(Text);
    if (n.Radix == 0)
        return platform::StrToInt(Text);
    return RadixToInt(n.Digits, n.Radix);
}

std::int64_t CheckRadixToInt64(const QString& Text)
{
    const Notation n = NotationOf(Text);
    if (n.Radix == 0)
        return platform::StrToInt64(Text);
    return RadixToInt64(n.Digits, n.Radix);
}

bool TryAddU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R)
{
    R = A + B;
    return R >= A;
}

bool TrySubtractU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R)
{
    R = A - B;
    return B <= A;
}

bool TryMultiplyU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R)
{
    const unsigned __int128 p = static_cast<unsigned __int128>(A) * B;
    R = static_cast<std::uint64_t>(p);
    return (p >> 64) == 0;
}

bool TryDivideU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R)
{
    if (B == 0)
        return false;
    R = A / B;
    return true;
}

bool TryModuloU64(std::uint64_t A, std::uint64_t B, std::uint64_t& R)
{
    if (B == 0)
        return false;
    R = A % B;
    return true;
}

namespace {

// The raising form of a Try function.
std::uint64_t OrOverflow(bool (*Try)(std::uint64_t, std::uint64_t, std::uint64_t&), std::uint64_t A,
                         std::uint64_t B)
{
    std::uint64_t r;
    if (!Try(A, B, r))
        throw EIntOverflow(QString::fromLatin1(wqhstr::IntegerOverflow));
    return r;
}

} // namespace

std::uint64_t AddU64(std::uint64_t A, std::uint64_t B) { return OrOverflow(TryAddU64, A, B); }
std::uint64_t SubtractU64(std::uint64_t A, std::uint64_t B) { return OrOverflow(TrySubtractU64, A, B); }
std::uint64_t MultiplyU64(std::uint64_t A, std::uint64_t B) { return OrOverflow(TryMultiplyU64, A, B); }

std::uint64_t DivideU64(std::uint64_t A, std::uint64_t B)
{
    if (B == 0)
        throw EDivByZero(QString::fromLatin1(wqhstr::DivisionByZero));
    return A / B;
}

std::uint64_t ModuloU64(std::uint64_t A, std::uint64_t B)
{
    if (B == 0)
        throw EDivByZero(QString::fromLatin1(wqhstr::DivisionByZero));
    return A % B;
}

std::uint8_t* ConvertHexToBin(const QChar* Source, std::uint8_t* Target, int Count, bool Swap, int& Translated)
{
    Translated = 0;
    int high = -1;
    for (int i = 0; i < Count; ++i) {
        const int d = HexNibble(Source[i].unicode());
        if (d < 0)
            continue;
        if (high < 0) {
            high = d;
            continue;
        }
        Target[Translated++] = static_cast<std::uint8_t>(Swap ? (d << 4) | high : (high << 4) | d);
        high = -1;
    }
    return Target;
}

QChar* ConvertBinToHex(const std::uint8_t* Source, QChar* Target, int Count, bool Swap)
{
    int t = 0;
    for (int i = 0; i < Count; ++i) {
        const QChar hi(kDigits[Source[i] >> 4]);
        const QChar lo(kDigits[Source[i] & 15]);
        Target[t++] = Swap ? lo : hi;
        Target[t++] = Swap ? hi : lo;
    }
    Target[t] = QChar(0);
    return Target;
}

QString BinToHexString(const std::uint8_t* Source, int Count, bool Swap)
{
    if (Count <= 0)
        return {};
    QString s(qsizetype(Count) * 2 + 1, Qt::Uninitialized);
    ConvertBinToHex(Source, s.data(), Count, Swap);
    s.chop(1);
    return s;
}

void SwapWideChar(char16_t& C) { C = static_cast<char16_t>((C >> 8) | (C << 8)); }

TColor FadeToGray(TColor Color)
{
    // Only system colours need the palette; plain colours are already RGB.
    const std::uint32_t rgb = (static_cast<std::uint32_t>(Color) & 0xFF000000u) == 0xFF000000u
                                  ? static_cast<std::uint32_t>(ColorToRGB(Color))
                                  : static_cast<std::uint32_t>(Color);
    const std::uint32_t r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    const std::uint32_t gray = (r * 74 + g * 146 + b * 36) >> 8;
    return static_cast<TColor>(gray | (gray << 8) | (gray << 16));
}

TWQHOffsetFormat ParseOffsetFormat(const QString& Text, int BytesPerRow, int BytesPerColumn, int RulerBytesPerUnit)
{
    TWQHOffsetFormat f;
    f.Flags = 0;
    if (Text.isEmpty())
        return f;  // no offset texts

    qsizetype p = 0;
    const auto n = Text.size();
    // unit
    int unit;
    if (n >= 2 && (Text[0] == u'r' || Text[0] == u'R') && Text[1] == u'%') {
        unit = BytesPerRow;
        f.Flags |= offCalcRow;
        p = 2;
    } else if (n >= 2 && (Text[0] == u'c' || Text[0] == u'C') && Text[1] == u'%') {
        unit = BytesPerColumn;
        f.Flags |= offCalcColumn;
        p = 2;
    } else {
        const qsizetype e = HexRunEnd(Text, 0);
        if (e < n && Text[e] == u'%' && e > 0) {
            unit = static_cast<int>(HexRunValue(Text, 0, e) & 0xFF);
            p = e + 1;
        } else {
            unit = RulerBytesPerUnit;
            f.Flags |= offBytesPerUnit;
            if (e < n && Text[e] == u'%' && e == 0)
                p = 1;
        }
    }
    if (unit != 1 && unit != 2 && unit != 4 && unit != 8)
        throw EWQHexEditor(QString::asprintf(wqhstr::InvalidBytesPerUnit, unit));
    f._BytesPerUnit = static_cast<std::uint8_t>(unit);

    // width
    if (p + 1 < n && Text[p] == u'-' && Text[p + 1] == u'!') {
        f.MinWidth = 1;
        f.Flags |= offCalcWidth;
        p += 2;
    } else {
        const qsizetype e = HexRunEnd(Text, p);
        if (e < n && Text[e] == u'!') {
            f.MinWidth = e > p ? static_cast<int>(HexRunValue(Text, p, e)) : 1;
            p = e + 1;
        } else {
            f.MinWidth = 1;
        }
    }

    // radix
    const qsizetype e = HexRunEnd(Text, p);
    if (e == p)
        RaiseMissing(wqhstr::OffsetNumberRadix);
    if (e < n && Text[e] != u':')
        RaiseMissing(":");
    const std::uint32_t radix = HexRunValue(Text, p, e) & 0xFF;
    if (radix < 2 || radix > 16)
        throw EWQHexEditor(QString::asprintf(wqhstr::InvalidOffsetRadix, radix));
    f.Radix = static_cast<std::uint8_t>(radix);
    p = e < n ? e + 1 : e;

    // prefix | suffix
    const qsizetype bar = Text.indexOf(QLatin1Char('|'), p);
    if (bar < 0)
        RaiseMissing("|");
    f.Prefix = Text.mid(p, bar - p);
    f.Suffix = Text.mid(bar + 1);
    f.Format = Text;
    return f;
}

QString FormatOffset(const TWQHOffsetFormat& Format, std::uint32_t Position, bool LowerCase)
{
    if (Format.Format.isEmpty())
        return {};
    // A unit of 0 is what 256 leaves in the byte (a 256-byte row under "r%").
    const std::uint32_t unit = Format._BytesPerUnit ? Format._BytesPerUnit : 256u;
    const std::uint8_t width = static_cast<std::uint8_t>(Format.MinWidth & 0xFF);
    QString digits;
    // The no-digit case asks for the whole width to be 0, not its low byte.
    if (!(Format.MinWidth == 0 && Position == 0)) {
        digits = IntToRadixLen(static_cast<int>(Position / unit), Format.Radix, width);
        if (LowerCase)
            digits = digits.toLower();
    }
    return Format.Prefix + digits + Format.Suffix;
}
