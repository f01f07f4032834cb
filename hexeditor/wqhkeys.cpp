// Key translation from Qt to virtual keys, the key-state seam, and the raw
// form of the bookmarks.
#include "hexeditor/wqhkeys.h"
#include "hexeditor/wqhstrings.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <cstring>
#include <utility>

namespace {

TWQHKeyStateSource& KeyStateSource()
{
    static TWQHKeyStateSource source;
    return source;
}

bool QtKeyDown(int VirtKey)
{
    switch (VirtKey) {
    case VK_SHIFT: return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    case VK_CONTROL: return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    case VK_MENU: return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
    case VK_LBUTTON: return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
    case VK_RBUTTON: return QGuiApplication::mouseButtons().testFlag(Qt::RightButton);
    case VK_MBUTTON: return QGuiApplication::mouseButtons().testFlag(Qt::MiddleButton);
    default: return false;
    }
}

// X11 keycodes of the main keyboard's digit row: 10..18 are 1..9, 19 is 0.
// Wayland compositors hand out the same numbering (evdev + 8).
int DigitFromScanCode(quint32 ScanCode)
{
    if (ScanCode >= 10 && ScanCode <= 18)
        return static_cast<int>(ScanCode) - 9;
    if (ScanCode == 19)
        return 0;
    return -1;
}

// X11 keycodes of the letter keys, by the Latin letter a US keyboard has on
// them: 24..33 Q..P, 38..46 A..L, 52..58 Z..M (the keycodes name places, not
// letters, whatever layout is active).
char LetterFromScanCode(quint32 ScanCode)
{
    static constexpr struct {
        quint32 First;
        const char* Letters;
    } kRows[] = {{24, "QWERTYUIOP"}, {38, "ASDFGHJKL"}, {52, "ZXCVBNM"}};
    for (const auto& row : kRows) {
        if (ScanCode >= row.First && ScanCode < row.First + std::strlen(row.Letters))
            return row.Letters[ScanCode - row.First];
    }
    return 0;
}

// A Latin letter as a Windows virtual key ('A'..'Z') or an X11 keysym
// (either case) names; 0 otherwise.
char LatinLetter(quint32 Code)
{
    if (Code >= 'A' && Code <= 'Z')
        return static_cast<char>(Code);
    if (Code >= 'a' && Code <= 'z')
        return static_cast<char>(Code - 'a' + 'A');
    return 0;
}

// The Latin letter on the key of a letter of another script, such as Z for
// Я under a Russian layout: Windows reports that letter's virtual key, and
// the Ctrl shortcuts depend on it. A Latin layout keeps its own letters, and
// its other keys stay what they are. 0 when there is none.
char LatinLetterOnKey(const QKeyEvent& Event)
{
    const auto ch = static_cast<char32_t>(Event.key());
    if (!QChar::isLetter(ch) || QChar::script(ch) == QChar::Script_Latin)
        return 0;
    const quint32 native = Event.nativeVirtualKey();
    if (const char letter = LatinLetter(native))
        return letter;
    // Past the 8-bit range the native key is an X keysym (Windows virtual
    // keys end below it), and the scan code an X keycode.
    return native > 0xFF ? LetterFromScanCode(Event.nativeScanCode()) : 0;
}

std::uint16_t VirtualKeyOf(const QKeyEvent& Event)
{
    const int key = Event.key();
    const bool keypad = Event.modifiers().testFlag(Qt::KeypadModifier);

    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return keypad ? static_cast<std::uint16_t>(VK_NUMPAD0 + (key - Qt::Key_0)) : static_cast<std::uint16_t>(key);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<std::uint16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<std::uint16_t>(VK_F1 + (key - Qt::Key_F1));

    switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: break;
    }
    if (keypad) {
        if (key == Qt::Key_Plus)
            return VK_ADD;
        if (key == Qt::Key_Minus)
            return VK_SUBTRACT;
        return 0;
    }

