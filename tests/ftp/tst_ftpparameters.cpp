// FTP parameters outside the dialog: the credentials of the settings file (round trip, a key
// changed by hand, strict Base64, characters outside the code page), the "FTP" section, the
// clean-up of typed fields and the syntax of the FTP entry.

#include "crypto/Cipher.h"
#include "crypto/SecureBytes.h"
#include "ftp/FtpParameters.h"
#include "platform/Win1252.h"
#include "settings/IniFile.h"
#include "support/TempFolder.h"

#include <QtTest>

class TestFtpParameters : public QObject
{
    Q_OBJECT

private slots:
    void credentialRoundTrip_data();
    void credentialRoundTrip();
    void credentialIsTheCipherOfTheKeyInBase64();
    void handEditedKeyGivesGarbage();
    void credentialBuffersAreWiped();
    void malformedStoredValuesDecodeToEmpty_data();
    void malformedStoredValuesDecodeToEmpty();
    void iniSection();
    void fieldCleanUp_data();
    void fieldCleanUp();
    void entrySyntax_data();
    void entrySyntax();
    void applyFtpEntry();
};

void TestFtpParameters::credentialRoundTrip_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("expected");
    QTest::newRow("login") << "alice"
                           << "alice";
    QTest::newRow("one block and a tail") << "a longer password!"
                                          << "a longer password!";
    QTest::newRow("Windows-1252") << QStringLiteral("mot de passe é€") << QStringLiteral("mot de passe é€");
    QTest::newRow("outside the code page") << QStringLiteral("Ωmega") << "?mega";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFtpParameters::credentialRoundTrip()
{
    QFETCH(QString, plain);
    QFETCH(QString, expected);
    const QString key = QStringLiteral("ftp.example.combackup/codes.pass");
    const QString stored = EncodeIniCredential(plain, key);
    QCOMPARE(stored.isEmpty(), plain.isEmpty());
    QVERIFY(!stored.contains(plain) || plain.isEmpty());
    QCOMPARE(DecodeIniCredential(stored, key), expected);
}

void TestFtpParameters::credentialIsTheCipherOfTheKeyInBase64()
{
    // The stored bytes are exactly as long as the text: no check value, feedback from InitKey.
    const QString key = QStringLiteral("hostfile");
    const QByteArray plain = "0123456789ab";
    TCipher_Blowfish cipher;
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    cipher.InitKey(win1252::fromUnicode(key));
    QByteArray expected(plain.size(), 0);
    cipher.ChainEncode(reinterpret_cast<const uchar*>(plain.constData()), reinterpret_cast<uchar*>(expected.data()),
                       plain.size());
    const QString stored = EncodeIniCredential(QString::fromLatin1(plain), key);
    QCOMPARE(stored, QString::fromLatin1(expected.toBase64()));
    QCOMPARE(QByteArray::fromBase64(stored.toLatin1()).size(), plain.size());
}

void TestFtpParameters::handEditedKeyGivesGarbage()
{
    const QString stored = EncodeIniCredential(QStringLiteral("alice"), QStringLiteral("hostcodes.pass"));
    const QString decoded = DecodeIniCredential(stored, QStringLiteral("otherhostcodes.pass"));
    QCOMPARE(decoded.size(), 5);
    QVERIFY(decoded != QStringLiteral("alice"));
}

namespace {
QList<QByteArray> g_wipedBytes;
void noteWipedBytes(const void* begin, qsizetype bytes)
{
    g_wipedBytes << QByteArray(static_cast<const char*>(begin), bytes);
}
} // namespace

