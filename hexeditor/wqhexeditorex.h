#pragma once
// The extended hex editor control that the main window shows the chip image in.
#include "hexeditor/wqhexeditor.h"

class TWQHexEditorEx : public TCustomWQHexEditor {
    Q_OBJECT
public:
    explicit TWQHexEditorEx(QWidget* parent = nullptr);
};
