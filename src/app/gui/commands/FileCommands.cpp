#include "app/gui/commands/FileCommands.h"

#include "app/gui/commands/ClipboardCommands.h"
#include "app/gui/commands/FtpSync.h"
#include "app/gui/commands/GroupEntryCommands.h"
#include "app/gui/commands/SearchCommand.h"
#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/CommandEnabler.h"
#include "app/gui/window/Commands.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentPath.h"
#include "document/RecentFiles.h"
#include "document/gui/DocumentPipeline.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/DocumentLock.h"
#include "platform/RecentDocs.h"
#include "platform/SingleInstance.h"
#include "platform/gui/FileDialogs.h"
#include "settings/Settings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

FileCommands::FileCommands(DocumentState& doc, DocumentPipeline& pipeline, DocumentView& view, Settings& settings,
                           const Commands& commands, CommandEnabler& enabler, SearchCommand& search,
                           ClipboardCommands& clipboard, GroupEntryCommands& groupEntry, FtpSync& sync, QObject* parent)
    : QObject(parent), m_doc(doc), m_pipeline(pipeline), m_view(view), m_settings(settings), m_commands(commands),
      m_enabler(enabler), m_search(search), m_clipboard(clipboard), m_groupEntry(groupEntry), m_sync(sync)
{
}

// --- the save question ---------------------------------------------------------------------------

int FileCommands::QuerySave()
{
    const QString name = m_doc.CurrentPath.isEmpty() ? Msg(QStringLiteral("Sans titre")) : m_doc.CurrentPath;
    m_view.commitPendingEdits();
    const int answer = ShowMsg(FillPlaceholders(Msg(QStringLiteral("Sauver")), {name}), MsgKind::Confirmation,
                               MsgYes | MsgNo | MsgCancel);
    if (answer != MsgYes)
        return answer;
    if (!m_doc.CurrentPath.isEmpty()) {
        QString error;
        if (!m_pipeline.SaveDocument(m_doc.CurrentPath, true, &error)) {
            // The user asked for a save: a failure is said, and what asked does not go on.
            ShowMsg(error, MsgKind::Error, MsgOK);
            return MsgCancel;
        }
        m_doc.SetModified(false);
        return MsgYes;
    }
    SaveDocumentAs();
    return m_doc.Modified ? MsgCancel : MsgYes;
}

bool FileCommands::mayReplaceDocument()
{
    m_view.commitPendingEdits();
    m_search.turnOff();
    return !m_doc.Modified || QuerySave() != MsgCancel;
}

bool FileCommands::mayClose()
{
    m_view.commitPendingEdits();
    return !m_doc.Modified || QuerySave() != MsgCancel;
}

// --- save ----------------------------------------------------------------------------------------

bool FileCommands::SaveDocumentAs()
{
    m_view.commitPendingEdits();
    const QString picked = AskSaveFileName(m_view.window(), QString(), m_openFolder, m_doc.CurrentPath);
    if (picked.isEmpty())
        return false;
    const QString chosen = SaveAsFileName(picked);
    // Never over a document another window has open: its next save would drop this one.
    const auto release = qScopeGuard([this] { done(); });
    if (!reserve(chosen, true))
        return false;
    if (!m_pipeline.AskNewMetaPassword(chosen))
        return false;
    m_enabler.refresh(EnablingMoment::MetaPasswordChosen);
    QString error;
    const bool saved = m_pipeline.SaveDocument(chosen, true, &error);
    // The title names the file that Save now writes to, also when this write failed.
    if (saved) {
        m_doc.FtpMode = false;
        emit ftpModeChanged(false);
    }
    emit titleChanged();
    if (!saved) {
        ShowMsg(error, MsgKind::Error, MsgOK);
        return false;
    }
    m_doc.SetModified(false);
    return true;
}

bool FileCommands::SaveCommand()
{
    m_view.commitPendingEdits();
    if (m_doc.CurrentPath.isEmpty())
        return SaveDocumentAs();
    QString error;
    if (!m_pipeline.SaveDocument(m_doc.CurrentPath, true, &error)) {
        ShowMsg(error, MsgKind::Error, MsgOK);
        return false;
    }
    setOpenDialogFile(m_doc.CurrentPath);
    m_doc.SetModified(false);
    return true;
}

// --- new and open --------------------------------------------------------------------------------

bool FileCommands::NewDocument()
{
    if (!mayReplaceDocument())
        return false;
    resetDocument();
    return true;
}

void FileCommands::resetDocument()
{
    m_sync.abandon();
    m_view.documentAboutToReload();
    m_doc.reset();
    m_clipboard.releaseCopies();
    m_view.documentReloaded();
    // The commands follow the reset state: nothing locked, no FTP mode, no synchronisation.
    m_groupEntry.SetReadOnlyLock(false);
    emit ftpModeChanged(false);
    m_commands[CommandId::SynchroFTP]->setChecked(m_doc.LocalDoc.SyncOn);
    emit titleChanged();
    // Nothing is locked now: the commands of a document shown.
    m_enabler.refresh(EnablingMoment::DocumentShown);
    // The empty tree is where the first group comes.
    m_view.arbo()->setFocus(Qt::OtherFocusReason);
}

void FileCommands::OpenCommand()
{
    if (!mayReplaceDocument())
        return;
    const QString path =
        AskOpenFileName(m_view.window(), Msg(QStringLiteral("Ouverture")), m_openFolder, m_openFileName);
    if (path.isEmpty())
        return;
    const auto release = qScopeGuard([this] { done(); });
    if (!reserve(path))
        return;
    setOpenDialogFile(path);
    m_pipeline.OpenDocument(path);
}

