#pragma once

#include "ftp/Synchronisation.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class Commands;
class DocumentPipeline;
class DocumentState;
class GroupEntryCommands;
class TBoiteFTP;
class TBoiteInfo;
class TFileFTP;
class TransferPanel;
struct Settings;

// The synchronisation of a document with its copy on the FTP server: the download of the copy
// that follows an open from disk (under the read-only lock, its progress in the status bar's
// transfer panel), the question which copy to keep, the upload that follows every local save
// with its check that nobody else replaced the copy meanwhile, and the merge with the server's
// copy when the user asks for it. It remembers, for the open document, the copy on the server as
// this computer last read or wrote it.
//
// A finished download is applied only to the document it was started for: the document's
// content generation is taken once its records are read, and a result that arrives after
// another load or New (or after a load that did not complete) is dropped.
class FtpSync : public QObject
{
    Q_OBJECT
public:
    // `groupEntry` holds the read-only lock the download sets.
    FtpSync(DocumentState& doc, DocumentPipeline& pipeline, Settings& settings, const Commands& commands,
            GroupEntryCommands& groupEntry, TBoiteFTP& ftpDialog, TBoiteInfo& infoDialog, TransferPanel& panel,
            QObject* parent = nullptr);
    ~FtpSync() override;

    void bnFtpStopClick();

    // A synchronised document was read from disk: its records are about to be read.
    void StartSyncDownload();
    // A synchronised document was written to disk: these bytes go to its FTP copy.
    void UploadSyncCopy(const QByteArray& enciphered);

    // The download of the FTP copy while it runs.
    TFileFTP* syncTransfer() const;
    // The document it was for goes: the download stops now and its read-only lock is released;
    // its result, if any, is never applied.
    void abandon();

    // The copy on the server is `header`, as this computer just read or wrote it (for the open
    // document), or nothing is known of it any more.
    void rememberStamp(const TDoc& header);
    void forgetStamp();

signals:
    // The download of the FTP copy has ended and its result was applied or dropped.
    void syncDownloadFinished();
    // Text for the first panel of the status bar.
    void statusText(const QString& text);

private:
    struct Outcome
    {
        QString error;
        bool stopped = false;
        QByteArray data;
        TrustProblem trust;
    };
    // Starts the download of the FTP copy with the document's parameters (the lock is set).
    void startSyncWorker();
    // The copy on the server as this computer last read or wrote it, for the open document.
    SyncStamp syncStamp() const;
    // Merge it into this document: the whole copy downloaded, merged, saved and uploaded.
    void mergeWithServer();

    void syncWorkerFinished(TFileFTP* worker);
    void SyncDownloadDone(Outcome outcome);
    void releaseLock();

    DocumentState& m_doc;
    DocumentPipeline& m_pipeline;
    Settings& m_settings;
    const Commands& m_commands;
    GroupEntryCommands& m_groupEntry;
    TBoiteFTP& m_ftpDialog;
    TBoiteInfo& m_infoDialog;
    TransferPanel& m_panel;
    QPointer<TFileFTP> m_syncTransfer;
    bool m_bindPending = false;   // started, the document's records not read yet
    quint64 m_syncGeneration = 0; // generation of the document the download belongs to
    bool m_lockedBySync = false;  // the read-only lock is the download's
    int m_loadDepth = 0;          // a load is under way (its messages may run the event loop)
    bool m_takingFtpCopy = false; // the FTP copy is being read in place of the local one
    std::optional<Outcome> m_deferred;
    SyncStamp m_stamp;
    quint64 m_stampGeneration = 0;
};
