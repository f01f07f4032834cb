// Data store, load/save and edit primitives of the hex editor control.
#include "hexeditor/wqhexeditor.h"

#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhnumbers.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhtranslate.h"
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
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kCopyChunk = 61440;
constexpr int kNibbleBlock = 512;

[[noreturn]] void RaiseBounds() { throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds)); }

[[noreturn]] void RaiseCannotOpen(const QString& name, const QString& why)
{
    throw platform::EFOpenError(
        QString::asprintf(wqhstr::CannotOpenFile, name.toUtf8().constData(), why.toUtf8().constData()));
}

// One byte per character (code 0-255); larger codes are refused before
// anything changes.
QByteArray CharsToBytes(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c > 255)
            throw EWQHexEditor(QString::asprintf(wqhstr::CharTooLarge, int(c)));
        bytes[i] = static_cast<char>(c);
    }
    return bytes;
}

} // namespace

// Private helpers of this file.
struct WQHStore {
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

    // The data from aPos on, written to a temporary file with every nibble
    // moved one place later and a zero nibble in front (the last nibble drops
    // out). The file is positioned at 0.
    static std::unique_ptr<platform::TStream> CreateShift4BitStream(TCustomWQHexEditor& e, int aPos)
    {
        const int size = Size(e);
        if (aPos >= size)
            return nullptr;
        std::unique_ptr<platform::TStream> file = CreateTempStream();
        std::uint8_t out[kNibbleBlock];
        std::uint8_t carry = 0;
        for (int at = aPos; at < size;) {
            const int n = std::min(kNibbleBlock, size - at);
            const std::uint8_t* in = Mem(e) + at;
            for (int i = 0; i < n; ++i) {
                out[i] = static_cast<std::uint8_t>((carry << 4) | (in[i] >> 4));
                carry = in[i] & 0x0F;
            }
            file->WriteBuffer(out, n);
            at += n;
        }
        file->SetPosition(0);
        return file;
    }

    // Moves the nibbles of n bytes one place earlier; Last enters as the final nibble.
    static void NibblesEarlier(std::uint8_t* p, int n, std::uint8_t Last)
    {
        for (int i = 0; i < n; ++i)
            p[i] = static_cast<std::uint8_t>((p[i] << 4) | (i + 1 < n ? p[i + 1] >> 4 : Last));
    }

    // Moves them one place later; First enters as the first nibble, the last drops out.
    static void NibblesLater(std::uint8_t* p, int n, std::uint8_t First)
    {
        std::uint8_t carry = First;
        for (int i = 0; i < n; ++i) {
            const std::uint8_t b = p[i];
            p[i] = static_cast<std::uint8_t>((carry << 4) | (b >> 4));
            carry = b & 0x0F;
        }
    }

