// Window-free rules of the File menu: the recent-file slots, the name Save as writes, and merging
// another document into the open one.

#include "crypto/Cipher.h"
#include "document/DocumentMerge.h"
#include "document/DocumentPath.h"
#include "document/RecentFiles.h"
#include "platform/Win1252.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QtTest>

using testsupport::TempFolder;

namespace {

bool writeDocument(const QString& path, const DocumentState& doc, const QString& password)
{
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    const QByteArray bytes = encipherDocument(stream, win1252::fromUnicode(password));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Top-level groups named prefix 1..n, each with a child and a grandchild; group g holds g + 1
// entries.
void buildGroups(DocumentState& doc, const QString& prefix, int n)
{
    for (int g = 1; g <= n; ++g) {
        TGroupe* top = doc.addGroup(prefix + QString::number(g));
        TGroupe* child = doc.addGroup(prefix + QStringLiteral(" child"), top);
        doc.addGroup(prefix + QStringLiteral(" grandchild"), child);
        for (int e = 0; e <= g; ++e) {
            auto entry = NewEntry(e == g ? child : top, prefix + QStringLiteral(" entry %1.%2").arg(g).arg(e));
            entry->Password = QStringLiteral("pw%1").arg(e);
            doc.appendEntry(std::move(entry));
        }
    }
}

QStringList topNames(const DocumentState& doc)
{
    QStringList names;
    for (const auto& g : doc.Groups())
        names << g->Name;
    return names;
}

// The group path of every entry, "top/child: name", in document order.
QStringList entryPlaces(const DocumentState& doc)
{
    QStringList out;
    for (const auto& e : doc.Entries()) {
        QString path;
        for (const TGroupe* g = doc.findGroup(e->Group); g; g = g->Parent)
            path.prepend(QLatin1Char('/') + g->Name + QLatin1Char('#') + QString::number(g->Id));
        out << path + QStringLiteral(": ") + e->Name;
    }
    return out;
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void recordRecentFile_data();
    void recordRecentFile();
    void recentFileToOpen();
    void recentFileCommands();
    void saveAsName_data();
    void saveAsName();

    void mergeTwoGroupsIntoThree();
    void mergeTheFileIntoItself();
    void mergeKeepsTheOpenDocumentsHeaderAndFtpEntry();
    void mergeOfAFileWithoutGroups();
    void mergeFailuresChangeNothing();
};

void TestFileCommands::recordRecentFile_data()
{
    // Slots and paths are names in the temporary folder ("" for an empty slot); "a" .. "d" exist,
    // "gone" does not. The recorded path is given relative to that folder, also as the current one.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<bool>("use");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("into an empty list") << QStringList{"", "", "", ""} << true << "a" << QStringList{"a", "", "", ""};
    QTest::newRow("shift, the oldest falls out")
        << QStringList{"a", "b", "c", "d"} << true << "sub/e" << QStringList{"sub/e", "a", "b", "c"};
    QTest::newRow("already first: nothing moves")
        << QStringList{"a", "b", "", ""} << true << "a" << QStringList{"a", "b", "", ""};
    QTest::newRow("dots resolved before comparing")
        << QStringList{"a", "b", "", ""} << true << "sub/../a" << QStringList{"a", "b", "", ""};
    QTest::newRow("from slot 3: first, and still in slot 4")
        << QStringList{"a", "b", "c", "d"} << true << "c" << QStringList{"c", "a", "b", "c"};
    QTest::newRow("option off") << QStringList{"a", "", "", ""} << false << "b" << QStringList{"a", "", "", ""};
    QTest::newRow("no file behind the name")
        << QStringList{"a", "", "", ""} << true << "gone" << QStringList{"a", "", "", ""};
}

void TestFileCommands::recordRecentFile()
{
    QFETCH(QStringList, before);
    QFETCH(bool, use);
    QFETCH(QString, path);
    QFETCH(QStringList, after);
    TempFolder tmp;
    for (const char* name : {"a", "b", "c", "d", "sub/e"})
        QVERIFY(tmp.writeFile(QLatin1String(name), "x"));
    const QString root = QDir(tmp.path()).canonicalPath() + QLatin1Char('/');
    const auto full = [&root](const QString& name) { return name.isEmpty() ? name : root + name; };

    RecentFiles::Slots paths;
    for (int i = 0; i < RecentFiles::kSlotCount; ++i)
        paths[size_t(i)] = full(before[i]);
    const bool changed = RecentFiles::record(paths, use, path, root);
    QStringList got;
    for (const QString& s : paths)
        got << s;
    QStringList expected;
    for (const QString& s : after)
        expected << full(s);
    QCOMPARE(got, expected);
    QCOMPARE(changed, before != after);
    // An absolute path needs no current folder.
    if (use && changed) {
        RecentFiles::Slots again;
        RecentFiles::record(again, true, root + path, QStringLiteral("/"));
        QCOMPARE(again[0], expected[0]);
    }
}

void TestFileCommands::recentFileToOpen()
{
    TempFolder tmp;
    QVERIFY(tmp.writeFile(QStringLiteral("Codes.pass"), "x"));
    const QString root = QDir(tmp.path()).canonicalPath();
    QCOMPARE(RecentFiles::pathToOpen(root + QStringLiteral("/./Codes.pass"), QStringLiteral("/")),
             root + QStringLiteral("/Codes.pass"));
    // A file that is gone keeps its name, so that the failure names it.
    QCOMPARE(RecentFiles::pathToOpen(root + QStringLiteral("/gone.pass"), QStringLiteral("/")),
             root + QStringLiteral("/gone.pass"));
}

void TestFileCommands::recentFileCommands()
{
    RecentFiles::Slots paths{QStringLiteral("/x/a.pass"), QStringLiteral("/x/b.pass"), QString(), QString()};
    QCOMPARE(RecentFiles::caption(2, paths[1]), QStringLiteral("&2 - /x/b.pass"));
    QVERIFY(RecentFiles::slotVisible(paths, true, 1));
    QVERIFY(RecentFiles::slotVisible(paths, true, 2));
    QVERIFY(!RecentFiles::slotVisible(paths, true, 3));
    QVERIFY(!RecentFiles::slotVisible(paths, true, 5));
    QVERIFY(RecentFiles::separatorVisible(paths, true));
    QVERIFY(!RecentFiles::slotVisible(paths, false, 1));
    QVERIFY(!RecentFiles::separatorVisible(paths, false));
    paths[0].clear();
    QVERIFY(!RecentFiles::separatorVisible(paths, true));
}

void TestFileCommands::saveAsName_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "/home/u/codes"
                                  << "/home/u/codes.pass";
    QTest::newRow(".pass") << "/home/u/codes.pass"
                           << "/home/u/codes.pass";
    QTest::newRow("another extension") << "/home/u/codes.bak"
                                       << "/home/u/codes.bak";
    QTest::newRow("a dot in the folder only") << "/home/u.v/codes"
                                              << "/home/u.v/codes.pass";
}

void TestFileCommands::saveAsName()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QCOMPARE(SaveAsFileName(chosen), written);
}

