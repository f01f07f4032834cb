#include "hexeditor/ex/wqholeimport.h"

#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/wqhnumbers.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhtypes.h"
#include "platform/exceptions.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace wqhimport {

namespace {

constexpr std::uint32_t kOwnVersion = 0x00010001;
constexpr std::int64_t kDropFilesHeader = 20;
constexpr std::int64_t kMetafilePictHeader = 12;
constexpr std::int64_t kMaxPaletteEntries = 256;

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::int32_t ReadI32(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32(p)); }

using Bytes = std::vector<std::uint8_t>;

std::optional<Bytes> Range(const std::uint8_t* p, std::int64_t n)
{
    if (n < 0 || n > kMaxDataSize)
        return std::nullopt;
    return Bytes(p, p + n);
}

// A count-prefixed block: the count at CountAt, the bytes from DataAt.
std::optional<Bytes> Counted(const std::uint8_t* b, std::int64_t size, std::int64_t countAt, std::int64_t dataAt)
{
    if (size < dataAt)
        return std::nullopt;
    const std::int64_t n = ReadI32(b + countAt);
    if (n < 0 || n > size - dataAt)
        return std::nullopt;
    return Range(b + dataAt, n);
}

std::optional<Bytes> Text8(const std::uint8_t* b, std::int64_t size)
{
    const void* zero = std::memchr(b, 0, static_cast<std::size_t>(size));
    if (!zero)
        return std::nullopt;
    return Range(b, static_cast<const std::uint8_t*>(zero) - b);
}

std::optional<Bytes> Text16(const std::uint8_t* b, std::int64_t size, bool swap)
{
    // Only whole 16-bit units count: a last odd byte is never part of a character.
    const std::int64_t whole = size - size % 2;
    std::int64_t n = 0;
    while (n < whole && (b[n] | b[n + 1]) != 0)
        n += 2;
    if (n == whole)
        return std::nullopt;
    auto out = Range(b, n);
    if (out && swap)
        for (std::int64_t i = 0; i < n; i += 2)
            std::swap((*out)[i], (*out)[i + 1]);
    return out;
}

[[noreturn]] void RaiseTooLarge() { throw EWQHexEditor(QString::fromLatin1(wqhstr::DataTooLarge)); }

} // namespace

TClipFormats GetMyOLEFormats(const TWQHClipFormats& ids, bool supportsOtherClipFormats)
{
    TClipFormats f{ids.Own, CF_HDROP};
    if (supportsOtherClipFormats)
        f.insert(f.end(), {CF_TEXT, ids.RichText, CF_UNICODETEXT, CF_BITMAP, CF_PALETTE, CF_METAFILEPICT, CF_TIFF,
                           CF_OEMTEXT, CF_DIB, CF_RIFF, CF_WAVE, CF_ENHMETAFILE, CF_LOCALE, ids.RegEditHexData,
                           ids.Html});
    return f;
}

std::optional<TClipFormat> FirstSupportedFormat(const TClipFormats& accepted, const TClipFormats& offered)
{
    for (const auto cf : accepted)
        if (std::find(offered.begin(), offered.end(), cf) != offered.end())
            return cf;
    return std::nullopt;
}

TClipFormats OfferedInPriority(const TClipFormats& accepted, const TClipFormats& offered)
{
    TClipFormats out;
    for (const auto cf : accepted)
        if (std::find(offered.begin(), offered.end(), cf) != offered.end()
            && std::find(out.begin(), out.end(), cf) == out.end())
            out.push_back(cf);
    return out;
}

