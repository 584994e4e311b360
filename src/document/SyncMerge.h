#pragma once

#include "document/DocumentModel.h"

#include <QString>

#include <functional>

// What a synchronising merge did, counted against the local input.
struct SyncMergeResult
{
    int entriesAdded = 0;       // from the other side (conflict copies not included)
    int entriesUpdated = 0;     // local entries whose fields, group or dates changed
    int entriesDeleted = 0;     // local entries the merge removed (deleted on the other side)
    int groupsAdded = 0;        // groups the local document did not have
    int groupsDeleted = 0;      // local groups the merge removed
    int conflictCopies = 0;     // entries changed on both sides: the losing version kept beside
    int datesClamped = 0;       // dates in the future set to now (local and remote inputs)
    int identitiesAssigned = 0; // entries of the local and remote inputs given a new identity
    bool contentChanged = false;
    // False when the result holds exactly the local input's content: nothing to save.
    bool changed() const { return contentChanged; }
};

struct SyncMergeOptions
{
    // The name of a conflict copy: the entry's name marked with the save date of the copy the
    // losing version came from. The window and the command-line tool build it from their message;
    // without one, an English text is used.
    std::function<QString(const QString& name, DateTime saveDate)> conflictName;
    // The moment the dates are clamped against (the same for the three inputs); 0: now.
    DateTime now = 0;
};

// The three-way merge of two copies of one synchronised document against their last agreed copy,
// the base (null when there is none: first synchronisation, lost or unreadable base). One
// function for the window and the command-line tool. Pure: the inputs are not touched; `out`
// (which must be none of them) is emptied and receives the merged groups and entries, and its
// header is left to the caller. The save date of each side is its LocalDoc.SaveDate.
//
// The three inputs are first copied, their future dates clamped (identity::clampFutureDates)
// and given unique identities (identity::assignIdentities). Entries are then paired by identity:
// - one side only and not in the base: added there, kept; base and one side only: deleted on the
//   other side, gone when unchanged from the base, kept when changed; base only: gone;
// - both sides: field by field (name, login, password, web address, notes, group path): a value
//   equal on both sides stays, one changed from the base on one side only is taken, and two
//   changed to different values (or different values without a base) are a conflict: the later
//   ModifiedAt wins (on a tie the greater version, compared as text field by field, so that every
//   computer picks the same one), and the losing version is kept whole right after it, under a
//   fresh identity derived from its content, with its ModifiedAt and its name marked through
//   conflictName. ModifiedAt follows the version taken, the later one when fields of both combine.
// - the local FTP entry never takes remote changes: a remote version changed from the base is
//   kept as an unmarked conflict copy, and a remote deletion does not remove it. The result marks
//   the local FTP entry and no other.
// Groups are paired by path (names from the top, same-named siblings told apart by their rank):
// a group on both sides stays; on one side and not in the base it was added and stays, even
// empty; in the base and on one side only it was deleted on the other and stays only while an
// entry or a kept group lies below it; in the base only it goes. Without a base every group of
// both sides stays, and nothing is dropped.
// Order: local's order for what local holds, then what comes from the remote side only, in its
// order (a new group last among its parent's children). Swapping local and remote gives the same
// content (entries with their fields, identities and groups; group paths) whenever neither side
// has an FTP entry. Every step is linear or n log n: hostile inputs (a million entries sharing one
// identity, groups nested 10,000 deep) cannot make it quadratic or overflow the stack.
SyncMergeResult SyncMerge3(const DocumentState* base, const DocumentState& local, const DocumentState& remote,
                           const SyncMergeOptions& options, DocumentState& out);

// True when two documents hold the same groups (names, nesting, order) and the same entries (all
// fields, dates, groups, order, FTP mark). Headers are not compared.
bool SameDocumentContent(const DocumentState& a, const DocumentState& b);

// The earlier merge of two copies, by creation date and modification date alone, without a base:
// deleted entries come back and a change can be lost. Kept until its callers use SyncMerge3.
// Entries are paired by creation date (several with one date in document order), the later
// ModifiedAt wins whole (on a tie the open document's), groups are paired by path and what one
// side lacks is kept; entries without a creation date are added unless an equal one is there.
// The FTP mark stays the open document's. Nothing else of `doc` changes.
SyncMergeResult SyncMerge(DocumentState& doc, const DocumentState& other);
