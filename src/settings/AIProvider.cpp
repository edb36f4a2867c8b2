#include "settings/AIProvider.h"

#include "base/Logger.h"
#include "base/WebAddress.h"

namespace AIProviders {

const QList<AIProvider>& allCases() {
    static const QList<AIProvider> cases{AIProvider::deepseek, AIProvider::qwen};
    return cases;
}

QString rawValue(AIProvider provider) {
    return provider == AIProvider::qwen ? QStringLiteral("qwen") : QStringLiteral("deepseek");
}

std::optional<AIProvider> fromRawValue(const QString& raw) {
    if (raw == QStringLiteral("deepseek"))
        return AIProvider::deepseek;
    if (raw == QStringLiteral("qwen"))
        return AIProvider::qwen;
    return std::nullopt;
}

QString displayName(AIProvider provider) {
    return provider == AIProvider::qwen ? QStringLiteral("千问（阿里云 · 国内）")
                                        : QStringLiteral("DeepSeek（国内 · 推荐）");
}

QString shortName(AIProvider provider) {
    return provider == AIProvider::qwen ? QStringLiteral("千问") : QStringLiteral("DeepSeek");
}

QString builtInModel(AIProvider provider) {
    return provider == AIProvider::qwen ? QStringLiteral("qwen-plus") : QStringLiteral("deepseek-v4-flash");
}

QString consoleHost(AIProvider provider) {
    return provider == AIProvider::qwen ? QStringLiteral("bailian.console.aliyun.com")
                                        : QStringLiteral("platform.deepseek.com");
}

static QUrl builtInEndpoint(AIProvider provider) {
    return provider == AIProvider::qwen
               ? QUrl(QStringLiteral("https://dashscope.aliyuncs.com/compatible-mode/v1/chat/completions"))
               : QUrl(QStringLiteral("https://api.deepseek.com/chat/completions"));
}

QUrl endpointURL(AIProvider provider, const std::optional<QString>& base) {
    QUrl url = builtInEndpoint(provider);
    if (!base)
        return url;
    const std::optional<QUrl> replacement = webAddress(base->trimmed());
    if (!replacement) {
        // Say so: a mistyped gateway would otherwise send requests to the public service unnoticed.
        loge(QStringLiteral("kavelin.baseURL.") + rawValue(provider) +
             QStringLiteral(" 无效，使用内置地址: ") + addressForLog(*base));
        return url;
    }
    // A gateway may live under a path of its own: keep it in front of the endpoint's path.
    QString prefix = replacement->path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    url.setScheme(replacement->scheme().toLower());
    url.setHost(replacement->host());
    url.setPort(replacement->port());
    url.setPath(prefix + url.path());
    return url;
}

QString defaultModel(AIProvider provider, const std::optional<QString>& override) {
    if (override && !override->isEmpty())
        return *override;
    return builtInModel(provider);
}

} // namespace AIProviders
