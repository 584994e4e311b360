#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// True where every test server must run (the environment has CI=true): a test that cannot start
// its server fails there instead of skipping.
bool serversRequired();

// Servers of the encrypted transports for one test, each on 127.0.0.1 with a free port, its own
// files in a temporary folder, and a self-signed certificate or host key made for it; stopped by
// the destructor. isRunning() is false (error() says why) when the machine cannot run it: the
// test then skips with that text (SERVER_MISSING), it never passes unseen, and fails under CI.
//
// - FtpsServer: ProFTPD with mod_tls (Debian's proftpd-core and proftpd-mod-crypto), explicit TLS
//   required on the control and data connections, run in the foreground. It needs root.
// - RcloneServer: `rclone serve sftp` or `rclone serve webdav` (Debian's rclone), HTTPS with the
//   certificate, or plain HTTP on the loopback.
class SecureServer
{
public:
    virtual ~SecureServer();
    SecureServer(const SecureServer&) = delete;
    SecureServer& operator=(const SecureServer&) = delete;

    bool isRunning() const { return m_port > 0; }
    QString error() const { return m_error; }
    int port() const { return m_port; }
    QString user() const { return QStringLiteral("alice"); }
    QString password() const { return QStringLiteral("s3cret"); }
    // What goes into the server field: "ftps://127.0.0.1:PORT", "sftp://...", "https://...".
    QString address() const { return m_address; }

    // The served folder (the user's home), and files inside it.
    QString root() const { return m_root; }
    bool writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;
    bool exists(const QString& name) const;

    // The certificate's SHA-256 as `openssl x509 -fingerprint -sha256` prints it, or the host
    // key's as `ssh-keygen -l` prints it; and for SSH the known_hosts line.
    QString fingerprint() const { return m_fingerprint; }
    QString knownHostsLine() const { return m_knownHostsLine; }

    // Ends the server at once (a broken connection for a transfer in progress).
    void kill();

protected:
    SecureServer();
    // Starts program with args and waits until the port takes connections.
    bool start(const QString& program, const QStringList& args, const QProcessEnvironment& env);
    // Runs a helper (openssl, ssh-keygen) to its end; its standard output, or a null array.
    QByteArray runTool(const QString& program, const QStringList& args);
    bool makeCertificate();
    QString filePath(const QString& name) const { return m_files.filePath(name); }
    static int freePort();

    QTemporaryDir m_files;
    QString m_root;
    QProcess m_process;
    QString m_error;
    QString m_address;
    QString m_fingerprint;
    QString m_knownHostsLine;
    int m_port = 0;
};

class FtpsServer : public SecureServer
{
public:
    FtpsServer();
};

class RcloneServer : public SecureServer
{
public:
    enum Kind
    {
        Sftp,
        WebDavHttps,
        WebDavHttp
    };
    // authorizedKeys: a file of public keys that may log in without the password (SFTP).
    explicit RcloneServer(Kind kind, const QString& authorizedKeys = QString());
};

// OpenSSH's sshd on a high port with its internal SFTP server, for SFTP 3 behaviour (a rename
// never replaces an existing file). It logs in the user running the tests (root) by the public
// key given, nothing else; paths on it are the machine's own, under root(). It needs root.
class OpenSshServer : public SecureServer
{
public:
    explicit OpenSshServer(const QString& authorizedKeys);
};

} // namespace testsupport

// In a test function whose server (or a tool it needs) is missing: skipped on a developer's
// machine, failed where servers are required (serversRequired()), with why.
#define SERVER_MISSING(why)                                                                                            \
    do {                                                                                                               \
        const QString serverMissingText = (why);                                                                       \
        if (testsupport::serversRequired())                                                                            \
            QFAIL(qPrintable(serverMissingText));                                                                      \
        QSKIP(qPrintable(serverMissingText));                                                                          \
    } while (false)
