#include "crypto/Cipher.h"
#include "crypto/OneTimeCode.h"
#include "document/DateTime.h"
#include "document/DocumentFile.h"
#include "document/DocumentJson.h"
#include "document/EntryIdentity.h"
#include "platform/Win1252.h"
#include "support/DocumentFixture.h"
#include "support/FullDisk.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <memory>
#include <set>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using testsupport::StreamBuilder;
using testsupport::TempFolder;

namespace {

using Run = testsupport::ProcessResult;

// fileSizeLimit >= 0 runs the tool under that file-size limit (see testsupport::limitFileSize).
Run run(const QStringList& args, const QByteArray& input = QByteArray(), qint64 fileSizeLimit = -1)
{
    return testsupport::ProcessRunner::cli().fileSizeLimit(fileSizeLimit).run(args, input);
}

const QString kBadPass =
    QStringLiteral("Sorry ! This meta password is not the right one, or this file is not a Tresorin document...");

// Saves the rich fixture under password at path.
bool saveRich(const QString& path, const QString& password)
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    doc.MetaPassword = password;
    return docfile::saveFile(doc, path, false).ok;
}

bool writeEnciphered(const QString& path, const QByteArray& stream, const QByteArray& password)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(encipherDocument(stream, password)) > 0;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void versionHelpAndArguments_data();
    void versionHelpAndArguments();
    void exportImportRoundTrip();
    void wrongPasswordExitsWithTwo_data();
    void wrongPasswordExitsWithTwo();
    void importRefusesToOverwrite();
    void importRejectsBadJson_data();
    void importRejectsBadJson();
    void infoShowsTheProperties();
    void passwdRewritesUnderTheNewPassword();
    void passwdWithDifferingPasswordsChangesNothing();
    void failedWriteKeepsTheDocument_data();
    void failedWriteKeepsTheDocument();
    void newPasswordMustOpenInTheWindow_data();
    void newPasswordMustOpenInTheWindow();
    void readerMessagesInOrder();
    void passwdLeavesDamagedDocumentsAlone_data();
    void passwdLeavesDamagedDocumentsAlone();
    void terminalEchoIsOffWhileAskingAndComesBack_data();
    void terminalEchoIsOffWhileAskingAndComesBack();
    void unreadableInputs_data();
    void unreadableInputs();
    void searchPrintsTheMatches_data();
    void searchPrintsTheMatches();
    void analyzeReportsThePasswordsToChange();
    void analyzeRefusesListsItCannotSearch_data();
    void analyzeRefusesListsItCannotSearch();
    void totpOfTheOneEntryWithACode_data();
    void totpOfTheOneEntryWithACode();
    void hostileTextIsShownNotObeyed_data();
    void hostileTextIsShownNotObeyed();
};

void TestCli::initTestCase()
{
    QVERIFY2(QFile::exists(testsupport::cliProgram()), qPrintable(testsupport::cliProgram()));
}

void TestCli::versionHelpAndArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outStart");
    QTest::addColumn<QString>("errContains");
    QTest::newRow("version") << QStringList{"--version"} << 0 << "tresorin-cli 1."
                             << "";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: tresorin-cli COMMAND"
                          << "";
    QTest::newRow("nothing") << QStringList() << 1 << ""
                             << "Usage: tresorin-cli COMMAND";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 1 << ""
                                     << "unknown command \"frobnicate\"";
    for (const char* c : {"export", "import", "info", "passwd", "search"})
        QTest::addRow("%s --help", c) << QStringList{c, "--help"} << 0
                                      << QStringLiteral("Usage: tresorin-cli %1").arg(QLatin1String(c)) << "";
    QTest::newRow("missing argument") << QStringList{"export"} << 1 << ""
                                      << "expected 1 argument";
    QTest::newRow("too many arguments") << QStringList{"import", "a", "b", "c"} << 1 << ""
                                        << "expected 2 arguments";
    QTest::newRow("unknown option") << QStringList{"info", "--fast", "x.pass"} << 1 << ""
                                    << "unknown option --fast";
    QTest::newRow("force is for import only") << QStringList{"passwd", "--force", "x.pass"} << 1 << ""
                                              << "unknown option --force";
}

void TestCli::versionHelpAndArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, outStart);
    QFETCH(QString, errContains);
    const Run r = run(args);
    QCOMPARE(r.exitCode, exitCode);
    if (outStart.isEmpty())
        QVERIFY2(r.out.isEmpty(), r.out.constData());
    else
        QVERIFY2(QString::fromUtf8(r.out).startsWith(outStart), r.out.constData());
    QVERIFY2(QString::fromUtf8(r.err).contains(errContains), r.err.constData());
}

