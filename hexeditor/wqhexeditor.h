#pragma once
// The hex editor control: shows and edits a byte image as hex digits and
// characters. One class, implemented in one source file per concern:
//   wqhexeditor_store.cpp     data store: size, load/save, state, hooks
//   wqhexeditor_edit.cpp      single bytes, buffers, edit primitives
//   wqhexeditor_nibble.cpp    nibble insert and delete
//   wqhexeditor_undo.cpp      undo and redo on the control's side
//   wqhexeditor_offset.cpp    offset gutter texts and hex digit case
//   wqhexeditor_translate.cpp character translation, 16-bit mode, search, replace
//   wqhexeditor_layout.cpp    construction, properties, colours, geometry
//   wqhexeditor_paint.cpp     painting
//   wqhexeditor_caret.cpp     caret, selection, mouse, scrolling, focus
//   wqhexeditor_keys.cpp      keyboard input and bookmarks
// Each file keeps its private helpers in its own friend struct (declared at
// the end of the class), so the files never need to change this header for them.
#include "hexeditor/wqhgrid.h"
#include "hexeditor/wqhtypes.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {
class TStream;
}

class TWQHColors;
class TWQHMemoryStream;
class TWQHBits;
class TWQHUndoStorage;
class TWQHUndoEditor;
class TWQHImageList;
enum TWQHUndoFlag : std::uint8_t;

class TCustomWQHexEditor : public TWQHGrid {
    Q_OBJECT
public:
    explicit TCustomWQHexEditor(QWidget* parent = nullptr);
    ~TCustomWQHexEditor() override;

