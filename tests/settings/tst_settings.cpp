#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

using testsupport::TempFolder;

namespace {

// Keys of every section of a file, in file order.
QMap<QString, QStringList> keysBySection(const QString& text)
{
    QMap<QString, QStringList> out;
    QString section;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'['))
            section = line.mid(1, line.indexOf(u']') - 1);
        else
            out[section] << line.left(line.indexOf(u'='));
    }
    return out;
}

Settings changedEverywhere()
{
    Settings s;
    s.Use = true;
    s.MRU = {QStringLiteral("/a/one.pass"), QStringLiteral("/b/two.pass"), QStringLiteral(" /c/three.pass "),
             QStringLiteral("/d/\u00e9t\u00e9.pass")};
    s.Pos = true;
    s.X = 120;
    s.Y = -30;
    s.Size = true;
    s.H = 600;
    s.W = 900;
    s.Panel = true;
    s.Arbo = 210;
    s.Info = 0;
    s.Hide = true;
    s.Col = true;
    s.C1 = 150;
    s.C2 = 160;
    s.C3 = 170;
    s.Tri = -2;
    s.AutoHide = true;
    s.Tray = true;
    s.Langue = QStringLiteral("US");
    s.HidePass = false;
    s.OneInstance = true;
    s.AutoSync = true;
    s.AutoCopy = true;
    s.AutoCheck = 1;
    s.LastCheck = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58));
    s.UrlUpdate = QStringLiteral("https://mirror.example/versions.php");
    s.IdleMain = false;
    s.MainMin = 9999;
    s.Clipboard = false;
    s.ClipboardMin = 1;
    s.AutoTypeShortcut = QStringLiteral("Ctrl+Shift+F12");
    s.MAJ = false;
    s.MIN = false;
    s.NUM = false;
    s.ACC = true;
    s.SPE = true;
    s.Other = true;
    s.Chars = QStringLiteral("\"x\" ");
    s.Len = 255;
    s.First = true;
    return s;
}

void compareWritten(const Settings& a, const Settings& b)
{
    QCOMPARE(a.Use, b.Use);
    QCOMPARE(a.MRU, b.MRU);
    QCOMPARE(a.Pos, b.Pos);
    QCOMPARE(a.X, b.X);
    QCOMPARE(a.Y, b.Y);
    QCOMPARE(a.Size, b.Size);
    QCOMPARE(a.H, b.H);
    QCOMPARE(a.W, b.W);
    QCOMPARE(a.Panel, b.Panel);
    QCOMPARE(a.Arbo, b.Arbo);
    QCOMPARE(a.Info, b.Info);
    QCOMPARE(a.Hide, b.Hide);
    QCOMPARE(a.Col, b.Col);
    QCOMPARE(a.C1, b.C1);
    QCOMPARE(a.C2, b.C2);
    QCOMPARE(a.C3, b.C3);
    QCOMPARE(a.Tri, b.Tri);
    QCOMPARE(a.AutoHide, b.AutoHide);
    QCOMPARE(a.Tray, b.Tray);
    QCOMPARE(a.Langue, b.Langue);
    QCOMPARE(a.HidePass, b.HidePass);
    QCOMPARE(a.OneInstance, b.OneInstance);
    QCOMPARE(a.AutoSync, b.AutoSync);
    QCOMPARE(a.AutoCopy, b.AutoCopy);
    QCOMPARE(a.AutoCheck, b.AutoCheck);
    QCOMPARE(a.LastCheck, b.LastCheck);
    QCOMPARE(a.UrlUpdate, b.UrlUpdate);
    QCOMPARE(a.IdleMain, b.IdleMain);
    QCOMPARE(a.MainMin, b.MainMin);
    QCOMPARE(a.Clipboard, b.Clipboard);
    QCOMPARE(a.ClipboardMin, b.ClipboardMin);
    QCOMPARE(a.AutoTypeShortcut, b.AutoTypeShortcut);
    QCOMPARE(a.MAJ, b.MAJ);
    QCOMPARE(a.MIN, b.MIN);
    QCOMPARE(a.NUM, b.NUM);
    QCOMPARE(a.ACC, b.ACC);
    QCOMPARE(a.SPE, b.SPE);
    QCOMPARE(a.Other, b.Other);
    QCOMPARE(a.Chars, b.Chars);
    QCOMPARE(a.Len, b.Len);
    QCOMPARE(a.First, b.First);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void missingFileGivesDefaults();
    void roundTripOfEverySetting();
    void writeOrderAndUnwrittenKeys();
    void unknownLinesSurviveWrite();
    void edgeCases_data();
    void edgeCases();
    void layoutNotReadWhenItsFlagIsOff();
    void sortCodeRules_data();
    void sortCodeRules();
    void urlUpdateWrittenOnlyWhenCustom();
    void lastCheckUnderAnotherLocale();
    void trayButtonSwitch_data();
    void trayButtonSwitch();
    void failedSaveReportsPath();
    void filePath();
    void filePathFallback_data();
    void filePathFallback();
};

