#include "ocr/RecognizedLine.h"

#include <QChar>

#include <algorithm>
#include <vector>

namespace RecognizedLineRules {

double medianLineHeight(const QList<RecognizedLine>& lines) {
    std::vector<int> heights;
    heights.reserve(lines.size());
    for (const RecognizedLine& line : lines)
        heights.push_back(line.box.height());
    if (heights.empty())
        return 0;
    const auto middle = heights.begin() + std::ptrdiff_t(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    if (heights.size() % 2 == 1)
        return *middle;
    return (*middle + *std::max_element(heights.begin(), middle)) / 2.0;
}

bool isSolidShape(const RecognizedWord& word) {
    return word.box.height() > 0 && word.box.width() >= kSolidShapeMinimumAspect * word.box.height() &&
           word.inkCoverage >= kSolidShapeMinimumCoverage;
}

namespace {

bool hasLetterOrDigit(const QString& text) {
    for (const char32_t c : text.toUcs4())
        if (QChar::isLetterOrNumber(c))
            return true;
    return false;
}

} // namespace

bool isStrayMark(const RecognizedWord& word) {
    return word.confidence < kMinimumMarkConfidence && !hasLetterOrDigit(word.text);
}

bool isDoubtfulMark(const RecognizedWord& word) {
    return word.confidence < kMinimumGapMarkConfidence && !hasLetterOrDigit(word.text);
}

RecognizedLine withoutNoiseWords(RecognizedLine line) {
    line.words.removeIf([](const RecognizedWord& word) { return isSolidShape(word) || isStrayMark(word); });
    return line;
}

bool isDecoration(const QString& word) {
    static const QString decorations = QStringLiteral("|¦[](){}<>@*#~=_+•·©®°");
    if (word.isEmpty())
        return false;
    for (const char32_t c : word.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        const bool symbol = category == QChar::Symbol_Other || category == QChar::Symbol_Math;
        if (!symbol && !(c < 0x10000 && decorations.contains(QChar(c))))
            return false;
    }
    return true;
}

QList<LineSegment> splitAtColumnGaps(const RecognizedLine& line, double lineHeight) {
    const double maximumGap = lineHeight * kColumnGapInLineHeights;
    QList<LineSegment> segments;
    QList<RecognizedWord> piece;
    const auto close = [&] {
        while (!piece.isEmpty() && isDecoration(piece.front().text))
            piece.removeFirst();
        while (!piece.isEmpty() && isDecoration(piece.back().text))
            piece.removeLast();
        if (piece.isEmpty())
            return;
        QStringList texts;
        QRect span = piece.front().box;
        for (const RecognizedWord& word : piece) {
            texts.append(word.text);
            span = span.united(word.box);
        }
        const QRect box(QPoint(span.left(), line.box.top()), QPoint(span.right(), line.box.bottom()));
        segments.append({removeSpacesBetweenCJK(texts.join(QLatin1Char(' '))), box});
        piece.clear();
    };
    // What a wide gap reads as ("=", "|", a doubtful "。") must not bridge it: such words
    // wait here until the next word says whether they stand in a column gap, where they
    // are dropped.
    QList<RecognizedWord> pending;
    int previousRight = 0;
    bool hasWord = false;
    for (const RecognizedWord& read : line.words) {
        const RecognizedWord word{read.text.trimmed(), read.box, read.confidence, read.inkCoverage};
        if (word.text.isEmpty())
            continue;
        if (isDecoration(word.text) || isDoubtfulMark(word)) {
            pending.append(word);
            continue;
        }
        if (hasWord && word.box.left() - previousRight > maximumGap) {
            close();
        } else {
            piece.append(pending);
        }
        pending.clear();
        piece.append(word);
        previousRight = word.box.right() + 1;
        hasWord = true;
    }
    piece.append(pending);
    close();
    return segments;
}

bool isNoise(const RecognizedLine& line) {
    bool letterOrDigit = false;
    double confidenceSum = 0;
    int words = 0;
    for (const RecognizedWord& word : line.words) {
        if (word.text.trimmed().isEmpty())
            continue;
        ++words;
        confidenceSum += word.confidence;
        letterOrDigit = letterOrDigit || hasLetterOrDigit(word.text);
    }
    return !letterOrDigit || words == 0 || confidenceSum / words < kMinimumLineConfidence;
}

bool isCJK(char32_t c) {
    return QChar::script(c) == QChar::Script_Han || QChar::script(c) == QChar::Script_Hiragana ||
           QChar::script(c) == QChar::Script_Katakana || QChar::script(c) == QChar::Script_Bopomofo ||
           (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFFEF);
}

namespace {

char32_t codePointEndingAt(const QString& text, qsizetype end) {
    if (end >= 2 && text.at(end - 1).isLowSurrogate() && text.at(end - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(text.at(end - 2), text.at(end - 1));
    return text.at(end - 1).unicode();
}

char32_t codePointAt(const QString& text, qsizetype index) {
    if (index + 1 < text.size() && text.at(index).isHighSurrogate() && text.at(index + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(text.at(index), text.at(index + 1));
    return text.at(index).unicode();
}

} // namespace

QString removeSpacesBetweenCJK(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) != QLatin1Char(' ')) {
            out.append(text.at(i++));
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text.at(end) == QLatin1Char(' '))
            ++end;
        const bool between =
            i > 0 && end < text.size() && isCJK(codePointEndingAt(text, i)) && isCJK(codePointAt(text, end));
        if (!between)
            out.append(QStringView(text).mid(i, end - i));
        i = end;
    }
    return out;
}

} // namespace RecognizedLineRules
