#include "app/gui/commands/FtpSync.h"

#include "app/gui/commands/GroupEntryCommands.h"
#include "app/gui/window/Commands.h"
#include "app/gui/window/TransferPanel.h"
#include "document/DocumentFile.h"
#include "document/SyncMerge.h"
#include "document/gui/DocumentPipeline.h"
#include "ftp/FtpParameters.h"
#include "ftp/Synchronisation.h"
#include "ftp/TFileFTP.h"
#include "ftp/TrustQuestion.h"
#include "ftp/gui/AskTrust.h"
#include "ftp/gui/SyncQuestion.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "settings/Settings.h"

#include <QAction>
#include <QDir>
#include <QTimer>

#include <utility>

FtpSync::FtpSync(DocumentState& doc, DocumentPipeline& pipeline, Settings& settings, const Commands& commands,
                 GroupEntryCommands& groupEntry, TBoiteFTP& ftpDialog, TBoiteInfo& infoDialog, TransferPanel& panel,
                 QObject* parent)
    : QObject(parent), m_doc(doc), m_pipeline(pipeline), m_settings(settings), m_commands(commands),
      m_groupEntry(groupEntry), m_ftpDialog(ftpDialog), m_infoDialog(infoDialog), m_panel(panel)
{
    DocumentPipeline* p = &pipeline;
    // The download belongs to the document whose records are read right after it started.
    connect(p, &DocumentPipeline::contentReplaced, this, [this](bool append) {
        if (!append && m_bindPending) {
            m_bindPending = false;
            m_syncGeneration = m_doc.generation();
        }
    });
    // A download that ends while a load still runs (its message boxes run the event loop) waits
    // until the load has finished.
    connect(p, &DocumentPipeline::viewsSuspended, this, [this](bool suspended) {
        m_loadDepth += suspended ? 1 : -1;
        if (m_loadDepth == 0 && m_deferred)
            QTimer::singleShot(0, this, [this] {
                if (m_deferred && m_loadDepth == 0) {
                    Outcome outcome = std::move(*m_deferred);
                    m_deferred.reset();
                    SyncDownloadDone(std::move(outcome));
                }
            });
    });
    // Another document's content replaces this one's: what ran for the old one stops, unless the
    // download is the new document's own, started just before its records are read.
    connect(p, &DocumentPipeline::contentAboutToBeReplaced, this, [this](bool append) {
        if (!append && !m_bindPending && !m_takingFtpCopy)
            abandon();
    });
}

FtpSync::~FtpSync()
{
    if (m_syncTransfer) {
        disconnect(m_syncTransfer, nullptr, this, nullptr);
        m_syncTransfer->requestStop();
        m_syncTransfer->wait();
    }
}

void FtpSync::bnFtpStopClick()
{
    if (m_syncTransfer)
        m_syncTransfer->requestStop();
}

// --- download after an open ----------------------------------------------------------------------

void FtpSync::releaseLock()
{
    // Only a lock this download set is released; a document loaded meanwhile may hold its own.
    if (m_lockedBySync && m_doc.ReadOnlyLock)
        m_groupEntry.SetReadOnlyLock(false);
    m_lockedBySync = false;
}

void FtpSync::StartSyncDownload()
{
    if (m_syncTransfer) {
        // The download of a document that is being replaced: its result will be dropped.
        m_syncTransfer->requestStop();
        m_syncTransfer = nullptr;
    }
    m_deferred.reset();
    m_groupEntry.SetReadOnlyLock(true);
    m_lockedBySync = true;
    m_panel.showTransfer(true);
    if (!WinInetAvailable()) {
        ShowMsg(Msg(QStringLiteral("Wininet")), MsgKind::Error, MsgOK);
        m_panel.showTransfer(false);
        releaseLock();
        return;
    }
    m_bindPending = true;
    startSyncWorker();
}

void FtpSync::startSyncWorker()
{
    DocumentState& doc = m_doc;
    TFileFTP::Parameters p;
    p.ServerName = doc.LocalDoc.ServerName;
    p.PortNumber = doc.LocalDoc.PortNumber;
    p.PassiveMode = doc.LocalDoc.PassiveMode;
    p.RemotePath = doc.LocalDoc.RemotePath;
    p.UserName = doc.LocalDoc.UserName;
    p.UserPassword = doc.LocalDoc.UserPassword;
    AddPinnedCertificate(p);
    TFileFTP* worker = TFileFTP::CreateForStatusBar(p);
    m_syncTransfer = worker;
    m_panel.follow(worker);
    connect(worker, &TFileFTP::completed, this, &FtpSync::syncWorkerFinished);
    worker->start();
}

void FtpSync::syncWorkerFinished(TFileFTP* worker)
{
    // A download left behind by a later open ends here, unseen.
    if (worker != m_syncTransfer)
        return;
    Outcome outcome{worker->ErrorText(), worker->StopRequested() || worker->wasStopped(), worker->takeData(),
                    worker->trustProblem()};
    m_syncTransfer = nullptr;
    if (m_loadDepth > 0) {
        m_deferred = std::move(outcome);
        return;
    }
    SyncDownloadDone(std::move(outcome));
}

