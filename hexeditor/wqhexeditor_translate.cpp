// Character translation, 16-bit mode, search and replace of the editor control.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhexeditor_store.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhtranslate.h"
#include "hexeditor/wqhundo.h"
#include "hexeditor/wqhwaitcursor.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

struct WQHTranslate {
    static constexpr int kWildcard = -2;
    static constexpr int kNever = -1;

    // Both find tables for a kind: identity, and the case fold. A byte is
    // folded only when it is the byte of its own character and the lower-case
    // character comes back to one byte; otherwise it stays itself.
    static void BuildFindTables(TWQHTranslationKind Kind, TWQHFindTable& Exact, TWQHFindTable& Folded)
    {
        for (int i = 0; i < 256; ++i) {
            Exact[i] = char16_t(i);
            Folded[i] = char16_t(i);
            const char16_t c = WQHByteToChar(Kind, std::uint8_t(i));
            if (c == WQH_NO_CHAR || WQHCharToByte(Kind, c) != i)
                continue;
            const char16_t lower = QChar(c).toLower().unicode();
            const int b = WQHCharToByte(Kind, lower);
            if (b < 0 || WQHByteToChar(Kind, std::uint8_t(b)) != lower)
                continue;
            Folded[i] = char16_t(b);
        }
    }

    // The search text as compared: each element as it is (only the data
    // bytes go through the table), kWildcard, or kNever for an element that
    // is no byte value at all.
    static std::vector<int> CompilePattern(const QChar* aBuffer, int aCount, bool UseWildcard, QChar Wildcard)
    {
        std::vector<int> el(static_cast<std::size_t>(aCount));
        for (int j = 0; j < aCount; ++j) {
            const char16_t c = aBuffer[j].unicode();
            if (UseWildcard && c == Wildcard.unicode())
                el[j] = kWildcard;
            else if (c > 255)
                el[j] = kNever;
            else
                el[j] = c;
        }
        return el;
    }

    // Leftmost match in Data[0..Len) of the compiled pattern, or -1.
    // Horspool over folded bytes; a wildcard caps every shift at its distance
    // from the pattern's end.
    static qsizetype Horspool(const std::uint8_t* Data, qsizetype Len, const std::vector<int>& el,
                              const std::uint8_t* Fold)
    {
        const qsizetype m = static_cast<qsizetype>(el.size());
        if (m > Len)
            return -1;
        qsizetype def = m;
        for (qsizetype j = 0; j + 1 < m; ++j)
            if (el[j] == kWildcard)
                def = m - 1 - j;
        qsizetype byFolded[256];
        std::fill(std::begin(byFolded), std::end(byFolded), def);
        for (qsizetype j = 0; j + 1 < m; ++j)
            if (el[j] >= 0)
                byFolded[el[j]] = std::min(byFolded[el[j]], m - 1 - j);
        qsizetype shift[256];
        for (int b = 0; b < 256; ++b)
            shift[b] = byFolded[Fold[b]];

        const int lastEl = el[m - 1];
        const qsizetype last = Len - m;
        for (qsizetype pos = 0; pos <= last;) {
            const std::uint8_t b = Data[pos + m - 1];
            if (lastEl == kWildcard || Fold[b] == lastEl) {
                qsizetype j = m - 2;
                while (j >= 0 && (el[j] == kWildcard || Fold[Data[pos + j]] == el[j]))
                    --j;
                if (j < 0)
                    return pos;
            }
            pos += shift[b];
        }
        return -1;
    }

