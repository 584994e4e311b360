#include "generator/PasswordGenerator.h"
#include "platform/Win1252.h"

#include <QtTest>

#include <cmath>

using namespace generator;

class TestPasswordGenerator : public QObject
{
    Q_OBJECT

private slots:
    void fixedClasses();
    void classesAreStorableInDocuments();
    void poolOrderAndRepeats();
    void customCharactersMustBeStorable_data();
    void customCharactersMustBeStorable();
    void drawSequence();
    void passwordFollowsTheDraws_data();
    void passwordFollowsTheDraws();
    void drawsOnlyFromPool_data();
    void drawsOnlyFromPool();
    void customPairIsFair();
    void specialCharacterFrequencies();
    void firstLetterRule();
    void lengthOneWithFirstLetter();
    void emptyPool();
    void charactersOutsideBasicPlane();
    void scores_data();
    void scores();
    void barValue_data();
    void barValue();
    void hint();
};

void TestPasswordGenerator::fixedClasses()
{
    // The order matters: a draw picks a character by its index in the pool.
    QCOMPARE(capitalLetters(), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    QCOMPARE(smallLetters(), QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
    QCOMPARE(digits(), QStringLiteral("0123456789"));
    const char16_t specials[] = {u'&', u'"', u'\'', u'(', u')', u'{', u'}', 0xB2, u'+', u'/', u'*',
                                 u'.', u' ', u'-',  u'_', u'@', u'#', u'$', 0xA3, u'*', 0xB5};
    QCOMPARE(specialCharacters(), QString::fromUtf16(specials, 21));
    const char16_t accented[] = {0xE0, 0xE9, 0xE8, 0xEE, 0xEF, 0xF4, 0xF6, 0xFB,
                                 0xFC, 0xEB, 0xEA, 0xE4, 0xE2, 0xFF, 0xE7};
    QCOMPARE(accentedLetters(), QString::fromUtf16(accented, 15));
    const QString special = specialCharacters();
    QCOMPARE(special.size(), 21);
    QCOMPARE(special.count(u'*'), 2);
    QCOMPARE(special.indexOf(u' '), special.indexOf(u'.') + 1);
    QCOMPARE(special.indexOf(u'-'), special.indexOf(u' ') + 1);
    for (char16_t c : {u'&', u'"', u'\'', u'(', u')', u'{', u'}', u'\u00B2', u'+', u'/', u'_', u'@', u'#', u'$',
                       u'\u00A3', u'\u00B5'})
        QVERIFY2(special.count(c) == 1, qPrintable(QString(c)));
}

void TestPasswordGenerator::classesAreStorableInDocuments()
{
    const QString all = capitalLetters() + smallLetters() + accentedLetters() + specialCharacters() + digits();
    const QByteArray stored = win1252::fromUnicode(all);
    QCOMPARE(stored.size(), all.size());
    QCOMPARE(win1252::toUnicode(stored), all);
}

void TestPasswordGenerator::poolOrderAndRepeats()
{
    PoolOptions o;
    o.capitals = false;
    o.small = true;
    o.accented = false;
    o.special = true;
    o.digits = true;
    o.custom = true;
    o.customChars = QStringLiteral("a1");
    QCOMPARE(PreviewLines(o), (QStringList{smallLetters(), specialCharacters(), digits()}));
    QCOMPARE(CharPool(o), smallLetters() + specialCharacters() + digits() + QStringLiteral("a1"));
    o.custom = false; // the custom text is left out when its box is not checked
    QCOMPARE(CharPool(o), smallLetters() + specialCharacters() + digits());
    const PoolOptions none{false, false, false, false, false, false, QStringLiteral("xyz")};
    QVERIFY(CharPool(none).isEmpty());
    QVERIFY(PreviewLines(none).isEmpty());
}

void TestPasswordGenerator::customCharactersMustBeStorable_data()
{
    QTest::addColumn<QString>("custom");
    QTest::addColumn<QString>("kept");
    QTest::newRow("plain") << "ab1"
                           << "ab1";
    QTest::newRow("repeats stay") << "aab"
                                  << "aab";
    QTest::newRow("code page letters") << QString::fromUtf16(u"\u00E9\u20AC\u0153\u00FF")
                                       << QString::fromUtf16(u"\u00E9\u20AC\u0153\u00FF");
    QTest::newRow("Greek dropped") << QString::fromUtf16(u"a\u03A9b") << "ab";
    QTest::newRow("outside the basic plane dropped") << QString::fromUtf16(u"x\U0001F511y") << "xy";
    QTest::newRow("lone surrogate dropped") << QString(QChar(0xD800)) + "z"
                                            << "z";
    QTest::newRow("question mark kept") << "?"
                                        << "?";
    QTest::newRow("nothing storable") << QString::fromUtf16(u"\u4E2D\u6587") << "";
}

void TestPasswordGenerator::customCharactersMustBeStorable()
{
    QFETCH(QString, custom);
    QFETCH(QString, kept);
    QCOMPARE(StorableCharacters(custom), kept);
    const PoolOptions o{false, true, false, false, false, true, custom};
    QCOMPARE(CharPool(o), smallLetters() + kept);
    // Every password drawn from the pool survives a save as it was shown.
    rng::setSeed(11);
    const QString p = GeneratePassword(CharPool(o), 200, false);
    QCOMPARE(win1252::toUnicode(win1252::fromUnicode(p)), p);
}

void TestPasswordGenerator::drawSequence()
{
    // state * 134775813 + 1, then the high half of state * n.
    rng::setSeed(0);
    QCOMPARE(rng::draw(1000), 0u);
    QCOMPARE(rng::state(), 1u);
    QCOMPARE(rng::draw(1000), 31u);
    QCOMPARE(rng::state(), 134775814u);
    QCOMPARE(rng::draw(1000), 861u);
    QCOMPARE(rng::state(), 3698175007u);
    QCOMPARE(rng::draw(52), 10u);
    QCOMPARE(rng::draw(4294967295u), 1172187916u);
    rng::setSeed(12345);
    QCOMPARE(rng::draw(21), 8u);
    QCOMPARE(rng::state(), 1655067934u);
    QCOMPARE(rng::draw(1), 0u);
}

void TestPasswordGenerator::passwordFollowsTheDraws_data()
{
    QTest::addColumn<QString>("pool");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("firstLetter");
    QTest::newRow("digits") << digits() << 16 << false;
    QTest::newRow("special, first letter") << specialCharacters() << 16 << true;
    QTest::newRow("single character, first letter") << QStringLiteral("#") << 1 << true;
}

void TestPasswordGenerator::passwordFollowsTheDraws()
{
    // Each character is the program generator's next draw: a letter of A-Z then a-z for the first
    // one when asked, else the pool's character at the drawn index.
    QFETCH(QString, pool);
    QFETCH(int, length);
    QFETCH(bool, firstLetter);
    const QString letters = capitalLetters() + smallLetters();
    rng::setSeed(0xC0FFEE);
    QString expected;
    for (int i = 0; i < length; ++i)
        expected += i == 0 && firstLetter ? letters[rng::draw(52)] : pool[rng::draw(pool.size())];
    const std::uint32_t after = rng::state();
    rng::setSeed(0xC0FFEE);
    QCOMPARE(GeneratePassword(pool, length, firstLetter), expected);
    QCOMPARE(rng::state(), after);
}

void TestPasswordGenerator::drawsOnlyFromPool_data()
{
    QTest::addColumn<QString>("pool");
    QTest::addColumn<int>("length");
    QTest::newRow("capitals and digits") << capitalLetters() + digits() << 255;
    QTest::newRow("accented") << accentedLetters() << 100;
    QTest::newRow("special") << specialCharacters() << 100;
    QTest::newRow("one character") << QStringLiteral("Z") << 20;
    QTest::newRow("everything") << capitalLetters() + smallLetters() + accentedLetters() + specialCharacters() +
                                       digits()
                                << 64;
}

void TestPasswordGenerator::drawsOnlyFromPool()
{
    QFETCH(QString, pool);
    QFETCH(int, length);
    rng::setSeed(20240307);
    QSet<QChar> seen;
    for (int round = 0; round < 200; ++round) {
        const QString p = GeneratePassword(pool, length, false);
        QCOMPARE(p.size(), length);
        for (QChar c : p) {
            QVERIFY2(pool.contains(c), qPrintable(QString(c)));
            seen.insert(c);
        }
    }
    // Every character of the pool comes up.
    QCOMPARE(seen.size(), QSet<QChar>(pool.begin(), pool.end()).size());
}

void TestPasswordGenerator::customPairIsFair()
{
    rng::setSeed(7);
    PoolOptions o{false, false, false, false, false, true, QStringLiteral("ab")};
    int a = 0;
    const int draws = 200 * 255;
    for (int round = 0; round < 200; ++round) {
        const QString p = GeneratePassword(CharPool(o), 255, false);
        QVERIFY(QString(p).remove(u'a').remove(u'b').isEmpty());
        a += static_cast<int>(p.count(u'a'));
    }
    QVERIFY2(std::abs(double(a) / draws - 0.5) < 0.01, qPrintable(QString::number(double(a) / draws)));
}

void TestPasswordGenerator::specialCharacterFrequencies()
{
    rng::setSeed(99);
    PoolOptions o{false, false, false, true, false, false, QString()};
    const QString pool = CharPool(o);
    QHash<QChar, int> counts;
    const int rounds = 1000;
    const int length = 210;
    for (int round = 0; round < rounds; ++round)
        for (QChar c : GeneratePassword(pool, length, false))
            ++counts[c];
    const double total = double(rounds) * length;
    QCOMPARE(counts.size(), 20); // 21 characters, "*" twice
    QVERIFY(counts.value(u' ') > 0);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double expected = it.key() == u'*' ? 2.0 / 21 : 1.0 / 21;
        const double share = it.value() / total;
        QVERIFY2(std::abs(share - expected) < 0.004,
                 qPrintable(QStringLiteral("%1: %2 instead of %3").arg(it.key()).arg(share).arg(expected)));
    }
}

void TestPasswordGenerator::firstLetterRule()
{
    rng::setSeed(4242);
    QSet<QChar> firsts;
    for (int round = 0; round < 2000; ++round) {
        const QString p = GeneratePassword(digits(), 12, true);
        QCOMPARE(p.size(), 12);
        const QChar first = p.front();
        QVERIFY2((first >= u'A' && first <= u'Z') || (first >= u'a' && first <= u'z'), qPrintable(p));
        firsts.insert(first);
        for (QChar c : QStringView(p).mid(1))
            QVERIFY2(c.isDigit(), qPrintable(p));
    }
    // All 52 letters come up as first characters, whatever the pool holds.
    QCOMPARE(firsts.size(), 52);

    // Without the rule a digit pool gives digits everywhere.
    for (int round = 0; round < 50; ++round)
        QVERIFY(GeneratePassword(digits(), 12, false).front().isDigit());
}

void TestPasswordGenerator::lengthOneWithFirstLetter()
{
    rng::setSeed(1);
    for (int round = 0; round < 100; ++round) {
        const QString p = GeneratePassword(specialCharacters(), 1, true);
        QCOMPARE(p.size(), 1);
        QVERIFY2(p.front().isLetter() && p.front().unicode() < 128, qPrintable(p));
    }
}

void TestPasswordGenerator::emptyPool()
{
    rng::setSeed(5);
    QVERIFY(GeneratePassword(QString(), 10, false).isEmpty());
    QVERIFY(GeneratePassword(QString(), 10, true).isEmpty());
    QCOMPARE(rng::state(), 5u); // nothing drawn
}

void TestPasswordGenerator::charactersOutsideBasicPlane()
{
    // A custom character made of a surrogate pair is drawn whole.
    rng::setSeed(3);
    const QString pool = QString::fromUtf16(u"x\U0001F511");
    for (int round = 0; round < 50; ++round) {
        const QString p = GeneratePassword(pool, 8, false);
        QCOMPARE(p.toUcs4().size(), 8);
        for (uint c : p.toUcs4())
            QVERIFY(c == u'x' || c == 0x1F511);
    }
}

void TestPasswordGenerator::scores_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<double>("score");
    QTest::newRow("abc") << "abc" << -44.25;
    // A capital, five small letters, two digits at the end, all different.
    QTest::newRow("eight characters") << "Kqwert47" << 39.5;
    // Ten equal small letters: R = 10.
    QTest::newRow("ten equal small letters") << "ssssssssss" << (29.9 - 40) / 9 - 10;
    // Three capitals, three small letters, two digits and two specials, all different, the digits
    // and specials between positions 2 and 8.
    QTest::newRow("ten characters") << "P3x&Ru9#mZ" << 104.9;
    // Accented letters count as small letters.
    QTest::newRow("accented as small") << QString::fromUtf16(u"\u00E9\u00E8\u00E0") << -44.25;
    QTest::newRow("empty") << "" << -100.0;
}

