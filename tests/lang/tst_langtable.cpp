#include "lang/LangTable.h"
#include "lang/ShortcutText.h"
#include "platform/Win1252.h"

#include <QtTest>

#include <atomic>
#include <thread>

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Every window row the built-in tables must hold, with the number of fields the row must
// have: 0 for "one or two", -1 for a command row (three, or four with a shortcut).
struct WindowKey
{
    const char* key;
    int fields;
};

const WindowKey kWindowKeys[] = {
    {"frmTresorin", 1},
    {"frmTresorin.Liste", 5},
    {"frmTresorin.CacherBtn", 2},
    {"frmTresorin.LabelInfo", 0},
    {"frmTresorin.ActionNouveau", -1},
    {"frmTresorin.ActionOuvrir", -1},
    {"frmTresorin.ActionOuvrirFTP", -1},
    {"frmTresorin.ActionFusionner", -1},
    {"frmTresorin.ActionSauver", -1},
    {"frmTresorin.ActionSauverSous", -1},
    {"frmTresorin.ActionSauverFTP", -1},
    {"frmTresorin.ActionChangeMeta", -1},
    {"frmTresorin.ActionChercher", -1},
    {"frmTresorin.ActionNewGrp", -1},
    {"frmTresorin.ActionRenGrp", -1},
    {"frmTresorin.ActionDelGrp", -1},
    {"frmTresorin.ActionNewEntree", -1},
    {"frmTresorin.actNewGenerateur", -1},
    {"frmTresorin.ActionRenEntree", -1},
    {"frmTresorin.ActionDelEntree", -1},
    {"frmTresorin.ActionCouper", -1},
    {"frmTresorin.ActionCopier", -1},
    {"frmTresorin.ActionColler", -1},
    {"frmTresorin.ActionOpenURL", -1},
    {"frmTresorin.ActionAutoType", -1},
    {"frmTresorin.ActionHidePwd", -1},
    {"frmTresorin.actGenerateur", -1},
    {"frmTresorin.ActionOption", -1},
    {"frmTresorin.ActionMajWeb", -1},
    {"frmTresorin.ActionSupport", -1},
    {"frmTresorin.ActionAbout", -1},
    {"frmTresorin.ActionMRU1", -1},
    {"frmTresorin.ActionMRU2", -1},
    {"frmTresorin.ActionMRU3", -1},
    {"frmTresorin.ActionMRU4", -1},
    {"frmTresorin.ActionQuitter", -1},
    {"frmTresorin.Arbo", 1},
    {"frmTresorin.Memo", 1},
    {"frmTresorin.ActionInfoFich", -1},
    {"frmTresorin.ActionSynchroFTP", -1},
    {"frmTresorin.bnFTPStop", 0},
    {"frmTresorin.ActionSetFTP", -1},
    {"BoiteAPropos", 1},
    {"BoiteAPropos.pgAbout", 1},
    {"BoiteAPropos.pgHisto", 1},
    {"BoiteAPropos.Label6", 0},
    {"BoiteAPropos.Label7", 0},
    {"BoiteMetaPass", 1},
    {"BoiteMetaPass.Label2", 0},
    {"BoiteMetaPass.CancelBtn", 0},
    {"BoiteFTP.Label1", 0},
    {"BoiteFTP.Label2", 0},
    {"BoiteFTP.Label3", 0},
    {"BoiteFTP.Label4", 0},
    {"BoiteFTP.Label5", 0},
    {"BoiteFTP.cbPassif", 0},
    {"BoiteFTP.OptionsNet", 0},
    {"BoiteFTP.Fichier", 2},
    {"BoiteFTP.Serveur", 2},
    {"BoiteFTP.GB", 0},
    {"BoiteFTP.CBUseFTP", 0},
    {"BoiteFTP.cbUseIsFTP", 0},
    {"BoiteOptions", 1},
    {"BoiteOptions.AnnulerBtn", 0},
    {"BoiteOptions.GroupBox1", 0},
    {"BoiteOptions.CBPosWin", 0},
    {"BoiteOptions.CBTailleWin", 0},
    {"BoiteOptions.CBCol", 0},
    {"BoiteOptions.CBPanel", 0},
    {"BoiteOptions.GroupBox3", 0},
    {"BoiteOptions.cbUseMaj", 0},
    {"BoiteOptions.rbDay", 0},
    {"BoiteOptions.rbWeek", 0},
    {"BoiteOptions.rbMounth", 0},
    {"BoiteOptions.GroupBox2", 0},
    {"BoiteOptions.Label1", 0},
    {"BoiteOptions.Label2", 0},
    {"BoiteOptions.CBAutoHide", 0},
    {"BoiteOptions.CBTray", 0},
    {"BoiteOptions.CBMRU", 0},
    {"BoiteOptions.CBAssocie", 0},
    {"BoiteOptions.CBHidePwd", 0},
    {"BoiteOptions.CBAutoSync", 2},
    {"BoiteOptions.cbAutoCopy", 0},
    {"BoiteOptions.cbOneInstance", 0},
    {"BoiteOptions.cbIdleMain", 0},
    {"BoiteOptions.cbIdleClipboard", 0},
    {"BoiteOptions.lblAutoType", 2},
    {"BoiteInfo", 1},
    {"BoiteInfo.ListeInfo", 3},
    {"BoiteInfo.btnYes", 0},
    {"BoiteInfo.btnNo", 0},
    {"BoiteAutoType", 1},
    {"BoiteAutoType.lblFiltre", 0},
    {"BoiteAutoType.ListeAutoType", 4},
    {"BoiteAutoType.btnOK", 0},
    {"BoiteAutoType.btnAnnuler", 0},
    {"frmGenerateur", 1},
    {"frmGenerateur.Label2", 0},
    {"frmGenerateur.Label3", 0},
    {"frmGenerateur.Label4", 0},
    {"frmGenerateur.GroupBox1", 0},
    {"frmGenerateur.Label1", 0},
    {"frmGenerateur.cbMaj", 0},
    {"frmGenerateur.cbAcc", 0},
    {"frmGenerateur.cbMin", 0},
    {"frmGenerateur.cbSpe", 0},
    {"frmGenerateur.cbNum", 0},
    {"frmGenerateur.cbPerso", 0},
    {"frmGenerateur.btnGenerer", 0},
    {"frmGenerateur.btnOK", 0},
    {"frmGenerateur.btnAnnuler", 0},
    {"frmGenerateur.cb1lettre", 0},
};

