#include "support/FullDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {

void applyFileSizeLimit(qint64 limitBytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(limitBytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::optional<QByteArray> runWithFileSizeLimit(qint64 limitBytes, const std::function<QByteArray()>& work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        applyFileSizeLimit(limitBytes);
        const QByteArray answer = work();
        const bool sent = writeAll(fds[1], answer.constData(), static_cast<size_t>(answer.size()));
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray answer;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return answer;
}

void limitFileSize(QProcess& process, qint64 limitBytes)
{
    process.setChildProcessModifier([limitBytes] { applyFileSizeLimit(limitBytes); });
}

ScopedFileSizeLimit::ScopedFileSizeLimit(qint64 limitBytes)
{
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    m_savedUnlimited = saved.rlim_cur == RLIM_INFINITY;
    m_savedLimit = static_cast<qint64>(saved.rlim_cur);
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    applyFileSizeLimit(limitBytes);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_savedUnlimited ? RLIM_INFINITY : static_cast<rlim_t>(m_savedLimit);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_savedHandler);
}

SmallTmpfs::SmallTmpfs(const QString& folder, int kibibytes) : m_folder(folder)
{
    if (::geteuid() != 0) {
        m_failure = QStringLiteral("mounting a tmpfs needs the super-user");
        return;
    }
    if (!QDir().mkpath(folder)) {
        m_failure = QStringLiteral("cannot make ") + folder;
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k,mode=0700";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) !=
        0) {
        m_failure = QStringLiteral("mount: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
}

SmallTmpfs::~SmallTmpfs()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

bool SmallTmpfs::fill() const
{
    const QByteArray path = QFile::encodeName(m_folder + QStringLiteral("/filler"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray block(64 * 1024, '\0');
    int error = 0;
    for (;;) {
        const ssize_t n = ::write(fd, block.constData(), static_cast<size_t>(block.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    return error == ENOSPC;
}

void SmallTmpfs::release() const
{
    QFile::remove(m_folder + QStringLiteral("/filler"));
}

} // namespace testsupport
