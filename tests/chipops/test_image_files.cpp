// Open and Save of image files.
#include "tests/chipops/chipops_fixture.h"
#include "tests/support/other_user.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <csignal>
#include <cstring>
#include <tuple>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace chipops_test;
using platform::MsgResult;

namespace {

const QString Filter =
    QStringLiteral("Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|All files (*.*)|*.*");

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray Pattern(int n, int seed = 3)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>((seed + i * 13) & 0xFF);
    return b;
}

// Lowers the file size limit for the life of the object, so writes past
// `bytes` fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = saved_;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace

class ImageFileTest : public ChipOpsTest {
protected:
    QString Path(const QString& name) const { return dir.path() + u'/' + name; }
    void Open(const QString& path)
    {
        fakes.ui.openNames.push_back(path);
        form->BitBtn1Click();
    }
    void Save(const QString& path, std::optional<MsgResult> overwrite = std::nullopt)
    {
        fakes.ui.saveNames.push_back(path);
        if (overwrite)
            fakes.ui.answers.push_back(*overwrite);
        form->BitBtn4Click();
    }
    QByteArray Image() const
    {
        return QByteArray(reinterpret_cast<const char*>(form->ImageBuffer), form->ImageLength);
    }
    QStringList Entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

// --- open ----------------------------------------------------------------------

TEST_F(ImageFileTest, OpenRawFileShowsLogsAndFillsTheRestWithFF)
{
    std::fill(form->ImageBuffer, form->ImageBuffer + 4096, 0x00);
    WriteAll(Path("image.bin"), Pattern(100));
    Open(Path("image.bin"));
    ASSERT_EQ(fakes.ui.openDialogs.size(), 1u);
    EXPECT_EQ(fakes.ui.openDialogs[0].filter, Filter);
    EXPECT_EQ(fakes.ui.openDialogs[0].filterIndex, 1);
    EXPECT_EQ(fakes.ui.openDialogs[0].defaultExt, QStringLiteral("*.bin"));
    EXPECT_EQ(form->ImageLength, 100);
    EXPECT_EQ(Image(), Pattern(100));
    EXPECT_EQ(form->ImageBuffer[100], 0xFF);
    EXPECT_EQ(form->ImageBuffer[4095], 0xFF);
    EXPECT_EQ(form->Edit1->text(), Path("image.bin"));
    EXPECT_EQ(form->FlashEditor->AsText().toLatin1(), Pattern(100));
    ASSERT_EQ(LogCount(), 1);
    EXPECT_EQ(form->LogLines().front(),
              QStringLiteral("打开 ") + Path("image.bin") + QStringLiteral(" (") + platform::NowText() + u')');
}

TEST_F(ImageFileTest, CancelledOpenChangesNothing)
{
    FillImage(10);
    form->BitBtn1Click();
    EXPECT_EQ(form->ImageLength, 10);
    EXPECT_EQ(LogCount(), 0);
    EXPECT_TRUE(form->Edit1->text().isEmpty());
}

TEST_F(ImageFileTest, ExtensionsChooseTheReader)
{
    // Intel HEX by upper-case extension.
    WriteAll(Path("IMAGE.HEX"), ":0400100001020304E2\r\n:00000001FF\r\n");
    Open(Path("IMAGE.HEX"));
    EXPECT_EQ(form->ImageLength, 0x14);
    EXPECT_EQ(form->ImageBuffer[0x10], 0x01);
    EXPECT_EQ(form->ImageBuffer[0x0F], 0xFF);

    // .eep sniffed: ':' Intel HEX, 'S' S-record, 's' raw.
    WriteAll(Path("a.Eep"), ":0400100001020304E2\r\n:00000001FF\r\n");
    Open(Path("a.Eep"));
    EXPECT_EQ(form->ImageLength, 0x14);
    WriteAll(Path("b.eep"), "S00600004844521B\r\nS106000011223393\r\nS9030000FC\r\n");
    Open(Path("b.eep"));
    EXPECT_EQ(form->ImageLength, 3);
    EXPECT_EQ(form->ImageBuffer[1], 0x22);
    WriteAll(Path("c.eep"), "s106000011223393\r\n");
    Open(Path("c.eep"));
    EXPECT_EQ(form->ImageLength, 18);
    EXPECT_EQ(form->ImageBuffer[0], 's');

    // .src sniffed as .eep is: S-records, Intel HEX, else raw.
    WriteAll(Path("d.src"), "S00600004844521B\r\nS1060004AABBCCC4\r\nS9030000FC\r\n");
    Open(Path("d.src"));
    EXPECT_EQ(form->ImageLength, 7);
    EXPECT_EQ(form->ImageBuffer[4], 0xAA);
    WriteAll(Path("e.SRC"), ":0400100001020304E2\r\n:00000001FF\r\n");
    Open(Path("e.SRC"));
    EXPECT_EQ(form->ImageLength, 0x14);
    WriteAll(Path("f.src"), "raw S-less text");
    Open(Path("f.src"));
    EXPECT_EQ(form->ImageLength, 15);
    EXPECT_EQ(form->ImageBuffer[0], 'r');
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(ImageFileTest, EmptyRawFileGivesAnEmptyImage)
{
    FillImage(50);
    WriteAll(Path("empty.rom"), QByteArray());
    Open(Path("empty.rom"));
    EXPECT_EQ(form->ImageLength, 0);
    EXPECT_EQ(form->FlashEditor->DataSize(), 0);
    EXPECT_EQ(form->Edit1->text(), Path("empty.rom"));
    EXPECT_EQ(LogCount(), 1);
    EXPECT_EQ(form->ImageBuffer[0], 0xFF);
}

TEST_F(ImageFileTest, RawFileOfExactlyTheBufferSizeLoadsOneByteMoreDoesNot)
{
    const int max = TForm1::MaxImageSize;
    QByteArray big(max, '\x5A');
    WriteAll(Path("full.bin"), big);
    Open(Path("full.bin"));
    EXPECT_EQ(form->ImageLength, max);
    EXPECT_EQ(form->ImageBuffer[max - 1], 0x5A);
    EXPECT_TRUE(fakes.ui.boxes.empty());

    big.append('\x01');
    WriteAll(Path("over.bin"), big);
    big.clear();
    big.squeeze();
    std::fill(form->ImageBuffer, form->ImageBuffer + 16, 0x11);
    Open(Path("over.bin"));
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("File is too big for Buffer")});
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Error"));
    // The image loaded before stays.
    EXPECT_EQ(form->ImageLength, max);
    EXPECT_EQ(form->ImageBuffer[0], 0x11);
    EXPECT_EQ(form->ImageBuffer[max - 1], 0x5A);
    EXPECT_EQ(form->Edit1->text(), Path("full.bin"));
    EXPECT_EQ(LogCount(), 1);
}

