// Undo grouping: an outermost undo bracket becomes one undo step holding a
// snapshot of the data as it was when the bracket opened.
#include "hexeditor/ex/wqhexeditorex.h"

#include "hexeditor/wqhundo.h"
#include "platform/replacefile.h"
#include "platform/streams.h"

int TWQHexEditorEx::UndoBeginUpdate(const QString& StrUndoDesc)
{
    if (FUndoStorage->UpdateCount() <= 0) {
        FSnapshotUndoCount = 0;
        if (FCreateUndoOnUndoUpdate || !StrUndoDesc.isEmpty()) {
            FCreateUndoOnUndoUpdate = true;
            CreateRangeUndo(0, 0, StrUndoDesc);
            FModifiedNoUndo = false;
            FSnapshotUndoCount = FUndoStorage->Count();
        }
    }
    return TCustomWQHexEditor::UndoBeginUpdate();
}

int TWQHexEditorEx::UndoEndUpdate()
{
    const int result = TCustomWQHexEditor::UndoEndUpdate();
    if (result != 0)
        return result;
    // The mode as it stands now decides: a host that switched it off inside
    // the bracket keeps the snapshot as a step.
    if (FCreateUndoOnUndoUpdate) {
        if (FModifiedNoUndo)
            FModifiedNoUndo = false;
        else if (FSnapshotUndoCount > 0 && FUndoStorage->Count() == FSnapshotUndoCount)
            // Only the bracket's own snapshot, and only while it is still the
            // newest step: a close must never remove a real step.
            FUndoStorage->RemoveLastUndo();
    }
    FSnapshotUndoCount = 0;
    return result;
}

void TWQHexEditorEx::CreateRangeUndo(int aStart, int aCount, const QString& sDesc)
{
    // The store records without touching the modified flag.
    if (aCount > 0)
        FUndoStorage->CreateUndo(ufKindReplace, aStart, aCount, aCount, sDesc);
    else
        FUndoStorage->CreateUndo(ufKindAllData, 0, 0, 0, sDesc);
}

bool TWQHexEditorEx::CanCreateUndo(TWQHUndoFlag aKind, int ACount, int AReplaceCount)
{
    const bool r = TCustomWQHexEditor::CanCreateUndo(aKind, ACount, AReplaceCount);
    if (r && FUndoStorage->UpdateCount() > 0)
        FModifiedNoUndo = true;
    return r;
}

void TWQHexEditorEx::WriteBuffer(const void* Buffer, int Index, int Count)
{
    TCustomWQHexEditor::WriteBuffer(Buffer, Index, Count);
    FModified = true;
    if (FUndoStorage->UpdateCount() > 0)
        FModifiedNoUndo = true;
}

bool TWQHexEditorEx::DumpUndoStorage(const QString& FileName)
{
    if (!FUndoStorage)
        return false;
    try {
        const std::vector<std::uint8_t> bytes = FUndoStorage->Bytes();
        // Opened as every save opens its target: a fresh file that replaces
        // it only when all of it is written, or the target itself, created
        // when missing, truncated, and never waiting on a FIFO nobody reads.
        platform::TReplaceFile replace(FileName);
        platform::TFileStream out(replace.OpenForWrite(), replace.TempName());
        if (out.Handle() < 0)
            return false;
        out.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        return out.Close() && replace.Commit();
    } catch (...) {
        return false;
    }
}
