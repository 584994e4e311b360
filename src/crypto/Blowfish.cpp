#include "Blowfish.h"

#include <openssl/blowfish.h>
#include <openssl/crypto.h>

static_assert(sizeof(BF_KEY) == TBlowfish::ScheduleLength, "unexpected Blowfish key schedule size");
static_assert(alignof(BF_KEY) <= 8, "unexpected Blowfish key schedule alignment");
static_assert(sizeof(BF_LONG) == sizeof(quint32), "unexpected Blowfish word size");

namespace {
BF_KEY* schedule(uchar* bytes)
{
    return reinterpret_cast<BF_KEY*>(bytes);
}
const BF_KEY* schedule(const uchar* bytes)
{
    return reinterpret_cast<const BF_KEY*>(bytes);
}
} // namespace

TBlowfish::TBlowfish() noexcept
{
    wipe();
}

TBlowfish::~TBlowfish()
{
    wipe();
}

bool TBlowfish::setKey(const uchar* key, int length) noexcept
{
    wipe();
    if (!key || length <= 0)
        return false;
    BF_set_key(schedule(m_schedule), qMin(length, MaxKeyLength), key);
    return true;
}

void TBlowfish::encipherBlock(uchar* block) const noexcept
{
    BF_ecb_encrypt(block, block, schedule(m_schedule), BF_ENCRYPT);
}

void TBlowfish::decipherBlock(uchar* block) const noexcept
{
    BF_ecb_encrypt(block, block, schedule(m_schedule), BF_DECRYPT);
}

void TBlowfish::encipherHalves(quint32& left, quint32& right) const noexcept
{
    BF_LONG data[2] = {left, right};
    BF_encrypt(data, schedule(m_schedule));
    left = data[0];
    right = data[1];
}

void TBlowfish::decipherHalves(quint32& left, quint32& right) const noexcept
{
    BF_LONG data[2] = {left, right};
    BF_decrypt(data, schedule(m_schedule));
    left = data[0];
    right = data[1];
}

void TBlowfish::wipe() noexcept
{
    OPENSSL_cleanse(m_schedule, sizeof m_schedule);
}
