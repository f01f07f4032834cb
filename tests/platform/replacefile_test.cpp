// Saving over a file: replaced in one step where a rename keeps everything
// (the old file stays whole until the new one is complete, links stay links,
// permissions are kept), written in place everywhere else.
#include "platform/replacefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "tests/support/other_user.h"

using platform::ChooseSaveMethod;
using platform::InspectSaveTarget;
using platform::SaveMethod;
using platform::SaveTargetFacts;
using platform::TReplaceFile;

namespace {

class ReplaceFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + u'/' + name; }
    void put(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray get(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void fill(const TReplaceFile& replace, const QByteArray& bytes)
    {
        QFile f(replace.TempName());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    // Files in the folder other than the ones named.
    QStringList others(const QStringList& known) const
    {
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& k : known)
            left.removeAll(k);
        return left;
    }

    QTemporaryDir dir;
};

TEST_F(ReplaceFileTest, OldFileStaysUntilCommitAndNothingIsLeftBehind)
{
    put("a.bin", "old");
    {
        TReplaceFile replace(path("a.bin"));
        EXPECT_EQ(QFileInfo(replace.TempName()).absolutePath(), QFileInfo(path("a.bin")).absolutePath());
        fill(replace, "new contents");
        EXPECT_EQ(get("a.bin"), "old");
        EXPECT_TRUE(replace.Commit());
    }
    EXPECT_EQ(get("a.bin"), "new contents");
    EXPECT_TRUE(others({"a.bin"}).isEmpty());
}

TEST_F(ReplaceFileTest, WithoutCommitTheTargetIsUntouchedAndTheTemporaryFileGoes)
{
    put("a.bin", "old");
    {
        TReplaceFile replace(path("a.bin"));
        fill(replace, "half");
    }
    EXPECT_EQ(get("a.bin"), "old");
    EXPECT_TRUE(others({"a.bin"}).isEmpty());
}

TEST_F(ReplaceFileTest, NewFileIsCreatedWhenNoneExisted)
{
    TReplaceFile replace(path("new.bin"));
    fill(replace, "x");
    EXPECT_TRUE(replace.Commit());
    EXPECT_EQ(get("new.bin"), "x");
}

TEST_F(ReplaceFileTest, LinkStaysALinkAndItsTargetIsReplaced)
{
    put("real.bin", "old");
    ASSERT_TRUE(QFile::link(path("real.bin"), path("link.bin")));
    TReplaceFile replace(path("link.bin"));
    EXPECT_EQ(replace.Target(), QFileInfo(path("real.bin")).canonicalFilePath());
    fill(replace, "new");
    EXPECT_TRUE(replace.Commit());
    EXPECT_TRUE(QFileInfo(path("link.bin")).isSymLink());
    EXPECT_EQ(get("real.bin"), "new");
}

TEST_F(ReplaceFileTest, PermissionsOfTheReplacedFileAreKept)
{
    put("a.bin", "old");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path("a.bin"), mode));
    TReplaceFile replace(path("a.bin"));
    fill(replace, "new");
    EXPECT_TRUE(replace.Commit());
    // Owner, group and other bits (the "user" bits are the caller's view).
    EXPECT_EQ(QFile::permissions(path("a.bin")) & 0x7077, mode & 0x7077);
}

