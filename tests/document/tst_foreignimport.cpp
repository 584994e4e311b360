// Imports from other managers and browsers, and the exports for KeePassXC: every reader on a small
// fixture of its format (tests/data/foreign), malformed and hostile files refused with their place,
// characters a document cannot hold, the placement of an import in a document, and the writers
// read back by our own reader.
#include "crypto/OneTimeCode.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentJson.h"
#include "document/ForeignExport.h"
#include "document/ForeignImport.h"

#include <QFile>
#include <QStringEncoder>
#include <QtTest>

using namespace foreign;

namespace {

QByteArray fixture(const QString& name)
{
    QFile f(QStringLiteral(TRESORIN_TEST_DATA "/foreign/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One line per entry: "group path|name|login|password|web address|notes", notes with \n shown as ⏎.
QStringList describe(const ImportedData& data)
{
    QStringList out;
    for (size_t i = 0; i < data.entries.size(); ++i) {
        const TFeuille& e = *data.entries[i];
        QString notes = e.Notes;
        notes.replace(QLatin1String("\r\n"), QStringLiteral("⏎"));
        out << QStringList{data.groupPath(data.entryGroup[i]), e.Name, e.Login, e.Password, e.WebAddress, notes}.join(
            QLatin1Char('|'));
    }
    return out;
}

QStringList groupPaths(const ImportedData& data)
{
    QStringList out;
    for (size_t g = 0; g < data.groups.size(); ++g)
        out << data.groupPath(int(g));
    return out;
}

DateTime utc(int y, int m, int d, int h, int min, int s = 0, int ms = 0)
{
    return datetime::fromQDateTime(QDateTime(QDate(y, m, d), QTime(h, min, s, ms), Qt::UTC));
}

// The same description for a document's entries.
QStringList describe(const DocumentState& doc)
{
    QStringList out;
    for (const auto& e : doc.Entries()) {
        QStringList path;
        for (const TGroupe* g = doc.findGroup(e->Group); g; g = g->Parent)
            path.prepend(g->Name);
        QString notes = e->Notes;
        notes.replace(QLatin1String("\r\n"), QStringLiteral("⏎"));
        out << QStringList{path.join(QLatin1Char('/')), e->Name, e->Login, e->Password, e->WebAddress, notes}.join(
            QLatin1Char('|'));
    }
    return out;
}

} // namespace

class TestForeignImport : public QObject
{
    Q_OBJECT
private slots:
    void detectFormat_data();
    void detectFormat();
    void keepassXml();
    void readers_data();
    void readers();
    void csvLinesAndDates();
    void bitwardenDetails();
    void refused_data();
    void refused();
    void entitiesAreNeverExpanded();
    void unstorableCharacters();
    void placementInADocument();
    void sourceRootIsDropped_data();
    void sourceRootIsDropped();
    void ourJsonKeepsNoFtpMark();
    void splitTotpLine_data();
    void splitTotpLine();
    void importerCases_data();
    void importerCases();
    void csvExport();
    void csvFormulasAreGuarded_data();
    void csvFormulasAreGuarded();
    void exportReadBack_data();
    void exportReadBack();
    void xmlExportLeavesOutWhatXmlCannotCarry();
};

void TestForeignImport::detectFormat_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    QTest::newRow("xml") << QByteArray("<?xml version=\"1.0\"?><KeePassFile/>") << int(Format::KeePassXml);
    QTest::newRow("xml after bom and spaces")
        << QByteArray("\xEF\xBB\xBF \r\n<KeePassFile/>") << int(Format::KeePassXml);
    QTest::newRow("bitwarden") << QByteArray("{\n  \"encrypted\": false, \"items\": []}") << int(Format::BitwardenJson);
    QTest::newRow("bitwarden items first") << QByteArray("{\"items\": []}") << int(Format::BitwardenJson);
    QTest::newRow("ours") << QByteArray("{\n    \"header\": {}}") << int(Format::Json);
    QTest::newRow("ours, groups first") << QByteArray("{\"groups\": []}") << int(Format::Json);
    QTest::newRow("csv") << QByteArray("name,url,username,password\n") << int(Format::Csv);
    QTest::newRow("csv quoted") << QByteArray("\"Group\",\"Title\"") << int(Format::Csv);
}

void TestForeignImport::detectFormat()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QCOMPARE(int(foreign::detectFormat(bytes)), format);
}

void TestForeignImport::keepassXml()
{
    ImportedData data;
    ImportError error;
    QVERIFY2(readKeePassXml(fixture(QStringLiteral("keepassxc.xml")), QStringLiteral("Item"), data, error),
             qPrintable(error.text()));
    // The recycle bin goes with its subgroup and entries; the history's older versions are not entries.
    QCOMPARE(groupPaths(data), (QStringList{"Passwords", "Passwords/Mail", "Passwords/Mail/Work"}));
    QCOMPARE(describe(data), (QStringList{
                                 "Passwords|Bank é|zoé|p&ss \"quoted\", <tag>|https://bank.example.org|line 1⏎line 2",
                                 "Passwords/Mail/Work|Webmail|me@example.org|s3cret||PIN: 1234⏎Tags: work;mail⏎TOTP: "
                                 "otpauth://totp/Webmail:me?secret=JBSWY3DPEHPK3PXP&period=30&digits=6&issuer=Webmail",
                                 "Passwords/Mail|mail.example.com||no title|https://mail.example.com/login|TOTP: "
                                 "otpauth://totp/mail.example.com?secret=GEZDGNBVGY3TQOJQ&digits=8&algorithm=SHA256",
                             }));
    QCOMPARE(data.entries[0]->Created, utc(2024, 1, 15, 8, 0));
    QCOMPARE(data.entries[0]->ModifiedAt, utc(2024, 3, 2, 10, 30));
    QCOMPARE(data.entries[1]->Created, 0.0); // no <Times>: not recorded
    QCOMPARE(data.entryLine[0], 12);         // the line of its <Entry>
    // The TOTP line gives the entry its one-time code, with the parameters of each layout.
    QVERIFY(!otp::FindInNotes(data.entries[0]->Notes));
    const std::optional<otp::Parameters> webmail = otp::FindInNotes(data.entries[1]->Notes);
    QVERIFY(webmail);
    QCOMPARE(otp::Totp(*webmail, 59).size(), 6);
    const std::optional<otp::Parameters> mail = otp::FindInNotes(data.entries[2]->Notes);
    QVERIFY(mail);
    QCOMPARE(mail->digits, 8);
    QCOMPARE(mail->algorithm, otp::Algorithm::Sha256);
}

void TestForeignImport::readers_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("KeePassXC CSV") << "keepassxc.csv"
                                   << QStringList{"Passwords", "Passwords/Mail", "Passwords/Mail/Work"}
                                   << QStringList{
                                          "Passwords|Bank é|zoé|p\"ss, x|https://bank.example.org|line 1⏎line 2",
                                          "Passwords/Mail/Work|Webmail|me@example.org|s3cret||TOTP: "
                                          "otpauth://totp/Webmail:me?secret=JBSWY3DPEHPK3PXP",
                                          "Passwords/Mail|mail.example.com||no title|https://mail.example.com/login|",
                                      };
    QTest::newRow("Chrome CSV") << "chrome.csv" << QStringList()
                                << QStringList{
                                       "|Forum|alice|pa,ss|https://forum.example.net/|said \"hi\"⏎twice",
                                       "|shop.example.com|bob|hunter2|https://shop.example.com/cart|",
                                   };
    QTest::newRow("Firefox CSV")
        << "firefox.csv" << QStringList()
        << QStringList{
               "|accounts.example.com|carol|Passw0rd!|https://accounts.example.com|",
               "|intranet.example.com|dave|pw|https://intranet.example.com|httpRealm: Intranet "
               "Realm",
           };
    QTest::newRow("Bitwarden CSV") << "bitwarden.csv" << QStringList{"Social", "Social/Friends"}
                                   << QStringList{
                                          "Social/Friends|Chat|erin|chat-pw|https://chat.example.org|Notes, with "
                                          "comma⏎PIN: 0000⏎Colour: blue⏎TOTP: "
                                          "otpauth://totp/Chat?secret=JBSWY3DPEHPK3PXP",
                                          "|Wifi code||||door 4411",
                                      };
    QTest::newRow("LastPass CSV") << "lastpass.csv" << QStringList{"Finance", "Finance/Banks", "Home"}
                                  << QStringList{
                                         "Finance/Banks|Banque|frank|b4nk|https://bank.example.fr|Branch: Paris",
                                         "Home|Home wifi||||Wifi: guest⏎Key: 1234",
                                     };
    QTest::newRow("Bitwarden JSON") << "bitwarden.json" << QStringList{"Work", "Work/Servers"}
                                    << QStringList{
                                           "Work/Servers|Router|admin|r0uter|https://10.0.0.1|rack 3⏎slot 2⏎URL: "
                                           "ssh://10.0.0.1⏎Serial: SN-42⏎TOTP: otpauth://totp/Router?secret=ABC",
                                           "|Alarm code||||4711",
                                           "Work|Visa||||brand: Visa⏎cardholderName: Gina⏎code: 123⏎expMonth: "
                                           "12⏎expYear: 2030⏎number: 4111111111111111",
                                       };
}

