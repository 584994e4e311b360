#include "platform/ClipboardWatch.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <memory>

ClipboardWatch::ClipboardWatch(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &ClipboardWatch::check);
    setClock({});
}

void ClipboardWatch::setClock(Clock clock)
{
    if (clock) {
        m_clock = std::move(clock);
        return;
    }
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    m_clock = [started] { return started->elapsed(); };
}

void ClipboardWatch::watch(const QString& text)
{
    m_watched = text;
    m_hasWatched = true;
    m_timer->stop();
    m_pending = false;
    if (!m_enabled)
        return;
    const qint64 delay = qint64(std::max(m_minutes, 0)) * 60000;
    m_deadline = m_clock() + delay;
    m_pending = true;
    m_timer->start(static_cast<int>(std::min<qint64>(delay, std::numeric_limits<int>::max())));
}

void ClipboardWatch::forget()
{
    m_timer->stop();
    m_pending = false;
    m_watched.clear();
}

qint64 ClipboardWatch::remainingMs() const
{
    return m_pending ? std::max<qint64>(m_deadline - m_clock(), 0) : 0;
}

void ClipboardWatch::check()
{
    if (!m_pending)
        return;
    const qint64 left = m_deadline - m_clock();
    if (left > 0) {
        m_timer->start(static_cast<int>(std::min<qint64>(left, std::numeric_limits<int>::max())));
        return;
    }
    m_timer->stop();
    m_pending = false;
    emit clearDue();
}

bool ClipboardWatch::ShouldClear(bool holdsText, const QString& text, const QString& watched)
{
    return holdsText && text == watched;
}
