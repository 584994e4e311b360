#pragma once

#include <QPlainTextEdit>

#include <functional>

class QMenu;

class QLineEdit;

// Rewires the Copy and Cut of an editor's own menu (the toolkit's standard one) to `copy`, which
// receives true for Cut: the program's clipboard command then places and watches the text. The
// text editors' menus name their actions ("edit-copy", "edit-cut"); a line editor's menu does not,
// so its actions are found by their connection to `lineEdit` and given those names.
void RouteClipboardActions(QMenu* menu, const std::function<void(bool cut)>& copy, QLineEdit* lineEdit = nullptr);

// The notes editor "Memo". Its text never leaves it by itself: a drag carries it under a private
// format that only this editor reads (a move inside the notes still works, a drop into another
// program gets nothing), and Copy and Cut of its menu go through copyRequested() to the program's
// clipboard command, which watches and clears what it places.
class NotesEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr const char* kDragMimeType = "application/x-tresorin-notes-text";

    explicit NotesEdit(QWidget* parent = nullptr);

    // The editor's own menu, Copy and Cut routed as above: the caller owns it.
    QMenu* createContextMenu();
    // What a drag of the selection (or the toolkit's own copy) carries.
    QMimeData* createMimeDataFromSelection() const override;

signals:
    void copyRequested(bool cut);

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
