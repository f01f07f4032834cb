#pragma once
#include <QString>

namespace platform {

// The program's own file path (QCoreApplication::applicationFilePath).
QString ProgramPath();
// path with its extension replaced by ext (".ini"), or ext appended when the
// file name has none: "qv750" -> "qv750.ini", "x.exe" -> "x.ini".
QString ChangeFileExt(const QString& path, const QString& ext);
// ChangeFileExt(ProgramPath(), ext).
QString ProgramFileWithExt(const QString& ext);
// Override for tests; empty restores the real program path.
void SetProgramPathForTesting(const QString& path);

} // namespace platform
