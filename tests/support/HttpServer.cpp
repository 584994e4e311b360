#include "support/HttpServer.h"

#include <QTcpServer>

#include <memory>

namespace testsupport {

HttpServer::HttpServer() : m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            // Held by the reading slot, so it goes with the socket's connection whoever goes first.
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                request->append(socket->readAll());
                if (!request->contains("\r\n\r\n") || request->isEmpty())
                    return;
                const QList<QByteArray> line = request->left(request->indexOf("\r\n")).split(' ');
                const QString target = line.size() > 1 ? QString::fromLatin1(line[1]) : QString();
                request->clear();
                requests << target;
                if (holdAnswers)
                    m_held.append({socket, target});
                else
                    answer(socket, target);
            });
        }
    });
}

HttpServer::~HttpServer() = default;

bool HttpServer::isListening() const
{
    return m_server->isListening();
}

quint16 HttpServer::port() const
{
    return m_server->serverPort();
}

QString HttpServer::url(const QString& target) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(target);
}

void HttpServer::release()
{
    holdAnswers = false;
    const auto held = m_held;
    m_held.clear();
    for (const auto& [socket, target] : held)
        answer(socket.data(), target);
}

void HttpServer::answer(QTcpSocket* socket, const QString& target)
{
    if (!socket)
        return;
    const QByteArray body = m_answers.value(target, fallback);
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace testsupport
