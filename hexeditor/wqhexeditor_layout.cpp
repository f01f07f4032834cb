// Construction, display properties, colours and the grid geometry of the editor.
#include "hexeditor/wqhexeditor.h"

#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/wqhformprops.h"
#include "hexeditor/wqhgeometry.h"
#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"
#include "hexeditor/wqhwaitcursor.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>

struct WQHLayout {
    static TWQHGeometry Geometry(const TCustomWQHexEditor& e, int BytesPerRow)
    {
        TWQHGeometry g;
        g.BytesPerRow = BytesPerRow;
        g.BytesPerColDigits = e.FBytesPerCol;
        g.BlockSize = e.FBlockSize;
        g.SepCharBlocks = e.FSepCharBlocks;
        g.Unicode = e.FUnicodeCharacters;
        g.UsedRulerBytesPerUnit = e.FUsedRulerBytesPerUnit;
        g.CharWidth = e.FCharWidth > 0 ? e.FCharWidth : QFontMetrics(e.font()).horizontalAdvance(QLatin1Char('w'));
        return g;
    }

    static void Raise(const char* Text) { throw EWQHexEditor(QString::fromUtf8(Text)); }

    static void RaiseValue(const char* Format, int Value) { throw EWQHexEditor(QString::asprintf(Format, Value)); }

    // The offset format's unit follows the ruler unit when it says so.
    static void FollowRulerUnit(TCustomWQHexEditor& e)
    {
        if (e.FOffsetFormat.Flags & offBytesPerUnit)
            e.FOffsetFormat._BytesPerUnit = static_cast<std::uint8_t>(e.FUsedRulerBytesPerUnit);
    }

    static void PushWait(TCustomWQHexEditor& e) { e.WaitCursor(); }
    static void PopWait(TCustomWQHexEditor& e) { e.OldCursor(); }
};

// ---- fonts ------------------------------------------------------------------

bool WQHIsFixedPitch(const QFont& Font)
{
    // Some monospaced fonts do not flag themselves as such: measure too.
    if (QFontInfo(Font).fixedPitch())
        return true;
    const QFontMetrics fm(Font);
    const int w = fm.horizontalAdvance(QLatin1Char('w'));
    for (const char c : {'i', 'M', '0', '.', 'W', 'l'})
        if (fm.horizontalAdvance(QLatin1Char(c)) != w)
            return false;
    return w > 0;
}

QFont WQHEditorFont(const QFont& Font)
{
    // The Windows names map to whatever fixed-pitch font the system has.
    static const char* const kWindowsFixed[] = {"Courier New", "Courier", "Lucida Console", "Consolas",
                                                "Fixedsys", "Terminal", "MS Gothic", "SimSun", "NSimSun"};
    QFont f(Font);
    const QString family = f.family();
    bool windowsName = false;
    for (const char* name : kWindowsFixed)
        windowsName = windowsName || family.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    // Installed means listed: a family that the system only substitutes is
    // not installed.
    if (!windowsName && QFontDatabase::families().contains(family, Qt::CaseInsensitive))
        return f;
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (windowsName)
        f.setFamilies({family, QStringLiteral("monospace")});
    if (WQHIsFixedPitch(f))
        return f;
    QStringList candidates = {QFontDatabase::systemFont(QFontDatabase::FixedFont).family(),
                              QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                              QStringLiteral("Noto Mono"), QStringLiteral("Nimbus Mono PS")};
    for (const QString& fam : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(fam))
            candidates << fam;
    for (const QString& fam : candidates) {
        QFont g(f);
        g.setFamilies({fam});
        if (WQHIsFixedPitch(g))
            return g;
    }
    return f;
}

// ---- the wait cursor bracket ------------------------------------------------

TWQHWaitCursor::TWQHWaitCursor(TCustomWQHexEditor& Editor)
    : FEditor(Editor)
{
    WQHLayout::PushWait(FEditor);
}

TWQHWaitCursor::~TWQHWaitCursor()
{
    WQHLayout::PopWait(FEditor);
}

// ---- construction -----------------------------------------------------------

