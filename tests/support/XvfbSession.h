#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace testsupport {

// An X server of the test's own: Xvfb on a display number it finds free itself (-displayfd), and
// the openbox window manager on it (an active window and focus changes need one). Everything is
// waited for by condition (the server's answer, the manager's mark on the root window), and stopped
// by the destructor. Without Xvfb or openbox installed it does not run: error() says what is missing.
class XvfbSession
{
public:
    XvfbSession();
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    bool isRunning() const { return m_running; }
    QString error() const { return m_error; }
    // ":N"
    QByteArray display() const { return m_display; }
    // The environment of a program shown on this server (the toolkit's X11 platform).
    QProcessEnvironment environment() const;
    // Switches the server's keyboard layout (setxkbmap); false when it failed.
    bool setLayout(const QString& layout) const;

private:
    bool waitForWindowManager(int timeoutMs);

    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_manager;
    QByteArray m_display;
    QString m_error;
    bool m_running = false;
};

} // namespace testsupport
