#pragma once
// Input through the window system: QTest hands each event to the platform
// layer of the widget's window, as a real mouse does, so Qt tracks the held
// button, keeps the pointer with the pressed widget and moves it to a release
// point itself before the release.
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace windowinput {

inline QWindow* WindowOf(const QWidget* w)
{
    return w->window()->windowHandle();
}

// A point of the widget in its window's coordinates.
inline QPoint InWindow(const QWidget* w, QPoint p)
{
    return w->mapTo(w->window(), p);
}

inline void Press(QWidget* w, QPoint p)
{
    QTest::mousePress(WindowOf(w), Qt::LeftButton, Qt::NoModifier, InWindow(w, p));
}

inline void Move(QWidget* w, QPoint p)
{
    QTest::mouseMove(WindowOf(w), InWindow(w, p));
}

inline void Release(QWidget* w, QPoint p)
{
    QTest::mouseRelease(WindowOf(w), Qt::LeftButton, Qt::NoModifier, InWindow(w, p));
}

// Qt's key of a letter: its capital's code point.
inline int LetterKey(char16_t Letter)
{
    return QChar(Letter).toUpper().unicode();
}

// A key press as a platform plugin reports it, with its native codes (which
// QTest's key functions cannot carry), handed to the widget's window, which
// passes it on to its focus widget.
inline void KeyPress(QWidget* w, int key, Qt::KeyboardModifiers mods, const QString& text, quint32 scanCode,
                     quint32 nativeKey)
{
    QKeyEvent ev(QEvent::KeyPress, key, mods, scanCode, nativeKey, 0, text);
    QCoreApplication::sendEvent(WindowOf(w), &ev);
}

} // namespace windowinput
