// Translation settings, 16-bit mode, search and replace on the control.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhtranslate.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <utility>

namespace {

class TTestEditor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::FOffsetHandler;
    std::vector<std::pair<int, int>> writes;  // position and count of each virtual write
    void WriteBuffer(const void* Buffer, int Index, int Count) override
    {
        writes.emplace_back(Index, Count);
        TCustomWQHexEditor::WriteBuffer(Buffer, Index, Count);
    }
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

QString Pattern(std::initializer_list<int> values)
{
    QString s;
    for (int v : values)
        s += QChar(char16_t(v));
    return s;
}

std::vector<int> Codes(const QString& s)
{
    std::vector<int> v;
    for (QChar c : s)
        v.push_back(c.unicode());
    return v;
}

template <class F>
QString ErrorOf(F&& f)
{
    try {
        f();
    } catch (const platform::Exception& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

class TranslateEditor : public ::testing::Test {
protected:
    void SetUp() override { ed = std::make_unique<TTestEditor>(); }

    void Load(const QByteArray& data)
    {
        platform::TMemoryStream s;
        s.Write(data.constData(), data.size());
        s.Seek(0, platform::SeekOrigin::Begin);
        ed->LoadFromStream(s);
    }
    QByteArray Data() const
    {
        QByteArray b(ed->DataSize(), '\0');
        if (!b.isEmpty())
            ed->ReadBuffer(b.data(), 0, static_cast<int>(b.size()));
        return b;
    }
    int Find(const QString& p, int start = 0, int end = INT_MAX, bool ignoreCase = false)
    {
        return ed->Find(p.constData(), int(p.size()), start, end, ignoreCase);
    }
    int FindW(const QString& p, QChar wild, int start = 0, int end = INT_MAX, bool ignoreCase = false)
    {
        return ed->FindWithWildcard(p.constData(), int(p.size()), start, end, ignoreCase, wild);
    }

    testsupport::ScopedPlatformFakes fakes;
    std::unique_ptr<TTestEditor> ed;
};

// ---- settings ---------------------------------------------------------------

TEST_F(TranslateEditor, DefaultsFromConstruction)
{
    EXPECT_EQ(ed->Translation(), tkAsIs);
    EXPECT_EQ(ed->MaskChar(), QChar(u'.'));
    EXPECT_EQ(ed->MaskedChars(), TWQHCharSet(0xFFFFFFFFull));
    EXPECT_FALSE(ed->UnicodeChars());
    EXPECT_FALSE(ed->UnicodeBigEndian());
    EXPECT_FALSE(ed->FindProgress());
    // The find tables work before any search text was prepared.
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(ed->FindTable(false)[i], i);
    EXPECT_EQ(ed->FindTable(true)[u'A'], u'a');
    EXPECT_EQ(ed->FindTable(true)[0xC9], 0xE9);
    EXPECT_EQ(ed->FindTable(true)[u'a'], u'a');
    Load("xxHELLO");
    EXPECT_EQ(Find(QStringLiteral("hello"), 0, INT_MAX, true), 2);
}

TEST_F(TranslateEditor, ShownCharacterFollowsKindAndMask)
{
    EXPECT_EQ(ed->TranslateToAnsiChar(0x01), QChar(u'.'));
    EXPECT_EQ(ed->TranslateToAnsiChar(0xE9), QChar(0xE9));
    ed->SetMaskChar(QChar(0));
    EXPECT_EQ(ed->TranslateToAnsiChar(0x01), QChar(0x01));
    ed->SetMaskChar(QChar(u'#'));
    ed->SetTranslation(tkBCD);
    EXPECT_EQ(ed->TranslateToAnsiChar(0xC1), QChar(u'A'));
    EXPECT_EQ(ed->TranslateToAnsiChar(0x41), QChar(u'#'));  // unassigned in 038
    ed->SetTranslation(tkMac);
    EXPECT_EQ(ed->TranslateToAnsiChar(0x80), QChar(0xC4));
    ed->SetTranslation(tkASCII);
    EXPECT_EQ(ed->TranslateToAnsiChar(0x80), QChar(u'#'));
}

TEST_F(TranslateEditor, TypedCharacterRefusalDoesNotDependOnMaskedChars)
{
    EXPECT_EQ(ed->TranslateFromAnsiChar('A'), QChar(u'A'));
    EXPECT_EQ(ed->TranslateFromAnsiChar(0x05), QChar(0));  // masked
    EXPECT_EQ(ed->TranslateTypedChar(0x0141), -1);         // not its low byte 0x41
    ed->SetMaskedChars(TWQHCharSet{});
    EXPECT_EQ(ed->TranslateTypedChar(0x0141), -1);
    EXPECT_EQ(ed->TranslateTypedChar(0x00), 0);  // a real 0x00 byte, told apart from a refusal
    EXPECT_EQ(ed->TranslateFromAnsiChar(0x05), QChar(0x05));
    ed->SetTranslation(tkBCD);
    EXPECT_EQ(ed->TranslateTypedChar(u'A'), 0xC1);
    EXPECT_EQ(ed->TranslateFromAnsiChar('A'), QChar(0xC1));
    EXPECT_EQ(ed->TranslateTypedChar(0xE9), -1);  // é has no EBCDIC 038 code
    EXPECT_EQ(ed->TranslateFromAnsiChar(0xE9), QChar(0));
    ed->SetTranslation(tkDos8);
    EXPECT_EQ(ed->TranslateTypedChar(0x1F), -1);
    ed->SetTranslation(tkASCII);
    EXPECT_EQ(ed->TranslateTypedChar(0xC7), -1);
    EXPECT_EQ(ed->TranslateTypedChar(u'z'), u'z');
}

TEST_F(TranslateEditor, UnicodeModeSwitchingRules)
{
    Load(QByteArray(7, 'a'));
    EXPECT_EQ(ErrorOf([&] { ed->SetUnicodeCharacters(true); }), wqhstr::UnicodeOddSize);
    EXPECT_FALSE(ed->UnicodeChars());
    EXPECT_EQ(ed->BytesPerUnit(), 1);

    Load(QByteArray(8, 'a'));
    ed->SetTranslation(tkMac);
    ed->SetUnicodeCharacters(true);
    EXPECT_TRUE(ed->UnicodeChars());
    EXPECT_EQ(ed->Translation(), tkAsIs);
    EXPECT_EQ(ed->BytesPerUnit(), 2);
    EXPECT_EQ(ErrorOf([&] { ed->SetTranslation(tkBCD); }), wqhstr::TranslationsUnicode);
    EXPECT_EQ(ed->Translation(), tkAsIs);
    ed->SetTranslation(tkAsIs);  // unchanged: fine
    // In 16-bit mode every typed character is stored as itself.
    EXPECT_EQ(ed->TranslateTypedChar(0x0141), 0x0141);
    ed->SetUnicodeBigEndian(true);
    EXPECT_TRUE(ed->UnicodeBigEndian());
    ed->SetUnicodeCharacters(false);
    EXPECT_FALSE(ed->UnicodeChars());
    EXPECT_EQ(ed->BytesPerUnit(), 1);
    EXPECT_EQ(ed->TranslateTypedChar(0x0141), -1);
    ed->SetTranslation(tkBCD);
    EXPECT_EQ(ed->Translation(), tkBCD);
}

TEST_F(TranslateEditor, UnicodeModeChecksRowThenColumnThenSize)
{
    Load(QByteArray(7, 'a'));
    ed->SetBytesPerRow(15);
    EXPECT_EQ(ErrorOf([&] { ed->SetUnicodeCharacters(true); }), wqhstr::InvalidBytesPerLine);
    ed->SetBytesPerRow(16);
    ed->SetBytesPerColumn(1);
    EXPECT_EQ(ErrorOf([&] { ed->SetUnicodeCharacters(true); }), wqhstr::InvalidBytesPerColumn);
    EXPECT_FALSE(ed->UnicodeChars());
    EXPECT_EQ(ed->BytesPerColumn(), 1);
}

// ---- search text ------------------------------------------------------------

TEST_F(TranslateEditor, PrepareTextAsIsAndSixteenBit)
{
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData("Ab", true, true)), (std::vector<int>{0x61, 0x62}));
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData("Ab", false, true)), (std::vector<int>{0x41, 0x62}));
    EXPECT_EQ(ed->PrepareFindReplaceData("", true, true), "");
    Load(QByteArray(8, 'a'));
    ed->SetUnicodeCharacters(true);
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData("Ab", true, true)), (std::vector<int>{0x61, 0, 0x62, 0}));
    ed->SetUnicodeBigEndian(true);
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData("Ab", true, true)), (std::vector<int>{0, 0x61, 0, 0x62}));
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData(QString::fromUtf16(u"\u0141"), false, true)),
              (std::vector<int>{0x01, 0x41}));
}

