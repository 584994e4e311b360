// The FTP commands of the main window against a real FTP server: Open on FTP, Save on FTP, the
// download of the FTP copy after an open from disk with its question and its read-only lock, the
// upload after a local save, Stop, and a download that ends after another document was opened.
// Every question is answered through the modal seam.

#include "app/gui/commands/FtpSync.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/IdleLock.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/Cipher.h"
#include "document/DocumentStream.h"
#include "document/gui/DocumentPipeline.h"
#include "document/gui/TBoiteMetaPass.h"
#include "ftp/FtpParameters.h"
#include "ftp/TFileFTP.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/Win1252.h"
#include "platform/gui/ModalSeam.h"
#include "settings/IniFile.h"
#include "support/FtpServer.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using testsupport::FtpServer;
using testsupport::shownMessages;
using testsupport::WindowFixture;

namespace {

const QString kPassword = QStringLiteral("pw");

QByteArray enciphered(const DocumentState& doc, const QString& password = kPassword)
{
    return testsupport::storedBytes(doc, password);
}

// A document with one group of that name and a header pointing at the server.
void fillDocument(DocumentState& doc, const QString& group, const FtpServer& server, int saveCount, DateTime saveDate)
{
    ResetDoc(doc.LocalDoc);
    TGroupe* g = doc.addGroup(group);
    auto entry = NewEntry(g, group + QStringLiteral(" entry"));
    entry->WebAddress = QStringLiteral("ftp://myhost:2121/backup/x.pass");
    doc.appendEntry(std::move(entry));
    doc.LocalDoc.SyncOn = true;
    doc.LocalDoc.ServerName = QStringLiteral("127.0.0.1");
    doc.LocalDoc.PortNumber = server.port();
    doc.LocalDoc.PassiveMode = true;
    doc.LocalDoc.RemotePath = QStringLiteral("backup/sync.pass");
    doc.LocalDoc.UserName = server.user();
    doc.LocalDoc.UserPassword = server.password();
    doc.LocalDoc.SaveCount = saveCount;
    doc.LocalDoc.SaveDate = saveDate;
    doc.LocalDoc.CreateDate = 44000;
}

// Reads a stored document back with the core alone.
bool readBack(const QByteArray& bytes, DocumentState& out, const QString& password = kPassword)
{
    return testsupport::readBytes(bytes, password, out);
}

QStringList groupNames(const DocumentState& doc)
{
    QStringList names;
    for (const auto& g : doc.Groups())
        names << g->Name;
    return names;
}

} // namespace

class TestMainWindowFtp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openOnFtp();
    void openOnFtpOfAnEmptyFile();
    void saveOnFtp_data();
    void saveOnFtp();
    void syncAfterOpen_data();
    void syncAfterOpen();
    void searchFilterIsSwitchedOffBeforeTheQuestion();
    void idleLockClosesTheDocumentUnderTheSyncQuestion();
    void idleLockClosesTheDocumentUnderTheSaveOnFtpDialog();
    void stopDuringTheDownload();
    void newDuringTheDownload_data();
    void newDuringTheDownload();
    void backupThatCannotBeWrittenKeepsTheLocalCopy();
    void downloadIsDroppedForAnotherDocument_data();
    void downloadIsDroppedForAnotherDocument();
    void uploadAfterEveryLocalSave();
    void markFtpEntry();
    void synchronisationParameters();
    void fileProperties();

private:
    TfrmTresorin* makeWindow(bool autoSync = false);
    void writeFtpSection(const FtpServer& server, const QString& file);
    QString writeLocal(const QString& name, const DocumentState& doc);
    void openFromDisk(const QString& path);
    bool waitForSync();

    std::unique_ptr<WindowFixture> m_fx;
};

void TestMainWindowFtp::initTestCase()
{
    TFileFTP::setTimeouts({5000, 5000, 5});
}

void TestMainWindowFtp::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestMainWindowFtp::cleanup()
{
    m_fx.reset();
}

TfrmTresorin* TestMainWindowFtp::makeWindow(bool autoSync)
{
    return m_fx->makeWindow(autoSync ? testsupport::kWindowIni + "AutoSync=1\r\n" : testsupport::kWindowIni);
}

