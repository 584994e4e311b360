#include "document/DocumentJson.h"

#include "crypto/SecureBytes.h"
#include "document/JsonScan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace docjson {

namespace {

// The export holds every password in clear. It is written by hand, never through Qt's JSON
// classes, which copy every value and would leave copies of the passwords in the memory they
// free. The writer either only counts the bytes, or writes them into one buffer of fixed size
// that is handed on whenever it fills: toJson() counts first and then fills a buffer of exactly
// the right size, writeJson() streams through a small one. The text is the one Qt's writer gives
// for the same values.
class JsonOut
{
public:
    using Sink = std::function<bool(const char* data, qsizetype size)>;

    // Counts only.
    JsonOut() = default;
    // Writes into buffer (capacity bytes, at least kMinCapacity); sink, when given, receives the
    // buffer's content whenever it fills and at flush().
    JsonOut(char* buffer, qsizetype capacity, Sink sink) : m_buf(buffer), m_cap(capacity), m_sink(std::move(sink)) {}

    static constexpr qsizetype kMinCapacity = 64;

    qsizetype size() const { return m_size; }
    bool failed() const { return m_failed; }

    bool flush()
    {
        if (m_len > 0 && !m_failed && m_sink && !m_sink(m_buf, m_len))
            m_failed = true;
        m_len = 0;
        return !m_failed;
    }

    void raw(const char* data, qsizetype n)
    {
        m_size += n;
        if (!m_buf)
            return;
        while (n > 0) {
            const qsizetype k = qMin(n, room());
            std::memcpy(m_buf + m_len, data, size_t(k));
            m_len += k;
            data += k;
            n -= k;
        }
    }
    void raw(const char* text) { raw(text, qsizetype(std::strlen(text))); }
    void raw(char c) { raw(&c, 1); }

    void string(const QString& text)
    {
        raw('"');
        const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
        const qsizetype n = text.size();
        qsizetype i = 0;
        while (i < n) {
            // A run of characters that stand for themselves, narrowed a piece at a time.
            qsizetype j = i;
            while (j < n && p[j] >= 0x20 && p[j] < 0x80 && p[j] != u'"' && p[j] != u'\\')
                ++j;
            plainRun(p + i, j - i);
            if (j == n)
                break;
            i = j + special(p, j, n);
        }
        raw('"');
    }

    void integer(qint64 value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        raw(digits, end - digits);
    }

    // The shortest text that reads back to the same double; whole numbers without a fraction (so
    // both zeros give 0); null for what JSON cannot hold.
    void number(double value)
    {
        if (!std::isfinite(value)) {
            raw("null");
        } else if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) { // 2^53
            integer(qint64(value));
        } else if (std::fabs(value) < 9007199254740992.0) {
            // The shortest round-trip form, as Qt prints it in this range.
            char digits[32];
            const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
            raw(digits, end - digits);
        } else {
            raw(QByteArray::number(value, 'g', QLocale::FloatingPointShortest).constData());
        }
    }

    void boolean(bool value) { raw(value ? "true" : "false"); }

    void indexOrNull(int index)
    {
        if (index < 0)
            raw("null");
        else
            integer(index);
    }

    // Fields of an object, one per line at the given indentation, in the order they are given.
    void beginObject()
    {
        raw('{');
        m_first = true;
    }
    void key(const char* indent, const char* name)
    {
        raw(m_first ? "\n" : ",\n");
        m_first = false;
        raw(indent);
        raw("    \"");
        raw(name);
        raw("\": ");
    }
    void endObject(const char* indent)
    {
        raw('\n');
        raw(indent);
        raw('}');
    }

private:
    // Free bytes in the buffer, after handing it on when it is full.
    qsizetype room()
    {
        if (m_len == m_cap)
            flush();
        return m_cap - m_len;
    }

    void plainRun(const char16_t* p, qsizetype n)
    {
        m_size += n;
        if (!m_buf)
            return;
        while (n > 0) {
            const qsizetype k = qMin(n, room());
            char* d = m_buf + m_len;
            for (qsizetype t = 0; t < k; ++t)
                d[t] = char(p[t]);
            m_len += k;
            p += k;
            n -= k;
        }
    }

