#pragma once

#include <QString>

// How the notes editor shows an entry's notes. The text layout of the editor costs time that
// grows with the length of the text, and much faster with the length of a line it must wrap
// without a break opportunity: a note of a megabyte on one line took most of a minute, and a few
// hundred megabytes crashed the layout. Notes up to kMaxShownLength are shown whole and editable
// (typing stops at the editor's limit of 65535; a longer text from a file may only shrink); longer
// ones, which only another program can have written, are shown as their beginning, read-only, so
// that an edit can never store the shown part in place of the whole.
struct NotesDisplay
{
    // Counted in stored characters (a CR LF line break counts two): four times the editor's limit,
    // still laid out in a small fraction of a second.
    static constexpr int kMaxShownLength = 262144;
    // A run of this many characters without a space or line break is wrapped anywhere: looking for
    // word boundaries in it is what makes the layout slow.
    static constexpr int kLongestWord = 1000;

    QString text;               // the editor's text, line breaks as LF
    bool whole = true;          // false: only the beginning is shown, and read-only
    bool wrapAnywhere = false;  // some word is too long to look for word boundaries in
    qsizetype storedLength = 0; // length of the notes as stored

    static NotesDisplay of(const QString& notes, int maxShownLength = kMaxShownLength);
};
