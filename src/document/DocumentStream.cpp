#include "document/DocumentStream.h"

#include "document/Win1252.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

const QByteArray kMagic = QByteArrayLiteral("TRS");
const QByteArray kVersion7 = QByteArrayLiteral(" 1.7");
const QByteArray kNode = QByteArrayLiteral("NODE");
const QByteArray kEntry = QByteArrayLiteral("FEUI");
const QByteArray kEnd = QByteArrayLiteral("FINI");

void emitMessage(const StreamMessageSink& sink, const char* key, const QString& arg = QString())
{
    if (sink)
        sink(QString::fromLatin1(key), arg);
}

// Fixed-size little-endian field: the bytes the stream holds replace the low-order bytes of the
// current value, the others stay as they were.
template <typename T> void readFixed(StreamReader& in, T& value)
{
    unsigned char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    in.readRaw(bytes, sizeof(T));
    value = qFromLittleEndian<T>(bytes);
}

void putUInt32(QByteArray& out, quint32 v)
{
    unsigned char b[4];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char*>(b), 4);
}

void putInt32(QByteArray& out, qint32 v)
{
    putUInt32(out, static_cast<quint32>(v));
}

void putDouble(QByteArray& out, double v)
{
    unsigned char b[8];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char*>(b), 8);
}

void putBool(QByteArray& out, bool v)
{
    out.append(v ? '\1' : '\0');
}

void putText(QByteArray& out, const QString& text)
{
    // Texts fit in the 32-bit count: a QString larger than 2 GiB is far beyond any document.
    putUInt32(out, static_cast<quint32>(win1252::encodedSize(text)));
    win1252::appendTo(out, text);
}

// An upper bound of the stream's size, so the output is allocated once and secrets are not left
// behind in buffers that a growing array would abandon. It includes room for the 20-byte check
// value that the cipher puts in front, so that enciphering can work in the same buffer.
qsizetype estimateSize(const DocumentState& doc)
{
    const TDoc& d = doc.LocalDoc;
    qsizetype size = 20 + 3 + 4 + 4 + 8 + 8 + 1 + 1 + 4 + 1 + 6 * 4 + 4;
    for (const QString* s : {&d.Reserved1, &d.Reserved2, &d.ServerName, &d.RemotePath, &d.UserName, &d.UserPassword})
        size += s->size();
    doc.forEachGroup([&size](TGroupe* g) { size += 4 + 4 + 4 + 4 + g->Name.size(); });
    for (const auto& e : doc.Entries())
        size += 4 + 4 + 5 * 4 + 8 + 8 + 4 + e->Name.size() + e->Login.size() + e->Password.size() +
                e->WebAddress.size() + e->Notes.size();
    return size;
}

} // namespace

StreamReader::StreamReader(const QByteArray& data) : m_data(data)
{
}

void StreamReader::seek(qsizetype pos)
{
    m_pos = std::clamp<qsizetype>(pos, 0, m_data.size());
}

qsizetype StreamReader::readRaw(void* dst, qsizetype n)
{
    const qsizetype count = std::clamp<qsizetype>(n, 0, bytesLeft());
    if (count > 0)
        std::memcpy(dst, m_data.constData() + m_pos, static_cast<size_t>(count));
    m_pos += count;
    return count;
}

void StreamReader::readUInt32(quint32& value)
{
    readFixed(*this, value);
}

void StreamReader::readInt32(qint32& value)
{
    readFixed(*this, value);
}

void StreamReader::readDouble(double& value)
{
    readFixed(*this, value);
}

void StreamReader::readBool(bool& value)
{
    unsigned char b = value ? 1 : 0;
    readRaw(&b, 1);
    value = b != 0;
}

bool StreamReader::readTag(QByteArray& tag)
{
    if (bytesLeft() < 4)
        return false;
    tag = m_data.mid(m_pos, 4);
    m_pos += 4;
    return true;
}

