// Replacing a file in one step: the old file stays whole until the new one
// is complete, links stay links, permissions are kept.
#include "platform/replacefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

TEST_F(ReplaceFileTest, MissingFolderGivesANameThatFailsToOpenAndACommitThatFails)
{
    TReplaceFile replace(path("no/such/folder/a.bin"));
    EXPECT_FALSE(replace.TempName().isEmpty());
    QFile f(replace.TempName());
    EXPECT_FALSE(f.open(QIODevice::WriteOnly));
    EXPECT_FALSE(replace.Commit());
    EXPECT_FALSE(QFileInfo::exists(path("no/such/folder/a.bin")));
}

} // namespace