TEST_F(ImageFileTest, FailedLoadKeepsTheImageTheViewThePathAndTheLog)
{
    // An image read from a chip (maybe its only copy), shown in the view.
    WriteAll(Path("first.bin"), Pattern(300));
    Open(Path("first.bin"));
    FillImage(8192, 5);
    const QByteArray image(reinterpret_cast<const char*>(form->ImageBuffer), 16384);
    const QStringList log = form->LogLines();
    const QString shown = form->FlashEditor->AsText();

    QByteArray sixthLineBad;
    for (int i = 0; i < 5; ++i)
        sixthLineBad += ":0400100001020304E2\r\n";
    sixthLineBad += ":04001000010G0304E2\r\n:00000001FF\r\n";
    const std::vector<std::tuple<const char*, QByteArray, QString>> bad = {
        {"bad.hex", sixthLineBad, QStringLiteral("Illegal Char in File")},
        {"sum.hex", ":0400100001020304E3\r\n:00000001FF\r\n", QStringLiteral("Checksum Error type 0")},
        // Data at 64 MiB, just past the buffer.
        {"far.hex", ":020000040400F6\r\n:0100000000FF\r\n:00000001FF\r\n", QStringLiteral("File exceeds Maximum Size")},
        {"bad.eep", ":0400100001020304E3\r\n:00000001FF\r\n", QStringLiteral("Checksum Error type 0")},
        {"bad2.eep", "S106000011223394\r\nS9030000FC\r\n", QStringLiteral("Checksum Error")},
    };
    for (const auto& [name, content, box] : bad) {
        SCOPED_TRACE(name);
        WriteAll(Path(name), content);
        fakes.ui.boxes.clear();
        Open(Path(name));
        EXPECT_EQ(Boxes(), std::vector<QString>{box});
        EXPECT_TRUE(fakes.ui.exceptions.empty());
        EXPECT_EQ(form->ImageLength, 8192);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(form->ImageBuffer), 16384), image);
        EXPECT_EQ(form->Edit1->text(), Path("first.bin"));
        EXPECT_EQ(form->FlashEditor->AsText(), shown);
        EXPECT_EQ(form->LogLines(), log);
    }
    // A file the system fails to read (/proc/self/mem at address 0 gives EIO):
    // the reader's own boxes, not the stream's exception box.
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), Path("unreadable.hex")));
    fakes.ui.boxes.clear();
    Open(Path("unreadable.hex"));
    EXPECT_EQ(Boxes(), (std::vector<QString>{QStringLiteral("File Read Operation Failed"), QStringLiteral("Error reading File")}));
    EXPECT_TRUE(fakes.ui.exceptions.empty());
    EXPECT_EQ(form->ImageLength, 8192);
    EXPECT_EQ(form->LogLines(), log);
    // A file without data records is no failure: an empty image.
    WriteAll(Path("nodata.hex"), ":00000001FF\r\n");
    fakes.ui.boxes.clear();
    Open(Path("nodata.hex"));
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_EQ(form->ImageLength, 0);
    EXPECT_EQ(form->ImageBuffer[0], 0xFF);
    EXPECT_EQ(form->Edit1->text(), Path("nodata.hex"));
    EXPECT_EQ(LogCount(), 2);
}

