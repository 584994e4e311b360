#include "app/gui/window/CommandEnabler.h"

#include "app/gui/views/DocumentView.h"
#include "app/gui/window/Commands.h"
#include "document/DocumentModel.h"

#include <QAction>

CommandEnabler::CommandEnabler(const Commands& commands, DocumentView& view, QObject* parent)
    : QObject(parent), m_commands(commands), m_view(view)
{
    connect(&view, &DocumentView::commandsRefreshRequested, this, &CommandEnabler::refresh);
}

void CommandEnabler::refresh(EnablingMoment moment, const EnablingFacts& facts)
{
    EnablingState state;
    state.selection = m_view.selectionState();
    state.facts = facts;
    if (const DocumentState* doc = m_view.document()) {
        state.documentLocked = doc->ReadOnlyLock;
        state.groupsExist = !doc->Groups().empty();
    }
    const CommandSwitches switches = enablingAt(moment, state);
    for (int i = 0; i < kCommandCount; ++i)
        if (const std::optional<bool> on = switches.at(CommandId(i)))
            m_commands[CommandId(i)]->setEnabled(*on);
    if (switches.setFtpChecked)
        m_commands[CommandId::SetFTP]->setChecked(*switches.setFtpChecked);
}
