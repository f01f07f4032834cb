// Backups on save: the old file moves to the backup name before a modified
// control writes over it, with its two failure messages, and no backup at
// all when that would lose the file.
#include "ex_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray Read(const QString& name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void Write(const QString& name, const QByteArray& data)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}


class ExBackup : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file;
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("data.bin"));
        Write(file, QByteArray("OLD"));
    }
    void Open(TWQHexEditorEx& ed) { ed.LoadFromFile(file); }
    void Edit(TWQHexEditorEx& ed) { Put(ed, 0, 'N'); }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }
};

TEST_F(ExBackup, ModifiedSaveMovesTheOldFileToTheBackup)
{
    TWQHexEditorEx ed;
    Open(ed);
    Edit(ed);
    ed.Save();
    EXPECT_EQ(Read(file), QByteArray("NLD"));
    EXPECT_EQ(Read(file + QStringLiteral(".bak")), QByteArray("OLD"));
    EXPECT_FALSE(ed.Modified());
}

TEST_F(ExBackup, OldBackupIsReplacedByTheCurrentFile)
{
    Write(file + QStringLiteral(".bak"), QByteArray("ANCIENT"));
    TWQHexEditorEx ed;
    Open(ed);
    Edit(ed);
    ed.Save();
    EXPECT_EQ(Read(file + QStringLiteral(".bak")), QByteArray("OLD"));
    Put(ed, 1, 'X');
    ed.Save();
    EXPECT_EQ(Read(file + QStringLiteral(".bak")), QByteArray("NLD"));
    EXPECT_EQ(Read(file), QByteArray("NXD"));
}

TEST_F(ExBackup, UnmodifiedOrSwitchedOffTakesNoBackup)
{
    TWQHexEditorEx ed;
    Open(ed);
    ed.Save();
    EXPECT_FALSE(QFile::exists(file + QStringLiteral(".bak")));
    Edit(ed);
    ed.SetCreateBackup(false);
    ed.Save();
    EXPECT_FALSE(QFile::exists(file + QStringLiteral(".bak")));
    EXPECT_EQ(Read(file), QByteArray("NLD"));
}

TEST_F(ExBackup, ExtensionIsAPlainSuffix)
{
    TWQHexEditorEx ed;
    ed.SetBackupExtension(QStringLiteral("~"));
    Open(ed);
    Edit(ed);
    ed.Save();
    EXPECT_EQ(Read(file + QStringLiteral("~")), QByteArray("OLD"));
}

TEST_F(ExBackup, EmptyExtensionMakesNoBackupAndKeepsTheFile)
{
    TWQHexEditorEx ed;
    ed.SetBackupExtension(QString());
    Open(ed);
    Edit(ed);
    ed.Save();
    EXPECT_EQ(Read(file), QByteArray("NLD"));
    EXPECT_EQ(Files(), QStringList{QStringLiteral("data.bin")});
}

TEST_F(ExBackup, FolderAtTheBackupNameCannotBeDeleted)
{
    const QString backup = file + QStringLiteral(".bak");
    ASSERT_TRUE(QDir().mkdir(backup));
    Write(backup + QStringLiteral("/inside"), QByteArray("x"));
    TWQHexEditorEx ed;
    Open(ed);
    Edit(ed);
    try {
        ed.Save();
        FAIL() << "no error";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot delete previous backup %1. (Is a directory)").arg(backup));
    }
    EXPECT_EQ(Read(file), QByteArray("OLD")) << "nothing saved, the file in place";
    EXPECT_TRUE(ed.Modified());
}

TEST_F(ExBackup, BackupNameTooLongCannotBeCreated)
{
    // 252 characters: the file fits, its backup name does not.
    const QString longFile = dir.filePath(QString(252, u'f'));
    Write(longFile, QByteArray("OLD"));
    TWQHexEditorEx ed;
    ed.LoadFromFile(longFile);
    Edit(ed);
    const QString backup = longFile + QStringLiteral(".bak");
    try {
        ed.Save();
        FAIL() << "no error";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot create backup %1. (File name too long)").arg(backup));
    }
    EXPECT_EQ(Read(longFile), QByteArray("OLD"));
}

TEST_F(ExBackup, SaveWithoutAFileRaises)
{
    TWQHexEditorEx ed;
    Load(ed, Iota(4));
    try {
        ed.Save();
        FAIL() << "no error";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No filename specified"));
    }
}

TEST_F(ExBackup, FailedWriteMovesTheBackupBack)
{
    TWQHexEditorEx ed;
    Open(ed);
    Edit(ed);
    // A cancelled save fails after the backup was made.
    ed.SetOnProgress([](QObject*, TWQHProgressKind kind, const QString&, std::uint8_t, bool& Cancel) {
        if (kind == pkSave)
            Cancel = true;
    });
    EXPECT_ANY_THROW(ed.Save());
    EXPECT_EQ(Read(file), QByteArray("OLD")) << "the file is back under its own name";
    EXPECT_FALSE(QFile::exists(file + QStringLiteral(".bak")));
    EXPECT_TRUE(ed.Modified());
    ed.SetOnProgress({});
    ed.Save();
    EXPECT_EQ(Read(file), QByteArray("NLD"));
    EXPECT_EQ(Read(file + QStringLiteral(".bak")), QByteArray("OLD"));
}

} // namespace
