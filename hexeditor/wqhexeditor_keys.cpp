// Keyboard input and bookmarks of the hex editor control.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhkeys.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"

#include <algorithm>
#include <array>
#include <cstring>

struct WQHKeys {
    static void CheckIndex(int Index)
    {
        if (Index < 0 || Index > 9)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBookmarkIndex));
    }

    static bool CaretInCharField(const TCustomWQHexEditor& e) { return e.GetIsCharFieldCol(e.Col()); }

    static int CaretPosition(TCustomWQHexEditor& e) { return e.GetPosAtCursor(e.Col(), e.Row()); }

    static bool HasSelection(const TCustomWQHexEditor& e) { return e.FSelPosition != -1; }

    static void MoveTo(TCustomWQHexEditor& e, TGridCoord c) { e.MoveColRow(c.X, c.Y, true, true); }

    // Step width of Left and Right: whole units while selecting, and whole
    // characters in the character field of the 16-bit mode.
    static int Step(const TCustomWQHexEditor& e, bool inChar)
    {
        return (e.FIsSelecting || (e.FUnicodeCharacters && inChar)) ? e.FBytesPerUnit : 1;
    }

    static void StepLeft(TCustomWQHexEditor& e)
    {
        const bool inChar = CaretInCharField(e);
        const int p0 = CaretPosition(e);
        const int s = Step(e, inChar);
        if (inChar) {
            MoveTo(e, e.GetCursorAtPos(std::max(p0 - s, 0), true));
        } else if (e.FIsSelecting) {
            int p = std::max(p0 - s, 0);
            e.CheckUnit(p);
            MoveTo(e, e.GetCursorAtPos(p, false));
        } else if ((e.Col() - 2) % 2 == 1) {
            e.MoveColRow(e.Col() - 1, e.Row(), true, true);
        } else if (p0 - 1 >= 0) {
            const TGridCoord c = e.GetCursorAtPos(p0 - 1, false);
            e.MoveColRow(c.X + 1, c.Y, true, true);
        }
    }

    static void StepRight(TCustomWQHexEditor& e)
    {
        const bool inChar = CaretInCharField(e);
        const int p0 = CaretPosition(e);
        const int s = Step(e, inChar);
        if (inChar) {
            int p = p0 + s;
            e.TruncMaxPosition(p);
            MoveTo(e, e.GetCursorAtPos(p, true));
        } else if (e.FIsSelecting) {
            int p = p0 + s;
            e.CheckUnit(p);
            e.TruncMaxPosition(p);
            MoveTo(e, e.GetCursorAtPos(p, false));
        } else if ((e.Col() - 2) % 2 == 0 && p0 != e.DataSize()) {
            e.MoveColRow(e.Col() + 1, e.Row(), true, true);
        } else {
            const int p = p0 + 1;
            if (p < e.DataSize() || (p == e.DataSize() && e.FInsertModeOn))
                MoveTo(e, e.GetCursorAtPos(p, false));
        }
    }

    static void SwitchField(TCustomWQHexEditor& e) { e.SetCol(std::max(2, e.GetOtherFieldCol(e.Col()))); }

    static void EraseKey(TCustomWQHexEditor& e, bool Backspace)
    {
        if (HasSelection(e))
            e.DeleteSelection(QString());
        else
            e.InternalErase(Backspace, QString());
    }

    // The synthetic Right after a typed character goes through the virtual
    // KeyDown, so subclasses and OnKeyDown see it like a real key.
    static void Advance(TCustomWQHexEditor& e)
    {
        std::uint16_t key = VK_RIGHT;
        e.KeyDown(key, 0);
    }

    static void TypeHexDigit(TCustomWQHexEditor& e, char16_t Ch, int P);
    static void TypeCharacter(TCustomWQHexEditor& e, char16_t Ch, int P);
};

// ---- keyboard ------------------------------------------------------------------