void TestFileCommands::mergeTwoGroupsIntoThree()
{
    TempFolder tmp;
    DocumentState other;
    buildGroups(other, QStringLiteral("other"), 2);
    const QString path = tmp.filePath(QStringLiteral("other.pass"));
    QVERIFY(writeDocument(path, other, QStringLiteral("their password")));

    DocumentState doc;
    buildGroups(doc, QStringLiteral("mine"), 3);
    doc.MetaPassword = QStringLiteral("mine");
    const QStringList placesBefore = entryPlaces(doc);

    testsupport::MessageLog log;
    const docfile::MergeResult merged = docfile::mergeFile(path, QStringLiteral("their password"), doc, log.sink());
    QVERIFY(merged.recordsOk);
    QCOMPARE(log.messages, QStringList());
    QCOMPARE(merged.groups, 6);
    QCOMPARE(merged.entries, 5);
    QCOMPARE(merged.header.FileName, path);
    QCOMPARE(topNames(doc), (QStringList{"mine1", "mine2", "mine3", "other1", "other2"}));
    QCOMPARE(merged.firstAddedGroup, doc.Groups()[3].get());
    // The added subtrees and entries mirror the merged file; what was there is untouched.
    QCOMPARE(doc.Groups()[4]->Children.front()->Children.front()->Name, QStringLiteral("other grandchild"));
    const QStringList places = entryPlaces(doc);
    QCOMPARE(places.mid(0, placesBefore.size()), placesBefore);
    QCOMPARE(places.size(), placesBefore.size() + 5);
    QVERIFY(places.last().startsWith(QStringLiteral("/other2#")));
    QVERIFY(places.last().contains(QStringLiteral("/other child#")));
    QCOMPARE(doc.entry(doc.entryCount() - 1)->Password, QStringLiteral("pw2"));
    // The caller decides about Modified; the open document keeps its password.
    QVERIFY(!doc.Modified);
    QCOMPARE(doc.MetaPassword, QStringLiteral("mine"));
}

