#include "document/ForeignImport.h"

#include "crypto/SecureBytes.h"
#include "document/DocumentJson.h"
#include "document/EntryIdentity.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>
#include <QTimeZone>
#include <QUrl>

#include <cstring>
#include <new>
#include <unordered_map>

namespace foreign {

QString formatName(Format format)
{
    switch (format) {
    case Format::Json:
        return QStringLiteral("json");
    case Format::KeePassXml:
        return QStringLiteral("keepass-xml");
    case Format::Csv:
        return QStringLiteral("csv");
    case Format::BitwardenJson:
        return QStringLiteral("bitwarden-json");
    }
    return QString();
}

bool formatFromName(const QString& name, Format& format)
{
    for (Format f : {Format::Json, Format::KeePassXml, Format::Csv, Format::BitwardenJson})
        if (name == formatName(f)) {
            format = f;
            return true;
        }
    return false;
}

namespace {

enum class Wide
{
    None,
    Utf16LE,
    Utf16BE,
    Utf32LE,
    Utf32BE
};

Wide wideKind(const QByteArray& b)
{
    const auto at = [&b](qsizetype i) { return i < b.size() ? uchar(b[i]) : 0x100; };
    if (at(0) == 0xFF && at(1) == 0xFE)
        return at(2) == 0 && at(3) == 0 ? Wide::Utf32LE : Wide::Utf16LE;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF)
        return Wide::Utf32BE;
    if (at(0) == 0xFE && at(1) == 0xFF)
        return Wide::Utf16BE;
    // Without a mark: an ASCII character and its zero byte, twice.
    if (at(0) != 0 && at(0) < 0x80 && at(1) == 0 && at(2) != 0 && at(2) < 0x80 && at(3) == 0)
        return Wide::Utf16LE;
    if (at(0) == 0 && at(1) != 0 && at(1) < 0x80 && at(2) == 0 && at(3) != 0 && at(3) < 0x80)
        return Wide::Utf16BE;
    return Wide::None;
}

} // namespace

bool wideText(const QByteArray& bytes)
{
    return wideKind(bytes) != Wide::None;
}

bool wideTextAsUtf8(const QByteArray& bytes, QByteArray& out)
{
    out.clear();
    QStringDecoder::Encoding encoding = QStringDecoder::Utf16LE;
    switch (wideKind(bytes)) {
    case Wide::None:
        return false;
    case Wide::Utf16LE:
        break;
    case Wide::Utf16BE:
        encoding = QStringDecoder::Utf16BE;
        break;
    case Wide::Utf32LE:
        encoding = QStringDecoder::Utf32LE;
        break;
    case Wide::Utf32BE:
        encoding = QStringDecoder::Utf32BE;
        break;
    }
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    const bool whole = !decoder.hasError();
    if (whole)
        out = text.toUtf8();
    secureWipe(text);
    return whole;
}

QByteArray markedWideText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QByteArray();
    switch (wideKind(bytes)) {
    case Wide::Utf16LE:
        return "\xFF\xFE" + bytes;
    case Wide::Utf16BE:
        return "\xFE\xFF" + bytes;
    default:
        return QByteArray();
    }
}

Format detectFormat(const QByteArray& raw)
{
    // A wide text is looked at as its first characters.
    QByteArray head;
    const bool wide = wideText(raw) && wideTextAsUtf8(raw.left(1024), head);
    const QByteArray& bytes = wide ? head : raw;
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    if (i < bytes.size() && bytes[i] == '<')
        return Format::KeePassXml;
    if (i < bytes.size() && bytes[i] == '{') {
        // The first member's name tells Bitwarden's export from ours without parsing it all.
        const qsizetype open = bytes.indexOf('"', i);
        const qsizetype close = open < 0 ? -1 : bytes.indexOf('"', open + 1);
        if (close > open && close - open < 40) {
            const QByteArray first = bytes.mid(open + 1, close - open - 1);
            for (const char* key : {"encrypted", "passwordProtected", "folders", "items", "collections"})
                if (first == key)
                    return Format::BitwardenJson;
        }
        return Format::Json;
    }
    return Format::Csv;
}

