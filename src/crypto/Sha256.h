#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

struct evp_md_ctx_st;

namespace crypto {

// SHA-256 fed in pieces, through OpenSSL (which uses the processor's SHA instructions where it has
// them: content hashes of a million entries take a fraction of a second). One object may hash
// many messages: reset() starts the next.
class Sha256
{
public:
    static constexpr int kLength = 32;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void reset();
    void add(QByteArrayView bytes);
    // The digest of what was added since the last reset; the object must be reset before reuse.
    QByteArray result();
    void result(unsigned char (&digest)[kLength]);

private:
    struct Free
    {
        void operator()(evp_md_ctx_st* ctx) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> m_ctx;
};

} // namespace crypto
