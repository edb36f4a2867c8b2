#pragma once

#include "engine/ResponseParser.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reads a chat-completions answer sent as server-sent events, fed with its bytes as they arrive
// in reads of any size. Free of the network: the caller passes each read to feed() and calls
// finish() when the body ends. A body that is one JSON object (a server that ignored the
// request for a stream) is read whole at finish().
class ChatStreamReader {
public:
    struct Failure {
        enum class Kind {
            service,   // an `error` object in the stream
            malformed, // an event that is not the expected JSON
            tooLarge,  // more than NetworkReplies::maxBodyBytes
            dropped,   // the body ended before the answer did
        };
        Kind kind = Kind::malformed;
        ServiceError error; // for Kind::service
        bool operator==(const Failure&) const = default;
    };

    // What one read brought; pieces of the answer arrive in order.
    struct Update {
        QString content;
        bool reasoning = false; // the model sent reasoning, which is not part of the answer
        QString finishReason;   // the service's word for why the answer ended, e.g. "length"
        bool done = false;      // the answer is complete; nothing after it is read
        std::optional<Failure> failure;
        // Adds what a later read brought, so that several reads read as one.
        void append(const Update& later);
        bool operator==(const Update&) const = default;
    };

    Update feed(const QByteArray& bytes);
    Update finish();

private:
    enum class Mode { undecided, events, wholeBody, ended };

    void readLine(QByteArray line, Update& update);
    void dispatch(Update& update);
    void readEvent(const QByteArray& data, Update& update);
    void readWholeBody(Update& update);
    void end(Update& update, std::optional<Failure> failure);

    Mode m_mode = Mode::undecided;
    QByteArray m_pending; // bytes after the last line end, or the whole body
    QByteArray m_data;    // the data lines of the event being read
    bool m_hasData = false;
    bool m_sawFinishReason = false;
    qint64 m_received = 0;
};
