// Conversions of fetched blocks into bytes, hex text, dropped-file lists and
// dropped files.
#include "hexeditor/ex/wqholeimport.h"
#include "hexeditor/wqhtypes.h"
#include "platform/exceptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wqhimport;
using Bytes = std::vector<std::uint8_t>;

namespace {

const TWQHClipFormats kIds{0xC000, 0xC001, 0xC002, 0xC003, 0xC004, 0xC005, 0xC006, 0xC007};

std::optional<Bytes> Convert(TClipFormat cf, const Bytes& block, bool swap = false)
{
    return ConvertOLEData(kIds, cf, block.data(), static_cast<std::int64_t>(block.size()), swap);
}

Bytes Own(std::uint32_t version, std::int32_t count, const Bytes& data)
{
    Bytes b{'W', 'Q', 'T', 'H'};
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(version >> (8 * i)));
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(std::uint32_t(count) >> (8 * i)));
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(0);
    return b;
}

} // namespace

TEST(ImportConvert, OwnBlockGivesItsBytesAndRefusesForeignOrLyingHeaders)
{
    EXPECT_EQ(Convert(kIds.Own, Own(0x00010001, 3, {0x41, 0x00, 0x42})), (Bytes{0x41, 0x00, 0x42}));
    EXPECT_FALSE(Convert(kIds.Own, Own(0x00010002, 3, {0x41, 0x00, 0x42})));
    Bytes badMagic = Own(0x00010001, 1, {7});
    badMagic[3] = 'X';
    EXPECT_FALSE(Convert(kIds.Own, badMagic));
    // The count claims more than the block holds, or is negative.
    EXPECT_FALSE(Convert(kIds.Own, Own(0x00010001, 5, {1, 2, 3})));
    EXPECT_FALSE(Convert(kIds.Own, Own(0x00010001, -1, {1, 2, 3})));
    EXPECT_FALSE(Convert(kIds.Own, Bytes{'W', 'Q', 'T', 'H', 1, 0, 1, 0, 0, 0, 0}));
    // The terminating zero is not needed for the count to fit.
    Bytes exact = Own(0x00010001, 2, {9, 8});
    exact.pop_back();
    EXPECT_EQ(Convert(kIds.Own, exact), (Bytes{9, 8}));
    EXPECT_EQ(Convert(kIds.Own, Own(0x00010001, 0, {})), Bytes{});
}

TEST(ImportConvert, RegEditHexDataIsBoundedByTheBlock)
{
    EXPECT_EQ(Convert(kIds.RegEditHexData, Bytes{3, 0, 0, 0, 0x41, 0, 0x42, 0}), (Bytes{0x41, 0, 0x42}));
    EXPECT_FALSE(Convert(kIds.RegEditHexData, Bytes{4, 0, 0, 0, 0x41, 0, 0x42}));
    EXPECT_FALSE(Convert(kIds.RegEditHexData, Bytes{0xFF, 0xFF, 0xFF, 0xFF, 1, 2}));
    EXPECT_FALSE(Convert(kIds.RegEditHexData, Bytes{1, 0, 0}));
}

TEST(ImportConvert, EightBitTextStopsAtTheFirstZeroAndNeedsOne)
{
    for (const TClipFormat cf : {CF_TEXT, CF_OEMTEXT, kIds.RichText, kIds.Html}) {
        EXPECT_EQ(Convert(cf, Bytes{'A', 'B', 0, 'C', 0}), (Bytes{'A', 'B'})) << cf;
        EXPECT_EQ(Convert(cf, Bytes{0}), Bytes{}) << cf;
        EXPECT_FALSE(Convert(cf, Bytes{'A', 'B'})) << cf;
    }
}

