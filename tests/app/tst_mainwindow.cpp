// The main window with a document: open with the right, a wrong or no password, files that
// cannot be read or break off, save, save as, change of meta password, the close query, the
// document named on the command line, and the settings written at exit. Every question is
// answered through the modal seam.

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/Cipher.h"
#include "document/DocumentStream.h"
#include "document/gui/DocumentPipeline.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/RecentDocs.h"
#include "platform/SingleInstance.h"
#include "platform/Win1252.h"
#include "platform/gui/ModalSeam.h"
#include "settings/IniFile.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <thread>

using testsupport::readDocument;
using testsupport::shownMessages;
using testsupport::storedStream;
using testsupport::WindowFixture;
using testsupport::writeDocument;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openWithTheRightPassword();
    void wrongPasswordKeepsTheGroupsShown();
    void cancelledPasswordChangesNothing();
    void unreadableFileChangesNothing();
    void brokenStreamIsKeptUntitled();
    void readerMessagesAreShownInOrder();
    void saveTwiceAndReopen();
    void saveOfAnUntitledDocumentAsksTheName();
    void saveAsCancelledAtThePassword();
    void failedSaveKeepsTheDocumentModified();
    void changeOfMetaPassword();
    void closeQuery();
    void commandLineDocument();
    void commandLineMissingFile_data();
    void commandLineMissingFile();
    void commandLineCancelledPassword();
    void settingsWrittenAtExit();
    void settingsNotWrittenWhenAnotherInstanceAnswered();
    void settingsWriteFailureIsShown();
    void wakeUpBringsTheWindowForward();
    void synchronisedDocument_data();
    void synchronisedDocument();
    void renameKey_data();
    void renameKey();

private:
    // A window before its first activation, which the tests run themselves.
    TfrmTresorin* makeWindow(const QStringList& args = {}, const QByteArray& ini = testsupport::kWindowIni)
    {
        return m_fx->makeWindow(ini, args, WindowFixture::NotActivated);
    }
    QString makeDocument(const QString& name, const QString& password, int groups = 3);
    QStringList topGroupNames() const { return m_fx->topGroupNames(); }

    std::unique_ptr<WindowFixture> m_fx;
};

void TestMainWindow::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestMainWindow::cleanup()
{
    m_fx.reset();
}

QString TestMainWindow::makeDocument(const QString& name, const QString& password, int groups)
{
    DocumentState doc;
    if (groups < 0) {
        testsupport::buildRichDocument(doc);
        // Not synchronised: its FTP server does not exist, and the FTP copy has tests of its own.
        doc.LocalDoc.SyncOn = false;
    } else {
        for (int g = 0; g < groups; ++g) {
            TGroupe* group = doc.addGroup(name + QStringLiteral(" group %1").arg(g + 1));
            TGroupe* child = doc.addGroup(QStringLiteral("child"), group);
            doc.addGroup(QStringLiteral("grandchild"), child);
            for (int e = 0; e < g + 2; ++e) {
                auto entry = NewEntry(group, QStringLiteral("entry %1").arg(e));
                entry->Password = QStringLiteral("pw%1").arg(e);
                doc.appendEntry(std::move(entry));
            }
        }
        doc.LocalDoc.SaveCount = 41;
    }
    const QString path = m_fx->tmp().filePath(name);
    if (!writeDocument(path, doc, password))
        return QString();
    return path;
}