TEST_F(TranslateEditor, PrepareTextAsIsKeepsCharactersAboveTheByteRange)
{
    // As is there is nothing to translate: the text comes back as it is
    // (lower-cased when asked), so such a character can still be the wildcard.
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData(QString::fromUtf16(u"a\u2022"), false, true)),
              (std::vector<int>{0x61, 0x2022}));
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData(QString::fromUtf16(u"A\u0100"), true, true)),
              (std::vector<int>{0x61, 0x0101}));
    // Byte values are lower-cased the same way.
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData(Pattern({0x41, 0xC9, 0x100}), true, false)),
              (std::vector<int>{0x61, 0xE9, 0x101}));
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData(Pattern({0x41, 0x100}), false, false)),
              (std::vector<int>{0x41, 0x100}));
    Load(Bytes({0x20, 0x61, 0x7F}));
    const QString p = ed->PrepareFindReplaceData(QString::fromUtf16(u"a\u2022"), false, true);
    EXPECT_EQ(FindW(p, QChar(0x2022)), 1);
    EXPECT_EQ(Find(p), -1);
}

TEST_F(TranslateEditor, PrepareTextUnderACodePage)
{
    ed->SetTranslation(tkBCD);
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData("A1", false, true)), (std::vector<int>{0xC1, 0xF1}));
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData("A1", true, true)), (std::vector<int>{0x81, 0xF1}));
    // A character the kind cannot store becomes an element no byte matches.
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData(QString::fromUtf16(u"A\u00E9"), false, true)),
              (std::vector<int>{0xC1, WQH_NO_CHAR}));
    // Byte values are folded as the kind folds them, not as Latin-1 letters.
    EXPECT_EQ(Codes(ed->PrepareFindReplaceData(Pattern({0xC1, 0xF1}), true, false)), (std::vector<int>{0x81, 0xF1}));
    EXPECT_EQ(ed->FindTable(true)[0xC1], 0x81);
    EXPECT_EQ(ed->FindTable(true)[0x81], 0x81);
    // So the prepared bytes find the upper-case letter in the data.
    Load(Bytes({0x40, 0xC1}));
    EXPECT_EQ(Find(ed->PrepareFindReplaceData(Pattern({0xC1}), true, false), 0, INT_MAX, true), 1);
}