void TestForeignImport::readers()
{
    QFETCH(QString, file);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, entries);
    const QByteArray bytes = fixture(file);
    QVERIFY(!bytes.isEmpty());
    ImportedData data;
    ImportError error;
    QVERIFY2(readForeign(bytes, foreign::detectFormat(bytes), QStringLiteral("Item"), data, error),
             qPrintable(error.text()));
    QCOMPARE(groupPaths(data), groups);
    QCOMPARE(describe(data), entries);
}

void TestForeignImport::csvLinesAndDates()
{
    ImportedData data;
    ImportError error;
    QVERIFY(readCsv(fixture(QStringLiteral("keepassxc.csv")), QString(), data, error));
    // A record that spans two lines moves the next one down.
    QCOMPARE(data.entryLine, (std::vector<qint64>{2, 4, 5}));
    QCOMPARE(data.entries[0]->ModifiedAt, utc(2024, 3, 2, 10, 30));
    QCOMPARE(data.entries[0]->Created, utc(2024, 1, 15, 8, 0));
    QCOMPARE(data.entries[1]->Created, 0.0);

    QVERIFY(readCsv(fixture(QStringLiteral("firefox.csv")), QString(), data, error));
    QCOMPARE(data.entries[0]->Created, datetime::fromQDateTime(QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC)));
    QCOMPARE(data.entries[0]->ModifiedAt,
             datetime::fromQDateTime(QDateTime::fromMSecsSinceEpoch(1700001000000, Qt::UTC)));

    // Spreadsheets of some locales separate with semicolons; empty lines are no entries.
    QVERIFY(readCsv("name;url;username;password\r\n\r\nA;;u;\"p;w\"\r\n", QString(), data, error));
    QCOMPARE(describe(data), QStringList{"|A|u|p;w||"});
}