void TestMainWindowFtp::writeFtpSection(const FtpServer& server, const QString& file)
{
    IniFile ini(m_fx->iniPath());
    FtpIniSection section;
    section.Serveur = QStringLiteral("127.0.0.1");
    section.Port = server.port();
    section.Passif = true;
    section.Fichier = file;
    section.Login = server.user();
    section.Pass = server.password();
    section.write(ini);
    QVERIFY(ini.save());
}

QString TestMainWindowFtp::writeLocal(const QString& name, const DocumentState& doc)
{
    m_fx->tmp().writeFile(name, enciphered(doc));
    return m_fx->tmp().filePath(name);
}

void TestMainWindowFtp::openFromDisk(const QString& path)
{
    m_fx->openThroughCommand(path, kPassword);
}

bool TestMainWindowFtp::waitForSync()
{
    QSignalSpy done(m_fx->window()->ftpSync(), &FtpSync::syncDownloadFinished);
    return done.wait(30000);
}

void TestMainWindowFtp::openOnFtp()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow();
    DocumentState remote;
    fillDocument(remote, QStringLiteral("from the server"), server, 3, 45000.5);
    QVERIFY(server.writeFile(QStringLiteral("backup/codes.pass"), enciphered(remote)));
    writeFtpSection(server, QStringLiteral("backup/codes.pass"));

    ModalSeam::pushAnswer(QStringLiteral("OK"));
    ModalSeam::pushAnswer(kPassword);
    w->action(QStringLiteral("ActionOuvrirFTP"))->trigger();

    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")),
             QStringList{QStringLiteral("Password of \"codes.pass\" :")});
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - codes.pass (FTP)"));
    QCOMPARE(w->doc().CurrentPath, QStringLiteral("codes.pass"));
    QVERIFY(w->doc().FtpMode);
    QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("from the server")});
    QCOMPARE(w->saveToolButton()->defaultAction()->objectName(), QStringLiteral("ActionSauverFTP"));
    // A document read from FTP starts no download of its own copy, although synchronised.
    QVERIFY(!w->ftpSync()->syncTransfer());
    QVERIFY(!w->doc().ReadOnlyLock);
    // It is no file of this computer: the desktop's recent documents do not get it.
    QVERIFY(!m_fx->tmp().readFile(QStringLiteral("data/recently-used.xbel")).contains("codes.pass"));
}

void TestMainWindowFtp::openOnFtpOfAnEmptyFile()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow();
    QVERIFY(server.writeFile(QStringLiteral("empty.pass"), QByteArray()));
    writeFtpSection(server, QStringLiteral("empty.pass"));
    ModalSeam::pushAnswer(QStringLiteral("OK"));
    w->action(QStringLiteral("ActionOuvrirFTP"))->trigger();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")), QStringList());
    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
}

void TestMainWindowFtp::saveOnFtp_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("uploaded") << true;
    QTest::newRow("cancelled") << false;
}

