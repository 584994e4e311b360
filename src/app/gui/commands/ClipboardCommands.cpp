#include "app/gui/commands/ClipboardCommands.h"

#include "app/gui/window/Commands.h"

#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentModel.h"
#include "document/EntryClipRecord.h"
#include "document/EntryIdentity.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/ClipboardWatch.h"
#include "platform/gui/ClipboardAccess.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
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

ClipboardCommands::ClipboardCommands(DocumentView* view, DocumentState& doc, const Commands& commands, QObject* parent)
    : QObject(parent), m_view(view), m_doc(doc), m_commands(commands), m_watch(new ClipboardWatch(this))
{
    connect(m_watch, &ClipboardWatch::clearDue, this, &ClipboardCommands::clearIfWatched);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        updateEnabling();
        wipePlacedIfReleased();
    });
    // Text selected in a field of the window is not offered to other programs by a middle click:
    // the selection of the notes or of a password cell would stay readable there, never cleared.
    connect(QApplication::clipboard(), &QClipboard::selectionChanged, this, [] {
        QClipboard* board = QApplication::clipboard();
        if (board->supportsSelection() && board->ownsSelection())
            board->clear(QClipboard::Selection);
    });
    connect(m_view, &DocumentView::entrySelected, this, &ClipboardCommands::updateEnabling);
    connect(m_view, &DocumentView::groupChanged, this, &ClipboardCommands::updateEnabling);
    connect(m_view->cellEditing(), &CellEditing::iconDoubleClicked, this, &ClipboardCommands::iconDoubleClicked);
    connect(m_view->cellEditing(), &CellEditing::autoCopyRequested, this, &ClipboardCommands::autoCopyCell);
    connect(m_view, &DocumentView::notesWordCopyRequested, this, [this](const QString& word) {
        place(word, false, QByteArray(), false);
        announce(Copied::Text, false);
    });
    connect(m_view->cellEditing()->editor(), &TCellEditor::copyRequested, this,
            [this](bool cut) { copyEditorSelection(false, cut); });
    connect(m_view->memo(), &NotesEdit::copyRequested, this, [this](bool cut) { copyEditorSelection(true, cut); });
}

ClipboardCommands::~ClipboardCommands()
{
    m_watch->forget();
    secureWipe(m_placedText);
    secureWipe(m_placedRecord);
}

void ClipboardCommands::place(const QString& text, bool secret, QByteArray record, bool watched)
{
    // Unshared copies: the document's own password buffer is never handed to the clipboard, where
    // it could not be wiped with the entry.
    QString own(text.constData(), text.size());
    QByteArray ownRecord;
    if (!record.isNull()) {
        ownRecord = QByteArray(record.constData(), record.size());
        secureWipe(record);
    }
    QMimeData* data = ownRecord.isNull() ? clipboard::setText(own, secret)
                                         : clipboard::setEntry(own, entryclip::mimeType(), ownRecord);
    // The previous copy left the clipboard with the call above.
    m_watch->forget();
    secureWipe(m_placedText);
    secureWipe(m_placedRecord);
    m_placedText = std::move(own);
    m_placedRecord = std::move(ownRecord);
    m_placedData = data;
    if (watched)
        WatchClipboardText(m_placedText);
}

void ClipboardCommands::wipePlacedIfReleased()
{
    if (m_placedData)
        return;
    m_watch->forget();
    secureWipe(m_placedText);
    secureWipe(m_placedRecord);
}

void ClipboardCommands::releaseCopies()
{
    wipePlacedIfReleased();
}

void ClipboardCommands::announce(Copied what, bool watched)
{
    static const char* const kKeys[] = {"CopieMdp", "CopieCode", "CopieLogin", "CopieTexte"};
    QString text = Msg(QLatin1String(kKeys[int(what)]));
    // A copy the clearing will take away says when.
    if (watched && m_watch->enabled())
        text = FillPlaceholders(Msg(QStringLiteral("CopieEfface")),
                                {text, MsgCount(QStringLiteral("NbMinutes"), m_watch->minutes())});
    emit copied(text);
}

void ClipboardCommands::copySecretText(const QString& text)
{
    place(text, true, QByteArray(), true);
    announce(Copied::Code, true);
}

void ClipboardCommands::autoCopyCell(const QString& text, bool password)
{
    place(text, password, QByteArray(), password);
    announce(password ? Copied::Password : Copied::Text, password);
}

void ClipboardCommands::copyEditorSelection(bool fromNotes, bool cut)
{
    if (!fromNotes) {
        TCellEditor* editor = m_view->cellEditing()->isOpen() ? m_view->cellEditing()->editor() : nullptr;
        if (!editor || !editor->hasSelectedText())
            return;
        const bool password = editor->column == EntryListModel::PasswordColumn;
        place(editor->selectedText(), password, QByteArray(), true);
        announce(password ? Copied::Password : Copied::Text, true);
        // The cell changes when the editor commits.
        if (cut && !editor->isReadOnly())
            editor->del();
        return;
    }
    QPlainTextEdit* memo = m_view->memo();
    if (!memo->isEnabled() || !memo->textCursor().hasSelection() || (cut && memo->isReadOnly()))
        return;
    place(plainSelection(memo), false, QByteArray(), true);
    announce(Copied::Text, true);
    if (cut && !memo->isReadOnly())
        memo->textCursor().removeSelectedText();
}

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
    wipePlacedIfReleased();
}

void ClipboardCommands::clearAtExit()
{
    if (m_watch->hasWatched() &&
        ClipboardWatch::ShouldClear(clipboard::holdsText(), clipboard::text(), m_watch->watchedText()))
        QApplication::clipboard()->clear();
    wipePlacedIfReleased();
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
    place(entry->Password, true, entryclip::encode(*entry, m_doc.LocalDoc.FormatVersion), true);
    announce(Copied::Password, true);
    return true;
}

void ClipboardCommands::CopyLogin()
{
    const TFeuille* entry = m_view->selectedEntry();
    if (!entry)
        return;
    if (entry->Login.isEmpty()) {
        emit copied(Msg(QStringLiteral("CopieLoginVide")));
        return;
    }
    // A login is no secret: no mark for clipboard managers, no clearing.
    place(entry->Login, false, QByteArray(), false);
    announce(Copied::Login, false);
}

void ClipboardCommands::Copy()
{
    if (!m_view->selectedEntry())
        return;
    if (m_view->cellEditing()->isOpen()) {
        copyEditorSelection(false, false);
        return;
    }
    if (memoActive(m_view->memo())) {
        copyEditorSelection(true, false);
        return;
    }
    copyEntry();
}

void ClipboardCommands::Cut()
{
    if (!m_view->selectedEntry())
        return;
    if (m_view->cellEditing()->isOpen()) {
        copyEditorSelection(false, true);
        return;
    }
    QPlainTextEdit* memo = m_view->memo();
    if (memoActive(memo)) {
        if (!memo->isReadOnly())
            copyEditorSelection(true, true);
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
    // A record from elsewhere must not become this document's FTP entry, whose address and login
    // the synchronisation would then follow: the mark is dropped, as a merge drops it.
    pasted->IsFtpEntry = false;
    // The record's dates are the clipboard's word: a date in the future would win every merge.
    // A copy pasted beside its original is another entry (an identity of its own); an entry cut
    // and pasted is the same entry moved, and keeps its identity.
    const DateTime now = datetime::now();
    identity::clampFutureDates(*pasted, now);
    pasted->Created = identity::freshIdentity(m_doc, pasted->Created, now);
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
