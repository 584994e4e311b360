// CSV password exports with a header line, quoted as RFC 4180 says (fields in double quotes may
// hold commas, line breaks and doubled quotes). The columns are recognised by their names, which
// covers KeePassXC ("Group","Title","Username","Password","URL","Notes","TOTP",...), Chrome and
// Edge (name,url,username,password,note), Firefox (url,username,password,httpRealm,...),
// Bitwarden (folder,...,login_uri,login_username,login_password,login_totp) and LastPass
// (url,username,password,totp,extra,name,grouping,fav).
#include "document/ForeignImport.h"

#include "crypto/SecureBytes.h"

#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <QStringDecoder>

namespace foreign {

namespace {

enum class Role
{
    Ignored,
    Extra, // kept as a "Column: value" line of the notes
    GroupSlash,
    GroupBackslash,
    Name,
    Login,
    Password,
    Url,
    Notes,
    Totp,
    Created,
    Modified,
    Fields, // Bitwarden's custom fields, already "name: value" lines
};

Role roleOf(const QString& header)
{
    static const QHash<QString, Role> kRoles = {
        {QStringLiteral("group"), Role::GroupSlash},
        {QStringLiteral("folder"), Role::GroupSlash},
        {QStringLiteral("grouping"), Role::GroupBackslash},
        {QStringLiteral("title"), Role::Name},
        {QStringLiteral("name"), Role::Name},
        {QStringLiteral("username"), Role::Login},
        {QStringLiteral("login_username"), Role::Login},
        {QStringLiteral("login"), Role::Login},
        {QStringLiteral("password"), Role::Password},
        {QStringLiteral("login_password"), Role::Password},
        {QStringLiteral("url"), Role::Url},
        {QStringLiteral("login_uri"), Role::Url},
        {QStringLiteral("website"), Role::Url},
        {QStringLiteral("notes"), Role::Notes},
        {QStringLiteral("note"), Role::Notes},
        {QStringLiteral("extra"), Role::Notes},
        {QStringLiteral("totp"), Role::Totp},
        {QStringLiteral("login_totp"), Role::Totp},
        {QStringLiteral("otpauth"), Role::Totp},
        {QStringLiteral("created"), Role::Created},
        {QStringLiteral("timecreated"), Role::Created},
        {QStringLiteral("last modified"), Role::Modified},
        {QStringLiteral("timepasswordchanged"), Role::Modified},
        {QStringLiteral("fields"), Role::Fields},
        // What says nothing about the login itself.
        {QStringLiteral("icon"), Role::Ignored},
        {QStringLiteral("guid"), Role::Ignored},
        {QStringLiteral("timelastused"), Role::Ignored},
        {QStringLiteral("formactionorigin"), Role::Ignored},
        {QStringLiteral("fav"), Role::Ignored},
        {QStringLiteral("favorite"), Role::Ignored},
        {QStringLiteral("reprompt"), Role::Ignored},
        {QStringLiteral("type"), Role::Ignored},
    };
    return kRoles.value(header.trimmed().toLower(), Role::Extra);
}

// RFC 4180 fields, one record at a time, with the line and column where each field starts.
class CsvParser
{
public:
    struct Field
    {
        QString text;
        qint64 line = 0;
        qint64 column = 0;
    };

    CsvParser(const QString& text, QChar delimiter) : m_text(text), m_delimiter(delimiter) {}

