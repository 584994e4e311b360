#pragma once

#include <QKeyCombination>
#include <QString>

// Shortcut texts of the language tables, written with French key names in both tables:
// modifier prefixes "Maj+" (Shift), "Ctrl+" or "^" (Control) and "Alt+" in any order, then one
// key name (A-Z, 0-9, F1-F24, RetArr, Tab, Echap, Entrée, Espace, PagePréc, PageSuiv, Fin,
// Origine, Gauche, Haut, Droite, Bas, Ins, Suppr). Prefixes and names ignore letter case.

// The key the text names, or the empty combination (toCombined() == 0, key() == 0) when the text
// is empty or does not parse: the command then has no shortcut.
QKeyCombination parseShortcutText(const QString& text);

// The text of a key, modifiers in the order "Maj+", "Ctrl+", "Alt+"; empty when the key has no
// name in this syntax (for instance "*" or a Meta modifier).
QString shortcutText(QKeyCombination key);
