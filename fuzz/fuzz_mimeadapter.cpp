// Foreign MIME data presented as a data object: any MIME types and bytes give
// blocks that keep their format's shape, and never crash or hang.
#include "hexeditor/ex/wqhmimeadapter.h"
#include "hexeditor/ex/wqhdataobject.h"

#include <QMimeData>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

namespace {

const char* const MimeTypes[] = {
    "text/plain", "text/rtf", "text/html", "text/uri-list", "image/bmp", "image/png",
    "application/octet-stream", "application/x-qt-windows-mime;value=\"TWQHexeditorEx Clipboard Format\"",
    "application/x-qt-windows-mime;value=\"RegEdit_HexData\"", "application/x-qt-windows-mime;value=\"\"",
};

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Records: one byte picks the MIME type, one byte the length, then the bytes.
    QMimeData md;
    std::size_t at = 0;
    while (at + 2 <= size) {
        const QString mime = QString::fromLatin1(MimeTypes[data[at] % std::size(MimeTypes)]);
        const std::size_t len = std::min<std::size_t>(data[at + 1], size - at - 2);
        md.setData(mime, QByteArray(reinterpret_cast<const char*>(data + at + 2), static_cast<qsizetype>(len)));
        at += 2 + len;
    }
    IDataObjectPtr obj = WQHDataObjectFromMime(&md);
    Check(obj != nullptr);
    const TFormatEnum snapshot(obj.get());
    for (const FORMATETC& f : snapshot.Formats()) {
        Check(obj->QueryGetData(f) == S_OK);
        STGMEDIUM medium;
        const HRESULT hr = obj->GetData(f, medium);
        if (hr != S_OK) {
            Check(!medium.hGlobal);
            continue;
        }
        Check(medium.hGlobal != nullptr);
        const QByteArray& b = medium.hGlobal->Bytes();
        if (f.cfFormat == CF_TEXT || f.cfFormat == CF_OEMTEXT)
            Check(!b.isEmpty() && b.endsWith('\0'));
        if (f.cfFormat == CF_UNICODETEXT)
            Check(b.size() % 2 == 0 && b.size() >= 2 && b.endsWith(QByteArray(2, '\0')));
        if (f.cfFormat == CF_HDROP)
            Check(b.size() >= 24 && b.at(0) == 20 && b.endsWith(QByteArray(4, '\0')));
        if (f.cfFormat == CF_BITMAP)
            Check(b.startsWith("BM"));
    }
    return 0;
}
