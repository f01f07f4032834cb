// Offset gutter texts and the hex digit case of the editor control.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhnumbers.h"

void TCustomWQHexEditor::SetOffsetFormat(const QString& Value) { (void)Value; }
QString TCustomWQHexEditor::GetOffsetString(std::uint32_t Position) { (void)Position; return {}; }
QString TCustomWQHexEditor::GetAnyOffsetString(int Position) { (void)Position; return {}; }
void TCustomWQHexEditor::SetOffsetDisplayWidth() {}
void TCustomWQHexEditor::UpdateGetOffsetText() {}
void TCustomWQHexEditor::SetHexLowerCase(bool Value) { FHexLowerCase = Value; }
void TCustomWQHexEditor::GenerateOffsetFormat(const QString& Value) { (void)Value; }