QString ImportError::text() const
{
    if (line > 0 && column > 0)
        return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(what);
    if (line > 0)
        return QStringLiteral("line %1: %2").arg(line).arg(what);
    if (!place.isEmpty())
        return place + QStringLiteral(": ") + what;
    return what;
}

void ImportedData::wipe()
{
    dropped.clear();
    recycled = 0;
    seen = 0;
    for (auto& e : entries) {
        if (!e)
            continue;
        secureWipe(e->Password);
        secureWipe(e->Notes);
        secureWipe(e->Login);
    }
    entries.clear();
    entryGroup.clear();
    entryLine.clear();
    groups.clear();
    hasSourceRoot = false;
}

int ImportedData::addGroup(const QString& name, int parent, const QString& key)
{
    groups.push_back({name, parent, key});
    return int(groups.size()) - 1;
}

TFeuille& ImportedData::addEntry(int group, qint64 line)
{
    entries.push_back(std::make_unique<TFeuille>());
    entryGroup.push_back(group);
    entryLine.push_back(line);
    return *entries.back();
}

QString ImportedData::groupPath(int group) const
{
    QStringList parts;
    for (int g = group; g >= 0 && parts.size() <= kMaxGroupDepth; g = groups[size_t(g)].parent)
        parts.prepend(groups[size_t(g)].name);
    return parts.join(QLatin1Char('/'));
}

bool readForeign(const QByteArray& raw, Format format, const QString& defaultName, ImportedData& data,
                 ImportError& error)
{
    // The XML reader decodes UTF-16 itself; the others read UTF-8.
    SecureBytes converted;
    if (format != Format::KeePassXml && wideText(raw) && !wideTextAsUtf8(raw, converted.bytes())) {
        data.wipe();
        error.what = QStringLiteral("not valid UTF-16 or UTF-32 text");
        return false;
    }
    const QByteArray& bytes = converted.isEmpty() ? raw : converted.bytes();
    bool ok = false;
    switch (format) {
    case Format::Json:
        ok = readTresorinJson(bytes, data, error);
        break;
    case Format::KeePassXml:
        ok = readKeePassXml(bytes, defaultName, data, error);
        break;
    case Format::Csv:
        ok = readCsv(bytes, defaultName, data, error);
        break;
    case Format::BitwardenJson:
        ok = readBitwardenJson(bytes, defaultName, data, error);
        break;
    }
    if (!ok)
        data.wipe();
    return ok;
}

bool readForeignFile(const QString& path, const QString& defaultName, ImportedData& data, ImportError& error,
                     bool* outOfMemory)
{
    if (outOfMemory)
        *outOfMemory = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error.what = file.errorString();
        return false;
    }
    try {
        SecureBytes bytes(file.readAll());
        if (file.error() != QFileDevice::NoError) {
            error.what = file.errorString();
            return false;
        }
        return readForeign(bytes.bytes(), detectFormat(bytes.bytes()), defaultName, data, error);
    } catch (const std::bad_alloc&) {
        data.wipe();
        error = ImportError();
        if (outOfMemory)
            *outOfMemory = true;
        return false;
    }
}

bool readTresorinJson(const QByteArray& bytes, ImportedData& data, ImportError& error)
{
    DocumentState doc;
    QString text;
    if (!docjson::fromJson(bytes, doc, &text)) {
        error.what = text;
        return false;
    }
    data.seen = doc.entryCount();
    std::unordered_map<quint32, int> indexOf;
    for (const TGroupe* g : doc.groupsInOrder())
        indexOf[g->Id] = data.addGroup(g->Name, g->Parent ? indexOf.at(g->Parent->Id) : -1);
    // Taken from the back, which moves nothing in the document's list.
    std::vector<std::unique_ptr<TFeuille>> taken;
    taken.reserve(size_t(doc.entryCount()));
    while (doc.entryCount() > 0)
        taken.push_back(doc.takeEntry(doc.entryCount() - 1));
    for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
        const auto found = indexOf.find((*it)->Group);
        // The mark designates the FTP site of the document it is in, never of an import.
        (*it)->IsFtpEntry = false;
        data.entries.push_back(std::move(*it));
        data.entryGroup.push_back(found == indexOf.end() ? -1 : found->second);
        data.entryLine.push_back(0);
    }
    return true;
}

