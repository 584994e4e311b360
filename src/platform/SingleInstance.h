#pragma once

#include <QObject>
#include <QString>

#include <memory>

class DocumentLock;
class QLocalServer;
class QLocalSocket;

// The instances of one user meet through local sockets in a folder only that user can write to
// (folder()): the runtime folder ($XDG_RUNTIME_DIR), else "<temp>/tresorin-<uid>" made for it. A
// folder that is a link, belongs to someone else or that others may write to is never used: then
// no instance is met, rather than one that another user set up to listen in. Before anything is
// sent, the socket file must be the user's own and so must the process at its other end (its
// credentials are asked of the system); connections from other users are refused.
//
// One running instance per user, when the option asks for it: the first instance listens on the
// socket "Orbelune-Tresorin"; a later one connects, sends the wake-up request 4095 and waits for
// the answer 128, which the running instance gives after it has brought its window forward. A
// later instance started with a document sends the open request 4096 instead, followed by the
// document's absolute path (a 32-bit length, then the UTF-8 bytes); the running instance answers
// 128 as well and opens the document after its save question. An older running instance, which
// knows only 4095, leaves 4096 unanswered: the later one then ends as it would anyway.
//
// One window per document, whatever the option: a process that holds a document's lock
// (DocumentLock) listens on its own socket "Orbelune-Tresorin-<pid>" too, where the request 4097
// with a document's path (as 4096) asks it to come forward: it answers 128 when it holds that
// document, 0 otherwise.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 WakeUpRequest = 4095;
    static constexpr quint32 WakeUpAnswer = 128;
    static constexpr quint32 OpenRequest = 4096;
    static constexpr quint32 ShowDocumentRequest = 4097;
    static constexpr quint32 NotHeldAnswer = 0;
    // A longer path is no path of this system: the request is refused.
    static constexpr quint32 MaxPathBytes = 65536;
    static const char* const BaseName; // "Orbelune-Tresorin"

    enum class Claim
    {
        First,         // no other instance: this one now listens (or runs alone: no private folder)
        OtherAnswered, // another instance runs and answered the request
        OtherSilent    // another instance runs but gave no answer in time
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The folder of the sockets and document locks, made when it does not exist; empty when there
    // is none this user alone can write to.
    static QString folder();
    // The name given to the local socket of the one running instance (empty without a folder).
    static QString serverName();
    // The socket of the process pid.
    static QString processSocketName(qint64 pid);

    // Looks for a running instance and wakes it up (asking it to open `document`, an absolute
    // path, when one is given), or starts listening when there is none. Waits at most timeoutMs
    // for the other instance's answer.
    Claim claim(int timeoutMs = 5000, const QString& document = QString());

    bool isListening() const;

    // What came of asking for a document before opening it.
    enum class Reservation
    {
        Reserved,       // this process holds its lock now (lock set): open it
        ShownElsewhere, // another window holds it and came forward: do not open it
        Unreachable,    // another window holds it but did not answer: do not open it
        Unavailable     // no lock can be had here (no private folder): open it without one
    };
    // How long a window asked to come forward is waited for (tests shorten it).
    static int ShowAnswerMs;
    // Takes the lock of the document at canonicalPath for this process, or asks the window that
    // holds it to come forward, waiting at most ShowAnswerMs for its answer.
    static Reservation reserveDocument(const QString& canonicalPath, std::shared_ptr<DocumentLock>& lock);
    // The lock of the document at canonicalPath for this process, when no other holds it (null
    // otherwise, and without a private folder); nobody is asked anything.
    static std::shared_ptr<DocumentLock> holdDocument(const QString& canonicalPath);
    enum class Asked
    {
        Shown,     // it answered that its window came forward
        NoAnswer,  // it took the request but gave no such answer in time
        NotReached // no socket of that process to talk to (none yet, or not this user's)
    };
    // Asks the process pid to bring forward its window of the document at canonicalPath.
    static Asked askToShow(qint64 pid, const QString& canonicalPath, int timeoutMs = 3000);

    // Where the requests to show a document arrive, for every window of the process.
    static SingleInstance* documentRequests();

signals:
    // A later instance asked this one to come forward. Connected handlers run before the answer
    // is sent.
    void wakeUpRequested();
    // A later instance asks this one to open a document (an absolute path). Emitted before the
    // answer is sent: handlers must not wait for the user (queue the open).
    void openRequested(const QString& path);
    // Emitted by documentRequests(): another start asks the window holding this document (a
    // canonical path this process holds) to come forward, before the answer is sent.
    void showDocumentRequested(const QString& path);

private:
    // This process's own socket, opened in the current folder when it is not listening there yet.
    static bool openProcessSocket();
    void listenOn(QLocalServer* server);
    void answer(QLocalSocket* socket);
    static Claim askRunningInstance(int timeoutMs, const QString& document, bool* connected);

    QLocalServer* m_server = nullptr;
};
