// The window's synchronisation over encrypted transports, against real servers on 127.0.0.1
// (rclone's SFTP and WebDAV over HTTPS): the two-computer case that used to lose an entry, the
// three answers to the question asked when another computer saved in between, and the trust of
// an unknown certificate or host key asked with its fingerprint. Every question goes through the
// modal seam.

#include "app/gui/commands/FtpSync.h"
#include "app/gui/window/TfrmTresorin.h"
#include "document/DocumentFile.h"
#include "document/gui/TBoiteMetaPass.h"
#include "ftp/TFileFTP.h"
#include "ftp/TrustStore.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "support/SecureServers.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QtTest>

#include <memory>

using testsupport::RcloneServer;
using testsupport::WindowFixture;

namespace {

const QString kPassword = QStringLiteral("pw");

// The document both computers share: one entry, synchronised with the server.
void fillShared(DocumentState& doc, const RcloneServer& server)
{
    ResetDoc(doc.LocalDoc);
    TGroupe* g = doc.addGroup(QStringLiteral("Sites"));
    doc.appendEntry(NewEntry(g, QStringLiteral("shared")));
    doc.LocalDoc.SyncOn = true;
    doc.LocalDoc.ServerName = server.address();
    doc.LocalDoc.PortNumber = 21;
    doc.LocalDoc.RemotePath = QStringLiteral("codes.pass");
    doc.LocalDoc.UserName = server.user();
    doc.LocalDoc.UserPassword = server.password();
    doc.LocalDoc.SaveCount = 3;
    doc.LocalDoc.SaveDate = 45000.5;
    doc.MetaPassword = kPassword;
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

// Another computer: opens its own file, adds an entry, saves it (counted) and uploads it.
bool otherComputerAdds(const QString& path, const QString& name, RcloneServer& server)
{
    DocumentState doc;
    if (!docfile::loadFile(path, kPassword, doc, {}).ok())
        return false;
    doc.appendEntry(NewEntry(doc.Groups().front().get(), name));
    doc.entry(doc.entryCount() - 1)->Created += 0.001; // made at another moment than any other
    if (!docfile::saveFile(doc, path, true).ok)
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && server.writeFile(QStringLiteral("codes.pass"), file.readAll());
}

} // namespace

class TestMainWindowSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void twoComputers();
    void answersToTheQuestion_data();
    void answersToTheQuestion();
    void unknownIdentityAskedWithItsFingerprint();

private:
    void openFromDisk(const QString& path);
    bool waitForSync();
    // Starts the SFTP server, already in known_hosts.
    std::unique_ptr<RcloneServer> trustedSftp();
    void addEntryAndSave(const QString& name);

    std::unique_ptr<WindowFixture> m_fx;
};

void TestMainWindowSync::initTestCase()
{
    TFileFTP::setTimeouts({5000, 5000, 5});
    qunsetenv("SSH_AUTH_SOCK");
}

void TestMainWindowSync::init()
{
    m_fx = std::make_unique<WindowFixture>(WindowFixture::Home);
}

void TestMainWindowSync::cleanup()
{
    m_fx.reset();
}

void TestMainWindowSync::openFromDisk(const QString& path)
{
    m_fx->openThroughCommand(path, kPassword);
}

bool TestMainWindowSync::waitForSync()
{
    QSignalSpy done(m_fx->window()->ftpSync(), &FtpSync::syncDownloadFinished);
    return done.wait(30000);
}

std::unique_ptr<RcloneServer> TestMainWindowSync::trustedSftp()
{
    auto server = std::make_unique<RcloneServer>(RcloneServer::Sftp);
    if (server->isRunning())
        trust::addKnownHost(server->knownHostsLine());
    return server;
}

void TestMainWindowSync::addEntryAndSave(const QString& name)
{
    DocumentState& doc = m_fx->window()->doc();
    doc.appendEntry(NewEntry(doc.Groups().front().get(), name));
    doc.SetModified(true);
    m_fx->window()->action(QStringLiteral("ActionSauver"))->trigger();
}

