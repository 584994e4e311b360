#pragma once

#include "Blowfish.h"
#include "SecureBytes.h"

#include <QByteArray>
#include <QString>

#include <exception>

// SHA-1 digest (20 bytes) of the given bytes.
QByteArray sha1(const QByteArray& bytes);

// Failure raised by the cipher. The only code is CheckValueMismatch: the first 20 bytes of an
// enciphered document are not those of the password (wrong password, damaged or foreign file).
// The text is internal; the open pipeline shows its own message instead.
class ECipherException : public std::exception
{
public:
    enum Code
    {
        CheckValueMismatch = 1
    };

    explicit ECipherException(int code) noexcept : m_code(code) {}
    int code() const noexcept { return m_code; }
    // UTF-8.
    const char* what() const noexcept override;
    QString message() const { return QString::fromUtf8(what()); }

private:
    int m_code;
};

// The password-keyed cipher of stored documents: Blowfish keyed by the SHA-1 digest of the
// password bytes, with its own chaining mode and a 20-byte check value in front of the data.
// Every document enciphered under one password starts with the same 20 bytes, which is how a
// wrong password is recognised before anything is deciphered. Made for one operation and
// destroyed right after; it wipes its key schedule, vectors and scratch block on destruction.
//
// Usage: make it, setFlag(UseCheckValue, true), InitKey(password bytes), then EncipherStream or
// DecipherStream. encipherDocument()/decipherDocument() below do exactly that.
class TCipher_Blowfish
{
public:
    enum FlagBit
    {
        CheckValueReady = 0, // set by InitKey
        UseCheckValue = 8,   // write and verify the check value in front of the data
        KeySet = 9           // the key schedule is set up
    };

    static constexpr int ChainMode = 0; // the one chaining mode, described at ChainEncode
    static constexpr int BlockLength = TBlowfish::BlockLength;
    static constexpr int MaxKeyLength = TBlowfish::MaxKeyLength;
    static constexpr int ScheduleLength = TBlowfish::ScheduleLength;
    static constexpr int CheckValueLength = 20;
    // Streams are coded in chunks of this size with the feedback carried across; being a
    // multiple of the block length, the result is that of one pass over the whole stream.
    static constexpr int ChunkLength = 4096;

    // All flag bits clear, everything wiped.
    TCipher_Blowfish() noexcept;
    ~TCipher_Blowfish();
    TCipher_Blowfish(const TCipher_Blowfish&) = delete;
    TCipher_Blowfish& operator=(const TCipher_Blowfish&) = delete;

    void setFlag(int bit, bool on) noexcept;
    bool flag(int bit) const noexcept;
    quint32 flagBits() const noexcept { return m_flagBits; }

    // Sets the key schedule up from raw key bytes (cut to MaxKeyLength) and sets KeySet.
    // StartVector becomes `initialVector` (BlockLength bytes) when given, else the encipherment
    // of eight 0xFF bytes under the new key; Feedback = StartVector. Returns false, leaving the
    // cipher wiped, for an empty key.
    bool Init(const uchar* key, int length, const uchar* initialVector = nullptr) noexcept;

    // Keys the cipher from the SHA-1 digest of `keyBytes` (any length, empty allowed) and
    // computes the check value: the digest enciphered with ChainEncode from StartVector.
    // Leaves Feedback = StartVector and sets CheckValueReady.
    void InitKey(const QByteArray& keyBytes);

    // The chaining mode, continuing from the current Feedback F; `src` and `dst` may be the
    // same buffer. Full blocks: C = E(P ^ F), F ^= C (deciphering: P = D(C) ^ F, F ^= C).
    // A final partial block of r bytes, both ways: T = E(F), out[i] = in[i] ^ T[i] for i < r,
    // F ^= T. Length 0 changes nothing.
    void ChainEncode(const uchar* src, uchar* dst, qsizetype length) noexcept;
    void ChainDecode(const uchar* src, uchar* dst, qsizetype length) noexcept;