void TestMainWindowFtp::saveOnFtp()
{
    QFETCH(bool, confirmed);
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow();
    DocumentState local;
    fillDocument(local, QStringLiteral("local"), server, 7, 45000.5);
    local.LocalDoc.SyncOn = false;
    const QString path = writeLocal(QStringLiteral("local.pass"), local);
    openFromDisk(path);
    writeFtpSection(server, QStringLiteral("backup/codes.pass"));
    QVERIFY(QDir(server.root()).mkpath(QStringLiteral("backup")));
    w->doc().SetModified(true);
    const DateTime before = w->doc().LocalDoc.SaveDate;

    ModalSeam::pushAnswer(confirmed ? QStringLiteral("OK") : QStringLiteral("Cancel"));
    w->action(QStringLiteral("ActionSauverFTP"))->trigger();

    // The save was counted whatever the outcome; the path stays the local one.
    QCOMPARE(w->doc().LocalDoc.SaveCount, 8);
    QVERIFY(w->doc().LocalDoc.SaveDate > before);
    QCOMPARE(w->doc().CurrentPath, path);
    QCOMPARE(shownMessages(), QStringList());
    if (confirmed) {
        DocumentState back;
        QVERIFY(readBack(server.readFile(QStringLiteral("backup/codes.pass")), back));
        QCOMPARE(back.LocalDoc.SaveCount, 8);
        QCOMPARE(groupNames(back), QStringList{QStringLiteral("local")});
        QVERIFY(!w->doc().Modified);
        QVERIFY(w->doc().FtpMode);
        QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - codes.pass (FTP)"));
        QCOMPARE(w->saveToolButton()->defaultAction()->objectName(), QStringLiteral("ActionSauverFTP"));
        // New leaves FTP mode: Save is the local save again, its tool button and its shortcut.
        w->action(QStringLiteral("ActionNouveau"))->trigger();
        QVERIFY(!w->doc().FtpMode);
        QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
        QCOMPARE(w->saveToolButton()->defaultAction()->objectName(), QStringLiteral("ActionSauver"));
        QCOMPARE(w->action(QStringLiteral("ActionSauver"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(w->action(QStringLiteral("ActionSauverFTP"))->shortcut(),
                 QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_S));
    } else {
        QVERIFY(!server.exists(QStringLiteral("backup/codes.pass")));
        QVERIFY(w->doc().Modified);
        QVERIFY(!w->doc().FtpMode);
        QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - local.pass"));
    }
}

void TestMainWindowFtp::syncAfterOpen_data()
{
    QTest::addColumn<double>("remoteDelta"); // FTP save date minus local, in days
    QTest::addColumn<bool>("autoSync");
    QTest::addColumn<int>("answer"); // PropertiesAnswer, -1: no question expected
    QTest::addColumn<QString>("remotePassword");
    QTest::addColumn<QString>("ftpPassword");
    QTest::addColumn<bool>("takesFtp");
    QTest::addColumn<QString>("message"); // start of the one message expected
    QTest::addColumn<QString>("question");

    const QString none;
    const QString s3cret = QStringLiteral("s3cret");
    const QString proposeLocal = QStringLiteral("Open most recent file (local file) ?");
    const QString proposeFtp = QStringLiteral("Open most recent file (FTP file) ?");
    using A = PropertiesAnswer;
    QTest::newRow("equal dates") << 0.0 << false << -1 << kPassword << s3cret << false << none << none;
    QTest::newRow("FTP newer, AutoSync") << 1.0 << true << -1 << kPassword << s3cret << true << none << none;
    QTest::newRow("FTP newer, Yes") << 1.0 << false << int(A::Yes) << kPassword << s3cret << true << none << proposeFtp;
    QTest::newRow("FTP newer, closed") << 1.0 << false << int(A::Cancelled) << kPassword << s3cret << false << none
                                       << proposeFtp;
    QTest::newRow("FTP older, No") << -1.0 << false << int(A::No) << kPassword << s3cret << true << none
                                   << proposeLocal;
    // Closing the window never replaces the newer local copy with the older one.
    QTest::newRow("FTP older, closed") << -1.0 << false << int(A::Cancelled) << kPassword << s3cret << false << none
                                       << proposeLocal;
    QTest::newRow("FTP older, AutoSync") << -1.0 << true << -1 << kPassword << s3cret << false << none << none;
    QTest::newRow("FTP copy under another meta password")
        << 1.0 << true << -1 << QStringLiteral("other") << s3cret << false << QStringLiteral("BadPass") << none;
    QTest::newRow("wrong FTP password") << 1.0 << true << -1 << kPassword << QStringLiteral("wrong") << false
                                        << QStringLiteral("Error connecting server '127.0.0.1'\r\n\r\n530") << none;
}

void TestMainWindowFtp::syncAfterOpen()
{
    QFETCH(double, remoteDelta);
    QFETCH(bool, autoSync);
    QFETCH(int, answer);
    QFETCH(QString, remotePassword);
    QFETCH(QString, ftpPassword);
    QFETCH(bool, takesFtp);
    QFETCH(QString, message);
    QFETCH(QString, question);
    if (message == QLatin1String("BadPass"))
        message = QStringLiteral("Sorry ! This meta password is not the right one");

    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow(autoSync);
    DocumentState local;
    fillDocument(local, QStringLiteral("local group"), server, 5, 45000.5);
    local.LocalDoc.UserPassword = ftpPassword;
    const QString path = writeLocal(QStringLiteral("sync.pass"), local);
    const QByteArray localBytes = m_fx->tmp().readFile(QStringLiteral("sync.pass"));
    DocumentState remote;
    fillDocument(remote, QStringLiteral("remote group"), server, 9, 45000.5 + remoteDelta);
    remote.LocalDoc.ServerName = QStringLiteral("elsewhere.example");
    remote.LocalDoc.CreateDate = 43000;
    const QByteArray remoteBytes = enciphered(remote, remotePassword);
    QVERIFY(server.writeFile(QStringLiteral("backup/sync.pass"), remoteBytes));

    openFromDisk(path);
    // The question comes when the download has ended.
    if (answer >= 0)
        ModalSeam::pushAnswer(answer);
    // While the FTP copy comes, the document is shown under the read-only lock.
    QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("local group")});
    QVERIFY(w->doc().ReadOnlyLock);
    QVERIFY(!w->action(QStringLiteral("ActionSauver"))->isEnabled());
    QVERIFY(!w->action(QStringLiteral("ActionSynchroFTP"))->isEnabled());
    // Merge and the FTP entry mark would change the document too.
    QVERIFY(!w->action(QStringLiteral("ActionFusionner"))->isEnabled());
    w->view()->flushGroupChange();
    w->view()->selectRow(0);
    QVERIFY(w->view()->selectedEntry());
    QVERIFY(!w->view()->selectedEntry()->WebAddress.isEmpty());
    QVERIFY(!w->action(QStringLiteral("ActionSetFTP"))->isEnabled());
    QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Read only"));
    QVERIFY(w->findChild<QWidget*>(QStringLiteral("panelLoadFTP"))->isVisibleTo(w));
    QVERIFY(w->ftpSync()->syncTransfer());
    QVERIFY(waitForSync());

    QVERIFY(!w->doc().ReadOnlyLock);
    QVERIFY(w->action(QStringLiteral("ActionSauver"))->isEnabled());
    QVERIFY(!w->findChild<QWidget*>(QStringLiteral("panelLoadFTP"))->isVisibleTo(w));
    QVERIFY(!w->doc().Modified);
    QCOMPARE(w->statusPanel(2)->text(), QString());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")),
             question.isEmpty() ? QStringList() : QStringList{question});
    const QStringList shown = shownMessages();
    if (message.isEmpty()) {
        QCOMPARE(shown, QStringList());
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(message), qPrintable(shown[0]));
        QVERIFY(!shown[0].contains(ftpPassword));
    }

    if (!takesFtp) {
        QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("local group")});
        QCOMPARE(m_fx->tmp().readFile(QStringLiteral("sync.pass")), localBytes);
        QCOMPARE(server.readFile(QStringLiteral("backup/sync.pass")), remoteBytes);
        QVERIFY(!m_fx->tmp().exists(QStringLiteral("sync.pass.bak")));
        return;
    }
    // The local file the FTP copy replaced is kept beside it, for its owner only, and the status
    // bar says where.
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("sync.pass.bak")), localBytes);
    QCOMPARE(QFile::permissions(path + QStringLiteral(".bak")) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("The replaced local file is kept as %1.bak").arg(path));
    // The FTP copy's content and counter, the local parameters; saved uncounted and sent back.
    QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("remote group")});
    QCOMPARE(w->doc().LocalDoc.SaveCount, 9);
    QCOMPARE(w->doc().LocalDoc.ServerName, QStringLiteral("127.0.0.1"));
    QCOMPARE(w->doc().CurrentPath, path);
    DocumentState saved;
    QVERIFY(readBack(m_fx->tmp().readFile(QStringLiteral("sync.pass")), saved));
    QCOMPARE(groupNames(saved), QStringList{QStringLiteral("remote group")});
    QCOMPARE(saved.LocalDoc.SaveCount, 9);
    QCOMPARE(saved.LocalDoc.SaveDate, 45000.5 + remoteDelta);
    QCOMPARE(saved.LocalDoc.CreateDate, 43000.0);
    QCOMPARE(saved.LocalDoc.ServerName, QStringLiteral("127.0.0.1"));
    QCOMPARE(server.readFile(QStringLiteral("backup/sync.pass")), m_fx->tmp().readFile(QStringLiteral("sync.pass")));
}

