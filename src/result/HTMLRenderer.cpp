#include "result/HTMLRenderer.h"

#include "result/HtmlEntities.h"

namespace {

constexpr QChar kPlaceholderMark(0xE000);
// Stands in for a U+E000 that the answer itself contains, so that only the
// placeholders made by protectInlineCode are ever restored. After escaping, "&#"
// occurs nowhere else, so turning it back at the end is unambiguous.
const QString& privateUseStandIn() {
    static const QString standIn = QStringLiteral("&#57344;");
    return standIn;
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// & < > " in that order's effect, in one pass; U+E000 becomes its stand-in.
// Runs of ordinary characters are copied whole: answers can be large.
QString escapeAnswerText(QStringView text, bool* hadPrivateUse) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    *hadPrivateUse = false;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const QStringView entity = htmlEntity(c);
        if (entity.isEmpty() && c != 0xE000)
            continue;
        out += text.sliced(copied, i - copied);
        copied = i + 1;
        if (!entity.isEmpty()) {
            out += entity;
        } else {
            out += privateUseStandIn();
            *hadPrivateUse = true;
        }
    }
    out += text.sliced(copied);
    return out;
}

// "\*\*(.+?)\*\*" -> "<strong>$1</strong>", the dot not matching "\n". Each failed
// start is followed by no other "**" on its line, so the scan stays linear.
QString applyBold(const QString& text) {
    static const QString marker = QStringLiteral("**");
    QString out;
    qsizetype copied = 0;
    qsizetype start = text.indexOf(marker);
    while (start >= 0) {
        const qsizetype close = text.indexOf(marker, start + 3);
        if (close < 0)
            break;
        const QStringView inner = QStringView(text).sliced(start + 2, close - start - 2);
        if (inner.contains(u'\n')) {
            start = text.indexOf(marker, start + 1);
            continue;
        }
        if (out.isEmpty())
            out.reserve(text.size() + 64);
        out += QStringView(text).sliced(copied, start - copied);
        out += u"<strong>";
        out += inner;
        out += u"</strong>";
        copied = close + 2;
        start = text.indexOf(marker, copied);
    }
    if (copied == 0)
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

// Bold is applied before tables, so a pair of "**" may straddle a cell border. A
// cell then holds half a <strong> element; its markers are shown as written instead.
QString balanceStrong(QString cell) {
    static const QString open = QStringLiteral("<strong>"), close = QStringLiteral("</strong>");
    const qsizetype firstOpen = cell.indexOf(open), firstClose = cell.indexOf(close);
    if (firstClose >= 0 && (firstOpen < 0 || firstClose < firstOpen))
        cell.replace(firstClose, close.size(), QStringLiteral("**"));
    const qsizetype lastOpen = cell.lastIndexOf(open), lastClose = cell.lastIndexOf(close);
    if (lastOpen >= 0 && lastOpen > lastClose)
        cell.replace(lastOpen, open.size(), QStringLiteral("**"));
    return cell;
}

void appendTable(QString& out, const QList<QStringView>& lines) {
    const QStringList header = HTMLRenderer::parseTableCells(lines[0]);
    out += u"<table><thead><tr>";
    for (const QString& cell : header) {
        out += u"<th>";
        out += balanceStrong(cell);
        out += u"</th>";
    }
    out += u"</tr></thead><tbody>";
    for (qsizetype r = 2; r < lines.size(); ++r) {
        const QStringList row = HTMLRenderer::parseTableCells(lines[r]);
        out += u"<tr>";
        for (qsizetype c = 0; c < header.size(); ++c) {
            out += u"<td>";
            if (c < row.size())
                out += balanceStrong(row[c]);
            out += u"</td>";
        }
        out += u"</tr>";
    }
    out += u"</tbody></table>";
}

// One pass: every placeholder becomes its code HTML. Placeholders that were not
// made for this text (impossible after escaping, but cheap to check) stay as text.
QString restoreInlineCode(const QString& text, const QStringList& codes) {
    if (codes.isEmpty())
        return text;
    QString out;
    out.reserve(text.size() + codes.size() * 16);
    qsizetype copied = 0;
    qsizetype open = text.indexOf(kPlaceholderMark);
    while (open >= 0) {
        qsizetype i = open + 1;
        qsizetype index = 0;
        auto isAsciiDigit = [&](qsizetype at) {
            return at < text.size() && text[at] >= u'0' && text[at] <= u'9';
        };
        bool valid = isAsciiDigit(i);
        while (valid && isAsciiDigit(i)) {
            index = index * 10 + (text[i].unicode() - u'0');
            valid = index < codes.size();
            ++i;
        }
        if (valid && i < text.size() && text[i] == kPlaceholderMark) {
            out += QStringView(text).sliced(copied, open - copied);
            out += codes[index];
            copied = i + 1;
            open = text.indexOf(kPlaceholderMark, copied);
        } else {
            open = text.indexOf(kPlaceholderMark, open + 1);
        }
    }
    out += QStringView(text).sliced(copied);
    return out;
}

// "\n\n" -> "</p><p>", then each remaining "\n" -> "<br>", all wrapped in one
// paragraph: the two replacements and the wrap in a single pass.
QString wrapParagraphs(QStringView text) {
    QString out;
    out.reserve(text.size() + text.size() / 8 + 8);
    out += u"<p>";
    qsizetype copied = 0;
    qsizetype newline = text.indexOf(u'\n');
    while (newline >= 0) {
        out += text.sliced(copied, newline - copied);
        if (newline + 1 < text.size() && text[newline + 1] == u'\n') {
            out += u"</p><p>";
            copied = newline + 2;
        } else {
            out += u"<br>";
            copied = newline + 1;
        }
        newline = text.indexOf(u'\n', copied);
    }
    out += text.sliced(copied);
    out += u"</p>";
    return out;
}

QString finish(QString html, const QStringList& codes, bool hadPrivateUse) {
    html = restoreInlineCode(html, codes);
    if (hadPrivateUse)
        html.replace(privateUseStandIn(), QString(kPlaceholderMark));
    return html;
}

} // namespace

