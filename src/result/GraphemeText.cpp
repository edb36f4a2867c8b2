#include "result/GraphemeText.h"

#include "text/GraphemeCount.h"

#include <QTextBoundaryFinder>

GraphemeText::GraphemeText(QStringView text) : m_text(text) {
    m_bounds.reserve(size_t(text.size()) + 1);
    m_bounds.push_back(0);
    if (text.isEmpty())
        return;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary())
        m_bounds.push_back(next);
}

qsizetype GraphemeText::length(QStringView text) {
    return graphemeCount(text);
}

char32_t GraphemeText::firstCodePoint(qsizetype i) const {
    const QStringView cluster = at(i);
    if (cluster.size() >= 2 && cluster[0].isHighSurrogate() && cluster[1].isLowSurrogate())
        return QChar::surrogateToUcs4(cluster[0], cluster[1]);
    return cluster[0].unicode();
}

bool GraphemeText::isLetter(qsizetype i) const {
    // Alphabetic: letters and letter numbers such as Roman numerals.
    const char32_t cp = firstCodePoint(i);
    return QChar::isLetter(cp) || QChar::category(cp) == QChar::Number_Letter;
}

bool GraphemeText::isNumber(qsizetype i) const {
    return QChar::isNumber(firstCodePoint(i));
}

bool GraphemeText::isUpper(qsizetype i) const {
    const QStringView cluster = at(i);
    const char32_t cp = firstCodePoint(i);
    const bool singleCodePoint = cluster.size() == QChar::requiresSurrogates(cp) + 1;
    if (singleCodePoint)
        return QChar::isUpper(cp);
    // A letter with marks attached: upper case when upper-casing leaves it as it is and it has case.
    if (!QChar::isLetter(cp))
        return false;
    const QString text = cluster.toString();
    return text.toUpper() == text && text.toLower() != text;
}
