// An answer of about 1,500 tokens arriving in pieces of about 40 tokens: the main thread's
// cost of each page update (the page body's blocks and the script that carries the changed
// ones), at the end of the answer where it is largest, and the whole stream's cost against
// rendering the complete answer once.
#include "result/HTMLRenderer.h"
#include "result/StreamedPage.h"

#include "BenchTiming.h"

#include <cstdio>

namespace {

constexpr int kRuns = 200;
constexpr double kCharsPerToken = 1.6; // Chinese text with some English, as these answers are

const QString kLabel = QStringLiteral("DeepSeek");

QString original() {
    QString text;
    for (int i = 1; i <= 12; ++i)
        text +=
            QStringLiteral("Sentence number %1 says that the committee reviewed the proposal again. ").arg(i);
    return text;
}

QString answerOfAbout1500Tokens() {
    QString answer = QStringLiteral("## 中文翻译\n");
    for (int i = 1; i <= 12; ++i)
        answer +=
            QStringLiteral("第 %1 句说委员会又一次审议了这项**提案**，并在会后发表了简短的声明。").arg(i);
    answer +=
        QStringLiteral("\n\n## 重要词汇\n| 单词 | 音标 | 词性 | 释义 |\n|------|------|------|------|\n");
    for (int i = 1; i <= 22; ++i)
        answer += QStringLiteral("| **word%1** | /wɜːd/ | n. | 释义：与 `word%1` 相关的中文解释，含例句 |\n")
                      .arg(i);
    answer += QStringLiteral("\n## 常用短语与习语\n");
    for (int i = 1; i <= 12; ++i)
        answer += QStringLiteral("- **phrase number %1**：短语 %1 的中文意思，用于正式场合的表达\n\n").arg(i);
    answer += QStringLiteral("## 核查\n译文完整，术语一致，数字与时间已核对。\n");
    return answer;
}

} // namespace

int main() {
    const QString answer = answerOfAbout1500Tokens();
    const QString text = original();
    const int piece = int(40 * kCharsPerToken);
    std::fprintf(stderr, "answer: %lld characters, about %.0f tokens, %lld pieces\n",
                 (long long)answer.size(), double(answer.size()) / kCharsPerToken,
                 (long long)(answer.size() / piece + 1));
    for (const bool split : {false, true}) {
        std::vector<double> lastUpdates, streamed, oneShot;
        for (int run = 0; run < kRuns; ++run) {
            double start = threadCpuMs();
            const QString page = split ? HTMLRenderer::renderSplit(answer, text, false, 14, kLabel)
                                       : HTMLRenderer::renderPage(answer, text, false, 14, kLabel);
            oneShot.push_back(threadCpuMs() - start);
            double total = 0;
            StreamedPage stream(text, split);
            QStringList shown;
            for (qsizetype end = piece; end < answer.size() + piece; end += piece) {
                start = threadCpuMs();
                const bool last = end >= answer.size();
                last ? stream.finish(answer) : stream.update(answer.first(end));
                const QStringList blocks = stream.blocks();
                const QString script = StreamedPage::updateScript(shown, blocks);
                shown = blocks;
                const double spent = threadCpuMs() - start;
                total += spent;
                if (end + 5 * piece >= answer.size())
                    lastUpdates.push_back(spent);
            }
            streamed.push_back(total);
        }
        std::fprintf(stderr, "%s:\n", split ? "split view" : "whole view");
        reportSamples("  update, last five of the answer", lastUpdates, "ms");
        reportSamples("  whole stream, all updates", streamed, "ms");
        reportSamples("  one-shot render of the answer", oneShot, "ms");
    }
    return 0;
}
