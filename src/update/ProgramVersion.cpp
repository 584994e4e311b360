#include "update/ProgramVersion.h"

#include "ProductInfo.h"
#include "platform/Win1252.h"

#include <QFileInfo>

#ifndef TRESORIN_PRIVATE_BUILD
#define TRESORIN_PRIVATE_BUILD ""
#endif
#ifndef TRESORIN_PRERELEASE
#define TRESORIN_PRERELEASE 0
#endif

VersionInfo CompiledVersion()
{
    VersionInfo v;
    v.fileVersion = QStringLiteral(TRESORIN_VERSION);
    const QStringList parts = v.fileVersion.split(u'.');
    int* numbers[] = {&v.major, &v.minor, &v.release, &v.build};
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        *numbers[i] = parts[i].toInt();
    v.privateBuild = QStringLiteral(TRESORIN_PRIVATE_BUILD);
#ifndef NDEBUG
    v.debug = true;
#endif
    v.prerelease = TRESORIN_PRERELEASE != 0;
    return v;
}

QString ProgramVersionText(const VersionInfo& version)
{
    if (!version.fileVersion.isEmpty())
        return version.fileVersion;
    return QStringLiteral("%1.%2.%3.%4").arg(version.major).arg(version.minor).arg(version.release).arg(version.build);
}

QString VersionLine(const VersionInfo& version, const QDateTime& fileDate, const QLocale& locale)
{
    QString line =
        QStringLiteral("%1.%2.%3 #%4").arg(version.major).arg(version.minor).arg(version.release).arg(version.build);
    if (!version.privateBuild.isEmpty())
        line += u' ' + version.privateBuild;
    if (version.debug)
        line += QStringLiteral("-DBG");
    if (version.prerelease)
        line += QStringLiteral("-PRE");
    const QDate date = fileDate.isValid() ? fileDate.toLocalTime().date() : QDate(1899, 12, 30);
    return line + QStringLiteral(" du ") + locale.toString(date, QLocale::ShortFormat);
}

QDateTime FileDate(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QDateTime();
    return info.lastModified();
}

QString PercentEncode(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = win1252::fromUnicode(text);
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool encoded = b <= 32 || b == '"' || b == '#' || b == '%' || b == '&' || b == '+' || b == '/' ||
                             (b >= 58 && b <= 64) || (b >= 91 && b <= 96) || b >= 123;
        if (encoded) {
            out += u'%';
            out += QLatin1Char(hex[b >> 4]);
            out += QLatin1Char(hex[b & 15]);
        } else {
            out += QLatin1Char(c);
        }
    }
    return out;
}

QString SupportLinkUrl(const QString& versionLine, const platform::SystemVersion& system)
{
    return QString::fromLatin1(kSupportPageUrl) + PercentEncode(versionLine) +
           QStringLiteral("&os=%1.%2.%3 P%4 - ")
               .arg(system.major)
               .arg(system.minor)
               .arg(system.build)
               .arg(system.platformId) +
           PercentEncode(system.servicePack);
}
