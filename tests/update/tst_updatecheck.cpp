// The update check without a window: the due rule, the reading of the server's answer, the
// textual version comparison, the version line and the support address, and the request itself
// against a server of the test on 127.0.0.1.

#include "ProductInfo.h"
#include "platform/SystemVersion.h"
#include "support/HttpServer.h"
#include "update/ProgramVersion.h"
#include "update/TMajWeb.h"
#include "update/UpdateCheck.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void updateDue_data();
    void updateDue();
    void answerLines_data();
    void answerLines();
    void decision_data();
    void decision();
    void addressChanges_data();
    void addressChanges();
    void versionLine_data();
    void versionLine();
    void percentEncoding_data();
    void percentEncoding();
    void supportAddress();
    void kernelVersion_data();
    void kernelVersion();
    void requestKeepsTheAnswer();
    void requestReadsAtMost2048Bytes();
    void requestWithoutServerFails();
    void requestOfAnotherProtocolFails();
    void silentServerTimesOut();
    void stoppedRequestReportsNothing();
};

void TestUpdateCheck::initTestCase()
{
    QVERIFY(TMajWeb::clientAvailable());
}

void TestUpdateCheck::updateDue_data()
{
    QTest::addColumn<int>("autoCheck");
    QTest::addColumn<qint64>("secondsAgo");
    QTest::addColumn<bool>("due");

    const qint64 day = 24 * 3600;
    QTest::newRow("never") << 0 << 400 * day << false;
    QTest::newRow("daily, just under a day") << 1 << day - 1 << false;
    QTest::newRow("daily, exactly a day") << 1 << day << false;
    QTest::newRow("daily, a day and a second") << 1 << day + 1 << true;
    QTest::newRow("weekly, exactly 7 days") << 2 << 7 * day << false;
    QTest::newRow("weekly, 8 days") << 2 << 8 * day << true;
    QTest::newRow("monthly, exactly 30 days") << 3 << 30 * day << false;
    QTest::newRow("monthly, default 31 days") << 3 << 31 * day << true;
    QTest::newRow("hand-edited 7") << 7 << 400 * day << false;
    QTest::newRow("last check in the future") << 1 << -day << false;
}

void TestUpdateCheck::updateDue()
{
    QFETCH(int, autoCheck);
    QFETCH(qint64, secondsAgo);
    QFETCH(bool, due);
    const QDateTime now(QDate(2024, 3, 31), QTime(12, 0, 0));
    QCOMPARE(UpdateCheckDue(autoCheck, now.addSecs(-secondsAgo), now), due);
}

void TestUpdateCheck::answerLines_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("one line") << QByteArray("2.2.0.0") << QStringList{"2.2.0.0"};
    QTest::newRow("one line ended") << QByteArray("2.2.0.0\r\n") << QStringList{"2.2.0.0"};
    QTest::newRow("all line ends") << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("empty line kept") << QByteArray("a\n\nb\n") << QStringList{"a", "", "b"};
    QTest::newRow("Windows-1252") << QByteArray("caf\xe9 \x80") << QStringList{QStringLiteral("café €")};
}

void TestUpdateCheck::answerLines()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, lines);
    QCOMPARE(AnswerLines(answer), lines);
}

