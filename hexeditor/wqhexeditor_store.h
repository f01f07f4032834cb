#pragma once
// Private helpers shared by the files of the data store:
//   wqhexeditor_store.cpp   size, loading and saving, state and hooks
//   wqhexeditor_edit.cpp    single bytes, buffers and the edit primitives
//   wqhexeditor_nibble.cpp  nibble insert and delete
// and by Replace of the search, an edit primitive too.
#include "hexeditor/wqhexeditor.h"

#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"

#include <QByteArray>
#include <cstdint>
#include <cstring>
#include <vector>

struct WQHStore {
    [[noreturn]] static void RaiseBounds() { throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds)); }

    // An edit primitive running, from its undo step to its last
    // notification: undo and redo wait until it is done.
    class TRun {
    public:
        explicit TRun(TCustomWQHexEditor& e) : FStore(*e.FUndoStorage) { FStore.BeginEdit(); }
        ~TRun() { FStore.EndEdit(); }
        TRun(const TRun&) = delete;
        TRun& operator=(const TRun&) = delete;

    private:
        TWQHUndoStorage& FStore;
    };

    // The bytes an edit writes, copied first when they lie in the data block
    // itself (a pointer from GetFastPointer): the edit grows the block and
    // moves its tail before it reads them.
    class TSource {
    public:
        TSource(const TCustomWQHexEditor& e, const void* p, int n) : FData(p)
        {
            if (e.FDataStorage->Overlaps(p, n)) {
                const auto* b = static_cast<const std::uint8_t*>(p);
                FCopy.assign(b, b + n);
                FData = FCopy.data();
            }
        }
        const void* Data() const { return FData; }

    private:
        std::vector<std::uint8_t> FCopy;
        const void* FData;
    };

    // What a failed edit must put back: no undo step, the modified flag and
    // the bookmarks as they were (recording a step shifts the bookmarks).
    struct TEditState {
        TWQHUndoStorage::TSnapshot Undo;
        bool Modified = false;
        TWQHBookmarks Bookmarks;
        std::uint64_t Changes = 0;  // the data's change count before the edit
    };

    static TEditState Begin(TCustomWQHexEditor& e)
    {
        TEditState s;
        if (e.FUndoStorage)
            s.Undo = e.FUndoStorage->Snapshot();
        s.Modified = e.FModified;
        s.Bookmarks = e.FBookmarks;
        s.Changes = e.FDataStorage->Changes();
        return s;
    }

    static void Rollback(TCustomWQHexEditor& e, const TEditState& s) noexcept
    {
        try {
            if (e.FUndoStorage)
                e.FUndoStorage->RestoreSnapshot(s.Undo);
        } catch (...) {
        }
        e.FModified = s.Modified;
        e.FBookmarks = s.Bookmarks;
    }

    // A failed edit keeps what it cannot take back. With the data as before
    // it, nothing stays. With the data as it was when its change began (a
    // handler changed it while the step was recorded), the handler's steps
    // stay but not its own. When its change is made and a handler changed
    // the data after it, the data stays as the handler left it, and so does
    // every step, so that undo still brings back each byte.
    static void Fail(TCustomWQHexEditor& e, const TEditState& s, std::uint64_t began) noexcept
    {
        const std::uint64_t now = e.FDataStorage->Changes();
        if (now == s.Changes) {
            Rollback(e, s);
        } else if (now == began && e.FUndoStorage) {
            try {
                e.FUndoStorage->DropStep(s.Undo);
            } catch (...) {
            }
        }
    }

    // Records the step and runs the data change, which takes back its own
    // part when it fails while the data is as it left it.
    template <class F>
    static void Edit(TCustomWQHexEditor& e, TWQHUndoFlag kind, int pos, int count, int replCount,
                     const QString& desc, F&& change)
    {
        const TEditState s = Begin(e);
        try {
            e.CreateUndo(kind, pos, count, replCount, desc);
        } catch (...) {
            e.FUndoStorage->StopFollowing();
            Fail(e, s, e.FDataStorage->Changes());
            throw;
        }
        e.FUndoStorage->StopFollowing();
        const std::uint64_t began = e.FDataStorage->Changes();
        try {
            change();
        } catch (...) {
            Fail(e, s, began);
            throw;
        }
    }

    static int Size(const TCustomWQHexEditor& e) { return e.FDataStorage->DataSize(); }
    // Whether the data is as an edit left it at change count Mark, but for
    // its own write that failed (one change at most), at Size bytes: only
    // then may the edit take its part back, since nothing a handler did since
    // would be lost.
    static bool AsLeft(const TCustomWQHexEditor& e, std::uint64_t Mark, int DataSize)
    {
        return e.FDataStorage->Changes() <= Mark + 1 && Size(e) == DataSize;
    }
    static std::uint8_t* Mem(TCustomWQHexEditor& e) { return e.FDataStorage->Memory(); }

    static bool CaretInCharField(const TCustomWQHexEditor& e) { return e.GetIsCharFieldCol(e.Col()); }

    static void MoveCaretTo(TCustomWQHexEditor& e, int pos, bool inCharField)
    {
        const TGridCoord c = e.GetCursorAtPos(pos, inCharField);
        e.MoveColRow(c.X, c.Y, true, true);
    }

    // Runs f between WaitCursor and OldCursor.
    template <class F>
    static void WithWaitCursor(TCustomWQHexEditor& e, F&& f)
    {
        e.WaitCursor();
        try {
            f();
        } catch (...) {
            e.OldCursor();
            throw;
        }
        e.OldCursor();
    }

    static void CopyToStream(TCustomWQHexEditor& e, platform::TStream& Strm, int pos, int count)
    {
        WithWaitCursor(e, [&] {
            try {
                e.FDataStorage->SetPosition(pos);
                e.Stream2Stream(*e.FDataStorage, Strm, pkSave, count);
            } catch (...) {
                e.Invalidate();
                throw;
            }
            e.Invalidate();
        });
    }

    // Puts bytes back at pos in place of the over bytes there now, without
    // the virtual write (which may be what failed), and sets the change count
    // back to what it was when the data held them.
    static void PutBack(TCustomWQHexEditor& e, int pos, int over, const QByteArray& bytes,
                        std::uint64_t changes) noexcept
    {
        const int size = Size(e);
        const int n = static_cast<int>(bytes.size());
        try {
            e.FDataStorage->Reserve(static_cast<std::int64_t>(size) - over + n);
        } catch (...) {
            return;
        }
        std::uint8_t* mem = Mem(e);
        std::memmove(mem + pos + n, mem + pos + over, static_cast<size_t>(size - pos - over));
        std::memcpy(mem + pos, bytes.constData(), static_cast<size_t>(n));
        e.FDataStorage->Resize(static_cast<std::int64_t>(size) - over + n, false);
        e.FDataStorage->SetChanges(changes);
        try {
            e.CalcSizes();
        } catch (...) {
        }
    }

    static void ReplaceWithBytes(TCustomWQHexEditor& e, const QByteArray& bytes)
    {
        e.ReplaceSelection(bytes.constData(), static_cast<int>(bytes.size()), QString(), true);
    }

    static void SelectAllData(TCustomWQHexEditor& e)
    {
        if (Size(e) > 0) {
            e.SetSelStart(0);
            e.SetSelEnd(Size(e) - 1);
        }
    }
};