    // Leftmost match by filtering 16 window starts at a time on two anchor
    // elements (the first and the last that are no wildcard), each compared
    // against the few raw bytes that fold to it; candidates are then checked
    // in full. Returns -2 when the pattern does not suit it.
    static qsizetype AnchorScan(const std::uint8_t* Data, qsizetype Len, const std::vector<int>& el,
                                const std::uint8_t* Fold)
    {
#if defined(__SSE2__)
        const qsizetype m = static_cast<qsizetype>(el.size());
        qsizetype a1 = -1, a2 = -1;
        for (qsizetype j = 0; j < m; ++j)
            if (el[j] != kWildcard) {
                if (a1 < 0)
                    a1 = j;
                a2 = j;
            }
        if (a1 < 0)
            return -2;
        constexpr int kMaxSet = 4;
        auto rawSet = [&](int folded, __m128i* set, int& n) {
            n = 0;
            for (int b = 0; b < 256; ++b)
                if (Fold[b] == folded) {
                    if (n == kMaxSet)
                        return false;
                    set[n++] = _mm_set1_epi8(static_cast<char>(b));
                }
            return n > 0;
        };
        __m128i set1[kMaxSet], set2[kMaxSet];
        int n1 = 0, n2 = 0;
        if (!rawSet(el[a1], set1, n1) || !rawSet(el[a2], set2, n2))
            return -2;
        auto matches = [](__m128i v, const __m128i* set, int n) {
            __m128i r = _mm_cmpeq_epi8(v, set[0]);
            for (int k = 1; k < n; ++k)
                r = _mm_or_si128(r, _mm_cmpeq_epi8(v, set[k]));
            return r;
        };
        auto verify = [&](qsizetype pos) {
            for (qsizetype j = 0; j < m; ++j)
                if (el[j] != kWildcard && Fold[Data[pos + j]] != el[j])
                    return false;
            return true;
        };
        const qsizetype last = Len - m;
        qsizetype pos = 0;
        for (; pos + 15 <= last; pos += 16) {
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Data + pos + a1));
            const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Data + pos + a2));
            unsigned mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(matches(v1, set1, n1), matches(v2, set2, n2))));
            while (mask != 0) {
                const qsizetype k = __builtin_ctz(mask);
                if (verify(pos + k))
                    return pos + k;
                mask &= mask - 1;
            }
        }
        for (; pos <= last; ++pos)
            if (verify(pos))
                return pos;
        return -1;
#else
        (void)Data;
        (void)Len;
        (void)el;
        (void)Fold;
        return -2;
#endif
    }

    static int Search(TCustomWQHexEditor& e, const QChar* aBuffer, int aCount, int aStart, int aEnd,
                      bool IgnoreCase, bool UseWildcard, QChar Wildcard)
    {
        const int size = e.DataSize();
        if (aEnd >= size)
            aEnd = size - 1;
        if (aCount < 1 || aBuffer == nullptr ||
            static_cast<std::int64_t>(aStart) + aCount > static_cast<std::int64_t>(aEnd) + 1)
            return -1;
        if (aStart < 0)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));

        const TWQHFindTable& table = IgnoreCase ? e.FFindTableI : e.FFindTable;
        std::uint8_t fold[256];
        for (int i = 0; i < 256; ++i)
            fold[i] = static_cast<std::uint8_t>(table[i]);
        const std::vector<int> el = CompilePattern(aBuffer, aCount, UseWildcard, Wildcard);

        TWQHWaitCursor cursor(e);
        if (e.FFindProgress && e.FOnProgress)
            return ScanWithProgress(e, el, fold, aStart, aEnd);
        if (std::find(el.begin(), el.end(), kNever) != el.end())
            return -1;

        const qsizetype len = qsizetype(aEnd) - aStart + 1;
        const std::uint8_t* data = e.GetFastPointer(aStart, static_cast<int>(len));
        const bool plain = !IgnoreCase && std::find(el.begin(), el.end(), kWildcard) == el.end();
        if (plain) {
            std::vector<std::uint8_t> needle(el.begin(), el.end());
            const void* hit = memmem(data, static_cast<std::size_t>(len), needle.data(), needle.size());
            return hit ? aStart + static_cast<int>(static_cast<const std::uint8_t*>(hit) - data) : -1;
        }
        qsizetype pos = AnchorScan(data, len, el, fold);
        if (pos == -2)
            pos = Horspool(data, len, el, fold);
        return pos < 0 ? -1 : aStart + static_cast<int>(pos);
    }

    // The plain left-to-right scan that reports progress every DataSize / 500
    // steps; a handler that sets Cancel ends the search with -1.
    static int ScanWithProgress(TCustomWQHexEditor& e, const std::vector<int>& el, const std::uint8_t* fold,
                                int aStart, int aEnd)
    {
        const int count = static_cast<int>(el.size());
        int size = e.DataSize();
        const int step = size / 500;
        const std::uint8_t* base = e.GetFastPointer(0, size);
        std::int64_t steps = 0;
        int i = aStart, j = 0, next = aStart + 1;
        for (;;) {
            ++steps;
            if (step == 0 || steps % step == 0) {
                bool cancel = false;
                // Rounded half to even, like the load and save reports.
                const auto percent = static_cast<std::uint8_t>(
                    std::nearbyint(size > 0 ? std::min(100.0, double(i) / size * 100.0) : 0.0));
                e.FOnProgress(&e, pkFind, e.Filename(), percent, cancel);
                if (cancel)
                    return -1;
                // The handler may have changed the data.
                size = e.DataSize();
                if (aEnd >= size)
                    aEnd = size - 1;
                base = size > 0 ? e.GetFastPointer(0, size) : nullptr;
            }
            if (i > aEnd)
                return -1;
            if (el[j] == kWildcard || (el[j] >= 0 && fold[base[i]] == el[j])) {
                if (j == count - 1)
                    return i - count + 1;
                if (j == 0)
                    next = i + 1;
                ++i;
                ++j;
            } else {
                i = next;
                j = 0;
                next = i + 1;
            }
        }
    }

    static void Relayout(TCustomWQHexEditor& e)
    {
        e.SetColCount(e.CalcColCount());
        e.SetBytesPerUnit(e.FUnicodeCharacters ? 2 : 1);
        e.CalcSizes();
        e.SetRulerString();
        e.Invalidate();
    }
};

