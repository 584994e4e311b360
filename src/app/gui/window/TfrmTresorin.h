#pragma once

#include "app/core/CommandLine.h"
#include "app/gui/window/Commands.h"
#include "document/DocumentModel.h"
#include "settings/Settings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QStringList>

#include <memory>

class AutoTypeCommand;
class ClipboardCommands;
class CommandEnabler;
class DocumentLock;
class HealthCommand;
class OneTimeCodes;
class DocumentPipeline;
class DocumentView;
class FileCommands;
class FtpCommands;
class GroupEntryCommands;
class FtpSync;
class IdleLock;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QWidget;
class SearchCommand;
class SingleInstance;
class TBoiteAPropos;
class TBoiteFTP;
class TBoiteInfo;
class TBoiteMetaPass;
class TBoiteOptions;
class TfrmGenerateur;
class TransferPanel;
class TrayMinimiser;
class UpdateChecker;
class WebLinks;

// The main window. It lives for the whole run and owns the open document, the settings read at
// start and written back at exit, the six other windows, and the commands of the program (one
// named QAction each, shown in the menus, the tool bar and the context menus). What a command does
// is the work of a class of app/gui/commands, wired in connectCommands(); the window keeps the
// frame: menus, tool bar, status bar, tray, activation, language, and the close query.
class TfrmTresorin : public QMainWindow
{
    Q_OBJECT
public:
    // Set when another running instance answered the wake-up request: the settings file is then
    // left alone at exit.
    static bool InstanceAnswered;

    static constexpr int kInitialClientWidth = 696;
    static constexpr int kInitialClientHeight = 349;
    static constexpr int kMinimumWidth = 500;
    static constexpr int kMinimumHeight = 250;

    // `arguments` are the command-line parameters without the program path. The settings come
    // from settingsFilePath().
    explicit TfrmTresorin(const QStringList& arguments = QStringList(), QWidget* parent = nullptr);
    ~TfrmTresorin() override;

    // True when the single-instance check found another instance: the process ends at once.
    bool endRequested() const { return m_endRequested; }
    // The single-instance lock, when the setting asks for one.
    SingleInstance* singleInstance() const { return m_instance; }

    DocumentState& doc() { return m_doc; }
    const DocumentState& doc() const { return m_doc; }
    Settings& settings() { return m_settings; }
    DocumentView* view() const { return m_view; }
    DocumentPipeline& pipeline() { return *m_pipeline; }
    // The synchronisation with the FTP copy.
    FtpSync* ftpSync() const { return m_ftpSync; }
    // Open and Save on FTP, the synchronisation parameters, the FTP entry mark, the properties.
    FtpCommands* ftpCommands() const { return m_ftp; }
    // The six other windows, made once with this one: the meta password dialog, the about box,
    // the FTP dialog, the file properties dialog, the options dialog and the generator.
    TBoiteMetaPass& metaPassDialog() const { return *m_metaPassBox; }
    TBoiteAPropos& aboutBox() const { return *m_aboutBox; }
    TBoiteFTP& ftpDialog() const { return *m_ftpBox; }
    TBoiteInfo& infoDialog() const { return *m_infoBox; }
    TBoiteOptions& optionsDialog() const { return *m_optionsBox; }
    TfrmGenerateur& generatorWindow() const { return *m_generator; }
    QList<QWidget*> otherWindows() const;
    // A command by its object name, as the language tables and the tests name it. The program's
    // own code reaches commands by id: commands()[CommandId::Sauver].
    QAction* action(const QString& name) const;
    const Commands& commands() const { return *m_cmds; }
    QLabel* statusPanel(int index) const;
    QToolButton* trayButton() const { return m_trayButton; }
    QToolBar* toolBar() const { return m_toolBar; }
    QMenu* treePopup() const { return m_treePopup; }
    QMenu* listPopup() const { return m_listPopup; }
    QToolButton* openToolButton() const { return m_openButton; }
    QToolButton* saveToolButton() const { return m_saveButton; }
    const QStringList& arguments() const { return m_arguments; }
    const CommandLine& commandLine() const { return m_commandLine; }
    bool firstActivation() const { return m_firstActivation; }

