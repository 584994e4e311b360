#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "document/DocumentFile.h"
#include "document/SyncMerge.h"
#include "ftp/Synchronisation.h"
#include "ftp/TFileFTP.h"
#include "lang/LangTable.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

namespace {

const char kSyncHelp[] =
    "Usage: tresorin-cli sync [--merge] [--trust FINGERPRINT] FILE\n"
    "\n"
    "Synchronises the document FILE with its copy on the server, as Tresorin does after opening\n"
    "it, for scripts and timers. The server and the file come from the document's own\n"
    "synchronisation settings, or from its FTP item when it uses one; the server field decides the\n"
    "transport: a bare host name is FTP, ftps://, sftp:// and https:// (WebDAV) encrypt.\n"
    "  - the same save date on both sides: nothing is done;\n"
    "  - the copy on the server is newer: it replaces FILE, whose previous content is kept as\n"
    "    FILE.bak;\n"
    "  - FILE is newer, or the server has no copy yet: FILE is uploaded (under a temporary name,\n"
    "    then renamed over the old copy);\n"
    "  - with --merge, when the dates differ: the entries of both copies are merged (an entry\n"
    "    changed on both sides keeps its latest change; entries deleted on one side come back),\n"
    "    the result saved to FILE (the previous content kept as FILE.bak) and uploaded.\n"
    "A certificate that the system does not vouch for, or an SSH host key missing from\n"
    "~/.ssh/known_hosts, is refused with its fingerprint printed; check it with the server's\n"
    "administrator, then run again with --trust and that exact fingerprint (AB:CD:... for a\n"
    "certificate, SHA256:... for a host key): it is remembered as Tresorin remembers it (the\n"
    "settings file, or known_hosts). A certificate other than the one trusted (renewed by the\n"
    "server's administrator, or a server posing as this one) is refused with both fingerprints;\n"
    "--trust with the new one replaces the old. A changed host key is always refused.\n"
    "\n"
    "The meta password is read from the terminal, or as one line of standard input.\n"
    "Exit status: 0 done, 1 failure, 2 wrong meta password.";

struct Transfer
{
    QString error;
    QByteArray data;
    TrustProblem trust;
    bool missing = false;
    bool replacedMeanwhile = false;
};

Transfer run(TFileFTP* worker)
{
    Transfer out;
    QEventLoop loop;
    QObject::connect(worker, &TFileFTP::completed, &loop, [&out, &loop](TFileFTP* w) {
        out.error = w->ErrorText();
        out.data = w->takeData();
        out.trust = w->trustProblem();
        out.missing = w->remoteMissing();
        out.replacedMeanwhile = w->replacedMeanwhile();
        loop.quit();
    });
    worker->start();
    loop.exec();
    return out;
}

QString oneText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

class SyncRun
{
public:
    SyncRun(const QString& path, DocumentState& doc, const QString& trusted)
        : m_path(path), m_doc(doc), m_trusted(trusted)
    {
    }

    // A transfer; an unknown certificate or host key whose fingerprint is the one given with
    // --trust is recorded, and the transfer made again.
    bool transfer(const std::function<TFileFTP*(const TFileFTP::Parameters&)>& make, Transfer& out)
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            const TFileFTP::Parameters p = SyncTransferParameters(m_doc.LocalDoc, m_doc.ftpEntry());
            out = run(make(p));
            if (out.error.isEmpty())
                return true;
            const TrustProblem& t = out.trust;
            const bool accepted = attempt == 0 && !m_trusted.isEmpty() && t.fingerprint == m_trusted &&
                                  t.kind != TrustProblem::None && t.kind != TrustProblem::ChangedHostKey;
            if (!accepted)
                break;
            QString error;
            if (!RecordTrust(t, true, &error)) {
                m_error = error;
                return false;
            }
            cli::printErr(QStringLiteral("tresorin-cli sync: trusted %1").arg(t.fingerprint));
        }
        m_error = oneText(out.error);
        if (out.trust.kind == TrustProblem::UnknownCertificate || out.trust.kind == TrustProblem::UnknownHostKey)
            m_error += QStringLiteral("\nfingerprint: %1\nafter checking it, run again with --trust %1")
                           .arg(out.trust.fingerprint);
        else if (out.trust.kind == TrustProblem::ChangedCertificate)
            m_error += QStringLiteral("\nif the server's administrator confirms that its certificate was renewed "
                                      "as presented, run again with --trust %1 to trust it instead of the old one")
                           .arg(out.trust.fingerprint);
        return false;
    }

    // Uploads FILE as it is on disk, unless the copy on the server is no longer the one read.
    bool upload(const SyncStamp& expected)
    {
        Transfer head;
        if (!transfer([](const TFileFTP::Parameters& p) { return TFileFTP::CreateForHead(p); }, head))
            return false;
        const RemoteState state = CheckRemoteCopy(head.data, head.missing, m_doc.MetaPassword, expected);
        if (state == RemoteState::Changed || state == RemoteState::Foreign ||
            (state == RemoteState::Unchanged) != expected.known) {
            m_error = QStringLiteral("the copy on the server changed meanwhile: nothing was uploaded, run sync again");
            return false;
        }
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_error = QStringLiteral("%1: %2").arg(m_path, file.errorString());
            return false;
        }
        const QByteArray bytes = file.readAll();
        Transfer sent;
        if (!transfer([&bytes](const TFileFTP::Parameters& p) { return TFileFTP::CreateForDialog(p, false, bytes); },
                      sent))
            return false;
        if (sent.replacedMeanwhile) {
            m_error = cli::messageLine(QStringLiteral("SyncMemeMoment"));
            return false;
        }
        return true;
    }

    bool keepBackup()
    {
        const docfile::WriteResult kept = docfile::keepBackup(m_path);
        if (!kept.ok)
            m_error = QStringLiteral("%1 could not be kept as %2: %3 (nothing was changed)")
                          .arg(m_path, docfile::backupPath(m_path), kept.error);
        return kept.ok;
    }

    bool save(DocumentState& doc, bool counted)
    {
        const docfile::WriteResult w = docfile::saveFile(doc, m_path, counted);
        if (!w.ok)
            m_error = QStringLiteral("%1: %2").arg(m_path, cli::failureText(w.error, w.outOfMemory));
        return w.ok;
    }

    const QString& error() const { return m_error; }

