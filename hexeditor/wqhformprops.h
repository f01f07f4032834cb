#pragma once
// The control's own properties in a component (form) stream, beside its
// published ones: the mask character. It is written as its integer code;
// older streams hold it as a one-character string, which is still read.
#include <QString>
#include <QVariant>
#include <utility>
#include <vector>

class TCustomWQHexEditor;

// Name and value pairs of a component stream, in stream order.
using TWQHStreamProperties = std::vector<std::pair<QString, QVariant>>;

// Appends what the control writes: "MaskChar_AsInteger" with the mask
// character's code, only when the mask is not ".".
void WQHWriteExtraProperties(const TCustomWQHexEditor& Editor, TWQHStreamProperties& Props);
// Reads one stored property; false when it is not one of these (nothing changes).
// "MaskChar": a one-character string sets the mask to it, anything else sets ".".
// "MaskChar_AsInteger": an integer 0..65535 sets the mask to that code,
// anything else sets ".".
bool WQHReadExtraProperty(TCustomWQHexEditor& Editor, const QString& Name, const QVariant& Value);
