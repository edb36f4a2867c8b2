#include "text/GraphemeCount.h"

#include <QTextBoundaryFinder>

qsizetype graphemeCount(QStringView text) {
    // Below U+0300 no character combines with its neighbour except CR with LF, so such
    // text needs no boundary analysis.
    bool simple = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x300 || c == QLatin1Char('\r')) {
            simple = false;
            break;
        }
    }
    if (simple)
        return text.size();

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}