void TestSettings::missingFileGivesDefaults()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    const QDateTime before = QDateTime::currentDateTime().addDays(-31);
    const Settings s = Settings::load(path);
    const QDateTime after = QDateTime::currentDateTime().addDays(-31);
    QVERIFY(!QFile::exists(path));

    QVERIFY(!s.appliedX() && !s.appliedY() && !s.appliedHeight() && !s.appliedWidth());
    QVERIFY(!s.appliedTreeWidth() && !s.appliedInfoHeight() && !s.appliedColumnWidth(1));
    QCOMPARE(s.appliedSortCode(), 0);
    QVERIFY(!s.infoPanelStartsHidden());
    QVERIFY(s.HidePass);
    QVERIFY(s.IdleMain);
    QCOMPARE(s.MainMin, 5);
    QVERIFY(s.Clipboard);
    QCOMPARE(s.ClipboardMin, 5);
    QCOMPARE(s.AutoCheck, 3);
    QVERIFY(s.LastCheck >= before && s.LastCheck <= after);
    QVERIFY(s.MAJ && s.MIN && s.NUM);
    QVERIFY(!s.ACC && !s.SPE && !s.Other && !s.First);
    QCOMPARE(s.Len, 10);
    QVERIFY(s.Chars.isEmpty());
    QVERIFY(s.Use);
    QCOMPARE(s.MRU, (std::array<QString, 4>{}));
    QVERIFY(s.Langue.isEmpty());
    QVERIFY(!s.OneInstance && !s.AutoSync && !s.AutoCopy && !s.Tray && !s.AutoHide && !s.nobutton);
    QCOMPARE(s.UrlUpdate, QString::fromLatin1(kBuiltInUpdateUrl));
    QCOMPARE(s.BtnHeight, 15);
    QCOMPARE(s.BtnTop, 0);
    QCOMPARE(s.BtnWidth, 18);
    QCOMPARE(s.BtnLeft, -40);
}

void TestSettings::roundTripOfEverySetting()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    QVERIFY(Settings().save(path));
    const Settings changed = changedEverywhere();
    QString error;
    QVERIFY2(changed.save(path, &error), qPrintable(error));
    const Settings back = Settings::load(path);
    compareWritten(back, changed);
    // And back to the defaults over the changed file.
    Settings defaults;
    defaults.LastCheck = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
    QVERIFY(defaults.save(path));
    compareWritten(Settings::load(path), defaults);
}

void TestSettings::writeOrderAndUnwrittenKeys()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    Settings s;
    s.UrlUpdate = QStringLiteral("https://other.example/v.php");
    s.nobutton = true;
    s.BtnLeft = 7;
    QVERIFY(s.save(path));
    const auto keys = keysBySection(QString::fromUtf8(dir.readFile(QStringLiteral("Tresorin.ini"))));
    QCOMPARE(keys.value(QStringLiteral("MRU")), (QStringList{"Use", "1", "2", "3", "4"}));
    QCOMPARE(keys.value(QStringLiteral("Pos")),
             (QStringList{"Pos", "X", "Y", "Size", "H", "W", "Panel", "Arbo", "Info", "Col", "C1", "C2", "C3", "Tri",
                          "Hide", "AutoHide", "Tray"}));
    QCOMPARE(keys.value(QStringLiteral("Main")), (QStringList{"Langue", "HidePass", "AutoCopy", "OneInstance",
                                                              "AutoSync", "AutoCheck", "LastCheck", "UrlUpdate"}));
    QCOMPARE(keys.value(QStringLiteral("Idle")), (QStringList{"Main", "MainMin", "Clipboard", "ClipboardMin"}));
    QCOMPARE(keys.value(QStringLiteral("AutoType")), QStringList{"Raccourci"});
    QCOMPARE(keys.value(QStringLiteral("Gener")),
             (QStringList{"MAJ", "MIN", "NUM", "ACC", "SPE", "Other", "Chars", "Len", "First"}));
    QCOMPARE(keys.size(), 6);
}

