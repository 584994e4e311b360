#include "app/gui/views/DocumentView.h"

#include "app/core/CommandEnabling.h"
#include "app/core/EntryHint.h"
#include "app/core/NotesDisplay.h"
#include "app/gui/views/CellEditing.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/Icons.h"
#include "document/DocumentCommands.h"
#include "document/DocumentModel.h"
#include "document/gui/DocumentPipeline.h"
#include "lang/LangTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

constexpr int kMemoMaxLength = 65535;
constexpr int kNotesHandleHeight = 16;
constexpr int kTreeHandleWidth = 7;
constexpr int kMinPane = 50;

// Notes keep CR LF line breaks in the document; the editor works with LF (NotesDisplay).
QString notesFromEditor(const QString& text)
{
    QString notes = text;
    notes.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return notes;
}

} // namespace

DocumentView::DocumentView(QWidget* parent) : QWidget(parent)
{
    m_groupModel = new GroupTreeModel(this);
    m_entryModel = new EntryListModel(this);

    m_arbo = new GroupTreeView;
    m_arbo->setModel(m_groupModel);

    m_liste = new EntryListView;
    m_liste->setModel(m_entryModel);
    m_liste->setColumnWidth(EntryListModel::NameColumn, 120);
    m_liste->setColumnWidth(EntryListModel::LoginColumn, 100);
    m_liste->setColumnWidth(EntryListModel::PasswordColumn, 100);
    m_liste->setMinimumHeight(kMinPane);

    m_memo = new NotesEdit;
    m_memo->setObjectName(QStringLiteral("Memo"));
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setTabChangesFocus(false);
    const QString memoHint =
        QStringLiteral("Stokez ici toute information qui vous voulez associer avec l'élément en cours");
    m_memo->setToolTip(memoHint);
    m_memo->setStatusTip(memoHint);

    m_cacherBtn = new QToolButton;
    m_cacherBtn->setObjectName(QStringLiteral("CacherBtn"));
    m_cacherBtn->setAutoRaise(true);
    m_cacherBtn->setFocusPolicy(Qt::NoFocus);
    m_cacherBtn->setIconSize(QSize(12, 12));
    m_cacherBtn->setFixedSize(kNotesHandleHeight, kNotesHandleHeight);
    m_cacherBtn->setCursor(Qt::ArrowCursor);
    const QString btnHint = QStringLiteral("Cliquer pour cacher ou afficher le panneau");
    m_cacherBtn->setToolTip(btnHint);
    m_cacherBtn->setStatusTip(btnHint);

    m_labelInfo = new QLabel(QStringLiteral(" Informations complémentaires "));
    m_labelInfo->setObjectName(QStringLiteral("LabelInfo"));

    buildLayout();

    m_groupTimer = new QTimer(this);
    m_groupTimer->setSingleShot(true);
    m_groupTimer->setInterval(kGroupChangeDelayMs);
    connect(m_groupTimer, &QTimer::timeout, this, &DocumentView::ArboChange);
    auto restartGroupTimer = [this] { m_groupTimer->start(); };
    connect(m_arbo->selectionModel(), &QItemSelectionModel::selectionChanged, this, restartGroupTimer);
    connect(m_arbo->selectionModel(), &QItemSelectionModel::currentChanged, this, restartGroupTimer);

    connect(m_liste->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DocumentView::onRowSelectionChanged);
    connect(m_entryModel, &QAbstractItemModel::modelReset, this, &DocumentView::onRowSelectionChanged);
    connect(m_entryModel, &QAbstractItemModel::rowsRemoved, this, &DocumentView::onRowSelectionChanged);
    // The list lets go of the entries of a group before the group and its entries are freed.
    connect(m_groupModel, &QAbstractItemModel::rowsAboutToBeRemoved, this, &DocumentView::onGroupsAboutToBeRemoved);
    // The forest may already be gone: forget the rows without reading their entries.
    connect(m_groupModel, &QAbstractItemModel::modelAboutToBeReset, this, &DocumentView::forgetListedEntries);
    connect(m_liste->sortHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { columnClick(section + 1); });

    connect(m_arbo, &GroupTreeView::renameLeftByTab, this, [this] { m_liste->setFocus(Qt::TabFocusReason); });
    connect(m_arbo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit groupContextMenuRequested(m_arbo->viewport()->mapToGlobal(pos)); });
    connect(m_liste, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        prepareEntryContextMenu(pos);
        emit entryContextMenuRequested(m_liste->viewport()->mapToGlobal(pos));
    });

    // From the start of a group drag to its end neither view repaints.
    connect(m_arbo, &GroupTreeView::groupDragStarted, this, &DocumentView::suspendRepaint);
    connect(m_arbo, &GroupTreeView::groupDragFinished, this, &DocumentView::resumeRepaint);
    connect(m_cacherBtn, &QToolButton::clicked, this, &DocumentView::BoutonCacherClick);
    // Typing and pasting stop at 65535 characters; longer notes from a file stay whole.
    m_memoGuard = StorableTextGuard::install(m_memo, kMemoMaxLength);
    m_cellEditing = new CellEditing(this);

    for (QWidget* w : {static_cast<QWidget*>(m_arbo), static_cast<QWidget*>(m_liste), static_cast<QWidget*>(m_memo)})
        w->installEventFilter(this);
    m_memo->viewport()->installEventFilter(this);

    setMemoForEntry(nullptr);
    updateCacherArrow();
}

