// Our data object as MIME data, foreign MIME data as a data object, and the
// Qt clipboard transport (offscreen platform: the clipboard is in-process).
#include "clip_owner_check.h"
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhmimeadapter.h"
#include "hexeditor/ex/wqhmimetable.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QString Wm(const char* name)
{
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(QLatin1String(name));
}

std::vector<TClipFormat> Listed(IDataObject& obj)
{
    std::vector<TClipFormat> out;
    const TFormatEnum snapshot(&obj);
    for (const FORMATETC& f : snapshot.Formats())
        out.push_back(f.cfFormat);
    return out;
}

QByteArray Get(IDataObject& obj, TClipFormat cf, DWORD tymed = TYMED_HGLOBAL)
{
    FORMATETC fe = MakeFormatEtc(cf);
    fe.tymed = tymed;
    STGMEDIUM medium;
    if (obj.GetData(fe, medium) != S_OK || !medium.hGlobal)
        return QByteArray("<failed>");
    return medium.hGlobal->Bytes();
}

} // namespace

TEST(ClipMime, OurObjectPublishesTheEnumeratorsOrder)
{
    const QByteArray data = Bytes({0x41, 0xE9, 0x00, 0x42});
    TWQHMimeData md(TWQHDataObject::Create(data.constData(), 4, QStringLiteral("a.bin"), false, false), 7);
    EXPECT_EQ(md.Token(), 7u);
    const QStringList expect = {Wm("TWQHexeditorEx Clipboard Format"), QStringLiteral("text/plain"),
                                Wm("FileGroupDescriptorW"), Wm("FileContents"),
                                QStringLiteral("application/octet-stream"), Wm("RegEdit_HexData")};
    EXPECT_EQ(md.formats(), expect);
    EXPECT_TRUE(md.hasFormat(QStringLiteral("TEXT/PLAIN")));
    EXPECT_FALSE(md.hasFormat(QStringLiteral("text/html")));

    // Text goes out as the characters the bytes stand for, up to the first zero.
    EXPECT_EQ(md.text(), QString::fromUtf8("A\u00e9"));
    EXPECT_EQ(md.data(QStringLiteral("text/plain")), QByteArray("A\xc3\xa9"));
    EXPECT_EQ(md.data(QStringLiteral("application/octet-stream")), data);
    EXPECT_EQ(md.data(Wm("RegEdit_HexData")), Bytes({4, 0, 0, 0}) + data + Bytes({0}));
    EXPECT_TRUE(md.data(QStringLiteral("text/html")).isEmpty());
}

TEST(ClipMime, HexTextGoesOutAsDigits)
{
    const QByteArray data = Bytes({0x41, 0x00, 0x42});
    TWQHMimeData md(TWQHDataObject::Create(data.constData(), 3, QString(), true, false), 1);
    EXPECT_EQ(md.text(), QStringLiteral("410042"));
}

TEST(ClipMime, EightBitTextRoundTripsEveryNonZeroByte)
{
    QByteArray all;
    for (int i = 1; i < 256; ++i)
        all.append(static_cast<char>(i));
    TWQHMimeData ours(TWQHDataObject::Create(all.constData(), all.size(), QString(), false, false), 1);
    // What another program receives and offers back.
    QMimeData foreign;
    foreign.setData(QStringLiteral("text/plain"), ours.data(QStringLiteral("text/plain")));
    ASSERT_TRUE(QString::fromUtf8(foreign.data(QStringLiteral("text/plain"))).isValidUtf16());
    IDataObjectPtr back = WQHDataObjectFromMime(&foreign);
    EXPECT_EQ(Get(*back, CF_TEXT), all + Bytes({0}));
}

TEST(ClipAdapter, OurOwnMimeGivesBackItsObject)
{
    IDataObjectPtr obj = TWQHDataObject::Create("ab", 2, QString(), false, false);
    TWQHMimeData md(obj, 3);
    EXPECT_EQ(WQHDataObjectFromMime(&md), obj);
    EXPECT_FALSE(WQHDataObjectFromMime(nullptr));
}

TEST(ClipAdapter, PlainTextOffersTheTextFormats)
{
    QMimeData md;
    md.setText(QString::fromUtf8("AB\u00e9\u4e2d"));
    IDataObjectPtr obj = WQHDataObjectFromMime(&md);
    EXPECT_EQ(Listed(*obj), (std::vector<TClipFormat>{CF_TEXT, CF_UNICODETEXT, CF_OEMTEXT}));
    EXPECT_EQ(Get(*obj, CF_TEXT), Bytes({0x41, 0x42, 0xE9, '?', 0}));
    EXPECT_EQ(Get(*obj, CF_OEMTEXT), Bytes({0x41, 0x42, 0xE9, '?', 0}));
    EXPECT_EQ(Get(*obj, CF_UNICODETEXT), Bytes({0x41, 0, 0x42, 0, 0xE9, 0, 0x2D, 0x4E, 0, 0}));
    EXPECT_EQ(Get(*obj, CF_DIB), QByteArray("<failed>"));
    FORMATETC fe = MakeFormatEtc(CF_TEXT);
    fe.tymed = TYMED_ISTREAM;
    EXPECT_EQ(obj->QueryGetData(fe), DV_E_TYMED);
}

