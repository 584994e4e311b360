// The main window's look: its commands, menus and tool bar, the language applied to all seven
// windows and switched without a restart, the translator's export, the layout restored from the
// settings, the recent-file commands and the tray button.

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "document/gui/TBoiteMetaPass.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "generator/gui/TfrmGenerateur.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "lang/gui/WindowTranslation.h"
#include "platform/Win1252.h"
#include "platform/gui/ModalSeam.h"
#include "settings/IniFile.h"
#include "settings/gui/TBoiteOptions.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"
#include "update/gui/TBoiteAPropos.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using testsupport::WindowFixture;

class TestMainWindowLanguage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menusInOrder();
    void commandTable_data();
    void commandTable();
    void toolBarAndDropDowns();
    void statusBarPanels();
    void languageSwitchWithoutRestart();
    void hintUnderThePointerFollowsTheLanguage();
    void toolkitTextsFollowTheLanguage();
    void emptyTreeSaysHowToStart();
    void everyControlHasAnAccessibleName();
    void otherWindowsFollowTheLanguage();
    void failedLanguageIsRetried();
    void failedLanguageIsNotRetriedByItsOwnBox();
    void exportOfTheMainWindow();
    void layoutFromSettings();
    void unsortedWhenColumnsAreNotRestored();
    void normalPlaceWrittenWhenMaximised();
    void recentFileCommands();
    void trayButton_data();
    void trayButton();

private:
    // A window before its first activation; the settings file is written even when empty.
    TfrmTresorin* makeWindow(const QByteArray& ini, const QStringList& args = {})
    {
        return m_fx->makeWindow(ini.isNull() ? QByteArray("") : ini, args, WindowFixture::NotActivated);
    }
    QStringList menuLayout(QMenu* menu) const;

    std::unique_ptr<WindowFixture> m_fx;
};

void TestMainWindowLanguage::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestMainWindowLanguage::cleanup()
{
    m_fx.reset();
}

QStringList TestMainWindowLanguage::menuLayout(QMenu* menu) const
{
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return items;
}

void TestMainWindowLanguage::menusInOrder()
{
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n");
    QStringList titles;
    QList<QMenu*> menus;
    for (QAction* a : w->menuBar()->actions()) {
        titles << a->text();
        menus << a->menu();
    }
    QCOMPARE(titles, (QStringList{"&Fichier", "&Edition", "&Groupe", "E&lement", "&Outils", "&?"}));
    // The separator before the recent files stands only while slot 1 holds a path.
    QCOMPARE(
        menuLayout(menus[0]),
        (QStringList{"ActionNouveau", "-", "ActionOuvrir", "ActionOuvrirFTP", "-", "ActionFusionner", "ActionImporter",
                     "ActionExporter", "-", "ActionSauver", "ActionSauverSous", "ActionSauverFTP", "-", "ActionMRU1",
                     "ActionMRU2", "ActionMRU3", "ActionMRU4", "-", "ActionQuitter"}));
    QCOMPARE(menuLayout(menus[1]), (QStringList{"ActionChangeMeta", "-", "ActionChercher"}));
    QCOMPARE(menuLayout(menus[2]), (QStringList{"ActionNewGrp", "ActionRenGrp", "ActionDelGrp"}));
    QCOMPARE(menuLayout(menus[3]),
             (QStringList{"ActionNewEntree", "actNewGenerateur", "ActionRenEntree", "ActionDelEntree", "-",
                          "ActionCouper", "ActionCopier", "ActionCopierLogin", "ActionCopierCode", "ActionColler", "-",
                          "ActionSetFTP", "-", "ActionOpenURL", "ActionAutoType"}));
    QCOMPARE(menuLayout(menus[4]), (QStringList{"ActionHidePwd", "actGenerateur", "ActionSante", "-",
                                                "ActionSynchroFTP", "ActionInfoFich", "-", "ActionOption"}));
    QCOMPARE(menuLayout(menus[5]), (QStringList{"ActionMajWeb", "actionSupport", "-", "ActionAbout"}));
    QCOMPARE(menuLayout(w->treePopup()), (QStringList{"ActionNewGrp", "ActionRenGrp", "ActionDelGrp"}));
    QCOMPARE(menuLayout(w->listPopup()),
             (QStringList{"ActionNewEntree", "actNewGenerateur", "ActionRenEntree", "ActionDelEntree", "-",
                          "ActionCouper", "ActionCopier", "ActionCopierLogin", "ActionCopierCode", "ActionColler", "-",
                          "ActionSetFTP", "-", "ActionOpenURL", "ActionAutoType"}));

    // Every command carries its category; menu items are the commands themselves.
    for (QAction* a : w->commands().all())
        QVERIFY2(!a->property(kCategoryProperty).toString().isEmpty(), qPrintable(a->objectName()));
    QCOMPARE(w->action(QStringLiteral("ActionSetFTP"))->property(kCategoryProperty).toString(),
             QStringLiteral("Element"));
    QCOMPARE(w->action(QStringLiteral("actionSupport"))->property(kCategoryProperty).toString(), QStringLiteral("?"));
}

