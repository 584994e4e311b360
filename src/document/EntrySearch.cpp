#include "document/EntrySearch.h"

#include <QStringView>

namespace entrysearch {

namespace {

QChar fold(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + (u'a' - u'A'))) : c;
}

// Substring search with A-Z folded in the haystack, without making a folded copy of it (the
// fields include passwords, which are not copied around for a search).
bool containsFolded(const QString& haystack, const QString& needle)
{
    const qsizetype n = needle.size();
    const qsizetype h = haystack.size();
    if (n == 0)
        return true;
    for (qsizetype i = 0; i + n <= h; ++i) {
        qsizetype k = 0;
        while (k < n && fold(haystack[i + k]) == needle[k])
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

} // namespace

QString FilterText(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        c = fold(c);
    return out;
}

bool Matches(const TFeuille& entry, const QString& filterText)
{
    for (const QString* field : {&entry.Name, &entry.Login, &entry.Password, &entry.WebAddress, &entry.Notes})
        if (containsFolded(*field, filterText))
            return true;
    return false;
}

QString GroupPath(const TGroupe* group)
{
    QStringList names;
    for (const TGroupe* g = group; g; g = g->Parent)
        names.prepend(g->Name);
    return names.join(QLatin1Char('\\'));
}

Result Search(const DocumentState& doc, const QString& filterText)
{
    Result result;
    for (const auto& entry : doc.Entries()) {
        if (!Matches(*entry, filterText))
            continue;
        result.entries.push_back(entry.get());
        result.paths.append(GroupPath(doc.findGroup(entry->Group)));
    }
    return result;
}

} // namespace entrysearch
