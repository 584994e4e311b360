#include "document/DocumentModel.h"

#include <QtTest>

namespace {

QString names(const std::vector<TGroupe*>& groups)
{
    QStringList out;
    for (const TGroupe* g : groups)
        out << g->Name;
    return out.join(QLatin1Char(' '));
}

QString entryNames(const DocumentState& doc)
{
    QStringList out;
    for (const auto& e : doc.Entries())
        out << e->Name;
    return out.join(QLatin1Char(' '));
}

TFeuille* addEntry(DocumentState& doc, const TGroupe* g, const QString& name)
{
    return doc.appendEntry(NewEntry(g, name));
}

// The FTP designation points at a marked entry, or is -1 with no entry designated.
void checkFtpInvariant(const DocumentState& doc)
{
    const int i = doc.FtpEntryIndex();
    QVERIFY(i >= -1 && i < doc.entryCount());
    if (i >= 0)
        QVERIFY(doc.entry(i)->IsFtpEntry);
}

} // namespace

class TestDocumentModel : public QObject
{
    Q_OBJECT

private slots:
    void initialValues();
    void newEntryTakesTheGroup();
    void groupsInPreOrder();
    void ftpEntryIndexFollowsItsEntry_data();
    void ftpEntryIndexFollowsItsEntry();
    void deleteGroupRemovesSubgroupsAndTheirEntries();
    void moveGroupRefusesCycles();
    void moveEntryInsertsBefore_data();
    void moveEntryInsertsBefore();
    void groupEntriesInDocumentOrder();
    void resetAndModified();
    void deepTreeTeardown();
};

void TestDocumentModel::initialValues()
{
    const DateTime before = datetime::now();
    DocumentState doc;
    const DateTime after = datetime::now();
    const TDoc& d = doc.LocalDoc;
    QVERIFY(d.FileName.isEmpty());
    QCOMPARE(d.SaveCount, 0);
    QVERIFY(d.SaveDate >= before && d.SaveDate <= after);
    QVERIFY(d.CreateDate >= before && d.CreateDate <= after);
    QCOMPARE(d.PortNumber, 21);
    QCOMPARE(d.FormatVersion, 0);
    QVERIFY(!d.SyncOn && !d.PassiveMode && !d.UseFtpEntry);
    QCOMPARE(doc.RemoteCopy.SaveDate, 0.0);
    QVERIFY(doc.RemoteCopy.CreateDate >= before);
    QCOMPARE(doc.FtpEntryIndex(), -1);
    QCOMPARE(doc.groupCount(), 0);
    QCOMPARE(doc.entryCount(), 0);
    QVERIFY(!doc.Modified && !doc.FtpMode && !doc.ReadOnlyLock);
    QVERIFY(doc.MetaPassword.isEmpty() && doc.CurrentPath.isEmpty());

    TDoc changed = d;
    changed.SaveCount = 9;
    changed.UserPassword = QStringLiteral("x");
    changed.FormatVersion = 5;
    changed.PortNumber = 1;
    ResetDoc(changed);
    QCOMPARE(changed.SaveCount, 0);
    QVERIFY(changed.UserPassword.isEmpty());
    QCOMPARE(changed.FormatVersion, 0);
    QCOMPARE(changed.PortNumber, 21);
}

void TestDocumentModel::newEntryTakesTheGroup()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup(QStringLiteral("G"));
    QVERIFY(g->Id != 0);
    const DateTime before = datetime::now();
    const auto e = NewEntry(g, QStringLiteral("Item"));
    QCOMPARE(e->Group, g->Id);
    QCOMPARE(e->Name, QStringLiteral("Item"));
    QCOMPARE(e->RemapMark, -1);
    QVERIFY(e->Created >= before && e->Created <= datetime::now());
    QCOMPARE(e->ModifiedAt, 0.0);
    QVERIFY(!e->IsFtpEntry);
    QVERIFY(e->Login.isEmpty() && e->Password.isEmpty() && e->WebAddress.isEmpty() && e->Notes.isEmpty());
    QCOMPARE(NewEntry(nullptr, QStringLiteral("x"))->Group, 0u);
}

