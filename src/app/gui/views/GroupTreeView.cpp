#include "app/gui/views/GroupTreeView.h"

#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/window/Icons.h"
#include "document/DocumentModel.h"
#include "document/gui/StorableTextGuard.h"

#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <utility>
#include <vector>

namespace {

// Draws the selected node with an open folder.
class GroupNodeDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        // Group names are stored in the document like every other text.
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            StorableTextGuard::install(line);
        return editor;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_Selected)
            option->icon = tresorinIcon(QStringLiteral("folder-open"));
    }
};

} // namespace

GroupTreeView::GroupTreeView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("Arbo"));
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setItemDelegate(new GroupNodeDelegate(this));
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setStretchLastSection(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);

    // The selection keeps its colours when the tree loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(this, &QTreeView::expanded, this, &GroupTreeView::refuseTooDeep);

    const QString hint = QStringLiteral("Organisez vos mots de passe en groupes");
    setToolTip(hint);
    setStatusTip(hint);
}

GroupTreeModel* GroupTreeView::groupModel() const
{
    return qobject_cast<GroupTreeModel*>(model());
}

void GroupTreeView::setModel(QAbstractItemModel* newModel)
{
    if (model())
        disconnect(model(), &QAbstractItemModel::rowsMoved, this, nullptr);
    QTreeView::setModel(newModel);
    if (newModel)
        connect(newModel, &QAbstractItemModel::rowsMoved, this,
                [this](const QModelIndex&, int first, int last, const QModelIndex& destination, int row) {
                    collapseTooDeepBelow(destination, row, row + (last - first));
                });
}

int GroupTreeView::depthOf(const QModelIndex& index) const
{
    int depth = 0;
    // Through the groups themselves when it can: the keyboard's expand-all asks this of every node.
    if (const GroupTreeModel* m = groupModel(); m && index.model() == m) {
        const TGroupe* g = m->groupAt(index);
        for (g = g ? g->Parent : nullptr; g && depth < kMaxExpandedDepth; g = g->Parent)
            ++depth;
        return depth;
    }
    for (QModelIndex p = index.parent(); p.isValid() && depth < kMaxExpandedDepth; p = p.parent())
        ++depth;
    return depth;
}

void GroupTreeView::expandSubtree(const QModelIndex& index)
{
    if (!index.isValid() || !model())
        return;
    // Expanding node by node would lay the tree out again each time: one layout at the end.
    scheduleDelayedItemsLayout();
    // Iterative walk: the subtree may be a chain as deep as the file allows.
    std::vector<std::pair<QModelIndex, int>> pending{{index, depthOf(index)}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth >= kMaxExpandedDepth)
            continue;
        const int rows = model()->rowCount(node);
        if (rows == 0)
            continue;
        expand(node);
        for (int row = 0; row < rows; ++row)
            pending.emplace_back(model()->index(row, 0, node), depth + 1);
    }
}

void GroupTreeView::refuseTooDeep(const QModelIndex& index)
{
    if (depthOf(index) >= kMaxExpandedDepth)
        collapse(index);
}

void GroupTreeView::collapseTooDeepBelow(const QModelIndex& parent, int first, int last)
{
    if (!model())
        return;
    const int parentDepth = parent.isValid() ? depthOf(parent) : -1;
    // The view lays the moved rows out later: collapsing now costs no layout.
    std::vector<std::pair<QModelIndex, int>> pending;
    for (int row = first; row <= last; ++row)
        pending.emplace_back(model()->index(row, 0, parent), parentDepth + 1);
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (!isExpanded(node))
            continue; // nothing under a collapsed node is laid out
        if (depth >= kMaxExpandedDepth) {
            collapse(node);
            continue;
        }
        const int rows = model()->rowCount(node);
        for (int row = 0; row < rows; ++row)
            pending.emplace_back(model()->index(row, 0, node), depth + 1);
    }
}

TGroupe* GroupTreeView::currentGroup() const
{
    GroupTreeModel* m = groupModel();
    return m ? m->groupAt(currentIndex()) : nullptr;
}

void GroupTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        const QModelIndex idx = indexAt(event->position().toPoint());
        if (idx.isValid())
            setCurrentIndex(idx);
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void GroupTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    // After the selected node is removed the model moves the current node: select it too, so the
    // tree never shows a current node that is not the selected one.
    if (current.isValid() && selectionModel() && !selectionModel()->isSelected(current))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// ---------------------------------------------------------------------------------------------
// Drag and drop: groups moved inside the tree, entries dropped on a group

void GroupTreeView::startDrag(Qt::DropActions)
{
    m_dragged = currentGroup();
    if (!m_dragged)
        return;
    auto* data = new QMimeData;
    data->setData(QLatin1String(kGroupMimeType), QByteArray());
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    emit groupDragStarted();
    drag->exec(Qt::MoveAction);
    m_dragged = nullptr;
    emit groupDragFinished();
}

bool GroupTreeView::acceptsDrag(const QDropEvent* event) const
{
    const QMimeData* data = event->mimeData();
    // Groups of this tree anywhere; entry rows only over a group.
    if (event->source() == this && data->hasFormat(QLatin1String(kGroupMimeType)))
        return true;
    return qobject_cast<EntryListView*>(event->source()) &&
           data->hasFormat(QLatin1String(EntryListView::kRowMimeType)) &&
           indexAt(event->position().toPoint()).isValid();
}

void GroupTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    // Entry rows enter everywhere: whether they may drop is decided over each node.
    if (acceptsDrag(event) || (qobject_cast<EntryListView*>(event->source()) &&
                               event->mimeData()->hasFormat(QLatin1String(EntryListView::kRowMimeType))))
        event->acceptProposedAction();
    else
        event->ignore();
}

void GroupTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptsDrag(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void GroupTreeView::dropEvent(QDropEvent* event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    TGroupe* target = groupModel() ? groupModel()->groupAt(indexAt(event->position().toPoint())) : nullptr;
    if (event->mimeData()->hasFormat(QLatin1String(kGroupMimeType))) {
        TGroupe* dragged = m_dragged ? m_dragged : currentGroup();
        if (dragged)
            emit groupDropped(dragged, target);
    } else if (target) {
        emit entryDropped(target);
    }
}

void GroupTreeView::keyPressEvent(QKeyEvent* event)
{
    // The view would copy the text of its current cell by itself (a password among them) whenever
    // the program's own Copy is disabled: only the program's clipboard commands copy.
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void GroupTreeView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // The toolkit would open the next group's label at once; Tab leaves the tree as it does the
    // cell editor. The text was committed before this.
    const bool tabbed = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    QTreeView::closeEditor(editor, tabbed ? QAbstractItemDelegate::NoHint : hint);
    if (tabbed)
        emit renameLeftByTab();
}

void GroupTreeView::setEmptyHint(const QString& text)
{
    m_emptyHint = text;
    viewport()->update();
}

void GroupTreeView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    // A new document has no group, so New entry is disabled: the empty tree says what comes first.
    if (m_emptyHint.isEmpty() || (model() && model()->rowCount() > 0))
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const QRect area = viewport()->rect().adjusted(6, 6, -6, -6);
    painter.drawText(area, Qt::AlignTop | Qt::AlignHCenter | Qt::TextWordWrap, m_emptyHint);
}