    // Writes the character at p[i], which needs escaping or several UTF-8 bytes; returns how many
    // UTF-16 units it took.
    qsizetype special(const char16_t* p, qsizetype i, qsizetype n)
    {
        static const char hex[] = "0123456789abcdef";
        const char16_t u = p[i];
        if (u < 0x80) {
            switch (u) {
            case u'"':
                raw("\\\"", 2);
                break;
            case u'\\':
                raw("\\\\", 2);
                break;
            case u'\b':
                raw("\\b", 2);
                break;
            case u'\f':
                raw("\\f", 2);
                break;
            case u'\n':
                raw("\\n", 2);
                break;
            case u'\r':
                raw("\\r", 2);
                break;
            case u'\t':
                raw("\\t", 2);
                break;
            default: {
                const char escaped[] = {'\\', 'u', '0', '0', hex[u >> 4], hex[u & 0xF]};
                raw(escaped, 6);
            }
            }
            return 1;
        }
        if (u < 0x800) {
            const char bytes[] = {char(0xC0 | (u >> 6)), char(0x80 | (u & 0x3F))};
            raw(bytes, 2);
            return 1;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            const char32_t c = QChar::surrogateToUcs4(u, p[i + 1]);
            const char bytes[] = {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)),
                                  char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
            raw(bytes, 4);
            return 2;
        }
        // A lone surrogate has no UTF-8 form: the replacement character stands for it.
        const char16_t c = QChar::isSurrogate(u) ? char16_t(0xFFFD) : u;
        const char bytes[] = {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        raw(bytes, 3);
        return 1;
    }

    char* m_buf = nullptr;
    qsizetype m_cap = 0;
    qsizetype m_len = 0;
    Sink m_sink;
    qsizetype m_size = 0;
    bool m_first = true;
    bool m_failed = false;
};

void writeDocument(JsonOut& o, const DocumentState& doc)
{
    const TDoc& d = doc.LocalDoc;
    const char* h = "    ";
    o.raw("{\n    \"header\": ");
    o.beginObject();
    o.key(h, "formatVersion");
    o.integer(d.FormatVersion);
    o.key(h, "saveCount");
    o.integer(d.SaveCount);
    o.key(h, "saveDate");
    o.number(d.SaveDate);
    o.key(h, "createDate");
    o.number(d.CreateDate);
    o.key(h, "reserved1");
    o.string(d.Reserved1);
    o.key(h, "reserved2");
    o.string(d.Reserved2);
    o.key(h, "syncOn");
    o.boolean(d.SyncOn);
    o.key(h, "useFtpEntry");
    o.boolean(d.UseFtpEntry);
    o.key(h, "serverName");
    o.string(d.ServerName);
    o.key(h, "portNumber");
    o.integer(d.PortNumber);
    o.key(h, "passiveMode");
    o.boolean(d.PassiveMode);
    o.key(h, "remotePath");
    o.string(d.RemotePath);
    o.key(h, "userName");
    o.string(d.UserName);
    o.key(h, "userPassword");
    o.string(d.UserPassword);
    o.endObject(h);

    const char* item = "        ";
    const std::vector<TGroupe*> groups = doc.groupsInOrder();
    std::unordered_map<quint32, int> indexOfGroup;
    indexOfGroup.reserve(groups.size());
    o.raw(",\n    \"groups\": [");
    int n = 0;
    for (const TGroupe* g : groups) {
        const int parent = g->Parent ? indexOfGroup.at(g->Parent->Id) : -1;
        indexOfGroup[g->Id] = n;
        o.raw(n++ ? ",\n        " : "\n        ");
        o.beginObject();
        o.key(item, "name");
        o.string(g->Name);
        o.key(item, "parent");
        o.indexOrNull(parent);
        o.endObject(item);
    }
    o.raw(n ? "\n    ]" : "]");

    o.raw(",\n    \"entries\": [");
    n = 0;
    for (const auto& e : doc.Entries()) {
        const auto it = indexOfGroup.find(e->Group);
        o.raw(n++ ? ",\n        " : "\n        ");
        o.beginObject();
        o.key(item, "group");
        o.indexOrNull(it == indexOfGroup.end() ? -1 : it->second);
        o.key(item, "name");
        o.string(e->Name);
        o.key(item, "login");
        o.string(e->Login);
        o.key(item, "password");
        o.string(e->Password);
        o.key(item, "webAddress");
        o.string(e->WebAddress);
        o.key(item, "notes");
        o.string(e->Notes);
        o.key(item, "created");
        o.number(e->Created);
        o.key(item, "modifiedAt");
        o.number(e->ModifiedAt);
        o.key(item, "isFtpEntry");
        o.boolean(e->IsFtpEntry);
        o.endObject(item);
    }
    o.raw(n ? "\n    ]\n}\n" : "]\n}\n");
}

} // namespace

