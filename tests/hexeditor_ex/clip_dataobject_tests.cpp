// The data object, its enumerator and the format snapshot, byte for byte.
#include "hexeditor/ex/wqhdataobject.h"

#include "platform/exceptions.h"
#include "platform/streams.h"
#include "tests/support/fakes.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray Get(IDataObject& obj, TClipFormat cf, HRESULT expect = S_OK)
{
    STGMEDIUM medium;
    const HRESULT hr = obj.GetData(MakeFormatEtc(cf), medium);
    EXPECT_EQ(hr, expect);
    if (hr != S_OK)
        return {};
    EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
    EXPECT_FALSE(medium.pUnkForRelease);
    return medium.hGlobal ? medium.hGlobal->Bytes() : QByteArray();
}

const QByteArray Sample = Bytes({0x41, 0x00, 0x42});

std::shared_ptr<TWQHDataObject> SampleObject(bool hex = false, bool swap = false)
{
    return TWQHDataObject::Create(Sample.constData(), 3, QStringLiteral("/tmp/dir/image.bin"), hex, swap);
}

} // namespace

TEST(DataObjectBlocks, OffersTheSampleInEveryFormat)
{
    const TWQHClipFormats& f = WQHClipFormats();
    auto obj = SampleObject();
    EXPECT_EQ(Get(*obj, f.Own), QByteArray("WQTH") + Bytes({1, 0, 1, 0, 3, 0, 0, 0, 0x41, 0, 0x42, 0}));
    EXPECT_EQ(Get(*obj, f.RegEditHexData), Bytes({3, 0, 0, 0, 0x41, 0, 0x42, 0}));
    EXPECT_EQ(Get(*obj, CF_TEXT), Bytes({0x41, 0}));
    EXPECT_EQ(Get(*obj, f.FileContents), Sample);
}

TEST(DataObjectBlocks, HexTextIsUpperCaseWithOptionalNibbleSwap)
{
    EXPECT_EQ(Get(*SampleObject(true), CF_TEXT), QByteArray("410042", 7));
    EXPECT_EQ(Get(*SampleObject(true, true), CF_TEXT), QByteArray("140024", 7));
    const QByteArray ab = Bytes({0xAB, 0xCD});
    auto obj = TWQHDataObject::Create(ab.constData(), 2, QString(), true, false);
    EXPECT_EQ(Get(*obj, CF_TEXT), QByteArray("ABCD", 5));
}

TEST(DataObjectBlocks, RawTextWithoutZeroTakesEverything)
{
    auto obj = TWQHDataObject::Create("xyz", 3, QString(), false, false);
    EXPECT_EQ(Get(*obj, CF_TEXT), QByteArray("xyz", 4));
}

