// The decisions of the synchronisation: which copy the question proposes, which answers take the
// FTP copy, what of the FTP copy's header is taken, and the rows of the file properties (shared
// with tresorin-cli info).

#include "document/Lineage.h"
#include "ftp/Synchronisation.h"
#include "lang/LangTable.h"

#include <QtTest>

class TestSynchronisation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decision_data();
    void decision();
    void takenHeaderKeepsTheLocalParameters();
    void mergedHeader();
    void propertyRows();
    void ftpColumnEmptyWithoutCopy();
    void resetCopyAfterAFailedDecipher();
};

void TestSynchronisation::initTestCase()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
}

void TestSynchronisation::decision_data()
{
    QTest::addColumn<double>("local");
    QTest::addColumn<double>("remote");
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("takesFtp");
    using A = PropertiesAnswer;
    using C = SyncChoice;
    QTest::newRow("equal dates") << 45000.5 << 45000.5 << int(C::KeepLocal) << int(A::Yes) << false;
    QTest::newRow("local newer, Yes") << 45001.0 << 45000.5 << int(C::ProposeLocal) << int(A::Yes) << false;
    QTest::newRow("local newer, No") << 45001.0 << 45000.5 << int(C::ProposeLocal) << int(A::No) << true;
    // Closing the window keeps the newer local copy; only an explicit No takes the older FTP one.
    QTest::newRow("local newer, closed") << 45001.0 << 45000.5 << int(C::ProposeLocal) << int(A::Cancelled) << false;
    QTest::newRow("FTP newer, Yes") << 45000.0 << 45000.25 << int(C::ProposeFtp) << int(A::Yes) << true;
    QTest::newRow("FTP newer, No") << 45000.0 << 45000.25 << int(C::ProposeFtp) << int(A::No) << false;
    QTest::newRow("FTP newer, closed") << 45000.0 << 45000.25 << int(C::ProposeFtp) << int(A::Cancelled) << false;
}

void TestSynchronisation::decision()
{
    QFETCH(double, local);
    QFETCH(double, remote);
    QFETCH(int, choice);
    QFETCH(int, answer);
    const SyncChoice c = CompareSaveDates(local, remote);
    QCOMPARE(int(c), choice);
    QTEST(TakesFtpCopy(c, PropertiesAnswer(answer)), "takesFtp");
}

void TestSynchronisation::takenHeaderKeepsTheLocalParameters()
{
    TDoc local;
    local.SaveCount = 3;
    local.SaveDate = 45000;
    local.CreateDate = 44000;
    local.SyncOn = true;
    local.ServerName = QStringLiteral("local.example");
    local.PortNumber = 2121;
    local.RemotePath = QStringLiteral("mine.pass");
    local.UserName = QStringLiteral("me");
    local.UserPassword = QStringLiteral("pw");
    local.FormatVersion = 6;
    TDoc remote;
    remote.SaveCount = 9;
    remote.SaveDate = 45010;
    remote.CreateDate = 43000;
    remote.SyncOn = false;
    remote.UseFtpEntry = true;
    remote.ServerName = QStringLiteral("remote.example");
    remote.PortNumber = 22;
    remote.PassiveMode = true;
    remote.RemotePath = QStringLiteral("theirs.pass");
    remote.UserName = QStringLiteral("them");
    remote.UserPassword = QStringLiteral("their pw");
    remote.Reserved1 = QStringLiteral("TSL1 40e5fa4000000000 0123456789abcdef");
    remote.Reserved2 = QStringLiteral("kept local");
    remote.FormatVersion = 7;
    local.Reserved2 = QStringLiteral("mine");

    TakeFtpHeader(local, remote);
    QCOMPARE(local.SaveCount, 9);
    QCOMPARE(local.SaveDate, 45010.0);
    QCOMPARE(local.CreateDate, 43000.0);
    QCOMPARE(local.Reserved1, remote.Reserved1);
    QCOMPARE(local.Reserved2, QStringLiteral("mine"));
    // Where and how the document synchronises never comes from the copy received.
    QVERIFY(local.SyncOn);
    QVERIFY(!local.UseFtpEntry);
    QVERIFY(!local.PassiveMode);
    QCOMPARE(local.UserName, QStringLiteral("me"));
    QCOMPARE(local.FormatVersion, 7);
    QCOMPARE(local.ServerName, QStringLiteral("local.example"));
    QCOMPARE(local.PortNumber, 2121);
    QCOMPARE(local.RemotePath, QStringLiteral("mine.pass"));
    QCOMPARE(local.UserPassword, QStringLiteral("pw"));

    // The earlier creation date wins either way.
    remote.CreateDate = 46000;
    TakeFtpHeader(local, remote);
    QCOMPARE(local.CreateDate, 43000.0);
}

