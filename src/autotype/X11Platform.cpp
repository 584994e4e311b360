#include "autotype/X11Platform.h"

#include "autotype/WindowMatch.h"
#include "crypto/SecureBytes.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <xdo.h>
}
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace autotype {

namespace {

// X errors on our connections (a window closed while its title is read, a key another program
// grabbed) are answers, not faults: they are counted here instead of ending the process, which
// Xlib's default handler would do. Errors of other connections go to the handler found before.
XErrorHandler previousHandler = nullptr;
QList<Display*> ourDisplays;
int errorCount = 0;
unsigned char lastError = 0;

int onXError(Display* display, XErrorEvent* event)
{
    if (ourDisplays.contains(display)) {
        ++errorCount;
        lastError = event->error_code;
        return 0;
    }
    return previousHandler ? previousHandler(display, event) : 0;
}

// A connection the X server dropped (XWayland stops when its last client goes, a server restarts):
// Xlib would end the process, unsaved document and all. It is marked dead instead, and left alone.
QList<Display*> deadDisplays;
XIOErrorHandler previousIOHandler = nullptr;

int onIOError(Display* display)
{
    // Returning lets Xlib go on to the connection's exit handler below, instead of exit().
    if (ourDisplays.contains(display))
        return 0;
    return previousIOHandler ? previousIOHandler(display) : 0;
}

void onConnectionLost(Display* display, void*)
{
    if (!deadDisplays.contains(display))
        deadDisplays.append(display);
}

void adoptDisplay(Display* display)
{
    XSetIOErrorExitHandler(display, onConnectionLost, nullptr);
    if (ourDisplays.isEmpty()) {
        XErrorHandler before = XSetErrorHandler(onXError);
        if (before != onXError)
            previousHandler = before;
        XIOErrorHandler beforeIO = XSetIOErrorHandler(onIOError);
        if (beforeIO != onIOError)
            previousIOHandler = beforeIO;
    }
    ourDisplays.append(display);
}

void releaseDisplay(Display* display)
{
    ourDisplays.removeAll(display);
    XCloseDisplay(display);
    deadDisplays.removeAll(display);
}

// Counts the errors of the requests made between its making and ok().
class ErrorTrap
{
public:
    explicit ErrorTrap(Display* display) : m_display(display), m_before(errorCount) {}
    bool ok()
    {
        XSync(m_display, False);
        return errorCount == m_before;
    }

private:
    Display* m_display;
    int m_before;
};

Display* openDisplay(const QByteArray& name)
{
    Display* d = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
    if (d)
        adoptDisplay(d);
    return d;
}

QByteArray windowProperty(Display* d, Window w, const char* name, Atom* type, int* format, long maxBytes)
{
    const Atom atom = XInternAtom(d, name, False);
    Atom actualType = 0;
    int actualFormat = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    QByteArray out;
    ErrorTrap trap(d);
    if (XGetWindowProperty(d, w, atom, 0, (maxBytes + 3) / 4, False, AnyPropertyType, &actualType, &actualFormat,
                           &items, &after, &data) == Success &&
        data) {
        const int unit = actualFormat == 32 ? int(sizeof(long)) : actualFormat / 8;
        out = QByteArray(reinterpret_cast<const char*>(data), int(items) * unit);
    }
    if (data)
        XFree(data);
    if (!trap.ok())
        out.clear();
    if (type)
        *type = actualType;
    if (format)
        *format = actualFormat;
    return out;
}

const unsigned kModifierMasks = ShiftMask | ControlMask | Mod1Mask | Mod3Mask | Mod4Mask | Mod5Mask;

} // namespace

X11Platform::X11Platform(const QByteArray& display, QObject* parent) : Platform(parent)
{
    m_events = openDisplay(display);
    m_keys = openDisplay(display);
    if (!m_events || !m_keys)
        return;
    m_xdo = xdo_new_with_opened_display(m_keys, nullptr, 0);
    if (m_xdo)
        m_xdo->quiet = 1;
    XSelectInput(m_events, DefaultRootWindow(m_events), PropertyChangeMask);
    XFlush(m_events);
    noteActiveWindow();
    m_notifier = new QSocketNotifier(ConnectionNumber(m_events), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Platform::readEvents);
}

bool X11Platform::isOpen() const
{
    return m_keys && m_xdo && alive();
}

bool X11Platform::alive() const
{
    return m_events && m_keys && !deadDisplays.contains(m_events) && !deadDisplays.contains(m_keys);
}

X11Platform::~X11Platform()
{
    delete m_notifier;
    if (m_events) {
        if (!deadDisplays.contains(m_events))
            ungrab();
        releaseDisplay(m_events);
    }
    if (m_xdo)
        xdo_free(m_xdo);
    if (m_keys)
        releaseDisplay(m_keys);
}

unsigned X11Platform::numLockMask(Display* d)
{
    unsigned mask = 0;
    const KeyCode numLock = XKeysymToKeycode(d, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(d);
    if (!map)
        return 0;
    for (int mod = 0; mod < 8; ++mod)
        for (int i = 0; i < map->max_keypermod; ++i)
            if (numLock && map->modifiermap[mod * map->max_keypermod + i] == numLock)
                mask = 1u << mod;
    XFreeModifiermap(map);
    return mask;
}

void X11Platform::ungrab()
{
    const Window root = DefaultRootWindow(m_events);
    for (const unsigned mask : m_grabbedMasks)
        XUngrabKey(m_events, m_grabKeycode, mask, root);
    m_grabbedMasks.clear();
    m_grabKeycode = 0;
    XFlush(m_events);
}

bool X11Platform::setShortcut(const QKeySequence& shortcut)
{
    if (!alive())
        return false;
    ungrab();
    m_shortcut = shortcut;
    quint32 keysym = 0;
    unsigned mask = 0;
    if (shortcut.isEmpty())
        return true;
    if (!shortcutKeysym(shortcut, &keysym, &mask))
        return false;
    const KeyCode keycode = XKeysymToKeycode(m_events, keysym);
    if (!keycode)
        return false;
    const Window root = DefaultRootWindow(m_events);
    const unsigned numLock = numLockMask(m_events);
    // The same keys whatever the state of Caps Lock and Num Lock.
    QList<unsigned> variants{0, LockMask};
    if (numLock)
        variants << numLock << (numLock | LockMask);
    m_grabKeycode = keycode;
    m_grabKeysym = keysym;
    m_grabMask = mask;
    for (const unsigned variant : variants) {
        ErrorTrap trap(m_events);
        XGrabKey(m_events, keycode, mask | variant, root, True, GrabModeAsync, GrabModeAsync);
        if (!trap.ok()) {
            // Another program holds these keys.
            ungrab();
            return false;
        }
        m_grabbedMasks << (mask | variant);
    }
    return true;
}

void X11Platform::readEvents()
{
    if (!alive()) {
        m_notifier->setEnabled(false);
        return;
    }
    const Atom active = XInternAtom(m_events, "_NET_ACTIVE_WINDOW", False);
    bool shortcut = false;
    bool regrab = false;
    while (XPending(m_events)) {
        XEvent event;
        XNextEvent(m_events, &event);
        if (event.type == KeyPress && m_grabKeycode && event.xkey.keycode == unsigned(m_grabKeycode) &&
            (event.xkey.state & kModifierMasks & ~numLockMask(m_events)) == m_grabMask) {
            // The press made the grab active until the key goes up: the keys about to be typed
            // would come back to us. It is let go at once.
            XUngrabKeyboard(m_events, CurrentTime);
            XFlush(m_events);
            shortcut = true;
        } else if (event.type == PropertyNotify && event.xproperty.atom == active) {
            noteActiveWindow();
        } else if (event.type == MappingNotify && event.xmapping.request == MappingKeyboard) {
            // Another layout may put the shortcut's key on another keycode: grabbed again.
            XRefreshKeyboardMapping(&event.xmapping);
            regrab = true;
        }
    }
    if (regrab && m_grabKeycode && XKeysymToKeycode(m_events, m_grabKeysym) != m_grabKeycode)
        setShortcut(m_shortcut);
    // Outside the notifier's report: what answers the shortcut may show a dialog.
    if (shortcut)
        QTimer::singleShot(0, this, &X11Platform::pressed);
}

Platform::WindowId X11Platform::activeWindowOn(Display* d)
{
    Atom type = 0;
    int format = 0;
    const QByteArray value = windowProperty(d, DefaultRootWindow(d), "_NET_ACTIVE_WINDOW", &type, &format, 4);
    if (type != XA_WINDOW || format != 32 || value.size() < int(sizeof(long)))
        return 0;
    long window = 0;
    std::memcpy(&window, value.constData(), sizeof window);
    return WindowId(window);
}

void X11Platform::noteActiveWindow()
{
    const WindowId w = activeWindowOn(m_events);
    if (w && !isOwnWindow(w))
        m_lastForeign = w;
}

Platform::WindowId X11Platform::activeWindow()
{
    return alive() ? activeWindowOn(m_keys) : 0;
}

QString X11Platform::windowTitle(WindowId window)
{
    if (!alive() || !window)
        return {};
    const long maxBytes = kMaxTitleLength * 4;
    Atom type = 0;
    int format = 0;
    QByteArray name = windowProperty(m_keys, Window(window), "_NET_WM_NAME", &type, &format, maxBytes);
    if (!name.isEmpty() && format == 8)
        return boundedTitle(QString::fromUtf8(name));
    name = windowProperty(m_keys, Window(window), "WM_NAME", &type, &format, maxBytes);
    if (name.isEmpty() || format != 8)
        return {};
    if (type == XA_STRING)
        return boundedTitle(QString::fromLatin1(name));
    if (type == XInternAtom(m_keys, "UTF8_STRING", False))
        return boundedTitle(QString::fromUtf8(name));
    // Compound text: Xlib converts it.
    XTextProperty text;
    text.value = reinterpret_cast<unsigned char*>(name.data());
    text.encoding = type;
    text.format = 8;
    text.nitems = static_cast<unsigned long>(name.size());
    char** list = nullptr;
    int count = 0;
    QString title;
    if (Xutf8TextPropertyToTextList(m_keys, &text, &list, &count) >= Success && list) {
        if (count > 0 && list[0])
            title = QString::fromUtf8(list[0]);
        XFreeStringList(list);
    }
    return boundedTitle(title);
}

bool X11Platform::isOwnWindow(WindowId window)
{
    Display* d = m_events;
    if (!alive() || !window)
        return false;
    Atom type = 0;
    int format = 0;
    const QByteArray pid = windowProperty(d, Window(window), "_NET_WM_PID", &type, &format, 4);
    if (format != 32 || pid.size() < int(sizeof(long)))
        return false;
    long value = 0;
    std::memcpy(&value, pid.constData(), sizeof value);
    return value == long(::getpid());
}

Platform::WindowId X11Platform::lastForeignWindow()
{
    if (!alive())
        return 0;
    // Events waiting on the connection may tell of a newer one.
    if (XPending(m_events))
        readEvents();
    return m_lastForeign;
}

void X11Platform::activateWindow(WindowId window)
{
    if (alive() && m_xdo && window) {
        ErrorTrap trap(m_keys);
        xdo_activate_window(m_xdo, Window(window));
        trap.ok();
    }
}

bool X11Platform::modifiersHeld()
{
    if (!alive() || !m_xdo)
        return false;
    return (xdo_get_input_state(m_xdo) & kModifierMasks & ~numLockMask(m_keys)) != 0;
}

void X11Platform::releaseModifiers()
{
    if (!alive() || !m_xdo)
        return;
    m_capsWasOn = (xdo_get_input_state(m_xdo) & LockMask) != 0;
    charcodemap_t* held = nullptr;
    int count = 0;
    if (xdo_get_active_modifiers(m_xdo, &held, &count) == XDO_SUCCESS && held) {
        xdo_clear_active_modifiers(m_xdo, CURRENTWINDOW, held, count);
        std::free(held);
    }
    // Caps Lock would turn every letter into the other case.
    if (xdo_get_input_state(m_xdo) & LockMask)
        xdo_send_keysequence_window(m_xdo, CURRENTWINDOW, "Caps_Lock", 0);
    XSync(m_keys, False);
}

void X11Platform::restoreLocks()
{
    if (alive() && m_xdo && m_capsWasOn && !(xdo_get_input_state(m_xdo) & LockMask))
        xdo_send_keysequence_window(m_xdo, CURRENTWINDOW, "Caps_Lock", 0);
    m_capsWasOn = false;
    if (alive())
        XFlush(m_keys);
}

KeyboardMap X11Platform::keyboardMap()
{
    KeyboardMap map;
    if (!alive())
        return map;
    int low = 0, high = 0, per = 0;
    XDisplayKeycodes(m_keys, &low, &high);
    KeySym* syms = XGetKeyboardMapping(m_keys, KeyCode(low), high - low + 1, &per);
    if (!syms)
        return map;
    // Read at the start of every typing: libxdo reads it again too (the user may have switched
    // layouts since).
    m_xdoStale = true;
    map.minKeycode = low;
    map.keysymsPerKeycode = per;
    map.keysyms.resize(size_t(high - low + 1) * size_t(per));
    for (size_t i = 0; i < map.keysyms.size(); ++i)
        map.keysyms[i] = quint32(syms[i]);
    XFree(syms);
    return map;
}

bool X11Platform::bindKeycode(int keycode, quint32 lower, quint32 upper)
{
    if (!alive())
        return false;
    KeySym pair[2] = {KeySym(lower), KeySym(upper)};
    ErrorTrap trap(m_keys);
    XChangeKeyboardMapping(m_keys, keycode, 2, pair, 1);
    m_xdoStale = true;
    return trap.ok();
}

void X11Platform::unbindKeycode(int keycode)
{
    if (!alive())
        return;
    KeySym none[2] = {NoSymbol, NoSymbol};
    ErrorTrap trap(m_keys);
    XChangeKeyboardMapping(m_keys, keycode, 2, none, 1);
    m_xdoStale = true;
    trap.ok();
}

bool X11Platform::typeKeysym(quint32 keysym)
{
    if (!alive() || !m_xdo)
        return false;
    if (m_xdoStale) {
        // libxdo reads the layout when it is made: made again, it sees the bound keycodes.
        xdo_free(m_xdo);
        m_xdo = xdo_new_with_opened_display(m_keys, nullptr, 0);
        m_xdoStale = false;
        if (!m_xdo)
            return false;
        m_xdo->quiet = 1;
    }
    QString name = keysymName(keysym);
    QByteArray latin = name.toLatin1();
    // The key's name tells the character typed.
    secureWipe(name);
    if (latin.isEmpty() || !XKeysymToKeycode(m_keys, KeySym(keysym)))
        return false;
    ErrorTrap trap(m_keys);
    const int result = xdo_send_keysequence_window(m_xdo, CURRENTWINDOW, latin.constData(), 0);
    secureWipe(latin);
    return result == XDO_SUCCESS && trap.ok();
}

} // namespace autotype
