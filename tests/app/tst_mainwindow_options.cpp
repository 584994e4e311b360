// The commands of the "?" and Outils menus that the options, the about box and the update check
// serve: Options... applies at once what acts at once, About shows the box, Contact support opens
// the support page, the gesture of the about box releases the read-only lock, Check for update
// asks the server of the test, and the activation starts a due check without waiting for it.

#include "ProductInfo.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "settings/gui/TBoiteOptions.h"
#include "support/HttpServer.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"
#include "update/TMajWeb.h"
#include "update/gui/TBoiteAPropos.h"
#include "update/gui/UpdateChecker.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

using testsupport::WindowFixture;

class TestMainWindowOptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void optionsApplyAtOnce();
    void optionsCancelled();
    void settingsFileTooLargeToRead();
    void changedLanguageIsReloaded();
    void aboutAndSupport();
    void gestureReleasesTheReadOnlyLock();
    void checkForUpdateCommand();
    void dueCheckAtActivation_data();
    void dueCheckAtActivation();

private:
    void runOptions(const std::function<void(TBoiteOptions&)>& change, bool ok);

    TBoiteOptions* options() const { return m_fx->dialog<TBoiteOptions>(); }
    TBoiteAPropos* about() const { return m_fx->dialog<TBoiteAPropos>(); }

    std::unique_ptr<WindowFixture> m_fx;
};

void TestMainWindowOptions::initTestCase()
{
    TBoiteOptions::RefreshDesktopCaches = false;
}

void TestMainWindowOptions::init()
{
    m_fx = std::make_unique<WindowFixture>(WindowFixture::ConfigHome | WindowFixture::SystemData);
}

void TestMainWindowOptions::cleanup()
{
    m_fx.reset();
}

void TestMainWindowOptions::runOptions(const std::function<void(TBoiteOptions&)>& change, bool ok)
{
    const auto c = connect(options(), &TBoiteOptions::opened, this, [this, &change] { change(*options()); });
    ModalSeam::pushAnswer(ok);
    m_fx->window()->action(QStringLiteral("ActionOption"))->trigger();
    disconnect(c);
    QCOMPARE(ModalSeam::shown().last().dialog, QStringLiteral("Options"));
}

void TestMainWindowOptions::optionsApplyAtOnce()
{
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n[MRU]\r\n1=/docs/a.pass\r\n2=/docs/b.pass\r\n");
    QVERIFY(w->trayButton());
    QVERIFY(!w->trayButton()->isHidden());
    QVERIFY(w->action(QStringLiteral("ActionMRU1"))->isVisible());
    QCOMPARE(w->action(QStringLiteral("ActionOption"))->shortcut(), QKeySequence(Qt::ALT | Qt::Key_P));

    runOptions(
        [](TBoiteOptions& d) {
            d.CBTray->setChecked(true);
            d.CBMRU->setChecked(false);
            d.CBAutoHide->setChecked(true);
            d.cbUseMaj->setChecked(true);
            d.rbWeek->setChecked(true);
            d.seIdleMain->setValue(12);
            d.CBHidePwd->setChecked(false);
        },
        true);
    QVERIFY(w->trayButton()->isHidden());
    for (int slot = 1; slot <= 4; ++slot)
        QVERIFY(!w->action(QStringLiteral("ActionMRU%1").arg(slot))->isVisible());
    // The paths stay, to be written at exit.
    QCOMPARE(w->settings().MRU[0], QStringLiteral("/docs/a.pass"));
    QVERIFY(w->view()->autoHide());
    QCOMPARE(w->settings().AutoCheck, 2);
    QCOMPARE(w->settings().MainMin, 12);
    // Hiding passwords acts at the next start only.
    QVERIFY(!w->settings().HidePass);
    QVERIFY(w->action(QStringLiteral("ActionHidePwd"))->isChecked());

    runOptions([](TBoiteOptions& d) { d.CBTray->setChecked(false); }, true);
    QVERIFY(!w->trayButton()->isHidden());

    // Written at exit.
    m_fx->destroyWindow();
    const QByteArray ini = m_fx->readIni();
    QVERIFY(ini.contains("AutoCheck=2\r\n"));
    QVERIFY(ini.contains("MainMin=12\r\n"));
    QVERIFY(ini.contains("1=/docs/a.pass\r\n"));
}

