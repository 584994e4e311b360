#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace platform {

// Files dragged from the desktop arrive as a list of URLs; only the first one is opened. Its local
// path, or an empty string when the first URL names no local file (a web address, say): such a
// drop is not taken.
QString FirstDroppedFile(const QList<QUrl>& urls);

} // namespace platform
