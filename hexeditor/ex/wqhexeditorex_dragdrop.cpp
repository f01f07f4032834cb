// Drop target, drag source and the import of offered data.
#include "hexeditor/ex/wqhexeditorex.h"

// Temporary: no drag and drop yet; nothing is offered or accepted.
TClipFormats TWQHexEditorEx::GetMyOLEFormats() const
{
    return {};
}

bool TWQHexEditorEx::OLEHasSupportedFormat(IWQHDataObject*, const TClipFormats&, std::uint16_t&)
{
    return false;
}

HRESULT TWQHexEditorEx::SupportsOLEData(IWQHDataObject*, std::uint32_t, TPoint, std::uint32_t&, TWQHOLEOperation)
{
    return 1;  // S_FALSE
}

HRESULT TWQHexEditorEx::ModifyOLEDropEffect(std::uint32_t, TPoint, std::uint32_t&)
{
    return 0;  // S_OK
}

HRESULT TWQHexEditorEx::InsertOLEData(IWQHDataObject*, std::uint32_t, TPoint, std::uint32_t& dwEffect,
                                      TWQHOLEOperation)
{
    dwEffect = 0;
    return static_cast<HRESULT>(0x80004005u);  // E_FAIL
}

void TWQHexEditorEx::SetOleDragDrop(bool Value)
{
    FOleDragDrop = Value;
}

void TWQHexEditorEx::CreateDropTarget() {}

void TWQHexEditorEx::FreeDropTarget() {}

void TWQHexEditorEx::SetDropTargetActive(bool) {}

void TWQHexEditorEx::OleMouseDown(TMouseButton, TShiftState, int, int) {}

void TWQHexEditorEx::OleMouseMove(TShiftState, int, int) {}

void TWQHexEditorEx::OleMouseUp(TMouseButton, TShiftState, int, int)
{
    if (FOleDragging) {
        FOleDragging = false;
        FOleStartDrag = false;
    }
}