namespace {

// Counts and, with replace, replaces the characters of text the code page cannot hold.
void checkText(QString& text, bool replace, bool nameCharacters, Unstorable& u)
{
    if (win1252::unholdableCount(text) == 0)
        return;
    QString replaced;
    QSet<QString> seen;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        const bool pair = c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate();
        const bool holdable = !pair && win1252::canHold(c);
        if (holdable) {
            if (replace)
                replaced += c;
            continue;
        }
        ++u.count;
        const QString character = pair ? text.mid(i, 2) : QString(c);
        if (nameCharacters && !seen.contains(character) && seen.size() < 10) {
            seen.insert(character);
            u.characters += character;
        }
        if (replace)
            replaced += QLatin1Char('?');
        if (pair)
            ++i;
    }
    if (replace) {
        secureWipe(text);
        text = replaced;
    }
}

} // namespace

std::vector<Unstorable> findUnstorable(ImportedData& data, bool replace)
{
    std::vector<Unstorable> found;
    std::vector<QString*> texts; // the text of each finding, replaced once all places are named
    for (size_t g = 0; g < data.groups.size(); ++g) {
        Unstorable u;
        u.field = Unstorable::GroupName;
        checkText(data.groups[g].name, false, true, u);
        if (u.count == 0)
            continue;
        u.where = data.groupPath(int(g));
        found.push_back(u);
        texts.push_back(&data.groups[g].name);
    }
    for (size_t i = 0; i < data.entries.size(); ++i) {
        TFeuille& e = *data.entries[i];
        const std::pair<Unstorable::Field, QString*> fields[] = {{Unstorable::Name, &e.Name},
                                                                 {Unstorable::Login, &e.Login},
                                                                 {Unstorable::Password, &e.Password},
                                                                 {Unstorable::WebAddress, &e.WebAddress},
                                                                 {Unstorable::Notes, &e.Notes}};
        QString where;
        for (const auto& [field, text] : fields) {
            Unstorable u;
            u.field = field;
            u.line = data.entryLine[i];
            checkText(*text, false, field != Unstorable::Password, u);
            if (u.count == 0)
                continue;
            if (where.isEmpty()) {
                const QString path = data.groupPath(data.entryGroup[i]);
                where = path.isEmpty() ? e.Name : path + QLatin1Char('/') + e.Name;
            }
            u.where = where;
            found.push_back(u);
            texts.push_back(text);
        }
    }
    if (replace)
        for (QString* text : texts) {
            Unstorable ignored;
            checkText(*text, true, false, ignored);
        }
    return found;
}

std::vector<Unstorable> findUnstorable(DocumentState& doc, bool replace)
{
    std::vector<Unstorable> found;
    std::vector<QString*> texts;
    std::unordered_map<quint32, QString> pathOf;
    for (TGroupe* g : doc.groupsInOrder()) {
        const QString path = g->Parent ? pathOf[g->Parent->Id] + QLatin1Char('/') + g->Name : g->Name;
        pathOf[g->Id] = path;
        Unstorable u;
        u.field = Unstorable::GroupName;
        checkText(g->Name, false, true, u);
        if (u.count == 0)
            continue;
        u.where = path;
        found.push_back(u);
        texts.push_back(&g->Name);
    }
    for (const auto& entry : doc.Entries()) {
        TFeuille& e = *entry;
        const std::pair<Unstorable::Field, QString*> fields[] = {{Unstorable::Name, &e.Name},
                                                                 {Unstorable::Login, &e.Login},
                                                                 {Unstorable::Password, &e.Password},
                                                                 {Unstorable::WebAddress, &e.WebAddress},
                                                                 {Unstorable::Notes, &e.Notes}};
        for (const auto& [field, text] : fields) {
            Unstorable u;
            u.field = field;
            checkText(*text, false, field != Unstorable::Password, u);
            if (u.count == 0)
                continue;
            const auto path = pathOf.find(e.Group);
            u.where = path == pathOf.end() ? e.Name : path->second + QLatin1Char('/') + e.Name;
            found.push_back(u);
            texts.push_back(text);
        }
    }
    if (replace)
        for (QString* text : texts) {
            Unstorable ignored;
            checkText(*text, true, false, ignored);
        }
    return found;
}

