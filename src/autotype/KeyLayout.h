#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// The keyboard layout of the X server as auto-type sees it, and which key types each character.
// A character the layout has is typed with the layout's own key (the X layer finds its keycode,
// group and shift level). A character the layout lacks is typed through a spare keycode (one the
// layout leaves empty), bound for the time of the typing to that character's lower and upper case,
// so that both cases of a letter share one keycode and each comes out as it is.
namespace autotype {

// The keysyms of every keycode, as the core protocol lists them (XGetKeyboardMapping).
struct KeyboardMap
{
    int minKeycode = 8;
    int keysymsPerKeycode = 0;
    std::vector<quint32> keysyms; // keycode k, column c at (k - minKeycode) * keysymsPerKeycode + c

    int keycodeCount() const { return keysymsPerKeycode > 0 ? int(keysyms.size()) / keysymsPerKeycode : 0; }
    // The keycodes that carry no keysym at all.
    std::vector<int> spareKeycodes() const;
};

// The keysym that stands for a character: Tab and Return for '\t' and '\n', else the one X
// defines for its code point.
quint32 keysymOf(char32_t character);
// The name X gives a keysym ("eacute", "EuroSign", "U20AC"); empty for none.
QString keysymName(quint32 keysym);

// One key to press for one character.
struct KeyStroke
{
    quint32 keysym = 0;
    int binding = -1; // index of the spare binding that must be in place, -1 for a key of the layout
};

// A spare keycode bound to a lower and an upper case keysym (the same twice for a character that
// has no case).
struct SpareBinding
{
    int keycode = 0;
    quint32 lower = 0;
    quint32 upper = 0;
    int firstStroke = 0; // the first stroke that needs it
    // The keycode carried another binding earlier in the same typing: the target must have read
    // its earlier keys before it changes, so the typing pauses first.
    bool rebinds = false;
};

struct KeyPlan
{
    std::vector<KeyStroke> strokes; // one per character of the text, surrogate pairs counting once
    std::vector<SpareBinding> bindings;
    bool ok = false; // false: a character needs a spare keycode and the layout leaves none
    void wipe();
};

// The keys for the text on that layout.
KeyPlan planKeys(const QString& text, const KeyboardMap& map);

// The code points of the text, surrogate pairs joined (a lone surrogate stays as it is).
std::vector<char32_t> codePoints(const QString& text);

} // namespace autotype
