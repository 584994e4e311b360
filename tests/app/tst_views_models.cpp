// The models behind the group tree and the entry list, checked against the document they show.

#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/GroupTreeModel.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentCommands.h"
#include "document/DocumentModel.h"
#include "lang/LangTable.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {

TFeuille* addEntry(DocumentState& doc, const TGroupe* group, const QString& name, const QString& login = QString(),
                   const QString& notes = QString(), bool ftp = false)
{
    auto e = NewEntry(group, name);
    e->Login = login;
    e->Password = QStringLiteral("pw-") + name;
    e->WebAddress = QStringLiteral("https://") + name.toLower();
    e->Notes = notes;
    e->IsFtpEntry = ftp;
    return doc.appendEntry(std::move(e));
}

QStringList names(const EntryListModel& model)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << model.data(model.index(r, EntryListModel::NameColumn)).toString();
    return out;
}

QStringList treeNames(const GroupTreeModel& model, const QModelIndex& parent = QModelIndex())
{
    QStringList out;
    for (int r = 0; r < model.rowCount(parent); ++r) {
        const QModelIndex idx = model.index(r, 0, parent);
        const QStringList children = treeNames(model, idx);
        out << idx.data().toString() + (children.isEmpty() ? QString() : "(" + children.join(",") + ")");
    }
    return out;
}

} // namespace

class TestViewsModels : public QObject
{
    Q_OBJECT
private slots:
    void fillListsGroupEntriesInDocumentOrder();
    void rowIcons_data();
    void rowIcons();
    void rowsKeepCopiesUntilRefreshed();
    void passwordsWipedByTheirLastOwner();
    void sortIsStableCaseInsensitiveAndReversible();
    void sortKeepsSelectionOnItsEntry();
    void sortOnMissingColumnKeepsOrder();
    void pathColumnAndTitles();
    void rowCommands();
    void treeMirrorsForest();
    void treeStructuralChanges();
    void treeRenameInPlace();
};

void TestViewsModels::fillListsGroupEntriesInDocumentOrder()
{
    DocumentState doc;
    TGroupe* a = doc.addGroup("A");
    TGroupe* b = doc.addGroup("B");
    addEntry(doc, a, "z1");
    addEntry(doc, b, "other1");
    addEntry(doc, a, "a2");
    addEntry(doc, nullptr, "orphan");
    addEntry(doc, a, "m3");
    addEntry(doc, b, "other2");

    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.FillEntryList(doc, a->Id);
    QCOMPARE(names(model), QStringList({"z1", "a2", "m3"}));
    const std::vector<TFeuille*> expected = doc.GroupEntries(a->Id);
    QCOMPARE(size_t(model.count()), expected.size());
    for (int r = 0; r < model.count(); ++r) {
        QCOMPARE(model.entryAt(r), expected[size_t(r)]);
        QCOMPARE(model.cellText(r, EntryListModel::LoginColumn), expected[size_t(r)]->Login);
        QCOMPARE(model.data(model.index(r, EntryListModel::PasswordColumn)).toString(), expected[size_t(r)]->Password);
        QCOMPARE(model.data(model.index(r, EntryListModel::WebColumn)).toString(), expected[size_t(r)]->WebAddress);
    }
    QCOMPARE(model.columnCount(), 4);

    model.FillEntryList(doc, b->Id);
    QCOMPARE(names(model), QStringList({"other1", "other2"}));
    TGroupe* empty = doc.addGroup("empty");
    model.FillEntryList(doc, empty->Id);
    QCOMPARE(model.rowCount(), 0);
}

void TestViewsModels::rowIcons_data()
{
    QTest::addColumn<bool>("ftp");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<bool>("search");
    QTest::addColumn<int>("icon");
    QTest::newRow("plain") << false << "" << false << int(EntryListModel::KeyIcon);
    QTest::newRow("notes") << false << "n" << false << int(EntryListModel::KeyNotesIcon);
    QTest::newRow("ftp") << true << "" << false << int(EntryListModel::FtpKeyIcon);
    QTest::newRow("ftp with notes") << true << "n" << false << int(EntryListModel::FtpKeyNotesIcon);
    QTest::newRow("search") << false << "" << true << int(EntryListModel::SearchIcon);
    QTest::newRow("search, ftp, notes") << true << "n" << true << int(EntryListModel::SearchNotesIcon);
}

