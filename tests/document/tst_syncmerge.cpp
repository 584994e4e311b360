// The synchronising merge of two copies of one document: entries paired by creation date, the
// later change winning whole (fields and group), groups paired by path, what one side lacks kept.

#include "document/SyncMerge.h"

#include <QtTest>

namespace {

// One entry of a fixture: "Group/Sub|name|password|created|modified" (group may be empty).
struct Row
{
    QString group;
    QString name;
    QString password;
    DateTime created = 0;
    DateTime modified = 0;
};

Row parseRow(const QString& text)
{
    const QStringList f = text.split(QLatin1Char('|'));
    return Row{f.value(0), f.value(1), f.value(2), f.value(3).toDouble(), f.value(4).toDouble()};
}

TGroupe* groupAt(DocumentState& doc, const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    TGroupe* parent = nullptr;
    for (const QString& name : path.split(QLatin1Char('/'))) {
        const auto& siblings = parent ? parent->Children : doc.Groups();
        TGroupe* found = nullptr;
        for (const auto& g : siblings)
            if (g->Name == name && !found)
                found = g.get();
        parent = found ? found : doc.addGroup(name, parent);
    }
    return parent;
}

// Rows are entries; a row "Group/Sub/" (ending with "/") is an empty group.
void build(DocumentState& doc, const QStringList& rows)
{
    for (const QString& text : rows) {
        if (text.endsWith(QLatin1Char('/'))) {
            groupAt(doc, text.chopped(1));
            continue;
        }
        const Row r = parseRow(text);
        auto e = std::make_unique<TFeuille>();
        e->Group = r.group.isEmpty() ? 0 : groupAt(doc, r.group)->Id;
        e->Name = r.name;
        e->Password = r.password;
        e->Created = r.created;
        e->ModifiedAt = r.modified;
        doc.appendEntry(std::move(e));
    }
}

QString pathOf(const DocumentState& doc, quint32 id)
{
    QStringList names;
    for (const TGroupe* g = doc.findGroup(id); g; g = g->Parent)
        names.prepend(g->Name);
    return names.join(QLatin1Char('/'));
}

// The entries as rows, in document order, then the groups as "path/".
QStringList describe(const DocumentState& doc)
{
    QStringList out;
    for (const auto& e : doc.Entries())
        out << QStringLiteral("%1|%2|%3|%4|%5")
                   .arg(pathOf(doc, e->Group), e->Name, e->Password)
                   .arg(e->Created)
                   .arg(e->ModifiedAt);
    for (const TGroupe* g : doc.groupsInOrder())
        out << pathOf(doc, g->Id) + QLatin1Char('/');
    return out;
}

} // namespace

class TestSyncMerge : public QObject
{
    Q_OBJECT

private slots:
    void merge_data();
    void merge();
    void mergingTwiceChangesNothing();
    void ftpMarkStaysTheDocumentsOwn();
};

