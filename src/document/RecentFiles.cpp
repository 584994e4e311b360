#include "document/RecentFiles.h"

#include "document/DocumentPath.h"

bool RecentFiles::record(Slots& paths, bool use, const QString& path, const QString& currentDir)
{
    if (!use || path.isEmpty())
        return false;
    const QString canonical = CanonicalDocumentPath(path, currentDir);
    if (FileNamePart(canonical).isEmpty() || canonical == paths[0])
        return false;
    for (int i = kSlotCount - 1; i > 0; --i)
        paths[static_cast<size_t>(i)] = paths[static_cast<size_t>(i - 1)];
    paths[0] = canonical;
    return true;
}

QString RecentFiles::pathToOpen(const QString& slotPath, const QString& currentDir)
{
    const QString canonical = CanonicalDocumentPath(slotPath, currentDir);
    return FileNamePart(canonical).isEmpty() ? slotPath : canonical;
}

QString RecentFiles::caption(int slot, const QString& path)
{
    return QStringLiteral("&%1 - ").arg(slot) + path;
}

bool RecentFiles::slotVisible(const Slots& paths, bool use, int slot)
{
    if (slot < 1 || slot > kSlotCount)
        return false;
    return use && !paths[static_cast<size_t>(slot - 1)].isEmpty();
}