const char* const kMessageKeys[] = {
    "DeleteKey",  "DeleteEntree", "ErreurTRS",  "ErreurFIN",    "ErreurHN",      "Sauver",     "Fusionner",
    "Ouverture",  "Filtre1",      "Filtre2",    "ChangeMeta",   "Meta",          "Pass",       "BadPass",
    "Connect",    "OfflineError", "NetError",   "ConnectError", "FileAccess",    "FTPDL",      "FTPUL",
    "FTPULError", "FTPOpen",      "FTPSave",    "FTPVide",      "Wininet",       "NotFound",   "DecodeIni",
    "CancelFTP",  "SBar",         "Modifie",    "FTPSync",      "EmptyFilename", "Version",    "Oui",
    "Non",        "Inconnu",      "SauveDate",  "SyncOn",       "DServer",       "DPort",      "DPasv",
    "DUser",      "DPass",        "DFich",      "Format",       "SyncRecent",    "Local",      "FTP",
    "ErrVersion", "Locked",       "NewVersion", "NoNewVersion", "LastCheck",     "ButtonTray", "IdleLock",
    "RenameFile",
};
const char* const kEnglishOnly[] = {"Sans titre", "Chemin", "Groupe", "Element"};

int fieldCount(const QString& value)
{
    return int(value.count(QLatin1Char('~'))) + 1;
}

} // namespace

class TestLangTable : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { clearLangTable(); }

    void lookupRules_data();
    void lookupRules();
    void lineSplitting();
    void msgCount_data();
    void msgCount();
    void countedMessagesOfTheTables_data();
    void countedMessagesOfTheTables();
    void bothTablesHoldTheSameMessages();
    void everyMessageTheCodeAsksForIsInBothTables();
    void extractField_data();
    void extractField();

    void builtInTablesLoadByCode_data();
    void builtInTablesLoadByCode();
    void unknownCodeFailsAndEmpties();
    void frenchLacksTheLastFourMessages();
    void messageTexts_data();
    void messageTexts();
    void tablesAreComplete_data();
    void tablesAreComplete();
    void tellingRows_data();
    void tellingRows();
    void generatorTexts_data();
    void generatorTexts();
    void menuTitlesOfCommands();
    void resourceBytesAreWindows1252WithCrLf_data();
    void resourceBytesAreWindows1252WithCrLf();

    void chooseLanguage_data();
    void chooseLanguage();

    void shortcutParse_data();
    void shortcutParse();
    void shortcutFormatRoundTrip();

    void readersDuringReloads();
};

void TestLangTable::lookupRules_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing key gives the key") << "Messages.A=x"
                                               << "B"
                                               << "B";
    QTest::newRow("empty value gives the key") << "Messages.A="
                                               << "A"
                                               << "A";
    QTest::newRow("bar is a line break") << "Messages.A=one|two"
                                         << "A"
                                         << "one\r\ntwo";
    QTest::newRow("double bar is an empty line") << "Messages.A=one||two"
                                                 << "A"
                                                 << "one\r\n\r\ntwo";
    QTest::newRow("equals inside the value") << "Messages.A=x=y=z"
                                             << "A"
                                             << "x=y=z";
    QTest::newRow("key case ignored") << "Messages.Local=en local"
                                      << "local"
                                      << "en local";
    QTest::newRow("prefix case ignored") << "MESSAGES.LOCAL=en local"
                                         << "Local"
                                         << "en local";
    QTest::newRow("first duplicate wins") << "Messages.A=first\nMessages.a=second"
                                          << "A"
                                          << "first";
    QTest::newRow("empty first duplicate still wins") << "Messages.A=\nMessages.A=second"
                                                      << "A"
                                                      << "A";
    QTest::newRow("line without equals never matches") << "Messages.A\nMessages.A=x"
                                                       << "A"
                                                       << "x";
    QTest::newRow("key is not trimmed") << "Messages.A =x"
                                        << "A"
                                        << "A";
    QTest::newRow("accented key ignores case") << "Messages.\u00c9l\u00e9ment=x"
                                               << "\u00e9l\u00e9ment"
                                               << "x";
    QTest::newRow("window rows are not messages") << "A=x"
                                                  << "A"
                                                  << "A";
}

void TestLangTable::lookupRules()
{
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    LangTable::instance().setText(table);
    QCOMPARE(Msg(key), expected);
}