void TestMainWindow::openWithTheRightPassword()
{
    auto* w = makeWindow();
    w->FormActivate();
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
    const QString path = makeDocument(QStringLiteral("codes.pass"), QStringLiteral("secret"));
    QVERIFY(w->action(QStringLiteral("ActionNewGrp"))->isEnabled());
    QVERIFY(!w->action(QStringLiteral("ActionChangeMeta"))->isEnabled());
    QVERIFY(!w->action(QStringLiteral("ActionChercher"))->isEnabled());

    m_fx->openThroughCommand(path, QStringLiteral("secret"));

    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")),
             QStringList{QStringLiteral("Password of \"codes.pass\" :")});
    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - codes.pass"));
    QCOMPARE(w->doc().CurrentPath, path);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("secret"));
    QVERIFY(!w->doc().Modified);
    QCOMPARE(w->doc().LocalDoc.SaveCount, 41);
    // 3 groups of 2, 3 and 4 entries, each with a child and a grandchild.
    QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("9 items and 9 groups founded in %1 file").arg(path));
    QVERIFY(w->action(QStringLiteral("ActionChangeMeta"))->isEnabled());
    QVERIFY(w->action(QStringLiteral("ActionNewGrp"))->isEnabled());
    QVERIFY(w->action(QStringLiteral("ActionChercher"))->isEnabled());

    // The first group is selected, expanded with everything below it, and listed.
    DocumentView* view = w->view();
    view->flushGroupChange();
    TGroupe* first = w->doc().Groups().front().get();
    QCOMPARE(view->selectedGroup(), first);
    GroupTreeModel* model = view->groupModel();
    QVERIFY(view->arbo()->isExpanded(model->indexForGroup(first)));
    QVERIFY(view->arbo()->isExpanded(model->indexForGroup(first->Children.front().get())));
    QVERIFY(!view->arbo()->isExpanded(model->indexForGroup(w->doc().Groups()[1].get())));
    QCOMPARE(view->entryModel()->count(), 2);

    // The desktop's recent documents list names the file.
    QFile recent(platform::recentDocumentsFile());
    QVERIFY(recent.open(QIODevice::ReadOnly));
    QVERIFY(recent.readAll().contains(QUrl::fromLocalFile(path).toEncoded()));
}

void TestMainWindow::wrongPasswordKeepsTheGroupsShown()
{
    auto* w = makeWindow();
    w->FormActivate();
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"));
    const QString b = makeDocument(QStringLiteral("b.pass"), QStringLiteral("other"), 1);
    m_fx->openThroughCommand(a, QStringLiteral("secret"));
    const QStringList groupsOfA = topGroupNames();
    QCOMPARE(groupsOfA.size(), 3);

    ModalSeam::clearShown();
    m_fx->openThroughCommand(b, QStringLiteral("secret"));
    QCOMPARE(shownMessages(), QStringList{Msg(QStringLiteral("BadPass"))});
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Error));
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
    QCOMPARE(topGroupNames(), groupsOfA);
    QVERIFY(w->doc().MetaPassword.isEmpty());
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QVERIFY(!w->doc().Modified);
    // The header was reset for the file that failed.
    QCOMPARE(w->doc().LocalDoc.FileName, b);
    QCOMPARE(w->doc().LocalDoc.SaveCount, 0);

    // Save now works as Save as.
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(QString());
    w->action(QStringLiteral("ActionSauver"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown().first().dialog, QStringLiteral("SaveFile"));
}

void TestMainWindow::cancelledPasswordChangesNothing()
{
    auto* w = makeWindow();
    w->FormActivate();
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"));
    const QString b = makeDocument(QStringLiteral("b.pass"), QStringLiteral("secret"), 1);
    m_fx->openThroughCommand(a, QStringLiteral("secret"));
    const QStringList groupsOfA = topGroupNames();
    const QString status = w->statusPanel(0)->text();

    m_fx->openThroughCommand(b, QVariant());
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - a.pass"));
    QCOMPARE(w->doc().CurrentPath, a);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("secret"));
    QCOMPARE(w->doc().LocalDoc.FileName, a);
    QCOMPARE(topGroupNames(), groupsOfA);
    QCOMPARE(w->statusPanel(0)->text(), status);
    QCOMPARE(shownMessages(), QStringList());
}

