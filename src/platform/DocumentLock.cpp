#include "platform/DocumentLock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <mutex>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::mutex g_mutex;
// The locks this process holds, by document path; each goes when its last holder lets it go.
std::map<QString, std::weak_ptr<DocumentLock>> g_held;

#ifdef Q_OS_UNIX
// The process id a holder wrote into its lock file; 0 when there is none yet.
qint64 holderOf(const QByteArray& file)
{
    const int fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return 0;
    bool ok = false;
    const qint64 pid = QByteArray(text, int(n)).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}
#endif

} // namespace

QString DocumentLock::keyFor(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString DocumentLock::lockFilePath(const QString& folder, const QString& canonicalPath)
{
    const QByteArray key = QCryptographicHash::hash(canonicalPath.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QDir(folder).filePath(QStringLiteral("document-%1.lock").arg(QString::fromLatin1(key)));
}

bool DocumentLock::heldHere(const QString& canonicalPath)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_held.find(canonicalPath);
    return it != g_held.end() && !it->second.expired();
}

DocumentLock::Result DocumentLock::acquire(const QString& folder, const QString& canonicalPath)
{
    Result result;
    if (folder.isEmpty() || canonicalPath.isEmpty())
        return result;
    std::lock_guard<std::mutex> guard(g_mutex);
    if (const auto it = g_held.find(canonicalPath); it != g_held.end())
        if (std::shared_ptr<DocumentLock> held = it->second.lock()) {
            result.outcome = Outcome::Held;
            result.handle = std::move(held);
            return result;
        }
#ifdef Q_OS_UNIX
    const QString file = lockFilePath(folder, canonicalPath);
    const QByteArray name = QFile::encodeName(file);
    // A holder that lets go removes the file while it still holds it: a lock taken on a file that
    // is no longer the one at the path is taken again on the new one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
        if (fd < 0)
            return result;
        struct stat opened
        {
        };
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != geteuid()) {
            ::close(fd);
            return result;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error != EWOULDBLOCK)
                return result;
            result.outcome = Outcome::HeldElsewhere;
            result.holder = holderOf(name);
            return result;
        }
        struct stat atPath
        {
        };
        if (::lstat(name.constData(), &atPath) != 0 || atPath.st_ino != opened.st_ino ||
            atPath.st_dev != opened.st_dev) {
            ::close(fd);
            continue;
        }
        const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
            ::unlink(name.constData());
            ::close(fd);
            return result;
        }
        std::shared_ptr<DocumentLock> handle(new DocumentLock);
        handle->m_document = canonicalPath;
        handle->m_file = file;
        handle->m_fd = fd;
        g_held[canonicalPath] = handle;
        result.outcome = Outcome::Held;
        result.handle = std::move(handle);
        return result;
    }
#endif
    return result;
}

DocumentLock::~DocumentLock()
{
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        const auto it = g_held.find(m_document);
        if (it != g_held.end() && it->second.expired())
            g_held.erase(it);
    }
#ifdef Q_OS_UNIX
    if (m_fd >= 0) {
        // Removed while still locked, and only when it is still this lock's file.
        const QByteArray name = QFile::encodeName(m_file);
        struct stat opened
        {
        };
        struct stat atPath
        {
        };
        if (::fstat(m_fd, &opened) == 0 && ::lstat(name.constData(), &atPath) == 0 && atPath.st_ino == opened.st_ino &&
            atPath.st_dev == opened.st_dev)
            ::unlink(name.constData());
        ::close(m_fd);
    }
#endif
}
