// Loading, saving and the edit primitives of the control.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <cstdio>
#include <new>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const QString kBounds = QString::fromLatin1(wqhstr::DataBounds);

struct ProgressCall {
    TWQHProgressKind kind;
    QString name;
    int percent;
};

// The control with a few hooks counted.
class TestEditor : public TCustomWQHexEditor {
public:
    int prepareCalls = 0;
    bool failWrites = false;

    void PrepareOverwriteDiskFile() override
    {
        ++prepareCalls;
        TCustomWQHexEditor::PrepareOverwriteDiskFile();
    }
    void WriteBuffer(const void* Buffer, int Index, int Count) override
    {
        if (failWrites)
            throw platform::EWriteError(QStringLiteral("write refused"));
        TCustomWQHexEditor::WriteBuffer(Buffer, Index, Count);
    }
    using TCustomWQHexEditor::CutChangedMarks;
    using TCustomWQHexEditor::InternalDelete;
    using TCustomWQHexEditor::InternalInsertBuffer;
    using TCustomWQHexEditor::Stream2Stream;
};

// A stream that claims a size and serves fewer bytes (or none).
class LyingStream : public platform::TStream {
public:
    LyingStream(std::int64_t size, std::int64_t real) : size_(size), real_(real) {}
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        const std::int64_t n = std::max<std::int64_t>(0, std::min(count, real_ - pos_));
        std::memset(buffer, 0x5A, static_cast<size_t>(n));
        pos_ += n;
        return n;
    }
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override
    {
        pos_ = origin == platform::SeekOrigin::Begin ? offset
               : origin == platform::SeekOrigin::End ? size_ + offset
                                                     : pos_ + offset;
        return pos_;
    }
    std::int64_t Size() override { return size_; }
    void SetSize(std::int64_t) override {}

private:
    std::int64_t size_;
    std::int64_t real_;
    std::int64_t pos_ = 0;
};

Bytes Pattern(int n)
{
    Bytes b(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        b[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 3);
    return b;
}

class StoreEditor : public ::testing::Test {
protected:
    testsupport::ScopedPlatformFakes fakes;
    QTemporaryDir dir;
    QByteArray oldTmp = qgetenv("TMPDIR");
    TestEditor ed;
    int changes = 0;
    std::vector<ProgressCall> progress;

    void SetUp() override
    {
        qputenv("TMPDIR", dir.path().toLocal8Bit());
        ed.resize(600, 400);
        ed.CreateEmptyFile(QString());
        ed.SetOnChange([this](QObject*) { ++changes; });
        ed.SetOnProgress([this](QObject*, TWQHProgressKind k, const QString& n, std::uint8_t p, bool&) {
            progress.push_back({k, n, p});
        });
    }
    void TearDown() override { qputenv("TMPDIR", oldTmp); }

    void Load(const Bytes& b)
    {
        platform::TMemoryStream s;
        s.Write(b.data(), static_cast<std::int64_t>(b.size()));
        ed.LoadFromStream(s);
        changes = 0;
        progress.clear();
    }
    Bytes Data()
    {
        Bytes b(static_cast<size_t>(ed.DataSize()));
        if (!b.empty())
            ed.ReadBuffer(b.data(), 0, ed.DataSize());
        return b;
    }
    QString Path(const char* name) const { return dir.path() + QLatin1Char('/') + QLatin1String(name); }
    static void WriteFile(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray ReadFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList TempLeftovers() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("*.WQHT"), QStringLiteral(".*.tmp")},
                                          QDir::Files | QDir::Hidden);
    }
    int UndoSteps() { return ed.UndoStorage().Count(); }
};

