// Drop target, drag source and the import of offered data.
#include "hexeditor/ex/wqhexeditorex.h"

#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhdragdriver.h"
#include "hexeditor/ex/wqhdroptarget.h"
#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/ex/wqhformatseldialog.h"
#include "hexeditor/ex/wqhmimeadapter.h"
#include "hexeditor/ex/wqholeimport.h"
#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhwaitcursor.h"
#include "platform/exceptions.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

#include <cstdlib>

namespace {

TClipFormats Offered(IDataObject* dataObject)
{
    TClipFormats out;
    if (!dataObject)
        return out;
    const TFormatEnum snapshot(dataObject);
    for (const auto& f : snapshot.Formats())
        out.push_back(f.cfFormat);
    return out;
}

HRESULT GetOLEFormatData(IDataObject* dataObject, TClipFormat cf, STGMEDIUM& medium)
{
    const TFormatEnum snapshot(dataObject);
    if (!snapshot.HasFormat(cf))
        return E_FAIL;
    return dataObject->GetData(snapshot.GetFormatETC(cf), medium);
}

bool IsBlockMedium(const STGMEDIUM& m)
{
    return m.hGlobal
        && (m.tymed == TYMED_HGLOBAL || m.tymed == TYMED_MFPICT || m.tymed == TYMED_GDI || m.tymed == TYMED_ENHMF);
}

QString RegisteredName(TClipFormat cf) { return GetClipboardFormatNameW(cf); }

} // namespace

TClipFormats TWQHexEditorEx::GetMyOLEFormats() const
{
    return wqhimport::GetMyOLEFormats(WQHClipFormats(), FSupportsOtherClipFormats);
}

bool TWQHexEditorEx::OLEHasSupportedFormat(IDataObject* dataObject, const TClipFormats& Formats,
                                           std::uint16_t& Format)
{
    const auto found = wqhimport::FirstSupportedFormat(Formats, Offered(dataObject));
    if (!found)
        return false;
    Format = *found;
    return true;
}

HRESULT TWQHexEditorEx::SupportsOLEData(IDataObject* dataObj, std::uint32_t, TPoint, std::uint32_t& dwEffect,
                                        TWQHOLEOperation Operation)
{
    HRESULT result = S_FALSE;
    std::uint16_t format = 0;
    if (!ReadOnlyView() && OLEHasSupportedFormat(dataObj, GetMyOLEFormats(), format)) {
        FOleFormat[Operation] = format;
        result = S_OK;
    }
    if (FOleFormat[Operation] == CF_HDROP && dwEffect == DROPEFFECT_MOVE)
        dwEffect = DROPEFFECT_LINK;
    return result;
}

HRESULT TWQHexEditorEx::ModifyOLEDropEffect(std::uint32_t grfKeyState, TPoint, std::uint32_t& dwEffect)
{
    dwEffect = wqhimport::ModifyOLEDropEffect(grfKeyState, FOleDragging, ReadOnlyView(), NoSizeChange(),
                                              FOleFormat[oleDrop]);
    return S_OK;
}

