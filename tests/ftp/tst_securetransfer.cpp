// The transfer worker over the encrypted transports, against real servers on 127.0.0.1: FTPS
// (ProFTPD with mod_tls), SFTP and WebDAV over HTTPS (rclone), and WebDAV over plain HTTP on the
// loopback. Each transport: the first contact with a certificate or host key nobody trusted yet
// is refused with its fingerprint (as openssl and ssh-keygen print it); once trusted, open, save
// over an existing copy (temporary name then rename), and the beginning of a copy for its header;
// a changed certificate or host key is refused; an upload broken off leaves the old copy whole.
// Then what makes synchronisation safe: the probe of a copy by range requests, uploads under a
// temporary name of their own read back after the replacement, two uploads racing, the size cap.

#include "document/DocumentFile.h"
#include "ftp/TFileFTP.h"
#include "ftp/Transport.h"
#include "ftp/TrustStore.h"
#include "lang/LangTable.h"
#include "support/ProcessRunner.h"
#include "support/SecureServers.h"
#include "support/TempFolder.h"
#include "support/TransferRunner.h"

#include <QDirIterator>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using testsupport::FtpsServer;
using testsupport::RcloneServer;
using testsupport::SecureServer;

namespace {

enum class Kind
{
    Ftps,
    Sftp,
    WebDavHttps,
    WebDavHttp
};

std::unique_ptr<SecureServer> startServer(Kind kind, const QString& authorizedKeys = QString())
{
    switch (kind) {
    case Kind::Ftps:
        return std::make_unique<FtpsServer>();
    case Kind::Sftp:
        return std::make_unique<RcloneServer>(RcloneServer::Sftp, authorizedKeys);
    case Kind::WebDavHttps:
        return std::make_unique<RcloneServer>(RcloneServer::WebDavHttps);
    case Kind::WebDavHttp:
        return std::make_unique<RcloneServer>(RcloneServer::WebDavHttp);
    }
    return nullptr;
}

// A key pair without passphrase at key and key.pub; false when ssh-keygen could not make it.
bool makeKey(const QString& key)
{
    return testsupport::ProcessRunner(QStringLiteral("ssh-keygen"))
               .timeout(20000)
               .run({QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                     QString(), QStringLiteral("-f"), key})
               .exitCode == 0;
}

QByteArray payload(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

using Outcome = testsupport::TransferOutcome;

Outcome run(TFileFTP* worker, const std::function<void(int)>& onProgress = {})
{
    return testsupport::runTransfer(worker, onProgress);
}

// Files of the served folder (and below it) other than the given ones: temporary files left behind.
QStringList strayFiles(const SecureServer& server, const QStringList& expected)
{
    QStringList stray;
    QDirIterator it(server.root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QDir(server.root()).relativeFilePath(it.next());
        if (!expected.contains(name))
            stray << name;
    }
    return stray;
}

} // namespace

class TestSecureTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void addresses_data();
    void addresses();
    void fingerprintsAndKnownHostsLines();
    void openSaveAndRename_data();
    void openSaveAndRename();
    void changedIdentityRefused_data();
    void changedIdentityRefused();
    void brokenUploadLeavesTheCopyWhole_data();
    void brokenUploadLeavesTheCopyWhole();
    void sftpWithTheUsersKey();
    void sftpRenameOverAnExistingCopyOnOpenSsh();
    void plainFtpStaysAsItWas();
    void probeAndVerifiedUpload_data();
    void probeAndVerifiedUpload();
    void racingUploads_data();
    void racingUploads();
    void sizeCap_data();
    void sizeCap();

private:
    // A server of that kind, running and trusted, into server and p; false when it could not start.
    bool startTrusted(Kind kind, std::unique_ptr<SecureServer>& server, TFileFTP::Parameters& p, const QString& path);

    TFileFTP::Parameters params(const SecureServer& server, const QString& path) const;
    // Makes the server trusted the way the program does after the user said yes.
    void trustServer(const SecureServer& server, TFileFTP::Parameters& p) const;

    testsupport::TempFolder m_home;
};

void TestSecureTransfer::initTestCase()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    QVERIFY(WinInetAvailable());
    TFileFTP::setTimeouts({5000, 5000, 5});
    // Keys and known_hosts of whoever runs the tests stay out of it.
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qunsetenv("SSH_AUTH_SOCK");
}

