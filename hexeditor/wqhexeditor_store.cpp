// Data store of the hex editor control: size, loading and saving, the
// data set's state and the virtual hooks.
#include "hexeditor/wqhexeditor_store.h"

#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"
#include "platform/replacefile.h"
#include "platform/streams.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kCopyChunk = 61440;

[[noreturn]] void RaiseCannotOpen(const QString& name, const QString& why)
{
    throw platform::EFOpenError(
        QString::asprintf(wqhstr::CannotOpenFile, name.toUtf8().constData(), why.toUtf8().constData()));
}

} // namespace

// ---- size, load and save ----------------------------------------------------------

int TCustomWQHexEditor::GetDataSize() const { return FDataStorage ? FDataStorage->DataSize() : 0; }

void TCustomWQHexEditor::CheckNotBusy() const
{
    if (FProgressBusy > 0)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::BusyLoadingOrSaving));
}

void TCustomWQHexEditor::SetDataSize(int Value)
{
    CheckNotBusy();
    if (Value < 0)
        WQHStore::RaiseBounds();
    const int old = GetDataSize();
    if (Value == old)
        return;
    const WQHStore::TRun run(*this);
    const int caret = GetPositionAtCursor(Col(), Row());
    if (Value != 0 && old != 0 && IsFileSizeFixed())
        throw EWQHexEditor(QString::fromLatin1(wqhstr::CannotChangeFixedSize));
    const bool savedOverride = FFixedFileSizeOverride;
    FFixedFileSizeOverride = true;
    try {
        if (Value > old)
            FDataStorage->Reserve(Value);
        const TWQHUndoFlag kind = Value < old ? ufKindByteRemoved : ufKindAppendBuffer;
        const int pos = Value < old ? Value : old;
        const int count = Value < old ? old - Value : Value - old;
        WQHStore::Edit(*this, kind, pos, count, 0, QString(), [&] {
            FDataStorage->Resize(Value, false);
            if (Value > old)
                std::memset(FDataStorage->Memory() + old, FSetDataSizeFillByte, static_cast<size_t>(Value - old));
        });
        FModified = true;
        CalcSizes();
        // Neither the caret nor the selection may point past the data.
        if (Value < caret || (FSelPosition >= 0 && std::max(FSelStart, FSelEnd) >= Value)) {
            ResetSelection(true);
            if (Value == 0 && !InsertMode())
                WQHStore::MoveCaretTo(*this, 0, WQHStore::CaretInCharField(*this));
            else if (Value < caret)
                SeekToEOF();
        }
    } catch (...) {
        FFixedFileSizeOverride = savedOverride;
        throw;
    }
    FFixedFileSizeOverride = savedOverride;
}

