// tresorin-cli with strong documents: made by import, switched both ways by passwd, shown by info,
// read by export and search, and refused when damaged. The key derivation's cost is given on the
// command line (64 MiB, one or two passes) so that no run waits for a calibrated second.

#include "crypto/Cipher.h"
#include "crypto/StrongContainer.h"
#include "document/DocumentFile.h"
#include "platform/Win1252.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using testsupport::TempFolder;

namespace {

using Run = testsupport::ProcessResult;

Run run(const QStringList& args, const QByteArray& input)
{
    return testsupport::ProcessRunner::cli().run(args, input);
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isStrong(const QByteArray& bytes)
{
    return strong::looksLikeContainer(bytes.constData(), bytes.size());
}

bool isCompatible(const QByteArray& bytes, const QByteArray& password)
{
    QByteArray plain;
    const bool ok = decipherDocument(bytes, password, plain);
    secureWipe(plain);
    return ok;
}

const QByteArray kJson = "{\"groups\": [{\"name\": \"Bank\"}, {\"name\": \"Mail\", \"parent\": 0}],"
                         " \"entries\": [{\"group\": 1, \"name\": \"webmail\", \"login\": \"me\", \"password\":"
                         " \"hunter2\", \"webAddress\": \"https://mail\", \"created\": 45000.5}]}";

QByteArray infoProtection(const QByteArray& out)
{
    for (const QByteArray& line : out.split('\n'))
        if (line.startsWith("Protection: "))
            return line;
    return QByteArray();
}

} // namespace

class TestCliStrong : public QObject
{
    Q_OBJECT

private slots:
    void importStrongThenReadItEveryWay();
    void passwdSwitchesBothWays();
    void damagedDocumentIsRefused();
    void badOptionsWriteNothing_data();
    void badOptionsWriteNothing();
};

void TestCliStrong::importStrongThenReadItEveryWay()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("doc.json"), kJson));
    const QString json = dir.filePath(QStringLiteral("doc.json"));
    const QString strongPath = dir.filePath(QStringLiteral("strong.pass"));
    const QString plainPath = dir.filePath(QStringLiteral("plain.pass"));

    Run r = run({"import", "--strong", "--kdf-memory", "64", "--kdf-passes=1", json, strongPath}, "pw\npw\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.startsWith("tresorin-cli import: ") && r.err.count('\n') == 1, r.err.constData());
    QVERIFY(isStrong(fileBytes(strongPath)));
    QCOMPARE(run({"import", json, plainPath}, "pw\npw\n").exitCode, 0);
    QVERIFY(isCompatible(fileBytes(plainPath), "pw"));

    r = run({"info", strongPath}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(infoProtection(r.out), QByteArray("Protection: strong (Argon2id, 1 pass, 64 MiB; XChaCha20-Poly1305)"));
    QVERIFY(r.out.contains("Format: 7"));
    QCOMPARE(infoProtection(run({"info", plainPath}, "pw\n").out),
             QByteArray("Protection: compatible (SHA-1, Blowfish)"));

    // Both containers hold the same document.
    const Run strongExport = run({"export", strongPath}, "pw\n");
    const Run plainExport = run({"export", plainPath}, "pw\n");
    QCOMPARE(strongExport.exitCode, 0);
    QVERIFY(strongExport.out.contains("hunter2"));
    const QJsonObject a = QJsonDocument::fromJson(strongExport.out).object();
    const QJsonObject b = QJsonDocument::fromJson(plainExport.out).object();
    QCOMPARE(a.value("groups"), b.value("groups"));
    QCOMPARE(a.value("entries"), b.value("entries"));
    QCOMPARE(a.value("header").toObject().value("saveCount"), b.value("header").toObject().value("saveCount"));

    r = run({"search", "--show-passwords", strongPath, "webmail"}, "pw\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("hunter2"));

    r = run({"export", strongPath}, "PW\n");
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
}

void TestCliStrong::passwdSwitchesBothWays()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("doc.json"), kJson));
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QCOMPARE(run({"import", dir.filePath(QStringLiteral("doc.json")), path}, "old\nold\n").exitCode, 0);

    Run r = run({"passwd", "--strong", "--kdf-memory=64", "--kdf-passes", "2", path}, "old\nnew\nnew\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), r.err.constData());
    QVERIFY(isStrong(fileBytes(path)));
    QCOMPARE(infoProtection(run({"info", path}, "new\n").out),
             QByteArray("Protection: strong (Argon2id, 2 passes, 64 MiB; XChaCha20-Poly1305)"));

    // Without an option the protection and its cost stay; the salt is new with the password.
    const QByteArray before = fileBytes(path);
    QCOMPARE(run({"passwd", path}, "new\nnewer\nnewer\n").exitCode, 0);
    const QByteArray after = fileBytes(path);
    QVERIFY(isStrong(after));
    QCOMPARE(after.mid(12, 8), before.mid(12, 8));
    QVERIFY(after.mid(20, 16) != before.mid(20, 16));
    QCOMPARE(run({"info", path}, "new\n").exitCode, 2);

    r = run({"passwd", "--compatible", path}, "newer\nnewer\nnewer\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(isCompatible(fileBytes(path), "newer"));
    QCOMPARE(infoProtection(run({"info", path}, "newer\n").out),
             QByteArray("Protection: compatible (SHA-1, Blowfish)"));
    r = run({"export", path}, "newer\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("hunter2"));
}

void TestCliStrong::damagedDocumentIsRefused()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("doc.json"), kJson));
    const QString path = dir.filePath(QStringLiteral("doc.pass"));
    QCOMPARE(run({"import", "--strong", "--kdf-memory", "64", "--kdf-passes", "1",
                  dir.filePath(QStringLiteral("doc.json")), path},
                 "pw\npw\n")
                 .exitCode,
             0);
    QByteArray bytes = fileBytes(path);
    bytes[bytes.size() - 20] ^= 0x01;
    QVERIFY(dir.writeFile(QStringLiteral("doc.pass"), bytes));

    for (const char* command : {"export", "info"}) {
        const Run r = run({command, path}, "pw\n");
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err, QStringLiteral("tresorin-cli %1: %2: The document has been altered or damaged.\n")
                            .arg(QLatin1String(command), path)
                            .toUtf8());
    }
    QCOMPARE(run({"passwd", "--compatible", path}, "pw\nx\nx\n").exitCode, 1);
    QCOMPARE(fileBytes(path), bytes);
}

