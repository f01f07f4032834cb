#pragma once
// The hex editor's message texts, in one table. Texts with a %d, %s or %x
// are filled with QString::asprintf (pass strings as UTF-8 char pointers).

namespace wqhstr {

inline constexpr const char* DataBounds = "Data position/length out of data bounds";
inline constexpr const char* OperationCancelled = "Operation cancelled";
inline constexpr const char* CannotOpenFile = "Cannot open %s.\r\n(%s.)";
inline constexpr const char* CannotSaveReadonly = "Cannot save readonly file %s.";
inline constexpr const char* CannotChangeFixedSize = "Cannot change fixed filesize";
inline constexpr const char* InvalidBufferFromFile = "Invalid buffer from file argument";
inline constexpr const char* CannotUpdateUndo = "Cannot update undo storage";
inline constexpr const char* Untitled = "Untitled";
inline constexpr const char* NoUndo = "No undo";
inline constexpr const char* BusyLoadingOrSaving = "The data cannot be changed while it is being loaded or saved";
inline constexpr const char* CharTooLarge = "Character code %d cannot be stored as one byte";
inline constexpr const char* NotRegularFile = "Not a regular file";
inline constexpr const char* InvalidTranslationKind = "Invalid translation kind %d";

inline constexpr const char* InvalidBytesPerUnit = "Invalid bytes per unit value %d, allowed: 1,2,4,8";
inline constexpr const char* InvalidRulerBytesPerUnit = "Invalid ruler bytes per unit value %d, allowed: -1,1,2,4,8";
inline constexpr const char* BytesPerUnitUnicode = "BytesPerUnit must be set to 2 in unicode mode";
inline constexpr const char* InvalidBytesPerLine = "Invalid bytes per line argument";
inline constexpr const char* InvalidBytesPerColumn = "Invalid bytes per column argument";
inline constexpr const char* MissingOffsetChar = "Missing char in offset format: %s";
inline constexpr const char* OffsetNumberRadix = "number radix";
inline constexpr const char* InvalidOffsetRadix = "Invalid radix in offset format (%xh), allowed: 02h..10h";
inline constexpr const char* InvalidRadixChar = "Invalid character %s, cannot convert using radix %xh";
inline constexpr const char* InvalidRadix = "Invalid radix %d, allowed: 2..16";
inline constexpr const char* IntegerOverflow = "Integer overflow";
inline constexpr const char* DivisionByZero = "Division by zero";

inline constexpr const char* TranslationsUnicode = "Translations cannot be used in unicode mode";
inline constexpr const char* UnicodeOddSize = "Cannot use unicode mode with odd-sized files";

inline constexpr const char* InvalidSelectionStart = "Invalid selection start";
inline constexpr const char* InvalidSelectionEnd = "Invalid selection end";

inline constexpr const char* InvalidBookmarkIndex = "Invalid bookmark index";
inline constexpr const char* InvalidBookmarkBitmap = "Invalid bookmark bitmap (must be 10 x 200 px)";
inline constexpr const char* InvalidBookmarkFormat = "Invalid bookmark format";

// Undo step descriptions, by kind (TWQHUndoFlag 0..10).
inline constexpr const char* UndoDescriptions[11] = {
    "Change byte(s)", "Remove data",     "Insert buffer", "Replace",
    "Append buffer",  "Insert nibble",   "Delete nibble", "Convert",
    "Cursor movement", "Multiple modification", "All data saved",
};

// Translation names, long and short, by TWQHTranslationKind.
inline constexpr const char* TranslationDesc[6] = {
    "Windows", "Dos 8 bits", "ASCII 7 bits", "Macintosh", "EBCDIC codepage 38", "Custom translation",
};
inline constexpr const char* TranslationDescShort[6] = {"WIN", "DOS", "ASC", "MAC", "BCD", "Cust"};
inline constexpr const char* UnicodeLE = "Unicode little endian";
inline constexpr const char* UnicodeBE = "Unicode big endian";
inline constexpr const char* UnicodeLEShort = "UCLE";
inline constexpr const char* UnicodeBEShort = "UCBE";

} // namespace wqhstr