std::optional<Bytes> ConvertOLEData(const TWQHClipFormats& ids, TClipFormat cf, const std::uint8_t* b,
                                    std::int64_t size, bool swap)
{
    if (!b || size < 0)
        return std::nullopt;
    if (cf == ids.Own) {
        if (size < 12 || std::memcmp(b, "WQTH", 4) != 0 || ReadU32(b + 4) != kOwnVersion)
            return std::nullopt;
        return Counted(b, size, 8, 12);
    }
    if (cf == ids.RegEditHexData)
        return Counted(b, size, 0, 4);
    if (cf == ids.RichText || cf == ids.Html)
        return Text8(b, size);
    switch (cf) {
    case CF_TEXT:
    case CF_OEMTEXT:
        return Text8(b, size);
    case CF_UNICODETEXT:
        return Text16(b, size, swap);
    case CF_BITMAP:
    case CF_ENHMETAFILE:
    case CF_TIFF:
    case CF_RIFF:
    case CF_WAVE:
        return Range(b, size);
    case CF_METAFILEPICT:
        if (size <= kMetafilePictHeader)
            return std::nullopt;
        return Range(b + kMetafilePictHeader, size - kMetafilePictHeader);
    case CF_DIB: {
        if (size > kMaxDataSize - 14)
            return std::nullopt;
        Bytes out(static_cast<std::size_t>(size + 14), 0);
        out[0] = 'B';
        out[1] = 'M';
        std::copy(b, b + size, out.begin() + 14);
        return out;
    }
    case CF_PALETTE: {
        const std::int64_t c = size / 4;
        if (size % 4 != 0 || c < 1 || c > kMaxPaletteEntries)
            return std::nullopt;
        Bytes out{0x00, 0x03, static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)};
        out.insert(out.end(), b, b + size);
        return out;
    }
    case CF_LOCALE:
        if (size < 2)
            return std::nullopt;
        return Range(b, 2);
    default:
        return std::nullopt;
    }
}

Bytes DecodeHexText(const Bytes& text, bool swap)
{
    // The text is at most kMaxDataSize bytes, so its length fits the core's int count.
    const QString chars = QString::fromLatin1(reinterpret_cast<const char*>(text.data()),
                                              static_cast<qsizetype>(text.size()));
    Bytes out(text.size() / 2);
    int translated = 0;
    ConvertHexToBin(chars.constData(), out.data(), static_cast<int>(chars.size()), swap, translated);
    out.resize(static_cast<std::size_t>(translated));
    return out;
}

std::optional<QStringList> ReadDropFiles(const std::uint8_t* b, std::int64_t size)
{
    if (!b || size < kDropFilesHeader)
        return std::nullopt;
    const std::int64_t at = ReadU32(b);
    const bool wide = ReadU32(b + 16) != 0;
    if (at < kDropFilesHeader || at > size)
        return std::nullopt;
    QStringList names;
    std::int64_t i = at;
    const std::int64_t step = wide ? 2 : 1;
    for (;;) {
        std::int64_t end = i;
        if (wide) {
            while (end + 1 < size && (b[end] | b[end + 1]) != 0)
                end += 2;
            if (end + 1 >= size)
                return std::nullopt; // list not closed inside the block
        } else {
            while (end < size && b[end] != 0)
                ++end;
            if (end >= size)
                return std::nullopt;
        }
        if (end == i)
            return names; // the empty name closes the list
        if (wide)
            names << QString::fromUtf16(reinterpret_cast<const char16_t*>(b + i), (end - i) / 2);
        else
            names << QString::fromLocal8Bit(reinterpret_cast<const char*>(b + i), end - i);
        i = end + step;
    }
}

Bytes MakeDropFiles(const QStringList& names)
{
    Bytes out(kDropFilesHeader, 0);
    out[0] = kDropFilesHeader;
    out[16] = 1; // wide names
    for (const QString& n : names) {
        for (const QChar c : n) {
            out.push_back(static_cast<std::uint8_t>(c.unicode() & 0xFF));
            out.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
        }
        out.insert(out.end(), {0, 0});
    }
    out.insert(out.end(), {0, 0});
    return out;
}

