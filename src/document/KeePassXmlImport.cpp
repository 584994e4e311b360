// KeePass 2 XML, as KeePass and KeePassXC export it: <KeePassFile><Meta/><Root><Group>... with
// nested <Group> and <Entry> elements. Read with QXmlStreamReader, which never fetches anything;
// a document type declaration is refused outright, so no entity can be declared and expanded
// (billion laughs) and none can point outside the file.
#include "document/ForeignImport.h"

#include "crypto/SecureBytes.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <cstring>

namespace foreign {

namespace {

// The fields of one <Entry> while it is read.
struct EntryFields
{
    qint64 line = 0;
    QString title;
    QString userName;
    QString password;
    QString url;
    QString notes;
    QString tags;
    QStringList others;                      // "Key: value", in the order of the file
    QList<std::pair<QString, QString>> totp; // the TOTP fields of the three known layouts
    QStringList attachments;                 // the names of the files attached, which stay out
    DateTime created = 0;
    DateTime modified = 0;

    ~EntryFields()
    {
        secureWipe(password);
        secureWipe(notes);
        for (auto& t : totp)
            secureWipe(t.second);
    }
};

QString totpField(const EntryFields& e, const char* key)
{
    for (const auto& t : e.totp)
        if (t.first == QLatin1String(key))
            return t.second;
    return QString();
}

// The otpauth line of an entry's TOTP fields, or "" when it has none: KeePassXC's "otp" field,
// KeePass's "TimeOtp-*" fields, or the older "TOTP Seed" and "TOTP Settings" ("period;digits").
QString totpLine(const EntryFields& e, const QString& label)
{
    const QString otp = totpField(e, "otp");
    if (!otp.trimmed().isEmpty())
        return totpUrl(otp, label);
    const QString base32 = totpField(e, "TimeOtp-Secret-Base32");
    if (!base32.trimmed().isEmpty()) {
        QString algorithm = totpField(e, "TimeOtp-Algorithm").toUpper();
        algorithm.remove(QLatin1String("HMAC-"));
        algorithm.remove(QLatin1Char('-'));
        return totpUrl(base32, label, totpField(e, "TimeOtp-Length").toInt(), totpField(e, "TimeOtp-Period").toInt(),
                       algorithm == QLatin1String("SHA1") ? QString() : algorithm);
    }
    const QString seed = totpField(e, "TOTP Seed");
    if (!seed.trimmed().isEmpty()) {
        const QStringList settings = totpField(e, "TOTP Settings").split(QLatin1Char(';'));
        const int period = settings.value(0).toInt();
        const int digits = settings.value(1).toInt();
        return totpUrl(seed, label, digits, period);
    }
    return QString();
}

bool isTotpKey(const QString& key)
{
    return key == QLatin1String("otp") || key.startsWith(QLatin1String("TimeOtp-")) ||
           key == QLatin1String("TOTP Seed") || key == QLatin1String("TOTP Settings");
}

// The longest piece a legitimate export holds, in units of its encoding: a text of kMaxFieldChars
// characters written with the longest escapes ("&#x10FFFF;" for two of them), and some room.
constexpr qsizetype kMaxPieceUnits = 10 * kMaxFieldChars + 4096;

// QXmlStreamReader makes each piece of XML whole (a text, a tag with its attributes, a comment, a
// CDATA section, a processing instruction) before it hands it on, and then a copy of it: a piece
// of a hundred megabytes would be held several times over before the reader could refuse it. The
// pieces are measured on the file's bytes first, without a copy: the start of the first piece
// longer than kMaxPieceUnits, or -1. `at(i)` is the i-th unit of the text (a byte, or a UTF-16
// unit), n their count.
template <typename At> qsizetype oversizedPiece(const At& at, qsizetype n)
{
    const auto startsWith = [&](qsizetype i, const char* marker) {
        for (qsizetype k = 0; marker[k]; ++k)
            if (i + k >= n || at(i + k) != uint(uchar(marker[k])))
                return false;
        return true;
    };
    const auto endOf = [&](qsizetype from, const char* marker) {
        for (qsizetype i = from; i < n; ++i)
            if (startsWith(i, marker))
                return i + qsizetype(std::strlen(marker));
        return n;
    };
    qsizetype pieceStart = 0;
    qsizetype i = 0;
    while (i < n) {
        if (at(i) != '<') {
            ++i;
            continue;
        }
        if (i - pieceStart > kMaxPieceUnits)
            return pieceStart; // a text
        qsizetype end = n;
        if (startsWith(i, "<!--")) {
            end = endOf(i + 4, "-->");
        } else if (startsWith(i, "<![CDATA[")) {
            end = endOf(i + 9, "]]>");
        } else if (startsWith(i, "<?")) {
            end = endOf(i + 2, "?>");
        } else {
            // A tag: a quoted attribute value may hold ">".
            uint quote = 0;
            for (qsizetype j = i + 1; j < n; ++j) {
                const uint c = at(j);
                if (quote != 0) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    end = j + 1;
                    break;
                }
            }
        }
        if (end - i > kMaxPieceUnits)
            return i;
        i = pieceStart = end;
    }
    return n - pieceStart > kMaxPieceUnits ? pieceStart : -1;
}

// The first oversized piece of the file, found as oversizedPiece() finds it in the file's own
// encoding (UTF-16 with its mark, else bytes): false with its line and column in error.
bool piecesFit(const QByteArray& bytes, ImportError& error)
{
    const uchar* b = reinterpret_cast<const uchar*>(bytes.constData());
    const bool littleEndian = bytes.startsWith("\xFF\xFE");
    const bool bigEndian = bytes.startsWith("\xFE\xFF");
    const qsizetype n = littleEndian || bigEndian ? bytes.size() / 2 : bytes.size();
    const auto unit = [&](qsizetype i) -> uint {
        if (littleEndian)
            return uint(b[2 * i]) | uint(b[2 * i + 1]) << 8;
        if (bigEndian)
            return uint(b[2 * i]) << 8 | uint(b[2 * i + 1]);
        return b[i];
    };
    const qsizetype found = oversizedPiece(unit, n);
    if (found < 0)
        return true;
    error.line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < found; ++i)
        if (unit(i) == '\n') {
            ++error.line;
            lineStart = i + 1;
        }
    error.column = found - lineStart + 1;
    error.what = QStringLiteral("a text of more than %1 characters").arg(kMaxFieldChars);
    return false;
}

