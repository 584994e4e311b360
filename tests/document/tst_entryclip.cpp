// The entry record of the clipboard, byte for byte, and the search rule shared by the window and
// tresorin-cli.

#include "document/EntryClipRecord.h"
#include "document/EntrySearch.h"
#include "platform/Win1252.h"
#include "support/DocumentFixture.h"

#include <QtTest>

using testsupport::StreamBuilder;

class TestEntryClip : public QObject
{
    Q_OBJECT
private slots:
    void recordLayout();
    void roundTripKeepsEveryField_data();
    void roundTripKeepsEveryField();
    void malformedRecordsAreRefused_data();
    void malformedRecordsAreRefused();
    void filterFoldsOnlyAToZ();
    void matchesAnyField_data();
    void matchesAnyField();
    void searchInDocumentOrderWithPaths();
    void longPathsKeepTheirDeepestNames_data();
    void longPathsKeepTheirDeepestNames();
    void searchOverADeepChainStaysSmall();
};

namespace {

TFeuille sample()
{
    TFeuille e;
    e.Group = 42;
    e.RemapMark = 1;
    e.Name = QStringLiteral("Caf\u00e9 \u20ac");
    e.Login = QStringLiteral("jean");
    e.Password = QStringLiteral("s3cr\u00e8t");
    e.WebAddress = QStringLiteral("https://example.org");
    e.Notes = QStringLiteral("line 1\r\nline 2");
    e.Created = 45000.25;
    e.ModifiedAt = 45001.75;
    e.IsFtpEntry = true;
    return e;
}

QByteArray sampleBytes(qint32 version)
{
    return StreamBuilder()
        .i32(version)
        .text(QByteArray("Caf\xe9 \x80"))
        .text("jean")
        .text(QByteArray("s3cr\xe8t"))
        .text("https://example.org")
        .text("line 1\r\nline 2")
        .dbl(45000.25)
        .dbl(45001.75)
        .byte(1)
        .byte(0)
        .byte(0)
        .byte(0)
        .bytes();
}

} // namespace

void TestEntryClip::recordLayout()
{
    QCOMPARE(entryclip::encode(sample(), 7), sampleBytes(7));
    QCOMPARE(entryclip::encode(sample(), 0).left(4), QByteArray(4, '\0'));
    QCOMPARE(entryclip::mimeType(), QStringLiteral("application/x-tresorin-entry"));
}

void TestEntryClip::roundTripKeepsEveryField_data()
{
    QTest::addColumn<bool>("ftp");
    QTest::addColumn<QString>("password");
    QTest::newRow("ftp entry") << true << QStringLiteral("pw");
    QTest::newRow("empty password") << false << QString();
    // Characters the code page cannot hold come back as "?".
    QTest::newRow("beyond Windows-1252") << false << QStringLiteral("\u0141\u00f3d\u017a");
}

void TestEntryClip::roundTripKeepsEveryField()
{
    QFETCH(bool, ftp);
    QFETCH(QString, password);
    TFeuille e = sample();
    e.IsFtpEntry = ftp;
    e.Password = password;
    const std::unique_ptr<TFeuille> back = entryclip::decode(entryclip::encode(e, 5));
    QVERIFY(back);
    QCOMPARE(back->Group, 0u);
    QCOMPARE(back->RemapMark, -1);
    QCOMPARE(back->Name, e.Name);
    QCOMPARE(back->Login, e.Login);
    QCOMPARE(back->Password, win1252::toUnicode(win1252::fromUnicode(password)));
    QCOMPARE(back->WebAddress, e.WebAddress);
    QCOMPARE(back->Notes, e.Notes);
    QCOMPARE(back->Created, e.Created);
    QCOMPARE(back->ModifiedAt, e.ModifiedAt);
    QCOMPARE(back->IsFtpEntry, ftp);
}

