#include "generator/PasswordGenerator.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QtTest>

using testsupport::TempFolder;

// Runs "tresorin-cli generate" with the settings file of a temporary folder.
class TestGenerateCli : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QStringList lines;
        QString errors;
    };

    Run generate(const QStringList& args, const QByteArray& ini = QByteArray())
    {
        TempFolder dir;
        if (!ini.isNull())
            dir.writeFile(QStringLiteral("Tresorin.ini"), ini);
        const testsupport::ProcessResult run =
            testsupport::ProcessRunner::cli()
                .setEnv(QStringLiteral("TRESORIN_INI"), dir.filePath(QStringLiteral("Tresorin.ini")))
                .run(QStringList{QStringLiteral("generate")} + args);
        Run r;
        r.exitCode = run.exitCode;
        r.lines = run.outText().split(u'\n', Qt::SkipEmptyParts);
        r.errors = run.errText();
        // The command reads the settings, it never writes them.
        if (ini.isNull() && dir.exists(QStringLiteral("Tresorin.ini")))
            r.exitCode = -2;
        return r;
    }

    // Checks "password<TAB>score" lines and returns the passwords.
    static QStringList passwords(const Run& r)
    {
        QStringList out;
        for (const QString& line : r.lines) {
            const QStringList parts = line.split(u'\t');
            if (parts.size() != 2)
                return {};
            if (parts[1] != QString::number(generator::PasswordScore(parts[0]), 'f', 2))
                return {};
            out << parts[0];
        }
        return out;
    }

private slots:
    void classOptions();
    void settingsGiveDefaults();
    void missingSettingsFile();
    void customCharacters();
    void badArguments_data();
    void badArguments();
};

void TestGenerateCli::classOptions()
{
    const Run r = generate({"--upper", "--digits", "--length", "20", "--count", "5"});
    QCOMPARE(r.exitCode, 0);
    const QStringList list = passwords(r);
    QCOMPARE(list.size(), 5);
    const QString pool = generator::capitalLetters() + generator::digits();
    for (const QString& p : list) {
        QCOMPARE(p.size(), 20);
        for (QChar c : p)
            QVERIFY2(pool.contains(c), qPrintable(p));
    }
    // The settings file's classes do not mix in once a class is named.
    const Run only = generate({"--accented", "--length=30", "--first-letter"}, "[Gener]\nMAJ=1\nOther=1\nChars=Z\n");
    QCOMPARE(only.exitCode, 0);
    const QStringList one = passwords(only);
    QCOMPARE(one.size(), 1);
    QCOMPARE(one[0].size(), 30);
    QVERIFY(one[0].front().unicode() < 128 && one[0].front().isLetter());
    for (QChar c : QStringView(one[0]).mid(1))
        QVERIFY2(generator::accentedLetters().contains(c), qPrintable(one[0]));
}

void TestGenerateCli::settingsGiveDefaults()
{
    const Run r = generate({"--count", "20"}, "[Gener]\nMAJ=0\nMIN=0\nNUM=1\nLen=6\nFirst=1\n");
    QCOMPARE(r.exitCode, 0);
    const QStringList list = passwords(r);
    QCOMPARE(list.size(), 20);
    for (const QString& p : list) {
        QCOMPARE(p.size(), 6);
        QVERIFY2(p.front().isLetter(), qPrintable(p));
        for (QChar c : QStringView(p).mid(1))
            QVERIFY2(c.isDigit(), qPrintable(p));
    }
    // --length overrides the stored length only.
    const Run longer = generate({"--length", "9"}, "[Gener]\nMAJ=0\nMIN=0\nNUM=1\nLen=6\n");
    QCOMPARE(passwords(longer).value(0).size(), 9);
    QVERIFY(passwords(longer).value(0).front().isDigit());
}

void TestGenerateCli::missingSettingsFile()
{
    const Run r = generate({});
    QCOMPARE(r.exitCode, 0);
    const QStringList list = passwords(r);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].size(), 10);
    const QString pool = generator::capitalLetters() + generator::smallLetters() + generator::digits();
    for (QChar c : list[0])
        QVERIFY(pool.contains(c));
}

void TestGenerateCli::customCharacters()
{
    const Run r = generate({"--custom", QString::fromUtf16(u"a\u00E9"), "--length", "255"});
    QCOMPARE(r.exitCode, 0);
    const QString p = passwords(r).value(0);
    QCOMPARE(p.size(), 255);
    QVERIFY(p.contains(u'a') && p.contains(QChar(0xE9)));
    QVERIFY(QString(p).remove(u'a').remove(QChar(0xE9)).isEmpty());
}

void TestGenerateCli::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("length 0") << QStringList{"--length", "0"} << QByteArray() << 1;
    QTest::newRow("length 256") << QStringList{"--length", "256"} << QByteArray() << 1;
    QTest::newRow("length missing") << QStringList{"--upper", "--length"} << QByteArray() << 1;
    QTest::newRow("count not a number") << QStringList{"--count", "x"} << QByteArray() << 1;
    QTest::newRow("unknown option") << QStringList{"--uppercase"} << QByteArray() << 1;
    QTest::newRow("empty custom only") << QStringList{"--custom", ""} << QByteArray() << 1;
    QTest::newRow("custom a document cannot store")
        << QStringList{"--custom", QString::fromUtf16(u"ab\u03A9")} << QByteArray() << 1;
    QTest::newRow("nothing allowed in settings") << QStringList{} << QByteArray("[Gener]\nMAJ=0\nMIN=0\nNUM=0\n") << 1;
}

void TestGenerateCli::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, ini);
    QFETCH(int, exitCode);
    const Run r = generate(args, ini);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY(r.lines.isEmpty());
    QVERIFY(!r.errors.isEmpty());
}

QTEST_GUILESS_MAIN(TestGenerateCli)
#include "tst_generatecli.moc"
