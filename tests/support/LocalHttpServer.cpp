#include "support/LocalHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class LocalHttpServerWorker : public QObject {
public:
    LocalHttpServerWorker(LocalHttpServer* owner, QTcpSocket* socket) : m_owner(owner), m_socket(socket) {
        setParent(socket);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this] { onData(); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this] {
            if (m_awaitingAnswer)
                m_owner->recordAbandoned(m_request);
            m_socket->deleteLater();
        });
    }

private:
    void onData() {
        m_buffer += m_socket->readAll();
        for (;;) {
            const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            LocalHttpServer::Request request;
            const QList<QByteArray> lines = m_buffer.left(headerEnd).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            const QByteArray target = first.value(1);
            const qsizetype question = target.indexOf('?');
            request.path = question < 0 ? target : target.left(question);
            request.query = question < 0 ? QByteArray() : target.mid(question + 1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                           lines[i].mid(colon + 1).trimmed());
            }
            const qsizetype length = request.headers.value("content-length", "0").toLongLong();
            if (m_buffer.size() < headerEnd + 4 + length)
                return;
            request.body = m_buffer.mid(headerEnd + 4, length);
            m_buffer.remove(0, headerEnd + 4 + length);
            m_request = m_owner->record(request);
            answer(m_owner->nextResponse());
        }
    }

    void answer(const LocalHttpServer::Response& response) {
        m_awaitingAnswer = true;
        if (response.neverAnswer)
            return;
        if (!response.pieces.isEmpty())
            return sendPiece(response, 0);
        QPointer<QTcpSocket> socket = m_socket;
        QTimer::singleShot(0, m_socket, [this, socket, response] {
            if (!socket)
                return;
            m_awaitingAnswer = false;
            QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
            head += "Content-Type: " + response.contentType + "\r\n";
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
            head += "Connection: close\r\n\r\n";
            socket->write(head);
            if (response.cutAfterBodyBytes >= 0) {
                socket->write(response.body.left(response.cutAfterBodyBytes));
                socket->flush();
                socket->abort();
                return;
            }
            socket->write(response.body);
            socket->disconnectFromHost();
        });
    }

    void sendPiece(const LocalHttpServer::Response& response, qsizetype index) {
        QTimer::singleShot(response.pieces[index].delayMs, m_socket, [this, response, index] {
            const QByteArray& bytes = response.pieces[index].bytes;
            if (index == 0) {
                QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
                head += "Content-Type: text/event-stream\r\nCache-Control: no-cache\r\n";
                head += response.chunked ? "Transfer-Encoding: chunked\r\n" : "";
                m_socket->write(head + "Connection: close\r\n\r\n");
            }
            if (response.chunked && !bytes.isEmpty())
                m_socket->write(QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n");
            else
                m_socket->write(bytes);
            m_socket->flush();
            if (index + 1 < response.pieces.size())
                return sendPiece(response, index + 1);
            m_awaitingAnswer = false;
            if (response.dropAfterPieces)
                return m_socket->abort();
            if (response.chunked)
                m_socket->write("0\r\n\r\n");
            m_socket->disconnectFromHost();
        });
    }

    LocalHttpServer* m_owner;
    QTcpSocket* m_socket;
    QByteArray m_buffer;
    bool m_awaitingAnswer = false;
    std::pair<int, int> m_request; // of the answer due
};

LocalHttpServer::Response LocalHttpServer::Response::chat(const QString& content, int status,
                                                          const QString& finishReason) {
    QJsonObject choice{{QStringLiteral("message"), QJsonObject{{QStringLiteral("content"), content}}}};
    if (!finishReason.isEmpty())
        choice.insert(QStringLiteral("finish_reason"), finishReason);
    const QJsonArray choices{choice};
    return {status, QJsonDocument(QJsonObject{{QStringLiteral("choices"), choices}}).toJson()};
}

