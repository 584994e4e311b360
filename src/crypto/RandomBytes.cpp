#include "crypto/RandomBytes.h"

#include <sodium.h>

namespace crypto {

void randomBytes(void* out, std::size_t size)
{
    // sodium_init is idempotent and thread-safe; randombytes_buf works even when it failed (it
    // then reads the system's source directly).
    static const int ready = sodium_init();
    (void)ready;
    randombytes_buf(out, size);
}

std::uint64_t randomU64()
{
    std::uint64_t value = 0;
    randomBytes(&value, sizeof value);
    return value;
}

} // namespace crypto
