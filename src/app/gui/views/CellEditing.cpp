#include "app/gui/views/CellEditing.h"

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/NotesEdit.h"
#include "document/DocumentCommands.h"
#include "document/gui/StorableTextGuard.h"
#include "platform/gui/ClipboardAccess.h"
#include "platform/gui/Sound.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int kIconWidth = EntryListDelegate::kIconSize;

bool isTableKey(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TCellEditor

TCellEditor::TCellEditor(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("ed"));
    setContextMenuPolicy(Qt::DefaultContextMenu);
    hide();
}

QMenu* TCellEditor::createContextMenu()
{
    QMenu* menu = createStandardContextMenu();
    RouteClipboardActions(
        menu, [this](bool cut) { emit copyRequested(cut); }, this);
    return menu;
}

void TCellEditor::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

bool TCellEditor::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && isTableKey(static_cast<QKeyEvent*>(event)->key())) {
        // These keys belong to the editor, whatever the window's shortcuts say.
        event->accept();
        return true;
    }
    // Tab and Shift+Tab would move the focus before keyPressEvent sees them.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            handleKey(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TCellEditor::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event))
        return;
    // As in the system's own fields, Left or Right over a selection only drops it, leaving the
    // caret at the selection's start or end: a freshly opened cell does not move at the first Left.
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    if (plain && hasSelectedText() && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const int start = selectionStart();
        const int end = start + static_cast<int>(selectedText().size());
        setCursorPosition(event->key() == Qt::Key_Left ? start : end);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool TCellEditor::handleKey(QKeyEvent* event)
{
    CellKeyState s;
    s.key = event->key();
    s.modifiers = event->modifiers();
    s.cursor = cursorPosition();
    s.selectionStart = hasSelectedText() ? selectionStart() : -1;
    s.textLength = static_cast<int>(text().size());
    const CellMove move = ClassifyCellKey(s);
    if (move == CellMove::None)
        return false;
    event->accept();
    // Tab reaches the table as Enter without the Ctrl state: Ctrl+Tab makes no entry.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    emit moveRequested(move, !tab && (event->modifiers() & Qt::ControlModifier));
    return true;
}

void TCellEditor::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A menu opening over the editor leaves it as it is.
    if (event->reason() != Qt::PopupFocusReason)
        emit focusLost();
}

// ---------------------------------------------------------------------------------------------
// CellEditing

CellEditing::CellEditing(DocumentView* view) : QObject(view), m_view(view)
{
    EntryListView* list = view->liste();
    m_editor = new TCellEditor(list->viewport());
    StorableTextGuard::install(m_editor);
    connect(m_editor, &TCellEditor::moveRequested, this, &CellEditing::move);
    connect(m_editor, &TCellEditor::focusLost, this, [this] {
        if (isOpen())
            edExit();
    });
    m_viewport = list->viewport();
    m_viewport->installEventFilter(this);
    connect(list->header(), &QHeaderView::sectionResized, this, &CellEditing::reposition);
    connect(list->horizontalScrollBar(), &QScrollBar::valueChanged, this, &CellEditing::reposition);
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, &CellEditing::reposition);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        // The editor belongs to the selected row: another row selected ends it first.
        if (isOpen() && !m_committing && m_view->selectedEntry() != m_entry)
            edExit();
    });
    // Whole content replaced: the entries may be gone already, nothing is stored.
    connect(view->entryModel(), &QAbstractItemModel::modelAboutToBeReset, this, &CellEditing::discard);
}

bool CellEditing::isOpen() const
{
    return m_editor->isVisible();
}

int CellEditing::horizontalOffset() const
{
    return m_view->liste()->horizontalScrollBar()->value();
}

QRect CellEditing::insideList(QRect place) const
{
    // The last column reaches the list's edge: the editor stops there rather than under the border.
    const int right = m_viewport ? m_viewport->width() - 1 : place.right();
    if (place.right() > right)
        place.setRight(std::max(place.left(), right));
    return place;
}

ListColumnWidths CellEditing::columnWidths() const
{
    const QHeaderView* header = m_view->liste()->header();
    return {header->sectionSize(0), header->sectionSize(1), header->sectionSize(2), header->sectionSize(3)};
}

int CellEditing::rowAtY(int y) const
{
    EntryListModel* model = m_view->entryModel();
    if (model->count() == 0)
        return -1;
    // Rows have one height; the first row's place gives every other one, also outside the view.
    const QRect first = m_view->liste()->visualRect(model->index(0, 0));
    if (first.height() <= 0 || y < first.top())
        return -1;
    const int row = (y - first.top()) / first.height();
    return row < model->count() ? row : -1;
}

