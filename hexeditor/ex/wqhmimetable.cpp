// The table between clipboard formats and MIME types, and our data objects
// published through it.
#include "hexeditor/ex/wqhmimetable.h"

#include "hexeditor/ex/wqhclipformats.h"
#include "hexeditor/ex/wqhdataobject.h"

#include <QBuffer>
#include <QImage>
#include <QSysInfo>
#include <QUrl>
#include <atomic>

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

// The 8-bit code page of CF_TEXT and CF_OEMTEXT text: byte <-> character.
QString WQHBytesToText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray WQHTextToBytes(const QString& text)
{
    return text.toLatin1();  // characters outside the code page become '?'
}

// A CF_HDROP block. DROPFILES: pFiles (20), pt (0, 0), fNC 0, fWide 1, then
// the names in UTF-16, each ended by a zero, and one more zero.
QByteArray WQHMakeDropFiles(const QStringList& paths)
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

// Every file: URL counts as local to Qt. Programs that follow X's drag and
// drop convention name their own machine as the host; any other host names
// a file that is not here.
bool IsLocalFileUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    const QString host = url.host();
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

} // namespace

namespace wqhmime {

QString WindowsMime(const QString& name)
{
    return WindowsMimePrefix + name + QLatin1Char('"');
}

QString WindowsMimeName(const QString& mime)
{
    if (!mime.startsWith(WindowsMimePrefix, Qt::CaseInsensitive) || !mime.endsWith(QLatin1Char('"')))
        return {};
    return mime.mid(WindowsMimePrefix.size(), mime.size() - WindowsMimePrefix.size() - 1);
}

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

std::optional<QByteArray> RenderFromMime(const QMimeData& md, const QStringList& files, const Row& row)
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
    case Kind::FileList:
        if (files.isEmpty())
            return std::nullopt;
        return WQHMakeDropFiles(files);
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

QStringList MimeLocalFiles(const QMimeData& md, const QStringList& offered)
{
    if (!offered.contains(MimeUriList, Qt::CaseInsensitive))
        return {};
    // Only a list of local files is a file list: a web link travels with its
    // text, which is what it pastes and drops as.
    QStringList paths;
    for (const QUrl& url : md.urls()) {
        if (!IsLocalFileUrl(url))
            return {};
        // Named by its path: toLocalFile() keeps a host as "//host/path".
        QUrl local = url;
        local.setHost(QString());
        paths << local.toLocalFile();
    }
    return paths;
}

bool MimeCanGive(const QStringList& offered, const QStringList& files, const Row& row)
{
    if (!offered.contains(row.mime, Qt::CaseInsensitive))
        return false;
    return row.kind != Kind::FileList || !files.isEmpty();
}

} // namespace wqhmime

using namespace wqhmime;

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

