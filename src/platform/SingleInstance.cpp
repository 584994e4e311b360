#include "platform/SingleInstance.h"

#include "platform/DocumentLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

const char* const SingleInstance::BaseName = "Orbelune-Tresorin";
int SingleInstance::ShowAnswerMs = 3000;

namespace {

QByteArray encode(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

#ifdef Q_OS_UNIX
// A real folder (no link) of this user that no one else may write to.
bool privateFolder(const QByteArray& path)
{
    struct stat st
    {
    };
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A socket file of this user.
bool ownSocket(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == geteuid();
}

// The process at the other end of a connected local socket runs as this user.
bool peerIsThisUser(qintptr fd)
{
#if defined(Q_OS_LINUX)
    ucred cred{};
    socklen_t length = sizeof cred;
    return ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 && cred.uid == geteuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    return ::getpeereid(int(fd), &uid, &gid) == 0 && uid == geteuid();
#endif
}
#else
QString userName()
{
    QString name = qEnvironmentVariable("USERNAME");
    QString safe;
    for (const QChar c : name)
        safe += (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.')) ? c : QLatin1Char('_');
    return safe;
}
#endif

// Connects to the socket at path only when it is this user's and so is the process behind it;
// nothing has been sent when this returns false.
bool connectChecked(QLocalSocket& socket, const QString& path, int timeoutMs)
{
    if (path.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    if (!ownSocket(path))
        return false;
#endif
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
#ifdef Q_OS_UNIX
    if (!peerIsThisUser(socket.socketDescriptor())) {
        socket.abort();
        return false;
    }
#endif
    return true;
}

// The 4-byte answer to a request already written; 0 when none came in time.
quint32 readAnswer(QLocalSocket& socket, int timeoutMs)
{
    socket.waitForBytesWritten(timeoutMs);
    QByteArray answer;
    while (answer.size() < 4) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs))
            break;
        answer += socket.read(4 - answer.size());
    }
    socket.abort();
    return answer.size() == 4 ? qFromLittleEndian<quint32>(answer.constData()) : 0;
}

QByteArray pathRequest(quint32 request, const QString& path)
{
    const QByteArray bytes = path.toUtf8();
    return encode(request) + encode(quint32(bytes.size())) + bytes;
}

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::folder()
{
#ifdef Q_OS_UNIX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && privateFolder(QFile::encodeName(runtime)))
        return QDir::cleanPath(runtime);
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("tresorin-%1").arg(geteuid()));
    const QByteArray name = QFile::encodeName(own);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    return privateFolder(name) ? own : QString();
#else
    return QString();
#endif
}

QString SingleInstance::serverName()
{
#ifdef Q_OS_UNIX
    const QString dir = folder();
    return dir.isEmpty() ? QString() : QDir(dir).filePath(QLatin1String(BaseName));
#else
    const QString user = userName();
    return user.isEmpty() ? QString::fromLatin1(BaseName) : QLatin1String(BaseName) + QLatin1Char('-') + user;
#endif
}

QString SingleInstance::processSocketName(qint64 pid)
{
    const QString dir = folder();
    return dir.isEmpty() ? QString()
                         : QDir(dir).filePath(QStringLiteral("%1-%2").arg(QLatin1String(BaseName)).arg(pid));
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

SingleInstance::Claim SingleInstance::askRunningInstance(int timeoutMs, const QString& document, bool* connected)
{
    QLocalSocket socket;
    *connected = connectChecked(socket, serverName(), qMin(timeoutMs, 1000));
    if (!*connected)
        return Claim::First;
    const QByteArray path = document.toUtf8();
    if (!document.isEmpty() && quint32(path.size()) <= MaxPathBytes)
        socket.write(pathRequest(OpenRequest, document));
    else
        socket.write(encode(WakeUpRequest));
    return readAnswer(socket, timeoutMs) == WakeUpAnswer ? Claim::OtherAnswered : Claim::OtherSilent;
}

SingleInstance::Claim SingleInstance::claim(int timeoutMs, const QString& document)
{
    const QString name = serverName();
    // No folder only this user can write to: no instance to meet, and none to be met.
    if (name.isEmpty())
        return Claim::First;
    // Two attempts: a socket left behind by an instance that crashed is removed once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool connected = false;
        const Claim asked = askRunningInstance(timeoutMs, document, &connected);
        if (connected)
            return asked;
        if (!m_server) {
            m_server = new QLocalServer(this);
            m_server->setSocketOptions(QLocalServer::UserAccessOption);
            listenOn(m_server);
        }
        if (m_server->listen(name))
            return Claim::First;
        if (m_server->serverError() != QAbstractSocket::AddressInUseError)
            break;
        // The name is taken: either an instance started listening since the first question,
        // which is asked again, or a crashed one left its socket behind, which is removed. A live
        // instance's socket is never removed.
        const Claim again = askRunningInstance(timeoutMs, document, &connected);
        if (connected)
            return again;
        QLocalServer::removeServer(name);
    }
    // Whatever keeps the name busy is not an instance that listens: run on without the lock.
    return Claim::First;
}

SingleInstance* SingleInstance::documentRequests()
{
    static QPointer<SingleInstance> requests;
    if (!requests)
        requests = new SingleInstance(QCoreApplication::instance());
    return requests;
}

bool SingleInstance::openProcessSocket()
{
    const QString name = processSocketName(QCoreApplication::applicationPid());
    if (name.isEmpty())
        return false;
    SingleInstance* door = documentRequests();
    if (door->m_server && door->m_server->isListening() && door->m_server->fullServerName() == name)
        return true;
    if (!door->m_server) {
        door->m_server = new QLocalServer(door);
        door->m_server->setSocketOptions(QLocalServer::UserAccessOption);
        door->listenOn(door->m_server);
    }
    door->m_server->close();
    // Only this process uses this name: what is there was left by an earlier process of this id.
    QLocalServer::removeServer(name);
    return door->m_server->listen(name);
}

SingleInstance::Reservation SingleInstance::reserveDocument(const QString& canonicalPath,
                                                            std::shared_ptr<DocumentLock>& lock)
{
    const int timeoutMs = ShowAnswerMs;
    lock.reset();
    const QString dir = folder();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const DocumentLock::Result r = DocumentLock::acquire(dir, canonicalPath);
        switch (r.outcome) {
        case DocumentLock::Outcome::Held:
            lock = r.handle;
            openProcessSocket();
            return Reservation::Reserved;
        case DocumentLock::Outcome::Unavailable:
            return Reservation::Unavailable;
        case DocumentLock::Outcome::HeldElsewhere:
            break;
        }
        const Asked asked = r.holder > 0 ? askToShow(r.holder, canonicalPath, timeoutMs) : Asked::NotReached;
        if (asked == Asked::Shown)
            return Reservation::ShownElsewhere;
        // The holder writes its id and opens its socket right after taking the lock, and one that
        // is ending lets it go: both are given a moment; one that listens but does not answer is
        // not asked again.
        if (asked == Asked::NoAnswer || waited.elapsed() > 1000)
            return Reservation::Unreachable;
        QThread::msleep(50);
    }
}

