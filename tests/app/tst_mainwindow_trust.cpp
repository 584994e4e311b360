// The trust questions of the window, against a WebDAV server over HTTPS with a self-signed
// certificate on 127.0.0.1 (rclone): a certificate nobody trusted yet, and one other than the
// certificate trusted (renewed by its administrator, or a server posing as it), which is asked
// with both fingerprints, No by default, and trusted instead of the old one only on Yes.

#include "app/gui/commands/FtpSync.h"
#include "app/gui/window/TfrmTresorin.h"
#include "document/DocumentFile.h"
#include "ftp/TFileFTP.h"
#include "ftp/TrustStore.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "support/SecureServers.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QtTest>

#include <memory>

using testsupport::RcloneServer;
using testsupport::WindowFixture;

namespace {

const QString kPassword = QStringLiteral("pw");

// Another fingerprint of the same form: every hex digit moved on by one.
QString otherFingerprint(const QString& fingerprint)
{
    QString other = fingerprint;
    for (QChar& c : other)
        if (c != QLatin1Char(':'))
            c = QStringLiteral("123456789ABCDEF0").at(QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper()));
    return other;
}

} // namespace

class TestMainWindowTrust : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TFileFTP::setTimeouts({5000, 5000, 5}); }
    void init() { m_fx = std::make_unique<WindowFixture>(WindowFixture::Home); }
    void cleanup() { m_fx.reset(); }
    void questionsSayWhoAndWhat();

private:
    // Opens the document and waits for the download that follows; `answer` is the answer to the
    // question asked once the download was refused.
    bool openAndSync(const QString& path, MsgButton answer);

    std::unique_ptr<WindowFixture> m_fx;
};

bool TestMainWindowTrust::openAndSync(const QString& path, MsgButton answer)
{
    QSignalSpy done(m_fx->window()->ftpSync(), &FtpSync::syncDownloadFinished);
    m_fx->openThroughCommand(path, kPassword);
    ModalSeam::pushAnswer(int(answer));
    return done.count() > 0 || done.wait(30000);
}

void TestMainWindowTrust::questionsSayWhoAndWhat()
{
    RcloneServer server(RcloneServer::WebDavHttps);
    if (!server.isRunning()) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL(qPrintable(QStringLiteral("server not started: ") + server.error()));
        QSKIP(qPrintable(QStringLiteral("server not started: ") + server.error()));
    }
    DocumentState shared;
    ResetDoc(shared.LocalDoc);
    shared.appendEntry(NewEntry(shared.addGroup(QStringLiteral("Sites")), QStringLiteral("shared")));
    shared.LocalDoc.SyncOn = true;
    shared.LocalDoc.ServerName = server.address();
    shared.LocalDoc.PortNumber = 21;
    shared.LocalDoc.RemotePath = QStringLiteral("codes.pass");
    shared.LocalDoc.UserName = server.user();
    shared.LocalDoc.UserPassword = server.password();
    shared.LocalDoc.SaveDate = 45000.5;
    shared.MetaPassword = kPassword;
    const QString path = m_fx->tmp().filePath(QStringLiteral("doc.pass"));
    QVERIFY(docfile::saveFile(shared, path, false).ok);
    QVERIFY(server.writeFile(QStringLiteral("codes.pass"), m_fx->tmp().readFile(QStringLiteral("doc.pass"))));
    m_fx->makeWindow();
    const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(server.port());

    // Never trusted: who the server is, what it presents, what each answer does; no error words.
    QVERIFY(openAndSync(path, MsgNo));
    QList<ModalSeam::Shown> asked;
    for (const ModalSeam::Shown& q : ModalSeam::shown())
        if (q.dialog == QLatin1String("ShowMsg"))
            asked << q;
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].text,
             QStringLiteral("The server %1 presents a certificate that this computer does not vouch for: it may be "
                            "self-signed, or made out to another name.\r\n\r\nIts SHA-256 fingerprint:\r\n%2\r\n\r\n"
                            "Compare it with the fingerprint the server's administrator gives you. Trust this "
                            "certificate for this server from now on, and connect? If not, nothing is sent to the "
                            "server.")
                 .arg(hostPort, server.fingerprint()));
    QCOMPARE(asked[0].kind, int(MsgKind::Warning));
    QCOMPARE(asked[0].buttons, int(MsgYes | MsgNo | MsgDefaultNo));
    QVERIFY(!m_fx->readIni().contains("Certificats"));

    // Trusted before under another certificate: both fingerprints, and No changes nothing.
    const QString old = otherFingerprint(server.fingerprint());
    QVERIFY(old != server.fingerprint());
    QVERIFY(trust::pinCertificate(hostPort, old));
    ModalSeam::clearShown();
    QVERIFY(openAndSync(path, MsgNo));
    QStringList texts = ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].startsWith(
                 QStringLiteral("The server %1 presents a different certificate from the one you trusted.\r\n\r\n"
                                "Trusted until now:\r\n%2\r\n\r\nPresented now:\r\n%3\r\n\r\n")
                     .arg(hostPort, old, server.fingerprint())),
             qPrintable(texts[0]));
    QVERIFY(texts[0].endsWith(QStringLiteral("Trust the new certificate in place of the old one, and connect? If not, "
                                             "nothing is sent to the server and the old certificate stays the trusted "
                                             "one.")));
    QCOMPARE(ModalSeam::shown().last().buttons, int(MsgYes | MsgNo | MsgDefaultNo));
    QCOMPARE(trust::pinnedCertificate(hostPort), old);
    QVERIFY(!m_fx->window()->doc().ReadOnlyLock);

    // Yes: the new certificate replaces the old one, and the download goes through.
    ModalSeam::clearShown();
    QVERIFY(openAndSync(path, MsgYes));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QCOMPARE(trust::pinnedCertificate(hostPort), server.fingerprint());
    QVERIFY(!m_fx->readIni().contains(old.toUtf8()));
    QCOMPARE(ModalSeam::unanswered(), 0);
}

QTEST_MAIN(TestMainWindowTrust)
#include "tst_mainwindow_trust.moc"
