// One-time codes: RFC 4648 Base32, the published HOTP (RFC 4226) and TOTP (RFC 6238) vectors, and
// the otpauth line of an entry's notes with its defaults and its malformed forms.

#include "crypto/OneTimeCode.h"

#include <QtTest>

class TestOneTimeCode : public QObject
{
    Q_OBJECT
private slots:
    void base32_data();
    void base32();
    void hotpVectors();
    void totpVectors_data();
    void totpVectors();
    void uriParameters_data();
    void uriParameters();
    void lineInNotes();
};

void TestOneTimeCode::base32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << "" << true << QByteArray();
    QTest::newRow("f") << "MY======" << true << QByteArray("f");
    QTest::newRow("fo") << "MZXQ====" << true << QByteArray("fo");
    QTest::newRow("foo") << "MZXW6===" << true << QByteArray("foo");
    QTest::newRow("foob") << "MZXW6YQ=" << true << QByteArray("foob");
    QTest::newRow("fooba") << "MZXW6YTB" << true << QByteArray("fooba");
    QTest::newRow("foobar") << "MZXW6YTBOI======" << true << QByteArray("foobar");
    QTest::newRow("no padding") << "MZXW6YTBOI" << true << QByteArray("foobar");
    QTest::newRow("lower case") << "mzxw6ytboi" << true << QByteArray("foobar");
    QTest::newRow("spaces") << "MZXW 6YTB OI" << true << QByteArray("foobar");
    QTest::newRow("not in the alphabet") << "MZXW1YTB" << false << QByteArray();
    QTest::newRow("data after padding") << "MZ==XW" << false << QByteArray();
    QTest::newRow("bits left over") << "MZXW6YTBOJ" << false << QByteArray();
}

void TestOneTimeCode::base32()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> decoded = otp::DecodeBase32(text);
    QCOMPARE(decoded.has_value(), valid);
    if (valid)
        QCOMPARE(*decoded, bytes);
}

void TestOneTimeCode::hotpVectors()
{
    otp::Parameters p;
    p.secret = "12345678901234567890";
    const QStringList expected{"755224", "287082", "359152", "969429", "338314",
                               "254676", "287922", "162583", "399871", "520489"};
    for (int counter = 0; counter < expected.size(); ++counter)
        QCOMPARE(otp::Hotp(p, quint64(counter)), expected.at(counter));
}

void TestOneTimeCode::totpVectors_data()
{
    QTest::addColumn<qint64>("time");
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<QString>("code");
    const int sha1 = int(otp::Algorithm::Sha1), sha256 = int(otp::Algorithm::Sha256),
              sha512 = int(otp::Algorithm::Sha512);
    const struct
    {
        qint64 time;
        const char* codes[3];
    } table[] = {
        {59, {"94287082", "46119246", "90693936"}},         {1111111109, {"07081804", "68084774", "25091201"}},
        {1111111111, {"14050471", "67062674", "99943326"}}, {1234567890, {"89005924", "91819424", "93441116"}},
        {2000000000, {"69279037", "90698825", "38618901"}}, {20000000000, {"65353130", "77737706", "47863826"}},
    };
    for (const auto& row : table) {
        QTest::addRow("%lld SHA1", row.time) << row.time << sha1 << row.codes[0];
        QTest::addRow("%lld SHA256", row.time) << row.time << sha256 << row.codes[1];
        QTest::addRow("%lld SHA512", row.time) << row.time << sha512 << row.codes[2];
    }
}

void TestOneTimeCode::totpVectors()
{
    QFETCH(qint64, time);
    QFETCH(int, algorithm);
    QFETCH(QString, code);
    otp::Parameters p;
    p.digits = 8;
    p.algorithm = otp::Algorithm(algorithm);
    switch (p.algorithm) {
    case otp::Algorithm::Sha1:
        p.secret = "12345678901234567890";
        break;
    case otp::Algorithm::Sha256:
        p.secret = "12345678901234567890123456789012";
        break;
    case otp::Algorithm::Sha512:
        p.secret = "1234567890123456789012345678901234567890123456789012345678901234";
        break;
    }
    QCOMPARE(otp::Totp(p, time), code);
    QCOMPARE(otp::SecondsLeft(p, time), int(30 - time % 30));
}

