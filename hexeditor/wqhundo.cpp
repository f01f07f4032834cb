// The undo store's memory: the records back to back in one byte buffer,
// newest at the end. Dropping the oldest records moves a start offset; the
// bytes before it go when the next step is recorded, so that a failed edit
// can still bring back what its step dropped.
#include "hexeditor/wqhundo_impl.h"

#include <algorithm>
#include <cstring>

using namespace wqhundo;

void TWQHUndoStorage::Impl::resetRedo()
{
    redo.reset();
    lastUndo.reset();
    lastUndoDesc.clear();
}

void TWQHUndoStorage::Impl::reset(bool alsoRedo)
{
    ++generation;
    left(base, base + std::int64_t(buf.size()), false);
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

void TWQHUndoStorage::Impl::emptyStream()
{
    ++generation;
    left(base, base + std::int64_t(buf.size()), false);
    base += std::int64_t(buf.size());
    buf.clear();
    start = 0;
    count = 0;
}

void TWQHUndoStorage::Impl::compactDropped()
{
    if (start > 0) {
        buf.erase(buf.begin(), buf.begin() + start);
        base += start;
        start = 0;
    }
}

// Takes the newest record off and keeps it for redo; returns it (null when
// the stream held none).
TWQHUndoStorage::Impl::TKeptPtr TWQHUndoStorage::Impl::removeLast()
{
    if (live() < HeadSize) {
        reset(false);
        return nullptr;
    }
    std::int64_t len = GetI32(buf.data() + buf.size() - 4);
    len = std::clamp<std::int64_t>(len, 0, live());
    TKeptPtr kept = takeTail(std::int64_t(buf.size()) - len);
    keepUndone(kept);
    return kept;
}

// The bytes from buffer index s to the end, as a block of their own; the
// buffer keeps what lies before s. When the tail is the larger part the
// buffer itself is handed over and only what stays is copied: a whole-data
// snapshot is not copied again to be taken off.
TWQHUndoStorage::Impl::TKeptPtr TWQHUndoStorage::Impl::takeTail(std::int64_t s)
{
    left(base + s, base + std::int64_t(buf.size()), false);
    const size_t keep = size_t(s);
    auto kept = std::make_shared<TBytes>();
    if (keep == 0 || keep < buf.size() - keep) {
        TBytes rest(buf.begin(), buf.begin() + std::ptrdiff_t(keep));
        kept->swap(buf);
        kept->erase(kept->begin(), kept->begin() + std::ptrdiff_t(keep));
        buf.swap(rest);
    } else {
        kept->assign(buf.begin() + std::ptrdiff_t(keep), buf.end());
        buf.resize(keep);
    }
    return kept;
}

void TWQHUndoStorage::Impl::cutTail(std::int64_t s)
{
    left(base + s, base + std::int64_t(buf.size()), false);
    buf.resize(size_t(s));
}

void TWQHUndoStorage::Impl::eraseRecord(std::int64_t s, std::int64_t len)
{
    left(base + s, base + s + len, true);
    buf.erase(buf.begin() + std::ptrdiff_t(s), buf.begin() + std::ptrdiff_t(s + len));
    if (count > 0)
        --count;
}

TWQHUndoStorage::Impl::TWatch TWQHUndoStorage::Impl::watch(std::int64_t lifeStart)
{
    watches.erase(std::remove_if(watches.begin(), watches.end(), [](const auto& w) { return w.expired(); }),
                  watches.end());
    auto w = std::make_shared<std::int64_t>(lifeStart);
    watches.push_back(w);
    return w;
}

void TWQHUndoStorage::Impl::left(std::int64_t from, std::int64_t to, bool shift)
{
    for (const auto& weak : watches) {
        const TWatch w = weak.lock();
        if (!w || *w < from)
            continue;
        if (*w < to)
            *w = -1;
        else if (shift)
            *w -= to - from;
    }
}

std::int64_t TWQHUndoStorage::Impl::find(const TWatch& w, TRecord& r) const
{
    if (!w || *w < 0)
        return -1;
    const std::int64_t s = *w - base;
    // A record the limit dropped is no longer live, though its bytes may be.
    if (s < start || s + DataOffset + TrailerSize > std::int64_t(buf.size()))
        return -1;
    return parseAt(s, GetI32(buf.data() + s), r) ? s : -1;
}

// The record just taken off the end becomes the one a redo puts back.
void TWQHUndoStorage::Impl::keepUndone(const TKeptPtr& kept)
{
    lastUndo = kept;
    lastUndoDesc = description;
    if (count > 0)
        --count;
    if (live() < HeadSize) {
        reset(false);
        return;
    }
    TRecord r;
    if (parseNewest(r))
        description = DescriptionOf(r);
    else
        reset(false);
}

// The record at buffer index s, len bytes long, copied unless copy is false.
TWQHUndoStorage::Impl::TTaken TWQHUndoStorage::Impl::takeAt(std::int64_t s, std::int64_t len, bool copy)
{
    TTaken t;
    t.Where = watch(base + s);
    if (copy) {
        t.Copy = std::make_shared<const TBytes>(buf.begin() + std::ptrdiff_t(s), buf.begin() + std::ptrdiff_t(s + len));
        ParseRecord(t.Copy->data(), len, t.Rec);
    } else {
        ParseRecord(buf.data() + s, len, t.Rec);
    }
    t.Rec.Start = s;
    return t;
}

// The records a combined marker joins, newest first, each copied.
std::vector<TWQHUndoStorage::Impl::TTaken> TWQHUndoStorage::Impl::takeJoined(const TRecord& marker)
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
        out.push_back(takeAt(end - len, len, true));
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
void TWQHUndoStorage::Impl::reserveFor(std::int64_t n)
{
    const size_t need = buf.size() + size_t(n);
    if (need > buf.capacity())
        buf.reserve(std::max(need, buf.capacity() + buf.capacity() / 2));
}

int TWQHUndoStorage::Impl::recordsBetween(std::int64_t s, std::int64_t e) const
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

// ---------------------------------------------------------------------------

TWQHUndoStorage::TWQHUndoStorage(TWQHUndoEditor& Editor) : d(std::make_unique<Impl>(Editor))
{
    d->reset(true);
}

TWQHUndoStorage::~TWQHUndoStorage() = default;

bool TWQHUndoStorage::CanUndo() const
{
    return d->count > 0 && d->updateCount < 1 && d->live() > 0;
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

void TWQHUndoStorage::BeginEdit()
{
    ++d->editing;
}

void TWQHUndoStorage::EndEdit()
{
    if (d->editing > 0)
        --d->editing;
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

TWQHUndoStorage::TSnapshot TWQHUndoStorage::Snapshot()
{
    TSnapshot s;
    s.Step = d->watch(-1);
    d->following = s.Step;
    s.Size = d->live();
    s.Count = d->count;
    s.Description = d->description;
    s.AbsStart = d->base + d->start;
    s.AbsEnd = d->base + std::int64_t(d->buf.size());
    s.Bookmarks = d->ed.Bookmarks();
    s.Modified = d->ed.ModifiedFlag();
    return s;
}

void TWQHUndoStorage::StopFollowing()
{
    d->following.reset();
}

void TWQHUndoStorage::RestoreSnapshot(const TSnapshot& S)
{
    d->following.reset();
    const std::int64_t bufEnd = d->base + std::int64_t(d->buf.size());
    // Records newer than the snapshot go; records dropped since it come back
    // while their bytes are still in the buffer. Nothing comes back after a reset.
    if (S.AbsEnd >= d->base && S.AbsEnd <= bufEnd) {
        d->cutTail(S.AbsEnd - d->base);
        if (S.AbsStart >= d->base && S.AbsStart <= S.AbsEnd) {
            d->start = S.AbsStart - d->base;
            d->count = S.Count;
            d->description = S.Description;
        } else {
            d->start = std::min<std::int64_t>(d->start, std::int64_t(d->buf.size()));
            d->count = d->recordsBetween(d->start, std::int64_t(d->buf.size()));
            TRecord r;
            d->description = d->parseNewest(r) ? DescriptionOf(r) : QString();
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

void TWQHUndoStorage::DropStep(const TSnapshot& S)
{
    d->following.reset();
    TRecord r;
    const std::int64_t s = d->find(S.Step, r);
    if (s < 0)
        return;
    if (s + r.Len < std::int64_t(d->buf.size())) {
        d->eraseRecord(s, r.Len);
        return;
    }
    d->cutTail(s);
    if (d->count > 0)
        --d->count;
    TRecord newest;
    if (d->parseNewest(newest)) {
        d->description = DescriptionOf(newest);
    } else if (d->live() <= 0) {
        d->count = 0;
        d->description.clear();
    }
}
