#include "settings/IniFile.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

using testsupport::TempFolder;

class TestIniFile : public QObject
{
    Q_OBJECT

private:
    static IniFile loaded(const TempFolder& dir, const QByteArray& bytes)
    {
        dir.writeFile(QStringLiteral("t.ini"), bytes);
        return IniFile(dir.filePath(QStringLiteral("t.ini")));
    }

private slots:
    void readInteger_data();
    void readInteger();
    void readString_data();
    void readString();
    void readIsCappedAt2047();
    void missingFileIsEmptyAndNotCreated();
    void writeKeepsEveryOtherLine_data();
    void writeKeepsEveryOtherLine();
    void valuesSurviveRoundTrip_data();
    void valuesSurviveRoundTrip();
    void saveWithoutChangeTouchesNothing();
    void saveCreatesFolder();
    void failedSaveKeepsOldFile();
    void failedSaveWhenFolderIsAFile();
    void unreadableFileIsNotReplaced();
    void hugeFileIsNeitherReadNorReplaced();
    void encodings_data();
    void encodings();
    void dateTimes_data();
    void dateTimes();
    void unreadableDateGivesFallback();
};

void TestIniFile::readInteger_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    const int fallback = 99;
    QTest::newRow("decimal") << "42" << 42;
    QTest::newRow("negative") << "-17" << -17;
    QTest::newRow("plus sign") << "+8" << 8;
    QTest::newRow("blanks around") << "  12  " << 12;
    QTest::newRow("dollar hex") << "$1F" << 31;
    QTest::newRow("dollar hex small") << "$ff" << 255;
    QTest::newRow("0x hex") << "0x1F" << 31;
    QTest::newRow("0X hex") << "0X10" << 16;
    QTest::newRow("0x0") << "0x0" << 0;
    QTest::newRow("full 32-bit pattern") << "$FFFFFFFF" << -1;
    QTest::newRow("0x alone") << "0x" << fallback;
    QTest::newRow("dollar alone") << "$" << fallback;
    QTest::newRow("empty") << "" << fallback;
    QTest::newRow("garbage") << "abc" << fallback;
    QTest::newRow("trailing garbage") << "12abc" << fallback;
    QTest::newRow("bad hex digit") << "$1G" << fallback;
    QTest::newRow("hex too long") << "$123456789" << fallback;
    QTest::newRow("decimal overflow") << "2147483648" << fallback;
    QTest::newRow("smallest int") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("largest int") << "2147483647" << 2147483647;
    QTest::newRow("inner blank") << "1 2" << fallback;
    QTest::newRow("sign only") << "-" << fallback;
    QTest::newRow("signed hex") << "-$10" << fallback;
}

void TestIniFile::readInteger()
{
    QFETCH(QString, value);
    QFETCH(int, expected);
    TempFolder dir;
    const IniFile ini = loaded(dir, "[S]\nk=" + value.toUtf8() + "\n");
    QCOMPARE(ini.readInteger(QStringLiteral("S"), QStringLiteral("k"), 99), expected);
    // Booleans follow the integer rules: non-zero is true, unreadable gives the fallback.
    QCOMPARE(ini.readBool(QStringLiteral("S"), QStringLiteral("k"), false), expected != 99 && expected != 0);
}

