#include "hexeditor/wqhmemorystream.h"

#include "hexeditor/wqhnumbers.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhtranslate.h"
#include "platform/seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

void WQHCheckBounds(std::int64_t Index, std::int64_t Count, std::int64_t Size)
{
    if (Index < 0 || Count < 0 || Index > Size || Count > Size - Index)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));
}

// ---- TWQHMemoryStream ---------------------------------------------------------

TWQHMemoryStream::~TWQHMemoryStream() { std::free(FMemory); }

void TWQHMemoryStream::Reserve(std::int64_t NewSize)
{
    if (NewSize <= FCapacity)
        return;
    // Room to grow so that a run of small inserts does not reallocate each time.
    std::int64_t cap = std::max<std::int64_t>(NewSize, FCapacity + FCapacity / 4);
    cap = std::min<std::int64_t>(std::max<std::int64_t>(cap, 64), WQH_MAX_DATA_SIZE);
    auto* p = static_cast<std::uint8_t*>(std::realloc(FMemory, static_cast<size_t>(cap)));
    if (!p)
        throw std::bad_alloc();
    FMemory = p;
    FCapacity = cap;
}

void TWQHMemoryStream::Resize(std::int64_t NewSize, bool ZeroFill)
{
    if (NewSize < 0 || NewSize > WQH_MAX_DATA_SIZE)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));
    if (NewSize == 0) {
        Clear();
        return;
    }
    if (NewSize > FCapacity) {
        // A block that is much too small is replaced rather than grown, so
        // that its old contents are not copied along for nothing.
        if (FSize == 0 && FMemory) {
            std::free(FMemory);
            FMemory = nullptr;
            FCapacity = 0;
        }
        Reserve(NewSize);
    } else if (NewSize < FCapacity / 4 && FCapacity > (1 << 20)) {
        // Give most of a large block back after a big cut.
        if (auto* p = static_cast<std::uint8_t*>(std::realloc(FMemory, static_cast<size_t>(NewSize)))) {
            FMemory = p;
            FCapacity = NewSize;
        }
    }
    if (ZeroFill && NewSize > FSize)
        std::memset(FMemory + FSize, 0, static_cast<size_t>(NewSize - FSize));
    if (NewSize != FSize)
        ++FChanges;
    FSize = NewSize;
    FPosition = std::min(FPosition, FSize);
}

void TWQHMemoryStream::Clear()
{
    if (FSize != 0)
        ++FChanges;
    std::free(FMemory);
    FMemory = nullptr;
    FSize = 0;
    FCapacity = 0;
    FPosition = 0;
}

void TWQHMemoryStream::Truncate()
{
    if (FSize != 0)
        ++FChanges;
    FSize = 0;
    FPosition = 0;
}

std::int64_t TWQHMemoryStream::Read(void* Buffer, std::int64_t Count)
{
    const std::int64_t n = std::clamp<std::int64_t>(FSize - FPosition, 0, std::max<std::int64_t>(Count, 0));
    if (n > 0)
        std::memcpy(Buffer, FMemory + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TWQHMemoryStream::Write(const void* Buffer, std::int64_t Count)
{
    if (Count <= 0 || FPosition > WQH_MAX_DATA_SIZE || Count > WQH_MAX_DATA_SIZE - FPosition)
        return 0;
    const std::int64_t end = FPosition + Count;
    if (end > FSize) {
        const std::int64_t gapStart = FSize;
        Resize(end, false);
        if (FPosition > gapStart)
            std::memset(FMemory + gapStart, 0, static_cast<size_t>(FPosition - gapStart));
    }
    std::memcpy(FMemory + FPosition, Buffer, static_cast<size_t>(Count));
    ++FChanges;
    FPosition = end;
    return Count;
}

std::int64_t TWQHMemoryStream::Seek(std::int64_t Offset, platform::SeekOrigin Origin)
{
    const std::int64_t base = Origin == platform::SeekOrigin::Begin     ? 0
                              : Origin == platform::SeekOrigin::Current ? FPosition
                                                                        : FSize;
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, Offset, &target))
        target = Offset < 0 ? 0 : WQH_MAX_DATA_SIZE;
    FPosition = std::clamp<std::int64_t>(target, 0, WQH_MAX_DATA_SIZE);
    return FPosition;
}

std::uint8_t* TWQHMemoryStream::GetAddress(int Index, int Count)
{
    WQHCheckBounds(Index, Count, FSize);
    return FMemory ? FMemory + Index : nullptr;
}

bool TWQHMemoryStream::Overlaps(const void* P, std::int64_t Count) const
{
    if (!FMemory || !P || Count <= 0)
        return false;
    const auto at = reinterpret_cast<std::uintptr_t>(P);
    const auto block = reinterpret_cast<std::uintptr_t>(FMemory);
    return at < block + static_cast<std::uintptr_t>(FCapacity) && block < at + static_cast<std::uintptr_t>(Count);
}

const std::uint8_t* TWQHMemoryStream::GetAddress(int Index, int Count) const
{
    WQHCheckBounds(Index, Count, FSize);
    return FMemory ? FMemory + Index : nullptr;
}

void TWQHMemoryStream::ReadBufferAt(void* Buffer, int APosition, int ACount) const
{
    const std::uint8_t* p = GetAddress(APosition, ACount);
    if (ACount > 0)
        std::memcpy(Buffer, p, static_cast<size_t>(ACount));
}

void TWQHMemoryStream::WriteBufferAt(const void* Buffer, int APosition, int ACount)
{
    std::uint8_t* p = GetAddress(APosition, ACount);
    if (ACount > 0) {
        std::memmove(p, Buffer, static_cast<size_t>(ACount));
        ++FChanges;
    }
}