void TestCli::exportImportRoundTrip()
{
    TempFolder dir;
    const QString original = dir.filePath(QStringLiteral("original.pass"));
    QVERIFY(saveRich(original, QStringLiteral("first \u00e9")));

    const Run exported = run({"export", original}, "first \xc3\xa9\n");
    QCOMPARE(exported.exitCode, 0);
    // The fixture has an entry without group, which the reader reports; then what went out.
    QCOMPARE(exported.errLines().size(), 2);
    QCOMPARE(exported.errLines().first(), QStringLiteral("Internal error"));
    QVERIFY2(exported.errLines().last().startsWith(QStringLiteral("tresorin-cli export: ")) &&
                 exported.errLines().last().endsWith(QStringLiteral(" exported to standard output (json)")),
             exported.err.constData());
    QVERIFY(dir.writeFile(QStringLiteral("doc.json"), exported.out));

    const QString copy = dir.filePath(QStringLiteral("copy.pass"));
    const Run imported = run({"import", dir.filePath(QStringLiteral("doc.json")), copy}, "second\r\nsecond\r\n");
    QCOMPARE(imported.exitCode, 0);
    QCOMPARE(imported.errLines().size(), 1);
    QVERIFY2(imported.errLines().first().startsWith(QStringLiteral("tresorin-cli import: ")), imported.err.constData());
    QVERIFY(imported.out.isEmpty());

    DocumentState a;
    DocumentState b;
    QVERIFY(docfile::loadFile(original, QStringLiteral("first \u00e9"), a, {}).ok());
    QVERIFY(docfile::loadFile(copy, QStringLiteral("second"), b, {}).ok());
    // The import makes the document's entries: an identity (creation date) already held by an
    // earlier entry, or none at all, is replaced by a fresh one; everything else is the file's.
    QCOMPARE(b.entryCount(), a.entryCount());
    std::set<DateTime> seen;
    int fresh = 0;
    for (int i = 0; i < a.entryCount(); ++i) {
        const DateTime was = a.entry(i)->Created;
        const DateTime is = b.entry(i)->Created;
        if (was != 0 && seen.insert(was).second) {
            QCOMPARE(is, was);
        } else {
            QVERIFY(is != was && identity::isRecorded(is));
            ++fresh;
        }
        a.entry(i)->Created = is;
    }
    QCOMPARE(fresh, 5); // the fixture shares dates between entries with names of one length, and one has none
    QCOMPARE(testsupport::compareContent(b, a), QString());
    QCOMPARE(b.LocalDoc.SaveCount, a.LocalDoc.SaveCount + 1); // import is a counted save
    QVERIFY(b.LocalDoc.SaveDate > a.LocalDoc.SaveDate);
    a.LocalDoc.SaveCount = b.LocalDoc.SaveCount;
    a.LocalDoc.SaveDate = b.LocalDoc.SaveDate;
    QCOMPARE(testsupport::compareHeaders(b.LocalDoc, a.LocalDoc), QString());

    // Exporting the copy gives the same JSON but for the counted save.
    const Run again = run({"export", copy}, "second\n");
    QCOMPARE(again.exitCode, 0);
    QJsonObject first = QJsonDocument::fromJson(exported.out).object();
    QJsonObject second = QJsonDocument::fromJson(again.out).object();
    QJsonObject h1 = first.value("header").toObject();
    QJsonObject h2 = second.value("header").toObject();
    QCOMPARE(h2.value("saveCount").toInt(), h1.value("saveCount").toInt() + 1);
    h1.remove("saveCount");
    h1.remove("saveDate");
    h2.remove("saveCount");
    h2.remove("saveDate");
    first.insert("header", h1);
    second.insert("header", h2);
    for (QJsonObject* doc : {&first, &second}) {
        QJsonArray entries = doc->value("entries").toArray();
        for (QJsonValueRef e : entries) {
            QJsonObject o = e.toObject();
            o.remove("created");
            e = o;
        }
        doc->insert("entries", entries);
    }
    QCOMPARE(second, first);
}

void TestCli::wrongPasswordExitsWithTwo_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("export") << "export";
    QTest::newRow("info") << "info";
    QTest::newRow("passwd") << "passwd";
}

void TestCli::wrongPasswordExitsWithTwo()
{
    QFETCH(QString, command);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QVERIFY(saveRich(path, QStringLiteral("right")));
    const QByteArray before = fileBytes(path);
    const Run r = run({command, path}, "Right\nnew\nnew\n");
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.errLines(), QStringList{kBadPass});
    QVERIFY(r.out.isEmpty());
    QCOMPARE(fileBytes(path), before);
}

