// The password health report: weak, reused, old, empty and breached passwords, and the lookup in a
// breach list of the published format by binary search over the file (a small generated one).

#include "crypto/Cipher.h"
#include "document/DateTime.h"
#include "generator/BreachList.h"
#include "generator/PasswordGenerator.h"
#include "generator/PasswordHealth.h"
#include "lang/LangTable.h"
#include "support/TempFolder.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

#include <sys/stat.h>

using testsupport::TempFolder;

namespace {

QByteArray hexOf(const QString& password)
{
    return sha1(password.toUtf8()).toHex().toUpper();
}

// A list of the published format: the given passwords with their counts among random hashes,
// ordered by hash, CR LF line ends as published.
QByteArray breachFile(const QList<QPair<QString, qint64>>& known, int others)
{
    QList<QByteArray> lines;
    for (const auto& [password, count] : known)
        lines << hexOf(password) + ':' + QByteArray::number(count);
    QRandomGenerator random(7);
    for (int i = 0; i < others; ++i) {
        QByteArray hash(20, Qt::Uninitialized);
        for (char& c : hash)
            c = char(random.bounded(256));
        lines << hash.toHex().toUpper() + ':' + QByteArray::number(random.bounded(1, 100000));
    }
    std::sort(lines.begin(), lines.end());
    return lines.join("\r\n") + "\r\n";
}

} // namespace

class TestPasswordHealth : public QObject
{
    Q_OBJECT
private slots:
    void breachLookup_data();
    void breachLookup();
    void findings();
    void strength_data();
    void strength();
    void strengthWords_data();
    void strengthWords();
    void generatorDefaultsAreNeverWeak();
    void brokenBreachListIsAnError();
    void listItCannotVouchFor_data();
    void listItCannotVouchFor();
    void megabytePasswordsAreQuick();
};

void TestPasswordHealth::breachLookup_data()
{
    QTest::addColumn<int>("others");
    QTest::newRow("one line") << 0;
    QTest::newRow("a few") << 5;
    QTest::newRow("thousands") << 3000;
}

void TestPasswordHealth::breachLookup()
{
    QFETCH(int, others);
    TempFolder dir;
    const QList<QPair<QString, qint64>> known{{QStringLiteral("password"), 9659365},
                                              {QStringLiteral("123456"), 37359195},
                                              {QStringLiteral("\u00e9t\u00e9"), 12}};
    QVERIFY(dir.writeFile(QStringLiteral("pwned.txt"), breachFile(others ? known : known.mid(0, 1), others)));
    BreachList list;
    QVERIFY(list.open(dir.filePath(QStringLiteral("pwned.txt"))));
    for (const auto& [password, count] : others ? known : known.mid(0, 1))
        QCOMPARE(list.count(password), std::optional<qint64>(count));
    QCOMPARE(list.count(QStringLiteral("not in the list, surely 7G#k")), std::optional<qint64>(0));
    // The first and last lines of the file, and hashes before and after every line.
    const QList<QByteArray> lines = dir.readFile(QStringLiteral("pwned.txt")).split('\n');
    QCOMPARE(list.countForHash(lines.first().left(40)),
             std::optional<qint64>(lines.first().mid(41).trimmed().toLongLong()));
    const QByteArray last = lines.at(lines.size() - 2);
    QCOMPARE(list.countForHash(last.left(40).toLower()), std::optional<qint64>(last.mid(41).trimmed().toLongLong()));
    QCOMPARE(list.countForHash(QByteArray(40, '0')), std::optional<qint64>(0));
    QCOMPARE(list.countForHash(QByteArray(40, 'F')), std::optional<qint64>(0));
}