void TestMainWindowLanguage::commandTable_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shortcut"); // portable text of the key sequence
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::newRow("ActionNouveau") << "Nouveau"
                                   << "Ctrl+N" << true << false;
    QTest::newRow("ActionOuvrir") << "Ouvrir"
                                  << "Ctrl+O" << true << false;
    QTest::newRow("ActionOuvrirFTP") << "Ouvrir sur FTP"
                                     << "Shift+Ctrl+O" << true << false;
    QTest::newRow("ActionFusionner") << "Fusionner"
                                     << "" << true << false;
    QTest::newRow("ActionImporter") << "Importer..."
                                    << "" << true << false;
    QTest::newRow("ActionExporter") << "Exporter..."
                                    << "" << true << false;
    QTest::newRow("ActionSauver") << "Enregistrer"
                                  << "Ctrl+S" << true << false;
    QTest::newRow("ActionSauverSous") << "Enregistrer sous..."
                                      << "" << true << false;
    QTest::newRow("ActionSauverFTP") << "Enregistrer sur FTP..."
                                     << "Shift+Ctrl+S" << true << false;
    QTest::newRow("ActionQuitter") << "Quitter"
                                   << "Alt+F4" << true << false;
    QTest::newRow("ActionChangeMeta") << "Méta Mot de passe"
                                      << "" << false << false;
    QTest::newRow("ActionChercher") << "Rechercher"
                                    << "F3" << false << true;
    QTest::newRow("ActionNewGrp") << "Nouveau"
                                  << "" << true << false;
    QTest::newRow("ActionRenGrp") << "Renommer"
                                  << "F2" << false << false;
    QTest::newRow("ActionDelGrp") << "Supprimer"
                                  << "" << false << false;
    QTest::newRow("ActionNewEntree") << "Nouveau"
                                     << "Ins" << false << false;
    QTest::newRow("actNewGenerateur") << "Nouveau avec génération"
                                      << "" << false << false;
    QTest::newRow("ActionRenEntree") << "Renommer"
                                     << "F2" << false << false;
    QTest::newRow("ActionDelEntree") << "Supprimer"
                                     << "" << false << false;
    QTest::newRow("ActionCouper") << "Couper"
                                  << "Ctrl+X" << false << false;
    QTest::newRow("ActionCopier") << "Copier"
                                  << "Ctrl+C" << false << false;
    QTest::newRow("ActionColler") << "Coller"
                                  << "Ctrl+V" << false << false;
    QTest::newRow("ActionSetFTP") << "Définir site de sauvegarde FTP"
                                  << "" << false << true;
    QTest::newRow("ActionOpenURL") << "Ouvrir le site Web"
                                   << "" << false << false;
    QTest::newRow("ActionAutoType") << "Saisie automatique"
                                    << "" << false << false;
    QTest::newRow("ActionHidePwd") << "Masquer les mots de passe"
                                   << "F12" << true << true;
    QTest::newRow("actGenerateur") << "Générer un mot de passe"
                                   << "F11" << true << false;
    QTest::newRow("ActionSynchroFTP") << "Synchroniser avec un FTP"
                                      << "" << true << true;
    QTest::newRow("ActionInfoFich") << "Informations sur le fichier..."
                                    << "" << true << false;
    QTest::newRow("ActionOption") << "Options..."
                                  << "Alt+P" << true << false;
    QTest::newRow("ActionMajWeb") << "Vérifier les mises à jour"
                                  << "" << true << false;
    QTest::newRow("actionSupport") << "Contacter le support"
                                   << "" << true << false;
    QTest::newRow("ActionAbout") << "A propos..."
                                 << "" << true << false;
}