QByteArray LocalHttpServer::Response::event(const QString& content, const QString& reasoning,
                                            const QString& finishReason) {
    const auto orNull = [](const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); };
    const QJsonObject delta{{QStringLiteral("content"), orNull(content)},
                            {QStringLiteral("reasoning_content"), orNull(reasoning)}};
    const QJsonObject choice{{QStringLiteral("index"), 0},
                             {QStringLiteral("delta"), delta},
                             {QStringLiteral("finish_reason"), orNull(finishReason)}};
    const QJsonObject chunk{{QStringLiteral("choices"), QJsonArray{choice}}};
    return "data: " + QJsonDocument(chunk).toJson(QJsonDocument::Compact) + "\n\n";
}

LocalHttpServer::Response LocalHttpServer::Response::stream(const QString& answer, int pieces, int intervalMs,
                                                            int firstDelayMs, const QString& finishReason) {
    Response response;
    qsizetype start = 0;
    for (int i = 1; i <= pieces; ++i) {
        qsizetype end = answer.size() * i / pieces;
        if (end < answer.size() && answer.at(end).isLowSurrogate())
            ++end; // never half a character
        response.pieces.append({i == 1 ? firstDelayMs : intervalMs, event(answer.mid(start, end - start))});
        start = end;
    }
    response.pieces.last().bytes += event({}, {}, finishReason) + "data: [DONE]\n\n";
    return response;
}

LocalHttpServer::Response LocalHttpServer::Response::silence() {
    Response response;
    response.neverAnswer = true;
    return response;
}

LocalHttpServer::LocalHttpServer() {
    m_thread.setObjectName(QStringLiteral("local-http-server"));
    m_thread.start();
    QSemaphore ready;
    auto* server = new QTcpServer;
    server->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        server,
        [this, server, &ready] {
            server->listen(QHostAddress::LocalHost, 0);
            m_port = server->serverPort();
            QObject::connect(server, &QTcpServer::newConnection, server, [this, server] {
                while (QTcpSocket* socket = server->nextPendingConnection())
                    new LocalHttpServerWorker(this, socket);
            });
            ready.release();
        },
        Qt::QueuedConnection);
    ready.acquire();
    m_server = server;
}

LocalHttpServer::~LocalHttpServer() {
    QMetaObject::invokeMethod(
        m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QUrl LocalHttpServer::baseUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

void LocalHttpServer::enqueue(const Response& response) {
    QMutexLocker lock(&m_mutex);
    m_script.push_back(response);
}

void LocalHttpServer::reset() {
    QMutexLocker lock(&m_mutex);
    m_script.clear();
    m_requests.clear();
    m_abandoned = 0;
    ++m_resets;
    m_last = Response{};
}

QList<LocalHttpServer::Request> LocalHttpServer::requests() const {
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

bool LocalHttpServer::waitForRequests(int count, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (requests().size() >= count)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return requests().size() >= count;
}

bool LocalHttpServer::waitForAbandoned(int count, int timeoutMs) const {
    const auto abandoned = [this] {
        QMutexLocker lock(&m_mutex);
        return m_abandoned;
    };
    QDeadlineTimer deadline(timeoutMs);
    while (abandoned() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return abandoned() >= count;
}

void LocalHttpServer::recordAbandoned(std::pair<int, int> where) {
    QMutexLocker lock(&m_mutex);
    ++m_abandoned;
    if (where.first == m_resets && where.second < m_requests.size())
        m_requests[where.second].abandoned = true;
}

LocalHttpServer::Response LocalHttpServer::nextResponse() {
    QMutexLocker lock(&m_mutex);
    if (!m_script.empty()) {
        m_last = m_script.front();
        m_script.pop_front();
    }
    return m_last;
}

std::pair<int, int> LocalHttpServer::record(const Request& request) {
    QMutexLocker lock(&m_mutex);
    m_requests.append(request);
    m_requests.last().received = std::chrono::steady_clock::now();
    return {m_resets, int(m_requests.size()) - 1};
}
