#pragma once
// The clipboard transport: the OLE-style entry points the control calls, over
// a seam that the program fills with Qt's clipboard and tests with a fake.
// It runs on the bridge between our data objects and Qt's QMimeData
// (wqhmimetable.h, wqhmimeadapter.h).
#include "hexeditor/ex/wqholetypes.h"
#include "platform/exceptions.h"

#include <QString>

class TWQHClipboardTransport {
public:
    virtual ~TWQHClipboardTransport() = default;
    // nullptr empties the clipboard.
    virtual HRESULT SetClipboard(const IDataObjectPtr& dataObject) = 0;
    virtual HRESULT GetClipboard(IDataObjectPtr& dataObject) = 0;
    // Whether the clipboard still holds what SetClipboard put there last, for this object.
    virtual HRESULT IsCurrentClipboard(const IDataObjectPtr& dataObject) = 0;
    // Renders every offered format so that the clipboard keeps the data after the object is gone.
    virtual HRESULT FlushClipboard() = 0;
};

TWQHClipboardTransport& WQHClipboardTransport();
// nullptr restores the Qt transport.
void SetWQHClipboardTransport(TWQHClipboardTransport* replacement);

HRESULT OleSetClipboard(const IDataObjectPtr& dataObject);
HRESULT OleGetClipboard(IDataObjectPtr& dataObject);
HRESULT OleIsCurrentClipboard(const IDataObjectPtr& dataObject);
HRESULT OleFlushClipboard();

// Puts a new data object of the given bytes on the clipboard; a failing result
// is raised as an exception. No control keeps a reference to that object.
void WQHSetHexClipboardData(const void* Data, int DataSize, const QString& ScrapFileName, bool TextAsHex,
                            bool SwapNibbles);

// Raised for failing platform results of the clipboard and drag entry points.
class EOleSysError : public platform::Exception {
public:
    EOleSysError(QString message, HRESULT code) : platform::Exception(std::move(message)), ErrorCode(code) {}
    HRESULT ErrorCode;
};
[[noreturn]] void WQHRaiseOleError(HRESULT hr);
void WQHOleCheck(HRESULT hr);
