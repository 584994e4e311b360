#include "app/gui/window/TfrmTresorin.h"

#include "app/gui/commands/AutoTypeCommand.h"
#include "app/gui/commands/ClipboardCommands.h"
#include "app/gui/commands/FileCommands.h"
#include "app/gui/commands/FtpCommands.h"
#include "app/gui/commands/FtpSync.h"
#include "app/gui/commands/GroupEntryCommands.h"
#include "app/gui/commands/HealthCommand.h"
#include "app/gui/commands/ImportExportCommands.h"
#include "app/gui/commands/OneTimeCodes.h"
#include "app/gui/commands/SearchCommand.h"
#include "app/gui/commands/WebLinks.h"
#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/CommandEnabler.h"
#include "app/gui/window/ElidedLabel.h"
#include "app/gui/window/Icons.h"
#include "app/gui/window/IdleLock.h"
#include "app/gui/window/TransferPanel.h"
#include "app/gui/window/TrayMinimiser.h"
#include "document/DocumentCommands.h"
#include "document/DocumentPath.h"
#include "document/RecentFiles.h"
#include "document/gui/DocumentPipeline.h"
#include "document/gui/StorableTextGuard.h"
#include "document/gui/TBoiteMetaPass.h"
#include "ftp/FtpParameters.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "generator/gui/TfrmGenerateur.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "lang/gui/ToolkitTranslation.h"
#include "lang/gui/WindowTranslation.h"
#include "platform/DocumentLock.h"
#include "platform/DroppedFiles.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/gui/OpenQuestions.h"
#include "settings/gui/TBoiteOptions.h"
#include "update/UpdateCheck.h"
#include "update/gui/TBoiteAPropos.h"
#include "update/gui/UpdateChecker.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScopeGuard>
#include <QSessionManager>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

bool TfrmTresorin::InstanceAnswered = false;

namespace {

// Restores the normal cursor however the scope is left.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

TfrmTresorin::TfrmTresorin(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), m_arguments(arguments), m_commandLine(ParseCommandLine(arguments))
{
    setObjectName(QStringLiteral("frmTresorin"));
    setWindowIcon(tresorinIcon(QStringLiteral("tresorin")));
    m_pipeline = std::make_unique<DocumentPipeline>(m_doc, this);

    m_view = new DocumentView(this);
    m_view->setObjectName(QStringLiteral("DocumentView"));
    setCentralWidget(m_view);

    createCommands();
    createMenus();
    createToolBar();
    createContextMenus();
    createStatusBar();
    createOtherWindows();
    connectCommands();

    // Document state at start: untitled, clean, no meta password, both headers reset.
    m_doc.modifiedChanged = [this] {
        QString text;
        if (m_doc.ReadOnlyLock)
            text = Msg(QStringLiteral("Locked"));
        else if (m_doc.Modified)
            text = Msg(QStringLiteral("Modifie"));
        m_panels[2]->setText(text);
    };
    m_doc.SetModified(false);
    m_doc.MetaPassword.clear();
    m_doc.CurrentPath.clear();
    m_doc.ReadOnlyLock = false;
    ResetDoc(m_doc.LocalDoc);
    ResetDoc(m_doc.RemoteCopy);
    m_doc.RemoteCopy.SaveDate = 0;
    m_view->setDocument(&m_doc);

    cmd(CommandId::Chercher)->setChecked(false);
    cmd(CommandId::HidePwd)->setChecked(true);

    setMinimumSize(kMinimumWidth, kMinimumHeight);
    // The menu bar lies outside the client area of the original design.
    resize(kInitialClientWidth, kInitialClientHeight + menuBar()->sizeHint().height());

    m_settingsPath = settingsFilePath();
    m_settings = Settings::load(m_settingsPath, &m_settingsTooLarge);
    applySettingsLayout();
    m_tray = new TrayMinimiser(
        this, [this] { return m_settings.Tray; }, this);
    createTrayButton();
    // The tray button may make the menu bar taller; the design's client area stays as it is.
    if (!m_settings.appliedHeight())
        resize(width(), kInitialClientHeight + menuBar()->sizeHint().height());
    if (m_settings.infoPanelStartsHidden() && !m_view->notesPanelHidden())
        m_view->BoutonCacherClick();

    checkSingleInstance();
    m_doc.setFtpEntry(-1);

    // Documents dropped from the desktop anywhere on the window (see eventFilter).
    setAcceptDrops(true);
    qApp->installEventFilter(this);
    updateTitle();
    createIdleLock();
    RestartIdleTimer();
    // A locked document asks its password through the idle lock before anything is typed.
    m_autoType = new AutoTypeCommand(m_doc, m_view, *m_idle, *m_tray, m_settings, this, this);
    connect(m_autoType, &AutoTypeCommand::statusText, this, &TfrmTresorin::setStatusText);
}

TfrmTresorin::~TfrmTresorin()
{
    qApp->removeEventFilter(this);
    // The other windows go first, as they came after this one.
    m_generator.reset();
    m_optionsBox.reset();
    m_infoBox.reset();
    m_ftpBox.reset();
    m_aboutBox.reset();
    m_metaPassBox.reset();
    // A transfer still running is stopped before the document goes.
    delete m_ftpSync;
    m_ftpSync = nullptr;
    // A password must not outlive the program that put it on the clipboard.
    m_clipboard->clearAtExit();
    if (!InstanceAnswered)
        writeSettings();
    // The views let go of the document before it is emptied.
    m_view->setDocument(nullptr);
    m_doc.clearContent();
    clearLangTable();
}

// --- construction -------------------------------------------------------------------------------

void TfrmTresorin::createCommands()
{
    m_cmds = std::make_unique<Commands>(this);
    for (int i = 0; i < Commands::kCount; ++i)
        if (CommandId(i) != CommandId::RenGrp && CommandId(i) != CommandId::RenEntree)
            addAction(cmd(CommandId(i))); // shortcuts work while the menus are closed

    // The two rename commands share their key (F2, or what a table gives them): each one takes
    // it only inside its own view, so that a key press never finds both; the focus decides.
    QAction* renameGroup = cmd(CommandId::RenGrp);
    renameGroup->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_view->arbo()->addAction(renameGroup);
    QAction* renameEntry = cmd(CommandId::RenEntree);
    renameEntry->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_view->liste()->addAction(renameEntry);
    for (int slot = 1; slot <= 4; ++slot)
        cmd(Commands::recentFile(slot))->setVisible(false);

    // The further shortcuts of the hide-passwords command; a table replaces the main one only.
    QAction* hide = cmd(CommandId::HidePwd);
    for (const QKeySequence& key :
         {QKeySequence(Qt::CTRL | Qt::Key_Asterisk), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Asterisk),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Asterisk)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, hide, [hide] {
            if (hide->isEnabled())
                hide->trigger();
        });
    }
}

