// The three-way merge of two copies of a synchronised document against their last agreed copy.
// Each row gives base, local, remote and the expected content in a compact notation, and runs in
// both orders (local and remote swapped): the content must be the same.
//
// Notation: items separated by ";".
//   "Sites/"                          a group (its path), possibly empty
//   "Sites/a[p=pw,l=bob,u=url,n=x]@100~200"
//                                     entry "a" in group Sites: password, login, web address,
//                                     notes (each optional), Created 100, ModifiedAt 200 (optional)
//   "/a@100"                          an entry without a group
//   "W#1/b@11"                        in the second sibling group named "W"
//   "*Sites/ftp@5"                    the FTP entry
// In results, "@new" stands for an identity none of the inputs had (a derived one), and
// "(conflict D)" marks a conflict copy whose losing version came from the side saved at D
// (base 500, local 1000, remote 2000).

#include "document/EntryIdentity.h"
#include "document/SyncMerge.h"

#include <QtTest>

#include <cmath>
#include <map>
#include <set>

namespace {

constexpr DateTime kNow = 50000; // the clock of every merge here
constexpr DateTime kBaseSaved = 500;
constexpr DateTime kLocalSaved = 1000;
constexpr DateTime kRemoteSaved = 2000;

// The group at a path like "A/W#1/C", made (with any missing same-named siblings) when absent.
TGroupe* groupAt(DocumentState& doc, const QString& path)
{
    TGroupe* parent = nullptr;
    for (const QString& step : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const qsizetype hash = step.lastIndexOf(QLatin1Char('#'));
        const QString name = hash > 0 ? step.left(hash) : step;
        const int ordinal = hash > 0 ? step.mid(hash + 1).toInt() : 0;
        int seen = 0;
        TGroupe* found = nullptr;
        const auto& siblings = parent ? parent->Children : doc.Groups();
        for (const auto& g : siblings)
            if (g->Name == name && seen++ == ordinal)
                found = g.get();
        while (!found) {
            TGroupe* made = doc.addGroup(name, parent);
            if (seen++ == ordinal)
                found = made;
        }
        parent = found;
    }
    return parent;
}

QString& fieldNamed(TFeuille& e, const QString& key)
{
    if (key == QLatin1String("l"))
        return e.Login;
    if (key == QLatin1String("u"))
        return e.WebAddress;
    if (key == QLatin1String("n"))
        return e.Notes;
    return e.Password;
}

void build(DocumentState& doc, const QString& text, DateTime saved)
{
    doc.LocalDoc.SaveDate = saved;
    for (QString item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        item = item.trimmed();
        const bool ftp = item.startsWith(QLatin1Char('*'));
        if (ftp)
            item.remove(0, 1);
        if (item.endsWith(QLatin1Char('/'))) {
            groupAt(doc, item);
            continue;
        }
        auto e = std::make_unique<TFeuille>();
        const qsizetype at = item.lastIndexOf(QLatin1Char('@'));
        QString head = item.left(at);
        const QStringList dates = item.mid(at + 1).split(QLatin1Char('~'));
        e->Created = dates.value(0).toDouble();
        e->ModifiedAt = dates.value(1).toDouble();
        const qsizetype bracket = head.indexOf(QLatin1Char('['));
        if (bracket >= 0) {
            for (const QString& pair : head.mid(bracket + 1).chopped(1).split(QLatin1Char(','), Qt::SkipEmptyParts))
                fieldNamed(*e, pair.section(QLatin1Char('='), 0, 0)) = pair.section(QLatin1Char('='), 1);
            head = head.left(bracket);
        }
        const qsizetype slash = head.lastIndexOf(QLatin1Char('/'));
        e->Name = head.mid(slash + 1);
        const TGroupe* group = slash > 0 ? groupAt(doc, head.left(slash)) : nullptr;
        e->Group = group ? group->Id : 0;
        TFeuille* added = doc.appendEntry(std::move(e));
        if (ftp)
            doc.setFtpEntry(doc.indexOfEntry(added));
    }
}

// Replaces to's groups and entries by copies of from's.
void copyContent(const DocumentState& from, DocumentState& to)
{
    to.clearContent();
    std::map<quint32, TGroupe*> made;
    for (const TGroupe* g : from.groupsInOrder())
        made[g->Id] = to.addGroup(g->Name, g->Parent ? made.at(g->Parent->Id) : nullptr);
    for (const auto& e : from.Entries()) {
        auto copy = std::make_unique<TFeuille>(*e);
        copy->Group = e->Group ? made.at(e->Group)->Id : 0;
        to.appendEntry(std::move(copy));
    }
    to.noteFtpEntryRead(from.FtpEntryIndex());
}

QString pathOf(const DocumentState& doc, const TGroupe* group)
{
    QStringList steps;
    for (const TGroupe* g = group; g; g = g->Parent) {
        const auto& siblings = g->Parent ? g->Parent->Children : doc.Groups();
        int ordinal = 0;
        for (const auto& s : siblings) {
            if (s.get() == g)
                break;
            ordinal += s->Name == g->Name;
        }
        steps.prepend(ordinal ? QStringLiteral("%1#%2").arg(g->Name).arg(ordinal) : g->Name);
    }
    return steps.join(QLatin1Char('/'));
}

QString number(DateTime value)
{
    return QString::number(value, 'g', 15);
}

// The content in the notation, one item per entry then per group, in document order.
QStringList describe(const DocumentState& doc, const std::set<DateTime>& known = {}, bool markNew = false)
{
    QStringList out;
    for (const auto& e : doc.Entries()) {
        QStringList fields;
        if (!e->Password.isEmpty())
            fields << QStringLiteral("p=") + e->Password;
        if (!e->Login.isEmpty())
            fields << QStringLiteral("l=") + e->Login;
        if (!e->WebAddress.isEmpty())
            fields << QStringLiteral("u=") + e->WebAddress;
        if (!e->Notes.isEmpty())
            fields << QStringLiteral("n=") + e->Notes;
        QString text = (e->IsFtpEntry ? QStringLiteral("*") : QString()) + pathOf(doc, doc.findGroup(e->Group)) +
                       QLatin1Char('/') + e->Name;
        if (!fields.isEmpty())
            text += QLatin1Char('[') + fields.join(QLatin1Char(',')) + QLatin1Char(']');
        text += QLatin1Char('@') + (markNew && !known.count(e->Created) ? QStringLiteral("new") : number(e->Created));
        if (e->ModifiedAt != 0)
            text += QLatin1Char('~') + number(e->ModifiedAt);
        out << text;
    }
    for (const TGroupe* g : doc.groupsInOrder())
        out << pathOf(doc, g) + QLatin1Char('/');
    return out;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList expectedList(const QString& text)
{
    QStringList out;
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out << item.trimmed();
    return sorted(out);
}

std::set<DateTime> identities(std::initializer_list<const DocumentState*> docs)
{
    std::set<DateTime> out;
    for (const DocumentState* d : docs)
        if (d)
            for (const auto& e : d->Entries())
                out.insert(e->Created);
    return out;
}

SyncMergeOptions options()
{
    SyncMergeOptions o;
    o.now = kNow;
    o.conflictName = [](const QString& name, DateTime saved) {
        return QStringLiteral("%1 (conflict %2)").arg(name, number(saved));
    };
    return o;
}

// Every entry's group exists, the FTP mark is consistent, identities are unique.
void checkInvariants(const DocumentState& doc)
{
    std::set<quint64> seen;
    for (const auto& e : doc.Entries()) {
        QVERIFY(e->Group == 0 || doc.findGroup(e->Group));
        QVERIFY2(seen.insert(identity::keyOf(e->Created)).second, "an identity is held twice");
    }
    const int ftp = doc.FtpEntryIndex();
    QVERIFY(ftp >= -1 && ftp < doc.entryCount());
    int marked = 0;
    for (const auto& e : doc.Entries())
        marked += e->IsFtpEntry;
    QCOMPARE(marked, ftp >= 0 ? 1 : 0);
}

} // namespace

class TestSyncMerge3 : public QObject
{
    Q_OBJECT

private slots:
    void merge_data();
    void merge();
    void ftpEntry_data();
    void ftpEntry();
    void orderFollowsLocalThenRemote();
    void countsAndChanged();
    void legacyEntriesStayThreeOverRepeatedMerges();
    void futureDateNoLongerWinsAfterClamp();
    void hostileSharedIdentityKeepsEveryEntryOnce();
    void deepGroupsDoNotOverflow();
    void sameDocumentContent();
};

void TestSyncMerge3::merge_data()
{
    QTest::addColumn<QString>("base"); // "-": no base
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("expected");

    const QString b = QStringLiteral("S/a[p=1]@10;S/b[p=2]@11");
    QTest::newRow("nothing changed") << b << b << b << QStringLiteral("S/;S/a[p=1]@10;S/b[p=2]@11");
    QTest::newRow("name changed on one side")
        << b << b << QStringLiteral("S/x[p=1]@10~20;S/b[p=2]@11") << QStringLiteral("S/;S/x[p=1]@10~20;S/b[p=2]@11");
    QTest::newRow("login changed on one side") << b << b << QStringLiteral("S/a[p=1,l=bob]@10~20;S/b[p=2]@11")
                                               << QStringLiteral("S/;S/a[p=1,l=bob]@10~20;S/b[p=2]@11");
    QTest::newRow("password changed on one side")
        << b << b << QStringLiteral("S/a[p=9]@10~20;S/b[p=2]@11") << QStringLiteral("S/;S/a[p=9]@10~20;S/b[p=2]@11");
    QTest::newRow("web address changed on one side") << b << b << QStringLiteral("S/a[p=1,u=w]@10~20;S/b[p=2]@11")
                                                     << QStringLiteral("S/;S/a[p=1,u=w]@10~20;S/b[p=2]@11");
    QTest::newRow("notes changed on one side") << b << b << QStringLiteral("S/a[p=1,n=x]@10~20;S/b[p=2]@11")
                                               << QStringLiteral("S/;S/a[p=1,n=x]@10~20;S/b[p=2]@11");
    QTest::newRow("moved to another group on one side") << b << b << QStringLiteral("S/;T/a[p=1]@10~20;S/b[p=2]@11")
                                                        << QStringLiteral("S/;T/;T/a[p=1]@10~20;S/b[p=2]@11");
    QTest::newRow("changed on both sides to the same value: the later date")
        << b << QStringLiteral("S/a[p=7]@10~20;S/b[p=2]@11") << QStringLiteral("S/a[p=7]@10~30;S/b[p=2]@11")
        << QStringLiteral("S/;S/a[p=7]@10~30;S/b[p=2]@11");
    QTest::newRow("different fields changed on each side: both kept")
        << b << QStringLiteral("S/a[p=7]@10~20;S/b[p=2]@11") << QStringLiteral("S/;T/a[p=1,l=bob]@10~30;S/b[p=2]@11")
        << QStringLiteral("S/;T/;T/a[p=7,l=bob]@10~30;S/b[p=2]@11");
    // Item 5: the older change no longer vanishes without a trace.
    QTest::newRow("one field changed on both sides: later wins, the other kept as a conflict copy")
        << b << QStringLiteral("S/a[p=7]@10~20;S/b[p=2]@11") << QStringLiteral("S/a[p=8]@10~30;S/b[p=2]@11")
        << QStringLiteral("S/;S/a[p=8]@10~30;S/a (conflict 1000)[p=7]@new~20;S/b[p=2]@11");
    QTest::newRow("conflict on the group: the loser's copy stays in its own group")
        << b << QStringLiteral("S/;T/a[p=1]@10~40;S/b[p=2]@11") << QStringLiteral("S/;U/a[p=1]@10~30;S/b[p=2]@11")
        << QStringLiteral("S/;T/;U/;T/a[p=1]@10~40;U/a (conflict 2000)[p=1]@new~30;S/b[p=2]@11");
    // Item 5: equal modification dates with different content converge (the greater text wins).
    QTest::newRow("conflict with equal dates: content decides, the same in both orders")
        << b << QStringLiteral("S/a[p=7]@10~20;S/b[p=2]@11") << QStringLiteral("S/a[p=8]@10~20;S/b[p=2]@11")
        << QStringLiteral("S/;S/a[p=8]@10~20;S/a (conflict 1000)[p=7]@new~20;S/b[p=2]@11");
    // Item 5: deleted entries no longer come back.
    QTest::newRow("deleted on one side, unchanged on the other: gone")
        << b << QStringLiteral("S/a[p=1]@10") << b << QStringLiteral("S/;S/a[p=1]@10");
    QTest::newRow("deleted on one side, changed on the other: kept")
        << b << QStringLiteral("S/a[p=1]@10") << QStringLiteral("S/a[p=1]@10;S/b[p=5]@11~20")
        << QStringLiteral("S/;S/a[p=1]@10;S/b[p=5]@11~20");
    QTest::newRow("deleted on one side, moved on the other: kept")
        << b << QStringLiteral("S/a[p=1]@10") << QStringLiteral("S/a[p=1]@10;T/b[p=2]@11~20")
        << QStringLiteral("S/;T/;S/a[p=1]@10;T/b[p=2]@11~20");
    QTest::newRow("deleted on both sides")
        << b << QStringLiteral("S/a[p=1]@10") << QStringLiteral("S/a[p=1]@10") << QStringLiteral("S/;S/a[p=1]@10");
    QTest::newRow("added on each side") << b << QStringLiteral("S/a[p=1]@10;S/b[p=2]@11;S/c@12")
                                        << QStringLiteral("S/a[p=1]@10;S/b[p=2]@11;S/d@13")
                                        << QStringLiteral("S/;S/a[p=1]@10;S/b[p=2]@11;S/c@12;S/d@13");
    QTest::newRow("added on both sides, same identity and content: once")
        << QStringLiteral("S/") << QStringLiteral("S/c[p=3]@12~12") << QStringLiteral("S/c[p=3]@12~12")
        << QStringLiteral("S/;S/c[p=3]@12~12");
    QTest::newRow("added on both sides, same identity, other content: conflict")
        << QStringLiteral("S/") << QStringLiteral("S/c[p=3]@12~12") << QStringLiteral("S/c[p=4]@12~13")
        << QStringLiteral("S/;S/c[p=4]@12~13;S/c (conflict 1000)[p=3]@new~12");
    QTest::newRow("no base: union, nothing dropped")
        << QStringLiteral("-") << QStringLiteral("S/a[p=1]@10;T/") << QStringLiteral("S/b[p=2]@11;U/")
        << QStringLiteral("S/;T/;U/;S/a[p=1]@10;S/b[p=2]@11");
    QTest::newRow("no base: one entry different on each side is a conflict")
        << QStringLiteral("-") << QStringLiteral("S/a[p=1]@10~5") << QStringLiteral("S/a[p=2]@10~6")
        << QStringLiteral("S/;S/a[p=2]@10~6;S/a (conflict 1000)[p=1]@new~5");
    // Item 5: a group renamed on one computer ends as one group.
    QTest::newRow("group renamed on one side") << QStringLiteral("A/a@10;A/b@11") << QStringLiteral("B/a@10;B/b@11")
                                               << QStringLiteral("A/a@10;A/b@11") << QStringLiteral("B/;B/a@10;B/b@11");
    QTest::newRow("group renamed on one side, entry added to the old name on the other: both stay")
        << QStringLiteral("A/a@10") << QStringLiteral("B/a@10") << QStringLiteral("A/a@10;A/c@12")
        << QStringLiteral("A/;B/;B/a@10;A/c@12");
    QTest::newRow("group emptied and deleted on one side: gone")
        << QStringLiteral("A/a@10;B/c@12") << QStringLiteral("B/c@12") << QStringLiteral("A/a@10;B/c@12")
        << QStringLiteral("B/;B/c@12");
    QTest::newRow("group deleted on one side, an entry of it changed on the other: both stay")
        << QStringLiteral("A/a@10;B/c@12") << QStringLiteral("B/c@12") << QStringLiteral("A/a[p=9]@10~20;B/c@12")
        << QStringLiteral("A/;B/;A/a[p=9]@10~20;B/c@12");
    QTest::newRow("group deleted on one side, a subgroup added below it on the other: both stay")
        << QStringLiteral("A/a@10;B/c@12") << QStringLiteral("B/c@12") << QStringLiteral("A/a@10;A/New/;B/c@12")
        << QStringLiteral("A/;A/New/;B/;B/c@12");
    QTest::newRow("empty group added on one side stays")
        << b << b << QStringLiteral("S/a[p=1]@10;S/b[p=2]@11;E/") << QStringLiteral("S/;E/;S/a[p=1]@10;S/b[p=2]@11");
    QTest::newRow("empty group deleted on one side goes") << QStringLiteral("S/a@10;E/") << QStringLiteral("S/a@10")
                                                          << QStringLiteral("S/a@10;E/") << QStringLiteral("S/;S/a@10");
    QTest::newRow("same-named sibling groups stay two")
        << QStringLiteral("W/a@10;W#1/b@11") << QStringLiteral("W/a[p=1]@10~20;W#1/b@11")
        << QStringLiteral("W/a@10;W#1/b[p=2]@11~20") << QStringLiteral("W/;W#1/;W/a[p=1]@10~20;W#1/b[p=2]@11~20");
    QTest::newRow("same-named sibling groups without a base stay two")
        << QStringLiteral("-") << QStringLiteral("W/a@10;W#1/b@11") << QStringLiteral("W/a@10;W#1/b@11")
        << QStringLiteral("W/;W#1/;W/a@10;W#1/b@11");
    QTest::newRow("entries without a group") << QStringLiteral("/a@10") << QStringLiteral("/a[p=1]@10~20")
                                             << QStringLiteral("/a@10;/b@11") << QStringLiteral("/a[p=1]@10~20;/b@11");
    // Item 2: two entries of one creation date, in the other order on the server.
    QTest::newRow("one creation date for two entries, other order: none lost, none doubled")
        << QStringLiteral("-") << QStringLiteral("S/X[p=x]@46000.5~46100;S/Y[p=y]@46000.5~46200")
        << QStringLiteral("S/Y[p=y]@46000.5~46200;S/X[p=x]@46000.5~46100")
        << QStringLiteral("S/;S/X[p=x]@new~46100;S/Y[p=y]@new~46200");
    QTest::newRow("one creation date for two entries, one edited on the other side")
        << QStringLiteral("S/X[p=x]@46000.5~46100;S/Y[p=y]@46000.5~46200")
        << QStringLiteral("S/X[p=x]@46000.5~46100;S/Y[p=y]@46000.5~46200")
        << QStringLiteral("S/Y[p=y2]@46000.5~46300;S/X[p=x]@46000.5~46100")
        << QStringLiteral("S/;S/X[p=x]@new~46100;S/Y[p=y2]@new~46300");
    // Item 3: entries without a creation date pair with themselves.
    QTest::newRow("entries without a creation date are not added again")
        << QStringLiteral("-") << QStringLiteral("S/a[p=1]@0;S/b[p=2]@0;S/c[p=3]@0")
        << QStringLiteral("S/c[p=3]@0;S/a[p=1]@0;S/b[p=2]@0")
        << QStringLiteral("S/;S/a[p=1]@new;S/b[p=2]@new;S/c[p=3]@new");
    // Item 4: a date far in the future becomes now (so that an edit made after this merge wins,
    // see futureDateNoLongerWinsAfterClamp), and the edit it beats now is kept beside it.
    QTest::newRow("a modification date in 9999 is clamped to now")
        << QStringLiteral("S/a[p=1]@10~20") << QStringLiteral("S/a[p=2]@10~49000")
        << QStringLiteral("S/a[p=3]@10~2958465")
        << QStringLiteral("S/;S/a[p=3]@10~50000;S/a (conflict 1000)[p=2]@new~49000");
    QTest::newRow("a creation date in 9999 is clamped to now")
        << QStringLiteral("-") << QStringLiteral("S/a[p=1]@2958465") << QStringLiteral("S/a[p=1]@2958465")
        << QStringLiteral("S/;S/a[p=1]@50000");
}

void TestSyncMerge3::merge()
{
    QFETCH(QString, base);
    QFETCH(QString, local);
    QFETCH(QString, remote);
    QFETCH(QString, expected);
    DocumentState b;
    DocumentState l;
    DocumentState r;
    const bool hasBase = base != QLatin1String("-");
    if (hasBase)
        build(b, base, kBaseSaved);
    build(l, local, kLocalSaved);
    build(r, remote, kRemoteSaved);
    const QStringList before[3] = {describe(b), describe(l), describe(r)};
    std::set<DateTime> known = identities({&b, &l, &r});
    known.insert(kNow); // a clamped date is the merge's own clock, not a derived identity

    for (const bool swapped : {false, true}) {
        DocumentState out;
        SyncMergeResult result = SyncMerge3(hasBase ? &b : nullptr, swapped ? r : l, swapped ? l : r, options(), out);
        Q_UNUSED(result);
        QCOMPARE(sorted(describe(out, known, true)), expectedList(expected));
        checkInvariants(out);
        QCOMPARE(out.FtpEntryIndex(), -1);
    }
    // Both orders give the same identities too (not only "new" ones).
    DocumentState one;
    DocumentState two;
    SyncMerge3(hasBase ? &b : nullptr, l, r, options(), one);
    SyncMerge3(hasBase ? &b : nullptr, r, l, options(), two);
    QCOMPARE(sorted(describe(one)), sorted(describe(two)));
    // The inputs are untouched.
    QCOMPARE(describe(b), before[0]);
    QCOMPARE(describe(l), before[1]);
    QCOMPARE(describe(r), before[2]);
}

void TestSyncMerge3::ftpEntry_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("expected");

