#include "document/DocumentFile.h"

#include "crypto/Cipher.h"
#include "document/Win1252.h"
#include "platform/SafeFileWrite.h"

#include <QFile>
#include <QFileInfo>

#include <new>

namespace docfile {

namespace {

QString notRegularFileText()
{
    return QStringLiteral("Not a regular file");
}

QString outOfMemoryText()
{
    return QStringLiteral("Out of memory");
}

// Deciphers enciphered into opened and reads the header; opened.header is already reset.
void decipherAndReadHeader(const QByteArray& enciphered, const QString& password, OpenedDocument& opened,
                           const StreamMessageSink& sink)
{
    QByteArray plain;
    {
        SecureBytes key(win1252::fromUnicode(password));
        if (!decipherDocument(enciphered, key.bytes(), plain)) {
            opened.status = ReadStatus::BadPassword;
            return;
        }
    }
    opened.stream.assign(std::move(plain));
    opened.status = ReadStatus::Ok;
    // An empty stream has no header to read: no record follows and the reader reports the missing end.
    if (opened.stream.isEmpty())
        return;
    StreamReader in(opened.stream.bytes());
    const HeaderResult header = ReadDocumentHeader(in, opened.header, sink);
    if (!header.ok) {
        opened.status = ReadStatus::Failed;
        opened.error = header.error;
        return;
    }
    opened.recordsPos = in.pos();
    opened.firstTag = header.firstTag;
    opened.headerRecovered = header.recovered;
}

} // namespace

OpenedDocument openBytes(const QByteArray& enciphered, const QString& fileName, const QString& password,
                         const StreamMessageSink& sink)
{
    OpenedDocument opened;
    ResetDoc(opened.header);
    opened.header.FileName = fileName;
    try {
        decipherAndReadHeader(enciphered, password, opened, sink);
    } catch (const std::bad_alloc&) {
        opened.stream.clear();
        opened.status = ReadStatus::Failed;
        opened.error = outOfMemoryText();
    }
    return opened;
}

OpenedDocument openFile(const QString& path, const QString& password, const StreamMessageSink& sink)
{
    OpenedDocument opened;
    ResetDoc(opened.header);
    opened.header.FileName = path;

    // A pipe would block the open and a device could deliver bytes for ever: only regular files
    // (or links to them) are read, and only as far as their size.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        opened.error = notRegularFileText();
        return opened;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        opened.error = file.errorString();
        return opened;
    }
    if (file.isSequential()) {
        opened.error = notRegularFileText();
        return opened;
    }
    try {
        const qint64 size = file.size();
        QByteArray enciphered(size, Qt::Uninitialized);
        qint64 done = 0;
        while (done < size) {
            const qint64 n = file.read(enciphered.data() + done, size - done);
            if (n < 0) {
                opened.error = file.errorString();
                return opened;
            }
            if (n == 0)
                break; // the file shrank while being read: take what it holds
            done += n;
        }
        enciphered.truncate(done);
        decipherAndReadHeader(enciphered, password, opened, sink);
    } catch (const std::bad_alloc&) {
        opened.stream.clear();
        opened.status = ReadStatus::Failed;
        opened.error = outOfMemoryText();
    }
    return opened;
}

RecordsResult readRecords(const OpenedDocument& opened, DocumentState& doc, bool append, const StreamMessageSink& sink)
{
    StreamReader in(opened.stream.bytes());
    in.seek(opened.recordsPos);
    return ReadDocumentRecords(in, opened.firstTag, opened.header.FormatVersion, doc, append, sink);
}

QByteArray encipheredDocument(const DocumentState& doc)
{
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    SecureBytes key(win1252::fromUnicode(doc.MetaPassword));
    // Moved in unshared, the stream is enciphered in its own buffer and leaves no plain copy.
    return encipherDocument(std::move(stream), key.bytes());
}

void countSave(TDoc& doc)
{
    doc.SaveCount = static_cast<qint32>(static_cast<quint32>(doc.SaveCount) + 1u);
    doc.SaveDate = datetime::now();
}

WriteResult writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    const platform::SafeWriteResult written = platform::writeFileSafely(path, bytes);
    return WriteResult{written.ok, written.error};
}

LoadResult loadFile(const QString& path, const QString& password, DocumentState& doc, const StreamMessageSink& sink)
{
    LoadResult result;
    const OpenedDocument opened = openFile(path, password, sink);
    result.status = opened.status;
    result.error = opened.error;
    result.headerRecovered = opened.headerRecovered;
    if (!opened.ok())
        return result;

    doc.LocalDoc = opened.header;
    doc.MetaPassword = password;
    doc.FtpMode = false;
    const RecordsResult records = readRecords(opened, doc, false, sink);
    result.groups = records.groups;
    result.entries = records.entries;
    if (!records.ok) {
        // The partial document must not be saved over the file it came from by mistake.
        result.status = ReadStatus::Failed;
        result.error = records.error;
        doc.CurrentPath.clear();
        doc.MetaPassword.clear();
        doc.SetModified(true);
        return result;
    }
    doc.CurrentPath = path;
    doc.SetModified(false);
    return result;
}

WriteResult saveFile(DocumentState& doc, const QString& path, bool counted)
{
    doc.CurrentPath = path;
    if (counted)
        countSave(doc.LocalDoc);
    try {
        return writeFileAtomically(path, encipheredDocument(doc));
    } catch (const std::bad_alloc&) {
        return WriteResult{false, outOfMemoryText()};
    }
}

} // namespace docfile
