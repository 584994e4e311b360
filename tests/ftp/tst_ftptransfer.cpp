// The FTP transfer worker against a real FTP server (pyftpdlib on 127.0.0.1): uploads under the
// temporary name then renamed and read back, downloads into memory, the probe of a copy by its
// size and ends, both data connection modes, the stop requests, two uploads racing, the size cap,
// and the faults a user meets (wrong password, missing file, refused rename, a data connection
// that breaks off, a server that never answers or sends without end), each with the text the
// user reads.

#include "document/DocumentFile.h"
#include "ftp/TFileFTP.h"
#include "lang/LangTable.h"
#include "support/FtpServer.h"
#include "support/TransferRunner.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QtTest>

using testsupport::FtpServer;

namespace {

QByteArray payload(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

TFileFTP::Parameters params(const FtpServer& server, const QString& path, bool passive = true)
{
    TFileFTP::Parameters p;
    p.ServerName = QStringLiteral("127.0.0.1");
    p.PortNumber = server.port();
    p.PassiveMode = passive;
    p.RemotePath = path;
    p.UserName = server.user();
    p.UserPassword = server.password();
    return p;
}

// What a completion handler sees, and what the progress signals said on the way.
struct Outcome
{
    bool done = false;
    bool freed = false;
    QString error;
    QByteArray data;
    bool stopped = false;
    int maximum = -1;
    QList<int> progress;
    QStringList statuses;
    bool verified = false;
    bool replacedMeanwhile = false;
    QString temporaryName;
    RemoteProbe probe;
    bool missing = false;
    int bytesDone = 0;
};

enum class StopAt
{
    Never,
    FirstChunkStop,     // the status bar's Stop
    FirstChunkInterrupt // the dialog's Cancel
};

Outcome run(TFileFTP* worker, StopAt stop = StopAt::Never)
{
    Outcome out;
    QObject context;
    QObject::connect(worker, &TFileFTP::progressMaximum, &context, [&](int m) { out.maximum = m; });
    QObject::connect(worker, &TFileFTP::progressChanged, &context, [&](int n) { out.progress << n; });
    QObject::connect(worker, &TFileFTP::statusChanged, &context, [&](const QString& s) { out.statuses << s; });
    if (stop != StopAt::Never) {
        // On the worker's own thread, so that the request lands in the middle of the transfer.
        QObject::connect(
            worker, &TFileFTP::progressChanged, worker,
            [worker, stop] {
                if (stop == StopAt::FirstChunkStop)
                    worker->requestStop();
                else
                    worker->requestInterruption();
            },
            Qt::DirectConnection);
    }
    QObject::connect(worker, &TFileFTP::completed, &context, [&out, worker] {
        out.done = true;
        out.error = worker->ErrorText();
        out.stopped = worker->wasStopped();
        out.data = worker->takeData();
        out.verified = worker->verified();
        out.replacedMeanwhile = worker->replacedMeanwhile();
        out.temporaryName = worker->temporaryName();
        out.probe = worker->probe();
        out.missing = worker->remoteMissing();
        out.bytesDone = worker->BytesDone();
    });
    QPointer<TFileFTP> alive(worker);
    worker->start();
    out.done = QTest::qWaitFor([&] { return out.done; }, 60000);
    // The worker frees itself after its completion handler.
    out.freed = QTest::qWaitFor([&] { return alive.isNull(); }, 5000);
    return out;
}

const QString kSep = QStringLiteral("\r\n\r\n");

} // namespace

class TestFtpTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void temporaryName_data();
    void temporaryName();
    void replyLogKeepsTheLastReply();
    void uploadInChunksThenRename_data();
    void uploadInChunksThenRename();
    void downloadIntoMemory_data();
    void downloadIntoMemory();
    void downloadOfAnEmptyFile();
    void faults_data();
    void faults();
    void silentServerTimesOut();
    void serverDownSaysWhy();
    void controlCharactersRefused_data();
    void controlCharactersRefused();
    void stopLeavesNoError_data();
    void stopLeavesNoError();
    void probeEquality();
    void probe_data();
    void probe();
    void racingUploads_data();
    void racingUploads();
    void sizeCap_data();
    void sizeCap();
};

void TestFtpTransfer::initTestCase()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    QVERIFY(WinInetAvailable());
    QVERIFY(WinInetAvailable());
    TFileFTP::setTimeouts({5000, 5000, 5});
}

