#pragma once

#include "crypto/SecureBytes.h"
#include "document/DocumentModel.h"

#include <QString>

#include <functional>

// The document written for other managers: CSV in KeePassXC's columns
// (Group,Title,Username,Password,URL,Notes,TOTP,Icon,Last Modified,Created: the header line that
// marks our own files, see kOwnCsvHeader) and KeePass 2 XML, both of which KeePassXC imports. Every
// password is in clear in what is written. A CSV field a spreadsheet would run as a formula gets a
// "'" in front (needsFormulaGuard); our CSV import takes it away again.
//
// KeePass keeps one root group. A document made of one top-level group with every entry in its
// tree is written with that group as the root (so an import from KeePassXC goes back as it came);
// any other document is written under a root named "Root", entries without group in it. A notes
// line "TOTP: otpauth://..." (as the import writes it) goes to the TOTP column or the "otp" field
// and leaves the notes. Line breaks are written as LF.
namespace foreign {

enum class ExportFormat
{
    Csv,
    KeePassXml,
};

struct ExportResult
{
    bool ok = true;
    int entries = 0;
    // Control characters XML cannot carry, left out of a KeePass XML export (none in CSV).
    int droppedCharacters = 0;
    bool outOfMemory = false; // exportToBytes: the text did not fit in the memory left (ok false)
};

// The UTF-8 text handed to write in pieces of at most 64 KiB from one buffer wiped at the end.
// Stops (ok false) as soon as write returns false.
using ExportSink = std::function<bool(const char* data, qsizetype size)>;
ExportResult writeExport(const DocumentState& doc, ExportFormat format, const ExportSink& write);

// The whole text in one buffer of exactly its size; out of memory, out is empty and ok false.
ExportResult exportToBytes(const DocumentState& doc, ExportFormat format, SecureBytes& out);

// Splits the first "TOTP: otpauth://..." line off notes: the notes without it (and without its
// line break), and the otpauth URL; totp is empty when there is no such line.
void splitTotpLine(const QString& notes, QString& rest, QString& totp);

} // namespace foreign
