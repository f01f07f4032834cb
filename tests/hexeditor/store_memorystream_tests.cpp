// The data block, the change marks and the temporary files, without a window.
#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "support/fakes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QString kBounds = QString::fromLatin1(wqhstr::DataBounds);

void Fill(TWQHMemoryStream& s, std::initializer_list<std::uint8_t> bytes)
{
    s.SetSize(0);
    s.SetPosition(0);
    std::vector<std::uint8_t> v(bytes);
    s.Write(v.data(), static_cast<std::int64_t>(v.size()));
}

std::vector<std::uint8_t> Bytes(const TWQHMemoryStream& s)
{
    return std::vector<std::uint8_t>(s.Memory(), s.Memory() + s.DataSize());
}

template <class F>
QString BoundsMessage(F&& f)
{
    try {
        f();
    } catch (const EWQHexEditor& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

// Scoped temporary folder for the ".WQHT" files, through TMPDIR.
class TempDirEnv {
public:
    TempDirEnv() : old_(qgetenv("TMPDIR")) { qputenv("TMPDIR", dir_.path().toLocal8Bit()); }
    ~TempDirEnv() { qputenv("TMPDIR", old_); }
    QString path() const { return dir_.path(); }
    QStringList entries() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

private:
    QTemporaryDir dir_;
    QByteArray old_;
};

} // namespace

TEST(StoreMemoryStream, BoundsAcceptZeroCountAnywhereUpToSize)
{
    TWQHMemoryStream s;
    Fill(s, {1, 2, 3, 4});
    EXPECT_EQ(s.GetAddress(0, 4), s.Memory());
    EXPECT_EQ(s.GetAddress(4, 0), s.Memory() + 4);
    EXPECT_EQ(s.PointerAt(3, 1), s.Memory() + 3);
    EXPECT_EQ(BoundsMessage([&] { s.GetAddress(5, 0); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.GetAddress(3, 2); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.GetAddress(-1, 1); }), kBounds);
}

TEST(StoreMemoryStream, BoundsRejectNegativeCountsAndSumsPast32Bits)
{
    TWQHMemoryStream s;
    Fill(s, {1, 2, 3, 4});
    // A negative count must not pass as "Index + Count <= Size".
    EXPECT_EQ(BoundsMessage([&] { s.GetAddress(2, -1); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.GetAddress(2, -0x7FFFFFFF); }), kBounds);
    // 2 + 0x7FFFFFFF wraps to a negative number in 32 bits.
    EXPECT_EQ(BoundsMessage([&] { s.GetAddress(2, 0x7FFFFFFF); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.GetAddress(0x7FFFFFFF, 1); }), kBounds);
    std::uint8_t buf[4] = {9, 9, 9, 9};
    EXPECT_EQ(BoundsMessage([&] { s.ReadBufferAt(buf, 1, -2); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.WriteBufferAt(buf, 3, 2); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.Move(0, 2, 3); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.Move(2, 0, 3); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.Move(0, 1, -1); }), kBounds);
    // Nothing above changed a byte.
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(buf[0], 9);
}

TEST(StoreMemoryStream, ReadWriteAndOverlappingMove)
{
    TWQHMemoryStream s;
    Fill(s, {0, 1, 2, 3, 4, 5, 6, 7});
    std::uint8_t out[3] = {};
    s.ReadBufferAt(out, 5, 3);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[2], 7);
    const std::uint8_t in[2] = {0xAA, 0xBB};
    s.WriteBufferAt(in, 6, 2);
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 0xAA, 0xBB}));
    s.Move(0, 2, 5);  // up, overlapping
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{0, 1, 0, 1, 2, 3, 4, 0xBB}));
    s.Move(3, 1, 5);  // down, overlapping
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 0xBB, 4, 0xBB}));
}

