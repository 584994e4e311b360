// The update check as the main window runs it, against a server of the test on 127.0.0.1: the
// answers of the server and what the user sees, the new address and its immediate second check,
// LastCheck, silent automatic checks, and the command disabled while a check runs.

#include "ProductInfo.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "settings/Settings.h"
#include "support/HttpServer.h"
#include "support/ProcessRunner.h"
#include "update/TMajWeb.h"
#include "update/gui/UpdateChecker.h"

#include <QAction>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

using testsupport::HttpServer;

class TestUpdateChecker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void newAddressIsAskedAtOnce();
    void addressesNamingEachOtherAskTwiceOnly();
    void emptyAnswerChangesNothing();
    void noServer_data();
    void noServer();
    void clientMissing();
    void commandDisabledWhileChecking();
    void destroyedWhileChecking();
    void shippedServerLayout();

private:
    // Runs one check and waits for its completion (and for `extra` more).
    void check(bool silent, int extra = 0);

    std::unique_ptr<HttpServer> m_server;
    std::unique_ptr<QAction> m_command;
    std::unique_ptr<UpdateChecker> m_checker;
    Settings m_settings;
    const QString m_path = QStringLiteral("/versions.php?soft=tresorin");
};

void TestUpdateChecker::initTestCase()
{
    QString error;
    QVERIFY2(LoadLangTable(QStringLiteral("US"), &error), qPrintable(error));
}

void TestUpdateChecker::init()
{
    ModalSeam::activate();
    m_server = std::make_unique<HttpServer>();
    QVERIFY(m_server->isListening());
    m_settings = Settings();
    m_settings.UrlUpdate = m_server->url(m_path);
    m_settings.LastCheck = QDateTime::currentDateTime().addDays(-40);
    m_command = std::make_unique<QAction>();
    m_checker = std::make_unique<UpdateChecker>(m_settings, m_command.get());
    m_checker->setProgramVersion(QStringLiteral("2.1.2.34"));
}

void TestUpdateChecker::cleanup()
{
    m_checker.reset();
    m_command.reset();
    m_server.reset();
    UpdateChecker::ClientMissingForTests = false;
    ModalSeam::deactivate();
}

void TestUpdateChecker::check(bool silent, int extra)
{
    QSignalSpy done(m_checker.get(), &UpdateChecker::checkDone);
    m_checker->ActionMajWebExecute(silent);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1 + extra, 10000);
}

void TestUpdateChecker::answers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("downloadOpened");
    const QString newer = QStringLiteral("A new version is available : 2.2.0.0\r\n\r\nDo you want to open the site ?");
    const QString none = QStringLiteral("No new version available");
    const QByteArray equal =
        "URL=" + QByteArray("http://127.0.0.1:PORT/versions.php?soft=_soft_") + "\r\nTresorin=2.1.2.34\r\n";

    QTest::newRow("one line, newer") << QByteArray("2.2.0.0") << false << QStringList{newer} << true;
    QTest::newRow("one line, newer, automatic") << QByteArray("2.2.0.0\r\n") << true << QStringList{newer} << true;
    QTest::newRow("current URL, equal version") << equal << false << QStringList{none} << false;
    QTest::newRow("current URL, equal version, automatic") << equal << true << QStringList() << false;
    QTest::newRow("textual: 2.1.10.0") << QByteArray("x=1\nTresorin=2.1.10.0") << false << QStringList{none} << false;
    QTest::newRow("error page") << QByteArray("<html>\n<p>Not found</p>\n</html>") << false << QStringList{none}
                                << false;
}

void TestUpdateChecker::answers()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, silent);
    QFETCH(QStringList, shown);
    QFETCH(bool, downloadOpened);
    answer.replace("PORT", QByteArray::number(m_server->port()));
    m_server->setAnswer(m_path, answer);
    ModalSeam::pushAnswer(int(MsgYes));
    const QDateTime before = QDateTime::currentDateTime();
    check(silent);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), shown);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("OpenLink")),
             downloadOpened ? QStringList{QString::fromLatin1(kDownloadPageUrl)} : QStringList());
    // Any answer counts as a check.
    QVERIFY(m_settings.LastCheck >= before);
    QCOMPARE(m_settings.UrlUpdate, m_server->url(m_path));
    QCOMPARE(m_server->requests, QStringList{m_path});
}

void TestUpdateChecker::newAddressIsAskedAtOnce()
{
    m_server->setAnswer(m_path, "URL=" + m_server->url(QStringLiteral("/v2.php?soft=_soft_")).toLatin1() +
                                    "\r\nTresorin=9.9.9.9\r\n");
    m_server->setAnswer(QStringLiteral("/v2.php?soft=tresorin"), "Tresorin=2.1.2.34\r\nNote=same\r\n");
    // An automatic check: the second one is asked as from the menu, so it says there is nothing new.
    check(true, 1);
    QCOMPARE(m_server->requests, (QStringList{m_path, QStringLiteral("/v2.php?soft=tresorin")}));
    QCOMPARE(m_settings.UrlUpdate, m_server->url(QStringLiteral("/v2.php?soft=tresorin")));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList{QStringLiteral("No new version available")});
    QVERIFY(m_command->isEnabled());
}

