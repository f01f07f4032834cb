#pragma once
// The ten bookmarks as text, for hosts that keep them with a file.
//
// Written form: "$" and ten slots of eight UTF-16 characters, one per
// bookmark. The first four characters of a slot hold the bookmark's 8-byte
// record (position as 32-bit little-endian, field byte, three zero bytes),
// two bytes per character, low byte first; the last four are zero filler.
//
// Read forms: the "$" form above, or a checksummed form: eight hex digits
// holding the sum of the UTF-16 code units that follow, then records of
// 2 hex digits index (0..9), 16 hex digits position (its low 32 bits count)
// and 2 hex digits field (00 hex field, anything else character field).
#include "hexeditor/wqhtypes.h"

#include <QString>
#include <functional>

// "" when no bookmark is set, else the "$" form of exactly 81 characters.
QString WQHBookmarksToText(const TWQHBookmarks& Bookmarks);

// Reads Text and hands each bookmark it carries to Apply, in text order;
// negative positions arrive as -1. Raises EWQHexEditor "Invalid bookmark
// format" at the first bad slot or record, after the good ones before it
// were applied: a "$" slot cut short (characters after the tenth slot are
// ignored), text shorter than its checksum, a checksum that does not match (nothing
// applied then), a character that is not a hex digit, a record cut short,
// an index above 9. An empty text applies nothing.
void WQHReadBookmarksText(const QString& Text, const std::function<void(int Index, const TWQHBookmark&)>& Apply);
