#include "app/IdleLock.h"

#include "crypto/SecureBytes.h"
#include "lang/LangTable.h"

#include <QApplication>
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
        return false;
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
    const auto unlock = qScopeGuard([this] { m_locked = false; });
    m_host.commitEdits();
    m_host.showDocument(false);
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
        // Cancel closes the document, after the save question; the document is shown again only
        // once it is closed. Checking that New ran, rather than that no file name is left, keeps
        // an untitled document whose save question was cancelled under the lock.
        if (m_host.newDocument()) {
            // A question that was on screen when the lock came (the synchronisation question, the
            // FTP dialog...) was about the document just closed: it goes too, unanswered.
            if (m_host.closeQuestions)
                m_host.closeQuestions();
            break;
        }
    }
    m_host.showDocument(true);
}

bool IdleLock::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_window || !m_restartIdle)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        // Seen by the window before its controls: any control of the active main window.
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == m_window &&
            QApplication::activeWindow() == m_window && KeyTypesCharacter(static_cast<QKeyEvent*>(event)->text()))
            m_restartIdle();
        break;
    case QEvent::MouseMove:
        // Taken where the window system hands it to the window, before a control without pointer
        // tracking drops it.
        if (watched == m_window->windowHandle()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QWidget* under = m_window->childAt(m_window->mapFromGlobal(mouse->globalPosition().toPoint()));
            if (PointerMoveCounts(under, m_window))
                m_restartIdle();
        }
        break;
    default:
        break;
    }
    return false;
}
