#pragma once

#include "document/DocumentFile.h"
#include "document/DocumentModel.h"
#include "document/DocumentStream.h"

#include <QString>

// Merge: the groups and entries of another document are added to the open one, every one as a
// new group or entry (nothing is matched). The other document's header is read into a TDoc of its
// own and never reaches the open document: its counters, dates, FTP settings and synchronisation
// stay those of the open document, whose next save goes where it went before.
namespace docfile {

struct MergeResult
{
    ReadStatus status = ReadStatus::Failed; // of reading the merged file (mergeFile only)
    QString error;                          // the failure's text: file, header or records
    TDoc header;                            // the merged file's own header
    int groups = 0;                         // group records added
    int entries = 0;                        // entry records added
    bool recordsOk = false;                 // false when the records broke off (what was read is added)
    TGroupe* firstAddedGroup = nullptr;     // first top-level group the merge made, or null
    int datesClamped = 0;                   // dates in the future of the merged entries set to now
};

// Adds the records of an opened document (status Ok) to doc. Each top-level group of the merged
// document comes after the existing ones with its subtree; its entries are appended and belong to
// the groups made from the same stream. The FTP mark of a merged entry is dropped: the mark
// designates the open document's own FTP site (FtpEntryIndex keeps its entry). The merged
// entries' dates in the future become now, and each gets a fresh identity where its own is taken
// or missing (identity::makeIdentitiesFresh): the entries already there keep theirs. doc.LocalDoc,
// MetaPassword, CurrentPath, FtpMode and Modified are left alone; the caller marks the document
// modified when groups were added.
MergeResult mergeRecords(const OpenedDocument& opened, DocumentState& doc, const StreamMessageSink& sink);

// Reads the file at path under its own password and merges it into doc. A wrong password or a
// file that cannot be read leaves doc exactly as it was.
MergeResult mergeFile(const QString& path, const QString& password, DocumentState& doc, const StreamMessageSink& sink);

} // namespace docfile