void TestUpdateCheck::decision_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("value"); // the new address or the version
    const QString current = QStringLiteral("http://host/versions.php?soft=tresorin");
    const int again = UpdateDecision::AskAgain, newer = UpdateDecision::NewVersion, none = UpdateDecision::NoNewVersion;

    QTest::newRow("one line, newer") << QByteArray("2.2.0.0") << newer << "2.2.0.0";
    QTest::newRow("one line, whatever it holds") << QByteArray("3 beta\r\n") << newer << "3 beta";
    QTest::newRow("current URL and equal version")
        << QByteArray("URL=http://host/versions.php?soft=tresorin\r\nTresorin=2.1.2.34\r\n") << none << "2.1.2.34";
    QTest::newRow("current URL through _soft_")
        << QByteArray("url=http://host/versions.php?soft=_soft_\nTRESORIN=2.1.3.0") << newer << "2.1.3.0";
    QTest::newRow("textual: 2.1.10.0 is not newer") << QByteArray("Tresorin=2.1.10.0\r\nx=y") << none << "2.1.10.0";
    QTest::newRow("longer with equal start is newer") << QByteArray("Tresorin=2.1.2.345\nx") << newer << "2.1.2.345";
    QTest::newRow("first key line wins") << QByteArray("Tresorin=2.0\nTresorin=9.9") << none << "2.0";
    QTest::newRow("new address") << QByteArray("URL=http://other/v.php?soft=_soft_&_soft_\nTresorin=9") << again
                                 << "http://other/v.php?soft=tresorin&_soft_";
    QTest::newRow("_soft_ is replaced in its own case only")
        << QByteArray("URL=http://host/versions.php?soft=_SOFT_\nTresorin=9") << again
        << "http://host/versions.php?soft=_SOFT_";
    QTest::newRow("empty URL is ignored") << QByteArray("URL=\nTresorin=2.5") << newer << "2.5";
    QTest::newRow("error page of several lines") << QByteArray("<html>\n<body>Not found</body>\n</html>") << none << "";
    QTest::newRow("a lone key line is read as a key") << QByteArray("Tresorin=2.1.2.34\r\n") << none << "2.1.2.34";
    QTest::newRow("a lone current URL offers nothing")
        << QByteArray("URL=http://host/versions.php?soft=tresorin") << none << "";
}

void TestUpdateCheck::decision()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, kind);
    QFETCH(QString, value);
    const UpdateDecision d =
        DecideUpdate(answer, QStringLiteral("http://host/versions.php?soft=tresorin"), QStringLiteral("2.1.2.34"));
    QCOMPARE(int(d.kind), kind);
    QCOMPARE(kind == UpdateDecision::AskAgain ? d.url : d.version, value);
}

void TestUpdateCheck::addressChanges_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("mayFollow");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("value"); // the new address or the version
    const QString https = QStringLiteral("https://host/versions.php?soft=tresorin");
    const QString http = QStringLiteral("http://host/versions.php?soft=tresorin");
    const int again = UpdateDecision::AskAgain, newer = UpdateDecision::NewVersion, none = UpdateDecision::NoNewVersion;

    QTest::newRow("https to https") << https << QByteArray("URL=https://other/v.php\nTresorin=9") << true << again
                                    << "https://other/v.php";
    QTest::newRow("http to https") << http << QByteArray("URL=HTTPS://other/v.php\nTresorin=9") << true << again
                                   << "HTTPS://other/v.php";
    QTest::newRow("http to http") << http << QByteArray("URL=http://other/v.php\nTresorin=9") << true << again
                                  << "http://other/v.php";
    // Passed over: the version of the same answer is read instead.
    QTest::newRow("https down to http") << https << QByteArray("URL=http://other/v.php\nTresorin=9") << true << newer
                                        << "9";
    QTest::newRow("https down to HTTP") << QStringLiteral("HTTPS://host/v") << QByteArray("URL=HTTP://evil/v\nx=1")
                                        << true << none << "";
    QTest::newRow("a local file") << http << QByteArray("URL=file:///etc/passwd\nTresorin=1") << true << none << "1";
    QTest::newRow("no host") << http << QByteArray("URL=https:///v.php\nTresorin=1") << true << none << "1";
    QTest::newRow("not an address") << http << QByteArray("URL=somewhere else\nTresorin=1") << true << none << "1";
    QTest::newRow("second address of a check")
        << https << QByteArray("URL=https://third/v.php\nTresorin=9") << false << newer << "9";
}

void TestUpdateCheck::addressChanges()
{
    QFETCH(QString, current);
    QFETCH(QByteArray, answer);
    QFETCH(bool, mayFollow);
    QFETCH(int, kind);
    QFETCH(QString, value);
    const UpdateDecision d = DecideUpdate(answer, current, QStringLiteral("2.1.2.34"), mayFollow);
    QCOMPARE(int(d.kind), kind);
    QCOMPARE(kind == UpdateDecision::AskAgain ? d.url : d.version, value);
}

