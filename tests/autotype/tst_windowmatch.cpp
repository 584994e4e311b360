// Which entries belong to a window title: names, web address hosts and the notes' window patterns,
// with the search's letter-case rule, and the flag that keeps a '*' pattern from typing a password
// without the chooser.

#include "autotype/WindowMatch.h"
#include "document/DocumentModel.h"

#include <QtTest>

namespace {

struct EntrySpec
{
    QString name;
    QString web;
    QString notes;
};

// "name|web|notes" lines; notes take "\n" for their line breaks (stored as CR LF).
std::unique_ptr<DocumentState> documentOf(const QStringList& entries)
{
    auto doc = std::make_unique<DocumentState>();
    TGroupe* group = doc->addGroup(QStringLiteral("Web"));
    for (const QString& spec : entries) {
        const QStringList f = spec.split(QLatin1Char('|'));
        auto e = NewEntry(group, f.value(0));
        e->WebAddress = f.value(1);
        e->Notes = f.value(2).replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
        e->Password = QStringLiteral("secret");
        doc->appendEntry(std::move(e));
    }
    return doc;
}

// The matches as "name" or "name*" (matched only by a '*' pattern).
QStringList described(const std::vector<autotype::Match>& matches)
{
    QStringList out;
    for (const autotype::Match& m : matches)
        out << m.entry->Name + (m.onlyByWildcard ? QStringLiteral("*") : QString());
    return out;
}

} // namespace

class TestWindowMatch : public QObject
{
    Q_OBJECT
private slots:
    void matching_data();
    void matching();
    void longTitleIsCut();
    void wildcard_data();
    void wildcard();
    void hosts_data();
    void hosts();
    void notesLines();
    void chooserFilter_data();
    void chooserFilter();
};

void TestWindowMatch::matching_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("name in the title, letter case aside")
        << QStringList{"My Bank||", "Mail||"} << "Login - MY BANK online - Browser" << QStringList{"My Bank"};
    QTest::newRow("accented capitals are not folded")
        << QStringList{"Éditions||"} << "éditions - portail" << QStringList{};
    QTest::newRow("accents kept match") << QStringList{"Éditions||"} << "Éditions - portail" << QStringList{"Éditions"};
    QTest::newRow("host of the web address")
        << QStringList{"Savings|https://www.bank.example/login|"} << "bank.example - Sign in" << QStringList{"Savings"};
    QTest::newRow("host without scheme") << QStringList{"Savings|secure.bank.example/x|"}
                                         << "Welcome to SECURE.BANK.EXAMPLE" << QStringList{"Savings"};
    QTest::newRow("several matches in document order")
        << QStringList{"bank||", "Other||", "Bank business||"} << "Bank business - login"
        << QStringList{"bank", "Bank business"};
    QTest::newRow("short names never match") << QStringList{"ab||", "x||"} << "about:blank - tab" << QStringList{};
    QTest::newRow("empty name never matches") << QStringList{"||"} << "anything" << QStringList{};
    QTest::newRow("nothing matches") << QStringList{"Mail||"} << "Terminal" << QStringList{};
    QTest::newRow("empty title matches nothing, not even *")
        << QStringList{"Mail||Auto-Type-Window: *"} << "" << QStringList{};
    QTest::newRow("exact pattern over the whole title")
        << QStringList{"Router||Auto-Type-Window: Admin console"} << "ADMIN CONSOLE" << QStringList{"Router"};
    QTest::newRow("exact pattern must cover the whole title")
        << QStringList{"Router||Auto-Type-Window: Admin"} << "Admin console" << QStringList{};
    QTest::newRow("wildcard pattern is marked")
        << QStringList{"Router||Auto-Type-Window: *console*"} << "Admin Console - 192.0.2.1" << QStringList{"Router*"};
    QTest::newRow("name and pattern: not only by wildcard")
        << QStringList{"Router||Auto-Type-Window: *"} << "Router setup" << QStringList{"Router"};
    QTest::newRow("exact pattern beside a wildcard one")
        << QStringList{"Router||Auto-Type-Window: *\\nauto-type-window:  Setup page  "} << "setup page"
        << QStringList{"Router"};
    QTest::newRow("second pattern line matches")
        << QStringList{"Router||Auto-Type-Window: Foo\\nAuto-Type-Window: Bar*"} << "Bar - config"
        << QStringList{"Router*"};
    QTest::newRow("pattern key needs its colon")
        << QStringList{"Router||Auto-Type-Window *"} << "Bar - config" << QStringList{};
    QTest::newRow("lone star matches any window")
        << QStringList{"Anything||Auto-Type-Window: *"} << "Terminal" << QStringList{"Anything*"};
}