    // =================== data store and edit primitives (store) ===================
    int GetDataSize() const;
    int DataSize() const { return GetDataSize(); }
    void SetDataSize(int Value);
    void LoadFromStream(platform::TStream& Strm);
    void LoadFromFile(const QString& Filename);
    void SaveToStream(platform::TStream& Strm);
    void SaveRangeToStream(platform::TStream& Strm, int APosition, int ACount);
    void SaveToFile(const QString& Filename, bool aUnModify);
    void CreateEmptyFile(const QString& TempName);
    std::uint8_t GetDataAt(int Index) const;
    void SetDataAt(int Index, std::uint8_t Value);
    QChar GetMemory(int Index) const;
    void SetMemory(int Index, QChar Value);
    void ReadBuffer(void* Buffer, int Index, int Count) const;
    virtual void WriteBuffer(const void* Buffer, int Index, int Count);
    // Valid until the next size change.
    std::uint8_t* GetFastPointer(int Index, int Count);
    // A copy of aCount bytes from aPos (aCount is cut to the data); empty on failure.
    std::unique_ptr<std::uint8_t[]> BufferFromFile(int aPos, int& aCount);
    void InsertBuffer(const void* aBuffer, int aSize, int aPos, const QString& UndoDesc, bool MoveCursor);
    void AppendBuffer(const void* aBuffer, int aSize, const QString& UndoDesc, bool MoveCursor);
    void ReplaceSelection(const void* aBuffer, int aSize, const QString& UndoDesc, bool MoveCursor);
    void DeleteSelection(const QString& UndoDesc);
    void InternalErase(bool KeyWasBackspace, const QString& UndoDesc);
    bool InsertNibble(int aPos, bool HighNibble, const QString& UndoDesc);
    bool DeleteNibble(int aPos, bool HighNibble, const QString& UndoDesc);
    void ConvertRange(int aFrom, int aTo, TWQHTranslationKind aTransFrom, TWQHTranslationKind aTransTo,
                      const QString& UndoDesc);
    int Seek(int aOffset, int aOrigin);
    void SeekToEOF();
    QString AsText() const;
    void SetAsText(const QString& Value);
    QString AsHex() const;
    void SetAsHex(const QString& Value);
    QString SelectionAsText() const;
    void SetSelectionAsText(const QString& Value);
    QString SelectionAsHex() const;
    void SetSelectionAsHex(const QString& Value);
    bool Modified() const;
    void SetModified(bool Value);
    bool InsertMode() const;
    void SetInsertMode(bool Value);
    bool AllowInsertMode() const { return FAllowInsertMode; }
    void SetAllowInsertMode(bool Value);
    bool NoSizeChange() const { return FFixedFileSize; }
    void SetNoSizeChange(bool Value);
    bool ReadOnlyFile() const { return FIsFileReadonly; }
    void SetReadOnlyFile(bool Value);
    bool HasChanged(int APos) const;
    void SetChanged(int APos, bool Value);
    void FreeStorage(bool FreeUndo);
    bool IsFileSizeFixed() const;
    bool IsInsertModePossible() const;
    const QString& Filename() const { return FFileName; }
    bool HasFile() const { return FHasFile; }
    std::uint8_t SetDataSizeFillByte() const { return FSetDataSizeFillByte; }
    void SetSetDataSizeFillByte(std::uint8_t Value) { FSetDataSizeFillByte = Value; }
    void SetFixedFileSizeOverride(bool Value) { FFixedFileSizeOverride = Value; }
    const TWQHProgressEvent& OnProgress() const { return FOnProgress; }
    void SetOnProgress(TWQHProgressEvent Value) { FOnProgress = std::move(Value); }
    const TNotifyEvent& OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }
    TWQHMemoryStream& DataStorage() { return *FDataStorage; }
    // Raises while a load, save or copy is reporting progress (edits are refused then).
    void CheckNotBusy() const;

    // =================== undo and redo (undo) ===================
    bool Undo();
    bool Redo();
    void ResetUndo();
    bool CanUndo() const;
    bool CanRedo() const;
    QString UndoDescription() const;
    void AddSelectionUndo(int AStart, int ACount);
    void CombineUndo(int aCount, const QString& sDesc);
    int MaxUndo() const { return FMaxUndo; }
    void SetMaxUndo(int Value) { FMaxUndo = Value; }
    virtual int UndoBeginUpdate();
    virtual int UndoEndUpdate();
    TWQHUndoStorage& UndoStorage() { return *FUndoStorage; }

    // =================== offset format and number text (offset) ===================
    QString OffsetFormat() const { return FOffsetFormat.Format; }
    void SetOffsetFormat(const QString& Value);
    const TWQHOffsetFormat& OffsetFormatData() const { return FOffsetFormat; }
    virtual QString GetOffsetString(std::uint32_t Position);
    virtual QString GetAnyOffsetString(int Position);
    void SetOffsetDisplayWidth();
    void UpdateGetOffsetText();
    bool HexLowerCase() const { return FHexLowerCase; }
    void SetHexLowerCase(bool Value);
    bool IsMaxOffset() const { return FIsMaxOffset; }
    const TWQHGetOffsetTextEvent& OnGetOffsetText() const { return FOnGetOffsetText; }
    void SetOnGetOffsetText(TWQHGetOffsetTextEvent Value) { FOnGetOffsetText = std::move(Value); }
    int OffsetDisplayWidth() const { return FOffSetDisplayWidth; }

    // =================== translation, 16-bit mode, search (translate) ===================
    QChar TranslateToAnsiChar(std::uint8_t aByte) const;
    // The byte to store for a typed character code 0..255; QChar(0) when refused.
    // QChar(0) is ambiguous only when 0 is a storable, unmasked result (MaskedChars
    // without 0): use TranslateTypedChar to tell a refusal from a 0x00 byte.
    QChar TranslateFromAnsiChar(std::uint8_t aByte) const;
    // The byte (0..255) a typed character stores outside 16-bit mode, or -1 when
    // it is refused: above 255, or not encodable by the translation (whatever
    // MaskedChars holds; testing the result against MaskedChars stays the
    // caller's). In 16-bit mode every character is stored as itself: its code.
    int TranslateTypedChar(char16_t aChar) const;
    TWQHTranslationKind Translation() const { return FTranslation; }
    void SetTranslation(TWQHTranslationKind Value);
    bool UnicodeChars() const { return FUnicodeCharacters; }
    void SetUnicodeCharacters(bool Value);
    bool UnicodeBigEndian() const { return FUnicodeBigEndian; }
    void SetUnicodeBigEndian(bool Value);
    QString PrepareFindReplaceData(QString StrData, bool IgnoreCase, bool IsText);
    int Find(const QChar* aBuffer, int aCount, int aStart, int aEnd, bool IgnoreCase);
    int FindWithWildcard(const QChar* aBuffer, int aCount, int aStart, int aEnd, bool IgnoreCase,
                         QChar Wildcard);
    int Replace(const void* aBuffer, int aPosition, int aOldCount, int aNewCount, const QString& UndoDesc,
                bool MoveCursor);
    bool FindProgress() const { return FFindProgress; }
    void SetFindProgress(bool Value) { FFindProgress = Value; }
    QChar MaskChar() const { return FReplaceUnprintableCharsBy; }
    void SetMaskChar(QChar Value);
    const TWQHCharSet& MaskedChars() const { return FMaskedChars; }
    void SetMaskedChars(const TWQHCharSet& Value);
    void SetOnFind(TWQHFindEvent Value) { FOnFind = std::move(Value); }
    void SetOnWildcardFind(TWQHFindEvent Value) { FOnWildcardFind = std::move(Value); }
    const TWQHFindTable& FindTable(bool IgnoreCase) const { return IgnoreCase ? FFindTableI : FFindTable; }

    // =================== layout, properties, colours (layout) ===================
    int BytesPerRow() const { return FBytesPerRow; }
    void SetBytesPerRow(int Value);
    int BytesPerColumn() const { return FBytesPerCol / 2; }
    void SetBytesPerColumn(int Value);
    int BytesPerUnit() const { return FBytesPerUnit; }
    void SetBytesPerUnit(int Value);
    int RulerBytesPerUnit() const { return FRulerBytesPerUnit; }
    void SetRulerBytesPerUnit(int Value);
    int UsedRulerBytesPerUnit() const { return FUsedRulerBytesPerUnit; }
    bool AutoBytesPerRow() const { return FAutoBytesPerRow; }
    void SetAutoBytesPerRow(bool Value);
    TWQHCaretKind CaretKind() const { return FCaretKind; }
    void SetCaretKind(TWQHCaretKind Value);
    TWQHColors& Colors() { return *FColors; }
    const TWQHColors& Colors() const { return *FColors; }
    void SetColors(const TWQHColors& Value);
    bool FocusFrame() const { return FFocusFrame; }
    void SetFocusFrame(bool Value);
    bool SwapNibbles() const { return FSwapNibbles != 0; }
    void SetSwapNibbles(bool Value);
    bool DrawGridLines() const { return FDrawGridLines; }
    void SetDrawGridLines(bool Value);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool Value) { FWantTabs = Value; }
    bool ReadOnlyView() const { return FReadOnlyView; }
    void SetReadOnlyView(bool Value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool Value);
    bool GraySelectionIfNotFocused() const { return FGraySelOnLostFocus; }
    void SetGraySelectionIfNotFocused(bool Value);
    int GutterWidth() const { return FGutterWidth; }
    void SetGutterWidth(int Value);
    bool DrawGutter3D() const { return FDrawGutter3D; }
    void SetDrawGutter3D(bool Value);
    bool ShowRuler() const { return FShowRuler; }
    void SetShowRuler(bool Value);
    bool ShowPositionIfNotFocused() const { return FShowPositionIfNotFocused; }
    void SetShowPositionIfNotFocused(bool Value);
    int BytesPerBlock() const { return FBlockSize; }
    void SetBytesPerBlock(int Value);
    bool SeparateBlocksInCharField() const { return FSepCharBlocks; }
    void SetSeparateBlocksInCharField(bool Value);
    std::uint8_t RulerNumberBase() const { return FRulerNumberBase; }
    void SetRulerNumberBase(int Value);
    QString Version() const;
    int RowHeight() const { return DefaultRowHeight(); }
    int GetTopLeftPosition(bool& oInCharField);
    void SetTopLeftPosition(int aPosition, bool aInCharField);
    int ColCountRO() const { return ColCount(); }
    int RowCountRO() const { return RowCount(); }
    int CharWidth() const { return FCharWidth; }
    int CharHeight() const { return FCharHeight; }
    const QString& RulerString() const { return FRulerString; }
    const QString& RulerCharString() const { return FRulerCharString; }
    // The editor font ("Courier New" maps to the system's fixed-pitch font).
    void SetEditorFont(const QFont& Font);
    // The font's colour (Font.Color), which a QFont does not carry: the
    // character field's text.
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor Value);
    const TNotifyEvent& OnTopLeftChanged() const { return FOnTopLeftChanged; }
    void SetOnTopLeftChanged(TNotifyEvent Value) { FOnTopLeftChanged = std::move(Value); }
    void SetOnResize(TNotifyEvent Value) { FOnResize = std::move(Value); }
    // The control was read from a form: makes the empty "Untitled" data set.
    void Loaded();

    // =================== painting (paint) ===================
    int DrawDataPosition() const { return FDrawDataPosition; }
    bool IsDrawDataSelected() const { return FIsDrawDataSelected; }
    void SetOnDrawCell(TWQHDrawCellEvent Value) { FOnDrawCell = std::move(Value); }
    // Draws the whole visible control onto a canvas (Paint uses the screen's).
    void PaintTo(TWQHCanvas& Canvas);

    // =================== caret, selection, mouse, scrolling (caret) ===================
    int GetPosAtCursor(int aCol, int aRow);
    int GetPositionAtCursor(int aCol, int aRow) const;
    TGridCoord GetCursorAtPos(int aPos, bool aChars) const;
    int GetRow(int aPos) const;
    int GetOtherFieldCol(int aCol);
    int GetOtherFieldColCheck(int aCol) const;
    bool GetIsCharFieldCol(int aCol) const;
    int GetCursorPos() const;
    int CurrentValue() const;
    void TruncMaxPosition(int& aPos) const;
    void CheckUnit(int& aValue) const;
    void CheckSelectUnit(int& aStart, int& aEnd) const;
    void SetSelection(int aPos, int aStart, int aEnd);
    void NewSelection(int aFrom, int aTo);
    void Select(int aCurCol, int aCurRow, int aNewCol, int aNewRow);
    void ResetSelection(bool aDraw);
    bool IsSelected(int APosition) const;
    int SelCount() const;
    void SetSelCount(int Value);
    int SelStart() const;
    void SetSelStart(int Value);
    int SelEnd() const;
    void SetSelEnd(int Value);
    bool InCharField() const;
    void SetInCharField(bool Value);
    void SelectAll();
    void InternalGetCurSel(int& StartPos, int& EndPos, int& ACol, int& ARow);
    virtual void SelectionChanged();
    void CenterCursorPosition();
    int DisplayStart() const;
    int DisplayEnd() const;
    void SyncView(TCustomWQHexEditor* Source, int SyncOffset);
    int ShowDragCell(int X, int Y);
    void HideDragCell();
    int DropPosition() const;
    bool CursorOverSelection(int X, int Y) const;
    bool MouseOverSelection() const;
    bool MouseOverFixed(int X, int Y) const;
    static TColor InvertColor(TColor aColor);
    const TNotifyEvent& OnSelectionChanged() const { return FOnSelectionChanged; }
    void SetOnSelectionChanged(TNotifyEvent Value) { FOnSelectionChanged = std::move(Value); }
    void SetOnMouseDown(TMouseEvent Value) { FOnMouseDown = std::move(Value); }
    // Where the control's own caret is drawn; (-50, -50) when parked.
    int CaretX() const { return FCaretX; }
    int CaretY() const { return FCaretY; }
    bool CaretExists() const { return FCaretExists; }
    // The caret's white (inverting) rectangle inside its cell, from CaretKind.
    TRect CaretShape() const { return FCaretShape; }

    // =================== keyboard and bookmarks (keys) ===================
    TWQHBookmark GetBookmark(std::uint8_t Index) const;
    void SetBookmark(std::uint8_t Index, const TWQHBookmark& Value);
    bool GotoBookmark(int Index);
    const TWQHBookmarks& Bookmarks() const { return FBookmarks; }
    void SetBookmarks(const TWQHBookmarks& Value);
    const QImage& BookmarkBitmap() const { return FBookmarkBitmap; }
    // nullptr restores the built-in glyph strip.
    void SetBookmarkBitmap(const QImage* Value);
    bool HasCustomBookmarkBitmap() const { return FHasCustomBMP; }
    virtual void BookmarkChanged();
    void SetOnInvalidKey(TNotifyEvent Value) { FOnInvalidKey = std::move(Value); }
    void SetOnBookmarkChanged(TNotifyEvent Value) { FOnBookmarkChanged = std::move(Value); }
    void SetOnKeyDown(TKeyEvent Value) { FOnKeyDown = std::move(Value); }
    void SetOnKeyPress(TKeyPressEvent Value) { FOnKeyPress = std::move(Value); }
    // Key and character entry points, public so that hosts and tests can drive them.
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    void WMChar(char16_t Ch) override;

