// tresorin-cli import and export with the formats of other managers, and the round trip through
// KeePassXC's own command-line tool (skipped, with a message, where keepassxc-cli is not installed).
#include "document/DocumentFile.h"
#include "document/DocumentJson.h"
#include "document/ForeignExport.h"
#include "document/ForeignImport.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

using testsupport::TempFolder;

namespace {

using Run = testsupport::ProcessResult;

Run runProgram(const QString& program, const QStringList& args, const QByteArray& input)
{
    return testsupport::ProcessRunner(program).timeout(60000).run(args, input);
}

Run cli(const QStringList& args, const QByteArray& input = QByteArray())
{
    return runProgram(testsupport::cliProgram(), args, input);
}

QString fixture(const QString& name)
{
    return QStringLiteral(TRESORIN_TEST_DATA "/foreign/") + name;
}

// "path|name|login|password|web address|notes" for each entry, notes line breaks shown as ⏎.
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

bool load(const QString& path, DocumentState& doc)
{
    return docfile::loadFile(path, QStringLiteral("pw"), doc, {}).ok();
}

} // namespace

class TestCliTransfer : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_tmp = std::make_unique<TempFolder>(); }
    void cleanup() { m_tmp.reset(); }
    void importEachFormat_data();
    void importEachFormat();
    void malformedWritesNothing_data();
    void malformedWritesNothing();
    void unstorableCharacters();
    void datesInTheFutureAndSharedIdentities_data();
    void datesInTheFutureAndSharedIdentities();
    void lossesAreSaid_data();
    void lossesAreSaid();
    void exportFormats();
    void keepassxcReadsOurExports();
    void weReadKeepassxcExports();

private:
    QString path(const QString& name) const { return m_tmp->filePath(name); }
    std::unique_ptr<TempFolder> m_tmp;
};

void TestCliTransfer::importEachFormat_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("topGroups");
    QTest::addColumn<int>("entries");
    // KeePassXC's root group ("Passwords") is the file itself: its entries go into the group named
    // after the file, its groups to the top.
    QTest::newRow("keepass xml, found by content")
        << "keepassxc.xml" << QStringList() << QStringList{"keepassxc", "Mail"} << 3;
    QTest::newRow("keepassxc csv, named")
        << "keepassxc.csv" << QStringList{"--from", "csv"} << QStringList{"keepassxc", "Mail"} << 3;
    // Entries without group go into a group named after the file.
    QTest::newRow("chrome csv") << "chrome.csv" << QStringList{"--from=csv"} << QStringList{"chrome"} << 2;
    QTest::newRow("lastpass csv") << "lastpass.csv" << QStringList() << QStringList{"Finance", "Home"} << 2;
    QTest::newRow("bitwarden json") << "bitwarden.json" << QStringList{"--from", "bitwarden-json"}
                                    << QStringList{"bitwarden", "Work"} << 3;
}

void TestCliTransfer::importEachFormat()
{
    QFETCH(QString, file);
    QFETCH(QStringList, options);
    QFETCH(QStringList, topGroups);
    QFETCH(int, entries);
    const QString out = path(QStringLiteral("out.pass"));
    const Run r = cli(QStringList{"import"} + options + QStringList{fixture(file), out}, "pw\npw\n");
    QVERIFY2(r.exitCode == 0, r.err.constData());
    DocumentState doc;
    QVERIFY(load(out, doc));
    QStringList tops;
    for (const auto& g : doc.Groups())
        tops << g->Name;
    QCOMPARE(tops, topGroups);
    QCOMPARE(doc.entryCount(), entries);
    QVERIFY(!doc.Modified);
    // What came in, and where, is said on standard error.
    const auto counted = [](int n, const char* what) {
        return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(what), n == 1 ? QString() : QStringLiteral("s"));
    };
    QVERIFY2(QString::fromUtf8(r.err).endsWith(
                 QStringLiteral("tresorin-cli import: %1 and %2 imported from %3 into the new document %4\n")
                     .arg(counted(entries, "item"), counted(doc.groupCount(), "group"), fixture(file), out)),
             r.err.constData());
}

