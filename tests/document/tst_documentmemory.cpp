// How much memory opening, saving and exporting take, and what happens when there is not enough:
// each case runs in a child process whose address space is limited to a little more than the
// parent had mapped.
#include "crypto/Cipher.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentFile.h"
#include "document/DocumentJson.h"
#include "document/ForeignExport.h"
#include "document/ForeignImport.h"
#include "support/DocumentFixture.h"
#include "support/MemoryLimit.h"
#include "support/TempFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using testsupport::runWithAddressSpaceHeadroom;
using testsupport::TempFolder;

namespace {

constexpr qint64 MiB = 1024 * 1024;
const QString kPassword = QStringLiteral("memory test");

QByteArray pseudoRandom(qsizetype length, quint32 seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    quint32 x = seed;
    for (qsizetype i = 0; i < length; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

QByteArray checkValueOf(const QString& password)
{
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey(password.toLatin1());
    return cipher.checkValue();
}

// One group holding one entry whose notes are `noteLength` characters.
void buildLargeNoteDocument(DocumentState& doc, qsizetype noteLength)
{
    TGroupe* group = doc.addGroup(QStringLiteral("Group"));
    auto entry = NewEntry(group, QStringLiteral("Large"));
    entry->Password = QStringLiteral("secret");
    entry->Notes = QString(noteLength, QLatin1Char('n'));
    doc.appendEntry(std::move(entry));
    doc.MetaPassword = kPassword;
}

} // namespace

class TestDocumentMemory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!testsupport::addressSpaceLimitsApply())
            QSKIP("address-space limits mean nothing under AddressSanitizer");
    }
    void foreignFileIsRefusedBeforeItIsRead();
    void openHoldsOneCopyOfTheFile();
    void shortageOfMemoryIsAnError_data();
    void shortageOfMemoryIsAnError();
    void exportStreamsThroughASmallBuffer();
    void openLetsGoOfTheStreamWhileReading();
    void importAndExportBeyondTheMemoryLeft();
    void hugeFieldIsRefusedInLittleMemory_data();
    void hugeFieldIsRefusedInLittleMemory();
};

// A gigabyte that does not start with the password's check value is refused having read 20 bytes:
// within a few MiB of memory.
void TestDocumentMemory::foreignFileIsRefusedBeforeItIsRead()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("foreign.pass"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(pseudoRandom(20, 7)), qint64(20));
        QVERIFY(f.resize(1024 * MiB)); // sparse: costs no disk
    }
    const int verdict = runWithAddressSpaceHeadroom(16 * MiB, [&path] {
        const docfile::OpenedDocument opened = docfile::openFile(path, kPassword, {});
        if (opened.status == docfile::ReadStatus::BadPassword && opened.stream.isEmpty())
            return 0;
        return opened.outOfMemory ? 1 : 2;
    });
    QCOMPARE(verdict, 0);
}

// The right check value followed by 32 MiB of garbage: the file's bytes are deciphered where they
// were read, so the open needs one copy of them, not two.
void TestDocumentMemory::openHoldsOneCopyOfTheFile()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("garbage.pass"), checkValueOf(kPassword) + pseudoRandom(32 * MiB, 11)));
    const QString path = dir.filePath(QStringLiteral("garbage.pass"));
    const int verdict = runWithAddressSpaceHeadroom(48 * MiB, [&path] {
        const docfile::OpenedDocument opened = docfile::openFile(path, kPassword, {});
        if (opened.outOfMemory)
            return 1;
        if (!opened.ok() || opened.stream.size() != 32 * MiB)
            return 2;
        DocumentState doc;
        docfile::readRecords(opened, doc, false, {});
        return 0;
    });
    QCOMPARE(verdict, 0);
}

void TestDocumentMemory::shortageOfMemoryIsAnError_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<qint64>("headroom");
    // A 16 MiB note: 16 MiB of stream and 32 MiB as text in memory.
    QTest::newRow("open: the records") << "open" << 40 * MiB;
    QTest::newRow("open: the file") << "open" << 4 * MiB;
    QTest::newRow("save") << "save" << 8 * MiB;
}