TEST_F(TranslateEditor, EmptyTextLeavesTheTablesAlone)
{
    ed->SetTranslation(tkBCD);
    EXPECT_EQ(ed->PrepareFindReplaceData("", true, true), "");
    EXPECT_EQ(ed->FindTable(true)[u'A'], u'a');  // still the table of tkAsIs
    ed->PrepareFindReplaceData("x", true, true);
    EXPECT_EQ(ed->FindTable(true)[u'A'], u'A');  // 'A' is no EBCDIC letter
}

TEST_F(TranslateEditor, FoldOnlyWhereTheRoundTripHolds)
{
    const TWQHCharConv saved = WQHCustomCharConv;
    // Byte 0x01 also shows as 'A', but 'A' is stored as 0x41: 0x01 stays itself.
    WQHCustomCharConv[cctToAnsi][0x01] = u'A';
    // 'b' has no byte here: 'B' cannot fold.
    WQHCustomCharConv[cctFromAnsi][u'b'] = WQH_NO_CHAR;
    ed->SetTranslation(tkCustom);
    ed->PrepareFindReplaceData("a", true, true);
    const TWQHFindTable t = ed->FindTable(true);
    WQHCustomCharConv = saved;
    EXPECT_EQ(t[0x01], 0x01);
    EXPECT_EQ(t[0x41], 0x61);
    EXPECT_EQ(t[0x42], 0x42);
    EXPECT_EQ(t[0x43], 0x63);
}

