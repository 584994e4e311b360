#include "app/gui/commands/SearchCommand.h"

#include "app/gui/window/CommandEnabler.h"
#include "app/gui/window/Commands.h"

#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "document/DocumentModel.h"
#include "document/EntrySearch.h"
#include "lang/LangTable.h"
#include "platform/gui/InputBox.h"

#include <QAction>

SearchCommand::SearchCommand(DocumentView* view, DocumentState& doc, const Commands& commands, CommandEnabler& enabler,
                             QObject* parent)
    : QObject(parent), m_view(view), m_doc(doc), m_commands(commands), m_enabler(enabler)
{
}

void SearchCommand::ActionChercherExecute()
{
    QAction* search = m_commands[CommandId::Chercher];
    if (search && search->isChecked())
        turnOn();
    else
        showGroupView();
}

void SearchCommand::turnOff()
{
    if (m_filterText.isEmpty() && !m_view->searchViewActive())
        return;
    if (QAction* search = m_commands[CommandId::Chercher])
        search->setChecked(false);
    showGroupView();
}

void SearchCommand::turnOn()
{
    CellEditing* cells = m_view->cellEditing();
    if (cells->editor()->hasFocus() && !cells->edExit()) {
        m_commands[CommandId::Chercher]->setChecked(false);
        return;
    }
    const QString text = InputBox(m_view->window(), Msg(QStringLiteral("Filtre1")), Msg(QStringLiteral("Filtre2")));
    m_filterText = entrysearch::FilterText(text);
    if (m_filterText.isEmpty()) {
        m_commands[CommandId::Chercher]->setChecked(false);
        return;
    }
    m_enabler.refresh(EnablingMoment::SearchTurnedOn);
    const entrysearch::Result result = entrysearch::Search(m_doc, m_filterText);
    m_view->showSearchResults(result.entries, result.paths);
    // The web column keeps the width it was fitted to.
    EntryListView* list = m_view->liste();
    list->setColumnWidth(EntryListModel::WebColumn, list->columnWidth(EntryListModel::WebColumn));
}

void SearchCommand::showGroupView()
{
    m_filterText.clear();
    m_enabler.refresh(EnablingMoment::SearchTurnedOff);
    m_view->endSearchView();
}
