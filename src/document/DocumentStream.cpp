#include "document/DocumentStream.h"

#include "platform/Win1252.h"

#include <QtEndian>

#include <openssl/crypto.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

const QByteArray kMagic = QByteArrayLiteral("TRS");
const QByteArray kVersion7 = QByteArrayLiteral(" 1.7");
const QByteArray kNode = QByteArrayLiteral("NODE");
const QByteArray kEntry = QByteArrayLiteral("FEUI");
const QByteArray kEnd = QByteArrayLiteral("FINI");

// How much a discarding reader reads between two discards.
constexpr qsizetype kDiscardStep = 1024 * 1024;

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

// Writes at a cursor into a buffer already sized for the whole stream: appending one field at a
// time through QByteArray costs more than the cipher itself on a large document.
class Cursor
{
public:
    explicit Cursor(char* at) : m_at(at) {}
    char* at() const { return m_at; }

    void bytes(const char* data, qsizetype n)
    {
        std::memcpy(m_at, data, size_t(n));
        m_at += n;
    }
    void tag(const QByteArray& tag) { bytes(tag.constData(), 4); }
    void uint32(quint32 v)
    {
        qToLittleEndian(v, m_at);
        m_at += 4;
    }
    void int32(qint32 v) { uint32(static_cast<quint32>(v)); }
    void float64(double v)
    {
        qToLittleEndian(v, m_at);
        m_at += 8;
    }
    void boolean(bool v) { *m_at++ = v ? '\1' : '\0'; }
    void text(const QString& text)
    {
        // Texts fit in the 32-bit count: a QString larger than 2 GiB is far beyond any document.
        char* count = m_at;
        m_at += 4;
        const qsizetype n = win1252::writeTo(m_at, text);
        qToLittleEndian(static_cast<quint32>(n), count);
        m_at += n;
    }

private:
    char* m_at;
};

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
    // Reuses the tag's own buffer: one allocation per record adds up over a large document.
    if (tag.size() != 4)
        tag.resize(4);
    std::memcpy(tag.data(), m_data.constData() + m_pos, 4);
    m_pos += 4;
    // A tag starts every record: the place to let go of what is behind.
    if (m_discard && m_pos - m_discarded >= kDiscardStep)
        discardRead();
    return true;
}

void StreamReader::discardRead()
{
    // The owner gave this reader its buffer to consume (setDiscardBehind): nobody reads these bytes again.
    char* const base = const_cast<char*>(m_data.constData());
    OPENSSL_cleanse(base + m_discarded, size_t(m_pos - m_discarded));
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr first = (quintptr(base) + page - 1) & ~(page - 1);
    const quintptr from = qMax(first, quintptr(base + m_discarded) & ~(page - 1));
    const quintptr to = quintptr(base + m_pos) & ~(page - 1);
    if (page > 0 && to > from)
        madvise(reinterpret_cast<void*>(from), size_t(to - from), MADV_DONTNEED);
    m_discarded = m_pos;
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
    // Sized once to an upper bound (one byte per UTF-16 unit at most), then cut to what was written;
    // the spare room that stays lets the cipher work in this buffer.
    const qsizetype start = out.size();
    out.resize(start + estimateSize(doc));
    char* const begin = out.data() + start;
    Cursor c(begin);
    const TDoc& d = doc.LocalDoc;
    c.bytes(kMagic.constData(), 3);
    c.tag(kVersion7);

    c.int32(d.SaveCount);
    c.float64(d.SaveDate);
    c.text(d.Reserved1);
    c.text(d.Reserved2);
    c.float64(d.CreateDate);
    c.boolean(d.SyncOn);
    c.boolean(d.UseFtpEntry);
    c.text(d.ServerName);
    c.int32(d.PortNumber);
    c.boolean(d.PassiveMode);
    c.text(d.RemotePath);
    c.text(d.UserName);
    c.text(d.UserPassword);

    doc.forEachGroup([&c](TGroupe* g) {
        c.tag(kNode);
        c.uint32(g->Id);
        c.uint32(g->Parent ? g->Parent->Id : 0);
        c.text(g->Name);
    });

    for (const auto& e : doc.Entries()) {
        c.tag(kEntry);
        c.uint32(e->Group);
        c.text(e->Name);
        c.text(e->Login);
        c.text(e->Password);
        c.text(e->WebAddress);
        c.text(e->Notes);
        c.float64(e->Created);
        c.float64(e->ModifiedAt);
        const char mark[4] = {e->IsFtpEntry ? '\1' : '\0', 0, 0, 0};
        c.bytes(mark, 4);
    }

    c.tag(kEnd);
    out.truncate(start + (c.at() - begin));
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
    // A stream may hold any number of records with unknown identifiers: one message says it, one
    // modal box per record would leave the user no way out.
    bool unknownShown = false;
    const auto unknownGroup = [&sink, &unknownShown]() {
        if (!unknownShown)
            emitMessage(sink, "ErreurHN");
        unknownShown = true;
    };
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
                unknownGroup();
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
            unknownGroup(); // kept, without a group, rather than dropped
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