void TestSettings::unknownLinesSurviveWrite()
{
    TempFolder dir;
    const QByteArray ftp = "[FTP]\r\nServeur=ftp.example.org\r\nPort=2121\r\nPassif=1\r\nFichier=/docs/a.pass\r\n"
                           "Login=QUJD\r\nPass=REVG\r\n";
    const QByteArray original = "; hand-written notes\r\n"
                                "[main]\r\n"
                                "hidepass=0\r\n"
                                "Custom=keep\r\n"
                                "\r\n" +
                                ftp +
                                "\r\n"
                                "[Plugin]\r\n"
                                "Anything=goes\r\n";
    dir.writeFile(QStringLiteral("Tresorin.ini"), original);
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    Settings s = Settings::load(path);
    QVERIFY(!s.HidePass);
    s.HidePass = true;
    QVERIFY(s.save(path));

    const QByteArray written = dir.readFile(QStringLiteral("Tresorin.ini"));
    QVERIFY(written.startsWith("; hand-written notes\r\n[main]\r\nhidepass=1\r\nCustom=keep\r\n"));
    QVERIFY(written.contains("\r\n\r\n" + ftp + "\r\n[Plugin]\r\nAnything=goes\r\n"));
    QVERIFY(!written.contains("\n\n")); // every line keeps the file's CR LF
    QCOMPARE(written.count("[main]"), 1);
    QVERIFY(!written.contains("[Main]"));
}

void TestSettings::edgeCases_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("X missing marker ignored")
        << QByteArray("[Pos]\nPos=1\nX=2147483647\nY=40\n") << "appliedX" << QVariant();
    QTest::newRow("Y applied beside it") << QByteArray("[Pos]\nPos=1\nX=2147483647\nY=40\n") << "appliedY"
                                         << QVariant(40);
    QTest::newRow("negative X applied") << QByteArray("[Pos]\nPos=1\nX=-1280\n") << "appliedX" << QVariant(-1280);
    QTest::newRow("X without Pos") << QByteArray("[Pos]\nPos=0\nX=10\n") << "appliedX" << QVariant();
    QTest::newRow("H zero ignored") << QByteArray("[Pos]\nSize=1\nH=0\nW=800\n") << "appliedHeight" << QVariant();
    QTest::newRow("H negative ignored") << QByteArray("[Pos]\nSize=1\nH=-5\n") << "appliedHeight" << QVariant();
    QTest::newRow("W applied") << QByteArray("[Pos]\nSize=1\nH=0\nW=800\n") << "appliedWidth" << QVariant(800);
    QTest::newRow("Arbo applied") << QByteArray("[Pos]\nPanel=1\nArbo=230\n") << "appliedTreeWidth" << QVariant(230);
    QTest::newRow("Info zero ignored") << QByteArray("[Pos]\nPanel=1\nInfo=0\n") << "appliedInfoHeight" << QVariant();
    QTest::newRow("C2 without Col") << QByteArray("[Pos]\nCol=0\nC2=99\n") << "appliedColumnWidth2" << QVariant();
    QTest::newRow("C2 with Col") << QByteArray("[Pos]\nCol=1\nC2=99\n") << "appliedColumnWidth2" << QVariant(99);
    QTest::newRow("HidePass 0x0") << QByteArray("[Main]\nHidePass=0x0\n") << "HidePass" << QVariant(false);
    QTest::newRow("HidePass garbage") << QByteArray("[Main]\nHidePass=no\n") << "HidePass" << QVariant(true);
    QTest::newRow("HidePass $2") << QByteArray("[MAIN]\nHIDEPASS=$2\n") << "HidePass" << QVariant(true);
    QTest::newRow("Langue DE kept") << QByteArray("[Main]\nLangue=DE\n") << "Langue" << QVariant("DE");
    QTest::newRow("Langue fr kept") << QByteArray("[Main]\nLangue=fr\n") << "Langue" << QVariant("fr");
    QTest::newRow("UrlUpdate empty") << QByteArray("[Main]\nUrlUpdate=\n") << "UrlUpdate"
                                     << QVariant(QString::fromLatin1(kBuiltInUpdateUrl));
    QTest::newRow("UrlUpdate custom") << QByteArray("[Main]\nUrlUpdate=http://x.example/v\n") << "UrlUpdate"
                                      << QVariant("http://x.example/v");
    QTest::newRow("MRU when Use=0") << QByteArray("[MRU]\nUse=0\n1=/a.pass\n") << "MRU1" << QVariant("");
    QTest::newRow("MRU when Use=1") << QByteArray("[MRU]\nUse=1\n1=/a.pass\n") << "MRU1" << QVariant("/a.pass");
    QTest::newRow("MRU without Use") << QByteArray("[MRU]\n1=/a.pass\n") << "MRU1" << QVariant("/a.pass");
    QTest::newRow("nobutton in main") << QByteArray("[main]\nnobutton=1\n") << "nobutton" << QVariant(true);
    QTest::newRow("button geometry") << QByteArray("[Pos]\nBtnLeft=-60\n") << "BtnLeft" << QVariant(-60);
    QTest::newRow("Len garbage") << QByteArray("[Gener]\nLen=ten\n") << "Len" << QVariant(10);
    QTest::newRow("auto-type shortcut by default")
        << QByteArray("[Main]\n") << "AutoTypeShortcut" << QVariant("Ctrl+Alt+A");
    QTest::newRow("auto-type shortcut off")
        << QByteArray("[autotype]\nraccourci=\n") << "AutoTypeShortcut" << QVariant("");
    QTest::newRow("auto-type shortcut kept")
        << QByteArray("[AutoType]\nRaccourci= Meta+F9 \n") << "AutoTypeShortcut" << QVariant("Meta+F9");
    QTest::newRow("auto-type shortcut too long") << QByteArray("[AutoType]\nRaccourci=" + QByteArray(65, 'x') + "\n")
                                                 << "AutoTypeShortcut" << QVariant("Ctrl+Alt+A");
    QTest::newRow("Hide without Panel") << QByteArray("[Pos]\nPanel=0\nHide=1\n") << "infoPanelStartsHidden"
                                        << QVariant(false);
    QTest::newRow("Hide with Panel") << QByteArray("[Pos]\nPanel=1\nHide=1\n") << "infoPanelStartsHidden"
                                     << QVariant(true);
    QTest::newRow("AutoHide alone") << QByteArray("[Pos]\nAutoHide=1\n") << "infoPanelStartsHidden" << QVariant(true);
    QTest::newRow("huge Chars") << QByteArray("[Gener]\nChars=" + QByteArray(9000, 'z') + "\n") << "Chars"
                                << QVariant(QString(2047, u'z'));
}