void TestIniFile::readString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "<none>" for "not found"

    const QByteArray basic = "; comment=1\n[Main]\nLangue=FR\nEmpty=\n  Spaced  =  a b  \n";
    QTest::newRow("plain") << basic << "Main"
                           << "Langue"
                           << "FR";
    QTest::newRow("section case") << basic << "MAIN"
                                  << "Langue"
                                  << "FR";
    QTest::newRow("key case") << basic << "main"
                              << "LANGUE"
                              << "FR";
    QTest::newRow("empty value") << basic << "Main"
                                 << "Empty"
                                 << "";
    QTest::newRow("blanks trimmed") << basic << "Main"
                                    << "Spaced"
                                    << "a b";
    QTest::newRow("missing key") << basic << "Main"
                                 << "Other"
                                 << "<none>";
    QTest::newRow("missing section") << basic << "Idle"
                                     << "Langue"
                                     << "<none>";
    QTest::newRow("comment is no key") << basic << "Main"
                                       << "; comment"
                                       << "<none>";
    QTest::newRow("key before any section") << QByteArray("k=1\n[S]\n") << "S"
                                            << "k"
                                            << "<none>";
    QTest::newRow("duplicate key: first wins") << QByteArray("[S]\nk=1\nK=2\n") << "S"
                                               << "k"
                                               << "1";
    QTest::newRow("duplicate section: first wins") << QByteArray("[S]\na=1\n[T]\n[s]\nb=2\n") << "S"
                                                   << "b"
                                                   << "<none>";
    QTest::newRow("other section not searched") << QByteArray("[S]\n[T]\nk=3\n") << "S"
                                                << "k"
                                                << "<none>";
    QTest::newRow("crlf") << QByteArray("[S]\r\nk=v\r\n") << "S"
                          << "k"
                          << "v";
    QTest::newRow("no final line end") << QByteArray("[S]\nk=v") << "S"
                                       << "k"
                                       << "v";
    QTest::newRow("double quotes dropped") << QByteArray("[S]\nk=\" a \"\n") << "S"
                                           << "k"
                                           << " a ";
    QTest::newRow("single quotes dropped") << QByteArray("[S]\nk='x'\n") << "S"
                                           << "k"
                                           << "x";
    QTest::newRow("unmatched quote kept") << QByteArray("[S]\nk=\"x\n") << "S"
                                          << "k"
                                          << "\"x";
    QTest::newRow("equals in value") << QByteArray("[S]\nk=a=b\n") << "S"
                                     << "k"
                                     << "a=b";
    QTest::newRow("blanks in header") << QByteArray("  [ S ]  \nk=1\n") << "S"
                                      << "k"
                                      << "1";
    QTest::newRow("header without bracket") << QByteArray("[S\nk=1\n") << "S"
                                            << "k"
                                            << "<none>";
}

void TestIniFile::readString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    TempFolder dir;
    const IniFile ini = loaded(dir, file);
    const QString none = QStringLiteral("<none>");
    QCOMPARE(ini.readString(section, key, none), expected);
    QCOMPARE(ini.contains(section, key), expected != none);
}

void TestIniFile::readIsCappedAt2047()
{
    TempFolder dir;
    const QByteArray huge(100000, 'x');
    const IniFile ini = loaded(dir, "[S]\nk=" + huge + "\nafter=1\n");
    QCOMPARE(ini.readString(QStringLiteral("S"), QStringLiteral("k")), QString(2047, u'x'));
    QCOMPARE(ini.readInteger(QStringLiteral("S"), QStringLiteral("after"), 0), 1);
    // A huge number is unreadable, not a crash.
    const IniFile digits = loaded(dir, "[S]\nk=" + QByteArray(5000, '7') + "\n");
    QCOMPARE(digits.readInteger(QStringLiteral("S"), QStringLiteral("k"), -1), -1);
}

void TestIniFile::missingFileIsEmptyAndNotCreated()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("none.ini"));
    IniFile ini;
    QVERIFY(ini.load(path));
    QCOMPARE(ini.readString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("d")), QStringLiteral("d"));
    QVERIFY(ini.save());
    QVERIFY(!QFile::exists(path));
}