void TestCli::importRefusesToOverwrite()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("in.json"), R"({"entries": [{"name": "e", "password": "p"}]})"));
    QVERIFY(dir.writeFile(QStringLiteral("out.pass"), "precious"));
    const QString json = dir.filePath(QStringLiteral("in.json"));
    const QString out = dir.filePath(QStringLiteral("out.pass"));

    Run r = run({"import", json, out}, "pw\npw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("--force"));
    QCOMPARE(fileBytes(out), QByteArray("precious"));

    r = run({"import", "--force", json, out}, "pw\npw\n");
    QCOMPARE(r.exitCode, 0);
    DocumentState doc;
    QVERIFY(docfile::loadFile(out, QStringLiteral("pw"), doc, {}).ok());
    QCOMPARE(doc.entryCount(), 1);
    QCOMPARE(doc.entry(0)->Password, QStringLiteral("p"));
    QCOMPARE(doc.LocalDoc.SaveCount, 1);

    // Two new passwords that differ: nothing is written.
    const QString fresh = dir.filePath(QStringLiteral("fresh.pass"));
    r = run({"import", json, fresh}, "one\ntwo\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("differ"));
    QVERIFY(!QFile::exists(fresh));
    // The end of input before the second password.
    r = run({"import", json, fresh}, "one\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY(!QFile::exists(fresh));
}

void TestCli::importRejectsBadJson_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("place");
    QTest::newRow("syntax") << QByteArray("{\"groups\": [}") << "JSON syntax error at offset";
    QTest::newRow("group out of range") << QByteArray(
                                               R"({"groups": [{"name": "g"}], "entries": [{}, {}, {}, {"group": 7}]})")
                                        << "entries[3].group: index 7 out of range";
    QTest::newRow("parent after child") << QByteArray(R"({"groups": [{"parent": 1}, {}]})")
                                        << "groups[0].parent: index 1 does not come before this group";
    QTest::newRow("wrong type") << QByteArray(R"({"header": {"portNumber": "21"}})") << "header.portNumber";
}

void TestCli::importRejectsBadJson()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, place);
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("in.json"), json));
    const QString out = dir.filePath(QStringLiteral("out.pass"));
    const Run r = run({"import", dir.filePath(QStringLiteral("in.json")), out}, "pw\npw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(QString::fromUtf8(r.err).contains(place), r.err.constData());
    QVERIFY(!QFile::exists(out));
}

void TestCli::infoShowsTheProperties()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QVERIFY(saveRich(path, QStringLiteral("pw")));
    Run r = run({"info", path}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    QStringList lines = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 13);
    QVERIFY(lines[1].startsWith(QStringLiteral("Last saved on: ")));
    QVERIFY(!lines[1].contains(QStringLiteral("Unknown")));
    lines.removeAt(1);
    QCOMPARE(lines, (QStringList{"Version: 4711", "FTP Synchro active: Yes", "    Server: ftp.example.org",
                                 "    Port: 2121", "    Passive: Yes", "    User: ftpuser", "    Password: Yes",
                                 "    File: /backup/docs/mine.pass", "    Transport: FTP",
                                 "    Server identity: none, login and password in clear", "Format: 7",
                                 "Protection: compatible (SHA-1, Blowfish)"}));
    QVERIFY(!r.out.contains("ftp-secret"));

    // A plain header: no date recorded, no FTP settings.
    TDoc plain;
    plain.SaveDate = 0;
    QVERIFY(writeEnciphered(path, StreamBuilder().start(7).header(7, plain).end().bytes(), "pw"));
    r = run({"info", path}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{"Version: 0", "Last saved on: - Unknown -", "FTP Synchro active: No",
                          "    Server:", "    Port: 21", "    Passive: No", "    User:", "    Password: No",
                          "    File:", "    Transport:", "    Server identity:", "Format: 7",
                          "Protection: compatible (SHA-1, Blowfish)"}));
}

void TestCli::passwdRewritesUnderTheNewPassword()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QVERIFY(saveRich(path, QStringLiteral("old")));
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                      QFileDevice::WriteUser | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, mode));

    const Run r = run({"passwd", path}, "old\nnew \u00e9\nnew \u00e9\n");
    QCOMPARE(r.exitCode, 0);
    // The fixture is synchronised: its FTP copy still has the old password.
    QVERIFY2(r.err.contains("FTP copy, which keeps the old meta password"), r.err.constData());
    QCOMPARE(QFile::permissions(path), mode);
    QCOMPARE(run({"info", path}, "old\n").exitCode, 2);

    DocumentState reread;
    QVERIFY(docfile::loadFile(path, QStringLiteral("new \u00e9"), reread, {}).ok());
    DocumentState rich;
    testsupport::buildRichDocument(rich);
    QCOMPARE(testsupport::compareContent(reread, rich), QString());
    QCOMPARE(testsupport::compareHeaders(reread.LocalDoc, rich.LocalDoc), QString()); // not a counted save
}

void TestCli::passwdWithDifferingPasswordsChangesNothing()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QVERIFY(saveRich(path, QStringLiteral("old")));
    const QByteArray before = fileBytes(path);
    const Run r = run({"passwd", path}, "old\nnew\nNew\n");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(fileBytes(path), before);
}

void TestCli::failedWriteKeepsTheDocument_data()
{
    QTest::addColumn<bool>("fullDisk"); // else a file-size limit
    QTest::addColumn<QString>("reason");
    QTest::newRow("file-size limit") << false << QStringLiteral("File too large");
    QTest::newRow("full disk") << true << QStringLiteral("No space left on device");
}

