#include "result/StreamedPage.h"

#include "result/HTMLRenderer.h"
#include "result/SentenceSplitter.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Where a code span opens that nothing closes yet, or -1: the renderer's own pairing.
qsizetype openCodeSpan(QStringView text) {
    qsizetype open = text.indexOf(u'`');
    while (open >= 0) {
        const qsizetype close = text.indexOf(u'`', open + 1);
        if (close < 0)
            return open;
        if (close == open + 1) {
            open = close;
            continue;
        }
        open = text.indexOf(u'`', close + 1);
    }
    return -1;
}

// Where a "**" opens on `line` that nothing closes yet, or -1. Bold never spans lines.
qsizetype openBold(QStringView line) {
    qsizetype start = line.indexOf(u"**");
    while (start >= 0) {
        const qsizetype close = line.indexOf(u"**", start + 3);
        if (close < 0)
            return start;
        start = line.indexOf(u"**", close + 2);
    }
    return -1;
}

// Whether the line starting at `lineStart` belongs to a table: going up through pipe lines,
// one of them is a separator with a pipe line (the header) above it.
bool isInTable(QStringView text, qsizetype lineStart) {
    qsizetype end = text.indexOf(u'\n', lineStart);
    if (end < 0)
        end = text.size();
    bool separatorBelow = false;
    while (true) {
        const qsizetype start = lineStart;
        const QStringView line = text.sliced(start, end - start);
        if (!HTMLRenderer::isPipeLine(line))
            return false;
        if (separatorBelow)
            return true;
        separatorBelow = HTMLRenderer::isTableSeparatorLine(line);
        if (start == 0)
            return false;
        end = start - 1;
        lineStart = end == 0 ? 0 : text.lastIndexOf(u'\n', end - 1) + 1;
    }
}

// How much of an unfinished block can be shown now without changing shape later.
qsizetype safeLength(QStringView t) {
    const qsizetype lastBreak = t.lastIndexOf(u'\n');
    const QStringView partial = t.sliced(lastBreak + 1);
    const QStringView partialStart = HTMLRenderer::trimBlank(partial);
    qsizetype end = t.size();
    if (partialStart.isEmpty() || partialStart.startsWith(u'|') || partialStart.startsWith(u'#')) {
        end = std::max<qsizetype>(lastBreak, 0);
        // A pipe line is a table's header once its separator follows: until then it waits.
        if (end > 0) {
            const qsizetype lineStart = end == 0 ? 0 : t.lastIndexOf(u'\n', end - 1) + 1;
            if (HTMLRenderer::isPipeLine(t.sliced(lineStart, end - lineStart)) &&
                !isInTable(t.first(end), lineStart))
                end = std::max<qsizetype>(lineStart - 1, 0);
        }
    } else if (const qsizetype bold = openBold(partial); bold >= 0) {
        end = lastBreak + 1 + bold;
    } else if (t.endsWith(u'*') && !t.endsWith(u"**")) {
        --end; // the first half of a "**"
    }
    if (const qsizetype code = openCodeSpan(t.first(end)); code >= 0)
        end = code;
    while (end > 0 && t[end - 1] == u'\n')
        --end;
    return end;
}

const QString& translationHeading() {
    static const QString heading = QStringLiteral("中文翻译");
    return heading;
}

} // namespace

void StreamedBody::clear() {
    m_committed.clear();
    m_done.clear();
    m_tail.clear();
    m_tailSource.clear();
    m_tableHead.clear();
    m_tableRows.clear();
}

