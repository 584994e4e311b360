// Bitwarden's unencrypted JSON export: {"encrypted": false, "folders": [{"id", "name"}],
// "items": [{"type", "name", "notes", "folderId", "login": {"username", "password", "totp",
// "uris": [{"uri"}]}, "fields": [{"name", "value"}], "creationDate", "revisionDate", ...}]}.
// Folders become groups ("A/B" nests B in A); logins, secure notes, cards and identities become
// entries, whatever has no field of its own going to the notes as "Name: value" lines.
#include "document/ForeignImport.h"

#include "crypto/SecureBytes.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace foreign {

namespace {

class ItemReader
{
public:
    explicit ItemReader(ImportError& error) : m_error(error) {}

    // A string member, or "" when it is missing or null; anything else is a fault at place.key.
    bool text(const QJsonObject& o, const char* key, const QString& place, QString& out)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        out.clear();
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isString())
            return fail(place + QLatin1Char('.') + QLatin1String(key), QStringLiteral("expected a string"));
        out = v.toString();
        if (out.size() > kMaxFieldChars)
            return fail(place + QLatin1Char('.') + QLatin1String(key),
                        QStringLiteral("a text of more than %1 characters").arg(kMaxFieldChars));
        return true;
    }

    // An object or array member, or an empty one when missing or null.
    bool object(const QJsonObject& o, const char* key, const QString& place, QJsonObject& out)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        out = QJsonObject();
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isObject())
            return fail(place + QLatin1Char('.') + QLatin1String(key), QStringLiteral("expected an object"));
        out = v.toObject();
        return true;
    }
    bool array(const QJsonObject& o, const char* key, const QString& place, QJsonArray& out)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        out = QJsonArray();
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isArray())
            return fail(place + QLatin1Char('.') + QLatin1String(key), QStringLiteral("expected an array"));
        out = v.toArray();
        return true;
    }

    bool date(const QJsonObject& o, const char* key, const QString& place, DateTime& out)
    {
        QString t;
        if (!text(o, key, place, t))
            return false;
        if (!parseDate(t, out))
            return fail(place + QLatin1Char('.') + QLatin1String(key),
                        QStringLiteral("\"%1\" is not a date").arg(t.left(40)));
        return true;
    }

    bool fail(const QString& place, const QString& what)
    {
        m_error.place = place;
        m_error.what = what;
        return false;
    }

private:
    ImportError& m_error;
};

// The scalar members of a card, an identity or a key, as "name: value" lines, in file order.
QStringList scalarLines(const QJsonObject& o)
{
    QStringList lines;
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QJsonValue v = it.value();
        QString value;
        if (v.isString())
            value = v.toString();
        else if (v.isDouble())
            value = QString::number(v.toDouble(), 'g', 17);
        else if (v.isBool())
            value = v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        if (!value.isEmpty())
            lines << it.key() + QStringLiteral(": ") + value;
    }
    return lines;
}

} // namespace

