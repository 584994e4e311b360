#pragma once

#include "autotype/KeyLayout.h"

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <memory>

// What auto-type needs of the window system, behind one interface: the X11 layer (X11Platform)
// in the program, a scripted one in tests, so that everything above it runs without X.
namespace autotype {

// Where auto-type can work.
enum class Availability
{
    X11,         // an X server to type into (X11 session, or XWayland under Wayland)
    WaylandOnly, // a Wayland session without X server: no window of another program can be typed into
    None,        // no display at all (a server, the offscreen tests)
};

// From the toolkit's platform ("xcb", "wayland", "offscreen"...) and the environment's DISPLAY and
// WAYLAND_DISPLAY.
Availability availabilityFor(const QString& platformName, bool hasDisplay, bool hasWaylandDisplay);

// The X key and modifier mask of a shortcut's first chord; false for a key X has no keysym for.
bool shortcutKeysym(const QKeySequence& shortcut, quint32* keysym, unsigned* modifierMask);

class Platform : public QObject
{
    Q_OBJECT
public:
    using WindowId = quint64; // 0: none

    using QObject::QObject;
    ~Platform() override;

    // The global shortcut: `pressed` is emitted at each press, wherever the keyboard is. An empty
    // sequence takes it away. False (and no shortcut) when the key cannot be had: another program
    // holds it, or it names no key.
    virtual bool setShortcut(const QKeySequence& shortcut) = 0;

    virtual WindowId activeWindow() = 0;
    // The window's title, cut to kMaxTitleLength.
    virtual QString windowTitle(WindowId window) = 0;
    // The window belongs to this program.
    virtual bool isOwnWindow(WindowId window) = 0;
    // The last window of another program that was active (for Item > Auto-type, run from our window).
    virtual WindowId lastForeignWindow() = 0;
    // Asks the window manager to make the window active (done when activeWindow() says so).
    virtual void activateWindow(WindowId window) = 0;

    // A modifier key (Shift, Control, Alt, Super...) is held down now.
    virtual bool modifiersHeld() = 0;
    // Releases the modifiers still held and turns Caps Lock off, remembering it.
    virtual void releaseModifiers() = 0;
    // Turns Caps Lock back on when releaseModifiers() turned it off.
    virtual void restoreLocks() = 0;

    virtual KeyboardMap keyboardMap() = 0;
    virtual bool bindKeycode(int keycode, quint32 lower, quint32 upper) = 0;
    virtual void unbindKeycode(int keycode) = 0;
    // Presses and releases the key of a keysym the layout has now (its own keys and the bindings
    // made), with the modifiers its level needs. False when it could not be sent.
    virtual bool typeKeysym(quint32 keysym) = 0;

signals:
    void pressed();
};

} // namespace autotype
