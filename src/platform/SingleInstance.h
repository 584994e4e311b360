#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running instance per user. The first instance listens on a local socket named
// "Orbelune-Tresorin"; a later one connects, sends the wake-up request 4095 and waits for the
// answer 128, which the running instance gives after it has brought its window forward. A later
// instance started with a document sends the open request 4096 instead, followed by the
// document's absolute path (a 32-bit length, then the UTF-8 bytes); the running instance answers
// 128 as well and opens the document after its save question. An older running instance, which
// knows only 4095, leaves 4096 unanswered: the later one then ends as it would anyway.
//
// The socket lives in the user's runtime folder ($XDG_RUNTIME_DIR) when there is one, else it is
// the name with the user name appended, so that two users of one machine never meet.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 WakeUpRequest = 4095;
    static constexpr quint32 WakeUpAnswer = 128;
    static constexpr quint32 OpenRequest = 4096;
    // A longer path is no path of this system: the request is refused.
    static constexpr quint32 MaxPathBytes = 65536;
    static const char* const BaseName; // "Orbelune-Tresorin"

    enum class Claim
    {
        First,         // no other instance: this one now listens
        OtherAnswered, // another instance runs and answered the request
        OtherSilent    // another instance runs but gave no answer in time
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The name given to the local socket.
    static QString serverName();

    // Looks for a running instance and wakes it up (asking it to open `document`, an absolute
    // path, when one is given), or starts listening when there is none. Waits at most timeoutMs
    // for the other instance's answer.
    Claim claim(int timeoutMs = 5000, const QString& document = QString());

    bool isListening() const;

signals:
    // A later instance asked this one to come forward. Connected handlers run before the answer
    // is sent.
    void wakeUpRequested();
    // A later instance asks this one to open a document (an absolute path). Emitted before the
    // answer is sent: handlers must not wait for the user (queue the open).
    void openRequested(const QString& path);

private:
    void acceptConnections();
    static Claim askRunningInstance(int timeoutMs, const QString& document, bool* connected);

    QLocalServer* m_server = nullptr;
};
