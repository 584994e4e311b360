#pragma once

#include "document/DocumentModel.h"

#include <QString>
#include <QStringList>

#include <vector>

// Which entries of a document belong to a window, by the window's title. An entry matches when its
// name or the host of its web address appears in the title, or when one of its notes lines
// "Auto-Type-Window: PATTERN" matches the whole title ('*' standing for any text). Letter case is
// folded as the search folds it (A-Z only). The title comes from another program: it is cut to
// kMaxTitleLength before anything reads it.
namespace autotype {

constexpr qsizetype kMaxTitleLength = 1024;
// A name or host shorter than this never matches by appearing in a title: "a" or "id" would put
// an entry in front of nearly every window.
constexpr qsizetype kMinimumMatchLength = 3;
// Patterns read from one entry's notes, and the length of one pattern.
constexpr int kMaxPatterns = 32;
constexpr qsizetype kMaxPatternLength = 1024;

struct Match
{
    TFeuille* entry = nullptr;
    // Matched only through patterns holding a '*': a guess that may fit windows the user never
    // meant, so an entry that would type its password is offered in the chooser, never typed at once.
    bool onlyByWildcard = false;
};

// The title as it is matched: cut to kMaxTitleLength.
QString boundedTitle(const QString& title);

// The host of a web address ("https://www.bank.example/x" gives "bank.example": a leading "www."
// goes); empty when the address names none.
QString hostOf(const QString& webAddress);

// The values of the notes lines "KEY: value" (key without letter case, spaces around the value
// dropped, empty values left out), at most `limit`.
QStringList notesValues(const QString& notes, const QString& key, int limit);

// The pattern ('*': any text, possibly none; everything else literal) matches the whole text.
// Both are compared as given: fold them first.
bool wildcardMatches(const QString& pattern, const QString& text);

// The matches of one entry; nothing when it does not match.
bool matchEntry(const TFeuille& entry, const QString& foldedTitle, Match* match);

// Every entry of the document that matches the title, in the document's order.
std::vector<Match> matchWindow(const DocumentState& doc, const QString& title);

// The chooser's filter: the text (folded like the search) appears in the name, the login or the
// group path shown for the entry.
bool candidateShown(const QString& name, const QString& login, const QString& groupPath, const QString& filter);

} // namespace autotype
