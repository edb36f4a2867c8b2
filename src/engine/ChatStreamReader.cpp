#include "engine/ChatStreamReader.h"

#include "base/NetworkReplies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <utility>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first choice of a chunk, or an empty object.
QJsonObject firstChoice(const QJsonObject& object) {
    return object.value(QLatin1String("choices")).toArray().at(0).toObject();
}

} // namespace

ChatStreamReader::Update ChatStreamReader::feed(const QByteArray& bytes) {
    Update update;
    if (m_mode == Mode::ended)
        return update;
    m_received += bytes.size();
    if (m_received > NetworkReplies::maxBodyBytes) {
        end(update, Failure{Failure::Kind::tooLarge, {}});
        return update;
    }
    m_pending += bytes;
    if (m_mode == Mode::undecided) {
        const auto first = std::find_if_not(m_pending.cbegin(), m_pending.cend(), isBlank);
        if (first == m_pending.cend())
            return update;
        // An event stream starts with a field name or a comment, never with a brace.
        m_mode = *first == '{' ? Mode::wholeBody : Mode::events;
    }
    if (m_mode == Mode::wholeBody)
        return update;
    // Lines are cut from the bytes before decoding, so a character split across reads is whole.
    qsizetype start = 0;
    for (qsizetype lineEnd = m_pending.indexOf('\n'); lineEnd >= 0 && m_mode == Mode::events;
         lineEnd = m_pending.indexOf('\n', start)) {
        readLine(m_pending.sliced(start, lineEnd - start), update);
        start = lineEnd + 1;
    }
    m_pending.remove(0, start);
    return update;
}

ChatStreamReader::Update ChatStreamReader::finish() {
    Update update;
    if (m_mode == Mode::wholeBody) {
        readWholeBody(update);
        return update;
    }
    // An event without its blank line is cut off, as event streams define it: the connection broke.
    if (m_mode != Mode::ended)
        end(update, m_sawFinishReason ? std::nullopt : std::optional(Failure{Failure::Kind::dropped, {}}));
    return update;
}

void ChatStreamReader::readLine(QByteArray line, Update& update) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        dispatch(update);
        return;
    }
    // Comments (keep-alives among them) and the fields other than data carry no answer.
    if (!line.startsWith("data:"))
        return;
    QByteArray value = line.sliced(5);
    if (value.startsWith(' '))
        value.remove(0, 1);
    if (m_hasData)
        m_data += '\n';
    m_data += value;
    m_hasData = true;
}

void ChatStreamReader::dispatch(Update& update) {
    if (!m_hasData || m_mode == Mode::ended)
        return;
    m_hasData = false;
    readEvent(std::exchange(m_data, {}), update);
}

void ChatStreamReader::readEvent(const QByteArray& data, Update& update) {
    if (data == "[DONE]") {
        end(update, std::nullopt);
        return;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        end(update, Failure{Failure::Kind::malformed, {}});
        return;
    }
    const QJsonObject object = document.object();
    if (object.contains(QLatin1String("error"))) {
        end(update, Failure{Failure::Kind::service, ResponseParser::parseError(200, data)});
        return;
    }
    const QJsonObject choice = firstChoice(object);
    const QJsonObject delta = choice.value(QLatin1String("delta")).toObject();
    update.content += delta.value(QLatin1String("content")).toString();
    if (!delta.value(QLatin1String("reasoning_content")).toString().isEmpty())
        update.reasoning = true;
    const QJsonValue finishReason = choice.value(QLatin1String("finish_reason"));
    if (finishReason.isString()) {
        update.finishReason = finishReason.toString();
        m_sawFinishReason = true;
    }
}

void ChatStreamReader::readWholeBody(Update& update) {
    const std::optional<ResponseParser::Answer> answer = ResponseParser::parseAnswer(m_pending);
    if (!answer) {
        end(update, QJsonDocument::fromJson(m_pending).object().contains(QLatin1String("error"))
                        ? Failure{Failure::Kind::service, ResponseParser::parseError(200, m_pending)}
                        : Failure{Failure::Kind::malformed, {}});
        return;
    }
    update.content = answer->content;
    update.finishReason = answer->finishReason;
    end(update, std::nullopt);
}

void ChatStreamReader::end(Update& update, std::optional<Failure> failure) {
    m_mode = Mode::ended;
    m_pending.clear();
    m_data.clear();
    update.done = !failure;
    update.failure = std::move(failure);
}

void ChatStreamReader::Update::append(const Update& later) {
    content += later.content;
    reasoning |= later.reasoning;
    if (!later.finishReason.isEmpty())
        finishReason = later.finishReason;
    done |= later.done;
    if (later.failure)
        failure = later.failure;
}
