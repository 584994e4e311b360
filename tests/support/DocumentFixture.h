#pragma once

#include "document/DocumentModel.h"
#include "document/DocumentStream.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

// Builds document streams byte by byte, field by field, for hand-made and damaged streams.
// Integers and doubles are little-endian; text() writes a 32-bit count then the bytes.
class StreamBuilder
{
public:
    StreamBuilder& raw(const QByteArray& bytes);
    StreamBuilder& tag(const char* fourBytes); // also "TRS" and version tags such as " 1.7"
    StreamBuilder& u32(quint32 value);
    StreamBuilder& i32(qint32 value);
    StreamBuilder& dbl(double value);
    StreamBuilder& byte(quint8 value);
    StreamBuilder& text(const QByteArray& bytes); // the bytes as they are
    StreamBuilder& text(const QString& text);     // converted to Windows-1252
    StreamBuilder& text(const char* latin1);      // ASCII / Latin-1 literal
    StreamBuilder& textCount(quint32 count);      // a count with no bytes after it

    // "TRS" and the version tag of version (1: no tag).
    StreamBuilder& start(int version);
    // The header fields that version has (none before 3), from doc.
    StreamBuilder& header(int version, const TDoc& doc);
    StreamBuilder& group(quint32 id, quint32 parentId, const QString& name);
    // An entry record of version with the given stream group identifier.
    StreamBuilder& entry(int version, quint32 groupId, const TFeuille& e);
    StreamBuilder& end() { return tag("FINI"); }

    const QByteArray& bytes() const { return m_bytes; }
    qsizetype size() const { return m_bytes.size(); }

private:
    QByteArray m_bytes;
};

// A TDoc whose every field differs from its reset value.
TDoc richHeader();
// An entry whose every field is set (texts derived from tag).
TFeuille richEntry(const QString& tag, bool ftp = false);

// Fills doc with a document that exercises every field: nested groups (three levels, siblings
// in a non-alphabetical order), entries in several groups interleaved, one entry without group,
// an FTP-marked entry, multi-line notes, Windows-1252 characters of 0x80-0xFF, and the header
// of richHeader(). Existing content is replaced.
void buildRichDocument(DocumentState& doc);

// First difference between two documents' content: the groups (names, nesting, order), the
// entries (every field, with Group compared through the group's position in document order) and
// FtpEntryIndex. Empty when they agree.
QString compareContent(const DocumentState& a, const DocumentState& b);
// First difference between two headers; FileName and FormatVersion are left out.
QString compareHeaders(const TDoc& a, const TDoc& b);

// Documents as the compatible container stores them, written and read back with the document core
// alone (not the window's pipeline), so that a test sees what reached the disk.
QByteArray storedStream(const QByteArray& stream, const QString& password);
QByteArray storedBytes(const DocumentState& doc, const QString& password);
bool writeStream(const QString& path, const QByteArray& stream, const QString& password);
bool writeDocument(const QString& path, const DocumentState& doc, const QString& password);
// False for a wrong password, an unreadable file or a stream that does not read to its end.
bool readBytes(const QByteArray& bytes, const QString& password, DocumentState& out);
bool readDocument(const QString& path, const QString& password, DocumentState& out);

// Collects the messages a reader raises, as "key" or "key:arg" when there is an argument.
class MessageLog
{
public:
    StreamMessageSink sink();
    QStringList messages;
};

} // namespace testsupport