void TestUpdateCheck::versionLine_data()
{
    QTest::addColumn<QString>("privateBuild");
    QTest::addColumn<bool>("debug");
    QTest::addColumn<bool>("prerelease");
    QTest::addColumn<QDateTime>("date");
    QTest::addColumn<QString>("line");
    const QDateTime date(QDate(2009, 12, 9), QTime(18, 30));
    QTest::newRow("plain") << "" << false << false << date << "2.1.2 #34 du 09/12/2009";
    QTest::newRow("private build") << "Marc" << false << false << date << "2.1.2 #34 Marc du 09/12/2009";
    QTest::newRow("debug and pre-release") << "" << true << true << date << "2.1.2 #34-DBG-PRE du 09/12/2009";
    QTest::newRow("no date") << "" << false << false << QDateTime() << "2.1.2 #34 du 30/12/1899";
}

void TestUpdateCheck::versionLine()
{
    QFETCH(QString, privateBuild);
    QFETCH(bool, debug);
    QFETCH(bool, prerelease);
    QFETCH(QDateTime, date);
    QFETCH(QString, line);
    VersionInfo v;
    v.major = 2;
    v.minor = 1;
    v.release = 2;
    v.build = 34;
    v.privateBuild = privateBuild;
    v.debug = debug;
    v.prerelease = prerelease;
    QCOMPARE(VersionLine(v, date, QLocale(QLocale::French, QLocale::France)), line);
}

void TestUpdateCheck::percentEncoding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("version line") << "2.1.2 #34 du 09/12/2009"
                                  << "2.1.2%20%2334%20du%2009%2F12%2F2009";
    QTest::newRow("service pack") << "Service Pack 3"
                                  << "Service%20Pack%203";
    QTest::newRow("passed unchanged") << "azAZ09!$'()*,-."
                                      << "azAZ09!$'()*,-.";
    QTest::newRow("encoded signs") << "\"#%&+/:;<=>?@[\\]^_`{|}~"
                                   << "%22%23%25%26%2B%2F%3A%3B%3C%3D%3E%3F%40%5B%5C%5D%5E%5F%60%7B%7C%7D%7E";
    QTest::newRow("controls and Windows-1252") << QStringLiteral("\t\x7f é€") << "%09%7F%20%E9%80";
}

void TestUpdateCheck::percentEncoding()
{
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(PercentEncode(text), encoded);
}

void TestUpdateCheck::supportAddress()
{
    platform::SystemVersion system;
    system.major = 5;
    system.minor = 1;
    system.build = 2600;
    system.platformId = 2;
    system.servicePack = QStringLiteral("Service Pack 3");
    QCOMPARE(SupportLinkUrl(QStringLiteral("2.1.2 #34 du 09/12/2009"), system),
             QString::fromLatin1(kMakerSite) +
                 QStringLiteral("contact.php?soft=tresorin&version=2.1.2%20%2334%20du%2009%2F12%2F2009"
                                "&os=5.1.2600 P2 - Service%20Pack%203"));
    system.servicePack.clear();
    QVERIFY(SupportLinkUrl(QStringLiteral("x"), system).endsWith(QLatin1String("&os=5.1.2600 P2 - ")));
}

void TestUpdateCheck::kernelVersion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("numbers");
    QTest::newRow("Debian") << "6.1.0-13-amd64" << QList<int>{6, 1, 0};
    QTest::newRow("two numbers") << "10.0" << QList<int>{10, 0, 0};
    QTest::newRow("none") << "unknown" << QList<int>{0, 0, 0};
}

void TestUpdateCheck::kernelVersion()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, numbers);
    const platform::SystemVersion v = platform::parseKernelVersion(text);
    QCOMPARE((QList<int>{v.major, v.minor, v.build}), numbers);
}

