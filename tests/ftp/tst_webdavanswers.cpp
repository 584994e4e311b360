// The answers of a WebDAV server that a transfer must never take for what they are not, from a
// small HTTP server of the test's own on 127.0.0.1 (plain HTTP on the loopback): a body without
// end (the size cap), a redirection of an upload step or of a download (never followed, a
// failure with its status), and a server that ignores ranges (the probe still reads only what it
// needs).

#include "ftp/TFileFTP.h"
#include "lang/LangTable.h"
#include "support/HttpServer.h"
#include "support/TransferRunner.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray payload(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

using Outcome = testsupport::TransferOutcome;

Outcome run(TFileFTP* worker)
{
    return testsupport::runTransfer(worker);
}

} // namespace

class TestWebDavAnswers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void endlessBody_data();
    void endlessBody();
    void redirections_data();
    void redirections();
    void probeFromAServerIgnoringRanges_data();
    void probeFromAServerIgnoringRanges();
    void downloadTakesOnlyAWholeAnswer_data();
    void downloadTakesOnlyAWholeAnswer();
};

void TestWebDavAnswers::initTestCase()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    QVERIFY(WinInetAvailable());
    TFileFTP::setTimeouts({5000, 5000, 5});
}

void TestWebDavAnswers::endlessBody_data()
{
    QTest::addColumn<qint64>("announced"); // -1: none, chunked
    QTest::newRow("chunked, no size") << qint64(-1);
    QTest::newRow("10 GiB announced") << (qint64(10) << 30);
}

// A WebDAV server that sends without end: stopped as the body crosses the cap, or at once when
// it announces more.
void TestWebDavAnswers::endlessBody()
{
    QFETCH(qint64, announced);
    testsupport::HttpServer server;
    QVERIFY(server.isListening());
    server.handler = [&server, announced](const testsupport::HttpServer::Request&, QTcpSocket* socket) {
        server.stream(socket, announced, qint64(256) << 20);
    };
    const testsupport::DownloadCap cap(1024 * 1024);
    TFileFTP::Parameters p;
    p.ServerName = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    p.RemotePath = QStringLiteral("codes.pass");
    const Outcome out = run(TFileFTP::CreateForStatusBar(p));
    QVERIFY(out.done);
    QVERIFY2(out.error.startsWith(QStringLiteral("This document is larger than 1 MiB")), qPrintable(out.error));
    QVERIFY(out.data.isEmpty());
    QVERIFY(out.bytesDone <= 1024 * 1024);
    if (announced > 0)
        QCOMPARE(out.bytesDone, 0);
    // Stopped, not read to the end: the server wrote little more than the cap and its buffers.
    QVERIFY2(server.streamedBytes() < (qint64(32) << 20), qPrintable(QString::number(server.streamedBytes())));
}

void TestWebDavAnswers::redirections_data()
{
    QTest::addColumn<QByteArray>("method"); // the step answered with a redirection
    QTest::addColumn<QByteArray>("status");
    for (const char* method : {"PUT", "MOVE", "GET"})
        for (const char* status :
             {"301 Moved Permanently", "302 Found", "307 Temporary Redirect", "308 Permanent Redirect"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(method), QLatin1String(status))))
                << QByteArray(method) << QByteArray(status);
}

// A redirection is never followed, and never a success: the upload (or the download) fails with
// the status in its text, and an upload's temporary file is removed.
void TestWebDavAnswers::redirections()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, status);
    testsupport::HttpServer server;
    QVERIFY(server.isListening());
    const QByteArray elsewhere = server.url(QStringLiteral("/elsewhere/codes.pass")).toLatin1();
    server.handler = [&](const testsupport::HttpServer::Request& request, QTcpSocket* socket) {
        if (request.method == method)
            testsupport::HttpServer::reply(socket, status, {"Location: " + elsewhere}, "moved");
        else if (request.method == "GET")
            testsupport::HttpServer::reply(socket, "200 OK", {}, "the document");
        else if (request.method == "DELETE")
            testsupport::HttpServer::reply(socket, "204 No Content");
        else
            testsupport::HttpServer::reply(socket, "201 Created");
    };
    TFileFTP::Parameters p;
    p.ServerName = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    p.RemotePath = QStringLiteral("codes.pass");
    const bool download = method == "GET";
    const Outcome out = run(download ? TFileFTP::CreateForDialog(p, true) : TFileFTP::CreateForDialog(p, false, "doc"));
    QVERIFY(out.done);
    QVERIFY2(out.error.contains(QStringLiteral("HTTP/1.1 ") + QString::fromLatin1(status.left(3))),
             qPrintable(out.error));
    QVERIFY(out.data.isEmpty());
    QVERIFY(!out.verified && !out.replacedMeanwhile);
    QStringList methods;
    for (const auto& request : server.received) {
        QVERIFY2(!request.target.startsWith(QLatin1String("/elsewhere")), "a redirection was followed");
        methods << QString::fromLatin1(request.method);
    }
    if (download) {
        QVERIFY2(out.error.startsWith(QStringLiteral("Error accessing 'codes.pass' :")), qPrintable(out.error));
        QCOMPARE(methods, QStringList{QStringLiteral("GET")});
        return;
    }
    const QString temporary = QLatin1Char('/') + out.temporaryName;
    if (method == "PUT") {
        QVERIFY2(out.error.startsWith(QStringLiteral("Error accessing 'codes.pass' :")), qPrintable(out.error));
        QCOMPARE(methods, (QStringList{QStringLiteral("PUT"), QStringLiteral("DELETE")}));
    } else {
        QVERIFY2(out.error.startsWith(QStringLiteral("FTP Error renaming %1 into codes.pass").arg(out.temporaryName)),
                 qPrintable(out.error));
        QCOMPARE(methods, (QStringList{QStringLiteral("PUT"), QStringLiteral("MOVE"), QStringLiteral("DELETE")}));
    }
    // The temporary file that was stored is the one removed.
    QCOMPARE(server.received.first().target, temporary);
    QCOMPARE(server.received.last().target, temporary);
}

