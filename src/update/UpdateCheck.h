#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The decisions of the update check that need neither a window nor the network: when an automatic
// check is due, how the server's answer is read, and what the program does with it.

// Whether an automatic update check is due: `autoCheck` 1, 2 or 3 asks for one when `now` minus
// 1, 7 or 30 days is strictly later than `lastCheck`; 0 (and any other value) never.
// An invalid lastCheck (never checked) makes a check due.
bool UpdateCheckDue(int autoCheck, const QDateTime& lastCheck, const QDateTime& now);

// The answer's lines, decoded from Windows-1252; CR LF, LF and CR all end a line. A last line
// left empty by a final line end does not count.
QStringList AnswerLines(const QByteArray& answer);

// The value of the first "name=value" line whose name is `key` (letter case aside); empty when no
// line defines it.
QString AnswerValue(const QStringList& lines, const QString& key);

// The address a "URL" line names: its first "_soft_" (exact case) replaced by the product word.
QString ExpandUpdateUrl(const QString& url);

// Whether `candidate` is a later version than `current`. The comparison is textual, code unit by
// code unit, a longer text with an equal beginning being greater: so "2.1.10.0" is not later than
// "2.1.2.34". An empty candidate never is.
bool IsNewerVersion(const QString& candidate, const QString& current);

// What a check does with an answer of at least one byte.
struct UpdateDecision
{
    enum Kind
    {
        AskAgain,     // the answer named another address: adopt `url` and check again at once
        NewVersion,   // `version` is later than the program's
        NoNewVersion, // nothing newer (or no usable version in the answer)
    };
    Kind kind = NoNewVersion;
    QString url;
    QString version;
};

// Whether the update check may move from `currentUrl` to `next`, named by a "URL" line: to an https
// address always, to an http one only from http (never from https down to http, which anybody on
// the way could then answer), to nothing else.
bool MayAdoptUpdateUrl(const QString& currentUrl, const QString& next);

// Reads the answer: a "URL" key naming an address other than `currentUrl` asks for a new check,
// when `mayFollow` (one new address per check: two servers naming each other would otherwise ask
// forever) and MayAdoptUpdateUrl allow it; else the key is passed over. The version is the single
// line of a one-line answer, or the "Tresorin" key.
UpdateDecision DecideUpdate(const QByteArray& answer, const QString& currentUrl, const QString& programVersion,
                            bool mayFollow = true);
