// The strong container's header reader on arbitrary input, which stands for a whole stored file.
// Each input is read as it is, then again with its header checksum made right, so that the checks
// behind the checksum (version, costs) are reached too. A header that passes must hold costs in
// the accepted ranges and be written back to the same bytes; with the smallest cost it is opened,
// and only a password check can stop it there: nothing that was not derived is ever accepted.
#include "FuzzInput.h"
#include "crypto/StrongContainer.h"

#include <QtEndian>

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

int g_derivations = 0;
strong::KdfParameters g_derived;

void noteDerivation(const strong::KdfParameters& kdf)
{
    ++g_derivations;
    g_derived = kdf;
}

void check(const QByteArray& file)
{
    strong::Header h;
    const strong::HeaderError error = strong::readHeader(file.constData(), file.size(), h);
    if (error == strong::HeaderError::None) {
        if (!strong::parametersAccepted(h.parameters))
            fuzzinput::fail("a header with costs out of range was accepted");
        if (strong::writeHeader(h) != file.left(strong::HeaderLength))
            fuzzinput::fail("an accepted header is not written back to the same bytes");
    }
    if (error == strong::HeaderError::Parameters && file.size() >= strong::HeaderLength) {
        quint32 passes = 0;
        quint32 memory = 0;
        std::memcpy(&passes, file.constData() + 12, 4);
        std::memcpy(&memory, file.constData() + 16, 4);
        if (strong::parametersAccepted({qFromLittleEndian(passes), qFromLittleEndian(memory)}))
            fuzzinput::fail("costs in range were refused");
    }

    g_derivations = 0;
    QByteArray data = file;
    const bool cheap =
        error == strong::HeaderError::None && h.parameters == strong::KdfParameters{1, strong::MinMemoryKiB};
    if (error != strong::HeaderError::None || cheap) {
        const strong::OpenResult r = strong::open(data, "fuzz");
        if (error != strong::HeaderError::None && (r.status != strong::OpenStatus::Damaged || g_derivations != 0))
            fuzzinput::fail("a refused header went further");
        if (cheap && r.status == strong::OpenStatus::Ok && !(g_derivations == 1 && g_derived == h.parameters))
            fuzzinput::fail("opened without deriving its key");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = [] {
        strong::setDerivationObserver(noteDerivation);
        return sodium_init() >= 0;
    }();
    if (!ready)
        return 0;
    const QByteArray file = fuzzinput::bytes(data, size);
    check(file);
    if (file.size() >= strong::HeaderLength) {
        QByteArray repaired = file;
        auto* p = reinterpret_cast<uchar*>(repaired.data());
        crypto_generichash(p + 76, strong::CheckLength, p, 76, nullptr, 0);
        check(repaired);
    }
    return 0;
}
