#pragma once

#include "document/DocumentModel.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

class BreachList;

// A report of the passwords to change: weak (guessed in few tries by a realistic estimate), reused
// (the same password in two or more entries), old (not changed for a long time), empty, and
// breached (in the published list of breached passwords, when one is given). Passwords never
// appear in a finding.
namespace health {

enum class Kind
{
    Weak,
    Reused,
    Old,
    Empty,
    Breached
};

// The word a finding is printed with: "weak", "reused", "old", "empty", "breached".
QString KindName(Kind kind);

// How many guesses an attacker who tries common passwords, dictionary words, names, keyboard walks,
// dates, repeats and sequences first would need, by zxcvbn's estimate, and zxcvbn's score for it:
// 0 below 10^3 guesses, 1 below 10^6, 2 below 10^8, 3 below 10^10, 4 beyond. Only the first
// kEstimatedLength characters are looked at (a longer password is at least as strong as its start,
// and the estimate's time grows with the length).
struct Strength
{
    double log10Guesses = 0;
    int score = 0;
};
constexpr int kEstimatedLength = 100;
Strength EstimateStrength(const QString& password);

// The words of a strength, from the language table: "score 1 of 4, about 64,000 guesses".
QString StrengthText(const Strength& strength);

struct Options
{
    int weakBelow = 2;       // a zxcvbn score below this is weak: 0 and 1, fewer than 10^6 guesses
    int olderThanDays = 365; // ModifiedAt more than this many days before `now` is old
    DateTime now = 0;        // the date-time of the report (0: the current time)
    BreachList* breaches = nullptr;
    // Counts already looked up (LookUpBreaches), by the password's SHA-1 in upper-case hex: used
    // instead of `breaches`.
    const QHash<QByteArray, qint64>* breachCounts = nullptr;
};

struct Finding
{
    Kind kind = Kind::Weak;
    TFeuille* entry = nullptr;
    QString path;     // the group path, groups joined by "/" as imports and exports write them
    QString detail;   // in words: the strength, the other entries, the age in days, the times seen
    double order = 0; // what the detail says as one number, to sort findings of one kind by
};

// The group path of an entry as the report shows it: "Bank/Cards".
QString ReportPath(const DocumentState& doc, const TFeuille& entry);

// The findings, entry by entry in document order, each entry's in the order of Kind. An entry with
// an empty password gets that finding alone, unless it holds nothing but notes (a secure note, a
// card or an identity brought in by an import), which is no password left empty. Nothing when
// reading the breach list failed (its error then goes in *error).
std::optional<std::vector<Finding>> Analyze(const DocumentState& doc, const Options& options, QString* error = nullptr);

// The SHA-1 (upper-case hex) of each distinct non-empty password of doc: what a breach search
// needs, handed to a worker thread instead of the passwords. Wipe them when done.
QList<QByteArray> PasswordHashes(const DocumentState& doc);

struct BreachCounts
{
    QHash<QByteArray, qint64> counts; // by hash: how often each was seen (0: not in the list)
    int fault = 0;                    // a BreachList::Fault; 0 when the search went through
    QString error;                    // its English text
};
// Looks every hash up in the breach list at path: the work of a thread of its own, since a list
// of tens of gigabytes on a slow disk takes its time. Stops early, with nothing found, once *stop
// is set.
BreachCounts LookUpBreaches(const QString& path, const QList<QByteArray>& hashes,
                            const std::atomic<bool>* stop = nullptr);

} // namespace health
