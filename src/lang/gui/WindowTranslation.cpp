#include "lang/gui/WindowTranslation.h"

#include "lang/LangTable.h"
#include "lang/ShortcutText.h"
#include "platform/SafeFileWrite.h"
#include "platform/Win1252.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QTabWidget* owningTabWidget(const QWidget* page)
{
    // A page's parent is the tab widget's internal stack, whose parent is the tab widget.
    QWidget* stack = page->parentWidget();
    if (!stack)
        return nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
    if (tabs && tabs->indexOf(const_cast<QWidget*>(page)) >= 0)
        return tabs;
    return nullptr;
}

bool insideToolBar(const QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<QToolBar*>(p))
            return true;
        if (p->isWindow())
            break;
    }
    return false;
}

QHeaderView* visibleHeader(const QObject* o)
{
    if (auto* tree = qobject_cast<const QTreeView*>(o))
        return tree->header()->isHidden() ? nullptr : tree->header();
    if (auto* table = qobject_cast<const QTableView*>(o))
        return table->horizontalHeader()->isHidden() ? nullptr : table->horizontalHeader();
    return nullptr;
}

// Columns of a list: those of its model, less hidden ones at the end and those beyond the
// count the list names (a column the view only shows at times, such as a search column, takes
// no field).
int listColumnCount(const QAbstractItemView* view)
{
    const QAbstractItemModel* model = view->model();
    if (!model)
        return 0;
    int n = model->columnCount();
    bool fixed = false;
    const int tableColumns = view->property(kTableColumnsProperty).toInt(&fixed);
    if (fixed && tableColumns >= 0)
        n = std::min(n, tableColumns);
    auto hidden = [view](int c) {
        if (auto* tree = qobject_cast<const QTreeView*>(view))
            return tree->isColumnHidden(c);
        if (auto* table = qobject_cast<const QTableView*>(view))
            return table->isColumnHidden(c);
        return false;
    };
    while (n > 0 && hidden(n - 1))
        --n;
    return n;
}

QString captionOf(const QObject* o, ControlKind kind)
{
    switch (kind) {
    case ControlKind::Label:
        return static_cast<const QLabel*>(o)->text();
    case ControlKind::PushButton:
    case ControlKind::SpeedButton:
    case ControlKind::ToolBarButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        return static_cast<const QAbstractButton*>(o)->text();
    case ControlKind::LineEdit:
        // What a text field holds is the user's (an FTP login, a generated password, a search), not
        // a caption: it never goes to a translator's file.
        return QString();
    case ControlKind::GroupBox:
        return static_cast<const QGroupBox*>(o)->title();
    case ControlKind::TabPage: {
        auto* page = static_cast<const QWidget*>(o);
        QTabWidget* tabs = owningTabWidget(page);
        return tabs->tabText(tabs->indexOf(const_cast<QWidget*>(page)));
    }
    case ControlKind::MenuItem:
    case ControlKind::Command:
        return static_cast<const QAction*>(o)->text();
    default:
        return QString();
    }
}

void setCaption(QObject* o, ControlKind kind, const QString& text)
{
    switch (kind) {
    case ControlKind::Label:
        static_cast<QLabel*>(o)->setText(text);
        break;
    case ControlKind::PushButton:
    case ControlKind::SpeedButton:
    case ControlKind::ToolBarButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        static_cast<QAbstractButton*>(o)->setText(text);
        break;
    case ControlKind::LineEdit:
        static_cast<QLineEdit*>(o)->setText(text);
        break;
    case ControlKind::GroupBox:
        static_cast<QGroupBox*>(o)->setTitle(text);
        break;
    case ControlKind::TabPage: {
        auto* page = static_cast<QWidget*>(o);
        QTabWidget* tabs = owningTabWidget(page);
        tabs->setTabText(tabs->indexOf(page), text);
        break;
    }
    case ControlKind::MenuItem:
    case ControlKind::Command:
        static_cast<QAction*>(o)->setText(text);
        break;
    default:
        break;
    }
}

void setPrimaryShortcut(QAction* action, const QKeySequence& primary)
{
    // Only the first shortcut is the table's; the others (Ctrl+* and its companions for the
    // hide-passwords command) are the command's own and stay. An empty first entry keeps their
    // place while the command has no primary shortcut.
    QList<QKeySequence> list = action->shortcuts();
    const QList<QKeySequence> secondary = list.isEmpty() ? QList<QKeySequence>() : list.mid(1);
    if (primary.isEmpty() && secondary.isEmpty()) {
        action->setShortcuts({});
        return;
    }
    action->setShortcuts(QList<QKeySequence>{primary} + secondary);
}

QString escapeForExport(QString text, bool crLfOnly)
{
    text.replace(kCrLf, QStringLiteral("|"));
    if (!crLfOnly)
        text.replace(QLatin1Char('\n'), QLatin1Char('|'));
    return text;
}

QString withOptional(const QString& first, const QString& second)
{
    return second.isEmpty() ? first : first + QLatin1Char('~') + second;
}

} // namespace

