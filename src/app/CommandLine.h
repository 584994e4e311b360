#pragma once

#include <QString>
#include <QStringList>

// Start-up decisions of the main window that need no window: the reading of the command line,
// the full form of a document path and the title of the window.

struct CommandLine
{
    QString documentPath;  // last parameter not starting with "/", exactly as typed; empty if none
    bool debug = false;    // exactly "/debug" was given
    bool noButton = false; // "-nobutton" or "/nobutton", any case
};

// Reads the parameters (without the program path). A parameter starting with "/" is a switch and
// not a path, except where "/" also starts absolute paths (see SlashParameterIsPath); "-US" and
// the like are switches for the language choice but still count as a document path here.
CommandLine ParseCommandLine(const QStringList& parameters);

// Where "/" begins absolute paths, a parameter starting with "/" is a document path when it holds
// a further "/" or names an existing file; the switches ("/debug", "/US", "/nobutton", ...) never
// do. Always false on Windows.
bool SlashParameterIsPath(const QString& parameter);

// True for "-word" or "/word", the word compared without regard to case.
bool IsSwitch(const QString& parameter, const QString& word);

// Any parameter is the "nobutton" switch.
bool HasNoButtonSwitch(const QStringList& parameters);

// The path made absolute against `currentDir`, its last component being the file's name as found
// on disk. When no such file exists the result is the directory alone, with its trailing
// separator. A folder is not a document: it gives its parent directory too.
QString CanonicalDocumentPath(const QString& path, const QString& currentDir);

// The part of a path after its last "/", "\" or ":".
QString FileNamePart(const QString& path);

// "Tresorin - " and the file name, " (FTP)" appended in FTP mode; "Tresorin - " and `untitled`
// for an empty path.
QString DocumentTitle(const QString& path, bool ftpMode, const QString& untitled);