void TestCli::failedWriteKeepsTheDocument()
{
    QFETCH(bool, fullDisk);
    QFETCH(QString, reason);
    TempFolder dir;
    std::unique_ptr<testsupport::SmallTmpfs> disk;
    QString folder = dir.path();
    if (fullDisk) {
        disk = std::make_unique<testsupport::SmallTmpfs>(dir.filePath(QStringLiteral("disk")), 1024);
        if (!disk->ok())
            QSKIP(qPrintable(disk->failure()));
        folder = disk->path();
    }
    // A small document: smaller than any write buffer.
    const QString path = folder + QStringLiteral("/doc.pass");
    DocumentState doc;
    doc.addGroup(QStringLiteral("G"));
    doc.MetaPassword = QStringLiteral("old");
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    const QByteArray before = fileBytes(path);
    QVERIFY(before.size() < 1000);
    if (disk)
        QVERIFY(disk->fill());
    const qint64 limit = fullDisk ? -1 : before.size() / 2;

    const Run r = run({"passwd", path}, "old\nnew\nnew\n", limit);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(reason.toUtf8()), r.err.constData());
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(run({"info", path}, "old\n").exitCode, 0);

    // An import refused in the same way leaves no file at all.
    const QString json = dir.filePath(QStringLiteral("doc.json"));
    QVERIFY(dir.writeFile(QStringLiteral("doc.json"), run({"export", path}, "old\n").out));
    const QString made = folder + QStringLiteral("/made.pass");
    const Run imported = run({"import", json, made}, "pw\npw\n", limit);
    QCOMPARE(imported.exitCode, 1);
    QVERIFY2(imported.err.contains(reason.toUtf8()), imported.err.constData());
    QVERIFY(!QFileInfo::exists(made));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".pass")),
             QStringList{"doc.pass"});
}

void TestCli::newPasswordMustOpenInTheWindow_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    const QString fifty = QString(50, QLatin1Char('p'));
    for (const char* command : {"import", "passwd"}) {
        QTest::addRow("%s: empty", command) << command << QString() << false;
        QTest::addRow("%s: 51 characters", command) << command << fifty + QLatin1Char('x') << false;
        QTest::addRow("%s: 50 characters", command) << command << fifty << true;
        // Characters are counted, not the bytes of their UTF-8 form.
        QTest::addRow("%s: 50 accented characters", command) << command << QString(50, QChar(0xE9)) << true;
        // The code page of documents has no place for these: each would be stored as "?", and any
        // six characters it cannot hold would open the document.
        QTest::addRow("%s: Cyrillic", command)
            << command << QStringLiteral("\u043f\u0430\u0440\u043e\u043b\u044c") << false;
        QTest::addRow("%s: Chinese", command) << command << QStringLiteral("\u5bc6\u7801\u5bc6\u7801") << false;
        QTest::addRow("%s: one emoji among Latin", command) << command << QStringLiteral("abc\U0001F511def") << false;
        QTest::addRow("%s: euro sign and typographic quotes", command)
            << command << QStringLiteral("\u20ac\u2018x\u2019") << true;
    }
}

void TestCli::newPasswordMustOpenInTheWindow()
{
    QFETCH(QString, command);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QByteArray input;
    QStringList args{command};
    if (command == QLatin1String("import")) {
        QVERIFY(dir.writeFile(QStringLiteral("in.json"), R"({"entries": [{"name": "e"}]})"));
        args << dir.filePath(QStringLiteral("in.json"));
    } else {
        QVERIFY(saveRich(path, QStringLiteral("old")));
        input = "old\n";
    }
    args << path;
    const QByteArray before = fileBytes(path);
    const QByteArray line = password.toUtf8() + '\n';
    const Run r = run(args, input + line + line);
    QCOMPARE(r.exitCode, accepted ? 0 : 1);
    if (accepted) {
        DocumentState doc;
        QVERIFY(docfile::loadFile(path, password, doc, {}).ok());
    } else {
        QVERIFY2(r.err.contains("new meta password"), r.err.constData());
        QCOMPARE(fileBytes(path), before);
    }
}

void TestCli::readerMessagesInOrder()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("damaged.pass"));
    TFeuille e;
    e.Name = QStringLiteral("kept");
    const QByteArray stream = StreamBuilder()
                                  .tag("TRX")
                                  .tag(" 1.9")
                                  .header(7, TDoc())
                                  .group(1, 5, QStringLiteral("orphan"))
                                  .entry(7, 1, e)
                                  .entry(7, 3, e)
                                  .tag("DONE")
                                  .bytes();
    QVERIFY(writeEnciphered(path, stream, "pw"));
    const QByteArray before = fileBytes(path);

    Run r = run({"export", path}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.errLines(),
             (QStringList{"File format error (TRS)",
                          "This Tresorin file as been saved by a newer version of Tresorin, it may be "
                          "impossible to read ( 1.9)",
                          "Internal error", "File format error (FINI)",
                          "tresorin-cli export: 2 items and 1 group exported to standard output (json)"}));
    QCOMPARE(QJsonDocument::fromJson(r.out).object().value("entries").toArray().size(), 2);

    // Rewriting a damaged document would make the damage permanent.
    r = run({"passwd", path}, "pw\nnew\nnew\n");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(fileBytes(path), before);

    // A read failure in the records: messages first, then the failure, and no JSON.
    QVERIFY(writeEnciphered(path, StreamBuilder().start(7).header(7, TDoc()).entry(7, 0, e).bytes(), "pw"));
    r = run({"export", path}, "pw\n");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.errLines().size(), 2);
    QCOMPARE(r.errLines().at(0), QStringLiteral("Internal error"));
    QVERIFY(r.errLines().at(1).contains(StreamReader::readErrorText()));
    QVERIFY(r.out.isEmpty());
}

