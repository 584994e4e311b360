#include "document/ForeignExport.h"

#include "document/EntryIdentity.h"
#include "document/ForeignImport.h"

#include <QStringEncoder>
#include <QUuid>

#include <cstring>
#include <new>
#include <unordered_map>

namespace foreign {

namespace {

constexpr qsizetype kChunk = 64 * 1024;

// UTF-8 into one fixed buffer that is handed on whenever it fills; the encoder writes straight
// into it, so no password passes through a temporary copy.
class Out
{
public:
    explicit Out(const ExportSink& sink) : m_buffer(QByteArray(kChunk, Qt::Uninitialized)), m_sink(sink) {}

    bool failed() const { return m_failed; }
    int dropped() const { return m_dropped; }

    bool flush()
    {
        if (m_len > 0 && !m_failed && !m_sink(m_buffer.bytes().constData(), m_len))
            m_failed = true;
        m_len = 0;
        return !m_failed;
    }

    void raw(const char* text) { raw(text, qsizetype(std::strlen(text))); }
    void raw(const char* data, qsizetype n)
    {
        while (n > 0) {
            if (m_len == kChunk)
                flush();
            const qsizetype k = qMin(n, kChunk - m_len);
            std::memcpy(m_buffer.bytes().data() + m_len, data, size_t(k));
            m_len += k;
            data += k;
            n -= k;
        }
    }

    // Characters that stand for themselves, encoded a piece at a time; a piece never ends between
    // the two halves of a surrogate pair.
    void plain(QStringView s)
    {
        while (!s.isEmpty()) {
            if (kChunk - m_len < 12)
                flush();
            qsizetype k = qMin(s.size(), (kChunk - m_len) / 3);
            if (k < s.size() && s[k - 1].isHighSurrogate())
                --k;
            char* end = m_encoder.appendToBuffer(m_buffer.bytes().data() + m_len, s.first(k));
            m_len = end - m_buffer.bytes().data();
            s = s.sliced(k);
        }
    }

    // CSV: the field in double quotes, quotes doubled, line breaks as LF, and a "'" in front of
    // what a spreadsheet would take for a formula.
    void csvField(QStringView s)
    {
        raw("\"");
        if (needsFormulaGuard(s))
            raw("'");
        qsizetype i = 0;
        const qsizetype n = s.size();
        while (i < n) {
            qsizetype j = i;
            while (j < n && s[j] != u'"' && s[j] != u'\r')
                ++j;
            plain(s.sliced(i, j - i));
            if (j == n)
                break;
            if (s[j] == u'"') {
                raw("\"\"");
            } else if (j + 1 < n && s[j + 1] == u'\n') {
                ++j; // CR LF: the LF that follows is written as it is
                raw("\n");
            } else {
                raw("\r");
            }
            i = j + 1;
        }
        raw("\"");
    }

