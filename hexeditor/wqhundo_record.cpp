// The undo record: its layout, written when a step is recorded and read back
// from the newest end of the stream.
#include "hexeditor/wqhundo_impl.h"

#include "hexeditor/wqhstrings.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cstring>

using namespace wqhundo;

namespace wqhundo {

TWQHUndoFlag KindOf(TWQHUndoFlags f)
{
    for (int k = ufKindBytesChanged; k <= ufKindAllData; ++k)
        if (f & (TWQHUndoFlags(1) << k))
            return static_cast<TWQHUndoFlag>(k);
    return ufKindNone;
}

QString DefaultDescription(TWQHUndoFlag kind)
{
    if (kind > ufKindAllData)
        return QString();
    return QString::fromLatin1(wqhstr::UndoDescriptions[kind]);
}

[[noreturn]] void BadArgument()
{
    throw EWQHexEditor(QString::fromLatin1(wqhstr::CannotUpdateUndo));
}

[[noreturn]] void OutOfBounds()
{
    throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));
}

bool ParseRecord(const std::uint8_t* p, std::int64_t len, TRecord& r)
{
    if (len < DataOffset + TrailerSize)
        return false;
    if (GetI32(p) != len || GetI32(p + len - 4) != len)
        return false;
    r.Start = 0;
    r.Len = int(len);
    r.Flags = GetU32(p + 4);
    r.Kind = KindOf(r.Flags);
    r.CurPos = GetI32(p + 8);
    r.Pos = GetU32(p + 12);
    r.Count = GetU32(p + 16);
    r.ReplCount = GetU32(p + 20);
    r.CurTranslation = p[24];
    r.CurBPU = GetI32(p + 25);
    std::int64_t tail = len - TrailerSize;  // end of the part before the trailing length
    r.HasSel = Has(r.Flags, ufFlagHasSelection);
    if (r.HasSel) {
        tail -= SelBlockSize;
        if (tail < DataOffset)
            return false;
        r.SelStart = GetI32(p + tail);
        r.SelEnd = GetI32(p + tail + 4);
        r.SelPosition = GetI32(p + tail + 8);
    }
    if (Has(r.Flags, ufFlagHasDescription)) {
        tail -= 4;
        if (tail < DataOffset)
            return false;
        const std::int64_t l = GetI32(p + tail);
        if (l < 0 || tail - 2 * l < DataOffset)
            return false;
        tail -= 2 * l;
        QString d(int(l), Qt::Uninitialized);
        for (std::int64_t i = 0; i < l; ++i)
            d[int(i)] = QChar(char16_t(p[tail + 2 * i] | (p[tail + 2 * i + 1] << 8)));
        r.Description = d;
    }
    r.Data = p + DataOffset;
    r.DataLen = int(tail - DataOffset);
    return true;
}

TWQHUndoRec HeadOf(const TRecord& r)
{
    TWQHUndoRec h{};
    h.DataLen = r.Len;
    h.Flags = r.Flags;
    h.CurPos = r.CurPos;
    h.Pos = std::uint32_t(r.Pos);
    h.Count = std::uint32_t(r.Count);
    h.ReplCount = std::uint32_t(r.ReplCount);
    h.CurTranslation = r.CurTranslation;
    h.CurBPU = r.CurBPU;
    h.Buffer[0] = r.Data[0];  // the head's last byte, whatever follows it
    return h;
}

QString DescriptionOf(const TRecord& r)
{
    if (r.Kind == ufKindCombined) {
        if (r.DataLen >= 1) {
            const int k = std::min<int>(r.Data[0], r.DataLen - 1);
            if (k > 0)
                return platform::AnsiToString(QByteArray(reinterpret_cast<const char*>(r.Data + 1), k));
        }
        return DefaultDescription(r.Kind);
    }
    if (!r.Description.isEmpty())
        return r.Description;
    return DefaultDescription(r.Kind);
}

} // namespace wqhundo

namespace {

// The description of a combined step in the system's 8-bit code page, at most
// 255 bytes and never cut inside a character.
QByteArray CombinedText(const QString& s)
{
    QByteArray all = platform::StringToAnsi(s);
    if (all.size() <= 255)
        return all;
    QByteArray out;
    for (int i = 0; i < s.size(); ++i) {
        int n = (s[i].isHighSurrogate() && i + 1 < s.size()) ? 2 : 1;
        QByteArray part = platform::StringToAnsi(s.mid(i, n));
        if (out.size() + part.size() > 255)
            break;
        out += part;
        i += n - 1;
    }
    return out;
}


} // namespace

// Reads the record that starts at buffer index s with total length len.
// False when it is not a well-formed record.
bool TWQHUndoStorage::Impl::parseAt(std::int64_t s, std::int64_t len, TRecord& r) const
{
    if (s < start || s + len > std::int64_t(buf.size()) || !ParseRecord(buf.data() + s, len, r))
        return false;
    r.Start = s;
    return true;
}