void TestForeignImport::bitwardenDetails()
{
    ImportedData data;
    ImportError error;
    QVERIFY(readBitwardenJson(fixture(QStringLiteral("bitwarden.json")), QString(), data, error));
    QCOMPARE(data.entries[0]->Created, utc(2023, 5, 1, 12, 0));
    QCOMPARE(data.entries[0]->ModifiedAt, utc(2023, 6, 1, 12, 30, 0, 123));
    QCOMPARE(data.entries[1]->Created, 0.0);
}

void TestForeignImport::refused_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error"); // the start of ImportError::text()

    const QByteArray entry = "<KeePassFile><Root><Group><Name>G</Name><Entry>";
    QTest::newRow("xml truncated") << int(Format::KeePassXml) << entry + "<String><Key>Title</Key><Val"
                                   << "line 1, column 76: Premature end of document";
    QTest::newRow("xml billion laughs")
        << int(Format::KeePassXml)
        << QByteArray(
               "<?xml version=\"1.0\"?>\n<!DOCTYPE KeePassFile [\n <!ENTITY a \"aaaaaaaaaa\">\n"
               " <!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n <!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
               "]>\n<KeePassFile><Root><Group><Name>&c;</Name></Group></Root></KeePassFile>")
        << "line 6, column 3: a document type declaration (DTD) is not accepted";
    QTest::newRow("xml external entity")
        << int(Format::KeePassXml)
        << QByteArray(
               "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><KeePassFile><Root>&e;</Root></KeePassFile>")
        << "line 1, column";
    QTest::newRow("xml undeclared entity") << int(Format::KeePassXml)
                                           << entry + "<String><Key>Title</Key><Value>&e;</Value></String></Entry>"
                                                      "</Group></Root></KeePassFile>"
                                           << "line 1, column";
    QTest::newRow("xml enciphered value")
        << int(Format::KeePassXml)
        << entry + "\n<String><Key>Password</Key><Value Protected=\"True\">c2VjcmV0</Value></String>"
        << "line 2, column 52: this value is enciphered";
    QTest::newRow("xml other document") << int(Format::KeePassXml) << QByteArray("<html><body/></html>")
                                        << "line 1, column 7: the document element is <html>";
    QTest::newRow("xml without root") << int(Format::KeePassXml) << QByteArray("<KeePassFile><Meta/></KeePassFile>")
                                      << "line 1, column 35: no <Root> element";
    QTest::newRow("xml bad date") << int(Format::KeePassXml)
                                  << entry + "<Times><CreationTime>yesterday</CreationTime></Times></Entry>"
                                  << "line 1, column 93: \"yesterday\" is not a date";
    QTest::newRow("xml huge field") << int(Format::KeePassXml)
                                    << entry + "<String><Key>Notes</Key><Value>" + QByteArray(kMaxFieldChars + 1, 'x') +
                                           "</Value></String></Entry></Group></Root></KeePassFile>"
                                    << "line 1, column";
    QByteArray deep = "<KeePassFile><Root>";
    for (int i = 0; i <= kMaxGroupDepth; ++i)
        deep += "<Group>";
    QTest::newRow("xml nested too deep") << int(Format::KeePassXml) << deep << "line 1, column";

    QTest::newRow("csv quote not closed") << int(Format::Csv) << QByteArray("name,url,password\nA,\"http://x,pw\n")
                                          << "line 2, column 3: the quoted field that starts here is not closed";
    QTest::newRow("csv text after quote") << int(Format::Csv) << QByteArray("name,url,password\nA,\"x\"y,pw\n")
                                          << "line 2, column 6: text after the closing quote";
    QTest::newRow("csv short row") << int(Format::Csv) << QByteArray("name,url,password\nA,B,C\nD,E\n")
                                   << "line 3: 2 fields where the header line has 3";
    QTest::newRow("csv not utf-8") << int(Format::Csv) << QByteArray("name,url,password\nA,B,C\nJos\xE9,B,C\n")
                                   << "line 3: not UTF-8 text";
    QTest::newRow("csv no password column")
        << int(Format::Csv) << QByteArray("a,b,c\n1,2,3\n") << "line 1: the first line names no \"password\" column";
    QTest::newRow("csv empty") << int(Format::Csv) << QByteArray() << "the file is empty";
    QTest::newRow("csv huge field") << int(Format::Csv)
                                    << "name,password\nA,\"" + QByteArray(kMaxFieldChars + 1, 'x') + "\"\n"
                                    << "line 2, column 3: a field of more than";
    QTest::newRow("csv bad date") << int(Format::Csv) << QByteArray("title,password,created\nA,p,soon\n")
                                  << "line 2, column 5: \"soon\" is not a date";

    QTest::newRow("bitwarden syntax") << int(Format::BitwardenJson)
                                      << QByteArray("{\"items\": [\n  {\"name\": \"a\",}\n]}") << "line 2, column 17: ";
    QTest::newRow("bitwarden truncated") << int(Format::BitwardenJson) << QByteArray("{\"items\": [{\"name\": \"a\"")
                                         << "line 1, column";
    QTest::newRow("bitwarden encrypted") << int(Format::BitwardenJson)
                                         << QByteArray("{\"encrypted\": true, \"items\": []}")
                                         << "encrypted: this Bitwarden export is encrypted";
    QTest::newRow("bitwarden wrong type")
        << int(Format::BitwardenJson) << QByteArray("{\"items\": [{\"name\": \"a\", \"login\": {\"password\": 7}}]}")
        << "items[0].login.password: expected a string";
    QTest::newRow("bitwarden no items") << int(Format::BitwardenJson) << QByteArray("{\"folders\": []}")
                                        << "items: no array of items";
}

