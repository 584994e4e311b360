// The options dialog: every control loaded from the settings and stored back, the update and
// language mappings, the enabling rules, Cancel, and the association read at every activation and
// written by OK only (XDG folders in a temporary folder). Driven through the modal seam.

#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "settings/FileAssociation.h"
#include "settings/Settings.h"
#include "settings/gui/TBoiteOptions.h"
#include "support/TempFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

using testsupport::TempFolder;

class TestOptionsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyControlRoundTrips();
    void updateFrequency_data();
    void updateFrequency();
    void language_data();
    void language();
    void enablingFollowsTheBoxes();
    void spinFields();
    void lastCheckHint();
    void cancelDiscards();
    void associationOfAnotherExecutable();
    void uncheckingRemovesTheAssociation();
    void cancelLeavesTheAssociation();
    void activationReadsTheAssociationAgain();
    void failedWritesAreShown();

private:
    // Opens the dialog for m_settings; `change` runs on the loaded controls; `ok` answers.
    bool run(const std::function<void(TBoiteOptions&)>& change, bool ok);

    std::unique_ptr<TempFolder> m_tmp;
    std::unique_ptr<TBoiteOptions> m_dialog;
    Settings m_settings;
};

void TestOptionsDialog::initTestCase()
{
    TBoiteOptions::RefreshDesktopCaches = false;
}