void TestIniFile::writeKeepsEveryOtherLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray file = "; Tresorin settings\r\n"
                            "[Main]\r\n"
                            "Langue=FR\r\n"
                            "Unknown = keep me \r\n"
                            "\r\n"
                            "[FTP]\r\n"
                            "Serveur=ftp.example\r\n"
                            "# note\r\n"
                            "\r\n";
    QTest::newRow("existing key, other case") << file << "main"
                                              << "LANGUE"
                                              << "US" << QByteArray(file).replace("Langue=FR", "Langue=US");
    QTest::newRow("blanks after equals kept") << file << "Main"
                                              << "Unknown"
                                              << "v" << QByteArray(file).replace("Unknown = keep me ", "Unknown = v");
    QTest::newRow("new key after last line of its section")
        << file << "Main"
        << "HidePass"
        << "0" << QByteArray(file).replace("keep me \r\n", "keep me \r\nHidePass=0\r\n");
    QTest::newRow("new key in last section") << file << "FTP"
                                             << "Port"
                                             << "21" << QByteArray(file).replace("# note\r\n", "# note\r\nPort=21\r\n");
    QTest::newRow("new section at the end") << file << "Idle"
                                            << "Main"
                                            << "1" << file + "[Idle]\r\nMain=1\r\n";
    QTest::newRow("no final line end") << QByteArray("[S]\na=1") << "S"
                                       << "b"
                                       << "2" << QByteArray("[S]\na=1\nb=2\n");
    QTest::newRow("new file") << QByteArray() << "S"
                              << "k"
                              << "v" << QByteArray("[S]\nk=v\n");
    QTest::newRow("first of duplicate keys") << QByteArray("[S]\nk=1\nk=2\n") << "S"
                                             << "k"
                                             << "3" << QByteArray("[S]\nk=3\nk=2\n");
    QTest::newRow("line break in value") << QByteArray("[S]\n") << "S"
                                         << "k"
                                         << "a\r\n[T]\nb" << QByteArray("[S]\nk=a [T] b\n");
    QTest::newRow("blanks kept by quotes") << QByteArray("[S]\n") << "S"
                                           << "k"
                                           << " x " << QByteArray("[S]\nk=\" x \"\n");
}

void TestIniFile::writeKeepsEveryOtherLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    TempFolder dir;
    if (!before.isEmpty())
        dir.writeFile(QStringLiteral("t.ini"), before);
    IniFile ini(dir.filePath(QStringLiteral("t.ini")));
    ini.writeString(section, key, value);
    QString error;
    QVERIFY2(ini.save(&error), qPrintable(error));
    QCOMPARE(dir.readFile(QStringLiteral("t.ini")), after);
}

void TestIniFile::valuesSurviveRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("leading blank") << " lead";
    QTest::newRow("trailing blank") << "trail ";
    QTest::newRow("double-quoted") << "\"quoted\"";
    QTest::newRow("single-quoted") << "'x'";
    QTest::newRow("lone quote") << "\"";
    QTest::newRow("equals and semicolon") << "a=b;c";
    QTest::newRow("special characters") << QString::fromUtf16(u"&\"'(){}\u00B2+/*. -_@#$\u00A3*\u00B5");
    QTest::newRow("outside Windows-1252") << QString::fromUtf16(u"\u4E2D\u6587 \u0416");
}

void TestIniFile::valuesSurviveRoundTrip()
{
    QFETCH(QString, value);
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    IniFile ini(path);
    ini.writeString(QStringLiteral("S"), QStringLiteral("k"), value);
    QVERIFY(ini.save());
    QCOMPARE(IniFile(path).readString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("<none>")), value);
}

void TestIniFile::saveWithoutChangeTouchesNothing()
{
    TempFolder dir;
    const QByteArray bytes = "[S]\nk=1\n";
    dir.writeFile(QStringLiteral("t.ini"), bytes);
    IniFile ini(dir.filePath(QStringLiteral("t.ini")));
    ini.writeInteger(QStringLiteral("s"), QStringLiteral("K"), 1); // same value
    QVERIFY(!ini.isModified());
    ini.writeInteger(QStringLiteral("s"), QStringLiteral("K"), 2);
    QVERIFY(ini.isModified());
    QVERIFY(ini.save());
    QVERIFY(!ini.isModified());
    QCOMPARE(dir.readFile(QStringLiteral("t.ini")), QByteArray("[S]\nk=2\n"));
}

void TestIniFile::saveCreatesFolder()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("config/tresorin/Tresorin.ini"));
    IniFile ini(path);
    ini.writeBool(QStringLiteral("Main"), QStringLiteral("HidePass"), false);
    QVERIFY(ini.save());
    QCOMPARE(dir.readFile(QStringLiteral("config/tresorin/Tresorin.ini")), QByteArray("[Main]\nHidePass=0\n"));
#ifdef Q_OS_UNIX
    // A new file is for its owner only; one made readable by others is narrowed at its next
    // write: it holds the FTP credentials, enciphered under a key made of texts beside them.
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
    const auto shared = ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup;
    QVERIFY(QFile::setPermissions(path, shared));
    ini.writeBool(QStringLiteral("Main"), QStringLiteral("HidePass"), true);
    QVERIFY(ini.save());
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
    QCOMPARE(dir.readFile(QStringLiteral("config/tresorin/Tresorin.ini")), QByteArray("[Main]\nHidePass=1\n"));