void TestMainWindow::unreadableFileChangesNothing()
{
    auto* w = makeWindow();
    w->FormActivate();
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"));
    m_fx->openThroughCommand(a, QStringLiteral("secret"));
    const QStringList groupsOfA = topGroupNames();

    // A folder cannot be read as a file.
    const QString folder = m_fx->tmp().makeFolder(QStringLiteral("folder.pass"));
    m_fx->openThroughCommand(folder, QStringLiteral("typed"));
    QCOMPARE(shownMessages().size(), 1);
    QVERIFY(shownMessages().first().contains(QDir::toNativeSeparators(folder)));
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - a.pass"));
    QCOMPARE(w->doc().CurrentPath, a);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("secret"));
    QCOMPARE(w->doc().LocalDoc.FileName, a);
    QCOMPARE(topGroupNames(), groupsOfA);

    // A stream that ends within its version tag cannot even give a header.
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("short.pass"), storedStream("TRS 1", QStringLiteral("s"))));
    ModalSeam::clearShown();
    m_fx->openThroughCommand(m_fx->tmp().filePath(QStringLiteral("short.pass")), QStringLiteral("s"));
    QCOMPARE(shownMessages().size(), 1);
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - a.pass"));
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("secret"));
    QCOMPARE(w->doc().LocalDoc.FileName, a);
    QCOMPARE(topGroupNames(), groupsOfA);

    // Save still goes to the document that is open, with its own password.
    QVERIFY(w->SaveCommand());
    DocumentState back;
    QVERIFY(readDocument(a, QStringLiteral("secret"), back));
    QCOMPARE(testsupport::compareContent(back, w->doc()), QString());
}

void TestMainWindow::brokenStreamIsKeptUntitled()
{
    auto* w = makeWindow();
    w->FormActivate();
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"));
    m_fx->openThroughCommand(a, QStringLiteral("secret"));

    // One group, then an entry whose name claims more bytes than the stream holds.
    TDoc header;
    ResetDoc(header);
    testsupport::StreamBuilder broken;
    broken.start(7).header(7, header).group(1, 0, QStringLiteral("rescued")).tag("FEUI").u32(1).textCount(5000);
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("broken.pass"), storedStream(broken.bytes(), QStringLiteral("b"))));
    const QString path = m_fx->tmp().filePath(QStringLiteral("broken.pass"));

    ModalSeam::clearShown();
    m_fx->openThroughCommand(path, QStringLiteral("b"));
    QCOMPARE(shownMessages().size(), 1);
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Error));
    QCOMPARE(topGroupNames(), QStringList{QStringLiteral("rescued")});
    // Never the previous document's file as the save target.
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
    QVERIFY(w->doc().Modified);
    QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Modified"));
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("b"));

    // Save asks for a new name.
    ModalSeam::clearShown();
    const QString rescue = m_fx->tmp().filePath(QStringLiteral("rescue.pass"));
    ModalSeam::pushAnswer(rescue);
    ModalSeam::pushAnswer(QStringLiteral("r"));
    QVERIFY(w->SaveCommand());
    QCOMPARE(ModalSeam::shown().first().dialog, QStringLiteral("SaveFile"));
    DocumentState back;
    QVERIFY(readDocument(rescue, QStringLiteral("r"), back));
    QCOMPARE(back.groupCount(), 1);
    DocumentState original;
    QVERIFY(readDocument(a, QStringLiteral("secret"), original));
    QCOMPARE(original.groupCount(), 9);
}

void TestMainWindow::readerMessagesAreShownInOrder()
{
    auto* w = makeWindow();
    w->FormActivate();
    // An unknown version tag, then a record tag that is not the end record.
    TDoc header;
    ResetDoc(header);
    testsupport::StreamBuilder s;
    s.raw("TRS").tag(" 1.9").header(7, header).group(1, 0, QStringLiteral("g")).tag("ABCD");
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("odd.pass"), storedStream(s.bytes(), QStringLiteral("p"))));
    const QString path = m_fx->tmp().filePath(QStringLiteral("odd.pass"));

    m_fx->openThroughCommand(path, QStringLiteral("p"));
    const auto& shown = ModalSeam::shown();
    QStringList keys;
    for (const auto& q : shown)
        if (q.dialog == QLatin1String("ShowMsg"))
            keys << q.text;
    QCOMPARE(keys.size(), 2);
    QCOMPARE(keys[0], Msg(QStringLiteral("ErrVersion")).replace(QStringLiteral("%s"), QStringLiteral(" 1.9")));
    QCOMPARE(keys[1], Msg(QStringLiteral("ErreurFIN")));
    QCOMPARE(shown[shown.size() - 2].kind, int(MsgKind::Plain));
    QCOMPARE(shown.last().kind, int(MsgKind::Error));
    // The defects are recovered from: the document is open.
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - odd.pass"));
    QCOMPARE(topGroupNames(), QStringList{QStringLiteral("g")});
}

