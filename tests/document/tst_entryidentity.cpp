// An entry's creation date-time as its identity: unique within a document, given to the entries
// that lack one the same way on every computer, fresh for every entry a command makes, and dates
// in the future clamped to now.

#include "document/DocumentFile.h"
#include "document/DocumentMerge.h"
#include "document/EntryIdentity.h"
#include "document/ForeignImport.h"

#include <QtTest>

#include <cmath>
#include <set>

namespace {

const DateTime kStep = std::ldexp(1.0, -36);

TFeuille* add(DocumentState& doc, const QString& name, DateTime created, DateTime modified = 0,
              const TGroupe* group = nullptr)
{
    auto e = std::make_unique<TFeuille>();
    e->Name = name;
    e->Password = name + QStringLiteral("-pw");
    e->Created = created;
    e->ModifiedAt = modified;
    e->Group = group ? group->Id : 0;
    return doc.appendEntry(std::move(e));
}

std::vector<DateTime> createdOf(const DocumentState& doc)
{
    std::vector<DateTime> out;
    for (const auto& e : doc.Entries())
        out.push_back(e->Created);
    return out;
}

bool allUnique(const DocumentState& doc)
{
    std::set<quint64> seen;
    for (const auto& e : doc.Entries())
        if (e->Created == 0 || !std::isfinite(e->Created) || !seen.insert(identity::keyOf(e->Created)).second)
            return false;
    return true;
}

} // namespace

class TestEntryIdentity : public QObject
{
    Q_OBJECT

private slots:
    void assignIdentities_data();
    void assignIdentities();
    void sameEntriesSameIdentitiesInAnyOrder();
    void derivedIdentityCollidingIsMovedOn();
    void identicalUndatedEntriesStayTwo();
    void freshIdentity();
    void poolGivesManyIdentitiesAtOneDate();
    void clamp_data();
    void clamp();
    void recorded();
    void importGivesFreshIdentitiesAndClamps();
    void mergedFileGetsFreshIdentities();
};

void TestEntryIdentity::assignIdentities_data()
{
    QTest::addColumn<QList<double>>("created");
    QTest::addColumn<QList<bool>>("rekeyed"); // which entries get a new identity
    const double nan = std::nan("");
    QTest::newRow("unique: nothing changes") << QList<double>{100, 200, 1.5} << QList<bool>{false, false, false};
    QTest::newRow("two share one: both re-keyed") << QList<double>{100, 200, 100} << QList<bool>{true, false, true};
    QTest::newRow("three share one") << QList<double>{7, 7, 7} << QList<bool>{true, true, true};
    QTest::newRow("never recorded") << QList<double>{0, 200} << QList<bool>{true, false};
    QTest::newRow("not finite") << QList<double>{nan, INFINITY, -INFINITY, 5} << QList<bool>{true, true, true, false};
    QTest::newRow("empty document") << QList<double>{} << QList<bool>{};
}

void TestEntryIdentity::assignIdentities()
{
    QFETCH(QList<double>, created);
    QFETCH(QList<bool>, rekeyed);
    DocumentState doc;
    TGroupe* g = doc.addGroup(QStringLiteral("G"));
    for (int i = 0; i < created.size(); ++i)
        add(doc, QStringLiteral("e%1").arg(i), created[i], 0, g);
    const std::vector<DateTime> before = createdOf(doc);

    QCOMPARE(identity::assignIdentities(doc), int(rekeyed.count(true)));
    QVERIFY(allUnique(doc));
    for (int i = 0; i < created.size(); ++i) {
        const DateTime now = doc.entry(i)->Created;
        if (!rekeyed[i]) {
            QCOMPARE(identity::keyOf(now), identity::keyOf(before[size_t(i)]));
        } else if (std::isfinite(before[size_t(i)]) && before[size_t(i)] != 0) {
            // A duplicate moves by at most 2^24 + a few steps: the shown date barely changes.
            QVERIFY(now > before[size_t(i)]);
            QVERIFY(now - before[size_t(i)] < 0.0003);
        } else {
            QVERIFY(now >= 1.0 && now < 2.0); // "not recorded"
            QVERIFY(!identity::isRecorded(now));
        }
    }
    // Idempotent: a second pass finds nothing to do.
    const std::vector<DateTime> after = createdOf(doc);
    QCOMPARE(identity::assignIdentities(doc), 0);
    QVERIFY(createdOf(doc) == after);
}

