// Which copy of a synchronised document descends from which: the chain of save ids in Reserved1,
// kept by every counted save, and the relation of two copies it gives.

#include "document/DocumentFile.h"
#include "document/Lineage.h"

#include <QtTest>

#include <cstring>

namespace {

quint64 bitsOf(DateTime value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// "TSL1 <date bits> <ids...>" with ids given as small numbers.
QString chain(DateTime saveDate, std::initializer_list<quint64> ids)
{
    lineage::Chain c;
    c.saveDateBits = saveDate == 0 ? 0 : bitsOf(saveDate);
    c.ids = ids;
    return lineage::format(c);
}

TDoc header(const QString& reserved1, DateTime saveDate, qint32 saveCount = 1)
{
    TDoc h;
    h.Reserved1 = reserved1;
    h.SaveDate = saveDate;
    h.SaveCount = saveCount;
    h.SyncOn = true;
    return h;
}

} // namespace

class TestLineage : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void ownVersion();
    void relate_data();
    void relate();
    void countedSaves();
    void countedSaveLeavesOthersAlone_data();
    void countedSaveLeavesOthersAlone();
    void mergedLineage();
    void savedFileKeepsTheChain();
};

void TestLineage::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("ids");
    const QString date = QStringLiteral("40e5f90000000000");
    const QString id = QStringLiteral("0123456789abcdef");
    QTest::newRow("one id") << QStringLiteral("TSL1 %1 %2").arg(date, id) << true << 1;
    QTest::newRow("three ids") << QStringLiteral("TSL1 %1 %2 fedcba9876543210 0000000000000001").arg(date, id) << true
                               << 3;
    QString max = QStringLiteral("TSL1 ") + date;
    for (int i = 0; i < lineage::kMaxIds; ++i)
        max += QLatin1Char(' ') + lineage::idText(quint64(i + 1));
    QTest::newRow("64 ids") << max << true << 64;
    QTest::newRow("65 ids") << max + QLatin1Char(' ') + id << false << 0;
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("another program's text") << QStringLiteral("hello") << false << 0;
    QTest::newRow("no id") << QStringLiteral("TSL1 %1").arg(date) << false << 0;
    QTest::newRow("no space after the magic") << QStringLiteral("TSL1%1 %2").arg(date, id) << false << 0;
    QTest::newRow("upper-case hex") << QStringLiteral("TSL1 %1 0123456789ABCDEF").arg(date) << false << 0;
    QTest::newRow("15 digits") << QStringLiteral("TSL1 %1 0123456789abcde").arg(date) << false << 0;
    QTest::newRow("two spaces") << QStringLiteral("TSL1 %1  %2").arg(date, id) << false << 0;
    QTest::newRow("trailing space") << QStringLiteral("TSL1 %1 %2 ").arg(date, id) << false << 0;
    QTest::newRow("an id twice") << QStringLiteral("TSL1 %1 %2 %2").arg(date, id) << false << 0;
    QTest::newRow("other version") << QStringLiteral("TSL2 %1 %2").arg(date, id) << false << 0;
    QTest::newRow("over 2,000 characters")
        << QStringLiteral("TSL1 %1 %2").arg(date, id) + QString(2000, u'x') << false << 0;
}

void TestLineage::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<lineage::Chain> c = lineage::parse(text);
    QCOMPARE(c.has_value(), valid);
    if (!valid)
        return;
    QTEST(int(c->ids.size()), "ids");
    QCOMPARE(lineage::format(*c), text);
}

void TestLineage::ownVersion()
{
    const DateTime saved = 45000.25;
    QCOMPARE(lineage::ownVersion(header(chain(saved, {1, 2, 3}), saved)), std::optional<quint64>(3));
    // Re-saved by a writer that keeps no chain: another date, so the version is unknown but the
    // chain is still its history.
    const TDoc resaved = header(chain(saved, {1, 2, 3}), saved + 1);
    QVERIFY(!lineage::ownVersion(resaved));
    QCOMPARE(lineage::ancestors(resaved), (std::unordered_set<quint64>{1, 2, 3}));
    // A merge result before its save has no version of its own.
    QVERIFY(!lineage::ownVersion(header(chain(0, {1, 2}), 0)));
    QVERIFY(!lineage::ownVersion(header(QStringLiteral("something else"), saved)));
    QVERIFY(lineage::ancestors(header(QString(), saved)).empty());
    QCOMPARE(lineage::commonAncestors(header(chain(saved, {1, 2, 3}), saved), header(chain(saved, {2, 3, 4}), saved)),
             (std::unordered_set<quint64>{2, 3}));
}