void TestMainWindow::saveTwiceAndReopen()
{
    auto* w = makeWindow();
    w->FormActivate();
    const QString path = makeDocument(QStringLiteral("rich.pass"), QStringLiteral("secret"), -1);
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    const int before = w->doc().LocalDoc.SaveCount;
    ModalSeam::clearShown();

    w->view()->groupModel()->addGroup(QStringLiteral("added"), nullptr);
    w->SetModified(true);
    QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Modified"));
    w->action(QStringLiteral("ActionSauver"))->trigger();
    QVERIFY(!w->doc().Modified);
    QCOMPARE(w->statusPanel(2)->text(), QString());
    w->action(QStringLiteral("ActionSauver"))->trigger();
    QCOMPARE(w->doc().LocalDoc.SaveCount, before + 2);
    QVERIFY2(shownMessages().isEmpty(), qPrintable(shownMessages().join(QLatin1Char('\n'))));

    DocumentState back;
    QVERIFY(readDocument(path, QStringLiteral("secret"), back));
    QCOMPARE(back.LocalDoc.SaveCount, before + 2);
    QVERIFY(std::abs(back.LocalDoc.SaveDate - datetime::now()) < 1.0 / 24);
    QCOMPARE(testsupport::compareContent(back, w->doc()), QString());

    // Reopened in the window, it reads the same.
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    QCOMPARE(testsupport::compareContent(back, w->doc()), QString());
    QCOMPARE(testsupport::compareHeaders(back.LocalDoc, w->doc().LocalDoc), QString());
}

void TestMainWindow::saveOfAnUntitledDocumentAsksTheName()
{
    auto* w = makeWindow();
    w->FormActivate();
    w->view()->groupModel()->addGroup(QStringLiteral("mine"), nullptr);
    w->SetModified(true);

    const QString chosen = m_fx->tmp().filePath(QStringLiteral("new"));
    ModalSeam::pushAnswer(chosen);
    ModalSeam::pushAnswer(QStringLiteral("pw"));
    w->action(QStringLiteral("ActionSauver"))->trigger();

    QCOMPARE(ModalSeam::shown()[0].dialog, QStringLiteral("SaveFile"));
    QCOMPARE(ModalSeam::shown()[1].dialog, QStringLiteral("MetaPass"));
    QCOMPARE(ModalSeam::shown()[1].kind, int(TBoiteMetaPass::Choose));
    QCOMPARE(ModalSeam::shown()[1].text, QStringLiteral("Password of \"new.pass\" :"));
    QCOMPARE(w->doc().CurrentPath, chosen + QStringLiteral(".pass"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - new.pass"));
    QVERIFY(!w->doc().Modified);
    QVERIFY(w->action(QStringLiteral("ActionChangeMeta"))->isEnabled());
    DocumentState back;
    QVERIFY(readDocument(chosen + QStringLiteral(".pass"), QStringLiteral("pw"), back));
    QCOMPARE(back.LocalDoc.SaveCount, 1);

    // A name with another extension is kept as chosen.
    const QString other = m_fx->tmp().filePath(QStringLiteral("copy.bak"));
    ModalSeam::pushAnswer(other);
    ModalSeam::pushAnswer(QStringLiteral("pw2"));
    QVERIFY(w->SaveDocumentAs());
    QVERIFY(QFileInfo::exists(other));
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("pw2"));
}

void TestMainWindow::saveAsCancelledAtThePassword()
{
    auto* w = makeWindow();
    w->FormActivate();
    w->SetModified(true);
    const QString chosen = m_fx->tmp().filePath(QStringLiteral("never.pass"));
    ModalSeam::pushAnswer(chosen);
    ModalSeam::pushAnswer(QVariant());
    QVERIFY(!w->SaveCommand());
    QVERIFY(!QFileInfo::exists(chosen));
    QVERIFY(w->doc().Modified);
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QVERIFY(w->doc().MetaPassword.isEmpty());
}

void TestMainWindow::failedSaveKeepsTheDocumentModified()
{
    auto* w = makeWindow();
    w->FormActivate();
    w->SetModified(true);
    const QString target = m_fx->tmp().filePath(QStringLiteral("missing-folder/x.pass"));
    ModalSeam::pushAnswer(target);
    ModalSeam::pushAnswer(QStringLiteral("pw"));
    QVERIFY(!w->SaveDocumentAs());
    QCOMPARE(shownMessages().size(), 1);
    QVERIFY(shownMessages().first().contains(QDir::toNativeSeparators(target)));
    QVERIFY(w->doc().Modified);
    QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Modified"));
    // Save goes on naming the file it writes to.
    QCOMPARE(w->doc().CurrentPath, target);
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - x.pass"));
}

void TestMainWindow::changeOfMetaPassword()
{
    auto* w = makeWindow();
    w->FormActivate();
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"));
    m_fx->openThroughCommand(path, QStringLiteral("secret"));

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(QStringLiteral("other"));
    w->action(QStringLiteral("ActionChangeMeta"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown()[0].kind, int(TBoiteMetaPass::Choose));
    QCOMPARE(ModalSeam::shown()[0].text, QStringLiteral("Password of \"a.pass\" :"));
    QVERIFY(!w->doc().Modified);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("other"));

    // The file keeps the old password until the next save.
    DocumentState back;
    QVERIFY(readDocument(path, QStringLiteral("secret"), back));
    QVERIFY(w->SaveCommand());
    QVERIFY(!readDocument(path, QStringLiteral("secret"), back));
    QVERIFY(readDocument(path, QStringLiteral("other"), back));

    // Cancel keeps the password.
    ModalSeam::pushAnswer(QVariant());
    w->action(QStringLiteral("ActionChangeMeta"))->trigger();
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("other"));
}

