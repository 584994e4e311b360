#include "app/core/CommandEnabling.h"

#include "document/DocumentCommands.h"

EntryCommandsEnabling entryMenuEnabling(const SelectionState& s)
{
    EntryCommandsEnabling e;
    e.newEntry = s.groupSelected && !s.searchActive && !s.readOnlyLock;
    e.renameEntry = e.deleteEntry = e.cut = s.rowSelected && !s.readOnlyLock;
    e.copy = e.copyLogin = s.rowSelected;
    e.autoType = s.rowSelected;
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

const std::array<CommandId, 16>& commandsRefusedUnderLock()
{
    using C = CommandId;
    static const std::array<CommandId, 16> ids{C::ChangeMeta, C::SynchroFTP, C::NewEntree, C::NewGenerateur,
                                               C::RenEntree,  C::DelEntree,  C::Couper,    C::Coller,
                                               C::NewGrp,     C::RenGrp,     C::DelGrp,    C::Sauver,
                                               C::SauverSous, C::SauverFTP,  C::Fusionner, C::Importer};
    return ids;
}

namespace {

void setNewEntry(CommandSwitches& out, bool on)
{
    out.set(CommandId::NewEntree, on);
    out.set(CommandId::NewGenerateur, on);
}

void setGroupCommands(CommandSwitches& out, const SelectionState& s)
{
    const bool on = groupCommandsEnabled(s);
    out.set(CommandId::RenGrp, on);
    out.set(CommandId::DelGrp, on);
}

void setEntryMenu(CommandSwitches& out, const SelectionState& s)
{
    const EntryCommandsEnabling e = entryMenuEnabling(s);
    setNewEntry(out, e.newEntry);
    out.set(CommandId::RenEntree, e.renameEntry);
    out.set(CommandId::DelEntree, e.deleteEntry);
    out.set(CommandId::Couper, e.cut);
    out.set(CommandId::Copier, e.copy);
    out.set(CommandId::CopierLogin, e.copyLogin);
    out.set(CommandId::AutoType, e.autoType);
    out.set(CommandId::Coller, e.paste);
    out.set(CommandId::OpenURL, e.openUrl);
    out.set(CommandId::SetFTP, e.setFtp);
    out.setFtpChecked = e.setFtpChecked;
}

} // namespace

CommandSwitches enablingAt(EnablingMoment moment, const EnablingState& state)
{
    SelectionState s = state.selection;
    s.clipboardHoldsEntry = state.facts.clipboardHoldsEntry;
    const bool locked = state.documentLocked;
    CommandSwitches out;
    switch (moment) {
    case EnablingMoment::GroupReported:
        setNewEntry(out, newEntryEnabledAfterGroupReport(s));
        // Rename group (F2) and Delete group follow the selection too, not only the menus: the
        // key must reach the command whenever a group is selected.
        setGroupCommands(out, s);
        break;
    case EnablingMoment::RowSelection: {
        out.set(CommandId::Copier, copyEnabledOnRowChange(s));
        out.set(CommandId::CopierLogin, copyEnabledOnRowChange(s));
        out.set(CommandId::OpenURL, openUrlEnabledOnRowChange(s));
        // Likewise Rename entry (F2) and Delete entry follow the row selection.
        const EntryCommandsEnabling e = entryMenuEnabling(s);
        out.set(CommandId::RenEntree, e.renameEntry);
        out.set(CommandId::DelEntree, e.deleteEntry);
        out.set(CommandId::AutoType, e.autoType);
        break;
    }
    case EnablingMoment::RowAdded:
        setNewEntry(out, newEntryEnabledAfterRowAdded(s));
        break;
    case EnablingMoment::RowAboutToBeRemoved:
        setNewEntry(out, newEntryEnabledBeforeRowRemoved(s, state.facts.rowsLeft));
        break;
    case EnablingMoment::SearchResultsShown:
        setNewEntry(out, false);
        break;
    case EnablingMoment::GroupMenuOpening:
        setGroupCommands(out, s);
        break;
    case EnablingMoment::EntryMenuOpening:
        setEntryMenu(out, s);
        break;
    case EnablingMoment::ClipboardChanged: {
        // Their keys work without a menu opened first.
        const EntryCommandsEnabling e = entryMenuEnabling(s);
        out.set(CommandId::Couper, e.cut);
        out.set(CommandId::Coller, e.paste);
        break;
    }
    case EnablingMoment::CellCommitted:
        if (state.facts.committedColumn == int(EntryField::Password))
            out.set(CommandId::Copier, true);
        if (state.facts.committedColumn == int(EntryField::WebAddress))
            out.set(CommandId::OpenURL, !state.facts.committedTextEmpty);
        break;
    case EnablingMoment::DocumentShown:
        out.set(CommandId::NewGrp, !locked);
        out.set(CommandId::ChangeMeta, !locked);
        out.set(CommandId::Chercher, true);
        break;
    case EnablingMoment::MetaPasswordChosen:
        out.set(CommandId::ChangeMeta, true);
        break;
    case EnablingMoment::ReadOnlyLock:
        for (const CommandId id : commandsRefusedUnderLock())
            out.set(id, !locked);
        if (locked) {
            // The FTP entry mark changes the document too.
            out.set(CommandId::SetFTP, false);
        } else {
            // Unlocked, the selection and the clipboard decide again, as the menus would.
            setGroupCommands(out, s);
            setEntryMenu(out, s);
        }
        break;
    case EnablingMoment::SearchTurnedOn:
        out.set(CommandId::NewGrp, false);
        break;
    case EnablingMoment::SearchTurnedOff:
        out.set(CommandId::NewGrp, !locked);
        break;
    case EnablingMoment::GroupAdded:
        setNewEntry(out, !locked);
        out.set(CommandId::Chercher, true);
        break;
    case EnablingMoment::GroupDeleted:
        out.set(CommandId::Chercher, state.groupsExist);
        break;
    case EnablingMoment::OneTimeCodeChecked:
        out.set(CommandId::CopierCode, state.facts.codeFound);
        break;
    }
    return out;
}