namespace {

// A pseudo-terminal to stand for the user's terminal: the tool reads from its slave side, the
// test types on its master side and inspects the slave's settings.
struct PseudoTerminal
{
    int master = -1;
    int slave = -1;
    QString slavePath;

    PseudoTerminal()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        slavePath = QString::fromLocal8Bit(ptsname(master));
        slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    }
    ~PseudoTerminal()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
    bool isValid() const { return slave >= 0; }
    bool echoes() const
    {
        termios t{};
        return tcgetattr(slave, &t) == 0 && (t.c_lflag & ECHO) != 0;
    }
    void type(const QByteArray& text) const
    {
        QCOMPARE(::write(master, text.constData(), size_t(text.size())), ssize_t(text.size()));
    }
};

} // namespace

void TestCli::terminalEchoIsOffWhileAskingAndComesBack_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: the password is typed
    QTest::newRow("password typed") << 0;
    QTest::newRow("interrupted") << int(SIGINT);
    QTest::newRow("terminated") << int(SIGTERM);
    QTest::newRow("terminal hung up") << int(SIGHUP);
}

void TestCli::terminalEchoIsOffWhileAskingAndComesBack()
{
    QFETCH(int, signalNumber);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QVERIFY(saveRich(path, QStringLiteral("pw")));
    PseudoTerminal tty;
    QVERIFY(tty.isValid());
    QVERIFY(tty.echoes());

    QProcess p;
    p.setStandardInputFile(tty.slavePath);
    p.start(testsupport::cliProgram(), {"info", path});
    QVERIFY(p.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!tty.echoes(), 10000);
    QVERIFY(p.state() == QProcess::Running);
    // The prompt may come a moment after the echo was switched off.
    QByteArray prompt;
    QTRY_VERIFY_WITH_TIMEOUT((prompt += p.readAllStandardError()).startsWith("Meta password: "), 10000);

    if (signalNumber == 0) {
        tty.type("pw\n");
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("Version: 4711\n"));
    } else {
        QCOMPARE(::kill(pid_t(p.processId()), signalNumber), 0);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    }
    QVERIFY(tty.echoes());
}

void TestCli::passwdLeavesDamagedDocumentsAlone_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("rewritten");
    TFeuille e;
    e.Name = QStringLiteral("kept");
    TDoc header;
    header.SaveCount = 12;
    QTest::newRow("sound") << StreamBuilder().start(7).header(7, header).group(1, 0, "G").entry(7, 1, e).end().bytes()
                           << true;
    // An entry of an unknown group only loses a group that was not there.
    QTest::newRow("unknown group only") << StreamBuilder().start(7).header(7, header).entry(7, 4, e).end().bytes()
                                        << true;
    QTest::newRow("missing end record") << StreamBuilder().start(7).header(7, header).entry(7, 0, e).tag("XXXX").bytes()
                                        << false;
    // Nothing is shown for a damaged header, but the fields after the damage would be lost.
    QTest::newRow("damaged header")
        << StreamBuilder().start(7).i32(12).dbl(2.0).textCount(5000).group(1, 0, "G").end().bytes() << false;
}

void TestCli::passwdLeavesDamagedDocumentsAlone()
{
    QFETCH(QByteArray, stream);
    QFETCH(bool, rewritten);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QVERIFY(writeEnciphered(path, stream, "old"));
    const QByteArray before = fileBytes(path);
    const Run r = run({"passwd", path}, "old\nnew\nnew\n");
    QCOMPARE(r.exitCode, rewritten ? 0 : 1);
    if (rewritten) {
        QVERIFY2(!r.err.contains("FTP copy"), r.err.constData()); // not synchronised
        DocumentState doc;
        QVERIFY(docfile::loadFile(path, QStringLiteral("new"), doc, {}).ok());
        QCOMPARE(doc.LocalDoc.SaveCount, 12);
    } else {
        QVERIFY2(r.err.contains("not rewritten"), r.err.constData());
        QCOMPARE(fileBytes(path), before);
    }
}

void TestCli::unreadableInputs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("missing file") << "missing" << QByteArray("pw\n") << 1;
    QTest::newRow("not a document") << "text" << QByteArray("pw\n") << 2;
    QTest::newRow("no password given") << "document" << QByteArray() << 1;
    QTest::newRow("empty password is a password") << "document" << QByteArray("\n") << 2;
    QTest::newRow("folder") << "folder" << QByteArray("pw\n") << 1;
    QTest::newRow("larger than the largest document") << "huge" << QByteArray("pw\n") << 1;
}

void TestCli::unreadableInputs()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("target"));
    if (kind == QLatin1String("text"))
        QVERIFY(dir.writeFile(QStringLiteral("target"), "just some text\n"));
    else if (kind == QLatin1String("document"))
        QVERIFY(saveRich(path, QStringLiteral("pw")));
    else if (kind == QLatin1String("folder"))
        dir.makeFolder(QStringLiteral("target"));
    else if (kind == QLatin1String("huge")) // sparse: no room taken on the disk
        QVERIFY(dir.writeFile(QStringLiteral("target"), "x") && QFile::resize(path, docfile::kMaxDocumentBytes + 1));
    const Run r = run({"export", path}, input);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY(r.out.isEmpty());
    QVERIFY(!r.err.isEmpty());
    if (kind == QLatin1String("huge"))
        QVERIFY2(r.err.contains("larger than 1024 MiB"), r.err.constData());
}

