#pragma once
// The one table between clipboard formats and MIME types, both directions,
// and our data objects published through it as QMimeData. The clipboard
// transport and drag and drop alike put our objects out this way; the
// adapter of foreign MIME data (wqhmimeadapter.h) reads the same table.
#include "hexeditor/ex/wqholetypes.h"

#include <QMetaType>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

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

// ---- the table's rows, for the adapter of foreign MIME data ----------------------------

namespace wqhmime {

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

// Rows of one format are in order of preference.
const std::vector<Row>& Table();

// The MIME type a registered format name travels under, and back (empty
// when the type carries no registered name).
QString WindowsMime(const QString& name);
QString WindowsMimeName(const QString& mime);

// The local files named by the URL list of foreign MIME data that offers the
// types Offered; empty when there is no list or any URL is not a local file.
// Each read of the list may fetch it from another program: read it once.
QStringList MimeLocalFiles(const QMimeData& md, const QStringList& offered);
// Whether foreign MIME data that offers the types Offered, with the local
// files Files, can give the row's format. Asked when the formats are listed.
bool MimeCanGive(const QStringList& offered, const QStringList& files, const Row& row);
// The bytes of one row from foreign MIME data with the local files Files;
// nothing when it cannot give them.
std::optional<QByteArray> RenderFromMime(const QMimeData& md, const QStringList& files, const Row& row);

} // namespace wqhmime
