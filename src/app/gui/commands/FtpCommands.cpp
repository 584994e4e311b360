#include "app/gui/commands/FtpCommands.h"

#include "app/gui/commands/FileCommands.h"
#include "app/gui/commands/FtpSync.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/Commands.h"
#include "document/DocumentPath.h"
#include "document/gui/DocumentPipeline.h"
#include "ftp/FtpParameters.h"
#include "ftp/Synchronisation.h"
#include "ftp/TFileFTP.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "settings/Settings.h"

#include <QAction>
#include <QLineEdit>

#include <utility>

FtpCommands::FtpCommands(DocumentState& doc, DocumentPipeline& pipeline, DocumentView& view, Settings& settings,
                         const Commands& commands, FileCommands& files, FtpSync& sync, TBoiteFTP& ftpDialog,
                         TBoiteInfo& infoDialog, QObject* parent)
    : QObject(parent), m_doc(doc), m_pipeline(pipeline), m_view(view), m_settings(settings), m_commands(commands),
      m_files(files), m_sync(sync), m_ftpDialog(ftpDialog), m_infoDialog(infoDialog)
{
}

void FtpCommands::ActionOuvrirFTPExecute()
{
    if (!m_files.mayReplaceDocument())
        return;
    TBoiteFTP& dialog = m_ftpDialog;
    dialog.TransferData.clear();
    if (dialog.ShowForTransfer() && !dialog.TransferData.isEmpty()) {
        const QByteArray bytes = std::exchange(dialog.TransferData, QByteArray());
        // The document is the copy on the server: an upload of it later finds that copy unchanged.
        if (m_pipeline.OpenDocument(FtpFileName(dialog.Fichier->text()), &bytes))
            m_sync.rememberStamp(m_doc.LocalDoc);
    }
    dialog.TransferData.clear();
}

void FtpCommands::ActionSauverFTPExecute()
{
    DocumentState& doc = m_doc;
    TBoiteFTP& dialog = m_ftpDialog;
    if (doc.ReadOnlyLock)
        return;
    m_view.commitPendingEdits();

    QString error;
    std::optional<QByteArray> bytes = m_pipeline.EncipherForFtp(&error);
    if (!bytes) {
        ShowMsg(error, MsgKind::Error, MsgOK);
        return;
    }
    dialog.TransferData = std::move(*bytes);
    const DocumentTicket ticket(doc);
    // What was uploaded is this document: a document opened or made meanwhile (the idle lock's
    // close) must not take its FTP name and mode, whose next save would overwrite that copy.
    if (!dialog.TransferData.isEmpty() && dialog.ShowForTransfer() && ticket.stillOpen()) {
        // Saved where the document synchronises: that copy is now this one.
        const TFileFTP::Parameters sent = dialog.fieldParameters();
        const TFileFTP::Parameters synced = SyncTransferParameters(doc.LocalDoc, doc.ftpEntry());
        if (doc.LocalDoc.SyncOn && sent.ServerName.trimmed() == synced.ServerName.trimmed() &&
            sent.RemotePath == synced.RemotePath && sent.PortNumber == synced.PortNumber)
            m_sync.rememberStamp(doc.LocalDoc);
        doc.SetModified(false);
        doc.FtpMode = true;
        emit ftpModeChanged(true);
        emit titleShown(DocumentTitle(FtpFileName(dialog.Fichier->text()), true, Msg(QStringLiteral("Sans titre"))));
    }
    dialog.TransferData.clear();
}

void FtpCommands::ActionSynchroFTPExecute()
{
    DocumentState& doc = m_doc;
    QAction* command = m_commands[CommandId::SynchroFTP];
    if (!doc.ReadOnlyLock) {
        // Edited on a copy: parameters typed for a document that was closed meanwhile go nowhere.
        const DocumentTicket ticket(doc);
        TDoc edited = doc.LocalDoc;
        bool changed = false;
        if (m_ftpDialog.EditSyncParameters(doc.ftpEntry(), edited, false, &changed) && changed && ticket.stillOpen()) {
            doc.LocalDoc = edited;
            doc.SetModified(true);
            // Another place (or another way there): nothing is known of the copy it holds.
            m_sync.forgetStamp();
        }
    }
    // The command toggled its own mark when triggered: the document says what it is.
    command->setChecked(doc.LocalDoc.SyncOn);
}

void FtpCommands::ActionSetFTPExecute()
{
    DocumentState& doc = m_doc;
    DocumentView& view = m_view;
    QAction* command = m_commands[CommandId::SetFTP];
    TFeuille* entry = view.selectedEntry();
    if (!entry || doc.ReadOnlyLock) {
        command->setChecked(entry && entry->IsFtpEntry);
        return;
    }
    TFeuille* previous = doc.ftpEntry();
    const bool marked = !entry->IsFtpEntry;
    doc.setFtpEntry(marked ? doc.indexOfEntry(entry) : -1);
    command->setChecked(marked);
    if (previous && previous != entry) {
        const int row = view.rowOfEntry(previous);
        if (row >= 0)
            view.refreshEntryRow(row);
    }
    ApplyFTPEntry(doc.LocalDoc, *entry);
    const int row = view.rowOfEntry(entry);
    if (row >= 0)
        view.refreshEntryRow(row);
    doc.SetModified(true);
}

void FtpCommands::ActionInfoFichExecute()
{
    m_infoDialog.ShowProperties(m_doc.LocalDoc, m_doc.RemoteCopy, TBoiteInfo::InformationOnly, m_settings.AutoSync);
}