void TestDocumentModel::groupsInPreOrder()
{
    DocumentState doc;
    TGroupe* a = doc.addGroup(QStringLiteral("A"));
    TGroupe* b = doc.addGroup(QStringLiteral("B"));
    TGroupe* a1 = doc.addGroup(QStringLiteral("A1"), a);
    doc.addGroup(QStringLiteral("A2"), a);
    doc.addGroup(QStringLiteral("A1x"), a1);
    doc.addGroup(QStringLiteral("B1"), b);
    doc.addGroup(QStringLiteral("A0"), a, 0);
    doc.addGroup(QStringLiteral("First"), nullptr, 0);
    QCOMPARE(names(doc.groupsInOrder()), QStringLiteral("First A A0 A1 A1x A2 B B1"));
    QCOMPARE(doc.groupCount(), 8);

    QSet<quint32> ids;
    for (TGroupe* g : doc.groupsInOrder()) {
        QVERIFY(g->Id != 0);
        ids.insert(g->Id);
        QCOMPARE(doc.findGroup(g->Id), g);
    }
    QCOMPARE(ids.size(), 8);
    QCOMPARE(doc.findGroup(0), nullptr);
    QCOMPARE(a1->Parent, a);
    QCOMPARE(a1->indexInParent(doc.Groups()), 1);
    QCOMPARE(b->indexInParent(doc.Groups()), 2);
}

void TestDocumentModel::ftpEntryIndexFollowsItsEntry_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("ftpIndex");

    // Start: e0 e1 ftp e3 e4, the FTP entry at index 2; e0, ftp and e4 in group A, e1 and e3 in B.
    QTest::newRow("remove before") << "remove 0"
                                   << "e1 ftp e3 e4" << 1;
    QTest::newRow("remove the entry") << "remove 2"
                                      << "e0 e1 e3 e4" << -1;
    QTest::newRow("remove after") << "remove 3"
                                  << "e0 e1 ftp e4" << 2;
    QTest::newRow("remove out of range") << "remove 9"
                                         << "e0 e1 ftp e3 e4" << 2;
    QTest::newRow("take the entry") << "take 2"
                                    << "e0 e1 e3 e4" << -1;
    QTest::newRow("insert before") << "insert 1"
                                   << "e0 new e1 ftp e3 e4" << 3;
    QTest::newRow("insert at its index") << "insert 2"
                                         << "e0 e1 new ftp e3 e4" << 3;
    QTest::newRow("insert after") << "insert 3"
                                  << "e0 e1 ftp new e3 e4" << 2;
    QTest::newRow("append") << "insert 5"
                            << "e0 e1 ftp e3 e4 new" << 2;
    QTest::newRow("move it forward") << "move 2 5"
                                     << "e0 e1 e3 e4 ftp" << 4;
    QTest::newRow("move it backward") << "move 2 0"
                                      << "ftp e0 e1 e3 e4" << 0;
    QTest::newRow("move it onto itself") << "move 2 3"
                                         << "e0 e1 ftp e3 e4" << 2;
    QTest::newRow("move another across it forward") << "move 0 4"
                                                    << "e1 ftp e3 e0 e4" << 1;
    QTest::newRow("move another across it backward") << "move 4 1"
                                                     << "e0 e4 e1 ftp e3" << 3;
    QTest::newRow("move others on one side") << "move 3 5"
                                             << "e0 e1 ftp e4 e3" << 2;
    QTest::newRow("delete its group") << "deleteGroup A"
                                      << "e1 e3" << -1;
    QTest::newRow("delete another group") << "deleteGroup B"
                                          << "e0 ftp e4" << 1;
    QTest::newRow("mark another") << "mark 4"
                                  << "e0 e1 ftp e3 e4" << 4;
    QTest::newRow("clear the mark") << "mark -1"
                                    << "e0 e1 ftp e3 e4" << -1;
}