void TestMainWindowFtp::searchFilterIsSwitchedOffBeforeTheQuestion()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow();
    DocumentState local;
    fillDocument(local, QStringLiteral("local group"), server, 5, 45000.5);
    DocumentState remote;
    fillDocument(remote, QStringLiteral("remote group"), server, 9, 45001.5);
    QVERIFY(server.writeFile(QStringLiteral("backup/sync.pass"), enciphered(remote)));
    openFromDisk(writeLocal(QStringLiteral("sync.pass"), local));
    QAction* search = w->action(QStringLiteral("ActionChercher"));
    search->setEnabled(true);
    search->setChecked(true);
    // How many questions had been asked when the filter went off.
    int questionsWhenSwitchedOff = -1;
    connect(search, &QAction::toggled, this, [&](bool on) {
        if (!on)
            questionsWhenSwitchedOff = int(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")).size());
    });
    ModalSeam::pushAnswer(int(PropertiesAnswer::No));
    QVERIFY(waitForSync());
    QVERIFY(!search->isChecked());
    QCOMPARE(questionsWhenSwitchedOff, 0);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")).size(), 1);
}

// The idle lock comes while the synchronisation question is on screen and the user cancels its
// prompt, which closes the document. A Yes given afterwards must not show the FTP copy in the
// window: that would show every entry without the meta password.
void TestMainWindowFtp::idleLockClosesTheDocumentUnderTheSyncQuestion()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow();
    DocumentState local;
    fillDocument(local, QStringLiteral("local group"), server, 5, 45000.5);
    const QString path = writeLocal(QStringLiteral("sync.pass"), local);
    const QByteArray localBytes = m_fx->tmp().readFile(QStringLiteral("sync.pass"));
    DocumentState remote;
    fillDocument(remote, QStringLiteral("remote group"), server, 9, 45001.5);
    const QByteArray remoteBytes = enciphered(remote);
    QVERIFY(server.writeFile(QStringLiteral("backup/sync.pass"), remoteBytes));

    openFromDisk(path);
    bool locked = false;
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("BoiteInfo") && !locked) {
            locked = true;
            w->idleLock()->timerIdleMainTimer();
        }
    });
    ModalSeam::pushAnswer(QVariant());                 // Cancel at the lock's prompt
    ModalSeam::pushAnswer(int(PropertiesAnswer::Yes)); // then Yes to the question
    QVERIFY(waitForSync());

    QVERIFY(locked);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")).size(), 2); // the open, then the lock
    QCOMPARE(ModalSeam::pendingAnswers(), 0);
    QCOMPARE(groupNames(w->doc()), QStringList());
    QCOMPARE(w->doc().entryCount(), 0);
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QVERIFY(w->doc().MetaPassword.isEmpty());
    QVERIFY(!w->doc().ReadOnlyLock);
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("sync.pass")), localBytes);
    QCOMPARE(server.readFile(QStringLiteral("backup/sync.pass")), remoteBytes);
}

