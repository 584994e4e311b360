#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// Every modal question of the program (message boxes, the meta password dialog, file dialogs,
// the input box, the generator window) asks this seam first. In normal runs it is inactive and
// the real dialog is shown. A test activates it, queues the answers the user would give, and
// reads back what would have been shown; nothing modal ever blocks a test.
class ModalSeam
{
public:
    struct Shown
    {
        QString dialog;  // "ShowMsg", "MetaPass", "OpenFile", "SaveFile", "InputBox", "Generateur", ...
        QString text;    // the message or prompt shown
        int kind = 0;    // dialog-specific: message kind, meta password mode, ...
        int buttons = 0; // dialog-specific: offered buttons
    };

    static bool active();
    static void activate();   // tests: from now on questions are answered from the queue
    static void deactivate(); // clears the queue and the record too

    // Queues the next answer. The meaning depends on the dialog: a button value for ShowMsg,
    // a password (QString) or an invalid QVariant (Cancel) for the meta password dialog,
    // a path or an empty string (Cancel) for file dialogs, and so on.
    static void pushAnswer(const QVariant& answer);
    static int pendingAnswers();

    // Called by the wrappers: records what would be shown and returns the next queued answer.
    // With no answer queued it returns `fallback` and records the question as unanswered.
    static QVariant ask(const Shown& question, const QVariant& fallback = QVariant());
    // Records what would be shown where there is no question to answer (a link opened in the
    // browser): no queued answer is taken.
    static void record(const Shown& shown);

    static const QList<Shown>& shown();
    static QStringList shownTexts(const QString& dialog = QString());
    static int unanswered();
    static void clearShown();
};
