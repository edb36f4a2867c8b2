#pragma once

#include "result/MarkdownSection.h"
#include "result/SentenceSplitter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Inline code taken out of a text: `text` holds a placeholder (U+E000, index, U+E000)
// where each span was; `codes[index]` is the finished HTML of that span.
struct ProtectedInlineCode {
    QString text;
    QStringList codes;
};

// Turns the model's Markdown answer (a small subset: known "## " headings, bold,
// inline code, pipe tables, paragraphs) into one self-contained HTML page. Everything
// else in the answer is shown as escaped text; no part of it can become markup.
class HTMLRenderer {
public:
    HTMLRenderer() = delete;

    static const QStringList& knownSectionHeadings();

    static QList<MarkdownSection> parseSections(const QString& markdown);
    // Without the spaces and tabs at either end (the only blanks Markdown lines are padded with).
    static QStringView trimBlank(QStringView s);
    // A line that starts and ends with "|": a table row, or a table still arriving.
    static bool isPipeLine(QStringView line);
    static bool isTableSeparatorLine(QStringView line);
    static bool isTableBody(const QString& text);
    static QStringList parseTableCells(QStringView line);
    static QString convertMarkdownTables(const QString& in);
    static ProtectedInlineCode protectInlineCode(const QString& text);
    static QString markdownBodyToHTML(const QString& markdown);
    static QString inlineMarkdownToHTML(const QString& text);

    static QString originalBoxHTML(const QString& text);
    // `providerLabel` names the service in the footer (AIProviders::shortName of the provider
    // in use, read by the caller when it renders).
    static QString shell(const QString& body, const std::optional<QString>& originalBox, bool isDark,
                         int fontSize, const QString& providerLabel);
    // The complete normal (non-split) page.
    static QString renderPage(const QString& markdown, const QString& originalText, bool isDark, int fontSize,
                              const QString& providerLabel);

    static bool canSplit(const QString& markdown, const QString& originalText);
    static QString renderSplit(const QString& markdown, const QString& originalText, bool isDark,
                               int fontSize, const QString& providerLabel);
    // The split page's parts: the line shown when the sentence counts differ, and the heading
    // with the numbered pairs.
    static const QString& splitWarningHTML();
    static QString splitListHTML(const QList<SplitPair>& pairs);
};
