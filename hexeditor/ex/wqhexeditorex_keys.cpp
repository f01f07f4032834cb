// Ctrl shortcuts, wheel zoom, the mouse and the double click.
#include "hexeditor/ex/wqhexeditorex.h"

void TWQHexEditorEx::KeyDown(std::uint16_t& Key, TShiftState Shift)
{
    TCustomWQHexEditor::KeyDown(Key, Shift);
    // The shift state must be exactly the one named: Ctrl+Alt+Z is no undo.
    if (Shift == ssCtrl) {
        switch (Key) {
        case 'A':
            SelectAll();
            break;
        case 'C':
            if (CanCopy())
                CBCopy();
            break;
        case 'X':
            if (CanCut())
                CBCut();
            break;
        case 'V':
            if (CanPaste())
                CBPaste();
            break;
        case 'Z':
            if (CanUndo())
                Undo();
            break;
        default:
            break;
        }
    } else if (Shift == (ssCtrl | ssShift) && Key == 'Z') {
        if (CanRedo())
            Redo();
    }
}

bool TWQHexEditorEx::DoMouseWheelDown(TShiftState Shift, int X, int Y)
{
    if (FZoomOnWheel) {
        if (Shift == ssCtrl && BytesPerRow() > 1) {
            SetBytesPerRow(BytesPerRow() - 1);
            Repaint();
            return true;
        }
        if (Shift == (ssCtrl | ssShift)) {
            const int size = WQHFontSize(font());
            if (size > 2) {
                // The font change rebuilds the metrics.
                setFont(WQHWithFontSize(font(), size - 1));
                return true;
            }
        }
    }
    return TCustomWQHexEditor::DoMouseWheelDown(Shift, X, Y);
}

bool TWQHexEditorEx::DoMouseWheelUp(TShiftState Shift, int X, int Y)
{
    if (FZoomOnWheel) {
        if (Shift == ssCtrl && BytesPerRow() < 256) {
            SetBytesPerRow(BytesPerRow() + 1);
            Repaint();
            return true;
        }
        if (Shift == (ssCtrl | ssShift)) {
            const int size = WQHFontSize(font());
            if (size < WQHMaxFontSize) {
                setFont(WQHWithFontSize(font(), size + 1));
                return true;
            }
        }
    }
    return TCustomWQHexEditor::DoMouseWheelUp(Shift, X, Y);
}

void TWQHexEditorEx::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomWQHexEditor::MouseDown(Button, Shift, X, Y);
    OleMouseDown(Button, Shift, X, Y);
}

void TWQHexEditorEx::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomWQHexEditor::MouseMove(Shift, X, Y);
    OleMouseMove(Shift, X, Y);
}

void TWQHexEditorEx::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    // The press of a double click lands on the byte it just selected; its
    // release must not clear that selection.
    if (FHasDoubleClicked) {
        FMouseUpCanResetSel = false;
        FHasDoubleClicked = false;
    }
    TCustomWQHexEditor::MouseUp(Button, Shift, X, Y);
    OleMouseUp(Button, Shift, X, Y);
}

void TWQHexEditorEx::DblClick()
{
    int x = LastMouseX();
    int y = LastMouseY();
    const TGridCoord c = CheckMouseCoord(x, y);
    // Any point gives a position, the gutter and the ruler too: the
    // conversion clamps what lies before the data to 0.
    const int p = GetPosAtCursor(c.X, c.Y);
    if (p >= 0 && p < DataSize()) {
        NewSelection(p, p);
        FHasDoubleClicked = true;
        FMouseUpCanResetSel = false;
    }
    TCustomWQHexEditor::DblClick();
}
