#include "ftp/Synchronisation.h"

#include "document/DocumentFile.h"
#include "document/Lineage.h"
#include "ftp/FtpParameters.h"
#include "ftp/Transport.h"
#include "ftp/TrustStore.h"
#include "lang/LangTable.h"

#include <QLocale>

#include <algorithm>

SyncChoice CompareSaveDates(DateTime local, DateTime remote)
{
    if (local > remote)
        return SyncChoice::ProposeLocal;
    if (local < remote)
        return SyncChoice::ProposeFtp;
    return SyncChoice::KeepLocal;
}

bool TakesFtpCopy(SyncChoice choice, PropertiesAnswer answer)
{
    switch (choice) {
    case SyncChoice::KeepLocal:
        return false;
    case SyncChoice::ProposeLocal:
        return answer == PropertiesAnswer::No;
    case SyncChoice::ProposeFtp:
        return answer == PropertiesAnswer::Yes;
    }
    return false;
}

void TakeFtpHeader(TDoc& local, const TDoc& remote)
{
    local.SaveCount = remote.SaveCount;
    local.SaveDate = remote.SaveDate;
    // The copy's lineage comes along: the local file is then the same version as the server's.
    local.Reserved1 = remote.Reserved1;
    local.FormatVersion = remote.FormatVersion;
    local.CreateDate = std::min(local.CreateDate, remote.CreateDate);
    // A copy saved with strong protection brings it along; taking an older compatible copy never
    // turns the protection the user chose off behind their back.
    if (remote.Protection.isStrong())
        local.Protection = remote.Protection;
}

