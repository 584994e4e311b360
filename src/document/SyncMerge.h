#pragma once

#include "document/DocumentModel.h"

// The merge of two copies of the same document kept in step through a server (unlike File ›
// Merge, which adds another document whole). Both copies descend from one document, so:
// - an entry is the same entry on both sides when its creation date-time is the same (it stays
//   with the entry through copy, paste and moves); when a copy holds several entries with the
//   same one (a pasted duplicate), they pair up in document order;
// - of two versions of an entry, the one changed last (later ModifiedAt) wins whole: its fields
//   and its group; on a tie the open document's version stays;
// - groups are the same group when their paths of names from the top are the same;
// - what one side holds and the other lacks is kept: there is no history to tell an entry made on
//   one side from one deleted on the other, so deleted entries and groups come back;
// - entries without a creation date (written by old versions) cannot be paired: one is added
//   unless the document already holds one with the same group and fields.
// The FTP mark stays the open document's. Nothing else of `doc` changes: header, password, path;
// the caller marks the document modified when something changed.
struct SyncMergeResult
{
    int entriesAdded = 0;
    int entriesUpdated = 0;
    int groupsAdded = 0;
    bool changed() const { return entriesAdded || entriesUpdated || groupsAdded; }
};

SyncMergeResult SyncMerge(DocumentState& doc, const DocumentState& other);