void TestLangTable::lineSplitting()
{
    LangTable::instance().setText(QStringLiteral("a=1\r\nb=2\nc=3\rd=4\r\n\r\ne=5"));
    const auto snap = LangTable::instance().snapshot();
    QCOMPARE(snap->lines, QStringList({"a=1", "b=2", "c=3", "d=4", "", "e=5"}));
    for (const char* k : {"a", "b", "c", "d", "e"})
        QVERIFY2(!langLookup(QString::fromLatin1(k)).isEmpty(), k);
    QCOMPARE(langLookup("d"), QStringLiteral("4")); // no CR left in the value
    QCOMPARE(langLookup("zz"), QString());
}

void TestLangTable::msgCount_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("table");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("expected");

    const QString items = QStringLiteral("Messages.Items.1=%d item\nMessages.Items.n=%d items");
    QTest::newRow("US one") << "US" << items << qint64(1) << "1 item";
    QTest::newRow("US none takes the other form") << "US" << items << qint64(0) << "0 items";
    QTest::newRow("US several, grouped") << "US" << items << qint64(17043) << "17,043 items";
    QTest::newRow("US negative") << "US" << items << qint64(-1) << "-1 items";
    const QString elements =
        QStringLiteral("Messages.Items.1=%d \u00e9l\u00e9ment\nMessages.Items.n=%d \u00e9l\u00e9ments");
    QTest::newRow("FR one") << "FR" << elements << qint64(1) << "1 \u00e9l\u00e9ment";
    QTest::newRow("FR none is singular") << "FR" << elements << qint64(0) << "0 \u00e9l\u00e9ment";
    QTest::newRow("FR two") << "FR" << elements << qint64(2) << "2 \u00e9l\u00e9ments";
    QTest::newRow("FR grouped") << "FR" << elements << qint64(2841)
                                << QStringLiteral("2") + QLocale(QLocale::French).groupSeparator() +
                                       QStringLiteral("841 \u00e9l\u00e9ments");
    QTest::newRow("a form without number")
        << "US"
        << "Messages.Items.1=seen once\nMessages.Items.n=seen %d times" << qint64(1) << "seen once";
    QTest::newRow("the other form stands in") << "US"
                                              << "Messages.Items.n=%d items" << qint64(1) << "1 items";
    QTest::newRow("key case ignored, bar a line break") << "US"
                                                        << "messages.items.N=%d|items" << qint64(3) << "3\r\nitems";
    QTest::newRow("no row gives the key") << "US"
                                          << "Messages.Items=%d items" << qint64(3) << "Items";
    QTest::newRow("no table: English rule, the key") << ""
                                                     << "" << qint64(3) << "Items";
}

void TestLangTable::msgCount()
{
    QFETCH(QString, code);
    QFETCH(QString, table);
    QFETCH(qint64, count);
    QFETCH(QString, expected);
    LangTable::instance().setText(table, code);
    QCOMPARE(MsgCount(QStringLiteral("Items"), count), expected);
}

void TestLangTable::countedMessagesOfTheTables_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("US one item") << "US"
                                 << "NbElements" << qint64(1) << "1 item";
    QTest::newRow("US items") << "US"
                              << "NbElements" << qint64(2) << "2 items";
    QTest::newRow("US one minute") << "US"
                                   << "NbMinutes" << qint64(1) << "1 minute";
    QTest::newRow("US days") << "US"
                             << "NbJours" << qint64(2841) << "2,841 days";
    QTest::newRow("US seen once") << "US"
                                  << "SanteVu" << qint64(1) << "seen once";
    QTest::newRow("US seen") << "US"
                             << "SanteVu" << qint64(17043) << "seen 17,043 times";
    QTest::newRow("FR zero groups") << "FR"
                                    << "NbGroupes" << qint64(0) << "0 groupe";
    QTest::newRow("FR minutes") << "FR"
                                << "NbMinutes" << qint64(5) << "5 minutes";
}

void TestLangTable::countedMessagesOfTheTables()
{
    QFETCH(QString, code);
    QFETCH(QString, key);
    QFETCH(qint64, count);
    QFETCH(QString, expected);
    QVERIFY(LoadLangTable(code));
    QCOMPARE(MsgCount(key, count), expected);
}

// Every message of one table is in the other (but the four the French table lacks on purpose),
// and a counted message has both of its forms in each.
void TestLangTable::bothTablesHoldTheSameMessages()
{
    QHash<QString, QSet<QString>> keys;
    for (const QString& code : builtInLanguageCodes()) {
        QVERIFY(LoadLangTable(code));
        for (const LangTable::Line& line : LangTable::instance().snapshot()->entries)
            if (line.key.startsWith(QLatin1String("Messages.")))
                keys[code].insert(line.key);
    }
    for (const char* k : kEnglishOnly)
        keys["US"].remove(QStringLiteral("Messages.") + QString::fromUtf8(k));
    QStringList onlyFr = QStringList(keys["FR"].begin(), keys["FR"].end());
    onlyFr.removeIf([&](const QString& k) { return keys["US"].contains(k); });
    QStringList onlyUs = QStringList(keys["US"].begin(), keys["US"].end());
    onlyUs.removeIf([&](const QString& k) { return keys["FR"].contains(k); });
    QCOMPARE(onlyFr, QStringList());
    QCOMPARE(onlyUs, QStringList());
    for (const QString& key : std::as_const(keys["US"])) {
        if (key.endsWith(QLatin1String(".1")))
            QVERIFY2(keys["US"].contains(key.chopped(2) + QStringLiteral(".n")), qPrintable(key));
        if (key.endsWith(QLatin1String(".n")))
            QVERIFY2(keys["US"].contains(key.chopped(2) + QStringLiteral(".1")), qPrintable(key));
    }
}

