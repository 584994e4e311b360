#include "crypto/Cipher.h"
#include "document/DocumentFile.h"
#include "platform/Win1252.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::MessageLog;
using testsupport::StreamBuilder;
using testsupport::TempFolder;

namespace {

const QString kPassword = QStringLiteral("M\u00e9ta p\u00e4ss \u20ac");

QByteArray encipher(const QByteArray& stream, const QString& password = kPassword)
{
    return encipherDocument(stream, win1252::fromUnicode(password));
}

QFileDevice::Permissions mode(const QString& path)
{
    return QFile::permissions(path);
}

constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;

// Entries of the folder other than the given names: temporary files left behind.
QStringList strayFiles(const QString& folder, const QStringList& expected)
{
    QStringList stray;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (!expected.contains(name))
            stray << name;
    return stray;
}

// Caps the size of files this process may write, for as long as it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

class TestDocumentFile : public QObject
{
    Q_OBJECT

private slots:
    void saveThenLoadGivesTheSameDocument();
    void countedSaves();
    void wrongPasswordChangesNothing_data();
    void wrongPasswordChangesNothing();
    void unreadableFiles_data();
    void unreadableFiles();
    void openFromBytes();
    void readFailureInRecordsLeavesAnUntitledModifiedDocument();
    void streamEndingInItsMagicFails();
    void emptyStreamReadsNoRecords();
    void newFileIsOwnerOnlyAndExistingKeepsItsMode();
    void failedWriteKeepsTheOldFile();
    void lockedFolderOrFileKeepsTheOldFile();
    void symbolicLinkIsFollowed();
    void backupNeverWritesThroughALink_data();
    void backupNeverWritesThroughALink();
    void documentLargerThanTheCapIsNotRead();
};

void TestDocumentFile::saveThenLoadGivesTheSameDocument()
{
    TempFolder dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("rich.pass"));

    DocumentState doc;
    testsupport::buildRichDocument(doc);
    doc.MetaPassword = kPassword;
    const TDoc before = doc.LocalDoc;
    const docfile::WriteResult w = docfile::saveFile(doc, path, false);
    QVERIFY2(w.ok, qPrintable(w.error));
    QCOMPARE(doc.CurrentPath, path);
    QCOMPARE(testsupport::compareHeaders(doc.LocalDoc, before), QString());

    // The file is the check value then the enciphered stream, exactly as long as the stream.
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    const QByteArray stored = dir.readFile(QStringLiteral("rich.pass"));
    QCOMPARE(stored.size(), stream.size() + 20);
    QByteArray plain;
    QVERIFY(decipherDocument(stored, win1252::fromUnicode(kPassword), plain));
    QCOMPARE(plain, stream);

    DocumentState back;
    back.SetModified(true);
    back.FtpMode = true;
    MessageLog log;
    const docfile::LoadResult r = docfile::loadFile(path, kPassword, back, log.sink());
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.groups, doc.groupCount());
    QCOMPARE(r.entries, doc.entryCount());
    QCOMPARE(log.messages, QStringList{QStringLiteral("ErreurHN")}); // the entry without a group
    QCOMPARE(testsupport::compareHeaders(back.LocalDoc, doc.LocalDoc), QString());
    QCOMPARE(testsupport::compareContent(back, doc), QString());
    QCOMPARE(back.LocalDoc.FileName, path);
    QCOMPARE(back.LocalDoc.FormatVersion, 7);
    QCOMPARE(back.MetaPassword, kPassword);
    QCOMPARE(back.CurrentPath, path);
    QVERIFY(!back.Modified);
    QVERIFY(!back.FtpMode);
}

