// Bitwarden's unencrypted JSON export: {"encrypted": false, "folders": [{"id", "name"}],
// "items": [{"type", "name", "notes", "folderId", "login": {"username", "password", "totp",
// "uris": [{"uri"}]}, "fields": [{"name", "value"}], "creationDate", "revisionDate", ...}]}.
// Folders become groups ("A/B" nests B in A); logins, secure notes, cards and identities become
// entries, whatever has no field of its own going to the notes as "Name: value" lines.
#include "document/ForeignImport.h"

#include "crypto/SecureBytes.h"
#include "document/JsonScan.h"

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

// A value as the text of a notes line: a string, a number or a yes/no; false for an object or an
// array, which have no place in a line (null is no value: nothing).
bool valueText(const QJsonValue& v, QString& out)
{
    out.clear();
    if (v.isString())
        out = v.toString();
    else if (v.isDouble())
        out = QString::number(v.toDouble(), 'g', 17);
    else if (v.isBool())
        out = v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    else if (v.isObject() || v.isArray())
        return false;
    return true;
}

// The scalar members of a card, an identity or a key, as "name: value" lines, in file order; a
// member that is no scalar is recorded as left out.
QStringList scalarLines(const QJsonObject& o, const QString& place, ImportedData& data)
{
    QStringList lines;
    for (auto it = o.begin(); it != o.end(); ++it) {
        QString value;
        if (!valueText(it.value(), value))
            data.dropped.push_back(Dropped{Dropped::Value, 0, place, it.key()});
        else if (!value.isEmpty())
            lines << it.key() + QStringLiteral(": ") + value;
    }
    return lines;
}

} // namespace

bool readBitwardenJson(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error)
{
    data.wipe();
    // Before the parse: a text no field may hold is refused before it is made (a string of JSON
    // holds at most one character in six bytes: "\u0041").
    const jsonscan::Result scanned = jsonscan::scan(bytes, 6 * kMaxFieldChars);
    if (scanned.tooLong.found()) {
        error.line = scanned.tooLong.line;
        error.column = scanned.tooLong.column;
        error.what = QStringLiteral("a text of more than %1 characters").arg(kMaxFieldChars);
        return false;
    }
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
    // The parser keeps one of two members of the same name: a second "items" would take the place
    // of the first without a word.
    if (scanned.duplicate.found()) {
        error.line = scanned.duplicate.line;
        error.column = scanned.duplicate.column;
        error.what = scanned.duplicate.what;
        return false;
    }
    ItemReader r(error);
    if (!parsed.isObject())
        return r.fail(QStringLiteral("document"), QStringLiteral("expected an object"));
    const QJsonObject root = parsed.object();
    // An encrypted export holds ciphertexts where the passwords go: refused, whatever else it says.
    for (const char* flag : {"encrypted", "passwordProtected"}) {
        const QJsonValue v = root.value(QLatin1String(flag));
        if (!v.isUndefined() && !v.isNull() && !v.isBool())
            return r.fail(QLatin1String(flag), QStringLiteral("expected true or false"));
    }
    if (root.value(QLatin1String("passwordProtected")).toBool())
        return r.fail(QStringLiteral("passwordProtected"),
                      QStringLiteral("this Bitwarden export is protected by a password: export the vault again as "
                                     "unencrypted JSON"));
    if (root.value(QLatin1String("encrypted")).toBool() || root.contains(QLatin1String("encKeyValidation_DO_NOT_EDIT")))
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
            // Text, hidden and check-box fields carry their value as text (a number or a yes/no from
            // other writers is kept as its text); linked ones carry none.
            QString value;
            if (ok && !valueText(field.value(QLatin1String("value")), value))
                data.dropped.push_back(Dropped{Dropped::Value, 0, fieldPlace, fieldName});
            else if (ok && !value.isEmpty())
                lines << fieldName + QStringLiteral(": ") + value;
        }
        for (const char* kind : {"card", "identity", "sshKey"}) {
            QJsonObject details;
            ok = ok && r.object(item, kind, place, details);
            lines << scalarLines(details, place + QLatin1Char('.') + QLatin1String(kind), data);
        }
        if (!ok) {
            data.wipe();
            return false;
        }
        if (name.isEmpty())
            name = !hostOf(url).isEmpty() ? hostOf(url) : defaultName;
        if (!totp.trimmed().isEmpty())
            lines << QLatin1String(kTotpLinePrefix) + totpUrl(totp, name);
        ++data.seen;
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