DocumentView::~DocumentView() = default;

void DocumentView::buildLayout()
{
    m_notesPanel = new QWidget;
    auto* notesLayout = new QVBoxLayout(m_notesPanel);
    notesLayout->setContentsMargins(0, 0, 0, 0);
    notesLayout->addWidget(m_memo);
    m_notesPanel->setMinimumHeight(kMinPane);

    m_notesSplitter = new QSplitter(Qt::Vertical);
    m_notesSplitter->setHandleWidth(kNotesHandleHeight);
    m_notesSplitter->addWidget(m_liste);
    m_notesSplitter->addWidget(m_notesPanel);
    m_notesSplitter->setStretchFactor(0, 1);
    m_notesSplitter->setStretchFactor(1, 0);
    m_notesSplitter->setCollapsible(0, false);
    // Dragging the panel below its minimum snaps it shut, as the button does.
    m_notesSplitter->setCollapsible(1, true);

    // The information bar rides on the splitter's band, at its left end.
    QSplitterHandle* band = m_notesSplitter->handle(1);
    auto* bar = new QHBoxLayout(band);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);
    bar->addWidget(m_cacherBtn);
    bar->addWidget(m_labelInfo);
    bar->addStretch(1);

    m_mainSplitter = new QSplitter(Qt::Horizontal);
    m_mainSplitter->setHandleWidth(kTreeHandleWidth);
    m_mainSplitter->addWidget(m_arbo);
    m_mainSplitter->addWidget(m_notesSplitter);
    m_mainSplitter->setStretchFactor(0, 0);
    m_mainSplitter->setStretchFactor(1, 1);
    m_mainSplitter->setCollapsible(0, false);
    m_mainSplitter->setCollapsible(1, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_mainSplitter);

    m_mainSplitter->setSizes({kInitialTreeWidth, 500});
    m_notesSplitter->setSizes({300, kInitialNotesHeight});
    connect(m_notesSplitter, &QSplitter::splitterMoved, this, &DocumentView::onNotesSplitterMoved);
    connect(m_mainSplitter, &QSplitter::splitterMoved, this, [this] {
        if (m_arbo->isVisible())
            m_treeWidth = m_mainSplitter->sizes().value(0);
    });
}

// ---------------------------------------------------------------------------------------------
// Document

void DocumentView::setDocument(DocumentState* doc)
{
    documentAboutToReload();
    m_doc = doc;
    documentReloaded();
}

void DocumentView::documentAboutToReload()
{
    forgetListedEntries();
    m_groupModel->setDocument(nullptr);
    m_rowEntry = nullptr;
}

