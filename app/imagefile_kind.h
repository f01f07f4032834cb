#pragma once
// Which image format a file name stands for.
#include <QString>

enum class ImageKind { Raw, IntelHex, SRecord };

// From the last "." of the name's last path component to its end, dot
// included; empty when there is none.
QString ImageFileExtension(const QString& fileName);

// Format for loading. ".eep" and ".src" files are sniffed: firstChar is
// their first byte (-1 for an empty file); ':' means Intel HEX, 'S' S-record.
ImageKind LoadKindFor(const QString& fileName, int firstChar = -1);
bool NeedsSniffing(const QString& fileName); // ".eep", ".src"
// Format for saving: ".src" S-record, ".hex" Intel HEX, anything else raw.
ImageKind SaveKindFor(const QString& fileName);