void TWQHMemoryStream::Move(int AFromPos, int AToPos, int ACount)
{
    WQHCheckBounds(AFromPos, ACount, FSize);
    WQHCheckBounds(AToPos, ACount, FSize);
    if (ACount > 0 && AFromPos != AToPos) {
        std::memmove(FMemory + AToPos, FMemory + AFromPos, static_cast<size_t>(ACount));
        ++FChanges;
    }
}

QString TWQHMemoryStream::GetAsHex(int APosition, int ACount, bool SwapNibbles) const
{
    if (ACount <= 0)
        return QString();
    return BinToHexString(GetAddress(APosition, ACount), ACount, SwapNibbles);
}

void TWQHMemoryStream::TranslateFromAnsi(TWQHTranslationKind ToTranslation, int APosition, int ACount)
{
    if (ToTranslation == tkAsIs || ACount <= 0)
        return;
    TranslateBytesFromAnsi(ToTranslation, GetAddress(APosition, ACount), ACount);
    ++FChanges;
}

void TWQHMemoryStream::TranslateToAnsi(TWQHTranslationKind FromTranslation, int APosition, int ACount)
{
    if (FromTranslation == tkAsIs || ACount <= 0)
        return;
    TranslateBytesToAnsi(FromTranslation, GetAddress(APosition, ACount), ACount);
    ++FChanges;
}

// ---- TWQHBits -------------------------------------------------------------------

void TWQHBits::SetSize(int Value)
{
    Value = std::max(Value, 0);
    FWords.resize((static_cast<size_t>(Value) + 63) / 64);
    // Clear the bits beyond the new end inside the last word, so that a later
    // growth does not bring old marks back.
    if (Value % 64 != 0)
        FWords.back() &= (std::uint64_t(1) << (Value % 64)) - 1;
    FSize = Value;
}

bool TWQHBits::Get(int Index) const
{
    if (Index < 0 || Index >= FSize)
        return false;
    return (FWords[static_cast<size_t>(Index) / 64] >> (Index % 64)) & 1u;
}

void TWQHBits::Set(int Index, bool Value)
{
    if (Index < 0)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));
    if (Index >= FSize) {
        if (Index == 0x7FFFFFFF)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));
        SetSize(Index + 1);
    }
    const std::uint64_t bit = std::uint64_t(1) << (Index % 64);
    if (Value)
        FWords[static_cast<size_t>(Index) / 64] |= bit;
    else
        FWords[static_cast<size_t>(Index) / 64] &= ~bit;
}

int TWQHBits::Count() const
{
    int n = 0;
    for (std::uint64_t w : FWords)
        n += __builtin_popcountll(w);
    return n;
}

// ---- temporary files -------------------------------------------------------------

namespace {

QString TempFolder()
{
    QString dir = QDir::tempPath().trimmed();
    // Qt answers empty for a TMPDIR that does not exist; keep that name so the
    // create fails there instead of landing in the root folder.
    if (dir.isEmpty())
        dir = qEnvironmentVariable("TMPDIR").trimmed();
    if (dir.isEmpty())
        dir = QStringLiteral("/tmp");
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString TempNameFor(const QString& folder, std::uint64_t tick)
{
    return folder + QStringLiteral("%1").arg(static_cast<std::uint32_t>(tick), 8, 16, QLatin1Char('0')).toUpper()
           + QStringLiteral(".WQHT");
}

bool NameTaken(const QString& name)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(name).constData(), &st) == 0;
}

} // namespace

QString GetTempName()
{
    const QString folder = TempFolder();
    // A fresh tick each time; should the clock stand still, step past the
    // names already taken so the search ends.
    std::uint64_t last = static_cast<std::uint64_t>(platform::clock().monotonicMs());
    QString name = TempNameFor(folder, last);
    for (int i = 0; i < 65536 && NameTaken(name); ++i) {
        std::uint64_t tick = static_cast<std::uint64_t>(platform::clock().monotonicMs());
        if (static_cast<std::uint32_t>(tick) <= static_cast<std::uint32_t>(last))
            tick = last + 1;
        last = tick;
        name = TempNameFor(folder, tick);
    }
    return name;
}

namespace {

// Creates a fresh ".WQHT" file: never through an existing name or a link.
std::pair<int, QString> CreateExclusiveTemp()
{
    int error = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString name = GetTempName();
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            return {fd, name};
        error = errno;
        // Someone took the name between the look and the create: try another.
        if (error != EEXIST)
            break;
    }
    throw platform::EFCreateError(platform::FileCreateErrorText(GetTempName(), error));
}

} // namespace

TWQHTempFile::TWQHTempFile() : TWQHTempFile(CreateExclusiveTemp()) {}

TWQHTempFile::TWQHTempFile(const std::pair<int, QString>& Created)
    : platform::TFileStream(Created.first, Created.second)
{
}

TWQHTempFile::~TWQHTempFile()
{
    Close();
    if (!FileName().isEmpty())
        ::unlink(QFile::encodeName(FileName()).constData());
}

namespace {
TWQHTempStreamMaker& TempStreamMaker()
{
    static TWQHTempStreamMaker maker;
    return maker;
}
} // namespace

void SetTempStreamMaker(TWQHTempStreamMaker Maker) { TempStreamMaker() = std::move(Maker); }

std::unique_ptr<platform::TStream> CreateTempStream()
{
    if (TempStreamMaker())
        return TempStreamMaker()();
    return std::make_unique<TWQHTempFile>();
}
