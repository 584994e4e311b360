#pragma once

#include <cstddef>
#include <cstdint>

namespace crypto {

// Fills out with size bytes from the system's cryptographic source (libsodium's randombytes).
void randomBytes(void* out, std::size_t size);

// One random 64-bit value from the same source.
std::uint64_t randomU64();

} // namespace crypto
