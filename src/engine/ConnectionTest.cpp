#include "engine/ConnectionTest.h"

#include "base/NetworkReplies.h"
#include "base/WebAddress.h"
#include "engine/TranslationEngine.h"
#include "settings/SettingsWindowRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkRequest>

StatusMessage unusableKeyStatus() {
    return {QStringLiteral("API Key 中间含有换行或其他控制字符，请重新粘贴"), StatusTone::failure};
}

ConnectionTest::ConnectionTest(const SettingsManager& settings, QObject* parent)
    : QObject(parent), m_settings(settings) {}

ConnectionTest::~ConnectionTest() {
    cancel();
}

StatusMessage ConnectionTest::start(AIProvider provider, const QString& key,
                                    const std::optional<QString>& modelInput) {
    cancel();
    const ConnectionTarget target = resolveConnectionTarget(m_settings, modelInput, provider);
    if (!isWebAddress(target.endpoint))
        return {QStringLiteral("无效的 API 地址"), StatusTone::failure};
    const std::optional<QByteArray> authorization = TranslationEngine::authorizationValue(key);
    if (!authorization)
        return unusableKeyStatus();

    QNetworkRequest request(target.endpoint);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader(QByteArrayLiteral("Authorization"), *authorization);
    // The key travels with every hop of a redirect: only follow one to the same origin.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(int(m_timeout.count()));
    const QJsonObject body{
        {QStringLiteral("model"), target.model},
        {QStringLiteral("messages"),
         QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), QStringLiteral("hi")}}}},
        {QStringLiteral("max_tokens"), 1},
    };

    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkReply* reply = m_network->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    NetworkReplies::limitBodySize(reply);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (m_reply == reply)
            m_reply = nullptr;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        // An over-long body is cut off after the status line: the status is the answer.
        const QNetworkReply::NetworkError error =
            NetworkReplies::wasCutForSize(reply) ? QNetworkReply::NoError : reply->error();
        if (const std::optional<StatusMessage> message =
                statusFor(error, status.isValid() ? std::optional<int>(status.toInt()) : std::nullopt))
            Q_EMIT finished(*message);
    });
    return {QStringLiteral("测试中..."), StatusTone::secondary};
}

void ConnectionTest::cancel() {
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        // Cut off first: a cancelled test reports nothing.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

std::optional<StatusMessage> ConnectionTest::statusFor(QNetworkReply::NetworkError error,
                                                       std::optional<int> httpStatus) {
    // Qt reports an HTTP error status as an error too; the status is what the server said.
    if (httpStatus && !NetworkReplies::isTransportError(error)) {
        const int s = *httpStatus;
        if (s >= 200 && s <= 299)
            return StatusMessage{QStringLiteral("连接成功 (HTTP %1)").arg(s), StatusTone::success};
        if (s == 401 || s == 403)
            return StatusMessage{QStringLiteral("API Key 无效 (HTTP %1)").arg(s), StatusTone::failure};
        return StatusMessage{QStringLiteral("服务器返回 HTTP %1").arg(s), StatusTone::warning};
    }
    if (error == QNetworkReply::NoError)
        return std::nullopt;
    // Only the transfer time-out ends a test as cancelled: the test's own cancels are cut off.
    return StatusMessage{QStringLiteral("连接失败: ") + NetworkReplies::errorText(error),
                         StatusTone::failure};
}