TFileFTP::Parameters TestSecureTransfer::params(const SecureServer& server, const QString& path) const
{
    TFileFTP::Parameters p;
    p.ServerName = server.address();
    p.PortNumber = 21;
    p.PassiveMode = true;
    p.RemotePath = path;
    p.UserName = server.user();
    p.UserPassword = server.password();
    p.KnownHostsPath = m_home.filePath(QStringLiteral(".ssh/known_hosts"));
    return p;
}

void TestSecureTransfer::trustServer(const SecureServer& server, TFileFTP::Parameters& p) const
{
    if (server.address().startsWith(QLatin1String("sftp"))) {
        QVERIFY(trust::addKnownHost(server.knownHostsLine(), nullptr, p.KnownHostsPath));
    } else {
        p.CertificatePin = server.fingerprint();
    }
}

void TestSecureTransfer::addresses_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("portField");
    QTest::addColumn<int>("transport");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("valid");
    QTest::newRow("bare host is FTP") << "files.example" << 2121 << int(Transport::Ftp) << "files.example" << 2121 << ""
                                      << true;
    QTest::newRow("FTP port 0 is 21") << "files.example" << 0 << int(Transport::Ftp) << "files.example" << 21 << ""
                                      << true;
    QTest::newRow("ftps default port") << "ftps://h" << 21 << int(Transport::Ftps) << "h" << 21 << "" << true;
    QTest::newRow("sftp takes 22 for 21") << "SFTP://h" << 21 << int(Transport::Sftp) << "h" << 22 << "" << true;
    QTest::newRow("sftp keeps another port field")
        << "sftp://h" << 2222 << int(Transport::Sftp) << "h" << 2222 << "" << true;
    QTest::newRow("port in the address wins")
        << "sftp://h:2200" << 2222 << int(Transport::Sftp) << "h" << 2200 << "" << true;
    QTest::newRow("https with folder") << "https://dav.example/remote.php/dav/" << 21 << int(Transport::WebDav)
                                       << "dav.example" << 443 << "remote.php/dav" << true;
    QTest::newRow("ipv6") << "https://[::1]:8443" << 21 << int(Transport::WebDav) << "::1" << 8443 << "" << true;
    QTest::newRow("http on the loopback")
        << "http://127.0.0.1:8080" << 21 << int(Transport::WebDavPlain) << "127.0.0.1" << 8080 << "" << true;
    QTest::newRow("http to another machine refused")
        << "http://dav.example" << 21 << int(Transport::WebDavPlain) << "dav.example" << 80 << "" << false;
    QTest::newRow("user in the address refused")
        << "sftp://bob@h" << 21 << int(Transport::Sftp) << "bob@h" << 22 << "" << false;
    QTest::newRow("port not a number") << "ftps://h:ftp" << 21 << int(Transport::Ftps) << "h" << 21 << "" << false;
    QTest::newRow("port too large") << "ftps://h:70000" << 21 << int(Transport::Ftps) << "h" << 21 << "" << false;
}

void TestSecureTransfer::addresses()
{
    QFETCH(QString, server);
    QFETCH(int, portField);
    const ServerAddress a = ParseServerAddress(server, portField);
    QTEST(a.valid, "valid");
    QTEST(int(a.transport), "transport");
    if (!a.valid)
        return;
    QTEST(a.host, "host");
    QTEST(int(a.port), "port");
    QTEST(a.folder, "folder");
}