void DocumentView::forgetListedEntries()
{
    m_groupTimer->stop();
    // The selected entry is about to be freed, or already is: forget it without touching it.
    m_rowEntry = nullptr;
    m_listGroup = nullptr;
    setMemoForEntry(nullptr);
    m_entryModel->clear();
}

void DocumentView::documentReloaded()
{
    documentAboutToReload();
    if (m_searchView) {
        m_searchView = false;
        if (std::abs(m_sortCode) > EntryListModel::kBaseColumns) {
            m_sortCode = 0;
            showSortArrow();
        }
        m_entryModel->setPathColumn(false);
        m_arbo->show();
    }
    m_groupModel->setDocument(m_doc);
    ArboChange();
}

void DocumentView::selectFirstGroupExpanded()
{
    if (!m_doc || m_doc->Groups().empty())
        return;
    const QModelIndex first = m_groupModel->index(0, 0);
    m_arbo->expandSubtree(first);
    m_arbo->setCurrentIndex(first);
    // The next key goes through the groups just opened.
    m_arbo->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------------
// Selection

TGroupe* DocumentView::selectedGroup() const
{
    const QModelIndexList rows = m_arbo->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : m_groupModel->groupAt(rows.first());
}

void DocumentView::selectGroup(TGroupe* group)
{
    const QModelIndex idx = m_groupModel->indexForGroup(group);
    if (idx.isValid()) {
        m_arbo->setCurrentIndex(idx);
    } else {
        m_arbo->selectionModel()->clear();
    }
}

TFeuille* DocumentView::selectedEntry() const
{
    TFeuille* entry = m_entryModel->entryAt(selectedRow());
    return entryAlive(entry) ? entry : nullptr;
}

int DocumentView::selectedRow() const
{
    const QModelIndexList rows = m_liste->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void DocumentView::selectRow(int row)
{
    if (row < 0 || row >= m_entryModel->count()) {
        m_liste->selectionModel()->clear();
        return;
    }
    m_liste->selectionModel()->setCurrentIndex(m_entryModel->index(row, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void DocumentView::flushGroupChange()
{
    if (m_groupTimer->isActive())
        ArboChange();
}

bool DocumentView::groupChangePending() const
{
    return m_groupTimer->isActive();
}

void DocumentView::ArboChange()
{
    m_groupTimer->stop();
    if (m_searchView)
        return;
    suspendRepaint();
    m_entryModel->clear();
    TGroupe* group = selectedGroup();
    m_listGroup = m_doc ? group : nullptr;
    if (group && m_doc) {
        m_entryModel->FillEntryList(*m_doc, group->Id);
        if (m_sortCode != 0)
            sortRows();
        m_liste->scrollToTop();
        if (m_entryModel->count() > 0)
            selectRow(0);
    }
    resumeRepaint();
    refreshCommands(EnablingMoment::GroupReported);
    emit groupChanged(group);
}

void DocumentView::onGroupsAboutToBeRemoved(const QModelIndex& parent, int first, int last)
{
    if (m_searchView || !m_listGroup || !m_doc)
        return;
    for (int row = first; row <= last; ++row) {
        const TGroupe* removed = m_groupModel->groupAt(m_groupModel->index(row, 0, parent));
        if (removed && (removed == m_listGroup || m_doc->isAncestorOf(removed, m_listGroup))) {
            clearEntryRows();
            return;
        }
    }
}

void DocumentView::onRowSelectionChanged()
{
    // A row whose entry has left the document counts as no selection.
    TFeuille* now = selectedEntry();
    if (now == m_rowEntry)
        return;
    TFeuille* old = m_rowEntry;
    m_rowEntry = now;
    if (old)
        ListeSelectItem(old, false);
    if (now)
        ListeSelectItem(now, true);
    // A click on another row leaves the pointer in the list: no new Enter comes, so the dates
    // the status bar shows follow the row here.
    if (m_listHintShown)
        emit statusHint(hintFor(m_liste));
    emit entrySelected(now);
}

void DocumentView::ListeSelectItem(TFeuille* entry, bool selected)
{
    refreshCommands(EnablingMoment::RowSelection);
    if (selected) {
        setMemoForEntry(entry);
        if (m_autoHide && dropIndex() == -1)
            applyAutoHide(entry);
    } else {
        storeNotesIfChanged(entry);
        setMemoForEntry(nullptr);
    }
}

void DocumentView::applyAutoHide(const TFeuille* entry)
{
    const bool hidden = notesPanelHidden();
    if (entry->Notes.isEmpty() != hidden)
        BoutonCacherClick();
}

bool DocumentView::entryAlive(const TFeuille* entry) const
{
    return m_doc && entry && m_doc->indexOfEntry(entry) >= 0;
}

void DocumentView::setMemoForEntry(const TFeuille* entry)
{
    m_fillingMemo = true;
    m_memoGuard->setSuspended(true);
    QPalette pal = m_memo->palette();
    m_partialNotesText.clear();
    if (entry) {
        const NotesDisplay shown = NotesDisplay::of(entry->Notes);
        // Set before the text, so that it is laid out once.
        m_memo->setWordWrapMode(shown.wrapAnywhere ? QTextOption::WrapAnywhere
                                                   : QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_memo->setPlainText(shown.text);
        // Storing an edited beginning would lose the rest of the notes.
        m_memo->setReadOnly(!shown.whole);
        if (!shown.whole)
            m_partialNotesText =
                FillPlaceholders(Msg(QStringLiteral("NotesPartielles")),
                                 {QString::number(shown.text.size()), QString::number(shown.storedLength)});
        pal.setColor(QPalette::Base, palette().color(QPalette::Base));
    } else {
        m_memo->clear();
        m_memo->setReadOnly(true);
        pal.setColor(QPalette::Base, palette().color(QPalette::Button));
    }
    m_memo->setPalette(pal);
    m_memo->document()->setModified(false);
    m_loadedMemoText = m_memo->toPlainText();
    m_memoGuard->setSuspended(false);
    m_fillingMemo = false;
    if (!m_partialNotesText.isEmpty())
        emit statusHint(m_partialNotesText);
}

void DocumentView::storeNotesIfChanged(TFeuille* entry)
{
    // A row whose entry has left the document never gives or takes notes, and notes shown in
    // part are never stored back.
    if (!entryAlive(entry) || !m_partialNotesText.isEmpty())
        return;
    const QString text = m_memo->toPlainText();
    // Compared with what the editor showed, not with the stored notes, so that line-break forms
    // the editor cannot keep do not count as a change.
    if (text == m_loadedMemoText)
        return;
    m_loadedMemoText = text;
    if (CommitEntryNotes(*m_doc, *entry, notesFromEditor(text)))
        m_entryModel->SetEntryIcon(m_entryModel->rowOf(entry));
}

void DocumentView::commitNotes()
{
    if (!m_memo->document()->isModified())
        return;
    TFeuille* entry = m_rowEntry;
    if (entryAlive(entry)) {
        storeNotesIfChanged(entry);
        m_entryModel->SetEntryIcon(m_entryModel->rowOf(entry));
    }
    m_memo->document()->setModified(false);
    if (entryAlive(entry))
        emit notesStored(entry);
}

void DocumentView::commitPendingEdits()
{
    // Notes typed and not yet stored count, whatever has the focus now.
    commitNotes();
    // The cell editor commits whenever it loses the focus: an open one has it (or a menu is open
    // over it).
    m_cellEditing->edExit();
}

// ---------------------------------------------------------------------------------------------
// Sorting

void DocumentView::columnClick(int column)
{
    if (column < 1 || column > m_entryModel->columnCount())
        return;
    m_sortCode = NextSortCode(m_sortCode, column);
    showSortArrow();
    sortRows();
}

void DocumentView::restoreSortCode(int saved)
{
    m_sortCode = RestoredSortCode(saved, m_entryModel->columnCount());
    showSortArrow();
    sortRows();
}

void DocumentView::showSortArrow()
{
    const int column = std::abs(m_sortCode);
    if (column == 0 || column > m_entryModel->columnCount()) {
        m_liste->sortHeader()->setSortArrow(-1, true);
        m_liste->setSortBandColumn(0);
        return;
    }
    m_liste->sortHeader()->setSortArrow(column - 1, m_sortCode > 0);
    m_liste->setSortBandColumn(column);
}

void DocumentView::sortRows()
{
    m_entryModel->sortRows(m_sortCode);
    m_liste->viewport()->update();
}

// ---------------------------------------------------------------------------------------------
// Layout

int DocumentView::columnWidth(int column) const
{
    return m_liste->columnWidth(column - 1);
}

void DocumentView::setColumnWidth(int column, int width)
{
    if (column >= 1 && width > 0)
        m_liste->setColumnWidth(column - 1, width);
}

int DocumentView::treeWidth() const
{
    if (m_mainSplitter->isVisible() && m_arbo->isVisible())
        return m_mainSplitter->sizes().value(0);
    return m_treeWidth;
}

void DocumentView::setTreeWidth(int width)
{
    if (width <= 0)
        return;
    m_treeWidth = width;
    QList<int> sizes = m_mainSplitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    m_mainSplitter->setSizes({width, std::max(total - width, 1)});
}

int DocumentView::notesPanelHeight() const
{
    if (m_notesSplitter->isVisible())
        return m_notesSplitter->sizes().value(1);
    return m_notesHeight;
}

int DocumentView::storedNotesPanelHeight() const
{
    return m_storedNotesHeight;
}

bool DocumentView::notesPanelHidden() const
{
    return notesPanelHeight() <= 0;
}

void DocumentView::setNotesPanelHeight(int height)
{
    if (height <= 0)
        return;
    m_storedNotesHeight = height;
    applyNotesHeight(height);
}

void DocumentView::applyNotesHeight(int height)
{
    m_notesHeight = height;
    // The list has the stretch: the panel keeps exactly the height asked for.
    const QList<int> sizes = m_notesSplitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    m_notesSplitter->setSizes({std::max(total - height, kMinPane), height});
    updateCacherArrow();
}

void DocumentView::BoutonCacherClick()
{
    const int height = notesPanelHeight();
    if (height <= 0) {
        applyNotesHeight(m_storedNotesHeight > 0 ? m_storedNotesHeight : kInitialNotesHeight);
    } else {
        m_storedNotesHeight = height;
        applyNotesHeight(0);
    }
    emit notesPanelToggled(notesPanelHidden());
}

void DocumentView::onNotesSplitterMoved()
{
    m_notesHeight = m_notesSplitter->sizes().value(1);
    updateCacherArrow();
}

void DocumentView::updateCacherArrow()
{
    m_cacherBtn->setIcon(tresorinIcon(notesPanelHidden() ? QStringLiteral("arrow-up") : QStringLiteral("arrow-down")));
}

void DocumentView::setAutoHide(bool on)
{
    m_autoHide = on;
}

void DocumentView::setAutoCopy(bool on)
{
    m_autoCopy = on;
    m_cellEditing->setAutoCopy(on);
}

// ---------------------------------------------------------------------------------------------
// Display state

void DocumentView::setPasswordsHidden(bool hidden)
{
    m_liste->setPasswordsHidden(hidden);
}

bool DocumentView::passwordsHidden() const
{
    return m_liste->passwordsHidden();
}

void DocumentView::setReadOnlyLock(bool locked)
{
    m_readOnly = locked;
    m_groupModel->setReadOnly(locked);
    m_memo->setEnabled(!locked);
    m_liste->setGreyed(locked);
}

void DocumentView::setDropIndex(int index)
{
    m_liste->setDropIndex(index);
}

int DocumentView::dropIndex() const
{
    return m_liste->dropIndex();
}

void DocumentView::suspendRepaint()
{
    if (m_repaintSuspended++ == 0) {
        m_liste->setUpdatesEnabled(false);
        m_arbo->setUpdatesEnabled(false);
    }
}

void DocumentView::resumeRepaint()
{
    if (m_repaintSuspended > 0 && --m_repaintSuspended == 0) {
        m_arbo->setUpdatesEnabled(true);
        m_liste->setUpdatesEnabled(true);
    }
}

// ---------------------------------------------------------------------------------------------
// Search view

void DocumentView::showSearchResults(const std::vector<TFeuille*>& entries, const QStringList& paths)
{
    m_groupTimer->stop();
    suspendRepaint();
    m_searchView = true;
    m_arbo->hide();
    m_entryModel->clear();
    m_entryModel->setPathColumn(true);
    refreshCommands(EnablingMoment::SearchResultsShown);
    m_entryModel->fillSearchRows(entries, paths);
    m_liste->resizeColumnToContents(EntryListModel::WebColumn);
    m_liste->resizeColumnToContents(EntryListModel::PathColumn);
    m_liste->scrollToTop();
    m_liste->setFocus();
    if (m_entryModel->count() > 0)
        selectRow(0);
    resumeRepaint();
}

void DocumentView::endSearchView()
{
    if (!m_searchView)
        return;
    suspendRepaint();
    m_searchView = false;
    m_entryModel->clear();
    // A sort on the path column has no meaning once that column is gone.
    if (std::abs(m_sortCode) > EntryListModel::kBaseColumns) {
        m_sortCode = 0;
        showSortArrow();
    }
    m_entryModel->setPathColumn(false);
    m_arbo->show();
    resumeRepaint();
    ArboChange();
}

// ---------------------------------------------------------------------------------------------
// Rows changed by commands

int DocumentView::insertEntryRow(int row, TFeuille* entry)
{
    if (!entry)
        return -1;
    if (row < 0 || row > m_entryModel->count())
        row = m_entryModel->count();
    m_entryModel->insertEntryRow(row, EntryListModel::makeRow(entry));
    refreshCommands(EnablingMoment::RowAdded);
    selectRow(row);
    return row;
}

void DocumentView::removeEntryRow(int row)
{
    if (row < 0 || row >= m_entryModel->count())
        return;
    EnablingFacts facts;
    facts.rowsLeft = m_entryModel->count() - 1;
    refreshCommands(EnablingMoment::RowAboutToBeRemoved, facts);
    if (row == selectedRow())
        selectRow(-1);
    // No other row takes the selection over.
    m_liste->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    m_entryModel->removeEntryRow(row);
}

void DocumentView::clearEntryRows()
{
    if (m_entryModel->count() == 0) {
        m_listGroup = nullptr;
        return;
    }
    suspendRepaint();
    selectRow(-1);
    m_entryModel->clear();
    m_listGroup = nullptr;
    resumeRepaint();
}

void DocumentView::refreshEntryRow(int row)
{
    if (!entryAlive(m_entryModel->entryAt(row)))
        return;
    m_entryModel->refreshRow(row);
}

int DocumentView::rowOfEntry(const TFeuille* entry) const
{
    return m_entryModel->rowOf(entry);
}

// ---------------------------------------------------------------------------------------------
// Enabling

void DocumentView::setCommands(const Commands* commands)
{
    disconnect(m_hidePwdConnection);
    m_commands = commands;
    if (QAction* hide = command(CommandId::HidePwd)) {
        m_hidePwdConnection = connect(hide, &QAction::toggled, this, &DocumentView::setPasswordsHidden);
        setPasswordsHidden(hide->isChecked());
    }
}

QAction* DocumentView::command(CommandId id) const
{
    return m_commands ? (*m_commands)[id] : nullptr;
}

SelectionState DocumentView::selectionState() const
{
    SelectionState s;
    s.groupSelected = selectedGroup() != nullptr;
    const TFeuille* entry = selectedEntry();
    s.rowSelected = entry != nullptr;
    s.rowHasWebAddress = entry && !entry->WebAddress.isEmpty();
    s.rowIsFtpEntry = entry && entry->IsFtpEntry;
    s.searchActive = m_searchView;
    s.readOnlyLock = m_readOnly;
    return s;
}

void DocumentView::refreshCommands(EnablingMoment moment, const EnablingFacts& facts)
{
    emit commandsRefreshRequested(moment, facts);
}

void DocumentView::updateGroupMenuActions()
{
    refreshCommands(EnablingMoment::GroupMenuOpening);
}

void DocumentView::updateEntryMenuActions(bool clipboardHoldsEntry)
{
    EnablingFacts facts;
    facts.clipboardHoldsEntry = clipboardHoldsEntry;
    refreshCommands(EnablingMoment::EntryMenuOpening, facts);
}

void DocumentView::updateClipboardActions(bool clipboardHoldsEntry)
{
    EnablingFacts facts;
    facts.clipboardHoldsEntry = clipboardHoldsEntry;
    refreshCommands(EnablingMoment::ClipboardChanged, facts);
}

void DocumentView::prepareEntryContextMenu(const QPoint& viewportPos)
{
    if (selectedRow() >= 0)
        return;
    const bool unscrolled = m_liste->horizontalScrollBar()->value() == 0;
    if (unscrolled && viewportPos.x() < EntryListDelegate::kIconSize)
        return;
    const int left = m_liste->header()->sectionViewportPosition(0);
    const QModelIndex idx = m_liste->indexAt(QPoint(left + EntryListDelegate::kIconSize + 1, viewportPos.y()));
    if (idx.isValid())
        selectRow(idx.row());
}

// ---------------------------------------------------------------------------------------------
// Hints

QString DocumentView::hintFor(QWidget* widget) const
{
    if (!widget)
        return QString();
    QString hint = widget->statusTip();
    if (hint.isEmpty())
        hint = widget->toolTip();
    if (widget == m_liste) {
        if (const TFeuille* entry = selectedEntry())
            return EntryHintText(entry->Created, entry->ModifiedAt, hint);
    }
    // Pointing at notes shown in part says so again.
    if (widget == m_memo && !m_partialNotesText.isEmpty())
        return m_partialNotesText;
    return hint;
}

void DocumentView::refreshHintUnderPointer()
{
    if (!m_hintShownFor)
        return;
    const QString hint = hintFor(m_hintShownFor);
    if (!hint.isEmpty())
        emit statusHint(hint);
}

bool DocumentView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_memo->viewport()) {
        // A click in the read-only editor (no row selected) sends the focus to the list.
        if (event->type() == QEvent::MouseButtonPress && m_memo->isReadOnly() && m_partialNotesText.isEmpty()) {
            m_liste->setFocus();
            return true;
        }
        // AutoCopy: the double click selects the word under the pointer, which is copied as it
        // is; no clearing is planned for it.
        if (event->type() == QEvent::MouseButtonDblClick && m_autoCopy) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    const QString word = m_memo->textCursor().selectedText();
                    if (!word.isEmpty())
                        emit notesWordCopyRequested(word);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
    if (watched == m_arbo || watched == m_liste || watched == m_memo) {
        switch (event->type()) {
        case QEvent::ToolTip:
        case QEvent::StatusTip:
            // These three show their hints in the status bar only, through statusHint.
            return true;
        case QEvent::Enter: {
            const QString hint = hintFor(static_cast<QWidget*>(watched));
            m_listHintShown = watched == m_liste && !hint.isEmpty();
            m_hintShownFor = hint.isEmpty() ? nullptr : static_cast<QWidget*>(watched);
            if (!hint.isEmpty())
                emit statusHint(hint);
            break;
        }
        case QEvent::Leave:
            if (watched == m_liste)
                m_listHintShown = false;
            if (watched == m_hintShownFor)
                m_hintShownFor = nullptr;
            break;
        case QEvent::FocusOut:
            if (watched == m_memo)
                commitNotes();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
