#pragma once

#include "document/DocumentModel.h"

#include <QString>
#include <QStringList>

#include <vector>

// The search over a whole document, shared by the window's search view and tresorin-cli search.
// Only the letters A to Z are folded to lower case, on both sides: "bank" finds "BANK", but "é"
// does not find "É" (the rule of the original program, kept for the same results everywhere).
namespace entrysearch {

// The text with A-Z turned into a-z and every other character left alone.
QString FilterText(const QString& text);

// The entry holds filterText (already folded) in its name, login, password, web address or notes.
bool Matches(const TFeuille& entry, const QString& filterText);

// The names of the groups from the top level down to group, joined by backslashes (the search's
// path column), or by the separator given; empty for null. A path longer than kMaxPathLength keeps
// its deepest names, after an ellipsis and a separator: a
// chain of groups thousands deep would otherwise give every entry in it a path of megabytes, and
// a search over a file of a few hundred kilobytes would need gigabytes.
constexpr qsizetype kMaxPathLength = 1024;
QString GroupPath(const TGroupe* group, QChar separator = QLatin1Char('\\'));

struct Result
{
    std::vector<TFeuille*> entries; // in Entries order
    QStringList paths;              // the GroupPath of each entry's group (empty for an unknown group)
};

// Every entry of the document that matches, whatever its group (Group 0 or an unknown Id too:
// the search is the only view that reaches such an entry).
Result Search(const DocumentState& doc, const QString& filterText);

} // namespace entrysearch
