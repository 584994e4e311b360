// The trust question's words: which problems are asked, the server's name as the trust records
// write it, and the question for each (the window's flow is in tests/app/tst_mainwindow_trust).

#include "ftp/TrustQuestion.h"
#include "lang/LangTable.h"

#include <QtTest>

Q_DECLARE_METATYPE(TrustProblem::Kind)

class TestTrustQuestion : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(LoadLangTable(QStringLiteral("US"))); }
    void questions_data();
    void questions();
};

void TestTrustQuestion::questions_data()
{
    QTest::addColumn<TrustProblem::Kind>("kind");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("start"); // the question's beginning, empty when none is asked
    QTest::newRow("unknown certificate")
        << TrustProblem::UnknownCertificate << "dav.example.org:443"
        << "The server dav.example.org:443 presents a certificate that this computer does not vouch for";
    QTest::newRow("changed certificate")
        << TrustProblem::ChangedCertificate << "dav.example.org:443"
        << "The server dav.example.org:443 presents a different certificate from the one you trusted.\r\n\r\n"
           "Trusted until now:\r\nAA:BB\r\n\r\nPresented now:\r\nCC:DD";
    QTest::newRow("unknown host key") << TrustProblem::UnknownHostKey << "[127.0.0.1]:2222"
                                      << "The server [127.0.0.1]:2222 presents an SSH host key that "
                                         "~/.ssh/known_hosts does not hold yet.\r\n\r\nIts fingerprint:\r\nCC:DD";
    // known_hosts is shared with ssh: a changed key is refused, never asked.
    QTest::newRow("changed host key") << TrustProblem::ChangedHostKey << "[127.0.0.1]:2222"
                                      << "";
    QTest::newRow("none") << TrustProblem::None << ""
                          << "";
}

void TestTrustQuestion::questions()
{
    QFETCH(TrustProblem::Kind, kind);
    QFETCH(QString, server);
    QFETCH(QString, start);
    TrustProblem p;
    p.kind = kind;
    p.fingerprint = QStringLiteral("CC:DD");
    p.pinned = kind == TrustProblem::ChangedCertificate ? QStringLiteral("AA:BB") : QString();
    if (kind == TrustProblem::UnknownHostKey || kind == TrustProblem::ChangedHostKey)
        p.knownHostLine = server + QStringLiteral(" ssh-ed25519 AAAAC3NzaC1lZDI1NTE5");
    else
        p.hostPort = server;
    QCOMPARE(trustquestion::canBeAsked(p), !start.isEmpty());
    QCOMPARE(trustquestion::serverName(p), server);
    const QString text = trustquestion::text(p);
    if (start.isEmpty())
        QVERIFY2(text.isEmpty(), qPrintable(text));
    else
        QVERIFY2(text.startsWith(start), qPrintable(text));
    QCOMPARE(trustquestion::replacesPin(p), kind == TrustProblem::ChangedCertificate);
    // A problem without what the user must compare is not asked.
    p.fingerprint.clear();
    QVERIFY(!trustquestion::canBeAsked(p));
}

QTEST_GUILESS_MAIN(TestTrustQuestion)
#include "tst_trustquestion.moc"