// ---- find -------------------------------------------------------------------

TEST_F(TranslateEditor, FindBasicExamples)
{
    Load(Bytes({0x41, 0x41, 0x42}));
    EXPECT_EQ(Find(Pattern({0x41, 0x42})), 1);
    EXPECT_EQ(Find(Pattern({0x41, 0x42}), 0, 1), -1);  // would end at 2
    EXPECT_EQ(ed->Find(Pattern({0x41}).constData(), 0, 0, 2, false), -1);
    EXPECT_EQ(Find(Pattern({0x41, 0x42}), 2), -1);
    EXPECT_EQ(Find(Pattern({0x41}), 1), 1);
    EXPECT_EQ(Find(Pattern({0x41, 0x41, 0x42, 0x00})), -1);
    EXPECT_EQ(Find(Pattern({0x0141})), -1);  // no byte is above 255
    EXPECT_EQ(Find(Pattern({0x41, 0x42}), 0, 1000), 1);  // end beyond the data is cut
}

TEST_F(TranslateEditor, FindWithWildcardExamples)
{
    Load(Bytes({0x00, 0x41, 0x00, 0x43, 0x41, 0xFF, 0x43}));
    const QString p = Pattern({0x41, 0x2A, 0x43});
    EXPECT_EQ(FindW(p, u'*'), 1);
    EXPECT_EQ(FindW(p, u'*', 2), 4);
    EXPECT_EQ(FindW(Pattern({0x2A, 0x2A}), u'*', 5), 5);
    EXPECT_EQ(FindW(Pattern({0x2A, 0x2A}), u'*', 6), -1);
    EXPECT_EQ(Find(p), -1);  // without wildcards '*' is a plain byte
}

TEST_F(TranslateEditor, NegativeStartIsABoundsErrorEvenWithWildcards)
{
    Load(Bytes({0x41, 0x42, 0x43}));
    EXPECT_EQ(ErrorOf([&] { Find(Pattern({0x41}), -1); }), wqhstr::DataBounds);
    EXPECT_EQ(ErrorOf([&] { FindW(Pattern({0x2A}), u'*', -1); }), wqhstr::DataBounds);
    EXPECT_EQ(ErrorOf([&] { FindW(Pattern({0x2A, 0x2A}), u'*', -5, 0); }), wqhstr::DataBounds);
    // A pattern that cannot fit is -1 before any position is looked at.
    EXPECT_EQ(FindW(Pattern({0x2A, 0x2A, 0x2A, 0x2A, 0x2A}), u'*', -1, 2), -1);
}

TEST_F(TranslateEditor, IgnoreCaseFindsBothCasesThroughOneTable)
{
    Load(Bytes({0x41, 0x20, 0x61, 0x20, 0xC9, 0xE9}));
    const QString a = ed->PrepareFindReplaceData("a", true, true);
    EXPECT_EQ(Find(a, 0, INT_MAX, true), 0);
    EXPECT_EQ(Find(a, 1, INT_MAX, true), 2);
    EXPECT_EQ(Find(a, 1, INT_MAX, false), 2);
    // Only the data bytes go through the table: the search text is compared
    // as it is, so an upper-case text that was never prepared finds nothing.
    EXPECT_EQ(Find(Pattern({0x41}), 0, INT_MAX, true), -1);
    EXPECT_EQ(Find(Pattern({0x41}), 0, INT_MAX, false), 0);
    EXPECT_EQ(Find(Pattern({0xE9, 0xE9}), 0, INT_MAX, true), 4);
    EXPECT_EQ(Find(Pattern({0xE9, 0xE9}), 0, INT_MAX, false), -1);
    EXPECT_EQ(Find(Pattern({0xC9, 0xC9}), 0, INT_MAX, true), -1);
    EXPECT_EQ(Find(Pattern({0xE9, 0xC9}), 0, INT_MAX, true), -1);
    EXPECT_EQ(FindW(Pattern({0xE9, u'*'}), u'*', 0, INT_MAX, true), 4);
    EXPECT_EQ(FindW(Pattern({0xC9, u'*'}), u'*', 0, INT_MAX, true), -1);
    EXPECT_EQ(FindW(Pattern({u'*', 0xE9}), u'*', 0, INT_MAX, true), 3);

    // Code page 437: Ç (0x80) and ç (0x87).
    Load(Bytes({0x20, 0x87, 0x80}));
    ed->SetTranslation(tkDos8);
    const QString c = ed->PrepareFindReplaceData(QString::fromUtf16(u"\u00C7"), true, true);
    EXPECT_EQ(Codes(c), (std::vector<int>{0x87}));
    EXPECT_EQ(Find(c, 0, INT_MAX, true), 1);
    EXPECT_EQ(Find(c, 2, INT_MAX, true), 2);
    EXPECT_EQ(FindW(Pattern({0x87, u'?'}), u'?', 0, INT_MAX, true), 1);
    EXPECT_EQ(FindW(Pattern({0x80, u'?'}), u'?', 0, INT_MAX, true), -1);
}