void TestForeignImport::refused()
{
    QFETCH(int, format);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    ImportedData data;
    ImportError fault;
    QVERIFY(!readForeign(bytes, Format(format), QString(), data, fault));
    QVERIFY2(fault.text().startsWith(error), qPrintable(fault.text()));
    QVERIFY(data.entries.empty());
    QVERIFY(data.groups.empty());
}

void TestForeignImport::entitiesAreNeverExpanded()
{
    // The five predefined entities and character references are text, not expansion.
    ImportedData data;
    ImportError error;
    QVERIFY(readKeePassXml("<KeePassFile><Root><Group><Name>&lt;&#233;&#x20AC;&gt;</Name></Group></Root></KeePassFile>",
                           QString(), data, error));
    QCOMPARE(data.groups[0].name, QStringLiteral("<é€>"));
}

void TestForeignImport::unstorableCharacters()
{
    const QByteArray csv = "group,name,username,password,notes\n"
                           "Caf\xC3\xA9 \xE2\x98\x95,Snow \xE2\x98\x83,ok,p\xE2\x98\x83\xF0\x9F\x98\x80,fine\n"
                           "G,Plain,\xCF\x80,pw,\xE2\x82\xAC stays\n";
    ImportedData data;
    ImportError error;
    QVERIFY(readCsv(csv, QString(), data, error));
    std::vector<Unstorable> found = findUnstorable(data, false);
    QStringList lines;
    for (const Unstorable& u : found)
        lines << describe(u, false);
    // A password's characters are counted, never shown; € is in the code page and stays.
    QCOMPARE(lines, (QStringList{
                        "group \"Café ☕\", name: 1 character (☕)",
                        "line 2, entry \"Café ☕/Snow ☃\", name: 1 character (☃)",
                        "line 2, entry \"Café ☕/Snow ☃\", password: 2 characters",
                        "line 3, entry \"G/Plain\", login: 1 character (π)",
                    }));
    QCOMPARE(data.entries[0]->Password, QStringLiteral("p☃😀")); // nothing changed without replace

    found = findUnstorable(data, true);
    QCOMPARE(found.size(), size_t(4));
    QCOMPARE(describe(found[2], true),
             QStringLiteral("line 2, entry \"Café ☕/Snow ☃\", password: 2 characters replaced "
                            "by \"?\""));
    QCOMPARE(data.groups[0].name, QStringLiteral("Café ?"));
    QCOMPARE(data.entries[0]->Name, QStringLiteral("Snow ?"));
    QCOMPARE(data.entries[0]->Password, QStringLiteral("p??"));
    QCOMPARE(data.entries[1]->Login, QStringLiteral("?"));
    QCOMPARE(data.entries[1]->Notes, QStringLiteral("€ stays"));
    QVERIFY(findUnstorable(data, false).empty());
}

void TestForeignImport::placementInADocument()
{
    DocumentState doc;
    TGroupe* mine = doc.addGroup(QStringLiteral("Mine"));
    doc.appendEntry(NewEntry(mine, QStringLiteral("kept")));
    doc.setFtpEntry(0);
    doc.SetModified(false);

    // The window's way: everything under one group named after the file.
    ImportedData data;
    ImportError error;
    QVERIFY(readCsv(fixture(QStringLiteral("bitwarden.csv")), QString(), data, error));
    nestUnder(data, QStringLiteral("bitwarden.csv"));
    ImportSummary s = addImported(data, doc, nullptr, QString());
    QCOMPARE(s.groups, 3);
    QCOMPARE(s.entries, 2);
    QVERIFY(data.entries.empty());
    QCOMPARE(s.top->Name, QStringLiteral("bitwarden.csv"));
    QCOMPARE(describe(doc),
             (QStringList{"Mine|kept||||",
                          "bitwarden.csv/Social/Friends|Chat|erin|chat-pw|https://chat.example.org|Notes, "
                          "with comma⏎PIN: 0000⏎Colour: blue⏎TOTP: "
                          "otpauth://totp/Chat?secret=JBSWY3DPEHPK3PXP",
                          "bitwarden.csv|Wifi code||||door 4411"}));
    QCOMPARE(doc.FtpEntryIndex(), 0);
    QVERIFY(!doc.Modified); // the caller's to set

    // The command line's way: groups at the top, loose entries in a group of their own.
    DocumentState fresh;
    QVERIFY(readCsv(fixture(QStringLiteral("bitwarden.csv")), QString(), data, error));
    s = addImported(data, fresh, nullptr, QStringLiteral("export"));
    QCOMPARE(s.groups, 3);
    QCOMPARE(s.top->Name, QStringLiteral("export"));
    QCOMPARE(describe(fresh).last(), QStringLiteral("export|Wifi code||||door 4411"));
}

