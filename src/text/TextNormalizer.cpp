#include "text/TextNormalizer.h"

#include "text/RegexReplace.h"

#include <QStringTokenizer>

namespace {

// Tab and the Unicode space separators; line breaks are deliberately not included.
bool isHorizontalSpace(QChar c) {
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QStringView trimmedHorizontally(QStringView line) {
    qsizetype begin = 0, end = line.size();
    while (begin < end && isHorizontalSpace(line.at(begin)))
        ++begin;
    while (end > begin && isHorizontalSpace(line.at(end - 1)))
        --end;
    return line.sliced(begin, end - begin);
}

} // namespace

namespace TextNormalizer {

const QRegularExpression& newlineIndentRegex() {
    static const QRegularExpression regex = [] {
        QRegularExpression re(QStringLiteral("\\n[\\t ]+"));
        // Compile here, under the one-time initialiser, so later concurrent matches only read.
        re.optimize();
        Q_ASSERT(re.isValid());
        return re;
    }();
    return regex;
}

QString normalizeLineBreaks(const QString& text) {
    const QString marked = replaceEachMatch(
        text, newlineIndentRegex(), [](const QString&, const auto&) { return QStringLiteral("\n\n"); });

    // Views and one output buffer: no allocation per line on large texts.
    QString result;
    result.reserve(marked.size());
    for (const QStringView paragraph : qTokenize(marked, u"\n\n")) {
        bool paragraphStarted = false;
        for (const QStringView line : qTokenize(paragraph, u'\n')) {
            const QStringView trimmed = trimmedHorizontally(line);
            if (trimmed.isEmpty())
                continue;
            if (paragraphStarted)
                result += QLatin1Char(' ');
            else if (!result.isEmpty())
                result += QLatin1String("\n\n");
            paragraphStarted = true;
            result += trimmed;
        }
    }
    return result;
}

} // namespace TextNormalizer