QAction* TfrmTresorin::action(const QString& name) const
{
    return m_cmds->byName(name);
}

QAction* TfrmTresorin::cmd(CommandId id) const
{
    return (*m_cmds)[id];
}

void TfrmTresorin::addCommands(QWidget* to, const QList<CommandId>& items)
{
    for (const CommandId id : items) {
        if (id == CommandId::Separator) {
            if (auto* menu = qobject_cast<QMenu*>(to))
                menu->addSeparator();
            else if (auto* bar = qobject_cast<QToolBar*>(to))
                bar->addSeparator();
        } else if (id == CommandId::MruSeparator) {
            m_mruSeparator = static_cast<QMenu*>(to)->addSeparator();
        } else {
            to->addAction(cmd(id));
        }
    }
}

void TfrmTresorin::createMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto addMenu = [this, bar](const char* objectName, const QString& title, const QList<CommandId>& items) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(QLatin1String(objectName));
        menu->setToolTipsVisible(false);
        addCommands(menu, items);
        m_menus.append(menu);
        return menu;
    };
    addMenu("Fichier1", QStringLiteral("&Fichier"), Commands::fileMenu());
    addMenu("Edition1", QStringLiteral("&Edition"), Commands::editMenu());
    QMenu* groupMenu = addMenu("Groupe1", QStringLiteral("&Groupe"), Commands::groupMenu());
    QMenu* entryMenu = addMenu("Element1", QStringLiteral("E&lement"), Commands::entryMenu());
    addMenu("Outils1", QStringLiteral("&Outils"), Commands::toolsMenu());
    addMenu("Aide1", QStringLiteral("&?"), Commands::helpMenu());
    m_mruSeparator->setVisible(false);

    connect(groupMenu, &QMenu::aboutToShow, this, [this] { m_view->updateGroupMenuActions(); });
    connect(entryMenu, &QMenu::aboutToShow, this,
            [this] { m_view->updateEntryMenuActions(ClipboardCommands::clipboardHoldsEntry()); });
}

void TfrmTresorin::createToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    const auto dropButton = [this](const char* objectName, CommandId main, const QList<CommandId>& items) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QLatin1String(objectName) + QStringLiteral("Menu"));
        addCommands(menu, items);
        auto* button = new QToolButton(m_toolBar);
        button->setObjectName(QLatin1String(objectName));
        button->setDefaultAction(cmd(main));
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->setAutoRaise(true);
        m_toolBar->addWidget(button);
        return button;
    };

    m_toolBar->addAction(cmd(CommandId::Nouveau));
    m_openButton = dropButton("tbOuvrir", CommandId::Ouvrir, Commands::openDropDown());
    m_saveButton = dropButton("tbSauver", CommandId::Sauver, Commands::saveDropDown());
    addCommands(m_toolBar, Commands::toolBarAfterSave());
}

void TfrmTresorin::createContextMenus()
{
    m_treePopup = new QMenu(this);
    m_treePopup->setObjectName(QStringLiteral("PopupArbo"));
    addCommands(m_treePopup, Commands::groupMenu());

    m_listPopup = new QMenu(this);
    m_listPopup->setObjectName(QStringLiteral("PopupListe"));
    addCommands(m_listPopup, Commands::entryMenu());

    connect(m_view, &DocumentView::groupContextMenuRequested, this, [this](const QPoint& globalPos) {
        m_view->updateGroupMenuActions();
        m_treePopup->popup(globalPos);
    });
    connect(m_view, &DocumentView::entryContextMenuRequested, this, [this](const QPoint& globalPos) {
        m_view->prepareEntryContextMenu(m_view->liste()->viewport()->mapFromGlobal(globalPos));
        m_view->updateEntryMenuActions(ClipboardCommands::clipboardHoldsEntry());
        m_listPopup->popup(globalPos);
    });
}

