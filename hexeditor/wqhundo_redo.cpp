// The redo block, made from the data as an undo begins, and redo, which puts
// the undone step back on the stream.
#include "hexeditor/wqhundo_impl.h"

#include <algorithm>
#include <cstring>

using namespace wqhundo;

namespace {

std::uint64_t Fnv1a(std::uint64_t h, const std::uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Hands the first n bytes of the data to f a piece at a time, so that no
// second copy of the whole data is made; stops where f returns false.
template <class F>
bool EachPiece(const TWQHUndoEditor& ed, std::int64_t n, F f)
{
    std::vector<std::uint8_t> piece(size_t(std::clamp<std::int64_t>(n, 0, 1 << 16)));
    for (std::int64_t at = 0; at < n;) {
        const int k = int(std::min<std::int64_t>(n - at, std::int64_t(piece.size())));
        ed.ReadBytes(piece.data(), int(at), k);
        if (!f(piece.data(), at, k))
            return false;
        at += k;
    }
    return true;
}

} // namespace

bool TWQHUndoStorage::CanRedo() const
{
    // Whether the block still fits the data is Redo's question: a redo that
    // does not fit is refused there.
    return d->redo != nullptr;
}

bool TWQHUndoStorage::Redo()
{
    if (d->restoring || d->editing > 0)
        return false;
    const QScopedValueRollback<bool> running(d->restoring, true);
    return d->redoStep();
}

void TWQHUndoStorage::ResetRedo()
{
    d->resetRedo();
}

void TWQHUndoStorage::CreateRedo(const TWQHUndoRec& rec)
{
    d->makeRedo(rec);
}

void TWQHUndoStorage::Impl::makeRedo(const TWQHUndoRec& rec)
{
    const TWQHUndoFlag kind = KindOf(rec.Flags);
    if (!Redoable(kind)) {
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

std::uint64_t TWQHUndoStorage::Impl::dataHash() const
{
    std::uint64_t h = 14695981039346656037ull;
    EachPiece(ed, ed.DataSize(), [&](const std::uint8_t* p, std::int64_t, int k) {
        h = Fnv1a(h, p, size_t(k));
        return true;
    });
    return h;
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
        const TBytes* rec = b.ExpectRecord.get();
        const std::int64_t n = ed.DataSize();
        if (!rec || std::int64_t(rec->size()) < DataOffset + n)
            return false;
        const std::uint8_t* want = rec->data() + DataOffset;
        return EachPiece(ed, n, [&](const std::uint8_t* p, std::int64_t at, int k) {
            return std::memcmp(p, want + at, size_t(k)) == 0;
        });
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
    const TKeptPtr kept = lastUndo;
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
    ed.Repaint();
    ed.BookmarkChanged();
    resetRedo();
    ed.Changed();
    return true;
}

