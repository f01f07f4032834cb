#include "hexeditor/ex/wqhpopupmenu.h"

void TWQHPopupMenu::Popup(int X, int Y)
{
    popup(QPoint(X, Y));
}
