// The strong container: known answers computed by other implementations, a wrong password told
// apart from every kind of damage, forged costs refused before any derivation, and the key kept
// for later saves.

#include "crypto/StrongContainer.h"

#include <QFile>
#include <QtTest>

#include <sodium.h>

#include <cstring>

namespace {

// Small enough that every derivation of this test takes a few milliseconds.
const strong::KdfParameters kSmall{1, strong::MinMemoryKiB};

int g_derivations = 0;
strong::KdfParameters g_lastDerivation;
void countDerivation(const strong::KdfParameters& kdf)
{
    ++g_derivations;
    g_lastDerivation = kdf;
}

QByteArray sealed(const QByteArray& plain, const QByteArray& password, const strong::KdfParameters& kdf = kSmall)
{
    const auto key = strong::SealingKey::deriveWithNewSalt(password, kdf);
    return key ? strong::seal(plain, *key) : QByteArray();
}

// A header with a correct checksum and whatever parameters, as a forger would write it, followed
// by room for a tag.
QByteArray forged(const strong::KdfParameters& kdf, quint8 version = strong::ContainerVersion)
{
    strong::Header h;
    h.version = version;
    h.parameters = kdf;
    return strong::writeHeader(h) + QByteArray(strong::TagLength + 10, 'x');
}

} // namespace

class TestStrongContainer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void knownAnswers();
    void roundTripOfLengths_data();
    void roundTripOfLengths();
    void everySaveHasItsOwnNonce();
    void wrongPasswordAndDamageAreToldApart_data();
    void wrongPasswordAndDamageAreToldApart();
    void truncatedFilesAreDamaged();
    void forgedCostsAreRefusedBeforeAnyDerivation_data();
    void forgedCostsAreRefusedBeforeAnyDerivation();
    void unknownVersionIsRefused();
    void acceptedRanges_data();
    void acceptedRanges();
    void magicIsRecognisedDespiteOneDamagedByte();
    void keyKnowsWhatItWasDerivedFrom();
    void calibrationStaysInItsBounds();
    void calibrationAimsAtASecond_data();
    void calibrationAimsAtASecond();
};

void TestStrongContainer::init()
{
    g_derivations = 0;
    strong::setDerivationObserver(countDerivation);
}

void TestStrongContainer::cleanup()
{
    strong::setDerivationObserver(nullptr);
}