Bytes ReadDroppedFile(const QString& path, std::int64_t room)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw platform::EFOpenError(QString::asprintf(wqhstr::CannotOpenFile, path.toUtf8().constData(),
                                                      wqhstr::NoSuchFile));
    if (!info.isFile())
        throw platform::EFOpenError(QString::asprintf(wqhstr::CannotOpenFile, path.toUtf8().constData(),
                                                      wqhstr::NotRegularFile));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::EFOpenError(QString::asprintf(wqhstr::CannotOpenFile, path.toUtf8().constData(),
                                                      file.errorString().toUtf8().constData()));
    const std::int64_t size = file.size();
    if (size > room || size > kMaxDataSize)
        RaiseTooLarge();
    Bytes out(static_cast<std::size_t>(size));
    std::int64_t got = 0;
    while (got < size) {
        const qint64 n = file.read(reinterpret_cast<char*>(out.data()) + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got != size)
        throw platform::EReadError(QString::asprintf(wqhstr::CannotOpenFile, path.toUtf8().constData(),
                                                     file.errorString().toUtf8().constData()));
    return out;
}

Bytes FileNamesAsData(const QStringList& names, std::int64_t room)
{
    std::int64_t total = 0;
    for (const QString& n : names)
        total += 2 * (std::int64_t(n.size()) + 1);
    if (total > room || total > kMaxDataSize)
        RaiseTooLarge();
    Bytes out;
    out.reserve(static_cast<std::size_t>(total));
    for (const QString& n : names) {
        for (const QChar c : n) {
            out.push_back(static_cast<std::uint8_t>(c.unicode() & 0xFF));
            out.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
        }
        out.insert(out.end(), {0, 0});
    }
    return out;
}

std::int64_t CheckUnit(std::int64_t count, int bytesPerUnit)
{
    if (bytesPerUnit <= 1 || count <= 0)
        return count;
    return count - count % bytesPerUnit;
}

std::uint32_t ModifyOLEDropEffect(std::uint32_t keys, bool ownDrag, bool readOnlyView, bool fixedSize,
                                  TClipFormat dropFormat)
{
    if (ownDrag)
        return (readOnlyView || (keys & MK_CONTROL)) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    std::uint32_t e = ((keys & MK_SHIFT) && !readOnlyView) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    if (dropFormat == CF_HDROP && e == DROPEFFECT_MOVE)
        e = DROPEFFECT_LINK;
    // A fixed-size control cannot take bytes away from the source.
    if (fixedSize && e == DROPEFFECT_MOVE)
        e = DROPEFFECT_COPY;
    return e;
}

std::uint32_t AllowedDropEffect(std::uint32_t effect, std::uint32_t allowed)
{
    effect &= DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    if (effect == DROPEFFECT_NONE)
        return DROPEFFECT_NONE;
    if ((effect & allowed) == effect && (effect & (effect - 1)) == 0)
        return effect;
    // Not allowed (or several at once): a copy takes nothing from the source.
    return (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

std::uint32_t SourceDropEffect(std::uint32_t returned, bool hasStored, std::uint32_t stored, std::uint32_t allowed)
{
    return AllowedDropEffect(hasStored ? stored : returned, allowed);
}

TWQHPlacePlan PlanInsertion(const TWQHPlaceInput& in)
{
    using A = TWQHPlaceAction;
    if (in.Operation == oleClipboard)
        return {A::PasteData, 0};
    std::int64_t pos = in.DropPosition;
    if (pos < 0)
        return {A::Fail, 0};
    const bool hasSel = in.SelStart >= 0 && in.SelEnd >= 0;
    const std::int64_t lo = hasSel ? std::min(in.SelStart, in.SelEnd) : -1;
    const std::int64_t hi = hasSel ? std::max(in.SelStart, in.SelEnd) : -1;
    const std::int64_t count = hasSel ? hi - lo + 1 : 0;
    if (in.OwnDrag && in.Effect == DROPEFFECT_MOVE) {
        if (hasSel && lo < pos)
            pos = std::max<std::int64_t>(lo, pos - count);
        return {pos < in.DataSize - count ? A::MoveInsert : A::MoveAppend, pos};
    }
    if (pos >= in.DataSize)
        return {in.FixedSize ? A::AppendNothing : A::Append, in.DataSize};
    const bool inSel = hasSel && pos >= lo && pos <= hi;
    if (!in.FixedSize)
        return {inSel ? A::ReplaceSelection : A::Insert, pos};
    return {inSel ? A::ReplaceSelection : A::ReplaceInPlace, pos};
}

} // namespace wqhimport