TEST(ClipAdapter, RegisteredRtfHtmlAndOctets)
{
    const TWQHClipFormats& f = WQHClipFormats();
    QMimeData md;
    md.setData(Wm("TWQHexeditorEx Clipboard Format"), QByteArray("WQTHblock"));
    md.setData(QStringLiteral("text/rtf"), QByteArray("{\\rtf1}"));
    md.setHtml(QStringLiteral("<b>x</b>"));
    md.setData(QStringLiteral("application/octet-stream"), QByteArray("\x01\x02", 2));
    md.setData(Wm("Some Foreign Format"), QByteArray("zz"));
    md.setData(Wm("SOME FOREIGN FORMAT"), QByteArray("same format, listed once"));
    md.setData(Wm("Second Foreign Format"), QByteArray("s"));
    IDataObjectPtr obj = WQHDataObjectFromMime(&md);
    const std::vector<TClipFormat> listed = Listed(*obj);
    const TClipFormat foreign = RegisterClipboardFormatW(QStringLiteral("some foreign format"));
    const TClipFormat second = RegisterClipboardFormatW(QStringLiteral("Second Foreign Format"));
    EXPECT_EQ(listed, (std::vector<TClipFormat>{f.Own, f.FileContents, f.RichText, f.Html, foreign, second}));
    EXPECT_EQ(Get(*obj, second), QByteArray("s"));
    EXPECT_EQ(Get(*obj, f.Own), QByteArray("WQTHblock"));
    EXPECT_EQ(Get(*obj, f.RichText), QByteArray("{\\rtf1}", 8));
    EXPECT_EQ(Get(*obj, f.Html), QByteArray("<b>x</b>", 9));
    EXPECT_EQ(Get(*obj, f.FileContents), QByteArray("\x01\x02", 2));
    EXPECT_EQ(Get(*obj, foreign), QByteArray("zz"));
}

TEST(ClipAdapter, FileListOnlyWhenEveryUrlIsLocal)
{
    const std::vector<TClipFormat> text = {CF_TEXT, CF_UNICODETEXT, CF_OEMTEXT};
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.bin"));
    const QString b = QStringLiteral("/tmp/b c");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    IDataObjectPtr obj = WQHDataObjectFromMime(&files);
    EXPECT_EQ(Listed(*obj), (std::vector<TClipFormat>{CF_HDROP}));
    QByteArray expect(20, '\0');
    expect[0] = 20;
    expect[16] = 1;
    for (const QString& p : {a, b}) {
        expect.append(reinterpret_cast<const char*>(p.utf16()), p.size() * 2);
        expect.append(2, '\0');
    }
    expect.append(2, '\0');
    EXPECT_EQ(Get(*obj, CF_HDROP), expect);

    // A web link as a browser or a terminal copies it: the link and its text.
    const QString link = QStringLiteral("https://example.org/x?y=1");
    QMimeData web;
    web.setUrls({QUrl(link)});
    web.setText(link);
    obj = WQHDataObjectFromMime(&web);
    EXPECT_EQ(Listed(*obj), text);
    EXPECT_EQ(Get(*obj, CF_HDROP), QByteArray("<failed>"));
    EXPECT_EQ(Get(*obj, CF_TEXT), link.toLatin1() + Bytes({0}));

    // One remote URL among local files: no file list either.
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(a), QUrl(link), QUrl::fromLocalFile(b)});
    mixed.setText(link);
    EXPECT_EQ(Listed(*WQHDataObjectFromMime(&mixed)), text);

    QMimeData remoteOnly;
    remoteOnly.setUrls({QUrl(link)});
    EXPECT_TRUE(Listed(*WQHDataObjectFromMime(&remoteOnly)).empty());
    QMimeData emptyList;
    emptyList.setData(QStringLiteral("text/uri-list"), QByteArray("# nothing\r\n"));
    EXPECT_TRUE(Listed(*WQHDataObjectFromMime(&emptyList)).empty());
}

namespace {

// Counts the reads of the URL list: for another program's clipboard each
// read is a fetch from that program.
class UrlCountingMime : public QMimeData {
public:
    mutable int urlReads = 0;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (mimeType == QStringLiteral("text/uri-list"))
            ++urlReads;
        return QMimeData::retrieveData(mimeType, type);
    }
};

} // namespace

