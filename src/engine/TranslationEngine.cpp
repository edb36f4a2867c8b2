#include "engine/TranslationEngine.h"

#include "base/Logger.h"
#include "base/NetworkReplies.h"
#include "base/WebAddress.h"
#include "engine/ResponseParser.h"
#include "settings/ApiKeyInput.h"
#include "settings/PromptTemplates.h"
#include "settings/SettingsManager.h"
#include "text/GraphemeCount.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

#include <algorithm>

namespace {

// The service's words may quote the key, whole or masked down to its last characters
// ("****9f3a"): a word sharing four characters in a row with the key is left out.
QString withoutKey(QString message, const QString& key) {
    if (key.isEmpty())
        return message;
    message.replace(key, QStringLiteral("***"));
    QStringList words = message.split(QLatin1Char(' '));
    for (QString& word : words) {
        for (qsizetype i = 0; i + 4 <= word.size(); ++i) {
            if (key.contains(QStringView(word).mid(i, 4))) {
                word = QStringLiteral("***");
                break;
            }
        }
    }
    return words.join(QLatin1Char(' '));
}

} // namespace

struct TranslationEngine::PreparedRequest {
    quint64 generation = 0;
    AIProvider provider = AIProvider::deepseek;
    QNetworkRequest request;
    QByteArray body;
    Completion completion;
    std::function<bool()> stillWanted;
};

TranslationEngine::TranslationEngine(SettingsManager& settings, AlertPresenter& alerts,
                                     std::function<void()> openSettings)
    : m_settings(settings), m_alerts(alerts), m_openSettings(std::move(openSettings)) {}

TranslationEngine::~TranslationEngine() {
    // A request still in flight ends without a report: its caller is going too.
    if (m_currentTask) {
        m_currentTask->disconnect(this);
        m_currentTask->abort();
    }
}

std::optional<QByteArray> TranslationEngine::authorizationValue(const QString& key) {
    // A line break would end the header early and let the rest of the key become
    // headers of its own; such a key is refused, never cleaned up behind the user's back.
    if (containsControlCharacter(key))
        return std::nullopt;
    return QByteArrayLiteral("Bearer ") + key.toUtf8();
}

QJsonObject TranslationEngine::chatBody(AIProvider provider, const QString& model,
                                        const QList<QMap<QString, QString>>& messages) {
    QJsonArray list;
    for (const QMap<QString, QString>& message : messages) {
        QJsonObject entry;
        for (auto it = message.begin(); it != message.end(); ++it)
            entry.insert(it.key(), it.value());
        list.append(entry);
    }
    QJsonObject body{
        {QStringLiteral("model"), model},     {QStringLiteral("messages"), list},
        {QStringLiteral("temperature"), 0.1}, {QStringLiteral("max_tokens"), 4096},
        {QStringLiteral("stream"), false},
    };
    if (provider == AIProvider::deepseek)
        body.insert(QStringLiteral("thinking"),
                    QJsonObject{{QStringLiteral("type"), QStringLiteral("disabled")}});
    return body;
}

void TranslationEngine::setTimeoutForTesting(std::chrono::milliseconds timeout) {
    std::lock_guard guard(m_generationLock);
    m_timeout = timeout;
}