template <class F>
QString ErrorOf(F&& f)
{
    try {
        f();
    } catch (const platform::Exception& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

std::vector<int> Percents(const std::vector<ProgressCall>& calls)
{
    std::vector<int> v;
    for (const auto& c : calls)
        v.push_back(c.percent);
    return v;
}

} // namespace

// ---- loading ----------------------------------------------------------------------

TEST_F(StoreEditor, LoadOfAnEmptyStreamReportsNothingAndChangesOnce)
{
    Load(Pattern(10));
    platform::TMemoryStream empty;
    ed.LoadFromStream(empty);
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(ed.Col(), 2);
    EXPECT_EQ(ed.Row(), 2);
    EXPECT_EQ(changes, 1);
}

TEST_F(StoreEditor, LoadReportsPerChunkWhateverTheStreamPosition)
{
    platform::TMemoryStream s;
    Bytes b = Pattern(61441);
    s.Write(b.data(), 61440);
    ed.LoadFromStream(s);  // position at the end beforehand
    EXPECT_EQ(Percents(progress), (std::vector<int>{100}));
    EXPECT_EQ(progress[0].kind, pkLoad);
    EXPECT_EQ(progress[0].name, QStringLiteral("Untitled"));
    EXPECT_EQ(ed.DataSize(), 61440);

    progress.clear();
    s.Write(b.data() + 61440, 1);
    ed.LoadFromStream(s);
    EXPECT_EQ(Percents(progress), (std::vector<int>{0, 100}));
    EXPECT_EQ(Data(), b);

    progress.clear();
    const Bytes three = Pattern(3 * 61440);
    platform::TMemoryStream t;
    t.Write(three.data(), static_cast<std::int64_t>(three.size()));
    ed.LoadFromStream(t);
    EXPECT_EQ(Percents(progress), (std::vector<int>{0, 33, 100}));
    EXPECT_EQ(Data(), three);
    EXPECT_FALSE(ed.Modified());
}

TEST_F(StoreEditor, EachReportComesBeforeTheChunkItAnnouncesIsRead)
{
    // A source that counts what was taken from it.
    class CountingStream : public platform::TMemoryStream {
    public:
        std::int64_t taken = 0;
        std::int64_t Read(void* buffer, std::int64_t count) override
        {
            const std::int64_t n = platform::TMemoryStream::Read(buffer, count);
            taken += n;
            return n;
        }
    };
    std::vector<std::int64_t> takenAtReport;
    CountingStream* source = nullptr;
    ed.SetOnProgress([&](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool&) {
        takenAtReport.push_back(source->taken);
    });
    const Bytes b = Pattern(61441);
    CountingStream one;
    one.Write(b.data(), 61440);
    source = &one;
    ed.LoadFromStream(one);
    EXPECT_EQ(takenAtReport, (std::vector<std::int64_t>{0}));
    EXPECT_EQ(one.taken, 61440);

    takenAtReport.clear();
    CountingStream two;
    two.Write(b.data(), 61441);
    source = &two;
    ed.LoadFromStream(two);
    EXPECT_EQ(takenAtReport, (std::vector<std::int64_t>{0, 61440}));
    EXPECT_EQ(Data(), b);
}

TEST_F(StoreEditor, CancelInTheFirstReportEmptiesEverythingAndChangesOnce)
{
    Load(Pattern(100));
    uint8_t b = 1;
    ed.InsertBuffer(&b, 1, 0, QString(), false);
    ASSERT_TRUE(ed.CanUndo());
    changes = 0;
    ed.SetOnProgress([](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool& cancel) { cancel = true; });
    platform::TMemoryStream s;
    const Bytes big = Pattern(200000);
    s.Write(big.data(), static_cast<std::int64_t>(big.size()));
    EXPECT_EQ(ErrorOf([&] { ed.LoadFromStream(s); }), QString::fromLatin1(wqhstr::OperationCancelled));
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_FALSE(ed.CanUndo());
    EXPECT_FALSE(ed.CanRedo());
    EXPECT_FALSE(ed.HasFile());
    EXPECT_EQ(changes, 1);
    // The busy state ended with the load: edits work again.
    ed.SetOnProgress(nullptr);
    ed.AppendBuffer(&b, 1, QString(), false);
    EXPECT_EQ(Data(), (Bytes{1}));
}

TEST_F(StoreEditor, FailedLoadInsideAnUndoBracketLeavesTheBracketOpen)
{
    Load(Pattern(100));
    uint8_t b = 1;
    ed.InsertBuffer(&b, 1, 0, QString(), false);
    ASSERT_EQ(UndoSteps(), 1);
    ASSERT_EQ(ed.UndoBeginUpdate(), 1);
    ed.SetOnProgress([](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool& cancel) { cancel = true; });
    platform::TMemoryStream s;
    const Bytes big = Pattern(200000);
    s.Write(big.data(), static_cast<std::int64_t>(big.size()));
    EXPECT_THROW(ed.LoadFromStream(s), EWQHexEditor);
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(UndoSteps(), 0);
    // The bracket's owner still closes its own bracket: edits until then are no steps.
    EXPECT_EQ(ed.UndoStorage().UpdateCount(), 1);
    ed.SetOnProgress(nullptr);
    ed.AppendBuffer(&b, 1, QString(), false);
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_EQ(ed.UndoEndUpdate(), 0);
    ed.AppendBuffer(&b, 1, QString(), false);
    EXPECT_EQ(UndoSteps(), 1);
}

TEST_F(StoreEditor, FailedLoadIsEmptyBeforeTheRowsAndCaretAreLaidOut)
{
    Load(Pattern(300));
    int sizeSeenByOnChange = -1;
    int rowsSeenByOnChange = -1;
    ed.SetOnChange([&](QObject*) {
        ++changes;
        sizeSeenByOnChange = ed.DataSize();
        rowsSeenByOnChange = ed.RowCount();
    });
    int calls = 0;
    ed.SetOnProgress([&](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool& cancel) {
        cancel = ++calls == 2;
    });
    platform::TMemoryStream s;
    const Bytes big = Pattern(3 * 61440);
    s.Write(big.data(), static_cast<std::int64_t>(big.size()));
    EXPECT_THROW(ed.LoadFromStream(s), EWQHexEditor);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(sizeSeenByOnChange, 0);
    EXPECT_EQ(rowsSeenByOnChange, 3);
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(ed.RowCount(), 3);
    EXPECT_EQ(ed.Col(), 2);
    EXPECT_EQ(ed.Row(), 2);
    EXPECT_EQ(ed.SelCount(), 0);
}

TEST_F(StoreEditor, ReloadOfTheSameSizeReusesTheBlockAndASmallOneDoesNot)
{
    const Bytes big = Pattern(4 << 20);
    Load(big);
    const std::uint8_t* block = ed.GetFastPointer(0, 1);
    Bytes other = big;
    other[0] ^= 0xFF;
    other.back() ^= 0xFF;
    Load(other);
    EXPECT_EQ(ed.GetFastPointer(0, 1), block);
    EXPECT_EQ(Data(), other);
    Load(Bytes{1, 2, 3});
    EXPECT_LT(ed.DataStorage().Capacity(), 1 << 20);
    EXPECT_EQ(Data(), (Bytes{1, 2, 3}));
}

TEST_F(StoreEditor, ShortStreamRaisesTheReadErrorAndLeavesNoData)
{
    Load(Pattern(10));
    LyingStream s(100000, 70000);
    EXPECT_THROW(ed.LoadFromStream(s), platform::EReadError);
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(StoreEditor, StreamsOver2GiBAreRefusedBeforeAnythingChanges)
{
    Load(Pattern(10));
    LyingStream s(std::int64_t(0x80000000), 0);
    EXPECT_EQ(ErrorOf([&] { ed.LoadFromStream(s); }), kBounds);
    EXPECT_EQ(Data(), Pattern(10));
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(progress.empty());
}

TEST_F(StoreEditor, EditsAreRefusedWhileAProgressHandlerRuns)
{
    Load(Pattern(10));
    QStringList refused;
    int sizeInHandler = -1;
    ed.SetOnProgress([&](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool&) {
        const uint8_t b = 0xEE;
        sizeInHandler = ed.DataSize();
        refused << ErrorOf([&] { ed.InsertBuffer(&b, 1, 0, QString(), false); });
        refused << ErrorOf([&] { ed.SetDataSize(3); });
        refused << ErrorOf([&] { ed.WriteBuffer(&b, 0, 1); });
        refused << ErrorOf([&] { ed.DeleteNibble(0, true, QString()); });
        platform::TMemoryStream other;
        refused << ErrorOf([&] { ed.LoadFromStream(other); });
        refused << ErrorOf([&] { ed.CreateEmptyFile(QString()); });
    });
    platform::TMemoryStream s;
    const Bytes big = Pattern(70000);
    s.Write(big.data(), static_cast<std::int64_t>(big.size()));
    ed.LoadFromStream(s);
    ASSERT_EQ(refused.size(), 12);  // two reports
    for (const QString& r : refused)
        EXPECT_TRUE(r != QStringLiteral("<no exception>")) << r.toStdString();
    EXPECT_EQ(sizeInHandler, 70000);
    EXPECT_EQ(Data(), big);
    EXPECT_EQ(ed.Filename(), QStringLiteral("Untitled"));
}

// ---- files ----------------------------------------------------------------------

TEST_F(StoreEditor, LoadFromFileNamesTheDataAndReportsTheFile)
{
    const QString path = Path("image.bin");
    WriteFile(path, QByteArray("\x01\x02\x03", 3));
    ed.LoadFromFile(path);
    EXPECT_EQ(Data(), (Bytes{1, 2, 3}));
    EXPECT_EQ(ed.Filename(), path);
    EXPECT_TRUE(ed.HasFile());
    EXPECT_FALSE(ed.ReadOnlyFile());
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_EQ(progress[0].name, path);
}

TEST_F(StoreEditor, LoadFromFileRefusesWhatIsNotARegularFile)
{
    Load(Pattern(4));
    const QString fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Returns at once instead of waiting for a writer.
    const QString fifoError = ErrorOf([&] { ed.LoadFromFile(fifo); });
    EXPECT_TRUE(fifoError.startsWith(QStringLiteral("Cannot open ") + fifo + QStringLiteral(".\r\n("))) << fifoError.toStdString();
    EXPECT_THROW(ed.LoadFromFile(fifo), platform::EFOpenError);
    EXPECT_EQ(ErrorOf([&] { ed.LoadFromFile(dir.path()); }),
              QStringLiteral("Cannot open %1.\r\n(Is a directory.)").arg(dir.path()));
    EXPECT_THROW(ed.LoadFromFile(QStringLiteral("/dev/null")), platform::EFOpenError);
    EXPECT_EQ(ErrorOf([&] { ed.LoadFromFile(Path("missing")); }),
              QStringLiteral("Cannot open %1.\r\n(No such file or directory.)").arg(Path("missing")));
    EXPECT_EQ(Data(), Pattern(4));
    EXPECT_TRUE(ed.ReadOnlyFile());
    EXPECT_EQ(changes, 0);
}

TEST_F(StoreEditor, SaveToFileWritesAllAndTakesTheNameOnlyWithUnModify)
{
    Load(Pattern(70000));
    const QString a = Path("a.bin");
    ed.SaveToFile(a, false);
    EXPECT_EQ(ReadFile(a), QByteArray(reinterpret_cast<const char*>(Pattern(70000).data()), 70000));
    EXPECT_EQ(Percents(progress), (std::vector<int>{0, 100}));
    EXPECT_EQ(progress[0].kind, pkSave);
    EXPECT_EQ(progress[0].name, a);
    EXPECT_EQ(ed.Filename(), QStringLiteral("Untitled"));
    EXPECT_TRUE(ed.HasFile());

    const uint8_t b = 0x99;
    ed.InsertBuffer(&b, 1, 0, QString(), false);
    ASSERT_TRUE(ed.Modified());
    ed.SaveToFile(a, true);
    EXPECT_EQ(ed.Filename(), a);
    EXPECT_FALSE(ed.Modified());
    EXPECT_FALSE(ed.CanUndo());
    EXPECT_FALSE(ed.ReadOnlyFile());
    EXPECT_EQ(ReadFile(a).size(), 70001);
    EXPECT_TRUE(TempLeftovers().isEmpty());
}

TEST_F(StoreEditor, ReadOnlyGuardOnlyForTheOwnFileByItsExactName)
{
    const QString own = Path("own.bin");
    WriteFile(own, "old");
    ed.LoadFromFile(own);
    ed.SetReadOnlyFile(true);
    ed.SetReadOnlyFile(false);  // cannot be switched off
    EXPECT_TRUE(ed.ReadOnlyFile());

    // Another name is never asked about.
    ed.SaveToFile(Path("other.bin"), false);
    EXPECT_EQ(ed.prepareCalls, 0);
    EXPECT_EQ(ReadFile(Path("other.bin")), QByteArray("old"));

    const QString expected = QStringLiteral("Cannot save readonly file %1.").arg(own);
    EXPECT_EQ(ErrorOf([&] { ed.SaveToFile(own, false); }), expected);
    EXPECT_EQ(ed.prepareCalls, 1);
    EXPECT_EQ(ReadFile(own), QByteArray("old"));
    // Any other spelling is another name: the file's own permissions decide.
    const uint8_t b = 'X';
    ed.SetDataAt(0, b);
    ed.SaveToFile(dir.path() + QStringLiteral("/./own.bin"), false);
    EXPECT_EQ(ReadFile(own), QByteArray("Xld"));
    const QString link = Path("link.bin");
    ASSERT_EQ(::symlink(QFile::encodeName(own).constData(), QFile::encodeName(link).constData()), 0);
    ed.SetDataAt(1, b);
    ed.SaveToFile(link, false);
    EXPECT_EQ(ReadFile(own), QByteArray("XXd"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ed.prepareCalls, 1);
    EXPECT_THROW(ed.SaveToFile(QString(), false), platform::EFCreateError);
    EXPECT_THROW(ed.SaveToFile(Path("no-such-folder/x.bin"), false), platform::EFCreateError);
    EXPECT_TRUE(TempLeftovers().isEmpty());
}

TEST_F(StoreEditor, SaveOverAHardLinkWritesInPlaceAndChecksEveryWrite)
{
    const QString a = Path("a.bin");
    const QString b = Path("b.bin");
    WriteFile(a, "old");
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
    Load(Pattern(100));
    ed.SaveToFile(a, true);
    EXPECT_EQ(ReadFile(b), QByteArray(reinterpret_cast<const char*>(Pattern(100).data()), 100)) << "the link holds";
    EXPECT_TRUE(TempLeftovers().isEmpty());

    // In place a write that runs out of room is an error, not a quiet cut.
    Load(Pattern(200000));
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = saved;
    lower.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &lower);
    EXPECT_THROW(ed.SaveToFile(b, true), platform::EWriteError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(ed.Filename(), a) << "a failed save does not take the name";
    EXPECT_EQ(ReadFile(a).size(), 4096);
}

TEST_F(StoreEditor, SaveOverAFifoKeepsItAFifo)
{
    const QString fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Load(Pattern(10));
    const QString error = ErrorOf([&] { ed.SaveToFile(fifo, false); });
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot create file \"") + fifo)) << error.toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(TempLeftovers().isEmpty());
}

