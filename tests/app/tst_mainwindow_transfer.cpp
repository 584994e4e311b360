// File › Import… and File › Export… in the main window, driven through their commands with every
// question answered through the modal seam.
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/SecureBytes.h"
#include "document/ForeignExport.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QtTest>

#include <sys/stat.h>

using testsupport::shownMessages;
using testsupport::WindowFixture;

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(TRESORIN_TEST_DATA "/foreign/") + name;
}

QStringList topGroupNames(const DocumentState& doc)
{
    QStringList names;
    for (const auto& g : doc.Groups())
        names << g->Name;
    return names;
}

int fileMode(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class TestTransferWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void importIntoTheOpenDocument();
    void importWithDatesInTheFuture();
    void importWithUnstorableCharacters_data();
    void importWithUnstorableCharacters();
    void importOfAMalformedFile();
    void importWithLosses_data();
    void importWithLosses();
    void importDroppedWhenTheDocumentChanged();
    void importUnderTheReadOnlyLock();
    void exportAfterTheWarning_data();
    void exportAfterTheWarning();
    void exportNeverReplacesTheDocument();

private:
    // A document of one group and one entry, clean.
    void fillDocument();
    std::unique_ptr<WindowFixture> m_fx;
};

void TestTransferWindow::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestTransferWindow::cleanup()
{
    m_fx.reset();
}

void TestTransferWindow::fillDocument()
{
    DocumentState& doc = m_fx->window()->doc();
    m_fx->window()->view()->documentAboutToReload();
    TGroupe* g = doc.addGroup(QStringLiteral("Mine"));
    auto e = NewEntry(g, QStringLiteral("kept"));
    e->Password = QStringLiteral("pw");
    doc.appendEntry(std::move(e));
    m_fx->window()->view()->documentReloaded();
    doc.SetModified(false);
}

void TestTransferWindow::importIntoTheOpenDocument()
{
    auto* w = m_fx->makeWindow();
    fillDocument();
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(fixture(QStringLiteral("keepassxc.xml")));
    w->action(QStringLiteral("ActionImporter"))->trigger();

    const ModalSeam::Shown& asked = ModalSeam::shown().at(0);
    QCOMPARE(asked.dialog, QStringLiteral("OpenFile"));
    QCOMPARE(asked.text, QStringLiteral("Import passwords"));
    QCOMPARE(asked.detail,
             QStringLiteral("Password exports (*.xml *.csv *.json);;KeePass 2 XML (*.xml);;CSV, KeePassXC "
                            "columns (*.csv);;Bitwarden or Tresorin JSON (*.json);;All files (*)"));
    QCOMPARE(shownMessages(), QStringList());

    DocumentState& doc = w->doc();
    QCOMPARE(topGroupNames(doc), (QStringList{"Mine", "keepassxc.xml"}));
    // KeePassXC's root group ("Passwords") is the file itself: its groups and entries come
    // straight under the group named after the file.
    const TGroupe* added = doc.Groups().back().get();
    QCOMPARE(added->Children.size(), size_t(1));
    QCOMPARE(added->Children[0]->Name, QStringLiteral("Mail"));
    QCOMPARE(doc.entry(1)->Group, added->Id);
    QCOMPARE(doc.entryCount(), 4);
    QCOMPARE(doc.entry(1)->Name, QStringLiteral("Bank é"));
    QVERIFY(doc.Modified);
    QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Modified"));
    QCOMPARE(w->view()->selectedGroup(), added);
    const QString said = QStringLiteral("3 items and 2 groups imported into the group \"keepassxc.xml\"");
    QCOMPARE(w->statusPanel(0)->text(), said);
    // The hint the list shows when the pointer comes back to it as the file dialog closes does not
    // take its place at once; later hints do.
    emit w->view()->statusHint(QStringLiteral("a hint"));
    QCOMPARE(w->statusPanel(0)->text(), said);
    const int hold = TfrmTresorin::AnnouncementHoldMs;
    TfrmTresorin::AnnouncementHoldMs = 0;
    QTest::qWait(2);
    emit w->view()->statusHint(QStringLiteral("a hint"));
    TfrmTresorin::AnnouncementHoldMs = hold;
    QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("a hint"));

    // Cancelling the file dialog changes nothing.
    ModalSeam::pushAnswer(QString());
    w->action(QStringLiteral("ActionImporter"))->trigger();
    QCOMPARE(doc.entryCount(), 4);
}

