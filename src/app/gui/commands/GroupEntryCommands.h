#pragma once

#include "app/gui/window/Commands.h"

#include <QObject>

#include <functional>

class DocumentState;
class CommandEnabler;
class Commands;
class DocumentView;
class QAction;
class QString;
class TfrmGenerateur;
struct Settings;
struct TGroupe;

// The commands that create, delete and move groups and entries, and the read-only lock that
// refuses them. The decisions come from DocumentCommands; this class carries them out on the
// views (rows, tree nodes, selection, enabling) and asks the questions through ShowMsg. The main
// window owns it and wires its actions to it.
class GroupEntryCommands : public QObject
{
    Q_OBJECT
public:
    // `generator` is the generator window New with generated password shows.
    GroupEntryCommands(DocumentView* view, DocumentState& doc, Settings& settings, const Commands& commands,
                       CommandEnabler& enabler, TfrmGenerateur& generator, QObject* parent = nullptr);

    // ActionNewGrp: last child of the selected group (or last top-level group), named
    // Msg("Groupe"), selected, its name being edited.
    void NewGroup();
    // ActionDelGrp and ActionDelEntree: the focused view decides what goes.
    void Delete();
    // ActionRenGrp and ActionRenEntree: the name cell of the selected row when the list has the
    // focus, else the label of the selected group when the tree has it.
    void Rename();
    // ActionNewEntree (and Ctrl+Enter in the last cell): a new entry in the selected group, its
    // name cell open.
    void NewEntry();
    // actNewGenerateur: New entry, then the generator window; its OK fills the password.
    void NewWithGeneratedPassword();
    // Switches the lock that refuses every change of the document (the commands that would
    // change or save it are disabled; unlocked, the selection decides again).
    void SetReadOnlyLock(bool value);

    // Drops: a list row before row `dropIndex` (the row count: after the last row), a list row on
    // a group of the tree, a group of the tree on another (null: empty space).
    void entryRowDropped(int fromRow, int dropIndex);
    void entryDroppedOnGroup(TGroupe* group);
    void groupDropped(TGroupe* dragged, TGroupe* target);

signals:
    // New with generated password put the generator's password into the new entry.
    void generatedPasswordReceived();

private:
    TfrmGenerateur& generator();

    DocumentView* m_view;
    DocumentState& m_doc;
    Settings& m_settings;
    const Commands& m_commands;
    CommandEnabler& m_enabler;
    TfrmGenerateur& m_generator;
    bool m_generatorGuarded = false;
};
