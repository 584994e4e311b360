// One running instance per user: the wake-up request and its answer between two instances, a
// socket left behind by a crashed instance, and two real processes of the program.

#include "platform/SingleInstance.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <thread>

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void secondInstanceIsAnswered();
    void openRequestCarriesTheDocument_data();
    void openRequestCarriesTheDocument();
    void silentInstanceIsNotAnswered();
    void leftoverSocketIsReplaced();
    void twoProcesses();
    void firstWithoutLockDoesNotStopLaterOne();

private:
    // The program with the settings file ini and the folders of this test.
    testsupport::ProcessRunner program(const QString& ini) const;
    bool waitForSocket(int ms) const;

    std::unique_ptr<testsupport::TempFolder> m_tmp;
    QByteArray m_savedRuntime;
};

void TestInstance::init()
{
    m_tmp = std::make_unique<testsupport::TempFolder>();
    m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    // Every test gets its own runtime folder, so no other instance on the machine is met.
    qputenv("XDG_RUNTIME_DIR", m_tmp->makeFolder(QStringLiteral("run")).toLocal8Bit());
}

void TestInstance::cleanup()
{
    qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
    m_tmp.reset();
}

// Claims in a thread of its own, so that this thread's event loop can answer meanwhile.
static SingleInstance::Claim claimElsewhere(int timeoutMs, const QString& document = QString())
{
    std::atomic<bool> done{false};
    SingleInstance::Claim result = SingleInstance::Claim::First;
    std::thread t([&] {
        SingleInstance other;
        result = other.claim(timeoutMs, document);
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < timeoutMs + 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    t.join();
    return result;
}

void TestInstance::secondInstanceIsAnswered()
{
    SingleInstance first;
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.isListening());
    QVERIFY(SingleInstance::serverName().endsWith(QLatin1String("/Orbelune-Tresorin")));
    QSignalSpy woken(&first, &SingleInstance::wakeUpRequested);

    QCOMPARE(claimElsewhere(5000), SingleInstance::Claim::OtherAnswered);
    QCOMPARE(woken.count(), 1);
    QCOMPARE(claimElsewhere(5000), SingleInstance::Claim::OtherAnswered);
    QCOMPARE(woken.count(), 2);
}

void TestInstance::openRequestCarriesTheDocument_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("plain path") << "/home/me/Documents/codes.pass";
    QTest::newRow("spaces and accents") << "/home/me/Mes documents/c\u00f4des \u00e9t\u00e9.pass";
}

// A later start with a document hands the path over; the running instance comes forward, is asked
// to open it, and answers as to a wake-up.
void TestInstance::openRequestCarriesTheDocument()
{
    QFETCH(QString, document);
    SingleInstance first;
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QSignalSpy woken(&first, &SingleInstance::wakeUpRequested);
    QSignalSpy open(&first, &SingleInstance::openRequested);
    QCOMPARE(claimElsewhere(5000, document), SingleInstance::Claim::OtherAnswered);
    QCOMPARE(woken.count(), 1);
    QCOMPARE(open.count(), 1);
    QCOMPARE(open.first().first().toString(), document);

    // A request that is no path of this system is not answered, and opens nothing.
    QLocalSocket forged;
    forged.connectToServer(SingleInstance::serverName());
    QVERIFY(forged.waitForConnected(2000));
    QByteArray request(8, '\0');
    qToLittleEndian(SingleInstance::OpenRequest, request.data());
    qToLittleEndian(quint32(8), request.data() + 4);
    forged.write(request + "relative");
    forged.flush();
    QTRY_COMPARE(forged.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(forged.readAll(), QByteArray());
    QCOMPARE(open.count(), 1);
}

void TestInstance::silentInstanceIsNotAnswered()
{
    // Something listens under the name but never answers: the later instance still stops.
    QLocalServer mute;
    QVERIFY(mute.listen(SingleInstance::serverName()));
    SingleInstance later;
    QCOMPARE(later.claim(300), SingleInstance::Claim::OtherSilent);
    QVERIFY(!later.isListening());
}

void TestInstance::leftoverSocketIsReplaced()
{
    // A crashed instance leaves its socket file behind; nobody listens there.
    QFile leftover(SingleInstance::serverName());
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    SingleInstance next;
    QCOMPARE(next.claim(500), SingleInstance::Claim::First);
    QVERIFY(next.isListening());
}

testsupport::ProcessRunner TestInstance::program(const QString& ini) const
{
    return testsupport::ProcessRunner::window()
        .setEnv(QStringLiteral("TRESORIN_INI"), ini)
        .setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"))
        .setEnv(QStringLiteral("XDG_RUNTIME_DIR"), qEnvironmentVariable("XDG_RUNTIME_DIR"))
        .setEnv(QStringLiteral("XDG_DATA_HOME"), m_tmp->filePath(QStringLiteral("data")))
        .setEnv(QStringLiteral("XDG_CONFIG_HOME"), m_tmp->filePath(QStringLiteral("config")));
}

bool TestInstance::waitForSocket(int ms) const
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (QFileInfo::exists(SingleInstance::serverName()))
            return true;
        QTest::qWait(50);
    }
    return false;
}

void TestInstance::twoProcesses()
{
    QVERIFY2(QFileInfo(testsupport::windowProgram()).isExecutable(), qPrintable(testsupport::windowProgram()));
    const QByteArray iniText = "[Main]\r\nOneInstance=1\r\nAutoCheck=0\r\n";
    QVERIFY(m_tmp->writeFile(QStringLiteral("one.ini"), iniText));
    const QString ini = m_tmp->filePath(QStringLiteral("one.ini"));
    const QDateTime written = QFileInfo(ini).lastModified();

    QProcess first;
    QVERIFY(program(ini).start(first));
    QVERIFY2(waitForSocket(15000), "the first instance never listened");

    QProcess second;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(program(ini).start(second, {m_tmp->filePath(QStringLiteral("other.pass"))}));
    QVERIFY2(second.waitForFinished(15000), "the second instance did not end");
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

    // The answered instance wrote nothing, and the first one still runs.
    QCOMPARE(m_tmp->readFile(QStringLiteral("one.ini")), iniText);
    QCOMPARE(QFileInfo(ini).lastModified(), written);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

void TestInstance::firstWithoutLockDoesNotStopLaterOne()
{
    QVERIFY(m_tmp->writeFile(QStringLiteral("off.ini"), "[Main]\r\nOneInstance=0\r\nAutoCheck=0\r\n"));
    QVERIFY(m_tmp->writeFile(QStringLiteral("on.ini"), "[Main]\r\nOneInstance=1\r\nAutoCheck=0\r\n"));

    QProcess first;
    QVERIFY(program(m_tmp->filePath(QStringLiteral("off.ini"))).start(first));
    QTest::qWait(1500);
    QVERIFY(!QFileInfo::exists(SingleInstance::serverName()));

    QProcess later;
    QVERIFY(program(m_tmp->filePath(QStringLiteral("on.ini"))).start(later));
    QVERIFY(waitForSocket(15000));
    QVERIFY(!later.waitForFinished(1000));
    QCOMPARE(later.state(), QProcess::Running);
    later.kill();
    first.kill();
    later.waitForFinished(5000);
    first.waitForFinished(5000);
}

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
