// The File menu of the main window driven through its commands: New and the save question, the
// recent files, dropped files, the close query, and Merge. Every question is answered through the
// modal seam.

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/views/NotesEdit.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/Cipher.h"
#include "document/DocumentStream.h"
#include "document/gui/DocumentPipeline.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/gui/ShowMsg.h"
#include "platform/SingleInstance.h"
#include "platform/Win1252.h"
#include "platform/gui/ModalSeam.h"
#include "settings/IniFile.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QtTest>

#include <csignal>

using testsupport::readDocument;
using testsupport::shownMessages;
using testsupport::WindowFixture;
using testsupport::writeDocument;

class TestFileCommandsWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newDocument_data();
    void newDocument();
    void newWithoutChangesAsksNothing();
    void recentFiles();
    void recentFilesOptionOff();
    void recentFileThatIsGone();
    void droppedFilesOpenTheFirst();
    void documentOfALaterStart();
    void closeWithUnsavedChanges_data();
    void closeWithUnsavedChanges();
    void typedNotesCountAtNew();
    void focusFollowsTheCommands();
    void endRequestedBySignal_data();
    void endRequestedBySignal();
    void mergeTwoGroupsIntoThree();
    void mergeTheOpenFileIntoItself();
    void mergeWithAWrongPassword();
    void mergeOfASynchronisedFile();
    void mergeCancelled();

private:
    QString makeDocument(const QString& name, const QString& password, int groups, const QString& prefix);
    QStringList recentCaptions() const;

    std::unique_ptr<WindowFixture> m_fx;
};

void TestFileCommandsWindow::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestFileCommandsWindow::cleanup()
{
    m_fx.reset();
}

QString TestFileCommandsWindow::makeDocument(const QString& name, const QString& password, int groups,
                                             const QString& prefix)
{
    DocumentState doc;
    for (int g = 1; g <= groups; ++g) {
        TGroupe* group = doc.addGroup(prefix + QString::number(g));
        TGroupe* child = doc.addGroup(QStringLiteral("child"), group);
        doc.addGroup(QStringLiteral("grandchild"), child);
        doc.appendEntry(NewEntry(group, prefix + QStringLiteral(" entry %1").arg(g)));
    }
    doc.LocalDoc.SaveCount = 10;
    const QString path = QDir(m_fx->tmp().path()).canonicalPath() + QLatin1Char('/') + name;
    return writeDocument(path, doc, password) ? path : QString();
}

// Captions of the visible recent-file commands of the File menu, in menu order.
QStringList TestFileCommandsWindow::recentCaptions() const
{
    QStringList out;
    for (QAction* a : m_fx->window()->findChild<QMenu*>(QStringLiteral("Fichier1"))->actions())
        if (a->objectName().startsWith(QLatin1String("ActionMRU")) && a->isVisible())
            out << a->text();
    return out;
}

void TestFileCommandsWindow::newDocument_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("emptied");
    QTest::addColumn<int>("savedCount"); // SaveCount in the file afterwards
    QTest::newRow("Yes saves, then New") << int(MsgYes) << true << 11;
    QTest::newRow("No discards") << int(MsgNo) << true << 10;
    QTest::newRow("Cancel keeps all") << int(MsgCancel) << false << 10;
}

void TestFileCommandsWindow::newDocument()
{
    QFETCH(int, answer);
    QFETCH(bool, emptied);
    QFETCH(int, savedCount);
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"), 2, QStringLiteral("g"));
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    w->view()->groupModel()->addGroup(QStringLiteral("added"), nullptr);
    w->SetModified(true);

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(answer);
    w->action(QStringLiteral("ActionNouveau"))->trigger();
    QCOMPARE(shownMessages(), QStringList{QStringLiteral("Do you want to save \"%1\" ?").arg(path)});
    QCOMPARE(ModalSeam::shown().first().buttons, int(MsgYes | MsgNo | MsgCancel));
    if (emptied) {
        QCOMPARE(m_fx->topGroupNames(), QStringList());
        QCOMPARE(w->doc().entryCount(), 0);
        QCOMPARE(w->doc().FtpEntryIndex(), -1);
        QVERIFY(!w->doc().Modified);
        QVERIFY(w->doc().MetaPassword.isEmpty());
        QVERIFY(w->doc().CurrentPath.isEmpty());
        QCOMPARE(w->doc().LocalDoc.SaveCount, 0);
        QCOMPARE(w->doc().RemoteCopy.SaveDate, 0.0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));
        for (const char* name : {"ActionChangeMeta", "ActionNewGrp", "ActionChercher"})
            QVERIFY2(w->action(QLatin1String(name))->isEnabled(), name);
    } else {
        QCOMPARE(m_fx->topGroupNames(), (QStringList{"g1", "g2", "added"}));
        QVERIFY(w->doc().Modified);
        QCOMPARE(w->doc().CurrentPath, path);
        QCOMPARE(w->doc().MetaPassword, QStringLiteral("secret"));
    }
    DocumentState back;
    QVERIFY(readDocument(path, QStringLiteral("secret"), back));
    QCOMPARE(back.LocalDoc.SaveCount, savedCount);
    QCOMPARE(back.groupCount(), answer == MsgYes ? 7 : 6);
}

