#include "document/Win1252.h"

#include <QList>

#include <array>

namespace {

// Characters of bytes 0x80 to 0x9F; 0 marks the undefined ones.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char encodeOne(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] != 0 && kHigh[i] == c)
            return static_cast<char>(0x80 + i);
        if (kHigh[i] == 0 && c == char32_t(0x80 + i))
            return static_cast<char>(c); // undefined bytes round-trip through their control character
    }
    return '?';
}

} // namespace

namespace win1252 {

QByteArray fromUnicode(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    const auto ucs4 = text.toUcs4();
    for (uint c : ucs4)
        out.append(encodeOne(static_cast<char32_t>(c)));
    return out;
}

QString toUnicode(const char* data, qsizetype size)
{
    QString out;
    out.resize(size);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        char16_t c = b;
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
            c = kHigh[b - 0x80];
        dst[i] = QChar(c);
    }
    return out;
}

QString toUnicode(const QByteArray& bytes)
{
    return toUnicode(bytes.constData(), bytes.size());
}

} // namespace win1252