TEST_F(ReplaceFileTest, MissingFolderIsWrittenInPlaceWhereOpeningFails)
{
    TReplaceFile replace(path("no/such/folder/a.bin"));
    EXPECT_FALSE(replace.Replacing());
    EXPECT_EQ(replace.TempName(), path("no/such/folder/a.bin"));
    errno = 0;
    EXPECT_EQ(replace.OpenForWrite(), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(QFileInfo::exists(path("no/such/folder/a.bin")));
}

// ---- replace or write in place ----------------------------------------------------

SaveTargetFacts Replaceable()
{
    SaveTargetFacts f;
    f.exists = f.regular = f.ownedByUser = f.groupKeepable = f.fileWritable = f.folderWritable = true;
    f.links = 1;
    return f;
}

TEST(ChooseSaveMethod, OnlyWhatARenameCarriesOverWholeIsReplaced)
{
    EXPECT_EQ(ChooseSaveMethod(Replaceable()), SaveMethod::Replace);
    // Each fault alone sends the save in place.
    const std::vector<std::pair<const char*, void (*)(SaveTargetFacts&)>> faults = {
        {"folder without write permission", [](SaveTargetFacts& f) { f.folderWritable = false; }},
        {"file without write permission", [](SaveTargetFacts& f) { f.fileWritable = false; }},
        {"device or FIFO", [](SaveTargetFacts& f) { f.regular = false; }},
        {"second hard link", [](SaveTargetFacts& f) { f.links = 2; }},
        {"another owner", [](SaveTargetFacts& f) { f.ownedByUser = false; }},
        {"a group the user cannot give", [](SaveTargetFacts& f) { f.groupKeepable = false; }},
        {"extended attributes", [](SaveTargetFacts& f) { f.extendedAttributes = true; }},
    };
    for (const auto& [name, apply] : faults) {
        SaveTargetFacts f = Replaceable();
        apply(f);
        EXPECT_EQ(ChooseSaveMethod(f), SaveMethod::InPlace) << name;
    }
    // A new file: through a temporary file only where the folder allows it,
    // never beside a link that points nowhere.
    SaveTargetFacts fresh;
    fresh.folderWritable = true;
    EXPECT_EQ(ChooseSaveMethod(fresh), SaveMethod::Replace);
    fresh.folderWritable = false;
    EXPECT_EQ(ChooseSaveMethod(fresh), SaveMethod::InPlace);
    fresh.folderWritable = true;
    fresh.danglingLink = true;
    EXPECT_EQ(ChooseSaveMethod(fresh), SaveMethod::InPlace);
}

TEST_F(ReplaceFileTest, InspectionSeesLinksFifosAndPlainFiles)
{
    put("plain.bin", "x");
    const SaveTargetFacts plain = InspectSaveTarget(path("plain.bin"));
    EXPECT_TRUE(plain.exists && plain.regular && plain.ownedByUser && plain.fileWritable && plain.folderWritable);
    EXPECT_EQ(plain.links, 1u);
    EXPECT_EQ(ChooseSaveMethod(plain), SaveMethod::Replace);

    ASSERT_EQ(::link(QFile::encodeName(path("plain.bin")).constData(), QFile::encodeName(path("hard.bin")).constData()), 0);
    EXPECT_EQ(InspectSaveTarget(path("hard.bin")).links, 2u);
    EXPECT_FALSE(TReplaceFile(path("plain.bin")).Replacing());

    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    const SaveTargetFacts fifo = InspectSaveTarget(path("pipe"));
    EXPECT_TRUE(fifo.exists);
    EXPECT_FALSE(fifo.regular);
    EXPECT_FALSE(TReplaceFile(path("pipe")).Replacing());

    ASSERT_TRUE(QFile::link(path("nowhere.bin"), path("dangling.bin")));
    EXPECT_TRUE(InspectSaveTarget(path("dangling.bin")).danglingLink);
    EXPECT_FALSE(TReplaceFile(path("dangling.bin")).Replacing());

    EXPECT_FALSE(InspectSaveTarget(path("missing/x.bin")).folderWritable);
    EXPECT_FALSE(InspectSaveTarget(path("new.bin")).exists);
    EXPECT_TRUE(TReplaceFile(path("new.bin")).Replacing());
}

bool WriteThrough(TReplaceFile& save, const QByteArray& bytes)
{
    const int fd = save.OpenForWrite();
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written && save.Commit();
}

TEST_F(ReplaceFileTest, InPlaceKeepsHardLinksTogether)
{
    put("a.bin", "old contents");
    ASSERT_EQ(::link(QFile::encodeName(path("a.bin")).constData(), QFile::encodeName(path("b.bin")).constData()), 0);
    TReplaceFile save(path("a.bin"));
    ASSERT_TRUE(WriteThrough(save, "new"));
    EXPECT_EQ(get("a.bin"), "new");
    EXPECT_EQ(get("b.bin"), "new");
    EXPECT_EQ(InspectSaveTarget(path("b.bin")).links, 2u);
    EXPECT_TRUE(others({"a.bin", "b.bin"}).isEmpty());
}

TEST_F(ReplaceFileTest, FifoStaysAFifoAndIsNeverWaitedOn)
{
    const QByteArray fifo = QFile::encodeName(path("pipe"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    {
        TReplaceFile save(path("pipe"));
        errno = 0;
        EXPECT_EQ(save.OpenForWrite(), -1) << "nobody reads: fails at once";
        EXPECT_EQ(errno, ENXIO);
    }
    // With a reader the bytes go down the pipe.
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    {
        TReplaceFile save(path("pipe"));
        EXPECT_TRUE(WriteThrough(save, "through"));
    }
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_EQ(QByteArray(got, 7), "through");
    ::close(reader);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// The permission cases need a user that root's overrides do not cover.
TEST_F(ReplaceFileTest, ReadOnlyFileIsNeverReplacedAndAWritableOneInAReadOnlyFolderIsWritten)
{
    const QString ro = path("ro");
    const QString open = path("open");
    ASSERT_TRUE(QDir().mkpath(ro) && QDir().mkpath(open));
    put("open/locked.bin", "locked");
    put("ro/free.bin", "free");
    for (const QString& p : {ro, open, path("open/locked.bin"), path("ro/free.bin")})
        testsupport::GiveToCheckUser(p);
    testsupport::OpenFolderTo(dir.path(), 0755);
    testsupport::OpenFolderTo(open, 0755);
    ::chmod(QFile::encodeName(path("open/locked.bin")).constData(), 0444);
    ::chmod(QFile::encodeName(path("ro/free.bin")).constData(), 0644);
    testsupport::OpenFolderTo(ro, 0555);
    const int rc = testsupport::RunAsUnprivileged([&] {
        {
            TReplaceFile save(path("open/locked.bin"));
            if (save.Replacing())
                return 1;
            if (save.OpenForWrite() != -1 || errno != EACCES)
                return 2;
        }
        TReplaceFile save(path("ro/free.bin"));
        if (save.Replacing())
            return 3;
        return WriteThrough(save, "saved") ? 0 : 4;
    });
    testsupport::OpenFolderTo(ro, 0755);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(get("open/locked.bin"), "locked");
    EXPECT_EQ(get("ro/free.bin"), "saved");
    EXPECT_TRUE(QDir(open).entryList(QDir::Files | QDir::Hidden).size() == 1);
}

TEST_F(ReplaceFileTest, FileOfAnotherOwnerKeepsItsOwner)
{
    if (!testsupport::RunningAsRoot())
        GTEST_SKIP() << "needs a file of another user";
    put("theirs.bin", "theirs");
    ::chmod(QFile::encodeName(path("theirs.bin")).constData(), 0666);
    testsupport::OpenFolderTo(dir.path(), 0777);
    const int rc = testsupport::RunAsUnprivileged([&] {
        TReplaceFile save(path("theirs.bin"));
        if (save.Replacing())
            return 1;
        return WriteThrough(save, "mine") ? 0 : 2;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(get("theirs.bin"), "mine");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path("theirs.bin")).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
}

} // namespace