void TestCliTransfer::malformedWritesNothing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::newRow("truncated xml") << QStringList() << QByteArray("<KeePassFile><Root><Group><Name>a")
                                   << "src: line 1, column 34: Premature end of document. (read as keepass-xml)";
    QTest::newRow("unclosed quote")
        << QStringList() << QByteArray("name,password\n\"a,b\n")
        << "src: line 2, column 1: the quoted field that starts here is not closed (read as "
           "csv)";
    QTest::newRow("our json read as csv") << QStringList{"--from", "csv"} << QByteArray("{\"groups\": []}\n")
                                          << "src: line 1: the first line names no \"password\" column";
    QTest::newRow("unknown format") << QStringList{"--from", "yaml"} << QByteArray("a")
                                    << "unknown format \"yaml\" (json, keepass-xml, csv or bitwarden-json)";
    QTest::newRow("format without value") << QStringList{"--from"} << QByteArray("a") << "--from needs a value";
}

void TestCliTransfer::malformedWritesNothing()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QVERIFY(m_tmp->writeFile(QStringLiteral("src"), content));
    const QString out = path(QStringLiteral("out.pass"));
    QStringList args = QStringList{"import"} + options;
    // An option missing its value takes the source's place; the arguments are then short.
    if (!options.endsWith(QStringLiteral("--from")))
        args << path(QStringLiteral("src")) << out;
    const Run r = cli(args, "pw\npw\n");
    QCOMPARE(r.exitCode, 1);
    const QString err = QString::fromUtf8(r.err).replace(path(QString()), QString());
    QVERIFY2(err.contains(error), qPrintable(err));
    QVERIFY(!QFile::exists(out));
}

void TestCliTransfer::unstorableCharacters()
{
    QVERIFY(m_tmp->writeFile(QStringLiteral("snow.csv"),
                             "name,username,password\nSnow \xE2\x98\x83,ok,p\xF0\x9F\x98\x80\n"));
    const QString out = path(QStringLiteral("out.pass"));
    Run r = cli({"import", path(QStringLiteral("snow.csv")), out}, "pw\npw\n");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(QString::fromUtf8(r.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{"tresorin-cli import: line 2, entry \"Snow ☃\", name: 1 character (☃)",
                          "tresorin-cli import: line 2, entry \"Snow ☃\", password: 1 character",
                          QStringLiteral("tresorin-cli import: %1: 2 fields hold characters a document cannot store "
                                         "(listed above); --lossy replaces each of them by \"?\"")
                              .arg(path(QStringLiteral("snow.csv")))}));
    QVERIFY(!QFile::exists(out));

    r = cli({"import", "--lossy", path(QStringLiteral("snow.csv")), out}, "pw\npw\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.contains("tresorin-cli import: note: line 2, entry \"Snow \xE2\x98\x83\", password: 1 character "
                           "replaced by \"?\""));
    DocumentState doc;
    QVERIFY(load(out, doc));
    QCOMPARE(describe(doc), QStringList{"snow|Snow ?|ok|p?||"});

    // Our own JSON is held to the same rule.
    QVERIFY(m_tmp->writeFile(QStringLiteral("doc.json"), "{\"groups\": [{\"name\": \"\xE2\x98\x83\"}]}"));
    r = cli({"import", "--force", path(QStringLiteral("doc.json")), out}, "pw\npw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("group \"\xE2\x98\x83\", name: 1 character"));
}

void TestCliTransfer::datesInTheFutureAndSharedIdentities_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("csv") << "far.csv"
                         << QByteArray("title,password,created,last modified\n"
                                       "a,p,2024-01-01T10:00:00Z,9999-12-31T00:00:00Z\nb,q,2024-01-01T10:00:00Z,\n");
    QTest::newRow("our json") << "far.json"
                              << QByteArray("{\"groups\": [{\"name\": \"G\"}], \"entries\": ["
                                            "{\"group\": 0, \"name\": \"a\", \"created\": 45292.4, "
                                            "\"modifiedAt\": 2958465},"
                                            "{\"group\": 0, \"name\": \"b\", \"created\": 45292.4}]}");
}

