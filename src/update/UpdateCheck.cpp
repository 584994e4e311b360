#include "update/UpdateCheck.h"

#include <QUrl>

#include "platform/Win1252.h"

bool UpdateCheckDue(int autoCheck, const QDateTime& lastCheck, const QDateTime& now)
{
    int days = 0;
    switch (autoCheck) {
    case 1:
        days = 1;
        break;
    case 2:
        days = 7;
        break;
    case 3:
        days = 30;
        break;
    default:
        return false;
    }
    if (!lastCheck.isValid())
        return true;
    return now.addDays(-days) > lastCheck;
}

QStringList AnswerLines(const QByteArray& answer)
{
    const QString text = win1252::toUnicode(answer);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QString AnswerValue(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

QString ExpandUpdateUrl(const QString& url)
{
    QString expanded = url;
    const qsizetype at = expanded.indexOf(QLatin1String("_soft_"), 0, Qt::CaseSensitive);
    if (at >= 0)
        expanded.replace(at, 6, QStringLiteral("tresorin"));
    return expanded;
}

bool IsNewerVersion(const QString& candidate, const QString& current)
{
    // QString orders by UTF-16 code units, the shorter of two equal beginnings first.
    return !candidate.isEmpty() && candidate > current;
}

bool MayAdoptUpdateUrl(const QString& currentUrl, const QString& next)
{
    const QUrl target(next, QUrl::StrictMode);
    if (!target.isValid() || target.host().isEmpty())
        return false;
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    return scheme == QLatin1String("http") &&
           QUrl(currentUrl).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0;
}

UpdateDecision DecideUpdate(const QByteArray& answer, const QString& currentUrl, const QString& programVersion,
                            bool mayFollow)
{
    UpdateDecision decision;
    const QStringList lines = AnswerLines(answer);
    const QString url = AnswerValue(lines, QStringLiteral("URL"));
    if (!url.isEmpty() && mayFollow) {
        const QString expanded = ExpandUpdateUrl(url);
        if (expanded != currentUrl && MayAdoptUpdateUrl(currentUrl, expanded)) {
            decision.kind = UpdateDecision::AskAgain;
            decision.url = expanded;
            return decision;
        }
    }
    // A one-line answer is the version itself, unless that line is one of the keys: a lone
    // "URL=..." or "Tresorin=..." line would otherwise be offered as a version.
    const bool keyLine =
        lines.size() == 1 && (lines.first().startsWith(QLatin1String("URL="), Qt::CaseInsensitive) ||
                              lines.first().startsWith(QLatin1String("Tresorin="), Qt::CaseInsensitive));
    decision.version = lines.size() == 1 && !keyLine ? lines.first() : AnswerValue(lines, QStringLiteral("Tresorin"));
    decision.kind =
        IsNewerVersion(decision.version, programVersion) ? UpdateDecision::NewVersion : UpdateDecision::NoNewVersion;
    return decision;
}