void TestFtpTransfer::temporaryName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("temporary");
    QTest::newRow("extension replaced") << "safe/codes.pass"
                                        << "safe/codes.tmp";
    QTest::newRow("no extension") << "codes"
                                  << "codes.tmp";
    QTest::newRow("dot in a folder") << "archive.old/codes"
                                     << "archive.tmp";
    QTest::newRow("backslash after the dot") << "a.b\\codes"
                                             << "a.b\\codes.tmp";
    QTest::newRow("colon after the dot") << "a.b:codes"
                                         << "a.b:codes.tmp";
}

void TestFtpTransfer::temporaryName()
{
    QFETCH(QString, path);
    QFETCH(QString, temporary);
    QCOMPARE(TemporaryFtpName(path), temporary);
}

void TestFtpTransfer::replyLogKeepsTheLastReply()
{
    FtpReplyLog log;
    log.addLine("220 ready\r\n");
    log.addLine("550-first line\r\n");
    log.addLine(" more\r\n");
    QCOMPARE(log.text(), QStringLiteral("550-first line\r\n more"));
    log.addLine("550 done\r\n");
    QCOMPARE(log.text(), QStringLiteral("550-first line\r\n more\r\n550 done"));
    log.addLine("226 " + QByteArray(2000, 'x'));
    QCOMPARE(log.text().size(), FtpReplyLog::MaxLength);
}

void TestFtpTransfer::uploadInChunksThenRename_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("anonymous");
    QTest::newRow("passive") << true << false;
    QTest::newRow("active") << false << false;
    QTest::newRow("anonymous") << true << true;
}

void TestFtpTransfer::uploadInChunksThenRename()
{
    QFETCH(bool, passive);
    QFETCH(bool, anonymous);
    FtpServer server(anonymous ? QString() : QStringLiteral("alice"), anonymous ? QString() : QStringLiteral("s3cret"));
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    QVERIFY(server.writeFile(QStringLiteral("backup/codes.pass"), "previous copy"));
    const QByteArray bytes = payload(2500);

    TFileFTP::Parameters p = params(server, QStringLiteral("backup/codes.pass"), passive);
    // Only the low 16 bits of the port reach the connection.
    p.PortNumber += 65536;
    const Outcome out = run(TFileFTP::CreateForDialog(p, false, bytes));

    QVERIFY(out.done && out.freed);
    QCOMPARE(out.error, QString());
    QVERIFY(!out.stopped);
    QCOMPARE(out.maximum, 2500);
    QCOMPARE(out.progress, (QList<int>{1024, 2048, 2500}));
    QCOMPARE(out.statuses, (QStringList{QStringLiteral("Connecting..."), QStringLiteral("Uploading...")}));
    QCOMPARE(server.readFile(QStringLiteral("backup/codes.pass")), bytes);
    QVERIFY(!server.exists(QStringLiteral("backup/codes.tmp")));
    // Plain FTP keeps its one temporary name; the copy read back is the one sent.
    QCOMPARE(out.temporaryName, QStringLiteral("backup/codes.tmp"));
    QVERIFY(server.commandLog().contains(QStringLiteral("STOR backup/codes.tmp")));
    QVERIFY(out.verified);
    QVERIFY(!out.replacedMeanwhile);
    QVERIFY(out.probe.equals(probeOf(bytes)));
}

void TestFtpTransfer::downloadIntoMemory_data()
{
    QTest::addColumn<bool>("statusBar");
    QTest::addColumn<bool>("passive");
    QTest::newRow("dialog, passive") << false << true;
    QTest::newRow("status bar, active") << true << false;
}

void TestFtpTransfer::downloadIntoMemory()
{
    QFETCH(bool, statusBar);
    QFETCH(bool, passive);
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QByteArray bytes = payload(10000);
    QVERIFY(server.writeFile(QStringLiteral("backup/codes.pass"), bytes));

    const TFileFTP::Parameters p = params(server, QStringLiteral("backup/codes.pass"), passive);
    TFileFTP* worker = statusBar ? TFileFTP::CreateForStatusBar(p) : TFileFTP::CreateForDialog(p, true);
    QVERIFY(worker->IsDownload());
    const Outcome out = run(worker);

    QCOMPARE(out.error, QString());
    QCOMPARE(out.data, bytes);
    QCOMPARE(out.maximum, 10000);
    QCOMPARE(out.statuses, (QStringList{QStringLiteral("Connecting..."), QStringLiteral("Downloading...")}));
    QVERIFY(!out.progress.isEmpty());
    QCOMPARE(out.progress.last(), 10000);
    int previous = 0;
    for (int n : out.progress) {
        QVERIFY(n > previous && n - previous <= TFileFTP::ChunkLength);
        previous = n;
    }
}

