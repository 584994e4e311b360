#include "SecureBytes.h"

#include <openssl/crypto.h>

namespace {
WipeObserver g_textWipeObserver = nullptr;
WipeObserver g_bytesWipeObserver = nullptr;
} // namespace

void secureWipe(QByteArray& bytes) noexcept
{
    auto& d = bytes.data_ptr();
    // A shared buffer still belongs to somebody else, and raw data is not ours to write.
    if (!d.isShared() && d.constAllocatedCapacity() > 0) {
        char* begin = d.data() - d.freeSpaceAtBegin();
        const qsizetype length = d.freeSpaceAtBegin() + d.size + d.freeSpaceAtEnd();
        OPENSSL_cleanse(begin, size_t(length));
        if (g_bytesWipeObserver)
            g_bytesWipeObserver(begin, length);
    }
    bytes.clear();
}

void setBytesWipeObserver(WipeObserver observer) noexcept
{
    g_bytesWipeObserver = observer;
}

void secureWipe(QString& text) noexcept
{
    auto& d = text.data_ptr();
    if (!d.isShared() && d.constAllocatedCapacity() > 0) {
        char16_t* begin = d.data() - d.freeSpaceAtBegin();
        const qsizetype length = d.freeSpaceAtBegin() + d.size + d.freeSpaceAtEnd();
        OPENSSL_cleanse(begin, size_t(length) * sizeof(char16_t));
        if (g_textWipeObserver)
            g_textWipeObserver(begin, length * qsizetype(sizeof(char16_t)));
    }
    text.clear();
}

void setTextWipeObserver(WipeObserver observer) noexcept
{
    g_textWipeObserver = observer;
}

SecureBytes::SecureBytes(QByteArray bytes) : m_bytes(std::move(bytes))
{
    m_bytes.detach();
}

SecureBytes& SecureBytes::operator=(SecureBytes&& other) noexcept
{
    if (this != &other) {
        secureWipe(m_bytes);
        m_bytes = std::move(other.m_bytes);
    }
    return *this;
}

void SecureBytes::assign(QByteArray bytes)
{
    secureWipe(m_bytes);
    m_bytes = std::move(bytes);
    m_bytes.detach();
}

void SecureBytes::clearFrom(qsizetype offset) noexcept
{
    auto& d = m_bytes.data_ptr();
    if (!d.isShared() && d.constAllocatedCapacity() > 0) {
        offset = qBound<qsizetype>(0, offset, d.size);
        OPENSSL_cleanse(d.data() - d.freeSpaceAtBegin(), size_t(d.freeSpaceAtBegin()));
        OPENSSL_cleanse(d.data() + offset, size_t(d.size - offset + d.freeSpaceAtEnd()));
    }
    m_bytes.clear();
}