    // XML character data: the five reserved characters escaped, CR LF as LF, a lone CR as a
    // reference (a parser would make it LF), and what XML 1.0 cannot carry left out and counted.
    void xmlText(QStringView s)
    {
        qsizetype i = 0;
        const qsizetype n = s.size();
        while (i < n) {
            qsizetype j = i;
            while (j < n) {
                const char16_t c = s[j].unicode();
                if (QChar::isHighSurrogate(c) && j + 1 < n && s[j + 1].isLowSurrogate()) {
                    j += 2;
                    continue;
                }
                if ((c < 0x20 && c != u'\t' && c != u'\n') || c == u'&' || c == u'<' || c == u'>' || c == u'"' ||
                    QChar::isSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
                    break;
                ++j;
            }
            plain(s.sliced(i, j - i));
            if (j == n)
                break;
            const char16_t c = s[j].unicode();
            switch (c) {
            case u'&':
                raw("&amp;");
                break;
            case u'<':
                raw("&lt;");
                break;
            case u'>':
                raw("&gt;");
                break;
            case u'"':
                raw("&quot;");
                break;
            case u'\r':
                if (j + 1 < n && s[j + 1] == u'\n') {
                    raw("\n");
                    ++j;
                } else {
                    raw("&#13;");
                }
                break;
            default:
                ++m_dropped;
            }
            i = j + 1;
        }
    }

private:
    SecureBytes m_buffer;
    qsizetype m_len = 0;
    const ExportSink& m_sink;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    bool m_failed = false;
    int m_dropped = 0;
};

// The tree as KeePass sees it: one root, then every group below it with its entries.
struct Tree
{
    const TGroupe* rootGroup = nullptr; // the document's group that is the root, or none ("Root")
    QString rootName;
    std::unordered_map<quint32, std::vector<const TFeuille*>> entriesOf; // 0: entries of the root
};

Tree treeOf(const DocumentState& doc)
{
    Tree t;
    bool groupless = false;
    for (const auto& e : doc.Entries()) {
        const quint32 g = doc.findGroup(e->Group) ? e->Group : 0;
        groupless = groupless || g == 0;
        t.entriesOf[g].push_back(e.get());
    }
    if (doc.Groups().size() == 1 && !groupless) {
        t.rootGroup = doc.Groups().front().get();
        t.rootName = t.rootGroup->Name;
        t.entriesOf[0] = std::move(t.entriesOf[t.rootGroup->Id]);
        t.entriesOf.erase(t.rootGroup->Id);
    } else {
        t.rootName = QStringLiteral("Root");
    }
    return t;
}

// The groups below the root in document order, each with its depth below the root (1 for a child).
std::vector<std::pair<const TGroupe*, int>> groupsBelowRoot(const DocumentState& doc, const Tree& t)
{
    std::vector<std::pair<const TGroupe*, int>> out;
    std::vector<std::pair<const TGroupe*, int>> stack;
    const auto pushChildren = [&stack](const std::vector<std::unique_ptr<TGroupe>>& children, int depth) {
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({it->get(), depth});
    };
    pushChildren(t.rootGroup ? t.rootGroup->Children : doc.Groups(), 1);
    while (!stack.empty()) {
        const auto [g, depth] = stack.back();
        stack.pop_back();
        out.push_back({g, depth});
        pushChildren(g->Children, depth + 1);
    }
    return out;
}

QString isoDate(DateTime value)
{
    const QDateTime d = datetime::toQDateTime(value);
    return d.isValid() ? d.toUTC().toString(Qt::ISODate) : QString();
}

void writeCsvEntry(Out& o, const QString& path, const TFeuille& e)
{
    QString notes, totp;
    splitTotpLine(e.Notes, notes, totp);
    o.csvField(path);
    for (const QString* field : {&e.Name, &e.Login, &e.Password, &e.WebAddress, const_cast<const QString*>(&notes),
                                 const_cast<const QString*>(&totp)}) {
        o.raw(",");
        o.csvField(*field);
    }
    o.raw(",\"0\",");
    o.csvField(isoDate(e.ModifiedAt));
    o.raw(",");
    o.csvField(identity::isRecorded(e.Created) ? isoDate(e.Created) : QString());
    o.raw("\n");
    secureWipe(notes);
    secureWipe(totp);
}

void writeCsv(Out& o, const DocumentState& doc, ExportResult& result)
{
    const Tree t = treeOf(doc);
    o.raw(kOwnCsvHeader);
    o.raw("\n");
    std::unordered_map<quint32, QString> pathOf;
    const auto writeEntries = [&](quint32 id, const QString& path) {
        const auto it = t.entriesOf.find(id);
        if (it == t.entriesOf.end())
            return;
        for (const TFeuille* e : it->second) {
            writeCsvEntry(o, path, *e);
            ++result.entries;
        }
    };
    writeEntries(0, t.rootName);
    for (const auto& [g, depth] : groupsBelowRoot(doc, t)) {
        const bool top = depth == 1;
        const QString path = (top ? t.rootName : pathOf.at(g->Parent->Id)) + QLatin1Char('/') + g->Name;
        pathOf[g->Id] = path;
        writeEntries(g->Id, path);
    }
}

void indent(Out& o, int depth)
{
    static const char kTabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    o.raw(kTabs, qMin<qsizetype>(depth, sizeof kTabs - 1));
}

void element(Out& o, int depth, const char* name, const QString& text)
{
    indent(o, depth);
    o.raw("<");
    o.raw(name);
    o.raw(">");
    o.xmlText(text);
    o.raw("</");
    o.raw(name);
    o.raw(">\n");
}

void uuid(Out& o, int depth)
{
    indent(o, depth);
    o.raw("<UUID>");
    const QByteArray id = QUuid::createUuid().toRfc4122().toBase64();
    o.raw(id.constData(), id.size());
    o.raw("</UUID>\n");
}

void stringField(Out& o, int depth, const char* key, const QString& value, bool protect)
{
    indent(o, depth);
    o.raw("<String>\n");
    element(o, depth + 1, "Key", QString::fromLatin1(key));
    indent(o, depth + 1);
    o.raw(protect ? "<Value ProtectInMemory=\"True\">" : "<Value>");
    o.xmlText(value);
    o.raw("</Value>\n");
    indent(o, depth);
    o.raw("</String>\n");
}

void writeXmlEntry(Out& o, int depth, const TFeuille& e)
{
    QString notes, totp;
    splitTotpLine(e.Notes, notes, totp);
    indent(o, depth);
    o.raw("<Entry>\n");
    uuid(o, depth + 1);
    // A creation date before 2.0 is the identity of an entry whose date was never recorded.
    const bool created = identity::isRecorded(e.Created);
    if (created || e.ModifiedAt != 0) {
        indent(o, depth + 1);
        o.raw("<Times>\n");
        if (created)
            element(o, depth + 2, "CreationTime", isoDate(e.Created));
        if (e.ModifiedAt != 0)
            element(o, depth + 2, "LastModificationTime", isoDate(e.ModifiedAt));
        indent(o, depth + 1);
        o.raw("</Times>\n");
    }
    stringField(o, depth + 1, "Title", e.Name, false);
    stringField(o, depth + 1, "UserName", e.Login, false);
    stringField(o, depth + 1, "Password", e.Password, true);
    stringField(o, depth + 1, "URL", e.WebAddress, false);
    stringField(o, depth + 1, "Notes", notes, false);
    if (!totp.isEmpty())
        stringField(o, depth + 1, "otp", totp, true);
    indent(o, depth);
    o.raw("</Entry>\n");
    secureWipe(notes);
    secureWipe(totp);
}

void writeXml(Out& o, const DocumentState& doc, ExportResult& result)
{
    const Tree t = treeOf(doc);
    o.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<KeePassFile>\n\t<Meta>\n"
          "\t\t<Generator>Tresorin</Generator>\n\t</Meta>\n\t<Root>\n");
    const auto openGroup = [&](int depth, const QString& name, quint32 id) {
        indent(o, depth);
        o.raw("<Group>\n");
        uuid(o, depth + 1);
        element(o, depth + 1, "Name", name);
        const auto it = t.entriesOf.find(id);
        if (it != t.entriesOf.end())
            for (const TFeuille* e : it->second) {
                writeXmlEntry(o, depth + 1, *e);
                ++result.entries;
            }
    };
    const auto closeGroup = [&](int depth) {
        indent(o, depth);
        o.raw("</Group>\n");
    };
    const int base = 2; // the root group's indentation
    openGroup(base, t.rootName, 0);
    int open = 0; // groups below the root not closed yet
    for (const auto& [g, depth] : groupsBelowRoot(doc, t)) {
        while (open >= depth)
            closeGroup(base + open--);
        openGroup(base + depth, g->Name, g->Id);
        open = depth;
    }
    while (open > 0)
        closeGroup(base + open--);
    closeGroup(base);
    o.raw("\t</Root>\n</KeePassFile>\n");
}

} // namespace

void splitTotpLine(const QString& notes, QString& rest, QString& totp)
{
    rest = notes;
    totp.clear();
    const QString marker = QLatin1String(kTotpLinePrefix) + QLatin1String("otpauth://");
    qsizetype start = 0;
    while ((start = notes.indexOf(marker, start)) >= 0) {
        if (start == 0 || notes[start - 1] == QLatin1Char('\n') || notes[start - 1] == QLatin1Char('\r'))
            break;
        start += marker.size();
    }
    if (start < 0)
        return;
    qsizetype end = start;
    while (end < notes.size() && notes[end] != QLatin1Char('\r') && notes[end] != QLatin1Char('\n'))
        ++end;
    totp = notes.mid(start + qsizetype(std::strlen(kTotpLinePrefix)),
                     end - start - qsizetype(std::strlen(kTotpLinePrefix)));
    // The line goes with the line break before it, or after it when it is the first line.
    qsizetype from = start;
    qsizetype to = end;
    if (from > 0) {
        --from;
        if (from > 0 && notes[from] == QLatin1Char('\n') && notes[from - 1] == QLatin1Char('\r'))
            --from;
    } else if (to < notes.size()) {
        if (notes[to] == QLatin1Char('\r') && to + 1 < notes.size() && notes[to + 1] == QLatin1Char('\n'))
            to += 2;
        else
            ++to;
    }
    rest = notes.left(from) + notes.mid(to);
}

ExportResult writeExport(const DocumentState& doc, ExportFormat format, const ExportSink& write)
{
    ExportResult result;
    Out o(write);
    if (format == ExportFormat::Csv)
        writeCsv(o, doc, result);
    else
        writeXml(o, doc, result);
    result.ok = o.flush() && !o.failed();
    result.droppedCharacters = o.dropped();
    return result;
}

ExportResult exportToBytes(const DocumentState& doc, ExportFormat format, SecureBytes& out)
{
    // Counted first, so that the buffer is made once at its size and never moved (a move would
    // leave a copy of the passwords in freed memory).
    qsizetype size = 0;
    ExportResult result = writeExport(doc, format, [&size](const char*, qsizetype n) {
        size += n;
        return true;
    });
    out.assign(QByteArray());
    try {
        QByteArray& target = out.bytes();
        target.reserve(size);
        result = writeExport(doc, format, [&target](const char* data, qsizetype n) {
            target.append(data, n);
            return true;
        });
    } catch (const std::bad_alloc&) {
        out.clear();
        result = ExportResult();
        result.ok = false;
        result.outOfMemory = true;
    }
    return result;
}

} // namespace foreign
