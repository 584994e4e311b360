// Any byte string found on the clipboard under the entry record's type, as another program may
// leave it there: Paste decodes it or refuses it, never reads past its end, and what it accepts
// is encoded back into a record that decodes to the same entry.
#include "document/EntryClipRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool sameEntry(const TFeuille& a, const TFeuille& b)
{
    const auto sameDate = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return a.Group == b.Group && a.RemapMark == b.RemapMark && a.Name == b.Name && a.Login == b.Login &&
           a.Password == b.Password && a.WebAddress == b.WebAddress && a.Notes == b.Notes &&
           sameDate(a.Created, b.Created) && sameDate(a.ModifiedAt, b.ModifiedAt) && a.IsFtpEntry == b.IsFtpEntry;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's size, so that a read past the end is caught.
    const QByteArray record(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::unique_ptr<TFeuille> entry = entryclip::decode(record);
    if (!entry)
        return 0;
    if (entry->Group != 0 || entry->RemapMark != -1)
        std::abort();
    const QByteArray again = entryclip::encode(*entry, 7);
    if (again.size() != record.size())
        std::abort();
    const std::unique_ptr<TFeuille> back = entryclip::decode(again);
    if (!back || !sameEntry(*entry, *back))
        std::abort();
    return 0;
}