// The idle lock closes the document while the Save on FTP dialog is open: the new, empty document
// must not take the FTP name and mode, whose next save would replace the server's copy with it.
void TestMainWindowFtp::idleLockClosesTheDocumentUnderTheSaveOnFtpDialog()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow();
    DocumentState local;
    fillDocument(local, QStringLiteral("local"), server, 7, 45000.5);
    local.LocalDoc.SyncOn = false;
    openFromDisk(writeLocal(QStringLiteral("local.pass"), local));
    writeFtpSection(server, QStringLiteral("backup/codes.pass"));
    QVERIFY(QDir(server.root()).mkpath(QStringLiteral("backup")));
    QVERIFY(!w->doc().Modified);

    bool locked = false;
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("BoiteFTP") && !locked) {
            locked = true;
            w->idleLock()->timerIdleMainTimer();
        }
    });
    ModalSeam::pushAnswer(QVariant());           // Cancel at the lock's prompt: the document closes
    ModalSeam::pushAnswer(QStringLiteral("OK")); // then OK in the dialog still open
    w->action(QStringLiteral("ActionSauverFTP"))->trigger();

    QVERIFY(locked);
    QCOMPARE(ModalSeam::pendingAnswers(), 0);
    QCOMPARE(w->doc().entryCount(), 0);
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QVERIFY(!w->doc().FtpMode);
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
    QCOMPARE(w->saveToolButton()->defaultAction()->objectName(), QStringLiteral("ActionSauver"));
}