    // --- activation and language -------------------------------------------------------------
    // Runs at every activation of the window; the first one also applies the language and opens
    // the document named on the command line.
    void FormActivate();
    // Chooses, loads and applies the language to the seven windows. False when the table could
    // not be loaded (the error was shown; the windows keep their texts).
    bool ApplyLanguage();
    // The automatic update check is due now.
    bool updateCheckDue() const;
    // Starts an update check: `sender` none is the automatic check, which shows nothing unless a
    // newer version exists; the command passes itself.
    void ActionMajWebExecute(QObject* sender);
    UpdateChecker* updateChecker() const { return m_updates; }

    // --- options, about ------------------------------------------------------------------------
    // The options dialog; on OK applies at once what acts at once.
    void ActionOptionsExecute();
    // The about box, then the idle timer starts again.
    void ActionAboutExecute();
    // Activity: the idle lock's timer runs again for MainMin minutes while the idle lock is on.
    void RestartIdleTimer();
    IdleLock* idleLock() const { return m_idle; }
    // Minimising to the tray and back (the tray button, the Tray setting, the wake-up request).
    TrayMinimiser* tray() const { return m_tray; }
    // Open web site, the link pointer and the single click on an address.
    WebLinks* webLinks() const { return m_webLinks; }

    // --- document --------------------------------------------------------------------------
    void SetModified(bool value);
    // "Tresorin - " and the file name, or the untitled text, with " (FTP)" in FTP mode.
    void updateTitle();
    // New, Open, the recent files, a drop, Save, Save as, Merge and the save question.
    FileCommands* fileCommands() const { return m_files; }
    // The file commands' Save as, Save and New (FileCommands).
    bool SaveDocumentAs();
    bool SaveCommand();
    bool NewDocument();
    // The close query of Exit: a lock left waiting asks its meta password first, then a modified
    // document gets the save question. False when either was cancelled.
    bool queryClose();
    // An end asked from outside (a signal, the desktop session's end) goes the way of Exit: the
    // close query where a person can answer, then the window closes, which writes the settings and
    // clears the clipboard, and the program ends. False when the user kept it running.
    bool requestExit();
    // Hands SIGTERM, SIGINT, SIGHUP and the session manager's requests to requestExit().
    void handleSessionEnd();
    // Enabling after a document was read: new group and change meta password unless the
    // read-only lock is on, search always.
    void enableDocumentCommands();
    // The enabling of the commands, decided in one place.
    CommandEnabler* commandEnabler() const { return m_enabler; }
    // The read-only lock (GroupEntryCommands): every command that would change or save the
    // document is disabled.
    void SetReadOnlyLock(bool value);
    // New group, Rename, Delete, New entry, New with generated password, the drag-and-drop moves
    // and the read-only lock.
    GroupEntryCommands* groupEntryCommands() const { return m_groupEntry; }
    // The one-time code of the selected entry.
    OneTimeCodes* oneTimeCodes() const { return m_codes; }
    HealthCommand* healthCommand() const { return m_health; }
    // Copy, Cut, Paste and the clearing of the clipboard.
    ClipboardCommands* clipboardCommands() const { return m_clipboard; }
    // The search filter (ActionChercher).
    SearchCommand* searchCommand() const { return m_search; }
    // Auto-type: its global shortcut and Item > Auto-type.
    AutoTypeCommand* autoType() const { return m_autoType; }

    // The open dialog's memory: last folder and file name chosen.
    QString openDialogFolder() const;
    QString openDialogFileName() const;

    // The recent-file captions "&1 - path" ... for the slots that hold a path.
    void refreshRecentFileCommands();

    // Bring the window forward (wake-up request of a later instance).
    void wakeUp();

    // The tool bar follows FtpMode: its Open and Save buttons run the FTP commands, whose keys
    // are exchanged with those of the local commands, while the document is in FTP mode.
    void showFtpMode(bool ftpMode);

