// The FTP dialog in its three uses (transfer, synchronisation parameters, upload after a save)
// against a real FTP server, and the file properties dialog. Button presses and typing go through
// the modal seam.

#include "ftp/FtpParameters.h"
#include "ftp/TFileFTP.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "settings/IniFile.h"
#include "support/FtpServer.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

using testsupport::FtpServer;
using testsupport::WindowFixture;

namespace {
QVariantMap typed(std::initializer_list<std::pair<QString, QVariant>> values)
{
    QVariantMap map;
    for (const auto& v : values)
        map.insert(v.first, v.second);
    return map;
}
} // namespace

class TestFtpDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void downloadIntoTheDialog();
    void uploadWritesTheSettingsAndRetriesAfterAFailure();
    void emptyServerOrFileIsRefused();
    void cancelDuringATransfer();
    void syncParameters_data();
    void syncParameters();
    void syncParametersRefuseOkWithoutServer();
    void uploadAfterASave_data();
    void uploadAfterASave();
    void propertiesInformationOnly();
    void propertiesQuestion_data();
    void propertiesQuestion();

private:
    void writeIni(const FtpServer& server, const QString& file, const QString& login);
    TBoiteFTP* ftp() const { return m_fx->dialog<TBoiteFTP>(); }
    TBoiteInfo* info() const { return m_fx->dialog<TBoiteInfo>(); }

    std::unique_ptr<WindowFixture> m_fx;
};

void TestFtpDialogs::initTestCase()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    TFileFTP::setTimeouts({5000, 5000, 5});
}

void TestFtpDialogs::init()
{
    m_fx = std::make_unique<WindowFixture>();
    m_fx->makeDialogs(WindowFixture::FtpDialogs);
}

void TestFtpDialogs::cleanup()
{
    m_fx.reset();
}

void TestFtpDialogs::writeIni(const FtpServer& server, const QString& file, const QString& login)
{
    IniFile ini(m_fx->iniPath());
    FtpIniSection section;
    section.Serveur = QStringLiteral("127.0.0.1");
    section.Port = server.port();
    section.Passif = true;
    section.Fichier = file;
    section.Login = login;
    section.Pass = server.password();
    section.write(ini);
    QVERIFY(ini.save());
}

void TestFtpDialogs::downloadIntoTheDialog()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    QVERIFY(server.writeFile(QStringLiteral("backup/codes.pass"), QByteArray(2500, 'x')));
    writeIni(server, QStringLiteral("backup/codes.pass"), server.user());

    ModalSeam::pushAnswer(QStringLiteral("OK"));
    QVERIFY(ftp()->ShowForTransfer());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteFTP")),
             QStringList{QStringLiteral("Open document on FTP server")});
    QCOMPARE(ftp()->TransferData, QByteArray(2500, 'x'));
    // Filled from the settings file, credentials decoded; only transfer mode's controls shown.
    QCOMPARE(ftp()->Login->text(), server.user());
    QCOMPARE(ftp()->Port->value(), server.port());
    QVERIFY(ftp()->CBUseFTP->isHidden() && ftp()->cbUseIsFTP->isHidden());
    QVERIFY(ftp()->Barre->isHidden() && ftp()->Info->isHidden());
    QVERIFY(ftp()->Serveur->isEnabled() && ftp()->OKBtn->isEnabled());
    QVERIFY(ftp()->Pass->text().isEmpty()); // not kept in the dialog once it is closed

    // The focus left on Cancel by the transfer (a focused button takes Enter for itself): at the
    // next opening Enter is OK again, and the focus is in the fields.
    ftp()->AnnulerBtn->setFocus();
    ftp()->AnnulerBtn->setDefault(true);
    bool okIsDefault = false;
    QWidget* focused = nullptr;
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("BoiteFTP")) {
            okIsDefault = ftp()->OKBtn->isDefault() && !ftp()->AnnulerBtn->isDefault();
            focused = ftp()->focusWidget();
        }
    });
    ModalSeam::pushAnswer(QStringLiteral("Cancel"));
    QVERIFY(!ftp()->ShowForTransfer());
    QVERIFY(okIsDefault);
    QCOMPARE(focused, static_cast<QWidget*>(ftp()->Serveur));
}