void TestMainWindowOptions::optionsCancelled()
{
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    const QString caption = w->action(QStringLiteral("ActionMajWeb"))->text();
    runOptions(
        [](TBoiteOptions& d) {
            d.CBTray->setChecked(true);
            d.CBLangue->setCurrentIndex(1);
            d.CBAssocie->setChecked(true);
        },
        false);
    QVERIFY(!w->settings().Tray);
    QCOMPARE(w->settings().Langue, QStringLiteral("US"));
    QVERIFY(!w->trayButton()->isHidden());
    QCOMPARE(w->action(QStringLiteral("ActionMajWeb"))->text(), caption);
    QVERIFY(!m_fx->tmp().exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
}

// A settings file too large to read: the window starts with the defaults, says so once, and leaves
// the file as it was at exit.
void TestMainWindowOptions::settingsFileTooLargeToRead()
{
    const QByteArray big = "[Main]\r\nLangue=FR\r\nAutoCheck=0\r\n" + QByteArray(1024 * 1024, ' ');
    auto* w = m_fx->makeWindow(big);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QVERIFY2(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).first().contains(QStringLiteral("Tresorin.ini")),
             qPrintable(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).first()));
    QCOMPARE(ModalSeam::shown().first().kind, int(MsgKind::Warning));
    QCOMPARE(w->settings().Langue, QString()); // the default
    w->FormActivate();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    m_fx->destroyWindow();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QCOMPARE(m_fx->readIni(), big);
}

void TestMainWindowOptions::changedLanguageIsReloaded()
{
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    QCOMPARE(w->action(QStringLiteral("ActionMajWeb"))->text(), QStringLiteral("Check for update"));
    runOptions([](TBoiteOptions& d) { d.CBLangue->setCurrentIndex(1); }, true);
    QCOMPARE(w->settings().Langue, QStringLiteral("FR"));
    QCOMPARE(w->action(QStringLiteral("ActionMajWeb"))->text(), QStringLiteral("Vérifier les mises à jour"));
    QCOMPARE(options()->CBTray->text(), QStringLiteral("Réduire en petite icone"));

    // A hand-edited "fr" shows as English; OK stores "US", a change, so the table is applied again.
    w->settings().Langue = QStringLiteral("fr");
    w->action(QStringLiteral("ActionMajWeb"))->setText(QStringLiteral("changed"));
    runOptions([](TBoiteOptions& d) { QCOMPARE(d.CBLangue->currentIndex(), 2); }, true);
    QCOMPARE(w->settings().Langue, QStringLiteral("US"));
    QCOMPARE(w->action(QStringLiteral("ActionMajWeb"))->text(), QStringLiteral("Check for update"));

    // No change, no reload.
    w->action(QStringLiteral("ActionMajWeb"))->setText(QStringLiteral("changed"));
    runOptions([](TBoiteOptions&) {}, true);
    QCOMPARE(w->action(QStringLiteral("ActionMajWeb"))->text(), QStringLiteral("changed"));
}

