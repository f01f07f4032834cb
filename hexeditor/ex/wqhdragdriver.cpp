// The drag transport over Qt's QDrag.
#include "hexeditor/ex/wqhdragdriver.h"

#include "hexeditor/ex/wqhmimetable.h"

#include <QDrag>
#include <QPointer>
#include <QWidget>

HRESULT TWQHDropSource::QueryContinueDrag(bool fEscapePressed, DWORD grfKeyState) const
{
    if (fEscapePressed)
        return DRAGDROP_S_CANCEL;
    if (grfKeyState & MK_LBUTTON)
        return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT TWQHDropSource::GiveFeedback(DWORD dwEffect) const
{
    switch (dwEffect & 7) {
    case DROPEFFECT_NONE:
    case DROPEFFECT_COPY:
    case DROPEFFECT_MOVE:
        return DRAGDROP_S_USEDEFAULTCURSORS;
    default:
        return E_INVALIDARG;
    }
}

Qt::DropActions WQHDropActionsFromEffects(DWORD effects)
{
    Qt::DropActions a;
    if (effects & DROPEFFECT_COPY)
        a |= Qt::CopyAction;
    if (effects & DROPEFFECT_MOVE)
        a |= Qt::MoveAction;
    if (effects & DROPEFFECT_LINK)
        a |= Qt::LinkAction;
    return a;
}

HRESULT WQHDragResultFromAction(Qt::DropAction action, DWORD& dwEffect)
{
    switch (action) {
    case Qt::CopyAction:
        dwEffect = DROPEFFECT_COPY;
        return DRAGDROP_S_DROP;
    case Qt::MoveAction:
        dwEffect = DROPEFFECT_MOVE;
        return DRAGDROP_S_DROP;
    case Qt::LinkAction:
        dwEffect = DROPEFFECT_LINK;
        return DRAGDROP_S_DROP;
    case Qt::TargetMoveAction:
        dwEffect = DROPEFFECT_NONE;
        return DRAGDROP_S_DROP;
    default:
        dwEffect = DROPEFFECT_NONE;
        return DRAGDROP_S_CANCEL;
    }
}

namespace {

// Qt's drag loop watches Escape and the buttons itself and picks the cursors,
// so the drop source is not asked here.
class TQtDragDriver : public TWQHDragDriver {
public:
    HRESULT DoDragDrop(QWidget* source, const IDataObjectPtr& dataObject, TWQHDropSource&, DWORD ok,
                       DWORD& dwEffect) override
    {
        dwEffect = DROPEFFECT_NONE;
        if (!source || !dataObject)
            return E_INVALIDARG;
        const Qt::DropActions actions = WQHDropActionsFromEffects(ok);
        if (!actions)
            return E_INVALIDARG;
        // Qt deletes the drag object itself once the loop has ended.
        QPointer<QDrag> drag = new QDrag(source);
        drag->setMimeData(new TWQHMimeData(dataObject, WQHNewMimeToken()));
        const Qt::DropAction preferred = (ok & DROPEFFECT_MOVE) ? Qt::MoveAction : Qt::CopyAction;
        const Qt::DropAction done = drag->exec(actions, preferred);
        return WQHDragResultFromAction(done, dwEffect);
    }
};

TQtDragDriver& QtDriver()
{
    static TQtDragDriver driver;
    return driver;
}

TWQHDragDriver* g_driver = nullptr;

} // namespace

TWQHDragDriver& WQHDragDriver() { return g_driver ? *g_driver : QtDriver(); }

void SetWQHDragDriver(TWQHDragDriver* replacement) { g_driver = replacement; }

HRESULT DoDragDrop(QWidget* source, const IDataObjectPtr& dataObject, TWQHDropSource& dropSource, DWORD ok,
                   DWORD& dwEffect)
{
    return WQHDragDriver().DoDragDrop(source, dataObject, dropSource, ok, dwEffect);
}
