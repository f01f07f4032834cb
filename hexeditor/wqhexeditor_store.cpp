// Data store, load/save and edit primitives of the hex editor control.
#include "hexeditor/wqhexeditor.h"

#include "hexeditor/wqhmemorystream.h"
#include "hexeditor/wqhstrings.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"

int TCustomWQHexEditor::GetDataSize() const { return FDataStorage ? FDataStorage->DataSize() : 0; }
void TCustomWQHexEditor::SetDataSize(int) {}
void TCustomWQHexEditor::LoadFromStream(platform::TStream&) {}
void TCustomWQHexEditor::LoadFromFile(const QString&) {}
void TCustomWQHexEditor::SaveToStream(platform::TStream&) {}
void TCustomWQHexEditor::SaveRangeToStream(platform::TStream&, int, int) {}
void TCustomWQHexEditor::SaveToFile(const QString&, bool) {}
void TCustomWQHexEditor::CreateEmptyFile(const QString&) {}
std::uint8_t TCustomWQHexEditor::GetDataAt(int) const { return 0; }
void TCustomWQHexEditor::SetDataAt(int, std::uint8_t) {}
QChar TCustomWQHexEditor::GetMemory(int) const { return QChar(); }
void TCustomWQHexEditor::SetMemory(int, QChar) {}
void TCustomWQHexEditor::ReadBuffer(void*, int, int) const {}
void TCustomWQHexEditor::WriteBuffer(const void*, int, int) {}
std::uint8_t* TCustomWQHexEditor::GetFastPointer(int, int) { return nullptr; }
std::unique_ptr<std::uint8_t[]> TCustomWQHexEditor::BufferFromFile(int, int& aCount) { aCount = 0; return nullptr; }
void TCustomWQHexEditor::InsertBuffer(const void*, int, int, const QString&, bool) {}
void TCustomWQHexEditor::AppendBuffer(const void*, int, const QString&, bool) {}
void TCustomWQHexEditor::ReplaceSelection(const void*, int, const QString&, bool) {}
void TCustomWQHexEditor::DeleteSelection(const QString&) {}
void TCustomWQHexEditor::InternalErase(bool, const QString&) {}
bool TCustomWQHexEditor::InsertNibble(int, bool, const QString&) { return false; }
bool TCustomWQHexEditor::DeleteNibble(int, bool, const QString&) { return false; }
void TCustomWQHexEditor::ConvertRange(int, int, TWQHTranslationKind, TWQHTranslationKind, const QString&) {}
int TCustomWQHexEditor::Seek(int, int) { return -1; }
void TCustomWQHexEditor::SeekToEOF() {}
QString TCustomWQHexEditor::AsText() const { return QString(); }
void TCustomWQHexEditor::SetAsText(const QString&) {}
QString TCustomWQHexEditor::AsHex() const { return QString(); }
void TCustomWQHexEditor::SetAsHex(const QString&) {}
QString TCustomWQHexEditor::SelectionAsText() const { return QString(); }
void TCustomWQHexEditor::SetSelectionAsText(const QString&) {}
QString TCustomWQHexEditor::SelectionAsHex() const { return QString(); }
void TCustomWQHexEditor::SetSelectionAsHex(const QString&) {}
bool TCustomWQHexEditor::Modified() const { return FModified; }
void TCustomWQHexEditor::SetModified(bool Value) { FModified = Value; }
bool TCustomWQHexEditor::InsertMode() const { return FInsertModeOn; }
void TCustomWQHexEditor::SetInsertMode(bool Value) { FInsertModeOn = Value; }
void TCustomWQHexEditor::SetAllowInsertMode(bool Value) { FAllowInsertMode = Value; }
void TCustomWQHexEditor::SetNoSizeChange(bool Value) { FFixedFileSize = Value; }
void TCustomWQHexEditor::SetReadOnlyFile(bool Value) { if (Value) FIsFileReadonly = true; }
bool TCustomWQHexEditor::HasChanged(int) const { return false; }
void TCustomWQHexEditor::SetChanged(int, bool) {}
void TCustomWQHexEditor::FreeStorage(bool) {}
bool TCustomWQHexEditor::IsFileSizeFixed() const { return FFixedFileSize && !FFixedFileSizeOverride; }
bool TCustomWQHexEditor::IsInsertModePossible() const { return !IsFileSizeFixed() && FAllowInsertMode && !FReadOnlyView; }
void TCustomWQHexEditor::CheckNotBusy() const {}
void TCustomWQHexEditor::Changed() {}
void TCustomWQHexEditor::PrepareOverwriteDiskFile() {}
void TCustomWQHexEditor::Stream2Stream(platform::TStream&, platform::TStream&, TWQHProgressKind, std::int64_t) {}
void TCustomWQHexEditor::InternalInsertBuffer(const void*, int, int) {}
void TCustomWQHexEditor::InternalAppendBuffer(const void*, int) {}
void TCustomWQHexEditor::InternalDelete(int, int, int, int) {}
void TCustomWQHexEditor::InternalInsertNibble(int, bool) {}
void TCustomWQHexEditor::InternalDeleteNibble(int, bool) {}
void TCustomWQHexEditor::CutChangedMarks(int) {}
void TCustomWQHexEditor::ClearChangedMarks() {}
