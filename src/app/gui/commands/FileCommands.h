#pragma once

#include <QObject>
#include <QString>

#include <memory>

class ClipboardCommands;
class CommandEnabler;
class DocumentLock;
class Commands;
class DocumentPipeline;
class DocumentState;
class DocumentView;
class FtpSync;
class GroupEntryCommands;
class SearchCommand;
struct Settings;

// The File menu's document commands: New, Open, the recent files, a document dropped on the
// window or named by a later start or on the command line, Save, Save as, Merge, and the save
// question asked before anything replaces or closes a modified document. The reading and writing
// are the pipeline's; this class asks the questions around them and keeps the open dialog's
// memory. The window shows what it reports: the title, the FTP mode of the tool bar, the recent
// files of the menu.
//
// Everything that replaces the open document goes through mayReplaceDocument() and then
// resetDocument() or the pipeline's load. A document another window of the user has open is never
// opened here: that window comes forward instead (reserve()).
class FileCommands : public QObject
{
    Q_OBJECT
public:
    FileCommands(DocumentState& doc, DocumentPipeline& pipeline, DocumentView& view, Settings& settings,
                 const Commands& commands, CommandEnabler& enabler, SearchCommand& search, ClipboardCommands& clipboard,
                 GroupEntryCommands& groupEntry, FtpSync& sync, QObject* parent = nullptr);

    // New: after the save question, an empty untitled document without meta password. False when
    // the question was cancelled.
    bool NewDocument();
    // Open: asks the file through the open dialog and opens it.
    void OpenCommand();
    // Recent file `slot` (1 to 4): after the save question, opens the slot's path.
    void openRecentFile(int slot);
    // A file dropped on the window: the save question, then the file opened.
    void openDroppedFile(const QString& path);
    // A document named by a later start of the program: checked, the save question, then opened.
    void openFromAnotherStart(const QString& path);
    // The document named on the command line (as typed), at the first activation: its meta
    // password asked, then read.
    void openCommandLineDocument(const QString& typed);
    // Save: Save as for an untitled document, else a counted save to CurrentPath.
    bool SaveCommand();
    // The Save as command: asks the file name and a new meta password, then saves.
    bool SaveDocumentAs();
    // Merge: adds the groups and entries of another document chosen in the open dialog.
    void MergeCommand();

    // Shows Msg("Sauver") and saves on Yes. Returns MsgYes, MsgNo or MsgCancel.
    int QuerySave();
    // Before anything replaces the open document (New, Open, a recent file, a drop, Open on FTP,
    // the idle lock's close): the editors are committed, the search filter goes, and a modified
    // document gets the save question. False when it was cancelled: the document stays.
    bool mayReplaceDocument();
    // Before the program ends: the editors are committed and a modified document gets the save
    // question. False when it was cancelled.
    bool mayClose();
    // The open document goes: the transfer and the read-only lock bound to it end, the document
    // is reset (untitled, empty, no meta password, no FTP mode; a new generation for every step
    // still waiting), the clipboard's copies it no longer holds are wiped, and the window shows
    // the empty document. Asks nothing: mayReplaceDocument() comes first.
    void resetDocument();

    // The pipeline read a document from a named source: the recent-files list records the name.
    void recordRecentFile(const QString& path);
    // A file of this computer is about to be opened: the shell's list of recent documents (best
    // effort).
    void addToRecentDocuments(const QString& path);

    // Whether an open or a Save as of this window holds the lock of the document at this
    // canonical path for the moment.
    bool reserved(const QString& canonicalPath) const;

    // The open dialog's memory: last folder and file name chosen.
    QString openDialogFolder() const { return m_openFolder; }
    QString openDialogFileName() const { return m_openFileName; }
    void setOpenDialogFile(const QString& path);

signals:
    // The title is to follow CurrentPath and FtpMode.
    void titleChanged();
    // The tool bar is to follow FtpMode.
    void ftpModeChanged(bool ftpMode);
    // The recent-file list changed.
    void recentFilesChanged();

private:
    // Before the document at path is opened (or written by Save as, `replacing`): its lock taken
    // for this window until done() (the lock of the document shown then follows it). False when
    // another window of the user has it open: that window was asked to come forward; that it did
    // not answer, or that a Save as cannot replace it, is said; nothing is to be done here then.
    bool reserve(const QString& path, bool replacing = false);
    void done();

    DocumentState& m_doc;
    DocumentPipeline& m_pipeline;
    DocumentView& m_view;
    Settings& m_settings;
    const Commands& m_commands;
    CommandEnabler& m_enabler;
    SearchCommand& m_search;
    ClipboardCommands& m_clipboard;
    GroupEntryCommands& m_groupEntry;
    FtpSync& m_sync;

    QString m_openFolder;
    QString m_openFileName;
    std::shared_ptr<DocumentLock> m_reservation;
};