void StreamedBody::update(const QString& text, bool complete) {
    if (!text.startsWith(m_committed))
        clear();
    // A block ends where a blank line starts, outside a code span: the renderer turns the
    // first two line ends of it into a paragraph break, and nothing else of its reaches
    // across one.
    qsizetype chunk = m_committed.size();
    qsizetype from = chunk;
    static const QString blankLine = QStringLiteral("\n\n");
    for (qsizetype run = text.indexOf(blankLine, from); run >= 0; run = text.indexOf(blankLine, from)) {
        qsizetype after = run;
        while (after < text.size() && text[after] == u'\n')
            ++after;
        // Only once more text follows: a caller that trims may take the blank lines away again.
        qsizetype next = after;
        while (next < text.size() && text[next].isSpace())
            ++next;
        if (next == text.size())
            break;
        from = after;
        if (openCodeSpan(QStringView(text).sliced(chunk, run - chunk)) >= 0)
            continue;
        m_done.append(HTMLRenderer::markdownBodyToHTML(text.sliced(chunk, run - chunk)));
        chunk = run + 2;
    }
    m_committed = text.first(chunk);
    const QStringView rest = QStringView(text).sliced(chunk);
    const QStringView shown = rest.first(complete ? rest.size() : safeLength(rest));
    // A complete tail is rendered as a whole even when the same text showed before: a table
    // shown row by row is not the renderer's own markup of it.
    if (shown != m_tailSource || complete != m_tailComplete) {
        m_tailSource = shown.toString();
        m_tailComplete = complete;
        m_tail = complete ? HTMLRenderer::markdownBodyToHTML(m_tailSource) : renderTail(m_tailSource);
    }
}

// A table still growing at the end is shown from its rows rendered one by one, each once:
// rendering the whole of it again for every new row would cost its size squared.
QString StreamedBody::renderTail(const QString& tail) {
    // The pipe lines that end the text, and where the first of them starts.
    qsizetype linesStart = tail.size(), pipeLines = 0;
    for (qsizetype lineEnd = tail.size();;) {
        const qsizetype lineStart = lineEnd == 0 ? 0 : tail.lastIndexOf(u'\n', lineEnd - 1) + 1;
        if (!HTMLRenderer::isPipeLine(QStringView(tail).sliced(lineStart, lineEnd - lineStart)))
            break;
        ++pipeLines;
        linesStart = lineStart;
        if (lineStart == 0)
            break;
        lineEnd = lineStart - 1;
    }
    const QList<QStringView> lines = QStringView(tail).sliced(linesStart).split(u'\n');
    if (pipeLines < 3 || !HTMLRenderer::isTableSeparatorLine(lines[1]))
        return HTMLRenderer::markdownBodyToHTML(tail);
    const QString head = lines[0].toString() + u'\n' + lines[1].toString() + u'\n';
    if (head != m_tableHead) {
        m_tableHead = head;
        m_tableRows.clear();
        const QString html = HTMLRenderer::markdownBodyToHTML(head);
        const qsizetype begin = html.indexOf(QStringLiteral("<table>"));
        m_tableHeadHTML = html.sliced(begin, html.indexOf(QStringLiteral("<tbody>")) + 7 - begin);
    }
    const QString lead = tail.first(std::max<qsizetype>(linesStart - 1, 0));
    if (lead != m_tableLeadSource) {
        m_tableLeadSource = lead;
        m_tableLead = HTMLRenderer::markdownBodyToHTML(lead);
    }
    for (qsizetype r = m_tableRows.size() + 2; r < lines.size(); ++r) {
        const QString html = HTMLRenderer::markdownBodyToHTML(head + lines[r].toString());
        const qsizetype body = html.indexOf(QStringLiteral("<tbody>")) + 7;
        m_tableRows.append(html.sliced(body, html.indexOf(QStringLiteral("</tbody>")) - body));
    }
    return m_tableLead + m_tableHeadHTML + m_tableRows.join(QString()) + QStringLiteral("</tbody></table>");
}

QStringList StreamedBody::blocks() const {
    QStringList out;
    for (const QString& block : m_done)
        if (!block.isEmpty())
            out.append(block);
    if (!m_tail.isEmpty())
        out.append(m_tail);
    return out;
}

StreamedPage::StreamedPage(const QString& originalText, bool split)
    : m_original(originalText), m_split(split) {
    if (split)
        m_english = SentenceSplitter::splitEnglish(originalText);
}

bool StreamedPage::canStartSplit(const QString& originalText) {
    return SentenceSplitter::splitEnglish(originalText).size() >= 2;
}

void StreamedPage::update(const QString& markdownSoFar) {
    if (!m_finished)
        render(markdownSoFar, false);
}

void StreamedPage::finish(const QString& markdown) {
    m_finished = true;
    if (m_split && !HTMLRenderer::canSplit(markdown, m_original)) {
        m_split = false;
        m_body.clear();
    }
    render(markdown, true);
}

