#include "settings/FileAssociation.h"

#include "platform/SafeFileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace association {

namespace {

const QString kDefaultSection = QStringLiteral("Default Applications");
const QString kAddedSection = QStringLiteral("Added Associations");

QString xdgHome(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    // The XDG base directory rules ignore a relative path.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + fallback;
}

QString dataHome()
{
    return xdgHome("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString configHome()
{
    return xdgHome("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

QStringList dataDirs()
{
    QStringList dirs{dataHome()};
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : system.split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            dirs << dir;
    return dirs;
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("%1: cannot create the folder").arg(QFileInfo(path).absolutePath());
    const platform::SafeWriteResult result = platform::writeFileSafely(path, bytes);
    return result.ok ? QString() : path + QStringLiteral(": ") + result.error;
}

// A key file (desktop entry, mimeapps.list) as lines, LF ends, UTF-8.
QStringList readLines(const QString& path, bool* ok = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = !file.exists();
        return {};
    }
    if (ok)
        *ok = true;
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool isSectionLine(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.endsWith(u']');
}

QString keyOf(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

// The value of key in section, or a null string.
QString keyValue(const QStringList& lines, const QString& section, const QString& key)
{
    bool inside = false;
    for (const QString& line : lines) {
        if (isSectionLine(line)) {
            inside = line.trimmed() == u'[' + section + u']';
            continue;
        }
        if (inside && keyOf(line) == key)
            return line.mid(line.indexOf(u'=') + 1).trimmed();
    }
    return QString();
}

// Removes every line of key in section; sets key=value in it when value is not null (adding the
// section at the end when it is missing).
void setKey(QStringList& lines, const QString& section, const QString& key, const QString& value)
{
    bool inside = false;
    qsizetype sectionEnd = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isSectionLine(lines[i])) {
            if (inside)
                break;
            inside = lines[i].trimmed() == u'[' + section + u']';
            if (inside)
                sectionEnd = i + 1;
            continue;
        }
        if (!inside)
            continue;
        if (keyOf(lines[i]) == key) {
            lines.removeAt(i--);
            continue;
        }
        if (!lines[i].trimmed().isEmpty())
            sectionEnd = i + 1;
    }
    if (value.isNull())
        return;
    const QString line = key + u'=' + value;
    if (sectionEnd < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << u'[' + section + u']' << line;
    } else {
        lines.insert(sectionEnd, line);
    }
}

QByteArray joinLines(const QStringList& lines)
{
    return (lines.join(u'\n') + u'\n').toUtf8();
}

// The type a MIME package file gives "*.ext", or an empty string.
QString typeInPackage(const QString& path, const QString& extension)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QXmlStreamReader xml(&file);
    QString type;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("mime-type"))
            type = xml.attributes().value(QLatin1String("type")).toString();
        else if (xml.name() == QLatin1String("glob") &&
                 xml.attributes().value(QLatin1String("pattern")) == QString(QStringLiteral("*.") + extension))
            return type;
    }
    return QString();
}

// The type the program's MIME package gives "*.ext": the user's own, else the one a system-wide
// installation put in a data folder; an empty string when none does.
QString packageType(const QString& extension)
{
    QString type = typeInPackage(PackageFile(extension), extension);
    for (const QString& dir : dataDirs()) {
        if (!type.isEmpty())
            break;
        type = typeInPackage(dir + QStringLiteral("/mime/packages/tresorin.xml"), extension);
    }
    return type;
}

QStringList configDirs()
{
    QStringList dirs{configHome()};
    QString system = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/etc/xdg");
    for (const QString& dir : system.split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            dirs << dir;
    return dirs;
}

// The desktop id of the type's default application, from the first list that names one, in the
// order the desktop reads them: the user's and the system's mimeapps.list in the configuration
// folders, then in the applications folders, then the older defaults.list.
QString defaultDesktopId(const QString& type)
{
    QStringList lists;
    for (const QString& dir : configDirs())
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : dataDirs())
        lists << dir + QStringLiteral("/applications/mimeapps.list");
    for (const QString& dir : dataDirs())
        lists << dir + QStringLiteral("/applications/defaults.list");
    for (const QString& list : lists) {
        const QString value = keyValue(readLines(list), kDefaultSection, type);
        if (!value.isNull())
            return value.section(u';', 0, 0).trimmed();
    }
    return QString();
}

// Whether a desktop entry's command opens one document with this executable: either the exact
// command the program writes, or, as a system-wide installation writes it, the program's name or
// path (found through PATH when it is a bare name) followed by one file or address placeholder.
bool commandRunsExecutable(const QString& exec, const QString& executablePath)
{
    if (exec == OpenCommand(executablePath))
        return true;
    const QStringList parts = exec.split(u' ', Qt::SkipEmptyParts);
    static const QStringList placeholders{QStringLiteral("%f"), QStringLiteral("%F"), QStringLiteral("%u"),
                                          QStringLiteral("%U")};
    if (parts.size() != 2 || !placeholders.contains(parts.at(1)) || parts.first().contains(u'"'))
        return false;
    QString program = parts.first();
    if (!program.contains(u'/'))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty())
        return false;
    const QString found = QFileInfo(program).canonicalFilePath();
    return !found.isEmpty() && found == QFileInfo(executablePath).canonicalFilePath();
}

