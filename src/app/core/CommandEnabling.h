#pragma once

// The enabling rules of the group and entry commands, as plain functions of the view's state.

struct SelectionState
{
    bool groupSelected = false;
    bool rowSelected = false;
    bool rowHasWebAddress = false; // the selected row's entry has a non-empty web address
    bool rowIsFtpEntry = false;
    bool searchActive = false;
    bool readOnlyLock = false;
    bool clipboardHoldsEntry = false;
};

struct EntryCommandsEnabling
{
    bool newEntry = false; // also New with generation
    bool renameEntry = false;
    bool deleteEntry = false;
    bool cut = false;
    bool copy = false;
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
// Copy after a row was selected or deselected.
bool copyEnabledOnRowChange(const SelectionState& s);
// Open web site after a row was selected or deselected.
bool openUrlEnabledOnRowChange(const SelectionState& s);