// The message keys the code names literally (Msg, MsgCount) all have their rows: a key missing
// from a table would show the key itself to the user.
void TestLangTable::everyMessageTheCodeAsksForIsInBothTables()
{
    QStringList plain;
    QStringList counted;
    const QRegularExpression call(
        QStringLiteral(R"re((MsgCount|Msg)\((?:QStringLiteral|QLatin1String)\("([^"]+)"\))re"));
    QDirIterator files(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../src"), {QStringLiteral("*.cpp")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto it = call.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            (m.captured(1) == QLatin1String("MsgCount") ? counted : plain) << m.captured(2);
        }
    }
    QVERIFY(plain.size() > 50);
    QVERIFY(counted.contains(QStringLiteral("NbElements")));
    for (const QString& code : builtInLanguageCodes()) {
        QVERIFY(LoadLangTable(code));
        for (const QString& key : std::as_const(plain)) {
            const bool englishOnly = std::any_of(std::begin(kEnglishOnly), std::end(kEnglishOnly),
                                                 [&](const char* k) { return key == QLatin1String(k); });
            if (code == QLatin1String("FR") && englishOnly)
                continue;
            QVERIFY2(!langLookup(QStringLiteral("Messages.") + key).isEmpty(), qPrintable(code + ": " + key));
        }
        for (const QString& key : std::as_const(counted))
            for (const char* form : {".1", ".n"})
                QVERIFY2(!langLookup(QStringLiteral("Messages.") + key + QLatin1String(form)).isEmpty(),
                         qPrintable(code + ": " + key + QLatin1String(form)));
    }
}

void TestLangTable::extractField_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one field") << 1 << "abc"
                               << "abc";
    QTest::newRow("beyond a single field") << 2 << "abc"
                                           << "";
    QTest::newRow("first") << 1 << "a~b~c"
                           << "a";
    QTest::newRow("middle") << 2 << "a~b~c"
                            << "b";
    QTest::newRow("last") << 3 << "a~b~c"
                          << "c";
    QTest::newRow("beyond last") << 4 << "a~b~c"
                                 << "";
    QTest::newRow("adjacent tildes") << 3 << "Quitter~&Fichier~~Alt+F4"
                                     << "";
    QTest::newRow("after empty field") << 4 << "Quitter~&Fichier~~Alt+F4"
                                       << "Alt+F4";
    QTest::newRow("leading empty field") << 1 << "~hint"
                                         << "";
    QTest::newRow("after leading empty field") << 2 << "~hint"
                                               << "hint";
    QTest::newRow("trailing tilde") << 2 << "a~"
                                    << "";
    QTest::newRow("empty value") << 1 << ""
                                 << "";
    QTest::newRow("field zero") << 0 << "a~b"
                                << "";
}

void TestLangTable::extractField()
{
    QFETCH(int, n);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(ExtractField(n, value), expected);
}

void TestLangTable::builtInTablesLoadByCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("canonical");
    QTest::addColumn<QString>("yes");
    QTest::newRow("FR") << "FR"
                        << "FR"
                        << "Oui";
    QTest::newRow("US") << "US"
                        << "US"
                        << "Yes";
    QTest::newRow("fr, as a hand edit writes it") << "fr"
                                                  << "FR"
                                                  << "Oui";
    QTest::newRow("uS") << "uS"
                        << "US"
                        << "Yes";
}

