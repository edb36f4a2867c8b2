#include "settings/PromptTemplates.h"

#include <QStringList>

namespace PromptTemplates {

const QString& defaultPromptTemplate() {
    static const QString text =
        QStringList{
            QStringLiteral("我会给你一段英文文本。请你按以下结构输出："),
            QString(),
            QStringLiteral("## 中文翻译"),
            QStringLiteral("（遵循\"信达雅\"原则，自然流畅的中文翻译，尽量逐句翻译、保持句数与原文一致）"),
            QString(),
            QStringLiteral("## 重要词汇"),
            QStringLiteral("单词：音标 ｜ 词性 ｜ 中文释义"),
            QStringLiteral("（列出句中较重要的词汇，跳过高中大纲基础词汇）"),
            QStringLiteral("（动词一律以原形列出（如 went → go）；原文为过去式 / 过去分词 / "
                           "现在分词时，请在释义中注明原文形态（如「went：go 的过去式」））"),
            QString(),
            QStringLiteral("## 常用短语与习语"),
            QStringLiteral("短语 / 习语：中文释义"),
            QStringLiteral("（习语请标注【习语】）"),
        }
            .join(QLatin1Char('\n'));
    return text;
}

const QString& userMessagePrefix() {
    static const QString text = QStringLiteral("请分析以下英文文本：\n\n");
    return text;
}

} // namespace PromptTemplates
