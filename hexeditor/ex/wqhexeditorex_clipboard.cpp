// Copy, cut and paste through the clipboard.
#include "hexeditor/ex/wqhexeditorex.h"

// Temporary: no clipboard yet, so nothing can be copied, cut or pasted.
bool TWQHexEditorEx::CanCopy()
{
    return false;
}

bool TWQHexEditorEx::CanCut()
{
    return false;
}

bool TWQHexEditorEx::CanPaste()
{
    return false;
}

bool TWQHexEditorEx::CBCopy()
{
    return false;
}

bool TWQHexEditorEx::CBCut()
{
    return false;
}

bool TWQHexEditorEx::CBPaste()
{
    return false;
}

void TWQHexEditorEx::PasteData(const void*, int, const QString&) {}

bool TWQHexEditorEx::OwnsClipBoard()
{
    return false;
}

void TWQHexEditorEx::ReleaseClipboard(bool) {}
