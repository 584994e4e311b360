#pragma once

#include "autotype/KeyLayout.h"
#include "autotype/Platform.h"

#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace testsupport {

// A window system for auto-type without X: windows are numbers with titles, the layout a small
// US-like map (letters, digits, space, a few signs, Tab, Return, and two spare keycodes), and
// every call is written down in `log` ("key a", "bind 200 eacute Eacute", "release", ...), so
// that a test reads what would have been typed and in which order.
class FakeAutoTypePlatform : public autotype::Platform
{
public:
    FakeAutoTypePlatform()
    {
        // Keycodes 10-35: a-z with A-Z; 36-45: 0-9; 46: space; 47: Tab; 48: Return; 49: @ and !;
        // 200 and 201: spare.
        map.minKeycode = 10;
        map.keysymsPerKeycode = 2;
        auto add = [this](quint32 a, quint32 b) {
            map.keysyms.push_back(a);
            map.keysyms.push_back(b);
        };
        for (char c = 'a'; c <= 'z'; ++c)
            add(quint32(c), quint32(c - 'a' + 'A'));
        for (char c = '0'; c <= '9'; ++c)
            add(quint32(c), 0);
        add(0x20, 0);
        add(0xff09, 0);
        add(0xff0d, 0);
        add('@', '!');
        while (map.minKeycode + map.keycodeCount() < 200)
            add(0x7e, 0); // '~' everywhere else: no spare keycode below 200
        add(0, 0);
        add(0, 0);
    }

    bool setShortcut(const QKeySequence& s) override
    {
        shortcut = s;
        log << QStringLiteral("shortcut ") + s.toString(QKeySequence::PortableText);
        return shortcutAvailable;
    }
    WindowId activeWindow() override
    {
        if (onActiveQuery)
            onActiveQuery();
        return active;
    }
    QString windowTitle(WindowId w) override { return titles.value(w); }
    bool isOwnWindow(WindowId w) override { return w == ownWindow; }
    WindowId lastForeignWindow() override { return lastForeign; }
    void activateWindow(WindowId w) override
    {
        log << QStringLiteral("activate %1").arg(w);
        if (activationWorks)
            active = w;
    }
    bool modifiersHeld() override
    {
        if (heldModifierQueries <= 0)
            return false;
        --heldModifierQueries;
        return true;
    }
    void releaseModifiers() override { log << QStringLiteral("release"); }
    void restoreLocks() override { log << QStringLiteral("restore"); }
    autotype::KeyboardMap keyboardMap() override { return map; }
    bool bindKeycode(int keycode, quint32 lower, quint32 upper) override
    {
        log << QStringLiteral("bind %1 %2 %3")
                   .arg(keycode)
                   .arg(autotype::keysymName(lower), autotype::keysymName(upper));
        return true;
    }
    void unbindKeycode(int keycode) override { log << QStringLiteral("unbind %1").arg(keycode); }
    bool typeKeysym(quint32 keysym) override
    {
        log << QStringLiteral("key ") + autotype::keysymName(keysym);
        return true;
    }

    // The names of the keys typed, in order.
    QStringList keys() const
    {
        QStringList out;
        for (const QString& line : log)
            if (line.startsWith(QLatin1String("key ")))
                out << line.mid(4);
        return out;
    }

    autotype::KeyboardMap map;
    QHash<WindowId, QString> titles;
    WindowId active = 0;
    WindowId ownWindow = 0;
    WindowId lastForeign = 0;
    bool activationWorks = true;
    bool shortcutAvailable = true;
    int heldModifierQueries = 0; // so many calls of modifiersHeld() answer true
    QKeySequence shortcut;
    std::function<void()> onActiveQuery; // called at every read of the active window
    QStringList log;
};

} // namespace testsupport
