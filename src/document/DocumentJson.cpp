#include "document/DocumentJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <limits>
#include <unordered_map>

namespace docjson {

namespace {

QJsonValue indexOrNull(int index)
{
    return index < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(index);
}

using Fields = std::initializer_list<std::pair<const char*, QJsonValue>>;

// One JSON value as text, escaped and with numbers in their shortest exact form, as Qt writes it.
QByteArray scalar(const QJsonValue& value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

// An object with its fields in the given order (QJsonObject would sort them).
void writeObject(QByteArray& out, const QByteArray& indent, Fields fields)
{
    out += "{\n";
    size_t i = 0;
    for (const auto& [key, value] : fields) {
        out += indent + "    \"" + key + "\": " + scalar(value);
        out += ++i < fields.size() ? ",\n" : "\n";
    }
    out += indent + "}";
}

} // namespace

QByteArray toJson(const DocumentState& doc)
{
    const TDoc& d = doc.LocalDoc;
    QByteArray out;
    out += "{\n    \"header\": ";
    writeObject(out, "    ",
                {
                    {"formatVersion", d.FormatVersion},
                    {"saveCount", d.SaveCount},
                    {"saveDate", d.SaveDate},
                    {"createDate", d.CreateDate},
                    {"reserved1", d.Reserved1},
                    {"reserved2", d.Reserved2},
                    {"syncOn", d.SyncOn},
                    {"useFtpEntry", d.UseFtpEntry},
                    {"serverName", d.ServerName},
                    {"portNumber", d.PortNumber},
                    {"passiveMode", d.PassiveMode},
                    {"remotePath", d.RemotePath},
                    {"userName", d.UserName},
                    {"userPassword", d.UserPassword},
                });

    std::unordered_map<quint32, int> indexOfGroup;
    out += ",\n    \"groups\": [";
    int n = 0;
    for (const TGroupe* g : doc.groupsInOrder()) {
        const int parent = g->Parent ? indexOfGroup.at(g->Parent->Id) : -1;
        indexOfGroup[g->Id] = n;
        out += n++ ? ",\n        " : "\n        ";
        writeObject(out, "        ", {{"name", g->Name}, {"parent", indexOrNull(parent)}});
    }
    out += n ? "\n    ]" : "]";

    out += ",\n    \"entries\": [";
    n = 0;
    for (const auto& e : doc.Entries()) {
        const auto it = indexOfGroup.find(e->Group);
        out += n++ ? ",\n        " : "\n        ";
        writeObject(out, "        ",
                    {
                        {"group", indexOrNull(it == indexOfGroup.end() ? -1 : it->second)},
                        {"name", e->Name},
                        {"login", e->Login},
                        {"password", e->Password},
                        {"webAddress", e->WebAddress},
                        {"notes", e->Notes},
                        {"created", e->Created},
                        {"modifiedAt", e->ModifiedAt},
                        {"isFtpEntry", e->IsFtpEntry},
                    });
    }
    out += n ? "\n    ]\n}\n" : "]\n}\n";
    return out;
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

    struct GroupSpec
    {
        QString name;
        int parent = -1;
    };
    std::vector<GroupSpec> groupSpecs;
    for (int i = 0; i < groups.size(); ++i) {
        const QString place = QStringLiteral("groups[%1]").arg(i);
        if (!groups.at(i).isObject()) {
            error = place + QStringLiteral(": expected an object");
            return failed();
        }
        const QJsonObject g = groups.at(i).toObject();
        FieldReader r(g, place, error);
        r.allowOnly({"name", "parent"});
        GroupSpec spec;
        r.text("name", spec.name);
        r.index("parent", i, QStringLiteral("does not come before this group"), spec.parent);
        if (!error.isEmpty())
            return failed();
        groupSpecs.push_back(spec);
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
        r.index("group", static_cast<int>(groupSpecs.size()), QStringLiteral("out of range"), group);
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
    made.reserve(groupSpecs.size());
    for (const GroupSpec& spec : groupSpecs)
        made.push_back(doc.addGroup(spec.name, spec.parent < 0 ? nullptr : made[static_cast<size_t>(spec.parent)]));
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
