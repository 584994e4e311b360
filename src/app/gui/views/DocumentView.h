#pragma once

#include "app/core/CommandEnabling.h"
#include "app/gui/views/NotesEdit.h"
#include "app/gui/window/Commands.h"
#include "document/gui/StorableTextGuard.h"

#include <QStringList>
#include <QWidget>

#include <vector>

class CellEditing;
class DocumentState;
class EntryListModel;
class EntryListView;
class GroupTreeModel;
class GroupTreeView;
class QAction;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QTimer;
class QToolButton;
struct TFeuille;
struct TGroupe;

// The central widget of the main window: group tree "Arbo" on the left, entry list "Liste" on
// the right above the notes panel (notes editor "Memo", hide/show button "CacherBtn", label
// "LabelInfo"). It shows the document it is given but never owns it, keeps the list in step
// with the tree, sorts the list, follows the row selection with the notes editor, and reports
// hints for the status bar.
//
// The view switches no command itself: at the moments that change enabling (the grouped tree
// selection report, a row selected or deselected, a row appended or removed through this class,
// the search results shown) it asks for a refresh through commandsRefreshRequested, which the
// window's CommandEnabler answers. The main window calls updateGroupMenuActions() /
// updateEntryMenuActions() from the aboutToShow of the Groupe and Element menus and of the two
// context menus.
//
// Rows refer to entries they do not own. Commands that take entries out of the document keep
// this order, so that no row ever refers to a freed entry:
//   - one entry (delete, cut, move to another group): removeEntryRow(rowOfEntry(entry)) first
//     (typed notes are stored into the entry while it still exists), then take the entry out of
//     the document (DocumentState::takeEntry / removeEntry) and free it;
//   - a group: go through GroupTreeModel::removeGroup, which empties the list first when it shows
//     the group or one of its subgroups; code that frees entries of a group in another way calls
//     clearEntryRows() before it;
//   - the whole content (open, merge, New): documentAboutToReload() before, documentReloaded()
//     after.
// As a safety net, a selected row whose entry is no longer in the document counts as no
// selection and is never read, but its address could be taken by a later entry: keep the order.
class DocumentView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kGroupChangeDelayMs = 50;
    static constexpr int kInitialTreeWidth = 191;
    static constexpr int kInitialNotesHeight = 137;

    explicit DocumentView(QWidget* parent = nullptr);
    ~DocumentView() override;

    // --- document -------------------------------------------------------------------------
    void setDocument(DocumentState* doc);
    DocumentState* document() const { return m_doc; }
    // Before the groups and entries are destroyed or replaced (open, merge, New): the views let go
    // of every group and entry, so nothing painted meanwhile (a message box during the read, say)
    // can reach a freed one. Pending notes are not committed here: commit them first.
    void documentAboutToReload();
    // After an open, a merge or New replaced the groups and entries: rebuilds the tree, empties
    // the list and the notes editor at once and leaves the search view (no report of the old
    // selection is pending after it).
    void documentReloaded();
    // Expands the first top-level group with its descendants (down to the depth the tree lays out,
    // GroupTreeView::kMaxExpandedDepth) and selects it (the list follows
    // through the grouped report). Nothing happens for a document without groups.
    void selectFirstGroupExpanded();

    // --- selection ------------------------------------------------------------------------
    TGroupe* selectedGroup() const;
    void selectGroup(TGroupe* group); // null clears the selection
    // Entry of the selected row, or null (also when that entry is no longer in the document).
    TFeuille* selectedEntry() const;
    int selectedRow() const; // -1 when no row is selected
    void selectRow(int row); // -1 deselects
    // Runs a pending tree report at once (after code that selected a group and needs the list now).
    void flushGroupChange();
    bool groupChangePending() const;
    // The tree report itself: rows of the selected group, sorted, first row selected, then the
    // group report's enabling (New entry and New with generation when a group is selected and the
    // lock is off).
    void ArboChange();

    // --- sorting --------------------------------------------------------------------------
    int sortCode() const { return m_sortCode; }
    // A click on the title of column `column` (1-based): same column reverses, another one sorts
    // ascending; the arrow follows and the rows are sorted.
    void columnClick(int column);
    // Start-up: the saved value becomes the sort code as if its column had been clicked; 0 or a
    // column that is not present leaves the list unsorted.
    void restoreSortCode(int saved);

    // --- layout ---------------------------------------------------------------------------
    int columnWidth(int column) const; // column 1..5
    void setColumnWidth(int column, int width);
    int treeWidth() const;
    void setTreeWidth(int width);
    int notesPanelHeight() const;         // 0 while hidden
    int storedNotesPanelHeight() const;   // the height restored by the next show
    void setNotesPanelHeight(int height); // > 0: shows the panel at that height
    bool notesPanelHidden() const;
    // Hide/show of the notes panel (the button's click).
    void BoutonCacherClick();
    void setAutoHide(bool on);
    bool autoHide() const { return m_autoHide; }

    // --- display state --------------------------------------------------------------------
    void setPasswordsHidden(bool hidden);
    bool passwordsHidden() const;
    // Greys the texts, disables the notes editor and the in-place renaming of groups. The enabling
    // of the commands under the lock and the switching of dragging stay with their owners.
    void setReadOnlyLock(bool locked);
    bool readOnlyLock() const { return m_readOnly; }
    // Row index before which a dragged entry would land, or -1 (also hides the insertion mark).
    void setDropIndex(int index);
    int dropIndex() const;

    // Repaint suspension, nested: rows rebuilt in between are painted once at the end.
    void suspendRepaint();
    void resumeRepaint();

    // --- search view ----------------------------------------------------------------------
    // Replaces the group view by result rows (search icons, fifth column with `paths`, one per
    // entry), hides the tree, selects the first row and focuses the list.
    void showSearchResults(const std::vector<TFeuille*>& entries, const QStringList& paths);
    // Back to the group view: fifth column removed, tree shown, group rows rebuilt at once.
    void endSearchView();
    bool searchViewActive() const { return m_searchView; }

    // --- rows changed by commands ---------------------------------------------------------
    // Inserts a row for `entry` (already in Entries) before `row` (-1 or the row count: at the end)
    // and selects it; New entry / New with generation: no search view and no lock. Returns the row.
    int insertEntryRow(int row, TFeuille* entry);
    int appendEntryRow(TFeuille* entry) { return insertEntryRow(-1, entry); }
    // Removes a row, leaving no row selected when it was the selected one; New entry / New with
    // generation: at least one other row remains and no search view. Call it while the row's entry
    // is still in the document (see the order above); typed notes are then stored into it.
    void removeEntryRow(int row);
    // Removes every row, storing typed notes into the selected entry first (it must still be in
    // the document). Delete group calls it before the entries of the group are freed.
    void clearEntryRows();
    // Copies the entry's fields into its row again and chooses its icon again (nothing for a row
    // whose entry is no longer in the document).
    void refreshEntryRow(int row);
    int rowOfEntry(const TFeuille* entry) const;

    // --- editing --------------------------------------------------------------------------
    // Commits the notes editor into the selected entry when typing changed it (MemoExit).
    void commitNotes();
    // Commits what the notes editor and the cell editor hold and was not stored yet.
    void commitPendingEdits();
    // The cell editor over the list (OpenCellEditor, edExit).
    CellEditing* cellEditing() const { return m_cellEditing; }
    // A double click in the notes editor copies the word under the pointer (AutoCopy); the list's
    // double click copies the text of the cell it opens.
    void setAutoCopy(bool on);
    bool autoCopy() const { return m_autoCopy; }

    // --- enabling -------------------------------------------------------------------------
    // The main window's commands: Hide passwords, whose check the list follows. Null: none.
    void setCommands(const Commands* commands);
    // What the enabling rules read of the view (the clipboard is the caller's to tell).
    SelectionState selectionState() const;
    // Asks for the enabling of a moment (commandsRefreshRequested).
    void refreshCommands(EnablingMoment moment, const EnablingFacts& facts = {});
    // The Groupe menu, the Element menu (or their context menus) are about to open.
    void updateGroupMenuActions();
    void updateEntryMenuActions(bool clipboardHoldsEntry);
    // Cut and Paste alone, as the menus would set them; they follow the selection and the
    // clipboard so that their keys work without a menu opened first.
    void updateClipboardActions(bool clipboardHoldsEntry);
    // Before the list's context menu: with no row selected, selects the row at that height
    // (viewport coordinates) unless the point is in the icon area of an unscrolled list.
    void prepareEntryContextMenu(const QPoint& viewportPos);

    // --- parts ----------------------------------------------------------------------------
    GroupTreeView* arbo() const { return m_arbo; }
    EntryListView* liste() const { return m_liste; }
    NotesEdit* memo() const { return m_memo; }
    QToolButton* cacherBtn() const { return m_cacherBtn; }
    QLabel* labelInfo() const { return m_labelInfo; }
    GroupTreeModel* groupModel() const { return m_groupModel; }
    EntryListModel* entryModel() const { return m_entryModel; }

    // Text shown in the status bar for a widget's hint (the list's carries the dates of the
    // selected entry).
    QString hintFor(QWidget* widget) const;
    // The hint of the view under the pointer is shown again, in the texts of now (a language
    // applied while the pointer rests on the list).
    void refreshHintUnderPointer();

