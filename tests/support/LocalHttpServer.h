#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QUrl>

#include <chrono>
#include <deque>
#include <utility>

class QTcpServer;

// A scripted HTTP/1.1 server on 127.0.0.1 for tests, running on its own thread so
// that a test may block while it answers. Each request takes the next scripted
// response (the last one repeats); every request is recorded.
class LocalHttpServer {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        bool neverAnswer = false;   // keep the connection open, silent
        int cutAfterBodyBytes = -1; // >= 0: announce the full length, send this much, close

        // A body sent piece by piece instead of `body`, each piece `delayMs` after the one
        // before (the first after the request), chunked or ended by closing the connection.
        struct Piece {
            int delayMs = 0;
            QByteArray bytes;
        };
        QList<Piece> pieces = {};
        bool chunked = true;
        bool dropAfterPieces = false; // close the connection instead of ending the body

        // A chat-completions answer of `content`.
        static Response chat(const QString& content, int status = 200, const QString& finishReason = {});
        // The connection kept open and silent.
        static Response silence();
        // `answer` as server-sent events, in `pieces` pieces of about equal length, the first
        // `firstDelayMs` after the request and then one every `intervalMs`, ending with
        // `finishReason` and [DONE].
        static Response stream(const QString& answer, int pieces, int intervalMs, int firstDelayMs = 0,
                               const QString& finishReason = QStringLiteral("stop"));
        // One event: a delta of answer `content` or of `reasoning`, or its last with `finishReason`.
        static QByteArray event(const QString& content, const QString& reasoning = {},
                                const QString& finishReason = {});
    };
    struct Request {
        QByteArray method;
        QByteArray path;                      // without the query
        QByteArray query;                     // without '?'
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        bool abandoned = false; // the client closed the connection before the answer ended
        std::chrono::steady_clock::time_point received; // when it had arrived whole
    };

    LocalHttpServer();
    ~LocalHttpServer();

    quint16 port() const { return m_port; }
    QUrl baseUrl() const; // http://127.0.0.1:<port>

    void enqueue(const Response& response);
    void reset(); // forget script and recorded requests
    QList<Request> requests() const;
    // Waits (spinning the caller's event loop) until `count` requests have arrived.
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    // Waits likewise until the client has closed `count` connections whose answer was still
    // due, or not yet sent whole: after that, those answers can never reach it.
    bool waitForAbandoned(int count, int timeoutMs = 5000) const;

private:
    friend class LocalHttpServerWorker;
    Response nextResponse();
    // Returns where `request` is kept, until the next reset.
    std::pair<int, int> record(const Request& request);
    void recordAbandoned(std::pair<int, int> where);

    QThread m_thread;
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    std::deque<Response> m_script;
    Response m_last;
    QList<Request> m_requests;
    int m_abandoned = 0;
    int m_resets = 0;
};