bool readBitwardenJson(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error)
{
    data.wipe();
    QJsonParseError parseError;
    const QJsonDocument parsed = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const qsizetype offset = qBound(qsizetype(0), qsizetype(parseError.offset), bytes.size());
        const QByteArrayView before = QByteArrayView(bytes).first(offset);
        error.line = before.count('\n') + 1;
        error.column = offset - (before.lastIndexOf('\n') + 1) + 1;
        error.what = parseError.errorString();
        return false;
    }
    ItemReader r(error);
    if (!parsed.isObject())
        return r.fail(QStringLiteral("document"), QStringLiteral("expected an object"));
    const QJsonObject root = parsed.object();
    if (root.value(QLatin1String("encrypted")).toBool())
        return r.fail(QStringLiteral("encrypted"),
                      QStringLiteral("this Bitwarden export is encrypted: export the vault again as unencrypted JSON"));
    if (!root.value(QLatin1String("items")).isArray())
        return r.fail(QStringLiteral("items"), QStringLiteral("no array of items: not a Bitwarden JSON export"));

    QJsonArray folders;
    if (!r.array(root, "folders", QStringLiteral("document"), folders))
        return false;
    QHash<QString, int> folderGroup;
    QHash<std::pair<int, QString>, int> groupIndex;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const QString place = QStringLiteral("folders[%1]").arg(i);
        if (!folders.at(i).isObject())
            return r.fail(place, QStringLiteral("expected an object"));
        const QJsonObject f = folders.at(i).toObject();
        QString id, name;
        if (!r.text(f, "id", place, id) || !r.text(f, "name", place, name))
            return false;
        const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (parts.size() > kMaxGroupDepth)
            return r.fail(place + QStringLiteral(".name"),
                          QStringLiteral("groups nested more than %1 deep").arg(kMaxGroupDepth));
        int group = -1;
        for (const QString& part : parts) {
            const auto key = std::make_pair(group, part);
            auto it = groupIndex.find(key);
            if (it == groupIndex.end())
                it = groupIndex.insert(key, data.addGroup(part, group, id));
            group = *it;
        }
        folderGroup.insert(id, group);
    }

    const QJsonArray items = root.value(QLatin1String("items")).toArray();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString place = QStringLiteral("items[%1]").arg(i);
        if (!items.at(i).isObject()) {
            data.wipe();
            return r.fail(place, QStringLiteral("expected an object"));
        }
        const QJsonObject item = items.at(i).toObject();
        QString name, notes, folderId, username, password, totp;
        QJsonObject login;
        QJsonArray fields, uris;
        DateTime created = 0, modified = 0;
        QStringList lines;
        bool ok = r.text(item, "name", place, name) && r.text(item, "notes", place, notes) &&
                  r.text(item, "folderId", place, folderId) && r.object(item, "login", place, login) &&
                  r.array(item, "fields", place, fields) && r.date(item, "creationDate", place, created) &&
                  r.date(item, "revisionDate", place, modified);
        const QString loginPlace = place + QStringLiteral(".login");
        ok = ok && r.text(login, "username", loginPlace, username) && r.text(login, "password", loginPlace, password) &&
             r.text(login, "totp", loginPlace, totp) && r.array(login, "uris", loginPlace, uris);
        QString url;
        for (qsizetype u = 0; ok && u < uris.size(); ++u) {
            const QString uriPlace = loginPlace + QStringLiteral(".uris[%1]").arg(u);
            QString uri;
            ok = uris.at(u).isObject() ? r.text(uris.at(u).toObject(), "uri", uriPlace, uri)
                                       : r.fail(uriPlace, QStringLiteral("expected an object"));
            if (url.isEmpty())
                url = uri;
            else if (!uri.isEmpty())
                lines << QStringLiteral("URL: ") + uri;
        }
        for (qsizetype f = 0; ok && f < fields.size(); ++f) {
            const QString fieldPlace = place + QStringLiteral(".fields[%1]").arg(f);
            if (!fields.at(f).isObject()) {
                ok = r.fail(fieldPlace, QStringLiteral("expected an object"));
                break;
            }
            const QJsonObject field = fields.at(f).toObject();
            QString fieldName;
            ok = r.text(field, "name", fieldPlace, fieldName);
            const QJsonValue value = field.value(QLatin1String("value"));
            // Text, hidden and check-box fields carry their value as text; linked ones carry none.
            if (ok && value.isString() && !value.toString().isEmpty())
                lines << fieldName + QStringLiteral(": ") + value.toString();
        }
        for (const char* kind : {"card", "identity", "sshKey"}) {
            QJsonObject details;
            ok = ok && r.object(item, kind, place, details);
            lines << scalarLines(details);
        }
        if (!ok) {
            data.wipe();
            return false;
        }
        if (name.isEmpty())
            name = !hostOf(url).isEmpty() ? hostOf(url) : defaultName;
        if (!totp.trimmed().isEmpty())
            lines << QLatin1String(kTotpLinePrefix) + totpUrl(totp, name);
        TFeuille& e = data.addEntry(folderGroup.value(folderId, -1), 0);
        e.Name = std::move(name);
        e.Login = std::move(username);
        e.Password = std::move(password);
        e.WebAddress = std::move(url);
        e.Notes = notesWithLines(crlfLines(notes), lines);
        e.Created = created;
        e.ModifiedAt = modified;
        secureWipe(notes);
        secureWipe(totp);
    }
    return true;
}

} // namespace foreign
