#include "platform/paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
QString g_override;

QString realProgramPath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    // Before the application object exists Qt cannot tell; the kernel can.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

} // namespace

QString ProgramPath()
{
    {
        std::lock_guard lock(g_mutex);
        if (!g_override.isEmpty())
            return g_override;
    }
    return realProgramPath();
}

QString ChangeFileExt(const QString& path, const QString& ext)
{
    // The extension starts at the last '.' of the last path component.
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot > slash)
        return path.left(dot) + ext;
    return path + ext;
}

QString ProgramFileWithExt(const QString& ext) { return ChangeFileExt(ProgramPath(), ext); }

void SetProgramPathForTesting(const QString& path)
{
    std::lock_guard lock(g_mutex);
    g_override = path;
}

} // namespace platform
