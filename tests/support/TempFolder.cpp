#include "support/TempFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace testsupport {

TempFolder::TempFolder() : m_dir(QDir::tempPath() + QStringLiteral("/tresorin-test-XXXXXX"))
{
}

TempFolder::~TempFolder()
{
    if (!m_dir.isValid())
        return;
    // Give the owner back every right so that the removal cannot stop at a locked file or folder.
    const QFileDevice::Permissions all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(m_dir.path(), all);
    QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        if (!QFileInfo(p).isSymLink())
            QFile::setPermissions(p, all);
    }
}

QString TempFolder::filePath(const QString& name) const
{
    return m_dir.filePath(name);
}

bool TempFolder::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString p = filePath(name);
    if (!QDir().mkpath(QFileInfo(p).absolutePath()))
        return false;
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size() && f.flush();
}

QByteArray TempFolder::readFile(const QString& name) const
{
    QFile f(filePath(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool TempFolder::exists(const QString& name) const
{
    return QFileInfo::exists(filePath(name));
}

QString TempFolder::makeFolder(const QString& name) const
{
    const QString p = filePath(name);
    QDir().mkpath(p);
    return p;
}

} // namespace testsupport