void TestFileCommandsWindow::newWithoutChangesAsksNothing()
{
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"), 1, QStringLiteral("g"));
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    ModalSeam::clearShown();
    w->action(QStringLiteral("ActionNouveau"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 0);
    QCOMPARE(m_fx->topGroupNames(), QStringList());

    // Save of the new document runs Save as.
    w->view()->groupModel()->addGroup(QStringLiteral("fresh"), nullptr);
    w->SetModified(true);
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("fresh")));
    ModalSeam::pushAnswer(QStringLiteral("pw"));
    w->action(QStringLiteral("ActionSauver"))->trigger();
    QCOMPARE(ModalSeam::shown().first().dialog, QStringLiteral("SaveFile"));
    QCOMPARE(w->doc().CurrentPath, m_fx->tmp().filePath(QStringLiteral("fresh.pass")));
    DocumentState back;
    QVERIFY(readDocument(m_fx->tmp().filePath(QStringLiteral("fresh.pass")), QStringLiteral("pw"), back));
    QCOMPARE(back.groupCount(), 1);
}

void TestFileCommandsWindow::recentFiles()
{
    auto* w = m_fx->makeWindow();
    QVERIFY(recentCaptions().isEmpty());
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("pa"), 1, QStringLiteral("a"));
    const QString b = makeDocument(QStringLiteral("b.pass"), QStringLiteral("pb"), 1, QStringLiteral("b"));
    m_fx->openThroughCommand(a, QStringLiteral("pa"));
    m_fx->openThroughCommand(b, QStringLiteral("pb"));
    QCOMPARE(recentCaptions(), (QStringList{"&1 - " + b, "&2 - " + a}));

    // The tool bar's drop-down carries the same commands.
    const QList<QAction*> dropDown = w->openToolButton()->menu()->actions();
    QVERIFY(dropDown.contains(w->action(QStringLiteral("ActionMRU1"))));
    QVERIFY(dropDown.contains(w->action(QStringLiteral("ActionMRU2"))));

    // Slot 2 opens a after the save question; it comes first and stays in slot 3 as well.
    w->SetModified(true);
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(int(MsgNo));
    ModalSeam::pushAnswer(QStringLiteral("pa"));
    w->action(QStringLiteral("ActionMRU2"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 2);
    QCOMPARE(ModalSeam::shown()[1].text, QStringLiteral("Password of \"a.pass\" :"));
    QCOMPARE(w->doc().CurrentPath, a);
    QCOMPARE(m_fx->topGroupNames(), QStringList{QStringLiteral("a1")});
    QCOMPARE(recentCaptions(), (QStringList{"&1 - " + a, "&2 - " + b, "&3 - " + a}));

    // Cancel at the save question opens nothing.
    w->SetModified(true);
    ModalSeam::pushAnswer(int(MsgCancel));
    w->action(QStringLiteral("ActionMRU2"))->trigger();
    QCOMPARE(w->doc().CurrentPath, a);

    // Written at exit.
    w->SetModified(false);
    m_fx->destroyWindow();
    IniFile ini(m_fx->iniPath());
    QCOMPARE(ini.readString(QStringLiteral("MRU"), QStringLiteral("1")), a);
    QCOMPARE(ini.readString(QStringLiteral("MRU"), QStringLiteral("2")), b);
    QCOMPARE(ini.readString(QStringLiteral("MRU"), QStringLiteral("3")), a);
    QCOMPARE(ini.readString(QStringLiteral("MRU"), QStringLiteral("4")), QString());

    // And read at the next start.
    m_fx->makeWindow(QByteArray());
    QCOMPARE(recentCaptions(), (QStringList{"&1 - " + a, "&2 - " + b, "&3 - " + a}));
}