void TranslationEngine::translate(const QString& text, Completion completion,
                                  std::function<bool()> stillWanted, KeyWait wait, Progress) {
    wait.stillWanted = stillWanted;
    const SettingsManager::ActiveKey active = m_settings.activeProviderAndKey(wait);
    if (active.key.isStoreUnavailable() && stillWanted && !stillWanted())
        return; // given up while the key store kept it waiting
    const AIProvider provider = active.provider;
    const QString displayName = AIProviders::displayName(provider);
    if (active.key.isStoreUnavailable()) {
        loge(QStringLiteral("无法读取 ") + displayName + QStringLiteral(" API Key: 密钥存储不可用（") +
             active.key.reason() + QStringLiteral("）"));
        presentKeyStoreUnavailable(provider, std::move(completion));
        return;
    }
    const std::optional<QString> key = active.key.key();
    if (!key || key->isEmpty()) {
        logi(QStringLiteral("未配置 ") + displayName + QStringLiteral(" API Key"));
        presentMissingKey(provider, std::move(completion));
        return;
    }

    const QList<QMap<QString, QString>> messages{
        {{QStringLiteral("role"), QStringLiteral("system")},
         {QStringLiteral("content"), m_settings.effectivePrompt()}},
        {{QStringLiteral("role"), QStringLiteral("user")},
         {QStringLiteral("content"), PromptTemplates::userMessagePrefix() + text}},
    };

    const QUrl endpoint = m_settings.endpointURL(provider);
    if (!isWebAddress(endpoint)) {
        loge(QStringLiteral("无效 API 地址"));
        completion(Outcome::failure(QStringLiteral("API 地址无效")));
        return;
    }
    const std::optional<QByteArray> authorization = authorizationValue(*key);
    if (!authorization) {
        loge(QStringLiteral("API Key 含换行或其他控制字符，未发送请求（Key 长度=") +
             QString::number(key->size()) + QStringLiteral("），请在偏好设置中重新填写"));
        completion(Outcome::failure(QStringLiteral("API Key 含换行或其他控制字符，请在偏好设置中重新填写")));
        return;
    }

    PreparedRequest prepared;
    prepared.provider = provider;
    prepared.request.setUrl(endpoint);
    prepared.request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    prepared.request.setRawHeader(QByteArrayLiteral("Authorization"), *authorization);
    // The key travels with every hop of a redirect: only follow one to the same origin.
    prepared.request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                  QNetworkRequest::SameOriginRedirectPolicy);
    const QJsonObject body = chatBody(provider, m_settings.model(provider), messages);
    prepared.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    prepared.completion = std::move(completion);
    prepared.stillWanted = std::move(stillWanted);
    logi(QStringLiteral("调用 ") + displayName + QStringLiteral(" API..."));

    {
        std::lock_guard guard(m_generationLock);
        prepared.generation = ++m_latestGeneration;
        prepared.request.setTransferTimeout(int(m_timeout.count()));
    }
    if (QThread::currentThread() == thread())
        start(prepared);
    else
        QMetaObject::invokeMethod(
            this, [this, prepared] { start(prepared); }, Qt::QueuedConnection);
}

void TranslationEngine::start(const PreparedRequest& prepared) {
    {
        std::lock_guard guard(m_generationLock);
        // Overtaken by a newer translation or a cancel before it got here.
        if (prepared.generation != m_latestGeneration)
            return;
    }
    if (prepared.stillWanted && !prepared.stillWanted())
        return;
    abortCurrentTask(prepared.generation);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkReply* reply = m_network->post(prepared.request, prepared.body);
    NetworkReplies::limitBodySize(reply);
    m_currentTask = reply;
    m_currentTaskGeneration = prepared.generation;
    // A key the service refuses may have been replaced in the key store meanwhile: read it
    // anew before anyone hears of the refusal.
    connect(reply, &QNetworkReply::finished, this, [this, reply, provider = prepared.provider] {
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 401)
            m_settings.forgetApiKey(provider);
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, provider = prepared.provider, completion = prepared.completion] {
                finish(reply, provider, completion);
            });
}

QNetworkReply* TranslationEngine::currentTask() const {
    return m_currentTask.data();
}

void TranslationEngine::cancelCurrentTask() {
    quint64 generation = 0;
    {
        std::lock_guard guard(m_generationLock);
        generation = ++m_latestGeneration;
    }
    if (QThread::currentThread() == thread())
        abortCurrentTask(generation);
    else
        QMetaObject::invokeMethod(
            this, [this, generation] { abortCurrentTask(generation); }, Qt::QueuedConnection);
}

void TranslationEngine::abortCurrentTask(quint64 upToGeneration) {
    if (!m_currentTask || m_currentTaskGeneration > upToGeneration)
        return;
    QNetworkReply* reply = m_currentTask;
    m_currentTask = nullptr;
    // Cut the reply off from us first: a cancelled request reports and logs nothing.
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void TranslationEngine::finish(QNetworkReply* reply, AIProvider provider, const Completion& completion) {
    if (m_currentTask == reply)
        m_currentTask = nullptr;
    reply->deleteLater();

    if (NetworkReplies::wasCutForSize(reply)) {
        const QString tooLarge = QStringLiteral("响应体超过 %1 MB").arg(NetworkReplies::maxBodyBytes >> 20);
        loge(QStringLiteral("API 失败: ") + tooLarge + QStringLiteral("，已停止接收"));
        completion(Outcome::failure(tooLarge));
        return;
    }
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError &&
        (NetworkReplies::isTransportError(error) || !statusAttribute.isValid())) {
        loge(QStringLiteral("API 失败: 网络: ") + NetworkReplies::errorText(error));
        completion(Outcome::failure(NetworkReplies::errorText(error)));
        return;
    }
    if (!statusAttribute.isValid()) {
        loge(QStringLiteral("API 失败: 无效响应"));
        completion(Outcome::failure(QStringLiteral("服务器没有返回有效的 HTTP 响应")));
        return;
    }
    const QByteArray data = reply->readAll();
    const int status = statusAttribute.toInt();
    if (status != 200)
        return failWithStatus(*reply, provider, status, data, completion);
    const std::optional<QString> answer = ResponseParser::parse(data);
    logi(QStringLiteral("API 返回 %1 字符").arg(answer ? graphemeCount(*answer) : 0));
    completion(answer ? Outcome::success(*answer) : Outcome::failure(QStringLiteral("无法解析服务器的回答")));
}

