// The desktop's list of recently used documents, which every open adds to.

#include "platform/RecentDocs.h"
#include "support/TempFolder.h"

#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
struct Bookmark
{
    QString href;
    QStringList applications; // "name:count"
    QString mimeType;
};

// The bookmarks of a list, read the way a desktop reads them; false when it is not well formed.
bool parseList(const QByteArray& xml, QList<Bookmark>& out)
{
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.name() == QLatin1String("bookmark") && r.namespaceUri().isEmpty())
            out.append({r.attributes().value(QLatin1String("href")).toString(), {}, {}});
        else if (r.name() == QLatin1String("application") && !out.isEmpty())
            out.last().applications << r.attributes().value(QLatin1String("name")).toString() + QLatin1Char(':') +
                                           r.attributes().value(QLatin1String("count")).toString();
        else if (r.name() == QLatin1String("mime-type") && !out.isEmpty())
            out.last().mimeType = r.attributes().value(QLatin1String("type")).toString();
    }
    return !r.hasError();
}
} // namespace

class TestRecentDocuments : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void newList();
    void existingListIsKept();
    void damagedListIsLeftAlone();

private:
    std::unique_ptr<testsupport::TempFolder> m_tmp;
};

void TestRecentDocuments::init()
{
    m_tmp = std::make_unique<testsupport::TempFolder>();
    qputenv("XDG_DATA_HOME", m_tmp->makeFolder(QStringLiteral("share")).toLocal8Bit());
}

void TestRecentDocuments::cleanup()
{
    m_tmp.reset();
}

void TestRecentDocuments::newList()
{
    QCOMPARE(platform::recentDocumentsFile(), m_tmp->filePath(QStringLiteral("share/recently-used.xbel")));
    const QString doc = m_tmp->filePath(QStringLiteral("my codes.pass"));
    platform::AddToRecentDocuments(doc);
    platform::AddToRecentDocuments(doc);
    QList<Bookmark> marks;
    QVERIFY(parseList(m_tmp->readFile(QStringLiteral("share/recently-used.xbel")), marks));
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].href, QUrl::fromLocalFile(doc).toString(QUrl::FullyEncoded));
    QVERIFY(marks[0].href.contains(QLatin1String("my%20codes.pass")));
    QCOMPARE(marks[0].applications, QStringList{QStringLiteral("Tresorin:2")});
    QCOMPARE(marks[0].mimeType, QStringLiteral("application/x-tresorin-document"));
}

void TestRecentDocuments::existingListIsKept()
{
    const QString doc = m_tmp->filePath(QStringLiteral("a.pass"));
    const QString href = QUrl::fromLocalFile(doc).toString(QUrl::FullyEncoded);
    const QByteArray list =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<xbel version=\"1.0\" xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
        "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <bookmark href=\"file:///home/u/photo.png\" added=\"2020-01-01T00:00:00Z\" "
        "modified=\"2020-01-01T00:00:00Z\" "
        "visited=\"2020-01-01T00:00:00Z\">\n"
        "    <info><metadata owner=\"http://freedesktop.org\"><mime:mime-type type=\"image/png\"/>"
        "<bookmark:applications><bookmark:application name=\"Viewer\" exec=\"viewer %u\" modified=\"x\" count=\"3\"/>"
        "</bookmark:applications></metadata></info>\n  </bookmark>\n"
        "  <bookmark href=\"" +
        href.toUtf8() +
        "\" added=\"2020-01-01T00:00:00Z\" modified=\"2020-01-01T00:00:00Z\" visited=\"2020-01-01T00:00:00Z\">\n"
        "    <info><metadata owner=\"http://freedesktop.org\"><mime:mime-type type=\"application/octet-stream\"/>"
        "<bookmark:applications><bookmark:application name=\"Editor\" exec=\"ed %u\" modified=\"x\" count=\"1\"/>"
        "</bookmark:applications></metadata></info>\n  </bookmark>\n"
        "</xbel>\n";
    QVERIFY(m_tmp->writeFile(QStringLiteral("share/recently-used.xbel"), list));

    platform::AddToRecentDocuments(doc);
    const QByteArray after = m_tmp->readFile(QStringLiteral("share/recently-used.xbel"));
    QList<Bookmark> marks;
    QVERIFY(parseList(after, marks));
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks[0].href, QStringLiteral("file:///home/u/photo.png"));
    QCOMPARE(marks[0].applications, QStringList{QStringLiteral("Viewer:3")});
    QCOMPARE(marks[1].href, href);
    QCOMPARE(marks[1].applications, (QStringList{QStringLiteral("Editor:1"), QStringLiteral("Tresorin:1")}));
    // Prefixes stay those of the list, as desktops expect them.
    QVERIFY(after.contains("<bookmark:application name=\"Tresorin\""));
    QVERIFY(after.contains("added=\"2020-01-01T00:00:00Z\""));
}

void TestRecentDocuments::damagedListIsLeftAlone()
{
    const QByteArray damaged = "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><bookmark href=\"x\">\n";
    QVERIFY(m_tmp->writeFile(QStringLiteral("share/recently-used.xbel"), damaged));
    platform::AddToRecentDocuments(m_tmp->filePath(QStringLiteral("a.pass")));
    QCOMPARE(m_tmp->readFile(QStringLiteral("share/recently-used.xbel")), damaged);
}

QTEST_GUILESS_MAIN(TestRecentDocuments)
#include "tst_mainwindow_recentdocs.moc"