void TestLangTable::builtInTablesLoadByCode()
{
    QFETCH(QString, code);
    QFETCH(QString, canonical);
    QFETCH(QString, yes);
    QString error = QStringLiteral("stale");
    QVERIFY(LoadLangTable(code, &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(currentLanguageCode(), canonical);
    QCOMPARE(Msg("Oui"), yes);
}

void TestLangTable::unknownCodeFailsAndEmpties()
{
    QVERIFY(LoadLangTable("US"));
    for (const QString& code : {QStringLiteral("DE"), QString(), QStringLiteral("FR "), QStringLiteral("../US")}) {
        QString error;
        QVERIFY2(!LoadLangTable(code, &error), qPrintable(code));
        QVERIFY(!error.isEmpty());
        QVERIFY2(error.contains(code), qPrintable(error));
        QVERIFY(LangTable::instance().isEmpty());
        QCOMPARE(currentLanguageCode(), QString());
        QCOMPARE(Msg("Oui"), QStringLiteral("Oui"));
        QVERIFY(builtInLangTableBytes(code).isEmpty());
    }
    QVERIFY(!LoadLangTable("DE")); // no error pointer: still fails cleanly
}

void TestLangTable::frenchLacksTheLastFourMessages()
{
    QVERIFY(LoadLangTable("FR"));
    for (const char* k : kEnglishOnly)
        QCOMPARE(Msg(QString::fromUtf8(k)), QString::fromUtf8(k));
    QVERIFY(LoadLangTable("US"));
    QCOMPARE(Msg("Sans titre"), QStringLiteral("Untitled"));
    QCOMPARE(Msg("Chemin"), QStringLiteral("Path"));
    QCOMPARE(Msg("Groupe"), QStringLiteral("Group"));
    QCOMPARE(Msg("Element"), QStringLiteral("Item"));
}

void TestLangTable::messageTexts_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("FR DeleteKey, two lines around an empty one")
        << "FR"
        << "DeleteKey"
        << "Ce groupe poss\u00e8de des sous-groupes ou des entr\u00e9es.\r\n\r\nVoulez-vous vraiment le supprimer ?";
    QTest::newRow("US DeleteKey") << "US"
                                  << "DeleteKey"
                                  << "This group isn't empty.\r\n\r\nDo you really want to delete it ?";
    QTest::newRow("FR Sauver quotes") << "FR"
                                      << "Sauver"
                                      << "Voulez-vous enregistrer \"%s\" ?";
    QTest::newRow("FR EmptyFilename") << "FR"
                                      << "EmptyFilename"
                                      << "Fichier \"%s\" introuvable.\r\nOp\u00e9ration abandonn\u00e9e.";
    QTest::newRow("US SBar") << "US"
                             << "SBar"
                             << "%d items and %d groups founded in %s file";
    QTest::newRow("FR DServer four spaces") << "FR"
                                            << "DServer"
                                            << "    Serveur";
    QTest::newRow("US DPass four spaces") << "US"
                                          << "DPass"
                                          << "    Password";
    QTest::newRow("FR LastCheck trailing space") << "FR"
                                                 << "LastCheck"
                                                 << "Derni\u00e8re v\u00e9rification : ";
    QTest::newRow("US LastCheck trailing space") << "US"
                                                 << "LastCheck"
                                                 << "Last check : ";
    QTest::newRow("FR local, lower case key") << "FR"
                                              << "local"
                                              << "en local";
    QTest::newRow("US local") << "US"
                              << "local"
                              << "local file";
    QTest::newRow("FR Wininet")
        << "FR"
        << "Wininet"
        << "Wininet.DLL non trouv\u00e9e...\r\n\r\nLes fonctions FTP sont d\u00e9sactiv\u00e9es";
    QTest::newRow("FR OfflineError")
        << "FR"
        << "OfflineError"
        << "Mode hors-connexion. D\u00e9sactivez le mode hors-connexion dans les options internet.";
    QTest::newRow("US IdleLock as given") << "US"
                                          << "IdleLock"
                                          << "Idle time reached, please enter agin your meta-password";
}

void TestLangTable::messageTexts()
{
    QFETCH(QString, code);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QVERIFY(LoadLangTable(code));
    QCOMPARE(Msg(key), expected);
}

void TestLangTable::tablesAreComplete_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("fields");
    for (const WindowKey& k : kWindowKeys)
        QTest::newRow(k.key) << QString::fromLatin1(k.key) << k.fields;
    for (const char* k : kMessageKeys)
        QTest::newRow(k) << QStringLiteral("Messages.") + QString::fromLatin1(k) << 0;
}

void TestLangTable::tablesAreComplete()
{
    QFETCH(QString, key);
    QFETCH(int, fields);
    QHash<QString, QString> values;
    for (const QString& code : builtInLanguageCodes()) {
        QVERIFY(LoadLangTable(code));
        const QString value = langLookup(key);
        QVERIFY2(!value.isEmpty(), qPrintable(code + ": " + key));
        values[code] = value;
        const int n = fieldCount(value);
        if (fields > 0)
            QVERIFY2(n == fields, qPrintable(code + ": " + value));
        else if (fields == 0 && !key.startsWith("Messages."))
            QVERIFY2(n == 1 || n == 2, qPrintable(code + ": " + value));
        if (fields == -1) {
            QVERIFY2(n == 3 || n == 4, qPrintable(code + ": " + value));
            QVERIFY2(!ExtractField(1, value).isEmpty(), qPrintable(code + ": " + value));
            QVERIFY2(!ExtractField(2, value).isEmpty(), qPrintable(code + ": " + value));
            if (n == 4) // a fourth field is always a shortcut that parses
                QVERIFY2(parseShortcutText(ExtractField(4, value)).key() != Qt::Key(0), qPrintable(value));
        }
    }
    // Both tables have the same shape: a command has a shortcut in both or in neither.
    QCOMPARE(fieldCount(values["FR"]), fieldCount(values["US"]));
    if (fields == -1)
        QCOMPARE(ExtractField(4, values["FR"]), ExtractField(4, values["US"]));
}

void TestLangTable::tellingRows_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("row");
    QTest::newRow("FR caption") << "FR"
                                << "frmTresorin=Tresorin - Sans titre";
    QTest::newRow("US caption") << "US"
                                << "frmTresorin=Tresorin - Untitled";
    QTest::newRow("FR list") << "FR"
                             << "frmTresorin.Liste=Nom~Login~Mot de passe~Adresse web~Double-clic pour \u00e9diter un "
                                "\u00e9l\u00e9ment. Naviguez avec Tab, ou Entr\u00e9e.";
    QTest::newRow("US list")
        << "US"
        << "frmTresorin.Liste=Name~Login~Password~Web~Double click to edit item. Change field with Tab or Enter.";
    QTest::newRow("FR open FTP")
        << "FR"
        << "frmTresorin.ActionOuvrirFTP=Ouvrir sur FTP...~&Fichier~Ouvrir un fichier depuis un serveur FTP~Maj+Ctrl+O";
    QTest::newRow("US open FTP")
        << "US"
        << "frmTresorin.ActionOuvrirFTP=Open on FTP Server...~&File~Open a file stored on a FTP Server~Maj+Ctrl+O";
    QTest::newRow("FR exit") << "FR"
                             << "frmTresorin.ActionQuitter=Quitter~&Fichier~~Alt+F4";
    QTest::newRow("FR hide button") << "FR"
                                    << "frmTresorin.CacherBtn=~Cliquer pour cacher ou afficher le panneau";
    QTest::newRow("FR file field") << "FR"
                                   << "BoiteFTP.Fichier=~Nom du fichier avec le chemin";
    QTest::newRow("FR auto sync")
        << "FR"
        << "BoiteOptions.CBAutoSync=Synchronisation automatique~En cas de synchronisation FTP, "
           "ouvrir automatiquement le fichier le plus r\u00e9cent, sans confirmation";
    QTest::newRow("FR properties list") << "FR"
                                        << "BoiteInfo.ListeInfo=Propri\u00e9t\u00e9~En local~Sur FTP";
}

