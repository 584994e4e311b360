#pragma once

#include <QString>

namespace platform {

// The user's folder for state a program keeps between runs that is neither a setting nor a
// document: $XDG_STATE_HOME when it is set to an absolute path, else ~/.local/state (the
// program's own sub-folder goes below it). It may not exist yet.
QString userStateFolder();

} // namespace platform