    if (key > 0 && key < 0x01000000) {
        // A digit-row key that the layout (or Shift) turned into a symbol,
        // such as '#' for Shift+3 or a French layout's unshifted row: Windows
        // still reports the digit's virtual key, and the bookmark keys depend
        // on that.
        const quint32 keysym = Event.nativeVirtualKey();
        if (keysym >= '0' && keysym <= '9')
            return static_cast<std::uint16_t>(keysym);
        if (const char letter = LatinLetterOnKey(Event))
            return static_cast<std::uint16_t>(letter);
        const int digit = DigitFromScanCode(Event.nativeScanCode());
        if (digit >= 0)
            return static_cast<std::uint16_t>('0' + digit);
    }
    return 0;
}

bool TypesText(int key)
{
    if (key < Qt::Key_Escape)
        return true;
    switch (key) {
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsKeyDown(int VirtKey)
{
    const auto& source = KeyStateSource();
    return source ? source(VirtKey) : QtKeyDown(VirtKey);
}

void SetKeyStateSource(TWQHKeyStateSource source)
{
    KeyStateSource() = std::move(source);
}

TWQHKeyInput TranslateKeyEvent(const QKeyEvent& Event)
{
    TWQHKeyInput result;
    const Qt::KeyboardModifiers mods = Event.modifiers();
    if (mods.testFlag(Qt::ShiftModifier))
        result.Shift |= ssShift;
    if (mods.testFlag(Qt::ControlModifier))
        result.Shift |= ssCtrl;
    if (mods.testFlag(Qt::AltModifier))
        result.Shift |= ssAlt;

    result.Key = VirtualKeyOf(Event);
    switch (Event.key()) {
    // The platforms disagree whether a modifier's own press carries its flag;
    // Windows always includes it, and the Shift selection start needs it.
    case Qt::Key_Shift: result.Shift |= ssShift; break;
    case Qt::Key_Control: result.Shift |= ssCtrl; break;
    case Qt::Key_Alt: result.Shift |= ssAlt; break;
    case Qt::Key_Backtab: result.Shift |= ssShift; break;
    default: break;
    }

    // Ctrl and Alt combinations are commands, never typed text. Of the
    // non-character keys only those that Windows also types (all of them
    // masked by default) pass their text on; X11 gives Delete the text
    // DEL, which must not reach the data.
    if (!(result.Shift & (ssCtrl | ssAlt)) && TypesText(Event.key()))
        result.Text = Event.text();
    return result;
}

// ---- raw bookmarks -------------------------------------------------------------

namespace {
}

QByteArray BookmarksToRaw(const TWQHBookmarks& Bookmarks)
{
    QByteArray raw(WQH_BOOKMARKS_RAW_SIZE, '\0');
    for (int i = 0; i < 10; ++i) {
        const auto pos = static_cast<std::uint32_t>(Bookmarks[static_cast<std::size_t>(i)].mPosition);
        char* slot = raw.data() + i * WQH_BOOKMARK_RAW_SIZE;
        for (int b = 0; b < 4; ++b)
            slot[b] = static_cast<char>((pos >> (8 * b)) & 0xFF);
        slot[4] = Bookmarks[static_cast<std::size_t>(i)].mInCharField ? 1 : 0;
    }
    return raw;
}

TWQHBookmarks BookmarksFromRaw(const void* Data, int Size)
{
    if (Data == nullptr || Size != WQH_BOOKMARKS_RAW_SIZE)
        throw EWQHexEditor(QString::fromLatin1(wqhstr::InvalidBookmarkFormat));
    const auto* bytes = static_cast<const std::uint8_t*>(Data);
    TWQHBookmarks result;
    for (int i = 0; i < 10; ++i) {
        const std::uint8_t* slot = bytes + i * WQH_BOOKMARK_RAW_SIZE;
        std::uint32_t pos = 0;
        for (int b = 0; b < 4; ++b)
            pos |= static_cast<std::uint32_t>(slot[b]) << (8 * b);
        auto& bm = result[static_cast<std::size_t>(i)];
        const auto sp = static_cast<std::int32_t>(pos);
        bm.mPosition = sp < 0 ? -1 : sp;
        bm.mInCharField = slot[4] != 0;
    }
    return result;
}