TCustomWQHexEditor::TCustomWQHexEditor(QWidget* parent)
    : TWQHGrid(parent)
{
    // Plain defaults.
    FIsViewSyncing = false;
    FSetAutoBytesPerRow = false;
    FSetDataSizeFillByte = 0;
    FMaskedChars.reset();
    for (int i = 0; i < 32; ++i)
        FMaskedChars.set(static_cast<std::size_t>(i));
    FAutoBytesPerRow = false;
    FRulerNumberBase = 16;
    FOffsetHandler = false;
    FFindProgress = false;
    FBlockSize = -1;
    FSepCharBlocks = true;
    FUnicodeCharacters = false;
    FUnicodeBigEndian = false;
    FSelectionChangedCount = 0;
    FBytesPerUnit = 1;
    FRulerBytesPerUnit = -1;
    FUsedRulerBytesPerUnit = 1;
    FShowPositionIfNotFocused = false;
    FShowRuler = false;
    FDrawGutter3D = true;

    // Marked on, then set off through the setter: builds the digit table and ruler.
    FHexLowerCase = true;
    SetHexLowerCase(false);

    FCursorList.clear();
    FHasCustomBMP = false;
    FStreamFileName.clear();
    FHasFile = false;
    FMaxUndo = 1048576;
    FPosInCharField = false;
    FLastPosInCharField = true;
    FGutterWidth = -1;

    GenerateOffsetFormat(QStringLiteral("-!10:0x|"));
    FSelectionPossible = true;

    FBookmarkImageList = std::make_unique<TWQHImageList>(10, 10);

    FColors = std::make_unique<TWQHColors>(this);
    FDrawGridLines = false;
    FDataStorage = std::make_unique<TWQHMemoryStream>();
    FUndoLink = CreateUndoLink(*this);
    FUndoStorage = std::make_unique<TWQHUndoStorage>(*FUndoLink);
    SetColor(FColors->Background());

    FCharWidth = -1;
    FOffSetDisplayWidth = -1;
    FBytesPerRow = 16;
    FCaretKind = ckAuto;
    FFocusFrame = true;
    FSwapNibbles = 0;
    FFileName = QStringLiteral("---");
    {
        QFont f(QStringLiteral("Courier New"));
        f.setPointSize(11);
        SetEditorFont(f);
    }
    setFrameShape(QFrame::StyledPanel);
    FBytesPerCol = 4;
    SetCursor(crIBeam);

    FModifiedBytes = std::make_unique<TWQHBits>();
    for (auto& b : FBookmarks)
        b = TWQHBookmark{};
    SetSelection(-1, -1, -1);
    FIsSelecting = false;
    ResetUndo();

    SetDefaultColWidth(0);
    SetDefaultRowHeight(0);
    SetRowHeights(0, 0);
    SetRowHeights(1, 0);
    SetColCount(CalcColCount());
    SetRowCount(3);
    SetFixedCols(2);
    SetFixedRows(2);

    FTranslation = tkAsIs;
    FModified = false;
    FIsFileReadonly = true;
    FBytesPerRowDup = 32;
    FIntLastHexCol = 33;
    FReplaceUnprintableCharsBy = QLatin1Char('.');
    FFixedFileSize = false;
    FFixedFileSizeOverride = false;
    FAllowInsertMode = true;
    FInsertModeOn = false;
    FWantTabs = true;
    FReadOnlyView = false;
    FHideSelection = false;
    FGraySelOnLostFocus = false;
    FShowDrag = false;
    FSelBeginPosition = -1;

    SetBookmarkBitmap(nullptr);
    SetRulerString();
}

TCustomWQHexEditor::~TCustomWQHexEditor()
{
    FDestroying = true;
    FCursorList.clear();
    try {
        FreeStorage(false);
        FreeStorage(true);
    } catch (...) {
        // Nothing may leave a destructor; the stores go below anyway.
    }
    // The undo store talks to the control through its link: it goes first.
    FUndoStorage.reset();
    FUndoLink.reset();
    FDataStorage.reset();
    FModifiedBytes.reset();
    if (FColors)
        FColors->SetParent(nullptr);
    FColors.reset();
    FBookmarkImageList.reset();
}

void TCustomWQHexEditor::Loaded()
{
    CreateEmptyFile(QString::fromUtf8(wqhstr::Untitled));
}

void TCustomWQHexEditor::CreateWnd()
{
    TWQHGrid::CreateWnd();
    // Data loaded before the first show is kept: only a control that has
    // never had any gets the empty set. Kept data was laid out with the font
    // of its load, and font changes before now were not measured: measure now.
    if (FFileName == QStringLiteral("---") && DataSize() == 0)
        CreateEmptyFile(QString::fromUtf8(wqhstr::Untitled));
    else
        AdjustMetrics();
}

