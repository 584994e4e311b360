#include "app/gui/commands/SearchCommand.h"

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

SearchCommand::SearchCommand(DocumentView* view, DocumentState& doc, const Commands& commands,
                             QObject* parent)
    : QObject(parent), m_view(view), m_doc(doc), m_commands(commands)
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
    if (QAction* newGroup = m_commands[CommandId::NewGrp])
        newGroup->setEnabled(false);
    const entrysearch::Result result = entrysearch::Search(m_doc, m_filterText);
    m_view->showSearchResults(result.entries, result.paths);
    // The web column keeps the width it was fitted to.
    EntryListView* list = m_view->liste();
    list->setColumnWidth(EntryListModel::WebColumn, list->columnWidth(EntryListModel::WebColumn));
}

void SearchCommand::showGroupView()
{
    m_filterText.clear();
    if (QAction* newGroup = m_commands[CommandId::NewGrp])
        newGroup->setEnabled(!m_doc.ReadOnlyLock);
    m_view->endSearchView();
}