void TfrmTresorin::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("SBar"));
    bar->setSizeGripEnabled(true);

    m_panels[0] = new ElidedLabel(bar);
    m_panels[0]->setMinimumWidth(1);
    bar->addWidget(m_panels[0], 1);

    // The second panel carries the progress of the download that follows an open.
    m_transferPanel = new TransferPanel(bar);
    m_panels[1] = nullptr;
    bar->addPermanentWidget(m_transferPanel);
    m_transferPanel->hide();

    m_panels[2] = new QLabel(bar);
    m_panels[2]->setAlignment(Qt::AlignCenter);
    m_panels[2]->setMinimumWidth(50);
    bar->addPermanentWidget(m_panels[2]);

    m_panels[3] = new QLabel(bar);
    m_panels[3]->setFixedWidth(50);
    bar->addPermanentWidget(m_panels[3]);
    // The one-time code of the selected entry, when it has one.
    m_codeLabel = new QLabel(bar);
    m_codeLabel->setObjectName(QStringLiteral("lblCode"));
    m_codeLabel->hide();
    bar->addPermanentWidget(m_codeLabel);

    connect(m_view, &DocumentView::statusHint, this, [this](const QString& hint) {
        if (!m_announced.isValid() || m_announced.hasExpired(AnnouncementHoldMs))
            setStatusText(hint);
    });
}

QLabel* TfrmTresorin::statusPanel(int index) const
{
    return index >= 0 && index < 4 ? m_panels[index] : nullptr;
}

int TfrmTresorin::AnnouncementHoldMs = 2000;

void TfrmTresorin::setStatusText(const QString& text)
{
    m_panels[0]->setText(text);
}

void TfrmTresorin::announce(const QString& text)
{
    setStatusText(text);
    m_announced.start();
}

void TfrmTresorin::createOtherWindows()
{
    // Made once for the whole run, without a parent, as top-level windows of their own; the
    // language reaches them with the main window's.
    m_metaPassBox = std::make_unique<TBoiteMetaPass>();
    m_aboutBox = std::make_unique<TBoiteAPropos>();
    m_ftpBox = std::make_unique<TBoiteFTP>();
    m_infoBox = std::make_unique<TBoiteInfo>();
    m_optionsBox = std::make_unique<TBoiteOptions>();
    m_generator = std::make_unique<TfrmGenerateur>();
}

QList<QWidget*> TfrmTresorin::otherWindows() const
{
    return {m_metaPassBox.get(), m_aboutBox.get(),   m_ftpBox.get(),
            m_infoBox.get(),     m_optionsBox.get(), m_generator.get()};
}

void TfrmTresorin::createTrayButton()
{
    if (m_settings.nobutton || m_commandLine.noButton)
        return;
    // The window system keeps the title bar to itself: the button sits at the right end of the
    // menu bar instead, sized by the settings; their offsets have no meaning in that place.
    // No object name: the button is no control of the window's design and has no table row.
    m_trayButton = new QToolButton(menuBar());
    m_trayButton->setAutoRaise(true);
    m_trayButton->setIcon(tresorinIcon(QStringLiteral("tray")));
    const int width = qBound(12, m_settings.BtnWidth, 64);
    const int height = qBound(10, m_settings.BtnHeight, 64);
    m_trayButton->setFixedSize(width + 4, height + 4);
    m_trayButton->setIconSize(QSize(width - 2, height - 2));
    menuBar()->setCornerWidget(m_trayButton, Qt::TopRightCorner);
    m_trayButton->setVisible(!m_settings.Tray);
    connect(m_trayButton, &QToolButton::clicked, m_tray, &TrayMinimiser::minimiseToTray);
}

void TfrmTresorin::createIdleLock()
{
    IdleLock::Host host;
    host.lockOn = [this] { return m_settings.IdleMain; };
    host.showStatus = [this](const QString& text) { setStatusText(text); };
    host.metaPassword = [this] { return m_doc.MetaPassword; };
    host.commitEdits = [this] { m_view->commitPendingEdits(); };
    host.showDocument = [this](bool shown) {
        m_view->setVisible(shown);
        // The one-time code goes with the document at once, not at the next second.
        m_codes->refresh();
    };
    host.askPassword = [this](QString& typed) {
        return AskMetaPassword(TBoiteMetaPass::Enter, typed, m_doc.CurrentPath);
    };
    host.newDocument = [this] { return m_files->NewDocument(); };
    host.closeQuestions = [] { CloseOpenQuestions(); };
    host.isModified = [this] { return m_doc.Modified; };
    // While the lock waits, neither a command (menus, tool bar, shortcuts) nor a view reaches the
    // document.
    host.lockWindow = [this](bool locked) { setEnabled(!locked); };
    m_idle = new IdleLock(std::move(host), this);
    m_idle->watch(this, [this] { RestartIdleTimer(); });
}