void TestStrongContainer::knownAnswers()
{
    QFile file(QStringLiteral(TRESORIN_TEST_DATA "/crypto/strong_known_answers.txt"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    int cases = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> f = line.split(' ');
        QCOMPARE(f.size(), 7);
        auto hex = [](const QByteArray& h) { return h == "-" ? QByteArray() : QByteArray::fromHex(h); };
        const QByteArray password = hex(f[0]);
        const QByteArray salt = hex(f[1]);
        const QByteArray nonce = hex(f[2]);
        const strong::KdfParameters kdf{f[3].toUInt(), f[4].toUInt()};
        const QByteArray plain = hex(f[5]);
        const QByteArray expected = hex(f[6]);

        const auto key = strong::SealingKey::derive(password, kdf, reinterpret_cast<const uchar*>(salt.constData()));
        QVERIFY(key);
        QCOMPARE(strong::seal(plain, *key, reinterpret_cast<const uchar*>(nonce.constData())).toHex(),
                 expected.toHex());

        QByteArray data = expected;
        const strong::OpenResult opened = strong::open(data, password);
        QCOMPARE(int(opened.status), int(strong::OpenStatus::Ok));
        QCOMPARE(opened.parameters, kdf);
        QCOMPARE(data.toHex(), plain.toHex());
        ++cases;
    }
    QCOMPARE(cases, 3);
}

void TestStrongContainer::roundTripOfLengths_data()
{
    QTest::addColumn<int>("length");
    for (int length : {0, 1, 15, 16, 17, 63, 64, 65, 4096, 100000})
        QTest::addRow("%d bytes", length) << length;
}

void TestStrongContainer::roundTripOfLengths()
{
    QFETCH(int, length);
    QByteArray plain(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        plain[i] = char(i * 7 + (i >> 8));
    QByteArray data = sealed(plain, "pw");
    QCOMPARE(data.size(), qsizetype(length) + strong::HeaderLength + strong::TagLength);
    // Nothing of the plain text shows through.
    if (length >= 64)
        QVERIFY(!data.contains(plain.left(16)));
    const strong::OpenResult r = strong::open(data, "pw");
    QCOMPARE(int(r.status), int(strong::OpenStatus::Ok));
    QVERIFY(data == plain);
    QVERIFY(r.key);
    QCOMPARE(r.key->parameters(), kSmall);
}

void TestStrongContainer::everySaveHasItsOwnNonce()
{
    const auto key = strong::SealingKey::deriveWithNewSalt("pw", kSmall);
    QVERIFY(key);
    const QByteArray a = strong::seal("same stream", *key);
    const QByteArray b = strong::seal("same stream", *key);
    QCOMPARE(a.left(36), b.left(36)); // magic, version, cost and salt are the key's
    QVERIFY(a.mid(36, strong::NonceLength) != b.mid(36, strong::NonceLength));
    QVERIFY(a.mid(strong::HeaderLength) != b.mid(strong::HeaderLength));
    for (QByteArray data : {a, b}) {
        QCOMPARE(int(strong::open(data, "pw").status), int(strong::OpenStatus::Ok));
        QCOMPARE(data, QByteArray("same stream"));
    }
    // Another document under the same password draws another salt.
    QVERIFY(sealed("same stream", "pw").mid(20, strong::SaltLength) != a.mid(20, strong::SaltLength));
}

void TestStrongContainer::wrongPasswordAndDamageAreToldApart_data()
{
    QTest::addColumn<int>("offset"); // byte flipped, from the start (>= 0) or from the end (< 0)
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("headerError");
    const int damaged = int(strong::OpenStatus::Damaged);
    const int none = int(strong::HeaderError::None);
    const int checksum = int(strong::HeaderError::Checksum);
    QTest::newRow("wrong password") << -1000 << QByteArray("pW") << int(strong::OpenStatus::BadPassword) << none;
    QTest::newRow("password one byte longer")
        << -1000 << QByteArray("pw\0", 3) << int(strong::OpenStatus::BadPassword) << none;
    QTest::newRow("magic") << 1 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("version") << 8 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("passes") << 12 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("memory") << 17 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("salt") << 25 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("nonce") << 40 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("password check") << 60 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("header checksum") << 91 << QByteArray("pw") << damaged << checksum;
    QTest::newRow("first byte of the text") << 92 << QByteArray("pw") << damaged << none;
    QTest::newRow("last byte of the text") << -17 << QByteArray("pw") << damaged << none;
    QTest::newRow("first byte of the tag") << -16 << QByteArray("pw") << damaged << none;
    QTest::newRow("last byte of the tag") << -1 << QByteArray("pw") << damaged << none;
}

void TestStrongContainer::wrongPasswordAndDamageAreToldApart()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, password);
    QFETCH(int, status);
    QFETCH(int, headerError);
    QByteArray data = sealed(QByteArray(300, 'd'), "pw");
    if (offset != -1000)
        data[offset >= 0 ? offset : data.size() + offset] ^= 0x01;
    const strong::OpenResult r = strong::open(data, password);
    QCOMPARE(int(r.status), status);
    QCOMPARE(int(r.headerError), headerError);
    QVERIFY(!r.key);
    QVERIFY(!data.contains(QByteArray(32, 'd')));
}

void TestStrongContainer::truncatedFilesAreDamaged()
{
    const QByteArray whole = sealed(QByteArray(50, 'd'), "pw");
    g_derivations = 0;
    for (int length = 0; length < whole.size(); ++length) {
        QByteArray data = whole.left(length);
        const strong::OpenResult r = strong::open(data, "pw");
        QVERIFY2(r.status == strong::OpenStatus::Damaged, qPrintable(QString::number(length)));
    }
    // Cut before the end of a header and a tag, nothing is derived.
    QCOMPARE(g_derivations, whole.size() - strong::HeaderLength - strong::TagLength);
}

void TestStrongContainer::forgedCostsAreRefusedBeforeAnyDerivation_data()
{
    QTest::addColumn<quint32>("passes");
    QTest::addColumn<quint32>("memoryKiB");
    QTest::newRow("1 TiB of memory") << 1u << (1u << 30);
    QTest::newRow("4 TiB of memory") << 1u << 0xFFFFFFFFu;
    QTest::newRow("2 GiB of memory") << 1u << (2u << 20);
    QTest::newRow("no memory") << 1u << 0u;
    QTest::newRow("below 8 MiB") << 1u << (8u * 1024 - 1);
    QTest::newRow("no pass") << 0u << 65536u;
    QTest::newRow("4 billion passes") << 0xFFFFFFFFu << 8192u;
    QTest::newRow("65 passes") << 65u << 8192u;
    QTest::newRow("1 GiB nine times") << 9u << (1u << 20);
}

