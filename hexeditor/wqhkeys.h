#pragma once
// Qt key events as the key handling sees them: a Windows virtual key with its
// shift state for KeyDown, and the text (if any) for the character handler.
#include "hexeditor/wqhtypes.h"

#include <QString>

class QKeyEvent;

struct TWQHKeyInput {
    std::uint16_t Key = 0;  // 0: no virtual key for this event
    TShiftState Shift = 0;
    QString Text;           // characters to type; empty when Ctrl or Alt is held
};

TWQHKeyInput TranslateKeyEvent(const QKeyEvent& Event);
