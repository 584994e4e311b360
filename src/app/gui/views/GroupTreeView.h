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

    void setModel(QAbstractItemModel* model) override;
    GroupTreeModel* groupModel() const;
    TGroupe* currentGroup() const;

    static constexpr const char* kGroupMimeType = "application/x-tresorin-group";

    // The toolkit lays out expanded nodes recursively, some 320 bytes of stack per level: a chain
    // of about 26,000 expanded levels fills the default 8 MiB stack and crashes. Nodes this deep
    // or deeper are never expanded, whoever asks (a command, a click, the keyboard's expand-all, a
    // move of an expanded subtree), so no layout goes deeper than this: a fraction of even a
    // 1 MiB stack, and far beyond any tree made by hand.
    static constexpr int kMaxExpandedDepth = 1000;

    // Expands the node and its descendants, down to kMaxExpandedDepth, with one layout at the end.
    void expandSubtree(const QModelIndex& index);
    // Depth of a node: 0 for a top-level group; counting stops at kMaxExpandedDepth.
    int depthOf(const QModelIndex& index) const;

    // The line painted in the tree while the document has no group: how to make the first one.
    void setEmptyHint(const QString& text);
    QString emptyHint() const { return m_emptyHint; }

signals:
    // A row of the entry list was dropped on a group.
    void entryDropped(TGroupe* group);
    // A group of this tree was dropped on `target` (null: empty space).
    void groupDropped(TGroupe* dragged, TGroupe* target);
    // A group drag starts and ends: repainting of the views is suspended meanwhile.
    void groupDragStarted();
    void groupDragFinished();
    // Tab or Shift+Tab ended the renaming of a group (committed): the focus goes on, not to the
    // next group's label.
    void renameLeftByTab();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool acceptsDrag(const QDropEvent* event) const;
    void refuseTooDeep(const QModelIndex& index);
    // After rows moved under `parent`: the moved subtrees may now reach too deep.
    void collapseTooDeepBelow(const QModelIndex& parent, int first, int last);

    TGroupe* m_dragged = nullptr;
    QString m_emptyHint;
};
