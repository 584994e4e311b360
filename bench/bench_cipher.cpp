// Throughput of the document cipher: enciphering then deciphering streams of a few sizes.
//   ./build/bench/bench_cipher [MiB ...]      (default: 1 16 64)
#include "crypto/Cipher.h"

#include <QByteArray>
#include <QElapsedTimer>

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