    // Reads count bytes of the shifted copy into the data from aPos, in
    // blocks. When a read fails, the bytes already written are shifted back:
    // read from the copy's start they hold the data one nibble later (the low
    // nibble of the last byte written over is kept for that), read from its
    // second byte (FromSecond) one nibble earlier, with b, the byte at aPos,
    // giving back the first nibble.
    static void ReadBack(TCustomWQHexEditor& e, platform::TStream& file, int aPos, int count, bool FromSecond,
                         std::uint8_t b)
    {
        std::uint8_t block[kNibbleBlock];
        int done = 0;
        std::uint8_t lost = 0;
        try {
            while (done < count) {
                const int n = std::min(kNibbleBlock, count - done);
                file.ReadBuffer(block, n);
                std::uint8_t* at = Mem(e) + aPos + done;
                lost = at[n - 1] & 0x0F;
                std::memcpy(at, block, static_cast<size_t>(n));
                done += n;
            }
        } catch (...) {
            if (FromSecond)
                NibblesLater(Mem(e) + aPos, done, static_cast<std::uint8_t>(b >> 4));
            else
                NibblesEarlier(Mem(e) + aPos, done, lost);
            throw;
        }
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
        RaiseBounds();
    const int old = GetDataSize();
    if (Value == old)
        return;
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
        RaiseBounds();
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
        RaiseBounds();

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
        RaiseBounds();
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

// ---- single bytes and buffers -------------------------------------------------------

std::uint8_t TCustomWQHexEditor::GetDataAt(int Index) const { return *FDataStorage->GetAddress(Index, 1); }

void TCustomWQHexEditor::SetDataAt(int Index, std::uint8_t Value)
{
    CheckNotBusy();
    *FDataStorage->GetAddress(Index, 1) = Value;
    Changed();
}

QChar TCustomWQHexEditor::GetMemory(int Index) const { return QChar(char16_t(GetDataAt(Index))); }

void TCustomWQHexEditor::SetMemory(int Index, QChar Value)
{
    SetDataAt(Index, static_cast<std::uint8_t>(Value.unicode() & 0xFF));
}

void TCustomWQHexEditor::ReadBuffer(void* Buffer, int Index, int Count) const
{
    FDataStorage->ReadBufferAt(Buffer, Index, Count);
}

void TCustomWQHexEditor::WriteBuffer(const void* Buffer, int Index, int Count)
{
    CheckNotBusy();
    FDataStorage->WriteBufferAt(Buffer, Index, Count);
    Changed();
}

std::uint8_t* TCustomWQHexEditor::GetFastPointer(int Index, int Count) { return FDataStorage->GetAddress(Index, Count); }

std::unique_ptr<std::uint8_t[]> TCustomWQHexEditor::BufferFromFile(int aPos, int& aCount)
{
    const int size = GetDataSize();
    if (aPos < 0 || aPos >= size || aCount < 0)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBufferFromFile));
    if (static_cast<std::int64_t>(aPos) + aCount > size)
        aCount = size - aPos;
    // Too little memory is the caller's error, not an empty copy.
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[static_cast<size_t>(aCount) + 1]);
    try {
        ReadBuffer(block.get(), aPos, aCount);
    } catch (...) {
        aCount = 0;
        return nullptr;
    }
    return block;
}

// ---- internal steps (also used by undo and redo) -----------------------------------

void TCustomWQHexEditor::InternalInsertBuffer(const void* aBuffer, int aSize, int aPos)
{
    CheckNotBusy();
    const int old = GetDataSize();
    if (aSize < 0 || aPos < 0 || aPos > old || aSize > WQH_MAX_DATA_SIZE - old)
        RaiseBounds();
    if (old == 0) {
        FDataStorage->SetPosition(0);
        ClearChangedMarks();
    }
    FDataStorage->Resize(static_cast<std::int64_t>(old) + aSize, false);
    std::uint8_t* mem = FDataStorage->Memory();
    if (aSize > 0) {
        if (aPos < old)
            std::memmove(mem + aPos + aSize, mem + aPos, static_cast<size_t>(old - aPos));
        // Gap bytes past the old end have no old value to keep.
        if (!aBuffer && aPos + aSize > old)
            std::memset(mem + old, 0, static_cast<size_t>(aPos + aSize - old));
    }
    if (aBuffer && aSize > 0) {
        try {
            WriteBuffer(aBuffer, aPos, aSize);
        } catch (...) {
            mem = FDataStorage->Memory();
            if (aPos < old)
                std::memmove(mem + aPos, mem + aPos + aSize, static_cast<size_t>(old - aPos));
            FDataStorage->Resize(old, false);
            throw;
        }
    }
    CalcSizes();
}

void TCustomWQHexEditor::InternalAppendBuffer(const void* aBuffer, int aSize)
{
    CheckNotBusy();
    const int old = GetDataSize();
    if (aSize < 0 || aSize > WQH_MAX_DATA_SIZE - old)
        RaiseBounds();
    FDataStorage->Resize(static_cast<std::int64_t>(old) + aSize, !aBuffer);
    if (aBuffer && aSize > 0) {
        try {
            WriteBuffer(aBuffer, old, aSize);
        } catch (...) {
            FDataStorage->Resize(old, false);
            throw;
        }
    }
    CalcSizes();
}