void TestEntryIdentity::sameEntriesSameIdentitiesInAnyOrder()
{
    // Two computers holding the same legacy entries, listed differently, derive the same ones.
    const QStringList names{"a", "b", "c", "d"};
    DocumentState one;
    DocumentState two;
    TGroupe* g1 = one.addGroup(QStringLiteral("G"));
    TGroupe* g2 = two.addGroup(QStringLiteral("G"));
    for (int i = 0; i < names.size(); ++i)
        add(one, names[i], i < 2 ? 46000.5 : 0, 46100 + i, g1);
    for (int i = names.size() - 1; i >= 0; --i)
        add(two, names[i], i < 2 ? 46000.5 : 0, 46100 + i, g2);
    QCOMPARE(identity::assignIdentities(one), 4);
    QCOMPARE(identity::assignIdentities(two), 4);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(one.entry(i)->Created, two.entry(names.size() - 1 - i)->Created);

    // The group path is part of the content: the same entry elsewhere is another one.
    DocumentState elsewhere;
    TGroupe* h = elsewhere.addGroup(QStringLiteral("H"));
    add(elsewhere, QStringLiteral("c"), 0, 46102, h);
    identity::assignIdentities(elsewhere);
    QVERIFY(elsewhere.entry(0)->Created != one.entry(2)->Created);
}

void TestEntryIdentity::derivedIdentityCollidingIsMovedOn()
{
    // The identity the duplicate would get is already held by another entry: the next step.
    DocumentState probe;
    add(probe, QStringLiteral("x"), 300);
    add(probe, QStringLiteral("x"), 300);
    identity::assignIdentities(probe);
    const std::set<DateTime> wouldGet{probe.entry(0)->Created, probe.entry(1)->Created};

    DocumentState doc;
    add(doc, QStringLiteral("x"), 300);
    add(doc, QStringLiteral("x"), 300);
    add(doc, QStringLiteral("holder"), *wouldGet.begin());
    QCOMPARE(identity::assignIdentities(doc), 2);
    QVERIFY(allUnique(doc));
    QCOMPARE(doc.entry(2)->Created, *wouldGet.begin()); // the unique one keeps its identity
    QVERIFY(doc.entry(0)->Created != *wouldGet.begin());
    QVERIFY(doc.entry(1)->Created != *wouldGet.begin());

    // derivedIdentity itself: the first value not taken, never 0.
    const DateTime first = identity::derivedIdentity(300, 41, [](DateTime) { return false; });
    QCOMPARE(first, 300 + 42 * kStep);
    QCOMPARE(identity::derivedIdentity(300, 41, [first](DateTime v) { return v == first; }), 300 + 43 * kStep);
    QCOMPARE(identity::derivedIdentity(0, 7, [](DateTime) { return false; }), 1.0 + 7 * kStep);
}

void TestEntryIdentity::identicalUndatedEntriesStayTwo()
{
    DocumentState doc;
    add(doc, QStringLiteral("same"), 0);
    add(doc, QStringLiteral("same"), 0);
    QCOMPARE(identity::assignIdentities(doc), 2);
    QVERIFY(allUnique(doc));
    QCOMPARE(std::fabs(doc.entry(0)->Created - doc.entry(1)->Created), kStep);
}