void TestMainWindow::closeQuery()
{
    auto* w = makeWindow();
    w->FormActivate();
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"));
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    w->show();
    w->SetModified(true);

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(int(MsgCancel));
    QVERIFY(!w->close());
    QCOMPARE(shownMessages(), QStringList{QStringLiteral("Do you want to save \"%1\" ?").arg(path)});
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Confirmation));
    QCOMPARE(ModalSeam::shown().last().buttons, int(MsgYes | MsgNo | MsgCancel));
    QVERIFY(w->isVisible());

    // Yes saves, then the window closes.
    ModalSeam::pushAnswer(int(MsgYes));
    QVERIFY(w->close());
    DocumentState back;
    QVERIFY(readDocument(path, QStringLiteral("secret"), back));
    QCOMPARE(back.LocalDoc.SaveCount, 42);

    // Untitled: Yes runs Save as; giving it up keeps the window open.
    w = makeWindow();
    w->show();
    w->SetModified(true);
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(int(MsgYes));
    ModalSeam::pushAnswer(QString());
    QVERIFY(!w->close());
    QCOMPARE(ModalSeam::shown().last().dialog, QStringLiteral("SaveFile"));

    // No discards.
    ModalSeam::pushAnswer(int(MsgNo));
    QVERIFY(w->close());
}

void TestMainWindow::commandLineDocument()
{
    const QString path = makeDocument(QStringLiteral("Codes.pass"), QStringLiteral("secret"));
    QDir::setCurrent(m_fx->tmp().path());
    auto* w = makeWindow({QStringLiteral("/debug"), QStringLiteral("Codes.pass")});
    QCOMPARE(ModalSeam::shown().size(), 0);
    ModalSeam::pushAnswer(QStringLiteral("secret"));
    w->FormActivate();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")),
             QStringList{QStringLiteral("Password of \"Codes.pass\" :")});
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Codes.pass"));
    QCOMPARE(QFileInfo(w->doc().CurrentPath), QFileInfo(path));
    QVERIFY(QDir::isAbsolutePath(w->doc().CurrentPath));
    QVERIFY(w->action(QStringLiteral("ActionChangeMeta"))->isEnabled());
    QVERIFY(w->action(QStringLiteral("ActionChercher"))->isEnabled());
    QCOMPARE(QFileInfo(w->openDialogFolder()), QFileInfo(m_fx->tmp().path()));
    QVERIFY(!w->firstActivation());

    // Later activations do not open it again.
    w->FormActivate();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")).size(), 1);
}

