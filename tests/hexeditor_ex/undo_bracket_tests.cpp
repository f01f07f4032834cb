// Undo grouping: brackets that become one step, brackets that leave none,
// and closes that must never remove a real step.
#include "ex_support.h"
#include "hexeditor/wqhundo.h"
#include "tests/support/other_user.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Ed : public TWQHexEditorEx {
public:
    using TWQHexEditorEx::FModifiedNoUndo;
};

int Steps(Ed& ed)
{
    return ed.UndoStorage().Count();
}

TEST(ExUndoBracket, DescribedBracketWithoutEditLeavesNoStep)
{
    Ed ed;
    Load(ed, Iota(8));
    Put(ed, 0, 0xAA);
    ASSERT_EQ(Steps(ed), 1);
    EXPECT_EQ(ed.UndoBeginUpdate(QStringLiteral("group")), 1);
    EXPECT_EQ(Steps(ed), 2) << "the opening took its snapshot";
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(Steps(ed), 1) << "the unused snapshot is gone, the real step stays";
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(8));
}

TEST(ExUndoBracket, SeveralEditsBecomeOneStepRestoringTheStart)
{
    Ed ed;
    Load(ed, Iota(16));
    ed.UndoBeginUpdate(QStringLiteral("group"));
    Put(ed, 1, 0x11);
    Put(ed, 5, 0x55);
    const std::uint8_t ins[2] = {0xE0, 0xE1};
    ed.InsertBuffer(ins, 2, 3, QString(), false);
    ed.UndoBeginUpdate(QString());  // nested: no second snapshot
    Put(ed, 0, 0xF0);
    EXPECT_EQ(ed.UndoEndUpdate(), 1);
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(Steps(ed), 1);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("group"));
    EXPECT_EQ(ed.DataSize(), 18);
    EXPECT_TRUE(ed.Modified());
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(16));
    EXPECT_FALSE(ed.CanUndo());
    ASSERT_TRUE(ed.Redo());
    EXPECT_EQ(ed.DataSize(), 18);
    EXPECT_EQ(ed.GetDataAt(0), 0xF0);
}

TEST(ExUndoBracket, ModeStaysOnAfterADescribedBracket)
{
    Ed ed;
    Load(ed, Iota(8));
    EXPECT_FALSE(ed.CreateUndoOnUndoUpdate());
    ed.UndoBeginUpdate(QStringLiteral("first"));
    ed.UndoEndUpdate();
    EXPECT_TRUE(ed.CreateUndoOnUndoUpdate());
    ed.UndoBeginUpdate(QString());
    Put(ed, 2, 0x22);
    Put(ed, 3, 0x33);
    ed.UndoEndUpdate();
    EXPECT_EQ(Steps(ed), 1) << "an undescribed bracket also took a snapshot";
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(8));

    ed.SetCreateUndoOnUndoUpdate(false);
    ed.UndoBeginUpdate(QString());
    Put(ed, 2, 0x22);
    Put(ed, 3, 0x33);
    ed.UndoEndUpdate();
    EXPECT_FALSE(ed.CanUndo()) << "without the mode a bracket records nothing";
}

TEST(ExUndoBracket, ExtraCloseNeverRemovesARealStep)
{
    Ed ed;
    Load(ed, Iota(8));
    ed.UndoBeginUpdate(QStringLiteral("g"));
    Put(ed, 0, 0xAA);
    ed.UndoEndUpdate();
    Put(ed, 1, 0xBB);
    ASSERT_EQ(Steps(ed), 2);
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(Steps(ed), 2);
}

TEST(ExUndoBracket, CloseOfABracketWithoutSnapshotKeepsSteps)
{
    Ed ed;
    Load(ed, Iota(8));
    Put(ed, 0, 0xAA);
    // The mode is switched on inside a bracket that opened without a snapshot.
    ed.UndoBeginUpdate(QString());
    ed.SetCreateUndoOnUndoUpdate(true);
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(Steps(ed), 1) << "the real step stays";
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(8));
}

TEST(ExUndoBracket, SnapshotThatIsNoLongerNewestStays)
{
    Ed ed;
    Load(ed, Iota(8));
    Put(ed, 0, 0xAA);
    Put(ed, 1, 0xBB);
    ASSERT_EQ(Steps(ed), 2);
    ed.UndoBeginUpdate(QStringLiteral("g"));
    ASSERT_EQ(Steps(ed), 3);
    // The host takes the snapshot off itself: the newest step is a real one now.
    ed.UndoStorage().RemoveLastUndo();
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(Steps(ed), 2) << "the close dropped a step that was not its snapshot";
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(ed.GetDataAt(1), 1);
    EXPECT_EQ(ed.GetDataAt(0), 0xAA);
}

TEST(ExUndoBracket, ModeClearedInsideAnUnusedBracketKeepsTheSnapshot)
{
    Ed ed;
    Load(ed, Iota(8));
    Put(ed, 0, 0xAA);
    ed.UndoBeginUpdate(QStringLiteral("g"));
    ed.SetCreateUndoOnUndoUpdate(false);
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    EXPECT_EQ(Steps(ed), 2) << "the snapshot stays as a step";
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("g"));
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(ed.GetDataAt(0), 0xAA) << "undoing the snapshot restores the data it was taken of";
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(8));
}