TWQHFindTable TCustomWQHexEditor::InitialFindTable(bool IgnoreCase)
{
    TWQHFindTable exact{}, folded{};
    WQHTranslate::BuildFindTables(tkAsIs, exact, folded);
    return IgnoreCase ? folded : exact;
}

QChar TCustomWQHexEditor::TranslateToAnsiChar(std::uint8_t aByte) const
{
    return ::TranslateToAnsiChar(FTranslation, aByte, FReplaceUnprintableCharsBy, FMaskedChars);
}

QChar TCustomWQHexEditor::TranslateFromAnsiChar(std::uint8_t aByte) const
{
    const int b = ::TranslateFromAnsiChar(FTranslation, aByte);
    if (b < 0 || FMaskedChars.test(static_cast<std::size_t>(b)))
        return QChar(0);
    return QChar(char16_t(b));
}

int TCustomWQHexEditor::TranslateTypedChar(char16_t aChar) const
{
    if (FUnicodeCharacters)
        return aChar;
    return ::TranslateFromAnsiChar(FTranslation, aChar);
}

void TCustomWQHexEditor::SetTranslation(TWQHTranslationKind Value)
{
    if (Value == FTranslation)
        return;
    if (Value > tkCustom)
        throw EWQHexEditor(QString::asprintf(wqhstr::InvalidTranslationKind, int(Value)));
    if (FUnicodeCharacters && Value != tkAsIs)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::TranslationsUnicode));
    FTranslation = Value;
    Invalidate();
}

void TCustomWQHexEditor::SetUnicodeCharacters(bool Value)
{
    if (Value == FUnicodeCharacters)
        return;
    if (Value) {
        if (BytesPerRow() % 2 != 0)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBytesPerLine));
        if (BytesPerColumn() % 2 != 0)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBytesPerColumn));
        if (DataSize() % 2 != 0)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::UnicodeOddSize));
    }
    const TWQHTranslationKind oldTranslation = FTranslation;
    if (Value)
        FTranslation = tkAsIs;
    FUnicodeCharacters = Value;
    try {
        WQHTranslate::Relayout(*this);
    } catch (...) {
        FUnicodeCharacters = !Value;
        FTranslation = oldTranslation;
        try {
            WQHTranslate::Relayout(*this);
        } catch (...) {
        }
        throw;
    }
}

void TCustomWQHexEditor::SetUnicodeBigEndian(bool Value)
{
    if (Value == FUnicodeBigEndian)
        return;
    FUnicodeBigEndian = Value;
    if (FUnicodeCharacters)
        Invalidate();
}

void TCustomWQHexEditor::SetMaskChar(QChar Value)
{
    if (Value == FReplaceUnprintableCharsBy)
        return;
    FReplaceUnprintableCharsBy = Value;
    Invalidate();
}

void TCustomWQHexEditor::SetMaskedChars(const TWQHCharSet& Value)
{
    if (Value == FMaskedChars)
        return;
    FMaskedChars = Value;
    Invalidate();
}

