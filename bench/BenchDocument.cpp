#include "BenchDocument.h"

#include <QFile>

namespace benchdoc {

namespace {

class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint32 next()
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return quint32(m_state >> 33);
    }
    int between(int low, int high) { return low + int(next() % quint32(high - low + 1)); }
    QString text(int length, const char* alphabet, int alphabetSize)
    {
        QString s(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            s[i] = QLatin1Char(alphabet[next() % quint32(alphabetSize)]);
        return s;
    }

private:
    quint64 m_state;
};

const char kWords[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789";
const char kPasswordChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&*+-=?@^_";

} // namespace

void build(DocumentState& doc, int entries, bool halfInFirstGroup)
{
    Random r(20261210);
    doc.clearContent();
    std::vector<TGroupe*> groups;
    const int groupCount = qMax(1, (entries + 99) / 100);
    for (int g = 0; g < groupCount; ++g) {
        TGroupe* parent = g % 10 ? groups[size_t(g - g % 10)] : nullptr;
        groups.push_back(
            doc.addGroup(QStringLiteral("Group %1 ").arg(g) + r.text(r.between(4, 12), kWords, 63), parent));
    }
    for (int i = 0; i < entries; ++i) {
        const int g = halfInFirstGroup && i % 2 == 0 ? 0 : qMin(i / 100, groupCount - 1);
        auto e = NewEntry(groups[size_t(g)], r.text(r.between(10, 30), kWords, 63));
        e->Login = r.text(r.between(6, 20), kWords, 26) + QStringLiteral("@example.org");
        e->Password = r.text(16, kPasswordChars, int(sizeof kPasswordChars) - 1);
        e->WebAddress =
            QStringLiteral("https://www.") + r.text(r.between(5, 15), kWords, 26) + QStringLiteral(".com/login");
        const int notes = r.between(0, 300);
        QString n = r.text(notes, kWords, 63);
        for (int k = 60; k + 1 < notes; k += 61) {
            n[k] = QLatin1Char('\r');
            n[k + 1] = QLatin1Char('\n');
        }
        e->Notes = n;
        e->Created = 45000.0 + double(r.next() % 2000000) / 1000.0;
        e->ModifiedAt = e->Created + 1.25;
        doc.appendEntry(std::move(e));
    }
    doc.MetaPassword = QString::fromLatin1(kPassword);
}

namespace {

QByteArray xmlText(const QString& text)
{
    QString s = text.toHtmlEscaped();
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s.toUtf8();
}

void writeGroup(QByteArray& out, const DocumentState& doc, const TGroupe* g,
                const QHash<quint32, std::vector<const TFeuille*>>& entriesOf)
{
    out += "<Group><Name>" + xmlText(g->Name) + "</Name>\n";
    for (const TFeuille* e : entriesOf.value(g->Id)) {
        out += "<Entry>";
        const std::pair<const char*, const QString*> fields[] = {{"Title", &e->Name},
                                                                 {"UserName", &e->Login},
                                                                 {"Password", &e->Password},
                                                                 {"URL", &e->WebAddress},
                                                                 {"Notes", &e->Notes}};
        for (const auto& f : fields)
            out += QByteArray("<String><Key>") + f.first + "</Key><Value>" + xmlText(*f.second) + "</Value></String>";
        out += "</Entry>\n";
    }
    for (const auto& c : g->Children)
        writeGroup(out, doc, c.get(), entriesOf);
    out += "</Group>\n";
}

} // namespace

bool writeKeePassXml(const DocumentState& doc, const QString& path)
{
    QHash<quint32, std::vector<const TFeuille*>> entriesOf;
    for (const auto& e : doc.Entries())
        entriesOf[e->Group].push_back(e.get());
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                     "<KeePassFile><Meta><Generator>tresorin bench</Generator></Meta><Root>"
                     "<Group><Name>Root</Name>\n";
    for (const auto& g : doc.Groups())
        writeGroup(out, doc, g.get(), entriesOf);
    out += "</Group></Root></KeePassFile>\n";
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size() && f.flush();
}

} // namespace benchdoc