TEST_F(StoreEditor, CancelledSaveKeepsThePreviousFile)
{
    const QString target = Path("keep.bin");
    WriteFile(target, "previous content");
    Load(Pattern(200000));
    int calls = 0;
    ed.SetOnProgress([&](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool& cancel) {
        cancel = ++calls == 2;
    });
    EXPECT_EQ(ErrorOf([&] { ed.SaveToFile(target, true); }), QString::fromLatin1(wqhstr::OperationCancelled));
    EXPECT_EQ(ReadFile(target), QByteArray("previous content"));
    EXPECT_TRUE(TempLeftovers().isEmpty()) << TempLeftovers().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(ed.Filename(), QStringLiteral("Untitled"));
    EXPECT_EQ(ed.DataSize(), 200000);
}

TEST_F(StoreEditor, SaveRangeChecksItsRangeBeforeWriting)
{
    Load(Pattern(10));
    platform::TMemoryStream out;
    ed.SaveRangeToStream(out, 7, -1);
    EXPECT_EQ(out.Bytes(), QByteArray(reinterpret_cast<const char*>(Pattern(10).data()) + 7, 3));
    ed.SaveRangeToStream(out, 10, -1); // at the end: nothing more
    ed.SaveRangeToStream(out, 10, 0);
    EXPECT_EQ(out.Size(), 3);
    progress.clear();

    // Past the end: the data's read error, and nothing written.
    const QString readError = QStringLiteral("Stream read error");
    platform::TMemoryStream bad;
    bad.WriteBuffer("keep", 4);
    for (const auto& [pos, count] : {std::pair{8, 5}, {11, -1}, {11, 0}, {0, 11}, {1, 0x7FFFFFFF}}) {
        SCOPED_TRACE(pos);
        try {
            ed.SaveRangeToStream(bad, pos, count);
            ADD_FAILURE() << "no exception";
        } catch (const platform::EReadError& e) {
            EXPECT_EQ(e.Message(), readError);
        }
    }
    // Positions and counts no range has are bad arguments.
    EXPECT_EQ(ErrorOf([&] { ed.SaveRangeToStream(bad, -1, 2); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.SaveRangeToStream(bad, 2, -2); }), kBounds);
    EXPECT_EQ(bad.Bytes(), QByteArray("keep"));
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(ed.DataSize(), 10);
}

