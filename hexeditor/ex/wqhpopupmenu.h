#pragma once
// A popup menu as the class library's TPopupMenu: it may pop up by itself on
// a right click (AutoPopup) and knows the control it was opened for.
// Popup is virtual so that tests see where a menu would open.
#include <QMenu>

class TWQHPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit TWQHPopupMenu(QWidget* parent = nullptr) : QMenu(parent) {}

    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool Value) { FAutoPopup = Value; }
    QObject* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(QObject* Value) { FPopupComponent = Value; }

    // Opens the menu at a point in screen coordinates.
    virtual void Popup(int X, int Y);

private:
    bool FAutoPopup = true;
    QObject* FPopupComponent = nullptr;
};