void TestWindowMatch::matching()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, title);
    QFETCH(QStringList, expected);
    const auto doc = documentOf(entries);
    QCOMPARE(described(autotype::matchWindow(*doc, title)), expected);
}

void TestWindowMatch::longTitleIsCut()
{
    // A name past the first kMaxTitleLength characters of the title is not seen.
    const auto doc = documentOf({"Needle||"});
    const QString padding(autotype::kMaxTitleLength - 3, QLatin1Char('x'));
    QCOMPARE(described(autotype::matchWindow(*doc, padding + QStringLiteral("Needle"))), QStringList{});
    QCOMPARE(described(autotype::matchWindow(*doc, padding.left(10) + QStringLiteral("Needle"))),
             QStringList{"Needle"});
    QCOMPARE(autotype::boundedTitle(padding + padding).size(), autotype::kMaxTitleLength);
}

void TestWindowMatch::wildcard_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");
    QTest::newRow("exact") << "abc"
                           << "abc" << true;
    QTest::newRow("prefix only") << "abc"
                                 << "abcd" << false;
    QTest::newRow("star alone") << "*"
                                << "" << true;
    QTest::newRow("star inside") << "a*c"
                                 << "abbbc" << true;
    QTest::newRow("star takes nothing") << "a*c"
                                        << "ac" << true;
    QTest::newRow("star at both ends") << "*b*"
                                       << "abc" << true;
    QTest::newRow("needs a later retry") << "*ab*ab"
                                         << "aabxab" << true;
    QTest::newRow("tail missing") << "*ab"
                                  << "abx" << false;
    QTest::newRow("question mark is literal") << "a?c"
                                              << "abc" << false;
    QTest::newRow("question mark matches itself") << "a?c"
                                                  << "a?c" << true;
    QTest::newRow("many stars, no match")
        << QString(200, QLatin1Char('*')) + "b" << QString(5000, QLatin1Char('a')) << false;
}

void TestWindowMatch::wildcard()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, matches);
    QCOMPARE(autotype::wildcardMatches(pattern, text), matches);
}

void TestWindowMatch::hosts_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("host");
    QTest::newRow("https") << "https://www.bank.example/login?x=1"
                           << "bank.example";
    QTest::newRow("no scheme") << "mail.example.org/inbox"
                               << "mail.example.org";
    QTest::newRow("spaces around") << "  http://Intranet.example:8080/ "
                                   << "intranet.example";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("a program path") << "/usr/bin/ssh host"
                                    << "";
}

void TestWindowMatch::hosts()
{
    QFETCH(QString, address);
    QFETCH(QString, host);
    QCOMPARE(autotype::hostOf(address), host);
}

void TestWindowMatch::notesLines()
{
    const QString notes = QStringLiteral("Auto-Type: {USERNAME}{ENTER}\r\n  auto-type:  second  \r\nAuto-Type:\r\n"
                                         "Auto-Type-Window: w");
    QCOMPARE(autotype::notesValues(notes, QStringLiteral("Auto-Type"), 5),
             (QStringList{"{USERNAME}{ENTER}", "second"}));
    QCOMPARE(autotype::notesValues(notes, QStringLiteral("Auto-Type"), 1), QStringList{"{USERNAME}{ENTER}"});
    QCOMPARE(autotype::notesValues(notes, QStringLiteral("Auto-Type-Window"), 5), QStringList{"w"});
    // At most kMaxPatterns patterns of one entry are read.
    QString many;
    for (int i = 0; i < autotype::kMaxPatterns + 5; ++i)
        many += QStringLiteral("Auto-Type-Window: p%1\r\n").arg(i);
    many += QStringLiteral("Auto-Type-Window: Target");
    const auto doc = documentOf({"Late||" + QString(many).replace(QStringLiteral("\r\n"), QStringLiteral("\\n"))});
    QCOMPARE(described(autotype::matchWindow(*doc, QStringLiteral("Target"))), QStringList{});
    QCOMPARE(described(autotype::matchWindow(*doc, QStringLiteral("p3"))), QStringList{"Late"});
}

void TestWindowMatch::chooserFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("shown");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("name, other case") << "BANK" << true;
    QTest::newRow("login") << "alice" << true;
    QTest::newRow("group path") << "perso" << true;
    QTest::newRow("elsewhere") << "mail" << false;
}

void TestWindowMatch::chooserFilter()
{
    QFETCH(QString, filter);
    QFETCH(bool, shown);
    QCOMPARE(autotype::candidateShown(QStringLiteral("My bank"), QStringLiteral("Alice"),
                                      QStringLiteral("Perso\\Money"), filter),
             shown);
}

QTEST_GUILESS_MAIN(TestWindowMatch)
#include "tst_windowmatch.moc"
