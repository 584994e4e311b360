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
#include "support/gui/WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

using testsupport::WindowFixture;

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

    TBoiteOptions* dialog() const { return m_fx->dialog<TBoiteOptions>(); }

    std::unique_ptr<WindowFixture> m_fx;
    Settings m_settings;
};

void TestOptionsDialog::initTestCase()
{
    TBoiteOptions::RefreshDesktopCaches = false;
}

void TestOptionsDialog::init()
{
    m_fx = std::make_unique<WindowFixture>(WindowFixture::ConfigHome | WindowFixture::SystemData);
    m_fx->makeDialogs(WindowFixture::OptionsDialog);
    m_settings = Settings();
}

void TestOptionsDialog::cleanup()
{
    m_fx.reset();
}

bool TestOptionsDialog::run(const std::function<void(TBoiteOptions&)>& change, bool ok)
{
    const QMetaObject::Connection c =
        connect(dialog(), &TBoiteOptions::opened, this, [this, &change] { change(*dialog()); });
    ModalSeam::pushAnswer(ok);
    const bool accepted = dialog()->execFor(m_settings);
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
        dialog()->loadFrom(s);
        QCOMPARE(dialog()->CBAutoHide->isChecked(), on);
        QCOMPARE(dialog()->CBTray->isChecked(), on);
        QCOMPARE(dialog()->CBMRU->isChecked(), on);
        QCOMPARE(dialog()->CBHidePwd->isChecked(), on);
        QCOMPARE(dialog()->CBAutoSync->isChecked(), on);
        QCOMPARE(dialog()->cbAutoCopy->isChecked(), on);
        QCOMPARE(dialog()->CBPosWin->isChecked(), on);
        QCOMPARE(dialog()->CBTailleWin->isChecked(), on);
        QCOMPARE(dialog()->CBCol->isChecked(), on);
        QCOMPARE(dialog()->CBPanel->isChecked(), on);
        QCOMPARE(dialog()->cbOneInstance->isChecked(), on);
        QCOMPARE(dialog()->cbIdleMain->isChecked(), on);
        QCOMPARE(dialog()->cbIdleClipboard->isChecked(), on);
        QCOMPARE(dialog()->seIdleMain->value(), s.MainMin);
        QCOMPARE(dialog()->seIdleclipboard->value(), s.ClipboardMin);

        Settings back;
        back.AutoHide = back.Tray = back.Use = back.HidePass = back.AutoSync = back.AutoCopy = !on;
        back.Pos = back.Size = back.Col = back.Panel = back.OneInstance = back.IdleMain = back.Clipboard = !on;
        back.Langue = QStringLiteral("x");
        dialog()->saveTo(back);
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
    QCOMPARE(dialog()->CBLangue->count(), 3);
    QCOMPARE(dialog()->CBLangue->itemText(1), QStringLiteral("Français"));
    m_settings.Langue = langue;
    QVERIFY(run([&](TBoiteOptions& d) { QCOMPARE(d.CBLangue->currentIndex(), index); }, true));
    QCOMPARE(m_settings.Langue, stored);
}

void TestOptionsDialog::enablingFollowsTheBoxes()
{
    m_settings.AutoCheck = 0;
    m_settings.IdleMain = false;
    m_settings.Clipboard = true;
    dialog()->loadFrom(m_settings);
    QVERIFY(!dialog()->seIdleMain->isEnabled());
    QVERIFY(dialog()->seIdleclipboard->isEnabled());
    dialog()->cbUseMaj->click();
    dialog()->cbIdleMain->click();
    dialog()->cbIdleClipboard->click();
    for (QRadioButton* rb : {dialog()->rbDay, dialog()->rbWeek, dialog()->rbMounth})
        QVERIFY(rb->isEnabled());
    QVERIFY(dialog()->seIdleMain->isEnabled());
    QVERIFY(!dialog()->seIdleclipboard->isEnabled());
    // Checking the box again keeps the month chosen for "never".
    Settings back;
    dialog()->saveTo(back);
    QCOMPARE(back.AutoCheck, 3);
}

void TestOptionsDialog::spinFields()
{
    for (QSpinBox* spin : {dialog()->seIdleMain, dialog()->seIdleclipboard}) {
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
    dialog()->loadFrom(m_settings, fr);
    QCOMPARE(dialog()->GroupBox3->toolTip(), Msg(QStringLiteral("LastCheck")) + QStringLiteral("04/03/2026 ") +
                                                 fr.toString(QTime(5, 6, 7), QLocale::LongFormat));
    QVERIFY(dialog()->GroupBox3->toolTip().contains(QLatin1String("05:06:07")));
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
    QVERIFY(association::IsAssociated(QStringLiteral("pass"), dialog()->executablePath()));
    QVERIFY(!association::IsAssociated(QStringLiteral("pass"), QStringLiteral("/other/tresorin")));
    QVERIFY(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).isEmpty());
}

void TestOptionsDialog::uncheckingRemovesTheAssociation()
{
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), dialog()->executablePath(),
                                             QStringLiteral("Document Tresorin"), QStringLiteral("1"))
                .isEmpty());
    QVERIFY(run(
        [](TBoiteOptions& d) {
            QVERIFY(d.CBAssocie->isChecked());
            d.CBAssocie->setChecked(false);
        },
        true));
    QVERIFY(!m_fx->tmp().exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
    QVERIFY(!m_fx->tmp().exists(QStringLiteral("data/mime/packages/tresorin-pass_file.xml")));
    // OK without a change writes nothing.
    QVERIFY(run([](TBoiteOptions& d) { QVERIFY(!d.CBAssocie->isChecked()); }, true));
    QVERIFY(!m_fx->tmp().exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
}

void TestOptionsDialog::cancelLeavesTheAssociation()
{
    QVERIFY(!run([](TBoiteOptions& d) { d.CBAssocie->setChecked(true); }, false));
    QVERIFY(!m_fx->tmp().exists(QStringLiteral("data/applications/tresorin-documents.desktop")));
    QVERIFY(!m_fx->tmp().exists(QStringLiteral("config/mimeapps.list")));
}

void TestOptionsDialog::activationReadsTheAssociationAgain()
{
    dialog()->readAssociation();
    QVERIFY(!dialog()->CBAssocie->isChecked());
    dialog()->CBAssocie->setChecked(true);
    // Meanwhile another program associated the documents with this executable.
    QVERIFY(association::RegisterAssociation(QStringLiteral("pass"), dialog()->executablePath(),
                                             QStringLiteral("Document Tresorin"), QStringLiteral("1"))
                .isEmpty());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(dialog(), &activate);
    QVERIFY(dialog()->assocInitial());
    QVERIFY(dialog()->CBAssocie->isChecked());
    // And removed it again: the box follows.
    QVERIFY(association::UnregisterAssociation(QStringLiteral("pass")));
    QApplication::sendEvent(dialog(), &activate);
    QVERIFY(!dialog()->assocInitial());
    QVERIFY(!dialog()->CBAssocie->isChecked());
}

void TestOptionsDialog::failedWritesAreShown()
{
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("data/applications"), "not a folder"));
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