void TestFileCommandsWindow::recentFilesOptionOff()
{
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("pa"), 1, QStringLiteral("a"));
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n[MRU]\r\nUse=0\r\n1=" + a.toUtf8() + "\r\n");
    QVERIFY(recentCaptions().isEmpty());
    m_fx->openThroughCommand(a, QStringLiteral("pa"));
    QVERIFY(recentCaptions().isEmpty());
    QVERIFY(w->settings().MRU[0].isEmpty());
}

void TestFileCommandsWindow::recentFileThatIsGone()
{
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("pa"), 1, QStringLiteral("a"));
    auto* w = m_fx->makeWindow();
    m_fx->openThroughCommand(a, QStringLiteral("pa"));
    QVERIFY(QFile::remove(a));
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(QStringLiteral("pa"));
    w->action(QStringLiteral("ActionMRU1"))->trigger();
    // The question and the error name the missing file; the open document stays as it was.
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")), QStringList{"Password of \"a.pass\" :"});
    QCOMPARE(shownMessages().size(), 1);
    QVERIFY(shownMessages().first().startsWith(QDir::toNativeSeparators(a)));
    QCOMPARE(w->doc().CurrentPath, a);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("pa"));
    QCOMPARE(m_fx->topGroupNames(), QStringList{QStringLiteral("a1")});
}

// The program is started again with a document while this window runs (the desktop opening a
// .pass file): the running window asks its save question and opens it; a missing file is said.
void TestFileCommandsWindow::documentOfALaterStart()
{
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\nOneInstance=1\r\n");
    QVERIFY(w->singleInstance() && w->singleInstance()->isListening());
    const QString b = makeDocument(QStringLiteral("b.pass"), QStringLiteral("pb"), 1, QStringLiteral("b"));
    w->view()->groupModel()->addGroup(QStringLiteral("unsaved"), nullptr);
    w->SetModified(true);

    ModalSeam::pushAnswer(int(MsgNo));
    ModalSeam::pushAnswer(QStringLiteral("pb"));
    emit w->singleInstance()->openRequested(b);
    QTRY_COMPARE(w->doc().CurrentPath, b);
    QCOMPARE(ModalSeam::shown().size(), 2);
    QCOMPARE(ModalSeam::shown()[0].dialog, QStringLiteral("ShowMsg"));
    QCOMPARE(m_fx->topGroupNames(), QStringList{QStringLiteral("b1")});

    const QString missing = m_fx->tmp().filePath(QStringLiteral("gone.pass"));
    emit w->singleInstance()->openRequested(missing);
    QTRY_COMPARE(ModalSeam::shown().size(), 3);
    QVERIFY(ModalSeam::shown().last().text.contains(QStringLiteral("gone.pass")));
    QCOMPARE(w->doc().CurrentPath, b);
}

void TestFileCommandsWindow::droppedFilesOpenTheFirst()
{
    auto* w = m_fx->makeWindow();
    w->show();
    const QString a = makeDocument(QStringLiteral("a.pass"), QStringLiteral("pa"), 1, QStringLiteral("a"));
    const QString b = makeDocument(QStringLiteral("b.pass"), QStringLiteral("pb"), 1, QStringLiteral("b"));
    const QString c = makeDocument(QStringLiteral("c.pass"), QStringLiteral("pc"), 1, QStringLiteral("c"));
    w->view()->groupModel()->addGroup(QStringLiteral("unsaved"), nullptr);
    w->SetModified(true);

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(b), QUrl::fromLocalFile(a), QUrl::fromLocalFile(c)});
    QWidget* target = w->view()->liste()->viewport();
    const QPoint pos = target->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    ModalSeam::pushAnswer(int(MsgNo));
    ModalSeam::pushAnswer(QStringLiteral("pb"));
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(w->doc().CurrentPath, b);
    QCOMPARE(ModalSeam::shown().size(), 2);
    QCOMPARE(ModalSeam::shown()[0].dialog, QStringLiteral("ShowMsg"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")), QStringList{"Password of \"b.pass\" :"});
    QCOMPARE(m_fx->topGroupNames(), QStringList{QStringLiteral("b1")});

    // Text that is no file is not taken.
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/x.pass"))});
    QDragEnterEvent webEnter(pos, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &webEnter);
    QVERIFY(!webEnter.isAccepted());
}

void TestFileCommandsWindow::closeWithUnsavedChanges_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Yes saves and closes") << int(MsgYes) << false << true;
    QTest::newRow("No discards and closes") << int(MsgNo) << false << true;
    QTest::newRow("Cancel stays") << int(MsgCancel) << false << false;
    QTest::newRow("Yes with a failing save stays") << int(MsgYes) << true << false;
}