void StreamedPage::render(const QString& markdown, bool complete) {
    if (!m_split) {
        m_body.update(markdown, complete);
        return;
    }
    QString text = markdown;
    if (!complete) { // a heading line without its end may still grow
        const qsizetype lineStart = text.lastIndexOf(u'\n') + 1;
        if (QStringView(text).sliced(lineStart).startsWith(u'#'))
            text.truncate(lineStart);
    }
    const QList<MarkdownSection> sections = HTMLRenderer::parseSections(text);
    const bool hasPre = !sections.isEmpty() && !sections.first().heading;
    m_pre.update(hasPre ? sections.first().body : QString(), complete || sections.size() > 1);

    const auto isTranslation = [](const MarkdownSection& section) {
        return section.heading && section.heading->contains(translationHeading());
    };
    const auto translation = std::find_if(sections.cbegin(), sections.cend(), isTranslation);
    const bool translationDone =
        complete || (translation != sections.cend() && translation + 1 != sections.cend());
    const QString listSource =
        (translation == sections.cend() ? QString() : translation->body) + (complete          ? u'.'
                                                                            : translationDone ? u':'
                                                                                              : u'…');
    if (listSource != m_listSource) {
        m_listSource = listSource;
        QStringList chinese;
        if (translation != sections.cend() && !HTMLRenderer::isTableBody(translation->body)) {
            chinese = SentenceSplitter::splitChinese(translation->body);
            // The last sentence may still be arriving until a later section begins.
            if (!translationDone && !chinese.isEmpty())
                chinese.removeLast();
        }
        QList<SplitPair> pairs;
        if (complete) {
            pairs = SentenceSplitter::pairSentences(m_english, chinese);
            m_warning = m_english.size() != chinese.size() ? HTMLRenderer::splitWarningHTML() : QString();
        } else {
            for (qsizetype i = 0; i < std::max(m_english.size(), chinese.size()); ++i)
                pairs.append({m_english.value(i), chinese.value(i)});
        }
        m_list = HTMLRenderer::splitListHTML(pairs);
    }

    QStringList others;
    for (const MarkdownSection& section : sections)
        if (section.heading && !isTranslation(section))
            others.append(QStringLiteral("## ") + *section.heading + u'\n' + section.body);
    m_body.update(others.join(QStringLiteral("\n\n")), complete);
}

QStringList StreamedPage::blocks() const {
    if (!m_split)
        return m_body.blocks();
    QStringList out = m_pre.blocks();
    if (!m_warning.isEmpty())
        out.append(m_warning);
    out.append(m_list);
    out.append(m_body.blocks());
    return out;
}

QString StreamedPage::page(const QStringList& blocks, const QString& notice, bool split,
                           const QString& originalText, bool isDark, int fontSize,
                           const QString& providerLabel) {
    QString body;
    if (!notice.isEmpty())
        body += warningLine(notice);
    body += QStringLiteral("<div id=\"answer\">");
    for (const QString& block : blocks) {
        body += QStringLiteral("<div>");
        body += block;
        body += QStringLiteral("</div>");
    }
    body += QStringLiteral("</div>");
    return HTMLRenderer::shell(
        body, split ? std::nullopt : std::optional(HTMLRenderer::originalBoxHTML(originalText)), isDark,
        fontSize, providerLabel);
}

QString StreamedPage::warningLine(const QString& text) {
    return QStringLiteral("<div class=\"split-warning\">") + text.toHtmlEscaped() + QStringLiteral("</div>");
}

QString StreamedPage::updateScript(const QStringList& shown, const QStringList& blocks) {
    qsizetype first = 0;
    while (first < shown.size() && first < blocks.size() && shown[first] == blocks[first])
        ++first;
    if (first == shown.size() && first == blocks.size())
        return {};
    // The markup travels as JSON string literals and is parsed as HTML only by the page.
    const QJsonArray added = QJsonArray::fromStringList(blocks.mid(first));
    return QStringLiteral("(function(){const a=document.getElementById('answer');if(!a)return -1;"
                          "while(a.children.length>%1)a.lastElementChild.remove();"
                          "for(const h of %2){const d=document.createElement('div');d.innerHTML=h;"
                          "a.appendChild(d);}return a.children.length;})()")
        .arg(first)
        .arg(QString::fromUtf8(QJsonDocument(added).toJson(QJsonDocument::Compact)));
}

QString StreamedPage::fontSizeScript(int fontSize) {
    return QStringLiteral("document.documentElement.style.fontSize='%1px'").arg(fontSize);
}
