#pragma once

#include <QObject>
#include <QPointer>
#include <QValidator>

class QLineEdit;
class QPlainTextEdit;

// Keeps out of a text field what a document cannot store. A document holds its texts as
// Windows-1252: any other character would be saved as "?" and lost for good. Installed on every
// field that feeds the document, the guard refuses an edit (typing, paste, drop, input method)
// that would add such a character: nothing of it is inserted, the warning beep sounds and
// refused() carries the reason for the status bar. Characters already in the field (text set by
// the program) stay and do not block other edits.
//
// Notes editors may also get a length limit: no edit may make the text longer than the limit,
// but a text that was already longer (written by another copy of the program) is never cut. The
// length is that of the stored text, where each line break is CR LF and counts two.
class StorableTextGuard : public QObject
{
    Q_OBJECT
public:
    // The one guard that announces refusals; the main window shows them in its status bar.
    static StorableTextGuard* instance();

    // Line edits: through a validator (the field must have none of its own).
    static void install(QLineEdit* edit);
    // Plain text editors: edits are checked once done, and what may not stay is taken out again
    // within the same undo step. Returns the editor's guard, whose suspension the owner uses
    // while it fills the editor itself.
    class PlainTextGuard;
    static PlainTextGuard* install(QPlainTextEdit* edit, int maxLength = -1);

    // The refusal: warning beep and refused(Msg("CarNonStocke")).
    void announceRefusal();

signals:
    void refused(const QString& message);

private:
    StorableTextGuard() = default;
};

// The validator of a guarded line edit: an edit that adds characters Windows-1252 cannot hold is
// invalid, and so undone by the field.
class StorableTextValidator : public QValidator
{
    Q_OBJECT
public:
    explicit StorableTextValidator(QLineEdit* edit);
    State validate(QString& input, int& pos) const override;

private:
    QPointer<QLineEdit> m_edit;
    QString m_accepted; // the field's text after its last change
};

class StorableTextGuard::PlainTextGuard : public QObject
{
    Q_OBJECT
public:
    PlainTextGuard(QPlainTextEdit* edit, int maxLength);

    // While suspended (the program fills the editor) nothing is checked.
    void setSuspended(bool suspended);
    int maxLength() const { return m_maxLength; }

private:
    int storedLength() const;
    void onContentsChange(int position, int removed, int added);
    void onTextChanged();

    QPlainTextEdit* m_edit;
    int m_maxLength;
    int m_position = 0;
    int m_added = 0;
    int m_lastLength = 0; // stored length after the last accepted change
    bool m_pending = false;
    bool m_suspended = false;
    bool m_fixing = false;
};