void TestEntryClip::malformedRecordsAreRefused_data()
{
    QTest::addColumn<QByteArray>("record");
    const QByteArray whole = sampleBytes(7);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("version only") << whole.left(4);
    QTest::newRow("cut in the mark") << whole.left(whole.size() - 1);
    QTest::newRow("cut in the dates") << whole.left(whole.size() - 9);
    QTest::newRow("cut in the notes") << whole.left(whole.size() - 24);
    QTest::newRow("bytes after the mark") << whole + QByteArray("x");
    QTest::newRow("count past the end") << StreamBuilder().i32(7).u32(0xFFFFFFF0u).raw("abc").bytes();
    QTest::newRow("negative count") << StreamBuilder().i32(7).i32(-1).raw(QByteArray(60, 'a')).bytes();
    QTest::newRow("count one too many") << StreamBuilder().i32(7).u32(4).raw("abc").bytes();
}

void TestEntryClip::malformedRecordsAreRefused()
{
    QFETCH(QByteArray, record);
    // A buffer of exactly the record's size: a read past its end would be caught by the sanitizer.
    QByteArray exact(record.constData(), record.size());
    QVERIFY(!entryclip::decode(exact));
}

void TestEntryClip::filterFoldsOnlyAToZ()
{
    QCOMPARE(entrysearch::FilterText(QStringLiteral("BaNK \u00c9T\u00c9 Z@[")),
             QStringLiteral("bank \u00c9t\u00c9 z@["));
}

void TestEntryClip::matchesAnyField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("found");
    for (const char* field : {"Name", "Login", "Password", "WebAddress", "Notes"})
        QTest::addRow("%s", field) << QString::fromLatin1(field) << QStringLiteral("My BANK account") << "bank" << true;
    QTest::newRow("mixed case inside") << "Notes" << QStringLiteral("xxbAnKxx") << "BaNk" << true;
    QTest::newRow("other word") << "Name" << QStringLiteral("banquet") << "bank" << false;
    QTest::newRow("accented capital") << "Name" << QStringLiteral("\u00c9t\u00e9") << QStringLiteral("\u00e9t\u00e9")
                                      << false;
    // Starts of the text in both cases before the one that matches.
    QTest::newRow("false starts in both cases") << "Notes" << QStringLiteral("BbBaBAbaNbANk") << "bank" << true;
    QTest::newRow("only false starts") << "Notes" << QStringLiteral("BbBaBAbaNbANbanx") << "bank" << false;
    QTest::newRow("match at the very end") << "Login" << QStringLiteral("xxxBANK") << "bank" << true;
    QTest::newRow("cut at the end") << "Login" << QStringLiteral("xxxBAN") << "bank" << false;
    QTest::newRow("longer than the field") << "Login" << QStringLiteral("ban") << "bank" << false;
    QTest::newRow("whole field") << "Login" << QStringLiteral("BANK") << "bank" << true;
    QTest::newRow("starts with a sign") << "WebAddress" << QStringLiteral("a@@@bank@Bank") << "@bank" << true;
    QTest::newRow("sign has no capital") << "WebAddress" << QStringLiteral("a[bank") << "{bank" << false;
    QTest::newRow("accented start") << "Notes" << QStringLiteral("x\u00c9t\u00e9 \u00e9T\u00c9")
                                    << QStringLiteral("\u00e9t\u00c9") << true;
}

void TestEntryClip::matchesAnyField()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(bool, found);
    TFeuille e;
    QString* target = field == QLatin1String("Name")       ? &e.Name
                      : field == QLatin1String("Login")    ? &e.Login
                      : field == QLatin1String("Password") ? &e.Password
                      : field == QLatin1String("Notes")    ? &e.Notes
                                                           : &e.WebAddress;
    *target = text;
    QCOMPARE(entrysearch::Matches(e, entrysearch::FilterText(search)), found);
}

