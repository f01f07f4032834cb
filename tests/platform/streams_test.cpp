#include "platform/exceptions.h"
#include "platform/streams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace platform;

template <class E, class F>
QString messageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

TEST(FileStream, OpenErrorsNameTheAbsolutePathAndTheReason)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.bin");
    EXPECT_EQ(messageOf<EFOpenError>([&] { TFileStream s(missing, FileMode::OpenRead); }),
              QStringLiteral("Cannot open file \"%1\". %2").arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT))));

    // A relative name is reported with the folder it was looked up in.
    const QString relative = QStringLiteral("no-such-file-%1.hex").arg(QCoreApplication::applicationPid());
    const QString shown = messageOf<EFOpenError>([&] { TFileStream s(relative, FileMode::OpenRead); });
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Cannot open file \"") + QDir::currentPath() + u'/' + relative + u'"'))
        << shown.toStdString();

    // "." and ".." are resolved as the name is expanded.
    const QString dotted = dir.path() + QStringLiteral("/sub/.././/missing.bin");
    EXPECT_EQ(messageOf<EFOpenError>([&] { TFileStream s(dotted, FileMode::OpenRead); }),
              QStringLiteral("Cannot open file \"%1\". %2").arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT))));

    // A folder is not a file to read.
    EXPECT_EQ(messageOf<EFOpenError>([&] { TFileStream s(dir.path(), FileMode::OpenRead); }),
              QStringLiteral("Cannot open file \"%1\". %2").arg(dir.path(), QString::fromLocal8Bit(std::strerror(EISDIR))));

    const QString inMissingDir = dir.filePath("nope/out.bin");
    EXPECT_EQ(messageOf<EFCreateError>([&] { TFileStream s(inMissingDir, FileMode::Create); }),
              QStringLiteral("Cannot create file \"%1\". %2").arg(inMissingDir, QString::fromLocal8Bit(std::strerror(ENOENT))));

    // The errors belong to the stream error family the callers catch.
    EXPECT_THROW(TFileStream(QString(), FileMode::OpenRead), EStreamError);
}

TEST(FileStream, WritesReadsSeeksAndTruncates)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("a.bin");
    {
        TFileStream s(name, FileMode::Create);
        s.WriteBuffer("hello world", 11);
        EXPECT_EQ(s.Size(), 11);
        EXPECT_EQ(s.Position(), 11);
        s.SetSize(5);
        EXPECT_EQ(s.Position(), 5);
        EXPECT_TRUE(s.Close());
        EXPECT_TRUE(s.Close()); // twice is harmless
    }
    TFileStream r(name, FileMode::OpenRead);
    char buffer[16] = {};
    EXPECT_EQ(r.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(QByteArray(buffer, 5), "hello");
    EXPECT_EQ(r.Read(buffer, 1), 0);
    r.SetPosition(1);
    EXPECT_THROW(r.ReadBuffer(buffer, 5), EReadError); // only 4 left
    EXPECT_THROW(r.WriteBuffer("x", 1), EWriteError);  // opened for reading
    // Create truncates an existing file.
    TFileStream again(name, FileMode::Create);
    EXPECT_EQ(again.Size(), 0);
}

TEST(MemoryStream, ReadWriteSeekAndGrowth)
{
    TMemoryStream m;
    EXPECT_EQ(m.Size(), 0);
    m.WriteBuffer("abc", 3);
    EXPECT_EQ(m.Bytes(), "abc");
    m.SetPosition(1);
    char c[4] = {};
    EXPECT_EQ(m.Read(c, 4), 2);
    EXPECT_EQ(QByteArray(c, 2), "bc");
    EXPECT_EQ(m.Read(c, 4), 0);

    // Writing past the end fills the gap with zeros.
    m.Seek(2, SeekOrigin::End);
    m.WriteBuffer("z", 1);
    EXPECT_EQ(m.Bytes(), QByteArray("abc\0\0z", 6));
    m.SetSize(8);
    EXPECT_EQ(m.Bytes(), QByteArray("abc\0\0z\0\0", 8));
    m.SetSize(2);
    EXPECT_EQ(m.Position(), 2);
    EXPECT_EQ(m.Bytes(), "ab");

    EXPECT_EQ(m.Seek(-10, SeekOrigin::Current), 0);
    EXPECT_EQ(m.Seek(INT64_MAX, SeekOrigin::End), INT64_MAX); // no overflow
    EXPECT_EQ(m.Read(c, 1), 0);
    EXPECT_EQ(m.Write("x", 1), 0);
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
}

TEST(MemoryStream, FileRoundTripAndFailedLoadKeepsContents)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("image.bin");
    TMemoryStream out;
    QByteArray data(100000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 31);
    out.WriteBuffer(data.constData(), data.size());
    out.SaveToFile(name);

    TMemoryStream in;
    in.WriteBuffer("old", 3);
    in.LoadFromFile(name);
    EXPECT_EQ(in.Bytes(), data);
    EXPECT_EQ(in.Position(), 0);

    EXPECT_THROW(in.LoadFromFile(dir.filePath("missing")), EFOpenError);
    EXPECT_EQ(in.Bytes(), data);

    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(in, 0), data.size());
    EXPECT_EQ(copy.Bytes(), data);
    in.SetPosition(10);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(in, 5), 5);
    EXPECT_EQ(part.Bytes(), data.mid(10, 5));
    EXPECT_THROW(part.CopyFrom(in, data.size()), EReadError);
}

TEST(FileStreamReadTest, ReadErrorRaisesInsteadOfLookingLikeTheEnd)
{
    // Reading /proc/self/mem at address 0 fails with EIO: an I/O error.
    TFileStream mem(QStringLiteral("/proc/self/mem"), FileMode::OpenRead);
    char buffer[16] = {};
    const QString text = messageOf<EReadError>([&] { mem.Read(buffer, sizeof buffer); });
    EXPECT_TRUE(text.startsWith(QStringLiteral("Stream read error. "))) << text.toStdString();
    EXPECT_GT(text.size(), QStringLiteral("Stream read error. ").size());
}

} // namespace

TEST(FileStream, CreateOnAFifoWritesToItsReaderOrFailsAtOnceWithoutOne)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("pipe");
    const QByteArray native = QFile::encodeName(name);
    ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
    // Not a stall until someone reads: the system's "no reader" error.
    const QString error = messageOf<EFCreateError>([&] { TFileStream s(name, FileMode::Create); });
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot create file \""))) << error.toStdString();
    EXPECT_TRUE(error.endsWith(QString::fromLocal8Bit(std::strerror(ENXIO)))) << error.toStdString();

    const int reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    {
        TFileStream s(name, FileMode::Create);
        s.WriteBuffer("abc", 3);
        EXPECT_TRUE(s.Close());
    }
    char got[8] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 3);
    EXPECT_EQ(QByteArray(got, 3), "abc");
    ::close(reader);
}