TEST(StoreMemoryStream, HexTextHasTwoDigitsPerByteAndSwapsNibbles)
{
    TWQHMemoryStream s;
    Fill(s, {0x12, 0xAB, 0x0F});
    EXPECT_EQ(s.GetAsHex(0, 3, false), QStringLiteral("12AB0F"));
    EXPECT_EQ(s.GetAsHex(1, 2, true), QStringLiteral("BAF0"));
    EXPECT_EQ(s.GetAsHex(1, 0, false), QString());
    EXPECT_EQ(s.GetAsHex(1, -5, false), QString());
    EXPECT_EQ(BoundsMessage([&] { s.GetAsHex(2, 2, false); }), kBounds);
}

TEST(StoreMemoryStream, TranslationsInPlaceAndAsIsLeavesBytes)
{
    TWQHMemoryStream s;
    Fill(s, {0xC1, 0x81, 0x41});  // EBCDIC 'A', 'a', and a byte that is no letter there
    s.TranslateToAnsi(tkAsIs, 0, 3);
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{0xC1, 0x81, 0x41}));
    s.TranslateToAnsi(tkBCD, 0, 2);
    EXPECT_EQ(s.Memory()[0], 'A');
    EXPECT_EQ(s.Memory()[1], 'a');
    EXPECT_EQ(s.Memory()[2], 0x41);  // outside the range: untouched
    s.TranslateFromAnsi(tkBCD, 0, 2);
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{0xC1, 0x81, 0x41}));
    s.TranslateFromAnsi(tkBCD, 0, 0);
    EXPECT_EQ(BoundsMessage([&] { s.TranslateToAnsi(tkBCD, 2, 2); }), kBounds);
}

TEST(StoreMemoryStream, ResizeRefusesMoreThan2GiBAndNegativeWithoutChange)
{
    TWQHMemoryStream s;
    Fill(s, {7, 8});
    EXPECT_EQ(BoundsMessage([&] { s.Resize(std::int64_t(0x80000000), false); }), kBounds);
    EXPECT_EQ(BoundsMessage([&] { s.Resize(-1, false); }), kBounds);
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{7, 8}));
    s.SetSize(5);
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{7, 8, 0, 0, 0}));
    s.SetSize(0);
    EXPECT_EQ(s.DataSize(), 0);
    EXPECT_EQ(s.Memory(), nullptr);
}

TEST(StoreMemoryStream, StreamSideWritesPastTheEndWithZeroGap)
{
    TWQHMemoryStream s;
    const std::uint8_t b[2] = {0x55, 0x66};
    s.Seek(3, platform::SeekOrigin::Begin);
    EXPECT_EQ(s.Write(b, 2), 2);
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{0, 0, 0, 0x55, 0x66}));
    EXPECT_EQ(s.Position(), 5);
    s.Seek(-2, platform::SeekOrigin::End);
    std::uint8_t r[4] = {};
    EXPECT_EQ(s.Read(r, 4), 2);
    EXPECT_EQ(r[0], 0x55);
    EXPECT_EQ(s.Read(r, 4), 0);
    EXPECT_EQ(s.Seek(-100, platform::SeekOrigin::Current), 0);
}

TEST(StoreMemoryStream, GrowingKeepsBytesAndLeavesRoomForMore)
{
    TWQHMemoryStream s;
    Fill(s, {1, 2, 3});
    s.Reserve(100);
    EXPECT_GE(s.Capacity(), 100);
    EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{1, 2, 3}));
    s.Resize(1000, true);
    EXPECT_EQ(s.Memory()[2], 3);
    EXPECT_EQ(s.Memory()[999], 0);
}

TEST(StoreBits, MissingBitsReadFalseAndSetGrows)
{
    TWQHBits bits;
    EXPECT_EQ(bits.Size(), 0);
    EXPECT_FALSE(bits.Get(0));
    EXPECT_FALSE(bits.Get(-1));
    bits.Set(70, true);
    EXPECT_EQ(bits.Size(), 71);
    EXPECT_TRUE(bits.Get(70));
    EXPECT_FALSE(bits.Get(69));
    EXPECT_FALSE(bits.Get(71));
    bits.Set(3, true);
    bits.Set(3, false);
    EXPECT_FALSE(bits.Get(3));
    EXPECT_EQ(bits.Count(), 1);
    EXPECT_EQ(BoundsMessage([&] { bits.Set(-1, true); }), kBounds);
}

