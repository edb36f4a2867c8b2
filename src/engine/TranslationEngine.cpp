#include "engine/TranslationEngine.h"

#include "base/Logger.h"
#include "base/NetworkReplies.h"
#include "base/WebAddress.h"
#include "engine/ChatStreamReader.h"
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
#include <QTimer>

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

QString keyOf(const QNetworkReply& reply) {
    return QString::fromUtf8(reply.request().rawHeader(QByteArrayLiteral("Authorization")).mid(7));
}

// "60 秒", "5 分钟", "0.3 秒".
QString durationText(std::chrono::milliseconds duration) {
    const qint64 ms = duration.count();
    if (ms >= 60000 && ms % 60000 == 0)
        return QStringLiteral("%1 分钟").arg(ms / 60000);
    return QStringLiteral("%1 秒").arg(double(ms) / 1000.0);
}

bool isEventStream(const QNetworkReply& reply) {
    return reply.header(QNetworkRequest::ContentTypeHeader)
        .toString()
        .trimmed()
        .startsWith(QLatin1String("text/event-stream"), Qt::CaseInsensitive);
}

} // namespace

// The answer being read from m_currentTask.
struct TranslationEngine::Answer {
    AIProvider provider = AIProvider::deepseek;
    Completion completion;
    Progress progress;
    ChatStreamReader reader;
    QString text;
    QString finishReason;
    bool sawPiece = false; // of the answer or of the reasoning
};

struct TranslationEngine::PreparedRequest {
    quint64 generation = 0;
    AIProvider provider = AIProvider::deepseek;
    QNetworkRequest request;
    QByteArray body;
    Completion completion;
    std::function<bool()> stillWanted;
    Progress progress;
    StreamTimeLimits limits;
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
        {QStringLiteral("stream"), true},
    };
    if (provider == AIProvider::deepseek)
        body.insert(QStringLiteral("thinking"),
                    QJsonObject{{QStringLiteral("type"), QStringLiteral("disabled")}});
    return body;
}

void TranslationEngine::setTimeLimitsForTesting(StreamTimeLimits limits) {
    std::lock_guard guard(m_generationLock);
    m_limits = limits;
}

