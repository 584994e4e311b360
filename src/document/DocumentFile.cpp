#include "document/DocumentFile.h"

#include "crypto/Cipher.h"
#include "crypto/StrongContainer.h"
#include "document/Lineage.h"
#include "platform/SafeFileWrite.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <new>

namespace docfile {

namespace {

QString notRegularFileText()
{
    return QStringLiteral("Not a regular file");
}

void failForMemory(OpenedDocument& opened)
{
    opened.stream.clear();
    opened.status = ReadStatus::Failed;
    opened.error = outOfMemoryText();
    opened.outOfMemory = true;
}

// Reads the header from the deciphered stream; opened.header is already reset.
void readHeader(OpenedDocument& opened, const StreamMessageSink& sink)
{
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

// Opens the strong container held whole in data into opened (header reset, status Failed).
void openStrong(OpenedDocument& opened, QByteArray data, const QString& password, const StreamMessageSink& sink)
{
    // Deciphered in place: the buffer becomes the stream, owned (and wiped) by opened.
    opened.stream.assign(std::move(data));
    strong::OpenResult result;
    {
        SecureBytes key(win1252::fromUnicode(password));
        result = strong::open(opened.stream.bytes(), key.bytes());
    }
    switch (result.status) {
    case strong::OpenStatus::Ok:
        opened.strongKey = std::move(result.key);
        readHeader(opened, sink);
        opened.header.Protection = DocumentProtection{DocumentProtection::Strong, result.parameters};
        return;
    case strong::OpenStatus::BadPassword:
        opened.stream.clear();
        opened.status = ReadStatus::BadPassword;
        return;
    case strong::OpenStatus::Damaged:
        opened.stream.clear();
        opened.status = ReadStatus::Failed;
        opened.damaged = true;
        opened.error = damagedText();
        return;
    case strong::OpenStatus::OutOfMemory:
        failForMemory(opened);
        return;
    }
}

// Reads up to length bytes; the count read, or -1 on a read error.
qint64 readFully(QFile& file, char* data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const qint64 n = file.read(data + done, length - done);
        if (n < 0)
            return -1;
        if (n == 0)
            break; // the file shrank while being read: take what it holds
        done += n;
    }
    return done;
}

} // namespace

QString outOfMemoryText()
{
    return QStringLiteral("Not enough memory to complete this operation.");
}

QString damagedText()
{
    return QStringLiteral("The document has been altered or damaged.");
}

QString tooLargeText()
{
    return QStringLiteral("The document is larger than the largest document this program opens.");
}

OpenedDocument openBytes(const QByteArray& enciphered, const QString& fileName, const QString& password,
                         const StreamMessageSink& sink)
{
    OpenedDocument opened;
    ResetDoc(opened.header);
    opened.header.FileName = fileName;
    if (enciphered.size() > kMaxDocumentBytes) {
        opened.error = tooLargeText();
        opened.tooLarge = true;
        return opened;
    }
    try {
        QByteArray plain;
        {
            SecureBytes key(win1252::fromUnicode(password));
            if (!decipherDocument(enciphered, key.bytes(), plain)) {
                if (strong::looksLikeContainer(enciphered.constData(), enciphered.size()))
                    openStrong(opened, enciphered, password, sink);
                else
                    opened.status = ReadStatus::BadPassword;
                return opened;
            }
        }
        opened.stream.assign(std::move(plain));
        readHeader(opened, sink);
    } catch (const std::bad_alloc&) {
        failForMemory(opened);
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
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        opened.error = file.errorString();
        return opened;
    }
    if (file.isSequential()) {
        opened.error = notRegularFileText();
        return opened;
    }
    if (file.size() > kMaxDocumentBytes) {
        opened.error = tooLargeText();
        opened.tooLarge = true;
        return opened;
    }
    try {
        TCipher_Blowfish cipher;
        cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
        {
            SecureBytes key(win1252::fromUnicode(password));
            cipher.InitKey(key.bytes());
        }
        // The check value first: a wrong password, or a file that is no document at all, is
        // refused before the rest of the file is read, however large it is.
        char first[TCipher_Blowfish::CheckValueLength];
        const qint64 firstRead = readFully(file, first, sizeof first);
        if (firstRead < 0) {
            opened.error = file.errorString();
            return opened;
        }
        if (!cipher.CheckValueMatches(reinterpret_cast<const uchar*>(first), firstRead)) {
            if (!strong::looksLikeContainer(first, firstRead)) {
                opened.status = ReadStatus::BadPassword;
                return opened;
            }
            // A strong document is read whole, then opened in its own buffer.
            const qint64 rest = qMax<qint64>(0, file.size() - firstRead);
            QByteArray all(firstRead + rest, Qt::Uninitialized);
            std::memcpy(all.data(), first, size_t(firstRead));
            const qint64 done = readFully(file, all.data() + firstRead, rest);
            if (done < 0) {
                opened.error = file.errorString();
                return opened;
            }
            all.truncate(firstRead + done);
            file.close();
            openStrong(opened, std::move(all), password, sink);
            return opened;
        }

        // The rest is read into the buffer that then holds the stream: deciphering it in place
        // keeps a single copy of the file's bytes.
        const qint64 rest = qMax<qint64>(0, file.size() - firstRead);
        opened.stream.assign(QByteArray(rest, Qt::Uninitialized));
        QByteArray& data = opened.stream.bytes();
        const qint64 done = readFully(file, data.data(), rest);
        if (done < 0) {
            opened.stream.clear();
            opened.error = file.errorString();
            return opened;
        }
        data.truncate(done);
        file.close();
        if (!data.isEmpty())
            cipher.DecipherInPlace(reinterpret_cast<uchar*>(data.data()), data.size());
        readHeader(opened, sink);
    } catch (const std::bad_alloc&) {
        failForMemory(opened);
    }
    return opened;
}

RecordsResult readRecords(const OpenedDocument& opened, DocumentState& doc, bool append, const StreamMessageSink& sink)
{
    try {
        StreamReader in(opened.stream.bytes());
        in.seek(opened.recordsPos);
        return ReadDocumentRecords(in, opened.firstTag, opened.header.FormatVersion, doc, append, sink);
    } catch (const std::bad_alloc&) {
        RecordsResult result;
        result.ok = false;
        result.error = outOfMemoryText();
        result.outOfMemory = true;
        // The counts are lost with the reader; the caller treats the document as broken anyway.
        return result;
    }
}

RecordsResult readRecordsConsuming(OpenedDocument& opened, DocumentState& doc, bool append,
                                   const StreamMessageSink& sink)
{
    qsizetype discarded = 0;
    RecordsResult result;
    try {
        StreamReader in(opened.stream.bytes());
        in.seek(opened.recordsPos);
        in.setDiscardBehind(true);
        const auto keep = [&in, &discarded] { discarded = in.discardedUpTo(); };
        try {
            result = ReadDocumentRecords(in, opened.firstTag, opened.header.FormatVersion, doc, append, sink);
        } catch (...) {
            keep();
            throw;
        }
        keep();
    } catch (const std::bad_alloc&) {
        result = RecordsResult();
        result.ok = false;
        result.error = outOfMemoryText();
        result.outOfMemory = true;
    }
    opened.stream.clearFrom(discarded);
    return result;
}

void adoptStrongKey(DocumentState& doc, OpenedDocument& opened)
{
    doc.StrongKey = std::move(opened.strongKey);
}

QByteArray encipheredDocument(const DocumentState& doc)
{
    SecureBytes key(win1252::fromUnicode(doc.MetaPassword));
    const DocumentProtection& protection = doc.LocalDoc.Protection;
    if (protection.isStrong()) {
        const strong::KdfParameters kdf =
            strong::parametersAccepted(protection.kdf) ? protection.kdf : strong::calibratedParameters();
        // The key first: its derivation's memory is given back before the stream is built.
        if (!doc.StrongKey || !doc.StrongKey->derivedFrom(key.bytes(), kdf)) {
            doc.StrongKey.reset();
            doc.StrongKey = strong::SealingKey::deriveWithNewSalt(key.bytes(), kdf);
            if (!doc.StrongKey)
                throw std::bad_alloc();
        }
        QByteArray stream;
        WriteDocumentStream(doc, stream);
        return strong::seal(std::move(stream), *doc.StrongKey);
    }
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    // Moved in unshared, the stream is enciphered in its own buffer and leaves no plain copy.
    return encipherDocument(std::move(stream), key.bytes());
}

bool setProtection(DocumentState& doc, bool strongContainer, const strong::KdfParameters& kdf)
{
    DocumentProtection wanted;
    if (strongContainer) {
        wanted.container = DocumentProtection::Strong;
        const DocumentProtection& now = doc.LocalDoc.Protection;
        if (kdf.isSet())
            wanted.kdf = kdf;
        else if (now.isStrong() && strong::parametersAccepted(now.kdf))
            wanted.kdf = now.kdf;
        else
            wanted.kdf = strong::calibratedParameters();
    }
    if (wanted == doc.LocalDoc.Protection)
        return false;
    doc.LocalDoc.Protection = wanted;
    doc.SetModified(true);
    return true;
}

void countSave(TDoc& doc)
{
    doc.SaveCount = static_cast<qint32>(static_cast<quint32>(doc.SaveCount) + 1u);
    doc.SaveDate = datetime::now();
    lineage::recordCountedSave(doc);
}

WriteResult writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    const platform::SafeWriteResult written = platform::writeFileSafely(path, bytes);
    return WriteResult{written.ok, written.error};
}

