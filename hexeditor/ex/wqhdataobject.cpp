#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexstrings.h"

#include "platform/seams.h"
#include "platform/streams.h"

#include <QFileInfo>
#include <cstring>
#include <new>

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
// 1601-01-01 to 1970-01-01 in milliseconds.
constexpr std::int64_t FileTimeEpochOffsetMs = 11644473600000LL;

void PutU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutU64(std::uint8_t* p, std::uint64_t v)
{
    PutU32(p, static_cast<std::uint32_t>(v));
    PutU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

} // namespace

std::array<FORMATETC, WQH_OFFERED_FORMAT_COUNT> WQHOfferedFormats()
{
    const TWQHClipFormats& f = WQHClipFormats();
    return {MakeFormatEtc(f.Own), MakeFormatEtc(CF_TEXT), MakeFormatEtc(f.FileGroupDescriptorW),
            MakeFormatEtc(f.FileContents), MakeFormatEtc(f.RegEditHexData)};
}

std::uint64_t WQHFileTimeFromUnixMs(std::int64_t msSinceEpoch)
{
    const std::int64_t ms = msSinceEpoch + FileTimeEpochOffsetMs;
    return ms <= 0 ? 0 : static_cast<std::uint64_t>(ms) * 10000u;
}

// ---- construction ---------------------------------------------------------------------

TWQHDataObject::TWQHDataObject(bool TextAsHex, bool SwapNibbles) : FTextAsHex(TextAsHex), FSwapNibbles(SwapNibbles) {}

TWQHDataObject::TWQHDataObject(const void* Data, int DataSize, const QString& ScrapFileName, bool TextAsHex,
                               bool SwapNibbles)
    : TWQHDataObject(TextAsHex, SwapNibbles)
{
    if (Data == nullptr || DataSize <= 0)
        return;
    std::memcpy(Allocate(DataSize), Data, static_cast<std::size_t>(DataSize));
    SetScrapName(ScrapFileName);
}

std::shared_ptr<TWQHDataObject> TWQHDataObject::Create(const void* Data, int DataSize, const QString& ScrapFileName,
                                                       bool TextAsHex, bool SwapNibbles)
{
    return std::make_shared<TWQHDataObject>(Data, DataSize, ScrapFileName, TextAsHex, SwapNibbles);
}

std::shared_ptr<TWQHDataObject> TWQHDataObject::CreateFromStream(platform::TStream* Stream, std::int64_t Position,
                                                                 int DataSize, const QString& ScrapFileName,
                                                                 bool TextAsHex, bool SwapNibbles)
{
    std::shared_ptr<TWQHDataObject> obj(new TWQHDataObject(TextAsHex, SwapNibbles));
    if (Stream == nullptr || DataSize <= 0)
        return obj;
    std::uint8_t* bytes = obj->Allocate(DataSize);
    Stream->SetPosition(Position);
    Stream->ReadBuffer(bytes, DataSize);
    obj->SetScrapName(ScrapFileName);
    return obj;
}

TWQHDataObject::~TWQHDataObject() = default;

std::uint8_t* TWQHDataObject::Allocate(int DataSize)
{
    const qsizetype size = qsizetype(DataSize) + WQH_CLIP_HEADER_SIZE + 1;
    QByteArray block(size, Qt::Uninitialized);
    auto* p = reinterpret_cast<std::uint8_t*>(block.data());
    std::memcpy(p, WQH_CLIP_MAGIC, 4);
    PutU32(p + 4, WQH_CLIP_VERSION);
    PutU32(p + 8, static_cast<std::uint32_t>(DataSize));
    p[size - 1] = 0;
    FOwnBlock = std::move(block);
    FData = reinterpret_cast<const std::uint8_t*>(FOwnBlock.constData()) + WQH_CLIP_HEADER_SIZE;
    FDataSize = DataSize;
    return p + WQH_CLIP_HEADER_SIZE;
}

QString WQHFormatScrapName(const QString& Text, const QString& ScrapFileName)
{
    const QString file = QFileInfo(ScrapFileName).fileName();
    const QString base = QFileInfo(file).completeBaseName();
    const QString args[2] = {base, file.mid(base.size())};
    // Filled in one pass, so a %s inside the file name stays as it is.
    QString out;
    int next = 0;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (next < 2 && Text[i] == QLatin1Char('%') && i + 1 < Text.size() && Text[i + 1] == QLatin1Char('s')) {
            out += args[next++];
            ++i;
        } else {
            out += Text[i];
        }
    }
    return out;
}

void TWQHDataObject::SetScrapName(const QString& ScrapFileName)
{
    FFileName = WQHFormatScrapName(QString::fromUtf8(wqhstr::DumpOfScrapFile), ScrapFileName).left(255);
}

// ---- IDataObject ----------------------------------------------------------------------

