#pragma once
// A clipboard in memory for the control's tests: it holds the last object set,
// counts every call and can be told to refuse.
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"

#include <QByteArray>

class FakeClipboard : public TWQHClipboardTransport {
public:
    IDataObjectPtr held;
    int sets = 0;
    int gets = 0;
    int flushes = 0;
    HRESULT setResult = S_OK;
    HRESULT getResult = S_OK;
    HRESULT flushResult = S_OK;
    HRESULT SetClipboard(const IDataObjectPtr& obj) override
    {
        ++sets;
        if (setResult == S_OK)
            held = obj;
        return setResult;
    }
    HRESULT GetClipboard(IDataObjectPtr& obj) override
    {
        ++gets;
        if (getResult != S_OK)
            return getResult;
        obj = held;
        return held ? S_OK : CLIPBRD_E_CANT_OPEN;
    }
    HRESULT IsCurrentClipboard(const IDataObjectPtr& obj) override
    {
        return obj && obj == held ? S_OK : S_FALSE;
    }
    HRESULT FlushClipboard() override
    {
        ++flushes;
        return flushResult;
    }
    // The held object's data in one format, "<none>" when it has none.
    QByteArray Held(TClipFormat cf) const
    {
        STGMEDIUM m;
        if (!held || held->GetData(MakeFormatEtc(cf), m) != S_OK)
            return "<none>";
        return m.hGlobal->Bytes();
    }
};

// Installs a fake clipboard for a scope and puts the Qt one back after it.
class ScopedFakeClipboard {
public:
    explicit ScopedFakeClipboard(FakeClipboard& fake) { SetWQHClipboardTransport(&fake); }
    ~ScopedFakeClipboard() { SetWQHClipboardTransport(nullptr); }
    ScopedFakeClipboard(const ScopedFakeClipboard&) = delete;
    ScopedFakeClipboard& operator=(const ScopedFakeClipboard&) = delete;
};