void FtpSync::SyncDownloadDone(Outcome outcome)
{
    DocumentState& doc = m_doc;
    m_panel.showTransfer(false);
    bool keepModified = false;
    const auto finish = [&] {
        outcome.data.clear();
        releaseLock();
        if (keepModified)
            doc.SetModified(true);
        emit syncDownloadFinished();
    };

    // Another document (or none) is open now, or the one it was started for was never read whole.
    if (m_bindPending || doc.generation() != m_syncGeneration || doc.CurrentPath.isEmpty()) {
        m_bindPending = false;
        finish();
        return;
    }
    if (!outcome.error.isEmpty()) {
        const TrustProblem& problem = outcome.trust;
        if (trustquestion::canBeAsked(problem)) {
            // Asked with the fingerprints; on Yes remembered, and the download starts again under
            // the same lock for the same document (nothing is remembered for another one).
            const DocumentTicket ticket(doc);
            if (AskTrust(problem, nullptr, [&] { return ticket.stillOpen() && m_lockedBySync; })) {
                m_panel.showTransfer(true);
                startSyncWorker();
                return;
            }
        } else {
            ShowMsg(outcome.error, MsgKind::Error, MsgOK);
        }
        finish();
        return;
    }
    if (outcome.stopped) {
        finish();
        return;
    }

    DocumentPipeline& pipeline = m_pipeline;
    docfile::OpenedDocument opened = pipeline.ReadDocumentFile(QString(), &outcome.data, doc.RemoteCopy);
    if (!opened.ok()) {
        if (opened.status == docfile::ReadStatus::Failed && !opened.error.isEmpty())
            ShowMsg(opened.error, MsgKind::Error, MsgOK);
        finish();
        return;
    }

    const TDoc seen = doc.RemoteCopy;
    const DateTime local = doc.LocalDoc.SaveDate;
    const DateTime remote = doc.RemoteCopy.SaveDate;
    QAction* search = m_commands[CommandId::Chercher];
    if (local != remote && search->isChecked())
        search->trigger(); // every entry is shown before the question

    const SyncChoice choice = CompareSaveDates(local, remote);
    PropertiesAnswer answer = PropertiesAnswer::Cancelled;
    if (choice != SyncChoice::KeepLocal) {
        const QString path = doc.CurrentPath;
        answer = m_infoDialog.ShowProperties(doc.LocalDoc, doc.RemoteCopy,
                                             choice == SyncChoice::ProposeLocal ? TBoiteInfo::ProposeLocal
                                                                                : TBoiteInfo::ProposeFtp,
                                             m_settings.AutoSync);
        // While the question was on screen the idle lock may have closed the document, or another
        // was opened: the answer was about a document that is gone, and the FTP copy must not be
        // shown in its place without its meta password.
        if (doc.generation() != m_syncGeneration || doc.CurrentPath != path) {
            finish();
            return;
        }
    }
    if (!TakesFtpCopy(choice, answer)) {
        // The copy on the server is known now: an upload later replaces it only if it is still
        // that one.
        rememberStamp(seen);
        finish();
        return;
    }

    // The file about to be replaced is kept beside it first; without that copy nothing is replaced.
    const docfile::WriteResult kept = docfile::keepBackup(doc.CurrentPath);
    if (!kept.ok) {
        ShowMsg(FillPlaceholders(Msg(QStringLiteral("BakImpossible")),
                                 {QDir::toNativeSeparators(docfile::backupPath(doc.CurrentPath))}) +
                    QStringLiteral("\r\n\r\n") + kept.error,
                MsgKind::Error, MsgOK);
        finish();
        return;
    }

    // The FTP copy replaces the content; the header keeps the local FTP parameters.
    doc.SetModified(true);
    TakeFtpHeader(doc.LocalDoc, doc.RemoteCopy);
    m_takingFtpCopy = true;
    const DocumentPipeline::LoadOutcome loaded = pipeline.LoadRecords(opened, false, doc.RemoteCopy.FileName);
    m_takingFtpCopy = false;
    if (loaded != DocumentPipeline::LoadOutcome::Loaded) {
        keepModified = true;
        finish();
        return;
    }
    rememberStamp(seen);
    // Not counted: the file takes the FTP copy's counter and date. A synchronised document's save
    // uploads it back, with the local parameters in its header.
    QString error;
    if (!pipeline.SaveDocument(doc.CurrentPath, false, &error)) {
        // The file still holds the local copy: what is shown must not pass for saved.
        ShowMsg(error, MsgKind::Error, MsgOK);
        keepModified = true;
    } else {
        emit statusText(FillPlaceholders(Msg(QStringLiteral("BakKept")),
                                         {QDir::toNativeSeparators(docfile::backupPath(doc.CurrentPath))}));
    }
    finish();
}

SyncStamp FtpSync::syncStamp() const
{
    return m_stampGeneration == m_doc.generation() ? m_stamp : SyncStamp();
}