QByteArray toJson(const DocumentState& doc)
{
    JsonOut counter;
    writeDocument(counter, doc);
    QByteArray out(qMax(counter.size(), JsonOut::kMinCapacity), Qt::Uninitialized);
    JsonOut writer(out.data(), out.size(), {});
    writeDocument(writer, doc);
    out.truncate(counter.size());
    return out;
}

bool writeJson(const DocumentState& doc, const std::function<bool(const char*, qsizetype)>& write)
{
    SecureBytes buffer(QByteArray(kJsonChunk, Qt::Uninitialized));
    JsonOut writer(buffer.bytes().data(), buffer.size(), write);
    writeDocument(writer, doc);
    return writer.flush();
}

namespace {

// Reads the fields of one JSON object, checking names and types; the first problem is kept
// with its place.
class FieldReader
{
public:
    FieldReader(const QJsonObject& object, QString place, QString& error)
        : m_object(object), m_place(std::move(place)), m_error(error)
    {
    }

    // Every field of the object must be one of known.
    void allowOnly(std::initializer_list<const char*> known)
    {
        QSet<QString> names;
        for (const char* k : known)
            names.insert(QLatin1String(k));
        for (auto it = m_object.begin(); it != m_object.end(); ++it)
            if (!names.contains(it.key()))
                return fail(QString(), QStringLiteral("unknown field \"%1\"").arg(it.key()));
    }

    void text(const char* key, QString& out)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return;
        if (!v.isString())
            return fail(key, QStringLiteral("expected a string"));
        out = v.toString();
    }

    void boolean(const char* key, bool& out)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return;
        if (!v.isBool())
            return fail(key, QStringLiteral("expected true or false"));
        out = v.toBool();
    }

    void date(const char* key, double& out)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return;
        if (v.isNull()) {
            out = 0; // what JSON makes of a date that was not a finite number
            return;
        }
        if (!v.isDouble())
            return fail(key, QStringLiteral("expected a number"));
        out = v.toDouble();
    }

    void int32(const char* key, qint32& out)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return;
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::trunc(d) || d < std::numeric_limits<qint32>::min() ||
            d > std::numeric_limits<qint32>::max())
            return fail(key, QStringLiteral("expected a whole number of 32 bits"));
        out = static_cast<qint32>(d);
    }

    // An index below limit, or null (-1). limitText says what the index must be below.
    void index(const char* key, int limit, const QString& limitText, int& out)
    {
        out = -1;
        const QJsonValue v = value(key);
        if (v.isUndefined() || v.isNull())
            return;
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d != std::trunc(d) || d < 0)
            return fail(key, QStringLiteral("expected an index or null"));
        if (d >= limit)
            return fail(key, QStringLiteral("index %1 %2").arg(QString::number(d, 'g', 17), limitText));
        out = static_cast<int>(d);
    }

private:
    QJsonValue value(const char* key) const
    {
        if (!m_error.isEmpty())
            return QJsonValue(QJsonValue::Undefined);
        return m_object.value(QLatin1String(key));
    }

    void fail(const char* key, const QString& what) { fail(QString::fromLatin1(key), what); }

    void fail(const QString& key, const QString& what)
    {
        if (!m_error.isEmpty())
            return;
        const QString place = key.isEmpty() ? m_place : m_place + QLatin1Char('.') + key;
        m_error = place + QStringLiteral(": ") + what;
    }

    const QJsonObject& m_object;
    QString m_place;
    QString& m_error;
};

// A top-level member that must be an array when present.
bool arrayMember(const QJsonObject& root, const char* key, QJsonArray& out, QString& error)
{
    const QJsonValue v = root.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isArray()) {
        error = QStringLiteral("%1: expected an array").arg(QLatin1String(key));
        return false;
    }
    out = v.toArray();
    return true;
}

} // namespace

