#include "app/gui/commands/GroupEntryCommands.h"

#include "app/gui/window/CommandEnabler.h"
#include "app/gui/window/Commands.h"

#include "app/gui/commands/ClipboardCommands.h"
#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "document/DocumentCommands.h"
#include "document/EntryIdentity.h"
#include "document/gui/StorableTextGuard.h"
#include "generator/gui/TfrmGenerateur.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "settings/Settings.h"

#include <QAction>

GroupEntryCommands::GroupEntryCommands(DocumentView* view, DocumentState& doc, Settings& settings,
                                       const Commands& commands, CommandEnabler& enabler, TfrmGenerateur& generator,
                                       QObject* parent)
    : QObject(parent), m_view(view), m_doc(doc), m_settings(settings), m_commands(commands), m_enabler(enabler),
      m_generator(generator)
{
    connect(view->groupModel(), &GroupTreeModel::groupRenamed, this, [this](TGroupe*, bool changed) {
        if (changed)
            m_doc.SetModified(true);
    });
    connect(view->liste(), &EntryListView::rowDropped, this, &GroupEntryCommands::entryRowDropped);
    connect(view->arbo(), &GroupTreeView::entryDropped, this, &GroupEntryCommands::entryDroppedOnGroup);
    connect(view->arbo(), &GroupTreeView::groupDropped, this, &GroupEntryCommands::groupDropped);
    connect(view->cellEditing(), &CellEditing::newEntryRequested, this, &GroupEntryCommands::NewEntry);
}

TfrmGenerateur& GroupEntryCommands::generator()
{
    if (!m_generatorGuarded) {
        // The result field feeds the new entry's password.
        StorableTextGuard::install(m_generator.resultField());
        m_generatorGuarded = true;
    }
    return m_generator;
}

void GroupEntryCommands::NewGroup()
{
    CellEditing* cells = m_view->cellEditing();
    if (cells->editor()->hasFocus() && !cells->edExit())
        return;
    GroupTreeModel* model = m_view->groupModel();
    // With groups in the tree, the new one goes under the selected group (or last at the top).
    TGroupe* parent = m_doc.Groups().empty() ? nullptr : m_view->selectedGroup();
    TGroupe* group = model->addGroup(Msg(QStringLiteral("Groupe")), parent);
    if (!group)
        return;
    GroupTreeView* tree = m_view->arbo();
    if (parent)
        tree->expand(model->indexForGroup(parent));
    m_view->selectGroup(group);
    m_enabler.refresh(EnablingMoment::GroupAdded);
    tree->setFocus(Qt::OtherFocusReason);
    tree->edit(model->indexForGroup(group));
    m_doc.SetModified(true);
}

void GroupEntryCommands::Delete()
{
    if (m_doc.ReadOnlyLock)
        return;
    GroupTreeView* tree = m_view->arbo();
    EntryListView* list = m_view->liste();
    if (tree->hasFocus() && m_view->selectedGroup()) {
        TGroupe* group = m_view->selectedGroup();
        const DocumentTicket ticket(m_doc);
        if (GroupDeletionNeedsConfirmation(*group, m_view->entryModel()->count()) &&
            ShowMsg(Msg(QStringLiteral("DeleteKey")), MsgKind::Confirmation, MsgYes | MsgNo) != MsgYes)
            return;
        // The answer was about this group of this document: a document closed meanwhile (the idle
        // lock) took the group with it.
        if (!ticket.stillOpen() || m_view->selectedGroup() != group || m_doc.ReadOnlyLock)
            return;
        m_view->clearEntryRows();
        DeleteGroupEntries(m_doc, group);
        m_view->groupModel()->removeGroup(group);
        m_enabler.refresh(EnablingMoment::GroupDeleted);
        m_doc.SetModified(ModifiedAfterGroupDeletion(m_doc));
        return;
    }
    if (list->hasFocus() && m_view->selectedEntry()) {
        TFeuille* asked = m_view->selectedEntry();
        const DocumentTicket ticket(m_doc);
        if (ShowMsg(Msg(QStringLiteral("DeleteEntree")), MsgKind::Confirmation, MsgYes | MsgNo) != MsgYes)
            return;
        TFeuille* entry = m_view->selectedEntry();
        if (!entry || !ticket.stillOpen() || entry != asked || m_doc.ReadOnlyLock)
            return;
        // The row goes first: its typed notes are stored while the entry still exists.
        m_view->removeEntryRow(m_view->rowOfEntry(entry));
        m_doc.removeEntry(m_doc.indexOfEntry(entry));
        m_doc.SetModified(true);
    }
}

void GroupEntryCommands::Rename()
{
    if (m_view->liste()->hasFocus() && m_view->selectedRow() >= 0) {
        m_view->cellEditing()->openNameCell();
        return;
    }
    GroupTreeView* tree = m_view->arbo();
    if (tree->hasFocus() && m_view->selectedGroup())
        tree->edit(m_view->groupModel()->indexForGroup(m_view->selectedGroup()));
}