void FtpSync::rememberStamp(const TDoc& header)
{
    m_stamp = SyncStamp::of(header);
    m_stampGeneration = m_doc.generation();
}

void FtpSync::forgetStamp()
{
    m_stamp = SyncStamp();
}

void FtpSync::UploadSyncCopy(const QByteArray& enciphered)
{
    DocumentState& doc = m_doc;
    const DocumentTicket ticket(doc);
    const SyncStamp known = syncStamp();
    const TDoc uploaded = doc.LocalDoc;
    // Another computer's save is never replaced unseen: the beginning of the copy on the server
    // is read before each attempt and compared with what this document last read or wrote.
    const auto gate = [&](const TFileFTP& head) {
        TDoc header;
        const RemoteState state = CheckRemoteCopy(head.data(), head.remoteMissing(), doc.MetaPassword, known, &header);
        if (!ticket.stillOpen())
            return UploadGate::Cancel;
        switch (state) {
        case RemoteState::Missing:
        case RemoteState::Unchanged:
            return UploadGate::Upload;
        case RemoteState::Foreign:
            return ShowMsg(Msg(QStringLiteral("SyncForeign")), MsgKind::Warning, MsgYes | MsgNo | MsgDefaultNo) ==
                           MsgYes
                       ? UploadGate::Upload
                       : UploadGate::Cancel;
        case RemoteState::Changed:
            break;
        }
        const UploadGate answer = AskSyncConflict(
            FillPlaceholders(Msg(QStringLiteral("SyncConflict")),
                             {QString::number(header.SaveCount), PropertyDate(header.SaveDate),
                              known.known ? QString::number(known.SaveCount) : Msg(QStringLiteral("Inconnu"))}));
        return ticket.stillOpen() ? answer : UploadGate::Cancel;
    };
    const int result = m_ftpDialog.UploadSyncCopy(uploaded, doc.ftpEntry(), enciphered, gate);
    if (!ticket.stillOpen())
        return;
    if (result == QDialog::Accepted)
        rememberStamp(uploaded);
    else if (result == TBoiteFTP::MergeRequested)
        mergeWithServer();
}

void FtpSync::mergeWithServer()
{
    DocumentState& doc = m_doc;
    const DocumentTicket ticket(doc);
    SecureBytes bytes(m_ftpDialog.DownloadSyncCopy(doc.LocalDoc, doc.ftpEntry()));
    if (!ticket.stillOpen() || bytes.isEmpty())
        return;
    DocumentPipeline& pipeline = m_pipeline;
    const auto sink = [](const QString&, const QString&) {};
    docfile::OpenedDocument opened = docfile::openBytes(bytes.bytes(), QString(), doc.MetaPassword, sink);
    bytes.clear();
    if (!opened.ok()) {
        ShowMsg(opened.status == docfile::ReadStatus::BadPassword ? Msg(QStringLiteral("BadPass")) : opened.error,
                MsgKind::Error, MsgOK);
        return;
    }
    DocumentState other;
    const RecordsResult records = docfile::readRecordsConsuming(opened, other, false, sink);
    if (!records.ok) {
        ShowMsg(records.error, MsgKind::Error, MsgOK);
        return;
    }

    // Added to the content in place, as a merge does: the views let go and rebuild.
    emit pipeline.viewsSuspended(true);
    emit pipeline.contentAboutToBeReplaced(true);
    const SyncMergeResult merged = SyncMerge(doc, other);
    emit pipeline.contentReplaced(true);
    emit pipeline.viewsSuspended(false);
    MergeSyncHeader(doc.LocalDoc, opened.header);
    rememberStamp(opened.header);
    doc.SetModified(true);

    // Saved (counted) and, being synchronised, uploaded: the copy on the server is the one just
    // merged, so the upload goes through without a question.
    QString error;
    if (!pipeline.SaveDocument(doc.CurrentPath, true, &error)) {
        ShowMsg(error, MsgKind::Error, MsgOK);
        return;
    }
    if (ticket.stillOpen()) {
        doc.SetModified(false);
        emit statusText(FillPlaceholders(Msg(QStringLiteral("SyncMerged")),
                                         {MsgCount(QStringLiteral("NbElementsAjoutes"), merged.entriesAdded),
                                          MsgCount(QStringLiteral("NbMisAJour"), merged.entriesUpdated),
                                          MsgCount(QStringLiteral("NbGroupesAjoutes"), merged.groupsAdded)}));
    }
}

TFileFTP* FtpSync::syncTransfer() const
{
    return m_syncTransfer;
}

void FtpSync::abandon()
{
    if (m_syncTransfer) {
        // The worker ends by itself within a chunk and is freed then; nothing of it comes here.
        disconnect(m_syncTransfer, nullptr, this, nullptr);
        m_syncTransfer->requestStop();
        m_syncTransfer = nullptr;
    }
    m_bindPending = false;
    m_deferred.reset();
    m_panel.showTransfer(false);
    releaseLock();
}
