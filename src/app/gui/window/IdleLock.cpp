#include "app/gui/window/IdleLock.h"

#include "crypto/SecureBytes.h"
#include "lang/LangTable.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <climits>

int IdleLock::MillisecondsPerMinute = 60000;

bool KeyTypesCharacter(const QString& text)
{
    return !text.isEmpty();
}

bool PointerMoveCounts(const QWidget* under, const QWidget* window)
{
    if (!window)
        return false;
    if (!under)
        return true;
    if (under->window() != window)
        return qobject_cast<const QDialog*>(under->window()) != nullptr;
    for (const QWidget* w = under; w && w != window; w = w->parentWidget())
        if (qobject_cast<const QMenuBar*>(w))
            return false;
    return true;
}

IdleLock::IdleLock(Host host, QObject* parent) : QObject(parent), m_host(std::move(host)), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("timerIdleMain"));
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &IdleLock::timerIdleMainTimer);
}

int IdleLock::intervalFor(int minutes)
{
    const qint64 ms = qint64(minutes) * MillisecondsPerMinute;
    return int(std::clamp<qint64>(ms, 0, INT_MAX));
}

void IdleLock::restart(bool lockOn, int minutes)
{
    m_timer->stop();
    m_timer->setInterval(intervalFor(minutes));
    // A timer of no length would fire at once and lock again and again.
    if (lockOn && minutes > 0)
        m_timer->start();
}

void IdleLock::watch(QWidget* window, std::function<void()> restartIdle)
{
    m_window = window;
    m_restartIdle = std::move(restartIdle);
    qApp->installEventFilter(this);
}

void IdleLock::timerIdleMainTimer()
{
    if (m_host.lockOn())
        m_host.showStatus(Msg(QStringLiteral("IdleLock")));
    m_timer->stop();
    // A document without a meta password is never locked; a lock already showing is enough.
    if (m_locked || m_host.metaPassword().isEmpty())
        return;
    m_locked = true;
    m_host.commitEdits();
    m_host.showDocument(false);
    runPrompt();
}

bool IdleLock::resumePrompt()
{
    return m_waiting && runPrompt();
}

bool IdleLock::runPrompt()
{
    // An activation the prompt itself causes does not start a second one.
    if (m_prompting)
        return false;
    m_prompting = true;
    const auto done = qScopeGuard([this] { m_prompting = false; });
    const auto wait = [this] {
        if (!m_waiting && m_host.lockWindow)
            m_host.lockWindow(true);
        m_waiting = true;
        return false;
    };
    for (;;) {
        emit prompting();
        QString typed;
        // A wrong attempt is often the right password with one key wrong: it does not stay behind.
        const auto wipeTyped = qScopeGuard([&typed] { secureWipe(typed); });
        if (m_host.askPassword(typed)) {
            if (typed == m_host.metaPassword())
                break;
            continue;
        }
        // Unsaved changes are never thrown away without the meta password: the document stays
        // locked and the prompt comes back.
        if (m_host.isModified && m_host.isModified())
            return wait();
        // Cancel closes the document; it is shown again only once it is closed. Checking that New
        // ran, rather than that no file name is left, keeps a document whose closing failed locked.
        if (m_host.newDocument()) {
            // A question that was on screen when the lock came (the synchronisation question, the
            // FTP dialog...) was about the document just closed: it goes too, unanswered.
            if (m_host.closeQuestions)
                m_host.closeQuestions();
            break;
        }
        return wait();
    }
    if (m_waiting && m_host.lockWindow)
        m_host.lockWindow(false);
    m_waiting = false;
    m_locked = false;
    m_host.showDocument(true);
    emit unlocked();
    return true;
}

bool IdleLock::eventFilter(QObject* watched, QEvent* event)
{
    // While locked nothing is activity: the lock ends only through its prompt.
    if (!m_window || !m_restartIdle || m_locked)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Seen by a window before its controls: any control of the main window or of a dialog of
        // the program, while the program has the keyboard.
        if (!watched->isWidgetType() || !QApplication::activeWindow())
            break;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        const bool ours = window == m_window || qobject_cast<QDialog*>(window);
        if (ours && KeyTypesCharacter(static_cast<QKeyEvent*>(event)->text()))
            m_restartIdle();
        break;
    }
    case QEvent::MouseMove: {
        // Taken where the window system hands it to the window, before a control without pointer
        // tracking drops it.
        if (!watched->isWindowType())
            break;
        // The main window, or a dialog of the program.
        QWidget* top = watched == m_window->windowHandle() ? m_window : nullptr;
        if (!top) {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->windowHandle() == watched && qobject_cast<QDialog*>(w))
                    top = w;
        }
        if (!top)
            break;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QWidget* under = top->childAt(top->mapFromGlobal(mouse->globalPosition().toPoint()));
        if (PointerMoveCounts(under ? under : (top == m_window ? nullptr : top), m_window))
            m_restartIdle();
        break;
    }
    default:
        break;
    }
    return false;
}
