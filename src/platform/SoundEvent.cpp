#include "platform/SoundEvent.h"

namespace platform {

QString soundEventId(SystemSound sound)
{
    switch (sound) {
    case SystemSound::Asterisk:
        return QStringLiteral("dialog-information");
    case SystemSound::Hand:
        return QStringLiteral("dialog-error");
    case SystemSound::Exclamation:
        return QStringLiteral("dialog-warning");
    case SystemSound::Question:
        return QStringLiteral("dialog-question");
    case SystemSound::SimpleBeep:
        break;
    }
    return QString();
}

} // namespace platform