void TestTransferWindow::importWithDatesInTheFuture()
{
    // A date of 31 Dec 9999 would win every synchronising merge: it becomes now, and the status
    // bar says so.
    auto* w = m_fx->makeWindow();
    fillDocument();
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("future.csv"),
                                  QByteArray("title,password,last modified\nfar,p,9999-12-31T00:00:00Z\n")));
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("future.csv")));
    w->action(QStringLiteral("ActionImporter"))->trigger();
    DocumentState& doc = w->doc();
    QCOMPARE(doc.entryCount(), 2);
    QVERIFY(doc.entry(1)->ModifiedAt <= datetime::now());
    QVERIFY(doc.entry(1)->Created != doc.entry(0)->Created);
    QCOMPARE(
        w->statusPanel(0)->text(),
        QStringLiteral("1 item and 0 groups imported into the group \"future.csv\"; 1 date in the future was set to "
                       "now"));
}

void TestTransferWindow::importWithUnstorableCharacters_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("replace") << int(MsgYes);
    QTest::newRow("give up") << int(MsgNo);
}

void TestTransferWindow::importWithUnstorableCharacters()
{
    QFETCH(int, answer);
    auto* w = m_fx->makeWindow();
    fillDocument();
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("snow.csv"),
                                  "name,username,password\nSnow \xE2\x98\x83,ok,p\xF0\x9F\x98\x80\nPlain,a,b\n"));
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("snow.csv")));
    ModalSeam::pushAnswer(answer);
    w->action(QStringLiteral("ActionImporter"))->trigger();

    // The password's character is counted, never shown.
    QCOMPARE(shownMessages(), QStringList{"These fields hold characters a document cannot store:\r\n\r\n"
                                          "line 2: \"snow.csv/Snow ☃\": name (☃)\r\n"
                                          "line 2: \"snow.csv/Snow ☃\": password\r\n\r\n"
                                          "Replace each of these characters by \"?\" and import them?"});
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Confirmation));
    DocumentState& doc = w->doc();
    if (answer == MsgNo) {
        QCOMPARE(doc.entryCount(), 1);
        QCOMPARE(doc.groupCount(), 1);
        QVERIFY(!doc.Modified);
        return;
    }
    QCOMPARE(doc.entryCount(), 3);
    QCOMPARE(doc.entry(1)->Name, QStringLiteral("Snow ?"));
    QCOMPARE(doc.entry(1)->Password, QStringLiteral("p?"));
    QVERIFY(doc.Modified);
}

void TestTransferWindow::importOfAMalformedFile()
{
    auto* w = m_fx->makeWindow();
    fillDocument();
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("bad.csv"), "name,password\nA,\"open\n"));
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("bad.csv")));
    w->action(QStringLiteral("ActionImporter"))->trigger();
    QCOMPARE(shownMessages(),
             QStringList{"The file \"bad.csv\" cannot be imported:\r\n\r\nline 2, column 3: the quoted "
                         "field that starts here is not closed"});
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Error));
    QCOMPARE(w->doc().entryCount(), 1);
    QVERIFY(!w->doc().Modified);

    // A file that cannot be read says so.
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("missing.csv")));
    w->action(QStringLiteral("ActionImporter"))->trigger();
    QCOMPARE(shownMessages().size(), 1);
    QVERIFY(shownMessages()[0].startsWith(QStringLiteral("The file \"missing.csv\" cannot be imported:")));
}

void TestTransferWindow::importDroppedWhenTheDocumentChanged()
{
    auto* w = m_fx->makeWindow();
    // While the file dialog is open, the idle lock gives way to a new document.
    ModalSeam::setObserver([w](const ModalSeam::Shown& shown) {
        if (shown.dialog == QLatin1String("OpenFile"))
            w->NewDocument();
    });
    ModalSeam::pushAnswer(fixture(QStringLiteral("chrome.csv")));
    w->action(QStringLiteral("ActionImporter"))->trigger();
    QCOMPARE(w->doc().entryCount(), 0);
    QVERIFY(!w->doc().Modified);
}

void TestTransferWindow::importWithLosses_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("import the rest") << int(MsgYes);
    QTest::newRow("give up") << int(MsgNo);
}

// Parts of the file a document has no place for are said before anything is imported; the rest
// comes in on Yes only.
void TestTransferWindow::importWithLosses()
{
    QFETCH(int, answer);
    auto* w = m_fx->makeWindow();
    fillDocument();
    QVERIFY(m_fx->tmp().writeFile(
        QStringLiteral("vault.json"),
        "{\"items\": [{\"name\": \"a\", \"login\": {\"password\": \"p\"}, \"fields\": [{\"name\": \"odd\", "
        "\"value\": {\"x\": 1}}]}]}"));
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("vault.json")));
    ModalSeam::pushAnswer(answer);
    w->action(QStringLiteral("ActionImporter"))->trigger();
    QCOMPARE(shownMessages(), QStringList{"Parts of \"vault.json\" have no place in a document and would be left "
                                          "out:\r\n\r\n\"items[0].fields[0]\": the value of \"odd\" is no text\r\n\r\n"
                                          "Import the rest?"});
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Confirmation));
    DocumentState& doc = w->doc();
    QCOMPARE(doc.entryCount(), answer == MsgYes ? 2 : 1);
    QCOMPARE(doc.Modified, answer == MsgYes);
}

