#pragma once

#include "autotype/Platform.h"

#include <QByteArray>
#include <QList>

class QSocketNotifier;
struct _XDisplay;
struct xdo;

namespace autotype {

// Auto-type on an X server. Two connections of its own: one holds the global shortcut's grab (on
// the root window, with the Num Lock and Caps Lock variants) and follows the active window; its
// events reach the user-interface thread through a socket notifier. The other reads windows and
// sends keys through libxdo (XTest), which finds each keysym's keycode, group and level.
class X11Platform : public Platform
{
    Q_OBJECT
public:
    // `display` names the X server; empty: $DISPLAY.
    explicit X11Platform(const QByteArray& display = QByteArray(), QObject* parent = nullptr);
    ~X11Platform() override;

    // Both connections are open and the server has the test extension.
    bool isOpen() const;

    bool setShortcut(const QKeySequence& shortcut) override;
    WindowId activeWindow() override;
    QString windowTitle(WindowId window) override;
    bool isOwnWindow(WindowId window) override;
    WindowId lastForeignWindow() override;
    void activateWindow(WindowId window) override;
    bool modifiersHeld() override;
    void releaseModifiers() override;
    void restoreLocks() override;
    KeyboardMap keyboardMap() override;
    bool bindKeycode(int keycode, quint32 lower, quint32 upper) override;
    void unbindKeycode(int keycode) override;
    bool typeKeysym(quint32 keysym) override;

private:
    // Neither connection was dropped by the server.
    bool alive() const;
    void readEvents();
    void ungrab();
    void noteActiveWindow();
    WindowId activeWindowOn(_XDisplay* display);
    unsigned numLockMask(_XDisplay* display);

    _XDisplay* m_events = nullptr;
    _XDisplay* m_keys = nullptr;
    xdo* m_xdo = nullptr;
    bool m_xdoStale = false; // the keyboard mapping changed since libxdo read it
    QSocketNotifier* m_notifier = nullptr;
    QKeySequence m_shortcut;
    int m_grabKeycode = 0;
    unsigned long m_grabKeysym = 0;
    unsigned m_grabMask = 0;
    QList<unsigned> m_grabbedMasks;
    WindowId m_lastForeign = 0;
    bool m_capsWasOn = false;
};

} // namespace autotype