void TfrmTresorin::connectCommands()
{
    // The command classes, each given what it works on.
    m_enabler = new CommandEnabler(*m_cmds, *m_view, this);
    m_groupEntry = new GroupEntryCommands(m_view, m_doc, m_settings, *m_cmds, *m_enabler, *m_generator, this);
    // Before the window follows the pipeline: the synchronisation lets go of a document first.
    m_ftpSync = new FtpSync(m_doc, *m_pipeline, m_settings, *m_cmds, *m_groupEntry, *m_ftpBox, *m_infoBox,
                            *m_transferPanel, this);
    m_clipboard = new ClipboardCommands(m_view, m_doc, *m_cmds, this);
    m_codes = new OneTimeCodes(m_view, *m_enabler, m_clipboard, m_codeLabel, this);
    m_health = new HealthCommand(m_view, m_doc, this, this);
    m_search = new SearchCommand(m_view, m_doc, *m_cmds, *m_enabler, this);
    m_webLinks = new WebLinks(m_view, cmd(CommandId::OpenURL), this);
    m_files = new FileCommands(m_doc, *m_pipeline, *m_view, m_settings, *m_cmds, *m_enabler, *m_search, *m_clipboard,
                               *m_groupEntry, *m_ftpSync, this);
    m_ftp = new FtpCommands(m_doc, *m_pipeline, *m_view, m_settings, *m_cmds, *m_files, *m_ftpSync, *m_ftpBox,
                            *m_infoBox, this);
    auto* transfer = new ImportExportCommands(this);
    m_updates = new UpdateChecker(m_settings, cmd(CommandId::MajWeb), this);

    // File
    connect(cmd(CommandId::Nouveau), &QAction::triggered, m_files, &FileCommands::NewDocument);
    connect(cmd(CommandId::Ouvrir), &QAction::triggered, m_files, &FileCommands::OpenCommand);
    connect(cmd(CommandId::OuvrirFTP), &QAction::triggered, m_ftp, &FtpCommands::ActionOuvrirFTPExecute);
    connect(cmd(CommandId::Fusionner), &QAction::triggered, m_files, &FileCommands::MergeCommand);
    connect(cmd(CommandId::Importer), &QAction::triggered, transfer, &ImportExportCommands::ImportCommand);
    connect(cmd(CommandId::Exporter), &QAction::triggered, transfer, &ImportExportCommands::ExportCommand);
    connect(cmd(CommandId::Sauver), &QAction::triggered, m_files, &FileCommands::SaveCommand);
    connect(cmd(CommandId::SauverSous), &QAction::triggered, m_files, &FileCommands::SaveDocumentAs);
    connect(cmd(CommandId::SauverFTP), &QAction::triggered, m_ftp, &FtpCommands::ActionSauverFTPExecute);
    for (int slot = 1; slot <= RecentFiles::kSlotCount; ++slot)
        connect(cmd(Commands::recentFile(slot)), &QAction::triggered, m_files,
                [this, slot] { m_files->openRecentFile(slot); });
    connect(cmd(CommandId::Quitter), &QAction::triggered, this, &QWidget::close);
    connect(m_files, &FileCommands::titleChanged, this, &TfrmTresorin::updateTitle);
    connect(m_files, &FileCommands::ftpModeChanged, this, &TfrmTresorin::showFtpMode);
    connect(m_files, &FileCommands::recentFilesChanged, this, &TfrmTresorin::refreshRecentFileCommands);
    connect(m_ftp, &FtpCommands::ftpModeChanged, this, &TfrmTresorin::showFtpMode);
    connect(m_ftp, &FtpCommands::titleShown, this, &QWidget::setWindowTitle);
    connect(m_ftpSync, &FtpSync::statusText, this, &TfrmTresorin::setStatusText);
    connect(m_transferPanel, &TransferPanel::stopRequested, m_ftpSync, &FtpSync::bnFtpStopClick);

    // Edit
    connect(cmd(CommandId::ChangeMeta), &QAction::triggered, this, [this] {
        m_view->cellEditing()->edExit();
        m_pipeline->ChangeMetaPassword();
    });
    connect(cmd(CommandId::Chercher), &QAction::triggered, m_search, &SearchCommand::ActionChercherExecute);

    // Group and entry
    connect(cmd(CommandId::NewGrp), &QAction::triggered, m_groupEntry, &GroupEntryCommands::NewGroup);
    connect(cmd(CommandId::RenGrp), &QAction::triggered, m_groupEntry, &GroupEntryCommands::Rename);
    connect(cmd(CommandId::DelGrp), &QAction::triggered, m_groupEntry, &GroupEntryCommands::Delete);
    connect(cmd(CommandId::NewEntree), &QAction::triggered, m_groupEntry, &GroupEntryCommands::NewEntry);
    connect(cmd(CommandId::NewGenerateur), &QAction::triggered, m_groupEntry,
            &GroupEntryCommands::NewWithGeneratedPassword);
    connect(cmd(CommandId::RenEntree), &QAction::triggered, m_groupEntry, &GroupEntryCommands::Rename);
    connect(cmd(CommandId::DelEntree), &QAction::triggered, m_groupEntry, &GroupEntryCommands::Delete);
    connect(cmd(CommandId::Copier), &QAction::triggered, m_clipboard, &ClipboardCommands::Copy);
    connect(cmd(CommandId::Couper), &QAction::triggered, m_clipboard, &ClipboardCommands::Cut);
    connect(cmd(CommandId::Coller), &QAction::triggered, m_clipboard, &ClipboardCommands::Paste);
    connect(cmd(CommandId::CopierCode), &QAction::triggered, m_codes, &OneTimeCodes::copyCode);
    connect(cmd(CommandId::CopierLogin), &QAction::triggered, m_clipboard, &ClipboardCommands::CopyLogin);
    connect(m_clipboard, &ClipboardCommands::copied, this, &TfrmTresorin::announce);
    connect(cmd(CommandId::SetFTP), &QAction::triggered, m_ftp, &FtpCommands::ActionSetFTPExecute);
    connect(cmd(CommandId::OpenURL), &QAction::triggered, m_webLinks, &WebLinks::OpenWebSite);
    connect(cmd(CommandId::AutoType), &QAction::triggered, this, [this] { m_autoType->ActionAutoTypeExecute(); });
    connect(m_groupEntry, &GroupEntryCommands::generatedPasswordReceived, this, &TfrmTresorin::RestartIdleTimer);
    // The FTP entry's login, password and web address carry the document's FTP settings.
    connect(m_view->cellEditing(), &CellEditing::cellCommitted, this, [this](TFeuille* entry, int column) {
        if (entry && entry->IsFtpEntry && column != int(EntryField::Name))
            ApplyFTPEntry(m_doc.LocalDoc, *entry);
    });
    // A character a document cannot hold was refused in one of the fields: say why.
    connect(StorableTextGuard::instance(), &StorableTextGuard::refused, this, &TfrmTresorin::setStatusText);

    // Tools and help
    connect(cmd(CommandId::Generateur), &QAction::triggered, this, [this] {
        // The user may copy the password by hand; OK keeps the choices.
        m_generator->execFor(m_settings);
        RestartIdleTimer();
    });
    connect(cmd(CommandId::Sante), &QAction::triggered, m_health, &HealthCommand::run);
    connect(cmd(CommandId::SynchroFTP), &QAction::triggered, m_ftp, &FtpCommands::ActionSynchroFTPExecute);
    connect(cmd(CommandId::InfoFich), &QAction::triggered, m_ftp, &FtpCommands::ActionInfoFichExecute);
    connect(cmd(CommandId::Option), &QAction::triggered, this, &TfrmTresorin::ActionOptionsExecute);
    connect(cmd(CommandId::About), &QAction::triggered, this, &TfrmTresorin::ActionAboutExecute);
    connect(cmd(CommandId::Support), &QAction::triggered, this, [this] { m_aboutBox->SupportLink(); });
    connect(cmd(CommandId::MajWeb), &QAction::triggered, this, [this] { ActionMajWebExecute(cmd(CommandId::MajWeb)); });

    m_view->setCommands(m_cmds.get());

    // The pipeline's steps: the views, the frame, the synchronisation and the recent files follow.
    DocumentPipeline* p = m_pipeline.get();
    connect(p, &DocumentPipeline::viewsSuspended, this, [this](bool suspended) {
        if (suspended)
            m_view->suspendRepaint();
        else
            m_view->resumeRepaint();
    });
    connect(p, &DocumentPipeline::contentAboutToBeReplaced, this, [this](bool append) {
        // Notes typed into an entry that stays (a merge keeps the document) are kept.
        if (append)
            m_view->commitNotes();
        m_view->documentAboutToReload();
        if (!append)
            m_clipboard->releaseCopies();
    });
    connect(p, &DocumentPipeline::contentReplaced, this, [this] { m_view->documentReloaded(); });
    connect(p, &DocumentPipeline::showFirstGroup, this, [this] { m_view->selectFirstGroupExpanded(); });
    connect(p, &DocumentPipeline::titleChanged, this, &TfrmTresorin::updateTitle);
    connect(p, &DocumentPipeline::statusText, this, &TfrmTresorin::setStatusText);
    connect(p, &DocumentPipeline::documentCommandsEnabled, this, &TfrmTresorin::enableDocumentCommands);
    connect(p, &DocumentPipeline::ftpModeChanged, this, &TfrmTresorin::showFtpMode);
    connect(p, &DocumentPipeline::syncCheckChanged, cmd(CommandId::SynchroFTP), &QAction::setChecked);
    connect(p, &DocumentPipeline::syncDownloadRequested, m_ftpSync, &FtpSync::StartSyncDownload);
    connect(p, &DocumentPipeline::syncUploadRequested, m_ftpSync, &FtpSync::UploadSyncCopy);
    connect(p, &DocumentPipeline::recentFileRead, m_files, &FileCommands::recordRecentFile);
    connect(p, &DocumentPipeline::documentOpening, m_files, &FileCommands::addToRecentDocuments);
}