// Running out of memory is reported as such and changes nothing on disk; it never ends the process.
void TestDocumentMemory::shortageOfMemoryIsAnError()
{
    QFETCH(QString, step);
    QFETCH(qint64, headroom);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("large.pass"));
    QByteArray before;
    {
        DocumentState doc;
        buildLargeNoteDocument(doc, 16 * MiB);
        QVERIFY(docfile::saveFile(doc, path, false).ok);
        before = dir.readFile(QStringLiteral("large.pass"));
    }

    int verdict = -1;
    if (step == QLatin1String("open")) {
        verdict = runWithAddressSpaceHeadroom(headroom, [&path] {
            DocumentState doc;

            const docfile::LoadResult r = docfile::loadFile(path, kPassword, doc, {});
            if (r.status != docfile::ReadStatus::Failed || !r.outOfMemory || r.error.isEmpty())
                return 1;
            // Whatever was read is not taken for the file's content.
            return doc.CurrentPath.isEmpty() ? 0 : 2;
        });
    } else {
        DocumentState doc;
        buildLargeNoteDocument(doc, 16 * MiB);
        doc.entry(0)->Password = QStringLiteral("changed");
        verdict = runWithAddressSpaceHeadroom(headroom, [&doc, &path] {
            const docfile::WriteResult w = docfile::saveFile(doc, path, true);
            return !w.ok && w.outOfMemory && !w.error.isEmpty() ? 0 : 1;
        });
    }
    QCOMPARE(verdict, 0);
    QCOMPARE(dir.readFile(QStringLiteral("large.pass")), before);
}

// The export of a document holds a small buffer, not the whole text: it goes through where the
// whole text would not fit, and gives the same bytes.
void TestDocumentMemory::exportStreamsThroughASmallBuffer()
{
    DocumentState doc;
    buildLargeNoteDocument(doc, 16 * MiB);
    doc.entry(0)->Notes[5] = QChar(0x20AC); // a character written as several bytes, then plain ones
    doc.entry(0)->Notes[docjson::kJsonChunk - 1] = QLatin1Char('"');
    const QByteArray expected = QCryptographicHash::hash(docjson::toJson(doc), QCryptographicHash::Sha1);

    const int verdict = runWithAddressSpaceHeadroom(4 * MiB, [&doc, &expected] {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        qsizetype largest = 0;
        const bool ok = docjson::writeJson(doc, [&](const char* data, qsizetype size) {
            hash.addData(QByteArrayView(data, size));
            largest = qMax(largest, size);
            return true;
        });
        if (!ok || largest > docjson::kJsonChunk)
            return 1;
        return hash.result() == expected ? 0 : 2;
    });
    QCOMPARE(verdict, 0);

    // A writer that stops is obeyed at once.
    int calls = 0;
    QVERIFY(!docjson::writeJson(doc, [&calls](const char*, qsizetype) { return ++calls < 2; }));
    QCOMPARE(calls, 2);
}

// An open reads the records out of a stream it wipes and hands back to the system as it goes, so a
// large document never needs the whole stream and the whole document in memory at once; the
// document read is the one written all the same.
void TestDocumentMemory::openLetsGoOfTheStreamWhileReading()
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    for (int i = 0; i < 3000; ++i) {
        auto e = NewEntry(doc.Groups().front().get(), QStringLiteral("Entry %1").arg(i));
        e->Notes = QString(1000, QLatin1Char('a' + i % 26));
        doc.appendEntry(std::move(e));
    }
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    QVERIFY(stream.size() > 3 * MiB);

    // The reader wipes what it has read, in steps, when asked to.
    {
        StreamReader in(stream);
        TDoc header;
        const HeaderResult h = ReadDocumentHeader(in, header, {});
        in.setDiscardBehind(true);
        DocumentState back;
        const RecordsResult r = ReadDocumentRecords(in, h.firstTag, 7, back, false, {});
        QVERIFY(r.ok);
        QCOMPARE(testsupport::compareContent(doc, back), QString());
        QVERIFY(in.discardedUpTo() > 2 * MiB);
        QCOMPARE(stream.left(in.discardedUpTo()).count('\0'), in.discardedUpTo());
    }

    // The whole open, from a file.
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("large.pass"));
    doc.MetaPassword = kPassword;
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    docfile::OpenedDocument opened = docfile::openFile(path, kPassword, {});
    QVERIFY(opened.ok());
    DocumentState back;
    const RecordsResult r = docfile::readRecordsConsuming(opened, back, false, {});
    QVERIFY(r.ok);
    QCOMPARE(r.entries, doc.entryCount());
    QVERIFY(opened.stream.isEmpty());
    QCOMPARE(testsupport::compareContent(doc, back), QString());
}

