#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running instance per user. The first instance listens on a local socket named
// "Orbelune-Tresorin"; a later one connects, sends the wake-up request 4095 and waits for the
// answer 128, which the running instance gives after it has brought its window forward.
//
// The socket lives in the user's runtime folder ($XDG_RUNTIME_DIR) when there is one, else it is
// the name with the user name appended, so that two users of one machine never meet.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 WakeUpRequest = 4095;
    static constexpr quint32 WakeUpAnswer = 128;
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

    // Looks for a running instance and wakes it up, or starts listening when there is none.
    // Waits at most timeoutMs for the other instance's answer.
    Claim claim(int timeoutMs = 5000);

    bool isListening() const;

signals:
    // A later instance asked this one to come forward. Connected handlers run before the answer
    // is sent.
    void wakeUpRequested();

private:
    void acceptConnections();
    static Claim askRunningInstance(int timeoutMs, bool* connected);

    QLocalServer* m_server = nullptr;
};