class Reader
{
public:
    Reader(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error)
        : m_defaultName(defaultName), m_data(data), m_error(error)
    {
        // Read through a device: the reader then decodes the file a little at a time instead of
        // making a second, wider copy of all of it.
        m_buffer.setData(bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_xml.setDevice(&m_buffer);
    }

    bool run()
    {
        while (!m_xml.atEnd() && m_error.what.isEmpty()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::DTD:
                return fail(QStringLiteral("a document type declaration (DTD) is not accepted in a KeePass export"));
            case QXmlStreamReader::EntityReference:
                return fail(QStringLiteral("the entity reference &%1; is not accepted").arg(m_xml.name()));
            case QXmlStreamReader::StartElement:
                startElement();
                break;
            case QXmlStreamReader::EndElement:
                endElement();
                break;
            default:
                break;
            }
        }
        if (!m_error.what.isEmpty())
            return false;
        if (m_xml.hasError())
            return fail(m_xml.errorString());
        if (!m_sawRoot)
            return fail(QStringLiteral("no <Root> element: not a KeePass 2 XML export"));
        dropRecycleBin();
        // KeePass keeps every group and entry in one root group, the database itself.
        m_data.hasSourceRoot = true;
        // Attachments of deleted entries go with them: they are no loss of their own.
        for (const auto& [group, dropped] : m_attachments)
            if (group < 0 || size_t(group) >= m_inRecycleBin.size() || !m_inRecycleBin[size_t(group)])
                m_data.dropped.push_back(dropped);
        return true;
    }

private:
    enum class Ctx
    {
        File,
        Meta,
        Root,
        Group,
        Entry,
        String,
        Binary,
        Times,
    };

    bool fail(const QString& what)
    {
        if (m_error.what.isEmpty()) {
            m_error.line = m_xml.lineNumber();
            m_error.column = m_xml.columnNumber() + 1;
            m_error.what = what;
        }
        return false;
    }

