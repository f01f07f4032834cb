#pragma once
// Our own small stand-ins for the platform's clipboard and drag-and-drop
// types: result codes, format descriptions, storage media, global memory
// blocks and the data object and format enumerator interfaces.
//
// Objects handed around through these interfaces are reference-counted with
// std::shared_ptr: an object lives as long as anyone holds a pointer to it.
#include <QByteArray>
#include <cstdint>
#include <memory>

// ---- result codes -------------------------------------------------------------

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using TClipFormat = std::uint16_t;  // a clipboard format id (CLIPFORMAT)

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);
inline constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
inline constexpr HRESULT DV_E_LINDEX = static_cast<HRESULT>(0x80040068u);
inline constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
inline constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006Bu);
inline constexpr HRESULT CLIPBRD_E_CANT_OPEN = static_cast<HRESULT>(0x800401D0u);
inline constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
inline constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
inline constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
inline constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

// Where offered data comes from: a drop or the clipboard.
enum TWQHOLEOperation : std::uint8_t { oleDrop, oleClipboard };

// ---- drop effects and key state -------------------------------------------------

inline constexpr DWORD DROPEFFECT_NONE = 0;
inline constexpr DWORD DROPEFFECT_COPY = 1;
inline constexpr DWORD DROPEFFECT_MOVE = 2;
inline constexpr DWORD DROPEFFECT_LINK = 4;
inline constexpr DWORD DROPEFFECT_SCROLL = 0x80000000u;

inline constexpr DWORD MK_LBUTTON = 0x01;
inline constexpr DWORD MK_RBUTTON = 0x02;
inline constexpr DWORD MK_SHIFT = 0x04;
inline constexpr DWORD MK_CONTROL = 0x08;
inline constexpr DWORD MK_MBUTTON = 0x10;

// ---- format descriptions ------------------------------------------------------

inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD DATADIR_GET = 1;
inline constexpr DWORD DATADIR_SET = 2;

inline constexpr DWORD TYMED_NULL = 0;
inline constexpr DWORD TYMED_HGLOBAL = 1;
inline constexpr DWORD TYMED_FILE = 2;
inline constexpr DWORD TYMED_ISTREAM = 4;
inline constexpr DWORD TYMED_ISTORAGE = 8;
inline constexpr DWORD TYMED_GDI = 16;
inline constexpr DWORD TYMED_MFPICT = 32;
inline constexpr DWORD TYMED_ENHMF = 64;

// The predefined clipboard formats.
inline constexpr TClipFormat CF_TEXT = 1;
inline constexpr TClipFormat CF_BITMAP = 2;
inline constexpr TClipFormat CF_METAFILEPICT = 3;
inline constexpr TClipFormat CF_SYLK = 4;
inline constexpr TClipFormat CF_DIF = 5;
inline constexpr TClipFormat CF_TIFF = 6;
inline constexpr TClipFormat CF_OEMTEXT = 7;
inline constexpr TClipFormat CF_DIB = 8;
inline constexpr TClipFormat CF_PALETTE = 9;
inline constexpr TClipFormat CF_PENDATA = 10;
inline constexpr TClipFormat CF_RIFF = 11;
inline constexpr TClipFormat CF_WAVE = 12;
inline constexpr TClipFormat CF_UNICODETEXT = 13;
inline constexpr TClipFormat CF_ENHMETAFILE = 14;
inline constexpr TClipFormat CF_HDROP = 15;
inline constexpr TClipFormat CF_LOCALE = 16;

struct DVTARGETDEVICE;  // never filled in here; always nullptr

struct FORMATETC {
    TClipFormat cfFormat = 0;
    DVTARGETDEVICE* ptd = nullptr;
    DWORD dwAspect = DVASPECT_CONTENT;
    std::int32_t lindex = -1;
    DWORD tymed = TYMED_HGLOBAL;
};