TEST_F(ImageFileTest, FileThatCannotBeOpenedLeavesEverythingAsItWas)
{
    WriteAll(Path("first.bin"), Pattern(300));
    Open(Path("first.bin"));
    const QByteArray image(reinterpret_cast<const char*>(form->ImageBuffer), 4096);
    const QStringList log = form->LogLines();
    for (const char* name : {"missing.bin", "missing.hex", "missing.eep", "missing.src"}) {
        fakes.ui.boxes.clear();
        fakes.ui.exceptions.clear();
        Open(Path(name));
        SCOPED_TRACE(name);
        EXPECT_EQ(form->ImageLength, 300);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(form->ImageBuffer), 4096), image);
        EXPECT_EQ(form->Edit1->text(), Path("first.bin"));
        EXPECT_EQ(form->FlashEditor->AsText().toLatin1(), Pattern(300));
        EXPECT_EQ(form->LogLines(), log);
        EXPECT_EQ(fakes.ui.boxes.size() + fakes.ui.exceptions.size(), 1u)
            << Boxes().size() << " " << (fakes.ui.exceptions.empty() ? "" : fakes.ui.exceptions[0].toStdString());
    }
    // The raw and text readers report through the exception box ...
    fakes.ui.exceptions.clear();
    Open(Path("missing.hex"));
    ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_TRUE(fakes.ui.exceptions[0].startsWith(QStringLiteral("Cannot open file \""))) << fakes.ui.exceptions[0].toStdString();
    // ... the .eep sniffing through its own box.
    fakes.ui.boxes.clear();
    Open(Path("missing.eep"));
    EXPECT_EQ(Boxes(), std::vector<QString>{QStringLiteral("Can't open File")});
}

// --- save ----------------------------------------------------------------------

TEST_F(ImageFileTest, SaveWritesTheChipSizeInTheFormatOfTheExtension)
{
    AddModel(Chip(8192, 256, 0));
    form->ComboBox1->setCurrentIndex(0);
    WriteAll(Path("small.bin"), Pattern(100));
    Open(Path("small.bin"));

    Save(Path("out.bin"));
    ASSERT_EQ(fakes.ui.saveDialogs.size(), 1u);
    EXPECT_EQ(fakes.ui.saveDialogs[0].filter, Filter);
    EXPECT_EQ(fakes.ui.saveDialogs[0].defaultExt, QStringLiteral("hex"));
    const QByteArray raw = ReadAll(Path("out.bin"));
    EXPECT_EQ(raw.size(), 8192);
    EXPECT_EQ(raw.left(100), Pattern(100));
    EXPECT_EQ(raw.mid(100), QByteArray(8092, '\xFF'));

    // Text formats keep only the records that hold something other than 0xFF.
    Save(Path("out.hex"));
    const QByteArray hex = ReadAll(Path("out.hex"));
    EXPECT_EQ(hex.count('\n'), 4 + 1); // 100 bytes: three full 32-byte records and one of 4
    EXPECT_TRUE(hex.endsWith(":00000001FF\r\n"));
    Save(Path("out.src"));
    const QByteArray srec = ReadAll(Path("out.src"));
    EXPECT_TRUE(srec.startsWith("S00600004844521B\r\n"));
    EXPECT_EQ(srec.count('\n'), 1 + 7 + 1); // header, 16-byte records, end
    EXPECT_TRUE(srec.endsWith("S9030000FC\r\n"));
    // Nothing logged, no box, no leftovers.
    EXPECT_EQ(LogCount(), 1);
    EXPECT_TRUE(fakes.ui.boxes.empty());
    EXPECT_EQ(Entries(), (QStringList{"out.bin", "out.hex", "out.src", "small.bin"}));

    // Saved files load back to the same image.
    Open(Path("out.hex"));
    EXPECT_EQ(form->ImageLength, 128); // the end of the last record written
    EXPECT_EQ(Image().left(100), Pattern(100));
    EXPECT_EQ(Image().mid(100), QByteArray(28, '\xFF'));
    Open(Path("out.src"));
    EXPECT_EQ(form->ImageLength, 112);
    EXPECT_EQ(Image().left(100), Pattern(100));
    EXPECT_EQ(Image().mid(100), QByteArray(12, '\xFF'));
}

