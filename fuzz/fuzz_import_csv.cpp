// Any bytes given to the import as CSV password exports: read or refused with its place, and what is read
// goes into a document and out again through both exports (ForeignCheck.h).
#include "ForeignCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    foreigncheck::check(fuzzinput::bytes(data, size), foreign::Format::Csv);
    return 0;
}