#endif
}

void TestIniFile::failedSaveKeepsOldFile()
{
    TempFolder dir;
    const QString folder = dir.makeFolder(QStringLiteral("locked"));
    const QByteArray old = "; mine\n[Main]\nLangue=FR\n";
    QVERIFY(dir.writeFile(QStringLiteral("locked/Tresorin.ini"), old));
    const QString path = dir.filePath(QStringLiteral("locked/Tresorin.ini"));
    IniFile ini(path);
    ini.writeString(QStringLiteral("Main"), QStringLiteral("Langue"), QString(20000, u'U'));

    // A read-only folder stops ordinary users; the super-user is stopped by a file-size limit.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(folder + QStringLiteral("/probe"));
    const bool permissionsBind = !probe.open(QIODevice::WriteOnly);
    probe.remove();
#ifdef Q_OS_LINUX
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (!permissionsBind) {
        rlimit small = saved;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
    }
#else
    if (!permissionsBind)
        QSKIP("The folder's permissions do not bind this user");
#endif

    QString error;
    const bool saved_ok = ini.save(&error);

#ifdef Q_OS_LINUX
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
#endif
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QVERIFY(!saved_ok);
    // The fixed text, then the system's reason.
    const QString reason = permissionsBind ? QStringLiteral("Permission denied") : QStringLiteral("File too large");
    QCOMPARE(error, QStringLiteral("Impossible d'écrire dans ") + QDir::toNativeSeparators(path) +
                        QStringLiteral("\r\n\r\n") + reason);
    QCOMPARE(dir.readFile(QStringLiteral("locked/Tresorin.ini")), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Tresorin.ini")});
    QVERIFY(ini.isModified()); // still to be saved
}

void TestIniFile::failedSaveWhenFolderIsAFile()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("plain"), "x"));
    const QString path = dir.filePath(QStringLiteral("plain/Tresorin.ini"));
    IniFile ini(path);
    ini.writeInteger(QStringLiteral("S"), QStringLiteral("k"), 1);
    QString error;
    QVERIFY(!ini.save(&error));
    QCOMPARE(error, QStringLiteral("Impossible d'écrire dans ") + QDir::toNativeSeparators(path));
    QCOMPARE(dir.readFile(QStringLiteral("plain")), QByteArray("x"));
}

void TestIniFile::unreadableFileIsNotReplaced()
{
    TempFolder dir;
    const QByteArray old = "[FTP]\nServeur=ftp.example\n";
    QVERIFY(dir.writeFile(QStringLiteral("Tresorin.ini"), old));
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    QFile probe(path);
    if (probe.open(QIODevice::ReadOnly)) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QSKIP("The file's permissions do not bind this user");
    }

    IniFile ini;
    QVERIFY(!ini.load(path));
    ini.writeBool(QStringLiteral("Main"), QStringLiteral("HidePass"), false);
    QString error;
    const bool saved = ini.save(&error);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!saved);
    QCOMPARE(error, QStringLiteral("Impossible d'écrire dans ") + QDir::toNativeSeparators(path));
    QCOMPARE(dir.readFile(QStringLiteral("Tresorin.ini")), old);
}

// A settings file of hundreds of megabytes cost seconds and gigabytes at every start: beyond 1 MiB
// it is not read, and never replaced by the few keys written since.
void TestIniFile::hugeFileIsNeitherReadNorReplaced()
{
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("Tresorin.ini"));
    QByteArray big = "[Main]\nLangue=FR\n";
    big += QByteArray(int(IniFile::kMaxFileSize), ';');
    QVERIFY(dir.writeFile(QStringLiteral("Tresorin.ini"), big));
    IniFile ini;
    QVERIFY(!ini.load(path));
    QVERIFY(ini.tooLarge());
    QVERIFY(!ini.contains(QStringLiteral("Main"), QStringLiteral("Langue")));
    ini.writeString(QStringLiteral("Main"), QStringLiteral("Langue"), QStringLiteral("US"));
    QVERIFY(!ini.save());
    QCOMPARE(dir.readFile(QStringLiteral("Tresorin.ini")), big);

    // Up to the bound it is read as any other.
    QVERIFY(dir.writeFile(QStringLiteral("Tresorin.ini"), big.left(int(IniFile::kMaxFileSize))));
    QVERIFY(ini.load(path));
    QVERIFY(!ini.tooLarge());
    QCOMPARE(ini.readString(QStringLiteral("Main"), QStringLiteral("Langue")), QStringLiteral("FR"));
}

