#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

// The strong container: an opt-in stored form of a document stream, beside the compatible one of
// Cipher.h. The key comes from Argon2id over the password bytes with a random salt and a cost
// chosen when the protection is switched on; the stream is sealed with XChaCha20-Poly1305, the
// header being the associated data, so that every byte of the file is authenticated.
//
// Layout (integers little-endian):
//   offset  length  content
//        0       8  magic 89 'T' 'R' 'S' 'X' 0D 0A 1A
//        8       1  container version (1)
//        9       1  key derivation (1: Argon2id v1.3, one lane)
//       10       1  cipher (1: XChaCha20-Poly1305, IETF construction)
//       11       1  0
//       12       4  Argon2id passes
//       16       4  Argon2id memory in KiB
//       20      16  salt
//       36      24  nonce
//       60      16  password check: BLAKE2b-128 of bytes 0..59 keyed by the derived check key
//       76      16  header checksum: BLAKE2b-128 of bytes 0..75
//       92       N  the document stream, enciphered
//     92+N      16  the authentication tag
//
// The password check tells a wrong password from a damaged file: it needs the derived key, so a
// mismatch means a wrong password (or a header altered on purpose, checksum included); the
// checksum catches accidental damage of the header, and the tag any change elsewhere.
// Derived keys live in libsodium's guarded memory and are wiped when released.
namespace strong {

constexpr int MagicLength = 8;
constexpr int HeaderLength = 92;
constexpr int TagLength = 16;
constexpr int SaltLength = 16;
constexpr int NonceLength = 24;
constexpr int CheckLength = 16;
constexpr int KeyLength = 32;
constexpr quint8 ContainerVersion = 1;
constexpr quint8 KdfArgon2id = 1;
constexpr quint8 CipherXChaCha20Poly1305 = 1;

struct KdfParameters
{
    quint32 passes = 0;
    quint32 memoryKiB = 0;

    bool isSet() const { return passes != 0 || memoryKiB != 0; }
    friend bool operator==(const KdfParameters& a, const KdfParameters& b)
    {
        return a.passes == b.passes && a.memoryKiB == b.memoryKiB;
    }
    friend bool operator!=(const KdfParameters& a, const KdfParameters& b) { return !(a == b); }
};

// What a file may ask for. A header outside these ranges is refused before anything is
// allocated: the bound on memory times passes caps the time one open can be made to take (about
// ten seconds on a machine that calibrates to one).
constexpr quint32 MinMemoryKiB = 8 * 1024;
constexpr quint32 MaxMemoryKiB = 1024 * 1024;
constexpr quint32 MinPasses = 1;
constexpr quint32 MaxPasses = 64;
constexpr quint64 MaxCostKiBPasses = quint64(8) * 1024 * 1024;
bool parametersAccepted(const KdfParameters& kdf);

// What a new document may be given (calibrated, or chosen on the command line): at least
// 64 MiB. Tests go lower through setCalibratedParametersForTests only.
constexpr quint32 CreationMinMemoryKiB = 64 * 1024;
bool parametersForCreation(const KdfParameters& kdf);

// The parameters new strong documents get: calibrated once per process to about one second of
// derivation on this machine (calibrateWith over the real clock), with 64 or 256 MiB and within the
// accepted ranges. The first call measures a few small derivations (about half a second).
KdfParameters calibratedParameters();

// The calibration's reckoning, apart from the clock. `measure` gives the milliseconds one
// derivation with the given parameters takes, negative when it could not run. Each probe (one
// pass, then three passes, over 64 MiB) is measured several times and the fastest taken: the
// slower runs paid for a busy moment of the machine. The time of a derivation is then its set-up
// (mostly the page faults of its fresh memory, which every real derivation pays too) plus the
// passes, both growing with the memory; 256 MiB is taken when three passes of it fit in the
// second, else 64 MiB, and the passes fill the second. A probe that cannot run gives the floor:
// 3 passes over 64 MiB.
using DerivationTimer = std::function<double(const KdfParameters& kdf)>;
constexpr double CalibrationTargetMs = 1000;
constexpr int CalibrationRepeats = 3;
KdfParameters calibrateWith(const DerivationTimer& measure);
// Tests: fixed parameters instead of the calibration (a zero KdfParameters goes back to it).
void setCalibratedParametersForTests(const KdfParameters& kdf);

// Whether the bytes start like a strong container: at least 6 of the 8 magic bytes in place, so
// that a header damaged in its magic is still told apart from a file of another kind.
bool looksLikeContainer(const char* data, qsizetype size);

struct Header
{
    quint8 version = ContainerVersion;
    quint8 kdf = KdfArgon2id;
    quint8 cipher = CipherXChaCha20Poly1305;
    KdfParameters parameters;
    uchar salt[SaltLength] = {};
    uchar nonce[NonceLength] = {};
    uchar passwordCheck[CheckLength] = {};
};

enum class HeaderError
{
    None,
    Truncated, // shorter than a header and a tag
    Magic,     // not a strong container at all
    Checksum,  // the header's bytes changed
    Version,   // a container version, key derivation or cipher this program does not know
    Parameters // memory or passes outside the accepted ranges
};

// Reads and checks the header at the start of a stored document of `size` bytes (the whole
// file: a file too short to hold a header and a tag is Truncated). Allocates nothing.
HeaderError readHeader(const char* data, qsizetype size, Header& out);

// The 92 header bytes of `header`, checksum computed (the password check is taken as it is).
QByteArray writeHeader(const Header& header);

// A key derived from a password for one salt and set of parameters, in guarded memory: the
// cipher key and the check key. It is kept with the open document so that saving does not pay
// for the derivation again; each save draws a fresh nonce.
class SealingKey
{
public:
    ~SealingKey();
    SealingKey(const SealingKey&) = delete;
    SealingKey& operator=(const SealingKey&) = delete;