    QTest::newRow("remote change to the FTP entry kept as an unmarked conflict copy")
        << QStringLiteral("S/ftp[u=ftp.a]@5") << QStringLiteral("*S/ftp[u=ftp.a]@5")
        << QStringLiteral("S/ftp[u=ftp.evil]@5~30")
        << QStringLiteral("S/;*S/ftp[u=ftp.a]@5;S/ftp (conflict 2000)[u=ftp.evil]@new~30");
    QTest::newRow("local change to the FTP entry, remote unchanged: no copy")
        << QStringLiteral("S/ftp[u=ftp.a]@5") << QStringLiteral("*S/ftp[u=ftp.b]@5~30")
        << QStringLiteral("S/ftp[u=ftp.a]@5") << QStringLiteral("S/;*S/ftp[u=ftp.b]@5~30");
    QTest::newRow("FTP entry deleted on the remote side: it stays")
        << QStringLiteral("S/ftp[u=ftp.a]@5;S/a@10") << QStringLiteral("*S/ftp[u=ftp.a]@5;S/a@10")
        << QStringLiteral("S/a@10") << QStringLiteral("S/;*S/ftp[u=ftp.a]@5;S/a@10");
    QTest::newRow("remote marks never come in")
        << QStringLiteral("S/a@10") << QStringLiteral("S/a@10") << QStringLiteral("S/a@10;*S/other[u=ftp.evil]@11")
        << QStringLiteral("S/;S/a@10;S/other[u=ftp.evil]@11");
    QTest::newRow("remote marks its own FTP entry, local keeps its own")
        << QStringLiteral("-") << QStringLiteral("*S/mine[u=ftp.a]@5;S/a@10")
        << QStringLiteral("S/mine[u=ftp.a]@5;*S/a[u=ftp.evil]@10~20")
        << QStringLiteral("S/;*S/mine[u=ftp.a]@5;S/a[u=ftp.evil]@10~20;S/a (conflict 1000)@new");
}