TEST(ImportConvert, UnicodeTextKeepsTwoBytesPerCharacterAndSwapsOnRequest)
{
    const Bytes ab{'A', 0, 'B', 0, 0, 0, 'C', 0};
    EXPECT_EQ(Convert(CF_UNICODETEXT, ab), (Bytes{0x41, 0, 0x42, 0}));
    EXPECT_EQ(Convert(CF_UNICODETEXT, ab, true), (Bytes{0, 0x41, 0, 0x42}));
    // A zero byte inside a character does not end the text.
    EXPECT_EQ(Convert(CF_UNICODETEXT, Bytes{0, 0x30, 0, 0}), (Bytes{0, 0x30}));
    EXPECT_FALSE(Convert(CF_UNICODETEXT, Bytes{'A', 0, 'B', 0}));
    // A block of odd size: the zero character is looked for in its whole units only.
    EXPECT_EQ(Convert(CF_UNICODETEXT, Bytes{'A', 0, 0, 0, 'x'}), (Bytes{'A', 0}));
    EXPECT_EQ(Convert(CF_UNICODETEXT, Bytes{'A', 0, 'B', 0, 0, 0, 0}, true), (Bytes{0, 'A', 0, 'B'}));
    EXPECT_EQ(Convert(CF_UNICODETEXT, Bytes{0, 0, 0}), Bytes{});
    EXPECT_FALSE(Convert(CF_UNICODETEXT, Bytes{'A', 0, 'B', 0, 0}));
    EXPECT_FALSE(Convert(CF_UNICODETEXT, Bytes{0}));
}

TEST(ImportConvert, DibGetsAFileHeaderAndRawFormatsPassUnchanged)
{
    Bytes dib(40);
    for (int i = 0; i < 40; ++i)
        dib[i] = static_cast<std::uint8_t>(i + 1);
    const auto out = Convert(CF_DIB, dib);
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), 54u);
    EXPECT_EQ((*out)[0], 'B');
    EXPECT_EQ((*out)[1], 'M');
    EXPECT_EQ(Bytes(out->begin() + 2, out->begin() + 14), Bytes(12, 0));
    EXPECT_EQ(Bytes(out->begin() + 14, out->end()), dib);
    for (const TClipFormat cf : {CF_TIFF, CF_RIFF, CF_WAVE, CF_BITMAP, CF_ENHMETAFILE})
        EXPECT_EQ(Convert(cf, Bytes{0, 1, 0, 2}), (Bytes{0, 1, 0, 2})) << cf;
}

TEST(ImportConvert, MetafilePaletteAndLocaleStandIns)
{
    EXPECT_EQ(Convert(CF_METAFILEPICT, Bytes{8, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0xAA, 0xBB}), (Bytes{0xAA, 0xBB}));
    EXPECT_FALSE(Convert(CF_METAFILEPICT, Bytes(12, 0)));

    EXPECT_EQ(Convert(CF_PALETTE, Bytes{1, 2, 3, 0, 4, 5, 6, 0}), (Bytes{0, 3, 2, 0, 1, 2, 3, 0, 4, 5, 6, 0}));
    EXPECT_FALSE(Convert(CF_PALETTE, Bytes{}));
    EXPECT_FALSE(Convert(CF_PALETTE, Bytes{1, 2, 3}));
    const auto full = Convert(CF_PALETTE, Bytes(256 * 4, 7));
    ASSERT_TRUE(full);
    EXPECT_EQ((*full)[2], 0);
    EXPECT_EQ((*full)[3], 1);
    EXPECT_FALSE(Convert(CF_PALETTE, Bytes(257 * 4, 7)));

    EXPECT_EQ(Convert(CF_LOCALE, Bytes{9, 4, 0, 0}), (Bytes{9, 4}));
    EXPECT_FALSE(Convert(CF_LOCALE, Bytes{9}));
}

TEST(ImportConvert, NoMemoryBlockOrUnknownFormatGivesNothing)
{
    EXPECT_FALSE(ConvertOLEData(kIds, CF_TEXT, nullptr, 0, false));
    const Bytes b{1, 0};
    EXPECT_FALSE(ConvertOLEData(kIds, CF_TEXT, b.data(), -1, false));
    EXPECT_FALSE(Convert(CF_HDROP, b));
    EXPECT_FALSE(Convert(kIds.FileContents, b));
    EXPECT_FALSE(Convert(0x1234, b));
}

