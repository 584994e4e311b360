#pragma once

#include <QString>

// Asks the desktop to open a web address, a mail link or a file with the program it chooses.
// Failures are not reported. Under the test seam nothing is opened: the target is recorded as
// dialog "OpenLink" (ModalSeam::shownTexts("OpenLink")).
void OpenLink(const QString& target);

// The shell's open operation on a target and its parameters: a link, a document or a folder
// without parameters opens with the desktop's choice of program; anything else is started as a
// program of its own with the parameters as its command line, in the current folder. Nothing
// is reported, not even an empty or unknown program. Under the test seam nothing is opened or
// started: dialog "OpenLink" is recorded for what the desktop would open, "RunProgram" (the
// parameters in `detail`) for a program.
void ShellOpen(const QString& target, const QString& parameters);