HRESULT TWQHexEditorEx::InsertOLEData(IDataObject* dataObj, std::uint32_t, TPoint, std::uint32_t& dwEffect,
                                      TWQHOLEOperation Operation)
{
    HRESULT result = E_FAIL;
    TWQHWaitCursor wait(*this);
    const TWQHClipFormats& ids = WQHClipFormats();
    std::optional<std::vector<std::uint8_t>> data;
    bool chosen = dataObj != nullptr && !ReadOnlyView();
    std::uint16_t format = FOleFormat[Operation];
    if (chosen && format != ids.Own && format != CF_HDROP) {
        bool asHex = FClipboardAsHexText;
        chosen = ChooseOLEFormat(GetMyOLEFormats(), Offered(dataObj), asHex, format, RegisteredName);
        if (chosen) {
            FOleFormat[Operation] = format;
            FClipboardAsHexText = asHex;
        }
    }
    // Room left before the data would pass the largest size it can have.
    const std::int64_t replaced = Operation == oleClipboard ? SelCount() : 0;
    const std::int64_t room = wqhimport::kMaxDataSize - DataSize() + replaced;
    if (chosen) {
        STGMEDIUM medium;
        if (Succeeded(GetOLEFormatData(dataObj, format, medium))) {
            struct Release {
                STGMEDIUM& m;
                ~Release() { ReleaseStgMedium(m); }
            } release{medium};
            const std::uint8_t* block = IsBlockMedium(medium) ? medium.hGlobal->Data() : nullptr;
            const std::int64_t size = block ? GlobalSize(medium.hGlobal) : 0;
            if (format == CF_HDROP) {
                const auto names = wqhimport::ReadDropFiles(block, size);
                if (names && !names->isEmpty())
                    data = dwEffect == DROPEFFECT_LINK ? wqhimport::FileNamesAsData(*names, room)
                                                       : wqhimport::ReadDroppedFile(names->front(), room);
            } else {
                data = wqhimport::ConvertOLEData(ids, format, block, size, UnicodeBigEndian());
            }
        }
    }
    if (data && !data->empty() && (format == CF_TEXT || format == CF_OEMTEXT) && Operation == oleClipboard
        && FClipboardAsHexText)
        data = wqhimport::DecodeHexText(*data, SwapNibbles());
    const std::int64_t count = data ? wqhimport::CheckUnit(static_cast<std::int64_t>(data->size()), BytesPerUnit()) : 0;
    if (count >= 1 && count <= room) {
        wqhimport::TWQHPlaceInput in;
        in.Operation = Operation;
        in.DropPosition = Operation == oleDrop ? DropPosition() : 0;
        in.DataSize = DataSize();
        in.SelStart = SelCount() > 0 ? SelStart() : -1;
        in.SelEnd = SelCount() > 0 ? SelEnd() : -1;
        in.FixedSize = NoSizeChange();
        in.OwnDrag = FOleDragging;
        in.Effect = dwEffect;
        const auto plan = wqhimport::PlanInsertion(in);
        const void* p = data->data();
        const int n = static_cast<int>(count);
        const int pos = static_cast<int>(plan.Position);
        const QString dropped = QString::fromLatin1(wqhstr::UndoDataDropped);
        using A = wqhimport::TWQHPlaceAction;
        result = S_OK;
        switch (plan.Action) {
        case A::Fail:
            result = E_FAIL;
            break;
        case A::PasteData:
            PasteData(p, n, QString::fromLatin1(wqhstr::UndoPasteFromClipboard));
            break;
        case A::MoveInsert:
        case A::MoveAppend: {
            const bool old = FFixedFileSizeOverride;
            FFixedFileSizeOverride = true;
            try {
                FOleWasTarget = true;
                DeleteSelection(QString());
                if (plan.Action == A::MoveInsert)
                    InsertBuffer(p, n, pos, dropped, true);
                else
                    AppendBuffer(p, n, dropped, true);
            } catch (...) {
                FFixedFileSizeOverride = old;
                throw;
            }
            FFixedFileSizeOverride = old;
            break;
        }
        case A::Append:
            AppendBuffer(p, n, dropped, true);
            break;
        case A::AppendNothing:
            dwEffect = DROPEFFECT_NONE;
            break;
        case A::ReplaceSelection:
            ReplaceSelection(p, n, dropped, true);
            break;
        case A::Insert:
            InsertBuffer(p, n, pos, dropped, true);
            break;
        case A::ReplaceInPlace:
            Replace(p, pos, n, n, dropped, false);
            break;
        }
    }
    if (result != S_OK)
        dwEffect = DROPEFFECT_NONE;
    return result;
}

void TWQHexEditorEx::SetOleDragDrop(bool Value)
{
    if (Value == FOleDragDrop)
        return;
    FOleDragDrop = Value;
    // While loading, the window's creation switches it on.
    if (!FIsLoading)
        SetDropTargetActive(Value);
}

void TWQHexEditorEx::CreateDropTarget()
{
    if (!FDropTarget)
        FDropTarget = new TWQHDropTarget(*this);
}

void TWQHexEditorEx::FreeDropTarget()
{
    delete FDropTarget;
    FDropTarget = nullptr;
}

void TWQHexEditorEx::SetDropTargetActive(bool Active)
{
    if (FDropTarget)
        FDropTarget->SetActive(Active);
}

