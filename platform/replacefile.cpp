#include "platform/replacefile.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool SyncPath(const QByteArray& path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

TReplaceFile::TReplaceFile(const QString& fileName)
{
    const QFileInfo given(fileName);
    target_ = given.isSymLink() && given.exists() ? given.canonicalFilePath() : given.absoluteFilePath();
    const QFileInfo info(target_);
    static std::atomic<unsigned> counter{0};
    for (;;) {
        temp_ = info.absolutePath() + QStringLiteral("/.") + info.fileName()
                + QStringLiteral(".%1-%2.tmp").arg(::getpid()).arg(counter.fetch_add(1));
        // 0666 so that the umask applies as for any new file.
        const int fd = ::open(QFile::encodeName(temp_).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            created_ = true;
            return;
        }
        if (errno != EEXIST)
            return;
    }
}

TReplaceFile::~TReplaceFile()
{
    if (!committed_)
        ::unlink(QFile::encodeName(temp_).constData());
}

bool TReplaceFile::Commit()
{
    if (!created_ || committed_)
        return committed_;
    const QByteArray temp = QFile::encodeName(temp_);
    const QByteArray target = QFile::encodeName(target_);
    // Keep the permissions of the file being replaced.
    struct stat st {};
    bool ok = ::stat(target.constData(), &st) != 0 || ::chmod(temp.constData(), st.st_mode & 07777) == 0;
    ok = ok && SyncPath(temp, O_RDONLY | O_NOFOLLOW);
    ok = ok && std::rename(temp.constData(), target.constData()) == 0;
    if (!ok)
        return false;
    committed_ = true;
    // Make the rename itself durable; the new file is in place either way.
    SyncPath(QFile::encodeName(QFileInfo(target_).absolutePath()), O_RDONLY | O_DIRECTORY);
    return true;
}

} // namespace platform
