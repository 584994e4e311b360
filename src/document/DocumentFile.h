#pragma once

#include "crypto/SecureBytes.h"
#include "document/DocumentModel.h"
#include "document/DocumentStream.h"

#include <QByteArray>
#include <QString>

// The way between a stored document (a .pass file, or the bytes of a copy from an FTP server) and
// a DocumentState, without any window: read and decipher, read the records, build the enciphered
// bytes, write a file atomically. Errors are returned as values; nothing is shown here.
//
// Opening is done in two steps so that a caller can keep its document intact until it knows the
// file is good: openFile()/openBytes() read the whole file, check the password, decipher and read
// the header into a separate TDoc, touching nothing of the open document. Only then does the
// caller take the header (LocalDoc = opened.header) and call readRecords(). A read failure in the
// records leaves the records read before it in the document and is reported in the result; the
// caller then has a partial document that no longer matches any file, and should keep it untitled
// and modified so that a later save cannot write it over the file it came from (loadFile() below
// does exactly that).
namespace docfile {

// The largest stored document this program opens: a larger file is refused before it is read, and
// a download stops as soon as it grows past it, so that a hostile file or server cannot take all
// the memory there is (a document of a million entries stays far below it).
constexpr qint64 kMaxDocumentBytes = qint64(1) << 30;

// The meta password dialog takes at most this many characters, and none at all is refused there:
// a document under a longer or an empty password could never be opened in the window.
constexpr int MaxMetaPasswordLength = 50;

enum class ReadStatus
{
    Ok,          // the password matched and the header was read
    BadPassword, // the check value did not match: wrong password, damaged or not a document
    Failed       // the file could not be read, or the stream ended within its magic or version tag,
                 // or a strong document was found altered or damaged (see `damaged`)
};

// A stored document read, deciphered and with its header read, before its records are taken.
struct OpenedDocument
{
    ReadStatus status = ReadStatus::Failed;
    QString error;                // Failed: the failure's own text
    bool outOfMemory = false;     // Failed for want of memory (error holds an English fallback text)
    bool damaged = false;         // Failed: a strong document altered or damaged (English fallback text)
    bool tooLarge = false;        // Failed: larger than kMaxDocumentBytes, not read (English fallback text)
    TDoc header;                  // reset, FileName = the path (or file name) given, then the header read;
                                  // Protection = the container the bytes were found in
    SecureBytes stream;           // the deciphered document stream; wiped when this is destroyed
    qsizetype recordsPos = 0;     // where the first record's fields start in stream
    QByteArray firstTag;          // tag of the first record (empty when no record can be found)
    bool headerRecovered = false; // the header was damaged (see HeaderResult::recovered)
    // A strong document: the key that opened it, for the document to keep (adoptStrongKey).
    std::unique_ptr<strong::SealingKey> strongKey;

