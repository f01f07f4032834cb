// Caret, selection, scrolling and focus of the hex editor control (the mouse
// and the drag-and-drop mark are in wqhexeditor_mouse.cpp).
//
// The caret is the grid's current cell. The control draws its own caret (an
// inverted rectangle over the finished paint) instead of a system caret; it
// exists only while the control has the focus and is parked off screen at
// (-50, -50) when its cell is scrolled out of view.
#include "hexeditor/wqhexeditor_caret.h"

#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhstrings.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <climits>

using wqhcaret::ClampInt;

namespace {

constexpr int ParkedCaret = -50;

// A cell rectangle counts as not visible when its Left + Bottom is 0.
bool RectVisible(const TRect& R)
{
    return R.Left + R.Bottom != 0;
}

void SetTopRowClamped(TCustomWQHexEditor& e, std::int64_t Value)
{
    const int v = ClampInt(Value, e.FixedRows(), e.RowCount() - 1);
    if (v != e.TopRow())
        e.SetTopRow(v);
}

void SetLeftColClamped(TCustomWQHexEditor& e, std::int64_t Value)
{
    const int v = ClampInt(Value, e.FixedCols(), e.ColCount() - 1);
    if (v != e.LeftCol())
        e.SetLeftCol(v);
}

// The control's own posted message: the type is the message number.
class TWQHControlEvent final : public QEvent {
public:
    TWQHControlEvent(int Msg, int WParam) : QEvent(static_cast<QEvent::Type>(Msg)), wParam(WParam) {}
    int wParam;
};

// Restores a flag when the scope ends, also on an exception.
class TFlagScope {
public:
    TFlagScope(bool& Flag, bool During) : FFlag(Flag), FOld(Flag) { FFlag = During; }
    ~TFlagScope() { FFlag = FOld; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
    bool FOld;
};

} // namespace

struct WQHCaret::Own {
    // Only a focused control places its caret, and with it the field that the
    // painter shades as active; an unfocused one keeps the last placed field
    // until the focus comes back.
    static void PlaceCaret(TCustomWQHexEditor& e, int ACol, int ARow)
    {
        const TRect r = e.CellRect(ACol, ARow);
        if (RectVisible(r))
            e.IntSetCaretPos(r.Left, r.Top, ACol);
        else
            e.IntSetCaretPos(ParkedCaret, ParkedCaret, -1);
    }

    // Clears the selection in insert mode when the drag is back at its start;
    // the drag itself goes on from the new begin position.
    static void RestartInsertDrag(TCustomWQHexEditor& e, int p)
    {
        const bool had = e.FSelPosition != -1;
        e.ResetSelection(had);
        e.FSelBeginPosition = p;
        e.FIsSelecting = true;
    }
};

// ---------------------------------------------------------------- mapping

int TCustomWQHexEditor::GetPositionAtCursor(int aCol, int aRow) const
{
    std::int64_t k;
    if (aCol > FBytesPerRowDup + 2) {
        k = aCol - (FBytesPerRowDup + 3);
        if (FUnicodeCharacters)
            k *= 2;
    } else {
        k = (aCol - 2) / 2;
    }
    const std::int64_t pos = k + static_cast<std::int64_t>(aRow - 2) * FBytesPerRow;
    return ClampInt(pos, 0, INT_MAX);
}

int TCustomWQHexEditor::GetPosAtCursor(int aCol, int aRow)
{
    FPosInCharField = GetIsCharFieldCol(aCol);
    return GetPositionAtCursor(aCol, aRow);
}

TGridCoord TCustomWQHexEditor::GetCursorAtPos(int aPos, bool aChars) const
{
    if (aPos < 0)
        return GridCoord(2, 2);
    const int inRow = aPos % FBytesPerRow;
    const int row = aPos / FBytesPerRow + 2;
    if (aChars)
        return GridCoord(FBytesPerRowDup + 3 + (FUnicodeCharacters ? inRow / 2 : inRow), row);
    return GridCoord(2 * inRow + 2, row);
}

int TCustomWQHexEditor::GetRow(int aPos) const
{
    return aPos / FBytesPerRow + 2;
}

int TCustomWQHexEditor::GetOtherFieldColCheck(int aCol) const
{
    if (aCol <= FBytesPerRowDup + 2)
        return FBytesPerRowDup + 3 + (aCol - 2) / (FUnicodeCharacters ? 4 : 2);
    return (FUnicodeCharacters ? 4 : 2) * (aCol - FBytesPerRowDup - 3) + 2;
}

int TCustomWQHexEditor::GetOtherFieldCol(int aCol)
{
    FPosInCharField = GetIsCharFieldCol(aCol);
    return GetOtherFieldColCheck(aCol);
}

bool TCustomWQHexEditor::GetIsCharFieldCol(int aCol) const
{
    return aCol > FBytesPerRowDup + 2;
}

int TCustomWQHexEditor::GetCursorPos() const
{
    return ClampInt(GetPositionAtCursor(Col(), Row()), 0, std::max(0, GetDataSize() - 1));
}

int TCustomWQHexEditor::CurrentValue() const
{
    const int p = GetPositionAtCursor(Col(), Row());
    if (p >= GetDataSize())
        return -1;
    return GetDataAt(p);
}

void TCustomWQHexEditor::TruncMaxPosition(int& aPos) const
{
    const int size = GetDataSize();
    if (aPos >= size)
        aPos = FInsertModeOn ? size : size - 1;
}

void TCustomWQHexEditor::CheckUnit(int& aValue) const
{
    aValue = (aValue / FBytesPerUnit) * FBytesPerUnit;
}

void TCustomWQHexEditor::CheckSelectUnit(int& aStart, int& aEnd) const
{
    const int last = GetDataSize() - 1;
    auto upper = [&](int& v) {
        CheckUnit(v);
        v = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(v) + FBytesPerUnit - 1, last));
    };
    if (aEnd < aStart) {
        CheckUnit(aEnd);
        upper(aStart);
    } else {
        CheckUnit(aStart);
        upper(aEnd);
    }
}

