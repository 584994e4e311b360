// The decisions of editing and of the group and entry commands, without a window: cell and notes
// commits, the entries that leave with a group, entry moves and the FTP mark, group placement.

#include "document/DocumentCommands.h"
#include "platform/Win1252.h"

#include <QtTest>

namespace {

// Groups A (children A1, A2, A3; A1 has A1x) and B; entries e0..e5 spread over them.
struct Fixture
{
    DocumentState doc;
    TGroupe* a = nullptr;
    TGroupe* a1 = nullptr;
    TGroupe* a1x = nullptr;
    TGroupe* a2 = nullptr;
    TGroupe* a3 = nullptr;
    TGroupe* b = nullptr;

    Fixture()
    {
        a = doc.addGroup(QStringLiteral("A"));
        a1 = doc.addGroup(QStringLiteral("A1"), a);
        a1x = doc.addGroup(QStringLiteral("A1x"), a1);
        a2 = doc.addGroup(QStringLiteral("A2"), a);
        a3 = doc.addGroup(QStringLiteral("A3"), a);
        b = doc.addGroup(QStringLiteral("B"));
        const TGroupe* owners[] = {a, b, a1x, a, b, a2};
        for (int i = 0; i < 6; ++i)
            doc.appendEntry(NewEntry(owners[i], QStringLiteral("e%1").arg(i)));
    }

    QStringList names() const
    {
        QStringList out;
        for (const auto& e : doc.Entries())
            out << e->Name;
        return out;
    }

    TGroupe* byName(const QString& name) const
    {
        for (TGroupe* g : doc.groupsInOrder())
            if (g->Name == name)
                return g;
        return nullptr;
    }
};

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT
private slots:
    void cellCommit_data();
    void cellCommit();
    void notesCommit();
    void deleteGroupEntries_data();
    void deleteGroupEntries();
    void groupDeletionRules();
    void moveEntryBeside_data();
    void moveEntryBeside();
    void moveEntryToGroup();
    void groupPlacement_data();
    void groupPlacement();
    void charactersADocumentCanHold();
};

void TestDocumentCommands::cellCommit_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("modifiedBefore");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("modifiedAfter");
    QTest::addColumn<bool>("dated");

    QTest::newRow("new login") << int(EntryField::Login) << "bob" << false << true << true << true;
    QTest::newRow("same login, clean document") << int(EntryField::Login) << "old" << false << true << false << false;
    // Opening and leaving a cell in a document already modified still dates the entry.
    QTest::newRow("same login, modified document") << int(EntryField::Login) << "old" << true << true << true << true;
    QTest::newRow("new password") << int(EntryField::Password) << "s3cret" << false << true << true << true;
    QTest::newRow("new web address") << int(EntryField::WebAddress) << "http://x" << false << true << true << true;
    QTest::newRow("new name") << int(EntryField::Name) << "Bank" << false << true << true << true;
    QTest::newRow("empty name refused") << int(EntryField::Name) << "" << false << false << false << false;
    QTest::newRow("empty login allowed") << int(EntryField::Login) << "" << false << true << true << true;
}

void TestDocumentCommands::cellCommit()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(bool, modifiedBefore);
    QFETCH(bool, written);
    QFETCH(bool, modifiedAfter);
    QFETCH(bool, dated);

    DocumentState doc;
    TGroupe* g = doc.addGroup(QStringLiteral("g"));
    TFeuille* e = doc.appendEntry(NewEntry(g, QStringLiteral("old")));
    e->Login = e->Password = e->WebAddress = QStringLiteral("old");
    doc.Modified = modifiedBefore;
    int notified = 0;
    doc.modifiedChanged = [&notified] { ++notified; };

    const FieldCommit result = CommitEntryField(doc, *e, EntryField(field), text);
    QCOMPARE(result == FieldCommit::Written, written);
    QCOMPARE(EntryFieldText(*e, EntryField(field)), written ? text : QStringLiteral("old"));
    QCOMPARE(doc.Modified, modifiedAfter);
    QCOMPARE(e->ModifiedAt != 0, dated);
    if (dated)
        QVERIFY(std::abs(e->ModifiedAt - datetime::now()) < 1.0 / 86400 * 5);
    // The status bar is told only when the flag was set by this commit.
    QCOMPARE(notified, modifiedAfter && !modifiedBefore ? 1 : 0);
}

