#pragma once
// Small types shared by every file of the hex editor control: geometry,
// shift states and virtual keys, colours, enumerations, events, bookmarks
// and the control's exception.
#include "platform/exceptions.h"

#include <QString>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>

class QObject;
class TWQHCanvas;

// ---- geometry ---------------------------------------------------------------

// A rectangle with exclusive right and bottom edges, as the class library's.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

struct TGridCoord {
    int X = 0;
    int Y = 0;
    bool operator==(const TGridCoord&) const = default;
};

TGridCoord GridCoord(int X, int Y);

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

// ---- input ------------------------------------------------------------------

enum TShiftStateFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Windows virtual key codes, which the key handling is written in.
enum : std::uint16_t {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_NUMPAD0 = 0x60,
    VK_NUMPAD9 = 0x69,
    VK_ADD = 0x6B,
    VK_SUBTRACT = 0x6D,
    VK_F1 = 0x70,
};

// Whether a key (or VK_LBUTTON etc.) is held down now. Goes through a seam so
// that tests decide; the program asks Qt.
bool IsKeyDown(int VirtKey);
using TWQHKeyStateSource = std::function<bool(int VirtKey)>;
// Installs a replacement; an empty function restores Qt's answer.
void SetKeyStateSource(TWQHKeyStateSource source);

// ---- mouse cursors ----------------------------------------------------------

using TCursor = int;
enum : int {
    crDefault = 0,
    crArrow = -2,
    crIBeam = -4,
    crHourGlass = -11,
    crDrag = -12,
    crNoDrop = -13,
};

// ---- colours ----------------------------------------------------------------

// Blue-green-red in the low three bytes; 0xFF in the high byte marks a system
// colour whose low byte is the system colour index.
using TColor = std::int32_t;
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;

// ---- enumerations -----------------------------------------------------------

enum TWQHTranslationKind : std::uint8_t { tkAsIs, tkDos8, tkASCII, tkMac, tkBCD, tkCustom };
enum TWQHCaretKind : std::uint8_t { ckFull, ckLeft, ckBottom, ckAuto };
enum TWQHProgressKind : std::uint8_t { pkLoad, pkSave, pkFind };

// The set of byte values (MaskedChars).
using TWQHCharSet = std::bitset<256>;
// Value a data byte is compared as in a search (identity or case folded).
using TWQHFindTable = std::array<char16_t, 256>;

// ---- offset format ----------------------------------------------------------

enum TWQHOffsetFormatFlag : std::uint8_t {
    offCalcWidth = 1u << 0,
    offCalcRow = 1u << 1,
    offCalcColumn = 1u << 2,
    offBytesPerUnit = 1u << 3,
};
using TWQHOffsetFormatFlags = std::uint8_t;

struct TWQHOffsetFormat {
    QString Format;  // the text as last accepted; empty = no offset texts
    QString Prefix;
    QString Suffix;
    int MinWidth = 1;  // only the low 8 bits are used when the text is built
    TWQHOffsetFormatFlags Flags = 0;
    std::uint8_t Radix = 16;
    std::uint8_t _BytesPerUnit = 1;
};

// ---- bookmarks --------------------------------------------------------------

struct TWQHBookmark {
    std::int32_t mPosition = -1;  // negative = not set
    bool mInCharField = false;
    bool operator==(const TWQHBookmark&) const = default;
};
using TWQHBookmarks = std::array<TWQHBookmark, 10>;
// Raw form: 8 bytes per slot (position LE, field byte, three zero bytes).
constexpr int WQH_BOOKMARK_RAW_SIZE = 8;

// ---- events -----------------------------------------------------------------

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TWQHProgressEvent = std::function<void(QObject* Sender, TWQHProgressKind ProgressType,
                                             const QString& aName, std::uint8_t Percent, bool& Cancel)>;
using TWQHGetOffsetTextEvent = std::function<void(QObject* Sender, std::int64_t Number, QString& OffsetText)>;
using TWQHFindEvent = std::function<void(QObject* Sender, const QChar* Pattern, int PatLength, int SearchFrom,
                                         int SearchUntil, bool IgnoreCase, QChar Wildcard, int& FoundPos)>;
using TWQHDrawCellEvent = std::function<void(QObject* Sender, TWQHCanvas& ACanvas, int ACol, int ARow,
                                             QString& AWideText, const TRect& ARect, bool& ADefaultDraw)>;
using TKeyEvent = std::function<void(QObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(QObject* Sender, char16_t& Key)>;
using TMouseEvent = std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

// ---- exception --------------------------------------------------------------

class EWQHexEditor : public platform::Exception {
    using platform::Exception::Exception;
};

// The class library's integer overflow and division errors (64-bit helpers).
class EIntOverflow : public platform::Exception {
    using platform::Exception::Exception;
};
class EDivByZero : public platform::Exception {
    using platform::Exception::Exception;
};
