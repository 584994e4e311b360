// tresorin-cli sync against a server whose certificate is not the one trusted (a WebDAV server
// over HTTPS with a self-signed certificate on 127.0.0.1, rclone): refused with both fingerprints
// and the way to trust the new one, which --trust with that fingerprint does, in place of the old.

#include "document/DocumentFile.h"
#include "support/ProcessRunner.h"
#include "support/SecureServers.h"
#include "support/TempFolder.h"

#include <QtTest>

using testsupport::RcloneServer;
using testsupport::TempFolder;

class TestCliTrust : public QObject
{
    Q_OBJECT
private slots:
    void changedCertificate();
};

void TestCliTrust::changedCertificate()
{
    RcloneServer server(RcloneServer::WebDavHttps);
    if (!server.isRunning()) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL(qPrintable(QStringLiteral("server not started: ") + server.error()));
        QSKIP(qPrintable(QStringLiteral("server not started: ") + server.error()));
    }
    TempFolder home;
    const QString file = home.filePath(QStringLiteral("doc.pass"));
    DocumentState doc;
    ResetDoc(doc.LocalDoc);
    doc.appendEntry(NewEntry(doc.addGroup(QStringLiteral("Sites")), QStringLiteral("one")));
    doc.LocalDoc.SyncOn = true;
    doc.LocalDoc.ServerName = server.address();
    doc.LocalDoc.PortNumber = 21;
    doc.LocalDoc.RemotePath = QStringLiteral("codes.pass");
    doc.LocalDoc.UserName = server.user();
    doc.LocalDoc.UserPassword = server.password();
    doc.LocalDoc.SaveDate = 45000.5;
    doc.MetaPassword = QStringLiteral("pw");
    QVERIFY(docfile::saveFile(doc, file, false).ok);

    // The pin of a certificate the server no longer presents: every hex digit moved on by one.
    QString old = server.fingerprint();
    for (QChar& c : old)
        if (c != QLatin1Char(':'))
            c = QStringLiteral("123456789ABCDEF0").at(QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper()));
    const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(server.port());
    QVERIFY(home.writeFile(QStringLiteral("Tresorin.ini"),
                           QStringLiteral("[Certificats]\r\n%1=%2\r\n").arg(hostPort, old).toUtf8()));
    const auto sync = [&](const QStringList& args) {
        return testsupport::ProcessRunner::cli()
            .setEnv(QStringLiteral("HOME"), home.path())
            .setEnv(QStringLiteral("TRESORIN_INI"), home.filePath(QStringLiteral("Tresorin.ini")))
            .timeout(60000)
            .run(QStringList{QStringLiteral("sync")} + args, "pw\n");
    };

    // Refused: the trusted and the presented fingerprints, and what to do about a renewal.
    testsupport::ProcessResult r = sync({file});
    QCOMPARE(r.exitCode, 1);
    const QString err = r.errText();
    QVERIFY2(err.contains(QStringLiteral("Trusted: ") + old), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("Presented: ") + server.fingerprint()), qPrintable(err));
    QVERIFY2(
        err.contains(
            QStringLiteral("run again with --trust %1 to trust it instead of the old one").arg(server.fingerprint())),
        qPrintable(err));
    // No word about editing the settings file by hand.
    QVERIFY2(!err.contains(QLatin1String("settings file")), qPrintable(err));
    QVERIFY(!server.exists(QStringLiteral("codes.pass")));

    // With that fingerprint: the new certificate replaces the old one, and the copy goes up.
    r = sync({QStringLiteral("--trust"), server.fingerprint(), file});
    QVERIFY2(r.exitCode == 0, qPrintable(r.errText()));
    const QByteArray ini = home.readFile(QStringLiteral("Tresorin.ini"));
    QVERIFY(ini.contains(QStringLiteral("%1=%2").arg(hostPort, server.fingerprint()).toUtf8()));
    QVERIFY(!ini.contains(old.toUtf8()));
    QVERIFY(server.exists(QStringLiteral("codes.pass")));
}

QTEST_GUILESS_MAIN(TestCliTrust)
#include "tst_cli_trust.moc"
