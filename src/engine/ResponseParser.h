#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reads the answer text out of a chat-completions response body.
class ResponseParser {
public:
    // `choices[0].message.content` when the body has exactly that shape (every element
    // of `choices` an object, at least one); the text is returned unchanged.
    static std::optional<QString> parse(const QByteArray& data);
};