void TCustomWQHexEditor::Stream2Stream(platform::TStream& Source, platform::TStream& Target,
                                       TWQHProgressKind Operation, std::int64_t Count)
{
    if (Count == -1)
        Count = Source.Size() - Source.Position();
    if (Count < 0)
        WQHStore::RaiseBounds();
    const std::int64_t total = Count;
    std::int64_t remaining = Count;
    bool cancel = false;
    int lastPercent = 255;
    const QString name = FStreamFileName.isEmpty() ? FFileName : FStreamFileName;
    // Copies into or out of the data block go straight to or from its memory.
    auto* intoData = dynamic_cast<TWQHMemoryStream*>(&Target);
    auto* fromData = intoData ? nullptr : dynamic_cast<TWQHMemoryStream*>(&Source);
    std::unique_ptr<std::uint8_t[]> buffer;
    if (!intoData && !fromData)
        buffer.reset(new std::uint8_t[kCopyChunk]);

    while (remaining > 0) {
        const int percent =
            static_cast<int>(std::nearbyint(static_cast<double>(total - remaining) / static_cast<double>(total) * 100.0));
        if (percent != lastPercent || remaining <= kCopyChunk) {
            lastPercent = remaining <= kCopyChunk ? 100 : percent;
            if (FOnProgress) {
                // The handler may pump messages: edits are refused meanwhile.
                ++FProgressBusy;
                try {
                    FOnProgress(this, Operation, name, static_cast<std::uint8_t>(lastPercent), cancel);
                } catch (...) {
                    --FProgressBusy;
                    throw;
                }
                --FProgressBusy;
                if (cancel)
                    throw EWQHexEditor(QString::fromLatin1(wqhstr::OperationCancelled));
            }
        }
        const std::int64_t chunk = std::min<std::int64_t>(remaining, kCopyChunk);
        // Pointers are taken only now, after the handler ran.
        if (intoData) {
            const std::int64_t at = intoData->Position();
            const std::int64_t oldSize = intoData->Size();
            if (at + chunk > oldSize)
                intoData->Resize(at + chunk, false);
            try {
                Source.ReadBuffer(intoData->Memory() + at, chunk);
                intoData->NoteChange();
            } catch (...) {
                if (intoData->Size() != oldSize)
                    intoData->Resize(oldSize, false);
                throw;
            }
            intoData->SetPosition(at + chunk);
        } else if (fromData) {
            const std::int64_t at = fromData->Position();
            if (at + chunk > fromData->Size())
                throw platform::EReadError(QStringLiteral("Stream read error"));
            Target.WriteBuffer(fromData->Memory() + at, chunk);
            fromData->SetPosition(at + chunk);
        } else {
            Source.ReadBuffer(buffer.get(), chunk);
            Target.WriteBuffer(buffer.get(), chunk);
        }
        remaining -= chunk;
    }
}

void TCustomWQHexEditor::LoadFromStream(platform::TStream& Strm)
{
    CheckNotBusy();
    const std::int64_t size = Strm.Size();
    if (size < 0 || size > WQH_MAX_DATA_SIZE)
        WQHStore::RaiseBounds();

    std::exception_ptr error;
    // A block that fits the new data closely is used again: a reload of the
    // same image then costs no fresh pages.
    const std::int64_t capacity = FDataStorage->Capacity();
    if (size > 0 && capacity >= size && capacity - size <= size / 4 + (1 << 20))
        FDataStorage->Truncate();
    else
        FreeStorage(false);
    CalcSizes();
    WaitCursor();
    try {
        Strm.SetPosition(0);
        FDataStorage->Resize(size, false);
        FDataStorage->SetPosition(0);
        Stream2Stream(Strm, *FDataStorage, pkLoad, size);
        FDataStorage->SetPosition(0);
    } catch (...) {
        error = std::current_exception();
        // Gone before anything lays out rows or places the caret on it.
        FDataStorage->Clear();
    }
    try {
        // Inside an undo bracket the store stays for the bracket's owner.
        if (FUndoStorage->UpdateCount() < 1)
            FUndoStorage->Reset(true);
        ClearChangedMarks();
        CalcSizes();
        FModified = false;
        FIsSelecting = false;
        ResetSelection(false);
        MoveColRow(2, 2, true, true);
        Changed();
    } catch (...) {
        if (!error)
            error = std::current_exception();
    }
    try {
        OldCursor();
    } catch (...) {
        if (!error)
            error = std::current_exception();
    }
    if (error) {
        const bool hadData = GetDataSize() > 0;
        FDataStorage->Clear();
        FreeStorage(true);
        FHasFile = false;
        ClearChangedMarks();
        if (hadData) {
            try {
                CalcSizes();
            } catch (...) {
            }
        }
        std::rethrow_exception(error);
    }
}