void TestEntryIdentity::freshIdentity()
{
    DocumentState doc;
    add(doc, QStringLiteral("a"), 100);
    add(doc, QStringLiteral("b"), 100 + kStep);
    const DateTime now = 45000.25;
    QCOMPARE(identity::freshIdentity(doc, 200, now), 200.0);
    QCOMPARE(identity::freshIdentity(doc, 100, now), 100 + 2 * kStep); // the smallest step free
    QCOMPARE(identity::freshIdentity(doc, 0, now), now);
    QCOMPARE(identity::freshIdentity(doc, std::nan(""), now), now);
    QCOMPARE(identity::freshIdentity(doc, 1e300, now), now);
    // Existing entries keep theirs.
    QCOMPARE(doc.entry(0)->Created, 100.0);

    // makeIdentitiesFresh: the entries from `from` on, against those before them and each other.
    add(doc, QStringLiteral("new1"), 100);
    add(doc, QStringLiteral("new2"), 0);
    add(doc, QStringLiteral("new3"), 0);
    add(doc, QStringLiteral("new4"), 300);
    QCOMPARE(identity::makeIdentitiesFresh(doc, 2, now), 3);
    QCOMPARE(doc.entry(2)->Created, 100 + 2 * kStep);
    QCOMPARE(doc.entry(3)->Created, now);
    QCOMPARE(doc.entry(4)->Created, now + kStep);
    QCOMPARE(doc.entry(5)->Created, 300.0);
    QCOMPARE(doc.entry(0)->Created, 100.0);
    QCOMPARE(doc.entry(1)->Created, 100 + kStep);
}

void TestEntryIdentity::poolGivesManyIdentitiesAtOneDate()
{
    identity::IdentityPool pool;
    pool.add(46000 + 5 * kStep);
    std::set<DateTime> given;
    for (int i = 0; i < 100000; ++i)
        given.insert(pool.take(46000, 1));
    QCOMPARE(int(given.size()), 100000);
    QVERIFY(!given.count(46000 + 5 * kStep));
    QCOMPARE(*given.begin(), 46000.0);
    QVERIFY(*given.rbegin() - 46000 < 1.0 / 86400); // 100,000 identities within a second
}

void TestEntryIdentity::clamp_data()
{
    QTest::addColumn<double>("created");
    QTest::addColumn<double>("modified");
    QTest::addColumn<double>("createdAfter");
    QTest::addColumn<double>("modifiedAfter");
    QTest::addColumn<int>("count");
    const double now = 45000.5;
    QTest::newRow("past dates stay") << 44000.0 << 44500.0 << 44000.0 << 44500.0 << 0;
    QTest::newRow("within a day stays") << now + 0.99 << now + 1.0 << now + 0.99 << now + 1.0 << 0;
    QTest::newRow("31 Dec 9999") << 2958465.0 << 2958465.99 << now << now << 2;
    QTest::newRow("modified only") << 44000.0 << now + 1.01 << 44000.0 << now << 1;
    QTest::newRow("not a number") << std::nan("") << double(INFINITY) << now << now << 2;
    QTest::newRow("never recorded stays") << 0.0 << 0.0 << 0.0 << 0.0 << 0;
}

void TestEntryIdentity::clamp()
{
    QFETCH(double, created);
    QFETCH(double, modified);
    QFETCH(int, count);
    DocumentState doc;
    add(doc, QStringLiteral("before"), 2958465, 2958465); // not clamped: before `from`
    add(doc, QStringLiteral("x"), created, modified);
    QCOMPARE(identity::clampFutureDates(doc, 45000.5, 1), count);
    QTEST(doc.entry(1)->Created, "createdAfter");
    QTEST(doc.entry(1)->ModifiedAt, "modifiedAfter");
    QCOMPARE(doc.entry(0)->Created, 2958465.0);
}

void TestEntryIdentity::recorded()
{
    QVERIFY(!identity::isRecorded(0));
    QVERIFY(!identity::isRecorded(1.5));
    QVERIFY(!identity::isRecorded(std::nan("")));
    QVERIFY(identity::isRecorded(2.0));
    QVERIFY(identity::isRecorded(46000.5));
}

