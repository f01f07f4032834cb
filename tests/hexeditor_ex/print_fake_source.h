#pragma once
// A print source without a window: plain fields the tests set directly.
#include "hexeditor/ex/wqhprintsource.h"

#include <functional>
#include <set>
#include <vector>

class FakePrintSource : public TWQHPrintSource {
public:
    std::vector<std::uint8_t> Data;
    std::set<int> Changed;
    int BPR = 16, BPC = 4, Block = -1, Unit = 1;
    bool SepBlocks = true, Ruler = false, Lower = false, Swap = false, Unicode = false, BigEndian = false;
    QString RulerHex, RulerChars;
    TWQHTranslationKind Trans = tkAsIs;
    TWQHPrintColors Cols;
    QString File = QStringLiteral("/tmp/dir/image.bin");
    int SStart = -1, SEnd = -1;
    bool CharField = false;
    int DStart = 0, DEnd = -1;
    int CCol = 2, CRow = 2;
    int Waits = 0, Olds = 0;
    int OffsetDigits = 8;  // width of the offset text ("%08X" like)
    std::function<QString(std::uint32_t)> OffsetText;

    void Fill(int n)
    {
        Data.resize(std::size_t(n));
        for (int i = 0; i < n; ++i)
            Data[std::size_t(i)] = std::uint8_t(i);
    }
    int DataSize() const override { return int(Data.size()); }
    std::uint8_t GetDataAt(int i) const override { return Data.at(std::size_t(i)); }
    bool HasChanged(int p) const override { return Changed.count(p) != 0; }
    QString GetOffsetString(std::uint32_t p) override
    {
        if (OffsetText)
            return OffsetText(p);
        return QStringLiteral("%1").arg(p, OffsetDigits, 16, QLatin1Char('0')).toUpper();
    }
    QChar TranslateToAnsiChar(std::uint8_t b) const override { return b < 32 ? QLatin1Char('.') : QChar(b); }
    TWQHTranslationKind Translation() const override { return Trans; }
    int BytesPerRow() const override { return BPR; }
    int BytesPerColumn() const override { return BPC; }
    int BytesPerBlock() const override { return Block; }
    bool SeparateBlocksInCharField() const override { return SepBlocks; }
    int UsedRulerBytesPerUnit() const override { return Unit; }
    QString RulerString() const override { return RulerHex; }
    QString RulerCharString() const override { return RulerChars; }
    bool ShowRuler() const override { return Ruler; }
    bool HexLowerCase() const override { return Lower; }
    bool SwapNibbles() const override { return Swap; }
    bool IsMasked(std::uint8_t b) const override { return b < 32; }
    QChar MaskChar() const override { return QLatin1Char('.'); }
    bool UnicodeChars() const override { return Unicode; }
    bool UnicodeBigEndian() const override { return BigEndian; }
    TWQHPrintColors Colors() const override { return Cols; }
    QString FileName() const override { return File; }
    int SelStart() const override { return SStart; }
    int SelEnd() const override { return SEnd; }
    int SelCount() const override { return SStart < 0 ? 0 : std::abs(SEnd - SStart) + 1; }
    bool IsSelected(int p) const override
    {
        return SStart >= 0 && p >= std::min(SStart, SEnd) && p <= std::max(SStart, SEnd);
    }
    bool InCharField() const override { return CharField; }
    int DisplayStart() const override { return DStart; }
    int DisplayEnd() const override { return DEnd; }
    int CaretCol() const override { return CCol; }
    int CaretRow() const override { return CRow; }
    void WaitCursor() override { ++Waits; }
    void OldCursor() override { ++Olds; }
};
