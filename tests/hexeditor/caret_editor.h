#pragma once
// What the caret tests share: an editor that exposes its protected handlers
// and state, a key-state source, data loading and cell points.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"

#include <QApplication>
#include <QByteArray>
#include <QPoint>
#include <set>

namespace carettest {

class TTestEditor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::TCustomWQHexEditor;

    using TCustomWQHexEditor::CheckMouseCoord;
    using TCustomWQHexEditor::CheckSetCaret;
    using TCustomWQHexEditor::CMINTUPDATECARET;
    using TCustomWQHexEditor::CreateCaretGlyph;
    using TCustomWQHexEditor::DestroyCaret;
    using TCustomWQHexEditor::DoMouseWheelDown;
    using TCustomWQHexEditor::DoMouseWheelUp;
    using TCustomWQHexEditor::DrawCaret;
    using TCustomWQHexEditor::MouseDown;
    using TCustomWQHexEditor::MouseMove;
    using TCustomWQHexEditor::MouseUp;
    using TCustomWQHexEditor::PostControlMessage;
    using TCustomWQHexEditor::SelectCell;
    using TCustomWQHexEditor::WMTimer;

    bool IsSelecting() const { return FIsSelecting; }
    void SetSelecting(bool Value) { FIsSelecting = Value; }
    int SelBeginPosition() const { return FSelBeginPosition; }
    int SelPosition() const { return FSelPosition; }
    int RawSelStart() const { return FSelStart; }
    int RawSelEnd() const { return FSelEnd; }
    bool PosInCharField() const { return FPosInCharField; }
    void SetPosInCharField(bool Value) { FPosInCharField = Value; }
    bool LastPosInCharField() const { return FLastPosInCharField; }
    int CharWidth() const { return FCharWidth; }
    bool ClickClearArmed() const { return FMouseUpCanResetSel; }
    bool DragShown() const { return FShowDrag; }
    TGridCoord DropCell() const { return GridCoord(FDropCol, FDropRow); }
    int PendingSelectionChanges() const { return FSelectionChangedCount; }
    void SetLoading(bool Value) { FIsLoading = Value; }
    void SetStaleCaret(int X, int Y)
    {
        FCaretX = X;
        FCaretY = Y;
    }
    // The caret glyph reads only these fields.
    void SetCaretInputs(TWQHCaretKind Kind, bool Insert, bool ReadOnly, int CharWidth, int CharHeight)
    {
        FCaretKind = Kind;
        FInsertModeOn = Insert;
        FReadOnlyView = ReadOnly;
        FCharWidth = CharWidth;
        FCharHeight = CharHeight;
    }
    // The cell/position mapping reads only these fields.
    void SetMappingGeometry(int BytesPerRow, bool Unicode)
    {
        FBytesPerRow = BytesPerRow;
        FBytesPerRowDup = 2 * BytesPerRow;
        FIntLastHexCol = 2 * BytesPerRow + 1;
        FUnicodeCharacters = Unicode;
    }
};

// Decides which keys and buttons count as held while it lives.
class ScopedKeys {
public:
    ScopedKeys()
    {
        SetKeyStateSource([this](int VirtKey) { return held.count(VirtKey) > 0; });
    }
    ~ScopedKeys() { SetKeyStateSource({}); }
    ScopedKeys(const ScopedKeys&) = delete;
    ScopedKeys& operator=(const ScopedKeys&) = delete;
    std::set<int> held;
};

// Byte i holds i & 0xFF.
inline void LoadBytes(TCustomWQHexEditor& ed, int count)
{
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i & 0xFF);
    platform::TMemoryStream ms;
    ms.Write(bytes.constData(), count);
    ms.SetPosition(0);
    ed.LoadFromStream(ms);
}

// Delivers the control's posted messages.
inline void Pump()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// A point inside a visible cell: fraction 0 is its left edge, 1 its right.
inline QPoint CellPoint(const TCustomWQHexEditor& ed, int col, int row, double fraction = 0.25)
{
    const TRect r = ed.CellRect(col, row);
    const int x = r.Left + static_cast<int>((r.Right - r.Left - 1) * fraction);
    return QPoint(x, (r.Top + r.Bottom) / 2);
}

inline int CaretPos(const TCustomWQHexEditor& ed)
{
    return ed.GetPositionAtCursor(ed.Col(), ed.Row());
}

} // namespace carettest
