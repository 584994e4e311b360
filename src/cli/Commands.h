#pragma once

#include <QStringList>

// The commands of tresorin-cli. Each gets the arguments that follow its name and returns the
// process exit status (see ExitCode in CliSupport.h).
int runExport(const QStringList& args);
int runImport(const QStringList& args);
int runInfo(const QStringList& args);
int runPasswd(const QStringList& args);
// generate [--length N] [--upper] [--lower] [--digits] [--accented] [--special] [--custom CHARS]
//          [--first-letter] [--count K]: random passwords with their scores.
int runGenerate(const QStringList& args);
// search [--show-passwords] FILE TEXT: the entries that hold TEXT, as the window's search finds
// them; exit 1 when none does.
int runSearch(const QStringList& args);
// analyze [--hibp FILE] [--weak-below SCORE] [--older-than DAYS] DOCUMENT: the passwords to change;
// exit 1 when there is any.
int runAnalyze(const QStringList& args);
// totp DOCUMENT TEXT: the current one-time code of the one entry holding TEXT that has one.
int runTotp(const QStringList& args);