// The entry every format of ours is described by.
constexpr FORMATETC MakeFormatEtc(TClipFormat cf)
{
    return FORMATETC{cf, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// ---- global memory --------------------------------------------------------------

inline constexpr unsigned GMEM_MOVEABLE = 0x0002;
inline constexpr unsigned GMEM_ZEROINIT = 0x0040;
inline constexpr unsigned GMEM_DDESHARE = 0x2000;
inline constexpr unsigned GHND_SHARED = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;  // 0x2042

// A global memory block: a byte buffer that knows its size. Backed by a
// QByteArray so that the transport can hand the bytes on without a copy.
class TWQHGlobalBlock {
public:
    TWQHGlobalBlock() = default;
    explicit TWQHGlobalBlock(QByteArray bytes) : bytes_(std::move(bytes)) {}

    std::int64_t Size() const { return bytes_.size(); }
    std::uint8_t* Data() { return reinterpret_cast<std::uint8_t*>(bytes_.data()); }
    const std::uint8_t* Data() const { return reinterpret_cast<const std::uint8_t*>(bytes_.constData()); }
    const QByteArray& Bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};
using HGLOBAL = std::shared_ptr<TWQHGlobalBlock>;

// nullptr when the size is negative or beyond what one block may hold, or when
// memory runs out. With GMEM_ZEROINIT every byte starts as zero; without it the
// contents are undefined (the caller writes every byte).
HGLOBAL GlobalAlloc(unsigned flags, std::int64_t size);
// Size of the block, 0 for nullptr.
std::int64_t GlobalSize(const HGLOBAL& block);
// Largest block the clipboard code makes or accepts (2^31 - 1 bytes).
inline constexpr std::int64_t WQH_MAX_BLOCK_SIZE = 0x7FFFFFFF;

// ---- storage medium -------------------------------------------------------------

// tymed tells how hGlobal is meant: TYMED_HGLOBAL a plain memory block;
// TYMED_GDI (CF_BITMAP, CF_PALETTE) the block holds the object serialised
// (a bitmap as a BMP file); TYMED_MFPICT / TYMED_ENHMF the metafile bits.
// The receiver of a GetData owns the medium; ReleaseStgMedium drops it.
struct STGMEDIUM {
    DWORD tymed = TYMED_NULL;
    HGLOBAL hGlobal;
    std::shared_ptr<void> pUnkForRelease;
};
void ReleaseStgMedium(STGMEDIUM& medium);

// ---- interfaces -----------------------------------------------------------------

class IEnumFORMATETC;
using IEnumFORMATETCPtr = std::shared_ptr<IEnumFORMATETC>;

class IEnumFORMATETC {
public:
    virtual ~IEnumFORMATETC() = default;
    // rgelt has room for celt entries; pceltFetched may be nullptr.
    virtual HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFORMATETCPtr& Enum) = 0;
};

class IWQHDataObject;
using IDataObject = IWQHDataObject;
using IDataObjectPtr = std::shared_ptr<IWQHDataObject>;

// Advise sinks are not supported anywhere in the program; the pointer type
// only keeps the signatures whole.
class IAdviseSink;
class IEnumSTATDATA;

class IWQHDataObject {
public:
    virtual ~IWQHDataObject() = default;
    virtual HRESULT GetData(const FORMATETC& formatetcIn, STGMEDIUM& medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC& formatetc, STGMEDIUM& medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC& formatetc) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const FORMATETC& formatetc, FORMATETC& formatetcOut) = 0;
    virtual HRESULT SetData(const FORMATETC& formatetc, STGMEDIUM& medium, bool fRelease) = 0;
    virtual HRESULT EnumFormatEtc(DWORD dwDirection, IEnumFORMATETCPtr& enumFormatEtc) = 0;
    virtual HRESULT DAdvise(const FORMATETC& formatetc, DWORD advf, IAdviseSink* advSink,
                            DWORD& dwConnection) = 0;
    virtual HRESULT DUnadvise(DWORD dwConnection) = 0;
    virtual HRESULT EnumDAdvise(std::shared_ptr<IEnumSTATDATA>& enumAdvise) = 0;
};