void TCustomWQHexEditor::InternalDelete(int aFrom, int aTo, int aCol, int aRow)
{
    CheckNotBusy();
    const int size = GetDataSize();
    if (aFrom < 0 || aTo < aFrom || aTo > size)
        RaiseBounds();
    std::uint8_t* mem = FDataStorage->Memory();
    if (aTo < size)
        std::memmove(mem + aFrom, mem + aTo, static_cast<size_t>(size - aTo));
    FDataStorage->Resize(size - (aTo - aFrom), false);
    const int left = GetDataSize();
    const bool inChar = WQHStore::CaretInCharField(*this);
    if (left == 0) {
        WQHStore::MoveCaretTo(*this, 0, inChar);
    } else if (aCol >= 0 && GetPositionAtCursor(aCol, aRow) >= left) {
        WQHStore::MoveCaretTo(*this, InsertMode() ? left : left - 1, inChar);
    } else if (aCol >= 0) {
        MoveColRow(aCol, aRow, true, true);
    }
    CalcSizes();
    ResetSelection(false);
    Invalidate();
}

void TCustomWQHexEditor::InternalInsertNibble(int aPos, bool HighNibble)
{
    CheckNotBusy();
    const int size = GetDataSize();
    WQHCheckBounds(aPos, 1, size);
    if (size >= WQH_MAX_DATA_SIZE)
        RaiseBounds();
    FDataStorage->Reserve(static_cast<std::int64_t>(size) + 1);
    const std::uint8_t b = GetDataAt(aPos);
    const std::uint8_t last = GetDataAt(size - 1);
    const std::unique_ptr<platform::TStream> shifted = WQHStore::CreateShift4BitStream(*this, aPos);
    // Room was reserved: growing by the one byte cannot fail.
    FDataStorage->Resize(static_cast<std::int64_t>(size) + 1, false);
    try {
        WQHStore::ReadBack(*this, *shifted, aPos, size - aPos, false, b);
    } catch (...) {
        FDataStorage->Resize(size, false);
        throw;
    }
    std::uint8_t* mem = FDataStorage->Memory();
    mem[aPos] = HighNibble ? static_cast<std::uint8_t>(b >> 4) : static_cast<std::uint8_t>(b & 0xF0);
    mem[size] = static_cast<std::uint8_t>((last & 0x0F) << 4);
}

void TCustomWQHexEditor::InternalDeleteNibble(int aPos, bool HighNibble)
{
    CheckNotBusy();
    const int size = GetDataSize();
    WQHCheckBounds(aPos, 1, size);
    const std::uint8_t b = GetDataAt(aPos);
    if (aPos == size - 1) {
        FDataStorage->Memory()[aPos] =
            HighNibble ? static_cast<std::uint8_t>((b & 0x0F) << 4) : static_cast<std::uint8_t>(b & 0xF0);
        return;
    }
    const std::unique_ptr<platform::TStream> shifted = WQHStore::CreateShift4BitStream(*this, aPos);
    shifted->SetPosition(1);
    WQHStore::ReadBack(*this, *shifted, aPos, size - aPos - 1, true, b);
    std::uint8_t* mem = FDataStorage->Memory();
    if (!HighNibble)
        mem[aPos] = static_cast<std::uint8_t>((mem[aPos] & 0x0F) | (b & 0xF0));
    mem[size - 1] = static_cast<std::uint8_t>((mem[size - 1] & 0x0F) << 4);
}

// ---- edit primitives ------------------------------------------------------------

