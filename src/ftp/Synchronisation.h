#pragma once

#include "document/DocumentModel.h"

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

// The header of the local document when the FTP copy is taken: save counter and date, the
// synchronisation and FTP entry switches and the format come from the FTP copy, the creation date
// is the earlier one, and the FTP parameters stay the local ones.
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

// The ten rows of the file properties, captions through Msg(key). `remote` null, or with a save
// date of 0 (no FTP copy read), leaves the FTP column empty in every row.
QList<PropertyRow> FileProperties(const TDoc& local, const TDoc* remote);
