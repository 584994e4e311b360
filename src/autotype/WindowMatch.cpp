#include "autotype/WindowMatch.h"

#include "document/EntrySearch.h"

#include <QUrl>

namespace autotype {

namespace {
const QString kWindowKey = QStringLiteral("Auto-Type-Window");

bool appearsIn(const QString& text, const QString& foldedTitle)
{
    const QString folded = entrysearch::FilterText(text.trimmed());
    return folded.size() >= kMinimumMatchLength && foldedTitle.contains(folded);
}
} // namespace

QString boundedTitle(const QString& title)
{
    return title.left(kMaxTitleLength);
}

QString hostOf(const QString& webAddress)
{
    const QString address = webAddress.trimmed();
    if (address.isEmpty() || address.size() > 2048)
        return {};
    const QUrl url = QUrl::fromUserInput(address);
    QString host = url.isValid() ? url.host() : QString();
    if (host.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        host = host.mid(4);
    return host;
}

QStringList notesValues(const QString& notes, const QString& key, int limit)
{
    QStringList values;
    const QString prefix = key + QLatin1Char(':');
    qsizetype start = 0;
    while (start <= notes.size() && values.size() < limit) {
        qsizetype end = notes.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = notes.size();
        const QStringView line = QStringView(notes).mid(start, end - start).trimmed();
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            const QString value = line.mid(prefix.size()).trimmed().toString();
            if (!value.isEmpty())
                values << value;
        }
        start = end + 1;
    }
    return values;
}

bool wildcardMatches(const QString& pattern, const QString& text)
{
    // The usual linear walk: on a mismatch, go back to just after the last '*' and let it take one
    // more character. No backtracking beyond that, so a hostile pattern costs at most
    // pattern x text steps.
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

bool matchEntry(const TFeuille& entry, const QString& foldedTitle, Match* match)
{
    bool plain = appearsIn(entry.Name, foldedTitle) || appearsIn(hostOf(entry.WebAddress), foldedTitle);
    bool wildcard = false;
    if (!plain) {
        for (const QString& pattern : notesValues(entry.Notes, kWindowKey, kMaxPatterns)) {
            if (pattern.size() > kMaxPatternLength || !wildcardMatches(entrysearch::FilterText(pattern), foldedTitle))
                continue;
            if (pattern.contains(QLatin1Char('*'))) {
                wildcard = true;
            } else {
                plain = true;
                break;
            }
        }
    }
    if (!plain && !wildcard)
        return false;
    if (match)
        match->onlyByWildcard = !plain;
    return true;
}

std::vector<Match> matchWindow(const DocumentState& doc, const QString& title)
{
    std::vector<Match> matches;
    const QString folded = entrysearch::FilterText(boundedTitle(title));
    if (folded.trimmed().isEmpty())
        return matches;
    for (const auto& entry : doc.Entries()) {
        Match m;
        if (matchEntry(*entry, folded, &m)) {
            m.entry = entry.get();
            matches.push_back(m);
        }
    }
    return matches;
}

bool candidateShown(const QString& name, const QString& login, const QString& groupPath, const QString& filter)
{
    const QString f = entrysearch::FilterText(filter.trimmed());
    if (f.isEmpty())
        return true;
    return entrysearch::FilterText(name).contains(f) || entrysearch::FilterText(login).contains(f) ||
           entrysearch::FilterText(groupPath).contains(f);
}

} // namespace autotype
