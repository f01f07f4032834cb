// Ctrl shortcuts, wheel zoom, the mouse and the double click.
#include "hexeditor/ex/wqhexeditorex.h"

#include <QFont>

struct WQHExKeys {
    // The font size in points, as the class library counts it on a 96 dpi screen.
    static int FontSize(const QFont& f)
    {
        if (f.pointSize() > 0)
            return f.pointSize();
        TWQHFont t;
        t.Height = -f.pixelSize();
        return t.Size();
    }

    static void SetFontSize(TWQHexEditorEx& e, int Size)
    {
        QFont f = e.font();
        if (f.pointSize() > 0) {
            f.setPointSize(Size);
        } else {
            TWQHFont t;
            t.SetSize(Size);
            f.setPixelSize(-t.Height);
        }
        // The font change rebuilds the metrics.
        e.setFont(f);
    }
};

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
            const int size = WQHExKeys::FontSize(font());
            if (size > 2) {
                WQHExKeys::SetFontSize(*this, size - 1);
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
            WQHExKeys::SetFontSize(*this, WQHExKeys::FontSize(font()) + 1);
            return true;
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