void TestLangTable::tellingRows()
{
    QFETCH(QString, code);
    QFETCH(QString, row);
    QVERIFY(LoadLangTable(code));
    QVERIFY2(LangTable::instance().snapshot()->lines.contains(row), qPrintable(row));
}

void TestLangTable::generatorTexts_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("caption"); // field 1 of the row
    const QList<std::pair<const char*, const char*>> english = {
        {"frmGenerateur", "Password generator"},
        {"frmGenerateur.GroupBox1", " Allowed characters"},
        {"frmGenerateur.cbMaj", "Capital letters"},
        {"frmGenerateur.cbMin", "Small letters"},
        {"frmGenerateur.cbAcc", "Accented characters"},
        {"frmGenerateur.cbSpe", "Special characters"},
        {"frmGenerateur.cbNum", "Digits"},
        {"frmGenerateur.cbPerso", "Custom :"},
        {"frmGenerateur.Label1", "Preview :"},
        {"frmGenerateur.Label2", "Length :"},
        {"frmGenerateur.cb1lettre", "Always use a letter as first character"},
        {"frmGenerateur.btnGenerer", "Generate"},
        {"frmGenerateur.Label3", "Result :"},
        {"frmGenerateur.Label4", "Strength :"},
        {"frmGenerateur.btnOK", "OK"},
        {"frmGenerateur.btnAnnuler", "Cancel"},
    };
    for (const auto& [key, caption] : english)
        QTest::addRow("US %s", key) << "US" << key << caption;
    const QList<std::pair<const char*, QString>> french = {
        {"frmGenerateur", QStringLiteral("G\u00e9n\u00e9ration de mot de passe")},
        {"frmGenerateur.GroupBox1", QStringLiteral(" Caract\u00e8res autoris\u00e9s ")},
        {"frmGenerateur.cbMaj", QStringLiteral("Lettres majuscules")},
        {"frmGenerateur.cbMin", QStringLiteral("Lettres minuscules")},
        {"frmGenerateur.cbAcc", QStringLiteral("Caract\u00e8res accentu\u00e9s")},
        {"frmGenerateur.cbSpe", QStringLiteral("Caract\u00e8res sp\u00e9ciaux")},
        {"frmGenerateur.cbNum", QStringLiteral("Chiffres")},
        {"frmGenerateur.cbPerso", QStringLiteral("Personnalis\u00e9s :")},
        {"frmGenerateur.Label1", QStringLiteral("Aper\u00e7u :")},
        {"frmGenerateur.btnGenerer", QStringLiteral("G\u00e9n\u00e9rer")},
        {"frmGenerateur.cb1lettre", QStringLiteral("Forcer une lettre comme premier caract\u00e8re")},
    };
    for (const auto& [key, caption] : french)
        QTest::addRow("FR %s", key) << "FR" << key << caption;
}

void TestLangTable::generatorTexts()
{
    QFETCH(QString, code);
    QFETCH(QString, key);
    QFETCH(QString, caption);
    QVERIFY(LoadLangTable(code));
    QCOMPARE(ExtractField(1, langLookup(key)), caption);
}

void TestLangTable::menuTitlesOfCommands()
{
    // The first command of each menu gives the menu its title.
    const QList<std::pair<const char*, QStringList>> firsts = {
        {"ActionNouveau", {"&Fichier", "&File"}}, {"ActionChangeMeta", {"&Edition", "&Edit"}},
        {"ActionNewGrp", {"&Groupe", "&Group"}},  {"ActionNewEntree", {"E&lement", "&Item"}},
        {"ActionHidePwd", {"&Outils", "&Tools"}}, {"ActionMajWeb", {"&?", "&?"}},
    };
    for (int lang = 0; lang < 2; ++lang) {
        QVERIFY(LoadLangTable(lang == 0 ? "FR" : "US"));
        for (const auto& [action, titles] : firsts)
            QCOMPARE(ExtractField(2, langLookup(QStringLiteral("frmTresorin.") + action)), titles[lang]);
        // Every command of a menu names the same title as the menu's first command.
        QCOMPARE(ExtractField(2, langLookup("frmTresorin.ActionQuitter")), firsts[0].second[lang]);
        QCOMPARE(ExtractField(2, langLookup("frmTresorin.ActionSetFTP")), firsts[3].second[lang]);
        QCOMPARE(ExtractField(2, langLookup("frmTresorin.ActionSupport")), firsts[5].second[lang]);
    }
}

void TestLangTable::resourceBytesAreWindows1252WithCrLf_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("endsWithEmptyLine");
    QTest::newRow("FR") << "FR" << true;
    QTest::newRow("US") << "US" << false;
}