QString findDesktopEntry(const QString& id)
{
    // A desktop id must stay a file name inside the applications folders.
    if (id.isEmpty() || id.contains(u'/') || id == QLatin1String(".") || id == QLatin1String(".."))
        return QString();
    for (const QString& dir : dataDirs()) {
        const QString path = dir + QStringLiteral("/applications/") + id;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QByteArray packageXml(const QString& extension, const QString& description)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("mime-info"));
    w.writeDefaultNamespace(QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    w.writeStartElement(QStringLiteral("mime-type"));
    w.writeAttribute(QStringLiteral("type"), QLatin1String(kMimeType));
    w.writeTextElement(QStringLiteral("comment"), description);
    w.writeEmptyElement(QStringLiteral("icon"));
    w.writeAttribute(QStringLiteral("name"), QString::fromLatin1(kMimeType).replace(u'/', u'-'));
    w.writeEmptyElement(QStringLiteral("glob"));
    w.writeAttribute(QStringLiteral("pattern"), QStringLiteral("*.") + extension);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray desktopEntry(const QString& executablePath, const QString& description, const QString& extension,
                        const QString& iconNumber)
{
    QStringList lines{
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=Tresorin"),
        QStringLiteral("Comment=") + description,
        QStringLiteral("Exec=") + OpenCommand(executablePath),
        QStringLiteral("Icon=") + QString::fromLatin1(kMimeType).replace(u'/', u'-'),
        QStringLiteral("Terminal=false"),
        // Only for opening documents: the menu shows the installed entry.
        QStringLiteral("NoDisplay=true"),
        QStringLiteral("MimeType=") + QLatin1String(kMimeType) + u';',
        // The identity of the type as the program knows it, for a later check.
        QStringLiteral("X-Tresorin-Class=") + ClassName(extension),
        QStringLiteral("X-Tresorin-Icon=") + iconNumber,
    };
    return joinLines(lines);
}

QString removeFile(const QString& path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return QString();
    QFile file(path);
    return file.remove() ? QString() : path + QStringLiteral(": ") + file.errorString();
}

// The entry an earlier version wrote under the menu entry's id: it carries the type identity.
QString removeLegacyEntry()
{
    const QString legacy = dataHome() + QStringLiteral("/applications/") + QLatin1String(kLegacyDesktopId);
    if (QFileInfo(legacy).isSymLink() || !QFileInfo(legacy).isFile())
        return QString();
    if (keyValue(readLines(legacy), QStringLiteral("Desktop Entry"), QStringLiteral("X-Tresorin-Class")).isEmpty())
        return QString();
    return removeFile(legacy);
}

} // namespace

QString ClassName(const QString& extension)
{
    return extension + QStringLiteral("_file");
}

QString OpenCommand(const QString& executablePath)
{
    // Inside the quotes a desktop entry wants \ " ` $ escaped by a backslash, and the value as a
    // whole doubles every backslash again; a percent sign is written twice.
    QString quoted;
    for (const QChar c : executablePath) {
        if (c == u'"' || c == u'`' || c == u'$')
            quoted += QStringLiteral("\\\\") + c;
        else if (c == u'\\')
            quoted += QStringLiteral("\\\\\\\\");
        else if (c == u'%')
            quoted += QStringLiteral("%%");
        else
            quoted += c;
    }
    return u'"' + quoted + QStringLiteral("\" %f");
}

QString PackageFile(const QString& extension)
{
    return dataHome() + QStringLiteral("/mime/packages/tresorin-") + ClassName(extension) + QStringLiteral(".xml");
}

QString DesktopFile()
{
    return dataHome() + QStringLiteral("/applications/") + QLatin1String(kDesktopId);
}

QString MimeAppsFile()
{
    return configHome() + QStringLiteral("/mimeapps.list");
}

QString IconFile()
{
    return dataHome() + QStringLiteral("/icons/hicolor/48x48/mimetypes/") +
           QString::fromLatin1(kMimeType).replace(u'/', u'-') + QStringLiteral(".png");
}

bool IsAssociated(const QString& extension, const QString& executablePath)
{
    const QString type = packageType(extension);
    if (type.isEmpty())
        return false;
    const QString entry = findDesktopEntry(defaultDesktopId(type));
    if (entry.isEmpty())
        return false;
    return commandRunsExecutable(keyValue(readLines(entry), QStringLiteral("Desktop Entry"), QStringLiteral("Exec")),
                                 executablePath);
}

QStringList RegisterAssociation(const QString& extension, const QString& executablePath, const QString& description,
                                const QString& iconNumber, const QByteArray& iconPng)
{
    QStringList failures;
    const auto attempt = [&failures](const QString& failure) {
        if (!failure.isEmpty())
            failures << failure;
    };
    attempt(writeFile(PackageFile(extension), packageXml(extension, description)));
    // A line break in the path would end the command line of the entry.
    bool lineBreak = false;
    for (const QChar c : executablePath)
        lineBreak = lineBreak || c.unicode() < 32;
    if (lineBreak)
        attempt(QStringLiteral("%1: no line break is possible in a command").arg(executablePath));
    else
        attempt(writeFile(DesktopFile(), desktopEntry(executablePath, description, extension, iconNumber)));
    attempt(removeLegacyEntry());

    bool readable = true;
    QStringList lines = readLines(MimeAppsFile(), &readable);
    if (!readable) {
        attempt(MimeAppsFile() + QStringLiteral(": cannot be read"));
    } else {
        setKey(lines, kDefaultSection, QLatin1String(kMimeType), QLatin1String(kDesktopId));
        attempt(writeFile(MimeAppsFile(), joinLines(lines)));
    }
    if (!iconPng.isEmpty())
        attempt(writeFile(IconFile(), iconPng));
    return failures;
}

bool UnregisterAssociation(const QString& extension, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QString failure = removeFile(PackageFile(extension));
    if (!failure.isEmpty())
        return fail(failure);
    failure = removeFile(DesktopFile());
    if (failure.isEmpty())
        failure = removeLegacyEntry();
    if (!failure.isEmpty())
        return fail(failure);
    bool readable = true;
    QStringList lines = readLines(MimeAppsFile(), &readable);
    if (!readable)
        return fail(MimeAppsFile() + QStringLiteral(": cannot be read"));
    const QStringList before = lines;
    setKey(lines, kDefaultSection, QLatin1String(kMimeType), QString());
    setKey(lines, kAddedSection, QLatin1String(kMimeType), QString());
    if (lines != before) {
        failure = writeFile(MimeAppsFile(), joinLines(lines));
        if (!failure.isEmpty())
            return fail(failure);
    }
    failure = removeFile(IconFile());
    if (!failure.isEmpty())
        return fail(failure);
    return true;
}

void RefreshDesktopCaches()
{
    const QString mime = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (!mime.isEmpty())
        QProcess::startDetached(mime, {dataHome() + QStringLiteral("/mime")});
    const QString desktop = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (!desktop.isEmpty())
        QProcess::startDetached(desktop, {dataHome() + QStringLiteral("/applications")});
}

} // namespace association
