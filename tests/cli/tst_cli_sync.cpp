// tresorin-cli sync against real servers on 127.0.0.1: each direction of the synchronisation
// (nothing to do, server copy taken with FILE.bak kept, local copy uploaded, first upload,
// --merge both ways), the trust of an unknown certificate or host key through --trust, and the
// exit codes.

#include "crypto/StrongContainer.h"
#include "document/DocumentFile.h"
#include "ftp/TrustStore.h"
#include "support/ProcessRunner.h"
#include "support/SecureServers.h"
#include "support/TempFolder.h"

#include <QtTest>

#include <memory>

using testsupport::FtpsServer;
using testsupport::RcloneServer;
using testsupport::SecureServer;
using testsupport::TempFolder;

namespace {

const QString kPassword = QStringLiteral("meta pass");

using Run = testsupport::ProcessResult;

// One entry per name, in a group "Sites"; the save date says which copy is newer.
bool saveDocument(const QString& path, const QString& server, const QStringList& names, DateTime saveDate,
                  const QString& remotePath = QStringLiteral("codes.pass"), bool strongContainer = false)
{
    DocumentState doc;
    ResetDoc(doc.LocalDoc);
    // The least costly derivation a file may ask for: the container matters here, not its cost.
    if (strongContainer)
        doc.LocalDoc.Protection = DocumentProtection{DocumentProtection::Strong, {1, strong::MinMemoryKiB}};
    doc.LocalDoc.SyncOn = true;
    doc.LocalDoc.ServerName = server;
    doc.LocalDoc.PortNumber = 21;
    // Active FTPS data connections fail between this libcurl and ProFTPD whatever the client
    // (libcurl cannot name the address the server connected from): passive, as most users need.
    doc.LocalDoc.PassiveMode = true;
    doc.LocalDoc.RemotePath = remotePath;
    doc.LocalDoc.UserName = QStringLiteral("alice");
    doc.LocalDoc.UserPassword = QStringLiteral("s3cret");
    doc.LocalDoc.SaveDate = saveDate;
    doc.LocalDoc.SaveCount = int(saveDate);
    doc.MetaPassword = kPassword;
    TGroupe* group = doc.addGroup(QStringLiteral("Sites"));
    DateTime created = 100;
    for (const QString& name : names) {
        auto e = std::make_unique<TFeuille>();
        e->Group = group->Id;
        e->Name = name;
        e->Password = name + QStringLiteral("-pw");
        // The creation date pairs entries between copies: a name always gets the same one.
        e->Created = created + qHash(name) % 1000;
        doc.appendEntry(std::move(e));
    }
    return docfile::saveFile(doc, path, false).ok;
}

QStringList namesIn(const QByteArray& enciphered)
{
    DocumentState doc;
    const docfile::OpenedDocument opened = docfile::openBytes(enciphered, QString(), kPassword, {});
    if (!opened.ok())
        return {QStringLiteral("<unreadable>")};
    docfile::readRecords(opened, doc, false, {});
    QStringList names;
    for (const auto& e : doc.Entries())
        names << e->Name;
    names.sort();
    return names;
}

bool isStrong(const QByteArray& enciphered)
{
    return strong::looksLikeContainer(enciphered.constData(), enciphered.size());
}

DateTime saveDateOf(const QByteArray& enciphered)
{
    return docfile::openBytes(enciphered, QString(), kPassword, {}).header.SaveDate;
}

} // namespace

class TestCliSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void directions();
    void merge();
    void strongDocumentsStayStrong();
    void trustThroughTheCommandLine_data();
    void trustThroughTheCommandLine();
    void refusals();

private:
    Run sync(const QStringList& args, const QString& password = kPassword) const;
    QByteArray readLocal(const QString& name) const { return m_files.readFile(name); }

    TempFolder m_files;
    TempFolder m_home;
};

void TestCliSync::initTestCase()
{
    QVERIFY(m_files.isValid() && m_home.isValid());
}

Run TestCliSync::sync(const QStringList& args, const QString& password) const
{
    return testsupport::ProcessRunner::cli()
        .setEnv(QStringLiteral("HOME"), m_home.path())
        .setEnv(QStringLiteral("TRESORIN_INI"), m_home.filePath(QStringLiteral("Tresorin.ini")))
        .unsetEnv(QStringLiteral("SSH_AUTH_SOCK"))
        .timeout(60000)
        .run(QStringList{QStringLiteral("sync")} + args, password.toUtf8() + '\n');
}