void TestDocumentFile::countedSaves()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("count.pass"));
    DocumentState doc;
    doc.MetaPassword = QStringLiteral("pw");
    doc.LocalDoc.SaveCount = 10;
    doc.LocalDoc.SaveDate = 1.0;
    const DateTime start = datetime::now();
    QVERIFY(docfile::saveFile(doc, path, true).ok);
    QVERIFY(docfile::saveFile(doc, path, true).ok);
    QCOMPARE(doc.LocalDoc.SaveCount, 12);
    QVERIFY(doc.LocalDoc.SaveDate >= start && doc.LocalDoc.SaveDate <= datetime::now());

    const DateTime saved = doc.LocalDoc.SaveDate;
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    QCOMPARE(doc.LocalDoc.SaveCount, 12);
    QCOMPARE(doc.LocalDoc.SaveDate, saved);

    DocumentState back;
    QVERIFY(docfile::loadFile(path, QStringLiteral("pw"), back, {}).ok());
    QCOMPARE(back.LocalDoc.SaveCount, 12);
    QCOMPARE(back.LocalDoc.SaveDate, saved);

    // A hostile counter at the limit wraps instead of overflowing.
    TDoc d;
    d.SaveCount = std::numeric_limits<qint32>::max();
    docfile::countSave(d);
    QCOMPARE(d.SaveCount, std::numeric_limits<qint32>::min());
}

void TestDocumentFile::wrongPasswordChangesNothing_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("password");
    QByteArray stream;
    DocumentState other;
    other.addGroup(QStringLiteral("theirs"));
    WriteDocumentStream(other, stream);
    QTest::newRow("wrong password") << encipher(stream) << QStringLiteral("m\u00e9ta p\u00e4ss \u20ac");
    QTest::newRow("empty file") << QByteArray() << kPassword;
    QTest::newRow("shorter than the check value") << encipher(stream).left(19) << kPassword;
    QTest::newRow("not a document") << QByteArray("plain text, certainly not enciphered\n") << kPassword;
    QByteArray damaged = encipher(stream);
    damaged[5] = static_cast<char>(damaged[5] ^ 1);
    QTest::newRow("damaged check value") << damaged << kPassword;
}

void TestDocumentFile::wrongPasswordChangesNothing()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, password);
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("x.pass"), stored));

    DocumentState doc;
    testsupport::buildRichDocument(doc);
    doc.MetaPassword = QStringLiteral("old");
    doc.CurrentPath = QStringLiteral("/somewhere/old.pass");
    doc.SetModified(true);
    DocumentState reference;
    testsupport::buildRichDocument(reference);

    MessageLog log;
    const docfile::LoadResult r = docfile::loadFile(dir.filePath(QStringLiteral("x.pass")), password, doc, log.sink());
    QCOMPARE(r.status, docfile::ReadStatus::BadPassword);
    QCOMPARE(log.messages, QStringList());
    QCOMPARE(testsupport::compareContent(doc, reference), QString());
    QCOMPARE(testsupport::compareHeaders(doc.LocalDoc, reference.LocalDoc), QString());
    QCOMPARE(doc.MetaPassword, QStringLiteral("old"));
    QCOMPARE(doc.CurrentPath, QStringLiteral("/somewhere/old.pass"));
    QVERIFY(doc.Modified);

    const docfile::OpenedDocument opened = docfile::openBytes(stored, QStringLiteral("x.pass"), password, {});
    QCOMPARE(opened.status, docfile::ReadStatus::BadPassword);
    QVERIFY(opened.stream.isEmpty());
}

void TestDocumentFile::unreadableFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("folder") << "folder";
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("endless device") << "device";
}

void TestDocumentFile::unreadableFiles()
{
    QFETCH(QString, kind);
    TempFolder dir;
    QString path = dir.filePath(QStringLiteral("target"));
    if (kind == QLatin1String("folder"))
        dir.makeFolder(QStringLiteral("target"));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("device"))
        path = QStringLiteral("/dev/zero");

    DocumentState doc;
    doc.addGroup(QStringLiteral("kept"));
    doc.CurrentPath = QStringLiteral("/previous.pass");
    const docfile::LoadResult r = docfile::loadFile(path, kPassword, doc, {});
    QCOMPARE(r.status, docfile::ReadStatus::Failed);
    QVERIFY(!r.error.isEmpty());
    QCOMPARE(doc.groupCount(), 1);
    QCOMPARE(doc.CurrentPath, QStringLiteral("/previous.pass"));
}

