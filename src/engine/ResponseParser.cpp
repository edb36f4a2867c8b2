#include "engine/ResponseParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

std::optional<QString> ResponseParser::parse(const QByteArray& data) {
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
    const QJsonValue message = choices.first().toObject().value(QLatin1String("message"));
    if (!message.isObject())
        return std::nullopt;
    const QJsonValue content = message.toObject().value(QLatin1String("content"));
    if (!content.isString())
        return std::nullopt;
    return content.toString();
}
