#pragma once

#include <QProcessEnvironment>
#include <QString>

// The window needs a display. Without one Qt aborts with a platform-plugin message that tells a
// user nothing; these say in one sentence what is missing and how to go on.

// The sentence shown when no display can be opened.
QString NoDisplayMessage();

// True when the environment names no display the program could open on Linux and the BSDs:
// neither DISPLAY nor WAYLAND_DISPLAY is set and no platform plugin was chosen by hand
// (QT_QPA_PLATFORM). Always false on Windows and macOS, which always have one.
bool DisplayMissing(const QProcessEnvironment& environment);