void TestWebDavAnswers::probeFromAServerIgnoringRanges_data()
{
    QTest::addColumn<int>("size");   // -1: no file
    QTest::addColumn<bool>("sized"); // the body's size announced (else chunked)
    QTest::newRow("missing") << -1 << true;
    QTest::newRow("small") << 100 << true;
    QTest::newRow("small, chunked") << 100 << false;
    QTest::newRow("large") << 300000 << true;
}

// A WebDAV server without ranges answers every request with the whole file: the probe still
// takes only the beginning of the first answer, and the end of the second.
void TestWebDavAnswers::probeFromAServerIgnoringRanges()
{
    QFETCH(int, size);
    QFETCH(bool, sized);
    testsupport::HttpServer server;
    QVERIFY(server.isListening());
    const QByteArray bytes = payload(std::max(size, 0));
    server.handler = [&](const testsupport::HttpServer::Request&, QTcpSocket* socket) {
        if (size < 0) {
            testsupport::HttpServer::reply(socket, "404 Not Found", {}, "no such file");
        } else if (sized) {
            testsupport::HttpServer::reply(socket, "200 OK", {}, bytes);
        } else {
            socket->write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n" +
                          QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n0\r\n\r\n");
            socket->disconnectFromHost();
        }
    };
    TFileFTP::Parameters p;
    p.ServerName = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    p.RemotePath = QStringLiteral("codes.pass");
    const Outcome out = run(TFileFTP::CreateForProbe(p));
    QCOMPARE(out.error, QString());
    QCOMPARE(out.missing, size < 0);
    if (size >= 0)
        QVERIFY(out.probe.equals(probeOf(bytes)));
    for (const auto& request : server.received)
        QVERIFY(!request.header("Range").isEmpty());
}

void TestWebDavAnswers::downloadTakesOnlyAWholeAnswer_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("part of the file") << QByteArray("206 Partial Content");
    QTest::newRow("nothing") << QByteArray("204 No Content");
    QTest::newRow("whole") << QByteArray("200 OK");
}

// A download asks for no range: only a 200 answer is the file.
void TestWebDavAnswers::downloadTakesOnlyAWholeAnswer()
{
    QFETCH(QByteArray, status);
    testsupport::HttpServer server;
    QVERIFY(server.isListening());
    server.handler = [&](const testsupport::HttpServer::Request&, QTcpSocket* socket) {
        testsupport::HttpServer::reply(socket, status, {"Content-Range: bytes 0-3/100"},
                                       status == "204 No Content" ? "" : "part");
    };
    TFileFTP::Parameters p;
    p.ServerName = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    p.RemotePath = QStringLiteral("codes.pass");
    const Outcome out = run(TFileFTP::CreateForDialog(p, true));
    QVERIFY(out.done);
    if (status.startsWith("200")) {
        QCOMPARE(out.error, QString());
        QCOMPARE(out.data, QByteArray("part"));
        return;
    }
    QVERIFY2(out.error.startsWith(QStringLiteral("Error accessing 'codes.pass' :")), qPrintable(out.error));
    QVERIFY(out.error.contains(QString::fromLatin1(status)));
    QVERIFY(out.data.isEmpty());
}

QTEST_GUILESS_MAIN(TestWebDavAnswers)
#include "tst_webdavanswers.moc"
