#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::TIniFile;

class IniFileTest : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("qv750.ini")) const { return dir.filePath(name); }

    void put(const QByteArray& bytes, const QString& name = QStringLiteral("qv750.ini")) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray get(const QString& name = QStringLiteral("qv750.ini")) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndCreatesNothing)
{
    {
        TIniFile ini(path());
        EXPECT_EQ(ini.ReadInteger("Environment", "FormTop", 10), 10);
        EXPECT_TRUE(ini.ReadBool("Programmer", "CHECKID", true));
        EXPECT_FALSE(ini.ReadBool("Environment", "FormMax", false));
        EXPECT_EQ(ini.ReadString("Programmer", "X", "dflt"), "dflt");
        EXPECT_FALSE(ini.SectionExists("Environment"));
        EXPECT_EQ(ini.FileName(), path());
    }
    EXPECT_TRUE(entries().isEmpty()) << entries().join(',').toStdString();
}

TEST_F(IniFileTest, IntegersInDecimalAndHexBadValuesGiveDefault)
{
    put("[Environment]\n"
        "FormTop=0x20\nFormLeft=$20\nFormHeight=abc\nFormWidth=-300\n"
        "A=0X1f\nB=\nC=12abc\nD= 7 \nE=4294967296\nF=0xFFFFFFFF\nG=x10\nH=X1F\nI=-x10\nJ=-$10\nK=+0x10\n");
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Environment", "FormTop", 10), 32);
    EXPECT_EQ(ini.ReadInteger("Environment", "FormLeft", 10), 32);
    EXPECT_EQ(ini.ReadInteger("Environment", "FormHeight", 500), 500);
    EXPECT_EQ(ini.ReadInteger("Environment", "FormWidth", 700), -300);
    EXPECT_EQ(ini.ReadInteger("Environment", "A", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Environment", "B", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Environment", "C", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Environment", "D", 5), 7);
    EXPECT_EQ(ini.ReadInteger("Environment", "E", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Environment", "F", 5), -1);
    // A bare "x" is no hexadecimal prefix here, signed or not.
    EXPECT_EQ(ini.ReadInteger("Environment", "G", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Environment", "H", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Environment", "I", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Environment", "J", 5), -16);
    EXPECT_EQ(ini.ReadInteger("Environment", "K", 5), 16);
    EXPECT_EQ(ini.ReadInteger("Environment", "Missing", 77), 77);
}

TEST_F(IniFileTest, BooleansAreNonZeroIntegers)
{
    put("[Programmer]\nCHECKID=0\nERASE=1\nWRITE=2\nVERITY=-1\nX=yes\nY=true\nZ=0x0\n");
    TIniFile ini(path());
    EXPECT_FALSE(ini.ReadBool("Programmer", "CHECKID", true));
    EXPECT_TRUE(ini.ReadBool("Programmer", "ERASE", false));
    EXPECT_TRUE(ini.ReadBool("Programmer", "WRITE", false));
    EXPECT_TRUE(ini.ReadBool("Programmer", "VERITY", false));
    // Words are not numbers: the default stands, whichever it is.
    EXPECT_TRUE(ini.ReadBool("Programmer", "X", true));
    EXPECT_FALSE(ini.ReadBool("Programmer", "X", false));
    EXPECT_FALSE(ini.ReadBool("Programmer", "Y", false));
    EXPECT_FALSE(ini.ReadBool("Programmer", "Z", true));
}

TEST_F(IniFileTest, NamesAreCaseInsensitiveValuesKeptAsWritten)
{
    put("; comment = not a key\n"
        "[ programmer ]\n  cputype = 3\nName=a=b  \n#x=1\n"
        "[PROGRAMMER]\nSPEED=4\ncputype=9\n");
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Programmer", "CpuType", 0), 3); // first one wins
    EXPECT_EQ(ini.ReadInteger("PROGRAMMER", "speed", 0), 4);
    EXPECT_EQ(ini.ReadString("Programmer", "CPUTYPE", ""), " 3");
    EXPECT_EQ(ini.ReadString("programmer", "name", ""), "a=b  ");
    EXPECT_TRUE(ini.SectionExists("PrOgRaMmEr"));
    EXPECT_TRUE(ini.ValueExists("Programmer", "Speed"));
    EXPECT_FALSE(ini.ValueExists("Programmer", "#x"));
    EXPECT_FALSE(ini.ValueExists("Environment", "Speed"));
    EXPECT_FALSE(ini.ValueExists("", "; comment"));
}

TEST_F(IniFileTest, CrLfFileReadsWithoutCarriageReturns)
{
    put("[Programmer]\r\nCpuType=5\r\nName=W25Q64\r\n");
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Programmer", "CpuType", 0), 5);
    EXPECT_EQ(ini.ReadString("Programmer", "Name", ""), "W25Q64");
}

TEST_F(IniFileTest, WritesKeepUnknownLinesSectionsAndOrder)
{
    put("; settings\n"
        "[Environment]\n"
        "FormTop=1\n"
        "Custom=keep me\n"
        "\n"
        "[PROGRAM]\n"
        "Path=C:\\x\n"
        "[Programmer]\n"
        "cputype=1\n");
    {
        TIniFile ini(path());
        ini.WriteInteger("Environment", "FormTop", -5);
        ini.WriteInteger("Environment", "FormLeft", 20);
        ini.WriteInteger("Programmer", "CpuType", 7);
        ini.WriteBool("Programmer", "CHECKID", true);
        ini.WriteBool("Programmer", "ERASE", false);
        ini.WriteString("Other", "Text", "芯片");
        // Nothing reaches the disk before the flush.
        EXPECT_TRUE(get().contains("FormTop=1\n"));
        EXPECT_EQ(ini.ReadInteger("Environment", "FormTop", 0), -5);
        EXPECT_EQ(ini.ReadString("Other", "Text", ""), QStringLiteral("芯片"));
    }
    EXPECT_EQ(get(), QByteArray("; settings\n"
                                "[Environment]\n"
                                "FormTop=-5\n"
                                "Custom=keep me\n"
                                "FormLeft=20\n"
                                "\n"
                                "[PROGRAM]\n"
                                "Path=C:\\x\n"
                                "[Programmer]\n"
                                "cputype=7\n"
                                "CHECKID=1\n"
                                "ERASE=0\n"
                                "[Other]\n"
                                "Text=" + QStringLiteral("芯片").toUtf8() + "\n"));
    EXPECT_EQ(entries(), QStringList({"qv750.ini"}));
}

TEST_F(IniFileTest, NewFileHasOnlyWrittenSections)
{
    {
        TIniFile ini(path());
        ini.WriteInteger("Environment", "FormHeight", 500);
        ini.WriteBool("Environment", "FormMax", false);
        ini.WriteInteger("Programmer", "SPEED", 0);
    }
    EXPECT_EQ(get(), QByteArray("[Environment]\nFormHeight=500\nFormMax=0\n[Programmer]\nSPEED=0\n"));
    TIniFile again(path());
    EXPECT_EQ(again.ReadInteger("Environment", "FormHeight", 0), 500);
}

TEST_F(IniFileTest, CrLfAndByteOrderMarkSurviveAWrite)
{
    put("\xEF\xBB\xBF[A]\r\nk=1\r\n");
    {
        TIniFile ini(path());
        EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
        ini.WriteInteger("A", "k", 2);
    }
    EXPECT_EQ(get(), QByteArray("\xEF\xBB\xBF[A]\r\nk=2\r\n"));
}

TEST_F(IniFileTest, LinesNotChangedAreWrittenBackByteForByte)
{
    // 编程器 and 芯片 in GBK: not valid UTF-8, so the file reads as GBK. Keys
    // and a section in GBK, bytes no code page maps, a NUL, blanks around
    // names, every kind of line end and a last line without one.
    const QByteArray gbkName = "\xB1\xE0\xB3\xCC\xC6\xF7";
    const QByteArray before = "; \xFF\xFE junk \x80\r\n"
                              "[" + gbkName + "]\r\n"
                              "  " + gbkName + " = \xD0\xBE\xC6\xAC \n"
                              "raw=\x81\x7F\xFF" + QByteArray(1, '\0') + "end\r"
                              "[Programmer]\r\n"
                              "\xD0\xBE\xC6\xAC=1\r\n"
                              " cputype =\xFF" "3\r\n"
                              "\r\n"
                              "[Other]\n"
                              "k=v";
    put(before);
    {
        TIniFile ini(path());
        EXPECT_EQ(ini.ReadString(QStringLiteral("编程器"), QStringLiteral("编程器"), ""), QStringLiteral(" 芯片 "));
        EXPECT_EQ(ini.ReadInteger("Programmer", QStringLiteral("芯片"), 0), 1);
        ini.WriteInteger("Programmer", "CpuType", 7);
        ini.WriteInteger("Programmer", "SPEED", 2);
        ini.WriteString("Programmer", "Name", QStringLiteral("芯片"));
        ini.WriteString("New", "k", "v");
    }
    // Only the changed value and the added lines differ; the added ones are in
    // the file's code page and line end.
    EXPECT_EQ(get(), QByteArray("; \xFF\xFE junk \x80\r\n"
                                "[" + gbkName + "]\r\n"
                                "  " + gbkName + " = \xD0\xBE\xC6\xAC \n"
                                "raw=\x81\x7F\xFF" + QByteArray(1, '\0') + "end\r"
                                "[Programmer]\r\n"
                                "\xD0\xBE\xC6\xAC=1\r\n"
                                " cputype =7\r\n"
                                "SPEED=2\r\n"
                                "Name=\xD0\xBE\xC6\xAC\r\n"
                                "\r\n"
                                "[Other]\n"
                                "k=v\r\n"
                                "[New]\r\n"
                                "k=v\r\n"));
    TIniFile again(path());
    EXPECT_EQ(again.ReadString("Programmer", "Name", ""), QStringLiteral("芯片"));

    // A save that changes nothing leaves the file as it was, to the byte.
    put(before);
    {
        TIniFile ini(path());
        EXPECT_TRUE(ini.UpdateFile());
    }
    EXPECT_EQ(get(), before);
}

TEST_F(IniFileTest, ValuesCannotInjectLinesOrSections)
{
    {
        TIniFile ini(path());
        ini.WriteString("A", "k", "1\n[B]\nx=2");
        ini.WriteString("A]x", "a=b", "v");
    }
    TIniFile ini(path());
    EXPECT_FALSE(ini.SectionExists("B"));
    EXPECT_EQ(ini.ReadString("A", "k", ""), "1 [B] x=2");
    EXPECT_EQ(ini.ReadString("A_x", "a_b", ""), "v");
}

TEST_F(IniFileTest, UpdateFileReplacesThroughRenameAndKeepsPermissions)
{
    put("[A]\nk=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);

    TIniFile ini(path());
    ini.WriteInteger("A", "k", 2);
    EXPECT_TRUE(ini.UpdateFile());
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino); // a new file took the name
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(get(), "[A]\nk=2\n");
    EXPECT_EQ(entries(), QStringList({"qv750.ini"})); // no temporary left
}

TEST_F(IniFileTest, WritesThroughASymbolicLinkToItsTarget)
{
    put("[A]\nk=1\n", "real.ini");
    ASSERT_TRUE(QFile::link(path("real.ini"), path("link.ini")));
    {
        TIniFile ini(path("link.ini"));
        EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
        ini.WriteInteger("A", "k", 3);
    }
    EXPECT_TRUE(QFileInfo(path("link.ini")).isSymLink());
    EXPECT_EQ(get("real.ini"), "[A]\nk=3\n");
}

// Runs f in a child process without root's right to ignore permissions;
// returns f's result, or -1 when the child could not run it.
int runUnprivileged(const std::function<int()>& f)
{
    if (::geteuid() != 0)
        return f();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(f());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST_F(IniFileTest, FailedWriteIsSilentAndLeavesOldFile)
{
    put("[A]\nk=1\n");
    const QByteArray dirName = QFile::encodeName(dir.path());
    ASSERT_EQ(::chmod(dirName.constData(), 0555), 0);
    const QString file = path();
    // 0: as expected; other numbers tell which check failed.
    const int result = runUnprivileged([file] {
        TIniFile ini(file);
        if (ini.ReadInteger("A", "k", 0) != 1)
            return 1;
        ini.WriteInteger("A", "k", 2);
        if (ini.UpdateFile())
            return 2;
        return 0; // the destructor tries again, also silently
    });
    ::chmod(dirName.constData(), 0700);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(get(), "[A]\nk=1\n");
    EXPECT_EQ(entries(), QStringList({"qv750.ini"}));
}

TEST_F(IniFileTest, FailedWriteIntoMissingFolderIsSilent)
{
    const QString nowhere = path("no/such/dir/qv750.ini");
    TIniFile ini(nowhere);
    ini.WriteInteger("A", "k", 2);
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_FALSE(QFile::exists(nowhere));
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 2); // the value stays in memory
}

TEST_F(IniFileTest, FileThatCannotBeReadIsNeverOverwritten)
{
    // A directory in the file's place cannot be read as settings.
    ASSERT_TRUE(QDir(dir.path()).mkdir("qv750.ini"));
    {
        TIniFile ini(path());
        EXPECT_EQ(ini.ReadInteger("A", "k", 4), 4);
        ini.WriteInteger("A", "k", 2);
        EXPECT_FALSE(ini.UpdateFile());
    }
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_EQ(entries(), QStringList());
}

TEST_F(IniFileTest, PipeInPlaceOfTheFileIsNeitherWaitedOnNorOverwritten)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    const QString file = path();
    // In a child under an alarm, so a blocking open fails the test instead of hanging it.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::alarm(10);
        TIniFile ini(file);
        ini.WriteInteger("A", "k", 2);
        ::_exit(ini.ReadInteger("A", "k", 0) == 2 && !ini.UpdateFile() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(entries().isEmpty()) << entries().join(',').toStdString(); // no temporary file either
}

TEST_F(IniFileTest, GarbageAndHugeLinesDoNotHurt)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 7919) & 0xFF);
    junk += "\n[A]\nk=5\n";
    junk += QByteArray(2 * 1024 * 1024, '[');
    junk += "\n";
    junk += QByteArray(1024 * 1024, '=');
    junk += "\n[B\nk=\xFF\xFE\0\n";
    put(junk);
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 5);
    EXPECT_EQ(ini.ReadInteger("B", "k", 9), 9);
    ini.WriteInteger("A", "k", 6);
    EXPECT_TRUE(ini.UpdateFile());
    TIniFile again(path());
    EXPECT_EQ(again.ReadInteger("A", "k", 0), 6);
}

} // namespace
