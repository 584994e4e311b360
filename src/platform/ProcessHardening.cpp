#include "platform/ProcessHardening.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

void KeepSecretsInProcess()
{
#if defined(Q_OS_LINUX)
    // Not dumpable: no core file, and /proc/PID/mem and ptrace are closed to the user's other
    // processes (only root may still look).
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // Also for a core handler that pipes dumps elsewhere, which the dumpable flag does not stop.
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#endif
}
