#include "crypto/Sha256.h"

#include <openssl/evp.h>

#include <new>

namespace crypto {

void Sha256::Free::operator()(evp_md_ctx_st* ctx) const
{
    EVP_MD_CTX_free(ctx);
}

Sha256::Sha256() : m_ctx(EVP_MD_CTX_new())
{
    if (!m_ctx)
        throw std::bad_alloc();
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    // Only fails without memory, or without the default provider, which the program cannot run
    // without anyway.
    if (EVP_DigestInit_ex(m_ctx.get(), EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

void Sha256::add(QByteArrayView bytes)
{
    if (!bytes.isEmpty() && EVP_DigestUpdate(m_ctx.get(), bytes.data(), size_t(bytes.size())) != 1)
        throw std::bad_alloc();
}

void Sha256::result(unsigned char (&digest)[kLength])
{
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_ctx.get(), digest, &length) != 1 || length != kLength)
        throw std::bad_alloc();
}

QByteArray Sha256::result()
{
    unsigned char digest[kLength];
    result(digest);
    return QByteArray(reinterpret_cast<const char*>(digest), kLength);
}

} // namespace crypto
