#pragma once

#include "document/DocumentFile.h"
#include "document/DocumentModel.h"
#include "lang/LangTable.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// The way between a .pass file (or the bytes of a copy downloaded from FTP) and the open
// document, both ways, with the questions and messages the user sees on the way. The window
// that owns the document follows through the signals below; the pipeline never touches a
// widget itself.
//
// Failures, and what they leave behind:
// - Cancel of the meta password question: nothing changes.
// - A file that cannot be opened or read, or a stream too short to hold its header: it is read
//   whole before anything else happens, so the document stays exactly as it was, meta password
//   included; the error is shown.
// - A strong document altered or damaged: message Altere; nothing changed, as for a file that
//   cannot be read.
// - A wrong meta password: message BadPass; the document becomes untitled, clean and without
//   meta password, the groups and entries it had stay shown.
// - A stream that breaks off in a way the reader cannot recover from: the error is shown; what
//   was read is kept, the document becomes untitled and modified and keeps the meta password
//   just given, so that Save asks for a new name (never the previous document's file) and the
//   rest can be rescued.
class DocumentPipeline : public QObject
{
    Q_OBJECT
public:
    enum class LoadOutcome
    {
        Loaded,        // the password matched and the whole stream was read
        WrongPassword, // BadPass was shown
        Unreadable,    // the file could not be read, or its header; the error was shown, nothing changed
        Broken         // the stream broke off; the error was shown, the document is untitled
    };

    explicit DocumentPipeline(DocumentState& doc, QObject* parent = nullptr);

    // The whole open: asks the meta password (enter mode) naming the path, then loads.
    // `source` is the downloaded bytes of an FTP copy, or null to read the file at `path`.
    // True when the document was loaded.
    bool OpenDocument(const QString& path, const QByteArray* source = nullptr);

    // Reads the document with the current MetaPassword. `append` adds the records to the
    // document (merge) instead of replacing them. Every failure has been shown on return.
    LoadOutcome LoadDocument(const QString& path, bool append, const QByteArray* source = nullptr);

    // The second half of LoadDocument: reads the records of a document opened with
    // ReadDocumentFile into the open document (replacing its content, or adding to it), shows the
    // defects found, and reports the counts with `fileName` in the status text. The stream is
    // released (wiped) as it is read, so that a large document is not held twice.
    LoadOutcome LoadRecords(docfile::OpenedDocument& opened, bool append, const QString& fileName);

    // Reads the file (or `source`), checks the password, deciphers and reads the header. When the
    // password matched, and also when it did not, `target` becomes the header read (reset, with
    // FileName = path, for a wrong password) and the opened document holds the stream for
    // readRecords. A file that cannot be read leaves `target` as it was. A wrong password shows
    // BadPass; messages about the header are shown as they are found; a failure is not shown.
    docfile::OpenedDocument ReadDocumentFile(const QString& path, const QByteArray* source, TDoc& target);

    // Writes the document to `path` (atomically: the old file stays whole when writing fails). A
    // counted save advances SaveCount and SaveDate first. CurrentPath becomes `path`; Modified is
    // left alone. On failure returns false with the failure's text in *error.
    bool SaveDocument(const QString& path, bool counted, QString* error = nullptr);
    // The enciphered document for Save on FTP, counted as a save; CurrentPath and Modified are
    // left alone. Nothing, with the failure's text in *error, when it cannot be made (the counter
    // and date then stay as they were).
    std::optional<QByteArray> EncipherForFtp(QString* error = nullptr);

    enum class MergeOutcome
    {
        Merged,        // the whole merged stream was added
        Cancelled,     // the password question was cancelled; nothing changed
        WrongPassword, // BadPass was shown; nothing changed
        Unreadable,    // the file or its header could not be read; the error was shown, nothing changed
        Broken         // the merged stream broke off; the error was shown, what was read was added
    };
    struct MergeReport
    {
        MergeOutcome outcome = MergeOutcome::Cancelled;
        TGroupe* firstAddedGroup = nullptr; // first top-level group the merge made, or null
    };

    // Merge: asks the password of the file at `path` (enter mode, naming it) and adds the file's
    // groups and entries to the open document. The merged file keeps its password and its header
    // to itself: MetaPassword, CurrentPath, the title, LocalDoc (hence the FTP settings and the
    // synchronisation) and FtpMode stay those of the open document, and no download starts. On
    // success the status bar names the merged file and the recent files record it. The document
    // is marked modified when something was added.
    MergeReport MergeDocument(const QString& path);

    // The change of meta password: asks a new one (choose mode) naming CurrentPath. It is used
    // from the next save on; Modified changes only with the protection. True on OK.
    bool ChangeMetaPassword();

    // Asks a new meta password (choose mode, naming `path`) together with the document's
    // protection, and takes both for the next saves. A change of protection marks the document
    // modified: the file is still in its old container until then. False on Cancel.
    bool AskNewMetaPassword(const QString& path);

    // The message of the reader's defect `key`, its "%s" filled with `arg`.
    static QString readerMessageText(const QString& key, const QString& arg);

    // The first status-bar text after a read: Msg("SBar") with entries, groups and file name.
    static QString loadSummary(int entries, int groups, const QString& fileName);

signals:
    // Before the groups and entries change (true) and when all is done (false): the views
    // suspend their repainting in between.
    void viewsSuspended(bool suspended);
    // The groups and entries are about to be replaced (or added to, with append): the views let
    // go of every group and entry they refer to.
    void contentAboutToBeReplaced(bool append);
    // The groups and entries were replaced (or added to, with append): the views rebuild now,
    // before any other event is processed.
    void contentReplaced(bool append);
    // After a complete read without append: the first group is to be shown expanded and selected.
    void showFirstGroup();
    // The title follows CurrentPath and FtpMode.
    void titleChanged();
    // Text for the first panel of the status bar.
    void statusText(const QString& text);
    // After a successful open: new group and change of meta password unless locked, search.
    void documentCommandsEnabled();
    // FtpMode was set by a load; the tool bar follows.
    void ftpModeChanged(bool ftpMode);
    // The check mark of the synchronisation command follows the header just read.
    void syncCheckChanged(bool syncOn);
    // A synchronised document came from disk: the download of its FTP copy is to start now,
    // before its records are read.
    void syncDownloadRequested();
    // A synchronised document was saved to disk: its enciphered bytes are to be uploaded.
    void syncUploadRequested(const QByteArray& enciphered);
    // The document was read from a named source: the recent-files list records the name.
    void recentFileRead(const QString& fileName);
    // A file of this computer is about to be opened: the shell's list of recent documents records it.
    void documentOpening(const QString& path);

private:
    void showReaderMessage(const QString& key, const QString& arg);

    DocumentState& m_doc;
};
