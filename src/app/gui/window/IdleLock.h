#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QKeyEvent;
class QTimer;
class QWidget;

// Activity that keeps the idle lock away: a key press that types a character (arrows, function
// keys and lone modifiers type none).
bool KeyTypesCharacter(const QString& text);

// A pointer move over `under` (null: the window's own surface) counts as activity when it is
// inside `window` and not over its menu bar (with the tray button in its corner): open menus are
// windows of their own and never count. Over `under` in another window of the program, a move
// counts when that window is a dialog (typing a server name in the FTP dialog is work too).
bool PointerMoveCounts(const QWidget* under, const QWidget* window);

// The idle lock of the main window: the timer that runs for MainMin minutes after the last
// activity, the watch over typed characters and pointer moves, and the lock itself, which hides
// the document and asks the meta password until the right one is typed or the document is
// closed. What the lock does to the window it asks of its Host.
class IdleLock : public QObject
{
    Q_OBJECT
public:
    // The length of a minute for the timer: tests shorten it.
    static int MillisecondsPerMinute;

    struct Host
    {
        std::function<bool()> lockOn;                   // the idle-lock setting (IdleMain)
        std::function<void(const QString&)> showStatus; // the first status-bar panel
        std::function<QString()> metaPassword;          // MetaPassword of the document
        std::function<void()> commitEdits;              // notes and cell editor
        std::function<void(bool)> showDocument;         // the tree and the right-hand area
        std::function<bool(QString&)> askPassword;      // the prompt in enter mode; false: Cancel
        std::function<bool()> newDocument;              // New with its save question; false: kept
        std::function<void()> closeQuestions;           // questions still open over the closed document
        std::function<bool()> isModified;               // the document has unsaved changes
        std::function<void(bool)> lockWindow;           // while waiting locked: no command, no view
    };

    explicit IdleLock(Host host, QObject* parent = nullptr);

    // RestartIdleTimer: the timer runs again for `minutes` when the lock is on. A length of no
    // minutes or less never locks.
    void restart(bool lockOn, int minutes);
    QTimer* timer() const { return m_timer; }
    // The timer's interval for that many minutes (capped at what a timer holds).
    static int intervalFor(int minutes);

    // Watches typed characters and pointer moves of `window` (and of nothing else) and restarts
    // the timer from `restartIdle` on each.
    void watch(QWidget* window, std::function<void()> restartIdle);

    // timerIdleMain fired: the lock sequence. Runs once at a time.
    void timerIdleMainTimer();
    bool locked() const { return m_locked; }
    // Cancel at the prompt over a modified document leaves it locked, the window without its
    // commands, until the prompt is answered: it comes back when the window is activated (or
    // closed). Nobody at an idle machine can discard the user's work without the meta password.
    bool waiting() const { return m_waiting; }
    // The prompt again, for a lock that is waiting. True when the document is shown again.
    bool resumePrompt();

signals:
    // The prompt of the lock is about to be shown (tests look at the hidden document then).
    void prompting();
    // The prompt was answered and the document is shown again (auto-type waits for it).
    void unlocked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Host m_host;
    QTimer* m_timer;
    QWidget* m_window = nullptr;
    std::function<void()> m_restartIdle;
    bool m_locked = false;
    bool m_waiting = false;
    bool m_prompting = false;

    // The prompt until it is answered; true when the document is shown again.
    bool runPrompt();
};
