#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QObject;
class QWidget;

// Applying a language table to a window, and the translator's export of a window's texts.
//
// A window is named by its objectName ("frmTresorin", "BoiteOptions", ...); its controls,
// commands and menu items by theirs. A table row "<window>.<name>=<fields>" applies to the
// object of that name, without regard to letter case. What each "~"-separated field sets
// depends on the kind of the object (see ControlKind).

// Dynamic property of a command: its fixed design-time category ("Fichier", "Edition",
// "Groupe", "Element", "Outils", "?"). A QAction that has it is a command.
inline constexpr char kCategoryProperty[] = "category";
// Dynamic property set on a command by a table: its menu title (field 2), not shown on it.
inline constexpr char kMenuTitleProperty[] = "menuTitle";
// Dynamic property of a list whose further columns come and go (the entry list's search path):
// the number of columns its table row titles; the next field is its hint, whatever columns are
// shown at the time.
inline constexpr char kTableColumnsProperty[] = "tableColumns";

enum class ControlKind
{
    Other,         // never changed by a table, never exported
    Label,         // QLabel: caption, hint
    PushButton,    // QPushButton: caption, hint
    LineEdit,      // QLineEdit: text (only when field 1 is not empty), hint
    SpeedButton,   // QToolButton outside a tool bar: caption, hint
    ToolBarButton, // QToolButton in a QToolBar: caption, hint
    MenuItem,      // QAction with a name, no category, not a separator: caption, hint
    CheckBox,      // caption, hint
    RadioButton,   // caption, hint
    GroupBox,      // title, hint
    MultiLine,     // QPlainTextEdit, QTextEdit (not a QTextBrowser): hint
    TreeView,      // QTreeView with its header hidden: hint
    TabPage,       // a page of a QTabWidget: its tab text
    Command,       // QAction with a category: caption, menu title, hint, shortcut
    ListView,      // item view with a visible header: one title per column, then the hint
};

ControlKind controlKind(const QObject* object);

// True for buttons and menu items that show a command (a QToolButton with a default action):
// they need no row of their own.
bool isBoundToCommand(const QObject* object);

// The hint of a widget or an action (tool tip, else status tip); for an action, only a tool tip
// that was set explicitly counts.
QString hintOf(const QObject* object);

// Sets the hint: tool tip and status tip alike.
void setHint(QObject* object, const QString& hint);

// The menu title a table gave the command, empty before any table.
QString commandMenuTitle(const QAction* command);

// The window's controls, commands and menu items that have a name, in the window's order:
// its descendants depth first in creation order, then its own actions not met among them.
QList<QObject*> namedControls(QWidget* window);

// Sets the texts of the window and of its controls from the active language table. Objects
// without a row, and a window without a caption row, keep their texts.
void ApplyLangTable(QWidget* window);

// Gives every control of the window that takes the focus an accessible name, for screen readers:
// the text of the label that names it, its own caption, its hint, the title of the page of tabs
// it is on, or the window's title, in that order; its hint becomes its description. Names given
// here follow the language each time the table is applied (ApplyLangTable calls this); a name
// set by the window itself stays.
void ApplyAccessibleNames(QWidget* window);

// The lines ExportLangTable writes, without line ends.
QStringList exportLangLines(QWidget* window);

// Writes the window's current texts as table lines (Windows-1252, CR LF) to `path`, replacing
// any file there. Returns false when the file could not be written; callers ignore it.
bool ExportLangTable(QWidget* window, const QString& path);