TEST_F(ImageFileTest, SaveWithoutAUsableChipWritesTheImageLength)
{
    WriteAll(Path("small.bin"), Pattern(100));
    Open(Path("small.bin"));
    Save(Path("none.bin"));
    EXPECT_EQ(ReadAll(Path("none.bin")), Pattern(100));
    AddModel(Chip(-5, 256, 0));
    form->ComboBox1->setCurrentIndex(0);
    Save(Path("negative.bin"));
    EXPECT_EQ(ReadAll(Path("negative.bin")), Pattern(100));
    form->ChipTable[0].Size = TForm1::MaxImageSize + 1;
    Save(Path("huge.bin"));
    EXPECT_EQ(ReadAll(Path("huge.bin")), Pattern(100));
}

TEST_F(ImageFileTest, SaveWithAChipOfSizeZeroWritesNoBytes)
{
    WriteAll(Path("small.bin"), Pattern(100));
    Open(Path("small.bin"));
    AddModel(Chip(0, 256, 0));
    form->ComboBox1->setCurrentIndex(0);
    Save(Path("zero.bin"));
    EXPECT_EQ(ReadAll(Path("zero.bin")), QByteArray());
    Save(Path("zero.hex"));
    EXPECT_EQ(ReadAll(Path("zero.hex")), QByteArray(":00000001FF\r\n"));
    EXPECT_TRUE(fakes.ui.boxes.empty());
}

