#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpSocket>

#include <functional>

class QTcpServer;

namespace testsupport {

// A small HTTP server on 127.0.0.1 (a free port) in the test's own thread: every GET is answered
// with the body set for its path (query included), or with `fallback`; or, when `handler` is set,
// every request (any method, its body read) goes to it, which answers as the test wants (a
// status of its choice, an endless body...). It runs while the test's event loop runs (QTRY_*,
// QSignalSpy::wait). Requests are recorded in order.
class HttpServer : public QObject
{
public:
    struct Request
    {
        QByteArray method;
        QString target;
        QList<QByteArray> headers; // "Name: value" lines as received
        QByteArray body;
        // The value of the header name (case-insensitive), or a null array.
        QByteArray header(const QByteArray& name) const;
    };

    HttpServer();
    ~HttpServer() override;

    bool isListening() const;
    quint16 port() const;
    // "http://127.0.0.1:<port>" followed by target (which starts with "/").
    QString url(const QString& target) const;

    void setAnswer(const QString& target, const QByteArray& body) { m_answers.insert(target, body); }
    QByteArray fallback = "no such page";
    // Answers are held back until release(): a check stays running meanwhile.
    bool holdAnswers = false;
    void release();

    std::function<void(const Request&, QTcpSocket*)> handler;

    // An answer with the given status line ("301 Moved Permanently"), headers and body; the
    // connection is closed after it.
    static void reply(QTcpSocket* socket, const QByteArray& status, const QList<QByteArray>& headers = {},
                      const QByteArray& body = QByteArray());
    // A 200 answer whose body goes on until the client goes away or upTo bytes were sent:
    // announcing contentLength (-1: chunked, no size announced). streamedBytes() counts the body
    // bytes written so far.
    void stream(QTcpSocket* socket, qint64 contentLength, qint64 upTo);
    qint64 streamedBytes() const { return m_streamed; }

    QStringList requests;    // request targets, in order
    QList<Request> received; // the whole requests, in order

private:
    void answer(QTcpSocket* socket, const QString& target);

    QTcpServer* m_server;
    QHash<QString, QByteArray> m_answers;
    QList<QPair<QPointer<QTcpSocket>, QString>> m_held;
    qint64 m_streamed = 0;
};

} // namespace testsupport