void TestMainWindowOptions::aboutAndSupport()
{
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    w->action(QStringLiteral("ActionAbout"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown().first().dialog, QStringLiteral("About"));
    QCOMPARE(ModalSeam::shown().first().text, QStringLiteral("About Tresorin"));

    w->action(QStringLiteral("actionSupport"))->trigger();
    const QStringList opened = ModalSeam::shownTexts(QStringLiteral("OpenLink"));
    QCOMPARE(opened, QStringList{about()->supportAddress()});
    QVERIFY(opened[0].startsWith(QString::fromLatin1(kSupportPageUrl)));
}

void TestMainWindowOptions::gestureReleasesTheReadOnlyLock()
{
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    w->SetReadOnlyLock(true);
    QVERIFY(!w->action(QStringLiteral("ActionNewGrp"))->isEnabled());
    QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Read only"));
    // The box connects its gesture when the command shows it.
    w->action(QStringLiteral("ActionAbout"))->trigger();
    w->action(QStringLiteral("ActionAbout"))->trigger();
    about()->show();
    QTest::mouseRelease(about()->Label5, Qt::RightButton, Qt::ShiftModifier, QPoint(2, 2));
    QVERIFY(!w->doc().ReadOnlyLock);
    QVERIFY(w->action(QStringLiteral("ActionNewGrp"))->isEnabled());
    QCOMPARE(w->statusPanel(2)->text(), QString());
    // Without a lock the gesture does nothing more.
    QTest::mouseRelease(about()->Label5, Qt::RightButton, Qt::ShiftModifier, QPoint(2, 2));
    QVERIFY(!w->doc().ReadOnlyLock);
}

void TestMainWindowOptions::checkForUpdateCommand()
{
    testsupport::HttpServer server;
    server.setAnswer(QStringLiteral("/versions.php?soft=tresorin"), "Tresorin=0.0.0.1\r\nx=y\r\n");
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\nUrlUpdate=" +
                               server.url(QStringLiteral("/versions.php?soft=tresorin")).toLatin1() + "\r\n");
    QCOMPARE(w->settings().UrlUpdate, server.url(QStringLiteral("/versions.php?soft=tresorin")));
    QSignalSpy done(w->updateChecker(), &UpdateChecker::checkDone);
    QAction* command = w->action(QStringLiteral("ActionMajWeb"));
    command->trigger();
    QVERIFY(!command->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QVERIFY(command->isEnabled());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList{QStringLiteral("No new version available")});
    // The address differs from the built-in one: it is written at exit.
    m_fx->destroyWindow();
    QVERIFY(
        m_fx->readIni().contains("UrlUpdate=" + server.url(QStringLiteral("/versions.php?soft=tresorin")).toLatin1()));
}

void TestMainWindowOptions::dueCheckAtActivation_data()
{
    QTest::addColumn<int>("autoCheck");
    QTest::addColumn<int>("daysAgo");
    QTest::addColumn<bool>("due");
    QTest::newRow("never") << 0 << 400 << false;
    QTest::newRow("weekly, 6 days") << 2 << 6 << false;
    QTest::newRow("daily, 2 days") << 1 << 2 << true;
    QTest::newRow("monthly, 31 days") << 3 << 31 << true;
}

void TestMainWindowOptions::dueCheckAtActivation()
{
    QFETCH(int, autoCheck);
    QFETCH(int, daysAgo);
    QFETCH(bool, due);
    testsupport::HttpServer server;
    server.holdAnswers = true;
    server.setAnswer(QStringLiteral("/v"), "Tresorin=0.1\r\n\r\n");
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    w->settings().AutoCheck = autoCheck;
    w->settings().UrlUpdate = server.url(QStringLiteral("/v"));
    const QDateTime last = QDateTime::currentDateTime().addDays(-daysAgo);
    w->settings().LastCheck = last;

    // The server holds its answer back: the activation does not wait for it.
    QElapsedTimer clock;
    clock.start();
    w->FormActivate();
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(w->updateChecker()->runningChecks(), due ? 1 : 0);
    if (!due)
        return;
    QSignalSpy done(w->updateChecker(), &UpdateChecker::checkDone);
    QTRY_COMPARE(server.requests.size(), 1);
    server.release();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    // Silent: nothing shown; the answer moved LastCheck.
    QVERIFY(ModalSeam::shown().isEmpty());
    QVERIFY(w->settings().LastCheck > last);
}

QTEST_MAIN(TestMainWindowOptions)
#include "tst_mainwindow_options.moc"