TEST_F(ImageFileTest, OverwriteQuestionNoLeavesTheFile)
{
    FillImage(64);
    WriteAll(Path("keep.bin"), "original");
    Save(Path("keep.bin"), MsgResult::No);
    ASSERT_EQ(fakes.ui.boxes.size(), 1u);
    EXPECT_EQ(fakes.ui.boxes[0].text, QStringLiteral("文件已存在,是否覆盖?"));
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Info"));
    EXPECT_EQ(fakes.ui.boxes[0].icon, platform::MsgIcon::Question);
    EXPECT_EQ(fakes.ui.boxes[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(ReadAll(Path("keep.bin")), QByteArray("original"));

    Save(Path("keep.bin"), MsgResult::Yes);
    EXPECT_EQ(ReadAll(Path("keep.bin")).size(), 64);
    EXPECT_EQ(Entries(), QStringList{"keep.bin"});
}

TEST_F(ImageFileTest, FailedSaveLeavesTheExistingFileIntact)
{
    FillImage(1 << 20);
    for (const char* name : {"full.bin", "full.hex", "full.src"}) {
        SCOPED_TRACE(name);
        WriteAll(Path(name), "original");
        fakes.ui.boxes.clear();
        {
            FileSizeLimit limit(4096); // the write runs out of room part way
            Save(Path(name), MsgResult::Yes);
        }
        EXPECT_EQ(Boxes(), (std::vector<QString>{QStringLiteral("文件已存在,是否覆盖?"), QStringLiteral("写入文件出错。")}));
        EXPECT_EQ(ReadAll(Path(name)), QByteArray("original"));
    }
    // No half-written temporary file is left behind.
    EXPECT_EQ(Entries(), (QStringList{"full.bin", "full.hex", "full.src"}));
}

TEST_F(ImageFileTest, SaveOverAHardLinkWritesInPlace)
{
    FillImage(64);
    for (const char* name : {"a.bin", "a.hex"}) {
        SCOPED_TRACE(name);
        const QString other = Path(QStringLiteral("other-") + name);
        WriteAll(Path(name), "old");
        ASSERT_EQ(::link(QFile::encodeName(Path(name)).constData(), QFile::encodeName(other).constData()), 0);
        Save(Path(name), MsgResult::Yes);
        EXPECT_EQ(ReadAll(other), ReadAll(Path(name))) << "both names still lead to one file";
        EXPECT_NE(ReadAll(other), QByteArray("old"));
    }
    EXPECT_EQ(ReadAll(Path("a.bin")).size(), 64);
    EXPECT_TRUE(fakes.ui.exceptions.empty());
    EXPECT_EQ(Entries().size(), 4);
}

TEST_F(ImageFileTest, FailedInPlaceSaveIsReported)
{
    FillImage(1 << 20);
    for (const char* name : {"full.bin", "full.hex", "full.src"}) {
        SCOPED_TRACE(name);
        WriteAll(Path(name), "original");
        ASSERT_EQ(::link(QFile::encodeName(Path(name)).constData(),
                         QFile::encodeName(Path(QStringLiteral("link-") + name)).constData()), 0);
        fakes.ui.boxes.clear();
        {
            FileSizeLimit limit(4096);
            Save(Path(name), MsgResult::Yes);
        }
        EXPECT_EQ(Boxes(), (std::vector<QString>{QStringLiteral("文件已存在,是否覆盖?"), QStringLiteral("写入文件出错。")}));
        EXPECT_EQ(ReadAll(Path(name)).size(), 4096) << "the part written stays";
    }
}

TEST_F(ImageFileTest, SaveOverAFifoReportsItAndKeepsTheFifo)
{
    FillImage(16);
    const QByteArray fifo = QFile::encodeName(Path("pipe.bin"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    Save(Path("pipe.bin"), MsgResult::Yes);
    ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_TRUE(fakes.ui.exceptions[0].startsWith(QStringLiteral("Cannot create file \"") + Path("pipe.bin")))
        << fakes.ui.exceptions[0].toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ImageFileTest, ReadOnlyTargetIsNotReplacedButReported)
{
    FillImage(16);
    WriteAll(Path("locked.bin"), "locked");
    ::chmod(QFile::encodeName(Path("locked.bin")).constData(), 0444);
    testsupport::GiveToCheckUser(Path("locked.bin"));
    testsupport::GiveToCheckUser(dir.path());
    const int rc = testsupport::RunAsUnprivileged([&] {
        ::alarm(30);
        fakes.ui.exceptions.clear();
        Save(Path("locked.bin"), MsgResult::Yes);
        if (fakes.ui.exceptions.size() != 1)
            return 1;
        const QString expected = QStringLiteral("Cannot create file \"%1\". %2")
                                     .arg(Path("locked.bin"), QString::fromLocal8Bit(std::strerror(EACCES)));
        return fakes.ui.exceptions[0] == expected ? 0 : 2;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadAll(Path("locked.bin")), QByteArray("locked"));
    EXPECT_EQ(Entries(), QStringList{"locked.bin"});
}

TEST_F(ImageFileTest, SaveThatCannotCreateNamesTheTargetInTheExceptionBox)
{
    FillImage(16);
    Save(Path("no/such/dir/x.bin"));
    ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_TRUE(fakes.ui.exceptions[0].startsWith(QStringLiteral("Cannot create file \"") + Path("no/such/dir/x.bin")))
        << fakes.ui.exceptions[0].toStdString();
}

TEST_F(ImageFileTest, SaveThroughALinkReplacesTheLinkedFile)
{
    FillImage(16);
    WriteAll(Path("real.bin"), "old");
    ASSERT_TRUE(QFile::link(Path("real.bin"), Path("link.bin")));
    Save(Path("link.bin"), MsgResult::Yes);
    EXPECT_TRUE(QFileInfo(Path("link.bin")).isSymLink());
    EXPECT_EQ(ReadAll(Path("real.bin")).size(), 16);
}

TEST_F(ImageFileTest, SaveNeverWritesThroughALinkPlacedAtItsTemporaryName)
{
    // Links where the save would put its temporary file: one to a file that
    // must stay untouched, one dangling (it must not come into being).
    FillImage(16);
    WriteAll(Path("victim.bin"), "victim");
    const QString other = Path("elsewhere.bin");
    // The temporary names count up through the whole process (settings saves
    // too): cover far more of them than this test run can have used.
    for (int i = 0; i < 1024; ++i) {
        const QString name = Path(QStringLiteral(".out.bin.%1-%2.tmp").arg(::getpid()).arg(i));
        ASSERT_TRUE(QFile::link(i % 2 == 0 ? Path("victim.bin") : other, name));
    }
    Save(Path("out.bin"));
    EXPECT_EQ(ReadAll(Path("out.bin")).size(), 16);
    EXPECT_EQ(ReadAll(Path("victim.bin")), QByteArray("victim"));
    EXPECT_FALSE(QFileInfo::exists(other));
    EXPECT_TRUE(fakes.ui.boxes.empty());
}