// Bank > Cards > Gold holds Visa; Mail holds Inbox (BANK in its notes); an entry without group; a
// name with an accented capital.
static bool saveSearchFixture(const QString& path)
{
    DocumentState doc;
    TGroupe* bank = doc.addGroup(QStringLiteral("Bank"));
    TGroupe* gold = doc.addGroup(QStringLiteral("Gold"), doc.addGroup(QStringLiteral("Cards"), bank));
    TGroupe* mail = doc.addGroup(QStringLiteral("Mail"));
    const auto add = [&doc](TGroupe* g, const QString& name, const char* login, const char* password, const char* web,
                            const char* notes) {
        auto e = NewEntry(g, name);
        e->Login = QString::fromUtf8(login);
        e->Password = QString::fromUtf8(password);
        e->WebAddress = QString::fromUtf8(web);
        e->Notes = QString::fromUtf8(notes);
        doc.appendEntry(std::move(e));
    };
    add(mail, QStringLiteral("Inbox"), "me", "m41l", "", "see the BANK\r\nletter");
    add(gold, QStringLiteral("Visa"), "jean", "PIN-Card", "https://bank.example", "");
    add(nullptr, QStringLiteral("Orphan"), "x", "Secret", "", "");
    add(bank, QStringLiteral("\u00c9cole"), "tab\there", "p", "", "");
    doc.MetaPassword = QStringLiteral("pw");
    return docfile::saveFile(doc, path, false).ok;
}

void TestCli::searchPrintsTheMatches_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("any field, any case, document order")
        << QStringList() << "BaNk"
        << "pw" << 0 << QStringList{"Mail\tInbox\tme\t", "Bank\\Cards\\Gold\tVisa\tjean\thttps://bank.example"};
    QTest::newRow("password field, shown") << QStringList{"--show-passwords"} << "secret"
                                           << "pw" << 0 << QStringList{"\tOrphan\tx\t\tSecret"};
    QTest::newRow("tab inside a field") << QStringList() << "TAB"
                                        << "pw" << 0 << QStringList{QStringLiteral("Bank\t\u00c9cole\ttab here\t")};
    QTest::newRow("accented capital is not folded")
        << QStringList() << QStringLiteral("\u00e9cole") << "pw" << 1 << QStringList();
    QTest::newRow("accented capital as typed") << QStringList() << QStringLiteral("\u00c9COLE") << "pw" << 0
                                               << QStringList{QStringLiteral("Bank\t\u00c9cole\ttab here\t")};
    QTest::newRow("nothing found") << QStringList() << "zzz"
                                   << "pw" << 1 << QStringList();
    QTest::newRow("wrong meta password") << QStringList() << "bank"
                                         << "nope" << 2 << QStringList();
}

void TestCli::searchPrintsTheMatches()
{
    QFETCH(QStringList, options);
    QFETCH(QString, text);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QVERIFY(saveSearchFixture(path));
    const Run r = run(QStringList{"search"} + options + QStringList{path, text}, (password + "\n").toUtf8());
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts), lines);
    // Passwords appear only when asked for.
    if (!options.contains(QStringLiteral("--show-passwords")))
        QVERIFY(!r.out.contains("PIN-Card") && !r.out.contains("m41l"));
}

