#include "Cipher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr int DigestLength = 20;

// memcpy must not see a null pointer, even for zero bytes, and empty arrays may have none.
void copyBytes(void* dst, const void* src, qsizetype count) noexcept
{
    if (count > 0)
        std::memcpy(dst, src, size_t(count));
}

void sha1Into(const QByteArray& bytes, uchar (&digest)[DigestLength])
{
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), digest, &length, EVP_sha1(), nullptr) != 1 ||
        length != DigestLength)
        throw std::runtime_error("SHA-1 is not available from OpenSSL");
}

// Full blocks of the chaining mode, deciphered from the feedback (fl, fr), which is left as the
// feedback after the last block. Reads each cipher block before writing its plain block, so
// src == dst is fine.
void decodeBlocks(const TBlowfish& blowfish, const uchar* src, uchar* dst, qsizetype blocks, quint32& feedLeft,
                  quint32& feedRight) noexcept
{
    for (qsizetype b = 0; b < blocks; ++b) {
        const qsizetype i = b * TBlowfish::BlockLength;
        const quint32 cipherLeft = qFromBigEndian<quint32>(src + i);
        const quint32 cipherRight = qFromBigEndian<quint32>(src + i + 4);
        quint32 left = cipherLeft;
        quint32 right = cipherRight;
        blowfish.decipherHalves(left, right);
        qToBigEndian(left ^ feedLeft, dst + i);
        qToBigEndian(right ^ feedRight, dst + i + 4);
        feedLeft ^= cipherLeft;
        feedRight ^= cipherRight;
    }
}

} // namespace

QByteArray sha1(const QByteArray& bytes)
{
    uchar digest[DigestLength];
    sha1Into(bytes, digest);
    return QByteArray(reinterpret_cast<const char*>(digest), DigestLength);
}

const char* ECipherException::what() const noexcept
{
    if (m_code == CheckValueMismatch)
        return "Raté ! Ce méta mot de passe est faux !";
    return "Cipher failure";
}

TCipher_Blowfish::TCipher_Blowfish() noexcept
{
    Wipe();
}

TCipher_Blowfish::~TCipher_Blowfish()
{
    Wipe();
    OPENSSL_cleanse(m_startVector, sizeof m_startVector);
    OPENSSL_cleanse(m_feedback, sizeof m_feedback);
}

void TCipher_Blowfish::setFlag(int bit, bool on) noexcept
{
    if (bit < 0 || bit > 31)
        return;
    if (on)
        m_flagBits |= (quint32(1) << bit);
    else
        m_flagBits &= ~(quint32(1) << bit);
}

bool TCipher_Blowfish::flag(int bit) const noexcept
{
    return bit >= 0 && bit <= 31 && (m_flagBits & (quint32(1) << bit)) != 0;
}

void TCipher_Blowfish::Wipe() noexcept
{
    setFlag(CheckValueReady, false);
    setFlag(KeySet, false);
    std::memset(m_startVector, 0xFF, sizeof m_startVector);
    std::memset(m_feedback, 0xFF, sizeof m_feedback);
    OPENSSL_cleanse(m_scratch, sizeof m_scratch);
    OPENSSL_cleanse(m_checkValue, sizeof m_checkValue);
    m_blowfish.wipe();
}

void TCipher_Blowfish::ResetFeedback() noexcept
{
    std::memcpy(m_feedback, m_startVector, BlockLength);
}

bool TCipher_Blowfish::Init(const uchar* key, int length, const uchar* initialVector) noexcept
{
    Wipe();
    if (!m_blowfish.setKey(key, qMin(length, int(MaxKeyLength))))
        return false;
    setFlag(KeySet, true);
    if (initialVector)
        std::memcpy(m_startVector, initialVector, BlockLength);
    else
        m_blowfish.encipherBlock(m_startVector); // all 0xFF after the wipe
    ResetFeedback();
    return true;
}

void TCipher_Blowfish::InitKey(const QByteArray& keyBytes)
{
    uchar digest[DigestLength];
    sha1Into(keyBytes, digest);
    Init(digest, qMin(DigestLength, int(MaxKeyLength)));
    ChainEncode(digest, m_checkValue, CheckValueLength);
    OPENSSL_cleanse(digest, sizeof digest);
    ResetFeedback();
    setFlag(CheckValueReady, true);
}

// The loops work on the two big-endian halves of each block; XOR is the same on bytes and on
// words read in one byte order, so the feedback is kept as two words.
void TCipher_Blowfish::ChainEncode(const uchar* src, uchar* dst, qsizetype length) noexcept
{
    if (length <= 0)
        return;
    quint32 feedLeft = qFromBigEndian<quint32>(m_feedback);
    quint32 feedRight = qFromBigEndian<quint32>(m_feedback + 4);
    const qsizetype full = length - length % BlockLength;
    for (qsizetype i = 0; i < full; i += BlockLength) {
        quint32 left = qFromBigEndian<quint32>(src + i) ^ feedLeft;
        quint32 right = qFromBigEndian<quint32>(src + i + 4) ^ feedRight;
        m_blowfish.encipherHalves(left, right);
        feedLeft ^= left;
        feedRight ^= right;
        qToBigEndian(left, dst + i);
        qToBigEndian(right, dst + i + 4);
    }
    if (full < length)
        codeTail(src + full, dst + full, length - full, feedLeft, feedRight);
    qToBigEndian(feedLeft, m_feedback);
    qToBigEndian(feedRight, m_feedback + 4);
}