void TestPasswordGenerator::scores()
{
    QFETCH(QString, password);
    QFETCH(double, score);
    QCOMPARE(PasswordScore(password), score);
}

void TestPasswordGenerator::barValue_data()
{
    QTest::addColumn<double>("score");
    QTest::addColumn<int>("bar");
    QTest::newRow("39.5 to even 40") << 39.5 << 40;
    QTest::newRow("40.5 to even 40") << 40.5 << 40;
    QTest::newRow("41.5 to even 42") << 41.5 << 42;
    QTest::newRow("0.5 to even 0") << 0.5 << 0;
    QTest::newRow("below zero") << -44.25 << 0;
    QTest::newRow("above 100") << 104.9 << 100;
    QTest::newRow("99.6") << 99.6 << 100;
    QTest::newRow("plain") << 63.2 << 63;
}

void TestPasswordGenerator::barValue()
{
    QFETCH(double, score);
    QFETCH(int, bar);
    QCOMPARE(ScoreBarValue(score), bar);
}

void TestPasswordGenerator::hint()
{
    QCOMPARE(ScoreHint(39.5, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("Score : 39.50"));
    QCOMPARE(ScoreHint(-11.1222, QLocale(QLocale::French, QLocale::France)), QStringLiteral("Score : -11,12"));
    QCOMPARE(ScoreHint(1234.5, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("Score : 1,234.50"));
}

QTEST_GUILESS_MAIN(TestPasswordGenerator)
#include "tst_passwordgenerator.moc"
