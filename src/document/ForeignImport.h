#pragma once

#include "document/DocumentModel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Passwords brought in from other managers and from browsers: KeePass 2 XML (KeePass, KeePassXC),
// CSV exports (KeePassXC, Chrome, Edge, Firefox, Bitwarden, LastPass, and any other with a
// password column and a name or address column), Bitwarden's unencrypted JSON, and our own JSON.
// Every reader fills an ImportedData and nothing else: the document is only touched by
// addImported(), once the whole file has been read, checked and, where needed, made storable.
namespace foreign {

enum class Format
{
    Json,          // our own JSON (docjson)
    KeePassXml,    // KeePass 2 XML export
    Csv,           // CSV with a header row
    BitwardenJson, // Bitwarden's unencrypted JSON export
};

// The names of the command line: "json", "keepass-xml", "csv", "bitwarden-json".
QString formatName(Format format);
bool formatFromName(const QString& name, Format& format);

// The format of a file, from its first bytes: "<" is XML, "{" is JSON (Bitwarden's when its first
// member is one of Bitwarden's), anything else is taken for CSV. Leading spaces and a byte order
// mark are skipped; a text in UTF-16 or UTF-32 (wideText) is looked at as its characters.
Format detectFormat(const QByteArray& bytes);

// Whether bytes are a text in UTF-16 or UTF-32: a byte order mark, or the zero bytes of UTF-16
// around its first character (an export saved as "Unicode").
bool wideText(const QByteArray& bytes);
// Such a text as UTF-8, for the readers that take UTF-8 (CSV, JSON); false, with nothing in out,
// when it does not decode whole.
bool wideTextAsUtf8(const QByteArray& bytes, QByteArray& out);
// A UTF-16 text without a byte order mark, with the mark its byte order needs in front (the XML
// reader recognises UTF-16 by it); empty for any other text.
QByteArray markedWideText(const QByteArray& bytes);

// Beyond these, a file is refused rather than read: no export of a real password manager comes
// near them, and a hostile file could otherwise make the program hold gigabytes.
constexpr qsizetype kMaxFieldChars = 1 << 20; // one text field
constexpr int kMaxGroupDepth = 1000;          // nesting of groups

// The fault of a refused file: where it is (line and column from 1; 0 when unknown) and what.
struct ImportError
{
    qint64 line = 0;
    qint64 column = 0;
    QString place; // for JSON faults found after parsing: "items[3].login"
    QString what;
    // "line 3, column 7: what", "items[3].login: what" or "what".
    QString text() const;
};

struct ImportedGroup
{
    QString name;
    int parent = -1; // index of the parent in ImportedData::groups (always lower), -1 at the top
    QString key;     // the source's identifier, when it has one (KeePass UUID, Bitwarden folder id)
};

// Something of the source a document has no place for, left out of the import.
struct Dropped
{
    enum Kind
    {
        Attachment, // a file attached to an entry (name: its file name)
        Value,      // a field whose value is no text, a number or a yes/no (name: the field)
    };
    Kind kind = Value;
    qint64 line = 0; // line of the file (0: unknown)
    QString where;   // the entry ("Mail/Gmail") or the place in a JSON file ("items[3].fields[1]")
    QString name;
};

// What a reader found. Groups come before their children; entries point at their group by index,
// -1 for an entry at the top (a browser export, a Bitwarden item without folder).
struct ImportedData
{
    std::vector<ImportedGroup> groups;
    std::vector<std::unique_ptr<TFeuille>> entries; // Group unused until addImported
    std::vector<int> entryGroup;
    std::vector<qint64> entryLine; // line of the file where each entry starts (0: unknown)
    // The source has a root of its own above its groups (KeePass's root group, "Passwords" in
    // KeePassXC; the first level of the paths of a KeePassXC CSV, "Root" in ours).
    bool hasSourceRoot = false;
    std::vector<Dropped> dropped;  // what the source holds that does not come in
    int recycled = 0;              // entries of the recycle bin, left out as their manager hides them
    int seen = 0;                  // entries (items, lines) the source holds, those left out included

    ImportedData() = default;
    ImportedData(ImportedData&&) = default;
    ImportedData& operator=(ImportedData&&) = default;
    // Passwords and notes read from a file leave no copy behind.
    ~ImportedData() { wipe(); }
    void wipe();