void TestDocumentModel::ftpEntryIndexFollowsItsEntry()
{
    QFETCH(QString, operation);
    QFETCH(QString, order);
    QFETCH(int, ftpIndex);

    DocumentState doc;
    TGroupe* a = doc.addGroup(QStringLiteral("A"));
    TGroupe* b = doc.addGroup(QStringLiteral("B"));
    addEntry(doc, a, QStringLiteral("e0"));
    addEntry(doc, b, QStringLiteral("e1"));
    addEntry(doc, a, QStringLiteral("ftp"));
    addEntry(doc, b, QStringLiteral("e3"));
    addEntry(doc, a, QStringLiteral("e4"));
    doc.setFtpEntry(2);
    QCOMPARE(doc.FtpEntryIndex(), 2);
    QCOMPARE(doc.ftpEntry()->Name, QStringLiteral("ftp"));

    const QStringList op = operation.split(QLatin1Char(' '));
    const int arg = op.value(1).toInt();
    if (op[0] == QLatin1String("remove"))
        doc.removeEntry(arg);
    else if (op[0] == QLatin1String("take"))
        QCOMPARE(doc.takeEntry(arg)->Name, QStringLiteral("ftp"));
    else if (op[0] == QLatin1String("insert"))
        doc.insertEntry(arg, NewEntry(nullptr, QStringLiteral("new")));
    else if (op[0] == QLatin1String("move"))
        doc.moveEntry(arg, op[2].toInt());
    else if (op[0] == QLatin1String("deleteGroup"))
        doc.deleteGroup(op[1] == QLatin1String("A") ? a : b);
    else if (op[0] == QLatin1String("mark"))
        doc.setFtpEntry(arg);
    else
        QFAIL("unknown operation");

    QCOMPARE(entryNames(doc), order);
    QCOMPARE(doc.FtpEntryIndex(), ftpIndex);
    checkFtpInvariant(doc);
    int marked = 0;
    for (const auto& e : doc.Entries())
        marked += e->IsFtpEntry ? 1 : 0;
    QCOMPARE(marked, ftpIndex >= 0 ? 1 : 0);
    if (ftpIndex >= 0 && op[0] != QLatin1String("mark"))
        QCOMPARE(doc.ftpEntry()->Name, QStringLiteral("ftp"));
}

void TestDocumentModel::deleteGroupRemovesSubgroupsAndTheirEntries()
{
    DocumentState doc;
    TGroupe* keep = doc.addGroup(QStringLiteral("Keep"));
    TGroupe* gone = doc.addGroup(QStringLiteral("Gone"));
    TGroupe* child = doc.addGroup(QStringLiteral("Child"), gone);
    TGroupe* grandchild = doc.addGroup(QStringLiteral("Grandchild"), child);
    TGroupe* keptChild = doc.addGroup(QStringLiteral("KeepChild"), keep);
    const quint32 goneIds[] = {gone->Id, child->Id, grandchild->Id};
    addEntry(doc, keep, QStringLiteral("k1"));
    addEntry(doc, grandchild, QStringLiteral("g1"));
    addEntry(doc, nullptr, QStringLiteral("none"));
    addEntry(doc, gone, QStringLiteral("g2"));
    addEntry(doc, keptChild, QStringLiteral("k2"));
    addEntry(doc, child, QStringLiteral("g3"));

    doc.deleteGroup(gone);
    QCOMPARE(names(doc.groupsInOrder()), QStringLiteral("Keep KeepChild"));
    QCOMPARE(doc.groupCount(), 2);
    for (quint32 id : goneIds)
        QCOMPARE(doc.findGroup(id), nullptr);
    QCOMPARE(entryNames(doc), QStringLiteral("k1 none k2"));

    // A new group never reuses the Id of an entry's group by accident: every entry still
    // belongs to an existing group or to none.
    doc.addGroup(QStringLiteral("New"));
    for (const auto& e : doc.Entries())
        QVERIFY(e->Group == 0 || doc.findGroup(e->Group));

    DocumentState other;
    TGroupe* foreign = other.addGroup(QStringLiteral("Foreign"));
    doc.deleteGroup(foreign); // not one of ours: nothing happens
    QCOMPARE(doc.groupCount(), 3);
    QCOMPARE(doc.entryCount(), 3);
}

void TestDocumentModel::moveGroupRefusesCycles()
{
    DocumentState doc;
    TGroupe* a = doc.addGroup(QStringLiteral("A"));
    TGroupe* a1 = doc.addGroup(QStringLiteral("A1"), a);
    TGroupe* a11 = doc.addGroup(QStringLiteral("A11"), a1);
    TGroupe* b = doc.addGroup(QStringLiteral("B"));
    const QString start = names(doc.groupsInOrder());

    QVERIFY(!doc.moveGroup(a, a));
    QVERIFY(!doc.moveGroup(a, a1));
    QVERIFY(!doc.moveGroup(a, a11));
    QVERIFY(!doc.moveGroup(a1, a11));
    QCOMPARE(names(doc.groupsInOrder()), start);
    QCOMPARE(a1->Parent, a);

    QVERIFY(doc.moveGroup(a1, b));
    QCOMPARE(names(doc.groupsInOrder()), QStringLiteral("A B A1 A11"));
    QCOMPARE(a1->Parent, b);
    QCOMPARE(a11->Parent, a1);
    QVERIFY(doc.moveGroup(a11, nullptr, 0));
    QCOMPARE(names(doc.groupsInOrder()), QStringLiteral("A11 A B A1"));
    QCOMPARE(a11->Parent, nullptr);
    QVERIFY(doc.moveGroup(a, b, 0));
    QCOMPARE(names(doc.groupsInOrder()), QStringLiteral("A11 B A A1"));
    QVERIFY(doc.isAncestorOf(b, a));
    QVERIFY(!doc.isAncestorOf(a, b));
    QCOMPARE(doc.findGroup(a1->Id), a1);
}

