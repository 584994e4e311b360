// Pure rules behind the group tree and the entry list: web links, status-bar hints, sort codes,
// text comparison.

#include "app/core/EntryHint.h"
#include "app/core/EntrySort.h"
#include "app/core/WebLink.h"

#include <QtTest>

#include <climits>

namespace {

DateTime at(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0)
{
    return datetime::fromQDateTime(QDateTime(QDate(y, m, d), QTime(hh, mm, ss)));
}

} // namespace

class TestViewsCore : public QObject
{
    Q_OBJECT
private slots:
    void webLink_data();
    void webLink();
    void hintText_data();
    void hintText();
    void sortCodes_data();
    void sortCodes();
    void restoredSortCode_data();
    void restoredSortCode();
    void collation_data();
    void collation();
    void collatedOrder_data();
    void collatedOrder();
};

void TestViewsCore::webLink_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("link");
    QTest::newRow("http") << "http://example.com" << true;
    QTest::newRow("https lower") << "https://bank.example/login" << true;
    QTest::newRow("https mixed") << "HtTpS://bank.example" << true;
    QTest::newRow("ftp capitals") << "FTP://files.example" << true;
    QTest::newRow("ftp mixed") << "Ftp://files.example" << true;
    QTest::newRow("bare host") << "www.example.com" << false;
    QTest::newRow("host with path") << "example.com/http://x" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("prefix only partly") << "http:/example.com" << false;
    QTest::newRow("leading space") << " http://example.com" << false;
    QTest::newRow("mail") << "mailto:me@example.com" << false;
    QTest::newRow("program") << "\"C:\\Program Files\\app.exe\" -x" << false;
    // Only a to z count as letters of the prefix: the long s is not an s.
    QTest::newRow("long s") << QString::fromUtf8("http\u017F://example.com") << false;
    QTest::newRow("prefix exactly") << "FTP://" << true;
}

void TestViewsCore::webLink()
{
    QFETCH(QString, text);
    QFETCH(bool, link);
    QCOMPARE(IsWebLink(text), link);
}

void TestViewsCore::hintText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("created");
    QTest::addColumn<double>("modified");
    QTest::addColumn<QString>("expected");
    const QString hint = QStringLiteral("Double-clic pour éditer");
    QTest::newRow("no dates (version 3 entry)") << "fr_FR" << 0.0 << 0.0 << hint;
    QTest::newRow("both") << "fr_FR" << at(2024, 3, 7, 15, 4, 5) << at(2024, 3, 8, 9, 30, 0)
                          << QStringLiteral(
                                 "Elément créé le : 07/03/2024 15:04:05 Modifié le : 08/03/2024 09:30:00 (") +
                                 hint + ")";
    QTest::newRow("created only") << "fr_FR" << at(2024, 3, 7, 15, 4, 5) << 0.0
                                  << QStringLiteral("Elément créé le : 07/03/2024 15:04:05  (") + hint + ")";
    QTest::newRow("modified only, midnight")
        << "fr_FR" << 0.0 << at(2024, 12, 31) << QStringLiteral("Modifié le : 31/12/2024 (") + hint + ")";
    QTest::newRow("created at midnight") << "fr_FR" << at(2001, 1, 2) << 0.0
                                         << QStringLiteral("Elément créé le : 02/01/2001  (") + hint + ")";
    QTest::newRow("english locale, no zone name")
        << "en_US" << at(2024, 3, 7, 15, 4, 5) << 0.0
        << QStringLiteral("Elément créé le : 3/7/24 3:04:05\u202FPM  (") + hint + ")";
    QTest::newRow("unreadable date counts as none") << "fr_FR" << 1e300 << 0.0 << hint;
    // The identity given to an entry whose creation was never recorded is no date.
    QTest::newRow("identity of an undated entry") << "fr_FR" << 1.0 + 12345.0 / 68719476736.0 << 0.0 << hint;
    QTest::newRow("identity of an undated entry, modified")
        << "fr_FR" << 1.75 << at(2024, 12, 31) << QStringLiteral("Modifié le : 31/12/2024 (") + hint + ")";
}

void TestViewsCore::hintText()
{
    QFETCH(QString, locale);
    QFETCH(double, created);
    QFETCH(double, modified);
    QFETCH(QString, expected);
    QString text = EntryHintText(created, modified, QStringLiteral("Double-clic pour éditer"), QLocale(locale));
    // Locale data differ in the space before AM/PM (narrow no-break or plain): compare both as one.
    text.replace(QChar(0x202F), QChar(' '));
    expected.replace(QChar(0x202F), QChar(' '));
    QCOMPARE(text, expected);
}