TEST(ExUndoBracket, WriteBufferMarksTheBracketAsUsedAndModifies)
{
    Ed ed;
    Load(ed, Iota(8));
    ed.UndoBeginUpdate(QStringLiteral("g"));
    EXPECT_FALSE(ed.FModifiedNoUndo);
    EXPECT_FALSE(ed.Modified());
    const std::uint8_t b = 0x77;
    ed.WriteBuffer(&b, 4, 1);
    EXPECT_TRUE(ed.FModifiedNoUndo);
    EXPECT_TRUE(ed.Modified());
    ed.UndoEndUpdate();
    EXPECT_FALSE(ed.FModifiedNoUndo);
    EXPECT_EQ(Steps(ed), 1) << "the raw write keeps its snapshot";
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(8));
}

TEST(ExUndoBracket, RangeUndoKeepsTheBytesAndLeavesModifiedAlone)
{
    Ed ed;
    Load(ed, Iota(8));
    ed.CreateRangeUndo(2, 3, QStringLiteral("range"));
    EXPECT_FALSE(ed.Modified());
    EXPECT_EQ(Steps(ed), 1);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("range"));
    const std::uint8_t b[3] = {9, 9, 9};
    ed.WriteBuffer(b, 2, 3);
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(8));

    ed.CreateRangeUndo(0, 0, QString());
    EXPECT_EQ(ed.UndoStorage().UndoKind(), ufKindAllData);
}

QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A control with one undo step and a fresh folder for its dump.
class ExUndoDump : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Ed ed;
    QString name;
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        Load(ed, Iota(8));
        Put(ed, 0, 0xAA);
        name = dir.filePath(QStringLiteral("undo.bin"));
    }
    QByteArray Store()
    {
        const std::vector<std::uint8_t> b = ed.UndoStorage().Bytes();
        return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size()));
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
};

TEST_F(ExUndoDump, WritesTheStoreStream)
{
    Put(ed, 1, 0xBB);
    ASSERT_TRUE(ed.DumpUndoStorage(name));
    ASSERT_FALSE(Store().isEmpty());
    EXPECT_EQ(ReadAll(name), Store());
}

TEST_F(ExUndoDump, FailureAnswersFalseAndLeavesNoFile)
{
    // A folder that does not exist.
    EXPECT_FALSE(ed.DumpUndoStorage(dir.filePath(QStringLiteral("no/such/undo.bin"))));
    // A folder under the name itself.
    const QString asDir = dir.filePath(QStringLiteral("isdir"));
    ASSERT_TRUE(QDir().mkdir(asDir));
    EXPECT_FALSE(ed.DumpUndoStorage(asDir));
    EXPECT_TRUE(QFileInfo(asDir).isDir());
    // A name too long for the file system.
    EXPECT_FALSE(ed.DumpUndoStorage(dir.filePath(QString(300, u'x'))));
    EXPECT_EQ(Files().size(), 0) << "no partial or temporary file is left";
}

TEST_F(ExUndoDump, KeepsAnOldFileWhenTheWriteFails)
{
    ASSERT_GT(Store().size(), 16);
    WriteFile(name, "old");
    // A file size limit holds for root too: the write stops after 16 bytes.
    // In a child, so that the limit stays there.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(2);
        ::_exit(ed.DumpUndoStorage(name) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the dump answered true, 2: no limit";
    EXPECT_EQ(ReadAll(name), QByteArray("old"));
    EXPECT_EQ(Files(), QStringList{QStringLiteral("undo.bin")}) << "no partial file is left";
}

TEST_F(ExUndoDump, KeepsAnOldFileItMayNotWrite)
{
    WriteFile(name, "old");
    // Neither the file nor its folder may be written (as root: for the user
    // the check runs as).
    ASSERT_TRUE(QFile::setPermissions(name, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    testsupport::OpenFolderTo(dir.path(), 0555);
    const int rc = testsupport::RunAsUnprivileged([&] { return ed.DumpUndoStorage(name) ? 1 : 0; });
    testsupport::OpenFolderTo(dir.path(), 0700);
    EXPECT_EQ(rc, 0) << "1: the dump answered true";
    EXPECT_EQ(ReadAll(name), QByteArray("old"));
    EXPECT_EQ(Files(), QStringList{QStringLiteral("undo.bin")});
}

TEST_F(ExUndoDump, OpensItsTargetAsASaveDoes)
{
    // A link to a file not there yet is written in place: the file is made.
    const QString target = dir.filePath(QStringLiteral("made.bin"));
    ASSERT_EQ(::symlink("made.bin", QFile::encodeName(name).constData()), 0);
    ASSERT_TRUE(ed.DumpUndoStorage(name));
    EXPECT_EQ(ReadAll(target), Store());
    EXPECT_TRUE(QFileInfo(name).isSymLink());

    // A FIFO that nobody reads fails at once instead of waiting for a reader.
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::alarm(10);
        ::_exit(ed.DumpUndoStorage(fifo) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the dump waited on the FIFO";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the dump answered true";
}

TEST_F(ExUndoDump, WritingInPlaceLeavesNoTailOfALongerOldFile)
{
    WriteFile(name, QByteArray(Store().size() + 500, 'x'));
    // A writable file in a folder that takes no new files is written where it lies.
    testsupport::GiveToCheckUser(name);
    testsupport::OpenFolderTo(dir.path(), 0555);
    const int rc = testsupport::RunAsUnprivileged([&] { return ed.DumpUndoStorage(name) ? 0 : 1; });
    testsupport::OpenFolderTo(dir.path(), 0700);
    EXPECT_EQ(rc, 0) << "1: the dump answered false";
    EXPECT_EQ(ReadAll(name), Store());
}

} // namespace