void TestSettings::edgeCases()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    TempFolder dir;
    dir.writeFile(QStringLiteral("Tresorin.ini"), file);
    const Settings s = Settings::load(dir.filePath(QStringLiteral("Tresorin.ini")));
    auto opt = [](std::optional<int> v) { return v ? QVariant(*v) : QVariant(); };
    const QMap<QString, QVariant> actual{
        {QStringLiteral("appliedX"), opt(s.appliedX())},
        {QStringLiteral("appliedY"), opt(s.appliedY())},
        {QStringLiteral("appliedHeight"), opt(s.appliedHeight())},
        {QStringLiteral("appliedWidth"), opt(s.appliedWidth())},
        {QStringLiteral("appliedTreeWidth"), opt(s.appliedTreeWidth())},
        {QStringLiteral("appliedInfoHeight"), opt(s.appliedInfoHeight())},
        {QStringLiteral("appliedColumnWidth2"), opt(s.appliedColumnWidth(2))},
        {QStringLiteral("HidePass"), s.HidePass},
        {QStringLiteral("Langue"), s.Langue},
        {QStringLiteral("UrlUpdate"), s.UrlUpdate},
        {QStringLiteral("MRU1"), s.MRU[0]},
        {QStringLiteral("nobutton"), s.nobutton},
        {QStringLiteral("BtnLeft"), s.BtnLeft},
        {QStringLiteral("Len"), s.Len},
        {QStringLiteral("AutoTypeShortcut"), s.AutoTypeShortcut},
        {QStringLiteral("infoPanelStartsHidden"), s.infoPanelStartsHidden()},
        {QStringLiteral("Chars"), s.Chars},
    };
    QVERIFY2(actual.contains(field), qPrintable(field));
    QCOMPARE(actual.value(field), expected);
}