void TestFtpDialogs::uploadWritesTheSettingsAndRetriesAfterAFailure()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    writeIni(server, QStringLiteral("backup/codes.pass"), QStringLiteral("nobody"));
    QVERIFY(QDir(server.root()).mkpath(QStringLiteral("backup")));

    // First OK: the login typed with spaces around it goes to the server as typed, and is refused;
    // the error is shown and the dialog stays. The corrected login works at the second OK.
    ftp()->TransferData = QByteArray(2500, 'y');
    ModalSeam::pushAnswer(typed({{"Login", QStringLiteral("  alice ")}, {"button", QStringLiteral("OK")}}));
    ModalSeam::pushAnswer(int(MsgOK)); // the error box
    ModalSeam::pushAnswer(typed({{"Login", QStringLiteral("alice")}, {"button", QStringLiteral("OK")}}));
    QVERIFY(ftp()->ShowForTransfer());
    const QStringList errors = ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].startsWith(QStringLiteral("Error connecting server '127.0.0.1'\r\n\r\n530")));
    QVERIFY(!errors[0].contains(server.password()));
    QCOMPARE(
        ModalSeam::shownTexts(QStringLiteral("BoiteFTP")),
        (QStringList{QStringLiteral("Save document on FTP server"), QStringLiteral("Save document on FTP server")}));
    QCOMPARE(server.readFile(QStringLiteral("backup/codes.pass")), QByteArray(2500, 'y'));
    QVERIFY(!server.exists(QStringLiteral("backup/codes.tmp")));

    // Each OK wrote the section; the login is stored trimmed, both credentials enciphered.
    FtpIniSection section;
    section.read(IniFile(m_fx->iniPath()));
    QCOMPARE(section.Login, QStringLiteral("alice"));
    QCOMPARE(section.Pass, server.password());
    QVERIFY(!m_fx->readIni().contains(server.password().toUtf8()));
}

void TestFtpDialogs::emptyServerOrFileIsRefused()
{
    ModalSeam::pushAnswer(typed({{"Serveur", QStringLiteral("ftp://")}, {"button", QStringLiteral("OK")}}));
    QVERIFY(!ftp()->ShowForTransfer());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")),
             QStringList{QStringLiteral("You must enter a Server and a File")});
    // Nothing was written.
    QVERIFY(!m_fx->tmp().exists(QStringLiteral("Tresorin.ini")));
}

void TestFtpDialogs::cancelDuringATransfer()
{
    FtpServer server(QStringLiteral("alice"), QStringLiteral("s3cret"), QStringLiteral("silent"));
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    writeIni(server, QStringLiteral("codes.pass"), server.user());
    ModalSeam::pushAnswer(QStringLiteral("OK+Cancel"));
    QVERIFY(!ftp()->ShowForTransfer());
    QCOMPARE(ftp()->Info->text(), QStringLiteral("Cancelling..."));
    QVERIFY(ftp()->TransferData.isEmpty());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());
    QVERIFY(!ftp()->runningTransfer());
}

void TestFtpDialogs::syncParameters_data()
{
    QTest::addColumn<bool>("marked");
    QTest::addColumn<bool>("useEntry");
    QTest::addColumn<QVariantMap>("typing");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("storedUseEntry");

    QTest::newRow("OK, nothing changed") << false << false << typed({{"button", "OK"}}) << false << "doc.example"
                                         << false;
    QTest::newRow("server typed") << false << false << typed({{"Serveur", " ftp://other.example "}, {"button", "OK"}})
                                  << true << "other.example" << false;
    QTest::newRow("entry used") << true << false << typed({{"cbUseIsFTP", true}, {"button", "OK"}}) << true
                                << "entry.example" << true;
    QTest::newRow("entry already used") << true << true << typed({{"button", "OK"}}) << false << "entry.example"
                                        << true;
    QTest::newRow("use of an entry that is gone")
        << false << true << typed({{"button", "OK"}}) << true << "doc.example" << false;
    QTest::newRow("Cancel") << false << false << typed({{"Serveur", "x"}, {"button", "Cancel"}}) << false
                            << "doc.example" << false;
}