bool StreamReader::readText(QString& text)
{
    // A count cut by the end of the stream is no count at all: read as 0 it would turn the end of
    // a damaged stream into empty texts, and a cut record into a whole one.
    if (bytesLeft() < 4)
        return false;
    qint32 count = 0;
    readInt32(count);
    if (count < 0 || count > bytesLeft())
        return false;
    text = win1252::toUnicode(m_data.constData() + m_pos, count);
    m_pos += count;
    return true;
}

qsizetype StreamReader::indexOf(const QByteArray& pattern, qsizetype from) const
{
    if (from < 0 || from > m_data.size())
        return -1;
    return m_data.indexOf(pattern, from);
}

QString StreamReader::readErrorText()
{
    return QStringLiteral("Stream read error");
}

int FormatVersionOfTag(const QByteArray& tag)
{
    if (tag == kNode)
        return 1;
    if (tag.size() == 4 && tag.startsWith(" 1.") && tag[3] >= '2' && tag[3] <= '7')
        return tag[3] - '0';
    return 0;
}

void WriteDocumentStream(const DocumentState& doc, QByteArray& out)
{
    out.reserve(out.size() + estimateSize(doc));
    const TDoc& d = doc.LocalDoc;
    out.append(kMagic);
    out.append(kVersion7);

    putInt32(out, d.SaveCount);
    putDouble(out, d.SaveDate);
    putText(out, d.Reserved1);
    putText(out, d.Reserved2);
    putDouble(out, d.CreateDate);
    putBool(out, d.SyncOn);
    putBool(out, d.UseFtpEntry);
    putText(out, d.ServerName);
    putInt32(out, d.PortNumber);
    putBool(out, d.PassiveMode);
    putText(out, d.RemotePath);
    putText(out, d.UserName);
    putText(out, d.UserPassword);

    doc.forEachGroup([&out](TGroupe* g) {
        out.append(kNode);
        putUInt32(out, g->Id);
        putUInt32(out, g->Parent ? g->Parent->Id : 0);
        putText(out, g->Name);
    });

    for (const auto& e : doc.Entries()) {
        out.append(kEntry);
        putUInt32(out, e->Group);
        putText(out, e->Name);
        putText(out, e->Login);
        putText(out, e->Password);
        putText(out, e->WebAddress);
        putText(out, e->Notes);
        putDouble(out, e->Created);
        putDouble(out, e->ModifiedAt);
        const char mark[4] = {e->IsFtpEntry ? '\1' : '\0', 0, 0, 0};
        out.append(mark, 4);
    }

    out.append(kEnd);
}

namespace {

// Reads the header fields of the given version into doc; false at the first text that fails.
bool readHeaderFields(StreamReader& in, int version, TDoc& doc)
{
    in.readInt32(doc.SaveCount);
    in.readDouble(doc.SaveDate);
    if (!in.readText(doc.Reserved1) || !in.readText(doc.Reserved2))
        return false;
    if (version >= 5)
        in.readDouble(doc.CreateDate);
    else
        doc.CreateDate = datetime::now();
    in.readBool(doc.SyncOn);
    if (version >= 6)
        in.readBool(doc.UseFtpEntry);
    if (!in.readText(doc.ServerName))
        return false;
    in.readInt32(doc.PortNumber);
    if (version >= 7)
        in.readBool(doc.PassiveMode);
    return in.readText(doc.RemotePath) && in.readText(doc.UserName) && in.readText(doc.UserPassword);
}

} // namespace

