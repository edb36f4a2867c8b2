#include "text/GraphemeCount.h"

#include <QTextBoundaryFinder>

namespace {

// Below U+0300 no character combines with its neighbour except CR with LF, so such text
// needs no boundary analysis.
bool isSimple(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x300 || c == QLatin1Char('\r'))
            return false;
    }
    return true;
}

} // namespace

qsizetype graphemeCount(QStringView text) {
    if (isSimple(text))
        return text.size();

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString graphemePrefix(QStringView text, qsizetype count) {
    if (count <= 0)
        return {};
    if (isSimple(text))
        return text.left(count).toString();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (qsizetype taken = 0; taken < count; ++taken) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            break;
        end = next;
    }
    return text.left(end).toString();
}
