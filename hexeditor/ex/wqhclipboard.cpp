#include "hexeditor/ex/wqhclipboard.h"

#include "hexeditor/ex/wqhclipformats.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexstrings.h"

#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QUrl>
#include <atomic>
#include <cstring>
#include <optional>

// ---- errors ---------------------------------------------------------------------------

void WQHRaiseOleError(HRESULT hr)
{
    QString text;
    switch (hr) {
    case E_OUTOFMEMORY: text = QString::fromLatin1(wqhstr::OleOutOfMemory); break;
    case CLIPBRD_E_CANT_OPEN: text = QString::fromLatin1(wqhstr::OleCantOpenClipboard); break;
    case E_INVALIDARG: text = QString::fromLatin1(wqhstr::OleInvalidArg); break;
    case E_NOTIMPL: text = QString::fromLatin1(wqhstr::OleNotImplemented); break;
    default: text = QString::fromLatin1(wqhstr::OleUnspecified); break;
    }
    throw EOleSysError(text, hr);
}

void WQHOleCheck(HRESULT hr)
{
    if (Failed(hr))
        WQHRaiseOleError(hr);
}

// ---- the format <-> MIME table ---------------------------------------------------------

namespace {

const QString MimeText = QStringLiteral("text/plain");
const QString MimeRtf = QStringLiteral("text/rtf");
const QString MimeHtml = QStringLiteral("text/html");
const QString MimeUriList = QStringLiteral("text/uri-list");
const QString MimeOctets = QStringLiteral("application/octet-stream");
const QString MimeBmp = QStringLiteral("image/bmp");
const QString MimePng = QStringLiteral("image/png");
const QString MimeQtImage = QStringLiteral("application/x-qt-image");
const QString WindowsMimePrefix = QStringLiteral("application/x-qt-windows-mime;value=\"");

QString WindowsMime(const QString& name)
{
    return WindowsMimePrefix + name + QLatin1Char('"');
}

// The registered name a windows-mime type carries, or empty.
QString WindowsMimeName(const QString& mime)
{
    if (!mime.startsWith(WindowsMimePrefix, Qt::CaseInsensitive) || !mime.endsWith(QLatin1Char('"')))
        return {};
    return mime.mid(WindowsMimePrefix.size(), mime.size() - WindowsMimePrefix.size() - 1);
}

enum class Kind {
    Raw,         // the MIME bytes are the block
    RawZero,     // the MIME bytes, then one zero
    Text8,       // text <-> 8-bit bytes, then one zero
    Text16,      // text as UTF-16 LE, then one zero character
    FileList,    // local files <-> a DROPFILES block
    Dib,         // an image <-> a BMP file without its file header
    Bitmap,      // an image <-> a BMP file
};

struct Row {
    TClipFormat cf;
    QString mime;
    Kind kind;
    bool offer;  // published when one of our objects goes out
};

// The one table between formats and MIME types; rows of one format are in
// order of preference.
const std::vector<Row>& Table()
{
    static const std::vector<Row> rows = [] {
        const TWQHClipFormats& f = WQHClipFormats();
        auto wm = [](TClipFormat cf) { return WindowsMime(GetClipboardFormatNameW(cf)); };
        return std::vector<Row>{
            {f.Own, wm(f.Own), Kind::Raw, true},
            {CF_TEXT, MimeText, Kind::Text8, true},
            {f.FileGroupDescriptorW, wm(f.FileGroupDescriptorW), Kind::Raw, true},
            {f.FileContents, wm(f.FileContents), Kind::Raw, true},
            {f.FileContents, MimeOctets, Kind::Raw, true},
            {f.RegEditHexData, wm(f.RegEditHexData), Kind::Raw, true},
            {CF_HDROP, MimeUriList, Kind::FileList, false},
            {f.RichText, MimeRtf, Kind::RawZero, false},
            {f.RichText, wm(f.RichText), Kind::Raw, false},
            {CF_UNICODETEXT, MimeText, Kind::Text16, false},
            {CF_BITMAP, MimeBmp, Kind::Bitmap, false},
            {CF_BITMAP, MimePng, Kind::Bitmap, false},
            {CF_BITMAP, MimeQtImage, Kind::Bitmap, false},
            {CF_OEMTEXT, MimeText, Kind::Text8, false},
            {CF_DIB, MimeBmp, Kind::Dib, false},
            {CF_DIB, MimePng, Kind::Dib, false},
            {CF_DIB, MimeQtImage, Kind::Dib, false},
            {f.Html, MimeHtml, Kind::RawZero, false},
            {f.Html, wm(f.Html), Kind::Raw, false},
        };
    }();
    return rows;
}

constexpr int BmpFileHeaderSize = 14;
constexpr int DropFilesHeaderSize = 20;

QByteArray ImageAsBmp(const QMimeData& md, const QString& mime)
{
    if (mime == MimeBmp) {
        const QByteArray raw = md.data(MimeBmp);
        if (raw.size() > BmpFileHeaderSize && raw.startsWith("BM"))
            return raw;
    }
    QImage image;
    if (mime == MimeQtImage)
        image = qvariant_cast<QImage>(md.imageData());
    else
        image.loadFromData(md.data(mime));
    if (image.isNull())
        return {};
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "BMP"))
        return {};
    return out;
}