void TCustomWQHexEditor::InsertBuffer(const void* aBuffer, int aSize, int aPos, const QString& UndoDesc,
                                      bool MoveCursor)
{
    CheckNotBusy();
    const int old = GetDataSize();
    if (aSize < 0 || aPos < 0 || aPos > old || aSize > WQH_MAX_DATA_SIZE - old)
        RaiseBounds();
    FDataStorage->Reserve(static_cast<std::int64_t>(old) + aSize);
    WQHStore::Edit(*this, ufKindInsertBuffer, aPos, aSize, 0, UndoDesc,
                   [&] { InternalInsertBuffer(aBuffer, aSize, aPos); });
    CutChangedMarks(aPos);
    if (isEnabled() && aSize > 0) {
        SetSelection(aPos, aPos, aPos + aSize - 1);
        if (MoveCursor) {
            WQHStore::MoveCaretTo(*this, aPos + aSize - 1, WQHStore::CaretInCharField(*this));
            SetSelection(aPos, aPos, aPos + aSize - 1);
        }
    }
    Invalidate();
    Changed();
}

void TCustomWQHexEditor::AppendBuffer(const void* aBuffer, int aSize, const QString& UndoDesc, bool MoveCursor)
{
    CheckNotBusy();
    if (!aBuffer || aSize == 0)
        return;
    const int old = GetDataSize();
    if (aSize < 0 || aSize > WQH_MAX_DATA_SIZE - old)
        RaiseBounds();
    FDataStorage->Reserve(static_cast<std::int64_t>(old) + aSize);
    WQHStore::Edit(*this, ufKindAppendBuffer, old, aSize, 0, UndoDesc, [&] {
        CutChangedMarks(old);
        InternalAppendBuffer(aBuffer, aSize);
    });
    if (MoveCursor)
        WQHStore::MoveCaretTo(*this, old, WQHStore::CaretInCharField(*this));
    SetSelection(old, old, old + aSize - 1);
    Invalidate();
    Changed();
}

void TCustomWQHexEditor::ReplaceSelection(const void* aBuffer, int aSize, const QString& UndoDesc, bool MoveCursor)
{
    CheckNotBusy();
    if (aSize < 0)
        RaiseBounds();
    if (SelCount() <= 0) {
        InsertBuffer(aBuffer, aSize, SelStart(), UndoDesc, MoveCursor);
        return;
    }
    int start = 0, end = 0, col = 0, row = 0;
    InternalGetCurSel(start, end, col, row);
    const int size = GetDataSize();
    start = std::clamp(start, 0, size);
    end = std::clamp(end, start, size);
    int selected = end - start;
    if (IsFileSizeFixed()) {
        if (selected < aSize) {
            aSize = selected;
        } else if (selected > aSize) {
            end = start + aSize;
            selected = aSize;
        }
    }
    if (aSize > WQH_MAX_DATA_SIZE - (size - selected))
        RaiseBounds();
    const bool inChar = WQHStore::CaretInCharField(*this);
    FDataStorage->Reserve(static_cast<std::int64_t>(size) - selected + aSize);
    // The cut bytes are kept until the new ones are in, so that a failing
    // write can put them back.
    const QByteArray cut(reinterpret_cast<const char*>(FDataStorage->Memory() + start), selected);
    WQHStore::Edit(*this, ufKindReplace, start, aSize, selected, UndoDesc, [&] {
        InternalDelete(start, end, col, row);
        try {
            InternalInsertBuffer(aBuffer, aSize, start);
        } catch (...) {
            WQHStore::PutBack(*this, cut, start);
            throw;
        }
    });
    CutChangedMarks(start);
    if (MoveCursor && aSize > 0) {
        const int last = start + aSize - 1;
        WQHStore::MoveCaretTo(*this, last, inChar);
        SetSelection(last, start, last);
    }
    Invalidate();
    Changed();
}

void TCustomWQHexEditor::DeleteSelection(const QString& UndoDesc)
{
    CheckNotBusy();
    int start = 0, end = 0, col = 0, row = 0;
    InternalGetCurSel(start, end, col, row);
    const int size = GetDataSize();
    // The append position has no byte to remove.
    if (size > 0 && start >= size)
        return;
    start = std::max(start, 0);
    end = std::clamp(end, start, size);
    WQHStore::Edit(*this, ufKindByteRemoved, start, end - start, 0, UndoDesc, [&] {
        CutChangedMarks(start);
        InternalDelete(start, end, col, row);
    });
    Changed();
}