void TestCliTransfer::datesInTheFutureAndSharedIdentities()
{
    // A date of 31 Dec 9999 becomes now (and stderr says so); two entries of one creation date
    // become two identities.
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QVERIFY(m_tmp->writeFile(name, content));
    const QString out = path(QStringLiteral("out.pass"));
    const Run r = cli({"import", path(name), out}, "pw\npw\n");
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY2(QString::fromUtf8(r.err).startsWith(
                 QStringLiteral("tresorin-cli import: note: 1 date in the future was set to now\n")),
             r.err.constData());
    DocumentState doc;
    QVERIFY(load(out, doc));
    QCOMPARE(doc.entryCount(), 2);
    QVERIFY(doc.entry(0)->ModifiedAt <= datetime::now());
    QVERIFY(doc.entry(0)->Created != doc.entry(1)->Created);
    QVERIFY(std::fabs(doc.entry(0)->Created - doc.entry(1)->Created) < 0.001);
}

void TestCliTransfer::lossesAreSaid_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("exitCode");      // without --lossy
    QTest::addColumn<int>("lossyExitCode"); // with it
    QTest::addColumn<int>("entries");       // in the document made with --lossy
    QTest::addColumn<QString>("said");      // on standard error, without --lossy
    const QByteArray xml = "<KeePassFile><Meta><RecycleBinUUID>BIN</RecycleBinUUID></Meta><Root><Group><UUID>ROOT"
                           "</UUID><Name>Root</Name>";
    const QByteArray bin = "<Group><UUID>BIN</UUID><Name>Bin</Name><Entry><String><Key>Title</Key><Value>old"
                           "</Value></String></Entry></Group>";
    const QByteArray end = "</Group></Root></KeePassFile>";
    QTest::newRow("nothing of it comes in")
        << xml + bin + end << 1 << 0 << 0 << "no entry of it can be imported (listed above); --lossy imports";
    QTest::newRow("the recycle bin alone is a note")
        << xml + "<Entry><String><Key>Title</Key><Value>kept</Value></String></Entry>" + bin + end << 0 << 0 << 1
        << "note: 1 entry of the recycle bin left out";
    QTest::newRow("an attachment")
        << xml +
               "<Entry><String><Key>Title</Key><Value>kept</Value></String><Binary><Key>scan.pdf</Key></Binary>"
               "</Entry>" +
               end
        << 1 << 0 << 1 << "entry \"Root/kept\": attachment \"scan.pdf\" left out";
    QTest::newRow("a value that is no text")
        << QByteArray("{\"items\": [{\"name\": \"a\", \"fields\": [{\"name\": \"odd\", \"value\": [1]}]}]}") << 1 << 0
        << 1 << "items[0].fields[0]: the value of \"odd\" is no text, left out";
    QTest::newRow("items twice: malformed, whatever the option")
        << QByteArray("{\"items\": [{\"name\": \"a\"}], \"items\": []}") << 1 << 1 << 0
        << "the key \"items\" appears twice in one object";
    QTest::newRow("encrypted, said as a string")
        << QByteArray("{\"encrypted\": \"true\", \"items\": [{\"name\": \"2.x|y|z\"}]}") << 1 << 1 << 0
        << "encrypted: expected true or false";
}

// An import that leaves parts of its source out, or brings nothing from a source that has entries,
// says so and writes nothing unless --lossy; encrypted and malformed files are refused whatever the
// option.
void TestCliTransfer::lossesAreSaid()
{
    QFETCH(QByteArray, content);
    QFETCH(int, exitCode);
    QFETCH(int, lossyExitCode);
    QFETCH(int, entries);
    QFETCH(QString, said);
    QVERIFY(m_tmp->writeFile(QStringLiteral("src"), content));
    const QString out = path(QStringLiteral("out.pass"));
    Run r = cli({"import", path(QStringLiteral("src")), out}, "pw\npw\n");
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(said.toUtf8()), r.err.constData());
    QCOMPARE(QFile::exists(out), exitCode == 0);
    QFile::remove(out);
    r = cli({"import", "--lossy", path(QStringLiteral("src")), out}, "pw\npw\n");
    QCOMPARE(r.exitCode, lossyExitCode);
    if (lossyExitCode == 0) {
        DocumentState doc;
        QVERIFY(load(out, doc));
        QCOMPARE(doc.entryCount(), entries);
    }
}

