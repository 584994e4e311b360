#pragma once

#include "platform/SoundEvent.h"

#include <functional>

namespace platform {

// Plays a system sound without waiting for it: the sound-theme event through libcanberra when
// the library is installed, else the plain beep of the toolkit.
void playSound(SystemSound sound);

// Tests: while a sink is set, sounds are handed to it instead of being played. An empty function
// plays them again.
using SoundSink = std::function<void(SystemSound)>;
void setSoundSink(SoundSink sink);

} // namespace platform