void TCustomWQHexEditor::InternalErase(bool KeyWasBackspace, const QString& UndoDesc)
{
    CheckNotBusy();
    const int size = GetDataSize();
    if (size == 0)
        return;
    const int unit = std::max(BytesPerUnit(), 1);
    const int col = Col();
    const int row = Row();
    const int raw = std::clamp(GetPositionAtCursor(col, row), 0, size);
    int c = GetCursorPos();
    c -= c % unit;
    if (KeyWasBackspace) {
        int p = c;
        int n = unit;
        if (InsertMode() && SelCount() <= 0) {
            p = raw;
            if (p == size && size % unit != 0) {
                n = 1;
            } else {
                p -= p % unit;
                n = unit;
            }
        }
        if (p == 0)
            return;
        n = std::min(n, p);
        WQHStore::Edit(*this, ufKindByteRemoved, p - n, n, 0, UndoDesc, [&] {
            CutChangedMarks(p - n);
            InternalDelete(p - n, p, col, row);
        });
        if (c == p)
            Seek(p - n, 0);
        else if (Col() + 1 <= GetLastCharCol())
            MoveColRow(Col() + 1, Row(), true, true);
        Changed();
        return;
    }
    // Delete: the caret position reads the append position as the last
    // byte, so there the last unit goes.
    if (c >= size)
        return;
    int n = unit;
    while (c + n > size)
        --n;
    WQHStore::Edit(*this, ufKindByteRemoved, c, n, 0, UndoDesc, [&] {
        CutChangedMarks(c);
        InternalDelete(c, c + n, col, row);
    });
    Changed();
}

bool TCustomWQHexEditor::InsertNibble(int aPos, bool HighNibble, const QString& UndoDesc)
{
    CheckNotBusy();
    if (GetDataSize() == 0) {
        ResetSelection(false);
        const std::uint8_t zero = 0;
        AppendBuffer(&zero, 1, QString(), true);
        return true;
    }
    if (aPos < 0 || aPos >= GetDataSize())
        return false;
    if (GetDataSize() >= WQH_MAX_DATA_SIZE)
        RaiseBounds();
    WQHStore::Edit(*this, ufKindNibbleInsert, aPos, 0, 0, UndoDesc, [&] {
        ResetSelection(false);
        WQHStore::WithWaitCursor(*this, [&] { InternalInsertNibble(aPos, HighNibble); });
    });
    CutChangedMarks(aPos);
    CalcSizes();
    Changed();
    return true;
}

bool TCustomWQHexEditor::DeleteNibble(int aPos, bool HighNibble, const QString& UndoDesc)
{
    CheckNotBusy();
    if (aPos < 0 || aPos >= GetDataSize())
        return false;
    WQHStore::Edit(*this, ufKindNibbleDelete, aPos, 0, 0, UndoDesc, [&] {
        ResetSelection(false);
        WQHStore::WithWaitCursor(*this, [&] { InternalDeleteNibble(aPos, HighNibble); });
    });
    CutChangedMarks(aPos);
    CalcSizes();
    Changed();
    return true;
}

void TCustomWQHexEditor::ConvertRange(int aFrom, int aTo, TWQHTranslationKind aTransFrom,
                                      TWQHTranslationKind aTransTo, const QString& UndoDesc)
{
    CheckNotBusy();
    if (aFrom > aTo || aTransFrom == aTransTo || aTo >= GetDataSize() || aFrom < 0)
        return;
    const int n = aTo - aFrom + 1;
    WQHStore::Edit(*this, ufKindConvert, aFrom, n, 0, UndoDesc, [&] {
        WQHStore::WithWaitCursor(*this, [&] {
            FDataStorage->TranslateToAnsi(aTransFrom, aFrom, n);
            FDataStorage->TranslateFromAnsi(aTransTo, aFrom, n);
        });
    });
    Invalidate();
    Changed();
}

// ---- caret helpers ---------------------------------------------------------------