void TestSyncMerge3::ftpEntry()
{
    QFETCH(QString, base);
    QFETCH(QString, local);
    QFETCH(QString, remote);
    DocumentState b;
    DocumentState l;
    DocumentState r;
    const bool hasBase = base != QLatin1String("-");
    if (hasBase)
        build(b, base, kBaseSaved);
    build(l, local, kLocalSaved);
    build(r, remote, kRemoteSaved);
    QFETCH(QString, expected);
    DocumentState out;
    SyncMerge3(hasBase ? &b : nullptr, l, r, options(), out);
    QCOMPARE(sorted(describe(out, identities({&b, &l, &r}), true)), expectedList(expected));
    checkInvariants(out);
}

void TestSyncMerge3::orderFollowsLocalThenRemote()
{
    DocumentState b;
    DocumentState l;
    DocumentState r;
    build(b, QStringLiteral("A/a@10;A/b@11;B/c@12"), kBaseSaved);
    build(l, QStringLiteral("B/c@12;A/b[p=1]@11~20;A/a@10;A/l@13;L/"), kLocalSaved);
    build(r, QStringLiteral("A/r1@14;A/a@10;A/b[p=2]@11~30;R/r2@15;A/Sub/;B/c@12"), kRemoteSaved);
    DocumentState out;
    SyncMerge3(&b, l, r, options(), out);
    QCOMPARE(describe(out, identities({&b, &l, &r}), true),
             (QStringList{"B/c@12", "A/b[p=2]@11~30", "A/b (conflict 1000)[p=1]@new~20", "A/a@10", "A/l@13", "A/r1@14",
                          "R/r2@15", "B/", "A/", "A/Sub/", "L/", "R/"}));
}

