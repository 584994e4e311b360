// Documents in the strong container through the whole windowless pipeline: save and open, the
// copy of an FTP server, merge, the switch to it and back, and the key kept between saves.

#include "crypto/Cipher.h"
#include "crypto/StrongContainer.h"
#include "document/DocumentFile.h"
#include "document/DocumentMerge.h"
#include "ftp/Synchronisation.h"
#include "platform/Win1252.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QtTest>

using testsupport::MessageLog;
using testsupport::TempFolder;

namespace {

const strong::KdfParameters kSmall{1, strong::MinMemoryKiB};
const QString kPassword = QStringLiteral("M\u00e9ta p\u00e4ss \u20ac");

int g_derivations = 0;
void countDerivation(const strong::KdfParameters&)
{
    ++g_derivations;
}

QByteArray streamOf(const DocumentState& doc)
{
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    return stream;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool isCompatibleFile(const QByteArray& bytes, const QString& password)
{
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey(win1252::fromUnicode(password));
    return cipher.CheckValueMatches(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size());
}

void buildStrong(DocumentState& doc)
{
    testsupport::buildRichDocument(doc);
    doc.MetaPassword = kPassword;
    docfile::setProtection(doc, true);
    doc.SetModified(false);
}

} // namespace

class TestStrongDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void switchedToStrongAndBackTheStreamIsTheSame();
    void keyIsDerivedOncePerPasswordAndCost();
    void copyInMemoryOpensLikeTheFile();
    void damagedFileLeavesTheDocumentAlone_data();
    void damagedFileLeavesTheDocumentAlone();
    void mergeKeepsTheOpenDocumentsProtection();
    void setProtectionMarksOnlyChanges();
    void takenFtpCopyNeverTurnsStrongProtectionOff_data();
    void takenFtpCopyNeverTurnsStrongProtectionOff();

private:
    std::unique_ptr<TempFolder> m_tmp;
};

void TestStrongDocument::initTestCase()
{
    strong::setCalibratedParametersForTests(kSmall);
    strong::setDerivationObserver(countDerivation);
}

void TestStrongDocument::init()
{
    m_tmp = std::make_unique<TempFolder>();
    g_derivations = 0;
}

void TestStrongDocument::cleanupTestCase()
{
    strong::setDerivationObserver(nullptr);
    strong::setCalibratedParametersForTests({});
}

void TestStrongDocument::switchedToStrongAndBackTheStreamIsTheSame()
{
    // The document as the compatible format gives it back, so that every later read can be
    // compared byte for byte. Each read reports the fixture's entry without a group (ErreurHN).
    const QString path = m_tmp->filePath(QStringLiteral("doc.pass"));
    DocumentState doc;
    {
        DocumentState rich;
        testsupport::buildRichDocument(rich);
        rich.MetaPassword = kPassword;
        QVERIFY(docfile::saveFile(rich, path, false).ok);
        MessageLog log;
        QVERIFY(docfile::loadFile(path, kPassword, doc, log.sink()).ok());
    }
    const QByteArray stream = streamOf(doc);

    QVERIFY(docfile::setProtection(doc, true));
    QVERIFY(doc.Modified);
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    QByteArray stored = fileBytes(path);
    QVERIFY(strong::looksLikeContainer(stored.constData(), stored.size()));
    QVERIFY(!isCompatibleFile(stored, kPassword));
    // Inside the container, the stream of the compatible format byte for byte.
    QCOMPARE(int(strong::open(stored, win1252::fromUnicode(kPassword)).status), int(strong::OpenStatus::Ok));
    QCOMPARE(stored, stream);

    DocumentState strongDoc;
    MessageLog log;
    QVERIFY(docfile::loadFile(path, kPassword, strongDoc, log.sink()).ok());
    QCOMPARE(log.messages, QStringList{QStringLiteral("ErreurHN")});
    QVERIFY(strongDoc.LocalDoc.Protection.isStrong());
    QCOMPARE(strongDoc.LocalDoc.Protection.kdf, kSmall);
    QCOMPARE(streamOf(strongDoc), stream);

    QVERIFY(docfile::setProtection(strongDoc, false));
    QVERIFY(docfile::saveFile(strongDoc, path, false).ok);
    QVERIFY(isCompatibleFile(fileBytes(path), kPassword));
    DocumentState back;
    log.messages.clear();
    QVERIFY(docfile::loadFile(path, kPassword, back, log.sink()).ok());
    QCOMPARE(log.messages, QStringList{QStringLiteral("ErreurHN")});
    QVERIFY(!back.LocalDoc.Protection.isStrong());
    QCOMPARE(streamOf(back), stream);
    QCOMPARE(testsupport::compareContent(back, doc), QString());
}