void GroupEntryCommands::NewEntry()
{
    // Ctrl+Enter reaches here directly: the same rules as the command's enabling.
    if (m_doc.ReadOnlyLock || m_view->searchViewActive())
        return;
    CellEditing* cells = m_view->cellEditing();
    if (cells->isOpen() && !cells->edExit())
        return;
    std::unique_ptr<TFeuille> made = ::NewEntry(m_view->selectedGroup(), Msg(QStringLiteral("Element")));
    // Two entries made within one millisecond must still be two entries to a synchronising merge.
    made->Created = identity::freshIdentity(m_doc, made->Created);
    TFeuille* entry = m_doc.appendEntry(std::move(made));
    m_view->appendEntryRow(entry);
    if (m_view->autoHide() && m_view->notesPanelHidden())
        m_view->BoutonCacherClick();
    cells->openNameCell();
    m_doc.SetModified(true);
}

void GroupEntryCommands::NewWithGeneratedPassword()
{
    QAction* newEntry = m_commands[CommandId::NewEntree];
    if (!newEntry || !newEntry->isEnabled())
        return;
    newEntry->trigger();
    // The generator taking the focus commits the name cell first.
    CellEditing* cells = m_view->cellEditing();
    if (cells->isOpen() && !cells->edExit())
        return;
    TFeuille* created = m_view->selectedEntry();
    const DocumentTicket ticket(m_doc);
    TfrmGenerateur& window = generator();
    if (!window.execFor(m_settings))
        return;
    // The password is for the entry just made, in the document still open.
    TFeuille* entry = m_view->selectedEntry();
    if (!entry || entry != created || !ticket.stillOpen() || m_doc.ReadOnlyLock)
        return;
    entry->Password = window.result();
    m_view->entryModel()->setCellText(m_view->rowOfEntry(entry), EntryListModel::PasswordColumn, entry->Password);
    emit generatedPasswordReceived();
}

void GroupEntryCommands::SetReadOnlyLock(bool value)
{
    m_doc.ReadOnlyLock = value;
    if (value)
        m_view->cellEditing()->discard();
    m_view->setReadOnlyLock(value);
    m_view->liste()->setDragEnabled(!value);
    m_view->arbo()->setDragEnabled(!value);
    m_doc.SetModified(value ? m_doc.Modified : false);
    m_view->liste()->viewport()->update();
    // Once the view shows the lock: unlocked, the selection and the clipboard decide again.
    EnablingFacts facts;
    facts.clipboardHoldsEntry = ClipboardCommands::clipboardHoldsEntry();
    m_enabler.refresh(EnablingMoment::ReadOnlyLock, facts);
}

void GroupEntryCommands::entryRowDropped(int fromRow, int dropIndex)
{
    EntryListModel* model = m_view->entryModel();
    const int rows = model->count();
    if (m_doc.ReadOnlyLock || fromRow < 0 || fromRow >= rows || dropIndex < 0 || dropIndex > rows)
        return;
    const bool after = dropIndex == rows;
    const int targetRow = after ? rows - 1 : dropIndex;
    if (targetRow == fromRow)
        return;
    TFeuille* entry = model->entryAt(fromRow);
    TFeuille* target = model->entryAt(targetRow);
    if (!MoveEntryBeside(m_doc, entry, target, after))
        return;
    model->moveEntryRow(fromRow, dropIndex);
    m_view->selectRow(m_view->rowOfEntry(entry));
    m_doc.SetModified(true);
}

void GroupEntryCommands::entryDroppedOnGroup(TGroupe* group)
{
    TFeuille* entry = m_view->selectedEntry();
    if (m_doc.ReadOnlyLock || !group || !entry || entry->Group == group->Id)
        return;
    // The row goes while the entry is still where it was: typed notes are stored into it.
    m_view->removeEntryRow(m_view->rowOfEntry(entry));
    MoveEntryToGroup(*entry, *group);
    m_doc.SetModified(true);
}

void GroupEntryCommands::groupDropped(TGroupe* dragged, TGroupe* target)
{
    if (m_doc.ReadOnlyLock)
        return;
    const GroupPlacement p = PlaceGroupMove(m_doc, dragged, target);
    if (p.kind != GroupPlacement::Move)
        return;
    GroupTreeModel* model = m_view->groupModel();
    if (!model->moveGroup(dragged, p.parent, p.first ? 0 : -1))
        return;
    m_doc.SetModified(true);
    m_view->selectGroup(dragged);
    // It stays selected where it went, and is seen there: a collapsed target opens.
    m_view->arbo()->scrollTo(model->indexForGroup(dragged));
    m_view->arbo()->expand(model->indexForGroup(dragged));
    m_view->flushGroupChange();
}