void TestPasswordHealth::findings()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    DocumentState doc;
    TGroupe* bank = doc.addGroup(QStringLiteral("Bank"));
    TGroupe* cards = doc.addGroup(QStringLiteral("Cards"), bank);
    const auto add = [&](TGroupe* g, const char* name, const QString& password, DateTime modified) {
        auto e = NewEntry(g, QLatin1String(name));
        e->Password = password;
        e->ModifiedAt = modified;
        return doc.appendEntry(std::move(e));
    };
    const DateTime now = 46000;
    const QString strong = QStringLiteral("vQ7#kL9$zP2!xW4&mN8*");
    add(bank, "weak", QStringLiteral("abc"), now - 10);
    add(bank, "strong", strong, now - 10);
    add(cards, "shared", strong, now - 2841.5);
    add(cards, "empty", QString(), now - 1000);
    add(nullptr, "password", QStringLiteral("password"), 0);
    // Held for its notes alone (a card, a secure note): no password is missing there.
    add(cards, "Visa", QString(), now)->Notes = QStringLiteral("number: 4111 1111 1111 1111");
    // A login without its password is still empty.
    TFeuille* login = add(cards, "login only", QString(), now);
    login->Login = QStringLiteral("me");
    login->Notes = QStringLiteral("some notes");

    TempFolder dir;
    QVERIFY(
        dir.writeFile(QStringLiteral("pwned.txt"), breachFile({{QStringLiteral("password"), 17043}, {strong, 1}}, 50)));
    BreachList list;
    QVERIFY(list.open(dir.filePath(QStringLiteral("pwned.txt"))));
    health::Options options;
    options.now = now;
    options.breaches = &list;
    const std::optional<std::vector<health::Finding>> found = health::Analyze(doc, options);
    QVERIFY(found);
    QStringList lines;
    for (const health::Finding& f : *found) {
        lines << health::KindName(f.kind) + QLatin1Char('|') + f.path + QLatin1Char('|') + f.entry->Name +
                     QLatin1Char('|') + f.detail;
        QVERIFY(!f.detail.contains(strong));
    }
    QCOMPARE(lines, (QStringList{
                        "weak|Bank|weak|score 0 of 4, about 6 guesses",
                        "reused|Bank|strong|Bank/Cards/shared",
                        "breached|Bank|strong|seen once",
                        "reused|Bank/Cards|shared|Bank/strong",
                        "old|Bank/Cards|shared|2,841 days",
                        "breached|Bank/Cards|shared|seen once",
                        "empty|Bank/Cards|empty|",
                        "weak||password|score 0 of 4, about 1 guess",
                        "breached||password|seen 17,043 times",
                        "empty|Bank/Cards|login only|",
                    }));
    // What the words say, as a number to sort by.
    QCOMPARE(found->at(4).order, 2841.0);
    QCOMPARE(found->at(8).order, 17043.0);

    // In French, the same findings in French words and French digit grouping.
    QVERIFY(LoadLangTable(QStringLiteral("FR")));
    const auto french = health::Analyze(doc, options);
    QCOMPARE(french->at(0).detail, QStringLiteral("score 0 sur 4, environ 6 essais"));
    QCOMPARE(french->at(4).detail,
             QStringLiteral("2") + QLocale(QLocale::French).groupSeparator() + QStringLiteral("841 jours"));
    QCOMPARE(french->at(5).detail, QStringLiteral("vu une fois"));
    clearLangTable();

    // A threshold above every score calls each of the four passwords weak.
    options.weakBelow = 5;
    options.breaches = nullptr;
    options.olderThanDays = 100000;
    const auto strict = health::Analyze(doc, options);
    QCOMPARE(std::count_if(strict->begin(), strict->end(),
                           [](const health::Finding& f) { return f.kind == health::Kind::Weak; }),
             4);
}

void TestPasswordHealth::strength_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("score");
    // What people choose is found early, whatever its classes of characters.
    QTest::newRow("common") << "password" << 0;
    QTest::newRow("keyboard walk and digits") << "qwerty123" << 0;
    QTest::newRow("French keyboard") << "azerty" << 0;
    QTest::newRow("season and year") << "Summer2023!" << 1;
    QTest::newRow("leet common") << "P@ssw0rd" << 0;
    QTest::newRow("a date") << "14/07/1989" << 1;
    QTest::newRow("repeats") << "abcabcabcabc" << 0;
    // Long or random ones are not.
    QTest::newRow("four words") << "correcthorsebatterystaple" << 4;
    QTest::newRow("random, twenty") << "vQ7#kL9$zP2!xW4&mN8*" << 4;
    QTest::newRow("accented random") << "\u00e9Tz9\u00e7Lq2\u00e0Wm" << 4;
}