bool TWQHUndoStorage::Impl::parseNewest(TRecord& r) const
{
    if (live() < DataOffset + TrailerSize)
        return false;
    const std::int64_t len = GetI32(buf.data() + buf.size() - 4);
    if (len <= 0 || len > live())
        return false;
    return parseAt(std::int64_t(buf.size()) - len, len, r);
}

void TWQHUndoStorage::CreateUndo(TWQHUndoFlag aKind, int APosition, int ACount, int AReplaceCount,
                                 const QString& SDescription)
{
    if (d->updateCount >= 1)
        return;
    if (aKind > ufKindAllData)
        BadArgument();
    TWQHUndoEditor& ed = d->ed;
    const std::int64_t size = ed.DataSize();
    const std::int64_t pos = APosition, cnt = ACount, repl = AReplaceCount;

    // Everything that can fail comes first, so a refused step changes nothing.
    // The data area is read from the data straight into the stream later:
    // readCount bytes from readPos, then zeros up to dataLen; or the bytes
    // of `inlineData`.
    std::int64_t dataLen = 0, readPos = 0, readCount = 0;
    QByteArray inlineData;
    TWQHUndoFlags flags = UndoBit(aKind);
    std::int64_t countField = cnt;
    auto saveRange = [&](std::int64_t p, std::int64_t n) {
        if (p < 0 || n < 0 || p + n > size)
            OutOfBounds();
        dataLen = std::max<std::int64_t>(n, 1);
        readPos = p;
        readCount = n;
    };
    switch (aKind) {
    case ufKindBytesChanged:
        saveRange(pos, cnt);
        if (cnt >= 1 && ed.HasChanged(int(pos)))
            flags |= UndoBit(ufFlagByte1Changed);
        if (cnt == 2 && ed.HasChanged(int(pos) + 1))
            flags |= UndoBit(ufFlagByte2Changed);
        break;
    case ufKindByteRemoved:
    case ufKindConvert:
        saveRange(pos, cnt);
        break;
    case ufKindInsertBuffer:
        if (pos < 0 || pos > size || cnt < 0 || size + cnt > INT32_MAX)
            OutOfBounds();
        dataLen = 1;
        break;
    case ufKindReplace:
        if (cnt < 0 || size - repl + cnt > INT32_MAX)
            OutOfBounds();
        saveRange(pos, repl);
        if (repl == 0)
            dataLen = 0;
        break;
    case ufKindAppendBuffer:
        if (pos < 0 || pos > size || cnt < 0 || pos + cnt > INT32_MAX)
            OutOfBounds();
        dataLen = 1;
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
        if (pos < 0 || pos >= size)
            OutOfBounds();
        dataLen = 1;
        readPos = pos;
        readCount = 1;
        if (ed.HasChanged(int(pos)))
            flags |= UndoBit(ufFlagByte1Changed);
        break;
    case ufKindSelection:
        if (cnt < 0)
            OutOfBounds();
        dataLen = 1;
        break;
    case ufKindCombined: {
        if (cnt < 0)
            BadArgument();
        const QByteArray text = CombinedText(SDescription);
        inlineData.reserve(text.size() + 1);
        inlineData.append(char(std::uint8_t(text.size())));
        inlineData.append(text);
        dataLen = inlineData.size();
        break;
    }
    case ufKindAllData:
        saveRange(0, size);
        countField = size;
        break;
    default:
        BadArgument();
    }

    const bool laterDigit = ed.CaretOnLaterDigit();
    const bool inChar = ed.CaretInCharField();
    if (!inChar && laterDigit)
        flags |= UndoBit(ufFlag2ndByteCol);
    if (inChar)
        flags |= UndoBit(ufFlagInCharField);
    if (ed.InsertMode())
        flags |= UndoBit(ufFlagInsertMode);
    if (ed.UnicodeChars())
        flags |= UndoBit(ufFlagIsUnicode);
    if (ed.UnicodeBigEndian())
        flags |= UndoBit(ufFlagIsUnicodeBigEndian);
    if (ed.ModifiedFlag())
        flags |= UndoBit(ufFlagModified);
    const bool hasSel = ed.SelPositionField() >= 0;
    if (hasSel)
        flags |= UndoBit(ufFlagHasSelection);
    if (!SDescription.isEmpty())
        flags |= UndoBit(ufFlagHasDescription);

    std::int64_t len = DataOffset + dataLen + TrailerSize;
    if (!SDescription.isEmpty())
        len += 2 * std::int64_t(SDescription.size()) + 4;
    if (hasSel)
        len += SelBlockSize;
    if (len > INT32_MAX)
        BadArgument();

    // What the previous step dropped goes now; what this one drops stays
    // until the next, so that a snapshot taken before it can bring it back.
    d->compactDropped();
    d->reserveFor(len);

    // The record is written in place behind the live ones; it only becomes
    // part of the stream once it is whole.
    const size_t at = d->buf.size();
    d->buf.resize(at + size_t(len));  // within the reserve: no allocation
    try {
        std::uint8_t* p = d->buf.data() + at;
        PutI32(p, std::uint32_t(len));
        PutI32(p + 4, flags);
        PutI32(p + 8, std::uint32_t(aKind == ufKindSelection ? APosition : ed.CaretPosition()));
        PutI32(p + 12, std::uint32_t(APosition));
        PutI32(p + 16, std::uint32_t(countField));
        PutI32(p + 20, std::uint32_t(AReplaceCount));
        p[24] = ed.Translation();
        PutI32(p + 25, std::uint32_t(ed.BytesPerUnit()));
        std::uint8_t* area = p + DataOffset;
        if (!inlineData.isEmpty())
            std::memcpy(area, inlineData.constData(), size_t(inlineData.size()));
        else if (readCount > 0)
            ed.ReadBytes(area, int(readPos), int(readCount));
        else if (dataLen > 0)
            std::memset(area, 0, size_t(dataLen));
        std::int64_t o = DataOffset + dataLen;
        if (!SDescription.isEmpty()) {
            for (QChar c : SDescription) {
                p[o++] = std::uint8_t(c.unicode());
                p[o++] = std::uint8_t(c.unicode() >> 8);
            }
            PutI32(p + o, std::uint32_t(SDescription.size()));
            o += 4;
        }
        if (hasSel) {
            PutI32(p + o, std::uint32_t(ed.SelStartField()));
            PutI32(p + o + 4, std::uint32_t(ed.SelEndField()));
            PutI32(p + o + 8, std::uint32_t(ed.SelPositionField()));
            o += SelBlockSize;
        }
        PutI32(p + o, std::uint32_t(len));
    } catch (...) {
        d->buf.resize(at);
        throw;
    }

    // From here on nothing throws.
    d->resetRedo();
    d->description = SDescription.isEmpty() ? DefaultDescription(aKind) : SDescription;
    const int maxUndo = ed.MaxUndo();
    // The limit applies to the steps before this one.
    const auto liveBefore = [&] { return std::int64_t(at) - d->start; };
    bool dropAll = false;
    while (maxUndo > 0 && d->count > 0 && liveBefore() > maxUndo) {
        if (liveBefore() < 4) {
            dropAll = true;
            break;
        }
        const std::int64_t first = GetI32(d->buf.data() + d->start);
        if (first < HeadSize || first > liveBefore()) {
            dropAll = true;
            break;
        }
        d->start += first;
        --d->count;
    }
    if (dropAll) {
        // A broken stream goes entirely; only the new record stays.
        d->buf.erase(d->buf.begin(), d->buf.begin() + std::ptrdiff_t(at));
        d->base += std::int64_t(at);
        d->start = 0;
        d->count = 0;
    }
    ++d->count;
    if (const TWatch w = std::exchange(d->following, {}).lock())
        *w = d->base + std::int64_t(d->buf.size()) - len;

    switch (aKind) {
    case ufKindByteRemoved:
        ed.AdjustBookmarks(int(pos + cnt), int(-cnt), int(size - cnt));
        break;
    case ufKindInsertBuffer:
        ed.AdjustBookmarks(int(pos), int(cnt), int(size + cnt));
        break;
    case ufKindReplace:
        ed.AdjustBookmarks(int(pos + repl), int(cnt - repl), int(size - repl + cnt));
        break;
    case ufKindSelection:
        d->addSelection(APosition, ACount);
        break;
    default:
        break;
    }
}