void TestLineage::relate_data()
{
    QTest::addColumn<QString>("localChain");
    QTest::addColumn<double>("localDate");
    QTest::addColumn<int>("localCount");
    QTest::addColumn<QString>("remoteChain");
    QTest::addColumn<double>("remoteDate");
    QTest::addColumn<int>("remoteCount");
    QTest::addColumn<int>("relation");
    const double d1 = 45000.1;
    const double d2 = 45000.2;
    const double d3 = 45000.3;
    using R = lineage::SyncRelation;
    QTest::newRow("same version") << chain(d1, {1, 2}) << d1 << 2 << chain(d1, {1, 2}) << d1 << 2 << int(R::Same);
    QTest::newRow("remote saved after this one")
        << chain(d1, {1, 2}) << d1 << 2 << chain(d2, {1, 2, 3}) << d2 << 3 << int(R::RemoteDescends);
    QTest::newRow("this one saved after the remote")
        << chain(d2, {1, 2, 3}) << d2 << 3 << chain(d1, {1, 2}) << d1 << 2 << int(R::LocalDescends);
    QTest::newRow("both saved after a common one")
        << chain(d2, {1, 2, 3}) << d2 << 3 << chain(d3, {1, 2, 4}) << d3 << 3 << int(R::Diverged);
    // Year 9999 or a clock ahead says nothing: the chain decides.
    QTest::newRow("remote descends though dated earlier")
        << chain(2958465, {1}) << 2958465.0 << 9 << chain(d1, {1, 5}) << d1 << 1 << int(R::RemoteDescends);
    QTest::newRow("remote re-saved by a writer without chains")
        << chain(d1, {1, 2}) << d1 << 2 << chain(d1, {1, 2}) << d2 << 3 << int(R::RemoteDescends);
    QTest::newRow("no chain on either side, same date and counter")
        << QString() << d1 << 4 << QString() << d1 << 4 << int(R::Same);
    QTest::newRow("no chain on either side, other date")
        << QString() << d1 << 4 << QString() << d2 << 4 << int(R::Diverged);
    QTest::newRow("no chain on either side, other counter")
        << QString() << d1 << 4 << QString() << d1 << 5 << int(R::Diverged);
    QTest::newRow("one side without chain") << chain(d1, {1}) << d1 << 4 << QString() << d2 << 5 << int(R::Diverged);
    QTest::newRow("two versions with the same date and counter still differ")
        << chain(d1, {1, 2}) << d1 << 3 << chain(d1, {1, 3}) << d1 << 3 << int(R::Diverged);
    QTest::newRow("each claims the other (forged): merge")
        << chain(d1, {2, 1}) << d1 << 3 << chain(d2, {1, 2}) << d2 << 3 << int(R::Diverged);
}

void TestLineage::relate()
{
    QFETCH(QString, localChain);
    QFETCH(double, localDate);
    QFETCH(int, localCount);
    QFETCH(QString, remoteChain);
    QFETCH(double, remoteDate);
    QFETCH(int, remoteCount);
    QFETCH(int, relation);
    const TDoc l = header(localChain, localDate, localCount);
    const TDoc r = header(remoteChain, remoteDate, remoteCount);
    QCOMPARE(int(lineage::relate(l, r)), relation);
    // The relation seen from the other side.
    using R = lineage::SyncRelation;
    const int mirrored = relation == int(R::RemoteDescends)  ? int(R::LocalDescends)
                         : relation == int(R::LocalDescends) ? int(R::RemoteDescends)
                                                             : relation;
    QCOMPARE(int(lineage::relate(r, l)), mirrored);
}

void TestLineage::countedSaves()
{
    TDoc h;
    ResetDoc(h);
    h.SyncOn = true;
    docfile::countSave(h);
    const std::optional<lineage::Chain> first = lineage::parse(h.Reserved1);
    QVERIFY(first);
    QCOMPARE(int(first->ids.size()), 1);
    QCOMPARE(first->saveDateBits, bitsOf(h.SaveDate));
    QCOMPARE(lineage::ownVersion(h), std::optional<quint64>(first->ids.back()));

    const TDoc before = h;
    docfile::countSave(h);
    QCOMPARE(int(lineage::parse(h.Reserved1)->ids.size()), 2);
    QCOMPARE(int(lineage::relate(before, h)), int(lineage::SyncRelation::RemoteDescends));

    // At most 64 ids: the oldest drop off.
    for (int i = 0; i < 70; ++i)
        docfile::countSave(h);
    const std::optional<lineage::Chain> full = lineage::parse(h.Reserved1);
    QVERIFY(full);
    QCOMPARE(int(full->ids.size()), lineage::kMaxIds);
    QVERIFY(!lineage::ancestors(h).count(first->ids.front()));
    QVERIFY(h.Reserved1.size() <= lineage::kMaxFieldLength);
}