QString TCustomWQHexEditor::Version() const
{
    return QStringLiteral("WQHexEditor 1.0 for Qt");
}

// ---- fonts ------------------------------------------------------------------

void TCustomWQHexEditor::SetEditorFont(const QFont& Font)
{
    setFont(WQHEditorFont(Font));
}

void TCustomWQHexEditor::SetFontColor(TColor Value)
{
    if (Value == FFontColor)
        return;
    FFontColor = Value;
    Invalidate();
}

void TCustomWQHexEditor::CMFontChanged()
{
    TWQHGrid::CMFontChanged();
    if (!HandleAllocated())
        return;
    AdjustMetrics();
    if (Focused())
        CreateCaretGlyph();
}

// ---- geometry ---------------------------------------------------------------

int TCustomWQHexEditor::CalcColCount() const
{
    return WQHColCount(WQHLayout::Geometry(*this, FBytesPerRow));
}

int TCustomWQHexEditor::GetLastCharCol() const
{
    return ColCount() - 1;
}

void TCustomWQHexEditor::DoSetCellWidth(int Index, int Value)
{
    SetColWidths(Index, Value);
    CheckSetCaret();
}

void TCustomWQHexEditor::AdjustMetrics()
{
    const QFontMetrics fm(font());
    FCharWidth = fm.horizontalAdvance(QLatin1Char('w'));
    SetOffsetDisplayWidth();
    DoSetCellWidth(1, 6);
    const TWQHGeometry g = WQHLayout::Geometry(*this, FBytesPerRow);
    const int last = std::min(ColCount(), WQHColCount(g));
    for (int c = 2; c < last; ++c)
        DoSetCellWidth(c, WQHColWidth(g, c));
    const int h = fm.height();
    FCharHeight = h + 2;
    SetDefaultRowHeight(h + 2);
    SetRowHeights(1, 0);
    SetRowHeights(0, FShowRuler ? DefaultRowHeight() + 3 : 0);
    CheckSetCaret();
}

void TCustomWQHexEditor::CalcSizes()
{
    const int size = DataSize();
    if (FModifiedBytes && FModifiedBytes->Size() > size)
        FModifiedBytes->SetSize(size);
    SetRowCount(WQHRowCount(size, FBytesPerRow, FInsertModeOn));
    SetColCount(CalcColCount());
    SetFixedCols(2);
    SetFixedRows(2);
    AdjustMetrics();
}

void TCustomWQHexEditor::SetRulerString()
{
    WQHRulerTexts(WQHLayout::Geometry(*this, FBytesPerRow), FRulerNumberBase, FHexLowerCase, FRulerString,
                  FRulerCharString);
}

void TCustomWQHexEditor::RecalcBytesPerRow()
{
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(FSetAutoBytesPerRow);
    try {
        const int avail = ClientWidth() - ColWidths(0) - ColWidths(1) - 8;
        SetBytesPerRow(WQHFitBytesPerRow(WQHLayout::Geometry(*this, FBytesPerRow), avail));
    } catch (...) {
        // A failed fit keeps whatever it got to.
    }
}

// ---- bytes per row, column, unit ---------------------------------------------

void TCustomWQHexEditor::SetBytesPerRow(int Value)
{
    if (FAutoBytesPerRow && !FSetAutoBytesPerRow)
        return;
    if (Value < 1 || Value > 256 || (FUnicodeCharacters && (Value % 2) != 0))
        WQHLayout::Raise(wqhstr::InvalidBytesPerLine);
    if (Value == FBytesPerRow)
        return;
    if (FOffsetFormat.Flags & offCalcRow)
        FOffsetFormat._BytesPerUnit = static_cast<std::uint8_t>(Value);  // 256 is kept as 0

    const int selPosition = FSelPosition;
    const int selStart = FSelStart;
    const int selEnd = FSelEnd;
    int pos = GetPositionAtCursor(Col(), Row());
    const bool inChar = GetIsCharFieldCol(Col());
    const bool secondDigit = !inChar && GetCursorAtPos(pos, false).X != Col();

    FBytesPerRow = Value;
    FBytesPerRowDup = 2 * Value;
    FIntLastHexCol = 2 * Value + 1;
    SetRulerString();
    CalcSizes();

    if (pos >= DataSize())
        pos = DataSize() - 1;
    TGridCoord cell = GetCursorAtPos(pos, inChar);
    if (secondDigit)
        ++cell.X;
    MoveColRow(cell.X, cell.Y, true, true);
    SetSelection(selPosition, selStart, selEnd);
}