QString describe(const Unstorable& u, bool replaced)
{
    static const char* const kFieldNames[] = {"name", "name", "login", "password", "web address", "notes"};
    QString text;
    if (u.line > 0)
        text = QStringLiteral("line %1, ").arg(u.line);
    text += u.field == Unstorable::GroupName ? QStringLiteral("group \"%1\"").arg(u.where)
                                             : QStringLiteral("entry \"%1\"").arg(u.where);
    text += QStringLiteral(", %1: %2 character%3")
                .arg(QLatin1String(kFieldNames[u.field]))
                .arg(u.count)
                .arg(u.count > 1 ? QStringLiteral("s") : QString());
    if (!u.characters.isEmpty())
        text += QStringLiteral(" (%1)").arg(u.characters);
    if (replaced)
        text += QStringLiteral(" replaced by \"?\"");
    // Names come from the file: no control character of theirs reaches a terminal.
    for (QChar& c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            c = QLatin1Char('?');
    return text;
}

bool dropSourceRoot(ImportedData& data)
{
    if (!data.hasSourceRoot)
        return false;
    int root = -1;
    for (size_t i = 0; i < data.groups.size(); ++i) {
        if (data.groups[i].parent >= 0)
            continue;
        if (root >= 0)
            return false; // two top-level groups: no single root to drop
        root = int(i);
    }
    if (root < 0)
        return false;
    for (int g : data.entryGroup)
        if (g < 0)
            return false;
    const auto moved = [root](int g) { return g == root ? -1 : g > root ? g - 1 : g; };
    data.groups.erase(data.groups.begin() + root);
    for (ImportedGroup& g : data.groups)
        g.parent = moved(g.parent);
    for (int& g : data.entryGroup)
        g = moved(g);
    data.hasSourceRoot = false;
    return true;
}

bool losesSomething(const ImportedData& data)
{
    return !data.dropped.empty() || (data.entries.empty() && data.seen > 0);
}

QStringList describeLosses(const ImportedData& data)
{
    QStringList lines;
    for (const Dropped& d : data.dropped) {
        QString text = d.line > 0 ? QStringLiteral("line %1, ").arg(d.line) : QString();
        text += d.kind == Dropped::Attachment
                    ? QStringLiteral("entry \"%1\": attachment \"%2\" left out").arg(d.where, d.name)
                    : QStringLiteral("%1: the value of \"%2\" is no text, left out").arg(d.where, d.name);
        lines << text;
    }
    if (data.recycled > 0)
        lines << QStringLiteral("%1 entr%2 of the recycle bin left out")
                     .arg(data.recycled)
                     .arg(data.recycled > 1 ? QStringLiteral("ies") : QStringLiteral("y"));
    if (data.entries.empty() && data.seen > 0)
        lines << QStringLiteral("none of its %1 entr%2 can be imported")
                     .arg(data.seen)
                     .arg(data.seen > 1 ? QStringLiteral("ies") : QStringLiteral("y"));
    return lines;
}

void nestUnder(ImportedData& data, const QString& name)
{
    for (ImportedGroup& g : data.groups)
        ++g.parent; // -1, the top, becomes 0, the new group
    data.groups.insert(data.groups.begin(), ImportedGroup{name, -1, QString()});
    for (int& g : data.entryGroup)
        ++g;
}

ImportSummary addImported(ImportedData& data, DocumentState& doc, TGroupe* container, const QString& looseName)
{
    ImportSummary summary;
    TGroupe* loose = container;
    if (!loose) {
        for (int g : data.entryGroup)
            if (g < 0) {
                loose = doc.addGroup(looseName);
                ++summary.groups;
                break;
            }
    }
    std::vector<TGroupe*> made(data.groups.size(), nullptr);
    const int firstEntry = doc.entryCount();
    for (size_t i = 0; i < data.groups.size(); ++i) {
        const int parent = data.groups[i].parent;
        made[i] = doc.addGroup(data.groups[i].name, parent < 0 ? container : made[size_t(parent)]);
        ++summary.groups;
    }
    for (size_t i = 0; i < data.entries.size(); ++i) {
        const int g = data.entryGroup[i];
        data.entries[i]->Group = (g < 0 ? loose : made[size_t(g)])->Id;
        data.entries[i]->RemapMark = -1;
        data.entries[i]->IsFtpEntry = false;
        doc.appendEntry(std::move(data.entries[i]));
        ++summary.entries;
    }
    const DateTime now = datetime::now();
    summary.datesClamped = identity::clampFutureDates(doc, now, firstEntry);
    identity::makeIdentitiesFresh(doc, firstEntry, now);
    summary.top = container ? container : loose ? loose : made.empty() ? nullptr : made.front();
    data.wipe();
    return summary;
}

bool needsFormulaGuard(QStringView text)
{
    while (!text.isEmpty() && text.front() == u'\'')
        text = text.sliced(1);
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    if (c == u'\r')
        return text.size() < 2 || text[1] != u'\n';
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t';
}

QString totpUrl(const QString& secretOrUrl, const QString& label, int digits, int period, const QString& algorithm)
{
    const QString value = secretOrUrl.trimmed();
    if (value.startsWith(QLatin1String("otpauth://"), Qt::CaseInsensitive))
        return value;
    QString secret = value.toUpper();
    secret.remove(QLatin1Char(' '));
    QString url = QStringLiteral("otpauth://totp/") + QString::fromLatin1(QUrl::toPercentEncoding(label)) +
                  QStringLiteral("?secret=") + QString::fromLatin1(QUrl::toPercentEncoding(secret));
    if (digits > 0)
        url += QStringLiteral("&digits=%1").arg(digits);
    if (period > 0)
        url += QStringLiteral("&period=%1").arg(period);
    if (!algorithm.isEmpty())
        url += QStringLiteral("&algorithm=") + QString::fromLatin1(QUrl::toPercentEncoding(algorithm));
    secureWipe(secret);
    return url;
}

QString crlfLines(const QString& text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString out;
    out.reserve(text.size() + text.count(QLatin1Char('\n')));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\r\n");
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

QString notesWithLines(const QString& notes, const QStringList& lines)
{
    if (lines.isEmpty())
        return notes;
    QString out = notes;
    if (!out.isEmpty() && !out.endsWith(QLatin1String("\r\n")))
        out += QLatin1String("\r\n");
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += QLatin1String("\r\n");
        out += crlfLines(lines[i]);
    }
    return out;
}

bool parseDate(const QString& text, DateTime& out)
{
    out = 0;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return true;
    bool digits = true;
    for (QChar c : t)
        digits = digits && c.isDigit();
    if (digits) {
        bool ok = false;
        const qint64 ms = t.toLongLong(&ok);
        if (!ok)
            return false;
        out = datetime::fromQDateTime(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
        return true;
    }
    QDateTime d = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!d.isValid())
        d = QDateTime::fromString(t, Qt::ISODate);
    if (!d.isValid()) {
        // KeePass's own files: base64 of a little-endian count of seconds since 1 January of year 1.
        const auto decoded = QByteArray::fromBase64Encoding(t.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.size() != 8)
            return false;
        qint64 seconds = 0;
        for (int i = 7; i >= 0; --i)
            seconds = (seconds << 8) | quint8(decoded.decoded[i]);
        constexpr qint64 kYear1ToUnix = 62135596800;
        if (seconds < 0 || seconds > 400000000000)
            return false;
        d = QDateTime::fromSecsSinceEpoch(seconds - kYear1ToUnix, Qt::UTC);
    }
    if (!d.isValid())
        return false;
    out = datetime::fromQDateTime(d);
    return true;
}

QString hostOf(const QString& url)
{
    if (url.trimmed().isEmpty())
        return QString();
    return QUrl::fromUserInput(url.trimmed()).host();
}

} // namespace foreign