void TestStrongDocument::keyIsDerivedOncePerPasswordAndCost()
{
    DocumentState doc;
    buildStrong(doc);
    const QString path = m_tmp->filePath(QStringLiteral("doc.pass"));
    QVERIFY(docfile::saveFile(doc, path, true).ok);
    QCOMPARE(g_derivations, 1);
    const QByteArray first = fileBytes(path);
    QVERIFY(docfile::saveFile(doc, path, true).ok);
    QCOMPARE(g_derivations, 1);
    const QByteArray second = fileBytes(path);
    QCOMPARE(second.mid(20, strong::SaltLength), first.mid(20, strong::SaltLength));
    QVERIFY(second.mid(36, strong::NonceLength) != first.mid(36, strong::NonceLength));

    // The key that opened the file serves the next save.
    DocumentState opened;
    MessageLog log;
    QVERIFY(docfile::loadFile(path, kPassword, opened, log.sink()).ok());
    QCOMPARE(g_derivations, 2);
    QVERIFY(docfile::saveFile(opened, path, true).ok);
    QCOMPARE(g_derivations, 2);
    QCOMPARE(fileBytes(path).mid(20, strong::SaltLength), first.mid(20, strong::SaltLength));

    // Another password, or another cost, gets a key and a salt of its own.
    opened.MetaPassword = QStringLiteral("another");
    QVERIFY(docfile::saveFile(opened, path, true).ok);
    QCOMPARE(g_derivations, 3);
    const QByteArray third = fileBytes(path);
    QVERIFY(third.mid(20, strong::SaltLength) != first.mid(20, strong::SaltLength));
    QVERIFY(docfile::setProtection(opened, true, {2, kSmall.memoryKiB}));
    QVERIFY(docfile::saveFile(opened, path, true).ok);
    QCOMPARE(g_derivations, 4);

    DocumentState again;
    QCOMPARE(int(docfile::loadFile(path, kPassword, again, log.sink()).status), int(docfile::ReadStatus::BadPassword));
    QVERIFY(docfile::loadFile(path, QStringLiteral("another"), again, log.sink()).ok());
    QCOMPARE(again.LocalDoc.Protection.kdf, strong::KdfParameters({2, kSmall.memoryKiB}));
    QCOMPARE(again.LocalDoc.SaveCount, doc.LocalDoc.SaveCount + 3);

    // Emptying the document drops its key.
    again.clearContent();
    QVERIFY(!again.StrongKey);
}

void TestStrongDocument::copyInMemoryOpensLikeTheFile()
{
    DocumentState doc;
    buildStrong(doc);
    const QByteArray stored = docfile::encipheredDocument(doc);
    MessageLog log;
    docfile::OpenedDocument opened = docfile::openBytes(stored, QStringLiteral("ftp.pass"), kPassword, log.sink());
    QVERIFY(opened.ok());
    QVERIFY(opened.strongKey);
    QVERIFY(opened.header.Protection.isStrong());
    QCOMPARE(opened.header.FileName, QStringLiteral("ftp.pass"));
    QCOMPARE(testsupport::compareHeaders(opened.header, doc.LocalDoc), QString());
    DocumentState copy;
    QVERIFY(docfile::readRecords(opened, copy, false, log.sink()).ok);
    QCOMPARE(testsupport::compareContent(copy, doc), QString());

    opened = docfile::openBytes(stored, QString(), QStringLiteral("wrong"), log.sink());
    QCOMPARE(int(opened.status), int(docfile::ReadStatus::BadPassword));
    QVERIFY(!opened.damaged);
    QByteArray altered = stored;
    altered[altered.size() / 2] ^= 0x10;
    opened = docfile::openBytes(altered, QString(), kPassword, log.sink());
    QCOMPARE(int(opened.status), int(docfile::ReadStatus::Failed));
    QVERIFY(opened.damaged);
    QCOMPARE(opened.error, docfile::damagedText());
    QVERIFY(opened.stream.isEmpty());
    // Only the records read above raised a message (the fixture's entry without a group).
    QCOMPARE(log.messages, QStringList{QStringLiteral("ErreurHN")});
}

void TestStrongDocument::damagedFileLeavesTheDocumentAlone_data()
{
    QTest::addColumn<int>("cutTo");  // length kept, or -1
    QTest::addColumn<int>("flipAt"); // byte changed, or -1
    QTest::newRow("cut within the header") << 50 << -1;
    QTest::newRow("cut within the tag") << 1000000 << -1; // replaced by size - 3 below
    QTest::newRow("salt changed") << -1 << 22;
    QTest::newRow("text changed") << -1 << 200;
}