int TCustomWQHexEditor::Seek(int aOffset, int aOrigin)
{
    const int size = GetDataSize();
    if (size == 0)
        return -1;
    std::int64_t target = 0;
    switch (aOrigin) {
    case 0: target = aOffset; break;
    case 1: target = static_cast<std::int64_t>(GetCursorPos()) + aOffset; break;
    case 2: target = static_cast<std::int64_t>(size - 1) + aOffset; break;
    default: target = GetCursorPos(); break;
    }
    const int pos = static_cast<int>(std::clamp<std::int64_t>(target, 0, size - 1));
    SetSelStart(pos);
    return pos;
}

void TCustomWQHexEditor::SeekToEOF()
{
    const int size = GetDataSize();
    const int pos = InsertMode() ? size : std::max(size - 1, 0);
    WQHStore::MoveCaretTo(*this, pos, WQHStore::CaretInCharField(*this));
}

// ---- text and hex properties ------------------------------------------------------

QString TCustomWQHexEditor::AsText() const
{
    const int size = GetDataSize();
    if (size == 0)
        return QString();
    // Latin-1 maps byte b to the character with code b.
    return QString::fromLatin1(reinterpret_cast<const char*>(FDataStorage->Memory()), size);
}

void TCustomWQHexEditor::SetAsText(const QString& Value)
{
    CheckNotBusy();
    CharsToBytes(Value);  // refuses codes above 255 before anything changes
    QByteArray bytes(Value.size(), Qt::Uninitialized);
    TranslateBufferFromAnsi(FTranslation, Value.constData(), reinterpret_cast<std::uint8_t*>(bytes.data()),
                            static_cast<int>(Value.size()));
    WQHStore::SelectAllData(*this);
    WQHStore::ReplaceWithBytes(*this, bytes);
}

QString TCustomWQHexEditor::AsHex() const
{
    return FDataStorage->GetAsHex(0, GetDataSize(), SwapNibbles());
}

void TCustomWQHexEditor::SetAsHex(const QString& Value)
{
    CheckNotBusy();
    QByteArray bytes(Value.size() / 2 + 1, Qt::Uninitialized);
    int n = 0;
    ConvertHexToBin(Value.constData(), reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<int>(Value.size()),
                    SwapNibbles(), n);
    bytes.truncate(n);
    WQHStore::SelectAllData(*this);
    WQHStore::ReplaceWithBytes(*this, bytes);
}

QString TCustomWQHexEditor::SelectionAsText() const
{
    if (GetDataSize() == 0 || SelCount() <= 0)
        return QString();
    const int from = std::min(FSelStart, FSelEnd);
    return QString::fromLatin1(reinterpret_cast<const char*>(FDataStorage->GetAddress(from, SelCount())), SelCount());
}

void TCustomWQHexEditor::SetSelectionAsText(const QString& Value)
{
    if (Value.isEmpty())
        return;
    CheckNotBusy();
    WQHStore::ReplaceWithBytes(*this, CharsToBytes(Value));
}

QString TCustomWQHexEditor::SelectionAsHex() const
{
    if (GetDataSize() == 0 || SelCount() <= 0)
        return QString();
    return FDataStorage->GetAsHex(std::min(FSelStart, FSelEnd), SelCount(), SwapNibbles());
}

void TCustomWQHexEditor::SetSelectionAsHex(const QString& Value)
{
    if (Value.isEmpty())
        return;
    CheckNotBusy();
    QByteArray bytes(Value.size() / 2 + 1, Qt::Uninitialized);
    int n = 0;
    ConvertHexToBin(Value.constData(), reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<int>(Value.size()),
                    SwapNibbles(), n);
    bytes.truncate(n);
    WQHStore::ReplaceWithBytes(*this, bytes);
}

// ---- state ----------------------------------------------------------------------

bool TCustomWQHexEditor::Modified() const
{
    return FModified && (GetDataSize() > 0 || (!FFileName.isEmpty() && QFileInfo::exists(FFileName)));
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
