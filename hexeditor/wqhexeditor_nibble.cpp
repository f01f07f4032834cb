// Nibble insert and delete of the hex editor control: the data from the
// nibble on is shifted by one nibble through a temporary file.
#include "hexeditor/wqhexeditor_store.h"

#include "hexeditor/wqhmemorystream.h"
#include "platform/streams.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr int kNibbleBlock = 512;

// The data from aPos on, written to a temporary file with every nibble
// moved one place later and a zero nibble in front (the last nibble drops
// out). The file is positioned at 0.
std::unique_ptr<platform::TStream> CreateShift4BitStream(TCustomWQHexEditor& e, int aPos)
{
    const int size = WQHStore::Size(e);
    if (aPos >= size)
        return nullptr;
    std::unique_ptr<platform::TStream> file = CreateTempStream();
    std::uint8_t out[kNibbleBlock];
    std::uint8_t carry = 0;
    for (int at = aPos; at < size;) {
        const int n = std::min(kNibbleBlock, size - at);
        const std::uint8_t* in = WQHStore::Mem(e) + at;
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
void NibblesEarlier(std::uint8_t* p, int n, std::uint8_t Last)
{
    for (int i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>((p[i] << 4) | (i + 1 < n ? p[i + 1] >> 4 : Last));
}

// Moves them one place later; First enters as the first nibble, the last drops out.
void NibblesLater(std::uint8_t* p, int n, std::uint8_t First)
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
void ReadBack(TCustomWQHexEditor& e, platform::TStream& file, int aPos, int count, bool FromSecond,
              std::uint8_t b)
{
    std::uint8_t block[kNibbleBlock];
    int done = 0;
    std::uint8_t lost = 0;
    try {
        while (done < count) {
            const int n = std::min(kNibbleBlock, count - done);
            file.ReadBuffer(block, n);
            std::uint8_t* at = WQHStore::Mem(e) + aPos + done;
            lost = at[n - 1] & 0x0F;
            std::memcpy(at, block, static_cast<size_t>(n));
            done += n;
        }
    } catch (...) {
        if (FromSecond)
            NibblesLater(WQHStore::Mem(e) + aPos, done, static_cast<std::uint8_t>(b >> 4));
        else
            NibblesEarlier(WQHStore::Mem(e) + aPos, done, lost);
        throw;
    }
}

} // namespace

// ---- internal steps (also used by undo and redo) -----------------------------------

void TCustomWQHexEditor::InternalInsertNibble(int aPos, bool HighNibble)
{
    CheckNotBusy();
    const int size = GetDataSize();
    WQHCheckBounds(aPos, 1, size);
    if (size >= WQH_MAX_DATA_SIZE)
        WQHStore::RaiseBounds();
    FDataStorage->Reserve(static_cast<std::int64_t>(size) + 1);
    const std::uint8_t b = GetDataAt(aPos);
    const std::uint8_t last = GetDataAt(size - 1);
    const std::unique_ptr<platform::TStream> shifted = CreateShift4BitStream(*this, aPos);
    const std::uint64_t before = FDataStorage->Changes();
    // Room was reserved: growing by the one byte cannot fail.
    FDataStorage->Resize(static_cast<std::int64_t>(size) + 1, false);
    try {
        ReadBack(*this, *shifted, aPos, size - aPos, false, b);
    } catch (...) {
        FDataStorage->Resize(size, false);
        FDataStorage->SetChanges(before);
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
        FDataStorage->NoteChange();
        return;
    }
    const std::unique_ptr<platform::TStream> shifted = CreateShift4BitStream(*this, aPos);
    shifted->SetPosition(1);
    const std::uint64_t before = FDataStorage->Changes();
    FDataStorage->NoteChange();
    try {
        ReadBack(*this, *shifted, aPos, size - aPos - 1, true, b);
    } catch (...) {
        FDataStorage->SetChanges(before);  // the read-back shifted its part back
        throw;
    }
    std::uint8_t* mem = FDataStorage->Memory();
    if (!HighNibble)
        mem[aPos] = static_cast<std::uint8_t>((mem[aPos] & 0x0F) | (b & 0xF0));
    mem[size - 1] = static_cast<std::uint8_t>((mem[size - 1] & 0x0F) << 4);
}

// ---- primitives -----------------------------------------------------------------

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
        WQHStore::RaiseBounds();
    const WQHStore::TRun run(*this);
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
    const WQHStore::TRun run(*this);
    WQHStore::Edit(*this, ufKindNibbleDelete, aPos, 0, 0, UndoDesc, [&] {
        ResetSelection(false);
        WQHStore::WithWaitCursor(*this, [&] { InternalDeleteNibble(aPos, HighNibble); });
    });
    CutChangedMarks(aPos);
    CalcSizes();
    Changed();
    return true;
}