void TestSyncMerge::merge_data()
{
    QTest::addColumn<QStringList>("mine");
    QTest::addColumn<QStringList>("theirs");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("counts"); // added, updated, groups added

    QTest::newRow("one entry made on each side: both kept")
        << QStringList{"Web|mail|a|10|0"} << QStringList{"Web|bank|b|11|0"}
        << QStringList{"Web|mail|a|10|0", "Web|bank|b|11|0", "Web/"} << QList<int>{1, 0, 0};
    QTest::newRow("changed later on the other side: it wins whole, group too")
        << QStringList{"Web|mail|old|10|20", "Mail/"} << QStringList{"Mail|mail|new|10|30"}
        << QStringList{"Mail|mail|new|10|30", "Web/", "Mail/"} << QList<int>{0, 1, 0};
    QTest::newRow("changed later here: this side stays")
        << QStringList{"Web|mail|mine|10|40"} << QStringList{"Other|mail|theirs|10|30"}
        << QStringList{"Web|mail|mine|10|40", "Web/", "Other/"} << QList<int>{0, 0, 1};
    QTest::newRow("same change date: this side stays")
        << QStringList{"Web|mail|mine|10|30"} << QStringList{"Web|mail|theirs|10|30"}
        << QStringList{"Web|mail|mine|10|30", "Web/"} << QList<int>{0, 0, 0};
    QTest::newRow("never changed here, changed there")
        << QStringList{"Web|mail|first|10|0"} << QStringList{"Web|mail|second|10|15"}
        << QStringList{"Web|mail|second|10|15", "Web/"} << QList<int>{0, 1, 0};
    QTest::newRow("groups paired by path, new ones made under the right parent")
        << QStringList{"Bank/Online|a|1|10|0"} << QStringList{"Bank/Online|b|2|11|0", "Bank/Cards|c|3|12|0", "Mail/"}
        << QStringList{"Bank/Online|a|1|10|0",
                       "Bank/Online|b|2|11|0",
                       "Bank/Cards|c|3|12|0",
                       "Bank/",
                       "Bank/Online/",
                       "Bank/Cards/",
                       "Mail/"}
        << QList<int>{2, 0, 2};
    QTest::newRow("deleted on one side: it comes back")
        << QStringList{"Web|kept|a|10|0"} << QStringList{"Web|kept|a|10|0", "Web|deleted here|b|11|0"}
        << QStringList{"Web|kept|a|10|0", "Web|deleted here|b|11|0", "Web/"} << QList<int>{1, 0, 0};
    QTest::newRow("undated entries: an equal one is not doubled, another is added")
        << QStringList{"Old|same|x|0|0"} << QStringList{"Old|same|x|0|0", "Old|other|y|0|0"}
        << QStringList{"Old|same|x|0|0", "Old|other|y|0|0", "Old/"} << QList<int>{1, 0, 0};
    QTest::newRow("undated equal entries in another group are two entries")
        << QStringList{"A|same|x|0|0"} << QStringList{"B|same|x|0|0"}
        << QStringList{"A|same|x|0|0", "B|same|x|0|0", "A/", "B/"} << QList<int>{1, 0, 1};
    QTest::newRow("pasted duplicates pair up in order, the extra one is kept")
        << QStringList{"G|copy1|a|10|0", "G|copy2|b|10|0"}
        << QStringList{"G|copy1|a|10|0", "G|copy2|b2|10|5", "G|copy3|c|10|6"}
        << QStringList{"G|copy1|a|10|0", "G|copy2|b2|10|5", "G|copy3|c|10|6", "G/"} << QList<int>{1, 1, 0};
    QTest::newRow("entry without a group")
        << QStringList{} << QStringList{"|loose|p|10|0"} << QStringList{"|loose|p|10|0"} << QList<int>{1, 0, 0};
    QTest::newRow("nothing on the other side")
        << QStringList{"G|a|1|10|0"} << QStringList{} << QStringList{"G|a|1|10|0", "G/"} << QList<int>{0, 0, 0};
}

void TestSyncMerge::merge()
{
    QFETCH(QStringList, mine);
    QFETCH(QStringList, theirs);
    QFETCH(QList<int>, counts);
    DocumentState doc;
    DocumentState other;
    build(doc, mine);
    build(other, theirs);
    const SyncMergeResult result = SyncMerge(doc, other);
    QTEST(describe(doc), "expected");
    QCOMPARE((QList<int>{result.entriesAdded, result.entriesUpdated, result.groupsAdded}), counts);
    QCOMPARE(result.changed(), counts != (QList<int>{0, 0, 0}));
    // Every entry's group exists.
    for (const auto& e : doc.Entries())
        QVERIFY(e->Group == 0 || doc.findGroup(e->Group));
}

void TestSyncMerge::mergingTwiceChangesNothing()
{
    // The two-computer case: each copy gained an entry and changed another one.
    DocumentState one;
    DocumentState two;
    build(one, {"Web|shared|v1|10|0", "Web|made on one|a|20|0", "Web|edited on one|x2|30|50"});
    build(two, {"Web|shared|v1|10|0", "Mail|made on two|b|21|0", "Web|edited on one|x1|30|0"});
    SyncMerge(one, two);
    SyncMerge(two, one);
    // Both copies now hold the same entries.
    QStringList a = describe(one);
    QStringList b = describe(two);
    a.sort();
    b.sort();
    QCOMPARE(a, b);
    QVERIFY(a.contains(QStringLiteral("Mail|made on two|b|21|0")));
    QVERIFY(a.contains(QStringLiteral("Web|made on one|a|20|0")));
    QVERIFY(a.contains(QStringLiteral("Web|edited on one|x2|30|50")));
    // And a second merge finds nothing more to do.
    QVERIFY(!SyncMerge(one, two).changed());
    QVERIFY(!SyncMerge(two, one).changed());
}

void TestSyncMerge::ftpMarkStaysTheDocumentsOwn()
{
    DocumentState doc;
    DocumentState other;
    build(doc, {"G|mine|a|10|0"});
    build(other, {"G|mine|a|10|40", "G|theirs|b|11|0"});
    doc.setFtpEntry(0);
    other.setFtpEntry(1);
    SyncMerge(doc, other);
    QCOMPARE(doc.entryCount(), 2);
    QCOMPARE(doc.FtpEntryIndex(), 0);
    QVERIFY(doc.entry(0)->IsFtpEntry);
    QVERIFY(!doc.entry(1)->IsFtpEntry);
    QCOMPARE(doc.entry(0)->ModifiedAt, DateTime(40));
}

QTEST_GUILESS_MAIN(TestSyncMerge)
#include "tst_syncmerge.moc"
