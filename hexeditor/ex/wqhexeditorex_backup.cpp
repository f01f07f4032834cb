// Backups on save: before a modified control writes over its file, the old
// file moves to the backup name.
#include "hexeditor/ex/wqhexeditorex.h"

#include "hexeditor/ex/wqhexstrings.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

struct WQHExBackup {
    static QByteArray Native(const QString& Name) { return QFile::encodeName(Name); }

    // Anything under the name, a folder or a dangling link too.
    static bool Exists(const QString& Name)
    {
        struct stat st;
        return ::lstat(Native(Name).constData(), &st) == 0;
    }

    // The backup's name and the system's message for Err.
    static QString Message(const char* Text, const QString& Backup, int Err)
    {
        return QString::asprintf(Text, Backup.toUtf8().constData(),
                                 QString::fromLocal8Bit(std::strerror(Err)).toUtf8().constData());
    }
};

void TWQHexEditorEx::PrepareOverwriteDiskFile()
{
    TCustomWQHexEditor::PrepareOverwriteDiskFile();
    FPendingBackup.clear();
    // Without an extension the backup would be the file itself.
    if (!FCreateBackups || FBackupFileExt.isEmpty() || !Modified() || !WQHExBackup::Exists(FFileName))
        return;
    const QString backup = FFileName + FBackupFileExt;
    if (WQHExBackup::Exists(backup) && ::unlink(WQHExBackup::Native(backup).constData()) != 0) {
        const int err = errno;
        throw EWQHexEditor(WQHExBackup::Message(wqhstr::CannotDeleteBackup, backup, err));
    }
    if (std::rename(WQHExBackup::Native(FFileName).constData(), WQHExBackup::Native(backup).constData()) != 0) {
        const int err = errno;
        throw EWQHexEditor(WQHExBackup::Message(wqhstr::CannotCreateBackup, backup, err));
    }
    FPendingBackup = backup;
}

void TWQHexEditorEx::OverwriteDiskFileFailed() noexcept
{
    // The new file could not be written: the old one goes back under its own
    // name, unless something already stands there.
    if (FPendingBackup.isEmpty())
        return;
    const QString backup = FPendingBackup;
    FPendingBackup.clear();
    if (!WQHExBackup::Exists(FFileName))
        std::rename(WQHExBackup::Native(backup).constData(), WQHExBackup::Native(FFileName).constData());
}

void TWQHexEditorEx::Save()
{
    if (!HasFile())
        throw EWQHexEditor(QString::fromLatin1(wqhstr::NoFileNameSpecified));
    SaveToFile(FFileName, true);
    FPendingBackup.clear();
}