void TWQHUndoStorage::AddSelection(int AStart, int ACount)
{
    d->addSelection(AStart, ACount);
}

void TWQHUndoStorage::Impl::addSelection(int aStart, int aCount)
{
    if (!(count > 0 && updateCount < 1 && live() > 0))
        return;
    TRecord r;
    if (!parseNewest(r))
        return;
    if (!r.HasSel) {
        const std::int64_t newLen = std::int64_t(r.Len) + SelBlockSize;
        buf.insert(buf.end() - TrailerSize, size_t(SelBlockSize), 0);
        std::uint8_t* p = buf.data() + r.Start;
        PutI32(p + 4, r.Flags | UndoBit(ufFlagHasSelection));
        PutI32(p, std::uint32_t(newLen));
        PutI32(p + newLen - 4, std::uint32_t(newLen));
        r.Len = int(newLen);
    }
    std::uint8_t* p = buf.data() + r.Start;
    PutI32(p + 8, std::uint32_t(aStart));
    std::uint8_t* sel = p + r.Len - TrailerSize - SelBlockSize;
    PutI32(sel, std::uint32_t(aStart));
    PutI32(sel + 4, std::uint32_t(aCount == 0 ? -1 : aStart + aCount - 1));
    PutI32(sel + 8, std::uint32_t(aStart));
}


TWQHUndoFlag TWQHUndoStorage::ReadUndoRecord(TWQHUndoRec& rec, QString& description) const
{
    TRecord r;
    if (!d->parseNewest(r)) {
        rec = TWQHUndoRec{};
        description.clear();
        return ufKindNone;
    }
    rec = HeadOf(r);
    description = r.Description;
    return r.Kind;
}

TWQHUndoFlag TWQHUndoStorage::UndoKind() const
{
    TWQHUndoRec rec;
    QString description;
    return ReadUndoRecord(rec, description);
}