void TestStrongContainer::forgedCostsAreRefusedBeforeAnyDerivation()
{
    QFETCH(quint32, passes);
    QFETCH(quint32, memoryKiB);
    QByteArray data = forged({passes, memoryKiB});
    const strong::OpenResult r = strong::open(data, "pw");
    QCOMPARE(int(r.status), int(strong::OpenStatus::Damaged));
    QCOMPARE(int(r.headerError), int(strong::HeaderError::Parameters));
    QCOMPARE(g_derivations, 0);
    // The key maker refuses them too, whoever asks.
    QVERIFY(!strong::SealingKey::deriveWithNewSalt("pw", {passes, memoryKiB}));
    QCOMPARE(g_derivations, 0);
}

void TestStrongContainer::unknownVersionIsRefused()
{
    QByteArray data = forged(kSmall, 2);
    strong::Header h;
    QCOMPARE(int(strong::readHeader(data.constData(), data.size(), h)), int(strong::HeaderError::Version));
    QCOMPARE(int(strong::open(data, "pw").status), int(strong::OpenStatus::Damaged));
    QCOMPARE(g_derivations, 0);
    // So is a magic short of one byte under a checksum made to match it.
    strong::Header small;
    small.parameters = kSmall;
    data = strong::writeHeader(small) + QByteArray(strong::TagLength, 'x');
    data[7] = 0x07;
    QCOMPARE(int(strong::readHeader(data.constData(), data.size(), h)), int(strong::HeaderError::Checksum));
    crypto_generichash(reinterpret_cast<uchar*>(data.data()) + 76, 16, reinterpret_cast<const uchar*>(data.constData()),
                       76, nullptr, 0);
    QCOMPARE(int(strong::readHeader(data.constData(), data.size(), h)), int(strong::HeaderError::Version));
    // The forged header with accepted costs goes as far as the password check.
    data = forged(kSmall);
    QCOMPARE(int(strong::open(data, "pw").status), int(strong::OpenStatus::BadPassword));
    QCOMPARE(g_derivations, 1);
}

void TestStrongContainer::acceptedRanges_data()
{
    QTest::addColumn<quint32>("passes");
    QTest::addColumn<quint32>("memoryKiB");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("forCreation");
    QTest::newRow("smallest") << 1u << 8192u << true << false;
    QTest::newRow("64 MiB") << 1u << 65536u << true << true;
    QTest::newRow("just under 64 MiB") << 3u << 65535u << true << false;
    QTest::newRow("1 GiB, 8 passes") << 8u << (1u << 20) << true << true;
    QTest::newRow("1 GiB, 9 passes") << 9u << (1u << 20) << false << false;
    QTest::newRow("128 MiB, 64 passes") << 64u << (128u << 10) << true << true;
    QTest::newRow("64 MiB, 65 passes") << 65u << 65536u << false << false;
    QTest::newRow("just over 1 GiB") << 1u << (1u << 20) + 1 << false << false;
}

void TestStrongContainer::acceptedRanges()
{
    QFETCH(quint32, passes);
    QFETCH(quint32, memoryKiB);
    QFETCH(bool, accepted);
    QFETCH(bool, forCreation);
    QCOMPARE(strong::parametersAccepted({passes, memoryKiB}), accepted);
    QCOMPARE(strong::parametersForCreation({passes, memoryKiB}), forCreation);
    QByteArray data = forged({passes, memoryKiB});
    strong::Header h;
    QCOMPARE(strong::readHeader(data.constData(), data.size(), h) == strong::HeaderError::None, accepted);
}

void TestStrongContainer::magicIsRecognisedDespiteOneDamagedByte()
{
    const QByteArray data = sealed("x", "pw");
    QVERIFY(strong::looksLikeContainer(data.constData(), data.size()));
    for (int i = 0; i < strong::MagicLength; ++i) {
        QByteArray one = data;
        one[i] = char(~one[i]);
        QVERIFY(strong::looksLikeContainer(one.constData(), one.size()));
        for (int j = i + 1; j < strong::MagicLength; ++j) {
            QByteArray two = one;
            two[j] = char(~two[j]);
            QVERIFY(strong::looksLikeContainer(two.constData(), two.size()));
        }
    }
    QVERIFY(!strong::looksLikeContainer(data.constData(), strong::MagicLength - 1));
    QVERIFY(!strong::looksLikeContainer("TRS\0\0\0\0\0", 8));
    QByteArray three = data;
    for (int i : {0, 3, 6})
        three[i] = char(~three[i]);
    QVERIFY(!strong::looksLikeContainer(three.constData(), three.size()));
}

void TestStrongContainer::keyKnowsWhatItWasDerivedFrom()
{
    const auto key = strong::SealingKey::deriveWithNewSalt("secret", kSmall);
    QVERIFY(key);
    QCOMPARE(g_lastDerivation, kSmall);
    QVERIFY(key->derivedFrom("secret", kSmall));
    QVERIFY(!key->derivedFrom("Secret", kSmall));
    QVERIFY(!key->derivedFrom("secret ", kSmall));
    QVERIFY(!key->derivedFrom(QByteArray(), kSmall));
    QVERIFY(!key->derivedFrom("secret", {2, kSmall.memoryKiB}));
    QVERIFY(!key->derivedFrom("secret", {1, kSmall.memoryKiB * 2}));
}

