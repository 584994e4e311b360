#pragma once

#include "app/core/CommandId.h"

#include <array>
#include <cstddef>
#include <optional>

// The enabling rules of the main window's commands, as plain functions of the window's state.
//
// Enabling follows what just happened, not the state alone: each command is switched at the
// moments that concern it and keeps its last switch in between. After the last row of a group was
// removed, for instance, New entry stays off until the group is reported again or a menu opens.
// enablingAt() says, for one moment, which commands change and to what; the window applies it.

struct SelectionState
{
    bool groupSelected = false;
    bool rowSelected = false;
    bool rowHasWebAddress = false; // the selected row's entry has a non-empty web address
    bool rowIsFtpEntry = false;
    bool searchActive = false;
    bool readOnlyLock = false; // the view shows the document under the read-only lock
    bool clipboardHoldsEntry = false;
};

struct EntryCommandsEnabling
{
    bool newEntry = false; // also New with generation
    bool renameEntry = false;
    bool deleteEntry = false;
    bool cut = false;
    bool copy = false;
    bool autoType = false; // Item > Auto-type: what Copy needs, a row
    bool copyLogin = false;
    bool paste = false;
    bool openUrl = false;
    bool setFtp = false;
    bool setFtpChecked = false;
};

// Element menu and the list's context menu, when they open.
EntryCommandsEnabling entryMenuEnabling(const SelectionState& s);
// Groupe menu and the tree's context menu: Rename group, Delete group.
bool groupCommandsEnabled(const SelectionState& s);
// New entry / New with generation after the tree reported its selection.
bool newEntryEnabledAfterGroupReport(const SelectionState& s);
// ... after a row was added to the list.
bool newEntryEnabledAfterRowAdded(const SelectionState& s);
// ... when a row is about to be removed; `rowsLeft` counts the rows that remain after it.
bool newEntryEnabledBeforeRowRemoved(const SelectionState& s, int rowsLeft);
// Copy and Copy login after a row was selected or deselected.
bool copyEnabledOnRowChange(const SelectionState& s);
// Open web site after a row was selected or deselected.
bool openUrlEnabledOnRowChange(const SelectionState& s);

// The moments at which enabling changes.
enum class EnablingMoment
{
    GroupReported,       // the tree reported its selection; the list shows the group's rows
    RowSelection,        // a row was selected or deselected
    RowAdded,            // a row was added to the list
    RowAboutToBeRemoved, // a row is about to leave the list (facts.rowsLeft remain)
    SearchResultsShown,  // the search results replaced the group's rows
    GroupMenuOpening,    // the Groupe menu or the tree's context menu opens
    EntryMenuOpening,    // the Element menu or the list's context menu opens
    ClipboardChanged,    // the clipboard or the selected row changed: Cut and Paste follow
    CellCommitted,       // the cell editor stored a cell (facts.committedColumn, committedTextEmpty)
    DocumentShown,       // a document was read, made new, or entries were imported into it
    MetaPasswordChosen,  // Save as chose a meta password, or a merge added to the document
    ReadOnlyLock,        // the read-only lock was switched on or off (documentLocked)
    SearchTurnedOn,      // the search filter is about to show its results
    SearchTurnedOff,     // the search filter went, the group view comes back
    GroupAdded,          // New group made a group
    GroupDeleted,        // Delete group took a group away (groupsExist: some are left)
    OneTimeCodeChecked,  // the selected entry's notes were read for a one-time code (facts.codeFound)
};

// What the moment itself tells, beyond the state of the window.
struct EnablingFacts
{
    bool clipboardHoldsEntry = false;
    int rowsLeft = 0;
    int committedColumn = -1; // an EntryField
    bool committedTextEmpty = true;
    bool codeFound = false;
};

struct EnablingState
{
    SelectionState selection;    // its clipboardHoldsEntry is facts.clipboardHoldsEntry
    bool documentLocked = false; // the document's read-only lock
    bool groupsExist = false;
    EnablingFacts facts;
};

// For each command: switched on, switched off, or left as it is.
struct CommandSwitches
{
    std::array<std::optional<bool>, kCommandCount> enabled{};
    std::optional<bool> setFtpChecked; // the check mark of the FTP entry command

    void set(CommandId id, bool on) { enabled[std::size_t(id)] = on; }
    std::optional<bool> at(CommandId id) const { return enabled[std::size_t(id)]; }
};

// The commands that would change or save the document: all off under the read-only lock.
const std::array<CommandId, 16>& commandsRefusedUnderLock();

// The switches of one moment.
CommandSwitches enablingAt(EnablingMoment moment, const EnablingState& state);
