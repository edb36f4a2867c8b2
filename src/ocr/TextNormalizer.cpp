#include "ocr/TextNormalizer.h"

#include "ocr/RegexReplace.h"

#include <QStringList>

namespace {

// Tab and the Unicode space separators; line breaks are deliberately not included.
bool isHorizontalSpace(QChar c) {
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString trimmedHorizontally(const QString& line) {
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

    QStringList paragraphs;
    for (const QString& paragraph : marked.split(QStringLiteral("\n\n"))) {
        QStringList lines;
        for (const QString& line : paragraph.split(QLatin1Char('\n'))) {
            QString trimmed = trimmedHorizontally(line);
            if (!trimmed.isEmpty())
                lines.append(std::move(trimmed));
        }
        if (!lines.isEmpty())
            paragraphs.append(lines.join(QLatin1Char(' ')));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace TextNormalizer