void TestViewsModels::rowIcons()
{
    QFETCH(bool, ftp);
    QFETCH(QString, notes);
    QFETCH(bool, search);
    QFETCH(int, icon);
    DocumentState doc;
    TGroupe* g = doc.addGroup("g");
    TFeuille* e = addEntry(doc, g, "e", "", notes, ftp);
    EntryListModel model;
    if (search)
        model.fillSearchRows({e}, {"g"});
    else
        model.FillEntryList(doc, g->Id);
    const QModelIndex idx = model.index(0, EntryListModel::NameColumn);
    QCOMPARE(idx.data(EntryListModel::RowIconRole).toInt(), icon);
    const QIcon shown = idx.data(Qt::DecorationRole).value<QIcon>();
    QVERIFY(!shown.isNull());
    QVERIFY(!model.index(0, EntryListModel::LoginColumn).data(Qt::DecorationRole).isValid());
}

void TestViewsModels::rowsKeepCopiesUntilRefreshed()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup("g");
    TFeuille* e = addEntry(doc, g, "before", "login");
    EntryListModel model;
    model.FillEntryList(doc, g->Id);

    e->Name = "after";
    e->Notes = "now with notes";
    QCOMPARE(model.cellText(0, EntryListModel::NameColumn), QString("before"));
    QCOMPARE(model.rowAt(0).icon, EntryListModel::KeyIcon);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.refreshRow(0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.cellText(0, EntryListModel::NameColumn), QString("after"));
    QCOMPARE(model.rowAt(0).icon, EntryListModel::KeyNotesIcon);

    model.setCellText(0, EntryListModel::LoginColumn, "typed");
    QCOMPARE(model.data(model.index(0, EntryListModel::LoginColumn)).toString(), QString("typed"));
    QCOMPARE(e->Login, QString("login"));

    // A row whose entry is gone is dropped without touching the entry.
    doc.removeEntry(0);
    model.removeEntryRow(0);
    QCOMPARE(model.rowCount(), 0);
}

namespace {
int g_wipedPasswords = 0;
void countWipedPassword(const void* begin, qsizetype bytes)
{
    // A password of this test is 12 characters: a buffer of 24 bytes or more, cleared whole.
    const auto* p = static_cast<const unsigned char*>(begin);
    if (bytes >= 24 && std::all_of(p, p + bytes, [](unsigned char c) { return c == 0; }))
        ++g_wipedPasswords;
}
} // namespace

// A password's characters are shared by the entry and its row; whichever lets go last wipes them:
// a password replaced by an edit, a row dropped after its entry, a closed document.
void TestViewsModels::passwordsWipedByTheirLastOwner()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup("g");
    TFeuille* e = doc.appendEntry(NewEntry(g, "e"));
    e->Password = QStringLiteral("first-secret");
    e->Password.detach(); // a buffer of its own, as a password read from a file has
    EntryListModel model;
    model.FillEntryList(doc, g->Id);
    g_wipedPasswords = 0;
    setTextWipeObserver(countWipedPassword);
    const auto noObserver = qScopeGuard([] { setTextWipeObserver(nullptr); });

    // The edit stores the new password; the row still shows the old one, so nothing is cleared yet.
    QString typed(QStringLiteral("other-secret"));
    typed.detach();
    QCOMPARE(CommitEntryField(doc, *e, EntryField::Password, typed), FieldCommit::Written);
    QCOMPARE(g_wipedPasswords, 0);
    QCOMPARE(model.cellText(0, EntryListModel::PasswordColumn), QStringLiteral("first-secret"));
    // The row takes the new text: it was the old password's last owner.
    model.setCellText(0, EntryListModel::PasswordColumn, e->Password);
    QCOMPARE(g_wipedPasswords, 1);

    // The document closes before the views let go: the rows wipe what the entries could not.
    typed.clear();
    doc.clearContent();
    QCOMPARE(g_wipedPasswords, 1);
    model.clear();
    QCOMPARE(g_wipedPasswords, 2);

    // The other order: the rows let go first, the entry wipes when it goes.
    TGroupe* h = doc.addGroup("h");
    TFeuille* f = doc.appendEntry(NewEntry(h, "f"));
    f->Password = QStringLiteral("third-secret");
    f->Password.detach();
    model.FillEntryList(doc, h->Id);
    QCOMPARE(model.rowCount(), 1);
    model.clear();
    QCOMPARE(g_wipedPasswords, 2);
    doc.clearContent();
    QCOMPARE(g_wipedPasswords, 3);
}

