#pragma once
// A control stand-in for the undo store: plain data, marks, caret, modes and
// bookmarks, with setters that refuse what the control's setters refuse.
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace undotest {

class FakeUndoEditor : public TWQHUndoEditor {
public:
    std::vector<std::uint8_t> data;
    std::vector<bool> marks;
    int caret = 0;
    bool laterDigit = false;
    bool inChar = false;
    bool insertMode = false;
    TWQHTranslationKind translation = tkAsIs;
    bool unicode = false;
    bool bigEndian = false;
    bool evenLayout = true;  // bytes per row and per column even
    int bpu = 1;
    bool modified = false;
    int selStart = -1, selEnd = -1, selPosition = -1;
    int maxUndo = 1048576;
    bool failReads = false;  // every read of the data throws
    bool failWrites = false; // every write into the data throws
    TWQHBookmarks bookmarks{};
    int changedCalls = 0;
    int bookmarkChangedCalls = 0;
    std::vector<std::string> log;  // order of the state-changing calls
    std::vector<std::array<int, 3>> adjustCalls;
    std::function<void()> onPlaceCaret;  // runs as the caret is restored
    std::function<void()> onChanged;     // runs as OnChange would

    int CaretPosition() const override { return caret; }
    bool CaretOnLaterDigit() const override { return laterDigit; }
    bool CaretInCharField() const override { return inChar; }
    bool InsertMode() const override { return insertMode; }
    TWQHTranslationKind Translation() const override { return translation; }
    bool UnicodeChars() const override { return unicode; }
    bool UnicodeBigEndian() const override { return bigEndian; }
    bool CanSwitchUnicodeOn() const override { return evenLayout && data.size() % 2 == 0; }
    int BytesPerUnit() const override { return bpu; }
    bool ModifiedFlag() const override { return modified; }
    int SelStartField() const override { return selStart; }
    int SelEndField() const override { return selEnd; }
    int SelPositionField() const override { return selPosition; }
    int MaxUndo() const override { return maxUndo; }
    int DataSize() const override { return int(data.size()); }
    void ReadBytes(void* Buffer, int Pos, int Count) const override
    {
        if (failReads)
            throw EWQHexEditor(QStringLiteral("read failed"));
        Check(Pos, Count);
        std::memcpy(Buffer, data.data() + Pos, size_t(Count));
    }
    bool HasChanged(int Pos) const override
    {
        return !insertMode && Pos >= 0 && Pos < int(marks.size()) && marks[size_t(Pos)];
    }
    TWQHBookmarks Bookmarks() const override { return bookmarks; }

    void SetBookmarksRaw(const TWQHBookmarks& Value) override { bookmarks = Value; }
    void AdjustBookmarks(int From, int Shift, int NewDataSize) override
    {
        adjustCalls.push_back({From, Shift, NewDataSize});
        if (From < 0)
            return;
        bool any = false;
        for (auto& b : bookmarks) {
            if (b.mPosition >= From) {
                any = true;
                b.mPosition += Shift;
                if (b.mPosition > NewDataSize)
                    b.mPosition = -1;
            }
        }
        if (any)
            BookmarkChanged();
    }
    void WriteBuffer(const void* Buffer, int Pos, int Count) override
    {
        log.push_back("WriteBuffer");
        if (failWrites)
            throw EWQHexEditor(QStringLiteral("write failed"));
        WriteRaw(Buffer, Pos, Count);
        Changed();
    }
    void WriteRaw(const void* Buffer, int Pos, int Count) override
    {
        Check(Pos, Count);
        if (Count > 0)
            std::memcpy(data.data() + Pos, Buffer, size_t(Count));
    }
    void SetChanged(int Pos, bool Value) override
    {
        log.push_back("SetChanged " + std::to_string(Pos));
        if (insertMode)
            marks.clear();
        if (Value || Pos < int(marks.size())) {
            if (Pos >= int(marks.size()))
                marks.resize(size_t(Pos) + 1, false);
            marks[size_t(Pos)] = Value;
        }
    }
    void CutChangedMarks(int Pos) override
    {
        log.push_back("Cut " + std::to_string(Pos));
        if (int(marks.size()) >= Pos)
            marks.resize(size_t(Pos));
    }
    void InternalInsertBuffer(const void* Buffer, int Size, int Pos) override
    {
        log.push_back("InternalInsertBuffer");
        if (Pos < 0 || Pos > int(data.size()))
            throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));
        if (data.empty())
            marks.clear();
        data.insert(data.begin() + Pos, size_t(Size), 0);
        if (Buffer)
            WriteBuffer(Buffer, Pos, Size);
    }
    void InternalAppendBuffer(const void* Buffer, int Size) override
    {
        log.push_back("InternalAppendBuffer");
        const int old = int(data.size());
        data.resize(size_t(old + Size));
        WriteBuffer(Buffer, old, Size);
    }
    void InternalDelete(int From, int To) override
    {
        log.push_back("InternalDelete");
        Check(From, To - From);
        data.erase(data.begin() + From, data.begin() + To);
        selStart = selEnd = selPosition = -1;
    }
    // Nibble shifts as the control does them, one nibble per step.
    static std::vector<int> Nibbles(const std::vector<std::uint8_t>& d)
    {
        std::vector<int> n;
        for (auto b : d) {
            n.push_back(b >> 4);
            n.push_back(b & 15);
        }
        return n;
    }
    static std::vector<std::uint8_t> Bytes(const std::vector<int>& n)
    {
        std::vector<std::uint8_t> d;
        for (size_t i = 0; i + 1 < n.size(); i += 2)
            d.push_back(std::uint8_t(n[i] << 4 | n[i + 1]));
        return d;
    }
    void InternalInsertNibble(int Pos, bool HighNibble) override
    {
        log.push_back("InternalInsertNibble");
        Check(Pos, 1);
        auto n = Nibbles(data);
        n.insert(n.begin() + 2 * Pos + (HighNibble ? 0 : 1), 0);
        n.push_back(0);
        data = Bytes(n);
    }
    void InternalDeleteNibble(int Pos, bool HighNibble) override
    {
        log.push_back("InternalDeleteNibble");
        Check(Pos, 1);
        auto n = Nibbles(data);
        n.erase(n.begin() + 2 * Pos + (HighNibble ? 0 : 1));
        n.push_back(0);
        data = Bytes(n);
    }
    void SetDataAt(int Pos, std::uint8_t Value) override
    {
        log.push_back("SetDataAt " + std::to_string(Pos));
        Check(Pos, 1);
        data[size_t(Pos)] = Value;
        Changed();
    }
    void SetDataSizeRaw(int Size) override
    {
        log.push_back("Size " + std::to_string(Size));
        data.resize(size_t(Size));
    }
    void CalcSizes() override {}
    void SetCol(int Col) override { log.push_back("SetCol " + std::to_string(Col)); }
    void PlaceCaret(int Pos, bool InCharField, bool LaterDigit) override
    {
        log.push_back("PlaceCaret " + std::to_string(Pos));
        if (onPlaceCaret)
            onPlaceCaret();
        caret = Pos;
        inChar = InCharField;
        laterDigit = LaterDigit && !InCharField;
    }
    void SetModifiedFlag(bool Value) override
    {
        log.push_back("Modified");
        modified = Value;
    }
    void SetInsertMode(bool Value) override
    {
        log.push_back("InsertMode");
        if (Value == insertMode)
            return;
        insertMode = Value;
        if (!data.empty())
            marks.clear();
    }
    void SetSelection(int Position, int Start, int End) override
    {
        log.push_back("Selection");
        selPosition = Position;
        selStart = Start;
        selEnd = End;
    }
    void SeekTo(int Pos) override
    {
        log.push_back("SeekTo " + std::to_string(Pos));
        caret = Pos;
        selStart = selEnd = selPosition = -1;
    }
    void SetUnicodeCharacters(bool Value) override
    {
        log.push_back(Value ? "Unicode on" : "Unicode off");
        if (Value == unicode)
            return;
        if (Value) {
            if (!evenLayout)
                throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBytesPerLine));
            if (data.size() % 2)
                throw EWQHexEditor(QString::fromLatin1(wqhstr::UnicodeOddSize));
            translation = tkAsIs;
        }
        unicode = Value;
        bpu = Value ? 2 : 1;
    }
    void SetUnicodeBigEndian(bool Value) override { bigEndian = Value; }
    void SetTranslation(TWQHTranslationKind Value) override
    {
        log.push_back("Translation " + std::to_string(int(Value)));
        if (Value == translation)
            return;
        if (unicode && Value != tkAsIs)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::TranslationsUnicode));
        translation = Value;
    }
    void SetTranslationField(TWQHTranslationKind Value) override { translation = Value; }
    void SetBytesPerUnit(int Value) override
    {
        log.push_back("BytesPerUnit " + std::to_string(Value));
        if (Value == bpu)
            return;
        if (unicode && Value != 2)
            throw EWQHexEditor(QString::fromLatin1(wqhstr::BytesPerUnitUnicode));
        if (Value != 1 && Value != 2 && Value != 4 && Value != 8)
            throw EWQHexEditor(QString::asprintf(wqhstr::InvalidBytesPerUnit, Value));
        bpu = Value;
    }
    void SetInCharField(bool Value) override
    {
        log.push_back("InCharField");
        inChar = Value;
    }
    void Repaint() override {}
    void Changed() override
    {
        log.push_back("Changed");
        ++changedCalls;
        if (onChanged)
            onChanged();
    }
    void BookmarkChanged() override { ++bookmarkChangedCalls; }

    // What a primitive does to the fake data after recording its step.
    void Overwrite(int Pos, std::uint8_t Value)
    {
        data[size_t(Pos)] = Value;
        if (!insertMode)
            SetChanged(Pos, true);
    }

    bool Marked(int Pos) const { return HasChanged(Pos); }

private:
    void Check(int Pos, int Count) const
    {
        if (Pos < 0 || Count < 0 || std::int64_t(Pos) + Count > std::int64_t(data.size()))
            throw EWQHexEditor(QString::fromLatin1(wqhstr::DataBounds));
    }
};

inline std::int32_t I32At(const std::vector<std::uint8_t>& b, size_t off)
{
    return std::int32_t(std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 | std::uint32_t(b[off + 2]) << 16 |
                        std::uint32_t(b[off + 3]) << 24);
}

} // namespace undotest