QString PropertyDate(DateTime value)
{
    const QDateTime dt = datetime::toQDateTime(value);
    if (!dt.isValid())
        return QString();
    const QLocale locale = QLocale::system();
    QString text = locale.toString(dt.date(), QLocale::ShortFormat);
    if (dt.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(dt.time(), QLocale::LongFormat);
    return text;
}

QList<PropertyRow> FileProperties(const TDoc& local, const TDoc* remote)
{
    const QString unknown = Msg(QStringLiteral("Inconnu"));
    const QString no = Msg(QStringLiteral("Non"));
    const auto yesNo = [](bool value) { return Msg(value ? QStringLiteral("Oui") : QStringLiteral("Non")); };
    struct Column
    {
        QString values[12];
    };
    const auto column = [&](const TDoc& d) {
        Column c;
        c.values[0] = QString::number(d.SaveCount);
        c.values[1] = PropertyDate(d.SaveDate);
        c.values[2] = yesNo(d.SyncOn);
        c.values[3] = d.ServerName;
        c.values[4] = QString::number(d.PortNumber);
        c.values[5] = yesNo(d.PassiveMode);
        c.values[6] = d.UserName;
        c.values[7] = yesNo(!d.UserPassword.isEmpty());
        c.values[8] = d.RemotePath;
        c.values[9] = TransportOf(d);
        c.values[10] = IdentityOf(d);
        c.values[11] = QString::number(d.FormatVersion);
        return c;
    };
    static const char* const keys[12] = {"Version", "SauveDate", "SyncOn", "DServer",    "DPort",  "DPasv",
                                         "DUser",   "DPass",     "DFich",  "DTransport", "DTrust", "Format"};
    const QString defaults[12] = {unknown,   unknown,   QString(), QString(), QString(), no,
                                  QString(), QString(), QString(), QString(), QString(), unknown};
    const Column l = column(local);
    const bool hasRemote = remote && remote->SaveDate != 0;
    const Column r = hasRemote ? column(*remote) : Column();
    QList<PropertyRow> rows;
    for (int i = 0; i < 12; ++i) {
        PropertyRow row;
        row.key = QLatin1String(keys[i]);
        row.local = l.values[i].isEmpty() ? defaults[i] : l.values[i];
        if (hasRemote)
            row.ftp = r.values[i].isEmpty() ? defaults[i] : r.values[i];
        rows.append(row);
    }
    return rows;
}

TFileFTP::Parameters SyncTransferParameters(const TDoc& doc, const TFeuille* ftpEntry)
{
    TFileFTP::Parameters p;
    p.ServerName = doc.ServerName;
    p.PortNumber = doc.PortNumber <= 0 ? 21 : doc.PortNumber;
    p.PassiveMode = doc.PassiveMode;
    p.RemotePath = doc.RemotePath;
    p.UserName = doc.UserName;
    p.UserPassword = doc.UserPassword;
    if (doc.UseFtpEntry && ftpEntry) {
        const FtpEntryAddress address = ParseFtpEntry(ftpEntry->WebAddress);
        p.ServerName = address.server;
        p.PortNumber = address.port;
        if (address.passive)
            p.PassiveMode = true;
        p.RemotePath = address.path;
        p.UserName = ftpEntry->Login;
        p.UserPassword = ftpEntry->Password;
    }
    AddPinnedCertificate(p);
    return p;
}

void AddPinnedCertificate(TFileFTP::Parameters& p)
{
    const ServerAddress address = ParseServerAddress(p.ServerName, p.PortNumber);
    if (address.valid && (address.transport == Transport::Ftps || address.transport == Transport::WebDav))
        p.CertificatePin = trust::pinnedCertificate(HostPortKey(address));
}

bool RecordTrust(const TrustProblem& problem, bool replacePin, QString* error)
{
    switch (problem.kind) {
    case TrustProblem::UnknownCertificate:
        return trust::pinCertificate(problem.hostPort, problem.fingerprint, error);
    case TrustProblem::ChangedCertificate:
        return replacePin && trust::pinCertificate(problem.hostPort, problem.fingerprint, error);
    case TrustProblem::UnknownHostKey:
        return !problem.knownHostLine.isEmpty() && trust::addKnownHost(problem.knownHostLine, error);
    case TrustProblem::ChangedHostKey:
    case TrustProblem::None:
        break;
    }
    return false;
}

RemoteState CheckRemoteCopy(const QByteArray& head, bool missing, const QString& metaPassword, const SyncStamp& stamp,
                            TDoc* header)
{
    if (missing)
        return RemoteState::Missing;
    const docfile::OpenedDocument opened = docfile::openBytes(head, QString(), metaPassword, {});
    if (!opened.ok())
        return RemoteState::Foreign;
    if (header)
        *header = opened.header;
    return stamp.matches(opened.header) ? RemoteState::Unchanged : RemoteState::Changed;
}

void MergeSyncHeader(TDoc& local, const TDoc& remote)
{
    local.SaveCount = std::max(local.SaveCount, remote.SaveCount);
    local.CreateDate = std::min(local.CreateDate, remote.CreateDate);
    lineage::mergeLineage(local, remote);
    // A merge never weakens either copy: the server's strong protection comes along.
    if (!local.Protection.isStrong() && remote.Protection.isStrong())
        local.Protection = remote.Protection;
}

QString TransportOf(const TDoc& doc)
{
    if (doc.ServerName.isEmpty())
        return QString();
    return TransportName(ParseServerAddress(doc.ServerName, doc.PortNumber).transport);
}

QString IdentityOf(const TDoc& doc)
{
    if (doc.ServerName.isEmpty())
        return QString();
    const ServerAddress address = ParseServerAddress(doc.ServerName, doc.PortNumber);
    QString identity;
    switch (address.transport) {
    case Transport::Ftp:
        identity = Msg(QStringLiteral("TrustPlain"));
        break;
    case Transport::WebDavPlain:
        identity = Msg(QStringLiteral("TrustLoopback"));
        break;
    case Transport::Sftp:
        identity = Msg(QStringLiteral("TrustKnownHosts"));
        break;
    case Transport::Ftps:
    case Transport::WebDav: {
        const QString pin = address.valid ? trust::pinnedCertificate(HostPortKey(address)) : QString();
        identity = pin.isEmpty() ? Msg(QStringLiteral("TrustSystem"))
                                 : Msg(QStringLiteral("TrustPinned")).replace(QLatin1String("%s"), pin);
        break;
    }
    }
    return identity;
}
