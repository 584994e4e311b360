#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class ClipboardWatch;
class DocumentState;
class DocumentView;
class QAction;
class QString;

// Copy, Cut and Paste: of text inside the cell editor and the notes editor, otherwise of whole
// entries (the password as text and the entry's record under the private format), the
// double-click copy on a row's icon, and the clearing of what the program put on the clipboard
// (after the delay, and at exit) when the clipboard still holds exactly that text.
class ClipboardCommands : public QObject
{
    Q_OBJECT
public:
    ClipboardCommands(DocumentView* view, DocumentState& doc, std::function<QAction*(const QString&)> action,
                      QObject* parent = nullptr);
    ~ClipboardCommands() override;

    // ActionCopier, ActionCouper, ActionColler.
    void Copy();
    void Cut();
    void Paste();
    // A double click on the icon of the row at `point` (list viewport coordinates): that row is
    // selected and its entry copied.
    void iconDoubleClicked(const QPoint& point);

    // WatchClipboardText: the text is cleared after the delay if it is still on the clipboard.
    void WatchClipboardText(const QString& text);
    ClipboardWatch* watch() const { return m_watch; }
    // The clearing setting and its delay in minutes.
    void setClearing(bool on, int minutes);
    // At exit: a clipboard that still holds exactly the watched text is emptied.
    void clearAtExit();

    // The clipboard holds an entry record.
    static bool clipboardHoldsEntry();
    // Cut and Paste follow the selection, the clipboard and the lock.
    void updateEnabling();

private:
    void clearIfWatched();
    // Copy step of a whole entry; false when nothing was put on the clipboard.
    bool copyEntry();

    DocumentView* m_view;
    DocumentState& m_doc;
    std::function<QAction*(const QString&)> m_action;
    ClipboardWatch* m_watch;
};