void TestFtpTransfer::downloadOfAnEmptyFile()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    QVERIFY(server.writeFile(QStringLiteral("empty.pass"), QByteArray()));
    const Outcome out = run(TFileFTP::CreateForDialog(params(server, QStringLiteral("empty.pass")), true));
    QCOMPARE(out.error, QString());
    QVERIFY(out.data.isEmpty());
    QCOMPARE(out.maximum, 0);
}

void TestFtpTransfer::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("download");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("wrongPassword");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reply"); // start of the reply appended, "*": any reply, empty: none appended

    QTest::newRow("wrong password") << QString() << true << "backup/codes.pass" << true
                                    << "Error connecting server '127.0.0.1'"
                                    << "530";
    QTest::newRow("missing file") << QString() << true << "backup/missing.pass" << false
                                  << "Error accessing 'backup/missing.pass' :"
                                  << "550";
    QTest::newRow("missing folder for the upload")
        << QString() << false << "nowhere/codes.pass" << false << "Error accessing 'nowhere/codes.pass' :"
        << "550";
    QTest::newRow("refused rename") << "refuse-rename" << false << "backup/codes.pass" << false
                                    << "FTP Error renaming backup/codes.tmp into backup/codes.pass"
                                    << "550 Rename refused";
    QTest::newRow("download broken off") << "drop-download" << true << "backup/codes.pass" << false
                                         << "Download failed: the file was not received completely"
                                         << "*";
    QTest::newRow("download cut short") << "short-download" << true << "backup/codes.pass" << false
                                        << "Download failed: the file was not received completely"
                                        << "*";
    QTest::newRow("upload broken off") << "drop-upload" << false << "backup/codes.pass" << false
                                       << "Error Uploading, process aborted" << QString();
    // No data connection before a byte went: the file could not be created, said with the reply.
    QTest::newRow("upload without a data connection")
        << "bad-passive" << false << "backup/codes.pass" << false << "Error accessing 'backup/codes.pass' :"
        << "*";
}

void TestFtpTransfer::faults()
{
    QFETCH(QString, fault);
    QFETCH(bool, download);
    QFETCH(QString, path);
    QFETCH(bool, wrongPassword);
    QFETCH(QString, message);
    QFETCH(QString, reply);

    FtpServer server(QStringLiteral("alice"), QStringLiteral("s3cret"), fault);
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QByteArray previous = payload(5000);
    QVERIFY(server.writeFile(QStringLiteral("backup/codes.pass"), previous));

    TFileFTP::Parameters p = params(server, path);
    if (wrongPassword)
        p.UserPassword = QStringLiteral("wrong-s3cret");
    const Outcome out =
        run(download ? TFileFTP::CreateForDialog(p, true) : TFileFTP::CreateForDialog(p, false, payload(2500)));

    QVERIFY(out.done && out.freed);
    QVERIFY(!out.stopped);
    if (reply.isEmpty()) {
        QCOMPARE(out.error, message);
    } else {
        QVERIFY2(out.error.startsWith(message + kSep + (reply == QLatin1String("*") ? QString() : reply)),
                 qPrintable(out.error));
    }
    // Neither password ever reaches the user.
    QVERIFY(!out.error.contains(p.UserPassword));
    QVERIFY(!out.error.contains(server.password()));
    // Nothing half-received is handed over.
    QVERIFY(out.data.isEmpty());
    QVERIFY(!out.verified && !out.replacedMeanwhile);
    // A failed upload leaves the remote file as it was, and removes its temporary file.
    QCOMPARE(server.readFile(QStringLiteral("backup/codes.pass")), previous);
    QVERIFY(!server.exists(QStringLiteral("backup/codes.tmp")));
}

void TestFtpTransfer::silentServerTimesOut()
{
    FtpServer server(QStringLiteral("alice"), QStringLiteral("s3cret"), QStringLiteral("silent"));
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const FtpTimeouts saved = TFileFTP::timeouts();
    TFileFTP::setTimeouts({1000, 1000, 1});
    QElapsedTimer clock;
    clock.start();
    const Outcome out = run(TFileFTP::CreateForDialog(params(server, QStringLiteral("codes.pass")), true));
    TFileFTP::setTimeouts(saved);
    QVERIFY2(out.error.startsWith(QStringLiteral("Error connecting server '127.0.0.1'") + kSep), qPrintable(out.error));
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
}