void TestPasswordHealth::strength()
{
    QFETCH(QString, password);
    QFETCH(int, score);
    const health::Strength s = health::EstimateStrength(password);
    QVERIFY2(s.score == score,
             qPrintable(QStringLiteral("%1: score %2, 10^%3 guesses").arg(password).arg(s.score).arg(s.log10Guesses)));
}

void TestPasswordHealth::strengthWords_data()
{
    QTest::addColumn<double>("log10Guesses");
    QTest::addColumn<int>("score");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << 0.0 << 0 << "score 0 of 4, about 1 guess";
    QTest::newRow("two digits kept") << std::log10(97.0) << 0 << "score 0 of 4, about 97 guesses";
    QTest::newRow("two significant digits") << std::log10(64127.0) << 1 << "score 1 of 4, about 64,000 guesses";
    QTest::newRow("rounded up") << std::log10(999999.0) << 1 << "score 1 of 4, about 1,000,000 guesses";
    QTest::newRow("a power beyond a million") << 15.7 << 4 << "score 4 of 4, about 10^15 guesses";
}

void TestPasswordHealth::strengthWords()
{
    QFETCH(double, log10Guesses);
    QFETCH(int, score);
    QFETCH(QString, text);
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    QCOMPARE(health::StrengthText(health::Strength{log10Guesses, score}), text);
    clearLangTable();
}

// The generator's default settings (capitals, small letters and digits, 10 characters, no forced
// letter) never make a password the report calls weak. The estimate finds a chance pattern of short
// words in about one password in two million; 100,000 drawn by the program's own generator from a
// fixed seed, the same every run, keep the rule checked without luck.
void TestPasswordHealth::generatorDefaultsAreNeverWeak()
{
    const generator::PoolOptions defaults;
    const QString pool = generator::CharPool(defaults);
    QCOMPARE(pool.size(), 62);
    generator::rng::setSeed(20240601);
    DocumentState doc;
    TGroupe* g = doc.addGroup(QStringLiteral("Generated"));
    double weakest = 100;
    for (int i = 0; i < 100000; ++i) {
        const QString password = generator::GeneratePassword(pool, 10, false);
        weakest = std::min(weakest, health::EstimateStrength(password).log10Guesses);
        if (i < 2000) {
            auto e = NewEntry(g, QStringLiteral("e%1").arg(i));
            e->Password = password;
            e->ModifiedAt = datetime::now();
            doc.appendEntry(std::move(e));
        }
    }
    // Well above the weak band (below 10^6 guesses) for every one of them.
    QVERIFY2(weakest >= 6, qPrintable(QString::number(weakest)));
    // And through the report itself.
    const auto found = health::Analyze(doc, health::Options{});
    QVERIFY(found);
    QCOMPARE(std::count_if(found->begin(), found->end(),
                           [](const health::Finding& f) { return f.kind == health::Kind::Weak; }),
             0);
}

void TestPasswordHealth::brokenBreachListIsAnError()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("bad.txt"), QByteArray(5000, 'x')));
    BreachList list;
    QVERIFY(list.open(dir.filePath(QStringLiteral("bad.txt"))));
    QVERIFY(!list.count(QStringLiteral("password")));
    DocumentState doc;
    auto e = NewEntry(nullptr, QStringLiteral("e"));
    e->Password = QStringLiteral("pw");
    doc.appendEntry(std::move(e));
    health::Options options;
    options.breaches = &list;
    QVERIFY(!health::Analyze(doc, options));
    QVERIFY(!list.open(dir.filePath(QStringLiteral("missing.txt"))));
    QVERIFY(!list.error().isEmpty());
}

void TestPasswordHealth::listItCannotVouchFor_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("fault");
    QTest::newRow("a pipe") << "pipe" << int(BreachList::Fault::NotAFile);
    QTest::newRow("an endless device") << "/dev/zero" << int(BreachList::Fault::NotAFile);
    QTest::newRow("random bytes without end") << "/dev/urandom" << int(BreachList::Fault::NotAFile);
    QTest::newRow("a folder") << "folder" << int(BreachList::Fault::NotAFile);
    QTest::newRow("lines in reverse order") << "reversed" << int(BreachList::Fault::NotInOrder);
    QTest::newRow("lines shuffled") << "shuffled" << int(BreachList::Fault::NotInOrder);
    QTest::newRow("two lines swapped") << "swapped" << int(BreachList::Fault::NotInOrder);
    QTest::newRow("a hash that is no hex") << "not hex" << int(BreachList::Fault::NotThisFormat);
}

