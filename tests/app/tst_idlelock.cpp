// The idle lock and the tray: the timer follows the idle settings and restarts on typed
// characters and pointer moves over the window (not on arrow keys, not over the menu bar), the
// lock hides the document and asks the meta password until the right one or a closed document,
// and the window goes to the tray and back (through the class itself: offscreen has no tray),
// or is only minimised where no tray exists. Time is shortened: a minute lasts a few
// milliseconds.

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/IdleLock.h"
#include "app/gui/window/TfrmTresorin.h"
#include "app/gui/window/TrayMinimiser.h"
#include "crypto/SecureBytes.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using testsupport::WindowFixture;

namespace {
// Text buffers wiped (all zero when seen) while the observer is set.
int g_wipedTexts = 0;
void countWiped(const void* begin, qsizetype bytes)
{
    const auto* p = static_cast<const unsigned char*>(begin);
    g_wipedTexts += std::all_of(p, p + bytes, [](unsigned char c) { return c == 0; }) ? 1 : 0;
}
} // namespace

class TestIdleLock : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void timerFollowsTheSettings_data();
    void timerFollowsTheSettings();
    void activity();
    void noMetaPasswordNoLock();
    void lock_data();
    void lock();
    void closingALockedWindowAsksThePassword();
    void closingLockClosesOpenQuestions_data();
    void closingLockClosesOpenQuestions();
    void deleteAnsweredAfterTheLockClosedTheDocument_data();
    void deleteAnsweredAfterTheLockClosedTheDocument();
    void trayRestore();
    void noTrayMinimisesOnly();

private:
    void makeWindow(const QByteArray& idle, const QByteArray& pos = QByteArray());
    void fillDocument(const QString& path, bool modified);
    QStringList prompts() const { return ModalSeam::shownTexts(QStringLiteral("MetaPass")); }

    TfrmTresorin* win() const { return m_fx->window(); }

    std::unique_ptr<WindowFixture> m_fx;
};

void TestIdleLock::init()
{
    m_fx = std::make_unique<WindowFixture>();
    IdleLock::MillisecondsPerMinute = 10;
}

void TestIdleLock::cleanup()
{
    m_fx.reset();
}

void TestIdleLock::makeWindow(const QByteArray& idle, const QByteArray& pos)
{
    m_fx->makeWindow(testsupport::kWindowIni + "[Idle]\r\n" + idle + "[Pos]\r\n" + pos);
    QVERIFY(m_fx->showActive());
    ModalSeam::clearShown();
}

void TestIdleLock::fillDocument(const QString& path, bool modified)
{
    DocumentState& d = win()->doc();
    TGroupe* g = d.addGroup(QStringLiteral("Bank"));
    d.appendEntry(NewEntry(g, QStringLiteral("alpha")));
    m_fx->documentFilled();
    d.MetaPassword = QStringLiteral("secret");
    d.CurrentPath = path;
    win()->SetModified(modified);
}

void TestIdleLock::timerFollowsTheSettings_data()
{
    QTest::addColumn<QByteArray>("idle");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("minutes");
    QTest::newRow("defaults") << QByteArray() << true << 5;
    QTest::newRow("three minutes") << QByteArray("Main=1\r\nMainMin=3\r\n") << true << 3;
    QTest::newRow("off") << QByteArray("Main=0\r\nMainMin=3\r\n") << false << 3;
    QTest::newRow("no minutes never locks") << QByteArray("Main=1\r\nMainMin=0\r\n") << false << 0;
}

void TestIdleLock::timerFollowsTheSettings()
{
    QFETCH(QByteArray, idle);
    QFETCH(bool, running);
    QFETCH(int, minutes);
    IdleLock::MillisecondsPerMinute = 60000; // nothing may fire during this test
    makeWindow(idle);
    QTimer* timer = win()->idleLock()->timer();
    QCOMPARE(timer->isActive(), running);
    QCOMPARE(timer->interval(), minutes * 60000);
    QCOMPARE(IdleLock::intervalFor(1000000), INT_MAX); // minutes beyond what a timer holds
}

