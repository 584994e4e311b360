#include "support/FtpServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace testsupport {

FtpServer::FtpServer(const QString& user, const QString& password, const QString& fault)
    : m_root(QDir::tempPath() + QStringLiteral("/tresorin-ftp-XXXXXX")), m_user(user), m_password(password)
{
    QStringList args{QStringLiteral(TRESORIN_TEST_DATA "/ftp/ftp_server.py"), QStringLiteral("--root"), m_root.path()};
    if (!user.isEmpty())
        args << QStringLiteral("--user") << user << QStringLiteral("--password") << password;
    if (!fault.isEmpty())
        args << QStringLiteral("--fault") << fault;
    args << QStringLiteral("--log") << m_logDir.filePath(QStringLiteral("commands.log"));
    // Debian's interpreter: a python3 found first on PATH may not see Debian's packages.
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return;
    }
    QByteArray out;
    while (!out.contains('\n') && m_process.waitForReadyRead(10000))
        out += m_process.readAllStandardOutput();
    if (!out.startsWith("PORT ")) {
        m_error = QString::fromLocal8Bit(out + m_process.readAllStandardError());
        return;
    }
    m_port = out.mid(5).trimmed().toInt();
}

FtpServer::~FtpServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool FtpServer::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = m_root.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray FtpServer::readFile(const QString& name) const
{
    QFile file(m_root.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FtpServer::commandLog() const
{
    QFile file(m_logDir.filePath(QStringLiteral("commands.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool FtpServer::exists(const QString& name) const
{
    return QFileInfo::exists(m_root.filePath(name));
}

} // namespace testsupport