void TestFileCommandsWindow::closeWithUnsavedChanges()
{
    QFETCH(int, answer);
    QFETCH(bool, saveFails);
    QFETCH(bool, closes);
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"), 1, QStringLiteral("g"));
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    w->show();
    w->view()->groupModel()->addGroup(QStringLiteral("unsaved"), nullptr);
    w->SetModified(true);
    // A document whose folder has gone cannot be saved.
    if (saveFails)
        w->doc().CurrentPath = m_fx->tmp().filePath(QStringLiteral("gone/a.pass"));
    const QByteArray before = m_fx->tmp().readFile(QStringLiteral("a.pass"));

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(answer);
    QCOMPARE(w->close(), closes);
    QCOMPARE(w->isVisible(), !closes);
    if (saveFails) {
        QCOMPARE(shownMessages().size(), 2); // the question, then the failure
        QVERIFY(w->doc().Modified);
    }
    const bool saved = answer == MsgYes && !saveFails;
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("a.pass")) != before, saved);
    DocumentState back;
    QVERIFY(readDocument(path, QStringLiteral("secret"), back));
    QCOMPARE(back.groupCount(), saved ? 4 : 3);
}

// Notes typed and not stored yet make the document modified when a command would replace it: the
// save question comes, and Cancel keeps them.
void TestFileCommandsWindow::typedNotesCountAtNew()
{
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"), 1, QStringLiteral("g"));
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    QVERIFY(!w->doc().Modified);
    w->view()->flushGroupChange();
    w->view()->selectRow(0);
    QVERIFY(w->view()->selectedEntry());
    NotesEdit* memo = w->view()->memo();
    QVERIFY(!memo->isReadOnly());
    memo->setPlainText(QStringLiteral("typed, not stored"));
    memo->document()->setModified(true);
    w->view()->liste()->setFocus(); // the notes editor no longer has the focus

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(int(MsgCancel));
    w->action(QStringLiteral("ActionNouveau"))->trigger();
    QCOMPARE(shownMessages(), QStringList{QStringLiteral("Do you want to save \"%1\" ?").arg(path)});
    QVERIFY(w->doc().Modified);
    QCOMPARE(w->doc().CurrentPath, path);
    QCOMPARE(w->view()->selectedEntry()->Notes, QStringLiteral("typed, not stored"));
}

// After each command the focus is where the next key is expected: the groups of a document just
// opened, the empty tree of a new one, the list after an entry was deleted.
void TestFileCommandsWindow::focusFollowsTheCommands()
{
    auto* w = m_fx->makeWindow();
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"), 2, QStringLiteral("g"));
    w->view()->liste()->setFocus();
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->view()->arbo()));

    w->view()->flushGroupChange();
    w->view()->liste()->setFocus();
    w->view()->selectRow(0);
    ModalSeam::pushAnswer(int(MsgYes));
    w->action(QStringLiteral("ActionDelEntree"))->trigger();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->view()->liste()));

    ModalSeam::pushAnswer(int(MsgNo));
    w->action(QStringLiteral("ActionNouveau"))->trigger();
    QCOMPARE(w->doc().groupCount(), 0);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->view()->arbo()));
}

void TestFileCommandsWindow::endRequestedBySignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

// kill, Ctrl+C or a closing terminal end the program as Exit does: the save question first, and
// Cancel keeps it running with its document.
void TestFileCommandsWindow::endRequestedBySignal()
{
    QFETCH(int, signalNumber);
    auto* w = m_fx->makeWindow();
    w->handleSessionEnd();
    const QString path = makeDocument(QStringLiteral("a.pass"), QStringLiteral("secret"), 1, QStringLiteral("g"));
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->view()->groupModel()->addGroup(QStringLiteral("added"), nullptr);
    w->SetModified(true);
    const QByteArray before = m_fx->tmp().readFile(QStringLiteral("a.pass"));

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(int(MsgCancel));
    QCOMPARE(::raise(signalNumber), 0);
    QTRY_COMPARE(shownMessages().size(), 1);
    QCOMPARE(shownMessages().first(), QStringLiteral("Do you want to save \"%1\" ?").arg(path));
    QVERIFY(w->isVisible());
    QVERIFY(w->doc().Modified);

    // Again, and this time Yes: saved, then the window closes.
    ModalSeam::pushAnswer(int(MsgYes));
    QCOMPARE(::raise(signalNumber), 0);
    QTRY_VERIFY(!w->isVisible());
    QCOMPARE(shownMessages().size(), 2);
    QVERIFY(m_fx->tmp().readFile(QStringLiteral("a.pass")) != before);
    QVERIFY(!w->doc().Modified);
}

