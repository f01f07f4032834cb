// The undo store: records back to back in one byte buffer, newest at the end.
// Dropping the oldest records only moves a start offset; the dead prefix is
// compacted away once it outgrows the live part.
#include "hexeditor/wqhundo.h"

#include "hexeditor/wqhstrings.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace {

constexpr int HeadSize = 30;  // packed head, its last byte is the data area's first
constexpr int DataOffset = 29;
constexpr int TrailerSize = 4;
constexpr int SelBlockSize = 12;

void PutI32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

std::uint32_t GetU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::int32_t GetI32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(GetU32(p));
}

// Leaves grown bytes uninitialised: a record is written in full right after
// its space is made, and a whole-data snapshot must not touch its block twice.
template <class T>
struct TNoFillAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = TNoFillAllocator<U>;
    };
    TNoFillAllocator() = default;
    template <class U>
    TNoFillAllocator(const TNoFillAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a)
    {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};
using TBytes = std::vector<std::uint8_t, TNoFillAllocator<std::uint8_t>>;

// A record taken off the stream. When it was most of the buffer it keeps the
// whole block (the bytes before it included) instead of being copied out.
struct TKeptRecord {
    TBytes Block;
    size_t Offset = 0;
    const std::uint8_t* data() const { return Block.data() + Offset; }
    size_t size() const { return Block.size() - Offset; }
};
using TKeptPtr = std::shared_ptr<const TKeptRecord>;

std::uint64_t Fnv1a(const std::uint8_t* p, size_t n)
{
    std::uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

bool Has(TWQHUndoFlags f, TWQHUndoFlag b)
{
    return (f & UndoBit(b)) != 0;
}

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

// One record, read out of the buffer.
struct TRecord {
    std::int64_t Start = 0;  // buffer index
    int Len = 0;
    TWQHUndoFlags Flags = 0;
    TWQHUndoFlag Kind = ufKindNone;
    std::int32_t CurPos = 0;
    std::int64_t Pos = 0;
    std::int64_t Count = 0;
    std::int64_t ReplCount = 0;
    std::uint8_t CurTranslation = 0;
    std::int32_t CurBPU = 1;
    const std::uint8_t* Data = nullptr;
    int DataLen = 0;
    QString Description;
    bool HasSel = false;
    std::int32_t SelStart = -1, SelEnd = -1, SelPosition = -1;
};

// Reads the record of len bytes at p (its head, trailer and data area; Data
// points into p). False when it is not a well-formed record.
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


// A record copied out of the stream before it is restored: the restore reads
// only this copy, so handlers it calls may change or empty the stream.
struct TTaken {
    TKeptPtr Copy;
    std::int64_t LifeStart = 0;  // where it lay, counted over the store's life
    std::uint64_t Generation = 0;  // the store's resets when it was taken
    TRecord Rec;  // read from Copy
};

} // namespace

struct TWQHUndoStorage::Impl {
    explicit Impl(TWQHUndoEditor& E) : ed(E) {}

    TWQHUndoEditor& ed;
    TBytes buf;
    std::int64_t start = 0;      // first live byte in buf
    std::int64_t base = 0;       // bytes discarded from the front over the store's life
    int count = 0;
    int updateCount = 0;
    QString description;
    std::uint64_t generation = 0;  // counts the times the stream was emptied
    bool restoring = false;        // an undo or redo is putting data and state back

    struct TRedo {
        TWQHUndoFlags Flags = 0;
        TWQHUndoFlag Kind = ufKindNone;
        std::int32_t CurPos = 0;
        std::int64_t Pos = 0;
        std::int64_t Count = 0;
        std::int64_t ReplCount = 0;
        TWQHTranslationKind CurTranslation = tkAsIs;
        std::int32_t CurBPU = 1;
        TBytes Data;
        TWQHBookmarks Bookmarks{};
        int SelStart = -1, SelEnd = -1, SelPosition = -1;
        int SizeAfterUndo = 0;  // the data size the undo left; redo refuses any other
        // What the undo left where the redo acts: the bytes it overwrites or
        // removes, or a hash of the whole data for the nibble kinds. A whole-data
        // undo left exactly its record's data area, so that record is the check.
        std::vector<std::uint8_t> Expect;
        std::uint64_t ExpectHash = 0;
        TKeptPtr ExpectRecord;
    };
    // Shared, so that a redo running keeps its block even when a handler
    // called meanwhile records a step (which ends the redo).
    std::shared_ptr<TRedo> redo;
    TKeptPtr lastUndo;  // the record the last undo took off
    bool hasLastUndo = false;
    QString lastUndoDesc;

