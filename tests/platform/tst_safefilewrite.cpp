// Every file the program writes (documents, the settings file, the desktop's recent list) is
// replaced whole or not at all: a write that fails part-way, through a file-size limit or a full
// disk, leaves the old file as it was, leaves no temporary file behind and reports the system's
// own text of the failure.

#include "document/DocumentFile.h"
#include "platform/RecentDocs.h"
#include "platform/SafeFileWrite.h"
#include "settings/IniFile.h"
#include "support/FullDisk.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::TempFolder;

namespace {

enum class Writer
{
    Helper,     // platform::writeFileSafely
    Document,   // docfile::writeFileAtomically, as every document save does
    Settings,   // IniFile::save
    RecentList, // platform::AddToRecentDocuments
};

// Replaces the file at path, which holds old bytes, by about `size` new bytes through the writer;
// returns "ok" or "failed:" followed by the error text the writer gives.
QByteArray replaceWith(Writer writer, const QString& path, qsizetype size)
{
    QString error;
    bool ok = false;
    switch (writer) {
    case Writer::Helper: {
        const platform::SafeWriteResult r = platform::writeFileSafely(path, QByteArray(size, 'n'));
        ok = r.ok;
        error = r.error;
        break;
    }
    case Writer::Document: {
        const docfile::WriteResult r = docfile::writeFileAtomically(path, QByteArray(size, 'n'));
        ok = r.ok;
        error = r.error;
        break;
    }
    case Writer::Settings: {
        IniFile ini(path);
        ini.writeString(QStringLiteral("Main"), QStringLiteral("Filler"), QString(size, QLatin1Char('n')));
        ok = ini.save(&error);
        break;
    }
    case Writer::RecentList:
        // Best effort, reports nothing: only what stays on disk tells.
        platform::AddToRecentDocuments(path + QStringLiteral("-") + QString(size, QLatin1Char('n')));
        ok = true;
        break;
    }
    return ok ? QByteArray("ok") : "failed:" + error.toUtf8();
}

QByteArray oldContent(Writer writer, qsizetype size)
{
    if (writer == Writer::Settings)
        return "[Main]\r\nOld=" + QByteArray(size - 15, 'o') + "\r\n";
    if (writer == Writer::RecentList)
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\">" + QByteArray(size - 59, ' ') +
               "</xbel>\n";
    return QByteArray(size, 'o');
}

QStringList folderContent(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t modeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class TestSafeFileWrite : public QObject
{
    Q_OBJECT

private slots:
    void writeCutByTheFileSizeLimitKeepsTheOldFile_data();
    void writeCutByTheFileSizeLimitKeepsTheOldFile();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void staleTemporaryFileIsReplaced();
    void newFilePermissions();
};

void TestSafeFileWrite::writeCutByTheFileSizeLimitKeepsTheOldFile_data()
{
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<int>("oldSize");
    QTest::addColumn<int>("newSize");
    QTest::addColumn<int>("limit");

    // Small files are the ones a buffered writer only tries to write when it commits.
    QTest::newRow("helper, small document, nothing fits") << Writer::Helper << 157 << 300 << 0;
    QTest::newRow("helper, small document cut") << Writer::Helper << 157 << 300 << 200;
    QTest::newRow("helper, cut at a page") << Writer::Helper << 3000 << 10000 << 4096;
    QTest::newRow("helper, large document cut") << Writer::Helper << 3000 << 100000 << 4096;
    QTest::newRow("document") << Writer::Document << 157 << 300 << 200;
    QTest::newRow("settings file") << Writer::Settings << 157 << 3000 << 1024;
    QTest::newRow("recent documents list") << Writer::RecentList << 157 << 3000 << 512;
}

void TestSafeFileWrite::writeCutByTheFileSizeLimitKeepsTheOldFile()
{
    QFETCH(Writer, writer);
    QFETCH(int, oldSize);
    QFETCH(int, newSize);
    QFETCH(int, limit);

    TempFolder dir;
    const QString name =
        writer == Writer::RecentList ? QStringLiteral("recently-used.xbel") : QStringLiteral("doc.pass");
    const QString path = dir.filePath(name);
    const QByteArray old = oldContent(writer, oldSize);
    QVERIFY(dir.writeFile(name, old));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());

    const std::optional<QByteArray> answer =
        testsupport::runWithFileSizeLimit(limit, [&] { return replaceWith(writer, path, newSize); });
    QVERIFY(answer);
    if (writer != Writer::RecentList) {
        QVERIFY2(answer->startsWith("failed:"), answer->constData());
        QVERIFY2(answer->endsWith("File too large"), answer->constData());
    }
    QCOMPARE(dir.readFile(name), old);
    QCOMPARE(modeOf(path), mode_t(0640));
    QCOMPARE(folderContent(dir.path()), QStringList{name});

    // Without the limit the same write goes through; the settings file becomes its owner's only.
    QCOMPARE(replaceWith(writer, path, newSize), QByteArray("ok"));
    QVERIFY(dir.readFile(name) != old);
    QCOMPARE(modeOf(path), writer == Writer::Settings ? mode_t(0600) : mode_t(0640));
    QCOMPARE(folderContent(dir.path()), QStringList{name});
}

void TestSafeFileWrite::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<Writer>("writer");
    QTest::newRow("helper") << Writer::Helper;
    QTest::newRow("settings file") << Writer::Settings;
}

