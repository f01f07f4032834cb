// Undo and redo on the control's side: the adapter through which the undo
// store reads and restores the control, and the control's undo operations.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"

#include <algorithm>

class TWQHEditorUndoLink final : public TWQHUndoEditor {
public:
    explicit TWQHEditorUndoLink(TCustomWQHexEditor& Editor) : e(Editor) {}

    int CaretPosition() const override { return std::max(0, e.GetPositionAtCursor(e.Col(), e.Row())); }
    bool CaretOnLaterDigit() const override
    {
        if (CaretInCharField())
            return false;
        return e.Col() != e.GetCursorAtPos(CaretPosition(), false).X;
    }
    bool CaretInCharField() const override { return e.GetIsCharFieldCol(e.Col()); }
    bool InsertMode() const override { return e.InsertMode(); }
    TWQHTranslationKind Translation() const override { return e.FTranslation; }
    bool UnicodeChars() const override { return e.FUnicodeCharacters; }
    bool UnicodeBigEndian() const override { return e.FUnicodeBigEndian; }
    bool CanSwitchUnicodeOn() const override
    {
        return e.FBytesPerRow % 2 == 0 && (e.FBytesPerCol / 2) % 2 == 0 && e.GetDataSize() % 2 == 0;
    }
    int BytesPerUnit() const override { return e.FBytesPerUnit; }
    bool ModifiedFlag() const override { return e.FModified; }
    int SelStartField() const override { return e.FSelStart; }
    int SelEndField() const override { return e.FSelEnd; }
    int SelPositionField() const override { return e.FSelPosition; }
    int MaxUndo() const override { return e.FMaxUndo; }
    int DataSize() const override { return e.GetDataSize(); }
    void ReadBytes(void* Buffer, int Pos, int Count) const override { e.ReadBuffer(Buffer, Pos, Count); }
    bool HasChanged(int Pos) const override { return e.HasChanged(Pos); }
    TWQHBookmarks Bookmarks() const override { return e.FBookmarks; }

    void SetBookmarksRaw(const TWQHBookmarks& Value) override { e.FBookmarks = Value; }
    void AdjustBookmarks(int From, int Shift, int NewDataSize) override
    {
        e.AdjustBookmarks(From, Shift, NewDataSize);
    }
    void WriteBuffer(const void* Buffer, int Pos, int Count) override { e.WriteBuffer(Buffer, Pos, Count); }
    void WriteRaw(const void* Buffer, int Pos, int Count) override
    {
        e.FDataStorage->WriteBufferAt(Buffer, Pos, Count);
    }
    void SetChanged(int Pos, bool Value) override { e.SetChanged(Pos, Value); }
    void CutChangedMarks(int Pos) override { e.CutChangedMarks(Pos); }
    void InternalInsertBuffer(const void* Buffer, int Size, int Pos) override
    {
        e.InternalInsertBuffer(Buffer, Size, Pos);
    }
    void InternalAppendBuffer(const void* Buffer, int Size) override { e.InternalAppendBuffer(Buffer, Size); }
    void InternalDelete(int From, int To) override { e.InternalDelete(From, To, -1, 0); }
    void InternalInsertNibble(int Pos, bool HighNibble) override { e.InternalInsertNibble(Pos, HighNibble); }
    void InternalDeleteNibble(int Pos, bool HighNibble) override { e.InternalDeleteNibble(Pos, HighNibble); }
    void SetDataAt(int Pos, std::uint8_t Value) override { e.SetDataAt(Pos, Value); }
    void SetDataSizeRaw(int Size) override { e.FDataStorage->Resize(Size, true); }
    void CalcSizes() override { e.CalcSizes(); }
    void SetCol(int Col) override { e.SetCol(Col); }
    void PlaceCaret(int Pos, bool InCharField, bool LaterDigit) override
    {
        const int size = e.GetDataSize();
        const int last = e.InsertMode() ? size : size - 1;
        Pos = std::max(0, std::min(Pos, last));
        TGridCoord cell = e.GetCursorAtPos(Pos, InCharField);
        if (!InCharField && size > 0 && LaterDigit)
            ++cell.X;
        e.MoveColRow(cell.X, cell.Y, true, true);
    }
    void SetModifiedFlag(bool Value) override { e.FModified = Value; }
    void SetInsertMode(bool Value) override { e.SetInsertMode(Value); }
    void SetSelection(int Position, int Start, int End) override { e.SetSelection(Position, Start, End); }
    void SeekTo(int Pos) override { e.Seek(Pos, 0); }
    void SetUnicodeCharacters(bool Value) override { e.SetUnicodeCharacters(Value); }
    void SetUnicodeBigEndian(bool Value) override { e.SetUnicodeBigEndian(Value); }
    void SetTranslation(TWQHTranslationKind Value) override { e.SetTranslation(Value); }
    void SetTranslationField(TWQHTranslationKind Value) override { e.FTranslation = Value; }
    void SetBytesPerUnit(int Value) override { e.SetBytesPerUnit(Value); }
    void SetInCharField(bool Value) override { e.SetInCharField(Value); }
    void Repaint() override { e.Invalidate(); }
    void Changed() override { e.Changed(); }
    void BookmarkChanged() override { e.BookmarkChanged(); }

private:
    TCustomWQHexEditor& e;
};