void TestSyncMerge3::countsAndChanged()
{
    DocumentState b;
    DocumentState l;
    DocumentState r;
    build(b, QStringLiteral("A/a@10;A/b@11;A/c@12;G/"), kBaseSaved);
    build(l, QStringLiteral("A/a[p=1]@10~20;A/b@11;A/c@12;G/"), kLocalSaved);
    build(r, QStringLiteral("A/a[p=2]@10~30;A/c[p=3]@12~30;A/d@13;N/"), kRemoteSaved);
    DocumentState out;
    const SyncMergeResult result = SyncMerge3(&b, l, r, options(), out);
    QCOMPARE(result.entriesAdded, 1);   // d
    QCOMPARE(result.entriesUpdated, 2); // a (the later version), c
    QCOMPARE(result.entriesDeleted, 1); // b
    QCOMPARE(result.conflictCopies, 1); // a's local version
    QCOMPARE(result.groupsAdded, 1);    // N
    QCOMPARE(result.groupsDeleted, 1);  // G
    QCOMPARE(result.datesClamped, 0);
    QCOMPARE(result.identitiesAssigned, 0);
    QVERIFY(result.changed());

    // Merged again with the result as base and remote: nothing left to do.
    DocumentState again;
    const SyncMergeResult settled = SyncMerge3(&out, out, out, options(), again);
    QVERIFY(!settled.changed());
    QVERIFY(SameDocumentContent(again, out));

    // A local document that lacked identities changes (they are given), and says so.
    DocumentState legacy;
    build(legacy, QStringLiteral("A/a@0"), kLocalSaved);
    DocumentState withIds;
    const SyncMergeResult assigned = SyncMerge3(nullptr, legacy, legacy, options(), withIds);
    QCOMPARE(assigned.identitiesAssigned, 2);
    QVERIFY(assigned.changed());
    QCOMPARE(withIds.entryCount(), 1);
    QVERIFY(!identity::isRecorded(withIds.entry(0)->Created));
    QVERIFY(withIds.entry(0)->Created >= 1.0);
}