void TestMainWindow::commandLineMissingFile_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::newRow("missing file, French")
        << QStringList{"missing.pass"}
        << QStringLiteral("Fichier \"missing.pass\" introuvable.\r\nOpération abandonnée.") << "Tresorin - Sans titre";
    QTest::newRow("-US is a path and a switch") << QStringList{"-US"} << "File \"-US\" not found."
                                                << "Tresorin - Untitled";
    QTest::newRow("/US is only a switch") << QStringList{"/US"} << ""
                                          << "Tresorin - Untitled";
    QTest::newRow("/FR is only a switch") << QStringList{"/FR"} << ""
                                          << "Tresorin - Sans titre";
    QTest::newRow("a folder") << QStringList{"-US", "."} << "File \".\" not found."
                              << "Tresorin - Untitled";
}

void TestMainWindow::commandLineMissingFile()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QDir::setCurrent(m_fx->tmp().path());
    // The saved language is French: the switches choose the table.
    auto* w = makeWindow(args, "[Main]\r\nLangue=FR\r\nAutoCheck=0\r\n");
    w->FormActivate();
    if (message.isEmpty()) {
        QCOMPARE(ModalSeam::shown().size(), 0);
    } else {
        QCOMPARE(shownMessages(), QStringList{message});
        QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Error));
        QCOMPARE(ModalSeam::shown().last().buttons, int(MsgCancel));
    }
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")), QStringList());
    QCOMPARE(w->windowTitle(), title);
}

void TestMainWindow::commandLineCancelledPassword()
{
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"));
    auto* w = makeWindow({path});
    ModalSeam::pushAnswer(QVariant());
    w->FormActivate();
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QCOMPARE(w->view()->groupModel()->rowCount(), 0);
    QVERIFY(!w->action(QStringLiteral("ActionChangeMeta"))->isEnabled());
}

void TestMainWindow::settingsWrittenAtExit()
{
    auto* w = makeWindow({}, "[Main]\r\nLangue=US\r\nAutoCheck=0\r\nHidePass=0x0\r\n[Pos]\r\nCol=0\r\nTri=3\r\n"
                             "X=5\r\n[Gener]\r\nLen=17\r\n[FTP]\r\nServeur=keep.example\r\n");
    QVERIFY(!w->action(QStringLiteral("ActionHidePwd"))->isChecked());
    QCOMPARE(w->view()->sortCode(), 0);
    w->move(33, 44);
    w->view()->columnClick(2);
    w->view()->columnClick(2);
    m_fx->destroyWindow();

    const IniFile ini(m_fx->iniPath());
    QCOMPARE(ini.readString(QStringLiteral("Pos"), QStringLiteral("X")), QStringLiteral("33"));
    QCOMPARE(ini.readString(QStringLiteral("Pos"), QStringLiteral("Y")), QStringLiteral("44"));
    QCOMPARE(ini.readString(QStringLiteral("Pos"), QStringLiteral("Tri")), QStringLiteral("-2"));
    QCOMPARE(ini.readString(QStringLiteral("Main"), QStringLiteral("HidePass")), QStringLiteral("0"));
    QCOMPARE(ini.readString(QStringLiteral("Gener"), QStringLiteral("Len")), QStringLiteral("17"));
    QCOMPARE(ini.readString(QStringLiteral("FTP"), QStringLiteral("Serveur")), QStringLiteral("keep.example"));
    QVERIFY(ini.contains(QStringLiteral("Idle"), QStringLiteral("ClipboardMin")));
    QVERIFY(ini.contains(QStringLiteral("MRU"), QStringLiteral("Use")));
}

void TestMainWindow::settingsNotWrittenWhenAnotherInstanceAnswered()
{
    const QByteArray text = "[Main]\r\nLangue=US\r\nAutoCheck=0\r\n";
    makeWindow({}, text);
    TfrmTresorin::InstanceAnswered = true;
    m_fx->destroyWindow();
    QCOMPARE(m_fx->readIni(), text);
}

void TestMainWindow::settingsWriteFailureIsShown()
{
    // The settings file would have to live below a plain file.
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("plain"), "x"));
    const QString ini = m_fx->tmp().filePath(QStringLiteral("plain/Tresorin.ini"));
    qputenv("TRESORIN_INI", ini.toLocal8Bit());
    makeWindow({}, QByteArray());
    m_fx->destroyWindow();
    QCOMPARE(shownMessages().size(), 1);
    QVERIFY(shownMessages().first().startsWith(QStringLiteral("Impossible d'écrire dans ")));
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Error));
}

