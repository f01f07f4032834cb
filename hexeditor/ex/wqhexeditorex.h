#pragma once
// The extended hex editor control that the main window shows the chip image
// in: Ctrl shortcuts, wheel zoom, paint suspension, undo grouping, backups on
// save, the offset menu and the standard edit actions, plus clipboard, drag
// and drop, printing and the text forms of bookmarks and properties.
// One class, one source file per concern:
//   wqhexeditorex.cpp            construction, paint suspension, window, menu property
//   wqhexeditorex_keys.cpp       shortcuts, wheel zoom, mouse and double click
//   wqhexeditorex_undo.cpp       undo grouping, range undo, undo dump
//   wqhexeditorex_backup.cpp     backups on save, Save
//   wqhexeditorex_actions.cpp    standard edit actions, offset context menu
//   wqhexeditorex_text.cpp       bookmarks and properties as text
//   wqhexeditorex_clipboard.cpp  copy, cut, paste
//   wqhexeditorex_dragdrop.cpp   drop target, drag source, import of offered data
//   wqhexeditorex_print.cpp      printing
#include "hexeditor/ex/wqhfont.h"
#include "hexeditor/ex/wqholetypes.h"
#include "hexeditor/ex/wqhprintoptions.h"
#include "hexeditor/wqhexeditor.h"

#include <QPicture>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TWQHBasicAction;
class TWQHPopupMenu;
// Clipboard and drag and drop objects; defined with their concern.
class TWQHDataObject;
class TWQHDropTarget;

// Accepted clipboard formats in priority order.
using TClipFormats = std::vector<std::uint16_t>;
// A component notification (the class library's TOperation).
enum TOperation : std::uint8_t { opInsert, opRemove };

using TWQHQueryPublicPropertyEvent =
    std::function<void(QObject* Sender, const QString& PropertyName, bool& IsPublic)>;

class TWQHexEditorEx : public TCustomWQHexEditor {
    Q_OBJECT
public:
    explicit TWQHexEditorEx(QWidget* parent = nullptr);
    ~TWQHexEditorEx() override;

    // ---- paint suspension ----
    int BeginUpdate();
    int EndUpdate();
    int PaintUpdateCounter() const { return FPaintUpdateCounter; }

    // ---- undo grouping ----
    // An outermost bracket with a description (or while CreateUndoOnUndoUpdate
    // is set) becomes one undo step that restores the data of its opening.
    int UndoBeginUpdate(const QString& StrUndoDesc = QString());
    int UndoEndUpdate() override;
    void CreateRangeUndo(int aStart, int aCount, const QString& sDesc);
    bool CreateUndoOnUndoUpdate() const { return FCreateUndoOnUndoUpdate; }
    void SetCreateUndoOnUndoUpdate(bool Value) { FCreateUndoOnUndoUpdate = Value; }
    // Writes through the core and marks the data (and an open bracket) as changed.
    void WriteBuffer(const void* Buffer, int Index, int Count) override;
    // Writes the undo store's stream to a file; false on any failure.
    bool DumpUndoStorage(const QString& FileName);

    // ---- saving and backups ----
    void Save();
    bool CreateBackup() const { return FCreateBackups; }
    void SetCreateBackup(bool Value) { FCreateBackups = Value; }
    const QString& BackupExtension() const { return FBackupFileExt; }
    void SetBackupExtension(const QString& Value) { FBackupFileExt = Value; }

