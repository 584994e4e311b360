#pragma once

#include "document/DocumentModel.h"

#include <QString>

// The decisions of the group and entry commands and of in-place editing, over the open document
// and without any window: what a commit writes into an entry and when it marks the document
// modified, which entries leave with a group, where a dragged entry or group lands. The window
// layer performs them on its views; every function here keeps FtpEntryIndex on its entry.

// The four texts of an entry that the cell editor edits, in list column order.
enum class EntryField
{
    Name = 0,
    Login = 1,
    Password = 2,
    WebAddress = 3,
};

QString EntryFieldText(const TFeuille& entry, EntryField field);

enum class FieldCommit
{
    EmptyNameRefused, // nothing was written
    Written,          // the field holds the text (changed or not)
};

// edExit's commit of one cell: an empty name is refused; a text that differs from the field
// marks the document modified; then, once the document is modified (by this change or an earlier
// one), ModifiedAt becomes now; the field takes the text.
FieldCommit CommitEntryField(DocumentState& doc, TFeuille& entry, EntryField field, const QString& text);

// The commit of the notes editor: a text that differs from Notes is stored, ModifiedAt becomes
// now and the document is marked modified. True when the notes changed.
bool CommitEntryNotes(DocumentState& doc, TFeuille& entry, const QString& notes);

// Removes every entry of the group and of all its subgroups, keeping the order of the others.
// Returns how many entries left.
int DeleteGroupEntries(DocumentState& doc, const TGroupe* group);

// Whether deleting a group asks first: it has subgroups or the list shows rows of it.
bool GroupDeletionNeedsConfirmation(const TGroupe& group, int listedRows);

// The Modified value after a group was deleted: false only for an untitled document left with no
// group.
bool ModifiedAfterGroupDeletion(const DocumentState& doc);

// The drop of a list row: takes `entry` out of Entries and puts it back just before `target`,
// or just after it when `after`. False (nothing changes) when entry is target or either is not
// in the document.
bool MoveEntryBeside(DocumentState& doc, TFeuille* entry, const TFeuille* target, bool after);

// The drop of a list row on a group: the entry joins the group, keeping its place in Entries.
// False when it already belongs to it.
bool MoveEntryToGroup(TFeuille& entry, const TGroupe& group);

// Where a group dragged in the tree and dropped on `target` (null: empty space) goes.
struct GroupPlacement
{
    enum Kind
    {
        Unchanged, // a drop that leaves the tree as it is, refused moves included
        Move,
    };
    Kind kind = Unchanged;
    TGroupe* parent = nullptr; // new parent, null for top level
    bool first = false;        // first child (true) or last child (false) of parent
};

// A drop on the group's own parent (for a top-level group: on empty space) moves a first child,
// or a top-level group, to the last place and any other child to the first place; a top-level
// group that is already last stays. Any other drop makes it the last child of the target (or the
// last top-level group). A drop on the group itself or into its own subtree changes nothing.
GroupPlacement PlaceGroupMove(const DocumentState& doc, TGroupe* dragged, TGroupe* target);
