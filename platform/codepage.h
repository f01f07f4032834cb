#pragma once
// Code pages: the program's 8-bit "ANSI" texts are GBK (code page 936).
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

QString AnsiToString(const QByteArray& ansi);  // GBK -> UTF-16; undecodable bytes become U+FFFD
QByteArray StringToAnsi(const QString& text);  // UTF-16 -> GBK; unmappable characters become '?'

// A whole text file as lines: a UTF-8 or UTF-16 LE/BE byte-order mark selects
// that encoding, otherwise ANSI. Lines end at CR LF, LF or CR; a final line
// end does not make an extra empty line.
QStringList DecodeTextLines(const QByteArray& fileBytes);
// The line splitting alone (the class library's string list text rules).
QStringList SplitTextLines(const QString& text);

} // namespace platform
