#pragma once

#include <QString>

namespace platform {

// Adds a document to the desktop's list of recently used files (the freedesktop
// "recently-used.xbel" in $XDG_DATA_HOME, else ~/.local/share), or refreshes its entry there.
// Best effort: any failure leaves the list as it was and is not reported. A file that cannot
// be parsed is never rewritten.
void AddToRecentDocuments(const QString& path);

// The list's location.
QString recentDocumentsFile();

} // namespace platform