void TestCliStrong::badOptionsWriteNothing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");
    QTest::newRow("both containers") << QStringList{"--strong", "--compatible"} << "exclude each other";
    QTest::newRow("cost without --strong") << QStringList{"--kdf-memory", "64"} << "go with --strong";
    QTest::newRow("below 64 MiB") << QStringList{"--strong", "--kdf-memory", "32"} << "64 to 1024 MiB";
    QTest::newRow("above 1 GiB") << QStringList{"--strong", "--kdf-memory", "2048"} << "64 to 1024 MiB";
    QTest::newRow("too costly") << QStringList{"--strong", "--kdf-memory", "1024", "--kdf-passes", "9"}
                                << "at most 8192 MiB";
    QTest::newRow("65 passes") << QStringList{"--strong", "--kdf-passes", "65"} << "1 to 64 passes";
    QTest::newRow("no number") << QStringList{"--strong", "--kdf-passes", "many"} << "needs a positive number";
    QTest::newRow("no value") << QStringList{"--strong", "--kdf-passes"} << "needs a number";
}

void TestCliStrong::badOptionsWriteNothing()
{
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("doc.json"), kJson));
    const QString out = dir.filePath(QStringLiteral("out.pass"));
    QStringList args{QStringLiteral("import")};
    args << options;
    // A value missing at the end of the options would take the next argument: here none is left.
    if (!options.endsWith(QStringLiteral("--kdf-passes")))
        args << dir.filePath(QStringLiteral("doc.json")) << out;
    const Run r = run(args, "pw\npw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(QString::fromUtf8(r.err).contains(error), r.err.constData());
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestCliStrong)
#include "tst_cli_strong.moc"