    // The next record into fields; false at the end of the text or on a fault (error set).
    bool next(std::vector<Field>& fields, qint64& recordLine, ImportError& error)
    {
        for (auto& f : fields)
            secureWipe(f.text);
        fields.clear();
        const qsizetype n = m_text.size();
        if (m_pos >= n)
            return false;
        recordLine = m_line;
        const QChar* p = m_text.constData();
        for (;;) {
            Field field;
            field.line = m_line;
            field.column = m_pos - m_lineStart + 1;
            if (m_pos < n && p[m_pos] == QLatin1Char('"')) {
                ++m_pos;
                for (;;) {
                    const qsizetype quote = m_text.indexOf(QLatin1Char('"'), m_pos);
                    if (quote < 0)
                        return fail(error, field.line, field.column,
                                    QStringLiteral("the quoted field that starts here is not closed"));
                    // Refused before it is copied: a field of a hundred megabytes would be held twice.
                    if (field.text.size() + (quote - m_pos) > kMaxFieldChars)
                        return fail(error, field.line, field.column,
                                    QStringLiteral("a field of more than %1 characters").arg(kMaxFieldChars));
                    countLines(m_pos, quote);
                    field.text.append(p + m_pos, quote - m_pos);
                    m_pos = quote + 1;
                    if (m_pos < n && p[m_pos] == QLatin1Char('"')) {
                        field.text.append(QLatin1Char('"'));
                        ++m_pos;
                        continue;
                    }
                    break;
                }
                if (m_pos < n && p[m_pos] != m_delimiter && p[m_pos] != QLatin1Char('\r') &&
                    p[m_pos] != QLatin1Char('\n'))
                    return fail(error, m_line, m_pos - m_lineStart + 1,
                                QStringLiteral("text after the closing quote of a field"));
            } else {
                const qsizetype start = m_pos;
                while (m_pos < n && p[m_pos] != m_delimiter && p[m_pos] != QLatin1Char('\r') &&
                       p[m_pos] != QLatin1Char('\n'))
                    ++m_pos;
                if (m_pos - start > kMaxFieldChars)
                    return fail(error, field.line, field.column,
                                QStringLiteral("a field of more than %1 characters").arg(kMaxFieldChars));
                field.text = m_text.mid(start, m_pos - start);
            }
            if (field.text.size() > kMaxFieldChars)
                return fail(error, field.line, field.column,
                            QStringLiteral("a field of more than %1 characters").arg(kMaxFieldChars));
            fields.push_back(std::move(field));
            if (m_pos < n && p[m_pos] == m_delimiter) {
                ++m_pos;
                continue;
            }
            // The end of the record: a line break (LF, CR LF or CR) or the end of the text.
            if (m_pos < n && p[m_pos] == QLatin1Char('\r'))
                ++m_pos;
            if (m_pos < n && p[m_pos] == QLatin1Char('\n'))
                ++m_pos;
            ++m_line;
            m_lineStart = m_pos;
            return true;
        }
    }

private:
    void countLines(qsizetype from, qsizetype to)
    {
        const QChar* p = m_text.constData();
        for (qsizetype i = from; i < to; ++i)
            if (p[i] == QLatin1Char('\n')) {
                ++m_line;
                m_lineStart = i + 1;
            }
    }

    static bool fail(ImportError& error, qint64 line, qint64 column, const QString& what)
    {
        error.line = line;
        error.column = column;
        error.what = what;
        return false;
    }

    const QString& m_text;
    QChar m_delimiter;
    qsizetype m_pos = 0;
    qsizetype m_lineStart = 0;
    qint64 m_line = 1;
};

// The line of the first byte sequence that is not UTF-8.
qint64 firstBadUtf8Line(const QByteArray& bytes)
{
    qint64 line = 1;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder(QByteArrayView(bytes).sliced(start, end - start));
        if (decoder.hasError())
            return line;
        ++line;
        start = end + 1;
    }
    return 0;
}

} // namespace

