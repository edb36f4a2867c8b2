#include "result/HTMLRenderer.h"

#include "result/HtmlEntities.h"
#include "result/SentenceSplitter.h"

namespace {

const QString& translationHeading() {
    static const QString heading = QStringLiteral("中文翻译");
    return heading;
}

bool isTranslationSection(const MarkdownSection& section) {
    return section.heading && section.heading->contains(translationHeading());
}

// Everything the split page needs, computed once so that rendering does not parse
// and pair the answer a second time after deciding that it can split.
struct SplitPlan {
    QList<MarkdownSection> sections;
    qsizetype englishCount = 0;
    qsizetype chineseCount = 0;
    QList<SplitPair> pairs;
};

std::optional<SplitPlan> planSplit(const QString& markdown, const QString& originalText) {
    SplitPlan plan;
    plan.sections = HTMLRenderer::parseSections(markdown);
    const auto translation = std::find_if(plan.sections.cbegin(), plan.sections.cend(), isTranslationSection);
    if (translation == plan.sections.cend() || HTMLRenderer::isTableBody(translation->body))
        return std::nullopt;
    const QStringList english = SentenceSplitter::splitEnglish(originalText);
    const QStringList chinese = SentenceSplitter::splitChinese(translation->body);
    plan.englishCount = english.size();
    plan.chineseCount = chinese.size();
    plan.pairs = SentenceSplitter::pairSentences(english, chinese);
    if (plan.pairs.size() < 2)
        return std::nullopt;
    return plan;
}

QString originalSentenceHTML(const QString& text) {
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        if (const QStringView entity = htmlEntity(c.unicode()); !entity.isEmpty())
            out += entity;
        else if (c == u'\n')
            out += u"<br>";
        else
            out += c;
    }
    return out;
}

} // namespace

const QString& HTMLRenderer::splitWarningHTML() {
    static const QString warning = QStringLiteral("<div class=\"split-warning\">⚠️ "
                                                  "原文与译文句数不一致，已自动对齐，请留意对照</div>");
    return warning;
}

QString HTMLRenderer::splitListHTML(const QList<SplitPair>& pairs) {
    QString body = QStringLiteral("<h2>中文翻译</h2><div class=\"split-list\">");
    int number = 0;
    for (const SplitPair& pair : pairs) {
        body += QStringLiteral("<div class=\"split-pair\">");
        ++number;
        if (!pair.original.isEmpty()) {
            body += QStringLiteral("<div class=\"split-original\">");
            body += QString::number(number);
            body += u". ";
            body += originalSentenceHTML(pair.original);
            body += u"</div>";
        }
        if (!pair.translation.isEmpty()) {
            body += QStringLiteral("<div class=\"split-translation\">");
            body += inlineMarkdownToHTML(pair.translation);
            body += u"</div>";
        }
        body += u"</div>";
    }
    body += u"</div>";
    return body;
}

bool HTMLRenderer::canSplit(const QString& markdown, const QString& originalText) {
    return planSplit(markdown, originalText).has_value();
}

QString HTMLRenderer::renderSplit(const QString& markdown, const QString& originalText, bool isDark,
                                  int fontSize, const QString& providerLabel) {
    const std::optional<SplitPlan> plan = planSplit(markdown, originalText);
    if (!plan)
        return renderPage(markdown, originalText, isDark, fontSize, providerLabel);

    QString body;
    for (const MarkdownSection& section : plan->sections)
        if (!section.heading)
            body += markdownBodyToHTML(section.body);
    if (plan->englishCount != plan->chineseCount)
        body += splitWarningHTML();
    body += splitListHTML(plan->pairs);

    QStringList others;
    for (const MarkdownSection& section : plan->sections)
        if (section.heading && !isTranslationSection(section))
            others.append(QStringLiteral("## ") + *section.heading + u'\n' + section.body);
    const QString rest = others.join(QStringLiteral("\n\n"));
    if (!rest.isEmpty())
        body += markdownBodyToHTML(rest);
    return shell(body, std::nullopt, isDark, fontSize, providerLabel);
}