// Each activity is tried on a stopped timer: what counts starts it again.
void TestIdleLock::activity()
{
    IdleLock::MillisecondsPerMinute = 60000;
    makeWindow("Main=1\r\nMainMin=5\r\n");
    QTimer* timer = win()->idleLock()->timer();
    QWidget* list = win()->view()->liste();
    QWindow* window = win()->windowHandle();
    const auto at = [this](QWidget* w) { return w->mapTo(win(), w->rect().center()); };

    struct Case
    {
        const char* name;
        std::function<void()> act;
        bool counts;
    };
    const QList<Case> cases = {
        {"typed letter", [&] { QTest::keyClick(list, Qt::Key_A); }, true},
        {"Enter", [&] { QTest::keyClick(list, Qt::Key_Return); }, true},
        {"arrow key", [&] { QTest::keyClick(list, Qt::Key_Down); }, false},
        {"function key", [&] { QTest::keyClick(list, Qt::Key_F5); }, false},
        {"pointer over the list", [&] { QTest::mouseMove(window, at(win()->view()->liste()->viewport())); }, true},
        {"pointer over the tool bar", [&] { QTest::mouseMove(window, at(win()->toolBar())); }, true},
        {"pointer over the status bar", [&] { QTest::mouseMove(window, at(win()->statusPanel(0))); }, true},
        {"pointer over the menu bar", [&] { QTest::mouseMove(window, at(win()->menuBar()) - QPoint(40, 0)); }, false},
        {"generator closed", [&] { win()->action(QStringLiteral("actGenerateur"))->trigger(); }, true},
    };
    for (const Case& c : cases) {
        timer->stop();
        c.act();
        QVERIFY2(timer->isActive() == c.counts, c.name);
    }

    // Work in a dialog of the program counts too: typing a server name in the FTP dialog is no
    // idleness.
    QDialog dialog(win());
    auto* field = new QLineEdit(&dialog);
    dialog.resize(300, 100);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    timer->stop();
    QTest::keyClick(field, Qt::Key_A);
    QVERIFY2(timer->isActive(), "typed in a dialog");
    timer->stop();
    QTest::mouseMove(dialog.windowHandle(), field->geometry().center());
    QVERIFY2(timer->isActive(), "pointer over a dialog");
    timer->stop();
    QTest::keyClick(field, Qt::Key_Left);
    QVERIFY2(!timer->isActive(), "arrow key in a dialog");
}

void TestIdleLock::noMetaPasswordNoLock()
{
    makeWindow("Main=1\r\nMainMin=1\r\n");
    QTRY_COMPARE(win()->statusPanel(0)->text(),
                 QStringLiteral("Idle time reached, please enter agin your meta-password"));
    QVERIFY(win()->view()->isVisible());
    QVERIFY(prompts().isEmpty());
    QVERIFY(!win()->idleLock()->timer()->isActive()); // the lock does not restart it
}

void TestIdleLock::lock_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QVariantList>("answers");
    QTest::addColumn<int>("promptCount");
    QTest::addColumn<int>("saveQuestions");
    QTest::addColumn<bool>("kept");
    const QVariant cancel;
    QTest::newRow("right password") << "/tmp/x.pass" << true << QVariantList{QStringLiteral("secret")} << 1 << 0
                                    << true;
    QTest::newRow("wrong ones come back without a message")
        << "/tmp/x.pass" << false
        << QVariantList{QStringLiteral("nope"), QStringLiteral("SECRET"), QString(), QStringLiteral("secret")} << 4 << 0
        << true;
    QTest::newRow("Cancel on a clean document closes it")
        << "/tmp/x.pass" << false << QVariantList{cancel} << 1 << 0 << false;
    // Unsaved work is never thrown away without the meta password: Cancel leaves the document
    // locked, with no save question, and the prompt comes back when the window is activated.
    QTest::newRow("Cancel on a modified document: locked until its password")
        << "/tmp/x.pass" << true << QVariantList{cancel, QStringLiteral("secret")} << 2 << 0 << true;
    QTest::newRow("untitled modified document: the same")
        << "" << true << QVariantList{cancel, cancel, QStringLiteral("secret")} << 3 << 0 << true;
}