void TranslationEngine::failWithStatus(const QNetworkReply& reply, AIProvider provider, int status,
                                       const QByteArray& body, const Completion& completion) {
    const ServiceError error = ResponseParser::parseError(status, body);
    QString line = QStringLiteral("API 失败: HTTP %1, 响应体长度=%2 字节").arg(status).arg(body.size());
    if (!error.message.isEmpty()) {
        const QString key =
            QString::fromUtf8(reply.request().rawHeader(QByteArrayLiteral("Authorization")).mid(7));
        line += QStringLiteral(", 服务返回: ") + withoutKey(error.message.left(300), key);
    }
    loge(line);
    const QString http = QStringLiteral(" (HTTP %1)").arg(status);
    switch (error.kind) {
    case ServiceError::Kind::keyRefused:
        return presentKeyRefused(provider, status, completion);
    case ServiceError::Kind::balance:
        return completion(Outcome::failure(AIProviders::shortName(provider) +
                                           QStringLiteral(" 账户余额不足") + http +
                                           QStringLiteral("，请前往 ") + AIProviders::consoleHost(provider) +
                                           QStringLiteral(" 充值后重试")));
    case ServiceError::Kind::rateLimited:
        return completion(Outcome::failure(QStringLiteral("服务繁忙或已达到调用频率上限") + http +
                                           QStringLiteral("，请稍后再试")));
    case ServiceError::Kind::serviceFailed:
        return completion(
            Outcome::failure(QStringLiteral("服务出错") + http + QStringLiteral("，请稍后再试")));
    case ServiceError::Kind::other:
        break;
    }
    completion(Outcome::failure(QStringLiteral("服务器返回 HTTP %1").arg(status)));
}

void TranslationEngine::tellUser(const AlertRequest& alert, AlertAnswer onAnswer, Outcome outcome,
                                 Completion completion) {
    QMetaObject::invokeMethod(
        this,
        [this, alert, onAnswer = std::move(onAnswer), outcome, completion = std::move(completion)] {
            m_alerts.open(alert, onAnswer);
            completion(outcome);
        },
        Qt::QueuedConnection);
}

AlertAnswer TranslationEngine::settingsButton() {
    return [this](int button) {
        if (button == 0 && m_openSettings)
            m_openSettings();
    };
}

void TranslationEngine::presentMissingKey(AIProvider provider, Completion completion) {
    AlertRequest alert;
    alert.messageText = QStringLiteral("未配置 API Key");
    alert.informativeText = QStringLiteral("请前往 偏好设置 配置 ") + AIProviders::displayName(provider) +
                            QStringLiteral(" API Key。\n访问 ") + AIProviders::consoleHost(provider) +
                            QStringLiteral(" 注册获取。");
    alert.style = AlertRequest::Style::Warning;
    alert.buttons = {QStringLiteral("打开偏好设置"), QStringLiteral("取消")};
    tellUser(alert, settingsButton(), Outcome::missingKey(), std::move(completion));
}

void TranslationEngine::presentKeyRefused(AIProvider provider, int status, Completion completion) {
    AlertRequest alert;
    alert.messageText = QStringLiteral("API Key 无效");
    const QString name = AIProviders::displayName(provider);
    alert.informativeText =
        name + QStringLiteral(" 拒绝了当前的 API Key (HTTP %1)。\n请前往 偏好设置 检查 ").arg(status) + name +
        QStringLiteral(" API Key 是否填写正确。\n访问 ") + AIProviders::consoleHost(provider) +
        QStringLiteral(" 可查看或新建 Key。");
    alert.style = AlertRequest::Style::Warning;
    alert.buttons = {QStringLiteral("打开偏好设置"), QStringLiteral("取消")};
    tellUser(alert, settingsButton(), Outcome::keyRefused(), std::move(completion));
}

void TranslationEngine::presentKeyStoreUnavailable(AIProvider provider, Completion completion) {
    AlertRequest alert;
    alert.messageText = QStringLiteral("无法打开密钥存储");
    alert.informativeText = QStringLiteral("无法从桌面的密钥环读取 ") + AIProviders::displayName(provider) +
                            QStringLiteral(" 的 API Key，密钥环可能已锁定或没有响应。\n"
                                           "请先解锁登录密钥环（例如在「密码和密钥」中），然后重试。");
    alert.style = AlertRequest::Style::Warning;
    alert.buttons = {QStringLiteral("好")};
    tellUser(alert, {}, Outcome::keyStoreUnavailable(), std::move(completion));
}
