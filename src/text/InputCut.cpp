#include "text/InputCut.h"

#include "text/GraphemeCount.h"

#include <algorithm>

namespace {

bool endsSentence(QChar c) {
    return c == u'.' || c == u'!' || c == u'?' || c == u'。' || c == u'！' || c == u'？' || c == u'…';
}

// Quotes and brackets that may close a sentence after its full stop: `He said "no."`
bool closesSentence(QChar c) {
    return c == u'"' || c == u'\'' || c == u')' || c == u']' || c == u'”' || c == u'’' || c == u'）' ||
           c == u'」' || c == u'』';
}

bool isTableRow(QStringView line) {
    return line.trimmed().startsWith(u'|');
}

} // namespace

InputCut InputCut::of(const QString& text, qsizetype limit) {
    const qsizetype total = graphemeCount(text);
    if (total <= limit)
        return {text, total, total};
    const qsizetype window = graphemePrefix(text, limit).size();

    // The end of the last sentence or line that lies wholly inside the window. A sentence
    // end counts only where the text goes on with a blank, so "3.5" and "e.g.x" never split.
    qsizetype sentenceEnd = -1, lineEnd = -1, space = -1;
    qsizetype lineStart = 0;
    bool inTableRow = isTableRow(QStringView(text).mid(0, text.indexOf(u'\n')));
    for (qsizetype i = 0; i < window; ++i) {
        const QChar c = text.at(i);
        if (c == u'\n') {
            lineEnd = i;
            lineStart = i + 1;
            const qsizetype next = text.indexOf(u'\n', lineStart);
            inTableRow = isTableRow(QStringView(text).mid(lineStart, next < 0 ? -1 : next - lineStart));
            continue;
        }
        if (inTableRow)
            continue;
        if (c.isSpace()) {
            if (i > lineStart)
                space = i;
            continue;
        }
        if (!endsSentence(c))
            continue;
        qsizetype end = i + 1;
        while (end < window && closesSentence(text.at(end)))
            ++end;
        const bool blankFollows = end < text.size() && text.at(end).isSpace();
        const bool chineseStop = c != u'.' && c != u'!' && c != u'?' && c != u'…';
        if ((blankFollows || chineseStop) && end <= window)
            sentenceEnd = end;
    }
    qsizetype cut = std::max(sentenceEnd, lineEnd);
    if (cut <= 0)
        cut = space > 0 ? space : window;
    const QString sent = text.left(cut).trimmed();
    return {sent, graphemeCount(sent), total};
}