// The deciphered password and the key bytes are cleared before their buffers are freed.
void TestFtpParameters::credentialBuffersAreWiped()
{
    const QString key = QStringLiteral("ftp.example.orgbackup/codes.pass");
    const QString plain = QStringLiteral("a-long-ftp-password");
    const QString stored = EncodeIniCredential(plain, key);
    g_wipedBytes.clear();
    setBytesWipeObserver(noteWipedBytes);
    const auto noObserver = qScopeGuard([] { setBytesWipeObserver(nullptr); });
    QCOMPARE(DecodeIniCredential(stored, key), plain);
    // The plain text's buffer and the key's buffer, each cleared whole.
    const auto wipedAtLeast = [](qsizetype size) {
        return std::count_if(g_wipedBytes.begin(), g_wipedBytes.end(),
                             [size](const QByteArray& b) { return b.size() >= size && b.count('\0') == b.size(); });
    };
    QVERIFY2(wipedAtLeast(plain.size()) >= 2, qPrintable(QString::number(g_wipedBytes.size())));
    g_wipedBytes.clear();
    QCOMPARE(EncodeIniCredential(plain, key), stored);
    QVERIFY2(wipedAtLeast(plain.size()) >= 2, qPrintable(QString::number(g_wipedBytes.size())));
}

void TestFtpParameters::malformedStoredValuesDecodeToEmpty_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("length not a multiple of 4") << "YWJjZA=";
    QTest::newRow("character outside the alphabet") << "YW*jZA==";
    QTest::newRow("URL alphabet") << "YW_jZA==";
    QTest::newRow("padding inside") << "YW==ZA==";
    QTest::newRow("line break") << "YWJj\nZA==";
}

void TestFtpParameters::malformedStoredValuesDecodeToEmpty()
{
    QFETCH(QString, stored);
    QCOMPARE(DecodeIniCredential(stored, QStringLiteral("key")), QString());
}

void TestFtpParameters::iniSection()
{
    testsupport::TempFolder tmp;
    const QString path = tmp.filePath(QStringLiteral("Tresorin.ini"));
    QVERIFY(tmp.writeFile(QStringLiteral("Tresorin.ini"), "[Main]\r\nLangue=US\r\n"));
    IniFile ini(path);
    FtpIniSection read;
    read.read(ini);
    QCOMPARE(read.Port, 21);
    QVERIFY(!read.Passif);
    QVERIFY(read.Serveur.isEmpty() && read.Login.isEmpty());

    FtpIniSection section;
    section.Serveur = QStringLiteral(" ftp.example ");
    section.Port = 2121;
    section.Passif = true;
    section.Fichier = QStringLiteral("backup/codes.pass");
    section.Login = QStringLiteral("  alice ");
    section.Pass = QStringLiteral("s3cret\t");
    section.write(ini);
    QVERIFY(ini.save());

    const IniFile back(path);
    QCOMPARE(back.readString(QStringLiteral("Main"), QStringLiteral("Langue")), QStringLiteral("US"));
    QCOMPARE(back.readString(QStringLiteral("FTP"), QStringLiteral("Serveur")), QStringLiteral(" ftp.example "));
    // The key joins the trimmed server and file; the credentials are stored trimmed, never plain.
    const QString key = QStringLiteral("ftp.examplebackup/codes.pass");
    QCOMPARE(back.readString(QStringLiteral("FTP"), QStringLiteral("Login")),
             EncodeIniCredential(QStringLiteral("alice"), key));
    QVERIFY(!back.encodedText().contains("s3cret"));
    FtpIniSection again;
    again.read(back);
    QCOMPARE(again.Port, 2121);
    QVERIFY(again.Passif);
    QCOMPARE(again.Fichier, QStringLiteral("backup/codes.pass"));
    QCOMPARE(again.Login, QStringLiteral("alice"));
    QCOMPARE(again.Pass, QStringLiteral("s3cret"));
}

