#include "lang/ShortcutText.h"

#include <array>

namespace {

struct NamedKey
{
    const char16_t* name;
    Qt::Key key;
};

constexpr std::array<NamedKey, 16> kNamed = {{
    {u"RetArr", Qt::Key_Backspace},
    {u"Tab", Qt::Key_Tab},
    {u"Echap", Qt::Key_Escape},
    {u"Entr\u00e9e", Qt::Key_Return},
    {u"Espace", Qt::Key_Space},
    {u"PagePr\u00e9c", Qt::Key_PageUp},
    {u"PageSuiv", Qt::Key_PageDown},
    {u"Fin", Qt::Key_End},
    {u"Origine", Qt::Key_Home},
    {u"Gauche", Qt::Key_Left},
    {u"Haut", Qt::Key_Up},
    {u"Droite", Qt::Key_Right},
    {u"Bas", Qt::Key_Down},
    {u"Ins", Qt::Key_Insert},
    {u"Suppr", Qt::Key_Delete},
    {u"Entr\u00e9e", Qt::Key_Enter}, // the keypad's Enter key writes the same name
}};

Qt::Key keyFromName(const QString& name)
{
    if (name.size() == 1) {
        const QChar c = name.at(0).toUpper();
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            return Qt::Key(Qt::Key_A + (c.unicode() - 'A'));
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            return Qt::Key(Qt::Key_0 + (c.unicode() - '0'));
    }
    if (name.size() >= 2 && name.size() <= 3 && name.at(0).toUpper() == QLatin1Char('F')) {
        bool ok = false;
        const int n = name.mid(1).toInt(&ok);
        // "F01" or "F+1" are not key names.
        if (ok && n >= 1 && n <= 24 && name.at(1) != QLatin1Char('0') && name.at(1).isDigit())
            return Qt::Key(Qt::Key_F1 + (n - 1));
    }
    for (const NamedKey& k : kNamed)
        if (name.compare(QString::fromUtf16(k.name), Qt::CaseInsensitive) == 0)
            return k.key;
    return Qt::Key(0);
}

QString nameOfKey(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QString(QChar(char16_t('A' + (key - Qt::Key_A))));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar(char16_t('0' + (key - Qt::Key_0))));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    for (const NamedKey& k : kNamed)
        if (k.key == key)
            return QString::fromUtf16(k.name);
    return QString();
}

bool takePrefix(QString& rest, QLatin1String prefix)
{
    // A lone "^" or "Ctrl+" is not a shortcut: something must follow the prefix.
    if (rest.size() > prefix.size() && rest.startsWith(prefix, Qt::CaseInsensitive)) {
        rest.remove(0, prefix.size());
        return true;
    }
    return false;
}

} // namespace

QKeyCombination parseShortcutText(const QString& text)
{
    QString rest = text;
    Qt::KeyboardModifiers mods;
    for (;;) {
        if (takePrefix(rest, QLatin1String("Maj+")))
            mods |= Qt::ShiftModifier;
        else if (takePrefix(rest, QLatin1String("Ctrl+")) || takePrefix(rest, QLatin1String("^")))
            mods |= Qt::ControlModifier;
        else if (takePrefix(rest, QLatin1String("Alt+")))
            mods |= Qt::AltModifier;
        else
            break;
    }
    const Qt::Key key = keyFromName(rest);
    if (key == Qt::Key(0))
        return QKeyCombination::fromCombined(0);
    return QKeyCombination(mods, key);
}

QString shortcutText(QKeyCombination key)
{
    const Qt::KeyboardModifiers mods = key.keyboardModifiers() & ~Qt::KeypadModifier;
    if (mods & ~(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return QString();
    const QString name = nameOfKey(key.key());
    if (name.isEmpty())
        return QString();
    QString out;
    if (mods & Qt::ShiftModifier)
        out += QLatin1String("Maj+");
    if (mods & Qt::ControlModifier)
        out += QLatin1String("Ctrl+");
    if (mods & Qt::AltModifier)
        out += QLatin1String("Alt+");
    return out + name;
}