HeaderResult ReadDocumentHeader(StreamReader& in, TDoc& doc, const StreamMessageSink& sink)
{
    HeaderResult result;
    if (in.bytesLeft() < 3) {
        in.seek(in.size());
        result.ok = false;
        result.error = StreamReader::readErrorText();
        return result;
    }
    QByteArray magic(3, '\0');
    in.readRaw(magic.data(), 3);
    if (magic != kMagic)
        emitMessage(sink, "ErreurTRS");

    QByteArray versionTag;
    if (!in.readTag(versionTag)) {
        in.seek(in.size());
        result.ok = false;
        result.error = StreamReader::readErrorText();
        return result;
    }
    int version = FormatVersionOfTag(versionTag);
    if (version == 0) {
        emitMessage(sink, "ErrVersion", win1252::toUnicode(versionTag));
        version = 7;
    }
    doc.FormatVersion = version;
    const qsizetype afterVersion = in.pos();

    if (version == 1) {
        result.firstTag = kNode;
        return result;
    }
    if ((version < 3 || readHeaderFields(in, version, doc)) && in.readTag(result.firstTag))
        return result;

    // The header is damaged: the records are taken up again at the first group record.
    result.recovered = true;
    const qsizetype node = in.indexOf(kNode, afterVersion);
    if (node >= 0) {
        in.seek(node + 4);
        result.firstTag = kNode;
    } else {
        in.seek(in.size());
        result.firstTag.clear();
    }
    return result;
}

RecordsResult ReadDocumentRecords(StreamReader& in, const QByteArray& firstTag, int version, DocumentState& doc,
                                  bool append, const StreamMessageSink& sink)
{
    RecordsResult result;
    if (!append)
        doc.clearContent();

    // Stream identifiers to the groups made for them; lives for this read only.
    QHash<quint32, TGroupe*> map;
    QByteArray tag = firstTag;
    const auto fail = [&result]() {
        result.ok = false;
        result.error = StreamReader::readErrorText();
        return result;
    };

    while (tag == kNode) {
        quint32 id = 0;
        quint32 parentId = 0;
        QString name;
        in.readUInt32(id);
        in.readUInt32(parentId);
        if (!in.readText(name))
            return fail();
        TGroupe* parent = nullptr;
        if (parentId != 0) {
            parent = map.value(parentId, nullptr);
            if (!parent)
                emitMessage(sink, "ErreurHN");
        }
        TGroupe* group = doc.addGroup(name, parent);
        // 0 means "no group" to entries, so no group may claim it.
        if (id != 0 && !map.contains(id))
            map.insert(id, group);
        if (result.groups < std::numeric_limits<int>::max())
            ++result.groups;
        if (!in.readTag(tag))
            return fail();
    }

    while (tag == kEntry) {
        quint32 groupId = 0;
        in.readUInt32(groupId);
        const TGroupe* group = map.value(groupId, nullptr);
        if (!group)
            emitMessage(sink, "ErreurHN"); // kept, without a group, rather than dropped
        auto entry = std::make_unique<TFeuille>();
        entry->Group = group ? group->Id : 0;
        if (!in.readText(entry->Name))
            return fail();
        if (version >= 2 && !in.readText(entry->Login))
            return fail();
        if (!in.readText(entry->Password) || !in.readText(entry->WebAddress) || !in.readText(entry->Notes))
            return fail();
        const qsizetype fixedStart = in.pos();
        if (version >= 4) {
            in.readDouble(entry->Created);
            in.readDouble(entry->ModifiedAt);
        }
        if (version >= 6) {
            unsigned char mark[4] = {0, 0, 0, 0};
            in.readRaw(mark, 4);
            entry->IsFtpEntry = mark[0] != 0;
        }
        // The stream ended inside the record's dates or mark: the next tag cannot be read, and
        // the half-read entry does not join the document.
        const qsizetype fixedSize = (version >= 4 ? 16 : 0) + (version >= 6 ? 4 : 0);
        if (in.pos() - fixedStart < fixedSize)
            return fail();
        const bool marked = entry->IsFtpEntry;
        doc.appendEntry(std::move(entry));
        if (marked)
            doc.noteFtpEntryRead(doc.entryCount() - 1);
        if (result.entries < std::numeric_limits<int>::max())
            ++result.entries;
        if (!in.readTag(tag))
            return fail();
    }

    if (tag != kEnd)
        emitMessage(sink, "ErreurFIN");
    return result;
}
