#include "support/SecureServers.h"

#include "support/ProcessRunner.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>

#include <sys/types.h>
#include <unistd.h>

namespace testsupport {

bool serversRequired()
{
    return qEnvironmentVariable("CI").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

SecureServer::SecureServer() : m_files(QDir::tempPath() + QStringLiteral("/tresorin-srv-XXXXXX"))
{
    m_root = m_files.filePath(QStringLiteral("home"));
    QDir().mkpath(m_root);
}

SecureServer::~SecureServer()
{
    kill();
}

void SecureServer::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        // The server and the session processes it forked: the whole group it leads.
        const qint64 pid = m_process.processId();
        if (pid > 0)
            ::kill(pid_t(-pid), SIGKILL);
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

int SecureServer::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QByteArray SecureServer::runTool(const QString& program, const QStringList& args)
{
    const ProcessResult r = ProcessRunner(program).timeout(20000).run(args);
    if (r.exitCode != 0) {
        m_error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(r.err);
        return QByteArray();
    }
    return r.out.isNull() ? QByteArray("") : r.out;
}

bool SecureServer::makeCertificate()
{
    if (runTool(QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                 QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                 QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                 QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                 filePath(QStringLiteral("key.pem")), QStringLiteral("-out"), filePath(QStringLiteral("cert.pem"))})
            .isNull())
        return false;
    const QByteArray out =
        runTool(QStringLiteral("openssl"),
                {QStringLiteral("x509"), QStringLiteral("-noout"), QStringLiteral("-fingerprint"),
                 QStringLiteral("-sha256"), QStringLiteral("-in"), filePath(QStringLiteral("cert.pem"))});
    // "sha256 Fingerprint=AB:CD:..."
    const qsizetype equals = out.indexOf('=');
    if (equals < 0)
        return false;
    m_fingerprint = QString::fromLatin1(out.mid(equals + 1).trimmed());
    return true;
}

bool SecureServer::start(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    m_process.setProcessEnvironment(env);
    m_process.setChildProcessModifier([] { ::setsid(); });
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, args);
    if (!m_process.waitForStarted(10000)) {
        m_error = program + QStringLiteral(": ") + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (m_process.state() == QProcess::NotRunning)
            break;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(200))
            return true;
        m_process.waitForReadyRead(100);
    }
    m_error = program + QStringLiteral(" did not start: ") + QString::fromLocal8Bit(m_process.readAll());
    kill();
    m_port = 0;
    return false;
}

