#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

// The published list of breached passwords ("Pwned Passwords"): lines "SHA1HEX:COUNT", upper-case
// hex, ordered by hash, about 40 GB. Looked up by a binary search over byte offsets of the file: a
// few dozen reads per password, the file never loaded whole, nothing ever sent anywhere.
class BreachList
{
public:
    // False (with the system's text in error()) when the file cannot be opened.
    bool open(const QString& path);
    QString error() const { return m_error; }

    // How often the password was seen in breaches: 0 when the list does not hold it; nothing when
    // the file could not be read while searching.
    std::optional<qint64> count(const QString& password);
    // The same for a SHA-1 given as 40 hex characters (either case).
    std::optional<qint64> countForHash(const QByteArray& sha1Hex);

private:
    // The first line that starts at or after `offset`: where it starts, its hash and count (the
    // hash empty past the last line). False when the file cannot be read or is not of this format.
    bool lineAt(qint64 offset, qint64& lineStart, QByteArray& hash, qint64& seen);

    QFile m_file;
    QString m_error;
};
