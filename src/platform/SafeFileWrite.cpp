#include "platform/SafeFileWrite.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>

namespace platform {

QString temporaryPathFor(const QString& path)
{
    return path + QStringLiteral(".saving");
}

void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

namespace {

// The file a write to path really replaces: the target of a symbolic link (also of a dangling one,
// which the write then creates).
QString resolvedTarget(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

SafeWriteResult failure(const QString& text)
{
    return SafeWriteResult{false, text};
}

// True when path itself (not what it points to) is a symbolic link.
bool isSymbolicLink(const QString& path)
{
    return QFileInfo(path).isSymLink();
}

} // namespace

QString symbolicLinkText()
{
    return QStringLiteral("Refused: it is a symbolic link");
}

#ifdef Q_OS_WIN

SafeWriteResult writeFileSafely(const QString& path, const QByteArray& bytes, NewFileAccess access, SymbolicLinks links)
{
    if (links == SymbolicLinks::Refuse && isSymbolicLink(path))
        return failure(symbolicLinkText());
    // QSaveFile buffers small writes and still renames after a failed flush in commit(): the
    // flush is checked here, before the commit.
    const QString target = links == SymbolicLinks::Refuse ? path : resolvedTarget(path);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    if ((access == NewFileAccess::OwnerOnly && !QFileInfo::exists(target)) || access == NewFileAccess::AlwaysOwnerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return failure(error);
    }
    if (!file.commit())
        return failure(file.errorString());
    return {};
}

#else

namespace {

SafeWriteResult errnoFailure(int error)
{
    return failure(qt_error_string(error));
}

// Writes all of bytes to fd; 0, or the errno of the failure.
int writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const size_t chunk = static_cast<size_t>(std::min<qint64>(left, qint64(1) << 30));
        const ssize_t n = ::write(fd, p, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC; // no progress and no error: the device takes nothing more
        p += n;
        left -= n;
    }
    return 0;
}

} // namespace

SafeWriteResult writeFileSafely(const QString& path, const QByteArray& bytes, NewFileAccess access, SymbolicLinks links)
{
    const bool refuseLinks = links == SymbolicLinks::Refuse;
    const QString target = refuseLinks ? path : resolvedTarget(path);
    const QByteArray nativeTarget = QFile::encodeName(target);
    const QByteArray nativeTemp = QFile::encodeName(temporaryPathFor(target));
    // A link planted where the file or its temporary copy goes would carry the bytes elsewhere.
    if (refuseLinks && (isSymbolicLink(target) || isSymbolicLink(temporaryPathFor(target))))
        return failure(symbolicLinkText());

    struct stat old = {};
    const bool existed =
        (refuseLinks ? ::lstat(nativeTarget.constData(), &old) : ::stat(nativeTarget.constData(), &old)) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return errnoFailure(EISDIR);
    if (existed && !S_ISREG(old.st_mode))
        return failure(QStringLiteral("Not a regular file"));
    // A file marked read-only is not replaced, even where its folder would allow it.
    if (existed && ::access(nativeTarget.constData(), W_OK) != 0)
        return errnoFailure(errno);

    // A copy left by a save that was killed before its rename.
    ::unlink(nativeTemp.constData());
    const bool ownerOnly = access == NewFileAccess::OwnerOnly || access == NewFileAccess::AlwaysOwnerOnly;
    const mode_t createMode = existed || ownerOnly ? 0600 : 0666;
    // O_EXCL: a link made at the temporary name meanwhile is not followed, the open fails.
    int fd = ::open(nativeTemp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, createMode);
    if (fd < 0)
        return errnoFailure(errno);

    const auto abandon = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(nativeTemp.constData());
        return errnoFailure(error);
    };

    if (existed) {
        // The old file's permissions are kept, and its owner and group where allowed (the
        // super-user saving a user's file); elsewhere the file becomes the saving user's.
        const int kept = ::fchown(fd, old.st_uid, old.st_gid);
        Q_UNUSED(kept);
        const mode_t mode = access == NewFileAccess::AlwaysOwnerOnly ? 0600 : old.st_mode & 07777;
        if (::fchmod(fd, mode) != 0)
            return abandon(errno);
    } else if (ownerOnly && ::fchmod(fd, 0600) != 0) {
        return abandon(errno);
    }

    if (const int error = writeAll(fd, bytes))
        return abandon(error);
    if (::fsync(fd) != 0)
        return abandon(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return abandon(errno);
    if (::rename(nativeTemp.constData(), nativeTarget.constData()) != 0)
        return abandon(errno);

    // The rename itself reaches the disk only with its folder.
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        const int synced = ::fsync(dirFd);
        const int error = errno;
        ::close(dirFd);
        // Some file systems cannot sync a folder; that is no failure of this save.
        if (synced != 0 && error != EINVAL && error != ENOTSUP)
            return errnoFailure(error);
    }
    return {};
}

#endif

} // namespace platform