TEST_F(StoreEditor, CopyOfNothingCopiesReportsAndRaisesNothing)
{
    Load(Pattern(10));
    platform::TMemoryStream src;
    src.WriteBuffer("abc", 3);
    platform::TMemoryStream out;
    for (std::int64_t at : {0, 3, 7}) {  // also past the source's end
        SCOPED_TRACE(at);
        src.SetPosition(at);
        EXPECT_NO_THROW(ed.Stream2Stream(src, out, pkSave, 0));
        EXPECT_EQ(src.Position(), at);
    }
    // Into and out of the data block.
    ed.DataStorage().SetPosition(10);
    EXPECT_NO_THROW(ed.Stream2Stream(ed.DataStorage(), out, pkSave, 0));
    EXPECT_NO_THROW(ed.Stream2Stream(src, ed.DataStorage(), pkLoad, 0));
    EXPECT_EQ(out.Size(), 0);
    EXPECT_EQ(Data(), Pattern(10));
    EXPECT_TRUE(progress.empty());
}

// ---- data set and simple access ---------------------------------------------------

TEST_F(StoreEditor, EmptyDataSetAndModifiedFlag)
{
    Load(Pattern(3));
    const uint8_t b = 1;
    ed.WriteBuffer(&b, 0, 1);
    EXPECT_FALSE(ed.Modified());  // WriteBuffer records nothing and leaves the flag
    ed.CreateEmptyFile(QStringLiteral("scratch"));
    EXPECT_EQ(ed.Filename(), QStringLiteral("scratch"));
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(ed.ReadOnlyFile());
    EXPECT_FALSE(ed.HasFile());
    ed.SetModified(true);
    EXPECT_FALSE(ed.Modified());  // no data and no such file
    ed.AppendBuffer(&b, 1, QString(), false);
    EXPECT_TRUE(ed.Modified());
    ed.SetModified(false);
    EXPECT_FALSE(ed.Modified());
    EXPECT_FALSE(ed.CanUndo());

    // Without data only a file of that name counts; a folder is no file.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    ed.CreateEmptyFile(Path("folder"));
    ed.SetModified(true);
    EXPECT_FALSE(ed.Modified());
    WriteFile(Path("file"), "x");
    ed.CreateEmptyFile(Path("file"));
    ed.SetModified(true);
    EXPECT_TRUE(ed.Modified());
}

TEST_F(StoreEditor, BoundsCheckedAccessChangesNothing)
{
    Load(Pattern(4));
    uint8_t buf[4] = {};
    EXPECT_EQ(ErrorOf([&] { ed.GetDataAt(4); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.SetDataAt(-1, 0); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.ReadBuffer(buf, 2, -1); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.WriteBuffer(buf, 3, 2); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.GetFastPointer(1, 0x7FFFFFFF); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.InsertBuffer(buf, -1, 0, QString(), false); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.InsertBuffer(buf, 1, 5, QString(), false); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.InsertBuffer(buf, 0x7FFFFFFF, 0, QString(), false); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.AppendBuffer(buf, -3, QString(), false); }), kBounds);
    EXPECT_EQ(ErrorOf([&] { ed.SetDataSize(-1); }), kBounds);
    EXPECT_EQ(Data(), Pattern(4));
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_FALSE(ed.Modified());
    EXPECT_EQ(changes, 0);
    ed.SetMemory(1, QChar(0x141));  // low byte of the character
    EXPECT_EQ(ed.GetDataAt(1), 0x41);
    EXPECT_EQ(ed.GetMemory(1), QChar(0x41));
}

TEST_F(StoreEditor, BufferFromFileCutsTheCountToTheData)
{
    Load(Pattern(10));
    int count = 10;
    auto copy = ed.BufferFromFile(8, count);
    ASSERT_TRUE(copy);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(copy[0], Pattern(10)[8]);
    EXPECT_EQ(copy[1], Pattern(10)[9]);
    const QString invalid = QString::fromLatin1(wqhstr::InvalidBufferFromFile);
    count = 1;
    EXPECT_EQ(ErrorOf([&] { ed.BufferFromFile(10, count); }), invalid);
    EXPECT_EQ(ErrorOf([&] { ed.BufferFromFile(-1, count); }), invalid);
    count = -4;
    EXPECT_EQ(ErrorOf([&] { ed.BufferFromFile(0, count); }), invalid);
}

// Address space as used now plus a margin, while it lives.
class ScopedAddressSpaceLimit {
public:
    explicit ScopedAddressSpaceLimit(long long margin)
    {
        ::getrlimit(RLIMIT_AS, &saved_);
        long long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%lld", &pages) != 1)
                pages = 0;
            std::fclose(f);
        }
        rlimit lower = saved_;
        lower.rlim_cur = static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + margin);
        ok_ = pages > 0 && ::setrlimit(RLIMIT_AS, &lower) == 0;
    }
    ~ScopedAddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &saved_); }
    bool ok() const { return ok_; }

private:
    rlimit saved_{};
    bool ok_ = false;
};

TEST_F(StoreEditor, BufferFromFileWithoutMemoryRaises)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator aborts instead of failing";
#endif
    const int size = 64 << 20;
    Load(Bytes(static_cast<size_t>(size), 0x5A));
    int count = size;
    bool raised = false;
    {
        ScopedAddressSpaceLimit limit(8 << 20);
        ASSERT_TRUE(limit.ok());
        try {
            ed.BufferFromFile(0, count);
        } catch (const std::bad_alloc&) {
            raised = true;
        }
    }
    EXPECT_TRUE(raised);
    EXPECT_EQ(ed.DataSize(), size);
}

TEST_F(StoreEditor, SetDataSizeFillsWithoutOnChangeAndKeepsFixedSizeRule)
{
    Load(Pattern(10));
    ed.SetSetDataSizeFillByte(0xFF);
    ed.SetDataSize(16);
    Bytes expected = Pattern(10);
    expected.insert(expected.end(), 6, 0xFF);
    EXPECT_EQ(Data(), expected);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(ed.Modified());
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Append buffer"));
    ed.Undo();
    EXPECT_EQ(Data(), Pattern(10));

    ed.SetNoSizeChange(true);
    EXPECT_EQ(ErrorOf([&] { ed.SetDataSize(12); }), QString::fromLatin1(wqhstr::CannotChangeFixedSize));
    EXPECT_EQ(ed.DataSize(), 10);
    EXPECT_TRUE(ed.IsFileSizeFixed());
    ed.SetDataSize(0);
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_TRUE(ed.IsFileSizeFixed());  // the override ended with the call
    ed.SetDataSize(3);
    EXPECT_EQ(Data(), (Bytes{0xFF, 0xFF, 0xFF}));
}

TEST_F(StoreEditor, ShrinkingMovesTheCaretBackIntoTheData)
{
    Load(Pattern(40));
    ed.SetSelStart(35);
    ed.SetSelEnd(38);
    ed.SetDataSize(20);
    EXPECT_EQ(ed.SelCount(), 0);
    EXPECT_EQ(ed.GetCursorPos(), 19);
    EXPECT_LT(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 20);
}

// ---- insert, append, replace, delete ---------------------------------------------

TEST_F(StoreEditor, InsertSelectsTheNewBytesAndCutsMarks)
{
    Load(Pattern(8));
    ed.SetChanged(2, true);
    ed.SetChanged(6, true);
    const uint8_t in[3] = {0xA1, 0xA2, 0xA3};
    ed.InsertBuffer(in, 3, 5, QString(), true);
    Bytes expected = Pattern(8);
    expected.insert(expected.begin() + 5, in, in + 3);
    EXPECT_EQ(Data(), expected);
    EXPECT_TRUE(ed.HasChanged(2));
    EXPECT_FALSE(ed.HasChanged(9));  // the old mark of byte 6 does not follow it
    EXPECT_EQ(ed.SelCount(), 3);
    EXPECT_TRUE(ed.IsSelected(5));
    EXPECT_TRUE(ed.IsSelected(7));
    EXPECT_EQ(ed.GetCursorPos(), 7);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Insert buffer"));
    ed.Undo();
    EXPECT_EQ(Data(), Pattern(8));
}

