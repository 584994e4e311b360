#include "support/XvfbSession.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace testsupport {

XvfbSession::XvfbSession()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (xvfb.isEmpty() || openbox.isEmpty()) {
        m_error = QStringLiteral("Xvfb or openbox is not installed (tools/deps.sh test installs them)");
        return;
    }
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    // The server writes the display number it chose to standard output once it listens.
    m_server->start(xvfb,
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_server->waitForStarted(10000)) {
        m_error = QStringLiteral("Xvfb did not start");
        return;
    }
    QByteArray number;
    const QDeadlineTimer deadline(20000);
    while (!number.contains('\n') && !deadline.hasExpired() && m_server->state() == QProcess::Running) {
        m_server->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        number += m_server->readAllStandardOutput();
    }
    number = number.trimmed();
    if (number.isEmpty()) {
        m_error =
            QStringLiteral("Xvfb gave no display number: ") + QString::fromLocal8Bit(m_server->readAllStandardError());
        return;
    }
    m_display = ':' + number;
    m_manager = std::make_unique<QProcess>();
    m_manager->setProcessEnvironment(environment());
    m_manager->setStandardOutputFile(QProcess::nullDevice());
    m_manager->setStandardErrorFile(QProcess::nullDevice());
    m_manager->start(openbox, {QStringLiteral("--sm-disable")});
    if (!m_manager->waitForStarted(10000) || !waitForWindowManager(20000)) {
        m_error = QStringLiteral("openbox did not take the display");
        return;
    }
    m_running = true;
}

XvfbSession::~XvfbSession()
{
    for (QProcess* p : {m_manager.get(), m_server.get()}) {
        if (p && p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
}

QProcessEnvironment XvfbSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

bool XvfbSession::setLayout(const QString& layout) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layout});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool XvfbSession::waitForWindowManager(int timeoutMs)
{
    Display* d = XOpenDisplay(m_display.constData());
    if (!d)
        return false;
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    const QDeadlineTimer deadline(timeoutMs);
    bool ready = false;
    while (!ready && !deadline.hasExpired() && m_manager->state() == QProcess::Running) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                               &data) == Success &&
            items > 0)
            ready = true;
        if (data)
            XFree(data);
        if (!ready)
            QThread::msleep(20);
    }
    XCloseDisplay(d);
    return ready;
}

} // namespace testsupport
