#include "crypto/Cipher.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QtTest>

#include <stdexcept>

namespace {

QByteArray sample(qsizetype length, char seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    quint32 x = 0x9E3779B9u ^ quint8(seed);
    for (qsizetype i = 0; i < length; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

const uchar* u(const QByteArray& bytes)
{
    return reinterpret_cast<const uchar*>(bytes.constData());
}

uchar* u(QByteArray& bytes)
{
    return reinterpret_cast<uchar*>(bytes.data());
}

} // namespace

class tst_Cipher : public QObject
{
    Q_OBJECT

private slots:
    void blowfishVectors_data();
    void blowfishVectors();
    void blowfishRefusesEmptyKey();
    void sha1Vectors_data();
    void sha1Vectors();
    void keySetup();
    void chainingCarriesFeedback_data();
    void chainingCarriesFeedback();
    void roundTrip_data();
    void roundTrip();
    void parallelDecipherMatchesOnePass_data();
    void parallelDecipherMatchesOnePass();
    void decipherInPlace();
    void checkValueDependsOnPasswordOnly();
    void wrongPassword();
    void passwordsOutsideCodePage();
    void emptyPassword();
    void damage_data();
    void damage();
    void shortSource();
    void withoutCheckValue();
    void keyRequired();
    void sharedStreamsStayIntact();
    void secureBytes();
    void knownAnswers();
};

void tst_Cipher::blowfishVectors_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    // Published ECB vectors with 8-byte keys...
    const char* ecb[][3] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
        {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
        {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
        {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
        {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
        {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
        {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
        {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    };
    for (const auto& v : ecb)
        QTest::addRow("ecb %s/%s", v[0], v[1])
            << QByteArray::fromHex(v[0]) << QByteArray::fromHex(v[1]) << QByteArray::fromHex(v[2]);

    // ...and the published variable-length key set: prefixes of one key, 20 bytes included.
    const QByteArray longKey = QByteArray::fromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const QByteArray plain = QByteArray::fromHex("FEDCBA9876543210");
    const struct
    {
        int length;
        const char* cipher;
    } variable[] = {{1, "F9AD597C49DB005E"},  {2, "E91D21C1D961A6D6"},  {7, "8BB77032F960629D"},
                    {9, "15750E7A4F4EC577"},  {16, "93142887EE3BE15C"}, {19, "AFD5AED1C1BC96A8"},
                    {20, "10851C0E3858DA9F"}, {21, "E6F51ED79B9DB21F"}, {24, "05044B62FA52D080"}};
    for (const auto& v : variable)
        QTest::addRow("key length %d", v.length) << longKey.left(v.length) << plain << QByteArray::fromHex(v.cipher);
}

void tst_Cipher::blowfishVectors()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);

    TBlowfish bf;
    QVERIFY(bf.setKey(u(key), int(key.size())));
    QByteArray block = plain;
    bf.encipherBlock(u(block));
    QCOMPARE(block.toHex(), cipher.toHex());
    bf.decipherBlock(u(block));
    QCOMPARE(block.toHex(), plain.toHex());
}

void tst_Cipher::blowfishRefusesEmptyKey()
{
    TBlowfish bf;
    const uchar key = 0;
    QVERIFY(!bf.setKey(&key, 0));
    QVERIFY(!bf.setKey(nullptr, 8));

    TCipher_Blowfish cipher;
    QVERIFY(!cipher.Init(&key, 0));
    QVERIFY(!cipher.flag(TCipher_Blowfish::KeySet));
}

void tst_Cipher::sha1Vectors_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("digest");

    QTest::newRow("empty") << QByteArray() << QByteArray("da39a3ee5e6b4b0d3255bfef95601890afd80709");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("a9993e364706816aba3e25717850c26c9cd0d89d");
    QTest::newRow("448 bits") << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
                              << QByteArray("84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    QTest::newRow("million a") << QByteArray(1000000, 'a') << QByteArray("34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

void tst_Cipher::sha1Vectors()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, digest);
    QCOMPARE(sha1(input).toHex(), digest);
}

void tst_Cipher::keySetup()
{
    TCipher_Blowfish cipher;
    QCOMPARE(cipher.flagBits(), 0u);
    QVERIFY(cipher.checkValue().isEmpty());
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    QCOMPARE(cipher.flagBits(), 0x100u);

    const QByteArray password("meta");
    cipher.InitKey(password);
    QCOMPARE(cipher.flagBits(), 0x301u);

    // The key is the whole digest; the start vector is eight 0xFF bytes enciphered under it.
    const QByteArray digest = sha1(password);
    TBlowfish bf;
    QVERIFY(bf.setKey(u(digest), 20));
    QByteArray start(8, char(0xFF));
    bf.encipherBlock(u(start));
    QCOMPARE(cipher.startVector().toHex(), start.toHex());
    QCOMPARE(cipher.feedback().toHex(), start.toHex());

    // The check value deciphers back to the digest from the start vector.
    const QByteArray check = cipher.checkValue();
    QCOMPARE(check.size(), 20);
    QByteArray back(20, 0);
    cipher.ChainDecode(u(check), u(back), 20);
    QCOMPARE(back.toHex(), digest.toHex());

    cipher.Wipe();
    QCOMPARE(cipher.flagBits(), 0x100u);
    QCOMPARE(cipher.startVector(), QByteArray(8, char(0xFF)));
    QCOMPARE(cipher.feedback(), QByteArray(8, char(0xFF)));
    QVERIFY(cipher.checkValue().isEmpty());
}

void tst_Cipher::chainingCarriesFeedback_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("piece");

    QTest::newRow("blocks in pieces of 8") << 64 << 8;
    QTest::newRow("blocks and tail in pieces of 16") << 45 << 16;
    QTest::newRow("chunks of 4096") << 3 * 4096 + 5 << 4096;
    QTest::newRow("one block and a tail") << 11 << 8;
}

void tst_Cipher::chainingCarriesFeedback()
{
    QFETCH(int, length);
    QFETCH(int, piece);
    const QByteArray plain = sample(length, 'c');

    TCipher_Blowfish whole;
    whole.InitKey("key");
    QByteArray onePass(length, 0);
    whole.ChainEncode(u(plain), u(onePass), length);

    // Pieces that are whole blocks (the last one may be short) continue the same chain, in
    // place as well as into another buffer.
    TCipher_Blowfish pieces;
    pieces.InitKey("key");
    QByteArray inPlace = plain;
    for (int offset = 0; offset < length; offset += piece)
        pieces.ChainEncode(u(inPlace) + offset, u(inPlace) + offset, qMin(piece, length - offset));
    QCOMPARE(inPlace.toHex(), onePass.toHex());
    QCOMPARE(pieces.feedback().toHex(), whole.feedback().toHex());
    QVERIFY(whole.feedback() != whole.startVector());

    TCipher_Blowfish decoder;
    decoder.InitKey("key");
    QByteArray back(length, 0);
    for (int offset = 0; offset < length; offset += piece)
        decoder.ChainDecode(u(onePass) + offset, u(back) + offset, qMin(piece, length - offset));
    QCOMPARE(back.toHex(), plain.toHex());
    QCOMPARE(decoder.feedback().toHex(), whole.feedback().toHex());

    // A call of length 0 changes nothing.
    const QByteArray before = decoder.feedback();
    decoder.ChainDecode(u(onePass), u(back), 0);
    QCOMPARE(decoder.feedback(), before);
}

void tst_Cipher::roundTrip_data()
{
    QTest::addColumn<int>("length");
    for (int n = 0; n <= 17; ++n)
        QTest::addRow("%d", n) << n;
    for (int n : {63, 64, 65, 4075, 4076, 4095, 4096, 4097, 8191, 8192, 8193, 12309})
        QTest::addRow("%d", n) << n;
}

void tst_Cipher::roundTrip()
{
    QFETCH(int, length);
    const QByteArray plain = sample(length, 'r');
    const QByteArray password("correct horse");

    // A stream with room for the check value is enciphered inside its own buffer, another one
    // into a new buffer; both give the same bytes.
    QByteArray roomy = plain;
    roomy.reserve(length + 64);
    const char* buffer = roomy.constData();
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey(password);
    cipher.EncipherStream(roomy);
    QCOMPARE(roomy.constData(), buffer);
    QCOMPARE(roomy.size(), qsizetype(length) + 20);

    QByteArray tight(plain.constData(), plain.size());
    tight.squeeze();
    cipher.EncipherStream(tight);
    QCOMPARE(tight.toHex(), roomy.toHex());
    QCOMPARE(encipherDocument(plain, password).toHex(), roomy.toHex());

    if (length >= 8)
        QVERIFY(roomy.mid(20, 8) != plain.left(8));

    QByteArray out("previous content");
    QVERIFY(decipherDocument(roomy, password, out));
    QCOMPARE(out.toHex(), plain.toHex());
}

void tst_Cipher::parallelDecipherMatchesOnePass_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("parts");
    // Tiny inputs (fewer blocks than parts), lengths around the block and chunk sizes, with and
    // without a partial last block, over two to more parts than blocks.
    for (int parts : {2, 3, 8}) {
        for (int n : {0, 1, 7, 8, 9, 15, 16, 17, 23, 24, 25, 63, 64, 65, 4095, 4096, 4097, 12309, 100003})
            QTest::addRow("%d bytes, %d parts", n, parts) << n << parts;
    }
    QTest::addRow("1 MiB + 5, as many parts as cores") << (1024 * 1024 + 5) << 0;
}

// Every part starts from the feedback the cipher text before it gives: the result and the final
// feedback are those of one ChainDecode over all of it, out of place and in place.
void tst_Cipher::parallelDecipherMatchesOnePass()
{
    QFETCH(int, length);
    QFETCH(int, parts);
    const QByteArray cipherText = sample(length, 'p');

    TCipher_Blowfish reference;
    reference.InitKey("parallel");
    QByteArray expected(length, Qt::Uninitialized);
    reference.ChainDecode(u(cipherText), u(expected), length);

    TCipher_Blowfish cipher;
    cipher.InitKey("parallel");
    QByteArray out(length, Qt::Uninitialized);
    cipher.ChainDecodeParallel(u(cipherText), u(out), length, parts);
    QCOMPARE(out.toHex(), expected.toHex());
    QCOMPARE(cipher.feedback().toHex(), reference.feedback().toHex());

    // In place, and continuing from a feedback other than the start vector.
    TCipher_Blowfish inPlace;
    inPlace.InitKey("parallel");
    const QByteArray head = sample(13, 'h');
    QByteArray headOut(13, Qt::Uninitialized);
    inPlace.ChainDecode(u(head), u(headOut), 8);
    reference.ResetFeedback();
    reference.ChainDecode(u(head), u(headOut), 8);
    reference.ChainDecode(u(cipherText), u(expected), length);
    QByteArray buffer(cipherText.constData(), length);
    inPlace.ChainDecodeParallel(u(buffer), u(buffer), length, parts);
    QCOMPARE(buffer.toHex(), expected.toHex());
    QCOMPARE(inPlace.feedback().toHex(), reference.feedback().toHex());
}

// The open path checks the first 20 bytes on their own, then deciphers the rest where it lies:
// the same verdict and bytes as DecipherStream over the whole file.
void tst_Cipher::decipherInPlace()
{
    const QByteArray password("in place");
    for (int length : {0, 5, 8, 4097, 600 * 1024 + 3}) {
        const QByteArray plain = sample(length, 'i');
        const QByteArray stored = encipherDocument(plain, password);

        TCipher_Blowfish cipher;
        cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
        cipher.InitKey(password);
        QVERIFY(cipher.CheckValueMatches(u(stored), 20));
        QVERIFY(!cipher.CheckValueMatches(u(stored), 19) || stored.at(19) == 0);
        QByteArray data = stored.mid(20);
        cipher.DecipherInPlace(u(data), data.size());
        QCOMPARE(data.toHex(), plain.toHex());

        TCipher_Blowfish other;
        other.setFlag(TCipher_Blowfish::UseCheckValue, true);
        other.InitKey(password + "!");
        QVERIFY(!other.CheckValueMatches(u(stored), stored.size()));
    }
    TCipher_Blowfish unkeyed;
    QVERIFY(!unkeyed.CheckValueMatches(nullptr, 0));
    uchar byte = 0;
    QVERIFY_THROWS_EXCEPTION(std::logic_error, unkeyed.DecipherInPlace(&byte, 1));
}

void tst_Cipher::checkValueDependsOnPasswordOnly()
{
    const QByteArray a = encipherDocument(sample(100, 'a'), "same");
    const QByteArray b = encipherDocument(sample(3, 'b'), "same");
    const QByteArray c = encipherDocument(sample(100, 'a'), "Same");
    QCOMPARE(a.left(20).toHex(), b.left(20).toHex());
    QVERIFY(a.left(20) != c.left(20));
    QVERIFY(a.mid(20) != c.mid(20));

    TCipher_Blowfish cipher;
    cipher.InitKey("same");
    QCOMPARE(cipher.checkValue().toHex(), a.left(20).toHex());
}

void tst_Cipher::wrongPassword()
{
    const QByteArray enciphered = encipherDocument(sample(50, 'w'), "right");

    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey("wrong");
    QByteArray dest("untouched");
    try {
        cipher.DecipherStream(enciphered, dest);
        QFAIL("a wrong password was accepted");
    } catch (const ECipherException& e) {
        QCOMPARE(e.code(), 1);
        QCOMPARE(e.message(), QStringLiteral("Raté ! Ce méta mot de passe est faux !"));
    }
    QCOMPARE(dest, QByteArray("untouched"));

    QByteArray out("previous content");
    QVERIFY(!decipherDocument(enciphered, "wrong", out));
    QVERIFY(out.isEmpty());
}

void tst_Cipher::passwordsOutsideCodePage()
{
    const QByteArray japanese = win1252::fromUnicode(QStringLiteral("日本語"));
    const QByteArray korean = win1252::fromUnicode(QStringLiteral("한국어"));
    QCOMPARE(japanese, QByteArray("???"));
    QCOMPARE(korean, QByteArray("???"));

    const QByteArray plain = sample(40, 'j');
    const QByteArray enciphered = encipherDocument(plain, japanese);
    QCOMPARE(enciphered.left(20).toHex(), encipherDocument(QByteArray(), "???").toHex());
    QByteArray out;
    QVERIFY(decipherDocument(enciphered, korean, out));
    QCOMPARE(out, plain);
    QVERIFY(!decipherDocument(enciphered, win1252::fromUnicode(QStringLiteral("日本")), out));
}

void tst_Cipher::emptyPassword()
{
    const QByteArray plain = sample(30, 'e');
    const QByteArray enciphered = encipherDocument(plain, win1252::fromUnicode(QString()));
    QByteArray out;
    QVERIFY(decipherDocument(enciphered, QByteArray(), out));
    QCOMPARE(out, plain);
    QVERIFY(!decipherDocument(enciphered, " ", out));

    TCipher_Blowfish cipher;
    cipher.InitKey(QByteArray());
    TBlowfish bf;
    const QByteArray key = sha1(QByteArray());
    QVERIFY(bf.setKey(u(key), 20));
    QByteArray start(8, char(0xFF));
    bf.encipherBlock(u(start));
    QCOMPARE(cipher.startVector().toHex(), start.toHex());
}

void tst_Cipher::damage_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("first byte") << 0 << false;
    QTest::newRow("in the check value") << 9 << false;
    QTest::newRow("last of the check value") << 19 << false;
    QTest::newRow("first data byte") << 20 << true;
    QTest::newRow("in the data") << 57 << true;
    QTest::newRow("in the tail") << 20 + 96 + 2 << true;
}

void tst_Cipher::damage()
{
    QFETCH(int, offset);
    QFETCH(bool, accepted);
    const QByteArray plain = sample(100, 'd');
    QByteArray enciphered = encipherDocument(plain, "pw");
    enciphered[offset] = char(enciphered[offset] ^ 0x01);

    QByteArray out;
    QCOMPARE(decipherDocument(enciphered, "pw", out), accepted);
    if (accepted) {
        // Undetected here: the data comes back wrong, from the damaged byte on.
        QCOMPARE(out.size(), plain.size());
        QCOMPARE(out.left((offset - 20) / 8 * 8), plain.left((offset - 20) / 8 * 8));
        QVERIFY(out != plain);
    } else {
        QVERIFY(out.isEmpty());
    }
}

void tst_Cipher::shortSource()
{
    // A source shorter than the check value fails unless its missing bytes happen to be the
    // zero bytes that end the check value: look for a password whose check value ends with 0.
    QByteArray password;
    QByteArray check;
    for (int i = 0; i < 20000 && (check.isEmpty() || check.at(19) != 0); ++i) {
        password = "p" + QByteArray::number(i);
        TCipher_Blowfish cipher;
        cipher.InitKey(password);
        check = cipher.checkValue();
    }
    QCOMPARE(check.at(19), char(0));

    QByteArray out("x");
    QVERIFY(decipherDocument(check.left(19), password, out));
    QVERIFY(out.isEmpty());
    QVERIFY(decipherDocument(check, password, out));
    QVERIFY(out.isEmpty());

    for (int n = 0; n < 19; ++n) {
        out = "x";
        const bool restIsZero = check.mid(n).count(char(0)) == 20 - n;
        QCOMPARE(decipherDocument(check.left(n), password, out), restIsZero);
        QVERIFY(out.isEmpty());
    }
}

void tst_Cipher::withoutCheckValue()
{
    const QByteArray plain = sample(77, 'n');
    TCipher_Blowfish cipher;
    cipher.InitKey("pw");
    QByteArray stream = plain;
    cipher.EncipherStream(stream);
    // Same data as behind the check value, nothing in front of it.
    QCOMPARE(stream.toHex(), encipherDocument(plain, "pw").mid(20).toHex());

    QByteArray out;
    cipher.DecipherStream(stream, out);
    QCOMPARE(out, plain);
}

void tst_Cipher::keyRequired()
{
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    QByteArray stream("data");
    QVERIFY_THROWS_EXCEPTION(std::logic_error, cipher.EncipherStream(stream));
    QCOMPARE(stream, QByteArray("data"));
    QByteArray out;
    QVERIFY_THROWS_EXCEPTION(std::logic_error, cipher.DecipherStream(stream, out));
}

void tst_Cipher::sharedStreamsStayIntact()
{
    // The caller's other copies of a stream keep the plain bytes: only the cipher's own buffer
    // is coded or wiped.
    const QByteArray plain = sample(64, 's');
    QByteArray stream = plain;
    QByteArray copy = stream;
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey("pw");
    cipher.EncipherStream(stream);
    QCOMPARE(copy, plain);
    QCOMPARE(stream.size(), 84);

    QByteArray dest = copy;
    cipher.DecipherStream(stream, dest);
    QCOMPARE(dest, plain);
    QCOMPARE(copy, plain);

    // Source and destination may be the same array.
    QByteArray same = stream;
    cipher.DecipherStream(same, same);
    QCOMPARE(same, plain);
}

void tst_Cipher::secureBytes()
{
    QByteArray other("secret");
    QByteArray shared = other;
    secureWipe(shared);
    QVERIFY(shared.isEmpty());
    QCOMPARE(other, QByteArray("secret"));

    static const char raw[] = "raw secret";
    QByteArray view = QByteArray::fromRawData(raw, sizeof raw - 1);
    secureWipe(view);
    QVERIFY(view.isEmpty());
    QCOMPARE(QByteArray(raw), QByteArray("raw secret"));

    // The owned buffer never shares its bytes with the array it came from.
    SecureBytes owned(other);
    QVERIFY(owned.bytes().constData() != other.constData());
    QCOMPARE(owned.bytes(), other);
    SecureBytes moved(std::move(owned));
    QCOMPARE(moved.bytes(), QByteArray("secret"));
    QVERIFY(owned.isEmpty());
    moved.assign("next");
    QCOMPARE(moved.bytes(), QByteArray("next"));
    moved.clear();
    QVERIFY(moved.isEmpty());
    QCOMPARE(other, QByteArray("secret"));
}

void tst_Cipher::knownAnswers()
{
    // Enciphered documents computed independently of this code (see make_known_answers.py).
    QFile file(QStringLiteral(TRESORIN_TEST_DATA "/crypto/known_answers.txt"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QList<QByteArray> passwords;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split(' ');
        QCOMPARE(fields.size(), 3);
        auto field = [](const QByteArray& hex) { return hex == "-" ? QByteArray() : QByteArray::fromHex(hex); };
        const QByteArray password = field(fields[0]);
        const QByteArray plain = field(fields[1]);
        const QByteArray enciphered = field(fields[2]);

        QCOMPARE(encipherDocument(plain, password).toHex(), enciphered.toHex());
        QByteArray out;
        QVERIFY(decipherDocument(enciphered, password, out));
        QCOMPARE(out.toHex(), plain.toHex());
        passwords << password;
    }
    QCOMPARE(passwords.size(), 5);
    // Passwords typed with characters of the upper half of the code page.
    QVERIFY(passwords.contains(win1252::fromUnicode(QStringLiteral("Sésame ouvre-toi"))));
    QVERIFY(passwords.contains(win1252::fromUnicode(QStringLiteral("€uro “cité”"))));
}

QTEST_GUILESS_MAIN(tst_Cipher)
#include "tst_cipher.moc"