void TestMainWindowSync::twoComputers()
{
    // Computer 2 has the document open; computer 1 adds an entry, saves and uploads; computer 2
    // adds another and saves: asked, it merges. Both entries end on the server and, once
    // computer 1 synchronises, on both computers.
    const auto server = trustedSftp();
    if (!server->isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    DocumentState shared;
    fillShared(shared, *server);
    const QString one = m_fx->tmp().filePath(QStringLiteral("one.pass"));
    const QString two = m_fx->tmp().filePath(QStringLiteral("two.pass"));
    QVERIFY(docfile::saveFile(shared, one, false).ok);
    QVERIFY(docfile::saveFile(shared, two, false).ok);
    QVERIFY(server->writeFile(QStringLiteral("codes.pass"), m_fx->tmp().readFile(QStringLiteral("one.pass"))));

    auto* w = m_fx->makeWindow();
    openFromDisk(two);
    QVERIFY(waitForSync());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());

    QVERIFY(otherComputerAdds(one, QStringLiteral("made on one"), *server));

    ModalSeam::pushAnswer(int(MsgYes)); // Merge it into this document
    addEntryAndSave(QStringLiteral("made on two"));
    const QStringList asked = ModalSeam::shownTexts(QStringLiteral("SyncConflict"));
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked[0].contains(QLatin1String("version 4")), qPrintable(asked[0]));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());
    const QStringList all{"made on one", "made on two", "shared"};
    QCOMPARE(namesIn(server->readFile(QStringLiteral("codes.pass"))), all);
    QCOMPARE(namesIn(m_fx->tmp().readFile(QStringLiteral("two.pass"))), all);
    QCOMPARE(server->readFile(QStringLiteral("codes.pass")), m_fx->tmp().readFile(QStringLiteral("two.pass")));
    QVERIFY(!w->doc().Modified);
    QCOMPARE(w->doc().entryCount(), 3);
    // The merged save counts on from the higher counter of the two copies.
    QCOMPARE(w->doc().LocalDoc.SaveCount, 5);

    // A later save finds the server copy as this window left it: no question.
    ModalSeam::clearShown();
    addEntryAndSave(QStringLiteral("later on two"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("SyncConflict")), QStringList());
    QCOMPARE(server->readFile(QStringLiteral("codes.pass")), m_fx->tmp().readFile(QStringLiteral("two.pass")));

    // Computer 1 opens its file: the copy on the server is newer, it takes it.
    openFromDisk(one);
    ModalSeam::pushAnswer(int(PropertiesAnswer::Yes)); // the question comes once the copy is read
    QVERIFY(waitForSync());
    QCOMPARE(namesIn(m_fx->tmp().readFile(QStringLiteral("one.pass"))),
             (QStringList{"later on two", "made on one", "made on two", "shared"}));
}

void TestMainWindowSync::answersToTheQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("onServer");
    QTest::newRow("replace it") << int(MsgNo) << QStringList{"made here", "shared"};
    QTest::newRow("cancel") << int(MsgCancel) << QStringList{"made elsewhere", "shared"};
}

void TestMainWindowSync::answersToTheQuestion()
{
    QFETCH(int, answer);
    const auto server = trustedSftp();
    if (!server->isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server->error());
    DocumentState shared;
    fillShared(shared, *server);
    const QString mine = m_fx->tmp().filePath(QStringLiteral("mine.pass"));
    const QString other = m_fx->tmp().filePath(QStringLiteral("other.pass"));
    QVERIFY(docfile::saveFile(shared, mine, false).ok);
    QVERIFY(docfile::saveFile(shared, other, false).ok);
    QVERIFY(server->writeFile(QStringLiteral("codes.pass"), m_fx->tmp().readFile(QStringLiteral("mine.pass"))));
    m_fx->makeWindow();
    openFromDisk(mine);
    QVERIFY(waitForSync());
    QVERIFY(otherComputerAdds(other, QStringLiteral("made elsewhere"), *server));

    ModalSeam::pushAnswer(answer);
    addEntryAndSave(QStringLiteral("made here"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("SyncConflict")).size(), 1);
    QTEST(namesIn(server->readFile(QStringLiteral("codes.pass"))), "onServer");
    // The local file is saved whatever the answer.
    QCOMPARE(namesIn(m_fx->tmp().readFile(QStringLiteral("mine.pass"))), (QStringList{"made here", "shared"}));
    QVERIFY(!server->exists(QStringLiteral("codes.tmp")));
}

void TestMainWindowSync::unknownIdentityAskedWithItsFingerprint()
{
    // WebDAV over HTTPS with a self-signed certificate nobody trusted yet.
    RcloneServer server(RcloneServer::WebDavHttps);
    if (!server.isRunning())
        SERVER_MISSING(QStringLiteral("server not started: ") + server.error());
    DocumentState shared;
    fillShared(shared, server);
    const QString path = m_fx->tmp().filePath(QStringLiteral("doc.pass"));
    QVERIFY(docfile::saveFile(shared, path, false).ok);
    QVERIFY(server.writeFile(QStringLiteral("codes.pass"), m_fx->tmp().readFile(QStringLiteral("doc.pass"))));
    auto* w = m_fx->makeWindow();

    // No: nothing trusted, nothing remembered, the local copy stays.
    openFromDisk(path);
    ModalSeam::pushAnswer(int(MsgNo)); // asked once the download was refused
    QVERIFY(waitForSync());
    QStringList asked = ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked[0].contains(server.fingerprint()));
    QVERIFY(!m_fx->readIni().contains("Certificats"));
    QVERIFY(!w->doc().ReadOnlyLock);

    // Yes: pinned, and the download goes through.
    ModalSeam::clearShown();
    openFromDisk(path);
    ModalSeam::pushAnswer(int(MsgYes));
    QVERIFY(waitForSync());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QVERIFY(m_fx->readIni().contains(
        QStringLiteral("127.0.0.1:%1=%2").arg(server.port()).arg(server.fingerprint()).toUtf8()));

    // The upload after a save uses the pin without asking.
    ModalSeam::clearShown();
    addEntryAndSave(QStringLiteral("added"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());
    QCOMPARE(server.readFile(QStringLiteral("codes.pass")), m_fx->tmp().readFile(QStringLiteral("doc.pass")));
}

QTEST_MAIN(TestMainWindowSync)
#include "tst_mainwindow_sync.moc"
