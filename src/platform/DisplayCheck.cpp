#include "platform/DisplayCheck.h"

QString NoDisplayMessage()
{
    return QStringLiteral("tresorin: no graphical display was found (DISPLAY and WAYLAND_DISPLAY name none "
                          "that can be opened): start it from a desktop session, under a virtual display with "
                          "\"xvfb-run tresorin\", or use \"tresorin-cli --help\" for the command-line tool.");
}

bool DisplayMissing(const QProcessEnvironment& environment)
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    Q_UNUSED(environment);
    return false;
#else
    return environment.value(QStringLiteral("DISPLAY")).isEmpty() &&
           environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() &&
           environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty();
#endif
}