void TestForeignImport::sourceRootIsDropped_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QStringList>("entryGroups");
    // KeePass's root group and the first level of a KeePassXC CSV's paths are the database itself.
    QTest::newRow("KeePassXC XML") << fixture(QStringLiteral("keepassxc.xml")) << true
                                   << QStringList{"Mail", "Mail/Work"} << QStringList{"", "Mail/Work", "Mail"};
    QTest::newRow("KeePassXC CSV") << fixture(QStringLiteral("keepassxc.csv")) << true
                                   << QStringList{"Mail", "Mail/Work"} << QStringList{"", "Mail/Work", "Mail"};
    QTest::newRow("our CSV's Root") << QByteArray("Group,Title,Password\nRoot,a,1\nRoot/G,b,2\n") << true
                                    << QStringList{"G"} << QStringList{"", "G"};
    // Folders and groupings are the user's own groups, even when there is one.
    QTest::newRow("Bitwarden folder") << QByteArray("folder,name,login_password\nWork,a,1\nWork/Sub,b,2\n") << false
                                      << QStringList{"Work", "Work/Sub"} << QStringList{"Work", "Work/Sub"};
    QTest::newRow("LastPass grouping") << QByteArray("url,password,name,grouping\nhttp://a,1,a,Home\n") << false
                                       << QStringList{"Home"} << QStringList{"Home"};
    // A Group column whose paths do not share one first level has no root to drop; nor has one
    // with an entry outside every group.
    QTest::newRow("two first levels") << QByteArray("Group,Title,Password\nA,a,1\nB,b,2\n") << false
                                      << QStringList{"A", "B"} << QStringList{"A", "B"};
    QTest::newRow("an entry without group")
        << QByteArray("Group,Title,Password\nA,a,1\n,b,2\n") << false << QStringList{"A"} << QStringList{"A", ""};
}

void TestForeignImport::sourceRootIsDropped()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, dropped);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, entryGroups);
    ImportedData data;
    ImportError error;
    QVERIFY2(readForeign(bytes, foreign::detectFormat(bytes), QStringLiteral("Item"), data, error),
             qPrintable(error.text()));
    QCOMPARE(dropSourceRoot(data), dropped);
    QCOMPARE(groupPaths(data), groups);
    QStringList placed;
    for (int g : data.entryGroup)
        placed << data.groupPath(g);
    QCOMPARE(placed, entryGroups);
    // Once is all: the level below is the user's.
    QVERIFY(!dropSourceRoot(data));
}

void TestForeignImport::ourJsonKeepsNoFtpMark()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup(QStringLiteral("G"));
    TGroupe* c = doc.addGroup(QStringLiteral("C"), g);
    doc.appendEntry(NewEntry(c, QStringLiteral("ftp")));
    doc.appendEntry(NewEntry(nullptr, QStringLiteral("loose")));
    doc.setFtpEntry(0);
    ImportedData data;
    ImportError error;
    QVERIFY(readTresorinJson(docjson::toJson(doc), data, error));
    QCOMPARE(describe(data), (QStringList{"G/C|ftp||||", "|loose||||"}));
    QVERIFY(!data.entries[0]->IsFtpEntry);
}

void TestForeignImport::splitTotpLine_data()
{
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QString>("rest");
    QTest::addColumn<QString>("totp");
    QTest::newRow("none") << "a\r\nb"
                          << "a\r\nb"
                          << "";
    QTest::newRow("last line") << "a\r\nTOTP: otpauth://totp/x?secret=A"
                               << "a"
                               << "otpauth://totp/x?secret=A";
    QTest::newRow("first line") << "TOTP: otpauth://totp/x?secret=A\r\nb"
                                << "b"
                                << "otpauth://totp/x?secret=A";
    QTest::newRow("middle, LF") << "a\nTOTP: otpauth://u\nb"
                                << "a\nb"
                                << "otpauth://u";
    QTest::newRow("alone") << "TOTP: otpauth://u"
                           << ""
                           << "otpauth://u";
    QTest::newRow("not at a line start") << "see TOTP: otpauth://u"
                                         << "see TOTP: otpauth://u"
                                         << "";
    QTest::newRow("not a url") << "TOTP: 123456"
                               << "TOTP: 123456"
                               << "";
}

void TestForeignImport::splitTotpLine()
{
    QFETCH(QString, notes);
    QFETCH(QString, rest);
    QFETCH(QString, totp);
    QString gotRest, gotTotp;
    foreign::splitTotpLine(notes, gotRest, gotTotp);
    QCOMPARE(gotRest, rest);
    QCOMPARE(gotTotp, totp);
}

namespace {

// A KeePass export: the root group "Root" (its UUID "ROOT") holding the entry "kept" and the group
// "Bin" (its UUID "BIN") holding the entry "deleted", with RecycleBinUUID bin.
QByteArray keepassWithBin(const QByteArray& bin, const QByteArray& extraEntry = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KeePassFile><Meta><RecycleBinUUID>" + bin +
           "</RecycleBinUUID></Meta><Root><Group><UUID>ROOT</UUID><Name>Root</Name>\n"
           "<Entry><String><Key>Title</Key><Value>kept</Value></String>" +
           extraEntry +
           "</Entry>\n<Group><UUID>BIN</UUID><Name>Bin</Name>\n"
           "<Entry><String><Key>Title</Key><Value>deleted</Value></String></Entry></Group>\n"
           "</Group></Root></KeePassFile>\n";
}

QByteArray utf16(const QByteArray& utf8, bool littleEndian, bool mark)
{
    QStringEncoder encoder(littleEndian ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
    QByteArray out = encoder(QString::fromUtf8(utf8));
    if (mark)
        out.prepend(littleEndian ? "\xFF\xFE" : "\xFE\xFF");
    return out;
}

} // namespace

void TestForeignImport::importerCases_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");         // as detected from the content
    QTest::addColumn<QString>("error");      // part of the refusal; empty when the file is read
    QTest::addColumn<QStringList>("names");  // the entries that come in
    QTest::addColumn<QStringList>("losses"); // describeLosses()
    QTest::addColumn<bool>("mustAgree");     // losesSomething()