TEST_F(StoreEditor, AppendWithoutBufferOrBytesDoesNothing)
{
    Load(Pattern(4));
    const uint8_t b = 0;
    ed.AppendBuffer(nullptr, 3, QStringLiteral("x"), true);
    ed.AppendBuffer(&b, 0, QStringLiteral("x"), true);
    EXPECT_EQ(Data(), Pattern(4));
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_EQ(changes, 0);
    const uint8_t in[2] = {5, 6};
    ed.AppendBuffer(in, 2, QStringLiteral("tail"), true);
    EXPECT_EQ(ed.DataSize(), 6);
    EXPECT_EQ(ed.GetCursorPos(), 4);
    EXPECT_EQ(ed.SelCount(), 2);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("tail"));
}

TEST_F(StoreEditor, ReplaceSelectionWithFixedSizeKeepsTheSize)
{
    Load(Bytes{0, 1, 2, 3, 4, 5, 6, 7});
    ed.SetNoSizeChange(true);
    ed.SetSelStart(2);
    ed.SetSelEnd(5);
    const uint8_t six[6] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    ed.ReplaceSelection(six, 6, QString(), true);
    EXPECT_EQ(Data(), (Bytes{0, 1, 0xA0, 0xA1, 0xA2, 0xA3, 6, 7}));

    ed.SetSelStart(2);
    ed.SetSelEnd(5);
    const uint8_t two[2] = {0xB0, 0xB1};
    ed.ReplaceSelection(two, 2, QString(), true);
    EXPECT_EQ(Data(), (Bytes{0, 1, 0xB0, 0xB1, 0xA2, 0xA3, 6, 7}));
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Replace"));
    ed.Undo();
    EXPECT_EQ(Data(), (Bytes{0, 1, 0xA0, 0xA1, 0xA2, 0xA3, 6, 7}));
}

TEST_F(StoreEditor, ReplaceSelectionGrowsAndSelectsWithTheAnchorOnTheLastByte)
{
    Load(Bytes{0, 1, 2, 3, 4});
    ed.SetSelStart(1);
    ed.SetSelEnd(2);
    const uint8_t in[3] = {9, 8, 7};
    ed.ReplaceSelection(in, 3, QString(), true);
    EXPECT_EQ(Data(), (Bytes{0, 9, 8, 7, 3, 4}));
    EXPECT_EQ(ed.SelCount(), 3);
    EXPECT_EQ(ed.SelStart(), 3);  // the anchor
    EXPECT_EQ(ed.GetCursorPos(), 3);
    // Without a selection it inserts at the caret.
    ed.ResetSelection(false);
    ed.SetSelStart(0);
    const uint8_t one = 0x55;
    ed.ReplaceSelection(&one, 1, QString(), false);
    EXPECT_EQ(Data(), (Bytes{0x55, 0, 9, 8, 7, 3, 4}));
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Insert buffer"));
}

TEST_F(StoreEditor, ReplaceSelectionWithoutABufferLeavesTheMovedBytesInTheGap)
{
    Load(Bytes{0x10, 0x11, 0x12, 0x13, 0x14, 0x15});
    ed.SetSelStart(1);
    ed.SetSelEnd(2);
    ed.ReplaceSelection(nullptr, 3, QString(), true);
    // 11 12 go, three bytes open at 1 and keep the old values of the bytes moved up.
    EXPECT_EQ(Data(), (Bytes{0x10, 0x13, 0x14, 0x15, 0x13, 0x14, 0x15}));
    EXPECT_EQ(ed.SelCount(), 3);
    EXPECT_EQ(ed.GetCursorPos(), 3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Replace"));
    ed.Undo();
    EXPECT_EQ(Data(), (Bytes{0x10, 0x11, 0x12, 0x13, 0x14, 0x15}));

    // At the end there are no moved bytes: the gap is zeros, as for InsertBuffer.
    ed.SetSelStart(4);
    ed.SetSelEnd(5);
    ed.ReplaceSelection(nullptr, 3, QString(), false);
    EXPECT_EQ(Data(), (Bytes{0x10, 0x11, 0x12, 0x13, 0, 0, 0}));
    EXPECT_EQ(ed.SelCount(), 0);
}

TEST_F(StoreEditor, DeleteSelectionRemovesTheSelectionOrTheByteAtTheCaret)
{
    Load(Bytes{0, 1, 2, 3, 4, 5});
    ed.SetSelStart(1);
    ed.SetSelEnd(3);
    ed.DeleteSelection(QString());
    EXPECT_EQ(Data(), (Bytes{0, 4, 5}));
    EXPECT_EQ(ed.SelCount(), 0);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Remove data"));
    ed.SetSelStart(2);
    ed.DeleteSelection(QStringLiteral("cut"));
    EXPECT_EQ(Data(), (Bytes{0, 4}));
    EXPECT_EQ(ed.GetCursorPos(), 1);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("cut"));
}

// The bytes of an edit may come from the control's own data (GetFastPointer):
// they are read before the block grows or its tail moves. Random bytes, so
// that bytes read from a wrong place never match by chance.
TEST_F(StoreEditor, SourceInsideTheDataIsTakenAsItWasBeforeTheEdit)
{
    enum Op { Insert, Append, ReplaceSel, ReplaceAt };
    const char* names[] = {"InsertBuffer", "AppendBuffer", "ReplaceSelection", "Replace"};
    std::mt19937 rng(25);
    for (const int size : {4096, 0x180000}) {
        const int n = size == 4096 ? 1000 : 0x60000;
        Bytes original(static_cast<size_t>(size));
        for (auto& b : original)
            b = static_cast<std::uint8_t>(rng());
        for (const int from : {0, (size - n) / 2, size - n}) {
            for (const Op op : {Insert, Append, ReplaceSel, ReplaceAt}) {
                SCOPED_TRACE(std::string(names[op]) + " of " + std::to_string(n) + " bytes from " +
                             std::to_string(from) + " of " + std::to_string(size));
                Load(original);
                const Bytes source(original.begin() + from, original.begin() + from + n);
                const std::uint8_t* inside = ed.GetFastPointer(from, n);
                Bytes expected = original;
                const int at = size / 3;
                switch (op) {
                case Insert:
                    ed.InsertBuffer(inside, n, at, QString(), false);
                    expected.insert(expected.begin() + at, source.begin(), source.end());
                    break;
                case Append:
                    ed.AppendBuffer(inside, n, QString(), false);
                    expected.insert(expected.end(), source.begin(), source.end());
                    break;
                case ReplaceSel:
                    ed.SetSelection(at, at, at + n / 2 - 1);
                    ed.ReplaceSelection(inside, n, QString(), false);
                    expected.erase(expected.begin() + at, expected.begin() + at + n / 2);
                    expected.insert(expected.begin() + at, source.begin(), source.end());
                    break;
                case ReplaceAt:
                    EXPECT_EQ(ed.Replace(inside, at, n / 2, n, QString(), false), n);
                    expected.erase(expected.begin() + at, expected.begin() + at + n / 2);
                    expected.insert(expected.begin() + at, source.begin(), source.end());
                    break;
                }
                ASSERT_EQ(ed.DataSize(), static_cast<int>(expected.size()));
                EXPECT_TRUE(Data() == expected);
                ASSERT_TRUE(ed.Undo());
                EXPECT_TRUE(Data() == original);
            }
        }
    }
    // The plain way to double the data.
    for (const int size : {64, 1000, 4096, 0x180000}) {
        SCOPED_TRACE("doubling " + std::to_string(size) + " bytes");
        Bytes original(static_cast<size_t>(size));
        for (auto& b : original)
            b = static_cast<std::uint8_t>(rng());
        Load(original);
        ed.AppendBuffer(ed.GetFastPointer(0, size), size, QString(), false);
        Bytes expected = original;
        expected.insert(expected.end(), original.begin(), original.end());
        EXPECT_TRUE(Data() == expected);
    }
}

