#pragma once

#include <QByteArray>
#include <QString>

// Deciphered document streams, passwords and key material live in QByteArray buffers, which Qt
// shares implicitly and frees without clearing. These helpers clear them before release.
//
// How to keep a deciphered stream wiped:
//  - hold it in a SecureBytes (or pass the QByteArray by reference and call secureWipe() on every
//    path out, exceptions included);
//  - do not copy the QByteArray out of it: a copy shares the same bytes, and secureWipe() never
//    clears bytes that another array still refers to (it would corrupt that array), it only
//    drops its own reference; the last owner must wipe;
//  - avoid growing such an array in small steps: a reallocation frees the old buffer uncleared;
//    size it once (resize/reserve) before filling it.

// Clears every byte of the array's allocation (spare capacity included) when this array is its
// only owner, then empties it. A shared or raw-data array is only released.
void secureWipe(QByteArray& bytes) noexcept;

// The same for text: a typed password lives in a QString before it becomes key bytes.
void secureWipe(QString& text) noexcept;

// Tests: called with every text buffer secureWipe(QString&) has just cleared, before it is
// released, so that a test can see a secret was wiped without looking at freed memory.
using WipeObserver = void (*)(const void* begin, qsizetype bytes);
void setTextWipeObserver(WipeObserver observer) noexcept;
// The same for byte buffers cleared by secureWipe(QByteArray&) (SecureBytes included).
void setBytesWipeObserver(WipeObserver observer) noexcept;

// Owns one unshared QByteArray and wipes it when cleared, replaced or destroyed.
// Copying is disabled so that the bytes are never shared behind its back; moving transfers them.
class SecureBytes
{
public:
    SecureBytes() = default;
    // Takes over the bytes; the argument is detached first so that the buffer owned here is
    // not shared with anybody.
    explicit SecureBytes(QByteArray bytes);
    ~SecureBytes() { secureWipe(m_bytes); }

    SecureBytes(const SecureBytes&) = delete;
    SecureBytes& operator=(const SecureBytes&) = delete;
    SecureBytes(SecureBytes&& other) noexcept : m_bytes(std::move(other.m_bytes)) {}
    SecureBytes& operator=(SecureBytes&& other) noexcept;

    // Wipes the previous content, then takes over the new bytes as the constructor does.
    void assign(QByteArray bytes);
    void clear() noexcept { secureWipe(m_bytes); }
    // Wipes from offset to the end of the allocation, then empties: for a buffer whose bytes before
    // offset were wiped already and may have been handed back to the system, where wiping them
    // again would only bring the pages back.
    void clearFrom(qsizetype offset) noexcept;

    // The buffer itself, for reading or filling in place. Keep the reference; a QByteArray copied
    // from it shares the bytes and escapes the wipe.
    QByteArray& bytes() noexcept { return m_bytes; }
    const QByteArray& bytes() const noexcept { return m_bytes; }
    qsizetype size() const noexcept { return m_bytes.size(); }
    bool isEmpty() const noexcept { return m_bytes.isEmpty(); }

private:
    QByteArray m_bytes;
};
