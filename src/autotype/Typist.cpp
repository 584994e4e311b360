#include "autotype/Typist.h"

#include <QTimer>

#include <algorithm>

namespace autotype {

int Typist::KeyDelayMs = 12;
int Typist::ModifierWaitMs = 600;
int Typist::ActivationTimeoutMs = 3000;
int Typist::RebindPauseMs = 150;
int Typist::UnbindDelayMs = 500;

namespace {
// How often the modifiers and the activation are looked at while waited for.
constexpr int kPollMs = 10;
// How often the window manager is asked again to activate the target.
constexpr int kActivationRepeatMs = 500;
} // namespace

Typist::Typist(Platform& platform, QObject* parent) : QObject(parent), m_platform(platform), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    // A {DELAY} is waited whole: a coarse timer may fire a little early.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &Typist::step);
}

Typist::~Typist()
{
    m_plan.wipe();
    m_keys.wipe();
    unbindAll();
}

bool Typist::start(Platform::WindowId window, TypingPlan plan, bool activateFirst)
{
    if (running() || !window)
        return false;
    // A previous typing's spare keycodes go now: the layout is read afresh below.
    unbindAll();
    m_target = window;
    m_plan = std::move(plan);
    m_keys.wipe();
    m_pauses.clear();
    m_nextPause = 0;
    m_index = 0;
    m_rebindWaitedFor = -1;
    m_modifiersReleased = false;
    m_firstKeyMs = -1;
    m_typingMs = 0;
    m_keysTyped = 0;
    m_clock.start();
    m_stateStart = 0;
    m_lastActivation = -kActivationRepeatMs;
    m_state = activateFirst ? State::Activating : State::WaitingModifiers;
    schedule(0);
    return true;
}

void Typist::schedule(int ms)
{
    m_timer->start(std::max(0, ms));
}

void Typist::step()
{
    switch (m_state) {
    case State::Idle:
        break;
    case State::Activating:
        activating();
        break;
    case State::WaitingModifiers:
        waitingModifiers();
        break;
    case State::Typing:
        typing();
        break;
    }
}

void Typist::activating()
{
    if (m_platform.activeWindow() == m_target) {
        m_state = State::WaitingModifiers;
        m_stateStart = m_clock.elapsed();
        step();
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (now - m_stateStart >= ActivationTimeoutMs) {
        finish(Outcome::TargetLost);
        return;
    }
    if (now - m_lastActivation >= kActivationRepeatMs) {
        m_platform.activateWindow(m_target);
        m_lastActivation = now;
    }
    schedule(kPollMs);
}

void Typist::waitingModifiers()
{
    if (m_platform.modifiersHeld() && m_clock.elapsed() - m_stateStart < ModifierWaitMs) {
        schedule(kPollMs);
        return;
    }
    m_platform.releaseModifiers();
    m_modifiersReleased = true;
    m_keys = planKeys(m_plan.text, m_platform.keyboardMap());
    if (!m_keys.ok) {
        finish(Outcome::NoSpareKey);
        return;
    }
    // The pauses by stroke: the plan counts UTF-16 units, the strokes code points.
    int stroke = 0;
    size_t pause = 0;
    for (qsizetype i = 0; i <= m_plan.text.size(); ++i) {
        while (pause < m_plan.pauses.size() && m_plan.pauses[pause].first == i)
            m_pauses.emplace_back(stroke, m_plan.pauses[pause++].second);
        if (i < m_plan.text.size() &&
            !(m_plan.text[i].isHighSurrogate() && i + 1 < m_plan.text.size() && m_plan.text[i + 1].isLowSurrogate()))
            ++stroke;
    }
    // Every binding that needs no earlier one to go first is made before the first key, so that
    // the target reads the new layout once, before any key that uses it.
    for (const SpareBinding& b : m_keys.bindings) {
        if (b.rebinds)
            continue;
        if (!m_platform.bindKeycode(b.keycode, b.lower, b.upper)) {
            finish(Outcome::Failed);
            return;
        }
        m_bound.push_back(b.keycode);
    }
    m_state = State::Typing;
    typing();
}

void Typist::typing()
{
    // The pauses of the sequence before this character, each once.
    if (m_nextPause < m_pauses.size() && m_pauses[m_nextPause].first == m_index) {
        schedule(m_pauses[m_nextPause++].second);
        return;
    }
    if (m_index >= int(m_keys.strokes.size())) {
        finish(Outcome::Typed);
        return;
    }
    if (m_platform.activeWindow() != m_target) {
        finish(Outcome::WindowChanged);
        return;
    }
    const KeyStroke& stroke = m_keys.strokes[size_t(m_index)];
    if (stroke.binding >= 0) {
        const SpareBinding& b = m_keys.bindings[size_t(stroke.binding)];
        if (b.rebinds && b.firstStroke == m_index) {
            if (m_rebindWaitedFor != m_index) {
                // The target must have read the earlier keys of this keycode before it changes.
                m_rebindWaitedFor = m_index;
                schedule(RebindPauseMs);
                return;
            }
            if (!m_platform.bindKeycode(b.keycode, b.lower, b.upper)) {
                finish(Outcome::Failed);
                return;
            }
            if (std::find(m_bound.begin(), m_bound.end(), b.keycode) == m_bound.end())
                m_bound.push_back(b.keycode);
        }
    }
    if (!m_platform.typeKeysym(stroke.keysym)) {
        finish(Outcome::Failed);
        return;
    }
    if (m_firstKeyMs < 0)
        m_firstKeyMs = m_clock.elapsed();
    ++m_keysTyped;
    emit keyTyped(m_index);
    ++m_index;
    // Nothing waits after the last key but the pauses at the end of the sequence.
    schedule(m_index >= int(m_keys.strokes.size()) ? 0 : KeyDelayMs);
}

void Typist::finish(Outcome outcome)
{
    m_timer->stop();
    if (m_firstKeyMs >= 0)
        m_typingMs = m_clock.elapsed() - m_firstKeyMs;
    m_state = State::Idle;
    m_plan.wipe();
    m_keys.wipe();
    m_pauses.clear();
    if (m_modifiersReleased)
        m_platform.restoreLocks();
    m_modifiersReleased = false;
    if (!m_bound.empty()) {
        // The target reads its keys after they were sent: the spare keycodes keep their
        // characters a moment longer.
        const QPointer<Typist> self(this);
        QTimer::singleShot(UnbindDelayMs, this, [self] {
            if (self && !self->running())
                self->unbindAll();
        });
    }
    emit finished(outcome);
}

void Typist::unbindAll()
{
    for (const int keycode : m_bound)
        m_platform.unbindKeycode(keycode);
    m_bound.clear();
}

} // namespace autotype