void TestSecureTransfer::fingerprintsAndKnownHostsLines()
{
    // An SSH string "ssh-ed25519" then 32 key bytes, as a server sends its key.
    QByteArray blob =
        QByteArray::fromHex("0000000b") + "ssh-ed25519" + QByteArray::fromHex("00000020") + QByteArray(32, '\x11');
    QCOMPARE(trust::knownHostsLine(QStringLiteral("[h]:2222"), blob),
             QStringLiteral("[h]:2222 ssh-ed25519 ") + QString::fromLatin1(blob.toBase64()));
    QVERIFY(trust::hostKeyFingerprint(blob).startsWith(QLatin1String("SHA256:")));
    QVERIFY(!trust::hostKeyFingerprint(blob).endsWith(QLatin1Char('=')));
    // A blob that does not start with a key type gives no line to add.
    QVERIFY(trust::knownHostsLine(QStringLiteral("h"), QByteArray::fromHex("ffffffff00")).isEmpty());
    QCOMPARE(trust::certificateFingerprint(QByteArray("x")).size(), 32 * 3 - 1);

    // A line is added after the existing ones, which stay byte for byte.
    const QString file = m_home.filePath(QStringLiteral("kh/known_hosts"));
    QVERIFY(m_home.writeFile(QStringLiteral("kh/known_hosts"), "|1|hashed= ssh-rsa AAAA"));
    QVERIFY(trust::addKnownHost(QStringLiteral("h ssh-ed25519 BBBB"), nullptr, file));
    QCOMPARE(m_home.readFile(QStringLiteral("kh/known_hosts")),
             QByteArray("|1|hashed= ssh-rsa AAAA\nh ssh-ed25519 BBBB\n"));
}

void TestSecureTransfer::openSaveAndRename_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("FTPS") << int(Kind::Ftps);
    QTest::newRow("SFTP") << int(Kind::Sftp);
    QTest::newRow("WebDAV HTTPS") << int(Kind::WebDavHttps);
    QTest::newRow("WebDAV HTTP loopback") << int(Kind::WebDavHttp);
}

void TestSecureTransfer::openSaveAndRename()
{
    QFETCH(int, kind);
    const auto server = startServer(Kind(kind));
    if (!server->isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    QVERIFY(server->writeFile(QStringLiteral("backup/codes.pass"), "old copy"));
    TFileFTP::Parameters p = params(*server, QStringLiteral("backup/codes.pass"));

    if (Kind(kind) != Kind::WebDavHttp) {
        // Nobody trusted this server yet: refused before the login, with what the user must check.
        const Outcome refused = run(TFileFTP::CreateForDialog(p, true));
        QVERIFY(refused.done);
        const bool ssh = Kind(kind) == Kind::Sftp;
        QCOMPARE(int(refused.trust.kind), int(ssh ? TrustProblem::UnknownHostKey : TrustProblem::UnknownCertificate));
        QCOMPARE(refused.trust.fingerprint, server->fingerprint());
        QVERIFY(refused.error.contains(server->fingerprint()));
        QVERIFY(refused.data.isEmpty());
        if (ssh)
            QCOMPARE(refused.trust.knownHostLine, server->knownHostsLine());
        else
            QCOMPARE(refused.trust.hostPort, QStringLiteral("127.0.0.1:%1").arg(server->port()));
        trustServer(*server, p);
    }

    // Open: the whole copy.
    const Outcome opened = run(TFileFTP::CreateForDialog(p, true));
    QVERIFY(opened.done);
    QCOMPARE(opened.error, QString());
    QCOMPARE(opened.data, QByteArray("old copy"));

    // Save over it: under the temporary name, then renamed over the old copy.
    const QByteArray document = payload(70000);
    const Outcome saved = run(TFileFTP::CreateForDialog(p, false, document));
    QVERIFY(saved.done);
    QCOMPARE(saved.error, QString());
    QCOMPARE(server->readFile(QStringLiteral("backup/codes.pass")), document);
    QVERIFY(!server->exists(QStringLiteral("backup/codes.tmp")));
    QVERIFY(!server->exists(QStringLiteral("backup/codes.pass.old")));

    // The header check reads the beginning only; a missing copy is no failure there.
    const Outcome head = run(TFileFTP::CreateForHead(p));
    QCOMPARE(head.error, QString());
    QVERIFY(!head.missing);
    QCOMPARE(head.data, document.left(TFileFTP::HeadLength));
    p.RemotePath = QStringLiteral("backup/none.pass");
    const Outcome missing = run(TFileFTP::CreateForHead(p));
    QCOMPARE(missing.error, QString());
    QVERIFY(missing.missing);

    // A download of a missing copy names the file.
    const Outcome notThere = run(TFileFTP::CreateForDialog(p, true));
    QVERIFY(notThere.error.startsWith(QStringLiteral("Error accessing 'backup/none.pass'")));

    // A wrong password is a refused connection, and never shown back.
    p.RemotePath = QStringLiteral("backup/codes.pass");
    p.UserPassword = QStringLiteral("wrong-password");
    const Outcome denied = run(TFileFTP::CreateForDialog(p, true));
    QVERIFY2(denied.error.startsWith(QStringLiteral("Error connecting server '%1'").arg(server->address())),
             qPrintable(denied.error));
    QVERIFY(!denied.error.contains(QLatin1String("wrong-password")));
}

void TestSecureTransfer::changedIdentityRefused_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("FTPS") << int(Kind::Ftps);
    QTest::newRow("SFTP") << int(Kind::Sftp);
    QTest::newRow("WebDAV HTTPS") << int(Kind::WebDavHttps);
}