void TestViewsModels::sortIsStableCaseInsensitiveAndReversible()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup("g");
    // Logins hold the document position, so stability shows in the order of equal names.
    const QStringList input = {"beta", "Alpha", QStringLiteral("élan"), "alpha", "Beta", "elan", "ALPHA"};
    for (int i = 0; i < input.size(); ++i)
        addEntry(doc, g, input[i], QString::number(i));
    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setCollatorLocale(QLocale(QLocale::French, QLocale::France));
    model.FillEntryList(doc, g->Id);

    auto logins = [&] {
        QStringList out;
        for (int r = 0; r < model.count(); ++r)
            out << model.cellText(r, EntryListModel::LoginColumn);
        return out.join(' ');
    };
    model.sortRows(1);
    QCOMPARE(names(model), QStringList({"Alpha", "alpha", "ALPHA", "beta", "Beta", "elan", QStringLiteral("élan")}));
    QCOMPARE(logins(), QString("1 3 6 0 4 5 2"));

    // Descending negates the comparison; equal names keep their relative order.
    model.sortRows(-1);
    QCOMPARE(names(model), QStringList({QStringLiteral("élan"), "elan", "beta", "Beta", "Alpha", "alpha", "ALPHA"}));
    QCOMPARE(logins(), QString("2 5 0 4 1 3 6"));

    // Code 0 leaves the rows where they are.
    model.sortRows(0);
    QCOMPARE(logins(), QString("2 5 0 4 1 3 6"));
}

void TestViewsModels::sortKeepsSelectionOnItsEntry()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup("g");
    addEntry(doc, g, "c");
    TFeuille* b = addEntry(doc, g, "b");
    addEntry(doc, g, "a");
    EntryListModel model;
    model.FillEntryList(doc, g->Id);
    QPersistentModelIndex selected = model.index(1, EntryListModel::LoginColumn);
    model.sortRows(1);
    QCOMPARE(names(model), QStringList({"a", "b", "c"}));
    QCOMPARE(model.entryAt(selected.row()), b);
    QCOMPARE(selected.column(), int(EntryListModel::LoginColumn));
    model.sortRows(-1);
    QCOMPARE(model.entryAt(selected.row()), b);
}

void TestViewsModels::sortOnMissingColumnKeepsOrder()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup("g");
    addEntry(doc, g, "b");
    addEntry(doc, g, "a");
    EntryListModel model;
    model.FillEntryList(doc, g->Id);
    model.sortRows(5);
    model.sortRows(-5);
    model.sortRows(99);
    QCOMPARE(names(model), QStringList({"b", "a"}));
}

void TestViewsModels::pathColumnAndTitles()
{
    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Nom"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QString("Mot de passe"));
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QString("Adresse web"));

    QSignalSpy titles(&model, &QAbstractItemModel::headerDataChanged);
    QVERIFY(model.setHeaderData(3, Qt::Horizontal, "Web"));
    QCOMPARE(titles.count(), 1);
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QString("Web"));

    QVERIFY(LoadLangTable("US"));
    DocumentState doc;
    TGroupe* g = doc.addGroup("Bank");
    TFeuille* e = addEntry(doc, g, "e");
    model.fillSearchRows({e}, {"Bank\\Cards"});
    model.setPathColumn(true);
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), Msg("Chemin"));
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("Path"));
    QCOMPARE(model.data(model.index(0, EntryListModel::PathColumn)).toString(), QString("Bank\\Cards"));
    model.sortRows(5);
    model.setPathColumn(false);
    QCOMPARE(model.columnCount(), 4);
    QVERIFY(!model.data(model.index(0, EntryListModel::PathColumn)).isValid());
    clearLangTable();
}

void TestViewsModels::rowCommands()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup("g");
    TFeuille* a = addEntry(doc, g, "a");
    TFeuille* b = addEntry(doc, g, "b");
    TFeuille* c = addEntry(doc, g, "c");
    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.FillEntryList(doc, g->Id);

    model.moveEntryRow(2, 0); // c before a
    QCOMPARE(names(model), QStringList({"c", "a", "b"}));
    model.moveEntryRow(0, 3); // c after the last row
    QCOMPARE(names(model), QStringList({"a", "b", "c"}));
    model.moveEntryRow(1, 2); // onto itself: nothing
    QCOMPARE(names(model), QStringList({"a", "b", "c"}));

    TFeuille* d = addEntry(doc, g, "d");
    QCOMPARE(model.appendEntryRow(d), 3);
    model.insertEntryRow(1, EntryListModel::makeRow(d));
    QCOMPARE(names(model), QStringList({"a", "d", "b", "c", "d"}));
    model.removeEntryRow(4);
    model.removeEntryRow(1);
    QCOMPARE(names(model), QStringList({"a", "b", "c"}));
    QCOMPARE(model.rowOf(c), 2);
    QCOMPARE(model.rowOf(d), -1);
    QCOMPARE(model.rowOf(a), 0);
    QCOMPARE(model.entryAt(1), b);
    QCOMPARE(model.entryAt(7), nullptr);
    model.removeEntryRow(17); // out of range: ignored
    QCOMPARE(model.rowCount(), 3);
}

