#pragma once

#include "app/core/CellNavigation.h"

#include <QLineEdit>
#include <QObject>
#include <QPoint>
#include <QRect>

class DocumentView;
class QMenu;
struct TFeuille;

// The single-line editor "ed" laid over one cell of the entry list. It knows the cell it edits
// and the text it had when opened; the keys of the keyboard table reach the controller as moves
// and never the field (Tab, Enter and Escape are never inserted).
class TCellEditor : public QLineEdit
{
    Q_OBJECT
public:
    explicit TCellEditor(QWidget* parent = nullptr);

    int column = 0;
    int unscrolledLeft = 0;
    QString openedText;

    // The editor's own menu, with its Copy and Cut going through copyRequested(): the caller
    // owns it.
    QMenu* createContextMenu();

signals:
    void moveRequested(CellMove move, bool ctrl);
    void focusLost();
    // Copy or Cut from the editor's own menu: the program's clipboard command does it.
    void copyRequested(bool cut);

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool handleKey(QKeyEvent* event);
};

// In-place editing of the entry list: opening the cell editor at a point (OpenCellEditor), its
// commit (edExit), the moves of the keyboard table, and keeping it over its cell while the list
// scrolls or a column is resized. The entry's fields change only through CommitEntryField.
class CellEditing : public QObject
{
    Q_OBJECT
public:
    explicit CellEditing(DocumentView* view);

    TCellEditor* editor() const { return m_editor; }
    bool isOpen() const;

    // Opens the editor over the cell under `point` (list viewport coordinates); nothing happens
    // over no row or over the icon of an unscrolled list. True when it opened.
    bool OpenCellEditor(const QPoint& point);
    // The name cell of the selected row (Rename, New entry): scrolled into view first.
    bool openNameCell();
    // Commits the text into the entry and closes the editor. False when an empty name was
    // refused: the editor then stays open with the focus.
    bool edExit();
    // Closes the editor without storing anything (the row it was on is going away).
    void discard();
    // Moves it back over its cell (list scrolled sideways, column resized).
    void reposition();

    // A double click on the list (viewport coordinates), unless the read-only lock is on. With
    // AutoCopy on, the opened text goes to the clipboard.
    void ListeDblClick(const QPoint& point);
    void setAutoCopy(bool on) { m_autoCopy = on; }

signals:
    // Ctrl with Right or Enter in the last cell of the last row.
    void newEntryRequested();
    // A cell was committed into `entry` (the status of Copy and Open web site follow; the FTP
    // settings are derived again from an FTP entry).
    void cellCommitted(TFeuille* entry, int column);
    // A double click on the icon area of an unscrolled list (viewport coordinates): it copies
    // the entry of that row.
    void iconDoubleClicked(const QPoint& point);
    // AutoCopy: the text of the cell just opened is to go to the clipboard.
    void autoCopyRequested(const QString& text, bool password);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void move(CellMove move, bool ctrl);
    ListColumnWidths columnWidths() const;
    // The editor's place, cut at the right edge of the list's viewport.
    QRect insideList(QRect place) const;
    int rowAtY(int y) const;
    int horizontalOffset() const;

    DocumentView* m_view;
    // The list's viewport, kept apart from the view: its events still come while the view is
    // being destroyed, when the view can no longer be asked for it.
    QWidget* m_viewport = nullptr;
    TCellEditor* m_editor;
    TFeuille* m_entry = nullptr; // the entry of the row being edited
    bool m_committing = false;
    bool m_autoCopy = false;
};