bool fromJson(const QByteArray& json, DocumentState& doc, QString* errorOut)
{
    QString error;
    const auto failed = [&]() {
        if (errorOut)
            *errorOut = error;
        return false;
    };

    QJsonParseError parseError;
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error =
            QStringLiteral("JSON syntax error at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return failed();
    }
    // The parser keeps one of two members of the same name: a second "entries" would take the
    // place of the first without a word.
    if (const jsonscan::Fault twice = jsonscan::scan(json, -1).duplicate; twice.found()) {
        error = QStringLiteral("line %1, column %2: %3").arg(twice.line).arg(twice.column).arg(twice.what);
        return failed();
    }
    if (!parsed.isObject()) {
        error = QStringLiteral("document: expected an object");
        return failed();
    }
    const QJsonObject root = parsed.object();
    FieldReader top(root, QStringLiteral("document"), error);
    top.allowOnly({"header", "groups", "entries"});
    if (!error.isEmpty())
        return failed();

    TDoc header;
    ResetDoc(header);
    const QJsonValue headerValue = root.value(QLatin1String("header"));
    if (!headerValue.isUndefined()) {
        if (!headerValue.isObject()) {
            error = QStringLiteral("header: expected an object");
            return failed();
        }
        const QJsonObject h = headerValue.toObject();
        FieldReader r(h, QStringLiteral("header"), error);
        r.allowOnly({"formatVersion", "saveCount", "saveDate", "createDate", "reserved1", "reserved2", "syncOn",
                     "useFtpEntry", "serverName", "portNumber", "passiveMode", "remotePath", "userName",
                     "userPassword"});
        qint32 formatVersion = 0; // checked, but it describes a file read, not this document
        r.int32("formatVersion", formatVersion);
        r.int32("saveCount", header.SaveCount);
        r.date("saveDate", header.SaveDate);
        r.date("createDate", header.CreateDate);
        r.text("reserved1", header.Reserved1);
        r.text("reserved2", header.Reserved2);
        r.boolean("syncOn", header.SyncOn);
        r.boolean("useFtpEntry", header.UseFtpEntry);
        r.text("serverName", header.ServerName);
        r.int32("portNumber", header.PortNumber);
        r.boolean("passiveMode", header.PassiveMode);
        r.text("remotePath", header.RemotePath);
        r.text("userName", header.UserName);
        r.text("userPassword", header.UserPassword);
        if (!error.isEmpty())
            return failed();
    }

    QJsonArray groups;
    QJsonArray entries;
    if (!arrayMember(root, "groups", groups, error) || !arrayMember(root, "entries", entries, error))
        return failed();

    struct ImportedGroup
    {
        QString name;
        int parent = -1;
    };
    std::vector<ImportedGroup> importedGroups;
    for (int i = 0; i < groups.size(); ++i) {
        const QString place = QStringLiteral("groups[%1]").arg(i);
        if (!groups.at(i).isObject()) {
            error = place + QStringLiteral(": expected an object");
            return failed();
        }
        const QJsonObject g = groups.at(i).toObject();
        FieldReader r(g, place, error);
        r.allowOnly({"name", "parent"});
        ImportedGroup imported;
        r.text("name", imported.name);
        r.index("parent", i, QStringLiteral("does not come before this group"), imported.parent);
        if (!error.isEmpty())
            return failed();
        importedGroups.push_back(imported);
    }

    std::vector<std::unique_ptr<TFeuille>> entryList;
    std::vector<int> entryGroups;
    for (int i = 0; i < entries.size(); ++i) {
        const QString place = QStringLiteral("entries[%1]").arg(i);
        if (!entries.at(i).isObject()) {
            error = place + QStringLiteral(": expected an object");
            return failed();
        }
        const QJsonObject o = entries.at(i).toObject();
        FieldReader r(o, place, error);
        r.allowOnly(
            {"group", "name", "login", "password", "webAddress", "notes", "created", "modifiedAt", "isFtpEntry"});
        auto e = std::make_unique<TFeuille>();
        int group = -1;
        r.index("group", static_cast<int>(importedGroups.size()), QStringLiteral("out of range"), group);
        r.text("name", e->Name);
        r.text("login", e->Login);
        r.text("password", e->Password);
        r.text("webAddress", e->WebAddress);
        r.text("notes", e->Notes);
        r.date("created", e->Created);
        r.date("modifiedAt", e->ModifiedAt);
        r.boolean("isFtpEntry", e->IsFtpEntry);
        if (!error.isEmpty())
            return failed();
        entryList.push_back(std::move(e));
        entryGroups.push_back(group);
    }

    // Everything checked: only now is the document replaced.
    doc.clearContent();
    doc.LocalDoc = header;
    std::vector<TGroupe*> made;
    made.reserve(importedGroups.size());
    for (const ImportedGroup& imported : importedGroups)
        made.push_back(
            doc.addGroup(imported.name, imported.parent < 0 ? nullptr : made[static_cast<size_t>(imported.parent)]));
    for (size_t i = 0; i < entryList.size(); ++i) {
        entryList[i]->Group = entryGroups[i] < 0 ? 0 : made[static_cast<size_t>(entryGroups[i])]->Id;
        const bool marked = entryList[i]->IsFtpEntry;
        doc.appendEntry(std::move(entryList[i]));
        if (marked)
            doc.noteFtpEntryRead(doc.entryCount() - 1); // as a read does: the last mark designates
    }
    return true;
}

} // namespace docjson
