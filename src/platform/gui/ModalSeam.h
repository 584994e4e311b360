#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <utility>

class QWidget;

// Every modal question of the program (message boxes, the meta password dialog, file dialogs,
// the input box, the generator window) asks this seam first. In normal runs it is inactive and
// the real dialog is shown. A test activates it, queues the answers the user would give, and
// reads back what would have been shown; nothing modal ever blocks a test.
class ModalSeam
{
public:
    struct Shown
    {
        Shown() = default;
        // A question as the wrappers record it; the fields left out keep their defaults.
        Shown(QString dialog, QString text, int kind = 0, int buttons = 0, const QWidget* owner = nullptr,
              QString detail = QString())
            : dialog(std::move(dialog)), text(std::move(text)), kind(kind), buttons(buttons), owner(owner),
              detail(std::move(detail))
        {
        }

        QString dialog;  // "ShowMsg", "MetaPass", "OpenFile", "SaveFile", "InputBox", "Generateur", ...
        QString text;    // the message or prompt shown
        int kind = 0;    // dialog-specific: message kind, meta password mode, ...
        int buttons = 0; // dialog-specific: offered buttons
        // The window the dialog would be placed over (null: none, centred on the screen).
        const QWidget* owner = nullptr;
        QString detail; // a second text where there is one: the parameters of a program run
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

    // Tests: called with every question as it is asked, before its answer is taken, to look at
    // the program's state at that moment. Cleared by deactivate().
    static void setObserver(std::function<void(const Shown&)> observer);

    static const QList<Shown>& shown();
    static QStringList shownTexts(const QString& dialog = QString());
    static int unanswered();
    static void clearShown();
};
