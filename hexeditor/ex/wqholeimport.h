#pragma once
// Import side of the extended control's clipboard and drag and drop, as plain
// data code: the accepted formats and their priority, the conversion of one
// fetched block into bytes, hex text decoding, the shell's dropped-file list,
// reading a dropped file, the drop effects and the placing rules of an
// insertion. Everything here works on byte buffers and numbers only.
#include "hexeditor/ex/wqhclipformats.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace wqhimport {

// Largest data the control can hold (positions are signed 32-bit).
inline constexpr std::int64_t kMaxDataSize = WQH_MAX_BLOCK_SIZE;

using TClipFormats = std::vector<TClipFormat>;

// Accepted formats in priority order; without other formats only the own
// format and dropped files.
TClipFormats GetMyOLEFormats(const TWQHClipFormats& ids, bool supportsOtherClipFormats);

// The first accepted format (in accepted order) that the offered list holds.
std::optional<TClipFormat> FirstSupportedFormat(const TClipFormats& accepted, const TClipFormats& offered);
// The accepted formats that are offered, in accepted order, without repeats.
TClipFormats OfferedInPriority(const TClipFormats& accepted, const TClipFormats& offered);

// Turns one fetched block into bytes. Block is nullptr when the medium was not
// a memory block. Every read is bounded by Size; a malformed block, or a
// result past kMaxDataSize, gives nothing (std::nullopt).
//
// Stand-ins for the platform's handle formats (our own serialisation):
//  - CF_BITMAP: the block holds a BMP file; it is taken as it is;
//  - CF_METAFILEPICT: 12 bytes of mapping mode and extents (3 x int32), then
//    the metafile bits, which are taken; nothing when there are no bits;
//  - CF_ENHMETAFILE: the block holds the metafile file; taken as it is;
//  - CF_PALETTE: the block holds the palette's 4-byte entries (1 to 256);
//    the result is a LOGPALETTE (0x0300, count, entries).
std::optional<std::vector<std::uint8_t>> ConvertOLEData(const TWQHClipFormats& ids, TClipFormat cfFormat,
                                                        const std::uint8_t* Block, std::int64_t Size,
                                                        bool Swap);

// Every two hex digits (either case) make a byte, the high nibble first (low
// first with Swap); other characters are skipped, a last lone digit dropped.
std::vector<std::uint8_t> DecodeHexText(const std::vector<std::uint8_t>& Text, bool Swap);

// The shell's dropped-file list (a DROPFILES header of 20 bytes: offset of
// the names, point, non-client flag, wide flag; then names, each ended by a
// zero character, and one more zero). Names of any length. A malformed list
// gives nothing.
std::optional<QStringList> ReadDropFiles(const std::uint8_t* Block, std::int64_t Size);
// The wide form of that list for the given names.
std::vector<std::uint8_t> MakeDropFiles(const QStringList& Names);

// The whole content of a dropped file. Only regular files; a file whose
// content would take the data past kMaxDataSize (Room bytes are left) raises
// before anything is read. Open errors raise platform::EFOpenError.
std::vector<std::uint8_t> ReadDroppedFile(const QString& Path, std::int64_t Room);

// The names of a link drop: each name in UTF-16 little-endian followed by one
// zero character. Raises when the list would not fit into Room bytes.
std::vector<std::uint8_t> FileNamesAsData(const QStringList& Names, std::int64_t Room);

// The count rounded down to whole units.
std::int64_t CheckUnit(std::int64_t Count, int BytesPerUnit);

// Drop effect a target asks for, from the key state.
std::uint32_t ModifyOLEDropEffect(std::uint32_t KeyState, bool OwnDrag, bool ReadOnlyView, bool FixedSize,
                                  TClipFormat DropFormat);
// Narrows an effect to what the source allowed: the effect itself when it is
// one allowed effect, else a copy when copies are allowed, else none.
std::uint32_t AllowedDropEffect(std::uint32_t Effect, std::uint32_t Allowed);
// The effect a drag source acts on after the drag: the stored one replaces
// the returned one, then it is narrowed to what was allowed.
std::uint32_t SourceDropEffect(std::uint32_t Returned, bool HasStored, std::uint32_t Stored, std::uint32_t Allowed);

// Placing of an insertion.
enum class TWQHPlaceAction {
    Fail,             // nothing written, E_FAIL
    PasteData,        // clipboard: PasteData
    MoveInsert,       // self-move: delete the selection, then insert at Position
    MoveAppend,       // self-move: delete the selection, then append
    Append,           // append at the end
    AppendNothing,    // drop at the end of a fixed-size control: S_OK, no effect
    ReplaceSelection, // replace the selection
    Insert,           // insert at Position
    ReplaceInPlace,   // overwrite Count bytes at Position (clipped at the end)
};

struct TWQHPlaceInput {
    TWQHOLEOperation Operation = oleClipboard;
    std::int64_t DropPosition = -1; // data position under the drag mark
    std::int64_t DataSize = 0;
    std::int64_t SelStart = -1;     // as the control keeps them, -1 for none
    std::int64_t SelEnd = -1;
    bool FixedSize = false;
    bool OwnDrag = false;           // this control's drag is running
    std::uint32_t Effect = DROPEFFECT_COPY;
};

struct TWQHPlacePlan {
    TWQHPlaceAction Action = TWQHPlaceAction::Fail;
    std::int64_t Position = 0;
};

TWQHPlacePlan PlanInsertion(const TWQHPlaceInput& In);

} // namespace wqhimport