void TestFileCommands::mergeTheFileIntoItself()
{
    TempFolder tmp;
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    const QString path = tmp.filePath(QStringLiteral("self.pass"));
    QVERIFY(writeDocument(path, doc, QStringLiteral("pw")));
    const int groups = doc.groupCount();
    const int entries = doc.entryCount();
    QVector<quint32> oldIds;
    doc.forEachGroup([&oldIds](TGroupe* g) { oldIds << g->Id; });

    const docfile::MergeResult merged = docfile::mergeFile(path, QStringLiteral("pw"), doc, {});
    QVERIFY(merged.recordsOk);
    QCOMPARE(doc.groupCount(), 2 * groups);
    QCOMPARE(doc.entryCount(), 2 * entries);
    // Every copy hangs in a subtree of its own: no copied group or entry belongs to an old group.
    for (size_t i = doc.Groups().size() / 2; i < doc.Groups().size(); ++i) {
        std::vector<TGroupe*> stack{doc.Groups()[i].get()};
        while (!stack.empty()) {
            TGroupe* g = stack.back();
            stack.pop_back();
            QVERIFY(!oldIds.contains(g->Id));
            for (const auto& c : g->Children)
                stack.push_back(c.get());
        }
    }
    for (int i = entries; i < doc.entryCount(); ++i) {
        const TFeuille* copy = doc.entry(i);
        const TFeuille* original = doc.entry(i - entries);
        QCOMPARE(copy->Name, original->Name);
        QCOMPARE(copy->Notes, original->Notes);
        QVERIFY(copy->Group == 0 ? original->Group == 0 : !oldIds.contains(copy->Group));
    }
}