TEST(StoreBits, ShrinkingDropsMarksForGood)
{
    TWQHBits bits;
    for (int i : {1, 5, 63, 64, 100})
        bits.Set(i, true);
    bits.SetSize(5);
    EXPECT_TRUE(bits.Get(1));
    EXPECT_FALSE(bits.Get(5));
    // Growing again must not bring the cut marks back.
    bits.SetSize(200);
    EXPECT_FALSE(bits.Get(5));
    EXPECT_FALSE(bits.Get(63));
    EXPECT_FALSE(bits.Get(100));
    EXPECT_EQ(bits.Count(), 1);
    bits.SetSize(-3);
    EXPECT_EQ(bits.Size(), 0);
}

TEST(StoreTempFiles, NameIsTempFolderTickInEightUpperHexDigitsAndExtension)
{
    testsupport::ScopedPlatformFakes fakes;
    TempDirEnv env;
    fakes.clock.monotonic = 0x1a2b3c;
    const QString name = GetTempName();
    EXPECT_EQ(name, env.path() + QStringLiteral("/001A2B3C.WQHT"));
}

TEST(StoreTempFiles, TakenNameIsBuiltAgainEvenWhenTheClockStands)
{
    testsupport::ScopedPlatformFakes fakes;
    TempDirEnv env;
    fakes.clock.monotonic = 0xFF;
    fakes.clock.stepMs = 0;
    QFile taken(env.path() + QStringLiteral("/000000FF.WQHT"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    QDir().mkdir(env.path() + QStringLiteral("/00000100.WQHT"));  // a folder counts as taken too
    EXPECT_EQ(GetTempName(), env.path() + QStringLiteral("/00000101.WQHT"));
}

TEST(StoreTempFiles, CreatedExclusivelyPrivateAndRemovedAtTheEnd)
{
    testsupport::ScopedPlatformFakes fakes;
    TempDirEnv env;
    fakes.clock.monotonic = 0x42;
    QString name;
    {
        TWQHTempFile file;
        name = file.FileName();
        EXPECT_EQ(name, env.path() + QStringLiteral("/00000042.WQHT"));
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(name).constData(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        const std::uint8_t b[3] = {1, 2, 3};
        file.WriteBuffer(b, 3);
        file.SetPosition(1);
        std::uint8_t r[2] = {};
        file.ReadBuffer(r, 2);
        EXPECT_EQ(r[1], 3);
    }
    EXPECT_FALSE(QFileInfo::exists(name));
    EXPECT_TRUE(env.entries().isEmpty());
}

TEST(StoreTempFiles, NeverFollowsALinkPlacedUnderTheName)
{
    testsupport::ScopedPlatformFakes fakes;
    TempDirEnv env;
    fakes.clock.monotonic = 0x10;
    const QString victim = env.path() + QStringLiteral("/victim");
    {
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("keep");
    }
    // A dangling link is not seen as taken by a plain existence test.
    const QString linkName = env.path() + QStringLiteral("/00000010.WQHT");
    ASSERT_EQ(::symlink(QFile::encodeName(env.path() + QStringLiteral("/nowhere")).constData(),
                        QFile::encodeName(linkName).constData()),
              0);
    {
        TWQHTempFile file;
        EXPECT_NE(file.FileName(), linkName);
        const std::uint8_t b = 0;
        file.WriteBuffer(&b, 1);
    }
    EXPECT_FALSE(QFileInfo::exists(env.path() + QStringLiteral("/nowhere")));
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), QByteArray("keep"));
    EXPECT_TRUE(QFileInfo(linkName).isSymLink());
}

TEST(StoreTempFiles, MissingFolderRaisesACreateError)
{
    testsupport::ScopedPlatformFakes fakes;
    const QByteArray old = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent-folder-for-wqht-test");
    EXPECT_THROW(TWQHTempFile(), platform::EFCreateError);
    EXPECT_TRUE(GetTempName().startsWith(QStringLiteral("/nonexistent-folder-for-wqht-test/")));
    qputenv("TMPDIR", old);
}