void TestIdleLock::lock()
{
    QFETCH(QString, path);
    QFETCH(bool, modified);
    QFETCH(QVariantList, answers);
    QFETCH(int, promptCount);
    QFETCH(int, saveQuestions);
    QFETCH(bool, kept);
    IdleLock::MillisecondsPerMinute = 60000;
    makeWindow("Main=1\r\nMainMin=1\r\n");
    fillDocument(path, modified);
    // Each typed text is a copy of its own, as the dialog's would be once it is gone: a text still
    // shared with the test's table would only be released, not wiped.
    for (const QVariant& a : answers)
        ModalSeam::pushAnswer(
            a.typeId() == QMetaType::QString ? QVariant(QString(a.toString().constData(), a.toString().size())) : a);
    int hiddenAtPrompts = 0;
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("MetaPass") && !win()->view()->isVisible())
            ++hiddenAtPrompts;
    });
    // Every password typed at the prompt, wrong or right, is wiped once compared.
    int typedTexts = 0;
    for (const QVariant& a : answers)
        typedTexts += a.typeId() == QMetaType::QString && !a.toString().isEmpty() ? 1 : 0;
    g_wipedTexts = 0;
    setTextWipeObserver(countWiped);
    const auto noObserver = qScopeGuard([] { setTextWipeObserver(nullptr); });
    // The timer itself fires, after a minute of a few milliseconds.
    IdleLock::MillisecondsPerMinute = 10;
    win()->RestartIdleTimer();
    // Each Cancel over a modified document leaves the lock waiting, the window without its
    // commands; an activation brings the prompt back.
    for (int prompt = 1; prompt < promptCount && modified; ++prompt) {
        QTRY_COMPARE(prompts().size(), prompt);
        QTRY_VERIFY(win()->idleLock()->waiting());
        QVERIFY(win()->idleLock()->locked());
        QVERIFY(!win()->isEnabled());
        QVERIFY(!win()->view()->isVisible());
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        QTest::keySequence(win(), QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(win(), &activation);
    }
    QTRY_COMPARE(prompts().size(), promptCount);
    QTRY_VERIFY(!win()->idleLock()->locked());
    QVERIFY(!win()->idleLock()->waiting());
    QVERIFY(win()->isEnabled());
    QVERIFY2(g_wipedTexts >= typedTexts,
             qPrintable(QString("%1 of %2 typed passwords wiped").arg(g_wipedTexts).arg(typedTexts)));
    QCOMPARE(hiddenAtPrompts, promptCount);
    QCOMPARE(ModalSeam::pendingAnswers(), 0);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), saveQuestions);
    QVERIFY(win()->view()->isVisible());
    QCOMPARE(win()->doc().Entries().size(), size_t(kept ? 1 : 0));
    QCOMPARE(win()->doc().CurrentPath, kept ? path : QString());
    QCOMPARE(win()->doc().Modified, kept && modified);
    QCOMPARE(win()->doc().MetaPassword, kept ? QStringLiteral("secret") : QString());
    QVERIFY(!win()->idleLock()->timer()->isActive());
}

// A lock waiting over unsaved work: closing the window asks the meta password first, and nobody
// gets to the save question (whose No would discard the work) without it.
void TestIdleLock::closingALockedWindowAsksThePassword()
{
    IdleLock::MillisecondsPerMinute = 60000;
    makeWindow("Main=1\r\nMainMin=1\r\n");
    fillDocument(QStringLiteral("/tmp/x.pass"), true);
    ModalSeam::pushAnswer(QVariant()); // Cancel at the lock's prompt
    win()->idleLock()->timerIdleMainTimer();
    QVERIFY(win()->idleLock()->waiting());

    ModalSeam::pushAnswer(QVariant()); // Cancel again when the window is closed
    QVERIFY(!win()->close());
    QVERIFY(win()->isVisible());
    QVERIFY(win()->idleLock()->waiting());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());

    ModalSeam::pushAnswer(QStringLiteral("secret"));
    ModalSeam::pushAnswer(int(MsgCancel)); // the save question, now that the owner is back
    QVERIFY(!win()->close());
    QVERIFY(!win()->idleLock()->locked());
    QVERIFY(win()->isEnabled());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QCOMPARE(prompts().size(), 3);
    QVERIFY(win()->doc().Modified);
    QCOMPARE(win()->doc().entryCount(), 1);
}

void TestIdleLock::closingLockClosesOpenQuestions_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("Cancel closes the document") << QVariant() << true;
    QTest::newRow("right password keeps it") << QVariant(QStringLiteral("secret")) << false;
}

// Questions on screen when the lock comes were asked about the open document: when the lock
// closes it they are closed too, as Cancel, so that no later answer acts on what is open then.
void TestIdleLock::closingLockClosesOpenQuestions()
{
    QFETCH(QVariant, answer);
    QFETCH(bool, closed);
    IdleLock::MillisecondsPerMinute = 60000;
    makeWindow("Main=1\r\nMainMin=1\r\n");
    fillDocument(QStringLiteral("/tmp/x.pass"), false);

    QDialog question(win());
    question.setModal(true);
    question.show();
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Confirmation"), QStringLiteral("Sure?"),
                                QMessageBox::Yes | QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(true);
    QPointer<QMessageBox> boxAlive(box);
    box->show();
    QVERIFY(question.isVisible() && box->isVisible());

    ModalSeam::pushAnswer(answer.isValid() ? QVariant(QString(answer.toString())) : QVariant());
    win()->idleLock()->timerIdleMainTimer();

    QCOMPARE(win()->doc().CurrentPath.isEmpty(), closed);
    QCOMPARE(question.isVisible(), !closed);
    QCOMPARE(!boxAlive.isNull() && boxAlive->isVisible(), !closed);
    if (closed)
        QCOMPARE(question.result(), int(QDialog::Rejected));
    delete boxAlive.data();
}

