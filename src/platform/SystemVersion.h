#pragma once

#include <QString>

namespace platform {

// The running system's version, as the support page asks for it.
struct SystemVersion
{
    int major = 0;
    int minor = 0;
    int build = 0;
    int platformId = 0;  // 2 for a Windows NT kernel, 0 elsewhere
    QString servicePack; // the system's own description of itself beyond the numbers; may be empty
};

// Windows gives its own version numbers; elsewhere the kernel's release ("6.1.0-13-amd64" gives
// 6, 1, 0) and the distribution's name stand in.
SystemVersion currentSystemVersion();

// The first three numbers of a version text such as "6.1.0-13-amd64"; missing ones are 0.
SystemVersion parseKernelVersion(const QString& text);

} // namespace platform
