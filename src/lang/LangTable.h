#pragma once

#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

// The active language table: the ordered "key=value" lines of one built-in table.
//
// There is one per process. The UI thread replaces it (language chosen or changed); worker
// threads (FTP transfers, update check) read it at any time through Msg. A load builds a new
// immutable snapshot and swaps it in under a short lock, so a reader always sees one whole
// table, never a half-filled one.
class LangTable
{
public:
    struct Line
    {
        QString key;   // text before the first "=" of the line
        QString value; // everything after it, further "=" included
    };

    struct Snapshot
    {
        QString code;                        // code of the loaded built-in table, empty when none
        QStringList lines;                   // every line, in order, also those without "="
        QList<Line> entries;                 // lines holding "=", in order
        QHash<QString, QString> firstValues; // case-folded key -> value of its first line
    };

    static LangTable& instance();

    // Replaces the content by the lines of `text` (split at CR LF, LF or CR). `code` is kept
    // as the table's name.
    void setText(const QString& text, const QString& code = QString());
    void clear();

    // Value of the first line whose key equals `key` without regard to letter case; empty when
    // no line has that key (an empty value reads the same).
    QString lookup(const QString& key) const;

    std::shared_ptr<const Snapshot> snapshot() const;
    QString code() const;
    bool isEmpty() const;

private:
    LangTable();

    mutable QMutex m_mutex;
    std::shared_ptr<const Snapshot> m_snapshot;
};

// Codes of the built-in tables, in the order they are offered: "FR", "US".
QStringList builtInLanguageCodes();

// Raw bytes (Windows-1252, CR LF lines) of a built-in table; empty for an unknown code.
// Codes match without regard to letter case, as resource names do.
QByteArray builtInLangTableBytes(const QString& code);

// Replaces the active table by the built-in table of `code`. For a code that names no table
// it returns false, leaves the table empty and sets `error` to the "resource not found" text.
bool LoadLangTable(const QString& code, QString* error = nullptr);

// Empties the active table: every Msg then answers its key.
void clearLangTable();

// Raw value of `key` in the active table, or empty.
QString langLookup(const QString& key);

// Message text of "Messages." + key, with every "|" turned into CR LF; the key itself when the
// table holds no non-empty text for it. Safe to call from any thread.
QString Msg(const QString& key);

// A message that holds a count, in the form the language asks for that count: the row
// "Messages.<key>.1" (one) or "Messages.<key>.n" (other), the one missing standing in for the
// other; its first placeholder ("%d") is the count written with the language's digit grouping
// ("2,841", "2 841"), and the others are left for the caller's FillPlaceholders.
// English takes the "one" form for 1 alone, French for 0 and 1. The key itself when the table
// holds neither row.
QString MsgCount(const QString& key, qint64 count);

// Which form a count takes in a language: '1' (one) or 'n' (other).
QChar pluralForm(const QString& languageCode, qint64 count);

// A count written as the loaded language writes numbers (digit grouping), English when none is.
QString formatCount(qint64 count);

// Field `n` (from 1) of a "~"-separated value; empty beyond the last field.
QString ExtractField(int n, const QString& value);

// The language code to load. `args` are the command-line arguments (the program path may be
// included: it never looks like a switch). A switch "-FR" or "/FR" (any case) gives "FR", else a
// switch "-US"/"/US" gives "US"; else a non-blank `langueSetting` gives its value as written
// (trimmed; LoadLangTable matches codes without regard to case and fails for unknown ones);
// else "FR" for a French locale, "US" otherwise.
QString ChooseLanguage(const QStringList& args, const QString& langueSetting,
                       const QLocale& locale = QLocale::system());

// Code of the table currently loaded ("FR" or "US", as the built-in table names itself), empty
// when the table is empty.
QString currentLanguageCode();

// Replaces the "%s" and "%d" of a message text, in order, by the arguments; a placeholder left
// without an argument stays as it is.
QString FillPlaceholders(const QString& text, const QStringList& args);