void TCustomWQHexEditor::LoadFromFile(const QString& Filename)
{
    CheckNotBusy();
    FIsFileReadonly = true;
    const QByteArray path = QFile::encodeName(Filename);
    // Non-blocking, so that a FIFO in the file's place cannot hang the open.
    const int fd = Filename.isEmpty() ? -1 : ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        RaiseCannotOpen(Filename, QString::fromLocal8Bit(std::strerror(Filename.isEmpty() ? ENOENT : errno)));
    platform::TFileStream file(fd, Filename);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseCannotOpen(Filename, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(st.st_mode))
        RaiseCannotOpen(Filename, QString::fromLocal8Bit(std::strerror(EISDIR)));
    if (!S_ISREG(st.st_mode))
        RaiseCannotOpen(Filename, QString::fromLatin1(wqhstr::NotRegularFile));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    const int wfd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (wfd >= 0) {
        ::close(wfd);
        FIsFileReadonly = false;
    }

    FStreamFileName = Filename;
    try {
        LoadFromStream(file);
    } catch (...) {
        FHasFile = false;
        FStreamFileName.clear();
        throw;
    }
    FFileName = Filename;
    FHasFile = true;
    FStreamFileName.clear();
}

void TCustomWQHexEditor::SaveToStream(platform::TStream& Strm)
{
    CheckNotBusy();
    WQHStore::CopyToStream(*this, Strm, 0, GetDataSize());
}

void TCustomWQHexEditor::SaveRangeToStream(platform::TStream& Strm, int APosition, int ACount)
{
    CheckNotBusy();
    const int size = GetDataSize();
    if (APosition < 0 || ACount < -1)
        WQHStore::RaiseBounds();
    // A range past the end is a short read of the data, found before
    // anything is written to Strm.
    if (APosition > size)
        throw platform::EReadError(QStringLiteral("Stream read error"));
    if (ACount == -1)
        ACount = size - APosition;
    if (static_cast<std::int64_t>(APosition) + ACount > size)
        throw platform::EReadError(QStringLiteral("Stream read error"));
    WQHStore::CopyToStream(*this, Strm, APosition, ACount);
}

void TCustomWQHexEditor::SaveToFile(const QString& Filename, bool aUnModify)
{
    CheckNotBusy();
    // Once the file was prepared for overwriting (a backup may have moved it
    // away), a failing save lets the preparation be undone.
    struct OverwriteGuard {
        TCustomWQHexEditor* editor = nullptr;
        ~OverwriteGuard() { if (editor) editor->OverwriteDiskFileFailed(); }
    } overwriteGuard;
    if (Filename == FFileName) {
        PrepareOverwriteDiskFile();
        overwriteGuard.editor = this;
    }
    if (Filename.isEmpty())
        throw platform::EFCreateError(platform::FileCreateErrorText(Filename, ENOENT));
    // Where a rename keeps the file as it was, the data goes to a fresh file
    // that replaces the target only when all of it is written (a failed or
    // cancelled save keeps the old file); elsewhere it is written in place.
    platform::TReplaceFile replace(Filename);
    const int fd = replace.OpenForWrite();
    if (fd < 0)
        throw platform::EFCreateError(platform::FileCreateErrorText(Filename, errno));
    platform::TFileStream out(fd, replace.TempName());
    FStreamFileName = Filename;
    try {
        SaveToStream(out);
        if (!out.Close())
            throw platform::EWriteError(QStringLiteral("Stream write error"));
        if (!replace.Commit())
            throw platform::EFCreateError(platform::FileCreateErrorText(Filename, errno ? errno : EIO));
        overwriteGuard.editor = nullptr;
    } catch (...) {
        FStreamFileName.clear();
        throw;
    }
    FHasFile = true;
    if (aUnModify) {
        ClearChangedMarks();
        FModified = false;
        FIsFileReadonly = false;
        FFileName = Filename;
        FDataStorage->SetPosition(0);
        ResetUndo();
        Invalidate();
    }
    FStreamFileName.clear();
}

void TCustomWQHexEditor::CreateEmptyFile(const QString& TempName)
{
    CheckNotBusy();
    FreeStorage(false);
    FFileName = TempName.isEmpty() ? QString::fromLatin1(wqhstr::Untitled) : TempName;
    ResetUndo();
    ResetSelection(false);
    ClearChangedMarks();
    CalcSizes();
    FModified = false;
    FIsFileReadonly = true;
    FHasFile = false;
    MoveColRow(2, 2, true, true);
    Changed();
}