void TCustomWQHexEditor::SetBytesPerColumn(int Value)
{
    if (Value < 1 || Value > 256 || (FUnicodeCharacters && (Value % 2) != 0))
        WQHLayout::Raise(wqhstr::InvalidBytesPerColumn);
    if (2 * Value == FBytesPerCol)
        return;
    if (FOffsetFormat.Flags & offCalcColumn)
        FOffsetFormat._BytesPerUnit = static_cast<std::uint8_t>(Value);
    FBytesPerCol = 2 * Value;
    AdjustMetrics();
    SetRulerString();
    Invalidate();
}

void TCustomWQHexEditor::SetBytesPerUnit(int Value)
{
    if (Value == FBytesPerUnit)
        return;
    if (FUnicodeCharacters && Value != 2)
        WQHLayout::Raise(wqhstr::BytesPerUnitUnicode);
    if (Value != 1 && Value != 2 && Value != 4 && Value != 8)
        WQHLayout::RaiseValue(wqhstr::InvalidBytesPerUnit, Value);
    FBytesPerUnit = Value;
    if (FRulerBytesPerUnit == -1)
        FUsedRulerBytesPerUnit = Value;
    WQHLayout::FollowRulerUnit(*this);
    AdjustMetrics();
    SetRulerString();
    if (SelCount() % Value != 0)
        ResetSelection(false);
    Invalidate();
}

void TCustomWQHexEditor::SetRulerBytesPerUnit(int Value)
{
    if (Value == FRulerBytesPerUnit)
        return;
    if (Value != -1 && Value != 1 && Value != 2 && Value != 4 && Value != 8)
        WQHLayout::RaiseValue(wqhstr::InvalidRulerBytesPerUnit, Value);
    FRulerBytesPerUnit = Value;
    FUsedRulerBytesPerUnit = Value == -1 ? FBytesPerUnit : Value;
    WQHLayout::FollowRulerUnit(*this);
    AdjustMetrics();
    SetRulerString();
    Invalidate();
}

void TCustomWQHexEditor::SetAutoBytesPerRow(bool Value)
{
    if (Value == FAutoBytesPerRow)
        return;
    FAutoBytesPerRow = Value;
    if (Value)
        RecalcBytesPerRow();
}

// ---- display switches -------------------------------------------------------

void TCustomWQHexEditor::SetCaretKind(TWQHCaretKind Value)
{
    if (Value == FCaretKind)
        return;
    FCaretKind = Value;
    if (Focused()) {
        CreateCaretGlyph();
        IntSetCaretPos(-50, -50, -1);
        Invalidate();
    }
}

void TCustomWQHexEditor::SetColors(const TWQHColors& Value)
{
    FColors->Assign(Value);
}

void TCustomWQHexEditor::SetFocusFrame(bool Value)
{
    if (Value == FFocusFrame)
        return;
    FFocusFrame = Value;
    Invalidate();
}

void TCustomWQHexEditor::SetSwapNibbles(bool Value)
{
    const int v = Value ? 1 : 0;
    if (v == FSwapNibbles)
        return;
    FSwapNibbles = v;
    Invalidate();
}

void TCustomWQHexEditor::SetDrawGridLines(bool Value)
{
    if (Value == FDrawGridLines)
        return;
    FDrawGridLines = Value;
    Invalidate();
}

void TCustomWQHexEditor::SetShowPositionIfNotFocused(bool Value)
{
    if (Value == FShowPositionIfNotFocused)
        return;
    FShowPositionIfNotFocused = Value;
    Invalidate();
}

void TCustomWQHexEditor::SetDrawGutter3D(bool Value)
{
    if (Value == FDrawGutter3D)
        return;
    FDrawGutter3D = Value;
    Repaint();
}

void TCustomWQHexEditor::SetReadOnlyView(bool Value)
{
    // Stored even when unchanged: the caret shape is rebuilt all the same.
    FReadOnlyView = Value;
    if (FCaretKind == ckAuto && Focused())
        CreateCaretGlyph();
}

