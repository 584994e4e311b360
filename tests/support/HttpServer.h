#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpSocket>

class QTcpServer;

namespace testsupport {

// A small HTTP server on 127.0.0.1 (a free port) in the test's own thread: every GET is answered
// with the body set for its path (query included), or with `fallback`. It runs while the test's
// event loop runs (QTRY_*, QSignalSpy::wait). Requests are recorded in order.
class HttpServer : public QObject
{
public:
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

    QStringList requests; // request targets, in order

private:
    void answer(QTcpSocket* socket, const QString& target);

    QTcpServer* m_server;
    QHash<QString, QByteArray> m_answers;
    QList<QPair<QPointer<QTcpSocket>, QString>> m_held;
};

} // namespace testsupport
