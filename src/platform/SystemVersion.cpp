#include "platform/SystemVersion.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace platform {

SystemVersion parseKernelVersion(const QString& text)
{
    SystemVersion v;
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch m = numbers.match(text);
    if (m.hasMatch()) {
        v.major = m.captured(1).toInt();
        v.minor = m.captured(2).toInt();
        v.build = m.captured(3).toInt();
    }
    return v;
}

SystemVersion currentSystemVersion()
{
    SystemVersion v = parseKernelVersion(QSysInfo::kernelVersion());
    if (QSysInfo::kernelType() == QLatin1String("winnt"))
        v.platformId = 2;
    v.servicePack = QSysInfo::prettyProductName();
    return v;
}

} // namespace platform
