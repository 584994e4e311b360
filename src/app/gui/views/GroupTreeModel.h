#pragma once

#include <QAbstractItemModel>

class DocumentState;
struct TGroupe;

// The group forest of the open document as a tree model; each node's internal pointer is its
// TGroupe. Structural changes go through the methods below, which wrap the document's own
// operations in the model's begin/end notifications, so views and selections stay right.
class GroupTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit GroupTreeModel(QObject* parent = nullptr);

    void setDocument(DocumentState* doc);
    DocumentState* document() const { return m_doc; }
    // The forest was replaced (open, New, merge): every index is invalid afterwards.
    void reset();

    TGroupe* groupAt(const QModelIndex& index) const;
    QModelIndex indexForGroup(const TGroupe* group) const;

    // New group with a fresh Id as the last child of `parent` (null: last top-level group).
    TGroupe* addGroup(const QString& name, TGroupe* parent);
    // Deletes the group, its subgroups and their entries.
    void removeGroup(TGroupe* group);
    // Moves the group under newParent (null: top level) at `position` among the new siblings
    // counted without the group (-1: last). Refuses (false) a move into its own subtree.
    bool moveGroup(TGroupe* group, TGroupe* newParent, int position);
    // Sets the name; true when it differed (the caller marks the document modified).
    bool renameGroup(TGroupe* group, const QString& name);

    // Names are editable in place unless locked.
    void setReadOnly(bool locked) { m_readOnly = locked; }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // An in-place edit ended with a text; `changed` when it differed from the old name.
    void groupRenamed(TGroupe* group, bool changed);

private:
    DocumentState* m_doc = nullptr;
    bool m_readOnly = false;
};
