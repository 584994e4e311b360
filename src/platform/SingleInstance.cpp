#include "platform/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>

const char* const SingleInstance::BaseName = "Orbelune-Tresorin";

namespace {
QByteArray encode(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QString userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("USERNAME");
    if (name.isEmpty())
        name = qEnvironmentVariable("LOGNAME");
    // Keep the name usable in a socket or pipe name.
    QString safe;
    for (const QChar c : name)
        safe += (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.')) ? c : QLatin1Char('_');
    return safe;
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

QString SingleInstance::serverName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QLatin1String(BaseName));
    const QString user = userName();
    return user.isEmpty() ? QString::fromLatin1(BaseName) : QLatin1String(BaseName) + QLatin1Char('-') + user;
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

SingleInstance::Claim SingleInstance::askRunningInstance(int timeoutMs, const QString& document, bool* connected)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    *connected = socket.waitForConnected(qMin(timeoutMs, 1000));
    if (!*connected)
        return Claim::First;
    const QByteArray path = document.toUtf8();
    if (!document.isEmpty() && quint32(path.size()) <= MaxPathBytes)
        socket.write(encode(OpenRequest) + encode(quint32(path.size())) + path);
    else
        socket.write(encode(WakeUpRequest));
    socket.waitForBytesWritten(timeoutMs);
    QByteArray answer;
    while (answer.size() < 4) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs))
            break;
        answer += socket.read(4 - answer.size());
    }
    socket.abort();
    if (answer.size() == 4 && qFromLittleEndian<quint32>(answer.constData()) == WakeUpAnswer)
        return Claim::OtherAnswered;
    return Claim::OtherSilent;
}

SingleInstance::Claim SingleInstance::claim(int timeoutMs, const QString& document)
{
    // Two attempts: a socket left behind by an instance that crashed is removed once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool connected = false;
        const Claim asked = askRunningInstance(timeoutMs, document, &connected);
        if (connected)
            return asked;
        if (!m_server) {
            m_server = new QLocalServer(this);
            m_server->setSocketOptions(QLocalServer::UserAccessOption);
            connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
        }
        if (m_server->listen(serverName()))
            return Claim::First;
        if (m_server->serverError() != QAbstractSocket::AddressInUseError)
            break;
        // The name is taken: either an instance started listening since the first question,
        // which is asked again, or a crashed one left its socket behind, which is removed. A live
        // instance's socket is never removed.
        const Claim again = askRunningInstance(timeoutMs, document, &connected);
        if (connected)
            return again;
        QLocalServer::removeServer(serverName());
    }
    // Whatever keeps the name busy is not an instance that listens: run on without the lock.
    return Claim::First;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // The request may come in pieces: nothing is read until all of it is there.
            const QByteArray head = socket->peek(8);
            if (head.size() < 4)
                return;
            const quint32 request = qFromLittleEndian<quint32>(head.constData());
            if (request == OpenRequest) {
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
                    emit wakeUpRequested();
                    emit openRequested(path);
                    socket->write(encode(WakeUpAnswer));
                    socket->flush();
                }
            } else if (request == WakeUpRequest) {
                socket->read(4);
                emit wakeUpRequested();
                socket->write(encode(WakeUpAnswer));
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}
