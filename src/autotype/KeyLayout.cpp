#include "autotype/KeyLayout.h"

#include <QChar>
#include <QHash>

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace autotype {

namespace {
constexpr quint32 kTab = 0xff09;    // XK_Tab
constexpr quint32 kReturn = 0xff0d; // XK_Return
} // namespace

std::vector<int> KeyboardMap::spareKeycodes() const
{
    std::vector<int> spare;
    for (int k = 0; k < keycodeCount(); ++k) {
        const auto first = keysyms.begin() + qsizetype(k) * keysymsPerKeycode;
        if (std::all_of(first, first + keysymsPerKeycode, [](quint32 s) { return s == 0; }))
            spare.push_back(minKeycode + k);
    }
    return spare;
}

quint32 keysymOf(char32_t character)
{
    if (character == U'\t')
        return kTab;
    if (character == U'\n')
        return kReturn;
    return xkb_utf32_to_keysym(character);
}

QString keysymName(quint32 keysym)
{
    char name[64];
    const int length = xkb_keysym_get_name(keysym, name, sizeof name);
    const QString result = length > 0 ? QString::fromLatin1(name, qMin<int>(length, int(sizeof name) - 1)) : QString();
    // The name tells the character it stands for.
    std::fill(std::begin(name), std::end(name), '\0');
    return result;
}

std::vector<char32_t> codePoints(const QString& text)
{
    std::vector<char32_t> points;
    points.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            points.push_back(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            points.push_back(c.unicode());
        }
    }
    return points;
}

void KeyPlan::wipe()
{
    std::fill(strokes.begin(), strokes.end(), KeyStroke{});
    for (SpareBinding& b : bindings)
        b = SpareBinding{};
    strokes.clear();
    bindings.clear();
}

KeyPlan planKeys(const QString& text, const KeyboardMap& map)
{
    KeyPlan plan;
    // The layout's own keys, by the character they type (the first one the map lists wins: the
    // unshifted level before the shifted one).
    QHash<char32_t, quint32> layout;
    for (const quint32 sym : map.keysyms) {
        if (sym == kTab || sym == kReturn) {
            layout.insert(sym == kTab ? U'\t' : U'\n', sym);
            continue;
        }
        const char32_t c = xkb_keysym_to_utf32(sym);
        if (c != 0 && !layout.contains(c))
            layout.insert(c, sym);
    }
    const std::vector<int> spare = map.spareKeycodes();
    // What each spare keycode carries now, and when it was last used.
    struct Slot
    {
        quint32 lower = 0;
        quint32 upper = 0;
        int lastUse = -1;
        bool used = false;
    };
    std::vector<Slot> spareSlots(spare.size());

    std::vector<char32_t> points = codePoints(text);
    plan.strokes.reserve(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const char32_t c = points[i];
        KeyStroke stroke;
        if (const auto it = layout.constFind(c); it != layout.constEnd()) {
            stroke.keysym = it.value();
            plan.strokes.push_back(stroke);
            continue;
        }
        stroke.keysym = keysymOf(c);
        const char32_t lowerChar = QChar::toLower(c);
        const char32_t upperChar = QChar::toUpper(c);
        // A case pair only when each case goes back to the other: the server types the second
        // keysym with Shift only for such pairs.
        quint32 lower = stroke.keysym, upper = stroke.keysym;
        if (lowerChar != upperChar && QChar::toUpper(lowerChar) == upperChar &&
            QChar::toLower(upperChar) == lowerChar) {
            lower = keysymOf(lowerChar);
            upper = keysymOf(upperChar);
        }
        if (spare.empty() || stroke.keysym == 0) {
            std::fill(points.begin(), points.end(), U'\0');
            plan.wipe();
            return plan;
        }
        size_t slot = spareSlots.size();
        for (size_t s = 0; s < spareSlots.size(); ++s)
            if (spareSlots[s].used && spareSlots[s].lower == lower && spareSlots[s].upper == upper)
                slot = s;
        if (slot == spareSlots.size()) {
            // A free keycode, else the one whose last use is oldest.
            slot = 0;
            for (size_t s = 0; s < spareSlots.size(); ++s) {
                if (!spareSlots[s].used) {
                    slot = s;
                    break;
                }
                if (spareSlots[s].lastUse < spareSlots[slot].lastUse)
                    slot = s;
            }
            SpareBinding binding;
            binding.keycode = spare[slot];
            binding.lower = lower;
            binding.upper = upper;
            binding.firstStroke = int(i);
            binding.rebinds = spareSlots[slot].used;
            spareSlots[slot].lower = lower;
            spareSlots[slot].upper = upper;
            spareSlots[slot].used = true;
            plan.bindings.push_back(binding);
        }
        spareSlots[slot].lastUse = int(i);
        // The binding now on that keycode is the last one made for it.
        for (int b = int(plan.bindings.size()) - 1; b >= 0; --b)
            if (plan.bindings[size_t(b)].keycode == spare[slot]) {
                stroke.binding = b;
                break;
            }
        plan.strokes.push_back(stroke);
    }
    std::fill(points.begin(), points.end(), U'\0');
    plan.ok = true;
    return plan;
}

} // namespace autotype