void TestMainWindowLanguage::commandTable()
{
    QFETCH(QString, caption);
    QFETCH(QString, shortcut);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    // The window's own texts, before any table is applied.
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n");
    QAction* a = w->action(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->shortcut(), QKeySequence::fromString(shortcut, QKeySequence::PortableText));
    QCOMPARE(a->isEnabled(), enabled);
    QCOMPARE(a->isCheckable(), checkable);
}

void TestMainWindowLanguage::toolBarAndDropDowns()
{
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n");
    QStringList items;
    for (QAction* a : w->toolBar()->actions()) {
        if (a->isSeparator())
            items << QStringLiteral("-");
        else if (auto* button = qobject_cast<QToolButton*>(w->toolBar()->widgetForAction(a)); button && button->menu())
            items << button->defaultAction()->objectName() + QStringLiteral("+");
        else
            items << a->objectName();
    }
    QCOMPARE(items,
             (QStringList{"ActionNouveau", "ActionOuvrir+", "ActionSauver+", "ActionFusionner", "-", "ActionChangeMeta",
                          "-", "ActionChercher", "actGenerateur", "ActionHidePwd", "-", "ActionNewGrp", "-",
                          "ActionNewEntree", "ActionCopier", "ActionOpenURL", "-", "ActionOption", "ActionAbout"}));
    QCOMPARE(menuLayout(w->openToolButton()->menu()),
             (QStringList{"ActionOuvrir", "-", "ActionOuvrirFTP", "-", "ActionMRU1", "ActionMRU2", "ActionMRU3",
                          "ActionMRU4"}));
    QCOMPARE(menuLayout(w->saveToolButton()->menu()),
             (QStringList{"ActionSauver", "ActionSauverSous", "-", "ActionSauverFTP"}));
}

void TestMainWindowLanguage::statusBarPanels()
{
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->statusBar()->objectName(), QStringLiteral("SBar"));
    QVERIFY(w->statusPanel(0)->width() > w->statusPanel(2)->width());
    QVERIFY(w->statusPanel(2)->width() >= 50);
    QCOMPARE(w->statusPanel(3)->width(), 50);
    QCOMPARE(w->statusPanel(2)->alignment(), Qt::AlignCenter);
    // The FTP progress panel takes no room while no download runs.
    auto* stop = w->findChild<QToolButton*>(QStringLiteral("bnFtpStop"));
    QVERIFY(stop);
    QVERIFY(!stop->isVisibleTo(w));
    QCOMPARE(w->minimumSize(), QSize(500, 250));
    // The client area of 696 by 349 lies below the menu bar.
    QCOMPARE(w->width(), 696);
    QCOMPARE(w->height() - w->menuBar()->height(), 349);
}