void TestTransferWindow::importUnderTheReadOnlyLock()
{
    auto* w = m_fx->makeWindow();
    w->doc().ReadOnlyLock = true;
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(fixture(QStringLiteral("chrome.csv")));
    w->action(QStringLiteral("ActionImporter"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 0);
    QCOMPARE(w->doc().entryCount(), 0);
    w->doc().ReadOnlyLock = false;
}

void TestTransferWindow::exportAfterTheWarning_data()
{
    QTest::addColumn<int>("warningAnswer");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("existing"); // the file exists, readable by all
    QTest::newRow("declined") << int(MsgNo) << ""
                              << "" << 0 << false;
    QTest::newRow("csv by default, extension added") << int(MsgYes) << "out"
                                                     << "out.csv" << int(foreign::ExportFormat::Csv) << false;
    QTest::newRow("xml by extension") << int(MsgYes) << "out.xml"
                                      << "out.xml" << int(foreign::ExportFormat::KeePassXml) << false;
    QTest::newRow("over a file readable by all") << int(MsgYes) << "old.csv"
                                                 << "old.csv" << int(foreign::ExportFormat::Csv) << true;
}

void TestTransferWindow::exportAfterTheWarning()
{
    QFETCH(int, warningAnswer);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(int, format);
    QFETCH(bool, existing);
    auto* w = m_fx->makeWindow();
    fillDocument();
    if (existing) {
        QVERIFY(m_fx->tmp().writeFile(written, "old"));
        QVERIFY(::chmod(QFile::encodeName(m_fx->tmp().filePath(written)).constData(), 0644) == 0);
    }
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(warningAnswer);
    if (!chosen.isEmpty())
        ModalSeam::pushAnswer(m_fx->tmp().filePath(chosen));
    w->action(QStringLiteral("ActionExporter"))->trigger();

    const ModalSeam::Shown& warning = ModalSeam::shown().at(0);
    QCOMPARE(warning.dialog, QStringLiteral("ShowMsg"));
    QCOMPARE(warning.kind, int(MsgKind::Warning));
    QVERIFY(warning.text.startsWith(QStringLiteral("The exported file will hold every password in clear text")));
    if (warningAnswer == MsgNo) {
        QCOMPARE(ModalSeam::shown().size(), 1); // no file dialog
        return;
    }
    QCOMPARE(ModalSeam::shown().at(1).dialog, QStringLiteral("SaveFile"));
    QCOMPARE(ModalSeam::shown().at(1).detail, QStringLiteral("KeePass 2 XML (*.xml);;CSV, KeePassXC columns (*.csv)"));
    const QString path = m_fx->tmp().filePath(written);
    const QByteArray bytes = m_fx->tmp().readFile(written);
    if (format == int(foreign::ExportFormat::Csv)) {
        SecureBytes expected;
        foreign::exportToBytes(w->doc(), foreign::ExportFormat::Csv, expected);
        QCOMPARE(bytes, expected.bytes());
    } else {
        QVERIFY(bytes.startsWith("<?xml"));
        QVERIFY(bytes.contains("<Value ProtectInMemory=\"True\">pw</Value>"));
    }
    // Only its owner can read it, also when the file was there before.
    QCOMPARE(fileMode(path), 0600);
    QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("1 item exported to %1").arg(QDir::toNativeSeparators(path)));
    QVERIFY(!w->doc().Modified);
}

void TestTransferWindow::exportNeverReplacesTheDocument()
{
    auto* w = m_fx->makeWindow();
    fillDocument();
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("doc.pass"), "enciphered"));
    w->doc().CurrentPath = m_fx->tmp().filePath(QStringLiteral("doc.pass"));
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(int(MsgYes));
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("doc.pass")));
    w->action(QStringLiteral("ActionExporter"))->trigger();
    QCOMPARE(shownMessages().last(), QStringLiteral("The export cannot replace the file of the open document."));
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("doc.pass")), QByteArray("enciphered"));
}

QTEST_MAIN(TestTransferWindow)
#include "tst_mainwindow_transfer.moc"