    std::int64_t live() const { return std::int64_t(buf.size()) - start; }

    void resetRedo()
    {
        redo.reset();
        lastUndo.reset();
        hasLastUndo = false;
        lastUndoDesc.clear();
    }

    void reset(bool alsoRedo)
    {
        ++generation;
        base += std::int64_t(buf.size());
        buf.clear();
        buf.shrink_to_fit();
        start = 0;
        count = 0;
        updateCount = 0;
        description.clear();
        if (alsoRedo)
            resetRedo();
    }

    void emptyStream()
    {
        ++generation;
        base += std::int64_t(buf.size());
        buf.clear();
        start = 0;
        count = 0;
    }

    void compactIfWorth()
    {
        if (start > 0 && start > live()) {
            buf.erase(buf.begin(), buf.begin() + start);
            base += start;
            start = 0;
        }
    }

    // Reads the record that starts at buffer index s with total length len.
    // False when it is not a well-formed record.
    bool parseAt(std::int64_t s, std::int64_t len, TRecord& r) const
    {
        if (s < start || s + len > std::int64_t(buf.size()) || !ParseRecord(buf.data() + s, len, r))
            return false;
        r.Start = s;
        return true;
    }

    bool parseNewest(TRecord& r) const
    {
        if (live() < DataOffset + TrailerSize)
            return false;
        const std::int64_t len = GetI32(buf.data() + buf.size() - 4);
        if (len <= 0 || len > live())
            return false;
        return parseAt(std::int64_t(buf.size()) - len, len, r);
    }

    QString descriptionOf(const TRecord& r) const
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

    // Takes the newest record off and keeps it for redo; returns it (null
    // when the stream held none).
    TKeptPtr removeLast()
    {
        if (live() < HeadSize) {
            reset(false);
            return nullptr;
        }
        std::int64_t len = GetI32(buf.data() + buf.size() - 4);
        len = std::clamp<std::int64_t>(len, 0, live());
        const size_t keep = buf.size() - size_t(len);
        auto kept = std::make_shared<TKeptRecord>();
        if (keep <= size_t(len)) {
            // Copying what stays is cheaper than copying the record out.
            TBytes rest(buf.begin(), buf.begin() + std::ptrdiff_t(keep));
            kept->Block.swap(buf);
            kept->Offset = keep;
            buf.swap(rest);
        } else {
            kept->Block.assign(buf.begin() + std::ptrdiff_t(keep), buf.end());
            buf.resize(keep);
        }
        keepUndone(kept);
        return kept;
    }

    // The record just taken off the end becomes the one a redo puts back.
    void keepUndone(const TKeptPtr& kept)
    {
        lastUndo = kept;
        hasLastUndo = true;
        lastUndoDesc = description;
        if (count > 0)
            --count;
        if (live() < HeadSize) {
            reset(false);
            return;
        }
        TRecord r;
        if (parseNewest(r))
            description = descriptionOf(r);
        else
            reset(false);
    }

    // A copy of the record at buffer index s, len bytes long.
    TTaken takeAt(std::int64_t s, std::int64_t len) const
    {
        TTaken t;
        auto copy = std::make_shared<TKeptRecord>();
        copy->Block.assign(buf.begin() + std::ptrdiff_t(s), buf.begin() + std::ptrdiff_t(s + len));
        t.Copy = copy;
        t.LifeStart = base + s;
        t.Generation = generation;
        ParseRecord(copy->data(), len, t.Rec);
        t.Rec.Start = s;
        return t;
    }