void TestFtpParameters::fieldCleanUp_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("server: scheme") << true << " ftp://myhost "
                                    << "myhost";
    QTest::newRow("server: scheme in capitals") << true << "FTP://myhost"
                                                << "myhost";
    QTest::newRow("server: path glued") << true << "myhost/dir"
                                        << "myhostdir";
    QTest::newRow("server: only slashes") << true << "//"
                                          << "";
    QTest::newRow("server: sftp address kept") << true << " sftp://myhost:2222 "
                                               << "sftp://myhost:2222";
    QTest::newRow("server: https folder kept") << true << "https://dav.example/dav/"
                                               << "https://dav.example/dav";
    QTest::newRow("server: ftps in capitals kept") << true << "FTPS://myhost"
                                                   << "FTPS://myhost";
    QTest::newRow("file: remote path kept") << false << "backup/codes.pass"
                                            << "backup/codes.pass";
    QTest::newRow("file: local path") << false << "C:\\docs\\codes.pass"
                                      << "codes.pass";
}

void TestFtpParameters::fieldCleanUp()
{
    QFETCH(bool, server);
    QFETCH(QString, typed);
    QFETCH(QString, cleaned);
    QCOMPARE(server ? CleanServerField(typed) : CleanFileField(typed), cleaned);
}

void TestFtpParameters::entrySyntax_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("passive");
    QTest::newRow("full") << "ftp://myhost:2121/backup/codes.pass /PASV"
                          << "myhost" << 2121 << "backup/codes.pass" << true;
    QTest::newRow("host and file") << "myhost/codes.pass"
                                   << "myhost" << 21 << "codes.pass" << false;
    QTest::newRow("host alone") << "myhost"
                                << "" << 21 << "myhost" << false;
    QTest::newRow("port not a number") << "myhost:ftp/codes.pass"
                                       << "myhost" << 21 << "codes.pass" << false;
    QTest::newRow("user part ignored") << "ftp://bob:pw@myhost/codes.pass"
                                       << "myhost" << 21 << "codes.pass" << false;
    QTest::newRow("PASSIF in any case") << "myhost/codes.pass/passif"
                                        << "myhost" << 21 << "codes.pass" << true;
    QTest::newRow("pasv inside a path") << "myhost/a/pasvdata/x.pass"
                                        << "myhost" << 21 << "adata/x.pass" << true;
    QTest::newRow("sftp keeps its scheme and port") << "SFTP://bob@myhost:2222/backup/codes.pass"
                                                    << "sftp://myhost:2222" << 2222 << "backup/codes.pass" << false;
    QTest::newRow("ftps without a port") << "ftps://myhost/codes.pass /PASV"
                                         << "ftps://myhost" << 21 << "codes.pass" << true;
    QTest::newRow("https with folders") << "https://dav.example/remote.php/dav/codes.pass"
                                        << "https://dav.example" << 21 << "remote.php/dav/codes.pass" << false;
}

void TestFtpParameters::entrySyntax()
{
    QFETCH(QString, address);
    const FtpEntryAddress parsed = ParseFtpEntry(address);
    QTEST(parsed.server, "server");
    QTEST(parsed.port, "port");
    QTEST(parsed.path, "path");
    QTEST(parsed.passive, "passive");
}

void TestFtpParameters::applyFtpEntry()
{
    TFeuille entry;
    entry.WebAddress = QStringLiteral("ftp://myhost:2121/backup/codes.pass");
    entry.Login = QStringLiteral("bob");
    entry.Password = QStringLiteral("pw");
    TDoc doc;
    doc.ServerName = QStringLiteral("before");
    doc.PassiveMode = true;

    ApplyFTPEntry(doc, entry);
    QCOMPARE(doc.ServerName, QStringLiteral("before")); // UseFtpEntry off: nothing changes

    doc.UseFtpEntry = true;
    ApplyFTPEntry(doc, entry);
    QCOMPARE(doc.ServerName, QStringLiteral("myhost"));
    QCOMPARE(doc.PortNumber, 2121);
    QCOMPARE(doc.RemotePath, QStringLiteral("backup/codes.pass"));
    QCOMPARE(doc.UserName, QStringLiteral("bob"));
    QCOMPARE(doc.UserPassword, QStringLiteral("pw"));
    QVERIFY(doc.PassiveMode); // only ever switched on
}

QTEST_GUILESS_MAIN(TestFtpParameters)
#include "tst_ftpparameters.moc"