// ---------------------------------------------------------------- selection

void TCustomWQHexEditor::SetSelection(int aPos, int aStart, int aEnd)
{
    const int last = GetDataSize() - 1;
    FSelPosition = ClampInt(aPos, -1, last);
    FSelStart = ClampInt(aStart, -1, last);
    FSelEnd = ClampInt(aEnd, -1, last);
}

void TCustomWQHexEditor::NewSelection(int aFrom, int aTo)
{
    CheckSelectUnit(aFrom, aTo);
    SetSelection(aFrom, std::min(aFrom, aTo), std::max(aFrom, aTo));
    Invalidate();
    SelectionChanged();
}

void TCustomWQHexEditor::Select(int aCurCol, int aCurRow, int aNewCol, int aNewRow)
{
    const int anchor = FSelPosition != -1 ? FSelPosition : GetPosAtCursor(aCurCol, aCurRow);
    NewSelection(anchor, GetPosAtCursor(aNewCol, aNewRow));
}

void TCustomWQHexEditor::ResetSelection(bool aDraw)
{
    const bool had = FSelPosition != -1;
    FIsSelecting = false;
    SetSelection(-1, -1, -1);
    FSelBeginPosition = -1;
    if (aDraw && had)
        Invalidate();
}

bool TCustomWQHexEditor::IsSelected(int APosition) const
{
    return FSelPosition != -1 && FSelStart <= APosition && APosition <= FSelEnd;
}

int TCustomWQHexEditor::SelCount() const
{
    return FSelPosition == -1 ? 0 : FSelEnd - FSelStart + 1;
}

void TCustomWQHexEditor::SetSelCount(int Value)
{
    const std::int64_t end = static_cast<std::int64_t>(SelStart()) + Value - 1;
    SetSelEnd(static_cast<int>(std::clamp<std::int64_t>(end, INT_MIN, GetDataSize() - 1)));
}

int TCustomWQHexEditor::SelStart() const
{
    if (FSelPosition != -1)
        return FSelPosition;
    return GetPositionAtCursor(Col(), Row());
}

void TCustomWQHexEditor::SetSelStart(int Value)
{
    if (Value < 0 || Value >= GetDataSize())
        throw EWQHexEditor(QString::fromUtf8(wqhstr::InvalidSelectionStart));
    ResetSelection(true);
    const TGridCoord c = GetCursorAtPos(Value, GetIsCharFieldCol(Col()));
    MoveColRow(c.X, c.Y, true, true);
    SelectionChanged();
}

int TCustomWQHexEditor::SelEnd() const
{
    if (FSelPosition == -1)
        return GetPositionAtCursor(Col(), Row());
    return FSelPosition == FSelEnd ? FSelStart : FSelEnd;
}

void TCustomWQHexEditor::SetSelEnd(int Value)
{
    if (Value < -1 || Value >= GetDataSize())
        throw EWQHexEditor(QString::fromUtf8(wqhstr::InvalidSelectionEnd));
    ResetSelection(true);
    if (Value >= 0) {
        const TGridCoord c = GetCursorAtPos(Value, GetIsCharFieldCol(Col()));
        Select(Col(), Row(), c.X, c.Y);
        SelectionChanged();
    }
}