void TestSyncMerge3::legacyEntriesStayThreeOverRepeatedMerges()
{
    // Item 3: two computers with the same three undated entries, one editing one of them with a
    // version that wrote no identities: three merges later, still three entries, and the edit.
    DocumentState mine;
    DocumentState theirs;
    build(mine, QStringLiteral("S/a[p=1]@0;S/b[p=2]@0;S/c[p=3]@0"), kLocalSaved);
    build(theirs, QStringLiteral("S/a[p=1]@0;S/b[p=2]@0;S/c[p=3]@0"), kRemoteSaved);
    std::unique_ptr<DocumentState> base;
    for (int round = 0; round < 3; ++round) {
        if (round == 1) {
            theirs.entry(1)->Password = QStringLiteral("2new");
            theirs.entry(1)->ModifiedAt = 40000;
        }
        auto out = std::make_unique<DocumentState>();
        SyncMerge3(base.get(), mine, theirs, options(), *out);
        QCOMPARE(out->entryCount(), 3);
        QStringList passwords;
        for (const auto& e : out->Entries())
            passwords << e->Password;
        passwords.sort();
        QCOMPARE(passwords, round == 0 ? (QStringList{"1", "2", "3"}) : (QStringList{"1", "2new", "3"}));
        // The result is saved and becomes this computer's document and the base.
        copyContent(*out, mine);
        base = std::move(out);
    }
}