// What cannot answer for a password is refused, never taken for "not breached": a file that is no
// regular file (opened without waiting, so that a pipe never holds the search), lines out of order
// met on the way, lines of another format.
void TestPasswordHealth::listItCannotVouchFor()
{
    QFETCH(QString, kind);
    QFETCH(int, fault);
    TempFolder dir;
    const QStringList passwords{"password", "123456", "letmein", "qwerty", "dragon"};
    QList<QPair<QString, qint64>> known;
    for (const QString& p : passwords)
        known << qMakePair(p, qint64(5));
    QList<QByteArray> lines = breachFile(known, 200).split('\n');
    lines.removeLast(); // after the last line end
    QString path = dir.filePath(QStringLiteral("list.txt"));
    if (kind == QLatin1String("pipe")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind.startsWith(QLatin1Char('/'))) {
        path = kind;
    } else if (kind == QLatin1String("folder")) {
        path = dir.makeFolder(QStringLiteral("folder"));
    } else {
        if (kind == QLatin1String("reversed")) {
            std::reverse(lines.begin(), lines.end());
        } else if (kind == QLatin1String("shuffled")) {
            QRandomGenerator random(11);
            std::shuffle(lines.begin(), lines.end(), random);
        } else if (kind == QLatin1String("swapped")) {
            // The lines of one of the passwords and of the line before it.
            const auto found = std::find_if(lines.begin(), lines.end(), [](const QByteArray& l) {
                return l.startsWith(hexOf(QStringLiteral("dragon")));
            });
            const qsizetype at = found - lines.begin();
            QVERIFY(at > 0 && at < lines.size());
            lines.swapItemsAt(at, at - 1);
        } else {
            lines[100] = "G" + lines[100].mid(1);
        }
        QVERIFY(dir.writeFile(QStringLiteral("list.txt"), lines.join('\n') + '\n'));
    }

    QElapsedTimer timer;
    timer.start();
    BreachList list;
    if (fault == int(BreachList::Fault::NotAFile)) {
        QVERIFY(!list.open(path));
    } else {
        QVERIFY(list.open(path));
        // Every password looked up, as a report does: the first that meets the fault stops it.
        bool failed = false;
        for (const QString& p : passwords) {
            const std::optional<qint64> seen = list.count(p);
            if (!seen) {
                failed = true;
                break;
            }
            QCOMPARE(*seen, qint64(5));
        }
        QVERIFY(failed);
    }
    QCOMPARE(int(list.fault()), fault);
    QVERIFY(!list.error().isEmpty());
    QVERIFY(timer.elapsed() < 5000);

    // The search the window runs away from its thread says the same.
    QList<QByteArray> hashes;
    for (const QString& p : passwords)
        hashes << hexOf(p);
    const health::BreachCounts counts = health::LookUpBreaches(path, hashes);
    QCOMPARE(counts.fault, fault);
    QVERIFY(counts.counts.isEmpty());
}

// A document is anybody's file: passwords of megabytes are scored in linear time (a search of the
// text before each character took minutes for one of them).
void TestPasswordHealth::megabytePasswordsAreQuick()
{
    DocumentState doc;
    // Each "y" after the first has its first match a megabyte back.
    const QString huge = QString(1024 * 1024, QLatin1Char('x')) + QString(1024 * 1024, QLatin1Char('y'));
    for (const char* name : {"a", "b"}) {
        auto e = NewEntry(nullptr, QLatin1String(name));
        e->Password = huge;
        doc.appendEntry(std::move(e));
    }
    QElapsedTimer clock;
    clock.start();
    const auto found = health::Analyze(doc, health::Options{});
    QVERIFY(found);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    // Each is weak and reused.
    QCOMPARE(found->size(), size_t(4));
    QCOMPARE(int(found->at(0).kind), int(health::Kind::Weak));
    QCOMPARE(int(found->at(1).kind), int(health::Kind::Reused));
}

QTEST_GUILESS_MAIN(TestPasswordHealth)
#include "tst_passwordhealth.moc"