void TestFileCommandsWindow::mergeTwoGroupsIntoThree()
{
    auto* w = m_fx->makeWindow();
    const QString mine = makeDocument(QStringLiteral("mine.pass"), QStringLiteral("mine"), 3, QStringLiteral("m"));
    const QString other = makeDocument(QStringLiteral("other.pass"), QStringLiteral("theirs"), 2, QStringLiteral("o"));
    m_fx->openThroughCommand(mine, QStringLiteral("mine"));
    QVERIFY(!w->doc().Modified);

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(other);
    ModalSeam::pushAnswer(QStringLiteral("theirs"));
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    QCOMPARE(ModalSeam::shown()[0].dialog, QStringLiteral("OpenFile"));
    QCOMPARE(ModalSeam::shown()[0].text, QStringLiteral("Merge with..."));
    QCOMPARE(ModalSeam::shown()[1].kind, int(TBoiteMetaPass::Enter));
    QCOMPARE(ModalSeam::shown()[1].text, QStringLiteral("Password of \"other.pass\" :"));
    QCOMPARE(shownMessages(), QStringList());

    QCOMPARE(m_fx->topGroupNames(), (QStringList{"m1", "m2", "m3", "o1", "o2"}));
    GroupTreeModel* model = w->view()->groupModel();
    const QModelIndex fourth = model->index(3, 0);
    QCOMPARE(w->view()->selectedGroup(), model->groupAt(fourth));
    QVERIFY(w->view()->arbo()->isExpanded(fourth));
    QVERIFY(w->view()->arbo()->isExpanded(model->index(0, 0, fourth)));
    QVERIFY(!w->view()->arbo()->isExpanded(model->index(4, 0)));
    w->view()->flushGroupChange();
    QCOMPARE(w->view()->entryModel()->rowCount(), 1);
    QVERIFY(w->doc().Modified);
    QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("2 items and 6 groups founded in %1 file").arg(other));
    // The open document keeps its name, password and header; the merged file enters the recent files.
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - mine.pass"));
    QCOMPARE(w->doc().CurrentPath, mine);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("mine"));
    QCOMPARE(w->doc().LocalDoc.FileName, mine);
    QCOMPARE(w->settings().MRU[0], other);
    QCOMPARE(w->settings().MRU[1], mine);
    QVERIFY(w->action(QStringLiteral("ActionChangeMeta"))->isEnabled());

    // Save writes the combined document to the open document's file under its password.
    w->action(QStringLiteral("ActionSauver"))->trigger();
    DocumentState back;
    QVERIFY(readDocument(mine, QStringLiteral("mine"), back));
    QCOMPARE(back.Groups().size(), size_t(5));
    QCOMPARE(back.entryCount(), 5);
    QCOMPARE(back.LocalDoc.SaveCount, 11);
}

void TestFileCommandsWindow::mergeTheOpenFileIntoItself()
{
    auto* w = m_fx->makeWindow();
    const QString mine = makeDocument(QStringLiteral("mine.pass"), QStringLiteral("pw"), 2, QStringLiteral("m"));
    m_fx->openThroughCommand(mine, QStringLiteral("pw"));
    ModalSeam::pushAnswer(mine);
    ModalSeam::pushAnswer(QStringLiteral("pw"));
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    QCOMPARE(m_fx->topGroupNames(), (QStringList{"m1", "m2", "m1", "m2"}));
    QCOMPARE(w->doc().groupCount(), 12);
    QCOMPARE(w->doc().entryCount(), 4);
    // The copies have groups of their own.
    QVERIFY(w->doc().entry(2)->Group != w->doc().entry(0)->Group);
    QCOMPARE(w->doc().findGroup(w->doc().entry(2)->Group), w->doc().Groups()[2].get());
    QCOMPARE(w->view()->selectedGroup(), w->doc().Groups()[2].get());
    QVERIFY(w->doc().Modified);
    QCOMPARE(w->doc().CurrentPath, mine);
}

