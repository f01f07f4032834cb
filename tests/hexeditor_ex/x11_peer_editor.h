#pragma once
// Shared by the X server tests and their second program: a control that takes
// drops, where on the screen a byte of it is, and its Ctrl keys.
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhformatseldialog.h"

#include <QPoint>

#include <cstdint>

class TPeerTestEditor : public TWQHexEditorEx {
public:
    TPeerTestEditor()
    {
        resize(520, 260);
        SetOleDragDrop(true);
    }
    // The screen point over the first hex digit of a data position. Cells lie
    // in the viewport's coordinates, inside the frame.
    QPoint ScreenAt(int pos) const
    {
        const int bpr = BytesPerRow();
        const TRect r = CellRect(2 + 2 * (pos % bpr), 2 + pos / bpr);
        return viewport()->mapToGlobal(QPoint(r.Left + 2, (r.Top + r.Bottom) / 2));
    }
    // The last screen pixel inside the second hex digit of a data position.
    QPoint ScreenAtEdge(int pos) const
    {
        const int bpr = BytesPerRow();
        const TRect r = CellRect(2 + 2 * (pos % bpr) + 1, 2 + pos / bpr);
        return viewport()->mapToGlobal(QPoint(r.Right - 1, r.Bottom - 1));
    }
    void Select(int from, int to)
    {
        SetSelStart(from);
        SetSelEnd(to);
    }
    // The caret before a byte, with nothing selected.
    void Caret(int pos)
    {
        const TGridCoord at = GetCursorAtPos(pos, false);
        MoveColRow(at.X, at.Y, true, true);
    }
    // Ctrl+C, Ctrl+X or Ctrl+V as the control's key handler takes it.
    void CtrlKey(char letter)
    {
        std::uint16_t key = std::uint16_t(letter);
        KeyDown(key, ssCtrl);
    }
};

// The tests carry the own format, which needs no choice: while this lives a
// format dialog is refused and counted, so a lost format shows as missing
// bytes at once instead of a modal dialog that waits for ever.
class TRefusedFormatDialogs {
public:
    TRefusedFormatDialogs()
    {
        SetFormatSelDialogRunner([this](QDialog&) {
            ++Count;
            return int(QDialog::Rejected);
        });
    }
    ~TRefusedFormatDialogs() { SetFormatSelDialogRunner({}); }
    TRefusedFormatDialogs(const TRefusedFormatDialogs&) = delete;
    TRefusedFormatDialogs& operator=(const TRefusedFormatDialogs&) = delete;

    int Count = 0;
};
