#include "platform/DroppedFiles.h"

namespace platform {

QString FirstDroppedFile(const QList<QUrl>& urls)
{
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    return urls.first().toLocalFile();
}

} // namespace platform