// --- settings ------------------------------------------------------------------------------------

void TfrmTresorin::applySettingsLayout()
{
    refreshRecentFileCommands();

    const std::optional<int> x = m_settings.appliedX();
    const std::optional<int> y = m_settings.appliedY();
    if (x || y)
        move(x.value_or(pos().x()), y.value_or(pos().y()));
    const std::optional<int> h = m_settings.appliedHeight();
    const std::optional<int> w = m_settings.appliedWidth();
    if (h || w)
        resize(w.value_or(width()), h.value_or(height()));
    if (const auto tree = m_settings.appliedTreeWidth())
        m_view->setTreeWidth(*tree);
    if (const auto info = m_settings.appliedInfoHeight())
        m_view->setNotesPanelHeight(*info);
    for (int column = 1; column <= 3; ++column)
        if (const auto width = m_settings.appliedColumnWidth(column))
            m_view->setColumnWidth(column, *width);
    m_view->restoreSortCode(m_settings.appliedSortCode(4));

    cmd(CommandId::HidePwd)->setChecked(m_settings.HidePass);
    m_view->setPasswordsHidden(m_settings.HidePass);
    m_view->setAutoHide(m_settings.AutoHide);
    m_view->setAutoCopy(m_settings.AutoCopy);
    m_clipboard->setClearing(m_settings.Clipboard, m_settings.ClipboardMin);
}

