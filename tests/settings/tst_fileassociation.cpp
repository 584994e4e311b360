// The association of .pass documents with the program, written as freedesktop files under XDG
// folders that the test points at a temporary folder: what is written, what counts as associated
// with this executable, what the removal leaves of other programs' lines, and failed writes.

#include "settings/FileAssociation.h"
#include "support/TempFolder.h"

#include <QtTest>

using testsupport::TempFolder;

class TestFileAssociation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openCommand_data();
    void openCommand();
    void registerWritesTheFourParts();
    void registerKeepsOtherLinesOfMimeApps();
    void associatedOnlyWithThisExecutable();
    void notAssociatedWhenAPartIsMissing_data();
    void notAssociatedWhenAPartIsMissing();
    void unregisterRemovesEverything();
    void unregisterOfNothingIsQuiet();
    void failedWritesAreCounted();
    void failedRemovalStops();
    void systemWideInstallationCounts_data();
    void systemWideInstallationCounts();
    void systemWideFilesAreNeverWritten();
    void menuEntryOfTheUserIsNeverHidden();

private:
    std::unique_ptr<TempFolder> m_tmp;
    const QString m_exe = QStringLiteral("/opt/tresorin/bin/tresorin");
};

void TestFileAssociation::init()
{
    m_tmp = std::make_unique<TempFolder>();
    qputenv("XDG_DATA_HOME", m_tmp->makeFolder(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_tmp->makeFolder(QStringLiteral("config")).toLocal8Bit());
    // The system's folders stay out of the test.
    qputenv("XDG_DATA_DIRS", m_tmp->makeFolder(QStringLiteral("system")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", m_tmp->makeFolder(QStringLiteral("sysconfig")).toLocal8Bit());
}

void TestFileAssociation::cleanup()
{
    m_tmp.reset();
}

void TestFileAssociation::openCommand_data()
{
    QTest::addColumn<QString>("exe");
    QTest::addColumn<QString>("command");
    QTest::newRow("plain") << "/usr/bin/tresorin"
                           << "\"/usr/bin/tresorin\" %f";
    QTest::newRow("spaces") << "/home/a b/tresorin"
                            << "\"/home/a b/tresorin\" %f";
    QTest::newRow("quote, dollar, backquote") << "/x\"$`/t"
                                              << "\"/x\\\\\"\\\\$\\\\`/t\" %f";
    QTest::newRow("backslash") << "/x\\y"
                               << "\"/x\\\\\\\\y\" %f";
    QTest::newRow("percent") << "/100%/t"
                             << "\"/100%%/t\" %f";
}

void TestFileAssociation::openCommand()
{
    QFETCH(QString, exe);
    QFETCH(QString, command);
    QCOMPARE(association::OpenCommand(exe), command);
}

void TestFileAssociation::registerWritesTheFourParts()
{
    const QStringList failures =
        association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                         QStringLiteral("1"), QByteArray("\x89PNG icon"));
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));

    const QByteArray package = m_tmp->readFile(QStringLiteral("data/mime/packages/tresorin-pass_file.xml"));
    QVERIFY(package.contains("<mime-type type=\"application/x-tresorin-document\">"));
    QVERIFY(package.contains("<comment>Document Tresorin</comment>"));
    QVERIFY(package.contains("<glob pattern=\"*.pass\"/>"));

    const QString entry =
        QString::fromUtf8(m_tmp->readFile(QStringLiteral("data/applications/tresorin-documents.desktop")));
    QVERIFY(entry.startsWith(QLatin1String("[Desktop Entry]\n")));
    QVERIFY(entry.contains(QLatin1String("\nExec=\"/opt/tresorin/bin/tresorin\" %f\n")));
    QVERIFY(entry.contains(QLatin1String("\nMimeType=application/x-tresorin-document;\n")));
    QVERIFY(entry.contains(QLatin1String("\nX-Tresorin-Class=pass_file\n")));
    // It opens documents; the menu shows the installed entry, never hidden by this one.
    QVERIFY(entry.contains(QLatin1String("\nNoDisplay=true\n")));

    QCOMPARE(m_tmp->readFile(QStringLiteral("config/mimeapps.list")),
             QByteArray("[Default Applications]\napplication/x-tresorin-document=tresorin-documents.desktop\n"));
    QCOMPARE(m_tmp->readFile(QStringLiteral("data/icons/hicolor/48x48/mimetypes/application-x-tresorin-document.png")),
             QByteArray("\x89PNG icon"));
    QVERIFY(association::IsAssociated(QStringLiteral("pass"), m_exe));
}

