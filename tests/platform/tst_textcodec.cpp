#include "document/DateTime.h"
#include "platform/Win1252.h"

#include <QtTest>

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips();
    void typographicRange_data();
    void typographicRange();
    void unrepresentable_data();
    void unrepresentable();
    void appendToAndEncodedSize();
    void dateValues_data();
    void dateValues();
    void dateNowRoundTrips();
};

void TestTextCodec::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = win1252::toUnicode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(win1252::fromUnicode(text), all);
    for (int b = 0; b < 0x80; ++b)
        QCOMPARE(text.at(b).unicode(), char16_t(b));
    for (int b = 0xA0; b < 0x100; ++b)
        QCOMPARE(text.at(b).unicode(), char16_t(b));
}

void TestTextCodec::typographicRange_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("character");
    QTest::newRow("euro") << 0x80 << 0x20AC;
    QTest::newRow("low quote") << 0x82 << 0x201A;
    QTest::newRow("ellipsis") << 0x85 << 0x2026;
    QTest::newRow("S caron") << 0x8A << 0x0160;
    QTest::newRow("OE") << 0x8C << 0x0152;
    QTest::newRow("Z caron") << 0x8E << 0x017D;
    QTest::newRow("left single quote") << 0x91 << 0x2018;
    QTest::newRow("bullet") << 0x95 << 0x2022;
    QTest::newRow("em dash") << 0x97 << 0x2014;
    QTest::newRow("trade mark") << 0x99 << 0x2122;
    QTest::newRow("Y diaeresis") << 0x9F << 0x0178;
    // Bytes the code page leaves undefined keep their value both ways.
    QTest::newRow("undefined 81") << 0x81 << 0x81;
    QTest::newRow("undefined 8D") << 0x8D << 0x8D;
    QTest::newRow("undefined 8F") << 0x8F << 0x8F;
    QTest::newRow("undefined 90") << 0x90 << 0x90;
    QTest::newRow("undefined 9D") << 0x9D << 0x9D;
}

void TestTextCodec::typographicRange()
{
    QFETCH(int, byte);
    QFETCH(int, character);
    const QByteArray one(1, static_cast<char>(byte));
    QCOMPARE(win1252::toUnicode(one), QString(QChar(character)));
    QCOMPARE(win1252::fromUnicode(QString(QChar(character))), one);
}

void TestTextCodec::unrepresentable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("C1 control whose byte means the euro") << QString(QChar(0x80)) << QByteArray("?");
    QTest::newRow("C1 control of the bullet byte") << QString(QChar(0x95)) << QByteArray("?");
    QTest::newRow("greek") << QStringLiteral("\u03b1\u03b2") << QByteArray("??");
    QTest::newRow("A macron, no best fit") << QStringLiteral("\u0100") << QByteArray("?");
    QTest::newRow("supplementary plane") << QStringLiteral("x\U0001F511y") << QByteArray("x?y");
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) + QLatin1Char('a') << QByteArray("?a");
    QTest::newRow("lone low surrogate at the end") << QStringLiteral("a") + QChar(0xDC00) << QByteArray("a?");
    QTest::newRow("mixed") << QStringLiteral("caf\u00e9 \u20ac\u4e2d") << QByteArray("caf\xe9 \x80?");
}

void TestTextCodec::unrepresentable()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(win1252::fromUnicode(text), bytes);
    QCOMPARE(win1252::encodedSize(text), bytes.size());
}

void TestTextCodec::appendToAndEncodedSize()
{
    QByteArray out("head:");
    QCOMPARE(win1252::appendTo(out, QStringLiteral("\u0153\U0001F600")), qsizetype(2));
    QCOMPARE(out, QByteArray("head:\x9c?"));
    QCOMPARE(win1252::appendTo(out, QString()), qsizetype(0));
    QCOMPARE(win1252::toUnicode(nullptr, 0), QString());
}

void TestTextCodec::dateValues_data()
{
    QTest::addColumn<QDateTime>("local");
    QTest::addColumn<double>("value");
    QTest::newRow("noon of the epoch") << QDateTime(QDate(1899, 12, 30), QTime(12, 0)) << 0.5;
    QTest::newRow("1 January 1900") << QDateTime(QDate(1900, 1, 1), QTime(0, 0)) << 2.0;
    QTest::newRow("2000, 18:00") << QDateTime(QDate(2000, 1, 1), QTime(18, 0)) << 36526.75;
    QTest::newRow("before the epoch") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
}

void TestTextCodec::dateValues()
{
    QFETCH(QDateTime, local);
    QFETCH(double, value);
    QCOMPARE(datetime::fromQDateTime(local), value);
    QCOMPARE(datetime::toQDateTime(value), local);
}

void TestTextCodec::dateNowRoundTrips()
{
    const DateTime now = datetime::now();
    const QDateTime back = datetime::toQDateTime(now);
    QVERIFY(back.isValid());
    QVERIFY(qAbs(back.msecsTo(QDateTime::currentDateTime())) < 5000);
    QVERIFY(!datetime::toQDateTime(0).isValid());
    QVERIFY(!datetime::toQDateTime(1e300).isValid());
    QVERIFY(!datetime::toQDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