// "Insert mode is on" is the requested mode (FInsertModeOn), also while
// ReadOnlyView hides it: the rows keep the append position then, and so do
// the keys and the bookmarks.
void TCustomWQHexEditor::KeyDown(std::uint16_t& Key, TShiftState Shift)
{
    if (FOnKeyDown)
        FOnKeyDown(this, Key, Shift);

    if (Shift == 0 && Key != VK_SHIFT && !FInsertModeOn)
        ResetSelection(true);

    const bool ctrl = (Shift & ssCtrl) != 0;
    const bool shift = (Shift & ssShift) != 0;
    const bool inChar = WQHKeys::CaretInCharField(*this);
    // A page is the visible rows less one, but at least one row: a control
    // too small for a full row still pages, and never the wrong way.
    const int visible = VisibleRowCount();
    const int step = std::max(1, visible - 1);

    switch (Key) {
    case VK_LEFT:
        if (ctrl)
            MoveColRow(2, Row(), true, true);
        else
            WQHKeys::StepLeft(*this);
        break;
    case VK_BACK:
        if (FInsertModeOn && !FReadOnlyView)
            WQHKeys::EraseKey(*this, true);
        else if (!ctrl)
            WQHKeys::StepLeft(*this);
        break;
    case VK_RIGHT:
        if (ctrl)
            MoveColRow(GetLastCharCol(), Row(), true, true);
        else
            WQHKeys::StepRight(*this);
        break;
    case VK_UP:
        if (!ctrl && Row() - 1 >= 2)
            MoveColRow(Col(), Row() - 1, true, true);
        break;
    case VK_DOWN:
        if (!ctrl && Row() + 1 < RowCount())
            MoveColRow(Col(), Row() + 1, true, true);
        break;
    case VK_PRIOR:
        if (ctrl) {
            MoveColRow(Col(), TopRow(), true, true);
        } else {
            const int target = std::max(2, Row() - step);
            SetTopRow(std::max(2, TopRow() - step));
            MoveColRow(Col(), target, true, true);
        }
        break;
    case VK_NEXT:
        if (ctrl) {
            MoveColRow(Col(), std::min(RowCount() - 1, TopRow() + std::max(0, visible - 1)), true, true);
        } else {
            const int target = std::min(RowCount() - 1, Row() + step);
            SetTopRow(std::min(std::max(2, RowCount() - std::max(1, visible)), TopRow() + step));
            if (target > 0)
                MoveColRow(Col(), target, true, true);
        }
        break;
    case VK_HOME: {
        const int col = inChar ? std::max(2, GetOtherFieldColCheck(2)) : 2;
        MoveColRow(col, ctrl ? 2 : Row(), true, true);
        break;
    }
    case VK_END:
        if (ctrl) {
            const int p = FInsertModeOn ? DataSize() : DataSize() - 1;
            WQHKeys::MoveTo(*this, GetCursorAtPos(p, inChar));
        } else {
            int p = GetPositionAtCursor(2, Row() + 1) - 1;
            TruncMaxPosition(p);
            const TGridCoord c = GetCursorAtPos(p, inChar);
            MoveColRow(inChar ? c.X : c.X + 1, c.Y, true, true);
        }
        break;
    case VK_INSERT:
        if (Shift == 0)
            SetInsertMode(!InsertMode());
        break;
    case VK_DELETE:
        if (!FReadOnlyView && (FInsertModeOn || Shift == ssCtrl))
            WQHKeys::EraseKey(*this, false);
        break;
    case VK_TAB:
        if (Shift == 0 || Shift == ssShift)
            WQHKeys::SwitchField(*this);
        break;
    case 'T':
        if (ctrl)
            WQHKeys::SwitchField(*this);
        break;
    case VK_SHIFT:
        if (Shift == ssShift || Shift == (ssShift | ssCtrl))
            FIsSelecting = true;
        break;
    default:
        if (Key >= '0' && Key <= '9' && ctrl) {
            const auto digit = static_cast<std::uint8_t>(Key - '0');
            if (shift)
                SetBookmarkVals(digit, WQHKeys::CaretPosition(*this), inChar);
            else
                GotoBookmark(digit);
        }
        break;
    }
}

void WQHKeys::TypeHexDigit(TCustomWQHexEditor& e, char16_t Ch, int P)
{
    static const QString digits = QStringLiteral("0123456789abcdef0123456789ABCDEF");
    const int idx = digits.indexOf(QChar(Ch));
    if (idx < 0) {
        e.WrongKey();
        return;
    }
    const int v = idx & 15;
    const bool insert = e.InsertMode();
    if (!insert)
        e.ResetSelection(true);

    const std::uint8_t old = P < e.DataSize() ? e.GetDataAt(P) : 0;
    const bool firstColumn = (e.Col() - 2) % 2 == 0;
    const bool highNibble = firstColumn != (e.FSwapNibbles != 0);
    const auto value = static_cast<std::uint8_t>(highNibble ? (v << 4) | (old & 0x0F) : (old & 0xF0) | v);

    const int bpu = e.FBytesPerUnit;
    if (insert && ((e.Col() - 2) % (2 * bpu) == 0 || HasSelection(e))) {
        std::array<std::uint8_t, 8> unit{};
        unit[0] = static_cast<std::uint8_t>(e.FSwapNibbles ? v : v << 4);
        if (e.DataSize() == 0)
            e.AppendBuffer(unit.data(), bpu, QString(), false);
        else if (HasSelection(e))
            e.ReplaceSelection(unit.data(), bpu, QString(), false);
        else
            e.InsertBuffer(unit.data(), bpu, P, QString(), false);
    } else {
        if (P >= e.DataSize())
            return;
        e.IntChangeByte(old, value, P, QString());
    }
    e.FIsSelecting = false;
    Advance(e);
}