// The health report: one line per finding, the passwords never printed, exit 1 with findings, 0
// without, 2 for a wrong meta password; the breach list is searched on this computer.
void TestCli::analyzeReportsThePasswordsToChange()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    DocumentState doc;
    TGroupe* bank = doc.addGroup(QStringLiteral("Bank"));
    const auto add = [&](const char* name, const QString& password) {
        auto e = NewEntry(bank, QLatin1String(name));
        e->Password = password;
        e->ModifiedAt = datetime::now() - 1;
        doc.appendEntry(std::move(e));
    };
    add("weak", QStringLiteral("abc"));
    add("first", QStringLiteral("Zq8#vLp2!rT6&wK9"));
    add("second", QStringLiteral("Zq8#vLp2!rT6&wK9"));
    doc.MetaPassword = QStringLiteral("pw");
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    const QByteArray hash = sha1(QByteArray("Zq8#vLp2!rT6&wK9")).toHex().toUpper();
    QVERIFY(dir.writeFile(QStringLiteral("pwned.txt"),
                          QByteArray(40, '0') + ":1\r\n" + hash + ":7\r\n" + QByteArray(40, 'F') + ":3\r\n"));

    Run r = run({"analyze", "--hibp", dir.filePath(QStringLiteral("pwned.txt")), path}, "pw\n");
    QCOMPARE(r.exitCode, 1);
    const QStringList lines = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    // Details in words, from the English table; paths joined by "/".
    QCOMPARE(lines[0], QStringLiteral("weak\tBank\tweak\tscore 0 of 4, about 6 guesses"));
    QCOMPARE(lines[1], QStringLiteral("reused\tBank\tfirst\tBank/second"));
    QCOMPARE(lines[2], QStringLiteral("breached\tBank\tfirst\tseen 7 times"));
    QCOMPARE(lines[3], QStringLiteral("reused\tBank\tsecond\tBank/first"));
    QCOMPARE(lines[4], QStringLiteral("breached\tBank\tsecond\tseen 7 times"));
    QVERIFY(!r.out.contains("Zq8#"));
    QVERIFY(!r.out.contains("abc\t") && !r.out.contains("\tabc"));

    // A threshold that calls nothing weak and no list: the reuse is still there.
    r = run({"analyze", "--weak-below", "0", path}, "pw\n");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 2);
    // Scores run from 0 to 4: a threshold beyond 5 means nothing.
    r = run({"analyze", "--weak-below", "50", path}, "pw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("--weak-below needs a score from 0 to 5"), r.err.constData());
    QVERIFY(r.out.isEmpty());

    // Nothing to change: exit 0 and no output.
    DocumentState clean;
    auto only = NewEntry(clean.addGroup(QStringLiteral("G")), QStringLiteral("only"));
    only->Password = QStringLiteral("Zq8#vLp2!rT6&wK9");
    only->ModifiedAt = datetime::now();
    clean.appendEntry(std::move(only));
    clean.MetaPassword = QStringLiteral("pw");
    const QString cleanPath = dir.filePath(QStringLiteral("clean.pass"));
    QVERIFY(docfile::saveFile(clean, cleanPath, false).ok);
    r = run({"analyze", cleanPath}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(run({"analyze", cleanPath}, "wrong\n").exitCode, 2);
    r = run({"analyze", "--hibp", dir.filePath(QStringLiteral("none.txt")), cleanPath}, "pw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("none.txt"));
}

void TestCli::analyzeRefusesListsItCannotSearch_data()
{
    QTest::addColumn<QString>("list"); // in the test's folder, or a device
    QTest::addColumn<QString>("said");
    QTest::newRow("a pipe nobody writes to") << "pipe"
                                             << "not a regular file";
    QTest::newRow("an endless device") << "/dev/zero"
                                       << "not a regular file";
    QTest::newRow("lines out of order") << "unordered.txt"
                                        << "not in the order of their hashes";
}

// A breach list that cannot answer for the passwords ends the report with an error at once, never
// with "no finding", never a wait without end.
void TestCli::analyzeRefusesListsItCannotSearch()
{
    QFETCH(QString, list);
    QFETCH(QString, said);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    DocumentState doc;
    auto e = NewEntry(doc.addGroup(QStringLiteral("G")), QStringLiteral("e"));
    e->Password = QStringLiteral("Zq8#vLp2!rT6&wK9");
    e->ModifiedAt = datetime::now();
    doc.appendEntry(std::move(e));
    doc.MetaPassword = QStringLiteral("pw");
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    QString listPath = list.startsWith(QLatin1Char('/')) ? list : dir.filePath(list);
    if (list == QLatin1String("pipe"))
        QCOMPARE(mkfifo(QFile::encodeName(listPath).constData(), 0600), 0);
    QByteArray lines;
    for (char c = 'F'; c >= 'A'; --c)
        lines += QByteArray(40, c) + ":1\n";
    if (list == QLatin1String("unordered.txt"))
        QVERIFY(dir.writeFile(list, lines));
    const Run r = testsupport::ProcessRunner::cli().timeout(10000).run({"analyze", "--hibp", listPath, path}, "pw\n");
    QVERIFY(!r.timedOut);
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(said.toUtf8()), r.err.constData());
}

void TestCli::totpOfTheOneEntryWithACode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("listed"); // entries named on standard error
    QTest::newRow("one entry") << "github" << 0 << 0;
    QTest::newRow("several") << "o" << 1 << 2;
    QTest::newRow("none with a code") << "plain" << 1 << 0;
}

void TestCli::totpOfTheOneEntryWithACode()
{
    QFETCH(QString, text);
    QFETCH(int, exitCode);
    QFETCH(int, listed);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    DocumentState doc;
    TGroupe* g = doc.addGroup(QStringLiteral("Logins"));
    const auto add = [&](const char* name, const QString& notes) {
        auto e = NewEntry(g, QLatin1String(name));
        e->Notes = notes;
        doc.appendEntry(std::move(e));
    };
    add("github", QStringLiteral("otpauth://totp/GitHub:me?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"));
    add("gitlab", QStringLiteral("backup codes\r\notpauth://totp/x?secret=GEZDGNBVGY3TQOJQ&digits=8"));
    add("plain", QStringLiteral("no code"));
    doc.MetaPassword = QStringLiteral("pw");
    QVERIFY(docfile::saveFile(doc, path, false).ok);

    const Run r = run({"totp", path, text}, "pw\n");
    QCOMPARE(r.exitCode, exitCode);
    if (exitCode == 0) {
        const QByteArray code = r.out.trimmed();
        QCOMPARE(code.size(), 6);
        otp::Parameters p = *otp::ParseUri(QStringLiteral("otpauth://totp/x?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"));
        // The code of now, or of the step just before when the step changed meanwhile.
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QVERIFY2(code == otp::Totp(p, now).toUtf8() || code == otp::Totp(p, now - 30).toUtf8(), code.constData());
        QVERIFY(r.err.contains("valid for"));
    } else {
        QVERIFY(r.out.isEmpty());
        QCOMPARE(int(r.errLines().size()) - 1, listed);
    }
}