void TestMainWindowFtp::stopDuringTheDownload()
{
    FtpServer server(QStringLiteral("alice"), QStringLiteral("s3cret"), QStringLiteral("silent"));
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow(true);
    DocumentState local;
    fillDocument(local, QStringLiteral("local group"), server, 5, 45000.5);
    openFromDisk(writeLocal(QStringLiteral("sync.pass"), local));
    QVERIFY(w->doc().ReadOnlyLock);
    w->findChild<QToolButton*>(QStringLiteral("bnFtpStop"))->click();
    QVERIFY(waitForSync());
    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")), QStringList());
    QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("local group")});
    QVERIFY(!w->doc().ReadOnlyLock);
}

void TestMainWindowFtp::newDuringTheDownload_data()
{
    QTest::addColumn<bool>("openAnother");
    QTest::newRow("New") << false;
    QTest::newRow("Open of a document without synchronisation") << true;
}

// A slow download of the FTP copy must not outlive its document: New (or Open) stops it and takes
// the read-only lock off at once, and what is done in the new document is kept.
void TestMainWindowFtp::newDuringTheDownload()
{
    QFETCH(bool, openAnother);
    FtpServer server(QStringLiteral("alice"), QStringLiteral("s3cret"), QStringLiteral("silent"));
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow(true);
    DocumentState local;
    fillDocument(local, QStringLiteral("local group"), server, 5, 45000.5);
    openFromDisk(writeLocal(QStringLiteral("sync.pass"), local));
    QVERIFY(w->doc().ReadOnlyLock);
    QPointer<TFileFTP> transfer = w->ftpSync()->syncTransfer();
    QVERIFY(transfer);

    if (openAnother) {
        DocumentState other;
        fillDocument(other, QStringLiteral("other"), server, 1, 45000.5);
        other.LocalDoc.SyncOn = false;
        openFromDisk(writeLocal(QStringLiteral("other.pass"), other));
        QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("other")});
    } else {
        w->action(QStringLiteral("ActionNouveau"))->trigger();
        QCOMPARE(w->doc().groupCount(), 0);
    }
    QVERIFY(!w->doc().ReadOnlyLock);
    QVERIFY(!w->ftpSync()->syncTransfer());
    QVERIFY(!w->findChild<QWidget*>(QStringLiteral("panelLoadFTP"))->isVisibleTo(w));
    QCOMPARE(w->statusPanel(2)->text(), QString());
    QVERIFY(w->action(QStringLiteral("ActionNewGrp"))->isEnabled());
    // The transfer stops within its time-outs, and its end changes nothing any more.
    QTRY_VERIFY_WITH_TIMEOUT(transfer.isNull(), 15000);
    w->action(QStringLiteral("ActionNewGrp"))->trigger();
    QVERIFY(w->doc().Modified);
    QVERIFY(w->action(QStringLiteral("ActionSauver"))->isEnabled());
    QCoreApplication::processEvents();
    QVERIFY(w->doc().Modified);
    QVERIFY(!w->doc().ReadOnlyLock);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")), QStringList());
    QCOMPARE(shownMessages(), QStringList());
}

