#include "document/gui/DocumentPipeline.h"

#include "crypto/SecureBytes.h"
#include "document/DocumentMerge.h"
#include "document/DocumentStream.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <new>

#include <utility>

namespace {
QString ioErrorText(const QString& path, const QString& reason)
{
    return QDir::toNativeSeparators(path) + QStringLiteral("\r\n\r\n") + reason;
}

// Runs a function when the scope ends, whatever the way out.
template <typename F> class ScopeExit
{
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F m_f;
};
} // namespace

DocumentPipeline::DocumentPipeline(DocumentState& doc, QObject* parent) : QObject(parent), m_doc(doc)
{
}

QString DocumentPipeline::readerMessageText(const QString& key, const QString& arg)
{
    return FillPlaceholders(Msg(key), {arg});
}

QString DocumentPipeline::loadSummary(int entries, int groups, const QString& fileName)
{
    return FillPlaceholders(Msg(QStringLiteral("SBar")), {QString::number(entries), QString::number(groups), fileName});
}

void DocumentPipeline::showReaderMessage(const QString& key, const QString& arg)
{
    // A newer format is a warning the user acknowledges; the other defects are errors.
    const MsgKind kind = key == QLatin1String("ErrVersion") ? MsgKind::Plain : MsgKind::Error;
    ShowMsg(readerMessageText(key, arg), kind, MsgOK);
}

bool DocumentPipeline::OpenDocument(const QString& path, const QByteArray* source)
{
    // A copy downloaded from FTP is no file here: it would be recorded as one of the working folder.
    if (!source)
        emit documentOpening(path);
    const QString previousPassword = m_doc.MetaPassword;
    if (!AskMetaPassword(TBoiteMetaPass::Enter, m_doc.MetaPassword, path))
        return false;

    // LoadDocument suspends the views' repainting only while it replaces the content: the
    // messages of a wrong password or a damaged file are shown over live views.
    const LoadOutcome outcome = LoadDocument(path, false, source);
    if (outcome == LoadOutcome::Unreadable) {
        // The previous document is still the one open; the password typed for the other file
        // goes, wiped.
        secureWipe(m_doc.MetaPassword);
        m_doc.MetaPassword = previousPassword;
    }
    if (outcome != LoadOutcome::Loaded)
        return false;

    emit documentCommandsEnabled();
    m_doc.CurrentPath = path;
    emit titleChanged();
    m_doc.SetModified(false);
    return true;
}

docfile::OpenedDocument DocumentPipeline::ReadDocumentFile(const QString& path, const QByteArray* source, TDoc& target)
{
    const StreamMessageSink sink = [this](const QString& key, const QString& arg) { showReaderMessage(key, arg); };
    docfile::OpenedDocument opened = source ? docfile::openBytes(*source, path, m_doc.MetaPassword, sink)
                                            : docfile::openFile(path, m_doc.MetaPassword, sink);
    switch (opened.status) {
    case docfile::ReadStatus::Failed:
        if (opened.outOfMemory)
            opened.error = Msg(QStringLiteral("Memoire"));
        else if (opened.damaged)
            opened.error = Msg(QStringLiteral("Altere"));
        else if (opened.tooLarge)
            opened.error = FillPlaceholders(Msg(QStringLiteral("DocTropGros")),
                                            {QString::number(docfile::kMaxDocumentBytes >> 20)});
        if (!opened.error.isEmpty())
            opened.error = ioErrorText(path, opened.error);
        break;
    case docfile::ReadStatus::BadPassword:
        target = opened.header;
        ShowMsg(Msg(QStringLiteral("BadPass")), MsgKind::Error, MsgOK);
        break;
    case docfile::ReadStatus::Ok:
        target = opened.header;
        break;
    }
    return opened;
}

DocumentPipeline::LoadOutcome DocumentPipeline::LoadDocument(const QString& path, bool append, const QByteArray* source)
{
    docfile::OpenedDocument opened = ReadDocumentFile(path, source, m_doc.LocalDoc);
    if (opened.status == docfile::ReadStatus::Failed) {
        ShowMsg(opened.error, MsgKind::Error, MsgOK);
        return LoadOutcome::Unreadable;
    }
    if (opened.status == docfile::ReadStatus::BadPassword) {
        m_doc.SetModified(false);
        secureWipe(m_doc.MetaPassword); // the failed attempt leaves no copy of what was typed
        m_doc.CurrentPath.clear();
        emit titleChanged();
        return LoadOutcome::WrongPassword;
    }

    m_doc.FtpMode = source != nullptr;
    emit ftpModeChanged(m_doc.FtpMode);
    emit syncCheckChanged(m_doc.LocalDoc.SyncOn);
    if (m_doc.LocalDoc.SyncOn && !source)
        emit syncDownloadRequested();

    const LoadOutcome outcome = LoadRecords(opened, append, m_doc.LocalDoc.FileName);
    if (outcome == LoadOutcome::Loaded && !append)
        docfile::adoptStrongKey(m_doc, opened);
    return outcome;
}