TEST(ImportHexText, PairsOfDigitsInEitherCaseSkippingOthers)
{
    auto hex = [](const char* s, bool swap = false) {
        return DecodeHexText(Bytes(s, s + std::strlen(s)), swap);
    };
    EXPECT_EQ(hex("41 42"), (Bytes{0x41, 0x42}));
    EXPECT_EQ(hex("414"), (Bytes{0x41}));
    EXPECT_EQ(hex("aB,cD\r\n-eF"), (Bytes{0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(hex("4 1"), (Bytes{0x41}));
    EXPECT_EQ(hex("1400 24", true), (Bytes{0x41, 0x00, 0x42}));
    EXPECT_EQ(hex("xyz g"), Bytes{});
}

TEST(ImportDropFiles, WideListRoundTripsNamesOfAnyLength)
{
    const QString longName = QStringLiteral("/tmp/") + QString(600, QChar(u'd')) + QStringLiteral("/\u00e4\u4e2d.bin");
    const QStringList names{QStringLiteral("/a/b.bin"), longName};
    const Bytes list = MakeDropFiles(names);
    const auto back = ReadDropFiles(list.data(), static_cast<std::int64_t>(list.size()));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, names);
}

TEST(ImportDropFiles, MalformedListsGiveNothing)
{
    Bytes list = MakeDropFiles({QStringLiteral("/x")});
    // Without the closing zeros the names run off the block.
    EXPECT_FALSE(ReadDropFiles(list.data(), static_cast<std::int64_t>(list.size()) - 4));
    EXPECT_FALSE(ReadDropFiles(list.data(), 19));
    Bytes badOffset = list;
    badOffset[0] = 0xF0;
    EXPECT_FALSE(ReadDropFiles(badOffset.data(), static_cast<std::int64_t>(badOffset.size())));
    badOffset[0] = 4; // names inside the header
    EXPECT_FALSE(ReadDropFiles(badOffset.data(), static_cast<std::int64_t>(badOffset.size())));
    EXPECT_FALSE(ReadDropFiles(nullptr, 0));
    // An 8-bit list is read too.
    Bytes narrow(20, 0);
    narrow[0] = 20;
    for (char c : std::string("/n"))
        narrow.push_back(static_cast<std::uint8_t>(c));
    narrow.insert(narrow.end(), {0, 0});
    const auto n = ReadDropFiles(narrow.data(), static_cast<std::int64_t>(narrow.size()));
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, QStringList{QStringLiteral("/n")});
}

TEST(ImportDroppedFile, ReadsRegularFilesWholeAndRefusesOthers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("f.bin"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x01\x02\x00\x03", 4);
    f.close();
    EXPECT_EQ(ReadDroppedFile(path, 100), (Bytes{1, 2, 0, 3}));
    EXPECT_EQ(ReadDroppedFile(path, 4), (Bytes{1, 2, 0, 3}));
    EXPECT_THROW(ReadDroppedFile(path, 3), EWQHexEditor);
    EXPECT_THROW(ReadDroppedFile(dir.path(), 100), platform::EFOpenError);
    EXPECT_THROW(ReadDroppedFile(dir.filePath(QStringLiteral("missing")), 100), platform::EFOpenError);
    if (QFile::exists(QStringLiteral("/dev/zero"))) {
        EXPECT_THROW(ReadDroppedFile(QStringLiteral("/dev/zero"), 100), platform::EFOpenError);
    }
}

TEST(ImportDroppedFile, NameListIsUtf16WithAZeroAfterEachName)
{
    EXPECT_EQ(FileNamesAsData({QStringLiteral("/a"), QStringLiteral("b")}, 100),
              (Bytes{'/', 0, 'a', 0, 0, 0, 'b', 0, 0, 0}));
    EXPECT_THROW(FileNamesAsData({QStringLiteral("/a")}, 5), EWQHexEditor);
}