void TestDocumentCommands::notesCommit()
{
    DocumentState doc;
    TFeuille* e = doc.appendEntry(NewEntry(nullptr, QStringLiteral("n")));
    e->Notes = QStringLiteral("line\r\nline");
    QVERIFY(!CommitEntryNotes(doc, *e, QStringLiteral("line\r\nline")));
    QVERIFY(!doc.Modified);
    QCOMPARE(e->ModifiedAt, 0.0);
    QVERIFY(CommitEntryNotes(doc, *e, QStringLiteral("other")));
    QVERIFY(doc.Modified);
    QVERIFY(e->ModifiedAt > 0);
    QCOMPARE(e->Notes, QStringLiteral("other"));
}

void TestDocumentCommands::deleteGroupEntries_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<int>("ftpBefore");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("ftpAfter");

    // A with its subtree holds e0, e2, e3, e5.
    QTest::newRow("subtree, mark on a removed entry") << "A" << 2 << QStringList{"e1", "e4"} << -1;
    QTest::newRow("subtree, mark after removed entries") << "A" << 4 << QStringList{"e1", "e4"} << 1;
    QTest::newRow("leaf group, mark before it") << "A2" << 1 << QStringList{"e0", "e1", "e2", "e3", "e4"} << 1;
    QTest::newRow("group without entries") << "A3" << 5 << QStringList{"e0", "e1", "e2", "e3", "e4", "e5"} << 5;
    QTest::newRow("no mark") << "B" << -1 << QStringList{"e0", "e2", "e3", "e5"} << -1;
}

void TestDocumentCommands::deleteGroupEntries()
{
    QFETCH(QString, group);
    QFETCH(int, ftpBefore);
    QFETCH(QStringList, left);
    QFETCH(int, ftpAfter);

    Fixture f;
    f.doc.setFtpEntry(ftpBefore);
    const QString marked = ftpBefore >= 0 ? f.doc.entry(ftpBefore)->Name : QString();
    const int removed = DeleteGroupEntries(f.doc, f.byName(group));
    QCOMPARE(removed, 6 - int(left.size()));
    QCOMPARE(f.names(), left);
    QCOMPARE(f.doc.FtpEntryIndex(), ftpAfter);
    if (ftpAfter >= 0)
        QCOMPARE(f.doc.ftpEntry()->Name, marked);
}

void TestDocumentCommands::groupDeletionRules()
{
    Fixture f;
    QVERIFY(GroupDeletionNeedsConfirmation(*f.a, 0));   // subgroups
    QVERIFY(GroupDeletionNeedsConfirmation(*f.b, 2));   // rows
    QVERIFY(!GroupDeletionNeedsConfirmation(*f.a3, 0)); // empty leaf: no question

    DocumentState doc;
    QVERIFY(!ModifiedAfterGroupDeletion(doc)); // untitled and empty
    doc.CurrentPath = QStringLiteral("/tmp/x.pass");
    QVERIFY(ModifiedAfterGroupDeletion(doc));
    doc.CurrentPath.clear();
    doc.addGroup(QStringLiteral("left"));
    QVERIFY(ModifiedAfterGroupDeletion(doc));
}

void TestDocumentCommands::moveEntryBeside_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("after");
    QTest::addColumn<int>("ftpBefore");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("ftpAfter");

    QTest::newRow("down before target, marked entry moves")
        << 1 << 4 << false << 1 << QStringList{"e0", "e2", "e3", "e1", "e4", "e5"} << 3;
    QTest::newRow("after the last, mark shifts back")
        << 2 << 5 << true << 4 << QStringList{"e0", "e1", "e3", "e4", "e5", "e2"} << 3;
    QTest::newRow("up, mark shifts forward")
        << 4 << 0 << false << 2 << QStringList{"e4", "e0", "e1", "e2", "e3", "e5"} << 3;
    QTest::newRow("onto itself") << 3 << 3 << false << 3 << QStringList{"e0", "e1", "e2", "e3", "e4", "e5"} << 3;
}

