#pragma once
// Foreign MIME data (the clipboard's or a drop's) as a data object.
#include "hexeditor/ex/wqholetypes.h"

class QMimeData;

// Its enumerator lists the formats the MIME data can give, GetData converts on
// demand. It holds the MIME data weakly: once the clipboard or the drag has
// dropped it, the adapter offers nothing and GetData fails. Our own MIME data
// gives back the data object it carries instead.
IDataObjectPtr WQHDataObjectFromMime(const QMimeData* mimeData);
