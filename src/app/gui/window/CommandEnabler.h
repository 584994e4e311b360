#pragma once

#include "app/core/CommandEnabling.h"

#include <QObject>

class Commands;
class DocumentView;

// The one place that switches the enabling of the main window's commands. Whoever sees a moment
// that changes enabling (the view, the command classes, the window) asks for a refresh of that
// moment; the enabler reads the state of now (the view's selection and search, the document's
// read-only lock and groups) and applies the windowless rules of CommandEnabling.
class CommandEnabler : public QObject
{
    Q_OBJECT
public:
    // Answers the view's requests too.
    CommandEnabler(const Commands& commands, DocumentView& view, QObject* parent = nullptr);

    void refresh(EnablingMoment moment, const EnablingFacts& facts = {});

private:
    const Commands& m_commands;
    DocumentView& m_view;
};