    const QByteArray bitwarden = "{\"encrypted\": false, \"folders\": [], \"items\": [{\"type\": 1, \"name\": \"a\"}]";
    QTest::newRow("keepass: the recycle bin named as the root group keeps everything")
        << keepassWithBin("ROOT") << int(Format::KeePassXml) << "" << QStringList{"kept", "deleted"} << QStringList()
        << false;
    QTest::newRow("keepass: the recycle bin inside the root leaves, said")
        << keepassWithBin("BIN") << int(Format::KeePassXml) << "" << QStringList{"kept"}
        << QStringList{"1 entry of the recycle bin left out"} << false;
    QTest::newRow("keepass: every entry in the recycle bin")
        << keepassWithBin("BIN").replace("<Entry><String><Key>Title</Key><Value>kept</Value></String></Entry>", "")
        << int(Format::KeePassXml) << "" << QStringList()
        << QStringList{"1 entry of the recycle bin left out", "none of its 1 entry can be imported"} << true;
    QTest::newRow("keepass: an attachment has no place")
        << keepassWithBin("BIN", "<Binary><Key>scan.pdf</Key><Value Ref=\"0\"/></Binary>") << int(Format::KeePassXml)
        << "" << QStringList{"kept"}
        << QStringList{"line 3, entry \"Root/kept\": attachment \"scan.pdf\" left out",
                       "1 entry of the recycle bin left out"}
        << true;
    QTest::newRow("keepass: UTF-16 with its mark")
        << utf16(keepassWithBin("BIN").replace("utf-8", "utf-16"), true, true) << int(Format::KeePassXml) << ""
        << QStringList{"kept"} << QStringList{"1 entry of the recycle bin left out"} << false;
    QTest::newRow("keepass: UTF-16 big-endian without a mark")
        << utf16(keepassWithBin("BIN").replace("utf-8", "utf-16"), false, false) << int(Format::KeePassXml) << ""
        << QStringList{"kept"} << QStringList{"1 entry of the recycle bin left out"} << false;
    QTest::newRow("csv: UTF-16 with its mark")
        << utf16("name,password\nsite,s\xc3\xa9same\n", true, true) << int(Format::Csv) << "" << QStringList{"site"}
        << QStringList() << false;
    QTest::newRow("bitwarden: items twice") << bitwarden + ", \"items\": []}" << int(Format::BitwardenJson)
                                            << "line 1, column 74: the key \"items\" appears twice in one object"
                                            << QStringList() << QStringList() << false;
    QTest::newRow("bitwarden: a key twice, once escaped")
        << QByteArray("{\"items\": [{\"name\": \"a\", \"n\\u0061me\": \"b\"}]}") << int(Format::BitwardenJson)
        << "the key \"name\" appears twice" << QStringList() << QStringList() << false;
    QTest::newRow("bitwarden: encrypted, said as a string")
        << QByteArray("{\"encrypted\": \"true\", \"items\": [{\"name\": \"2.x|y|z\"}]}") << int(Format::BitwardenJson)
        << "encrypted: expected true or false" << QStringList() << QStringList() << false;
    QTest::newRow("bitwarden: encrypted, its key check present")
        << QByteArray("{\"encrypted\": false, \"encKeyValidation_DO_NOT_EDIT\": \"2.a|b|c\", \"items\": []}")
        << int(Format::BitwardenJson) << "this Bitwarden export is encrypted" << QStringList() << QStringList()
        << false;
    QTest::newRow("bitwarden: protected by a password")
        << QByteArray("{\"encrypted\": true, \"passwordProtected\": true, \"salt\": \"x\", \"data\": \"y\"}")
        << int(Format::BitwardenJson) << "protected by a password" << QStringList() << QStringList() << false;
    QTest::newRow("bitwarden: custom values of every kind")
        << QByteArray("{\"items\": [{\"name\": \"a\", \"fields\": [{\"name\": \"pin\", \"value\": 1234},"
                      " {\"name\": \"on\", \"value\": true}, {\"name\": \"linked\", \"value\": null},"
                      " {\"name\": \"odd\", \"value\": {\"x\": 1}}]}]}")
        << int(Format::BitwardenJson) << "" << QStringList{"a"}
        << QStringList{"items[0].fields[3]: the value of \"odd\" is no text, left out"} << true;
    QTest::newRow("our json: entries twice")
        << QByteArray("{\"groups\": [], \"entries\": [{\"name\": \"a\"}], \"entries\": []}") << int(Format::Json)
        << "the key \"entries\" appears twice" << QStringList() << QStringList() << false;
}

