#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>

// One update request on its own thread: asks an HTTP or HTTPS address for the short answer of the
// update server and keeps at most 2048 bytes of it. The worker shows nothing and touches nothing of
// the program: it leaves its outcome in ErrorText and Answer for the completion handler, which
// connects to finished() before start() and runs on the user-interface thread.
//
// A request never hangs: it gives up after the time-outs, and requestInterruption() stops it at
// the next progress report of the transfer (then it ends with neither an error nor an answer).
class TMajWeb : public QThread
{
    Q_OBJECT
public:
    // `netErrorText` is the message a failure begins with (the language table's, taken on the
    // user-interface thread).
    TMajWeb(const QString& url, bool silent, const QString& netErrorText, QObject* parent = nullptr);
    ~TMajWeb() override;

    static constexpr int kMaxAnswer = 2048;

    const QString CheckUrl;
    const bool Silent;
    // The check that follows an address named by the previous answer: it follows no other.
    bool FollowUp = false;
    QString ErrorText; // empty, or the whole message for the user
    QByteArray Answer; // the bytes received, at most kMaxAnswer

    // The HTTP client could be initialised (libcurl's global set-up, done once).
    static bool clientAvailable();
    // Time-outs of every later request: to connect, and for the whole request.
    static void setTimeouts(int connectMs, int totalMs);
    // Requests made and not yet ended: at exit the process does not wait for them.
    static int running();

protected:
    void run() override;

private:
    void uncount();

    const QString m_netErrorText;
    std::atomic<bool> m_counted{true};
};