void TestSynchronisation::mergedHeader()
{
    TDoc local;
    local.SaveCount = 3;
    local.SaveDate = 45000;
    local.CreateDate = 44000;
    local.SyncOn = true;
    local.ServerName = QStringLiteral("local.example");
    local.Reserved1 = QStringLiteral("TSL1 40e5f90000000000 0000000000000001 0000000000000002");
    TDoc remote;
    remote.SaveCount = 9;
    remote.SaveDate = 45010;
    remote.CreateDate = 43000;
    remote.UseFtpEntry = true;
    remote.ServerName = QStringLiteral("remote.example");
    remote.Reserved1 = QStringLiteral("TSL1 40e5fa4000000000 0000000000000001 0000000000000003");
    remote.Protection = DocumentProtection{DocumentProtection::Strong, {2, 8192}};

    MergeSyncHeader(local, remote);
    QCOMPARE(local.SaveCount, 9);
    QCOMPARE(local.CreateDate, 43000.0);
    QCOMPARE(lineage::parse(local.Reserved1)->ids, (std::vector<quint64>{1, 2, 3}));
    // A merge of a strong server copy into a compatible local one stays strong.
    QVERIFY(local.Protection.isStrong());
    QVERIFY(local.SyncOn);
    QVERIFY(!local.UseFtpEntry);
    QCOMPARE(local.ServerName, QStringLiteral("local.example"));

    // The local strong protection is never weakened by a compatible copy.
    TDoc strongLocal;
    strongLocal.Protection = DocumentProtection{DocumentProtection::Strong, {3, 8192}};
    MergeSyncHeader(strongLocal, TDoc());
    QCOMPARE(int(strongLocal.Protection.kdf.passes), 3);
}

void TestSynchronisation::propertyRows()
{
    TDoc local;
    local.SaveCount = 12;
    local.SaveDate = 45000.0; // midnight: no time
    local.SyncOn = true;
    local.ServerName = QStringLiteral("ftp.example");
    local.PortNumber = 21;
    local.FormatVersion = 7;
    TDoc remote = local;
    remote.UserPassword = QStringLiteral("only on the FTP side");
    remote.SaveDate = 45000.75;
    remote.SaveCount = 0;
    remote.FormatVersion = 0;

    const QList<PropertyRow> rows = FileProperties(local, &remote);
    QStringList keys;
    for (const PropertyRow& r : rows)
        keys << r.key;
    QCOMPARE(keys, (QStringList{"Version", "SauveDate", "SyncOn", "DServer", "DPort", "DPasv", "DUser", "DPass",
                                "DFich", "DTransport", "DTrust", "Format"}));
    QCOMPARE(rows[0].local, QStringLiteral("12"));
    QCOMPARE(rows[0].ftp, QStringLiteral("0"));
    QCOMPARE(rows[1].local, QLocale::system().toString(QDate(2023, 3, 15), QLocale::ShortFormat));
    QVERIFY(rows[1].ftp.startsWith(rows[1].local + QLatin1Char(' ')));
    QCOMPARE(rows[2].local, QStringLiteral("Yes"));
    QCOMPARE(rows[5].local, QStringLiteral("No"));
    QCOMPARE(rows[6].local, QString()); // empty user, empty default
    // The password itself never shows, only whether there is one.
    QCOMPARE(rows[7].local, QStringLiteral("No"));
    QCOMPARE(rows[7].ftp, QStringLiteral("Yes"));
    QCOMPARE(rows[8].local, QString());
    // A bare host name is plain FTP, whose login crosses the network in clear.
    QCOMPARE(rows[9].local, QStringLiteral("FTP"));
    QCOMPARE(rows[10].local, QStringLiteral("none, login and password in clear"));
    QCOMPARE(rows[11].ftp, QStringLiteral("0"));

    // An unrecorded save date reads "- Unknown -".
    local.SaveDate = 0;
    QCOMPARE(FileProperties(local, nullptr)[1].local, QStringLiteral("- Unknown -"));
}

void TestSynchronisation::ftpColumnEmptyWithoutCopy()
{
    TDoc local;
    TDoc remote;
    remote.SaveDate = 0;
    remote.SaveCount = 5;
    for (const PropertyRow& row : FileProperties(local, &remote))
        QVERIFY2(row.ftp.isEmpty(), qPrintable(row.key));
}

void TestSynchronisation::resetCopyAfterAFailedDecipher()
{
    TDoc remote;
    ResetDoc(remote);
    const QList<PropertyRow> rows = FileProperties(TDoc(), &remote);
    QCOMPARE(rows[0].ftp, QStringLiteral("0"));
    QVERIFY(!rows[1].ftp.isEmpty());
    QCOMPARE(rows[2].ftp, QStringLiteral("No"));
    QCOMPARE(rows[4].ftp, QStringLiteral("21"));
    QCOMPARE(rows[5].ftp, QStringLiteral("No"));
    QCOMPARE(rows[11].ftp, QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestSynchronisation)
#include "tst_synchronisation.moc"
