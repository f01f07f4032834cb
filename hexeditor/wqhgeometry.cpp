#include "hexeditor/wqhgeometry.h"

#include <algorithm>
#include <climits>

namespace {

QString Digits(unsigned Value, int Radix)
{
    static const char kDigits[] = "0123456789ABCDEF";
    QString s;
    do {
        s.prepend(QLatin1Char(kDigits[Value % static_cast<unsigned>(Radix)]));
        Value /= static_cast<unsigned>(Radix);
    } while (Value != 0);
    return s;
}

// Width of character column K, before the last column's fixed width.
int CharColWidth(const TWQHGeometry& G, int K)
{
    const int cw = G.CharWidth;
    const int u = G.UsedRulerBytesPerUnit;
    int w = cw + 1;
    if (!G.Unicode && u >= 2 && K % u == u - 1)
        w = (3 * cw) / 2 + 1;
    if (G.SepCharBlocks && G.BlockSize > 1) {
        const int block = G.Unicode ? G.BlockSize / 2 : G.BlockSize;
        if (block > 0 && K % block == block - 1)
            w += cw;
    }
    return w;
}

// Width of hex digit column C (2 .. 2B + 2), the last digit column excepted.
int DigitColWidth(const TWQHGeometry& G, int C)
{
    const int cw = G.CharWidth;
    int w = cw;
    if (G.BytesPerColDigits > 0 && C % G.BytesPerColDigits == 1)
        w += cw;
    // 64-bit: a block may be as long as any int, twice that must not wrap.
    if (G.BlockSize > 1 && C % (2 * static_cast<long long>(G.BlockSize)) == 1)
        w += cw;
    return w;
}

} // namespace

int WQHCharColCount(const TWQHGeometry& G)
{
    return G.Unicode ? G.BytesPerRow / 2 : G.BytesPerRow;
}

int WQHColCount(const TWQHGeometry& G)
{
    return 2 * G.BytesPerRow + WQHCharColCount(G) + 3;
}

int WQHRowCount(long long DataSize, int BytesPerRow, bool InsertMode)
{
    if (DataSize <= 0 || BytesPerRow <= 0)
        return 3;
    long long rows = (DataSize + BytesPerRow - 1) / BytesPerRow + 2;
    if (InsertMode && DataSize % BytesPerRow == 0)
        ++rows;
    return static_cast<int>(std::min<long long>(rows, INT_MAX));
}

int WQHColWidth(const TWQHGeometry& G, int Col)
{
    const int b = G.BytesPerRow;
    const int cw = G.CharWidth;
    if (Col < 2)
        return 0;
    if (Col == 2 * b + 1)
        return 2 * cw;
    if (Col <= 2 * b + 2)
        return DigitColWidth(G, Col);
    const int k = Col - (2 * b + 3);
    const int n = WQHCharColCount(G);
    if (k >= n)
        return 0;
    if (k == n - 1)
        return 2 * cw + 1;
    return CharColWidth(G, k);
}

int WQHRowWidthEstimate(const TWQHGeometry& G, int M)
{
    const int cw = G.CharWidth;
    long long total = 0;
    // Digit indices count from 0 here, where the grid counts columns from 2.
    for (int i = 0; i <= 2 * M; ++i)
        total += i == 2 * M - 1 ? 2 * cw : DigitColWidth(G, i);
    const int n = G.Unicode ? M / 2 : M;
    for (int k = 0; k < n; ++k)
        total += CharColWidth(G, k);
    return static_cast<int>(std::min<long long>(total, INT_MAX));
}

int WQHFitBytesPerRow(const TWQHGeometry& G, int Avail)
{
    int n = 2;
    for (;;) {
        if (WQHRowWidthEstimate(G, n + 2) > Avail)
            return n;
        n += 2;
        if (n > 255)
            return n;
    }
}

void WQHRulerTexts(const TWQHGeometry& G, int Radix, bool LowerCase, QString& HexRuler, QString& CharRuler)
{
    HexRuler.clear();
    CharRuler.clear();
    const int u = std::max(1, G.UsedRulerBytesPerUnit);
    if (Radix < 2 || Radix > 16)
        Radix = 16;
    const int units = G.BytesPerRow / u;
    const int hexLen = 2 * u;
    const int charLen = G.Unicode ? u / 2 : u;
    for (int k = 0; k < units; ++k) {
        const QString d = Digits(static_cast<unsigned>(k), Radix);
        HexRuler += d.size() >= hexLen ? d.right(hexLen) : QString(hexLen - d.size(), QLatin1Char('0')) + d;
        if (charLen > 0)
            CharRuler += d.size() >= charLen ? d.right(charLen) : QString(charLen - d.size(), QLatin1Char(' ')) + d;
    }
    if (LowerCase) {
        HexRuler = HexRuler.toLower();
        CharRuler = CharRuler.toLower();
    } else {
        HexRuler = HexRuler.toUpper();
        CharRuler = CharRuler.toUpper();
    }
}