TEST_F(StoreEditor, FailedEditLeavesNoUndoStepAndRestoresFlagAndBookmarks)
{
    Load(Pattern(10));
    ed.SetBookmark(1, TWQHBookmark{8, false});
    const uint8_t first = 1;
    ed.InsertBuffer(&first, 1, 0, QStringLiteral("first"), false);
    ed.SetModified(false);  // also empties the undo store
    ed.InsertBuffer(&first, 1, 0, QStringLiteral("kept"), false);
    ed.SetModified(false);
    const Bytes before = Data();
    const int steps = UndoSteps();
    const TWQHBookmarks marks = ed.Bookmarks();
    ASSERT_EQ(marks[1].mPosition, 10);
    ed.failWrites = true;
    const uint8_t in[2] = {7, 7};
    EXPECT_THROW(ed.InsertBuffer(in, 2, 0, QStringLiteral("fails"), false), platform::EWriteError);
    EXPECT_EQ(Data(), before);
    EXPECT_EQ(UndoSteps(), steps);
    EXPECT_FALSE(ed.Modified());
    EXPECT_EQ(ed.Bookmarks(), marks);
    ed.SetSelStart(2);
    ed.SetSelEnd(3);
    EXPECT_THROW(ed.ReplaceSelection(in, 2, QString(), false), platform::EWriteError);
    EXPECT_EQ(Data(), before);
    EXPECT_EQ(UndoSteps(), steps);
    EXPECT_EQ(ed.Bookmarks(), marks);
    EXPECT_THROW(ed.AppendBuffer(in, 2, QString(), false), platform::EWriteError);
    EXPECT_EQ(Data(), before);
    EXPECT_EQ(UndoSteps(), steps);
    EXPECT_FALSE(ed.Modified());
}

// ---- erase at the caret ---------------------------------------------------------

TEST_F(StoreEditor, BackspaceAtTheAppendPositionWithUnitTwoTakesOnlyTheOddByte)
{
    Load(Bytes{1, 2, 3, 4, 5});
    ed.SetBytesPerUnit(2);
    ed.SetInsertMode(true);
    ASSERT_TRUE(ed.InsertMode());
    ed.SeekToEOF();
    ASSERT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 5);
    ed.InternalErase(true, QString());
    EXPECT_EQ(Data(), (Bytes{1, 2, 3, 4}));
    ed.SeekToEOF();
    ed.InternalErase(true, QString());
    EXPECT_EQ(Data(), (Bytes{1, 2}));
}

TEST_F(StoreEditor, BackspaceInOverwriteModeRemovesTheUnitBeforeTheCaret)
{
    Load(Bytes{1, 2, 3, 4, 5});
    ed.SetSelStart(2);
    ed.InternalErase(true, QString());
    EXPECT_EQ(Data(), (Bytes{1, 3, 4, 5}));
    EXPECT_EQ(ed.GetCursorPos(), 1);
    ed.SetSelStart(0);
    ed.InternalErase(true, QString());  // nothing before the first byte
    EXPECT_EQ(Data(), (Bytes{1, 3, 4, 5}));
}

TEST_F(StoreEditor, DeleteAtTheAppendPositionTakesTheLastUnit)
{
    // The caret position reads the append position as the last byte.
    Load(Bytes{1, 2, 3, 4, 5, 6, 7});
    ed.SetBytesPerUnit(2);
    ed.SetInsertMode(true);
    ed.SeekToEOF();
    ASSERT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 7);
    ed.InternalErase(false, QString());  // the unit 6..7 holds one byte
    EXPECT_EQ(Data(), (Bytes{1, 2, 3, 4, 5, 6}));
    ed.SeekToEOF();
    ed.InternalErase(false, QString());
    EXPECT_EQ(Data(), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(UndoSteps(), 2);
    EXPECT_EQ(changes, 2);

    // The selection delete has no byte at the append position.
    ed.SeekToEOF();
    ed.DeleteSelection(QString());
    EXPECT_EQ(Data(), (Bytes{1, 2, 3, 4}));
    ed.SetSelStart(1);
    ed.InternalErase(false, QString());
    EXPECT_EQ(Data(), (Bytes{3, 4}));  // the whole unit under the caret
}

TEST_F(StoreEditor, EraseWithoutDataDoesNothing)
{
    Load(Bytes{});
    ed.SetInsertMode(true);
    EXPECT_NO_THROW(ed.InternalErase(false, QString()));
    EXPECT_NO_THROW(ed.InternalErase(true, QString()));
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_EQ(changes, 0);
}

// ---- nibbles ------------------------------------------------------------------

TEST_F(StoreEditor, NibbleOperationsGiveTheExactBytes)
{
    struct Case {
        bool insert;
        int pos;
        bool high;
        Bytes expected;
    };
    const Case cases[] = {
        {true, 0, true, {0x01, 0x23, 0x40}},  {true, 0, false, {0x10, 0x23, 0x40}},
        {false, 0, true, {0x23, 0x40}},       {false, 0, false, {0x13, 0x40}},
        {false, 1, true, {0x12, 0x40}},       {false, 1, false, {0x12, 0x30}},
        {true, 1, true, {0x12, 0x03, 0x40}},  {true, 1, false, {0x12, 0x30, 0x40}},
    };
    for (const Case& c : cases) {
        Load(Bytes{0x12, 0x34});
        const bool ok = c.insert ? ed.InsertNibble(c.pos, c.high, QString()) : ed.DeleteNibble(c.pos, c.high, QString());
        EXPECT_TRUE(ok);
        EXPECT_EQ(Data(), c.expected) << c.insert << c.pos << c.high;
        EXPECT_EQ(changes, 1);
        ed.Undo();
        EXPECT_EQ(Data(), (Bytes{0x12, 0x34})) << "undo " << c.insert << c.pos << c.high;
    }
    EXPECT_TRUE(TempLeftovers().isEmpty());
}