void TestDocumentFile::openFromBytes()
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    doc.MetaPassword = kPassword;
    const QByteArray bytes = docfile::encipheredDocument(doc);
    QCOMPARE(doc.entryCount(), 9); // building the bytes leaves the document alone

    MessageLog log;
    const docfile::OpenedDocument opened =
        docfile::openBytes(bytes, QStringLiteral("remote.pass"), kPassword, log.sink());
    QVERIFY(opened.ok());
    QCOMPARE(opened.header.FileName, QStringLiteral("remote.pass"));
    QCOMPARE(opened.header.FormatVersion, 7);
    QCOMPARE(opened.firstTag, QByteArray("NODE"));
    QCOMPARE(testsupport::compareHeaders(opened.header, doc.LocalDoc), QString());

    // Appending the same document twice: every group and entry twice, new groups with fresh Ids.
    DocumentState target;
    QVERIFY(docfile::readRecords(opened, target, false, log.sink()).ok);
    const RecordsResult second = docfile::readRecords(opened, target, true, log.sink());
    QVERIFY(second.ok);
    QCOMPARE(second.entries, doc.entryCount());
    QCOMPARE(target.groupCount(), 2 * doc.groupCount());
    QCOMPARE(target.entryCount(), 2 * doc.entryCount());
    QCOMPARE(target.FtpEntryIndex(), doc.entryCount() + doc.FtpEntryIndex());
    QCOMPARE(log.messages, (QStringList{QStringLiteral("ErreurHN"), QStringLiteral("ErreurHN")}));
}

void TestDocumentFile::readFailureInRecordsLeavesAnUntitledModifiedDocument()
{
    TFeuille e;
    e.Name = QStringLiteral("saved before the cut");
    const QByteArray stream = StreamBuilder()
                                  .start(7)
                                  .header(7, testsupport::richHeader())
                                  .group(1, 0, QStringLiteral("G"))
                                  .entry(7, 1, e)
                                  .bytes(); // no end record
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("cut.pass"));
    QVERIFY(dir.writeFile(QStringLiteral("cut.pass"), encipher(stream)));

    DocumentState doc;
    doc.CurrentPath = QStringLiteral("/previous.pass");
    doc.MetaPassword = QStringLiteral("previous");
    MessageLog log;
    const docfile::LoadResult r = docfile::loadFile(path, kPassword, doc, log.sink());
    QCOMPARE(r.status, docfile::ReadStatus::Failed);
    QCOMPARE(r.error, StreamReader::readErrorText());
    QCOMPARE(log.messages, QStringList());
    QCOMPARE(r.groups, 1);
    QCOMPARE(r.entries, 1);
    QCOMPARE(doc.entryCount(), 1);
    QCOMPARE(doc.entry(0)->Name, e.Name);
    QVERIFY(doc.CurrentPath.isEmpty());
    QVERIFY(doc.MetaPassword.isEmpty());
    QVERIFY(doc.Modified);
}

void TestDocumentFile::streamEndingInItsMagicFails()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("short.pass"), encipher(QByteArray("TRS 1"))));
    DocumentState doc;
    doc.addGroup(QStringLiteral("kept"));
    const docfile::LoadResult r = docfile::loadFile(dir.filePath(QStringLiteral("short.pass")), kPassword, doc, {});
    QCOMPARE(r.status, docfile::ReadStatus::Failed);
    QCOMPARE(r.error, StreamReader::readErrorText());
    QCOMPARE(doc.groupCount(), 1);
}

void TestDocumentFile::emptyStreamReadsNoRecords()
{
    DocumentState doc;
    doc.addGroup(QStringLiteral("replaced"));
    MessageLog log;
    const docfile::OpenedDocument opened =
        docfile::openBytes(encipher(QByteArray()), QStringLiteral("e"), kPassword, log.sink());
    QVERIFY(opened.ok());
    QCOMPARE(opened.header.FormatVersion, 0);
    const RecordsResult r = docfile::readRecords(opened, doc, false, log.sink());
    QVERIFY(r.ok);
    QCOMPARE(log.messages, QStringList{QStringLiteral("ErreurFIN")});
    QCOMPARE(doc.groupCount(), 0);
}