// ---- drag source -------------------------------------------------------------

struct WQHExDragDrop {
    static void Drag(TWQHexEditorEx& e)
    {
        e.FOleStartDrag = false;
        e.FOleDragging = true;
        e.FOleWasTarget = false;
        // Whatever happens in the drag loop, the control leaves it idle.
        struct Idle {
            TWQHexEditorEx& e;
            ~Idle()
            {
                e.FOleDragging = false;
                e.FOleWasTarget = false;
                e.HideDragCell();
            }
        } idle{e};

        // The same copy of the selection as a copy to the clipboard makes; the
        // drag keeps it alive, FClipData is left alone.
        const auto data = e.SelectionDataObject();
        const DWORD allowed = e.ReadOnlyView() ? DROPEFFECT_COPY : DROPEFFECT_COPY | DROPEFFECT_MOVE;
        TWQHDropSource source;
        DWORD effect = DROPEFFECT_NONE;
        const HRESULT hr = DoDragDrop(&e, data, source, allowed, effect);
        // A target may tell through the data object what it really did.
        effect = wqhimport::SourceDropEffect(effect, data->HasDropEffect(), data->DropEffect(), allowed);
        if (hr != DRAGDROP_S_DROP && hr != DRAGDROP_S_CANCEL && Failed(hr))
            WQHRaiseOleError(hr);
        if (hr != DRAGDROP_S_DROP || effect != DROPEFFECT_MOVE)
            return;
        if (e.FOleWasTarget)
            // The drop deleted and inserted: one step for the user.
            e.CombineUndo(2, QString::fromLatin1(wqhstr::UndoDataMoved));
        else if (!e.ReadOnlyView())
            e.DeleteSelection(QString());
    }
};

void TWQHexEditorEx::OleMouseDown(TMouseButton Button, TShiftState, int X, int Y)
{
    if (!FOleDragDrop || Button != mbLeft || FIsSelecting || !CursorOverSelection(X, Y))
        return;
    FOleStartDrag = true;
    FOleDragging = false;
    FOleDragX = X;
    FOleDragY = Y;
}

void TWQHexEditorEx::OleMouseMove(TShiftState Shift, int X, int Y)
{
    if (!FOleDragDrop || !(Shift & ssLeft) || FOleDragging || !FOleStartDrag || FIsSelecting
        || !CursorOverSelection(X, Y))
        return;
    const int threshold = QApplication::startDragDistance();
    if (std::abs(X - FOleDragX) >= threshold || std::abs(Y - FOleDragY) >= threshold)
        WQHExDragDrop::Drag(*this);
}

void TWQHexEditorEx::OleMouseUp(TMouseButton, TShiftState, int, int)
{
    if (FOleDragging) {
        FOleDragging = false;
        FOleStartDrag = false;
    }
}

// ---- drop target -------------------------------------------------------------

TWQHDropTarget::TWQHDropTarget(TWQHexEditorEx& Editor)
    : FEditor(Editor)
{
}

TWQHDropTarget::~TWQHDropTarget() { SetActive(false); }

HRESULT TWQHDropTarget::DragEnter(IDataObject* dataObj, DWORD keys, TPoint pt, DWORD& dwEffect)
{
    const DWORD allowed = dwEffect;
    const HRESULT hr = FEditor.SupportsOLEData(dataObj, keys, pt, dwEffect, oleDrop);
    if (hr != S_OK) {
        dwEffect = DROPEFFECT_NONE;
        return hr;
    }
    FEditor.ModifyOLEDropEffect(keys, pt, dwEffect);
    dwEffect = wqhimport::AllowedDropEffect(dwEffect, allowed);
    FEditor.ShowDragCell(pt.X, pt.Y);
    return S_OK;
}

HRESULT TWQHDropTarget::DragOver(DWORD keys, TPoint pt, DWORD& dwEffect)
{
    const DWORD allowed = dwEffect;
    FEditor.ModifyOLEDropEffect(keys, pt, dwEffect);
    dwEffect = wqhimport::AllowedDropEffect(dwEffect, allowed);
    FEditor.ShowDragCell(pt.X, pt.Y);
    return S_OK;
}