void TestFileCommands::mergeKeepsTheOpenDocumentsHeaderAndFtpEntry()
{
    TempFolder tmp;
    // The merged file is synchronised with a site of its own and names its own FTP entry.
    DocumentState other;
    other.LocalDoc = testsupport::richHeader();
    other.LocalDoc.SyncOn = true;
    other.LocalDoc.UseFtpEntry = true;
    TGroupe* g = other.addGroup(QStringLiteral("theirs"));
    other.appendEntry(NewEntry(g, QStringLiteral("their site")));
    other.setFtpEntry(0);
    const QString path = tmp.filePath(QStringLiteral("synced.pass"));
    QVERIFY(writeDocument(path, other, QStringLiteral("pw")));

    DocumentState doc;
    ResetDoc(doc.LocalDoc);
    doc.LocalDoc.ServerName = QStringLiteral("mine.example");
    doc.LocalDoc.SaveCount = 7;
    TGroupe* mine = doc.addGroup(QStringLiteral("mine"));
    doc.appendEntry(NewEntry(mine, QStringLiteral("my site")));
    doc.appendEntry(NewEntry(mine, QStringLiteral("other")));
    doc.setFtpEntry(0);
    const TDoc headerBefore = doc.LocalDoc;

    const docfile::MergeResult merged = docfile::mergeFile(path, QStringLiteral("pw"), doc, {});
    QVERIFY(merged.recordsOk);
    QVERIFY(merged.header.SyncOn);
    QCOMPARE(merged.header.ServerName, other.LocalDoc.ServerName);
    QCOMPARE(testsupport::compareHeaders(doc.LocalDoc, headerBefore), QString());
    QVERIFY(!doc.LocalDoc.SyncOn);
    QCOMPARE(doc.FtpEntryIndex(), 0);
    QVERIFY(doc.entry(0)->IsFtpEntry);
    QCOMPARE(doc.entry(2)->Name, QStringLiteral("their site"));
    QVERIFY(!doc.entry(2)->IsFtpEntry);
}

void TestFileCommands::mergeOfAFileWithoutGroups()
{
    TempFolder tmp;
    DocumentState empty;
    const QString path = tmp.filePath(QStringLiteral("empty.pass"));
    QVERIFY(writeDocument(path, empty, QStringLiteral("pw")));
    DocumentState doc;
    buildGroups(doc, QStringLiteral("mine"), 1);
    const docfile::MergeResult merged = docfile::mergeFile(path, QStringLiteral("pw"), doc, {});
    QVERIFY(merged.recordsOk);
    QCOMPARE(merged.groups, 0);
    QCOMPARE(merged.firstAddedGroup, nullptr);
    QCOMPARE(topNames(doc), QStringList{QStringLiteral("mine1")});
}

void TestFileCommands::mergeFailuresChangeNothing()
{
    TempFolder tmp;
    DocumentState other;
    buildGroups(other, QStringLiteral("other"), 2);
    const QString path = tmp.filePath(QStringLiteral("other.pass"));
    QVERIFY(writeDocument(path, other, QStringLiteral("right")));

    DocumentState doc;
    buildGroups(doc, QStringLiteral("mine"), 3);
    DocumentState copy;
    buildGroups(copy, QStringLiteral("mine"), 3);
    // The two were built a moment apart: the copy takes the same creation dates.
    QCOMPARE(copy.entryCount(), doc.entryCount());
    for (int i = 0; i < doc.entryCount(); ++i)
        copy.entry(i)->Created = doc.entry(i)->Created;
    QCOMPARE(testsupport::compareContent(doc, copy), QString());

    docfile::MergeResult merged = docfile::mergeFile(path, QStringLiteral("wrong"), doc, {});
    QCOMPARE(merged.status, docfile::ReadStatus::BadPassword);
    QCOMPARE(testsupport::compareContent(doc, copy), QString());

    merged = docfile::mergeFile(tmp.filePath(QStringLiteral("missing.pass")), QStringLiteral("right"), doc, {});
    QCOMPARE(merged.status, docfile::ReadStatus::Failed);
    QVERIFY(!merged.error.isEmpty());
    QCOMPARE(testsupport::compareContent(doc, copy), QString());

    // A stream that breaks off adds what was read before the break.
    QByteArray stream;
    WriteDocumentStream(other, stream);
    stream.chop(40);
    QVERIFY(tmp.writeFile(QStringLiteral("cut.pass"), encipherDocument(stream, "right")));
    merged = docfile::mergeFile(tmp.filePath(QStringLiteral("cut.pass")), QStringLiteral("right"), doc, {});
    QCOMPARE(merged.status, docfile::ReadStatus::Ok);
    QVERIFY(!merged.recordsOk);
    QVERIFY(!merged.error.isEmpty());
    QCOMPARE(topNames(doc).size(), 5);
    QVERIFY(merged.firstAddedGroup);
}

QTEST_GUILESS_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
