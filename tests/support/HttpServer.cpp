#include "support/HttpServer.h"

#include <QTcpServer>

#include <memory>

namespace testsupport {

QByteArray HttpServer::Request::header(const QByteArray& name) const
{
    for (const QByteArray& line : headers) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

HttpServer::HttpServer() : m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            // Held by the reading slot, so it goes with the socket's connection whoever goes first.
            auto buffer = std::make_shared<QByteArray>();
            auto continued = std::make_shared<bool>(false);
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, continued] {
                buffer->append(socket->readAll());
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                Request request;
                const QList<QByteArray> lines = buffer->left(end).split('\n');
                const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                request.method = first.value(0);
                request.target = QString::fromLatin1(first.value(1));
                for (qsizetype i = 1; i < lines.size(); ++i)
                    request.headers << lines[i].trimmed();
                const qint64 length = request.header("Content-Length").toLongLong();
                if (buffer->size() - end - 4 < length) {
                    // The body is still to come; a client that waits for leave to send gets it.
                    if (!*continued && request.header("Expect").toLower() == "100-continue") {
                        *continued = true;
                        socket->write("HTTP/1.1 100 Continue\r\n\r\n");
                    }
                    return;
                }
                request.body = buffer->mid(end + 4, length);
                buffer->clear();
                requests << request.target;
                received << request;
                if (handler)
                    handler(request, socket);
                else if (holdAnswers)
                    m_held.append({socket, request.target});
                else
                    answer(socket, request.target);
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
    reply(socket, "200 OK", {"Content-Type: text/plain"}, m_answers.value(target, fallback));
}

void HttpServer::reply(QTcpSocket* socket, const QByteArray& status, const QList<QByteArray>& headers,
                       const QByteArray& body)
{
    QByteArray out = "HTTP/1.1 " + status + "\r\n";
    for (const QByteArray& header : headers)
        out += header + "\r\n";
    out += "Connection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    socket->write(out);
    socket->disconnectFromHost();
}

void HttpServer::stream(QTcpSocket* socket, qint64 contentLength, qint64 upTo)
{
    const bool chunked = contentLength < 0;
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n" +
                  (chunked ? QByteArray("Transfer-Encoding: chunked\r\n")
                           : "Content-Length: " + QByteArray::number(contentLength) + "\r\n") +
                  "\r\n");
    const QByteArray piece(64 * 1024, 'x');
    auto sent = std::make_shared<qint64>(0);
    // More is written whenever the client has taken what was written: the body goes on for as
    // long as the client reads it.
    const auto more = [this, socket, piece, sent, chunked, upTo] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 256 * 1024 &&
               *sent < upTo) {
            const QByteArray framed = chunked ? QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n" : piece;
            socket->write(framed);
            *sent += piece.size();
            m_streamed += piece.size();
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, more);
    more();
}

} // namespace testsupport