void TestMainWindowLanguage::languageSwitchWithoutRestart()
{
    auto* w = makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    w->FormActivate();
    QAction* openFtp = w->action(QStringLiteral("ActionOuvrirFTP"));
    QAction* merge = w->action(QStringLiteral("ActionFusionner"));
    QAction* newEntry = w->action(QStringLiteral("ActionNewEntree"));
    QCOMPARE(w->menuBar()->actions().first()->text(), QStringLiteral("&File"));
    QCOMPARE(w->menuBar()->actions().at(3)->text(), QStringLiteral("&Item"));
    QCOMPARE(openFtp->text(), QStringLiteral("Open on FTP Server..."));
    QCOMPARE(openFtp->toolTip(), QStringLiteral("Open a file stored on a FTP Server"));
    QCOMPARE(openFtp->shortcut(), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_O));
    QCOMPARE(newEntry->shortcut(), QKeySequence(Qt::Key_Insert));
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Untitled"));

    // A shortcut the table does not give goes away with the next table.
    merge->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    newEntry->setShortcut(QKeySequence());
    w->settings().Langue = QStringLiteral("FR");
    QVERIFY(w->ApplyLanguage());
    QCOMPARE(w->menuBar()->actions().first()->text(), QStringLiteral("&Fichier"));
    QCOMPARE(w->menuBar()->actions().at(3)->text(), QStringLiteral("E&lement"));
    QCOMPARE(w->menuBar()->actions().at(5)->text(), QStringLiteral("&?"));
    QCOMPARE(openFtp->text(), QStringLiteral("Ouvrir sur FTP..."));
    QCOMPARE(openFtp->toolTip(), QStringLiteral("Ouvrir un fichier depuis un serveur FTP"));
    QVERIFY(merge->shortcut().isEmpty());
    QCOMPARE(newEntry->shortcut(), QKeySequence(Qt::Key_Insert));
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - Sans titre"));
    QCOMPARE(w->trayButton()->toolTip(), QStringLiteral("Réduire en petite icone"));

    // The title keeps naming an open document.
    w->doc().CurrentPath = m_fx->tmp().filePath(QStringLiteral("codes.pass"));
    w->settings().Langue = QStringLiteral("US");
    QVERIFY(w->ApplyLanguage());
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - codes.pass"));
    QCOMPARE(w->menuBar()->actions().at(4)->text(), QStringLiteral("&Tools"));
    QCOMPARE(w->action(QStringLiteral("actionSupport"))->text(), QStringLiteral("Contact support"));
    QCOMPARE(w->trayButton()->toolTip(), QStringLiteral("Minimize to system tray"));
    // The further shortcuts of Hide passwords survive the tables.
    QCOMPARE(w->action(QStringLiteral("ActionHidePwd"))->shortcut(), QKeySequence(Qt::Key_F12));
    QCOMPARE(w->findChildren<QShortcut*>().size(), 3);
}

// The pointer rests on the list when the window first shows: its hint, given before the language
// is applied, is shown again in that language without waiting for the pointer to move.
void TestMainWindowLanguage::hintUnderThePointerFollowsTheLanguage()
{
    auto* w = makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(w->view()->liste(), &enter);
    QVERIFY2(w->statusPanel(0)->text().startsWith(QStringLiteral("Double-clic")),
             qPrintable(w->statusPanel(0)->text()));
    w->FormActivate();
    QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("Double click to edit item. Change field with Tab or Enter."));
}

// The toolkit's own buttons speak the program's language: French in the French window, English
// again after a switch to English.
void TestMainWindowLanguage::toolkitTextsFollowTheLanguage()
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_fr.qm")))
        QSKIP("The toolkit's French catalogue (qt6-translations-l10n) is not installed");
    auto* w = makeWindow("[Main]\r\nLangue=FR\r\nAutoCheck=0\r\n");
    w->FormActivate();
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Annuler"));
    w->settings().Langue = QStringLiteral("US");
    QVERIFY(w->ApplyLanguage());
    QDialogButtonBox english(QDialogButtonBox::Cancel);
    QCOMPARE(english.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Cancel"));
}