bool TCustomWQHexEditor::InCharField() const
{
    if (GetDataSize() < 1)
        return false;
    return GetIsCharFieldCol(Col());
}

void TCustomWQHexEditor::SetInCharField(bool Value)
{
    if (GetDataSize() < 1 || Value == InCharField())
        return;
    MoveColRow(GetOtherFieldCol(Col()), Row(), true, true);
}

void TCustomWQHexEditor::SelectAll()
{
    const int size = GetDataSize();
    if (size < 1)
        return;
    const TGridCoord c = GetCursorAtPos(FInsertModeOn ? size : size - 1, InCharField());
    MoveColRow(c.X, c.Y, true, true);
    NewSelection(0, size - 1);
}

void TCustomWQHexEditor::InternalGetCurSel(int& StartPos, int& EndPos, int& ACol, int& ARow)
{
    if (FSelPosition == -1) {
        StartPos = GetPosAtCursor(Col(), Row());
        EndPos = StartPos + 1;
        ACol = Col();
        ARow = Row();
    } else {
        StartPos = FSelStart;
        EndPos = FSelEnd + 1;
        const TGridCoord c = GetCursorAtPos(FSelStart, GetIsCharFieldCol(Col()));
        ACol = c.X;
        ARow = c.Y;
    }
    CutChangedMarks(StartPos);
}

void TCustomWQHexEditor::SelectionChanged()
{
    if (FIsLoading)
        return;
    if (++FSelectionChangedCount == 1)
        PostControlMessage(WQH_MSG_SELECTIONCHANGED, 0);
}

void TCustomWQHexEditor::CMSelectionChanged()
{
    if (FSelectionChangedCount <= 0)
        return;
    struct Reset {
        int& Count;
        ~Reset() { Count = 0; }
    } reset{FSelectionChangedCount};
    if (FOnSelectionChanged)
        FOnSelectionChanged(this);
}

// ---------------------------------------------------------------- cell selection

bool TCustomWQHexEditor::SelectCell(int ACol, int ARow)
{
    if (GetDataSize() < 1) {
        const int firstChar = std::max(GetOtherFieldColCheck(2), 2);
        if (ARow != 2 || (ACol != 2 && ACol != firstChar))
            return false;
        WQHCaret::Own::PlaceCaret(*this, ACol, ARow);
        return true;
    }
    if (!CheckSelectCell(ACol, ARow))
        return false;
    if (ACol != Col() || ARow != Row())
        Invalidate();

    if (FIsSelecting) {
        const int q = GetPosAtCursor(Col(), Row());
        int p = GetPosAtCursor(ACol, ARow);
        if (FSelBeginPosition == -1)
            FSelBeginPosition = q;
        if (!FInsertModeOn) {
            CheckSelectUnit(FSelBeginPosition, p);
            NewSelection(FSelBeginPosition, p);
        } else {
            // The caret stands between bytes: the byte at the caret is not taken.
            const bool backwards = p < FSelBeginPosition;
            CheckUnit(p);
            CheckUnit(FSelBeginPosition);
            if (p == FSelBeginPosition)
                WQHCaret::Own::RestartInsertDrag(*this, p);
            else if (backwards)
                NewSelection(FSelBeginPosition - FBytesPerUnit, p);
            else
                NewSelection(FSelBeginPosition, p - FBytesPerUnit);
        }
    } else {
        ResetSelection(true);
    }

    WQHCaret::Own::PlaceCaret(*this, ACol, ARow);
    SelectionChanged();
    return true;
}

