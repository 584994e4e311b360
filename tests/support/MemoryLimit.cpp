#include "support/MemoryLimit.h"

#include <QFile>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <new>

namespace testsupport {

namespace {
const bool g_allocatorSet = [] {
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    return true;
}();
} // namespace

qint64 currentAddressSpace()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    // Files of /proc report a size of 0: read until the end rather than up to the size.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

int runWithAddressSpaceHeadroom(qint64 headroom, const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid < 0)
        return -1000;
    if (pid == 0) {
        // The test framework's crash handlers are not meant for a forked copy: an abort here is
        // the verdict, reported through the exit status.
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
            signal(sig, SIG_DFL);
        const qint64 now = currentAddressSpace();
        if (now < 0)
            _exit(250);
        const rlimit limit{rlim_t(now + headroom), rlim_t(now + headroom)};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(251);
        // _exit: the child must not run the parent's exit handlers or flush its buffers. Nor may an
        // exception leave body: the test framework would catch it and go on in the child.
        int verdict = 253;
        try {
            verdict = body() & 0xFF;
        } catch (const std::bad_alloc&) {
            verdict = 252;
        } catch (...) {
            verdict = 253;
        }
        _exit(verdict);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1000;
    if (WIFSIGNALED(status))
        return -WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
}

} // namespace testsupport