// A new document has no group, so New entry is disabled: the empty tree names the command that
// makes the first group, in the current language.
void TestMainWindowLanguage::emptyTreeSaysHowToStart()
{
    auto* w = makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    w->FormActivate();
    GroupTreeView* tree = w->view()->arbo();
    QCOMPARE(tree->emptyHint(), QStringLiteral("No group yet: Group \u203a New makes the first one."));
    w->resize(700, 400);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const auto inked = [tree] {
        const QImage image = tree->viewport()->grab().toImage();
        const QRgb base = image.pixel(image.width() - 2, image.height() - 2);
        int count = 0;
        for (int y = 0; y < 40 && y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) != base ? 1 : 0;
        return count;
    };
    QVERIFY(inked() > 20);
    w->settings().Langue = QStringLiteral("FR");
    QVERIFY(w->ApplyLanguage());
    QCOMPARE(tree->emptyHint(), QStringLiteral("Aucun groupe encore : Groupe \u203a Nouveau cr\u00e9e le premier."));
}

// A screen reader can name every control that takes the focus, in all seven windows, in the
// language of the table; the views carry their hint as description.
void TestMainWindowLanguage::everyControlHasAnAccessibleName()
{
    auto* w = makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n");
    w->FormActivate();
    QList<QWidget*> windows{w};
    windows << m_fx->dialogs();
    QStringList unnamed;
    for (QWidget* window : windows)
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (control->focusPolicy() == Qt::NoFocus || qobject_cast<QAbstractSpinBox*>(control->parentWidget()))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
            if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << window->objectName() + QLatin1Char('.') + control->objectName() + QLatin1Char(' ') +
                               QLatin1String(control->metaObject()->className());
        }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));

    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(w->view()->arbo());
    const QString english = tree->text(QAccessible::Name);
    QVERIFY(!english.isEmpty());
    QCOMPARE(tree->text(QAccessible::Description),
             w->view()->arbo()->statusTip().isEmpty() ? w->view()->arbo()->toolTip() : w->view()->arbo()->statusTip());
    QAccessibleInterface* pass = QAccessible::queryAccessibleInterface(m_fx->dialog<TBoiteMetaPass>()->EditConfirm);
    QCOMPARE(pass->text(QAccessible::Name), QStringLiteral("Re-enter password :"));
    w->settings().Langue = QStringLiteral("FR");
    QVERIFY(w->ApplyLanguage());
    QVERIFY(tree->text(QAccessible::Name) != english);
}

void TestMainWindowLanguage::otherWindowsFollowTheLanguage()
{
    auto* w = makeWindow("[Main]\r\nLangue=FR\r\nAutoCheck=0\r\n");
    auto* about = m_fx->dialog<TBoiteAPropos>();
    w->FormActivate();
    QCOMPARE(m_fx->dialog<TBoiteMetaPass>()->Label2->text(), QStringLiteral("Confirmation :"));
    QCOMPARE(about->donationImageName(), QStringLiteral("PAYPAL_FR"));
    QVERIFY(about->donationLink().contains(QLatin1String("lang=FR")));
    QVERIFY(!about->donationLink().contains(QLatin1String("[LANG]")));
    QCOMPARE(m_fx->dialog<TBoiteOptions>()->CBTray->text(), QStringLiteral("Réduire en petite icone"));

    w->settings().Langue = QStringLiteral("US");
    QVERIFY(w->ApplyLanguage());
    QCOMPARE(m_fx->dialog<TBoiteMetaPass>()->Label2->text(), QStringLiteral("Re-enter password :"));
    QCOMPARE(m_fx->dialog<TBoiteMetaPass>()->CancelBtn->text(), QStringLiteral("Cancel"));
    QCOMPARE(about->donationImageName(), QStringLiteral("PAYPAL_EN"));
    QVERIFY(about->donationLink().contains(QLatin1String("lang=US")));
    QCOMPARE(about->Onglet->tabText(1), QStringLiteral("History"));
    QCOMPARE(about->windowTitle(), langLookup(QStringLiteral("BoiteAPropos")));
    auto* ftp = m_fx->dialog<TBoiteFTP>();
    QCOMPARE(ftp->cbPassif->text(), QStringLiteral("Passive mode"));
    QCOMPARE(ftp->GB->title(), ExtractField(1, langLookup(QStringLiteral("BoiteFTP.GB"))));
    auto* info = m_fx->dialog<TBoiteInfo>();
    QCOMPARE(info->ListeInfo->headerItem()->text(2), QStringLiteral("FTP file"));
    QCOMPARE(info->btnNo->text(), QStringLiteral("No"));
    auto* options = m_fx->dialog<TBoiteOptions>();
    QCOMPARE(options->rbMounth->text(), QStringLiteral("Every month"));
    QCOMPARE(options->windowTitle(), QStringLiteral("Options"));
    QCOMPARE(m_fx->dialog<TfrmGenerateur>()->windowTitle(), langLookup(QStringLiteral("frmGenerateur")));
}