bool CellEditing::OpenCellEditor(const QPoint& point)
{
    if (isOpen() && !edExit())
        return false;
    EntryListView* list = m_view->liste();
    const int row = rowAtY(point.y());
    if (row < 0)
        return false;
    const int scrolled = horizontalOffset();
    if (point.x() < kIconWidth && scrolled == 0)
        return false;
    if (m_view->selectedRow() != row)
        m_view->selectRow(row);
    TFeuille* entry = m_view->selectedEntry();
    if (!entry)
        return false;

    const QModelIndex index = m_view->entryModel()->index(row, 0);
    const int rowLeft = list->header()->sectionViewportPosition(0);
    const CellSpan span = CellAtOffset(point.x() - rowLeft, kIconWidth, columnWidths());
    list->scrollTo(index);
    // The cell comes into view sideways too.
    QScrollBar* sideways = list->horizontalScrollBar();
    const int visible = list->viewport()->width();
    if (span.left < sideways->value())
        sideways->setValue(span.left);
    else if (span.left + span.width > sideways->value() + visible)
        sideways->setValue(std::min(span.left, span.left + span.width - visible));

    m_entry = entry;
    m_editor->column = span.column;
    // A screen reader says which field is being edited: the column's title.
    m_editor->setAccessibleName(
        m_view->liste()->model()->headerData(span.column, Qt::Horizontal).toString().remove(QLatin1Char('&')));
    m_editor->unscrolledLeft = span.left + 5;
    m_editor->setText(EntryFieldText(*entry, EntryField(span.column)));
    m_editor->openedText = m_editor->text();
    const QRect rowRect = list->visualRect(index);
    m_editor->setGeometry(insideList(
        QRect(m_editor->unscrolledLeft - horizontalOffset(), rowRect.top() + 2, span.width - 2, rowRect.height())));
    m_editor->show();
    m_editor->raise();
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->selectAll();
    return true;
}

bool CellEditing::openNameCell()
{
    const int row = m_view->selectedRow();
    if (row < 0)
        return false;
    EntryListView* list = m_view->liste();
    const QModelIndex index = m_view->entryModel()->index(row, 0);
    list->scrollTo(index);
    return OpenCellEditor(QPoint(kIconWidth, list->visualRect(index).top()));
}

bool CellEditing::edExit()
{
    if (!isOpen() || m_committing)
        return true;
    DocumentState* doc = m_view->document();
    TFeuille* entry = m_view->selectedRow() >= 0 ? m_entry : nullptr;
    if (!doc || !entry || doc->indexOfEntry(entry) < 0) {
        discard();
        return true;
    }
    m_committing = true;
    m_view->liste()->setFocus(Qt::OtherFocusReason);
    const QString text = m_editor->text();
    const int column = m_editor->column;
    if (CommitEntryField(*doc, *entry, EntryField(column), text) == FieldCommit::EmptyNameRefused) {
        platform::playSound(platform::SystemSound::Exclamation);
        m_editor->setFocus(Qt::OtherFocusReason);
        m_committing = false;
        return false;
    }
    m_view->entryModel()->setCellText(m_view->rowOfEntry(entry), column, text);
    EnablingFacts facts;
    facts.committedColumn = column;
    facts.committedTextEmpty = text.isEmpty();
    m_view->refreshCommands(EnablingMoment::CellCommitted, facts);
    m_editor->hide();
    m_entry = nullptr;
    m_committing = false;
    emit cellCommitted(entry, column);
    return true;
}

void CellEditing::discard()
{
    m_entry = nullptr;
    if (!m_editor->isVisible())
        return;
    m_committing = true;
    if (m_editor->hasFocus())
        m_view->liste()->setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    m_committing = false;
}

void CellEditing::reposition()
{
    if (!isOpen())
        return;
    const int row = m_view->rowOfEntry(m_entry);
    if (row < 0)
        return;
    const QRect rowRect = m_view->liste()->visualRect(m_view->entryModel()->index(row, 0));
    const QRect place =
        insideList(QRect(m_editor->unscrolledLeft - horizontalOffset(), rowRect.top() + 2,
                         OpenEditorWidth(m_editor->column, kIconWidth, columnWidths()), rowRect.height()));
    if (place != m_editor->geometry())
        m_editor->setGeometry(place);
}

void CellEditing::move(CellMove move, bool ctrl)
{
    const QRect g = m_editor->geometry();
    const int L = g.left();
    const int T = g.top();
    const int W = g.width();
    const int H = g.height();
    const int column = m_editor->column;
    if (move == CellMove::Escape)
        m_editor->setText(m_editor->openedText);
    if (!edExit())
        return;
    switch (move) {
    case CellMove::Left:
        OpenCellEditor(QPoint(L - 5, T));
        break;
    case CellMove::Right:
        if (!OpenCellEditor(QPoint(L + W + 5, T)) || m_editor->column == column) {
            const bool opened = OpenCellEditor(QPoint(kIconWidth + 1, T + H));
            if ((!opened || m_editor->column == column) && ctrl)
                emit newEntryRequested();
        }
        break;
    case CellMove::Up:
        OpenCellEditor(QPoint(L, T - 5));
        break;
    case CellMove::Down:
        OpenCellEditor(QPoint(L, T + H + 5));
        break;
    case CellMove::Escape:
    case CellMove::None:
        break;
    }
}

void CellEditing::ListeDblClick(const QPoint& point)
{
    if (m_view->readOnlyLock())
        return;
    // A double click on the icon belongs to the clipboard commands (it copies the entry).
    if (horizontalOffset() < 19 && point.x() < 20) {
        emit iconDoubleClicked(point);
        return;
    }
    if (OpenCellEditor(point) && m_autoCopy && !m_editor->text().isEmpty())
        emit autoCopyRequested(m_editor->text(), m_editor->column == EntryListModel::PasswordColumn);
}

bool CellEditing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_viewport && event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            ListeDblClick(mouse->position().toPoint());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
