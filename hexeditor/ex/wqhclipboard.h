#pragma once
// The clipboard transport: the OLE-style entry points the control calls, over
// a seam that the program fills with Qt's clipboard and tests with a fake.
// Also the bridge between our data objects and Qt's QMimeData, used by the
// clipboard and by drag and drop alike.
#include "hexeditor/ex/wqholetypes.h"
#include "platform/exceptions.h"

#include <QMetaType>
#include <QMimeData>
#include <QPointer>
#include <QVariant>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>


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

// ---- formats and MIME types ---------------------------------------------------------

// The one table between clipboard formats and MIME types, both directions.
// MIME types that carry a format, best first.
QStringList WQHMimeTypesForFormat(TClipFormat cf);
// The MIME type a format is published under when one of our objects is offered.
QString WQHMimeTypeOffered(TClipFormat cf);
// The 8-bit code page of CF_TEXT and CF_OEMTEXT text: byte <-> character.
QString WQHBytesToText(const QByteArray& bytes);
QByteArray WQHTextToBytes(const QString& text);
// A CF_HDROP block: DROPFILES header (names at offset 20, wide names), then
// each path in UTF-16 ended by a zero character, and one more zero character.
QByteArray WQHMakeDropFiles(const QStringList& paths);

// ---- our data object as MIME data -----------------------------------------------------

// Carries one of our data objects; formats() follow the enumerator's order and
// each format is rendered when it is asked for. The token tells whose it is.
class TWQHMimeData : public QMimeData {
    Q_OBJECT
public:
    TWQHMimeData(IDataObjectPtr dataObject, std::uint64_t token);
    ~TWQHMimeData() override;
    const IDataObjectPtr& DataObject() const { return dataObject_; }
    std::uint64_t Token() const { return token_; }

    bool hasFormat(const QString& mimeType) const override;
    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    struct Entry {
        QString mime;
        FORMATETC format;
    };
    std::vector<Entry> entries_;
    IDataObjectPtr dataObject_;
    std::uint64_t token_;
};

// A fresh token for TWQHMimeData; never 0, never repeated in one process.
std::uint64_t WQHNewMimeToken();

// ---- foreign MIME data as a data object ----------------------------------------------

// Presents a QMimeData (the clipboard's or a drop's) as a data object: its
// enumerator lists the formats the MIME data can give, GetData converts on
// demand. It holds the MIME data weakly: once the clipboard or the drag has
// dropped it, the adapter offers nothing and GetData fails. Our own MIME data gives back the data
// object it carries instead.
IDataObjectPtr WQHDataObjectFromMime(const QMimeData* mimeData);
