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

class TCustomWQHexEditor;

// What the undo store needs of its control. The control implements it through
// an adapter (CreateUndoLink); tests implement it with a fake.
class TWQHUndoEditor {
public:
    virtual ~TWQHUndoEditor() = default;

    // ---- state read when a step is recorded or undone ----
    // Caret position (may be the append position in insert mode).
    virtual int CaretPosition() const = 0;
    // The caret is in the hex field, on a later digit than the first of its byte.
    virtual bool CaretOnLaterDigit() const = 0;
    virtual bool CaretInCharField() const = 0;
    virtual bool InsertMode() const = 0;
    virtual TWQHTranslationKind Translation() const = 0;
    virtual bool UnicodeChars() const = 0;
    virtual bool UnicodeBigEndian() const = 0;
    // Whether unicode mode could be switched on now (row, column and data size even).
    virtual bool CanSwitchUnicodeOn() const = 0;
    virtual int BytesPerUnit() const = 0;
    virtual bool ModifiedFlag() const = 0;
    // The raw selection fields: start, end (-1: none) and anchor (-1: none).
    virtual int SelStartField() const = 0;
    virtual int SelEndField() const = 0;
    virtual int SelPositionField() const = 0;
    virtual int MaxUndo() const = 0;
    virtual int DataSize() const = 0;
    virtual void ReadBytes(void* Buffer, int Pos, int Count) const = 0;
    virtual bool HasChanged(int Pos) const = 0;
    virtual TWQHBookmarks Bookmarks() const = 0;

    // ---- operations that put data and state back ----
    virtual void SetBookmarksRaw(const TWQHBookmarks& Value) = 0;
    // Moves bookmarks at or after From by Shift; clears those beyond NewDataSize.
    virtual void AdjustBookmarks(int From, int Shift, int NewDataSize) = 0;
    virtual void WriteBuffer(const void* Buffer, int Pos, int Count) = 0;
    // Writes into the data without any notification.
    virtual void WriteRaw(const void* Buffer, int Pos, int Count) = 0;
    virtual void SetChanged(int Pos, bool Value) = 0;
    virtual void CutChangedMarks(int Pos) = 0;
    virtual void InternalInsertBuffer(const void* Buffer, int Size, int Pos) = 0;
    virtual void InternalAppendBuffer(const void* Buffer, int Size) = 0;
    // Removes From..To-1; the caret is placed later by the caller.
    virtual void InternalDelete(int From, int To) = 0;
    virtual void InternalInsertNibble(int Pos, bool HighNibble) = 0;
    virtual void InternalDeleteNibble(int Pos, bool HighNibble) = 0;
    virtual void SetDataAt(int Pos, std::uint8_t Value) = 0;
    // The data's size without undo step, fill or notification.
    virtual void SetDataSizeRaw(int Size) = 0;
    virtual void CalcSizes() = 0;
    virtual void SetCol(int Col) = 0;
    virtual void PlaceCaret(int Pos, bool InCharField, bool LaterDigit) = 0;
    virtual void SetModifiedFlag(bool Value) = 0;
    virtual void SetInsertMode(bool Value) = 0;
    virtual void SetSelection(int Position, int Start, int End) = 0;
    // Caret to Pos with no selection.
    virtual void SeekTo(int Pos) = 0;
    virtual void SetUnicodeCharacters(bool Value) = 0;
    virtual void SetUnicodeBigEndian(bool Value) = 0;
    virtual void SetTranslation(TWQHTranslationKind Value) = 0;
    // The translation field itself, past the setter's unicode check.
    virtual void SetTranslationField(TWQHTranslationKind Value) = 0;
    virtual void SetBytesPerUnit(int Value) = 0;
    virtual void SetInCharField(bool Value) = 0;
    virtual void Repaint() = 0;
    virtual void Changed() = 0;
    virtual void BookmarkChanged() = 0;
};

// The control's adapter; the control's constructor keeps it in FUndoLink.
std::unique_ptr<TWQHUndoEditor> CreateUndoLink(TCustomWQHexEditor& Editor);

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
    // An edit primitive runs, from its step to its last notification: undo
    // and redo are refused meanwhile, since they would act on a step whose
    // edit is not made yet. Counted, as a handler may edit inside an edit.
    void BeginEdit();
    void EndEdit();
    void Reset(bool AResetRedo);
    // Drops every step; an open bracket stays open and the redo stays.
    void EmptySteps();
    void RemoveLastUndo();
    void ResetRedo();
    // The redo block for a record about to be undone, filled from the data
    // as it is now; no block for the kinds that cannot be redone.
    void CreateRedo(const TWQHUndoRec& rec);
    void AddSelection(int AStart, int ACount);
    // The newest record's head and description, and its kind, whatever Count
    // says; ufKindNone (head zeroed, description empty) when the store holds
    // no record.
    TWQHUndoFlag ReadUndoRecord(TWQHUndoRec& rec, QString& description) const;
    // The newest record's kind; ufKindNone when the store is empty.
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
        // Where the live records began and ended, counted over the store's life.
        std::int64_t AbsStart = 0;
        std::int64_t AbsEnd = 0;
        // Recording moves bookmarks and sets the modified flag; both come back too.
        TWQHBookmarks Bookmarks{};
        bool Modified = false;
        // Where the next step recorded after the snapshot lies, so that it
        // alone can be taken off again; -1 before it is recorded and once it
        // has left the stream.
        std::shared_ptr<std::int64_t> Step;
    };
    // The store follows the next step it records into the snapshot's Step,
    // unless StopFollowing comes first.
    TSnapshot Snapshot();
    void StopFollowing();
    void RestoreSnapshot(const TSnapshot& S);
    // Takes the snapshot's Step off, wherever it lies now (steps recorded
    // after it stay); nothing when it is gone already.
    void DropStep(const TSnapshot& S);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
