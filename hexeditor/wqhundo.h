#pragma once
// Undo store of the hex editor: one variable-length record per step, back to
// back in one byte stream, walked backwards through each record's trailing
// length; one level of redo.
#include "hexeditor/wqhtypes.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

enum TWQHUndoFlag : std::uint8_t {
    ufKindBytesChanged = 0,
    ufKindByteRemoved = 1,
    ufKindInsertBuffer = 2,
    ufKindReplace = 3,
    ufKindAppendBuffer = 4,
    ufKindNibbleInsert = 5,
    ufKindNibbleDelete = 6,
    ufKindConvert = 7,
    ufKindSelection = 8,
    ufKindCombined = 9,
    ufKindAllData = 10,
    ufFlagByte1Changed = 11,
    ufFlagByte2Changed = 12,
    ufFlagModified = 13,
    ufFlag2ndByteCol = 14,
    ufFlagInCharField = 15,
    ufFlagHasSelection = 16,
    ufFlagInsertMode = 17,
    ufFlagIsUnicode = 18,
    ufFlagIsUnicodeBigEndian = 19,
    ufFlagHasDescription = 20,
    ufKindNone = 11,  // what a flags value without a kind bit yields
};
using TWQHUndoFlags = std::uint32_t;  // bit n = value n
constexpr TWQHUndoFlags UndoBit(TWQHUndoFlag f) { return TWQHUndoFlags(1) << f; }

#pragma pack(push, 1)
struct TWQHUndoRec {
    std::int32_t DataLen;
    TWQHUndoFlags Flags;
    std::int32_t CurPos;
    std::uint32_t Pos;
    std::uint32_t Count;
    std::uint32_t ReplCount;
    std::uint8_t CurTranslation;
    std::int32_t CurBPU;
    std::uint8_t Buffer[1];
};
#pragma pack(pop)
static_assert(sizeof(TWQHUndoRec) == 30, "undo record head is 30 bytes");

// What the undo store needs of its control. The control implements it through
// an adapter; tests implement it with a fake.
class TWQHUndoEditor;  // defined by the undo implementation (see wqhundo.cpp)

class TWQHUndoStorage {
public:
    explicit TWQHUndoStorage(TWQHUndoEditor& Editor);
    ~TWQHUndoStorage();

    void CreateUndo(TWQHUndoFlag aKind, int APosition, int ACount, int AReplaceCount, const QString& SDescription);
    bool CanUndo() const;
    bool CanRedo() const;
    bool Undo();
    bool Redo();
    int BeginUpdate();
    int EndUpdate();
    void Reset(bool AResetRedo);
    void RemoveLastUndo();
    void ResetRedo();
    void AddSelection(int AStart, int ACount);
    TWQHUndoFlag UndoKind() const;

    int Count() const;
    void SetCount(int Value);
    int UpdateCount() const;
    const QString& Description() const;
    // The records as they lie in memory, oldest first.
    std::vector<std::uint8_t> Bytes() const;
    std::int64_t Size() const;

    // Taken before an edit records its step; restoring it after a failed edit
    // leaves no step behind.
    struct TSnapshot {
        std::int64_t Size = 0;
        int Count = 0;
        QString Description;
    };
    TSnapshot Snapshot() const;
    void RestoreSnapshot(const TSnapshot& S);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