    // The text of a leaf element; fails on a child element, an entity or a huge text.
    QString text()
    {
        QString t = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError())
            fail(m_xml.errorString());
        else if (t.size() > kMaxFieldChars)
            fail(QStringLiteral("a text of more than %1 characters").arg(kMaxFieldChars));
        return t;
    }

    void skip() { m_xml.skipCurrentElement(); }

    void startElement()
    {
        const QStringView name = m_xml.name();
        if (m_stack.empty()) {
            if (name != QLatin1String("KeePassFile")) {
                fail(QStringLiteral("the document element is <%1>, not <KeePassFile>: not a KeePass 2 XML export")
                         .arg(name));
                return;
            }
            m_stack.push_back(Ctx::File);
            return;
        }
        switch (m_stack.back()) {
        case Ctx::File:
            if (name == QLatin1String("Meta")) {
                m_stack.push_back(Ctx::Meta);
            } else if (name == QLatin1String("Root")) {
                m_sawRoot = true;
                m_stack.push_back(Ctx::Root);
            } else {
                skip();
            }
            break;
        case Ctx::Meta:
            if (name == QLatin1String("RecycleBinUUID"))
                m_recycleBin = text().trimmed();
            else
                skip();
            break;
        case Ctx::Root:
            if (name == QLatin1String("Group"))
                startGroup(-1);
            else
                skip();
            break;
        case Ctx::Group:
            if (name == QLatin1String("Group")) {
                startGroup(m_groups.back());
            } else if (name == QLatin1String("Entry")) {
                m_entry = std::make_unique<EntryFields>();
                m_entry->line = m_xml.lineNumber();
                m_stack.push_back(Ctx::Entry);
            } else if (name == QLatin1String("Name")) {
                m_data.groups[size_t(m_groups.back())].name = text();
            } else if (name == QLatin1String("UUID")) {
                m_data.groups[size_t(m_groups.back())].key = text().trimmed();
            } else {
                skip();
            }
            break;
        case Ctx::Entry:
            if (name == QLatin1String("String")) {
                m_key.clear();
                m_value.clear();
                m_stack.push_back(Ctx::String);
            } else if (name == QLatin1String("Binary")) {
                m_key.clear();
                m_stack.push_back(Ctx::Binary);
            } else if (name == QLatin1String("Times")) {
                m_stack.push_back(Ctx::Times);
            } else if (name == QLatin1String("Tags")) {
                m_entry->tags = text();
            } else {
                skip(); // History above all: earlier versions of the entry are not brought in
            }
            break;
        case Ctx::String:
            if (name == QLatin1String("Key")) {
                m_key = text();
            } else if (name == QLatin1String("Value")) {
                const QStringView protectedValue = m_xml.attributes().value(QLatin1String("Protected"));
                if (protectedValue.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
                    fail(QStringLiteral("this value is enciphered by the database (Protected=\"True\"): use the "
                                        "manager's XML export, which writes every value in clear"));
                    return;
                }
                secureWipe(m_value);
                m_value = text();
            } else {
                skip();
            }
            break;
        case Ctx::Binary:
            if (name == QLatin1String("Key"))
                m_key = text();
            else
                skip(); // the reference to the file's content, which has no place in a document
            break;
        case Ctx::Times:
            if (name == QLatin1String("CreationTime") || name == QLatin1String("LastModificationTime")) {
                const bool creation = name == QLatin1String("CreationTime");
                const QString t = text();
                DateTime d = 0;
                if (m_error.what.isEmpty() && !parseDate(t, d)) {
                    fail(QStringLiteral("\"%1\" is not a date").arg(t.left(40)));
                    return;
                }
                (creation ? m_entry->created : m_entry->modified) = d;
            } else {
                skip();
            }
            break;
        }
    }

    void endElement()
    {
        if (m_stack.empty())
            return;
        const Ctx ctx = m_stack.back();
        m_stack.pop_back();
        switch (ctx) {
        case Ctx::Group:
            m_groups.pop_back();
            break;
        case Ctx::String:
            endString();
            break;
        case Ctx::Binary:
            m_entry->attachments << m_key;
            break;
        case Ctx::Entry:
            endEntry();
            break;
        default:
            break;
        }
    }

    void startGroup(int parent)
    {
        if (int(m_groups.size()) >= kMaxGroupDepth) {
            fail(QStringLiteral("groups nested more than %1 deep").arg(kMaxGroupDepth));
            return;
        }
        m_groups.push_back(m_data.addGroup(QString(), parent));
        m_stack.push_back(Ctx::Group);
    }

    void endString()
    {
        EntryFields& e = *m_entry;
        if (m_key == QLatin1String("Title"))
            e.title = m_value;
        else if (m_key == QLatin1String("UserName"))
            e.userName = m_value;
        else if (m_key == QLatin1String("Password"))
            e.password = m_value;
        else if (m_key == QLatin1String("URL"))
            e.url = m_value;
        else if (m_key == QLatin1String("Notes"))
            e.notes = m_value;
        else if (isTotpKey(m_key))
            e.totp.append({m_key, m_value});
        else if (!m_value.isEmpty())
            e.others << m_key + QStringLiteral(": ") + m_value;
        secureWipe(m_value);
    }

    void endEntry()
    {
        EntryFields& e = *m_entry;
        const QString name = !e.title.isEmpty() ? e.title : !hostOf(e.url).isEmpty() ? hostOf(e.url) : m_defaultName;
        QStringList lines = e.others;
        if (!e.tags.trimmed().isEmpty())
            lines << QStringLiteral("Tags: ") + e.tags;
        const QString otp = totpLine(e, name);
        if (!otp.isEmpty()) {
            lines << QLatin1String(kTotpLinePrefix) + otp;
        } else {
            // TOTP fields that make no otpauth line stay as they were.
            for (const auto& t : e.totp)
                if (!t.second.isEmpty())
                    lines << t.first + QStringLiteral(": ") + t.second;
        }
        const int group = m_groups.empty() ? -1 : m_groups.back();
        for (const QString& file : e.attachments) {
            const QString path = m_data.groupPath(group);
            m_attachments.push_back({group, Dropped{Dropped::Attachment, e.line,
                                                    path.isEmpty() ? name : path + QLatin1Char('/') + name, file}});
        }
        ++m_data.seen;
        TFeuille& out = m_data.addEntry(group, e.line);
        out.Name = name;
        out.Login = e.userName;
        out.Password = e.password;
        out.WebAddress = e.url;
        out.Notes = notesWithLines(crlfLines(e.notes), lines);
        out.Created = e.created;
        out.ModifiedAt = e.modified;
        m_entry.reset();
    }

    // The recycle bin named in <Meta> leaves with its subgroups and their entries. It is a group
    // inside the root: a file that names the root group itself (or a group at the top) as its bin
    // keeps everything, rather than losing every entry.
    void dropRecycleBin()
    {
        if (m_recycleBin.isEmpty() || m_recycleBin == QLatin1String("AAAAAAAAAAAAAAAAAAAAAA=="))
            return;
        const size_t count = m_data.groups.size();
        std::vector<int> newIndex(count, -1);
        std::vector<bool> dropped(count, false);
        bool any = false;
        for (size_t g = 0; g < count; ++g) {
            const int parent = m_data.groups[g].parent;
            dropped[g] =
                (parent >= 0 && m_data.groups[g].key == m_recycleBin) || (parent >= 0 && dropped[size_t(parent)]);
            any = any || dropped[g];
        }
        if (!any)
            return;
        ImportedData kept;
        for (size_t g = 0; g < count; ++g) {
            if (dropped[g])
                continue;
            ImportedGroup& group = m_data.groups[g];
            newIndex[g] = kept.addGroup(group.name, group.parent < 0 ? -1 : newIndex[size_t(group.parent)], group.key);
        }
        for (size_t i = 0; i < m_data.entries.size(); ++i) {
            const int g = m_data.entryGroup[i];
            if (g >= 0 && dropped[size_t(g)]) {
                ++kept.recycled;
                continue;
            }
            kept.entries.push_back(std::move(m_data.entries[i]));
            kept.entryGroup.push_back(g < 0 ? -1 : newIndex[size_t(g)]);
            kept.entryLine.push_back(m_data.entryLine[i]);
        }
        kept.seen = m_data.seen;
        m_inRecycleBin = dropped;
        m_data.wipe(); // what is left there is the recycle bin's
        m_data = std::move(kept);
    }

    QBuffer m_buffer;
    QXmlStreamReader m_xml;
    const QString& m_defaultName;
    ImportedData& m_data;
    ImportError& m_error;
    std::vector<Ctx> m_stack;
    std::vector<int> m_groups; // the open <Group> elements, as indices into m_data.groups
    std::unique_ptr<EntryFields> m_entry;
    QString m_key;
    QString m_value;
    QString m_recycleBin;
    std::vector<bool> m_inRecycleBin;                   // by group index before the bin was taken out
    std::vector<std::pair<int, Dropped>> m_attachments; // with the group of their entry
    bool m_sawRoot = false;
};

} // namespace

bool readKeePassXml(const QByteArray& raw, const QString& defaultName, ImportedData& data, ImportError& error)
{
    data.wipe();
    // UTF-16 saved without its mark gets one: the XML reader would take it for UTF-8.
    const SecureBytes marked(markedWideText(raw));
    const QByteArray& bytes = marked.isEmpty() ? raw : marked.bytes();
    if (!piecesFit(bytes, error))
        return false;
    Reader reader(bytes, defaultName, data, error);
    return reader.run();
}

} // namespace foreign