void TranslationEngine::translate(const QString& text, Completion completion,
                                  std::function<bool()> stillWanted, KeyWait wait, Progress progress) {
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
    prepared.progress = std::move(progress);
    logi(QStringLiteral("调用 ") + displayName + QStringLiteral(" API..."));

    {
        std::lock_guard guard(m_generationLock);
        prepared.generation = ++m_latestGeneration;
        prepared.limits = m_limits;
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
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
        m_pieceTimer = new QTimer(this);
        m_overallTimer = new QTimer(this);
        for (QTimer* timer : {m_pieceTimer, m_overallTimer})
            timer->setSingleShot(true);
        connect(m_pieceTimer, &QTimer::timeout, this, [this] {
            exceedTimeLimit(m_answer && m_answer->sawPiece ? TimeLimit::silence : TimeLimit::firstPiece);
        });
        connect(m_overallTimer, &QTimer::timeout, this, [this] { exceedTimeLimit(TimeLimit::overall); });
    }
    QNetworkReply* reply = m_network->post(prepared.request, prepared.body);
    NetworkReplies::limitBodySize(reply);
    m_currentTask = reply;
    m_currentTaskGeneration = prepared.generation;
    m_answer = std::make_unique<Answer>();
    m_answer->provider = prepared.provider;
    m_answer->completion = prepared.completion;
    m_answer->progress = prepared.progress;
    m_taskLimits = prepared.limits;
    m_pieceTimer->start(prepared.limits.firstPiece);
    m_overallTimer->start(prepared.limits.overall);
    // A key the service refuses may have been replaced in the key store meanwhile: read it
    // anew before anyone hears of the refusal.
    connect(reply, &QNetworkReply::finished, this, [this, reply, provider = prepared.provider] {
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 401)
            m_settings.forgetApiKey(provider);
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { read(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
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
    dropCurrentTask(); // a cancelled request reports and logs nothing
}

std::unique_ptr<TranslationEngine::Answer> TranslationEngine::dropCurrentTask(bool letBodyEnd) {
    m_pieceTimer->stop();
    m_overallTimer->stop();
    if (QNetworkReply* reply = m_currentTask) {
        m_currentTask = nullptr;
        // Cut the reply off from us first, so that its abort reports nothing.
        reply->disconnect(this);
        if (letBodyEnd && reply->isRunning()) {
            // The answer is whole and the body's last bytes are on their way: a connection that
            // ends its body cleanly can carry the next request.
            connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
            QTimer::singleShot(std::chrono::seconds(5), reply, &QNetworkReply::abort);
            return std::move(m_answer);
        }
        if (reply->isRunning())
            reply->abort();
        reply->deleteLater();
    }
    return std::move(m_answer);
}

void TranslationEngine::read(QNetworkReply* reply) {
    // Any other answer is read whole when it ends, as an answer that is not a stream is.
    if (reply != m_currentTask || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200 ||
        !isEventStream(*reply))
        return;
    const ChatStreamReader::Update update = m_answer->reader.feed(reply->readAll());
    if (absorb(reply, update) && (update.failure || update.done))
        finish(reply, update); // what follows in the body, if anything, is not read
}

bool TranslationEngine::absorb(QNetworkReply* reply, const ChatStreamReader::Update& update) {
    Answer& answer = *m_answer;
    const bool firstReasoning = update.reasoning && !answer.sawPiece;
    answer.text += update.content;
    if (!update.finishReason.isEmpty())
        answer.finishReason = update.finishReason;
    if (!update.content.isEmpty() || update.reasoning) {
        answer.sawPiece = true;
        m_pieceTimer->start(m_taskLimits.silence);
    }
    if (!answer.progress || (update.content.isEmpty() && !(firstReasoning && answer.text.isEmpty())))
        return true;
    // A copy: the call may cancel, which ends m_answer.
    const Progress progress = answer.progress;
    progress({answer.text, answer.text.isEmpty()});
    return reply == m_currentTask;
}

void TranslationEngine::finish(QNetworkReply* reply, ChatStreamReader::Update update) {
    if (reply != m_currentTask)
        return;
    const bool cutForSize = NetworkReplies::wasCutForSize(reply);
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    const int status = statusAttribute.toInt();
    const bool streamed = status == 200 && isEventStream(*reply);
    if (streamed && !cutForSize && !update.done && !update.failure) {
        ChatStreamReader::Update rest = m_answer->reader.feed(reply->readAll());
        // A broken connection is told by its own error, not as an answer cut short.
        if (!rest.done && !rest.failure && error == QNetworkReply::NoError)
            rest.append(m_answer->reader.finish());
        if (!absorb(reply, rest))
            return;
        update.append(rest);
    }
    const QByteArray data = streamed ? QByteArray() : reply->readAll();
    const QString key = keyOf(*reply);
    const std::unique_ptr<Answer> answer = dropCurrentTask(streamed && update.done);

    using FailureKind = ChatStreamReader::Failure::Kind;
    const std::optional<ChatStreamReader::Failure> failure = update.failure;
    if (cutForSize || (failure && failure->kind == FailureKind::tooLarge)) {
        const QString reason = QStringLiteral("响应体超过 %1 MB").arg(NetworkReplies::maxBodyBytes >> 20);
        return breakOff(*answer, reason + QStringLiteral("，已停止接收"), reason);
    }
    if (streamed && update.done)
        return succeed(*answer, answer->text, answer->finishReason);
    if (error != QNetworkReply::NoError &&
        (NetworkReplies::isTransportError(error) || !statusAttribute.isValid())) {
        const QString reason = NetworkReplies::errorText(error);
        return breakOff(*answer, QStringLiteral("网络: ") + reason, reason);
    }
    if (!statusAttribute.isValid())
        return breakOff(*answer, QStringLiteral("无效响应"),
                        QStringLiteral("服务器没有返回有效的 HTTP 响应"));
    if (status != 200)
        return failWithStatus(*reply, answer->provider, status, data, answer->completion);
    if (!streamed) {
        const std::optional<ResponseParser::Answer> parsed = ResponseParser::parseAnswer(data);
        if (!parsed) {
            logi(QStringLiteral("API 返回 0 字符"));
            return answer->completion(Outcome::failure(QStringLiteral("无法解析服务器的回答")));
        }
        return succeed(*answer, parsed->content, parsed->finishReason);
    }
    if (failure && failure->kind == FailureKind::service) {
        QString line = QStringLiteral("服务在回答中报错");
        if (!failure->error.message.isEmpty())
            line += QStringLiteral(": ") + withoutKey(failure->error.message.left(300), key);
        // The stream has begun: even a refused key is told as the cause, without an alert.
        return breakOff(*answer, line,
                        serviceReason(failure->error, answer->provider, 0)
                            .value_or(QStringLiteral("服务拒绝了当前的 API Key，请在偏好设置中检查")));
    }
    if (failure && failure->kind == FailureKind::dropped) {
        const QString reason = NetworkReplies::errorText(QNetworkReply::RemoteHostClosedError);
        return breakOff(*answer, QStringLiteral("网络: ") + reason, reason);
    }
    breakOff(*answer, QStringLiteral("无法解析回答中的一段"), QStringLiteral("无法解析服务器的回答"));
}

void TranslationEngine::exceedTimeLimit(TimeLimit limit) {
    if (!m_currentTask)
        return;
    QString reason;
    switch (limit) {
    case TimeLimit::firstPiece:
        reason = durationText(m_taskLimits.firstPiece) + QStringLiteral("内没有收到回答");
        break;
    case TimeLimit::silence:
        reason =
            QStringLiteral("回答中断，") + durationText(m_taskLimits.silence) + QStringLiteral("没有新内容");
        break;
    case TimeLimit::overall:
        reason = QStringLiteral("回答超过 ") + durationText(m_taskLimits.overall) + QStringLiteral("总时限");
        break;
    }
    breakOff(*dropCurrentTask(), reason, reason);
}

void TranslationEngine::breakOff(const Answer& answer, const QString& logLine, const QString& reason) {
    if (answer.text.isEmpty()) {
        loge(QStringLiteral("API 失败: ") + logLine);
        return answer.completion(Outcome::failure(reason));
    }
    loge(QStringLiteral("API 回答中断（已收到 %1 字符）: ").arg(graphemeCount(answer.text)) + logLine);
    answer.completion(Outcome::interrupted(answer.text, reason));
}

void TranslationEngine::succeed(const Answer& answer, const QString& text, const QString& finishReason) {
    logi(QStringLiteral("API 返回 %1 字符").arg(graphemeCount(text)));
    const bool truncated = finishReason == QLatin1String("length");
    if (truncated)
        logi(QStringLiteral("API 回答因长度上限被截断 (finish_reason=length)"));
    answer.completion(Outcome::success(text, truncated));
}

std::optional<QString> TranslationEngine::serviceReason(const ServiceError& error, AIProvider provider,
                                                        int status) {
    const QString http = status ? QStringLiteral(" (HTTP %1)").arg(status) : QString();
    switch (error.kind) {
    case ServiceError::Kind::keyRefused:
        return std::nullopt;
    case ServiceError::Kind::balance:
        return AIProviders::shortName(provider) + QStringLiteral(" 账户余额不足") + http +
               QStringLiteral("，请前往 ") + AIProviders::consoleHost(provider) +
               QStringLiteral(" 充值后重试");
    case ServiceError::Kind::rateLimited:
        return QStringLiteral("服务繁忙或已达到调用频率上限") + http + QStringLiteral("，请稍后再试");
    case ServiceError::Kind::serviceFailed:
        return QStringLiteral("服务出错") + http + QStringLiteral("，请稍后再试");
    case ServiceError::Kind::other:
        break;
    }
    return status ? QStringLiteral("服务器返回 HTTP %1").arg(status) : QStringLiteral("服务出错，请稍后再试");
}

void TranslationEngine::failWithStatus(const QNetworkReply& reply, AIProvider provider, int status,
                                       const QByteArray& body, const Completion& completion) {
    const ServiceError error = ResponseParser::parseError(status, body);
    QString line = QStringLiteral("API 失败: HTTP %1, 响应体长度=%2 字节").arg(status).arg(body.size());
    if (!error.message.isEmpty()) {
        line += QStringLiteral(", 服务返回: ") + withoutKey(error.message.left(300), keyOf(reply));
    }
    loge(line);
    if (const std::optional<QString> reason = serviceReason(error, provider, status))
        return completion(Outcome::failure(*reason));
    presentKeyRefused(provider, status, completion);
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