void TfrmTresorin::writeSettings()
{
    // Layout values are written whatever their flags say; the flags decide about the next start.
    // A maximised or minimised window gives its normal place: normalGeometry() is the client
    // area, moved here by the frame's offset so that X and Y stay the frame's corner, as move()
    // takes it at the next start.
    QRect frame(pos(), size());
    if (isMaximized() || isMinimized()) {
        frame = normalGeometry();
        frame.translate(pos() - geometry().topLeft());
    }
    m_settings.X = frame.x();
    m_settings.Y = frame.y();
    m_settings.W = frame.width();
    m_settings.H = frame.height();
    m_settings.Arbo = m_view->treeWidth();
    m_settings.Info = m_view->notesPanelHeight();
    m_settings.Hide = m_view->notesPanelHeight() <= 0;
    m_settings.C1 = m_view->columnWidth(1);
    m_settings.C2 = m_view->columnWidth(2);
    m_settings.C3 = m_view->columnWidth(3);
    m_settings.Tri = m_view->sortCode();
    m_settings.AutoHide = m_view->autoHide();

    // A file too large to be read is left as it is, as the user was told at start.
    if (m_settingsTooLarge)
        return;
    QString error;
    if (!m_settings.save(m_settingsPath, &error))
        ShowMsg(error, MsgKind::Error, MsgOK);
}

void TfrmTresorin::refreshRecentFileCommands()
{
    for (int slot = 1; slot <= RecentFiles::kSlotCount; ++slot) {
        QAction* a = cmd(Commands::recentFile(slot));
        const QString& path = m_settings.MRU[static_cast<size_t>(slot - 1)];
        if (!path.isEmpty())
            a->setText(RecentFiles::caption(slot, path));
        a->setVisible(RecentFiles::slotVisible(m_settings.MRU, m_settings.Use, slot));
    }
    m_mruSeparator->setVisible(RecentFiles::separatorVisible(m_settings.MRU, m_settings.Use));
}

// --- single instance -----------------------------------------------------------------------------

void TfrmTresorin::checkSingleInstance()
{
    // Another start asks the window of a document this process holds to come forward.
    connect(SingleInstance::documentRequests(), &SingleInstance::showDocumentRequested, this,
            [this](const QString& path) {
                if ((m_documentLock && m_documentLock->documentPath() == path) ||
                    (m_startReservation && m_startReservation->documentPath() == path) || m_files->reserved(path))
                    wakeUp();
            });
    // Started with a document while another instance runs: that one opens it.
    const QString document = m_commandLine.documentPath.isEmpty()
                                 ? QString()
                                 : CanonicalDocumentPath(m_commandLine.documentPath, QDir::currentPath());
    if (m_settings.OneInstance && claimInstance(document))
        return;
    // Whatever the option: a document another window of the user has open comes forward there,
    // and this start ends. One that does not answer is said when the document would be opened.
    if (!document.isEmpty() && QFileInfo(document).isFile() &&
        SingleInstance::reserveDocument(DocumentLock::keyFor(document), m_startReservation) ==
            SingleInstance::Reservation::ShownElsewhere) {
        InstanceAnswered = true;
        m_endRequested = true;
    }
}

bool TfrmTresorin::claimInstance(const QString& document)
{
    InstanceAnswered = false;
    m_instance = new SingleInstance(this);
    connect(m_instance, &SingleInstance::wakeUpRequested, this, &TfrmTresorin::wakeUp);
    // After the answer has gone: the other start ends at once, while the save question waits here.
    // The window comes forward, then the save question, then the document is opened.
    connect(
        m_instance, &SingleInstance::openRequested, this,
        [this](const QString& path) {
            wakeUp();
            m_files->openFromAnotherStart(path);
        },
        Qt::QueuedConnection);
    switch (m_instance->claim(5000, document)) {
    case SingleInstance::Claim::First:
        return false;
    case SingleInstance::Claim::OtherAnswered:
        InstanceAnswered = true;
        break;
    case SingleInstance::Claim::OtherSilent:
        break;
    }
    m_endRequested = true;
    return true;
}

void TfrmTresorin::wakeUp()
{
    if (m_tray->active()) {
        m_tray->EvenAppliRestore();
        return;
    }
    // A minimised window comes back as it was before, maximised or not.
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// --- activation ----------------------------------------------------------------------------------

bool TfrmTresorin::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowDeactivate:
        m_backFromOwnWindow = false;
        break;
    case QEvent::WindowActivate:
        // After the activation itself is done (and the window left has been told): the first one
        // may open dialogs.
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Back from the box that said the language could not be loaded: that is no new
                // activation, or the same box would come back at once, again and again.
                const bool back = m_backFromOwnWindow;
                const bool skip = back && m_firstActivation && m_languageFailed;
                m_backFromOwnWindow = false;
                // A lock left waiting asks its password again, but not when the activation only
                // comes back from its own prompt, just cancelled.
                if (m_idle && m_idle->waiting()) {
                    if (!back)
                        m_idle->resumePrompt();
                    return;
                }
                if (!skip)
                    FormActivate();
            },
            Qt::QueuedConnection);
        break;
    case QEvent::StatusTip: {
        // Hints go to the first panel, which keeps the last one.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (!tip.isEmpty())
            setStatusText(tip);
        return true;
    }
    default:
        break;
    }
    return QMainWindow::event(event);
}