// Nothing answers at the address: with no reply to show, libcurl's reason is given after the text.
void TestFtpTransfer::serverDownSaysWhy()
{
    int port = 0;
    {
        // A port that was free a moment ago and is closed again.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    TFileFTP::Parameters p;
    p.ServerName = QStringLiteral("127.0.0.1");
    p.PortNumber = port;
    p.PassiveMode = true;
    p.RemotePath = QStringLiteral("codes.pass");
    const Outcome out = run(TFileFTP::CreateForDialog(p, true));
    const QString start = QStringLiteral("Error connecting server '127.0.0.1'") + kSep;
    QVERIFY2(out.error.startsWith(start), qPrintable(out.error));
    QVERIFY2(out.error.size() > start.size() + 5, qPrintable(out.error));
}

void TestFtpTransfer::controlCharactersRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("download");
    QTest::addColumn<QString>("message");

    const QString path = QStringLiteral("Error accessing 'a.pass^M^JDELE victim.pass' :") + kSep +
                         QStringLiteral("Refused: the file path holds a control character (a line break, a tab...).");
    QTest::newRow("path, upload") << "path"
                                  << "a.pass\r\nDELE victim.pass" << false << path;
    QTest::newRow("path, download") << "path"
                                    << "a.pass\r\nDELE victim.pass" << true << path;
    QTest::newRow("path, tab") << "path"
                               << "a\tb.pass" << false
                               << QStringLiteral("Error accessing 'a^Ib.pass' :") + kSep +
                                      QStringLiteral("Refused: the file path holds a control character (a line "
                                                     "break, a tab...).");
    QTest::newRow("server") << "server"
                            << "127.0.0.1\r\nDELE victim.pass" << true
                            << QStringLiteral("Error connecting server '127.0.0.1^M^JDELE victim.pass'") + kSep +
                                   QStringLiteral("Refused: the server name holds a control character (a line "
                                                  "break, a tab...).");
    QTest::newRow("login") << "login"
                           << "alice\r\nDELE victim.pass" << false
                           << QStringLiteral("Error connecting server '127.0.0.1'") + kSep +
                                  QStringLiteral("Refused: the login holds a control character (a line break, a "
                                                 "tab...).");
    QTest::newRow("password, DEL") << "password"
                                   << "s3cret\x7f" << true
                                   << QStringLiteral("Error connecting server '127.0.0.1'") + kSep +
                                          QStringLiteral("Refused: the password holds a control character (a line "
                                                         "break, a tab...).");
    QTest::newRow("password, NUL") << "password" << QStringLiteral("s3cret") + QChar(0) + QStringLiteral("x") << false
                                   << QStringLiteral("Error connecting server '127.0.0.1'") + kSep +
                                          QStringLiteral("Refused: the password holds a control character (a line "
                                                         "break, a tab...).");
}

// A field that comes from a received document could carry a second command after a line break:
// nothing at all may reach the server, and the message names the field without showing a password.
void TestFtpTransfer::controlCharactersRefused()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, download);
    QFETCH(QString, message);

    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    QVERIFY(server.writeFile(QStringLiteral("victim.pass"), "keep me"));
    QVERIFY(server.writeFile(QStringLiteral("a.pass"), "old"));

    TFileFTP::Parameters p = params(server, QStringLiteral("a.pass"));
    if (field == QLatin1String("path"))
        p.RemotePath = value;
    else if (field == QLatin1String("server"))
        p.ServerName = value;
    else if (field == QLatin1String("login"))
        p.UserName = value;
    else
        p.UserPassword = value;
    QVERIFY(TFileFTP::UnsafeField(p) != FtpField::None);

    const Outcome out =
        run(download ? TFileFTP::CreateForDialog(p, true) : TFileFTP::CreateForDialog(p, false, payload(2500)));
    QVERIFY(out.done && out.freed);
    QCOMPARE(out.error, message);
    QVERIFY(out.data.isEmpty());
    QVERIFY(!out.error.contains(QStringLiteral("s3cret")));
    QCOMPARE(server.commandLog(), QStringList());
    QCOMPARE(server.readFile(QStringLiteral("victim.pass")), QByteArray("keep me"));
    QCOMPARE(server.readFile(QStringLiteral("a.pass")), QByteArray("old"));
    QVERIFY(!server.exists(QStringLiteral("a.tmp")));

    // The same server takes a clean transfer, and its log shows the commands it got.
    const Outcome clean = run(TFileFTP::CreateForDialog(params(server, QStringLiteral("a.pass")), true));
    QCOMPARE(clean.error, QString());
    QCOMPARE(clean.data, QByteArray("old"));
    QVERIFY(server.commandLog().contains(QStringLiteral("RETR a.pass")));
}