void TestLangTable::resourceBytesAreWindows1252WithCrLf()
{
    QFETCH(QString, code);
    QFETCH(bool, endsWithEmptyLine);
    const QByteArray bytes = builtInLangTableBytes(code);
    QVERIFY(bytes.size() > 1000);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n')
            QVERIFY2(i > 0 && bytes[i - 1] == '\r', qPrintable(QString("lone LF at %1").arg(i)));
        if (bytes[i] == '\r')
            QVERIFY2(i + 1 < bytes.size() && bytes[i + 1] == '\n', qPrintable(QString("lone CR at %1").arg(i)));
    }
    QCOMPARE(bytes.endsWith("\r\n"), endsWithEmptyLine);
    // Not UTF-8: "é" is the single byte 0xE9.
    if (code == "FR") {
        QVERIFY(bytes.contains("Propri\xe9t\xe9~En local~Sur FTP"));
        QVERIFY(!bytes.contains("\xc3\xa9"));
    }
    QCOMPARE(win1252::fromUnicode(win1252::toUnicode(bytes)), bytes); // every character is storable
}

void TestLangTable::chooseLanguage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("langue");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");

    const QStringList none;
    QTest::newRow("switch /FR") << QStringList{"/FR"} << "US"
                                << "en_US"
                                << "FR";
    QTest::newRow("switch -fr") << QStringList{"-fr"} << ""
                                << "en_US"
                                << "FR";
    QTest::newRow("switch /us on French system") << QStringList{"/us"} << ""
                                                 << "fr_FR"
                                                 << "US";
    QTest::newRow("switch -US beats Langue") << QStringList{"-US"} << "FR"
                                             << "fr_FR"
                                             << "US";
    QTest::newRow("FR switch beats a US switch before it") << QStringList{"/US", "/FR"} << ""
                                                           << "en_US"
                                                           << "FR";
    QTest::newRow("program path first") << QStringList{"/usr/bin/tresorin", "-FR"} << ""
                                        << "en_US"
                                        << "FR";
    QTest::newRow("document path is no switch") << QStringList{"/home/a/FR"} << ""
                                                << "en_US"
                                                << "US";
    QTest::newRow("FR without prefix is no switch") << QStringList{"FR"} << ""
                                                    << "en_US"
                                                    << "US";
    QTest::newRow("longer argument is no switch") << QStringList{"/FRA"} << ""
                                                  << "en_US"
                                                  << "US";
    QTest::newRow("other prefix is no switch") << QStringList{"+FR"} << ""
                                               << "en_US"
                                               << "US";
    QTest::newRow("Langue US on French system") << none << "US"
                                                << "fr_FR"
                                                << "US";
    QTest::newRow("Langue FR on English system") << none << "FR"
                                                 << "en_GB"
                                                 << "FR";
    QTest::newRow("Langue kept as written") << none << "fr"
                                            << "en_US"
                                            << "fr";
    QTest::newRow("Langue naming no table") << none << "DE"
                                            << "fr_FR"
                                            << "DE";
    QTest::newRow("blank Langue is automatic") << none << "  "
                                               << "fr_FR"
                                               << "FR";
    QTest::newRow("French locale") << none << ""
                                   << "fr_FR"
                                   << "FR";
    QTest::newRow("Canadian French locale") << none << ""
                                            << "fr_CA"
                                            << "FR";
    QTest::newRow("Swiss French locale") << none << ""
                                         << "fr_CH"
                                         << "FR";
    QTest::newRow("English locale") << none << ""
                                    << "en_US"
                                    << "US";
    QTest::newRow("German locale") << none << ""
                                   << "de_DE"
                                   << "US";
    QTest::newRow("C locale") << none << ""
                              << "C"
                              << "US";
}

void TestLangTable::chooseLanguage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, langue);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    QCOMPARE(ChooseLanguage(args, langue, QLocale(locale)), expected);
}

