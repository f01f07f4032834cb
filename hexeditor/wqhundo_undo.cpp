// Undo per kind: the newest record, copied out of the stream, puts the data
// and the view state back; a combined step undoes the steps it joins.
#include "hexeditor/wqhundo_impl.h"

#include <algorithm>
#include <cstring>

using namespace wqhundo;

bool TWQHUndoStorage::Undo()
{
    if (d->restoring || d->editing > 0)
        return false;
    const QScopedValueRollback<bool> running(d->restoring, true);
    return d->undo();
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
        applyUndo(takeAt(r.Start, r.Len, r.Kind != ufKindAllData));
        return true;
    }
    // Every step the marker joins is copied before the first one is restored,
    // so that a handler that records or empties meanwhile changes none of them.
    const std::vector<TTaken> steps = takeJoined(r);
    removeLast();
    // A combined step cannot be redone: its steps make redo blocks without
    // data, and none from before stays while they are restored.
    resetRedo();
    for (const TTaken& t : steps) {
        if (!checkFits(t.Rec)) {
            reset(true);
            break;
        }
        if (t.Rec.Kind == ufKindCombined)
            removeTaken(t, false);
        else
            applyUndo(t, false);
    }
    resetRedo();
    return true;
}

// Puts back what the copied record saved. The record stays in the stream
// until the data and state are back: a data change that fails leaves the
// step to be undone again.
void TWQHUndoStorage::Impl::applyUndo(const TTaken& t, bool forRedo)
{
    const TRecord& r = t.Rec;
    if (forRedo)
        makeRedo(HeadOf(r));
    const int pos = int(r.Pos), cnt = int(r.Count), repl = int(r.ReplCount);
    const std::uint8_t* saved = r.Data;
    if (!forRedo)
        markRedo(r.Kind);
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
    removeTaken(t, forRedo);
}

// Takes a restored record off the stream where it lies now. A handler that
// recorded steps during the restore put them on top of it: it is cut out
// from under them then, and no redo is kept (their steps ended it). One that
// gave it a selection made it longer. Gone already when a handler took it off
// or emptied the store: it goes only once.
void TWQHUndoStorage::Impl::removeTaken(const TTaken& t, bool forRedo)
{
    TRecord now;
    const std::int64_t s = find(t.Where, now);
    if (s < 0)
        return;
    const std::int64_t len = now.Len;
    if (s + len == std::int64_t(buf.size())) {
        TKeptPtr kept = t.Copy;
        if (kept)
            cutTail(s);
        else
            kept = takeTail(s);
        keepUndone(kept);
        if (forRedo)
            noteUndoneData(lastUndo);
        return;
    }
    eraseRecord(s, len);
}

void TWQHUndoStorage::Impl::markRedo(TWQHUndoFlag kind)
{
    resetRedo();
    if (!Redoable(kind))
        return;
    // Of no kind, so that a redo would refuse it.
    redo = std::make_shared<TRedo>();
}
