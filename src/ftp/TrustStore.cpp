#include "ftp/TrustStore.h"

#include "platform/SafeFileWrite.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace trust {

namespace {
const QString kSection = QStringLiteral("Certificats");
}

QString certificateFingerprint(const QByteArray& der)
{
    const QByteArray hash = QCryptographicHash::hash(der, QCryptographicHash::Sha256);
    return QString::fromLatin1(hash.toHex(':').toUpper());
}

QString hostKeyFingerprint(const QByteArray& blob)
{
    QByteArray base64 = QCryptographicHash::hash(blob, QCryptographicHash::Sha256).toBase64();
    while (base64.endsWith('='))
        base64.chop(1);
    return QStringLiteral("SHA256:") + QString::fromLatin1(base64);
}

QString knownHostsLine(const QString& name, const QByteArray& blob)
{
    // The blob starts with the key type as an SSH string: a 32-bit big-endian length, then text.
    if (blob.size() < 4)
        return QString();
    const quint32 length = (quint32(uchar(blob[0])) << 24) | (quint32(uchar(blob[1])) << 16) |
                           (quint32(uchar(blob[2])) << 8) | quint32(uchar(blob[3]));
    if (length == 0 || length > 64 || qsizetype(length) > blob.size() - 4)
        return QString();
    const QByteArray type = blob.mid(4, qsizetype(length));
    for (const char c : type)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '@' || c == '.'))
            return QString();
    return name + QLatin1Char(' ') + QString::fromLatin1(type) + QLatin1Char(' ') +
           QString::fromLatin1(blob.toBase64());
}

QString pinnedCertificate(const QString& hostPort)
{
    return IniFile(settingsFilePath()).readString(kSection, hostPort).trimmed().toUpper();
}

bool pinCertificate(const QString& hostPort, const QString& fingerprint, QString* error)
{
    IniFile ini(settingsFilePath());
    ini.writeString(kSection, hostPort, fingerprint.toUpper());
    return ini.save(error);
}

QString knownHostsFile()
{
    return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

bool addKnownHost(const QString& line, QString* error, const QString& file)
{
    const QFileInfo info(file);
    QDir folder = info.absoluteDir();
    if (!folder.exists()) {
        if (!QDir().mkpath(folder.absolutePath()) ||
            !QFile::setPermissions(folder.absolutePath(),
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
            if (error)
                *error = QStringLiteral("Cannot create the folder %1").arg(folder.absolutePath());
            return false;
        }
    }
    QByteArray bytes;
    if (info.exists()) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) {
            if (error)
                *error = in.errorString();
            return false;
        }
        bytes = in.readAll();
    }
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += line.toUtf8() + '\n';
    const platform::SafeWriteResult written = platform::writeFileSafely(file, bytes);
    if (!written.ok && error)
        *error = written.error;
    return written.ok;
}

} // namespace trust
