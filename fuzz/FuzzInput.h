#pragma once

// Small helpers shared by the fuzz targets that take text rather than document streams.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzzinput {

// A copy of exactly the input's size, so that a read past its end is caught.
inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Splits the input at its first zero byte: the part before, and the part after (empty when none).
inline void splitAtZero(const QByteArray& input, QByteArray& first, QByteArray& second)
{
    const qsizetype zero = input.indexOf('\0');
    first = zero < 0 ? input : input.left(zero);
    second = zero < 0 ? QByteArray() : input.mid(zero + 1);
}

[[noreturn]] inline void fail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "check failed: %s\n", what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "%s\n", detail.toUtf8().constData());
    std::abort();
}

inline void require(bool condition, const char* what, const QString& detail = QString())
{
    if (!condition)
        fail(what, detail);
}

} // namespace fuzzinput