void TestCliTransfer::exportFormats()
{
    DocumentState doc;
    TGroupe* g = doc.addGroup(QStringLiteral("Web"));
    auto e = NewEntry(doc.addGroup(QStringLiteral("Mail"), g), QStringLiteral("Gmail"));
    e->Password = QStringLiteral("p,\"w\"");
    e->Notes = QStringLiteral("a\r\nb");
    doc.appendEntry(std::move(e));
    doc.MetaPassword = QStringLiteral("pw");
    const QString file = path(QStringLiteral("doc.pass"));
    QVERIFY(docfile::saveFile(doc, file, false).ok);
    DocumentState saved;
    QVERIFY(load(file, saved));

    // JSON stays the default, exactly as before.
    Run r = cli({"export", file}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, docjson::toJson(saved));
    QCOMPARE(cli({"export", "--to", "json", file}, "pw\n").out, r.out);

    r = cli({"export", "--to", "csv", file}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    SecureBytes expected;
    foreign::exportToBytes(saved, foreign::ExportFormat::Csv, expected);
    QCOMPARE(r.out, expected.bytes());

    r = cli({"export", "--to=keepass-xml", file}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    foreign::ImportedData back;
    foreign::ImportError error;
    QVERIFY(foreign::readKeePassXml(r.out, QString(), back, error));
    QCOMPARE(back.groupPath(back.entryGroup[0]), QStringLiteral("Web/Mail"));
    QCOMPARE(back.entries[0]->Password, QStringLiteral("p,\"w\""));

    r = cli({"export", "--to", "pdf", file}, "pw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("unknown format \"pdf\""));
}

// Our exports imported by KeePassXC: its own CSV export of what it imported from our XML is the
// CSV we write, byte for byte, and its listing shows our tree.
void TestCliTransfer::keepassxcReadsOurExports()
{
    const QString peer = QStandardPaths::findExecutable(QStringLiteral("keepassxc-cli"));
    if (peer.isEmpty())
        QSKIP("keepassxc-cli is not installed (Debian package keepassxc): the round trip with KeePassXC is not run");
    // In the form KeePassXC writes it back, so that both CSV texts can be the same.
    const QString kOtp =
        QStringLiteral("otpauth://totp/Webmail:zo%C3%A9?secret=JBSWY3DPEHPK3PXP&period=30&digits=6&issuer=Webmail");
    DocumentState doc;
    TGroupe* top = doc.addGroup(QStringLiteral("Coffre"));
    TGroupe* mail = doc.addGroup(QStringLiteral("Mail"), top);
    doc.addGroup(QStringLiteral("Banque é"), top);
    const DateTime when = datetime::fromQDateTime(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC));
    const auto add = [&](TGroupe* g, const QString& name, const QString& password, const QString& notes) {
        auto e = NewEntry(g, name);
        e->Login = QStringLiteral("zoé");
        e->Password = password;
        e->WebAddress = QStringLiteral("https://example.org/?a=1&b=2");
        e->Notes = notes;
        e->Created = when;
        e->ModifiedAt = when + 1;
        doc.appendEntry(std::move(e));
    };
    add(top, QStringLiteral("Root entry"), QStringLiteral("p\"w, <1>"), QStringLiteral("two\r\nlines"));
    add(mail, QStringLiteral("Webmail"), QStringLiteral("s3cret"), QStringLiteral("note\r\nTOTP: ") + kOtp);
    doc.MetaPassword = QStringLiteral("pw");
    const QString file = path(QStringLiteral("doc.pass"));
    QVERIFY(docfile::saveFile(doc, file, false).ok);

    const Run xml = cli({"export", "--to", "keepass-xml", file}, "pw\n");
    const Run csv = cli({"export", "--to", "csv", file}, "pw\n");
    QVERIFY(xml.exitCode == 0 && csv.exitCode == 0);
    QVERIFY(m_tmp->writeFile(QStringLiteral("ours.xml"), xml.out));
    const QString kdbx = path(QStringLiteral("peer.kdbx"));
    Run r = runProgram(peer, {"import", "-q", "-p", "-t", "100", path(QStringLiteral("ours.xml")), kdbx}, "kp\nkp\n");
    QVERIFY2(r.exitCode == 0, r.err.constData());
    r = runProgram(peer, {"export", "-q", "-f", "csv", kdbx}, "kp\n");
    QCOMPARE(r.exitCode, 0);
    // The same columns (ours unquoted in the header line: the mark of our own files), the same
    // lines after it.
    QString theirs = QString::fromUtf8(r.out);
    QString ours = QString::fromUtf8(csv.out);
    const QString theirHeader = theirs.section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(QString(theirHeader).remove(QLatin1Char('"')), ours.section(QLatin1Char('\n'), 0, 0));
    QCOMPARE(theirs.section(QLatin1Char('\n'), 1), ours.section(QLatin1Char('\n'), 1));
    r = runProgram(peer, {"ls", "-q", "-R", "-f", kdbx}, "kp\n");
    QCOMPARE(QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{"Root entry", "Mail/", "Mail/Webmail", "Banque é/", "Banque é/[empty]"}));
    r = runProgram(peer, {"show", "-q", "-s", "-a", "otp", kdbx, "Mail/Webmail"}, "kp\n");
    QCOMPARE(QString::fromUtf8(r.out.trimmed()), kOtp);
}