void TCipher_Blowfish::ChainDecode(const uchar* src, uchar* dst, qsizetype length) noexcept
{
    if (length <= 0)
        return;
    quint32 feedLeft = qFromBigEndian<quint32>(m_feedback);
    quint32 feedRight = qFromBigEndian<quint32>(m_feedback + 4);
    const qsizetype full = length - length % BlockLength;
    decodeBlocks(m_blowfish, src, dst, full / BlockLength, feedLeft, feedRight);
    if (full < length)
        codeTail(src + full, dst + full, length - full, feedLeft, feedRight);
    qToBigEndian(feedLeft, m_feedback);
    qToBigEndian(feedRight, m_feedback + 4);
}

void TCipher_Blowfish::ChainDecodeParallel(const uchar* src, uchar* dst, qsizetype length, int parts)
{
    if (length <= 0)
        return;
    if (parts <= 0)
        parts = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const qsizetype blocks = length / BlockLength;
    if (parts > blocks)
        parts = int(qMax<qsizetype>(1, blocks));
    if (parts == 1) {
        ChainDecode(src, dst, length);
        return;
    }

    struct Part
    {
        qsizetype first = 0; // first block
        qsizetype count = 0; // blocks
        quint32 feedLeft = 0;
        quint32 feedRight = 0;
        bool onThread = false;
    };
    std::vector<Part> work(static_cast<size_t>(parts));
    quint32 feedLeft = qFromBigEndian<quint32>(m_feedback);
    quint32 feedRight = qFromBigEndian<quint32>(m_feedback + 4);
    // The feedback where each part starts: the running XOR of the cipher blocks before it. Taken
    // in one pass before any part writes, since the parts may overwrite the cipher text.
    qsizetype block = 0;
    for (int p = 0; p < parts; ++p) {
        Part& part = work[size_t(p)];
        part.first = blocks * p / parts;
        part.count = blocks * (p + 1) / parts - part.first;
        for (; block < part.first; ++block) {
            feedLeft ^= qFromBigEndian<quint32>(src + block * BlockLength);
            feedRight ^= qFromBigEndian<quint32>(src + block * BlockLength + 4);
        }
        part.feedLeft = feedLeft;
        part.feedRight = feedRight;
    }

    const auto run = [this, src, dst](Part& part) {
        const qsizetype offset = part.first * BlockLength;
        decodeBlocks(m_blowfish, src + offset, dst + offset, part.count, part.feedLeft, part.feedRight);
    };
    std::vector<std::thread> threads;
    threads.reserve(size_t(parts - 1));
    for (int p = 1; p < parts; ++p) {
        Part& part = work[size_t(p)];
        try {
            threads.emplace_back(run, std::ref(part));
            part.onThread = true;
        } catch (const std::system_error&) {
            // No thread to be had (memory or process limits): the calling thread does this part.
        }
    }
    for (Part& part : work)
        if (!part.onThread)
            run(part);
    for (std::thread& t : threads)
        t.join();

    Part& last = work.back();
    feedLeft = last.feedLeft;
    feedRight = last.feedRight;
    const qsizetype full = blocks * BlockLength;
    if (full < length)
        codeTail(src + full, dst + full, length - full, feedLeft, feedRight);
    qToBigEndian(feedLeft, m_feedback);
    qToBigEndian(feedRight, m_feedback + 4);
}

// A last partial block is coded the same way in both directions, with the encipherment of the
// feedback as a key stream.
void TCipher_Blowfish::codeTail(const uchar* src, uchar* dst, qsizetype length, quint32& feedLeft,
                                quint32& feedRight) noexcept
{
    quint32 left = feedLeft;
    quint32 right = feedRight;
    m_blowfish.encipherHalves(left, right);
    qToBigEndian(left, m_scratch);
    qToBigEndian(right, m_scratch + 4);
    for (qsizetype i = 0; i < length; ++i)
        dst[i] = src[i] ^ m_scratch[i];
    feedLeft ^= left;
    feedRight ^= right;
    OPENSSL_cleanse(m_scratch, sizeof m_scratch);
}

bool TCipher_Blowfish::usesCheckValue() const noexcept
{
    return flag(CheckValueReady) && flag(UseCheckValue);
}

void TCipher_Blowfish::requireKey() const
{
    // Coding with an empty schedule would silently produce a stream nobody can read back.
    if (!flag(KeySet))
        throw std::logic_error("cipher used before its key was set");
}

