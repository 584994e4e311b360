#pragma once

#include "app/core/CommandId.h"

#include <QList>
#include <QString>

#include <array>

class QAction;
class QWidget;

// The commands of the main window, made once from one table (name, fixed category, built-in
// French caption and hint, shortcut, initial enabling, check item, icon), owned by the window
// they are made for.
class Commands
{
public:
    static constexpr int kCount = int(CommandId::Count);

    explicit Commands(QWidget* owner);

    QAction* operator[](CommandId id) const { return m_actions[size_t(id)]; }
    // The command of that object name (language tables, tests); null for none.
    QAction* byName(const QString& objectName) const;
    // Every command, in the table's order.
    QList<QAction*> all() const;
    // The recent-file command of slot 1 to 4.
    static CommandId recentFile(int slot);

    // Where each command appears, as lists of ids with separators.
    static const QList<CommandId>& fileMenu();
    static const QList<CommandId>& editMenu();
    static const QList<CommandId>& groupMenu();
    static const QList<CommandId>& entryMenu(); // also the list's pop-up menu
    static const QList<CommandId>& toolsMenu();
    static const QList<CommandId>& helpMenu();
    static const QList<CommandId>& openDropDown();
    static const QList<CommandId>& saveDropDown();
    static const QList<CommandId>& toolBarAfterSave(); // the tool bar after its two drop-down buttons

private:
    std::array<QAction*, kCount> m_actions{};
};
