#include "platform/streams.h"

#include "platform/exceptions.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::int64_t TStream::Size()
{
    const std::int64_t here = Position();
    const std::int64_t end = Seek(0, SeekOrigin::End);
    Seek(here, SeekOrigin::Begin);
    return end;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(QStringLiteral("Stream read error"));
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(QStringLiteral("Stream write error"));
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const std::int64_t total = count;
    char chunk[61440];
    while (count > 0) {
        const std::int64_t n = std::min<std::int64_t>(count, sizeof chunk);
        source.ReadBuffer(chunk, n);
        WriteBuffer(chunk, n);
        count -= n;
    }
    return total;
}

namespace {

// The expanded name: absolute, with "." and ".." resolved.
QString expandedName(const QString& fileName)
{
    return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
}

QString fileOpenErrorText(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(expandedName(fileName), reason);
}

// Transfers wait again once a non-blocking open is done.
void clearNonBlocking(int fd)
{
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
}

} // namespace

QString FileOpenErrorText(const QString& fileName, int error)
{
    return fileOpenErrorText(fileName, QString::fromLocal8Bit(std::strerror(error)));
}

QString FileCreateErrorText(const QString& fileName, int error)
{
    return QStringLiteral("Cannot create file \"%1\". %2")
        .arg(expandedName(fileName), QString::fromLocal8Bit(std::strerror(error)));
}

TFileStream::TFileStream(const QString& fileName, FileMode mode) : fileName_(fileName)
{
    const QByteArray path = fileName.toLocal8Bit();
    int flags = O_CLOEXEC;
    switch (mode) {
    case FileMode::OpenRead: flags |= O_RDONLY; break;
    case FileMode::OpenReadRegular: flags |= O_RDONLY | O_NONBLOCK | O_NOCTTY; break;
    case FileMode::OpenWrite: flags |= O_WRONLY; break;
    case FileMode::OpenReadWrite: flags |= O_RDWR; break;
    case FileMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    if (mode == FileMode::Create)
        flags |= O_NONBLOCK | O_NOCTTY; // for the open only, see below
    fd_ = fileName.isEmpty() ? -1 : ::open(path.constData(), flags, 0666);
    int error = fileName.isEmpty() ? ENOENT : errno;
    if (fd_ >= 0 && mode == FileMode::Create) {
        // Opened for reading too, a FIFO would take the bytes itself and stall
        // once full; written only, one without a reader fails here at once.
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISFIFO(st.st_mode)) {
            ::close(fd_);
            fd_ = ::open(path.constData(), (flags & ~O_RDWR) | O_WRONLY, 0666);
            error = errno;
        }
        if (fd_ >= 0)
            clearNonBlocking(fd_);
    }
    if (fd_ >= 0 && mode != FileMode::Create) {
        struct stat st {};
        const int statError = ::fstat(fd_, &st) == 0 ? 0 : errno;
        if (statError == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            throw EFOpenError(FileOpenErrorText(fileName, EISDIR));
        }
        if (mode == FileMode::OpenReadRegular) {
            // Opened without waiting for a pipe's writer; a file reads blocking.
            if (statError != 0 || !S_ISREG(st.st_mode)) {
                ::close(fd_);
                fd_ = -1;
                throw EFOpenError(statError != 0 ? FileOpenErrorText(fileName, statError)
                                                 : fileOpenErrorText(fileName, QStringLiteral("Not a regular file")));
            }
            clearNonBlocking(fd_);
        }
    }
    if (fd_ < 0) {
        if (mode == FileMode::Create)
            throw EFCreateError(FileCreateErrorText(fileName, error));
        throw EFOpenError(FileOpenErrorText(fileName, error));
    }
}

TFileStream::~TFileStream() { Close(); }

bool TFileStream::Close()
{
    if (fd_ < 0)
        return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
    if (fd_ < 0 || count <= 0)
        return 0;
    std::int64_t done = 0;
    char* p = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(fd_, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        // A failing disk must not pass for the end of the file: the caller
        // would take a cut image for a whole one.
        if (n < 0)
            throw EReadError(QStringLiteral("Stream read error. %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
    if (fd_ < 0 || count <= 0)
        return 0;
    std::int64_t done = 0;
    const char* p = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    if (fd_ < 0)
        return -1;
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
    return ::lseek(fd_, offset, whence);
}

void TFileStream::SetSize(std::int64_t size)
{
    if (fd_ < 0 || ::ftruncate(fd_, size) != 0)
        throw EWriteError(QStringLiteral("Stream write error"));
    if (Position() > size)
        Seek(size, SeekOrigin::Begin);
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t n = std::clamp<std::int64_t>(data_.size() - position_, 0, std::max<std::int64_t>(count, 0));
    if (n > 0)
        std::memcpy(buffer, data_.constData() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    if (count > std::numeric_limits<qsizetype>::max() - position_)
        return 0;
    if (position_ + count > data_.size()) {
        // A write past the end leaves zeros in the gap, never stale memory.
        const qsizetype old = data_.size();
        data_.resize(position_ + count);
        if (position_ > old)
            std::memset(data_.data() + old, 0, static_cast<size_t>(position_ - old));
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    const std::int64_t base = origin == SeekOrigin::Begin ? 0
                            : origin == SeekOrigin::Current ? position_
                                                            : data_.size();
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target))
        target = offset < 0 ? 0 : std::numeric_limits<std::int64_t>::max();
    position_ = std::max<std::int64_t>(0, target);
    return position_;
}

void TMemoryStream::SetSize(std::int64_t size)
{
    const qsizetype old = data_.size();
    data_.resize(std::max<std::int64_t>(size, 0));
    if (data_.size() > old)
        std::memset(data_.data() + old, 0, static_cast<size_t>(data_.size() - old));
    position_ = std::min<std::int64_t>(position_, data_.size());
}

void TMemoryStream::Clear()
{
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    const std::int64_t n = source.Size();
    if (n < 0)
        throw EReadError(QStringLiteral("Stream read error"));
    // Read into a fresh buffer so a failed load keeps the old contents.
    QByteArray bytes(static_cast<qsizetype>(n), Qt::Uninitialized);
    source.ReadBuffer(bytes.data(), n);
    data_ = std::move(bytes);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& target) { target.WriteBuffer(data_.constData(), data_.size()); }

void TMemoryStream::LoadFromFile(const QString& fileName)
{
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const QString& fileName)
{
    TFileStream file(fileName, FileMode::Create);
    SaveToStream(file);
    if (!file.Close())
        throw EWriteError(QStringLiteral("Stream write error"));
}

} // namespace platform