TEST(ClipAdapter, UrlListIsReadOnce)
{
    const QString path = QStringLiteral("/tmp/a.bin");
    UrlCountingMime md;
    md.setUrls({QUrl::fromLocalFile(path)});
    IDataObjectPtr obj = WQHDataObjectFromMime(&md);
    EXPECT_EQ(md.urlReads, 1);
    EXPECT_EQ(Listed(*obj), (std::vector<TClipFormat>{CF_HDROP}));
    EXPECT_EQ(Get(*obj, CF_HDROP).size(), 20 + (path.size() + 1) * 2 + 2);
    EXPECT_EQ(Get(*obj, CF_HDROP).size(), 20 + (path.size() + 1) * 2 + 2);
    EXPECT_EQ(md.urlReads, 1) << "listing and rendering use the list read when the adapter was made";

    UrlCountingMime text;
    text.setText(QStringLiteral("x"));
    WQHDataObjectFromMime(&text);
    EXPECT_EQ(text.urlReads, 0) << "no list offered, none read";
}

TEST(ClipAdapter, ImagesBecomeBitmapsAndDibs)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QMimeData md;
    md.setImageData(image);
    IDataObjectPtr obj = WQHDataObjectFromMime(&md);
    const std::vector<TClipFormat> listed = Listed(*obj);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0], CF_BITMAP);
    EXPECT_EQ(listed[1], CF_DIB);
    EXPECT_EQ(TFormatEnum(obj.get()).GetFormatETC(CF_BITMAP).tymed, TYMED_GDI);
    const QByteArray bmp = Get(*obj, CF_BITMAP, TYMED_GDI);
    ASSERT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(QImage::fromData(bmp, "BMP").pixel(1, 1), QColor(Qt::red).rgb());
    EXPECT_EQ(Get(*obj, CF_DIB), bmp.mid(14)) << "a DIB is the file without its 14-byte header";
}

TEST(ClipAdapter, GoneMimeDataOffersNothing)
{
    auto md = std::make_unique<QMimeData>();
    md->setText(QStringLiteral("x"));
    IDataObjectPtr obj = WQHDataObjectFromMime(md.get());
    md.reset();
    EXPECT_TRUE(Listed(*obj).empty());
    STGMEDIUM medium;
    EXPECT_EQ(obj->GetData(MakeFormatEtc(CF_TEXT), medium), E_FAIL);
}

TEST(ClipTransport, OwnershipFollowsTheTokenOfTheLastSet)
{
    QClipboard* cb = QGuiApplication::clipboard();
    IDataObjectPtr a = TWQHDataObject::Create("aa", 2, QString(), false, false);
    IDataObjectPtr b = TWQHDataObject::Create("bb", 2, QString(), false, false);
    ASSERT_EQ(OleSetClipboard(a), S_OK);
    EXPECT_EQ(OleIsCurrentClipboard(a), S_OK);
    EXPECT_EQ(OleIsCurrentClipboard(b), S_FALSE);
    EXPECT_EQ(cb->text(), QStringLiteral("aa"));

    IDataObjectPtr got;
    ASSERT_EQ(OleGetClipboard(got), S_OK);
    EXPECT_EQ(got, a);

    // Another program (or anyone) takes the clipboard.
    cb->setText(QStringLiteral("foreign"));
    EXPECT_EQ(OleIsCurrentClipboard(a), S_FALSE);
    ASSERT_EQ(OleGetClipboard(got), S_OK);
    EXPECT_EQ(Get(*got, CF_TEXT), QByteArray("foreign", 8));

    // Our MIME data with the same object but not put there by us last.
    ASSERT_EQ(OleSetClipboard(a), S_OK);
    cb->setMimeData(new TWQHMimeData(a, WQHNewMimeToken()));
    EXPECT_EQ(OleIsCurrentClipboard(a), S_FALSE);

    ASSERT_EQ(OleSetClipboard(b), S_OK);
    EXPECT_EQ(OleSetClipboard(nullptr), S_OK);
    EXPECT_EQ(OleIsCurrentClipboard(b), S_FALSE);
    EXPECT_TRUE(cb->text().isEmpty());
}

TEST(ClipTransport, ControlOwnsItsCopyAlreadyDuringTheChangeNotification)
{
    ExpectOwnedDuringTheChangeNotification([] { return QGuiApplication::clipboard()->text(); });
}

TEST(ClipTransport, FlushKeepsTheDataAfterTheObjectIsGone)
{
    QClipboard* cb = QGuiApplication::clipboard();
    std::weak_ptr<IDataObject> watch;
    {
        IDataObjectPtr a = TWQHDataObject::Create("xyz", 3, QString(), false, false);
        watch = a;
        ASSERT_EQ(OleSetClipboard(a), S_OK);
        ASSERT_EQ(OleFlushClipboard(), S_OK);
        EXPECT_EQ(OleIsCurrentClipboard(a), S_FALSE);
    }
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(cb->text(), QStringLiteral("xyz"));
    EXPECT_EQ(cb->mimeData()->data(QStringLiteral("application/octet-stream")), QByteArray("xyz"));
}

TEST(ClipTransport, SetHexClipboardData)
{
    WQHSetHexClipboardData("\x12\x34", 2, QStringLiteral("f.bin"), true, false);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1234"));
}