void TestDocumentCommands::moveEntryBeside()
{
    QFETCH(int, from);
    QFETCH(int, target);
    QFETCH(bool, after);
    QFETCH(int, ftpBefore);
    QFETCH(QStringList, order);
    QFETCH(int, ftpAfter);

    Fixture f;
    f.doc.setFtpEntry(ftpBefore);
    const QString marked = f.doc.entry(ftpBefore)->Name;
    QCOMPARE(MoveEntryBeside(f.doc, f.doc.entry(from), f.doc.entry(target), after), from != target);
    QCOMPARE(f.names(), order);
    QCOMPARE(f.doc.FtpEntryIndex(), ftpAfter);
    QCOMPARE(f.doc.ftpEntry()->Name, marked);
}

void TestDocumentCommands::moveEntryToGroup()
{
    Fixture f;
    TFeuille* e = f.doc.entry(0);
    QVERIFY(!MoveEntryToGroup(*e, *f.a));
    QVERIFY(MoveEntryToGroup(*e, *f.b));
    QCOMPARE(e->Group, f.b->Id);
    QCOMPARE(f.doc.indexOfEntry(e), 0); // its place in Entries stays
}

void TestDocumentCommands::groupPlacement_data()
{
    QTest::addColumn<QString>("dragged");
    QTest::addColumn<QString>("target"); // empty: empty space
    QTest::addColumn<bool>("moves");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<bool>("first");

    QTest::newRow("first child on its parent goes last") << "A1"
                                                         << "A" << true << "A" << false;
    QTest::newRow("last child on its parent goes first") << "A3"
                                                         << "A" << true << "A" << true;
    QTest::newRow("middle child on its parent goes first") << "A2"
                                                           << "A" << true << "A" << true;
    QTest::newRow("top-level on empty space goes last") << "A"
                                                        << "" << true << "" << false;
    QTest::newRow("last top-level on empty space stays") << "B"
                                                         << "" << false << "" << false;
    QTest::newRow("child on empty space becomes last top-level") << "A2"
                                                                 << "" << true << "" << false;
    QTest::newRow("into another group, last child") << "B"
                                                    << "A1x" << true << "A1x" << false;
    QTest::newRow("on itself") << "A1"
                               << "A1" << false << "" << false;
    QTest::newRow("into its own child") << "A"
                                        << "A1" << false << "" << false;
    QTest::newRow("into its own grandchild") << "A"
                                             << "A1x" << false << "" << false;
}

void TestDocumentCommands::groupPlacement()
{
    QFETCH(QString, dragged);
    QFETCH(QString, target);
    QFETCH(bool, moves);
    QFETCH(QString, parent);
    QFETCH(bool, first);

    Fixture f;
    const GroupPlacement p = PlaceGroupMove(f.doc, f.byName(dragged), target.isEmpty() ? nullptr : f.byName(target));
    QCOMPARE(p.kind == GroupPlacement::Move, moves);
    if (!moves)
        return;
    QCOMPARE(p.parent, parent.isEmpty() ? nullptr : f.byName(parent));
    QCOMPARE(p.first, first);
}

void TestDocumentCommands::charactersADocumentCanHold()
{
    for (const QChar c : QStringLiteral("aZ09?é€ŒžŸ\u00A0\u00FF\t"))
        QVERIFY2(win1252::canHold(c), qPrintable(QString(c)));
    for (const QChar c : QStringLiteral("\u0100\u4E2D\u03A9\u2603"))
        QVERIFY2(!win1252::canHold(c), qPrintable(QString(c)));
    QVERIFY(!win1252::canHold(QChar(0xD83D)));
    QCOMPARE(win1252::unholdableCount(QStringLiteral("ab€")), 0);
    // A character outside the basic plane counts once, a lone surrogate too.
    QCOMPARE(win1252::unholdableCount(QString::fromUtf8("x\xF0\x9F\x98\x80y\u4E2D")), 2);
    QCOMPARE(win1252::unholdableCount(QString(QChar(0xDC00))), 1);
}

QTEST_GUILESS_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