bool readCsv(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error)
{
    data.wipe();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    const auto wipeText = qScopeGuard([&text] { secureWipe(text); });
    if (decoder.hasError()) {
        error.line = firstBadUtf8Line(bytes);
        error.what = QStringLiteral("not UTF-8 text (save the export as UTF-8)");
        return false;
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    // A header line with semicolons and no comma comes from a spreadsheet set to another locale.
    const qsizetype firstBreak = text.indexOf(QLatin1Char('\n'));
    const QStringView firstLine = QStringView(text).left(firstBreak < 0 ? text.size() : firstBreak);
    const QChar delimiter = !firstLine.contains(QLatin1Char(',')) && firstLine.contains(QLatin1Char(';'))
                                ? QLatin1Char(';')
                                : QLatin1Char(',');
    // Our own export put a "'" in front of every field a spreadsheet would run: it goes again.
    const bool ownExport = firstLine.endsWith(QLatin1Char('\r')) ? firstLine.chopped(1) == QLatin1String(kOwnCsvHeader)
                                                                 : firstLine == QLatin1String(kOwnCsvHeader);
    CsvParser parser(text, delimiter);
    std::vector<CsvParser::Field> fields;
    qint64 line = 0;
    if (!parser.next(fields, line, error)) {
        if (error.what.isEmpty())
            error.what = QStringLiteral("the file is empty");
        return false;
    }
    std::vector<Role> roles;
    QStringList headers;
    QSet<Role> seen;
    for (const auto& f : fields) {
        Role role = roleOf(f.text);
        // A second column of the same meaning is kept as a line of the notes.
        if (role != Role::Extra && role != Role::Ignored && seen.contains(role))
            role = Role::Extra;
        seen.insert(role);
        roles.push_back(role);
        // KeePassXC's "Group" column starts every path with the database's root group.
        if (role == Role::GroupSlash && f.text.trimmed().compare(QLatin1String("group"), Qt::CaseInsensitive) == 0)
            data.hasSourceRoot = true;
        headers << f.text.trimmed();
    }
    if (!seen.contains(Role::Password) || (!seen.contains(Role::Name) && !seen.contains(Role::Url))) {
        error.line = 1;
        error.what = QStringLiteral("the first line names no \"password\" column with a \"name\", \"title\" or "
                                    "\"url\" column: not a password export with its header line");
        return false;
    }

    QHash<std::pair<int, QString>, int> groupIndex;
    const auto groupOf = [&](const QString& path, QChar separator, qint64 fieldLine, qint64 fieldColumn) {
        int group = -1;
        const QStringList parts = path.split(separator, Qt::SkipEmptyParts);
        if (parts.size() > kMaxGroupDepth) {
            error.line = fieldLine;
            error.column = fieldColumn;
            error.what = QStringLiteral("groups nested more than %1 deep").arg(kMaxGroupDepth);
            return -2;
        }
        for (const QString& part : parts) {
            const auto key = std::make_pair(group, part);
            auto it = groupIndex.find(key);
            if (it == groupIndex.end())
                it = groupIndex.insert(key, data.addGroup(part, group));
            group = *it;
        }
        return group;
    };

    while (parser.next(fields, line, error)) {
        if (fields.size() == 1 && fields[0].text.isEmpty())
            continue; // an empty line
        ++data.seen;
        if (fields.size() != roles.size()) {
            error.line = line;
            error.what = QStringLiteral("%1 fields where the header line has %2").arg(fields.size()).arg(roles.size());
            data.wipe();
            return false;
        }
        int group = -1;
        QString name, login, url, notes, totp;
        QString password;
        QStringList lines;
        DateTime created = 0, modified = 0;
        for (size_t c = 0; c < fields.size(); ++c) {
            CsvParser::Field& f = fields[c];
            if (ownExport && f.text.startsWith(QLatin1Char('\'')) && needsFormulaGuard(f.text))
                f.text.remove(0, 1);
            switch (roles[c]) {
            case Role::Ignored:
                break;
            case Role::Extra:
                if (!f.text.isEmpty())
                    lines << headers[qsizetype(c)] + QStringLiteral(": ") + f.text;
                break;
            case Role::GroupSlash:
            case Role::GroupBackslash:
                group = groupOf(f.text, roles[c] == Role::GroupSlash ? QLatin1Char('/') : QLatin1Char('\\'), f.line,
                                f.column);
                if (group == -2) {
                    data.wipe();
                    return false;
                }
                break;
            case Role::Name:
                name = f.text;
                break;
            case Role::Login:
                login = f.text;
                break;
            case Role::Password:
                password = f.text;
                break;
            case Role::Url:
                // LastPass marks its secure notes with this address.
                url = f.text == QLatin1String("http://sn") ? QString() : f.text;
                break;
            case Role::Notes:
                notes = f.text;
                break;
            case Role::Totp:
                totp = f.text;
                break;
            case Role::Created:
            case Role::Modified:
                if (!parseDate(f.text, roles[c] == Role::Created ? created : modified)) {
                    error.line = f.line;
                    error.column = f.column;
                    error.what = QStringLiteral("\"%1\" is not a date").arg(f.text.left(40));
                    data.wipe();
                    return false;
                }
                break;
            case Role::Fields:
                if (!f.text.isEmpty())
                    lines << f.text;
                break;
            }
        }
        if (name.isEmpty())
            name = !hostOf(url).isEmpty() ? hostOf(url) : defaultName;
        if (!totp.trimmed().isEmpty())
            lines << QLatin1String(kTotpLinePrefix) + totpUrl(totp, name);
        TFeuille& e = data.addEntry(group, line);
        e.Name = std::move(name);
        e.Login = std::move(login);
        e.Password = std::move(password);
        e.WebAddress = std::move(url);
        e.Notes = notesWithLines(crlfLines(notes), lines);
        e.Created = created;
        e.ModifiedAt = modified;
        secureWipe(notes);
        secureWipe(totp);
    }
    if (!error.what.isEmpty()) {
        data.wipe();
        return false;
    }
    return true;
}

} // namespace foreign
