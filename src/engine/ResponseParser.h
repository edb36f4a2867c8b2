#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What an error answer of a chat-completions service means for the user.
struct ServiceError {
    enum class Kind {
        keyRefused,    // 401, 403
        balance,       // 402, or an answer naming an unpaid or used-up account
        rateLimited,   // 429
        serviceFailed, // 5xx
        other,
    };
    Kind kind = Kind::other;
    QString message; // the service's own `error.message`, for the log; may be empty
    bool operator==(const ServiceError&) const = default;
};

// Reads the answer text out of a chat-completions response body.
class ResponseParser {
public:
    // `choices[0].message.content` when the body has exactly that shape (every element
    // of `choices` an object, at least one); the text is returned unchanged.
    static std::optional<QString> parse(const QByteArray& data);
    struct Answer {
        QString content;
        QString finishReason; // `choices[0].finish_reason`, e.g. "length" for a cut answer
    };
    // As parse(), with the reason the answer ended.
    static std::optional<Answer> parseAnswer(const QByteArray& data);
    // An answer of any status but 200. Both services send
    // `{"error": {"message", "type", "code"}}`; any other body leaves the status to decide.
    static ServiceError parseError(int status, const QByteArray& body);
};
