#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A real FTP server for one test: pyftpdlib (Debian's python3-pyftpdlib, run by /usr/bin/python3)
// on 127.0.0.1 with a free port, serving a temporary root folder. An empty user serves
// anonymous logins. `fault` makes one part of the protocol fail (see tests/data/ftp/ftp_server.py):
// "refuse-rename", "drop-download", "short-download", "endless-download", "drop-upload", "silent", "bad-passive".
class FtpServer
{
public:
    explicit FtpServer(const QString& user = QStringLiteral("alice"),
                       const QString& password = QStringLiteral("s3cret"), const QString& fault = QString());
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // False when the server could not be started (the reason in error()).
    bool isRunning() const { return m_port > 0; }
    QString error() const { return m_error; }
    int port() const { return m_port; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }

    // The served folder, and files inside it (name may hold "/").
    QString root() const { return m_root.path(); }
    bool writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;
    bool exists(const QString& name) const;
    // Every command line the server has received so far, in order.
    QStringList commandLog() const;

private:
    QTemporaryDir m_root;
    QTemporaryDir m_logDir; // outside the served folder, so no client can read or change the log
    QProcess m_process;
    QString m_user;
    QString m_password;
    QString m_error;
    int m_port = 0;
};

} // namespace testsupport
