#pragma once
// The data object that carries a copy of the control's selected bytes to the
// clipboard or a drag, its format enumerator, and the snapshot of the formats
// any other data object offers.
#include "hexeditor/ex/wqhclipformats.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {
class TStream;
}

// The five offered formats, in the enumerator's order: own, CF_TEXT,
// "FileGroupDescriptorW", "FileContents", "RegEdit_HexData".
inline constexpr int WQH_OFFERED_FORMAT_COUNT = 5;
std::array<FORMATETC, WQH_OFFERED_FORMAT_COUNT> WQHOfferedFormats();

// A FILETIME (100 ns ticks since 1601-01-01 UTC) of a UTC instant given as
// milliseconds since 1970-01-01 UTC.
std::uint64_t WQHFileTimeFromUnixMs(std::int64_t msSinceEpoch);

// The scrap file text Text ("Dump of %s.bin") filled with the name of
// ScrapFileName without directory and extension, then its extension (with
// the dot).
QString WQHFormatScrapName(const QString& Text, const QString& ScrapFileName);

class TWQHDataObject : public IDataObject {
public:
    // Copies DataSize bytes from Data; an empty object when Data is nullptr or
    // DataSize <= 0.
    TWQHDataObject(const void* Data, int DataSize, const QString& ScrapFileName, bool TextAsHex,
                   bool SwapNibbles);
    // Reads DataSize bytes from Stream at Position (a short stream raises the
    // stream's read error).
    static std::shared_ptr<TWQHDataObject> CreateFromStream(platform::TStream* Stream, std::int64_t Position,
                                                            int DataSize, const QString& ScrapFileName,
                                                            bool TextAsHex, bool SwapNibbles);
    static std::shared_ptr<TWQHDataObject> Create(const void* Data, int DataSize, const QString& ScrapFileName,
                                                  bool TextAsHex, bool SwapNibbles);
    ~TWQHDataObject() override;

    HRESULT GetData(const FORMATETC& formatetcIn, STGMEDIUM& medium) override;
    HRESULT GetDataHere(const FORMATETC& formatetc, STGMEDIUM& medium) override;
    HRESULT QueryGetData(const FORMATETC& formatetc) override;
    HRESULT GetCanonicalFormatEtc(const FORMATETC& formatetc, FORMATETC& formatetcOut) override;
    HRESULT SetData(const FORMATETC& formatetc, STGMEDIUM& medium, bool fRelease) override;
    HRESULT EnumFormatEtc(DWORD dwDirection, IEnumFORMATETCPtr& enumFormatEtc) override;
    HRESULT DAdvise(const FORMATETC& formatetc, DWORD advf, IAdviseSink* advSink, DWORD& dwConnection) override;
    HRESULT DUnadvise(DWORD dwConnection) override;
    HRESULT EnumDAdvise(std::shared_ptr<IEnumSTATDATA>& enumAdvise) override;

    const std::uint8_t* Data() const { return FData; }
    int DataSize() const { return FDataSize; }
    const QString& FileName() const { return FFileName; }
    bool HasDropEffect() const { return FHasDropEffect; }
    DWORD DropEffect() const { return FDropEffect; }
    bool TextAsHex() const { return FTextAsHex; }
    bool SwapNibbles() const { return FSwapNibbles; }

private:
    struct Access;
    TWQHDataObject(bool TextAsHex, bool SwapNibbles);
    void SetScrapName(const QString& ScrapFileName);

    // The bytes are kept inside a ready own-format block, which GetData hands
    // out shared (copy on write), so a copy to the clipboard copies once.
    QByteArray FOwnBlock;
    const std::uint8_t* FData = nullptr;  // the bytes inside FOwnBlock; nullptr when empty
    int FDataSize = 0;
    std::uint8_t* Allocate(int DataSize);
    QString FFileName;  // at most 255 characters
    bool FHasDropEffect = false;
    DWORD FDropEffect = 0;
    bool FTextAsHex = false;
    bool FSwapNibbles = false;
};

class TWQHEnumFormatETC : public IEnumFORMATETC {
public:
    TWQHEnumFormatETC();
    HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) override;
    HRESULT Skip(ULONG celt) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumFORMATETCPtr& Enum) override;

private:
    std::array<FORMATETC, WQH_OFFERED_FORMAT_COUNT> FFormats;
    int FIndex = 0;
};

// Snapshot of the formats another data object offers, in its enumerator's order.
class TFormatEnum {
public:
    // A source that misbehaves (answers S_OK without filling an entry, or
    // never ends) is cut off: at most this many entries are taken.
    static constexpr int MaxEntries = 1024;

    explicit TFormatEnum(IDataObject* dataObject);
    bool HasFormat(TClipFormat cfFormat) const;
    // The first entry of that format, or an entry with every byte 0xFF.
    FORMATETC GetFormatETC(TClipFormat cfFormat) const;
    const std::vector<FORMATETC>& Formats() const { return FFormats; }

private:
    std::vector<FORMATETC> FFormats;
};