// KeePassXC's exports of a database it made imported by us: its XML and its CSV give the same
// document.
void TestCliTransfer::weReadKeepassxcExports()
{
    const QString peer = QStandardPaths::findExecutable(QStringLiteral("keepassxc-cli"));
    if (peer.isEmpty())
        QSKIP("keepassxc-cli is not installed (Debian package keepassxc): the round trip with KeePassXC is not run");
    const QString kdbx = path(QStringLiteral("peer.kdbx"));
    QCOMPARE(runProgram(peer, {"db-create", "-q", "-p", "-t", "100", kdbx}, "kp\nkp\n").exitCode, 0);
    QCOMPARE(runProgram(peer, {"mkdir", "-q", kdbx, "Mail"}, "kp\n").exitCode, 0);
    QCOMPARE(runProgram(peer,
                        {"add", "-q", "-u", "bob", "--url", "https://x.org", "--notes", "line 1\nline, \"2\"", "-p",
                         kdbx, "Mail/Gmail é"},
                        "kp\nsecr\"et, x\n")
                 .exitCode,
             0);
    QCOMPARE(runProgram(peer, {"add", "-q", "-p", kdbx, "At the root"}, "kp\nroot pw\n").exitCode, 0);

    QStringList imported[2];
    const char* formats[] = {"xml", "csv"};
    for (int f = 0; f < 2; ++f) {
        const Run exported = runProgram(peer, {"export", "-q", "-f", formats[f], kdbx}, "kp\n");
        QCOMPARE(exported.exitCode, 0);
        const QString source = path(QStringLiteral("export.") + QLatin1String(formats[f]));
        QVERIFY(m_tmp->writeFile(QFileInfo(source).fileName(), exported.out));
        const QString out = path(QStringLiteral("from-%1.pass").arg(QLatin1String(formats[f])));
        const Run r = cli({"import", source, out}, "pw\npw\n");
        QVERIFY2(r.exitCode == 0, r.err.constData());
        DocumentState doc;
        QVERIFY(load(out, doc));
        imported[f] = describe(doc);
    }
    QCOMPARE(imported[0], (QStringList{"export|At the root||root pw||",
                                       "Mail|Gmail é|bob|secr\"et, x|https://x.org|line 1⏎line, \"2\""}));
    QCOMPARE(imported[1], imported[0]);
}

QTEST_GUILESS_MAIN(TestCliTransfer)
#include "tst_cli_transfer.moc"