void TestSyncMerge3::futureDateNoLongerWinsAfterClamp()
{
    // The server copy says 31 Dec 9999; the merge clamps it to its now and says so; an edit made
    // after that merge wins at the next one.
    DocumentState l;
    DocumentState r;
    build(l, QStringLiteral("S/a[p=1]@10~20"), kLocalSaved);
    build(r, QStringLiteral("S/a[p=9999]@10~2958465"), kRemoteSaved);
    DocumentState first;
    const SyncMergeResult clamped = SyncMerge3(nullptr, l, r, options(), first);
    QCOMPARE(clamped.datesClamped, 1);
    QCOMPARE(first.entry(0)->ModifiedAt, kNow);

    DocumentState edited;
    copyContent(first, edited);
    edited.entry(0)->Password = QStringLiteral("later");
    edited.entry(0)->ModifiedAt = kNow + 0.5;
    // Even against the server copy still saying 9999, and without a base.
    DocumentState second;
    SyncMerge3(nullptr, edited, r, options(), second);
    QCOMPARE(second.entry(0)->Password, QStringLiteral("later"));
    QCOMPARE(second.entry(1)->Password, QStringLiteral("9999")); // its conflict copy
}

void TestSyncMerge3::hostileSharedIdentityKeepsEveryEntryOnce()
{
    // Many entries holding one identity, in another order on each side: each pairs with itself.
    constexpr int kCount = 20000;
    DocumentState l;
    DocumentState r;
    TGroupe* gl = l.addGroup(QStringLiteral("G"));
    TGroupe* gr = r.addGroup(QStringLiteral("G"));
    for (int i = 0; i < kCount; ++i) {
        for (auto [doc, group, n] : {std::tuple{&l, gl, i}, std::tuple{&r, gr, kCount - 1 - i}}) {
            auto e = std::make_unique<TFeuille>();
            e->Group = group->Id;
            e->Name = QStringLiteral("e%1").arg(n);
            e->Password = QString::number(n % 7); // many alike but for their name
            e->Created = 46000.5;
            doc->appendEntry(std::move(e));
        }
    }
    DocumentState out;
    const SyncMergeResult result = SyncMerge3(nullptr, l, r, options(), out);
    QCOMPARE(out.entryCount(), kCount);
    QCOMPARE(result.conflictCopies, 0);
    QCOMPARE(result.identitiesAssigned, 2 * kCount);
    std::set<QString> names;
    for (const auto& e : out.Entries())
        names.insert(e->Name);
    QCOMPARE(int(names.size()), kCount);
    checkInvariants(out);
}

