// Edit primitives of the hex editor control: single bytes and buffers, the
// internal insert, append and delete steps (also used by undo and redo), the
// primitives built on them, seeking and the text and hex properties.
#include "hexeditor/wqhexeditor_store.h"

#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhnumbers.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhtranslate.h"

#include <algorithm>
#include <cstring>

namespace {

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

QByteArray HexToBytes(const QString& text, bool Swap)
{
    QByteArray bytes(text.size() / 2 + 1, Qt::Uninitialized);
    int n = 0;
    ConvertHexToBin(text.constData(), reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<int>(text.size()),
                    Swap, n);
    bytes.truncate(n);
    return bytes;
}

} // namespace

// ---- single bytes and buffers -------------------------------------------------------

std::uint8_t TCustomWQHexEditor::GetDataAt(int Index) const { return *FDataStorage->GetAddress(Index, 1); }

void TCustomWQHexEditor::SetDataAt(int Index, std::uint8_t Value)
{
    CheckNotBusy();
    *FDataStorage->GetAddress(Index, 1) = Value;
    FDataStorage->NoteChange();
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
        WQHStore::RaiseBounds();
    if (old == 0) {
        FDataStorage->SetPosition(0);
        ClearChangedMarks();
    }
    const std::uint64_t before = FDataStorage->Changes();
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
        const std::uint64_t moved = FDataStorage->Changes();
        try {
            WriteBuffer(aBuffer, aPos, aSize);
        } catch (...) {
            // What a handler changed meanwhile stays as it is.
            if (WQHStore::AsLeft(*this, moved, old + aSize)) {
                mem = FDataStorage->Memory();
                if (aPos < old)
                    std::memmove(mem + aPos, mem + aPos + aSize, static_cast<size_t>(old - aPos));
                FDataStorage->Resize(old, false);
                FDataStorage->SetChanges(before);
            }
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
        WQHStore::RaiseBounds();
    const std::uint64_t before = FDataStorage->Changes();
    FDataStorage->Resize(static_cast<std::int64_t>(old) + aSize, !aBuffer);
    if (aBuffer && aSize > 0) {
        const std::uint64_t grown = FDataStorage->Changes();
        try {
            WriteBuffer(aBuffer, old, aSize);
        } catch (...) {
            if (WQHStore::AsLeft(*this, grown, old + aSize)) {
                FDataStorage->Resize(old, false);
                FDataStorage->SetChanges(before);
            }
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
        WQHStore::RaiseBounds();
    // The removal is one change of the store (the resize), before anything
    // notifies a handler.
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

// ---- edit primitives ------------------------------------------------------------

void TCustomWQHexEditor::InsertBuffer(const void* aBuffer, int aSize, int aPos, const QString& UndoDesc,
                                      bool MoveCursor)
{
    CheckNotBusy();
    const WQHStore::TRun run(*this);
    const int old = GetDataSize();
    if (aSize < 0 || aPos < 0 || aPos > old || aSize > WQH_MAX_DATA_SIZE - old)
        WQHStore::RaiseBounds();
    const WQHStore::TSource source(*this, aBuffer, aSize);
    FDataStorage->Reserve(static_cast<std::int64_t>(old) + aSize);
    WQHStore::Edit(*this, ufKindInsertBuffer, aPos, aSize, 0, UndoDesc,
                   [&] { InternalInsertBuffer(source.Data(), aSize, aPos); });
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
    const WQHStore::TRun run(*this);
    const int old = GetDataSize();
    if (aSize < 0 || aSize > WQH_MAX_DATA_SIZE - old)
        WQHStore::RaiseBounds();
    const WQHStore::TSource source(*this, aBuffer, aSize);
    FDataStorage->Reserve(static_cast<std::int64_t>(old) + aSize);
    WQHStore::Edit(*this, ufKindAppendBuffer, old, aSize, 0, UndoDesc, [&] {
        CutChangedMarks(old);
        InternalAppendBuffer(source.Data(), aSize);
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
        WQHStore::RaiseBounds();
    const WQHStore::TRun run(*this);
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
        WQHStore::RaiseBounds();
    const bool inChar = WQHStore::CaretInCharField(*this);
    const WQHStore::TSource source(*this, aBuffer, aSize);
    FDataStorage->Reserve(static_cast<std::int64_t>(size) - selected + aSize);
    // The cut bytes are kept until the new ones are in, so that a failing
    // write can put them back.
    const QByteArray cut(reinterpret_cast<const char*>(FDataStorage->Memory() + start), selected);
    WQHStore::Edit(*this, ufKindReplace, start, aSize, selected, UndoDesc, [&] {
        const std::uint64_t before = FDataStorage->Changes();
        try {
            InternalDelete(start, end, col, row);
            InternalInsertBuffer(source.Data(), aSize, start);
        } catch (...) {
            // The insert took back its own part; the removal goes back only
            // while the data is as it left it.
            const std::uint64_t removed = before + (selected > 0 ? 1 : 0);
            if (FDataStorage->Changes() == removed && GetDataSize() == size - selected)
                WQHStore::PutBack(*this, start, 0, cut, before);
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
    const WQHStore::TRun run(*this);
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
    const WQHStore::TRun run(*this);
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

void TCustomWQHexEditor::ConvertRange(int aFrom, int aTo, TWQHTranslationKind aTransFrom,
                                      TWQHTranslationKind aTransTo, const QString& UndoDesc)
{
    CheckNotBusy();
    if (aFrom > aTo || aTransFrom == aTransTo || aTo >= GetDataSize() || aFrom < 0)
        return;
    const WQHStore::TRun run(*this);
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
    const QByteArray bytes = HexToBytes(Value, SwapNibbles());
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
    WQHStore::ReplaceWithBytes(*this, HexToBytes(Value, SwapNibbles()));
}