signals:
    // A hint for the first panel of the status bar, when the pointer enters the tree, the list or
    // the notes editor, and again when the selected row changes under the pointer (never empty);
    // those three show no hint pop-ups.
    void statusHint(const QString& text);
    // The tree report ran (after the list was refilled).
    void groupChanged(TGroupe* group);
    // The selected row changed (null: no row selected).
    void entrySelected(TFeuille* entry);
    // The notes editor's text went into the entry (it was left, or a command needed it).
    void notesStored(TFeuille* entry);
    // Right button in the tree (the node under the pointer is already selected) or in the list.
    void groupContextMenuRequested(const QPoint& globalPos);
    void entryContextMenuRequested(const QPoint& globalPos);
    // The enabling of the commands is to follow `moment`.
    void commandsRefreshRequested(EnablingMoment moment, const EnablingFacts& facts);
    // AutoCopy of the word double-clicked in the notes.
    void notesWordCopyRequested(const QString& word);
    void notesPanelToggled(bool hidden);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void onRowSelectionChanged();
    void onGroupsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void forgetListedEntries(); // empties the list without reading any of its entries
    void ListeSelectItem(TFeuille* entry, bool selected);
    void applyAutoHide(const TFeuille* entry);
    void setMemoForEntry(const TFeuille* entry);
    void storeNotesIfChanged(TFeuille* entry);
    bool entryAlive(const TFeuille* entry) const;
    void showSortArrow();
    void sortRows();
    void onNotesSplitterMoved();
    void applyNotesHeight(int height);
    void updateCacherArrow();
    QAction* command(CommandId id) const;

    DocumentState* m_doc = nullptr;
    const Commands* m_commands = nullptr;

    GroupTreeModel* m_groupModel = nullptr;
    EntryListModel* m_entryModel = nullptr;
    GroupTreeView* m_arbo = nullptr;
    EntryListView* m_liste = nullptr;
    NotesEdit* m_memo = nullptr;
    QToolButton* m_cacherBtn = nullptr;
    QLabel* m_labelInfo = nullptr;
    QSplitter* m_mainSplitter = nullptr;
    QSplitter* m_notesSplitter = nullptr;
    QWidget* m_notesPanel = nullptr;
    QTimer* m_groupTimer = nullptr;
    CellEditing* m_cellEditing = nullptr;
    StorableTextGuard::PlainTextGuard* m_memoGuard = nullptr;

    TFeuille* m_rowEntry = nullptr; // entry of the row last reported selected
    TGroupe* m_listGroup = nullptr; // group whose entries the list shows (group view only)
    QString m_loadedMemoText;       // the notes editor's text right after it was filled
    QString m_partialNotesText;     // status text while the editor shows only the beginning of notes
    QMetaObject::Connection m_hidePwdConnection;
    int m_treeWidth = kInitialTreeWidth;
    int m_notesHeight = kInitialNotesHeight;
    int m_sortCode = 0;
    int m_storedNotesHeight = kInitialNotesHeight;
    int m_repaintSuspended = 0;
    bool m_autoHide = false;
    bool m_autoCopy = false;
    bool m_readOnly = false;
    bool m_searchView = false;
    bool m_fillingMemo = false;
    bool m_listHintShown = false;      // the pointer is in the list, whose hint the status bar shows
    QWidget* m_hintShownFor = nullptr; // the view under the pointer whose hint the status bar shows
};
