#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QTimer;

// The clearing of a text the program put on the clipboard: the text is remembered, and after the
// delay the clipboard is emptied if it still holds exactly that text (a later copy by another
// program, or one the program does not watch, is left alone). A later watched copy restarts the
// delay from its own moment. The clipboard itself is read and emptied by the window's side on
// clearDue(); the decision and the delay live here, with a clock that tests can set.
class ClipboardWatch : public QObject
{
    Q_OBJECT
public:
    // Milliseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    explicit ClipboardWatch(QObject* parent = nullptr);

    // The clearing setting and its delay in minutes (Idle/Clipboard, Idle/ClipboardMin). They act
    // from the next watched copy on.
    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }
    void setMinutes(int minutes) { m_minutes = minutes; }
    int minutes() const { return m_minutes; }
    void setClock(Clock clock);

    // WatchClipboardText: remembers the text, stops the delay and starts it again from now when
    // the clearing is on.
    void watch(const QString& text);
    const QString& watchedText() const { return m_watched; }
    // Lets go of the watched text and stops the delay (the text's owner is about to wipe it).
    void forget();
    // Something has been watched since the start (an empty password is a watched text too).
    bool hasWatched() const { return m_hasWatched; }
    // The delay is running.
    bool pending() const { return m_pending; }
    // Time left before the clearing, by the clock (0 when none is pending or it is due).
    qint64 remainingMs() const;

    // The timer's end: when the delay is over, it stops and clearDue() is emitted; a wake-up that
    // comes early (a clock that moved less) waits for the rest.
    void check();

    // Whether a clipboard holding (holdsText, text) is to be emptied for the watched text.
    static bool ShouldClear(bool holdsText, const QString& text, const QString& watched);

signals:
    void clearDue();

private:
    Clock m_clock;
    QTimer* m_timer;
    QString m_watched;
    qint64 m_deadline = 0;
    int m_minutes = 5;
    bool m_enabled = true;
    bool m_pending = false;
    bool m_hasWatched = false;
};