void TestMainWindow::wakeUpBringsTheWindowForward()
{
    auto* w = makeWindow({}, "[Main]\r\nLangue=US\r\nAutoCheck=0\r\nOneInstance=1\r\n");
    QVERIFY(!w->endRequested());
    QVERIFY(!w->isVisible());
    QVERIFY(QFileInfo::exists(SingleInstance::serverName()));

    std::atomic<bool> done{false};
    SingleInstance::Claim answer = SingleInstance::Claim::First;
    std::thread later([&] {
        SingleInstance other;
        answer = other.claim(5000);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    later.join();
    QCOMPARE(answer, SingleInstance::Claim::OtherAnswered);
    QVERIFY(w->isVisible());

    // A maximised window that was minimised comes back maximised.
    w->showMaximized();
    QTRY_VERIFY(w->isMaximized());
    w->showMinimized();
    QTRY_VERIFY(w->isMinimized());
    w->wakeUp();
    QTRY_VERIFY(!w->isMinimized());
    QVERIFY(w->isMaximized());
}

void TestMainWindow::synchronisedDocument_data()
{
    QTest::addColumn<bool>("fromFtp");
    QTest::newRow("opened from disk") << false;
    QTest::newRow("opened from FTP") << true;
}

void TestMainWindow::synchronisedDocument()
{
    QFETCH(bool, fromFtp);
    auto* w = makeWindow();
    w->FormActivate();
    DocumentState doc;
    ResetDoc(doc.LocalDoc);
    doc.LocalDoc.SyncOn = true;
    // The transfers this starts (the download after the open, the upload after the save) stay on
    // this machine: nothing listens on the discard port, so they fail at once.
    doc.LocalDoc.ServerName = QStringLiteral("127.0.0.1");
    doc.LocalDoc.PortNumber = 9;
    doc.addGroup(QStringLiteral("synced"));
    const QString path = m_fx->tmp().filePath(QStringLiteral("sync.pass"));
    QVERIFY(writeDocument(path, doc, QStringLiteral("pw")));

    DocumentPipeline& pipeline = w->pipeline();
    QList<qsizetype> groupsAtDownload;
    connect(&pipeline, &DocumentPipeline::syncDownloadRequested, w, [&] { groupsAtDownload << w->doc().groupCount(); });
    ModalSeam::pushAnswer(QStringLiteral("pw"));
    if (fromFtp) {
        const QByteArray bytes = m_fx->tmp().readFile(QStringLiteral("sync.pass"));
        QVERIFY(pipeline.OpenDocument(QStringLiteral("sync.pass"), &bytes));
    } else {
        QVERIFY(pipeline.OpenDocument(path));
    }

    // From disk the download of the FTP copy starts, before the records are read.
    QCOMPARE(groupsAtDownload, fromFtp ? QList<qsizetype>() : QList<qsizetype>{0});
    QCOMPARE(w->doc().groupCount(), 1);
    QCOMPARE(w->doc().FtpMode, fromFtp);
    QVERIFY(w->action(QStringLiteral("ActionSynchroFTP"))->isChecked());
    QCOMPARE(w->windowTitle(),
             fromFtp ? QStringLiteral("Tresorin - sync.pass (FTP)") : QStringLiteral("Tresorin - sync.pass"));
    QCOMPARE(
        w->statusPanel(0)->text(),
        QStringLiteral("0 items and 1 groups founded in %1 file").arg(fromFtp ? QStringLiteral("sync.pass") : path));
    // In FTP mode the tool bar's Open and Save run the FTP commands, with the usual keys.
    const QString open = fromFtp ? QStringLiteral("ActionOuvrirFTP") : QStringLiteral("ActionOuvrir");
    const QString save = fromFtp ? QStringLiteral("ActionSauverFTP") : QStringLiteral("ActionSauver");
    QCOMPARE(w->openToolButton()->defaultAction()->objectName(), open);
    QCOMPARE(w->saveToolButton()->defaultAction()->objectName(), save);
    QCOMPARE(w->openToolButton()->menu()->actions().size(), 8);
    QCOMPARE(w->action(open)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(w->action(save)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    // A table applied meanwhile keeps them so.
    QVERIFY(w->ApplyLanguage());
    QCOMPARE(w->action(open)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(w->action(save)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

    // A save to disk hands the very bytes written to the upload of the FTP copy.
    QSignalSpy uploads(&pipeline, &DocumentPipeline::syncUploadRequested);
    const QString target = m_fx->tmp().filePath(QStringLiteral("saved.pass"));
    QVERIFY(pipeline.SaveDocument(target, true));
    QCOMPARE(uploads.count(), 1);
    QCOMPARE(uploads.first().first().toByteArray(), m_fx->tmp().readFile(QStringLiteral("saved.pass")));

    // The bytes of Save on FTP: counted, no file written, no upload of its own, the path kept.
    const int count = w->doc().LocalDoc.SaveCount;
    const QByteArray written = m_fx->tmp().readFile(QStringLiteral("saved.pass"));
    const std::optional<QByteArray> forFtp = pipeline.EncipherForFtp();
    QVERIFY(forFtp && !forFtp->isEmpty());
    QCOMPARE(uploads.count(), 1);
    QCOMPARE(w->doc().LocalDoc.SaveCount, count + 1);
    QCOMPARE(w->doc().CurrentPath, target);
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("saved.pass")), written);
    DocumentState back;
    QVERIFY(readDocument(target, QStringLiteral("pw"), back));
    QVERIFY(back.LocalDoc.SyncOn);
    QCOMPARE(back.LocalDoc.ServerName, QStringLiteral("127.0.0.1"));

    // Save as leaves FTP mode: the local commands come back with their keys.
    ModalSeam::pushAnswer(target);
    ModalSeam::pushAnswer(QStringLiteral("pw"));
    QVERIFY(w->SaveDocumentAs());
    QCOMPARE(w->openToolButton()->defaultAction()->objectName(), QStringLiteral("ActionOuvrir"));
    QCOMPARE(w->saveToolButton()->defaultAction()->objectName(), QStringLiteral("ActionSauver"));
    QCOMPARE(w->action(QStringLiteral("ActionOuvrir"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(w->action(QStringLiteral("ActionSauverFTP"))->shortcut(), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_S));
}

void TestMainWindow::renameKey_data()
{
    QTest::addColumn<bool>("inTree");
    QTest::newRow("tree has the focus") << true;
    QTest::newRow("list has the focus") << false;
}

void TestMainWindow::renameKey()
{
    QFETCH(bool, inTree);
    auto* w = makeWindow();
    w->FormActivate();
    m_fx->openThroughCommand(makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret")),
                             QStringLiteral("secret"));
    DocumentView* view = w->view();
    view->flushGroupChange();
    view->selectRow(0);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));

    QAction* renameGroup = w->action(QStringLiteral("ActionRenGrp"));
    QAction* renameEntry = w->action(QStringLiteral("ActionRenEntree"));
    // The English table has been applied to both.
    QCOMPARE(renameGroup->text(), QStringLiteral("Rename"));
    QCOMPARE(renameEntry->text(), QStringLiteral("Rename"));
    QCOMPARE(renameGroup->shortcut(), QKeySequence(Qt::Key_F2));
    QCOMPARE(renameEntry->shortcut(), QKeySequence(Qt::Key_F2));
    // Both commands enabled at once: the key must still reach exactly one of them.
    renameGroup->setEnabled(true);
    renameEntry->setEnabled(true);
    QSignalSpy groupSpy(renameGroup, &QAction::triggered);
    QSignalSpy entrySpy(renameEntry, &QAction::triggered);

    QWidget* focus = inTree ? static_cast<QWidget*>(view->arbo()) : static_cast<QWidget*>(view->liste());
    focus->setFocus();
    QTRY_VERIFY(focus->hasFocus());
    QTest::keyClick(focus, Qt::Key_F2);

    QCOMPARE(groupSpy.count(), inTree ? 1 : 0);
    QCOMPARE(entrySpy.count(), inTree ? 0 : 1);
    // In the tree the selected group's label is being edited; the list never edits the tree.
    QLineEdit* label = view->arbo()->findChild<QLineEdit*>();
    QCOMPARE(label && label->isVisible(), inTree);
    if (inTree)
        QCOMPARE(label->text(), w->doc().Groups().front()->Name);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