// Control characters and bidirectional controls of a document or an import reach the terminal as
// visible escapes, whatever the command; export's formats keep them exact.
void TestCli::hostileTextIsShownNotObeyed_data()
{
    QTest::addColumn<QStringList>("args"); // DOC and DIR stand for the document and its folder
    QTest::addColumn<bool>("onOutput");    // the text is looked for on standard output, else on error
    QTest::addColumn<QString>("visible");  // what must be printed instead
    QTest::newRow("search: name, login, web address")
        << QStringList{"search", "DOC", "evil"} << true << "G\\x1b[2J\tx\\x1b]0;pwned\\x07y evil\tl\\x7fOVER\t\\x1b[6n";
    QTest::newRow("search: password shown")
        << QStringList{"search", "--show-passwords", "DOC", "evil"} << true << "\tp\\x08\\x08";
    QTest::newRow("analyze: group, name, detail")
        << QStringList{"analyze", "DOC"} << true << "reused\tG\\x1b[2J\tx\\x1b]0;pwned\\x07y evil\tG\\x1b[2J/w\\x1bin";
    QTest::newRow("totp: the entries listed")
        << QStringList{"totp", "DOC", "w"} << false << "G\\x1b[2J\tx\\x1b]0;pwned\\x07y evil";
    QTest::newRow("info: the header") << QStringList{"info", "DOC"} << true << "srv\\x1b[31m\\x7f";
    QTest::newRow("import: the fault quotes the file") << QStringList{"import", "DIR/hostile.csv", "DIR/out.pass"}
                                                       << false << "\"\\x1b]0;pwned\\x07\\u202e\\x9b\" is not a date";
}

void TestCli::hostileTextIsShownNotObeyed()
{
    QFETCH(QStringList, args);
    QFETCH(bool, onOutput);
    QFETCH(QString, visible);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    DocumentState doc;
    doc.LocalDoc.ServerName = QStringLiteral("srv\x1b[31m\x7f");
    TGroupe* g = doc.addGroup(QStringLiteral("G\x1b[2J"));
    auto e = NewEntry(g, QStringLiteral("x\x1b]0;pwned\ay\nevil"));
    e->Login = QStringLiteral("l\x7fOVER");
    e->WebAddress = QStringLiteral("\x1b[6n");
    e->Password = QStringLiteral("p\b\b");
    e->Notes = QStringLiteral("otpauth://totp/x?secret=GEZDGNBVGY3TQOJQ");
    doc.appendEntry(std::move(e));
    e = NewEntry(g, QStringLiteral("w\x1bin"));
    e->Password = QStringLiteral("p\b\b");
    e->Notes = QStringLiteral("otpauth://totp/y?secret=GEZDGNBVGY3TQOJQ");
    doc.appendEntry(std::move(e));
    doc.MetaPassword = QStringLiteral("pw");
    QVERIFY(docfile::saveFile(doc, path, false).ok);
    QVERIFY(dir.writeFile(QStringLiteral("hostile.csv"),
                          "name,password,created\nx,y,\x1b]0;pwned\x07\xe2\x80\xae\xc2\x9b\n"));

    for (QString& a : args)
        a.replace(QLatin1String("DOC"), path).replace(QLatin1String("DIR"), dir.path());
    const Run r = run(args, "pw\nnew\nnew\n");
    QVERIFY2(r.started && !r.crashed, r.err.constData());
    const QString shown = QString::fromUtf8(onOutput ? r.out : r.err);
    QVERIFY2(shown.contains(visible), qPrintable(shown));
    // Nothing of it acts on the terminal: no control character but the layout's line feeds and
    // tabs, no C1 control, no bidirectional control, on either output.
    for (const QString& text : {r.outText(), r.errText()})
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            QVERIFY2(u == u'\n' || u == u'\t' || (u >= 0x20 && u != 0x7F && !(u >= 0x80 && u < 0xA0)),
                     qPrintable(QString::number(u, 16)));
            QVERIFY(!(u >= 0x202A && u <= 0x202E) && !(u >= 0x2066 && u <= 0x2069) && u != 0x200E && u != 0x200F);
        }

    // The export of the same document keeps every character exact.
    if (args.first() == QLatin1String("search")) {
        const Run exported = run({"export", path}, "pw\n");
        QCOMPARE(exported.exitCode, 0);
        DocumentState back;
        QVERIFY(docjson::fromJson(exported.out, back, nullptr));
        QCOMPARE(back.Entries().front()->Name, QStringLiteral("x\x1b]0;pwned\ay\nevil"));
        const Run csv = run({"export", "--to", "csv", path}, "pw\n");
        QVERIFY(csv.out.contains("\"x\x1b]0;pwned\ay\nevil\""));
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