void TestFileAssociation::registerKeepsOtherLinesOfMimeApps()
{
    const QByteArray before = "[Added Associations]\ntext/plain=editor.desktop;\n\n"
                              "[Default Applications]\ntext/plain=editor.desktop\n"
                              "application/x-tresorin-document=other.desktop\nimage/png=viewer.desktop\n";
    QVERIFY(m_tmp->writeFile(QStringLiteral("config/mimeapps.list"), before));
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"))
                .isEmpty());
    QCOMPARE(m_tmp->readFile(QStringLiteral("config/mimeapps.list")),
             QByteArray("[Added Associations]\ntext/plain=editor.desktop;\n\n"
                        "[Default Applications]\ntext/plain=editor.desktop\nimage/png=viewer.desktop\n"
                        "application/x-tresorin-document=tresorin-documents.desktop\n"));
    // No icon given, none written.
    QVERIFY(!m_tmp->exists(QStringLiteral("data/icons")));
}

void TestFileAssociation::associatedOnlyWithThisExecutable()
{
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), m_exe));
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), QStringLiteral("/other/copy/tresorin"),
                                             QStringLiteral("Document Tresorin"), QStringLiteral("1"))
                .isEmpty());
    QVERIFY(association::IsAssociated(QStringLiteral("pass"), QStringLiteral("/other/copy/tresorin")));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), m_exe));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), QStringLiteral("/other/copy/tresorin2")));

    // Registering for this executable rewrites the entry.
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"))
                .isEmpty());
    QVERIFY(association::IsAssociated(QStringLiteral("pass"), m_exe));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), QStringLiteral("/other/copy/tresorin")));
}

void TestFileAssociation::notAssociatedWhenAPartIsMissing_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("replacement"); // empty: the file is removed
    QTest::newRow("no package") << "data/mime/packages/tresorin-pass_file.xml" << QByteArray();
    QTest::newRow("package for another pattern")
        << "data/mime/packages/tresorin-pass_file.xml"
        << QByteArray("<mime-info><mime-type type=\"application/x-tresorin-document\"><glob pattern=\"*.pas\"/>"
                      "</mime-type></mime-info>");
    QTest::newRow("no desktop entry") << "data/applications/tresorin-documents.desktop" << QByteArray();
    QTest::newRow("no default") << "config/mimeapps.list" << QByteArray("[Default Applications]\n");
    QTest::newRow("default elsewhere") << "config/mimeapps.list"
                                       << QByteArray("[Default Applications]\n"
                                                     "application/x-tresorin-document=other.desktop\n");
    QTest::newRow("default outside the folders")
        << "config/mimeapps.list"
        << QByteArray(
               "[Default Applications]\napplication/x-tresorin-document=../applications/tresorin-documents.desktop\n");
    QTest::newRow("damaged package") << "data/mime/packages/tresorin-pass_file.xml" << QByteArray("<mime-info><glob");
}

void TestFileAssociation::notAssociatedWhenAPartIsMissing()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, replacement);
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"))
                .isEmpty());
    if (replacement.isEmpty())
        QVERIFY(QFile::remove(m_tmp->filePath(file)));
    else
        QVERIFY(m_tmp->writeFile(file, replacement));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), m_exe));
}

void TestFileAssociation::unregisterRemovesEverything()
{
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"), QByteArray("png"))
                .isEmpty());
    // Lines others added for the same type go too; lines of other types stay.
    QByteArray list = m_tmp->readFile(QStringLiteral("config/mimeapps.list"));
    list = "[Added Associations]\napplication/x-tresorin-document=viewer.desktop;\ntext/plain=ed.desktop;\n\n" + list +
           "text/html=browser.desktop\n";
    QVERIFY(m_tmp->writeFile(QStringLiteral("config/mimeapps.list"), list));

    QString error;
    QVERIFY2(association::UnregisterAssociation(QStringLiteral("pass"), &error), qPrintable(error));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/mime/packages/tresorin-pass_file.xml")));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/icons/hicolor/48x48/mimetypes/application-x-tresorin-document.png")));
    QCOMPARE(m_tmp->readFile(QStringLiteral("config/mimeapps.list")),
             QByteArray("[Added Associations]\ntext/plain=ed.desktop;\n\n[Default Applications]\n"
                        "text/html=browser.desktop\n"));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), m_exe));
}

