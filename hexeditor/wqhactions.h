#pragma once
// The standard actions a control can be asked to update and run (the class
// library's TEditCut, TEditCopy ... and any other action). A host derives
// from TWQHBasicAction to give an action a handler of its own.
#include <QObject>

enum TWQHActionKind {
    akOther,         // not an edit action
    akEditCut,
    akEditCopy,
    akEditPaste,
    akEditDelete,
    akEditUndo,
    akEditSelectAll,
    akEditOther,     // an edit action of any other kind
};

class TWQHBasicAction {
public:
    explicit TWQHBasicAction(TWQHActionKind Kind = akOther) : FKind(Kind) {}
    virtual ~TWQHBasicAction() = default;

    TWQHActionKind Kind() const { return FKind; }
    bool IsEditAction() const { return FKind != akOther; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }

    // The default handling of a control: an action that handles the target
    // updates or runs itself on it.
    virtual bool HandlesTarget(QObject* Target) { (void)Target; return false; }
    virtual void UpdateTarget(QObject* Target) { (void)Target; }
    virtual void ExecuteTarget(QObject* Target) { (void)Target; }

private:
    TWQHActionKind FKind;
    bool FEnabled = true;
};
