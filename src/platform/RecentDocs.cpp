#include "platform/RecentDocs.h"

#include "platform/SafeFileWrite.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {
const QString kBookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString kMimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
const QString kAppName = QStringLiteral("Tresorin");
const QString kMimeType = QStringLiteral("application/x-tresorin-document");

QString stamp()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString execLine()
{
    const QString exe = QCoreApplication::applicationFilePath();
    return QStringLiteral("'") + (exe.isEmpty() ? QStringLiteral("tresorin") : exe) + QStringLiteral("' %u");
}

void writeApplication(QXmlStreamWriter& w, int count)
{
    w.writeEmptyElement(kBookmarkNs, QStringLiteral("application"));
    w.writeAttribute(QStringLiteral("name"), kAppName);
    w.writeAttribute(QStringLiteral("exec"), execLine());
    w.writeAttribute(QStringLiteral("modified"), stamp());
    w.writeAttribute(QStringLiteral("count"), QString::number(count));
}

void writeNewBookmark(QXmlStreamWriter& w, const QString& href)
{
    const QString now = stamp();
    w.writeStartElement(QStringLiteral("bookmark"));
    w.writeAttribute(QStringLiteral("href"), href);
    w.writeAttribute(QStringLiteral("added"), now);
    w.writeAttribute(QStringLiteral("modified"), now);
    w.writeAttribute(QStringLiteral("visited"), now);
    w.writeStartElement(QStringLiteral("info"));
    w.writeStartElement(QStringLiteral("metadata"));
    w.writeAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    w.writeEmptyElement(kMimeNs, QStringLiteral("mime-type"));
    w.writeAttribute(QStringLiteral("type"), kMimeType);
    w.writeStartElement(kBookmarkNs, QStringLiteral("applications"));
    writeApplication(w, 1);
    w.writeEndElement(); // applications
    w.writeEndElement(); // metadata
    w.writeEndElement(); // info
    w.writeEndElement(); // bookmark
}

// Copies the list, refreshing the bookmark of href (or adding one before the end). False when
// the input is not a well-formed list.
bool rewrite(const QByteArray& input, const QString& href, QByteArray& output)
{
    QXmlStreamReader r(input);
    QXmlStreamWriter w(&output);
    w.setAutoFormatting(false);
    bool inOurs = false;
    bool seenOurs = false;
    bool appDone = false;
    bool sawRoot = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.hasError())
            return false;
        if (r.isStartDocument()) {
            w.writeStartDocument();
            continue;
        }
        if (r.isStartElement()) {
            const QString name = r.name().toString();
            // The root's namespace declarations are copied with it, so our own elements get the
            // prefixes the list already uses.
            if (name == QLatin1String("xbel") && r.namespaceUri().isEmpty())
                sawRoot = true;
            if (name == QLatin1String("bookmark") && r.namespaceUri().isEmpty() &&
                r.attributes().value(QLatin1String("href")) == href) {
                inOurs = true;
                seenOurs = true;
                w.writeStartElement(QStringLiteral("bookmark"));
                for (const QXmlStreamAttribute& a : r.attributes()) {
                    const QString an = a.qualifiedName().toString();
                    if (an == QLatin1String("modified") || an == QLatin1String("visited"))
                        w.writeAttribute(an, stamp());
                    else
                        w.writeAttribute(a);
                }
                continue;
            }
            if (inOurs && name == QLatin1String("application") && r.namespaceUri() == kBookmarkNs &&
                r.attributes().value(QLatin1String("name")) == kAppName) {
                const int count = r.attributes().value(QLatin1String("count")).toInt() + 1;
                writeApplication(w, count);
                appDone = true;
                r.skipCurrentElement();
                continue;
            }
            w.writeCurrentToken(r);
            continue;
        }
        if (r.isEndElement()) {
            const QString name = r.name().toString();
            if (inOurs && !appDone && name == QLatin1String("applications") && r.namespaceUri() == kBookmarkNs) {
                writeApplication(w, 1);
                appDone = true;
            }
            if (inOurs && name == QLatin1String("bookmark") && r.namespaceUri().isEmpty())
                inOurs = false;
            if (name == QLatin1String("xbel") && r.namespaceUri().isEmpty() && !seenOurs)
                writeNewBookmark(w, href);
            w.writeCurrentToken(r);
            continue;
        }
        w.writeCurrentToken(r);
    }
    return !r.hasError() && sawRoot;
}
} // namespace

namespace platform {

QString recentDocumentsFile()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir(base).filePath(QStringLiteral("recently-used.xbel"));
}

void AddToRecentDocuments(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString href = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    const QString listPath = recentDocumentsFile();

    QByteArray input;
    QFile existing(listPath);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return;
        input = existing.readAll();
        existing.close();
    }
    if (input.trimmed().isEmpty())
        input = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
                                  "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                                  "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n"
                                  "</xbel>\n");

    QByteArray output;
    if (!rewrite(input, href, output))
        return;
    if (!QDir().mkpath(QFileInfo(listPath).absolutePath()))
        return;
    // Best effort, but never a cut list in place of the whole one.
    writeFileSafely(listPath, output);
}

} // namespace platform