void TestStrongDocument::damagedFileLeavesTheDocumentAlone()
{
    QFETCH(int, cutTo);
    QFETCH(int, flipAt);
    DocumentState source;
    buildStrong(source);
    QByteArray stored = docfile::encipheredDocument(source);
    if (cutTo >= 0)
        stored.truncate(qMin<qsizetype>(cutTo, stored.size() - 3));
    if (flipAt >= 0)
        stored[flipAt] ^= 0x01;
    const QString path = m_tmp->filePath(QStringLiteral("damaged.pass"));
    QVERIFY(writeBytes(path, stored));

    DocumentState doc;
    doc.addGroup(QStringLiteral("mine"));
    doc.MetaPassword = QStringLiteral("kept");
    doc.CurrentPath = QStringLiteral("/somewhere/mine.pass");
    MessageLog log;
    const docfile::LoadResult r = docfile::loadFile(path, kPassword, doc, log.sink());
    QCOMPARE(int(r.status), int(docfile::ReadStatus::Failed));
    QVERIFY(r.damaged);
    QCOMPARE(r.error, docfile::damagedText());
    QCOMPARE(doc.groupCount(), 1);
    QCOMPARE(doc.MetaPassword, QStringLiteral("kept"));
    QCOMPARE(doc.CurrentPath, QStringLiteral("/somewhere/mine.pass"));
    QVERIFY(!doc.LocalDoc.Protection.isStrong());
    QCOMPARE(log.messages, QStringList());
}

void TestStrongDocument::mergeKeepsTheOpenDocumentsProtection()
{
    DocumentState other;
    buildStrong(other);
    const QString path = m_tmp->filePath(QStringLiteral("other.pass"));
    QVERIFY(docfile::saveFile(other, path, false).ok);

    DocumentState doc;
    doc.addGroup(QStringLiteral("mine"));
    doc.MetaPassword = QStringLiteral("mine");
    MessageLog log;
    const docfile::MergeResult merged = docfile::mergeFile(path, kPassword, doc, log.sink());
    QVERIFY(merged.recordsOk);
    QCOMPARE(merged.entries, other.entryCount());
    QCOMPARE(doc.entryCount(), other.entryCount());
    QVERIFY(!doc.LocalDoc.Protection.isStrong());
    QVERIFY(!doc.StrongKey);
    QCOMPARE(doc.MetaPassword, QStringLiteral("mine"));
}

void TestStrongDocument::setProtectionMarksOnlyChanges()
{
    DocumentState doc;
    QVERIFY(!docfile::setProtection(doc, false));
    QVERIFY(!doc.Modified);
    QVERIFY(docfile::setProtection(doc, true));
    QVERIFY(doc.Modified);
    QCOMPARE(doc.LocalDoc.Protection.kdf, kSmall);
    doc.SetModified(false);
    // Switched on again, it keeps its cost; a cost given replaces it.
    QVERIFY(!docfile::setProtection(doc, true));
    QVERIFY(!doc.Modified);
    QVERIFY(docfile::setProtection(doc, true, {3, kSmall.memoryKiB}));
    QCOMPARE(doc.LocalDoc.Protection.kdf, strong::KdfParameters({3, kSmall.memoryKiB}));
    doc.SetModified(false);
    QVERIFY(docfile::setProtection(doc, false));
    QVERIFY(doc.Modified);
    // A new document is compatible.
    doc.reset();
    QVERIFY(!doc.LocalDoc.Protection.isStrong());
}

void TestStrongDocument::takenFtpCopyNeverTurnsStrongProtectionOff_data()
{
    QTest::addColumn<bool>("localStrong");
    QTest::addColumn<bool>("remoteStrong");
    QTest::addColumn<int>("expectedPasses"); // 0: compatible
    QTest::newRow("both compatible") << false << false << 0;
    QTest::newRow("strong copy taken") << false << true << 2;
    QTest::newRow("compatible copy taken") << true << false << 1;
    QTest::newRow("both strong: the copy's cost") << true << true << 2;
}

void TestStrongDocument::takenFtpCopyNeverTurnsStrongProtectionOff()
{
    QFETCH(bool, localStrong);
    QFETCH(bool, remoteStrong);
    QFETCH(int, expectedPasses);
    TDoc local;
    TDoc remote;
    if (localStrong)
        local.Protection = DocumentProtection{DocumentProtection::Strong, {1, kSmall.memoryKiB}};
    if (remoteStrong)
        remote.Protection = DocumentProtection{DocumentProtection::Strong, {2, kSmall.memoryKiB}};
    TakeFtpHeader(local, remote);
    QCOMPARE(local.Protection.isStrong(), expectedPasses != 0);
    if (expectedPasses)
        QCOMPARE(int(local.Protection.kdf.passes), expectedPasses);
}

QTEST_GUILESS_MAIN(TestStrongDocument)
#include "tst_strongdocument.moc"
