// Building and serialising one chat-completions request body (target: median <= 50 µs).
#include "engine/TranslationEngine.h"
#include "settings/PromptTemplates.h"

#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main() {
    // A typical screenshot paragraph of about 1 KB.
    QString text;
    while (text.size() < 1000)
        text +=
            QStringLiteral("The quick brown fox \"jumps\" over the lazy dog;\n it went back\tand forth. ");
    const QString prompt = PromptTemplates::defaultPromptTemplate();

    constexpr int warmup = 2000, runs = 20000;
    std::vector<double> micros;
    micros.reserve(runs);
    qsizetype sink = 0;
    for (int i = 0; i < warmup + runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const QList<QMap<QString, QString>> messages{
            {{QStringLiteral("role"), QStringLiteral("system")}, {QStringLiteral("content"), prompt}},
            {{QStringLiteral("role"), QStringLiteral("user")},
             {QStringLiteral("content"), PromptTemplates::userMessagePrefix() + text}},
        };
        const QJsonObject body =
            TranslationEngine::chatBody(AIProvider::deepseek, QStringLiteral("deepseek-v4-flash"), messages);
        const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
        const auto end = std::chrono::steady_clock::now();
        sink += json.size();
        if (i >= warmup)
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[size_t(q * double(micros.size() - 1))]; };
    std::fprintf(
        stderr,
        "request body (%lld bytes): median %.2f us, p90 %.2f us, p99 %.2f us, max %.2f us (%d runs)\n",
        static_cast<long long>(sink / (warmup + runs)), at(0.5), at(0.9), at(0.99), micros.back(), runs);
    return 0;
}
