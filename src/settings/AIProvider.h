#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The two chat-completions providers; raw values are their stored names.
enum class AIProvider { deepseek, qwen };

namespace AIProviders {
const QList<AIProvider>& allCases(); // deepseek, then qwen
QString rawValue(AIProvider provider);
std::optional<AIProvider> fromRawValue(const QString& raw);
QString displayName(AIProvider provider);
// The bare name, as the result page's footer credits it.
QString shortName(AIProvider provider);
QString builtInModel(AIProvider provider);
QString consoleHost(AIProvider provider);
// The built-in endpoint, or the same path under `baseOverride` (`kavelin.baseURL.<raw>`) when
// that holds a usable base address.
QUrl endpointURL(AIProvider provider, const std::optional<QString>& baseOverride);
// `modelOverride` when present and non-empty, else the built-in model.
QString defaultModel(AIProvider provider, const std::optional<QString>& modelOverride);
} // namespace AIProviders

inline size_t qHash(AIProvider provider, size_t seed = 0) {
    return ::qHash(int(provider), seed);
}