void TCustomWQHexEditor::FreeStorage(bool FreeUndo)
{
    if (FreeUndo) {
        FUndoStorage->EmptySteps();
        return;
    }
    CheckNotBusy();
    FDataStorage->Clear();
}

// ---- state ----------------------------------------------------------------------

bool TCustomWQHexEditor::Modified() const
{
    if (!FModified || GetDataSize() > 0)
        return FModified;
    // A folder of that name is no file, as for the class library's file test.
    const QFileInfo file(FFileName);
    return !FFileName.isEmpty() && file.exists() && !file.isDir();
}

void TCustomWQHexEditor::SetModified(bool Value)
{
    if (Value) {
        FModified = true;
        return;
    }
    FModified = false;
    ResetUndo();
    ClearChangedMarks();
    Invalidate();
}

bool TCustomWQHexEditor::InsertMode() const { return FInsertModeOn && IsInsertModePossible(); }

void TCustomWQHexEditor::SetInsertMode(bool Value)
{
    if (Value == FInsertModeOn || !IsInsertModePossible())
        return;
    FInsertModeOn = Value;
    if (FCaretKind == ckAuto && Focused())
        CreateCaretGlyph();
    const int size = GetDataSize();
    if (size == 0)
        return;
    // Read before CalcSizes: when the append position has a row of its own,
    // dropping that row pulls the caret back into the row above.
    const bool onAppend = GetPositionAtCursor(Col(), Row()) >= size;
    CalcSizes();
    if (!Value && onAppend)
        SetSelStart(size - 1);
    ClearChangedMarks();
    Invalidate();
}

void TCustomWQHexEditor::SetAllowInsertMode(bool Value)
{
    if (Value == FAllowInsertMode)
        return;
    if (!Value)
        SetInsertMode(false);
    FAllowInsertMode = Value;
}

void TCustomWQHexEditor::SetNoSizeChange(bool Value)
{
    if (Value == FFixedFileSize)
        return;
    if (Value)
        SetInsertMode(false);
    FFixedFileSize = Value;
}

void TCustomWQHexEditor::SetReadOnlyFile(bool Value)
{
    if (Value)
        FIsFileReadonly = true;
}

bool TCustomWQHexEditor::HasChanged(int APos) const
{
    if (InsertMode() || !FModifiedBytes)
        return false;
    return FModifiedBytes->Get(APos);
}

void TCustomWQHexEditor::SetChanged(int APos, bool Value)
{
    if (InsertMode())
        ClearChangedMarks();
    // A mark past the data is kept for the byte that may come there.
    if (APos < 0)
        return;
    if (Value || APos < FModifiedBytes->Size())
        FModifiedBytes->Set(APos, Value);
}

bool TCustomWQHexEditor::IsFileSizeFixed() const { return FFixedFileSize && !FFixedFileSizeOverride; }

bool TCustomWQHexEditor::IsInsertModePossible() const
{
    return !IsFileSizeFixed() && FAllowInsertMode && !FReadOnlyView;
}

void TCustomWQHexEditor::CutChangedMarks(int aPos)
{
    aPos = std::max(aPos, 0);
    if (FModifiedBytes && FModifiedBytes->Size() >= aPos)
        FModifiedBytes->SetSize(aPos);
}

void TCustomWQHexEditor::ClearChangedMarks()
{
    if (FModifiedBytes)
        FModifiedBytes->SetSize(0);
}

// ---- virtual hooks ----------------------------------------------------------------

void TCustomWQHexEditor::Changed()
{
    if (FOnChange)
        FOnChange(this);
    SelectionChanged();
}

void TCustomWQHexEditor::OverwriteDiskFileFailed() noexcept {}

void TCustomWQHexEditor::PrepareOverwriteDiskFile()
{
    if (FIsFileReadonly)
        throw platform::EFOpenError(QString::asprintf(wqhstr::CannotSaveReadonly, FFileName.toUtf8().constData()));
}