void TestFtpTransfer::stopLeavesNoError_data()
{
    QTest::addColumn<bool>("download");
    QTest::addColumn<bool>("interrupt");
    QTest::newRow("download, Stop") << true << false;
    QTest::newRow("download, Cancel") << true << true;
    QTest::newRow("upload, Stop") << false << false;
    QTest::newRow("upload, Cancel") << false << true;
}

void TestFtpTransfer::stopLeavesNoError()
{
    QFETCH(bool, download);
    QFETCH(bool, interrupt);
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QByteArray previous = payload(300000);
    QVERIFY(server.writeFile(QStringLiteral("codes.pass"), previous));

    const TFileFTP::Parameters p = params(server, QStringLiteral("codes.pass"));
    const Outcome out =
        run(download ? TFileFTP::CreateForStatusBar(p) : TFileFTP::CreateForDialog(p, false, payload(300000)),
            interrupt ? StopAt::FirstChunkInterrupt : StopAt::FirstChunkStop);
    QVERIFY(out.done && out.freed);
    QVERIFY(out.stopped);
    QCOMPARE(out.error, QString());
    QVERIFY(out.data.size() < previous.size());
    QCOMPARE(server.readFile(QStringLiteral("codes.pass")), previous);
}

void TestFtpTransfer::probeEquality()
{
    const QByteArray bytes = payload(10000);
    QVERIFY(probeOf(bytes).equals(probeOf(bytes)));
    QCOMPARE(probeOf(bytes).head, bytes.left(RemoteProbe::EdgeLength));
    QCOMPARE(probeOf(bytes).tail, bytes.right(RemoteProbe::EdgeLength));
    // Another first byte, last byte or size is another copy.
    QByteArray first = bytes;
    first[0] = char(first[0] ^ 1);
    QByteArray last = bytes;
    last[last.size() - 1] = char(last[last.size() - 1] ^ 1);
    QVERIFY(!probeOf(first).equals(probeOf(bytes)));
    QVERIFY(!probeOf(last).equals(probeOf(bytes)));
    QVERIFY(!probeOf(bytes + 'x').equals(probeOf(bytes)));
    // No copy at all is not an empty copy.
    RemoteProbe missing;
    missing.missing = true;
    QVERIFY(!missing.equals(probeOf(QByteArray())));
    QVERIFY(!probeOf(QByteArray()).equals(missing));
    QVERIFY(missing.equals(missing));
}

void TestFtpTransfer::probe_data()
{
    QTest::addColumn<int>("size"); // -1: no file
    QTest::newRow("missing") << -1;
    QTest::newRow("empty") << 0;
    QTest::newRow("small") << 100;
    QTest::newRow("one end long") << RemoteProbe::EdgeLength;
    QTest::newRow("one byte more") << RemoteProbe::EdgeLength + 1;
    QTest::newRow("large") << 300000;
}

// The size, the beginning and the end, read by offset (REST) instead of the whole copy.
void TestFtpTransfer::probe()
{
    QFETCH(int, size);
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QByteArray bytes = payload(std::max(size, 0));
    if (size >= 0)
        QVERIFY(server.writeFile(QStringLiteral("backup/codes.pass"), bytes));

    const Outcome out = run(TFileFTP::CreateForProbe(params(server, QStringLiteral("backup/codes.pass"))));
    QVERIFY(out.done && out.freed);
    QCOMPARE(out.error, QString());
    QCOMPARE(out.missing, size < 0);
    QCOMPARE(out.probe.missing, size < 0);
    if (size >= 0)
        QVERIFY(out.probe.equals(probeOf(bytes)));
    // Quiet, and never the whole copy.
    QVERIFY(out.progress.isEmpty());
    QCOMPARE(out.maximum, -1);
    QVERIFY2(out.bytesDone <= 2 * RemoteProbe::EdgeLength, qPrintable(QString::number(out.bytesDone)));
    const QStringList log = server.commandLog();
    QVERIFY(log.count(QStringLiteral("RETR backup/codes.pass")) <= 2);
    if (size > RemoteProbe::EdgeLength)
        QVERIFY(log.contains(QStringLiteral("REST %1").arg(size - RemoteProbe::EdgeLength)));
}

