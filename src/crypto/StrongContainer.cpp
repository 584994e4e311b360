#include "StrongContainer.h"

#include "SecureBytes.h"

#include <QElapsedTimer>

#include <sodium.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

namespace strong {

namespace {

const uchar kMagic[MagicLength] = {0x89, 'T', 'R', 'S', 'X', 0x0D, 0x0A, 0x1A};

constexpr int kParametersAt = 12;
constexpr int kSaltAt = 20;
constexpr int kNonceAt = 36;
constexpr int kCheckAt = 60;
constexpr int kChecksumAt = 76;
constexpr int kDerivedLength = 2 * KeyLength; // cipher key, then check key

std::atomic<DerivationObserver> g_observer{nullptr};

std::mutex g_calibrationMutex;
KdfParameters g_testParameters;
KdfParameters g_calibrated;

bool sodiumReady()
{
    // sodium_init is idempotent and thread-safe; it fails only without a source of randomness.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

quint32 readU32(const uchar* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

void writeU32(uchar* p, quint32 v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
    p[2] = uchar(v >> 16);
    p[3] = uchar(v >> 24);
}

void headerChecksum(const uchar* header, uchar out[CheckLength])
{
    crypto_generichash(out, CheckLength, header, kChecksumAt, nullptr, 0);
}

// Bytes 0..59 of a header: everything the password check covers.
void writeHeaderStart(const Header& h, uchar* out)
{
    std::memcpy(out, kMagic, MagicLength);
    out[8] = h.version;
    out[9] = h.kdf;
    out[10] = h.cipher;
    out[11] = 0;
    writeU32(out + kParametersAt, h.parameters.passes);
    writeU32(out + kParametersAt + 4, h.parameters.memoryKiB);
    std::memcpy(out + kSaltAt, h.salt, SaltLength);
    std::memcpy(out + kNonceAt, h.nonce, NonceLength);
}

bool runArgon2id(uchar* out, size_t outLength, const QByteArray& password, const KdfParameters& kdf, const uchar* salt)
{
    if (DerivationObserver observer = g_observer.load())
        observer(kdf);
    return crypto_pwhash(out, outLength, password.constData(), static_cast<unsigned long long>(password.size()), salt,
                         kdf.passes, size_t(kdf.memoryKiB) * 1024, crypto_pwhash_ALG_ARGON2ID13) == 0;
}

// One derivation of the given cost, timed.
double timeDerivation(const KdfParameters& kdf)
{
    uchar salt[SaltLength];
    randombytes_buf(salt, sizeof salt);
    uchar out[KeyLength];
    QElapsedTimer timer;
    timer.start();
    const bool ran = crypto_pwhash(out, sizeof out, "calibration", 11, salt, kdf.passes, size_t(kdf.memoryKiB) * 1024,
                                   crypto_pwhash_ALG_ARGON2ID13) == 0;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    sodium_memzero(out, sizeof out);
    return ran ? ms : -1;
}

} // namespace

struct SealingKey::Secrets
{
    uchar derived[kDerivedLength];
    uchar fingerprintKey[crypto_generichash_KEYBYTES];
    uchar fingerprint[crypto_generichash_BYTES];
};

bool parametersAccepted(const KdfParameters& kdf)
{
    return kdf.memoryKiB >= MinMemoryKiB && kdf.memoryKiB <= MaxMemoryKiB && kdf.passes >= MinPasses &&
           kdf.passes <= MaxPasses && quint64(kdf.memoryKiB) * kdf.passes <= MaxCostKiBPasses;
}

bool parametersForCreation(const KdfParameters& kdf)
{
    return parametersAccepted(kdf) && kdf.memoryKiB >= CreationMinMemoryKiB;
}

KdfParameters calibrateWith(const DerivationTimer& measure)
{
    constexpr quint32 probeMemory = 64 * 1024;
    constexpr quint32 largeMemory = 256 * 1024;
    const KdfParameters floor{3, probeMemory};
    const auto fastest = [&measure](const KdfParameters& kdf) {
        double best = -1;
        for (int i = 0; i < CalibrationRepeats; ++i) {
            const double ms = measure(kdf);
            if (ms < 0)
                return -1.0;
            if (best < 0 || ms < best)
                best = ms;
        }
        return best;
    };
    const double onePass = fastest(KdfParameters{1, probeMemory});
    const double threePasses = onePass < 0 ? -1 : fastest(KdfParameters{3, probeMemory});
    if (threePasses < 0)
        return floor; // no memory to measure with: libsodium's interactive cost
    // Over 64 MiB: time = setUp + passes * perPass.
    const double perPass = std::max((threePasses - onePass) / 2, 0.01);
    const double setUp = std::max(onePass - perPass, 0.0);
    const auto predicted = [&](quint32 memory, double passes) {
        return double(memory) / probeMemory * (setUp + passes * perPass);
    };
    const quint32 memory = predicted(largeMemory, 3) <= CalibrationTargetMs ? largeMemory : probeMemory;
    const double scale = double(memory) / probeMemory;
    const double wanted = std::round((CalibrationTargetMs / scale - setUp) / perPass);
    const quint64 costCap = MaxCostKiBPasses / memory;
    const quint32 passes =
        quint32(std::clamp<double>(wanted, MinPasses, double(std::min<quint64>(MaxPasses, costCap))));
    return KdfParameters{passes, memory};
}

KdfParameters calibratedParameters()
{
    std::lock_guard<std::mutex> lock(g_calibrationMutex);
    if (g_testParameters.isSet())
        return g_testParameters;
    if (!g_calibrated.isSet() && sodiumReady())
        g_calibrated = calibrateWith(timeDerivation);
    return g_calibrated;
}

void setCalibratedParametersForTests(const KdfParameters& kdf)
{
    std::lock_guard<std::mutex> lock(g_calibrationMutex);
    g_testParameters = kdf;
}

bool looksLikeContainer(const char* data, qsizetype size)
{
    if (size < MagicLength)
        return false;
    int same = 0;
    for (int i = 0; i < MagicLength; ++i)
        same += uchar(data[i]) == kMagic[i] ? 1 : 0;
    return same >= MagicLength - 2;
}

HeaderError readHeader(const char* data, qsizetype size, Header& out)
{
    if (!looksLikeContainer(data, size))
        return HeaderError::Magic;
    if (size < HeaderLength + TagLength)
        return HeaderError::Truncated;
    if (!sodiumReady())
        return HeaderError::Checksum;
    const auto* p = reinterpret_cast<const uchar*>(data);
    uchar sum[CheckLength];
    headerChecksum(p, sum);
    if (sodium_memcmp(sum, p + kChecksumAt, CheckLength) != 0)
        return HeaderError::Checksum;
    // A magic let through with a damaged byte fails the checksum above; one that matches it
    // anyway was written so, by something else than this version.
    if (std::memcmp(p, kMagic, MagicLength) != 0 || p[8] != ContainerVersion || p[9] != KdfArgon2id ||
        p[10] != CipherXChaCha20Poly1305 || p[11] != 0)
        return HeaderError::Version;
    Header h;
    h.parameters.passes = readU32(p + kParametersAt);
    h.parameters.memoryKiB = readU32(p + kParametersAt + 4);
    if (!parametersAccepted(h.parameters))
        return HeaderError::Parameters;
    std::memcpy(h.salt, p + kSaltAt, SaltLength);
    std::memcpy(h.nonce, p + kNonceAt, NonceLength);
    std::memcpy(h.passwordCheck, p + kCheckAt, CheckLength);
    out = h;
    return HeaderError::None;
}

QByteArray writeHeader(const Header& header)
{
    QByteArray bytes(HeaderLength, '\0');
    auto* p = reinterpret_cast<uchar*>(bytes.data());
    writeHeaderStart(header, p);
    std::memcpy(p + kCheckAt, header.passwordCheck, CheckLength);
    if (sodiumReady())
        headerChecksum(p, p + kChecksumAt);
    return bytes;
}

SealingKey::~SealingKey()
{
    sodium_free(m_secrets); // wipes before releasing
}

std::unique_ptr<SealingKey> SealingKey::derive(const QByteArray& password, const KdfParameters& kdf,
                                               const uchar salt[SaltLength])
{
    if (!sodiumReady() || !parametersAccepted(kdf))
        return nullptr;
    std::unique_ptr<SealingKey> key(new SealingKey);
    key->m_secrets = static_cast<Secrets*>(sodium_malloc(sizeof(Secrets)));
    if (!key->m_secrets)
        return nullptr;
    key->m_kdf = kdf;
    std::memcpy(key->m_salt, salt, SaltLength);
    Secrets& s = *key->m_secrets;
    if (!runArgon2id(s.derived, sizeof s.derived, password, kdf, salt))
        return nullptr;
    randombytes_buf(s.fingerprintKey, sizeof s.fingerprintKey);
    crypto_generichash(s.fingerprint, sizeof s.fingerprint, reinterpret_cast<const uchar*>(password.constData()),
                       size_t(password.size()), s.fingerprintKey, sizeof s.fingerprintKey);
    return key;
}

std::unique_ptr<SealingKey> SealingKey::deriveWithNewSalt(const QByteArray& password, const KdfParameters& kdf)
{
    if (!sodiumReady())
        return nullptr;
    uchar salt[SaltLength];
    randombytes_buf(salt, sizeof salt);
    return derive(password, kdf, salt);
}

bool SealingKey::derivedFrom(const QByteArray& password, const KdfParameters& kdf) const
{
    if (kdf != m_kdf)
        return false;
    uchar fingerprint[crypto_generichash_BYTES];
    crypto_generichash(fingerprint, sizeof fingerprint, reinterpret_cast<const uchar*>(password.constData()),
                       size_t(password.size()), m_secrets->fingerprintKey, sizeof m_secrets->fingerprintKey);
    const bool same = sodium_memcmp(fingerprint, m_secrets->fingerprint, sizeof fingerprint) == 0;
    sodium_memzero(fingerprint, sizeof fingerprint);
    return same;
}

void SealingKey::passwordCheck(const uchar* headerStart, uchar out[CheckLength]) const
{
    crypto_generichash(out, CheckLength, headerStart, kCheckAt, m_secrets->derived + KeyLength, KeyLength);
}

const uchar* SealingKey::cipherKey() const
{
    return m_secrets->derived;
}

QByteArray seal(QByteArray stream, const SealingKey& key, const uchar* nonce)
{
    Header h;
    h.parameters = key.parameters();
    std::memcpy(h.salt, key.salt(), SaltLength);
    if (nonce)
        std::memcpy(h.nonce, nonce, NonceLength);
    else
        randombytes_buf(h.nonce, NonceLength);

    const qsizetype n = stream.size();
    QByteArray out(HeaderLength + n + TagLength, Qt::Uninitialized);
    auto* p = reinterpret_cast<uchar*>(out.data());
    writeHeaderStart(h, p);
    key.passwordCheck(p, p + kCheckAt);
    headerChecksum(p, p + kChecksumAt);
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(
        p + HeaderLength, p + HeaderLength + n, nullptr, reinterpret_cast<const uchar*>(stream.constData()),
        static_cast<unsigned long long>(n), p, HeaderLength, nullptr, h.nonce, key.cipherKey());
    secureWipe(stream);
    return out;
}

OpenResult open(QByteArray& data, const QByteArray& password)
{
    OpenResult result;
    Header h;
    result.headerError = readHeader(data.constData(), data.size(), h);
    if (result.headerError != HeaderError::None)
        return result;
    result.parameters = h.parameters;
    std::unique_ptr<SealingKey> key = SealingKey::derive(password, h.parameters, h.salt);
    if (!key) {
        result.status = OpenStatus::OutOfMemory;
        return result;
    }
    auto* p = reinterpret_cast<uchar*>(data.data()); // detaches: the deciphering is done in this array
    uchar check[CheckLength];
    key->passwordCheck(p, check);
    if (sodium_memcmp(check, h.passwordCheck, CheckLength) != 0) {
        result.status = OpenStatus::BadPassword;
        return result;
    }
    const qsizetype n = data.size() - HeaderLength - TagLength;
    uchar* text = p + HeaderLength;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt_detached(text, nullptr, text, static_cast<unsigned long long>(n),
                                                            text + n, p, HeaderLength, h.nonce,
                                                            key->cipherKey()) != 0) {
        result.status = OpenStatus::Damaged;
        return result;
    }
    // Qt drops bytes at the front of an unshared array by moving its start: nothing is copied.
    data.truncate(HeaderLength + n);
    data.remove(0, HeaderLength);
    result.key = std::move(key);
    result.status = OpenStatus::Ok;
    return result;
}

void setDerivationObserver(DerivationObserver observer)
{
    g_observer.store(observer);
}

QString describe(const KdfParameters& kdf)
{
    const QString memory = kdf.memoryKiB % 1024 == 0 ? QStringLiteral("%1 MiB").arg(kdf.memoryKiB / 1024)
                                                     : QStringLiteral("%1 KiB").arg(kdf.memoryKiB);
    return QStringLiteral("Argon2id, %1 pass%2, %3; XChaCha20-Poly1305")
        .arg(kdf.passes)
        .arg(kdf.passes == 1 ? QString() : QStringLiteral("es"))
        .arg(memory);
}

} // namespace strong