TEST_F(StoreEditor, NibbleShiftAcrossManyBlocksMatchesANibbleByNibbleModel)
{
    const Bytes data = Pattern(1300);
    std::vector<int> nibbles;
    for (std::uint8_t b : data) {
        nibbles.push_back(b >> 4);
        nibbles.push_back(b & 15);
    }
    auto pack = [](const std::vector<int>& n) {
        Bytes b;
        for (size_t i = 0; i + 1 < n.size(); i += 2)
            b.push_back(static_cast<std::uint8_t>(n[i] << 4 | n[i + 1]));
        return b;
    };
    Load(data);
    ASSERT_TRUE(ed.InsertNibble(100, false, QString()));
    std::vector<int> ins = nibbles;
    ins.insert(ins.begin() + 201, 0);
    ins.push_back(0);
    EXPECT_EQ(Data(), pack(ins));

    Load(data);
    ASSERT_TRUE(ed.DeleteNibble(3, true, QString()));
    std::vector<int> del = nibbles;
    del.erase(del.begin() + 6);
    del.push_back(0);
    EXPECT_EQ(Data(), pack(del));
}

TEST_F(StoreEditor, NibbleEdgesEmptyDataAndOutside)
{
    Load(Bytes{});
    EXPECT_TRUE(ed.InsertNibble(5, true, QString()));
    EXPECT_EQ(Data(), (Bytes{0}));
    Load(Bytes{1, 2});
    EXPECT_FALSE(ed.InsertNibble(2, true, QString()));
    EXPECT_FALSE(ed.DeleteNibble(-1, true, QString()));
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(Data(), (Bytes{1, 2}));
}