TEST(DataObjectBlocks, FileGroupDescriptorCarriesNameSizeAndTime)
{
    testsupport::ScopedPlatformFakes fakes;
    fakes.clock.current = QDateTime(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(WQHFileTimeFromUnixMs(fakes.clock.current.toMSecsSinceEpoch()), 125911584000000000ULL);

    const QByteArray b = Get(*SampleObject(), WQHClipFormats().FileGroupDescriptorW);
    ASSERT_EQ(b.size(), 596);
    QByteArray expect(596, '\0');
    expect[0] = 1;
    expect[4] = 0x60;
    const std::uint64_t ft = 125911584000000000ULL;
    for (int i = 0; i < 8; ++i)
        expect[60 + i] = static_cast<char>(ft >> (8 * i));
    expect[72] = 3;
    const QString name = QStringLiteral("Dump of image.bin");
    for (int i = 0; i < name.size(); ++i)
        expect[76 + 2 * i] = static_cast<char>(name.at(i).unicode());
    EXPECT_EQ(b, expect);
}

TEST(DataObjectBlocks, ScrapNames)
{
    auto name = [](const QString& file) { return TWQHDataObject::Create("a", 1, file, false, false)->FileName(); };
    EXPECT_EQ(name(QStringLiteral("/home/u/image.bin")), QStringLiteral("Dump of image.bin"));
    EXPECT_EQ(name(QStringLiteral("Untitled")), QStringLiteral("Dump of Untitled.bin"));
    EXPECT_EQ(name(QString()), QStringLiteral("Dump of .bin"));
    EXPECT_EQ(name(QStringLiteral("a.tar.gz")), QStringLiteral("Dump of a.tar.bin"));
    EXPECT_EQ(name(QString(300, QLatin1Char('n'))).size(), 255);
    // A text that uses both arguments: the base name, then the extension.
    const QString both = QStringLiteral("%s (%s) copy%s");
    EXPECT_EQ(WQHFormatScrapName(both, QStringLiteral("/d/image.bin")), QStringLiteral("image (.bin) copy%s"));
    EXPECT_EQ(WQHFormatScrapName(both, QStringLiteral("a.tar.gz")), QStringLiteral("a.tar (.gz) copy%s"));
    EXPECT_EQ(WQHFormatScrapName(both, QStringLiteral("/d/%s.x")), QStringLiteral("%s (.x) copy%s"));
    EXPECT_EQ(WQHFormatScrapName(both, QStringLiteral("Untitled")), QStringLiteral("Untitled () copy%s"));
}

TEST(DataObjectBlocks, EmptyObject)
{
    for (auto obj : {TWQHDataObject::Create(nullptr, 5, QStringLiteral("x.bin"), false, false),
                     TWQHDataObject::Create("abc", 0, QStringLiteral("x.bin"), true, false)}) {
        EXPECT_EQ(obj->DataSize(), 0);
        EXPECT_TRUE(obj->FileName().isEmpty());
        EXPECT_EQ(Get(*obj, WQHClipFormats().Own), QByteArray("WQTH") + Bytes({1, 0, 1, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Get(*obj, CF_TEXT), Bytes({0}));
        EXPECT_EQ(Get(*obj, WQHClipFormats().FileContents), QByteArray());
        const QByteArray d = Get(*obj, WQHClipFormats().FileGroupDescriptorW);
        ASSERT_EQ(d.size(), 596);
        EXPECT_EQ(d.mid(72), QByteArray(596 - 72, '\0'));
    }
}

TEST(DataObjectBlocks, CopyIsFixedAtConstruction)
{
    char bytes[] = {1, 2, 3};
    auto obj = TWQHDataObject::Create(bytes, 3, QString(), false, false);
    bytes[0] = 9;
    EXPECT_EQ(Get(*obj, WQHClipFormats().FileContents), Bytes({1, 2, 3}));

    // A receiver that writes into its own block does not change the object.
    STGMEDIUM medium;
    ASSERT_EQ(obj->GetData(MakeFormatEtc(WQHClipFormats().Own), medium), S_OK);
    medium.hGlobal->Data()[12] = 7;
    EXPECT_EQ(medium.hGlobal->Bytes().at(12), 7);
    EXPECT_EQ(Get(*obj, WQHClipFormats().Own).at(12), 1);
    EXPECT_EQ(obj->Data()[0], 1);
}

TEST(DataObjectStream, ReadsFromPositionAndRaisesOnShortStream)
{
    platform::TMemoryStream stream;
    stream.Write("0123456789", 10);
    auto obj = TWQHDataObject::CreateFromStream(&stream, 4, 3, QString(), false, false);
    EXPECT_EQ(Get(*obj, WQHClipFormats().FileContents), QByteArray("456"));
    EXPECT_THROW(TWQHDataObject::CreateFromStream(&stream, 8, 3, QString(), false, false), platform::EReadError);
    EXPECT_EQ(TWQHDataObject::CreateFromStream(nullptr, 0, 3, QString(), false, false)->DataSize(), 0);
}

TEST(DataObjectQuery, ChecksInOrder)
{
    const TWQHClipFormats& f = WQHClipFormats();
    auto obj = SampleObject();
    FORMATETC fe = MakeFormatEtc(f.Own);
    EXPECT_EQ(obj->QueryGetData(fe), S_OK);
    fe.lindex = 0;
    EXPECT_EQ(obj->QueryGetData(fe), S_OK);
    fe.lindex = 3;
    EXPECT_EQ(obj->QueryGetData(fe), DV_E_LINDEX);
    fe.cfFormat = f.FileContents;
    EXPECT_EQ(obj->QueryGetData(fe), S_OK);
    fe = MakeFormatEtc(CF_TEXT);
    fe.tymed = TYMED_ISTREAM;
    EXPECT_EQ(obj->QueryGetData(fe), DV_E_TYMED);
    fe.tymed = TYMED_ISTREAM | TYMED_HGLOBAL;
    EXPECT_EQ(obj->QueryGetData(fe), S_OK);
    fe.dwAspect = 4;  // thumbnail
    fe.tymed = TYMED_ISTREAM;
    EXPECT_EQ(obj->QueryGetData(fe), DV_E_DVASPECT) << "aspect before medium";
    fe = MakeFormatEtc(f.PerformedDropEffect);
    EXPECT_EQ(obj->QueryGetData(fe), DV_E_FORMATETC);
    fe.lindex = 2;
    EXPECT_EQ(obj->QueryGetData(fe), DV_E_LINDEX) << "index before format";
    fe = MakeFormatEtc(CF_UNICODETEXT);
    STGMEDIUM medium{TYMED_HGLOBAL, GlobalAlloc(GHND_SHARED, 1), nullptr};
    EXPECT_EQ(obj->GetData(fe, medium), DV_E_FORMATETC);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    EXPECT_FALSE(medium.hGlobal) << "the medium is cleared first";
    EXPECT_EQ(obj->GetDataHere(MakeFormatEtc(CF_TEXT), medium), DV_E_FORMATETC);
}

TEST(DataObjectQuery, OtherAnswers)
{
    auto obj = SampleObject();
    FORMATETC in = MakeFormatEtc(CF_TEXT);
    DVTARGETDEVICE* fakeDevice = reinterpret_cast<DVTARGETDEVICE*>(&in);
    in.ptd = fakeDevice;
    in.lindex = 7;
    FORMATETC out{};
    EXPECT_EQ(obj->GetCanonicalFormatEtc(in, out), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(out.ptd, nullptr);
    EXPECT_EQ(out.lindex, 7);
    DWORD conn = 0;
    EXPECT_EQ(obj->DAdvise(in, 0, nullptr, conn), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(obj->DUnadvise(1), OLE_E_ADVISENOTSUPPORTED);
    std::shared_ptr<IEnumSTATDATA> advise;
    EXPECT_EQ(obj->EnumDAdvise(advise), OLE_E_ADVISENOTSUPPORTED);
    IEnumFORMATETCPtr e = std::make_shared<TWQHEnumFormatETC>();
    EXPECT_EQ(obj->EnumFormatEtc(DATADIR_SET, e), E_NOTIMPL);
    EXPECT_FALSE(e);
    EXPECT_EQ(obj->EnumFormatEtc(DATADIR_GET, e), S_OK);
    EXPECT_TRUE(e);
}

TEST(DataObjectSetData, StoresDropEffectsOnlyFromWholeBlocks)
{
    const TWQHClipFormats& f = WQHClipFormats();
    auto obj = SampleObject();
    auto medium = [](QByteArray bytes) {
        return STGMEDIUM{TYMED_HGLOBAL, std::make_shared<TWQHGlobalBlock>(bytes), nullptr};
    };
    STGMEDIUM shortBlock = medium(Bytes({2, 0, 0}));
    EXPECT_EQ(obj->SetData(MakeFormatEtc(f.PerformedDropEffect), shortBlock, false), E_INVALIDARG);
    EXPECT_FALSE(obj->HasDropEffect());
    EXPECT_TRUE(shortBlock.hGlobal) << "kept without fRelease";

    STGMEDIUM wrongMedium = medium(Bytes({2, 0, 0, 0}));
    wrongMedium.tymed = TYMED_ISTREAM;
    EXPECT_EQ(obj->SetData(MakeFormatEtc(f.PerformedDropEffect), wrongMedium, true), S_OK);
    EXPECT_FALSE(obj->HasDropEffect());
    EXPECT_FALSE(wrongMedium.hGlobal) << "released with fRelease";

    STGMEDIUM other = medium(Bytes({2, 0, 0, 0}));
    EXPECT_EQ(obj->SetData(MakeFormatEtc(CF_TEXT), other, true), E_NOTIMPL);
    EXPECT_FALSE(obj->HasDropEffect());
    EXPECT_EQ(other.tymed, TYMED_NULL);

    STGMEDIUM good = medium(Bytes({0x02, 0x00, 0x00, 0x80, 0x55}));
    EXPECT_EQ(obj->SetData(MakeFormatEtc(f.LogicalPerformedDropEffect), good, false), S_OK);
    EXPECT_TRUE(obj->HasDropEffect());
    EXPECT_EQ(obj->DropEffect(), 0x80000002u);
}

TEST(FormatEnumerator, NextSkipResetClone)
{
    const TWQHClipFormats& f = WQHClipFormats();
    const TClipFormat order[] = {f.Own, CF_TEXT, f.FileGroupDescriptorW, f.FileContents, f.RegEditHexData};
    TWQHEnumFormatETC e;
    FORMATETC got[10]{};
    ULONG fetched = 99;
    EXPECT_EQ(e.Next(10, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(got[i].cfFormat, order[i]) << i;
        EXPECT_EQ(got[i].tymed, TYMED_HGLOBAL);
        EXPECT_EQ(got[i].lindex, -1);
        EXPECT_EQ(got[i].dwAspect, DVASPECT_CONTENT);
        EXPECT_EQ(got[i].ptd, nullptr);
    }
    EXPECT_EQ(e.Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(e.Reset(), S_OK);

    EXPECT_EQ(e.Skip(5), S_FALSE);
    EXPECT_EQ(e.Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0].cfFormat, f.Own);
    e.Reset();
    EXPECT_EQ(e.Skip(4), S_OK);
    EXPECT_EQ(e.Next(1, got, &fetched), S_OK);
    EXPECT_EQ(got[0].cfFormat, f.RegEditHexData);
    e.Reset();
    EXPECT_EQ(e.Skip(0xFFFFFFFFu), S_FALSE) << "unsigned count";

    e.Reset();
    e.Next(1, got, nullptr);
    e.Next(1, got, nullptr);
    EXPECT_EQ(got[0].cfFormat, CF_TEXT);
    IEnumFORMATETCPtr clone;
    EXPECT_EQ(e.Clone(clone), S_OK);
    ASSERT_TRUE(clone);
    clone->Next(1, got, nullptr);
    EXPECT_EQ(got[0].cfFormat, f.Own);
    e.Next(1, got, nullptr);
    EXPECT_EQ(got[0].cfFormat, f.FileGroupDescriptorW) << "the original keeps its place";
    EXPECT_EQ(e.Next(0, nullptr, &fetched), S_OK);
    EXPECT_EQ(e.Next(1, nullptr, &fetched), E_INVALIDARG);
}

namespace {

// A source whose enumerator answers as the test says.
class OddEnum : public IEnumFORMATETC {
public:
    std::function<HRESULT(FORMATETC*, ULONG*)> next;
    HRESULT Next(ULONG, FORMATETC* rgelt, ULONG* fetched) override { return next(rgelt, fetched); }
    HRESULT Skip(ULONG) override { return S_FALSE; }
    HRESULT Reset() override { return S_OK; }
    HRESULT Clone(IEnumFORMATETCPtr&) override { return E_NOTIMPL; }
};

class OddSource : public TWQHDataObject {
public:
    OddSource() : TWQHDataObject(nullptr, 0, QString(), false, false) {}
    std::shared_ptr<OddEnum> e = std::make_shared<OddEnum>();
    HRESULT result = S_OK;
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETCPtr& out) override
    {
        out = Succeeded(result) ? e : nullptr;
        return result;
    }
};

} // namespace

TEST(FormatSnapshot, TakesTheSourcesOrderAndLooksUp)
{
    auto obj = SampleObject();
    TFormatEnum snap(obj.get());
    ASSERT_EQ(snap.Formats().size(), 5u);
    EXPECT_EQ(snap.Formats()[1].cfFormat, CF_TEXT);
    EXPECT_TRUE(snap.HasFormat(WQHClipFormats().RegEditHexData));
    EXPECT_FALSE(snap.HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(snap.GetFormatETC(CF_TEXT).tymed, TYMED_HGLOBAL);
    const FORMATETC none = snap.GetFormatETC(CF_UNICODETEXT);
    EXPECT_EQ(none.cfFormat, 0xFFFF);
    EXPECT_EQ(none.dwAspect, 0xFFFFFFFFu);
    EXPECT_EQ(none.lindex, -1);
    EXPECT_EQ(none.tymed, 0xFFFFFFFFu);
    EXPECT_TRUE(TFormatEnum(nullptr).Formats().empty());
}

TEST(FormatSnapshot, MisbehavingSourcesCannotLoopOrGrowWithoutEnd)
{
    OddSource src;
    src.result = E_NOTIMPL;
    EXPECT_TRUE(TFormatEnum(&src).Formats().empty());

    src.result = S_OK;
    int calls = 0;
    src.e->next = [&](FORMATETC* f, ULONG* fetched) {  // S_OK, but fills nothing
        ++calls;
        (void)f;
        if (fetched)
            *fetched = 0;
        return S_OK;
    };
    EXPECT_TRUE(TFormatEnum(&src).Formats().empty());
    EXPECT_EQ(calls, 1);

    calls = 0;
    src.e->next = [&](FORMATETC* f, ULONG* fetched) {  // never ends
        ++calls;
        *f = MakeFormatEtc(CF_TEXT);
        *fetched = 1;
        return S_OK;
    };
    EXPECT_EQ(TFormatEnum(&src).Formats().size(), static_cast<std::size_t>(TFormatEnum::MaxEntries));
    EXPECT_EQ(calls, TFormatEnum::MaxEntries);

    int n = 0;
    src.e->next = [&](FORMATETC* f, ULONG* fetched) {  // two, then S_FALSE
        if (n == 2)
            return S_FALSE;
        *f = MakeFormatEtc(++n == 1 ? CF_UNICODETEXT : CF_DIB);
        *fetched = 1;
        return S_OK;
    };
    TFormatEnum two(&src);
    ASSERT_EQ(two.Formats().size(), 2u);
    EXPECT_EQ(two.Formats()[0].cfFormat, CF_UNICODETEXT);
    EXPECT_EQ(two.Formats()[1].cfFormat, CF_DIB);

    // A request that succeeds with another success code than S_OK counts too.
    n = 0;
    src.result = S_FALSE;
    EXPECT_EQ(TFormatEnum(&src).Formats().size(), 2u);
}