DocumentPipeline::LoadOutcome DocumentPipeline::LoadRecords(docfile::OpenedDocument& opened, bool append,
                                                            const QString& fileName)
{
    // Defects of the records are shown once the views hold the new content and paint again: a
    // message box runs the event loop, which must neither paint rows of entries that are gone
    // nor leave the previous document's picture behind the box.
    QList<std::pair<QString, QString>> messages;
    RecordsResult records;
    {
        emit viewsSuspended(true);
        ScopeExit resume([this] { emit viewsSuspended(false); });
        emit contentAboutToBeReplaced(append);
        records =
            docfile::readRecordsConsuming(opened, m_doc, append, [&messages](const QString& key, const QString& arg) {
                messages.append({key, arg});
            });
        emit contentReplaced(append);
    }
    for (const auto& m : std::as_const(messages))
        showReaderMessage(m.first, m.second);
    if (!records.ok) {
        // What was read is kept for rescue, untitled: a later Save must not write this partial
        // content over the file of the document that was open before.
        ShowMsg(records.outOfMemory ? Msg(QStringLiteral("Memoire")) : records.error, MsgKind::Error, MsgOK);
        m_doc.CurrentPath.clear();
        emit titleChanged();
        m_doc.SetModified(true);
        return LoadOutcome::Broken;
    }

    emit statusText(loadSummary(records.entries, records.groups, fileName));
    if (!append)
        emit showFirstGroup();
    if (!fileName.isEmpty())
        emit recentFileRead(fileName);
    return LoadOutcome::Loaded;
}

std::optional<QByteArray> DocumentPipeline::EncipherForFtp(QString* error)
{
    // Counted like a save; a failure leaves the counter and date as they were, since nothing went.
    const qint32 count = m_doc.LocalDoc.SaveCount;
    const DateTime date = m_doc.LocalDoc.SaveDate;
    const QString lineage = m_doc.LocalDoc.Reserved1;
    docfile::countSave(m_doc.LocalDoc);
    try {
        return docfile::encipheredDocument(m_doc);
    } catch (const std::bad_alloc&) {
        m_doc.LocalDoc.SaveCount = count;
        m_doc.LocalDoc.SaveDate = date;
        m_doc.LocalDoc.Reserved1 = lineage;
        if (error)
            *error = Msg(QStringLiteral("Memoire"));
        return std::nullopt;
    }
}

bool DocumentPipeline::SaveDocument(const QString& path, bool counted, QString* error)
{
    m_doc.CurrentPath = path;
    if (counted)
        docfile::countSave(m_doc.LocalDoc);
    QByteArray enciphered;
    try {
        enciphered = docfile::encipheredDocument(m_doc);
    } catch (const std::bad_alloc&) {
        if (error)
            *error = Msg(QStringLiteral("Memoire"));
        return false;
    }

    // A file marked read-only is not replaced, even though its folder would allow it.
    const QFileInfo info(path);
    if (info.exists() && !info.isWritable()) {
        if (error)
            *error = ioErrorText(path, qt_error_string(EACCES));
        return false;
    }
    const docfile::WriteResult written = docfile::writeFileAtomically(path, enciphered);
    if (!written.ok) {
        if (error)
            *error = ioErrorText(path, written.error);
        return false;
    }

    if (m_doc.LocalDoc.SyncOn)
        emit syncUploadRequested(enciphered);
    return true;
}

bool DocumentPipeline::ChangeMetaPassword()
{
    return AskNewMetaPassword(m_doc.CurrentPath);
}

bool DocumentPipeline::AskNewMetaPassword(const QString& path)
{
    bool strongContainer = m_doc.LocalDoc.Protection.isStrong();
    if (!AskMetaPasswordAndProtection(m_doc.MetaPassword, strongContainer, path))
        return false;
    docfile::setProtection(m_doc, strongContainer);
    return true;
}

DocumentPipeline::MergeReport DocumentPipeline::MergeDocument(const QString& path)
{
    MergeReport report;
    QString password;
    if (!AskMetaPassword(TBoiteMetaPass::Enter, password, path))
        return report;

    const StreamMessageSink sink = [this](const QString& key, const QString& arg) { showReaderMessage(key, arg); };
    const docfile::OpenedDocument opened = docfile::openFile(path, password, sink);
    secureWipe(password);
    if (opened.status == docfile::ReadStatus::Failed) {
        const QString error = opened.damaged    ? Msg(QStringLiteral("Altere"))
                              : opened.tooLarge ? FillPlaceholders(Msg(QStringLiteral("DocTropGros")),
                                                                   {QString::number(docfile::kMaxDocumentBytes >> 20)})
                                                : opened.error;
        ShowMsg(error.isEmpty() ? error : ioErrorText(path, error), MsgKind::Error, MsgOK);
        report.outcome = MergeOutcome::Unreadable;
        return report;
    }
    if (opened.status == docfile::ReadStatus::BadPassword) {
        ShowMsg(Msg(QStringLiteral("BadPass")), MsgKind::Error, MsgOK);
        report.outcome = MergeOutcome::WrongPassword;
        return report;
    }

    // As for a load: defects of the records are shown once the views hold the new content.
    QList<std::pair<QString, QString>> messages;
    emit viewsSuspended(true);
    ScopeExit resume([this] { emit viewsSuspended(false); });
    emit contentAboutToBeReplaced(true);
    const docfile::MergeResult merged =
        docfile::mergeRecords(opened, m_doc, [&messages](const QString& key, const QString& arg) {
            messages.append({key, arg});
        });
    emit contentReplaced(true);
    for (const auto& m : std::as_const(messages))
        showReaderMessage(m.first, m.second);
    report.firstAddedGroup = merged.firstAddedGroup;
    if (merged.groups > 0 || merged.entries > 0)
        m_doc.SetModified(true);
    if (!merged.recordsOk) {
        // What was read stays added; the open document keeps its name, its file is still its own.
        ShowMsg(merged.error, MsgKind::Error, MsgOK);
        report.outcome = MergeOutcome::Broken;
        return report;
    }

    QString status = loadSummary(merged.entries, merged.groups, merged.header.FileName);
    if (merged.datesClamped > 0)
        status += QStringLiteral("; ") + MsgCount(QStringLiteral("DatesFutures"), merged.datesClamped);
    emit statusText(status);
    emit recentFileRead(merged.header.FileName);
    report.outcome = MergeOutcome::Merged;
    return report;
}
