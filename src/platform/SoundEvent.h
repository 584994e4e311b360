#pragma once

#include <QString>

namespace platform {

// The system sounds the program plays: the message box sounds and the plain beep.
enum class SystemSound
{
    Asterisk,    // the "information" sound of the system
    Hand,        // the error sound
    Exclamation, // the warning sound
    Question,
    SimpleBeep,
};

// The freedesktop sound-theme event that stands for a system sound, chosen by what the sound
// means; empty for the simple beep, which has no event of its own.
QString soundEventId(SystemSound sound);

} // namespace platform
