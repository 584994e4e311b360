// A save killed at any moment keeps the document: tresorin-cli passwd on a large document is
// killed with SIGKILL after delays spread over a whole run, and after each kill the file opens
// whole under the old or the new password; a copy a killed save left behind never stops the
// next one.
#include "document/DocumentFile.h"
#include "platform/SafeFileWrite.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtTest>

using testsupport::TempFolder;

namespace {

constexpr int kEntries = 20000;
constexpr int kTries = 30;

QByteArray passwdInput(const QString& from, const QString& to)
{
    return (from + QLatin1Char('\n') + to + QLatin1Char('\n') + to + QLatin1Char('\n')).toUtf8();
}

// Starts passwd, kills it after delayUs (or lets it end when delayUs < 0); true when it ended by
// itself with status 0.
bool runPasswd(const QString& path, const QString& from, const QString& to, qint64 delayUs)
{
    QProcess p;
    if (!testsupport::ProcessRunner::cli().start(p, {QStringLiteral("passwd"), path}))
        return false;
    p.write(passwdInput(from, to));
    // Written now, not when an event loop next runs: the delay must be spent by the tool's work.
    p.waitForBytesWritten(10000);
    p.closeWriteChannel();
    if (delayUs >= 0) {
        QThread::usleep(static_cast<unsigned long>(delayUs));
        p.kill(); // SIGKILL
    }
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The password among candidates the file opens under, whole; empty when none does.
QString openWhole(const QString& path, const QStringList& candidates, QString& problem)
{
    for (const QString& password : candidates) {
        DocumentState doc;
        const docfile::LoadResult r = docfile::loadFile(path, password, doc, {});
        if (r.status == docfile::ReadStatus::BadPassword)
            continue;
        if (r.status != docfile::ReadStatus::Ok) {
            problem = QStringLiteral("read failure: %1").arg(r.error);
            return QString();
        }
        if (doc.entryCount() != kEntries) {
            problem = QStringLiteral("%1 entries instead of %2").arg(doc.entryCount()).arg(kEntries);
            return QString();
        }
        return password;
    }
    problem = QStringLiteral("opens under neither password");
    return QString();
}

} // namespace

class TestCliKillSave : public QObject
{
    Q_OBJECT

private slots:
    void killedSavesKeepTheDocument();
};

void TestCliKillSave::killedSavesKeepTheDocument()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("large.pass"));
    {
        DocumentState doc;
        TGroupe* group = doc.addGroup(QStringLiteral("Group"));
        for (int i = 0; i < kEntries; ++i) {
            auto entry = NewEntry(group, QStringLiteral("entry %1").arg(i));
            entry->Login = QStringLiteral("login%1").arg(i);
            entry->Password = QStringLiteral("password %1").arg(i);
            entry->Notes = QStringLiteral("a note that makes the record longer %1").arg(i);
            doc.appendEntry(std::move(entry));
        }
        doc.MetaPassword = QStringLiteral("pw0");
        QVERIFY(docfile::saveFile(doc, path, false).ok);
    }

    // One whole run gives the span the kills are spread over.
    QElapsedTimer timer;
    timer.start();
    QVERIFY(runPasswd(path, QStringLiteral("pw0"), QStringLiteral("pw1"), -1));
    const qint64 spanUs = qMax<qint64>(timer.nsecsElapsed() / 1000, 20000);
    QString problem;
    QCOMPARE(openWhole(path, {QStringLiteral("pw1")}, problem), QStringLiteral("pw1"));

    QString current = QStringLiteral("pw1");
    int replaced = 0;
    int strays = 0;
    for (int i = 0; i < kTries; ++i) {
        const QString next = QStringLiteral("pw%1").arg(i + 2);
        // From the start of the process to a little past a whole run.
        runPasswd(path, current, next, spanUs * (i + 1) / kTries + (i % 3) * 1000);
        const QString opened = openWhole(path, {current, next}, problem);
        QVERIFY2(!opened.isEmpty(), qPrintable(QStringLiteral("try %1: %2").arg(i).arg(problem)));
        if (opened == next)
            ++replaced;
        if (QFile::exists(platform::temporaryPathFor(path)))
            ++strays;
        current = opened;
    }
    qInfo("%d of %d killed saves had replaced the file; %d left their copy behind", replaced, kTries, strays);

    // Whatever the last kill left, the next save goes through and leaves no copy.
    QVERIFY(runPasswd(path, current, QStringLiteral("last"), -1));
    QCOMPARE(openWhole(path, {QStringLiteral("last")}, problem), QStringLiteral("last"));
    QVERIFY(!QFile::exists(platform::temporaryPathFor(path)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("large.pass")});
}

QTEST_MAIN(TestCliKillSave)
#include "tst_cli_killsave.moc"
