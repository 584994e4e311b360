#include "app/core/NotesDisplay.h"

NotesDisplay NotesDisplay::of(const QString& notes, int maxShownLength)
{
    NotesDisplay d;
    d.storedLength = notes.size();
    qsizetype shown = notes.size();
    if (shown > maxShownLength) {
        d.whole = false;
        shown = maxShownLength;
        // Never half a line break or half a character.
        if (shown > 0 && (notes.at(shown - 1) == QLatin1Char('\r') || notes.at(shown - 1).isHighSurrogate()))
            --shown;
    }
    // Only the shown part is copied: a note may be hundreds of megabytes.
    d.text = notes.left(shown);
    d.text.replace(QLatin1String("\r\n"), QLatin1String("\n"));

    qsizetype run = 0;
    for (const QChar c : std::as_const(d.text)) {
        run = c.isSpace() ? 0 : run + 1;
        if (run >= kLongestWord) {
            d.wrapAnywhere = true;
            break;
        }
    }
    return d;
}