void TestMainWindowLanguage::failedLanguageIsRetried()
{
    auto* w = makeWindow("[Main]\r\nLangue=DE\r\nAutoCheck=0\r\n");
    const QString caption = w->action(QStringLiteral("ActionOuvrir"))->text();
    w->FormActivate();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QCOMPARE(ModalSeam::shown().last().kind, int(MsgKind::Error));
    QVERIFY(w->firstActivation());
    QCOMPARE(w->action(QStringLiteral("ActionOuvrir"))->text(), caption);
    QCOMPARE(w->menuBar()->actions().first()->text(), QStringLiteral("&Fichier"));

    w->settings().Langue = QStringLiteral("US");
    w->FormActivate();
    QVERIFY(!w->firstActivation());
    QCOMPARE(w->action(QStringLiteral("ActionOuvrir"))->text(), QStringLiteral("Open"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
}

void TestMainWindowLanguage::failedLanguageIsNotRetriedByItsOwnBox()
{
    auto* w = makeWindow("[Main]\r\nLangue=DE\r\nAutoCheck=0\r\n");
    w->show();
    QWidget box; // stands for the error box, a window of the program
    QApplication::setActiveWindow(w);
    QTRY_COMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QVERIFY(w->firstActivation());

    // The box takes the focus and gives it back when it closes: no new attempt, no new box.
    QApplication::setActiveWindow(&box);
    QApplication::setActiveWindow(w);
    QTest::qWait(20);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
    QVERIFY(w->firstActivation());

    // Back from another program: the first activation is done now.
    w->settings().Langue = QStringLiteral("US");
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(w);
    QTRY_VERIFY(!w->firstActivation());
    QCOMPARE(w->action(QStringLiteral("ActionOuvrir"))->text(), QStringLiteral("Open"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 1);
}

void TestMainWindowLanguage::exportOfTheMainWindow()
{
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n");
    const QString path = m_fx->tmp().filePath(QStringLiteral("Fr_Main.txt"));
    QVERIFY(ExportLangTable(w, path));
    const QByteArray bytes = m_fx->tmp().readFile(QStringLiteral("Fr_Main.txt"));
    QVERIFY(bytes.contains("\r\n"));
    const QStringList lines = win1252::toUnicode(bytes).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.first(), QStringLiteral("frmTresorin=Tresorin - Sans titre"));
    QVERIFY(lines.contains(QStringLiteral("frmTresorin.ActionQuitter=Quitter~Fichier~~Alt+F4")));
    QVERIFY(lines.contains(QStringLiteral(
        "frmTresorin.ActionFusionner=Fusionner~Fichier~Ajouter à ce document les groupes et les entrées d'un autre "
        "document")));
    QVERIFY(lines.contains(QStringLiteral("frmTresorin.ActionOuvrirFTP=Ouvrir sur FTP~Fichier~Ouvrir un fichier "
                                          "depuis un serveur FTP~Maj+Ctrl+O")));
    QVERIFY(lines.contains(QStringLiteral("frmTresorin.ActionNewEntree=Nouveau~Element~Créer une nouvelle entrée "
                                          "dans le groupe sélectionné~Ins")));
    // Only the window's designed controls and commands are written, all of them keys of the
    // built-in tables; buttons and menu items bound to a command have no line of their own.
    QVERIFY(LoadLangTable(QStringLiteral("FR")));
    w->setStatusText(QStringLiteral("a status text"));
    w->statusPanel(2)->setText(QStringLiteral("Modifié"));
    QVERIFY(ExportLangTable(w, path));
    const QStringList again = win1252::toUnicode(m_fx->tmp().readFile(QStringLiteral("Fr_Main.txt")))
                                  .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QVERIFY(again.size() > 30);
    for (const QString& line : again) {
        const QString key = line.left(line.indexOf(QLatin1Char('=')));
        QVERIFY2(!langLookup(key).isEmpty(), qPrintable(line));
    }
    clearLangTable();

    // Exported, then applied as a table, the window keeps its texts.
    w->action(QStringLiteral("ActionOuvrir"))->setText(QStringLiteral("changed"));
    LangTable::instance().setText(win1252::toUnicode(bytes), QStringLiteral("XX"));
    ApplyLangTable(w);
    QCOMPARE(w->action(QStringLiteral("ActionOuvrir"))->text(), QStringLiteral("Ouvrir"));
    QCOMPARE(w->action(QStringLiteral("ActionQuitter"))->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
    clearLangTable();
}

void TestMainWindowLanguage::layoutFromSettings()
{
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n[Pos]\r\nPos=1\r\nX=100\r\nY=2147483647\r\nSize=1\r\nW=640\r\n"
                         "H=0\r\nPanel=1\r\nArbo=250\r\nInfo=90\r\nCol=1\r\nC1=150\r\nC2=80\r\nC3=-5\r\nTri=-2\r\n");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->pos().x(), 100);
    QCOMPARE(w->width(), 640);
    QVERIFY(w->height() > 300); // H=0 is ignored
    DocumentView* view = w->view();
    QCOMPARE(view->treeWidth(), 250);
    QCOMPARE(view->notesPanelHeight(), 90);
    QCOMPARE(view->columnWidth(1), 150);
    QCOMPARE(view->columnWidth(2), 80);
    QCOMPARE(view->columnWidth(3), 100);
    QCOMPARE(view->sortCode(), -2);
    QVERIFY(!view->notesPanelHidden());

    // The panel collapsed at exit starts collapsed.
    view->BoutonCacherClick();
    w->move(120, 130);
    m_fx->destroyWindow();
    IniFile ini(m_fx->iniPath());
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("X"), 0), 120);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("Y"), 0), 130);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("W"), 0), 640);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("Arbo"), 0), 250);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("C1"), 0), 150);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("Tri"), 0), -2);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("Hide"), 0), 1);

    m_fx->makeWindow(QByteArray(), {}, WindowFixture::NotActivated);
    QVERIFY(m_fx->window()->view()->notesPanelHidden());
    QCOMPARE(m_fx->window()->pos(), QPoint(120, 130));
}

