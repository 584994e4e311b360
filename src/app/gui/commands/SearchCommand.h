#pragma once

#include <QObject>
#include <QString>

#include <functional>

class CommandEnabler;
class DocumentState;
class Commands;
class DocumentView;
class QAction;

// The search filter (ActionChercher, a check command): turned on, it asks for a text and replaces
// the group view by every entry of the document that holds it in any field, with the group path
// in a fifth column; turned off, the tree and the group view come back. The results are a
// snapshot taken when the search is turned on.
class SearchCommand : public QObject
{
    Q_OBJECT
public:
    SearchCommand(DocumentView* view, DocumentState& doc, const Commands& commands, CommandEnabler& enabler,
                  QObject* parent = nullptr);

    // The command ran: its check mark was toggled first; this runs the state it now shows.
    void ActionChercherExecute();
    // Off from the other commands (New, Open, recent files, Merge): the mark removed and the
    // view brought back, when a search is on.
    void turnOff();

    // The active search text with A-Z lower-cased; empty while no search is on.
    const QString& filterText() const { return m_filterText; }

private:
    void turnOn();
    void showGroupView();

    DocumentView* m_view;
    DocumentState& m_doc;
    const Commands& m_commands;
    CommandEnabler& m_enabler;
    QString m_filterText;
};