    // The records a combined marker joins, newest first, each copied.
    std::vector<TTaken> takeJoined(const TRecord& marker) const
    {
        std::vector<TTaken> out;
        int budget = count - 1;
        std::int64_t need = std::min<std::int64_t>(marker.Count, budget);
        std::int64_t end = marker.Start;
        while (need > 0 && budget > 0 && end - start >= DataOffset + TrailerSize) {
            const std::int64_t len = GetI32(buf.data() + end - 4);
            TRecord r;
            if (len <= 0 || len > end - start || !parseAt(end - len, len, r))
                break;
            out.push_back(takeAt(end - len, len));
            end -= len;
            --need;
            --budget;
            // A combined step inside joins its own steps below it.
            if (r.Kind == ufKindCombined)
                need += std::min<std::int64_t>(r.Count, budget);
        }
        return out;
    }

    // Room for n more bytes. Growth is geometric, so that a run of small steps
    // after a big one does not move the whole stream each time.
    void reserveFor(std::int64_t n)
    {
        const size_t need = buf.size() + size_t(n);
        if (need > buf.capacity())
            buf.reserve(std::max(need, buf.capacity() + buf.capacity() / 2));
    }

    int recordsBetween(std::int64_t s, std::int64_t e) const
    {
        int n = 0;
        while (s + 4 <= e) {
            const std::int64_t len = GetI32(buf.data() + s);
            if (len < DataOffset + TrailerSize || s + len > e)
                break;
            s += len;
            ++n;
        }
        return n;
    }

    void addSelection(int aStart, int aCount);
    bool undo();
    void applyUndo(const TTaken& t);
    void removeTaken(const TTaken& t);
    bool redoStep();
    bool checkFits(const TRecord& r) const;
    void makeRedo(const TWQHUndoRec& rec);
    void noteUndoneData(const TKeptPtr& record);
    bool redoMatchesData() const;
    std::uint64_t dataHash() const;
    void restoreModes(bool unicode, bool bigEndian, std::uint8_t translation);
    void restoreState(const TRecord& r);
};

// ---------------------------------------------------------------------------

TWQHUndoStorage::TWQHUndoStorage(TWQHUndoEditor& Editor) : d(std::make_unique<Impl>(Editor))
{
    d->reset(true);
}

TWQHUndoStorage::~TWQHUndoStorage() = default;

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

    // Compact before trimming, so that the records this step drops stay in
    // the dead prefix until the next step (a snapshot can still bring them back).
    d->compactIfWorth();
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

bool TWQHUndoStorage::CanUndo() const
{
    return d->count > 0 && d->updateCount < 1 && d->live() > 0;
}

bool TWQHUndoStorage::CanRedo() const
{
    // Whether the block still fits the data is Redo's question: a redo that
    // does not fit is refused there.
    return d->redo != nullptr;
}

namespace {
// Marks a restore running; an undo or redo asked for meanwhile is refused,
// since it would act on the record that is still being restored.
class TRestoring {
public:
    explicit TRestoring(bool& Flag) : f(Flag) { f = true; }
    ~TRestoring() { f = false; }
    TRestoring(const TRestoring&) = delete;
    TRestoring& operator=(const TRestoring&) = delete;

private:
    bool& f;
};
} // namespace

bool TWQHUndoStorage::Undo()
{
    if (d->restoring)
        return false;
    const TRestoring running(d->restoring);
    return d->undo();
}

bool TWQHUndoStorage::Redo()
{
    if (d->restoring)
        return false;
    const TRestoring running(d->restoring);
    return d->redoStep();
}

int TWQHUndoStorage::BeginUpdate()
{
    return ++d->updateCount;
}

int TWQHUndoStorage::EndUpdate()
{
    if (d->updateCount > 0)
        --d->updateCount;
    return d->updateCount;
}

void TWQHUndoStorage::Reset(bool AResetRedo)
{
    d->reset(AResetRedo);
}

void TWQHUndoStorage::EmptySteps()
{
    d->emptyStream();
}

void TWQHUndoStorage::RemoveLastUndo()
{
    d->removeLast();
}

void TWQHUndoStorage::ResetRedo()
{
    d->resetRedo();
}

void TWQHUndoStorage::AddSelection(int AStart, int ACount)
{
    d->addSelection(AStart, ACount);
}

void TWQHUndoStorage::CreateRedo(const TWQHUndoRec& rec)
{
    d->makeRedo(rec);
}