void WQHKeys::TypeCharacter(TCustomWQHexEditor& e, char16_t Ch, int P)
{
    const bool unicode = e.FUnicodeCharacters;
    // The 16-bit mode stores the character itself; otherwise the byte the
    // translation gives, and a character it cannot encode is refused
    // (never cut to its low 8 bits).
    const int mapped = e.TranslateTypedChar(Ch);
    if (mapped < 0 || (mapped <= 255 && e.FMaskedChars.test(static_cast<std::size_t>(mapped)))) {
        e.WrongKey();
        return;
    }
    const auto value = static_cast<std::uint16_t>(mapped);

    const bool insert = e.InsertMode();
    if (!insert)
        e.ResetSelection(true);

    std::array<std::uint8_t, 8> buffer{};
    if (unicode) {
        const auto lo = static_cast<std::uint8_t>(value & 0xFF);
        const auto hi = static_cast<std::uint8_t>(value >> 8);
        buffer[0] = e.FUnicodeBigEndian ? hi : lo;
        buffer[1] = e.FUnicodeBigEndian ? lo : hi;
    } else {
        buffer[0] = static_cast<std::uint8_t>(value & 0xFF);
    }

    const int size = e.DataSize();
    const std::uint8_t oldByte = (size == 0 || P >= size) ? 0 : e.GetDataAt(P);
    const int bpu = e.FBytesPerUnit;

    if (insert) {
        if (HasSelection(e))
            e.ReplaceSelection(buffer.data(), bpu, QString(), false);
        else if (P == size)
            e.AppendBuffer(buffer.data(), bpu, QString(), true);
        else if (P % bpu != 0)
            e.IntChangeByte(oldByte, buffer[0], P, QString());
        else
            e.InsertBuffer(buffer.data(), bpu, P, QString(), false);
        e.FIsSelecting = false;
    } else if (unicode && P + 1 < size) {
        char16_t oldChar = 0;
        char16_t newChar = 0;
        e.ReadBuffer(&oldChar, P, 2);
        std::memcpy(&newChar, buffer.data(), 2);
        e.IntChangeWideChar(oldChar, newChar, P, QString());
    } else {
        // Also the last byte of odd-sized data in the 16-bit mode: only the
        // byte that exists changes.
        e.IntChangeByte(oldByte, buffer[0], P, QString());
    }
    Advance(e);
}

void TCustomWQHexEditor::WMChar(char16_t Ch)
{
    if (FOnKeyPress)
        FOnKeyPress(this, Ch);
    if (FReadOnlyView)
        return;
    if (Ch <= 255 && FMaskedChars.test(Ch))
        return;
    const int p = WQHKeys::CaretPosition(*this);
    if (!(p < DataSize() || InsertMode()))
        return;
    if (WQHKeys::CaretInCharField(*this))
        WQHKeys::TypeCharacter(*this, Ch, p);
    else
        WQHKeys::TypeHexDigit(*this, Ch, p);
}

void TCustomWQHexEditor::WrongKey()
{
    if (FOnInvalidKey)
        FOnInvalidKey(this);
}

void TCustomWQHexEditor::IntChangeByte(std::uint8_t aOldByte, std::uint8_t aNewByte, int aPos,
                                       const QString& UndoDesc)
{
    if (aOldByte == aNewByte)
        return;
    CreateUndo(ufKindBytesChanged, aPos, 1, 0, UndoDesc);
    SetDataAt(aPos, aNewByte);
    if (!InsertMode())
        SetChanged(aPos, true);
    Invalidate();
    Changed();
}

