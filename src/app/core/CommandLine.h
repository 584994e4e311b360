#pragma once

#include "document/DocumentPath.h"

#include <QString>
#include <QStringList>

// Start-up decisions of the main window that need no window: the reading of the command line (the
// path rules it uses are in document/DocumentPath.h).

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