TEST_F(TranslateEditor, UnencodableElementNeverMatches)
{
    Load(Bytes({0xC1, 0x00, 0xC1, 0x51}));
    ed->SetTranslation(tkBCD);
    const QString p = ed->PrepareFindReplaceData(QString::fromUtf16(u"A\u00E9"), false, true);
    EXPECT_EQ(Find(p), -1);
    EXPECT_EQ(FindW(p, u'*'), -1);
    ed->SetFindProgress(true);
    ed->SetOnProgress([](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool&) {});
    EXPECT_EQ(Find(p), -1);
}

TEST_F(TranslateEditor, SearchHandlersReplaceTheSearch)
{
    Load(Bytes({1, 2, 3}));
    int calls = 0;
    QChar seenWild;
    ed->SetOnFind([&](QObject* s, const QChar* pat, int len, int from, int until, bool ic, QChar w, int& found) {
        ++calls;
        EXPECT_EQ(s, ed.get());
        EXPECT_EQ(pat[0], QChar(2));
        EXPECT_EQ(len, 1);
        EXPECT_EQ(from, 0);
        EXPECT_EQ(until, 99);
        EXPECT_TRUE(ic);
        EXPECT_EQ(w, QChar(0));
        found = 77;
    });
    ed->SetOnWildcardFind([&](QObject*, const QChar*, int, int, int, bool, QChar w, int& found) {
        seenWild = w;
        found = 55;
    });
    EXPECT_EQ(Find(Pattern({2}), 0, 99, true), 77);
    EXPECT_EQ(FindW(Pattern({2}), u'?'), 55);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenWild, QChar(u'?'));
}

// A left-to-right brute force, as the search is defined.
int Reference(const QByteArray& data, const std::vector<int>& el, int start, int end, const TWQHFindTable& t)
{
    end = std::min<int>(end, int(data.size()) - 1);
    const int m = int(el.size());
    for (int i = start; i + m - 1 <= end; ++i) {
        int j = 0;
        while (j < m && (el[j] == -2 || el[j] == t[std::uint8_t(data[i + j])]))
            ++j;
        if (j == m)
            return i;
    }
    return -1;
}