    // Text of the first status-bar panel.
    void setStatusText(const QString& text);
    // What a command just did ("Password copied, cleared in 5 minutes", "3 items imported..."):
    // shown in the first panel and kept there for AnnouncementHoldMs against the hints of the
    // views, such as the one the list shows when the pointer comes back to it as a dialog closes.
    void announce(const QString& text);
    static int AnnouncementHoldMs;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Key presses anywhere in the window come here first; true consumes the key.
    virtual bool keyPreview(QKeyEvent* event);

private:
    void createCommands();
    void createMenus();
    QAction* cmd(CommandId id) const;
    // Adds the commands of a layout to a menu or tool bar, separators included.
    void addCommands(QWidget* to, const QList<CommandId>& items);
    void createToolBar();
    void createContextMenus();
    void createStatusBar();
    void createTrayButton();
    void createIdleLock();
    void applySettingsLayout();
    void writeSettings();
    void checkSingleInstance();
    // With the one-instance option: true when another instance was found (this one ends).
    bool claimInstance(const QString& document);
    // The lock of the document shown follows CurrentPath: no other window of the user opens it.
    void followDocumentLock();
    void applyLanguageTexts(const QString& code);
    void connectCommands();
    void swapFtpShortcuts();
    void applyOptions(const QString& previousLangue);
    void releaseReadOnlyLock();
    void createOtherWindows();

    DocumentState m_doc;
    Settings m_settings;
    QString m_settingsPath;
    QStringList m_arguments;
    CommandLine m_commandLine;
    std::unique_ptr<DocumentPipeline> m_pipeline;
    std::unique_ptr<TBoiteMetaPass> m_metaPassBox;
    std::unique_ptr<TBoiteAPropos> m_aboutBox;
    std::unique_ptr<TBoiteFTP> m_ftpBox;
    std::unique_ptr<TBoiteInfo> m_infoBox;
    std::unique_ptr<TBoiteOptions> m_optionsBox;
    std::unique_ptr<TfrmGenerateur> m_generator;
    CommandEnabler* m_enabler = nullptr;
    GroupEntryCommands* m_groupEntry = nullptr;
    FtpSync* m_ftpSync = nullptr;
    FileCommands* m_files = nullptr;
    FtpCommands* m_ftp = nullptr;
    ClipboardCommands* m_clipboard = nullptr;
    QElapsedTimer m_announced; // since the last announce()
    SearchCommand* m_search = nullptr;
    IdleLock* m_idle = nullptr;
    TrayMinimiser* m_tray = nullptr;
    WebLinks* m_webLinks = nullptr;
    OneTimeCodes* m_codes = nullptr;
    HealthCommand* m_health = nullptr;
    AutoTypeCommand* m_autoType = nullptr;
    QLabel* m_codeLabel = nullptr;

    DocumentView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolButton* m_openButton = nullptr;
    QToolButton* m_saveButton = nullptr;
    QToolButton* m_trayButton = nullptr;
    QMenu* m_treePopup = nullptr;
    QMenu* m_listPopup = nullptr;
    QList<QMenu*> m_menus;
    QAction* m_mruSeparator = nullptr;
    std::unique_ptr<Commands> m_cmds;
    QLabel* m_panels[4] = {};
    TransferPanel* m_transferPanel = nullptr;
    SingleInstance* m_instance = nullptr;
    // The lock of the document shown, and the one the command line's document took at start
    // until its open at the first activation.
    std::shared_ptr<DocumentLock> m_documentLock;
    std::shared_ptr<DocumentLock> m_startReservation;
    UpdateChecker* m_updates = nullptr;

    bool m_firstActivation = true;
    bool m_inActivation = false;
    bool m_toolBarFtp = false;        // the tool bar shows the FTP commands
    bool m_languageFailed = false;    // the last ApplyLanguage could not load its table
    bool m_backFromOwnWindow = false; // the last activation came straight from another window of ours
    bool m_endRequested = false;
    bool m_exiting = false;          // an end asked from outside is under way
    bool m_settingsTooLarge = false; // the settings file was too large to be read
    bool m_closeConfirmed = false;   // the session's end already had its close query answered
};