HRESULT TWQHDropTarget::DragLeave()
{
    FEditor.HideDragCell();
    return S_OK;
}

HRESULT TWQHDropTarget::Drop(IDataObject* dataObj, DWORD keys, TPoint pt, DWORD& dwEffect)
{
    const DWORD allowed = dwEffect;
    HRESULT hr = E_FAIL;
    try {
        hr = FEditor.SupportsOLEData(dataObj, keys, pt, dwEffect, oleDrop);
        if (hr == S_OK) {
            FEditor.ModifyOLEDropEffect(keys, pt, dwEffect);
            dwEffect = wqhimport::AllowedDropEffect(dwEffect, allowed);
            hr = dwEffect == DROPEFFECT_NONE ? E_FAIL : FEditor.InsertOLEData(dataObj, keys, pt, dwEffect, oleDrop);
        }
    } catch (...) {
        platform::HandleException();
        hr = E_FAIL;
    }
    if (hr != S_OK)
        dwEffect = DROPEFFECT_NONE;
    FEditor.HideDragCell();
    return hr;
}

void TWQHDropTarget::SetActive(bool Active)
{
    if (Active == FActive)
        return;
    FActive = Active;
    FEditor.setAcceptDrops(Active);
    if (Active)
        FEditor.installEventFilter(this);
    else
        FEditor.removeEventFilter(this);
}

namespace {

DWORD KeyState(const QDropEvent& e)
{
    DWORD k = 0;
    if (e.modifiers() & Qt::ShiftModifier)
        k |= MK_SHIFT;
    if (e.modifiers() & Qt::ControlModifier)
        k |= MK_CONTROL;
    if (e.buttons() & Qt::LeftButton)
        k |= MK_LBUTTON;
    return k;
}

DWORD Allowed(Qt::DropActions a)
{
    DWORD e = 0;
    if (a & Qt::CopyAction)
        e |= DROPEFFECT_COPY;
    if (a & Qt::MoveAction)
        e |= DROPEFFECT_MOVE;
    if (a & Qt::LinkAction)
        e |= DROPEFFECT_LINK;
    return e;
}

Qt::DropAction Action(DWORD e)
{
    switch (e) {
    case DROPEFFECT_COPY: return Qt::CopyAction;
    case DROPEFFECT_MOVE: return Qt::MoveAction;
    case DROPEFFECT_LINK: return Qt::LinkAction;
    default: return Qt::IgnoreAction;
    }
}

} // namespace

// The events come to the scroll area in its own coordinates; the cells are
// laid out in the viewport's, inside the frame.
QPoint TWQHDropTarget::ClientPoint(const QDropEvent& e) const
{
    return FEditor.viewport()->mapFrom(&FEditor, e.position().toPoint());
}

bool TWQHDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &FEditor)
        return false;
    const auto answer = [](QDropEvent* e, HRESULT hr, DWORD effect) {
        if (hr == S_OK && effect != DROPEFFECT_NONE) {
            e->setDropAction(Action(effect));
            e->accept();
        } else {
            e->ignore();
        }
    };
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        const QPoint p = ClientPoint(*e);
        DWORD effect = Allowed(e->possibleActions());
        HRESULT hr = S_OK;
        platform::Guarded([&] {
            if (event->type() == QEvent::DragEnter) {
                const IDataObjectPtr obj = WQHDataObjectFromMime(e->mimeData());
                hr = DragEnter(obj.get(), KeyState(*e), TPoint{p.x(), p.y()}, effect);
            } else {
                hr = DragOver(KeyState(*e), TPoint{p.x(), p.y()}, effect);
            }
        });
        answer(e, hr, effect);
        return true;
    }
    case QEvent::DragLeave:
        platform::Guarded([&] { DragLeave(); });
        return true;
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const QPoint p = ClientPoint(*e);
        DWORD effect = Allowed(e->possibleActions());
        HRESULT hr = E_FAIL;
        platform::Guarded([&] {
            const IDataObjectPtr obj = WQHDataObjectFromMime(e->mimeData());
            hr = Drop(obj.get(), KeyState(*e), TPoint{p.x(), p.y()}, effect);
        });
        answer(e, hr, effect);
        return true;
    }
    default:
        return false;
    }
}