void TestIdleLock::deleteAnsweredAfterTheLockClosedTheDocument_data()
{
    QTest::addColumn<bool>("group");
    QTest::newRow("group") << true;
    QTest::newRow("entry") << false;
}

// The delete question is on screen when the lock closes the document and a new one is started in
// its place: Yes given afterwards deletes nothing of the new document (and the closed group, which
// is gone, is not touched).
void TestIdleLock::deleteAnsweredAfterTheLockClosedTheDocument()
{
    QFETCH(bool, group);
    IdleLock::MillisecondsPerMinute = 60000;
    makeWindow("Main=1\r\nMainMin=1\r\n");
    fillDocument(QStringLiteral("/tmp/x.pass"), false);
    win()->view()->selectGroup(win()->doc().Groups().front().get());
    win()->view()->flushGroupChange();
    QWidget* focus = group ? static_cast<QWidget*>(win()->view()->arbo()) : win()->view()->liste();
    if (!group)
        win()->view()->selectRow(0);
    focus->setFocus();
    QTRY_VERIFY(focus->hasFocus());

    ModalSeam::setObserver([this](const ModalSeam::Shown& q) {
        if (q.dialog != QLatin1String("ShowMsg") || win()->doc().CurrentPath.isEmpty())
            return;
        win()->idleLock()->timerIdleMainTimer();
        // A new document like the closed one, its group and entry selected.
        DocumentState& d = win()->doc();
        TGroupe* g = d.addGroup(QStringLiteral("Other"));
        d.appendEntry(NewEntry(g, QStringLiteral("keep me")));
        win()->view()->documentReloaded();
        win()->view()->selectGroup(g);
        win()->view()->flushGroupChange();
        win()->view()->selectRow(0);
    });
    ModalSeam::pushAnswer(QVariant());  // Cancel at the lock's prompt
    ModalSeam::pushAnswer(int(MsgYes)); // Yes to the delete question
    QAction* command = win()->action(group ? QStringLiteral("ActionDelGrp") : QStringLiteral("ActionDelEntree"));
    QVERIFY(command->isEnabled());
    command->trigger();

    QCOMPARE(ModalSeam::pendingAnswers(), 0);
    QCOMPARE(win()->doc().groupCount(), 1);
    QCOMPARE(win()->doc().entryCount(), 1);
    QCOMPARE(win()->doc().entry(0)->Name, QStringLiteral("keep me"));
}

void TestIdleLock::trayRestore()
{
    IdleLock::MillisecondsPerMinute = 60000;
    makeWindow(QByteArray(), "Tray=1\r\n");
    TrayMinimiser* tray = win()->tray();
    tray->setTrayAvailableForTest(true);
    QCOMPARE(tray->icon()->toolTip(), QStringLiteral("Restaurer Tresorin"));

    // With Tray on, minimising sends the window to the tray; a click on the icon brings it back.
    win()->showMinimized();
    QTRY_VERIFY(tray->active());
    QVERIFY(tray->icon()->isVisible());
    QVERIFY(!win()->isVisible());
    emit tray->icon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(!tray->active());
    QVERIFY(!tray->icon()->isVisible());
    QVERIFY(win()->isVisible());
    QVERIFY(!win()->isMinimized());

    // The button sends it to the tray whatever Tray says; the wake-up request brings it back.
    win()->settings().Tray = false;
    tray->minimiseToTray();
    QVERIFY(tray->active());
    QVERIFY(!win()->isVisible());
    win()->wakeUp();
    QVERIFY(!tray->active());
    QVERIFY(win()->isVisible());
    QVERIFY(!win()->isMinimized());

    // A minimise with Tray off stays an ordinary one.
    win()->showMinimized();
    QCoreApplication::processEvents();
    QVERIFY(!tray->active());
    QVERIFY(win()->isVisible());
}

void TestIdleLock::noTrayMinimisesOnly()
{
    IdleLock::MillisecondsPerMinute = 60000;
    makeWindow(QByteArray());
    TrayMinimiser* tray = win()->tray();
    tray->setTrayAvailableForTest(false);
    QVERIFY(win()->trayButton());
    win()->trayButton()->click();
    QVERIFY(win()->isMinimized());
    QCoreApplication::processEvents();
    QVERIFY(!tray->active());
    QVERIFY(!tray->icon()->isVisible());
    QVERIFY(win()->isVisible()); // still in the task bar, so it can be brought back
    win()->wakeUp();
    QVERIFY(!win()->isMinimized());
}

QTEST_MAIN(TestIdleLock)
#include "tst_idlelock.moc"
