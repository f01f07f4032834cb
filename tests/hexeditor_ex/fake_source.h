#pragma once
// A foreign data object for the import tests: it offers fixed blocks in the
// order given, and GetData may throw as a vanished source would.
#include "hexeditor/ex/wqhdataobject.h"

#include <QByteArray>

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

class FakeSource : public IDataObject {
public:
    std::vector<std::pair<TClipFormat, QByteArray>> blocks;
    DWORD tymed = TYMED_HGLOBAL;
    bool throwOnGet = false;

    HRESULT GetData(const FORMATETC& f, STGMEDIUM& m) override
    {
        if (throwOnGet)
            throw std::runtime_error("source gone");
        for (const auto& [cf, bytes] : blocks)
            if (cf == f.cfFormat) {
                m.tymed = tymed;
                m.hGlobal = std::make_shared<TWQHGlobalBlock>(bytes);
                return S_OK;
            }
        return DV_E_FORMATETC;
    }
    HRESULT GetDataHere(const FORMATETC&, STGMEDIUM&) override { return DV_E_FORMATETC; }
    HRESULT QueryGetData(const FORMATETC&) override { return S_OK; }
    HRESULT GetCanonicalFormatEtc(const FORMATETC&, FORMATETC&) override { return E_NOTIMPL; }
    HRESULT SetData(const FORMATETC&, STGMEDIUM&, bool) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETCPtr& e) override
    {
        e = std::make_shared<Enum>(this);
        return S_OK;
    }
    HRESULT DAdvise(const FORMATETC&, DWORD, IAdviseSink*, DWORD&) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(std::shared_ptr<IEnumSTATDATA>&) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    struct Enum : IEnumFORMATETC {
        explicit Enum(FakeSource* s) : src(s) {}
        FakeSource* src;
        std::size_t i = 0;
        HRESULT Next(ULONG celt, FORMATETC* out, ULONG* fetched) override
        {
            ULONG n = 0;
            while (n < celt && i < src->blocks.size())
                out[n++] = MakeFormatEtc(src->blocks[i++].first);
            if (fetched)
                *fetched = n;
            return n == celt ? S_OK : S_FALSE;
        }
        HRESULT Skip(ULONG) override { return S_FALSE; }
        HRESULT Reset() override { i = 0; return S_OK; }
        HRESULT Clone(IEnumFORMATETCPtr&) override { return E_NOTIMPL; }
    };
};