void TestSettings::layoutNotReadWhenItsFlagIsOff()
{
    // The window writes its current layout back at exit; a flag that is off leaves the fields
    // at their defaults, so nothing stale is written unless the window sets them.
    TempFolder dir;
    dir.writeFile(QStringLiteral("Tresorin.ini"), "[Pos]\nPos=0\nX=10\nY=20\nCol=0\nTri=3\nC1=50\n");
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    const Settings s = Settings::load(path);
    QCOMPARE(s.X, kNoPosition);
    QCOMPARE(s.Tri, 0);
    QCOMPARE(s.C1, 0);
    QVERIFY(s.save(path));
    const IniFile ini(path);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("Tri"), -99), 0);
}

void TestSettings::sortCodeRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("sortCode");
    QTest::newRow("descending second column") << QByteArray("[Pos]\nCol=1\nTri=-2\n") << -2;
    QTest::newRow("ascending first column") << QByteArray("[Pos]\nCol=1\nTri=1\n") << 1;
    QTest::newRow("Col off") << QByteArray("[Pos]\nCol=0\nTri=3\n") << 0;
    QTest::newRow("no column 9") << QByteArray("[Pos]\nCol=1\nTri=9\n") << 0;
    QTest::newRow("smallest int") << QByteArray("[Pos]\nCol=1\nTri=-2147483648\n") << 0;
    QTest::newRow("unsorted") << QByteArray("[Pos]\nCol=1\nTri=0\n") << 0;
}

void TestSettings::sortCodeRules()
{
    QFETCH(QByteArray, file);
    QFETCH(int, sortCode);
    TempFolder dir;
    dir.writeFile(QStringLiteral("Tresorin.ini"), file);
    QCOMPARE(Settings::load(dir.filePath(QStringLiteral("Tresorin.ini"))).appliedSortCode(4), sortCode);
}

void TestSettings::urlUpdateWrittenOnlyWhenCustom()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    Settings s;
    QVERIFY(s.save(path));
    QVERIFY(!IniFile(path).contains(QStringLiteral("Main"), QStringLiteral("UrlUpdate")));
    s.UrlUpdate.clear(); // empty means the built-in address too
    QVERIFY(s.save(path));
    QVERIFY(!IniFile(path).contains(QStringLiteral("Main"), QStringLiteral("UrlUpdate")));

    s.UrlUpdate = QStringLiteral("https://mirror.example/v.php");
    QVERIFY(s.save(path));
    QCOMPARE(Settings::load(path).UrlUpdate, s.UrlUpdate);

    // Back to the built-in address: the older address must not come back at the next start.
    s.UrlUpdate = QString::fromLatin1(kBuiltInUpdateUrl);
    QVERIFY(s.save(path));
    QCOMPARE(Settings::load(path).UrlUpdate, QString::fromLatin1(kBuiltInUpdateUrl));
    QVERIFY(!dir.readFile(QStringLiteral("Tresorin.ini")).contains(kBuiltInUpdateUrl));
}

void TestSettings::lastCheckUnderAnotherLocale()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    Settings s;
    s.LastCheck = QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9));
    IniFile out(path);
    QVERIFY(s.write(out, nullptr, QLocale(QStringLiteral("fr_FR"))));

    Settings same;
    same.read(IniFile(path), QLocale(QStringLiteral("fr_FR")));
    QCOMPARE(same.LastCheck, s.LastCheck);

    const QDateTime before = QDateTime::currentDateTime().addDays(-31);
    Settings other;
    other.read(IniFile(path), QLocale(QStringLiteral("en_US")));
    QVERIFY(other.LastCheck >= before);
    QVERIFY(other.LastCheck <= QDateTime::currentDateTime().addDays(-31));
}

void TestSettings::trayButtonSwitch_data()
{
    QTest::addColumn<bool>("nobutton");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("wanted");
    QTest::newRow("nothing") << false << QStringList{"/tmp/a.pass"} << true;
    QTest::newRow("setting") << true << QStringList{} << false;
    QTest::newRow("slash, capitals") << false << QStringList{"/NOBUTTON"} << false;
    QTest::newRow("dash") << false << QStringList{"x.pass", "-nobutton"} << false;
    QTest::newRow("word alone is no switch") << false << QStringList{"nobutton"} << true;
    QTest::newRow("longer word") << false << QStringList{"-nobuttons"} << true;
}