void TestMainWindowLanguage::normalPlaceWrittenWhenMaximised()
{
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n[Pos]\r\nPos=1\r\nX=60\r\nY=70\r\nSize=1\r\nW=600\r\nH=300\r\n");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->pos(), QPoint(60, 70));
    w->showMaximized();
    QTRY_VERIFY(w->isMaximized());
    QTRY_VERIFY(w->width() > 600);
    m_fx->destroyWindow();

    // The next start puts the window back where it was before it was maximised.
    m_fx->makeWindow(QByteArray(), {}, WindowFixture::NotActivated);
    m_fx->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_fx->window()));
    QCOMPARE(m_fx->window()->pos(), QPoint(60, 70));
    QCOMPARE(m_fx->window()->size(), QSize(600, 300));
}

void TestMainWindowLanguage::unsortedWhenColumnsAreNotRestored()
{
    auto* w = makeWindow("[Main]\r\nAutoCheck=0\r\n[Pos]\r\nCol=0\r\nTri=3\r\nC1=300\r\nAutoHide=1\r\n");
    QCOMPARE(w->view()->sortCode(), 0);
    QCOMPARE(w->view()->columnWidth(1), 120);
    QVERIFY(w->view()->notesPanelHidden());
    QVERIFY(w->view()->autoHide());
    m_fx->destroyWindow();
    IniFile ini(m_fx->iniPath());
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("Tri"), 9), 0);
    QCOMPARE(ini.readInteger(QStringLiteral("Pos"), QStringLiteral("C1"), 0), 120);
}

