#include "crypto/OneTimeCode.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace otp {

namespace {

const EVP_MD* digestOf(Algorithm a)
{
    switch (a) {
    case Algorithm::Sha1:
        return EVP_sha1();
    case Algorithm::Sha256:
        return EVP_sha256();
    case Algorithm::Sha512:
        return EVP_sha512();
    }
    return EVP_sha1();
}

} // namespace

std::optional<QByteArray> DecodeBase32(const QString& text)
{
    QByteArray out;
    quint32 buffer = 0;
    int bits = 0;
    bool padding = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u' ' || u == u'\t')
            continue;
        if (u == u'=') {
            padding = true;
            continue;
        }
        int value = -1;
        if (u >= u'A' && u <= u'Z')
            value = u - u'A';
        else if (u >= u'a' && u <= u'z')
            value = u - u'a';
        else if (u >= u'2' && u <= u'7')
            value = 26 + (u - u'2');
        // Nothing may follow the padding.
        if (value < 0 || padding)
            return std::nullopt;
        buffer = (buffer << 5) | quint32(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            out.append(char((buffer >> bits) & 0xFF));
        }
    }
    // What is left is the end of the last group: zero bits, fewer than a byte.
    if (bits >= 5 || (buffer & ((1u << bits) - 1)) != 0)
        return std::nullopt;
    return out;
}

std::optional<Parameters> ParseUri(const QString& uri)
{
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("otpauth"), Qt::CaseInsensitive) != 0 ||
        url.host().compare(QLatin1String("totp"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QUrlQuery query(url);
    Parameters p;
    const std::optional<QByteArray> secret =
        DecodeBase32(query.queryItemValue(QStringLiteral("secret"), QUrl::FullyDecoded));
    if (!secret || secret->isEmpty())
        return std::nullopt;
    p.secret = *secret;
    if (query.hasQueryItem(QStringLiteral("digits"))) {
        bool ok = false;
        p.digits = query.queryItemValue(QStringLiteral("digits")).toInt(&ok);
        if (!ok || p.digits < 6 || p.digits > 8)
            return std::nullopt;
    }
    if (query.hasQueryItem(QStringLiteral("period"))) {
        bool ok = false;
        p.period = query.queryItemValue(QStringLiteral("period")).toInt(&ok);
        // A day is the longest period anyone uses; more is no code worth showing.
        if (!ok || p.period < 1 || p.period > 86400)
            return std::nullopt;
    }
    if (query.hasQueryItem(QStringLiteral("algorithm"))) {
        const QString a = query.queryItemValue(QStringLiteral("algorithm")).toUpper();
        if (a == QLatin1String("SHA1"))
            p.algorithm = Algorithm::Sha1;
        else if (a == QLatin1String("SHA256"))
            p.algorithm = Algorithm::Sha256;
        else if (a == QLatin1String("SHA512"))
            p.algorithm = Algorithm::Sha512;
        else
            return std::nullopt;
    }
    return p;
}

std::optional<Parameters> FindInNotes(const QString& notes)
{
    // A line break of either form ends a line; a long note is scanned without copying it whole.
    qsizetype start = 0;
    while (start < notes.size()) {
        qsizetype end = notes.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = notes.size();
        QString line = notes.mid(start, end - start).trimmed();
        // "Name: value" lines too, as imports from other managers write them ("TOTP: otpauth://...").
        const qsizetype at = line.indexOf(QLatin1String("otpauth://totp/"), 0, Qt::CaseInsensitive);
        if (at > 0 && line.left(at).trimmed().endsWith(QLatin1Char(':')))
            line = line.mid(at);
        if (line.startsWith(QLatin1String("otpauth://totp/"), Qt::CaseInsensitive))
            if (std::optional<Parameters> p = ParseUri(line))
                return p;
        start = end + 1;
    }
    return std::nullopt;
}

QString Hotp(const Parameters& p, quint64 counter)
{
    unsigned char message[8];
    for (int i = 7; i >= 0; --i) {
        message[i] = static_cast<unsigned char>(counter & 0xFF);
        counter >>= 8;
    }
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macLength = 0;
    if (!HMAC(digestOf(p.algorithm), p.secret.constData(), int(p.secret.size()), message, sizeof message, mac,
              &macLength) ||
        macLength < 20)
        return QString();
    // Dynamic truncation.
    const int offset = mac[macLength - 1] & 0x0F;
    const quint32 binary = (quint32(mac[offset] & 0x7F) << 24) | (quint32(mac[offset + 1]) << 16) |
                           (quint32(mac[offset + 2]) << 8) | quint32(mac[offset + 3]);
    quint32 modulo = 1;
    for (int i = 0; i < p.digits; ++i)
        modulo *= 10;
    OPENSSL_cleanse(mac, sizeof mac);
    return QStringLiteral("%1").arg(binary % modulo, p.digits, 10, QLatin1Char('0'));
}

QString Totp(const Parameters& p, qint64 unixTime)
{
    if (unixTime < 0 || p.period < 1)
        return QString();
    return Hotp(p, quint64(unixTime / p.period));
}

int SecondsLeft(const Parameters& p, qint64 unixTime)
{
    if (p.period < 1 || unixTime < 0)
        return 0;
    return int(p.period - unixTime % p.period);
}

} // namespace otp