TWQHUndoFlag TWQHUndoStorage::ReadUndoRecord(TWQHUndoRec& rec, QString& description) const
{
    TRecord r;
    if (d->count <= 0 || !d->parseNewest(r)) {
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

int TWQHUndoStorage::Count() const
{
    return d->count;
}

void TWQHUndoStorage::SetCount(int Value)
{
    if (Value <= 0) {
        d->reset(false);
        return;
    }
    d->count = Value;
}

int TWQHUndoStorage::UpdateCount() const
{
    return d->updateCount;
}

const QString& TWQHUndoStorage::Description() const
{
    return d->description;
}

std::vector<std::uint8_t> TWQHUndoStorage::Bytes() const
{
    return std::vector<std::uint8_t>(d->buf.begin() + d->start, d->buf.end());
}

std::int64_t TWQHUndoStorage::Size() const
{
    return d->live();
}

TWQHUndoStorage::TSnapshot TWQHUndoStorage::Snapshot() const
{
    TSnapshot s;
    s.Size = d->live();
    s.Count = d->count;
    s.Description = d->description;
    s.AbsStart = d->base + d->start;
    s.AbsEnd = d->base + std::int64_t(d->buf.size());
    s.Bookmarks = d->ed.Bookmarks();
    s.Modified = d->ed.ModifiedFlag();
    return s;
}

void TWQHUndoStorage::RestoreSnapshot(const TSnapshot& S)
{
    const std::int64_t bufEnd = d->base + std::int64_t(d->buf.size());
    // Records newer than the snapshot go; records dropped since it come back
    // while their bytes are still in the buffer. Nothing comes back after a reset.
    if (S.AbsEnd >= d->base && S.AbsEnd <= bufEnd) {
        d->buf.resize(size_t(S.AbsEnd - d->base));
        if (S.AbsStart >= d->base && S.AbsStart <= S.AbsEnd) {
            d->start = S.AbsStart - d->base;
            d->count = S.Count;
            d->description = S.Description;
        } else {
            d->start = std::min<std::int64_t>(d->start, std::int64_t(d->buf.size()));
            d->count = d->recordsBetween(d->start, std::int64_t(d->buf.size()));
            TRecord r;
            d->description = d->parseNewest(r) ? d->descriptionOf(r) : QString();
        }
        if (d->live() <= 0) {
            d->count = 0;
            d->description.clear();
        }
    }
    if (d->ed.Bookmarks() != S.Bookmarks) {
        d->ed.SetBookmarksRaw(S.Bookmarks);
        d->ed.BookmarkChanged();
    }
    d->ed.SetModifiedFlag(S.Modified);
}

// ---------------------------------------------------------------------------

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

// Whether the record can be applied to the data as it is now.
bool TWQHUndoStorage::Impl::checkFits(const TRecord& r) const
{
    const std::int64_t size = ed.DataSize();
    const auto dataFor = [](std::int64_t n) { return int(std::max<std::int64_t>(n, 1)); };
    switch (r.Kind) {
    case ufKindBytesChanged:
    case ufKindConvert:
        return r.Count >= 1 && r.Pos + r.Count <= size && r.DataLen == dataFor(r.Count);
    case ufKindByteRemoved:
        return r.Pos <= size && r.DataLen == dataFor(r.Count) && size + r.Count <= INT32_MAX;
    case ufKindInsertBuffer:
        return r.Pos + r.Count <= size;
    case ufKindReplace:
        return r.Pos + r.Count <= size && r.DataLen == r.ReplCount && size - r.Count + r.ReplCount <= INT32_MAX;
    case ufKindAppendBuffer:
        return r.Pos <= size;
    case ufKindNibbleInsert:
        return r.DataLen == 1 && r.Pos + 1 < size;
    case ufKindNibbleDelete:
        return r.DataLen == 1 && r.Pos < size;
    case ufKindSelection:
        return true;
    case ufKindCombined:
        return r.DataLen >= 1 && r.Data[0] <= r.DataLen - 1;
    case ufKindAllData:
        return r.DataLen == dataFor(r.Count);
    default:
        return false;
    }
}

void TWQHUndoStorage::Impl::makeRedo(const TWQHUndoRec& rec)
{
    const TWQHUndoFlag kind = KindOf(rec.Flags);
    if (kind == ufKindConvert || kind == ufKindCombined || kind > ufKindAllData) {
        resetRedo();
        return;
    }
    const std::int64_t size = ed.DataSize();
    const std::int64_t pos = rec.Pos, cnt = rec.Count, repl = rec.ReplCount;
    // The block is whole before the old one goes: a range outside the data
    // raises and leaves the redo as it was.
    auto b = std::make_shared<TRedo>();
    b->Kind = kind;
    b->Flags = UndoBit(kind);
    b->Pos = pos;
    b->Count = cnt;
    b->ReplCount = repl;
    auto take = [&](std::int64_t p, std::int64_t n) {
        if (p < 0 || n < 0 || p + n > size)
            OutOfBounds();
        b->Data.resize(size_t(n));
        if (n > 0)
            ed.ReadBytes(b->Data.data(), int(p), int(n));
    };
    switch (kind) {
    case ufKindBytesChanged:
        take(pos, cnt);
        if (ed.HasChanged(int(pos)))
            b->Flags |= UndoBit(ufFlagByte1Changed);
        if (cnt == 2 && ed.HasChanged(int(pos) + 1))
            b->Flags |= UndoBit(ufFlagByte2Changed);
        break;
    case ufKindInsertBuffer:
    case ufKindReplace:
        take(pos, cnt);
        break;
    case ufKindAppendBuffer:
        take(pos, size - pos);
        b->Count = size - pos;
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
    case ufKindAllData:
        take(0, size);
        b->Count = size;
        break;
    default:
        break;
    }
    std::int64_t after = size;
    switch (kind) {
    case ufKindByteRemoved: after = size + cnt; break;
    case ufKindInsertBuffer: after = size - cnt; break;
    case ufKindReplace: after = size - cnt + repl; break;
    case ufKindAppendBuffer: after = pos; break;
    case ufKindNibbleInsert: after = size - 1; break;
    case ufKindAllData: after = cnt; break;
    default: break;
    }
    b->SizeAfterUndo = int(std::clamp<std::int64_t>(after, -1, INT32_MAX));
    const bool inChar = ed.CaretInCharField();
    if (!inChar && ed.CaretOnLaterDigit())
        b->Flags |= UndoBit(ufFlag2ndByteCol);
    if (inChar)
        b->Flags |= UndoBit(ufFlagInCharField);
    if (ed.InsertMode())
        b->Flags |= UndoBit(ufFlagInsertMode);
    if (ed.UnicodeChars())
        b->Flags |= UndoBit(ufFlagIsUnicode);
    if (ed.UnicodeBigEndian())
        b->Flags |= UndoBit(ufFlagIsUnicodeBigEndian);
    if (ed.ModifiedFlag())
        b->Flags |= UndoBit(ufFlagModified);
    b->CurPos = ed.CaretPosition();
    b->CurTranslation = ed.Translation();
    b->CurBPU = ed.BytesPerUnit();
    b->Bookmarks = ed.Bookmarks();
    b->SelStart = ed.SelStartField();
    b->SelEnd = ed.SelEndField();
    b->SelPosition = ed.SelPositionField();
    resetRedo();
    redo = std::move(b);
}

// Unicode mode, then the translation: the translation's setter refuses any
// but "as is" in unicode mode, so there the field takes it directly.
void TWQHUndoStorage::Impl::restoreModes(bool unicode, bool bigEndian, std::uint8_t translation)
{
    const TWQHTranslationKind trans = translation <= tkCustom ? TWQHTranslationKind(translation) : tkAsIs;
    // The layout may no longer allow the mode; the step is undone all the same.
    if (unicode && !ed.UnicodeChars() && !ed.CanSwitchUnicodeOn())
        unicode = false;
    ed.SetUnicodeCharacters(unicode);
    ed.SetUnicodeBigEndian(bigEndian);
    if (ed.UnicodeChars())
        ed.SetTranslationField(trans);
    else
        ed.SetTranslation(trans);
}

// The state of the record being undone, which is still the newest in the stream.
void TWQHUndoStorage::Impl::restoreState(const TRecord& r)
{
    ed.PlaceCaret(r.CurPos, Has(r.Flags, ufFlagInCharField), Has(r.Flags, ufFlag2ndByteCol));
    ed.SetModifiedFlag(Has(r.Flags, ufFlagModified));
    ed.SetInsertMode(Has(r.Flags, ufFlagInsertMode));
    if (r.HasSel) {
        if (r.SelEnd == -1)
            ed.SeekTo(r.SelStart);
        else
            ed.SetSelection(r.SelPosition, r.SelStart, r.SelEnd);
    }
    restoreModes(Has(r.Flags, ufFlagIsUnicode), Has(r.Flags, ufFlagIsUnicodeBigEndian), r.CurTranslation);
    ed.SetBytesPerUnit(r.CurBPU);
    ed.Repaint();
    ed.Changed();
}

bool TWQHUndoStorage::Impl::undo()
{
    if (!(count > 0 && updateCount < 1 && live() > 0)) {
        reset(false);
        return false;
    }
    if (live() < HeadSize) {
        reset(true);
        return false;
    }
    TRecord r;
    // A record that no longer fits the data (changed outside the store)
    // would fail half way through; the steps go instead.
    if (!parseNewest(r) || !checkFits(r)) {
        reset(true);
        return false;
    }
    if (r.Kind != ufKindCombined) {
        applyUndo(takeAt(r.Start, r.Len));
        return true;
    }
    // Every step the marker joins is copied before the first one is restored,
    // so that a handler that records or empties meanwhile changes none of them.
    const std::vector<TTaken> steps = takeJoined(r);
    removeLast();
    for (const TTaken& t : steps) {
        if (!checkFits(t.Rec)) {
            reset(true);
            break;
        }
        if (t.Rec.Kind == ufKindCombined)
            removeTaken(t);
        else
            applyUndo(t);
    }
    resetRedo();
    return true;
}

// Puts back what the copied record saved. The record stays in the stream
// until the data and state are back: a data change that fails leaves the
// step to be undone again.
void TWQHUndoStorage::Impl::applyUndo(const TTaken& t)
{
    const TRecord& r = t.Rec;
    makeRedo(HeadOf(r));
    const int pos = int(r.Pos), cnt = int(r.Count), repl = int(r.ReplCount);
    const std::uint8_t* saved = r.Data;
    const bool b1 = Has(r.Flags, ufFlagByte1Changed);
    const bool b2 = Has(r.Flags, ufFlagByte2Changed);
    switch (r.Kind) {
    case ufKindBytesChanged:
        ed.WriteBuffer(saved, pos, cnt);
        ed.SetChanged(pos, b1);
        if (cnt == 2)
            ed.SetChanged(pos + 1, b2);
        restoreState(r);
        ed.Repaint();
        break;
    case ufKindByteRemoved:
        ed.InternalInsertBuffer(saved, cnt, pos);
        restoreState(r);
        ed.AdjustBookmarks(pos, cnt, ed.DataSize());
        ed.CutChangedMarks(pos);
        ed.Repaint();
        break;
    case ufKindInsertBuffer:
        ed.InternalDelete(pos, pos + cnt);
        restoreState(r);
        ed.AdjustBookmarks(pos + cnt, -cnt, ed.DataSize());
        ed.CutChangedMarks(pos);
        ed.Repaint();
        break;
    case ufKindReplace:
        ed.InternalDelete(pos, pos + cnt);
        ed.InternalInsertBuffer(saved, repl, pos);
        restoreState(r);
        ed.AdjustBookmarks(pos + cnt, repl - cnt, ed.DataSize());
        ed.CutChangedMarks(std::max(pos - 1, 0));
        ed.Repaint();
        break;
    case ufKindAppendBuffer:
        ed.SetCol(2);
        ed.SetDataSizeRaw(pos);
        ed.CalcSizes();
        ed.CutChangedMarks(pos);
        restoreState(r);
        ed.Repaint();
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
        if (r.Kind == ufKindNibbleInsert)
            ed.InternalDeleteNibble(pos, false);
        else
            ed.InternalInsertNibble(pos, false);
        ed.SetDataAt(pos, saved[0]);
        ed.SetChanged(pos, b1);
        // The size before the state: with the extra byte the size may be
        // odd, and unicode mode, when the state switches it on, refuses that.
        ed.SetDataSizeRaw(ed.DataSize() - 1);
        ed.CalcSizes();
        restoreState(r);
        ed.CutChangedMarks(pos);
        ed.Repaint();
        break;
    case ufKindConvert:
        ed.WriteBuffer(saved, pos, cnt);
        restoreState(r);
        ed.CutChangedMarks(pos);
        ed.Repaint();
        break;
    case ufKindSelection:
        restoreState(r);
        break;
    case ufKindAllData:
        ed.SetDataSizeRaw(cnt);
        ed.WriteRaw(saved, 0, cnt);
        ed.CalcSizes();
        restoreState(r);
        break;
    default:
        return;
    }
    removeTaken(t);
}

// Takes a restored record off the stream by where it lay. A handler that
// recorded steps during the restore put them on top of it: it is cut out
// from under them then, and no redo is kept (their steps ended it). Gone
// already when a handler emptied the store.
void TWQHUndoStorage::Impl::removeTaken(const TTaken& t)
{
    const std::int64_t s = t.LifeStart - base;
    const std::int64_t len = t.Rec.Len;
    if (t.Generation != generation || s < start || s + len > std::int64_t(buf.size()) ||
        std::memcmp(buf.data() + s, t.Copy->data(), HeadSize) != 0)
        return;
    if (s + len == std::int64_t(buf.size())) {
        buf.resize(size_t(s));
        keepUndone(t.Copy);
        noteUndoneData(lastUndo);
        return;
    }
    buf.erase(buf.begin() + std::ptrdiff_t(s), buf.begin() + std::ptrdiff_t(s + len));
    if (count > 0)
        --count;
}

std::uint64_t TWQHUndoStorage::Impl::dataHash() const
{
    const int size = ed.DataSize();
    std::vector<std::uint8_t> all(size_t(std::max(size, 0)));
    if (size > 0)
        ed.ReadBytes(all.data(), 0, size);
    return Fnv1a(all.data(), all.size());
}

void TWQHUndoStorage::Impl::noteUndoneData(const TKeptPtr& record)
{
    if (!redo)
        return;
    TRedo& b = *redo;
    auto take = [&](std::int64_t p, std::int64_t n) {
        b.Expect.assign(size_t(std::max<std::int64_t>(n, 0)), 0);
        if (n > 0 && p + n <= ed.DataSize())
            ed.ReadBytes(b.Expect.data(), int(p), int(n));
    };
    switch (b.Kind) {
    case ufKindBytesChanged:
    case ufKindByteRemoved:
        take(b.Pos, b.Count);
        break;
    case ufKindReplace:
        take(b.Pos, b.ReplCount);
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
        b.ExpectHash = dataHash();
        break;
    case ufKindAllData:
        b.ExpectRecord = record;
        break;
    default:
        break;
    }
}

// The data must still be what the undo left, or the redo would act on
// something else (the data was replaced or changed without a step).
bool TWQHUndoStorage::Impl::redoMatchesData() const
{
    const TRedo& b = *redo;
    if (ed.DataSize() != b.SizeAfterUndo)
        return false;
    auto same = [&](std::int64_t p) {
        if (p < 0 || p + std::int64_t(b.Expect.size()) > ed.DataSize())
            return false;
        std::vector<std::uint8_t> now(b.Expect.size());
        if (!now.empty())
            ed.ReadBytes(now.data(), int(p), int(now.size()));
        return now == b.Expect;
    };
    switch (b.Kind) {
    case ufKindBytesChanged:
    case ufKindByteRemoved:
    case ufKindReplace:
        return same(b.Pos);
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
        return dataHash() == b.ExpectHash;
    case ufKindAllData: {
        const TKeptRecord* rec = b.ExpectRecord.get();
        const std::int64_t n = ed.DataSize();
        if (!rec || std::int64_t(rec->size()) < DataOffset + n)
            return false;
        const std::uint8_t* want = rec->data() + DataOffset;
        // Compared a piece at a time: no second copy of the whole data.
        std::vector<std::uint8_t> now(size_t(std::min<std::int64_t>(n, 1 << 16)));
        for (std::int64_t at = 0; at < n;) {
            const int k = int(std::min<std::int64_t>(n - at, std::int64_t(now.size())));
            ed.ReadBytes(now.data(), int(at), k);
            if (std::memcmp(now.data(), want + at, size_t(k)) != 0)
                return false;
            at += k;
        }
        return true;
    }
    default:
        return true;
    }
}

bool TWQHUndoStorage::Impl::redoStep()
{
    if (!redo)
        return false;
    const TRedo& b = *redo;
    const std::int64_t size = ed.DataSize();
    bool fits = redoMatchesData();
    switch (b.Kind) {
    case ufKindBytesChanged:
        fits = fits && b.Pos + b.Count <= size && std::int64_t(b.Data.size()) == b.Count;
        break;
    case ufKindByteRemoved:
        fits = fits && b.Pos + b.Count <= size;
        break;
    case ufKindInsertBuffer:
        fits = fits && b.Pos <= size && std::int64_t(b.Data.size()) == b.Count;
        break;
    case ufKindReplace:
        fits = fits && b.Pos + b.ReplCount <= size && std::int64_t(b.Data.size()) == b.Count;
        break;
    case ufKindAppendBuffer:
        fits = fits && b.Pos == size && std::int64_t(b.Data.size()) == b.Count;
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
    case ufKindAllData:
        fits = fits && std::int64_t(b.Data.size()) == b.Count;
        break;
    case ufKindSelection:
        break;
    default:
        fits = false;
    }
    if (!fits) {
        // Only the redo goes: the undo steps still describe the data.
        resetRedo();
        return false;
    }

    // Held here: a handler that records a step meanwhile ends the redo. The
    // undone record goes back where the stream ends now, beneath any step
    // such a handler records; not at all when a handler empties the store.
    const std::shared_ptr<TRedo> block = redo;
    const TKeptPtr kept = hasLastUndo ? lastUndo : nullptr;
    const QString keptDesc = lastUndoDesc;
    const std::int64_t keptAt = base + std::int64_t(buf.size());
    const std::uint64_t keptGeneration = generation;
    const int pos = int(block->Pos), cnt = int(block->Count), repl = int(block->ReplCount);
    const std::uint8_t* data = block->Data.empty() ? nullptr : block->Data.data();
    switch (block->Kind) {
    case ufKindBytesChanged:
        ed.WriteBuffer(data, pos, cnt);
        break;
    case ufKindByteRemoved:
        ed.InternalDelete(pos, pos + cnt);
        break;
    case ufKindInsertBuffer:
        ed.InternalInsertBuffer(data, cnt, pos);
        break;
    case ufKindReplace:
        ed.InternalDelete(pos, pos + repl);
        ed.InternalInsertBuffer(data, cnt, pos);
        break;
    case ufKindAppendBuffer:
        ed.InternalAppendBuffer(data, cnt);
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
    case ufKindAllData:
        ed.SetDataSizeRaw(cnt);
        ed.WriteRaw(data, 0, cnt);
        ed.CalcSizes();
        break;
    default:
        break;
    }

    ed.SetBookmarksRaw(block->Bookmarks);
    const TWQHUndoFlags f = block->Flags;
    ed.PlaceCaret(block->CurPos, Has(f, ufFlagInCharField), Has(f, ufFlag2ndByteCol));
    ed.SetModifiedFlag(Has(f, ufFlagModified));
    ed.SetInsertMode(Has(f, ufFlagInsertMode));
    ed.SetSelection(block->SelPosition, block->SelStart, block->SelEnd);
    // Unicode mode before the translation, which unicode mode would refuse.
    restoreModes(Has(f, ufFlagIsUnicode), Has(f, ufFlagIsUnicodeBigEndian), block->CurTranslation);
    ed.SetBytesPerUnit(block->CurBPU);
    ed.SetInCharField(Has(f, ufFlagInCharField));
    ed.SetChanged(pos, Has(f, ufFlagByte1Changed));
    if (block->Kind == ufKindBytesChanged && cnt == 2)
        ed.SetChanged(pos + 1, Has(f, ufFlagByte2Changed));
    const std::int64_t at = keptAt - base;
    if (kept && kept->size() > 0 && keptGeneration == generation && at >= start &&
        at <= std::int64_t(buf.size())) {
        const bool newest = at == std::int64_t(buf.size());
        buf.insert(buf.begin() + std::ptrdiff_t(at), kept->data(), kept->data() + kept->size());
        ++count;
        if (newest)
            description = keptDesc;
    }
    lastUndo.reset();
    hasLastUndo = false;
    ed.Repaint();
    ed.BookmarkChanged();
    resetRedo();
    ed.Changed();
    return true;
}
