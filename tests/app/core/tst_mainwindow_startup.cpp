// Start-up rules of the main window that need no window: the command line, the full form of a
// document path and the window title.

#include "app/core/CommandLine.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QtTest>

class TestStartupRules : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void noButtonSwitch_data();
    void noButtonSwitch();
    void canonicalPath();
    void fileNamePart_data();
    void fileNamePart();
    void title_data();
    void title();
};

void TestStartupRules::commandLine_data()
{
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("debug");
    QTest::addColumn<bool>("noButton");

    QTest::newRow("none") << QStringList() << QString() << false << false;
    QTest::newRow("two documents, the last wins") << QStringList{"a.pass", "b.pass"} << "b.pass" << false << false;
    QTest::newRow("-US is a path") << QStringList{"-US"} << "-US" << false << false;
    QTest::newRow("/US is not a path") << QStringList{"/US"} << QString() << false << false;
    QTest::newRow("switch after the path") << QStringList{"a.pass", "/FR"} << "a.pass" << false << false;
    QTest::newRow("/debug") << QStringList{"/debug", "a.pass"} << "a.pass" << true << false;
    QTest::newRow("/DEBUG is only ignored") << QStringList{"/DEBUG"} << QString() << false << false;
    QTest::newRow("-nobutton is also a path") << QStringList{"-NoButton"} << "-NoButton" << false << true;
    QTest::newRow("/nobutton") << QStringList{"x.pass", "/NOBUTTON"} << "x.pass" << false << true;
    QTest::newRow("absolute path") << QStringList{"/DEBUG", "/tmp/my codes.pass", "/US"} << "/tmp/my codes.pass"
                                   << false << false;
    QTest::newRow("relative path with spaces") << QStringList{"my codes.pass"} << "my codes.pass" << false << false;
}

void TestStartupRules::commandLine()
{
    QFETCH(QStringList, parameters);
    QFETCH(QString, path);
    QFETCH(bool, debug);
    QFETCH(bool, noButton);
    const CommandLine cl = ParseCommandLine(parameters);
    QCOMPARE(cl.documentPath, path);
    QCOMPARE(cl.debug, debug);
    QCOMPARE(cl.noButton, noButton);
}

void TestStartupRules::noButtonSwitch_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<bool>("isSwitch");
    QTest::newRow("-nobutton") << "-nobutton" << true;
    QTest::newRow("/NoButton") << "/NoButton" << true;
    QTest::newRow("nobutton without prefix") << "nobutton" << false;
    QTest::newRow("--nobutton") << "--nobutton" << false;
    QTest::newRow("-nobuttons") << "-nobuttons" << false;
    QTest::newRow("empty") << "" << false;
}

void TestStartupRules::noButtonSwitch()
{
    QFETCH(QString, parameter);
    QFETCH(bool, isSwitch);
    QCOMPARE(IsSwitch(parameter, QStringLiteral("nobutton")), isSwitch);
    QCOMPARE(HasNoButtonSwitch({QStringLiteral("a.pass"), parameter}), isSwitch);
}

void TestStartupRules::canonicalPath()
{
    testsupport::TempFolder tmp;
    QVERIFY(tmp.writeFile(QStringLiteral("docs/Codes.pass"), "x"));
    const QString root = QDir(tmp.path()).canonicalPath();

    // An existing file, relative to the current folder.
    QCOMPARE(CanonicalDocumentPath(QStringLiteral("docs/Codes.pass"), root), root + QStringLiteral("/docs/Codes.pass"));
    // Dots are resolved.
    QCOMPARE(CanonicalDocumentPath(QStringLiteral("./docs/../docs/Codes.pass"), root),
             root + QStringLiteral("/docs/Codes.pass"));
    // An absolute path ignores the current folder.
    QCOMPARE(CanonicalDocumentPath(root + QStringLiteral("/docs/Codes.pass"), QStringLiteral("/")),
             root + QStringLiteral("/docs/Codes.pass"));
    // A missing file leaves the folder alone, with its separator.
    QCOMPARE(CanonicalDocumentPath(QStringLiteral("docs/missing.pass"), root), root + QStringLiteral("/docs/"));
    // A folder is no document.
    QCOMPARE(CanonicalDocumentPath(QStringLiteral("docs"), root), root + QStringLiteral("/"));
}

void TestStartupRules::fileNamePart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("unix") << "/home/u/codes.pass"
                          << "codes.pass";
    QTest::newRow("windows") << "C:\\docs\\codes.pass"
                             << "codes.pass";
    QTest::newRow("drive only") << "C:codes.pass"
                                << "codes.pass";
    QTest::newRow("bare") << "codes.pass"
                          << "codes.pass";
    QTest::newRow("folder") << "/home/u/"
                            << "";
}

void TestStartupRules::fileNamePart()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(FileNamePart(path), name);
}

void TestStartupRules::title_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ftp");
    QTest::addColumn<QString>("title");
    QTest::newRow("untitled") << "" << false << "Tresorin - Untitled";
    QTest::newRow("untitled in FTP mode") << "" << true << "Tresorin - Untitled";
    QTest::newRow("file") << "/x/y/codes.pass" << false << "Tresorin - codes.pass";
    QTest::newRow("FTP copy") << "codes.pass" << true << "Tresorin - codes.pass (FTP)";
}

void TestStartupRules::title()
{
    QFETCH(QString, path);
    QFETCH(bool, ftp);
    QFETCH(QString, title);
    QCOMPARE(DocumentTitle(path, ftp, QStringLiteral("Untitled")), title);
}

QTEST_GUILESS_MAIN(TestStartupRules)
#include "tst_mainwindow_startup.moc"