struct TWQHDataObject::Access {
    static std::int64_t RawTextLength(const TWQHDataObject& o)
    {
        if (o.FDataSize <= 0)
            return 0;
        const void* zero = std::memchr(o.FData, 0, static_cast<std::size_t>(o.FDataSize));
        return zero ? static_cast<const std::uint8_t*>(zero) - o.FData : o.FDataSize;
    }

    static std::int64_t BlockSize(const TWQHDataObject& o, TClipFormat cf)
    {
        const TWQHClipFormats& f = WQHClipFormats();
        const std::int64_t n = o.FDataSize;
        if (cf == f.Own)
            return n + WQH_CLIP_HEADER_SIZE + 1;
        if (cf == f.RegEditHexData)
            return n + WQH_REGEDIT_HEADER_SIZE + 1;
        if (cf == CF_TEXT)
            return o.FTextAsHex ? 2 * n + 1 : RawTextLength(o) + 1;
        if (cf == f.FileGroupDescriptorW)
            return WQH_FILEGROUPDESCRIPTOR_SIZE;
        return n;  // FileContents
    }

    static void Fill(const TWQHDataObject& o, TClipFormat cf, std::uint8_t* p, std::int64_t size)
    {
        const TWQHClipFormats& f = WQHClipFormats();
        const std::size_t n = static_cast<std::size_t>(o.FDataSize);
        const std::uint8_t* data = o.FData;
        if (cf == f.Own) {
            std::memcpy(p, WQH_CLIP_MAGIC, 4);
            PutU32(p + 4, WQH_CLIP_VERSION);
            PutU32(p + 8, static_cast<std::uint32_t>(o.FDataSize));
            if (n)
                std::memcpy(p + WQH_CLIP_HEADER_SIZE, data, n);
            p[WQH_CLIP_HEADER_SIZE + n] = 0;
        } else if (cf == f.RegEditHexData) {
            PutU32(p, static_cast<std::uint32_t>(o.FDataSize));
            if (n)
                std::memcpy(p + WQH_REGEDIT_HEADER_SIZE, data, n);
            p[WQH_REGEDIT_HEADER_SIZE + n] = 0;
        } else if (cf == CF_TEXT && o.FTextAsHex) {
            const int first = o.FSwapNibbles ? 0 : 4;
            const int second = 4 - first;
            for (std::size_t i = 0; i < n; ++i) {
                *p++ = static_cast<std::uint8_t>(HexDigits[(data[i] >> first) & 0xF]);
                *p++ = static_cast<std::uint8_t>(HexDigits[(data[i] >> second) & 0xF]);
            }
            *p = 0;
        } else if (cf == CF_TEXT) {
            const std::size_t l = static_cast<std::size_t>(size - 1);
            if (l)
                std::memcpy(p, data, l);
            p[l] = 0;
        } else if (cf == f.FileGroupDescriptorW) {
            std::memset(p, 0, static_cast<std::size_t>(size));
            PutU32(p + 0, 1);
            PutU32(p + 4, FD_WRITESTIME | FD_FILESIZE);
            const QDateTime now = platform::clock().now();
            PutU64(p + 60, WQHFileTimeFromUnixMs(now.toMSecsSinceEpoch()));
            PutU32(p + 68, 0);
            PutU32(p + 72, static_cast<std::uint32_t>(o.FDataSize));
            const int chars = std::min<int>(o.FFileName.size(), 255);
            for (int i = 0; i < chars; ++i) {
                const char16_t c = o.FFileName.at(i).unicode();
                p[76 + 2 * i] = static_cast<std::uint8_t>(c);
                p[77 + 2 * i] = static_cast<std::uint8_t>(c >> 8);
            }
        } else if (n) {  // FileContents
            std::memcpy(p, data, n);
        }
    }
};

HRESULT TWQHDataObject::GetData(const FORMATETC& formatetcIn, STGMEDIUM& medium)
{
    medium = STGMEDIUM{};
    const HRESULT hr = QueryGetData(formatetcIn);
    if (hr != S_OK)
        return hr;
    try {
        const std::int64_t size = Access::BlockSize(*this, formatetcIn.cfFormat);
        if (formatetcIn.cfFormat == WQHClipFormats().Own && !FOwnBlock.isEmpty()) {
            if (size > WQH_MAX_BLOCK_SIZE)
                return E_OUTOFMEMORY;
            medium.tymed = TYMED_HGLOBAL;
            medium.hGlobal = std::make_shared<TWQHGlobalBlock>(FOwnBlock);
            return S_OK;
        }
        // Every byte is written by Fill, so no zeroing first.
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
        if (!block)
            return E_OUTOFMEMORY;
        Access::Fill(*this, formatetcIn.cfFormat, block->Data(), size);
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = std::move(block);
        return S_OK;
    } catch (...) {
        medium = STGMEDIUM{};
        return E_OUTOFMEMORY;
    }
}

HRESULT TWQHDataObject::GetDataHere(const FORMATETC&, STGMEDIUM&)
{
    return DV_E_FORMATETC;
}

