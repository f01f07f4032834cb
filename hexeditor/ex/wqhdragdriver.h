#pragma once
// The drag source's transport: the control starts a drag through DoDragDrop,
// which runs the installed driver. The program's driver runs Qt's modal drag
// loop; tests install one that drops at once onto a given drop target.
#include "hexeditor/ex/wqholetypes.h"

#include <Qt>

class QWidget;

// Answers the drag loop's questions for the control's drag; one per drag.
class TWQHDropSource {
public:
    // Cancelled by Escape, going on while the left button is down, else dropped.
    HRESULT QueryContinueDrag(bool fEscapePressed, DWORD grfKeyState) const;
    // The default cursors for none, copy and move; anything else is refused.
    HRESULT GiveFeedback(DWORD dwEffect) const;
};

class TWQHDragDriver {
public:
    virtual ~TWQHDragDriver() = default;
    // Runs one drag of dataObject from Source with the allowed effects
    // dwOKEffects; dwEffect receives the effect the target chose.
    // Answers DRAGDROP_S_DROP, DRAGDROP_S_CANCEL or a failure code.
    virtual HRESULT DoDragDrop(QWidget* Source, const IDataObjectPtr& dataObject, TWQHDropSource& dropSource,
                               DWORD dwOKEffects, DWORD& dwEffect) = 0;
};

TWQHDragDriver& WQHDragDriver();
// nullptr restores the Qt driver.
void SetWQHDragDriver(TWQHDragDriver* replacement);

HRESULT DoDragDrop(QWidget* Source, const IDataObjectPtr& dataObject, TWQHDropSource& dropSource,
                   DWORD dwOKEffects, DWORD& dwEffect);

// Between drop effects and Qt's drop actions.
Qt::DropActions WQHDropActionsFromEffects(DWORD Effects);
// The result and effect of a finished Qt drag: no action is a cancel; a move
// the target took over (TargetMoveAction) leaves the source nothing to delete.
HRESULT WQHDragResultFromAction(Qt::DropAction Action, DWORD& dwEffect);
