#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

// The published list of breached passwords ("Pwned Passwords"): lines "SHA1HEX:COUNT", upper-case
// hex, ordered by hash, about 40 GB. Looked up by a binary search over byte offsets of the file: a
// few dozen reads per password, the file never loaded whole, nothing ever sent anywhere.
//
// Only a regular file is taken (a pipe would block the search for ever, a device never ends), and
// its order is checked on the way: every line read is compared with the one after it and with the
// lines the search has already passed, so that an unordered list is an error, never a "not
// breached" it cannot vouch for.
class BreachList
{
public:
    enum class Fault
    {
        None,
        Unreadable,    // the system could not open or read it (its text in error())
        NotAFile,      // a pipe, a device, a folder...
        NotThisFormat, // a line that is not "40 hex digits:count"
        NotInOrder     // lines out of the order of their hashes
    };

    // False (with the fault and an English text in error()) when the file cannot be opened or is
    // no regular file. Never blocks, whatever the path names.
    bool open(const QString& path);
    Fault fault() const { return m_fault; }
    QString error() const { return m_error; }

    // How often the password was seen in breaches: 0 when the list does not hold it; nothing when
    // the file could not be read while searching, or was found out of order or of another format.
    std::optional<qint64> count(const QString& password);
    // The same for a SHA-1 given as 40 hex characters (either case).
    std::optional<qint64> countForHash(const QByteArray& sha1Hex);

private:
    // The first line that starts at or after `offset`: where it starts, where the next one starts,
    // its hash and count (the hash empty past the last line). False when the file cannot be read
    // or is not of this format.
    bool lineAt(qint64 offset, qint64& lineStart, qint64& nextStart, QByteArray& hash, qint64& seen);
    bool fail(Fault fault, const QString& text);

    QFile m_file;
    Fault m_fault = Fault::None;
    QString m_error;
};
