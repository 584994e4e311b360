#include "autotype/Platform.h"

namespace autotype {

Platform::~Platform() = default;

Availability availabilityFor(const QString& platformName, bool hasDisplay, bool hasWaylandDisplay)
{
    if (platformName == QLatin1String("xcb"))
        return Availability::X11;
    // XWayland: the program's own windows are Wayland's, the windows to type into may be X's.
    if (hasDisplay)
        return platformName.startsWith(QLatin1String("wayland")) ? Availability::X11 : Availability::None;
    if (hasWaylandDisplay || platformName.startsWith(QLatin1String("wayland")))
        return Availability::WaylandOnly;
    return Availability::None;
}

bool shortcutKeysym(const QKeySequence& shortcut, quint32* keysym, unsigned* modifierMask)
{
    if (shortcut.isEmpty())
        return false;
    const QKeyCombination combination = shortcut[0];
    const int key = combination.key();
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    quint32 sym = 0;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        sym = quint32('a' + (key - Qt::Key_A)); // X grabs the unshifted keysym's key
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
        sym = quint32(key);
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        sym = 0xffbe + quint32(key - Qt::Key_F1); // XK_F1...
    else if (key == Qt::Key_Space)
        sym = 0x20;
    else if (key == Qt::Key_Insert)
        sym = 0xff63;
    else if (key == Qt::Key_Home)
        sym = 0xff50;
    else if (key == Qt::Key_End)
        sym = 0xff57;
    else if (key == Qt::Key_PageUp)
        sym = 0xff55;
    else if (key == Qt::Key_PageDown)
        sym = 0xff56;
    else if (key == Qt::Key_Pause)
        sym = 0xff13;
    else if (key >= 0x21 && key <= 0x7e)
        sym = quint32(key); // punctuation: Qt and X share the Latin-1 codes
    if (sym == 0)
        return false;
    unsigned mask = 0;
    if (mods & Qt::ShiftModifier)
        mask |= 1u << 0; // ShiftMask
    if (mods & Qt::ControlModifier)
        mask |= 1u << 2; // ControlMask
    if (mods & Qt::AltModifier)
        mask |= 1u << 3; // Mod1Mask
    if (mods & Qt::MetaModifier)
        mask |= 1u << 6; // Mod4Mask
    *keysym = sym;
    *modifierMask = mask;
    return true;
}

} // namespace autotype
