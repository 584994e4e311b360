#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>

class ClipboardWatch;
class DocumentState;
class Commands;
class DocumentView;
class QAction;
class QMimeData;

// Copy, Cut and Paste: of text inside the cell editor and the notes editor, otherwise of whole
// entries (the password as text and the entry's record under the private format), the
// double-click copy on a row's icon, and the clearing of what the program put on the clipboard
// (after the delay, and at exit) when the clipboard still holds exactly that text.
//
// Nothing else of the window puts text on the clipboard: the views' own copy keys and the editors'
// own menus come here too. What the program placed is kept in buffers of its own, shared only
// with the clipboard's copy and the watch, and wiped as soon as the clipboard lets go of it.
class ClipboardCommands : public QObject
{
    Q_OBJECT
public:
    ClipboardCommands(DocumentView* view, DocumentState& doc, const Commands& commands, QObject* parent = nullptr);
    ~ClipboardCommands() override;

    // ActionCopier, ActionCouper, ActionColler.
    void Copy();
    // ActionCopierLogin: the selected entry's login, as plain text (no secret mark, not cleared).
    void CopyLogin();
    void Cut();
    void Paste();
    // A double click on the icon of the row at `point` (list viewport coordinates): that row is
    // selected and its entry copied.
    void iconDoubleClicked(const QPoint& point);

    // Copy or Cut of the cell editor's or the notes' selection, whichever has it, whatever has the
    // focus (their own menus).
    void copyEditorSelection(bool fromNotes, bool cut);
    // AutoCopy of a cell just opened: a password is marked secret and watched like every copy of
    // one; other cells are copied as they are, unwatched.
    void autoCopyCell(const QString& text, bool password);

    // A one-time code: on the clipboard marked secret, watched and cleared like a password.
    void copySecretText(const QString& text);

    // WatchClipboardText: the text is cleared after the delay if it is still on the clipboard.
    void WatchClipboardText(const QString& text);
    ClipboardWatch* watch() const { return m_watch; }
    // The clearing setting and its delay in minutes.
    void setClearing(bool on, int minutes);
    // At exit: a clipboard that still holds exactly the watched text is emptied.
    void clearAtExit();
    // The document is closed or replaced: what the clipboard no longer holds is wiped.
    void releaseCopies();
    // Tests: the buffers of the last copy still kept (empty once wiped).
    const QString& placedText() const { return m_placedText; }
    const QByteArray& placedRecord() const { return m_placedRecord; }

    // The clipboard holds an entry record.
    static bool clipboardHoldsEntry();
    // Cut and Paste follow the selection, the clipboard and the lock.
    void updateEnabling();

signals:
    // What a copy put on the clipboard and when it will be cleared, for the status bar:
    // "Password copied, cleared in 5 minutes".
    void copied(const QString& statusText);

private:
    enum class Copied
    {
        Password,
        Code,
        Login,
        Text
    };
    // Says what was copied; a watched copy with its clearing delay.
    void announce(Copied what, bool watched);
    void clearIfWatched();
    // Copy step of a whole entry; false when nothing was put on the clipboard.
    bool copyEntry();
    // Puts an unshared copy of the text (and of the record, when given) on the clipboard, wipes
    // the previous copy, and watches the new one when asked.
    void place(const QString& text, bool secret, QByteArray record, bool watched);
    // Wipes the kept buffers once the clipboard has let go of them.
    void wipePlacedIfReleased();

    DocumentView* m_view;
    DocumentState& m_doc;
    const Commands& m_commands;
    ClipboardWatch* m_watch;
    QString m_placedText;
    QByteArray m_placedRecord;
    QPointer<QMimeData> m_placedData; // null once the clipboard has deleted it
};
