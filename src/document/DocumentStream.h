#pragma once

#include "document/DocumentModel.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The plain byte serialisation of a document (before it is enciphered): magic "TRS", a version
// tag, the header of TDoc fields, group records "NODE", entry records "FEUI" and the end "FINI".
// The writer always produces version 7; the reader takes versions 1 to 7 and recovers from the
// damage it can, reporting what it finds through a message sink.

// Receives the defects found while reading, in order, as message keys ("ErreurTRS", "ErrVersion",
// "ErreurHN", "ErreurFIN"). arg is the text that fills the message's "%s" (for "ErrVersion", the
// four tag bytes as text) and empty otherwise. A read raises each message at most once, however
// many records share the defect. The window turns them into message boxes, the
// command-line tool into lines on standard error.
using StreamMessageSink = std::function<void(const QString& key, const QString& arg)>;

// Bounded reading over an in-memory stream. Fixed-size fields are read as far as the stream goes
// (the bytes past the end keep the earlier value); texts (their count included) and tags fail when
// the stream holds too few bytes for them, and a text's count is checked against the bytes left before anything is
// allocated for it. Never reads outside the buffer.
class StreamReader
{
public:
    explicit StreamReader(const QByteArray& data);

    qsizetype pos() const { return m_pos; }
    void seek(qsizetype pos);
    qsizetype size() const { return m_data.size(); }
    qsizetype bytesLeft() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    const QByteArray& data() const { return m_data; }

    // Copies up to n bytes into dst and returns how many were copied.
    qsizetype readRaw(void* dst, qsizetype n);
    // Little-endian fixed-size fields; a field cut by the end keeps its earlier bytes.
    void readUInt32(quint32& value);
    void readInt32(qint32& value);
    void readDouble(double& value);
    void readBool(bool& value); // one byte, non-zero is true
    // A 4-byte tag; false (and tag untouched) when fewer than 4 bytes are left.
    bool readTag(QByteArray& tag);
    // A counted Windows-1252 text; false (and text untouched) when fewer than 4 bytes are left
    // for the count, for a negative count or one larger than the bytes left.
    bool readText(QString& text);
    // Position of the next occurrence of pattern at or after from, -1 if none.
    qsizetype indexOf(const QByteArray& pattern, qsizetype from) const;

    // The text of a read failure.
    static QString readErrorText();

    // For a reader that alone reads its buffer and never goes back (the open of a document): as
    // reading goes on, the bytes already read are wiped and their memory pages handed back to the
    // system, so that a large stream does not stay whole in memory beside the document built from
    // it. The buffer's owner then wipes only from discardedUpTo() on (see SecureBytes::clearFrom).
    void setDiscardBehind(bool on) { m_discard = on; }
    qsizetype discardedUpTo() const { return m_discarded; }

private:
    void discardRead();

    QByteArray m_data;
    qsizetype m_pos = 0;
    bool m_discard = false;
    qsizetype m_discarded = 0;
};

// Appends a version 7 stream of doc.LocalDoc, the groups in document order and the entries to out.
void WriteDocumentStream(const DocumentState& doc, QByteArray& out);

struct HeaderResult
{
    bool ok = true;      // false only for a stream that ends within the magic or the version tag
    QString error;       // the read failure's text when !ok
    QByteArray firstTag; // the tag of the first record, or empty when no record can be found
    // The header could not be read to its end: the records were taken up at the first group record
    // after the version tag, and the header fields after the failure kept their reset values.
    // Nothing is shown for it; a caller that would write the document back may want to know.
    bool recovered = false;
};

// Reads the magic, the version tag and the header into doc (which the caller has reset), sets its
// FormatVersion and leaves in positioned on the first record's fields.
HeaderResult ReadDocumentHeader(StreamReader& in, TDoc& doc, const StreamMessageSink& sink);

struct RecordsResult
{
    int groups = 0;           // group records read
    int entries = 0;          // entry records read
    bool ok = true;           // false after a read failure; the records read before it are in the document
    QString error;            // the read failure's text when !ok
    bool outOfMemory = false; // the reading stopped for want of memory
};

// Reads the group and entry records and the end record that follow the header. Without append the
// document's groups and entries are replaced; with it they are added to what is there.
RecordsResult ReadDocumentRecords(StreamReader& in, const QByteArray& tag, int version, DocumentState& doc, bool append,
                                  const StreamMessageSink& sink);

// Format version of a version tag (" 1.2" to " 1.7" give 2 to 7, "NODE" gives 1), 0 if unknown.
int FormatVersionOfTag(const QByteArray& tag);