void TestFtpDialogs::syncParameters()
{
    QFETCH(bool, marked);
    QFETCH(bool, useEntry);
    QFETCH(QVariantMap, typing);
    TFeuille entry;
    entry.WebAddress = QStringLiteral("ftp://entry.example:2121/backup/codes.pass /PASV");
    entry.Login = QStringLiteral("bob");
    entry.Password = QStringLiteral("entry-pw");
    TDoc doc;
    doc.SyncOn = true;
    doc.UseFtpEntry = useEntry;
    doc.ServerName = QStringLiteral("doc.example");
    doc.PortNumber = 0;
    doc.RemotePath = QStringLiteral("codes.pass");
    doc.UserName = QStringLiteral("me");
    doc.UserPassword = QStringLiteral("doc-pw");

    ModalSeam::pushAnswer(typing);
    bool changed = false;
    const bool ok = ftp()->EditSyncParameters(marked ? &entry : nullptr, doc, false, &changed);
    QCOMPARE(ok, typing.value("button").toString() == QLatin1String("OK"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteFTP")),
             QStringList{QStringLiteral("FTP synchronization parameters")});
    QTEST(changed, "changed");
    QTEST(doc.ServerName, "server");
    QTEST(doc.UseFtpEntry, "storedUseEntry");
    QVERIFY(!ftp()->CBUseFTP->isHidden() && !ftp()->cbUseIsFTP->isHidden());
    QCOMPARE(ftp()->cbUseIsFTP->isEnabled(), marked);
    if (ok && doc.UseFtpEntry) {
        QCOMPARE(doc.PortNumber, 2121);
        QVERIFY(doc.PassiveMode);
        QCOMPARE(doc.RemotePath, QStringLiteral("backup/codes.pass"));
        QCOMPARE(doc.UserPassword, QStringLiteral("entry-pw"));
        QVERIFY(!ftp()->Serveur->isEnabled()); // the entry decides
    } else if (ok) {
        QCOMPARE(doc.PortNumber, 21); // 0 is shown and stored as the usual port
        QCOMPARE(doc.UserPassword, QStringLiteral("doc-pw"));
    } else {
        QCOMPARE(doc.PortNumber, 0);
    }
}

void TestFtpDialogs::syncParametersRefuseOkWithoutServer()
{
    TDoc doc;
    doc.SyncOn = true;
    ModalSeam::pushAnswer(typed({{"Fichier", "codes.pass"}, {"button", "OK"}}));
    ModalSeam::pushAnswer(int(MsgOK)); // the error box
    ModalSeam::pushAnswer(typed({{"CBUseFTP", false}, {"button", "OK"}}));
    bool changed = false;
    QVERIFY(ftp()->EditSyncParameters(nullptr, doc, false, &changed));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")),
             QStringList{QStringLiteral("You must enter a Server and a File")});
    // Without synchronisation empty fields are accepted.
    QVERIFY(!doc.SyncOn);
    QVERIFY(changed);
}

void TestFtpDialogs::uploadAfterASave_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("overtaken"); // another computer's copy replaces it at the same moment
    QTest::newRow("uploaded") << QString() << false;
    QTest::newRow("rename refused") << QStringLiteral("refuse-rename") << false;
    QTest::newRow("another computer saved at the same moment") << QString() << true;
}

void TestFtpDialogs::uploadAfterASave()
{
    QFETCH(QString, fault);
    QFETCH(bool, overtaken);
    FtpServer server(QStringLiteral("alice"), QStringLiteral("s3cret"), fault);
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    QVERIFY(server.writeFile(QStringLiteral("sync/codes.pass"), "old"));
    TDoc doc;
    doc.SyncOn = true;
    doc.ServerName = QStringLiteral("127.0.0.1");
    doc.PortNumber = server.port();
    doc.PassiveMode = true;
    doc.RemotePath = QStringLiteral("sync/codes.pass");
    doc.UserName = server.user();
    doc.UserPassword = server.password();

    if (overtaken)
        TFileFTP::setReplacedHook([&server] { server.writeFile(QStringLiteral("sync/codes.pass"), "theirs"); });
    ftp()->UploadSyncCopy(doc, nullptr, QByteArray(3000, 'z'));
    TFileFTP::setReplacedHook({});
    if (overtaken) {
        // Not told uploaded: told why, and offered to try again (answered Cancel here).
        QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList{Msg(QStringLiteral("SyncMemeMoment"))});
        QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteFTP")),
                 QStringList{QStringLiteral("Save document on FTP server")});
        QCOMPARE(server.readFile(QStringLiteral("sync/codes.pass")), QByteArray("theirs"));
    } else if (fault.isEmpty()) {
        QCOMPARE(server.readFile(QStringLiteral("sync/codes.pass")), QByteArray(3000, 'z'));
        QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());
        // Closed by itself: nothing was asked.
        QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteFTP")), QStringList());
    } else {
        const QStringList errors = ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].startsWith(
            QStringLiteral("FTP Error renaming sync/codes.tmp into sync/codes.pass\r\n\r\n550 Rename refused")));
        // The dialog then offered a retry (answered Cancel here); the FTP copy is unchanged.
        QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteFTP")),
                 QStringList{QStringLiteral("Save document on FTP server")});
        QCOMPARE(server.readFile(QStringLiteral("sync/codes.pass")), QByteArray("old"));
    }
    QVERIFY(ftp()->OKBtn->isEnabled() && ftp()->CBUseFTP->isEnabled());
    QVERIFY(ftp()->TransferData.isEmpty());
}