HRESULT TWQHDataObject::QueryGetData(const FORMATETC& formatetc)
{
    if (formatetc.dwAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if ((formatetc.tymed & TYMED_HGLOBAL) == 0)
        return DV_E_TYMED;
    const TWQHClipFormats& f = WQHClipFormats();
    if (formatetc.cfFormat != f.FileContents && formatetc.lindex != -1 && formatetc.lindex != 0)
        return DV_E_LINDEX;
    for (const FORMATETC& offered : WQHOfferedFormats())
        if (offered.cfFormat == formatetc.cfFormat)
            return S_OK;
    return DV_E_FORMATETC;
}

HRESULT TWQHDataObject::GetCanonicalFormatEtc(const FORMATETC& formatetc, FORMATETC& formatetcOut)
{
    formatetcOut = formatetc;
    formatetcOut.ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TWQHDataObject::SetData(const FORMATETC& formatetc, STGMEDIUM& medium, bool fRelease)
{
    const TWQHClipFormats& f = WQHClipFormats();
    HRESULT hr = E_NOTIMPL;
    if (formatetc.cfFormat == f.PerformedDropEffect || formatetc.cfFormat == f.LogicalPerformedDropEffect) {
        hr = S_OK;
        if (medium.tymed == TYMED_HGLOBAL) {
            // A block too short for the value is refused, and nothing is stored.
            if (GlobalSize(medium.hGlobal) >= 4) {
                const std::uint8_t* p = medium.hGlobal->Data();
                FDropEffect = DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
                FHasDropEffect = true;
            } else {
                hr = E_INVALIDARG;
            }
        }
    }
    if (fRelease)
        ReleaseStgMedium(medium);
    return hr;
}

HRESULT TWQHDataObject::EnumFormatEtc(DWORD dwDirection, IEnumFORMATETCPtr& enumFormatEtc)
{
    enumFormatEtc.reset();
    if (dwDirection != DATADIR_GET)
        return E_NOTIMPL;
    try {
        enumFormatEtc = std::make_shared<TWQHEnumFormatETC>();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT TWQHDataObject::DAdvise(const FORMATETC&, DWORD, IAdviseSink*, DWORD&)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TWQHDataObject::DUnadvise(DWORD)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TWQHDataObject::EnumDAdvise(std::shared_ptr<IEnumSTATDATA>& enumAdvise)
{
    enumAdvise.reset();
    return OLE_E_ADVISENOTSUPPORTED;
}

// ---- enumerator -----------------------------------------------------------------------

TWQHEnumFormatETC::TWQHEnumFormatETC() : FFormats(WQHOfferedFormats()) {}

HRESULT TWQHEnumFormatETC::Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched)
{
    if (rgelt == nullptr && celt > 0)
        return E_INVALIDARG;
    ULONG copied = 0;
    while (copied < celt && FIndex < WQH_OFFERED_FORMAT_COUNT)
        rgelt[copied++] = FFormats[FIndex++];
    if (pceltFetched)
        *pceltFetched = copied;
    return copied == celt ? S_OK : S_FALSE;
}

HRESULT TWQHEnumFormatETC::Skip(ULONG celt)
{
    const ULONG left = static_cast<ULONG>(WQH_OFFERED_FORMAT_COUNT - FIndex);
    if (celt < left) {
        FIndex += static_cast<int>(celt);
        return S_OK;
    }
    return S_FALSE;
}

HRESULT TWQHEnumFormatETC::Reset()
{
    FIndex = 0;
    return S_OK;
}

HRESULT TWQHEnumFormatETC::Clone(IEnumFORMATETCPtr& Enum)
{
    Enum.reset();
    try {
        Enum = std::make_shared<TWQHEnumFormatETC>();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// ---- snapshot -------------------------------------------------------------------------

TFormatEnum::TFormatEnum(IDataObject* dataObject)
{
    if (dataObject == nullptr)
        return;
    IEnumFORMATETCPtr e;
    // Any success code of the request counts; the entries run while Next answers S_OK.
    if (!Succeeded(dataObject->EnumFormatEtc(DATADIR_GET, e)) || !e)
        return;
    while (static_cast<int>(FFormats.size()) < MaxEntries) {
        FORMATETC entry{};
        ULONG fetched = 0;
        // An S_OK that fetched nothing ends the list too.
        if (e->Next(1, &entry, &fetched) != S_OK || fetched != 1)
            break;
        FFormats.push_back(entry);
    }
}

bool TFormatEnum::HasFormat(TClipFormat cfFormat) const
{
    for (const FORMATETC& f : FFormats)
        if (f.cfFormat == cfFormat)
            return true;
    return false;
}

FORMATETC TFormatEnum::GetFormatETC(TClipFormat cfFormat) const
{
    for (const FORMATETC& f : FFormats)
        if (f.cfFormat == cfFormat)
            return f;
    // All bits set, except the target device pointer, which stays null so
    // that nobody can follow it.
    return FORMATETC{0xFFFF, nullptr, 0xFFFFFFFFu, -1, 0xFFFFFFFFu};
}
