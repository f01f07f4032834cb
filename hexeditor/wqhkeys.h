#pragma once
// Qt key events as the key handling sees them: a Windows virtual key with its
// shift state for KeyDown, and the text (if any) for the character handler.
#include "hexeditor/wqhtypes.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QKeyEvent;

struct TWQHKeyInput {
    std::uint16_t Key = 0;  // 0: no virtual key for this event
    TShiftState Shift = 0;
    QString Text;           // characters to type; empty when Ctrl or Alt is held
};

TWQHKeyInput TranslateKeyEvent(const QKeyEvent& Event);

// The built-in bookmark glyph strip: 200 x 10 pixels, glyph n (10 x 10) is
// bookmark n in the hex field, glyph 10 + n bookmark n in the character
// field; pixel (0, 0) holds the transparent colour.
QImage WQHDefaultBookmarkStrip();

// Bookmarks as raw bytes: WQH_BOOKMARK_RAW_SIZE bytes per slot (position
// little-endian, field byte 0/1, three zero bytes), ten slots.
constexpr int WQH_BOOKMARKS_RAW_SIZE = 10 * WQH_BOOKMARK_RAW_SIZE;
QByteArray BookmarksToRaw(const TWQHBookmarks& Bookmarks);
// Raises EWQHexEditor "Invalid bookmark format" unless Size is exactly ten slots.
TWQHBookmarks BookmarksFromRaw(const void* Data, int Size);