// The local file cannot be kept beside itself (a folder stands where the backup would go): the FTP
// copy is not taken and the local file stays as it was.
void TestMainWindowFtp::backupThatCannotBeWrittenKeepsTheLocalCopy()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow(true);
    DocumentState local;
    fillDocument(local, QStringLiteral("local group"), server, 5, 45000.5);
    const QString path = writeLocal(QStringLiteral("sync.pass"), local);
    const QByteArray localBytes = m_fx->tmp().readFile(QStringLiteral("sync.pass"));
    m_fx->tmp().makeFolder(QStringLiteral("sync.pass.bak"));
    DocumentState remote;
    fillDocument(remote, QStringLiteral("remote group"), server, 9, 45001.5);
    QVERIFY(server.writeFile(QStringLiteral("backup/sync.pass"), enciphered(remote)));
    openFromDisk(path);
    QVERIFY(waitForSync());
    QCOMPARE(shownMessages().size(), 1);
    QVERIFY2(shownMessages().first().startsWith(
                 QStringLiteral("The local file could not be kept as %1.bak: the FTP copy was not taken.").arg(path)),
             qPrintable(shownMessages().first()));
    QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("local group")});
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("sync.pass")), localBytes);
    QVERIFY(!w->doc().ReadOnlyLock);
}

void TestMainWindowFtp::downloadIsDroppedForAnotherDocument_data()
{
    QTest::addColumn<bool>("openAnother");
    QTest::newRow("another document opened") << true;
    QTest::newRow("document emptied") << false;
}

void TestMainWindowFtp::downloadIsDroppedForAnotherDocument()
{
    QFETCH(bool, openAnother);
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow(true);
    DocumentState a;
    fillDocument(a, QStringLiteral("document A"), server, 5, 45000.5);
    const QString pathA = writeLocal(QStringLiteral("a.pass"), a);
    const QByteArray bytesA = m_fx->tmp().readFile(QStringLiteral("a.pass"));
    DocumentState b;
    fillDocument(b, QStringLiteral("document B"), server, 1, 45000.5);
    b.LocalDoc.SyncOn = false;
    const QString pathB = writeLocal(QStringLiteral("b.pass"), b);
    const QByteArray bytesB = m_fx->tmp().readFile(QStringLiteral("b.pass"));
    // A newer FTP copy of A, taken without a question if it were applied.
    DocumentState remote;
    fillDocument(remote, QStringLiteral("FTP copy of A"), server, 9, 45002.5);
    QVERIFY(server.writeFile(QStringLiteral("backup/sync.pass"), enciphered(remote)));

    openFromDisk(pathA);
    QVERIFY(w->ftpSync()->syncTransfer());
    if (openAnother) {
        ModalSeam::pushAnswer(kPassword);
        QVERIFY(w->pipeline().OpenDocument(pathB));
    } else {
        w->view()->documentAboutToReload();
        w->doc().clearContent();
        w->doc().addGroup(QStringLiteral("document B"));
        w->view()->documentReloaded();
    }
    if (openAnother) {
        // Opening B stopped A's download at once: nothing of it comes back.
        QVERIFY(!w->ftpSync()->syncTransfer());
        QVERIFY(!w->doc().ReadOnlyLock);
        QSignalSpy late(w->ftpSync(), &FtpSync::syncDownloadFinished);
        QVERIFY(!late.wait(1500));
    } else {
        QVERIFY(waitForSync());
    }

    QCOMPARE(groupNames(w->doc()), QStringList{QStringLiteral("document B")});
    QVERIFY(!w->doc().ReadOnlyLock);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")), QStringList());
    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("a.pass")), bytesA);
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("b.pass")), bytesB);
}