bool TCustomWQHexEditor::CheckSelectCell(int ACol, int ARow)
{
    bool result = TWQHGrid::SelectCell(ACol, ARow);
    if (!FSelectionPossible)
        return result;
    TFlagScope busy(FSelectionPossible, false);

    if (!WQHCaret::IsDataCell(*this, ACol, ARow))
        return false;
    // The release of a drag moves the caret once more after the button is
    // already up; the drag still counts as a held button then.
    const bool leftDown = IsKeyDown(VK_LBUTTON) || GridState() == gsSelecting;
    if (result && !IsKeyDown(VK_SHIFT) && !leftDown)
        ResetSelection(true);
    if (!result)
        return false;

    const int size = GetDataSize();
    const int p = GetPosAtCursor(ACol, ARow);
    const bool inChars = FPosInCharField;
    const bool isData = WQHCaret::HoldsData(*this, ACol, p);

    if (isData && ACol == WQHCaret::GapCol(*this)) {
        if (leftDown)
            MoveColRow(std::max(2, ACol - 1), ARow, true, true);
        return false;
    }
    if (!isData) {
        const TGridCoord c = GetCursorAtPos(FInsertModeOn ? size : size - 1, inChars);
        MoveColRow(c.X, c.Y, true, true);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- caret

void TCustomWQHexEditor::CreateCaretGlyph()
{
    // A new shape (font, mode or kind change) stays where the old one was.
    const int x = FCaretX;
    const int y = FCaretY;
    DestroyCaret();
    FCaretX = x;
    FCaretY = y;
    const int w = FCharWidth;
    const int h = FCharHeight - 2;
    TWQHCaretKind kind = FCaretKind;
    if (kind == ckAuto)
        kind = FReadOnlyView ? ckBottom : (FInsertModeOn ? ckLeft : ckFull);
    switch (kind) {
    case ckLeft:
        FCaretShape = TRect{0, 0, 2, h};
        break;
    case ckBottom:
        FCaretShape = TRect{0, FCharHeight - 4, w, h};
        break;
    default:
        FCaretShape = TRect{0, 0, w, h};
        break;
    }
    FCaretExists = true;
    Invalidate();
}

void TCustomWQHexEditor::DestroyCaret()
{
    const bool visible = FCaretExists && FCaretX != ParkedCaret;
    FCaretExists = false;
    FCaretX = ParkedCaret;
    FCaretY = ParkedCaret;
    if (visible)
        Invalidate();
}

void TCustomWQHexEditor::CheckSetCaret()
{
    WQHCaret::Own::PlaceCaret(*this, Col(), Row());
}

void TCustomWQHexEditor::IntSetCaretPos(int aX, int aY, int aCol)
{
    if (!Focused())
        return;
    if (aCol != -1) {
        FPosInCharField = GetIsCharFieldCol(aCol);
        if (FPosInCharField != FLastPosInCharField) {
            FLastPosInCharField = FPosInCharField;
            Invalidate();
        }
    }
    if (aX != FCaretX || aY != FCaretY) {
        FCaretX = aX;
        FCaretY = aY;
        Invalidate();
    }
}

void TCustomWQHexEditor::CMINTUPDATECARET(int wParam)
{
    if (wParam == 7)
        CheckSetCaret();
}

void TCustomWQHexEditor::DrawCaret(TWQHCanvas& Canvas)
{
    if (!FCaretExists || (FCaretX == ParkedCaret && FCaretY == ParkedCaret))
        return;
    if (FCaretShape.Width() <= 0 || FCaretShape.Height() <= 0)
        return;
    Canvas.InvertRect(TRect{FCaretX + FCaretShape.Left, FCaretY + FCaretShape.Top, FCaretX + FCaretShape.Right,
                            FCaretY + FCaretShape.Bottom});
}

TColor TCustomWQHexEditor::InvertColor(TColor aColor)
{
    return ColorToRGB(aColor) ^ 0xFFFFFF;
}

// ---------------------------------------------------------------- scrolling

void TCustomWQHexEditor::WMVScroll()
{
    TWQHGrid::WMVScroll();
    CheckSetCaret();
}

void TCustomWQHexEditor::WMHScroll()
{
    TWQHGrid::WMHScroll();
    CheckSetCaret();
}

void TCustomWQHexEditor::TopLeftChanged()
{
    TWQHGrid::TopLeftChanged();
    CheckSetCaret();
    if (FOnTopLeftChanged)
        FOnTopLeftChanged(this);
}

bool TCustomWQHexEditor::DoMouseWheelDown(TShiftState Shift, int X, int Y)
{
    if (Shift != 0)
        return TWQHGrid::DoMouseWheelDown(Shift, X, Y);
    // A window showing one row or none still scrolls by a row.
    const int visible = std::max(1, VisibleRowCount());
    const std::int64_t limit = std::max(2, RowCount() - visible);
    SetTopRowClamped(
        *this, std::min<std::int64_t>(limit, static_cast<std::int64_t>(TopRow()) + std::max(1, visible - 1)));
    CheckSetCaret();
    return true;
}

bool TCustomWQHexEditor::DoMouseWheelUp(TShiftState Shift, int X, int Y)
{
    if (Shift != 0)
        return TWQHGrid::DoMouseWheelUp(Shift, X, Y);
    const int visible = std::max(1, VisibleRowCount());
    SetTopRowClamped(*this, std::max(2, TopRow() - std::max(1, visible - 1)));
    CheckSetCaret();
    return true;
}

void TCustomWQHexEditor::CenterCursorPosition()
{
    const int visible = VisibleRowCount();
    const std::int64_t wanted = static_cast<std::int64_t>(GetCursorPos() / FBytesPerRow) + 2 - visible / 2;
    SetTopRowClamped(*this, std::max<std::int64_t>(2, std::min<std::int64_t>(wanted, RowCount() - visible)));
}

int TCustomWQHexEditor::DisplayStart() const
{
    if (GetDataSize() < 1)
        return -1;
    return GetPositionAtCursor(2, TopRow());
}

int TCustomWQHexEditor::DisplayEnd() const
{
    const int size = GetDataSize();
    if (size < 1)
        return -1;
    const std::int64_t end =
        static_cast<std::int64_t>(DisplayStart()) + static_cast<std::int64_t>(VisibleRowCount()) * FBytesPerRow - 1;
    return static_cast<int>(std::min<std::int64_t>(size - 1, end));
}

void TCustomWQHexEditor::SyncView(TCustomWQHexEditor* Source, int SyncOffset)
{
    if (!Source || FIsViewSyncing || Source->FIsViewSyncing)
        return;
    TFlagScope syncing(FIsViewSyncing, true);
    const int size = GetDataSize();
    const int srcPos = Source->GetCursorPos();
    if (Source->BytesPerRow() == BytesPerRow() && Source->BytesPerColumn() == BytesPerColumn() &&
        Source->BytesPerUnit() == BytesPerUnit() && srcPos < size && SyncOffset == 0) {
        SetTopRowClamped(*this, Source->TopRow());
        SetLeftColClamped(*this, Source->LeftCol());
        MoveColRow(ClampInt(Source->Col(), 2, ColCount() - 1), ClampInt(Source->Row(), 2, RowCount() - 1), true,
                   false);
    } else {
        // Without data here the limit gives position 0.
        const bool srcChars = Source->GetIsCharFieldCol(Source->Col());
        if (RectVisible(Source->CellRect(Source->Col(), Source->Row()))) {
            const int p = ClampInt(static_cast<std::int64_t>(srcPos) + SyncOffset, 0, size - 1);
            const TGridCoord c = GetCursorAtPos(p, srcChars);
            SetLeftColClamped(*this, Source->LeftCol());
            MoveColRow(c.X, c.Y, true, true);
        } else {
            const std::int64_t top = Source->GetPositionAtCursor(std::max(Source->LeftCol(), 2), Source->TopRow());
            const int p = ClampInt(top + SyncOffset, 0, size - 1);
            const TGridCoord c = GetCursorAtPos(p, srcChars);
            SetLeftColClamped(*this, Source->LeftCol());
            SetTopRowClamped(*this, c.Y);
            if (c.X != Col())
                SetCol(c.X);
        }
    }
    if (Source->FSelPosition != -1 && size >= 1) {
        NewSelection(ClampInt(static_cast<std::int64_t>(Source->FSelStart) + SyncOffset, 0, size - 1),
                     ClampInt(static_cast<std::int64_t>(Source->FSelEnd) + SyncOffset, 0, size - 1));
    } else if (FSelPosition != -1) {
        ResetSelection(true);
    }
}

// ---------------------------------------------------------------- focus

void TCustomWQHexEditor::WMSetFocus()
{
    TWQHGrid::WMSetFocus();
    CreateCaretGlyph();
    CheckSetCaret();
    Invalidate();
}

void TCustomWQHexEditor::WMKillFocus()
{
    TWQHGrid::WMKillFocus();
    DestroyCaret();
    FIsSelecting = false;
    Invalidate();
}

bool TCustomWQHexEditor::CanFocus()
{
    if (!TWQHGrid::CanFocus())
        return false;
    const QWidget* form = window();
    if (form && form != this)
        return form->isEnabled() && form->isVisible();
    return true;
}

// ---------------------------------------------------------------- posted messages

void TCustomWQHexEditor::PostControlMessage(int Msg, int wParam)
{
    QCoreApplication::postEvent(this, new TWQHControlEvent(Msg, wParam));
}

void TCustomWQHexEditor::customEvent(QEvent* event)
{
    const int type = static_cast<int>(event->type());
    if (type == WQH_MSG_INTUPDATECARET) {
        const auto* msg = dynamic_cast<TWQHControlEvent*>(event);
        const int wParam = msg ? msg->wParam : 0;
        platform::Guarded([&] { CMINTUPDATECARET(wParam); });
    } else if (type == WQH_MSG_SELECTIONCHANGED) {
        platform::Guarded([&] { CMSelectionChanged(); });
    } else {
        TWQHGrid::customEvent(event);
    }
}
