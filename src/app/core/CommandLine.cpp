#include "app/core/CommandLine.h"

#include <QDir>
#include <QFileInfo>

bool SlashParameterIsPath(const QString& parameter)
{
#ifdef Q_OS_WIN
    Q_UNUSED(parameter);
    return false;
#else
    if (!parameter.startsWith(QLatin1Char('/')))
        return false;
    return parameter.indexOf(QLatin1Char('/'), 1) > 0 || QFileInfo(parameter).isFile();
#endif
}

CommandLine ParseCommandLine(const QStringList& parameters)
{
    CommandLine result;
    for (const QString& p : parameters) {
        if (p == QLatin1String("/debug"))
            result.debug = true;
        else if (!p.startsWith(QLatin1Char('/')) || SlashParameterIsPath(p))
            result.documentPath = p;
        if (IsSwitch(p, QStringLiteral("nobutton")))
            result.noButton = true;
    }
    return result;
}

bool IsSwitch(const QString& parameter, const QString& word)
{
    if (parameter.size() != word.size() + 1)
        return false;
    const QChar first = parameter.at(0);
    if (first != QLatin1Char('-') && first != QLatin1Char('/'))
        return false;
    return parameter.mid(1).compare(word, Qt::CaseInsensitive) == 0;
}

bool HasNoButtonSwitch(const QStringList& parameters)
{
    for (const QString& p : parameters)
        if (IsSwitch(p, QStringLiteral("nobutton")))
            return true;
    return false;
}
