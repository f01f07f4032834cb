// Foreign MIME data as a data object: the formats the table says it can give,
// each converted when it is asked for.
#include "hexeditor/ex/wqhmimeadapter.h"

#include "hexeditor/ex/wqhclipformats.h"
#include "hexeditor/ex/wqhmimetable.h"

#include <QMimeData>
#include <QPointer>
#include <optional>
#include <vector>

using namespace wqhmime;

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
        files_ = MimeLocalFiles(*md, offered);
        auto listed = [this](TClipFormat cf) {
            for (const Source& s : sources_)
                if (s.format.cfFormat == cf)
                    return true;
            return false;
        };
        for (const Row& row : Table()) {
            if (listed(row.cf) || !MimeCanGive(offered, files_, row))
                continue;
            FORMATETC f = MakeFormatEtc(row.cf);
            if (row.kind == Kind::Bitmap)
                f.tymed = TYMED_GDI;
            sources_.push_back({f, &row});
        }
        // Other registered formats travel under their names, as they are.
        // sources_ point into extra_, so it is reserved for every offered type.
        extra_.reserve(offered.size());
        for (const QString& mime : offered) {
            const QString name = WindowsMimeName(mime);
            if (name.isEmpty())
                continue;
            const TClipFormat cf = RegisterClipboardFormatW(name);
            if (cf == 0 || listed(cf))
                continue;
            const Row& row = extra_.emplace_back(Row{cf, mime, Kind::Raw, false});
            sources_.push_back({MakeFormatEtc(row.cf), &row});
        }
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
                std::optional<QByteArray> bytes = RenderFromMime(*md_, files_, *s.row);
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
    QStringList files_;  // the URL list, read once
    std::vector<Row> extra_;  // reserved in the constructor; sources_ point into it
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

