// KeePass 2 XML, as KeePass and KeePassXC export it: <KeePassFile><Meta/><Root><Group>... with
// nested <Group> and <Entry> elements. Read with QXmlStreamReader, which never fetches anything;
// a document type declaration is refused outright, so no entity can be declared and expanded
// (billion laughs) and none can point outside the file.
#include "document/ForeignImport.h"

#include "crypto/SecureBytes.h"

#include <QXmlStreamReader>

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

class Reader
{
public:
    Reader(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error)
        : m_xml(bytes), m_defaultName(defaultName), m_data(data), m_error(error)
    {
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
        TFeuille& out = m_data.addEntry(m_groups.empty() ? -1 : m_groups.back(), e.line);
        out.Name = name;
        out.Login = e.userName;
        out.Password = e.password;
        out.WebAddress = e.url;
        out.Notes = notesWithLines(crlfLines(e.notes), lines);
        out.Created = e.created;
        out.ModifiedAt = e.modified;
        m_entry.reset();
    }

    // The recycle bin named in <Meta> leaves with its subgroups and their entries.
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
            dropped[g] = m_data.groups[g].key == m_recycleBin || (parent >= 0 && dropped[size_t(parent)]);
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
            if (g >= 0 && dropped[size_t(g)])
                continue;
            kept.entries.push_back(std::move(m_data.entries[i]));
            kept.entryGroup.push_back(g < 0 ? -1 : newIndex[size_t(g)]);
            kept.entryLine.push_back(m_data.entryLine[i]);
        }
        m_data.wipe(); // what is left there is the recycle bin's
        m_data = std::move(kept);
    }

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
    bool m_sawRoot = false;
};

} // namespace

bool readKeePassXml(const QByteArray& bytes, const QString& defaultName, ImportedData& data, ImportError& error)
{
    data.wipe();
    Reader reader(bytes, defaultName, data, error);
    return reader.run();
}

} // namespace foreign