QStringView HTMLRenderer::trimBlank(QStringView s) {
    qsizetype begin = 0, end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.sliced(begin, end - begin);
}

bool HTMLRenderer::isPipeLine(QStringView line) {
    const QStringView t = trimBlank(line);
    return t.startsWith(u'|') && t.endsWith(u'|');
}

const QStringList& HTMLRenderer::knownSectionHeadings() {
    static const QStringList headings{QStringLiteral("中文翻译"), QStringLiteral("重要词汇"),
                                      QStringLiteral("常用短语与习语"), QStringLiteral("核查")};
    return headings;
}

QList<MarkdownSection> HTMLRenderer::parseSections(const QString& markdown) {
    QList<MarkdownSection> sections;
    std::optional<QString> heading;
    // Pending body lines are contiguous in the text, so a range is enough.
    qsizetype pendingBegin = 0, pendingEnd = -1;
    auto flush = [&] {
        if (pendingEnd >= pendingBegin) {
            const QString body = markdown.sliced(pendingBegin, pendingEnd - pendingBegin).trimmed();
            if (!body.isEmpty())
                sections.append({heading, body});
        }
        pendingEnd = -1;
    };
    qsizetype lineBegin = 0;
    while (true) {
        qsizetype lineEnd = markdown.indexOf(u'\n', lineBegin);
        const bool last = lineEnd < 0;
        if (last)
            lineEnd = markdown.size();
        const QStringView line = QStringView(markdown).sliced(lineBegin, lineEnd - lineBegin);
        if (line.startsWith(u"## ")) {
            flush();
            heading = trimBlank(line.sliced(3)).toString();
        } else {
            if (pendingEnd < pendingBegin)
                pendingBegin = lineBegin;
            pendingEnd = lineEnd;
        }
        if (last)
            break;
        lineBegin = lineEnd + 1;
    }
    flush();
    return sections;
}

bool HTMLRenderer::isTableSeparatorLine(QStringView line) {
    const QStringView t = trimBlank(line);
    if (!t.startsWith(u'|') || !t.endsWith(u'|'))
        return false;
    bool anyPiece = false;
    for (QStringView piece : t.tokenize(u'|', Qt::SkipEmptyParts)) {
        anyPiece = true;
        const QStringView cell = trimBlank(piece);
        if (cell.isEmpty())
            return false;
        for (QChar c : cell)
            if (c != u'-' && c != u':')
                return false;
    }
    return anyPiece;
}

bool HTMLRenderer::isTableBody(const QString& text) {
    for (QStringView line : QStringView(text).tokenize(u'\n'))
        if (isTableSeparatorLine(trimBlank(line)))
            return true;
    return false;
}