void TfrmTresorin::FormActivate()
{
    // Dialogs opened from here activate the window again when they close.
    if (m_inActivation)
        return;
    m_inActivation = true;
    const auto done = qScopeGuard([this] { m_inActivation = false; });

    if (m_firstActivation && !ApplyLanguage())
        return; // tried again at the next activation
    // Said once, in the language just applied: the program goes on with its defaults.
    if (m_firstActivation && m_settingsTooLarge)
        ShowMsg(FillPlaceholders(Msg(QStringLiteral("IniTropGros")), {QDir::toNativeSeparators(m_settingsPath)}),
                MsgKind::Warning, MsgOK);
    // The global shortcut, once its messages can be said in the language of the tables.
    if (m_firstActivation)
        m_autoType->applyShortcut(false);
    if (m_firstActivation && !m_commandLine.documentPath.isEmpty())
        m_files->openCommandLineDocument(m_commandLine.documentPath);
    // The document opened holds its own lock now; the start's reservation goes.
    if (m_firstActivation)
        m_startReservation.reset();
    if (updateCheckDue())
        ActionMajWebExecute(nullptr);
    m_firstActivation = false;
}

bool TfrmTresorin::updateCheckDue() const
{
    return UpdateCheckDue(m_settings.AutoCheck, m_settings.LastCheck, QDateTime::currentDateTime());
}

void TfrmTresorin::ActionMajWebExecute(QObject* sender)
{
    m_updates->ActionMajWebExecute(sender == nullptr);
}

// --- options and about ---------------------------------------------------------------------------

void TfrmTresorin::ActionOptionsExecute()
{
    const QString previousLangue = m_settings.Langue;
    if (m_optionsBox->execFor(m_settings))
        applyOptions(previousLangue);
}

void TfrmTresorin::applyOptions(const QString& previousLangue)
{
    m_view->setAutoHide(m_settings.AutoHide);
    m_view->setAutoCopy(m_settings.AutoCopy);
    if (m_trayButton)
        m_trayButton->setVisible(!m_settings.Tray);
    refreshRecentFileCommands();
    m_clipboard->setClearing(m_settings.Clipboard, m_settings.ClipboardMin);
    m_autoType->applyShortcut(true);
    if (m_settings.Langue != previousLangue)
        ApplyLanguage();
    RestartIdleTimer();
}

void TfrmTresorin::ActionAboutExecute()
{
    TBoiteAPropos* about = m_aboutBox.get();
    // One connection, however often the box is shown.
    connect(about, &TBoiteAPropos::readOnlyLockReleaseRequested, this, &TfrmTresorin::releaseReadOnlyLock,
            Qt::UniqueConnection);
    about->execModal();
    RestartIdleTimer();
}

void TfrmTresorin::releaseReadOnlyLock()
{
    if (m_doc.ReadOnlyLock)
        SetReadOnlyLock(false);
}

void TfrmTresorin::RestartIdleTimer()
{
    if (m_idle)
        m_idle->restart(m_settings.IdleMain, m_settings.MainMin);
}

bool TfrmTresorin::ApplyLanguage()
{
    QString code;
    QString error;
    bool loaded = false;
    {
        BusyCursor busy;
        clearLangTable();
        code = ChooseLanguage(m_arguments, m_settings.Langue);
        loaded = LoadLangTable(code, &error);
        if (loaded)
            applyLanguageTexts(code);
    }
    m_languageFailed = !loaded;
    if (!loaded)
        ShowMsg(error, MsgKind::Error, MsgOK);
    return loaded;
}

void TfrmTresorin::applyLanguageTexts(const QString& code)
{
    ApplyToolkitLanguage(code);
    ApplyLangTable(this);
    for (QWidget* window : otherWindows())
        ApplyLangTable(window);
    m_view->labelInfo()->adjustSize();

    m_aboutBox->setDonationLanguage(code);
    if (m_trayButton)
        m_trayButton->setToolTip(Msg(QStringLiteral("ButtonTray")));

    // Each menu takes the title the table gives its first command; a table without one leaves
    // the menu its title.
    for (QMenu* menu : std::as_const(m_menus)) {
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            const QString title = commandMenuTitle(a);
            if (!title.isEmpty())
                menu->setTitle(title);
            break;
        }
    }
    refreshRecentFileCommands();
    // The table gave the open and save commands their usual keys.
    if (m_toolBarFtp)
        swapFtpShortcuts();
    // The table names the window "untitled"; the open document's name is shown again.
    updateTitle();
    // A hint shown before the table was applied (the pointer on the list at start) is in the
    // built-in language: it is shown again in this one.
    m_view->refreshHintUnderPointer();
    // The empty tree names the command that makes the first group, as its menu shows it.
    QAction* newGroup = cmd(CommandId::NewGrp);
    QString command = commandMenuTitle(newGroup).remove(QLatin1Char('&')) + QStringLiteral(" \u203a ") +
                      newGroup->text().remove(QLatin1Char('&'));
    if (!newGroup->shortcut().isEmpty())
        command += QStringLiteral(" (%1)").arg(newGroup->shortcut().toString(QKeySequence::NativeText));
    m_view->arbo()->setEmptyHint(FillPlaceholders(Msg(QStringLiteral("ArboVide")), {command}));
}

// --- document ------------------------------------------------------------------------------------

void TfrmTresorin::SetModified(bool value)
{
    m_doc.SetModified(value);
}

void TfrmTresorin::updateTitle()
{
    setWindowTitle(DocumentTitle(m_doc.CurrentPath, m_doc.FtpMode, Msg(QStringLiteral("Sans titre"))));
    followDocumentLock();
}