// The cases of other managers' files that lost entries without a word: each is read whole, said,
// or refused.
void TestForeignImport::importerCases()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QFETCH(QString, error);
    QFETCH(QStringList, names);
    QFETCH(QStringList, losses);
    QFETCH(bool, mustAgree);
    QCOMPARE(int(foreign::detectFormat(bytes)), format);
    ImportedData data;
    ImportError fault;
    const bool ok = readForeign(bytes, Format(format), QStringLiteral("Item"), data, fault);
    if (!error.isEmpty()) {
        QVERIFY(!ok);
        QVERIFY2(fault.text().contains(error), qPrintable(fault.text()));
        QVERIFY(data.entries.empty());
        return;
    }
    QVERIFY2(ok, qPrintable(fault.text()));
    QStringList got;
    for (const auto& e : data.entries)
        got << e->Name;
    QCOMPARE(got, names);
    QCOMPARE(describeLosses(data), losses);
    QCOMPARE(losesSomething(data), mustAgree);
    if (QTest::currentDataTag() == QLatin1String("bitwarden: custom values of every kind"))
        QCOMPARE(data.entries[0]->Notes, QStringLiteral("pin: 1234\r\non: true"));
    if (QTest::currentDataTag() == QLatin1String("csv: UTF-16 with its mark"))
        QCOMPARE(data.entries[0]->Password, QStringLiteral("s\u00e9same"));
}

void TestForeignImport::csvExport()
{
    DocumentState doc;
    TGroupe* a = doc.addGroup(QStringLiteral("A"));
    TGroupe* b = doc.addGroup(QStringLiteral("B"), a);
    doc.addGroup(QStringLiteral("Empty"));
    auto e = NewEntry(b, QStringLiteral("Say \"hi\", twice"));
    e->Login = QStringLiteral("zoé");
    e->Password = QStringLiteral("p\"w");
    e->Notes = QStringLiteral("one\r\ntwo\r\nTOTP: otpauth://totp/x?secret=A");
    e->Created = utc(2024, 1, 15, 8, 0);
    e->ModifiedAt = 0;
    doc.appendEntry(std::move(e));
    auto loose = NewEntry(nullptr, QStringLiteral("loose"));
    loose->Created = 1.5; // the identity of an entry whose creation was never recorded: no date
    doc.appendEntry(std::move(loose));
    SecureBytes out;
    const ExportResult r = exportToBytes(doc, ExportFormat::Csv, out);
    QVERIFY(r.ok);
    QCOMPARE(r.entries, 2);
    // Two top-level groups and an entry without group: written under "Root", that entry in it.
    QCOMPARE(QString::fromUtf8(out.bytes()),
             QStringLiteral("Group,Title,Username,Password,URL,Notes,TOTP,Icon,Last Modified,Created\n"
                            "\"Root\",\"loose\",\"\",\"\",\"\",\"\",\"\",\"0\",\"\",\"\"\n"
                            "\"Root/A/B\",\"Say \"\"hi\"\", twice\",\"zoé\",\"p\"\"w\",\"\",\"one\ntwo\","
                            "\"otpauth://totp/x?secret=A\",\"0\",\"\",\"2024-01-15T08:00:00Z\"\n"));

    // The streamed export is the same text, in pieces.
    QByteArray streamed;
    QVERIFY(writeExport(doc, ExportFormat::Csv, [&streamed](const char* d, qsizetype n) {
                streamed.append(d, n);
                return true;
            }).ok);
    QCOMPARE(streamed, out.bytes());
    QVERIFY(!writeExport(doc, ExportFormat::Csv, [](const char*, qsizetype) { return false; }).ok);

    // KeePass XML the same: the dated entry has its creation time, the undated one none.
    SecureBytes xml;
    QVERIFY(exportToBytes(doc, ExportFormat::KeePassXml, xml).ok);
    QCOMPARE(xml.bytes().count("<CreationTime>"), 1);
    QVERIFY(xml.bytes().contains("<CreationTime>2024-01-15T08:00:00Z</CreationTime>"));
}

void TestForeignImport::csvFormulasAreGuarded_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("written"); // between the quotes of the CSV file
    QTest::newRow("command") << "=cmd|' /C calc'!A0"
                             << "'=cmd|' /C calc'!A0";
    QTest::newRow("plus") << "+SUM(1+1)*cmd|' /C calc'!A0"
                          << "'+SUM(1+1)*cmd|' /C calc'!A0";
    QTest::newRow("minus") << "-2+3"
                           << "'-2+3";
    QTest::newRow("at") << "@SUM(1,2)"
                        << "'@SUM(1,2)";
    QTest::newRow("link") << "=HYPERLINK(\"x\",\"y\")"
                          << "'=HYPERLINK(\"\"x\"\",\"\"y\"\")";
    QTest::newRow("tab") << "\t=1"
                         << "'\t=1";
    QTest::newRow("lone carriage return") << "\r=1"
                                          << "'\r=1";
    QTest::newRow("line break first: no formula") << "\r\n=1"
                                                  << "\n=1";
    QTest::newRow("apostrophe before a formula") << "'=1"
                                                 << "''=1";
    QTest::newRow("two apostrophes") << "''-1"
                                     << "'''-1";
    QTest::newRow("apostrophe alone") << "'x"
                                      << "'x";
    QTest::newRow("equals inside") << "a=b"
                                   << "a=b";
}