TEST_F(TranslateEditor, RandomSearchesAgreeWithBruteForce)
{
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        // A small alphabet so that partial matches and repeats are common.
        const int size = 1 + int(rng() % 3000);
        QByteArray data(size, '\0');
        const char alphabet[] = {'a', 'A', 'b', 'B', '\0', char(0xC9), char(0xE9)};
        for (char& c : data)
            c = alphabet[rng() % sizeof alphabet];
        Load(data);
        ed->SetTranslation(round % 3 == 0 ? tkDos8 : tkAsIs);
        ed->PrepareFindReplaceData("x", true, true);  // tables of the kind
        for (int q = 0; q < 40; ++q) {
            const bool ignoreCase = rng() % 2;
            const bool useWild = rng() % 2;
            const int m = 1 + int(rng() % 6);
            std::vector<int> el(std::size_t(m), 0);
            QString p;
            int s = int(rng() % size);
            for (int j = 0; j < m; ++j) {
                if (useWild && rng() % 4 == 0) {
                    el[j] = -2;
                    p += QChar(u'?');
                } else {
                    const int v = (rng() % 3 == 0) ? int(std::uint8_t(alphabet[rng() % sizeof alphabet]))
                                                   : int(std::uint8_t(data[(s + j) % size]));
                    el[j] = v;
                    p += QChar(char16_t(v));
                }
            }
            const int start = int(rng() % size);
            const int end = (rng() % 4 == 0) ? int(rng() % size) : INT_MAX;
            const TWQHFindTable& t = ed->FindTable(ignoreCase);
            const int expected = Reference(data, el, start, end, t);
            const int got = useWild ? FindW(p, u'?', start, end, ignoreCase) : Find(p, start, end, ignoreCase);
            ASSERT_EQ(got, expected) << "round " << round << " query " << q;

            // The scan that reports progress finds the same.
            ed->SetFindProgress(true);
            ed->SetOnProgress([](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool&) {});
            const int slow = useWild ? FindW(p, u'?', start, end, ignoreCase) : Find(p, start, end, ignoreCase);
            ed->SetFindProgress(false);
            ASSERT_EQ(slow, expected) << "round " << round << " query " << q;
        }
    }
}

TEST_F(TranslateEditor, ProgressReportsAndCancelStopsALargeSearch)
{
    QByteArray data(64 * 1024 * 1024, 'x');
    Load(data);
    data.clear();
    std::vector<int> percents;
    ed->SetFindProgress(true);
    ed->SetOnProgress([&](QObject* s, TWQHProgressKind kind, const QString&, std::uint8_t pct, bool& cancel) {
        EXPECT_EQ(s, ed.get());
        EXPECT_EQ(kind, pkFind);
        percents.push_back(pct);
        if (percents.size() == 3)
            cancel = true;
    });
    EXPECT_EQ(Find(QStringLiteral("xy")), -1);
    ASSERT_EQ(percents.size(), 3u);  // stopped at the third report
    EXPECT_EQ(percents[0], 0);

    // Without Cancel every step of a small search reports (fewer than 500 bytes).
    ed->SetOnProgress({});
    Load(QByteArray("abcab"));
    percents.clear();
    ed->SetOnProgress([&](QObject*, TWQHProgressKind, const QString&, std::uint8_t pct, bool&) {
        percents.push_back(pct);
    });
    EXPECT_EQ(Find(QStringLiteral("ab"), 1), 3);
    EXPECT_EQ(percents.size(), 4u);  // i=1 restart, i=2 restart, i=3 match, i=4 match end
    EXPECT_EQ(percents.front(), 20);

    // Halves round to the even percent, as the loads and saves do.
    Load(QByteArray(40, 'x'));
    percents.clear();
    EXPECT_EQ(Find(QStringLiteral("y"), 1, 3), -1);
    EXPECT_EQ(percents, (std::vector<int>{2, 5, 8, 10}));  // 2.5, 5, 7.5, then i=4 past the end
}

TEST_F(TranslateEditor, WaitCursorIsRestoredWhenTheProgressHandlerRaises)
{
    Load(QByteArray(100, 'x'));
    const TCursor before = ed->Cursor();
    TCursor during = before;
    ed->SetFindProgress(true);
    ed->SetOnProgress([&](QObject*, TWQHProgressKind, const QString&, std::uint8_t, bool&) {
        during = ed->Cursor();
        throw std::runtime_error("host failed");
    });
    EXPECT_THROW(Find(QStringLiteral("y")), std::runtime_error);
    EXPECT_EQ(during, crHourGlass);
    EXPECT_EQ(ed->Cursor(), before);
}

// ---- replace ----------------------------------------------------------------

