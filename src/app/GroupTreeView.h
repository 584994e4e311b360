#pragma once

#include <QTreeView>

class GroupTreeModel;
struct TGroupe;

// The group tree "Arbo": header hidden, the selection always drawn in the active highlight colour
// (so it stays visible without the focus), the selected node drawn with an open folder, and a
// right click that selects the node under the pointer before the context menu opens. The current
// node and the selected node are kept the same.
class GroupTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit GroupTreeView(QWidget* parent = nullptr);

    GroupTreeModel* groupModel() const;
    TGroupe* currentGroup() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
};