// A field a spreadsheet would run gets a "'" in front in our CSV; our import takes it away, and only
// from our own files: the same text from another manager's export is kept as it is.
void TestForeignImport::csvFormulasAreGuarded()
{
    QFETCH(QString, field);
    QFETCH(QString, written);
    DocumentState doc;
    TGroupe* g = doc.addGroup(field);
    auto e = NewEntry(g, field);
    e->Login = field;
    e->Password = field;
    e->WebAddress = field;
    doc.appendEntry(std::move(e));
    SecureBytes out;
    QVERIFY(exportToBytes(doc, ExportFormat::Csv, out).ok);
    // The group (as the root), the name, the login, the password and the web address.
    QCOMPARE(QString::fromUtf8(out.bytes()).count(QLatin1Char('"') + written + QLatin1Char('"')), 5);

    ImportedData data;
    ImportError error;
    QVERIFY2(readCsv(out.bytes(), QStringLiteral("Item"), data, error), qPrintable(error.text()));
    QCOMPARE(data.entries.size(), size_t(1));
    // A CR LF is written as a line feed: the one change a CSV export makes anyway.
    const QString back = field == QLatin1String("\r\n=1") ? QStringLiteral("\n=1") : field;
    QCOMPARE(data.entries[0]->Login, back);
    QCOMPARE(data.entries[0]->Password, back);
    QCOMPARE(data.entries[0]->WebAddress, back);
    QCOMPARE(data.groupPath(data.entryGroup[0]), back);

    // KeePassXC's header (quoted) is no file of ours: nothing is taken away.
    QByteArray foreignCsv = out.bytes();
    foreignCsv.replace(QByteArray(kOwnCsvHeader), "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\","
                                                  "\"TOTP\",\"Icon\",\"Last Modified\",\"Created\"");
    QVERIFY(readCsv(foreignCsv, QStringLiteral("Item"), data, error));
    QCOMPARE(data.entries[0]->Password, written.replace(QLatin1String("\"\""), QLatin1String("\"")));
}

void TestForeignImport::exportReadBack_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("oneTopGroup");
    QTest::newRow("csv, one top group") << int(ExportFormat::Csv) << true;
    QTest::newRow("csv, forest") << int(ExportFormat::Csv) << false;
    QTest::newRow("xml, one top group") << int(ExportFormat::KeePassXml) << true;
    QTest::newRow("xml, forest") << int(ExportFormat::KeePassXml) << false;
}

void TestForeignImport::exportReadBack()
{
    QFETCH(int, format);
    QFETCH(bool, oneTopGroup);
    DocumentState doc;
    TGroupe* top = doc.addGroup(QStringLiteral("Coffre <&> \"é\""));
    TGroupe* deep = top;
    for (int i = 0; i < 30; ++i) // deeper than the indentation goes
        deep = doc.addGroup(QStringLiteral("level %1").arg(i), deep);
    const TGroupe* other =
        oneTopGroup ? doc.addGroup(QStringLiteral("sibling"), top) : doc.addGroup(QStringLiteral("other"));
    for (int i = 0; i < 3; ++i) {
        auto e = NewEntry(i == 0 ? top : i == 1 ? deep : other, QStringLiteral("entry %1 \"é\" & <x>").arg(i));
        e->Login = QStringLiteral("user,%1").arg(i);
        e->Password = QStringLiteral("p\"w;<%1>&amp;").arg(i);
        e->WebAddress = QStringLiteral("https://example.org/?a=1&b=%1").arg(i);
        e->Notes =
            QStringLiteral("line 1\r\n  indented, \"quoted\"\r\nTOTP: otpauth://totp/e%1?secret=JBSWY3DP").arg(i);
        e->Created = utc(2020, 2, 29, 23, 59, 58);
        e->ModifiedAt = i == 2 ? 0 : utc(2021, 7, 4, 12, 0);
        doc.appendEntry(std::move(e));
    }
    SecureBytes out;
    QVERIFY(exportToBytes(doc, ExportFormat(format), out).ok);

    ImportedData data;
    ImportError error;
    QVERIFY2(readForeign(out.bytes(), foreign::detectFormat(out.bytes()), QString(), data, error),
             qPrintable(error.text()));
    QStringList expected = describe(doc);
    if (!oneTopGroup)
        for (QString& line : expected)
            line.prepend(QStringLiteral("Root/"));
    QCOMPARE(describe(data), expected);
    for (size_t i = 0; i < data.entries.size(); ++i) {
        QCOMPARE(data.entries[i]->Created, doc.entry(int(i))->Created);
        QCOMPARE(data.entries[i]->ModifiedAt, doc.entry(int(i))->ModifiedAt);
    }
}

void TestForeignImport::xmlExportLeavesOutWhatXmlCannotCarry()
{
    DocumentState doc;
    auto e = NewEntry(doc.addGroup(QStringLiteral("G")), QStringLiteral("bell\x07 and\ttab"));
    e->Notes = QStringLiteral("a lone\rCR");
    doc.appendEntry(std::move(e));
    SecureBytes out;
    const ExportResult r = exportToBytes(doc, ExportFormat::KeePassXml, out);
    QCOMPARE(r.droppedCharacters, 1);
    ImportedData data;
    ImportError error;
    QVERIFY2(readKeePassXml(out.bytes(), QString(), data, error), qPrintable(error.text()));
    QCOMPARE(data.entries[0]->Name, QStringLiteral("bell and\ttab"));
    QCOMPARE(data.entries[0]->Notes, QStringLiteral("a lone\r\nCR")); // a line break, kept as one
}

QTEST_GUILESS_MAIN(TestForeignImport)
#include "tst_foreignimport.moc"