void TestFtpDialogs::propertiesInformationOnly()
{
    TDoc local;
    local.SaveCount = 4;
    local.UserPassword = QString();
    TDoc remote;
    remote.SaveDate = 45000.5;
    remote.UserPassword = QStringLiteral("x");
    // Information only: shown with OK even with AutoSync.
    ModalSeam::pushAnswer(int(PropertiesAnswer::Ok));
    QCOMPARE(info()->ShowProperties(local, remote, TBoiteInfo::InformationOnly, true), PropertiesAnswer::Ok);
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(info()->ListeInfo->topLevelItemCount(), 12);
    QTreeWidgetItem* version = info()->ListeInfo->topLevelItem(0);
    QCOMPARE(version->text(0), QStringLiteral("Version"));
    QCOMPARE(version->text(1), QStringLiteral("4"));
    QCOMPARE(info()->ListeInfo->topLevelItem(7)->text(1), QStringLiteral("No"));
    QCOMPARE(info()->ListeInfo->topLevelItem(7)->text(2), QStringLiteral("Yes"));
    QCOMPARE(info()->ListeInfo->topLevelItem(1)->text(1), QStringLiteral("- Unknown -"));
    QVERIFY(info()->ListeInfo->topLevelItem(1)->foreground(1) != info()->ListeInfo->topLevelItem(0)->foreground(1));
    QVERIFY(info()->btnOk->isVisibleTo(info()));
    QVERIFY(!info()->btnYes->isVisibleTo(info()) && !info()->lblAsk->isVisibleTo(info()));
    QCOMPARE(info()->HighlightColumn, -1);
    // The user cannot resize the columns.
    QCOMPARE(info()->ListeInfo->header()->sectionResizeMode(0), QHeaderView::Fixed);

    // A value longer than the design's column (a long server name) is read whole: the column and
    // the window widen for it.
    local.ServerName = QStringLiteral("synchronisation.backup.server.of.a.rather.long.domain.example");
    ModalSeam::pushAnswer(int(PropertiesAnswer::Ok));
    info()->ShowProperties(local, remote, TBoiteInfo::InformationOnly, false);
    int row = -1;
    for (int i = 0; i < info()->ListeInfo->topLevelItemCount(); ++i)
        if (info()->ListeInfo->topLevelItem(i)->text(1) == local.ServerName)
            row = i;
    QVERIFY(row >= 0);
    const int textWidth = info()->ListeInfo->fontMetrics().horizontalAdvance(local.ServerName);
    QVERIFY2(info()->ListeInfo->columnWidth(1) > textWidth,
             qPrintable(QStringLiteral("%1 <= %2").arg(info()->ListeInfo->columnWidth(1)).arg(textWidth)));
    QVERIFY(info()->width() > 404);
    QVERIFY(info()->width() >=
            info()->ListeInfo->columnWidth(0) + info()->ListeInfo->columnWidth(1) + info()->ListeInfo->columnWidth(2));
}

void TestFtpDialogs::propertiesQuestion_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("question");
    QTest::newRow("local proposed") << 0 << "Open most recent file (local file) ?";
    QTest::newRow("FTP proposed") << 1 << "Open most recent file (FTP file) ?";
}

void TestFtpDialogs::propertiesQuestion()
{
    QFETCH(int, mode);
    QFETCH(QString, question);
    TDoc local;
    TDoc remote;
    remote.SaveDate = 45000.5;
    ModalSeam::pushAnswer(int(PropertiesAnswer::No));
    QCOMPARE(info()->ShowProperties(local, remote, mode, false), PropertiesAnswer::No);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")), QStringList{question});
    QCOMPARE(info()->HighlightColumn, mode);
    QTreeWidgetItem* row = info()->ListeInfo->topLevelItem(0);
    QCOMPARE(row->background(mode + 1).color(), info()->palette().color(QPalette::ToolTipBase));
    QVERIFY(row->background(2 - mode).style() == Qt::NoBrush);
    QVERIFY(info()->btnYes->isVisibleTo(info()) && !info()->btnOk->isVisibleTo(info()));

    // AutoSync answers Yes without showing anything.
    ModalSeam::clearShown();
    QCOMPARE(info()->ShowProperties(local, remote, mode, true), PropertiesAnswer::Yes);
    QCOMPARE(ModalSeam::shown().size(), 0);

    // Escape answers No when asking; the close box counts as no button.
    ModalSeam::deactivate();
    QTimer::singleShot(0, info(), [this] { QTest::keyClick(info(), Qt::Key_Escape); });
    QCOMPARE(info()->ShowProperties(local, remote, mode, false), PropertiesAnswer::No);
    QTimer::singleShot(0, info(), [this] { info()->close(); });
    QCOMPARE(info()->ShowProperties(local, remote, mode, false), PropertiesAnswer::Cancelled);
    ModalSeam::activate();
}

QTEST_MAIN(TestFtpDialogs)
#include "tst_ftpdialogs.moc"