QStringList HTMLRenderer::parseTableCells(QStringView line) {
    const QStringView t = trimBlank(line);
    QStringList cells;
    QString current;
    qsizetype i = 0;
    while (i < t.size()) {
        const QChar c = t[i];
        if (c == u'|') {
            cells.append(current);
            current.clear();
            ++i;
        } else if (c == u'\\') {
            const qsizetype runStart = i;
            while (i < t.size() && t[i] == u'\\')
                ++i;
            current += t.sliced(runStart, i - runStart);
            if (i < t.size() && t[i] == u'|') {
                if ((i - runStart) % 2 == 1) {
                    current += u'|';
                } else {
                    cells.append(current);
                    current.clear();
                }
                ++i;
            }
        } else {
            current += c;
            ++i;
        }
    }
    cells.append(current);
    if (!cells.isEmpty() && trimBlank(cells.first()).isEmpty())
        cells.removeFirst();
    if (!cells.isEmpty() && trimBlank(cells.last()).isEmpty())
        cells.removeLast();
    for (QString& cell : cells) {
        cell = trimBlank(cell).toString();
        cell.replace(QStringLiteral("\\|"), QStringLiteral("|"));
        cell.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    }
    return cells;
}

QString HTMLRenderer::convertMarkdownTables(const QString& in) {
    const QList<QStringView> lines = QStringView(in).split(u'\n');
    QString out;
    out.reserve(in.size() + in.size() / 4);
    qsizetype i = 0;
    while (i < lines.size()) {
        if (i > 0)
            out += u'\n';
        if (isPipeLine(lines[i]) && i + 1 < lines.size() && isTableSeparatorLine(lines[i + 1])) {
            qsizetype end = i + 2;
            while (end < lines.size() && isPipeLine(lines[end]))
                ++end;
            appendTable(out, lines.mid(i, end - i));
            i = end;
        } else {
            out += lines[i];
            ++i;
        }
    }
    return out;
}

ProtectedInlineCode HTMLRenderer::protectInlineCode(const QString& text) {
    // Same matches as "`([^`]+)`": a span needs at least one character between
    // backticks; "``" cannot open one, so the scan moves on to its second backtick.
    ProtectedInlineCode result;
    QString& out = result.text;
    qsizetype copied = 0;
    qsizetype open = text.indexOf(u'`');
    while (open >= 0) {
        const qsizetype close = text.indexOf(u'`', open + 1);
        if (close < 0)
            break;
        if (close == open + 1) {
            open = close;
            continue;
        }
        if (out.isEmpty())
            out.reserve(text.size());
        out += QStringView(text).sliced(copied, open - copied);
        out += kPlaceholderMark;
        out += QString::number(result.codes.size());
        out += kPlaceholderMark;
        QString code = QStringLiteral("<code>");
        code += QStringView(text).sliced(open + 1, close - open - 1);
        code += u"</code>";
        result.codes.append(code);
        copied = close + 1;
        open = text.indexOf(u'`', copied);
    }
    if (result.codes.isEmpty())
        result.text = text;
    else
        out += QStringView(text).sliced(copied);
    return result;
}

QString HTMLRenderer::markdownBodyToHTML(const QString& markdown) {
    bool hadPrivateUse = false;
    ProtectedInlineCode prot = protectInlineCode(escapeAnswerText(markdown, &hadPrivateUse));
    QString html = std::move(prot.text);
    for (const QString& heading : knownSectionHeadings())
        html.replace(QStringLiteral("## ") + heading,
                     QStringLiteral("<h2>") + heading + QStringLiteral("</h2>"));
    html = wrapParagraphs(convertMarkdownTables(applyBold(html)));
    html.remove(QStringLiteral("<p></p>"));
    html.remove(QStringLiteral("<p><br></p>"));
    return finish(std::move(html), prot.codes, hadPrivateUse);
}

QString HTMLRenderer::inlineMarkdownToHTML(const QString& text) {
    bool hadPrivateUse = false;
    ProtectedInlineCode prot = protectInlineCode(escapeAnswerText(text, &hadPrivateUse));
    QString html = std::move(prot.text);
    html.replace(u'\n', QStringLiteral("<br>"));
    return finish(applyBold(html), prot.codes, hadPrivateUse);
}
