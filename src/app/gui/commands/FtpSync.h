#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class TFileFTP;
class TfrmTresorin;

// The FTP commands of the main window and the synchronisation of a document with its FTP copy:
// Open on FTP, Save on FTP, the synchronisation parameters, the FTP entry mark, the file
// properties, the download of the FTP copy that follows an open from disk (with the read-only
// lock and the status bar's transfer panel) and the upload that follows every local save.
//
// A finished download is applied only to the document it was started for: the document's
// content generation is taken once its records are read, and a result that arrives after
// another load or New (or after a load that did not complete) is dropped.
class FtpSync : public QObject
{
    Q_OBJECT
public:
    explicit FtpSync(TfrmTresorin* window);
    ~FtpSync() override;

    void ActionOuvrirFTPExecute();
    void ActionSauverFTPExecute();
    void ActionSynchroFTPExecute();
    void ActionSetFTPExecute();
    void ActionInfoFichExecute();
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

signals:
    // The download of the FTP copy has ended and its result was applied or dropped.
    void syncDownloadFinished();

private:
    struct Outcome
    {
        QString error;
        bool stopped = false;
        QByteArray data;
    };

    void syncWorkerFinished(TFileFTP* worker);
    void SyncDownloadDone(Outcome outcome);
    void showTransferPanel(bool visible);
    void releaseLock();

    TfrmTresorin* m_window;
    QPointer<TFileFTP> m_syncTransfer;
    bool m_bindPending = false;   // started, the document's records not read yet
    quint64 m_syncGeneration = 0; // generation of the document the download belongs to
    bool m_lockedBySync = false;  // the read-only lock is the download's
    int m_loadDepth = 0;          // a load is under way (its messages may run the event loop)
    bool m_takingFtpCopy = false; // the FTP copy is being read in place of the local one
    std::optional<Outcome> m_deferred;
};