void TestDocumentModel::moveEntryInsertsBefore_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("order");
    QTest::newRow("first to end") << 0 << 4 << "b c d a";
    QTest::newRow("last to front") << 3 << 0 << "d a b c";
    QTest::newRow("one step down") << 1 << 3 << "a c b d";
    QTest::newRow("no move") << 1 << 2 << "a b c d";
    QTest::newRow("out of range from") << 7 << 0 << "a b c d";
    QTest::newRow("clamped to") << 0 << 99 << "b c d a";
}

void TestDocumentModel::moveEntryInsertsBefore()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, order);
    DocumentState doc;
    for (const char* n : {"a", "b", "c", "d"})
        addEntry(doc, nullptr, QString::fromLatin1(n));
    doc.moveEntry(from, to);
    QCOMPARE(entryNames(doc), order);
}

void TestDocumentModel::groupEntriesInDocumentOrder()
{
    DocumentState doc;
    TGroupe* a = doc.addGroup(QStringLiteral("A"));
    TGroupe* b = doc.addGroup(QStringLiteral("B"), a);
    addEntry(doc, a, QStringLiteral("1"));
    addEntry(doc, b, QStringLiteral("2"));
    addEntry(doc, a, QStringLiteral("3"));
    addEntry(doc, nullptr, QStringLiteral("4"));
    QStringList inA;
    for (const TFeuille* e : doc.GroupEntries(a->Id))
        inA << e->Name;
    QCOMPARE(inA, (QStringList{"1", "3"})); // subgroups' entries are not the group's
    QCOMPARE(doc.GroupEntries(0).size(), size_t(1));
    QCOMPARE(doc.indexOfEntry(doc.GroupEntries(b->Id).front()), 1);
}

void TestDocumentModel::resetAndModified()
{
    DocumentState doc;
    int calls = 0;
    doc.modifiedChanged = [&calls]() { ++calls; };
    doc.SetModified(true);
    QVERIFY(doc.Modified);
    QCOMPARE(calls, 1);

    TGroupe* g = doc.addGroup(QStringLiteral("G"));
    addEntry(doc, g, QStringLiteral("e"));
    doc.setFtpEntry(0);
    doc.MetaPassword = QStringLiteral("secret");
    doc.CurrentPath = QStringLiteral("/tmp/x.pass");
    doc.LocalDoc.SaveCount = 5;
    doc.RemoteCopy.SaveDate = 3;
    doc.FtpMode = true;
    doc.reset();
    QCOMPARE(doc.groupCount(), 0);
    QCOMPARE(doc.entryCount(), 0);
    QCOMPARE(doc.FtpEntryIndex(), -1);
    QVERIFY(doc.MetaPassword.isEmpty() && doc.CurrentPath.isEmpty());
    QCOMPARE(doc.LocalDoc.SaveCount, 0);
    QCOMPARE(doc.RemoteCopy.SaveDate, 0.0);
    QVERIFY(!doc.Modified && !doc.FtpMode);
    QCOMPARE(calls, 2);
    QCOMPARE(doc.addGroup(QStringLiteral("again"))->Id, 1u);
}

void TestDocumentModel::deepTreeTeardown()
{
    // Destroying, clearing or deleting a chain this deep recursively would overflow the stack.
    const int depth = 300000;
    for (int way = 0; way < 3; ++way) {
        DocumentState doc;
        TGroupe* parent = nullptr;
        TGroupe* top = nullptr;
        for (int i = 0; i < depth; ++i) {
            parent = doc.addGroup(QString(), parent);
            if (!top)
                top = parent;
        }
        addEntry(doc, parent, QStringLiteral("leaf"));
        QCOMPARE(doc.groupsInOrder().size(), size_t(depth));
        if (way == 1)
            doc.clearContent();
        else if (way == 2)
            doc.deleteGroup(top);
        if (way != 0) {
            QCOMPARE(doc.groupCount(), 0);
            QCOMPARE(doc.entryCount(), 0);
        }
    }
}

QTEST_GUILESS_MAIN(TestDocumentModel)
#include "tst_documentmodel.moc"
