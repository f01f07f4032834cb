// The clipboard transport: the OLE-style entry points over the Qt clipboard
// (or the seam's replacement), and their errors.
#include "hexeditor/ex/wqhclipboard.h"

#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/ex/wqhmimeadapter.h"
#include "hexeditor/ex/wqhmimetable.h"

#include <QClipboard>
#include <QGuiApplication>

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
        auto* md = new TWQHMimeData(dataObject, token);
        // Qt tells of the change inside the hand-over: by then the object must
        // count as ours, also for a slot that copies again.
        lastObject_ = dataObject;
        lastToken_ = token;
        try {
            cb->setMimeData(md);
        } catch (...) {
            if (lastToken_ == token) {
                lastObject_.reset();
                lastToken_ = 0;
            }
            throw;
        }
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
