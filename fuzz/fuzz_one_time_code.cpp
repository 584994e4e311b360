// Notes as anybody may write them, read for a one-time code line: a line taken holds parameters in
// their ranges, and its code is that many digits at any time, valid for 1 to `period` seconds.
#include "FuzzInput.h"
#include "crypto/OneTimeCode.h"

#include <cstring>

using fuzzinput::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first eight bytes are the time, the rest the notes.
    qint64 when = 0;
    if (size >= sizeof when) {
        std::memcpy(&when, data, sizeof when);
        data += sizeof when;
        size -= sizeof when;
    }
    const QString notes = QString::fromUtf8(fuzzinput::bytes(data, size));
    otp::DecodeBase32(notes);
    const std::optional<otp::Parameters> p = otp::FindInNotes(notes);
    if (!p)
        return 0;
    require(p->digits >= 6 && p->digits <= 8, "digits out of range", notes);
    require(p->period >= 1, "period below one second", notes);
    require(!p->secret.isEmpty(), "an empty secret", notes);
    const QString code = otp::Totp(*p, when);
    if (when >= 0) {
        require(code.size() == p->digits, "a code of another length", notes);
        for (QChar c : code)
            require(c.isDigit(), "a code with a non-digit", notes);
        const int left = otp::SecondsLeft(*p, when);
        require(left >= 1 && left <= p->period, "seconds left out of range", notes);
    } else {
        require(code.isEmpty(), "a code before 1970", notes);
    }
    return 0;
}