void TestFtpTransfer::racingUploads_data()
{
    QTest::addColumn<bool>("meet");
    QTest::newRow("replacements at the same moment") << true;
    QTest::newRow("free") << false;
}

// Two computers save at the same moment. Over plain FTP both write into the one temporary name:
// the copy on the server must stay whole (the old one or one of the two, byte for byte), and an
// upload is told verified only when its bytes are the ones there.
void TestFtpTransfer::racingUploads()
{
    QFETCH(bool, meet);
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    QByteArray held = payload(50000);
    QVERIFY(server.writeFile(QStringLiteral("codes.pass"), held));
    const TFileFTP::Parameters p = params(server, QStringLiteral("codes.pass"));
    for (int round = 0; round < 3; ++round) {
        const QByteArray a = payload(200000);
        const QByteArray b = payload(200000);
        const auto race = testsupport::raceUploads(p, a, b, meet);
        QVERIFY(race[0].done && race[1].done);
        const QByteArray now = server.readFile(QStringLiteral("codes.pass"));
        QVERIFY2(now == held || now == a || now == b, "the copy on the server is no longer whole");
        const QByteArray sent[2] = {a, b};
        for (int i = 0; i < 2; ++i) {
            // Nothing passes for a success unseen.
            QVERIFY(race[i].verified || race[i].replacedMeanwhile || !race[i].error.isEmpty());
            QVERIFY(!(race[i].verified && race[i].replacedMeanwhile));
            QCOMPARE(race[i].temporaryName, QStringLiteral("codes.tmp"));
            if (meet && race[i].verified)
                QCOMPARE(now, sent[i]);
        }
        if (meet)
            QVERIFY2(!(race[0].verified && race[1].verified), "both told saved while the server holds one");
        QVERIFY(!server.exists(QStringLiteral("codes.tmp")));
        held = now;
    }
}

void TestFtpTransfer::sizeCap_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("cap");
    QTest::addColumn<bool>("statusBar");
    QTest::addColumn<QString>("message");
    const QString tooLarge = QStringLiteral("This document is larger than 1 MiB");
    const QString more = QStringLiteral("Download failed: the file was not received completely");
    QTest::newRow("announced larger, dialog") << QString() << 3 * 1024 * 1024 << 1024 * 1024 << false << tooLarge;
    QTest::newRow("announced larger, status bar") << QString() << 3 * 1024 * 1024 << 1024 * 1024 << true << tooLarge;
    QTest::newRow("the cap itself is allowed") << QString() << 1024 * 1024 << 1024 * 1024 << false << QString();
    // The server announces 5000 bytes and never stops sending.
    QTest::newRow("more than announced") << "endless-download" << 5000 << 1024 * 1024 << false << more;
}

void TestFtpTransfer::sizeCap()
{
    QFETCH(QString, fault);
    QFETCH(int, size);
    QFETCH(int, cap);
    QFETCH(bool, statusBar);
    QFETCH(QString, message);
    FtpServer server(QStringLiteral("alice"), QStringLiteral("s3cret"), fault);
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QByteArray bytes = payload(size);
    QVERIFY(server.writeFile(QStringLiteral("codes.pass"), bytes));
    const qint64 saved = TFileFTP::maxDownloadBytes();
    QCOMPARE(saved, docfile::kMaxDocumentBytes);
    TFileFTP::setMaxDownloadBytes(cap);
    const TFileFTP::Parameters p = params(server, QStringLiteral("codes.pass"));
    const Outcome out = run(statusBar ? TFileFTP::CreateForStatusBar(p) : TFileFTP::CreateForDialog(p, true));
    TFileFTP::setMaxDownloadBytes(saved);
    QVERIFY(out.done);
    if (message.isEmpty()) {
        QCOMPARE(out.error, QString());
        QCOMPARE(out.data, bytes);
        return;
    }
    QVERIFY2(out.error.startsWith(message), qPrintable(out.error));
    QVERIFY(out.data.isEmpty());
    if (fault.isEmpty()) // refused on the size announced: not a byte of it asked for
        QVERIFY(!server.commandLog().contains(QStringLiteral("RETR codes.pass")));
    else // stopped at the first byte past the size announced
        QVERIFY(out.progress.isEmpty() || out.progress.last() <= size);
}

QTEST_GUILESS_MAIN(TestFtpTransfer)
#include "tst_ftptransfer.moc"
