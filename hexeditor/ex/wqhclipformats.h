#pragma once
// The registered clipboard formats of the extended control, and the
// process-wide registry of format names.
#include "hexeditor/ex/wqhexstrings.h"
#include "hexeditor/ex/wqholetypes.h"

#include <QString>

// Registers a format name (names compare without regard to case) and answers
// its id: the first name gets 0xC000, the next 0xC001, and so on; a name
// registered before answers its old id. An empty name answers 0.
TClipFormat RegisterClipboardFormatW(const QString& name);
// The registered name of an id, empty for ids that are not registered ones.
QString GetClipboardFormatNameW(TClipFormat id);

// The eight formats of the control, registered once, in this order, the first
// time any of them is asked for.
struct TWQHClipFormats {
    TClipFormat Own;                        // the control's own block ("WQTH")
    TClipFormat RegEditHexData;             // "RegEdit_HexData"
    TClipFormat RichText;                   // "Rich Text Format"
    TClipFormat Html;                       // "HTML Format"
    TClipFormat FileContents;               // "FileContents"
    TClipFormat FileGroupDescriptorW;       // "FileGroupDescriptorW"
    TClipFormat PerformedDropEffect;        // "Performed DropEffect"
    TClipFormat LogicalPerformedDropEffect; // "Logical Performed DropEffect"
};
const TWQHClipFormats& WQHClipFormats();

inline TClipFormat CF_WQHEXEDITOR() { return WQHClipFormats().Own; }
inline TClipFormat CF_REGEDIT_HEXDATA() { return WQHClipFormats().RegEditHexData; }
inline TClipFormat CF_RICHTEXT() { return WQHClipFormats().RichText; }
inline TClipFormat CF_HTML() { return WQHClipFormats().Html; }
inline TClipFormat CF_FILECONTENTS() { return WQHClipFormats().FileContents; }
inline TClipFormat CF_FILEGROUPDESCRIPTORW() { return WQHClipFormats().FileGroupDescriptorW; }
inline TClipFormat CF_PERFORMEDDROPEFFECT() { return WQHClipFormats().PerformedDropEffect; }
inline TClipFormat CF_LOGICALPERFORMEDDROPEFFECT() { return WQHClipFormats().LogicalPerformedDropEffect; }

// The own block: "WQTH", version, 32-bit count, the bytes, one zero.
inline constexpr char WQH_CLIP_MAGIC[4] = {'W', 'Q', 'T', 'H'};
inline constexpr std::uint32_t WQH_CLIP_VERSION = 0x00010001;
inline constexpr int WQH_CLIP_HEADER_SIZE = 12;
// "RegEdit_HexData": 32-bit count, the bytes, one zero.
inline constexpr int WQH_REGEDIT_HEADER_SIZE = 4;
// FILEGROUPDESCRIPTORW with one FILEDESCRIPTORW.
inline constexpr int WQH_FILEGROUPDESCRIPTOR_SIZE = 596;
inline constexpr std::uint32_t FD_WRITESTIME = 0x20;
inline constexpr std::uint32_t FD_FILESIZE = 0x40;