void TestDocumentFile::newFileIsOwnerOnlyAndExistingKeepsItsMode()
{
    TempFolder dir;
    const QString fresh = dir.filePath(QStringLiteral("new.pass"));
    QVERIFY(docfile::writeFileAtomically(fresh, "first").ok);
    QCOMPARE(mode(fresh), kOwnerOnly);
    QCOMPARE(dir.readFile(QStringLiteral("new.pass")), QByteArray("first"));

    const QString shared = dir.filePath(QStringLiteral("shared.pass"));
    QVERIFY(dir.writeFile(QStringLiteral("shared.pass"), "old"));
    const auto groupRead = kOwnerOnly | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(shared, groupRead));
    QVERIFY(docfile::writeFileAtomically(shared, "replaced").ok);
    QCOMPARE(mode(shared), groupRead);
    QCOMPARE(dir.readFile(QStringLiteral("shared.pass")), QByteArray("replaced"));
    QCOMPARE(strayFiles(dir.path(), {"new.pass", "shared.pass"}), QStringList());
}

void TestDocumentFile::failedWriteKeepsTheOldFile()
{
    // A disk that fills up in the middle of the write, simulated by a file size limit, which
    // also holds for the super-user.
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    const QByteArray old(3000, 'o');
    QVERIFY(dir.writeFile(QStringLiteral("doc.pass"), old));
    {
        FileSizeLimit limit(4096);
        QVERIFY(limit.ok());
        const docfile::WriteResult w = docfile::writeFileAtomically(path, QByteArray(100000, 'n'));
        QVERIFY(!w.ok);
        QVERIFY(!w.error.isEmpty());
    }
    QCOMPARE(dir.readFile(QStringLiteral("doc.pass")), old);
    QCOMPARE(strayFiles(dir.path(), {"doc.pass"}), QStringList());

    // A target that names a folder, and a folder that does not exist.
    dir.makeFolder(QStringLiteral("folder.pass"));
    QVERIFY(!docfile::writeFileAtomically(dir.filePath(QStringLiteral("folder.pass")), "x").ok);
    QVERIFY(!docfile::writeFileAtomically(dir.filePath(QStringLiteral("none/doc.pass")), "x").ok);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder.pass"))).isDir());

    // saveFile reports the failure; the counted save has advanced the counter all the same.
    DocumentState doc;
    const docfile::WriteResult w = docfile::saveFile(doc, dir.filePath(QStringLiteral("folder.pass")), true);
    QVERIFY(!w.ok);
    QCOMPARE(doc.LocalDoc.SaveCount, 1);
    QCOMPARE(doc.CurrentPath, dir.filePath(QStringLiteral("folder.pass")));
}

void TestDocumentFile::lockedFolderOrFileKeepsTheOldFile()
{
    if (geteuid() == 0)
        QSKIP("the super-user writes through permissions; covered by failedWriteKeepsTheOldFile");
    TempFolder dir;
    const QString lockedDir = dir.makeFolder(QStringLiteral("locked"));
    QVERIFY(dir.writeFile(QStringLiteral("locked/doc.pass"), "old"));
    QVERIFY(QFile::setPermissions(lockedDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QVERIFY(!docfile::writeFileAtomically(dir.filePath(QStringLiteral("locked/doc.pass")), "new").ok);
    QCOMPARE(dir.readFile(QStringLiteral("locked/doc.pass")), QByteArray("old"));

    QVERIFY(dir.writeFile(QStringLiteral("ro.pass"), "old"));
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("ro.pass")), QFileDevice::ReadOwner));
    QVERIFY(!docfile::writeFileAtomically(dir.filePath(QStringLiteral("ro.pass")), "new").ok);
    QCOMPARE(dir.readFile(QStringLiteral("ro.pass")), QByteArray("old"));
}

void TestDocumentFile::symbolicLinkIsFollowed()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("real/doc.pass"), "old"));
    const QString link = dir.filePath(QStringLiteral("link.pass"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("real/doc.pass")), link));
    QVERIFY(docfile::writeFileAtomically(link, "new").ok);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(dir.readFile(QStringLiteral("real/doc.pass")), QByteArray("new"));
}