void TestStrongContainer::calibrationStaysInItsBounds()
{
    // The real calibration: a few small measuring derivations, not the second it aims at.
    strong::setCalibratedParametersForTests({});
    const strong::KdfParameters kdf = strong::calibratedParameters();
    QVERIFY(strong::parametersForCreation(kdf));
    QVERIFY(kdf.memoryKiB == 64u * 1024 || kdf.memoryKiB == 256u * 1024);
    QCOMPARE(strong::calibratedParameters(), kdf); // measured once per process

    strong::setCalibratedParametersForTests(kSmall);
    QCOMPARE(strong::calibratedParameters(), kSmall);
    strong::setCalibratedParametersForTests({});
    QCOMPARE(strong::calibratedParameters(), kdf);
}

void TestStrongContainer::calibrationAimsAtASecond_data()
{
    // A machine: the set-up and the time of one pass over 64 MiB (both scale with the memory), how
    // much slower its first derivation is (fresh memory, another program busy), and a spike of load
    // in the middle of the measures; then what the calibration must choose.
    QTest::addColumn<double>("setUpMs");
    QTest::addColumn<double>("passMs");
    QTest::addColumn<double>("firstRunFactor");
    QTest::addColumn<bool>("spike");
    QTest::addColumn<quint32>("memoryMiB");
    QTest::addColumn<quint32>("passes");
    // As measured on the 2-core machine of the report: 8 passes over 64 MiB took 250 ms.
    QTest::newRow("idle 2-core machine") << 15.0 << 29.0 << 1.0 << false << 256u << 8u;
    QTest::newRow("first run pays its page faults") << 15.0 << 29.0 << 5.0 << false << 256u << 8u;
    QTest::newRow("a busy moment among the measures") << 15.0 << 29.0 << 1.0 << true << 256u << 8u;
    QTest::newRow("slow machine, 64 MiB") << 60.0 << 150.0 << 3.0 << true << 64u << 6u;
    QTest::newRow("very slow machine: one pass, never under 64 MiB") << 300.0 << 2500.0 << 1.0 << false << 64u << 1u;
    QTest::newRow("very fast machine: capped") << 1.0 << 0.5 << 1.0 << false << 256u << 32u;
}

// The calibration's reckoning with a clock of the test's making: the fastest of the repeated
// measures counts, not a first run paying its page faults nor a busy moment, and the cost chosen
// takes about a second on that machine, with at least 64 MiB.
void TestStrongContainer::calibrationAimsAtASecond()
{
    QFETCH(double, setUpMs);
    QFETCH(double, passMs);
    QFETCH(double, firstRunFactor);
    QFETCH(bool, spike);
    QFETCH(quint32, memoryMiB);
    QFETCH(quint32, passes);
    const auto steady = [&](const strong::KdfParameters& kdf) {
        return double(kdf.memoryKiB) / (64 * 1024) * (setUpMs + kdf.passes * passMs);
    };
    int calls = 0;
    const strong::KdfParameters kdf = strong::calibrateWith([&](const strong::KdfParameters& probe) {
        ++calls;
        // Probes stay small: one and three passes over 64 MiB.
        if (probe.memoryKiB != 64 * 1024 || probe.passes > 3)
            return -1.0;
        double ms = steady(probe);
        if (calls == 1)
            ms *= firstRunFactor;
        if (spike && calls == strong::CalibrationRepeats + 1)
            ms *= 4;
        return ms;
    });
    QCOMPARE(kdf.memoryKiB, memoryMiB * 1024);
    QCOMPARE(kdf.passes, passes);
    QVERIFY(strong::parametersForCreation(kdf));
    QCOMPARE(calls, 2 * strong::CalibrationRepeats);
    // About the second aimed at, unless the cost is at one of its bounds.
    if (passes > 1 && passes < 32)
        QVERIFY2(std::abs(steady(kdf) - strong::CalibrationTargetMs) <= 0.15 * strong::CalibrationTargetMs,
                 qPrintable(QString::number(steady(kdf))));

    // A probe that cannot run (no memory for it) gives the floor.
    QCOMPARE(strong::calibrateWith([](const strong::KdfParameters&) { return -1.0; }),
             (strong::KdfParameters{3, 64 * 1024}));
}

QTEST_GUILESS_MAIN(TestStrongContainer)
#include "tst_strongcontainer.moc"