namespace {
// Runs the worker to its end while the test's server answers.
void runToEnd(TMajWeb& worker)
{
    // A request that fails at once may finish before a signal spy would start waiting.
    worker.start();
    QTRY_VERIFY_WITH_TIMEOUT(worker.isFinished(), 10000);
}
} // namespace

void TestUpdateCheck::requestKeepsTheAnswer()
{
    testsupport::HttpServer server;
    QVERIFY(server.isListening());
    server.setAnswer(QStringLiteral("/versions.php?soft=tresorin"), "URL=x\r\nTresorin=2.2.0.0\r\n");
    TMajWeb worker(server.url(QStringLiteral("/versions.php?soft=tresorin")), true, QStringLiteral("NetError"));
    runToEnd(worker);
    QCOMPARE(worker.ErrorText, QString());
    QCOMPARE(worker.Answer, QByteArray("URL=x\r\nTresorin=2.2.0.0\r\n"));
    QCOMPARE(server.requests, QStringList{QStringLiteral("/versions.php?soft=tresorin")});
}

void TestUpdateCheck::requestReadsAtMost2048Bytes()
{
    testsupport::HttpServer server;
    QByteArray big(100000, 'v');
    big[0] = '9';
    server.setAnswer(QStringLiteral("/big"), big);
    TMajWeb worker(server.url(QStringLiteral("/big")), false, QStringLiteral("NetError"));
    runToEnd(worker);
    QCOMPARE(worker.ErrorText, QString());
    QCOMPARE(worker.Answer.size(), TMajWeb::kMaxAnswer);
    QCOMPARE(worker.Answer, big.left(TMajWeb::kMaxAnswer));
}

void TestUpdateCheck::requestWithoutServerFails()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    TMajWeb worker(QStringLiteral("http://127.0.0.1:%1/versions.php").arg(port), false,
                   QStringLiteral("Error accessing Internet"));
    runToEnd(worker);
    QVERIFY(worker.Answer.isEmpty());
    QVERIFY2(worker.ErrorText.startsWith(QLatin1String("Error accessing Internet\r\n\r\n")),
             qPrintable(worker.ErrorText));
    QVERIFY(worker.ErrorText.size() > int(qstrlen("Error accessing Internet\r\n\r\n")));
}

void TestUpdateCheck::requestOfAnotherProtocolFails()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("9.9.9.9");
    file.close();
    TMajWeb worker(QUrl::fromLocalFile(file.fileName()).toString(), false, QStringLiteral("NetError"));
    runToEnd(worker);
    QVERIFY(worker.Answer.isEmpty());
    QVERIFY(worker.ErrorText.startsWith(QLatin1String("NetError\r\n\r\n")));
}

void TestUpdateCheck::silentServerTimesOut()
{
    // A server that takes the connection and never answers: the time-out ends the request.
    testsupport::HttpServer server;
    server.holdAnswers = true;
    TMajWeb::setTimeouts(500, 500);
    TMajWeb worker(server.url(QStringLiteral("/versions.php")), true, QStringLiteral("NetError"));
    QElapsedTimer clock;
    clock.start();
    runToEnd(worker);
    TMajWeb::setTimeouts(10000, 20000);
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(worker.Answer.isEmpty());
    QVERIFY(worker.ErrorText.startsWith(QLatin1String("NetError\r\n\r\n")));
}

void TestUpdateCheck::stoppedRequestReportsNothing()
{
    testsupport::HttpServer server;
    server.holdAnswers = true;
    server.setAnswer(QStringLiteral("/v"), "9.9.9.9");
    TMajWeb worker(server.url(QStringLiteral("/v")), false, QStringLiteral("NetError"));
    worker.start();
    QTRY_COMPARE(server.requests.size(), 1);
    worker.requestInterruption();
    QTRY_VERIFY_WITH_TIMEOUT(worker.isFinished(), 5000);
    QVERIFY(worker.Answer.isEmpty());
    QCOMPARE(worker.ErrorText, QString());
}

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