std::shared_ptr<DocumentLock> SingleInstance::holdDocument(const QString& canonicalPath)
{
    DocumentLock::Result r = DocumentLock::acquire(folder(), canonicalPath);
    if (r.outcome == DocumentLock::Outcome::Held)
        openProcessSocket();
    return r.handle;
}

SingleInstance::Asked SingleInstance::askToShow(qint64 pid, const QString& canonicalPath, int timeoutMs)
{
    if (pid <= 0 || pid == QCoreApplication::applicationPid() || quint32(canonicalPath.toUtf8().size()) > MaxPathBytes)
        return Asked::NotReached;
    QLocalSocket socket;
    if (!connectChecked(socket, processSocketName(pid), qMin(timeoutMs, 1000)))
        return Asked::NotReached;
    socket.write(pathRequest(ShowDocumentRequest, canonicalPath));
    return readAnswer(socket, timeoutMs) == WakeUpAnswer ? Asked::Shown : Asked::NoAnswer;
}

void SingleInstance::listenOn(QLocalServer* server)
{
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
#ifdef Q_OS_UNIX
            // Another user's process has nothing to ask of this one.
            if (!peerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
#endif
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

void SingleInstance::answer(QLocalSocket* socket)
{
    // The request may come in pieces: nothing is read until all of it is there.
    const QByteArray head = socket->peek(8);
    if (head.size() < 4)
        return;
    const quint32 request = qFromLittleEndian<quint32>(head.constData());
    if (request == OpenRequest || request == ShowDocumentRequest) {
        if (head.size() < 8)
            return;
        const quint32 length = qFromLittleEndian<quint32>(head.constData() + 4);
        if (length == 0 || length > MaxPathBytes) {
            socket->disconnectFromServer();
            return;
        }
        if (socket->bytesAvailable() < qint64(8 + length))
            return;
        socket->read(8);
        const QByteArray bytes = socket->read(length);
        const QString path = QString::fromUtf8(bytes);
        // Only an absolute path of this system that survives the round trip unchanged.
        if (path.toUtf8() == bytes && QDir::isAbsolutePath(path) && !path.contains(QChar(0))) {
            if (request == OpenRequest) {
                emit wakeUpRequested();
                emit openRequested(path);
                socket->write(encode(WakeUpAnswer));
            } else {
                const bool held = DocumentLock::heldHere(path);
                if (held)
                    emit documentRequests()->showDocumentRequested(path);
                socket->write(encode(held ? WakeUpAnswer : NotHeldAnswer));
            }
            socket->flush();
        }
    } else if (request == WakeUpRequest) {
        socket->read(4);
        emit wakeUpRequested();
        socket->write(encode(WakeUpAnswer));
        socket->flush();
    }
    socket->disconnectFromServer();
}