std::unique_ptr<TWQHUndoEditor> CreateUndoLink(TCustomWQHexEditor& Editor)
{
    return std::make_unique<TWQHEditorUndoLink>(Editor);
}

bool TCustomWQHexEditor::Undo()
{
    // An undo while a load or save reports progress would change the data
    // under the copy.
    if (FProgressBusy > 0)
        return false;
    return FUndoStorage->Undo();
}

bool TCustomWQHexEditor::Redo()
{
    if (FProgressBusy > 0)
        return false;
    return FUndoStorage->Redo();
}

void TCustomWQHexEditor::ResetUndo()
{
    FUndoStorage->Reset(true);
}

bool TCustomWQHexEditor::CanUndo() const
{
    return !FReadOnlyView && FUndoStorage->CanUndo();
}

bool TCustomWQHexEditor::CanRedo() const
{
    return !FReadOnlyView && FUndoStorage->CanRedo();
}

QString TCustomWQHexEditor::UndoDescription() const
{
    if (!FDestroying && FUndoStorage && FUndoStorage->CanUndo())
        return FUndoStorage->Description();
    return QString::fromLatin1(wqhstr::NoUndo);
}

void TCustomWQHexEditor::AddSelectionUndo(int AStart, int ACount)
{
    CreateUndo(ufKindSelection, AStart, ACount, 0, QString());
}

void TCustomWQHexEditor::CombineUndo(int aCount, const QString& sDesc)
{
    CreateUndo(ufKindCombined, 0, aCount, 0, sDesc);
}

int TCustomWQHexEditor::UndoBeginUpdate()
{
    return FUndoStorage->BeginUpdate();
}

int TCustomWQHexEditor::UndoEndUpdate()
{
    return FUndoStorage->EndUpdate();
}

void TCustomWQHexEditor::CreateUndo(TWQHUndoFlag aKind, int APosition, int ACount, int AReplaceCount,
                                    const QString& SDescription)
{
    if (!CanCreateUndo(aKind, ACount, AReplaceCount))
        throw EWQHexEditor(QString::fromLatin1(wqhstr::CannotUpdateUndo));
    if (FUndoStorage->UpdateCount() == 0)
        FUndoStorage->CreateUndo(aKind, APosition, ACount, AReplaceCount, SDescription);
    FModified = true;
}

bool TCustomWQHexEditor::CanCreateUndo(TWQHUndoFlag aKind, int ACount, int AReplaceCount)
{
    bool r = GetDataSize() > 0;
    if (!r)
        r = aKind == ufKindInsertBuffer || aKind == ufKindAppendBuffer || aKind == ufKindAllData;
    if (r && IsFileSizeFixed()) {
        switch (aKind) {
        case ufKindByteRemoved:
        case ufKindInsertBuffer:
        case ufKindAppendBuffer:
        case ufKindNibbleInsert:
        case ufKindNibbleDelete:
            r = false;
            break;
        case ufKindReplace:
            r = ACount == AReplaceCount;
            break;
        default:
            break;
        }
    }
    if (!r && aKind == ufKindCombined)
        r = FUndoStorage->Count() >= ACount;
    return r;
}