void TestLangTable::shortcutParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("combination");

    QTest::newRow("Ctrl+N") << "Ctrl+N" << (Qt::CTRL | Qt::Key_N).toCombined();
    QTest::newRow("Maj+Ctrl+O") << "Maj+Ctrl+O" << (Qt::SHIFT | Qt::CTRL | Qt::Key_O).toCombined();
    QTest::newRow("order free") << "Ctrl+Maj+O" << (Qt::SHIFT | Qt::CTRL | Qt::Key_O).toCombined();
    QTest::newRow("caret is Ctrl") << "^S" << (Qt::CTRL | Qt::Key_S).toCombined();
    QTest::newRow("case ignored") << "mAJ+cTRL+alt+x" << (Qt::SHIFT | Qt::CTRL | Qt::ALT | Qt::Key_X).toCombined();
    QTest::newRow("Alt+F4") << "Alt+F4" << (Qt::ALT | Qt::Key_F4).toCombined();
    QTest::newRow("F12") << "F12" << QKeyCombination(Qt::Key_F12).toCombined();
    QTest::newRow("F24") << "F24" << QKeyCombination(Qt::Key_F24).toCombined();
    QTest::newRow("digit") << "Ctrl+7" << (Qt::CTRL | Qt::Key_7).toCombined();
    QTest::newRow("Ins") << "Ins" << QKeyCombination(Qt::Key_Insert).toCombined();
    QTest::newRow("Suppr") << "Maj+Suppr" << (Qt::SHIFT | Qt::Key_Delete).toCombined();
    QTest::newRow("RetArr") << "Alt+RetArr" << (Qt::ALT | Qt::Key_Backspace).toCombined();
    QTest::newRow("Entrée upper case") << "ENTR\u00c9E" << QKeyCombination(Qt::Key_Return).toCombined();
    QTest::newRow("PagePréc") << "pagepr\u00e9c" << QKeyCombination(Qt::Key_PageUp).toCombined();
    QTest::newRow("PageSuiv") << "PageSuiv" << QKeyCombination(Qt::Key_PageDown).toCombined();
    QTest::newRow("Echap") << "Echap" << QKeyCombination(Qt::Key_Escape).toCombined();
    QTest::newRow("Espace") << "Ctrl+Espace" << (Qt::CTRL | Qt::Key_Space).toCombined();
    QTest::newRow("arrows") << "Gauche" << QKeyCombination(Qt::Key_Left).toCombined();
    QTest::newRow("Origine") << "Origine" << QKeyCombination(Qt::Key_Home).toCombined();
    QTest::newRow("Fin") << "Fin" << QKeyCombination(Qt::Key_End).toCombined();
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("sentence") << "Ouvrir un fichier" << 0;
    QTest::newRow("English modifier name") << "Shift+Ctrl+O" << 0;
    QTest::newRow("modifier alone") << "Ctrl+" << 0;
    QTest::newRow("caret alone") << "^" << 0;
    QTest::newRow("F25") << "F25" << 0;
    QTest::newRow("F0") << "F0" << 0;
    QTest::newRow("F01") << "F01" << 0;
    QTest::newRow("two keys") << "Ctrl+AB" << 0;
    QTest::newRow("spaces") << "Ctrl + S" << 0;
    QTest::newRow("symbol") << "Ctrl+*" << 0;
}

void TestLangTable::shortcutParse()
{
    QFETCH(QString, text);
    QFETCH(int, combination);
    QCOMPARE(parseShortcutText(text).toCombined(), combination);
}

void TestLangTable::shortcutFormatRoundTrip()
{
    QCOMPARE(shortcutText(Qt::CTRL | Qt::SHIFT | Qt::Key_O), QStringLiteral("Maj+Ctrl+O"));
    QCOMPARE(shortcutText(Qt::ALT | Qt::CTRL | Qt::SHIFT | Qt::Key_F2), QStringLiteral("Maj+Ctrl+Alt+F2"));
    QCOMPARE(shortcutText(QKeyCombination(Qt::Key_Insert)), QStringLiteral("Ins"));
    QCOMPARE(shortcutText(QKeyCombination(Qt::Key_PageUp)), QString::fromUtf8("PagePr\u00e9c"));
    QCOMPARE(shortcutText(Qt::CTRL | Qt::Key_Asterisk), QString());
    QCOMPARE(shortcutText(Qt::META | Qt::Key_A), QString());
    QCOMPARE(shortcutText(QKeyCombination()), QString());
    QCOMPARE(shortcutText(QKeyCombination::fromCombined(0)), QString());
    // Every key the syntax names comes back as the same key.
    QList<Qt::Key> keys = {Qt::Key_Backspace, Qt::Key_Tab,      Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space,
                           Qt::Key_PageUp,    Qt::Key_PageDown, Qt::Key_End,    Qt::Key_Home,   Qt::Key_Left,
                           Qt::Key_Up,        Qt::Key_Right,    Qt::Key_Down,   Qt::Key_Insert, Qt::Key_Delete};
    for (int k = Qt::Key_A; k <= Qt::Key_Z; ++k)
        keys << Qt::Key(k);
    for (int k = Qt::Key_0; k <= Qt::Key_9; ++k)
        keys << Qt::Key(k);
    for (int k = Qt::Key_F1; k <= Qt::Key_F24; ++k)
        keys << Qt::Key(k);
    for (Qt::Key key : keys) {
        const QKeyCombination c(Qt::ShiftModifier | Qt::AltModifier, key);
        const QString text = shortcutText(c);
        QVERIFY2(!text.isEmpty(), qPrintable(QString::number(key, 16)));
        QCOMPARE(parseShortcutText(text), c);
    }
}

void TestLangTable::readersDuringReloads()
{
    // Workers read messages while the UI thread switches languages; every read must see a
    // whole table (one of the two texts) or an empty one (the key).
    const QStringList allowed = {QStringLiteral("en local"), QStringLiteral("local file"), QStringLiteral("Local")};
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const QString local = Msg(QStringLiteral("Local"));
                if (!allowed.contains(local))
                    ++bad;
                // A snapshot never mixes the two tables.
                const auto snap = LangTable::instance().snapshot();
                const QString yes = snap->firstValues.value(QStringLiteral("messages.oui"));
                const QString no = snap->firstValues.value(QStringLiteral("messages.non"));
                if (!((yes == "Oui" && no == "Non") || (yes == "Yes" && no == "No") || (yes.isEmpty() && no.isEmpty())))
                    ++bad;
                ++reads;
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        QVERIFY(LoadLangTable(i % 2 ? "FR" : "US"));
        if (i % 7 == 0)
            clearLangTable();
    }
    stop = true;
    for (auto& t : readers)
        t.join();
    QCOMPARE(bad.load(), 0);
    QVERIFY(reads.load() > 0);
}

QTEST_GUILESS_MAIN(TestLangTable)
#include "tst_langtable.moc"
