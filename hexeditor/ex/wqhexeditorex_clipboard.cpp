// Copy, cut and paste through the clipboard.
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhwaitcursor.h"

#include <QFileInfo>
#include <algorithm>

std::shared_ptr<TWQHDataObject> TWQHexEditorEx::SelectionDataObject()
{
    const int pos = std::min(SelStart(), SelEnd());
    const QString scrap = QFileInfo(Filename()).fileName().left(255);
    return TWQHDataObject::CreateFromStream(&DataStorage(), pos, SelCount(), scrap, ClipboardAsHexText(),
                                            SwapNibbles());
}

bool TWQHexEditorEx::CanCopy()
{
    return DataSize() > 0 && SelCount() > 0;
}

bool TWQHexEditorEx::CanCut()
{
    return CanCopy() && !ReadOnlyView() && !NoSizeChange();
}

IDataObjectPtr TWQHexEditorEx::PasteableClipboard()
{
    if (ReadOnlyView())
        return nullptr;
    IDataObjectPtr obj;
    if (OleGetClipboard(obj) != S_OK || !obj)
        return nullptr;
    std::uint32_t effect = DROPEFFECT_COPY;
    if (SupportsOLEData(obj.get(), 0, TPoint{0, 0}, effect, oleClipboard) != S_OK)
        return nullptr;
    if (NoSizeChange() && DataSize() == 0)
        return nullptr;
    return obj;
}

bool TWQHexEditorEx::CanPaste()
{
    return PasteableClipboard() != nullptr;
}

bool TWQHexEditorEx::CBCopy()
{
    if (!CanCopy())
        return false;
    TWQHWaitCursor wait(*this);
    IDataObjectPtr obj = SelectionDataObject();
    FClipData = obj;
    WQHOleCheck(OleSetClipboard(obj));
    return true;
}

bool TWQHexEditorEx::CBCut()
{
    if (!CanCut() || !CBCopy())
        return false;
    TWQHWaitCursor wait(*this);
    DeleteSelection(QString::fromLatin1(wqhstr::UndoCutToClipboard));
    return true;
}

bool TWQHexEditorEx::CBPaste()
{
    const IDataObjectPtr obj = PasteableClipboard();
    if (!obj)
        return false;
    std::uint32_t effect = DROPEFFECT_COPY;
    const HRESULT hr = InsertOLEData(obj.get(), 0, TPoint{0, 0}, effect, oleClipboard);
    return Succeeded(hr);
}

void TWQHexEditorEx::PasteData(const void* P, int ACount, const QString& UndoDesc)
{
    if (SelCount() == 0) {
        int pos = GetPositionAtCursor(Col(), Row());
        const int unit = std::max(1, BytesPerUnit());
        if (pos % unit != 0) {
            pos -= pos % unit;
            const TGridCoord cell = GetCursorAtPos(pos, InCharField());
            MoveColRow(cell.X, cell.Y, true, true);
        }
        if (NoSizeChange() && DataSize() > 0 && ACount > 0) {
            // Overwrite in place; never grow. 64-bit so that a large count cannot wrap.
            const std::int64_t last = std::min<std::int64_t>(DataSize() - 1, std::int64_t(pos) + ACount - 1);
            SetSelStart(pos);
            SetSelEnd(static_cast<int>(last));
        }
    }
    ReplaceSelection(P, ACount, UndoDesc, true);
}

bool TWQHexEditorEx::OwnsClipBoard()
{
    return FClipData && OleIsCurrentClipboard(FClipData) == S_OK;
}

void TWQHexEditorEx::ReleaseClipboard(bool Flush)
{
    if (!OwnsClipBoard())
        return;
    if (Flush)
        WQHOleCheck(OleFlushClipboard());
    else
        OleSetClipboard(nullptr);
}