void FileCommands::openRecentFile(int slot)
{
    if (slot < 1 || slot > RecentFiles::kSlotCount)
        return;
    const QString stored = m_settings.MRU[static_cast<size_t>(slot - 1)];
    if (stored.isEmpty())
        return;
    const QString path = RecentFiles::pathToOpen(stored, QDir::currentPath());
    const auto release = qScopeGuard([this] { done(); });
    if (!reserve(path) || !mayReplaceDocument())
        return;
    m_pipeline.OpenDocument(path);
}

void FileCommands::openFromAnotherStart(const QString& path)
{
    if (FileNamePart(path).isEmpty() || !QFileInfo(path).isFile()) {
        ShowMsg(FillPlaceholders(Msg(QStringLiteral("EmptyFilename")), {path}), MsgKind::Error, MsgCancel);
        return;
    }
    // The document shown here already: the window came forward, which is all that was asked.
    if (!m_doc.FtpMode && !m_doc.CurrentPath.isEmpty() &&
        DocumentLock::keyFor(m_doc.CurrentPath) == DocumentLock::keyFor(path))
        return;
    const auto release = qScopeGuard([this] { done(); });
    if (!reserve(path) || !mayReplaceDocument())
        return;
    setOpenDialogFile(path);
    m_pipeline.OpenDocument(path);
}

void FileCommands::openDroppedFile(const QString& path)
{
    const auto release = qScopeGuard([this] { done(); });
    if (!reserve(path) || !mayReplaceDocument())
        return;
    m_pipeline.OpenDocument(path);
}

void FileCommands::openCommandLineDocument(const QString& typed)
{
    const QString path = CanonicalDocumentPath(typed, QDir::currentPath());
    if (FileNamePart(path).isEmpty() || !QFileInfo(path).isFile()) {
        ShowMsg(FillPlaceholders(Msg(QStringLiteral("EmptyFilename")), {typed}), MsgKind::Error, MsgCancel);
        return;
    }
    const auto release = qScopeGuard([this] { done(); });
    if (!reserve(path))
        return;
    const QString previousPassword = m_doc.MetaPassword;
    if (!AskMetaPassword(TBoiteMetaPass::Enter, m_doc.MetaPassword, path))
        return;
    setOpenDialogFile(path);
    const auto outcome = m_pipeline.LoadDocument(path, false, nullptr);
    if (outcome == DocumentPipeline::LoadOutcome::Unreadable) {
        // The password typed for the file that could not be read goes, wiped.
        secureWipe(m_doc.MetaPassword);
        m_doc.MetaPassword = previousPassword;
    }
    if (outcome != DocumentPipeline::LoadOutcome::Loaded)
        return;
    m_enabler.refresh(EnablingMoment::DocumentShown);
    m_doc.SetModified(false);
    m_doc.CurrentPath = path;
    emit titleChanged();
}

// --- one window per document -----------------------------------------------------------------------

bool FileCommands::reserve(const QString& path, bool replacing)
{
    std::shared_ptr<DocumentLock> lock;
    switch (SingleInstance::reserveDocument(DocumentLock::keyFor(path), lock)) {
    case SingleInstance::Reservation::Reserved:
        m_reservation = std::move(lock);
        return true;
    case SingleInstance::Reservation::Unavailable:
        return true;
    case SingleInstance::Reservation::ShownElsewhere:
        if (!replacing)
            return false;
        break;
    case SingleInstance::Reservation::Unreachable:
        break;
    }
    ShowMsg(FillPlaceholders(Msg(replacing ? QStringLiteral("OuvertAilleurs") : QStringLiteral("DejaOuvert")),
                             {QDir::toNativeSeparators(path)}),
            MsgKind::Error, MsgOK);
    return false;
}

void FileCommands::done()
{
    m_reservation.reset();
}

bool FileCommands::reserved(const QString& canonicalPath) const
{
    return m_reservation && m_reservation->documentPath() == canonicalPath;
}

// --- merge ---------------------------------------------------------------------------------------

void FileCommands::MergeCommand()
{
    if (m_doc.ReadOnlyLock)
        return;
    m_view.cellEditing()->edExit();
    m_search.turnOff();
    // The open dialog's memory stays that of Open: the merged file is no document of this window.
    const QString path =
        AskOpenFileName(m_view.window(), Msg(QStringLiteral("Fusionner")), m_openFolder, m_openFileName);
    if (path.isEmpty())
        return;
    TGroupe* selected = m_view.selectedGroup();
    const DocumentPipeline::MergeReport report = m_pipeline.MergeDocument(path);
    using Outcome = DocumentPipeline::MergeOutcome;
    if (report.outcome != Outcome::Merged && report.outcome != Outcome::Broken)
        return;
    // The views were rebuilt: the first added group is shown, else the selection comes back.
    if (report.firstAddedGroup) {
        m_view.arbo()->expandSubtree(m_view.groupModel()->indexForGroup(report.firstAddedGroup));
        m_view.selectGroup(report.firstAddedGroup);
    } else if (selected) {
        m_view.selectGroup(selected);
    }
    if (report.outcome == Outcome::Merged)
        m_enabler.refresh(EnablingMoment::MetaPasswordChosen);
}

// --- recent files and the open dialog ------------------------------------------------------------

void FileCommands::recordRecentFile(const QString& path)
{
    if (RecentFiles::record(m_settings.MRU, m_settings.Use, path, QDir::currentPath()))
        emit recentFilesChanged();
}

void FileCommands::addToRecentDocuments(const QString& path)
{
    platform::AddToRecentDocuments(path);
}

void FileCommands::setOpenDialogFile(const QString& path)
{
    const QFileInfo info(path);
    m_openFolder = info.absolutePath();
    m_openFileName = info.fileName();
}