ControlKind controlKind(const QObject* o)
{
    if (!o)
        return ControlKind::Other;
    if (auto* action = qobject_cast<const QAction*>(o)) {
        if (action->property(kCategoryProperty).isValid())
            return ControlKind::Command;
        if (action->isSeparator() || action->text() == QLatin1String("-"))
            return ControlKind::Other;
        return ControlKind::MenuItem;
    }
    auto* w = qobject_cast<const QWidget*>(o);
    if (!w)
        return ControlKind::Other;
    if (qobject_cast<const QLabel*>(w))
        return ControlKind::Label;
    if (qobject_cast<const QPushButton*>(w))
        return ControlKind::PushButton;
    if (qobject_cast<const QLineEdit*>(w))
        return ControlKind::LineEdit;
    if (qobject_cast<const QToolButton*>(w))
        return insideToolBar(w) ? ControlKind::ToolBarButton : ControlKind::SpeedButton;
    if (qobject_cast<const QCheckBox*>(w))
        return ControlKind::CheckBox;
    if (qobject_cast<const QRadioButton*>(w))
        return ControlKind::RadioButton;
    if (qobject_cast<const QGroupBox*>(w))
        return ControlKind::GroupBox;
    if (qobject_cast<const QPlainTextEdit*>(w))
        return ControlKind::MultiLine;
    if (qobject_cast<const QTextEdit*>(w) && !qobject_cast<const QTextBrowser*>(w))
        return ControlKind::MultiLine;
    if (qobject_cast<const QTreeView*>(w) && !visibleHeader(w))
        return ControlKind::TreeView;
    if (owningTabWidget(w))
        return ControlKind::TabPage;
    if (visibleHeader(w))
        return ControlKind::ListView;
    return ControlKind::Other;
}

bool isBoundToCommand(const QObject* o)
{
    auto* button = qobject_cast<const QToolButton*>(o);
    return button && button->defaultAction();
}

QString hintOf(const QObject* o)
{
    if (auto* action = qobject_cast<const QAction*>(o)) {
        if (!action->statusTip().isEmpty())
            return action->statusTip();
        // Without a tool tip of its own an action answers its caption: that is no hint.
        const QString tip = action->toolTip();
        return tip == action->iconText() ? QString() : tip;
    }
    if (auto* w = qobject_cast<const QWidget*>(o))
        return w->toolTip().isEmpty() ? w->statusTip() : w->toolTip();
    return QString();
}

void setHint(QObject* o, const QString& hint)
{
    if (auto* action = qobject_cast<QAction*>(o)) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
    } else if (auto* w = qobject_cast<QWidget*>(o)) {
        w->setToolTip(hint);
        w->setStatusTip(hint);
    }
}

QString commandMenuTitle(const QAction* command)
{
    return command ? command->property(kMenuTitleProperty).toString() : QString();
}

namespace {
// Children in creation order. A stack of pages (the pages of a tab widget) reorders its children
// as pages are raised; its pages are taken in page order instead.
QList<QObject*> orderedChildren(QObject* parent)
{
    QList<QObject*> children = parent->children();
    if (auto* stack = qobject_cast<QStackedWidget*>(parent)) {
        QList<QObject*> pages;
        for (int i = 0; i < stack->count(); ++i)
            pages << stack->widget(i);
        for (QObject* c : std::as_const(children))
            if (!pages.contains(c))
                pages << c;
        return pages;
    }
    return children;
}

void collectDepthFirst(QObject* parent, QList<QObject*>& out)
{
    const QList<QObject*> children = orderedChildren(parent);
    for (QObject* c : children) {
        // A dialog the window owns is a window of its own, with its own section of the table.
        if (qobject_cast<QDialog*>(c))
            continue;
        out << c;
        collectDepthFirst(c, out);
    }
}
} // namespace

QList<QObject*> namedControls(QWidget* window)
{
    QList<QObject*> out;
    if (!window)
        return out;
    QSet<QObject*> seen;
    auto take = [&](QObject* o) {
        // Qt's own inner parts (scroll area viewports, tab stacks, ...) are named "qt_...".
        if (!o || seen.contains(o) || o->objectName().isEmpty() || o->objectName().startsWith(QLatin1String("qt_")))
            return;
        seen.insert(o);
        out << o;
    };
    QList<QObject*> all;
    collectDepthFirst(window, all);
    for (QObject* o : std::as_const(all))
        take(o);
    const QList<QAction*> own = window->actions();
    for (QAction* a : own)
        take(a);
    return out;
}

void ApplyAccessibleNames(QWidget* window)
{
    if (!window)
        return;
    static const char kOwnName[] = "tresorinAccessibleName";
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // A spin box's inner field is reached through the spin box, which its label names.
        if (w->focusPolicy() == Qt::NoFocus || qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
            continue;
        const QString hint = hintOf(w);
        if (!hint.isEmpty())
            w->setAccessibleDescription(hint);
        // A name given here follows the language; one given otherwise stays.
        if (!w->accessibleName().isEmpty() && !w->property(kOwnName).toBool())
            continue;
        QString name;
        if (auto* label = qobject_cast<const QLabel*>(w); !label) {
            // A label that names the control reads before anything else.
            for (QLabel* l : window->findChildren<QLabel*>())
                if (l->buddy() == w)
                    name = l->text();
        }
        if (name.isEmpty()) {
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                name = button->text();
        }
        if (name.isEmpty())
            name = hint;
        // Inside a page of tabs: the page's title; otherwise the window's.
        for (QWidget* p = w; name.isEmpty() && p && p != window; p = p->parentWidget())
            if (QTabWidget* tabs = owningTabWidget(p))
                name = tabs->tabText(tabs->indexOf(p));
        if (name.isEmpty())
            name = window->windowTitle();
        name.remove(QLatin1Char('&'));
        w->setAccessibleName(name.trimmed());
        w->setProperty(kOwnName, true);
    }
}