// DROPFILES: pFiles (20), pt (0, 0), fNC 0, fWide 1, then the names in
// UTF-16, each ended by a zero, and one more zero.
QByteArray MakeDropFiles(const QStringList& paths)
{
    QByteArray out(DropFilesHeaderSize, '\0');
    out[0] = DropFilesHeaderSize;
    out[16] = 1;
    for (const QString& path : paths) {
        out.append(reinterpret_cast<const char*>(path.utf16()), path.size() * 2);
        out.append(2, '\0');
    }
    out.append(2, '\0');
    return out;
}

QStringList LocalFiles(const QMimeData& md)
{
    QStringList paths;
    for (const QUrl& url : md.urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

// The bytes of one row from foreign MIME data; nullopt when it cannot give them.
std::optional<QByteArray> RenderFromMime(const QMimeData& md, const Row& row)
{
    switch (row.kind) {
    case Kind::Raw:
        return md.data(row.mime);
    case Kind::RawZero: {
        QByteArray b = md.data(row.mime);
        b.append('\0');
        return b;
    }
    case Kind::Text8: {
        QByteArray b = WQHTextToBytes(md.text());
        b.append('\0');
        return b;
    }
    case Kind::Text16: {
        const QString t = md.text();
        QByteArray b(reinterpret_cast<const char*>(t.utf16()), t.size() * 2);
        b.append(2, '\0');
        return b;
    }
    case Kind::FileList: {
        const QStringList files = LocalFiles(md);
        if (files.isEmpty())
            return std::nullopt;
        return MakeDropFiles(files);
    }
    case Kind::Bitmap:
    case Kind::Dib: {
        const QByteArray bmp = ImageAsBmp(md, row.mime);
        if (bmp.size() <= BmpFileHeaderSize)
            return std::nullopt;
        return row.kind == Kind::Bitmap ? bmp : bmp.mid(BmpFileHeaderSize);
    }
    }
    return std::nullopt;
}

bool MimeCanGive(const QMimeData& md, const QStringList& offered, const Row& row)
{
    if (!offered.contains(row.mime, Qt::CaseInsensitive))
        return false;
    if (row.kind == Kind::FileList)
        return md.hasUrls();  // whether they are local is only known from the data
    return true;
}

} // namespace

QStringList WQHMimeTypesForFormat(TClipFormat cf)
{
    QStringList out;
    for (const Row& row : Table())
        if (row.cf == cf)
            out << row.mime;
    if (out.isEmpty()) {
        const QString name = GetClipboardFormatNameW(cf);
        if (!name.isEmpty())
            out << WindowsMime(name);
    }
    return out;
}

QString WQHMimeTypeOffered(TClipFormat cf)
{
    for (const Row& row : Table())
        if (row.cf == cf && row.offer)
            return row.mime;
    return {};
}

QString WQHBytesToText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray WQHTextToBytes(const QString& text)
{
    return text.toLatin1();  // characters outside the code page become '?'
}

QByteArray WQHMakeDropFiles(const QStringList& paths)
{
    return MakeDropFiles(paths);
}

// ---- our data object as MIME data -------------------------------------------------------

std::uint64_t WQHNewMimeToken()
{
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

TWQHMimeData::TWQHMimeData(IDataObjectPtr dataObject, std::uint64_t token)
    : dataObject_(std::move(dataObject)), token_(token)
{
    if (!dataObject_)
        return;
    // The enumerator's order, each format under every MIME type it is published as.
    const TFormatEnum snapshot(dataObject_.get());
    for (const FORMATETC& f : snapshot.Formats())
        for (const Row& row : Table())
            if (row.offer && row.cf == f.cfFormat)
                entries_.push_back({row.mime, f});
}

TWQHMimeData::~TWQHMimeData() = default;

bool TWQHMimeData::hasFormat(const QString& mimeType) const
{
    for (const Entry& e : entries_)
        if (e.mime.compare(mimeType, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QStringList TWQHMimeData::formats() const
{
    QStringList out;
    for (const Entry& e : entries_)
        out << e.mime;
    return out;
}

QVariant TWQHMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    for (const Entry& e : entries_) {
        if (e.mime.compare(mimeType, Qt::CaseInsensitive) != 0)
            continue;
        STGMEDIUM medium;
        if (dataObject_->GetData(e.format, medium) != S_OK || !medium.hGlobal)
            return {};
        QByteArray bytes = medium.hGlobal->Bytes();
        if (e.format.cfFormat == CF_TEXT) {
            // Other programs get the characters our bytes stand for, as text.
            const int zero = bytes.indexOf('\0');
            const QString text = WQHBytesToText(zero >= 0 ? bytes.left(zero) : bytes);
            if (type.id() == QMetaType::QString)
                return text;
            return text.toUtf8();
        }
        return bytes;
    }
    return {};
}

// ---- foreign MIME data as a data object ---------------------------------------------------

namespace {

class TWQHMimeEnum : public IEnumFORMATETC {
public:
    explicit TWQHMimeEnum(std::vector<FORMATETC> formats) : formats_(std::move(formats)) {}
    HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) override
    {
        if (rgelt == nullptr && celt > 0)
            return E_INVALIDARG;
        ULONG copied = 0;
        while (copied < celt && index_ < formats_.size())
            rgelt[copied++] = formats_[index_++];
        if (pceltFetched)
            *pceltFetched = copied;
        return copied == celt ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG celt) override
    {
        if (celt < formats_.size() - index_) {
            index_ += celt;
            return S_OK;
        }
        return S_FALSE;
    }
    HRESULT Reset() override
    {
        index_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumFORMATETCPtr& Enum) override
    {
        auto copy = std::make_shared<TWQHMimeEnum>(formats_);
        copy->index_ = index_;
        Enum = std::move(copy);
        return S_OK;
    }

private:
    std::vector<FORMATETC> formats_;
    std::size_t index_ = 0;
};

class TWQHMimeAdapter : public IDataObject {
public:
    explicit TWQHMimeAdapter(const QMimeData* md) : md_(md)
    {
        const QStringList offered = md->formats();
        auto listed = [this](TClipFormat cf) {
            for (const Source& s : sources_)
                if (s.format.cfFormat == cf)
                    return true;
            return false;
        };
        for (const Row& row : Table()) {
            if (listed(row.cf) || !MimeCanGive(*md, offered, row))
                continue;
            FORMATETC f = MakeFormatEtc(row.cf);
            if (row.kind == Kind::Bitmap)
                f.tymed = TYMED_GDI;
            sources_.push_back({f, &row});
        }
        // Other registered formats travel under their names, as they are.
        for (const QString& mime : offered) {
            const QString name = WindowsMimeName(mime);
            if (name.isEmpty())
                continue;
            const TClipFormat cf = RegisterClipboardFormatW(name);
            bool again = false;
            for (const Row& r : extra_)
                again = again || r.cf == cf;
            if (cf == 0 || listed(cf) || again)
                continue;
            extra_.push_back(Row{cf, mime, Kind::Raw, false});
        }
        for (const Row& row : extra_)
            sources_.push_back({MakeFormatEtc(row.cf), &row});
    }

    HRESULT GetData(const FORMATETC& formatetcIn, STGMEDIUM& medium) override
    {
        medium = STGMEDIUM{};
        const HRESULT hr = QueryGetData(formatetcIn);
        if (hr != S_OK)
            return hr;
        if (!md_)
            return E_FAIL;  // the clipboard or the drag moved on
        try {
            for (const Source& s : sources_) {
                if (s.format.cfFormat != formatetcIn.cfFormat)
                    continue;
                std::optional<QByteArray> bytes = RenderFromMime(*md_, *s.row);
                if (!bytes)
                    return E_FAIL;
                if (bytes->size() > WQH_MAX_BLOCK_SIZE)
                    return E_OUTOFMEMORY;
                medium.tymed = s.format.tymed;
                medium.hGlobal = std::make_shared<TWQHGlobalBlock>(std::move(*bytes));
                return S_OK;
            }
        } catch (...) {
            medium = STGMEDIUM{};
            return E_OUTOFMEMORY;
        }
        return DV_E_FORMATETC;
    }
    HRESULT GetDataHere(const FORMATETC&, STGMEDIUM&) override { return DV_E_FORMATETC; }
    HRESULT QueryGetData(const FORMATETC& formatetc) override
    {
        if (formatetc.dwAspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        for (const Source& s : sources_) {
            if (s.format.cfFormat != formatetc.cfFormat)
                continue;
            return (formatetc.tymed & s.format.tymed) ? S_OK : DV_E_TYMED;
        }
        return DV_E_FORMATETC;
    }
    HRESULT GetCanonicalFormatEtc(const FORMATETC& formatetc, FORMATETC& formatetcOut) override
    {
        formatetcOut = formatetc;
        formatetcOut.ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT SetData(const FORMATETC&, STGMEDIUM& medium, bool fRelease) override
    {
        if (fRelease)
            ReleaseStgMedium(medium);
        return E_NOTIMPL;
    }
    HRESULT EnumFormatEtc(DWORD dwDirection, IEnumFORMATETCPtr& enumFormatEtc) override
    {
        enumFormatEtc.reset();
        if (dwDirection != DATADIR_GET)
            return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        if (md_)
            for (const Source& s : sources_)
                formats.push_back(s.format);
        enumFormatEtc = std::make_shared<TWQHMimeEnum>(std::move(formats));
        return S_OK;
    }
    HRESULT DAdvise(const FORMATETC&, DWORD, IAdviseSink*, DWORD&) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(std::shared_ptr<IEnumSTATDATA>& enumAdvise) override
    {
        enumAdvise.reset();
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    struct Source {
        FORMATETC format;
        const Row* row;
    };
    QPointer<const QMimeData> md_;
    std::vector<Row> extra_;  // reserved before sources_ point into it
    std::vector<Source> sources_;
};

} // namespace

IDataObjectPtr WQHDataObjectFromMime(const QMimeData* mimeData)
{
    if (mimeData == nullptr)
        return nullptr;
    if (auto* ours = qobject_cast<const TWQHMimeData*>(mimeData); ours && ours->DataObject())
        return ours->DataObject();
    return std::make_shared<TWQHMimeAdapter>(mimeData);
}

// ---- the Qt clipboard transport -----------------------------------------------------------

namespace {

class TQtClipboardTransport : public TWQHClipboardTransport {
public:
    HRESULT SetClipboard(const IDataObjectPtr& dataObject) override
    {
        QClipboard* cb = clipboard();
        if (!cb)
            return CLIPBRD_E_CANT_OPEN;
        if (!dataObject) {
            cb->clear();
            lastObject_.reset();
            lastToken_ = 0;
            return S_OK;
        }
        const std::uint64_t token = WQHNewMimeToken();
        cb->setMimeData(new TWQHMimeData(dataObject, token));
        lastObject_ = dataObject;
        lastToken_ = token;
        return S_OK;
    }
    HRESULT GetClipboard(IDataObjectPtr& dataObject) override
    {
        dataObject.reset();
        QClipboard* cb = clipboard();
        if (!cb)
            return CLIPBRD_E_CANT_OPEN;
        const QMimeData* md = cb->mimeData();
        if (!md)
            return CLIPBRD_E_CANT_OPEN;
        dataObject = WQHDataObjectFromMime(md);
        return dataObject ? S_OK : E_FAIL;
    }
    HRESULT IsCurrentClipboard(const IDataObjectPtr& dataObject) override
    {
        QClipboard* cb = clipboard();
        if (!cb || !dataObject || lastToken_ == 0 || lastObject_.lock() != dataObject)
            return S_FALSE;
        auto* ours = qobject_cast<const TWQHMimeData*>(cb->mimeData());
        return ours && ours->Token() == lastToken_ ? S_OK : S_FALSE;
    }
    HRESULT FlushClipboard() override
    {
        QClipboard* cb = clipboard();
        if (!cb)
            return CLIPBRD_E_CANT_OPEN;
        auto* ours = qobject_cast<const TWQHMimeData*>(cb->mimeData());
        if (!ours || ours->Token() != lastToken_)
            return S_OK;  // someone else's data by now
        auto* plain = new QMimeData;
        for (const QString& mime : ours->formats())
            plain->setData(mime, ours->data(mime));
        cb->setMimeData(plain);
        lastObject_.reset();
        lastToken_ = 0;
        return S_OK;
    }

private:
    static QClipboard* clipboard() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr; }

    std::weak_ptr<IDataObject> lastObject_;
    std::uint64_t lastToken_ = 0;
};

TWQHClipboardTransport* g_replacement = nullptr;

} // namespace

TWQHClipboardTransport& WQHClipboardTransport()
{
    static TQtClipboardTransport qt;
    return g_replacement ? *g_replacement : qt;
}

void SetWQHClipboardTransport(TWQHClipboardTransport* replacement)
{
    g_replacement = replacement;
}

HRESULT OleSetClipboard(const IDataObjectPtr& dataObject)
{
    return WQHClipboardTransport().SetClipboard(dataObject);
}

HRESULT OleGetClipboard(IDataObjectPtr& dataObject)
{
    return WQHClipboardTransport().GetClipboard(dataObject);
}

HRESULT OleIsCurrentClipboard(const IDataObjectPtr& dataObject)
{
    return WQHClipboardTransport().IsCurrentClipboard(dataObject);
}

HRESULT OleFlushClipboard()
{
    return WQHClipboardTransport().FlushClipboard();
}

void WQHSetHexClipboardData(const void* Data, int DataSize, const QString& ScrapFileName, bool TextAsHex,
                            bool SwapNibbles)
{
    IDataObjectPtr obj = TWQHDataObject::Create(Data, DataSize, QString(ScrapFileName).left(255), TextAsHex, SwapNibbles);
    WQHOleCheck(OleSetClipboard(obj));
}
