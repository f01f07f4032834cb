// Bookmarks and properties as text.
#include "hexeditor/ex/wqhexeditorex.h"

// Temporary: the text forms are not built yet.
QString TWQHexEditorEx::GetBookmarksAsString()
{
    return QString();
}

void TWQHexEditorEx::SetBookMarksAsString(const QString&) {}

QString TWQHexEditorEx::GetPropertiesAsString()
{
    return QString();
}

void TWQHexEditorEx::SetPropertiesAsString(const QString&) {}

bool TWQHexEditorEx::IsPropPublic(const QString&)
{
    return false;
}
