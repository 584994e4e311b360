#pragma once

#include "platform/SoundEvent.h"

namespace platform {

// Plays a system sound without waiting for it: the sound-theme event through libcanberra when
// the library is installed, else the plain beep of the toolkit.
void playSound(SystemSound sound);

} // namespace platform