bool SecureServer::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = m_root + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray SecureServer::readFile(const QString& name) const
{
    QFile file(m_root + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SecureServer::exists(const QString& name) const
{
    return QFileInfo::exists(m_root + QLatin1Char('/') + name);
}

FtpsServer::FtpsServer()
{
    const QString proftpd = QStandardPaths::findExecutable(QStringLiteral("proftpd"), {QStringLiteral("/usr/sbin")});
    if (proftpd.isEmpty() || !QFileInfo::exists(QStringLiteral("/usr/lib/proftpd/mod_tls.so"))) {
        m_error = QStringLiteral("ProFTPD with mod_tls is not installed (proftpd-core, proftpd-mod-crypto)");
        return;
    }
    // ProFTPD switches to the user of the session: running it as anyone else than root fails.
    if (geteuid() != 0) {
        m_error = QStringLiteral("ProFTPD needs root to serve sessions");
        return;
    }
    if (!makeCertificate())
        return;
    const QByteArray hash =
        runTool(QStringLiteral("openssl"), {QStringLiteral("passwd"), QStringLiteral("-1"), password()});
    if (hash.isNull())
        return;
    {
        QFile users(filePath(QStringLiteral("passwd")));
        if (!users.open(QIODevice::WriteOnly))
            return;
        users.write(user().toUtf8() + ':' + hash.trimmed() + ":0:0::" + QFile::encodeName(m_root) + ":/bin/false\n");
        // ProFTPD refuses a user file that others can read.
        users.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    m_port = freePort();
    const int passive = 30000 + (m_port % 20000);
    QFile conf(filePath(QStringLiteral("proftpd.conf")));
    if (!conf.open(QIODevice::WriteOnly)) {
        m_port = 0;
        return;
    }
    const QString f = m_files.path();
    conf.write(QStringLiteral("ServerName \"tresorin-test\"\n"
                              "ServerType standalone\n"
                              "DefaultServer on\n"
                              "Port %1\n"
                              "PassivePorts %2 %3\n"
                              "DefaultAddress 127.0.0.1\n"
                              "UseIPv6 off\n"
                              "User root\n"
                              "Group root\n"
                              "PidFile %4/proftpd.pid\n"
                              "ScoreboardFile %4/scoreboard\n"
                              "DelayTable none\n"
                              "WtmpLog off\n"
                              "UseReverseDNS off\n"
                              "AuthOrder mod_auth_file.c\n"
                              "AuthUserFile %4/passwd\n"
                              "RequireValidShell off\n"
                              "RootLogin on\n"
                              "DefaultRoot ~\n"
                              "AllowOverwrite on\n"
                              "LoadModule mod_tls.c\n"
                              "TLSEngine on\n"
                              "TLSRequired on\n"
                              "TLSProtocol TLSv1.2 TLSv1.3\n"
                              "TLSRSACertificateFile %4/cert.pem\n"
                              "TLSRSACertificateKeyFile %4/key.pem\n"
                              "TLSOptions NoSessionReuseRequired\n"
                              "SystemLog %4/system.log\n")
                   .arg(m_port)
                   .arg(passive)
                   .arg(passive + 40)
                   .arg(f)
                   .toUtf8());
    conf.close();
    m_address = QStringLiteral("ftps://127.0.0.1:%1").arg(m_port);
    start(proftpd, {QStringLiteral("-n"), QStringLiteral("-q"), QStringLiteral("-c"), conf.fileName()},
          QProcessEnvironment::systemEnvironment());
}

namespace {

// The host key's fingerprint and known_hosts line, from its public half.
bool describeHostKey(const QByteArray& listed, const QString& publicKey, int port, QString& fingerprint, QString& line)
{
    const QList<QByteArray> fields = listed.split(' ');
    QFile pub(publicKey);
    if (fields.size() < 2 || !pub.open(QIODevice::ReadOnly))
        return false;
    fingerprint = QString::fromLatin1(fields[1]);
    const QList<QByteArray> pubFields = pub.readAll().trimmed().split(' ');
    line = QStringLiteral("[127.0.0.1]:%1 ").arg(port) + QString::fromLatin1(pubFields.value(0)) + QLatin1Char(' ') +
           QString::fromLatin1(pubFields.value(1));
    return true;
}

} // namespace

OpenSshServer::OpenSshServer(const QString& authorizedKeys)
{
    const QString sshd = QStringLiteral("/usr/sbin/sshd");
    if (!QFileInfo(sshd).isExecutable()) {
        m_error = QStringLiteral("OpenSSH's sshd is not installed (openssh-server)");
        return;
    }
    if (geteuid() != 0) {
        m_error = QStringLiteral("sshd needs root");
        return;
    }
    // sshd insists on its privilege separation folder.
    QDir().mkpath(QStringLiteral("/run/sshd"));
    const QString key = filePath(QStringLiteral("hostkey"));
    if (runTool(QStringLiteral("ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                                               QStringLiteral("-N"), QString(), QStringLiteral("-f"), key})
            .isNull())
        return;
    m_port = freePort();
    const QByteArray listed = runTool(QStringLiteral("ssh-keygen"),
                                      {QStringLiteral("-l"), QStringLiteral("-f"), key + QStringLiteral(".pub")});
    if (!describeHostKey(listed, key + QStringLiteral(".pub"), m_port, m_fingerprint, m_knownHostsLine)) {
        m_port = 0;
        return;
    }
    QFile conf(filePath(QStringLiteral("sshd_config")));
    if (!conf.open(QIODevice::WriteOnly)) {
        m_port = 0;
        return;
    }
    conf.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3\nAuthorizedKeysFile %4\n"
                              "PermitRootLogin prohibit-password\nPasswordAuthentication no\n"
                              "KbdInteractiveAuthentication no\nStrictModes no\nUsePAM no\n"
                              "Subsystem sftp internal-sftp\n")
                   .arg(m_port)
                   .arg(key, filePath(QStringLiteral("sshd.pid")), authorizedKeys)
                   .toUtf8());
    conf.close();
    m_address = QStringLiteral("sftp://127.0.0.1:%1").arg(m_port);
    start(sshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), conf.fileName()},
          QProcessEnvironment::systemEnvironment());
}

RcloneServer::RcloneServer(Kind kind, const QString& authorizedKeys)
{
    const QString rclone = QStandardPaths::findExecutable(QStringLiteral("rclone"));
    if (rclone.isEmpty()) {
        m_error = QStringLiteral("rclone is not installed");
        return;
    }
    m_port = freePort();
    const QString listen = QStringLiteral("127.0.0.1:%1").arg(m_port);
    // The files are changed behind the server's back by the tests: no cache of the folder.
    QStringList args{QStringLiteral("serve"),
                     kind == Sftp ? QStringLiteral("sftp") : QStringLiteral("webdav"),
                     m_root,
                     QStringLiteral("--addr"),
                     listen,
                     QStringLiteral("--user"),
                     user(),
                     QStringLiteral("--pass"),
                     password(),
                     QStringLiteral("--dir-cache-time"),
                     QStringLiteral("0s"),
                     QStringLiteral("--config"),
                     filePath(QStringLiteral("rclone.conf"))};
    if (kind == Sftp) {
        const QString key = filePath(QStringLiteral("hostkey"));
        if (runTool(QStringLiteral("ssh-keygen"),
                    {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                     QString(), QStringLiteral("-f"), key})
                .isNull()) {
            m_port = 0;
            return;
        }
        const QByteArray listed = runTool(QStringLiteral("ssh-keygen"),
                                          {QStringLiteral("-l"), QStringLiteral("-f"), key + QStringLiteral(".pub")});
        const QList<QByteArray> fields = listed.split(' ');
        QFile pub(key + QStringLiteral(".pub"));
        if (fields.size() < 2 || !pub.open(QIODevice::ReadOnly)) {
            m_port = 0;
            return;
        }
        m_fingerprint = QString::fromLatin1(fields[1]);
        const QList<QByteArray> pubFields = pub.readAll().trimmed().split(' ');
        m_knownHostsLine = QStringLiteral("[127.0.0.1]:%1 ").arg(m_port) + QString::fromLatin1(pubFields.value(0)) +
                           QLatin1Char(' ') + QString::fromLatin1(pubFields.value(1));
        args << QStringLiteral("--key") << key;
        // Only the keys the test names: never those of whoever runs the tests.
        QString keys = authorizedKeys;
        if (keys.isEmpty()) {
            keys = filePath(QStringLiteral("authorized_keys"));
            QFile none(keys);
            none.open(QIODevice::WriteOnly);
        }
        args << QStringLiteral("--authorized-keys") << keys;
        m_address = QStringLiteral("sftp://127.0.0.1:%1").arg(m_port);
    } else if (kind == WebDavHttps) {
        if (!makeCertificate()) {
            m_port = 0;
            return;
        }
        args << QStringLiteral("--cert") << filePath(QStringLiteral("cert.pem")) << QStringLiteral("--key")
             << filePath(QStringLiteral("key.pem"));
        m_address = QStringLiteral("https://127.0.0.1:%1").arg(m_port);
    } else {
        m_address = QStringLiteral("http://127.0.0.1:%1").arg(m_port);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SSH_AUTH_SOCK"));
    start(rclone, args, env);
}

} // namespace testsupport
