#pragma once

#include "document/DocumentFile.h"

#include <QString>
#include <QStringList>

// Exit status of every command.
enum ExitCode
{
    ExitOk = 0,
    ExitFailure = 1,    // unreadable file, read failure of the document stream, bad arguments
    ExitBadPassword = 2 // wrong meta password
};

namespace cli {

// Text as a terminal shows it, never as it acts on it: every control character (C0, DEL, C1) and
// every Unicode bidirectional control becomes a visible escape ("\x1b", "\x9b", "\u202e"), so that
// no name from a document, an import or a server can move the cursor, retitle the window, hide
// what follows or reorder a line. With keepLayout, line feeds and tabs stay as they are (a CR LF
// becomes a line feed): the layout of a whole message of ours around such names.
QString terminalText(const QString& text, bool keepLayout = false);

// One line on standard output / standard error (UTF-8), through terminalText with the layout
// kept: what the tool prints for people. Machine formats (export) are written exactly, elsewhere.
void printOut(const QString& text);
void printErr(const QString& text);
// "tresorin-cli <command>: text" on standard error; returns ExitFailure.
int fail(const QString& command, const QString& text);

// Positional arguments and "--" options of a command. Only the options in allowed are accepted;
// "--" ends the options. On an unknown option, error says so.
struct Arguments
{
    QStringList positional;
    QStringList options;
    bool has(const char* option) const { return options.contains(QLatin1String(option)); }
};
bool parseArguments(const QStringList& args, const QStringList& allowed, Arguments& out, QString& error);

// The common start of a command: prints help (from --help or -h before any "--") and returns
// ExitOk; checks the options against allowed and the number of positional arguments, printing
// the problem and returning ExitFailure. Returns -1 when the command should go on with parsed.
int prepareCommand(const QString& command, const QStringList& args, const char* help, const QStringList& allowed,
                   int positional, Arguments& parsed);

// Reads one password: from the terminal without echo, after prompt, when standard input is a
// terminal; else the next line of standard input, without its line end (LF or CR LF). False at
// the end of input or for an unreasonably long line, with error set.
bool readPassword(const QString& prompt, QString& password, QString& error);

// Reads a new password twice; false (with error) when they differ, when it is empty or longer
// than the meta password dialog accepts, or when input fails.
bool readNewPassword(QString& password, QString& error);

// Prints each reader message on standard error as one line of its English text, in order, and
// remembers the keys seen.
class MessagePrinter
{
public:
    StreamMessageSink sink();
    const QStringList& keys() const { return m_keys; }
    // A message that says records may have been lost or misread.
    bool sawDamage() const;

private:
    QStringList m_keys;
};

// One field on one line of tab-separated output: its own tabs and line breaks would split it, so
// they become spaces; every other control character is escaped as terminalText does.
QString oneLine(const QString& field);

// The English text of a message key, with "%s" replaced by arg, on one line.
QString messageLine(const QString& key, const QString& arg = QString());

// The text of a failure: error, or the message "Memoire" for want of memory.
QString failureText(const QString& error, bool outOfMemory);

// Opens the document at path with a password read from input into doc, printing reader
// messages through printer. Returns ExitOk, or the exit status after printing the failure.
// headerRecovered, when given, tells whether the header was damaged (which shows no message).
int openDocument(const QString& command, const QString& path, DocumentState& doc, MessagePrinter& printer,
                 bool* headerRecovered = nullptr);

// openDocument for a command that rewrites the file: a reading that found damage (a message, or
// a header it could not read) fails with "PATH: notDone, its reading found damage", since the
// rewrite would make the damage permanent.
int openDocumentWhole(const QString& command, const QString& path, DocumentState& doc, const QString& notDone);

} // namespace cli