void ApplyLangTable(QWidget* window)
{
    if (!window)
        return;
    const auto names = qScopeGuard([window] { ApplyAccessibleNames(window); });
    const QString name = window->objectName();
    QString caption = langLookup(name);
    if (!caption.isEmpty())
        window->setWindowTitle(caption.replace(QLatin1Char('|'), kCrLf));

    const QList<QObject*> controls = namedControls(window);
    for (QObject* o : controls) {
        const ControlKind kind = controlKind(o);
        if (kind == ControlKind::Other || isBoundToCommand(o))
            continue;
        QString value = langLookup(name + QLatin1Char('.') + o->objectName());
        if (value.isEmpty())
            continue;
        value.replace(QLatin1Char('|'), kCrLf);
        const QString f1 = ExtractField(1, value);
        const QString f2 = ExtractField(2, value);
        switch (kind) {
        case ControlKind::LineEdit:
            if (!f1.isEmpty())
                setCaption(o, kind, f1);
            setHint(o, f2);
            break;
        case ControlKind::MultiLine:
        case ControlKind::TreeView:
            setHint(o, f1);
            break;
        case ControlKind::TabPage:
            setCaption(o, kind, f1);
            break;
        case ControlKind::Command: {
            auto* action = static_cast<QAction*>(o);
            action->setText(f1);
            action->setProperty(kMenuTitleProperty, f2);
            setHint(action, ExtractField(3, value));
            setPrimaryShortcut(action, QKeySequence(parseShortcutText(ExtractField(4, value))));
            break;
        }
        case ControlKind::ListView: {
            auto* view = static_cast<QAbstractItemView*>(o);
            const int n = listColumnCount(view);
            for (int c = 0; c < n; ++c)
                view->model()->setHeaderData(c, Qt::Horizontal, ExtractField(c + 1, value));
            setHint(view, ExtractField(n + 1, value));
            break;
        }
        default:
            setCaption(o, kind, f1);
            setHint(o, f2);
            break;
        }
    }
}

QStringList exportLangLines(QWidget* window)
{
    QStringList lines;
    if (!window)
        return lines;
    const QString name = window->objectName();
    lines << name + QLatin1Char('=') + escapeForExport(window->windowTitle(), false);

    const QList<QObject*> controls = namedControls(window);
    for (QObject* o : controls) {
        const ControlKind kind = controlKind(o);
        if (kind == ControlKind::Other || isBoundToCommand(o))
            continue;
        const QString prefix = name + QLatin1Char('.') + o->objectName() + QLatin1Char('=');
        const QString hint = hintOf(o);
        switch (kind) {
        case ControlKind::MultiLine:
        case ControlKind::TreeView:
            if (!hint.isEmpty())
                lines << prefix + escapeForExport(hint, true);
            break;
        case ControlKind::Command: {
            auto* action = static_cast<QAction*>(o);
            QString value = escapeForExport(action->text(), false) + QLatin1Char('~') +
                            escapeForExport(action->property(kCategoryProperty).toString(), false);
            const QString shortcut = action->shortcut().isEmpty() ? QString() : shortcutText(action->shortcut()[0]);
            if (!shortcut.isEmpty())
                value += QLatin1Char('~') + escapeForExport(hint, false) + QLatin1Char('~') + shortcut;
            else if (!hint.isEmpty())
                value += QLatin1Char('~') + escapeForExport(hint, false);
            lines << prefix + value;
            break;
        }
        case ControlKind::ListView: {
            auto* view = static_cast<QAbstractItemView*>(o);
            QStringList titles;
            const int n = listColumnCount(view);
            for (int c = 0; c < n; ++c)
                titles << escapeForExport(view->model()->headerData(c, Qt::Horizontal).toString(), false);
            lines << prefix + withOptional(titles.join(QLatin1Char('~')), escapeForExport(hint, false));
            break;
        }
        default: {
            const QString caption = captionOf(o, kind);
            if (caption.isEmpty() && hint.isEmpty())
                break;
            lines << prefix + withOptional(escapeForExport(caption, false), escapeForExport(hint, false));
            break;
        }
        }
    }
    return lines;
}

bool ExportLangTable(QWidget* window, const QString& path)
{
    QByteArray bytes;
    const QStringList lines = exportLangLines(window);
    for (const QString& line : lines)
        bytes += win1252::fromUnicode(line) + "\r\n";
    return platform::writeFileSafely(path, bytes, platform::NewFileAccess::Default).ok;
}