    bool ok() const { return status == ReadStatus::Ok; }
};

// Reads the file at path and deciphers it with password, then reads its header. Both containers
// are read: the compatible one when the password's check value starts the file, else the strong
// one when the file starts with its magic (a wrong password gives BadPassword, any damage
// Failed with `damaged`); anything else is BadPassword. The messages the
// header raises ("ErreurTRS", "ErrVersion") go to sink, before this returns. The check value is
// read and compared first: a wrong password or a file that is not a document is refused without
// reading the rest. The rest is read into one buffer and deciphered there, so an open holds one
// copy of the file's bytes (then of the stream) besides the document being built. A file larger
// than kMaxDocumentBytes is refused (Failed, `tooLarge`) before anything of it is read.
OpenedDocument openFile(const QString& path, const QString& password, const StreamMessageSink& sink);

// The same from the enciphered bytes of a copy held in memory; fileName goes to header.FileName.
// More than kMaxDocumentBytes is refused as openFile refuses it.
OpenedDocument openBytes(const QByteArray& enciphered, const QString& fileName, const QString& password,
                         const StreamMessageSink& sink);

// Reads the records of an opened document (status Ok) into doc: replacing its groups and entries,
// or adding to them with append. Uses opened.header.FormatVersion for the record layout. Running
// out of memory stops the reading as a read failure does (ok false, outOfMemory set).
RecordsResult readRecords(const OpenedDocument& opened, DocumentState& doc, bool append, const StreamMessageSink& sink);

// The same for the last use of an opened document: the stream is wiped and handed back to the
// system as it is read, so the open of a large document never holds both the whole stream and the
// whole document. opened.stream is empty afterwards.
RecordsResult readRecordsConsuming(OpenedDocument& opened, DocumentState& doc, bool append,
                                   const StreamMessageSink& sink);

// Hands the key that opened a strong document over to doc, which has just taken its header and
// records: the next save need not derive it again.
void adoptStrongKey(DocumentState& doc, OpenedDocument& opened);

// The stored form of doc: its version 7 document stream under doc.MetaPassword, in the container
// of doc.LocalDoc.Protection. A strong document reuses doc.StrongKey when it was derived from the
// same password and parameters, else derives a new one with a new salt (about a second) and
// keeps it; every save has a new nonce. Throws std::bad_alloc when the derivation gets no memory.
QByteArray encipheredDocument(const DocumentState& doc);

// Chooses the container of doc's next saves. Strong takes kdf when given (it must be accepted by
// strong::parametersAccepted), else the calibrated parameters; switching it on again keeps
// the parameters it has unless kdf is given. When the protection changes, doc is marked
// modified (the file on disk is still in the old container) and true is returned.
bool setProtection(DocumentState& doc, bool strongContainer, const strong::KdfParameters& kdf = {});

// The English text of a strong document found altered or damaged, for callers without a
// language table; those with one show the message "Altere" instead.
QString damagedText();

// The English text of a document larger than kMaxDocumentBytes, for callers without a language
// table; those with one show the message "DocTropGros" instead.
QString tooLargeText();

// A counted save: SaveCount grows by 1 (wrapping at the 32-bit limit) and SaveDate becomes now;
// a synchronised document (SyncOn) records the save in its lineage (lineage::recordCountedSave).
void countSave(TDoc& doc);

struct WriteResult
{
    bool ok = true;
    QString error;            // the failure's own text when !ok
    bool outOfMemory = false; // failed for want of memory, before anything was written
};

// The English text of a failure for want of memory, for callers without a language table; those
// with one show the message "Memoire" instead.
QString outOfMemoryText();

// Replaces the content of the file at path by bytes, atomically (platform::writeFileSafely): on any
// failure the previous file is left exactly as it was and the error carries the system's text. An
// existing file keeps its permissions; a new one is readable and writable by its owner only. A
// symbolic link is followed: its target is replaced.
WriteResult writeFileAtomically(const QString& path, const QByteArray& bytes);

// The name a file keeps its previous content under when another copy replaces it: path + ".bak".
QString backupPath(const QString& path);

// Copies the file at path, as it is now, to backupPath(path) (one generation: an older backup is
// replaced), with the same checked, atomic write, for its owner only. Fails, with the system's
// text, when the file cannot be read or the copy cannot be written; and when backupPath(path) or
// the temporary file of its write is a symbolic link: a link planted beside the document must
// not make the program write its content elsewhere (the document itself follows its link, the
// backup never does).
WriteResult keepBackup(const QString& path);

// --- whole-file conveniences (command-line tool, tests) ---

struct LoadResult
{
    ReadStatus status = ReadStatus::Failed;
    QString error;                // Failed: the failure's text (also a read failure in the records)
    bool outOfMemory = false;     // Failed for want of memory
    bool damaged = false;         // Failed: a strong document altered or damaged
    bool tooLarge = false;        // Failed: larger than kMaxDocumentBytes, not read
    int groups = 0;               // group records read
    int entries = 0;              // entry records read
    bool headerRecovered = false; // the header was damaged (see HeaderResult::recovered)
    bool ok() const { return status == ReadStatus::Ok; }
};

// Opens the file at path into doc as an open from disk does. On success doc holds the file's
// header and records, MetaPassword = password, CurrentPath = path, FtpMode off, clean.
// BadPassword and a failure before the records leave doc untouched. A read failure in the records
// gives Failed with the records read before it in doc, which is left untitled (no CurrentPath, no
// MetaPassword) and modified.
LoadResult loadFile(const QString& path, const QString& password, DocumentState& doc, const StreamMessageSink& sink);

// Saves doc to path as the save pipeline does: CurrentPath = path, then, when counted, countSave
// on LocalDoc, then the enciphered document written atomically. Modified is left to the caller.
WriteResult saveFile(DocumentState& doc, const QString& path, bool counted);

} // namespace docfile
