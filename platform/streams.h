#pragma once
// The class library's streams: a file stream that raises EFOpenError or
// EFCreateError when it cannot open or create its file, and a memory stream.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace platform {

enum class SeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    // Returns the number of bytes moved (0 at the end; never negative). A file
    // stream raises EReadError when the system reports a read error.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size) = 0;

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Begin); }
    // Whole transfers or EReadError / EWriteError.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    // Copies count bytes from source's position (count 0: the whole source from 0).
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// OpenReadRegular reads a regular file only: anything else that exists (a
// pipe, a device, a socket) raises EFOpenError at once instead of blocking.
enum class FileMode { OpenRead, OpenReadRegular, OpenWrite, OpenReadWrite, Create };

class TFileStream : public TStream {
public:
    // Raises EFOpenError ("Cannot open file "%s". %s") or, for Create,
    // EFCreateError ("Cannot create file "%s". %s").
    TFileStream(const QString& fileName, FileMode mode);
    // Takes over a descriptor the caller opened with its own flags (-1: none).
    TFileStream(int fd, const QString& fileName) : fd_(fd), fileName_(fileName) {}
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    // Flushes and closes; false when the system reported an error on close.
    bool Close();
    const QString& FileName() const { return fileName_; }
    int Handle() const { return fd_; }

private:
    int fd_ = -1;
    QString fileName_;
};

class TMemoryStream : public TStream {
public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return data_.size(); }
    void SetSize(std::int64_t size) override;

    void Clear();
    const char* Memory() const { return data_.constData(); }
    char* Memory() { return data_.data(); }
    const QByteArray& Bytes() const { return data_; }
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& target);
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);

private:
    QByteArray data_;
    std::int64_t position_ = 0;
};

// "Cannot open file "%s". %s" with the expanded path and the system's error text.
QString FileOpenErrorText(const QString& fileName, int error);
QString FileCreateErrorText(const QString& fileName, int error);

} // namespace platform