private:
    QString m_path;
    DocumentState& m_doc;
    QString m_trusted;
    QString m_error;
};

} // namespace

int runSync(const QStringList& args)
{
    const QString command = QStringLiteral("sync");
    // "--trust" takes the fingerprint that follows it.
    QStringList rest;
    QString trusted;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--"))
            break;
        if (args[i] == QLatin1String("--trust")) {
            if (i + 1 >= args.size())
                return cli::fail(command, QStringLiteral("--trust needs a fingerprint"));
            trusted = args[i + 1];
            ++i;
            continue;
        }
        rest << args[i];
    }
    cli::Arguments parsed;
    if (const int status = cli::prepareCommand(command, rest, kSyncHelp, {QStringLiteral("--merge")}, 1, parsed);
        status >= 0)
        return status;
    const QString path = parsed.positional[0];

    DocumentState doc;
    if (const int status = cli::openDocumentWhole(command, path, doc, QStringLiteral("not synchronised"));
        status != ExitOk)
        return status;
    cli::MessagePrinter printer; // for the copy on the server
    if (!doc.LocalDoc.SyncOn)
        return cli::fail(command, QStringLiteral("%1 is not synchronised with a server").arg(path));
    const TFileFTP::Parameters p = SyncTransferParameters(doc.LocalDoc, doc.ftpEntry());
    if (p.ServerName.isEmpty() || p.RemotePath.isEmpty())
        return cli::fail(command, cli::messageLine(QStringLiteral("FTPVide")));
    if (!WinInetAvailable())
        return cli::fail(command, cli::messageLine(QStringLiteral("Wininet")));

    SyncRun sync(path, doc, trusted);
    Transfer head;
    if (!sync.transfer([](const TFileFTP::Parameters& q) { return TFileFTP::CreateForHead(q); }, head))
        return cli::fail(command, sync.error());
    if (head.missing) {
        if (!sync.upload(SyncStamp()))
            return cli::fail(command, sync.error());
        cli::printOut(QStringLiteral("uploaded %1: the server had no copy").arg(path));
        return ExitOk;
    }

    Transfer remote;
    if (!sync.transfer([](const TFileFTP::Parameters& q) { return TFileFTP::CreateForDialog(q, true); }, remote))
        return cli::fail(command, sync.error());
    docfile::OpenedDocument opened =
        docfile::openBytes(remote.data, QFileInfo(p.RemotePath).fileName(), doc.MetaPassword, printer.sink());
    remote.data.clear();
    if (!opened.ok())
        return cli::fail(command,
                         QStringLiteral("the copy on the server does not open with the meta password of %1").arg(path));
    const SyncStamp remoteStamp = SyncStamp::of(opened.header);
    const SyncChoice choice = CompareSaveDates(doc.LocalDoc.SaveDate, opened.header.SaveDate);
    if (choice == SyncChoice::KeepLocal) {
        cli::printOut(QStringLiteral("%1 is up to date").arg(path));
        return ExitOk;
    }

    if (parsed.has("--merge")) {
        DocumentState other;
        const RecordsResult records = docfile::readRecords(opened, other, false, printer.sink());
        if (!records.ok || printer.sawDamage())
            return cli::fail(command, QStringLiteral("the copy on the server is damaged: nothing was merged"));
        const SyncMergeResult merged = SyncMerge(doc, other);
        MergeSyncHeader(doc.LocalDoc, opened.header);
        if (!sync.keepBackup() || !sync.save(doc, true))
            return cli::fail(command, sync.error());
        if (!sync.upload(remoteStamp))
            return cli::fail(command, sync.error());
        cli::printOut(QStringLiteral("merged %1 with the copy on the server (%2 items added, %3 updated, %4 groups "
                                     "added), saved and uploaded; the previous file is kept as %5")
                          .arg(path)
                          .arg(merged.entriesAdded)
                          .arg(merged.entriesUpdated)
                          .arg(merged.groupsAdded)
                          .arg(docfile::backupPath(path)));
        return ExitOk;
    }

    if (choice == SyncChoice::ProposeLocal) {
        if (!sync.upload(remoteStamp))
            return cli::fail(command, sync.error());
        cli::printOut(QStringLiteral("uploaded %1: it is newer than the copy on the server").arg(path));
        return ExitOk;
    }

    // The copy on the server is newer: it replaces the content; the header keeps the local
    // parameters, as the window does.
    DocumentState taken;
    taken.LocalDoc = doc.LocalDoc;
    TakeFtpHeader(taken.LocalDoc, opened.header);
    taken.MetaPassword = doc.MetaPassword;
    const RecordsResult records = docfile::readRecords(opened, taken, false, printer.sink());
    if (!records.ok || printer.sawDamage())
        return cli::fail(command, QStringLiteral("the copy on the server is damaged: %1 was not changed").arg(path));
    if (!sync.keepBackup() || !sync.save(taken, false))
        return cli::fail(command, sync.error());
    cli::printOut(QStringLiteral("took the copy on the server, which is newer; the previous %1 is kept as %2")
                      .arg(path, docfile::backupPath(path)));
    return ExitOk;
}
