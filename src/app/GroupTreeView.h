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

    static constexpr const char* kGroupMimeType = "application/x-tresorin-group";

signals:
    // A row of the entry list was dropped on a group.
    void entryDropped(TGroupe* group);
    // A group of this tree was dropped on `target` (null: empty space).
    void groupDropped(TGroupe* dragged, TGroupe* target);
    // A group drag starts and ends: repainting of the views is suspended meanwhile.
    void groupDragStarted();
    void groupDragFinished();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    bool acceptsDrag(const QDropEvent* event) const;

    TGroupe* m_dragged = nullptr;
};
