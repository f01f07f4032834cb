#include "hexeditor/ex/wqhclipformats.h"

#include <mutex>
#include <new>
#include <vector>

namespace {

struct Registry {
    std::mutex lock;
    std::vector<QString> names;  // index i has id 0xC000 + i
};

Registry& registry()
{
    static Registry r;
    return r;
}

constexpr int FirstRegisteredId = 0xC000;
constexpr int LastRegisteredId = 0xFFFF;

} // namespace

TClipFormat RegisterClipboardFormatW(const QString& name)
{
    if (name.isEmpty())
        return 0;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    for (std::size_t i = 0; i < r.names.size(); ++i)
        if (r.names[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<TClipFormat>(FirstRegisteredId + i);
    if (FirstRegisteredId + static_cast<int>(r.names.size()) > LastRegisteredId)
        return 0;  // the id space is used up, as the platform answers
    r.names.push_back(name);
    return static_cast<TClipFormat>(FirstRegisteredId + r.names.size() - 1);
}

QString GetClipboardFormatNameW(TClipFormat id)
{
    if (id < FirstRegisteredId)
        return {};
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    const std::size_t index = id - FirstRegisteredId;
    return index < r.names.size() ? r.names[index] : QString();
}

const TWQHClipFormats& WQHClipFormats()
{
    // Registered together and in this order, whoever asks first.
    static const TWQHClipFormats formats = [] {
        TWQHClipFormats f{};
        f.Own = RegisterClipboardFormatW(QString::fromUtf8(wqhstr::ClipboardFormatName));
        f.RegEditHexData = RegisterClipboardFormatW(QStringLiteral("RegEdit_HexData"));
        f.RichText = RegisterClipboardFormatW(QStringLiteral("Rich Text Format"));
        f.Html = RegisterClipboardFormatW(QStringLiteral("HTML Format"));
        f.FileContents = RegisterClipboardFormatW(QStringLiteral("FileContents"));
        f.FileGroupDescriptorW = RegisterClipboardFormatW(QStringLiteral("FileGroupDescriptorW"));
        f.PerformedDropEffect = RegisterClipboardFormatW(QStringLiteral("Performed DropEffect"));
        f.LogicalPerformedDropEffect = RegisterClipboardFormatW(QStringLiteral("Logical Performed DropEffect"));
        return f;
    }();
    return formats;
}

HGLOBAL GlobalAlloc(unsigned flags, std::int64_t size)
{
    if (size < 0 || size > WQH_MAX_BLOCK_SIZE)
        return nullptr;
    try {
        QByteArray bytes;
        if (flags & GMEM_ZEROINIT)
            bytes = QByteArray(static_cast<qsizetype>(size), '\0');
        else
            bytes = QByteArray(static_cast<qsizetype>(size), Qt::Uninitialized);
        if (bytes.size() != size)
            return nullptr;
        return std::make_shared<TWQHGlobalBlock>(std::move(bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::int64_t GlobalSize(const HGLOBAL& block)
{
    return block ? block->Size() : 0;
}

void ReleaseStgMedium(STGMEDIUM& medium)
{
    medium.hGlobal.reset();
    medium.pUnkForRelease.reset();
    medium.tymed = TYMED_NULL;
}