TEST_F(TranslateEditor, ReplaceGrowsWhenTooFewBytesRemain)
{
    Load(QByteArray(11, 'a'));
    const char buf[] = "VWXYZ";
    EXPECT_EQ(ed->Replace(buf, 10, 2, 5, QString(), false), 5);
    EXPECT_EQ(Data(), QByteArray("aaaaaaaaaaVWXYZ"));
    EXPECT_TRUE(ed->CanUndo());
    ed->Undo();
    EXPECT_EQ(Data(), QByteArray(11, 'a'));
}

TEST_F(TranslateEditor, ReplaceWithFixedSizeWritesOnlyWhatFits)
{
    Load(QByteArray(11, 'a'));
    ed->SetNoSizeChange(true);
    const char buf[] = "VWXYZ";
    EXPECT_EQ(ed->Replace(buf, 10, 2, 5, QString(), false), 1);
    EXPECT_EQ(Data(), QByteArray("aaaaaaaaaaV"));
    EXPECT_EQ(ed->Replace(buf, 0, 3, 1, QString(), true), 1);
    EXPECT_EQ(Data(), QByteArray("VaaaaaaaaaV"));
}

TEST_F(TranslateEditor, ReplaceEqualShrinkAndEqualCountsCut)
{
    Load(QByteArray("0123456789"));
    EXPECT_EQ(ed->Replace("AB", 2, 2, 2, QString(), true), 2);
    EXPECT_EQ(Data(), QByteArray("01AB456789"));
    EXPECT_EQ(ed->GetCursorPos(), 2);  // the caret went to the replaced bytes
    EXPECT_EQ(ed->Replace("X", 2, 4, 1, QString(), true), 1);
    EXPECT_EQ(Data(), QByteArray("01X6789"));
    ed->SetSelStart(6);
    EXPECT_EQ(ed->Replace("Y", 0, 1, 1, QString(), false), 1);
    EXPECT_EQ(ed->GetCursorPos(), 6);  // left where it was
    // Equal counts past the end: both become what remains.
    EXPECT_EQ(ed->Replace("QRSTU", 5, 5, 5, QString(), false), 2);
    EXPECT_EQ(Data(), QByteArray("Y1X67QR"));
}

// Replacing by nothing still writes the (no) new bytes through the virtual
// write: a subclass sees it and the host gets its two OnChange calls.
TEST_F(TranslateEditor, ReplaceByNothingStillWritesThroughTheVirtualWrite)
{
    Load(QByteArray("0123456789"));
    int changes = 0;
    ed->SetOnChange([&](QObject*) { ++changes; });
    ed->writes.clear();
    EXPECT_EQ(ed->Replace(nullptr, 2, 3, 0, QString(), false), 0);
    EXPECT_EQ(Data(), QByteArray("0156789"));
    EXPECT_EQ(ed->writes, (std::vector<std::pair<int, int>>{{2, 0}}));
    EXPECT_EQ(changes, 2);
    ASSERT_TRUE(ed->Undo());
    EXPECT_EQ(Data(), QByteArray("0123456789"));
}

TEST_F(TranslateEditor, ReplaceChecksBeforeRecordingAnUndoStep)
{
    Load(QByteArray("0123"));
    const int steps = ed->UndoStorage().Count();
    const auto size = ed->UndoStorage().Size();
    for (auto call : std::vector<std::function<void()>>{
             [&] { ed->Replace("A", -1, 1, 1, QString(), false); },
             [&] { ed->Replace("A", 5, 1, 1, QString(), false); },
             [&] { ed->Replace("A", 0, -1, 1, QString(), false); },
             [&] { ed->Replace("A", 0, 1, -1, QString(), false); },
             [&] { ed->Replace(nullptr, 0, 1, 1, QString(), false); },
         }) {
        EXPECT_EQ(ErrorOf(call), wqhstr::DataBounds);
        EXPECT_EQ(ed->UndoStorage().Count(), steps);
        EXPECT_EQ(ed->UndoStorage().Size(), size);
        EXPECT_EQ(Data(), QByteArray("0123"));
    }
    // At the very end nothing remains to replace: an append of nothing.
    EXPECT_EQ(ed->Replace("A", 4, 0, 1, QString(), false), 1);
    EXPECT_EQ(Data(), QByteArray("0123A"));
}

} // namespace
