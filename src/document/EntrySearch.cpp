#include "document/EntrySearch.h"

#include <QStringView>

#include <vector>

namespace entrysearch {

namespace {

QChar fold(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + (u'a' - u'A'))) : c;
}

// Substring search with A-Z folded in the haystack, without making a folded copy of it (the
// fields include passwords, which are not copied around for a search). The needle is folded
// already, so its first character occurs in the haystack as itself or, for a-z, as its capital:
// both are found with the toolkit's vectorised character search, and only there is the rest of
// the needle compared.
bool containsFolded(QStringView haystack, QStringView needle)
{
    const qsizetype n = needle.size();
    if (n == 0)
        return true;
    const qsizetype last = haystack.size() - n; // the last position where the needle can start
    if (last < 0)
        return false;
    const QChar first = needle[0];
    const char16_t f = first.unicode();
    const bool twoCases = f >= u'a' && f <= u'z';
    const QChar capital(char16_t(f - (u'a' - u'A')));
    qsizetype nextSmall = haystack.indexOf(first);
    qsizetype nextCapital = twoCases ? haystack.indexOf(capital) : -1;
    for (;;) {
        qsizetype i;
        if (nextSmall < 0 && nextCapital < 0)
            return false;
        if (nextCapital < 0 || (nextSmall >= 0 && nextSmall < nextCapital))
            i = nextSmall;
        else
            i = nextCapital;
        if (i > last)
            return false;
        qsizetype k = 1;
        while (k < n && fold(haystack[i + k]) == needle[k])
            ++k;
        if (k == n)
            return true;
        if (i == nextSmall)
            nextSmall = haystack.indexOf(first, i + 1);
        else
            nextCapital = haystack.indexOf(capital, i + 1);
    }
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

QString GroupPath(const TGroupe* group, QChar separator)
{
    // From the group up, as far as the bound allows.
    std::vector<const QString*> names;
    qsizetype length = 0;
    bool cut = false;
    for (const TGroupe* g = group; g; g = g->Parent) {
        const qsizetype added = g->Name.size() + (names.empty() ? 0 : 1);
        if (length + added > kMaxPathLength) {
            cut = true;
            break;
        }
        names.push_back(&g->Name);
        length += added;
    }
    QString path;
    path.reserve(length + 2);
    if (cut) {
        path += QChar(0x2026); // the ellipsis, a character Windows-1252 holds too
        if (names.empty())     // the group's own name alone is too long: its end
            return path + group->Name.right(kMaxPathLength);
        path += separator;
    }
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (it != names.rbegin())
            path += separator;
        path += **it;
    }
    return path;
}

Result Search(const DocumentState& doc, const QString& filterText)
{
    Result result;
    // Entries of one group come in runs: its path is built once per run and shared (implicitly)
    // by every result of the run, which matters when a short text finds most of the document.
    quint32 lastGroup = 0;
    QString lastPath;
    bool havePath = false;
    for (const auto& entry : doc.Entries()) {
        if (!Matches(*entry, filterText))
            continue;
        result.entries.push_back(entry.get());
        if (!havePath || entry->Group != lastGroup) {
            lastGroup = entry->Group;
            lastPath = GroupPath(doc.findGroup(lastGroup));
            havePath = true;
        }
        result.paths.append(lastPath);
    }
    return result;
}

} // namespace entrysearch
