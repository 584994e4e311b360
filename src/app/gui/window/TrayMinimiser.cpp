#include "app/gui/window/TrayMinimiser.h"

#include <QEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

const char* const TrayMinimiser::kRestoreHint = "Restaurer Tresorin";

TrayMinimiser::TrayMinimiser(QWidget* window, std::function<bool()> trayWanted, QObject* parent)
    : QObject(parent), m_window(window), m_trayWanted(std::move(trayWanted)), m_icon(new QSystemTrayIcon(this))
{
    m_icon->setObjectName(QStringLiteral("TrayIcon"));
    m_icon->setIcon(window->windowIcon());
    m_icon->setToolTip(QString::fromUtf8(kRestoreHint));
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            EvenAppliRestore();
    });
    m_window->installEventFilter(this);
}

bool TrayMinimiser::trayAvailable() const
{
    return m_availableOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TrayMinimiser::minimiseToTray()
{
    m_window->showMinimized();
    sendToTray();
}

void TrayMinimiser::sendToTray()
{
    // Without a notification area the window stays minimised where the desktop keeps it: hidden,
    // it could not be brought back.
    if (m_active || !trayAvailable() || !m_window->isMinimized())
        return;
    m_active = true;
    m_icon->show();
    m_window->hide();
}

void TrayMinimiser::EvenAppliRestore()
{
    const bool wasActive = m_active;
    m_active = false;
    m_icon->hide();
    if (!wasActive && !m_window->isMinimized() && m_window->isVisible())
        return;
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool TrayMinimiser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::WindowStateChange) {
        if (m_window->isMinimized()) {
            // After the window system is done minimising: hiding inside its report is refused.
            if (m_trayWanted())
                QTimer::singleShot(0, this, &TrayMinimiser::sendToTray);
        } else if (m_active) {
            // Restored by other means (the window list of the desktop, say): the icon goes too.
            EvenAppliRestore();
        }
    }
    return QObject::eventFilter(watched, event);
}
