#include "app/CommandLine.h"

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

QString CanonicalDocumentPath(const QString& path, const QString& currentDir)
{
    const QString absolute = QDir::cleanPath(QDir(currentDir).absoluteFilePath(path));
    const QFileInfo info(absolute);
    QString dir = info.absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    if (!info.isFile())
        return dir;
    // The name as the file system lists it: on a case-insensitive file system the typed case
    // may differ from the stored one.
    const QStringList names = info.dir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        if (name == info.fileName())
            return dir + name;
    for (const QString& name : names)
        if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return dir + name;
    return dir + info.fileName();
}

QString FileNamePart(const QString& path)
{
    qsizetype cut = -1;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':')) {
            cut = i;
            break;
        }
    }
    return path.mid(cut + 1);
}

QString DocumentTitle(const QString& path, bool ftpMode, const QString& untitled)
{
    if (path.isEmpty())
        return QStringLiteral("Tresorin - ") + untitled;
    QString title = QStringLiteral("Tresorin - ") + FileNamePart(path);
    if (ftpMode)
        title += QStringLiteral(" (FTP)");
    return title;
}
