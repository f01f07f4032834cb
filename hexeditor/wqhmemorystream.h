#pragma once
// The hex editor's data block, its changed-byte marks and its temporary
// files. The data lives in one contiguous block so that an insert or a
// delete is a single memmove and fast readers can address it directly.
#include "hexeditor/wqhtypes.h"
#include "platform/streams.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Largest data the editor holds: positions and counts are signed 32-bit.
constexpr std::int64_t WQH_MAX_DATA_SIZE = 0x7FFFFFFF;

// Raises EWQHexEditor "Data position/length out of data bounds" unless
// 0 <= Index, 0 <= Count and Index + Count <= Size (all in 64 bits).
void WQHCheckBounds(std::int64_t Index, std::int64_t Count, std::int64_t Size);

class TWQHMemoryStream : public platform::TStream {
public:
    TWQHMemoryStream() = default;
    ~TWQHMemoryStream() override;
    TWQHMemoryStream(const TWQHMemoryStream&) = delete;
    TWQHMemoryStream& operator=(const TWQHMemoryStream&) = delete;

    // ---- stream side ----
    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    // Grows the block as needed (a gap before the position reads as zeros).
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, platform::SeekOrigin Origin) override;
    std::int64_t Size() override { return FSize; }
    // New bytes are zero.
    void SetSize(std::int64_t NewSize) override { Resize(NewSize, true); }

    // ---- block side ----
    int DataSize() const { return static_cast<int>(FSize); }
    std::int64_t Position() const { return FPosition; }
    void SetPosition(std::int64_t Value) { Seek(Value, platform::SeekOrigin::Begin); }
    // Sizes above WQH_MAX_DATA_SIZE or below 0 raise the bounds error before
    // anything changes; a failed allocation raises std::bad_alloc, unchanged.
    // Without ZeroFill the new bytes are left as they are (the caller fills them).
    void Resize(std::int64_t NewSize, bool ZeroFill);
    // Makes room for NewSize bytes without changing the size.
    void Reserve(std::int64_t NewSize);
    // Size 0; the block is released.
    void Clear();
    // Size 0; the block is kept for data of about the same size to come.
    void Truncate();
    std::int64_t Capacity() const { return FCapacity; }
    std::uint8_t* Memory() { return FMemory; }
    const std::uint8_t* Memory() const { return FMemory; }
    // Whether Count bytes at P lie (partly) in the block, so that a caller
    // must copy them before the block moves or grows.
    bool Overlaps(const void* P, std::int64_t Count) const;

    // Counts the changes of the data, so that an edit can tell whether the
    // data is still as it left it. The methods here count themselves; a
    // caller that writes through Memory() notes its change. One that put the
    // data back exactly as it was at some count may set that count again.
    std::uint64_t Changes() const { return FChanges; }
    void NoteChange() { ++FChanges; }
    void SetChanges(std::uint64_t Value) { FChanges = Value; }

    // Each checks Index/Count against the size first (WQHCheckBounds).
    std::uint8_t* GetAddress(int Index, int Count);
    const std::uint8_t* GetAddress(int Index, int Count) const;
    std::uint8_t* PointerAt(int Index, int Count) { return GetAddress(Index, Count); }
    void ReadBufferAt(void* Buffer, int APosition, int ACount) const;
    void WriteBufferAt(const void* Buffer, int APosition, int ACount);
    // Overlapping ranges are fine.
    void Move(int AFromPos, int AToPos, int ACount);
    // Two hex digits per byte (low digit first with SwapNibbles); empty for ACount <= 0.
    QString GetAsHex(int APosition, int ACount, bool SwapNibbles) const;
    // In place: characters -> bytes of ToTranslation, and bytes -> characters.
    void TranslateFromAnsi(TWQHTranslationKind ToTranslation, int APosition, int ACount);
    void TranslateToAnsi(TWQHTranslationKind FromTranslation, int APosition, int ACount);

private:
    std::uint8_t* FMemory = nullptr;
    std::int64_t FSize = 0;
    std::int64_t FCapacity = 0;
    std::int64_t FPosition = 0;
    std::uint64_t FChanges = 0;
};

// One bit per data byte. Its size may be below the data size: bits past the
// end read as false.
class TWQHBits {
public:
    int Size() const { return FSize; }
    // Bits added by growing are false.
    void SetSize(int Value);
    bool Get(int Index) const;
    // Grows to Index + 1 when needed; a negative index raises the bounds error.
    void Set(int Index, bool Value);
    // Number of set bits.
    int Count() const;

private:
    std::vector<std::uint64_t> FWords;
    int FSize = 0;
};

// The temporary folder (with a trailing separator) + the millisecond tick as
// 8 upper-case hex digits + ".WQHT", built again while that name exists.
QString GetTempName();

// A ".WQHT" file created exclusively (never through an existing name or a
// link, mode 0600) under a GetTempName name; a collision takes a new name.
// The file is removed when the object goes, whatever happened.
class TWQHTempFile : public platform::TFileStream {
public:
    // Raises EFCreateError when no file can be created.
    TWQHTempFile();
    ~TWQHTempFile() override;

private:
    explicit TWQHTempFile(const std::pair<int, QString>& Created);
};

// The temporary stream of the nibble operations: a TWQHTempFile unless a
// test has put a maker of its own in (an empty maker puts the file back).
using TWQHTempStreamMaker = std::function<std::unique_ptr<platform::TStream>()>;
void SetTempStreamMaker(TWQHTempStreamMaker Maker);
std::unique_ptr<platform::TStream> CreateTempStream();