QString backupPath(const QString& path)
{
    return path + QStringLiteral(".bak");
}

WriteResult keepBackup(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WriteResult{false, file.errorString()};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return WriteResult{false, file.errorString()};
    const platform::SafeWriteResult written = platform::writeFileSafely(
        backupPath(path), bytes, platform::NewFileAccess::AlwaysOwnerOnly, platform::SymbolicLinks::Refuse);
    return WriteResult{written.ok, written.error};
}

LoadResult loadFile(const QString& path, const QString& password, DocumentState& doc, const StreamMessageSink& sink)
{
    LoadResult result;
    OpenedDocument opened = openFile(path, password, sink);
    result.status = opened.status;
    result.error = opened.error;
    result.outOfMemory = opened.outOfMemory;
    result.damaged = opened.damaged;
    result.tooLarge = opened.tooLarge;
    result.headerRecovered = opened.headerRecovered;
    if (!opened.ok())
        return result;

    doc.LocalDoc = opened.header;
    doc.MetaPassword = password;
    doc.FtpMode = false;
    const RecordsResult records = readRecordsConsuming(opened, doc, false, sink);
    result.groups = records.groups;
    result.entries = records.entries;
    if (!records.ok) {
        // The partial document must not be saved over the file it came from by mistake.
        result.status = ReadStatus::Failed;
        result.error = records.error;
        result.outOfMemory = records.outOfMemory;
        doc.CurrentPath.clear();
        secureWipe(doc.MetaPassword);
        doc.SetModified(true);
        return result;
    }
    adoptStrongKey(doc, opened);
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
        return WriteResult{false, outOfMemoryText(), true};
    }
}

} // namespace docfile