void TestViewsCore::sortCodes_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("next");
    QTest::newRow("unsorted, click login") << 0 << 2 << 2;
    QTest::newRow("login again reverses") << 2 << 2 << -2;
    QTest::newRow("third time ascending again") << -2 << 2 << 2;
    QTest::newRow("descending login, click name") << -2 << 1 << 1;
    QTest::newRow("ascending name, click web") << 1 << 4 << 4;
    QTest::newRow("path column") << 5 << 5 << -5;
}

void TestViewsCore::sortCodes()
{
    QFETCH(int, current);
    QFETCH(int, column);
    QFETCH(int, next);
    QCOMPARE(NextSortCode(current, column), next);
}

void TestViewsCore::restoredSortCode_data()
{
    QTest::addColumn<int>("saved");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("restored");
    QTest::newRow("ascending login") << 2 << 4 << 2;
    QTest::newRow("descending web") << -4 << 4 << -4;
    QTest::newRow("none") << 0 << 4 << 0;
    QTest::newRow("path column without search") << 5 << 4 << 0;
    QTest::newRow("descending path without search") << -5 << 4 << 0;
    QTest::newRow("path column in search") << -5 << 5 << -5;
    QTest::newRow("nonsense") << 1000 << 4 << 0;
    QTest::newRow("most negative") << INT_MIN << 4 << 0;
}

void TestViewsCore::restoredSortCode()
{
    QFETCH(int, saved);
    QFETCH(int, columns);
    QFETCH(int, restored);
    QCOMPARE(RestoredSortCode(saved, columns), restored);
}

void TestViewsCore::collation_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    for (const char* name : {"fr_FR", "en_US"}) {
        const QString l = QString::fromLatin1(name);
        QTest::addRow("%s: e = E", name) << l << "e"
                                         << "E" << 0;
        QTest::addRow("%s: case only differs", name) << l << "Banque"
                                                     << "bANQUE" << 0;
        QTest::addRow("%s: e < é", name) << l << "e" << QStringLiteral("é") << -1;
        QTest::addRow("%s: é > E", name) << l << QStringLiteral("é") << "E" << 1;
        QTest::addRow("%s: é before f", name) << l << QStringLiteral("écureuil") << "fourmi" << -1;
        QTest::addRow("%s: letters not by code", name) << l << "apple"
                                                       << "Banana" << -1;
        QTest::addRow("%s: empty first", name) << l << ""
                                               << "a" << -1;
    }
}

void TestViewsCore::collation()
{
    QFETCH(QString, locale);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    const EntryTextCollator collator{QLocale(locale)};
    QCOMPARE(collator.compare(a, b), expected);
    QCOMPARE(collator.compare(b, a), -expected);
}

void TestViewsCore::collatedOrder_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("parts");
    QTest::addColumn<bool>("descending");
    for (const char* name : {"C", "fr_FR", "en_US"})
        for (int parts : {1, 2})
            for (bool descending : {false, true})
                QTest::addRow("%s, %d part(s), %s", name, parts, descending ? "descending" : "ascending")
                    << QString::fromLatin1(name) << parts << descending;
}

// The order must agree with the collator's own comparison, keep equal texts in their first order
// (in both directions) and be a permutation, whether one thread or two do the work.
void TestViewsCore::collatedOrder()
{
    QFETCH(QString, locale);
    QFETCH(int, parts);
    QFETCH(bool, descending);
    // Few letters, so that many texts are equal or differ only in case or accent.
    const QStringList alphabet = {"a", "A", "b", "B", "e", QStringLiteral("é"), QStringLiteral("É"), "-", "1", " "};
    QStringList texts;
    quint32 seed = 12345;
    for (int i = 0; i < 9001; ++i) {
        QString t;
        seed = seed * 1103515245u + 12345u;
        for (quint32 n = (seed >> 16) % 4; n > 0; --n) {
            seed = seed * 1103515245u + 12345u;
            t += alphabet[int((seed >> 16) % quint32(alphabet.size()))];
        }
        texts << t;
    }
    const QLocale loc(locale);
    const std::vector<int> order = CollatedOrder(
        int(texts.size()), [&texts](int i) -> const QString& { return texts[i]; }, loc, descending, parts);

    QCOMPARE(order.size(), size_t(texts.size()));
    std::vector<bool> seen(order.size());
    for (int i : order) {
        QVERIFY(i >= 0 && i < texts.size() && !seen[size_t(i)]);
        seen[size_t(i)] = true;
    }
    const EntryTextCollator collator(loc);
    for (size_t k = 1; k < order.size(); ++k) {
        const int a = order[k - 1], b = order[k];
        const int c = collator.compare(texts[a], texts[b]);
        if (c == 0)
            QVERIFY2(a < b, qPrintable(QString("equal texts out of their order at %1").arg(k)));
        else
            QVERIFY2(descending ? c > 0 : c < 0, qPrintable(QString("\"%1\" before \"%2\"").arg(texts[a], texts[b])));
    }
}

QTEST_GUILESS_MAIN(TestViewsCore)
#include "tst_views_core.moc"