void TfrmTresorin::followDocumentLock()
{
    // The title follows CurrentPath, and so does the lock: a file of this computer shown here.
    const QString key =
        m_doc.FtpMode || m_doc.CurrentPath.isEmpty() ? QString() : DocumentLock::keyFor(m_doc.CurrentPath);
    if (m_documentLock && m_documentLock->documentPath() == key)
        return;
    m_documentLock = key.isEmpty() ? nullptr : SingleInstance::holdDocument(key);
}

void TfrmTresorin::enableDocumentCommands()
{
    m_enabler->refresh(EnablingMoment::DocumentShown);
}

void TfrmTresorin::SetReadOnlyLock(bool value)
{
    m_groupEntry->SetReadOnlyLock(value);
}

void TfrmTresorin::showFtpMode(bool ftpMode)
{
    if (ftpMode == m_toolBarFtp)
        return;
    m_toolBarFtp = ftpMode;
    m_openButton->setDefaultAction(cmd(ftpMode ? CommandId::OuvrirFTP : CommandId::Ouvrir));
    m_saveButton->setDefaultAction(cmd(ftpMode ? CommandId::SauverFTP : CommandId::Sauver));
    swapFtpShortcuts();
}

void TfrmTresorin::swapFtpShortcuts()
{
    const auto swap = [this](CommandId a, CommandId b) {
        QAction* first = cmd(a);
        QAction* second = cmd(b);
        const QKeySequence key = first->shortcut();
        first->setShortcut(second->shortcut());
        second->setShortcut(key);
    };
    swap(CommandId::Ouvrir, CommandId::OuvrirFTP);
    swap(CommandId::Sauver, CommandId::SauverFTP);
}

// --- closing and keys ----------------------------------------------------------------------------

bool TfrmTresorin::queryClose()
{
    // A locked document is closed only by whoever knows its meta password.
    if (m_idle && m_idle->waiting() && !m_idle->resumePrompt())
        return false;
    return m_files->mayClose();
}

bool TfrmTresorin::NewDocument()
{
    return m_files->NewDocument();
}

bool TfrmTresorin::SaveCommand()
{
    return m_files->SaveCommand();
}

bool TfrmTresorin::SaveDocumentAs()
{
    return m_files->SaveDocumentAs();
}

QString TfrmTresorin::openDialogFolder() const
{
    return m_files->openDialogFolder();
}

QString TfrmTresorin::openDialogFileName() const
{
    return m_files->openDialogFileName();
}

void TfrmTresorin::closeEvent(QCloseEvent* event)
{
    if (!m_closeConfirmed && !queryClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

bool TfrmTresorin::requestExit()
{
    // A second request while the first one's question is on screen changes nothing.
    if (m_exiting)
        return false;
    m_exiting = true;
    const auto done = qScopeGuard([this] { m_exiting = false; });
    const bool shown = isVisible();
    if (!close())
        return false;
    // Hidden in the tray, the window's close alone would not end the program.
    if (!shown)
        QCoreApplication::quit();
    return true;
}

void TfrmTresorin::handleSessionEnd()
{
    connect(platform::TerminationSignals::install(), &platform::TerminationSignals::terminationRequested, this,
            [this] { requestExit(); });
#ifndef QT_NO_SESSIONMANAGER
    // The desktop ends its session: the close query now, while a person can answer it.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!manager.allowsInteraction())
            return;
        const bool closing = queryClose();
        manager.release();
        if (closing)
            m_closeConfirmed = true;
        else
            manager.cancel();
    });
#endif
}

bool TfrmTresorin::eventFilter(QObject* watched, QEvent* event)
{
    // Another window of the program hands the activation straight back to this one.
    if (event->type() == QEvent::WindowDeactivate && watched != this && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow() && QApplication::activeWindow() == this)
        m_backFromOwnWindow = true;
    if ((event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop) &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
        // Files from the desktop are taken anywhere in the window, before any view sees them.
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path =
            drop->mimeData()->hasUrls() ? platform::FirstDroppedFile(drop->mimeData()->urls()) : QString();
        if (!path.isEmpty()) {
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop)
                // Brought to the front, then the save question, then the file opened.
                QMetaObject::invokeMethod(
                    this,
                    [this, path] {
                        wakeUp();
                        m_files->openDroppedFile(path);
                    },
                    Qt::QueuedConnection);
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        // Seen once per key: by the widget that receives it first.
        QWidget* focus = QApplication::focusWidget();
        const bool first = widget == focus || (!focus && widget == this);
        if (first && widget->window() == this && keyPreview(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfrmTresorin::keyPreview(QKeyEvent* event)
{
    // The editors would copy and cut by themselves, unwatched: the commands do it for them, so
    // that the text copied is cleared after the delay like any other.
    // Every key that copies or cuts in them (Ctrl+C, Ctrl+Insert, Shift+Delete...) is taken, even
    // while the command is disabled: the editor's own copy would leave the text unwatched.
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == m_view->cellEditing()->editor() || focus == m_view->memo())) {
        const QKeySequence key(event->keyCombination());
        const struct
        {
            CommandId id;
            QKeySequence::StandardKey standard;
        } commands[] = {{CommandId::Copier, QKeySequence::Copy}, {CommandId::Couper, QKeySequence::Cut}};
        for (const auto& c : commands) {
            QAction* command = cmd(c.id);
            if (command->shortcut() == key || event->matches(c.standard)) {
                if (command->isEnabled())
                    command->trigger();
                return true;
            }
        }
    }
    return false;
}