void TestSecureTransfer::changedIdentityRefused()
{
    QFETCH(int, kind);
    const auto server = startServer(Kind(kind));
    if (!server->isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    QVERIFY(server->writeFile(QStringLiteral("codes.pass"), "copy"));
    TFileFTP::Parameters p = params(*server, QStringLiteral("codes.pass"));
    // Another fingerprint: the first byte changed (each start makes a new certificate, whose own
    // first byte may be AA, so the replacement depends on it).
    const QString real = server->fingerprint();
    const QString other =
        (real.startsWith(QLatin1String("AA:")) ? QStringLiteral("BB:") : QStringLiteral("AA:")) + real.mid(3);
    QVERIFY(other != real);
    if (Kind(kind) == Kind::Sftp) {
        // known_hosts holds another key for this host and port.
        QVERIFY(
            trust::addKnownHost(QStringLiteral("[127.0.0.1]:%1 ssh-ed25519 "
                                               "AAAAC3NzaC1lZDI1NTE5AAAAIMlyOy4/EB38+coo5nHd2hf5Swb9rqA/9RE5ZyyQr0tw")
                                    .arg(server->port()),
                                nullptr, p.KnownHostsPath));
    } else {
        p.CertificatePin = other;
    }
    const Outcome refused = run(TFileFTP::CreateForDialog(p, true));
    QVERIFY(refused.done);
    QVERIFY(refused.data.isEmpty());
    QCOMPARE(int(refused.trust.kind),
             int(Kind(kind) == Kind::Sftp ? TrustProblem::ChangedHostKey : TrustProblem::ChangedCertificate));
    QCOMPARE(refused.trust.fingerprint, server->fingerprint());
    QVERIFY(refused.error.contains(server->fingerprint()));
    if (Kind(kind) != Kind::Sftp)
        QCOMPARE(refused.trust.pinned, other);
    // Nothing was uploaded either.
    const Outcome upload = run(TFileFTP::CreateForDialog(p, false, "new"));
    QVERIFY(upload.trust.kind != TrustProblem::None);
    QCOMPARE(server->readFile(QStringLiteral("codes.pass")), QByteArray("copy"));
}

void TestSecureTransfer::brokenUploadLeavesTheCopyWhole_data()
{
    openSaveAndRename_data();
}

void TestSecureTransfer::brokenUploadLeavesTheCopyWhole()
{
    QFETCH(int, kind);
    auto server = startServer(Kind(kind));
    if (!server->isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    QVERIFY(server->writeFile(QStringLiteral("codes.pass"), "the copy before"));
    TFileFTP::Parameters p = params(*server, QStringLiteral("codes.pass"));
    if (Kind(kind) != Kind::WebDavHttp)
        trustServer(*server, p);

    // The server goes away in the middle of the upload.
    bool killed = false;
    const Outcome broken = run(TFileFTP::CreateForDialog(p, false, payload(8 * 1024 * 1024)), [&](int done) {
        if (!killed && done > 256 * 1024) {
            killed = true;
            server->kill();
        }
    });
    QVERIFY(broken.done);
    QVERIFY(killed);
    QVERIFY2(!broken.error.isEmpty(), "a broken upload must not pass for a success");
    QCOMPARE(server->readFile(QStringLiteral("codes.pass")), QByteArray("the copy before"));
}

void TestSecureTransfer::sftpWithTheUsersKey()
{
    // The user's own key in ~/.ssh, and no password.
    const QString key = m_home.filePath(QStringLiteral(".ssh/id_ed25519"));
    QDir().mkpath(QFileInfo(key).absolutePath());
    if (!makeKey(key))
        SERVER_MISSING(QStringLiteral("ssh-keygen could not make a key"));
    const auto server = startServer(Kind::Sftp, key + QStringLiteral(".pub"));
    if (!server->isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    QVERIFY(server->writeFile(QStringLiteral("codes.pass"), "by key"));
    TFileFTP::Parameters p = params(*server, QStringLiteral("codes.pass"));
    trustServer(*server, p);
    p.UserPassword.clear();
    const Outcome opened = run(TFileFTP::CreateForDialog(p, true));
    QFile::remove(key);
    QFile::remove(key + QStringLiteral(".pub"));
    QCOMPARE(opened.error, QString());
    QCOMPARE(opened.data, QByteArray("by key"));
}

void TestSecureTransfer::sftpRenameOverAnExistingCopyOnOpenSsh()
{
    // OpenSSH speaks SFTP 3, whose rename refuses an existing target: the old copy steps aside
    // for the moment of the rename, and nothing is left behind.
    const QString key = m_home.filePath(QStringLiteral(".ssh/id_ed25519"));
    QDir().mkpath(QFileInfo(key).absolutePath());
    if (!makeKey(key))
        SERVER_MISSING(QStringLiteral("ssh-keygen could not make a key"));
    testsupport::OpenSshServer server(key + QStringLiteral(".pub"));
    if (!server.isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server.error());
    QVERIFY(server.writeFile(QStringLiteral("codes.pass"), "old copy"));
    TFileFTP::Parameters p = params(server, server.root() + QStringLiteral("/codes.pass"));
    p.UserName = QStringLiteral("root");
    p.UserPassword.clear();
    trustServer(server, p);
    for (int round = 0; round < 2; ++round) {
        const QByteArray document = payload(5000 + round);
        const Outcome saved = run(TFileFTP::CreateForDialog(p, false, document));
        QCOMPARE(saved.error, QString());
        QCOMPARE(server.readFile(QStringLiteral("codes.pass")), document);
        QVERIFY(!server.exists(QStringLiteral("codes.tmp")));
        QVERIFY(!server.exists(QStringLiteral("codes.pass.old")));
    }
    QFile::remove(key);
    QFile::remove(key + QStringLiteral(".pub"));
}

void TestSecureTransfer::plainFtpStaysAsItWas()
{
    // A bare host name: plain FTP, no TLS, nothing to trust, the port field as it is.
    const ServerAddress a = ParseServerAddress(QStringLiteral("127.0.0.1"), 70000);
    QCOMPARE(int(a.transport), int(Transport::Ftp));
    QCOMPARE(int(a.port), 70000 & 0xFFFF);
    QVERIFY(TransportIsPlain(a.transport));
}

bool TestSecureTransfer::startTrusted(Kind kind, std::unique_ptr<SecureServer>& server, TFileFTP::Parameters& p,
                                      const QString& path)
{
    server = startServer(kind);
    if (!server->isRunning())
        return false;
    p = params(*server, path);
    if (kind != Kind::WebDavHttp)
        trustServer(*server, p);
    return true;
}

void TestSecureTransfer::probeAndVerifiedUpload_data()
{
    openSaveAndRename_data();
}

// Each copy is uploaded through the server (under a name of its own, then read back), then probed:
// its size and both ends, by range requests, never the whole copy.
void TestSecureTransfer::probeAndVerifiedUpload()
{
    QFETCH(int, kind);
    std::unique_ptr<SecureServer> server;
    TFileFTP::Parameters p;
    if (!startTrusted(Kind(kind), server, p, QString()))
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    const int edge = RemoteProbe::EdgeLength;
    QStringList names;
    QStringList temporaries;
    for (const int size : {0, 100, edge, edge + 1, 300000}) {
        const QString name = QStringLiteral("codes%1.pass").arg(size);
        names << name;
        p.RemotePath = name;
        const QByteArray bytes = payload(size);
        const Outcome saved = run(TFileFTP::CreateForDialog(p, false, bytes));
        QCOMPARE(saved.error, QString());
        QVERIFY(saved.verified);
        QVERIFY(!saved.replacedMeanwhile);
        QVERIFY(saved.probe.equals(probeOf(bytes)));
        QVERIFY2(QRegularExpression(QStringLiteral("^codes%1\\.pass\\.[0-9a-f]{16}\\.tmp$").arg(size))
                     .match(saved.temporaryName)
                     .hasMatch(),
                 qPrintable(saved.temporaryName));
        temporaries << saved.temporaryName;
        QCOMPARE(server->readFile(name), bytes);

        const Outcome probed = run(TFileFTP::CreateForProbe(p));
        QCOMPARE(probed.error, QString());
        QVERIFY(!probed.missing);
        QVERIFY(probed.probe.equals(probeOf(bytes)));
        QVERIFY2(probed.bytesDone <= 2 * edge, qPrintable(QString::number(probed.bytesDone)));
        QVERIFY(probed.data.isEmpty());
    }
    // Every upload had a temporary name of its own, and none is left behind.
    temporaries.removeDuplicates();
    QCOMPARE(temporaries.size(), 5);
    QCOMPARE(strayFiles(*server, names), QStringList());

    p.RemotePath = QStringLiteral("backup/none.pass");
    const Outcome missing = run(TFileFTP::CreateForProbe(p));
    QCOMPARE(missing.error, QString());
    QVERIFY(missing.missing);
    QVERIFY(missing.probe.missing);
}

void TestSecureTransfer::racingUploads_data()
{
    openSaveAndRename_data();
}

// Two computers save at the same moment, each under a temporary name of its own: the copy on the
// server is whole (one of the two, byte for byte), and an upload is told verified only when its
// bytes are the ones there. Rounds where both replacements come before either read-back, and
// rounds left to the threads.
void TestSecureTransfer::racingUploads()
{
    QFETCH(int, kind);
    std::unique_ptr<SecureServer> server;
    TFileFTP::Parameters p;
    if (!startTrusted(Kind(kind), server, p, QStringLiteral("codes.pass")))
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    QByteArray held = payload(50000);
    QCOMPARE(run(TFileFTP::CreateForDialog(p, false, held)).error, QString());
    for (int round = 0; round < 3; ++round) {
        const bool meet = round < 2;
        const QByteArray sent[2] = {payload(200000), payload(200000)};
        const auto race = testsupport::raceUploads(p, sent[0], sent[1], meet);
        QVERIFY(race[0].done && race[1].done);
        const QByteArray now = server->readFile(QStringLiteral("codes.pass"));
        QVERIFY2(now == sent[0] || now == sent[1], "the copy on the server is not one of the two uploaded");
        QVERIFY(race[0].temporaryName != race[1].temporaryName);
        int verified = 0;
        for (int i = 0; i < 2; ++i) {
            QVERIFY(race[i].verified || race[i].replacedMeanwhile || !race[i].error.isEmpty());
            QVERIFY(!(race[i].verified && race[i].replacedMeanwhile));
            if (race[i].verified)
                ++verified;
            if (meet && race[i].verified)
                QCOMPARE(now, sent[i]);
        }
        // The copy that stays is the last replacement's, which nothing replaced before it was read back.
        QVERIFY(verified >= 1);
        if (meet)
            QVERIFY2(verified == 1, "both told saved while the server holds one");
        QCOMPARE(strayFiles(*server, {QStringLiteral("codes.pass")}), QStringList());
        held = now;
    }
}

void TestSecureTransfer::sizeCap_data()
{
    openSaveAndRename_data();
}

// A copy larger than the largest document: the download stops with the error, in the dialog and
// in the status bar.
void TestSecureTransfer::sizeCap()
{
    QFETCH(int, kind);
    std::unique_ptr<SecureServer> server;
    TFileFTP::Parameters p;
    if (!startTrusted(Kind(kind), server, p, QStringLiteral("codes.pass")))
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    const QByteArray bytes = payload(3 * 1024 * 1024);
    QCOMPARE(run(TFileFTP::CreateForDialog(p, false, bytes)).error, QString());
    const testsupport::DownloadCap cap(1024 * 1024);
    for (const bool statusBar : {false, true}) {
        const Outcome out = run(statusBar ? TFileFTP::CreateForStatusBar(p) : TFileFTP::CreateForDialog(p, true));
        QVERIFY(out.done);
        QVERIFY2(out.error.startsWith(QStringLiteral("This document is larger than 1 MiB")), qPrintable(out.error));
        QVERIFY(out.data.isEmpty());
        QVERIFY(out.bytesDone <= 1024 * 1024);
    }
}

QTEST_GUILESS_MAIN(TestSecureTransfer)
#include "tst_securetransfer.moc"
