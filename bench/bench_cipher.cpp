// The cost of one password guess in each container, then the throughput of the compatible
// cipher: enciphering then deciphering streams of a few sizes.
//   ./build/bench/bench_cipher [MiB ...]      (default: 1 16 64)
#include "crypto/Cipher.h"
#include "crypto/StrongContainer.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        if (const int mib = std::atoi(argv[i]); mib > 0)
            sizes.push_back(mib);
    if (sizes.empty())
        sizes = {1, 16, 64};

    const QByteArray password("bench password");

    // A guess against a stolen compatible file: SHA-1, the Blowfish key schedule and the check
    // value, compared with the file's first 20 bytes.
    {
        const QByteArray target = encipherDocument(QByteArray("TRS"), "another password");
        constexpr int guesses = 20000;
        QElapsedTimer timer;
        timer.start();
        int matches = 0;
        for (int i = 0; i < guesses; ++i) {
            TCipher_Blowfish cipher;
            cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
            cipher.InitKey(password + QByteArray::number(i));
            matches += cipher.CheckValueMatches(reinterpret_cast<const uchar*>(target.constData()), 20) ? 1 : 0;
        }
        const double us = double(timer.nsecsElapsed()) / 1e3 / guesses;
        std::printf("compatible: one guess %10.1f us  (%.0f guesses/s on one core)%s\n", us, 1e6 / us,
                    matches ? "  [unexpected match]" : "");
    }
    // The same guess against a strong file: one Argon2id derivation with the calibrated cost, the
    // cost that `tresorin-cli info` shows for a document made on this machine. The calibration
    // aims at a second; the derivation is timed as an open pays it (the first, fresh memory) and as
    // a steady figure (the fastest of three).
    {
        QElapsedTimer timer;
        timer.start();
        const strong::KdfParameters kdf = strong::calibratedParameters();
        const double calibrationMs = double(timer.nsecsElapsed()) / 1e6;
        double first = 0;
        double fastest = 0;
        for (int i = 0; i < 3; ++i) {
            timer.restart();
            const auto key = strong::SealingKey::deriveWithNewSalt(password, kdf);
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            if (!key) {
                std::fprintf(stderr, "strong: the key derivation got no memory\n");
                return 1;
            }
            if (i == 0)
                first = ms;
            fastest = i == 0 ? ms : std::min(fastest, ms);
        }
        std::printf("strong:     calibrated in %.0f ms to: strong (%s)  [as info shows it; aim %.0f ms]\n",
                    calibrationMs, qPrintable(strong::describe(kdf)), strong::CalibrationTargetMs);
        std::printf("strong:     one guess %10.1f ms  (first %.1f ms; %.2f guesses/s on one core)\n", fastest, first,
                    1e3 / fastest);
    }

    for (const int mib : sizes) {
        const qsizetype length = qsizetype(mib) * 1024 * 1024;
        QByteArray plain(length, Qt::Uninitialized);
        for (qsizetype i = 0; i < length; ++i)
            plain[i] = char(i * 131 + (i >> 9));

        QElapsedTimer timer;
        timer.start();
        QByteArray enciphered = encipherDocument(plain, password);
        const qint64 encipherNs = timer.nsecsElapsed();

        timer.restart();
        QByteArray back;
        const bool ok = decipherDocument(enciphered, password, back);
        const qint64 decipherNs = timer.nsecsElapsed();

        if (!ok || back != plain) {
            std::fprintf(stderr, "%d MiB: the round trip failed\n", mib);
            return 1;
        }
        auto rate = [length](qint64 ns) { return double(length) / 1e6 / (double(ns) / 1e9); };
        std::printf("%3d MiB  encipher %7.1f MB/s  decipher %7.1f MB/s\n", mib, rate(encipherNs), rate(decipherNs));
        secureWipe(back);
    }
    return 0;
}
