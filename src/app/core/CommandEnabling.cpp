#include "app/core/CommandEnabling.h"

EntryCommandsEnabling entryMenuEnabling(const SelectionState& s)
{
    EntryCommandsEnabling e;
    e.newEntry = s.groupSelected && !s.searchActive && !s.readOnlyLock;
    e.renameEntry = e.deleteEntry = e.cut = s.rowSelected && !s.readOnlyLock;
    e.copy = s.rowSelected;
    e.paste = s.groupSelected && s.clipboardHoldsEntry && !s.readOnlyLock;
    e.openUrl = s.rowSelected && s.rowHasWebAddress;
    e.setFtp = s.rowSelected && s.rowHasWebAddress && !s.readOnlyLock;
    e.setFtpChecked = s.rowSelected && s.rowIsFtpEntry;
    return e;
}

bool groupCommandsEnabled(const SelectionState& s)
{
    return s.groupSelected && !s.readOnlyLock;
}

bool newEntryEnabledAfterGroupReport(const SelectionState& s)
{
    return s.groupSelected && !s.readOnlyLock;
}

bool newEntryEnabledAfterRowAdded(const SelectionState& s)
{
    return !s.searchActive && !s.readOnlyLock;
}

bool newEntryEnabledBeforeRowRemoved(const SelectionState& s, int rowsLeft)
{
    return rowsLeft > 0 && !s.searchActive;
}

bool copyEnabledOnRowChange(const SelectionState& s)
{
    return s.rowSelected;
}

bool openUrlEnabledOnRowChange(const SelectionState& s)
{
    return s.rowSelected && s.rowHasWebAddress;
}