void TestCliSync::directions()
{
    // Plain HTTP on the loopback: nothing to trust, the directions alone.
    RcloneServer server(RcloneServer::WebDavHttp);
    if (!server.isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server.error());
    const QString file = m_files.filePath(QStringLiteral("dir.pass"));

    // The server has no copy yet: uploaded.
    QVERIFY(saveDocument(file, server.address(), {QStringLiteral("one")}, 45000.5));
    Run r = sync({file});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(server.readFile(QStringLiteral("codes.pass")), readLocal(QStringLiteral("dir.pass")));

    // The same save date: nothing done.
    r = sync({file});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.outText().contains(QLatin1String("up to date")));
    QVERIFY(!m_files.exists(QStringLiteral("dir.pass.bak")));

    // The copy on the server is newer: taken, the local file kept as .bak.
    const QByteArray before = readLocal(QStringLiteral("dir.pass"));
    QVERIFY(saveDocument(m_files.filePath(QStringLiteral("other.pass")), server.address(),
                         {QStringLiteral("one"), QStringLiteral("two")}, 45001.5));
    QVERIFY(server.writeFile(QStringLiteral("codes.pass"), readLocal(QStringLiteral("other.pass"))));
    r = sync({file});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(namesIn(readLocal(QStringLiteral("dir.pass"))), (QStringList{"one", "two"}));
    QCOMPARE(saveDateOf(readLocal(QStringLiteral("dir.pass"))), DateTime(45001.5));
    QCOMPARE(readLocal(QStringLiteral("dir.pass.bak")), before);
    QVERIFY(r.outText().contains(QStringLiteral("dir.pass.bak")));

    // The local copy is newer: uploaded.
    QVERIFY(saveDocument(file, server.address(), {QStringLiteral("three")}, 45002.5));
    r = sync({file});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(server.readFile(QStringLiteral("codes.pass")), readLocal(QStringLiteral("dir.pass")));
}

void TestCliSync::merge()
{
    // The two-computer case: each computer added an entry to the same document since it last
    // synchronised; --merge leaves both entries on the server and in both files.
    RcloneServer server(RcloneServer::WebDavHttp);
    if (!server.isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server.error());
    const QString one = m_files.filePath(QStringLiteral("one.pass"));
    const QString two = m_files.filePath(QStringLiteral("two.pass"));
    QVERIFY(saveDocument(one, server.address(), {QStringLiteral("shared"), QStringLiteral("from one")}, 45010.5));
    QVERIFY(saveDocument(two, server.address(), {QStringLiteral("shared"), QStringLiteral("from two")}, 45011.5));
    QCOMPARE(sync({one}).exitCode, 0); // first upload
    Run r = sync({QStringLiteral("--merge"), two});
    QCOMPARE(r.exitCode, 0);
    const QStringList all{"from one", "from two", "shared"};
    QCOMPARE(namesIn(server.readFile(QStringLiteral("codes.pass"))), all);
    QCOMPARE(namesIn(readLocal(QStringLiteral("two.pass"))), all);
    QVERIFY(m_files.exists(QStringLiteral("two.pass.bak")));
    // Computer one takes the merged copy, which is newer.
    r = sync({one});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(namesIn(readLocal(QStringLiteral("one.pass"))), all);
}

void TestCliSync::strongDocumentsStayStrong()
{
    // The bytes are opaque to the transfer, but taking and merging rewrite the local file: a
    // strong document must come out strong, readable with its meta password.
    RcloneServer server(RcloneServer::WebDavHttp);
    if (!server.isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server.error());
    const QString mine = m_files.filePath(QStringLiteral("strong.pass"));
    const QString theirs = m_files.filePath(QStringLiteral("strong-other.pass"));
    const QString remote = QStringLiteral("strong-codes.pass");
    QVERIFY(saveDocument(mine, server.address(), {QStringLiteral("one")}, 45020.5, remote, true));
    QCOMPARE(sync({mine}).exitCode, 0);
    QVERIFY(isStrong(server.readFile(remote)));

    // A newer strong copy on the server is taken.
    QVERIFY(
        saveDocument(theirs, server.address(), {QStringLiteral("one"), QStringLiteral("two")}, 45021.5, remote, true));
    QVERIFY(server.writeFile(remote, readLocal(QStringLiteral("strong-other.pass"))));
    Run r = sync({mine});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(isStrong(readLocal(QStringLiteral("strong.pass"))));
    QCOMPARE(namesIn(readLocal(QStringLiteral("strong.pass"))), (QStringList{"one", "two"}));

    // Merged with a compatible copy on the server: the local choice of strong protection holds.
    QVERIFY(saveDocument(theirs, server.address(), {QStringLiteral("three")}, 45022.5, remote));
    QVERIFY(server.writeFile(remote, readLocal(QStringLiteral("strong-other.pass"))));
    r = sync({QStringLiteral("--merge"), mine});
    QCOMPARE(r.exitCode, 0);
    const QStringList all{"one", "three", "two"};
    QVERIFY(isStrong(readLocal(QStringLiteral("strong.pass"))));
    QCOMPARE(namesIn(readLocal(QStringLiteral("strong.pass"))), all);
    QVERIFY(isStrong(server.readFile(remote)));
    QCOMPARE(namesIn(server.readFile(remote)), all);
}