void TCipher_Blowfish::EncipherStream(QByteArray& stream)
{
    requireKey();
    ResetFeedback();
    const qsizetype length = stream.size();

    if (!usesCheckValue()) {
        uchar* data = reinterpret_cast<uchar*>(stream.data());
        for (qsizetype offset = 0; offset < length; offset += ChunkLength)
            ChainEncode(data + offset, data + offset, qMin<qsizetype>(ChunkLength, length - offset));
        return;
    }

    if (stream.isDetached() && stream.data_ptr().freeSpaceAtEnd() >= CheckValueLength) {
        encipherInPlace(stream);
        return;
    }

    // Growing the array would reallocate it and free the plain stream uncleared: code into a
    // new buffer instead and wipe the old one.
    QByteArray out(length + CheckValueLength, Qt::Uninitialized);
    uchar* dst = reinterpret_cast<uchar*>(out.data());
    const uchar* src = reinterpret_cast<const uchar*>(stream.constData());
    std::memcpy(dst, m_checkValue, CheckValueLength);
    for (qsizetype offset = 0; offset < length; offset += ChunkLength)
        ChainEncode(src + offset, dst + CheckValueLength + offset, qMin<qsizetype>(ChunkLength, length - offset));
    secureWipe(stream);
    stream = std::move(out);
}

// The data moves 20 bytes up while it is coded: each chunk is coded in a work buffer, and the
// 20 plain bytes that the check value or the chunk just written overtake are held aside first.
void TCipher_Blowfish::encipherInPlace(QByteArray& stream)
{
    const qsizetype length = stream.size();
    stream.resize(length + CheckValueLength); // fits in the spare capacity: no reallocation
    uchar* data = reinterpret_cast<uchar*>(stream.data());
    uchar held[CheckValueLength];
    uchar work[ChunkLength];

    copyBytes(held, data, qMin<qsizetype>(CheckValueLength, length));
    std::memcpy(data, m_checkValue, CheckValueLength);
    for (qsizetype offset = 0; offset < length;) {
        const qsizetype chunk = qMin<qsizetype>(ChunkLength, length - offset);
        const qsizetype fromHeld = qMin<qsizetype>(CheckValueLength, chunk);
        copyBytes(work, held, fromHeld);
        copyBytes(work + fromHeld, data + offset + fromHeld, chunk - fromHeld);
        const qsizetype next = offset + chunk;
        copyBytes(held, data + next, qMin<qsizetype>(CheckValueLength, length - next));
        ChainEncode(work, work, chunk);
        copyBytes(data + offset + CheckValueLength, work, chunk);
        offset = next;
    }
    OPENSSL_cleanse(held, sizeof held);
    OPENSSL_cleanse(work, sizeof work);
}

void TCipher_Blowfish::DecipherStream(const QByteArray& source, QByteArray& dest)
{
    requireKey();
    ResetFeedback();
    const uchar* src = reinterpret_cast<const uchar*>(source.constData());
    qsizetype length = source.size();

    if (usesCheckValue()) {
        if (!CheckValueMatches(src, length))
            throw ECipherException(ECipherException::CheckValueMismatch);
        src += qMin<qsizetype>(CheckValueLength, length);
        length = qMax<qsizetype>(0, length - CheckValueLength);
    }

    QByteArray out(length, Qt::Uninitialized);
    uchar* dst = reinterpret_cast<uchar*>(out.data());
    ChainDecodeParallel(src, dst, length, length < kParallelDecipherMinimum ? 1 : 0);
    secureWipe(dest);
    dest = std::move(out);
}

bool TCipher_Blowfish::CheckValueMatches(const uchar* first, qsizetype length) const noexcept
{
    uchar stored[CheckValueLength] = {};
    copyBytes(stored, first, qBound<qsizetype>(0, length, qsizetype(CheckValueLength)));
    const bool same = flag(CheckValueReady) && CRYPTO_memcmp(stored, m_checkValue, CheckValueLength) == 0;
    OPENSSL_cleanse(stored, sizeof stored);
    return same;
}

void TCipher_Blowfish::DecipherInPlace(uchar* data, qsizetype length)
{
    requireKey();
    ResetFeedback();
    ChainDecodeParallel(data, data, length, length < kParallelDecipherMinimum ? 1 : 0);
}

QByteArray TCipher_Blowfish::checkValue() const
{
    if (!flag(CheckValueReady))
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(m_checkValue), CheckValueLength);
}

QByteArray TCipher_Blowfish::startVector() const
{
    return QByteArray(reinterpret_cast<const char*>(m_startVector), BlockLength);
}

QByteArray TCipher_Blowfish::feedback() const
{
    return QByteArray(reinterpret_cast<const char*>(m_feedback), BlockLength);
}

QByteArray encipherDocument(QByteArray stream, const QByteArray& passwordBytes)
{
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey(passwordBytes);
    cipher.EncipherStream(stream);
    return stream;
}

bool decipherDocument(const QByteArray& enciphered, const QByteArray& passwordBytes, QByteArray& out)
{
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey(passwordBytes);
    try {
        cipher.DecipherStream(enciphered, out);
    } catch (const ECipherException&) {
        secureWipe(out);
        return false;
    }
    return true;
}
