#pragma once

#include <QtGlobal>

#include <functional>

namespace testsupport {

// A test linking this file gets, before main, a memory allocator without hidden reserves: every
// large block is a mapping of its own, returned when freed (glibc otherwise raises its threshold
// after the first large free and keeps freed blocks in the heap), and all threads share one arena
// (other arenas reserve address space that later allocations fill without new mappings). Both
// would let a child go past its limit unnoticed.

// False in a build under AddressSanitizer: it reserves terabytes of shadow address space and ends
// the process itself when an allocation fails, so a limit on the address space tests nothing of
// the program there. The normal build runs these tests.
constexpr bool addressSpaceLimitsApply()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

// The address space this process has mapped now, in bytes (VmSize), or -1 when unknown.
qint64 currentAddressSpace();

// Runs body in a forked child whose address space is limited (RLIMIT_AS) to what this process
// has mapped now plus headroom bytes, so that allocations beyond the headroom fail as they would
// on a machine out of memory. Returns body's result (0 to 255), or -signal when the child was
// killed, 252 when std::bad_alloc left body (253 another exception), or -1000 when the child
// could not be run.
// body runs in the child only: it must not use QtTest's macros, only return its verdict.
int runWithAddressSpaceHeadroom(qint64 headroom, const std::function<int()>& body);

} // namespace testsupport