    // Deciphers `length` bytes as one ChainDecode from the current Feedback would, split over up to
    // `parts` threads (0: as many as the machine has cores). Every feedback is the XOR of the
    // previous one and the previous cipher block, so the feedback at any block follows from the
    // cipher text alone and each part can start on its own. `src` and `dst` may be the same buffer
    // (the feedbacks where the parts start are taken before anything is overwritten). Short data,
    // and any part whose thread cannot be started, is done on the calling thread.
    void ChainDecodeParallel(const uchar* src, uchar* dst, qsizetype length, int parts = 0);

    void ResetFeedback() noexcept;
    // Clears CheckValueReady and KeySet, fills StartVector and Feedback with 0xFF, and clears
    // the scratch block, the key schedule and the check value.
    void Wipe() noexcept;

    // Replaces the plain document stream of N bytes by the enciphered document of N + 20 bytes:
    // check value, then the data enciphered from StartVector. With spare capacity of 20 bytes
    // and no other owner the work is done inside the array; otherwise into a new buffer, and
    // the old one is wiped if this array was its only owner.
    // Without CheckValueReady or UseCheckValue there is no check value and the size is kept.
    // Throws std::logic_error when no key is set.
    void EncipherStream(QByteArray& stream);

    // Verifies the check value at the start of `source` (missing bytes of a source shorter than
    // 20 count as 0), then replaces `dest` by the deciphered data (source length - 20 bytes).
    // On a mismatch throws ECipherException(CheckValueMismatch) with `dest` untouched.
    // Without CheckValueReady or UseCheckValue nothing is verified and all of `source` is data.
    // Throws std::logic_error when no key is set. The previous content of `dest` is wiped
    // (see secureWipe) before it is replaced.
    void DecipherStream(const QByteArray& source, QByteArray& dest);

    // Whether the first bytes of a stored document are this key's check value. A source shorter
    // than 20 bytes is compared with its missing bytes taken as 0. Lets a caller refuse a wrong
    // password, or a file that is not a document, before reading the rest of it.
    bool CheckValueMatches(const uchar* first, qsizetype length) const noexcept;

    // Deciphers the data that follows the check value, in place, from StartVector, over the
    // machine's cores. With the check value in use, the caller has verified it first.
    // Throws std::logic_error when no key is set.
    void DecipherInPlace(uchar* data, qsizetype length);

    // The 20-byte check value computed by InitKey (empty before).
    QByteArray checkValue() const;
    // StartVector and Feedback, for tests and diagnostics of the chaining.
    QByteArray startVector() const;
    QByteArray feedback() const;

private:
    bool usesCheckValue() const noexcept;
    void requireKey() const;
    void encipherInPlace(QByteArray& stream);
    void codeTail(const uchar* src, uchar* dst, qsizetype length, quint32& feedLeft, quint32& feedRight) noexcept;

    quint32 m_flagBits = 0;
    TBlowfish m_blowfish;
    uchar m_scratch[BlockLength];
    uchar m_startVector[BlockLength];
    uchar m_feedback[BlockLength];
    uchar m_checkValue[CheckValueLength];
};

// The stored form of a document stream under a password: `passwordBytes` are the Windows-1252
// bytes of the meta password (one byte per character, "?" for those the code page lacks).
// A stream moved in and not shared is enciphered in its own buffer.
QByteArray encipherDocument(QByteArray stream, const QByteArray& passwordBytes);

// Deciphers a stored document. On a wrong password (or a file that is not an enciphered
// document) returns false and leaves `out` empty. `out` holds the plain document stream:
// wipe it with secureWipe() when done, or move it into a SecureBytes.
bool decipherDocument(const QByteArray& enciphered, const QByteArray& passwordBytes, QByteArray& out);

// Below this length a decipherment stays on one thread: starting another costs more than it saves.
constexpr qsizetype kParallelDecipherMinimum = 256 * 1024;