void TestViewsModels::treeMirrorsForest()
{
    DocumentState doc;
    TGroupe* bank = doc.addGroup("Bank");
    TGroupe* cards = doc.addGroup("Cards", bank);
    doc.addGroup("Gold", cards);
    doc.addGroup("Savings", bank);
    doc.addGroup("Mail");

    GroupTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDocument(&doc);
    QCOMPARE(treeNames(model), QStringList({"Bank(Cards(Gold),Savings)", "Mail"}));
    QCOMPARE(model.groupAt(model.indexForGroup(cards)), cards);
    QCOMPARE(model.indexForGroup(cards).parent(), model.indexForGroup(bank));
    QCOMPARE(model.index(0, 0, model.indexForGroup(cards)).data().toString(), QString("Gold"));
    QVERIFY(!model.data(model.indexForGroup(bank), Qt::DecorationRole).value<QIcon>().isNull());

    // A replaced forest is shown after reset().
    doc.clearContent();
    doc.addGroup("Fresh");
    model.reset();
    QCOMPARE(treeNames(model), QStringList({"Fresh"}));
    model.setDocument(nullptr);
    QCOMPARE(model.rowCount(), 0);
}

void TestViewsModels::treeStructuralChanges()
{
    DocumentState doc;
    TGroupe* a = doc.addGroup("A");
    TGroupe* b = doc.addGroup("B");
    TGroupe* c = doc.addGroup("C");
    TGroupe* a1 = doc.addGroup("A1", a);
    addEntry(doc, a1, "in A1");
    addEntry(doc, c, "in C");

    GroupTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDocument(&doc);
    QPersistentModelIndex keepB = model.indexForGroup(b);

    TGroupe* a2 = model.addGroup("A2", a);
    QVERIFY(a2 && a2->Id != 0);
    QCOMPARE(treeNames(model), QStringList({"A(A1,A2)", "B", "C"}));

    QVERIFY(model.moveGroup(c, nullptr, 0)); // to the front of the top level
    QCOMPARE(treeNames(model), QStringList({"C", "A(A1,A2)", "B"}));
    QVERIFY(model.moveGroup(c, nullptr, -1)); // back to the end
    QCOMPARE(treeNames(model), QStringList({"A(A1,A2)", "B", "C"}));
    QVERIFY(model.moveGroup(a1, nullptr, 1)); // out of its parent
    QCOMPARE(treeNames(model), QStringList({"A(A2)", "A1", "B", "C"}));
    QVERIFY(model.moveGroup(a, b, -1)); // under a sibling
    QCOMPARE(treeNames(model), QStringList({"A1", "B(A(A2))", "C"}));
    QVERIFY(!model.moveGroup(b, a2, -1)); // into its own subtree: refused
    QVERIFY(!model.moveGroup(a, a, -1));
    QCOMPARE(treeNames(model), QStringList({"A1", "B(A(A2))", "C"}));
    QCOMPARE(model.groupAt(keepB), b);
    QCOMPARE(doc.GroupEntries(a1->Id).size(), size_t(1));

    const int a2Id = a2->Id;
    model.removeGroup(b);
    QCOMPARE(treeNames(model), QStringList({"A1", "C"}));
    QVERIFY(!keepB.isValid());
    QCOMPARE(doc.findGroup(a2Id), nullptr);
    QCOMPARE(doc.entryCount(), 2);
}

void TestViewsModels::treeRenameInPlace()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup("Old");
    GroupTreeModel model;
    model.setDocument(&doc);
    const QModelIndex idx = model.indexForGroup(g);
    QVERIFY(model.flags(idx) & Qt::ItemIsEditable);

    QSignalSpy renamed(&model, &GroupTreeModel::groupRenamed);
    QVERIFY(model.setData(idx, "New"));
    QCOMPARE(g->Name, QString("New"));
    QCOMPARE(renamed.count(), 1);
    QCOMPARE(renamed.at(0).at(1).toBool(), true);
    QVERIFY(model.setData(idx, "New"));
    QCOMPARE(renamed.at(1).at(1).toBool(), false);
    QVERIFY(model.setData(idx, "")); // an empty name is accepted
    QCOMPARE(g->Name, QString());

    model.setReadOnly(true);
    QVERIFY(!(model.flags(idx) & Qt::ItemIsEditable));
    QVERIFY(!model.setData(idx, "Locked"));
    QCOMPARE(g->Name, QString());
}

QTEST_MAIN(TestViewsModels)
#include "tst_views_models.moc"