TEST_F(StoreEditor, NibbleEditWithoutATemporaryFileLeavesNothingBehind)
{
    Load(Bytes{0x12, 0x34, 0x56});
    ed.SetBookmark(0, TWQHBookmark{2, false});
    const TWQHBookmarks marks = ed.Bookmarks();
    const TCursor cursor = ed.Cursor();
    qputenv("TMPDIR", "/nonexistent-folder-for-wqht-test");
    EXPECT_THROW(ed.InsertNibble(0, true, QString()), platform::EFCreateError);
    EXPECT_THROW(ed.DeleteNibble(0, true, QString()), platform::EFCreateError);
    EXPECT_EQ(Data(), (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_FALSE(ed.Modified());
    EXPECT_EQ(ed.Bookmarks(), marks);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(ed.Cursor(), cursor);  // the wait cursor was taken back
}

TEST_F(StoreEditor, NibbleEditWhoseTemporaryFileCannotBeWrittenLeavesNothingBehind)
{
    const Bytes data = Pattern(5000);
    Load(data);
    // Files may not grow past 1000 bytes for a moment: the shifted copy fails half way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error = ErrorOf([&] { ed.InsertNibble(10, true, QString()); });
    error += ErrorOf([&] { ed.DeleteNibble(10, false, QString()); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(error.contains(QStringLiteral("write error"))) << error.toStdString();
    EXPECT_EQ(Data(), data);
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_FALSE(ed.Modified());
    EXPECT_TRUE(TempLeftovers().isEmpty());
    EXPECT_EQ(changes, 0);
}

// A temporary stream whose reads stop after a given number of bytes.
class ShortReadStream : public platform::TMemoryStream {
public:
    explicit ShortReadStream(std::int64_t readable) : readable_(readable) {}
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        const std::int64_t n = std::min(count, readable_);
        readable_ -= n;
        return platform::TMemoryStream::Read(buffer, n);
    }

private:
    std::int64_t readable_;
};

TEST_F(StoreEditor, NibbleEditWhoseShiftedCopyCannotBeReadBackPutsEverythingBack)
{
    struct MakerGuard {
        ~MakerGuard() { SetTempStreamMaker({}); }
    } guard;
    const Bytes data = Pattern(3000);
    // From no byte at all to all but the last block of the 2990 read back.
    for (const int readable : {0, 300, 512, 1200, 2560}) {
        for (const bool insert : {true, false}) {
            for (const bool high : {true, false}) {
                SetTempStreamMaker([readable] { return std::make_unique<ShortReadStream>(readable); });
                Load(data);
                ed.SetBookmark(0, TWQHBookmark{2500, false});
                ed.SetModified(false);
                ed.SetChanged(4, true);
                ed.SetChanged(2000, true);
                changes = 0;
                const TWQHBookmarks marks = ed.Bookmarks();
                EXPECT_THROW(insert ? ed.InsertNibble(10, high, QString()) : ed.DeleteNibble(10, high, QString()),
                             platform::EReadError)
                    << readable << insert << high;
                EXPECT_EQ(ed.DataSize(), 3000) << readable << insert << high;
                EXPECT_TRUE(Data() == data) << readable << insert << high;
                EXPECT_TRUE(ed.HasChanged(4));
                EXPECT_TRUE(ed.HasChanged(2000));
                EXPECT_FALSE(ed.HasChanged(10));
                EXPECT_EQ(ed.Bookmarks(), marks);
                EXPECT_EQ(UndoSteps(), 0);
                EXPECT_FALSE(ed.Modified());
                EXPECT_EQ(changes, 0);
            }
        }
    }
    // With the whole copy readable the same edits go through.
    SetTempStreamMaker([] { return std::make_unique<ShortReadStream>(3000); });
    Load(Bytes{0x12, 0x34, 0x56});
    EXPECT_TRUE(ed.InsertNibble(1, true, QString()));
    EXPECT_EQ(Data(), (Bytes{0x12, 0x03, 0x45, 0x60}));
    EXPECT_TRUE(ed.DeleteNibble(0, false, QString()));
    EXPECT_EQ(Data(), (Bytes{0x10, 0x34, 0x56, 0x00}));
}

TEST_F(StoreEditor, FixedSizeRefusesNibbleEditsBeforeAnyChange)
{
    Load(Bytes{0x12, 0x34});
    ed.SetNoSizeChange(true);
    EXPECT_EQ(ErrorOf([&] { ed.InsertNibble(0, true, QString()); }), QString::fromLatin1(wqhstr::CannotUpdateUndo));
    EXPECT_EQ(Data(), (Bytes{0x12, 0x34}));
    EXPECT_FALSE(ed.Modified());
}

// ---- conversion, seeking, text ---------------------------------------------------

TEST_F(StoreEditor, ConvertRangeReencodesOnlyValidRanges)
{
    Load(Bytes{'A', 'a', '1'});
    ed.ConvertRange(1, 0, tkAsIs, tkBCD, QString());
    ed.ConvertRange(0, 3, tkAsIs, tkBCD, QString());
    ed.ConvertRange(0, 2, tkBCD, tkBCD, QString());
    EXPECT_EQ(UndoSteps(), 0);
    ed.ConvertRange(0, 1, tkAsIs, tkBCD, QString());
    EXPECT_EQ(Data(), (Bytes{0xC1, 0x81, '1'}));
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Convert"));
    ed.Undo();
    EXPECT_EQ(Data(), (Bytes{'A', 'a', '1'}));
}

TEST_F(StoreEditor, SeekClampsAndClearsTheSelection)
{
    Load(Pattern(20));
    EXPECT_EQ(ed.Seek(5, 0), 5);
    EXPECT_EQ(ed.Seek(3, 1), 8);
    EXPECT_EQ(ed.Seek(-2, 2), 17);
    EXPECT_EQ(ed.Seek(100, 0), 19);
    EXPECT_EQ(ed.Seek(-100, 1), 0);
    EXPECT_EQ(ed.Seek(4, 0), 4);
    EXPECT_EQ(ed.Seek(77, 9), 4);
    EXPECT_EQ(ed.GetCursorPos(), 4);
    Load(Bytes{});
    EXPECT_EQ(ed.Seek(0, 0), -1);
}

TEST_F(StoreEditor, TextAndHexProperties)
{
    Load(Bytes{0x41, 0x00, 0xFF});
    const QString text = ed.AsText();
    ASSERT_EQ(text.size(), 3);
    EXPECT_EQ(text.at(0).unicode(), 0x41);
    EXPECT_EQ(text.at(1).unicode(), 0x00);
    EXPECT_EQ(text.at(2).unicode(), 0xFF);
    EXPECT_EQ(ed.AsHex(), QStringLiteral("4100FF"));
    EXPECT_EQ(ed.SelectionAsText(), QString());
    ed.SetSelStart(1);
    ed.SetSelEnd(2);
    EXPECT_EQ(ed.SelectionAsHex(), QStringLiteral("00FF"));
    ed.SetSelectionAsHex(QStringLiteral("ab-cd ef"));
    EXPECT_EQ(Data(), (Bytes{0x41, 0xAB, 0xCD, 0xEF}));
    ed.SetAsHex(QStringLiteral("0102"));
    EXPECT_EQ(Data(), (Bytes{1, 2}));
    ed.SetAsText(QString::fromLatin1("xyz"));
    EXPECT_EQ(Data(), (Bytes{'x', 'y', 'z'}));
}

TEST_F(StoreEditor, EmptyTextRemovesAllDataInOneStep)
{
    Load(Pattern(6));
    ed.SetAsText(QString());
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(UndoSteps(), 1);
    ed.Undo();
    EXPECT_EQ(Data(), Pattern(6));
    Load(Pattern(6));
    ed.SetAsHex(QStringLiteral("zz"));
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(UndoSteps(), 1);
}

TEST_F(StoreEditor, EmptyTextWithoutDataInsertsNothingAsAnUndoableStep)
{
    Load(Bytes{});
    ed.SetAsText(QString());
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(UndoSteps(), 1);
    EXPECT_EQ(ed.UndoDescription(), QStringLiteral("Insert buffer"));
    EXPECT_EQ(changes, 1);
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(ed.DataSize(), 0);

    Load(Bytes{});
    ed.SetAsHex(QStringLiteral("zz"));
    EXPECT_EQ(ed.DataSize(), 0);
    EXPECT_EQ(UndoSteps(), 1);
    EXPECT_EQ(changes, 1);

    // A fixed size refuses even an insert of nothing.
    Load(Bytes{});
    ed.SetNoSizeChange(true);
    EXPECT_EQ(ErrorOf([&] { ed.SetAsText(QString()); }), QString::fromLatin1(wqhstr::CannotUpdateUndo));
    EXPECT_EQ(ErrorOf([&] { ed.SetAsHex(QString()); }), QString::fromLatin1(wqhstr::CannotUpdateUndo));
    EXPECT_EQ(UndoSteps(), 0);
    EXPECT_EQ(changes, 0);
}

TEST_F(StoreEditor, CharactersAboveByteRangeAreRefusedWithoutChange)
{
    Load(Bytes{1, 2});
    EXPECT_THROW(ed.SetAsText(QString(QChar(0x263A))), EWQHexEditor);
    ed.SetSelStart(0);
    ed.SetSelEnd(0);
    EXPECT_THROW(ed.SetSelectionAsText(QStringLiteral("a") + QChar(0x100)), EWQHexEditor);
    EXPECT_EQ(Data(), (Bytes{1, 2}));
    EXPECT_EQ(UndoSteps(), 0);
    ed.SetSelectionAsText(QString(QChar(0xE9)));
    EXPECT_EQ(Data(), (Bytes{0xE9, 2}));
}

// ---- insert mode and marks -------------------------------------------------------

TEST_F(StoreEditor, InsertModeSwitchClearsMarksAndHidesThem)
{
    Load(Pattern(16));
    ed.SetChanged(3, true);
    EXPECT_TRUE(ed.HasChanged(3));
    ed.SetInsertMode(true);
    EXPECT_FALSE(ed.HasChanged(3));
    EXPECT_EQ(ed.RowCount(), 4);  // room for the append position
    ed.SetChanged(5, true);
    EXPECT_FALSE(ed.HasChanged(5));
    ed.SetInsertMode(false);
    EXPECT_EQ(ed.RowCount(), 3);
    EXPECT_FALSE(ed.HasChanged(3));
    EXPECT_FALSE(ed.HasChanged(5));
}

TEST_F(StoreEditor, MarksSetPastTheDataGrowAndShowOnceTheDataReachesThem)
{
    Load(Pattern(16));
    ed.SetChanged(0, true);
    ed.SetChanged(40, true);
    EXPECT_TRUE(ed.HasChanged(0));
    EXPECT_TRUE(ed.HasChanged(40));
    EXPECT_FALSE(ed.HasChanged(39));
    ed.SetChanged(-1, true);  // no position before 0
    EXPECT_FALSE(ed.HasChanged(-1));
    ed.SetChanged(60, false);  // clearing past the marks adds none
    EXPECT_FALSE(ed.HasChanged(60));
    // Growing the data keeps the marks: byte 40 now shows as changed.
    ed.SetDataSize(48);
    EXPECT_TRUE(ed.HasChanged(40));
    EXPECT_TRUE(ed.HasChanged(0));
    EXPECT_FALSE(ed.HasChanged(16));
    ed.SetChanged(40, false);
    EXPECT_FALSE(ed.HasChanged(40));
}

TEST_F(StoreEditor, InsertModeNeedsAChangeableSize)
{
    Load(Pattern(4));
    ed.SetInsertMode(true);
    ed.SetNoSizeChange(true);
    EXPECT_FALSE(ed.InsertMode());
    ed.SetInsertMode(true);
    EXPECT_FALSE(ed.InsertMode());
    ed.SetNoSizeChange(false);
    EXPECT_FALSE(ed.InsertMode());  // switched off, not just hidden
    ed.SetAllowInsertMode(false);
    ed.SetInsertMode(true);
    EXPECT_FALSE(ed.InsertMode());
    EXPECT_FALSE(ed.IsInsertModePossible());
}

TEST_F(StoreEditor, InsertModeWriteIsIgnoredWhileImpossibleAlsoWhenSwitchingOff)
{
    Load(Pattern(16));
    ed.SetInsertMode(true);
    ed.SetReadOnlyView(true);  // hides the mode, leaves it requested
    EXPECT_FALSE(ed.InsertMode());
    ed.SetChanged(3, true);
    ed.SetInsertMode(false);
    EXPECT_TRUE(ed.HasChanged(3)) << "the marks stay: nothing was switched";
    ed.SetReadOnlyView(false);
    EXPECT_TRUE(ed.InsertMode()) << "the request is still on";
    ed.SetInsertMode(false);
    EXPECT_FALSE(ed.InsertMode());
}

TEST_F(StoreEditor, LeavingInsertModeMovesTheCaretOffTheAppendPosition)
{
    Load(Pattern(5));
    ed.SetInsertMode(true);
    ed.SeekToEOF();
    ASSERT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 5);
    ed.SetInsertMode(false);
    EXPECT_EQ(ed.GetPositionAtCursor(ed.Col(), ed.Row()), 4);
}
