// Both programs make themselves non-dumpable at start: no core file, and the user's other
// processes can neither attach a debugger nor read /proc/PID/mem. The kernel shows it by giving
// the /proc files of such a process to root; the programs are run as an ordinary user (through
// setpriv when the tests run as root) so that the owner tells.

#include "support/ProcessRunner.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestProcessDumpable : public QObject
{
    Q_OBJECT

private slots:
    void notDumpable_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        // Waits for its meta password on standard input (a file that exists, so it asks).
        QTest::newRow("tresorin-cli") << "src/tresorin-cli" << QStringList{"info", "/etc/hostname"};
        QTest::newRow("tresorin") << "src/tresorin" << QStringList{};
    }

    void notDumpable()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        const QString bin = testsupport::buildBinDir() + QLatin1Char('/') + program;
        QString command = bin;
        uint childUid = getuid();
        if (childUid == 0) {
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (setpriv.isEmpty())
                QSKIP("running as root without setpriv: the owner of /proc/PID would not tell");
            args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", bin} + args;
            command = setpriv;
            childUid = 65534;
        }
        QTemporaryDir home(QStringLiteral("/tmp/tresorin-dump-XXXXXX"));
        QVERIFY(home.isValid());
        QFile::setPermissions(home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                               QFileDevice::ReadOther | QFileDevice::WriteOther |
                                               QFileDevice::ExeOther);
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("TRESORIN_INI"), home.path() + QStringLiteral("/Tresorin.ini"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess child;
        QVERIFY(testsupport::ProcessRunner(command).environment(env).start(child, args));
        const QString proc = QStringLiteral("/proc/%1/").arg(child.processId());
        // The program itself runs, under the ordinary user (not setpriv before its switch).
        const auto runsAsUser = [&] {
            QFile cmdline(proc + QStringLiteral("cmdline"));
            QFile status(proc + QStringLiteral("status"));
            if (!cmdline.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
                return false;
            return cmdline.readAll().startsWith(bin.toUtf8() + '\0') &&
                   status.readAll().contains(QByteArray("\nUid:\t") + QByteArray::number(childUid) + '\t');
        };
        QTRY_VERIFY_WITH_TIMEOUT(runsAsUser(), 10000);
        QVERIFY(childUid != 0);
        // Each program turns itself non-dumpable first thing; a program that never does keeps
        // its files under its own user, and the wait runs out.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(proc + QStringLiteral("mem")).ownerId() == 0, 5000);
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        child.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestProcessDumpable)
#include "tst_process_dumpable.moc"
