#include "hexeditor/wqhexeditorex.h"

TWQHexEditorEx::TWQHexEditorEx(QWidget* parent)
    : TCustomWQHexEditor(parent)
{
}
