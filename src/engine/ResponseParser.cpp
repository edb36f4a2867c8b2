#include "engine/ResponseParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

std::optional<QString> ResponseParser::parse(const QByteArray& data) {
    const std::optional<Answer> answer = parseAnswer(data);
    return answer ? std::optional(answer->content) : std::nullopt;
}

std::optional<ResponseParser::Answer> ResponseParser::parseAnswer(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue choicesValue = document.object().value(QLatin1String("choices"));
    if (!choicesValue.isArray())
        return std::nullopt;
    const QJsonArray choices = choicesValue.toArray();
    if (choices.isEmpty() ||
        !std::all_of(choices.begin(), choices.end(), [](const QJsonValue& v) { return v.isObject(); }))
        return std::nullopt;
    const QJsonObject choice = choices.first().toObject();
    const QJsonValue message = choice.value(QLatin1String("message"));
    if (!message.isObject())
        return std::nullopt;
    const QJsonValue content = message.toObject().value(QLatin1String("content"));
    if (!content.isString())
        return std::nullopt;
    return Answer{content.toString(), choice.value(QLatin1String("finish_reason")).toString()};
}

ServiceError ResponseParser::parseError(int status, const QByteArray& body) {
    const QJsonValue error = QJsonDocument::fromJson(body).object().value(QLatin1String("error"));
    const QJsonObject details = error.toObject();
    ServiceError result;
    result.message = error.isString() ? error.toString() : details.value(QLatin1String("message")).toString();
    // An empty account is told apart by its words: DeepSeek answers 402, Qwen 400 "Arrearage",
    // OpenAI-style services 429 "insufficient_quota".
    const QString words = QStringList{details.value(QLatin1String("code")).toVariant().toString(),
                                      details.value(QLatin1String("type")).toString(), result.message}
                              .join(QLatin1Char(' '))
                              .toLower()
                              .replace(QLatin1Char('_'), QLatin1Char(' '));
    const bool unpaid = words.contains(QLatin1String("insufficient balance")) ||
                        words.contains(QLatin1String("insufficient quota")) ||
                        words.contains(QLatin1String("arrearage"));
    if (status == 402 || unpaid)
        result.kind = ServiceError::Kind::balance;
    else if (status == 401 || status == 403)
        result.kind = ServiceError::Kind::keyRefused;
    else if (status == 429)
        result.kind = ServiceError::Kind::rateLimited;
    else if (status >= 500 && status <= 599)
        result.kind = ServiceError::Kind::serviceFailed;
    return result;
}
