#include "result/HTMLRenderer.h"

#include "BenchTiming.h"

#include <cstdio>

namespace {

const QString kLabel = QStringLiteral("DeepSeek");
const QString kOriginal = QStringLiteral(
    "The committee reviewed the proposal on Monday. Dr. Chen argued that the budget, which had grown by "
    "12.5% "
    "since last year, was still too small for the work ahead.\nOthers disagreed: they said the U.S. office "
    "could share the cost. \"We will decide next week,\" the chair said. The meeting ended at 5 p.m.\n\n"
    "  A second paragraph follows here, with a few more words so that the box wraps over several lines.");

QString realisticAnswer() {
    QString answer = QStringLiteral(
        "## 中文翻译\n委员会于周一审议了这项提案。陈博士认为，预算虽然比去年增长了 "
        "12.5%，但对于接下来的工作仍然"
        "太少。\n其他人不同意：他们说美国办公室可以分担费用。“我们下周再决定，”主席说。会议于下午 5 "
        "点结束。\n"
        "第二段在这里，**多写几个词**，让原文框换成几行。\n\n## 重要词汇\n| 单词 | 音标 | 词性 | 释义 |\n"
        "|------|------|------|------|\n");
    const char* words[] = {"committee", "proposal", "budget", "argue",     "disagree", "share",
                           "decide",    "chair",    "review", "paragraph", "office",   "cost"};
    for (const char* word : words)
        answer += QStringLiteral("| **%1** | /ˈ%1/ | n. | 释义：与 `%1` 相关的中文解释，包含例句 |\n")
                      .arg(QLatin1String(word));
    answer += QStringLiteral("\n## 常用短语与习语\n");
    for (int i = 1; i <= 16; ++i)
        answer += QStringLiteral("- **phrase number %1**：短语 %1 的中文意思，用于正式场合的表达\n").arg(i);
    answer += QStringLiteral("\n## 核查\n译文完整，术语一致，数字 12.5% 与时间 5 p.m. 已核对。\n");
    return answer;
}

// Every construct of the subset in turn, about 1 MB in all.
QString megabyteAnswer() {
    QString answer = QStringLiteral("## 中文翻译\n");
    int i = 0;
    while (answer.size() < 1024 * 1024 * 6 / 10) { // UTF-16 units; about 1 MB once encoded as UTF-8
        answer += QStringLiteral("第 %1 句包含**粗体**和 `code_%1` 以及 <尖括号> & \"引号\"。\n").arg(i);
        if (i > 3000 && i % 20 == 0)
            answer +=
                QStringLiteral("\n| 列 A | 列 B |\n|---|---|\n| `a|b` | **x** |\n| 1 | 2 |\n\n## 核查\n");
        if (i > 3000 && i % 7 == 0)
            answer += QStringLiteral("\n\n## 重要词汇\nword — 单词 ** 未闭合\n");
        ++i;
    }
    return answer;
}

} // namespace

int main() {
    const QString answer = realisticAnswer();
    std::fprintf(stderr, "realistic answer: %lld bytes UTF-8, splits: %d\n",
                 static_cast<long long>(answer.toUtf8().size()), HTMLRenderer::canSplit(answer, kOriginal));
    reportTiming("normal page, 3 KB answer", 2000,
                 [&] { (void)HTMLRenderer::renderPage(answer, kOriginal, false, 15, kLabel); });
    reportTiming("split page, 3 KB answer", 2000,
                 [&] { (void)HTMLRenderer::renderSplit(answer, kOriginal, true, 15, kLabel); });

    const QString big = megabyteAnswer();
    std::fprintf(stderr, "mixed answer: %lld bytes UTF-8\n", static_cast<long long>(big.toUtf8().size()));
    reportTiming("normal page, 1 MB answer", 15,
                 [&] { (void)HTMLRenderer::renderPage(big, kOriginal, false, 15, kLabel); });
    reportTiming("markdownBodyToHTML, 1 MB", 15, [&] { (void)HTMLRenderer::markdownBodyToHTML(big); });
    const QString bigOriginal = kOriginal.repeated(600);
    std::fprintf(stderr, "long original: %lld bytes UTF-8, splits: %d\n",
                 static_cast<long long>(bigOriginal.toUtf8().size()),
                 HTMLRenderer::canSplit(big, bigOriginal));
    reportTiming("split page, 1 MB answer", 5,
                 [&] { (void)HTMLRenderer::renderSplit(big, bigOriginal, false, 15, kLabel); });
    return 0;
}
