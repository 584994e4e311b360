#pragma once

#include "autotype/KeyLayout.h"
#include "autotype/Platform.h"
#include "autotype/Sequence.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <vector>

class QTimer;

namespace autotype {

// Types a plan into one window, one key at a time on the user-interface thread (a timer between
// keys, so the program stays responsive). Before every key the active window is read again: when
// it is no longer the target (the user clicked elsewhere), typing stops at once. Modifiers the
// user still holds from the shortcut are waited for a moment, then released; Caps Lock is turned
// off for the typing and back on after it. Characters the layout lacks go through spare keycodes
// bound at the start and unbound a moment after the end, once the target has read its keys.
class Typist : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Typed,
        WindowChanged, // another window became active: stopped
        TargetLost,    // the target could not be made active again: nothing typed
        NoSpareKey,    // a character is not on the layout and no keycode is free to bind it
        Failed,        // the window system refused a key
    };

    // Timings; tests and the bench may change them.
    static int KeyDelayMs;          // between two keys
    static int ModifierWaitMs;      // how long the user's modifiers are waited for
    static int ActivationTimeoutMs; // how long the target may take to become active again
    static int RebindPauseMs;       // before a spare keycode changes its character mid-typing
    static int UnbindDelayMs;       // after the last key, before the spare keycodes are freed

    explicit Typist(Platform& platform, QObject* parent = nullptr);
    ~Typist() override;

    // Starts typing the plan into the window; with activateFirst, the window is first made active
    // (our own window or dialog had it). False when a typing is already running. The plan is
    // taken over and wiped at the end.
    bool start(Platform::WindowId window, TypingPlan plan, bool activateFirst);
    bool running() const { return m_state != State::Idle; }

    // From start() to the first key sent, and from the first key to the last, of the last typing.
    qint64 firstKeyMs() const { return m_firstKeyMs; }
    qint64 typingMs() const { return m_typingMs; }
    int keysTyped() const { return m_keysTyped; }

signals:
    void keyTyped(int index); // after the key of character `index` was sent
    void finished(autotype::Typist::Outcome outcome);

private:
    enum class State
    {
        Idle,
        Activating,
        WaitingModifiers,
        Typing,
    };
    void step();
    void activating();
    void waitingModifiers();
    void typing();
    void finish(Outcome outcome);
    void schedule(int ms);
    void unbindAll();

    Platform& m_platform;
    QTimer* m_timer;
    State m_state = State::Idle;
    Platform::WindowId m_target = 0;
    TypingPlan m_plan;
    KeyPlan m_keys;
    std::vector<std::pair<int, int>> m_pauses; // (stroke index, ms)
    size_t m_nextPause = 0;
    int m_index = 0;
    int m_rebindWaitedFor = -1;
    bool m_modifiersReleased = false;
    std::vector<int> m_bound; // keycodes bound now
    QElapsedTimer m_clock;
    qint64 m_stateStart = 0;
    qint64 m_lastActivation = 0;
    qint64 m_firstKeyMs = -1;
    qint64 m_typingMs = 0;
    int m_keysTyped = 0;
};

} // namespace autotype