protected:
    // ---- store ----
    virtual void Changed();
    virtual void PrepareOverwriteDiskFile();
    // SaveToFile failed after PrepareOverwriteDiskFile succeeded; must not throw.
    virtual void OverwriteDiskFileFailed() noexcept;
    void Stream2Stream(platform::TStream& Source, platform::TStream& Target, TWQHProgressKind Operation,
                       std::int64_t Count);
    void InternalInsertBuffer(const void* aBuffer, int aSize, int aPos);
    void InternalAppendBuffer(const void* aBuffer, int aSize);
    void InternalDelete(int aFrom, int aTo, int aCol, int aRow);
    void InternalInsertNibble(int aPos, bool HighNibble);
    void InternalDeleteNibble(int aPos, bool HighNibble);
    // Drops every changed-byte mark from aPos on.
    void CutChangedMarks(int aPos);
    void ClearChangedMarks();

    // ---- undo ----
    void CreateUndo(TWQHUndoFlag aKind, int APosition, int ACount, int AReplaceCount, const QString& SDescription);
    virtual bool CanCreateUndo(TWQHUndoFlag aKind, int ACount, int AReplaceCount);

    // ---- offset ----
    void GenerateOffsetFormat(const QString& Value);

    // ---- layout ----
    void AdjustMetrics();
    void CalcSizes();
    int CalcColCount() const;
    int GetLastCharCol() const;
    void DoSetCellWidth(int Index, int Value);
    void RecalcBytesPerRow();
    void SetRulerString();
    void WaitCursor();
    void OldCursor();
    void Resize() override;
    void CMFontChanged() override;
    void CreateWnd() override;

    // ---- paint ----
    void Paint() override;
    void PaintCellRange(TWQHCanvas& Canvas, int ACol0, int ARow0, int XLimit, int YLimit, int Kind);

    // ---- caret ----
    bool SelectCell(int ACol, int ARow) override;
    bool CheckSelectCell(int ACol, int ARow);
    void CMSelectionChanged();
    void CreateCaretGlyph();
    void DestroyCaret();
    void CheckSetCaret();
    void IntSetCaretPos(int aX, int aY, int aCol);
    void CMINTUPDATECARET(int wParam);
    // Draws the caret over a finished paint.
    void DrawCaret(TWQHCanvas& Canvas);
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    TGridCoord CheckMouseCoord(int& X, int& Y);
    void WMTimer() override;
    void WMVScroll() override;
    void WMHScroll() override;
    void TopLeftChanged() override;
    bool DoMouseWheelDown(TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelUp(TShiftState Shift, int X, int Y) override;
    void WMSetFocus() override;
    void WMKillFocus() override;
    bool CanFocus() override;
    void customEvent(QEvent* event) override;
    // Posts the control's own messages (0xB100 caret update, 0xB101 selection changed).
    void PostControlMessage(int Msg, int wParam);

    // ---- keys ----
    void WrongKey();
    void IntChangeByte(std::uint8_t aOldByte, std::uint8_t aNewByte, int aPos, const QString& UndoDesc);
    void IntChangeWideChar(char16_t aOldChar, char16_t aNewChar, int aPos, const QString& UndoDesc);
    void SetBookmarkVals(std::uint8_t Index, int aPos, bool aInCharField);
    void AdjustBookmarks(int aFrom, int aShift, int aNewDataSize);
    void BookmarkBitmapChanged();
    bool focusNextPrevChild(bool next) override;

    // =================== fields ===================
    // store
    std::unique_ptr<TWQHMemoryStream> FDataStorage;
    std::unique_ptr<TWQHBits> FModifiedBytes;
    QString FFileName = QStringLiteral("---");
    QString FStreamFileName;
    bool FHasFile = false;
    bool FIsFileReadonly = true;
    bool FModified = false;
    bool FFixedFileSize = false;
    bool FFixedFileSizeOverride = false;
    bool FInsertModeOn = false;
    bool FAllowInsertMode = true;
    std::uint8_t FSetDataSizeFillByte = 0;
    int FProgressBusy = 0;  // > 0 while a progress handler runs
    TWQHProgressEvent FOnProgress;
    TNotifyEvent FOnChange;

    // undo
    std::unique_ptr<TWQHUndoStorage> FUndoStorage;
    std::unique_ptr<TWQHUndoEditor> FUndoLink;  // the store's view of this control
    int FMaxUndo = 1048576;
    bool FDestroying = false;

    // offset
    TWQHOffsetFormat FOffsetFormat;
    bool FHexLowerCase = false;
    QString FHexChars = QStringLiteral("0123456789ABCDEF");
    int FOffSetDisplayWidth = -1;
    int FGutterWidth = -1;
    TWQHGetOffsetTextEvent FOnGetOffsetText;
    bool FOffsetHandler = false;
    bool FIsMaxOffset = false;

    // translate
    TWQHTranslationKind FTranslation = tkAsIs;
    QChar FReplaceUnprintableCharsBy = QLatin1Char('.');
    TWQHCharSet FMaskedChars{0xFFFFFFFFull};  // #0..#31
    bool FUnicodeCharacters = false;
    bool FUnicodeBigEndian = false;
    // Ready from construction (identity and the Latin-1 case fold).
    TWQHFindTable FFindTable = InitialFindTable(false);
    TWQHFindTable FFindTableI = InitialFindTable(true);
    static TWQHFindTable InitialFindTable(bool IgnoreCase);
    bool FFindProgress = false;
    TWQHFindEvent FOnFind;
    TWQHFindEvent FOnWildcardFind;

    // layout
    int FBytesPerRow = 16;
    int FBytesPerRowDup = 32;
    int FIntLastHexCol = 33;
    int FBytesPerCol = 4;
    int FBytesPerUnit = 1;
    int FRulerBytesPerUnit = -1;
    int FUsedRulerBytesPerUnit = 1;
    std::uint8_t FRulerNumberBase = 16;
    QString FRulerString;
    QString FRulerCharString;
    int FBlockSize = -1;
    bool FSepCharBlocks = true;
    bool FAutoBytesPerRow = false;
    bool FSetAutoBytesPerRow = false;
    int FCharWidth = -1;
    int FCharHeight = 0;
    TColor FFontColor = clWindowText;
    bool FShowRuler = false;
    bool FDrawGutter3D = true;
    bool FDrawGridLines = false;
    bool FFocusFrame = true;
    bool FShowPositionIfNotFocused = false;
    bool FHideSelection = false;
    bool FGraySelOnLostFocus = false;
    bool FReadOnlyView = false;
    bool FWantTabs = true;
    int FSwapNibbles = 0;
    std::unique_ptr<TWQHColors> FColors;
    std::vector<TCursor> FCursorList;
    std::unique_ptr<TWQHImageList> FBookmarkImageList;
    bool FIsLoading = false;  // being read from a form: no selection notifications
    TNotifyEvent FOnResize;

    // paint
    int FDrawDataPosition = -1;
    bool FDrawDataPositionIsHex = false;
    bool FIsDrawDataSelected = false;
    TWQHDrawCellEvent FOnDrawCell;

    // caret
    bool FPosInCharField = false;
    bool FLastPosInCharField = true;
    int FSelStart = -1;
    int FSelEnd = -1;
    int FSelPosition = -1;
    int FSelBeginPosition = -1;
    bool FIsSelecting = false;
    bool FSelectionPossible = true;
    int FSelectionChangedCount = 0;
    int FMouseDownCol = -1;
    int FMouseDownRow = -1;
    bool FMouseUpCanResetSel = false;
    bool FShowDrag = false;
    int FDropCol = -1;
    int FDropRow = -1;
    TWQHCaretKind FCaretKind = ckAuto;
    TRect FCaretShape;
    bool FCaretExists = false;
    int FCaretX = -50;
    int FCaretY = -50;
    bool FIsViewSyncing = false;
    TNotifyEvent FOnSelectionChanged;
    TNotifyEvent FOnTopLeftChanged;
    TMouseEvent FOnMouseDown;

    // keys
    TWQHBookmarks FBookmarks;
    QImage FBookmarkBitmap;
    bool FHasCustomBMP = false;
    TNotifyEvent FOnInvalidKey;
    TNotifyEvent FOnBookmarkChanged;
    TKeyEvent FOnKeyDown;
    TKeyPressEvent FOnKeyPress;

    // Per-file private helpers.
    friend struct WQHStore;
    friend struct WQHUndo;
    friend class TWQHEditorUndoLink;
    friend struct WQHOffset;
    friend struct WQHTranslate;
    friend struct WQHLayout;
    friend struct WQHPaint;
    friend struct WQHCaret;
    friend struct WQHKeys;
};

// The same control; in this program every property is already public.
class TWQHexEditor : public TCustomWQHexEditor {
    Q_OBJECT
public:
    using TCustomWQHexEditor::TCustomWQHexEditor;
};

// Custom event types of the control's own posted messages.
constexpr int WQH_MSG_INTUPDATECARET = 0xB100;
constexpr int WQH_MSG_SELECTIONCHANGED = 0xB101;