    // Argon2id over the password bytes. Null when the memory cannot be had (guarded memory, or
    // the derivation's own). The parameters must be accepted (parametersAccepted).
    static std::unique_ptr<SealingKey> derive(const QByteArray& password, const KdfParameters& kdf,
                                              const uchar salt[SaltLength]);
    // The same with a fresh random salt.
    static std::unique_ptr<SealingKey> deriveWithNewSalt(const QByteArray& password, const KdfParameters& kdf);

    // Whether this key was derived from these password bytes with these parameters (compared
    // through a keyed hash: the password itself is not kept here).
    bool derivedFrom(const QByteArray& password, const KdfParameters& kdf) const;

    const KdfParameters& parameters() const { return m_kdf; }
    const uchar* salt() const { return m_salt; }
    // Bytes 0..59 of a header with this key's parameters and salt: the password check over them.
    void passwordCheck(const uchar* headerStart, uchar out[CheckLength]) const;
    const uchar* cipherKey() const;

private:
    SealingKey() = default;
    struct Secrets;
    Secrets* m_secrets = nullptr; // guarded memory
    KdfParameters m_kdf;
    uchar m_salt[SaltLength] = {};
};

// The stored form of a document stream under `key`: header, enciphered stream, tag. The stream
// is wiped when this array was its only owner. `nonce` is for tests; normally a random one.
QByteArray seal(QByteArray stream, const SealingKey& key, const uchar* nonce = nullptr);

enum class OpenStatus
{
    Ok,
    BadPassword, // the password check does not match
    Damaged,     // too short, header damaged or unknown, parameters out of range, or the tag fails
    OutOfMemory  // the derivation could not get its memory
};

struct OpenResult
{
    OpenStatus status = OpenStatus::Damaged;
    HeaderError headerError = HeaderError::None;
    KdfParameters parameters;        // as the header gives them, once it was read
    std::unique_ptr<SealingKey> key; // Ok: the key that opened it, for the next saves
};

// Opens a strong container held in `data` (the whole stored document), in place: on Ok, `data`
// holds the document stream; otherwise its content is unspecified (libsodium clears a refused
// text). Wipe `data` when done.
OpenResult open(QByteArray& data, const QByteArray& password);

// Tests: called with the parameters of every derivation just before it starts.
using DerivationObserver = void (*)(const KdfParameters& kdf);
void setDerivationObserver(DerivationObserver observer);

// "Argon2id, 6 passes, 256 MiB; XChaCha20-Poly1305" (English, for the command line).
QString describe(const KdfParameters& kdf);

} // namespace strong