void TestSafeFileWrite::fullDiskKeepsTheOldFile()
{
    QFETCH(Writer, writer);
    TempFolder dir;
    testsupport::SmallTmpfs disk(dir.filePath(QStringLiteral("disk")), 1024);
    if (!disk.ok())
        QSKIP(qPrintable(disk.failure()));

    const QString path = disk.path() + QStringLiteral("/doc.pass");
    const QByteArray old = oldContent(writer, 157);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(old), old.size());
    }
    QVERIFY(disk.fill());

    const QByteArray answer = replaceWith(writer, path, 300);
    QVERIFY2(answer.startsWith("failed:") && answer.endsWith("No space left on device"), answer.constData());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), old);
    QCOMPARE(folderContent(disk.path()), (QStringList{"doc.pass", "filler"}));

    disk.release();
    QCOMPARE(replaceWith(writer, path, 300), QByteArray("ok"));
    QCOMPARE(folderContent(disk.path()), QStringList{"doc.pass"});
}

void TestSafeFileWrite::staleTemporaryFileIsReplaced()
{
    // A save killed between writing its temporary file and the rename leaves that file behind;
    // its name comes from the document's, so the next save finds it.
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    const QString temporary = platform::temporaryPathFor(path);
    QCOMPARE(QFileInfo(temporary).absolutePath(), dir.path());
    QVERIFY(QFileInfo(temporary).fileName().startsWith(QStringLiteral("doc.pass")));

    QVERIFY(dir.writeFile(QFileInfo(temporary).fileName(), "stale copy"));
    QVERIFY(platform::writeFileSafely(path, "first").ok);
    QCOMPARE(dir.readFile(QStringLiteral("doc.pass")), QByteArray("first"));
    QCOMPARE(folderContent(dir.path()), QStringList{"doc.pass"});

    // Planted as a link, it is not followed: the file it points to stays as it is.
    QVERIFY(dir.writeFile(QStringLiteral("other"), "other"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("other")), temporary));
    QVERIFY(platform::writeFileSafely(path, "second").ok);
    QCOMPARE(dir.readFile(QStringLiteral("doc.pass")), QByteArray("second"));
    QCOMPARE(dir.readFile(QStringLiteral("other")), QByteArray("other"));
    QCOMPARE(folderContent(dir.path()), (QStringList{"doc.pass", "other"}));
}

void TestSafeFileWrite::newFilePermissions()
{
    TempFolder dir;
    const mode_t savedMask = ::umask(022);
    const QString secret = dir.filePath(QStringLiteral("secret.pass"));
    const QString shared = dir.filePath(QStringLiteral("Fr_Main.txt"));
    const bool secretWritten = platform::writeFileSafely(secret, "s").ok;
    const bool sharedWritten = platform::writeFileSafely(shared, "t", platform::NewFileAccess::Default).ok;
    ::umask(savedMask);
    QVERIFY(secretWritten && sharedWritten);
    QCOMPARE(modeOf(secret), mode_t(0600));
    QCOMPARE(modeOf(shared), mode_t(0644));
}

QTEST_GUILESS_MAIN(TestSafeFileWrite)
#include "tst_safefilewrite.moc"
