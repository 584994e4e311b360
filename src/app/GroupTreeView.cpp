#include "app/GroupTreeView.h"

#include "app/GroupTreeModel.h"
#include "app/Icons.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Draws the selected node with an open folder.
class GroupNodeDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

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

    // The selection keeps its colours when the tree loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    const QString hint = QStringLiteral("Organisez vos mots de passe en groupes");
    setToolTip(hint);
    setStatusTip(hint);
}

GroupTreeModel* GroupTreeView::groupModel() const
{
    return qobject_cast<GroupTreeModel*>(model());
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