void TestOptionsDialog::init()
{
    m_tmp = std::make_unique<TempFolder>();
    qputenv("XDG_DATA_HOME", m_tmp->makeFolder(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_tmp->makeFolder(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", m_tmp->makeFolder(QStringLiteral("system")).toLocal8Bit());
    ModalSeam::activate();
    m_dialog = std::make_unique<TBoiteOptions>();
    m_settings = Settings();
}

void TestOptionsDialog::cleanup()
{
    m_dialog.reset();
    ModalSeam::deactivate();
    m_tmp.reset();
}

bool TestOptionsDialog::run(const std::function<void(TBoiteOptions&)>& change, bool ok)
{
    const QMetaObject::Connection c =
        connect(m_dialog.get(), &TBoiteOptions::opened, this, [this, &change] { change(*m_dialog); });
    ModalSeam::pushAnswer(ok);
    const bool accepted = m_dialog->execFor(m_settings);
    disconnect(c);
    return accepted;
}

void TestOptionsDialog::everyControlRoundTrips()
{
    // Two opposite sets of values: each control shows its setting and stores it back unchanged.
    for (const bool on : {true, false}) {
        Settings s;
        s.AutoHide = s.Tray = s.Use = s.HidePass = s.AutoSync = s.AutoCopy = on;
        s.Pos = s.Size = s.Col = s.Panel = s.OneInstance = s.IdleMain = s.Clipboard = on;
        s.MainMin = on ? 9999 : 1;
        s.ClipboardMin = on ? 42 : 7;
        s.AutoCheck = on ? 2 : 0;
        s.Langue = on ? QStringLiteral("FR") : QString();
        m_dialog->loadFrom(s);
        QCOMPARE(m_dialog->CBAutoHide->isChecked(), on);
        QCOMPARE(m_dialog->CBTray->isChecked(), on);
        QCOMPARE(m_dialog->CBMRU->isChecked(), on);
        QCOMPARE(m_dialog->CBHidePwd->isChecked(), on);
        QCOMPARE(m_dialog->CBAutoSync->isChecked(), on);
        QCOMPARE(m_dialog->cbAutoCopy->isChecked(), on);
        QCOMPARE(m_dialog->CBPosWin->isChecked(), on);
        QCOMPARE(m_dialog->CBTailleWin->isChecked(), on);
        QCOMPARE(m_dialog->CBCol->isChecked(), on);
        QCOMPARE(m_dialog->CBPanel->isChecked(), on);
        QCOMPARE(m_dialog->cbOneInstance->isChecked(), on);
        QCOMPARE(m_dialog->cbIdleMain->isChecked(), on);
        QCOMPARE(m_dialog->cbIdleClipboard->isChecked(), on);
        QCOMPARE(m_dialog->seIdleMain->value(), s.MainMin);
        QCOMPARE(m_dialog->seIdleclipboard->value(), s.ClipboardMin);

        Settings back;
        back.AutoHide = back.Tray = back.Use = back.HidePass = back.AutoSync = back.AutoCopy = !on;
        back.Pos = back.Size = back.Col = back.Panel = back.OneInstance = back.IdleMain = back.Clipboard = !on;
        back.Langue = QStringLiteral("x");
        m_dialog->saveTo(back);
        QCOMPARE(back.AutoHide, on);
        QCOMPARE(back.Tray, on);
        QCOMPARE(back.Use, on);
        QCOMPARE(back.HidePass, on);
        QCOMPARE(back.AutoSync, on);
        QCOMPARE(back.AutoCopy, on);
        QCOMPARE(back.Pos, on);
        QCOMPARE(back.Size, on);
        QCOMPARE(back.Col, on);
        QCOMPARE(back.Panel, on);
        QCOMPARE(back.OneInstance, on);
        QCOMPARE(back.IdleMain, on);
        QCOMPARE(back.Clipboard, on);
        QCOMPARE(back.MainMin, s.MainMin);
        QCOMPARE(back.ClipboardMin, s.ClipboardMin);
        QCOMPARE(back.AutoCheck, s.AutoCheck);
        QCOMPARE(back.Langue, s.Langue);
    }
}

void TestOptionsDialog::updateFrequency_data()
{
    QTest::addColumn<int>("autoCheck");
    QTest::addColumn<bool>("useMaj");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("stored");
    QTest::newRow("never") << 0 << false << "rbMounth" << 0;
    QTest::newRow("daily") << 1 << true << "rbDay" << 1;
    QTest::newRow("weekly") << 2 << true << "rbWeek" << 2;
    QTest::newRow("monthly") << 3 << true << "rbMounth" << 3;
    QTest::newRow("hand-edited 7") << 7 << false << "rbMounth" << 0;
    QTest::newRow("negative") << -1 << false << "rbMounth" << 0;
}

void TestOptionsDialog::updateFrequency()
{
    QFETCH(int, autoCheck);
    QFETCH(bool, useMaj);
    QFETCH(QString, radio);
    QFETCH(int, stored);
    m_settings.AutoCheck = autoCheck;
    QVERIFY(run(
        [&](TBoiteOptions& d) {
            QCOMPARE(d.cbUseMaj->isChecked(), useMaj);
            for (QRadioButton* rb : {d.rbDay, d.rbWeek, d.rbMounth}) {
                QCOMPARE(rb->isChecked(), rb->objectName() == radio);
                QCOMPARE(rb->isEnabled(), useMaj);
            }
        },
        true));
    QCOMPARE(m_settings.AutoCheck, stored);
}

void TestOptionsDialog::language_data()
{
    QTest::addColumn<QString>("langue");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("stored");
    QTest::newRow("automatic") << "" << 0 << "";
    QTest::newRow("FR") << "FR" << 1 << "FR";
    QTest::newRow("US") << "US" << 2 << "US";
    QTest::newRow("fr, hand-edited") << "fr" << 2 << "US";
    QTest::newRow("DE") << "DE" << 2 << "US";
}

void TestOptionsDialog::language()
{
    QFETCH(QString, langue);
    QFETCH(int, index);
    QFETCH(QString, stored);
    QCOMPARE(m_dialog->CBLangue->count(), 3);
    QCOMPARE(m_dialog->CBLangue->itemText(1), QStringLiteral("Français"));
    m_settings.Langue = langue;
    QVERIFY(run([&](TBoiteOptions& d) { QCOMPARE(d.CBLangue->currentIndex(), index); }, true));
    QCOMPARE(m_settings.Langue, stored);
}

void TestOptionsDialog::enablingFollowsTheBoxes()
{
    m_settings.AutoCheck = 0;
    m_settings.IdleMain = false;
    m_settings.Clipboard = true;
    m_dialog->loadFrom(m_settings);
    QVERIFY(!m_dialog->seIdleMain->isEnabled());
    QVERIFY(m_dialog->seIdleclipboard->isEnabled());
    m_dialog->cbUseMaj->click();
    m_dialog->cbIdleMain->click();
    m_dialog->cbIdleClipboard->click();
    for (QRadioButton* rb : {m_dialog->rbDay, m_dialog->rbWeek, m_dialog->rbMounth})
        QVERIFY(rb->isEnabled());
    QVERIFY(m_dialog->seIdleMain->isEnabled());
    QVERIFY(!m_dialog->seIdleclipboard->isEnabled());
    // Checking the box again keeps the month chosen for "never".
    Settings back;
    m_dialog->saveTo(back);
    QCOMPARE(back.AutoCheck, 3);
}

void TestOptionsDialog::spinFields()
{
    for (QSpinBox* spin : {m_dialog->seIdleMain, m_dialog->seIdleclipboard}) {
        QCOMPARE(spin->minimum(), 1);
        QCOMPARE(spin->maximum(), 9999);
    }
    // A hand-edited value outside the range is shown and stored within it.
    m_settings.MainMin = 0;
    m_settings.ClipboardMin = 123456;
    QVERIFY(run([](TBoiteOptions&) {}, true));
    QCOMPARE(m_settings.MainMin, 1);
    QCOMPARE(m_settings.ClipboardMin, 9999);
}

void TestOptionsDialog::lastCheckHint()
{
    m_settings.LastCheck = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    const QLocale fr(QLocale::French, QLocale::France);
    m_dialog->loadFrom(m_settings, fr);
    QCOMPARE(m_dialog->GroupBox3->toolTip(), Msg(QStringLiteral("LastCheck")) + QStringLiteral("04/03/2026 ") +
                                                 fr.toString(QTime(5, 6, 7), QLocale::LongFormat));
    QVERIFY(m_dialog->GroupBox3->toolTip().contains(QLatin1String("05:06:07")));
}

void TestOptionsDialog::cancelDiscards()
{
    m_settings.Tray = false;
    m_settings.AutoCheck = 3;
    m_settings.Langue = QStringLiteral("FR");
    const Settings before = m_settings;
    QVERIFY(!run(
        [](TBoiteOptions& d) {
            d.CBTray->setChecked(true);
            d.cbUseMaj->setChecked(false);
            d.CBLangue->setCurrentIndex(0);
            d.seIdleMain->setValue(77);
        },
        false));
    QCOMPARE(m_settings.Tray, before.Tray);
    QCOMPARE(m_settings.AutoCheck, before.AutoCheck);
    QCOMPARE(m_settings.Langue, before.Langue);
    QCOMPARE(m_settings.MainMin, before.MainMin);
    // The next opening shows the settings again, not what was left in the controls.
    QVERIFY(!run([](TBoiteOptions& d) { QVERIFY(!d.CBTray->isChecked()); }, false));
}

void TestOptionsDialog::associationOfAnotherExecutable()
{
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), QStringLiteral("/other/tresorin"),
                                             QStringLiteral("Document Tresorin"), QStringLiteral("1"))
                .isEmpty());
    QVERIFY(run(
        [](TBoiteOptions& d) {
            QVERIFY(!d.CBAssocie->isChecked());
            QVERIFY(!d.assocInitial());
            d.CBAssocie->setChecked(true);
        },
        true));
    QVERIFY(association::IsAssociated(QStringLiteral("pass"), m_dialog->executablePath()));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), QStringLiteral("/other/tresorin")));
    QVERIFY(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).isEmpty());
}

