// The key translator, the key-state seam, the raw bookmark form and the
// built-in glyph strip: everything of the key handling that needs no editor.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhkeys.h"
#include "window_input.h"

#include <QKeyEvent>
#include <gtest/gtest.h>
#include <set>

namespace {

using windowinput::LetterKey;

TWQHKeyInput Press(int key, Qt::KeyboardModifiers mods, const QString& text = QString(), quint32 scanCode = 0,
                   quint32 keysym = 0)
{
    const QKeyEvent ev(QEvent::KeyPress, key, mods, scanCode, keysym, 0, text);
    return TranslateKeyEvent(ev);
}

TEST(KeysTranslator, PlainKeysMapToTheirVirtualKeys)
{
    struct Case {
        int qt;
        std::uint16_t vk;
    };
    const Case cases[] = {
        {Qt::Key_Left, VK_LEFT},     {Qt::Key_Right, VK_RIGHT},      {Qt::Key_Up, VK_UP},
        {Qt::Key_Down, VK_DOWN},     {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},
        {Qt::Key_Home, VK_HOME},     {Qt::Key_End, VK_END},          {Qt::Key_Insert, VK_INSERT},
        {Qt::Key_Delete, VK_DELETE}, {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},
        {Qt::Key_Return, VK_RETURN}, {Qt::Key_Enter, VK_RETURN},     {Qt::Key_Escape, VK_ESCAPE},
        {Qt::Key_Space, VK_SPACE},   {Qt::Key_F5, VK_F1 + 4},        {Qt::Key_T, 'T'},
        {Qt::Key_A, 'A'},            {Qt::Key_7, '7'},
    };
    for (const Case& c : cases) {
        const TWQHKeyInput in = Press(c.qt, Qt::NoModifier);
        EXPECT_EQ(in.Key, c.vk) << "Qt key " << std::hex << c.qt;
        EXPECT_EQ(in.Shift, 0u);
    }
}

TEST(KeysTranslator, ModifiersBecomeShiftStates)
{
    EXPECT_EQ(Press(Qt::Key_Left, Qt::ShiftModifier).Shift, TShiftState(ssShift));
    EXPECT_EQ(Press(Qt::Key_Left, Qt::ControlModifier).Shift, TShiftState(ssCtrl));
    EXPECT_EQ(Press(Qt::Key_Left, Qt::AltModifier).Shift, TShiftState(ssAlt));
    EXPECT_EQ(Press(Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier).Shift,
              TShiftState(ssShift | ssCtrl | ssAlt));
}

TEST(KeysTranslator, ALoneModifierPressIncludesItsOwnFlag)
{
    // X11 reports the Shift press without the Shift flag; the selection
    // start needs exactly ssShift.
    const TWQHKeyInput shift = Press(Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(shift.Key, VK_SHIFT);
    EXPECT_EQ(shift.Shift, TShiftState(ssShift));

    const TWQHKeyInput ctrl = Press(Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(ctrl.Key, VK_CONTROL);
    EXPECT_EQ(ctrl.Shift, TShiftState(ssCtrl));

    // Shift pressed while Ctrl is already held.
    EXPECT_EQ(Press(Qt::Key_Shift, Qt::ControlModifier).Shift, TShiftState(ssShift | ssCtrl));
    // Platforms that already include the flag give the same answer.
    EXPECT_EQ(Press(Qt::Key_Shift, Qt::ShiftModifier).Shift, TShiftState(ssShift));
    EXPECT_EQ(Press(Qt::Key_Alt, Qt::NoModifier).Key, VK_MENU);
}

TEST(KeysTranslator, BacktabIsShiftTab)
{
    const TWQHKeyInput in = Press(Qt::Key_Backtab, Qt::NoModifier);
    EXPECT_EQ(in.Key, VK_TAB);
    EXPECT_EQ(in.Shift, TShiftState(ssShift));
    EXPECT_EQ(Press(Qt::Key_Backtab, Qt::ShiftModifier).Shift, TShiftState(ssShift));
}

TEST(KeysTranslator, KeypadDigitsAreNotMainKeyboardDigits)
{
    for (int d = 0; d <= 9; ++d) {
        const TWQHKeyInput in = Press(Qt::Key_0 + d, Qt::KeypadModifier, QString::number(d));
        EXPECT_EQ(in.Key, VK_NUMPAD0 + d);
        EXPECT_EQ(in.Text, QString::number(d)) << "keypad digits still type";
        const TWQHKeyInput ctrl = Press(Qt::Key_0 + d, Qt::KeypadModifier | Qt::ControlModifier);
        EXPECT_EQ(ctrl.Key, VK_NUMPAD0 + d);
        EXPECT_EQ(ctrl.Shift, TShiftState(ssCtrl));
    }
    EXPECT_EQ(Press(Qt::Key_Plus, Qt::KeypadModifier).Key, VK_ADD);
    EXPECT_EQ(Press(Qt::Key_Minus, Qt::KeypadModifier).Key, VK_SUBTRACT);
    // Keypad navigation keys (Num Lock off) are the ordinary ones.
    EXPECT_EQ(Press(Qt::Key_Left, Qt::KeypadModifier).Key, VK_LEFT);
    EXPECT_EQ(Press(Qt::Key_Enter, Qt::KeypadModifier).Key, VK_RETURN);
}

TEST(KeysTranslator, CtrlShiftDigitIsFoundWhateverTheLayoutPrints)
{
    const auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    // US layout: Shift+3 prints '#', X11 keycode 12, keysym numbersign.
    TWQHKeyInput in = Press(Qt::Key_NumberSign, ctrlShift, QString(), 12, 0x23);
    EXPECT_EQ(in.Key, '3');
    EXPECT_EQ(in.Shift, TShiftState(ssCtrl | ssShift));
    // German layout: Shift+3 prints the section sign.
    EXPECT_EQ(Press(Qt::Key_section, ctrlShift, QString(), 12, 0xA7).Key, '3');
    // Shift+0 is ')' on keycode 19, Shift+1 '!' on keycode 10.
    EXPECT_EQ(Press(Qt::Key_ParenRight, ctrlShift, QString(), 19, 0x29).Key, '0');
    EXPECT_EQ(Press(Qt::Key_Exclam, ctrlShift, QString(), 10, 0x21).Key, '1');
    // A keysym that is a digit wins over the key code.
    EXPECT_EQ(Press(Qt::Key_Exclam, ctrlShift, QString(), 0, '8').Key, '8');
    // A symbol off the digit row stays unknown.
    EXPECT_EQ(Press(Qt::Key_Plus, ctrlShift, QString(), 21, 0x2B).Key, 0);
    // Without native codes (a synthetic event) a symbol maps to nothing.
    EXPECT_EQ(Press(Qt::Key_NumberSign, ctrlShift).Key, 0);
}

// Windows gives the virtual key of the physical key's Latin letter under a
// layout of another script; X11 gives the layout's keysym and the keycode.
TEST(KeysTranslator, LettersOfAnotherScriptAreFoundByTheKeysPlace)
{
    const auto ctrl = Qt::ControlModifier;
    // Russian layout on X11: Ctrl+Я is keycode 52 (the Z key), keysym Cyrillic_ya.
    TWQHKeyInput in = Press(LetterKey(u'я'), ctrl, QStringLiteral("я"), 52, 0x6d1);
    EXPECT_EQ(in.Key, 'Z');
    EXPECT_EQ(in.Shift, TShiftState(ssCtrl));
    EXPECT_TRUE(in.Text.isEmpty());
    // Across the three letter rows.
    EXPECT_EQ(Press(LetterKey(u'й'), ctrl, QString(), 24, 0x6ca).Key, 'Q');
    EXPECT_EQ(Press(LetterKey(u'ф'), ctrl, QString(), 38, 0x6c6).Key, 'A');
    EXPECT_EQ(Press(LetterKey(u'д'), ctrl, QString(), 46, 0x6c4).Key, 'L');
    EXPECT_EQ(Press(LetterKey(u'ь'), ctrl, QString(), 58, 0x6d8).Key, 'M');
    // Ctrl+Shift+Я: the capital's keysym, the same key.
    in = Press(LetterKey(u'я'), ctrl | Qt::ShiftModifier, QString(), 52, 0x6f1);
    EXPECT_EQ(in.Key, 'Z');
    EXPECT_EQ(in.Shift, TShiftState(ssCtrl | ssShift));
    // Typed without Ctrl it is the same key, and types its letter.
    in = Press(LetterKey(u'я'), Qt::NoModifier, QStringLiteral("я"), 52, 0x6d1);
    EXPECT_EQ(in.Key, 'Z');
    EXPECT_EQ(in.Text, QStringLiteral("я"));
    // Greek layout: zeta on the Z key.
    EXPECT_EQ(Press(LetterKey(u'ζ'), ctrl, QString(), 52, 0x7e6).Key, 'Z');
    // Windows: the virtual key already is the Latin letter, whatever the
    // scan code (Й's, 16, is the X keycode of the digit 7).
    EXPECT_EQ(Press(LetterKey(u'я'), ctrl, QString(), 0x2c, 'Z').Key, 'Z');
    EXPECT_EQ(Press(LetterKey(u'й'), ctrl, QString(), 0x10, 'Q').Key, 'Q');
    // A Cyrillic letter on a key without a Latin letter (Х on '[', which
    // Windows reports as VK_OEM_4 with scan code 26) stays unknown.
    EXPECT_EQ(Press(LetterKey(u'х'), ctrl, QString(), 26, 0xdb).Key, 0);
    EXPECT_EQ(Press(LetterKey(u'х'), ctrl, QString(), 34, 0x6c8).Key, 0) << "X11 keycode 34 is '['";
    // Without native codes (a synthetic event) there is no place to go by.
    EXPECT_EQ(Press(LetterKey(u'я'), ctrl).Key, 0);
}

TEST(KeysTranslator, LatinLayoutsKeepTheirOwnKeys)
{
    const auto ctrl = Qt::ControlModifier;
    EXPECT_EQ(Press(Qt::Key_Z, ctrl, QString(), 52, 'z').Key, 'Z');
    // German: Z lies on keycode 29, the US Y.
    EXPECT_EQ(Press(Qt::Key_Z, ctrl, QString(), 29, 'z').Key, 'Z');
    EXPECT_EQ(Press(Qt::Key_Y, ctrl, QString(), 52, 'y').Key, 'Y');
    // French: A on keycode 24 (the US Q), a comma on keycode 58 (the US M).
    EXPECT_EQ(Press(Qt::Key_A, ctrl, QString(), 24, 'a').Key, 'A');
    EXPECT_EQ(Press(Qt::Key_Comma, ctrl, QString(), 58, ',').Key, 0);
    // Latin letters of their own (German ö on keycode 47) are no other letter.
    EXPECT_EQ(Press(Qt::Key_Odiaeresis, ctrl, QString(), 47, 0xf6).Key, 0);
    EXPECT_EQ(Press(Qt::Key_Eacute, ctrl, QString(), 26, 0xe9).Key, 0);
}

TEST(KeysTranslator, TextOnlyWithoutCtrlOrAlt)
{
    EXPECT_EQ(Press(Qt::Key_A, Qt::NoModifier, QStringLiteral("a")).Text, QStringLiteral("a"));
    EXPECT_EQ(Press(Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A")).Text, QStringLiteral("A"));
    EXPECT_TRUE(Press(Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01")).Text.isEmpty());
    EXPECT_TRUE(Press(Qt::Key_X, Qt::AltModifier, QStringLiteral("x")).Text.isEmpty());
    EXPECT_TRUE(Press(Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("#")).Text.isEmpty());
    // Control characters of plain keys pass on; the character handler masks them.
    EXPECT_EQ(Press(Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b")).Text, QStringLiteral("\b"));
    // Non-character keys type nothing, whatever text the platform attaches.
    EXPECT_TRUE(Press(Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f")).Text.isEmpty());
    EXPECT_TRUE(Press(Qt::Key_Left, Qt::NoModifier, QStringLiteral("x")).Text.isEmpty());
    EXPECT_EQ(Press(Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b")).Text, QStringLiteral("\x1b"));
    // A key without a virtual key can still type (a dead-key composition, say).
    const TWQHKeyInput e = Press(Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
    EXPECT_EQ(e.Key, 0);
    EXPECT_EQ(e.Text, QString(QChar(0xE9)));
}

// ---- key state seam --------------------------------------------------------------

TEST(KeysState, SourceDecidesAndEmptySourceRestoresQt)
{
    std::set<int> down = {VK_SHIFT, VK_LBUTTON};
    std::vector<int> asked;
    SetKeyStateSource([&](int vk) {
        asked.push_back(vk);
        return down.count(vk) != 0;
    });
    EXPECT_TRUE(IsKeyDown(VK_SHIFT));
    EXPECT_TRUE(IsKeyDown(VK_LBUTTON));
    EXPECT_FALSE(IsKeyDown(VK_CONTROL));
    EXPECT_EQ(asked, (std::vector<int>{VK_SHIFT, VK_LBUTTON, VK_CONTROL}));

    SetKeyStateSource({});
    // The offscreen platform holds no key and no button.
    EXPECT_FALSE(IsKeyDown(VK_SHIFT));
    EXPECT_FALSE(IsKeyDown(VK_LBUTTON));
    EXPECT_FALSE(IsKeyDown(VK_RBUTTON));
    EXPECT_EQ(asked.size(), 3u);
}

// ---- raw bookmarks ----------------------------------------------------------------

TEST(KeysRawBookmarks, EightBytesPerSlot)
{
    TWQHBookmarks bms;
    bms[0] = {0x01020304, true};
    bms[3] = {5, false};
    bms[9] = {0x7FFFFFFF, true};
    const QByteArray raw = BookmarksToRaw(bms);
    ASSERT_EQ(raw.size(), 80);
    const auto b = [&](int i) { return static_cast<std::uint8_t>(raw[i]); };
    // Slot 0: position little-endian, field byte, three zeros.
    EXPECT_EQ(b(0), 0x04);
    EXPECT_EQ(b(1), 0x03);
    EXPECT_EQ(b(2), 0x02);
    EXPECT_EQ(b(3), 0x01);
    EXPECT_EQ(b(4), 1);
    EXPECT_EQ(b(5), 0);
    EXPECT_EQ(b(6), 0);
    EXPECT_EQ(b(7), 0);
    // Slot 1 unset: -1.
    for (int i = 8; i < 12; ++i)
        EXPECT_EQ(b(i), 0xFF);
    EXPECT_EQ(b(12), 0);
    // Slot 3.
    EXPECT_EQ(b(24), 5);
    EXPECT_EQ(b(25), 0);
    EXPECT_EQ(b(28), 0);
    EXPECT_EQ(b(75), 0x7F);
    EXPECT_EQ(b(76), 1);

    const TWQHBookmarks back = BookmarksFromRaw(raw.constData(), raw.size());
    EXPECT_EQ(back, bms);
}

TEST(KeysRawBookmarks, ReadingNormalisesAndRefusesAWrongSize)
{
    QByteArray raw(80, '\0');
    // Slot 2: -5 (unset in another spelling), field byte 7 (any non-zero).
    const char neg5[] = {'\xFB', '\xFF', '\xFF', '\xFF', '\x07'};
    raw.replace(16, 5, neg5, 5);
    const TWQHBookmarks bms = BookmarksFromRaw(raw.constData(), raw.size());
    EXPECT_EQ(bms[2].mPosition, -1);
    EXPECT_TRUE(bms[2].mInCharField);
    EXPECT_EQ(bms[0].mPosition, 0);
    EXPECT_FALSE(bms[0].mInCharField);

    try {
        BookmarksFromRaw(raw.constData(), 79);
        FAIL() << "a short block was accepted";
    } catch (const EWQHexEditor& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid bookmark format"));
    }
    EXPECT_THROW(BookmarksFromRaw(nullptr, 80), EWQHexEditor);
}

// ---- glyph strip ----------------------------------------------------------------

QRgb Px(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFFu; }

TEST(KeysGlyphStrip, TwentyGlyphsOfTenByTenWithATransparentCorner)
{
    const QImage strip = WQHDefaultBookmarkStrip();
    ASSERT_FALSE(strip.isNull());
    EXPECT_EQ(strip.width(), 200);
    EXPECT_EQ(strip.height(), 10);
    const QRgb transparent = Px(strip, 0, 0);

    std::vector<QImage> glyphs;
    for (int g = 0; g < 20; ++g) {
        const QImage glyph = strip.copy(g * 10, 0, 10, 10);
        // Each glyph's own corner is transparent, so glyphs never touch.
        EXPECT_EQ(Px(glyph, 0, 0), transparent) << "glyph " << g;
        int opaque = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                opaque += Px(glyph, x, y) != transparent;
        EXPECT_GT(opaque, 30) << "glyph " << g << " is nearly empty";
        EXPECT_LT(opaque, 100) << "glyph " << g << " has no transparent part";
        glyphs.push_back(glyph);
    }
    // Every digit looks different, and each field has its own colour.
    for (int a = 0; a < 20; ++a)
        for (int b = a + 1; b < 20; ++b)
            EXPECT_NE(glyphs[a], glyphs[b]) << a << " and " << b;
    const QRgb hexBadge = Px(glyphs[0], 4, 0);
    const QRgb charBadge = Px(glyphs[10], 4, 0);
    EXPECT_NE(hexBadge, transparent);
    EXPECT_NE(charBadge, transparent);
    EXPECT_NE(hexBadge, charBadge);
    for (int n = 0; n < 10; ++n) {
        EXPECT_EQ(Px(glyphs[n], 4, 0), hexBadge);
        EXPECT_EQ(Px(glyphs[10 + n], 4, 0), charBadge);
    }
}

TEST(KeysGlyphStrip, MaskedListDropsTheCornerColour)
{
    const QImage strip = WQHDefaultBookmarkStrip();
    TWQHImageList list;
    list.AddMasked(strip, strip.pixel(0, 0));
    ASSERT_EQ(list.Count(), 20);
    for (int g = 0; g < 20; ++g) {
        EXPECT_EQ(qAlpha(list.Glyph(g).pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(list.Glyph(g).pixel(4, 4)), 255) << "the badge itself stays";
    }
}

} // namespace
