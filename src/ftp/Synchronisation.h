#pragma once

#include "document/DocumentModel.h"
#include "ftp/TFileFTP.h"

#include <QList>
#include <QString>

// The decisions of the synchronisation of a document with its FTP copy, apart from any window.

// Which copy is more recent, by the save dates alone.
enum class SyncChoice
{
    KeepLocal,    // equal dates: nothing to ask
    ProposeLocal, // the local copy is more recent: the question proposes it
    ProposeFtp    // the FTP copy is more recent: the question proposes it
};
SyncChoice CompareSaveDates(DateTime local, DateTime remote);

// The answer to the question of the file properties window. Closing the window (Cancelled) never
// replaces the local copy: it keeps whichever copy the user has, as Escape is expected to.
enum class PropertiesAnswer
{
    Cancelled,
    Ok,
    Yes,
    No
};

// True when the FTP copy replaces the local one: Yes when the FTP copy is proposed, an explicit No
// when the local one is.
bool TakesFtpCopy(SyncChoice choice, PropertiesAnswer answer);

// The header of the local document when the FTP copy is taken: save counter and date, lineage
// (Reserved1) and format come from the FTP copy, the creation date is the earlier one and the
// protection the stronger one. Where and how the document synchronises is the user's and never
// comes from a copy received: SyncOn, UseFtpEntry and the FTP parameters stay the local ones.
void TakeFtpHeader(TDoc& local, const TDoc& remote);

// One row of the file properties: the caption's message key, and the values of the local document
// and of the FTP copy (each already replaced by the row's default when empty).
struct PropertyRow
{
    QString key;
    QString local;
    QString ftp;
};

// A stored date as the system's short date and long time; the time left out at midnight; empty
// for 0.
QString PropertyDate(DateTime value);

// The twelve rows of the file properties, captions through Msg(key). `remote` null, or with a save
// date of 0 (no FTP copy read), leaves the FTP column empty in every row.
QList<PropertyRow> FileProperties(const TDoc& local, const TDoc* remote);

// --- the copy on the server: where, who it is, and whether another computer saved it ------------

// The parameters of the document's synchronisation transfers, as the FTP dialog loads them: the
// document's own, or those of its FTP entry when it uses one (server, file, port, login and
// password from the entry; passive mode only ever switched on). With the certificate pinned for
// that server, if any.
TFileFTP::Parameters SyncTransferParameters(const TDoc& doc, const TFeuille* ftpEntry);
// Adds the certificate the user pinned for the server of `p` (TLS transports only).
void AddPinnedCertificate(TFileFTP::Parameters& p);

// Records what the user accepted: an unknown certificate is pinned in the settings file, an
// unknown host key added to known_hosts. With `replacePin`, a changed certificate's pin is
// replaced too (only on the user's explicit word, the exact fingerprint typed). A changed host
// key is never replaced here: known_hosts is the user's, ssh-keygen -R removes an old key.
bool RecordTrust(const TrustProblem& problem, bool replacePin, QString* error);

// The save counter and date of the copy on the server as this computer last downloaded or
// uploaded it, for the open document.
struct SyncStamp
{
    bool known = false;
    qint32 SaveCount = 0;
    DateTime SaveDate = 0;

    static SyncStamp of(const TDoc& header) { return SyncStamp{true, header.SaveCount, header.SaveDate}; }
    bool matches(const TDoc& header) const
    {
        return known && header.SaveCount == SaveCount && header.SaveDate == SaveDate;
    }
};

// What the beginning of the copy on the server says before an upload replaces it.
enum class RemoteState
{
    Missing,   // no copy yet: the upload makes it
    Unchanged, // the copy this computer last read or wrote
    Changed,   // another computer saved in between
    Foreign    // the meta password does not open it (another document, or no document)
};
// `head` is the beginning of the copy (TFileFTP::CreateForHead); `header` receives its header
// when it could be read.
RemoteState CheckRemoteCopy(const QByteArray& head, bool missing, const QString& metaPassword, const SyncStamp& stamp,
                            TDoc* header = nullptr);

// The header after a synchronising merge with the copy on the server: the counter continues from
// the higher of the two (the save that follows counts one more), the creation date is the
// earlier one, the lineage is both chains (lineage::mergeLineage; the counted save that follows
// adds the result's id) and the protection the stronger one; the FTP parameters and switches
// stay the local ones.
void MergeSyncHeader(TDoc& local, const TDoc& remote);

// The rows "Transport" and "Server identity" of the file properties: "FTP", "SFTP"... and how the
// server proves who it is (nothing for FTP, the system's store or a pinned certificate for TLS,
// known_hosts for SSH). Empty without a server.
QString TransportOf(const TDoc& doc);
QString IdentityOf(const TDoc& doc);
