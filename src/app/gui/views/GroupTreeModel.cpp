#include "app/gui/views/GroupTreeModel.h"

#include "app/gui/window/Icons.h"
#include "document/DocumentModel.h"

GroupTreeModel::GroupTreeModel(QObject* parent) : QAbstractItemModel(parent)
{
}

void GroupTreeModel::setDocument(DocumentState* doc)
{
    beginResetModel();
    m_doc = doc;
    endResetModel();
}

void GroupTreeModel::reset()
{
    beginResetModel();
    endResetModel();
}

TGroupe* GroupTreeModel::groupAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<TGroupe*>(index.internalPointer());
}

QModelIndex GroupTreeModel::indexForGroup(const TGroupe* group) const
{
    if (!m_doc || !group)
        return QModelIndex();
    const int row = group->indexInParent(m_doc->Groups());
    if (row < 0)
        return QModelIndex();
    return createIndex(row, 0, const_cast<TGroupe*>(group));
}

TGroupe* GroupTreeModel::addGroup(const QString& name, TGroupe* parent)
{
    if (!m_doc)
        return nullptr;
    const int row = parent ? static_cast<int>(parent->Children.size()) : static_cast<int>(m_doc->Groups().size());
    beginInsertRows(indexForGroup(parent), row, row);
    TGroupe* group = m_doc->addGroup(name, parent);
    endInsertRows();
    return group;
}

void GroupTreeModel::removeGroup(TGroupe* group)
{
    if (!m_doc || !group)
        return;
    const QModelIndex idx = indexForGroup(group);
    if (!idx.isValid())
        return;
    beginRemoveRows(idx.parent(), idx.row(), idx.row());
    m_doc->deleteGroup(group);
    endRemoveRows();
}

bool GroupTreeModel::moveGroup(TGroupe* group, TGroupe* newParent, int position)
{
    if (!m_doc || !group || (newParent && m_doc->isAncestorOf(group, newParent)))
        return false;
    const QModelIndex idx = indexForGroup(group);
    if (!idx.isValid())
        return false;
    const int siblingsAfter =
        newParent ? static_cast<int>(newParent->Children.size()) : static_cast<int>(m_doc->Groups().size());
    const bool sameParent = group->Parent == newParent;
    // `position` counts the new siblings without the group; the model counts them before the move.
    const int countWithout = sameParent ? siblingsAfter - 1 : siblingsAfter;
    if (position < 0 || position > countWithout)
        position = countWithout;
    int destination = position;
    if (sameParent && position >= idx.row())
        destination = position + 1;
    if (sameParent && (destination == idx.row() || destination == idx.row() + 1))
        return true; // already there
    if (!beginMoveRows(idx.parent(), idx.row(), idx.row(), indexForGroup(newParent), destination))
        return false;
    const bool moved = m_doc->moveGroup(group, newParent, position);
    endMoveRows();
    return moved;
}

bool GroupTreeModel::renameGroup(TGroupe* group, const QString& name)
{
    if (!group)
        return false;
    const bool changed = group->Name != name;
    group->Name = name;
    const QModelIndex idx = indexForGroup(group);
    if (idx.isValid())
        emit dataChanged(idx, idx, {Qt::DisplayRole, Qt::EditRole});
    return changed;
}

QModelIndex GroupTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!m_doc || column != 0 || row < 0)
        return QModelIndex();
    const TGroupe* p = groupAt(parent);
    const auto& children = p ? p->Children : m_doc->Groups();
    if (row >= static_cast<int>(children.size()))
        return QModelIndex();
    return createIndex(row, 0, children[static_cast<size_t>(row)].get());
}

QModelIndex GroupTreeModel::parent(const QModelIndex& child) const
{
    const TGroupe* g = groupAt(child);
    if (!g || !g->Parent)
        return QModelIndex();
    return indexForGroup(g->Parent);
}

int GroupTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!m_doc || parent.column() > 0)
        return 0;
    const TGroupe* p = groupAt(parent);
    return static_cast<int>(p ? p->Children.size() : m_doc->Groups().size());
}

int GroupTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant GroupTreeModel::data(const QModelIndex& index, int role) const
{
    const TGroupe* g = groupAt(index);
    if (!g)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return g->Name;
    case Qt::DecorationRole:
        // The selected node's open folder is the view's business: it knows the selection.
        return tresorinIcon(QStringLiteral("folder"));
    default:
        return QVariant();
    }
}

bool GroupTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TGroupe* g = groupAt(index);
    if (!g || role != Qt::EditRole || m_readOnly)
        return false;
    const bool changed = renameGroup(g, value.toString());
    emit groupRenamed(g, changed);
    return true;
}

Qt::ItemFlags GroupTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (!m_readOnly)
        f |= Qt::ItemIsEditable;
    return f;
}