void TestOneTimeCode::uriParameters_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("algorithm");
    const int sha1 = int(otp::Algorithm::Sha1);
    QTest::newRow("defaults") << "otpauth://totp/Bank:me?secret=GEZDGNBVGY3TQOJQ&issuer=Bank" << true << 6 << 30
                              << sha1;
    QTest::newRow("every parameter") << "otpauth://totp/x?secret=gezdgnbvgy3tqojq&digits=8&period=60&algorithm=sha256"
                                     << true << 8 << 60 << int(otp::Algorithm::Sha256);
    QTest::newRow("padded secret") << "otpauth://totp/x?secret=GEZDGNBVGY3TQOJQ%3D%3D" << true << 6 << 30 << sha1;
    QTest::newRow("no secret") << "otpauth://totp/x?issuer=Bank" << false << 0 << 0 << 0;
    QTest::newRow("secret not Base32") << "otpauth://totp/x?secret=ABC1" << false << 0 << 0 << 0;
    QTest::newRow("digits 5") << "otpauth://totp/x?secret=GEZDGNBV&digits=5" << false << 0 << 0 << 0;
    QTest::newRow("digits 9") << "otpauth://totp/x?secret=GEZDGNBV&digits=9" << false << 0 << 0 << 0;
    QTest::newRow("period 0") << "otpauth://totp/x?secret=GEZDGNBV&period=0" << false << 0 << 0 << 0;
    QTest::newRow("unknown algorithm") << "otpauth://totp/x?secret=GEZDGNBV&algorithm=MD5" << false << 0 << 0 << 0;
    QTest::newRow("counter-based") << "otpauth://hotp/x?secret=GEZDGNBV&counter=1" << false << 0 << 0 << 0;
    QTest::newRow("another scheme") << "https://totp/x?secret=GEZDGNBV" << false << 0 << 0 << 0;
}

void TestOneTimeCode::uriParameters()
{
    QFETCH(QString, uri);
    QFETCH(bool, valid);
    QFETCH(int, digits);
    QFETCH(int, period);
    QFETCH(int, algorithm);
    const std::optional<otp::Parameters> p = otp::ParseUri(uri);
    QCOMPARE(p.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(p->digits, digits);
    QCOMPARE(p->period, period);
    QCOMPARE(int(p->algorithm), algorithm);
    QCOMPARE(p->secret, QByteArray("1234567890"));
}

void TestOneTimeCode::lineInNotes()
{
    // The first valid line counts; a broken one before it is passed over; line ends of both kinds.
    const QString notes = QStringLiteral("PIN 1234\r\n  otpauth://totp/x?secret=!!!\r\n"
                                         "otpauth://totp/Bank?secret=GEZDGNBVGY3TQOJQ&digits=7 \r\nmore");
    const std::optional<otp::Parameters> p = otp::FindInNotes(notes);
    QVERIFY(p);
    QCOMPARE(p->digits, 7);
    QCOMPARE(otp::Totp(*p, 59).size(), 7);
    QVERIFY(!otp::FindInNotes(QStringLiteral("no code here\nhttps://example.org")));
    // As an import writes it, the value of a "Name: value" line; not in the middle of a sentence.
    const std::optional<otp::Parameters> named =
        otp::FindInNotes(QStringLiteral("TOTP: otpauth://totp/Bank?secret=GEZDGNBVGY3TQOJQ&digits=8"));
    QVERIFY(named);
    QCOMPARE(named->digits, 8);
    QVERIFY(!otp::FindInNotes(QStringLiteral("see otpauth://totp/Bank?secret=GEZDGNBVGY3TQOJQ")));
    QVERIFY(!otp::FindInNotes(QString()));
}

QTEST_GUILESS_MAIN(TestOneTimeCode)
#include "tst_onetimecode.moc"
