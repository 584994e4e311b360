#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

// The program's own reader and writer of its INI file (sections in square brackets, then
// "key=value" lines). It follows the rules of the classic profile-string services, which
// QSettings does not keep:
// - section and key names are compared without regard to case; the first section and the first
//   key of a given name win;
// - a read returns at most 2047 characters; one pair of matching quotes around a value is
//   dropped, and blanks around keys and values are ignored;
// - a write changes only the value of its key, or adds the key (or the section) when missing;
//   every other line stays as it was, with its own line end.
//
// Writes are kept in memory until save(), which replaces the file atomically (temporary file,
// then rename): a failed save leaves the previous file whole.
//
// Encoding: the file is written as UTF-8 without a byte order mark. A file that starts with a
// UTF-8 or UTF-16 byte order mark keeps that encoding. A file that is not valid UTF-8 is taken
// for Windows-1252 (as written by the program on Windows) and is written back as UTF-8, so
// characters outside that code page can be stored from then on.
class IniFile
{
public:
    static constexpr int kMaxReadLength = 2047;
    // A settings file holds a few hundred short lines: a larger one than this is not read at all
    // (a file of hundreds of megabytes would cost seconds and gigabytes at every start) and, like
    // an unreadable one, never overwritten.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    IniFile() = default;
    // Same as load(path); a missing or unreadable file gives an empty one.
    explicit IniFile(const QString& path);

    // Reads the file; a missing file gives an empty one (returns true). Returns false, with the
    // contents left empty, when the file exists but cannot be read or is larger than kMaxFileSize.
    bool load(const QString& path);
    // The file was left unread for its size.
    bool tooLarge() const { return m_tooLarge; }
    // Takes bytes as the content of the file, decoded as load() decodes them; the path stays.
    void loadBytes(const QByteArray& bytes);
    QString path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }

    bool contains(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& fallback = QString()) const;
    int readInteger(const QString& section, const QString& key, int fallback) const;
    bool readBool(const QString& section, const QString& key, bool fallback) const;
    QDateTime readDateTime(const QString& section, const QString& key, const QDateTime& fallback,
                           const QLocale& locale = QLocale::system()) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void writeDateTime(const QString& section, const QString& key, const QDateTime& value,
                       const QLocale& locale = QLocale::system());

    // True when a write changed the text since the last load or save.
    bool isModified() const { return m_modified; }

    // Writes the file when it was modified (creating its folder when missing). On failure returns
    // false, leaves the file on disk as it was and sets *error to "Impossible d'écrire dans " and
    // the file path. A file that exists but could not be read at load is never overwritten.
    bool save(QString* error = nullptr);

    // The whole text as it would be saved.
    QString text() const;
    QByteArray encodedText() const;

    // Integer rules of the file: decimal, or hexadecimal after "$" or after "0x"/"0X" followed by
    // at least one more character (up to 8 digits, taken as a 32-bit pattern).
    static std::optional<int> parseInteger(const QString& text);

    // Date-times: the locale's short date format, a space and its long time format (without a
    // time-zone name); the time is left out at exactly midnight. Reading accepts both forms;
    // two-digit years fall in the 100 years around the current one. Invalid when unreadable.
    static QString formatDateTime(const QDateTime& value, const QLocale& locale = QLocale::system());
    static QDateTime parseDateTime(const QString& text, const QLocale& locale = QLocale::system());

private:
    enum class Encoding
    {
        Utf8,
        Utf8Bom,
        Utf16Le,
        Utf16Be
    };

    struct Line
    {
        QString text;
        QString eol; // "\r\n", "\n" or empty for a last line without a line end
    };

    struct Location
    {
        int sectionLine = -1; // header line, -1 when the section is missing
        int keyLine = -1;     // key line, -1 when the key is missing
        int lastLine = -1;    // last non-blank line of the section
    };

    Location locate(const QString& section, const QString& key) const;
    std::optional<QString> rawValue(const QString& section, const QString& key) const;
    void parse(const QString& text);

    QString m_path;
    QList<Line> m_lines;
    QString m_defaultEol;
    Encoding m_encoding = Encoding::Utf8;
    bool m_modified = false;
    bool m_unreadable = false; // the file exists but could not be read: never overwritten
    bool m_tooLarge = false;   // ... because of its size
};
