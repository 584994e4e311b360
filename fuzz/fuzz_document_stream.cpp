// Any byte string given to the document stream reader, as after deciphering a damaged file.
#include "DocumentReadCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzcheck::readWriteRead(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