    // ---- shortcuts, wheel, menu, actions ----
    bool ZoomOnWheel() const { return FZoomOnWheel; }
    void SetZoomOnWheel(bool Value) { FZoomOnWheel = Value; }
    TWQHPopupMenu* OffsetPopupMenu() const { return FOffsetPopupMenu; }
    void SetOffsetPopupMenu(TWQHPopupMenu* Value);
    bool UpdateAction(TWQHBasicAction& Action) override;
    bool ExecuteAction(TWQHBasicAction& Action) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    // Public, so that hosts and tests can drive them as the Qt events do.
    bool DoMouseWheelDown(TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelUp(TShiftState Shift, int X, int Y) override;
    void DblClick() override;
    void DoContextPopup(TPoint MousePos, bool& Handled) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    const TWQHQueryPublicPropertyEvent& OnQueryPublicProperty() const { return FOnQueryPublicProperty; }
    void SetOnQueryPublicProperty(TWQHQueryPublicPropertyEvent Value) { FOnQueryPublicProperty = std::move(Value); }

    // clipboard
    bool CanCopy();
    bool CanCut();
    bool CanPaste();
    bool CBCopy();
    bool CBCut();
    bool CBPaste();
    void PasteData(const void* P, int ACount, const QString& UndoDesc);
    bool OwnsClipBoard();
    void ReleaseClipboard(bool Flush);
    bool ClipboardAsHexText() const { return FClipboardAsHexText; }
    void SetClipboardAsHexText(bool Value) { FClipboardAsHexText = Value; }
    bool FlushClipboardAtShutDown() const { return FFlushClipboardAtShutDown; }
    void SetFlushClipboardAtShutDown(bool Value) { FFlushClipboardAtShutDown = Value; }
    bool SupportsOtherClipFormats() const { return FSupportsOtherClipFormats; }
    void SetSupportsOtherClipFormats(bool Value) { FSupportsOtherClipFormats = Value; }

    // drag and drop
    TClipFormats GetMyOLEFormats() const;
    bool OLEHasSupportedFormat(IDataObject* dataObject, const TClipFormats& Formats, std::uint16_t& Format);
    HRESULT SupportsOLEData(IDataObject* dataObj, std::uint32_t grfKeyState, TPoint pt, std::uint32_t& dwEffect,
                            TWQHOLEOperation Operation);
    HRESULT ModifyOLEDropEffect(std::uint32_t grfKeyState, TPoint pt, std::uint32_t& dwEffect);
    HRESULT InsertOLEData(IDataObject* dataObj, std::uint32_t grfKeyState, TPoint pt, std::uint32_t& dwEffect,
                          TWQHOLEOperation Operation);
    bool OleDragDrop() const { return FOleDragDrop; }
    void SetOleDragDrop(bool Value);

    // printing
    // Page from 1; page 0 draws no rows and only counts the pages. The caller
    // owns the page (a recorded page, wqhprinter.h). The printer is WQHPrinter().
    std::unique_ptr<class TWQHMetafile> PrintPreview(int Page);
    void Print(int Page);
    int PrintNumPages();
    TWQHPrintOptions& PrintOptions() { return *FPrintOptions; }
    const TWQHPrintOptions& PrintOptions() const { return *FPrintOptions; }
    void SetPrintOptions(const TWQHPrintOptions& Value);
    const TWQHFont& PrintFont() const { return *FPrintFont; }
    void SetPrintFont(const TWQHFont& Value);
    bool UseEditorFontForPrinting() const { return FUseEditorFontForPrinting; }
    void SetUseEditorFontForPrinting(bool Value) { FUseEditorFontForPrinting = Value; }

    // text forms
    QString GetBookmarksAsString();
    void SetBookMarksAsString(const QString& Value);
    QString BookMarksAsString() { return GetBookmarksAsString(); }
    virtual QString GetPropertiesAsString();
    virtual void SetPropertiesAsString(const QString& Value);
    QString PropertiesAsString() { return GetPropertiesAsString(); }
    virtual bool IsPropPublic(const QString& PropName);

private:
    // The editor font's character set, which its QFont cannot hold
    // (property Font.Charset; Font.Color is the core control's FontColor).
    TFontCharset FFontCharset = DEFAULT_CHARSET;
    // The editor font as the property text last gave it, and the widget font
    // made of it: while the widget still has that font, the text reads back
    // the name and height it was given (an empty name, size 0, a cell height).
    std::optional<TWQHFont> FFontAsGiven;
    QFont FFontGivenAs;

protected:
    void Notification(QObject* AComponent, TOperation Operation);
    void CreateWnd() override;
    void WMDestroy() override;
    void Paint() override;
    void PrepareOverwriteDiskFile() override;
    void OverwriteDiskFileFailed() noexcept override;
    bool CanCreateUndo(TWQHUndoFlag aKind, int ACount, int AReplaceCount) override;
    void BookmarkChanged() override;
    void paintEvent(QPaintEvent* event) override;
    // A font beyond the size range is laid out at its limit.
    void CMFontChanged() override;

    // A copy of the selection as a data object, for the clipboard and for a
    // drag alike: from the smaller end, SelCount bytes, named after the file.
    std::shared_ptr<TWQHDataObject> SelectionDataObject();
    // The clipboard's object when it can be pasted, else nullptr: CanPaste
    // and CBPaste decide from one fetch.
    IDataObjectPtr PasteableClipboard();

    // drag and drop
    // Made by the constructor, freed by the destructor; switched with OleDragDrop and the window.
    void CreateDropTarget();
    void FreeDropTarget();
    void SetDropTargetActive(bool Active);
    // The drag source's share of the mouse handlers, after the core's.
    void OleMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void OleMouseMove(TShiftState Shift, int X, int Y);
    void OleMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

    // printing
    int PrintToCanvas(TWQHCanvas& ACanvas, int Page, const TRect& AMargins);
    TRect PrinterMarginRect();

    // =================== fields ===================
    bool FCreateBackups = true;
    QString FBackupFileExt = QStringLiteral(".bak");
    bool FOleDragDrop = false;
    TWQHDropTarget* FDropTarget = nullptr;  // owned; freed by FreeDropTarget
    std::array<std::uint16_t, 2> FOleFormat{};
    bool FOleDragging = false;
    bool FOleStartDrag = false;
    int FOleDragX = 0;
    int FOleDragY = 0;
    bool FOleWasTarget = false;
    std::unique_ptr<TWQHPrintOptions> FPrintOptions;
    int FPrintPages = 0;
    std::unique_ptr<TWQHFont> FPrintFont;
    bool FUseEditorFontForPrinting = true;
    bool FClipboardAsHexText = false;
    std::shared_ptr<IWQHDataObject> FClipData;
    bool FFlushClipboardAtShutDown = false;
    bool FSupportsOtherClipFormats = true;
    TWQHPopupMenu* FOffsetPopupMenu = nullptr;
    bool FZoomOnWheel = true;
    int FPaintUpdateCounter = 0;
    TWQHQueryPublicPropertyEvent FOnQueryPublicProperty;
    bool FHasDoubleClicked = false;
    bool FBookmarksNoChange = false;
    bool FCreateUndoOnUndoUpdate = false;
    bool FModifiedNoUndo = false;

private:
    // The last painted frame, shown while painting is suspended.
    QImage FFrozenFrame;
    // The undo step count right after the open outermost bracket took its
    // snapshot; 0 when it took none.
    int FSnapshotUndoCount = 0;
    // The backup the save in progress made, to be moved back if the save fails.
    QString FPendingBackup;
    QMetaObject::Connection FOffsetMenuGone;

    friend struct WQHExUndo;
    friend struct WQHExBackup;
    friend struct WQHExActions;
    friend struct WQHExText;
    friend struct WQHExClipboard;
    friend struct WQHExDragDrop;
    friend struct WQHExPrint;
};