void TestOptionsDialog::uncheckingRemovesTheAssociation()
{
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_dialog->executablePath(),
                                             QStringLiteral("Document Tresorin"), QStringLiteral("1"))
                .isEmpty());
    QVERIFY(run(
        [](TBoiteOptions& d) {
            QVERIFY(d.CBAssocie->isChecked());
            d.CBAssocie->setChecked(false);
        },
        true));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/mime/packages/tresorin-pass_file.xml")));
    // OK without a change writes nothing.
    QVERIFY(run([](TBoiteOptions& d) { QVERIFY(!d.CBAssocie->isChecked()); }, true));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
}

void TestOptionsDialog::cancelLeavesTheAssociation()
{
    QVERIFY(!run([](TBoiteOptions& d) { d.CBAssocie->setChecked(true); }, false));
    QVERIFY(!m_tmp->exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
    QVERIFY(!m_tmp->exists(QStringLiteral("config/mimeapps.list")));
}

void TestOptionsDialog::activationReadsTheAssociationAgain()
{
    m_dialog->readAssociation();
    QVERIFY(!m_dialog->CBAssocie->isChecked());
    m_dialog->CBAssocie->setChecked(true);
    // Meanwhile another program associated the documents with this executable.
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), m_dialog->executablePath(),
                                             QStringLiteral("Document Tresorin"), QStringLiteral("1"))
                .isEmpty());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(m_dialog.get(), &activate);
    QVERIFY(m_dialog->assocInitial());
    QVERIFY(m_dialog->CBAssocie->isChecked());
    // And removed it again: the box follows.
    QVERIFY(association::UnregisterAssociation(QStringLiteral("pass")));
    QApplication::sendEvent(m_dialog.get(), &activate);
    QVERIFY(!m_dialog->assocInitial());
    QVERIFY(!m_dialog->CBAssocie->isChecked());
}

void TestOptionsDialog::failedWritesAreShown()
{
    QVERIFY(m_tmp->writeFile(QStringLiteral("data/applications"), "not a folder"));
    m_settings.Tray = false;
    QVERIFY(run(
        [](TBoiteOptions& d) {
            d.CBAssocie->setChecked(true);
            d.CBTray->setChecked(true);
        },
        true));
    const QStringList shown = ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].startsWith(QStringLiteral("Erreur d'écriture dans la base de registre\r\n\r\n")));
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Error));
    // The settings are copied back all the same.
    QVERIFY(m_settings.Tray);
}

QTEST_MAIN(TestOptionsDialog)
#include "tst_optionsdialog.moc"