// A password export of another manager too big for the memory left, and an export of a document
// too big for it: both are errors the window shows, not an exception that would end the program
// with the open document's unsaved work. A file that cannot be read says why.
void TestDocumentMemory::importAndExportBeyondTheMemoryLeft()
{
    TempFolder dir;
    const QString csv = dir.filePath(QStringLiteral("big.csv"));
    {
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.write("name,password\n") > 0);
        const QByteArray line = "entry," + QByteArray(200, 'p') + '\n';
        for (int i = 0; i < 64 * int(MiB) / int(line.size()); ++i)
            QCOMPARE(f.write(line), qint64(line.size()));
    }
    int verdict = runWithAddressSpaceHeadroom(16 * MiB, [&csv] {
        foreign::ImportedData data;
        foreign::ImportError error;
        bool outOfMemory = false;
        if (foreign::readForeignFile(csv, QStringLiteral("Item"), data, error, &outOfMemory))
            return 1;
        return outOfMemory && data.entries.empty() ? 0 : 2;
    });
    QCOMPARE(verdict, 0);

    foreign::ImportedData data;
    foreign::ImportError error;
    bool outOfMemory = true;
    QVERIFY(!foreign::readForeignFile(dir.filePath(QStringLiteral("missing.csv")), QStringLiteral("Item"), data, error,
                                      &outOfMemory));
    QVERIFY(!outOfMemory);
    QVERIFY(!error.text().isEmpty());

    DocumentState doc;
    TGroupe* group = doc.addGroup(QStringLiteral("g"));
    for (int i = 0; i < 64; ++i) {
        auto e = std::make_unique<TFeuille>();
        e->Group = group->Id;
        e->Name = QStringLiteral("e%1").arg(i);
        e->Notes = QString(int(MiB), QLatin1Char('n'));
        doc.appendEntry(std::move(e));
    }
    verdict = runWithAddressSpaceHeadroom(16 * MiB, [&doc] {
        SecureBytes out;
        const foreign::ExportResult r = foreign::exportToBytes(doc, foreign::ExportFormat::Csv, out);
        if (r.ok)
            return 1;
        return r.outOfMemory && out.isEmpty() ? 0 : 2;
    });
    QCOMPARE(verdict, 0);
}

void TestDocumentMemory::hugeFieldIsRefusedInLittleMemory_data()
{
    QTest::addColumn<QByteArray>("before"); // the file up to the field
    QTest::addColumn<QByteArray>("after");  // and after it
    QTest::newRow("csv") << QByteArray("name,password,notes\nsite,pw,\"") << QByteArray("\"\n");
    QTest::newRow("keepass xml") << QByteArray("<KeePassFile><Root><Group><Name>G</Name><Entry><String><Key>Notes</Key>"
                                               "<Value>")
                                 << QByteArray("</Value></String></Entry></Group></Root></KeePassFile>\n");
    QTest::newRow("bitwarden json") << QByteArray(
                                           "{\"encrypted\": false, \"items\": [{\"name\": \"site\", \"notes\": \"")
                                    << QByteArray("\"}]}\n");
}

// A field far beyond what an import takes is refused while the memory used stays within a small
// multiple of the file: the whole import runs in a child whose address space ends three file sizes
// (and a little) beyond what it had, where a reading that held the field several times over ran
// out of memory before it could refuse it.
void TestDocumentMemory::hugeFieldIsRefusedInLittleMemory()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("huge"));
    constexpr qint64 fieldBytes = 24 * MiB;
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.write(before) == before.size());
        const QByteArray block(int(MiB), 'n');
        for (qint64 written = 0; written < fieldBytes; written += block.size())
            QCOMPARE(f.write(block), qint64(block.size()));
        QVERIFY(f.write(after) == after.size());
    }
    const qint64 fileSize = QFileInfo(path).size();
    const int verdict = runWithAddressSpaceHeadroom(3 * fileSize + 16 * MiB, [&path] {
        foreign::ImportedData data;
        foreign::ImportError error;
        bool outOfMemory = false;
        if (foreign::readForeignFile(path, QStringLiteral("Item"), data, error, &outOfMemory))
            return 1;
        if (outOfMemory)
            return 2;
        return error.what.contains(QStringLiteral("more than")) ? 0 : 3;
    });
    QCOMPARE(verdict, 0);
}

QTEST_GUILESS_MAIN(TestDocumentMemory)
#include "tst_documentmemory.moc"