void TCustomWQHexEditor::IntChangeWideChar(char16_t aOldChar, char16_t aNewChar, int aPos,
                                           const QString& UndoDesc)
{
    if (aOldChar == aNewChar)
        return;
    std::uint8_t oldBytes[2];
    std::uint8_t newBytes[2];
    std::memcpy(oldBytes, &aOldChar, 2);
    std::memcpy(newBytes, &aNewChar, 2);
    // Odd-sized data: the character's second byte does not exist.
    if (aPos >= 0 && aPos == DataSize() - 1) {
        IntChangeByte(GetDataAt(aPos), newBytes[0], aPos, UndoDesc);
        return;
    }
    CreateUndo(ufKindBytesChanged, aPos, 2, 0, UndoDesc);
    WriteBuffer(newBytes, aPos, 2);
    // Only marks for bytes that changed now; a mark from an earlier change
    // of the other byte stays.
    if (!InsertMode()) {
        if (oldBytes[0] != newBytes[0])
            SetChanged(aPos, true);
        if (oldBytes[1] != newBytes[1])
            SetChanged(aPos + 1, true);
    }
    Invalidate();
    Changed();
}

// ---- bookmarks -----------------------------------------------------------------

TWQHBookmark TCustomWQHexEditor::GetBookmark(std::uint8_t Index) const
{
    WQHKeys::CheckIndex(Index);
    return FBookmarks[Index];
}

void TCustomWQHexEditor::SetBookmark(std::uint8_t Index, const TWQHBookmark& Value)
{
    SetBookmarkVals(Index, Value.mPosition, Value.mInCharField);
}

void TCustomWQHexEditor::SetBookmarkVals(std::uint8_t Index, int aPos, bool aInCharField)
{
    WQHKeys::CheckIndex(Index);
    TWQHBookmark& bm = FBookmarks[Index];
    // Any negative position is an unset bookmark, kept as given.
    if (bm.mPosition == aPos && bm.mInCharField == aInCharField)
        bm.mPosition = -1;
    else
        bm.mPosition = aPos;
    bm.mInCharField = aInCharField;
    Invalidate();
    BookmarkChanged();
}

void TCustomWQHexEditor::SetBookmarks(const TWQHBookmarks& Value)
{
    FBookmarks = Value;
    for (auto& bm : FBookmarks)
        if (bm.mPosition < 0)
            bm.mPosition = -1;
    Invalidate();
    BookmarkChanged();
}

bool TCustomWQHexEditor::GotoBookmark(int Index)
{
    WQHKeys::CheckIndex(Index);
    const TWQHBookmark bm = FBookmarks[static_cast<std::size_t>(Index)];
    if (bm.mPosition < 0)
        return false;
    ResetSelection(true);
    if (bm.mPosition < DataSize() || (bm.mPosition == DataSize() && FInsertModeOn)) {
        WQHKeys::MoveTo(*this, GetCursorAtPos(bm.mPosition, bm.mInCharField));
        return true;
    }
    // Stale: the data it marked is gone.
    SetBookmarkVals(static_cast<std::uint8_t>(Index), -1, false);
    return false;
}

void TCustomWQHexEditor::AdjustBookmarks(int aFrom, int aShift, int aNewDataSize)
{
    if (aFrom < 0)
        return;
    bool touched = false;
    for (auto& bm : FBookmarks) {
        if (bm.mPosition < aFrom)
            continue;
        touched = true;
        const std::int64_t moved = std::int64_t(bm.mPosition) + aShift;
        bm.mPosition = (moved < 0 || moved > aNewDataSize) ? -1 : static_cast<std::int32_t>(moved);
    }
    if (touched)
        BookmarkChanged();
}

void TCustomWQHexEditor::BookmarkChanged()
{
    if (FOnBookmarkChanged)
        FOnBookmarkChanged(this);
}

void TCustomWQHexEditor::BookmarkBitmapChanged()
{
    if (!FBookmarkImageList)
        return;
    FBookmarkImageList->Clear();
    if (!FBookmarkBitmap.isNull())
        FBookmarkImageList->AddMasked(FBookmarkBitmap, FBookmarkBitmap.pixel(0, 0));
    Invalidate();
}

void TCustomWQHexEditor::SetBookmarkBitmap(const QImage* Value)
{
    if (Value == nullptr) {
        FBookmarkBitmap = WQHDefaultBookmarkStrip();
        FHasCustomBMP = false;
    } else {
        if (Value->width() != 200 || Value->height() != 10)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBookmarkBitmap));
        FBookmarkBitmap = *Value;
        FHasCustomBMP = true;
    }
    BookmarkBitmapChanged();
}

// ---- focus ---------------------------------------------------------------------

// Tab switches between the fields while the control wants tabs; otherwise it
// moves the focus as in any dialog.
bool TCustomWQHexEditor::focusNextPrevChild(bool next)
{
    if (FWantTabs)
        return false;
    return TWQHGrid::focusNextPrevChild(next);
}