void TestCliSync::trustThroughTheCommandLine_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("FTPS") << 0;
    QTest::newRow("SFTP") << 1;
    QTest::newRow("WebDAV HTTPS") << 2;
}

void TestCliSync::trustThroughTheCommandLine()
{
    QFETCH(int, kind);
    std::unique_ptr<SecureServer> server;
    if (kind == 0)
        server = std::make_unique<FtpsServer>();
    else
        server = std::make_unique<RcloneServer>(kind == 1 ? RcloneServer::Sftp : RcloneServer::WebDavHttps);
    if (!server->isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    const QString file = m_files.filePath(QStringLiteral("trust%1.pass").arg(kind));
    QVERIFY(saveDocument(file, server->address(), {QStringLiteral("one")}, 45020.5));

    // Unknown: refused, the fingerprint printed as openssl or ssh-keygen print it.
    Run r = sync({file});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.errText().contains(QStringLiteral("--trust ") + server->fingerprint()), qPrintable(r.errText()));
    QVERIFY(!server->exists(QStringLiteral("codes.pass")));

    // Another fingerprint than the one shown accepts nothing.
    r = sync({QStringLiteral("--trust"), QStringLiteral("SHA256:AAAA"), file});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(!server->exists(QStringLiteral("codes.pass")));

    // That exact text: accepted, remembered, and the document uploaded.
    r = sync({QStringLiteral("--trust"), server->fingerprint(), file});
    QVERIFY2(r.exitCode == 0, qPrintable(r.errText()));
    QCOMPARE(server->readFile(QStringLiteral("codes.pass")), readLocal(QStringLiteral("trust%1.pass").arg(kind)));
    if (kind == 1) {
        QVERIFY(m_home.readFile(QStringLiteral(".ssh/known_hosts")).contains(server->knownHostsLine().toUtf8()));
    } else {
        const QByteArray ini = m_home.readFile(QStringLiteral("Tresorin.ini"));
        QVERIFY(ini.contains("[Certificats]"));
        QVERIFY(
            ini.contains(QStringLiteral("127.0.0.1:%1=%2").arg(server->port()).arg(server->fingerprint()).toUtf8()));
    }
    // Remembered: the next run needs no --trust.
    r = sync({file});
    QCOMPARE(r.exitCode, 0);
}

void TestCliSync::refusals()
{
    const QString file = m_files.filePath(QStringLiteral("refuse.pass"));
    QVERIFY(saveDocument(file, QStringLiteral("http://127.0.0.1:1"), {QStringLiteral("one")}, 45030.5));
    // Wrong meta password: 2, nothing tried.
    QCOMPARE(sync({file}, QStringLiteral("wrong")).exitCode, 2);
    // No server listening: 1.
    Run r = sync({file});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.errText().contains(QLatin1String("Error connecting server")));
    // Plain HTTP to another machine: refused before anything is sent.
    QVERIFY(saveDocument(file, QStringLiteral("http://192.0.2.1"), {QStringLiteral("one")}, 45030.5));
    r = sync({file});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.errText().contains(QLatin1String("only accepted on this computer")));
    // A document that is not synchronised.
    DocumentState plain;
    plain.MetaPassword = kPassword;
    QVERIFY(docfile::saveFile(plain, file, false).ok);
    r = sync({file});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.errText().contains(QLatin1String("not synchronised")));
    QCOMPARE(sync({QStringLiteral("--trust")}).exitCode, 1);
}

QTEST_GUILESS_MAIN(TestCliSync)
#include "tst_cli_sync.moc"