void TCustomWQHexEditor::SetHideSelection(bool Value)
{
    if (Value == FHideSelection)
        return;
    FHideSelection = Value;
    if (!Focused() && SelCount() > 0)
        Invalidate();
}

void TCustomWQHexEditor::SetGraySelectionIfNotFocused(bool Value)
{
    if (Value == FGraySelOnLostFocus)
        return;
    FGraySelOnLostFocus = Value;
    if (!Focused() && SelCount() > 0 && !FHideSelection)
        Invalidate();
}

void TCustomWQHexEditor::SetGutterWidth(int Value)
{
    if (Value == FGutterWidth)
        return;
    FGutterWidth = Value;
    SetOffsetDisplayWidth();
    Invalidate();
}

void TCustomWQHexEditor::SetShowRuler(bool Value)
{
    if (Value == FShowRuler && !FIsLoading)
        return;
    FShowRuler = Value;
    AdjustMetrics();
}

void TCustomWQHexEditor::SetBytesPerBlock(int Value)
{
    if (Value == FBlockSize)
        return;
    FBlockSize = Value;
    AdjustMetrics();
}

void TCustomWQHexEditor::SetSeparateBlocksInCharField(bool Value)
{
    if (Value == FSepCharBlocks)
        return;
    FSepCharBlocks = Value;
    if (FBlockSize > 1)
        AdjustMetrics();
}

void TCustomWQHexEditor::SetRulerNumberBase(int Value)
{
    const std::uint8_t base = Value >= 2 && Value <= 16 ? static_cast<std::uint8_t>(Value) : 16;
    if (base == FRulerNumberBase)
        return;
    FRulerNumberBase = base;
    SetRulerString();
    if (FShowRuler)
        Invalidate();
}

// ---- view position ----------------------------------------------------------

int TCustomWQHexEditor::GetTopLeftPosition(bool& oInCharField)
{
    const int col = std::max(LeftCol(), 2);
    oInCharField = GetIsCharFieldCol(col);
    return GetPositionAtCursor(col, TopRow());
}

void TCustomWQHexEditor::SetTopLeftPosition(int aPosition, bool aInCharField)
{
    const TGridCoord cell = GetCursorAtPos(aPosition, aInCharField);
    SetTopRow(cell.Y);
    SetLeftCol(cell.X);
}

// ---- component stream -------------------------------------------------------

void WQHWriteExtraProperties(const TCustomWQHexEditor& Editor, TWQHStreamProperties& Props)
{
    const QChar mask = Editor.MaskChar();
    if (mask != QLatin1Char('.'))
        Props.emplace_back(QStringLiteral("MaskChar_AsInteger"), QVariant(int(mask.unicode())));
}

bool WQHReadExtraProperty(TCustomWQHexEditor& Editor, const QString& Name, const QVariant& Value)
{
    // Bad data never fails a load: it gives the default mask.
    QChar mask = QLatin1Char('.');
    if (Name == QLatin1String("MaskChar")) {
        if (Value.typeId() == QMetaType::QString && Value.toString().size() == 1)
            mask = Value.toString().at(0);
    } else if (Name == QLatin1String("MaskChar_AsInteger")) {
        const int type = Value.typeId();
        const bool integer = type == QMetaType::Int || type == QMetaType::UInt || type == QMetaType::LongLong ||
                             type == QMetaType::ULongLong || type == QMetaType::Short ||
                             type == QMetaType::UShort;
        bool ok = false;
        const qlonglong code = integer ? Value.toLongLong(&ok) : 0;
        if (ok && code >= 0 && code <= 0xFFFF)
            mask = QChar(char16_t(code));
    } else {
        return false;
    }
    Editor.SetMaskChar(mask);
    return true;
}

// ---- cursor stack, resize ---------------------------------------------------

void TCustomWQHexEditor::WaitCursor()
{
    FCursorList.push_back(Cursor());
    SetCursor(crHourGlass);
}

void TCustomWQHexEditor::OldCursor()
{
    if (FCursorList.empty())
        return;
    const TCursor c = FCursorList.back();
    FCursorList.pop_back();
    SetCursor(c);
}

void TCustomWQHexEditor::Resize()
{
    if (FAutoBytesPerRow)
        RecalcBytesPerRow();
    PostControlMessage(WQH_MSG_INTUPDATECARET, 7);
    if (FOnResize)
        FOnResize(this);
}
