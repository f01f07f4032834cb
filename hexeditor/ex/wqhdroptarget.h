#pragma once
// The control's drop target, fed from the control's Qt drag events through an
// event filter, so the control needs no drag event handlers of its own.
#include "hexeditor/ex/wqholetypes.h"
#include "hexeditor/wqhtypes.h"

#include <QObject>
#include <QPoint>

class QDropEvent;
class TWQHexEditorEx;

class TWQHDropTarget : public QObject {
    Q_OBJECT
public:
    explicit TWQHDropTarget(TWQHexEditorEx& Editor);
    ~TWQHDropTarget() override;

    // pt in the control's client coordinates; dwEffect holds the allowed
    // effects on entry and the chosen one on return.
    HRESULT DragEnter(IDataObject* dataObj, DWORD grfKeyState, TPoint pt, DWORD& dwEffect);
    HRESULT DragOver(DWORD grfKeyState, TPoint pt, DWORD& dwEffect);
    HRESULT DragLeave();
    HRESULT Drop(IDataObject* dataObj, DWORD grfKeyState, TPoint pt, DWORD& dwEffect);

    bool Active() const { return FActive; }
    void SetActive(bool Active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPoint ClientPoint(const QDropEvent& e) const;

    TWQHexEditorEx& FEditor;
    bool FActive = false;
};