void TestSettings::trayButtonSwitch()
{
    QFETCH(bool, nobutton);
    QFETCH(QStringList, arguments);
    QFETCH(bool, wanted);
    Settings s;
    s.nobutton = nobutton;
    QCOMPARE(s.trayButtonWanted(arguments), wanted);
}

void TestSettings::failedSaveReportsPath()
{
    TempFolder dir;
    dir.writeFile(QStringLiteral("file"), "x");
    const QString path = dir.filePath(QStringLiteral("file/Tresorin.ini"));
    QString error;
    QVERIFY(!Settings().save(path, &error));
    QCOMPARE(error, QStringLiteral("Impossible d'écrire dans ") + QDir::toNativeSeparators(path));
}

void TestSettings::filePath()
{
    TempFolder dir;
    const QString chosen = dir.filePath(QStringLiteral("elsewhere.ini"));
    const QByteArray savedIni = qgetenv("TRESORIN_INI");
    qputenv("TRESORIN_INI", chosen.toLocal8Bit());
    QCOMPARE(settingsFilePath(), chosen);
    QCOMPARE(settingsFilePathFor(dir.path()), chosen);
    qunsetenv("TRESORIN_INI");
    // Without the variable, the rules below for the folder of this executable.
    QCOMPARE(settingsFilePath(), settingsFilePathFor(QCoreApplication::applicationDirPath()));
    if (!savedIni.isNull())
        qputenv("TRESORIN_INI", savedIni);
}

void TestSettings::filePathFallback_data()
{
    QTest::addColumn<QString>("executableDir"); // inside the temporary folder; empty for unknown
    QTest::addColumn<bool>("beside");
    // A writable folder is no reason to write there: only a file already there makes it portable.
    QTest::newRow("writable folder, no settings file") << "bin" << false;
    QTest::newRow("settings file of the user: portable") << "portable" << true;
    QTest::newRow("read-only folder with the user's file") << "locked" << true;
    QTest::newRow("settings file of another user") << "shared" << false;
    QTest::newRow("a folder named like the file") << "folder" << false;
    QTest::newRow("missing folder") << "gone" << false;
    QTest::newRow("unknown folder") << "" << false;
}

void TestSettings::filePathFallback()
{
    QFETCH(QString, executableDir);
    QFETCH(bool, beside);
    TempFolder dir;
    dir.makeFolder(QStringLiteral("bin"));
    dir.writeFile(QStringLiteral("portable/Tresorin.ini"), "[Main]\r\n");
    dir.writeFile(QStringLiteral("shared/Tresorin.ini"), "[Main]\r\n");
    dir.makeFolder(QStringLiteral("folder/Tresorin.ini"));
    dir.writeFile(QStringLiteral("locked/Tresorin.ini"), "[Main]\r\n");
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (executableDir == QLatin1String("shared")) {
        // Only root can give a file away.
        if (geteuid() != 0)
            QSKIP("a file of another user needs root to be made");
        const passwd* nobody = getpwnam("nobody");
        QVERIFY(nobody);
        QCOMPARE(chown(QFile::encodeName(dir.filePath(QStringLiteral("shared/Tresorin.ini"))).constData(),
                       nobody->pw_uid, nobody->pw_gid),
                 0);
    }

    const QString config = dir.filePath(QStringLiteral("config"));
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedIni = qgetenv("TRESORIN_INI");
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qunsetenv("TRESORIN_INI");
    const QString exeDir = executableDir.isEmpty() ? QString() : dir.filePath(executableDir);
    const QString path = settingsFilePathFor(exeDir);
    if (!savedConfig.isNull())
        qputenv("XDG_CONFIG_HOME", savedConfig);
    else
        qunsetenv("XDG_CONFIG_HOME");
    if (!savedIni.isNull())
        qputenv("TRESORIN_INI", savedIni);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(path,
             beside ? exeDir + QStringLiteral("/Tresorin.ini") : config + QStringLiteral("/tresorin/Tresorin.ini"));
    if (!beside) {
        // The configuration folder is made on the first save; nothing appears beside the program.
        Settings s;
        s.Len = 12;
        QString error;
        QVERIFY2(s.save(path, &error), qPrintable(error));
        QCOMPARE(Settings::load(path).Len, 12);
        if (executableDir == QLatin1String("bin"))
            QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("bin/Tresorin.ini"))));
    }
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
