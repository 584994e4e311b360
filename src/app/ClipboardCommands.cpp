#include "app/ClipboardCommands.h"

#include "app/CellEditing.h"
#include "app/DocumentView.h"
#include "app/EntryListModel.h"
#include "app/EntryListView.h"
#include "document/DocumentModel.h"
#include "document/EntryClipRecord.h"
#include "lang/gui/ShowMsg.h"
#include "platform/ClipboardWatch.h"
#include "platform/gui/ClipboardAccess.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

// Texts of the clipboard commands that are fixed in both languages.
const char kNoEntryText[] = "The clipboard contains no Tresorin text !";

// The notes editor keeps line breaks as paragraph separators in its selections.
QString plainSelection(const QPlainTextEdit* memo)
{
    QString text = memo->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

bool memoActive(const QPlainTextEdit* memo)
{
    return memo->hasFocus() && memo->isEnabled();
}

} // namespace

ClipboardCommands::ClipboardCommands(DocumentView* view, DocumentState& doc,
                                     std::function<QAction*(const QString&)> action, QObject* parent)
    : QObject(parent), m_view(view), m_doc(doc), m_action(std::move(action)), m_watch(new ClipboardWatch(this))
{
    connect(m_watch, &ClipboardWatch::clearDue, this, &ClipboardCommands::clearIfWatched);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &ClipboardCommands::updateEnabling);
    connect(m_view, &DocumentView::entrySelected, this, &ClipboardCommands::updateEnabling);
    connect(m_view, &DocumentView::groupChanged, this, &ClipboardCommands::updateEnabling);
    connect(m_view->cellEditing(), &CellEditing::iconDoubleClicked, this, &ClipboardCommands::iconDoubleClicked);
}

ClipboardCommands::~ClipboardCommands() = default;

void ClipboardCommands::setClearing(bool on, int minutes)
{
    m_watch->setEnabled(on);
    m_watch->setMinutes(minutes);
}

void ClipboardCommands::WatchClipboardText(const QString& text)
{
    m_watch->watch(text);
}

void ClipboardCommands::clearIfWatched()
{
    if (ClipboardWatch::ShouldClear(clipboard::holdsText(), clipboard::text(), m_watch->watchedText()))
        clipboard::empty();
}

void ClipboardCommands::clearAtExit()
{
    if (m_watch->hasWatched() &&
        ClipboardWatch::ShouldClear(clipboard::holdsText(), clipboard::text(), m_watch->watchedText()))
        QApplication::clipboard()->clear();
}

bool ClipboardCommands::clipboardHoldsEntry()
{
    return clipboard::holds(entryclip::mimeType());
}

void ClipboardCommands::updateEnabling()
{
    m_view->updateClipboardActions(clipboardHoldsEntry());
}

bool ClipboardCommands::copyEntry()
{
    const TFeuille* entry = m_view->selectedEntry();
    if (!entry)
        return false;
    clipboard::setEntry(entry->Password, entryclip::mimeType(),
                        entryclip::encode(*entry, m_doc.LocalDoc.FormatVersion));
    WatchClipboardText(entry->Password);
    return true;
}

void ClipboardCommands::Copy()
{
    if (!m_view->selectedEntry())
        return;
    CellEditing* cells = m_view->cellEditing();
    if (cells->isOpen()) {
        const TCellEditor* editor = cells->editor();
        if (!editor->hasSelectedText())
            return;
        const QString text = editor->selectedText();
        clipboard::setText(text, editor->column == EntryListModel::PasswordColumn);
        WatchClipboardText(text);
        return;
    }
    QPlainTextEdit* memo = m_view->memo();
    if (memoActive(memo)) {
        if (!memo->textCursor().hasSelection())
            return;
        const QString text = plainSelection(memo);
        clipboard::setText(text, false);
        WatchClipboardText(text);
        return;
    }
    copyEntry();
}

void ClipboardCommands::Cut()
{
    if (!m_view->selectedEntry())
        return;
    CellEditing* cells = m_view->cellEditing();
    if (cells->isOpen()) {
        TCellEditor* editor = cells->editor();
        if (!editor->hasSelectedText())
            return;
        const QString text = editor->selectedText();
        clipboard::setText(text, editor->column == EntryListModel::PasswordColumn);
        // The cell changes when the editor commits.
        editor->del();
        WatchClipboardText(text);
        return;
    }
    QPlainTextEdit* memo = m_view->memo();
    if (memoActive(memo)) {
        if (!memo->textCursor().hasSelection() || memo->isReadOnly())
            return;
        const QString text = plainSelection(memo);
        clipboard::setText(text, false);
        memo->textCursor().removeSelectedText();
        WatchClipboardText(text);
        return;
    }
    if (m_doc.ReadOnlyLock)
        return;
    TFeuille* entry = m_view->selectedEntry();
    if (!copyEntry() || !clipboardHoldsEntry())
        return;
    // The row goes first: its typed notes are stored while the entry still exists.
    m_view->removeEntryRow(m_view->rowOfEntry(entry));
    m_doc.removeEntry(m_doc.indexOfEntry(entry));
    m_doc.SetModified(true);
}

void ClipboardCommands::Paste()
{
    CellEditing* cells = m_view->cellEditing();
    if (cells->isOpen() && clipboard::holdsText()) {
        cells->editor()->paste();
        return;
    }
    QPlainTextEdit* memo = m_view->memo();
    if (memoActive(memo) && !memo->isReadOnly() && clipboard::holdsText()) {
        memo->paste();
        return;
    }
    if (m_doc.ReadOnlyLock)
        return;
    if (!clipboardHoldsEntry()) {
        ShowMsg(QString::fromLatin1(kNoEntryText), MsgKind::Error, MsgOK);
        return;
    }
    std::unique_ptr<TFeuille> pasted = entryclip::decode(clipboard::data(entryclip::mimeType()));
    if (!pasted) {
        // A record cut short or malformed is no entry: nothing is read past its end and nothing
        // changes.
        ShowMsg(QString::fromLatin1(kNoEntryText), MsgKind::Error, MsgOK);
        return;
    }
    const TGroupe* group = m_view->selectedGroup();
    pasted->Group = group ? group->Id : 0;
    TFeuille* entry = m_doc.appendEntry(std::move(pasted));
    m_view->insertEntryRow(m_view->selectedRow(), entry);
    m_doc.SetModified(true);
}

void ClipboardCommands::iconDoubleClicked(const QPoint& point)
{
    const QModelIndex index = m_view->liste()->indexAt(point);
    if (index.isValid())
        m_view->selectRow(index.row());
    Copy();
}
