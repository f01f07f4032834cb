#pragma once
// The extended control's message texts, beside the core's table
// (hexeditor/wqhstrings.h) and filled the same way: %s and %d with
// QString::asprintf, strings as UTF-8 char pointers.

namespace wqhstr {

// Clipboard: the own format's registered name and the scrap file of a copy
// (first %s the file's base name, second its extension).
inline constexpr const char* ClipboardFormatName = "TWQHexeditorEx Clipboard Format";
inline constexpr const char* DumpOfScrapFile = "Dump of %s.bin";
inline constexpr const char* UndoCutToClipboard = "Cut to clipboard";

// What the platform says for a failing clipboard call.
inline constexpr const char* OleOutOfMemory = "Not enough memory resources are available to complete this operation";
inline constexpr const char* OleCantOpenClipboard = "OpenClipboard Failed";
inline constexpr const char* OleInvalidArg = "The parameter is incorrect";
inline constexpr const char* OleNotImplemented = "Not implemented";
inline constexpr const char* OleUnspecified = "Unspecified error";

// Backups on save.
inline constexpr const char* CannotDeleteBackup = "Cannot delete previous backup %s. (%s)";
inline constexpr const char* CannotCreateBackup = "Cannot create backup %s. (%s)";
inline constexpr const char* NoFileNameSpecified = "No filename specified";

// Import: undo steps, refusals, the format dialog.
inline constexpr const char* UndoPasteFromClipboard = "Paste from clipboard";
inline constexpr const char* UndoDataDropped = "Data dropped";
inline constexpr const char* UndoDataMoved = "Data moved";
inline constexpr const char* DataTooLarge = "The data cannot grow past 2147483647 bytes";
inline constexpr const char* NoSuchFile = "No such file or directory";
inline constexpr const char* SelectDataFormat = "Select data format";
inline constexpr const char* HexText = "Hex text";
inline constexpr const char* FormatText = "Text";
inline constexpr const char* FormatBitmap = "Bitmap Picture";
inline constexpr const char* FormatMetafilePict = "Metafile Picture";
inline constexpr const char* FormatTiff = "Tagged Image File Format (TIFF) Picture";
inline constexpr const char* FormatOemText = "OEM Text";
inline constexpr const char* FormatDib = "Device Independent Bitmap Picture";
inline constexpr const char* FormatPalette = "Color Palete";
inline constexpr const char* FormatRiff = "RIFF Audio Data";
inline constexpr const char* FormatWave = "Wave Audio";
inline constexpr const char* FormatUnicodeText = "Unicode Text";
inline constexpr const char* FormatEnhMetafile = "Enhanced Metafile Picture";
inline constexpr const char* FormatLocale = "Text Locale";

// Printing and the print settings.
inline constexpr const char* InvalidPageIndex = "Invalid page index";
inline constexpr const char* NoPrinterInstalled = "No printer is installed";
inline constexpr const char* PrintingFailed = "Printing failed";
inline constexpr const char* NoPrintJobOpen = "No print job is open on the printer";
inline constexpr const char* NoRoomForARow = "The print margins leave no room for a row";
inline constexpr const char* CannotAssignNilPrintOptions = "Cannot assign a nil to a TWQHPrintOptions";

} // namespace wqhstr
