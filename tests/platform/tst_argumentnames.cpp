// Arguments that do not keep their bytes through Qt's text are told apart from those that do,
// and shown so that the user can tell which file is meant.
#include "platform/ArgumentNames.h"

#include <QtTest>

class TestArgumentNames : public QObject
{
    Q_OBJECT

private slots:
    void argumentCheck_data();
    void argumentCheck();
};

void TestArgumentNames::argumentCheck_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ASCII") << QByteArray("codes.pass") << true << QString();
    QTest::newRow("UTF-8") << QByteArray("r\xc3\xa9sum\xc3\xa9 \xe2\x82\xac.pass") << true << QString();
    QTest::newRow("Latin-1") << QByteArray("r\xe9sum\xe9.pass") << false << QStringLiteral("r\\xe9sum\\xe9.pass");
    QTest::newRow("cut sequence at the end") << QByteArray("a\xe2\x82") << false << QStringLiteral("a\\xe2\\x82");
    QTest::newRow("valid and invalid mixed")
        << QByteArray("\xc3\xa9\xff\x01") << false << QStringLiteral("\u00e9\\xff\\x01");
    QTest::newRow("surrogate encoded") << QByteArray("\xed\xa0\x80") << false << QStringLiteral("\\xed\\xa0\\x80");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false << QStringLiteral("\\xc0\\xaf");
}

void TestArgumentNames::argumentCheck()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, kept);
    QFETCH(QString, shown);
    QCOMPARE(platform::argumentKeepsItsBytes(raw.constData()), kept);
    const char* argv[] = {"program", "first", raw.constData(), nullptr};
    const platform::CheckedArguments checked = platform::checkArguments(3, argv);
    if (kept) {
        QCOMPARE(checked.kept, (QStringList{QStringLiteral("first"), QString::fromUtf8(raw)}));
        QVERIFY(checked.refused.isEmpty());
    } else {
        QCOMPARE(checked.kept, QStringList{QStringLiteral("first")});
        QCOMPARE(checked.refused, QStringList{shown});
    }
}

QTEST_GUILESS_MAIN(TestArgumentNames)
#include "tst_argumentnames.moc"