void TestFileCommandsWindow::mergeWithAWrongPassword()
{
    auto* w = m_fx->makeWindow();
    const QString mine = makeDocument(QStringLiteral("mine.pass"), QStringLiteral("mine"), 3, QStringLiteral("m"));
    const QString other = makeDocument(QStringLiteral("other.pass"), QStringLiteral("theirs"), 2, QStringLiteral("o"));
    m_fx->openThroughCommand(mine, QStringLiteral("mine"));
    w->view()->selectGroup(w->doc().Groups()[1].get());
    const QString status = w->statusPanel(0)->text();

    for (bool modified : {false, true}) {
        w->SetModified(modified);
        ModalSeam::clearShown();
        ModalSeam::pushAnswer(other);
        ModalSeam::pushAnswer(QStringLiteral("wrong"));
        w->action(QStringLiteral("ActionFusionner"))->trigger();
        QCOMPARE(shownMessages(), QStringList{QStringLiteral("Sorry ! This meta password is not the right one, or "
                                                             "this file is not a Tresorin document...")});
        QCOMPARE(m_fx->topGroupNames(), (QStringList{"m1", "m2", "m3"}));
        QCOMPARE(w->view()->selectedGroup(), w->doc().Groups()[1].get());
        QCOMPARE(w->doc().CurrentPath, mine);
        QCOMPARE(w->doc().MetaPassword, QStringLiteral("mine"));
        QCOMPARE(w->doc().Modified, modified);
        QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - mine.pass"));
        QCOMPARE(w->statusPanel(0)->text(), status);
        QCOMPARE(w->settings().MRU[0], mine);
    }
}

void TestFileCommandsWindow::mergeOfASynchronisedFile()
{
    auto* w = m_fx->makeWindow();
    const QString mine = makeDocument(QStringLiteral("mine.pass"), QStringLiteral("mine"), 1, QStringLiteral("m"));
    DocumentState synced;
    synced.LocalDoc = testsupport::richHeader();
    synced.LocalDoc.SyncOn = true;
    synced.addGroup(QStringLiteral("synced"));
    const QString other = m_fx->tmp().filePath(QStringLiteral("synced.pass"));
    QVERIFY(writeDocument(other, synced, QStringLiteral("pw")));
    m_fx->openThroughCommand(mine, QStringLiteral("mine"));
    const TDoc header = w->doc().LocalDoc;
    QVERIFY(!w->action(QStringLiteral("ActionSynchroFTP"))->isChecked());

    QSignalSpy downloads(&w->pipeline(), &DocumentPipeline::syncDownloadRequested);
    ModalSeam::pushAnswer(other);
    ModalSeam::pushAnswer(QStringLiteral("pw"));
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    QCOMPARE(m_fx->topGroupNames(), (QStringList{"m1", "synced"}));
    QCOMPARE(downloads.count(), 0);
    QCOMPARE(testsupport::compareHeaders(w->doc().LocalDoc, header), QString());
    QCOMPARE(w->doc().LocalDoc.FileName, header.FileName);
    QVERIFY(!w->action(QStringLiteral("ActionSynchroFTP"))->isChecked());
    QVERIFY(!w->doc().FtpMode);

    // The next save stays local: no upload of a synchronisation copy.
    QSignalSpy uploads(&w->pipeline(), &DocumentPipeline::syncUploadRequested);
    w->action(QStringLiteral("ActionSauver"))->trigger();
    QCOMPARE(uploads.count(), 0);
    DocumentState back;
    QVERIFY(readDocument(mine, QStringLiteral("mine"), back));
    QVERIFY(!back.LocalDoc.SyncOn);
}

void TestFileCommandsWindow::mergeCancelled()
{
    auto* w = m_fx->makeWindow();
    const QString mine = makeDocument(QStringLiteral("mine.pass"), QStringLiteral("mine"), 2, QStringLiteral("m"));
    const QString other = makeDocument(QStringLiteral("other.pass"), QStringLiteral("theirs"), 2, QStringLiteral("o"));
    m_fx->openThroughCommand(mine, QStringLiteral("mine"));
    // Cancel in the file dialog, then in the password dialog.
    ModalSeam::pushAnswer(QString());
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    ModalSeam::pushAnswer(other);
    ModalSeam::pushAnswer(QVariant());
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    QCOMPARE(m_fx->topGroupNames(), (QStringList{"m1", "m2"}));
    QVERIFY(!w->doc().Modified);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("mine"));
    QCOMPARE(ModalSeam::unanswered(), 0);
    // Open still offers the open document's folder and name.
    QCOMPARE(w->openDialogFileName(), QStringLiteral("mine.pass"));
}

QTEST_MAIN(TestFileCommandsWindow)
#include "tst_mainwindow_filecommands.moc"