void TestEntryIdentity::importGivesFreshIdentitiesAndClamps()
{
    // A browser export gives no creation date; one with a date in 9999; one row twice.
    foreign::ImportedData data;
    foreign::ImportError error;
    QVERIFY(foreign::readCsv(QByteArray("name,url,username,password,created,last modified\n"
                                        "A,https://a.example,u,p1,,\n"
                                        "B,https://b.example,u,p2,,\n"
                                        "C,https://c.example,u,p3,2024-01-01T10:00:00Z,9999-12-31T00:00:00Z\n"
                                        "D,https://d.example,u,p4,2024-02-01T10:00:00Z,\n"),
                             QString(), data, error));
    const DateTime cCreated = data.entries[2]->Created;
    const DateTime dCreated = data.entries[3]->Created;
    QVERIFY(cCreated > 45000 && dCreated > cCreated);
    QCOMPARE(data.entries[2]->ModifiedAt, 2958465.0);
    DocumentState doc;
    add(doc, QStringLiteral("mine"), dCreated); // holds D's date already
    const DateTime before = datetime::now();
    const foreign::ImportSummary s = foreign::addImported(data, doc, nullptr, QStringLiteral("export"));
    const DateTime after = datetime::now();
    QCOMPARE(s.entries, 4);
    QCOMPARE(s.datesClamped, 1);
    QVERIFY(allUnique(doc));
    // Made now: recorded, and two of them at one moment are still two identities.
    for (int i : {1, 2})
        QVERIFY(doc.entry(i)->Created >= before && doc.entry(i)->Created <= after + 0.001);
    QCOMPARE(doc.entry(3)->Created, cCreated);
    QVERIFY(doc.entry(3)->ModifiedAt >= before && doc.entry(3)->ModifiedAt <= after);
    QCOMPARE(doc.entry(4)->Created, dCreated + identity::stepAt(dCreated)); // beside "mine"
    QCOMPARE(doc.entry(0)->Created, dCreated);
}

void TestEntryIdentity::mergedFileGetsFreshIdentities()
{
    // File > Merge of a document into itself: every merged entry is another entry.
    DocumentState doc;
    doc.MetaPassword = QStringLiteral("pw");
    TGroupe* g = doc.addGroup(QStringLiteral("G"));
    add(doc, QStringLiteral("dated"), 45000.5, 45001, g);
    add(doc, QStringLiteral("undated"), 0, 0, g);
    add(doc, QStringLiteral("future"), 45002, 2958465, g);
    const QByteArray stored = docfile::encipheredDocument(doc);
    const docfile::OpenedDocument opened =
        docfile::openBytes(stored, QStringLiteral("self.pass"), doc.MetaPassword, {});
    QVERIFY(opened.ok());
    const docfile::MergeResult merged = docfile::mergeRecords(opened, doc, {});
    QCOMPARE(merged.entries, 3);
    QCOMPARE(merged.datesClamped, 1);
    QCOMPARE(doc.entryCount(), 6);
    // The open document's own entries are untouched.
    QCOMPARE(doc.entry(0)->Created, 45000.5);
    QCOMPARE(doc.entry(1)->Created, 0.0);
    QCOMPARE(doc.entry(2)->ModifiedAt, 2958465.0);
    // The merged ones are fresh: beside their originals, or made now.
    QCOMPARE(doc.entry(3)->Created, 45000.5 + kStep);
    QVERIFY(identity::isRecorded(doc.entry(4)->Created));
    QCOMPARE(doc.entry(5)->Created, 45002 + kStep);
    QVERIFY(doc.entry(5)->ModifiedAt < 2958465);
    std::set<quint64> keys;
    for (int i = 2; i < 6; ++i)
        QVERIFY(keys.insert(identity::keyOf(doc.entry(i)->Created)).second);
}

QTEST_GUILESS_MAIN(TestEntryIdentity)
#include "tst_entryidentity.moc"
