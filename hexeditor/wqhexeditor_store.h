#pragma once
// Private helpers shared by the files of the data store:
//   wqhexeditor_store.cpp   size, loading and saving, state and hooks
//   wqhexeditor_edit.cpp    single bytes, buffers and the edit primitives
//   wqhexeditor_nibble.cpp  nibble insert and delete
#include "hexeditor/wqhexeditor.h"

#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"

#include <QByteArray>
#include <cstdint>
#include <cstring>

struct WQHStore {
    [[noreturn]] static void RaiseBounds() { throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds)); }

    // What a failed edit must put back: no undo step, the modified flag and
    // the bookmarks as they were (recording a step shifts the bookmarks).
    struct TEditState {
        TWQHUndoStorage::TSnapshot Undo;
        bool Modified = false;
        TWQHBookmarks Bookmarks;
    };

    static TEditState Begin(TCustomWQHexEditor& e)
    {
        TEditState s;
        if (e.FUndoStorage)
            s.Undo = e.FUndoStorage->Snapshot();
        s.Modified = e.FModified;
        s.Bookmarks = e.FBookmarks;
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

    // Records the step and runs the data change; on any failure of either
    // the step is dropped again and the flag and bookmarks restored.
    template <class F>
    static void Edit(TCustomWQHexEditor& e, TWQHUndoFlag kind, int pos, int count, int replCount,
                     const QString& desc, F&& change)
    {
        const TEditState s = Begin(e);
        try {
            e.CreateUndo(kind, pos, count, replCount, desc);
            change();
        } catch (...) {
            Rollback(e, s);
            throw;
        }
    }

    static int Size(const TCustomWQHexEditor& e) { return e.FDataStorage->DataSize(); }
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

    // Puts removed bytes back at pos without the virtual write, which may be
    // the very thing that failed.
    static void PutBack(TCustomWQHexEditor& e, const QByteArray& bytes, int pos) noexcept
    {
        const int size = Size(e);
        const int n = static_cast<int>(bytes.size());
        try {
            e.FDataStorage->Resize(static_cast<std::int64_t>(size) + n, false);
        } catch (...) {
            return;
        }
        std::uint8_t* mem = Mem(e);
        std::memmove(mem + pos + n, mem + pos, static_cast<size_t>(size - pos));
        std::memcpy(mem + pos, bytes.constData(), static_cast<size_t>(n));
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
