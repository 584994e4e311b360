#include "platform/Win1252.h"

#include <array>

namespace {

// Characters of bytes 0x80 to 0x9F; 0 marks the undefined ones.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char encodeOne(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    if (c <= 0x9F)
        // Only the undefined bytes keep their control character; the others mean something else.
        return kHigh[c - 0x80] == 0 ? static_cast<char>(c) : '?';
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

// Calls put(byte) once per character of text.
template <typename Put> void encode(const QString& text, Put put)
{
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = p[i];
        if (c.isHighSurrogate() && i + 1 < n && p[i + 1].isLowSurrogate()) {
            ++i; // one character outside the basic plane: one "?"
            put('?');
        } else if (c.isSurrogate()) {
            put('?');
        } else {
            put(encodeOne(c.unicode()));
        }
    }
}

} // namespace

namespace win1252 {

qsizetype encodedSize(const QString& text)
{
    qsizetype size = 0;
    encode(text, [&size](char) { ++size; });
    return size;
}

qsizetype appendTo(QByteArray& out, const QString& text)
{
    const qsizetype before = out.size();
    encode(text, [&out](char b) { out.append(b); });
    return out.size() - before;
}

qsizetype writeTo(char* dst, const QString& text)
{
    char* p = dst;
    encode(text, [&p](char b) { *p++ = b; });
    return p - dst;
}

QByteArray fromUnicode(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    appendTo(out, text);
    return out;
}

QString toUnicode(const char* data, qsizetype size)
{
    if (size <= 0)
        return QString();
    // Latin-1 agrees with the code page everywhere but on 0x80-0x9F: convert with Qt's fast
    // routine, then put the typographic characters in place.
    QString out = QString::fromLatin1(data, size);
    QChar* dst = nullptr;
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0) {
            if (!dst)
                dst = out.data();
            dst[i] = QChar(kHigh[b - 0x80]);
        }
    }
    return out;
}

QString toUnicode(const QByteArray& bytes)
{
    return toUnicode(bytes.constData(), bytes.size());
}

bool canHold(QChar c)
{
    return !c.isSurrogate() && (c.unicode() == u'?' || encodeOne(c.unicode()) != '?');
}

qsizetype unholdableCount(const QString& text)
{
    qsizetype count = 0;
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i].isHighSurrogate() && i + 1 < n && p[i + 1].isLowSurrogate())
            ++i;
        if (!canHold(p[i]))
            ++count;
    }
    return count;
}

} // namespace win1252