    int addGroup(const QString& name, int parent, const QString& key = QString());
    TFeuille& addEntry(int group, qint64 line);
    // "A/B/C" for a group index, "" for -1.
    QString groupPath(int group) const;
};

// Reads a file of the given format. On failure error says where and why, and data holds nothing.
// defaultName names the entries that have neither a name nor a web address.
bool readForeign(const QByteArray& bytes, Format format, const QString& defaultName, ImportedData& data,
                 ImportError& error);

// readForeign for the whole content of the file at path, in the format its content shows. A file
// that cannot be read is an error with the system's reason; a file too big for the memory left
// is an error too (outOfMemory set, error.what empty for the caller to word), never an exception
// that would end the program with the open document's unsaved work.
bool readForeignFile(const QString& path, const QString& defaultName, ImportedData& data, ImportError& error,
                     bool* outOfMemory = nullptr);

bool readKeePassXml(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error);
bool readCsv(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error);
bool readBitwardenJson(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error);
// Our own JSON: only its groups and entries; its header describes a document, not an import.
bool readTresorinJson(const QByteArray& bytes, ImportedData& data, ImportError& error);

// A field of an imported entry, or the name of an imported group, holding characters a document
// cannot store (outside Windows-1252).
struct Unstorable
{
    enum Field
    {
        GroupName,
        Name,
        Login,
        Password,
        WebAddress,
        Notes,
    };
    qint64 line = 0; // where the entry starts in the file (0: unknown)
    QString where;   // "Mail/Gmail": the group's path, or the entry's group path and name
    Field field = Name;
    int count = 0;      // characters concerned (a surrogate pair is one)
    QString characters; // the distinct characters concerned, none for a password
};

// Every such field, in the order of the file. With replace, each of the characters becomes "?".
std::vector<Unstorable> findUnstorable(ImportedData& data, bool replace);
// The same over the groups and entries of a document (our own JSON, read whole).
std::vector<Unstorable> findUnstorable(DocumentState& doc, bool replace);

// One line of English text for the command line: "line 12, entry "Mail/Gmail", password: 2
// characters" (with replaced: "... replaced by "?""), the characters named except in a password.
QString describe(const Unstorable& u, bool replaced);

// Whether an import of data loses what the user must agree to first: parts of the file left out
// (dropped), or every entry of a source that holds some. The recycle bin alone does not count: its
// entries were deleted in their manager.
bool losesSomething(const ImportedData& data);
// One line of English text for the command line per loss: "line 12, entry "Mail/Gmail":
// attachment "scan.pdf" left out", the entries of the recycle bin, and "no entry" when none comes.
QStringList describeLosses(const ImportedData& data);

struct ImportSummary
{
    int groups = 0;         // groups made, the container included
    int entries = 0;        // entries added
    TGroupe* top = nullptr; // the container, or the first top-level group made
    int datesClamped = 0;   // dates in the future set to now
};

// Drops the source's own root level: when the source has one (hasSourceRoot), everything sits in
// one top-level group and no entry is outside it, that group goes, its entries and groups taking
// its place at the top. Otherwise nothing changes: a top-level group of a source without a root
// is a group of the user's. True when the level was dropped.
bool dropSourceRoot(ImportedData& data);

// Puts everything imported under one new group named name, which becomes the only top-level one
// (the window's group named after the imported file).
void nestUnder(ImportedData& data, const QString& name);

// Moves the imported groups and entries into doc: under `container` (an existing group; the
// window's new group named after the file), or at the top of doc when container is null. Entries
// at the top of the import go into the container or, without one, into a new top-level group
// named looseName. Their dates in the future become now (identity::clampFutureDates) and each
// entry gets a fresh identity (one free in doc; now for an entry without a creation date). data
// is empty afterwards. Modified is left to the caller.
ImportSummary addImported(ImportedData& data, DocumentState& doc, TGroupe* container, const QString& looseName);

// --- helpers shared by the readers and the writers ----------------------------------------

// The header line of our CSV export: KeePassXC's columns, written without quotes, which tells our
// own files from KeePassXC's (whose header quotes them) and from every other export.
constexpr const char* kOwnCsvHeader = "Group,Title,Username,Password,URL,Notes,TOTP,Icon,Last Modified,Created";
// A spreadsheet takes a cell that starts with "=", "+", "-", "@", a tab or a carriage return for a
// formula (OWASP's CSV injection): our CSV export writes such a field with a "'" in front, and our
// CSV import takes that one "'" away again from the files it wrote (kOwnCsvHeader), nowhere else.
// So that the way back stays exact, a field whose leading apostrophes come before such a start
// ("'=x" itself) gets one more. True for the fields that get the "'", `text` being the field as
// written: a CR LF at its start is written as a line feed, which starts no formula.
bool needsFormulaGuard(QStringView text);

// The line appended to the notes for a TOTP secret: "TOTP: otpauth://totp/...".
constexpr const char* kTotpLinePrefix = "TOTP: ";
// otpauth://totp/ URL from a secret, or the value itself when it already is one.
QString totpUrl(const QString& secretOrUrl, const QString& label, int digits = 0, int period = 0,
                const QString& algorithm = QString());
// Notes with "Name: value" lines appended (line breaks as CR LF, as the document keeps them).
QString notesWithLines(const QString& notes, const QStringList& lines);
// Any line breaks (LF, CR LF, lone CR) as CR LF.
QString crlfLines(const QString& text);
// A date of an export: ISO 8601 (local time when it names no zone), KeePass's base64 count of
// seconds since year 1, or milliseconds since 1970 (all digits). 0 for an empty text; false for
// a text that is none of these.
bool parseDate(const QString& text, DateTime& out);
// The host of a web address, for entries that have no name.
QString hostOf(const QString& url);

} // namespace foreign