void TestSyncMerge3::deepGroupsDoNotOverflow()
{
    constexpr int kDepth = 10000;
    DocumentState b;
    DocumentState l;
    DocumentState r;
    for (DocumentState* d : {&b, &l, &r}) {
        TGroupe* g = nullptr;
        for (int i = 0; i < kDepth; ++i)
            g = d->addGroup(QStringLiteral("level"), g);
        auto e = std::make_unique<TFeuille>();
        e->Group = g->Id;
        e->Name = QStringLiteral("deep");
        e->Created = 100;
        d->appendEntry(std::move(e));
    }
    r.entry(0)->Password = QStringLiteral("changed");
    r.entry(0)->ModifiedAt = 200;
    DocumentState out;
    SyncMerge3(&b, l, r, options(), out);
    QCOMPARE(out.groupCount(), kDepth);
    QCOMPARE(out.entryCount(), 1);
    QCOMPARE(out.entry(0)->Password, QStringLiteral("changed"));
}

void TestSyncMerge3::sameDocumentContent()
{
    DocumentState a;
    DocumentState b;
    build(a, QStringLiteral("A/a[p=1]@10~20;B/"), kLocalSaved);
    build(b, QStringLiteral("A/a[p=1]@10~20;B/"), kRemoteSaved);
    QVERIFY(SameDocumentContent(a, b)); // headers are not compared
    b.entry(0)->ModifiedAt = 21;
    QVERIFY(!SameDocumentContent(a, b));
    b.entry(0)->ModifiedAt = 20;
    b.addGroup(QStringLiteral("C"));
    QVERIFY(!SameDocumentContent(a, b));
    DocumentState c;
    build(c, QStringLiteral("B/;A/a[p=1]@10~20"), kLocalSaved);
    QVERIFY(!SameDocumentContent(a, c)); // the group order differs
}

QTEST_GUILESS_MAIN(TestSyncMerge3)
#include "tst_syncmerge3.moc"