void TestLineage::countedSaveLeavesOthersAlone_data()
{
    QTest::addColumn<bool>("syncOn");
    QTest::addColumn<QString>("reserved1");
    QTest::newRow("not synchronised, empty") << false << QString();
    QTest::newRow("not synchronised, with a chain") << false << chain(45000, {1});
    QTest::newRow("synchronised, another program's text") << true << QStringLiteral("kept as it is");
    QTest::newRow("synchronised, a damaged chain") << true << QStringLiteral("TSL1 zz");
}

void TestLineage::countedSaveLeavesOthersAlone()
{
    QFETCH(bool, syncOn);
    QFETCH(QString, reserved1);
    TDoc h;
    h.SyncOn = syncOn;
    h.Reserved1 = reserved1;
    docfile::countSave(h);
    QCOMPARE(h.Reserved1, reserved1);
    QCOMPARE(h.SaveCount, 1);
}

void TestLineage::mergedLineage()
{
    const TDoc base = header(chain(45000.1, {1, 2}), 45000.1);
    TDoc local = header(chain(45000.2, {1, 2, 3}), 45000.2, 3);
    const TDoc remote = header(chain(45000.3, {1, 2, 4, 5}), 45000.3, 4);
    const TDoc localBefore = local;
    lineage::mergeLineage(local, remote);
    QCOMPARE(lineage::parse(local.Reserved1)->ids, (std::vector<quint64>{1, 2, 3, 4, 5}));
    QVERIFY(!lineage::ownVersion(local)); // until its counted save
    docfile::countSave(local);
    QCOMPARE(int(lineage::parse(local.Reserved1)->ids.size()), 6);
    // The saved result descends from both copies, and they from it: the copies settle.
    QCOMPARE(int(lineage::relate(local, remote)), int(lineage::SyncRelation::LocalDescends));
    QCOMPARE(int(lineage::relate(localBefore, local)), int(lineage::SyncRelation::RemoteDescends));
    QCOMPARE(lineage::commonAncestors(local, base), (std::unordered_set<quint64>{1, 2}));

    // Someone else's Reserved1 is replaced by a merge result (only by one).
    TDoc foreign = header(QStringLiteral("not ours"), 45000.4);
    lineage::mergeLineage(foreign, remote);
    QCOMPARE(lineage::parse(foreign.Reserved1)->ids, (std::vector<quint64>{1, 2, 4, 5}));
    TDoc none = header(QStringLiteral("not ours"), 45000.4);
    lineage::mergeLineage(none, header(QString(), 45000.5));
    QVERIFY(none.Reserved1.isEmpty());

    // Long chains on both sides: capped, the newest ids kept.
    TDoc longLocal = header(QString(), 45000.6);
    TDoc longRemote = header(QString(), 45000.7);
    lineage::Chain a;
    lineage::Chain b;
    for (quint64 i = 0; i < 64; ++i) {
        a.ids.push_back(1000 + i);
        b.ids.push_back(2000 + i);
    }
    longLocal.Reserved1 = lineage::format(a);
    longRemote.Reserved1 = lineage::format(b);
    lineage::mergeLineage(longLocal, longRemote);
    const std::optional<lineage::Chain> capped = lineage::parse(longLocal.Reserved1);
    QCOMPARE(int(capped->ids.size()), lineage::kMaxIds);
    QCOMPARE(capped->ids.back(), quint64(2063));
}

void TestLineage::savedFileKeepsTheChain()
{
    // The save pipeline: a synchronised document's counted save writes its new chain to the file,
    // an uncounted one (taking the server's copy) keeps it and the version.
    QTemporaryDir dir;
    DocumentState doc;
    doc.MetaPassword = QStringLiteral("pw");
    doc.LocalDoc.SyncOn = true;
    const QString path = dir.filePath(QStringLiteral("d.pass"));
    QVERIFY(docfile::saveFile(doc, path, true).ok);
    const std::optional<quint64> own = lineage::ownVersion(doc.LocalDoc);
    QVERIFY(own);
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    DocumentState read;
    QVERIFY(docfile::loadFile(path, QStringLiteral("pw"), read, {}).ok());
    QCOMPARE(read.LocalDoc.Reserved1, doc.LocalDoc.Reserved1);
    QCOMPARE(lineage::ownVersion(read.LocalDoc), own);
    QCOMPARE(int(lineage::relate(read.LocalDoc, doc.LocalDoc)), int(lineage::SyncRelation::Same));
}

QTEST_GUILESS_MAIN(TestLineage)
#include "tst_lineage.moc"