void TestMainWindowLanguage::recentFileCommands()
{
    auto* w =
        makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n[MRU]\r\nUse=1\r\n1=/docs/a.pass\r\n3=/docs/c.pass\r\n");
    QMenu* file = w->menuBar()->actions().first()->menu();
    const QList<QAction*> items = file->actions();
    const int first = items.indexOf(w->action(QStringLiteral("ActionMRU1")));
    QVERIFY(items[first - 1]->isSeparator());
    QVERIFY(items[first - 1]->isVisible());
    QCOMPARE(w->action(QStringLiteral("ActionMRU1"))->text(), QStringLiteral("&1 - /docs/a.pass"));
    QVERIFY(w->action(QStringLiteral("ActionMRU1"))->isVisible());
    QVERIFY(!w->action(QStringLiteral("ActionMRU2"))->isVisible());
    QVERIFY(w->action(QStringLiteral("ActionMRU3"))->isVisible());

    // The table resets the captions; the paths come back.
    w->FormActivate();
    QCOMPARE(w->action(QStringLiteral("ActionMRU3"))->text(), QStringLiteral("&3 - /docs/c.pass"));
    QCOMPARE(w->action(QStringLiteral("ActionMRU2"))->text(), QStringLiteral("&2 -"));

    w = makeWindow("[Main]\r\nAutoCheck=0\r\n[MRU]\r\nUse=0\r\n1=/docs/a.pass\r\n");
    QVERIFY(!w->action(QStringLiteral("ActionMRU1"))->isVisible());
    const QList<QAction*> items2 = w->menuBar()->actions().first()->menu()->actions();
    QVERIFY(!items2[items2.indexOf(w->action(QStringLiteral("ActionMRU1"))) - 1]->isVisible());
}

void TestMainWindowLanguage::trayButton_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("shown");
    QTest::newRow("default") << QByteArray() << QStringList() << true << true;
    QTest::newRow("tray on") << QByteArray("[Pos]\r\nTray=1\r\n") << QStringList() << true << false;
    QTest::newRow("nobutton setting") << QByteArray("[main]\r\nnobutton=1\r\n") << QStringList() << false << false;
    QTest::newRow("nobutton switch") << QByteArray() << QStringList{"/NOBUTTON"} << false << false;
    QTest::newRow("-nobutton switch") << QByteArray() << QStringList{"-nobutton"} << false << false;
}

void TestMainWindowLanguage::trayButton()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, args);
    QFETCH(bool, exists);
    QFETCH(bool, shown);
    auto* w = makeWindow(ini, args);
    QCOMPARE(w->trayButton() != nullptr, exists);
    if (exists) {
        QCOMPARE(w->menuBar()->cornerWidget(Qt::TopRightCorner), w->trayButton());
        QCOMPARE(!w->trayButton()->isHidden(), shown);
    }
}

QTEST_MAIN(TestMainWindowLanguage)
#include "tst_mainwindow_language.moc"