void TestFileAssociation::unregisterOfNothingIsQuiet()
{
    QString error;
    QVERIFY(association::UnregisterAssociation(QStringLiteral("pass"), &error));
    QCOMPARE(error, QString());
    QVERIFY(!m_tmp->exists(QStringLiteral("config/mimeapps.list")));
}

void TestFileAssociation::failedWritesAreCounted()
{
    // A file where the applications folder should be, and a folder in place of mimeapps.list:
    // those two writes fail (also for root), the other two are still made.
    QVERIFY(m_tmp->writeFile(QStringLiteral("data/applications"), "not a folder"));
    m_tmp->makeFolder(QStringLiteral("config/mimeapps.list"));
    const QStringList failures = association::RegisterAssociation(
        QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"), QStringLiteral("1"), QByteArray("png"));
    QCOMPARE(failures.size(), 2);
    QVERIFY(m_tmp->exists(QStringLiteral("data/mime/packages/tresorin-pass_file.xml")));
    QVERIFY(m_tmp->exists(QStringLiteral("data/icons/hicolor/48x48/mimetypes/application-x-tresorin-document.png")));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), m_exe));
}

void TestFileAssociation::failedRemovalStops()
{
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"), QByteArray("png"))
                .isEmpty());
    // The default cannot be rewritten (mimeapps.list replaced by a folder that cannot be read as
    // a file): the removal says so and leaves the icon after it.
    QVERIFY(QFile::remove(m_tmp->filePath(QStringLiteral("config/mimeapps.list"))));
    m_tmp->makeFolder(QStringLiteral("config/mimeapps.list"));
    QString error;
    QVERIFY(!association::UnregisterAssociation(QStringLiteral("pass"), &error));
    QVERIFY(error.contains(QLatin1String("mimeapps.list")));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
    QVERIFY(m_tmp->exists(QStringLiteral("data/icons/hicolor/48x48/mimetypes/application-x-tresorin-document.png")));
}

namespace {

// What the Debian package installs: the MIME package and the desktop entry of the source tree,
// under the temporary system data folder, and the program under a folder put on PATH.
QString installSystemWide(const TempFolder& tmp)
{
    const QString source = QStringLiteral(TRESORIN_TEST_DATA "/../../packaging/");
    for (const auto& [from, to] : {std::pair{"tresorin.xml", "system/mime/packages/tresorin.xml"},
                                   std::pair{"tresorin.desktop", "system/applications/tresorin.desktop"}}) {
        QFile f(source + QLatin1String(from));
        if (!f.open(QIODevice::ReadOnly) || !tmp.writeFile(QLatin1String(to), f.readAll()))
            return QString();
    }
    if (!tmp.writeFile(QStringLiteral("bin/tresorin"), QByteArray("#!/bin/sh\n")))
        return QString();
    const QString exe = tmp.filePath(QStringLiteral("bin/tresorin"));
    QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);
    qputenv("PATH", (tmp.filePath(QStringLiteral("bin")) + u':' + qEnvironmentVariable("PATH")).toLocal8Bit());
    return exe;
}

} // namespace

void TestFileAssociation::systemWideInstallationCounts_data()
{
    QTest::addColumn<QString>("list");     // where the default is written
    QTest::addColumn<QByteArray>("lines"); // its content
    QTest::addColumn<bool>("otherExe");    // ask for another executable than the installed one
    QTest::addColumn<bool>("associated");
    const QByteArray ours("[Default Applications]\napplication/x-tresorin-document=tresorin.desktop;\n");
    QTest::newRow("system configuration") << "sysconfig/mimeapps.list" << ours << false << true;
    QTest::newRow("system applications") << "system/applications/mimeapps.list" << ours << false << true;
    QTest::newRow("older defaults.list") << "system/applications/defaults.list" << ours << false << true;
    QTest::newRow("user's own default") << "config/mimeapps.list" << ours << false << true;
    QTest::newRow("another executable") << "sysconfig/mimeapps.list" << ours << true << false;
    QTest::newRow("no default") << "sysconfig/mimeapps.list" << QByteArray("[Default Applications]\n") << false
                                << false;
    QTest::newRow("user chose another program")
        << "config/mimeapps.list"
        << QByteArray("[Default Applications]\napplication/x-tresorin-document=other.desktop\n") << false << false;
}

