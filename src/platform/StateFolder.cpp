#include "platform/StateFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

QString userStateFolder()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    const QString value = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG base directory rules ignore a relative path.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QStringLiteral("/.local/state");
#endif
}

} // namespace platform