void TestMainWindowFtp::uploadAfterEveryLocalSave()
{
    FtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    auto* w = makeWindow();
    DocumentState local;
    fillDocument(local, QStringLiteral("local group"), server, 5, 45000.5);
    QVERIFY(server.writeFile(QStringLiteral("backup/sync.pass"), enciphered(local)));
    openFromDisk(writeLocal(QStringLiteral("sync.pass"), local));
    QVERIFY(waitForSync());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteInfo")), QStringList());

    for (int save = 1; save <= 2; ++save) {
        w->doc().addGroup(QStringLiteral("added %1").arg(save));
        w->doc().SetModified(true);
        w->action(QStringLiteral("ActionSauver"))->trigger();
        QCOMPARE(shownMessages(), QStringList());
        QVERIFY(!w->doc().Modified);
        const QByteArray written = m_fx->tmp().readFile(QStringLiteral("sync.pass"));
        QCOMPARE(server.readFile(QStringLiteral("backup/sync.pass")), written);
        DocumentState back;
        QVERIFY(readBack(written, back));
        QCOMPARE(back.LocalDoc.SaveCount, 5 + save);
    }
}

void TestMainWindowFtp::markFtpEntry()
{
    FtpServer server;
    auto* w = makeWindow();
    DocumentState local;
    fillDocument(local, QStringLiteral("group"), server, 5, 45000.5);
    local.LocalDoc.SyncOn = false;
    local.LocalDoc.UseFtpEntry = true;
    openFromDisk(writeLocal(QStringLiteral("doc.pass"), local));
    DocumentView* view = w->view();
    view->selectGroup(w->doc().Groups().front().get());
    view->flushGroupChange();
    view->selectRow(0);
    QAction* setFtp = w->action(QStringLiteral("ActionSetFTP"));
    view->updateEntryMenuActions(false);
    QVERIFY(setFtp->isEnabled());

    setFtp->trigger();
    QVERIFY(setFtp->isChecked());
    QCOMPARE(w->doc().FtpEntryIndex(), 0);
    QVERIFY(w->doc().entry(0)->IsFtpEntry);
    QCOMPARE(w->doc().LocalDoc.ServerName, QStringLiteral("myhost"));
    QCOMPARE(w->doc().LocalDoc.PortNumber, 2121);
    QCOMPARE(w->doc().LocalDoc.RemotePath, QStringLiteral("backup/x.pass"));
    QVERIFY(w->doc().Modified);

    setFtp->trigger();
    QVERIFY(!setFtp->isChecked());
    QCOMPARE(w->doc().FtpEntryIndex(), -1);
    QVERIFY(!w->doc().entry(0)->IsFtpEntry);
}

void TestMainWindowFtp::synchronisationParameters()
{
    FtpServer server;
    auto* w = makeWindow();
    QAction* sync = w->action(QStringLiteral("ActionSynchroFTP"));
    QVERIFY(!sync->isChecked());

    // Cancel: the check mark stays as the document says.
    ModalSeam::pushAnswer(QStringLiteral("Cancel"));
    sync->trigger();
    QVERIFY(!sync->isChecked());
    QVERIFY(!w->doc().Modified);

    QVariantMap typed{
        {"CBUseFTP", true}, {"Serveur", "ftp://files.example"}, {"Fichier", "C:\\docs\\codes.pass"}, {"button", "OK"}};
    ModalSeam::pushAnswer(typed);
    sync->trigger();
    QVERIFY(sync->isChecked());
    QVERIFY(w->doc().LocalDoc.SyncOn);
    QCOMPARE(w->doc().LocalDoc.ServerName, QStringLiteral("files.example"));
    QCOMPARE(w->doc().LocalDoc.RemotePath, QStringLiteral("codes.pass"));
    QVERIFY(w->doc().Modified);
}

void TestMainWindowFtp::fileProperties()
{
    auto* w = makeWindow();
    ModalSeam::pushAnswer(int(PropertiesAnswer::Ok));
    w->action(QStringLiteral("ActionInfoFich"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown().first().dialog, QStringLiteral("BoiteInfo"));
    QCOMPARE(ModalSeam::shown().first().kind, -1);
    // Right after start-up no FTP copy was read: the FTP column is empty.
    for (int row = 0; row < m_fx->dialog<TBoiteInfo>()->ListeInfo->topLevelItemCount(); ++row)
        QVERIFY(m_fx->dialog<TBoiteInfo>()->ListeInfo->topLevelItem(row)->text(2).isEmpty());
}

QTEST_MAIN(TestMainWindowFtp)
#include "tst_mainwindow_ftp.moc"
