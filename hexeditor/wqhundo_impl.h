#pragma once
// Inside the undo store, shared by its sources: the record layout, the byte
// stream that holds the records (newest at the end) and the redo block.
//   wqhundo_record.cpp   the record layout: writing, reading, descriptions
//   wqhundo.cpp          the store's memory: the stream, its limit, snapshots
//   wqhundo_undo.cpp     undo per kind
//   wqhundo_redo.cpp     the redo block and redo
#include "hexeditor/wqhundo.h"

#include <QScopedValueRollback>
#include <QString>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace wqhundo {

constexpr int HeadSize = 30;  // packed head, its last byte is the data area's first
constexpr int DataOffset = 29;
constexpr int TrailerSize = 4;
constexpr int SelBlockSize = 12;

inline void PutI32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

inline std::uint32_t GetU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

inline std::int32_t GetI32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(GetU32(p));
}

inline bool Has(TWQHUndoFlags f, TWQHUndoFlag b)
{
    return (f & UndoBit(b)) != 0;
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
// A record taken off the stream, kept whole.
using TKeptPtr = std::shared_ptr<const TBytes>;

TWQHUndoFlag KindOf(TWQHUndoFlags f);
QString DefaultDescription(TWQHUndoFlag kind);
[[noreturn]] void BadArgument();
[[noreturn]] void OutOfBounds();

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

// Reads the record of len bytes at p (Data then points into p). False when
// it is not a well-formed record.
bool ParseRecord(const std::uint8_t* p, std::int64_t len, TRecord& r);
TWQHUndoRec HeadOf(const TRecord& r);
// The text a record shows as the undo description.
QString DescriptionOf(const TRecord& r);
// Whether a step of this kind can be redone (a conversion or a combined step
// cannot, nor a kind the store does not know).
inline bool Redoable(TWQHUndoFlag kind)
{
    return kind != ufKindConvert && kind != ufKindCombined && kind <= ufKindAllData;
}

// Where a record lies, counted over the store's life, while an operation
// that still has to find it runs; -1 once it has left the stream.
using TWatch = std::shared_ptr<std::int64_t>;

// A record copied out of the stream before it is restored: the restore reads
// only this copy, so handlers it calls may change or empty the stream. A
// whole-data record is not copied: its data area is written back before
// anything can notify a handler, and nothing reads it after that.
struct TTaken {
    TKeptPtr Copy;  // null for a whole-data record
    TWatch Where;   // the record in the stream, whatever handlers do to it
    TRecord Rec;    // read from Copy
};

} // namespace wqhundo

struct TWQHUndoStorage::Impl {
    using TBytes = wqhundo::TBytes;
    using TKeptPtr = wqhundo::TKeptPtr;
    using TRecord = wqhundo::TRecord;
    using TTaken = wqhundo::TTaken;
    using TWatch = wqhundo::TWatch;

    explicit Impl(TWQHUndoEditor& E) : ed(E) {}

    TWQHUndoEditor& ed;
    TBytes buf;
    std::int64_t start = 0;      // first live byte in buf
    std::int64_t base = 0;       // bytes discarded from the front over the store's life
    int count = 0;
    int updateCount = 0;
    QString description;
    std::uint64_t generation = 0;  // counts the times the stream was emptied
    // An undo or redo is putting data and state back; one asked for meanwhile
    // is refused, since it would act on the record still being restored.
    bool restoring = false;
    int editing = 0;  // edit primitives running
    // The records followed by running operations, and the one that gets the
    // next record recorded.
    std::vector<std::weak_ptr<std::int64_t>> watches;
    std::weak_ptr<std::int64_t> following;

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
    QString lastUndoDesc;

    std::int64_t live() const { return std::int64_t(buf.size()) - start; }

    // ---- the stream (wqhundo.cpp) ----
    void resetRedo();
    void reset(bool alsoRedo);
    void emptyStream();
    void compactDropped();
    TKeptPtr removeLast();
    TKeptPtr takeTail(std::int64_t s);
    // The stream ends at buffer index s from now on.
    void cutTail(std::int64_t s);
    // Removes the record at buffer index s, len bytes, from under newer ones.
    void eraseRecord(std::int64_t s, std::int64_t len);
    TWatch watch(std::int64_t lifeStart);
    // The bytes [from, to) (life positions) left the stream; with shift the
    // records after them moved down.
    void left(std::int64_t from, std::int64_t to, bool shift);
    // The buffer index of a followed record that is still live, or -1.
    std::int64_t find(const TWatch& w, TRecord& r) const;
    void keepUndone(const TKeptPtr& kept);
    TTaken takeAt(std::int64_t s, std::int64_t len, bool copy);
    std::vector<TTaken> takeJoined(const TRecord& marker);
    void reserveFor(std::int64_t n);
    int recordsBetween(std::int64_t s, std::int64_t e) const;
    // ---- records (wqhundo_record.cpp) ----
    bool parseAt(std::int64_t s, std::int64_t len, TRecord& r) const;
    bool parseNewest(TRecord& r) const;
    void addSelection(int aStart, int aCount);
    // ---- undo (wqhundo_undo.cpp) ----
    bool undo();
    // forRedo false: no redo block is made (a step a combined undo restores
    // cannot be redone).
    void applyUndo(const TTaken& t, bool forRedo = true);
    void removeTaken(const TTaken& t, bool forRedo = true);
    // The redo of a step a combined undo restores: a block without data, so
    // that CanRedo answers as for the step's own undo until the end drops it.
    void markRedo(TWQHUndoFlag kind);
    bool checkFits(const TRecord& r) const;
    void restoreModes(bool unicode, bool bigEndian, std::uint8_t translation);
    void restoreState(const TRecord& r);
    // ---- redo (wqhundo_redo.cpp) ----
    bool redoStep();
    void makeRedo(const TWQHUndoRec& rec);
    void noteUndoneData(const TKeptPtr& record);
    bool redoMatchesData() const;
    std::uint64_t dataHash() const;
};
