// One running instance per user: the wake-up request and its answer between two instances, a
// socket left behind by a crashed instance, and two real processes of the program; the places
// another user could set up to listen in; one window per document, with two real processes.

#include "platform/SingleInstance.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <thread>

#include <pwd.h>
#include <unistd.h>

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
    void squattedPlacesAreNeverUsed_data();
    void squattedPlacesAreNeverUsed();
    void documentOpenElsewhereComesForward();

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

// A folder or socket set up by someone else to listen in: the program never uses it, never sends
// the document's path there, and runs on. The rows that need another user are made as root (the
// files given to "nobody", a listener run as "nobody"); elsewhere they are skipped.
void TestInstance::squattedPlacesAreNeverUsed_data()
{
    QTest::addColumn<QString>("place");
    QTest::newRow("the shared name in the temporary folder") << "old-name";
    QTest::newRow("runtime folder writable by all") << "runtime-shared";
    QTest::newRow("runtime folder through a link") << "runtime-link";
    QTest::newRow("own folder writable by all") << "fallback-shared";
    QTest::newRow("own folder of another user") << "fallback-foreign";
    QTest::newRow("socket file of another user") << "socket-foreign";
    QTest::newRow("listener run by another user") << "peer-foreign";
}

void TestInstance::squattedPlacesAreNeverUsed()
{
    QFETCH(QString, place);
    const bool needsRoot = place.endsWith(QLatin1String("foreign"));
    const passwd* nobody = getpwnam("nobody");
    if (needsRoot && (geteuid() != 0 || !nobody))
        QSKIP("another user's files and processes are made as root only");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (place == QLatin1String("peer-foreign") && setpriv.isEmpty())
        QSKIP("setpriv is needed to run the listener as another user");

    const QString temp = m_tmp->makeFolder(QStringLiteral("temp"));
    const QString fallback = temp + QStringLiteral("/tresorin-%1").arg(geteuid());
    QString runtime; // XDG_RUNTIME_DIR of the program; empty: none
    QString socketFolder;
    if (place == QLatin1String("runtime-shared")) {
        runtime = socketFolder = m_tmp->makeFolder(QStringLiteral("shared"));
        QVERIFY(QFile::setPermissions(runtime, QFileDevice::Permissions(0x7777)));
    } else if (place == QLatin1String("runtime-link")) {
        socketFolder = m_tmp->makeFolder(QStringLiteral("private"));
        runtime = m_tmp->filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(socketFolder, runtime));
    } else if (place.startsWith(QLatin1String("fallback"))) {
        socketFolder = m_tmp->makeFolder(QStringLiteral("temp/tresorin-%1").arg(geteuid()));
        if (place == QLatin1String("fallback-shared"))
            QVERIFY(QFile::setPermissions(socketFolder, QFileDevice::Permissions(0x7777)));
        else
            QCOMPARE(chown(QFile::encodeName(socketFolder).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    } else if (place == QLatin1String("old-name")) {
        socketFolder = temp; // where every user may make "Orbelune-Tresorin-<user name>"
    } else {
        runtime = socketFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    }
    const QString socketPath =
        socketFolder + (place == QLatin1String("old-name") ? QStringLiteral("/Orbelune-Tresorin-victim")
                                                           : QStringLiteral("/Orbelune-Tresorin"));

    // The listener: in this process, or as "nobody" recording what it receives.
    QLocalServer squatter;
    QByteArray received;
    int connections = 0;
    connect(&squatter, &QLocalServer::newConnection, &squatter, [&] {
        while (QLocalSocket* s = squatter.nextPendingConnection()) {
            ++connections;
            connect(s, &QLocalSocket::readyRead, s, [s, &received] { received += s->readAll(); });
        }
    });
    QProcess foreignListener;
    // A folder the other user can reach: the test's own is closed to others.
    QTemporaryDir outsideDir(QDir::tempPath() + QStringLiteral("/tresorin-test-XXXXXX"));
    const QString outside = outsideDir.path();
    const QString log = outside + QStringLiteral("/log");
    if (place == QLatin1String("peer-foreign")) {
        QVERIFY(QFile::setPermissions(outside, QFileDevice::Permissions(0x7777)));
        foreignListener.start(setpriv, {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "/usr/bin/python3", "-c",
                                        "import socket,sys\n"
                                        "s=socket.socket(socket.AF_UNIX)\n"
                                        "s.bind(sys.argv[1])\n"
                                        "s.listen(5)\n"
                                        "while True:\n"
                                        "    c,_=s.accept()\n"
                                        "    d=c.recv(65536)\n"
                                        "    open(sys.argv[2],'ab').write(b'C'+d)\n"
                                        "    c.close()\n",
                                        outside + QStringLiteral("/s"), log});
        QVERIFY(foreignListener.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(outside + QStringLiteral("/s")), 10000);
        // Moved into the user's own folder and given to the user: only its credentials tell.
        QCOMPARE(::rename(QFile::encodeName(outside + QStringLiteral("/s")).constData(),
                          QFile::encodeName(socketPath).constData()),
                 0);
        QCOMPARE(lchown(QFile::encodeName(socketPath).constData(), geteuid(), getegid()), 0);
    } else {
        QVERIFY(squatter.listen(socketPath));
        if (place == QLatin1String("socket-foreign"))
            QCOMPARE(lchown(QFile::encodeName(socketPath).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }

    QVERIFY(m_tmp->writeFile(QStringLiteral("one.ini"), "[Main]\r\nOneInstance=1\r\nAutoCheck=0\r\n"));
    QVERIFY(m_tmp->writeFile(QStringLiteral("secret-name.pass"), "x"));
    testsupport::ProcessRunner runner = program(m_tmp->filePath(QStringLiteral("one.ini")));
    runner.setEnv(QStringLiteral("TMPDIR"), temp).setEnv(QStringLiteral("USER"), QStringLiteral("victim"));
    if (runtime.isEmpty())
        runner.unsetEnv(QStringLiteral("XDG_RUNTIME_DIR"));
    else
        runner.setEnv(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    QProcess victim;
    QVERIFY(runner.start(victim, {m_tmp->filePath(QStringLiteral("secret-name.pass"))}));
    // The victim runs on (a start that found "another instance" would end at once), and nothing of
    // the document's name went to the listener.
    QVERIFY(!victim.waitForFinished(1500));
    QTest::qWait(100);
    QCOMPARE(received, QByteArray());
    if (place != QLatin1String("peer-foreign")) {
        QCOMPARE(connections, 0);
    } else {
        QFile recorded(log);
        const QByteArray seen = recorded.open(QIODevice::ReadOnly) ? recorded.readAll() : QByteArray();
        QVERIFY2(!seen.contains("secret") && seen.count('C') == seen.size(), seen.constData());
        foreignListener.kill();
        foreignListener.waitForFinished(5000);
    }
    victim.kill();
    victim.waitForFinished(5000);
}

// Whatever the one-instance option: a start with a document that another window of the user has
// open brings that window forward and ends; another document opens in its own window; a holder that
// died holds nothing, and nothing is left beside the documents.
void TestInstance::documentOpenElsewhereComesForward()
{
    QVERIFY(m_tmp->writeFile(QStringLiteral("off.ini"), "[Main]\r\nOneInstance=0\r\nAutoCheck=0\r\n"));
    const QString ini = m_tmp->filePath(QStringLiteral("off.ini"));
    const QByteArray iniText = m_tmp->readFile(QStringLiteral("off.ini"));
    QVERIFY(m_tmp->writeFile(QStringLiteral("docs/d.pass"), "x"));
    QVERIFY(m_tmp->writeFile(QStringLiteral("docs/e.pass"), "x"));
    QVERIFY(QFile::link(m_tmp->filePath(QStringLiteral("docs")), m_tmp->filePath(QStringLiteral("alias"))));
    const QString d = m_tmp->filePath(QStringLiteral("docs/d.pass"));

    // The first window asks the meta password of d.pass, and holds it meanwhile.
    QProcess first;
    QVERIFY(program(ini).start(first, {d}));
    const QString door = SingleInstance::processSocketName(first.processId());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(door), 15000);

    // The same document under another name: that window comes forward, this start ends.
    QProcess second;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(program(ini).start(second, {m_tmp->filePath(QStringLiteral("alias/d.pass"))}));
    QVERIFY2(second.waitForFinished(15000), "the second start did not end");
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(m_tmp->readFile(QStringLiteral("off.ini")), iniText);

    // Another document opens in a window of its own.
    QProcess other;
    QVERIFY(program(ini).start(other, {m_tmp->filePath(QStringLiteral("docs/e.pass"))}));
    QVERIFY(!other.waitForFinished(1500));

    // The first window ends without a word: the document is free again.
    first.kill();
    QVERIFY(first.waitForFinished(5000));
    QProcess again;
    QVERIFY(program(ini).start(again, {d}));
    QVERIFY(!again.waitForFinished(1500));
    QCOMPARE(QDir(m_tmp->filePath(QStringLiteral("docs"))).entryList(QDir::Files | QDir::Hidden | QDir::System),
             (QStringList{"d.pass", "e.pass"}));
    for (QProcess* p : {&other, &again}) {
        p->kill();
        p->waitForFinished(5000);
    }
}

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