// Two answers that name each other: one check follows one new address, then stops.
void TestUpdateChecker::addressesNamingEachOtherAskTwiceOnly()
{
    const QString other = QStringLiteral("/v2.php?soft=tresorin");
    m_server->setAnswer(m_path, "URL=" + m_server->url(QStringLiteral("/v2.php?soft=_soft_")).toLatin1() + "\r\n");
    m_server->setAnswer(other, "URL=" + m_server->url(m_path).toLatin1() + "\r\nTresorin=2.1.2.34\r\n");
    check(false, 1);
    // A third check would have started inside the second one's completion, before its end.
    QCOMPARE(m_checker->runningChecks(), 0);
    QCOMPARE(m_server->requests, (QStringList{m_path, other}));
    QCOMPARE(m_settings.UrlUpdate, m_server->url(other));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList{QStringLiteral("No new version available")});
    QVERIFY(m_command->isEnabled());
}

void TestUpdateChecker::emptyAnswerChangesNothing()
{
    m_server->setAnswer(m_path, QByteArray());
    const QDateTime last = m_settings.LastCheck;
    check(false);
    QCOMPARE(m_server->requests.size(), 1);
    QCOMPARE(ModalSeam::shown().size(), 0);
    QCOMPARE(m_settings.LastCheck, last);
}

void TestUpdateChecker::noServer_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("from the menu") << false;
    QTest::newRow("automatic") << true;
}

void TestUpdateChecker::noServer()
{
    QFETCH(bool, silent);
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    m_settings.UrlUpdate = QStringLiteral("http://127.0.0.1:%1/versions.php?soft=tresorin").arg(closed.serverPort());
    closed.close();
    const QDateTime last = m_settings.LastCheck;
    check(silent);
    const QStringList shown = ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
    if (silent) {
        QVERIFY(shown.isEmpty());
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(QLatin1String("Error accessing Internet\r\n\r\n")), qPrintable(shown[0]));
        QCOMPARE(ModalSeam::shown().first().kind, int(MsgKind::Error));
    }
    QCOMPARE(m_settings.LastCheck, last);
    QVERIFY(m_command->isEnabled());
}

void TestUpdateChecker::clientMissing()
{
    UpdateChecker::ClientMissingForTests = true;
    m_checker->ActionMajWebExecute(true);
    QVERIFY(ModalSeam::shown().isEmpty());
    m_checker->ActionMajWebExecute(false);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")),
             QStringList{QStringLiteral("Wininet.DLL not found...\r\n\r\nFTP functions unavailable")});
    QCOMPARE(m_checker->runningChecks(), 0);
    QVERIFY(m_server->requests.isEmpty());
}

void TestUpdateChecker::commandDisabledWhileChecking()
{
    m_server->holdAnswers = true;
    m_server->setAnswer(m_path, "Tresorin=2.1.2.34\r\n\r\n");
    QSignalSpy done(m_checker.get(), &UpdateChecker::checkDone);
    m_checker->ActionMajWebExecute(false);
    QVERIFY(!m_command->isEnabled());
    QTRY_COMPARE(m_server->requests.size(), 1);
    QVERIFY(!m_command->isEnabled());
    m_server->release();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QVERIFY(m_command->isEnabled());
}

void TestUpdateChecker::destroyedWhileChecking()
{
    // The window goes while its check waits for the server: nothing waits, nothing is shown.
    m_server->holdAnswers = true;
    m_checker->ActionMajWebExecute(false);
    QTRY_COMPARE(m_server->requests.size(), 1);
    QElapsedTimer clock;
    clock.start();
    m_checker.reset();
    QVERIFY(clock.elapsed() < 1000);
    QTRY_COMPARE_WITH_TIMEOUT(TMajWeb::running(), 0, 5000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(ModalSeam::shown().isEmpty());
}

void TestUpdateChecker::shippedServerLayout()
{
    // tools/update-server served as it ships, by a plain static server.
    const QString folder = QStringLiteral(TRESORIN_TEST_DATA "/../../tools/update-server");
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/versions.php")));
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    QProcess server;
    QVERIFY(
        testsupport::ProcessRunner(QStringLiteral("/usr/bin/python3"))
            .start(server, {"-m", "http.server", QString::number(port), "--bind", "127.0.0.1", "--directory", folder}));
    const auto stop = qScopeGuard([&server] {
        server.kill();
        server.waitForFinished(5000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(
        [port] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            return socket.waitForConnected(200);
        }(),
        10000);
    m_settings.UrlUpdate = QStringLiteral("http://127.0.0.1:%1/versions.php?soft=tresorin").arg(port);

    // The layout announces the version of this build: nothing new for it, a new version for an older one.
    m_checker->setProgramVersion(QStringLiteral(TRESORIN_VERSION));
    check(false);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList{QStringLiteral("No new version available")});
    ModalSeam::clearShown();
    m_checker->setProgramVersion(QStringLiteral("0.9.9.9"));
    ModalSeam::pushAnswer(int(MsgNo));
    check(true);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")),
             QStringList{QStringLiteral("A new version is available : %1\r\n\r\nDo you want to open the site ?")
                             .arg(QStringLiteral(TRESORIN_VERSION))});
    QVERIFY(ModalSeam::shownTexts(QStringLiteral("OpenLink")).isEmpty());
}

QTEST_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