void TestIniFile::encodings_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QString e = QString::fromUtf16(u"\u00E9");
    QTest::newRow("utf-8") << QByteArray("[S]\nk=\xC3\xA9\nv=0\n") << QByteArray("[S]\nk=\xC3\xA9\nv=1\n");
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF[S]\nk=\xC3\xA9\nv=0\n")
                                     << QByteArray("\xEF\xBB\xBF[S]\nk=\xC3\xA9\nv=1\n");
    QTest::newRow("windows-1252 becomes utf-8")
        << QByteArray("[S]\nk=\xE9\nv=0\n") << QByteArray("[S]\nk=\xC3\xA9\nv=1\n");
    const QString utf16Text = QStringLiteral("[S]\r\nk=") + e + QStringLiteral("\r\nv=%1\r\n");
    auto utf16 = [](const QString& t) {
        return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(t.utf16()), t.size() * 2);
    };
    QTest::newRow("utf-16") << utf16(utf16Text.arg(0)) << utf16(utf16Text.arg(1));
}

void TestIniFile::encodings()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    TempFolder dir;
    IniFile ini = loaded(dir, before);
    QCOMPARE(ini.readString(QStringLiteral("S"), QStringLiteral("k")), QString::fromUtf16(u"\u00E9"));
    ini.writeBool(QStringLiteral("S"), QStringLiteral("v"), true);
    QVERIFY(ini.save());
    QCOMPARE(dir.readFile(QStringLiteral("t.ini")), after);
}

void TestIniFile::dateTimes_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("value");
    const QDateTime afternoon(QDate(2024, 3, 7), QTime(14, 5, 9));
    const QDateTime midnight(QDate(2023, 12, 31), QTime(0, 0));
    const QDateTime early(QDate(2025, 1, 2), QTime(0, 0, 1));
    for (const char* name : {"en_US", "fr_FR", "de_DE", "C"}) {
        QTest::addRow("%s afternoon", name) << name << afternoon;
        QTest::addRow("%s midnight", name) << name << midnight;
        QTest::addRow("%s one second after midnight", name) << name << early;
    }
}

void TestIniFile::dateTimes()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, value);
    const QLocale l(locale);
    const QString text = IniFile::formatDateTime(value, l);
    QVERIFY(!text.isEmpty());
    // Exactly midnight is written as the date alone.
    QCOMPARE(text == l.toString(value.date(), l.dateFormat(QLocale::ShortFormat)), value.time() == QTime(0, 0));
    QCOMPARE(IniFile::parseDateTime(text, l), value);

    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    IniFile ini(path);
    ini.writeDateTime(QStringLiteral("Main"), QStringLiteral("LastCheck"), value, l);
    QVERIFY(ini.save());
    QCOMPARE(IniFile(path).readDateTime(QStringLiteral("Main"), QStringLiteral("LastCheck"), QDateTime(), l), value);
}

void TestIniFile::unreadableDateGivesFallback()
{
    const QDateTime fallback(QDate(2000, 1, 1), QTime(12, 0));
    TempFolder dir;
    IniFile ini = loaded(dir, "[Main]\nA=garbage\nB=\n");
    QCOMPARE(ini.readDateTime(QStringLiteral("Main"), QStringLiteral("A"), fallback), fallback);
    QCOMPARE(ini.readDateTime(QStringLiteral("Main"), QStringLiteral("B"), fallback), fallback);
    QCOMPARE(ini.readDateTime(QStringLiteral("Main"), QStringLiteral("C"), fallback), fallback);
    // Written under one locale, read under another that cannot parse it.
    const QDateTime when(QDate(2024, 3, 7), QTime(14, 5, 9));
    const QString french = IniFile::formatDateTime(when, QLocale(QStringLiteral("fr_FR")));
    QVERIFY(!IniFile::parseDateTime(french, QLocale(QStringLiteral("en_US"))).isValid());
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