void TestEntryClip::searchInDocumentOrderWithPaths()
{
    DocumentState doc;
    TGroupe* a = doc.addGroup(QStringLiteral("A"));
    TGroupe* c = doc.addGroup(QStringLiteral("C"), doc.addGroup(QStringLiteral("B"), a));
    TGroupe* d = doc.addGroup(QStringLiteral("D"));
    const auto add = [&doc](TGroupe* g, const char* name, const char* login, const char* notes) {
        auto e = NewEntry(g, QLatin1String(name));
        e->Login = QLatin1String(login);
        e->Notes = QLatin1String(notes);
        doc.appendEntry(std::move(e));
    };
    add(d, "first", "key", "key");     // matches twice: one result
    add(c, "second", "Key", "");       // three levels deep
    add(nullptr, "orphan", "", "KEY"); // no group: found all the same
    add(a, "other", "", "");
    const entrysearch::Result r = entrysearch::Search(doc, QStringLiteral("key"));
    QCOMPARE(r.entries.size(), size_t(3));
    QCOMPARE(r.entries[0]->Name, QStringLiteral("first"));
    QCOMPARE(r.entries[1]->Name, QStringLiteral("second"));
    QCOMPARE(r.entries[2]->Name, QStringLiteral("orphan"));
    QCOMPARE(r.paths, (QStringList{"D", "A\\B\\C", ""}));
}

void TestEntryClip::longPathsKeepTheirDeepestNames_data()
{
    QTest::addColumn<QStringList>("names"); // from the top down
    QTest::addColumn<QString>("path");
    const qsizetype max = entrysearch::kMaxPathLength;
    const QString ellipsis(QChar(0x2026));
    const QString half = QString(max / 2 - 1, QLatin1Char('h')); // two of them and a backslash: max - 1
    QTest::newRow("at the bound") << QStringList{half, half + QLatin1Char('x')} << half + "\\" + half + "x";
    QTest::newRow("one over: the top name goes")
        << QStringList{QStringLiteral("top"), half, half + QStringLiteral("xy")} << ellipsis + "\\" + half + "xy";
    QTest::newRow("deep names kept, top ones dropped")
        << QStringList{QStringLiteral("top"), half, QStringLiteral("b"), half.left(half.size() - 3)}
        << ellipsis + "\\" + half + "\\b\\" + half.left(half.size() - 3);
    QTest::newRow("one name over the bound: its end")
        << QStringList{QStringLiteral("top"), QString(max, QLatin1Char('n')) + QStringLiteral("end")}
        << ellipsis + QString(max - 3, QLatin1Char('n')) + "end";
}

void TestEntryClip::longPathsKeepTheirDeepestNames()
{
    QFETCH(QStringList, names);
    QFETCH(QString, path);
    DocumentState doc;
    TGroupe* g = nullptr;
    for (const QString& name : std::as_const(names))
        g = doc.addGroup(name, g);
    const QString got = entrysearch::GroupPath(g);
    QCOMPARE(got, path);
    QVERIFY(got.size() <= entrysearch::kMaxPathLength + 2);
}

void TestEntryClip::searchOverADeepChainStaysSmall()
{
    // 5,000 groups nested, an entry in each: whole paths would take a quarter of a gigabyte.
    DocumentState doc;
    TGroupe* g = nullptr;
    for (int i = 1; i <= 5000; ++i) {
        g = doc.addGroup(QStringLiteral("group%1").arg(i), g);
        doc.appendEntry(NewEntry(g, QStringLiteral("e")));
    }
    const entrysearch::Result r = entrysearch::Search(doc, QStringLiteral("e"));
    QCOMPARE(r.paths.size(), 5000);
    QCOMPARE(r.paths.first(), QStringLiteral("group1"));
    QVERIFY(r.paths.last().endsWith(QStringLiteral("\\group4999\\group5000")));
    qsizetype total = 0;
    for (const QString& p : std::as_const(r.paths))
        total += p.size();
    QVERIFY2(total <= 5000 * (entrysearch::kMaxPathLength + 2), qPrintable(QString::number(total)));
}

QTEST_GUILESS_MAIN(TestEntryClip)
#include "tst_entryclip.moc"
