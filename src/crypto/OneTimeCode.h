#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One-time codes of two-factor logins (RFC 4226 HOTP arithmetic, RFC 6238 TOTP), as kept in an
// entry's notes: a line "otpauth://totp/LABEL?secret=BASE32&digits=6&period=30&algorithm=SHA1".
// The stored document is unchanged: the line is ordinary notes text.
namespace otp {

enum class Algorithm
{
    Sha1,
    Sha256,
    Sha512
};

struct Parameters
{
    QByteArray secret; // the decoded key
    int digits = 6;    // 6 to 8
    int period = 30;   // seconds, 1 or more
    Algorithm algorithm = Algorithm::Sha1;
};

// RFC 4648 Base32 (A-Z, 2-7), letter case, spaces and "=" padding aside. Nothing for any other
// character, or for bits left over that are not zero padding.
std::optional<QByteArray> DecodeBase32(const QString& text);

// The parameters of one "otpauth://totp/..." URI; nothing when it is malformed (no secret, a
// secret that is no Base32, digits outside 6-8, a period below 1, an unknown algorithm).
std::optional<Parameters> ParseUri(const QString& uri);

// The first line of the notes that is a valid "otpauth://totp/" URI (spaces around it aside), alone
// or as the value of a "Name: value" line.
std::optional<Parameters> FindInNotes(const QString& notes);

// RFC 4226: the code for a counter, `digits` decimal digits with leading zeros.
QString Hotp(const Parameters& p, quint64 counter);

// RFC 6238: the code at a Unix time (seconds), and the seconds it stays valid.
QString Totp(const Parameters& p, qint64 unixTime);
int SecondsLeft(const Parameters& p, qint64 unixTime);

} // namespace otp