void TestDocumentFile::backupNeverWritesThroughALink_data()
{
    QTest::addColumn<QString>("linkName"); // beside the document
    QTest::addColumn<bool>("targetExists");
    QTest::newRow(".bak to a file elsewhere") << "doc.pass.bak" << true;
    QTest::newRow(".bak dangling") << "doc.pass.bak" << false;
    QTest::newRow("its temporary file to a file elsewhere") << "doc.pass.bak.saving" << true;
    QTest::newRow("its temporary file dangling") << "doc.pass.bak.saving" << false;
}

// A link planted beside the document, where its backup (or the backup's temporary file) goes,
// must not carry the document's bytes to the file it names: refused, nothing written anywhere.
void TestDocumentFile::backupNeverWritesThroughALink()
{
    QFETCH(QString, linkName);
    QFETCH(bool, targetExists);
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("docs/doc.pass"), "the document"));
    const QString target = dir.filePath(QStringLiteral("elsewhere/victim"));
    dir.makeFolder(QStringLiteral("elsewhere"));
    if (targetExists)
        QVERIFY(dir.writeFile(QStringLiteral("elsewhere/victim"), "victim"));
    const QString link = dir.filePath(QStringLiteral("docs/") + linkName);
    QVERIFY(QFile::link(target, link));

    const QString document = dir.filePath(QStringLiteral("docs/doc.pass"));
    const docfile::WriteResult kept = docfile::keepBackup(document);
    QVERIFY(!kept.ok);
    QVERIFY(!kept.error.isEmpty());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(dir.exists(QStringLiteral("elsewhere/victim")), targetExists);
    if (targetExists)
        QCOMPARE(dir.readFile(QStringLiteral("elsewhere/victim")), QByteArray("victim"));
    QCOMPARE(strayFiles(dir.filePath(QStringLiteral("elsewhere")), {QStringLiteral("victim")}), QStringList());
    QCOMPARE(dir.readFile(QStringLiteral("docs/doc.pass")), QByteArray("the document"));

    // Without the link, the backup is made; the document itself still follows its own link.
    QVERIFY(QFile::remove(link));
    QVERIFY(docfile::keepBackup(document).ok);
    QCOMPARE(dir.readFile(QStringLiteral("docs/doc.pass.bak")), QByteArray("the document"));
    QVERIFY(!QFileInfo(dir.filePath(QStringLiteral("docs/doc.pass.bak"))).isSymLink());
    QCOMPARE(mode(dir.filePath(QStringLiteral("docs/doc.pass.bak"))), kOwnerOnly);
    QCOMPARE(
        strayFiles(dir.filePath(QStringLiteral("docs")), {QStringLiteral("doc.pass"), QStringLiteral("doc.pass.bak")}),
        QStringList());
}

// A file larger than the largest document is refused before it is read (a sparse file: its size
// takes no room on the disk).
void TestDocumentFile::documentLargerThanTheCapIsNotRead()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("huge.pass"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(encipher("TRS")) > 0);
        QVERIFY(file.resize(docfile::kMaxDocumentBytes + 1));
    }
    DocumentState doc;
    doc.addGroup(QStringLiteral("kept"));
    const docfile::LoadResult r = docfile::loadFile(path, kPassword, doc, {});
    QCOMPARE(r.status, docfile::ReadStatus::Failed);
    QVERIFY(r.tooLarge);
    QCOMPARE(r.error, docfile::tooLargeText());
    QCOMPARE(doc.groupCount(), 1);

    // At the cap itself, the file is read as any other (its check value first).
    QVERIFY(QFile::resize(path, docfile::kMaxDocumentBytes));
    const docfile::OpenedDocument opened = docfile::openFile(path, QStringLiteral("another password"), {});
    QVERIFY(!opened.tooLarge);
    QCOMPARE(opened.status, docfile::ReadStatus::BadPassword);
}

QTEST_GUILESS_MAIN(TestDocumentFile)
#include "tst_documentfile.moc"
