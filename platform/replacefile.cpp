#include "platform/replacefile.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

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

bool InGroup(gid_t gid)
{
    if (::geteuid() == 0 || gid == ::getegid())
        return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    const int got = ::getgroups(n, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<size_t>(i)] == gid)
            return true;
    return false;
}

// The file a replace would rename over: through an existing symbolic link
// the file it points to.
QString ResolvedTarget(const QString& fileName)
{
    const QFileInfo given(fileName);
    return given.isSymLink() && given.exists() ? given.canonicalFilePath() : given.absoluteFilePath();
}

bool Writable(const QByteArray& path, int mode) { return ::access(path.constData(), mode) == 0; }

} // namespace

SaveTargetFacts InspectSaveTarget(const QString& fileName)
{
    SaveTargetFacts facts;
    const QByteArray given = QFile::encodeName(fileName);
    struct stat st {};
    if (::lstat(given.constData(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(given.constData(), &st) != 0)
        facts.danglingLink = true;
    const QString target = ResolvedTarget(fileName);
    const QByteArray path = QFile::encodeName(target);
    facts.folderWritable = Writable(QFile::encodeName(QFileInfo(target).absolutePath()), W_OK | X_OK);
    if (facts.danglingLink || ::stat(path.constData(), &st) != 0)
        return facts;
    facts.exists = true;
    facts.regular = S_ISREG(st.st_mode);
    facts.links = st.st_nlink;
    facts.ownedByUser = st.st_uid == ::geteuid();
    facts.groupKeepable = InGroup(st.st_gid);
    facts.extendedAttributes = ::listxattr(path.constData(), nullptr, 0) > 0;
    facts.fileWritable = Writable(path, W_OK);
    return facts;
}

SaveMethod ChooseSaveMethod(const SaveTargetFacts& facts)
{
    if (!facts.folderWritable || facts.danglingLink)
        return SaveMethod::InPlace;
    if (!facts.exists)
        return SaveMethod::Replace;
    const bool carriedOver = facts.regular && facts.links == 1 && facts.ownedByUser && facts.groupKeepable
                             && !facts.extendedAttributes;
    return carriedOver && facts.fileWritable ? SaveMethod::Replace : SaveMethod::InPlace;
}

TReplaceFile::TReplaceFile(const QString& fileName)
{
    method_ = fileName.isEmpty() ? SaveMethod::InPlace : ChooseSaveMethod(InspectSaveTarget(fileName));
    if (method_ == SaveMethod::InPlace) {
        target_ = fileName.isEmpty() ? fileName : QFileInfo(fileName).absoluteFilePath();
        temp_ = fileName;
        return;
    }
    target_ = ResolvedTarget(fileName);
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
    if (created_ && !committed_)
        ::unlink(QFile::encodeName(temp_).constData());
}

int TReplaceFile::OpenForWrite() const
{
    if (temp_.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    const QByteArray name = QFile::encodeName(temp_);
    if (method_ == SaveMethod::Replace)
        return ::open(name.constData(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    // Non-blocking only for the open itself: a FIFO nobody reads gives ENXIO.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

bool TReplaceFile::Commit()
{
    if (method_ == SaveMethod::InPlace)
        return true;
    if (!created_ || committed_)
        return committed_;
    const QByteArray temp = QFile::encodeName(temp_);
    const QByteArray target = QFile::encodeName(target_);
    // Keep the permissions and the group of the file being replaced.
    struct stat st {};
    bool ok = true;
    if (::stat(target.constData(), &st) == 0) {
        struct stat now {};
        ok = ::stat(temp.constData(), &now) == 0;
        if (ok && now.st_gid != st.st_gid)
            ok = ::chown(temp.constData(), static_cast<uid_t>(-1), st.st_gid) == 0;
        ok = ok && ::chmod(temp.constData(), st.st_mode & 07777) == 0;
    }
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
