// tresorin-cli when memory runs out: a clear message and exit status 1, never an abort, and the
// file it would have written left as it was. While the tool waits for the password, its address
// space is limited to a little more than it has mapped then.
#include "document/DocumentFile.h"
#include "support/MemoryLimit.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <QtTest>

#include <sys/resource.h>

using testsupport::TempFolder;

namespace {

constexpr qint64 MiB = 1024 * 1024;

QByteArray readProc(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCliMemory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!testsupport::addressSpaceLimitsApply())
            QSKIP("address-space limits mean nothing under AddressSanitizer");
    }
    void shortageOfMemoryEndsWithAMessage_data();
    void shortageOfMemoryEndsWithAMessage();
};

void TestCliMemory::shortageOfMemoryEndsWithAMessage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("info") << QStringList{"info", "large.pass"} << QByteArray("pw\n");
    QTest::newRow("export") << QStringList{"export", "large.pass"} << QByteArray("pw\n");
    QTest::newRow("passwd") << QStringList{"passwd", "large.pass"} << QByteArray("pw\nnew\nnew\n");
}

void TestCliMemory::shortageOfMemoryEndsWithAMessage()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    TempFolder dir;
    QByteArray before;
    {
        // A 32 MiB note: 32 MiB of file, 64 MiB as text once read.
        DocumentState doc;
        TGroupe* group = doc.addGroup(QStringLiteral("Group"));
        auto entry = NewEntry(group, QStringLiteral("Large"));
        entry->Notes = QString(32 * MiB, QLatin1Char('n'));
        doc.appendEntry(std::move(entry));
        doc.MetaPassword = QStringLiteral("pw");
        QVERIFY(docfile::saveFile(doc, dir.filePath(QStringLiteral("large.pass")), false).ok);
        before = dir.readFile(QStringLiteral("large.pass"));
    }

    QProcess p;
    QVERIFY(testsupport::ProcessRunner::cli()
                .workingDirectory(dir.path())
                .setEnv(QStringLiteral("MALLOC_ARENA_MAX"), QStringLiteral("1")) // no reserved arenas to grow into
                .start(p, args));
    const QString proc = QStringLiteral("/proc/%1/").arg(p.processId());
    QTRY_VERIFY_WITH_TIMEOUT(readProc(proc + QStringLiteral("wchan")).contains("pipe_read"), 10000);
    qint64 mapped = -1;
    for (const QByteArray& line : readProc(proc + QStringLiteral("status")).split('\n'))
        if (line.startsWith("VmSize:"))
            mapped = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    QVERIFY(mapped > 0);
    const rlimit limit{rlim_t(mapped + 48 * MiB), rlim_t(mapped + 48 * MiB)};
    QCOMPARE(prlimit(pid_t(p.processId()), RLIMIT_AS, &limit, nullptr), 0);
    p.write(input);
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(err.contains("Not enough memory to complete this operation."), err.constData());
    QVERIFY(p.readAllStandardOutput().isEmpty());
    QCOMPARE(dir.readFile(QStringLiteral("large.pass")), before);
}

QTEST_GUILESS_MAIN(TestCliMemory)
#include "tst_cli_memory.moc"