QString TCustomWQHexEditor::PrepareFindReplaceData(QString StrData, bool IgnoreCase, bool IsText)
{
    if (StrData.isEmpty())
        return {};
    WQHTranslate::BuildFindTables(FTranslation, FFindTable, FFindTableI);

    QString result;
    if (!IsText) {
        if (!IgnoreCase)
            return StrData;
        if (FTranslation == tkAsIs)
            return StrData.toLower();
        // Byte values already: fold them as the data will be folded under this
        // kind (lower-casing them as Latin-1 letters would miss, or hit other bytes).
        result = StrData;
        for (QChar& c : result)
            if (c.unicode() <= 255)
                c = QChar(FFindTableI[c.unicode()]);
        return result;
    }
    if (IgnoreCase)
        StrData = StrData.toLower();
    if (FUnicodeCharacters) {
        result.reserve(StrData.size() * 2);
        for (const QChar c : StrData) {
            const char16_t lo = c.unicode() & 0xFF, hi = c.unicode() >> 8;
            result += QChar(FUnicodeBigEndian ? hi : lo);
            result += QChar(FUnicodeBigEndian ? lo : hi);
        }
        return result;
    }
    if (FTranslation == tkAsIs)
        return StrData;
    // A character this kind cannot store becomes an element that never matches.
    result.reserve(StrData.size());
    for (const QChar c : StrData) {
        const int b = WQHCharToByte(FTranslation, c.unicode());
        result += QChar(b < 0 ? WQH_NO_CHAR : char16_t(b));
    }
    return result;
}

int TCustomWQHexEditor::Find(const QChar* aBuffer, int aCount, int aStart, int aEnd, bool IgnoreCase)
{
    if (FOnFind) {
        int found = -1;
        FOnFind(this, aBuffer, aCount, aStart, aEnd, IgnoreCase, QChar(0), found);
        return found;
    }
    return WQHTranslate::Search(*this, aBuffer, aCount, aStart, aEnd, IgnoreCase, false, QChar(0));
}

int TCustomWQHexEditor::FindWithWildcard(const QChar* aBuffer, int aCount, int aStart, int aEnd, bool IgnoreCase,
                                         QChar Wildcard)
{
    if (FOnWildcardFind) {
        int found = -1;
        FOnWildcardFind(this, aBuffer, aCount, aStart, aEnd, IgnoreCase, Wildcard, found);
        return found;
    }
    return WQHTranslate::Search(*this, aBuffer, aCount, aStart, aEnd, IgnoreCase, true, Wildcard);
}

int TCustomWQHexEditor::Replace(const void* aBuffer, int aPosition, int aOldCount, int aNewCount,
                                const QString& UndoDesc, bool MoveCursor)
{
    CheckNotBusy();
    const WQHStore::TRun run(*this);
    const int size = DataSize();
    // Everything is checked before the undo step exists.
    if (aPosition < 0 || aPosition > size || aOldCount < 0 || aNewCount < 0 ||
        (aBuffer == nullptr && aNewCount > 0))
        throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));

    const int remaining = size - aPosition;
    if (remaining < aOldCount) {
        if (aOldCount == aNewCount)
            aNewCount = remaining;
        aOldCount = remaining;
    }
    if (IsFileSizeFixed()) {
        if (aOldCount < aNewCount)
            aNewCount = aOldCount;
        else
            aOldCount = aNewCount;
    }
    if (static_cast<std::int64_t>(size) - aOldCount + aNewCount > std::numeric_limits<int>::max())
        throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));

    const WQHStore::TSource source(*this, aBuffer, aNewCount);
    // The old bytes are kept until the new ones are in, so that a failing
    // write can put them back.
    const QByteArray old(reinterpret_cast<const char*>(FDataStorage->Memory() + aPosition), aOldCount);
    WQHStore::Edit(*this, ufKindReplace, aPosition, aNewCount, aOldCount, UndoDesc, [&] {
        if (!MoveCursor && FUndoStorage->UpdateCount() == 0)
            FUndoStorage->AddSelection(aPosition, aOldCount);
        const std::uint64_t before = FDataStorage->Changes();
        if (aOldCount > aNewCount)
            InternalDelete(aPosition, aPosition + (aOldCount - aNewCount), Col(), Row());
        else if (aNewCount > aOldCount)
            InternalInsertBuffer(nullptr, aNewCount - aOldCount, aPosition);
        const std::uint64_t sized = FDataStorage->Changes();
        // Also with no new bytes: a subclass's write and the host's OnChange see it.
        try {
            WriteBuffer(source.Data(), aPosition, aNewCount);
        } catch (...) {
            if (WQHStore::AsLeft(*this, sized, size - aOldCount + aNewCount))
                WQHStore::PutBack(*this, aPosition, aNewCount, old, before);
            throw;
        }
    });
    CutChangedMarks(aPosition);
    if (MoveCursor) {
        const TGridCoord cell = GetCursorAtPos(aPosition, FPosInCharField);
        MoveColRow(cell.X, cell.Y, true, true);
    }
    Invalidate();
    Changed();
    return aNewCount;
}