void TestFileAssociation::systemWideInstallationCounts()
{
    QFETCH(QString, list);
    QFETCH(QByteArray, lines);
    QFETCH(bool, otherExe);
    QFETCH(bool, associated);
    const QByteArray path = qgetenv("PATH");
    const QString exe = installSystemWide(*m_tmp);
    QVERIFY(!exe.isEmpty());
    // The user's choice comes first; a system default applies where the user made none.
    if (!list.startsWith(QLatin1String("config/")))
        QVERIFY(m_tmp->writeFile(QStringLiteral("sysconfig/mimeapps.list"),
                                 "[Default Applications]\napplication/x-tresorin-document=tresorin.desktop\n"));
    QVERIFY(m_tmp->writeFile(list, lines));
    const bool result =
        association::IsAssociated(QStringLiteral("pass"), otherExe ? QStringLiteral("/opt/other/tresorin") : exe);
    qputenv("PATH", path);
    QCOMPARE(result, associated);
}

void TestFileAssociation::systemWideFilesAreNeverWritten()
{
    const QByteArray path = qgetenv("PATH");
    const QString exe = installSystemWide(*m_tmp);
    QVERIFY(!exe.isEmpty());
    const QByteArray entry = m_tmp->readFile(QStringLiteral("system/applications/tresorin.desktop"));
    const QByteArray package = m_tmp->readFile(QStringLiteral("system/mime/packages/tresorin.xml"));
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"))
                .isEmpty());
    QVERIFY(association::IsAssociated(QStringLiteral("pass"), exe));
    QVERIFY(association::UnregisterAssociation(QStringLiteral("pass")));
    qputenv("PATH", path);
    QCOMPARE(m_tmp->readFile(QStringLiteral("system/applications/tresorin.desktop")), entry);
    QCOMPARE(m_tmp->readFile(QStringLiteral("system/mime/packages/tresorin.xml")), package);
    QVERIFY(!m_tmp->exists(QStringLiteral("sysconfig/mimeapps.list")));
}

// The association never hides the program's menu entry: an entry of the user's own under the menu
// entry's id stays through association and its undoing; only the one an earlier version wrote
// there (it carries the type identity, no categories) is taken away.
void TestFileAssociation::menuEntryOfTheUserIsNeverHidden()
{
    const QByteArray own = "[Desktop Entry]\nType=Application\nName=Tresorin\nExec=tresorin %f\n"
                           "Categories=Utility;Security;\n";
    QVERIFY(m_tmp->writeFile(QStringLiteral("data/applications/tresorin.desktop"), own));
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"))
                .isEmpty());
    QVERIFY(association::UnregisterAssociation(QStringLiteral("pass")));
    QCOMPARE(m_tmp->readFile(QStringLiteral("data/applications/tresorin.desktop")), own);

    const QByteArray earlier = "[Desktop Entry]\nType=Application\nName=Tresorin\nExec=\"/opt/tresorin/bin/tresorin\" "
                               "%f\nMimeType=application/x-tresorin-document;\nX-Tresorin-Class=pass_file\n";
    QVERIFY(m_tmp->writeFile(QStringLiteral("data/applications/tresorin.desktop"), earlier));
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_exe, QStringLiteral("Document Tresorin"),
                                             QStringLiteral("1"))
                .isEmpty());
    QVERIFY(!m_tmp->exists(QStringLiteral("data/applications/tresorin.desktop")));
    QVERIFY(association::IsAssociated(QStringLiteral("pass"), m_exe));
    QVERIFY(m_tmp->writeFile(QStringLiteral("data/applications/tresorin.desktop"), earlier));
    QVERIFY(association::UnregisterAssociation(QStringLiteral("pass")));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/applications/tresorin.desktop")));
}

QTEST_GUILESS_MAIN(TestFileAssociation)
#include "tst_fileassociation.moc"
